// Drawing speed on a screen-sized surface, each figure as a ratio to a baseline timed in the same
// loop: a page of text against clearing the page, the first page (glyphs rendered) against the
// second (glyphs cached), full-screen copy and fill against memcpy and memset of the same bytes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gdi.h"
#include "platform/gdi/surface.h"

namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 320;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

struct Page {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    Page() {
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateCompatibleBitmap(dc, kWidth, kHeight);
        old = SelectObject(dc, bitmap);
    }
    ~Page() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

std::vector<std::u16string> Lines() {
    const std::u16string words[] = {u"the",      u"reader",   u"turns", u"a",        u"page",
                                    u"of",       u"Folivant", u"text,", u"quickly",  u"and",
                                    u"quietly;", u"Every",    u"line",  u"measured", u"exactly."};
    std::vector<std::u16string> lines;
    std::size_t w = 0;
    for (int i = 0; i < 20; ++i) {
        std::u16string line;
        while (line.size() < 40) {
            line += words[w++ % std::size(words)];
            line += u' ';
        }
        line.resize(40);
        lines.push_back(line);
    }
    return lines;
}

HFONT PageFont() {
    LOGFONTW lf{};
    lf.lfHeight = -11;
    lf.lfWeight = FW_NORMAL;
    lf.lfQuality = ANTIALIASED_QUALITY;
    const char16_t face[] = u"Tahoma";
    std::memcpy(lf.lfFaceName, face, sizeof(face));
    return CreateFontIndirectW(&lf);
}

void Clear(HDC dc) {
    RECT r{0, 0, kWidth, kHeight};
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

void DrawPage(HDC dc, const std::vector<std::u16string>& lines, int lineHeight) {
    for (std::size_t i = 0; i < lines.size(); ++i)
        ExtTextOutW(dc, 2, static_cast<int>(i) * lineHeight, 0, nullptr, lines[i].data(),
                    static_cast<UINT>(lines[i].size()), nullptr);
}

// A page of text, then the same page again; the first page starts either with no realised
// font at all (faces and glyphs made on the way) or with the face open and no glyph images.
void TextPage(benchmark::State& state, bool keepFaces) {
    Page page;
    HFONT font = PageFont();
    HGDIOBJ oldFont = SelectObject(page.dc, font);
    SetBkMode(page.dc, TRANSPARENT);
    TEXTMETRICW tm{};
    GetTextMetricsW(page.dc, &tm);
    auto lines = Lines();
    double clear = 0, first = 0, second = 0;
    for (auto _ : state) {
        if (keepFaces)
            GdiFlushGlyphCache();
        else
            GdiFlushFontCache();
        auto t0 = Clock::now();
        Clear(page.dc);
        auto t1 = Clock::now();
        DrawPage(page.dc, lines, tm.tmHeight);
        auto t2 = Clock::now();
        Clear(page.dc);
        auto t3 = Clock::now();
        DrawPage(page.dc, lines, tm.tmHeight);
        auto t4 = Clock::now();
        clear += Seconds(t0, t1) + Seconds(t2, t3);
        first += Seconds(t1, t2);
        second += Seconds(t3, t4);
    }
    double n = static_cast<double>(state.iterations());
    state.counters["page_us"] = second / n * 1e6;
    state.counters["first_page_us"] = first / n * 1e6;
    state.counters["page_over_clear"] = second / (clear / 2);
    state.counters["first_over_second"] = first / second;
    SelectObject(page.dc, oldFont);
    DeleteObject(font);
}

void BM_TextPage(benchmark::State& state) {
    TextPage(state, false);
}
void BM_TextPageFacesKept(benchmark::State& state) {
    TextPage(state, true);
}
BENCHMARK(BM_TextPageFacesKept)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TextPage)->Unit(benchmark::kMicrosecond);

void BM_FullScreenBlit(benchmark::State& state) {
    Page src, dst;
    Clear(src.dc);
    // The baseline copies the very same bytes.
    auto from = GdiBitmapSurface(src.bitmap), to = GdiBitmapSurface(dst.bitmap);
    double blit = 0, copy = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        BitBlt(dst.dc, 0, 0, kWidth, kHeight, src.dc, 0, 0, SRCCOPY);
        auto t1 = Clock::now();
        std::memcpy(to->Bits(), from->Bits(), from->ByteSize());
        benchmark::DoNotOptimize(to->Bits());
        benchmark::ClobberMemory();
        auto t2 = Clock::now();
        blit += Seconds(t0, t1);
        copy += Seconds(t1, t2);
    }
    state.counters["blit_over_memcpy"] = blit / copy;
}
BENCHMARK(BM_FullScreenBlit)->Unit(benchmark::kMicrosecond);

// The page is drawn into a 16-bit (565) DIB, as deep as the device reports, and copied to the
// 32-bit screen surface on every turn. Baselines in the same loop: memcpy of the screen bytes, and
// the pixel-by-pixel conversion (read a row as colours, write it back) the copy used to make.
struct Page565 {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    void* bits = nullptr;
    Page565() {
        struct {
            BITMAPINFOHEADER header;
            DWORD masks[3];
        } info{};
        info.header.biSize = sizeof(BITMAPINFOHEADER);
        info.header.biWidth = kWidth;
        info.header.biHeight = -kHeight;
        info.header.biPlanes = 1;
        info.header.biBitCount = 16;
        info.header.biCompression = BI_BITFIELDS;
        info.masks[0] = 0xF800;
        info.masks[1] = 0x07E0;
        info.masks[2] = 0x001F;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&info),
                                  DIB_RGB_COLORS, &bits, nullptr, 0);
        old = SelectObject(dc, bitmap);
        auto* p = static_cast<std::uint16_t*>(bits);
        for (int i = 0; i < kWidth * kHeight; ++i) p[i] = static_cast<std::uint16_t>(i * 2654435761u >> 16);
    }
    ~Page565() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

