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
#include "core/gap_array.h"
#include "layout/block_contents.h"
#include "layout/page_canvas.h"
#include "layout/page_layout.h"
#include "layout/table_widths.h"
#include "bookfiles/sorted_record_database.h"
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
            if (!layout_->GoToPosition(layout_->CurrentPageStart(), PageStepCode::kNextPage)) break;
        }
        return pages;
    }

    // Draws page `n` and gives its first table: null, after a failure, where the page cannot be
    // drawn or holds no table.
    const TableRecord* FirstTableOfPage(uint32_t n) {
        if (!layout_->GoToPage(n) || !layout_->PaintCurrentPage(false)) {
            ADD_FAILURE() << "page " << n << " cannot be drawn";
            return nullptr;
        }
        PageSlot* slot = layout_->CurrentPageSlot();
        const TableRecord* table = slot ? slot->contents.Table(0) : nullptr;
        if (!table) ADD_FAILURE() << "no table on page " << n;
        return table;
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

namespace {

// The run whose text is `word` on the current page, and the cell it was laid out in.
bool RunInCell(PageSlot& slot, const std::u16string& word, Point& at, Rect& cell) {
    BlockCursor c;
    c.Init(&slot.contents, true);
    bool inCell = false;
    for (; !c.AtEnd(); c.Next()) {
        if (c.Kind() == kItemCell) {
            cell = slot.contents.Cell(c.counts[kItemCell])->rect;
            inCell = true;
        }
        if (c.Kind() != kItemTextRun) continue;
        const TextRun* run = slot.contents.Run(c.counts[kItemTextRun]);
        if (std::u16string(run->text.Data(), static_cast<size_t>(run->text.Length())) == word) {
            at = Point{run->x, run->y};
            return inCell;
        }
    }
    return false;
}

bool Inside(const Rect& r, Point p) {
    return p.x >= r.x && p.x < r.x + r.width && p.y >= r.y && p.y <= r.y + r.height;
}

TEST_F(HtmlFileTables, ACellTallerThanThePageLosesNoText) {
    std::string html = "<html><body><p>before</p><table border=1><tr><td>";
    for (int i = 1; i <= 60; ++i) html += "Sentence " + std::to_string(i) + " is here. ";
    html += "</td></tr></table><p>after the table</p></body></html>";
    ASSERT_NO_FATAL_FAILURE(Open(html));
    std::vector<PageItems> pages = Walk();
    // The row taller than the page stays whole in the table, which is scrolled to the
    // sentences below the page; the page after it goes on after the table.
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_TRUE(HasLine(pages[0], "before"));
    EXPECT_EQ(pages[0].tables, 1);
    std::string text;
    for (const std::string& line : pages[0].lines) text += line + " ";
    size_t at = 0;
    for (int i = 1; i <= 60; ++i) {
        size_t next = text.find("Sentence " + std::to_string(i) + " is here.", at);
        ASSERT_NE(next, std::string::npos) << "sentence " << i << " is not in the table";
        at = next;
    }
    EXPECT_TRUE(HasLine(pages[1], "after the table"));
    const TableRecord* table = FirstTableOfPage(1);
    ASSERT_NE(table, nullptr);
    EXPECT_GT(table->content.height, table->box.height);
    EXPECT_TRUE(layout_->ScrollTables(Point{0, 40}));
}

// Twelve short paragraphs, then a table of one cell of `rowLines` lines, then a paragraph.
std::string LinesThenATallRow(int rowLines) {
    std::string html = "<html><body>";
    for (int i = 0; i < 12; ++i) html += "<p>Line " + std::to_string(i) + "</p>";
    html += "<table border=1><tr><td>";
    for (int i = 1; i <= rowLines; ++i) html += "Row line " + std::to_string(i) + "<br>";
    return html + "</td></tr></table><p>after</p></body></html>";
}

TEST_F(HtmlFileTables, ATableWhoseFirstRowFitsAPageStartsTheNextPage) {
    ASSERT_NO_FATAL_FAILURE(Open(LinesThenATallRow(12)));
    std::vector<PageItems> pages = Walk();
    ASSERT_GE(pages.size(), 2u);
    // Not cut at the foot of the first page: whole on the second.
    EXPECT_EQ(pages[0].tables, 0);
    EXPECT_EQ(pages[1].tables, 1);
    EXPECT_TRUE(HasLine(pages[1], "Row line 1"));
    EXPECT_TRUE(HasLine(pages[1], "Row line 12"));
    const TableRecord* table = FirstTableOfPage(2);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->content.height, table->box.height);
}

// A row taller than a page whose view at the foot of a page would be a strip of a few lines
// starts the next page, where the whole column shows it (a view most of the column high
// stays, as ACellTallerThanThePageLosesNoText shows).
TEST_F(HtmlFileTables, ARowTallerThanAPageNearAPagesFootStartsTheNextPage) {
    ASSERT_NO_FATAL_FAILURE(Open(LinesThenATallRow(60)));
    std::vector<PageItems> pages = Walk();
    ASSERT_GE(pages.size(), 2u);
    EXPECT_EQ(pages[0].tables, 0);
    EXPECT_EQ(pages[1].tables, 1);
    EXPECT_TRUE(HasLine(pages[1], "Row line 1"));
    const TableRecord* table = FirstTableOfPage(2);
    ASSERT_NE(table, nullptr);
    EXPECT_GT(table->box.height, 250);
}

// A table nested one level deeper than tables nest becomes lines of its cell: the five tables
// around it keep their rows and ends, and the text after them goes on on the same page.
TEST_F(HtmlFileTables, ATableNestedTooDeepLeavesTheTablesAroundItWhole) {
    std::string html = "<html><body>";
    for (int i = 1; i <= 5; ++i) html += "<table><tr><td>level" + std::to_string(i) + "<br>";
    html += "<table><tr><td>six a</td><td>six b</td></tr><tr><td>six c</td></tr></table>";
    for (int i = 5; i >= 1; --i)
        html += "after" + std::to_string(i) + "</td><td>side" + std::to_string(i) +
                "</td></tr></table>";
    html += "<p>after all</p></body></html>";
    ASSERT_NO_FATAL_FAILURE(Open(html));
    std::vector<PageItems> pages = Walk();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].tables, 5);
    EXPECT_EQ(pages[0].cells, 10);
    for (const char* line : {"six a", "six b", "six c", "after5", "side5", "after1", "side1",
                             "after all"})
        EXPECT_TRUE(HasLine(pages[0], line)) << line;
}

