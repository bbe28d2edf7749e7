#include "reader/page_view_host.h"

#include "database/resource.h"
#include "document/location/location.h"
#include "document/markup/link_target.h"
#include "graphics/core/command_ids.h"
#include "graphics/widgets/area.h"
#include "layout/page_layout.h"
#include "reader/book_actions.h"
#include "reader/book_document_controller.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"
#include "reader/reader_views.h"
#include "script/script_engine.h"

bool PageViewHost::StepPage(PageStepCode step, PageMarkIndex mark) {
    return controller_.StepPage(step, mark);
}

bool PageViewHost::TapAt(Point p) {
    ReaderController* reader = controller_.Reader();
    ReaderSettings* settings = reader ? reader->GetSettings() : nullptr;
    PositionViewElement* view = controller_.Page().View();
    if (settings && settings->touchPageTurn && view) {
        // The page's own left and right (on a turned screen they show at its top and bottom):
        // marks, tables and objects there have taken their taps before this.
        const Rect& page = view->Bounds();
        const int32_t fifth = page.width / 5;
        if (fifth > 0 && p.x < page.x + fifth) {
            reader->PostCommand(Cmd::kPreviousPage);
            return true;
        }
        if (fifth > 0 && p.x >= page.x + page.width - fifth) {
            reader->PostCommand(Cmd::kNextPage);
            return true;
        }
    }
    return TapOnPage(controller_, p);
}

void PageViewHost::ChangeFontSize(int32_t delta) { controller_.ChangeFontSize(delta); }

bool PageViewHost::GoBack() { return controller_.HistoryBack(true); }

void PageViewHost::SpeakText(uint32_t mode, uint32_t position) {
    controller_.Speech().SpeakText(mode != 0, position);
}

void PageViewHost::SelectMark(uint32_t index) {
    if (PageLayout* layout = controller_.Page().Layout())
        layout->SetCurrentMark(index, false, true);
}

void PageViewHost::ActivateCurrentArea() {
    PageLayout* layout = controller_.Page().Layout();
    AreaArray* marks = nullptr;
    if (!layout || !layout->GetCurrentBlockMarks(marks) || !marks) return;
    uint32_t index = layout->CurrentMarkIndex();
    if (index >= static_cast<uint32_t>(marks->Count())) return;
    Area* area = marks->At(static_cast<int32_t>(index));
    // Held: following the link lays out another page and frees this page's marks.
    RefPtr<LinkTarget> link;
    if (area) link.Assign(area->link.Get());
    if (!link) return;
    // A frame's links move the window's own page (scripts and actions stay the frame's).
    BookDocumentController& follower = controller_.LinkController();
    bool elsewhere = &follower != &controller_;
    bool followed = false;
    switch (link->kind) {
        case kLinkAddress:
            followed = follower.OpenInTarget(link->text, String(), nullptr, false);
            break;
        case kLinkFilePosition: {
            const Location* here = follower.CurrentLocation();
            Location target;
            if (!here) return;
            target.CopyFrom(*here);
            if (!target.SetPositionAnchor(link->number)) return;
            followed = follower.NavigateTo(target);
            break;
        }
        case kLinkScript:
            RunMarkScript(link->text);
            break;
        default:
            // Scripts, reader commands, entries: the book's actions.
            controller_.PerformAction(link.Get(), 0);
            break;
    }
    // The page the frame's link moved takes the keys (the frame may be gone: not touched).
    if (elsewhere && followed) {
        PositionViewElement* view = follower.Page().View();
        if (view && view->Parent()) view->Focus();
    }
}

namespace {
// The mark beside a note's words, which shows the note.
bool IsNoteMark(const Area* area) {
    const LinkTarget* link = area ? area->link.Get() : nullptr;
    return link && link->kind == kLinkCoordinates && link->objectKind == ReaderObjects::kWindow &&
           link->methodId == ReaderMethods::kDisplayBookmarkTip;
}
}  // namespace

void PageViewHost::FollowTappedMark() {
    PageLayout* layout = controller_.Page().Layout();
    AreaArray* marks = nullptr;
    if (!layout || !layout->GetCurrentBlockMarks(marks) || !marks) return;
    const uint32_t index = layout->CurrentMarkIndex();
    const bool note = index < static_cast<uint32_t>(marks->Count()) &&
                      IsNoteMark(marks->At(static_cast<int32_t>(index)));
    ActivateCurrentArea();
    // The pop-up took the focus and the page remembered the mark: it forgets it. Without a
    // pop-up the mark is drawn plain again.
    if (note && controller_.Page().Layout() == layout)
        layout->SetCurrentMark(PageLayout::kNone, false, false);
}

