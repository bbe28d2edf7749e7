// Hostile JPEG data through the image object (libjpeg behind the error manager's recovery
// point), at full size and scaled, and through the decoder's recognition.
#include <cstdint>

#include "media/image/cx_image.h"
#include "media/image/image_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > (1u << 20)) return 0;
    ImageDecoder decoder(data + 1, std::uint32_t(size - 1));
    (void)decoder.IsValid();
    CxImage image;
    image.SetJpegScale(std::uint8_t(1u << (data[0] & 3)));
    image.DecodeMemory(data + 1, std::uint32_t(size - 1), data[0] & 0x80 ? 0 : 1);
    return 0;
}
