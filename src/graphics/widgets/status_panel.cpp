#include "graphics/widgets/status_panel.h"

#include <algorithm>

#include "core/color.h"
#include "core/text.h"
#include "graphics/core/drawing_surface.h"
#include "graphics/widgets/layout_box.h"

namespace {

// Each channel divided by 4: the dark end of a shaded run.
uint32_t Quarter(uint32_t c) {
    uint8_t r, g, b;
    Color::Unpack(c, r, g, b);
    return Color::Pack(r / 4, g / 4, b / 4);
}

const char16_t kSample[] = u"Toto";

// Stores the value when it differs; true when it did.
template <typename T>
bool Changed(T& field, T value) {
    if (field == value) return false;
    field = value;
    return true;
}

}  // namespace

// ---- ScrollingLabel ---------------------------------------------------------------------------

ScrollingLabel::ScrollingLabel(TimerList* timers) : timers_(timers) {}

ScrollingLabel::~ScrollingLabel() {
    if (timers_ && timerId_ != -1) timers_->Stop(this, timerId_);
}

void ScrollingLabel::SetText(const String& text, bool redraw) {
    if (text == text_) return;
    text_ = text;
    Measure();
    if (redraw) Refresh();
}

void ScrollingLabel::SetStyle(const FontStyle& style, bool redraw) {
    style_ = style;
    Measure();
    if (redraw) Refresh();
}

void ScrollingLabel::SetScrollMode(uint32_t mode, bool redraw) {
    if (Changed(scrollMode_, mode) && redraw) Refresh();
}

void ScrollingLabel::SetAlignment(uint32_t alignment, bool redraw) {
    if (Changed(alignment_, alignment) && redraw) Refresh();
}

void ScrollingLabel::SetTextColor(uint32_t c, bool redraw) {
    if (Changed(textColour_, c) && redraw) Refresh();
}

void ScrollingLabel::SetBackgroundColor(uint32_t c, bool redraw) {
    if (Changed(background_, c) && redraw) Refresh();
}

void ScrollingLabel::SetVisible(bool visible, bool redraw) {
    if (Changed(visible_, visible) && redraw) Refresh();
}

Rect& ScrollingLabel::AdjustRect(Rect& out, const Rect& in) {
    rect_ = in;
    Measure();
    SetPlaced(true);
    out = Rect{};
    return out;
}

void ScrollingLabel::Measure() {
    if (text_.IsEmpty()) {
        textSize_ = Size{};
    } else {
        // Outside a tree there is nothing to measure with: the last size stays until placed.
        DrawScope scope(this, true);
        if (!scope) return;
        scope.Context()->SetFontStyle(style_);
        Size size;
        if (scope.Context()->MeasureText(text_.Data(), text_.Length(), size)) textSize_ = size;
    }
    bool scroll = scrollMode_ == kAlways ||
                  (scrollMode_ == kWhenWider && textSize_.width > rect_.width);
    if (scroll == scrolling_) return;
    scrolling_ = scroll;
    if (scroll) {
        if (timers_) timers_->StartRepeating(this, kTickMs, timerId_);
    } else {
        if (timers_) timers_->Stop(this, timerId_);
        offset_ = 0;
    }
}

void ScrollingLabel::OnTimer(TimerList& /*list*/, int32_t /*id*/) {
    int32_t width = std::min(textSize_.width, kMaxMarqueeWidth);
    if (++offset_ > width + kGap) offset_ = 0;
    Refresh();
}

void ScrollingLabel::Redraw(const Rect* area) {
    if (!visible_ || (area && !Rect::Intersects(*area, rect_))) return;
    DrawScope scope(this);
    if (!scope) return;
    GraphicsContext& gc = *scope.Context();
    gc.SetFontStyle(style_);
    if (Color::IsNone(background_)) gc.FillBackground(rect_);
    gc.SetPenColor(background_);
    gc.SetBrushColor(background_);
    gc.SetTextColor(textColour_);
    if (!Color::IsNone(background_)) gc.DrawRectangle(rect_, true);
    gc.MarkChanged(&rect_);
    if (text_.IsEmpty() || rect_.IsEmpty()) return;
    if (scrolling_) {
        DrawMarquee(gc);
        return;
    }
    Rect textRect = rect_;
    if (alignment_ == 2) {
        textRect = Rect::EdgeStrip(rect_, 2, textSize_.width);
    } else if (alignment_ == 1) {
        textRect.width = textSize_.width;
        Rect::CenterX(textRect, rect_);
    }
    if (!gc.PushState()) return;
    gc.IntersectClip(rect_);
    gc.DrawText(text_.Data(), text_.Length(), Point{textRect.x, textRect.y});
    gc.PopState();
}

