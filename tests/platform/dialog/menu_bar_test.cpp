// Pop-up menus on screen, the soft-key bars, the driver's menu and answer verbs, and the shell's
// pen-driven pieces (bubbles, input panel keys).
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "platform/dialog/dialog_fixture.h"
#include "platform/menu/menu_bar.h"
#include "platform/shell/shell.h"
#include "platform/window/keys.h"
#include "support/platform/driver_script.h"

namespace fvt::test {
namespace {

using PopupMenus = DialogTest;
using MenuBars = DialogTest;
using ShellPen = DialogTest;

HMENU ThreeItems() {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 50045, u"Lookup");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING | MF_GRAYED, 50049, u"Copy");
    HMENU sub = CreatePopupMenu();
    AppendMenuW(sub, MF_STRING, 51000, u"Chapter 1");
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), u"Navigate");
    return menu;
}

TEST_F(PopupMenus, TheAnswerIsReturnedOnlyWhenTheUserCouldChooseIt) {
    HWND owner = Make(0, 26, 240, 268);
    HMENU menu = ThreeItems();
    QueueAnswer(Answer{50045, {}, {}});
    EXPECT_EQ(TrackPopupMenuEx(menu, TPM_RETURNCMD, 50, 100, owner, nullptr), 50045);
    QueueAnswer(Answer{51000, {}, {}});  // inside a sub-menu
    EXPECT_EQ(TrackPopupMenuEx(menu, TPM_RETURNCMD, 50, 100, owner, nullptr), 51000);
    QueueAnswer(Answer{50049, {}, {}});  // grayed
    EXPECT_EQ(TrackPopupMenuEx(menu, TPM_RETURNCMD, 50, 100, owner, nullptr), 0);
    QueueAnswer(Answer{777, {}, {}});  // not in the menu
    EXPECT_EQ(TrackPopupMenuEx(menu, TPM_RETURNCMD, 50, 100, owner, nullptr), 0);
    EXPECT_EQ(TrackPopupMenuEx(menu, TPM_RETURNCMD, 50, 100, owner, nullptr), 0);  // nothing
    Watch({WM_COMMAND});
    RunUntilIdle();
    EXPECT_TRUE(Log().empty());  // TPM_RETURNCMD posts nothing
    EXPECT_FALSE(TrackPopupMenuEx(reinterpret_cast<HMENU>(12345), TPM_RETURNCMD, 0, 0, owner, nullptr));
    DestroyMenu(menu);
}

TEST_F(PopupMenus, WithoutReturnCmdTheChoiceIsPostedToTheOwner) {
    HWND owner = Make(0, 26, 240, 268);
    HMENU menu = ThreeItems();
    Watch({WM_COMMAND});
    QueueAnswer(Answer{50045, {}, {}});
    EXPECT_TRUE(TrackPopupMenuEx(menu, 0, 10, 10, owner, nullptr));
    RunUntilIdle();
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(LOWORD(Log()[0].wParam), 50045);
    EXPECT_EQ(Log()[0].lParam, 0);
    DestroyMenu(menu);
}

TEST_F(PopupMenus, ThePenChoosesWhenTheUserAnswers) {
    SetAnswersFromUser(true);
    HWND owner = Make(0, 26, 240, 268);
    HMENU menu = ThreeItems();
    // The menu opens at (20, 60); its first item is 18 pixels high below a 2-pixel edge.
    QueueAnswer(Answer{-1, {}, [](HWND) { Tap(40, 60 + 2 + 9); }});
    // A negative answer runs its action and leaves the choice to the pen.
    EXPECT_EQ(TrackPopupMenuEx(menu, TPM_RETURNCMD, 20, 60, owner, nullptr), 50045);
    SetAnswersFromUser(false);
    DestroyMenu(menu);
}

TEST_F(PopupMenus, TheDirectionKeysSkipWhatCannotBeChosenAndEnterOpensAndChooses) {
    SetAnswersFromUser(true);
    HWND owner = Make(0, 26, 240, 268);
    HMENU menu = ThreeItems();
    QueueAnswer(Answer{-1, {}, [](HWND) {
                           Key(VK_DOWN);    // Lookup
                           Key(VK_DOWN);    // past the separator and the grayed Copy: Navigate
                           Key(VK_RETURN);  // opens it, on its first item
                           Key(VK_RETURN);
                       }});
    EXPECT_EQ(TrackPopupMenuEx(menu, TPM_RETURNCMD, 20, 60, owner, nullptr), 51000);
    QueueAnswer(Answer{-1, {}, [](HWND) {
                           Key(VK_UP);  // from nothing: the last item that can be chosen
                           Key(VK_ESCAPE);
                       }});
    EXPECT_EQ(TrackPopupMenuEx(menu, TPM_RETURNCMD, 20, 60, owner, nullptr), 0);
    SetAnswersFromUser(false);
    DestroyMenu(menu);
}

