// The reader controller: the executor's ranges and notices, the command queue and its timer,
// the command groups, annotations, carts and the font list.
#include "reader/dictionary_lookups.h"
#include "reader/reader_controller.h"

#include <gtest/gtest.h>

#include <memory>

#include "bookfiles/annotation_file.h"
#include "core/platform_helpers.h"
#include "core/resources.h"
#include "platform/kernel/system_info.h"
#include "platform/last_error.h"
#include "reader/reader_command_ids.h"
#include "reader/reader_settings.h"
#include "support/platform/temp_device.h"
#include "support/reader/reader_fakes.h"

namespace {

using fvt::test::FakeDocumentController;
using fvt::test::FakeShell;
using fvt::test::ManualTimerHost;
using fvt::test::U16;

class ReaderControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(device_.ok());
        controller_ = std::make_unique<ReaderController>();
        controller_->SetTimerHost(&host_);
        controller_->SetDocumentController(&doc_);
        controller_->SetShell(&shell_);
        settings_.Load(true);
        controller_->SetSettings(&settings_);
        controller_->InitPopupCallbacks();
    }
    void TearDown() override {
        if (controller_) {
            EXPECT_TRUE(controller_->CheckInvariants());
        }
        Resources::FlushCache();  // texts cached for this device's language
    }
    void Fire() { host_.FireAll(controller_ ? controller_->Timers() : *orphanList_); }

    fvt::test::TempDevice device_;
    ManualTimerHost host_;
    FakeDocumentController doc_;
    FakeShell shell_;
    ReaderSettings settings_;
    std::unique_ptr<ReaderController> controller_;
    TimerList* orphanList_ = nullptr;
};

// ---- The queue ---------------------------------------------------------------------------------

TEST_F(ReaderControllerTest, ThreePostsStartOneTimerAndRunInOrder) {
    EXPECT_EQ(controller_->PostCommand(110), 0);
    EXPECT_EQ(controller_->PostCommand(111), 1);
    EXPECT_EQ(controller_->PostCommand(110), 2);
    EXPECT_EQ(host_.started, 1);
    EXPECT_TRUE(doc_.executed.empty());  // nothing runs inside the poster's stack
    EXPECT_TRUE(controller_->CheckInvariants());
    Fire();
    EXPECT_EQ(doc_.executed, (std::vector<int32_t>{110, 111, 110}));
    EXPECT_EQ(doc_.notified, (std::vector<int32_t>{110, 111, 110}));
    EXPECT_TRUE(controller_->Queue().IsEmpty());
    EXPECT_EQ(controller_->Queue().TimerId(), -1);
    EXPECT_TRUE(host_.live.empty());
}

// A queued call (a navigation a script asked for) runs after the commands posted before it and
// before those posted after it, once.
TEST_F(ReaderControllerTest, AQueuedCallRunsInItsPlaceAmongTheCommands) {
    struct Call : QueuedCall {
        explicit Call(FakeDocumentController& doc) : doc_(doc) {}
        void Run() override { doc_.executed.push_back(-1); }
        FakeDocumentController& doc_;
    };
    controller_->PostCommand(110);
    EXPECT_TRUE(controller_->Queue().PostCall(std::make_unique<Call>(doc_)));
    controller_->PostCommand(111);
    EXPECT_FALSE(controller_->Queue().IsEmpty());
    EXPECT_TRUE(controller_->CheckInvariants());
    EXPECT_TRUE(doc_.executed.empty());
    Fire();
    EXPECT_EQ(doc_.executed, (std::vector<int32_t>{110, -1, 111}));
    EXPECT_TRUE(controller_->Queue().IsEmpty());
    Fire();
    EXPECT_EQ(doc_.executed.size(), 3u);
    EXPECT_FALSE(controller_->Queue().PostCall(nullptr));
}

TEST_F(ReaderControllerTest, CommandsPostedWhileDrainingRunInTheSamePass) {
    doc_.onExecute = [&](int32_t id) {
        if (id == 110) controller_->PostCommand(112);
    };
    controller_->PostCommand(110);
    controller_->PostCommand(111);
    Fire();
    EXPECT_EQ(doc_.executed, (std::vector<int32_t>{110, 111, 112}));
    EXPECT_EQ(host_.started, 1);
    EXPECT_TRUE(host_.live.empty());
}

