#include "media/image/cx_image_jpg.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "media/image/cx_file.h"
#include "media/image/jpeg_dc_arrays.h"

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

namespace {

constexpr std::size_t kSourceBuffer = 4096;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf recovery;
    char message[JMSG_LENGTH_MAX];
};

struct SourceManager {
    jpeg_source_mgr pub;
    CxFile* file;
    JOCTET* buffer;
    boolean startOfFile;
};

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void ErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->recovery, 1);
}

// Warnings (a truncated file among them) stay quiet; the picture still decodes.
void OutputMessage(j_common_ptr) {}

void InitSource(j_decompress_ptr cinfo) {
    reinterpret_cast<SourceManager*>(cinfo->src)->startOfFile = TRUE;
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
    std::size_t n = src->file->Read(src->buffer, 1, kSourceBuffer);
    if (n == 0) {
        if (src->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->pub.next_input_byte = kEndOfImage;
        src->pub.bytes_in_buffer = 2;
        return TRUE;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = n;
    src->startOfFile = FALSE;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
    if (count <= 0) return;
    while (count > long(src->pub.bytes_in_buffer)) {
        count -= long(src->pub.bytes_in_buffer);
        FillInputBuffer(cinfo);
    }
    src->pub.next_input_byte += count;
    src->pub.bytes_in_buffer -= std::size_t(count);
}

void TermSource(j_decompress_ptr) {}

}  // namespace

CxImageJPG::CxImageJPG() : CxImage(CXIMAGE_FORMAT_JPG) {}

std::uint8_t JpegScaleToCover(std::uint32_t width, std::uint32_t height, std::int32_t wantedWidth,
                              std::int32_t wantedHeight) {
    if (width == 0 || height == 0 || wantedWidth <= 0 || wantedHeight <= 0) return 1;
    for (std::uint32_t denom : {8u, 4u, 2u}) {
        const std::uint64_t w = (std::uint64_t(width) + denom - 1) / denom;
        const std::uint64_t h = (std::uint64_t(height) + denom - 1) / denom;
        if (w >= std::uint64_t(wantedWidth) && h >= std::uint64_t(wantedHeight))
            return std::uint8_t(denom);
    }
    return 1;
}

// The frame between setjmp and longjmp holds no C++ object with a destructor; what it changes
// after setjmp is volatile, and everything it allocated is freed at the recovery point.
bool CxImageJPG::Decode(CxFile* file) {
    if (!file) return false;
    jpeg_decompress_struct cinfo;
    ErrorManager jerr;
    SourceManager* volatile source =
        static_cast<SourceManager*>(std::calloc(1, sizeof(SourceManager)));
    if (!source) {
        SetLastError("JPEG: out of memory");
        return false;
    }
    source->buffer = static_cast<JOCTET*>(std::malloc(kSourceBuffer));
    if (!source->buffer) {
        std::free(source);
        SetLastError("JPEG: out of memory");
        return false;
    }
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&jerr.pub);
    jerr.pub.error_exit = ErrorExit;
    jerr.pub.output_message = OutputMessage;
    jerr.message[0] = 0;
    volatile bool created = false;
    if (setjmp(jerr.recovery)) {
        if (jerr.message[0]) SetLastError(jerr.message);
        if (created) jpeg_destroy_decompress(&cinfo);
        std::free(source->buffer);
        std::free(source);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    created = true;
    cinfo.mem->max_memory_to_use = long(kCxImageMaxBytes);
    source->pub.init_source = InitSource;
    source->pub.fill_input_buffer = FillInputBuffer;
    source->pub.skip_input_data = SkipInputData;
    source->pub.resync_to_restart = jpeg_resync_to_restart;
    source->pub.term_source = TermSource;
    source->pub.bytes_in_buffer = 0;
    source->pub.next_input_byte = nullptr;
    source->file = file;
    cinfo.src = &source->pub;
    jpeg_read_header(&cinfo, TRUE);

    const std::uint32_t options = GetCodecOption();
    if (options & kGrey) cinfo.out_color_space = JCS_GRAYSCALE;
    if (options & kQuantize) {
        cinfo.quantize_colors = TRUE;
        int colours = GetJpegQuality();
        cinfo.desired_number_of_colors = colours < 8 ? 8 : colours > 256 ? 256 : colours;
    }
    if (options & kDither) cinfo.dither_mode = J_DITHER_MODE(ditherMode_);
    if (options & kOnePass) cinfo.two_pass_quantize = FALSE;
    if (options & kNoFancyUpsampling) cinfo.do_fancy_upsampling = FALSE;
    // Scale 0 is full size; libjpeg is never handed a zero denominator.
    if (GetJpegScale() > 1) {
        cinfo.scale_num = 1;
        cinfo.scale_denom = GetJpegScale();
    }
    jpeg_calc_output_dimensions(&cinfo);
    if (GetEscape() == -1) {
        SetWidthHeight(cinfo.output_width, cinfo.output_height);
        jpeg_destroy_decompress(&cinfo);
        std::free(source->buffer);
        std::free(source);
        return true;
    }
    // Refuse oversized pictures before libjpeg or the DIB allocate anything for them.
    std::uint64_t bytes = std::uint64_t(cinfo.output_width) * cinfo.output_height *
                          std::uint64_t(cinfo.out_color_components < 3 ? 1 : 3);
    if (bytes > kCxImageMaxBytes) {
        std::snprintf(jerr.message, sizeof jerr.message, "CXIMAGE_MAX_MEMORY exceeded");
        std::longjmp(jerr.recovery, 1);
    }
    // A progressive picture decoded at 1/8 keeps of its coefficients only what that scale shows.
    KeepDcCoefficientsOnly(&cinfo);
    RowSink* sink = GetRowSink();
    if (sink && cinfo.out_color_space == JCS_RGB && cinfo.num_components == 3 &&
        !cinfo.quantize_colors) {
        jpeg_start_decompress(&cinfo);
        SetWidthHeight(cinfo.output_width, cinfo.output_height);
        if (!sink->Begin(cinfo.output_width, cinfo.output_height)) {
            std::snprintf(jerr.message, sizeof jerr.message, "JPEG: the rows were refused");
            std::longjmp(jerr.recovery, 1);
        }
        JSAMPARRAY line = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo),
                                                     JPOOL_IMAGE, cinfo.output_width * 3, 1);
        while (cinfo.output_scanline < cinfo.output_height) {
            if (GetEscape()) {
                std::snprintf(jerr.message, sizeof jerr.message, "JPEG decoding stopped");
                std::longjmp(jerr.recovery, 1);
            }
            jpeg_read_scanlines(&cinfo, line, 1);
            if (!sink->Row(line[0])) {
                std::snprintf(jerr.message, sizeof jerr.message, "JPEG: the rows were refused");
                std::longjmp(jerr.recovery, 1);
            }
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        std::free(source->buffer);
        std::free(source);
        return true;
    }
#ifdef JCS_EXTENSIONS
    // libjpeg-turbo writes blue-green-red itself: the rows go straight into the DIB and no
    // separate swap pass is needed (the stored bytes are the same).
    const bool directBgr =
        cinfo.out_color_space == JCS_RGB && cinfo.num_components == 3 && !cinfo.quantize_colors;
    if (directBgr) cinfo.out_color_space = JCS_EXT_BGR;
#else
    const bool directBgr = false;
#endif
    jpeg_start_decompress(&cinfo);
    const std::uint32_t components = std::uint32_t(cinfo.output_components);
    if (!Create(cinfo.output_width, cinfo.output_height, 8 * components, CXIMAGE_FORMAT_JPG)) {
        jerr.message[0] = 0;
        std::longjmp(jerr.recovery, 1);
    }
    if (cinfo.quantize_colors) {
        RGBQUAD palette[256] = {};
        int n = cinfo.actual_number_of_colors;
        for (int i = 0; i < n && i < 256; ++i) {
            if (cinfo.out_color_components >= 3) {
                palette[i] =
                    RGBQUAD{cinfo.colormap[2][i], cinfo.colormap[1][i], cinfo.colormap[0][i], 0};
            } else {
                JSAMPLE v = cinfo.colormap[0][i];
                palette[i] = RGBQUAD{v, v, v, 0};
            }
        }
        SetPalette(palette, std::uint32_t(n));
    } else if (cinfo.out_color_space == JCS_GRAYSCALE) {
        SetGrayPalette();
    }
    const std::uint32_t width = cinfo.output_width;
    const std::uint32_t rowLength = width * components;
    const std::uint32_t stride = GetEffWidth();
    JSAMPARRAY rows = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo),
                                                 JPOOL_IMAGE, rowLength, 1);
    std::uint8_t* base = GetBits(0);
    std::uint32_t stored = cinfo.output_height;
    while (cinfo.output_scanline < cinfo.output_height) {
        if (GetEscape()) {
            std::snprintf(jerr.message, sizeof jerr.message, "JPEG decoding stopped");
            std::longjmp(jerr.recovery, 1);
        }
        --stored;
        std::uint8_t* dst = base + std::uint64_t(stored) * stride;
        if (directBgr) {
            JSAMPROW row = dst;
            jpeg_read_scanlines(&cinfo, &row, 1);
            continue;
        }
        jpeg_read_scanlines(&cinfo, rows, 1);
        const JSAMPLE* src = rows[0];
        if (components == 4 && !cinfo.quantize_colors) {
            // Over the picture's width only: never into the padding or past the block.
            for (std::uint32_t x = 0; x < width; ++x, src += 4, dst += 3) {
                std::uint32_t k = src[3];
                dst[0] = std::uint8_t(src[2] * k / 255);
                dst[1] = std::uint8_t(src[1] * k / 255);
                dst[2] = std::uint8_t(src[0] * k / 255);
            }
        } else {
            std::memcpy(dst, src, rowLength < stride ? rowLength : stride);
        }
    }
    jpeg_finish_decompress(&cinfo);
    if (components == 3 && !cinfo.quantize_colors && !directBgr) {
        for (std::uint32_t y = 0; y < cinfo.output_height; ++y) {
            if (GetEscape()) {
                std::snprintf(jerr.message, sizeof jerr.message, "JPEG decoding stopped");
                std::longjmp(jerr.recovery, 1);
            }
            RGBtoBGR(base + std::uint64_t(y) * stride, 3 * width);
        }
    }
    jpeg_destroy_decompress(&cinfo);
    std::free(source->buffer);
    std::free(source);
    return true;
}
