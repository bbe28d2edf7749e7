// What speech asks of the document controller's page: a private part of the controller, included
// only by its own source files.
#pragma once

#include "bookfiles/document_source.h"
#include "database/resource.h"
#include "graphics/core/drawing_surface.h"
#include "reader/book_document_controller.h"
#include "reader/reader_controller.h"

class BookDocumentController::SpeechSide final : public SpeechPage {
public:
    explicit SpeechSide(BookDocumentController& c) : c_(c) {}

    bool TurnPage() override { return c_.StepPage(PageStepCode::kNextPage); }
    HWND SpeechWindow() override {
        // The frame the surface draws into hears the callbacks.
        DrawingSurface* surface = c_.reader_ ? c_.reader_->GetDrawingSurface() : nullptr;
        return surface ? surface->Window() : nullptr;
    }
    TokenSource* PageSource() override { return c_.page_.Source(); }
    bool PageRange(uint32_t& start, uint32_t& end) override { return c_.PageRange(start, end); }
    uint32_t BookLanguage() override {
        DocumentSource* document = c_.resource_ ? c_.resource_->GetDocument() : nullptr;
        return document ? document->GetLanguage() & 0xFFFF : 0;
    }

private:
    BookDocumentController& c_;
};
