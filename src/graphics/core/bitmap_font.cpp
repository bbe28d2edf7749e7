#include "graphics/core/bitmap_font.h"

#include <algorithm>
#include <cstring>

#include "bookfiles/palm_database.h"
#include "core/color.h"
#include "core/text.h"
#include "platform/storage/files.h"

namespace {

constexpr uint32_t kOpenReadOnly = 41;

uint32_t Be16(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 8 | p[1];
}
uint32_t Be32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// Face entry fields.
constexpr int kFaceName = 2;
constexpr int kFaceNameLength = 60;
constexpr int kFaceHeight = 64;
constexpr int kFaceAscent = 65;
constexpr int kFaceSlant = 66;
constexpr int kFaceDepth = 67;
constexpr int kFaceRecord = 68;
constexpr int kFaceItalic = 69;
constexpr int kFaceBold = 70;
constexpr int kFaceSizeField = 174;

uint16_t Rgb565(uint32_t c) {
    uint32_t r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
    return static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
}
// A 32-bit target pixel: 0x00RRGGBB.
uint32_t Xrgb(uint32_t c) {
    return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}
uint16_t Swap16(uint16_t v) {
    return static_cast<uint16_t>(v << 8 | v >> 8);
}
int32_t Darkness(uint32_t c) {
    int32_t sum = static_cast<int32_t>((c & 0xFF) + ((c >> 8) & 0xFF) + ((c >> 16) & 0xFF));
    return 255 - sum / 3;
}

}  // namespace

struct BitmapFont::Glyph {
    uint32_t offset;
    int32_t width;
    int32_t height;
    int32_t xOffset;
    int32_t yOffset;
    int32_t left;
    int32_t advance;
    int32_t right;
};

BitmapFont::BitmapFont() = default;

BitmapFont::~BitmapFont() {
    Close();
}

int BitmapFont::Open(const Text& path) {
    Close();
    int error = 0;
    std::unique_ptr<PalmDatabase> db(
        PalmDatabase::Open(path, kOpenReadOnly, nullptr, nullptr, &error));
    return OpenDatabase(std::move(db));
}

int BitmapFont::OpenDatabase(std::unique_ptr<PalmDatabase> database) {
    Close();
    if (!database || database->GetRecordCount() == 0) return 1;
    uint32_t length = 0;
    const uint8_t* h = database->GetRecord(0, &length);
    if (!h || length < kHeaderSize || std::memcmp(h, "CLFO", 4) != 0) return 1;
    uint32_t count = Be16(h + 328);
    if (count < 1 || length < kHeaderSize + kFaceSize * count) return 1;
    database_ = std::move(database);
    header_ = h;
    headerLength_ = length;
    faceCount_ = static_cast<int32_t>(count);
    lastPaletteIndex_ = h[333];
    for (int i = 0; i < 256; ++i) {
        const uint8_t* e = h + 336 + 4 * i;
        palette_[i] = Color::Pack(e[0], e[1], e[2]);
    }
    mapDirty_ = true;
    return 0;
}

void BitmapFont::Close() {
    face_ = nullptr;
    faceIndex_ = -1;
    glyphs_ = nullptr;
    glyphsLength_ = 0;
    glyphCount_ = 0;
    firstCode_ = 0;
    header_ = nullptr;
    headerLength_ = 0;
    faceCount_ = 0;
    database_.reset();
    clipX0_ = clipY0_ = 0;
    clipX1_ = clipY1_ = kClipMax;
    if (pixels_) {
        clipX1_ = width_;
        clipY1_ = height_;
    }
    textColour_ = 0;
    backColour_ = 0xFFFFFF;
    mapDirty_ = true;
    std::memset(palette_, 0, sizeof(palette_));
    sizeMap_.clear();
}

const uint8_t* BitmapFont::Face(int32_t index) const {
    if (!header_ || index < 0 || index >= faceCount_) return nullptr;
    return header_ + kHeaderSize + kFaceSize * static_cast<uint32_t>(index);
}

