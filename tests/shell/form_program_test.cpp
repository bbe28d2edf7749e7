// Forms in the program: what is typed into a persistent form is there again after a restart
// (a form that is not persistent starts afresh), and the radio buttons of one name are
// exclusive, also after the restart. Check boxes and radio buttons have the screen's size.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "shell/program_runs.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"
#include "support/shell/screenshot.h"

namespace fvt::test {
namespace {

// Laid out on a 240x320 screen: the persistent form's field, its two radio buttons A and B,
// then the plain form's field.
constexpr const char* kForms =
    "<html><body><p>Persistent form</p>"
    "<form name=\"keep\" fvt:persistent><p>Name: <input type=\"text\" name=\"who\" size=\"12\"></p>"
    "<p><input type=\"radio\" name=\"pick\" value=\"a\"> A "
    "<input type=\"radio\" name=\"pick\" value=\"b\"> B</p></form>"
    "<p>Plain form</p>"
    "<form name=\"plain\"><p><input type=\"text\" name=\"other\" size=\"12\"></p></form>"
    "</body></html>";

struct Screen {
    int w = 0, h = 0;
    std::vector<std::uint32_t> px;
    // Dark pixels in a box (the tick of a check box, the letters of a field).
    int DarkIn(int x0, int y0, int x1, int y1) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                std::uint32_t p = px[static_cast<std::size_t>(y) * w + x];
                n += ((p >> 16) & 0xFF) < 100 && ((p >> 8) & 0xFF) < 100 && (p & 0xFF) < 100;
            }
        return n;
    }
};

Screen Read(const std::string& path) {
    Screen s;
    EXPECT_TRUE(ReadScreenshot(path, s.w, s.h, s.px)) << path;
    return s;
}

TEST(Forms, PersistentInputAndTheRadioChoiceSurviveARestart) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteOutside("form.html", kForms);
    const std::string book = device.OutsidePath("form.html");
    const std::string blank = device.OutsidePath("blank.png"),
                      typed = device.OutsidePath("typed.png"),
                      again = device.OutsidePath("again.png");
    ASSERT_EQ(RunSteps(device, {book},
                       "idle\nscreenshot " + blank +
                           "\ntap 118 91\nidle\nchar K\nchar i\nchar m\nidle\n"
                           "tap 29 119\nidle\ntap 68 119\nidle\n"
                           "tap 118 173\nidle\nchar x\nidle\nscreenshot " +
                           typed + "\nquit\n")
                  .status,
              0);
    ASSERT_EQ(RunSteps(device, {book}, "idle\nscreenshot " + again + "\nquit\n").status, 0);
    const Screen b = Read(blank), t = Read(typed), a = Read(again);
    // Boxes: the persistent field's text, radio A, radio B, the plain field's text.
    auto field = [](const Screen& s) { return s.DarkIn(24, 83, 200, 100); };
    auto radioA = [](const Screen& s) { return s.DarkIn(24, 114, 35, 125); };
    auto radioB = [](const Screen& s) { return s.DarkIn(63, 114, 74, 125); };
    auto plain = [](const Screen& s) { return s.DarkIn(24, 165, 200, 182); };
    EXPECT_GT(field(t), field(b) + 20);
    EXPECT_GT(plain(t), plain(b) + 5);
    // Only the radio button checked last stays checked.
    EXPECT_EQ(radioA(t), radioA(b));
    EXPECT_GT(radioB(t), radioB(b) + 5);
    // After the restart: the persistent form as it was left, the plain form afresh.
    EXPECT_EQ(field(a), field(t));
    EXPECT_EQ(radioA(a), radioA(b));
    EXPECT_EQ(radioB(a), radioB(t));
    EXPECT_EQ(plain(a), plain(b));
}

// A check box, a radio button and a drop-down, each alone on its line, and text after them.
constexpr const char* kBoxes =
    "<html><body><form name=\"f\"><p><input type=\"checkbox\" name=\"c\" value=\"1\"></p>"
    "<p><input type=\"radio\" name=\"r\" value=\"a\"></p>"
    "<p><select name=\"s\"><option>A</option><option>B</option></select></p></form>"
    "<p>End</p></body></html>";

// The grey-black of a box's frame and of text: the bars' dark blue is not it.
bool Ink(std::uint32_t p) {
    int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    return std::max({r, g, b}) < 110 && std::max({r, g, b}) - std::min({r, g, b}) < 40;
}

