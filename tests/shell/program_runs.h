// Reading what a run of the program left: page texts, screenshots, files; and waiting for a
// running instance. The runs themselves start through support/shell/program_launcher.h.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "platform/window/window.h"

namespace fvt::test {

bool IsPng(const std::string& path);
std::string ReadFile(const std::string& path);
std::vector<std::string> ReadLines(const std::string& path);
// The first line of a file such as a page text; "(no lines)" when it has none.
std::string FirstLine(const std::string& path);
// The words of a line: its parts between spaces.
std::vector<std::string> Split(const std::string& line);
// The lines as one text, each ended by a line feed.
std::string Joined(const std::vector<std::string>& lines);

// Driver steps pressing `key` (0x22 PageDown, 0x21 PageUp) `turns` times, each press after the
// steps `note(name + n)` give for the view it leaves, n counting the presses from 0: steps that
// write what the view shows.
template <class Note>
std::string Presses(const std::string& key, int turns, const std::string& name, Note note) {
    std::string steps;
    for (int i = 0; i < turns; ++i)
        steps += note(name + std::to_string(i)) + "key " + key + "\nidle\n";
    return steps;
}
// A `note` for Presses: the view's page text, written to <folder><name>.txt.
inline auto PageTextIn(const std::string& folder) {
    return [folder](const std::string& name) { return "pagetext " + folder + name + ".txt\n"; };
}
// The `count` page texts a walk wrote with PageTextIn(folder) under `name`.
std::vector<std::vector<std::string>> ReadPageTexts(const std::string& folder,
                                                    const std::string& name, int count);

// Driver steps writing the page text to folder/pNNN.txt before each of `count` presses of
// `keyStep` (a whole step, such as "key 0x21").
std::string PageWalkSteps(const std::string& folder, const std::string& keyStep, int count);
// The pages such a walk wrote, until one is the page before again (the key no longer moved).
std::vector<std::vector<std::string>> ReadPageWalk(const std::string& folder, int count);

// The page texts `pagetext` steps wrote to `files`, each as one text (Joined); `empty` gets the
// files that held no line (or were not written).
std::vector<std::string> ReadPageTextFiles(const std::vector<std::string>& files,
                                           std::vector<std::string>& empty);

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
// The rows where a run of rows showing the ground `rgb` (0xRRGGBB, as the screen's colour depth
// shows it) starts or ends with dark text on that ground: where the view over a cell of that
// ground cuts a line at its top or foot.
std::vector<int> RowsCuttingText(const Picture& p, uint32_t rgb);

// A screen and how many steps the font is made larger: what paging tests run over.
struct ScreenSetting {
    const char* screen;
    int larger;  // font steps up
};

inline void PrintTo(const ScreenSetting& s, std::ostream* os) {
    *os << s.screen << (s.larger ? ", larger font" : "");
}

// A test name's part for the setting, such as "at480_640_192_larger".
inline std::string ScreenSettingName(const ::testing::TestParamInfo<ScreenSetting>& info) {
    std::string n = info.param.screen;
    for (char& c : n)
        if (c == 'x' || c == '@') c = '_';
    return "at" + n + (info.param.larger ? "_larger" : "");
}

}  // namespace fvt::test
