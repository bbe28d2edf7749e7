// The owner-drawn list window on the device layer's list view: rows, sorting, selection, the
// routing of list notices and the menu checks.
#include "shell_ui/list_window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/window/keys.h"
#include "support/platform/window_fixture.h"

namespace {

// A row with a title (key 0) and a number (key 1).
class Row : public ListItem {
public:
    Row(std::u16string t, int n) : title(std::move(t)), number(n) {}
    void GetText(Text& out, uint32_t key) override {
        if (key == 1) {
            out.Clear();
            out.AppendNumber(static_cast<uint64_t>(number), 10);
        } else {
            out.FromWide(title.c_str());
        }
    }
    int Compare(ListItem* other, uint32_t key, uint32_t ascending) override {
        auto* o = static_cast<Row*>(other);
        if (key == 1) return (number - o->number) * (ascending ? 1 : -1);
        return ListWindow::CompareItems(this, other, key, ascending != 0);
    }
    std::u16string title;
    int number;
};

// Records which slots ran, in order.
class Probe : public ListWindow {
public:
    void OnItemActivated(ListItem* item, bool wasSelected, int, int) override {
        calls.push_back("activated");
        activated = item;
        already = wasSelected;
    }
    void OnRightClick(ListItem*) override { calls.push_back("right"); }
    void OnDoubleClick(ListItem*) override { calls.push_back("double"); }
    void OnSelectionChanged(ListItem* item) override {
        calls.push_back("selection");
        changed = item;
    }
    bool IsBold(ListItem* item) override { return item == bold; }
    std::vector<std::string> calls;
    ListItem* activated = nullptr;
    ListItem* changed = nullptr;
    ListItem* bold = nullptr;
    bool already = false;
};

class ListWindowTest : public fvt::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        frame = Make(0, 0, 240, 300);
        ASSERT_NE(frame, nullptr);
        window.Init(frame, 10000, false);
        window.SetFonts(nullptr);
        ASSERT_TRUE(window.CreateListView());
        window.Show(true);
    }
    void Fill(int n) {
        for (int i = 0; i < n; ++i) {
            rows.push_back(std::make_unique<Row>(u"Row " + std::u16string(1, char16_t(u'A' + i)), 100 - i));
            window.InsertItem(rows.back().get());
        }
    }
    std::vector<std::u16string> Order() {
        std::vector<std::u16string> out;
        for (int i = 0; i < window.GetItemCount(); ++i)
            out.push_back(static_cast<Row*>(window.GetItemData(i))->title);
        return out;
    }
    void Tap(int index) {
        RECT r = window.GetItemBounds(index);
        LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        SendMessageW(window.List(), WM_LBUTTONDOWN, 0, at);
        SendMessageW(window.List(), WM_LBUTTONUP, 0, at);
    }
    int DarkPixelsInBand(int top, int bottom) {
        RECT r{};
        GetWindowRect(window.List(), &r);
        int dark = 0;
        for (int y = r.top + top; y < r.top + bottom; ++y)
            for (int x = r.left + 2; x < r.right - 20; ++x)
                if ((ScreenPixel(x, y) & 0xFF) < 0x40) ++dark;
        return dark;
    }

    HWND frame = nullptr;
    Probe window;
    std::vector<std::unique_ptr<Row>> rows;
};

TEST_F(ListWindowTest, EmptyListShowsItsNoticeUntilARowArrives) {
    UpdateWindow(window.List());
    RECT c{};
    GetClientRect(window.List(), &c);
    int mid = (c.bottom - c.top) / 2;
    EXPECT_GT(DarkPixelsInBand(mid - 8, mid + 8), 10);
    Fill(1);
    InvalidateRect(window.List(), nullptr, TRUE);
    UpdateWindow(window.List());
    EXPECT_EQ(DarkPixelsInBand(mid - 8, mid + 8), 0);
}

