// Reading what a run of the program left: page texts, screenshots, files; and waiting for a
// running instance. The runs themselves start through support/shell/program_launcher.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/window/window.h"

namespace fvt::test {

bool IsPng(const std::string& path);
std::string ReadFile(const std::string& path);
std::vector<std::string> ReadLines(const std::string& path);
// The first line of a file such as a page text; "(no lines)" when it has none.
std::string FirstLine(const std::string& path);
// The lines as one text, each ended by a line feed.
std::string Joined(const std::vector<std::string>& lines);

// Waits (boundedly) until the device has a running instance.
HWND WaitForInstance();

// A screenshot's pixels (RGBA, row by row); empty when it cannot be read.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
    // Rows [top, bottom) that hold a pixel other than the colour of (0, top).
    bool RowsDiffer(const Picture& other, int top, int bottom) const;
};
Picture ReadPicture(const std::string& path);

}  // namespace fvt::test
