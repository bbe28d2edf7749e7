// The document controller's command side: the font-size step and the layout options, random
// table entries, which commands are enabled, the book's hardware-key handlers and the
// link-focus keys that run past the page.
#include "reader/book_document_controller.h"

#include <new>

#include "bookfiles/annotation_file.h"
#include "bookfiles/document_source.h"
#include "core/byte_stream.h"
#include "core/color.h"
#include "core/platform_helpers.h"
#include "database/resource.h"
#include "document/markup/link_target.h"
#include "document/markup/token_source.h"
#include "graphics/core/command_ids.h"
#include "layout/page_layout.h"
#include "layout/page_moves.h"
#include "reader/dictionary_lookups.h"
#include "reader/list_pages.h"
#include "reader/lookup_window.h"
#include "reader/random_table_entry.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"

namespace {
bool IsAnnotationCommand(int32_t id) {
    return id == Cmd::kAnnotations || id == Cmd::kToggleBookmark ||
           (id >= Cmd::kDeleteHighlight && id <= Cmd::kModify) ||
           (id >= Cmd::kEditNote && id <= Cmd::kSetLinkTarget);
}
}  // namespace

void BookDocumentController::GetLayoutOptions(LayoutSettings& out) const {
    out = LayoutSettings();
    if (settings_) {
        out.baseFontSize = settings_->FontSize();
        out.defaultAlignment = settings_->alignment;
        uint32_t colour = 0;
        // Text that names no colour is drawn in the page's text colour, so that a new colour
        // needs no new layout.
        out.pageText = settings_->GetTextColour(colour);
        out.pageBackground = settings_->GetBackgroundColour(colour);
        out.defaults.style.text.color = Color::kNone;
        // The display profile's face: 3 the chosen system face, 4 the chosen font database.
        const uint8_t mode = settings_->GetProfileMode();
        if (mode == ReaderController::kSystemFontEntry ||
            mode == ReaderController::kBitmapFontEntry)
            out.textFace = mode;
        // The reader's look of links, over the book's own.
        out.defaults.linkColor = settings_->GetHyperlinkColour(colour);
        out.defaults.underlineLinks = settings_->underlineLinks != 0;
    }
    out.book = resource_.Get();
    out.location = resource_.Get() ? &location_ : nullptr;
    pictures_.Attach(loader_, out.location);
    out.opener = &pictures_;
    out.log = log_;
    // The program's icons in pages, in the screen's size.
    out.icons.dpi = IsHighResolution() ? 192 : 96;
}

bool BookDocumentController::ChangeFontSize(int32_t step) {
    if (!settings_) return true;
    int32_t size = settings_->FontSize() + step * static_cast<int32_t>(settings_->fontSizeStep);
    if (!settings_->SetFontSize(size)) return true;
    SaveViewState();
    return true;
}

bool BookDocumentController::OpenRandomTableEntry(const String* name) {
    if (!resource_.Get()) return false;
    String text;
    if (name) {
        text.AppendAscii("table=");
        text.Append(*name);
    } else {
        text.AppendAscii("special_table=default");
    }
    int64_t position = RandomTablePosition(resource_.Get(), text, random_);
    if (position < 0 || position > UINT32_MAX) return false;
    return GoToPosition(static_cast<uint32_t>(position));
}

bool BookDocumentController::IsCommandEnabled(int32_t id) const {
    switch (id) {
        case Cmd::kForward: return history_.Entries().CanForward();
        case Cmd::kBack: return history_.Entries().CanBack();
        case Cmd::kReservedCommand108: return false;
        case Cmd::kLookup: case Cmd::kLookupBilingual: case Cmd::kLookupMonolingual:
            return reader_ && reader_->Lookups().CanLookUp(id);
        default: break;
    }
    // The view shown answers for the rest: a cover or a picture has no use for the page's
    // commands, the library page none for the book's.
    Node* view = nullptr;
    bool hasView = false;
    if (resource_.Get()) {
        if (view_ == kTextPage) {
            view = page_.View();
            hasView = page_.Layout() != nullptr;
        } else if (view_ == kWordListView || view_ == kSearchHistoryView) {
            LookupListPages* pages = records_.ListPageShown() && reader_ ? reader_->Lookups().ListPages() : nullptr;
            view = pages ? pages->Page() : nullptr;
            hasView = view != nullptr;
        } else {
            view = ViewOverPage();
            hasView = view != nullptr;
        }
    }
    if (id < 0) return false;
    if (IsAnnotationCommand(id)) {
        if (!sideFile_.File()) return false;
        return !view || view->IsCommandEnabled(static_cast<uint32_t>(id), 0);
    }
    if (!hasView) return false;
    return !view || view->IsCommandEnabled(static_cast<uint32_t>(id), 0);
}

