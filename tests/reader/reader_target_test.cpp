// Reader windows that a link opens: their names, finding them again, the frame that owns them,
// failures that leave nothing behind, and shut-down closing each exactly once.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/geometry.h"
#include "core/resources.h"
#include "reader/reader_core.h"
#include "reader/reader_host.h"
#include "reader/reader_window.h"
#include "support/platform/temp_device.h"
#include "support/reader/reader_fakes.h"

namespace {

using fvt::test::U16;

using fvt::test::FakeFrameHost;

class ReaderTargetTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(device_.ok());
        core_.SetHost(nullptr, &shell_);
        core_.SetDocumentControllerFactory(&factory_);
        core_.SetFrameHost(&frames_);
        ASSERT_EQ(0, core_.Open(true));
        ASSERT_EQ(0, core_.CreateLoader(0));
    }
    void TearDown() override {
        core_.Close();
        Resources::FlushCache();
    }
    ReaderWindow* Open(String& target, const String* caption = nullptr) {
        return ReaderWindow::OpenTarget(&core_, target, nullptr, caption, true, false);
    }

    fvt::test::TempDevice device_;
    fvt::test::FakeShell shell_;
    fvt::test::FakeFactory factory_;
    FakeFrameHost frames_;
    ReaderCore core_;
};

TEST_F(ReaderTargetTest, BlankTwiceGivesTwoNamedWindowsAndTellsTheCaller) {
    String first(u"_blank"), second(u"_blank");
    ReaderWindow* a = Open(first);
    ReaderWindow* b = Open(second);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(U16(first).substr(0, 3), u"wnd");
    EXPECT_EQ(U16(first), U16(a->Name()));
    EXPECT_EQ(U16(second), U16(b->Name()));
    EXPECT_NE(U16(first), U16(second));
    EXPECT_EQ(core_.WindowCount(), 3);
    EXPECT_EQ(core_.FindControllerByName(first), a->Document());
    EXPECT_EQ(core_.FindControllerByName(second), b->Document());
    EXPECT_FALSE(a->IsMain());
}

TEST_F(ReaderTargetTest, NamedTargetIsFoundByItsNameLater) {
    String target(u"notes");
    ReaderWindow* w = Open(target);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(U16(target), u"notes");
    EXPECT_EQ(core_.FindControllerByName(String(u"notes")), w->Document());
    EXPECT_EQ(core_.FindControllerByName(String(u"Notes")), nullptr);  // exact names only
    EXPECT_EQ(frames_.flags.back(), 1);
}

TEST_F(ReaderTargetTest, FrameCaptionIsTheGivenOneElseTheDocumentsTitle) {
    String target(u"a"), caption(u"Glossary");
    ASSERT_NE(Open(target, &caption), nullptr);
    EXPECT_EQ(frames_.captions.back(), u"Glossary");
    factory_.title = u"Moby Dick";
    String other(u"b");
    ASSERT_NE(Open(other), nullptr);
    EXPECT_EQ(frames_.captions.back(), u"Moby Dick");
    factory_.title.clear();
    String third(u"c");
    ASSERT_NE(Open(third), nullptr);
    EXPECT_EQ(frames_.captions.back(), u"<none>");
}

TEST_F(ReaderTargetTest, FailuresLeaveNoWindowBehind) {
    frames_.fail = true;
    String target(u"_blank");
    EXPECT_EQ(Open(target), nullptr);
    EXPECT_EQ(U16(target), u"_blank");  // the caller learns no name
    EXPECT_EQ(core_.WindowCount(), 1);
    frames_.fail = false;

    // A window whose document controller cannot be made is closed, not shown half made.
    factory_.fail = true;
    String named(u"x");
    EXPECT_EQ(Open(named), nullptr);
    EXPECT_EQ(core_.WindowCount(), 1);
    EXPECT_EQ(core_.FindControllerByName(named), nullptr);
    EXPECT_TRUE(frames_.owned.empty());
}

TEST_F(ReaderTargetTest, WithoutFramesNoWindowOpens) {
    core_.SetFrameHost(nullptr);
    String target(u"_blank");
    EXPECT_EQ(Open(target), nullptr);
    EXPECT_EQ(core_.WindowCount(), 1);
}

TEST_F(ReaderTargetTest, ClosingATargetWindowTakesItOffTheList) {
    String target(u"t");
    ReaderWindow* w = Open(target);
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(frames_.CloseFrame(w));
    EXPECT_EQ(core_.WindowCount(), 1);
    EXPECT_EQ(core_.FindControllerByName(String(u"t")), nullptr);
}

TEST_F(ReaderTargetTest, ShutDownClosesEveryTargetWindowThroughItsFrameOnce) {
    String a(u"_blank"), b(u"two");
    ASSERT_NE(Open(a), nullptr);
    ASSERT_NE(Open(b), nullptr);
    core_.Close();
    EXPECT_EQ(frames_.closed, 2);
    EXPECT_TRUE(frames_.owned.empty());  // the frames hold nothing to delete again
    EXPECT_EQ(core_.WindowCount(), 0);
    EXPECT_EQ(core_.MainWindow(), nullptr);
}

}  // namespace
