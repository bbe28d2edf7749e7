// The simple controls: their messages, their notices and their edges.
#include <gtest/gtest.h>

#include <string>

#include "platform/shell/shell.h"
#include "platform/window/keys.h"
#include "platform/dialog/dialog_fixture.h"

namespace fvt::test {
namespace {

using Buttons = DialogTest;
using Edits = DialogTest;
using Lists = DialogTest;
using UpDowns = DialogTest;
using Ranges = DialogTest;
using Statics = DialogTest;

TEST_F(Buttons, TapOnACheckBoxTogglesItAndReportsAClick) {
    HWND parent = Make(0, 26, 240, 268);
    HWND box = Control(parent, WC_BUTTON, BS_AUTOCHECKBOX, 1037, 10, 10, 100, 20, u"Check");
    Watch({WM_COMMAND});
    Tap(20, 26 + 15);
    RunUntilIdle();
    EXPECT_EQ(SendMessageW(box, BM_GETSTATE, 0, 0) & 1, 1);
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), static_cast<LRESULT>(BST_CHECKED));
    ASSERT_EQ(Commands().size(), 1u);
    EXPECT_EQ(Commands()[0], std::make_pair(1037, static_cast<int>(BN_CLICKED)));
    EXPECT_EQ(static_cast<HWND>(reinterpret_cast<void*>(Log()[0].lParam)), box);
    Tap(20, 26 + 15);
    RunUntilIdle();
    EXPECT_EQ(SendMessageW(box, BM_GETSTATE, 0, 0) & 1, 0);
}

TEST_F(Buttons, ThePenLeavingThePushButtonCancelsTheClick) {
    HWND parent = Make(0, 26, 240, 268);
    Control(parent, WC_BUTTON, BS_PUSHBUTTON, 40169, 10, 10, 100, 20, u"Go");
    Watch({WM_COMMAND});
    PenDown(20, 26 + 15);
    PenUp(200, 200);
    RunUntilIdle();
    EXPECT_TRUE(Commands().empty());
}

TEST_F(Buttons, AProgramSetCheckSendsNoNoticeAndJunkStatesAreRefused) {
    HWND parent = Make(0, 26, 240, 268);
    HWND box = Control(parent, WC_BUTTON, BS_AUTOCHECKBOX, 5);
    Watch({WM_COMMAND});
    SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_TRUE(Commands().empty());
    SendMessageW(box, BM_SETCHECK, 77, 0);
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), static_cast<LRESULT>(BST_UNCHECKED));
    // A push button has no check at all.
    HWND push = Control(parent, WC_BUTTON, BS_PUSHBUTTON, 6, 10, 40);
    SendMessageW(push, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(SendMessageW(push, BM_GETSTATE, 0, 0) & 1, 0);
}

// The Enter or Space that went down elsewhere (on the list that opened the page) and comes up on
// the box does not tick it; a whole press on it does.
TEST_F(Buttons, AKeyActsOnlyWhenItWentDownOnTheButton) {
    HWND parent = Make(0, 26, 240, 268);
    HWND list = Control(parent, WC_BUTTON, BS_PUSHBUTTON, 4, 10, 40, 100, 20, u"Open");
    HWND box = Control(parent, WC_BUTTON, BS_AUTOCHECKBOX, 1101, 10, 10, 100, 20, u"Text files");
    SetFocus(list);
    KeyDown(VK_SPACE);
    RunUntilIdle();
    SetFocus(box);
    KeyUp(VK_SPACE);
    RunUntilIdle();
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), static_cast<LRESULT>(BST_UNCHECKED));
    Key(VK_SPACE);
    RunUntilIdle();
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), static_cast<LRESULT>(BST_CHECKED));
}

