// What speech asks of the document controller's page: a private part of the controller, included
// only by its own source files. It reads the page and the book shown; turning the page is the
// controller's step.
#pragma once

#include "bookfiles/document_source.h"
#include "database/resource.h"
#include "graphics/core/drawing_surface.h"
#include "layout/page_layout.h"
#include "reader/book_document_controller.h"
#include "reader/reader_controller.h"

class BookDocumentController::SpeechSide final : public SpeechPage {
public:
    SpeechSide(BookDocumentController& owner, const DocumentWindowLinks& window,
               const RefPtr<Resource>& book, PagePresentation& page)
        : owner_(owner), window_(window), book_(book), page_(page) {}

    bool TurnPage() override { return owner_.StepPage(PageStepCode::kNextPage); }
    HWND SpeechWindow() override {
        // The frame the surface draws into hears the callbacks.
        ReaderController* reader = window_.Reader();
        DrawingSurface* surface = reader ? reader->GetDrawingSurface() : nullptr;
        return surface ? surface->Window() : nullptr;
    }
    TokenSource* PageSource() override { return page_.Source(); }
    bool PageRange(uint32_t& start, uint32_t& end) override { return page_.ShownRange(start, end); }
    uint32_t BookLanguage() override {
        DocumentSource* document = book_ ? book_->GetDocument() : nullptr;
        return document ? document->GetLanguage() & 0xFFFF : 0;
    }

private:
    // Only for its page step.
    BookDocumentController& owner_;
    const DocumentWindowLinks& window_;
    const RefPtr<Resource>& book_;
    PagePresentation& page_;
};
