#include "forms_book.h"

#include <string>

#include "support/bookfiles/book_builder.h"
#include "support/bookfiles/index_fixture.h"

namespace {

// Texts of the table, placed one after another in its first text record (after the header
// and one data record), each a 2-byte length and its bytes.
struct Texts {
    IndexWriter& w;
    uint32_t offset = 0;
    std::vector<uint32_t> Add(uint32_t kind, const std::string& text) {
        w.AddText(text);
        std::vector<uint32_t> triple{kind, 2, offset};
        offset += 2 + static_cast<uint32_t>(text.size());
        return triple;
    }
};

}  // namespace

std::vector<uint8_t> FormsBook() {
    std::uint32_t id = 0;
    Bytes bytes;
    for (int pass = 0; pass < 2; ++pass) {
        BookBuilder b;
        b.text = ToBytes("<html><body>order form</body></html>");
        b.tables[4] = id;
        PdbBuilder pdb = b.BuildDatabase();
        IndexWriter w;
        w.name = "forms";
        Texts t{w};
        std::vector<uint32_t> texts;
        for (auto part : {t.Add(0, "result.htm"), t.Add(2, "POST"), t.Add(1, "XML"), t.Add(3, "5")})
            texts.insert(texts.end(), part.begin(), part.end());
        std::vector<uint32_t> formTexts(texts.begin(), texts.begin() + 9);
        std::vector<uint32_t> fieldText(texts.begin() + 9, texts.end());
        // Sorted keys: "150" 0, "broken" 1, "order" 2, "order.qty" 3.
        w.Add(u"150", {{21, {2}}});
        w.Add(u"broken", {{6, {300}}, {11, {0, 77, 0, 8, 2, 60000}}});
        w.Add(u"order", {{6, {100, 200}}, {7, {9, 1, 4, 1}}, {11, formTexts}});
        w.Add(u"order.qty", {{1, {2}}, {2, {160}}, {11, fieldText}});
        AddIndexTable(w, &pdb, &id);
        bytes = pdb.Build();
    }
    return bytes;
}
