// The cover picture: fitting and centring (never enlarged), mapping both ways, the saved
// state "COVR" 1 and refused records, pictures without a size, keys, taps and commands, and the
// cover drawn in a window.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "core/color.h"
#include "graphics/core/drawing_surface.h"
#include "graphics/widgets/cover_view.h"
#include "support/graphics/fake_controllers.h"
#include "support/graphics/surface_window.h"

namespace {

using fvt::test::FakeDocumentController;
using fvt::test::FakeReaderController;
using fvt::test::SolidPicture;

// ---- Viewport ---------------------------------------------------------------------------------

TEST(CoverViewport, LargePictureIsScaledDownToFit) {
    Viewport v;
    v.SetViewSize(240, 320);
    v.SetPictureSize(600, 800);
    EXPECT_TRUE(v.active);
    EXPECT_EQ(v.zoom, 102u);
    EXPECT_EQ(v.scaledWidth, 240);
    EXPECT_EQ(v.scaledHeight, 320);
    EXPECT_EQ(v.offsetX, 0);
    EXPECT_EQ(v.offsetY, 0);
}

TEST(CoverViewport, SmallPictureIsShownOneToOneAndCentred) {
    Viewport v;
    v.SetPictureSize(100, 50);
    EXPECT_FALSE(v.active);
    v.SetViewSize(240, 320);
    EXPECT_EQ(v.zoom, 256u);
    EXPECT_EQ(v.PictureRect(), (Rect{70, 135, 100, 50}));
}

TEST(CoverViewport, WidePictureFillsTheWidthCentredVertically) {
    Viewport v;
    v.SetViewSize(240, 320);
    v.SetPictureSize(480, 200);
    EXPECT_EQ(v.scaledWidth, 240);
    EXPECT_EQ(v.scaledHeight, 100);
    EXPECT_EQ(v.offsetX, 0);
    EXPECT_EQ(v.offsetY, 110);
    EXPECT_EQ(v.zoom, 240u * 256 / 480);
}

TEST(CoverViewport, MapsPointsBothWays) {
    Viewport v;
    v.SetViewSize(240, 320);
    v.SetPictureSize(480, 200);
    EXPECT_EQ(v.PictureToView(Point{0, 0}), (Point{0, 110}));
    EXPECT_EQ(v.PictureToView(Point{480, 200}), (Point{240, 210}));
    EXPECT_EQ(v.ViewToPicture(Point{120, 160}), (Point{240, 100}));
    EXPECT_EQ(v.ViewToPicture(v.PictureToView(Point{300, 50})), (Point{300, 50}));
}

TEST(CoverViewport, ZeroSizesAreNotFitted) {
    Viewport v;
    v.SetViewSize(240, 320);
    v.SetPictureSize(0, 100);
    EXPECT_FALSE(v.active);
    EXPECT_EQ(v.ViewToPicture(Point{5, 5}), (Point{5, 5}));
    v.SetPictureSize(100, 100);
    v.SetViewSize(0, 0);
    EXPECT_TRUE(v.active);
    EXPECT_EQ(v.VisiblePictureRect().width, 0);
}

// ---- State records ----------------------------------------------------------------------------

TEST(CoverViewState, SavedRecordIsCovrVersionOne) {
    CoverView view(nullptr, nullptr);
    ByteStream s;
    ASSERT_TRUE(view.SaveState(0, 0, s));
    ASSERT_EQ(s.Size(), 8u);
    const uint8_t expected[8] = {'C', 'O', 'V', 'R', 0, 0, 0, 1};
    EXPECT_EQ(std::memcmp(s.Data(), expected, 8), 0);
    EXPECT_TRUE(view.RestoreState(0, 0, s));
}

TEST(CoverViewState, OtherTagsVersionsAndShortRecordsAreRefused) {
    CoverView view(nullptr, nullptr);
    auto restore = [&](std::initializer_list<uint8_t> bytes) {
        ByteStream s;
        for (uint8_t b : bytes) s.WriteByte(b);
        return view.RestoreState(0, 0, s);
    };
    EXPECT_FALSE(restore({'C', 'O', 'V', 'R', 0, 0, 0, 2}));
    EXPECT_FALSE(restore({'L', 'T', 'T', 'S', 0, 0, 0, 1}));
    EXPECT_FALSE(restore({'C', 'O', 'V', 'R', 0, 0, 0}));
    EXPECT_FALSE(restore({}));
    EXPECT_FALSE(restore({1, 0, 0, 0, 'R', 'V', 'O', 'C'}));  // little-endian is not the record
    EXPECT_TRUE(restore({'C', 'O', 'V', 'R', 0, 0, 0, 1, 9, 9}));
}

TEST(CoverViewState, GeometryEncodingsRoundTrip) {
    ByteStream s;
    ASSERT_TRUE(ViewState::WritePoint(s, Point{-3, 7}));
    ASSERT_TRUE(ViewState::WriteRect(s, Rect{1, 2, 3, 4}));
    ASSERT_TRUE(ViewState::WriteColor(s, 0x123456));
    ASSERT_TRUE(ViewState::WriteColor(s, Color::kNone));
    EXPECT_EQ(s.Size(), 8u + 16u + 8u);
    EXPECT_EQ(s.Data()[24], 0);
    EXPECT_EQ(s.Data()[25], 0x56);  // r
    EXPECT_EQ(s.Data()[28], 255);
    Point p;
    Rect r;
    uint32_t a = 0, b = 0;
    ASSERT_TRUE(ViewState::ReadPoint(s, p));
    ASSERT_TRUE(ViewState::ReadRect(s, r));
    ASSERT_TRUE(ViewState::ReadColor(s, a));
    ASSERT_TRUE(ViewState::ReadColor(s, b));
    EXPECT_EQ(p, (Point{-3, 7}));
    EXPECT_EQ(r, (Rect{1, 2, 3, 4}));
    EXPECT_EQ(a, 0x123456u);
    EXPECT_TRUE(Color::IsNone(b));
    EXPECT_FALSE(ViewState::ReadColor(s, a));
}

// ---- Pictures, keys, taps ---------------------------------------------------------------------

class CoverViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        controller.document = &document;
        view = std::make_unique<CoverView>(nullptr, &controller);
        Rect out;
        view->AdjustRect(out, Rect{0, 20, 240, 300});
    }
    FakeDocumentController document;
    FakeReaderController controller;
    std::unique_ptr<CoverView> view;
};

