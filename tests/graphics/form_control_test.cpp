// Form controls shared behaviour, push buttons and check boxes: script handles, event routing to
// a listener or the form's handlers, the common script members, successors taking over script
// references, clicks by key and by pen (also from a handler that destroys the control), check-box
// states, their names and submission, and button measuring and drawing.
#include <gtest/gtest.h>

#include "graphics/controls/button_control.h"
#include "graphics/controls/check_box_control.h"
#include "media/image/icon_image.h"
#include "support/graphics/fake_form.h"
#include "support/graphics/surface_test.h"

namespace {

using fvt::test::FakeForm;

using fvt::test::A;
using fvt::test::S;

// The base alone: a control with nothing of its own.
class PlainControl : public FormControl {
public:
    bool Draw(GraphicsContext*, const Rect&, const Rect*) override { return true; }
    bool MeasureSimple(Size&, uint8_t&) override { return false; }
    bool IsOn() override { return false; }
    bool FlagQuery() override { return false; }
    bool RestoreState(const String&) override { return false; }
    bool SaveState(String&) override { return false; }
};

class Listener : public ControlListener {
public:
    void OnControlEvent(FormControl* c, uint32_t id, uint32_t argument, const Rect*) override {
        events.push_back({c, id, argument});
    }
    struct Seen {
        FormControl* control;
        uint32_t id;
        uint32_t argument;
    };
    std::vector<Seen> events;
};

// ---- Script handles ---------------------------------------------------------------------------

TEST(ControlHandles, EncodeTheFormAndTheIndex) {
    FakeForm form;
    PlainControl* c = new PlainControl;
    c->Bind(&form, String(), 12, 99);
    c->SetFormIndex(3);
    uint32_t f = 1, h = 1;
    EXPECT_TRUE(c->GetScriptHandles(f, h));
    EXPECT_EQ(f, 7u + 0x80000000u);
    EXPECT_EQ(h, 3u - 0x40000000u);
    c->Release();
}

TEST(ControlHandles, WithoutAnIndexBothAreZero) {
    FakeForm form;
    PlainControl* c = new PlainControl;
    c->Bind(&form, String(), 12, 99);
    uint32_t f = 5, h = 5;
    EXPECT_TRUE(c->GetScriptHandles(f, h));
    EXPECT_EQ(f, 0u);
    EXPECT_EQ(h, 0u);  // never left as whatever the caller held
    c->Release();
}

TEST(ControlHandles, ScriptAccessOffLeavesTheOutputsAlone) {
    PlainControl* c = new PlainControl;
    c->SetScriptAccess(0);
    uint32_t f = 5, h = 6;
    EXPECT_FALSE(c->GetScriptHandles(f, h));
    EXPECT_EQ(f, 5u);
    EXPECT_EQ(h, 6u);
    c->Release();
}

// ---- Events and handlers ----------------------------------------------------------------------

TEST(ControlEvents, ListenerTakesEventsBeforeTheForm) {
    FakeForm form;
    Listener listener;
    PlainControl* c = new PlainControl;
    c->Bind(&form, String(), 1, 0);
    c->SetHandler(kFormEventClick, S("1"));
    c->SetListener(&listener);
    c->FireEvent(kFormEventClick, 42);
    ASSERT_EQ(listener.events.size(), 1u);
    EXPECT_EQ(listener.events[0].argument, 42u);
    EXPECT_TRUE(form.runs.empty());
    c->Release();
}

TEST(ControlEvents, FirstHandlerOfTheEventRunsAndASecondRegistrationReplacesIt) {
    FakeForm form;
    form.runScripts = false;
    PlainControl* c = new PlainControl;
    c->Bind(&form, String(), 1, 0);
    ASSERT_TRUE(c->SetHandler(kFormEventChange, S("change()")));
    ASSERT_TRUE(c->SetHandler(kFormEventClick, S("first()")));
    ASSERT_TRUE(c->SetHandler(kFormEventClick, S("second()")));
    c->FireEvent(kFormEventClick, 0);
    c->FireEvent(kFormEventLoad, 0);  // no handler: nothing runs
    ASSERT_EQ(form.runs.size(), 1u);
    EXPECT_EQ(form.runs[0].script, "second()");
    EXPECT_EQ(form.runs[0].eventId, kFormEventClick);
    c->Release();
}

TEST(ControlEvents, WithoutFormOrListenerNothingHappens) {
    PlainControl* c = new PlainControl;
    c->SetHandler(kFormEventClick, S("x()"));
    c->FireEvent(kFormEventClick, 0);  // must not crash
    EXPECT_FALSE(c->SubmitForm());
    c->Release();
}

TEST(ControlEvents, LeavingTheFormRemovesTheControlOnce) {
    FakeForm form;
    PlainControl* c = new PlainControl;
    c->Bind(&form, String(), 1, 0);
    c->DetachFromForm();
    c->DetachFromForm();
    EXPECT_EQ(form.removed.size(), 1u);
    EXPECT_EQ(c->Form(), nullptr);
    c->Release();
    EXPECT_EQ(form.removed.size(), 1u);
}

// ---- Script members ---------------------------------------------------------------------------

TEST(ControlScript, CommonMembersAnswerAndOthersAreUnknown) {
    FakeForm form;
    ButtonControl* b = new ButtonControl;
    b->Bind(&form, String(), 1, 0);
    EXPECT_EQ(form.RunOn(b, "this.blur(); this.focus(); this.scrollIntoView(); this.hasFocus"), 0)
        << form.err.MessageUtf8();
    EXPECT_EQ(form.lastResult, "false");
    EXPECT_EQ(form.RunOn(b, "this.focus(1)"), ScriptErrors::kMemberUnknown);
    EXPECT_EQ(form.RunOn(b, "this.hasFocus()"), ScriptErrors::kInvalidType);
    EXPECT_EQ(form.RunOn(b, "this.nothing"), ScriptErrors::kMemberUnknown);
    EXPECT_EQ(form.RunOn(b, "this.form.name"), 0);
    EXPECT_EQ(form.lastResult, "f1");
    b->Release();
}

// The page's view element: records what it is asked to bring into view.
class ViewElement : public Widget {
public:
    bool BringIntoView(const Rect& area, uint32_t id) override {
        asked.push_back(area);
        ids.push_back(id);
        return true;
    }
    std::vector<Rect> asked;
    std::vector<uint32_t> ids;
};

TEST(ControlScript, ScrollIntoViewAsksTheControlParentAndIsHarmlessWithoutOne) {
    FakeForm form;
    ButtonControl* b = new ButtonControl;
    b->Bind(&form, String(), 41, 0);
    b->SetRect(Rect{5, 600, 30, 12}, 0);
    EXPECT_EQ(form.RunOn(b, "this.scrollIntoView()"), 0);  // not laid out: nothing to do
    ViewElement view;
    form.controlParent = &view;
    EXPECT_EQ(form.RunOn(b, "this.scrollIntoView()"), 0);
    ASSERT_EQ(view.asked.size(), 1u);
    EXPECT_EQ(view.asked[0], (Rect{5, 600, 30, 12}));
    EXPECT_EQ(view.ids[0], 41u);
    b->Release();
}

TEST(ControlScript, FocusOnAControlNotShownChangesNothing) {
    FakeForm form;
    ButtonControl* b = new ButtonControl;
    ViewElement view;
    b->SetParent(&view);
    EXPECT_EQ(form.RunOn(b, "this.focus(); this.hasFocus"), 0);
    EXPECT_EQ(form.lastResult, "false");
    EXPECT_FALSE(b->IsFocused());
    b->Release();
}

TEST(ControlScript, ButtonPropertiesCannotBeSet) {
    FakeForm form;
    ButtonControl* b = new ButtonControl;
    b->Bind(&form, String(), 1, 0);
    EXPECT_EQ(form.RunOn(b, "this.hasFocus = true"), ScriptErrors::kCannotSet);
    b->Release();
}

TEST(ControlScript, BaseControlHasNoFormMember) {
    FakeForm form;
    PlainControl* c = new PlainControl;
    c->Bind(&form, String(), 1, 0);
    EXPECT_EQ(form.RunOn(c, "this.form"), ScriptErrors::kMemberUnknown);
    c->Release();
}

TEST(ControlScript, AReferenceKeptToAControlFollowsItsSuccessor) {
    FakeForm form;
    CheckBoxControl* old = new CheckBoxControl(IconHost{});
    CheckBoxControl* fresh = new CheckBoxControl(IconHost{});
    fresh->SetState(CheckBoxControl::kChecked);
    ASSERT_EQ(form.RunOn(old, "kept = this; kept.checked"), 0) << form.err.MessageUtf8();
    EXPECT_EQ(form.lastResult, "false");
    old->SetSuccessor(fresh);
    old->Release();
    EXPECT_EQ(form.RunOn(nullptr, "kept.checked"), 0) << form.err.MessageUtf8();
    EXPECT_EQ(form.lastResult, "true");
    fresh->Release();
    EXPECT_EQ(form.RunOn(nullptr, "kept == null"), 0);
    EXPECT_EQ(form.lastResult, "true");
}

TEST(ControlScript, ASuccessorReleasedFirstIsHeldUntilTheOldControlGoes) {
    FakeForm form;
    CheckBoxControl* old = new CheckBoxControl(IconHost{});
    CheckBoxControl* fresh = new CheckBoxControl(IconHost{});
    ASSERT_EQ(form.RunOn(old, "kept = this; 1"), 0);
    old->SetSuccessor(fresh);
    fresh->Release();  // the new page went first: the old control still holds it
    old->Release();    // ASan catches a dangling successor here
    EXPECT_EQ(form.RunOn(nullptr, "kept == null"), 0);
    EXPECT_EQ(form.lastResult, "true");
}

TEST(ControlScript, AReferenceToAControlWithoutSuccessorBecomesNull) {
    FakeForm form;
    CheckBoxControl* c = new CheckBoxControl(IconHost{});
    ASSERT_EQ(form.RunOn(c, "kept = this; 1"), 0);
    c->Release();
    EXPECT_EQ(form.RunOn(nullptr, "kept == null"), 0);
    EXPECT_EQ(form.lastResult, "true");
}

// ---- Check box states -------------------------------------------------------------------------

TEST(CheckBoxState, NamesParseAsTheirStatesAndAnythingElseIsIntermediate) {
    EXPECT_EQ(CheckBoxControl::ParseState(S("checked")), 0u);
    EXPECT_EQ(CheckBoxControl::ParseState(S("unchecked")), 1u);
    EXPECT_EQ(CheckBoxControl::ParseState(S("intermediate")), 2u);
    EXPECT_EQ(CheckBoxControl::ParseState(String()), 1u);
    EXPECT_EQ(CheckBoxControl::ParseState(S("yes")), 2u);
    EXPECT_EQ(CheckBoxControl::ParseState(S("checkedx")), 2u);
    EXPECT_EQ(CheckBoxControl::ParseState(S("Checked")), 2u);
}

TEST(CheckBoxState, SavedStateRestoresIntoAFreshBox) {
    CheckBoxControl* a = new CheckBoxControl(IconHost{});
    a->SetState(CheckBoxControl::kChecked);
    String saved;
    ASSERT_TRUE(a->SaveState(saved));
    EXPECT_EQ(A(saved), "checked");
    CheckBoxControl* b = new CheckBoxControl(IconHost{});
    ASSERT_TRUE(b->RestoreState(saved));
    EXPECT_EQ(b->GetState(), 0u);
    ASSERT_TRUE(b->RestoreState(S("garbage")));
    EXPECT_EQ(b->GetState(), 2u);
    a->Release();
    b->Release();
}

TEST(CheckBoxState, OnlyACheckedBoxIsSubmittedWithItsPossiblyEmptyValue) {
    CheckBoxControl* c = new CheckBoxControl(IconHost{});
    EXPECT_FALSE(c->IsOn());
    c->SetState(CheckBoxControl::kChecked);
    EXPECT_TRUE(c->IsOn());
    String v = S("x");
    EXPECT_TRUE(c->GetSubmitValue(0, v));
    EXPECT_TRUE(v.IsEmpty());
    c->SetValueText(S("yes"));
    EXPECT_TRUE(c->GetSubmitValue(0, v));
    EXPECT_EQ(A(v), "yes");
    EXPECT_EQ(c->GetControlType(), 4);
    EXPECT_TRUE(c->FlagQuery());
    c->Release();
}

TEST(CheckBoxState, ScriptReadsAndWritesCheckedAndValue) {
    FakeForm form;
    CheckBoxControl* c = new CheckBoxControl(IconHost{});
    c->Bind(&form, String(), 1, 0);
    EXPECT_EQ(form.RunOn(c, "this.checked = 1; this.value = 'v' + 2; this.value"), 0);
    EXPECT_EQ(form.lastResult, "v2");
    EXPECT_EQ(c->GetState(), 0u);
    EXPECT_EQ(form.RunOn(c, "this.checked = false; this.checked"), 0);
    EXPECT_EQ(form.lastResult, "false");
    EXPECT_EQ(form.RunOn(c, "this.hasFocus = 1"), ScriptErrors::kCannotSet);
    c->Release();
}

// ---- On a surface: clicks, drawing ------------------------------------------------------------

class ControlSurfaceTest : public fvt::test::SurfaceTest {
protected:
    IconHost icons{nullptr, 96};
};

TEST_F(ControlSurfaceTest, EnterOnAButtonFiresClickWithItsRectangle) {
    FakeForm form;
    ButtonControl* b = new ButtonControl;
    b->Bind(&form, String(), 1, 0);
    b->SetLabel(S("Go"));
    b->SetRect(Rect{10, 10, 40, 20}, 0xC0C0C0);
    b->SetHandler(kFormEventClick, S("form.submit()"));
    b->SetParent(surface.get());
    b->Show(true);
    b->Focus();
    surface->SetInputState(InputState::kButton);
    SendRow(fvt::test::kRowEnter);
    ASSERT_EQ(form.runs.size(), 1u);
    EXPECT_TRUE(form.runs[0].hadRect);
    EXPECT_EQ(form.runs[0].rect, (Rect{10, 10, 40, 20}));
    EXPECT_EQ(form.scriptSubmits, 1);
    // Other codes are left to the tree.
    EXPECT_FALSE(Send(kKeyLeft));
    b->Release();
}

TEST_F(ControlSurfaceTest, ATapPressesAndClicksTheButton) {
    FakeForm form;
    form.runScripts = false;
    ButtonControl* b = new ButtonControl;
    b->Bind(&form, String(), 1, 0);
    b->SetLabel(S("Go"));
    b->SetRect(Rect{10, 10, 40, 20}, 0xC0C0C0);
    b->SetHandler(kFormEventClick, S("x"));
    b->SetParent(surface.get());
    b->Show(true);
    Tap(20, 15);
    EXPECT_EQ(form.runs.size(), 1u);
    EXPECT_FALSE(b->IsPressed());
    b->Release();
}

TEST_F(ControlSurfaceTest, AButtonDestroyedByItsOwnHandlerIsNotTouchedAfterwards) {
    FakeForm form;
    ButtonControl* b = new ButtonControl;
    b->Bind(&form, String(), 1, 0);
    b->SetLabel(S("Go"));
    b->SetRect(Rect{10, 10, 40, 20}, 0xC0C0C0);
    b->SetHandler(kFormEventClick, S("1"));
    b->SetParent(surface.get());
    b->Show(true);
    b->Focus();
    form.afterHandler = [](FormControl* c) { c->Release(); };  // the page let go of it
    surface->SetInputState(InputState::kButton);
    SendRow(fvt::test::kRowEnter);  // ASan catches any touch of the freed button
    EXPECT_EQ(form.runs.size(), 1u);
    EXPECT_EQ(form.removed.size(), 1u);
}

TEST_F(ControlSurfaceTest, ClickingACheckBoxTogglesItAndFiresClick) {
    FakeForm form;
    form.runScripts = false;
    CheckBoxControl* c = new CheckBoxControl(icons);
    c->Bind(&form, String(), 1, 0);
    c->SetHandler(kFormEventClick, S("clicked()"));
    c->SetRect(Rect{20, 20, 16, 16}, 0xFFFFFF);
    c->SetParent(surface.get());
    c->Show(true);
    c->Focus();
    EXPECT_TRUE(c->Button()->IsFocused());
    surface->SetInputState(InputState::kButton);
    SendRow(fvt::test::kRowEnter);
    EXPECT_EQ(c->GetState(), 0u);
    SendRow(fvt::test::kRowEnter);
    EXPECT_EQ(c->GetState(), 1u);
    c->SetState(CheckBoxControl::kIntermediate);
    SendRow(fvt::test::kRowEnter);
    EXPECT_EQ(c->GetState(), 2u);  // intermediate stays, but the click still fires
    EXPECT_EQ(form.runs.size(), 3u);
    c->Release();
}

TEST_F(ControlSurfaceTest, ACheckBoxDestroyedByItsClickHandlerIsNotTouchedAfterwards) {
    FakeForm form;
    CheckBoxControl* c = new CheckBoxControl(icons);
    c->Bind(&form, String(), 1, 0);
    c->SetHandler(kFormEventClick, S("this.checked"));
    c->SetRect(Rect{20, 20, 16, 16}, 0xFFFFFF);
    c->SetParent(surface.get());
    c->Show(true);
    c->Focus();
    form.afterHandler = [](FormControl* control) { control->Release(); };
    surface->SetInputState(InputState::kButton);
    SendRow(fvt::test::kRowEnter);
    EXPECT_EQ(form.runs.size(), 1u);
    EXPECT_EQ(form.lastResult, "true");
}

TEST_F(ControlSurfaceTest, CheckBoxShowsTheIconOfItsState) {
    CheckBoxControl* c = new CheckBoxControl(icons);
    ASSERT_NE(c->Button()->Image(), nullptr);
    const IconImage* unchecked = c->Button()->Image();
    c->SetState(CheckBoxControl::kChecked);
    EXPECT_NE(c->Button()->Image(), unchecked);
    c->SetState(CheckBoxControl::kUnchecked);
    EXPECT_EQ(c->Button()->Image(), unchecked);
    Size size{};
    uint8_t a = 9;
    EXPECT_TRUE(c->MeasureSimple(size, a));
    EXPECT_EQ(size.width, unchecked->Width());  // frameless: no frame added
    c->Release();
}

TEST_F(ControlSurfaceTest, FramedButtonWithEmptyLabelMeasuresTheFrameAlone) {
    ButtonControl* b = new ButtonControl;
    DrawScope scope(surface.get());
    ASSERT_TRUE(scope);
    Size size{}, minimum{};
    uint8_t a = 1, flagB = 0;
    uint32_t baseline = 0;
    ASSERT_TRUE(b->Measure(size, a, scope.Context(), flagB, baseline, minimum));
    EXPECT_EQ(size, (Size{14, 10}));
    EXPECT_EQ(flagB, 1);
    b->SetLabel(S("Submit"));
    ASSERT_TRUE(b->Measure(size, a, scope.Context(), flagB, baseline, minimum));
    EXPECT_GT(size.width, 14);
    EXPECT_EQ(baseline, static_cast<uint32_t>(scope.Context()->FontDescent() + 5));
    // Without a context the label cannot be measured: the frame alone.
    ASSERT_TRUE(b->Measure(size, a, nullptr, flagB, baseline, minimum));
    EXPECT_EQ(size, (Size{14, 10}));
    b->Release();
}

TEST_F(ControlSurfaceTest, ButtonOutsideTheAreaDrawsNothingAndSucceeds) {
    ButtonControl* b = new ButtonControl;
    b->SetLabel(S("Go"));
    b->SetFrameColours(0x0000FF, Color::kNone);
    b->SetRect(Rect{10, 10, 40, 20}, 0);
    {
        DrawScope scope(surface.get());
        ASSERT_TRUE(scope);
        EXPECT_TRUE(b->Draw(scope.Context(), Rect{100, 100, 10, 10}, nullptr));
    }
    fvt::RunUntilIdle();
    EXPECT_EQ(CountPixels(Rect{10, 10, 40, 20}, 0x0000FF), 0);
    {
        DrawScope scope(surface.get());
        EXPECT_TRUE(b->Draw(scope.Context(), Rect{0, 0, 240, 200}, nullptr));
    }
    EXPECT_GT(CountPixels(Rect{10, 10, 40, 20}, 0x0000FF), 100);
    // A button too small for its frames draws without trouble.
    b->SetRect(Rect{60, 60, 3, 2}, 0);
    {
        DrawScope scope(surface.get());
        EXPECT_TRUE(b->Draw(scope.Context(), Rect{0, 0, 240, 200}, nullptr));
    }
    b->Release();
}

}  // namespace
