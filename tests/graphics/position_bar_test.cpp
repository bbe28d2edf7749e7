// The reading-position bar docked at the bottom of a window: the room it takes (and does not
// take while hidden), positions mapped onto the bar for short and very long books, the read and
// unread parts, annotation ticks before and after the current page, the end caps, and the page
// number (never 0 or -1).
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "bookfiles/annotation_file.h"
#include "graphics/core/drawing_surface.h"
#include "graphics/widgets/position_bar.h"
#include "support/graphics/fake_controllers.h"
#include "support/graphics/surface_window.h"

namespace {

using fvt::test::FakeDocumentController;
using fvt::test::FakeReaderController;

constexpr int kW = 240;
constexpr int kH = 200;
constexpr uint32_t kWhite = 0xFFFFFF;

using Page = fvt::test::PlainNode;

// Screen colour (0xRRGGBB) of a grey or bluish bar colour.
uint32_t Rgb(int r, int g, int b) {
    return static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(b);
}

class PositionBarTest : public fvt::test::SurfaceWindowTest {
protected:
    explicit PositionBarTest(const std::string& profile = "clock = virtual\n")
        : SurfaceWindowTest(profile) {}
    void SetUp() override {
        SurfaceWindowTest::SetUp();
        OpenSurface(kW, kH);
        controller.document = &document;
        controller.surface = surface.get();
        page.SetParent(surface.get());
        bar = std::make_unique<PositionBar>(&controller);
        document.length = 10000;
    }
    void TearDown() override {
        bar.reset();
        page.Detach();
        if (annotations) annotations->Release();
        SurfaceWindowTest::TearDown();
    }
    void Layout() {
        Rect out;
        surface->AdjustRect(out, Rect{0, 0, kW, kH});
    }
    void Show() {
        bar->SetVisible(true);
        Layout();
        Repaint();
        if (const char* shot = std::getenv("FOLIVANT_WIDGET_SHOTS"))
            fvt::SaveScreenshot(std::string(shot) + "/position_bar_" +
                                ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                                ".png");
    }
    void AddAnnotations(std::initializer_list<std::pair<uint32_t, uint32_t>> kindsAndStarts) {
        annotations = new AnnotationFile;
        ASSERT_EQ(annotations->OpenOrCreate("\\book.prc", "Book", 4, 0, 1, 1), 0);
        for (auto [kind, start] : kindsAndStarts)
            ASSERT_GE(annotations->AddBookmark(kind, start, start + 10, 0, 0, 0, 1), 0);
        document.annotations = annotations;
    }
    int32_t RowY(int i) { return bar->GetStrip().y + (12 - 8) / 2 + i; }
    int InkIn(Rect r, uint32_t background) {
        int n = 0;
        for (int y = r.y; y < r.Bottom(); ++y)
            for (int x = r.x; x < r.Right(); ++x)
                if (Pixel(x, y) != background) ++n;
        return n;
    }

