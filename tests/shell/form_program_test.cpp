// Forms in the program: what is typed into a persistent form is there again after a restart
// (a form that is not persistent starts afresh), and the radio buttons of one name are
// exclusive, also after the restart.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

}  // namespace
}  // namespace fvt::test
