// The list view: rows and their data, selection notices, taps, tap and hold, label edits and
// custom draw.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/dialog/dialog_fixture.h"
#include "platform/kernel/kernel_clock.h"
#include "platform/window/keys.h"

namespace fvt::test {
namespace {

class ListView : public DialogTest {
protected:
    HWND MakeList(DWORD ex = LVS_EX_FULLROWSELECT) {
        parent_ = Make(0, 26, 240, 268);
        HWND list = Control(parent_, WC_LISTVIEWW, 0x0081400D, 1033, 0, 0, 240, 200);
        SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, ex, ex);
        LVCOLUMNW col{};
        col.mask = LVCF_WIDTH;
        col.cx = 20;
        SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&col));
        col.cx = 200;
        SendMessageW(list, LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&col));
        // Notice records live on the sender's stack: their codes are taken as they arrive.
        On(parent_, [this](HWND, UINT msg, WPARAM, LPARAM lParam, bool& handled) -> LRESULT {
            handled = false;
            if (msg == WM_NOTIFY) codes_.push_back(reinterpret_cast<NMHDR*>(lParam)->code);
            return 0;
        });
        return list;
    }
    int Insert(HWND list, int at, const char16_t* text, LPARAM param) {
        std::u16string t = text;
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = at;
        item.pszText = t.data();
        item.lParam = param;
        return static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    }
    std::vector<int> Codes() { return codes_; }
    void ClearCodes() { codes_.clear(); }
    std::vector<int> codes_;
    // The row height is 18 pixels at 96 dpi: row i's middle on the screen.
    static int RowY(int i) { return 26 + i * 18 + 9; }
    HWND parent_ = nullptr;
};

TEST_F(ListView, RowsAreFoundByParameterAndSortedByTheCallback) {
    HWND list = MakeList();
    EXPECT_EQ(Insert(list, 0, u"b", 20), 0);
    EXPECT_EQ(Insert(list, 0, u"a", 10), 0);
    EXPECT_EQ(Insert(list, 99, u"c", 30), 2);  // past the end appends
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3);
    LVFINDINFOW find{};
    find.flags = LVFI_PARAM;
    find.lParam = 30;
    EXPECT_EQ(SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)), 2);
    find.lParam = 99;
    EXPECT_EQ(SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)), -1);
    auto descending = [](LPARAM a, LPARAM b, LPARAM key) -> int {
        EXPECT_EQ(key, 7);
        return a > b ? -1 : (a < b ? 1 : 0);
    };
    EXPECT_TRUE(SendMessageW(list, LVM_SORTITEMS, 7, reinterpret_cast<LPARAM>(+descending)));
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = 0;
    ASSERT_TRUE(SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    EXPECT_EQ(item.lParam, 30);
    item.iItem = 3;
    EXPECT_FALSE(SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    EXPECT_TRUE(SendMessageW(list, LVM_DELETEITEM, 1, 0));
    EXPECT_FALSE(SendMessageW(list, LVM_DELETEITEM, 5, 0));
    EXPECT_TRUE(SendMessageW(list, LVM_DELETEALLITEMS, 0, 0));
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 0);
}

TEST_F(ListView, SelectingARowReportsTheChangeAndTheNextSelectedItem) {
    HWND list = MakeList();
    Insert(list, 0, u"one", 1);
    Insert(list, 1, u"two", 2);
    ClearCodes();
    LVITEMW state{};
    state.state = state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state));
    auto codes = Codes();
    ASSERT_EQ(codes.size(), 2u);
    EXPECT_EQ(codes[0], LVN_ITEMCHANGING);
    EXPECT_EQ(codes[1], LVN_ITEMCHANGED);
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 1);
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, 1, LVNI_SELECTED), -1);
    // A parent refusing the change keeps the old state.
    On(parent_, [](HWND, UINT msg, WPARAM, LPARAM lParam, bool& handled) -> LRESULT {
        handled = msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == LVN_ITEMCHANGING;
        return handled ? 1 : 0;
    });
    SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMSTATE, 0, LVIS_SELECTED), 0);
}

