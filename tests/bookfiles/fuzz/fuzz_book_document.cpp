// A whole book file: open it, read every page, and ask the header, target and frame-set
// questions.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "bookfiles/book_document.h"
#include "bookfiles/palm_database.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::unique_ptr<PalmDatabase> db(PalmDatabase::OpenView(data, size, nullptr));
    if (!db) return 0;
    BookDocument book;
    if (book.Open(db.get(), 0, 1252, 65002) != 0) return 0;
    // Bound the work per input: at most 64 pages.
    std::uint32_t pages = 0;
    for (std::uint32_t p = 0; p < book.GetLength() && pages < 64;
         p += BookDocument::kPageSize, ++pages) {
        PageBuffer page;
        if (book.ReadPage(p, page, 0, 0)) book.ReleasePage(page.pageId);
    }
    BookTarget t;
    book.FindTarget(u"start", 5, 2, &t);
    std::uint32_t table;
    book.OpenTableByName(u"x", 1, 0, &table);
    PackedTree cursor;
    std::uint8_t changed;
    std::uint32_t range[2];
    for (std::uint32_t p : {0u, 100u, 5000u}) {
        if (book.RecordForPosition(p, &cursor, &changed, -1, range)) {
            cursor.Descend();
            for (int i = 0; i < 64 && cursor.Next(); ++i) {
            }
        }
    }
    book.SniffKind();
    return 0;
}
