#include "support/bookfiles/index_fixture.h"

#include <cstdio>
#include <string>

#include "support/bookfiles/book_builder.h"

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

Bytes DictionaryBook(const DictionarySpec& spec, std::uint32_t* table) {
    std::string html = "<html><body>" + spec.front;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges;
    for (const auto& [word, definition] : spec.words) {
        html += "<p><b>" + std::string(word.begin(), word.end()) + "</b> ";
        ranges.emplace_back(static_cast<std::uint32_t>(html.size()),
                            static_cast<std::uint32_t>(definition.size()));
        html += definition + "</p>";
    }
    html += "</body></html>";
    // Built twice: the header names the tables by record, known after the first build.
    std::uint32_t ids[2] = {0xFFFFFFFF, 0xFFFFFFFF};
    Bytes bytes;
    for (int pass = 0; pass < 2; ++pass) {
        BookBuilder book;
        book.text = ToBytes(html);
        book.databaseName = spec.name;
        book.fullName = spec.name;
        book.inputLanguage = spec.input;
        book.outputLanguage = spec.output;
        book.locale = spec.output;
        book.tables[0] = ids[0];
        book.tables[5] = ids[1];
        PdbBuilder pdb = book.BuildDatabase();
        IndexWriter dictionary;
        dictionary.name = "words";
        dictionary.language = spec.input;
        dictionary.alphabet.assign(spec.alphabet.begin(), spec.alphabet.end());
        if (!spec.weights.empty()) {
            dictionary.flags = 1;
            dictionary.weights = spec.weights;
            dictionary.ligatures = spec.ligatures;
        }
        for (std::size_t i = 0; i < spec.words.size(); ++i) {
            if (spec.entryText)
                dictionary.Add(spec.words[i].first, {{1, {ranges[i].first}},
                                                     {8, {ranges[i].first, ranges[i].second}}});
            else
                dictionary.Add(spec.words[i].first, {{1, {ranges[i].first}}});
        }
        if (!AddIndexTable(dictionary, &pdb, &ids[0])) return {};
        IndexWriter inflections;
        inflections.language = spec.input;
        bool any = false;
        for (const auto& [form, word] : spec.forms) {
            for (std::size_t i = 0; i < spec.words.size(); ++i) {
                if (spec.words[i].first != word) continue;
                inflections.Add(form, {{1, {dictionary.SortedNumbers()[i]}}});
                any = true;
            }
        }
        if (any && !AddIndexTable(inflections, &pdb, &ids[1])) return {};
        bytes = pdb.Build();
    }
    if (table) *table = ids[0];
    return bytes;
}
