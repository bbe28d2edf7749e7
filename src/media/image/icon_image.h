// An inline picture that is one of the program's icons, loaded at the size that suits the
// screen: the second image of the icon group on screens of 130 dpi or more.
#pragma once

#include <cstdint>

#include "platform/gdi.h"

// What an icon needs of its host: the module holding the resources and the screen's
// horizontal logical pixels per inch.
struct IconHost {
    HMODULE module = nullptr;
    int dpi = 96;
};

inline bool IsHighResolution(int dpi) {
    return dpi >= 130;
}

class IconImage {
public:
    static constexpr int kKind = 9;

    // Null when the id has no icon.
    static IconImage* Create(const IconHost& host, WORD id);
    ~IconImage();
    IconImage(const IconImage&) = delete;
    IconImage& operator=(const IconImage&) = delete;

    // Draws the icon at the rectangle's top-left, clipped to clip (the rectangle when null).
    bool Draw(HDC dc, const RECT& rect, const RECT* clip) const;
    bool GetSize(SIZE* size, bool* scalable) const;
    // An icon has no picture bytes: true without giving any.
    bool FetchData(const std::uint8_t** bytes, std::uint32_t* length) const;
    void DropData() {}

    int Kind() const { return kKind; }
    HICON Icon() const { return icon_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    IconImage() = default;

    HICON icon_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};
