#include "media/image/image_bitmap.h"

#include <cstdlib>
#include <cstring>

#include "media/image/cx_image.h"
#include "media/image/image_decoder.h"

namespace {

bool MakeCompatible(HDC dc, std::int32_t width, std::int32_t height, HDC* outDC, HBITMAP* outBitmap,
                    HGDIOBJ* outOld) {
    HDC memory = CreateCompatibleDC(dc);
    if (!memory) return false;
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    HGDIOBJ old = bitmap ? SelectObject(memory, bitmap) : nullptr;
    if (!old) {
        if (bitmap) DeleteObject(bitmap);
        DeleteDC(memory);
        return false;
    }
    *outDC = memory;
    *outBitmap = bitmap;
    *outOld = old;
    return true;
}

void ReleaseCompatible(HDC* dc, HBITMAP* bitmap, HGDIOBJ* old) {
    if (*dc && *old) SelectObject(*dc, *old);
    if (*bitmap) DeleteObject(*bitmap);
    if (*dc) DeleteDC(*dc);
    *dc = nullptr;
    *bitmap = nullptr;
    *old = nullptr;
}

}  // namespace

void ImageBitmap::ReleaseScaled() {
    ReleaseCompatible(&scaledDC_, &scaledBitmap_, &scaledOld_);
}

void ImageBitmap::Release() {
    ReleaseCompatible(&fullDC_, &fullBitmap_, &fullOld_);
    ReleaseScaled();
    height_ = width_ = 0;
}

void ImageBitmap::ReleaseRow() {
    if (rowDC_ && rowOld_) SelectObject(rowDC_, rowOld_);
    if (rowBitmap_) DeleteObject(rowBitmap_);
    if (rowDC_) DeleteDC(rowDC_);
    rowDC_ = nullptr;
    rowBitmap_ = nullptr;
    rowOld_ = nullptr;
    rowBits_ = nullptr;
}

bool ImageBitmap::Load(ImageData* image) {
    if (!image) return false;
    Release();
    whole_ = decoded_ = false;
    const std::uint8_t* bytes = nullptr;
    std::uint32_t length = 0;
    bool have = image->OpenData(&bytes, &length) && bytes && length > 0;
    if (have) {
        ImageDecoder decoder(bytes, length);
        bool opened = false;
        HDC dc = nullptr;
        if (decoder.IsValid() && owner_) {
            dc = owner_->BeginDraw();
            opened = true;
        }
        if (dc) {
            std::int32_t w = std::int32_t(decoder.Width()), h = std::int32_t(decoder.Height());
            if (MakeCompatible(dc, w, h, &fullDC_, &fullBitmap_, &fullOld_)) {
                width_ = std::uint32_t(w);
                height_ = std::uint32_t(h);
                // Rows the picture never writes show white, not stale memory.
                PatBlt(fullDC_, 0, 0, w, h, WHITENESS);
                if (decoder.Type() == ImageDecoder::kJpeg) {
                    CxImage picture(CXIMAGE_FORMAT_UNKNOWN);
                    if (!picture.DecodeMemory(bytes, length, CXIMAGE_FORMAT_JPG) ||
                        !picture.IsValid() || !picture.TileToDC(fullDC_, 0, 0)) {
                        Release();
                    } else {
                        whole_ = decoded_ = true;
                    }
                } else {
                    decoder.SetFormat(decoder.Width(), decoder.Height(), 8, nullptr, 0, PutRow,
                                      this, false);
                    rowDC_ = CreateCompatibleDC(dc);
                    auto* info = static_cast<BITMAPINFO*>(
                        std::calloc(1, sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD)));
                    if (rowDC_ && info) {
                        BITMAPINFOHEADER& hdr = info->bmiHeader;
                        hdr.biSize = sizeof(BITMAPINFOHEADER);
                        hdr.biWidth = w;
                        hdr.biHeight = 1;
                        hdr.biPlanes = 1;
                        hdr.biBitCount = 8;
                        hdr.biCompression = BI_RGB;
                        hdr.biClrUsed = decoder.PaletteCount();
                        rowColoursUsed_ = hdr.biClrUsed;
                        // All 256 entries exist (zeroed) so stray indices have a defined colour.
                        PaletteToRgbQuad(decoder, info->bmiColors);
                        hdr.biClrUsed = 256;
                        void* bits = nullptr;
                        rowBitmap_ =
                            CreateDIBSection(rowDC_, info, DIB_RGB_COLORS, &bits, nullptr, 0);
                        rowBits_ = static_cast<std::uint8_t*>(bits);
                        if (rowBitmap_ && rowBits_) rowOld_ = SelectObject(rowDC_, rowBitmap_);
                        if (rowOld_) whole_ = decoder.Decode(0, 0) == 0;
                    }
                    std::free(info);
                    if (!rowOld_) Release();
                }
            }
        }
        if (opened) owner_->EndDraw();
    }
    image->ReleaseData();
    ReleaseRow();
    return fullBitmap_ != nullptr;
}

void ImageBitmap::PutRow(void* context, const std::uint8_t* row, std::uint32_t count,
                         std::uint32_t rowNumber, const void*, std::uint32_t startColumn) {
    auto* self = static_cast<ImageBitmap*>(context);
    if (!self || !self->rowBits_ || !row || startColumn >= self->width_) return;
    if (count > self->width_ - startColumn) count = self->width_ - startColumn;
    std::memcpy(self->rowBits_ + startColumn, row + startColumn, count);
    self->decoded_ = true;
    BitBlt(self->fullDC_, std::int32_t(startColumn), std::int32_t(rowNumber), std::int32_t(count),
           1, self->rowDC_, std::int32_t(startColumn), 0, SRCCOPY);
}

HDC ImageBitmap::MakeScaled(SIZE source, SIZE target) {
    ReleaseScaled();
    if (!fullDC_ || target.cx <= 0 || target.cy <= 0 || target.cx > source.cx ||
        target.cy > source.cy) {
        return nullptr;
    }
    if (!MakeCompatible(fullDC_, target.cx, target.cy, &scaledDC_, &scaledBitmap_, &scaledOld_))
        return nullptr;
    if (!StretchBlt(scaledDC_, 0, 0, target.cx, target.cy, fullDC_, 0, 0, source.cx, source.cy,
                    SRCCOPY)) {
        ReleaseScaled();
        return nullptr;
    }
    return scaledDC_;
}