TEST_F(MenuBars, TheReaderBarHasItsButtonsAndTheirMenus) {
    HWND owner = Make(0, 26, 240, 268);
    SHMENUBARINFO info{};
    info.cbSize = sizeof info;
    info.hwndParent = owner;
    info.nToolBarId = 103;
    ASSERT_TRUE(SHCreateMenuBar(&info));
    HWND bar = info.hwndMB;
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0), 2);
    TBBUTTONINFOW button{};
    button.cbSize = sizeof button;
    button.dwMask = TBIF_LPARAM;
    ASSERT_GE(SendMessageW(bar, TB_GETBUTTONINFOW, 40176, reinterpret_cast<LPARAM>(&button)), 0);
    auto menu = reinterpret_cast<HMENU>(button.lParam);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuItemCount(menu), 11);
    EXPECT_NE(GetSubMenu(menu, 3), nullptr);  // Navigate
    EXPECT_NE(GetSubMenu(menu, 8), nullptr);  // Display
    EXPECT_NE(GetSubMenu(menu, 9), nullptr);  // Text size
    std::u16string text(32, u'\0');
    button.dwMask = TBIF_TEXT;
    button.pszText = text.data();
    button.cchText = 32;
    SendMessageW(bar, TB_GETBUTTONINFOW, 40167, reinterpret_cast<LPARAM>(&button));
    EXPECT_EQ(std::u16string(text.c_str()), u"Back");
    // Texts and states change as the program asks.
    button.dwMask = TBIF_TEXT;
    std::u16string library = u"Library";
    button.pszText = library.data();
    EXPECT_TRUE(SendMessageW(bar, TB_SETBUTTONINFOW, 40167, reinterpret_cast<LPARAM>(&button)));
    EXPECT_TRUE(SendMessageW(bar, TB_ISBUTTONENABLED, 40167, 0));
    SendMessageW(bar, TB_ENABLEBUTTON, 40167, FALSE);
    EXPECT_FALSE(SendMessageW(bar, TB_ISBUTTONENABLED, 40167, 0));
    EXPECT_EQ(SendMessageW(bar, TB_GETBUTTONINFOW, 99, reinterpret_cast<LPARAM>(&button)), -1);
    DestroyWindow(bar);
}

// Setting a button to the text or state it has leaves the bar as painted; a change repaints it.
TEST_F(MenuBars, OnlyAChangedButtonRepaintsTheBar) {
    HWND owner = Make(0, 26, 240, 268);
    SHMENUBARINFO info{};
    info.cbSize = sizeof info;
    info.hwndParent = owner;
    info.nToolBarId = 103;
    ASSERT_TRUE(SHCreateMenuBar(&info));
    HWND bar = info.hwndMB;
    ASSERT_NE(bar, nullptr);
    RunUntilIdle();
    RECT dirty{};
    ASSERT_FALSE(GetUpdateRect(bar, &dirty, FALSE));
    std::u16string back = u"Back", library = u"Library";
    TBBUTTONINFOW button{};
    button.cbSize = sizeof button;
    button.dwMask = TBIF_TEXT | TBIF_STATE;
    button.fsState = TBSTATE_ENABLED;
    button.pszText = back.data();
    EXPECT_TRUE(SendMessageW(bar, TB_SETBUTTONINFOW, 40167, reinterpret_cast<LPARAM>(&button)));
    EXPECT_TRUE(SendMessageW(bar, TB_ENABLEBUTTON, 40167, TRUE));
    EXPECT_FALSE(GetUpdateRect(bar, &dirty, FALSE));
    button.pszText = library.data();
    EXPECT_TRUE(SendMessageW(bar, TB_SETBUTTONINFOW, 40167, reinterpret_cast<LPARAM>(&button)));
    EXPECT_TRUE(GetUpdateRect(bar, &dirty, FALSE));
    RunUntilIdle();
    EXPECT_TRUE(SendMessageW(bar, TB_ENABLEBUTTON, 40167, FALSE));
    EXPECT_TRUE(GetUpdateRect(bar, &dirty, FALSE));
    RunUntilIdle();
    button.dwMask = TBIF_STATE;
    button.fsState = TBSTATE_ENABLED;
    EXPECT_TRUE(SendMessageW(bar, TB_SETBUTTONINFOW, 40167, reinterpret_cast<LPARAM>(&button)));
    EXPECT_TRUE(GetUpdateRect(bar, &dirty, FALSE));
    DestroyWindow(bar);
}

