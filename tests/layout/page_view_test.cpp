// The page view element: the command-enabled table, key rows by column count, the focus box
// modes, taps on links and words, the reading position and the settings applied to the layout.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/markup/html_tokenizer.h"
#include "document/markup/link_target.h"
#include "document/markup/plain_text_token_source.h"
#include "graphics/core/graphics_context.h"
#include "layout/page_layout.h"
#include "layout/page_view.h"
#include "support/document/memory_document.h"
#include "support/layout/context_canvas.h"
#include "support/layout/paging_fixtures.h"
#include "support/layout/recording_canvas.h"
#include "support/platform/window_fixture.h"

namespace {

using fvt::test::RecordingCanvas;

class FakeOwner : public PageViewOwner {
public:
    bool StepPage(PageStepCode step, uint32_t mark) override {
        calls.push_back("step " + std::to_string(StepValue(step)) + " " + std::to_string(mark));
        return true;
    }
    void ChangeFontSize(int32_t d) override { calls.push_back("font " + std::to_string(d)); }
    bool GoBack() override {
        calls.push_back("back");
        return true;
    }
    void SpeakText(uint32_t mode, uint32_t position) override {
        calls.push_back("speak " + std::to_string(mode) + " " + std::to_string(position));
    }
    void SelectMark(uint32_t index) override {
        calls.push_back("mark " + std::to_string(static_cast<int32_t>(index)));
    }
    bool FindAreaByKey(Node*, uint32_t& index) override {
        index = 0;
        return true;
    }
    void ActivateCurrentArea() override { calls.push_back("activate"); }
    bool NextLinkArea() override {
        calls.push_back("next link");
        return nextLink;
    }
    bool PreviousLinkArea() override {
        calls.push_back("previous link");
        return false;
    }
    bool MoveLinkFocus(uint32_t code, bool noMark, bool pageBreak) override {
        calls.push_back("move link " + std::to_string(code) + " " + std::to_string(noMark) + " " +
                        std::to_string(pageBreak));
        return true;
    }
    void ShowAreaTip() override { calls.push_back("tip"); }
    void GoToFirstPage() override { calls.push_back("first"); }
    void GoToLastPage() override { calls.push_back("last"); }
    bool ScrollTables(int32_t dx, int32_t dy) override {
        calls.push_back("tables " + std::to_string(dx) + " " + std::to_string(dy));
        return false;
    }
    void SelectAt(Point p) override {
        calls.push_back("select at " + std::to_string(p.x) + "," + std::to_string(p.y));
    }
    void DeselectCurrentArea() override { calls.push_back("deselect"); }
    void InvalidateSurface() override {}
    void PrepareRendering(PageLayout&) override { calls.push_back("prepare"); }
    void GetViewSettings(ViewSettings& out) override { out = settings; }
    void PostCommand(uint32_t id, uint32_t argument) override {
        calls.push_back("command " + std::to_string(id) + " " + std::to_string(argument));
    }
    bool HasDocument() override { return hasDocument; }
    bool IsTopFrame() override { return topFrame; }
    uint32_t InternalPageId() override { return internalPage; }
    DocumentSource* CurrentSource() override { return source; }
    bool HasPositionView() override { return positionView; }

    std::string Last() const { return calls.empty() ? "" : calls.back(); }

