// Writes the seed corpus of the JPEG fuzz target: small pictures from the fixture writer, each
// behind the flag byte the target reads (the scale in its low bits), at full size and at 1/8.
//   make_jpeg_seeds FOLDER
#include <cstdio>
#include <string>
#include <vector>

#include "support/media/image/picture_fixtures.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_jpeg_seeds FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    struct Seed {
        const char* name;
        int components;
        bool subsample, progressive;
    } seeds[] = {
        {"progressive-420", 3, true, true},
        {"progressive-444", 3, false, true},
        {"progressive-grey", 1, false, true},
        {"baseline-420", 3, true, false},
    };
    const std::uint32_t w = 40, h = 24;
    const std::vector<std::uint8_t> rgb = fvt::test::Gradient(w, h);
    std::vector<std::uint8_t> grey(std::size_t(w) * h);
    for (std::size_t i = 0; i < grey.size(); ++i) grey[i] = rgb[i * 3];
    for (const Seed& s : seeds) {
        const std::vector<std::uint8_t> jpeg = fvt::test::WriteJpeg(
            w, h, s.components, s.components == 1 ? grey : rgb, 90, s.subsample, s.progressive);
        for (std::uint8_t flags : {std::uint8_t(0), std::uint8_t(3)}) {
            std::vector<std::uint8_t> bytes{flags};
            bytes.insert(bytes.end(), jpeg.begin(), jpeg.end());
            const std::string path = folder + "/" + s.name + (flags ? "-eighth" : "-full") + ".bin";
            if (!fvt::test::WriteFileBytes(path, bytes)) {
                std::fprintf(stderr, "make_jpeg_seeds: cannot write %s\n", path.c_str());
                return 1;
            }
        }
    }
    return 0;
}
