// Pictures, rules and tables in the flow, measured with the box font (12-pixel em, 6 pixels a
// character): sizes from attributes, shrinking and pushing to the next page, narrow columns,
// table widths, cuts across pages and hostile spans.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "layout/inline_objects.h"
#include "layout/page_layout.h"
#include "support/layout/layout_host.h"
#include "support/layout/picture_data.h"
#include "support/platform/window_fixture.h"

namespace {

using fvt::test::LaidOutPage;
using fvt::test::LayoutHost;

class Pictures : public ImageDataOpener {
public:
    DataHandle* OpenImageData(const Location& location) override {
        ++opened;
        String text;
        location.ToString(text, true);
        // Find answers the length when the text is not there.
        if (text.Find(String(u"missing")) < text.Length()) return nullptr;
        if (text.Find(String(u"tall")) < text.Length())
            return new fvt::test::PictureHandle(fvt::test::GifOfSize(40, 400));
        return new fvt::test::PictureHandle(fvt::test::GifOfSize(40, 20));
    }
    int opened = 0;
};

class FlowObjects : public fvt::test::WindowTest {
public:
    std::vector<LaidOutPage> Pages(const std::u16string& body, int32_t w = 240, int32_t h = 320) {
        host = std::make_unique<LayoutHost>(u"<html><body><div>" + body + u"</div></body></html>", w, h, 12);
        host->Settings().opener = &pictures;
        host->Reconfigure();
        std::vector<LaidOutPage> pages;
        EXPECT_TRUE(host->Paginate(pages));
        return pages;
    }
    const InlineBox* FirstBox(size_t page = 0) { return host->FirstObject(page); }
    void TearDown() override {
        host.reset();
        WindowTest::TearDown();
    }
    Pictures pictures;
    std::unique_ptr<LayoutHost> host;
};

TEST_F(FlowObjects, APictureSitsInTheLineAtItsOwnSize) {
    auto pages = Pages(u"ab <img src=\"pic.gif\"> cd");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].lines, (std::vector<std::string>{"ab [40x20] cd"}));
    const InlineBox* b = FirstBox();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->rect.x, 18 + 1);  // "ab " then the one-pixel spacing
}

TEST_F(FlowObjects, IconLibraryPicturesAreTheProgramsIcons) {
    host = std::make_unique<LayoutHost>(
        u"<html><body><div>a <img src=\"oeb:fvt_iconlib$235\" align=\"middle\" border=\"0\"> b "
        u"<img src=\"oeb:fvt_iconlib$9999\"> c</div></body></html>",
        240, 320, 12);
    host->Settings().opener = &pictures;
    host->Settings().icons = IconHost{nullptr, 192};
    host->Reconfigure();
    std::vector<LaidOutPage> pages;
    ASSERT_TRUE(host->Paginate(pages));
    ASSERT_EQ(pages.size(), 1u);
    // The icon of the screen's size; an id without an icon places nothing; the loader is
    // never asked.
    EXPECT_EQ(pages[0].lines, (std::vector<std::string>{"a [32x32] b c"}));
    EXPECT_EQ(pictures.opened, 0);
    const InlineBox* b = FirstBox();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->rect.x, 12);  // BORDER=0: no spacing
    EXPECT_EQ(b->alignment, 1u);
}

TEST_F(FlowObjects, WidthLargerThanThePictureCountsAsNotGiven) {
    Pages(u"<img src=\"pic.gif\" width=\"400\">");
    ASSERT_NE(FirstBox(), nullptr);
    EXPECT_EQ(FirstBox()->rect.width, 40);
    EXPECT_EQ(FirstBox()->rect.height, 20);
}

TEST_F(FlowObjects, OneDimensionGivenKeepsTheAspect) {
    Pages(u"<img src=\"pic.gif\" height=\"10\">");
    ASSERT_NE(FirstBox(), nullptr);
    EXPECT_EQ(FirstBox()->rect.width, 20);
    EXPECT_EQ(FirstBox()->rect.height, 10);
    EXPECT_TRUE(FirstBox()->object->IsScaledDown());
}

TEST_F(FlowObjects, ZeroNegativeAndPercentSizesAreNotGiven) {
    Pages(u"<img src=\"pic.gif\" width=\"0\" height=\"-5\"><img src=\"pic.gif\" width=\"50%\">");
    ASSERT_NE(FirstBox(), nullptr);
    EXPECT_EQ(FirstBox()->rect.width, 40);
    EXPECT_EQ(FirstBox()->rect.height, 20);
}

TEST_F(FlowObjects, BorderZeroDropsTheSpacingUnlessSpacesAreGiven) {
    Pages(u"<img src=\"pic.gif\" border=\"0\">");
    EXPECT_EQ(FirstBox()->hspace, 0);
    EXPECT_EQ(FirstBox()->vspace, 0);
    Pages(u"<img src=\"pic.gif\" border=\"0\" hspace=\"3\">");
    EXPECT_EQ(FirstBox()->hspace, 3);
    EXPECT_EQ(FirstBox()->vspace, 0);
}

