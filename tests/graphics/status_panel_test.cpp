// Status panels: a label that scrolls only when wider than itself, its marquee offset and the
// repeated copy 25 pixels on, its timer running exactly while it scrolls; the level bar's fill
// (no maximum, large maximums, values past the maximum); the panel's layout with and without
// its parts, the time formatter's argument order, and the panel drawn in a window.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/text.h"
#include "graphics/core/drawing_surface.h"
#include "graphics/widgets/status_panel.h"
#include "support/graphics/surface_window.h"

namespace {

constexpr FontStyle kStyle{-12, 0, 1};

// ---- The bar's arithmetic ---------------------------------------------------------------------

TEST(LevelBarFill, NoMaximumIsFull) {
    LevelBar bar;
    bar.SetValue(5, 0, false);
    EXPECT_EQ(bar.FilledWidth(100), 100);
    EXPECT_EQ(bar.ValueIn(77), 5u);
}

TEST(LevelBarFill, LargeMaximumDividesByTheMaximumPerPixel) {
    LevelBar bar;
    bar.SetValue(1000000, 2000000, false);
    EXPECT_EQ(bar.FilledWidth(100), 50);  // 1000000 / 20000
    bar.SetValue(19999, 2000000, false);
    EXPECT_EQ(bar.FilledWidth(100), 0);
    bar.SetValue(0xFFFFFFFFu - 1, 0xFFFFFFFFu, false);
    EXPECT_EQ(bar.FilledWidth(3000), 3000);  // the quotient per pixel rounds down
}

TEST(LevelBarFill, SmallMaximumScalesWithoutWrapping) {
    LevelBar bar;
    bar.SetValue(300, 1000, false);
    EXPECT_EQ(bar.FilledWidth(100), 30);
    bar.SetValue(1000000, 1048576, false);
    EXPECT_EQ(bar.FilledWidth(5000), 4768);  // 64-bit product
}

TEST(LevelBarFill, ValuePastTheMaximumFillsTheBarAndNoMore) {
    LevelBar bar;
    bar.SetValue(5000, 1000, false);
    EXPECT_EQ(bar.FilledWidth(100), 100);
    bar.SetValue(5000000, 2000000, false);
    EXPECT_EQ(bar.FilledWidth(100), 100);
    EXPECT_EQ(bar.ValueIn(100), 100u);
    EXPECT_EQ(bar.FilledWidth(0), 0);
}

// ---- In a window ------------------------------------------------------------------------------

class StatusTest : public fvt::test::SurfaceWindowTest {
protected:
    void SetUp() override {
        SurfaceWindowTest::SetUp();
        timers = std::make_unique<TimerList>();
        TimerList* list = timers.get();
        OpenSurface(220, 120, [list](HWND, UINT msg, WPARAM w, LPARAM, bool& handled) -> LRESULT {
            handled = msg == WM_TIMER && list->Dispatch(w);
            return 0;
        });
        timerHost = std::make_unique<WindowTimers>(hwnd);
        timers->SetHost(timerHost.get());
    }
    void TearDown() override {
        surface.reset();
        timers.reset();
        SurfaceWindowTest::TearDown();
    }
    int32_t TextWidth(const char16_t* s) {
        GraphicsContext* gc = surface->BeginDraw(false, nullptr);
        gc->SetFontStyle(kStyle);
        Size size;
        gc->MeasureText(s, static_cast<int32_t>(std::char_traits<char16_t>::length(s)), size);
        surface->EndDraw();
        return size.width;
    }
    std::unique_ptr<WindowTimers> timerHost;
    std::unique_ptr<TimerList> timers;
};

TEST_F(StatusTest, LabelAsWideAsItsTextDoesNotScroll) {
    ScrollingLabel label(timers.get());
    label.SetParent(surface.get());
    label.SetStyle(kStyle, false);
    const int32_t w = TextWidth(u"Chapter one");
    ASSERT_GT(w, 0);
    label.SetText(String(u"Chapter one"), false);
    Rect out;
    label.AdjustRect(out, Rect{0, 0, w, 20});
    EXPECT_FALSE(label.IsScrolling());
    EXPECT_EQ(label.TimerId(), -1);
    label.AdjustRect(out, Rect{0, 0, w - 1, 20});
    EXPECT_TRUE(label.IsScrolling());
    EXPECT_TRUE(timers->IsLive(label.TimerId()));
    label.AdjustRect(out, Rect{0, 0, w + 5, 20});
    EXPECT_FALSE(label.IsScrolling());
    EXPECT_EQ(timers->Count(), 0);
    label.Detach();
}

TEST_F(StatusTest, MarqueeOffsetWrapsAfterTheTextAndTheGap) {
    ScrollingLabel label(timers.get());
    label.SetParent(surface.get());
    label.SetStyle(kStyle, false);
    label.SetText(String(u"A long title that scrolls"), false);
    Rect out;
    label.AdjustRect(out, Rect{0, 0, 40, 16});
    ASSERT_TRUE(label.IsScrolling());
    const int32_t w = label.GetTextSize().width;
    for (int i = 0; i < w + ScrollingLabel::kGap; ++i) label.OnTimer(*timers, label.TimerId());
    EXPECT_EQ(label.Offset(), w + ScrollingLabel::kGap);
    label.OnTimer(*timers, label.TimerId());
    EXPECT_EQ(label.Offset(), 0);
    // Ticks of the window timer move it too.
    fvt::AdvanceClock(ScrollingLabel::kTickMs);
    fvt::RunUntilIdle();
    EXPECT_EQ(label.Offset(), 1);
    label.Detach();
}

TEST_F(StatusTest, TheRepeatedTextStartsTwentyFivePixelsAfterTheFirst) {
    ScrollingLabel label(timers.get());
    label.SetParent(surface.get());
    label.SetStyle(kStyle, false);
    label.SetScrollMode(ScrollingLabel::kAlways, false);
    label.SetBackgroundColor(0xFFFFFF, false);
    label.SetTextColor(0, false);
    label.SetText(String(u"Ab"), false);
    Rect out;
    label.AdjustRect(out, Rect{0, 0, 200, 16});
    const int32_t w = label.GetTextSize().width;
    ASSERT_TRUE(label.IsScrolling());
    ASSERT_LT(w + 25, 200 - w);
    label.Redraw(nullptr);
    int inked = 0, differing = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < w; ++x) {
            if (Pixel(x, y) != 0xFFFFFFu) ++inked;
            if (Pixel(x, y) != Pixel(x + w + 25, y)) ++differing;
            EXPECT_EQ(Pixel(w + 5, y), 0xFFFFFFu);  // in the gap
        }
    EXPECT_GT(inked, 0);
    EXPECT_EQ(differing, 0);
    label.Detach();
}

