// Selecting text with the keys in the program: "9" turns the focus box on, the arrows move it
// word by word and line by line, Enter fixes the anchor, further moves extend the selection,
// and Enter again offers what can be done with it. The box and the selection are drawn; a
// highlight made from the selection is kept in the side file and drawn after a restart.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bookfiles/annotation_file.h"
#include "layout/command_ids.h"
#include "reader/command_ids.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_runner.h"

namespace fvt::test {
namespace {

std::string Lines(int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += "Zero text line " + std::to_string(i) + " with some words to fill the page.\n";
    return out;
}

struct Shot {
    int w = 0, h = 0;
    std::vector<std::uint32_t> px;
    // Pixels of the page (below the title, above the bar) that satisfy a test.
    template <typename Test>
    int Count(Test test) const {
        int n = 0;
        for (int y = 30; y < h - 30 && y < h; ++y)
            for (int x = 0; x < w; ++x) n += test(px[static_cast<std::size_t>(y) * w + x]) ? 1 : 0;
        return n;
    }
    int Dark() const {
        return Count([](std::uint32_t p) {
            return ((p >> 16) & 0xFF) < 80 && ((p >> 8) & 0xFF) < 80 && (p & 0xFF) < 80;
        });
    }
    int Yellow() const {
        return Count([](std::uint32_t p) {
            return ((p >> 16) & 0xFF) > 200 && ((p >> 8) & 0xFF) > 200 && (p & 0xFF) < 160;
        });
    }
};

Shot Read(const std::string& path) {
    Shot s;
    EXPECT_TRUE(ReadScreenshot(path, s.w, s.h, s.px)) << path;
    return s;
}

std::string Answer(int32_t command) {
    return "answer " + std::to_string(Commands::kPopupItemBase + command) + "\n";
}

TEST(SelectingText, KeysSelectAHighlightThatIsKeptAndDrawnAfterARestart) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    ProgramRun program(device, FOLIVANT_PROGRAM);
    program.WriteOutside("zero.txt", Lines(200));
    const std::string book = program.Outside("zero.txt");
    const std::string plain = program.Outside("plain.png"), box = program.Outside("box.png"),
                      range = program.Outside("range.png"), after = program.Outside("after.png");
    ASSERT_EQ(program.Run({book}, "idle\nscreenshot " + plain +
                                      "\nchar 9\nidle\nkey 0x27\nidle\nkey 0x27\nidle\n"
                                      "screenshot " +
                                      box +
                                      "\nkey 0x0d\nidle\nkey 0x27\nidle\nkey 0x28\nidle\n"
                                      "screenshot " +
                                      range + "\n" + Answer(Cmd::kHighlight) +
                                      "key 0x0d\nidle\nadvance 300\nidle\nquit\n"),
              0);
    // The box on one word inverts it; the selection over a line and a half inverts more.
    const int plainDark = Read(plain).Dark(), boxDark = Read(box).Dark(),
              rangeDark = Read(range).Dark();
    EXPECT_GT(boxDark, plainDark + 100);
    EXPECT_GT(rangeDark, boxDark + 500);

    {
        AnnotationFile file;
        ASSERT_EQ(file.OpenOrCreate("\\storage\\eBooks\\zero.txt", nullptr, 0, 1, 0, 0), 0);
        BookmarkIterator it;
        file.StartIterator(&it, AnnotationFile::kHighlight, 0, 0xFFFFFFFF);
        const std::int32_t i = file.FindNext(&it);
        ASSERT_GE(i, 0);
        EXPECT_LT(file.FindNext(&it), 0);
        std::uint32_t length = 0;
        const char16_t* text = file.GetBookmarkText(i, &length);
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(std::u16string(text, length), u"line 0 with some");
    }

    ASSERT_EQ(program.Run({book}, "idle\nscreenshot " + after + "\nquit\n"), 0);
    EXPECT_EQ(Read(plain).Yellow(), 0);
    EXPECT_GT(Read(after).Yellow(), 200);
}

}  // namespace
}  // namespace fvt::test