bool BookDocumentController::OnHardwareKey(uint32_t index) {
    const char16_t* name = DocumentFrames::HardwareKeyName(index);
    return name && RunNamedHandler(String(name));
}

bool BookDocumentController::RunNamedHandler(const String& name) {
    if (BookKeyHandlers* handlers = frames_.KeyHandlers()) return handlers->RunKeyHandler(name);
    // The first handler of that name; the link is held while its action runs (which may
    // collect the handlers anew).
    for (const RefPtr<LinkTarget>& link : frames_.KeyLinks()) {
        if (!link || !(link->name == name)) continue;
        RefPtr<LinkTarget> held(link);
        return PerformAction(held.Get(), 0);
    }
    return false;
}

bool BookDocumentController::MoveLinkFocus(uint32_t code, bool endsWithPageBreak,
                                           bool noMarkCurrent) {
    MoveKind kind;
    if (code < kKeyFocusNext || !MoveKindForKey(code, kind)) return false;
    MoveRequest request{kind};
    request.endsWithPageBreak = endsWithPageBreak;
    const PageStepCode step = PageMoveFor(request).step;
    const bool forward = IsForwardStep(step);
    if (noMarkCurrent && !frames_.Framed() && FocusPageLink(forward)) return true;
    // A frame's keys move the focus through the window's frame set.
    if (BookDocumentController* owner = frames_.OwnerController())
        return owner->MoveLinkFocus(code, endsWithPageBreak);
    // The next frame that way with a link takes the focus; without one the page steps.
    if (frames_.MoveFocus(forward, false)) return true;
    if (!StepPage(step)) return false;
    focusKind_ = forward ? kFocusForward : kFocusBackward;
    // Command 90 then moves the frame focus; it follows no link after a page step.
    if (reader_) reader_->PostCommand(Cmd::kActivateFocus);
    return true;
}

// --- annotations ---------------------------------------------------------------------------

int32_t BookDocumentController::PreviousAnnotationIndex() {
    return sideFile_.PreviousIndex(GetPageStart());
}

int32_t BookDocumentController::NextAnnotationIndex() {
    int32_t page = GetPageStart();
    // Past the current page: an annotation opens on the page kept with it, where it may lie
    // anywhere, so one on the page shown would only bring that page back.
    uint32_t pageEnd = page >= 0 && page_.Layout() ? page_.Layout()->CurrentPageEnd() : PageLayout::kNone;
    return sideFile_.NextIndex(page, pageEnd);
}

bool BookDocumentController::OpenAnnotationLink(int32_t index) {
    String link;
    if (!resource_.Get() || !sideFile_.LinkOf(index, link)) return false;
    Location target;
    int64_t position = Location::GetAnchorPosition(link);
    if (position >= 0 && position <= UINT32_MAX && link[0] == u'#') {
        // A place of this book: only its position is stored.
        target.CopyFrom(location_);
        if (!target.SetPositionAnchor(static_cast<uint32_t>(position))) return false;
    } else if (!target.Resolve(link, &location_)) {
        return false;
    }
    return NavigateTo(target);
}

bool BookDocumentController::PageStateForAnnotation(uint32_t& word, uint32_t& position,
                                                    std::vector<uint8_t>& state) {
    HistoryEntry entry;
    if (view_ != kTextPage || !page_.Layout() || !SaveHistoryState(entry, true) || entry.viewPosition < 0)
        return false;
    word = entry.viewWord;
    position = static_cast<uint32_t>(entry.viewPosition);
    state.assign(entry.state.Data(), entry.state.Data() + entry.state.Size());
    return true;
}

bool BookDocumentController::OpenAnnotation(int32_t index) {
    uint32_t start = 0, word = 0, position = 0;
    std::vector<uint8_t> state;
    if (!sideFile_.PageOf(index, start, word, position, state) || !page_.Layout()) return false;
    const bool kept = !state.empty();
    bool pushed = false;
    PushHistoryAndNotify(pushed);
    if (kept) {
        if (view_ != kTextPage) OpenLocation(String(), false, true);
        HistoryEntry entry;
        entry.location.CopyFrom(location_);
        entry.location.SetAnchor(current_);
        entry.viewWord = word;
        entry.viewPosition = static_cast<int32_t>(position);
        if (entry.state.WriteBytes(state.data(), state.size()) && OpenHistoryEntry(entry, true)) {
            const uint32_t pageStart = page_.Layout()->CurrentPageStart();
            const uint32_t pageEnd = page_.Layout()->CurrentPageEnd();
            if (pageStart != PageLayout::kNone && pageStart <= start &&
                (pageEnd == PageLayout::kNone || start < pageEnd))
                return true;
        }
        // Laid out otherwise since (another font size): the page no longer holds it.
    }
    if (GoToPosition(start)) return true;
    if (pushed) history_.Entries().UndoPush();
    return false;
}
