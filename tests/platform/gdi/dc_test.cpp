#include <atomic>
#include <thread>
#include <vector>

#include "gdi_fixture.h"
#include "platform/gdi/gdi_layer.h"
#include "platform/last_error.h"
#include "support/platform/temp_device.h"

using namespace gdi_test;

TEST(DeviceContext, SelectObjectReturnsThePreviousObject) {
    Canvas c(4, 4);
    HPEN red = CreatePen(PS_SOLID, 1, kRed);
    HGDIOBJ initial = SelectObject(c.dc(), red);
    EXPECT_EQ(initial, GetStockObject(BLACK_PEN));
    EXPECT_EQ(SelectObject(c.dc(), initial), red);
    EXPECT_TRUE(DeleteObject(red));
}

TEST(DeviceContext, SelectedObjectsCannotBeDeleted) {
    Canvas c(4, 4);
    HBRUSH brush = CreateSolidBrush(kRed);
    HGDIOBJ old = SelectObject(c.dc(), brush);
    EXPECT_FALSE(DeleteObject(brush));
    FillRect(c.dc(), nullptr, brush);  // still usable
    SelectObject(c.dc(), old);
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_FALSE(DeleteObject(brush));  // stale now
}

TEST(DeviceContext, ABitmapLivesInOneMemoryDcAtATime) {
    Canvas c(4, 4);
    HDC other = CreateCompatibleDC(c.dc());
    EXPECT_EQ(SelectObject(other, c.bitmap()), nullptr);
    DeleteDC(other);
}

