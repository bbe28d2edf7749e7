#include "media/image/icon_image.h"

#include <memory>
#include <new>

#include "platform/resources/device_resources.h"

IconImage* IconImage::Create(const IconHost& host, WORD id) {
    std::unique_ptr<IconImage> image(new (std::nothrow) IconImage);
    if (!image) return nullptr;
    HRSRC found = FindResourceW(host.module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(RT_GROUP_ICON));
    if (found) {
        HGLOBAL loaded = LoadResource(host.module, found);
        const auto* dir = static_cast<const std::uint8_t*>(LockResource(loaded));
        DWORD size = SizeofResource(host.module, found);
        if (dir && size >= 6) {
            std::uint32_t count = dir[4] | (dir[5] << 8);
            std::uint32_t entry = (count > 1 && IsHighResolution(host.dpi)) ? 1 : 0;
            if (count > 0 && 6ull + 14ull * (entry + 1) <= size) {
                const std::uint8_t* e = dir + 6 + 14 * entry;
                // A size byte of 0 stands for 256.
                image->width_ = e[0] ? e[0] : 256;
                image->height_ = e[1] ? e[1] : 256;
            }
        }
    }
    image->icon_ = static_cast<HICON>(LoadImageW(host.module, MAKEINTRESOURCEW(id), IMAGE_ICON,
                                                 image->width_, image->height_, 0));
    if (!image->icon_) return nullptr;
    if (image->width_ == 0 || image->height_ == 0) {
        ICONINFO info = {};
        BITMAP bm = {};
        if (GetIconInfo(image->icon_, &info)) {
            if (info.hbmColor && GetObjectW(info.hbmColor, sizeof bm, &bm)) {
                image->width_ = bm.bmWidth;
                image->height_ = bm.bmHeight;
            }
            if (info.hbmColor) DeleteObject(info.hbmColor);
            if (info.hbmMask) DeleteObject(info.hbmMask);
        }
    }
    return image.release();
}

IconImage::~IconImage() {
    if (icon_) DestroyIcon(icon_);
    if (bitmap_) DeleteObject(bitmap_);
}

bool IconImage::Draw(HDC dc, const RECT& rect, const RECT* clip) const {
    if (!icon_ || !dc) return false;
    const RECT& c = clip ? *clip : rect;
    int saved = SaveDC(dc);
    IntersectClipRect(dc, c.left, c.top, c.right, c.bottom);
    BOOL ok = DrawIconEx(dc, rect.left, rect.top, icon_, width_, height_, 0, nullptr, DI_NORMAL);
    RestoreDC(dc, saved);
    return ok != FALSE;
}

bool IconImage::GetSize(SIZE* size, bool* scalable) const {
    if (size) {
        size->cx = width_;
        size->cy = height_;
    }
    if (scalable) *scalable = true;
    return icon_ || bitmap_;
}

bool IconImage::FetchData(const std::uint8_t** bytes, std::uint32_t* length) const {
    if (bytes) *bytes = nullptr;
    if (length) *length = 0;
    return true;
}
