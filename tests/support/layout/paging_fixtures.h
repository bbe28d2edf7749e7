// Small fixtures of the pagination tests: a document that pages can start anywhere in (as a
// book's), traits with a fixed document key, and layout settings at a base font size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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

}  // namespace fvt::test
