// Lists and other indented blocks drawn by the real engine: lines are drawn where the layout
// measured them, so the first line of each item starts at the list's indent like the rest, and
// every word stays inside the page however deep the indents and however long the words.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "document/markup/html_tokenizer.h"
#include "layout/page_layout.h"
#include "support/layout/context_canvas.h"
#include "support/layout/paging_fixtures.h"
#include "support/layout/recording_canvas.h"
#include "support/platform/window_fixture.h"

namespace {

using ListDrawing = fvt::test::WindowTest;
using IndentedLines = fvt::test::WindowTest;

constexpr int32_t kPageWidth = 120;

// Draws the first page of the text and returns what was drawn.
std::vector<fvt::test::Op> DrawFirstPage(const std::u16string& html, int32_t width = kPageWidth,
                                         int32_t height = 2000) {
    fvt::test::ContextCanvas* canvas = fvt::test::NewContextCanvas(width, height);
    fvt::test::SeekableDocument doc(html, 512);
    HtmlTokenizer source(true);
    EXPECT_TRUE(source.Attach(&doc, 0));
    fvt::test::FixedTraits traits(0x11570001);
    fvt::test::RecordingCanvas recorder;
    {
        PageLayout layout(&traits);
        layout.SetSource(&source);
        layout.SetGraphics(fvt::test::CanvasContext(canvas));
        layout.SetCanvas(&recorder);
        layout.Configure(LayoutSettings{});
        layout.SetViewport(Rect{0, 0, width, height});
        EXPECT_TRUE(layout.Start());
        EXPECT_TRUE(layout.GoToPage(1));
        EXPECT_TRUE(layout.PaintCurrentPage(false));
        layout.SetCanvas(nullptr);
    }
    fvt::test::DeleteContextCanvas(canvas);
    return recorder.ops;
}

void ExpectInside(const std::u16string& html) {
    std::vector<fvt::test::Op> ops = DrawFirstPage(u"<html><body>" + html + u"</body></html>");
    int words = 0;
    for (const fvt::test::Op& op : ops) {
        if (op.kind != 'T' && op.kind != 'O') continue;
        if (op.kind == 'T') ++words;
        EXPECT_GE(op.rect.x, 0) << std::string(op.text.begin(), op.text.end());
        EXPECT_LE(op.rect.x + op.rect.width, kPageWidth)
            << op.kind << " " << std::string(op.text.begin(), op.text.end());
    }
    EXPECT_GT(words, 0);
}

TEST_F(ListDrawing, EveryLineOfAnItemStartsAtTheIndentAndEndsInsideThePage) {
    constexpr int32_t kWidth = 120;
    // The layout's box font and the recorder both give 6 pixels a character.
    fvt::test::RecordingCanvas recorder;
    recorder.ops = DrawFirstPage(
        u"<html><body><p>Some text.</p>\n<ul>\n"
        u"<li>Carry a book where you will have to wait.</li>\n"
        u"<li>Make the letters as large as your eyes like them.</li>\n"
        u"</ul></body></html>",
        kWidth, 320);
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
}

TEST_F(IndentedLines, NestedListsQuotesDefinitionsAndTables) {
    ExpectInside(u"<ul><li>one two three four<ul><li>five six seven eight<ol><li>nine ten "
                 u"eleven twelve</li></ol></li></ul></li></ul>");
    ExpectInside(u"<blockquote><blockquote>deep quoted words run on here</blockquote>"
                 u"</blockquote><dl><dt>term</dt><dd>a definition that runs over lines</dd></dl>");
    ExpectInside(u"<ul><li><table border=1><tr><td>cell one text</td><td>cell two text</td>"
                 u"</tr></table></li></ul>");
}

// Indents deeper than the page give the line the whole column back.
TEST_F(IndentedLines, NestingDeeperThanThePage) {
    std::u16string lists, quotes;
    for (int i = 0; i < 12; ++i) lists += u"<ul><li>", quotes += u"<blockquote>";
    ExpectInside(lists + u"deep words");
    ExpectInside(quotes + u"deep words");
}

// A word wider than the line it opens is cut where the line ends, indented or aligned.
TEST_F(IndentedLines, WordsLongerThanTheLine) {
    ExpectInside(u"<p>abcdefghijklmnopqrstuvwxyzabcdefghijklmnop</p>");
    ExpectInside(u"<ul><li>a abcdefghijklmnopqrstuvwxyzabcdefghijklmnop b</li></ul>");
    ExpectInside(u"<blockquote>abcdefghijklmnopqrstuvwxyzabcdefghijklmnop</blockquote>");
    ExpectInside(u"<ul><li><div align=right>abcdefghijklmnopqrstuvwxyz</div></li></ul>");
}

}  // namespace
