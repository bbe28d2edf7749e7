// imagedump IN OUT.ppm | imagedump --fit WxH IN OUT.ppm
// Decodes a GIF (first picture), BMP or JPEG with the program's decoders and writes a binary
// PPM, optionally scaled down to fit the box as the image view shows it. Exit 1 with the reason
// on standard error when the picture cannot be decoded, 2 on bad usage.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "media/image/cx_image.h"
#include "media/image/image_decoder.h"
#include "support/media/image/picture_fixtures.h"

namespace {

int Fail(const char* why) {
    std::fprintf(stderr, "imagedump: %s\n", why);
    return 1;
}

void Fit(std::uint32_t w, std::uint32_t h, std::uint32_t boxW, std::uint32_t boxH,
         std::uint32_t* outW, std::uint32_t* outH) {
    *outW = w;
    *outH = h;
    if (boxW == 0 || boxH == 0 || (w <= boxW && h <= boxH)) return;
    if (std::uint64_t(w) * boxH <= std::uint64_t(h) * boxW) {
        *outH = boxH;
        *outW = std::uint32_t(std::uint64_t(w) * boxH / h);
    } else {
        *outW = boxW;
        *outH = std::uint32_t(std::uint64_t(h) * boxW / w);
    }
    if (*outW == 0) *outW = 1;
    if (*outH == 0) *outH = 1;
}

// The PPM written row by row into a file beside `path`, renamed over it when whole: the picture
// is never held a second time as output.
class PpmWriter {
public:
    explicit PpmWriter(const char* path) : path_(path), temp_(std::string(path) + ".tmp") {}
    ~PpmWriter() {
        if (file_) std::fclose(file_);
        if (!done_) std::remove(temp_.c_str());
    }
    bool Begin(std::uint32_t w, std::uint32_t h) {
        file_ = std::fopen(temp_.c_str(), "wb");
        rowBytes_ = std::size_t(w) * 3;
        return file_ && std::fprintf(file_, "P6\n%u %u\n255\n", w, h) > 0;
    }
    bool Row(const std::uint8_t* rgb) {
        return std::fwrite(rgb, 1, rowBytes_, file_) == rowBytes_;
    }
    bool Finish() {
        bool ok = std::fclose(file_) == 0;
        file_ = nullptr;
        done_ = ok && std::rename(temp_.c_str(), path_.c_str()) == 0;
        return done_;
    }

private:
    std::string path_, temp_;
    std::FILE* file_ = nullptr;
    std::size_t rowBytes_ = 0;
    bool done_ = false;
};

template <typename Row>
bool WritePpm(const char* path, std::uint32_t w, std::uint32_t h, Row row) {
    PpmWriter out(path);
    if (!out.Begin(w, h)) return false;
    std::vector<std::uint8_t> line(std::size_t(w) * 3);
    for (std::uint32_t y = 0; y < h; ++y) {
        row(y, line.data());
        if (!out.Row(line.data())) return false;
    }
    return out.Finish();
}

// A full-size true-colour JPEG goes to the file as libjpeg gives its rows.
class PpmSink : public CxImage::RowSink {
public:
    explicit PpmSink(const char* path) : out(path) {}
    bool Begin(std::uint32_t w, std::uint32_t h) override {
        began = true;
        writeFailed = !out.Begin(w, h);
        return !writeFailed;
    }
    bool Row(const std::uint8_t* rgb) override {
        writeFailed = !out.Row(rgb);
        return !writeFailed;
    }
    PpmWriter out;
    bool began = false;
    bool writeFailed = false;
};

}  // namespace

int main(int argc, char** argv) {
    std::uint32_t boxW = 0, boxH = 0;
    int arg = 1;
    if (argc == 5 && std::strcmp(argv[1], "--fit") == 0) {
        if (std::sscanf(argv[2], "%ux%u", &boxW, &boxH) != 2 || boxW == 0 || boxH == 0) {
            std::fprintf(stderr, "imagedump: bad box %s\n", argv[2]);
            return 2;
        }
        arg = 3;
    } else if (argc != 3) {
        std::fprintf(stderr, "usage: imagedump [--fit WxH] IN OUT.ppm\n");
        return 2;
    }
    std::vector<std::uint8_t> bytes = fvt::test::ReadFileBytes(argv[arg]);
    if (bytes.empty()) return Fail("cannot read the input file, or it is empty");
    if (bytes.size() > 0x7FFFFFFF) return Fail("file too large");
    ImageDecoder decoder;
    decoder.Open(bytes.data(), std::uint32_t(bytes.size()), true);
    if (!decoder.IsValid()) return Fail("not a GIF, BMP or JPEG picture this program can decode");
    std::uint32_t w = 0, h = 0;
    Fit(decoder.Width(), decoder.Height(), boxW, boxH, &w, &h);
    const char* out = argv[arg + 1];
    if (decoder.Type() == ImageDecoder::kJpeg) {
        CxImage image;
        // The library's DCT scaling first, then the nearest pixel down to the box.
        std::uint8_t scale = 1;
        while (scale < 8 && decoder.Width() / (scale * 2) >= w &&
               decoder.Height() / (scale * 2) >= h)
            scale *= 2;
        image.SetJpegScale(scale);
        PpmSink sink(out);
        if (w == decoder.Width() && h == decoder.Height()) image.SetRowSink(&sink);
        if (!image.DecodeMemory(bytes.data(), std::uint32_t(bytes.size()), CXIMAGE_FORMAT_JPG))
            return Fail(sink.writeFailed ? "cannot write the output file" : image.GetLastError());
        if (sink.began) return sink.out.Finish() ? 0 : Fail("cannot write the output file");
        if ((image.GetWidth() != w || image.GetHeight() != h) &&
            !image.Resample(std::int32_t(w), std::int32_t(h), 1, nullptr)) {
            return Fail(image.GetLastError());
        }
        bytes = {};  // the file is decoded: give its memory back before writing
        auto row = [&](std::uint32_t y, std::uint8_t* p) {
            for (std::uint32_t x = 0; x < w; ++x, p += 3) {
                RGBQUAD c = image.GetPixelColor(std::int32_t(x), std::int32_t(h - 1 - y));
                p[0] = c.rgbRed;
                p[1] = c.rgbGreen;
                p[2] = c.rgbBlue;
            }
        };
        if (!WritePpm(out, w, h, row)) return Fail("cannot write the output file");
    } else {
        std::vector<std::uint8_t> indices(std::size_t(w) * h, 0);
        if (w < decoder.Width() || h < decoder.Height()) {
            decoder.SetScale(std::uint16_t(w), std::uint16_t(decoder.Width()), std::uint16_t(h),
                             std::uint16_t(decoder.Height()));
        }
        decoder.SetOptions(true, true, false, true);
        if (decoder.SetFormat(w, h, 8, indices.data(), w, nullptr, nullptr, false) != 0 ||
            decoder.Decode(0, 0) != 0) {
            return Fail("the picture data is corrupt");
        }
        RGBQUAD palette[256] = {};
        PaletteToRgbQuad(decoder, palette);
        auto row = [&](std::uint32_t y, std::uint8_t* p) {
            const std::uint8_t* in = indices.data() + std::size_t(y) * w;
            for (std::uint32_t x = 0; x < w; ++x, p += 3) {
                p[0] = palette[in[x]].rgbRed;
                p[1] = palette[in[x]].rgbGreen;
                p[2] = palette[in[x]].rgbBlue;
            }
        };
        if (!WritePpm(out, w, h, row)) return Fail("cannot write the output file");
    }
    return 0;
}
