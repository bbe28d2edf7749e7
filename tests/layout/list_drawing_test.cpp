// A list drawn by the real engine: its lines are drawn where the layout measured them, so the
// first line of each item starts at the list's indent like the rest and stays inside the page.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "document/markup/html_tokenizer.h"
#include "layout/page_layout.h"
#include "support/layout/context_canvas.h"
#include "support/layout/paging_fixtures.h"
#include "support/layout/recording_canvas.h"
#include "support/platform/window_fixture.h"

namespace {

using ListDrawing = fvt::test::WindowTest;

TEST_F(ListDrawing, EveryLineOfAnItemStartsAtTheIndentAndEndsInsideThePage) {
    constexpr int32_t kWidth = 120;
    fvt::test::ContextCanvas* canvas = fvt::test::NewContextCanvas(kWidth, 320);
    // The layout's box font and the recorder both give 6 pixels a character.
    fvt::test::SeekableDocument doc(
        u"<html><body><p>Some text.</p>\n<ul>\n"
        u"<li>Carry a book where you will have to wait.</li>\n"
        u"<li>Make the letters as large as your eyes like them.</li>\n"
        u"</ul></body></html>",
        512);
    HtmlTokenizer source(true);
    ASSERT_TRUE(source.Attach(&doc, 0));
    fvt::test::FixedTraits traits(0x11570001);
    fvt::test::RecordingCanvas recorder;
    {
        PageLayout layout(&traits);
        layout.SetSource(&source);
        layout.SetGraphics(fvt::test::CanvasContext(canvas));
        layout.SetCanvas(&recorder);
        layout.Configure(LayoutSettings{});
        layout.SetViewport(Rect{0, 0, kWidth, 320});
        ASSERT_TRUE(layout.Start());
        ASSERT_TRUE(layout.GoToPage(1));
        ASSERT_TRUE(layout.PaintCurrentPage(false));
        layout.SetCanvas(nullptr);
    }
    // The leftmost word of each line, by baseline.
    std::map<int32_t, int32_t> lineStarts;
    for (const fvt::test::Op& word : recorder.Of('T')) {
        EXPECT_LE(word.rect.x + word.rect.width, kWidth)
            << std::string(word.text.begin(), word.text.end());
        auto [at, fresh] = lineStarts.emplace(word.rect.y, word.rect.x);
        if (!fresh && word.rect.x < at->second) at->second = word.rect.x;
    }
    ASSERT_GE(lineStarts.size(), 5u);
    auto line = lineStarts.begin();
    EXPECT_EQ(line->second, 0);  // the paragraph
    int32_t indent = (++line)->second;
    EXPECT_GT(indent, 0);
    for (; line != lineStarts.end(); ++line) EXPECT_EQ(line->second, indent);
    fvt::test::DeleteContextCanvas(canvas);
}

}  // namespace
