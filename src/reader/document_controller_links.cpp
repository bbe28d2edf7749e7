// Custom links ("Add link", "Set link target"): a link from a selection or a note of one book
// to a place of the same or another book, kept as an annotation of the source book's side file.
// A target in another book is named by "oeb:redirect?title=" and its database name, so that the
// link survives the book moving to another folder.
#include <new>

#include "bookfiles/annotation_file.h"
#include "bookfiles/document_source.h"
#include "core/file.h"
#include "database/resource.h"
#include "document/sources/document_loader.h"
#include "layout/page_layout.h"
#include "reader/book_document_controller.h"

namespace {


// The place shown as a link's end; a history mark it takes stays with the next entry.
bool SaveLinkState(BookDocumentController& c, HistoryEntry& entry) {
    bool saved = c.SaveHistoryState(entry, true);
    if (entry.mark) c.History().MarkNext();
    entry.mark = 0;
    return saved;
}

}  // namespace

bool BookDocumentController::StartLinkFromSelection() {
    String text;
    uint32_t start = 0, end = 0;
    if (!resource_.Get() || !GetSelection(text, start, end)) return false;
    HistoryEntry source;
    if (!SaveLinkState(*this, source)) return false;
    links_.StartFromSelection(std::move(source), start, end, text);
    return true;
}

bool BookDocumentController::StartLinkFromNote(int32_t note) {
    if (!resource_.Get() || !sideFile_.IsNote(note)) return false;
    HistoryEntry source;
    source.location.CopyFrom(location_);
    source.location.SetAnchor(current_);
    links_.StartFromNote(std::move(source), note);
    return true;
}

void BookDocumentController::EnterLinkSourceMode() {
    if (StartLinkFromSelection()) return;
    // Without a selection: the first note on the page.
    uint32_t start = 0, end = 0;
    int32_t note = -1;
    if (sideFile_.File() && PageRange(start, end)) note = sideFile_.FirstNoteIn(start, end);
    if (note >= 0) StartLinkFromNote(note);
}

bool BookDocumentController::MarkLinkTarget() {
    if (links_.Pending() == CustomLinks::kNone || !resource_.Get()) return false;
    HistoryEntry target;
    if (!SaveLinkState(*this, target) || target.viewPosition < 0) return false;
    // The title: the selected words, else the page's first words.
    String title;
    uint32_t start = 0, end = 0;
    if (!GetSelection(title, start, end) && !PageBookmarkText(title)) return false;
    String name;
    if (DocumentSource* document = resource_->GetDocument()) document->GetDatabaseName(name);
    links_.MarkTarget(std::move(target), title, name);
    return true;
}

bool BookDocumentController::AddRedirectAnnotation(int32_t& index) {
    index = -1;
    String url;
    if (links_.Pending() == CustomLinks::kNone || !links_.TextForTarget(url)) return false;
    // The source book's side file: the open one when the source is shown, else the one the
    // loader keeps for that book (one handle per file).
    RefPtr<AnnotationFile> file;
    if (resource_.Get() && sideFile_.File() &&
        Location::Compare(links_.SourceLocation(), location_) == 0) {
        file = RefPtr<AnnotationFile>(sideFile_.File());
    } else if (loader_) {
        Location where;
        where.CopyFrom(links_.SourceLocation());
        where.SetAnchor(String());
        uint8_t handled = 0;
        if (Resource* book = loader_->Open(where, nullptr, &handled))
            file = RefPtr<AnnotationFile>::Adopt(loader_->OpenAnnotationFile(book));  // takes the book's reference
    }
    return file && links_.WriteTo(*file, index);
}

bool BookDocumentController::AddLinkToSelection() {
    int32_t index = -1;
    if (!MarkLinkTarget() || !AddRedirectAnnotation(index)) return false;
    ReloadAnnotations();
    NotifyAnnotation(index);
    return true;
}

bool BookDocumentController::IsWaitingForLinkTarget() const {
    return links_.Pending() != CustomLinks::kNone;
}
