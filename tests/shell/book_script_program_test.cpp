// Book scripts in the program: the reader methods a book's links call, seen on the screen, in
// the pages shown and in what the program does.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "bookfiles/book_document.h"
#include "shell/program_runs.h"
#include "support/bookfiles/book_builder.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

// Taps at these heights reach the one-line links at the top of the first page.
constexpr int kLinkRows[] = {44, 68, 92, 116};

std::string Tap(int row) {
    return "tap 60 " + std::to_string(kLinkRows[row]) + "\nidle\n";
}

// A book of chapters whose first page starts with one link per script.
void WriteScriptBook(const TempDevice& device, const std::vector<std::string>& scripts,
                     const std::vector<BookTargetSpec>& targets = {}) {
    std::string html = "<html><body>";
    for (size_t i = 0; i < scripts.size(); ++i)
        html += "<p><a onclick=\"" + scripts[i] + "\">Link" + std::to_string(i) + "</a></p>";
    for (int c = 1; c <= 8; ++c) {
        // Chapter six starts with a way back to the checkpoint.
        if (c == 6)
            html += "<p id=\"back\"><a onclick=\"history.goto_checkpoint()\">Return</a></p>";
        html += "<h2 id=\"c" + std::to_string(c) + "\">Chapter " + std::to_string(c) + "</h2>";
        for (int p = 0; p < 3; ++p)
            html += "<p>" + SampleText(200, static_cast<std::uint32_t>(c * 10 + p)) + "</p>";
    }
    html += "</body></html>";
    BookBuilder book;
    book.text.assign(html.begin(), html.end());
    book.fullName = "Scripts";
    book.targets = targets;
    const Bytes bytes = book.Build();
    device.WriteHost("storage/eBooks/scripts.prc", std::string(bytes.begin(), bytes.end()));
}

const char kBook[] = "\\storage\\eBooks\\scripts.prc";

// The pop-up's box (its pale yellow) and the dark text inside it.
struct Flash {
    int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;  // the box
    int inkLeft = 1 << 30, inkRight = -1, inkTop = 1 << 30, inkBottom = -1;
};

Flash FindFlash(const Picture& p) {
    Flash f;
    auto channel = [](uint32_t v, int i) { return static_cast<int>((v >> (8 * i)) & 0xFF); };
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const uint32_t v = p.At(x, y);
            if (channel(v, 0) > 235 && channel(v, 1) > 235 && channel(v, 2) < 215) {
                f.left = std::min(f.left, x), f.right = std::max(f.right, x);
                f.top = std::min(f.top, y), f.bottom = std::max(f.bottom, y);
            }
        }
    for (int y = f.top + 1; y < f.bottom; ++y)
        for (int x = f.left + 1; x < f.right; ++x) {
            const uint32_t v = p.At(x, y);
            if (channel(v, 0) < 96 && channel(v, 1) < 96 && channel(v, 2) < 96) {
                f.inkLeft = std::min(f.inkLeft, x), f.inkRight = std::max(f.inkRight, x);
                f.inkTop = std::min(f.inkTop, y), f.inkBottom = std::max(f.inkBottom, y);
            }
        }
    return f;
}

// A flashed message stands in the middle of the page, its text centred on its pop-up and
// whole inside it, on both screens; it goes by itself.
TEST(ProgramBookScripts, AFlashMessageIsCentredOnItsPopUpAndGoesByItself) {
    for (const int scale : {1, 2}) {
        SCOPED_TRACE(scale);
        TempDevice device;
        ASSERT_TRUE(device.ok());
        WriteScriptBook(device, {"window.flash_message('Your answers were saved in the cart')"});
        const std::string o = device.outside() + "/";
        const std::string steps = "idle\ntap " + std::to_string(60 * scale) + " " +
                                  std::to_string(kLinkRows[0] * scale) + "\nidle\nscreenshot " + o +
                                  "flash.png\nadvance 1500\nidle\nscreenshot " + o +
                                  "gone.png\nquit\n";
        std::vector<std::string> env = {"FOLIVANT_CLOCK=virtual"};
        if (scale == 2) env.push_back("FOLIVANT_SCREEN=480x640@192");
        ASSERT_EQ(RunSteps(device, {kBook}, steps, env).status, 0) << ReadFile(o + "errors.txt");
        const Picture shown = ReadPicture(o + "flash.png");
        ASSERT_GT(shown.width, 0);
        const Flash f = FindFlash(shown);
        ASSERT_GT(f.right - f.left, 20 * scale) << "no pop-up";
        ASSERT_GE(f.inkRight, 0) << "no text in the pop-up";
        // The pop-up is in the middle of the screen, well away from its corner.
        EXPECT_NEAR((f.left + f.right) / 2, shown.width / 2, 8 * scale);
        EXPECT_GT(f.top, shown.height / 5);
        // Its text is centred on it, with room on every side.
        EXPECT_NEAR((f.inkLeft + f.inkRight) / 2, (f.left + f.right) / 2, 3 * scale);
        EXPECT_NEAR((f.inkTop + f.inkBottom) / 2, (f.top + f.bottom) / 2, 4 * scale);
        EXPECT_GT(f.inkLeft, f.left + 1);
        EXPECT_GT(f.inkTop, f.top + 1);
        EXPECT_LT(f.inkBottom, f.bottom - 1);
        const Flash gone = FindFlash(ReadPicture(o + "gone.png"));
        EXPECT_LT(gone.right, 0) << "the pop-up stayed";
    }
}

