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

// Everything a reader of the token stream sees, token by token: kinds, positions, texts, tags
// and their attributes.
std::u16string Transcript(DocumentSource& doc, size_t limit, bool nest) {
    HtmlTokenizer t(nest);
    t.Attach(&doc, 0);
    t.Start(0, false);
    std::u16string out;
    for (size_t i = 0; i < limit; ++i) {
        uint32_t k = t.NextToken();
        uint32_t position = 0;
        t.GetPosition(position);
        out.push_back(static_cast<char16_t>('0' + k));
        out.push_back(static_cast<char16_t>(position));
        out.push_back(static_cast<char16_t>(position >> 16));
        if (k == kTokenEnd) break;
        if (k == kTokenText) out.append(t.Text().Data(), t.Text().Length());
        if (k == kTokenTag) {
            bool isEnd = false, isEmpty = false;
            out.push_back(static_cast<char16_t>(t.GetTag(isEnd, isEmpty)));
            out.push_back(static_cast<char16_t>(isEnd * 2 + isEmpty));
            for (uint32_t a = 0; a < t.AttributeCount(); ++a) {
                const AttributeItem* item = t.Attribute(a);
                out.push_back(static_cast<char16_t>(item->id));
                out.push_back(item->hasValue);
                out.append(item->value.Data(), item->value.Length());
                out.push_back(0xFFFF);
            }
        }
        if (i % 64 == 0) t.ReleaseBuffers();
    }
    return out;
}

// The quick paths (words, spaces and whole tags inside a page) must give exactly what the
// scanner gives token by token; without nesting every tag the lexer reads is seen. The input
// chooses whether the elements nest: one transcript pair per document, not two.
void CompareQuickAndScanner(DocumentSource& doc, size_t limit, bool nest) {
    CharStream::quickPath = true;
    std::u16string quick = Transcript(doc, limit, nest);
    CharStream::quickPath = false;
    std::u16string scanned = Transcript(doc, limit, nest);
    CharStream::quickPath = true;
    if (quick != scanned) __builtin_trap();
}

// Markup made of the pieces real pages are made of, one piece per input byte: it reaches tags
// with attributes far more often than arbitrary text does.
std::u16string MarkupFrom(const uint8_t* data, size_t size) {
    static const char16_t* const kPieces[] = {
        u"<p",        u"<a",       u"<b",      u"<br",        u"<div",      u"<script",
        u"<table",    u"<td",      u"<html",   u"<body",      u"</p",       u"</a",
        u"</b",       u"</script", u"</table", u"</td",       u"<x",        u"</x",
        u"<",         u"</",       u" href=",  u" class=",    u" name=",    u" fvt:ignore=",
        u" inline=",  u" nowrap",  u" id=",    u"=",          u"\"v\"",     u"'w'",
        u"\"",        u"'",        u"\"a>b\"", u"\"&amp;x\"", u"\"&#65;\"", u">",
        u"/>",        u"/",        u" ",       u"\n",         u"\t",        u"word",
        u"&amp;",     u"&#65;",    u"&",       u";",          u"<!--",      u"-->",
        u"<![CDATA[", u"]]>",      u"\u4E00",  u"\u2019",     u"\u200C",    u"\u0301",
        u"_",         u":",        u"1",       u"\x01",       u"-",         u"p",
        u"a",         u" zz=",     u" x",      u"\"\"",
    };
    constexpr size_t kCount = sizeof(kPieces) / sizeof(kPieces[0]);
    std::u16string text;
    for (size_t i = 0; i < size; ++i) text += kPieces[data[i] % kCount];
    return text;
}

// Every run below is linear in its text, but sixteen transcripts of a text cut into pages of
// one character (each page a map entry and an allocation, all held while an unterminated
// construct such as a SCRIPT lasts) made long inputs crawl under the sanitizers. Longer inputs
// reach nothing shorter ones do not.
constexpr size_t kMaxInput = 1024;
// The markup pieces stretch each byte to up to nine characters.
constexpr size_t kMaxMarkupPieces = 256;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    if (size > kMaxInput) size = kMaxInput;
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
        // Small pages (constructs cut by page ends) and one page (the quick paths taken).
        const bool nest = data[0] & 0x40;
        CompareQuickAndScanner(doc, limit, nest);
        MemoryDocument whole(text);
        CompareQuickAndScanner(whole, limit, !nest);
        std::u16string markup =
            MarkupFrom(data + 1, size - 1 < kMaxMarkupPieces ? size - 1 : kMaxMarkupPieces);
        MemoryDocument markupPages(markup, pageSize), markupWhole(markup);
        size_t markupLimit = 16 * (markup.size() + 16);
        CompareQuickAndScanner(markupPages, markupLimit, !nest);
        CompareQuickAndScanner(markupWhole, markupLimit, nest);
        if (markupPages.LivePages() != 0 || markupWhole.LivePages() != 0) __builtin_trap();
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
