// A saved page state restored by the real engine over a book-like document (pages start
// anywhere, the scan state and element stack travel with the state): the page shown after the
// restore starts where the saved one did and shows the same words, also inside a table.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "document/markup/html_tokenizer.h"
#include "layout/page_layout.h"
#include "support/layout/context_canvas.h"
#include "support/layout/layout_host.h"
#include "support/layout/markup_engine.h"
#include "support/layout/paging_fixtures.h"
#include "support/platform/window_fixture.h"

namespace {

using fvt::test::SeekableDocument;

std::u16string Book(bool table) {
    std::u16string html = u"<html><body>";
    for (int i = 0; i < 12; ++i)
        html += u"<p>Paragraph " + std::u16string(1, static_cast<char16_t>(u'a' + i)) +
                u": the reader turns a page while the evening light falls on quiet chapters of "
                u"an old story about ships and harbours, la lettre du soir.</p>";
    if (table) {
        html += u"<table border=\"1\">";
        for (int r = 0; r < 40; ++r)
            html += u"<tr><td>row " + std::u16string(1, static_cast<char16_t>(u'A' + r % 26)) +
                    u"</td><td>value of the row</td></tr>";
        html += u"</table>";
    }
    html += u"<p>The end.</p></body></html>";
    return html;
}

// The page's words run together, whatever the lines.
std::string Joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines)
        for (char c : l)
            if (c != ' ') out += c;
    return out;
}

// Over a book-like document, or a file's (replayed from the first page) with Doc a
// MemoryDocument, records of 512 bytes, showing the first page.
template <class Doc>
struct EngineOver : fvt::test::MarkupEngine<Doc> {
    EngineOver(const std::u16string& html, fvt::test::ContextCanvas* canvas, int32_t height = 160)
        : fvt::test::MarkupEngine<Doc>(html, canvas, 512, height) {
        this->started = this->started && this->layout->GoToPage(1);
    }
};
using Engine = EngineOver<SeekableDocument>;

class PageRestore : public fvt::test::WindowTest, public ::testing::WithParamInterface<bool> {};
using PageRestoreTable = fvt::test::WindowTest;

TEST_P(PageRestore, EveryPageComesBackAsItWas) {
    fvt::test::ContextCanvas* canvas = fvt::test::NewContextCanvas(200, 160);
    std::u16string html = Book(GetParam());
    Engine a(html, canvas);
    ASSERT_TRUE(a.started);
    int pages = 0;
    for (; pages < 200; ++pages) {
        std::vector<std::string> shown = a.Lines();
        ByteStream saved;
        uint32_t number = 0, start = 0;
        ASSERT_TRUE(a.layout->SaveCurrentPageState(number, start, saved));
        Engine b(html, canvas);
        ASSERT_TRUE(b.started);
        ASSERT_TRUE(saved.SetReadPosition(0));
        ASSERT_TRUE(b.layout->RestorePageState(number, start, saved)) << "page " << pages;
        EXPECT_EQ(b.layout->CurrentPageStart(), start);
        EXPECT_EQ(b.Lines(), shown) << "page " << pages + 1;
        if (!a.layout->CanStep(PageStepCode::kNextPage) ||
            !a.layout->GoToPosition(a.layout->CurrentPageStart(), PageStepCode::kNextPage))
            break;
    }
    EXPECT_GT(pages, 3);
    fvt::test::DeleteContextCanvas(canvas);
}

INSTANTIATE_TEST_SUITE_P(TextAndTables, PageRestore, ::testing::Bool());

}  // namespace

namespace {

// A state written with the scan state at a page inside a table (as an older writer did) is
// rebuilt: accepted, the page starts where it did and no row is skipped.
TEST_F(PageRestoreTable, AnOpenTableInTheSavedStackIsRebuilt) {
    fvt::test::ContextCanvas* canvas = fvt::test::NewContextCanvas(200, 160);
    std::u16string html = Book(true);
    Engine a(html, canvas);
    ASSERT_TRUE(a.started);
    PageRecord* inTable = nullptr;
    std::vector<std::string> shown;
    for (int i = 0; i < 40 && !inTable; ++i) {
        ASSERT_TRUE(a.layout->GoToPosition(a.layout->CurrentPageStart(), PageStepCode::kNextPage));
        PageRecord* r =
            a.layout->FindPageRecord(a.layout->CurrentPageStart(), PageStepCode::kSamePage);
        if (r && r->elements.FindTag(44) >= 0) {
            inTable = r;
            shown = a.Lines();
        }
    }
    ASSERT_NE(inTable, nullptr);
    ByteStream state;
    uint32_t head[7] = {PageLayout::kStateMagic, 4, 0x600DB00C, 1, 8, 0xFFFFFFFFu, 0};
    state.WriteWords32BE(head, 7);
    state.WriteBlock(inTable->scanState);
    inTable->elements.Save(state);
    ASSERT_TRUE(state.Ok());
    Engine b(html, canvas);
    ASSERT_TRUE(b.started);
    ASSERT_TRUE(state.SetReadPosition(0));
    ASSERT_TRUE(b.layout->RestorePageState(inTable->pageNumber, inTable->start, state));
    EXPECT_EQ(b.layout->CurrentPageStart(), inTable->start);
    std::string before = Joined(shown), after = Joined(b.Lines());
    size_t n = std::min(before.size(), after.size());
    ASSERT_GT(n, 0u);
    EXPECT_EQ(after.substr(0, n), before.substr(0, n));
    fvt::test::DeleteContextCanvas(canvas);
}

}  // namespace