// Ctrl+V pastes what the clipboard holds, Ctrl+C copies the selection, Ctrl+X cuts it.
TEST_F(Edits, ControlKeysCopyCutAndPaste) {
    HWND parent = Make(0, 26, 240, 268);
    HWND edit = Control(parent, WC_EDIT, 0, 7, 10, 10, 200, 20, u"ratio 3/2");
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 6, 9);
    Character(3);  // Ctrl+C
    RunUntilIdle();
    EXPECT_EQ(ClipboardText(), u"3/2");
    SendMessageW(edit, EM_SETSEL, 0, 0);
    Character(22);  // Ctrl+V
    RunUntilIdle();
    EXPECT_EQ(TextOf(edit), u"3/2ratio 3/2");
    SendMessageW(edit, EM_SETSEL, 0, 3);
    Character(24);  // Ctrl+X
    RunUntilIdle();
    EXPECT_EQ(TextOf(edit), u"ratio 3/2");
    EXPECT_EQ(ClipboardText(), u"3/2");
}

TEST_F(Edits, PastingPastTheLimitKeepsTheFirstCharacters) {
    HWND parent = Make(0, 26, 240, 268);
    HWND edit = Control(parent, WC_EDIT, WS_BORDER | ES_AUTOHSCROLL, 1069);
    SendMessageW(edit, EM_LIMITTEXT, 510, 0);
    std::u16string long600(600, u'x');
    long600[509] = u'y';
    OpenClipboard(parent);
    EmptyClipboard();
    auto* block = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, 601 * sizeof(WCHAR)));
    std::copy(long600.begin(), long600.end(), block);
    block[600] = 0;
    SetClipboardData(CF_UNICODETEXT, block);
    CloseClipboard();
    Watch({WM_COMMAND});
    SendMessageW(edit, WM_PASTE, 0, 0);
    std::u16string text = TextOf(edit);
    ASSERT_EQ(text.size(), 510u);
    EXPECT_EQ(text.back(), u'y');
    bool change = false, full = false;
    for (auto& c : Commands()) {
        change = change || c.second == EN_CHANGE;
        full = full || c.second == EN_MAXTEXT;
    }
    EXPECT_TRUE(change);
    EXPECT_TRUE(full);
    EXPECT_EQ(EN_CHANGE, 768);
}

TEST_F(Edits, ReplacingTheSelectionCanBeUndone) {
    HWND parent = Make(0, 26, 240, 268);
    HWND edit = Control(parent, WC_EDIT, 0, 7, 10, 10, 100, 20, u"hello world");
    SendMessageW(edit, EM_SETSEL, 6, 11);
    DWORD from = 0, to = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, 6u);
    EXPECT_EQ(to, 11u);
    SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(u"there"));
    EXPECT_EQ(TextOf(edit), u"hello there");
    EXPECT_TRUE(SendMessageW(edit, EM_CANUNDO, 0, 0));
    SendMessageW(edit, EM_UNDO, 0, 0);
    EXPECT_EQ(TextOf(edit), u"hello world");
    // A selection past the end stops at the end; -1 as the start removes it.
    SendMessageW(edit, EM_SETSEL, 3, 500);
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(to, 11u);
    SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(-1), 0);
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, to);
}

TEST_F(Edits, TypedKeysEditAtTheCaretAndReadOnlyFieldsRefuseThem) {
    HWND parent = Make(0, 26, 240, 268);
    HWND edit = Control(parent, WC_EDIT, 0, 7, 10, 10, 100, 20, u"ac");
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 1, 1);
    Character(u'b');
    RunUntilIdle();
    EXPECT_EQ(TextOf(edit), u"abc");
    Key(VK_END);
    Character(u'\b');  // the Back key deletes the character before the caret
    RunUntilIdle();
    EXPECT_EQ(TextOf(edit), u"ab");
    SendMessageW(edit, EM_SETREADONLY, TRUE, 0);
    Character(u'z');
    RunUntilIdle();
    EXPECT_EQ(TextOf(edit), u"ab");
}

TEST_F(Edits, FocusNoticesReachTheParent) {
    HWND parent = Make(0, 26, 240, 268);
    HWND edit = Control(parent, WC_EDIT, 0, 9);
    HWND other = Control(parent, WC_BUTTON, 0, 10, 10, 50);
    Watch({WM_COMMAND});
    SetFocus(edit);
    SetFocus(other);
    auto c = Commands();
    ASSERT_GE(c.size(), 2u);
    EXPECT_EQ(c[0], std::make_pair(9, static_cast<int>(EN_SETFOCUS)));
    EXPECT_EQ(c[1], std::make_pair(9, static_cast<int>(EN_KILLFOCUS)));
}

