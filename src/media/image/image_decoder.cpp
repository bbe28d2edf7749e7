#include "media/image/image_decoder.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

std::uint32_t Le16(const std::uint8_t* p) {
    return p[0] | (p[1] << 8);
}
std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
}
std::uint32_t Be16(const std::uint8_t* p) {
    return (p[0] << 8) | p[1];
}

constexpr std::uint32_t kLzwTableEntries = 4096;

// Skips a chain of data sub-blocks starting at pos; false when it runs past the end.
bool SkipSubBlocks(const std::uint8_t* b, std::uint32_t size, std::uint64_t& pos) {
    for (;;) {
        if (pos >= size) return false;
        std::uint32_t n = b[pos];
        pos += 1 + std::uint64_t(n);
        if (n == 0) return pos <= size;
        if (pos > size) return false;
    }
}

bool SizeAcceptable(std::uint32_t w, std::uint32_t h) {
    return w >= 1 && h >= 1 && w <= 65535 && h <= 65535 &&
           std::uint64_t(w) * h <= kMaxDecoderPixels;
}

}  // namespace

// State of one Decode call.
struct ImageDecoder::Run {
    int originX = 0;
    int originY = 0;
    std::int64_t x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    bool transparent = false;
    bool progressive = false;
    bool translate = false;
    std::uint8_t* rowBuffer = nullptr;
    std::uint16_t* colMap = nullptr;
    std::uint16_t* rowMap = nullptr;
    std::uint8_t grey[256] = {};
    std::uint16_t colour16[256] = {};
    const void* table = nullptr;
    int pass = 0;
};

ImageDecoder::ImageDecoder() = default;

ImageDecoder::ImageDecoder(const void* buffer, std::uint32_t size) {
    Open(buffer, size, false);
}

bool ImageDecoder::Open(const void* buffer, std::uint32_t size, bool stopAtFirstImage) {
    type_ = kUnknown;
    recognised_ = hasImage_ = interlaced_ = topDown_ = false;
    transparentIndex_ = 0xFFFF;
    paletteCount_ = 0;
    palette_ = pixelData_ = appData_ = nullptr;
    appLength_ = appNext_ = 0;
    width_ = height_ = compression_ = bitsPerPixel_ = 0;
    lzwCodeSize_ = 0;
    buffer_ = static_cast<const std::uint8_t*>(buffer);
    size_ = buffer_ ? size : 0;
    if (!buffer_) return false;
    bool ok = OpenGif(stopAtFirstImage) || OpenBmp() || OpenJpeg();
    if (ok && !SizeAcceptable(width_, height_)) ok = false;
    if (!ok) {
        type_ = kUnknown;
        palette_ = pixelData_ = nullptr;
        paletteCount_ = 0;
    }
    recognised_ = ok;
    return ok;
}

