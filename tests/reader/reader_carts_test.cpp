// Carts through the reader controller, and the controller's messages to the main window (the
// audio player's notices and Exit).
#include <gtest/gtest.h>

#include <filesystem>

#include "bookfiles/sorted_record_database.h"
#include "core/file.h"
#include "core/resources.h"
#include "database/cart.h"
#include "document/sources/interaction_pages.h"
#include "reader/reader_command_ids.h"
#include "reader/reader_controller.h"
#include "support/platform/temp_device.h"
#include "support/platform/window_fixture.h"
#include "support/reader/reader_fakes.h"

namespace {

using fvt::test::U16;

class ReaderCartsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(device_.ok());
        CartStore::Register();
        ASSERT_EQ(0, log_.OpenInMemory(nullptr, 0, 0));
        controller_.SetLogDatabase(&log_);
        controller_.SetDocumentController(&doc_);
        controller_.SetShell(&shell_);
    }
    void TearDown() override { Resources::FlushCache(); }

    fvt::test::TempDevice device_;
    SortedRecordDatabase log_;
    fvt::test::FakeDocumentController doc_;
    fvt::test::FakeShell shell_;
    ReaderController controller_;
};

TEST_F(ReaderCartsTest, TheFirstNameMakesTheOneCart) {
    ASSERT_TRUE(controller_.AddToCart(String(u"wishes"), String(u"id1"), String(u"One")));
    ASSERT_TRUE(controller_.AddToCart(String(u"interactions"), String(u"id2"), String(u"Two")));
    Cart* cart = CartStore::From(&log_, String(u"other"));
    ASSERT_NE(cart, nullptr);
    EXPECT_EQ(U16(cart->Name()), u"wishes");
    EXPECT_EQ(cart->Count(), 2);
    // The message follows the cart's own name, not the one asked for.
    ASSERT_EQ(shell_.messages.size(), 2u);
    EXPECT_EQ(shell_.messages[1], u"The item has been successfully added to the list.");
    EXPECT_EQ(shell_.captions[1], u"Confirmation");
    EXPECT_EQ(shell_.messageFlags[1], 64u);
}

TEST_F(ReaderCartsTest, InteractionsCartConfirmsADrug) {
    ASSERT_TRUE(controller_.AddToCart(String(u"interactions"), String(u"d"), String(u"Drug")));
    ASSERT_EQ(shell_.messages.size(), 1u);
    EXPECT_EQ(shell_.messages[0], u"The drug has been added to the prescription.");
}

TEST_F(ReaderCartsTest, AddingAnEmptyIdFailsWithoutAMessage) {
    EXPECT_FALSE(controller_.AddToCart(String(u"c"), String(), String(u"x")));
    EXPECT_TRUE(shell_.messages.empty());
}

TEST_F(ReaderCartsTest, NoLogDatabaseMeansNoCart) {
    controller_.SetLogDatabase(nullptr);
    EXPECT_FALSE(controller_.AddToCart(String(u"c"), String(u"a"), String()));
    EXPECT_FALSE(controller_.ClearCart(String(u"c")));
    EXPECT_FALSE(controller_.RemoveFromCart(String(u"c"), 0));
    EXPECT_FALSE(controller_.WriteCartXml(String(u"c"), String(u"c.xml")));
}

TEST_F(ReaderCartsTest, ClearingAnEmptyCartSucceedsWithoutAReload) {
    EXPECT_TRUE(controller_.ClearCart(String(u"c")));
    EXPECT_TRUE(doc_.calls.empty());
    controller_.AddToCart(String(u"c"), String(u"a"), String());
    EXPECT_TRUE(controller_.ClearCart(String(u"c")));
    EXPECT_EQ(doc_.calls, (std::vector<std::string>{"ReloadDocument"}));
    EXPECT_EQ(CartStore::From(&log_, String(u"c"))->Count(), 0);
}

