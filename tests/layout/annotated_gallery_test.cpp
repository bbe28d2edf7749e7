// Pages drawn by the engine itself, with what the side file adds: highlights, notes and a
// bookmark, over English and French text with a bordered block and a table wider than the
// page. Written as PNGs beside the build (layout-pages/annotated-*.png) to be looked at; the
// test checks that the marks land on the page.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "bookfiles/annotation_file.h"
#include "document/markup/html_tokenizer.h"
#include "layout/page_canvas.h"
#include "layout/page_layout.h"
#include "support/document/memory_document.h"
#include "support/layout/context_canvas.h"
#include "support/layout/layout_host.h"
#include "support/platform/window_fixture.h"

namespace {

constexpr char16_t kPage[] =
    u"<html><body><h3>The harbour / Le port</h3>"
    u"<p>The evening light fell on the old harbour while the ships came home.</p>"
    u"<p>Le soir tombait sur le vieux port\u00a0; les navires rentraient \u00e0 quai.</p>"
    u"<div border=\"1\">A framed block of text, set apart from the rest of the page.</div>"
    u"<table border=\"1\" bgcolor=\"#E0E0FF\"><tr><td>Nom</td><td>Valeur</td>"
    u"<td>A rather long third column that does not fit</td><td>and a fourth one</td></tr>"
    u"<tr><td>Width</td><td>240</td><td>x</td><td>y</td></tr></table>"
    u"<p>After the table the text goes on.</p></body></html>";

uint32_t Find(const std::u16string& text, const std::u16string& word) {
    return static_cast<uint32_t>(text.find(word));
}

class AnnotatedGallery : public fvt::test::WindowTest {};

TEST_F(AnnotatedGallery, HighlightsNotesAndABookmarkAreDrawnOnThePage) {
    std::u16string text(kPage);
    MemoryDocument doc(text);
    HtmlTokenizer source(true);
    source.SetTableNeedsInline(false);  // tables laid out as a book's are
    ASSERT_TRUE(source.Attach(&doc, 0));
    fvt::test::ContextCanvas* canvas =
        fvt::test::NewContextCanvas(240, 320, std::getenv("FOLIVANT_LAYOUT_REAL_FONTS") != nullptr);
    GraphicsPageCanvas pageCanvas(fvt::test::CanvasContext(canvas));
    AnnotationFile* notes = new AnnotationFile;
    ASSERT_EQ(notes->OpenOrCreate("\\harbour.prc", "Harbour", 4, 0, 1, 1), 0);
    uint32_t light = Find(text, u"evening light");
    uint32_t port = Find(text, u"vieux port");
    uint32_t ships = Find(text, u"ships");
    ASSERT_GE(notes->AddBookmark(AnnotationFile::kHighlight, light, light + 13, 0, 0, 0, 0), 0);
    ASSERT_GE(notes->AddBookmark(AnnotationFile::kHighlight, port, port + 10, 0, 0, 2, 0), 0);
    ASSERT_GE(notes->AddBookmark(AnnotationFile::kNote, ships, ships + 15, 0, 0, 0, 0), 0);
    ASSERT_GE(notes->AddBookmark(AnnotationFile::kBookmark, light, light + 1, 0, 0, 0, 0), 0);
    {
        PageLayout layout;
        layout.SetSource(&source);
        layout.SetGraphics(fvt::test::CanvasContext(canvas));
        layout.Configure(LayoutSettings{});
        layout.SetCanvas(&pageCanvas);
        layout.SetViewport(Rect{0, 0, 240, 320});
        layout.SetMargins(8, 8, 8, 8, true);
        layout.SetAnnotations(notes);
        ASSERT_TRUE(layout.Start());
        ASSERT_TRUE(layout.GoToPage(1));
        ASSERT_TRUE(layout.PaintCurrentPage(false));
        std::string path = fvt::test::PagesFolder() + "/annotated-1.png";
        EXPECT_TRUE(fvt::test::SaveCanvasPng(canvas, path)) << path;
        // The bookmark's corner and the note's mark are there to be tapped.
        AreaArray* marks = nullptr;
        ASSERT_TRUE(layout.GetCurrentBlockMarks(marks));
        EXPECT_GE(marks->Count(), 2);
        layout.SetAnnotations(nullptr);
        layout.SetCanvas(nullptr);
    }
    notes->Release();
    fvt::test::DeleteContextCanvas(canvas);
}

}  // namespace