TEST_F(ListWindowTest, APartialRepaintDrawsTheNoticeOnceOverItself) {
    UpdateWindow(window.List());
    RECT c{};
    GetClientRect(window.List(), &c);
    int mid = (c.bottom - c.top) / 2;
    RECT screen{};
    GetWindowRect(window.List(), &screen);
    auto band = [&] {
        std::vector<uint32_t> pixels;
        for (int y = screen.top + mid - 8; y < screen.top + mid + 8; ++y)
            for (int x = screen.left; x < screen.right; ++x) pixels.push_back(ScreenPixel(x, y));
        return pixels;
    };
    const std::vector<uint32_t> once = band();
    // The left third is erased and painted again; the rest of the notice must stay as it was,
    // not grow darker from being drawn twice.
    for (int i = 0; i < 3; ++i) {
        RECT left{0, 0, c.right / 3, c.bottom};
        InvalidateRect(window.List(), &left, TRUE);
        UpdateWindow(window.List());
    }
    const std::vector<uint32_t> after = band();
    ASSERT_EQ(after.size(), once.size());
    int changed = 0;
    for (size_t i = 0; i < once.size(); ++i) changed += after[i] != once[i];
    EXPECT_EQ(changed, 0);
}

TEST_F(ListWindowTest, RowDrawsTitleLeftAndSortValueRight) {
    Fill(1);
    window.Sort(1, true);
    InvalidateRect(window.List(), nullptr, TRUE);
    UpdateWindow(window.List());
    RECT row = window.GetItemBounds(0);
    RECT lr{};
    GetWindowRect(window.List(), &lr);
    int leftInk = 0, rightInk = 0;
    int width = row.right - row.left;
    for (int y = lr.top + row.top; y < lr.top + row.bottom; ++y)
        for (int x = 0; x < width; ++x) {
            uint32_t p = ScreenPixel(lr.left + row.left + x, y);
            if (p == 0xFFFFFF || p == 0x800000) continue;  // background, selection
            (x < width / 3 ? leftInk : x > 2 * width / 3 ? rightInk : leftInk) += 1;
        }
    EXPECT_GT(leftInk, 0);
    EXPECT_GT(rightInk, 0);
}

TEST_F(ListWindowTest, SortsByKeyAndDirection) {
    Fill(3);  // inserted at the top: C, B, A; numbers 98, 99, 100
    window.Sort(0, true);
    EXPECT_EQ(Order(), (std::vector<std::u16string>{u"Row A", u"Row B", u"Row C"}));
    window.Sort(0, false);
    EXPECT_EQ(Order(), (std::vector<std::u16string>{u"Row C", u"Row B", u"Row A"}));
    window.Sort(1, true);
    EXPECT_EQ(Order(), (std::vector<std::u16string>{u"Row C", u"Row B", u"Row A"}));
    window.Sort(1, false);
    EXPECT_EQ(Order(), (std::vector<std::u16string>{u"Row A", u"Row B", u"Row C"}));
}

TEST_F(ListWindowTest, SortingAnEmptyListStillStoresTheKey) {
    window.Sort(3, true);
    EXPECT_EQ(window.SortKey(), 3u);
    EXPECT_EQ(window.GetItemCount(), 0);
}

TEST_F(ListWindowTest, SelectIndexRefusesRowsOutsideTheList) {
    Fill(2);
    EXPECT_FALSE(window.SelectIndex(-1));
    EXPECT_FALSE(window.SelectIndex(2));
    EXPECT_EQ(window.GetSelectedData(), nullptr);
    EXPECT_TRUE(window.SelectIndex(1));
    EXPECT_EQ(window.GetSelectedData(), window.GetItemData(1));
    EXPECT_EQ(window.GetItemData(-1), nullptr);
    EXPECT_EQ(window.GetItemData(5), nullptr);
}