TEST(DeviceContext, WrongKindsAndStaleHandlesAreRefused) {
    Canvas c(4, 4);
    HPEN pen = CreatePen(PS_SOLID, 1, kRed);
    EXPECT_EQ(SelectObject(reinterpret_cast<HDC>(pen), GetStockObject(WHITE_BRUSH)), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(FillRect(c.dc(), nullptr, reinterpret_cast<HBRUSH>(pen)), 0);
    RECT r{0, 0, 2, 2};
    EXPECT_EQ(FillRect(c.dc(), &r, reinterpret_cast<HBRUSH>(pen)), 0);
    EXPECT_FALSE(DeleteDC(reinterpret_cast<HDC>(pen)));
    DeleteObject(pen);
    EXPECT_EQ(SelectObject(c.dc(), pen), nullptr);
    EXPECT_EQ(SelectObject(c.dc(), reinterpret_cast<HGDIOBJ>(0x12345)), nullptr);
    EXPECT_EQ(SelectObject(nullptr, GetStockObject(BLACK_PEN)), nullptr);
    EXPECT_EQ(c.Count(kWhite), 16);
}

TEST(DeviceContext, StockObjectsSurviveDeletion) {
    HGDIOBJ white = GetStockObject(WHITE_BRUSH);
    EXPECT_TRUE(DeleteObject(white));
    EXPECT_EQ(GetObjectType(white), OBJ_BRUSH);
    EXPECT_EQ(GetStockObject(99), nullptr);
}

TEST(DeviceContext, SaveAndRestoreBringBackObjectsColoursAndClip) {
    Canvas c(8, 8);
    HPEN red = CreatePen(PS_SOLID, 1, kRed);
    int level = SaveDC(c.dc());
    EXPECT_EQ(level, 1);
    HGDIOBJ oldPen = SelectObject(c.dc(), red);
    SetTextColor(c.dc(), kBlue);
    SetROP2(c.dc(), R2_NOT);
    SetViewportOrgEx(c.dc(), 3, 3, nullptr);
    IntersectClipRect(c.dc(), 0, 0, 1, 1);
    EXPECT_TRUE(RestoreDC(c.dc(), -1));
    EXPECT_EQ(GetCurrentObject(c.dc(), OBJ_PEN), oldPen);
    EXPECT_EQ(GetTextColor(c.dc()), kBlack);
    EXPECT_EQ(GetROP2(c.dc()), R2_COPYPEN);
    RECT box{};
    EXPECT_EQ(GetClipBox(c.dc(), &box), SIMPLEREGION);
    EXPECT_EQ(box, (RECT{0, 0, 8, 8}));
    EXPECT_FALSE(RestoreDC(c.dc(), -1));
    EXPECT_TRUE(DeleteObject(red));
}

// Callers that remember what they set in a DC rely on the generation moving at every change of
// text colour, background, or selected object, made by anyone, and at DCs made and deleted.
TEST(DeviceContext, TheStateGenerationMovesAtEveryChangeOfColoursAndObjects) {
    Canvas c(4, 4);
    unsigned seen = GdiDcStateGeneration();
    auto moved = [&seen] {
        unsigned now = GdiDcStateGeneration();
        bool m = now != seen;
        seen = now;
        return m;
    };
    int level = SaveDC(c.dc());
    SetTextColor(c.dc(), kRed);
    EXPECT_TRUE(moved());
    SetBkColor(c.dc(), kBlue);
    EXPECT_TRUE(moved());
    SetBkMode(c.dc(), TRANSPARENT);
    EXPECT_TRUE(moved());
    HGDIOBJ font = SelectObject(c.dc(), GetStockObject(SYSTEM_FONT));
    EXPECT_TRUE(moved());
    EXPECT_TRUE(RestoreDC(c.dc(), level));
    EXPECT_TRUE(moved());
    EXPECT_EQ(GetCurrentObject(c.dc(), OBJ_FONT), font);
    HDC other = CreateCompatibleDC(c.dc());
    EXPECT_TRUE(moved());
    EXPECT_TRUE(DeleteDC(other));
    EXPECT_TRUE(moved());
    // Reads and drawing leave it.
    GetTextColor(c.dc());
    GetCurrentObject(c.dc(), OBJ_FONT);
    ExtTextOutW(c.dc(), 0, 0, 0, nullptr, u"A", 1, nullptr);
    EXPECT_FALSE(moved());
}

// The handle table is shared by every thread that draws or makes objects (the audio player and
// the HTTP client have their own): handles made, looked up and deleted on two threads at once
// keep resolving to their own objects, and deleted ones to none.
TEST(HandleTable, HandlesMadeUsedAndDeletedOnTwoThreadsAtOnceStayTheirOwn) {
    constexpr int kRounds = 4000;
    HPEN kept = CreatePen(PS_SOLID, 1, kRed);
    std::atomic<int> wrong{0};
    auto churn = [&](bool pens) {
        Canvas c(2, 2);
        for (int i = 0; i < kRounds; ++i) {
            COLORREF colour = RGB(i & 0xFF, (i >> 8) & 0xFF, pens ? 1 : 2);
            HGDIOBJ made = pens ? static_cast<HGDIOBJ>(CreatePen(PS_SOLID, 1, colour))
                                : static_cast<HGDIOBJ>(CreateSolidBrush(colour));
            HGDIOBJ old = SelectObject(c.dc(), made);
            LOGPEN pen{};
            LOGBRUSH brush{};
            COLORREF got = pens ? (GetObjectW(made, sizeof(pen), &pen), pen.lopnColor)
                                : (GetObjectW(made, sizeof(brush), &brush), brush.lbColor);
            if (!old || got != colour) ++wrong;
            if (GetObjectType(kept) != OBJ_PEN) ++wrong;
            SelectObject(c.dc(), old);
            if (!DeleteObject(made) || GetObjectType(made) != 0) ++wrong;
        }
    };
    std::thread other(churn, true);
    churn(false);
    other.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_TRUE(DeleteObject(kept));
}

TEST(DeviceContext, ViewportOriginIsAbsolute) {
    Canvas c(8, 8);
    SetViewportOrgEx(c.dc(), 2, 3, nullptr);
    POINT prev{};
    SetViewportOrgEx(c.dc(), 4, 1, &prev);
    EXPECT_EQ(prev.x, 2);
    EXPECT_EQ(prev.y, 3);
    SetPixel(c.dc(), 0, 0, kRed);
    EXPECT_EQ(c.At(4, 1), kRed);
    EXPECT_EQ(GetPixel(c.dc(), 0, 0), kRed);
}

TEST(DeviceContext, ClipRectanglesAreInLogicalCoordinatesAndResettable) {
    Canvas c(8, 8);
    SetViewportOrgEx(c.dc(), 2, 0, nullptr);
    EXPECT_EQ(IntersectClipRect(c.dc(), 0, 0, 2, 8), SIMPLEREGION);
    HBRUSH red = CreateSolidBrush(kRed);
    RECT all{-10, -10, 20, 20};
    FillRect(c.dc(), &all, red);
    EXPECT_EQ(c.Row(0, kRed), "..##....");
    EXPECT_EQ(GetPixel(c.dc(), 5, 0), CLR_INVALID);
    SelectClipRgn(c.dc(), nullptr);
    FillRect(c.dc(), &all, red);
    EXPECT_EQ(c.Row(0, kRed), "########");
    DeleteObject(red);
}

TEST(DeviceContext, ExcludedAreasMakeAComplexClip) {
    Canvas c(6, 3);
    EXPECT_EQ(ExcludeClipRect(c.dc(), 2, 1, 4, 2), COMPLEXREGION);
    HBRUSH red = CreateSolidBrush(kRed);
    RECT all{0, 0, 6, 3};
    FillRect(c.dc(), &all, red);
    EXPECT_EQ(c.Row(1, kRed), "##..##");
    EXPECT_EQ(c.Row(0, kRed), "######");
    DeleteObject(red);
}

TEST(DeviceContext, ScreenCapsAndSystemColours) {
    fvt::test::TempDevice device;
    ASSERT_TRUE(device.ok());
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), GetDeviceCaps(dc, LOGPIXELSY));
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 96);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 16);
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 240);
    EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 320);
    EXPECT_EQ(GetDeviceCaps(nullptr, LOGPIXELSX), 0);
    DeleteDC(dc);
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), kWhite);
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE | SYS_COLOR_INDEX_FLAG), GetSysColor(COLOR_BTNFACE));
    EXPECT_NE(GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_HIGHLIGHTTEXT));
}

