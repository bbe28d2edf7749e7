#include "dictionary_book.h"

#include "bookfiles/book_document.h"
#include "support/bookfiles/book_builder.h"
#include "support/bookfiles/index_fixture.h"

std::string DictionaryBookBytes(std::uint32_t* words) {
    std::uint32_t ids[2] = {};
    Bytes bytes;
    for (int pass = 0; pass < 2; ++pass) {
        BookBuilder b;
        b.text = ToBytes("<html><body>dictionary text</body></html>");
        b.fullName = "Little Dictionary";
        b.tables[0] = ids[0];
        b.tables[6] = ids[1];
        PdbBuilder pdb = b.BuildDatabase();
        IndexWriter w;
        w.name = "words";
        w.Add(u"apple", {{1, {10}}});
        w.Add(u"bank", {{1, {20}}, {5, {0}}});
        w.Add(u"cat", {{22, {0}}});
        IndexWriter n;
        n.name = "names";
        n.Add(u"apple", {});
        n.Add(u"Bank (money)", {});
        AddIndexTable(w, &pdb, &ids[0]);
        AddIndexTable(n, &pdb, &ids[1]);
        bytes = pdb.Build();
    }
    if (words) *words = ids[0];
    return std::string(bytes.begin(), bytes.end());
}
