// Feeds arbitrary text to both token sources, from the start and from a position inside, with
// small pages, and checks that they always end with End, and that a saved state restores.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/byte_stream.h"
#include "document/markup/html_tokenizer.h"
#include "document/markup/plain_text_token_source.h"
#include "support/document/memory_document.h"

namespace {

void Drain(TokenSource& ts, size_t limit) {
    // Every call either delivers a token or moves on; a bounded number of calls must reach End.
    for (size_t i = 0; i < limit; ++i) {
        uint32_t k = ts.NextToken();
        if (k == kTokenEnd) return;
        if (i % 64 == 0) ts.ReleaseBuffers();
    }
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    uint32_t pageSize = 1 + data[0] % 64;
    std::u16string text;
    for (size_t i = 1; i + 1 < size; i += 2) text.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
    // Bytes as Latin-1 too, which reaches the markup more often.
    for (size_t i = 1; i < size; ++i) text.push_back(data[i]);
    size_t limit = 16 * (text.size() + 16);
    MemoryDocument doc(text, pageSize);
    uint32_t mid = static_cast<uint32_t>(text.size() / 2);
    {
        HtmlTokenizer t;
        t.Attach(&doc, 0);
        t.Start(0, false);
        Drain(t, limit);
        t.Start(mid, true);
        for (int i = 0; i < 8; ++i) t.NextToken();
        ByteStream s;
        t.SaveState(s);
        HtmlTokenizer u;
        u.Attach(&doc, 0);
        if (!u.RestoreState(s)) __builtin_trap();
        Drain(u, limit);
        // Arbitrary bytes as a saved state are refused or restored, never trusted blindly.
        ByteStream junk;
        junk.WriteBytes(data, size);
        if (u.RestoreState(junk)) Drain(u, limit);
    }
    {
        // The quick path for words and spaces cuts exactly as the scanner does.
        auto all = [&](bool quick) {
            CharStream::quickPath = quick;
            HtmlTokenizer t;
            t.Attach(&doc, 0);
            t.Start(0, false);
            std::u16string out;
            for (size_t i = 0; i < limit; ++i) {
                uint32_t k = t.NextToken();
                out.push_back(static_cast<char16_t>('0' + k));
                if (k == kTokenEnd) break;
                if (k == kTokenText) out.append(t.Text().Data(), t.Text().Length());
            }
            CharStream::quickPath = true;
            return out;
        };
        if (all(true) != all(false)) __builtin_trap();
    }
    {
        PlainTextTokenSource p;
        p.Attach(&doc, 0);
        p.Start(0, false);
        Drain(p, limit);
        p.Start(mid, true);
        Drain(p, limit);
    }
    if (doc.LivePages() != 0 || doc.badReleases != 0) __builtin_trap();
    return 0;
}
