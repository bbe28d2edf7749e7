// imagedump IN OUT.ppm | imagedump --fit WxH IN OUT.ppm
// Decodes a GIF (first picture), BMP or JPEG with the program's decoders and writes a binary
// PPM, optionally scaled down to fit the box as the image view shows it. Exit 1 with the reason
// on standard error when the picture cannot be decoded, 2 on bad usage.
//
// Its peak memory is meant to stay below twice its output: a JPEG is read through a small
// buffer as libjpeg asks (only its coefficients, for a progressive one, are held whole), and a
// GIF or BMP is read once at its exact size.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "media/image/cx_file.h"
#include "media/image/cx_image.h"
#include "media/image/image_decoder.h"

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

// The whole file in a buffer of its size (no growth by doubling); empty when it cannot be read.
std::vector<std::uint8_t> ReadWhole(CxFile& file) {
    std::vector<std::uint8_t> bytes;
    const std::int32_t size = file.Size();
    if (size <= 0) return bytes;
    bytes.resize(std::size_t(size));
    if (!file.Seek(0, SEEK_SET) || file.Read(bytes.data(), 1, bytes.size()) != bytes.size())
        bytes.clear();
    return bytes;
}

bool IsJpeg(const std::uint8_t* head, std::size_t n) {
    return n >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
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
    CxIOFile file(std::fopen(argv[arg], "rb"), true);
    std::uint8_t head[3] = {};
    const std::size_t headBytes = file.Read(head, 1, sizeof head);
    if (headBytes == 0) return Fail("cannot read the input file, or it is empty");
    const char* out = argv[arg + 1];
    if (IsJpeg(head, headBytes)) {
        // The header alone first, for the size; then the picture, from the file's start.
        CxImage probe;
        probe.SetEscape(-1);
        if (!file.Seek(0, SEEK_SET) || !probe.Decode(&file, CXIMAGE_FORMAT_JPG))
            return Fail(probe.GetLastError());
        const std::uint32_t fullW = probe.GetWidth(), fullH = probe.GetHeight();
        std::uint32_t w = 0, h = 0;
        Fit(fullW, fullH, boxW, boxH, &w, &h);
        CxImage image;
        // The library's DCT scaling first, then the nearest pixel down to the box.
        std::uint8_t scale = 1;
        while (scale < 8 && fullW / (scale * 2) >= w && fullH / (scale * 2) >= h) scale *= 2;
        image.SetJpegScale(scale);
        PpmSink sink(out);
        if (w == fullW && h == fullH) image.SetRowSink(&sink);
        if (!file.Seek(0, SEEK_SET) || !image.Decode(&file, CXIMAGE_FORMAT_JPG))
            return Fail(sink.writeFailed ? "cannot write the output file" : image.GetLastError());
        file.Close();
        if (sink.began) return sink.out.Finish() ? 0 : Fail("cannot write the output file");
        if ((image.GetWidth() != w || image.GetHeight() != h) &&
            !image.Resample(std::int32_t(w), std::int32_t(h), 1, nullptr)) {
            return Fail(image.GetLastError());
        }
        auto row = [&](std::uint32_t y, std::uint8_t* p) {
            for (std::uint32_t x = 0; x < w; ++x, p += 3) {
                RGBQUAD c = image.GetPixelColor(std::int32_t(x), std::int32_t(h - 1 - y));
                p[0] = c.rgbRed;
                p[1] = c.rgbGreen;
                p[2] = c.rgbBlue;
            }
        };
        if (!WritePpm(out, w, h, row)) return Fail("cannot write the output file");
        return 0;
    }
    std::vector<std::uint8_t> bytes = ReadWhole(file);
    file.Close();
    if (bytes.empty()) return Fail("cannot read the input file, or it is empty");
    ImageDecoder decoder;
    decoder.Open(bytes.data(), std::uint32_t(bytes.size()), true);
    if (!decoder.IsValid()) return Fail("not a GIF, BMP or JPEG picture this program can decode");
    std::uint32_t w = 0, h = 0;
    Fit(decoder.Width(), decoder.Height(), boxW, boxH, &w, &h);
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
    return 0;
}
