// Lays out pages of deeply nested blocks: tables in cells, lists in items, quotes and divisions,
// each with a paragraph, built from a short recipe so that a few bytes reach a depth that
// arbitrary markup of the same length never does. The promises are those of any page: every
// page but the last ends strictly after it starts and where the next one starts, the block
// contents stay consistent, and the whole text is reached within a bounded number of pages.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/markup/html_tokenizer.h"
#include "document/markup/token_source.h"
#include "layout/page_layout.h"
#include "support/document/memory_document.h"
#include "support/layout/page_walk.h"

namespace {

// What one step opens, and what closes it.
struct Level {
    const char* open;
    const char* close;
};
constexpr Level kLevels[] = {
    {"<table><tr><td>", "</td></tr></table>"},
    {"<ul><li>", "</li></ul>"},
    {"<blockquote>", "</blockquote>"},
    {"<div>", "</div>"},
    {"<p><table border=1 cellpadding=2><tr><td width=40%>", "</td><td>x</td></tr></table>"},
    {"<ol><li><p>", "</p></li></ol>"},
    {"<dl><dd>", "</dd></dl>"},
    {"<center>", "</center>"},
};
constexpr const char* kWords[] = {"a ", "word ", "longerwordthanmost ", "<br>", "<hr>"};

// Open elements past the tokenizer's limit (and the element stack's), so that the cuts at
// those limits are reached too. Levels beyond add only text to lay out, which every page
// pays for again: counted in elements, not levels, as a table level opens three.
constexpr size_t kMaxOpenElements = 400;
constexpr size_t kMaxRecipe = 96;

size_t ElementsOf(const Level& level) {
    size_t n = 0;
    for (const char* c = level.open; *c; ++c) n += *c == '<';
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    if (size > kMaxRecipe) size = kMaxRecipe;
    const int32_t width = 16 + data[0] % 220;
    const int32_t height = 16 + data[1] % 300;
    // Each byte: bit 7 opens (bits 0-2 the kind, bits 3-6 a repeat of 1 to 16, times 8 when
    // bit 3 of the column byte is set), else bit 6 closes (bits 0-5 levels), else a word.
    std::string html = "<html><body>";
    std::vector<const Level*> open;
    size_t elements = 2;  // HTML and BODY
    for (size_t i = 2; i < size; ++i) {
        const uint8_t b = data[i];
        if (b & 0x80) {
            size_t repeat = 1 + ((b >> 3) & 0x0F);
            if (data[0] & 8) repeat *= 8;
            const Level* level = &kLevels[b & 7];
            for (size_t k = 0; k < repeat && elements < kMaxOpenElements; ++k) {
                html += level->open;
                html += "p";
                open.push_back(level);
                elements += ElementsOf(*level);
            }
        } else if (b & 0x40) {
            for (size_t k = 0; k < static_cast<size_t>(b & 0x3F) + 1 && !open.empty(); ++k) {
                html += open.back()->close;
                elements -= ElementsOf(*open.back());
                open.pop_back();
            }
        } else {
            html += kWords[b % (sizeof kWords / sizeof kWords[0])];
        }
    }
    // Unclosed levels are left open half of the time: the end of the text closes them.
    if (data[1] & 1)
        while (!open.empty()) {
            html += open.back()->close;
            open.pop_back();
        }
    std::u16string text(html.begin(), html.end());
    MemoryDocument doc(text, 4096);
    HtmlTokenizer tokenizer(true);
    tokenizer.Attach(&doc, 0);
    tokenizer.SetTableNeedsInline(false);
    tokenizer.SetNoNestedTable(false);
    PageLayout layout;
    LayoutSettings settings;
    settings.baseFontSize = 4 + data[0] % 12;
    layout.SetSource(&tokenizer);
    layout.Configure(settings);
    Rect column{0, 0, width, height};
    layout.SetColumns(&column, 1);

    WalkEveryPage(layout, text.size() + 2);
    return 0;
}
