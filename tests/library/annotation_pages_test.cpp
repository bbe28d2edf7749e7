// The annotations list's page numbers from the open book's page layout.
#include <gtest/gtest.h>

#include <memory>

#include "document/sources/document_loader.h"
#include "layout/page_layout.h"
#include "library/annotation_list_window.h"
#include "library/paths/app_paths.h"
#include "reader/book_document_controller.h"
#include "reader/controller_books.h"
#include "reader/reader_controller.h"
#include "support/layout/context_canvas.h"
#include "support/platform/temp_device.h"

namespace fvt::test {
namespace {

class AnnotationPagesTest : public ::testing::Test {
protected:
    AnnotationPagesTest() {
        EXPECT_TRUE(device.ok());
        canvas = NewContextCanvas(240, 320);
        loader = std::make_unique<DocumentLoader>(7);
        loader->SetOptions(&paths, nullptr, nullptr);
        WriteControllerBooks(device);
        document.reset(static_cast<BookDocumentController*>(factory.CreateDocumentController(nullptr)));
        document->SetDocumentLoader(loader.get());
        document->SetLayoutGraphics(CanvasContext(canvas), Rect{0, 0, 240, 320});
        reader.SetDocumentController(document.get());
    }
    ~AnnotationPagesTest() override {
        reader.SetDocumentController(nullptr);
        document.reset();
        loader.reset();
        DeleteContextCanvas(canvas);
    }

    TempDevice device;
    BookDocumentControllerFactory factory;
    ContextCanvas* canvas = nullptr;
    AppPaths paths{Text(), nullptr};
    std::unique_ptr<DocumentLoader> loader;
    std::unique_ptr<BookDocumentController> document;
    ReaderController reader;
};

TEST_F(AnnotationPagesTest, WithoutAnOpenBookPagesAreUnknown) {
    LayoutAnnotationPages pages(&reader);
    EXPECT_EQ(pages.EstimatePage(0), -1);
    LayoutAnnotationPages none(nullptr);
    EXPECT_EQ(none.EstimatePage(0), -1);
}

TEST_F(AnnotationPagesTest, PagesGrowThroughTheBookAndStopAtItsLastPage) {
    ASSERT_TRUE(document->ActivateLink(String(u"\\books\\a.prc")));
    LayoutAnnotationPages pages(&reader);
    uint32_t length = document->DocumentLength();
    ASSERT_GT(length, 2000u);
    EXPECT_EQ(pages.EstimatePage(0), 1);
    int32_t middle = pages.EstimatePage(length / 2);
    EXPECT_GT(middle, 1);
    EXPECT_GT(pages.EstimatePage(length - 1), middle);
    ASSERT_TRUE(document->GoToPage(PageLayout::kNone));
    ASSERT_TRUE(document->Layout()->IsLastPageKnown());
    EXPECT_LE(pages.EstimatePage(0xFFFFFF00u), static_cast<int32_t>(document->Layout()->PageCount()));
}

}  // namespace
}  // namespace fvt::test
