// Page and block layout over real token streams, measured with the box font (advance
// (em + 1) / 2 for every character, so a 12-pixel em gives 6 pixels a character): word wrap,
// spaces, breaks, pages ending where lines stop fitting, pictures and rules in the flow.
#include "layout/page_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/layout/layout_host.h"
#include "support/platform/window_fixture.h"

namespace {

using fvt::test::LaidOutPage;
using fvt::test::LayoutHost;

class PageLayoutTest : public fvt::test::WindowTest {
public:
    std::vector<LaidOutPage> Pages(const std::u16string& html, int32_t w = 240,
                                   int32_t h = 320, int32_t em = 12) {
        host = std::make_unique<LayoutHost>(html, w, h, em);
        std::vector<LaidOutPage> pages;
        EXPECT_TRUE(host->Paginate(pages));
        return pages;
    }
    void TearDown() override {
        host.reset();
        WindowTest::TearDown();
    }
    std::unique_ptr<LayoutHost> host;
};

TEST_F(PageLayoutTest, WordsWrapAtTheColumnWidth) {
    // 60 pixels hold ten characters: "aaa bbb" (7) fits, "ccc" does not.
    auto pages = Pages(u"<html><body>aaa bbb ccc ddd</body></html>", 60, 320);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].lines, (std::vector<std::string>{"aaa bbb", "ccc ddd"}));
}

TEST_F(PageLayoutTest, AnEmptyDocumentIsOneLastPage) {
    auto pages = Pages(u"");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_TRUE(pages[0].lines.empty());
}

}  // namespace
namespace {

// Lines of a page that take room.
std::vector<LineRecord> Lines(const BlockContents& b) {
    std::vector<LineRecord> out;
    for (int32_t i = 0; i < b.KindCount(kItemLine); ++i)
        if (const_cast<BlockContents&>(b).Line(i)->height > 0) out.push_back(*const_cast<BlockContents&>(b).Line(i));
    return out;
}

std::u16string Words(int n, const char16_t* word = u"word") {
    std::u16string s;
    for (int i = 0; i < n; ++i) {
        if (i) s += u' ';
        s += word;
    }
    return s;
}

TEST_F(PageLayoutTest, ThreeWordsCountThreeSpacesWithOrWithoutATrailingSpace) {
    Pages(u"<html><body>aa bb cc</body></html>");
    auto lines = Lines(host->PageContents(0));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].spaceCount, 3);
    EXPECT_EQ(lines[0].freeWidth, 240 - 8 * 6);
    Pages(u"<html><body>aa bb cc </body></html>");
    lines = Lines(host->PageContents(0));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].spaceCount, 3);
    EXPECT_EQ(lines[0].freeWidth, 240 - 8 * 6);
}

TEST_F(PageLayoutTest, RunsArePlacedAlongTheLine) {
    Pages(u"<html><body>ab cd</body></html>");
    const BlockContents& b = host->PageContents(0);
    EXPECT_EQ(b.Run(0)->x, 0);
    EXPECT_EQ(b.Run(1)->x, 18);
    EXPECT_EQ(b.Run(0)->y, 9);  // the baseline: ascent 12 - 12 / 4
}

TEST_F(PageLayoutTest, AWordWiderThanTheLineIsCutAndTheNextLineFollows) {
    auto pages = Pages(u"<html><body>abcdefghijklmno pq</body></html>", 60, 320);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].lines, (std::vector<std::string>{"abcdefg", "hijklmno", "pq"}));
    // Not even one letter and its hyphen fit: the word stays whole.
    pages = Pages(u"<html><body>abc de</body></html>", 8, 320);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].lines, (std::vector<std::string>{"abc", "de"}));
}

TEST_F(PageLayoutTest, PagesEndWhereTheNextLineNoLongerFits) {
    // Twelve-pixel lines in a 50-pixel page: four lines a page.
    auto pages = Pages(u"<html><body>" + Words(10, u"abcdefghi") + u"</body></html>", 60, 50);
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[0].lines.size(), 4u);
    EXPECT_EQ(pages[1].lines.size(), 4u);
    EXPECT_EQ(pages[2].lines.size(), 2u);
    for (size_t i = 0; i + 1 < pages.size(); ++i) {
        EXPECT_EQ(pages[i].end, pages[i + 1].start) << i;  // the end is the next start
        EXPECT_GT(pages[i + 1].start, pages[i].start);
    }
    EXPECT_EQ(pages[0].contentHeight, 49);
}