TEST_F(MenuBars, AMissingMenuMakesNoBar) {
    HWND owner = Make(0, 26, 240, 268);
    SHMENUBARINFO info{};
    info.cbSize = sizeof info;
    info.hwndParent = owner;
    info.nToolBarId = 4321;
    EXPECT_FALSE(SHCreateMenuBar(&info));
    EXPECT_EQ(info.hwndMB, nullptr);
    info.dwFlags = SHCMBF_EMPTYBAR;
    EXPECT_TRUE(SHCreateMenuBar(&info));
    EXPECT_EQ(SendMessageW(info.hwndMB, TB_BUTTONCOUNT, 0, 0), 0);
    DestroyWindow(info.hwndMB);
}

class BarOwner : public MenuBars {
protected:
    explicit BarOwner(const std::string& profile = "clock = virtual\n") : MenuBars(profile) {}
    HWND MakeBar(UINT menu) {
        owner_ = Make(0, 26, 240, 268);
        SetActiveWindow(owner_);
        SHMENUBARINFO info{};
        info.cbSize = sizeof info;
        info.hwndParent = owner_;
        info.nToolBarId = menu;
        EXPECT_TRUE(SHCreateMenuBar(&info));
        return info.hwndMB;
    }
    HWND owner_ = nullptr;
};

TEST_F(BarOwner, ASoftKeyNotOverriddenPressesItsButton) {
    HWND bar = MakeBar(214);
    Watch({WM_COMMAND, WM_KEYDOWN, WM_HOTKEY});
    SoftKey(1);
    RunUntilIdle();
    ASSERT_EQ(Messages(), std::vector<UINT>{WM_COMMAND});
    EXPECT_EQ(LOWORD(Log()[0].wParam), 40177);
    // Overridden with notify, it reaches the owner as two hot keys instead.
    SendMessageW(bar, SHCMBM_OVERRIDEKEY, VK_F1, MAKELPARAM(SHMBOF_NODEFAULT | SHMBOF_NOTIFY, SHMBOF_NODEFAULT | SHMBOF_NOTIFY));
    Clear();
    SoftKey(1);
    RunUntilIdle();
    EXPECT_EQ(Messages(), (std::vector<UINT>{WM_HOTKEY, WM_HOTKEY}));
    DestroyWindow(bar);
}

TEST_F(BarOwner, ABarGoesWithItsOwner) {
    HWND bar = MakeBar(214);
    EXPECT_EQ(ActiveMenuBar(), bar);
    DestroyWindow(owner_);
    EXPECT_EQ(ActiveMenuBar(), nullptr);  // at once, though it closes a moment later
    RunUntilIdle();
    EXPECT_FALSE(IsWindow(bar));
    EXPECT_FALSE(PressMenuBarButton(0));
}

TEST_F(BarOwner, APopupButtonPreparesItsMenuThenSendsTheChoice) {
    HWND bar = MakeBar(103);
    Watch({WM_COMMAND, WM_INITMENUPOPUP});
    QueueAnswer(Answer{40078, {}, {}});
    SoftKey(2);
    RunUntilIdle();
    auto m = Messages();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0], WM_INITMENUPOPUP);
    EXPECT_EQ(m[1], WM_COMMAND);
    EXPECT_EQ(LOWORD(Log()[1].wParam), 40078);
    EXPECT_EQ(Log()[1].lParam, 0);
    DestroyWindow(bar);
}

TEST_F(BarOwner, TheDriverChoosesFromTheBarAndAnswersBoxes) {
    HWND bar = MakeBar(103);
    Watch({WM_COMMAND});
    std::istringstream script("menu 40084\nmenu 40167\nmenu 99999\n");
    EXPECT_EQ(RunDriverScript(script), 3);  // the third item is on no button
    ASSERT_EQ(Log().size(), 2u);
    EXPECT_EQ(LOWORD(Log()[0].wParam), 40084);  // in the Display sub-menu
    EXPECT_EQ(LOWORD(Log()[1].wParam), 40167);
    std::istringstream answers("answer 7\nanswer-file \\a.txt\n");
    EXPECT_EQ(RunDriverScript(answers), 0);
    EXPECT_EQ(MessageBoxW(nullptr, u"?", u"", MB_YESNO), IDNO);
    WCHAR file[64] = {};
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFile = file;
    ofn.nMaxFile = 64;
    EXPECT_TRUE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(std::u16string(file), u"\\a.txt");
    DestroyWindow(bar);
}

