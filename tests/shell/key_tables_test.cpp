// The main window's key translation: key-down codes and rows, characters of the keypad, the
// assigned hardware buttons and their key-up.
#include "shell/key_tables.h"

#include <gtest/gtest.h>

#include "platform/window/keys.h"
#include "support/platform/window_fixture.h"

namespace {

struct Keys : ::testing::Test {
    KeyContext context;
    InputEvent event;
    uint32_t table[12];
    void SetUp() override {
        for (uint32_t& entry : table) entry = 65535;
        context.keyTable = table;
    }
};

TEST_F(Keys, TabAndShiftTabGiveTheTabCodes) {
    ASSERT_TRUE(KeyTranslation::KeyDown(VK_TAB, context, event));
    EXPECT_EQ(event.Code(), 0x40Bu);
    context.shift = true;
    ASSERT_TRUE(KeyTranslation::KeyDown(VK_TAB, context, event));
    EXPECT_EQ(event.Code(), 0x40Cu);
}

TEST_F(Keys, HomeAndEndWithShiftSelect) {
    ASSERT_TRUE(KeyTranslation::KeyDown(VK_HOME, context, event));
    EXPECT_EQ(event.Code(), 17u);
    context.shift = true;
    ASSERT_TRUE(KeyTranslation::KeyDown(VK_HOME, context, event));
    EXPECT_EQ(event.Code(), 0x111u);
    ASSERT_TRUE(KeyTranslation::KeyDown(VK_END, context, event));
    EXPECT_EQ(event.Code(), 0x112u);
}

TEST_F(Keys, BackspaceAndEscapeCarryTheirRowAndBack) {
    ASSERT_TRUE(KeyTranslation::KeyDown(VK_BACK, context, event));
    EXPECT_EQ(event.row, KeyRows::kBackspace);
    EXPECT_EQ(event.Command(), 23u);
    ASSERT_TRUE(KeyTranslation::KeyDown(VK_ESCAPE, context, event));
    EXPECT_EQ(event.row, KeyRows::kEscape);
    EXPECT_EQ(event.Command(), 23u);
}

TEST_F(Keys, EnterTogglesFullScreenOnlyWhenTheSettingIsOn) {
    ASSERT_TRUE(KeyTranslation::KeyDown(VK_RETURN, context, event));
    EXPECT_EQ(event.Command(), kNoCommand);
    context.enterTogglesFullScreen = true;
    ASSERT_TRUE(KeyTranslation::KeyDown(VK_RETURN, context, event));
    EXPECT_EQ(event.Command(), 55u);
}

TEST_F(Keys, CtrlPCopiesThePositionAndPAloneDoesNothing) {
    EXPECT_FALSE(KeyTranslation::KeyDown('P', context, event));
    context.ctrl = true;
    ASSERT_TRUE(KeyTranslation::KeyDown('P', context, event));
    EXPECT_EQ(event.Code(), 26u);
    EXPECT_EQ(event.Command(), 120u);
}

TEST_F(Keys, PageKeysAndUnknownKeys) {
    ASSERT_TRUE(KeyTranslation::KeyDown(VK_NEXT, context, event));
    EXPECT_EQ(event.Code(), 11u);
    ASSERT_TRUE(KeyTranslation::KeyDown(VK_PRIOR, context, event));
    EXPECT_EQ(event.Code(), 12u);
    EXPECT_FALSE(KeyTranslation::KeyDown(0x5A, context, event));  // Z
}

TEST_F(Keys, ArrowModesPickTheirRowsAndOddModesCountAsOne) {
    const uint32_t expectUp[4] = {0xc, 0x40c, 0xe, 0x40e};
    for (uint32_t mode = 0; mode < 4; ++mode) {
        context.arrowMode = mode;
        ASSERT_TRUE(KeyTranslation::KeyDown(VK_UP, context, event));
        EXPECT_EQ(event.CodeAt(0), expectUp[mode]) << mode;
        EXPECT_EQ(event.row, KeyRows::kUp[mode]);
        ASSERT_TRUE(KeyTranslation::KeyDown(VK_DOWN, context, event));
        EXPECT_EQ(event.row, KeyRows::kDown[mode]);
    }
    context.arrowMode = 7;
    ASSERT_TRUE(KeyTranslation::KeyDown(VK_UP, context, event));
    EXPECT_EQ(event.row, KeyRows::kUp[1]);
    ASSERT_TRUE(KeyTranslation::KeyDown(VK_LEFT, context, event));
    EXPECT_EQ(event.row, KeyRows::kLeft);
}

TEST_F(Keys, ArrowsFollowTheTurnedScreen) {
    context.orientation = 3;  // upside down: up reads as down
    ASSERT_TRUE(KeyTranslation::KeyDown(VK_UP, context, event));
    EXPECT_EQ(event.row, KeyRows::kDown[1]);
    ASSERT_TRUE(KeyTranslation::KeyDown(VK_LEFT, context, event));
    EXPECT_EQ(event.row, KeyRows::kRight);
    context.orientation = 1;
    ASSERT_TRUE(KeyTranslation::KeyDown(VK_UP, context, event));
    EXPECT_EQ(event.row, KeyRows::kRight);
    ASSERT_TRUE(KeyTranslation::KeyDown(VK_LEFT, context, event));
    EXPECT_EQ(event.row, KeyRows::kUp[1]);
    // A quarter turn each way, and back again.
    for (uint32_t d = 1; d <= 4; ++d) {
        EXPECT_EQ(KeyTranslation::RotateDirection(KeyTranslation::RotateDirection(d, 1), 2), d);
        EXPECT_EQ(KeyTranslation::RotateDirection(d, 0), d);
    }
    EXPECT_EQ(KeyTranslation::RotateDirection(1, 9), 1u);
}

TEST_F(Keys, ShiftAndCtrlArrowsAddTheirModifierAfterTurning) {
    context.shift = true;
    context.orientation = 3;
    ASSERT_TRUE(KeyTranslation::KeyDown(VK_RIGHT, context, event));
    EXPECT_FALSE(event.flags & InputEvent::kHasRow);
    EXPECT_EQ(event.Code(), 0x100u + 3);
    context.shift = false;
    context.ctrl = true;
    context.orientation = 0;
    ASSERT_TRUE(KeyTranslation::KeyDown(VK_DOWN, context, event));
    EXPECT_EQ(event.Code(), 0x200u + 2);
}

TEST_F(Keys, NineRunsTheDefaultTapAction) {
    context.tapAction = 7;
    ASSERT_TRUE(KeyTranslation::Character(u'9', context, event));
    EXPECT_EQ(event.Command(), 63u);
    EXPECT_EQ(event.character, u'9');
    context.tapAction = 5;
    ASSERT_TRUE(KeyTranslation::Character(u'9', context, event));
    EXPECT_EQ(event.Command(), 56u);
    const uint32_t expected[8] = {56, 57, 59, 58, 60, 56, 56, 63};
    for (uint32_t action = 0; action < 8; ++action)
        EXPECT_EQ(KeyTranslation::TapActionCommand(action), static_cast<int32_t>(expected[action]));
}

TEST_F(Keys, ZeroMinusAndPlusCarryASecondRow) {
    ASSERT_TRUE(KeyTranslation::Character(u'0', context, event));
    EXPECT_EQ(event.flags, InputEvent::kHasRow | InputEvent::kHasSecondRow);
    event.column = 10;  // the picture view zooms
    EXPECT_EQ(event.Command(), 0x20u);
    ASSERT_TRUE(KeyTranslation::Character(u'+', context, event));
    event.column = 10;
    EXPECT_EQ(event.Command(), 0x1Eu);
    ASSERT_TRUE(KeyTranslation::Character(u'-', context, event));
    event.column = 0;
    EXPECT_EQ(event.Command(), 0xCu);
}

TEST_F(Keys, KeypadCommandsAndPlainCharacters) {
    ASSERT_TRUE(KeyTranslation::Character(u'#', context, event));
    EXPECT_EQ(event.Command(), 74u);
    ASSERT_TRUE(KeyTranslation::Character(u'*', context, event));
    EXPECT_EQ(event.Command(), 55u);
    ASSERT_TRUE(KeyTranslation::Character(u'6', context, event));
    EXPECT_EQ(event.Command(), kNoCommand);
    ASSERT_TRUE(KeyTranslation::Character(u'x', context, event));
    EXPECT_EQ(event.Code(), 25u);
    EXPECT_EQ(event.character, u'x');
}

TEST_F(Keys, SpaceAndControlCharactersAreIgnored) {
    EXPECT_FALSE(KeyTranslation::Character(u' ', context, event));
    EXPECT_FALSE(KeyTranslation::Character(u'\r', context, event));
    EXPECT_FALSE(KeyTranslation::Character(0, context, event));
}

TEST_F(Keys, AnAssignedKeypadButtonIsLeftToItsKeyUp) {
    table[4] = 8;  // button "1": Library
    EXPECT_FALSE(KeyTranslation::Character(u'1', context, event));
    int32_t command = -1;
    ASSERT_TRUE(HardwareButtons::CommandForKey(0x31, table, command));
    EXPECT_EQ(command, 0);
}

TEST(HardwareButtonActions, UnknownBitsAndButtonsPastTheTableGiveNoCommand) {
    uint32_t table[12];
    for (uint32_t& entry : table) entry = 65535;
    int32_t command = -1;
    EXPECT_FALSE(HardwareButtons::CommandForKey(0xC1, table, command));
    table[0] = 3;  // two bits: no row has it
    EXPECT_FALSE(HardwareButtons::CommandForKey(0xC1, table, command));
    table[0] = 65536;  // Find next
    ASSERT_TRUE(HardwareButtons::CommandForKey(0xC1, table, command));
    EXPECT_EQ(command, 113);
    // "0", "*" and "#" (indices 13-15) have no settings entry.
    EXPECT_FALSE(HardwareButtons::CommandForKey(0x30, table, command));
    EXPECT_FALSE(HardwareButtons::CommandForKey(0x78, table, command));
    EXPECT_FALSE(HardwareButtons::CommandForKey(0xC1, nullptr, command));
    EXPECT_FALSE(HardwareButtons::CommandForKey(0x41, table, command));
}

TEST(HardwareButtonActions, EveryActionBitIsOneBitAndUnique) {
    uint32_t seen = 0;
    for (const ButtonAction& action : HardwareButtons::kActions) {
        EXPECT_EQ(action.actionBit & (action.actionBit - 1), 0u);
        EXPECT_EQ(seen & action.actionBit, 0u);
        seen |= action.actionBit;
    }
}

TEST(HardwareButtonActions, KeyUpActsOnlyAfterTheKeyWasDown) {
    uint32_t table[12];
    for (uint32_t& entry : table) entry = 65535;
    table[1] = 1;  // button 2: Back
    KeyContext context;
    context.keyTable = table;
    InputEvent event;
    EXPECT_FALSE(KeyTranslation::KeyUp(0xC2, 0, context, event));
    ASSERT_TRUE(KeyTranslation::KeyUp(0xC2, kKeyPreviousDown, context, event));
    EXPECT_EQ(event.Code(), 26u);
    EXPECT_EQ(event.Command(), 23u);
    EXPECT_FALSE(KeyTranslation::KeyUp(0xC1, kKeyPreviousDown, context, event));
}

}  // namespace

