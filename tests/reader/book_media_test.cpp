// The document controller's audio page over a book's own Ogg tracks and pictures, its place in
// the side file and the history, the media pages' view mode and commands, a tap on a reduced
// picture, and the book actions for sound and speech.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "bookfiles/annotation_file.h"
#include "layout/block_contents.h"
#include "layout/page_layout.h"
#include "reader/audio_player_view.h"
#include "reader/book_action_bridge.h"
#include "reader/book_actions.h"
#include "reader/command_record.h"
#include "reader/speech_bridge.h"
#include "media_books.h"
#include "support/media/audio_fixtures.h"
#include "support/reader/book_controller_fixture.h"
#include "support/reader/reader_fakes.h"

namespace fvt::test {
namespace {

constexpr char16_t kBook[] = u"\\books\\talk.prc";
// Pictures 1 (small) and 2 (larger than the page), then two tracks.
constexpr char16_t kList[] = u"#$3|Waves;#$4|Gulls";

struct MediaTest : BookControllerTest {
    MediaTest() {
        reader.SetTimerHost(&timers);
        controller->SetReaderController(&reader);
    }
    ~MediaTest() override {
        controller->Shutdown();
        reader.Player().Stop();
    }
    void SetUp() override {
        if (!WriteTalkBook(device)) GTEST_SKIP() << fixtures::Tones().why;
        ASSERT_TRUE(Open(kBook));
    }
    // The text page at its first page.
    void ToText() {
        ASSERT_TRUE(controller->OpenLocation(String(), false, true));
        ASSERT_TRUE(controller->GoToPage(1));
    }
    AudioPlayer& Player() { return reader.Player(); }

    ManualTimerHost timers;
};

TEST_F(MediaTest, TheAudioPagePlaysTheBooksTracksWithTheirPictures) {
    ASSERT_TRUE(controller->ShowSoundList(String(kList)));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kAudioView);
    EXPECT_EQ(controller->ViewMode(), 6u);
    AudioPlayerView* view = controller->Views().AudioView();
    ASSERT_NE(view, nullptr);
    // The first track from the book's record 3, paused; picture 1 above it.
    EXPECT_EQ(Player().GetTrack(), 0u);
    EXPECT_FALSE(Player().IsPlaying());
    EXPECT_EQ(Player().GetLength(), 3u);
    EXPECT_EQ(view->ShownPicture(), 1u);
    // The next track's change reaches the page as a view command: its own picture.
    ASSERT_TRUE(Player().Play(1, true, 0));
    EXPECT_TRUE(controller->ExecuteCommand(Cmd::kPlayerTrackChanging));
    EXPECT_EQ(view->ShownPicture(), 2u);
    // The page's commands, not the text page's.
    EXPECT_FALSE(controller->ExecuteCommand(119));
    EXPECT_FALSE(controller->IsCommandEnabled(119));
    EXPECT_TRUE(controller->IsCommandEnabled(Cmd::kPlayPause));
}

TEST_F(MediaTest, LeavingTheAudioPageStopsItAndKeepsItsPlaceForTheNextOpening) {
    ASSERT_TRUE(controller->ShowSoundList(String(kList)));
    ASSERT_TRUE(Player().Play(1, true, 1));
    ToText();
    EXPECT_EQ(controller->Views().AudioView(), nullptr);
    EXPECT_FALSE(Player().IsPlaying());
    AnnotationFile* side = controller->CurrentAnnotationFile();
    ASSERT_NE(side, nullptr);
    uint32_t track = 9, seconds = 9;
    std::vector<uint8_t> state;
    ASSERT_TRUE(side->GetAudioPosition(&track, &seconds, &state));
    EXPECT_EQ(track, 1u);
    EXPECT_EQ(seconds, 1u);
    EXPECT_FALSE(state.empty());

    // An audio book opens at its audio page, at the first track's start as much as elsewhere.
    ASSERT_TRUE(controller->ShowSoundList(String(kList)));
    ASSERT_TRUE(Player().Play(0, true, 0));
    controller->CloseDocument();
    ASSERT_TRUE(Open(kBook));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kAudioView);
    ASSERT_NE(controller->Views().AudioView(), nullptr);
    EXPECT_EQ(U(controller->Views().AudioView()->SoundListText()), kList);
    EXPECT_EQ(Player().GetTrack(), 0u);

