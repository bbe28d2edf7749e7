// What a reader sees of a book's text, through the program on a headless device: pages drawn
// from HTML files are compared as screenshots. Underlines run on under the gaps between
// underlined words, files in UTF-8 read as such, Chinese text is drawn with glyphs, and a
// program listing keeps its lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "support/graphics/golden.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

struct Screen {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    uint32_t At(int x, int y) const {
        const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
        return p[0] << 16 | p[1] << 8 | p[2];
    }
    bool operator==(const Screen& o) const {
        return width == o.width && height == o.height && rgb == o.rgb;
    }
};

// The program's first screen of a file, opened by its host path (a copy goes into the device),
// in English or French. The shot is also kept beside the build for looking.
Screen FirstPage(const std::string& name, const std::string& bytes, const std::string& look,
                 const std::string& language = "en") {
    TempDevice device;
    Screen screen;
    if (!device.ok()) return screen;
    std::filesystem::create_directories(device.outside());
    const std::string file = device.outside() + "/" + name;
    std::ofstream(file, std::ios::binary) << bytes;
    const std::string shot = device.outside() + "/page.png";
    const ProgramResult run = RunSteps(device, {file}, "idle\nscreenshot " + shot + "\nquit\n",
                                       {"FOLIVANT_LANGUAGE=" + language});
    if (!run.started) return screen;
    EXPECT_EQ(run.status, 0) << name;
    EXPECT_TRUE(ReadPng(shot, screen.rgb, screen.width, screen.height)) << name;
    const char* binary = std::getenv("FOLIVANT_TEST_BINARY");
    std::filesystem::path keep = std::filesystem::path(binary ? binary : "/tmp") / "reading-text";
    std::error_code ignored;
    std::filesystem::create_directories(keep, ignored);
    std::filesystem::copy_file(shot, keep / (look + "-" + language + ".png"),
                               std::filesystem::copy_options::overwrite_existing, ignored);
    return screen;
}

// Runs of rows holding anything but the page's colour (the most common one), top to bottom.
std::vector<std::pair<int, int>> InkBands(const Screen& s) {
    std::map<uint32_t, int> counts;
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) ++counts[s.At(x, y)];
    uint32_t page = std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) {
                        return a.second < b.second;
                    })->first;
    std::vector<std::pair<int, int>> bands;
    bool open = false;
    for (int y = 0; y < s.height; ++y) {
        bool ink = false;
        for (int x = 0; x < s.width && !ink; ++x) ink = s.At(x, y) != page;
        if (ink && !open) bands.push_back({y, y});
        if (ink) bands.back().second = y;
        open = ink;
    }
    return bands;
}

std::string Html(const std::string& body, const std::string& head = {}) {
    return "<html><head>" + head + "</head><body>" + body + "</body></html>";
}

// The line under underlined words goes on under the gaps between them on the same row (it was
// drawn a line lower there, through the next line's words).
TEST(ReadingText, UnderlinesRunUnbrokenUnderTheGapsBetweenWords) {
    const std::string words =
        "one two three four five six seven eight nine ten eleven twelve thirteen fourteen";
    Screen plain = FirstPage("page.htm", Html("<p>" + words + "</p>"), "plain");
    Screen under = FirstPage("page.htm", Html("<p><u>" + words + "</u></p>"), "underlined");
    ASSERT_GT(plain.width, 0);
    ASSERT_EQ(plain.width, under.width);
    // The longest run of changed pixels along one row: the underline of a whole line.
    int longest = 0, rows = 0;
    for (int y = 0; y < plain.height; ++y) {
        int run = 0;
        bool changed = false;
        for (int x = 0; x < plain.width; ++x) {
            run = plain.At(x, y) != under.At(x, y) ? run + 1 : 0;
            longest = std::max(longest, run);
            changed = changed || run > 0;
        }
        rows += changed;
    }
    EXPECT_GT(longest, plain.width / 2);
    EXPECT_GT(rows, 0);
}

// A UTF-8 file reads the same as the same text in 1252, with or without a declaration.
TEST(ReadingText, Utf8FilesReadAsUtf8) {
    const std::string latin = "Die Stra\xDF" "e f\xFChrt zum Caf\xE9.";
    const std::string utf8 = "Die Stra\xC3\x9F" "e f\xC3\xBChrt zum Caf\xC3\xA9.";
    Screen reference = FirstPage("page.htm", Html("<p>" + latin + "</p>"), "latin");
    ASSERT_GT(reference.width, 0);
    EXPECT_TRUE(FirstPage("page.htm", Html("<p>" + utf8 + "</p>", "<meta charset=\"utf-8\">"),
                          "meta-charset") == reference);
    EXPECT_TRUE(FirstPage("page.htm",
                          Html("<p>" + utf8 + "</p>",
                               "<meta http-equiv=\"Content-Type\" "
                               "content=\"text/html; charset=utf-8\">"),
                          "meta-content") == reference);
    Screen text = FirstPage("page.txt", latin, "latin-text");
    EXPECT_TRUE(FirstPage("page.txt", utf8, "utf8-text") == text);
}

