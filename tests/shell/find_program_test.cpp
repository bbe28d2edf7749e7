// Find in the program itself, typed and started as a person does (the menu item, the search
// text key by key, a tap on "Find next"): the page shown holds the match, the match is drawn
// selected, a line of what comes before it stands above it, and a book on its cover is searched
// too.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bookfiles/book_header.h"
#include "shell/program_runs.h"
#include "support/bookfiles/book_builder.h"
#include "support/media/image/picture_fixtures.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

// Word n of the fixtures' text: each word of a book is found once.
std::string Word(int n) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "w%04d", n);
    return buffer;
}

// Paragraphs of numbered words from word `from` on.
std::string Paragraphs(int from, int count, int perParagraph = 40) {
    std::string html;
    for (int p = 0; p < count; ++p) {
        html += "<p>";
        for (int i = 0; i < perParagraph; ++i) html += Word(from + p * perParagraph + i) + " ";
        html += "</p>";
    }
    return html;
}

// Twelve paragraphs, a program listing whose include line names a header inside a path, then
// twelve more paragraphs, one of them with a long word.
std::string ListingBook() {
    return "<html><head><title>Find</title></head><body>" + Paragraphs(0, 12) +
           "<pre>\nfirst line of the listing\n#include &lt;libxml/xmlmemory.h&gt;\n"
           "after the include line\nlast line of the listing\n</pre>" +
           Paragraphs(1000, 6) + "<p>" + Word(2000) + " innerXYZword " +
           Word(2001) + "</p>" + Paragraphs(3000, 6) + "</body></html>";
}

// The steps that open Find, type the text and tap "Find next", then write the page.
std::string FindSteps(const std::string& text, const std::string& page, const std::string& shot) {
    std::string steps = "menu 40078\nidle\n";
    for (char c : text) steps += std::string("char ") + c + "\n";
    return steps + "tap 120 91\nidle\npagetext " + page + "\nscreenshot " + shot + "\n";
}

int LineHolding(const std::vector<std::string>& lines, const std::string& text) {
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find(text) != std::string::npos) return static_cast<int>(i);
    return -1;
}

// A selection is drawn by inverting the words: somewhere on the page a row of the text colour
// runs as wide as a word, which text drawn plainly never does.
bool ShowsASelection(const Picture& p) {
    for (int y = 30; y < p.height - 30; ++y) {
        int run = 0;
        for (int x = 0; x < p.width; ++x) {
            const uint32_t v = p.At(x, y);
            const bool dark = (v & 0xFF) < 40 && (v >> 8 & 0xFF) < 40 && (v >> 16 & 0xFF) < 40;
            run = dark ? run + 1 : 0;
            if (run >= 40) return true;
        }
    }
    return false;
}

// "xmlmemory" inside a listing's path: the page once started on the line after the match.
TEST(ProgramFind, AMatchInAListingIsOnThePageShownAndSelected) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/find.htm", ListingBook());
    const std::string o = device.outside() + "/";
    const std::string steps =
        "idle\npagetext " + o + "first.txt\n" + FindSteps("xmlmemory", o + "found.txt", o + "found.png");
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\find.htm"}, steps + "quit\n").status, 0)
        << ReadFile(o + "errors.txt");
    const auto first = ReadLines(o + "first.txt"), found = ReadLines(o + "found.txt");
    ASSERT_FALSE(found.empty());
    EXPECT_NE(found, first) << "Find did not move";
    const int at = LineHolding(found, "<libxml/xmlmemory.h>");
    ASSERT_GE(at, 0) << Joined(found);
    EXPECT_GE(at, 1) << "the match is on the page's first line:\n" << Joined(found);
    EXPECT_TRUE(ShowsASelection(ReadPicture(o + "found.png")));
}

