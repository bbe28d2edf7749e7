#include "graphics/widgets/overlay_widget.h"

#include "graphics/core/drawing_surface.h"

OverlayWidget::OverlayWidget(DrawingSurface* target, bool deleteWhenHidden, bool flag)
    : deleteWhenHidden_(deleteWhenHidden), flag_(flag) {
    if (target) SetTarget(target);
}

OverlayWidget::~OverlayWidget() {
    deleteWhenHidden_ = false;
    Show(false);
    saved_.Free();
}

void OverlayWidget::SetTarget(DrawingSurface* target) {
    target_ = target;
    SetParent(target);
}

bool OverlayWidget::Show(bool show) {
    if (show == shown_ || !target_) return true;
    NodeRef self(this);
    DrawingSurface* target = target_;
    if (show) {
        // The page and every other overlay on the surface learn they are inactive (the others
        // hide, and may delete themselves).
        target->SetActive(false);
        if (!self.IsAlive() || shown_) return true;
        shown_ = true;
        CoverNodesBeneath(true);
        if (!self.IsAlive()) return true;
        if (GraphicsContext* gc = BeginDraw(false, nullptr)) {
            if (takeFocus_) target->ClearFocus();
            if (self.IsAlive() && gc->CaptureArea(saved_, rect_)) savedRect_ = rect_;
            target->EndDraw();
        }
        if (self.IsAlive() && shown_) Redraw(nullptr);
        return true;
    }

    CoverNodesBeneath(false);
    if (!self.IsAlive()) return true;
    shown_ = false;
    // The pixels beneath go back first: what the node taking the focus back draws (a page's
    // current mark, drawn by inverting) lands on them, not on the pop-up about to go.
    if (GraphicsContext* gc = BeginDraw(false, nullptr)) {
        if (gc->RestoreOffscreen(saved_, savedRect_, true)) target->InvalidateRect(nullptr);
        target->EndDraw();
    } else {
        saved_.Free();
    }
    // Focus inside a hidden overlay would swallow keys: it goes back to the remembered node.
    Node* focused = target->FocusedNode();
    if (focused && (focused == this || IsAncestorOf(focused))) {
        focused->Blur();
        if (!self.IsAlive()) return true;
    }
    target->FlushDisplay();
    if (deleteWhenHidden_) delete this;
    return true;
}

void OverlayWidget::SetActive(bool active) {
    NodeRef self(this);
    Widget::SetActive(active);
    if (self.IsAlive() && !active) Show(false);
}

void OverlayWidget::PlaceFrom(const Rect& r, Node* node, bool includeNode) {
    Transform t;
    if (node) node->TransformToAncestor(includeNode, true, target_, t);
    rect_ = Transform::MapRect(t, r);
    requested_ = rect_;
}

bool OverlayWidget::ClientAreaIn(Rect& out, Node* node) {
    Size size;
    if (!target_ || !target_->GetClientSize(size, true)) return false;
    Transform t, inverse;
    if (node) node->TransformToAncestor(true, true, target_, t);
    if (!Transform::Invert(t, inverse)) return false;
    out = Transform::MapRect(inverse, Rect{0, 0, size.width, size.height});
    return true;
}
