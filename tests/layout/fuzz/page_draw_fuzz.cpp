// A random HTML page as the reader shows one: tokenized with nesting, laid out on a small screen
// at a chosen font size and drawn page by page into a bitmap, then paged back. Nothing may crash,
// every drawing bracket closes, and the pages are reached in fewer turns than there are
// characters.
#include <cstddef>
#include <cstdint>
#include <string>

#include "document/markup/html_tokenizer.h"
#include "layout/page_layout.h"
#include "platform/kernel/kernel_clock.h"
#include "platform/window/window.h"
#include "support/document/memory_document.h"
#include "support/layout/golden_canvas.h"
#include "support/platform/temp_device.h"

namespace {

// Longer pages add length, not reach (each page copies what is left of its block).
constexpr size_t kMaxInput = 512;

struct Screen {
    Screen() : device("clock = virtual\n") {
        fvt::UseVirtualClock();
        GetDesktopWindow();  // the layer takes up the device
    }
    fvt::test::TempDevice device;
    fvt::test::GoldenCanvas canvas{160, 120};
};

Screen& TheScreen() {
    // Never destroyed (libFuzzer ends without destructors): the device layer removes its folder.
    static auto* screen = new Screen();
    return *screen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    if (size > kMaxInput) size = kMaxInput;
    Screen& screen = TheScreen();
    if (!screen.device.ok()) return 0;
    // Bytes as Latin-1 markup after an HTML start, so that the elements are read.
    std::u16string text = u"<html><body>";
    for (size_t i = 2; i < size; ++i) text.push_back(data[i]);
    MemoryDocument doc(text, 32 + data[0] % 96);
    HtmlTokenizer tokenizer(true);
    tokenizer.Attach(&doc, 0);
    tokenizer.SetTableNeedsInline(false);
    tokenizer.SetNoNestedTable(data[1] & 1);
    PageLayout layout;
    LayoutSettings settings;
    settings.baseFontSize = 6 + data[1] % 14;
    layout.SetSource(&tokenizer);
    layout.Configure(settings);
    layout.SetCanvas(screen.canvas.Canvas());
    layout.SetViewport(Rect{0, 0, 40 + data[0] % 120, 30 + data[1] % 90});
    if (!layout.Start()) return 0;
    const uint32_t bound = static_cast<uint32_t>(text.size()) + 2;
    if (!layout.GoToPage(1)) return 0;
    uint32_t page = 1;
    for (;; ++page) {
        layout.DrawPage(true);
        if (screen.canvas.Depth() != 0) __builtin_trap();
        if (!layout.CanStep(PageStepCode::kSingleStep)) break;
        const uint32_t start = layout.CurrentPageStart();
        if (!layout.GoToPage(page + 1) || layout.CurrentPageStart() <= start) break;
        // The pages are reached in fewer turns than there are characters.
        if (page > bound) __builtin_trap();
    }
    // A few pages back, drawn again from the page cache.
    for (uint32_t back = page; back > 1 && back + 4 > page; --back) {
        if (layout.GoToPage(back - 1)) layout.DrawPage(false);
        if (screen.canvas.Depth() != 0) __builtin_trap();
    }
    return 0;
}