namespace {

// A page can start inside a word that the page before hyphenated; its key then lies inside the
// word. Restored from that key, the page keeps the word's second half and its start.
template <class Doc>
void ExpectHyphenatedPageStartsComeBackWhole() {
    fvt::test::ContextCanvas* canvas = fvt::test::NewContextCanvas(200, 400);
    std::u16string html = u"<html><body>";
    for (int i = 0; i < 6; ++i)
        html +=
            u"<p>Somebody might be out there without a map, and a light is a kind of "
            u"promise that the land is where it was yesterday, unquestionably "
            u"extraordinarily.</p>";
    html += u"</body></html>";
    int inside = 0;
    for (int32_t height = 60; height <= 300; height += 4) {
        EngineOver<Doc> a(html, canvas, height);
        ASSERT_TRUE(a.started);
        for (int page = 0; page < 60; ++page) {
            uint32_t start = a.layout->CurrentPageStart();
            // Positions are indices into the text: a letter before the start is a split word.
            char16_t before = start > 0 && start <= html.size() ? html[start - 1] : u' ';
            if (before != u' ' && before != u'>') {
                ++inside;
                std::vector<std::string> shown = a.Lines();
                ByteStream saved;
                uint32_t number = 0, key = 0;
                ASSERT_TRUE(a.layout->SaveCurrentPageState(number, key, saved));
                EngineOver<Doc> b(html, canvas, height);
                ASSERT_TRUE(b.started);
                ASSERT_TRUE(saved.SetReadPosition(0));
                ASSERT_TRUE(b.layout->RestorePageState(number, key, saved));
                EXPECT_EQ(b.layout->CurrentPageStart(), key) << "height " << height;
                EXPECT_EQ(b.Lines(), shown) << "height " << height;
            }
            if (!a.layout->CanStep(PageStepCode::kNextPage) ||
                !a.layout->GoToPosition(a.layout->CurrentPageStart(), PageStepCode::kNextPage))
                break;
        }
    }
    EXPECT_GT(inside, 0);
    fvt::test::DeleteContextCanvas(canvas);
}

TEST_F(PageRestoreTable, APageStartingInsideAHyphenatedWordComesBackWhole) {
    ExpectHyphenatedPageStartsComeBackWhole<SeekableDocument>();
}

// Text and HTML files are restored by reading again from the first page: that reading stops
// inside the word, not after it.
TEST_F(PageRestoreTable, AFilePageStartingInsideAHyphenatedWordComesBackWhole) {
    ExpectHyphenatedPageStartsComeBackWhole<MemoryDocument>();
}

// Reading again keeps the state before a token only near the page start; a token that began
// further back (after a comment longer than that) sends the reading round again keeping every
// state. Pages of a file with long comments before its paragraphs and list items come back as
// they were shown.
TEST_F(PageRestoreTable, AFilePageAfterLongCommentsComesBackAsItWas) {
    fvt::test::ContextCanvas* canvas = fvt::test::NewContextCanvas(200, 400);
    const std::u16string comment = u"<!--" + std::u16string(6000, u'x') + u"-->";
    std::u16string html = u"<html><body>";
    for (int i = 0; i < 5; ++i) {
        html += comment + u"<p>Somebody might be out there without a map, and a light is a "
                          u"kind of promise that the land is where it was.</p>" +
                comment + u"<ul><li>" + comment + u"first item of the list</li><li>second item "
                u"of the list, a little longer than the first</li></ul>";
    }
    html += u"</body></html>";
    int pages = 0;
    for (int32_t height = 40; height <= 100; height += 30) {
        EngineOver<MemoryDocument> a(html, canvas, height);
        ASSERT_TRUE(a.started);
        for (int page = 0; page < 80; ++page, ++pages) {
            std::vector<std::string> shown = a.Lines();
            ByteStream saved;
            uint32_t number = 0, key = 0;
            ASSERT_TRUE(a.layout->SaveCurrentPageState(number, key, saved));
            EngineOver<MemoryDocument> b(html, canvas, height);
            ASSERT_TRUE(b.started);
            ASSERT_TRUE(saved.SetReadPosition(0));
            ASSERT_TRUE(b.layout->RestorePageState(number, key, saved));
            EXPECT_EQ(b.layout->CurrentPageStart(), key) << "height " << height;
            EXPECT_EQ(b.Lines(), shown) << "height " << height << " page " << page + 1;
            if (!a.layout->CanStep(PageStepCode::kNextPage) ||
                !a.layout->GoToPosition(a.layout->CurrentPageStart(), PageStepCode::kNextPage))
                break;
        }
    }
    EXPECT_GT(pages, 10);
    fvt::test::DeleteContextCanvas(canvas);
}

}  // namespace