    ASSERT_TRUE(Player().Play(1, true, 2));
    controller->CloseDocument();
    ASSERT_TRUE(Open(kBook));
    EXPECT_EQ(Player().GetTrack(), 1u);
    EXPECT_EQ(Player().GetPosition(), 2u);
    EXPECT_FALSE(Player().IsPlaying());
}

TEST_F(MediaTest, AnAudioPageWithoutAListLeavesTheStoredPlaceAlone) {
    ASSERT_TRUE(controller->ShowSoundList(String(kList)));
    ASSERT_TRUE(Player().Play(1, true, 2));
    ToText();
    // Opened by name, with nothing restored: an empty page.
    ASSERT_TRUE(controller->OpenReference(String(u"$audio")));
    ASSERT_NE(controller->Views().AudioView(), nullptr);
    EXPECT_TRUE(controller->Views().AudioView()->SoundListText().IsEmpty());
    ToText();
    uint32_t track = 0, seconds = 0;
    std::vector<uint8_t> state;
    ASSERT_TRUE(controller->CurrentAnnotationFile()->GetAudioPosition(&track, &seconds, &state));
    EXPECT_EQ(track, 1u);
    EXPECT_EQ(seconds, 2u);
}

TEST_F(MediaTest, HistoryBackReturnsToTheAudioPageAtItsTrack) {
    ASSERT_TRUE(controller->ShowSoundList(String(kList)));
    ASSERT_TRUE(Player().Play(1, true, 2));
    Location target;
    target.CopyFrom(*controller->CurrentLocation());
    ASSERT_TRUE(target.SetPositionAnchor(20));
    ASSERT_TRUE(controller->NavigateTo(target));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kTextPage);
    ASSERT_TRUE(controller->HistoryBack(false));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kAudioView);
    ASSERT_NE(controller->Views().AudioView(), nullptr);
    EXPECT_EQ(U(controller->Views().AudioView()->SoundListText()), kList);
    EXPECT_EQ(Player().GetTrack(), 1u);
    EXPECT_EQ(Player().GetPosition(), 2u);
}

TEST_F(MediaTest, APictureShowsInTheImageViewMode) {
    ASSERT_TRUE(controller->OpenReference(String(u"$2")));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kImageView);
    EXPECT_EQ(controller->ViewMode(), 3u);
    bool a = true, b = true, c = true;
    reader.GetCommandStates(a, b, c);
    EXPECT_FALSE(a);
}

TEST_F(MediaTest, ATapOnAReducedPictureOpensItFullScreen) {
    ToText();
    controller->PaintPage();
    PageSlot* slot = controller->Page().Layout()->CurrentPageSlot();
    ASSERT_NE(slot, nullptr);
    ASSERT_GE(slot->contents.KindCount(kItemInlineBox), 2);
    const Rect small = slot->contents.Object(0)->rect;
    const Rect large = slot->contents.Object(1)->rect;
    ASSERT_FALSE(large.IsEmpty());
    // The small picture is shown at its own size: a tap there opens nothing.
    EXPECT_FALSE(controller->ActivateObjectAt(Point{small.x + 2, small.y + 2}));
    EXPECT_FALSE(controller->ActivateObjectAt(Point{-5, -5}));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kTextPage);

    // A tap through the page element, on a page without links.
    const Point centre{large.x + large.width / 2, large.y + large.height / 2};
    InputEvent down = InputEvent::Pen(kPenDown, centre);
    InputEvent up = InputEvent::Pen(kPenUp, centre);
    ASSERT_NE(controller->Page().View(), nullptr);
    EXPECT_TRUE(controller->Page().View()->HandleEvent(down));
    EXPECT_TRUE(controller->Page().View()->HandleEvent(up));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kImageView);
    EXPECT_EQ(U(controller->CurrentString()), u"$2");
    // Back is the page it was tapped on.
    ASSERT_TRUE(controller->HistoryBack(false));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kTextPage);
}

