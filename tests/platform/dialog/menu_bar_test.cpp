// Pop-up menus on screen, the soft-key bars, the driver's menu and answer verbs, and the shell's
// pen-driven pieces (bubbles, input panel keys).
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/dialog/dialog_fixture.h"
#include "platform/menu/menu.h"
#include "platform/menu/menu_bar.h"
#include "platform/shell/shell.h"
#include "platform/window/keys.h"
#include "platform/window/window_layer.h"
#include "support/platform/driver_script.h"

namespace fvt::win {
void SetIdleHook(std::function<bool()> hook);
}

namespace fvt::test {
namespace {

using PopupMenus = DialogTest;
using MenuBars = DialogTest;
using ShellPen = DialogTest;

// What SHCreateMenuBar takes to make the bar of menu resource `menu` for `owner`.
SHMENUBARINFO BarInfo(HWND owner, UINT menu, DWORD flags = 0) {
    SHMENUBARINFO info{};
    info.cbSize = sizeof info;
    info.hwndParent = owner;
    info.dwFlags = flags;
    info.nToolBarId = menu;
    return info;
}

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

// A menu at the right edge of the screen: its sub-menu has no room on the right and opens on
// the left of it, beside its item; a label wider than the screen is cut, not the menu.
TEST_F(PopupMenus, ASubMenuOpensBesideItsParentAndEveryLevelStaysOnTheScreen) {
    SetAnswersFromUser(true);
    HWND owner = Make(0, 26, 240, 268);
    HMENU menu = ThreeItems();
    HMENU wide = CreatePopupMenu();
    AppendMenuW(wide, MF_STRING, 52000,
                u"A label far too long for the narrow screen of this small device at all");
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(wide), u"Display");
    RECT root{}, sub{}, widest{};
    QueueAnswer(Answer{-1, {}, [&](HWND hwnd) {
                           GetWindowRect(hwnd, &root);
                           Key(VK_UP);     // Display
                           Key(VK_UP);     // Navigate
                           Key(VK_RIGHT);  // opens it
                       }});
    QueueAnswer(Answer{-1, {}, [&](HWND hwnd) {
                           GetWindowRect(hwnd, &sub);
                           Key(VK_LEFT);  // back to the root, still on Navigate
                           Key(VK_DOWN);  // Display
                           Key(VK_RETURN);
                       }});
    QueueAnswer(Answer{-1, {}, [&](HWND hwnd) {
                           GetWindowRect(hwnd, &widest);
                           Key(VK_ESCAPE);  // one level
                           Key(VK_UP);      // Navigate
                           Key(VK_UP);      // Lookup: the grey Copy is skipped
                           Key(VK_RETURN);
                       }});
    EXPECT_EQ(TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTALIGN, 240, 150, owner, nullptr),
              50045);
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    for (const RECT& r : {root, sub, widest}) {
        EXPECT_GE(r.left, 0);
        EXPECT_GE(r.top, 0);
        EXPECT_LE(r.right, w);
        EXPECT_LE(r.bottom, h);
        EXPECT_GT(r.right - r.left, 0);
    }
    EXPECT_EQ(root.right, w);
    // On the left of the root menu, overlapping its edge at most by its border.
    EXPECT_LT(sub.left, root.left);
    EXPECT_LE(sub.right, root.left + 2);
    // Level with the item that opened it (the second row from the end, below the first two).
    EXPECT_GT(sub.top, root.top);
    EXPECT_EQ(widest.right - widest.left, w);
    SetAnswersFromUser(false);
    DestroyMenu(menu);
}

// Keys a person types while the menu waits for them come through the display's turn inside the
// wait; they are the menu's too.
TEST_F(PopupMenus, KeysThatComeWhileTheMenuWaitsAreTheMenus) {
    SetAnswersFromUser(true);
    HWND owner = Make(0, 26, 240, 268);
    HMENU menu = ThreeItems();
    int turns = 0;
    fvt::win::SetIdleHook([&] {
        ++turns;
        if (turns == 2) {
            Key(VK_DOWN);
            Key(VK_RETURN);
        } else if (turns == 200) {
            Tap(1, 300);  // a tap outside ends a menu that never took its keys
        }
        return true;
    });
    const UINT chosen = static_cast<UINT>(TrackPopupMenuEx(menu, TPM_RETURNCMD, 20, 60, owner, nullptr));
    fvt::win::SetIdleHook(nullptr);
    EXPECT_EQ(chosen, 50045u);
    SetAnswersFromUser(false);
    DestroyMenu(menu);
}

