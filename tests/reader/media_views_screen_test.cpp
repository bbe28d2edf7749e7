// The image and audio views drawn on the headless screen, in English and French; with
// FOLIVANT_SNAPSHOTS set the screens are kept as PNGs beside the test binary.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "graphics/core/graphics_context.h"
#include "graphics/widgets/status_panel.h"
#include "reader/audio_player_view.h"
#include "reader/image_view.h"
#include "reader/reader_controller.h"
#include "reader/sound_list.h"
#include "support/graphics/surface_test.h"
#include "support/media/image/byte_image_data.h"
#include "support/media/image/picture_fixtures.h"
#include "support/reader/reader_fakes.h"

namespace {

constexpr uint32_t kRed = 0x0000C8;    // (200, 0, 0)
constexpr uint32_t kBlue = 0xC80000;   // (0, 0, 200)
constexpr uint32_t kBackground = 0x303030;

using Bytes = fvt::test::ByteImageData;

// 120 x 80: the left half red, the right half blue.
Bytes Halves() {
    fvt::test::BmpSpec s;
    s.width = 120;
    s.height = 80;
    s.palette = {{255, 255, 255}, {200, 0, 0}, {0, 0, 200}};
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x) s.pixels.push_back(x < 60 ? 1 : 2);
    return Bytes(fvt::test::WriteBmp(s));
}

struct Solid : DrawablePicture {
    bool GetSize(int32_t& w, int32_t& h, uint32_t& extra) override {
        w = 90;
        h = 60;
        extra = 0;
        return true;
    }
    bool Draw(GraphicsContext& gc, const Rect& r, uint32_t) override {
        gc.SetPenColor(kRed);
        gc.SetBrushColor(kRed);
        gc.DrawRectangle(r, true);
        return true;
    }
};

struct OnePicture : AudioViewPictures {
    DrawablePicture* OpenTrackPicture(uint32_t number) override {
        return number == 1 ? new Solid : nullptr;
    }
};

struct NoTracks : SoundTrackOpener {
    AudioSource* OpenSoundTrack(const String&) override { return nullptr; }
};

class MediaScreens : public fvt::test::SurfaceTest,
                     public ::testing::WithParamInterface<const char*> {
protected:
    MediaScreens()
        : SurfaceTest(std::string("clock = virtual\nlanguage = ") + GetParam() + "\n") {}
    void SetUp() override {
        SurfaceTest::SetUp();
        controller_.SetTimerHost(&timers_);
        Rect out;
        surface->AdjustRect(out, Rect{0, 0, 240, 200});
    }
    bool French() const { return std::string(GetParam()) == "fr"; }

    fvt::test::ManualTimerHost timers_;
    ReaderController controller_;
};

TEST_P(MediaScreens, ImageViewZoomedAndPanned) {
    ImageView view(surface->AsDrawSurface(), &controller_, 2);
    view.SetBackgroundColor(kBackground);
    Bytes picture = Halves();
    ASSERT_FALSE(view.LoadImage(&picture));
    view.SetParent(surface.get());
    Rect out;
    view.AdjustRect(out, Rect{0, 0, 240, 200});
    Repaint();
    // At its own size, centred: margins around it.
    EXPECT_EQ(Pixel(5, 5), kBackground);
    EXPECT_EQ(Pixel(60 + 10, 60 + 10), kRed);
    EXPECT_EQ(Pixel(60 + 110, 60 + 70), kBlue);
    Snapshot(std::string("image_view_actual_") + GetParam());

    for (int i = 0; i < 5; ++i) view.ExecuteCommand(30, 0);
    ASSERT_TRUE(view.Viewport().IsLargerThanView());
    InputEvent right = InputEvent::Key(4);
    for (int i = 0; i < 3; ++i) view.HandleEvent(right);
    Repaint();
    // Panned towards the blue half, still filling the width.
    EXPECT_NE(Pixel(2, 100), kBackground);
    EXPECT_EQ(Pixel(238, 100), kBlue);
    Snapshot(std::string("image_view_zoomed_") + GetParam());
    view.Detach();
}

TEST_P(MediaScreens, AudioViewWithPictureAndPanel) {
    fvt::test::FakeDocumentController document;
    document.title = French() ? u"Contes d'\u00e9t\u00e9" : u"Summer tales";
    SoundList list;
    NoTracks tracks;
    list.SetOpener(&tracks);
    AudioPlayerView view(&controller_, &document, &list, &controller_.Timers());
    OnePicture pictures;
    view.SetPictures(&pictures);
    view.SetSoundList(String(French() ? u"a.ogg|Premier chapitre" : u"a.ogg|First chapter"));
    view.Panel().SetTextColor(0xFFFFFF, false);
    view.Panel().SetBackgroundColor(0x202020, false);
    view.SetParent(surface.get());
    view.SetCurrent(true);
    Rect out;
    view.AdjustRect(out, Rect{0, 0, 240, 200});
    Repaint();
    EXPECT_EQ(Pixel(120, 1), 0u);  // the gradient starts black
    const Rect box = view.PictureBox();
    ASSERT_FALSE(box.IsEmpty());
    EXPECT_EQ(Pixel(box.x + box.width / 2, box.y + box.height / 2), kRed);
    EXPECT_EQ(Pixel(box.Right() + 1, box.Bottom() + 1), 0u);  // its shadow
    ASSERT_GT(view.PanelRect().height, 0) << view.PanelRect().y;
    const Rect panel = view.PanelRect();
    EXPECT_EQ(Pixel(panel.x + panel.width / 2, panel.y + 3), 0x202020u);  // inside its corners
    Snapshot(std::string("audio_view_") + GetParam());
    view.SetCurrent(false);
    view.Detach();
}

INSTANTIATE_TEST_SUITE_P(Languages, MediaScreens, ::testing::Values("en", "fr"));

}  // namespace
