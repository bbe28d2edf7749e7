// Feeds arbitrary bytes as a text file in every code page a text file can be read in, repeated
// over two page ends: pages read in any order give the same text, positions never move back and
// stay inside the document, and the plain-text token source ends with End.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/file.h"
#include "core/text.h"
#include "document/markup/plain_text_token_source.h"
#include "document/sources/text_file_document.h"
#include "support/document/device_files.h"

namespace {

// Small pages: each input decodes a few hundred bytes per page, not 4 KB, for the same page ends.
constexpr uint32_t kPage = 128;

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

struct Opened {
    Opened(const std::u16string& path, uint32_t codePage) {
        Text p;
        p.FromWide(path.c_str());
        file.Open(p, File::kOpenForReading);
        Check(file.IsOpen());
        doc.SetPageSizeForTest(kPage);
        Check(doc.PageSize() == kPage);
        doc.Open(&file, String(u"f.txt"), codePage, 65002, false, 0, 0xFFFFFFFFu);
    }
    File file;
    TextFileDocument doc;
};

std::u16string ReadPage(TextFileDocument& doc, uint32_t position, uint32_t* span) {
    PageBuffer page;
    if (!doc.ReadPage(position, page, 0, 0)) {
        *span = 0;
        return u"";
    }
    Check(page.start == (position & ~(kPage - 1)));
    *span = page.spanLength;
    std::u16string text(page.text, page.length);
    doc.ReleasePage(page.pageId);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    static const uint32_t kCodePages[] = {1252, 65001, 932, 936, 949, 950};
    uint32_t codePage = kCodePages[data[0] % 6];
    std::string bytes(data[1] % 5, 'a');
    std::string unit(reinterpret_cast<const char*>(data + 2), size - 2);
    while (unit.size() < 64) unit += unit;
    while (bytes.size() < 2 * kPage + 64) bytes += unit;
    static DeviceFiles files;
    std::u16string path = files.Write("f.txt", bytes);

    Opened forward(path, codePage), backward(path, codePage);
    uint32_t length = forward.doc.GetLength();
    uint32_t pages = (length + kPage - 1) / kPage;
    std::u16string inOrder, reversed;
    for (uint32_t k = 0; k < pages; ++k) {
        uint32_t span = 0;
        inOrder += ReadPage(forward.doc, k * kPage, &span);
        Check(span <= kPage);
    }
    for (uint32_t k = pages; k-- > 0;) {
        uint32_t span = 0;
        uint32_t at = k * kPage;
        if (at + 1 < length) ++at;  // any position of the page
        reversed.insert(0, ReadPage(backward.doc, at, &span));
    }
    Check(inOrder == reversed);
    Check(forward.doc.LivePageCount() == 0 && backward.doc.LivePageCount() == 0);

    // Positions around every page end, with the pages on both sides kept (as the token
    // sources keep them), and a few without.
    uint32_t count = 1 + data[2] % 3;
    auto step = [&](uint32_t p) {
        uint32_t next = forward.doc.Advance(p, count, 0);
        // The second half of a surrogate pair has its character's position.
        Check(next >= p && (next <= length || p + count > length));
        Check(forward.doc.Distance(p, next, 0) >= 0);
    };
    for (uint32_t end = kPage; end < length;
         end += kPage) {
        PageBuffer before, after;
        bool a = forward.doc.ReadPage(end - 1, before, 0, 0);
        bool b = forward.doc.ReadPage(end, after, 0, 0);
        for (uint32_t p = end - 8; p < end + 8 && p < length; ++p) step(p);
        if (a) forward.doc.ReleasePage(before.pageId);
        if (b) forward.doc.ReleasePage(after.pageId);
        step(end - 1);
        step(end);
    }
    Check(forward.doc.LivePageCount() == 0);

    // Tokens across the last page end, from a position inside a word.
    PlainTextTokenSource ts;
    ts.Attach(&forward.doc, 0);
    ts.Start(2 * kPage - 61, true);
    size_t limit = 8 * (inOrder.size() + 16);
    size_t i = 0;
    while (ts.NextToken() != kTokenEnd) Check(++i < limit);
    return 0;
}