TEST_F(StatusTest, TimerStopsWithTheLabel) {
    {
        ScrollingLabel label(timers.get());
        label.SetParent(surface.get());
        label.SetStyle(kStyle, false);
        label.SetScrollMode(ScrollingLabel::kAlways, false);
        label.SetText(String(u"x"), false);
        EXPECT_EQ(timers->Count(), 1);
    }
    EXPECT_EQ(timers->Count(), 0);
}

TEST_F(StatusTest, LabelOutsideATreeMeasuresWhenPlaced) {
    ScrollingLabel label(timers.get());
    label.SetStyle(kStyle, false);
    label.SetText(String(u"Title"), true);  // no context yet: nothing measured, nothing drawn
    EXPECT_EQ(label.GetTextSize().width, 0);
    label.SetParent(surface.get());
    Rect out;
    label.AdjustRect(out, Rect{0, 0, 100, 16});
    EXPECT_EQ(label.GetTextSize().width, TextWidth(u"Title"));
    label.Detach();
}

class Formatter : public PanelTimeFormatter {
public:
    void Format(Text& out, uint32_t maximum, uint32_t value) override {
        calls.push_back({maximum, value});
        String s;
        s.AppendUnsigned(value, 10);
        s.Append(String(u"/"));
        s.AppendUnsigned(maximum, 10);
        s.ToText(out);
    }
    std::vector<std::pair<uint32_t, uint32_t>> calls;
};

TEST_F(StatusTest, FormatterGetsMaximumThenValueFromBothCalls) {
    StatusPanel panel(timers.get());
    panel.SetParent(surface.get());
    panel.SetTextStyle(kStyle, false);
    panel.SetProgress(30, 100, false);
    Formatter f;
    panel.SetTimeFormatter(&f, false);
    panel.SetProgress(40, 100, false);
    ASSERT_EQ(f.calls.size(), 2u);
    EXPECT_EQ(f.calls[0], (std::pair<uint32_t, uint32_t>{100, 30}));
    EXPECT_EQ(f.calls[1], (std::pair<uint32_t, uint32_t>{100, 40}));
    EXPECT_EQ(panel.ThirdLabel().GetText(), String(u"40/100"));
    panel.SetTimeFormatter(nullptr, false);
    EXPECT_TRUE(panel.ThirdLabel().GetText().IsEmpty());
    panel.Detach();
}

