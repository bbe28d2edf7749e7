// Hostile JPEG data through the image object (libjpeg behind the error manager's recovery
// point), at full size and scaled, and through the decoder's recognition. At 1/8 a multi-scan
// picture's coefficients are kept compact: libjpeg then decodes what it decodes with its own
// arrays (block smoothing off in both), and fails only where its own arrays fail.
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "media/image/cx_image.h"
#include "media/image/image_decoder.h"
#include "media/image/jpeg_dc_arrays.h"

extern "C" {
#include <jpeglib.h>
}

namespace {

struct Recovery {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

// The picture at 1/8, rows top first, through the compact arrays or libjpeg's own; false when
// libjpeg fails or the picture is too large to be worth a run.
bool DecodeEighth(const std::uint8_t* data, std::size_t size, bool compact,
                  std::vector<std::uint8_t>& pixels) {
    jpeg_decompress_struct d;
    Recovery err;
    d.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = [](j_common_ptr c) {
        std::longjmp(reinterpret_cast<Recovery*>(c->err)->jump, 1);
    };
    err.pub.output_message = [](j_common_ptr) {};
    jpeg_create_decompress(&d);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&d);
        return false;
    }
    d.mem->max_memory_to_use = long(kCxImageMaxBytes);
    jpeg_mem_src(&d, data, static_cast<unsigned long>(size));
    jpeg_read_header(&d, TRUE);
    if (std::uint64_t(d.image_width) * d.image_height > (1u << 24)) std::longjmp(err.jump, 1);
    d.scale_num = 1;
    d.scale_denom = 8;
    d.do_block_smoothing = FALSE;
    if (compact) KeepDcCoefficientsOnly(&d);
    jpeg_start_decompress(&d);
    const std::size_t stride = std::size_t(d.output_width) * d.output_components;
    pixels.assign(stride * d.output_height, 0);
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = pixels.data() + stride * d.output_scanline;
        jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > (1u << 20)) return 0;
    ImageDecoder decoder(data + 1, std::uint32_t(size - 1));
    (void)decoder.IsValid();
    CxImage image;
    image.SetJpegScale(std::uint8_t(1u << (data[0] & 3)));
    image.DecodeMemory(data + 1, std::uint32_t(size - 1), data[0] & 0x80 ? 0 : 1);
    if ((data[0] & 3) == 3) {
        std::vector<std::uint8_t> own, compact;
        const bool ownOk = DecodeEighth(data + 1, size - 1, false, own);
        const bool compactOk = DecodeEighth(data + 1, size - 1, true, compact);
        if (ownOk && (!compactOk || own != compact)) std::abort();
    }
    return 0;
}
