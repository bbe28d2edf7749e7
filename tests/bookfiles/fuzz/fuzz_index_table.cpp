// Index tables: every record of the database opened as a table, then looked up and walked.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bookfiles/index_table.h"
#include "bookfiles/index_table_handle.h"
#include "bookfiles/palm_database.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::unique_ptr<PalmDatabase> db(PalmDatabase::OpenView(data, size, nullptr));
    if (!db) return 0;
    const std::uint32_t count = db->GetRecordCount() < 8 ? db->GetRecordCount() : 8;
    for (std::uint32_t id = 0; id < count; ++id) {
        IndexTableHandle handle;
        if (!handle.Open(db.get(), id, id + 1 < count ? id + 1 : IndexTableHandle::kNone,
                         IndexTableHandle::kNone)) {
            continue;
        }
        const IndexTable& t = handle.Table();
        IndexEntryReader reader;
        reader.Open(&t);
        IndexPosition p{0, 0};
        for (int steps = 0; steps < 200 && t.StepEntry(&p, 1) == 0; ++steps) {
            std::u16string key;
            t.GetEntryKey(p, &key);
            if (reader.Seek(p) != 0) continue;
            std::uint32_t tag = 0, n = 0, v = 0;
            while (reader.ReadNextTag(&tag, &n) == 0) {
                while (reader.ReadNumber(&v) == 0) {
                }
            }
            std::u16string text;
            reader.ReadTagText(11, &text);
            IndexPosition q = p;
            reader.FollowLinks25Else22(&q);
            if (!key.empty()) {
                IndexPosition found;
                t.Lookup(key.data(), key.size(), &found, 0);
                t.Lookup(key.data(), key.size(), &found, IndexTable::kModeFoldCase);
            }
        }
        std::vector<IndexPosition> out;
        handle.LookupWord(u"gasthauses", 10, &out, 0, 0, true);
        IndexTable::FindCandidatesForWord(t, u"tst", 3, &out, 6);
        std::vector<LookupMatch> matches;
        bool exact = false;
        handle.RunLookup(u"\u4e2dab", 3, &matches, &t, 0, &exact, true);
    }
    return 0;
}