void ScrollingLabel::DrawMarquee(GraphicsContext& gc) {
    const int32_t width = std::min(textSize_.width, kMaxMarqueeWidth);
    if (width < 1) return;
    const bool transparent = Color::IsNone(background_);
    uint8_t r, g, b;
    Color::Unpack(textColour_, r, g, b);
    const uint32_t key = Color::Pack(255 - r, 255 - g, 255 - b);
    OffscreenBitmap strip;
    if (!gc.CreateOffscreen(strip, Size{width, rect_.height})) return;
    {
        // The text drawn once into the strip, through a context of its own bound to it.
        DrawingSurface painter(gc.Faces());
        painter.SetExternalTarget(&strip);
        painter.BeginDraw(false, nullptr);
        uint32_t fill = transparent ? key : background_;
        painter.SetPenColor(fill);
        painter.SetBrushColor(fill);
        painter.DrawRectangle(Rect{0, 0, width, rect_.height}, true);
        painter.SetFontStyle(style_);
        painter.SetTextColor(textColour_);
        painter.DrawText(text_.Data(), text_.Length(), Point{});
        painter.EndDraw();
        painter.ClearExternalTarget();
    }
    auto copy = [&](int32_t fromX, const Rect& to) {
        if (to.IsEmpty()) return;
        if (transparent)
            gc.TransparentBlit(strip, Rect{fromX, 0, to.width, to.height}, to, key);
        else
            gc.Blit(strip, Point{fromX, 0}, to);
        gc.MarkChanged(&to);
    };
    if (offset_ < width)
        copy(offset_, Rect{rect_.x, rect_.y, std::min(width - offset_, rect_.width), rect_.height});
    int32_t second = width - offset_ + kGap;
    if (second < rect_.width)
        copy(0, Rect{rect_.x + second, rect_.y, std::min(rect_.width - second, width),
                     rect_.height});
    strip.Free();
}

// ---- LevelBar ---------------------------------------------------------------------------------

LevelBar::LevelBar() : fill_(Color::Pack(255, 50, 50)), background_(Color::Pack(255, 255, 255)) {}

void LevelBar::SetValue(uint32_t value, uint32_t maximum, bool redraw) {
    if (value == value_ && maximum == maximum_) return;
    value_ = value;
    maximum_ = maximum;
    if (redraw) Redraw(&rect_);
}

uint32_t LevelBar::ValueIn(uint32_t range) const {
    if (range == maximum_ || maximum_ == 0) return value_;
    uint64_t v = std::min(value_, maximum_);
    return static_cast<uint32_t>(v * range / maximum_);
}

int32_t LevelBar::FilledWidth(int32_t width) const {
    if (width < 1) return 0;
    if (maximum_ == 0) return width;
    // A value past the maximum (a mis-reported length) fills the bar, never beyond it.
    const uint32_t value = std::min(value_, maximum_);
    const uint32_t w = static_cast<uint32_t>(width);
    uint64_t filled;
    if (maximum_ > 0x100000u && maximum_ / w != 0)
        filled = value / (maximum_ / w);
    else
        filled = static_cast<uint64_t>(value) * w / maximum_;
    return static_cast<int32_t>(std::min<uint64_t>(filled, w));
}

void LevelBar::SetFillColor(uint32_t c, bool redraw) {
    if (Changed(fill_, c) && redraw) Redraw(&rect_);
}
void LevelBar::SetBackgroundColor(uint32_t c, bool redraw) {
    if (Changed(background_, c) && redraw) Redraw(&rect_);
}
void LevelBar::SetFrameColor(uint32_t c, bool redraw) {
    if (Changed(frame_, c) && redraw) Redraw(&rect_);
}
void LevelBar::SetBackgroundShaded(bool on, bool redraw) {
    if (Changed(backgroundShaded_, on) && redraw) Redraw(&rect_);
}
void LevelBar::SetFillShaded(bool on, bool redraw) {
    if (Changed(fillShaded_, on) && redraw) Redraw(&rect_);
}
void LevelBar::SetPadding(int32_t padding, bool redraw) {
    if (Changed(padding_, padding) && redraw) Redraw(&rect_);
}
void LevelBar::SetVisible(bool visible, bool redraw) {
    if (Changed(visible_, visible) && redraw) Redraw(&rect_);
}

