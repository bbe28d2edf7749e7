// The reader's menus in the program itself: items greyed by the view shown. Each test drives
// the real program headless on a fixture device and reads the shell log or the page text.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bookfiles/book_header.h"
#include "shell/program_runs.h"
#include "support/bookfiles/book_builder.h"
#include "support/media/image/picture_fixtures.h"
#include "support/platform/temp_device.h"

namespace fvt::test {
namespace {

void WriteBook(const TempDevice& device, const std::string& name, const Bytes& bytes) {
    device.WriteHost("storage/eBooks/" + name, std::string(bytes.begin(), bytes.end()));
}

// A book that opens on its cover (a grey picture), then one page of text.
void WriteCoverBook(const TempDevice& device) {
    std::vector<std::uint8_t> pixels(120 * 160 * 3, 128);
    BookBuilder book;
    const std::string html = "<html><body><p>The text after the cover.</p></body></html>";
    book.text.assign(html.begin(), html.end());
    book.fullName = "Covered";
    book.resources = {WriteJpeg(120, 160, 3, pixels, 90)};
    book.exth = {{Exth::kCoverOffset, std::vector<std::uint8_t>{0, 0, 0, 0}}};
    WriteBook(device, "covered.prc", book.Build());
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// The cover has no use for Options: the item is greyed there, so choosing it does nothing; on
// the page of text after it the same item opens the options sheet.
TEST(ProgramMenus, TheCoverGreysWhatItCannotDoAndTheTextPageDoesNot) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteCoverBook(device);
    const std::string o = device.outside() + "/";
    const std::string steps = "idle\nmenu 40041\nidle\nshelllog " + o + "cover.txt\nkey 0x22\nidle\n"
                              "pagetext " + o + "text.txt\nmenu 40041\nidle\nshelllog " + o +
                              "page.txt\nquit\n";
    ASSERT_EQ(RunScript(device, {"\\storage\\eBooks\\covered.prc"}, steps), 0)
        << ReadFile(o + "errors.txt");
    const std::string cover = ReadFile(o + "cover.txt");
    // The menu opened and closed with nothing chosen; no sheet was shown.
    EXPECT_NE(cover.find("items => 0"), std::string::npos) << cover;
    EXPECT_EQ(cover.find("items => 40041"), std::string::npos) << cover;
    EXPECT_EQ(cover.find("dialog "), std::string::npos) << cover;
    ASSERT_FALSE(ReadLines(o + "text.txt").empty());
    EXPECT_EQ(ReadLines(o + "text.txt")[0], "The text after the cover.");
    const std::string page = ReadFile(o + "page.txt");
    EXPECT_NE(page.find("items => 40041"), std::string::npos) << page;
    EXPECT_EQ(Count(page, "dialog Options\n"), 1u) << page;
}

}  // namespace
}  // namespace fvt::test