TEST_F(StatusTest, BarTakesTheInnerWidthWhenTheThirdLabelIsHidden) {
    StatusPanel panel(timers.get());
    panel.SetParent(surface.get());
    panel.SetTextStyle(kStyle, false);
    panel.SetThirdLabelText(String(u"12:00"), false);
    Rect out;
    panel.AdjustRect(out, Rect{10, 10, 200, 0});
    const int32_t inner = 200 - 2 * 4;
    const int32_t third = panel.ThirdLabel().GetTextSize().width;
    EXPECT_EQ(panel.Bar().Rectangle().width, inner - 5 - third);
    EXPECT_EQ(panel.ThirdLabel().Rectangle().x, panel.Bar().Rectangle().Right() + 5);
    panel.SetShowThirdLabel(false, true);
    EXPECT_EQ(panel.Bar().Rectangle().width, inner);
    EXPECT_TRUE(panel.ThirdLabel().Rectangle().IsEmpty());
    EXPECT_EQ(panel.Bar().Rectangle().x, 14);
    panel.Detach();
}

TEST_F(StatusTest, BarKeepsTenPixelsBesideAVeryWideTime) {
    StatusPanel panel(timers.get());
    panel.SetParent(surface.get());
    panel.SetTextStyle(kStyle, false);
    panel.SetThirdLabelText(String(u"0000000000000000000000000000"), false);
    Rect out;
    panel.AdjustRect(out, Rect{0, 0, 60, 0});
    EXPECT_EQ(panel.Bar().Rectangle().width, 10);
    panel.Detach();
}

TEST_F(StatusTest, LayoutHeightAndMeasuringTwice) {
    StatusPanel panel(timers.get());
    panel.SetParent(surface.get());
    panel.SetTextStyle(kStyle, false);
    const int32_t h = panel.MeasureHeight(200);
    EXPECT_EQ(panel.MeasureHeight(200), h);
    EXPECT_EQ(panel.GetSize(), Size{});  // measuring places nothing
    Rect out;
    panel.AdjustRect(out, Rect{0, 0, 200, 0});
    EXPECT_EQ(panel.GetSize().height, h);
    EXPECT_EQ(panel.GetSize().width, 200);
    const int32_t line = panel.FirstLabel().Rectangle().height;
    // Margins 4, three rows with spacing 5: two label lines and the bar of half a line.
    EXPECT_GT(line, 4);
    EXPECT_EQ(h, 4 + line + 5 + line + 5 + line / 2 + 4);
    panel.SetShowFirstLabel(false, true);
    EXPECT_EQ(panel.GetSize().height, h - line - 5);
    EXPECT_TRUE(panel.FirstLabel().Rectangle().IsEmpty());
    EXPECT_EQ(panel.SecondLabel().Rectangle().y, 4);
    panel.Detach();
}

TEST_F(StatusTest, PanelDrawsItsBackgroundLabelsAndBar) {
    StatusPanel panel(timers.get());
    panel.SetParent(surface.get());
    panel.SetTextStyle(kStyle, false);
    panel.SetBackgroundColor(0x202020, false);
    panel.SetTextColor(0xFFFFFF, false);
    panel.SetFirstLabel(String(u"Folivant audio"), false);
    panel.SetSecondLabel(String(u"Playing"), false);
    panel.SetBarLook(1, false, false);
    panel.SetProgress(50, 100, false);
    panel.SetThirdLabelText(String(u"1:00"), false);
    Rect out;
    surface->AdjustRect(out, Rect{0, 0, 220, 120});
    panel.AdjustRect(out, Rect{0, 0, 220, 0});
    Repaint();
    const Rect bar = panel.Bar().Rectangle();
    EXPECT_EQ(Pixel(110, 2), 0x202020u);
    EXPECT_EQ(Pixel(bar.x + 2, bar.y + bar.height / 2), 0xFF3232u);  // filled: (255, 50, 50)
    EXPECT_EQ(Pixel(bar.Right() - 3, bar.y + bar.height / 2), 0xFFFFFFu);
    EXPECT_EQ(Pixel(bar.x, bar.y), 0x000000u);  // the frame
    if (const char* shot = std::getenv("FOLIVANT_WIDGET_SHOTS")) fvt::SaveScreenshot(std::string(shot) + "/status_panel.png");
    panel.Detach();
}

}  // namespace