int BitmapFont::LoadFace(int32_t index) {
    face_ = nullptr;
    faceIndex_ = -1;
    glyphs_ = nullptr;
    glyphsLength_ = 0;
    glyphCount_ = 0;
    const uint8_t* f = Face(index);
    if (!f || !database_) return 1;
    uint32_t length = 0;
    const uint8_t* g = database_->GetRecord(f[kFaceRecord], &length);
    if (!g || length < 8 || std::memcmp(g, "GLYT", 4) != 0) return 1;
    uint32_t count = static_cast<uint32_t>(g[6]) | static_cast<uint32_t>(g[7]) << 8;
    if (8 + static_cast<uint64_t>(kGlyphEntrySize) * count > length) return 1;
    // Every glyph's pixels must lie inside the record.
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* e = g + 8 + kGlyphEntrySize * i;
        uint64_t end = static_cast<uint64_t>(Be32(e)) + static_cast<uint64_t>(e[4]) * e[5];
        if (end > length) return 1;
    }
    face_ = f;
    faceIndex_ = index;
    glyphs_ = g;
    glyphsLength_ = length;
    firstCode_ = Be16(g + 4);
    glyphCount_ = count;
    return 0;
}

int BitmapFont::SelectFace(const char* name, int32_t size, bool italic, bool bold, int depth) {
    face_ = nullptr;
    faceIndex_ = -1;
    glyphs_ = nullptr;
    glyphCount_ = 0;
    if (!header_) return 1;
    int32_t wanted = size;
    if (!sizeMap_.empty() && size >= sizeMapSmallest_) {
        int32_t entry = (size - sizeMapSmallest_) / sizeMapStep_;
        if (entry < static_cast<int32_t>(sizeMap_.size())) {
            const uint8_t* f = Face(sizeMap_[entry]);
            wanted = f[kFaceSizeField];
            bold = bold || f[kFaceBold] != 0;
        }
    }
    int32_t chosen = -1;
    if (name) {
        size_t n = strnlen(name, kFaceNameLength);
        for (int32_t i = 0; i < faceCount_; ++i) {
            const uint8_t* f = Face(i);
            int32_t s = f[kFaceSizeField];
            if (f[kFaceDepth] != depth || s > wanted) continue;
            const char* faceName = reinterpret_cast<const char*>(f + kFaceName);
            if (strnlen(faceName, kFaceNameLength) != n || std::memcmp(faceName, name, n) != 0)
                continue;
            chosen = i;
            if (s == wanted) break;
        }
    }
    if (chosen < 0) {
        int32_t best = -1, bestSize = 0, bestScore = -1;
        for (int32_t i = 0; i < faceCount_; ++i) {
            const uint8_t* f = Face(i);
            int32_t s = f[kFaceSizeField];
            if (f[kFaceDepth] != depth || s > wanted) continue;
            int32_t score = ((f[kFaceItalic] != 0) == italic ? 8 : 0) +
                            ((f[kFaceBold] != 0) == bold ? 1 : 0);
            if (s == wanted && score == 9) {
                best = i;
                bestSize = s;
                break;
            }
            if (s > bestSize) {
                best = i;
                bestSize = s;
                bestScore = score;
            } else if (score > bestScore) {
                best = i;
                bestScore = score;
            }
        }
        if (best >= 0 && bestSize >= 1) chosen = best;
    }
    if (chosen < 0) return 1;
    return LoadFace(chosen);
}

bool BitmapFont::BuildSizeMap(int32_t smallest, int32_t largest, int32_t step) {
    sizeMap_.clear();
    if (!header_ || step < 1 || largest < smallest) return false;
    int64_t entries = (static_cast<int64_t>(largest) - smallest) / step + 1;
    if (entries > kMaxSizeMapEntries) return false;
    std::vector<int32_t> upright;
    for (int32_t i = 0; i < faceCount_; ++i)
        if (Face(i)[kFaceItalic] == 0) upright.push_back(i);
    if (upright.empty()) return false;
    std::stable_sort(upright.begin(), upright.end(), [this](int32_t a, int32_t b) {
        const uint8_t* fa = Face(a);
        const uint8_t* fb = Face(b);
        if (fa[kFaceSizeField] != fb[kFaceSizeField]) return fa[kFaceSizeField] < fb[kFaceSizeField];
        return (fa[kFaceBold] != 0) < (fb[kFaceBold] != 0);
    });
    for (int64_t i = 0; i < entries; ++i)
        sizeMap_.push_back(upright[std::min<size_t>(static_cast<size_t>(i), upright.size() - 1)]);
    sizeMapSmallest_ = smallest;
    sizeMapStep_ = step;
    return true;
}

