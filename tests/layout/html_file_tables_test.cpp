// Tables in HTML files, as the reader opens them: the file's resource makes the token source,
// a real engine lays the pages out and draws them. A plain TABLE gives table, row and cell
// items; hostile markup (rows and cells out of place, huge spans, no ends) still gives pages
// that tile the text and end.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "document/location/location.h"
#include "document/markup/token_source.h"
#include "document/sources/layout_services.h"
#include "document/sources/text_file_resource.h"
#include "layout/block_contents.h"
#include "layout/page_canvas.h"
#include "layout/page_layout.h"
#include "layout/table_widths.h"
#include "support/layout/context_canvas.h"
#include "support/layout/layout_host.h"
#include "support/platform/window_fixture.h"

namespace {

// Real engines, each owning the traits it was made with (as the reader's do).
class OwningLayout final : public PageLayout {
public:
    explicit OwningLayout(BookLayoutTraits* traits) : PageLayout(traits), traits_(traits) {}

private:
    std::unique_ptr<BookLayoutTraits> traits_;
};

class Engines : public LayoutEngineFactory {
public:
    PageLayout* CreatePageLayout(BookLayoutTraits* traits) override {
        return new OwningLayout(traits);
    }
    void SetSource(PageLayout* layout, TokenSource* source) override { layout->SetSource(source); }
    void SetPlainTextOption(PageLayout*, bool) override {}
    void DestroyPageLayout(PageLayout* layout) override {
        layout->Clear();
        delete layout;
    }
    Searcher* CreateSearcher(DocumentSource*, bool) override { return nullptr; }
};

class OwnedCanvas final : public GraphicsPageCanvas {
public:
    using GraphicsPageCanvas::GraphicsPageCanvas;
};

// What one laid-out page held.
struct PageItems {
    uint32_t start = 0;
    int32_t tables = 0;
    int32_t rows = 0;
    int32_t cells = 0;
    std::vector<std::string> lines;
};

class HtmlFileTables : public fvt::test::WindowTest {
protected:
    void TearDown() override {
        Close();
        fvt::test::WindowTest::TearDown();
    }

    // Opens the bytes as an HTML file of the device, laid out on a 240 x 320 page.
    void Open(const std::string& html) {
        device_.WriteHost("t.html", html);
        Location l;
        ASSERT_TRUE(l.Parse(String(u"\\t.html"), false));
        LayoutEngineFactory::Install(&engines_);
        resource_ = TextFileResource::Create(l, 1, 1252, 65002);
        ASSERT_NE(resource_, nullptr);
        ASSERT_TRUE(resource_->CreateLayout(source_, &layout_));
        canvas_ = fvt::test::NewContextCanvas(240, 320);
        pageCanvas_ = std::make_unique<OwnedCanvas>(fvt::test::CanvasContext(canvas_));
        layout_->SetGraphics(fvt::test::CanvasContext(canvas_));
        layout_->Configure(LayoutSettings{});
        layout_->SetCanvas(pageCanvas_.get());
        layout_->SetViewport(Rect{0, 0, 240, 320});
        layout_->SetMargins(8, 8, 8, 8, true);
        ASSERT_TRUE(layout_->Start());
        ASSERT_TRUE(layout_->GoToPage(1));
    }
    void Close() {
        if (layout_) layout_->SetCanvas(nullptr);
        if (resource_) {
            resource_->DestroyLayout(source_, layout_);
            resource_->Release();
        }
        resource_ = nullptr;
        layout_ = nullptr;
        pageCanvas_.reset();
        if (canvas_) fvt::test::DeleteContextCanvas(canvas_);
        canvas_ = nullptr;
        LayoutEngineFactory::Install(nullptr);
    }

    // Draws the current page and says what it holds.
    bool Current(PageItems& out) {
        fvt::test::ClearCanvas(canvas_);
        if (!layout_->PaintCurrentPage(false)) return false;
        PageSlot* slot = layout_->CurrentPageSlot();
        if (!slot) return false;
        out.start = layout_->CurrentPageStart();
        out.tables = slot->contents.KindCount(kItemTable);
        out.rows = slot->contents.KindCount(kItemRow);
        out.cells = slot->contents.KindCount(kItemCell);
        out.lines = fvt::test::LineTexts(slot->contents);
        // Spans from the markup are held within the widths' bounds.
        for (int32_t i = 0; i < out.cells; ++i) {
            const CellRecord* cell = slot->contents.Cell(i);
            if (!cell) return false;
            EXPECT_GE(cell->colSpan, 1);
            EXPECT_LE(cell->colSpan, TableWidths::kMaxColSpan);
            EXPECT_GE(cell->rowSpan, 1);
            EXPECT_LE(cell->rowSpan, TableWidths::kMaxRowSpan);
        }
        return true;
    }

