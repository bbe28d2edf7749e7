// The page view element: the node of the widget tree that shows one PageLayout. It turns key
// rows into page steps, link-focus moves, table scrolling and commands; runs the view commands
// the reader controller forwards and answers its enabled test; keeps the text focus box mode;
// applies the reader's settings to the layout; serves the reading position and the saved page
// state; and turns taps into link focus (command 90) or a focused word.
//
// Everything it asks of the document controller, the reader controller and the settings sits
// above the layout, so it goes through PageViewOwner, which the document controller
// implements. Calls out may navigate (and replace the page): the element reads what it needs
// before calling and touches no slot afterwards.
#pragma once

#include <cstdint>

#include "core/byte_stream.h"
#include "core/geometry.h"
#include "graphics/core/command_ids.h"
#include "graphics/core/node.h"
#include "layout/focus_box.h"
#include "layout/page_moves.h"
#include "layout/page_step.h"

class DocumentSource;
class PageLayout;

// The text focus box modes.
enum FocusMode : uint32_t {
    kFocusNone = 0,
    kFocusWord = 1,       // command 87: Enter selects at the box
    kFocusRange = 2,      // command 40: the first Enter fixes the anchor
    kFocusConfirmed = 3,  // mode 2 after the first confirmation: moves extend the range
};

// The settings the element applies to its layout.
struct ViewSettings {
    uint32_t columns = 1;
    int32_t marginH = 0;
    int32_t marginV = 0;
    // The reader's look of links; an owner without settings leaves the document's defaults.
    bool hasLinkStyle = false;
    uint32_t linkColour = 0xAA5500;  // (0, 85, 170)
    bool underlineLinks = false;
};

// What the element asks of its owner, the document controller.
class PageViewOwner {
public:
    // Moves the page by the step; the page reached takes `mark` as its current mark
    // (kNoPageMark: none).
    virtual bool StepPage(PageStepCode step, PageMarkIndex mark) = 0;
    virtual void ChangeFontSize(int32_t delta) = 0;
    // Back: the controller asks its hook object first; false when nothing went back.
    virtual bool GoBack() = 0;
    virtual void SpeakText(uint32_t mode, uint32_t position) = 0;
    virtual void SelectMark(uint32_t index) = 0;
    // The owner's area that carries a control that gained the focus.
    virtual bool FindAreaByKey(Node* control, uint32_t& index) = 0;
    virtual void ActivateCurrentArea() = 0;
    virtual bool NextLinkArea() = 0;
    virtual bool PreviousLinkArea() = 0;
    virtual bool MoveLinkFocus(uint32_t code, bool noMarkCurrent, bool endsWithPageBreak) = 0;
    virtual void ShowAreaTip() = 0;
    virtual void GoToFirstPage() = 0;
    virtual void GoToLastPage() = 0;
    // Moves the selected tables (all scrollable ones when none is selected) by a step; true
    // when one moved.
    virtual bool ScrollTables(int32_t dx, int32_t dy) = 0;
    // The word box confirmed at a point of the page (event 23 in the focus box modes).
    virtual void SelectAt(Point p) = 0;
    // A tap on the page that hit no link (the reader's tap pop-up); false when not taken.
    virtual bool TapAt(Point p) {
        (void)p;
        return false;
    }
    virtual void DeselectCurrentArea() = 0;
    virtual void InvalidateSurface() = 0;
    // PageDown or PageUp showed another view of the page's tables: the reader has moved on as
    // after a page turn (the place is written when the book closes).
    virtual void PagedThroughTables() {}
    // Fills the layout's rendering state and tells the host window the element is placed.
    virtual void PrepareRendering(PageLayout& layout) = 0;
    virtual void GetViewSettings(ViewSettings& out) = 0;
    // Runs a command through the reader controller; posting keeps it off this call's stack.
    virtual void PostCommand(uint32_t id, uint32_t argument) = 0;
    virtual bool HasDocument() = 0;
    virtual bool IsTopFrame() = 0;
    // 0 an ordinary document; 1 library, 3 annotations, 4 about.
    virtual uint32_t InternalPageId() = 0;
    virtual DocumentSource* CurrentSource() = 0;
    virtual bool HasPositionView() = 0;
    // A tap on the page that hit no mark, at a point of the page: true when something there
    // took it (a reduced picture opens full size).
    virtual bool ActivateObjectAt(Point) { return false; }

protected:
    ~PageViewOwner() = default;
};

class PositionViewElement : public Widget {
public:
    explicit PositionViewElement(PageViewOwner* owner);
    ~PositionViewElement() override;

