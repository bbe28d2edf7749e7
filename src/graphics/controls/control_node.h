// The Node face of a control laid out inline in a page: the node covers the rectangle the
// layout gave the control, keeps it as it is, and lies at z-order 0. Where the page shows only
// a part of the control (a table scrolled under it), the node draws and takes taps in that part
// alone.
#pragma once

#include <cstdint>

#include "graphics/core/graphics_context.h"
#include "graphics/core/node.h"

// The part of a control the page shows, where a table scrolled under the control holds only a
// part of it: the control's own drawing is cut to that part and it takes taps there only. A
// control made of parts gives each of them the same part.
class ShownPart {
public:
    // Null: all of the control shows.
    void Set(const Rect* part) {
        shown_ = part != nullptr;
        if (part) part_ = *part;
    }
    // Whether `area` meets the control's rectangle where it shows.
    bool Meets(const Rect& control, const Rect& area) const {
        Rect shown = control;
        if (shown_ && !Rect::Intersect(control, part_, shown)) return false;
        return Rect::Intersects(shown, area);
    }
    // Brackets a drawing the control begins (nested ones are cut by the outermost): gc may be
    // null when there is nothing to draw on, and then Leave is not called.
    void Enter(GraphicsContext* gc) {
        if (!gc || depth_++ > 0) return;
        clipped_ = shown_ && gc->PushState();
        if (clipped_) gc->IntersectClip(part_);
        drawing_ = gc;
    }
    void Leave() {
        if (depth_ > 0 && --depth_ == 0 && clipped_) {
            drawing_->PopState();
            clipped_ = false;
        }
    }

private:
    Rect part_{};
    bool shown_ = false;
    bool clipped_ = false;
    int32_t depth_ = 0;
    GraphicsContext* drawing_ = nullptr;
};

class ControlNode : public Node {
public:
    // rect is the control's own rectangle, which outlives the node face.
    explicit ControlNode(const Rect& rect) : controlRect_(rect) {}

    bool IsPopup() const override { return true; }
    Rect& AdjustRect(Rect& out, const Rect& in) override {
        out = in;
        return out;
    }
    bool HitTest(const Rect& area) override { return shown_.Meets(controlRect_, area); }
    bool GetRect(Rect& out) override {
        out = controlRect_;
        return true;
    }
    int32_t ZOrder() const override { return 0; }

    // The part of the control the page shows; null: all of it.
    void SetShownPart(const Rect* part) { shown_.Set(part); }

    // Everything the control draws through its node is cut to the part shown.
    GraphicsContext* BeginDraw(bool defer, const Rect* area) override {
        GraphicsContext* gc = Node::BeginDraw(defer, area);
        shown_.Enter(gc);
        return gc;
    }
    bool EndDraw() override {
        shown_.Leave();
        return Node::EndDraw();
    }

private:
    const Rect& controlRect_;
    ShownPart shown_;
};
