// What the page presentation asks of the document controller: a private part of the controller,
// included only by its own source files.
#pragma once

#include "bookfiles/annotation_file.h"
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

    explicit PageSide(BookDocumentController& c) : c_(c) {}

    Resource* Book() override { return c_.resource_; }
    DrawingSurface* Surface() override { return c_.surface_; }
    bool IsFrame() override { return c_.frames_.IsFrame(); }
    Widget* FramePart() override { return c_.frames_.Part(); }
    void GetLayoutOptions(LayoutSettings& out) override { c_.GetLayoutOptions(out); }
    void LayoutConfigured(PageLayout& layout) override {
        AnnotationFile* side = c_.sideFile_.File();
        if (side && !layout.SetAnnotations(side) && !layout.Annotations()) c_.TakeOwnSideFile();
        // Told once: a side file that could not be read whole was kept aside.
        bool named = false;
        const std::string aside = c_.sideFile_.TakeDamagedAside(named);
        Text asideText;
        String asidePath;
        if (!aside.empty() && c_.reader_ && asideText.AssignUtf8(aside.c_str(), aside.size()) &&
            asideText.ToWide(asidePath))
            c_.reader_->ShowMessage(
                -1,
                FileMessages::Format(named ? kSideFileStrayText : kSideFileDamagedText,
                                     FileMessages::DisplayName(c_.location_), asidePath),
                MessageKind::kWarning);
        // Told once: the file kept aside is not this book's any more.
        if (c_.sideFile_.TakeBookChanged() && c_.reader_)
            c_.reader_->ShowMessage(-1,
                                    FileMessages::Format(kBookChangedText,
                                                         FileMessages::DisplayName(c_.location_)),
                                    MessageKind::kWarning);
        if (c_.sideFile_.TakeTakenBack() && c_.reader_)
            c_.reader_->ShowMessage(-1,
                                    FileMessages::Format(kSideFileBackText,
                                                         FileMessages::DisplayName(c_.location_)),
                                    MessageKind::kInformation);
        // Far jumps start from the checkpoints an earlier session kept for this book.
        Text bookPath;
        if (c_.KeptCheckpointsPath(bookPath))
            KeptCheckpoints::Load(bookPath, c_.resource_->GetDocument(), layout);
        // The log hosts a file names at its start go to the log, with the items it logs.
        layout.SetMetadataList(c_.log_);
        // The forms' stored values come from the side file that proved to be this book's,
        // before the first page builds the forms.
        if (c_.forms_.RestorePending()) c_.RestoreFormState();
        layout.SetFormList(c_.forms_.ForLayout());
    }
    void PageViewGoing(Node* view) override { c_.forms_.ForgetControlParent(view); }
    void PaintPage() override { c_.PaintPage(); }

private:
    BookDocumentController& c_;
};