// A match inside a word shows the whole word, not a page that starts in the middle of it.
TEST(ProgramFind, AMatchInsideAWordShowsTheWholeWord) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/find.htm", ListingBook());
    const std::string o = device.outside() + "/";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\find.htm"},
                       "idle\n" + FindSteps("XYZ", o + "found.txt", o + "found.png") + "quit\n")
                  .status,
              0)
        << ReadFile(o + "errors.txt");
    const auto found = ReadLines(o + "found.txt");
    const int at = LineHolding(found, "innerXYZword");
    ASSERT_GE(at, 1) << Joined(found);
    EXPECT_EQ(LineHolding(found, Word(2000)), at) << Joined(found);
    EXPECT_TRUE(ShowsASelection(ReadPicture(o + "found.png")));
}

// The match that paging forward puts on a page's first line is shown with the line before it
// above it: the line that ends the page before.
TEST(ProgramFind, AMatchOnAPagesFirstLineComesWithTheLineBefore) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/plain.htm",
                     "<html><body>" + Paragraphs(0, 30) + "</body></html>");
    const std::string o = device.outside() + "/";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\plain.htm"},
                       "idle\nkey 0x22\nidle\npagetext " + o + "two.txt\nkey 0x22\nidle\npagetext " +
                           o + "three.txt\nquit\n")
                  .status,
              0);
    const auto two = ReadLines(o + "two.txt"), three = ReadLines(o + "three.txt");
    ASSERT_FALSE(two.empty());
    ASSERT_FALSE(three.empty());
    const std::string target = three[0].substr(0, three[0].find(' '));
    ASSERT_EQ(target.size(), 5u) << three[0];

    TempDevice again;
    ASSERT_TRUE(again.ok());
    again.WriteHost("storage/eBooks/plain.htm", "<html><body>" + Paragraphs(0, 30) + "</body></html>");
    const std::string a = again.outside() + "/";
    ASSERT_EQ(RunSteps(again, {"\\storage\\eBooks\\plain.htm"},
                       "idle\n" + FindSteps(target, a + "found.txt", a + "found.png") + "quit\n")
                  .status,
              0)
        << ReadFile(a + "errors.txt");
    const auto found = ReadLines(a + "found.txt");
    const int at = LineHolding(found, target);
    ASSERT_GE(at, 1) << Joined(found);
    EXPECT_EQ(found[static_cast<size_t>(at) - 1], two.back()) << Joined(found);
    EXPECT_EQ(found[static_cast<size_t>(at)], three[0]);
}

// A book that opens on its cover is searched from there, and the match's page is shown.
TEST(ProgramFind, FromTheCoverTheMatchIsShownOnItsPage) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    std::vector<std::uint8_t> pixels(120 * 160 * 3, 128);
    BookBuilder book;
    const std::string html = "<html><body>" + Paragraphs(0, 20) + "</body></html>";
    book.text.assign(html.begin(), html.end());
    book.fullName = "Covered";
    book.resources = {WriteJpeg(120, 160, 3, pixels, 90)};
    book.exth = {{Exth::kCoverOffset, std::vector<std::uint8_t>{0, 0, 0, 0}}};
    const Bytes bytes = book.Build();
    device.WriteHost("storage/eBooks/covered.prc", std::string(bytes.begin(), bytes.end()));
    const std::string o = device.outside() + "/";
    const std::string target = Word(401);
    const std::string steps = "idle\npagetext " + o + "cover.txt\n" +
                              FindSteps(target, o + "found.txt", o + "found.png") + "shelllog " +
                              o + "log.txt\nquit\n";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\covered.prc"}, steps).status, 0)
        << ReadFile(o + "errors.txt");
    EXPECT_TRUE(ReadLines(o + "cover.txt").empty()) << "the book is to open on its cover";
    const std::string log = ReadFile(o + "log.txt");
    EXPECT_EQ(log.find("Search string was not found"), std::string::npos) << log;
    const auto found = ReadLines(o + "found.txt");
    EXPECT_GE(LineHolding(found, target), 1) << Joined(found);
    EXPECT_TRUE(ShowsASelection(ReadPicture(o + "found.png")));
}

}  // namespace
}  // namespace fvt::test
