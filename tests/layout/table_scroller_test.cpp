// A table wider than the page drawn by the engine on a real graphics context: the program's
// arrow icons at the sides where more of it lies, and the red frame of the selected table.
// Written as PNGs beside the build (layout-pages/table-scroller-*.png) to be looked at.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "document/markup/html_tokenizer.h"
#include "document/markup/link_target.h"
#include "graphics/widgets/area.h"
#include "layout/block_contents.h"
#include "layout/page_canvas.h"
#include "layout/page_layout.h"
#include "media/image/icon_image.h"
#include "support/document/memory_document.h"
#include "support/layout/context_canvas.h"
#include "support/layout/layout_host.h"
#include "support/platform/window_fixture.h"

namespace {

using fvt::test::CanvasCount;
using fvt::test::CanvasInk;

constexpr char16_t kPage[] =
    u"<html><body><p>Tides of the week.</p>"
    u"<table border=\"1\"><tr><td>Wednesday</td><td>06:12-18:40</td><td>06:58-19:21</td>"
    u"<td>springtide</td><td>northwesterly</td></tr>"
    u"<tr><td>Thursday</td><td>07:40-20:02</td><td>08:15-20:44</td><td>neaptide</td>"
    u"<td>southwesterly</td></tr></table><p>Then the text goes on.</p></body></html>";

// A canvas of its own type, so that the fixture may own one.
class OwnedCanvas final : public GraphicsPageCanvas {
public:
    using GraphicsPageCanvas::GraphicsPageCanvas;
};

TEST(TableIconsOnACanvas, TheArrowsComeInTheScreensSize) {
    GraphicsPageCanvas canvas(nullptr);
    Size size;
    EXPECT_FALSE(canvas.IconSize(222, size));  // no host, no icons
    canvas.SetIconHost(IconHost{nullptr, 96});
    ASSERT_TRUE(canvas.IconSize(222, size));
    EXPECT_EQ(size.width, 16);
    ASSERT_TRUE(canvas.IconSize(223, size));
    EXPECT_EQ(size.height, 16);
    EXPECT_FALSE(canvas.IconSize(224, size));  // only the two arrows
    canvas.SetIconHost(IconHost{nullptr, 192});
    ASSERT_TRUE(canvas.IconSize(223, size));
    EXPECT_EQ(size.width, 32);
}

class TableScroller : public fvt::test::WindowTest {
protected:
    void SetUp() override {
        fvt::test::WindowTest::SetUp();
        text_ = Page();
        doc_ = std::make_unique<MemoryDocument>(text_);
        source_.SetTableNeedsInline(false);
        ASSERT_TRUE(source_.Attach(doc_.get(), 0));
        canvas_ = fvt::test::NewContextCanvas(240, 320,
                                              std::getenv("FOLIVANT_LAYOUT_REAL_FONTS") != nullptr);
        pageCanvas_.emplace(fvt::test::CanvasContext(canvas_));
        layout_.SetSource(&source_);
        layout_.SetGraphics(fvt::test::CanvasContext(canvas_));
        layout_.Configure(Settings());
        layout_.SetCanvas(&*pageCanvas_);
        layout_.SetViewport(Rect{0, 0, 240, 320});
        layout_.SetMargins(8, 8, 8, 8, true);
        ASSERT_TRUE(layout_.Start());
        ASSERT_TRUE(layout_.GoToPage(1));
    }
    void TearDown() override {
        layout_.SetCanvas(nullptr);
        pageCanvas_.reset();
        fvt::test::DeleteContextCanvas(canvas_);
        fvt::test::WindowTest::TearDown();
    }
    virtual std::u16string Page() const { return kPage; }
    virtual LayoutSettings Settings() const { return LayoutSettings{}; }
    // Paints the page afresh and gives the table's view and its scroll entry.
    void Paint(Rect& view, TableScrollEntry*& entry) {
        fvt::test::ClearCanvas(canvas_);
        ASSERT_TRUE(layout_.PaintCurrentPage(false));
        PageSlot* slot = layout_.CurrentPageSlot();
        ASSERT_NE(slot, nullptr);
        const TableRecord* table = slot->contents.Table(0);
        ASSERT_NE(table, nullptr);
        ASSERT_GT(table->content.width, table->box.width);
        view = table->box;
        ASSERT_EQ(slot->record->tables.size(), 1u);
        entry = &slot->record->tables[0];
    }
    void Save(const char* name) {
        std::string path = fvt::test::PagesFolder() + "/table-scroller-" + name + ".png";
        EXPECT_TRUE(fvt::test::SaveCanvasPng(canvas_, path)) << path;
    }