TEST_F(ReaderControllerTest, ACommandThatDestroysTheControllerStopsTheQueue) {
    doc_.onExecute = [&](int32_t id) {
        if (id == 111) {
            orphanList_ = nullptr;
            controller_.reset();
        }
    };
    controller_->PostCommand(110);
    controller_->PostCommand(111);
    controller_->PostCommand(112);
    host_.FireAll(controller_->Timers());
    EXPECT_EQ(doc_.executed, (std::vector<int32_t>{110, 111}));
    // The destroyed controller's notice for 111 never came.
    EXPECT_EQ(doc_.notified, (std::vector<int32_t>{110}));
    EXPECT_TRUE(host_.live.empty());
}

TEST_F(ReaderControllerTest, DirectCommandThatDestroysTheControllerSkipsTheNotice) {
    doc_.onExecute = [&](int32_t) { controller_.reset(); };
    ReaderController* raw = controller_.get();
    raw->OnCommand(26, false);
    EXPECT_EQ(doc_.executed, (std::vector<int32_t>{26}));
    EXPECT_TRUE(doc_.notified.empty());
}

TEST_F(ReaderControllerTest, AFailedTimerDoesNotStallLaterPosts) {
    host_.failNext = 1;
    controller_->PostCommand(110);
    EXPECT_EQ(controller_->Queue().TimerId(), -1);
    controller_->PostCommand(111);
    EXPECT_NE(controller_->Queue().TimerId(), -1);
    EXPECT_TRUE(controller_->CheckInvariants());
    Fire();
    EXPECT_EQ(doc_.executed, (std::vector<int32_t>{110, 111}));
}

TEST_F(ReaderControllerTest, AModalLoopInsideACommandDoesNotDrainTheQueueAgain) {
    std::vector<std::string> order;
    doc_.onExecute = [&](int32_t id) {
        order.push_back("begin " + std::to_string(id));
        if (id == 110) {
            controller_->PostCommand(111);
            // A message box's loop serves whatever timers are live.
            host_.FireAll(controller_->Timers());
        }
        order.push_back("end " + std::to_string(id));
    };
    controller_->PostCommand(110);
    Fire();
    EXPECT_EQ(order, (std::vector<std::string>{"begin 110", "end 110", "begin 111", "end 111"}));
}

class Parked : public ParkedObject {
public:
    explicit Parked(bool* gone) : gone_(gone) {}
    ~Parked() override { *gone_ = true; }

private:
    bool* gone_;
};

TEST_F(ReaderControllerTest, ParkedObjectsAreFreedByTheNextDrain) {
    bool gone = false;
    doc_.onExecute = [&](int32_t) {
        // A command replacing the view that runs it.
        controller_->Queue().Park(std::make_unique<Parked>(&gone));
        EXPECT_FALSE(gone);
    };
    controller_->OnCommand(26, false);
    EXPECT_FALSE(gone);
    EXPECT_NE(controller_->Queue().TimerId(), -1);
    Fire();
    EXPECT_TRUE(gone);
    EXPECT_EQ(controller_->Queue().TimerId(), -1);
}

TEST_F(ReaderControllerTest, ForeignTimerIdsAreIgnored) {
    controller_->PostCommand(110);
    int32_t other = -1;
    class Nothing : public TimerCallback {
        void OnTimer(TimerList&, int32_t) override {}
    } nothing;
    controller_->Timers().StartOnce(&nothing, 0, other, false);
    Fire();
    EXPECT_EQ(doc_.executed, (std::vector<int32_t>{110}));
}

// ---- The executor ------------------------------------------------------------------------------

TEST_F(ReaderControllerTest, WindowPartRangesReachTheDocumentController) {
    for (int32_t id : {26, 39, 91, 100, 103, 105, 13, 40, 87, 90}) controller_->OnCommand(id, true);
    EXPECT_EQ(doc_.executed, (std::vector<int32_t>{26, 39, 91, 100, 103, 105, 13, 40, 87, 90}));
    EXPECT_EQ(doc_.notified, doc_.executed);
}

