#include "lookup_books.h"

#include <gtest/gtest.h>

#include "support/bookfiles/book_builder.h"
#include "support/bookfiles/index_fixture.h"

namespace fvt::test {

// A dictionary: each word's entry text is its definition in the book (tag 8), "mice" an
// inflected form of "mouse".
std::string DictionaryBook(const std::vector<std::pair<std::u16string, std::string>>& words,
                           std::uint32_t input, std::uint32_t output) {
    std::string html = "<html><body>";
    std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges;
    for (const auto& w : words) {
        html += "<p>";
        ranges.emplace_back(static_cast<std::uint32_t>(html.size()),
                            static_cast<std::uint32_t>(w.second.size()));
        html += w.second + "</p>";
    }
    html += "</body></html>";
    std::uint32_t ids[2] = {0xFFFFFFFF, 0xFFFFFFFF};
    Bytes bytes;
    for (int pass = 0; pass < 2; ++pass) {
        BookBuilder b;
        b.text = ToBytes(html);
        b.databaseName = "Dict";
        b.inputLanguage = input;
        b.outputLanguage = output;
        b.tables[0] = ids[0];
        b.tables[5] = ids[1];
        PdbBuilder pdb = b.BuildDatabase();
        IndexWriter dict;
        dict.name = "words";
        for (std::size_t i = 0; i < words.size(); ++i)
            dict.Add(words[i].first,
                     {{1, {ranges[i].first}}, {8, {ranges[i].first, ranges[i].second}}});
        EXPECT_TRUE(AddIndexTable(dict, &pdb, &ids[0]));
        IndexWriter forms;
        bool any = false;
        for (std::size_t i = 0; i < words.size(); ++i) {
            if (words[i].first != u"mouse") continue;
            forms.Add(u"mice", {{1, {dict.SortedNumbers()[i]}}});
            any = true;
        }
        if (any) EXPECT_TRUE(AddIndexTable(forms, &pdb, &ids[1]));
        bytes = pdb.Build();
    }
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace fvt::test
