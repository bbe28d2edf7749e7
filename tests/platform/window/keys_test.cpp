// Keys: characters, key state, hot keys (twice per press), hardware buttons, soft keys.
#include <gtest/gtest.h>

#include "platform/last_error.h"
#include "platform/window/keys.h"
#include "support/platform/window_fixture.h"

namespace fvt::test {
namespace {

using Keys = WindowTest;

TEST_F(Keys, TranslateMessageTypesTheCharacterBetweenDownAndUp) {
    HWND hwnd = Make(0, 26, 100, 100);
    SetFocus(hwnd);
    Watch({WM_KEYDOWN, WM_CHAR, WM_KEYUP});
    fvt::Key('A');
    fvt::Key(VK_F8);  // '*' on the keypad
    RunUntilIdle();
    auto log = Log();
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ(log[1].message, WM_CHAR);
    EXPECT_EQ(log[1].wParam, u'a');
    EXPECT_EQ(log[2].message, WM_KEYUP);
    EXPECT_EQ(log[2].lParam & kKeyPreviousDown, kKeyPreviousDown);
    EXPECT_EQ(log[0].lParam & kKeyPreviousDown, 0);
    EXPECT_EQ(log[4].wParam, u'*');
}

// A window system's text input gives the character with the key: Shift+1 types "!", and a second
// press of the key before the first was read keeps its own character.
TEST_F(Keys, EachPressKeepsTheCharacterItCameWith) {
    HWND hwnd = Make(0, 26, 100, 100);
    SetFocus(hwnd);
    Watch({WM_CHAR});
    fvt::KeyDown('1', u'!');
    fvt::KeyUp('1');
    fvt::KeyDown('1', u'1');
    fvt::KeyUp('1');
    fvt::KeyDown(VK_OEM_PLUS, u'=');
    fvt::KeyUp(VK_OEM_PLUS);
    fvt::Key('E', u'\u00e9');
    RunUntilIdle();
    auto log = Log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].wParam, u'!');
    EXPECT_EQ(log[1].wParam, u'1');
    EXPECT_EQ(log[2].wParam, u'=');
    EXPECT_EQ(log[3].wParam, 0xE9u);
}

TEST_F(Keys, ControlLettersBecomeControlCharacters) {
    HWND hwnd = Make(0, 26, 100, 100);
    SetFocus(hwnd);
    Watch({WM_CHAR});
    fvt::KeyDown(VK_LCONTROL);
    fvt::Key('F');
    fvt::KeyUp(VK_LCONTROL);
    RunUntilIdle();
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].wParam, 6u);
}

TEST_F(Keys, KeyStateFollowsTheMessagesRetrieved) {
    HWND hwnd = Make(0, 26, 100, 100);
    SetFocus(hwnd);
    short shiftDuringTab = 0;
    On(hwnd, [&](HWND, UINT m, WPARAM w, LPARAM, bool& handled) -> LRESULT {
        handled = false;
        if (m == WM_KEYDOWN && w == VK_TAB) shiftDuringTab = GetKeyState(VK_SHIFT);
        return 0;
    });
    fvt::KeyDown(VK_SHIFT);
    fvt::Key(VK_TAB);
    EXPECT_EQ(GetKeyState(VK_SHIFT) & 0x8000, 0);  // nothing retrieved yet
    RunUntilIdle();
    EXPECT_NE(shiftDuringTab & 0x8000, 0);
    fvt::KeyUp(VK_SHIFT);
    RunUntilIdle();
    EXPECT_EQ(GetKeyState(VK_SHIFT) & 0x8000, 0);
    // Either Control key counts as Control.
    fvt::KeyDown(VK_RCONTROL);
    RunUntilIdle();
    EXPECT_NE(GetKeyState(VK_CONTROL) & 0x8000, 0);
    EXPECT_NE(GetKeyState(VK_RCONTROL) & 0x8000, 0);
    fvt::KeyUp(VK_RCONTROL);
    RunUntilIdle();
}

TEST_F(Keys, RegisteredButtonGivesTwoHotKeysAndStillItsKeyUp) {
    HWND hwnd = Make(0, 26, 100, 100);
    SetFocus(hwnd);
    ASSERT_TRUE(UnregisterFunc1(MOD_WIN, 0xC1));
    ASSERT_TRUE(RegisterHotKey(hwnd, 0xC1, MOD_WIN, 0xC1));
    Watch({WM_HOTKEY, WM_KEYDOWN, WM_KEYUP});
    fvt::HardwareButton(1);
    RunUntilIdle();
    auto log = Log();
    std::vector<UINT> kinds;
    for (auto& r : log) kinds.push_back(r.message);
    EXPECT_EQ(kinds, (std::vector<UINT>{WM_HOTKEY, WM_KEYDOWN, WM_HOTKEY, WM_KEYUP}));
    EXPECT_EQ(HIWORD(log[0].lParam), 0xC1);
    EXPECT_EQ(log[0].wParam, 0xC1u);
    EXPECT_EQ(LOWORD(log[2].lParam) & MOD_KEYUP, MOD_KEYUP);
    EXPECT_EQ(log[3].lParam & kKeyPreviousDown, kKeyPreviousDown);
}

TEST_F(Keys, OtherHotKeysGiveOnlyTheTwoHotKeys) {
    HWND hwnd = Make(0, 26, 100, 100);
    SetFocus(hwnd);
    ASSERT_TRUE(RegisterHotKey(hwnd, 3, MOD_WIN, VK_F1));
    Watch({WM_HOTKEY, WM_KEYDOWN, WM_KEYUP});
    fvt::SoftKey(1);
    RunUntilIdle();
    EXPECT_EQ(Messages(), (std::vector<UINT>{WM_HOTKEY, WM_HOTKEY}));
    // Unregistered, the soft key is a plain key again.
    ASSERT_TRUE(UnregisterHotKey(hwnd, 3));
    EXPECT_FALSE(UnregisterHotKey(hwnd, 3));
    Clear();
    fvt::SoftKey(1);
    RunUntilIdle();
    EXPECT_EQ(Messages(), (std::vector<UINT>{WM_KEYDOWN, WM_KEYUP}));
}

