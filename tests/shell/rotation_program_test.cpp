// Turning the page from the menu and auto-scrolling it, in the program itself: a driver script
// on a fixture device, read back through the page text, the screen and the saved settings.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "bookfiles/configuration_store.h"
#include "reader/reader_settings.h"
#include "shell/program_runs.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

constexpr const char* kBook = "\\storage\\eBooks\\turn.htm";

// Paragraphs long enough that the width decides where each line breaks.
void WriteLongText(const TempDevice& device, int paragraphs = 14) {
    std::string html = "<html><body>";
    for (int i = 1; i <= paragraphs; ++i)
        html += "<h2>Chapter " + std::to_string(i) + "</h2><p>Paragraph " + std::to_string(i) +
                " has words enough to fill several lines of the page so that the width "
                "matters for where each line breaks.</p>";
    device.WriteHost("storage/eBooks/turn.htm", html + "</body></html>");
}

std::vector<std::string> Words(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const std::string& line : lines) {
        std::istringstream in(line);
        for (std::string w; in >> w;) out.push_back(w);
    }
    return out;
}

size_t LongestLine(const std::vector<std::string>& lines) {
    size_t n = 0;
    for (const std::string& line : lines) n = std::max(n, line.size());
    return n;
}

// Rows [top, bottom) of which every pixel is black.
int BlackRows(const Picture& p, int top, int bottom) {
    int rows = 0;
    for (int y = top; y < std::min(bottom, p.height); ++y) {
        bool black = true;
        for (int x = 0; x < p.width && black; ++x) black = (p.At(x, y) & 0x00FFFFFF) == 0;
        rows += black ? 1 : 0;
    }
    return rows;
}

// The settings' page orientation as the program saved it.
uint32_t SavedOrientation() {
    ConfigurationStore store;
    if (store.OpenDefault("\\Windows\\FVT_global_configuration.fvt", 1) != 0) return 99;
    ReaderSettings settings;
    settings.SetConfigurationStore(&store);
    const uint32_t out = settings.Load(false) ? settings.orientation : 98;
    if (store.Close() != 0) return 97;
    return out;
}

void SetSavedOrientation(uint32_t orientation) {
    ConfigurationStore store;
    ASSERT_EQ(0, store.OpenDefault("\\Windows\\FVT_global_configuration.fvt", 1));
    ReaderSettings settings;
    settings.SetConfigurationStore(&store);
    ASSERT_TRUE(settings.Load(false));
    settings.orientation = orientation;
    ASSERT_TRUE(settings.Save());
    ASSERT_EQ(store.Close(), 0);
}

// On a screen the system cannot turn, Rotate turns the page itself: it is laid out again for
// the turned width (wider lines, the same words from the start, so nothing is cut), fills the
// whole screen with no black band, and the settings keep the orientation. A second Rotate gives
// the half turn; Normal orientation brings back exactly the upright page.
TEST(ProgramRotate, MenuRotateLaysThePageOutForTheTurnedPage) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteLongText(device);
    const std::string o = device.outside() + "/";
    auto shot = [&](const std::string& name) {
        return "screenshot " + o + name + ".png\npagetext " + o + name + ".txt\n";
    };
    const std::string steps = "idle\n" + shot("upright") + "menu 40085\nidle\n" + shot("quarter") +
                              "menu 40085\nidle\n" + shot("half") + "menu 40173\nidle\n" +
                              shot("back") + "menu 40085\nidle\nquit\n";
    ASSERT_EQ(RunSteps(device, {kBook}, steps).status, 0) << ReadFile(o + "errors.txt");

    const auto upright = ReadLines(o + "upright.txt"), quarter = ReadLines(o + "quarter.txt");
    ASSERT_FALSE(upright.empty());
    ASSERT_FALSE(quarter.empty());
    EXPECT_GT(LongestLine(quarter), LongestLine(upright));
    const auto uprightWords = Words(upright), quarterWords = Words(quarter);
    const size_t n = std::min(uprightWords.size(), quarterWords.size());
    ASSERT_GT(n, 10u);
    for (size_t i = 0; i < n; ++i) ASSERT_EQ(quarterWords[i], uprightWords[i]) << i;

    const Picture up = ReadPicture(o + "upright.png"), turned = ReadPicture(o + "quarter.png");
    ASSERT_EQ(turned.width, 240);
    ASSERT_EQ(turned.height, 320);
    // The page lies between the title strip and the soft-key bar.
    EXPECT_TRUE(turned.RowsDiffer(up, 26, 294));
    EXPECT_EQ(BlackRows(turned, 26, 294), 0);
    EXPECT_EQ(BlackRows(ReadPicture(o + "half.png"), 26, 294), 0);
    // The half turn has the upright page's width: the same lines.
    EXPECT_EQ(Joined(ReadLines(o + "half.txt")), Joined(upright));

    EXPECT_EQ(Joined(ReadLines(o + "back.txt")), Joined(upright));
    EXPECT_FALSE(ReadPicture(o + "back.png").RowsDiffer(up, 0, 320));
    // The last Rotate before quitting turned the page a quarter: the settings say so.
    EXPECT_EQ(SavedOrientation(), 2u);
}