    std::vector<std::string> calls;
    ViewSettings settings;
    bool hasDocument = true;
    bool positionView = true;  // false: a cover or a picture is shown over the page
    bool topFrame = true;
    bool nextLink = true;
    uint32_t internalPage = 0;
    DocumentSource* source = nullptr;
};

// A fixed page: "see the" / "harbour now", with "the harbour" under one link.
class LinkedPage : public PageContentLayout {
public:
    LinkedPage() {
        link = RefPtr<LinkTarget>::Adopt(new LinkTarget);
        link->kind = kLinkAddress;
        link->text = String(u"port.html", 9);
    }
    bool LayoutIntoSlot(PageLayout&, PageRecord& record, PageSlot& slot, bool, PageRecord& next,
                        bool& moreText) override {
        BlockContents& c = slot.contents;
        LineRecord line;
        line.height = 10;
        line.baseline = 8;
        PositionRecord plain, linked;
        linked.link.Assign(link.Get());
        FlowMark space;
        space.type = kMarkSpace;
        space.width = 6;
        uint32_t b = record.start;
        bool ok = c.Append(line, b) && c.Append(plain, b) && c.Append(Run(u"see", 0), b) &&
                  c.Append(space, b + 3) && c.Append(linked, b + 4) &&
                  c.Append(Run(u"the", 24), b + 4);
        line.y = 10;
        ok = ok && c.Append(space, b + 7) && c.Append(line, b + 8) &&
             c.Append(Run(u"harbour", 0), b + 8) && c.Append(plain, b + 15) &&
             c.Append(space, b + 15) && c.Append(Run(u"now", 48), b + 16);
        if (pageBreak) {
            FlowMark brk;
            brk.type = kMarkPageBreak;
            ok = ok && c.Append(brk, b + 19);
        }
        c.SetEndPosition(b + 20);
        next.start = b + 20;
        moreText = b + 20 < 60;
        return ok;
    }
    static TextRun Run(const char16_t* s, int32_t x) {
        TextRun r;
        r.text = String(s);
        r.x = x;
        r.width = static_cast<int32_t>(std::u16string(s).size()) * 6;
        return r;
    }
    RefPtr<LinkTarget> link;
    bool pageBreak = false;
};

class ViewTest : public ::testing::Test {
protected:
    void Open() {
        source_.Attach(&doc_, 0);
        layout_.SetSource(&source_);
        layout_.SetContentLayout(&content_);
        layout_.SetCanvas(&canvas_);
        layout_.Configure(fvt::test::SettingsAt(10));
        layout_.SetViewport(Rect{0, 0, 120, 60});
        ASSERT_TRUE(layout_.Start());
        ASSERT_TRUE(layout_.GoToPage(1));
        ASSERT_TRUE(layout_.PaintCurrentPage(false));
        view_.AttachLayout(&layout_);
        view_.TextFocusBox().SetDrawing(&canvas_, nullptr);
        owner_.source = &doc_;
    }
    bool Key(uint32_t code, uint32_t command = kNoCommand) {
        InputEvent e = InputEvent::Key(code, command);
        return view_.HandleEvent(e);
    }
    std::string FocusText() {
        String text;
        uint32_t language = 0;
        if (!view_.TextFocusBox().GetSelectionText(1, text, language)) return "<none>";
        return std::string(text.Data(), text.Data() + text.Length());
    }

    MemoryDocument doc_{std::u16string(60, u'x')};
    PlainTextTokenSource source_;
    LinkedPage content_;
    RecordingCanvas canvas_;
    PageLayout layout_;
    FakeOwner owner_;
    PositionViewElement view_{&owner_};
};

}  // namespace

TEST(ViewCommands, CommandsTwentySixToThirtyNineAreAlwaysDisabled) {
    FakeOwner owner;
    PositionViewElement view(&owner);
    owner.hasDocument = false;
    for (uint32_t id = 26; id <= 39; ++id) EXPECT_FALSE(view.IsCommandEnabled(id, 0)) << id;
    for (uint32_t id : {0u, 7u, 15u, 25u, 40u, 66u, 67u, 79u, 200u})
        EXPECT_TRUE(view.IsCommandEnabled(id, 0)) << id;
}

