// What the cover, picture and audio pages ask of the document controller: a private part of the
// controller, included only by its own source files.
#pragma once

#include "layout/page_layout.h"
#include "layout/page_view.h"
#include "reader/book_document_controller.h"

class BookDocumentController::ViewsSide final : public SpecialViewsHost {
public:
    explicit ViewsSide(BookDocumentController& c) : c_(c) {}

    Resource* Book() override { return c_.resource_; }
    const Location& BookLocation() override { return c_.location_; }
    DocumentLoader* Loader() override { return c_.loader_; }
    ReaderController* Reader() override { return c_.reader_; }
    ReaderSettings* Settings() override { return c_.settings_; }
    DocumentController& Document() override { return c_; }
    DrawingSurface* WindowSurface() override {
        return c_.surface_ && c_.page_.Gc() == c_.surface_ ? c_.surface_ : nullptr;
    }
    Rect Viewport() override { return c_.page_.Viewport(); }
    bool ClientArea(Rect& out) override { return c_.page_.SurfaceViewport(out); }
    int32_t ShownPageNumber() override {
        if (!c_.page_.Layout() || c_.page_.Layout()->CurrentPageStart() == PageLayout::kNone) return -1;
        return c_.GetPageNumber();
    }
    void FocusTextPage() override {
        if (c_.page_.View() && c_.page_.View()->Parent()) c_.page_.View()->Focus();
    }

private:
    BookDocumentController& c_;
};
