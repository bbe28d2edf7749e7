// JPEG pictures through libjpeg's decompressor (the IJG 6b interface), read from a CxFile.
#pragma once

#include "media/image/cx_image.h"

class CxImageJPG : public CxImage {
public:
    // Codec option bits.
    static constexpr std::uint32_t kGrey = 0x80;
    static constexpr std::uint32_t kQuantize = 0x100;
    static constexpr std::uint32_t kDither = 0x200;
    static constexpr std::uint32_t kOnePass = 0x400;
    static constexpr std::uint32_t kNoFancyUpsampling = 0x800;

    CxImageJPG();
    bool Decode(CxFile* file);
    void SetDitherMode(int mode) { ditherMode_ = mode; }

private:
    friend class CxImage;
    int ditherMode_ = 0;
};
