// The picture and audio pages in a window: a tap on a reduced picture reaches the page through
// the surface and opens the picture full screen, whose commands then come from the window's bar.
#include <gtest/gtest.h>

#include <memory>

#include "core/platform_helpers.h"
#include "core/text.h"
#include "document/sources/document_loader.h"
#include "graphics/core/drawing_surface.h"
#include "graphics/core/input_event.h"
#include "layout/block_contents.h"
#include "layout/page_layout.h"
#include "library/paths/app_paths.h"
#include "platform/gdi/gdi_layer.h"
#include "reader/book_document_controller.h"
#include "reader/image_view.h"
#include "media_books.h"
#include "support/graphics/surface_host.h"
#include "support/media/audio_fixtures.h"

namespace {

class MediaWindowTest : public fvt::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (!fvt::test::WriteTalkBook(device_)) GTEST_SKIP() << fixtures::Tones().why;
        GdiUseSyntheticFonts(true);
        Rect work{};
        ASSERT_TRUE(Screen::GetWorkArea(work));
        hwnd = Make(work.x, work.y, 240, 300);
        ASSERT_NE(hwnd, nullptr);
        surface = std::make_unique<DrawingSurface>(nullptr);
        surface->SetWindow(hwnd);
        On(hwnd, fvt::test::SurfaceHost(surface.get()));
        loader = std::make_unique<DocumentLoader>(5);
        loader->SetOptions(&paths, nullptr, nullptr);
        controller.reset(
            static_cast<BookDocumentController*>(factory.CreateDocumentController(nullptr)));
        controller->SetDocumentLoader(loader.get());
        controller->SetDrawingSurface(surface.get());
    }
    void TearDown() override {
        if (hwnd)
            On(hwnd, [](HWND, UINT, WPARAM, LPARAM, bool& handled) -> LRESULT {
                handled = false;
                return 0;
            });
        controller.reset();
        loader.reset();
        surface.reset();
        GdiUseSyntheticFonts(false);
        WindowTest::TearDown();
    }
    void Repaint() {
        fvt::RunUntilIdle();
        surface->InvalidateRect(nullptr);
        fvt::RunUntilIdle();
    }
    bool Tap(Point p) {
        InputEvent down = InputEvent::Pen(kPenDown, p);
        InputEvent up = InputEvent::Pen(kPenUp, p);
        bool pressed = surface->HandleEvent(down);
        return surface->HandleEvent(up) && pressed;
    }

    HWND hwnd = nullptr;
    std::unique_ptr<DrawingSurface> surface;
    AppPaths paths{Text(), nullptr};
    BookDocumentControllerFactory factory;
    std::unique_ptr<DocumentLoader> loader;
    std::unique_ptr<BookDocumentController> controller;
};

TEST_F(MediaWindowTest, ATapOnAReducedPictureOpensItAndItsBarCommandsZoomIt) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\talk.prc")));
    Repaint();
    PageSlot* slot = controller->Layout()->CurrentPageSlot();
    ASSERT_NE(slot, nullptr);
    ASSERT_GE(slot->contents.KindCount(kItemInlineBox), 2);
    const Rect large = slot->contents.Object(1)->rect;
    // Text is not a picture: the page stays.
    EXPECT_FALSE(Tap(Point{large.x + 4, large.Bottom() + 30}));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kTextPage);

    EXPECT_TRUE(Tap(Point{large.x + large.width / 2, large.y + large.height / 2}));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kImageView);
    ImageView* picture = controller->Picture();
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->Viewport().factor, 256u);  // shown at its own size first
    EXPECT_EQ(controller->ViewMode(), static_cast<uint32_t>(ImageView::kViewKind));
    // Fit to view: the bar's command reaches the picture.
    ASSERT_TRUE(controller->IsCommandEnabled(28));
    EXPECT_TRUE(controller->ExecuteCommand(28));
    EXPECT_LT(picture->Viewport().factor, 256u);
    EXPECT_FALSE(controller->ExecuteCommand(66));  // a page step is not the picture's
}

}  // namespace