TEST(DeviceContext, FillRectTakesSystemColourIndexes) {
    Canvas c(2, 1);
    RECT r{0, 0, 2, 1};
    FillRect(c.dc(), &r, reinterpret_cast<HBRUSH>(static_cast<std::intptr_t>(COLOR_BTNTEXT + 1)));
    EXPECT_EQ(c.At(1, 0), GetSysColor(COLOR_BTNTEXT));
}

TEST(Screen, SizeDepthAndResolutionComeFromTheDeviceProfile) {
    fvt::test::TempDevice device("screen = 480x640@192\ndepth = 32");
    ASSERT_TRUE(device.ok());
    HDC dc = GdiCreateScreenDC();
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 480);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 192);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);
    EXPECT_EQ(GdiScreenSurface()->Height(), 640);
    // Turning the screen swaps its size; DCs made before keep their old framebuffer.
    EXPECT_TRUE(GdiSetScreenSize(640, 480));
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 640);
    EXPECT_EQ(GdiScreenSurface()->Width(), 640);
    EXPECT_EQ(GdiDCSurface(dc)->Width(), 480);
    EXPECT_FALSE(GdiSetScreenSize(0, 480));
    DeleteDC(dc);
}

TEST(Screen, ReadingAScreenDcReturnsWhatIsOnScreen) {
    fvt::test::TempDevice device;
    ASSERT_TRUE(device.ok());
    HDC screen = GdiCreateScreenDC();
    SetPixel(screen, 5, 6, kRed);
    Canvas copy(2, 2);
    EXPECT_TRUE(BitBlt(copy.dc(), 0, 0, 2, 2, screen, 4, 5, SRCCOPY));
    EXPECT_EQ(copy.At(1, 1), kRed);
    DeleteDC(screen);
}