TEST_F(Lists, InsertAtMinusOneAppendsAndBadIndexesGiveErrors) {
    HWND parent = Make(0, 26, 240, 268);
    HWND list = Control(parent, WC_LISTBOX, LBS_NOTIFY, 1002, 10, 10, 100, 60);
    EXPECT_EQ(SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(-1),
                           reinterpret_cast<LPARAM>(u"one")),
              0);
    EXPECT_EQ(SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(-1),
                           reinterpret_cast<LPARAM>(u"two")),
              1);
    EXPECT_EQ(SendMessageW(list, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(u"zero")), 0);
    EXPECT_EQ(SendMessageW(list, LB_INSERTSTRING, 9, reinterpret_cast<LPARAM>(u"far")), LB_ERR);
    EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 3);
    WCHAR buffer[16] = {};
    EXPECT_EQ(SendMessageW(list, LB_GETTEXT, 2, reinterpret_cast<LPARAM>(buffer)), 3);
    EXPECT_EQ(std::u16string(buffer), u"two");
    EXPECT_EQ(SendMessageW(list, LB_GETTEXT, 3, reinterpret_cast<LPARAM>(buffer)), LB_ERR);
    EXPECT_EQ(SendMessageW(list, LB_SETCURSEL, 3, 0), LB_ERR);
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR);
    SendMessageW(list, LB_SETITEMDATA, 1, 4242);
    EXPECT_EQ(SendMessageW(list, LB_GETITEMDATA, 1, 0), 4242);
    SendMessageW(list, LB_SETCURSEL, 2, 0);
    EXPECT_EQ(SendMessageW(list, LB_DELETESTRING, 0, 0), 2);
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 1);  // the selection follows its item
    // A list box answers 0 to a trackbar's position query.
    EXPECT_EQ(SendMessageW(list, WM_USER, 0, 0), 0);
}

TEST_F(Lists, MultipleSelectionListsCountTheirSelection) {
    HWND parent = Make(0, 26, 240, 268);
    HWND list = Control(parent, WC_LISTBOX, LBS_MULTIPLESEL, 3, 10, 10, 100, 60);
    for (auto* t : {u"a", u"b", u"c"}) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
    SendMessageW(list, LB_SETSEL, TRUE, 0);
    SendMessageW(list, LB_SETSEL, TRUE, 2);
    EXPECT_EQ(SendMessageW(list, LB_GETSELCOUNT, 0, 0), 2);
    int items[4] = {};
    EXPECT_EQ(SendMessageW(list, LB_GETSELITEMS, 4, reinterpret_cast<LPARAM>(items)), 2);
    EXPECT_EQ(items[0], 0);
    EXPECT_EQ(items[1], 2);
    EXPECT_EQ(SendMessageW(list, LB_GETSELITEMS, 1, reinterpret_cast<LPARAM>(items)), 1);
    HWND single = Control(parent, WC_LISTBOX, 0, 4, 10, 80, 100, 60);
    EXPECT_EQ(SendMessageW(single, LB_GETSELCOUNT, 0, 0), LB_ERR);
}

TEST_F(Lists, TheComboBoxDropsItsListAsAMenuAndReportsTheChoice) {
    HWND parent = Make(0, 26, 240, 268);
    HWND combo = Control(parent, WC_COMBOBOX, CBS_DROPDOWNLIST, 1002);
    for (auto* t : {u"Red", u"Green", u"Blue"})
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
    EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageW(combo, CB_GETLBTEXTLEN, 1, 0), 5);
    Watch({WM_COMMAND});
    QueueAnswer(Answer{3, {}, {}});  // items are numbered from 1 in the menu
    Tap(20, 26 + 15);
    RunUntilIdle();
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
    auto c = Commands();
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c[0].second, static_cast<int>(CBN_DROPDOWN));
    EXPECT_EQ(c[0].second, 7);
    EXPECT_EQ(c[1].second, static_cast<int>(CBN_CLOSEUP));
    EXPECT_EQ(c[2].second, static_cast<int>(CBN_SELCHANGE));
    // Nothing chosen: the selection stays.
    Tap(20, 26 + 15);
    RunUntilIdle();
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
}

