// Indented blocks drawn by the real engine on a narrow page: every drawn word and picture
// stays inside the page, however deep the indents and however long the words.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/markup/html_tokenizer.h"
#include "layout/page_layout.h"
#include "support/layout/context_canvas.h"
#include "support/layout/paging_fixtures.h"
#include "support/layout/recording_canvas.h"
#include "support/platform/window_fixture.h"

namespace {

using IndentedLines = fvt::test::WindowTest;

constexpr int32_t kWidth = 120;
constexpr int32_t kHeight = 2000;

// Draws the first page of the text and returns what was drawn.
std::vector<fvt::test::Op> DrawFirstPage(const std::u16string& html) {
    fvt::test::ContextCanvas* canvas = fvt::test::NewContextCanvas(kWidth, kHeight);
    fvt::test::SeekableDocument doc(html, 512);
    HtmlTokenizer source(true);
    EXPECT_TRUE(source.Attach(&doc, 0));
    fvt::test::FixedTraits traits(0x11570002);
    fvt::test::RecordingCanvas recorder;
    {
        PageLayout layout(&traits);
        layout.SetSource(&source);
        layout.SetGraphics(fvt::test::CanvasContext(canvas));
        layout.SetCanvas(&recorder);
        layout.Configure(LayoutSettings{});
        layout.SetViewport(Rect{0, 0, kWidth, kHeight});
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
        EXPECT_LE(op.rect.x + op.rect.width, kWidth)
            << op.kind << " " << std::string(op.text.begin(), op.text.end());
    }
    EXPECT_GT(words, 0);
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
