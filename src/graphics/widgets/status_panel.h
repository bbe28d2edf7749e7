// Status displays: a one-line label that scrolls its text like a marquee when it is wider than
// the label, a level bar showing a value as a filled part of a maximum, and a panel of three
// labels and a bar on a rounded background (the audio view's title, state, progress and time).
#pragma once

#include <cstdint>

#include "core/string.h"
#include "core/timer_list.h"
#include "graphics/core/graphics_context.h"
#include "graphics/core/node.h"

class Text;

// The panel's interfaces towards its parts' owners.
class ProgressListener {
public:
    virtual void OnProgress(uint32_t value, uint32_t maximum, bool flag) = 0;

protected:
    ~ProgressListener() = default;
};

class TextListener {
public:
    virtual void OnText(uint32_t a, uint32_t b) = 0;

protected:
    ~TextListener() = default;
};

// Writes the time text for (maximum, value).
class PanelTimeFormatter {
public:
    virtual void Format(Text& out, uint32_t maximum, uint32_t value) = 0;

protected:
    ~PanelTimeFormatter() = default;
};

class ScrollingLabel : public Node, public TimerCallback {
public:
    static constexpr uint32_t kTickMs = 60;
    static constexpr int32_t kGap = 25;
    // Longer texts scroll only this much of themselves (the marquee bitmap stays small).
    static constexpr int32_t kMaxMarqueeWidth = 2048;
    enum ScrollMode : uint32_t { kNever = 0, kAlways = 1, kWhenWider = 2 };

    explicit ScrollingLabel(TimerList* timers);
    ~ScrollingLabel() override;

    void SetText(const String& text, bool redraw);
    void SetStyle(const FontStyle& style, bool redraw);
    void SetScrollMode(uint32_t mode, bool redraw);
    void SetAlignment(uint32_t alignment, bool redraw);
    void SetTextColor(uint32_t c, bool redraw);
    void SetBackgroundColor(uint32_t c, bool redraw);
    void SetVisible(bool visible, bool redraw);
    void SetListener(TextListener* listener) { listener_ = listener; }
    Size GetTextSize() const { return text_.IsEmpty() ? Size{} : textSize_; }
    const String& GetText() const { return text_; }
    bool IsScrolling() const { return scrolling_; }
    int32_t Offset() const { return offset_; }
    int32_t TimerId() const { return timerId_; }
    const Rect& Rectangle() const { return rect_; }

    void OnTimer(TimerList& list, int32_t id) override;
    void Redraw(const Rect* area) override;
    Rect& AdjustRect(Rect& out, const Rect& in) override;
    bool HitTest(const Rect& area) override { return Rect::Intersects(area, rect_); }
    int32_t ZOrder() const override { return -128; }

private:
    void Measure();
    void Refresh() { Redraw(&rect_); }
    void DrawMarquee(GraphicsContext& gc);

    String text_;
    FontStyle style_{};
    uint32_t textColour_ = 0;
    uint32_t background_ = 0xFF000000u;
    uint32_t alignment_ = 0;
    Rect rect_{};
    int32_t offset_ = 0;
    Size textSize_{};
    bool scrolling_ = false;
    TimerList* timers_;
    int32_t timerId_ = -1;
    bool visible_ = true;
    uint32_t scrollMode_ = kWhenWider;
    TextListener* listener_ = nullptr;
};

class LevelBar : public Node {
public:
    LevelBar();

    void SetValue(uint32_t value, uint32_t maximum, bool redraw);
    uint32_t GetValue() const { return value_; }
    uint32_t GetMaximum() const { return maximum_; }
    // The value scaled to range (the value itself when range is the maximum or there is none).
    uint32_t ValueIn(uint32_t range) const;
    // The width of the filled part for an inside of that width.
    int32_t FilledWidth(int32_t width) const;
    void SetFillColor(uint32_t c, bool redraw);
    void SetBackgroundColor(uint32_t c, bool redraw);
    void SetFrameColor(uint32_t c, bool redraw);
    void SetBackgroundShaded(bool on, bool redraw);
    void SetFillShaded(bool on, bool redraw);
    void SetPadding(int32_t padding, bool redraw);
    void SetVisible(bool visible, bool redraw);
    void SetSecondFlag(bool on) { second_ = on; }
    void SetListener(ProgressListener* listener) { listener_ = listener; }
    const Rect& Rectangle() const { return rect_; }