TEST(ViewCommands, InternalPagesDisableTheirOwnLists) {
    FakeOwner owner;
    PositionViewElement view(&owner);
    owner.internalPage = 1;  // library
    EXPECT_FALSE(view.IsCommandEnabled(0, 0));
    EXPECT_TRUE(view.IsCommandEnabled(15, 0));
    EXPECT_TRUE(view.IsCommandEnabled(7, 0));
    for (uint32_t id : {8u, 16u, 24u, 41u, 44u, 50u, 54u})
        EXPECT_FALSE(view.IsCommandEnabled(id, 0));
    owner.internalPage = 3;  // annotations
    EXPECT_FALSE(view.IsCommandEnabled(15, 0));
    EXPECT_TRUE(view.IsCommandEnabled(0, 0));
    owner.internalPage = 4;  // about
    EXPECT_FALSE(view.IsCommandEnabled(7, 0));
    owner.internalPage = 0;
    for (uint32_t id : {0u, 7u, 8u, 15u, 54u}) EXPECT_TRUE(view.IsCommandEnabled(id, 0));
    // No layout: nothing to step through.
    EXPECT_FALSE(view.IsCommandEnabled(Cmd::kNextPage, 0));
    EXPECT_TRUE(view.IsCommandEnabled(79, 0));
}

TEST(ViewCommands, CommandsReachTheOwnerAndFocusCommandsToggle) {
    FakeOwner owner;
    PositionViewElement view(&owner);
    view.ExecuteCommand(Cmd::kViewZoomIn, 0);
    EXPECT_EQ(owner.Last(), "font 1");
    view.ExecuteCommand(Cmd::kViewZoomOut, 0);
    EXPECT_EQ(owner.Last(), "font -1");
    view.ExecuteCommand(Cmd::kBack, 0);
    EXPECT_EQ(owner.Last(), "back");
    view.ExecuteCommand(Cmd::kSpeakNextChunk, 0);
    EXPECT_EQ(owner.Last(), "speak 1 0");
    size_t before = owner.calls.size();
    view.ExecuteCommand(Cmd::kNextPage, 0);  // no layout: stepping is a no-op
    EXPECT_EQ(owner.calls.size(), before);
    EXPECT_FALSE(view.IsCommandChecked(Cmd::kFocusBoxRange, 0));
}

TEST(ViewKeys, StepsFollowTheColumnCount) {
    FakeOwner owner;
    PositionViewElement view(&owner);
    auto key = [&](uint32_t code) {
        InputEvent e = InputEvent::Key(code);
        EXPECT_TRUE(view.HandleEvent(e));
        return owner.Last();
    };
    EXPECT_EQ(key(11), "step 2 255");
    EXPECT_EQ(key(12), "step -2 255");
    EXPECT_EQ(key(13), "step 1 255");
    EXPECT_EQ(key(14), "step -1 255");
    EXPECT_EQ(key(15), "step 3 255");
    EXPECT_EQ(key(16), "step -3 255");
    EXPECT_EQ(key(17), "first");
    EXPECT_EQ(key(18), "last");
    EXPECT_EQ(key(514), "tables 0 40");
    EXPECT_EQ(key(515), "tables -40 0");
}

TEST(ViewKeys, CommandRowsRunTheirCommandUnlessNone) {
    FakeOwner owner;
    PositionViewElement view(&owner);
    InputEvent none = InputEvent::Key(26, kNoCommand);
    EXPECT_FALSE(view.HandleEvent(none));
    InputEvent run = InputEvent::Key(26, 45);
    EXPECT_TRUE(view.HandleEvent(run));
    EXPECT_EQ(owner.Last(), "command 45 0");
    InputEvent unknown = InputEvent::Key(99);
    EXPECT_FALSE(view.HandleEvent(unknown));
}

