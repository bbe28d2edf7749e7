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

// Holds one reference on a side file for the length of a call.
class HeldSideFile {
public:
    explicit HeldSideFile(AnnotationFile* file) : file_(file) {}
    ~HeldSideFile() {
        if (file_) file_->Release();
    }
    HeldSideFile(const HeldSideFile&) = delete;
    HeldSideFile& operator=(const HeldSideFile&) = delete;
    AnnotationFile* Get() const { return file_; }

private:
    AnnotationFile* file_;
};

// A note's text or link as it stands (read whole before anything changes it).
String NoteField(const AnnotationFile& file, int32_t note, bool link) {
    uint32_t length = 0;
    const char16_t* chars =
        link ? file.GetBookmarkUrl(note, &length) : file.GetBookmarkText(note, &length);
    String out;
    if (chars) out.AssignChars(chars, static_cast<int32_t>(length));
    return out;
}

}  // namespace

bool BookDocumentController::SaveLinkState(HistoryEntry& entry) {
    bool saved = SaveHistoryState(entry, true);
    if (entry.mark) history_.Entries().MarkNext();
    entry.mark = 0;
    return saved;
}

bool BookDocumentController::StartLinkFromSelection() {
    String text;
    uint32_t start = 0, end = 0;
    if (!resource_ || !GetSelection(text, start, end)) return false;
    CustomLink link;
    if (!SaveLinkState(link.source)) return false;
    link.kind = kLinkFromSelection;
    link.start = start;
    link.end = end;
    link.text = text;
    link_ = std::move(link);
    return true;
}

bool BookDocumentController::StartLinkFromNote(int32_t note) {
    if (!resource_ || !sideFile_.IsNote(note)) return false;
    CustomLink link;
    link.kind = kLinkFromNote;
    link.source.location.CopyFrom(location_);
    link.source.location.SetAnchor(current_);
    link.note = note;
    link_ = std::move(link);
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
    if (link_.kind == kLinkNone || !resource_) return false;
    HistoryEntry target;
    if (!SaveLinkState(target) || target.viewPosition < 0) return false;
    // The title: the selected words, else the page's first words.
    String title;
    uint32_t start = 0, end = 0;
    if (!GetSelection(title, start, end) && !PageBookmarkText(title)) return false;
    String name;
    if (DocumentSource* document = resource_->GetDocument()) document->GetDatabaseName(name);
    link_.target = std::move(target);
    link_.title = title;
    link_.targetName = name;
    link_.targetSet = true;
    return true;
}

bool BookDocumentController::LinkTextForTarget(String& out) const {
    out.SetEmpty();
    if (!link_.targetSet || link_.target.viewPosition < 0) return false;
    Location at;
    if (!at.SetPositionAnchor(static_cast<uint32_t>(link_.target.viewPosition))) return false;
    if (Location::Compare(link_.target.location, link_.source.location) == 0) {
        out.Assign(at.Anchor());
        return true;
    }
    if (link_.targetName.IsEmpty()) return false;
    // The name is a field of the link: '&', '#', '$' and the like are escaped.
    String name(link_.targetName);
    if (!name.UriEscape(true, true)) return false;
    return out.AppendAscii("oeb:redirect?title=") && out.Append(name) && out.Append(at.Anchor());
}

bool BookDocumentController::AddRedirectAnnotation(int32_t& index) {
    index = -1;
    if (link_.kind == kLinkNone || !link_.targetSet) return false;
    String url;
    if (!LinkTextForTarget(url)) return false;
    // The source book's side file: the open one when the source is shown, else the one the
    // loader keeps for that book (one handle per file).
    AnnotationFile* file = nullptr;
    if (resource_ && sideFile_.File() && Location::Compare(link_.source.location, location_) == 0) {
        sideFile_.File()->AddRef();
        file = sideFile_.File();
    } else if (loader_) {
        Location where;
        where.CopyFrom(link_.source.location);
        where.SetAnchor(String());
        uint8_t handled = 0;
        if (Resource* book = loader_->Open(where, nullptr, &handled))
            file = loader_->OpenAnnotationFile(book);  // takes the book's reference
    }
    HeldSideFile side(file);
    if (!file) return false;
    uint32_t urlLength = static_cast<uint32_t>(url.Length());
    if (link_.kind == kLinkFromNote) {
        int32_t note = link_.note;
        if ((file->GetBookmarkKind(note) & 0x3F) != AnnotationFile::kNote) return false;
        String oldText = NoteField(*file, note, false);
        String oldUrl = NoteField(*file, note, true);
        String text(oldText);
        if (!text.AppendAscii("\r\n") || !text.Append(link_.title)) return false;
        bool ok = file->SetBookmarkText(note, text.Data(), static_cast<uint32_t>(text.Length())) == 0 &&
                  file->SetBookmarkUrl(note, url.Data(), urlLength) == 0 && file->Flush() == 0;
        if (!ok) {
            // The note is the reader's own: it keeps its text and link.
            file->SetBookmarkText(note, oldText.Data(), static_cast<uint32_t>(oldText.Length()));
            file->SetBookmarkUrl(note, oldUrl.Data(), static_cast<uint32_t>(oldUrl.Length()));
            return false;
        }
        index = note;
    } else {
        uint32_t minutes = static_cast<uint32_t>(NowUnixMinutesUtc());
        int32_t made = file->AddBookmark(AnnotationFile::kLink, link_.start, link_.end,
                                         link_.source.viewWord,
                                         static_cast<uint32_t>(link_.source.viewPosition), 0,
                                         minutes);
        if (made < 0) return false;
        bool ok = file->SetBookmarkText(made, link_.title.Data(),
                                        static_cast<uint32_t>(link_.title.Length())) == 0 &&
                  file->SetBookmarkNote(made, link_.text.Data(),
                                        static_cast<uint32_t>(link_.text.Length())) == 0 &&
                  file->SetBookmarkUrl(made, url.Data(), urlLength) == 0 &&
                  (link_.source.state.Size() == 0 ||
                   file->SetBookmarkState(made, link_.source.state.Data(),
                                          link_.source.state.Size()) == 0) &&
                  file->Flush() == 0;
        if (!ok) {
            file->DeleteBookmark(made);  // only what this call made
            return false;
        }
        index = made;
    }
    link_ = CustomLink();
    return true;
}

bool BookDocumentController::AddLinkToSelection() {
    int32_t index = -1;
    if (!MarkLinkTarget() || !AddRedirectAnnotation(index)) return false;
    ReloadAnnotations();
    NotifyAnnotation(index);
    return true;
}
