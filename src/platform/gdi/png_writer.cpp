// PNG output of surfaces: screenshots of the headless display and pictures of test surfaces.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/gdi/gdi_layer.h"
#include "platform/gdi/gdi_object.h"
#include "platform/last_error.h"

namespace {

// Kept free of objects with destructors: libpng reports errors with longjmp.
bool WriteRows(std::FILE* file, int width, int height, png_bytep* rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool GdiSaveSurfacePng(const gdi::Surface& surface, const char* path) {
    if (!path || !*path) return false;
    int w = surface.Width(), h = surface.Height();
    std::vector<png_byte> pixels(static_cast<std::size_t>(w) * h * 3);
    std::vector<png_bytep> rows(h);
    std::vector<std::uint32_t> row(w);
    for (int y = 0; y < h; ++y) {
        surface.ReadRow(0, y, w, row.data());
        png_bytep out = &pixels[static_cast<std::size_t>(y) * w * 3];
        for (int x = 0; x < w; ++x) {
            out[x * 3] = static_cast<png_byte>((row[x] >> 16) & 0xFF);
            out[x * 3 + 1] = static_cast<png_byte>((row[x] >> 8) & 0xFF);
            out[x * 3 + 2] = static_cast<png_byte>(row[x] & 0xFF);
        }
        rows[y] = out;
    }
    // Written beside the target and renamed, so a reader never sees half a picture.
    std::string temp = std::string(path) + ".tmp";
    std::FILE* file = std::fopen(temp.c_str(), "wb");
    if (!file) return false;
    bool ok = WriteRows(file, w, h, rows.data());
    ok = (std::fflush(file) == 0) && ok;
    ok = (std::fclose(file) == 0) && ok;
    if (!ok || std::rename(temp.c_str(), path) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

BOOL GdiSavePng(HGDIOBJ dcOrBitmap, const char* path) {
    std::shared_ptr<gdi::Surface> surface;
    if (auto dc = gdi::LookupAs<gdi::DcObject>(dcOrBitmap, gdi::Kind::Dc))
        surface = dc->surface;
    else if (auto b = gdi::LookupAs<gdi::BitmapObject>(dcOrBitmap, gdi::Kind::Bitmap))
        surface = b->surface;
    if (!surface) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return GdiSaveSurfacePng(*surface, path) ? TRUE : FALSE;
}
