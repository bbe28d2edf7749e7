// The laid-out page of a controller: the page layout over the current book, the page view
// element that shows it (with its marks and focus box) and takes its keys and taps, the
// surface's child that paints it, and the graphics and viewport it is measured with. A page
// view element or layout that is replaced may be the one that asked for the navigation: it is
// parked and freed at the next one. What the page needs of the rest (the book, the window, the
// layout options, the side file and forms it carries) is asked through PagePresentationHost.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/geometry.h"
#include "core/ref_counted.h"
#include "layout/page_canvas.h"

class DrawingSurface;
class GraphicsContext;
class Node;
class PageLayout;
class PageViewOwner;
class PositionViewElement;
class Resource;
class TokenSource;
class Widget;
struct LayoutSettings;

class PagePresentationHost {
public:
    // The book whose page is laid out; null without one.
    virtual Resource* Book() = 0;
    // The window's drawing surface; null outside a window.
    virtual DrawingSurface* Surface() = 0;
    // A frame's controller: its page lies in the frame's window part (made on first use).
    virtual bool IsFrame() = 0;
    virtual Widget* FramePart() = 0;
    virtual void GetLayoutOptions(LayoutSettings& out) = 0;
    // The new layout is configured: what the book carries onto its pages (the side file, the
    // log, the forms) goes on before the first page is built.
    virtual void LayoutConfigured(PageLayout& layout) = 0;
    // A page view element goes: nothing may place controls under it any more.
    virtual void PageViewGoing(Node* view) = 0;
    // The surface repaints: the controller draws what it shows.
    virtual void PaintPage() = 0;

protected:
    ~PagePresentationHost() = default;
};

// The page canvas over the window's drawing surface.
class SurfacePageCanvas final : public GraphicsPageCanvas {
public:
    using GraphicsPageCanvas::GraphicsPageCanvas;
};

class PagePresentation {
public:
    PagePresentation(PagePresentationHost& host, PageViewOwner& viewOwner);
    ~PagePresentation();
    PagePresentation(const PagePresentation&) = delete;
    PagePresentation& operator=(const PagePresentation&) = delete;

    // The context pages are measured with and their viewport; without one no layout is made
    // outside a window.
    void SetGraphics(GraphicsContext* gc, const Rect& viewport);
    GraphicsContext* Gc() const { return gc_; }
    const Rect& Viewport() const { return viewport_; }
    void SetViewport(const Rect& r) { viewport_ = r; }
    // The page is measured and drawn on the window's own surface.
    bool OnSurface() const;

    // Null without a layout.
    PageLayout* Layout() const { return layout_; }
    TokenSource* Source() const { return source_; }
    PositionViewElement* View() const { return view_.get(); }

    // Lays the book out anew (the old layout parked); false when no layout was made.
    bool Make();
    // Parks the layout and its element.
    void Drop();
    void FreeRetired();
    // The paint node leaves the surface (the controller goes).
    void Shutdown();

    // The page shown: its start (-1 without one), its number (0 without a layout, -1 before a
    // page is shown; each view PageDown shows of a large table counts as a page), and its text
    // range (false without a page).
    int32_t PageStart() const;
    int32_t PageNumber() const;
    bool ShownRange(uint32_t& start, uint32_t& end) const;

    // The surface's client area; false before the window has a size.
    bool SurfaceViewport(Rect& out) const;
    // Draws the current page, with its focus box; the next page is laid out ahead.
    void Paint();
    // Lays the page out anew in r, from the same text.
    void LayOutIn(const Rect& r);
    // The window changed size: the same text starts the page laid out anew.
    void Resize(const Rect& now);
    // New options (a font size): the same text laid out afresh from the page's start.
    void Reconfigure();

private:
    struct Retired {
        RefPtr<Resource> resource;
        TokenSource* source = nullptr;
        PageLayout* layout = nullptr;
        std::unique_ptr<PositionViewElement> view;
    };

    PagePresentationHost& host_;
    PageViewOwner& viewOwner_;
    GraphicsContext* gc_ = nullptr;
    Rect viewport_{};
    Resource* book_ = nullptr;
    PageLayout* layout_ = nullptr;
    TokenSource* source_ = nullptr;
    std::unique_ptr<PositionViewElement> view_;
    // The surface's child that paints the page, and the canvas it paints through.
    std::unique_ptr<Widget> paintNode_;
    std::optional<SurfacePageCanvas> canvas_;
    std::vector<Retired> retired_;
};