    std::u16string text_;
    std::unique_ptr<MemoryDocument> doc_;
    HtmlTokenizer source_{true};
    fvt::test::ContextCanvas* canvas_ = nullptr;
    std::optional<OwnedCanvas> pageCanvas_;
    PageLayout layout_;
};

TEST_F(TableScroller, ArrowsAppearWhereMoreOfTheTableLies) {
    Rect view;
    TableScrollEntry* entry = nullptr;
    ASSERT_NO_FATAL_FAILURE(Paint(view, entry));
    int plainLeft = CanvasInk(canvas_, view.x, view.y, 15, view.height);

    pageCanvas_->SetIconHost(IconHost{nullptr, 96});
    ASSERT_NO_FATAL_FAILURE(Paint(view, entry));
    Save("start");
    // With the 16-pixel arrows and 8-pixel margins the cells show in a view 10 pixels in from
    // each side of the table's box; the arrows sit in the columns beside it, reaching into the
    // margins, and never over the cells' text.
    const Rect box = view;
    const Rect inner{box.x + 10, box.y, box.width - 20, box.height};
    const Rect leftColumn{inner.x - 18, box.y, 18, box.height};
    const Rect rightColumn{inner.x + inner.width, box.y, 18, box.height};
    auto ink = [&](const Rect& r) { return CanvasInk(canvas_, r.x, r.y, r.width, r.height); };
    // At the start the right arrow shows, and the left column is empty: the cells' text is
    // cut to the view, where it used to run under the arrows (plainLeft).
    EXPECT_GT(ink(rightColumn), 0);
    EXPECT_EQ(ink(leftColumn), 0);
    EXPECT_GT(plainLeft, 0);
    const int textAtStart = ink(Rect{inner.x, inner.y, 20, inner.height});
    EXPECT_GT(textAtStart, 0);

    entry->x = 40;
    ASSERT_NO_FATAL_FAILURE(Paint(view, entry));
    Save("scrolled");
    ASSERT_EQ(entry->x, 40);
    EXPECT_GT(ink(leftColumn), 0);
    // Icons stay inside their columns: nothing is drawn past the page's edges.
    EXPECT_EQ(leftColumn.x, 0);
    EXPECT_EQ(rightColumn.x + rightColumn.width, 240);
}

TEST_F(TableScroller, TheSelectedTableIsFramedInRed) {
    Rect view;
    TableScrollEntry* entry = nullptr;
    ASSERT_NO_FATAL_FAILURE(Paint(view, entry));
    constexpr unsigned kRed = RGB(255, 0, 0);
    EXPECT_EQ(CanvasCount(canvas_, 0, 0, 240, 320, kRed), 0);
    entry->selected = 1;
    ASSERT_NO_FATAL_FAILURE(Paint(view, entry));
    Save("selected");
    EXPECT_EQ(CanvasCount(canvas_, view.x, view.y, view.width, 1, kRed), view.width);
    EXPECT_EQ(CanvasCount(canvas_, view.x, view.y, 1, view.height, kRed), view.height);
    EXPECT_EQ(CanvasCount(canvas_, view.x + view.width - 1, view.y, 1, view.height, kRed),
              view.height);
}

// Links in the first and the last cell of a wide table: scrolling moves one out of the view
// and the other into it.
class LinkedTableScroller : public TableScroller {
protected:
    std::u16string Page() const override {
        return u"<html><body><p>Before the table.</p>"
               u"<table border=\"1\"><tr><td><a href=\"first.html\">Wednesday</a></td>"
               u"<td>06:12-18:40</td><td>06:58-19:21</td><td>springtide</td>"
               u"<td><a href=\"last.html\">northwesterly</a></td></tr></table>"
               u"<p><a href=\"after.html\">After</a> the table.</p></body></html>";
    }
    // The bounds of each address link's mark, by its target's first letter.
    std::vector<std::pair<char16_t, Rect>> LinkMarks() {
        std::vector<std::pair<char16_t, Rect>> out;
        PageSlot* slot = layout_.CurrentPageSlot();
        for (int32_t i = 0; slot && i < slot->marks.Count(); ++i) {
            Area* area = slot->marks.At(i);
            if (!area || !area->link || area->link->kind != kLinkAddress) continue;
            Rect r;
            area->GetBounds(r);
            const String& target = area->link->text;
            out.emplace_back(target.Length() > 0 ? target[0] : u'?', r);
        }
        return out;
    }
    static int Count(const std::vector<std::pair<char16_t, Rect>>& marks, char16_t which) {
        int n = 0;
        for (const auto& m : marks) n += m.first == which;
        return n;
    }
};

TEST_F(LinkedTableScroller, MarksStayInsideTheViewOfAScrolledTable) {
    Rect view;
    TableScrollEntry* entry = nullptr;
    ASSERT_NO_FATAL_FAILURE(Paint(view, entry));
    auto marks = LinkMarks();
    // At the start the first cell's link shows; the last cell lies beyond the view.
    EXPECT_EQ(Count(marks, u'f'), 1);
    EXPECT_EQ(Count(marks, u'l'), 0);
    // The link after the table is read once, on the page after the table's last view.
    EXPECT_EQ(Count(marks, u'a'), 0);
    for (const auto& m : marks) {
        if (m.first != u'a') {
            EXPECT_TRUE(Rect::ContainsRect(view, m.second));
        }
    }

    // Scrolled one step: the first link is cut at the view's left edge, not left of it.
    entry->x = 40;
    layout_.ClearCurrentBlockMarks();
    ASSERT_NO_FATAL_FAILURE(Paint(view, entry));
    marks = LinkMarks();
    for (const auto& m : marks) {
        if (m.first == u'a') continue;
        EXPECT_TRUE(Rect::ContainsRect(view, m.second))
            << char(m.first) << " at x " << m.second.x << " in a view from " << view.x;
    }

    // Scrolled to the far end: the first link is gone, the last one shows within the view, and
    // the link after the table is still not on this page.
    TableRecord* table = layout_.CurrentPageSlot()->contents.Table(0);
    ASSERT_NE(table, nullptr);
    entry->x = table->content.width - table->box.width;
    layout_.ClearCurrentBlockMarks();
    ASSERT_NO_FATAL_FAILURE(Paint(view, entry));
    marks = LinkMarks();
    EXPECT_EQ(Count(marks, u'f'), 0);
    EXPECT_EQ(Count(marks, u'l'), 1);
    EXPECT_EQ(Count(marks, u'a'), 0);
    for (const auto& m : marks) {
        if (m.first == u'a') {
            EXPECT_GT(m.second.y, view.y + view.height - 1);
            continue;
        }
        EXPECT_TRUE(Rect::ContainsRect(view, m.second))
            << char(m.first) << " at x " << m.second.x << " in a view from " << view.x;
    }
}

// A table whose only row is taller than the page: it scrolls down, and the marks of its links
// go with the drawn text.
class TallTableScroller : public LinkedTableScroller {
protected:
    std::u16string Page() const override {
        std::u16string page = u"<html><body><table border=\"1\"><tr><td>one<br>two<br>three<br>"
                              u"<a href=\"first.html\">Top</a>";
        for (int i = 0; i < 40; ++i) page += u"<br>line";
        return page + u"<br><a href=\"last.html\">Bottom</a></td></tr></table></body></html>";
    }
};

TEST_F(TallTableScroller, MarksFollowTheTableDown) {
    ASSERT_TRUE(layout_.PaintCurrentPage(false));
    PageSlot* slot = layout_.CurrentPageSlot();
    ASSERT_NE(slot, nullptr);
    TableRecord* table = slot->contents.Table(0);
    ASSERT_NE(table, nullptr);
    ASSERT_GT(table->content.height, table->box.height);
    ASSERT_EQ(slot->record->tables.size(), 1u);
    Rect view = table->box;
    auto marks = LinkMarks();
    ASSERT_EQ(marks.size(), 1u);
    ASSERT_EQ(marks[0].first, u'f');
    Rect top = marks[0].second;

    slot->record->tables[0].y = 20;
    layout_.ClearCurrentBlockMarks();
    ASSERT_TRUE(layout_.PaintCurrentPage(false));
    marks = LinkMarks();
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0].second.y, top.y - 20);
    EXPECT_EQ(marks[0].second.x, top.x);

    slot = layout_.CurrentPageSlot();
    slot->record->tables[0].y = table->content.height - table->box.height;
    layout_.ClearCurrentBlockMarks();
    ASSERT_TRUE(layout_.PaintCurrentPage(false));
    marks = LinkMarks();
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0].first, u'l');
    EXPECT_TRUE(Rect::ContainsRect(view, marks[0].second));
}

}  // namespace