Rect& LevelBar::AdjustRect(Rect& out, const Rect& in) {
    rect_ = in;
    SetPlaced(true);
    out = Rect{};
    return out;
}

void LevelBar::Redraw(const Rect* area) {
    if (!visible_ || rect_.IsEmpty() || (area && !Rect::Intersects(*area, rect_))) return;
    DrawScope scope(this);
    if (!scope) return;
    GraphicsContext& gc = *scope.Context();
    gc.SetPenColor(frame_);
    gc.DrawRectangle(rect_, false);
    Rect inside = rect_;
    Rect::Inset(inside, padding_, padding_);
    if (inside.IsEmpty()) return;
    if (Color::IsNone(background_)) {
        gc.FillBackground(inside);
    } else if (backgroundShaded_) {
        gc.FillGradient(inside, background_, Quarter(background_), true);
    } else {
        gc.SetPenColor(background_);
        gc.SetBrushColor(background_);
        gc.DrawRectangle(inside, true);
    }
    Rect filled{inside.x, inside.y, FilledWidth(inside.width), inside.height};
    if (!filled.IsEmpty()) gc.FillGradient(filled, fill_, fillShaded_ ? Quarter(fill_) : fill_, true);
    gc.MarkChanged(&rect_);
}

// ---- StatusPanel ------------------------------------------------------------------------------

StatusPanel::StatusPanel(TimerList* timers) : first_(timers), second_(timers), third_(timers) {
    first_.SetParent(this);
    second_.SetParent(this);
    bar_.SetParent(this);
    third_.SetParent(this);
    bar_.SetListener(this);
    third_.SetListener(this);
}

StatusPanel::~StatusPanel() {
    first_.Detach();
    second_.Detach();
    bar_.Detach();
    third_.Detach();
}

void StatusPanel::SetProgress(uint32_t value, uint32_t maximum, bool redraw) {
    bar_.SetValue(value, maximum, redraw);
    if (!formatter_) return;
    Text out;
    formatter_->Format(out, maximum, value);
    String s;
    s.AssignFromText(out);
    SetThirdLabelText(s, redraw);
}

void StatusPanel::SetTimeFormatter(PanelTimeFormatter* formatter, bool redraw) {
    if (formatter == formatter_) return;
    formatter_ = formatter;
    String s;
    if (formatter_) {
        // The same order as SetProgress: (maximum, value).
        Text out;
        formatter_->Format(out, bar_.GetMaximum(), bar_.GetValue());
        s.AssignFromText(out);
    }
    SetThirdLabelText(s, redraw);
}

void StatusPanel::SetThirdLabelText(const String& text, bool redraw) {
    third_.SetText(text, redraw);
    if (redraw && !(third_.GetTextSize() == thirdSize_)) Relayout(true);
}

void StatusPanel::SetTextStyle(const FontStyle& style, bool redraw) {
    style_ = style;
    FontStyle bold = style;
    bold.flags |= FontStyle::kBold;
    first_.SetStyle(style, false);
    second_.SetStyle(bold, false);
    third_.SetStyle(style, false);
    if (redraw) Relayout(true);
}

void StatusPanel::SetTextColor(uint32_t c, bool redraw) {
    first_.SetTextColor(c, redraw);
    second_.SetTextColor(c, redraw);
    third_.SetTextColor(c, redraw);
}

void StatusPanel::SetBackgroundColor(uint32_t c, bool redraw) {
    first_.SetBackgroundColor(c, false);
    second_.SetBackgroundColor(c, false);
    third_.SetBackgroundColor(c, false);
    if (c == background_) return;
    background_ = c;
    if (redraw) Relayout(false);
}

void StatusPanel::SetCornerRadius(int32_t r, bool redraw) {
    if (Changed(radius_, r) && redraw) Relayout(true);
}
void StatusPanel::SetMargin(int32_t m, bool redraw) {
    if (Changed(margin_, m) && redraw) Relayout(true);
}
void StatusPanel::SetSpacing(int32_t s, bool redraw) {
    if (Changed(spacing_, s) && redraw) Relayout(true);
}
void StatusPanel::SetShowFirstLabel(bool on, bool redraw) {
    if (Changed(showFirst_, on) && redraw) Relayout(true);
}
void StatusPanel::SetShowSecondLabel(bool on, bool redraw) {
    if (Changed(showSecond_, on) && redraw) Relayout(true);
}
void StatusPanel::SetShowBar(bool on, bool redraw) {
    if (Changed(showBar_, on) && redraw) Relayout(true);
}
void StatusPanel::SetShowThirdLabel(bool on, bool redraw) {
    if (Changed(showThird_, on) && redraw) Relayout(true);
}