TEST_F(UpDowns, AnAutoBuddyStepsTheListBeforeItAndWraps) {
    HWND parent = Make(0, 26, 240, 268);
    HWND list = Control(parent, WC_LISTBOX, LBS_NOTIFY, 1003, 0, 10, 200, 15);
    HWND spin = Control(parent, UPDOWN_CLASSW, 0x277, 1086, 0, 0, 0, 0);
    EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(spin, UDM_GETBUDDY, 0, 0)), list);
    for (auto* t : {u"Normal", u"90", u"180"})
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
    SendMessageW(list, LB_SETCURSEL, 2, 0);
    RECT r;
    GetWindowRect(spin, &r);
    EXPECT_GT(r.right - r.left, 0);  // it took its place beside the list
    bool delta = false, change = false;
    On(parent, [&](HWND, UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) -> LRESULT {
        handled = false;
        if (msg == WM_NOTIFY) {
            auto* n = reinterpret_cast<NMUPDOWN*>(lParam);
            delta = delta || (n->hdr.code == UDN_DELTAPOS && n->iDelta == 1);
        }
        if (msg == WM_COMMAND) change = change || HIWORD(wParam) == LBN_SELCHANGE;
        return 0;
    });
    Tap(r.right - 2, (r.top + r.bottom) / 2);  // the right half steps up
    RunUntilIdle();
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 0);  // wrapped past the end
    EXPECT_TRUE(delta);
    EXPECT_TRUE(change);
}

// A spinner shows the chosen item only: with no choice its top row is not drawn as if chosen.
TEST_F(Lists, ASpinnerWithoutAChoiceShowsNoItem) {
    HWND parent = Make(0, 26, 240, 268);
    On(parent, PaintWith(RGB(255, 255, 255)));
    HWND list = Control(parent, WC_LISTBOX, LBS_NOTIFY, 1065, 0, 10, 200, 15);
    for (auto* t : {u"Black", u"Silver"})
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
    auto inked = [] {
        int n = 0;
        for (int y = 36; y < 51; ++y)
            for (int x = 0; x < 200; ++x) n += ScreenPixel(x, y) != 0xFFFFFFu;
        return n;
    };
    RunUntilIdle();
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR);
    EXPECT_EQ(inked(), 0);
    SendMessageW(list, LB_SETCURSEL, 0, 0);
    RunUntilIdle();
    EXPECT_GT(inked(), 0);
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    RunUntilIdle();
    EXPECT_EQ(inked(), 0);
}

TEST_F(UpDowns, TheParentCanRefuseAStep) {
    HWND parent = Make(0, 26, 240, 268);
    HWND list = Control(parent, WC_LISTBOX, 0, 1003, 0, 10, 200, 15);
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"a"));
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"b"));
    SendMessageW(list, LB_SETCURSEL, 0, 0);
    HWND spin = Control(parent, UPDOWN_CLASSW, 0x277, 1086, 0, 0, 0, 0);
    On(parent, [](HWND, UINT msg, WPARAM, LPARAM lParam, bool& handled) -> LRESULT {
        handled = msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == UDN_DELTAPOS;
        return handled ? 1 : 0;
    });
    RECT r;
    GetWindowRect(spin, &r);
    Tap(r.right - 2, (r.top + r.bottom) / 2);
    RunUntilIdle();
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 0);
}

