// The select control in both modes: options and their record set, the saved state text, sizes
// that follow the options, the drop-down opened, placed, navigated, chosen and cancelled, and
// the re-entrant paths of opening it (deactivation, focus, destruction while open).
#include <gtest/gtest.h>

#include "graphics/controls/button_control.h"
#include "graphics/controls/select_control.h"
#include "graphics/controls/text_entry_control.h"
#include "support/graphics/fake_form.h"
#include "support/graphics/fake_record_set.h"
#include "support/graphics/surface_test.h"

namespace {

using fvt::test::A;
using fvt::test::FakeRecordSet;
using fvt::test::S;

class Events : public ControlListener {
public:
    void OnControlEvent(FormControl*, uint32_t eventId, uint32_t, const Rect*) override {
        ids.push_back(eventId);
        if (then) then();
    }
    std::vector<uint32_t> ids;
    std::function<void()> then;
};

class SelectTest : public fvt::test::SurfaceTest {
protected:
    explicit SelectTest(const std::string& profile = "clock = virtual\n") : SurfaceTest(profile) {}
    void TearDown() override {
        if (select) select->Release();
        SurfaceTest::TearDown();
    }
    // A select of the given rows with options "one", "two", ... placed at r.
    void Make(int32_t rows, int options, Rect r = Rect{20, 40, 120, 24}) {
        select = new SelectControl(surface.get(), nullptr, nullptr, IconHost{nullptr, 96});
        select->SetRows(rows);
        const char* names[] = {"one",   "two",   "three", "four", "five",   "six",
                               "seven", "eight", "nine",  "ten",  "eleven", "twelve"};
        for (int i = 0; i < options; ++i)
            select->AddOption(S(names[i % 12]), S((std::string("v") + names[i % 12]).c_str()));
        select->SetListener(&events);
        select->SetParent(surface.get());
        select->SetRect(r, 0xFFFFFF);
        select->Show(true);
        Repaint();
    }
    SelectList* List() const { return select->ListPart(); }
    bool ListKey(uint32_t code) {
        InputEvent e = InputEvent::Key(code);
        return List()->List()->HandleEvent(e);
    }
    Size Measured() {
        DrawScope scope(surface.get());
        Size size{}, minimum{};
        uint8_t a = 0, b = 0;
        uint32_t baseline = 0;
        select->Measure(size, a, scope.Context(), b, baseline, minimum);
        return size;
    }

