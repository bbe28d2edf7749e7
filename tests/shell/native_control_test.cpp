// Native child controls in a view (the edit field's key table, identity, text limit, hiding) and
// turning the screen.
#include "shell/native_control.h"

#include <gtest/gtest.h>

#include "core/platform_helpers.h"
#include "graphics/core/node.h"
#include "platform/controls/controls.h"
#include "platform/window/keys.h"
#include "platform/gdi.h"
#include "reader/font_list.h"
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

TEST_F(Controls, FontTakesTheListsFaceAndReplacesTheOldOne) {
    HWND parent = Make(0, 0, 200, 200);
    FontList fonts;
    ASSERT_EQ(fonts.Register(String(u"DejaVu Sans"), nullptr, 0), 8u);
    NativeControl control;
    EXPECT_FALSE(control.SetFont(-12));  // no window yet
    ASSERT_TRUE(control.Create(nullptr, NativeControl::kEdit, RECT{0, 0, 120, 20}, parent, 5));
    control.SetFace(&fonts, 8);
    ASSERT_TRUE(control.SetFont(-12));
    HFONT first = control.Font();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(control.Window(), WM_GETFONT, 0, 0)), first);
    LOGFONTW lf{};
    ASSERT_GT(GetObjectW(first, sizeof(lf), &lf), 0);
    // Four larger than the text's 12-pixel characters.
    EXPECT_EQ(lf.lfHeight, -16);
    EXPECT_EQ(std::u16string(lf.lfFaceName), u"DejaVu Sans");
    ASSERT_TRUE(control.SetFont(-20));
    EXPECT_NE(control.Font(), first);
    EXPECT_EQ(GetObjectW(first, sizeof(lf), &lf), 0);  // deleted
    control.Release();
    EXPECT_EQ(control.Font(), nullptr);
}

TEST(FontRegistry, RegisteredFacesStartAfterTheReservedEntries) {
    FontList fonts;
    Text bitmap;
    ASSERT_TRUE(bitmap.FromWide(u"\\fonts\\a.pdb"));
    ASSERT_TRUE(fonts.SetEntry(4, 1, bitmap));
    const uint32_t index = fonts.Register(String(u"Tahoma"), nullptr, 0);
    EXPECT_EQ(index, FontList::kFirstRegistered);
    // The settings writing entries 3 and 4 again leave it alone, and it is found again.
    Text system;
    ASSERT_TRUE(system.FromWide(u"Arial"));
    ASSERT_TRUE(fonts.SetEntry(3, 0, system));
    EXPECT_EQ(fonts.Register(String(u"Tahoma"), nullptr, 0), index);
    EXPECT_EQ(fonts.Count(), index + 1);
    EXPECT_EQ(fonts.Register(String(u"Courier"), nullptr, 0), index + 1);
}

TEST(FontRegistry, DataIsReplacedOnlyByAWholeRecord) {
    FontList fonts;
    uint8_t data[40];
    for (int i = 0; i < 40; ++i) data[i] = static_cast<uint8_t>(i + 1);
    const uint32_t index = fonts.Register(String(u"Face"), data, 40);
    ASSERT_NE(index, 0u);
    EXPECT_EQ(fonts.At(index)->data[31], 32);
    uint8_t other[32] = {};
    other[0] = 99;
    // Too short: the record stays.
    EXPECT_EQ(fonts.Register(String(u"Face"), other, 31), index);
    EXPECT_EQ(fonts.At(index)->data[0], 1);
    EXPECT_EQ(fonts.Register(String(u"Face"), other, 32), index);
    EXPECT_EQ(fonts.At(index)->data[0], 99);
    EXPECT_EQ(fonts.At(index)->data[31], 0);
    // A new face with short data gets zeros, not a read past the data.
    const uint32_t second = fonts.Register(String(u"Other"), data, 4);
    EXPECT_EQ(fonts.At(second)->data[0], 0);
}

TEST(FontRegistry, AnEmptyNameOrAFullListGivesNoIndex) {
    FontList fonts;
    EXPECT_EQ(fonts.Register(String(), nullptr, 0), 0u);
    uint32_t last = 0;
    for (int i = 0; i < 300; ++i) {
        String name(u"Face");
        ASSERT_TRUE(name.AppendUnsigned(static_cast<uint32_t>(i), 10));
        const uint32_t index = fonts.Register(name, nullptr, 0);
        if (index == 0) break;
        last = index;
    }
    EXPECT_EQ(last, 255u);
    EXPECT_EQ(fonts.Count(), FontList::kMaxEntries);
    // A known face is still found in a full list.
    EXPECT_EQ(fonts.Register(String(u"Face0"), nullptr, 0), 8u);
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
