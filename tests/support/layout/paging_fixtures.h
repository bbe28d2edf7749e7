// Small fixtures of the pagination tests: a document that pages can start anywhere in (as a
// book's), traits with a fixed document key, and layout settings at a base font size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "document/markup/html_tokenizer.h"
#include "document/markup/plain_text_token_source.h"
#include "document/sources/layout_services.h"
#include "layout/page_layout.h"
#include "support/document/memory_document.h"

namespace fvt::test {

// Answers like a book: its pages can be started anywhere without replay.
class SeekableDocument : public MemoryDocument {
public:
    using MemoryDocument::MemoryDocument;
    uint32_t BookProperty7() override { return 2; }
};

class FixedTraits : public BookLayoutTraits {
public:
    explicit FixedTraits(uint32_t key, bool followsContent = false)
        : key_(key), followsContent_(followsContent) {}
    bool SourceFlag() override { return true; }
    uint32_t DocumentKey() override { return key_; }
    bool KeyFollowsContent() override { return followsContent_; }

private:
    uint32_t key_;
    bool followsContent_;
};

// `n` words drawn from `list` by a linear congruential generator whose state `r` moves on, each
// followed by a space: the same seed gives the same text on every run.
template <std::size_t N>
std::u16string PseudoWords(const char16_t* const (&list)[N], uint32_t& r, int n) {
    std::u16string w;
    for (int i = 0; i < n; ++i) {
        r = r * 1103515245u + 12345u;
        w += list[(r >> 16) % N];
        w += u' ';
    }
    return w;
}

inline LayoutSettings SettingsAt(int32_t baseFontSize) {
    LayoutSettings s;
    s.baseFontSize = baseFontSize;
    return s;
}

// A text laid out on a 240x320 page at base font size 12, read as HTML (tables nested, none
// needing inline content) or as plain text, from a document that is replayed or from one that
// pages can start anywhere in. Not yet started.
struct PagingBook {
    PagingBook(std::u16string text, bool seekable, bool plain) {
        doc = seekable ? std::make_unique<SeekableDocument>(std::move(text), 4096)
                       : std::make_unique<MemoryDocument>(std::move(text), 4096);
        if (plain) {
            source = std::make_unique<PlainTextTokenSource>();
        } else {
            auto html = std::make_unique<HtmlTokenizer>(true);
            html->SetTableNeedsInline(false);
            html->SetNoNestedTable(false);
            source = std::move(html);
        }
        source->Attach(doc.get(), 0);
        layout.SetSource(source.get());
        layout.Configure(SettingsAt(12));
        layout.SetViewport(Rect{0, 0, 240, 320});
    }
    std::unique_ptr<MemoryDocument> doc;
    std::unique_ptr<TokenSource> source;
    PageLayout layout;
};

}  // namespace fvt::test