TEST_F(PageLayoutTest, TheFirstLineOfAColumnAlwaysStays) {
    auto pages = Pages(u"<html><body>" + Words(3, u"abcdefghi") + u"</body></html>", 60, 5);
    ASSERT_EQ(pages.size(), 3u);
    for (const auto& p : pages) EXPECT_EQ(p.lines.size(), 1u);
}

TEST_F(PageLayoutTest, EveryWordArrivesOnceAcrossPages) {
    std::u16string text;
    for (int i = 0; i < 300; ++i) {
        text.push_back(u'w');
        text.push_back(static_cast<char16_t>(u'a' + i % 26));
        text.push_back(u' ');
    }
    auto pages = Pages(u"<html><body><p>" + text + u"</p></body></html>", 120, 100);
    std::string all;
    for (const auto& p : pages)
        for (const auto& l : p.lines) all.append(l).append(" ");
    std::string expected;
    for (int i = 0; i < 300; ++i) {
        expected.push_back('w');
        expected.push_back(static_cast<char>('a' + i % 26));
        expected.push_back(' ');
    }
    EXPECT_EQ(all, expected);
    EXPECT_GT(pages.size(), 5u);
}

TEST_F(PageLayoutTest, APageBreakAfterAParagraphStartsANewPage) {
    auto pages = Pages(u"<html><body><p>one</p><fvt:pagebreak/><p>two</p></body></html>");
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].lines, (std::vector<std::string>{"one"}));
    EXPECT_EQ(pages[1].lines, (std::vector<std::string>{"two"}));
}

TEST_F(PageLayoutTest, PageBreaksAtTheTopOrTheEndMakeNoEmptyPage) {
    auto pages = Pages(u"<html><body><fvt:pagebreak/><p>one</p><fvt:pagebreak/></body></html>");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].lines, (std::vector<std::string>{"one"}));
}

TEST_F(PageLayoutTest, ALineBreakOnAnEmptyLineLeavesABlankLine) {
    auto pages = Pages(u"<html><body>a<br><br>b</body></html>");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].lines, (std::vector<std::string>{"a", "", "b"}));
}

TEST_F(PageLayoutTest, ParagraphsIndentTheirFirstLineAndSpaceAbove) {
    Pages(u"<html><body><p width=\"12\">aaaa bbbb cccc</p></body></html>", 72, 320);
    auto lines = Lines(host->PageContents(0));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].x, 12);
    EXPECT_EQ(lines[1].x, 0);
    EXPECT_EQ(lines[0].extraAbove, 6);  // P's default space above
    EXPECT_EQ(lines[0].height, 18);
    EXPECT_EQ(lines[1].y, 18);
}

TEST_F(PageLayoutTest, CjkBreaksBetweenCharactersButNotBeforeAClosingMark) {
    auto pages = Pages(u"<html><body>\u4e00\u4e01\u4e02\u4e03\u4e04\u4e05</body></html>", 30, 320);
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_EQ(pages[0].lines.size(), 2u);
    EXPECT_EQ(pages[0].lines[1], "\u4e05");
    pages = Pages(u"<html><body>\u4e00\u4e01\u4e02\u4e03\u4e04\u3001\u4e05</body></html>", 30, 320);
    ASSERT_EQ(pages[0].lines.size(), 2u);
    // "、" may not begin a line: the character before it goes down with it.
    EXPECT_EQ(pages[0].lines[1], "\u4e04\u3001\u4e05");
}

TEST_F(PageLayoutTest, NonBreakingSpacesHoldWordsTogether) {
    auto pages = Pages(u"<html><body>aaa&nbsp;bbb ccc</body></html>", 48, 320);
    EXPECT_EQ(pages[0].lines, (std::vector<std::string>{"aaa\u00a0bbb", "ccc"}));
    pages = Pages(u"<html><body>aaa bbb&nbsp;ccc</body></html>", 48, 320);
    EXPECT_EQ(pages[0].lines, (std::vector<std::string>{"aaa", "bbb\u00a0ccc"}));
}

TEST_F(PageLayoutTest, CombiningMarksStayWithTheirWord) {
    auto pages = Pages(u"<html><body>cafe\u0301 noir</body></html>", 36, 320);
    ASSERT_EQ(pages[0].lines.size(), 2u);
    EXPECT_EQ(pages[0].lines[0], "cafe\u0301");
}

// (The tokenizer delivers BUTTON as an empty element, so its content is text of its own.)
TEST_F(PageLayoutTest, ScriptStyleAndMapContentNeverShows) {
    auto pages = Pages(
        u"<html><head><style>x{}</style></head><body>a<script>var b;</script> c"
        u"<map><area>d</map> e g<dc:language>en</dc:language> h</body></html>");
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_EQ(pages[0].lines.size(), 1u);
    EXPECT_EQ(pages[0].lines[0].find('b'), std::string::npos);
    EXPECT_EQ(pages[0].lines[0].find('d'), std::string::npos);
    EXPECT_NE(pages[0].lines[0].find('h'), std::string::npos);
}