TEST(ViewIndex, WrappedClampedAndPlainSteps) {
    int32_t out = 0;
    bool from = false, changed = false, past = false;
    EXPECT_FALSE(StepIndexWrapped(true, 0, 0, out, from, changed));
    EXPECT_TRUE(StepIndexWrapped(true, 2, 3, out, from, changed));
    EXPECT_EQ(out, 0);
    EXPECT_TRUE(from);
    EXPECT_TRUE(StepIndexWrapped(false, -1, 3, out, from, changed));
    EXPECT_EQ(out, 2);
    EXPECT_FALSE(from);
    EXPECT_TRUE(StepIndexWrapped(false, 0, 3, out, from, changed));
    EXPECT_EQ(out, 2);
    EXPECT_FALSE(StepIndexWrapped(true, -1, 1, out, from, changed) && !changed);
    EXPECT_TRUE(StepIndexClamped(true, 2, 3, out, from, changed));
    EXPECT_EQ(out, 2);
    EXPECT_FALSE(changed);
    EXPECT_TRUE(StepIndexClamped(false, 0, 3, out, from, changed));
    EXPECT_EQ(out, 0);
    EXPECT_TRUE(StepIndexClamped(false, -1, 3, out, from, changed));
    EXPECT_EQ(out, 2);
    EXPECT_TRUE(StepIndex(true, 2, 3, out, from, changed, past));
    EXPECT_EQ(out, 3);
    EXPECT_TRUE(past);
    EXPECT_TRUE(StepIndex(false, -1, 3, out, from, changed, past));
    EXPECT_EQ(out, 2);
    EXPECT_FALSE(from);
    EXPECT_TRUE(StepIndex(false, -1, 0, out, from, changed, past));
    EXPECT_EQ(out, -2);
    EXPECT_TRUE(RectDiffers(Rect{0, 0, 1, 1}, Rect{0, 0, 1, 2}));
    EXPECT_FALSE(RectDiffers(Rect{3, 4, 5, 6}, Rect{3, 4, 5, 6}));
}

TEST_F(ViewTest, FocusBoxModesMoveExtendConfirmAndClear) {
    Open();
    view_.ExecuteCommand(Cmd::kFocusBoxRange, 0);
    EXPECT_EQ(view_.Mode(), static_cast<uint32_t>(kFocusRange));
    EXPECT_TRUE(view_.IsCommandChecked(Cmd::kFocusBoxRange, 0));
    EXPECT_EQ(FocusText(), "see");
    EXPECT_TRUE(Key(kKeyRight));
    EXPECT_EQ(FocusText(), "the");
    EXPECT_TRUE(Key(kKeyRight | kKeyShift));  // extends
    EXPECT_EQ(FocusText(), "the harbour");
    EXPECT_TRUE(Key(kKeyActivate));  // mode 2: confirm, the box blinks
    EXPECT_EQ(view_.Mode(), static_cast<uint32_t>(kFocusConfirmed));
    EXPECT_TRUE(Key(kKeyRight));  // confirmed: every move extends
    EXPECT_EQ(FocusText(), "the harbour now");
    EXPECT_TRUE(Key(kKeyActivate));
    EXPECT_EQ(owner_.Last().rfind("select at ", 0), 0u);
    EXPECT_TRUE(Key(kKeyClose));
    EXPECT_EQ(view_.Mode(), static_cast<uint32_t>(kFocusNone));
    Rect box;
    EXPECT_FALSE(view_.TextFocusBox().GetFocusBox(box));
    view_.ExecuteCommand(Cmd::kFocusBoxWord, 0);
    EXPECT_EQ(view_.Mode(), static_cast<uint32_t>(kFocusWord));
    view_.ExecuteCommand(Cmd::kFocusBoxWord, 0);
    EXPECT_EQ(view_.Mode(), static_cast<uint32_t>(kFocusNone));
    EXPECT_EQ(canvas_.depth, 0);
}

TEST_F(ViewTest, ATapOnALinkFocusesItAndPostsCommand90) {
    Open();
    InputEvent down = InputEvent::Pen(kPenDown, Point{30, 5});
    EXPECT_TRUE(view_.HandleEvent(down));
    InputEvent up = InputEvent::Pen(kPenUp, Point{30, 5});
    EXPECT_TRUE(view_.HandleEvent(up));
    ASSERT_GE(owner_.calls.size(), 2u);
    EXPECT_EQ(owner_.calls[owner_.calls.size() - 2], "mark 0");
    EXPECT_EQ(owner_.Last(), "command 90 0");
    owner_.calls.clear();
    InputEvent miss = InputEvent::Pen(kPenUp, Point{3, 5});  // "see" carries no link
    EXPECT_FALSE(view_.HandleEvent(miss));
    EXPECT_TRUE(owner_.calls.empty());
}