namespace {

// A tall table's page turns: forward until its end, then back to its top, every line of the
// cell shown whole on some turn each way, each turn moving on and showing again at most one
// line of the turn before (the last one too).
TEST_F(TallTableScroller, PageTurnsShowEveryLineOfTheCellForwardAndBack) {
    ASSERT_TRUE(layout_.PaintCurrentPage(false));
    PageSlot* slot = layout_.CurrentPageSlot();
    ASSERT_NE(slot, nullptr);
    const TableRecord* table = slot->contents.Table(0);
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(slot->record->tables.size(), 1u);
    std::vector<const LineRecord*> lines;
    for (int32_t k = 0; k < slot->contents.KindCount(kItemLine); ++k)
        if (const LineRecord* l = slot->contents.Line(k); l && l->height > 0) lines.push_back(l);
    ASSERT_GT(lines.size(), 40u);
    auto walk = [&](int32_t direction) {
        std::vector<bool> shown(lines.size(), false);
        std::vector<bool> before(lines.size(), false);
        int turns = 0;
        for (;;) {
            int32_t y = slot->record->tables[0].y;
            // No turn shows again more than one line the turn before showed whole.
            int again = 0;
            for (size_t i = 0; i < lines.size(); ++i) {
                int32_t top = lines[i]->y - table->box.y - y;
                bool whole = top >= 0 && top + lines[i]->height <= table->box.height;
                if (whole && before[i]) ++again;
                before[i] = whole;
                if (whole) shown[i] = true;
            }
            EXPECT_LE(again, 1) << "turn " << turns;
            if (turns > 60 || !layout_.PageThroughTables(direction)) break;
            ++turns;
            EXPECT_EQ(slot->record->tables[0].y > y, direction > 0) << "turn " << turns;
            EXPECT_TRUE(layout_.PaintCurrentPage(false));
        }
        EXPECT_GE(turns, 1);
        for (size_t i = 0; i < lines.size(); ++i) EXPECT_TRUE(shown[i]) << "line " << i;
    };
    walk(1);
    // The last turn forward reaches the cell's foot, its last lines at the view's top with room
    // below them, within the content.
    EXPECT_GE(slot->record->tables[0].y + table->box.height, table->content.height);
    EXPECT_LT(slot->record->tables[0].y, table->content.height);
    walk(-1);
    EXPECT_EQ(slot->record->tables[0].y, 0);
}

}  // namespace

