// The real page engine over markup: HTML text in a document of type Doc (a SeekableDocument,
// whose pages start anywhere, or a MemoryDocument, replayed from the first page), the tokenizer
// over it and a page layout 200 pixels wide drawing on a context canvas, started. Needs the
// device layer set up (a WindowTest fixture).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/byte_stream.h"
#include "document/markup/html_tokenizer.h"
#include "layout/page_layout.h"
#include "support/layout/context_canvas.h"
#include "support/layout/layout_host.h"
#include "support/layout/paging_fixtures.h"

namespace fvt::test {

template <class Doc>
struct MarkupEngine {
    // `recordSize`: the document's record size; `kept`: the checkpoints an earlier engine kept,
    // loaded before the first page.
    MarkupEngine(const std::u16string& html, ContextCanvas* canvas, std::size_t recordSize,
                 int32_t height, ByteStream* kept = nullptr)
        : doc(html, recordSize), traits(0x600DB00C) {
        source.SetTableNeedsInline(false);
        source.Attach(&doc, 0);
        layout = std::make_unique<PageLayout>(&traits);
        layout->SetSource(&source);
        layout->SetGraphics(CanvasContext(canvas));
        layout->Configure(LayoutSettings{});
        layout->SetViewport(Rect{0, 0, 200, height});
        if (kept) loaded = kept->SetReadPosition(0) && layout->LoadKeptCheckpoints(*kept);
        started = layout->Start();
    }
    // The lines of the current page, laid out again.
    std::vector<std::string> Lines() {
        int32_t slot = -1;
        if (!layout->LayoutPageAt(layout->CurrentPageStart(), false, &slot) || slot < 0) return {};
        return LineTexts(layout->Slot(slot).contents);
    }
    PageRecord* Current() {
        return layout->FindPageRecord(layout->CurrentPageStart(), PageStepCode::kSamePage);
    }
    Doc doc;
    HtmlTokenizer source{true};
    FixedTraits traits;
    std::unique_ptr<PageLayout> layout;
    bool started = false;
    bool loaded = false;
};

}  // namespace fvt::test