TEST_F(Ranges, TheSliderReportsTrackingThenTheEnd) {
    HWND parent = Make(0, 26, 240, 268);
    HWND slider = Control(parent, TRACKBAR_CLASSW, 0, 245, 0, 10, 200, 20);
    SendMessageW(slider, TBM_SETRANGEMAX, FALSE, 32767);
    EXPECT_EQ(SendMessageW(slider, TBM_GETRANGEMAX, 0, 0), 32767);
    SendMessageW(slider, TBM_SETPOS, TRUE, 40000);
    EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 32767);  // held in range
    Watch({WM_HSCROLL});
    Tap(100, 26 + 20);
    RunUntilIdle();
    auto log = Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(LOWORD(log.front().wParam), TB_THUMBTRACK);
    EXPECT_EQ(LOWORD(log.back().wParam), TB_ENDTRACK);
    EXPECT_EQ(LOWORD(log.back().wParam), 8);
    EXPECT_EQ(static_cast<HWND>(reinterpret_cast<void*>(log.back().lParam)), slider);
    LRESULT pos = SendMessageW(slider, TBM_GETPOS, 0, 0);
    EXPECT_GT(pos, 10000);
    EXPECT_LT(pos, 22000);
}

// Left and Up step down, Right and Down up, by the line size; PageUp and PageDown by the page;
// Home and End to the ends. Each step is reported, then its end.
TEST_F(Ranges, TheSliderTakesTheArrowsPagesAndEnds) {
    HWND parent = Make(0, 26, 240, 268);
    HWND slider = Control(parent, TRACKBAR_CLASSW, 0, 245, 0, 10, 200, 20);
    SendMessageW(slider, TBM_SETRANGEMAX, FALSE, 100);
    SendMessageW(slider, TBM_SETLINESIZE, 0, 5);
    SendMessageW(slider, TBM_SETPAGESIZE, 0, 25);
    SendMessageW(slider, TBM_SETPOS, TRUE, 50);
    SetFocus(slider);
    auto after = [&](UINT vk) {
        Key(vk);
        RunUntilIdle();
        return SendMessageW(slider, TBM_GETPOS, 0, 0);
    };
    Watch({WM_HSCROLL});
    EXPECT_EQ(after(VK_RIGHT), 55);
    EXPECT_EQ(LOWORD(Log().front().wParam), TB_LINEDOWN);
    EXPECT_EQ(LOWORD(Log().back().wParam), TB_ENDTRACK);
    EXPECT_EQ(after(VK_UP), 50);
    EXPECT_EQ(after(VK_NEXT), 75);
    EXPECT_EQ(after(VK_NEXT), 100);
    EXPECT_EQ(after(VK_PRIOR), 75);
    EXPECT_EQ(after(VK_HOME), 0);
    EXPECT_EQ(after(VK_LEFT), 0);
    EXPECT_EQ(after(VK_END), 100);
}

TEST_F(Ranges, TheProgressBarTakesItsTopFromTheHighWord) {
    HWND parent = Make(0, 26, 240, 268);
    HWND bar = Control(parent, PROGRESS_CLASSW, 0, 1);
    SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 500));
    EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 500);
    EXPECT_EQ(SendMessageW(bar, PBM_SETPOS, 250, 0), 0);  // the previous position
    EXPECT_EQ(SendMessageW(bar, PBM_DELTAPOS, 300, 0), 250);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 500);
    SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(-5), 0);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 0);
}

// A control with no font of its own answers WM_GETFONT with the font it paints with, so text
// measured with the answer fits what is drawn, twice as large on a 192-dpi screen.
class HighDensity : public DialogTest {
protected:
    HighDensity() : DialogTest("clock = virtual\nscreen = 480x640@192\n") {}
};

int DefaultFontHeight(HWND control) {
    auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    LOGFONTW lf{};
    if (!font || !GetObjectW(font, sizeof lf, &lf)) return 0;
    return lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
}

TEST_F(Ranges, AControlWithoutAFontAnswersTheOneItPaintsWith) {
    HWND parent = Make(0, 26, 240, 268);
    HWND bar = Control(parent, STATUSCLASSNAMEW, 0, 2);
    EXPECT_EQ(DefaultFontHeight(bar), 11);
    // Asked twice, the same font; a font set later is the answer.
    EXPECT_EQ(SendMessageW(bar, WM_GETFONT, 0, 0), SendMessageW(bar, WM_GETFONT, 0, 0));
    HFONT own = reinterpret_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    SendMessageW(bar, WM_SETFONT, reinterpret_cast<WPARAM>(own), 0);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(bar, WM_GETFONT, 0, 0)), own);
}