TEST_F(ListWindowTest, SelectByDataFallsBackToTheFirstRowAndNotifiesOnce) {
    Fill(3);
    Row absent(u"absent", 0);
    EXPECT_TRUE(window.SelectByData(&absent));
    EXPECT_EQ(window.GetSelectedIndex(), 0);
    window.calls.clear();
    window.changed = nullptr;
    EXPECT_TRUE(window.SelectByData(window.GetItemData(2)));
    EXPECT_EQ(window.GetSelectedIndex(), 2);
    // Row 0 is not selected on the way: every notice names the final row.
    for (auto& c : window.calls) EXPECT_EQ(c, "selection");
    EXPECT_EQ(window.changed, window.GetItemData(2));
    ListWindow empty;
    EXPECT_FALSE(empty.SelectByData(&absent));
}

TEST_F(ListWindowTest, TapReportsWhetherTheRowWasAlreadySelected) {
    Fill(3);
    window.SelectIndex(0);
    Tap(0);
    EXPECT_EQ(window.activated, window.GetItemData(0));
    EXPECT_TRUE(window.already);
    Tap(1);
    EXPECT_EQ(window.activated, window.GetItemData(1));
    EXPECT_FALSE(window.already);
    Tap(1);
    EXPECT_TRUE(window.already);
}

TEST_F(ListWindowTest, ClickRunsSelectionThenActivation) {
    Fill(2);
    window.calls.clear();
    Tap(1);
    ASSERT_GE(window.calls.size(), 2u);
    EXPECT_EQ(window.calls[window.calls.size() - 2], "selection");
    EXPECT_EQ(window.calls.back(), "activated");
    window.calls.clear();
    SendMessageW(window.List(), WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_EQ(window.calls.size(), 2u);
    EXPECT_EQ(window.calls[0], "selection");
    EXPECT_EQ(window.calls[1], "activated");
    EXPECT_TRUE(window.already);
}

TEST_F(ListWindowTest, DoubleAndRightClicksReachTheirOwnSlots) {
    Fill(2);
    window.SelectIndex(0);
    RECT r = window.GetItemBounds(0);
    LPARAM at = MAKELPARAM(r.left + 5, r.top + 2);
    window.calls.clear();
    SendMessageW(window.List(), WM_LBUTTONDBLCLK, 0, at);
    EXPECT_EQ(window.calls, (std::vector<std::string>{"double"}));
    window.calls.clear();
    SendMessageW(window.List(), WM_RBUTTONUP, 0, at);
    EXPECT_EQ(window.calls, (std::vector<std::string>{"right"}));
}

TEST_F(ListWindowTest, PrivateMessagesAndCommandsReachTheHost) {
    struct Poster : ListWindow {
        bool OnPrivateMessage(WPARAM w, LPARAM l) override {
            got = static_cast<int>(w + l);
            return true;
        }
        int got = 0;
    } poster;
    poster.Init(frame, 12000, false);
    ASSERT_TRUE(poster.CreateListView());
    poster.PostCommand(40, 2);
    fvt::RunUntilIdle();
    EXPECT_EQ(poster.got, 42);
}

class CheckRadioTest : public ::testing::Test {
protected:
    void SetUp() override {
        menu = CreatePopupMenu();
        AppendMenuW(menu, MF_STRING, 40001, u"All");
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, 40011, u"eBooks");
        AppendMenuW(menu, MF_STRING, 40012, u"eNews");
    }
    void TearDown() override { DestroyMenu(menu); }
    bool Checked(UINT position) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_STATE;
        GetMenuItemInfoW(menu, position, TRUE, &info);
        return (info.fState & MFS_CHECKED) != 0;
    }
    HMENU menu = nullptr;
};

TEST_F(CheckRadioTest, MarksTheItemOfTheCommand) {
    ListWindow::CheckRadioByCommand(menu, 40011, 4);
    EXPECT_FALSE(Checked(0));
    EXPECT_TRUE(Checked(2));
    ListWindow::CheckRadioByCommand(menu, 0x10000 | 40001, 4);  // only the low word counts
    EXPECT_TRUE(Checked(0));
    EXPECT_FALSE(Checked(2));
}

