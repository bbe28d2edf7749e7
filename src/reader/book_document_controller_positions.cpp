// The document controller's positions: page steps, guide references and what the page shown
// tells of itself (its range, the selection, the title and the position line).
#include "reader/book_document_controller.h"

#include <new>

#include "bookfiles/configuration_store.h"
#include "bookfiles/document_source.h"
#include "database/sql_parser.h"
#include "document/sources/document_loader.h"
#include "graphics/widgets/cover_view.h"
#include "layout/page_layout.h"
#include "layout/page_moves.h"
#include "layout/searcher.h"
#include "platform/shell/shell.h"
#include "reader/book_action_bridge.h"
#include "reader/file_messages.h"
#include "reader/image_view.h"
#include "reader/opening_rules.h"

namespace {
// Reads at most this many contents references through enclosing books.
constexpr int32_t kContentsDepth = 8;
}  // namespace

// --- positions ------------------------------------------------------------------------------

bool BookDocumentController::PageStep(int32_t how, int32_t /*count*/, int32_t /*flags*/) {
    return StepPage(StepFromValue(how));
}

bool BookDocumentController::GetViewRect(Rect& out) {
    // Only a page of text scrolls: a cover, a picture or a list has no lines to bring in.
    if (!resource_.Get() || !page_.Layout() || !page_.View() || view_ != kTextPage) return false;
    out = page_.View()->Bounds();
    return !out.IsEmpty();
}

bool BookDocumentController::GetPageTextSpan(int32_t& top, int32_t& bottom) {
    if (!resource_.Get() || !page_.Layout() || view_ != kTextPage) return false;
    return page_.Layout()->CurrentPageTextSpan(top, bottom);
}

void BookDocumentController::Scroll(int32_t pixels, int32_t mode) {
    // The auto-scroll has stepped to the next page while the screen still shows the page
    // before it moved up by `pixels`: that page, from its first line at or below the top of
    // the screen, becomes the page shown.
    if (!page_.Layout() || view_ != kTextPage || pixels <= 0) return;
    if (!page_.Layout()->StepPage(pixels, PageMoveFor(MoveRequest{MoveKind::kScroll, mode}).step))
        return;
    keepStoredPosition_ = false;
    Invalidate(true);
}

bool BookDocumentController::StepPage(PageStepCode step, PageMarkIndex mark) {
    if (!resource_.Get()) return false;
    if (view_ == kCoverView) {
        // Forward from the cover shows the text at its position.
        if (IsForwardStep(step)) Refresh();
        return IsForwardStep(step);
    }
    if (!page_.Layout()) return false;
    if (IsBackwardStep(step) && !location_.IsInternal() &&
        page_.Layout()->FirstPageStart() != PageLayout::kNone &&
        page_.Layout()->CurrentPageStart() <= page_.Layout()->FirstPageStart()) {
        if (OpeningRules::HasCover(resource_->GetDocument()) &&
            OpenLocation(String(u"$cover"), false, true) && view_ == kCoverView) {
            Invalidate(true);
            return true;
        }
    }
    if (!page_.Layout()->GoToPosition(page_.Layout()->CurrentPageStart(), step, mark))
        return false;
    keepStoredPosition_ = false;
    Invalidate(false);
    return true;
}

bool BookDocumentController::GoToPage(uint32_t n) {
    if (!page_.Layout()) return false;
    if (view_ != kTextPage) OpenLocation(String(), false, true);
    if (!page_.Layout()->GoToPage(n)) return false;
    keepStoredPosition_ = false;
    Invalidate(true);
    return true;
}

bool BookDocumentController::GoToLastPage() { return GoToPage(PageLayout::kNone); }

bool BookDocumentController::GoToPosition(uint32_t position) {
    if (!page_.Layout()) return false;
    if (view_ == kTextPage && page_.Layout()->CurrentPageStart() == position) return true;
    if (view_ != kTextPage) OpenLocation(String(), false, true);
    if (!page_.Layout()->GoToPositionAsPageStart(position)) return false;
    keepStoredPosition_ = false;
    Invalidate(true);
    return true;
}

bool BookDocumentController::GoToStart() { return refs_.RunReference(u"start", 5); }

bool BookDocumentController::GoToContents() {
    if (contentsDepth_ >= kContentsDepth) return false;
    ++contentsDepth_;
    bool ok = refs_.RunReference(u"toc", 3) || refs_.RunReference(u"start", 5) || GoToPage(1);
    --contentsDepth_;
    return ok;
}

bool BookDocumentController::OpenReference(const String& name) {
    if (name.EqualsAscii("toc")) return GoToContents();
    if (name.EqualsAscii("start")) return GoToStart();
    if (!resource_.Get()) return false;
    if (name.Length() && name[0] == u'$') {
        bool ok = OpenLocation(name, false, true);
        Invalidate(true);
        return ok && current_ == name;
    }
    return refs_.RunReference(name.Data(), name.Length());
}

// --- queries --------------------------------------------------------------------------------

