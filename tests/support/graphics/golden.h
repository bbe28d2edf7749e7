// PNG goldens: a drawn bitmap is compared pixel by pixel with a PNG kept in the source tree
// (tests/graphics/golden/<name>.png). The drawing is written beside the build as
// golden-actual/<name>.png so a difference can be looked at; with FOLIVANT_UPDATE_GOLDENS=1 the
// golden is (re)written from it instead. Goldens are drawn with the device layer's box font, so
// they do not depend on the fonts installed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi.h"

namespace fvt::test {

// Reads a PNG as rows of RGB bytes (3 per pixel); false when it cannot be read.
bool ReadPng(const std::string& path, std::vector<uint8_t>& pixels, int& width, int& height);

// True when the bitmap matches the golden; otherwise false with the reason in message.
// A PNG file as RGB bytes, row by row (screenshots of the program, for instance).
bool ReadPng(const std::string& path, std::vector<uint8_t>& pixels, int& width, int& height);

bool MatchesGolden(const std::string& name, HBITMAP bitmap, std::string* message);

}  // namespace fvt::test