TEST_F(ReaderControllerTest, DisplayCommandsStillEndWithTheNotice) {
    for (int32_t id = 74; id <= 82; ++id) controller_->OnCommand(id, true);
    EXPECT_TRUE(doc_.executed.empty());
    EXPECT_EQ(doc_.notified.size(), 9u);
}

TEST_F(ReaderControllerTest, IdsWithoutACaseDoNothingButTheNotice) {
    for (int32_t id : {130, -1, 52, 68, 83, 108, 121, 50013}) controller_->OnCommand(id, false);
    EXPECT_TRUE(doc_.executed.empty());
    EXPECT_TRUE(doc_.links.empty());
    EXPECT_TRUE(shell_.Actions().empty());
    EXPECT_EQ(doc_.notified, (std::vector<int32_t>{130, -1, 52, 68, 83, 108, 121, 50013}));
    // Direct commands close the tool panels first; queued ones do not.
    EXPECT_EQ(shell_.log.size(), 8u);
    controller_->OnCommand(130, true);
    EXPECT_EQ(shell_.log.size(), 8u);
}

TEST_F(ReaderControllerTest, NavigationCommandsOpenTheirPages) {
    controller_->OnCommand(Cmd::kLibrary, true);
    controller_->OnCommand(Cmd::kHelp, true);
    controller_->OnCommand(Cmd::kCover, true);
    EXPECT_EQ(doc_.links, (std::vector<std::u16string>{
                              u"oeb:library", u"oeb:redirect?title=Folivant_Help", u"$cover"}));
    controller_->OnCommand(Cmd::kWordList, true);
    controller_->OnCommand(Cmd::kSearchHistory, true);
    ASSERT_EQ(doc_.queries.size(), 2u);
    EXPECT_EQ(doc_.queries[0], std::make_pair(109u, 25u));
    EXPECT_EQ(doc_.queries[1], std::make_pair(115u, 25u));
}

TEST_F(ReaderControllerTest, AnnotationsPageIsNotOpenedOverAnInternalPage) {
    doc_.hasLocation = true;
    ASSERT_TRUE(doc_.location.Parse(String(u"oeb:fvt_iconlib"), true));
    ASSERT_TRUE(doc_.location.IsInternal());
    controller_->OnCommand(Cmd::kAnnotations, true);
    ASSERT_TRUE(doc_.location.Parse(String(u"oeb:library"), true));  // the library page
    controller_->OnCommand(Cmd::kAnnotations, true);
    EXPECT_TRUE(doc_.links.empty());
    ASSERT_TRUE(doc_.location.Parse(String(u"\\storage\\eBooks\\a.prc"), true));
    controller_->OnCommand(Cmd::kAnnotations, true);
    EXPECT_EQ(doc_.links, (std::vector<std::u16string>{u"oeb:bookmarks"}));
}

TEST_F(ReaderControllerTest, ContentsFallsBackToTheLibrary) {
    doc_.openSucceeds = false;
    controller_->OnCommand(Cmd::kContents, true);
    EXPECT_EQ(doc_.links, (std::vector<std::u16string>{u"oeb:library"}));
    // With a stored book, that book opens with the view query (54, 23).
    doc_.links.clear();
    doc_.openSucceeds = true;
    settings_.SetLastBook(String(u"\\storage\\eBooks\\a.prc"));
    controller_->OnCommand(Cmd::kContents, true);
    EXPECT_TRUE(doc_.links.empty());
    ASSERT_EQ(doc_.queries.size(), 1u);
    EXPECT_EQ(doc_.queries[0], std::make_pair(54u, 23u));
    // In a book, its table of contents.
    doc_.hasLocation = true;
    ASSERT_TRUE(doc_.location.Parse(String(u"\\storage\\eBooks\\a.prc"), true));
    controller_->OnCommand(Cmd::kContents, true);
    EXPECT_EQ(doc_.references, (std::vector<std::u16string>{u"toc"}));
}

