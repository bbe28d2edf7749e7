// The text entry on a surface inside a fake form: typing, caret and selection moves, deleting
// (surrogate pairs kept whole), the maximum length at its boundary, read-only and disabled
// fields, password masking, scrolling (also in fields too narrow to show anything), the caret
// blink and the input panel, script "value", saved state, and handlers that destroy the field.
#include <gtest/gtest.h>

#include <sstream>
#include "graphics/controls/text_entry_control.h"
#include "paths/app_paths.h"

#include "platform/shell/shell.h"
#include "support/graphics/fake_form.h"
#include "support/graphics/surface_test.h"
#include "support/platform/driver_script.h"

namespace {

using fvt::test::FakeForm;

using fvt::test::A;
using fvt::test::S;

class RecordingHost : public TimerHost {
public:
    bool SetTimer(uintptr_t, uint32_t) override { return true; }
    void KillTimer(uintptr_t) override {}
};

class TextEntryTest : public fvt::test::SurfaceTest {
protected:
    void SetUp() override {
        SurfaceTest::SetUp();
        form.runScripts = false;
        field = new TextEntryControl(&timers);
        field->Bind(&form, String(), 3, 0);
        field->SetHandler(kFormEventEdited, S("edited()"));
        field->SetRect(Rect{10, 10, 100, 20}, 0);
        field->SetParent(surface.get());
        field->Show(true);
        field->Focus();
    }
    void TearDown() override {
        if (field) field->Release();
        SurfaceTest::TearDown();
    }
    size_t Edits() const { return form.runs.size(); }

