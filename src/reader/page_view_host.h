// What the page view element asks of the document controller, answered over the controller
// (a class of its own: the element's font-size call and the controller's share a name).
#pragma once

#include <memory>

#include "layout/page_view.h"
#include "reader/book_action_bridge.h"

class BookDocumentController;

// The word under a tap goes to the reader controller's tap action (the look-up room,
// dictionary_lookups.cpp).
bool TapOnPage(BookDocumentController& controller, Point p);

class PageViewHost final : public PageViewOwner {
public:
    explicit PageViewHost(BookDocumentController& controller) : controller_(controller) {}

    bool StepPage(PageStepCode step, PageMarkIndex mark) override;
    void ChangeFontSize(int32_t delta) override;
    bool GoBack() override;
    void SpeakText(uint32_t mode, uint32_t position) override;
    void SelectMark(uint32_t index) override;
    bool FindAreaByKey(Node*, uint32_t&) override { return false; }
    void ActivateCurrentArea() override;
    // Follows the mark a tap made the link focus. A note's mark only opens the note's pop-up:
    // it does not keep the link focus, and looks as it did once the pop-up has closed.
    void FollowTappedMark();
    bool NextLinkArea() override { return StepLinkArea(true); }
    bool PreviousLinkArea() override { return StepLinkArea(false); }
    bool MoveLinkFocus(uint32_t code, bool noMarkCurrent, bool endsWithPageBreak) override;
    // The current mark's tip (its words on the page) in the page pop-up below it, as a book's
    // tips show; the next key or tap hides it.
    void ShowAreaTip() override;
    void GoToFirstPage() override;
    void GoToLastPage() override;
    bool ScrollTables(int32_t dx, int32_t dy) override;
    // The box confirmed with Enter is taken as a tap there: its selection and word go to the
    // tap action or pop-up.
    void SelectAt(Point p) override { TapOnPage(controller_, p); }
    // With "Clicking on page turns pages" a tap on the outer fifth of the page turns it;
    // elsewhere it is the reader's tap.
    bool TapAt(Point p) override;
    void DeselectCurrentArea() override {}
    void InvalidateSurface() override;
    void PagedThroughTables() override;
    // The controller's layout options (the reader's font size, text and link look).
    void PrepareRendering(PageLayout& layout) override;
    void GetViewSettings(ViewSettings& out) override;
    void PostCommand(uint32_t id, uint32_t argument) override;
    bool HasDocument() override;
    bool IsTopFrame() override;
    uint32_t InternalPageId() override;
    DocumentSource* CurrentSource() override;
    bool HasPositionView() override;
    bool ActivateObjectAt(Point p) override;

    // Runs a page mark's script (a table's arrows, a bookmark's tip) against the reader's
    // objects; false when it does not compile or fails.
    bool RunMarkScript(const String& text);

private:
    // The next (previous) mark of the page after (before) the current one that carries a link
    // becomes current and is shown; false when no mark is current or none follows that way.
    bool StepLinkArea(bool forward);

    BookDocumentController& controller_;
};