// The page turned on a screen the system cannot turn is turned again when the reader starts
// next: the book named on the command line and the last book reopened without one both come
// back exactly as they were left, laid out for the turned page.
TEST(ProgramRotate, ATurnedPageStaysTurnedAfterARestart) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteLongText(device);
    const std::string o = device.outside() + "/";
    auto shot = [&](const std::string& name) {
        return "idle\nscreenshot " + o + name + ".png\npagetext " + o + name + ".txt\nquit\n";
    };
    ASSERT_EQ(RunSteps(device, {kBook}, "idle\nmenu 40085\n" + shot("turned")).status, 0)
        << ReadFile(o + "errors.txt");
    ASSERT_EQ(SavedOrientation(), 2u);
    ASSERT_EQ(RunSteps(device, {kBook}, shot("named")).status, 0) << ReadFile(o + "errors.txt");
    ASSERT_EQ(RunSteps(device, {}, shot("reopened")).status, 0) << ReadFile(o + "errors.txt");

    const Picture turned = ReadPicture(o + "turned.png");
    ASSERT_EQ(turned.height, 320);
    const auto lines = ReadLines(o + "turned.txt");
    ASSERT_FALSE(lines.empty());
    for (const char* name : {"named", "reopened"}) {
        const Picture again = ReadPicture(o + name + ".png");
        ASSERT_EQ(again.width, 240) << name;
        ASSERT_EQ(again.height, 320) << name;
        EXPECT_FALSE(again.RowsDiffer(turned, 0, 320)) << name;
        EXPECT_EQ(BlackRows(again, 26, 294), 0) << name;
        EXPECT_EQ(Joined(ReadLines(o + name + ".txt")), Joined(lines)) << name;
    }
    EXPECT_EQ(SavedOrientation(), 2u);
}

// The Display options page turns the page the same way: its orientation control's next row
// (the other quarter turn) is laid out for the turned page and kept in the settings.
TEST(ProgramRotate, TheDisplayPageTurnsThePageAndLaysItOut) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteLongText(device);
    const std::string o = device.outside() + "/";
    // Page 4 of the options list is Display; the right half of its up-down (at the page's right
    // edge, as on the other pages) steps the orientation on; OK, then the list closes.
    const std::string steps = "idle\npagetext " + o + "upright.txt\nanswer-key 0x34\n"
                              "answer-tap 228 95\nanswer 1\nanswer 2\nmenu 40041\nidle\n"
                              "screenshot " + o + "turned.png\npagetext " + o + "turned.txt\nquit\n";
    ASSERT_EQ(RunSteps(device, {kBook}, steps).status, 0) << ReadFile(o + "errors.txt");
    EXPECT_GT(LongestLine(ReadLines(o + "turned.txt")), LongestLine(ReadLines(o + "upright.txt")));
    const Picture turned = ReadPicture(o + "turned.png");
    ASSERT_EQ(turned.height, 320);
    EXPECT_EQ(BlackRows(turned, 26, 294), 0);
    EXPECT_EQ(SavedOrientation(), 1u);
}

// On a screen the system turns, Rotate turns the screen: the page is laid out for the landscape
// screen, and the settings' page orientation goes back to upright (the screen shows it turned
// already).
TEST(ProgramRotate, OnATurningScreenRotateTurnsTheScreenAndResetsTheSetting) {
    TempDevice device;
    // The program reads the device's profile from its environment.
    const std::vector<std::string> turning = {"FOLIVANT_ROTATE=1", "FOLIVANT_OS=4.21"};
    ASSERT_TRUE(device.ok());
    WriteLongText(device);
    const std::string o = device.outside() + "/";
    ASSERT_EQ(RunSteps(device, {kBook}, "idle\nquit\n", turning).status, 0);
    SetSavedOrientation(3);
    ASSERT_EQ(RunSteps(device, {kBook},
                       "idle\npagetext " + o + "upright.txt\nmenu 40085\nidle\nscreenshot " + o +
                           "turned.png\npagetext " + o + "turned.txt\nquit\n",
                       turning)
                  .status,
              0)
        << ReadFile(o + "errors.txt");
    const Picture turned = ReadPicture(o + "turned.png");
    EXPECT_EQ(turned.width, 320);
    EXPECT_EQ(turned.height, 240);
    EXPECT_GT(LongestLine(ReadLines(o + "turned.txt")), LongestLine(ReadLines(o + "upright.txt")));
    EXPECT_EQ(SavedOrientation(), 0u);
}

