#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "gdi_fixture.h"

using namespace gdi_test;

namespace {

LOGFONTW Font(const char16_t* face, LONG height, LONG weight = FW_NORMAL) {
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfCharSet = DEFAULT_CHARSET;
    std::u16string f(face);
    std::copy(f.begin(), f.end(), lf.lfFaceName);
    return lf;
}

// Selects a font for the scope.
struct Selected {
    HDC dc;
    HFONT font;
    HGDIOBJ old;
    Selected(HDC d, const LOGFONTW& lf) : dc(d), font(CreateFontIndirectW(&lf)) {
        old = SelectObject(dc, font);
    }
    ~Selected() {
        SelectObject(dc, old);
        DeleteObject(font);
    }
};

const std::u16string kBox = kGdiTestFontFace;

SIZE Extent(HDC dc, const std::u16string& s) {
    SIZE size{};
    GetTextExtentExPointW(dc, s.data(), static_cast<int>(s.size()), 0, nullptr, nullptr, &size);
    return size;
}

// A DIB section of the given depth (16 bits as 565) selected into a DC of its own.
struct Dib {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    void* bits = nullptr;
    // `handOut`: the caller is given the memory's address (`bits`); without it nobody writes
    // the pixels but the drawing calls.
    Dib(int width, int height, int bpp, bool topDown = true, bool handOut = true) {
        struct {
            BITMAPINFOHEADER h;
            DWORD masks[3];
        } info{};
        info.h.biSize = sizeof(BITMAPINFOHEADER);
        info.h.biWidth = width;
        info.h.biHeight = topDown ? -height : height;
        info.h.biPlanes = 1;
        info.h.biBitCount = static_cast<WORD>(bpp);
        info.h.biCompression = bpp == 16 ? BI_BITFIELDS : BI_RGB;
        info.masks[0] = 0xF800;
        info.masks[1] = 0x07E0;
        info.masks[2] = 0x001F;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                  handOut ? &bits : nullptr, nullptr, 0);
        old = SelectObject(dc, bitmap);
    }
    Dib(const Dib&) = delete;
    Dib& operator=(const Dib&) = delete;
    ~Dib() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

}  // namespace

TEST(BoxFont, HeightSignGivesEmOrCellHeight) {
    Canvas c(4, 4);
    {
        Selected f(c.dc(), Font(kBox.c_str(), -12));
        TEXTMETRICW tm{};
        ASSERT_TRUE(GetTextMetricsW(c.dc(), &tm));
        EXPECT_EQ(tm.tmHeight, 12);
        EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
        EXPECT_EQ(tm.tmAveCharWidth, 6);
    }
    Selected f(c.dc(), Font(kBox.c_str(), 9));
    TEXTMETRICW tm{};
    GetTextMetricsW(c.dc(), &tm);
    EXPECT_EQ(tm.tmHeight, 9);
    EXPECT_EQ(Extent(c.dc(), u"ab").cx, 10);  // ceil(9 / 2) each
}

TEST(BoxFont, ExtentFitCountAndPartialExtents) {
    Canvas c(4, 4);
    Selected f(c.dc(), Font(kBox.c_str(), -12));
    std::u16string s = u"abcd";
    int fit = -1;
    int dx[4]{};
    SIZE size{};
    ASSERT_TRUE(GetTextExtentExPointW(c.dc(), s.data(), 4, 13, &fit, dx, &size));
    EXPECT_EQ(fit, 2);
    EXPECT_EQ(size.cx, 24);
    EXPECT_EQ(size.cy, 12);
    EXPECT_EQ(dx[0], 6);
    EXPECT_EQ(dx[3], 24);
    GetTextExtentExPointW(c.dc(), s.data(), 4, 24, &fit, nullptr, nullptr);
    EXPECT_EQ(fit, 4);
    GetTextExtentExPointW(c.dc(), s.data(), 4, 5, &fit, nullptr, nullptr);
    EXPECT_EQ(fit, 0);
    EXPECT_FALSE(GetTextExtentExPointW(c.dc(), nullptr, 3, 0, &fit, nullptr, &size));
    EXPECT_FALSE(GetTextExtentExPointW(c.dc(), s.data(), -1, 0, &fit, nullptr, &size));
}

TEST(BoxFont, ASurrogatePairIsOneCharacter) {
    Canvas c(4, 4);
    Selected f(c.dc(), Font(kBox.c_str(), -12));
    std::u16string s = u"\U0001F600";
    int dx[2]{};
    SIZE size{};
    GetTextExtentExPointW(c.dc(), s.data(), 2, 100, nullptr, dx, &size);
    EXPECT_EQ(size.cx, 6);
    EXPECT_EQ(dx[0], 6);
    EXPECT_EQ(dx[1], 6);
}

TEST(TextOut, TransparentTextInksOnlyItsGlyphs) {
    Canvas c(30, 20);
    Selected f(c.dc(), Font(kBox.c_str(), -12));
    SetBkMode(c.dc(), TRANSPARENT);
    SetTextColor(c.dc(), kRed);
    ASSERT_TRUE(ExtTextOutW(c.dc(), 2, 3, 0, nullptr, u"abc", 3, nullptr));
    // Boxes of 5 of the 6-pixel advance, from the row under the cell top to the baseline.
    EXPECT_EQ(c.InkBox(kWhite), (RECT{2, 4, 19, 12}));
    EXPECT_EQ(c.Row(5, kRed), "..#####.#####.#####...........");
}