void PageBlit(benchmark::State& state, bool toSixteen) {
    Page565 page;
    Page screen;
    Page565 other;
    HDC target = toSixteen ? other.dc : screen.dc;
    auto from = GdiBitmapSurface(page.bitmap);
    auto to = GdiBitmapSurface(toSixteen ? other.bitmap : screen.bitmap);
    std::vector<std::uint32_t> row(kWidth);
    double blit = 0, copy = 0, pixels = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        BitBlt(target, 0, 0, kWidth, kHeight, page.dc, 0, 0, SRCCOPY);
        auto t1 = Clock::now();
        std::memcpy(to->Bits(), from->Bits(), std::min(from->ByteSize(), to->ByteSize()));
        benchmark::DoNotOptimize(to->Bits());
        benchmark::ClobberMemory();
        auto t2 = Clock::now();
        for (int y = 0; y < kHeight; ++y) {
            from->ReadRow(0, y, kWidth, row.data());
            to->WriteRow(0, y, kWidth, row.data());
        }
        benchmark::ClobberMemory();
        auto t3 = Clock::now();
        blit += Seconds(t0, t1);
        copy += Seconds(t1, t2);
        pixels += Seconds(t2, t3);
    }
    state.counters["blit_over_memcpy"] = blit / copy;
    state.counters["blit_over_per_pixel"] = blit / pixels;
    state.counters["blit_us"] = blit / state.iterations() * 1e6;
}
void BM_PageBlit565ToScreen(benchmark::State& state) {
    PageBlit(state, false);
}
void BM_PageBlit565To565(benchmark::State& state) {
    PageBlit(state, true);
}
BENCHMARK(BM_PageBlit565ToScreen)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PageBlit565To565)->Unit(benchmark::kMicrosecond);

// A page of text drawn word by word, as the reader draws it, into the 16-bit (565) page it draws
// into, against the same words drawn into a 32-bit surface and against clearing the 565 page,
// alternately in one loop: words over the plain page are written from the glyphs' kept 565
// rows, the 32-bit page blends every pixel.
struct Word {
    const char16_t* text;
    int length, x, y;
};

void DrawWords(HDC dc, const std::vector<Word>& words) {
    for (const Word& w : words)
        ExtTextOutW(dc, w.x, w.y, 0, nullptr, w.text, static_cast<UINT>(w.length), nullptr);
}

void BM_TextPage565(benchmark::State& state) {
    Page565 page;
    Page wide;
    HFONT font = PageFont();
    HGDIOBJ oldPage = SelectObject(page.dc, font), oldWide = SelectObject(wide.dc, font);
    for (HDC dc : {page.dc, wide.dc}) SetBkMode(dc, TRANSPARENT);
    TEXTMETRICW tm{};
    GetTextMetricsW(page.dc, &tm);
    auto lines = Lines();
    std::vector<Word> words;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::u16string& line = lines[i];
        for (std::size_t at = 0; at < line.size();) {
            std::size_t end = line.find(u' ', at);
            if (end == std::u16string::npos) end = line.size();
            SIZE before{};
            GetTextExtentPoint32W(page.dc, line.data(), static_cast<int>(at), &before);
            if (end > at)
                words.push_back(Word{line.data() + at, static_cast<int>(end - at), 2 + before.cx,
                                     static_cast<int>(i) * tm.tmHeight});
            at = end + 1;
        }
    }
    // Glyphs rendered and kept before timing.
    Clear(page.dc);
    DrawWords(page.dc, words);
    double clear = 0, sixteen = 0, thirtyTwo = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        Clear(page.dc);
        auto t1 = Clock::now();
        DrawWords(page.dc, words);
        auto t2 = Clock::now();
        Clear(wide.dc);
        auto t3 = Clock::now();
        DrawWords(wide.dc, words);
        auto t4 = Clock::now();
        clear += Seconds(t0, t1);
        sixteen += Seconds(t1, t2);
        thirtyTwo += Seconds(t3, t4);
    }
    double n = static_cast<double>(state.iterations());
    state.counters["page_us"] = sixteen / n * 1e6;
    state.counters["page_over_clear"] = sixteen / clear;
    state.counters["over_32bit"] = sixteen / thirtyTwo;
    SelectObject(page.dc, oldPage);
    SelectObject(wide.dc, oldWide);
    DeleteObject(font);
}
BENCHMARK(BM_TextPage565)->Unit(benchmark::kMicrosecond);

void BM_FullScreenFill(benchmark::State& state) {
    Page page;
    HBRUSH brush = CreateSolidBrush(RGB(10, 20, 30));
    auto bits = GdiBitmapSurface(page.bitmap);
    RECT r{0, 0, kWidth, kHeight};
    double fill = 0, set = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        FillRect(page.dc, &r, brush);
        auto t1 = Clock::now();
        std::memset(bits->Bits(), 7, bits->ByteSize());
        benchmark::DoNotOptimize(bits->Bits());
        benchmark::ClobberMemory();
        auto t2 = Clock::now();
        fill += Seconds(t0, t1);
        set += Seconds(t1, t2);
    }
    state.counters["fill_over_memset"] = fill / set;
    DeleteObject(brush);
}
BENCHMARK(BM_FullScreenFill)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