TEST(Screen, ScreenDcDrawsIntoTheFramebufferWithOriginAndVisibleRegion) {
    fvt::test::TempDevice device;
    ASSERT_TRUE(device.ok());
    HDC screen = GdiCreateScreenDC();
    ASSERT_NE(screen, nullptr);
    auto fb = GdiScreenSurface();
    ASSERT_TRUE(fb);
    EXPECT_EQ(fb->Width(), GetDeviceCaps(screen, HORZRES));
    GdiSetDCOrigin(screen, 10, 20);
    HRGN visible = CreateRectRgn(10, 20, 12, 21);
    GdiSetDCVisibleRegion(screen, visible);
    HBRUSH red = CreateSolidBrush(kRed);
    RECT r{0, 0, 5, 5};
    FillRect(screen, &r, red);
    EXPECT_EQ(fb->GetPixel(10, 20), 0xFF0000u);
    EXPECT_EQ(fb->GetPixel(11, 20), 0xFF0000u);
    EXPECT_NE(fb->GetPixel(12, 20), 0xFF0000u);
    EXPECT_NE(fb->GetPixel(10, 21), 0xFF0000u);
    DeleteDC(screen);
    DeleteObject(red);
    DeleteObject(visible);
}

// The window layer hands a DC its visible region as rectangles: overlapping, reversed and empty
// ones clip as a region made of them does, and only there.
TEST(Screen, VisibleRectsClipAsTheRegionMadeOfThem) {
    fvt::test::TempDevice device;
    ASSERT_TRUE(device.ok());
    auto fb = GdiScreenSurface();
    ASSERT_TRUE(fb);
    const gdi::RectList rects{RECT{2, 2, 8, 6}, RECT{12, 9, 5, 4}, RECT{3, 3, 3, 9},
                              RECT{0, 10, 4, 12}};
    HBRUSH red = CreateSolidBrush(kRed);
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    RECT all{0, 0, 16, 16};
    auto paint = [&](bool asRects) {
        HDC screen = GdiCreateScreenDC();
        FillRect(screen, &all, white);
        HRGN region = CreateRectRgn(0, 0, 0, 0);
        if (asRects) {
            EXPECT_TRUE(GdiSetDCVisibleRects(screen, rects));
        } else {
            for (const RECT& r : rects) {
                HRGN part = CreateRectRgnIndirect(&r);
                CombineRgn(region, region, part, RGN_OR);
                DeleteObject(part);
            }
            GdiSetDCVisibleRegion(screen, region);
        }
        FillRect(screen, &all, red);
        std::vector<std::uint32_t> pixels;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) pixels.push_back(fb->GetPixel(x, y));
        DeleteObject(region);
        DeleteDC(screen);
        return pixels;
    };
    const std::vector<std::uint32_t> byRects = paint(true);
    EXPECT_EQ(byRects, paint(false));
    EXPECT_EQ(byRects[4 * 16 + 10], 0xFF0000u);  // inside the reversed rectangle
    EXPECT_EQ(byRects[11 * 16 + 1], 0xFF0000u);
    EXPECT_EQ(byRects[8 * 16 + 3], 0xFFFFFFu);   // the empty one clips nothing in
    EXPECT_EQ(byRects[13 * 16 + 13], 0xFFFFFFu);
    EXPECT_FALSE(GdiSetDCVisibleRects(nullptr, rects));
    DeleteObject(red);
    DeleteObject(white);
}

TEST(Region, CombineKeepsPiecesDisjoint) {
    HRGN a = CreateRectRgn(0, 0, 4, 4);
    HRGN b = CreateRectRgn(2, 2, 6, 6);
    HRGN out = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(CombineRgn(out, a, b, RGN_OR), COMPLEXREGION);
    EXPECT_TRUE(PtInRegion(out, 5, 5));
    EXPECT_FALSE(PtInRegion(out, 5, 0));
    EXPECT_EQ(CombineRgn(out, a, b, RGN_DIFF), COMPLEXREGION);
    EXPECT_FALSE(PtInRegion(out, 3, 3));
    EXPECT_EQ(CombineRgn(out, a, b, RGN_AND), SIMPLEREGION);
    RECT box{};
    GetRgnBox(out, &box);
    EXPECT_EQ(box, (RECT{2, 2, 4, 4}));
    EXPECT_EQ(CombineRgn(out, a, nullptr, RGN_AND), ERROR);
    for (HRGN r : {a, b, out}) DeleteObject(r);
}
