#include "reader/audio_player_view.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "graphics/widgets/status_panel.h"
#include "reader/reader_controller.h"
#include "reader/sound_list.h"
#include "graphics/core/graphics_context.h"
#include "support/media/audio_fixtures.h"
#include "support/platform/temp_device.h"
#include "support/reader/reader_fakes.h"

namespace {

std::string Narrow(const String& s) {
    std::string out;
    for (int32_t i = 0; i < s.Length(); ++i) out += static_cast<char>(s.At(i));
    return out;
}

// Ten minutes of silence-like samples per track.
struct Tracks : SoundTrackOpener {
    AudioSource* OpenSoundTrack(const String& url) override {
        opened.push_back(Narrow(url));
        return new fixtures::SyntheticSource(8000, 1, 8000ull * 600);
    }
    std::vector<std::string> opened;
};

struct Picture : DrawablePicture {
    Picture(int32_t w, int32_t h) : width(w), height(h) {}
    bool GetSize(int32_t& w, int32_t& h, uint32_t& extra) override {
        w = width;
        h = height;
        extra = 0;
        return true;
    }
    bool Draw(GraphicsContext&, const Rect&, uint32_t) override { return true; }
    int32_t width, height;
};

// A book holding only the pictures it is given.
struct Pictures : AudioViewPictures {
    DrawablePicture* OpenTrackPicture(uint32_t number) override {
        asked.push_back(number);
        if (!held.count(number)) return nullptr;
        return new Picture(held[number].first, held[number].second);
    }
    std::map<uint32_t, std::pair<int32_t, int32_t>> held;
    std::vector<uint32_t> asked;
};

struct Document : fvt::test::FakeDocumentController {
    void HistoryBack() override {
        ++backs;
        if (onBack) onBack();
    }
    int backs = 0;
    std::function<void()> onBack;
};

class AudioViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(device_.ok());
        controller_.SetTimerHost(&timers_);
        list_.SetOpener(&tracks_);
        ASSERT_TRUE(base_.Parse(String(u"\\books\\talk.prc"), true));
    }
    void TearDown() override { controller_.Player().Stop(); }

    std::unique_ptr<AudioPlayerView> Make() {
        auto view = std::make_unique<AudioPlayerView>(&controller_, &document_, &list_,
                                                      &controller_.Timers());
        view->SetBase(base_);
        view->SetPictures(&pictures_);
        return view;
    }

    fvt::test::TempDevice device_;
    fvt::test::ManualTimerHost timers_;
    ReaderController controller_;
    Document document_;
    SoundList list_;
    Tracks tracks_;
    Pictures pictures_;
    Location base_;
};

TEST(AudioViewLabel, AuthorAndTitleJoinOnlyWhenBothAreThere) {
    EXPECT_EQ(Narrow(AudioPlayerView::JoinLabel(String(u"Ann"), String(u"Tales"))), "Ann - Tales");
    EXPECT_EQ(Narrow(AudioPlayerView::JoinLabel(String(u""), String(u"Tales"))), "Tales");
    EXPECT_EQ(Narrow(AudioPlayerView::JoinLabel(String(u"Ann"), String(u""))), "Ann");
}

TEST_F(AudioViewTest, ASoundListStartsPausedAtTheFirstTrack) {
    auto view = Make();
    ASSERT_TRUE(view->SetSoundList(String(u"one.ogg|One;two.ogg|Two")));
    EXPECT_EQ(list_.Count(), 2u);
    EXPECT_EQ(controller_.Player().GetTrack(), 0u);
    EXPECT_FALSE(controller_.Player().IsPlaying());
    EXPECT_EQ(controller_.Player().GetLength(), 600u);
    ASSERT_FALSE(tracks_.opened.empty());
    EXPECT_NE(tracks_.opened[0].find("one.ogg"), std::string::npos);
}

TEST_F(AudioViewTest, AnEmptyListReportsFailure) {
    auto view = Make();
    EXPECT_FALSE(view->SetSoundList(String(u"")));
}

TEST_F(AudioViewTest, SeekingIsProportionalAndRefusesNothingToDivide) {
    auto view = Make();
    ASSERT_TRUE(view->SetSoundList(String(u"one.ogg")));
    EXPECT_TRUE(view->SeekTo(1, 4));
    EXPECT_EQ(controller_.Player().GetPosition(), 150u);
    EXPECT_FALSE(view->SeekTo(1, 0));
    EXPECT_EQ(controller_.Player().GetPosition(), 150u);
}