TEST_F(HtmlFileTables, BlocksInsideACellStayInTheCell) {
    ASSERT_NO_FATAL_FAILURE(Open(
        "<html><body><table border=1><tr><td><h1>Head</h1>text after heading<hr>after "
        "rule</td><td>b</td></tr></table><p>after</p></body></html>"));
    PageItems page;
    ASSERT_TRUE(Current(page));
    EXPECT_TRUE(HasLine(page, "text after heading"));
    EXPECT_TRUE(HasLine(page, "after rule"));
    EXPECT_TRUE(HasLine(page, "after"));
    PageSlot* slot = layout_->CurrentPageSlot();
    ASSERT_NE(slot, nullptr);
    for (const char16_t* word : {u"heading", u"rule"}) {
        Point p;
        Rect cell;
        ASSERT_TRUE(RunInCell(*slot, word, p, cell));
        EXPECT_TRUE(Inside(cell, p)) << "a word laid out at " << p.x << "," << p.y
                                     << " outside its cell";
    }
}

TEST_F(HtmlFileTables, ANestedTableIsLaidOutInItsCell) {
    ASSERT_NO_FATAL_FAILURE(Open(
        "<html><body><table border=1><tr><td>outer<table border=1><tr><td>inner a</td>"
        "<td>inner b</td></tr></table>outer after</td><td>right</td></tr></table>"
        "<p>after</p></body></html>"));
    PageItems page;
    ASSERT_TRUE(Current(page));
    EXPECT_EQ(page.tables, 2);
    EXPECT_EQ(page.cells, 4);
    for (const char* line : {"outer", "inner a", "inner b", "outer after", "right", "after"})
        EXPECT_TRUE(HasLine(page, line)) << line;
    PageSlot* slot = layout_->CurrentPageSlot();
    ASSERT_NE(slot, nullptr);
    Point outer, inner;
    Rect outerCell, innerCell;
    ASSERT_TRUE(RunInCell(*slot, u"outer", outer, outerCell));
    ASSERT_TRUE(RunInCell(*slot, u"a", inner, innerCell));
    EXPECT_TRUE(Inside(outerCell, inner)) << "the inner table is outside the outer cell";
    EXPECT_TRUE(Inside(innerCell, inner));
}

