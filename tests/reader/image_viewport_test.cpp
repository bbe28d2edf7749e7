#include "reader/image_viewport.h"

#include <gtest/gtest.h>

namespace {

// A 480x640 picture in a 240x320 view, shown at its own size.
ImageViewport Big() {
    ImageViewport v;
    v.SetImageSize(480, 640);
    v.SetViewSize(240, 320);
    return v;
}

TEST(ImageViewportZoom, StepIntoTheActualSizeBandSnapsToIt) {
    ImageViewport v = Big();
    v.factor = 250;
    v.ZoomAtCentre(ImageViewport::kZoomIn);  // 299
    EXPECT_EQ(v.factor, 256u);
    EXPECT_EQ(v.zoomedWidth, 480);
}

TEST(ImageViewportZoom, StepOutOfTheBandDoesNotSnap) {
    ImageViewport v = Big();
    v.factor = 250;
    v.ZoomAtCentre(ImageViewport::kZoomOut);
    EXPECT_EQ(v.factor, 199u);
    EXPECT_EQ(v.zoomedWidth, 480 * 199 / 256);
}

TEST(ImageViewportZoom, RepeatedZoomInStopsBelowThirtyTimes) {
    ImageViewport v = Big();
    for (int i = 0; i < 60; ++i) v.ZoomAtCentre(ImageViewport::kZoomIn);
    EXPECT_LE(v.factor, ImageViewport::kMaxFactor);
    EXPECT_GT(v.factor * ImageViewport::kZoomIn / 256, ImageViewport::kMaxFactor);
    EXPECT_FALSE(v.CanZoomIn());
    // Offsets of a picture 30 times larger stay within it.
    EXPECT_LE(v.offsetX, 0);
    EXPECT_GE(int64_t{v.offsetX} + v.zoomedWidth, v.viewWidth);
}

TEST(ImageViewportZoom, ZoomKeepsThePointUnderThePen) {
    ImageViewport v = Big();
    const Point pen{60, 100};
    const Point before = v.ViewToImage(pen);
    v.ZoomAt(ImageViewport::kZoomIn, pen);
    const Point after = v.ViewToImage(pen);
    EXPECT_NEAR(after.x, before.x, 1);
    EXPECT_NEAR(after.y, before.y, 1);
}

TEST(ImageViewportZoom, ZoomingOutBelowTheViewSnapsBackToFit) {
    ImageViewport v = Big();
    for (int i = 0; i < 10; ++i) v.ZoomAtCentre(ImageViewport::kZoomOut);
    // The picture is larger than the view: it ends fitted, not smaller.
    EXPECT_EQ(v.zoomedHeight, 320);
    EXPECT_EQ(v.zoomedWidth, 240);
}

TEST(ImageViewportZoom, SmallPictureReturnsToActualSize) {
    ImageViewport v;
    v.SetImageSize(100, 50);
    v.SetViewSize(240, 320);
    v.ZoomAtCentre(ImageViewport::kZoomOut);
    EXPECT_EQ(v.factor, 256u);
    EXPECT_EQ(v.offsetX, 70);
    EXPECT_EQ(v.offsetY, 135);
    EXPECT_FALSE(v.CanZoomOut());
}

TEST(ImageViewportFit, FitToViewTakesTheTighterAxis) {
    ImageViewport v = Big();
    v.FitToView();
    EXPECT_EQ(v.factor, 128u);
    EXPECT_EQ(v.zoomedWidth, 240);
    EXPECT_EQ(v.zoomedHeight, 320);
    v.SetImageSize(1000, 100);
    v.FitToView();
    EXPECT_EQ(v.zoomedWidth, 240);
    EXPECT_EQ(v.zoomedHeight, 24);
    EXPECT_EQ(v.offsetY, (320 - 24) / 2);
}

TEST(ImageViewportFit, FitWidthAndActualSize) {
    ImageViewport v = Big();
    v.FitWidth();
    EXPECT_EQ(v.zoomedWidth, 240);
    EXPECT_EQ(v.zoomedHeight, 320);
    EXPECT_EQ(v.factor, 128u);
    v.ActualSize();
    EXPECT_EQ(v.zoomedWidth, 480);
    EXPECT_EQ(v.factor, 256u);
}

TEST(ImageViewportFit, ActualSizeAtBringsThePointToTheCentre) {
    ImageViewport v = Big();
    v.FitToView();
    v.ActualSizeAt({120, 160});  // the picture's middle
    EXPECT_EQ(v.factor, 256u);
    EXPECT_EQ(v.offsetX, 120 - 240);
    EXPECT_EQ(v.offsetY, 160 - 320);
}

TEST(ImageViewportPan, DragMovesTwiceThePenAndStopsAtTheEdges) {
    ImageViewport v = Big();
    v.offsetX = -100;
    v.BeginDrag({50, 50});
    const Point moved = v.DragTo({60, 50});
    EXPECT_EQ(moved.x, 20);
    EXPECT_EQ(v.offsetX, -80);
    v.DragTo({200, 50});  // far past the left edge
    EXPECT_EQ(v.offsetX, 0);
    v.DragTo({-500, -500});
    EXPECT_EQ(v.offsetX, 240 - 480);
    EXPECT_EQ(v.offsetY, 320 - 640);
}

TEST(ImageViewportPan, DragWithoutAPressDoesNothing) {
    ImageViewport v = Big();
    EXPECT_EQ(v.DragTo({30, 30}).x, 0);
    EXPECT_EQ(v.offsetX, 0);
}

TEST(ImageViewportPan, SmallPictureStaysCentred) {
    ImageViewport v;
    v.SetImageSize(100, 100);
    v.SetViewSize(240, 320);
    v.BeginDrag({0, 0});
    v.DragTo({40, 40});
    EXPECT_EQ(v.offsetX, 70);
    EXPECT_EQ(v.offsetY, 110);
}

TEST(ImageViewportSizes, ZeroSizesKeepItInactive) {
    ImageViewport v;
    v.SetImageSize(0, 100);
    v.SetViewSize(240, 320);
    EXPECT_FALSE(v.active);
    v.FitToView();
    v.FitWidth();
    v.ZoomAtCentre(ImageViewport::kZoomIn);
    v.ActualSizeAt({5, 5});
    EXPECT_EQ(v.factor, 256u);
    EXPECT_EQ(v.ViewToImage({7, 9}).x, 7);  // zoomed size 0: unchanged
    v.SetImageSize(50, 50);
    v.SetViewSize(0, 0);
    EXPECT_FALSE(v.active);
    v.FitToView();
    EXPECT_EQ(v.factor, 256u);
}

TEST(ImageViewportSizes, HugePictureMapsWithoutOverflow) {
    ImageViewport v;
    v.SetImageSize(65535, 65535);
    v.SetViewSize(240, 320);
    v.factor = ImageViewport::kMaxFactor;
    v.ActualSizeAt({0, 0});
    const Point p = v.ViewToImage({239, 319});
    EXPECT_GE(p.x, 0);
    EXPECT_LT(p.x, 65535);
}

TEST(ImageViewportCommands, ZoomOutNeedsSomethingToShrink) {
    ImageViewport v = Big();
    EXPECT_TRUE(v.CanZoomOut());  // larger than the view
    v.FitToView();
    EXPECT_FALSE(v.CanZoomOut());
    EXPECT_FALSE(v.IsLargerThanView());
    EXPECT_TRUE(v.CanZoomIn());
}

TEST(ImageViewState, RoundTrip) {
    ByteStream s;
    ASSERT_TRUE(ImageViewState::Write(s, 42));
    EXPECT_EQ(s.Size(), 12u);
    int32_t page = 0;
    ASSERT_TRUE(ImageViewState::Read(s, page));
    EXPECT_EQ(page, 42);
}

TEST(ImageViewState, ShortOrForeignRecordsAreRefused) {
    ByteStream s;
    const uint32_t eight[2] = {ImageViewState::kTag, 1};
    s.WriteWords32BE(eight, 2);
    int32_t page = 7;
    EXPECT_FALSE(ImageViewState::Read(s, page));
    EXPECT_EQ(page, 7);
    EXPECT_EQ(s.ReadPosition(), 0u);

    ByteStream tag;
    const uint32_t wrongTag[3] = {0x494D5658, 1, 3};
    tag.WriteWords32BE(wrongTag, 3);
    EXPECT_FALSE(ImageViewState::Read(tag, page));
    ByteStream version;
    const uint32_t wrongVersion[3] = {ImageViewState::kTag, 2, 3};
    version.WriteWords32BE(wrongVersion, 3);
    EXPECT_FALSE(ImageViewState::Read(version, page));
    EXPECT_EQ(page, 7);
    EXPECT_EQ(version.ReadPosition(), 0u);
}

}  // namespace