struct Box {
    int x = -1, y = -1, w = 0, h = 0;
    bool Found() const { return w > 0 && h > 0; }
};

// The frame whose top edge is the first ink from `fromY` down: its top-left corner and the runs
// of ink along its top edge and down its left side.
Box FrameFrom(const Screen& s, int fromY) {
    Box b;
    for (int y = fromY; y < s.h && b.y < 0; ++y)
        for (int x = 0; x < s.w; ++x)
            if (Ink(s.px[static_cast<std::size_t>(y) * s.w + x])) {
                b.x = x;
                b.y = y;
                break;
            }
    if (b.y < 0) return b;
    auto at = [&](int x, int y) { return Ink(s.px[static_cast<std::size_t>(y) * s.w + x]); };
    while (b.x + b.w < s.w && at(b.x + b.w, b.y)) ++b.w;
    while (b.y + b.h < s.h && at(b.x, b.y + b.h)) ++b.h;
    return b;
}

// The square a round mark (a radio button) fills: from the first row with ink at or below
// `fromY`, every row and column with ink up to the next row without.
Box InkFrom(const Screen& s, int fromY) {
    Box b;
    // A curve's edge is mostly grey: any grey counts here, not only the dark of a straight frame.
    auto at = [&](int x, int y) {
        const std::uint32_t p = s.px[static_cast<std::size_t>(y) * s.w + x];
        const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, bl = p & 0xFF;
        return std::max({r, g, bl}) < 200 && std::max({r, g, bl}) - std::min({r, g, bl}) < 40;
    };
    int top = -1, bottom = -1, left = s.w, right = -1;
    for (int y = fromY; y < s.h; ++y) {
        bool any = false;
        for (int x = 0; x < s.w; ++x)
            if (at(x, y)) {
                any = true;
                left = std::min(left, x);
                right = std::max(right, x);
            }
        if (any && top < 0) top = y;
        if (any) bottom = y;
        if (!any && top >= 0) break;
    }
    if (top < 0) return b;
    b.x = left;
    b.y = top;
    b.w = right - left + 1;
    b.h = bottom - top + 1;
    return b;
}

// The widest row of the drop-down's arrow: the ink on its button, at the frame's right.
int ArrowWidth(const Screen& s, const Box& frame) {
    auto px = [&](int x, int y) { return s.px[static_cast<std::size_t>(y) * s.w + x]; };
    const int right = frame.x + frame.w - 1, middle = frame.y + frame.h / 2;
    int left = right - 1;
    // Leftwards from the frame through the button, up to the white of the text part.
    auto white = [](std::uint32_t p) {
        return std::min({(p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF}) > 240;
    };
    while (left > frame.x && !white(px(left - 1, middle))) --left;
    int widest = 0;
    for (int y = frame.y + 1; y < frame.y + frame.h - 1; ++y) {
        int n = 0;
        for (int x = left; x < right; ++x) n += Ink(px(x, y));
        widest = std::max(widest, n);
    }
    return widest;
}

std::vector<std::string> On(const char* screen, const char* language) {
    return {std::string("FOLIVANT_SCREEN=") + screen, std::string("FOLIVANT_LANGUAGE=") + language};
}

// On the high-resolution screen a page's check box, radio button and drop-down arrow are drawn
// twice the size they have at 96 dpi, as the text beside them is, and a tap still toggles a box.
TEST(Forms, CheckBoxesAndRadioButtonsTakeTheScreensSize) {
    for (const char* language : {"en", "fr"}) {
        SCOPED_TRACE(language);
        TempDevice device;
        ASSERT_TRUE(device.ok());
        device.WriteOutside("boxes.html", kBoxes);
        const std::string book = device.OutsidePath("boxes.html");
        const std::string small = device.OutsidePath("small.png"),
                          large = device.OutsidePath("large.png");
        ASSERT_EQ(RunSteps(device, {book}, "idle\nscreenshot " + small + "\nquit\n",
                           On("240x320@96", language))
                      .status,
                  0);
        ASSERT_EQ(RunSteps(device, {book}, "idle\nscreenshot " + large + "\nquit\n",
                           On("480x640@192", language))
                      .status,
                  0);
        const Screen s = Read(small), l = Read(large);
        ASSERT_EQ(l.w, 480);
        const Box checkS = FrameFrom(s, 0), checkL = FrameFrom(l, 0);
        ASSERT_TRUE(checkS.Found() && checkL.Found());
        // A radio button is round: its box is the square its ink fills.
        const Box radioS = InkFrom(s, checkS.y + checkS.h + 1),
                  radioL = InkFrom(l, checkL.y + checkL.h + 1);
        ASSERT_TRUE(radioS.Found() && radioL.Found());
        for (const auto& [small96, large192] : {std::pair{checkS, checkL}, {radioS, radioL}}) {
            // A box, not a line of text: square, and a box's size at 96 dpi.
            EXPECT_GE(small96.w, 10);
            EXPECT_NEAR(small96.w, small96.h, 1);
            EXPECT_NEAR(large192.w, large192.h, 2);
            EXPECT_NEAR(large192.w, 2 * small96.w, 2);
            EXPECT_NEAR(large192.h, 2 * small96.h, 2);
        }
        const Box selectS = FrameFrom(s, radioS.y + radioS.h + 1),
                  selectL = FrameFrom(l, radioL.y + radioL.h + 1);
        ASSERT_TRUE(selectS.Found() && selectL.Found());
        const int arrowS = ArrowWidth(s, selectS), arrowL = ArrowWidth(l, selectL);
        EXPECT_GE(arrowS, 8);
        EXPECT_NEAR(arrowL, 2 * arrowS, 2);

        // Tapped at their middles at 192 dpi, both boxes show their tick.
        const std::string tapped = device.OutsidePath("tapped.png"),
                          before = device.OutsidePath("before.png");
        auto tap = [](const Box& b) {
            return "tap " + std::to_string(b.x + b.w / 2) + " " + std::to_string(b.y + b.h / 2) +
                   "\nidle\n";
        };
        ASSERT_EQ(RunSteps(device, {book},
                           "idle\nscreenshot " + before + "\n" + tap(checkL) + tap(radioL) +
                               "screenshot " + tapped + "\nquit\n",
                           On("480x640@192", language))
                      .status,
                  0);
        const Screen b = Read(before), t = Read(tapped);
        auto inside = [](const Screen& sc, const Box& x) {
            return sc.DarkIn(x.x + 3, x.y + 3, x.x + x.w - 3, x.y + x.h - 3);
        };
        for (const Box& box : {checkL, radioL}) {
            EXPECT_EQ(inside(b, box), inside(l, box));  // the same page as before
            EXPECT_GT(inside(t, box), inside(b, box) + 20);
        }
    }
}

}  // namespace
}  // namespace fvt::test