// Not a table, but the same file path: the items of a LOGAS element go to the log when the
// page holding it is drawn (they have no size on the page), once.
TEST_F(HtmlFileTables, LogAsItemsAreLoggedWhenTheirPageIsDrawn) {
    ASSERT_NO_FATAL_FAILURE(Open(
        "<html><body><p>Plain <span logas=\"apple pear\">fruit</span> text.</p></body></html>"));
    SortedRecordDatabase log;
    LayoutSettings settings;
    settings.log = &log;
    layout_->Configure(settings);
    EXPECT_TRUE(log.Items().empty());
    ASSERT_TRUE(layout_->PaintCurrentPage(false));
    ASSERT_EQ(log.Items().size(), 2u);
    EXPECT_EQ(log.Items()[0].name, u"apple");
    EXPECT_EQ(log.Items()[1].name, u"pear");
    ASSERT_TRUE(layout_->PaintCurrentPage(false));
    EXPECT_EQ(log.Items().size(), 2u);
}

// Items the block contents moved per line laid out, over every page of the document: a count,
// not a time, of what inserting line records into the middle of a block costs.
double MovesPerLine(const std::vector<PageItems>& pages, uint64_t before) {
    size_t lines = 0;
    for (const PageItems& page : pages) lines += page.lines.size();
    return lines ? static_cast<double>(GapArrayMoves() - before) / static_cast<double>(lines) : 1e9;
}

// An index page's layout table: a row of links beside a tall cell of entries, whose lines
// break again at the cell's final width, between items already read.
std::string TallCell(int32_t entries) {
    std::string html = "<html><body><table width=\"100%\"><tr><td colspan=\"2\"><b>Index</b>"
                       "</td></tr><tr><td valign=\"top\">";
    for (int32_t i = 0; i < 20; ++i) html += "<a href=\"#p\">pkg" + std::to_string(i) + "</a><br>";
    html += "</td><td valign=\"top\"><dl>";
    for (int32_t i = 0; i < entries; ++i)
        html += "<dt><a href=\"#m\"><code>get" + std::to_string(i) +
                "()</code></a></dt><dd>tells what the method returns and when it fails</dd>";
    return html + "</dl></td></tr></table><p>after</p></body></html>";
}

TEST_F(HtmlFileTables, ATallCellCostsTheSamePerLineWhateverItsHeight) {
    double perLine[2] = {0, 0};
    const int32_t sizes[2] = {300, 3000};
    for (int k = 0; k < 2; ++k) {
        uint64_t before = GapArrayMoves();
        ASSERT_NO_FATAL_FAILURE(Open(TallCell(sizes[k])));
        std::vector<PageItems> pages = Walk();
        bool after = false;
        for (const PageItems& page : pages) after = after || HasLine(page, "after");
        EXPECT_TRUE(after);
        perLine[k] = MovesPerLine(pages, before);
        Close();
    }
    // Moving every later item for each line made this grow with the cell's height.
    EXPECT_LT(perLine[0], 400.0);
    EXPECT_LT(perLine[1], 400.0);
    EXPECT_LT(perLine[1], 2 * perLine[0] + 2);
}

TEST_F(HtmlFileTables, DeepNestingIsCutByTheLimitsNotByTime) {
    double perLine[2] = {0, 0};
    const int32_t depths[2] = {600, 6000};
    for (int k = 0; k < 2; ++k) {
        std::string html = "<html><body>";
        for (int32_t i = 0; i < depths[k]; ++i) html += "<p><table><tr><td>";
        html += "deep text here</body></html>";
        uint64_t before = GapArrayMoves();
        ASSERT_NO_FATAL_FAILURE(Open(html));
        std::vector<PageItems> pages(1);
        ASSERT_TRUE(Current(pages[0]));
        // Tables nest as deep as the layout keeps them; deeper ones are plain items, and the
        // text at the bottom shows on the first page.
        EXPECT_GE(pages[0].tables, 1);
        EXPECT_LE(pages[0].tables, 5);
        EXPECT_TRUE(HasLine(pages[0], "deep text here"));
        perLine[k] = MovesPerLine(pages, before);
        Close();
    }
    EXPECT_LT(perLine[1], 2 * perLine[0] + 2);
}

}  // namespace