bool PageViewHost::RunMarkScript(const String& text) {
    // The controller's own script face: a navigation the script asks for waits until it ends.
    BookActionBridge* actions = controller_.Scripting().Actions();
    return actions && actions->RunMarkScript(text);
}

bool PageViewHost::StepLinkArea(bool forward) {
    PageLayout* layout = controller_.Page().Layout();
    AreaArray* marks = nullptr;
    if (!layout || !layout->GetCurrentBlockMarks(marks) || !marks) return false;
    int32_t count = marks->Count();
    uint32_t current = layout->CurrentMarkIndex();
    if (current >= static_cast<uint32_t>(count)) return false;
    int32_t step = forward ? 1 : -1;
    for (int32_t i = static_cast<int32_t>(current) + step; i >= 0 && i < count; i += step) {
        Area* area = marks->At(i);
        if (!area || !area->link) continue;
        layout->SetCurrentMark(static_cast<uint32_t>(i), false, true);
        controller_.Invalidate(false);
        return true;
    }
    return false;
}

bool PageViewHost::MoveLinkFocus(uint32_t code, bool noMarkCurrent, bool endsWithPageBreak) {
    return controller_.MoveLinkFocus(code, endsWithPageBreak, noMarkCurrent);
}

void PageViewHost::ShowAreaTip() {
    PageLayout* layout = controller_.Page().Layout();
    ReaderController* reader = controller_.Reader();
    String text;
    Rect where{};
    if (!layout || !reader || !layout->BuildAreaTip(text, where)) return;
    reader->ShowPopupPage(text, TextPopup::kAtAnchor, Point{where.x, where.y + where.height});
}

void PageViewHost::GoToFirstPage() { controller_.GoToPage(1); }

void PageViewHost::GoToLastPage() { controller_.GoToPage(PageLayout::kNone); }

bool PageViewHost::ScrollTables(int32_t dx, int32_t dy) {
    PageLayout* layout = controller_.Page().Layout();
    if (!layout) return false;
    layout->ResetTableCells();
    if (!layout->ScrollTables(Point{dx, dy})) return false;
    controller_.Invalidate(true);
    return true;
}

void PageViewHost::PrepareRendering(PageLayout& layout) {
    LayoutSettings settings;
    controller_.GetLayoutOptions(settings);
    layout.Configure(settings);
}

void PageViewHost::GetViewSettings(ViewSettings& out) {
    out = ViewSettings();
    const ReaderSettings* settings = controller_.Settings();
    if (!settings) return;  // the document's own look stays
    uint32_t h = 0, v = 0;
    settings->GetMargins(h, v);
    out.marginH = static_cast<int32_t>(h);
    out.marginV = static_cast<int32_t>(v);
    out.hasLinkStyle = true;
    settings->GetHyperlinkColour(out.linkColour);
    out.underlineLinks = settings->underlineLinks != 0;
}

void PageViewHost::InvalidateSurface() { controller_.Invalidate(true); }

void PageViewHost::PagedThroughTables() {
    controller_.NoteMoved();
}

void PageViewHost::PostCommand(uint32_t id, uint32_t /*argument*/) {
    if (ReaderController* reader = controller_.Reader()) reader->PostCommand(static_cast<int32_t>(id));
}

bool PageViewHost::ActivateObjectAt(Point p) { return controller_.ActivateObjectAt(p); }

bool PageViewHost::IsTopFrame() {
    return !controller_.Frames().IsFrame();
}

bool PageViewHost::HasDocument() { return controller_.Document() != nullptr; }

uint32_t PageViewHost::InternalPageId() {
    const Location* location = controller_.CurrentLocation();
    return location && location->IsInternal() ? location->ResourceId() : 0;
}

DocumentSource* PageViewHost::CurrentSource() {
    Resource* document = controller_.Document();
    return document ? document->GetDocument() : nullptr;
}

bool PageViewHost::HasPositionView() {
    return controller_.CurrentView() == BookDocumentController::kTextPage &&
           controller_.Page().Layout() != nullptr;
}