TEST_F(ReaderCartsTest, RemovingOutOfRangeChangesNothing) {
    controller_.AddToCart(String(u"c"), String(u"a"), String());
    EXPECT_FALSE(controller_.RemoveFromCart(String(u"c"), 1));
    EXPECT_FALSE(controller_.RemoveFromCart(String(u"c"), -1));
    EXPECT_TRUE(doc_.calls.empty());
    EXPECT_TRUE(controller_.RemoveFromCart(String(u"c"), 0));
    EXPECT_EQ(doc_.calls, (std::vector<std::string>{"ReloadDocument"}));
}

TEST_F(ReaderCartsTest, BooksMayExportOnlyIntoTheDataFolder) {
    Text data;
    ASSERT_TRUE(GetAppDataFolder(data));
    String wide;
    ASSERT_TRUE(data.ToWide(wide));
    std::string relative;
    for (int32_t i = 0; i < wide.Length(); ++i)
        relative += wide[i] == u'\\' ? '/' : static_cast<char>(wide[i]);
    while (!relative.empty() && relative[0] == '/') relative.erase(0, 1);
    std::filesystem::create_directories(device_.Host(relative));
    controller_.AddToCart(String(u"c"), String(u"a"), String(u"A"));
    EXPECT_TRUE(controller_.WriteCartXml(String(u"c"), String(u"cart.xml")));
    EXPECT_TRUE(std::filesystem::exists(device_.Host(relative + "/cart.xml")));
    EXPECT_TRUE(controller_.WriteCartXml(String(u"c"), String(u"..x.xml")));
    for (const char16_t* bad : {u"\\Windows\\cart.xml", u"/etc/cart.xml", u"..\\cart.xml",
                                u"sub\\..\\..\\cart.xml", u"a/../cart.xml", u"C:cart.xml", u".."})
        EXPECT_FALSE(controller_.WriteCartXml(String(u"c"), String(bad)))
            << std::string(U16(String(bad)).begin(), U16(String(bad)).end());
    EXPECT_FALSE(controller_.WriteCartXml(String(u"c"), String()));
}

// ---- Messages to the main window --------------------------------------------------------------

class ReaderWindowMessagesTest : public fvt::test::WindowTest {
protected:
    void TearDown() override {
        Resources::FlushCache();
        WindowTest::TearDown();
    }
};

class NoTracks : public TrackList {
public:
    uint32_t Count() override { return 2; }
    void GetTitle(uint32_t, String&) override {}
    AudioSource** OpenTrack(AudioSource** source, uint32_t) override {
        *source = nullptr;
        return source;
    }
};

TEST_F(ReaderWindowMessagesTest, PlayerNoticesArriveThroughTheMainWindow) {
    HWND main = Make(0, 0, 100, 100);
    ASSERT_NE(main, nullptr);
    Watch({ReaderController::kAudioNoticeMessage});
    fvt::test::ManualTimerHost host;
    fvt::test::FakeDocumentController doc;
    ReaderController controller;
    controller.SetTimerHost(&host);
    controller.SetDocumentController(&doc);
    controller.SetMainWindow(main);
    controller.InitPopupCallbacks();
    NoTracks tracks;
    controller.SetTrackList(&tracks);
    controller.OnCommand(Cmd::kNextTrack, true);  // the player announces a track change
    EXPECT_TRUE(controller.Queue().IsEmpty());       // nothing queued from the player's side
    fvt::RunUntilIdle();
    ASSERT_FALSE(Log().empty());
    EXPECT_EQ(Log()[0].hwnd, main);
    // The window procedure delivers them on this thread; they become queued commands.
    controller.Player().DeliverNotices();
    EXPECT_FALSE(controller.Queue().IsEmpty());
    host.FireAll(controller.Timers());
    ASSERT_FALSE(doc.executed.empty());
    EXPECT_EQ(doc.executed[0], Cmd::kPlayerTrackChanging);
    controller.SetTrackList(nullptr);
}

TEST_F(ReaderWindowMessagesTest, ExitClosesTheMainWindow) {
    HWND main = Make(0, 0, 100, 100);
    Watch({WM_CLOSE});
    ReaderController controller;
    controller.OnCommand(Cmd::kExit, true);  // no main window: nothing
    controller.SetMainWindow(main);
    controller.OnCommand(Cmd::kExit, true);
    fvt::RunUntilIdle();
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].hwnd, main);
}

}  // namespace