    fvt::test::FakeForm form;
    SelectControl* select = nullptr;
    Events events;
};

// --- Modes and options ------------------------------------------------------------------------

TEST_F(SelectTest, SizeOneShowsTheTextAndTheArrowButton) {
    Make(1, 3);
    EXPECT_TRUE(select->IsDropDownMode());
    EXPECT_TRUE(select->TextPart()->IsShown());
    EXPECT_TRUE(select->ButtonPart()->IsShown());
    EXPECT_FALSE(List()->IsShown());
    EXPECT_GT(select->ButtonWidth(), 6);
    Rect text{}, button{};
    select->TextPart()->GetRect(text);
    select->ButtonPart()->GetRect(button);
    EXPECT_EQ(text.width, 120 - select->ButtonWidth() - 2);
    EXPECT_EQ(button.x, text.Right());
}

TEST_F(SelectTest, SizeFourShowsTheListInPlaceWithFourRows) {
    Make(4, 10, Rect{20, 40, 120, 80});
    EXPECT_FALSE(select->IsDropDownMode());
    EXPECT_TRUE(List()->IsShown());
    Size size = Measured();
    EXPECT_EQ(size.height, 4 * List()->RowHeight() + 2);
    EXPECT_GT(List()->List()->RowCount(), 0);
}

TEST_F(SelectTest, ANarrowDropDownGivesTheTextPartNoNegativeWidth) {
    Make(1, 3, Rect{20, 40, 4, 24});
    Rect text{};
    select->TextPart()->GetRect(text);
    EXPECT_EQ(text.width, 0);
}

TEST_F(SelectTest, NothingIsSelectedAtFirstAndOutOfRangeChoicesAreIgnored) {
    Make(1, 3);
    EXPECT_EQ(List()->Position().Get(), -2);
    String value;
    EXPECT_FALSE(select->GetSubmitValue(0, value));
    select->SelectOption(7, true);
    EXPECT_EQ(List()->Position().Get(), -2);
    select->SelectOption(1, true);
    EXPECT_EQ(List()->Position().Get(), 1);
    EXPECT_EQ(A(select->TextPart()->Value()), "two");
    ASSERT_TRUE(select->GetSubmitValue(0, value));
    EXPECT_EQ(A(value), "vtwo");
    // Only one option stays selected.
    select->SelectOption(2, true);
    EXPECT_FALSE(List()->Option(1)->selected);
    EXPECT_TRUE(List()->Option(2)->selected);
}

TEST_F(SelectTest, ClearingOptionsLeavesNoSelectionAndAnEmptyList) {
    Make(4, 5, Rect{20, 40, 120, 80});
    select->SelectOption(3, true);
    select->ClearOptions();
    EXPECT_EQ(List()->Position().Get(), -2);
    EXPECT_EQ(List()->OptionCount(), 0);
    EXPECT_TRUE(select->AddOption(S("again"), S("a")));
    ASSERT_NE(List()->Model(), nullptr);
    EXPECT_EQ(List()->Model()->Count(), 1u);
}

TEST_F(SelectTest, SizesFollowTheOptions) {
    Make(1, 2);
    Size before = Measured();
    select->AddOption(S("a much longer option label than before"), S("x"));
    Size after = Measured();
    EXPECT_GT(after.width, before.width);
    select->ClearOptions();
    select->AddOption(S("a"), S("a"));
    EXPECT_LT(Measured().width, after.width);
}

TEST_F(SelectTest, AnEmptyListStillMeasuresWithoutDividingByZero) {
    Make(4, 0, Rect{20, 40, 120, 80});
    DrawScope scope(surface.get());
    Size size{}, minimum{};
    uint8_t a = 0, b = 0;
    uint32_t baseline = 0;
    EXPECT_TRUE(List()->Measure(size, a, scope.Context(), b, baseline, minimum));
    EXPECT_GT(List()->RowHeight(), 0);
    EXPECT_GT(size.height, 2);
}

// --- Saved state ------------------------------------------------------------------------------

TEST_F(SelectTest, StateOfKindNSelectsTheOption) {
    Make(1, 3);
    EXPECT_TRUE(select->RestoreState(S("N2;abc")));
    EXPECT_EQ(List()->Position().Get(), 2);
    EXPECT_EQ(List()->RestoredIndex(), 2u);
    EXPECT_EQ(A(select->TextPart()->Value()), "three");
    String saved;
    ASSERT_TRUE(select->SaveState(saved));
    EXPECT_EQ(A(saved), "N2;vthree");
}

TEST_F(SelectTest, MalformedStatesAreRejected) {
    Make(1, 3);
    for (const char* bad : {"X2;abc", "N-1;abc", "N2abc", "N9;abc", ""}) {
        EXPECT_FALSE(select->RestoreState(S(bad))) << bad;
        EXPECT_EQ(List()->Position().Get(), -2) << bad;
    }
    String saved;
    EXPECT_FALSE(select->SaveState(saved));  // nothing selected: nothing saved
}

TEST_F(SelectTest, ARecordSetListWithoutSelectionSavesIndexZeroAndItsQuery) {
    Make(4, 3, Rect{20, 40, 120, 80});
    FakeRecordSet* rows = FakeRecordSet::Numbered(20);
    List()->UseRecordSet(rows, S("SELECT * FROM words"));
    rows->Release();
    EXPECT_TRUE(List()->IsRecordSetMode());
    EXPECT_EQ(List()->OptionCount(), 0);
    EXPECT_EQ(List()->Position().Get(), -1);
    String saved;
    ASSERT_TRUE(select->SaveState(saved));
    EXPECT_EQ(A(saved), "I0;SELECT * FROM words");
    String value;
    EXPECT_FALSE(select->GetSubmitValue(0, value));
}

TEST_F(SelectTest, AFailedQueryKeepsTheRecordSetOrFallsBackToAnEmptyList) {
    Make(4, 0, Rect{20, 40, 120, 80});
    EXPECT_EQ(select->SetQuery(S("SELECT * FROM nosuch")), 20);
    EXPECT_FALSE(List()->IsRecordSetMode());
    ASSERT_NE(List()->Model(), nullptr);
    EXPECT_EQ(List()->Model()->Count(), 0u);
    FakeRecordSet* rows = FakeRecordSet::Numbered(5);
    List()->UseRecordSet(rows, S("SELECT * FROM words"));
    rows->Release();
    EXPECT_NE(select->SetQuery(S("SELECT garbage")), 0);
    EXPECT_TRUE(List()->IsRecordSetMode());
    EXPECT_EQ(List()->Model()->Count(), 5u);
    // A state whose query fails is refused.
    EXPECT_FALSE(select->RestoreState(S("I1;SELECT * FROM nosuch")));
}

// --- The drop-down ----------------------------------------------------------------------------

TEST_F(SelectTest, TheDropDownOpensBelowTheControl) {
    GdiUseSyntheticFonts(false);
    Make(1, 3);
    select->SelectOption(1, true);
    ASSERT_TRUE(select->OpenDropDown(true));
    ASSERT_TRUE(List()->IsDropDownOpen());
    Rect r{};
    List()->GetRect(r);
    EXPECT_EQ(r.y, 40 + 24);
    EXPECT_EQ(r.x, 20);
    EXPECT_EQ(r.width, 120);
    EXPECT_TRUE(List()->IsShown());
    Snapshot("select_open_en");
    // Opening twice changes nothing.
    EXPECT_TRUE(select->OpenDropDown(true));
    EXPECT_TRUE(select->Widget::CheckInvariants());
}

TEST_F(SelectTest, ADropDownThatDoesNotFitBelowOpensAbove) {
    Make(1, 5, Rect{20, 160, 120, 24});
    ASSERT_TRUE(select->OpenDropDown(true));
    Rect r{};
    List()->GetRect(r);
    EXPECT_EQ(r.Bottom(), 160);
}

TEST_F(SelectTest, ADropDownThatFitsNeitherWayIsCutAtTheTop) {
    Make(1, 40, Rect{20, 90, 120, 24});
    ASSERT_TRUE(select->OpenDropDown(true));
    Rect r{}, work{};
    List()->GetRect(r);
    ASSERT_TRUE(List()->DropDown()->ClientAreaIn(work, nullptr));
    EXPECT_EQ(r.y, work.y + 2);
    EXPECT_EQ(r.height, work.height - 4);
}

TEST_F(SelectTest, KeyCloseShutsTheDropDownWithoutAChoice) {
    Make(1, 3);
    select->SelectOption(1, true);
    ASSERT_TRUE(select->OpenDropDown(true));
    EXPECT_EQ(List()->List()->CurrentRow(), 1u);  // the chosen row is shown current
    EXPECT_TRUE(ListKey(kKeyClose));
    EXPECT_FALSE(List()->IsDropDownOpen());
    EXPECT_EQ(List()->Position().Get(), 1);
    EXPECT_EQ(events.ids, std::vector<uint32_t>{kFormEventDropDownClosed});
}

TEST_F(SelectTest, ATapBesideTheOpenDropDownClosesItWithoutAChoice) {
    Make(1, 3, Rect{20, 40, 120, 24});
    select->SelectOption(1, true);
    ASSERT_TRUE(select->OpenDropDown(true));
    Tap(180, 10);  // above the control, beside its list
    EXPECT_FALSE(List()->IsDropDownOpen());
    EXPECT_EQ(List()->Position().Get(), 1);
    EXPECT_EQ(events.ids, std::vector<uint32_t>{kFormEventDropDownClosed});
    // Closed, the control opens again as before.
    EXPECT_TRUE(select->OpenDropDown(true));
}

TEST_F(SelectTest, DirectionKeysInAnOpenDropDownChooseTheCurrentRow) {
    Make(1, 3);
    select->SelectOption(0, true);
    ASSERT_TRUE(select->OpenDropDown(true));
    // The list under the drop-down moved on (a tap or a scroll) before the key.
    List()->List()->ShowRecord(nullptr, RecordPosition::At(2), true);
    EXPECT_TRUE(ListKey(kKeyRight));
    EXPECT_FALSE(List()->IsDropDownOpen());
    EXPECT_EQ(List()->Position().Get(), 2);
    EXPECT_EQ(A(select->TextPart()->Value()), "three");
    EXPECT_EQ(events.ids, std::vector<uint32_t>{kFormEventChange});
}

TEST_F(SelectTest, ActivatingARowChoosesItAndShowsItsLabel) {
    Make(1, 3);
    ASSERT_TRUE(select->OpenDropDown(true));
    List()->OnActivate(RecordPosition::At(2));
    EXPECT_FALSE(List()->IsDropDownOpen());
    EXPECT_EQ(List()->Position().Get(), 2);
    EXPECT_EQ(A(select->TextPart()->Value()), "three");
    EXPECT_EQ(events.ids, std::vector<uint32_t>{kFormEventChange});
}

TEST_F(SelectTest, AChoiceMadeWithKeysReachesTheScreenThroughABackBuffer) {
    fvt::test::BackBufferDisplay display(surface.get());
    Make(1, 3);
    select->SelectOption(0, true);
    Repaint();
    Rect text = select->TextPart()->ControlRect();
    std::vector<uint32_t> before = Pixels(text);
    ASSERT_TRUE(select->OpenDropDown(true));
    List()->List()->ShowRecord(nullptr, RecordPosition::At(1), true);
    EXPECT_TRUE(ListKey(kKeyActivate));
    fvt::RunUntilIdle();
    ASSERT_FALSE(List()->IsDropDownOpen());
    ASSERT_EQ(A(select->TextPart()->Value()), "two");
    std::vector<uint32_t> shown = Pixels(text);
    EXPECT_NE(shown, before);
    // What a full redraw of the page gives is what the screen already showed.
    Repaint();
    EXPECT_EQ(Pixels(text), shown);
}

TEST_F(SelectTest, ListBoxKeysCloseNothingAndPagesStayTheLists) {
    Make(4, 10, Rect{20, 40, 120, 80});
    EXPECT_FALSE(ListKey(kKeyClose));
    EXPECT_FALSE(ListKey(kKeyLeft));
    EXPECT_TRUE(ListKey(ListControl::kKeyItemNext));
    EXPECT_TRUE(events.ids.empty());
    EXPECT_TRUE(ListKey(kKeyPageDown));
}

TEST_F(SelectTest, TheActivateCodeOpensTheDropDownAndTheButtonToo) {
    Make(1, 3);
    uint32_t row[kKeyRowColumns] = {};
    row[ButtonControl::kKeyColumn] = kKeyActivate;
    InputEvent e = InputEvent::Row(row);
    EXPECT_TRUE(select->HandleEvent(e));
    EXPECT_TRUE(List()->IsDropDownOpen());
    List()->CloseDropDown();
    select->OnControlEvent(select->ButtonPart(), kFormEventClick, 0, nullptr);
    EXPECT_TRUE(List()->IsDropDownOpen());
}

TEST_F(SelectTest, DeactivationOrFocusLossClosesAnOpenDropDown) {
    Make(1, 3);
    ASSERT_TRUE(select->OpenDropDown(true));
    select->SetActive(false);
    EXPECT_FALSE(List()->IsDropDownOpen());
    ASSERT_TRUE(select->OpenDropDown(false));
    select->OnFocusChanged(false);
    EXPECT_FALSE(List()->IsDropDownOpen());
    // Re-opened after a close.
    EXPECT_TRUE(select->OpenDropDown(true));
}

TEST_F(SelectTest, DestroyingTheControlWithItsDropDownOpenIsSafe) {
    Make(1, 3);
    ASSERT_TRUE(select->OpenDropDown(true));
    select->Release();
    select = nullptr;
    Repaint();
    EXPECT_TRUE(surface->CheckInvariants());
}

TEST_F(SelectTest, AHandlerThatReleasesTheControlOnChangeIsSafe) {
    Make(1, 3);
    ASSERT_TRUE(select->OpenDropDown(true));
    events.then = [this] {
        select->Release();
        select = nullptr;
    };
    List()->OnActivate(RecordPosition::At(0));
    EXPECT_EQ(select, nullptr);
}

// --- Script members ---------------------------------------------------------------------------

TEST_F(SelectTest, SelectedIndexReadsMinusTwoAndIgnoresOutOfRangeWrites) {
    Make(1, 3);
    EXPECT_EQ(form.RunOn(select, "this.selectedIndex"), 0);
    EXPECT_EQ(form.lastResult, "-2");
    EXPECT_EQ(form.RunOn(select, "this.selectedIndex = 7; this.selectedIndex"), 0);
    EXPECT_EQ(form.lastResult, "-2");
    EXPECT_EQ(form.RunOn(select, "this.selectedIndex = 1.5; this.selectedIndex"), 0);
    EXPECT_EQ(form.lastResult, "-2");
    EXPECT_EQ(form.RunOn(select, "this.selectedIndex = 1; this.value"), 0);
    EXPECT_EQ(form.lastResult, "vtwo");
    EXPECT_EQ(A(select->TextPart()->Value()), "two");
}

TEST_F(SelectTest, ValueIsEmptyWithoutASelectionAndCannotBeWritten) {
    Make(1, 3);
    EXPECT_EQ(form.RunOn(select, "this.value"), 0);
    EXPECT_EQ(form.lastResult, "");
    EXPECT_EQ(form.RunOn(select, "this.value = 'x'"), ScriptErrors::kCannotSet);
}

TEST_F(SelectTest, SourceRunsOnlyANewQueryAndRecordSetsHaveNoValue) {
    Make(4, 0, Rect{20, 40, 120, 80});
    FakeRecordSet* rows = FakeRecordSet::Numbered(5);
    List()->UseRecordSet(rows, S("SELECT * FROM words"));
    rows->Release();
    RecordSet* model = List()->Model();
    // The same text: not run again (running it here would fail without a book).
    EXPECT_EQ(form.RunOn(select, "this.source = 'SELECT * FROM words'; this.source"), 0);
    EXPECT_EQ(form.lastResult, "SELECT * FROM words");
    EXPECT_EQ(List()->Model(), model);
    EXPECT_EQ(form.RunOn(select, "this.value"), ScriptErrors::kCannotGet);
    EXPECT_EQ(form.RunOn(select, "this.selectedIndex = 1"), ScriptErrors::kCannotSet);
    // A different text is run, and its failure reaches the script.
    EXPECT_EQ(form.RunOn(select, "this.source = 'SELECT * FROM nosuch'"), 20);
    EXPECT_EQ(List()->Model(), model);
}

class SelectTestFrench : public SelectTest {
protected:
    SelectTestFrench() : SelectTest("clock = virtual\nlanguage = fr\n") {}
};

TEST_F(SelectTestFrench, AnEmptyDropDownShowsNoMessageInEitherLanguage) {
    GdiUseSyntheticFonts(false);
    Make(1, 0);
    ASSERT_TRUE(select->OpenDropDown(true));
    Snapshot("select_open_fr");
    EXPECT_TRUE(List()->IsDropDownOpen());
}

}  // namespace
