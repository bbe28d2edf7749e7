#include "support/graphics/golden.h"

#include <png.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace fvt::test {

bool ReadPng(const std::string& path, std::vector<uint8_t>& pixels, int& width, int& height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    return true;
}

namespace {

std::string Env(const char* name, const char* fallback) {
    const char* v = std::getenv(name);
    return v && *v ? v : fallback;
}

}  // namespace

bool MatchesGolden(const std::string& name, HBITMAP bitmap, std::string* message) {
    // Run outside CTest, the sources are where the build was configured from and the drawing
    // goes to the temporary folder.
    std::string source = Env("FOLIVANT_TEST_SOURCE", FOLIVANT_SOURCE_DIR);
    std::string binary =
        Env("FOLIVANT_TEST_BINARY", std::filesystem::temp_directory_path().string().c_str());
    std::string golden = source + "/tests/graphics/golden/" + name + ".png";
    std::string actualDir = binary + "/golden-actual";
    std::filesystem::create_directories(actualDir);
    std::string actual = actualDir + "/" + name + ".png";
    if (!GdiSavePng(bitmap, actual.c_str())) {
        *message = "cannot write " + actual;
        return false;
    }
    if (Env("FOLIVANT_UPDATE_GOLDENS", "0") == "1") {
        std::filesystem::copy_file(actual, golden,
                                   std::filesystem::copy_options::overwrite_existing);
        return true;
    }
    std::vector<uint8_t> want, got;
    int ww = 0, wh = 0, gw = 0, gh = 0;
    if (!ReadPng(golden, want, ww, wh)) {
        *message = "no golden at " + golden + " (FOLIVANT_UPDATE_GOLDENS=1 writes it)";
        return false;
    }
    if (!ReadPng(actual, got, gw, gh)) {
        *message = "cannot read back " + actual;
        return false;
    }
    if (ww != gw || wh != gh) {
        *message = "size differs from " + golden;
        return false;
    }
    for (size_t i = 0; i < want.size(); i += 3) {
        if (want[i] != got[i] || want[i + 1] != got[i + 1] || want[i + 2] != got[i + 2]) {
            int p = static_cast<int>(i / 3);
            *message = "pixel (" + std::to_string(p % gw) + ", " + std::to_string(p / gw) +
                       ") differs; see " + actual;
            return false;
        }
    }
    return true;
}

}  // namespace fvt::test
