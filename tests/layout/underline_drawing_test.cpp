// Underlines drawn by the real graphics context with the system fonts: the line under the gap
// between two underlined words sits just below the words' baseline, never on the next line.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "document/markup/html_tokenizer.h"
#include "layout/page_canvas.h"
#include "layout/page_layout.h"
#include "support/layout/context_canvas.h"
#include "support/layout/layout_host.h"
#include "support/layout/paging_fixtures.h"
#include "support/layout/recording_canvas.h"
#include "support/platform/window_fixture.h"

namespace {

using UnderlineDrawing = fvt::test::WindowTest;

constexpr int32_t kWidth = 200;
constexpr int32_t kHeight = 200;

// Lays out and paints the first page on the canvas given.
void PaintFirstPage(const std::u16string& html, fvt::test::ContextCanvas* context,
                    PageCanvas* canvas) {
    fvt::test::SeekableDocument doc(html, 512);
    HtmlTokenizer source(true);
    ASSERT_TRUE(source.Attach(&doc, 0));
    fvt::test::FixedTraits traits(0x11570002);
    PageLayout layout(&traits);
    layout.SetSource(&source);
    layout.SetGraphics(fvt::test::CanvasContext(context));
    layout.SetCanvas(canvas);
    layout.Configure(LayoutSettings{});
    layout.SetViewport(Rect{0, 0, kWidth, kHeight});
    ASSERT_TRUE(layout.Start());
    ASSERT_TRUE(layout.GoToPage(1));
    EXPECT_TRUE(layout.PaintCurrentPage(false));
    layout.SetCanvas(nullptr);
}

TEST_F(UnderlineDrawing, TheLineUnderAGapSitsOnItsOwnLine) {
    const std::u16string html =
        u"<html><body><p><u>one two three four five six seven eight nine ten eleven twelve "
        u"thirteen fourteen fifteen</u></p></body></html>";
    fvt::test::RecordingCanvas recorder;
    fvt::test::ContextCanvas* measuring = fvt::test::NewContextCanvas(kWidth, kHeight, true);
    PaintFirstPage(html, measuring, &recorder);
    fvt::test::DeleteContextCanvas(measuring);

    fvt::test::ContextCanvas* screen = fvt::test::NewContextCanvas(kWidth, kHeight, true);
    {
        GraphicsPageCanvas canvas(fvt::test::CanvasContext(screen));
        PaintFirstPage(html, screen, &canvas);
    }
    fvt::test::SaveCanvasPng(screen, fvt::test::PagesFolder() + "/underline.png");

    // The baselines of the lines, in order: the next line's text starts a line step lower.
    std::vector<int32_t> baselines;
    for (const fvt::test::Op& op : recorder.Of('T'))
        if (baselines.empty() || baselines.back() != op.rect.y) baselines.push_back(op.rect.y);
    ASSERT_GE(baselines.size(), 3u);
    int32_t step = baselines[1] - baselines[0];
    ASSERT_GT(step, 4);

    std::vector<fvt::test::Op> gaps = recorder.Of('U');
    ASSERT_GE(gaps.size(), 4u);
    for (const fvt::test::Op& gap : gaps) {
        int32_t baseline = gap.rect.y;
        int32_t column = gap.rect.x + gap.rect.width / 2;
        int inked = 0;
        // The gap's own line band: half a line above and below its baseline.
        for (int32_t y = baseline - step / 2; y < baseline + step / 2; ++y) {
            if (fvt::test::CanvasInk(screen, column, y, 1, 1) == 0) continue;
            ++inked;
            // Below the baseline, in the descent: well above the next line's letters.
            EXPECT_GE(y, baseline - 1) << "gap at " << gap.rect.x << "," << baseline;
            EXPECT_LT(y, baseline + step / 3) << "gap at " << gap.rect.x << "," << baseline;
        }
        EXPECT_GT(inked, 0) << "no line under the gap at " << gap.rect.x << "," << baseline;
    }
    fvt::test::DeleteContextCanvas(screen);
}

}  // namespace
