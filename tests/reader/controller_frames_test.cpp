// The document controller's frames over a book with a frameset: the frames follow the page
// start (built on entering the frameset's range, kept while paging inside it, gone before it),
// their controllers show the book from their own positions, and the hardware keys run the
// links the frameset names.
#include <gtest/gtest.h>

#include "bookfiles/annotation_file.h"
#include "document/location/location.h"
#include "document/markup/link_target.h"
#include "layout/page_layout.h"
#include "reader/book_document_controller.h"
#include "script/script_heap.h"
#include "controller_fixture.h"

namespace {

using fvt::test::U;

struct FramesTest : fvt::test::ControllerFixture {
    FramesTest() {
        // Key handlers run as book actions: the controller needs a script heap.
        controller.reset(static_cast<BookDocumentController*>(factory.CreateDocumentController(&heap)));
        controller->SetDocumentLoader(loader.get());
        controller->Page().SetGraphics(fvt::test::CanvasContext(canvas), Rect{0, 0, 240, 320});
        keys = fvt::test::WriteFramedBook(device);
    }
    ~FramesTest() override { controller.reset(); }

    ScriptHeap heap;
    uint32_t keys = 0;
};

TEST_F(FramesTest, FramesFollowThePageStart) {
    ASSERT_TRUE(Open(u"\\books\\framed.prc"));
    ASSERT_LT(controller->GetPageStart(), 100);  // before the frameset's range
    EXPECT_EQ(controller->Frames().Root().EntryCount(), 1);
    EXPECT_EQ(controller->Frames().ControllerCount(), 0u);

    ASSERT_TRUE(controller->GoToPosition(200));
    Frame& root = controller->Frames().Root();
    ASSERT_EQ(root.EntryCount(), 3);
    EXPECT_EQ(U(root.EntryAt(0)->name), u"title");
    EXPECT_EQ(U(root.EntryAt(1)->name), u"main");
    ASSERT_EQ(controller->Frames().ControllerCount(), 2u);
    BookDocumentController* title = controller->Frames().ControllerAt(0);
    BookDocumentController* foot = controller->Frames().ControllerAt(1);
    if (title->Frames().Position() > foot->Frames().Position()) std::swap(title, foot);
    EXPECT_EQ(title->Frames().Position(), 300u);
    EXPECT_EQ(title->GetPageStart(), 300);
    EXPECT_EQ(foot->GetPageStart(), 600);
    EXPECT_TRUE(title->Frames().IsFrame());
    // The window's side file is the window's own controller's alone.
    EXPECT_NE(controller->CurrentAnnotationFile(), nullptr);
    EXPECT_EQ(title->CurrentAnnotationFile(), nullptr);
    // The window's own page keeps its place in the frame left between the strips.
    EXPECT_EQ(controller->GetPageStart(), 200);

    // Paging inside the range keeps the frames and their controllers.
    ASSERT_TRUE(controller->StepPage(PageStepCode::kNextPage));
    ASSERT_EQ(controller->Frames().ControllerCount(), 2u);
    EXPECT_TRUE(controller->Frames().ControllerAt(0) == title || controller->Frames().ControllerAt(0) == foot);

    // Before the range: the single frame "_main" again, the controllers gone.
    ASSERT_TRUE(controller->GoToPosition(0));
    EXPECT_EQ(controller->Frames().Root().EntryCount(), 1);
    EXPECT_EQ(U(controller->Frames().Root().EntryAt(0)->name), u"_main");
    EXPECT_EQ(controller->Frames().ControllerCount(), 0u);
    EXPECT_TRUE(controller->Frames().KeyLinks().empty());
}

TEST_F(FramesTest, HardwareKeysRunTheFramesetsLinks) {
    ASSERT_TRUE(Open(u"\\books\\framed.prc"));
    EXPECT_FALSE(controller->OnHardwareKey(1));  // no frameset at the first page
    ASSERT_TRUE(controller->GoToPosition(200));
    ASSERT_EQ(controller->Frames().KeyLinks().size(), 1u);
    EXPECT_EQ(U(controller->Frames().KeyLinks()[0]->name), u"key1");
    EXPECT_EQ(U(controller->Frames().KeyTexts()[0]), u"Onwards");
    EXPECT_FALSE(controller->OnHardwareKey(2));  // "key2": no such handler
    EXPECT_FALSE(controller->OnHardwareKey(99));
    ASSERT_TRUE(controller->OnHardwareKey(1));
    EXPECT_EQ(controller->GetPageStart(), 5000);
}

TEST_F(FramesTest, ClosingTheWindowTakesTheFramesDown) {
    ASSERT_TRUE(Open(u"\\books\\framed.prc"));
    ASSERT_TRUE(controller->GoToPosition(200));
    ASSERT_EQ(controller->Frames().ControllerCount(), 2u);
    // Another book: its first page has no frameset.
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    EXPECT_EQ(controller->Frames().ControllerCount(), 0u);
    ASSERT_TRUE(controller->HistoryBack(false));
    ASSERT_EQ(controller->GetPageStart(), 200);
    EXPECT_EQ(controller->Frames().ControllerCount(), 2u);
    controller->Shutdown();
    EXPECT_EQ(controller->Frames().ControllerCount(), 0u);
}

// Target names reach the frames of the window: a frame by its name (the window's own under the
// name of its frame), "_top" the whole window even from a frame, "_self" the frame itself.
TEST_F(FramesTest, TargetsNameTheWindowsFrames) {
    ASSERT_TRUE(Open(u"\\books\\framed.prc"));
    EXPECT_EQ(controller->ResolveTarget(String(u"foot")), nullptr);  // no frames yet
    ASSERT_TRUE(controller->GoToPosition(200));
    ASSERT_EQ(controller->Frames().ControllerCount(), 2u);
    BookDocumentController* title = controller->Frames().ControllerAt(0);
    BookDocumentController* foot = controller->Frames().ControllerAt(1);
    if (title->Frames().Position() > foot->Frames().Position()) std::swap(title, foot);
    EXPECT_EQ(controller->ResolveTarget(String(u"foot")), foot);
    EXPECT_EQ(title->ResolveTarget(String(u"foot")), foot);
    EXPECT_EQ(foot->ResolveTarget(String(u"main")), controller.get());
    EXPECT_EQ(foot->ResolveTarget(String(u"_top")), controller.get());
    EXPECT_EQ(foot->ResolveTarget(String(u"_self")), foot);
    EXPECT_EQ(foot->ResolveTarget(String(u"Foot")), nullptr);  // exact names only
    EXPECT_EQ(foot->ResolveTarget(String(u"_blank")), nullptr);
    // A frame's page links are followed by the window's controller.
    EXPECT_EQ(&foot->LinkController(), controller.get());
    EXPECT_EQ(&controller->LinkController(), controller.get());
    // Opening in a named frame shows the place there.
    Location at;
    ASSERT_TRUE(at.SetPositionAnchor(5000));
    ASSERT_TRUE(title->OpenInTarget(at.Anchor(), String(u"main"), nullptr, false));
    EXPECT_EQ(controller->GetPageStart(), 5000);
}

}  // namespace
