// Bars docked to one edge of the drawing surface: a DockBar takes a strip of its thickness off
// the rectangle the surface passes through its children, so the page is laid out in the rest.
// The PositionBar, at the bottom, shows the reading progress (read and unread parts of a graded
// bar), ticks for the book's annotations and the current page number.
#pragma once

#include <algorithm>
#include <cstdint>

#include "graphics/core/node.h"
#include "graphics/core/reader_links.h"

class DrawingSurface;
class GraphicsContext;

class DockBar : public Node {
public:
    enum Edge : uint32_t { kTop = 0, kLeft = 1, kRight = 2, kBottom = 3 };

    // Attached to the owner's drawing surface as a child.
    explicit DockBar(ReaderControllerLink* owner);
    ~DockBar() override;

    virtual void SetVisible(bool visible) { visible_ = visible; }
    virtual bool IsVisible() const { return visible_; }
    virtual Rect ContentRect(const Rect& in) { return in; }
    virtual Rect GetStrip() const { return strip_; }
    virtual void InvalidateStrip() = 0;
    virtual void Refresh() = 0;
    virtual void DrawBackground(GraphicsContext& gc, const Rect& r);
    virtual int32_t Thickness(uint32_t edge, const Rect& r) = 0;
    virtual int32_t Margin(uint32_t /*edge*/) { return 0; }

    void SetEdge(uint32_t edge) { edge_ = edge; }
    uint32_t GetEdge() const { return edge_; }
    void SetSurface(DrawingSurface* surface);
    const Rect& OuterStrip() const { return outer_; }

    Rect& AdjustRect(Rect& out, const Rect& in) override;
    bool HitTest(const Rect& area) override;
    int32_t ZOrder() const override { return 10; }

protected:
    ReaderControllerLink* owner_;
    Rect strip_{};
    DrawingSurface* surface_ = nullptr;
    Rect outer_{};
    bool visible_ = false;
    uint32_t edge_ = kTop;
};

class PositionBar : public DockBar {
public:
    // Positions of longer documents are scaled down by this shift, so that a position times the
    // bar width stays within 32 bits.
    static constexpr uint32_t kLongDocument = 0x200000;
    static constexpr int kLongShift = 11;

    // The bar's horizontal geometry for the current document.
    struct Geometry {
        bool drawable = false;  // a document, and room for the bar
        uint32_t length = 0;    // scaled
        int shift = 0;
        int32_t x0 = 0;
        int32_t width = 0;
        // The x of a text position (clamped to the document's length).
        int32_t Map(uint32_t position) const;
    };

    explicit PositionBar(ReaderControllerLink* owner);

    void InvalidateStrip() override;
    void Refresh() override { Redraw(nullptr); }
    int32_t Thickness(uint32_t /*edge*/, const Rect& /*r*/) override { return thickness_; }
    int32_t Margin(uint32_t /*edge*/) override { return margin_; }

    void Redraw(const Rect* area) override;
    int32_t SecondOrder() const override { return 127; }

    // Reads whether the book has annotations, then computes the geometry from it.
    Geometry ComputeGeometry();
    bool HasAnnotations() const { return hasAnnotations_; }
    int32_t CapWidth() const { return capWidth_; }
    int32_t BarHeight() const { return barHeight_; }
    int32_t NumberWidth() const { return numberWidth_; }

private:
    bool RefreshHasAnnotations();
    void MeasureNumber(GraphicsContext& gc);
    void DrawBar(GraphicsContext& gc, const Geometry& g, int32_t current);
    void DrawCaps(GraphicsContext& gc, const Geometry& g);
    void DrawTicks(GraphicsContext& gc, const Geometry& g, int32_t current);
    void DrawPageNumber(GraphicsContext& gc);
    int32_t RowY(int32_t i) const { return strip_.y + (thickness_ - barHeight_) / 2 + i; }
    // Rows kept free above and below the page number: 1 pixel at 96 dpi, more above.
    int32_t NumberPad() const { return std::max(1, thickness_ / 12); }

    uint32_t reserved_ = 0;
    int32_t capWidth_;
    int32_t barHeight_;
    int32_t thickness_;
    int32_t margin_;
    int32_t numberWidth_ = 0;
    int8_t fontSize_ = 0;
    int8_t askedSize_ = 0;  // the settings' size the number was measured for
    bool hasAnnotations_ = false;
};