TEST_F(ReaderControllerTest, StartAndForwardAskTheLinkHookFirst) {
    doc_.goOn = false;
    controller_->OnCommand(Cmd::kForward, true);
    controller_->OnCommand(Cmd::kStart, true);
    EXPECT_EQ(doc_.calls, (std::vector<std::string>{"Ask", "Ask"}));
    EXPECT_EQ(doc_.references, (std::vector<std::u16string>{u"start"}));
    doc_.goOn = true;
    controller_->OnCommand(Cmd::kForward, true);
    EXPECT_EQ(doc_.calls.back(), "Forward");
}

TEST_F(ReaderControllerTest, TapActionCommandsStoreTheirValue) {
    controller_->OnCommand(59, true);
    EXPECT_EQ(settings_.tapAction, 2u);
    EXPECT_EQ(doc_.executed, (std::vector<int32_t>{87}));
    controller_->OnCommand(58, true);
    EXPECT_EQ(settings_.tapAction, 3u);
    controller_->OnCommand(65, true);
    EXPECT_EQ(settings_.tapAction, 9u);
    EXPECT_EQ(doc_.executed, (std::vector<int32_t>{87, 40}));
}

TEST_F(ReaderControllerTest, TextSizeSteps) {
    controller_->OnCommand(Cmd::kZoomIn, true);
    controller_->OnCommand(Cmd::kZoomOut, true);
    EXPECT_EQ(doc_.sizeSteps, (std::vector<int32_t>{1, -1}));
}

TEST_F(ReaderControllerTest, ZoomNormalAtTheMetricSizeDoesNotRelayout) {
    controller_->OnCommand(Cmd::kZoomNormal, true);
    EXPECT_TRUE(doc_.calls.empty());
    settings_.SetFontSize(settings_.DefaultFontSize() + 1);
    controller_->OnCommand(Cmd::kZoomNormal, true);
    EXPECT_EQ(doc_.calls, (std::vector<std::string>{"SaveViewState"}));
    EXPECT_EQ(settings_.FontSize(), settings_.DefaultFontSize());
}

TEST_F(ReaderControllerTest, ProgressBarToggles) {
    controller_->OnCommand(Cmd::kProgressBar, true);
    EXPECT_EQ(settings_.progressBar, 1);
    controller_->OnCommand(Cmd::kProgressBar, true);
    EXPECT_EQ(settings_.progressBar, 0);
}

TEST_F(ReaderControllerTest, ShellCommandsReachTheShell) {
    for (int32_t id : {4, 6, 7, 17, 20, 55, 84, 113, 119}) controller_->OnCommand(id, true);
    EXPECT_EQ(shell_.Actions(),
              (std::vector<std::string>{
                  "Find", "Options", "About", "Recorder \\My Documents\\fvt_rec.wav", "GoToPage",
                  "FullScreen", "Shell http://www.folivant.example/en/handheld", "FindDialog",
                  "Volume"}));
}

TEST_F(ReaderControllerTest, PropertiesAndBeamNeedACurrentBook) {
    controller_->OnCommand(Cmd::kProperties, true);
    controller_->OnCommand(Cmd::kBeam, true);
    EXPECT_TRUE(shell_.Actions().empty());
    doc_.hasLocation = true;
    ASSERT_TRUE(doc_.location.Parse(String(u"\\storage\\eBooks\\a.prc"), true));
    controller_->OnCommand(Cmd::kBeam, true);
    ASSERT_EQ(shell_.Actions().size(), 1u);
    EXPECT_EQ(shell_.Actions()[0].rfind("Beam ", 0), 0u);
}

TEST_F(ReaderControllerTest, CopyTakesTheSelectionElseTheLastWord) {
    controller_->OnCommand(Cmd::kCopy, true);
    EXPECT_TRUE(shell_.clipboard.empty());
    controller_->Lookups().SetLastWord(String(u"lexicon"), 9);
    controller_->OnCommand(Cmd::kCopy, true);
    EXPECT_EQ(shell_.clipboard, u"lexicon");
    doc_.selection = u"selected words";
    doc_.selStart = 10;
    doc_.selEnd = 24;
    controller_->OnCommand(Cmd::kCopy, true);
    EXPECT_EQ(shell_.clipboard, u"selected words");
}