    void AttachLayout(PageLayout* layout);
    PageLayout* Layout() const { return layout_; }
    TextFocus& TextFocusBox() { return focus_; }
    // The focus bound to the page shown now: a selection of a page left behind is gone.
    TextFocus& CurrentFocus() {
        UpdateFocusBinding();
        return focus_;
    }
    uint32_t Mode() const { return mode_; }

    // The view interface.
    uint32_t CurrentPageStart() const;
    bool RestoreState(uint32_t pageNumber, uint32_t pageStart, ByteStream& stream);
    bool SaveState(uint32_t& pageNumber, uint32_t& pageStart, ByteStream& stream);
    // Position and total relative to the first page once it is known; page length 300 when
    // unknown. False without a layout, a current page or a document.
    bool GetReadingPosition(uint32_t& position, uint32_t& pageLength, uint32_t& total);
    void ApplySettings();
    // The element's own saved state, appended after the page state.
    ByteStream& OwnState() { return own_; }

    // Node and widget operations.
    bool HandleEvent(InputEvent& event) override;
    // With a link or mark focused on the page, Enter activates it.
    bool WantedInputState(InputState& state) override;
    void Redraw(const Rect* area) override;
    void ExecuteCommand(uint32_t command, uint32_t argument) override;
    bool IsCommandEnabled(uint32_t command, uint32_t argument) override;
    bool IsCommandChecked(uint32_t command, uint32_t argument) override;
    void OnFocusChanged(bool gained) override;
    Rect& AdjustRect(Rect& out, const Rect& in) override;
    // Where the element lies (the page's area on the surface).
    const Rect& Bounds() const { return bounds_; }
    bool HitTest(const Rect& area) override;
    int32_t ZOrder() const override { return 0; }
    void OnChildFocusChanged(Node* node, Widget* via, bool gained) override;
    // A form control's scrollIntoView: a control placed off the shown area turns the page
    // towards it (a page holds its controls, so one step reaches it).
    bool BringIntoView(const Rect& area, uint32_t id) override;
    // Activation notices: 1 makes the display forget the page it holds, 2 shows the tip of the
    // owner's current area.
    void OnActivation(uint32_t value);
    // The tree's activation (the window came back, an overlay went away) arrives as notice 1;
    // the children (form controls) hear it too.
    void SetActive(bool active) override;
    // The start of the page that shows a position; the current page's when it is on it.
    uint32_t GoToPosition(uint32_t position);

    void ClearFocus();
    // Draws the focus box and selection again over a page just painted.
    void RepaintFocus();
    // Lays the page out for the element's place when it was placed while the page was not
    // shown (under a cover or a picture); called before the page is painted.
    void TakePlace();
    // Shows the words of [start, end) selected (a found text) once the page is next painted:
    // the outline follows the words where the drawing put them.
    void ShowSelection(uint32_t start, uint32_t end);
    // Selects the word under a point of the page and draws it so; false when no word is there.
    bool MarkWordAt(Point p);
    // Relayouts counted (tests).
    uint32_t relayouts = 0;

    static constexpr uint32_t kUnknownPageLength = 300;
    static constexpr int32_t kTableStep = 40;

private:
    bool HandleFocusMode(uint32_t code);
    bool HandleKey(uint32_t code, uint32_t argument);
    // The page move asked for, with the column count and the page's end it depends on.
    void Move(MoveKind kind);
    bool EndsWithPageBreak();
    bool PageThroughTables(int32_t direction);
    bool HandlePen(const InputEvent& event);
    void ToggleFocusMode(uint32_t mode);
    bool CurrentMarkIsOnPage();
    void UpdateFocusBinding();

    PageViewOwner* owner_;
    PageLayout* layout_ = nullptr;
    ByteStream own_;
    uint32_t mode_ = kFocusNone;
    Rect bounds_{};     // where the element lies: its tap area
    Rect laidOutIn_{};  // the area its layout was last laid out for
    TextFocus focus_;
    // A selection waiting for the next paint (start == end: none).
    uint32_t pendingStart_ = 0;
    uint32_t pendingEnd_ = 0;
};

// Index stepping shared by text boxes and lists.
bool StepIndexWrapped(bool forward, int32_t index, int32_t count, int32_t& out, bool& fromValid,
                      bool& changed);
bool StepIndexClamped(bool forward, int32_t index, int32_t count, int32_t& out, bool& fromValid,
                      bool& changed);
bool StepIndex(bool forward, int32_t index, int32_t count, int32_t& out, bool& fromValid,
               bool& changed, bool& pastEnd);
bool RectDiffers(const Rect& a, const Rect& b);