void BitmapFont::SetTarget(uint8_t* pixels, int32_t stride, int32_t height, int depth,
                           bool webPalette, bool nativeOrder) {
    if (!pixels || stride <= 0 || height <= 0 || (depth != 8 && depth != 16 && depth != 32)) {
        pixels_ = nullptr;
        width_ = height_ = stride_ = 0;
        return;
    }
    // The colour map depends on the kind of target only.
    if (depth != depth_ || webPalette != webPalette_ || nativeOrder != nativeOrder_)
        mapDirty_ = true;
    pixels_ = pixels;
    stride_ = stride;
    height_ = height;
    depth_ = depth;
    width_ = stride / (depth / 8);
    webPalette_ = webPalette;
    nativeOrder_ = nativeOrder;
    clipX0_ = 0;
    clipX1_ = width_;
    clipY0_ = std::max(clipY0_, 0);
    clipY1_ = std::min(clipY1_, height_);
    if (clipY1_ <= clipY0_) {
        clipY0_ = 0;
        clipY1_ = height_;
    }
}

void BitmapFont::SetClip(int32_t xFrom, int32_t xTo, int32_t yFrom, int32_t yTo) {
    clipX0_ = std::max(xFrom, 0);
    clipY0_ = std::max(yFrom, 0);
    clipX1_ = pixels_ ? std::min(xTo, width_) : std::min(xTo, kClipMax);
    clipY1_ = pixels_ ? std::min(yTo, height_) : std::min(yTo, kClipMax);
}

void BitmapFont::SetColors(uint32_t text, uint32_t background) {
    if ((text & 0xFFFFFF) == textColour_ && (background & 0xFFFFFF) == backColour_) return;
    textColour_ = text & 0xFFFFFF;
    backColour_ = background & 0xFFFFFF;
    mapDirty_ = true;
}