TEST_F(HighDensity, AControlWithoutAFontAnswersTheOneItPaintsWith) {
    HWND parent = Make(0, 52, 480, 536);
    EXPECT_EQ(DefaultFontHeight(Control(parent, STATUSCLASSNAMEW, 0, 2)), 22);
    EXPECT_EQ(DefaultFontHeight(Control(parent, WC_STATIC, 0, 3)), 22);
}

TEST_F(Ranges, TheStatusBarKeepsTwoPartsAtTheBottom) {
    HWND parent = Make(0, 26, 240, 268);
    HWND bar = Control(parent, STATUSCLASSNAMEW, 0, 2);
    int edges[2] = {120, -1};
    EXPECT_TRUE(SendMessageW(bar, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(edges)));
    EXPECT_TRUE(SendMessageW(bar, SB_SETTEXTW, 1 | SBT_NOBORDERS, reinterpret_cast<LPARAM>(u"12%")));
    EXPECT_FALSE(SendMessageW(bar, SB_SETTEXTW, 2, reinterpret_cast<LPARAM>(u"x")));
    WCHAR buffer[8] = {};
    EXPECT_EQ(SendMessageW(bar, SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(buffer)), 3);
    EXPECT_EQ(std::u16string(buffer), u"12%");
    int borders[3] = {-1, -1, -1};
    EXPECT_TRUE(SendMessageW(bar, SB_GETBORDERS, 0, reinterpret_cast<LPARAM>(borders)));
    EXPECT_GE(borders[0], 0);
    RECT r, pr;
    GetWindowRect(bar, &r);
    GetWindowRect(parent, &pr);
    EXPECT_EQ(r.bottom, pr.bottom);
    EXPECT_FALSE(SendMessageW(bar, SB_SETPARTS, 0, reinterpret_cast<LPARAM>(edges)));
    // Sized anew, a bar docks again: at the bottom, at the top with CCS_TOP; CCS_NORESIZE keeps
    // it where it is put.
    HWND top = Control(parent, STATUSCLASSNAMEW, CCS_TOP, 3);
    HWND put = Control(parent, STATUSCLASSNAMEW, CCS_NORESIZE, 4, 5, 50, 100, 18);
    MoveWindow(parent, 0, 26, 320, 188, TRUE);
    for (HWND b : {bar, top, put}) MoveWindow(b, 5, 50, 200, 18, TRUE);
    GetWindowRect(parent, &pr);
    GetWindowRect(bar, &r);
    EXPECT_EQ(r.bottom, pr.bottom);
    EXPECT_EQ(r.right, pr.right);
    GetWindowRect(top, &r);
    EXPECT_EQ(r.top, pr.top);
    EXPECT_EQ(r.right, pr.right);
    GetWindowRect(put, &r);
    EXPECT_EQ(r.left, pr.left + 5);
    EXPECT_EQ(r.top, pr.top + 50);
    EXPECT_EQ(r.right - r.left, 200);
}

TEST_F(Statics, TheTitleAsksItsParentForColoursAndLabelsPassThePenOn) {
    HWND parent = Make(0, 26, 240, 268);
    HWND label = Control(parent, WC_STATIC, 0, 1091, 0, 0, 200, 20, u"Title");
    Watch({WM_CTLCOLORSTATIC, WM_LBUTTONUP});
    InvalidateRect(label, nullptr, TRUE);
    UpdateWindow(label);
    Tap(10, 26 + 10);
    RunUntilIdle();
    auto m = Messages();
    EXPECT_NE(std::find(m.begin(), m.end(), WM_CTLCOLORSTATIC), m.end());
    EXPECT_NE(std::find(m.begin(), m.end(), WM_LBUTTONUP), m.end());
}

}  // namespace
}  // namespace fvt::test