// Chinese text is drawn with its own glyphs (from the installed CJK face), not as boxes that
// all look alike; in French as in English.
TEST(ReadingText, ChineseTextIsDrawnWithGlyphs) {
    for (const char* language : {"en", "fr"}) {
        Screen a = FirstPage("page.htm", Html("<p>\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD</p>"),
                             "cjk-a", language);
        Screen b = FirstPage("page.htm", Html("<p>\xE6\x96\x87\xE6\x96\x87\xE6\x96\x87</p>"),
                             "cjk-b", language);
        ASSERT_GT(a.width, 0);
        EXPECT_FALSE(a == b) << language;
    }
}

// A listing keeps its lines: three short lines of PRE are three lines on the page, where the
// same words in a paragraph are one.
TEST(ReadingText, ProgramListingsKeepTheirLines) {
    Screen flowing = FirstPage("page.htm", Html("<p>int x;\nint y;\nint z;</p>"), "flowing");
    Screen listing =
        FirstPage("page.htm", Html("<pre>\nint x;\nint y;\nint z;\n</pre>"), "listing");
    ASSERT_GT(flowing.width, 0);
    EXPECT_EQ(InkBands(listing).size(), InkBands(flowing).size() + 2);
}

// The lines of the page the program shows of a file (the driver's page text).
std::vector<std::string> PageLines(const std::string& name, const std::string& bytes) {
    TempDevice device;
    std::vector<std::string> lines;
    if (!device.ok()) return lines;
    std::filesystem::create_directories(device.outside());
    const std::string file = device.outside() + "/" + name;
    std::ofstream(file, std::ios::binary) << bytes;
    const std::string text = device.outside() + "/page.txt";
    const ProgramResult run = RunSteps(device, {file}, "idle\npagetext " + text + "\nquit\n");
    if (!run.started) return lines;
    EXPECT_EQ(run.status, 0) << name;
    std::ifstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The page text says the same: UTF-8 read as UTF-8 (a character outside the basic plane is
// one), Chinese kept, and a listing's lines and blanks kept, none hyphenated.
TEST(ReadingText, ThePageShowsTheTextAsWritten) {
    std::vector<std::string> utf8 = PageLines(
        "page.txt", "Die Stra\xC3\x9F" "e \xF0\x9F\x98\x80 \xE4\xB8\xAD\xE6\x96\x87");
    ASSERT_FALSE(utf8.empty());
    EXPECT_EQ(utf8[0], "Die Stra\xC3\x9F" "e \xF0\x9F\x98\x80 \xE4\xB8\xAD\xE6\x96\x87");
    std::vector<std::string> declared = PageLines(
        "page.htm", Html("<p>Die Stra\xC3\x9F" "e</p>", "<meta charset=\"UTF-8\">"));
    ASSERT_FALSE(declared.empty());
    EXPECT_EQ(declared[0], "Die Stra\xC3\x9F" "e");
    std::vector<std::string> listing = PageLines(
        "page.htm", Html("<pre>\n#include &lt;stdio.h&gt;\nint main(void) {\n"
                         "    return  0;  /* internationalization */\n}\n</pre>"));
    ASSERT_GE(listing.size(), 4u);
    EXPECT_EQ(listing[0], "#include <stdio.h>");
    EXPECT_EQ(listing[1], "int main(void) {");
    EXPECT_EQ(listing[2].rfind("    return  0;", 0), 0u) << listing[2];
    // The long word went to a line of its own whole, not hyphenated.
    bool whole = false;
    for (const std::string& line : listing)
        whole = whole || line.find("internationalization") != std::string::npos;
    EXPECT_TRUE(whole) << ::testing::PrintToString(listing);
}

// A run of line breaks after the end of a line leaves one blank line, after a paragraph as
// inside one and in a text file; a listing keeps every blank line of its own.
TEST(ReadingText, RunsOfLineBreaksLeaveOneBlankLine) {
    std::vector<std::string> html = PageLines(
        "page.htm", Html("<p>one</p><br><br><br><p>two</p><p>three<br><br><br><br>four</p>"
                         "<pre>\nx\n\n\ny\n</pre><p>five</p>"));
    EXPECT_EQ(html, (std::vector<std::string>{"one", "", "two", "three", "", "four", "x", "", "",
                                              "y", "five"}));
    std::vector<std::string> text = PageLines("page.txt", "one\ntwo\n\nthree\n\n\n\nfour\n");
    EXPECT_EQ(text, (std::vector<std::string>{"one", "two", "", "three", "", "four"}));
}

}  // namespace
}  // namespace fvt::test