TEST_F(AudioViewTest, StateRoundTripResumesPausedAtTheSavedPlace) {
    auto view = Make();
    ASSERT_TRUE(view->SetSoundList(String(u"one.ogg|One;two.ogg|Two")));
    view->SetCurrent(true);
    ASSERT_TRUE(controller_.Player().Play(1, true, 30));
    uint32_t track = 0, seconds = 0;
    ByteStream s;
    ASSERT_TRUE(view->SaveState(track, seconds, s));
    EXPECT_EQ(track, 1u);
    EXPECT_EQ(seconds, 30u);
    view.reset();  // leaving stops and empties the list
    EXPECT_EQ(list_.Count(), 0u);

    auto again = Make();
    ASSERT_TRUE(again->RestoreState(track, seconds, s));
    EXPECT_EQ(Narrow(again->SoundListText()), "one.ogg|One;two.ogg|Two");
    EXPECT_EQ(controller_.Player().GetTrack(), 1u);
    EXPECT_EQ(controller_.Player().GetPosition(), 30u);
    EXPECT_FALSE(controller_.Player().IsPlaying());
}

TEST_F(AudioViewTest, ABadRecordLeavesTheViewAlone) {
    auto view = Make();
    ASSERT_TRUE(view->SetSoundList(String(u"one.ogg")));
    ByteStream bad;
    const uint32_t words[3] = {AudioViewState::kTag, 7, 0};
    bad.WriteWords32BE(words, 3);
    EXPECT_FALSE(view->RestoreState(0, 0, bad));
    EXPECT_EQ(Narrow(view->SoundListText()), "one.ogg");
    EXPECT_EQ(list_.Count(), 1u);
}

TEST_F(AudioViewTest, EachTrackShowsItsPictureOrTheNearestEarlierOne) {
    pictures_.held = {{1, {50, 50}}, {3, {50, 50}}};
    auto view = Make();
    ASSERT_TRUE(view->SetSoundList(String(u"a.ogg;b.ogg;c.ogg")));
    view->SetCurrent(true);
    EXPECT_EQ(view->ShownPicture(), 1u);
    ASSERT_TRUE(controller_.Player().Play(1, true, 0));
    pictures_.asked.clear();
    view->ExecuteCommand(Cmd::kPlayerTrackChanging, 0);
    EXPECT_EQ(pictures_.asked, (std::vector<uint32_t>{2, 1}));
    EXPECT_EQ(view->ShownPicture(), 1u);
    ASSERT_TRUE(controller_.Player().Play(2, true, 0));
    view->ExecuteCommand(Cmd::kPlayerTrackChanging, 0);
    EXPECT_EQ(view->ShownPicture(), 3u);
}

TEST_F(AudioViewTest, LayoutPutsThePanelAtTheBottomAndFitsThePicture) {
    pictures_.held = {{1, {400, 200}}};
    auto view = Make();
    ASSERT_TRUE(view->SetSoundList(String(u"a.ogg|First")));
    view->SetCurrent(true);
    Rect out;
    view->AdjustRect(out, Rect{0, 0, 240, 320});
    const Rect& panel = view->PanelRect();
    EXPECT_EQ(panel.width, 216);
    EXPECT_EQ(panel.x, 12);
    EXPECT_EQ(panel.Bottom(), 320);
    EXPECT_EQ(view->PictureRect().y, 15);
    EXPECT_EQ(view->PictureRect().Bottom(), panel.y);
    const Rect& box = view->PictureBox();
    EXPECT_EQ(box.width, 240 - 8);
    EXPECT_EQ(box.height, 200 * 232 / 400);
    EXPECT_EQ(Narrow(view->Panel().SecondLabel().GetText()), "First");
}

TEST_F(AudioViewTest, VolumeIsNotOfferedButTrackStepsAre) {
    auto view = Make();
    EXPECT_FALSE(view->IsCommandEnabled(119, 0));
    EXPECT_TRUE(view->IsCommandEnabled(116, 0));
    EXPECT_TRUE(view->IsCommandEnabled(118, 0));
    EXPECT_TRUE(view->IsCommandEnabled(0, 0));
    EXPECT_FALSE(view->IsCommandEnabled(2, 0));
}

TEST_F(AudioViewTest, LeavingTheViewStopsPlayback) {
    auto view = Make();
    ASSERT_TRUE(view->SetSoundList(String(u"a.ogg")));
    view->SetCurrent(true);
    controller_.Player().Restart();
    EXPECT_TRUE(controller_.Player().IsPlaying());
    view->SetCurrent(false);
    EXPECT_FALSE(controller_.Player().IsPlaying());
    EXPECT_EQ(list_.Count(), 0u);
}

TEST_F(AudioViewTest, BackMayDeleteTheViewFromInsideItsHandler) {
    auto view = Make();
    document_.onBack = [&] { view.reset(); };
    InputEvent back = InputEvent::Key(kKeyCommand, Cmd::kBack);
    AudioPlayerView* raw = view.get();
    raw->HandleEvent(back);
    EXPECT_EQ(document_.backs, 1);
    EXPECT_EQ(view, nullptr);
}

}  // namespace