TEST_F(PageLayoutTest, HeadingsAndListsIndentAndBreak) {
    auto pages = Pages(u"<html><body><h2>Title</h2><ul><li>one</li><li>two</li></ul>"
                       u"<blockquote>q</blockquote></body></html>");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].lines, (std::vector<std::string>{"Title", "one", "two", "q"}));
    auto lines = Lines(host->PageContents(0));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_GT(lines[1].x, 0);  // list items sit in
    EXPECT_EQ(lines[1].x, lines[2].x);
    EXPECT_GT(lines[0].height, 12);  // the heading's font is larger
}

TEST_F(PageLayoutTest, MoreColumnsFillSideBySide) {
    host = std::make_unique<LayoutHost>(u"<html><body>" + Words(8, u"abcdefghi") + u"</body></html>", 120, 50);
    Rect columns[2] = {{0, 0, 60, 50}, {60, 0, 60, 50}};
    host->Layout().SetColumns(columns, 2);
    std::vector<LaidOutPage> pages;
    ASSERT_TRUE(host->Paginate(pages));
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_EQ(pages[0].lineBoxes.size(), 8u);
    EXPECT_EQ(pages[0].lineBoxes[4].x, 60);
    EXPECT_EQ(pages[0].lineBoxes[4].y, 0);
}

TEST_F(PageLayoutTest, TinyColumnsAreRefused) {
    host = std::make_unique<LayoutHost>(u"<html><body>a</body></html>", 0, 50);
    std::vector<LaidOutPage> pages;
    EXPECT_FALSE(host->Paginate(pages));
}

}  // namespace
namespace {

TEST_F(PageLayoutTest, NestedSizeStepsStayWithinTheFontLimits) {
    std::u16string html = u"<html><body>";
    for (int i = 0; i < 60; ++i) html += u"<big>";
    html += u"big";
    for (int i = 0; i < 60; ++i) html += u"<small>";
    html += u" small</body></html>";
    auto pages = Pages(html, 240, 320);
    ASSERT_GE(pages.size(), 1u);
    auto lines = Lines(host->PageContents(0));
    ASSERT_FALSE(lines.empty());
    for (const auto& l : lines) EXPECT_LE(l.height, LayoutFonts::kMaxEm + 1);
}

TEST_F(PageLayoutTest, ASingleStepKeepsThePageNumberExceptAfterTheFirst) {
    host = std::make_unique<LayoutHost>(u"<html><body>" + Words(12, u"abcdefghi") + u"</body></html>", 60, 30);
    PageRecord first;
    PageRecord second;
    PageRecord third;
    PageSlot slot;
    slot.record = &first;
    bool more = false;
    ASSERT_TRUE(host->Layout().LayoutIntoSlot(slot, second, more, true));
    EXPECT_TRUE(more);
    EXPECT_EQ(second.pageNumber, 2u);
    EXPECT_EQ(second.linkStep, 1);
    EXPECT_EQ(second.linkOrigin, first.start);
    PageSlot next;
    next.record = &second;
    ASSERT_TRUE(host->Layout().LayoutIntoSlot(next, third, more, true));
    EXPECT_EQ(third.pageNumber, 2u);
    EXPECT_EQ(third.start, second.end);
    EXPECT_GT(third.start, second.start);
}

TEST_F(PageLayoutTest, APageIsLaidOutAgainFromItsRecordTheSameWay) {
    host = std::make_unique<LayoutHost>(u"<html><body><p>" + Words(30, u"abcd") + u"</p></body></html>", 60, 40);
    PageRecord first, second, third, again;
    PageSlot slot;
    slot.record = &first;
    bool more = false;
    ASSERT_TRUE(host->Layout().LayoutIntoSlot(slot, second, more, false));
    PageSlot s2;
    s2.record = &second;
    ASSERT_TRUE(host->Layout().LayoutIntoSlot(s2, third, more, false));
    std::vector<std::string> once = fvt::test::LineTexts(s2.contents);
    // The second page again from its record (its saved block, scan state and elements).
    PageSlot s3;
    s3.record = &second;
    ASSERT_TRUE(host->Layout().LayoutIntoSlot(s3, again, more, false));
    EXPECT_EQ(fvt::test::LineTexts(s3.contents), once);
    EXPECT_EQ(again.start, third.start);
}

}  // namespace
