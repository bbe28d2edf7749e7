// The Node face of a control laid out inline in a page: the node covers the rectangle the
// layout gave the control, keeps it as it is, and lies at z-order 0. Where the page shows only
// a part of the control (a table scrolled under it), the node draws and takes taps in that part
// alone.
#pragma once

#include <cstdint>

#include "graphics/core/graphics_context.h"
#include "graphics/core/node.h"

class ControlNode : public Node {
public:
    // rect is the control's own rectangle, which outlives the node face.
    explicit ControlNode(const Rect& rect) : controlRect_(rect) {}

    bool IsPopup() const override { return true; }
    Rect& AdjustRect(Rect& out, const Rect& in) override {
        out = in;
        return out;
    }
    bool HitTest(const Rect& area) override {
        return Rect::Intersects(partShown_ ? part_ : controlRect_, area);
    }
    bool GetRect(Rect& out) override {
        out = controlRect_;
        return true;
    }
    int32_t ZOrder() const override { return 0; }

    // The part of the control the page shows; null: all of it.
    void SetShownPart(const Rect* part) {
        partShown_ = part != nullptr;
        if (part) part_ = *part;
    }

    // Everything the control draws through its node is cut to the part shown.
    GraphicsContext* BeginDraw(bool defer, const Rect* area) override {
        GraphicsContext* gc = Node::BeginDraw(defer, area);
        if (gc && depth_++ == 0) {
            clipped_ = partShown_ && gc->PushState();
            if (clipped_) gc->IntersectClip(part_);
            drawing_ = gc;
        }
        return gc;
    }
    bool EndDraw() override {
        if (depth_ > 0 && --depth_ == 0 && clipped_) {
            drawing_->PopState();
            clipped_ = false;
        }
        return Node::EndDraw();
    }

private:
    const Rect& controlRect_;
    Rect part_{};
    bool partShown_ = false;
    bool clipped_ = false;
    int32_t depth_ = 0;
    GraphicsContext* drawing_ = nullptr;
};