TEST_F(ViewTest, ATapInFocusModeTakesTheWord) {
    Open();
    view_.ExecuteCommand(Cmd::kFocusBoxWord, 0);
    InputEvent up = InputEvent::Pen(kPenUp, Point{50, 15});
    EXPECT_TRUE(view_.HandleEvent(up));
    EXPECT_EQ(FocusText(), "now");
}

TEST_F(ViewTest, LinkKeysMoveAmongMarksOrAskTheOwner) {
    Open();
    EXPECT_TRUE(Key(1035));
    EXPECT_EQ(owner_.Last(), "move link 1035 1 0");  // no current mark: the owner decides
    layout_.SetCurrentMark(0, false, false);
    EXPECT_TRUE(Key(1035));
    EXPECT_EQ(owner_.Last(), "next link");
    EXPECT_TRUE(Key(kKeyActivate));
    EXPECT_EQ(owner_.Last(), "activate");
}

TEST_F(ViewTest, WithALinkFocusedKeyRowsReadTheLinkFocusColumn) {
    Open();
    // Enter's row: a command in the reading column, activation in the link-focus column.
    uint32_t row[kKeyRowColumns] = {26, 23, 23, 26, 23, 23, 23, 23, 23, 23, 26, 23};
    uint32_t commands[kKeyRowColumns] = {55, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
                                         0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};
    InputEvent plain = InputEvent::Row(row);
    plain.flags |= InputEvent::kHasSecondRow;
    plain.secondRow = commands;
    InputEvent focused = plain;
    EXPECT_TRUE(view_.HandleEvent(plain));
    EXPECT_EQ(owner_.Last(), "command 55 0");
    layout_.SetCurrentMark(0, false, false);
    EXPECT_TRUE(view_.HandleEvent(focused));
    EXPECT_EQ(owner_.Last(), "activate");
}

TEST_F(ViewTest, ReadingPositionIsRelativeToTheFirstPage) {
    Open();
    uint32_t position = 0, length = 0, total = 1000;
    ASSERT_TRUE(view_.GetReadingPosition(position, length, total));
    EXPECT_EQ(position, 0u);
    EXPECT_EQ(total, 60u);
    EXPECT_EQ(length, 20u);
    owner_.source = nullptr;
    EXPECT_FALSE(view_.GetReadingPosition(position, length, total));
    PositionViewElement bare(&owner_);
    owner_.source = &doc_;
    EXPECT_FALSE(bare.GetReadingPosition(position, length, total));
    // A layout without a current page has no position (no wrapped subtraction).
    PageLayout idle;
    bare.AttachLayout(&idle);
    EXPECT_FALSE(bare.GetReadingPosition(position, length, total));
}

TEST_F(ViewTest, TheViewTakesTheFocusForMarksWithoutControls) {
    Open();
    EXPECT_EQ(layout_.FocusNode(), &view_);
    // Another view takes the layout over; leaving it, the view lets go only of its own.
    PositionViewElement other(&owner_);
    other.AttachLayout(&layout_);
    EXPECT_EQ(layout_.FocusNode(), &other);
    PageLayout elsewhere;
    view_.AttachLayout(&elsewhere);
    EXPECT_EQ(layout_.FocusNode(), &other);
    other.AttachLayout(nullptr);
    EXPECT_EQ(layout_.FocusNode(), nullptr);
    view_.AttachLayout(&layout_);
}

TEST_F(ViewTest, GoToPositionKeepsThePageThatShowsIt) {
    Open();
    EXPECT_EQ(view_.GoToPosition(5), 0u);
    EXPECT_EQ(layout_.CurrentPageStart(), 0u);
    uint32_t start = view_.GoToPosition(45);
    EXPECT_NE(start, 0u);
    EXPECT_EQ(start, layout_.CurrentPageStart());
    PositionViewElement bare(&owner_);
    EXPECT_EQ(bare.GoToPosition(5), PageLayout::kNone);
}