TEST_F(MenuBars, TheReaderBarHasItsButtonsAndTheirMenus) {
    HWND owner = Make(0, 26, 240, 268);
    SHMENUBARINFO info = BarInfo(owner, 103);
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
    SHMENUBARINFO info = BarInfo(owner, 103);
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
    SHMENUBARINFO info = BarInfo(owner, 4321);
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
        SHMENUBARINFO info = BarInfo(owner_, menu);
        EXPECT_TRUE(SHCreateMenuBar(&info));
        return info.hwndMB;
    }
    HWND owner_ = nullptr;
};

// With a soft-key bar shown, no menu runs over it, however low or tall; and a sub-menu with no
// room on either side of its parent opens above it rather than cut its own labels. The layout
// check finds nothing wrong with either.
TEST_F(BarOwner, MenusStayAboveTheBarAndASubMenuKeepsItsLabelsWhole) {
    HWND bar = MakeBar(214);
    RECT barRect{};
    GetWindowRect(bar, &barRect);
    SetAnswersFromUser(true);
    HMENU menu = CreatePopupMenu();
    for (int i = 0; i < 6; ++i) AppendMenuW(menu, MF_STRING, 50000 + i, u"An item of the menu");
    HMENU tall = CreatePopupMenu();
    for (int i = 0; i < 9; ++i) AppendMenuW(tall, MF_STRING, 51000 + i, u"Row");
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(tall), u"Tall");
    HMENU wide = CreatePopupMenu();
    AppendMenuW(wide, MF_STRING, 52000, u"Modifier les listes de lecture\u2026");
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(wide), u"Liste de lecture");
    RECT root{}, tallRect{}, wideRect{};
    std::vector<std::string> tallProblems = {"unread"}, wideProblems = {"unread"};
    QueueAnswer(Answer{-1, {}, [&](HWND hwnd) {
                           GetWindowRect(hwnd, &root);
                           Key(VK_UP);     // Liste de lecture
                           Key(VK_UP);     // Tall
                           Key(VK_RIGHT);  // opens it
                       }});
    QueueAnswer(Answer{-1, {}, [&](HWND hwnd) {
                           GetWindowRect(hwnd, &tallRect);
                           tallProblems = PopupMenuLayoutProblems(hwnd);
                           Key(VK_LEFT);
                           Key(VK_DOWN);  // Liste de lecture
                           Key(VK_RIGHT);
                       }});
    QueueAnswer(Answer{-1, {}, [&](HWND hwnd) {
                           GetWindowRect(hwnd, &wideRect);
                           wideProblems = PopupMenuLayoutProblems(hwnd);
                           Key(VK_ESCAPE);
                           Key(VK_ESCAPE);
                       }});
    EXPECT_EQ(TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTALIGN | TPM_BOTTOMALIGN, 240,
                               barRect.top, owner_, nullptr),
              0);
    SetAnswersFromUser(false);
    EXPECT_LE(root.bottom, barRect.top);
    EXPECT_LE(tallRect.bottom, barRect.top);
    EXPECT_LE(wideRect.bottom, barRect.top);
    EXPECT_TRUE(tallProblems.empty()) << tallProblems.front();
    EXPECT_TRUE(wideProblems.empty()) << wideProblems.front();
    // Above its parent, which it does not cover.
    EXPECT_LE(wideRect.bottom, root.top);
    EXPECT_GE(wideRect.left, 0);
    DestroyMenu(menu);
    DestroyWindow(bar);
}

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

