// Query texts: parsing and compiling never crash, and a compiled query steps both ways over a
// small book without running away.
#include <cstddef>
#include <cstdint>

#include "database/fake_index.h"
#include "database/index_query.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    String text;
    for (size_t i = 0; i < size && i < 4096; ++i) text.AppendChar(static_cast<char16_t>(data[i]));
    static FakeBook* book = [] {
        auto* b = new FakeBook();
        auto* words = new FakeIndex({"abc", "abd", "b", "banana"}, "words");
        words->SetTag(0, 7, {1});
        words->SetTag(3, 3, {0, 1});
        b->tables.push_back(words);
        b->tables.push_back(new FakeIndex({"fruit", "tool"}, "classes"));
        return b;
    }();
    IndexQuery* q = nullptr;
    if (SqlParser::Parse(text, book, q) == 0) {
        for (int browse = 0; browse < 2; ++browse) {
            q->SetBrowse(browse == 0);
            for (int k = 0; k < q->ActiveLeafCount(); ++k) q->EvaluateLeaf(k, 0);
            int n = 0;
            for (RecordPosition p = q->Next(RecordPosition::At(-1)); p.IsRow() && n < 10;
                 p = q->Next(p))
                ++n;
            for (RecordPosition p = q->Previous(RecordPosition::At(-2)); p.IsRow() && n < 20;
                 p = q->Previous(p))
                ++n;
        }
        q->Release();
    }
    return 0;
}
