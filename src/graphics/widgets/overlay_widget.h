// A widget that floats over everything else on the drawing surface (drop-down lists, text and
// list pop-ups). It draws straight on the screen: showing saves the pixels beneath it, hiding
// puts them back, so the page is not redrawn. Modal, on top, and it takes the keyboard focus
// from the page while shown.
#pragma once

#include <cstdint>

#include "graphics/core/graphics_context.h"
#include "graphics/core/node.h"

class DrawingSurface;

class OverlayWidget : public Widget {
public:
    // An overlay made with deleteWhenHidden deletes itself when hidden: callers touch nothing of
    // it after Show(false).
    OverlayWidget(DrawingSurface* target, bool deleteWhenHidden, bool flag);
    ~OverlayWidget() override;

    void SetTarget(DrawingSurface* target);
    DrawingSurface* Target() const { return target_; }

    bool IsPopup() const override { return true; }
    bool Show(bool show) override;
    bool IsShown() const override { return shown_; }
    void SetActive(bool active) override;
    bool IsFocusScope() const override { return false; }
    Rect& AdjustRect(Rect& out, const Rect& in) override {
        out = in;
        return out;
    }
    bool HitTest(const Rect& area) override { return shown_ && Rect::Intersects(area, rect_); }
    bool GetRect(Rect& out) override {
        out = rect_;
        return shown_;
    }
    int32_t ZOrder() const override { return -128; }
    bool IsModal() const override { return true; }

    // The rectangle in the node's coordinates, taken to the target's (without its rotation).
    void PlaceFrom(const Rect& r, Node* node, bool includeNode);
    // The target's unrotated client area in the node's coordinates.
    bool ClientAreaIn(Rect& out, Node* node);
    const Rect& Rectangle() const { return rect_; }
    void SetRectangle(const Rect& r) { rect_ = requested_ = r; }
    void SetTakeFocusOnShow(bool on) { takeFocus_ = on; }
    bool Flag() const { return flag_; }

protected:
    OffscreenBitmap saved_;
    Rect requested_{};
    Rect second_{};
    Rect rect_{};

private:
    DrawingSurface* target_ = nullptr;
    bool shown_ = false;
    bool deleteWhenHidden_;
    bool flag_;
    bool takeFocus_ = true;
    // Where the saved pixels came from: they go back there even if the overlay moved meanwhile.
    Rect savedRect_{};
};