    void Redraw(const Rect* area) override;
    Rect& AdjustRect(Rect& out, const Rect& in) override;
    bool HitTest(const Rect& area) override { return Rect::Intersects(area, rect_); }
    int32_t ZOrder() const override { return -128; }

private:
    uint32_t value_ = 0;
    uint32_t maximum_ = 0;
    Rect rect_{};
    uint32_t fill_;
    uint32_t background_;
    uint32_t frame_ = 0;
    bool backgroundShaded_ = true;
    bool fillShaded_ = true;
    int32_t padding_ = 0;
    bool visible_ = true;
    bool second_ = true;
    ProgressListener* listener_ = nullptr;
};

class StatusPanel : public Widget, public ProgressListener, public TextListener {
public:
    explicit StatusPanel(TimerList* timers);
    ~StatusPanel() override;

    void SetFirstLabel(const String& text, bool redraw) { first_.SetText(text, redraw); }
    void SetSecondLabel(const String& text, bool redraw) { second_.SetText(text, redraw); }
    void SetProgress(uint32_t value, uint32_t maximum, bool redraw);
    void SetTimeFormatter(PanelTimeFormatter* formatter, bool redraw);
    void SetThirdLabelText(const String& text, bool redraw);
    void SetTextStyle(const FontStyle& style, bool redraw);
    void SetTextColor(uint32_t c, bool redraw);
    void SetBackgroundColor(uint32_t c, bool redraw);
    void SetCornerRadius(int32_t r, bool redraw);
    void SetMargin(int32_t m, bool redraw);
    void SetSpacing(int32_t s, bool redraw);
    void SetShowFirstLabel(bool on, bool redraw);
    void SetShowSecondLabel(bool on, bool redraw);
    void SetShowBar(bool on, bool redraw);
    void SetShowThirdLabel(bool on, bool redraw);
    void SetFirstLabelVisible(bool on, bool redraw);
    void SetSecondLabelVisible(bool on, bool redraw);
    void SetBarVisible(bool on, bool redraw);
    void SetBarFillColor(uint32_t c, bool redraw) { bar_.SetFillColor(c, redraw); }
    void SetBarBackgroundColor(uint32_t c, bool redraw) { bar_.SetBackgroundColor(c, redraw); }
    void SetBarFrameColor(uint32_t c, bool redraw) { bar_.SetFrameColor(c, redraw); }
    void SetBarLook(int32_t padding, bool fillShaded, bool backgroundShaded);
    void SetFirstScrollMode(uint32_t m, bool redraw) { first_.SetScrollMode(m, redraw); }
    void SetSecondScrollMode(uint32_t m, bool redraw) { second_.SetScrollMode(m, redraw); }
    void SetFirstAlignment(uint32_t a, bool redraw) { first_.SetAlignment(a, redraw); }
    void SetSecondAlignment(uint32_t a, bool redraw) { second_.SetAlignment(a, redraw); }
    void SetFlag(bool on) { flag_ = on; }
    void SetProgressListener(ProgressListener* l) { progressClient_ = l; }
    void SetTextListener(TextListener* l) { textClient_ = l; }

    Size GetSize() const { return Size{rect_.width, rect_.height}; }
    // Lays out at that width without placing anything; the height.
    int32_t MeasureHeight(int32_t width);

    ScrollingLabel& FirstLabel() { return first_; }
    ScrollingLabel& SecondLabel() { return second_; }
    ScrollingLabel& ThirdLabel() { return third_; }
    LevelBar& Bar() { return bar_; }

    // ProgressListener and TextListener (kept by the bar and the third label).
    void OnProgress(uint32_t value, uint32_t maximum, bool flag) override;
    void OnText(uint32_t a, uint32_t b) override;

    void Redraw(const Rect* area) override;
    Rect& AdjustRect(Rect& out, const Rect& in) override;
    bool HitTest(const Rect& area) override { return Rect::Intersects(area, rect_); }
    int32_t ZOrder() const override { return -128; }

private:
    int32_t Layout(bool measureOnly, int32_t width);
    void Relayout(bool measure);
    void DrawBackground();

    Rect rect_{};
    ScrollingLabel first_;
    ScrollingLabel second_;
    ScrollingLabel third_;
    LevelBar bar_;
    Size thirdSize_{};
    FontStyle style_{};
    uint32_t background_ = 0xFFFFFF;
    int32_t radius_ = 5;
    int32_t margin_ = 4;
    int32_t spacing_ = 5;
    bool showFirst_ = true;
    bool showSecond_ = true;
    bool showBar_ = true;
    bool showThird_ = true;
    bool flag_ = false;
    int32_t lineHeight_ = 0;
    PanelTimeFormatter* formatter_ = nullptr;
    ProgressListener* progressClient_ = nullptr;
    TextListener* textClient_ = nullptr;
};
