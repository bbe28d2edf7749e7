#include "reader/page_presentation.h"

#include <new>

#include "core/platform_helpers.h"
#include "database/resource.h"
#include "document/sources/layout_services.h"
#include "graphics/core/drawing_surface.h"
#include "layout/page_layout.h"
#include "layout/page_view.h"
#include "media/image/icon_image.h"
#include "platform/window/window.h"

namespace {
// The drawing surface's child that has the controller paint the page under the other widgets.
class PagePaintNode : public Widget {
public:
    PagePaintNode(PagePresentationHost& host, const PagePresentation& page)
        : host_(host), page_(page) {}
    void Redraw(const Rect* area) override {
        host_.PaintPage();
        Widget::Redraw(area);
    }
    // The page covers the whole surface.
    bool HitTest(const Rect&) override { return true; }
    // Under every other child: drawn first and the last to be offered the pen, so that a tap
    // reaches the page view element (and its links) and the views shown over the page.
    int32_t ZOrder() const override { return kPageZOrder; }
    static constexpr int32_t kPageZOrder = 127;
    // A tap that reaches this node (nothing above took it) is the page element's.
    bool HandleEvent(InputEvent& event) override {
        PositionViewElement* page = page_.View();
        return event.IsPen() && page && page->Parent() && page->HandleEvent(event);
    }

private:
    PagePresentationHost& host_;
    const PagePresentation& page_;
};
}  // namespace

PagePresentation::PagePresentation(PagePresentationHost& host, PageViewOwner& viewOwner)
    : host_(host), viewOwner_(viewOwner) {}

PagePresentation::~PagePresentation() = default;

void PagePresentation::SetGraphics(GraphicsContext* gc, const Rect& viewport) {
    gc_ = gc;
    viewport_ = viewport;
}

bool PagePresentation::OnSurface() const {
    DrawingSurface* surface = host_.Surface();
    return surface && gc_ == surface;
}

bool PagePresentation::Make() {
    Drop();
    DrawingSurface* surface = host_.Surface();
    if (!gc_ && surface && surface->Window() && !host_.IsFrame()) {
        // In the program the page is measured and drawn on the window's own surface; before
        // the window has its size the screen's work area stands in.
        gc_ = surface;
        if (!SurfaceViewport(viewport_)) Screen::GetWorkArea(viewport_);
        viewport_.x = viewport_.y = 0;
    }
    Resource* book = host_.Book();
    if (!book || !gc_) return false;
    book_ = book;
    if (!book->CreateLayout(source_, &layout_) || !layout_) {
        Drop();
        return false;
    }
    LayoutSettings settings;
    host_.GetLayoutOptions(settings);
    layout_->SetGraphics(gc_);
    if (surface) layout_->SetDisplay(surface->Display());
    layout_->Configure(settings);
    layout_->SetViewport(viewport_);
    host_.LayoutConfigured(*layout_);
    // The element shows the page in the window's tree; a frame's controller draws through its
    // frame, and its element lies in the frame's window part, where the pen finds its links.
    bool inTree = surface && gc_ == surface && !host_.IsFrame();
    Widget* framePart = surface && gc_ == surface && host_.IsFrame() ? host_.FramePart() : nullptr;
    view_ = std::make_unique<PositionViewElement>(&viewOwner_);
    // Form controls open their lists over the window's surface. In the tree they live under
    // the element: the pen finds them above the page, their unused keys reach the page, and
    // their scrollIntoView turns it.
    Node* controlParent = surface;
    if ((inTree || framePart) && view_) controlParent = view_.get();
    layout_->SetControlContext(surface, controlParent);
    if (view_) {
        // The element covers the page: the pen finds its links there. Placed before the layout
        // is attached, which is laid out for this viewport already; then it gives the layout
        // the reader's settings (margins, columns, the look of links) before the first page.
        Rect placed;
        view_->AdjustRect(placed, viewport_);
        view_->AttachLayout(layout_);
        view_->ApplySettings();
    }
    if (!layout_->Start()) {
        Drop();
        return false;
    }
    // The first page is laid out now, with the book: the first paint only draws it. One that
    // cannot be laid out leaves the paint its background.
    layout_->LayOutCurrentPage();
    // A frame's controller paints through its frame's window part instead.
    if (inTree) {
        if (!paintNode_) {
            paintNode_ = std::make_unique<PagePaintNode>(host_, *this);
            if (!paintNode_->SetParent(surface)) paintNode_.reset();
        }
        // The element takes the keys of the page.
        if (view_ && view_->SetParent(surface)) view_->Focus();
    } else if (framePart && view_) {
        view_->SetParent(framePart);  // the window's own page keeps the keys
    }
    return true;
}

