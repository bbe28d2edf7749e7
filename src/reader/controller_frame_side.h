// What the frames ask of the document controller's page: a private part of the controller,
// included only by its own source files. It reads the page, the book and the window; the page's
// links, its paint and its moves are the controller's, and a frame's controller is set up
// through its own public operations.
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
    FrameSide(BookDocumentController& owner, const DocumentWindowLinks& window,
              const RefPtr<Resource>& book, const Location& location, const View& view,
              PagePresentation& page, BookScripting& scripting)
        : owner_(owner), window_(window), book_(book), location_(location), view_(view),
          page_(page), scripting_(scripting) {}

    AreaArray* PageLinkAreas() override {
        AreaArray* marks = nullptr;
        if (!page_.Layout() || view_ != kTextPage || !page_.Layout()->GetCurrentBlockMarks(marks))
            return nullptr;
        return marks;
    }
    void SelectPageMark(int32_t n) override {
        page_.Layout()->SetCurrentMark(static_cast<uint32_t>(n), false, true);
        if (n < 0) {
            if (page_.View()) page_.View()->ClearFocus();
        } else if (page_.View()) {
            page_.View()->Focus();
        }
        if (window_.Surface()) window_.Surface()->InvalidateRect(nullptr);
    }
    bool FocusPageLink(bool forward) override { return owner_.FocusPageLink(forward); }
    bool PageHasKeys() override { return page_.View() && page_.View()->IsFocused(); }
    int32_t FitPageHeight(int32_t width, int32_t height) override {
        Size fitted = page_.Layout()->FitHeightToContent(Size{width, height});
        return fitted.height < height ? fitted.height : height;
    }
    void LayOutPageIn(const Rect& r) override { page_.LayOutIn(r); }
    void PaintPage() override { owner_.PaintPage(); }
    bool GoFirstPage() override { return owner_.GoToPage(1); }
    int32_t PageStart() override { return page_.PageStart(); }
    bool TextPageShown() override { return page_.Layout() && view_ == kTextPage; }
    Resource* Book() override { return book_.Get(); }
    uint32_t BuiltInPageId() override { return location_.ResourceId(); }
    TokenSource* PageSource() override { return page_.Source(); }
    DrawingSurface* WindowSurface(Rect& area) override {
        DrawingSurface* surface = window_.Surface();
        if (!surface || page_.Gc() != surface) return nullptr;
        page_.SurfaceViewport(area);
        return surface;
    }
    Rect Viewport() override { return page_.Viewport(); }
    int32_t UnitSize() override {
        return window_.Settings() ? window_.Settings()->DefaultFontSize() : 16;
    }
    std::unique_ptr<BookDocumentController> MakeFrameController(DocumentFrames& owner) override {
        auto c = std::make_unique<BookDocumentController>(scripting_.Heap());
        window_.ShareWithFrame(*c);
        c->Page().SetGraphics(page_.Gc(), page_.Viewport());
        // The book's forms and reading position are the window's own controller's.
        c->Forms().SetNoForms(true);
        c->Frames().SetOwner(&owner, &owner_);
        return c;
    }
    bool ShowInFrame(BookDocumentController& c, uint32_t position) override {
        bool changed = c.Document() != book_.Get();
        if (!c.SetDocument(book_.Get())) return false;
        if (!c.OpenLocation(String(), changed, true) || !c.Page().Layout() ||
            !c.Page().Layout()->GoToPositionAsPageStart(position)) {
            c.CloseDocument();
            return false;
        }
        return true;
    }
    void Shutdown() override { owner_.Shutdown(); }

private:
    // Only for the page's links, paint and moves, and as the owner frame controllers name.
    BookDocumentController& owner_;
    const DocumentWindowLinks& window_;
    const RefPtr<Resource>& book_;
    const Location& location_;
    const View& view_;
    PagePresentation& page_;
    BookScripting& scripting_;
};
