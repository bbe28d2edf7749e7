// Dictionary look-ups over arbitrary index tables with words the input chooses: the exact key,
// inflections, spelling candidates and the CJK key-table search, then every hit's key read
// back. The word is the input's tail (so that the seed dictionaries stay whole); nothing may
// crash, and every hit lies inside the table.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bookfiles/index_table.h"
#include "bookfiles/index_table_handle.h"
#include "bookfiles/palm_database.h"

constexpr std::size_t kMaxSpelled = 8;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // The last byte gives the word's length in characters, taken as UTF-16 before it.
    std::size_t length = data[size - 1] % 24;
    if (length * 2 + 1 > size) length = (size - 1) / 2;
    std::u16string word;
    for (std::size_t i = size - 1 - length * 2; i + 1 < size; i += 2)
        word.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
    std::unique_ptr<PalmDatabase> db(PalmDatabase::OpenView(data, size, nullptr));
    if (!db) return 0;
    const std::uint32_t count = db->GetRecordCount() < 6 ? db->GetRecordCount() : 6;
    for (std::uint32_t id = 0; id < count; ++id) {
        IndexTableHandle handle;
        // The next table as the inflection table, the one after as the naming table.
        const std::uint32_t inflex = id + 1 < count ? id + 1 : IndexTableHandle::kNone;
        const std::uint32_t naming = id + 2 < count ? id + 2 : IndexTableHandle::kNone;
        if (!handle.Open(db.get(), id, inflex, naming)) continue;
        const IndexTable& t = handle.Table();
        for (bool inflect : {false, true}) {
            std::vector<IndexPosition> hits;
            handle.LookupWord(word.data(), word.size(), &hits, 0, 0, inflect);
            for (const IndexPosition& p : hits) {
                std::u16string key;
                t.GetEntryKey(p, &key);
            }
        }
        // Spelling candidates try a look-up per edit of the word: short words only, or one
        // input takes as long as hundreds.
        if (word.size() <= kMaxSpelled) {
            std::vector<IndexPosition> candidates;
            IndexTable::FindCandidatesForWord(t, word.data(), word.size(), &candidates, 8);
            if (candidates.size() > 8) __builtin_trap();
            for (const IndexPosition& p : candidates) {
                std::u16string key;
                t.GetEntryKey(p, &key);
            }
        }
        for (bool approximate : {false, true}) {
            std::vector<LookupMatch> matches;
            bool exact = false;
            handle.RunLookup(word.data(), word.size(), &matches, handle.FindNamingTable(), 0,
                             &exact, approximate);
            if (exact && matches.empty()) __builtin_trap();
        }
    }
    return 0;
}
