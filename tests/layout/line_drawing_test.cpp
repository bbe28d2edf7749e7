// A line's words of one look go to the graphics context in one call: the page shows the pixels
// of drawing them word by word, whatever the line holds (justified gaps, underlines between
// words, colours and backgrounds, sizes, letters leaning over the next word, soft hyphens, a
// word broken at a hyphen, highlights and notes from the side file).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "bookfiles/annotation_file.h"
#include "document/markup/html_tokenizer.h"
#include "layout/page_canvas.h"
#include "layout/page_layout.h"
#include "support/document/memory_document.h"
#include "support/layout/context_canvas.h"
#include "support/layout/golden_canvas.h"
#include "support/layout/layout_host.h"
#include "support/platform/window_fixture.h"

namespace {

constexpr int32_t kWidth = 240;
constexpr int32_t kHeight = 320;

// A canvas handing each line's words on in one call (as the program's does), or, word by word,
// one call each; either way it counts the words of the largest call.
class CountingCanvas : public GraphicsPageCanvas {
public:
    CountingCanvas(GraphicsContext* gc, bool wordByWord)
        : GraphicsPageCanvas(gc), wordByWord_(wordByWord) {}
    void DrawTexts(const CanvasText* texts, int32_t count, uint32_t colour) override {
        if (count > mostWords) mostWords = count;
        if (wordByWord_)
            PageCanvas::DrawTexts(texts, count, colour);
        else
            GraphicsPageCanvas::DrawTexts(texts, count, colour);
    }
    int32_t mostWords = 0;

private:
    bool wordByWord_;
};

constexpr char16_t kPage[] =
    u"<html><body bgcolor=\"#FFFFF0\">"
    u"<p align=\"justify\">A justified paragraph whose words spread over the line, the "
    u"shares of the free width carried from gap to gap, <u>an underlined stretch of words "
    u"that wraps onto the next line</u> and <font color=\"#C00000\">red words</font> then "
    u"<span style=\"background-color:#CCFFCC\">words on a green ground</span>, <i>fjords "
    u"leaning over</i> <b>AVAV To Wa</b> <s>struck words</s> in<sub>low</sub> "
    u"and<sup>high</sup> text.</p>"
    u"<p>Some <font size=\"+2\">larger words</font> and soft hyph&shy;ens in "
    u"incomprehensibilities internationalization characteristically.</p>"
    u"<table border=\"1\" bgcolor=\"#EEEEFF\"><tr><td>a cell of words</td>"
    u"<td><font color=\"blue\">blue cell words</font></td></tr></table>"
    u"<p align=\"center\">centred words on a line</p><p align=\"right\">words to the right</p>"
    u"<ul><li>an item with <a href=\"#x\">a link in it</a> here</li></ul></body></html>";

// The first page of `source` drawn through `canvas`, with the annotations of `notes` (if any).
void PaintFirstPage(GraphicsContext* gc, PageCanvas* canvas, HtmlTokenizer& source,
                    AnnotationFile* notes) {
    PageLayout layout;
    layout.SetSource(&source);
    layout.SetGraphics(gc);
    layout.Configure(LayoutSettings{});
    layout.SetCanvas(canvas);
    layout.SetViewport(Rect{0, 0, kWidth, kHeight});
    layout.SetMargins(8, 8, 8, 8, true);
    layout.SetAnnotations(notes);
    ASSERT_TRUE(layout.Start());
    ASSERT_TRUE(layout.GoToPage(1));
    ASSERT_TRUE(layout.PaintCurrentPage(false));
    layout.SetAnnotations(nullptr);
    layout.SetCanvas(nullptr);
}

// The first page drawn through `canvas`, with a highlight, a coloured highlight and a note
// from a side file of its own (`name`).
void PaintPage(GraphicsContext* gc, PageCanvas* canvas, const std::string& name) {
    std::u16string text(kPage);
    MemoryDocument doc(text);
    HtmlTokenizer source(true);
    ASSERT_TRUE(source.Attach(&doc, 0));
    AnnotationFile* notes = new AnnotationFile;
    ASSERT_EQ(notes->OpenOrCreate("\\" + name + ".prc", "Lines", 4, 0, 1, 1), 0);
    auto at = [&](const char16_t* word) { return static_cast<uint32_t>(text.find(word)); };
    ASSERT_GE(notes->AddBookmark(AnnotationFile::kHighlight, at(u"paragraph"),
                                 at(u"paragraph") + 20, 0, 0, 0, 0),
              0);
    ASSERT_GE(
        notes->AddBookmark(AnnotationFile::kHighlight, at(u"then"), at(u"then") + 12, 0, 0, 2, 0),
        0);
    ASSERT_GE(
        notes->AddBookmark(AnnotationFile::kNote, at(u"fjords"), at(u"fjords") + 14, 0, 0, 0, 0),
        0);
    PaintFirstPage(gc, canvas, source, notes);
    notes->Release();
}

class LineDrawing : public fvt::test::WindowTest {};

// The page as the painter drew it a word at a time, kept as a golden (box font): what goes to
// the canvas in one call, and where a line's run of one look is cut (a new font or colour, an
// underline, a note's mark, a soft hyphen), must still give these pixels.
TEST_F(LineDrawing, AStyledPageShowsWhatWordByWordDrawingShowed) {
    fvt::test::GoldenCanvas canvas(kWidth, kHeight);
    PaintPage(canvas.Context(), canvas.Canvas(), "golden");
    EXPECT_EQ(canvas.Depth(), 0);
    std::string message;
    EXPECT_TRUE(canvas.Matches("lines_of_words", &message)) << message;
}

TEST_F(LineDrawing, ALinesWordsInOneCallShowWhatWordByWordShows) {
    for (bool realFonts : {true, false}) {
        fvt::test::ContextCanvas* joined = fvt::test::NewContextCanvas(kWidth, kHeight, realFonts);
        fvt::test::ContextCanvas* single = fvt::test::NewContextCanvas(kWidth, kHeight, realFonts);
        CountingCanvas lines(fvt::test::CanvasContext(joined), false);
        CountingCanvas words(fvt::test::CanvasContext(single), true);
        const std::string fonts = realFonts ? "real" : "box";
        PaintPage(fvt::test::CanvasContext(joined), &lines, "lines-" + fonts);
        PaintPage(fvt::test::CanvasContext(single), &words, "words-" + fonts);
        fvt::test::SaveCanvasPng(joined, fvt::test::PagesFolder() + "/lines-in-one-call" +
                                             (realFonts ? "" : "-box") + ".png");
        fvt::test::SaveCanvasPng(single, fvt::test::PagesFolder() + "/lines-word-by-word" +
                                             (realFonts ? "" : "-box") + ".png");
        // Lines of several words went in one call each.
        EXPECT_GE(lines.mostWords, 5);
        int32_t differing = 0, inked = 0;
        for (int32_t y = 0; y < kHeight; ++y)
            for (int32_t x = 0; x < kWidth; ++x) {
                const unsigned pixel = fvt::test::CanvasPixel(joined, x, y);
                differing += pixel != fvt::test::CanvasPixel(single, x, y);
                inked += pixel != 0xF0FFFFu && pixel != 0xFFFFFFu;
            }
        EXPECT_EQ(differing, 0) << (realFonts ? "system fonts" : "box font");
        EXPECT_GT(inked, kWidth * kHeight / 20);  // the page shows its words
        fvt::test::DeleteContextCanvas(joined);
        fvt::test::DeleteContextCanvas(single);
    }
}

// Without a side file a line is walked once unless something on it is filled: a ground given
// by a style change in the middle of a line (after plain words, in a justified paragraph and in
// a left-aligned one) is still filled.
TEST_F(LineDrawing, AGroundSetInTheMiddleOfALineIsFilled) {
    constexpr unsigned kGreen = 0x00C000u;  // the same in either byte order
    for (const char16_t* align : {u"justify", u"left"}) {
        std::u16string text = u"<html><body><p align=\"";
        text += align;
        text +=
            u"\">Plain then <font bgcolor=\"#00C000\">"
            u"green ground</font> and plain words end the line.</p></body></html>";
        MemoryDocument doc(text);
        HtmlTokenizer source(true);
        ASSERT_TRUE(source.Attach(&doc, 0));
        fvt::test::ContextCanvas* page = fvt::test::NewContextCanvas(kWidth, kHeight, false);
        GraphicsPageCanvas canvas(fvt::test::CanvasContext(page));
        PaintFirstPage(fvt::test::CanvasContext(page), &canvas, source, nullptr);
        // The ground runs unbroken from its first word to its last, over the gap between them.
        int32_t green = 0, bare = 0;
        for (int32_t y = 0; y < kHeight; ++y) {
            int32_t first = kWidth, last = -1;
            for (int32_t x = 0; x < kWidth; ++x)
                if (fvt::test::CanvasPixel(page, x, y) == kGreen) {
                    first = std::min(first, x);
                    last = x;
                    ++green;
                }
            for (int32_t x = first; x < last; ++x)
                bare += fvt::test::CanvasPixel(page, x, y) == 0xFFFFFFu;
        }
        const char* aligned = align[0] == u'j' ? "justified" : "left-aligned";
        EXPECT_GT(green, 200) << aligned;
        EXPECT_EQ(bare, 0) << aligned;
        fvt::test::DeleteContextCanvas(page);
    }
}

}  // namespace