TEST_F(ReaderControllerTest, CopyPositionSaysWhenThereIsNone) {
    controller_->OnCommand(Cmd::kCopyPosition, true);
    EXPECT_EQ(shell_.shown, (std::vector<std::u16string>{u"No position information."}));
    EXPECT_TRUE(shell_.clipboard.empty());
    doc_.position = u"1234/GUID/Title";
    controller_->OnCommand(Cmd::kCopyPosition, true);
    EXPECT_EQ(shell_.clipboard, u"1234/GUID/Title");
    EXPECT_EQ(shell_.shown.back(), u"position/GUID/title\ncopied to clipboard:\n1234/GUID/Title");
}

TEST_F(ReaderControllerTest, FileOpenActivatesTheChosenFile) {
    controller_->OnCommand(Cmd::kFileOpen, true);
    EXPECT_TRUE(doc_.links.empty());
    shell_.chosen = u"\\storage\\eBooks\\b.txt";
    controller_->OnCommand(Cmd::kFileOpen, true);
    EXPECT_EQ(doc_.links, (std::vector<std::u16string>{u"\\storage\\eBooks\\b.txt"}));
}

TEST_F(ReaderControllerTest, SetLinkTargetAfterAddLink) {
    controller_->OnCommand(Cmd::kAddLink, true);
    controller_->OnCommand(Cmd::kSetLinkTarget, true);
    EXPECT_EQ(doc_.calls, (std::vector<std::string>{"LinkSource", "LinkTarget"}));
}

TEST_F(ReaderControllerTest, CommandsWithoutADocumentControllerDoNothing) {
    controller_->SetDocumentController(nullptr);
    for (int32_t id = -2; id <= 121; ++id) controller_->OnCommand(id, true);
    EXPECT_TRUE(doc_.notified.empty());
}

TEST_F(ReaderControllerTest, CommandStatesFollowTheViewMode) {
    bool a = false, b = false, c = false;
    controller_->GetCommandStates(a, b, c);
    EXPECT_TRUE(a && b && c);
    doc_.viewMode = 3;
    controller_->GetCommandStates(a, b, c);
    EXPECT_FALSE(a || b || c);
}

// ---- Audio tracks ------------------------------------------------------------------------------

class CountedTracks : public TrackList {
public:
    uint32_t Count() override { return 3; }
    void GetTitle(uint32_t, String&) override {}
    AudioSource** OpenTrack(AudioSource** source, uint32_t index) override {
        requested.push_back(index);
        *source = nullptr;
        return source;
    }
    std::vector<uint32_t> requested;
};

TEST_F(ReaderControllerTest, TrackStepsWrapRoundOnUserCommands) {
    CountedTracks tracks;
    controller_->SetTrackList(&tracks);
    controller_->OnCommand(Cmd::kPrevTrack, true);  // before track 0: the last
    controller_->OnCommand(Cmd::kNextTrack, true);  // past the last: track 0
    controller_->OnCommand(Cmd::kNextTrack, true);
    EXPECT_EQ(tracks.requested, (std::vector<uint32_t>{2, 0, 1}));
    controller_->SetTrackList(nullptr);
}

// ---- Messages and popups -----------------------------------------------------------------------

TEST_F(ReaderControllerTest, MessageKindsGiveTheirIconsAndCaptions) {
    EXPECT_TRUE(controller_->MessageBoxById(5017, 5139, MessageKind::kInformation));
    controller_->MessageBoxById(-1, 5139, MessageKind::kWarning);
    controller_->MessageBoxById(-1, 5139, MessageKind::kError);
    shell_.answer = false;
    EXPECT_FALSE(controller_->MessageBoxById(-1, 5139, MessageKind::kQuestion));
    EXPECT_EQ(shell_.messageFlags, (std::vector<uint32_t>{64, 48, 16, 33}));
    EXPECT_EQ(shell_.captions[0], u"Confirmation");
    EXPECT_EQ(shell_.captions[1], u"<none>");
    EXPECT_EQ(shell_.messages[0], u"The item has been successfully added to the list.");
}