struct SilentClient : SpeechClient {
    bool IsLoaded() const override { return true; }
    bool Stop() override { return true; }
    void ClearStopEvent() override {}
    void SetFirstParam(int32_t language) override { languages.push_back(language); }
    void SetReadMode(int32_t) override {}
    bool Speak(const String& text) override {
        spoken.push_back(U(text));
        return true;
    }
    bool PollDone() override { return true; }
    void OnCallback() override {}
    void SetSentenceTarget(int32_t) override {}
    ByteStream& ReadingState() override { return state; }
    std::vector<std::u16string> spoken;
    std::vector<int32_t> languages;
    ByteStream state;
};

struct SilentClients : SpeechClientFactory {
    std::unique_ptr<SpeechClient> CreateSpeechClient(SpeechListener*) override {
        auto client = std::make_unique<SilentClient>();
        last = client.get();
        return client;
    }
    SilentClient* last = nullptr;
};

CommandRecord Record(uint32_t kind, uint32_t method, std::vector<std::u16string> texts = {},
                     std::vector<int32_t> numbers = {}) {
    CommandRecord r(method, kind);
    for (const auto& t : texts) r.AppendText(String(t.c_str()));
    for (int32_t n : numbers) r.AppendNumber(n);
    return r;
}

TEST_F(MediaTest, BookActionsReachThePlaylistThePlayerAndTheAudioPage) {
    BookActionBridge bridge(controller.get(), &reader);
    auto run = [&](const CommandRecord& r) { return RunReaderCommand(r, bridge, nullptr, nullptr); };
    ToText();
    EXPECT_EQ(run(Record(33, 116, {kList})), 1u);  // play
    EXPECT_TRUE(Player().IsPlaying());
    EXPECT_EQ(run(Record(33, 132)), 1u);  // pause
    EXPECT_FALSE(Player().IsPlaying());
    EXPECT_EQ(run(Record(33, 133)), 1u);  // resume
    EXPECT_TRUE(Player().IsPlaying());
    EXPECT_EQ(run(Record(33, 135, {}, {1})), 1u);  // goto_track
    EXPECT_EQ(Player().GetTrack(), 1u);
    EXPECT_EQ(run(Record(33, 135, {}, {7})), 0u);  // no such track
    EXPECT_EQ(run(Record(33, 117)), 1u);  // stop
    EXPECT_FALSE(Player().IsPlaying());
    EXPECT_EQ(run(Record(33, 116, {u""})), 0u);  // an empty list plays nothing

    EXPECT_EQ(run(Record(33, 134, {kList})), 1u);  // show
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kAudioView);
    ASSERT_NE(controller->Views().AudioView(), nullptr);
    EXPECT_EQ(U(controller->Views().AudioView()->SoundListText()), kList);
    EXPECT_FALSE(Player().IsPlaying());
}

TEST_F(MediaTest, BookActionsSpeakATextAndThePage) {
    SilentClients clients;
    controller->Speech().SetClients(&clients);
    BookActionBridge bridge(controller.get(), &reader);
    auto run = [&](const CommandRecord& r) { return RunReaderCommand(r, bridge, nullptr, nullptr); };
    ToText();
    EXPECT_EQ(run(Record(31, 102, {u"Hello there."}, {1036})), 1u);  // say, in French
    ASSERT_NE(clients.last, nullptr);
    ASSERT_EQ(clients.last->spoken.size(), 1u);
    EXPECT_EQ(clients.last->spoken[0], u"Hello there.");
    EXPECT_EQ(clients.last->languages.back(), 1036);
    EXPECT_EQ(run(Record(31, 101)), 1u);  // read the page aloud
    ASSERT_EQ(clients.last->spoken.size(), 2u);
    EXPECT_EQ(clients.last->spoken[1].rfind(u"Words about the sea", 0), 0u);
    controller->Shutdown();
}

}  // namespace
}  // namespace fvt::test
