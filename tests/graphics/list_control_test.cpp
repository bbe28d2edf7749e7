// The list control over an in-memory record set on a drawing surface: paging by keys and
// commands, item-by-item moves at the page ends, scroll buttons, type of rows, the saved state,
// centring a record, the empty message and the icon cache.
#include <gtest/gtest.h>

#include "core/byte_stream.h"
#include "graphics/controls/button_control.h"
#include "graphics/widgets/list_control.h"
#include "paths/app_paths.h"
#include "platform/kernel/kernel_clock.h"
#include "support/graphics/fake_form.h"
#include "support/graphics/fake_record_set.h"
#include "support/graphics/surface_test.h"

namespace {

using fvt::test::FakeRecordSet;
using fvt::test::S;

// The lookup window's part for style 0: paging commands come to it and it runs them on the list.
class ListHolder : public Widget {
public:
    void ExecuteCommand(uint32_t command, uint32_t argument) override {
        ++commands;
        if (onCommand) {
            onCommand();
            return;
        }
        if (list) list->ExecuteCommand(command, argument);
    }
    ListControl* list = nullptr;
    int commands = 0;
    std::function<void()> onCommand;
};

class Client : public ListClient {
public:
    void OnActivate(const RecordPosition& position) override {
        activated.push_back(position.Get());
        if (onActivate) onActivate();
    }
    bool ExecuteClientCommand(uint32_t command) override {
        executed.push_back(command);
        return true;
    }
    bool TranslateEvent(InputEvent& event, uint32_t& command) override {
        if (event.Code() != translate) return false;
        command = 500;
        return true;
    }
    std::vector<int32_t> activated;
    std::vector<uint32_t> executed;
    uint32_t translate = 0xFFFF;
    std::function<void()> onActivate;
};

class ListTest : public fvt::test::SurfaceTest {
protected:
    explicit ListTest(const std::string& profile = "clock = virtual\n") : SurfaceTest(profile) {}
    void TearDown() override {
        delete list;
        if (set) set->Release();
        SurfaceTest::TearDown();
    }
    // A list of n rows with the style, in a rectangle of the surface.
    void Make(uint32_t n, int style, Rect r = Rect{10, 10, 200, 120}) {
        set = FakeRecordSet::Numbered(n);
        ShowSet(style, r);
    }
    // A list over `set` (prepared by the test) in a rectangle of the surface.
    void ShowSet(int style, Rect r = Rect{10, 10, 200, 120}) {
        list = new ListControl(nullptr, nullptr, IconHost{nullptr, 96});
        list->SetStyle(style);
        list->SetRowSource(set);
        list->SetParent(surface.get());
        Rect rest{};
        list->AdjustRect(rest, r);
        list->Show(true);
        Repaint();
    }
    bool Key(uint32_t code) {
        InputEvent e = InputEvent::Key(code);
        return list->HandleEvent(e);
    }
    int32_t Top() const { return list->Row(0) ? list->Row(0)->position.Get() : -100; }
    int32_t Last() const {
        return list->RowCount() ? list->Row(list->RowCount() - 1)->position.Get() : -100;
    }
    int32_t CurrentRecord() const {
        RecordPosition p;
        return list->GetCurrentItemExtent(p) ? p.Get() : -100;
    }
    void Check() const { EXPECT_TRUE(list->CheckInvariants()); }