// The device keeps its screen's turn: the reader started again on a turned device comes up on
// the landscape screen, the page laid out for it as it was left.
TEST(ProgramRotate, ATurnedScreenIsStillTurnedAfterARestart) {
    TempDevice device;
    const std::vector<std::string> turning = {"FOLIVANT_ROTATE=1", "FOLIVANT_OS=4.21"};
    ASSERT_TRUE(device.ok());
    WriteLongText(device);
    const std::string o = device.outside() + "/";
    auto shot = [&](const std::string& name) {
        return "idle\nscreenshot " + o + name + ".png\npagetext " + o + name + ".txt\nquit\n";
    };
    ASSERT_EQ(RunSteps(device, {kBook}, "idle\nmenu 40085\n" + shot("turned"), turning).status, 0)
        << ReadFile(o + "errors.txt");
    ASSERT_EQ(RunSteps(device, {kBook}, shot("restarted"), turning).status, 0)
        << ReadFile(o + "errors.txt");
    const Picture turned = ReadPicture(o + "turned.png"), again = ReadPicture(o + "restarted.png");
    ASSERT_EQ(turned.width, 320);
    ASSERT_EQ(again.width, 320);
    ASSERT_EQ(again.height, 240);
    EXPECT_FALSE(again.RowsDiffer(turned, 0, 240));
    const auto lines = ReadLines(o + "turned.txt");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(Joined(ReadLines(o + "restarted.txt")), Joined(lines));
}

// Autoscroll from the Display menu moves the page up on the view's timer, bringing the next
// page in from below. A key stops it (and does nothing else: PageDown does not turn the page);
// the page shown then starts at the first whole line the screen showed at its top, and nothing
// moves after that.
TEST(ProgramAutoscroll, ScrollsOnTheTimerAndStopsWhereTheScreenWas) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteLongText(device);
    const std::string o = device.outside() + "/";
    const std::vector<std::string> clock = {"FOLIVANT_CLOCK=virtual"};
    auto shot = [&](const std::string& name) { return "screenshot " + o + name + ".png\n"; };
    const std::string steps = "idle\npagetext " + o + "before.txt\n" + shot("before") +
                              "menu 40086\nidle\nadvance 1000\nidle\n" + shot("moving") +
                              "advance 1000\nidle\n" + shot("further") +
                              "key 0x22\nidle\npagetext " + o + "stopped.txt\n" +
                              shot("stopped") + "advance 2000\nidle\n" + shot("later") +
                              "key 0x22\nidle\npagetext " + o + "next.txt\nquit\n";
    ASSERT_EQ(RunSteps(device, {kBook}, steps, clock).status, 0) << ReadFile(o + "errors.txt");

    const Picture before = ReadPicture(o + "before.png"), moving = ReadPicture(o + "moving.png"),
                  further = ReadPicture(o + "further.png"),
                  stopped = ReadPicture(o + "stopped.png");
    ASSERT_EQ(before.height, 320);
    EXPECT_TRUE(moving.RowsDiffer(before, 26, 294));
    EXPECT_TRUE(further.RowsDiffer(moving, 26, 294));
    // The title and the soft keys stay where they are.
    EXPECT_FALSE(further.RowsDiffer(before, 0, 26));
    EXPECT_FALSE(further.RowsDiffer(before, 294, 320));
    EXPECT_FALSE(ReadPicture(o + "later.png").RowsDiffer(stopped, 0, 320));

    // The stopped page goes on from a line of the page before it, further down than its first.
    const auto lines = ReadLines(o + "before.txt"), kept = ReadLines(o + "stopped.txt");
    ASSERT_GT(lines.size(), 3u);
    ASSERT_FALSE(kept.empty());
    const auto at = std::find(lines.begin() + 1, lines.end(), kept[0]);
    ASSERT_NE(at, lines.end()) << kept[0];
    for (auto it = at; it != lines.end() && size_t(it - at) < kept.size(); ++it)
        EXPECT_EQ(*it, kept[size_t(it - at)]);
    // The page keys go on from there.
    const auto next = ReadLines(o + "next.txt");
    ASSERT_FALSE(next.empty());
    EXPECT_NE(Joined(next), Joined(kept));
}

}  // namespace
}  // namespace fvt::test