TEST_F(ViewTest, SettingsSetColumnsAndMarginsByFrameAndPage) {
    Open();
    owner_.settings.columns = 2;
    owner_.settings.marginH = 8;
    owner_.settings.marginV = 4;
    view_.ApplySettings();
    EXPECT_EQ(owner_.calls.front(), "prepare");
    EXPECT_EQ(view_.relayouts, 1u);
    EXPECT_FALSE(view_.IsCommandEnabled(79, 0));  // two columns
    owner_.topFrame = false;
    view_.ApplySettings();
    EXPECT_TRUE(view_.IsCommandEnabled(79, 0));  // a sub-frame keeps one
}

class CountingDisplay final : public DisplayLink {
public:
    bool IsActive() const override { return true; }
    bool HasBackBuffer() const override { return false; }
    HDC BufferDC() override { return nullptr; }
    void GetTransform(Transform&) const override {}
    Rect MapRect(const Rect& r, bool) const override { return r; }
    int Orientation() const override { return 0; }
    bool IsScrolling() const override { return false; }
    void InvalidateRect(const Rect*, bool) override {}
    void InvalidatePage(const Rect*) override {}
    void FlushDirty() override {}
    void Repaint(const Rect*) override {}
    bool OnEvent(InputEvent&) override { return false; }
    void OnCommand(uint32_t) override {}
    void Resize(int32_t, int32_t) override {}
    void OverlayCommit() override {}
    void ForgetShownPage() override { ++forgotten; }
    int forgotten = 0;
};

TEST_F(ViewTest, ActivationNoticeOneMakesTheDisplayForgetItsPage) {
    Open();
    view_.OnActivation(1);  // no display yet: nothing to tell
    CountingDisplay display;
    layout_.SetDisplay(&display);
    view_.OnActivation(1);
    EXPECT_EQ(display.forgotten, 1);
    EXPECT_TRUE(owner_.calls.empty());
    view_.OnActivation(2);
    EXPECT_EQ(display.forgotten, 1);
    ASSERT_EQ(owner_.calls.size(), 1u);
    EXPECT_EQ(owner_.calls[0], "tip");
    // The tree's activation reaches the element as notice 1; going inactive tells nothing.
    view_.SetActive(false);
    EXPECT_EQ(display.forgotten, 1);
    view_.SetActive(true);
    EXPECT_EQ(display.forgotten, 2);
    layout_.SetDisplay(nullptr);
}

TEST_F(ViewTest, SettingsGiveTheLayoutTheReadersLinkLook) {
    Open();
    uint32_t configured = layout_.Settings().defaults.linkColor;
    bool underlined = layout_.Settings().defaults.underlineLinks;
    view_.ApplySettings();  // an owner without settings: the document's defaults stay
    EXPECT_EQ(layout_.Settings().defaults.linkColor, configured);
    EXPECT_EQ(layout_.Settings().defaults.underlineLinks, underlined);
    owner_.settings.hasLinkStyle = true;
    owner_.settings.linkColour = 0x123456;
    owner_.settings.underlineLinks = !underlined;
    view_.ApplySettings();
    EXPECT_EQ(layout_.Settings().defaults.linkColor, 0x123456u);
    EXPECT_EQ(layout_.Settings().defaults.underlineLinks, !underlined);
}

TEST_F(ViewTest, SavedStateCarriesTheElementsOwnBlock) {
    Open();
    view_.OwnState().WriteWord32BE(0xA1B2C3D4u);
    uint32_t number = 0, start = 0;
    ByteStream saved;
    ASSERT_TRUE(view_.SaveState(number, start, saved));
    view_.OwnState().Clear();
    ASSERT_TRUE(view_.RestoreState(number, start, saved));
    uint32_t word = 0;
    ASSERT_TRUE(view_.OwnState().ReadWord32BE(word));
    EXPECT_EQ(word, 0xA1B2C3D4u);
}

