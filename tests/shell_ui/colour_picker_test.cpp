// The colour picker: its two palettes and what a tap inside or outside the cells chooses.
#include <gtest/gtest.h>

#include "shell_ui/colour_picker.h"
#include "support/shell/ui_fixture.h"

namespace fvt::test {
namespace {

TEST(ColourPalettes, PaletteZeroStepsByThirdsAndKeepsTheLowByte) {
    EXPECT_EQ(ColourPicker::PaletteColour(0, 0, 0), RGB(0, 0, 0));
    EXPECT_EQ(ColourPicker::PaletteColour(0, 3, 0), RGB(255, 0, 0));
    EXPECT_EQ(ColourPicker::PaletteColour(0, 1, 2), RGB(85, 170, 85));
    // 7 x 255 / 3 = 595, whose low byte is 83; blue (1 + 3) x 255 / 3 = 340 -> 84.
    EXPECT_EQ(ColourPicker::PaletteColour(0, 7, 7), RGB(83, 83, 84));
}

TEST(ColourPalettes, PaletteOneStartsBlackAndTurnsAFull510IntoWhite) {
    EXPECT_EQ(ColourPicker::PaletteColour(1, 0, 0), RGB(0, 0, 0));
    EXPECT_EQ(ColourPicker::PaletteColour(1, 1, 0), RGB(127, 63, 128));
    // Blue (2 + 3) x 127 / 4 + 128 = 286, whose low byte is 30.
    EXPECT_EQ(ColourPicker::PaletteColour(1, 7, 7), RGB(255, 255, 30));
    // Red 4 x 255 / 4 = 255; blue (1 + 0) x 127 / 4 + 128 = 159.
    EXPECT_EQ(ColourPicker::PaletteColour(1, 3, 1), RGB(255, 127, 159));
}

class Picker : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        owner = Make(0, 26, 240, 268);
        SetActiveWindow(owner);
        RunUntilIdle();
    }
    HWND owner = nullptr;
};

TEST_F(Picker, ATapOnACellChoosesItsColour) {
    RECT where{};
    fvt::QueueAnswer(fvt::Answer{-1, {}, [&](HWND popup) {
                                     GetWindowRect(popup, &where);
                                     int cell = ColourPicker::CellSize();
                                     // Cell (2, 1).
                                     SendMessageW(popup, WM_LBUTTONUP, 0, MAKELPARAM(1 + 2 * cell + 3, 1 + cell + 3));
                                 }});
    COLORREF chosen = 0;
    // Asked for near the right bottom corner: moved to stay inside the owner.
    ASSERT_TRUE(ColourPicker::Choose(owner, POINT{230, 280}, 0, RGB(0, 0, 0), chosen));
    EXPECT_EQ(chosen, ColourPicker::PaletteColour(0, 2, 1));
    EXPECT_EQ(where.right - where.left, ColourPicker::PopupSize());
    EXPECT_LE(where.right, 240);
    EXPECT_LE(where.bottom, 26 + 268);
}

TEST_F(Picker, ATapPastTheCellsOrNoAnswerChoosesNothing) {
    fvt::QueueAnswer(fvt::Answer{-1, {}, [&](HWND popup) {
                                     int past = ColourPicker::PopupSize() - 1;
                                     SendMessageW(popup, WM_LBUTTONUP, 0, MAKELPARAM(past, past));
                                 }});
    COLORREF chosen = RGB(1, 2, 3);
    EXPECT_FALSE(ColourPicker::Choose(owner, POINT{10, 40}, 1, RGB(0, 0, 0), chosen));
    EXPECT_EQ(chosen, RGB(1, 2, 3));
    EXPECT_FALSE(ColourPicker::Choose(owner, POINT{10, 40}, 1, RGB(0, 0, 0), chosen));
}

}  // namespace
}  // namespace fvt::test