bool ImageDecoder::OpenGif(bool stopAtFirstImage) {
    const std::uint8_t* b = buffer_;
    if (size_ < 14 || std::memcmp(b, "GIF", 3) != 0) return false;
    std::uint64_t pos = 13;
    if (b[10] & 0x80) {
        std::uint32_t count = 2u << (b[10] & 7);
        if (pos + 3ull * count >= size_) return false;
        palette_ = b + pos;
        paletteCount_ = count;
        pos += 3ull * count;
    }
    bool found = false;
    while (pos < size_) {
        std::uint8_t tag = b[pos];
        if (tag == 0x3B) break;
        if (tag == 0x21) {
            if (pos + 2 >= size_) return false;
            std::uint8_t label = b[pos + 1];
            if (!found && label == 0xF9 && pos + 7 <= size_ && b[pos + 2] >= 4) {
                transparentIndex_ = (b[pos + 3] & 1) ? b[pos + 6] : 0xFFFF;
            } else if (!found && label == 0xFF && pos + 8 <= size_ &&
                       std::memcmp(b + pos + 3, "FVTW", 4) == 0) {
                std::uint8_t length = b[pos + 7];
                if (pos + 8 + length < size_) {
                    appData_ = b + pos + 8;
                    appLength_ = length;
                    appNext_ = b[pos + 8 + length];
                }
            }
            pos += 2;
            if (!SkipSubBlocks(b, size_, pos)) return false;
            continue;
        }
        if (tag == 0x2C) {
            if (pos + 10 > size_) return false;
            const std::uint8_t* d = b + pos;
            std::uint64_t next = pos + 10;
            const std::uint8_t* localPalette = nullptr;
            std::uint32_t localCount = 0;
            if (d[9] & 0x80) {
                localCount = 2u << (d[9] & 7);
                localPalette = b + next;
                next += 3ull * localCount;
            }
            if (next >= size_) return false;
            if (!found) {
                found = true;
                if (localPalette) {
                    palette_ = localPalette;
                    paletteCount_ = localCount;
                }
                width_ = Le16(d + 5);
                height_ = Le16(d + 7);
                interlaced_ = (d[9] & 0x40) != 0;
                lzwCodeSize_ = b[next];
                pixelData_ = b + next + 1;
                if (stopAtFirstImage) break;
            }
            pos = next + 1;
            if (!SkipSubBlocks(b, size_, pos)) return false;
            continue;
        }
        pos += 2;
        if (pos >= size_ || !SkipSubBlocks(b, size_, pos)) break;
    }
    if (!found || pixelData_ >= b + size_) return false;
    hasImage_ = true;
    bitsPerPixel_ = 8;
    type_ = kGif;
    return true;
}

bool ImageDecoder::OpenBmp() {
    const std::uint8_t* b = buffer_;
    if (size_ < 54 || b[0] != 'B' || b[1] != 'M') return false;
    std::uint32_t offset = Le32(b + 10);
    std::uint32_t headerSize = Le32(b + 14);
    std::int32_t width = std::int32_t(Le32(b + 18));
    std::int32_t height = std::int32_t(Le32(b + 22));
    std::uint32_t planes = Le16(b + 26);
    std::uint32_t bits = Le16(b + 28);
    std::uint32_t compression = Le32(b + 30);
    std::uint32_t used = Le32(b + 46);
    if (headerSize < 40 || 14ull + headerSize > size_) return false;
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8) return false;
    if (compression > 2 || (compression == 1 && bits != 8) || (compression == 2 && bits != 4))
        return false;
    if (width < 1 || width > 65535 || height == 0 || height < -65535 || height > 65535)
        return false;
    std::uint32_t count = used ? used : (1u << bits);
    if (count > 256) return false;
    std::uint64_t paletteStart = 14ull + headerSize;
    if (paletteStart + 4ull * count > size_) return false;
    if (offset >= size_) return false;
    width_ = std::uint32_t(width);
    topDown_ = height < 0;
    height_ = std::uint32_t(height < 0 ? -height : height);
    compression_ = compression;
    bitsPerPixel_ = bits;
    palette_ = b + paletteStart;
    paletteCount_ = count;
    pixelData_ = b + offset;
    transparentIndex_ = planes < 2 ? 0xFFFF : std::uint16_t(planes - 2);
    type_ = kBmp;
    return true;
}

bool ImageDecoder::OpenJpeg() {
    const std::uint8_t* b = buffer_;
    // Start of image, then any marker: encoders differ in what comes first (APPn, DQT...).
    if (size_ < 16 || b[0] != 0xFF || b[1] != 0xD8 || b[2] != 0xFF) return false;
    std::uint64_t pos = 2;
    for (;;) {
        if (pos + 4 > size_ || b[pos] != 0xFF) return false;
        std::uint8_t marker = b[pos + 1];
        if (marker == 0xFF) {  // fill byte before a marker
            ++pos;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length follows
            pos += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) return false;
        std::uint32_t length = Be16(b + pos + 2);
        if (length < 2 || pos + 2 + length > size_) return false;
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
            marker != 0xCC) {
            if (length < 10 || pos + 10 > size_) return false;
            height_ = Be16(b + pos + 5);
            width_ = Be16(b + pos + 7);
            bitsPerPixel_ = b[pos + 9] * 8u;
            type_ = kJpeg;
            return true;
        }
        pos += 2 + length;
    }
}

