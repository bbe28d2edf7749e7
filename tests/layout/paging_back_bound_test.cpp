// How much a PageUp lays out, over documents shaped like real ones (an API reference of small
// tables and definition lists, a texinfo manual with a rule before every node): walking back
// from the last page to the first, a PageUp lays out from the nearest page start it knows
// before its target, never much more than the pages of the 4096 characters before it, and
// three pages a PageUp on average over the walk.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "layout/page_layout.h"
#include "support/document/shaped_documents.h"
#include "support/layout/paging_fixtures.h"

namespace fvt::test {
namespace {

std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

struct Book : PagingBook {
    explicit Book(const std::string& html) : PagingBook(Wide(html), false, false) {
        EXPECT_TRUE(layout.Start());
    }
    uint32_t Start() const { return layout.CurrentPageStart(); }
    // The page shown is laid out, as the reader draws it.
    bool Show() { return layout.LayoutPageAt(layout.CurrentPageStart(), false); }
};

// The starts of the pages paging forward shows from the first page.
std::vector<uint32_t> ForwardStarts(const std::string& html) {
    Book b(html);
    std::vector<uint32_t> starts;
    EXPECT_TRUE(b.layout.GoToPage(1));
    for (int i = 0; i < 2000; ++i) {
        EXPECT_TRUE(b.Show());
        if (!starts.empty() && b.Start() <= starts.back()) break;
        starts.push_back(b.Start());
        if (!b.layout.GoToPosition(b.Start(), PageStepCode::kNextPage)) break;
    }
    return starts;
}

struct Shape {
    const char* name;
    std::string html;
};

class PagingBackBound : public ::testing::TestWithParam<int> {};

TEST_P(PagingBackBound, APageUpLaysOutFewPagesBeforeItsTarget) {
    const Shape shape = GetParam() == 0 ? Shape{"api", ApiReferenceShaped(4, 10)}
                                        : Shape{"texinfo", TexinfoShapedManual(60)};
    SCOPED_TRACE(shape.name);
    const std::vector<uint32_t> forward = ForwardStarts(shape.html);
    ASSERT_GT(forward.size(), 30u);
    Book b(shape.html);
    ASSERT_TRUE(b.layout.GoToPage(PageLayout::kNone));
    ASSERT_TRUE(b.Show());
    uint64_t total = 0;
    int pageUps = 0, over = 0;
    std::string worst;
    uint64_t worstCount = 0;
    while (b.Start() > b.layout.FirstPageStart() && pageUps < 4 * static_cast<int>(forward.size())) {
        const uint32_t target = b.Start();
        const uint64_t before = b.layout.PagesLaidOut();
        ASSERT_TRUE(b.layout.GoToPosition(target, PageStepCode::kPageEndingHere));
        ASSERT_TRUE(b.Show());
        ASSERT_LT(b.Start(), target) << "PageUp from " << target << " did not move";
        const uint64_t laid = b.layout.PagesLaidOut() - before;
        total += laid;
        ++pageUps;
        // The pages paging forward starts in the 4096 characters before the target.
        const uint32_t from = target > 4096 ? target - 4096 : 0;
        const auto near = std::count_if(forward.begin(), forward.end(), [&](uint32_t s) {
            return s >= from && s < target;
        });
        if (laid > static_cast<uint64_t>(near) + 4) {
            ++over;
            ADD_FAILURE() << "PageUp " << pageUps << " to the page ending at " << target
                          << " lays out " << laid << " pages; the 4096 characters before it hold "
                          << near << " pages";
        }
        if (laid > worstCount) {
            worstCount = laid;
            worst = "PageUp " + std::to_string(pageUps) + " to " + std::to_string(target);
        }
    }
    EXPECT_EQ(b.Start(), b.layout.FirstPageStart()) << "the walk did not reach page 1";
    ASSERT_GT(pageUps, 0);
    const double average = static_cast<double>(total) / pageUps;
    EXPECT_LE(average, 3.0) << total << " pages laid out over " << pageUps << " PageUps";
    EXPECT_EQ(over, 0) << over << " of " << pageUps << " PageUps lay out more than the bound; "
                       << "the most, " << worstCount << ", at " << worst << "; average "
                       << average << " over " << forward.size() << " pages forward";
}

INSTANTIATE_TEST_SUITE_P(Shapes, PagingBackBound, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == 0 ? "ApiReference" : "TexinfoManual");
                         });

}  // namespace
}  // namespace fvt::test