TEST_F(ListView, AShortTapIsAClickAndAHalfSecondHoldIsTheContextMenu) {
    HWND list = MakeList();
    Insert(list, 0, u"one", 1);
    Insert(list, 1, u"two", 2);
    NMRGINFO hold{};
    On(parent_, [&](HWND, UINT msg, WPARAM, LPARAM lParam, bool& handled) -> LRESULT {
        handled = false;
        if (msg != WM_NOTIFY) return 0;
        codes_.push_back(reinterpret_cast<NMHDR*>(lParam)->code);
        if (codes_.back() == GN_CONTEXTMENU) hold = *reinterpret_cast<NMRGINFO*>(lParam);
        return 0;
    });
    ClearCodes();
    PenDown(50, RowY(1));
    RunUntilIdle();
    AdvanceClock(300);
    RunUntilIdle();
    PenUp(50, RowY(1));
    RunUntilIdle();
    auto codes = Codes();
    EXPECT_NE(std::find(codes.begin(), codes.end(), NM_CLICK), codes.end());
    EXPECT_EQ(std::find(codes.begin(), codes.end(), GN_CONTEXTMENU), codes.end());
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 1);

    ClearCodes();
    PenDown(50, RowY(0));
    RunUntilIdle();
    AdvanceClock(500);
    RunUntilIdle();
    PenUp(50, RowY(0));
    RunUntilIdle();
    codes = Codes();
    ASSERT_NE(std::find(codes.begin(), codes.end(), GN_CONTEXTMENU), codes.end());
    EXPECT_EQ(std::find(codes.begin(), codes.end(), NM_CLICK), codes.end());  // no tap after it
    EXPECT_EQ(hold.ptAction.x, 50);
    EXPECT_EQ(hold.ptAction.y, RowY(0));
    EXPECT_EQ(hold.dwItemSpec, 0u);
}

TEST_F(ListView, ALabelEditEndsWithTheTextOrNoneWhenCancelled) {
    HWND list = MakeList();
    Insert(list, 0, u"Unfiled", 1);
    std::u16string ended;
    bool cancelled = false;
    On(parent_, [&](HWND, UINT msg, WPARAM, LPARAM lParam, bool& handled) -> LRESULT {
        handled = msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == LVN_ENDLABELEDITW;
        if (!handled) return 0;
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(lParam);
        cancelled = info->item.pszText == nullptr;
        if (!cancelled) ended = info->item.pszText;
        return 1;
    });
    auto edit = reinterpret_cast<HWND>(SendMessageW(list, LVM_EDITLABELW, 0, 0));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(list, LVM_GETEDITCONTROL, 0, 0)), edit);
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"Travel"));
    Key(VK_RETURN);
    RunUntilIdle();
    EXPECT_EQ(ended, u"Travel");
    EXPECT_FALSE(IsWindow(edit));
    WCHAR buffer[16] = {};
    LVITEMW item{};
    item.pszText = buffer;
    item.cchTextMax = 16;
    SendMessageW(list, LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(std::u16string(buffer), u"Travel");
    edit = reinterpret_cast<HWND>(SendMessageW(list, LVM_EDITLABELW, 0, 0));
    ASSERT_NE(edit, nullptr);
    Key(VK_ESCAPE);
    RunUntilIdle();
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(SendMessageW(list, LVM_EDITLABELW, 5, 0), 0);
}

TEST_F(ListView, CustomDrawAsksPerItemAndPerColumnWhenTold) {
    HWND list = MakeList();
    Insert(list, 0, u"1", 1);
    Insert(list, 1, u"2", 2);
    std::vector<DWORD> stages;
    On(parent_, [&](HWND, UINT msg, WPARAM, LPARAM lParam, bool& handled) -> LRESULT {
        handled = msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == NM_CUSTOMDRAW;
        if (!handled) return 0;
        auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(lParam);
        stages.push_back(cd->nmcd.dwDrawStage);
        if (cd->nmcd.dwDrawStage == CDDS_PREPAINT || cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT)
            return CDRF_NOTIFYITEMDRAW;
        if (cd->nmcd.dwDrawStage == (CDDS_ITEMPREPAINT | CDDS_SUBITEM)) {
            cd->clrTextBk = RGB(0xD7, 0xD7, 0xFF);
            return CDRF_NOTIFYPOSTPAINT;
        }
        return CDRF_DODEFAULT;
    });
    InvalidateRect(list, nullptr, TRUE);
    UpdateWindow(list);
    EXPECT_EQ(std::count(stages.begin(), stages.end(), CDDS_ITEMPREPAINT), 2);
    EXPECT_EQ(std::count(stages.begin(), stages.end(), 0x30001u), 4);  // 2 rows x 2 columns
    EXPECT_EQ(std::count(stages.begin(), stages.end(), 0x30002u), 4);
    // The colour the parent gave fills the cells.
    EXPECT_EQ(ScreenPixel(30, 26 + 2), 0xD7D7FFu);  // red D7, green D7, blue FF
}