bool ImageDecoder::IsValid() const {
    if (type_ == kJpeg) return recognised_;
    return recognised_ && pixelData_ && palette_ && paletteCount_ >= 1 && paletteCount_ <= 256;
}

int ImageDecoder::SetScale(std::uint16_t xNum, std::uint16_t xDen, std::uint16_t yNum,
                           std::uint16_t yDen) {
    if (xDen == 0 || yDen == 0 || xNum > xDen || yNum > yDen) return 1;
    xNum_ = xNum;
    xDen_ = xDen;
    yNum_ = yNum;
    yDen_ = yDen;
    return 0;
}

void ImageDecoder::SetClip(std::int16_t x0, std::int16_t y0, std::int16_t x1, std::int16_t y1) {
    clipX0_ = x0;
    clipY0_ = y0;
    clipX1_ = x1;
    clipY1_ = y1;
}

void ImageDecoder::SetDestination(SIZE targetSize, const RECT& rect) {
    if (type_ != kBmp && width_ && height_ && targetSize.cx >= 0 && targetSize.cy >= 0 &&
        targetSize.cx <= 65535 && targetSize.cy <= 65535) {
        SetScale(std::uint16_t(targetSize.cx), std::uint16_t(width_), std::uint16_t(targetSize.cy),
                 std::uint16_t(height_));
    }
    SetClip(std::int16_t(rect.left), std::int16_t(rect.top), std::int16_t(rect.right),
            std::int16_t(rect.bottom));
}

void ImageDecoder::SetOptions(bool replicateInterlaced, bool alignBits, bool honourTransparency,
                              bool translateColours) {
    replicate_ = replicateInterlaced;
    alignBits_ = alignBits;
    honourTransparency_ = honourTransparency;
    translate_ = translateColours;
}

int ImageDecoder::SetFormat(std::uint32_t width, std::uint32_t height, std::uint32_t depth,
                            void* buffer, std::uint32_t stride, RowCallback callback, void* context,
                            bool rawRows) {
    formatValid_ = false;
    if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16) return 1;
    if (!buffer && !callback && !rawRows) return 1;
    if (width > 65535 || height > 65535) return 1;
    std::uint64_t minimum = (std::uint64_t(width) * depth + 7) / 8;
    if (stride == 0) stride = std::uint32_t(minimum);
    if (buffer && stride < minimum) return 1;
    targetWidth_ = width;
    targetHeight_ = height;
    targetDepth_ = depth;
    targetStride_ = stride;
    targetBuffer_ = static_cast<std::uint8_t*>(buffer);
    callback_ = callback;
    callbackContext_ = context;
    rawRows_ = rawRows;
    formatValid_ = true;
    return 0;
}

namespace {

std::uint16_t* BuildMap(std::uint32_t count, std::uint32_t num, std::uint32_t den) {
    auto* map = static_cast<std::uint16_t*>(std::malloc(sizeof(std::uint16_t) * count));
    if (!map) return nullptr;
    std::uint32_t acc = den / 2, next = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        acc += num;
        if (acc >= den) {
            map[i] = std::uint16_t(next++);
            acc -= den;
        } else {
            map[i] = 0xFFFF;
        }
    }
    return map;
}

}  // namespace