TEST(TextOut, OpaqueTextPaintsItsWholeCell) {
    Canvas c(30, 20);
    Selected f(c.dc(), Font(kBox.c_str(), -12));
    SetBkMode(c.dc(), OPAQUE);
    SetBkColor(c.dc(), kBlue);
    SetTextColor(c.dc(), kRed);
    ExtTextOutW(c.dc(), 2, 3, 0, nullptr, u"a b", 3, nullptr);
    EXPECT_EQ(c.InkBox(kWhite), (RECT{2, 3, 20, 15}));
    EXPECT_EQ(c.At(10, 5), kBlue);  // the space
    EXPECT_EQ(c.At(3, 5), kRed);
}

TEST(TextOut, UnderlineAndStrikeOutSpanTheRun) {
    Canvas c(20, 14);
    LOGFONTW lf = Font(kBox.c_str(), -12);
    lf.lfUnderline = 1;
    lf.lfStrikeOut = 1;
    Selected f(c.dc(), lf);
    SetBkMode(c.dc(), TRANSPARENT);
    SetTextColor(c.dc(), kRed);
    ExtTextOutW(c.dc(), 0, 0, 0, nullptr, u"  ", 2, nullptr);
    TEXTMETRICW tm{};
    GetTextMetricsW(c.dc(), &tm);
    EXPECT_TRUE(tm.tmUnderlined);
    EXPECT_EQ(c.Count(kRed), 24);
    EXPECT_EQ(c.Row(tm.tmAscent, kRed), "############........");
}

TEST(TextOut, ClippedOptionAndViewport) {
    Canvas c(30, 20);
    Selected f(c.dc(), Font(kBox.c_str(), -12));
    SetBkMode(c.dc(), TRANSPARENT);
    SetTextColor(c.dc(), kRed);
    SetViewportOrgEx(c.dc(), 1, 1, nullptr);
    RECT clip{0, 0, 8, 20};
    ExtTextOutW(c.dc(), 0, 0, ETO_CLIPPED, &clip, u"abc", 3, nullptr);
    EXPECT_EQ(c.InkBox(kWhite), (RECT{1, 2, 9, 10}));
}

