#include "graphics/controls/button_control.h"

#include <algorithm>

#include "core/color.h"
#include "core/timer_list.h"
#include "media/image/icon_image.h"
#include "paths/app_paths.h"

namespace {
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr int32_t kFrameWidth = 14;
constexpr int32_t kFrameHeight = 10;

void Frame(GraphicsContext* gc, Rect& r, uint32_t colour) {
    gc->SetPenColor(colour);
    gc->DrawRectangle(r, false);
    Rect::Inset(r, 1, 1);
}
}  // namespace

ButtonControl::ButtonControl(TimerList* timers) : ControlNode(rect_), timers_(timers) {
    UiColors::Get(textColour_, 22);
}

ButtonControl::~ButtonControl() {
    if (timers_) timers_->Stop(nullptr, timerId_);
    DetachFromForm();
}

void ButtonControl::SetLabel(const String& label) {
    label_ = label;
    frameless_ = 0;
}

void ButtonControl::SetImage(std::shared_ptr<const IconImage> icon, bool framed) {
    image_ = std::move(icon);
    frameless_ = framed ? 0 : 1;
    label_.SetEmpty();
}

void ButtonControl::SetPressedImage(std::shared_ptr<const IconImage> icon) {
    pressedImage_ = std::move(icon);
}

void ButtonControl::SetFrameColours(uint32_t colour, uint32_t pressedColour) {
    frameColour_ = colour;
    pressedFrameColour_ = Color::IsNone(pressedColour) ? colour : pressedColour;
}

void ButtonControl::SetRect(const Rect& rect, uint32_t colour) {
    rect_ = rect;
    if (Color::IsNone(frameColour_)) frameColour_ = colour;
    if (Color::IsNone(pressedFrameColour_)) pressedFrameColour_ = colour;
}

bool ButtonControl::Draw(GraphicsContext* gc, const Rect& area, const Rect* clip) {
    if (!gc || !Rect::Intersects(area, rect_)) return true;
    Rect r = rect_;
    uint32_t f = pressed_ ? pressedFrameColour_ : frameColour_;
    if (!frameless_) {
        Frame(gc, r, kBlack);
        if (highlighted_) Frame(gc, r, kBlack);
        Frame(gc, r, kWhite);
        gc->SetBrushColor(f);
        if (!r.IsEmpty()) gc->FillRect(r);
        Rect::Inset(r, 5, 3);
        if (pressed_) {
            r.x += 1;
            r.y += 1;
        }
        if (IsFocused()) {
            r.x -= 1;
            r.y -= 1;
        }
    } else {
        gc->SetBrushColor(f);
    }
    if (image_) {
        const IconImage* icon = pressed_ && pressedImage_ ? pressedImage_.get() : image_.get();
        int32_t dx = std::max(0, r.width - icon->Width());
        int32_t dy = std::max(0, r.height - icon->Height());
        // A round icon's corners show what is behind it: its square is cleared first.
        if (frameless_ && (dx || dy || !iconOutlined_) && !r.IsEmpty() && !Color::IsNone(f))
            gc->FillRect(r);
        Rect iconRect{r.x + dx / 2 + labelOffsetX_, r.y + dy / 2 + labelOffsetY_, r.width - dx,
                      r.height - dy};
        Rect iconClip = clip ? *clip : rect_;
        gc->DrawIcon(iconRect, iconClip, icon->Icon(), Size{icon->Width(), icon->Height()});
        // A round icon has no square around it, neither plain nor for the focus (the page's
        // focus box shows that); the button does not paint over such a square when it goes.
        uint32_t frame = highlighted_ ? kBlack : f;
        if (frameless_ && !iconOutlined_) frame = Color::kNone;
        if (!Color::IsNone(frame) && !iconRect.IsEmpty()) {
            gc->SetPenColor(frame);
            gc->DrawRectangle(iconRect, false);
        }
        return true;
    }
    if (label_.IsEmpty() || r.IsEmpty()) return true;
    gc->SetTextColor(textColour_);
    ApplyStyle(gc);
    // The label never spills out of the button, however small it was made.
    bool pushed = gc->PushState();
    gc->IntersectClip(r);
    gc->DrawText(label_.Data(), label_.Length(), Point{r.x + labelOffsetX_, r.y + labelOffsetY_});
    if (pushed) gc->PopState();
    return true;
}

bool ButtonControl::Measure(Size& size, uint8_t& flagA, GraphicsContext* gc, uint8_t& flagB,
                            uint32_t& baseline, Size& minimum) {
    flagA = 0;
    flagB = 0;
    baseline = 0;
    size = Size{};
    if (image_) {
        size = Size{image_->Width(), image_->Height()};
        if (!frameless_) {
            size.width += kFrameWidth;
            size.height += kFrameHeight;
            baseline = 5;
        }
        minimum = size;
        return true;
    }
    int32_t descent = 0;
    if (gc && !label_.IsEmpty()) {
        ApplyStyle(gc);
        Size text{};
        if (gc->MeasureText(label_.Data(), label_.Length(), text)) size = text;
        descent = gc->FontDescent();
    }
    size.width += kFrameWidth;
    size.height += kFrameHeight;
    baseline = static_cast<uint32_t>(descent + 5);
    flagB = 1;
    minimum = size;
    return true;
}

bool ButtonControl::MeasureSimple(Size& size, uint8_t& flagA) {
    flagA = 0;
    if (!image_) return false;
    size = Size{image_->Width(), image_->Height()};
    if (!frameless_) {
        size.width += kFrameWidth;
        size.height += kFrameHeight;
    }
    return true;
}

int ButtonControl::Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool create) {
    return ResolveWithForm(err, name, ref, create);
}

bool ButtonControl::Show(bool show) {
    if (show == IsShownFlag()) return true;
    SetShownFlag(show);
    KeepAlive hold(this);
    NotifyForm(show ? 1 : 0);
    if (!show && !hold.Orphaned()) Blur();
    return true;
}

bool ButtonControl::HandleEvent(InputEvent& event) {
    KeepAlive hold(this);
    if (event.IsPen()) {
        // A tap: pressed while the pen is down over the button, clicked when it lifts there.
        Point p = event.point;
        bool inside = Rect::Contains(rect_, p);
        if (event.code == kPenDown) {
            if (!inside) return false;
            SetPressed(true);
            return true;
        }
        if (event.code == kPenMove) {
            SetPressed(inside);
            return true;
        }
        bool wasPressed = pressed_ != 0;
        SetPressed(false);
        if (wasPressed && inside) {
            Rect r = rect_;
            Fire(kFormEventClick, 0, &r);
        }
        return true;
    }
    uint32_t code = (event.flags & InputEvent::kHasRow) ? event.CodeAt(kKeyColumn) : event.code;
    if (code != kKeyActivate) return false;
    Rect r = rect_;
    Fire(kFormEventClick, 0, &r);
    return true;
}

void ButtonControl::SetPressed(bool pressed) {
    if ((pressed_ != 0) == pressed) return;
    pressed_ = pressed ? 1 : 0;
    if (IsShownFlag()) Redraw(nullptr);
}

void ButtonControl::Redraw(const Rect* /*area*/) {
    RedrawWhole();
}

void ButtonControl::SetHighlighted(bool highlighted) {
    highlighted_ = highlighted ? 1 : 0;
    if (IsShownFlag()) Redraw(nullptr);
}
