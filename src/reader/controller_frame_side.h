// What the frames ask of the document controller's page: a private part of the controller,
// included only by its own source files.
#pragma once

#include <memory>
#include <new>

#include "graphics/core/drawing_surface.h"
#include "layout/page_layout.h"
#include "layout/page_view.h"
#include "reader/book_document_controller.h"
#include "reader/reader_settings.h"

class BookDocumentController::FrameSide final : public FramePage {
public:
    explicit FrameSide(BookDocumentController& c) : c_(c) {}

    BookDocumentController& Controller() override { return c_; }
    AreaArray* PageLinkAreas() override { return c_.PageLinkAreas(); }
    void SelectPageMark(int32_t n) override {
        c_.page_.Layout()->SetCurrentMark(static_cast<uint32_t>(n), false, true);
        if (n < 0) {
            if (c_.page_.View()) c_.page_.View()->ClearFocus();
        } else if (c_.page_.View()) {
            c_.page_.View()->Focus();
        }
        if (c_.surface_) c_.surface_->InvalidateRect(nullptr);
    }
    bool FocusPageLink(bool forward) override { return c_.FocusPageLink(forward); }
    bool PageHasKeys() override { return c_.page_.View() && c_.page_.View()->IsFocused(); }
    int32_t FitPageHeight(int32_t width, int32_t height) override {
        Size fitted = c_.page_.Layout()->FitHeightToContent(Size{width, height});
        return fitted.height < height ? fitted.height : height;
    }
    void LayOutPageIn(const Rect& r) override { c_.page_.LayOutIn(r); }
    void PaintPage() override { c_.PaintPage(); }
    bool GoFirstPage() override { return c_.GoToPage(1); }
    int32_t PageStart() override { return c_.GetPageStart(); }
    bool TextPageShown() override { return c_.page_.Layout() && c_.view_ == kTextPage; }
    Resource* Book() override { return c_.resource_; }
    uint32_t BuiltInPageId() override { return c_.location_.ResourceId(); }
    TokenSource* PageSource() override { return c_.page_.Source(); }
    DrawingSurface* WindowSurface(Rect& area) override {
        if (!c_.surface_ || c_.page_.Gc() != c_.surface_) return nullptr;
        c_.page_.SurfaceViewport(area);
        return c_.surface_;
    }
    Rect Viewport() override { return c_.page_.Viewport(); }
    int32_t UnitSize() override { return c_.settings_ ? c_.settings_->DefaultFontSize() : 16; }
    std::unique_ptr<BookDocumentController> MakeFrameController() override {
        std::unique_ptr<BookDocumentController> c(new (std::nothrow)
                                                      BookDocumentController(c_.scripting_.Heap()));
        if (!c) return c;
        c->log_ = c_.log_;
        c->loader_ = c_.loader_;
        c->settings_ = c_.settings_;
        c->surface_ = c_.surface_;
        c->reader_ = c_.reader_;
        c->page_.SetGraphics(c_.page_.Gc(), c_.page_.Viewport());
        // The book's forms and reading position are the window's own controller's.
        c->forms_.SetNoForms(true);
        return c;
    }
    bool ShowInFrame(BookDocumentController& c, uint32_t position) override {
        bool changed = c.resource_ != c_.resource_;
        if (!c.SetDocument(c_.resource_)) return false;
        if (!c.OpenLocation(String(), changed, true) || !c.page_.Layout() ||
            !c.page_.Layout()->GoToPositionAsPageStart(position)) {
            c.CloseDocument();
            return false;
        }
        return true;
    }
    void Shutdown() override { c_.Shutdown(); }

private:
    BookDocumentController& c_;
};
