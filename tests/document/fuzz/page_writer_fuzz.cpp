// Writes arbitrary text through the page writer, in pieces and templates cut from the input,
// and reads the finished book back through the book resource: the book opens, holds exactly
// the text written, and every link placeholder holds its target's position. A writer that
// failed leaves no file.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bookfiles/palm_database.h"
#include "core/text.h"
#include "document/sources/book_resource.h"
#include "document/sources/page_writer.h"
#include "support/document/document_text.h"
#include "support/platform/temp_device.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

fvt::test::TempDevice& Device() {
    // On a memory-backed folder where there is one: each input's book is synced when written,
    // which on a disk costs more than the rest of the run.
    static const bool memory =
        access("/dev/shm", W_OK) == 0 && setenv("TMPDIR", "/dev/shm", 1) == 0;
    (void)memory;
    static fvt::test::TempDevice device;
    return device;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Device();
    Text path;
    path.FromWide(u"\\fuzz.fvg");
    PageWriter writer;
    writer.GetRandom().Seed(size);
    if (writer.Open(path, 4, 65002) != 0) return 0;

    // Each input byte is a character; 0x00 starts a template piece with one link to the text
    // position reached at the next 0x01.
    std::u16string expected, piece;
    std::vector<uint32_t> linkAt;
    uint32_t links = 0, targets = 0;
    std::vector<uint32_t> targetAt;
    auto flush = [&] {
        writer.WriteChars(piece.data(), static_cast<uint32_t>(piece.size()));
        expected += piece;
        piece.clear();
    };
    for (size_t i = 0; i < size; ++i) {
        char16_t c = data[i];
        if (c == 0 && links == targets && links < 50) {
            flush();
            std::u16string t = u"<a ###HREF###>";
            writer.FillTemplate(t.data(), static_cast<uint32_t>(t.size()), {{nullptr, links}});
            linkAt.push_back(static_cast<uint32_t>(expected.size()) + 3);
            expected += u"<a 00000000>";
            ++links;
        } else if (c == 1 && targets < links) {
            flush();
            writer.DefineTarget(targets++);
            targetAt.push_back(static_cast<uint32_t>(expected.size()));
        } else if (c != u'#') {
            piece.push_back(c);
        }
    }
    flush();
    while (targets < links) {
        writer.DefineTarget(targets++);
        targetAt.push_back(static_cast<uint32_t>(expected.size()));
    }
    Check(!writer.Failed());
    Check(!writer.Finish(775, PageWriter::kNoNumber, u"Fz", 4));
    for (size_t k = 0; k < linkAt.size(); ++k) {
        std::u16string digits = std::u16string(8, u'0') + [&] {
            std::string n = std::to_string(targetAt[k]);
            return std::u16string(n.begin(), n.end());
        }();
        expected.replace(linkAt[k], 8, digits.substr(digits.size() - 8));
    }
    PalmDatabase* db = writer.TakeDatabase();
    Check(db != nullptr);
    BookResource* book = nullptr;
    Check(BookResource::Create(db, 1252, 65002, book) == 0);
    Check(DocumentText(*book->GetDocument()) == expected);
    book->Release();
    return 0;
}
