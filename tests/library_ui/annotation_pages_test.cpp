// The annotations list's page numbers from the open book's page layout.
#include <gtest/gtest.h>

#include "layout/page_layout.h"
#include "library_ui/annotation_list_window.h"
#include "reader/book_document_controller.h"
#include "reader/reader_controller.h"
#include "support/reader/book_controller_fixture.h"

namespace fvt::test {
namespace {

class AnnotationPagesTest : public BookControllerTest {};

TEST_F(AnnotationPagesTest, WithoutAnOpenBookPagesAreUnknown) {
    LayoutAnnotationPages pages(&reader);
    EXPECT_EQ(pages.EstimatePage(0), -1);
    LayoutAnnotationPages none(nullptr);
    EXPECT_EQ(none.EstimatePage(0), -1);
}

TEST_F(AnnotationPagesTest, PagesGrowThroughTheBookAndStopAtItsLastPage) {
    ASSERT_TRUE(OpenLongBook());
    LayoutAnnotationPages pages(&reader);
    uint32_t length = controller->DocumentLength();
    ASSERT_GT(length, 2000u);
    EXPECT_EQ(pages.EstimatePage(0), 1);
    int32_t middle = pages.EstimatePage(length / 2);
    EXPECT_GT(middle, 1);
    EXPECT_GT(pages.EstimatePage(length - 1), middle);
    ASSERT_TRUE(controller->GoToPage(PageLayout::kNone));
    ASSERT_TRUE(controller->Page().Layout()->IsLastPageKnown());
    EXPECT_LE(pages.EstimatePage(0xFFFFFF00u),
              static_cast<int32_t>(controller->Page().Layout()->PageCount()));
}

}  // namespace
}  // namespace fvt::test