// A book that exports its cart: a second run that fills the cart the same way leaves the
// exported file and its time untouched; a run that fills it differently writes it anew.
TEST(ProgramBookScripts, ExportingAnUnchangedCartLeavesItsFileAlone) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteScriptBook(device, {"cart.add('c', 'a1', 'Apple')", "cart.export('c', 'cart.xml')"});
    const std::string o = device.outside() + "/";
    auto exported = [&]() {
        for (auto& e : std::filesystem::recursive_directory_iterator(device.root()))
            if (e.path().filename() == "cart.xml") return e.path().string();
        return std::string();
    };
    // Each add confirms with a message box, answered by its OK.
    const std::string addOnce = "idle\nanswer 1\n" + Tap(0) + Tap(1) + Tap(1) + "quit\n";
    ASSERT_EQ(RunSteps(device, {kBook}, addOnce).status, 0) << ReadFile(o + "errors.txt");
    const std::string path = exported();
    ASSERT_FALSE(path.empty());
    const std::string first = ReadFile(path);
    EXPECT_NE(first.find("count=\"1\""), std::string::npos) << first;
    const auto older = std::filesystem::last_write_time(path) - std::chrono::hours(1);
    std::filesystem::last_write_time(path, older);
    ASSERT_EQ(RunSteps(device, {kBook}, addOnce).status, 0) << ReadFile(o + "errors.txt");
    EXPECT_EQ(ReadFile(path), first);
    EXPECT_EQ(std::filesystem::last_write_time(path), older) << "written again";
    ASSERT_EQ(RunSteps(device, {kBook},
                        "idle\nanswer 1\n" + Tap(0) + "answer 1\n" + Tap(0) + Tap(1) + "quit\n").status,
              0)
        << ReadFile(o + "errors.txt");
    EXPECT_NE(ReadFile(path).find("count=\"2\""), std::string::npos) << ReadFile(path);
    EXPECT_NE(std::filesystem::last_write_time(path), older);
}

// window.close asks first; Cancel keeps the reader, OK closes it.
TEST(ProgramBookScripts, WindowCloseClosesTheReaderOnlyWhenAllowed) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteScriptBook(device, {"window.close()"});
    const std::string o = device.outside() + "/";
    ASSERT_EQ(RunSteps(device, {kBook},
                       "idle\nanswer 2\n" + Tap(0) + "pagetext " + o + "kept.txt\nshelllog " + o +
                           "log.txt\nquit\n")
                  .status,
              0)
        << ReadFile(o + "errors.txt");
    EXPECT_NE(ReadFile(o + "log.txt").find("close the reader"), std::string::npos)
        << ReadFile(o + "log.txt");
    ASSERT_FALSE(ReadLines(o + "kept.txt").empty())
        << ReadFile(o + "log.txt") << ReadFile(o + "errors.txt");
    EXPECT_EQ(ReadLines(o + "kept.txt")[0], "Link0");
    ASSERT_EQ(RunSteps(device, {kBook},
                       "idle\nanswer 1\n" + Tap(0) +
                           "advance 100\nidle\n"
                           "pagetext " +
                           o + "after.txt\nquit\n")
                  .status,
              0)
        << ReadFile(o + "errors.txt");
    // No window is left to show a page.
    ASSERT_TRUE(std::filesystem::exists(o + "after.txt"));
    EXPECT_TRUE(ReadLines(o + "after.txt").empty()) << "the reader stayed open";
}

// A guide reference taken by number, and a checkpoint set before leaving the first page: the
// chapter's "Return" link comes back to it only when the checkpoint was set.
TEST(ProgramBookScripts, GoToGuideAndTheCheckpointItLeavesBehind) {
    for (const bool checkpoint : {false, true}) {
        SCOPED_TRACE(checkpoint);
        TempDevice device;
        ASSERT_TRUE(device.ok());
        BookTargetSpec guide;
        guide.kind = BookDocument::kTargetGuide;
        guide.name = "chapter six";
        guide.extra = "#back";
        WriteScriptBook(device,
                        {checkpoint ? "history.set_checkpoint(); document.goto_guide(0)"
                                    : "document.goto_guide(0)"},
                        {guide});
        const std::string o = device.outside() + "/";
        ASSERT_EQ(RunSteps(device, {kBook},
                           "idle\npagetext " + o + "first.txt\n" + Tap(0) + "pagetext " + o +
                               "guide.txt\n" + Tap(0) + "pagetext " + o + "return.txt\nquit\n")
                      .status,
                  0)
            << ReadFile(o + "errors.txt");
        const auto guided = ReadLines(o + "guide.txt");
        ASSERT_FALSE(guided.empty());
        EXPECT_EQ(guided[0], "Return");
        EXPECT_EQ(Joined(ReadLines(o + "return.txt")),
                  Joined(ReadLines(checkpoint ? o + "first.txt" : o + "guide.txt")));
    }
}

}  // namespace
}  // namespace fvt::test