TEST_F(Keys, AKeyBelongsToOneWindowAtATime) {
    HWND a = Make(0, 26, 100, 100);
    HWND b = Make(0, 26, 100, 100);
    ASSERT_TRUE(RegisterHotKey(a, 1, MOD_WIN, 0xC2));
    EXPECT_FALSE(RegisterHotKey(b, 1, MOD_WIN, 0xC2));
    EXPECT_EQ(GetLastError(), ERROR_HOTKEY_ALREADY_REGISTERED);
    DestroyWindow(a);  // its keys go with it
    EXPECT_TRUE(RegisterHotKey(b, 1, MOD_WIN, 0xC2));
}

TEST_F(Keys, OverriddenBackKeyReachesTheBarOwnerAsHotKeys) {
    HWND owner = Make(0, 26, 100, 100);
    HWND focus = Make(0, 0, 10, 10, WS_CHILD | WS_VISIBLE, owner);
    SetFocus(focus);
    fvt::SetKeyOverride(owner, VK_ESCAPE, true);
    Watch({WM_HOTKEY, WM_KEYDOWN});
    fvt::Key(VK_ESCAPE);
    RunUntilIdle();
    auto log = Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].hwnd, owner);
    EXPECT_EQ(HIWORD(log[0].lParam), VK_ESCAPE);
}

TEST_F(Keys, AssociatedWindowGetsTheButtonKeys) {
    HWND main = Make(0, 26, 100, 100);
    HWND other = Make(0, 26, 100, 100, 0);
    SetFocus(main);
    ASSERT_TRUE(SHSetAppKeyWndAssoc(0xC3, other));
    Watch({WM_KEYDOWN, WM_KEYUP});
    fvt::HardwareButton(3);
    RunUntilIdle();
    auto log = Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].hwnd, other);
    EXPECT_EQ(log[1].hwnd, other);
}

TEST_F(Keys, AKeyTakenFromTheSystemCanBeGivenBackOnce) {
    EXPECT_FALSE(fvt::IsKeyFunctionTaken(0xC3));
    ASSERT_TRUE(UnregisterFunc1(MOD_WIN, 0xC3));
    EXPECT_TRUE(fvt::IsKeyFunctionTaken(0xC3));
    EXPECT_TRUE(fvt::RestoreKeyFunction(0xC3));
    EXPECT_FALSE(fvt::IsKeyFunctionTaken(0xC3));
    EXPECT_FALSE(fvt::RestoreKeyFunction(0xC3));
    // Beyond the key range nothing is taken or given back.
    EXPECT_FALSE(UnregisterFunc1(MOD_WIN, 0x1C1));
    EXPECT_FALSE(fvt::RestoreKeyFunction(0x1C1));
}

TEST_F(Keys, NoAcceleratorTableTranslatesNothing) {
    HWND hwnd = Make(0, 26, 100, 100);
    MSG msg{hwnd, WM_KEYDOWN, 'P', 0, 0, {0, 0}};
    EXPECT_EQ(TranslateAcceleratorW(hwnd, LoadAcceleratorsW(nullptr, MAKEINTRESOURCEW(1)), &msg),
              0);
}

TEST_F(Keys, PenGoesToTheWindowUnderItOrToTheCapture) {
    HWND left = Make(0, 26, 100, 100);
    HWND right = Make(120, 26, 100, 100);
    Watch({WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP});
    fvt::PenDown(10, 36);
    SetCapture(left);
    fvt::PenMove(130, 40);
    fvt::PenUp(130, 40);
    RunUntilIdle();
    auto log = Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].hwnd, left);
    EXPECT_EQ(GET_X_LPARAM(log[0].lParam), 10);
    EXPECT_EQ(GET_Y_LPARAM(log[0].lParam), 10);
    EXPECT_EQ(log[2].hwnd, left);
    EXPECT_EQ(GET_X_LPARAM(log[2].lParam), 130);  // client coordinates of the capture
    ReleaseCapture();
    Clear();
    fvt::Tap(130, 40);
    RunUntilIdle();
    ASSERT_EQ(Log().size(), 2u);
    EXPECT_EQ(Log()[0].hwnd, right);
}

TEST_F(Keys, PenDownActivatesAnInactiveWindowBeforeItsPenMessage) {
    HWND back = Make(0, 26, 100, 100);
    HWND front = Make(120, 26, 100, 100);
    ASSERT_EQ(GetActiveWindow(), front);
    Watch({WM_ACTIVATE, WM_LBUTTONDOWN});
    fvt::PenDown(10, 36);
    fvt::PenUp(10, 36);
    RunUntilIdle();
    auto log = Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].hwnd, front);
    EXPECT_EQ(LOWORD(log[0].wParam), WA_INACTIVE);
    EXPECT_EQ(log[1].hwnd, back);
    EXPECT_NE(LOWORD(log[1].wParam), WA_INACTIVE);
    EXPECT_EQ(log[2].message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(GetActiveWindow(), back);

    // A disabled window (the owner of a modal loop) and the task bar are never activated.
    EnableWindow(front, FALSE);
    Clear();
    fvt::Tap(130, 40);
    fvt::Tap(5, 5);
    RunUntilIdle();
    EXPECT_EQ(GetActiveWindow(), back);
    EXPECT_TRUE(Log().empty());
}

}  // namespace
}  // namespace fvt::test
