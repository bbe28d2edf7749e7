// Reading the program's resource sources (resources/ in the source tree) for the content tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace fvt_test {

// The source root CTest hands to every suite; empty when the suite runs outside CTest.
std::filesystem::path SourceRoot();

// One string table as written in resources/strings.<lang>.txt: id, TAB, text, with the
// escapes \n, \t and \\ decoded. Lines that break the format are reported, not skipped silently.
struct StringTable {
    std::map<int, std::string> texts;  // UTF-8
    std::vector<std::string> problems;
};

StringTable ReadStringTable(const std::filesystem::path& file);

// An 8-bit RGBA PNG, decoded; ok is false (with a reason) for anything else.
struct RgbaImage {
    bool ok = false;
    std::string problem;
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> pixels;  // width * height * 4
};

RgbaImage ReadRgbaPng(const std::filesystem::path& file);

// The string and icon ids the program's code refers to.
extern const std::vector<int> kReferencedStringIds;
extern const std::vector<int> kReferencedIconIds;

}  // namespace fvt_test
