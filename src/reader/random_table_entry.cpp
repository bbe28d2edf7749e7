#include "reader/random_table_entry.h"

#include "core/random.h"
#include "core/ref_counted.h"
#include "database/book_index_source.h"
#include "database/resource.h"

int64_t RandomTablePosition(Resource* book, const String& designation, Random& random) {
    if (!book) return -1;
    DataHandle* handle = book->OpenDataByName(designation, nullptr);
    RefPtr<BookIndexSource> table =
        RefPtr<BookIndexSource>::Adopt(handle ? BookIndexSource::FromHandle(handle) : nullptr);
    if (!table) return -1;
    uint32_t n = table->EntryCount();
    // An empty table has no entry to draw (and nothing to take a remainder by).
    return n ? table->TextPosition(random.Next() % n) : -1;
}