uint16_t BitmapFont::ValueFor(uint32_t colour) const {
    if (depth_ == 16) {
        uint16_t v = Rgb565(colour);
        return nativeOrder_ ? v : Swap16(v);
    }
    uint8_t r, g, b;
    Color::Unpack(colour, r, g, b);
    if (webPalette_) return WebSafePaletteIndex(r, g, b);
    // The nearest entry of the font's palette.
    int32_t best = 0, bestDistance = 1 << 30;
    for (int32_t i = 0; i <= lastPaletteIndex_; ++i) {
        uint8_t pr, pg, pb;
        Color::Unpack(palette_[i], pr, pg, pb);
        int32_t d = std::abs(pr - r) + std::abs(pg - g) + std::abs(pb - b);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return static_cast<uint16_t>(best);
}

void BitmapFont::BuildColorMap() {
    mapDirty_ = false;
    for (int i = 0; i < 256; ++i) {
        uint16_t v = Rgb565(palette_[i]);
        table16_[i] = nativeOrder_ ? v : Swap16(v);
    }
    // Black on white on a 16-bit target darkens in place; everything else maps each level to
    // the mix of the two colours, the background's value left transparent.
    useMap_ = !(depth_ == 16 && textColour_ == 0 && backColour_ == 0xFFFFFF);
    back32_ = Xrgb(backColour_);
    text32_ = Xrgb(textColour_);
    if (depth_ == 32) {
        // True colour takes the mixes as they are; no palette search.
        for (int i = 0; i < 256; ++i) {
            uint32_t mixed;
            Color::Mix(mixed, backColour_, textColour_,
                       static_cast<uint32_t>(Darkness(palette_[i])), 255);
            map32_[i] = Xrgb(mixed);
        }
        return;
    }
    backValue_ = ValueFor(backColour_);
    textValue_ = ValueFor(textColour_);
    for (int i = 0; i < 256; ++i) {
        uint32_t mixed;
        Color::Mix(mixed, backColour_, textColour_, static_cast<uint32_t>(Darkness(palette_[i])),
                   255);
        map_[i] = ValueFor(mixed);
    }
}

void BitmapFont::PutPixel(uint8_t* row, int32_t x, uint8_t level) {
    if (depth_ == 32) {
        // The background's own level leaves what is under the glyph.
        if (map32_[level] == back32_) return;
        std::memcpy(row + 4 * x, &map32_[level], 4);
        return;
    }
    if (depth_ == 16) {
        uint8_t* p = row + 2 * x;
        uint16_t v;
        std::memcpy(&v, p, 2);
        if (!useMap_) {
            v = static_cast<uint16_t>(v & table16_[level]);
        } else {
            if (map_[level] == backValue_) return;
            v = map_[level];
        }
        std::memcpy(p, &v, 2);
        return;
    }
    if (map_[level] == backValue_) return;
    row[x] = static_cast<uint8_t>(map_[level]);
}

const BitmapFont::Glyph* BitmapFont::FindGlyph(char16_t c, Glyph& out) const {
    if (!glyphs_ || c < firstCode_) return nullptr;
    uint32_t index = static_cast<uint32_t>(c) - firstCode_;
    if (index >= glyphCount_) return nullptr;
    const uint8_t* e = glyphs_ + 8 + kGlyphEntrySize * index;
    out.offset = Be32(e);
    out.width = e[4];
    out.height = e[5];
    out.xOffset = static_cast<int8_t>(e[6]);
    out.yOffset = static_cast<int8_t>(e[7]);
    out.left = static_cast<int8_t>(e[8]);
    out.advance = e[9];
    out.right = static_cast<int8_t>(e[10]);
    return &out;
}

void BitmapFont::DrawText(int32_t x, int32_t y, const char16_t* text, int32_t length,
                          bool underline) {
    if (!pixels_ || !glyphs_ || !face_ || face_[kFaceDepth] != 8) return;
    if (y < clipY0_ || y >= clipY1_) return;
    if (mapDirty_) BuildColorMap();
    int32_t lineHeight = face_[kFaceHeight];
    int32_t slant = face_[kFaceSlant];
    int32_t pen = 0;
    for (int32_t i = 0; text && i < length; ++i) {
        Glyph g;
        if (!FindGlyph(text[i], g)) continue;
        int32_t left = x + pen + g.xOffset + g.left;
        int32_t top = y + g.yOffset;
        pen += g.left + g.advance + g.right;
        if (g.width == 0 || g.height == 0) continue;
        if (left + g.width <= clipX0_ || left >= clipX1_ || top + g.height - 1 >= clipY1_) continue;
        // The slant: rows further down start further left.
        int32_t acc = lineHeight / 2, shift = 0;
        if (slant > 0 && lineHeight > 0) {
            for (int32_t r = 0; r < g.yOffset; ++r) {
                acc += slant;
                while (acc >= lineHeight) {
                    acc -= lineHeight;
                    ++shift;
                }
            }
        }
        const uint8_t* src = glyphs_ + g.offset;
        for (int32_t r = 0; r < g.height; ++r, src += g.width) {
            if (r > 0 && slant > 0 && lineHeight > 0) {
                acc += slant;
                while (acc >= lineHeight) {
                    acc -= lineHeight;
                    ++shift;
                }
            }
            int32_t row = top + r;
            if (row < clipY0_ || row >= clipY1_) continue;
            int32_t rowLeft = left - shift;
            int32_t from = std::max(clipX0_ - rowLeft, 0);
            int32_t to = std::min(clipX1_ - rowLeft, g.width);
            uint8_t* dst = pixels_ + static_cast<size_t>(row) * static_cast<size_t>(stride_);
            for (int32_t c = from; c < to; ++c) PutPixel(dst, rowLeft + c, src[c]);
        }
    }
    if (underline) DrawLine(x, x + pen, y);
}

void BitmapFont::DrawLine(int32_t xFrom, int32_t xTo, int32_t y) {
    if (!pixels_ || !face_) return;
    if (mapDirty_) BuildColorMap();
    int32_t row = y + face_[kFaceAscent] + 2;
    if (row < clipY0_ || row >= clipY1_) return;
    int32_t from = std::max(xFrom, clipX0_);
    int32_t to = std::min(xTo, clipX1_);
    uint8_t* dst = pixels_ + static_cast<size_t>(row) * static_cast<size_t>(stride_);
    for (int32_t x = from; x < to; ++x) {
        if (depth_ == 32)
            std::memcpy(dst + 4 * x, &text32_, 4);
        else if (depth_ == 16)
            std::memcpy(dst + 2 * x, &textValue_, 2);
        else
            dst[x] = static_cast<uint8_t>(textValue_);
    }
}

void BitmapFont::MeasureRun(const char16_t* text, int32_t length, int32_t& left, int32_t& width,
                            int32_t& right) const {
    left = width = right = 0;
    bool first = true;
    for (int32_t i = 0; text && i < length; ++i) {
        Glyph g;
        if (!FindGlyph(text[i], g)) continue;
        if (first) left = g.left;
        first = false;
        width += g.left + g.advance + g.right;
        right = g.right;
    }
    width -= left + right;
}

int32_t BitmapFont::FitCount(const char16_t* text, int32_t length, int32_t maxWidth) const {
    int32_t pen = 0;
    for (int32_t i = 0; text && i < length; ++i) {
        Glyph g;
        if (!FindGlyph(text[i], g)) continue;
        pen += g.left + g.advance + g.right;
        if (pen > maxWidth) return i;
    }
    return text ? std::max(length, 0) : 0;
}

void BitmapFont::Metrics(int32_t& height, int32_t& ascent) const {
    height = face_ ? face_[kFaceHeight] : 0;
    ascent = face_ ? face_[kFaceAscent] : 0;
}

void BitmapFont::Clear(uint32_t colour) {
    if (!pixels_) return;
    if (mapDirty_) BuildColorMap();
    uint16_t v = ValueFor(colour & 0xFFFFFF);
    if (depth_ == 8 && !webPalette_) {
        uint8_t r, g, b;
        Color::Unpack(colour, r, g, b);
        v = WebSafePaletteIndex(r, g, b);
    }
    for (int32_t row = 0; row < height_; ++row) {
        uint8_t* dst = pixels_ + static_cast<size_t>(row) * static_cast<size_t>(stride_);
        if (depth_ == 8) {
            std::memset(dst, static_cast<uint8_t>(v), static_cast<size_t>(width_));
        } else if (depth_ == 32) {
            const uint32_t c = Xrgb(colour & 0xFFFFFF);
            for (int32_t x = 0; x < width_; ++x) std::memcpy(dst + 4 * x, &c, 4);
        } else {
            for (int32_t x = 0; x < width_; ++x) std::memcpy(dst + 2 * x, &v, 2);
        }
    }
}

uint8_t BitmapFont::WebSafePaletteIndex(uint8_t r, uint8_t g, uint8_t b) {
    auto level = [](int32_t c) { return (c + 25) * 1285 >> 16; };
    int32_t dr = std::abs(r - g) + std::abs(g - b) + std::abs(b - r);
    if (dr > 34) {
        int32_t R = 5 - level(r), G = 5 - level(g), B = 5 - level(b);
        int32_t index = G + 6 * (B % 3 + 3 * R) + (B >= 3 ? 108 : 0);
        return static_cast<uint8_t>(index == 215 ? 255 : index);
    }
    static const uint8_t kGreys[16] = {255, 215, 216, 190, 217, 218, 165, 219,
                                       220, 50,  221, 222, 25,  223, 224, 0};
    int32_t entry = (r + g + b + 25) * 1285 >> 16;
    return kGreys[std::min(entry, 15)];
}

std::vector<std::u16string> BitmapFont::FindDatabases(const std::u16string& folder) {
    std::vector<std::u16string> names;
    const std::u16string pattern = folder + u"*.prc";
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::u16string name(data.cFileName);
        Text path;
        BitmapFont font;
        if (path.FromWide((folder + name).c_str()) && font.Open(path) == 0) names.push_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    auto folded = [](std::u16string s) {
        for (char16_t& c : s)
            if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        return s;
    };
    std::sort(names.begin(), names.end(), [&](const std::u16string& a, const std::u16string& b) {
        return folded(a) < folded(b);
    });
    return names;
}
