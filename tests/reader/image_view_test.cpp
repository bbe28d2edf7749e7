#include "reader/image_view.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "reader/reader_controller.h"
#include "support/media/image/byte_image_data.h"
#include "support/media/image/picture_fixtures.h"
#include "support/platform/temp_device.h"
#include "support/reader/reader_fakes.h"

namespace {

class Surface : public DrawSurface {
public:
    Surface() : dc_(CreateCompatibleDC(nullptr)) {}
    ~Surface() { DeleteDC(dc_); }
    HDC BeginDraw() override { return dc_; }
    void EndDraw() override {}

private:
    HDC dc_;
};

using Bytes = fvt::test::ByteImageData;

Bytes Picture(int32_t w, int32_t h) {
    fvt::test::BmpSpec s;
    s.width = w;
    s.height = h;
    s.palette = {{0, 0, 0}, {200, 40, 40}};
    for (int32_t i = 0; i < w * h; ++i) s.pixels.push_back(static_cast<std::uint8_t>(i % 2));
    return Bytes(fvt::test::WriteBmp(s));
}

class ImageViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(device_.ok());
        controller_.SetTimerHost(&timers_);
    }
    // A view over a w x h picture placed in the 240x320 screen.
    std::unique_ptr<ImageView> Open(int32_t w, int32_t h) {
        auto view = std::make_unique<ImageView>(&surface_, &controller_, 4);
        Bytes data = Picture(w, h);
        EXPECT_FALSE(view->LoadImage(&data));
        Rect out;
        view->AdjustRect(out, Rect{0, 0, 240, 320});
        return view;
    }

    fvt::test::TempDevice device_;
    Surface surface_;
    fvt::test::ManualTimerHost timers_;
    ReaderController controller_;
};

TEST_F(ImageViewTest, UnusablePicturesAreRefused) {
    ImageView view(&surface_, &controller_, 1);
    EXPECT_TRUE(view.LoadImage(nullptr));
    Bytes empty({});
    EXPECT_TRUE(view.LoadImage(&empty));
    Bytes junk({'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'});
    EXPECT_TRUE(view.LoadImage(&junk));
    EXPECT_FALSE(view.IsLoaded());
    Rect out;
    view.AdjustRect(out, Rect{0, 0, 240, 320});
    EXPECT_FALSE(view.Viewport().active);
    view.ExecuteCommand(28, 0);  // fit on nothing: no division by a zero size
    view.Redraw(nullptr);
}

TEST_F(ImageViewTest, ASmallPictureIsCentredAtItsOwnSize) {
    auto view = Open(60, 40);
    EXPECT_EQ(view->Viewport().factor, 256u);
    EXPECT_EQ(view->Viewport().offsetX, 90);
    EXPECT_EQ(view->Viewport().offsetY, 140);
    EXPECT_FALSE(view->IsCommandEnabled(39, 0));
    EXPECT_FALSE(view->IsCommandEnabled(32, 0));
    EXPECT_TRUE(view->IsCommandEnabled(30, 0));
    EXPECT_TRUE(view->IsCommandEnabled(3, 0));
    EXPECT_FALSE(view->IsCommandEnabled(40, 0));
    EXPECT_FALSE(view->IsCommandEnabled(116, 0));
}

TEST_F(ImageViewTest, ZoomCommandsChangeTheFactorAndTheEnableRules) {
    auto view = Open(480, 640);
    EXPECT_TRUE(view->IsCommandEnabled(39, 0));
    view->ExecuteCommand(28, 0);  // fit to view
    EXPECT_EQ(view->Viewport().zoomedWidth, 240);
    EXPECT_FALSE(view->IsCommandEnabled(39, 0));
    view->ExecuteCommand(13, 0);
    EXPECT_GT(view->Viewport().factor, 128u);
    view->ExecuteCommand(29, 0);
    EXPECT_EQ(view->Viewport().factor, 256u);
    view->ExecuteCommand(31, 0);
    EXPECT_EQ(view->Viewport().zoomedWidth, 240);
    for (int i = 0; i < 40; ++i) view->ExecuteCommand(30, 0);
    EXPECT_FALSE(view->IsCommandEnabled(30, 0));
    EXPECT_LE(view->Viewport().factor, ImageViewport::kMaxFactor);
}

TEST_F(ImageViewTest, PanModeKeepsAReducedCopyWhileZoomedOut) {
    auto view = Open(480, 640);
    view->ExecuteCommand(28, 0);
    view->OnPenDown({10, 10});
    EXPECT_TRUE(view->HasReducedCopy());
    view->ExecuteCommand(26, 0);  // zoom in at the pen
    EXPECT_FALSE(view->HasReducedCopy());
    const uint32_t before = view->Viewport().factor;
    view->OnPenDown({120, 160});
    EXPECT_GT(view->Viewport().factor, before);
    view->ExecuteCommand(37, 0);
    EXPECT_EQ(view->Viewport().penMode, ImageViewport::kPan);
}

TEST_F(ImageViewTest, PenDragsAndDirectionKeysPanWithinTheEdges) {
    auto view = Open(480, 640);
    InputEvent down = InputEvent::Pen(kPenDown, {100, 100});
    InputEvent move = InputEvent::Pen(kPenMove, {90, 100});
    InputEvent up = InputEvent::Pen(kPenUp, {90, 100});
    EXPECT_TRUE(view->HandleEvent(down));
    EXPECT_TRUE(view->HandleEvent(move));
    EXPECT_TRUE(view->HandleEvent(up));
    EXPECT_EQ(view->Viewport().offsetX, -20);
    InputEvent right = InputEvent::Key(4);  // (-1, 0): the picture moves left
    EXPECT_TRUE(view->HandleEvent(right));
    EXPECT_EQ(view->Viewport().offsetX, -36);
    InputEvent downKey = InputEvent::Key(1);  // (0, +1)
    EXPECT_TRUE(view->HandleEvent(downKey));
    EXPECT_EQ(view->Viewport().offsetY, 0);  // already at the top edge
    InputEvent other = InputEvent::Key(17);
    EXPECT_FALSE(view->HandleEvent(other));
}

TEST_F(ImageViewTest, BackAndCarriedCommandsAreQueuedNotRunInside) {
    auto view = Open(60, 40);
    view->ExecuteCommand(23, 0);
    EXPECT_FALSE(controller_.Queue().IsEmpty());
    InputEvent none = InputEvent::Key(kKeyCommand, kNoCommand);
    EXPECT_TRUE(view->HandleEvent(none));
    InputEvent carried = InputEvent::Key(kKeyCommand, 28);
    EXPECT_TRUE(view->HandleEvent(carried));
    EXPECT_TRUE(controller_.CheckInvariants());
}

TEST_F(ImageViewTest, StateKeepsThePageAndRefusesForeignRecords) {
    auto view = Open(60, 40);
    view->SetPageNumber(17);
    ByteStream s;
    ASSERT_TRUE(view->SaveState(s));
    auto other = Open(60, 40);
    ASSERT_TRUE(other->RestoreState(s));
    EXPECT_EQ(other->PageNumber(), 17);
    ByteStream bad;
    bad.WriteWord32BE(ImageViewState::kTag);
    bad.WriteWord32BE(1);
    EXPECT_FALSE(other->RestoreState(bad));
    EXPECT_EQ(other->PageNumber(), 17);
}

}  // namespace