TEST_F(CheckRadioTest, UnknownCommandChangesNothingAndZeroClearsAll) {
    ListWindow::CheckRadioByCommand(menu, 40012, 4);
    ListWindow::CheckRadioByCommand(menu, 49999, 4);
    EXPECT_TRUE(Checked(3));
    ListWindow::CheckRadioByCommand(menu, 0, 4);
    for (UINT i = 0; i < 4; ++i) EXPECT_FALSE(Checked(i)) << i;
    MENUITEMINFOW info{};
    char16_t text[32] = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 32;
    GetMenuItemInfoW(menu, 2, TRUE, &info);
    EXPECT_EQ(std::u16string(text), u"eBooks");
}

TEST_F(ListWindowTest, ColumnLosesTheScrollBarWidthOnlyWhenRowsOverflow) {
    RECT client{};
    window.Layout(0, 0, 240, 300);
    GetClientRect(window.Host(), &client);
    auto width = [&] { return static_cast<int>(SendMessageW(window.List(), LVM_GETCOLUMNWIDTH, 0, 0)); };
    Fill(2);
    window.Layout(0, 0, 240, 300);
    EXPECT_EQ(width(), client.right);
    Fill(24);
    window.Layout(0, 0, 240, 300);
    EXPECT_EQ(width(), client.right - GetSystemMetrics(SM_CXVSCROLL));
}

// The screen turns: the list gets shorter, and the selected row, low in the taller list, is
// scrolled back into full view; turned back, it stays in view.
TEST_F(ListWindowTest, AShorterListKeepsTheSelectedRowInFullView) {
    Fill(24);
    window.Layout(0, 0, 240, 300);
    auto perPage = [&] { return static_cast<int>(SendMessageW(window.List(), LVM_GETCOUNTPERPAGE, 0, 0)); };
    auto inView = [&](int index) {
        RECT client{};
        GetClientRect(window.List(), &client);
        RECT row = window.GetItemBounds(index);
        return row.top >= client.top && row.bottom <= client.bottom;
    };
    const int low = perPage() - 1;
    ASSERT_GT(low, 2);
    ASSERT_TRUE(window.SelectIndex(low));
    ASSERT_TRUE(inView(low));
    window.Layout(0, 0, 320, 120);
    ASSERT_LT(perPage(), low + 1);
    EXPECT_TRUE(inView(low));
    EXPECT_EQ(window.GetSelectedIndex(), low);
    window.Layout(0, 0, 240, 300);
    EXPECT_TRUE(inView(low));
}

TEST(TitleStripTest, KeepsTextsBoundedAndSplitsTheStrip) {
    fvt::test::TempDevice device("clock = virtual\n");
    HWND parent = CreateWindowExW(0, u"STATIC", u"", WS_VISIBLE, 0, 0, 240, 40, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    TitleStrip strip;
    EXPECT_EQ(strip.GetHeight(), 0);
    ASSERT_TRUE(strip.Create(parent, 1));
    std::u16string longText(1000, u'x');
    strip.SetText(longText.c_str());
    strip.SetSecondText(longText.c_str());
    EXPECT_EQ(std::u16string(strip.Text1()).size(), static_cast<size_t>(TitleStrip::kMaxText));
    EXPECT_EQ(std::u16string(strip.Text2()).size(), static_cast<size_t>(TitleStrip::kMaxText));
    strip.SetSecondText(u"12 KB");
    strip.FitParts();
    int parts[2] = {};
    EXPECT_EQ(SendMessageW(strip.Window(), SB_GETPARTS, 2, reinterpret_cast<LPARAM>(parts)), 2);
    EXPECT_GT(parts[0], 100);
    EXPECT_LT(parts[0], 240);
    // It sits above the list, also when the screen turns and the strip is sized anew.
    RECT r{};
    GetWindowRect(strip.Window(), &r);
    EXPECT_EQ(r.top, 0);
    MoveWindow(parent, 0, 0, 320, 40, TRUE);
    MoveWindow(strip.Window(), 0, 0, 320, r.bottom - r.top, TRUE);
    GetWindowRect(strip.Window(), &r);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 320);
    strip.Destroy();
    DestroyWindow(parent);
}

}  // namespace
