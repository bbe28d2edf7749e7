// A small drawing surface for pixel checks: a memory DC with a DIB section selected.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "platform/gdi.h"

namespace gdi_test {

struct DibInfo {
    BITMAPINFOHEADER header{};
    RGBQUAD colors[256]{};
};

inline DibInfo MakeInfo(int width, int height, int bits, DWORD compression = BI_RGB,
                        DWORD colorsUsed = 0) {
    DibInfo info;
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = width;
    info.header.biHeight = height;
    info.header.biPlanes = 1;
    info.header.biBitCount = static_cast<WORD>(bits);
    info.header.biCompression = compression;
    info.header.biClrUsed = colorsUsed;
    return info;
}

inline const BITMAPINFO* AsInfo(const DibInfo& info) {
    return reinterpret_cast<const BITMAPINFO*>(&info);
}

class Canvas {
public:
    // A top-down 32-bit DIB, cleared to white.
    Canvas(int width, int height) : width_(width), height_(height) {
        DibInfo info = MakeInfo(width, -height, 32);
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, AsInfo(info), DIB_RGB_COLORS, &bits_, nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        Clear(RGB(255, 255, 255));
    }
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return dc_; }
    HBITMAP bitmap() const { return bitmap_; }
    int width() const { return width_; }
    int height() const { return height_; }

    void Clear(COLORREF c) {
        auto* p = static_cast<std::uint32_t*>(bits_);
        std::uint32_t v = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
        for (int i = 0; i < width_ * height_; ++i) p[i] = v;
    }
    // Read straight from the bits, independent of clipping and origin.
    COLORREF At(int x, int y) const {
        std::uint32_t v = static_cast<const std::uint32_t*>(bits_)[y * width_ + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    // A row as text: '#' for the colour, '.' for anything else.
    std::string Row(int y, COLORREF c) const {
        std::string s;
        for (int x = 0; x < width_; ++x) s += At(x, y) == c ? '#' : '.';
        return s;
    }
    int Count(COLORREF c) const {
        int n = 0;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) n += At(x, y) == c;
        return n;
    }
    // The bounding box of pixels that differ from the background.
    RECT InkBox(COLORREF background) const {
        RECT r{width_, height_, 0, 0};
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                if (At(x, y) != background) {
                    r.left = std::min<LONG>(r.left, x);
                    r.top = std::min<LONG>(r.top, y);
                    r.right = std::max<LONG>(r.right, x + 1);
                    r.bottom = std::max<LONG>(r.bottom, y + 1);
                }
        if (r.right == 0) r = RECT{0, 0, 0, 0};
        return r;
    }

private:
    int width_, height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    void* bits_ = nullptr;
};

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

}  // namespace gdi_test

inline bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline void PrintTo(const RECT& r, std::ostream* os) {
    *os << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}";
}