namespace {

// Where each line of the current page starts, with its text.
template <class Doc>
std::vector<std::string> PlacedLines(EngineOver<Doc>& e) {
    uint32_t start = e.layout->CurrentPageStart();
    int32_t slot = -1;
    if (!e.layout->LayoutPageAt(start, false, &slot) || slot < 0) return {};
    BlockContents& contents = e.layout->Slot(slot).contents;
    std::vector<std::string> texts = fvt::test::LineTexts(contents);
    std::vector<std::string> out;
    for (int32_t i = 0; i < contents.KindCount(kItemLine); ++i) {
        const LineRecord* line = contents.Line(i);
        if (line->height > 0) out.push_back("x=" + std::to_string(line->x));
    }
    out.insert(out.end(), texts.begin(), texts.end());
    return out;
}

std::u16string Lists() {
    std::u16string html = u"<html><body>";
    for (int i = 0; i < 4; ++i) {
        html += u"<p>Before the list the reader finds a paragraph of plain text.</p><ul>";
        for (int k = 0; k < 6; ++k)
            html += u"<li>Item " + std::u16string(1, static_cast<char16_t>(u'a' + k)) +
                    u": carry a book where you will have to wait a while.</li>";
        html += u"</ul>";
    }
    html += u"</body></html>";
    return html;
}

// A page restored inside a list keeps the list's indent and its items' breaks: it is laid out
// with the element stack at its start, not the first page's.
template <class Doc>
void ExpectListPagesComeBackIndented() {
    fvt::test::ContextCanvas* canvas = fvt::test::NewContextCanvas(200, 160);
    std::u16string html = Lists();
    EngineOver<Doc> a(html, canvas, 100);
    ASSERT_TRUE(a.started);
    int pages = 0;
    for (; pages < 100; ++pages) {
        std::vector<std::string> shown = PlacedLines(a);
        ByteStream saved;
        uint32_t number = 0, start = 0;
        ASSERT_TRUE(a.layout->SaveCurrentPageState(number, start, saved));
        EngineOver<Doc> b(html, canvas, 100);
        ASSERT_TRUE(b.started);
        ASSERT_TRUE(saved.SetReadPosition(0));
        ASSERT_TRUE(b.layout->RestorePageState(number, start, saved)) << "page " << pages;
        EXPECT_EQ(b.layout->CurrentPageStart(), start);
        EXPECT_EQ(PlacedLines(b), shown) << "page " << pages + 1;
        if (!a.layout->CanStep(PageStepCode::kNextPage) ||
            !a.layout->GoToPosition(a.layout->CurrentPageStart(), PageStepCode::kNextPage))
            break;
    }
    EXPECT_GT(pages, 5);
    fvt::test::DeleteContextCanvas(canvas);
}

TEST_F(PageRestoreTable, ABookPageInsideAListComesBackIndented) {
    ExpectListPagesComeBackIndented<SeekableDocument>();
}

TEST_F(PageRestoreTable, AFilePageInsideAListComesBackIndented) {
    ExpectListPagesComeBackIndented<MemoryDocument>();
}

}  // namespace

namespace {

using PageRemeasure = fvt::test::WindowTest;

LayoutSettings AtSize(int32_t em) {
    LayoutSettings s;
    s.baseFontSize = em;
    return s;
}

// After a font change the page shown keeps its start, and its lines are those a layout made at
// the new size from the first would show there: the items its record carries over from the page
// before are measured again, not kept at their old widths.
TEST_F(PageRemeasure, ThePageAfterAFontChangeIsAFreshLayouts) {
    fvt::test::ContextCanvas* canvas = fvt::test::NewContextCanvas(200, 160);
    const std::u16string html = Book(false);
    int checked = 0;
    for (int steps = 1; steps <= 4; ++steps) {
        Engine a(html, canvas);
        ASSERT_TRUE(a.started);
        for (int i = 0; i < steps; ++i)
            ASSERT_TRUE(
                a.layout->GoToPosition(a.layout->CurrentPageStart(), PageStepCode::kNextPage));
        ASSERT_FALSE(a.Lines().empty());
        const uint32_t start = a.layout->CurrentPageStart();
        a.layout->Configure(AtSize(16));
        a.layout->Relayout();
        ASSERT_EQ(a.layout->CurrentPageStart(), start);
        std::vector<std::string> changed = a.Lines();

        Engine b(html, canvas);
        b.layout->Configure(AtSize(16));
        b.layout->Relayout();
        ASSERT_TRUE(b.started);
        ASSERT_TRUE(b.layout->GoToPositionAsPageStart(start));
        ASSERT_EQ(b.layout->CurrentPageStart(), start);
        EXPECT_EQ(changed, b.Lines()) << "after " << steps << " page turns";
        ++checked;
    }
    EXPECT_EQ(checked, 4);
    fvt::test::DeleteContextCanvas(canvas);
}

}  // namespace