namespace fvt::test {
namespace {

class ButtonRegistration : public WindowTest {
protected:
    ButtonRegistration(const std::string& profile = "clock = virtual\n") : WindowTest(profile) {
        for (uint32_t& entry : table) entry = 65535;
    }
    int HotKeysFor(HWND w, int button) {
        Watch({WM_HOTKEY});
        fvt::HardwareButton(button);
        RunUntilIdle();
        int n = 0;
        for (auto& r : Log()) n += r.hwnd == w ? 1 : 0;
        return n;
    }
    uint32_t table[12];
};

TEST_F(ButtonRegistration, OnlyAssignedButtonsBecomeHotKeys) {
    HWND w = Make(0, 0, 100, 100);
    table[0] = 8;
    HardwareButtons::Register(w, table, true);
    EXPECT_EQ(HotKeysFor(w, 1), 2);  // press and release
    EXPECT_EQ(HotKeysFor(w, 2), 0);
    HardwareButtons::Register(w, table, false);
    EXPECT_EQ(HotKeysFor(w, 2), 2);
    HardwareButtons::UnregisterAll(w);
    EXPECT_EQ(HotKeysFor(w, 1), 0);
    EXPECT_EQ(HotKeysFor(w, 2), 0);
}

class ButtonsWithoutHotKeys : public ButtonRegistration {
protected:
    ButtonsWithoutHotKeys() : ButtonRegistration("clock = virtual\nmissing = RegisterHotKey\n") {}
};

TEST_F(ButtonsWithoutHotKeys, ButtonsAreAssociatedWithTheWindowInstead) {
    HWND w = Make(0, 0, 100, 100);
    HWND other = Make(0, 0, 50, 50);
    SetFocus(other);
    table[0] = 8;
    HardwareButtons::Register(w, table, true);
    Watch({WM_KEYDOWN});
    fvt::HardwareButton(1);
    RunUntilIdle();
    auto log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].hwnd, w);
    EXPECT_EQ(log[0].wParam, 0xC1u);
    HardwareButtons::UnregisterAll(w);
    Watch({WM_KEYDOWN});
    fvt::HardwareButton(1);
    RunUntilIdle();
    log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].hwnd, other);
}

}  // namespace
}  // namespace fvt::test
