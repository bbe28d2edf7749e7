// Native child controls in a view (the edit field's key table, identity, text limit, hiding) and
// turning the screen.
#include "shell/native_control.h"

#include <gtest/gtest.h>

#include "core/platform_helpers.h"
#include "graphics/core/node.h"
#include "platform/controls/controls.h"
#include "platform/window/keys.h"
#include "reader/reader_settings.h"
#include "support/platform/window_fixture.h"

namespace fvt::test {
namespace {

struct EditKeys : ::testing::Test {
    InputEvent e;
    bool Key(UINT vk, DWORD start = 3, DWORD end = 3, int length = 6, bool shift = false) {
        return NativeControl::TranslateEditMessage(WM_KEYDOWN, vk, start, end, length, shift, e);
    }
};

TEST_F(EditKeys, NavigationKeysLeaveTheField) {
    ASSERT_TRUE(Key(VK_TAB));
    EXPECT_EQ(e.Code(), 0x40Bu);
    ASSERT_TRUE(Key(VK_TAB, 3, 3, 6, true));
    EXPECT_EQ(e.Code(), 0x40Cu);
    ASSERT_TRUE(Key(VK_UP));
    EXPECT_EQ(e.Code(), 0x40Cu);
    ASSERT_TRUE(Key(VK_DOWN));
    EXPECT_EQ(e.Code(), 0x40Bu);
    ASSERT_TRUE(Key(VK_PRIOR));
    EXPECT_EQ(e.Code(), 12u);
    ASSERT_TRUE(Key(VK_NEXT));
    EXPECT_EQ(e.Code(), 11u);
    ASSERT_TRUE(Key(VK_ESCAPE));
    EXPECT_EQ(e.Code(), 26u);
    EXPECT_EQ(e.Command(), 23u);
    ASSERT_TRUE(Key(VK_RETURN));
    EXPECT_EQ(e.Code(), 23u);
}

TEST_F(EditKeys, LeftAndRightLeaveOnlyAtTheEndsWithoutSelection) {
    EXPECT_FALSE(Key(VK_LEFT, 3, 3));
    ASSERT_TRUE(Key(VK_LEFT, 0, 0));
    EXPECT_EQ(e.Code(), 12u);
    EXPECT_FALSE(Key(VK_LEFT, 0, 2));
    EXPECT_FALSE(Key(VK_RIGHT, 5, 5, 6));
    ASSERT_TRUE(Key(VK_RIGHT, 6, 6, 6));
    EXPECT_EQ(e.Code(), 4u);
    EXPECT_FALSE(Key(VK_RIGHT, 2, 6, 6));
    EXPECT_FALSE(Key('A'));
}

TEST_F(EditKeys, TabEnterEscapeAndCtrlFCharactersAreSwallowed) {
    for (WPARAM c : {WPARAM{9}, WPARAM{13}, WPARAM{27}, WPARAM{6}})
        EXPECT_TRUE(NativeControl::TranslateEditMessage(WM_CHAR, c, 0, 0, 0, false, e)) << c;
    EXPECT_FALSE(NativeControl::TranslateEditMessage(WM_CHAR, 'a', 0, 0, 0, false, e));
}

TEST_F(EditKeys, WheelDirectionFollowsTheSign) {
    auto wheel = [&](int16_t delta) {
        const WPARAM w = static_cast<WPARAM>(static_cast<uint16_t>(delta)) << 16;
        EXPECT_TRUE(NativeControl::TranslateEditMessage(WM_MOUSEWHEEL, w, 0, 0, 0, false, e));
        return e.Code();
    };
    EXPECT_EQ(wheel(120), 16u);
    EXPECT_EQ(wheel(240), 16u);
    EXPECT_EQ(wheel(-120), 15u);
    EXPECT_EQ(wheel(60), 16u);
    EXPECT_EQ(wheel(-60), 15u);
}

// Records the key events a control passes on.
class RecordingNode : public Widget {
public:
    bool HandleEvent(InputEvent& event) override {
        codes.push_back(event.Code());
        characters.push_back(event.character);
        return true;
    }
    std::vector<uint32_t> codes;
    std::vector<uint16_t> characters;
};

class Controls : public WindowTest {};

TEST_F(Controls, UnknownKindMakesNothing) {
    HWND parent = Make(0, 0, 200, 200);
    NativeControl control;
    EXPECT_FALSE(control.Create(nullptr, 7, RECT{0, 0, 50, 20}, parent, 5));
    EXPECT_EQ(control.Window(), nullptr);
}

TEST_F(Controls, PastedTextStopsAtTheLimitButARestoredValueStaysWhole) {
    HWND parent = Make(0, 0, 200, 200);
    NativeControl control;
    ASSERT_TRUE(control.Create(nullptr, NativeControl::kEdit, RECT{5, 5, 150, 25}, parent, 9));
    std::u16string longText(600, u'x');
    SendMessageW(control.Window(), EM_REPLACESEL, TRUE,
                 reinterpret_cast<LPARAM>(longText.c_str()));
    String got;
    ASSERT_TRUE(control.GetText(got));
    EXPECT_EQ(got.Length(), 510);
    // A saved form value is put back as it was, with the caret after it.
    control.SetText(String(longText.c_str()));
    ASSERT_TRUE(control.GetText(got));
    EXPECT_EQ(got.Length(), 600);
    DWORD start = 0, end = 0;
    SendMessageW(control.Window(), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 600u);
    EXPECT_EQ(end, 600u);
}

TEST_F(Controls, EditAnswersTheIdentityAndPassesItsChangeNotice) {
    HWND parent = Make(0, 0, 200, 200);
    RecordingNode owner;
    NativeControl control;
    ASSERT_TRUE(control.Create(&owner, NativeControl::kEdit, RECT{5, 5, 150, 25}, parent, 9));
    EXPECT_EQ(SendMessageW(control.Window(), WM_USER + 1, 0, 0), NativeControl::kIdentity);
    const WPARAM change = static_cast<WPARAM>(EN_CHANGE) << 16 | 9;
    EXPECT_TRUE(NativeControl::RouteCommand(change, reinterpret_cast<LPARAM>(control.Window())));
    ASSERT_EQ(owner.codes.size(), 1u);
    EXPECT_EQ(owner.codes[0], 25u);
    EXPECT_EQ(owner.characters[0], EN_CHANGE);
    // Another notice, or a window that is not ours, is not taken.
    EXPECT_FALSE(NativeControl::RouteCommand(9, reinterpret_cast<LPARAM>(control.Window())));
    EXPECT_FALSE(NativeControl::RouteCommand(change, reinterpret_cast<LPARAM>(parent)));
}

TEST_F(Controls, KeysInTheEditReachTheOwner) {
    HWND parent = Make(0, 0, 200, 200);
    RecordingNode owner;
    NativeControl control;
    ASSERT_TRUE(control.Create(&owner, NativeControl::kEdit, RECT{5, 5, 150, 25}, parent, 9));
    SendMessageW(control.Window(), WM_KEYDOWN, VK_NEXT, 0);
    SendMessageW(control.Window(), WM_KEYDOWN, VK_LEFT, 0);  // empty field: caret at 0
    EXPECT_EQ(owner.codes, (std::vector<uint32_t>{11, 12}));
}

TEST_F(Controls, HidingMovesAwayKeepingTheSize) {
    HWND parent = Make(0, 0, 200, 200);
    NativeControl control;
    ASSERT_TRUE(control.Create(nullptr, NativeControl::kStatic, RECT{5, 5, 55, 25}, parent, 3));
    control.Show(false);
    RECT r{};
    GetWindowRect(control.Window(), &r);
    POINT origin{0, 0};
    ClientToScreen(parent, &origin);
    EXPECT_EQ(r.left - origin.x, -1000);
    EXPECT_EQ(r.right - r.left, 50);
    EXPECT_FALSE(IsWindowEnabled(control.Window()));
    control.Show(true);
    GetWindowRect(control.Window(), &r);
    EXPECT_EQ(r.left - origin.x, 5);
    control.Release();
    EXPECT_EQ(control.Window(), nullptr);
}

TEST(Orientations, NextFollowsTheDisplayOrder) {
    EXPECT_EQ(Orientation::NextOrientation(0), 2);
    EXPECT_EQ(Orientation::NextOrientation(2), 3);
    EXPECT_EQ(Orientation::NextOrientation(3), 1);
    EXPECT_EQ(Orientation::NextOrientation(1), 0);
    EXPECT_EQ(Orientation::NextOrientation(255), 2);
}

class Rotation : public WindowTest {
protected:
    Rotation() : WindowTest("clock = virtual\nrotate = 1\nos = 4.21\n") {}
};

TEST_F(Rotation, RotatingTurnsTheScreenAndResetsTheSettingsIndex) {
    ReaderSettings settings;
    settings.orientation = 5;
    const int before = GetScreenOrientation();
    ASSERT_GE(before, 0);
    ASSERT_TRUE(Orientation::RotateToNextOrientation(&settings));
    EXPECT_EQ(GetScreenOrientation(), Orientation::NextOrientation(before));
    EXPECT_EQ(settings.orientation, 0u);
    EXPECT_TRUE(Orientation::SetDisplayOrientation(0, nullptr));
    EXPECT_FALSE(Orientation::SetDisplayOrientation(4, &settings));
}

class FixedScreen : public WindowTest {
protected:
    FixedScreen() : WindowTest("clock = virtual\nrotate = 0\n") {}
};

TEST_F(FixedScreen, ScreenThatCannotTurnKeepsTheSettings) {
    ReaderSettings settings;
    settings.orientation = 5;
    EXPECT_FALSE(Orientation::RotateToNextOrientation(&settings));
    EXPECT_EQ(settings.orientation, 5u);
}

}  // namespace
}  // namespace fvt::test
