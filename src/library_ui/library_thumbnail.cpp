#include "library_ui/library_thumbnail.h"

#include <cstring>
#include <memory>
#include <vector>

#include "bookfiles/book_header.h"
#include "bookfiles/palm_database.h"
#include "library_ui/library_view.h"
#include "media/image/cx_image.h"
#include "media/image/image_decoder.h"

namespace {

// Thumbnails come from small pictures; a larger one is not worth the memory.
constexpr uint64_t kMaxThumbnailSourcePixels = 1ull << 22;

HBITMAP MakeDib(int width, int height, uint32_t** pixels) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) {
        if (bitmap) DeleteObject(bitmap);
        return nullptr;
    }
    *pixels = static_cast<uint32_t*>(bits);
    return bitmap;
}

HBITMAP FromJpeg(const uint8_t* bytes, uint32_t length, int cellW, int cellH, int& w, int& h) {
    CxImage picture(CXIMAGE_FORMAT_UNKNOWN);
    // A failed decode leaves an empty image: nothing to measure.
    if (!picture.DecodeMemory(bytes, length, CXIMAGE_FORMAT_JPG) || !picture.IsValid()) return nullptr;
    if (!LibraryRow::FitToCell(picture.GetWidth(), picture.GetHeight(), cellW, cellH, w, h))
        return nullptr;
    CxImage fitted(CXIMAGE_FORMAT_UNKNOWN);
    CxImage* source = &picture;
    if (static_cast<uint32_t>(w) != picture.GetWidth() || static_cast<uint32_t>(h) != picture.GetHeight()) {
        if (!picture.Resample(w, h, 1, &fitted) || !fitted.IsValid()) return nullptr;
        source = &fitted;
    }
    return source->MakeBitmap(nullptr);
}

HBITMAP FromIndexed(ImageDecoder& decoder, int cellW, int cellH, int& w, int& h) {
    uint32_t sw = decoder.Width(), sh = decoder.Height();
    if (static_cast<uint64_t>(sw) * sh > kMaxThumbnailSourcePixels) return nullptr;
    if (!LibraryRow::FitToCell(sw, sh, cellW, cellH, w, h)) return nullptr;
    uint32_t stride = (sw + 3) & ~3u;
    std::vector<uint8_t> indices(static_cast<size_t>(stride) * sh, 0);
    decoder.SetOptions(true, true, false, false);
    if (decoder.SetFormat(sw, sh, 8, indices.data(), stride, nullptr, nullptr, false) != 0)
        return nullptr;
    if (decoder.Decode(0, 0) != 0) return nullptr;
    RGBQUAD palette[256] = {};
    PaletteToRgbQuad(decoder, palette);
    uint32_t* pixels = nullptr;
    HBITMAP bitmap = MakeDib(w, h, &pixels);
    if (!bitmap) return nullptr;
    for (int y = 0; y < h; ++y) {
        uint32_t srcY = static_cast<uint32_t>((static_cast<uint64_t>(y) * sh) / static_cast<uint32_t>(h));
        // Bottom-up BMP rows are turned by the decoder; rows arrive top-down here.
        const uint8_t* row = indices.data() + static_cast<size_t>(srcY) * stride;
        for (int x = 0; x < w; ++x) {
            uint32_t srcX = static_cast<uint32_t>((static_cast<uint64_t>(x) * sw) / static_cast<uint32_t>(w));
            const RGBQUAD& c = palette[row[srcX]];
            pixels[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] =
                (static_cast<uint32_t>(c.rgbRed) << 16) | (static_cast<uint32_t>(c.rgbGreen) << 8) | c.rgbBlue;
        }
    }
    return bitmap;
}

}  // namespace

HBITMAP MakeThumbnailFromPicture(const uint8_t* bytes, uint32_t length, int cellW, int cellH,
                                 int& width, int& height) {
    width = height = 0;
    if (!bytes || length == 0) return nullptr;
    ImageDecoder decoder;
    if (!decoder.Open(bytes, length, true) || !decoder.IsValid()) return nullptr;
    HBITMAP out = decoder.Type() == ImageDecoder::kJpeg
                      ? FromJpeg(bytes, length, cellW, cellH, width, height)
                      : FromIndexed(decoder, cellW, cellH, width, height);
    if (!out) width = height = 0;
    return out;
}

HBITMAP MakeThumbnail(const Text& bookPath, uint16_t thumbnailOffset, int cellW, int cellH,
                      int& width, int& height) {
    width = height = 0;
    if (thumbnailOffset == 0xFFFF) return nullptr;
    int error = 0;
    std::unique_ptr<PalmDatabase> db(PalmDatabase::Open(bookPath, 41, nullptr, nullptr, &error));
    if (!db) return nullptr;
    uint32_t first = ReadBookHeaderWord(db.get());
    // The header word says 65535 when the book has no pictures; the record must exist.
    if (first == 65535) return nullptr;
    uint64_t index = static_cast<uint64_t>(first) + thumbnailOffset;
    if (index >= db->GetRecordCount()) return nullptr;
    uint32_t length = 0;
    const uint8_t* bytes = db->GetRecord(static_cast<uint32_t>(index), &length);
    return MakeThumbnailFromPicture(bytes, length, cellW, cellH, width, height);
}
