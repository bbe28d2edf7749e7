// The Node face of a control laid out inline in a page: the node covers the rectangle the
// layout gave the control, keeps it as it is, and lies at z-order 0.
#pragma once

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
    bool HitTest(const Rect& area) override { return Rect::Intersects(controlRect_, area); }
    bool GetRect(Rect& out) override {
        out = controlRect_;
        return true;
    }
    int32_t ZOrder() const override { return 0; }

private:
    const Rect& controlRect_;
};