// A row is tall enough for a line of the list's font: 18 pixels with a small font, the font's
// line and two pixels with a large one, measured again when the font changes.
TEST_F(ListView, RowsGrowWithTheListsFont) {
    HWND list = MakeList();
    Insert(list, 0, u"\u00C9t\u00E9", 1);
    auto rowHeight = [&] {
        RECT r{};
        r.left = LVIR_BOUNDS;
        SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
        return static_cast<int>(r.bottom - r.top);
    };
    auto lineOf = [](HFONT font) {
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, font);
        TEXTMETRICW tm{};
        GetTextMetricsW(dc, &tm);
        SelectObject(dc, old);
        DeleteDC(dc);
        return static_cast<int>(tm.tmHeight);
    };
    EXPECT_EQ(rowHeight(), 18);
    for (int size : {30, 12}) {
        LOGFONTW lf{};
        lf.lfHeight = -size;
        lf.lfWeight = 700;
        HFONT font = CreateFontIndirectW(&lf);
        ASSERT_NE(font, nullptr);
        SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
        EXPECT_EQ(rowHeight(), std::max(18, lineOf(font) + 2)) << size;
        SendMessageW(list, WM_SETFONT, 0, 0);
        DeleteObject(font);
    }
    EXPECT_EQ(rowHeight(), 18);
}

TEST_F(ListView, KeysMoveTheSelectionAndReachTheParentFirst) {
    HWND list = MakeList(LVS_EX_CHECKBOXES);
    Insert(list, 0, u"a", 1);
    Insert(list, 1, u"b", 2);
    SetFocus(list);
    ClearCodes();
    Key(VK_DOWN);
    RunUntilIdle();
    EXPECT_EQ(Codes().front(), LVN_KEYDOWN);
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 0);
    Key(VK_SPACE);
    RunUntilIdle();
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMSTATE, 0, LVIS_STATEIMAGEMASK),
              static_cast<LRESULT>(INDEXTOSTATEIMAGEMASK(2)));
    ClearCodes();
    Key(VK_RETURN);
    RunUntilIdle();
    auto codes = Codes();
    EXPECT_NE(std::find(codes.begin(), codes.end(), NM_RETURN), codes.end());
}

// The rows of a list of `n`, "0" to n - 1.
void Fill(HWND list, int n) {
    for (int i = 0; i < n; ++i) {
        std::u16string t;
        for (char c : std::to_string(i)) t.push_back(static_cast<char16_t>(c));
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = i;
        item.pszText = t.data();
        item.lParam = i;
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
}

LRESULT Selected(HWND list) {
    return SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
}

TEST_F(ListView, PageKeysMoveByAScreenfulAndHomeAndEndToTheEnds) {
    HWND list = MakeList();
    Fill(list, 100);
    const auto page = static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
    ASSERT_GT(page, 2);
    SetFocus(list);
    Key(VK_NEXT);
    RunUntilIdle();
    EXPECT_EQ(Selected(list), page - 1);
    EXPECT_EQ(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), 0);
    Key(VK_NEXT);
    RunUntilIdle();
    EXPECT_EQ(Selected(list), 2 * (page - 1));
    EXPECT_EQ(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), 2 * (page - 1) - page + 1);
    Key(VK_END);
    RunUntilIdle();
    EXPECT_EQ(Selected(list), 99);
    EXPECT_EQ(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), 100 - page);
    Key(VK_PRIOR);
    RunUntilIdle();
    EXPECT_EQ(Selected(list), 99 - (page - 1));
    Key(VK_HOME);
    RunUntilIdle();
    EXPECT_EQ(Selected(list), 0);
    EXPECT_EQ(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), 0);
}

// A tap on the scroll bar below its thumb shows the next screenful, a drag of the thumb follows
// the pen, the wheel scrolls three rows a notch; none of them selects or opens a row.
TEST_F(ListView, TheScrollBarAndTheWheelScrollWithoutTouchingARow) {
    HWND list = MakeList();
    Fill(list, 100);
    const auto page = static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
    const int bar = 240 - GetSystemMetrics(SM_CXVSCROLL) / 2;
    ClearCodes();
    Tap(bar, 26 + 150);
    RunUntilIdle();
    EXPECT_EQ(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), page);
    // The thumb now stands a screenful down its travel; dragged to the bottom, the last rows show.
    const int height = 200 * page / 100;
    const int thumb = 26 + (200 - height) * page / (100 - page) + height / 2;
    PenDown(bar, thumb);
    PenMove(bar, 26 + 120);
    PenMove(bar, 26 + 260);
    PenUp(bar, 26 + 260);
    RunUntilIdle();
    EXPECT_EQ(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), 100 - page);
    SendMessageW(list, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(100, 100));
    EXPECT_EQ(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), 100 - page - 3);
    EXPECT_EQ(Selected(list), -1);
    auto codes = Codes();
    EXPECT_EQ(std::find(codes.begin(), codes.end(), NM_CLICK), codes.end());
    EXPECT_EQ(std::find(codes.begin(), codes.end(), LVN_ITEMACTIVATE), codes.end());
}

}  // namespace
}  // namespace fvt::test