    FakeDocumentController document;
    FakeReaderController controller;
    Page page;
    std::unique_ptr<PositionBar> bar;
    AnnotationFile* annotations = nullptr;
};

// ---- Docking ----------------------------------------------------------------------------------

TEST_F(PositionBarTest, HiddenBarTakesNoRoomAndNoTaps) {
    Layout();
    EXPECT_EQ(page.given, (Rect{0, 0, kW, kH}));
    EXPECT_FALSE(bar->HitTest(Rect{5, kH - 3, 1, 1}));
    EXPECT_EQ(bar->Parent(), surface.get());
}

TEST_F(PositionBarTest, VisibleBarTakesExactlyItsThicknessAtTheBottom) {
    bar->SetVisible(true);
    Layout();
    EXPECT_EQ(bar->Thickness(3, Rect{}), 12);
    EXPECT_EQ(page.given, (Rect{0, 0, kW, kH - 12}));
    EXPECT_EQ(bar->GetStrip(), (Rect{0, kH - 12, kW, 12}));
    EXPECT_EQ(bar->OuterStrip(), (Rect{0, kH - 15, kW, 15}));
    EXPECT_TRUE(bar->HitTest(Rect{5, kH - 3, 1, 1}));
    EXPECT_FALSE(bar->HitTest(Rect{5, kH - 13, 1, 1}));
}

// A screen of 192 dots per inch takes the metrics' second column.
class PositionBarHighResolutionTest : public PositionBarTest {
protected:
    PositionBarHighResolutionTest() : PositionBarTest("clock = virtual\nscreen = 480x640@192\n") {}
};

TEST_F(PositionBarHighResolutionTest, VisibleBarTakesTwentyFourPixels) {
    bar->SetVisible(true);
    Layout();
    EXPECT_EQ(page.given, (Rect{0, 0, kW, kH - 24}));
    EXPECT_EQ(bar->OuterStrip(), (Rect{0, kH - 30, kW, 30}));
    EXPECT_EQ(bar->BarHeight(), 16);
    EXPECT_EQ(bar->CapWidth(), 18);
}

TEST_F(PositionBarTest, OtherEdgesTakeTheirStrip) {
    bar->SetVisible(true);
    Rect out;
    bar->SetEdge(DockBar::kTop);
    bar->AdjustRect(out, Rect{0, 0, kW, kH});
    EXPECT_EQ(out, (Rect{0, 12, kW, kH - 12}));
    EXPECT_EQ(bar->GetStrip(), (Rect{0, 0, kW, 12}));
    bar->SetEdge(DockBar::kLeft);
    bar->AdjustRect(out, Rect{0, 0, kW, kH});
    EXPECT_EQ(out, (Rect{12, 0, kW - 12, kH}));
    bar->SetEdge(DockBar::kRight);
    bar->AdjustRect(out, Rect{0, 0, kW, kH});
    EXPECT_EQ(out, (Rect{0, 0, kW - 12, kH}));
    EXPECT_EQ(bar->GetStrip(), (Rect{kW - 12, 0, 12, kH}));
    bar->AdjustRect(out, Rect{0, 0, 5, 5});
    EXPECT_EQ(out.width, 0);
}

// ---- Geometry ---------------------------------------------------------------------------------

TEST_F(PositionBarTest, LongBookMapsItsLastPositionToTheRightEnd) {
    document.length = 3000000;
    Show();
    PositionBar::Geometry g = bar->ComputeGeometry();
    ASSERT_TRUE(g.drawable);
    EXPECT_EQ(g.shift, 11);
    EXPECT_EQ(g.Map(3000000), g.x0 + g.width);
    EXPECT_EQ(g.Map(0), g.x0);
    EXPECT_EQ(g.Map(1500000), g.x0 + g.width / 2);
    // A stale annotation past the end stays on the bar.
    EXPECT_EQ(g.Map(0xFFFFFFF0u), g.x0 + g.width);
}

TEST_F(PositionBarTest, WithoutAnnotationsTheBarStartsTwoPixelsInWithoutCaps) {
    document.pageStart = 0;
    Show();
    PositionBar::Geometry g = bar->ComputeGeometry();
    EXPECT_FALSE(bar->HasAnnotations());
    EXPECT_EQ(g.x0, 2);
    EXPECT_GT(bar->NumberWidth(), 2);
    EXPECT_EQ(g.width, kW - 2 - bar->NumberWidth());
    EXPECT_EQ(Pixel(1, RowY(4)), kWhite);
    EXPECT_EQ(Pixel(3, RowY(4)), Rgb(233, 233, 233));  // unread, row 4
}

TEST_F(PositionBarTest, ReadAndUnreadParts) {
    document.pageStart = 5000;
    Show();
    PositionBar::Geometry g = bar->ComputeGeometry();
    const int mid = g.x0 + g.width / 2;
    EXPECT_EQ(Pixel(g.x0 + 3, RowY(4)), Rgb(159, 159, 255));
    EXPECT_EQ(Pixel(mid - 3, RowY(4)), Rgb(159, 159, 255));
    EXPECT_EQ(Pixel(mid + 3, RowY(4)), Rgb(233, 233, 233));
    EXPECT_EQ(Pixel(mid + 3, RowY(1)), Rgb(249, 249, 249));  // f = 11/12: 64 f + 191
    EXPECT_EQ(Pixel(g.x0 + 3, RowY(7)), Rgb(111, 111, 255));  // f = 5/12: 192 f + 31
}

TEST_F(PositionBarTest, NoPageStartMeansNothingRead) {
    document.pageStart = -1;
    Show();
    PositionBar::Geometry g = bar->ComputeGeometry();
    EXPECT_EQ(Pixel(g.x0 + 3, RowY(4)), Rgb(233, 233, 233));
    EXPECT_EQ(Pixel(g.x0 + g.width - 3, RowY(4)), Rgb(233, 233, 233));
}

TEST_F(PositionBarTest, EmptyOrMissingDocumentDrawsOnlyTheBackground) {
    document.length = 0;
    document.pageNumber = 7;
    Show();
    EXPECT_EQ(InkIn(bar->GetStrip(), kWhite), 0);
    controller.document = nullptr;
    bar->Refresh();
    EXPECT_EQ(InkIn(bar->GetStrip(), kWhite), 0);
}

TEST_F(PositionBarTest, PageNumbersZeroAndMinusOneAreNotDrawn) {
    Rect numberArea;
    for (int32_t number : {0, -1, 12}) {
        document.pageNumber = number;
        Show();
        // The bar's first and last rows end on the first column before the number.
        numberArea = Rect{kW - bar->NumberWidth() + 1, bar->GetStrip().y, bar->NumberWidth() - 1, 12};
        int ink = InkIn(numberArea, kWhite);
        if (number > 0)
            EXPECT_GT(ink, 0);
        else
            EXPECT_EQ(ink, 0) << number;
    }
}

TEST_F(PositionBarTest, NumberWidthFollowsTheFontSize) {
    Show();
    const int32_t narrow = bar->NumberWidth();
    controller.fontSize = -20;
    bar->Refresh();
    EXPECT_GT(bar->NumberWidth(), narrow);
}

// ---- Annotations ------------------------------------------------------------------------------

TEST_F(PositionBarTest, TicksBeforeAndAfterTheCurrentPage) {
    AddAnnotations({{AnnotationFile::kBookmark, 1000}, {AnnotationFile::kNote, 5000},
                    {AnnotationFile::kHighlight, 8000}});
    document.pageStart = 5000;
    Show();
    ASSERT_TRUE(bar->HasAnnotations());
    PositionBar::Geometry g = bar->ComputeGeometry();
    EXPECT_EQ(g.x0, bar->CapWidth());
    EXPECT_EQ(g.width, kW - 2 * bar->CapWidth() - bar->NumberWidth());
    const int y = RowY(4);
    EXPECT_EQ(Pixel(g.Map(1000), y), Rgb(224, 224, 224));
    EXPECT_EQ(Pixel(g.Map(5000), y), Rgb(224, 224, 224));  // at the page start: not after it
    EXPECT_EQ(Pixel(g.Map(8000), y), Rgb(128, 128, 255));
}

TEST_F(PositionBarTest, UnknownKindsGetNoTick) {
    AddAnnotations({{AnnotationFile::kBookmark | 64, 3000}, {AnnotationFile::kBookmark, 9000}});
    document.pageStart = 0;
    Show();
    PositionBar::Geometry g = bar->ComputeGeometry();
    EXPECT_EQ(Pixel(g.Map(3000), RowY(4)), Rgb(233, 233, 233));
    EXPECT_EQ(Pixel(g.Map(9000), RowY(4)), Rgb(128, 128, 255));
}

TEST_F(PositionBarTest, CapsPointOutwardsInRed) {
    AddAnnotations({{AnnotationFile::kBookmark, 9000}});
    Show();
    PositionBar::Geometry g = bar->ComputeGeometry();
    const int cap = bar->CapWidth();
    const int y = RowY(4);  // the middle row: the widest part of the arrowhead
    const uint32_t red = Rgb(255, 159, 159);
    for (int x = 2; x <= g.x0 - 2; ++x) EXPECT_EQ(Pixel(x, y), red) << x;
    const int mirror = g.width + 2 * cap;
    for (int x = 2; x <= g.x0 - 2; ++x) EXPECT_EQ(Pixel(mirror - 1 - x, y), red) << x;
    // The first row: grey from x = 3, the red tip only one pixel.
    EXPECT_EQ(Pixel(3, RowY(1)), Rgb(249, 249, 249));
    EXPECT_EQ(Pixel(1, RowY(4)), kWhite);
}

}  // namespace
