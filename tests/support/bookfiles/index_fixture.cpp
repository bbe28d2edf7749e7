#include "support/bookfiles/index_fixture.h"

#include <cstdio>
#include <string>

bool AddIndexTable(IndexWriter& writer, PdbBuilder* pdb, std::uint32_t* table) {
    std::vector<std::vector<std::uint8_t>> records;
    if (!writer.Build(&records)) return false;
    *table = static_cast<std::uint32_t>(pdb->records.size());
    for (auto& r : records) pdb->Add(std::move(r));
    return true;
}

IndexWriter SampleDictionary(std::uint32_t codePage) {
    IndexWriter w;
    w.codePage = codePage;
    w.name = "default";
    const char16_t* words[] = {u"dog", u"apple", u"cat", u"bank", u"bank", u"zebra", u"try",
                               u"walk", u"haus", u"boot"};
    std::uint32_t n = 0;
    for (const char16_t* word : words) w.Add(word, {{1, {n++}}});
    return w;
}

IndexWriter NumberedKeys(std::uint32_t count) {
    IndexWriter w;
    w.name = "words";
    char buf[16];
    for (std::uint32_t i = 0; i < count; ++i) {
        std::snprintf(buf, sizeof buf, "k%07u", i);
        std::u16string key(buf, buf + 8);
        w.Add(key, {{1, {i}}});
    }
    return w;
}

Bytes NumberedKeysBook(std::uint32_t count, std::uint32_t* table) {
    PdbBuilder pdb;
    pdb.Add(ToBytes("record zero"));
    IndexWriter w = NumberedKeys(count);
    if (!AddIndexTable(w, &pdb, table)) return Bytes();
    return pdb.Build();
}