    RecordingHost host;
    TimerList timers{&host};
    FakeForm form;
    TextEntryControl* field = nullptr;
};

// ---- Typing and editing -----------------------------------------------------------------------

TEST_F(TextEntryTest, TypedCharactersAreInsertedAndEachFiresAnEdit) {
    Type("abc");
    EXPECT_EQ(A(field->Value()), "abc");
    EXPECT_EQ(field->Caret(), 3);
    ASSERT_EQ(Edits(), 3u);
    EXPECT_EQ(form.runs[0].eventId, kFormEventEdited);
    EXPECT_EQ(form.runs[0].rect, (Rect{10, 10, 100, 20}));
}

TEST_F(TextEntryTest, TypingThroughTheDeviceReachesTheField) {
    fvt::Character(u'x');
    fvt::RunUntilIdle();
    EXPECT_EQ(A(field->Value()), "x");
}

TEST_F(TextEntryTest, ADriverTapFocusesAFieldAndPlacesTheCaretWhereTyped) {
    TextEntryControl* other = new TextEntryControl(&timers);
    other->SetRect(Rect{10, 60, 100, 20}, 0);
    other->SetParent(surface.get());
    other->Show(true);
    other->RestoreState(S("wxyz"));
    std::ostringstream script;
    script << "tap " << work.x + 12 << " " << work.y + 70 << "\n"
           << "char a\n"
           << "char b\n"
           << "idle\n";
    std::istringstream in(script.str());
    ASSERT_EQ(fvt::test::RunDriverScript(in), 0);
    EXPECT_TRUE(other->IsFocused());
    EXPECT_FALSE(field->IsFocused());
    EXPECT_EQ(A(other->Value()), "abwxyz");  // the tap before the first character
    EXPECT_TRUE(field->Value().IsEmpty());
    other->Release();
}

TEST_F(TextEntryTest, BackspaceAndDeleteOnAnEmptyFieldChangeNothing) {
    EXPECT_TRUE(Send(kKeyBackspace));
    EXPECT_TRUE(Send(kKeyDelete));
    EXPECT_EQ(Edits(), 0u);
    Type("ab");
    Send(kKeyHome);
    EXPECT_TRUE(Send(kKeyBackspace));  // at the start: nothing to delete
    EXPECT_EQ(Edits(), 2u);
    Send(kKeyDelete);
    EXPECT_EQ(A(field->Value()), "b");
    Send(kKeyEnd);
    Send(kKeyDelete);  // at the end
    EXPECT_EQ(A(field->Value()), "b");
    EXPECT_EQ(Edits(), 3u);
}

TEST_F(TextEntryTest, DeletingKeepsSurrogatePairsWhole) {
    const char16_t pair[] = {u'a', 0xD83D, 0xDE00, u'b'};
    field->RestoreState(String(pair, 4));
    Send(kKeyEnd);
    Send(kKeyLeft);  // before b
    EXPECT_EQ(field->Caret(), 3);
    Send(kKeyLeft);  // over the whole pair
    EXPECT_EQ(field->Caret(), 1);
    Send(kKeyRight);
    Send(kKeyBackspace);
    EXPECT_EQ(A(field->Value()), "ab");
    EXPECT_EQ(field->Caret(), 1);
}

TEST_F(TextEntryTest, AMoveTheCaretCannotMakeIsStillTheFields) {
    Type("ab");
    // Passed on, End or Right at the end would turn the page and take the field's keys away.
    EXPECT_TRUE(Send(kKeyEnd));
    EXPECT_TRUE(Send(kKeyRight));
    EXPECT_EQ(field->Caret(), 2);
    Send(kKeyHome);
    EXPECT_TRUE(Send(kKeyHome));
    EXPECT_TRUE(Send(kKeyLeft));
    EXPECT_EQ(field->Caret(), 0);
    Type("x");
    EXPECT_EQ(A(field->Value()), "xab");
}

TEST_F(TextEntryTest, ShiftMovesExtendAndAPlainMoveClearsAndMovesOnce) {
    Type("hello");
    Send(kKeyShift | kKeyLeft);
    Send(kKeyShift | kKeyLeft);
    EXPECT_EQ(field->SelectionStart(), 3);
    EXPECT_EQ(field->SelectionLength(), 2);
    Send(kKeyShift | kKeyHome);
    EXPECT_EQ(field->SelectionStart(), 0);
    EXPECT_EQ(field->SelectionLength(), 5);
    Send(kKeyRight);
    EXPECT_EQ(field->SelectionLength(), 0);
    EXPECT_EQ(field->Caret(), 1);
}

TEST_F(TextEntryTest, TypingReplacesTheSelection) {
    Type("hello");
    Send(kKeyShift | kKeyLeft);
    Send(kKeyShift | kKeyLeft);
    Type("p!");
    EXPECT_EQ(A(field->Value()), "help!");
    EXPECT_EQ(field->SelectionLength(), 0);
}

TEST_F(TextEntryTest, EscapeEmptiesTheField) {
    Type("abc");
    EXPECT_TRUE(Send(kKeyClose));
    EXPECT_TRUE(field->Value().IsEmpty());
    EXPECT_EQ(Edits(), 4u);
    EXPECT_FALSE(Send(kKeyClose));  // already empty
}

TEST_F(TextEntryTest, EnterAsksTheFormToSubmit) {
    form.autoSubmit = true;
    EXPECT_TRUE(Send(kKeyActivate));
    form.autoSubmit = false;
    EXPECT_FALSE(Send(kKeyActivate));
    EXPECT_EQ(form.submitAsks, 2);
}

TEST_F(TextEntryTest, LinkMovesAreSwallowedOnlyWithoutScriptAccess) {
    EXPECT_FALSE(Send(1035));
    field->SetScriptAccess(0);
    EXPECT_TRUE(Send(1035));
}

// ---- Maximum length ---------------------------------------------------------------------------

TEST_F(TextEntryTest, MaximumLengthAllowsExactlyThatManyCharacters) {
    field->SetMaxLength(3);
    Type("abcd");
    EXPECT_EQ(A(field->Value()), "abc");
    EXPECT_EQ(Edits(), 3u);
}

TEST_F(TextEntryTest, MaximumLengthOfOneAcceptsOneCharacter) {
    field->SetMaxLength(1);
    Type("xy");
    EXPECT_EQ(A(field->Value()), "x");
}

TEST_F(TextEntryTest, TypingOverASelectionAtTheLimitIsAccepted) {
    field->SetMaxLength(5);
    Type("hello");
    Send(kKeyShift | kKeyLeft);
    Send(kKeyShift | kKeyLeft);
    Send(kKeyShift | kKeyLeft);
    Type("p");
    EXPECT_EQ(A(field->Value()), "hep");
}

TEST_F(TextEntryTest, InsertedAndRestoredTextIsCutToTheLimit) {
    field->SetMaxLength(4);
    EXPECT_TRUE(field->InsertText(S("abcdef")));
    EXPECT_EQ(A(field->Value()), "abcd");
    EXPECT_FALSE(field->InsertText(S("x")));
    field->RestoreState(S("123456"));
    EXPECT_EQ(A(field->Value()), "1234");
    EXPECT_EQ(form.RunOn(field, "this.value = 'vwxyz'; this.value"), 0);
    EXPECT_EQ(form.lastResult, "vwxy");
}

// ---- Read-only and disabled -------------------------------------------------------------------

TEST_F(TextEntryTest, ReadOnlyFieldRefusesEditsAndMoves) {
    field->RestoreState(S("abc"));
    field->SetReadOnly(true);
    EXPECT_FALSE(Send(kKeyCharacter, 'x'));
    EXPECT_FALSE(Send(kKeyBackspace));
    EXPECT_FALSE(Send(kKeyLeft));
    EXPECT_FALSE(field->InsertText(S("y")));
    EXPECT_EQ(A(field->Value()), "abc");
    EXPECT_EQ(Edits(), 0u);
}

TEST_F(TextEntryTest, ReadOnlyFieldShowsNoPanelAndIsDrawnSelectedWhileFocused) {
    field->Blur();
    EXPECT_FALSE(fvt::IsInputPanelShown());
    field->RestoreState(S("abc"));
    field->SetReadOnly(true);
    field->Focus();
    EXPECT_FALSE(fvt::IsInputPanelShown());
    uint32_t selection = 0;
    UiColors::Get(selection, 39);
    Rect area = field->TextArea();
    EXPECT_GT(CountPixels(area, selection), area.width * area.height / 2);
    field->Blur();
    EXPECT_EQ(CountPixels(area, selection), 0);
}

TEST_F(TextEntryTest, AShorterValueOnAReadOnlyFieldBringsTheCaretBack) {
    field->RestoreState(S("a long value that scrolls the field far to the right"));
    field->SetReadOnly(true);
    field->RestoreState(S("a long value that scrolls the field far to the right"));
    field->SetValue(S("ab"));
    EXPECT_LE(field->Caret(), 2);
    EXPECT_LE(field->FirstVisible(), 2);
    Repaint();  // draws without reading past the value
}

TEST_F(TextEntryTest, DisabledFieldIsNeitherEditableNorSubmitted) {
    field->SetEnabled(false);
    EXPECT_FALSE(Send(kKeyCharacter, 'x'));
    EXPECT_FALSE(field->IsOn());
}

// ---- Focus, caret and input panel -------------------------------------------------------------

TEST_F(TextEntryTest, FocusShowsThePanelAndBlinksTheCaret) {
    EXPECT_TRUE(fvt::IsInputPanelShown());
    EXPECT_TRUE(field->IsCaretVisible());
    ASSERT_NE(field->BlinkTimer(), -1);
    timers.Dispatch(static_cast<uintptr_t>(field->BlinkTimer()));
    EXPECT_FALSE(field->IsCaretVisible());
    timers.Dispatch(static_cast<uintptr_t>(field->BlinkTimer()));
    EXPECT_TRUE(field->IsCaretVisible());
    field->Blur();
    EXPECT_FALSE(fvt::IsInputPanelShown());
    EXPECT_EQ(field->BlinkTimer(), -1);
    EXPECT_FALSE(field->IsCaretVisible());
}

TEST_F(TextEntryTest, TheCaretBarLeavesTheScreenWhenTheFocusGoesAndBlinksThere) {
    fvt::test::BackBufferDisplay display(surface.get());
    field->SetValue(S("ab"));
    Repaint();
    ASSERT_TRUE(field->IsCaretVisible());
    std::vector<uint32_t> withCaret = Pixels(field->ControlRect());
    field->Blur();
    fvt::RunUntilIdle();
    ASSERT_FALSE(field->IsCaretVisible());
    std::vector<uint32_t> shown = Pixels(field->ControlRect());
    EXPECT_NE(shown, withCaret);
    Repaint();
    EXPECT_EQ(Pixels(field->ControlRect()), shown);
    // A blink shows the bar again on the screen, the next takes it away.
    field->Focus();
    fvt::RunUntilIdle();
    ASSERT_TRUE(field->IsCaretVisible());
    EXPECT_NE(Pixels(field->ControlRect()), shown);
    timers.Dispatch(static_cast<uintptr_t>(field->BlinkTimer()));
    EXPECT_EQ(Pixels(field->ControlRect()), shown);
}

TEST_F(TextEntryTest, FieldMadeReadOnlyWhileFocusedStillHidesThePanelOnBlur) {
    ASSERT_TRUE(fvt::IsInputPanelShown());
    field->SetReadOnly(true);
    field->Blur();
    EXPECT_FALSE(fvt::IsInputPanelShown());
}

TEST_F(TextEntryTest, HidingTheFieldGivesUpFocus) {
    field->Show(false);
    EXPECT_FALSE(field->IsFocused());
    EXPECT_EQ(field->BlinkTimer(), -1);
}

// ---- Scrolling --------------------------------------------------------------------------------

TEST_F(TextEntryTest, LongTextScrollsOnCharacterBoundariesAndHomeScrollsBack) {
    field->SetRect(Rect{10, 10, 40, 20}, 0);
    Type("abcdefghijklmnopqrstuvwxyz");
    EXPECT_GT(field->ScrollOffset(), 0) << field->CaretX() << " " << field->Caret();
    EXPECT_GT(field->FirstVisible(), 0);
    {
        DrawScope scope(surface.get());
        field->ApplyStyle(scope.Context());
        Size prefix{};
        scope.Context()->MeasureText(field->Value().Data(), field->FirstVisible(), prefix);
        EXPECT_EQ(field->ScrollOffset(), prefix.width);
    }
    Send(kKeyHome);
    EXPECT_EQ(field->ScrollOffset(), 0);
    EXPECT_EQ(field->FirstVisible(), 0);
}

TEST_F(TextEntryTest, FieldTooNarrowToShowTextDoesNotHang) {
    field->SetRect(Rect{10, 10, 3, 20}, 0);
    Type("abcdef");
    Send(kKeyHome);
    Send(kKeyEnd);
    field->SetRect(Rect{10, 10, 0, 0}, 0);
    Type("gh");
    EXPECT_EQ(A(field->Value()), "abcdefgh");
    Repaint();
}

TEST_F(TextEntryTest, ValueSetFromAScriptPutsTheCaretAtTheEndOrTheStartWhenThatScrolls) {
    EXPECT_EQ(form.RunOn(field, "this.value = 'ab'"), 0);
    EXPECT_EQ(field->Caret(), 2);
    EXPECT_EQ(form.RunOn(field, "this.value = 'abcdefghijklmnopqrstuvwxyz0123456789'"), 0);
    EXPECT_EQ(field->Caret(), 0);
    EXPECT_EQ(field->ScrollOffset(), 0);
}

// ---- Password, state, measuring ---------------------------------------------------------------

TEST_F(TextEntryTest, PasswordIsMaskedOnScreenAndNeverSavedOrGivenAsText) {
    TextEntryControl* plain = new TextEntryControl(nullptr);
    plain->SetRect(Rect{10, 50, 100, 20}, 0);
    plain->SetParent(surface.get());
    plain->Show(true);
    plain->RestoreState(S("***"));
    field->SetPassword();
    field->Blur();
    field->RestoreState(S("abc"));
    Repaint();
    int maskInk = CountPixels(Rect{10, 50, 100, 20}, 0);
    int passwordInk = CountPixels(Rect{10, 10, 100, 20}, 0);
    EXPECT_EQ(passwordInk, maskInk);
    String text;
    EXPECT_EQ(field->GetText(&text), 0u);
    String saved;
    EXPECT_FALSE(field->SaveState(saved));
    String submitted;
    EXPECT_TRUE(field->GetSubmitValue(0, submitted));
    EXPECT_EQ(A(submitted), "abc");
    plain->Release();
}

TEST_F(TextEntryTest, StateRoundTripsThroughAFreshField) {
    Type("note");
    String saved;
    ASSERT_TRUE(field->SaveState(saved));
    TextEntryControl* fresh = new TextEntryControl(nullptr);
    ASSERT_TRUE(fresh->RestoreState(saved));
    EXPECT_EQ(A(fresh->Value()), "note");
    String text;
    EXPECT_EQ(fresh->GetText(&text), 1u);
    EXPECT_EQ(A(text), "note");
    fresh->Release();
}

TEST_F(TextEntryTest, MeasureGivesSizeCharactersAndTheFrame) {
    field->SetSize(0);
    EXPECT_EQ(field->SizeInChars(), 1u);
    field->SetSize(10);
    DrawScope scope(surface.get());
    Size size{}, minimum{}, m{};
    uint8_t flagA = 1, flagB = 0;
    uint32_t baseline = 0;
    ASSERT_TRUE(field->Measure(size, flagA, scope.Context(), flagB, baseline, minimum));
    scope.Context()->MeasureText(u"m", 1, m);
    EXPECT_EQ(size.width, 10 * m.width + 4);
    EXPECT_EQ(minimum.width, size.width - 6 * m.width);
    EXPECT_EQ(flagA, 0);
    EXPECT_EQ(flagB, 1);
    EXPECT_FALSE(field->Measure(size, flagA, nullptr, flagB, baseline, minimum));
}

// ---- Handlers that end the field --------------------------------------------------------------

TEST_F(TextEntryTest, AFieldReleasedByItsEditHandlerIsNotTouchedAfterwards) {
    form.afterHandler = [this](FormControl* c) {
        c->Release();
        field = nullptr;
    };
    Send(kKeyCharacter, 'x');  // ASan catches a touch of the freed field
    EXPECT_EQ(field, nullptr);
}

TEST_F(TextEntryTest, AFieldReleasedWhileSubmittingIsNotTouchedAfterwards) {
    form.autoSubmit = true;
    form.onSubmit = [this]() {
        field->Release();
        field = nullptr;
    };
    EXPECT_TRUE(Send(kKeyActivate));
    EXPECT_EQ(field, nullptr);
}

}  // namespace