TEST(DrawText, CalcRectMeasuresLinesAndWraps) {
    Canvas c(4, 4);
    Selected f(c.dc(), Font(kBox.c_str(), -12));
    RECT r{0, 0, 100, 0};
    EXPECT_EQ(DrawTextW(c.dc(), u"ab cd", -1, &r, DT_CALCRECT | DT_SINGLELINE), 12);
    EXPECT_EQ(r, (RECT{0, 0, 30, 12}));
    r = RECT{0, 0, 20, 0};
    EXPECT_EQ(DrawTextW(c.dc(), u"ab cd ef", -1, &r, DT_CALCRECT | DT_WORDBREAK), 36);
    EXPECT_EQ(r.right, 12);
    r = RECT{0, 0, 20, 0};
    DrawTextW(c.dc(), u"abcdefgh", -1, &r, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_EQ(r.right, 48);  // a word wider than the box widens it
    r = RECT{0, 0, 100, 0};
    EXPECT_EQ(DrawTextW(c.dc(), u"a\r\nbcd\nx", -1, &r, DT_CALCRECT), 36);
    EXPECT_EQ(r.right, 18);
}

// As in an edit control (and a message box): a word wider than the box breaks at its edge
// rather than running out of it.
TEST(DrawText, EditControlBreaksAWordWiderThanTheBox) {
    Canvas c(4, 4);
    Selected f(c.dc(), Font(kBox.c_str(), -12));
    RECT r{0, 0, 20, 0};
    // Three 6-pixel cells to a line: "abc", "def", "gh".
    EXPECT_EQ(DrawTextW(c.dc(), u"abcdefgh", -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL),
              36);
    EXPECT_EQ(r.right, 18);
    // Short words still wrap at spaces; only the long one is cut: "ab", "cdef", "ghij", "k".
    r = RECT{0, 0, 24, 0};
    EXPECT_EQ(DrawTextW(c.dc(), u"ab cdefghij k", -1, &r,
                        DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL),
              48);
    EXPECT_EQ(r.right, 24);
    // A box narrower than one character still takes one per line.
    r = RECT{0, 0, 3, 0};
    EXPECT_EQ(DrawTextW(c.dc(), u"abc", -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL), 36);
}

TEST(DrawText, AlignsAndCentresInTheRectangle) {
    Canvas c(40, 30);
    Selected f(c.dc(), Font(kBox.c_str(), -12));
    SetBkMode(c.dc(), TRANSPARENT);
    SetTextColor(c.dc(), kRed);
    RECT r{0, 0, 40, 30};
    EXPECT_EQ(DrawTextW(c.dc(), u"ab", 2, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE), 21);
    // Cell 12 x 12 centred: (14, 9); the boxes start one row down.
    EXPECT_EQ(c.InkBox(kWhite), (RECT{14, 10, 25, 18}));
    c.Clear(kWhite);
    DrawTextW(c.dc(), u"ab", 2, &r, DT_RIGHT | DT_SINGLELINE | DT_BOTTOM);
    EXPECT_EQ(c.InkBox(kWhite), (RECT{28, 19, 39, 27}));
}

TEST(DrawText, OutputIsClippedToTheRectangleSoOnlyTheUnderlineShows) {
    Canvas c(40, 20);
    LOGFONTW lf = Font(kBox.c_str(), -12);
    lf.lfUnderline = 1;
    Selected f(c.dc(), lf);
    SetBkMode(c.dc(), TRANSPARENT);
    SetTextColor(c.dc(), kRed);
    // 64 spaces into a rectangle 17 wide: the underline runs exactly across it.
    std::u16string spaces(64, u' ');
    RECT r{3, 5, 20, 1005};
    DrawTextW(c.dc(), spaces.data(), 64, &r, DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_EQ(c.InkBox(kWhite), (RECT{3, 14, 20, 15}));
    c.Clear(kWhite);
    RECT narrow{0, 0, 8, 20};
    DrawTextW(c.dc(), u"abc", 3, &narrow, DT_SINGLELINE | DT_NOCLIP);
    EXPECT_GT(c.InkBox(kWhite).right, 8);
}

TEST(DrawText, PrefixCharactersUnderlineUnlessSwitchedOff) {
    Canvas c(30, 14);
    Selected f(c.dc(), Font(kBox.c_str(), -12));
    SetBkMode(c.dc(), TRANSPARENT);
    SetTextColor(c.dc(), kRed);
    RECT r{0, 0, 30, 14};
    DrawTextW(c.dc(), u"&ab", 3, &r, DT_SINGLELINE);
    EXPECT_EQ(c.InkBox(kWhite), (RECT{0, 1, 11, 10}));
    EXPECT_EQ(c.Row(9, kRed), "######........................");
    c.Clear(kWhite);
    DrawTextW(c.dc(), u"&ab", 3, &r, DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_EQ(c.InkBox(kWhite), (RECT{0, 1, 17, 9}));
}

TEST(DrawText, WordWrapBreaksAtSpaces) {
    Canvas c(20, 40);
    Selected f(c.dc(), Font(kBox.c_str(), -12));
    SetBkMode(c.dc(), TRANSPARENT);
    SetTextColor(c.dc(), kRed);
    RECT r{0, 0, 20, 40};
    EXPECT_EQ(DrawTextW(c.dc(), u"ab cd", 5, &r, DT_WORDBREAK), 24);
    EXPECT_EQ(c.Row(2, kRed), "#####.#####.........");
    EXPECT_EQ(c.Row(14, kRed), "#####.#####.........");
}

TEST(Fonts, HugeHeightsAndNullDescriptionsFail) {
    LOGFONTW lf = Font(u"Tahoma", -100000);
    EXPECT_EQ(CreateFontIndirectW(&lf), nullptr);
    EXPECT_EQ(CreateFontIndirectW(nullptr), nullptr);
}

TEST(Fonts, SyntheticModeReplacesEveryFace) {
    Canvas c(4, 4);
    GdiUseSyntheticFonts(true);
    {
        Selected f(c.dc(), Font(u"Tahoma", -10));
        EXPECT_EQ(Extent(c.dc(), u"iiii").cx, 20);
    }
    GdiUseSyntheticFonts(false);
    Selected f(c.dc(), Font(u"Tahoma", -10));
    EXPECT_NE(Extent(c.dc(), u"iiii").cx, 20);
}

TEST(Fonts, EnumerationListsTheDeviceFaceNames) {
    Canvas c(4, 4);
    std::vector<std::u16string> names;
    auto collect = [](const LOGFONTW* lf, const TEXTMETRICW*, DWORD, LPARAM p) -> int {
        reinterpret_cast<std::vector<std::u16string>*>(p)->push_back(lf->lfFaceName);
        return 1;
    };
    EXPECT_EQ(EnumFontFamiliesW(c.dc(), nullptr, collect, reinterpret_cast<LPARAM>(&names)), 1);
    auto has = [&](const char16_t* n) {
        return std::find(names.begin(), names.end(), std::u16string(n)) != names.end();
    };
    EXPECT_TRUE(has(u"Tahoma"));
    EXPECT_TRUE(has(u"Nina"));
    EXPECT_TRUE(has(u"Courier New"));
    EXPECT_FALSE(has(u"Courrier New"));
    int calls = 0;
    auto stop = [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM p) -> int {
        ++*reinterpret_cast<int*>(p);
        return 0;
    };
    EXPECT_EQ(EnumFontFamiliesW(c.dc(), nullptr, stop, reinterpret_cast<LPARAM>(&calls)), 0);
    EXPECT_EQ(calls, 1);
    names.clear();
    EnumFontFamiliesW(c.dc(), u"nina", collect, reinterpret_cast<LPARAM>(&names));
    EXPECT_EQ(names.size(), 1u);
    // Callbacks written for the full enumeration records read them whole.
    auto full = [](const LOGFONTW* lf, const TEXTMETRICW* tm, DWORD, LPARAM p) -> int {
        auto* elf = reinterpret_cast<const ENUMLOGFONTW*>(lf);
        auto* ntm = reinterpret_cast<const NEWTEXTMETRICW*>(tm);
        *reinterpret_cast<bool*>(p) =
            std::u16string(elf->elfFullName) == u"Tahoma" && ntm->ntmCellHeight > 0;
        return 0;
    };
    bool whole = false;
    EnumFontFamiliesW(c.dc(), u"Tahoma", full, reinterpret_cast<LPARAM>(&whole));
    EXPECT_TRUE(whole);
}

// FreeType faces: identity and shapes may vary with versions; the rules below may not.
TEST(SystemFonts, PositiveHeightIsTheCellHeight) {
    Canvas c(4, 4);
    for (LONG h : {10, 16, 23}) {
        Selected f(c.dc(), Font(u"Tahoma", h));
        TEXTMETRICW tm{};
        GetTextMetricsW(c.dc(), &tm);
        EXPECT_EQ(tm.tmHeight, h);
        EXPECT_EQ(Extent(c.dc(), u"x").cy, h);
    }
    Selected f(c.dc(), Font(u"Tahoma", -16));
    TEXTMETRICW tm{};
    GetTextMetricsW(c.dc(), &tm);
    EXPECT_GT(tm.tmHeight, 16);
    EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 16);
}

TEST(SystemFonts, FacesMapToTheirFamilies) {
    Canvas c(4, 4);
    {
        Selected f(c.dc(), Font(u"Courrier New", -12));
        EXPECT_EQ(Extent(c.dc(), u"iiii").cx, Extent(c.dc(), u"MMMM").cx);
        TEXTMETRICW tm{};
        GetTextMetricsW(c.dc(), &tm);
        EXPECT_EQ(tm.tmPitchAndFamily & 1, 0);
        WCHAR face[LF_FACESIZE]{};
        GetTextFaceW(c.dc(), LF_FACESIZE, face);
        EXPECT_EQ(std::u16string(face), u"Courrier New");
    }
    Selected f(c.dc(), Font(u"Nina", -12));
    EXPECT_LT(Extent(c.dc(), u"iiii").cx, Extent(c.dc(), u"MMMM").cx);
}

TEST(SystemFonts, BoldIsWiderAndMeasuringMatchesDrawing) {
    Canvas c(200, 30);
    int regular, bold;
    {
        Selected f(c.dc(), Font(u"Tahoma", -14));
        regular = Extent(c.dc(), u"Measured text").cx;
    }
    Selected f(c.dc(), Font(u"Tahoma", -14, FW_BOLD));
    bold = Extent(c.dc(), u"Measured text").cx;
    EXPECT_GT(bold, regular);
    // Drawing in two pieces at the measured offset gives the same pixels as one run.
    SetBkMode(c.dc(), TRANSPARENT);
    ExtTextOutW(c.dc(), 0, 0, 0, nullptr, u"Measured text", 13, nullptr);
    Canvas pieces(200, 30);
    SelectObject(pieces.dc(), f.font);
    SetBkMode(pieces.dc(), TRANSPARENT);
    int first = Extent(pieces.dc(), u"Measu").cx;
    ExtTextOutW(pieces.dc(), 0, 0, 0, nullptr, u"Measu", 5, nullptr);
    ExtTextOutW(pieces.dc(), first, 0, 0, nullptr, u"red text", 8, nullptr);
    SelectObject(pieces.dc(), GetStockObject(SYSTEM_FONT));
    int differ = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 200; ++x) differ += c.At(x, y) != pieces.At(x, y);
    EXPECT_EQ(differ, 0);
    RECT ink = c.InkBox(kWhite);
    EXPECT_LE(ink.right, bold + 1);
    EXPECT_GT(ink.right, bold - 4);
}

TEST(SystemFonts, QualityChoosesGreyOrMonochromeEdges) {
    auto greys = [](BYTE quality) {
        Canvas c(60, 30);
        LOGFONTW lf = Font(u"Tahoma", -16);
        lf.lfQuality = quality;
        Selected f(c.dc(), lf);
        ExtTextOutW(c.dc(), 0, 0, 0, nullptr, u"Sow", 3, nullptr);
        return 60 * 30 - c.Count(kWhite) - c.Count(kBlack);
    };
    EXPECT_GT(greys(ANTIALIASED_QUALITY), 0);
    EXPECT_EQ(greys(NONANTIALIASED_QUALITY), 0);
}

// Grey-edged text drawn into a 565 page over a busy background, clipped, gives what drawing it
// into a 32-bit copy of that page and narrowing the result to 565 gives.
TEST(SystemFonts, TextOnA565PageBlendsAsOnA32BitOne) {
    constexpr int W = 90, H = 26;
    Dib page(W, H, 16), wide(W, H, 32), back(W, H, 16);
    auto* px = static_cast<std::uint16_t*>(page.bits);
    for (int i = 0; i < W * H; ++i) px[i] = static_cast<std::uint16_t>(i * 40503u);
    ASSERT_TRUE(BitBlt(wide.dc, 0, 0, W, H, page.dc, 0, 0, SRCCOPY));
    LOGFONTW lf = Font(u"Tahoma", -15);
    lf.lfQuality = ANTIALIASED_QUALITY;
    for (HDC dc : {page.dc, wide.dc}) {
        Selected f(dc, lf);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(200, 30, 90));
        IntersectClipRect(dc, 3, 2, W - 7, H - 3);
        ExtTextOutW(dc, 1, 2, 0, nullptr, u"Grey edges Sow", 14, nullptr);
        SelectClipRgn(dc, nullptr);
    }
    ASSERT_TRUE(BitBlt(back.dc, 0, 0, W, H, wide.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(std::memcmp(page.bits, back.bits, static_cast<std::size_t>(W) * H * 2), 0);
    int inked = 0;
    for (int i = 0; i < W * H; ++i) inked += px[i] != static_cast<std::uint16_t>(i * 40503u);
    EXPECT_GT(inked, 40);
}

// Long texts over plain backgrounds, the pair of colours changing between them and the last
// background kept under a new text colour: on the 565 page each blends as on a 32-bit one.
TEST(SystemFonts, TextOnPlain565BackgroundsBlendsAsOnA32BitOne) {
    constexpr int W = 200, H = 20;
    Dib page(W, H, 16), wide(W, H, 32), back(W, H, 16);
    LOGFONTW lf = Font(u"Tahoma", -15);
    lf.lfQuality = ANTIALIASED_QUALITY;
    const COLORREF pairs[][2] = {{RGB(255, 255, 255), RGB(0, 0, 0)},
                                 {RGB(255, 255, 255), RGB(0, 0, 0)},
                                 {RGB(250, 240, 200), RGB(0, 0, 0)},
                                 {RGB(250, 240, 200), RGB(20, 60, 200)},
                                 {RGB(0, 0, 0), RGB(255, 255, 255)}};
    for (const auto& pair : pairs) {
        RECT all{0, 0, W, H};
        HBRUSH brush = CreateSolidBrush(pair[0]);
        FillRect(page.dc, &all, brush);
        DeleteObject(brush);
        ASSERT_TRUE(BitBlt(wide.dc, 0, 0, W, H, page.dc, 0, 0, SRCCOPY));
        for (HDC dc : {page.dc, wide.dc}) {
            Selected f(dc, lf);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, pair[1]);
            ExtTextOutW(dc, 1, 2, 0, nullptr, u"Sow the grey edges of many words", 32, nullptr);
        }
        ASSERT_TRUE(BitBlt(back.dc, 0, 0, W, H, wide.dc, 0, 0, SRCCOPY));
        EXPECT_EQ(std::memcmp(page.bits, back.bits, static_cast<std::size_t>(W) * H * 2), 0)
            << std::hex << pair[0] << " " << pair[1];
    }
}

// Text on a 565 page, call by call, against the per-pixel blend: each call's glyphs are drawn
// one at a time into a 32-bit copy of the page, narrowed back to 565 after each, and the result
// must equal the page the call drew whole. The calls repeat glyphs over what earlier calls left (so that what is kept of them
// meets plain background, ink, a band of another colour and another background), change the
// text colour mid-page, cut glyphs at clip edges and at the page's own odd-width edge.
TEST(SystemFonts, TextOnA565PageMatchesPerPixelBlendingCallByCall) {
    constexpr int W = 123, H = 64;
    struct Call {
        const char16_t* text;
        int x, y;
        COLORREF colour;
        RECT clip;                    // empty: none
        RECT band = {0, 0, 0, 0};     // filled with `fill` first
        COLORREF fill = RGB(0, 0, 0);
    };
    const RECT none{0, 0, 0, 0};
    const Call calls[] = {
        {u"Sow the grey edges", 2, 1, RGB(0, 0, 0), none},
        {u"Sow the grey edges", 2, 20, RGB(0, 0, 0), none},        // kept glyphs, plain page
        {u"Sow the grey edges", 3, 20, RGB(0, 0, 0), none},        // over its own ink
        {u"Sow the grey edges", 2, 40, RGB(20, 60, 200), none},    // another colour
        {u"Sow the grey edges", 2, 1, RGB(20, 60, 200), none},     // over the black words
        {u"Sow the grey edges", 2, 40, RGB(0, 0, 0), none, {45, 38, 52, 60},
         RGB(250, 240, 200)},                                     // a band under some of it
        {u"Sow grey", 2, 40, RGB(0, 0, 0), {5, 0, 37, H}},        // cut on both sides
        {u"Sow the grey edges", 90, 20, RGB(0, 0, 0), none},       // off the right edge
        {u"Sow the grey edges", 2, 40, RGB(255, 255, 255), none, {0, 38, W, 60}},
        {u"Sow the grey edges", 2, 40, RGB(255, 255, 255), none},  // kept over black
        {u"grey", 2, -6, RGB(0, 0, 0), none},                     // cut at the top
        {u"grey", 60, 55, RGB(0, 0, 0), none},                    // and at the bottom
    };
    LOGFONTW lf = Font(u"Tahoma", -15);
    lf.lfQuality = ANTIALIASED_QUALITY;
    // Spaced out, the glyph boxes of a word no longer overlap: words are then drawn whole over
    // a background checked once (or glyph by glyph where it is not plain). Pressed together,
    // each glyph's box reaches into the next one's.
    for (int spacing : {0, 14, 4})
    for (bool topDown : {true, false}) {
        Dib page(W, H, 16, topDown), wide(W, H, 32), back(W, H, 16);
        RECT all{0, 0, W, H};
        FillRect(page.dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        int changed = 0;
        for (const Call& call : calls) {
            if (call.band.right > call.band.left) {
                HBRUSH brush = CreateSolidBrush(call.fill);
                FillRect(page.dc, &call.band, brush);
                DeleteObject(brush);
            }
            ASSERT_TRUE(BitBlt(back.dc, 0, 0, W, H, page.dc, 0, 0, SRCCOPY));
            std::vector<std::uint16_t> before(static_cast<const std::uint16_t*>(back.bits),
                                              static_cast<const std::uint16_t*>(back.bits) + W * H);
            int length = static_cast<int>(std::u16string(call.text).size());
            std::vector<int> advances(static_cast<std::size_t>(length), spacing);
            if (spacing) {
                length = std::min(length, 7);
            } else {
                Selected f(page.dc, lf);
                std::vector<int> ends(advances.size());
                GetTextExtentExPointW(page.dc, call.text, length, 0, nullptr, ends.data(), nullptr);
                for (int i = 0; i < length; ++i) advances[i] = ends[i] - (i ? ends[i - 1] : 0);
            }
            // The whole call on the page; glyph by glyph on the 32-bit copy, narrowed to 565
            // after each one as the page holds it.
            auto draw = [&](HDC dc, int x, int from, int n) {
                Selected f(dc, lf);
                SetBkMode(dc, TRANSPARENT);
                SetTextColor(dc, call.colour);
                if (call.clip.right > call.clip.left)
                    IntersectClipRect(dc, call.clip.left, call.clip.top, call.clip.right,
                                      call.clip.bottom);
                ExtTextOutW(dc, x, call.y, 0, nullptr, call.text + from, n, &advances[from]);
                SelectClipRgn(dc, nullptr);
            };
            draw(page.dc, call.x, 0, length);
            for (int i = 0, x = call.x; i < length; x += advances[i++]) {
                ASSERT_TRUE(BitBlt(wide.dc, 0, 0, W, H, back.dc, 0, 0, SRCCOPY));
                draw(wide.dc, x, i, 1);
                ASSERT_TRUE(BitBlt(back.dc, 0, 0, W, H, wide.dc, 0, 0, SRCCOPY));
            }
            Dib shown(W, H, 16);
            ASSERT_TRUE(BitBlt(shown.dc, 0, 0, W, H, page.dc, 0, 0, SRCCOPY));
            ASSERT_EQ(std::memcmp(shown.bits, back.bits, static_cast<std::size_t>(W) * H * 2), 0)
                << (topDown ? "top-down " : "bottom-up ") << "call at " << call.x << ","
                << call.y;
            changed += std::memcmp(before.data(), back.bits, before.size() * 2) != 0;
        }
        EXPECT_EQ(changed, static_cast<int>(std::size(calls)));
    }
}

// A page whose memory nobody else writes knows where it is still the colour it was filled
// with, right of the text drawn since, and draws words there without looking. Whatever else
// draws on it in between (a pixel, a copy, a line, a band, a new fill) must be seen: each step
// on such a page gives the pixels of the same step on a page whose memory was handed out.
TEST(SystemFonts, TextOnAPageKnownPlainMatchesAPageLookedAt) {
    constexpr int W = 240, H = 70;
    // Rows top first and bottom first: a refill finds the rows the text reached either way.
    for (bool topDown : {true, false}) {
        Dib known(W, H, 16, topDown, false), looked(W, H, 16, topDown), shown(W, H, 16, topDown),
            patch(8, 8, 16);
        RECT small{0, 0, 8, 8};
        HBRUSH blue = CreateSolidBrush(RGB(20, 60, 200));
        FillRect(patch.dc, &small, blue);
        LOGFONTW lf = Font(u"Tahoma", -15);
        lf.lfQuality = ANTIALIASED_QUALITY;
        auto fill = [](HDC dc, RECT r, COLORREF colour) {
            HBRUSH brush = CreateSolidBrush(colour);
            FillRect(dc, &r, brush);
            DeleteObject(brush);
        };
        auto text = [&](HDC dc, int x, int y, COLORREF colour) {
            Selected f(dc, lf);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, colour);
            ExtTextOutW(dc, x, y, 0, nullptr, u"Sow the grey edges", 18, nullptr);
        };
        const std::function<void(HDC)> steps[] = {
            [&](HDC dc) {
                fill(dc, RECT{0, 0, W, H}, RGB(255, 255, 255));
            },
            [&](HDC dc) { text(dc, 2, 1, RGB(0, 0, 0)); },
            [&](HDC dc) { text(dc, 6, 4, RGB(200, 30, 90)); },  // over its ink
            [&](HDC dc) { SetPixel(dc, 60, 28, RGB(200, 0, 0)); },
            [&](HDC dc) { text(dc, 40, 20, RGB(0, 0, 0)); },  // over that pixel
            [&](HDC dc) { BitBlt(dc, 70, 42, 8, 8, patch.dc, 0, 0, SRCCOPY); },
            [&](HDC dc) { text(dc, 30, 40, RGB(0, 0, 0)); },     // over the copy
            [&](HDC dc) { text(dc, 1, 41, RGB(200, 30, 90)); },  // left of its ink
            [&](HDC dc) {
                MoveToEx(dc, 100, 0, nullptr);
                LineTo(dc, 100, H);
            },
            [&](HDC dc) { text(dc, 70, 1, RGB(0, 0, 0)); },  // across the line
            [&](HDC dc) {
                fill(dc, RECT{0, 0, W, H}, RGB(250, 240, 200));
            },
            [&](HDC dc) { text(dc, 2, 1, RGB(20, 60, 200)); },
            [&](HDC dc) { fill(dc, RECT{0, 0, W, H}, RGB(250, 240, 200)); },  // the same again
            [&](HDC dc) { text(dc, 120, 30, RGB(0, 0, 0)); },
            [&](HDC dc) {
                fill(dc, RECT{60, 18, 70, 40}, RGB(0, 0, 0));
            },
            [&](HDC dc) { text(dc, 50, 20, RGB(255, 255, 255)); },  // over the band
        };
        // Read pixel by pixel: a copy out of the page would make it forget what it knows.
        auto differing = [&] {
            int n = 0;
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    n += GetPixel(known.dc, x, y) != GetPixel(looked.dc, x, y);
            return n;
        };
        int step = 0;
        for (const auto& draw : steps) {
            draw(known.dc);
            draw(looked.dc);
            ASSERT_EQ(differing(), 0) << (topDown ? "top-down " : "bottom-up ") << "step " << step;
            ++step;
        }
        ASSERT_TRUE(BitBlt(shown.dc, 0, 0, W, H, known.dc, 0, 0, SRCCOPY));
        EXPECT_EQ(std::memcmp(shown.bits, looked.bits, static_cast<std::size_t>(W) * H * 2), 0);
        DeleteObject(blue);
    }
}

// A line's words drawn in one PolyTextOutW call give the pixels of one ExtTextOutW per word:
// on a 565 page known plain (the reader's page) and on one whose pixels are looked at, with
// gaps of every width (a justified line's), a word starting inside the one before (its ink
// overhangs: italics, "fj"), a line running off the clip and one wholly inside it, a surrogate
// pair, letters met for the first time, and the fonts and modes that draw between the words
// (underline, strike-out, an opaque background, centring).
TEST(SystemFonts, OneCallForALineDrawsWhatACallPerWordDraws) {
    constexpr int W = 240, H = 40;
    struct Word {
        int x;
        const char16_t* text;
    };
    const Word offClip[] = {{-6, u"Ajar"}, {30, u"fjord"},        {66, u"AVAV"},     {100, u"To"},
                            {113, u"Wa"},  {131, u"\U0001D400x"}, {160, u"leaning"}, {228, u"off"}};
    const Word inside[] = {{2, u"\u00C9t\u00E9"}, {30, u"fjord"},       {58, u"\u0416\u4E2D"},
                           {84, u"Wa"},           {96, u"\U0001D400x"}, {125, u"leaning"},
                           {180, u"\u03A9mega"}};
    for (bool whole : {false, true}) {
        std::vector<POLYTEXTW> texts;
        for (const Word& w : whole ? std::vector<Word>(std::begin(inside), std::end(inside))
                                   : std::vector<Word>(std::begin(offClip), std::end(offClip))) {
            POLYTEXTW t;
            t.x = w.x;
            t.y = 6;
            t.lpstr = w.text;
            t.n = static_cast<UINT>(std::u16string(w.text).size());
            texts.push_back(t);
        }
        struct Look {
            const char* name;
            LONG weight;
            BYTE italic, underline, strike;
            int bkMode;
            UINT align;
            COLORREF ground;
        };
        const Look looks[] = {
            {"plain", FW_NORMAL, 0, 0, 0, TRANSPARENT, TA_LEFT, RGB(255, 255, 255)},
            {"italic bold", FW_BOLD, 1, 0, 0, TRANSPARENT, TA_LEFT, RGB(255, 255, 255)},
            {"on a tint", FW_NORMAL, 1, 0, 0, TRANSPARENT, TA_LEFT, RGB(250, 240, 200)},
            {"underlined", FW_NORMAL, 0, 1, 0, TRANSPARENT, TA_LEFT, RGB(255, 255, 255)},
            {"struck", FW_NORMAL, 0, 0, 1, TRANSPARENT, TA_LEFT, RGB(255, 255, 255)},
            {"opaque", FW_NORMAL, 1, 0, 0, OPAQUE, TA_LEFT, RGB(255, 255, 255)},
            {"centred", FW_NORMAL, 0, 0, 0, TRANSPARENT, TA_CENTER, RGB(255, 255, 255)},
            {"baseline", FW_NORMAL, 1, 0, 0, TRANSPARENT, TA_BASELINE, RGB(255, 255, 255)},
        };
        for (const Look& look : looks) {
            for (bool handOut : {false, true}) {
                Dib one(W, H, 16, true, handOut), each(W, H, 16, true, handOut);
                LOGFONTW lf = Font(u"DejaVu Sans", -15, look.weight);
                lf.lfItalic = look.italic;
                lf.lfUnderline = look.underline;
                lf.lfStrikeOut = look.strike;
                lf.lfQuality = ANTIALIASED_QUALITY;
                for (HDC dc : {one.dc, each.dc}) {
                    RECT page{0, 0, W, H};
                    HBRUSH brush = CreateSolidBrush(look.ground);
                    FillRect(dc, &page, brush);
                    DeleteObject(brush);
                    SetBkMode(dc, look.bkMode);
                    SetBkColor(dc, RGB(200, 230, 255));
                    SetTextColor(dc, RGB(120, 20, 40));
                    SetTextAlign(dc, look.align);
                }
                {
                    Selected f(one.dc, lf);
                    ASSERT_TRUE(PolyTextOutW(one.dc, texts.data(), static_cast<int>(texts.size())));
                }
                {
                    Selected f(each.dc, lf);
                    for (const POLYTEXTW& t : texts)
                        ASSERT_TRUE(
                            ExtTextOutW(each.dc, t.x, t.y, 0, nullptr, t.lpstr, t.n, nullptr));
                }
                int differing = 0;
                for (int y = 0; y < H; ++y)
                    for (int x = 0; x < W; ++x)
                        differing += GetPixel(one.dc, x, y) != GetPixel(each.dc, x, y);
                EXPECT_EQ(differing, 0) << look.name << (handOut ? ", pixels handed out" : "")
                                        << (whole ? ", the line inside the page" : "");
            }
        }
    }
    POLYTEXTW none{};
    Dib page(8, 8, 16);
    EXPECT_TRUE(PolyTextOutW(page.dc, nullptr, 0));
    EXPECT_FALSE(PolyTextOutW(page.dc, nullptr, 1));
    none.n = 3;  // three units of no text
    EXPECT_FALSE(PolyTextOutW(page.dc, &none, 1));
}

TEST(TextOut, ExtremePositionsAndLengthsAreSafe) {
    Canvas c(20, 20);
    Selected f(c.dc(), Font(kBox.c_str(), -12));
    EXPECT_TRUE(ExtTextOutW(c.dc(), INT32_MAX, INT32_MAX, 0, nullptr, u"abc", 3, nullptr));
    EXPECT_TRUE(ExtTextOutW(c.dc(), INT32_MIN, 0, 0, nullptr, u"abc", 3, nullptr));
    SetTextAlign(c.dc(), TA_RIGHT | TA_BOTTOM);
    EXPECT_TRUE(ExtTextOutW(c.dc(), INT32_MIN, INT32_MIN, 0, nullptr, u"abc", 3, nullptr));
    EXPECT_EQ(c.Count(kWhite), 400);
    SetTextAlign(c.dc(), TA_LEFT | TA_TOP);
    RECT huge{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    EXPECT_GT(DrawTextW(c.dc(), u"a b", 3, &huge, DT_CENTER | DT_VCENTER | DT_SINGLELINE), 0);
    // Bottom-aligned in an empty rectangle at the lowest coordinate: the text rises above it.
    RECT low{0, INT32_MIN, 20, INT32_MIN};
    EXPECT_EQ(DrawTextW(c.dc(), u"a", 1, &low, DT_BOTTOM | DT_SINGLELINE), 0);
    RECT calc{INT32_MAX - 5, INT32_MAX - 5, INT32_MAX, INT32_MAX};
    EXPECT_EQ(DrawTextW(c.dc(), u"abc", 3, &calc, DT_CALCRECT), 12);
    std::u16string longText(2 << 20, u'a');
    SIZE size{};
    EXPECT_FALSE(
        GetTextExtentPoint32W(c.dc(), longText.data(), static_cast<int>(longText.size()), &size));
}

TEST(TextOut, DrawsIntoScreenDepthBitmapsToo) {
    DibInfo info = MakeInfo(8, -12, 16, BI_BITFIELDS);
    DWORD* masks = reinterpret_cast<DWORD*>(info.colors);
    masks[0] = 0xF800;
    masks[1] = 0x07E0;
    masks[2] = 0x001F;
    HDC dc = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(dc, AsInfo(info), DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, dib);
    {
        Selected f(dc, Font(kBox.c_str(), -12));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, kRed);
        ExtTextOutW(dc, 1, 0, 0, nullptr, u"a", 1, nullptr);
    }
    auto* px = static_cast<std::uint16_t*>(bits);
    EXPECT_EQ(px[1 * 8 + 1], 0xF800);  // inside the box
    EXPECT_EQ(px[1 * 8 + 6], 0x0000);  // the advance's last column stays blank
    EXPECT_EQ(px[0 * 8 + 1], 0x0000);  // the cell's top row too
    SelectObject(dc, old);
    DeleteObject(dib);
    DeleteDC(dc);
}

TEST(SystemFonts, UnderlineTrickShowsOnlyTheLineAcrossTheGap) {
    Canvas c(60, 40);
    LOGFONTW lf = Font(u"Tahoma", -12);
    lf.lfUnderline = 1;
    Selected f(c.dc(), lf);
    SetBkMode(c.dc(), TRANSPARENT);
    TEXTMETRICW tm{};
    GetTextMetricsW(c.dc(), &tm);
    std::u16string spaces(64, u' ');
    RECT r{5, 3, 45, 1003};
    DrawTextW(c.dc(), spaces.data(), 64, &r, DT_SINGLELINE | DT_NOPREFIX);
    RECT ink = c.InkBox(kWhite);
    EXPECT_EQ(ink.left, 5);
    EXPECT_EQ(ink.right, 45);
    EXPECT_GE(ink.top, 3 + tm.tmAscent);
    EXPECT_LE(ink.bottom, 3 + tm.tmHeight);
}

// A character the face lacks comes from an installed face that has it (tools/deps installs a
// CJK font): Chinese, Japanese and Korean text is drawn as its own glyphs, not as boxes, and
// is measured with the same glyphs it is drawn with.
TEST(SystemFonts, CharactersTheFaceLacksComeFromAFaceThatHasThem) {
    const std::u16string han = u"\u4E2D", word = u"\u6587", kana = u"\u3042", hangul = u"\uD55C";
    Canvas c(120, 40);
    Selected f(c.dc(), Font(u"Tahoma", -20));
    SetBkMode(c.dc(), TRANSPARENT);
    // Ideographs are square: about an em wide, wider than the Latin face's missing-glyph box.
    int wide = Extent(c.dc(), han).cx;
    EXPECT_GE(wide, 18);
    EXPECT_LE(wide, 24);
    auto inkOf = [&](const std::u16string& s) {
        Canvas one(40, 40);
        SelectObject(one.dc(), f.font);
        SetBkMode(one.dc(), TRANSPARENT);
        ExtTextOutW(one.dc(), 0, 0, 0, nullptr, s.data(), static_cast<UINT>(s.size()), nullptr);
        std::vector<bool> ink;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) ink.push_back(one.At(x, y) != kWhite);
        SelectObject(one.dc(), GetStockObject(SYSTEM_FONT));
        return ink;
    };
    // Each character its own shape: boxes would all look alike.
    std::vector<bool> a = inkOf(han), b = inkOf(word), k = inkOf(kana), h = inkOf(hangul);
    EXPECT_NE(a, b);
    EXPECT_NE(a, k);
    EXPECT_NE(k, h);
    EXPECT_GT(std::count(a.begin(), a.end(), true), 20);
    // Measured as drawn: the Latin letter after it starts where the measure says.
    const std::u16string mixed = han + u"l";
    ExtTextOutW(c.dc(), 0, 0, 0, nullptr, mixed.data(), 2, nullptr);
    int lWidth = Extent(c.dc(), u"l").cx;
    RECT ink = c.InkBox(kWhite);
    EXPECT_LE(ink.right, Extent(c.dc(), mixed).cx + 1);
    EXPECT_GE(ink.right, wide + 1);
    EXPECT_LE(ink.right, wide + lWidth + 1);
}