TEST_F(CoverViewTest, PictureWithoutASizeIsRefused) {
    auto* none = new SolidPicture(0, 50);
    EXPECT_TRUE(view->SetPicture(none));  // true: failed
    EXPECT_FALSE(view->HasPicture());
    EXPECT_TRUE(view->SetPicture(new SolidPicture(10, 10, 0x00FF00, false)));
    EXPECT_TRUE(view->SetPicture(nullptr));
    auto* good = new SolidPicture(120, 60);
    good->AddRef();
    EXPECT_FALSE(view->SetPicture(good));
    EXPECT_TRUE(view->HasPicture());
    EXPECT_EQ(good->RefCount(), 2);  // the view's and ours
    view.reset();
    EXPECT_EQ(good->RefCount(), 1);
    good->Release();
}

TEST_F(CoverViewTest, NextPageKeysLeaveTheCover) {
    for (uint32_t code : {11u, 13u, 15u, 1035u, 1037u}) {
        InputEvent e = InputEvent::Key(code);
        EXPECT_TRUE(view->HandleEvent(e));
    }
    EXPECT_EQ(document.calls.size(), 5u);
    EXPECT_EQ(document.calls[0], "refresh");
    InputEvent other = InputEvent::Key(12);
    EXPECT_FALSE(view->HandleEvent(other));
}

TEST_F(CoverViewTest, CommandEventsGoToTheViewOrTheController) {
    InputEvent back = InputEvent::Key(kKeyCommand, 23);
    EXPECT_TRUE(view->HandleEvent(back));
    EXPECT_EQ(document.calls, (std::vector<std::string>{"back"}));
    InputEvent zoom = InputEvent::Key(kKeyCommand, 42);
    EXPECT_TRUE(view->HandleEvent(zoom));
    EXPECT_EQ(controller.commands, (std::vector<uint32_t>{42}));
    InputEvent none = InputEvent::Key(kKeyCommand, kNoCommand);
    EXPECT_TRUE(view->HandleEvent(none));
    EXPECT_EQ(controller.commands.size(), 1u);
    EXPECT_TRUE(view->IsCommandEnabled(3, 0));
    EXPECT_TRUE(view->IsCommandEnabled(66, 0));
    EXPECT_FALSE(view->IsCommandEnabled(4, 0));
}