TEST_F(ViewTest, APlaceTakenUnderACoverLaysThePageOutWhenItIsShownAgain) {
    Open();
    Rect none;
    view_.AdjustRect(none, Rect{0, 0, 120, 60});
    const int32_t width = layout_.Column(0).width;
    const uint32_t before = view_.relayouts;
    // The window grows while a picture covers the page: the taps find the element there at
    // once, but the hidden page is not laid out yet.
    owner_.positionView = false;
    view_.AdjustRect(none, Rect{0, 0, 160, 40});
    EXPECT_TRUE(view_.HitTest(Rect{150, 30, 1, 1}));
    EXPECT_EQ(view_.relayouts, before);
    // The page comes back at that place: it is laid out for it, once.
    owner_.positionView = true;
    view_.AdjustRect(none, Rect{0, 0, 160, 40});
    EXPECT_EQ(view_.relayouts, before + 1);
    EXPECT_EQ(layout_.Column(0).width, width + 40);
    view_.AdjustRect(none, Rect{0, 0, 160, 40});
    EXPECT_EQ(view_.relayouts, before + 1);
}

TEST_F(ViewTest, ScrollIntoViewTurnsThePageTowardsAControl) {
    Open();
    Rect none;
    view_.AdjustRect(none, Rect{0, 0, 120, 60});
    owner_.calls.clear();
    EXPECT_TRUE(view_.BringIntoView(Rect{10, 10, 20, 8}, 1));
    EXPECT_TRUE(owner_.calls.empty());  // shown already
    EXPECT_TRUE(view_.BringIntoView(Rect{10, 80, 20, 8}, 1));
    EXPECT_EQ(owner_.Last(), "step 1 255");
    EXPECT_TRUE(view_.BringIntoView(Rect{10, -40, 20, 8}, 1));
    EXPECT_EQ(owner_.Last(), "step -1 255");
    PositionViewElement bare(&owner_);
    EXPECT_FALSE(bare.BringIntoView(Rect{10, 10, 20, 8}, 1));
}

TEST_F(ViewTest, ALineStepOnAPageEndingInABreakTakesTheNextPageWhole) {
    content_.pageBreak = true;
    Open();
    EXPECT_TRUE(Key(13));
    EXPECT_EQ(owner_.Last(), "step 2 1");
    EXPECT_TRUE(Key(1036));
    EXPECT_EQ(owner_.Last(), "move link 1036 1 1");
    owner_.settings.columns = 2;
    EXPECT_TRUE(Key(13));
    EXPECT_EQ(owner_.Last(), "step 2 255");
    EXPECT_TRUE(Key(14));
    EXPECT_EQ(owner_.Last(), "step -2 255");
}

TEST_F(ViewTest, InFocusModeKeyRowsAreReadForTheirPlainDirections) {
    Open();
    // The focus box reads the pop-up's column (2): its directions, Enter and Esc are the box's.
    uint32_t row[kKeyRowColumns] = {13, 13, kKeyRight, 0, 0, 0, 0, 0, 0, 0, 0, kKeyRight};
    view_.ExecuteCommand(Cmd::kFocusBoxWord, 0);
    owner_.calls.clear();
    InputEvent e = InputEvent::Row(row);
    EXPECT_TRUE(view_.HandleEvent(e));
    EXPECT_EQ(FocusText(), "the");
    EXPECT_TRUE(owner_.calls.empty());  // no page step while the box moves
    view_.ExecuteCommand(Cmd::kFocusBoxWord, 0);
    InputEvent again = InputEvent::Row(row);
    EXPECT_TRUE(view_.HandleEvent(again));
    EXPECT_EQ(owner_.Last(), "step 1 255");  // the box is off: the row's own column
}

// Taps on a page laid out by the real engine, with the reader's margins, in an element placed
// below a title: the word drawn under the pen is the word taken, by the reader's tap (a fresh
// focus on the page, as the tap pop-up finds its word) and by the focus box mode.
class TappingOwner final : public FakeOwner {
public:
    bool TapAt(Point p) override {
        taps.push_back(p);
        return true;
    }
    std::vector<Point> taps;
};

