#include "support/media/image/picture_fixtures.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <unordered_map>

extern "C" {
#include <jpeglib.h>
}

namespace fvt::test {

namespace {

void Put16(std::vector<std::uint8_t>& v, std::uint32_t x) {
    v.push_back(std::uint8_t(x));
    v.push_back(std::uint8_t(x >> 8));
}
void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}

struct BitWriter {
    std::vector<std::uint8_t> out;
    std::uint32_t acc = 0;
    int count = 0;
    void Put(std::uint32_t code, int width) {
        acc |= code << count;
        count += width;
        while (count >= 8) {
            out.push_back(std::uint8_t(acc));
            acc >>= 8;
            count -= 8;
        }
    }
    void Flush() {
        if (count > 0) out.push_back(std::uint8_t(acc));
        acc = 0;
        count = 0;
    }
};

int PaletteBits(std::size_t n) {
    int bits = 1;
    while ((1u << bits) < n) ++bits;
    return bits;
}

}  // namespace

std::vector<std::uint8_t> LzwEncode(const std::vector<std::uint8_t>& indices, int codeSize,
                                    bool deferredClear) {
    BitWriter w;
    const std::uint32_t clear = 1u << codeSize, end = clear + 1;
    std::uint32_t next = clear + 2;
    int width = codeSize + 1;
    std::unordered_map<std::uint32_t, std::uint32_t> dict;
    auto emit = [&](std::uint32_t code) {
        if (next > (1u << width) && width < 12) ++width;
        w.Put(code, width);
    };
    emit(clear);
    if (!indices.empty()) {
        std::uint32_t prefix = indices[0];
        for (std::size_t i = 1; i < indices.size(); ++i) {
            std::uint32_t key = (prefix << 8) | indices[i];
            auto it = dict.find(key);
            if (it != dict.end()) {
                prefix = it->second;
                continue;
            }
            emit(prefix);
            if (next < 4096) {
                dict[key] = next++;
            } else if (!deferredClear) {
                emit(clear);
                dict.clear();
                next = clear + 2;
                width = codeSize + 1;
            }
            prefix = indices[i];
        }
        emit(prefix);
    }
    emit(end);
    w.Flush();
    return w.out;
}

std::vector<std::uint8_t> PackCodes(const std::vector<std::pair<std::uint32_t, int>>& codes) {
    BitWriter w;
    for (auto [code, width] : codes) w.Put(code, width);
    w.Flush();
    return w.out;
}

std::vector<std::uint8_t> WriteGifWithData(const GifSpec& s,
                                           const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> v = {'G', 'I', 'F', '8', '9', 'a'};
    int bits = PaletteBits(s.palette.size());
    Put16(v, s.width);
    Put16(v, s.height);
    v.push_back(s.localPalette ? 0x70 : std::uint8_t(0xF0 | (bits - 1)));
    v.push_back(0);
    v.push_back(0);
    auto table = [&]() {
        for (std::uint32_t i = 0; i < (1u << bits); ++i) {
            Rgb c = i < s.palette.size() ? s.palette[i] : Rgb{0, 0, 0};
            v.push_back(c.r);
            v.push_back(c.g);
            v.push_back(c.b);
        }
    };
    if (!s.localPalette) table();
    if (!s.fvtw.empty()) {
        v.insert(v.end(), {0x21, 0xFF, std::uint8_t(6 + s.fvtw.size()), 'F', 'V', 'T', 'W',
                           std::uint8_t(s.fvtw.size())});
        v.insert(v.end(), s.fvtw.begin(), s.fvtw.end());
        v.push_back(s.fvtwNext);
        v.push_back(0);
    }
    if (s.transparent >= 0) {
        v.insert(v.end(), {0x21, 0xF9, 4, std::uint8_t(s.transparentFlag ? 1 : 0), 0, 0,
                           std::uint8_t(s.transparent), 0});
    }
    v.push_back(0x2C);
    Put16(v, 0);
    Put16(v, 0);
    Put16(v, s.width);
    Put16(v, s.height);
    std::uint8_t packed = s.interlaced ? 0x40 : 0;
    if (s.localPalette) packed |= std::uint8_t(0x80 | (bits - 1));
    v.push_back(packed);
    if (s.localPalette) table();
    int codeSize = s.codeSize ? s.codeSize : (bits < 2 ? 2 : bits);
    v.push_back(std::uint8_t(codeSize));
    for (std::size_t i = 0; i < data.size(); i += 255) {
        std::size_t n = std::min<std::size_t>(255, data.size() - i);
        v.push_back(std::uint8_t(n));
        v.insert(v.end(), data.begin() + long(i), data.begin() + long(i + n));
    }
    v.push_back(0);
    v.push_back(0x3B);
    return v;
}

