// No blank pages: the usual generators' documents open on their text, a page break is passed
// over at the top of a page, no page starts with an empty line left by the page break, and a
// text ending in blank lines or markup ends on its last text.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "layout/page_layout.h"
#include "support/layout/layout_host.h"
#include "support/platform/window_fixture.h"

namespace {

using fvt::test::LaidOutPage;
using fvt::test::LayoutHost;

class BlankPages : public fvt::test::WindowTest {
public:
    std::vector<LaidOutPage> Lay(const std::u16string& html, int32_t h = 320) {
        host = std::make_unique<LayoutHost>(html, 240, h, 12, true);
        std::vector<LaidOutPage> pages;
        EXPECT_TRUE(host->Paginate(pages));
        return pages;
    }
    void TearDown() override {
        host.reset();
        WindowTest::TearDown();
    }
    static bool HasText(const LaidOutPage& p) {
        for (const std::string& l : p.lines)
            if (l.find_first_not_of(' ') != std::string::npos) return true;
        return false;
    }
    std::unique_ptr<LayoutHost> host;
};

TEST_F(BlankPages, AHeadingInsideABlockOpensOnItsText) {
    const char16_t* const kStarts[] = {
        u"<html><body><div><h1>Title</h1></div><p>Para</p></body></html>",
        u"<html><body><div><h2>Title</h2></div><p>Para</p></body></html>",
        u"<html><body><center><h1>Title</h1></center><p>Para</p></body></html>",
        u"<html><body><div><div><h1>Title</h1></div></div><p>Para</p></body></html>",
        u"<html><body><hr><h1>Title</h1><p>Para</p></body></html>",
        u"<html><body><p></p><h1>Title</h1><p>Para</p></body></html>",
    };
    for (const char16_t* html : kStarts) {
        std::string name(html, html + std::char_traits<char16_t>::length(html));
        SCOPED_TRACE(name);
        std::vector<LaidOutPage> pages = Lay(html);
        ASSERT_FALSE(pages.empty());
        ASSERT_TRUE(HasText(pages[0]) || (pages[0].lines.empty() && name.find("<hr>") != std::string::npos))
            << "the first page is blank";
        bool title = false;
        for (const std::string& l : pages[0].lines) title |= l == "Title";
        EXPECT_TRUE(title);
        EXPECT_EQ(pages.size(), 1u);
    }
}

TEST_F(BlankPages, NoPageStartsWithAnEmptyLineAndNoneIsEmpty) {
    std::u16string html = u"<html><body>";
    for (int c = 0; c < 12; ++c) {
        html += u"<h2>Part</h2>";
        for (int p = 0; p < 5; ++p)
            html += u"<p>the evening light fell on the quiet harbour while the ships came in "
                    u"one after another under a grey sky</p>";
        html += u"<p>short</p><br><br>";
    }
    html += u"<p>The end.</p><br><br><br></body></html>";
    std::vector<LaidOutPage> pages = Lay(html);
    ASSERT_GT(pages.size(), 5u);
    for (size_t i = 0; i < pages.size(); ++i) {
        SCOPED_TRACE("page " + std::to_string(i));
        ASSERT_TRUE(HasText(pages[i])) << "an empty page";
        ASSERT_FALSE(pages[i].lines.empty());
        EXPECT_NE(pages[i].lines.front().find_first_not_of(' '), std::string::npos)
            << "the page starts with an empty line";
    }
    std::string last;
    for (const std::string& l : pages.back().lines)
        if (!l.empty()) last = l;
    EXPECT_EQ(last, "The end.");
}

TEST_F(BlankPages, BlankLinesAndMarkupAfterTheLastTextMakeNoPage) {
    // However the last text falls on its page, what follows it makes no page of its own.
    for (int words = 0; words < 40; ++words) {
        std::u16string html = u"<html><body>";
        for (int p = 0; p < 4; ++p)
            html += u"<p>the evening light fell on the quiet harbour while the ships came in</p>";
        html += u"<p>";
        for (int w = 0; w < words; ++w) html += u"word ";
        html += u"end.</p><br><br><br><div></div><p></p></body></html>\n\n";
        std::vector<LaidOutPage> pages = Lay(html, 100);
        ASSERT_FALSE(pages.empty());
        EXPECT_TRUE(HasText(pages.back())) << words << " words: an empty last page";
    }
}

}  // namespace