class TurningBars : public BarOwner {
protected:
    TurningBars() : BarOwner("clock = virtual\nrotate = 1\n") {}
};

// A bar keeps to the bottom strip whichever way the screen turns, and shows its buttons there.
TEST_F(TurningBars, ABarFollowsTheScreenWhenItTurns) {
    HWND bar = MakeBar(103);
    SHMENUBARINFO info{};  // a second, hidden bar of the same owner turns too
    info.cbSize = sizeof info;
    info.hwndParent = owner_;
    info.dwFlags = SHCMBF_HIDDEN;
    info.nToolBarId = 214;
    ASSERT_TRUE(SHCreateMenuBar(&info));
    const int barH = MenuBarHeight();
    auto expectAtBottom = [&](HWND h, int w, int ht) {
        RECT r;
        GetWindowRect(h, &r);
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ(r.top, ht - barH);
        EXPECT_EQ(r.right, w);
        EXPECT_EQ(r.bottom, ht);
    };
    // The bar's blue ground under the screen's bottom row, at both ends.
    auto barShown = [&](int w, int ht) {
        return ScreenPixel(2, ht - 2) == 0x002060u && ScreenPixel(w - 3, ht - 2) == 0x002060u;
    };
    ASSERT_TRUE(RotateScreen(90));
    RunUntilIdle();
    expectAtBottom(bar, 320, 240);
    expectAtBottom(info.hwndMB, 320, 240);
    EXPECT_FALSE(IsWindowVisible(info.hwndMB));
    EXPECT_TRUE(barShown(320, 240));
    ASSERT_TRUE(RotateScreen(0));
    RunUntilIdle();
    expectAtBottom(bar, 240, 320);
    expectAtBottom(info.hwndMB, 240, 320);
    EXPECT_TRUE(barShown(240, 320));
    DestroyWindow(info.hwndMB);
    DestroyWindow(bar);
}

TEST_F(ShellPen, ATapOnABubbleReachesItsSink) {
    HWND sink = Make(0, 26, 240, 268);
    SHNOTIFICATIONDATA data{};
    data.cbStruct = sizeof data;
    data.dwID = 7;
    data.hwndSink = sink;
    data.pszHTML = u"<b>Card</b> inserted";
    data.pszTitle = u"Folivant";
    data.lParam = 99;
    ASSERT_EQ(SHNotificationAdd(&data), 0);
    RunUntilIdle();
    int notices = 0;
    On(sink, [&](HWND, UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) -> LRESULT {
        handled = msg == WM_NOTIFY;
        if (!handled) return 0;
        auto* n = reinterpret_cast<NMSHN*>(lParam);
        EXPECT_EQ(wParam, 7u);
        EXPECT_EQ(n->idFrom, 7u);
        EXPECT_EQ(n->code, SHNN_DISMISS);
        EXPECT_EQ(n->lParam, 99);
        ++notices;
        return 0;
    });
    Tap(120, 26 + 20);  // the bubble lies across the top of the work area
    RunUntilIdle();
    EXPECT_EQ(notices, 1);
    // The bubble is gone: a second tap reaches the window below.
    Clear();
    Watch({WM_LBUTTONUP});
    Tap(120, 26 + 20);
    RunUntilIdle();
    EXPECT_EQ(Log().size(), 1u);
}

TEST_F(ShellPen, AKeyOfTheInputPanelTypesItsCharacter) {
    HWND parent = Make(0, 26, 240, 268);
    HWND edit = Control(parent, WC_EDIT, 0, 1, 10, 10, 200, 20);
    SetFocus(edit);
    ASSERT_TRUE(SipShowIM(SIPF_ON));
    RunUntilIdle();
    SIPINFO info{};
    info.cbSize = sizeof info;
    SipGetInfo(&info);
    RECT sip = info.rcSipRect;
    int keyW = (sip.right - sip.left) / 10, keyH = (sip.bottom - sip.top) / 4;
    Tap(sip.left + keyW / 2, sip.top + keyH + keyH / 2);       // 'q'
    Tap(sip.left + 2 * keyW + keyW / 2, sip.top + keyH / 2);   // '3'
    Tap(sip.left + 9 * keyW + keyW / 2, sip.top + 3 * keyH + keyH / 2);  // backspace
    Tap(sip.left + 9 * keyW + keyW / 2, sip.top + 2 * keyH + keyH / 2);  // '-'
    RunUntilIdle();
    EXPECT_EQ(TextOf(edit), u"q-");
    SipShowIM(SIPF_OFF);
}

}  // namespace
}  // namespace fvt::test