TEST_F(FlowObjects, APictureThatCannotBeOpenedPlacesNothing) {
    auto pages = Pages(u"a <img src=\"missing.gif\"> b");
    EXPECT_EQ(pages[0].lines, (std::vector<std::string>{"a b"}));
}

TEST_F(FlowObjects, APictureWiderThanTheColumnIsNarrowedKeepingItsShape) {
    Pages(u"<img src=\"pic.gif\">", 22, 320);
    ASSERT_NE(FirstBox(), nullptr);
    EXPECT_EQ(FirstBox()->rect.width, 20);
    EXPECT_EQ(FirstBox()->rect.height, 10);
}

TEST_F(FlowObjects, ATallPictureIsShrunkAtTheTopOfAColumn) {
    auto pages = Pages(u"<img src=\"tall.gif\">", 240, 100);
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_NE(FirstBox(), nullptr);
    EXPECT_LE(FirstBox()->rect.height + 2, 100);
    EXPECT_EQ(FirstBox()->rect.width, 40 * FirstBox()->rect.height / 400);
}

TEST_F(FlowObjects, ATallPictureBelowTextStartsTheNextPage) {
    // After two lines less than three quarters of the column are free.
    auto pages = Pages(u"line one<br>line two<br><img src=\"tall.gif\">", 240, 60);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].lines, (std::vector<std::string>{"line one", "line two"}));
    ASSERT_NE(FirstBox(1), nullptr);
    EXPECT_LE(FirstBox(1)->rect.height, 60);
}

TEST_F(FlowObjects, ATallPictureWithMostOfTheColumnFreeIsShrunkInPlace) {
    auto pages = Pages(u"one<br><img src=\"tall.gif\">", 240, 100);
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_NE(FirstBox(), nullptr);
    EXPECT_LE(FirstBox()->rect.y + FirstBox()->rect.height, 100);
}

TEST_F(FlowObjects, AnObjectInAColumnNarrowerThanItsSpacingKeepsAPixel) {
    auto pages = Pages(u"<img src=\"pic.gif\" hspace=\"20\">", 10, 320);
    ASSERT_NE(FirstBox(), nullptr);
    EXPECT_GE(FirstBox()->rect.width, 1);
    EXPECT_GE(FirstBox()->rect.height, 1);
}

TEST_F(FlowObjects, ARuleTakesTheWholeLine) {
    host = std::make_unique<LayoutHost>(u"<html><body>a<hr>b</body></html>", 100, 320, 12);
    host->Settings().defaults.blockRules = true;  // the rule is a block, no page break
    host->Reconfigure();
    std::vector<LaidOutPage> pages;
    ASSERT_TRUE(host->Paginate(pages));
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].lines, (std::vector<std::string>{"a", "[98x4]", "b"}));
}

TEST_F(FlowObjects, HiddenRulesPlaceNothing) {
    host = std::make_unique<LayoutHost>(u"<html><body>a<hr>b</body></html>", 100, 320, 12);
    host->Settings().defaults.blockRules = true;
    host->Settings().showRules = false;
    host->Reconfigure();
    std::vector<LaidOutPage> pages;
    ASSERT_TRUE(host->Paginate(pages));
    EXPECT_EQ(pages[0].lines, (std::vector<std::string>{"a", "b"}));
}

// ---- Tables --------------------------------------------------------------------------------

std::vector<Rect> Cells(const BlockContents& constBlock) {
    BlockContents& b = const_cast<BlockContents&>(constBlock);
    std::vector<Rect> out;
    for (int32_t i = 0; i < b.KindCount(kItemCell); ++i) out.push_back(b.Cell(i)->rect);
    return out;
}

TEST_F(FlowObjects, AnAutoTableIsAsWideAsItsContent) {
    auto pages = Pages(u"<table border=\"1\"><tr><td>Name</td><td>240 pixels</td></tr>"
                       u"<tr><td>W</td><td>x</td></tr></table>after");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].tables, 1);
    auto cells = Cells(host->PageContents(0));
    ASSERT_EQ(cells.size(), 4u);
    // Content plus a pixel of padding each side; a pixel of border between columns.
    EXPECT_EQ(cells[0], (Rect{1, 1, 26, 14}));
    EXPECT_EQ(cells[1], (Rect{28, 1, 62, 14}));
    EXPECT_EQ(cells[2].y, 16);
    EXPECT_EQ(pages[0].lines.back(), "after");
    EXPECT_EQ(pages[0].lineBoxes.back().y, 31);
}

TEST_F(FlowObjects, ANarrowTableIsCentredWithTheOddPixelRight) {
    auto pages = Pages(u"<center><table><tr><td>abc</td></tr></table></center>", 101, 320);
    auto cells = Cells(host->PageContents(0));
    ASSERT_EQ(cells.size(), 1u);
    // 20 pixels wide in 101: 81 over, 40 to the left.
    EXPECT_EQ(cells[0].x, 40);
    EXPECT_EQ(cells[0].width, 20);
}