// Commands that need no page (Library, Options, Go to page, Full screen, Rotate, ...) are
// enabled on the cover, so a menu offers them, and still go to the controller, which runs them;
// the page's own commands stay greyed.
TEST_F(CoverViewTest, CommandsThatNeedNoPageAreEnabledAndRunByTheController) {
    for (uint32_t id : {0u, 1u, 6u, 9u, 15u, 20u, 55u, 74u}) {
        EXPECT_TRUE(view->IsCommandEnabled(id, 0)) << id;
        InputEvent e = InputEvent::Key(kKeyCommand, id);
        EXPECT_TRUE(view->HandleEvent(e));
    }
    EXPECT_EQ(controller.commands, (std::vector<uint32_t>{0, 1, 6, 9, 15, 20, 55, 74}));
    EXPECT_TRUE(document.calls.empty());
    for (uint32_t id : {16u, 42u, 67u, 79u}) EXPECT_FALSE(view->IsCommandEnabled(id, 0)) << id;
}

TEST_F(CoverViewTest, TapOnThePictureLeavesAndOutsideDoesNothing) {
    view->SetPicture(new SolidPicture(100, 50));  // at (70, 125) .. (170, 175) in the view
    EXPECT_TRUE(view->OnTap(Point{10, 30}));
    EXPECT_TRUE(document.calls.empty());
    EXPECT_TRUE(view->OnTap(Point{80, 20 + 130}));
    EXPECT_EQ(document.calls, (std::vector<std::string>{"refresh"}));
}

TEST_F(CoverViewTest, RefreshThatDeletesTheViewIsSafe) {
    document.onRefresh = [this] { view.reset(); };
    InputEvent e = InputEvent::Key(11);
    CoverView* raw = view.get();
    EXPECT_TRUE(raw->HandleEvent(e));
    EXPECT_EQ(view, nullptr);
}

// ---- Drawn in a window ------------------------------------------------------------------------

class CoverDrawTest : public fvt::test::SurfaceWindowTest {
protected:
    void SetUp() override {
        SurfaceWindowTest::SetUp();
        OpenSurface(200, 150);
        view = std::make_unique<CoverView>(surface.get(), nullptr);
        view->SetParent(surface.get());
        view->SetBackgroundColor(0);
        Rect out;
        surface->AdjustRect(out, Rect{0, 0, 200, 150});
    }
    void TearDown() override {
        view.reset();
        SurfaceWindowTest::TearDown();
    }
    std::unique_ptr<CoverView> view;
};

TEST_F(CoverDrawTest, PictureIsFramedAndCentredOnTheBackground) {
    auto* picture = new SolidPicture(400, 150);  // scaled to 200 x 75, centred at y 37
    picture->AddRef();
    view->SetPicture(picture);
    Repaint();
    EXPECT_EQ(picture->drawnAt, (Rect{1, 38, 198, 73}));
    EXPECT_EQ(Pixel(100, 10), 0x000000u);   // background
    EXPECT_EQ(Pixel(100, 37), 0x000000u);   // the black frame
    EXPECT_EQ(Pixel(100, 38), 0x00FF00u);   // the picture
    EXPECT_EQ(Pixel(100, 140), 0x000000u);
    picture->Release();
}

TEST_F(CoverDrawTest, WithoutAPictureOnlyTheBackgroundIsDrawn) {
    view->SetBackgroundColor(0xFFFFFF);
    EXPECT_TRUE(view->SetPicture(new SolidPicture(0, 0)));
    Repaint();
    EXPECT_EQ(Pixel(100, 75), 0xFFFFFFu);
    EXPECT_EQ(Pixel(0, 0), 0xFFFFFFu);
}

TEST_F(CoverDrawTest, ShadowFrameInATinyViewEnds) {
    Rect out;
    view->AdjustRect(out, Rect{0, 0, 3, 3});
    view->SetShadowFrame(true);
    view->SetPicture(new SolidPicture(50, 50));
    view->Redraw(nullptr);
    view->AdjustRect(out, Rect{0, 0, 200, 150});
    view->Redraw(nullptr);
    EXPECT_EQ(Pixel(100, 75), 0x00FF00u);
}

}  // namespace
