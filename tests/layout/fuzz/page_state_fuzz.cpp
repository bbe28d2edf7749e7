// Restores arbitrary saved page states (as a damaged or foreign side file gives them) and checks
// the promises: a refused state leaves the page shown as it was, an accepted one shows a page
// inside the text, the engine's invariants hold, and a state saved again reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/byte_stream.h"
#include "document/markup/plain_text_token_source.h"
#include "layout/page_layout.h"
#include "support/layout/paging_fixtures.h"
#include "support/layout/word_page_layout.h"

namespace {

constexpr uint32_t kKey = 0x1234;

std::u16string SampleText() {
    std::u16string t;
    for (int i = 0; i < 400; ++i) t += i % 9 ? u"word " : u"line\n";
    return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8) return 0;
    static const std::u16string text = SampleText();
    bool seekable = data[0] & 1;
    fvt::test::SeekableDocument seekableDoc(text, 256);
    MemoryDocument replayedDoc(text, 256);
    PlainTextTokenSource source;
    source.Attach(seekable ? &seekableDoc : &replayedDoc, 0);
    fvt::test::FixedTraits traits(kKey);
    WordPageLayout content;
    PageLayout layout(&traits);
    layout.SetSource(&source);
    layout.SetContentLayout(&content);
    layout.Configure(fvt::test::SettingsAt(10));
    layout.SetViewport(Rect{0, 0, 90, 50});
    if (!layout.Start() || !layout.GoToPage(1)) std::abort();
    uint32_t shown = layout.CurrentPageStart();

    uint32_t pageStart = (data[1] | data[2] << 8) % (text.size() + 8);
    uint32_t pageNumber = data[3];
    ByteStream stream;
    // A valid head now and then, so that the deeper checks are reached.
    if (data[4] & 1) {
        uint32_t head[3] = {PageLayout::kStateMagic, 1u + data[5] % 5, kKey};
        stream.WriteWords32BE(head, 3);
    }
    stream.WriteBytes(data + 6, size - 6);
    stream.SetReadPosition(0);
    bool ok = layout.RestorePageState(pageNumber, pageStart, stream);
    if (!layout.CheckInvariants()) std::abort();
    if (!ok) {
        if (layout.CurrentPageStart() != shown) std::abort();
        return 0;
    }
    uint32_t now = layout.CurrentPageStart();
    if (now == PageLayout::kNone || (now >= layout.TextLength() && now > layout.FirstPageStart()))
        std::abort();
    // What is shown lays out, and its state saved again restores to the same page.
    layout.LayoutPageAt(now, false);
    uint32_t number = 0, start = 0;
    ByteStream again;
    if (!layout.SaveCurrentPageState(number, start, again)) std::abort();
    layout.GoToPage(1);
    again.SetReadPosition(0);
    if (!layout.RestorePageState(number, start, again) || layout.CurrentPageStart() != start)
        std::abort();
    return 0;
}