    FakeRecordSet* set = nullptr;
    ListControl* list = nullptr;
};

// --- Paging -----------------------------------------------------------------------------------

TEST_F(ListTest, PageKeysTurnWholePages) {
    Make(100, 1);
    int32_t rows = list->RowCount();
    ASSERT_GT(rows, 2);
    EXPECT_EQ(Top(), 0);
    EXPECT_TRUE(Key(kKeyPageDown));
    EXPECT_EQ(Top(), rows);
    EXPECT_TRUE(Key(kKeyPageUp));
    EXPECT_EQ(Top(), 0);
    EXPECT_FALSE(Key(kKeyPageUp));  // nothing before the first page
    Check();
}

TEST_F(ListTest, PageUpFillsTheEarlierPageEvenFromAnOddTop) {
    Make(100, 1);
    int32_t rows = list->RowCount();
    ASSERT_TRUE(Key(kKeyLineDown));
    ASSERT_TRUE(Key(kKeyLineDown));
    ASSERT_TRUE(Key(kKeyPageDown));
    EXPECT_EQ(Top(), rows + 2);
    ASSERT_TRUE(Key(kKeyPageUp));
    EXPECT_EQ(Top(), 2);
    EXPECT_EQ(list->RowCount(), rows);
}

TEST_F(ListTest, PageDownStopsAtTheLastPage) {
    Make(10, 1);
    int32_t rows = list->RowCount();
    ASSERT_LT(rows, 10);
    EXPECT_TRUE(Key(kKeyPageDown));
    EXPECT_EQ(Top(), rows);
    EXPECT_EQ(Last(), 9);
    EXPECT_FALSE(Key(kKeyPageDown));
    EXPECT_EQ(Top(), rows);
}

TEST_F(ListTest, ThreeUpNeedsThreeRecordsBeforeTheFirstRow) {
    Make(100, 1);
    ASSERT_TRUE(Key(kKeyLineDown));
    ASSERT_TRUE(Key(kKeyLineDown));
    EXPECT_EQ(Top(), 2);
    EXPECT_FALSE(Key(16));  // three up with only two before: nothing
    EXPECT_EQ(Top(), 2);
    EXPECT_TRUE(Key(kKeyLineUp));  // one up still scrolls
    EXPECT_EQ(Top(), 1);
    EXPECT_TRUE(Key(15));
    EXPECT_EQ(Top(), 4);
    EXPECT_TRUE(Key(16));
    EXPECT_EQ(Top(), 1);
}

TEST_F(ListTest, ThreeDownOnAPageOfTwoRowsDoesNothing) {
    Make(100, 1, Rect{10, 10, 200, 10});
    list->SetListFont(FontStyle{-4, 0, 1});
    Repaint();
    if (list->RowCount() != 2) GTEST_SKIP() << "rows of this font do not give a page of two";
    EXPECT_FALSE(Key(15));
    EXPECT_EQ(Top(), 0);
}

TEST_F(ListTest, EmptyPageHandlesNoKeys) {
    Make(0, 1);
    for (uint32_t code : {11u, 12u, 13u, 14u, 15u, 16u, 23u, 1035u, 1036u}) {
        EXPECT_FALSE(Key(code)) << code;
    }
    Check();
}

TEST_F(ListTest, OneRecordMovesKeepTheCurrentRowOnItsRecord) {
    Make(100, 1);
    ASSERT_TRUE(Key(ListControl::kKeyItemNext));
    ASSERT_TRUE(Key(ListControl::kKeyItemNext));
    EXPECT_EQ(CurrentRecord(), 1);
    ASSERT_TRUE(Key(kKeyLineDown));
    EXPECT_EQ(list->CurrentRow(), 0u);
    EXPECT_EQ(CurrentRecord(), 1);
    ASSERT_TRUE(Key(kKeyLineDown));
    EXPECT_EQ(list->CurrentRow(), 0u);  // not below 0
    Check();
}

TEST_F(ListTest, CommandsGoToTheParentInStyleZero) {
    auto* holder = new ListHolder;
    holder->SetParent(surface.get());
    Make(100, 0);
    list->SetParent(holder);
    holder->list = list;
    ASSERT_TRUE(Key(kKeyPageDown));
    EXPECT_EQ(holder->commands, 1);
    EXPECT_GT(Top(), 0);
    list->Detach();
    delete holder;
}

TEST_F(ListTest, AParentThatClosesTheListOnAPagingCommandIsSafe) {
    auto* holder = new ListHolder;
    holder->SetParent(surface.get());
    Make(100, 0);
    list->SetParent(holder);
    holder->onCommand = [this] {
        delete list;
        list = nullptr;
    };
    auto* doomed = list;
    InputEvent e = InputEvent::Key(kKeyPageDown);
    EXPECT_FALSE(doomed->HandleEvent(e));
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(holder->commands, 1);
    delete holder;
}

TEST_F(ListTest, StyleZeroWithoutAParentRunsItsOwnCommands) {
    Make(100, 0);
    list->Detach();
    // Not drawn now, but the page still turns.
    EXPECT_FALSE(Key(kKeyPageDown) && Top() == 0);
}

// --- Item-by-item moves -----------------------------------------------------------------------

TEST_F(ListTest, ForwardFromTheLastRowTurnsThePageAtTheEnds) {
    auto* holder = new ListHolder;
    holder->SetParent(surface.get());
    Make(100, 0);
    list->SetParent(holder);
    holder->list = list;
    Repaint();
    int32_t rows = list->RowCount();
    for (int32_t i = 0; i < rows; ++i) ASSERT_TRUE(Key(ListControl::kKeyItemNext));
    EXPECT_EQ(list->CurrentRow(), static_cast<uint32_t>(rows - 1));
    ASSERT_TRUE(Key(ListControl::kKeyItemNext));
    EXPECT_EQ(Top(), rows);
    EXPECT_EQ(list->CurrentRow(), 0u);
    ASSERT_TRUE(Key(ListControl::kKeyItemPrevious));
    EXPECT_EQ(Top(), 0);
    EXPECT_EQ(list->CurrentRow(), static_cast<uint32_t>(list->RowCount() - 1));
    Check();
    list->Detach();
    delete holder;
}

TEST_F(ListTest, AtTheVeryEndTheCurrentRowStays) {
    auto* holder = new ListHolder;
    holder->SetParent(surface.get());
    Make(3, 0);
    list->SetParent(holder);
    holder->list = list;
    Repaint();
    ASSERT_EQ(list->RowCount(), 3);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(Key(ListControl::kKeyItemNext));
    EXPECT_FALSE(Key(ListControl::kKeyItemNext));
    EXPECT_EQ(list->CurrentRow(), 2u);
    Check();
    list->Detach();
    delete holder;
}

TEST_F(ListTest, WithoutPagingAtTheEndsTheEdgeRowStaysCurrentAndTheListScrolls) {
    Make(100, 1);
    int32_t rows = list->RowCount();
    for (int32_t i = 0; i < rows; ++i) ASSERT_TRUE(Key(ListControl::kKeyItemNext));
    ASSERT_TRUE(Key(ListControl::kKeyItemNext));
    EXPECT_EQ(Top(), 1);
    EXPECT_EQ(list->CurrentRow(), static_cast<uint32_t>(rows - 1));
    EXPECT_EQ(CurrentRecord(), rows);
    Check();
    // Back at the top edge: the list scrolls back under row 0.
    for (int32_t i = 0; i < rows; ++i) Key(ListControl::kKeyItemPrevious);
    EXPECT_EQ(Top(), 0);
    EXPECT_EQ(list->CurrentRow(), 0u);
    Check();
}

TEST_F(ListTest, RowsThatCannotBeCurrentAreSkipped) {
    set = FakeRecordSet::Numbered(20);
    set->entries[1].info.bytes[3] = 1;
    ShowSet(1);
    ASSERT_TRUE(Key(ListControl::kKeyItemNext));
    ASSERT_TRUE(Key(ListControl::kKeyItemNext));
    EXPECT_EQ(CurrentRecord(), 2);
}

// --- Activation and the client ----------------------------------------------------------------

TEST_F(ListTest, ActivationNeedsACurrentRowAndTellsTheClient) {
    Make(10, 1);
    Client client;
    list->SetClient(&client);
    EXPECT_FALSE(Key(kKeyActivate));
    ASSERT_TRUE(Key(ListControl::kKeyItemNext));
    ASSERT_TRUE(Key(ListControl::kKeyItemNext));
    EXPECT_TRUE(Key(kKeyActivate));
    ASSERT_EQ(client.activated.size(), 1u);
    EXPECT_EQ(client.activated[0], 1);
}

TEST_F(ListTest, AClientThatClosesTheListOnActivationIsSafe) {
    Make(10, 1);
    Client client;
    list->SetClient(&client);
    client.onActivate = [this] {
        delete list;
        list = nullptr;
    };
    ASSERT_TRUE(Key(ListControl::kKeyItemNext));
    InputEvent e = InputEvent::Key(kKeyActivate);
    EXPECT_TRUE(list->HandleEvent(e));
    EXPECT_EQ(list, nullptr);
}

TEST_F(ListTest, TheClientTranslatesEventsFirst) {
    Make(10, 1);
    Client client;
    client.translate = kKeyPageDown;
    list->SetClient(&client);
    EXPECT_TRUE(Key(kKeyPageDown));
    EXPECT_EQ(client.executed, std::vector<uint32_t>{500});
    EXPECT_EQ(Top(), 0);
}

TEST_F(ListTest, KeyRowsAreReadInTheStylesColumn) {
    Make(100, 1);
    uint32_t row[kKeyRowColumns] = {};
    row[6] = kKeyPageDown;
    row[7] = kKeyPageUp;
    InputEvent e = InputEvent::Row(row);
    EXPECT_TRUE(list->HandleEvent(e));
    EXPECT_GT(Top(), 0);
}

// --- Scroll buttons ---------------------------------------------------------------------------

TEST_F(ListTest, ScrollButtonClicksAccelerateAndAPauseResets) {
    Make(1000, 1);
    ButtonControl* down = list->DownButton();
    ASSERT_NE(down, nullptr);
    std::vector<int32_t> steps;
    for (int i = 0; i < 9; ++i) {
        int32_t before = Top();
        list->OnControlEvent(down, 1, 0, nullptr);
        steps.push_back(Top() - before);
    }
    EXPECT_EQ(steps, (std::vector<int32_t>{1, 1, 1, 1, 1, 1, 1, 2, 2}));
    list->OnControlEvent(down, 6, 0, nullptr);
    int32_t before = Top();
    list->OnControlEvent(down, 1, 0, nullptr);
    EXPECT_EQ(Top() - before, 1);
    for (int i = 0; i < 20; ++i) list->OnControlEvent(down, 1, 0, nullptr);
    fvt::AdvanceClock(ListControl::kRepeatGapMs + 1);
    before = Top();
    list->OnControlEvent(down, 1, 0, nullptr);
    EXPECT_EQ(Top() - before, 1);
}

TEST_F(ListTest, ScrollButtonStepsAreCapped) {
    Make(100000, 1);
    ButtonControl* down = list->DownButton();
    ASSERT_NE(down, nullptr);
    int32_t step = 0;
    for (int i = 0; i < 300; ++i) {
        int32_t before = Top();
        list->OnControlEvent(down, 1, 0, nullptr);
        step = Top() - before;
    }
    EXPECT_EQ(step, static_cast<int32_t>(ListControl::kMaxRepeat / 8 + 1));
}

TEST_F(ListTest, UpButtonScrollsBackAndKeepsCurrentRowOnTheSameRecord) {
    Make(100, 1);
    ButtonControl* up = list->UpButton();
    ASSERT_NE(up, nullptr);
    EXPECT_FALSE(list->CanScrollUp());
    EXPECT_TRUE(list->CanScrollDown());
    ASSERT_TRUE(Key(kKeyLineDown));
    ASSERT_TRUE(Key(kKeyLineDown));
    ASSERT_TRUE(Key(ListControl::kKeyItemNext));
    EXPECT_EQ(CurrentRecord(), 2);
    EXPECT_TRUE(list->CanScrollUp());
    list->OnControlEvent(up, 1, 0, nullptr);
    EXPECT_EQ(Top(), 1);
    EXPECT_EQ(CurrentRecord(), 2);
    Check();
}

TEST_F(ListTest, ButtonsTakeTheRightStripAndRowsStopBeforeIt) {
    Make(10, 1);
    ButtonControl* up = list->UpButton();
    ASSERT_NE(up, nullptr);
    Rect r{};
    up->GetRect(r);
    EXPECT_EQ(r.Right(), list->Bounds().Right());
    EXPECT_EQ(r.height, list->Bounds().height / 2);
    for (int32_t i = 0; i < list->RowCount(); ++i) EXPECT_LE(list->Row(i)->rowArea.Right(), r.x);
}

// --- Rows -------------------------------------------------------------------------------------

TEST_F(ListTest, MixedRowHeightsFillThePageAndTheLastThatDoesNotFitIsDropped) {
    set = FakeRecordSet::Numbered(50);
    for (size_t i = 0; i < set->entries.size(); i += 3) set->entries[i].info.bytes[4] = 1;
    ShowSet(1, Rect{10, 10, 200, 121});
    int32_t used = 0;
    int32_t small = 0, large = 0;
    for (int32_t i = 0; i < list->RowCount(); ++i) {
        const Rect& r = list->Row(i)->rowArea;
        used += r.height;
        (i % 3 == 0 ? small : large) = r.height;
        EXPECT_EQ(r.y, list->Bounds().y + used - r.height);  // rows stack without gaps
    }
    EXPECT_LT(small, large);
    EXPECT_LE(used, 121);
    int32_t next = list->RowCount() % 3 == 0 ? small : large;
    EXPECT_GT(used + next, 121);
    // Backward from the last record gives a page ending there.
    ASSERT_TRUE(Key(kKeyPageDown));
    Check();
}

TEST_F(ListTest, ARowTallerThanTheListIsStillShownClipped) {
    Make(10, 1, Rect{10, 10, 200, 6});
    EXPECT_EQ(list->RowCount(), 1);
    EXPECT_TRUE(Key(kKeyPageDown));
    EXPECT_EQ(Top(), 1);
}

TEST_F(ListTest, EmptyDisplayTextGetsARowOneSpaceWide) {
    set = FakeRecordSet::Numbered(3);
    set->entries[0].text.clear();
    ShowSet(1);
    ASSERT_EQ(list->RowCount(), 3);
    EXPECT_GT(list->Row(0)->textArea.width, 0);
    EXPECT_LT(list->Row(0)->textArea.width, list->Row(1)->textArea.width);
}

TEST_F(ListTest, FitTextCutsWithAnEllipsisOnlyWhenMoreThanThreeFit) {
    Make(1, 1);
    DrawScope scope(surface.get());
    GraphicsContext* gc = scope.Context();
    ASSERT_NE(gc, nullptr);
    gc->SetFontStyle(list->ListFont());
    String text = S("abcdefghijklmnopqrstuvwxyz");
    Size whole{}, three{};
    gc->MeasureText(text.Data(), text.Length(), whole);
    gc->MeasureText(text.Data(), 3, three);
    String out;
    Size size{};
    bool fits = false, complete = true;
    // Room for three characters: cut there, no ellipsis.
    list->FitText(gc, text, Rect{0, 0, three.width, 100}, out, size, fits, complete, true);
    EXPECT_EQ(fvt::test::A(out), "abc");
    EXPECT_FALSE(complete);
    EXPECT_TRUE(fits);
    // Room for most of it: an ellipsis ends a shorter text, all within the width.
    list->FitText(gc, text, Rect{0, 0, whole.width / 2, 100}, out, size, fits, complete, true);
    std::string a = fvt::test::A(out);
    ASSERT_GT(a.size(), 3u);
    EXPECT_EQ(a.substr(a.size() - 3), "...");
    EXPECT_LE(size.width, whole.width / 2);
    // All of it: complete and unchanged.
    list->FitText(gc, text, Rect{0, 0, whole.width, 100}, out, size, fits, complete, true);
    EXPECT_TRUE(complete);
    EXPECT_EQ(fvt::test::A(out), fvt::test::A(text));
    // Not cutting measures everything.
    list->FitText(gc, text, Rect{0, 0, 1, 1}, out, size, fits, complete, false);
    EXPECT_EQ(size.width, whole.width);
}

TEST_F(ListTest, FitTextDropsThreeMoreWhenNoEllipsisCandidateFits) {
    // The box font draws every character alike; a real face has dots wider than its i.
    GdiUseSyntheticFonts(false);
    Make(1, 1);
    DrawScope scope(surface.get());
    GraphicsContext* gc = scope.Context();
    ASSERT_NE(gc, nullptr);
    gc->SetFontStyle(list->ListFont());
    // "..." is wider than three "i": with room for seven "i" no candidate fits.
    String text = S("iiiiiiiiiiiiiiiiiiii");
    Size seven{}, dots{};
    gc->MeasureText(text.Data(), 7, seven);
    gc->MeasureText(u"iiii...", 7, dots);
    if (dots.width <= seven.width) GTEST_SKIP() << "the font's dots are as narrow as its i";
    String out;
    Size size{};
    bool fits = false, complete = true;
    list->FitText(gc, text, Rect{0, 0, seven.width, 100}, out, size, fits, complete, true);
    EXPECT_EQ(fvt::test::A(out), "iiii");
}

TEST_F(ListTest, FitTextNeverSplitsASurrogatePair) {
    Make(1, 1);
    DrawScope scope(surface.get());
    GraphicsContext* gc = scope.Context();
    ASSERT_NE(gc, nullptr);
    gc->SetFontStyle(list->ListFont());
    const char16_t chars[] = u"ab\U0001D11Ecd";
    String text(chars, 6);
    for (int32_t width = 1; width < 200; width += 3) {
        String out;
        Size size{};
        bool fits = false, complete = false;
        list->FitText(gc, text, Rect{0, 0, width, 100}, out, size, fits, complete, true);
        if (out.Length() > 0 && out.Length() <= 3) {
            char16_t last = out.At(out.Length() - 1);
            EXPECT_FALSE(last >= 0xD800 && last <= 0xDBFF) << width;
        }
    }
}

TEST_F(ListTest, LabelColumnIsAsWideAsXWhenNoRecordHasALabel) {
    Make(5, 4);
    DrawScope scope(surface.get());
    GraphicsContext* gc = scope.Context();
    ASSERT_NE(gc, nullptr);
    FontStyle small = list->ListFont();
    small.size = static_cast<int8_t>(small.size - (small.size >> 2));
    small.flags &= static_cast<uint8_t>(~4u);
    gc->SetFontStyle(small);
    Size x{};
    gc->MeasureText(u"X", 1, x);
    ASSERT_GT(list->RowCount(), 0);
    // The rows' content starts after the label column.
    EXPECT_EQ(list->Row(0)->rowArea.x, list->Bounds().x + x.width + 8);
}

TEST_F(ListTest, EmptyListShowsItsMessageAThirdDownUnlessStyleTwo) {
    Make(0, 1);
    Rect b = list->Bounds();
    int32_t y = b.y + b.height / 3;
    EXPECT_GT(CountPixels(Rect{b.x, y, b.width, 14}, 0), 5);
    EXPECT_EQ(CountPixels(Rect{b.x, b.y, b.width, b.height / 3 - 1}, 0), 0);
    Snapshot("list_empty_en");
    list->SetStyle(2);
    Repaint();
    EXPECT_EQ(CountPixels(Rect{b.x, y, b.width, 14}, 0), 0);
}

TEST_F(ListTest, SelectionColoursMarkOnlyTheCurrentRow) {
    Make(10, 1);
    uint32_t selected = 0;
    UiColors::Get(selected, 39);
    ASSERT_TRUE(Key(ListControl::kKeyItemNext));
    ASSERT_TRUE(Key(ListControl::kKeyItemNext));
    Repaint();
    Rect r0 = list->Row(0)->rowArea, r1 = list->Row(1)->rowArea;
    Rect inner0{r0.x + 1, r0.y + 1, r0.width - 2, r0.height - 2};
    Rect inner1{r1.x + 1, r1.y + 1, r1.width - 2, r1.height - 2};
    EXPECT_EQ(CountPixels(inner0, selected), 0);
    EXPECT_GT(CountPixels(inner1, selected), inner1.width * inner1.height / 2);
    // Moving repaints the listed rows only: the mark follows.
    ASSERT_TRUE(Key(ListControl::kKeyItemPrevious));
    fvt::RunUntilIdle();
    EXPECT_GT(CountPixels(inner0, selected), inner0.width * inner0.height / 2);
    EXPECT_EQ(CountPixels(inner1, selected), 0);
    Snapshot("list_selected_en");
}

// --- Icon cache -------------------------------------------------------------------------------

TEST_F(ListTest, SeventhIconEvictsTheLeastRecentlyUsedAndZeroIsNeverCached) {
    Make(1, 3);
    Size size{};
    EXPECT_EQ(list->GetIconImage(0, size), nullptr);
    for (int i = 0; i < ListControl::kIconCacheSize; ++i) EXPECT_EQ(list->CachedIconId(i), 0u);
    for (uint32_t id = 226; id <= 231; ++id) list->GetIconImage(id, size);
    list->GetIconImage(226, size);  // 227 is now the oldest
    list->GetIconImage(233, size);
    std::vector<uint32_t> ids;
    for (int i = 0; i < ListControl::kIconCacheSize; ++i) ids.push_back(list->CachedIconId(i));
    EXPECT_EQ(std::count(ids.begin(), ids.end(), 227u), 0);
    EXPECT_EQ(std::count(ids.begin(), ids.end(), 226u), 1);
    EXPECT_EQ(std::count(ids.begin(), ids.end(), 233u), 1);
    Check();
}

TEST_F(ListTest, IconsGiveTheRowTheirHeight) {
    set = FakeRecordSet::Numbered(3);
    set->entries[1].icons = 226;
    ShowSet(3);
    Size icon{};
    ASSERT_NE(list->GetIconImage(226, icon), nullptr);
    EXPECT_GE(list->Row(1)->rowArea.height, icon.height);
    EXPECT_EQ(list->Row(1)->iconArea.width, icon.width + 2 * list->Margin());
}

// --- Centring ---------------------------------------------------------------------------------

TEST_F(ListTest, ShowRecordCentresTheRecordAndMakesItCurrent) {
    Make(100, 1);
    int32_t rows = list->RowCount();
    list->ShowRecord(nullptr, RecordPosition::At(50), true);
    EXPECT_EQ(CurrentRecord(), 50);
    int32_t row = static_cast<int32_t>(list->CurrentRow());
    EXPECT_GE(row, rows / 2 - 1);
    EXPECT_LE(row, rows / 2 + 1);
    Check();
}

TEST_F(ListTest, ShowRecordNearTheEndsLeavesTheLeastEmptySpace) {
    Make(100, 1);
    int32_t rows = list->RowCount();
    list->ShowRecord(nullptr, RecordPosition::At(98), true);
    EXPECT_EQ(CurrentRecord(), 98);
    EXPECT_EQ(Last(), 99);
    EXPECT_EQ(list->RowCount(), rows);
    list->ShowRecord(nullptr, RecordPosition::At(1), true);
    EXPECT_EQ(Top(), 0);
    EXPECT_EQ(CurrentRecord(), 1);
}

TEST_F(ListTest, ShowRecordWhileHiddenWaitsForTheNextDraw) {
    Make(100, 1);
    list->Show(false);
    list->ShowRecord(nullptr, RecordPosition::At(40), true);
    EXPECT_EQ(Top(), 0);
    list->Show(true);
    Repaint();
    EXPECT_EQ(CurrentRecord(), 40);
}

// --- Saved state ------------------------------------------------------------------------------

TEST_F(ListTest, StateRoundTripsTopRowAndPart) {
    Make(100, 1);
    ASSERT_TRUE(Key(kKeyPageDown));
    ASSERT_TRUE(Key(ListControl::kKeyItemNext));
    ASSERT_TRUE(Key(ListControl::kKeyItemNext));
    int32_t top = Top();
    ByteStream s;
    ASSERT_TRUE(list->SaveState(s));
    EXPECT_EQ(s.Size(), 12u);
    EXPECT_EQ(s.Data()[0], static_cast<uint8_t>(top));  // little-endian
    ASSERT_TRUE(Key(kKeyPageUp));
    ASSERT_TRUE(list->RestoreState(s));
    EXPECT_EQ(Top(), top);
    EXPECT_EQ(CurrentRecord(), top + 1);
    Check();
}

TEST_F(ListTest, ShortOrOutOfRangeStatesAreRefused) {
    Make(10, 1);
    uint8_t eleven[11] = {};
    ByteStream s;
    s.WriteBytes(eleven, 11);
    EXPECT_FALSE(list->RestoreState(s));
    EXPECT_EQ(s.ReadPosition(), 0u);
    ByteStream past;
    uint8_t words[12] = {10, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
    past.WriteBytes(words, 12);
    EXPECT_FALSE(list->RestoreState(past));
    EXPECT_EQ(Top(), 0);
    // A current row past the page restores as none.
    ByteStream far;
    uint8_t farWords[12] = {2, 0, 0, 0, 200, 0, 0, 0, 1, 0, 0, 0};
    far.WriteBytes(farWords, 12);
    EXPECT_TRUE(list->RestoreState(far));
    EXPECT_EQ(Top(), 2);
    EXPECT_EQ(list->CurrentRow(), ListControl::kNoRow);
    Check();
}

// --- Record sets that change -----------------------------------------------------------------

TEST_F(ListTest, ASetThatShrinksWhileShownGivesAShorterPage) {
    Make(100, 1);
    ASSERT_TRUE(Key(kKeyPageDown));
    ASSERT_TRUE(Key(ListControl::kKeyItemNext));
    set->entries.resize(3);
    Repaint();
    // The top now lies past the end: the page starts again from the first record.
    EXPECT_EQ(list->RowCount(), 3);
    EXPECT_EQ(Top(), 0);
    Check();
    set->entries.clear();
    Repaint();
    EXPECT_EQ(list->RowCount(), 0);
    EXPECT_EQ(list->CurrentRow(), ListControl::kNoRow);
    EXPECT_FALSE(Key(kKeyPageDown));
}

TEST_F(ListTest, ContentSizeWalksEveryRecordAndAnEmptySetStillHasARowHeight) {
    Make(5, 1);
    Size size{};
    int32_t minimum = 0, strip = 0;
    list->GetContentSize(size, minimum, strip, nullptr);
    EXPECT_GT(minimum, 0);
    EXPECT_EQ(size.height, 5 * minimum);
    EXPECT_GT(strip, 0);
    set->entries.clear();
    list->GetContentSize(size, minimum, strip, nullptr);
    EXPECT_GT(minimum, 0);
    EXPECT_EQ(size.height, 0);
}

TEST_F(ListTest, PreferredSizeIsRowsOfLinesAndColumnsOfM) {
    Make(5, 1);
    Size a{}, b{};
    int32_t line = 0, strip = 0;
    list->GetPreferredSize(a, 4, 10, line, strip, nullptr);
    list->GetPreferredSize(b, 8, 20, line, strip, nullptr);
    EXPECT_GT(line, 0);
    EXPECT_EQ(a.height, 4 * line);
    EXPECT_EQ(b.height, 8 * line);
    EXPECT_EQ((b.width - strip), 2 * (a.width - strip));
}

TEST_F(ListTest, LabelsIconsAndTheCurrentRowAsAReaderSeesThem) {
    GdiUseSyntheticFonts(false);
    set = FakeRecordSet::Numbered(30);
    const char* words[] = {"abandon",  "abbey", "abbreviation",
                           "abdicate", "abide", "ability to do something very long indeed",
                           "able"};
    for (size_t i = 0; i < set->entries.size(); ++i) {
        set->entries[i].text = words[i % 7];
        set->entries[i].label = i % 2 ? "n." : "v.";
        set->entries[i].icons = i % 3 ? 0 : 226;
    }
    set->entries[2].info.bytes[0] = 1;
    ShowSet(4, Rect{0, 0, 240, 180});
    list->SetHighlighted(true);
    Repaint();
    ASSERT_TRUE(Key(ListControl::kKeyItemNext));
    ASSERT_TRUE(Key(ListControl::kKeyItemNext));
    fvt::RunUntilIdle();
    Snapshot("list_rows_en");
    ASSERT_GT(list->RowCount(), 3);
    // The long text is cut inside its row.
    for (int32_t i = 0; i < list->RowCount(); ++i)
        EXPECT_LE(list->Row(i)->textArea.Right(), list->Row(i)->rowArea.Right());
    Check();
}

class ListTestFrench : public ListTest {
protected:
    ListTestFrench() : ListTest("clock = virtual\nlanguage = fr\n") {}
};

TEST_F(ListTestFrench, EmptyMessageComesFromTheFrenchTable) {
    Make(0, 1);
    Rect b = list->Bounds();
    EXPECT_GT(CountPixels(Rect{b.x, b.y + b.height / 3, b.width, 14}, 0), 5);
    Snapshot("list_empty_fr");
}

}  // namespace