namespace fvt::test {
namespace {

// Pixels of a chosen row's blue (the list box's mark) in a screenshot.
int ChosenRowPixels(const Screen& s) {
    int n = 0;
    for (std::uint32_t p : s.px) {
        const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        n += b > 150 && r < 120 && b - r > 60 && g < 160;
    }
    return n;
}

// A list box (SIZE 4) with its third option chosen, after pages of text: first shown on a page
// reached by PageDown, it marks its chosen option, as it does on that page reached again.
TEST(Forms, AListBoxFirstShownAfterPageDownMarksItsChosenOption) {
    std::string html = "<html><body>";
    for (int i = 0; i < 14; ++i)
        html += "<p>Paragraph " + std::to_string(i) +
                " filler words to take the page down and onward some more text here.</p>";
    html += "<form name=\"f\"><p>Pick:</p><select name=\"s\" size=\"4\"><option>Alpha</option>"
            "<option>Bravo</option><option selected>Charlie</option><option>Delta</option>"
            "<option>Echo</option></select></form><p>After the list</p></body></html>";
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteOutside("list.html", html);
    const std::string o = device.outside() + "/";
    // PageDown to the end (the list's page), then back a page and forward again.
    std::string steps = "idle\n";
    for (int i = 0; i < 8; ++i) steps += "key 0x22\nidle\n";
    steps += "pagetext " + o + "last.txt\nscreenshot " + o + "first.png\nkey 0x21\nidle\n" +
             "key 0x22\nidle\nscreenshot " + o + "again.png\nquit\n";
    ASSERT_EQ(RunSteps(device, {device.OutsidePath("list.html")}, steps).status, 0);
    ASSERT_NE(ReadFile(o + "last.txt").find("After the list"), std::string::npos)
        << ReadFile(o + "last.txt");
    const Screen first = Read(o + "first.png"), again = Read(o + "again.png");
    EXPECT_GT(ChosenRowPixels(again), 100);
    EXPECT_EQ(ChosenRowPixels(first), ChosenRowPixels(again));
    EXPECT_EQ(first.px, again.px);
}

}  // namespace
}  // namespace fvt::test
