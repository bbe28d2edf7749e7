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
TEST_F(PageLayoutTest, DebugTable) {
    auto pages = Pages(u"<html><body><table border=\"1\"><tr><td>Name</td><td>Value</td></tr><tr><td>W</td><td>240 pixels</td></tr></table><p>after</p></body></html>", 70);
    for (auto& p : pages) for (auto& l : p.lines) printf("[%s]\n", l.c_str());
    const BlockContents& b = host->PageContents(0);
    BlockCursor c; c.Init(const_cast<BlockContents*>(&b), true);
    for (; !c.AtEnd(); c.Next()) { printf("%u", c.Kind()); if (c.Kind()==3) printf("(y%d)", b.Line(c.counts[3])->y); if (c.Kind()==7) printf("(y%d)", b.Run(c.counts[7])->y); printf(" "); }
    printf("\n");
}
}
