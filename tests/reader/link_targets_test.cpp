// Link targets of the document controller: the order in which a target name is resolved, a
// new reader window for "_blank" that closes again when nothing opened in it, the main
// window that opens none, and tiling the windows over the work area.
#include <gtest/gtest.h>

#include <string>

#include "core/platform_helpers.h"
#include "core/resources.h"
#include "reader/book_document_controller.h"
#include "reader/book_document_controller_factory.h"
#include "reader/reader_core.h"
#include "reader/reader_window.h"
#include "controller_books.h"
#include "support/platform/temp_device.h"
#include "support/reader/reader_fakes.h"

namespace {

using fvt::test::U16;

class NoticeSink : public AppShellEvents {
public:
    void OnCommandNotice(DocumentController*, int32_t, uint32_t) override {}
};

class LinkTargetTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(device_.ok());
        fvt::test::WriteControllerBooks(device_);
        core_.SetHost(nullptr, &shell_);
        core_.SetDocumentControllerFactory(&factory_);
        core_.SetFrameHost(&frames_);
        ASSERT_EQ(0, core_.Open(true));
        ASSERT_EQ(0, core_.CreateLoader(0));
        main_ = static_cast<BookDocumentController*>(core_.MainWindow()->Document());
        ASSERT_NE(main_, nullptr);
    }
    void TearDown() override {
        core_.Close();
        Resources::FlushCache();
    }
    static std::u16string File(DocumentController* c) {
        const Location* l = c ? c->CurrentLocation() : nullptr;
        Text file;
        String s;
        if (l && l->ToFileName(file)) file.ToWide(s);
        return U16(s);
    }

    fvt::test::TempDevice device_;
    fvt::test::FakeShell shell_;
    BookDocumentControllerFactory factory_;
    fvt::test::FakeFrameHost frames_;
    ReaderCore core_;
    BookDocumentController* main_ = nullptr;
};

TEST_F(LinkTargetTest, NamesResolveToThisControllerANamedWindowOrNone) {
    EXPECT_EQ(main_->ResolveTarget(String(u"_blank")), nullptr);
    EXPECT_EQ(main_->ResolveTarget(String(u"_top")), main_);
    EXPECT_EQ(main_->ResolveTarget(String(u"_self")), main_);
    EXPECT_EQ(main_->ResolveTarget(String()), main_);
    EXPECT_EQ(main_->ResolveTarget(String(u"_SELF")), nullptr);  // exact names only
    String name(u"notes");
    DocumentController* notes = main_->OpenNewWindow(name, nullptr, true, false);
    ASSERT_NE(notes, nullptr);
    EXPECT_EQ(main_->ResolveTarget(String(u"notes")), notes);
    EXPECT_EQ(main_->ResolveTarget(String(u"other")), nullptr);
}

TEST_F(LinkTargetTest, ABlankTargetOpensTheLinkInANewWindow) {
    ASSERT_TRUE(main_->ActivateLink(String(u"\\books\\a.prc")));
    ASSERT_TRUE(main_->OpenInTarget(String(u"b.prc"), String(u"_blank"), nullptr, true));
    ASSERT_EQ(frames_.owned.size(), 1u);
    // Relative to the document it was in; the window takes a quarter of the work area.
    EXPECT_EQ(File(frames_.owned[0]->Document()), u"\\books\\b.prc");
    EXPECT_EQ(File(main_), u"\\books\\a.prc");
    Rect work{};
    ASSERT_TRUE(Screen::GetWorkArea(work));
    EXPECT_EQ(frames_.rects[0].width, work.width / 2);
    EXPECT_EQ(frames_.rects[0].height, work.height / 2);
    EXPECT_EQ(frames_.flags[0], 3);  // laid out, topmost
    EXPECT_EQ(U16(frames_.owned[0]->Name()).substr(0, 3), u"wnd");
}

TEST_F(LinkTargetTest, ANewWindowWhereNothingOpensClosesAgain) {
    EXPECT_FALSE(main_->OpenInTarget(String(u"\\books\\missing.prc"), String(u"_blank"), nullptr,
                                     true));
    EXPECT_EQ(frames_.closed, 1);
    EXPECT_TRUE(frames_.owned.empty());
    EXPECT_EQ(core_.WindowCount(), 1);
}

TEST_F(LinkTargetTest, SelfOpensInThisWindow) {
    ASSERT_TRUE(main_->ActivateLink(String(u"\\books\\a.prc")));
    ASSERT_TRUE(main_->OpenInTarget(String(u"b.prc"), String(u"_self"), nullptr, true));
    EXPECT_EQ(File(main_), u"\\books\\b.prc");
    EXPECT_TRUE(frames_.owned.empty());
}

TEST_F(LinkTargetTest, TheMainWindowWithTheShellsSinkOpensNoWindow) {
    NoticeSink sink;
    main_->SetEventSink(&sink, 0);
    String name(u"_blank");
    EXPECT_EQ(main_->OpenNewWindow(name, nullptr, true, false), nullptr);
    EXPECT_FALSE(main_->OpenInTarget(String(u"\\books\\b.prc"), String(u"_blank"), nullptr, true));
    EXPECT_EQ(core_.WindowCount(), 1);
    main_->SetEventSink(nullptr, 0);
}

TEST(TileRects, ThreeWindowsShareTheAreaInThirds) {
    Rect area{10, 20, 240, 300};
    for (int32_t i = 0; i < 3; ++i) {
        Rect r = BookDocumentController::TileRect(area, 3, i, true);
        EXPECT_EQ(r.x, 10);
        EXPECT_EQ(r.width, 240);
        EXPECT_EQ(r.height, 100);
        EXPECT_EQ(r.y, 20 + 100 * i);
    }
    Rect last = BookDocumentController::TileRect(area, 2, 1, false);
    EXPECT_EQ(last.x, 130);
    EXPECT_EQ(last.width, 120);
    EXPECT_EQ(last.height, 300);
}

}  // namespace