    // Every page from the first, each starting after the one before.
    std::vector<PageItems> Walk() {
        std::vector<PageItems> pages;
        for (int guard = 0; guard < 500; ++guard) {
            PageItems page;
            EXPECT_TRUE(Current(page));
            if (!pages.empty()) {
                EXPECT_GT(page.start, pages.back().start);
            }
            pages.push_back(page);
            EXPECT_TRUE(layout_->CheckInvariants());
            if (!layout_->GoToPosition(layout_->CurrentPageStart(), 2)) break;
        }
        return pages;
    }

    Engines engines_;
    TextFileResource* resource_ = nullptr;
    TokenSource* source_ = nullptr;
    PageLayout* layout_ = nullptr;
    fvt::test::ContextCanvas* canvas_ = nullptr;
    std::unique_ptr<OwnedCanvas> pageCanvas_;
};

bool HasLine(const PageItems& page, const std::string& text) {
    for (const std::string& line : page.lines)
        if (line == text) return true;
    return false;
}

TEST_F(HtmlFileTables, APlainTableIsLaidOutAsATable) {
    ASSERT_NO_FATAL_FAILURE(Open(
        "<html><body><p>Tides.</p><table border=\"1\"><tr><th>Day</th><th>High</th></tr>"
        "<tr><td>Monday</td><td>06:12</td></tr><tr><td colspan=\"2\">spring</td></tr></table>"
        "<p>After.</p></body></html>"));
    PageItems page;
    ASSERT_TRUE(Current(page));
    EXPECT_EQ(page.tables, 1);
    EXPECT_EQ(page.rows, 3);
    EXPECT_EQ(page.cells, 5);
    // Each cell's text is a line of its own, not run into its neighbours'.
    EXPECT_TRUE(HasLine(page, "Monday"));
    EXPECT_TRUE(HasLine(page, "06:12"));
    EXPECT_TRUE(HasLine(page, "After."));
    for (const std::string& line : page.lines) EXPECT_EQ(line.find("Monday06"), std::string::npos);
}

TEST_F(HtmlFileTables, HostileTablesStillGiveEndingPages) {
    std::string spans = "<html><body><table><tr><td colspan=\"4000000000\" rowspan=\"99999999\">"
                        "huge</td><td colspan=\"0\">zero</td></tr>";
    for (int i = 0; i < 40; ++i)
        spans += "<tr><td>row " + std::to_string(i) + "<td colspan=\"1001\">x";
    spans += "</body></html>";
    const std::string cases[] = {
        // Rows and cells with no table, cells with no row, ends with no start.
        "<html><body><tr><td>a</td></tr><td>b</td></tr></td></table><p>c</p></body></html>",
        // Unclosed everything, tables in cells, a table inside a table's row.
        "<html><body><table><tr><td><table><tr><td>d<table><tr><td>e<tr><table><td>f",
        // Huge and zero spans over many rows, then text after the file's end tags.
        spans,
        // A table that is only its start, and one whose only row is empty.
        "<html><body><table></table><table><tr></tr></table><p>g</p></body></html>",
    };
    for (const std::string& html : cases) {
        SCOPED_TRACE(html.substr(0, 60));
        ASSERT_NO_FATAL_FAILURE(Open(html));
        std::vector<PageItems> pages = Walk();
        EXPECT_LT(pages.size(), 500u);
        int32_t tables = 0, cells = 0;
        for (const PageItems& page : pages) {
            tables += page.tables;
            cells += page.cells;
        }
        // A TABLE with cells is laid out as one; stray rows and cells, and tables without
        // cells, make none.
        bool expected = html.find("<table") != std::string::npos &&
                        html.find("<td") != std::string::npos;
        EXPECT_EQ(tables > 0, expected);
        EXPECT_EQ(cells > 0, expected);
        Close();
    }
}

}  // namespace
