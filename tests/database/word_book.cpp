#include "word_book.h"

#include <gtest/gtest.h>

#include "support/bookfiles/index_fixture.h"

std::vector<std::uint8_t> WordBookBytes(std::uint32_t* table) {
    PdbBuilder pdb;
    pdb.Add(ToBytes("record zero"));
    IndexWriter w;
    w.name = "words";
    w.Add(u"apple", {{1, {100}}});
    w.Add(u"bank", {{1, {200}}});
    w.Add(u"banker", {{1, {300}}});
    EXPECT_TRUE(AddIndexTable(w, &pdb, table));
    return pdb.Build();
}