void StatusPanel::SetFirstLabelVisible(bool on, bool redraw) {
    first_.SetVisible(on, false);
    if (redraw) Redraw(nullptr);
}
void StatusPanel::SetSecondLabelVisible(bool on, bool redraw) {
    second_.SetVisible(on, false);
    if (redraw) Redraw(nullptr);
}
void StatusPanel::SetBarVisible(bool on, bool redraw) {
    bar_.SetVisible(on, false);
    if (redraw) Redraw(nullptr);
}

void StatusPanel::SetBarLook(int32_t padding, bool fillShaded, bool backgroundShaded) {
    bar_.SetPadding(padding, false);
    bar_.SetFillShaded(fillShaded, false);
    bar_.SetBackgroundShaded(backgroundShaded, false);
}

void StatusPanel::OnProgress(uint32_t value, uint32_t maximum, bool flag) {
    SetProgress(value, maximum, flag);
    if (progressClient_) progressClient_->OnProgress(value, maximum, flag);
}

void StatusPanel::OnText(uint32_t a, uint32_t b) {
    if (textClient_) textClient_->OnText(a, b);
}

int32_t StatusPanel::MeasureHeight(int32_t width) {
    return Layout(true, width);
}

int32_t StatusPanel::Layout(bool measureOnly, int32_t width) {
    {
        DrawScope scope(this, true);
        if (scope) {
            scope.Context()->SetFontStyle(style_);
            Size sample;
            if (scope.Context()->MeasureText(kSample, 4, sample)) lineHeight_ = sample.height;
        }
    }
    const int32_t h = lineHeight_;
    const int32_t inner = std::max(width - 2 * margin_, 0);
    const Size thirdText = third_.GetTextSize();
    Rect firstItem{0, 0, inner, h}, secondItem{0, 0, inner, h};
    Rect barItem{0, 0, inner, h / 2};
    if (showThird_) barItem.width = std::max(inner - spacing_ - thirdText.width, 10);
    Rect thirdItem{0, 0, thirdText.width, thirdText.height};

    LayoutItem firstEntry(&firstItem), secondEntry(&secondItem), barEntry(&barItem),
        thirdEntry(&thirdItem);
    LayoutBox outer(margin_, spacing_, true);
    LayoutBox row(0, spacing_, false);
    if (showFirst_) outer.Add(&firstEntry, LayoutBox::kStart);
    if (showSecond_) outer.Add(&secondEntry, LayoutBox::kStart);
    if (showBar_ || showThird_) {
        outer.Add(&row, LayoutBox::kCentre);
        if (showBar_) row.Add(&barEntry, LayoutBox::kCentre);
        if (showThird_) row.Add(&thirdEntry, LayoutBox::kCentre);
    }
    outer.Measure();
    const Size size = *outer.GetSize();
    if (measureOnly) return size.height;

    rect_.width = size.width;
    rect_.height = size.height;
    outer.Place(Point{rect_.x, rect_.y});
    if (!showFirst_) firstItem = Rect{};
    if (!showSecond_) secondItem = Rect{};
    if (!showBar_) barItem = Rect{};
    if (!showThird_) thirdItem = Rect{};
    Rect ignored;
    first_.AdjustRect(ignored, firstItem);
    second_.AdjustRect(ignored, secondItem);
    bar_.AdjustRect(ignored, barItem);
    third_.AdjustRect(ignored, thirdItem);
    thirdSize_ = third_.GetTextSize();
    return size.height;
}

void StatusPanel::Relayout(bool measure) {
    if (!IsPlaced()) return;
    if (measure) Layout(false, rect_.width);
    Redraw(nullptr);
}

Rect& StatusPanel::AdjustRect(Rect& out, const Rect& in) {
    rect_ = in;
    SetPlaced(true);
    Layout(false, in.width);
    out = Rect{};
    return out;
}

void StatusPanel::DrawBackground() {
    DrawScope scope(this);
    if (!scope) return;
    GraphicsContext& gc = *scope.Context();
    if (Color::IsNone(background_)) {
        gc.FillBackground(rect_);
        return;
    }
    gc.SetPenColor(background_);
    gc.SetBrushColor(background_);
    gc.DrawRoundRect(rect_, radius_);
}

void StatusPanel::Redraw(const Rect* area) {
    if (!IsPlaced() || (area && !Rect::Intersects(*area, rect_))) return;
    DrawScope scope(this);
    if (!scope) return;
    DrawBackground();
    Widget::Redraw(area);
}