uint32_t BookDocumentController::ViewMode() const {
    if (!resource_.Get()) return 7;
    if (view_ == kAudioView) return 6;
    if (view_ == kImageView) return ImageView::kViewKind;
    if (view_ == kRecordSetView) return 2;
    if (view_ == kWordListView) return 4;
    if (view_ == kSearchHistoryView) return 5;
    return 1;
}

uint32_t BookDocumentController::DocumentLength() { return page_.Layout() ? page_.Layout()->TextLength() : 0; }

int32_t BookDocumentController::GetPageStart() { return page_.PageStart(); }

int32_t BookDocumentController::GetPageNumber() { return page_.PageNumber(); }

int64_t BookDocumentController::CurrentPageValue() {
    int32_t start = GetPageStart();
    return start < 0 ? -1 : start;
}

bool BookDocumentController::PageRange(uint32_t& start, uint32_t& end) {
    return page_.ShownRange(start, end);
}

void BookDocumentController::DeleteHighlightsInSelection() {
    String text;
    uint32_t start = 0, end = 0;
    bool selected = GetSelection(text, start, end);
    ResetViewElement();
    if (!selected || !sideFile_.File()) return;
    const std::vector<int32_t> found = sideFile_.HighlightsIn(start, end);
    if (found.empty()) return;
    sideFile_.DeleteAll(found);
    ReloadAnnotations();
    for (auto i = found.rbegin(); i != found.rend(); ++i) NotifyAnnotation(*i);
}

bool BookDocumentController::SelectionHoldsHighlight(uint32_t start, uint32_t end) {
    return sideFile_.HoldsHighlight(start, end);
}

bool BookDocumentController::SelectionHoldsImage() {
    String location;
    return page_.View() && view_ == kTextPage && page_.Layout() &&
           !page_.View()->CurrentFocus().HasNoSelection() &&
           page_.View()->CurrentFocus().GetSelectedObjectLocation(location) && !location.IsEmpty();
}

bool BookDocumentController::OpenSelectedImage() {
    String location;
    if (!page_.View() || view_ != kTextPage || !page_.Layout() ||
        page_.View()->CurrentFocus().HasNoSelection() ||
        !page_.View()->CurrentFocus().GetSelectedObjectLocation(location) || location.IsEmpty())
        return false;
    return ActivateLink(location);
}

bool BookDocumentController::AnnotationStartText(uint32_t kind, uint32_t start, uint32_t end,
                                                 String& out) {
    out.SetEmpty();
    if ((kind & 0x3F) == AnnotationFile::kNote) return true;
    String text;
    uint32_t from = 0, to = 0;
    if (!GetSelection(text, from, to) || from != start || to != end) return false;
    out = text;
    return !out.IsEmpty();
}

bool BookDocumentController::GetSelectionLanguage(String& text, uint32_t& language) {
    text.SetEmpty();
    language = 0;
    if (!page_.View() || view_ != kTextPage || !page_.Layout()) return false;
    const TextFocus& focus = page_.View()->CurrentFocus();
    return !focus.HasNoSelection() && focus.GetSelectionText(1, text, language) && !text.IsEmpty();
}

bool BookDocumentController::GetSelection(String& text, uint32_t& start, uint32_t& end) {
    text.SetEmpty();
    start = end = 0;
    if (!page_.View() || view_ != kTextPage || !page_.Layout()) return false;
    const TextFocus& focus = page_.View()->CurrentFocus();
    if (focus.HasNoSelection()) return false;
    focus.GetSelectionRange(start, end);
    uint32_t language = 0;
    focus.GetSelectionText(1, text, language);
    if (start < end) return true;
    start = end = 0;
    text.SetEmpty();
    return false;
}

bool BookDocumentController::PageBookmarkText(String& out) {
    out.SetEmpty();
    PageSlot* slot = page_.Layout() && view_ == kTextPage ? page_.Layout()->CurrentPageSlot() : nullptr;
    if (!slot) return false;
    // The page's first words name the bookmark.
    TextFocus sample;
    sample.Bind(page_.Layout(), slot);
    uint32_t language = 0;
    return sample.GetBlockTextSample(out, language) && !out.IsEmpty();
}

bool BookDocumentController::GetTitle(String& out) {
    out.SetEmpty();
    return resource_.Get() && resource_->GetTitle(out) && !out.IsEmpty();
}

bool BookDocumentController::PositionText(String& out) {
    out.SetEmpty();
    if (!page_.Layout() || view_ != kTextPage || GetPageStart() < 0) return false;
    String title, id;
    GetTitle(title);
    if (title.IsEmpty()) title = sideFile_.Title();
    if (DocumentSource* document = resource_->GetDocument()) {
        uint32_t length = 0;
        if (const uint8_t* bytes = document->GetDatabaseNameBytes(length))
            for (uint32_t i = 0; i < length; ++i) id.AppendChar(bytes[i]);
    }
    out = OpeningRules::PositionLine(static_cast<uint32_t>(GetPageStart()), id,
                                     page_.Layout()->CurrentDocumentKey(), title);
    return true;
}

