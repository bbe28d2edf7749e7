// What the page presentation asks of the document controller: a private part of the controller,
// included only by its own source files. It carries the book's side file, log and forms onto a
// new layout; the layout options, the side file's replacement and the paint are the
// controller's.
#pragma once

#include "bookfiles/annotation_file.h"
#include "database/resource.h"
#include "core/text.h"
#include "layout/layout_forms.h"
#include "layout/page_layout.h"
#include "reader/book_document_controller.h"
#include "reader/file_messages.h"
#include "reader/kept_checkpoints.h"
#include "reader/reader_controller.h"

class BookDocumentController::PageSide final : public PagePresentationHost {
public:
    // "<book> has changed since it was annotated...": its side file was kept aside.
    static constexpr uint32_t kBookChangedText = 5524;
    // "The annotations of <book> could not all be read..." and "...named another book...": the
    // side file was kept aside, what was whole of it kept.
    static constexpr uint32_t kSideFileDamagedText = 5525;
    static constexpr uint32_t kSideFileStrayText = 5526;
    // "<book> is again the book its annotations were made for...": a kept file came back.
    static constexpr uint32_t kSideFileBackText = 5527;

    PageSide(BookDocumentController& owner, const DocumentWindowLinks& window,
             const RefPtr<Resource>& book, const Location& location, BookSideFile& sideFile,
             BookForms& forms, DocumentFrames& frames, PagePresentation& page)
        : owner_(owner), window_(window), book_(book), location_(location), sideFile_(sideFile),
          forms_(forms), frames_(frames), page_(page) {}

    Resource* Book() override { return book_.Get(); }
    DrawingSurface* Surface() override { return window_.Surface(); }
    bool IsFrame() override { return frames_.IsFrame(); }
    Widget* FramePart() override { return frames_.Part(); }
    void GetLayoutOptions(LayoutSettings& out) override { owner_.GetLayoutOptions(out); }
    void LayoutConfigured(PageLayout& layout) override {
        AnnotationFile* side = sideFile_.File();
        if (side && !layout.SetAnnotations(side) && !layout.Annotations()) TakeOwnSideFile();
        // Told once: a side file that could not be read whole was kept aside.
        bool named = false;
        const std::string aside = sideFile_.TakeDamagedAside(named);
        Text asideText;
        String asidePath;
        ReaderController* reader = window_.Reader();
        if (!aside.empty() && reader && asideText.AssignUtf8(aside.c_str(), aside.size()) &&
            asideText.ToWide(asidePath))
            reader->ShowMessage(
                -1,
                FileMessages::Format(named ? kSideFileStrayText : kSideFileDamagedText,
                                     FileMessages::DisplayName(location_), asidePath),
                MessageKind::kWarning);
        // Told once: the file kept aside is not this book's any more.
        if (sideFile_.TakeBookChanged() && reader)
            reader->ShowMessage(-1,
                                    FileMessages::Format(kBookChangedText,
                                                         FileMessages::DisplayName(location_)),
                                    MessageKind::kWarning);
        if (sideFile_.TakeTakenBack() && reader)
            reader->ShowMessage(-1,
                                    FileMessages::Format(kSideFileBackText,
                                                         FileMessages::DisplayName(location_)),
                                    MessageKind::kInformation);
        // Far jumps start from the checkpoints an earlier session kept for this book.
        Text bookPath;
        if (owner_.KeptCheckpointsPath(bookPath))
            KeptCheckpoints::Load(bookPath, book_->GetDocument(), layout);
        // The log hosts a file names at its start go to the log, with the items it logs.
        layout.SetMetadataList(window_.Log());
        // The forms' stored values come from the side file that proved to be this book's,
        // before the first page builds the forms.
        if (forms_.RestorePending()) forms_.Restore(book_.Get(), sideFile_);
        layout.SetFormList(forms_.ForLayout());
    }
    void PageViewGoing(Node* view) override { forms_.ForgetControlParent(view); }
    void PaintPage() override { owner_.PaintPage(); }

private:
    // The side file under the book's base name proved to be another book's: it stays as it is,
    // and this book gets one of its own beside it.
    void TakeOwnSideFile() {
        sideFile_.Drop();
        sideFile_.Open(window_.Loader(), book_.Get(), true);
        if (sideFile_.File() && page_.Layout() && !page_.Layout()->SetAnnotations(sideFile_.File()) &&
            !page_.Layout()->Annotations())
            sideFile_.Drop();
    }

    // Only for the layout options, the checkpoints' path and the paint.
    BookDocumentController& owner_;
    const DocumentWindowLinks& window_;
    const RefPtr<Resource>& book_;
    const Location& location_;
    BookSideFile& sideFile_;
    BookForms& forms_;
    DocumentFrames& frames_;
    PagePresentation& page_;
};