void PagePresentation::Drop() {
    // Forms that outlive the page no longer place or draw their controls under its element.
    host_.PageViewGoing(view_.get());
    if (book_ && (layout_ || source_ || view_)) {
        Retired old;
        old.resource = RefPtr<Resource>(book_);
        old.source = source_;
        old.layout = layout_;
        old.view = std::move(view_);
        // Out of the widget tree now; deleted later (it may be running).
        if (old.view) old.view->Detach();
        bool parked = false;
        try {
            retired_.push_back(std::move(old));
            parked = true;
        } catch (const std::bad_alloc&) {
        }
        if (!parked) {
            old.view.reset();
            book_->DestroyLayout(source_, layout_);
        }
    }
    view_.reset();
    layout_ = nullptr;
    source_ = nullptr;
    book_ = nullptr;
}

void PagePresentation::FreeRetired() {
    std::vector<Retired> old;
    old.swap(retired_);
    for (Retired& r : old) {
        r.view.reset();
        if (r.layout || r.source) r.resource->DestroyLayout(r.source, r.layout);
    }
}

void PagePresentation::Shutdown() {
    if (paintNode_) paintNode_->Detach();
    paintNode_.reset();
    canvas_.reset();
}

bool PagePresentation::SurfaceViewport(Rect& out) const {
    DrawingSurface* surface = host_.Surface();
    RECT client{};
    if (!surface || !surface->Window() || !GetClientRect(surface->Window(), &client))
        return false;
    Rect r = Rect::FromWinRect(client);
    if (r.width <= 0 || r.height <= 0) return false;
    out = r;
    return true;
}

void PagePresentation::Resize(const Rect& now) {
    // The page that starts at the same text keeps its number (a far page's would be guessed).
    uint32_t start = layout_->CurrentPageStart();
    uint32_t number = layout_->CurrentPageNumber();
    viewport_ = now;
    DrawingSurface* surface = host_.Surface();
    if (view_ && surface && view_->Parent() == surface) {
        // Through the surface, whose docked bars (the position bar) take their strips
        // first: the page is laid out anew in what is left, so no line lies under a bar.
        surface->OnSize();
    } else if (view_) {
        Rect placed;
        view_->AdjustRect(placed, viewport_);  // the element lays the page out anew
    } else {
        layout_->SetViewport(viewport_);
        layout_->Relayout();
    }
    if (start != PageLayout::kNone) layout_->GoToPositionAsPageStart(start, number);
}

void PagePresentation::Paint() {
    if (!canvas_) {
        canvas_.emplace(gc_);
        // The program's own icons (the table arrows), in the screen's size.
        IconHost icons;
        icons.dpi = IsHighResolution() ? 192 : 96;
        canvas_->SetIconHost(icons);
    }
    layout_->SetCanvas(&*canvas_);
    // The bar shown or hidden over a cover takes the page's room before the page comes back.
    if (view_) view_->TakePlace();
    layout_->PaintCurrentPage(true);
    if (view_) view_->RepaintFocus();
    // The next page is laid out ahead, so that PageDown shows it at once; a short text's pages
    // are counted a few at a time meanwhile, so that its numbers are paging's own.
    if (layout_->CanStepForward()) layout_->PrerenderAhead();
    layout_->CountSomePages();
}

void PagePresentation::LayOutIn(const Rect& r) {
    viewport_ = r;
    if (!layout_) return;
    uint32_t start = layout_->CurrentPageStart();
    uint32_t number = layout_->CurrentPageNumber();
    if (view_) {
        Rect placed;
        view_->AdjustRect(placed, r);  // lays the page out anew
    } else {
        layout_->SetViewport(r);
        layout_->Relayout();
    }
    if (start != PageLayout::kNone) layout_->GoToPositionAsPageStart(start, number);
}

void PagePresentation::Reconfigure() {
    if (!layout_) return;
    // New options (a font size) lay the same text out from the page's start: the page's record
    // is kept, its items measured again at the new size (Configure), the other pages dropped.
    if (view_) {
        view_->ApplySettings();  // the reader's options, margins and columns
    } else {
        LayoutSettings settings;
        host_.GetLayoutOptions(settings);
        layout_->Configure(settings);
        layout_->Relayout();
    }
}

int32_t PagePresentation::PageStart() const {
    if (!layout_ || layout_->CurrentPageStart() == PageLayout::kNone) return -1;
    return static_cast<int32_t>(layout_->CurrentPageStart());
}

int32_t PagePresentation::PageNumber() const {
    if (!layout_) return 0;
    if (layout_->CurrentPageStart() == PageLayout::kNone) return -1;
    return static_cast<int32_t>(layout_->ShownPageNumber());
}

bool PagePresentation::ShownRange(uint32_t& start, uint32_t& end) const {
    start = end = 0;
    if (!layout_ || layout_->CurrentPageStart() == PageLayout::kNone) return false;
    start = layout_->CurrentPageStart();
    end = layout_->PageStartRelative(2);
    return true;
}