std::vector<std::uint8_t> WriteGif(const GifSpec& s) {
    std::vector<std::uint8_t> order;
    if (s.interlaced) {
        static const std::uint32_t start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
        for (int p = 0; p < 4; ++p) {
            for (std::uint32_t y = start[p]; y < s.height; y += step[p]) {
                order.insert(order.end(), s.pixels.begin() + long(y * s.width),
                             s.pixels.begin() + long((y + 1) * s.width));
            }
        }
    } else {
        order = s.pixels;
    }
    int bits = PaletteBits(s.palette.size());
    int codeSize = s.codeSize ? s.codeSize : (bits < 2 ? 2 : bits);
    return WriteGifWithData(s, LzwEncode(order, codeSize, s.deferredClear));
}

std::vector<std::uint8_t> WriteBmp(const BmpSpec& s) {
    std::uint32_t colours = std::uint32_t(s.palette.size());
    std::uint32_t w = std::uint32_t(s.width);
    std::uint32_t h = std::uint32_t(s.height < 0 ? -s.height : s.height);
    std::uint32_t stride = ((w * s.bits + 31) / 32) * 4;
    std::vector<std::uint8_t> data;
    if (s.compression == 0) {
        data.assign(std::size_t(stride) * h, 0);
        for (std::uint32_t y = 0; y < h; ++y) {
            std::uint32_t fileRow = s.height < 0 ? y : h - 1 - y;
            std::uint8_t* row = data.data() + std::size_t(fileRow) * stride;
            for (std::uint32_t x = 0; x < w; ++x) {
                std::uint8_t v = s.pixels[std::size_t(y) * w + x];
                std::uint32_t bit = x * s.bits;
                row[bit / 8] |= std::uint8_t(v << (8 - s.bits - bit % 8));
            }
        }
    } else {
        data = s.rle;
    }
    std::uint32_t offset = 14 + 40 + 4 * colours;
    std::vector<std::uint8_t> v = {'B', 'M'};
    Put32(v, offset + std::uint32_t(data.size()));
    Put32(v, 0);
    Put32(v, offset);
    Put32(v, 40);
    Put32(v, std::uint32_t(s.width));
    Put32(v, std::uint32_t(s.height));
    Put16(v, s.planes);
    Put16(v, s.bits);
    Put32(v, s.compression);
    Put32(v, std::uint32_t(data.size()));
    Put32(v, 2835);
    Put32(v, 2835);
    Put32(v, colours);
    Put32(v, 0);
    for (Rgb c : s.palette) v.insert(v.end(), {c.b, c.g, c.r, 0});
    v.insert(v.end(), data.begin(), data.end());
    return v;
}

std::vector<std::uint8_t> WriteJpeg(std::uint32_t width, std::uint32_t height, int components,
                                    const std::vector<std::uint8_t>& pixels, int quality,
                                    bool subsample, bool progressive) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (components == 3 && !subsample) {
        // No chroma subsampling: colours stay close at every pixel.
        for (int i = 0; i < 3; ++i) {
            cinfo.comp_info[i].h_samp_factor = 1;
            cinfo.comp_info[i].v_samp_factor = 1;
        }
    }
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.data() +
                                            std::size_t(cinfo.next_scanline) * width * components);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<std::uint8_t> bytes(out, out + outSize);
    std::free(out);
    return bytes;
}

std::vector<std::uint8_t> Gradient(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> v(std::size_t(width) * height * 3);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            std::uint8_t* p = v.data() + (std::size_t(y) * width + x) * 3;
            p[0] = std::uint8_t(x * 255 / (width > 1 ? width - 1 : 1));
            p[1] = std::uint8_t(y * 255 / (height > 1 ? height - 1 : 1));
            p[2] = std::uint8_t(128 + (x + y) % 64);
        }
    }
    return v;
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

}  // namespace fvt::test