TEST_F(FlowObjects, TextInCellsWrapsToTheColumnWidth) {
    auto pages = Pages(u"<table><tr><td>aaaa bbbb cccc dddd</td><td>eeee ffff gggg</td></tr></table>",
                       100, 320);
    auto cells = Cells(host->PageContents(0));
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_LE(cells[1].x + cells[1].width, 100);
    EXPECT_GT(cells[0].height, 14);
}

TEST_F(FlowObjects, ATallTableIsCutBetweenRowsAndNoRowIsLostOrRepeated) {
    std::u16string rows;
    for (int i = 0; i < 40; ++i) {
        rows.append(u"<tr><td>r");
        rows.push_back(static_cast<char16_t>(u'a' + i % 26));
        rows.append(u"</td></tr>");
    }
    auto pages = Pages(u"<table>" + rows + u"</table><p>end</p>", 120, 100);
    ASSERT_GT(pages.size(), 4u);
    std::string all;
    for (const auto& p : pages)
        for (const auto& l : p.lines) all.append(l).append(",");
    std::string expected;
    for (int i = 0; i < 40; ++i) {
        expected.push_back('r');
        expected.push_back(static_cast<char>('a' + i % 26));
        expected.push_back(',');
    }
    expected += "end,";
    EXPECT_EQ(all, expected);
    for (size_t i = 0; i + 1 < pages.size(); ++i) EXPECT_EQ(pages[i].end, pages[i + 1].start);
    // A continued table starts again on the following page.
    EXPECT_EQ(pages[1].tables, 1);
}

TEST_F(FlowObjects, AFirstRowTallerThanTheColumnStaysAndIsCutToTheColumn) {
    auto pages = Pages(u"<table><tr><td>a<br>b<br>c<br>d<br>e<br>f</td></tr><tr><td>g</td></tr>"
                       u"</table>", 120, 40);
    ASSERT_GE(pages.size(), 2u);
    BlockContents& b = const_cast<BlockContents&>(host->PageContents(0));
    ASSERT_EQ(b.KindCount(kItemTable), 1);
    EXPECT_EQ(b.Table(0)->visibleHeight, 40);
    EXPECT_GT(b.Table(0)->content.height, 40);  // the rest is reached by scrolling
    ASSERT_FALSE(pages[1].lines.empty());
    EXPECT_EQ(pages[1].lines.front(), "g");
}

TEST_F(FlowObjects, SpansExtremeAndZeroNeverBreakTheLayout) {
    auto pages = Pages(u"<table><tr><td colspan=\"0\" rowspan=\"0\">a</td>"
                       u"<td colspan=\"99999999\" rowspan=\"4294967295\">b</td></tr>"
                       u"<tr><td colspan=\"2\">c</td></tr></table>x");
    ASSERT_GE(pages.size(), 1u);
    std::string all;
    for (const auto& p : pages)
        for (const auto& l : p.lines) all.append(l).append(",");
    EXPECT_NE(all.find("x,"), std::string::npos);
}

TEST_F(FlowObjects, EveryRowStartingWithASpanningCellStillLaysOut) {
    auto pages = Pages(u"<table border=\"1\"><tr><td colspan=\"2\">aaaa</td><td>b</td></tr>"
                       u"<tr><td colspan=\"2\">cc</td><td>d</td></tr></table>");
    auto cells = Cells(host->PageContents(0));
    ASSERT_EQ(cells.size(), 4u);
    for (const Rect& r : cells) EXPECT_GE(r.width, 1);
    EXPECT_EQ(cells[1].x, cells[3].x);
}

TEST_F(FlowObjects, NestedTablesLayOutInsideTheirCell) {
    auto pages = Pages(u"<table border=\"1\"><tr><td>out<table border=\"1\"><tr><td>in</td></tr>"
                       u"</table></td><td>z</td></tr></table>after");
    ASSERT_EQ(pages.size(), 1u);
    BlockContents& b = const_cast<BlockContents&>(host->PageContents(0));
    ASSERT_EQ(b.KindCount(kItemTable), 2);
    ASSERT_EQ(b.KindCount(kItemCell), 3);
    // The inner cell lies inside the outer one.
    EXPECT_TRUE(Rect::ContainsRect(b.Cell(0)->rect, b.Cell(1)->rect));
    ASSERT_FALSE(pages[0].lines.empty());
    EXPECT_EQ(pages[0].lines.back(), "after");
}

TEST_F(FlowObjects, AnEmptyTableIsPassedOver) {
    auto pages = Pages(u"a<table></table>b");
    std::string all;
    for (const auto& p : pages)
        for (const auto& l : p.lines) all.append(l).append(",");
    EXPECT_EQ(all, "a,b,");
}

TEST_F(FlowObjects, DeeplyNestedTablesDoNotExhaustTheStack) {
    std::u16string html;
    for (int i = 0; i < 60; ++i) html += u"<table><tr><td>";
    html += u"deep";
    for (int i = 0; i < 60; ++i) html += u"</td></tr></table>";
    auto pages = Pages(html + u"after");
    std::string all;
    for (const auto& p : pages)
        for (const auto& l : p.lines) all.append(l).append(",");
    EXPECT_NE(all.find("deep"), std::string::npos);
    EXPECT_NE(all.find("after"), std::string::npos);
}

}  // namespace