namespace {

// A wide table whose lines the drawing moves off their laid-out places: a centred heading and
// a paragraph that the reader's "Full justify text" stretches to the cell's sides. With the
// arrows beside it the view is narrower than the cells.
class AlignedTableScroller : public TableScroller, public ::testing::WithParamInterface<uint32_t> {
protected:
    std::u16string Page() const override {
        std::u16string page =
            u"<html><body><table border=\"1\"><tr><td width=\"420\" align=\"center\">"
            u"heading</td></tr><tr><td><p>";
        static const char16_t* const kWords[] = {u"transformation", u"of",  u"stylesheets", u"in",
                                                 u"compilation",    u"and", u"namespaces"};
        for (int w = 0; w < 60; ++w) page += std::u16string(kWords[w % 7]) + u" ";
        return page + u"</p></td></tr></table></body></html>";
    }
    LayoutSettings Settings() const override {
        LayoutSettings s;
        s.defaultAlignment = GetParam();
        return s;
    }
    void SetUp() override {
        TableScroller::SetUp();
        pageCanvas_->SetIconHost(IconHost{nullptr, 96});
    }
    // The text runs of the table, by item, that the page as last drawn shows whole in the
    // table's view.
    std::map<int32_t, bool> RunsShown() {
        std::map<int32_t, bool> out;
        PageSlot* slot = layout_.CurrentPageSlot();
        if (!slot) return out;
        const TableRecord* table = slot->contents.Table(0);
        Rect view, left, right;
        if (!table || !layout_.TableScrollRects(table->box, view, left, right)) return out;
        BlockContents& c = slot->contents;
        int32_t counts[kItemKindCount] = {};
        bool inside = false;
        for (int32_t i = 0; i < c.Count(); ++i) {
            const uint32_t kind = c.ItemAt(i)->kind;
            const int32_t k = counts[kind]++;
            if (kind == kItemTable) inside = true;
            const TextRun* run = kind == kItemTextRun ? c.Run(k) : nullptr;
            if (!inside || !run || run->width <= 0) continue;
            out[i] = run->x >= view.x && run->x + run->width <= view.x + view.width;
        }
        return out;
    }
};

// Going forward through the views, each word of the table is shown whole in one of them, and
// Find of any word opens a view that shows it whole, whichever alignment the reader chose.
TEST_P(AlignedTableScroller, EveryWordShowsWholeInAViewAndFindOpensIt) {
    ASSERT_TRUE(layout_.PaintCurrentPage(false));
    PageSlot* slot = layout_.CurrentPageSlot();
    ASSERT_NE(slot, nullptr);
    const TableRecord* table = slot->contents.Table(0);
    ASSERT_NE(table, nullptr);
    ASSERT_GT(table->content.width, table->box.width);
    ASSERT_LE(table->content.height, table->box.height);
    std::map<int32_t, bool> seen = RunsShown();
    ASSERT_GT(seen.size(), 40u);
    int views = 1;
    while (views < 30 && layout_.PageThroughTables(1)) {
        ++views;
        ASSERT_TRUE(layout_.PaintCurrentPage(false));
        for (const auto& [item, whole] : RunsShown()) seen[item] = seen[item] || whole;
    }
    EXPECT_GT(views, 1);
    EXPECT_LT(views, 30);
    for (const auto& [item, whole] : seen) EXPECT_TRUE(whole) << "the word at item " << item;

    for (const auto& [item, whole] : seen) {
        slot = layout_.CurrentPageSlot();
        ASSERT_NE(slot, nullptr);
        const uint32_t position = slot->contents.ItemAt(item)->Position();
        layout_.ShowTableViewHolding(position);
        ASSERT_TRUE(layout_.PaintCurrentPage(false));
        EXPECT_TRUE(RunsShown()[item]) << "Find of the word at item " << item;
    }
}

INSTANTIATE_TEST_SUITE_P(LeftAndJustified, AlignedTableScroller, ::testing::Values(1u, 4u));

}  // namespace