TEST_F(ReaderControllerTest, LockedPopupRectChangesOnlyWhenForced) {
    Rect a{0, 0, 100, 50};
    Rect b{5, 5, 10, 10};
    controller_->SetPopupRect(a, false);
    controller_->LockPopupRect();
    controller_->SetPopupRect(b, false);
    EXPECT_EQ(controller_->PopupRect(), a);
    controller_->SetPopupRect(b, true);
    EXPECT_EQ(controller_->PopupRect(), b);
    controller_->UnlockPopupRect();
    controller_->SetPopupRect(a, false);
    EXPECT_EQ(controller_->PopupRect(), a);
}

TEST_F(ReaderControllerTest, InteractionsCartSubmitsWithAnEncodedTitle) {
    EXPECT_FALSE(controller_->SubmitInteractionsCart(String(u"shopping"), String(u"x")));
    EXPECT_TRUE(doc_.links.empty());
    EXPECT_TRUE(
        controller_->SubmitInteractionsCart(String(u"interactions"), String(u"A&B #1 $5 100% é")));
    ASSERT_EQ(doc_.links.size(), 1u);
    EXPECT_EQ(
        doc_.links[0],
        u"oeb:cart?name=interactions&action=submit&title=A%26B%20%231%20%245%20100%25%20%C3%A9");
}

// ---- Fonts -------------------------------------------------------------------------------------

class FontListTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(device_.ok()); }
    void TearDown() override { fvt::SetSystemParameterHandler(SPI_GETPLATFORMTYPE, nullptr); }
    static std::u16string Face(const FontList& list, uint8_t n) {
        const Text* t = list.FaceName(n);
        String wide;
        if (t) t->ToWide(wide);
        return U16(wide);
    }
    void Platform(const char16_t* type, DWORD error = 0) {
        fvt::SetSystemParameterHandler(
            SPI_GETPLATFORMTYPE, [type, error](UINT size, LPVOID out, UINT) -> BOOL {
                if (error) {
                    SetLastError(error);
                    return FALSE;
                }
                std::u16string s(type);
                if ((s.size() + 1) * 2 > size) return FALSE;
                std::copy(s.begin(), s.end() + 1, static_cast<char16_t*>(out));
                return TRUE;
            });
    }
    fvt::test::TempDevice device_;
};

TEST_F(FontListTest, FirstEntriesFollowThePlatform) {
    Platform(u"PocketPC");
    FontList pocket;
    EXPECT_EQ(pocket.Count(), 3u);
    EXPECT_EQ(pocket.FaceName(0), nullptr);
    EXPECT_EQ(Face(pocket, 1), u"Frutiger Linotype");
    EXPECT_EQ(Face(pocket, 2), u"Courier New");
    Platform(u"Smartphone");
    EXPECT_EQ(Face(FontList(), 1), u"Nina");
    Platform(u"", 5);  // access denied: a Smartphone
    EXPECT_EQ(Face(FontList(), 1), u"Nina");
    Platform(u"Desktop");
    EXPECT_EQ(Face(FontList(), 1), u"Arial");
}

TEST_F(FontListTest, EntriesGrowAndCarryTheBitmapFlag) {
    FontList list;
    Text face;
    face.AssignAscii("\\folvtype.prc");
    ASSERT_TRUE(list.SetEntry(4, 1, face));
    EXPECT_EQ(list.Count(), 5u);
    EXPECT_TRUE(list.IsBitmapFace(4));
    EXPECT_FALSE(list.IsBitmapFace(3));
    EXPECT_EQ(list.FaceName(3), nullptr);
    EXPECT_FALSE(list.IsBitmapFace(200));
    EXPECT_FALSE(list.SetEntry(256, 0, face));
}

TEST_F(ReaderControllerTest, SettingsRegisterTheirFacesWithTheController) {
    ReaderSettings s;
    s.SetReaderController(controller_.get());
    Text face;
    face.AssignAscii("Tahoma");
    s.SetFontFace(face, false);
    face.AssignAscii("\\fonts\\book.prc");
    s.SetFontFace(face, true);
    EXPECT_FALSE(controller_->Fonts().IsBitmapFace(3));
    EXPECT_TRUE(controller_->Fonts().IsBitmapFace(4));
    ASSERT_NE(controller_->Fonts().FaceName(3), nullptr);
}

}  // namespace
