// Rooms of the document controller built alone, with fakes of what they ask of it: what each
// asks goes through its host's operations, none of which hands out a controller.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/string.h"
#include "document/location/location.h"
#include "reader/audio_player_view.h"
#include "reader/image_view.h"
#include "reader/page_presentation.h"
#include "reader/sound_list.h"
#include "reader/special_views.h"

namespace {

// Records what the views ask of the window's player; it has no book, window or page.
class FakeViewsHost final : public SpecialViewsHost {
public:
    Resource* Book() override { return nullptr; }
    const Location& BookLocation() override { return location; }
    DocumentLoader* Loader() override { return nullptr; }
    ReaderSettings* Settings() override { return nullptr; }
    ReaderControllerLink* CoverLink() override {
        calls.push_back("cover link");
        return nullptr;
    }
    std::unique_ptr<ImageView> MakeImageView(DrawSurface*, int32_t) override {
        calls.push_back("image view");
        return nullptr;
    }
    bool HasPlayer() override { return player; }
    std::unique_ptr<AudioPlayerView> MakeAudioView(SoundList&) override {
        calls.push_back("audio view");
        return nullptr;
    }
    bool PlaySounds(SoundList& sounds, const String& text, const Location&, bool paused) override {
        calls.push_back(paused ? "play paused" : "play");
        played = &sounds;
        playedText = std::u16string(text.Data(), static_cast<size_t>(text.Length()));
        return playResult;
    }
    void StopSounds(SoundList& sounds, bool release) override {
        calls.push_back(release ? "stop and let go" : "stop");
        EXPECT_EQ(&sounds, played);
    }
    DrawingSurface* WindowSurface() override { return nullptr; }
    Rect Viewport() override { return Rect{}; }
    bool ClientArea(Rect&) override { return false; }
    int32_t ShownPageNumber() override { return -1; }
    void FocusTextPage() override { calls.push_back("focus page"); }

    Location location;
    bool player = true;
    bool playResult = true;
    SoundList* played = nullptr;
    std::u16string playedText;
    std::vector<std::string> calls;
};

using Calls = std::vector<std::string>;

TEST(SpecialViewsAlone, WithoutAPlayerNothingIsPlayedAndNoPlaylistIsMade) {
    FakeViewsHost host;
    host.player = false;
    SpecialViews views(host);
    EXPECT_FALSE(views.PlaySoundList(String(u"a.ogg"), false));
    views.StopSound();
    views.ReleaseSound();
    EXPECT_EQ(host.calls, Calls{});
    EXPECT_EQ(views.AudioView(), nullptr);
}

TEST(SpecialViewsAlone, ThePlaylistIsPlayedOnThePlayerAndLetGoOfWhenReleased) {
    FakeViewsHost host;
    SpecialViews views(host);
    EXPECT_TRUE(views.PlaySoundList(String(u"one.ogg\ntwo.ogg"), true));
    EXPECT_EQ(host.playedText, u"one.ogg\ntwo.ogg");
    views.StopSound();
    // The player must not keep a playlist that goes with the views.
    views.ReleaseSound();
    EXPECT_EQ(host.calls, (Calls{"play paused", "stop", "stop and let go"}));
    // Released once: nothing is left to stop.
    views.StopSound();
    views.ReleaseSound();
    EXPECT_EQ(host.calls.size(), 3u);
}

TEST(SpecialViewsAlone, AFailedPlayIsReportedAndTheSamePlaylistIsUsedAgain) {
    FakeViewsHost host;
    host.playResult = false;
    SpecialViews views(host);
    EXPECT_FALSE(views.PlaySoundList(String(u"x.ogg"), false));
    SoundList* first = host.played;
    host.playResult = true;
    EXPECT_TRUE(views.PlaySoundList(String(u"y.ogg"), false));
    EXPECT_EQ(host.played, first);
}

TEST(SpecialViewsAlone, WithoutABookNoViewIsAskedFor) {
    FakeViewsHost host;
    SpecialViews views(host);
    EXPECT_FALSE(views.ShowImage(3));
    EXPECT_FALSE(views.ShowAudio());
    // Outside a window the cover counts as shown, and nothing is made for it.
    EXPECT_TRUE(views.ShowCover());
    EXPECT_EQ(host.calls, Calls{});
    EXPECT_EQ(views.Cover(), nullptr);
    EXPECT_EQ(views.Picture(), nullptr);
}

}  // namespace