int ImageDecoder::Decode(int originX, int originY) {
    if (!IsValid() || !formatValid_ || type_ == kJpeg) return 1;
    Run run;
    run.originX = originX;
    run.originY = originY;
    run.transparent = transparentIndex_ != 0xFFFF && honourTransparency_;
    run.progressive = replicate_ && !run.transparent;
    run.translate = translate_ && !rawRows_;

    run.x0 = clipX0_ < 0 ? 0 : clipX0_;
    run.x1 = clipX1_ > std::int64_t(targetWidth_) ? targetWidth_ : clipX1_;
    run.y0 = clipY0_ < 0 ? 0 : clipY0_;
    run.y1 = clipY1_ > std::int64_t(targetHeight_) ? targetHeight_ : clipY1_;
    if (run.x1 <= 0 || run.x0 >= targetWidth_ || run.x0 >= run.x1) return 0;
    if (run.y1 <= 0 || run.y0 >= targetHeight_ || run.y0 >= run.y1) return 0;

    int result = 1;
    if (run.translate) {
        bool bgr = type_ == kBmp;
        std::uint32_t step = bgr ? 4 : 3;
        for (std::uint32_t i = 0; i < paletteCount_ && i < 256; ++i) {
            const std::uint8_t* e = palette_ + i * step;
            std::uint32_t r = bgr ? e[2] : e[0], g = e[1], bl = bgr ? e[0] : e[2];
            if (targetDepth_ < 8)
                run.grey[i] = std::uint8_t((r + 2 * g + bl) >> (10 - targetDepth_));
            std::uint16_t c = std::uint16_t(((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (bl >> 3));
            run.colour16[i] = c;
        }
        if (targetDepth_ < 8) run.table = run.grey;
        if (targetDepth_ == 16) run.table = run.colour16;
    }
    run.rowBuffer = static_cast<std::uint8_t*>(std::calloc(width_ + 13, 1));
    if (xNum_ < xDen_) run.colMap = BuildMap(width_, xNum_, xDen_);
    if (yNum_ < yDen_) run.rowMap = BuildMap(height_, yNum_, yDen_);
    if (run.rowBuffer && (xNum_ >= xDen_ || run.colMap) && (yNum_ >= yDen_ || run.rowMap)) {
        result = type_ == kGif ? DecodeGif(run) : DecodeBmp(run);
    }
    std::free(run.rowBuffer);
    std::free(run.colMap);
    std::free(run.rowMap);
    return result;
}

// Writes source columns [start, end) of the row buffer into one target row.
void ImageDecoder::WriteTargetRow(Run& run, std::int64_t targetRow, std::uint32_t start,
                                  std::uint32_t end) {
    if (targetRow < run.y0 || targetRow >= run.y1) return;
    std::uint8_t* row = targetBuffer_ + std::uint64_t(targetStride_) * std::uint64_t(targetRow);
    const std::uint8_t* src = run.rowBuffer;
    const std::uint32_t depth = targetDepth_;
    if (depth == 8 && !run.colMap) {
        std::int64_t tx0 = std::int64_t(run.originX) + start;
        std::int64_t tx1 = std::int64_t(run.originX) + end;
        if (tx0 < run.x0) tx0 = run.x0;
        if (tx1 > run.x1) tx1 = run.x1;
        if (tx0 < tx1) {
            std::memcpy(row + tx0, src + (tx0 - run.originX), std::size_t(tx1 - tx0));
        }
        return;
    }
    // The span's first kept column fixes the packing origin when bits are not aligned.
    std::int64_t spanStart = -1;
    const std::uint32_t perByte = depth < 8 ? 8 / depth : 1;
    const std::uint32_t mask = depth < 8 ? (1u << depth) - 1 : 0xFF;
    for (std::uint32_t c = start; c < end; ++c) {
        std::int64_t outCol = c;
        if (run.colMap) {
            if (run.colMap[c] == 0xFFFF) continue;
            outCol = run.colMap[c];
        }
        std::int64_t tx = std::int64_t(run.originX) + outCol;
        if (spanStart < 0) spanStart = tx;
        if (tx < run.x0 || tx >= run.x1) continue;
        std::uint8_t index = src[c];
        if (depth == 8) {
            row[tx] = index;
        } else if (depth == 16) {
            std::uint16_t v = run.translate ? run.colour16[index] : index;
            row[2 * tx] = std::uint8_t(v >> 8);
            row[2 * tx + 1] = std::uint8_t(v);
        } else {
            std::uint32_t v = (run.translate ? run.grey[index] : index) & mask;
            std::int64_t p = tx;
            if (!alignBits_) {
                std::int64_t base = spanStart < 0 ? 0 : spanStart - spanStart % perByte;
                p = base + (tx - spanStart);
            }
            std::uint8_t& byte = row[p / perByte];
            std::uint32_t shift = 8 - depth * (std::uint32_t(p % perByte) + 1);
            byte = std::uint8_t((byte & ~(mask << shift)) | (v << shift));
        }
    }
}

void ImageDecoder::WriteSpan(Run& run, std::uint32_t imageRow, std::uint32_t start,
                             std::uint32_t end) {
    std::int64_t targetRow = std::int64_t(imageRow);
    if (run.rowMap) {
        if (run.rowMap[imageRow] == 0xFFFF) return;
        targetRow = run.rowMap[imageRow];
    }
    WriteTargetRow(run, targetRow + run.originY, start, end);
}

void ImageDecoder::OutputRow(Run& run, std::uint32_t imageRow, std::uint32_t start,
                             std::uint32_t count) {
    if (start >= width_) return;
    if (count > width_ - start) count = width_ - start;
    if (count == 0) return;
    if (callback_) {
        callback_(callbackContext_, run.rowBuffer, count, imageRow, run.table, start);
    }
    if (!targetBuffer_) return;
    std::uint32_t end = start + count;
    std::uint32_t copies = 1;
    if (run.progressive && interlaced_) {
        static const std::uint32_t kExtra[4] = {7, 3, 1, 0};
        copies += kExtra[run.pass];
    }
    for (std::uint32_t k = 0; k < copies && imageRow + k < height_; ++k) {
        if (!run.transparent) {
            WriteSpan(run, imageRow + k, start, end);
            continue;
        }
        std::uint32_t c = start;
        while (c < end) {
            while (c < end && run.rowBuffer[c] == transparentIndex_) ++c;
            std::uint32_t s = c;
            while (c < end && run.rowBuffer[c] != transparentIndex_) ++c;
            if (s < c) WriteSpan(run, imageRow + k, s, c);
        }
    }
}

int ImageDecoder::DecodeGif(Run& run) {
    if (lzwCodeSize_ < 2 || lzwCodeSize_ > 8) return 1;
    const std::uint32_t clearCode = 1u << lzwCodeSize_;
    // One block of N entries (prefix, suffix, stack: 4 bytes each); short of memory, a smaller
    // table is tried as long as it still holds more than the literal codes. A stream that needs
    // more entries than it has fails as a full table would.
    std::uint32_t kLzwEntries = kLzwTableEntries;
    void* table = nullptr;
    while (true) {
        table = AllocateTable(std::size_t(kLzwEntries) * 4 + 1);
        if (table || kLzwEntries <= clearCode) break;
        kLzwEntries /= 2;
    }
    if (!table) return 1;
    lastTableEntries_ = kLzwEntries;
    auto* prefix = static_cast<std::uint16_t*>(table);
    auto* suffix = static_cast<std::uint8_t*>(table) + std::size_t(kLzwEntries) * 2;
    auto* stack = suffix + kLzwEntries;
    int result = 1;
    {
        const std::uint8_t* end = buffer_ + size_;
        const std::uint8_t* p = pixelData_;
        std::uint32_t blockLeft = 0;
        bool dataEnded = false;
        std::uint32_t bits = 0, bitCount = 0;
        const std::uint32_t clear = 1u << lzwCodeSize_, endCode = clear + 1;
        std::uint32_t width = lzwCodeSize_ + 1, step = 1u << width, nextFree = clear + 2;
        std::int32_t prev = -1;
        std::uint8_t firstChar = 0;
        std::uint32_t fill = 0, row = 0;
        bool done = false;
        run.pass = 0;
        result = 0;
        for (std::uint32_t i = 0; i < clear; ++i) suffix[i] = std::uint8_t(i);
        while (!done) {
            while (bitCount < width && !dataEnded) {
                if (blockLeft == 0) {
                    if (p >= end) {
                        result = 1;
                        dataEnded = true;
                        break;
                    }
                    blockLeft = *p++;
                    if (blockLeft == 0) {
                        dataEnded = true;
                        break;
                    }
                    if (std::uint64_t(end - p) < blockLeft) {
                        result = 1;
                        dataEnded = true;
                        break;
                    }
                }
                bits |= std::uint32_t(*p++) << bitCount;
                bitCount += 8;
                --blockLeft;
            }
            if (bitCount < width) break;
            std::uint32_t code = bits & ((1u << width) - 1);
            bits >>= width;
            bitCount -= width;
            if (code == clear) {
                width = lzwCodeSize_ + 1;
                step = 1u << width;
                nextFree = clear + 2;
                prev = -1;
                continue;
            }
            if (code == endCode) break;
            std::uint32_t depth = 0;
            if (prev < 0) {
                // The first code of a table must be a literal.
                if (code >= clear) {
                    result = 1;
                    break;
                }
                stack[depth++] = std::uint8_t(code);
                firstChar = std::uint8_t(code);
            } else {
                if (code > nextFree || (code == nextFree && nextFree >= kLzwEntries)) {
                    result = 1;
                    break;
                }
                bool special = code == nextFree;
                if (special) {
                    prefix[code] = std::uint16_t(prev);
                    suffix[code] = firstChar;
                }
                std::uint32_t c = code;
                while (c >= clear && depth < kLzwEntries) {
                    stack[depth++] = suffix[c];
                    c = prefix[c];
                }
                if (c >= clear) {
                    result = 1;
                    break;
                }
                stack[depth++] = std::uint8_t(c);
                firstChar = std::uint8_t(c);
                if (!special && nextFree < kLzwEntries) {
                    prefix[nextFree] = std::uint16_t(prev);
                    suffix[nextFree] = firstChar;
                }
                if (nextFree < kLzwEntries) ++nextFree;
                if (nextFree >= step && width < 12) {
                    ++width;
                    step <<= 1;
                }
            }
            prev = std::int32_t(code);
            while (depth > 0) {
                run.rowBuffer[fill++] = stack[--depth];
                if (fill == width_) {
                    OutputRow(run, row, 0, width_);
                    fill = 0;
                    if (!interlaced_) {
                        if (++row >= height_) done = true;
                    } else {
                        static const std::uint32_t kStep[4] = {8, 8, 4, 2};
                        static const std::uint32_t kStart[4] = {0, 4, 2, 1};
                        row += kStep[run.pass];
                        while (row >= height_ && !done) {
                            if (++run.pass > 3) {
                                done = true;
                                run.pass = 3;
                            } else {
                                row = kStart[run.pass];
                            }
                        }
                    }
                    if (done) break;
                }
            }
        }
    }
    std::free(table);
    return result;
}

namespace {
std::atomic<int> failTables{0};
}

void* ImageDecoder::AllocateTable(std::size_t bytes) {
    int left = failTables.load();
    while (left > 0 && !failTables.compare_exchange_weak(left, left - 1)) {
    }
    if (left > 0) return nullptr;
    return std::malloc(bytes);
}

void ImageDecoder::FailTableAllocationsForTesting(int count) {
    failTables = count;
}

int ImageDecoder::DecodeBmp(Run& run) {
    if (compression_ != 0) return DecodeBmpRle(run);
    const std::uint64_t stride = ((std::uint64_t(width_) * bitsPerPixel_ + 31) / 32) * 4;
    const std::uint64_t dataOffset = std::uint64_t(pixelData_ - buffer_);
    for (std::uint32_t i = 0; i < height_; ++i) {
        std::uint64_t fileRow = topDown_ ? i : height_ - 1 - i;
        std::uint64_t at = dataOffset + fileRow * stride;
        std::uint64_t need = (std::uint64_t(width_) * bitsPerPixel_ + 7) / 8;
        if (at + need > size_) return 1;
        const std::uint8_t* s = buffer_ + at;
        std::uint8_t* d = run.rowBuffer;
        switch (bitsPerPixel_) {
            case 8:
                std::memcpy(d, s, width_);
                break;
            case 4:
                for (std::uint32_t x = 0; x < width_; ++x)
                    d[x] = (s[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
                break;
            case 2:
                for (std::uint32_t x = 0; x < width_; ++x)
                    d[x] = (s[x >> 2] >> (6 - 2 * (x & 3))) & 3;
                break;
            default:
                for (std::uint32_t x = 0; x < width_; ++x) d[x] = (s[x >> 3] >> (7 - (x & 7))) & 1;
                break;
        }
        OutputRow(run, i, 0, width_);
    }
    return 0;
}

int ImageDecoder::DecodeBmpRle(Run& run) {
    const std::uint8_t* p = pixelData_;
    const std::uint8_t* end = buffer_ + size_;
    const bool rle4 = compression_ == 2;
    const std::int64_t limit = std::int64_t(width_) + 3;
    std::int64_t row = topDown_ ? 0 : std::int64_t(height_) - 1;
    std::int64_t x = 0, pending = 0;
    std::uint8_t* buf = run.rowBuffer;
    auto flush = [&]() {
        if (x > pending && pending < std::int64_t(width_)) {
            OutputRow(run, std::uint32_t(row), std::uint32_t(pending), std::uint32_t(x - pending));
        }
        pending = x;
    };
    const int direction = topDown_ ? 1 : -1;
    while (end - p >= 2) {
        std::uint8_t count = p[0], value = p[1];
        p += 2;
        if (count > 0) {
            if (x + count > limit) return 1;
            bool skip =
                run.transparent &&
                (rle4 ? ((value >> 4) == transparentIndex_ && (value & 15) == transparentIndex_)
                      : value == transparentIndex_);
            if (skip) {
                flush();
                x += count;
                pending = x;
                continue;
            }
            for (std::uint32_t i = 0; i < count; ++i) {
                buf[x + i] = rle4 ? ((i & 1) ? (value & 15) : (value >> 4)) : value;
            }
            x += count;
            continue;
        }
        if (value == 0 || value == 1) {
            flush();
            if (value == 1) return 0;
            row += direction;
            x = pending = 0;
            if (row < 0 || row >= std::int64_t(height_)) return 0;
            continue;
        }
        if (value == 2) {
            flush();
            if (end - p < 2) return 0;
            x += p[0];
            row += direction * std::int64_t(p[1]);
            p += 2;
            pending = x;
            if (row < 0 || row >= std::int64_t(height_)) return 0;
            continue;
        }
        std::uint32_t n = value;
        if (x + n > limit) return 1;
        std::uint32_t bytes = rle4 ? (n + 1) / 2 : n;
        std::uint32_t padded = bytes + (bytes & 1);
        if (std::uint64_t(end - p) < bytes) return 0;
        for (std::uint32_t i = 0; i < n; ++i) {
            buf[x + i] = rle4 ? ((i & 1) ? (p[i / 2] & 15) : (p[i / 2] >> 4)) : p[i];
        }
        x += n;
        p += std::uint64_t(end - p) < padded ? bytes : padded;
    }
    flush();
    return 0;
}

void PaletteToRgbQuad(const ImageDecoder& decoder, RGBQUAD* entries) {
    const std::uint8_t* p = decoder.Palette();
    if (!p || !entries) return;
    std::uint32_t n = decoder.PaletteCount();
    if (n > 256) n = 256;
    for (std::uint32_t i = 0; i < n; ++i) {
        if (decoder.Type() == ImageDecoder::kGif) {
            entries[i] = RGBQUAD{p[3 * i + 2], p[3 * i + 1], p[3 * i], 0};
        } else if (decoder.Type() == ImageDecoder::kBmp) {
            entries[i] = RGBQUAD{p[4 * i], p[4 * i + 1], p[4 * i + 2], 0};
        }
    }
}