using WordTaps = fvt::test::WindowTest;

TEST_F(WordTaps, ATapOnAWordsDrawnRectangleTakesThatWord) {
    constexpr Rect kPlace{0, 26, 200, 260};  // under a 26 pixel title
    fvt::test::ContextCanvas* surface = fvt::test::NewContextCanvas(200, 300);
    fvt::test::SeekableDocument doc(
        u"<html><body><h1>The Lighthouse Keeper</h1><p>The lamp was old and patient. She wiped "
        u"its glass with a soft cloth, trimmed the wick that no longer needed trimming, and "
        u"watched the beam sweep the water.</p></body></html>",
        512);
    HtmlTokenizer source(true);
    ASSERT_TRUE(source.Attach(&doc, 0));
    fvt::test::FixedTraits traits(0x11570002);
    RecordingCanvas canvas;
    TappingOwner owner;
    owner.settings.marginH = 20;
    owner.settings.marginV = 12;
    {
        PageLayout layout(&traits);
        layout.SetSource(&source);
        layout.SetGraphics(fvt::test::CanvasContext(surface));
        layout.SetCanvas(&canvas);
        layout.Configure(LayoutSettings{});
        layout.SetViewport(Rect{0, 0, 200, 300});
        ASSERT_TRUE(layout.Start());
        ASSERT_TRUE(layout.GoToPage(1));
        PositionViewElement view(&owner);
        view.AttachLayout(&layout);
        Rect none;
        view.AdjustRect(none, kPlace);
        view.ApplySettings();
        canvas.ops.clear();
        ASSERT_TRUE(layout.PaintCurrentPage(false));
        // Every word is drawn inside the place and its margins.
        std::vector<fvt::test::Op> words;
        for (const fvt::test::Op& op : canvas.Of('T')) {
            std::string text(op.text.begin(), op.text.end());
            EXPECT_GE(op.rect.x, kPlace.x + 20) << text;
            EXPECT_GT(op.rect.y, kPlace.y + 12) << text;
            if (text == "lamp" || text == "wick" || text == "beam" || text == "water.")
                words.push_back(op);
        }
        ASSERT_EQ(words.size(), 4u);
        for (const fvt::test::Op& word : words) {
            std::string expected(word.text.begin(), word.text.end());
            // Just inside the word's left end, just above its baseline.
            Point at{word.rect.x + 2, word.rect.y - 2};
            owner.taps.clear();
            InputEvent up = InputEvent::Pen(kPenUp, at);
            EXPECT_TRUE(view.HandleEvent(up)) << expected;
            ASSERT_EQ(owner.taps.size(), 1u) << expected;
            EXPECT_EQ(owner.taps[0].x, at.x);
            EXPECT_EQ(owner.taps[0].y, at.y);
            TextFocus tapped;
            tapped.Bind(&layout, layout.CurrentPageSlot());
            String text;
            uint32_t language = 0;
            ASSERT_TRUE(tapped.FocusWordAt(at)) << expected;
            tapped.SetRange(true, false);
            tapped.SetRange(false, false);
            ASSERT_TRUE(tapped.GetSelectionText(1, text, language));
            EXPECT_EQ(std::string(text.Data(), text.Data() + text.Length()), expected);
            // The focus box mode takes the same word.
            view.ExecuteCommand(Cmd::kFocusBoxWord, 0);
            InputEvent again = InputEvent::Pen(kPenUp, at);
            EXPECT_TRUE(view.HandleEvent(again));
            String boxed;
            ASSERT_TRUE(view.TextFocusBox().GetSelectionText(1, boxed, language)) << expected;
            EXPECT_EQ(std::string(boxed.Data(), boxed.Data() + boxed.Length()), expected);
            view.ExecuteCommand(Cmd::kFocusBoxWord, 0);
        }
        layout.SetCanvas(nullptr);
    }
    fvt::test::DeleteContextCanvas(surface);
}
