// A page of 40 lines of mixed bold and plain runs drawn through the graphics context, as a ratio
// to the device layer drawing the same runs directly with two fonts it switches between. The
// context should add little: its pens, brushes and fonts are cached and no run allocates.
// Beside it, the same page in a bitmap face (each run through a scratch copy of the area under
// it) as a ratio to the page in a system face.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "core/color.h"
#include "core/text.h"
#include "graphics/core/graphics_context.h"
#include "platform/gdi.h"
#include "support/graphics/font_fixture.h"
#include "support/platform/temp_device.h"

namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 320;
constexpr int kLines = 40;
constexpr int kLineHeight = 8;
constexpr int8_t kSize = -7;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

struct Run {
    std::u16string text;
    bool bold;
    int x;
};

class Faces : public FaceTable {
public:
    Faces() { name.AssignAscii("Tahoma"); }
    bool IsBitmapFace(uint8_t) const override { return false; }
    const Text* FaceName(uint8_t) const override { return &name; }
    Text name;
};

// Lines of words, every third word bold; x positions from a fixed advance per character.
std::vector<std::vector<Run>> Page() {
    const char16_t* words[] = {u"the",  u"reader", u"turns", u"a",    u"page",  u"of",
                               u"text", u"and",    u"every", u"line", u"keeps", u"its"};
    std::vector<std::vector<Run>> page;
    int w = 0;
    for (int l = 0; l < kLines; ++l) {
        std::vector<Run> line;
        int x = 2;
        while (x < kWidth - 30) {
            std::u16string word = words[w % 12];
            word += u' ';
            line.push_back(Run{word, w % 3 == 0, x});
            x += static_cast<int>(word.size()) * 5;
            ++w;
        }
        page.push_back(line);
    }
    return page;
}

HFONT MakeFont(bool bold) {
    LOGFONTW lf{};
    lf.lfHeight = kSize;
    lf.lfWeight = bold ? FW_BOLD : 400;
    lf.lfCharSet = DEFAULT_CHARSET;
    const char16_t face[] = u"Tahoma";
    std::memcpy(lf.lfFaceName, face, sizeof(face));
    return CreateFontIndirectW(&lf);
}

// A page-sized bitmap selected into a memory device context, handed to a graphics context as
// its target while it lives.
class PageBitmap {
public:
    explicit PageBitmap(GraphicsContext& gc) : gc_(gc) {
        target_.dc = CreateCompatibleDC(nullptr);
        target_.bitmap = CreateCompatibleBitmap(target_.dc, kWidth, kHeight);
        target_.size = Size{kWidth, kHeight};
        old_ = SelectObject(target_.dc, target_.bitmap);
        gc_.SetExternalTarget(&target_);
    }
    ~PageBitmap() {
        gc_.ClearExternalTarget();
        SelectObject(target_.dc, old_);
        DeleteObject(target_.bitmap);
        DeleteDC(target_.dc);
    }
    PageBitmap(const PageBitmap&) = delete;
    PageBitmap& operator=(const PageBitmap&) = delete;
    HDC Dc() const { return target_.dc; }

private:
    GraphicsContext& gc_;
    OffscreenBitmap target_;
    HGDIOBJ old_ = nullptr;
};

void BM_PageThroughContext(benchmark::State& state) {
    HFONT plain = MakeFont(false), bold = MakeFont(true);
    Faces faces;
    GraphicsContext gc(&faces);
    const PageBitmap bitmap(gc);
    HDC dc = bitmap.Dc();
    auto page = Page();
    RECT all{0, 0, kWidth, kHeight};
    HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    double direct = 0, context = 0;
    for (auto _ : state) {
        FillRect(dc, &all, white);
        auto t0 = Clock::now();
        HGDIOBJ before = SelectObject(dc, plain);
        SetBkMode(dc, TRANSPARENT);
        for (int l = 0; l < kLines; ++l) {
            for (const Run& r : page[l]) {
                SelectObject(dc, r.bold ? bold : plain);
                ExtTextOutW(dc, r.x, l * kLineHeight, 0, nullptr, r.text.data(),
                            static_cast<UINT>(r.text.size()), nullptr);
            }
        }
        SelectObject(dc, before);
        auto t1 = Clock::now();
        FillRect(dc, &all, white);
        auto t2 = Clock::now();
        gc.BeginDraw(false, nullptr);
        gc.SetBrushColor(Color::kNone);
        gc.SetTextColor(0);
        for (int l = 0; l < kLines; ++l) {
            for (const Run& r : page[l]) {
                gc.SetFontStyle(FontStyle{kSize, static_cast<uint8_t>(r.bold ? 1 : 0), 1});
                gc.DrawText(r.text.data(), static_cast<int32_t>(r.text.size()),
                            Point{r.x, l * kLineHeight});
            }
        }
        gc.EndDraw();
        auto t3 = Clock::now();
        direct += Seconds(t0, t1);
        context += Seconds(t2, t3);
    }
    double n = static_cast<double>(state.iterations());
    state.counters["page_us"] = context / n * 1e6;
    state.counters["context_over_direct"] = context / direct;
    DeleteObject(plain);
    DeleteObject(bold);
}
BENCHMARK(BM_PageThroughContext)->Unit(benchmark::kMicrosecond);

// Face 4 is a bitmap face from a font database of 5 x 7 glyphs; face 1 a system face.
class BitmapFaces : public FaceTable {
public:
    BitmapFaces() {
        name.AssignAscii("Tahoma");
        path.AssignAscii("\\bench.prc");
    }
    bool IsBitmapFace(uint8_t face) const override { return face == 4; }
    const Text* FaceName(uint8_t face) const override { return face == 4 ? &path : &name; }
    Text name, path;
};

double DrawPage(GraphicsContext& gc, const std::vector<std::vector<Run>>& page, uint8_t face) {
    auto t0 = Clock::now();
    gc.BeginDraw(false, nullptr);
    gc.SetBrushColor(Color::kNone);
    gc.SetTextColor(0);
    for (int l = 0; l < kLines; ++l) {
        for (const Run& r : page[l]) {
            gc.SetFontStyle(FontStyle{kSize, static_cast<uint8_t>(r.bold ? 1 : 0), face});
            gc.DrawText(r.text.data(), static_cast<int32_t>(r.text.size()),
                        Point{r.x, l * kLineHeight});
        }
    }
    gc.EndDraw();
    return Seconds(t0, Clock::now());
}

void BM_PageInABitmapFace(benchmark::State& state) {
    fvt::test::TempDevice device;
    FontFaceSpec face;
    face.size = 7;
    face.lineHeight = 8;
    face.ascent = 7;
    face.firstCode = 32;
    for (int c = 32; c < 127; ++c) face.glyphs.push_back(BlockGlyph(4, 7, 255, 5));
    const Bytes bytes = BuildFontDatabase({face});
    device.WriteHost("bench.prc", std::string(bytes.begin(), bytes.end()));
    BitmapFaces faces;
    GraphicsContext gc(&faces);
    const PageBitmap bitmap(gc);
    HDC dc = bitmap.Dc();
    auto page = Page();
    RECT all{0, 0, kWidth, kHeight};
    HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    double system = 0, bitmapFace = 0;
    for (auto _ : state) {
        FillRect(dc, &all, white);
        system += DrawPage(gc, page, 1);
        FillRect(dc, &all, white);
        bitmapFace += DrawPage(gc, page, 4);
    }
    double n = static_cast<double>(state.iterations());
    state.counters["page_us"] = bitmapFace / n * 1e6;
    state.counters["bitmap_over_system"] = bitmapFace / system;
}
BENCHMARK(BM_PageInABitmapFace)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