// F1 and F2 are the soft keys as keys too: they press the bar's buttons, the right one opening
// its menu.
TEST_F(BarOwner, TheSoftKeysPressTheBarsButtons) {
    HWND bar = MakeBar(103);
    Watch({WM_COMMAND, WM_INITMENUPOPUP, WM_KEYDOWN, WM_HOTKEY});
    Key(VK_F1);
    RunUntilIdle();
    ASSERT_EQ(Messages(), std::vector<UINT>{WM_COMMAND});
    EXPECT_EQ(LOWORD(Log()[0].wParam), 40167);
    Clear();
    QueueAnswer(Answer{40078, {}, {}});
    Key(VK_F2);
    RunUntilIdle();
    ASSERT_EQ(Messages(), (std::vector<UINT>{WM_INITMENUPOPUP, WM_COMMAND}));
    EXPECT_EQ(LOWORD(Log()[1].wParam), 40078);
    DestroyWindow(bar);
}

// While a menu tracks or a box waits, the keys are theirs: the owner's Back key (Escape,
// overridden by its bar) does not reach the window behind them.
TEST_F(BarOwner, AMenuOrABoxInFrontTakesTheKeysTheWindowBehindOverrides) {
    HWND bar = MakeBar(103);
    SendMessageW(bar, SHCMBM_OVERRIDEKEY, VK_ESCAPE,
                 MAKELPARAM(SHMBOF_NODEFAULT | SHMBOF_NOTIFY, SHMBOF_NODEFAULT | SHMBOF_NOTIFY));
    Watch({WM_HOTKEY, WM_KEYDOWN, WM_COMMAND});
    HMENU menu = ThreeItems();
    QueueAnswer(Answer{-1, {}, [](HWND) {
                           Key(VK_DOWN);
                           Key(VK_ESCAPE);
                       }});
    EXPECT_EQ(TrackPopupMenuEx(menu, TPM_RETURNCMD, 20, 60, owner_, nullptr), 0);
    RunUntilIdle();
    EXPECT_TRUE(Messages().empty());
    // The soft keys while the menu tracks do not press the bar behind it either.
    QueueAnswer(Answer{-1, {}, [](HWND) {
                           Key(VK_F1);
                           Key(VK_ESCAPE);
                       }});
    EXPECT_EQ(TrackPopupMenuEx(menu, TPM_RETURNCMD, 20, 60, owner_, nullptr), 0);
    RunUntilIdle();
    EXPECT_TRUE(Messages().empty());
    QueueAnswer(Answer{-1, {}, [](HWND) { Key(VK_ESCAPE); }});
    EXPECT_EQ(MessageBoxW(owner_, u"There is no annotation", u"", MB_OKCANCEL), IDCANCEL);
    RunUntilIdle();
    EXPECT_TRUE(Messages().empty());
    // With nothing in front the override works as before.
    Key(VK_ESCAPE);
    RunUntilIdle();
    EXPECT_EQ(Messages(), (std::vector<UINT>{WM_HOTKEY, WM_HOTKEY}));
    DestroyMenu(menu);
    DestroyWindow(bar);
}

// Keys a person typed before the menu or box was up (still queued when it opened) are taken
// from the queue by it: it is in front when they are read.
TEST_F(BarOwner, KeysQueuedBeforeAMenuOrBoxOpensAreItsOwn) {
    HWND bar = MakeBar(103);
    SendMessageW(bar, SHCMBM_OVERRIDEKEY, VK_ESCAPE,
                 MAKELPARAM(SHMBOF_NODEFAULT | SHMBOF_NOTIFY, SHMBOF_NODEFAULT | SHMBOF_NOTIFY));
    SetFocus(owner_);
    Watch({WM_HOTKEY, WM_KEYDOWN, WM_COMMAND});
    HMENU menu = ThreeItems();
    Key(VK_DOWN);
    Key(VK_RETURN);
    EXPECT_EQ(TrackPopupMenuEx(menu, TPM_RETURNCMD, 20, 60, owner_, nullptr), 50045);
    Key(VK_ESCAPE);  // the Back key the owner's bar would take
    EXPECT_EQ(MessageBoxW(owner_, u"There is no annotation", u"", MB_OKCANCEL), IDCANCEL);
    RunUntilIdle();
    // Only the release of Escape may come after the box has gone; no press reached the owner.
    for (auto& r : Log())
        EXPECT_TRUE(r.message == WM_HOTKEY && (LOWORD(r.lParam) & MOD_KEYUP)) << r.message;
    DestroyMenu(menu);
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
    // A second, hidden bar of the same owner turns too.
    SHMENUBARINFO info = BarInfo(owner_, 214, SHCMBF_HIDDEN);
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
