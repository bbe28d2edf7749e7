#include "bookfiles/index_table_handle.h"

#include <algorithm>

#include "bookfiles/book_document.h"
#include "bookfiles/palm_database.h"
#include "core/char_props.h"

namespace {

struct EndingRule {
    std::uint32_t language;
    const char16_t* suffix;
    const char16_t* replacement;
    std::size_t minimumStem;
};

// Common regular endings; each candidate is only a guess that the dictionary confirms.
const EndingRule kRules[] = {
    {9, u"ies", u"y", 2},  {9, u"es", u"", 2},   {9, u"s", u"", 2},    {9, u"ed", u"", 2},
    {9, u"ed", u"e", 2},   {9, u"ing", u"", 2},  {9, u"ing", u"e", 2}, {9, u"er", u"", 2},
    {9, u"est", u"", 2},   {12, u"aux", u"al", 2}, {12, u"es", u"", 2}, {12, u"s", u"", 2},
    {12, u"x", u"", 2},    {12, u"e", u"", 2},   {7, u"en", u"", 3},   {7, u"e", u"", 3},
    {7, u"n", u"", 3},     {7, u"s", u"", 3},    {7, u"er", u"", 3},   {7, u"es", u"", 3},
    {19, u"en", u"", 3},   {19, u"s", u"", 3},   {6, u"erne", u"", 3}, {6, u"er", u"", 3},
    {6, u"en", u"", 3},    {6, u"e", u"", 3},    {6, u"s", u"", 3},
};

bool IsCompoundLanguage(std::uint32_t language) {
    std::uint32_t primary = language & 0x3FF;
    return primary == 7 || primary == 19 || primary == 6;
}

}  // namespace

bool IndexTableHandle::Open(PalmDatabase* database, std::uint32_t table,
                            std::uint32_t inflectionTable, std::uint32_t namingTable) {
    inflex_ = IndexTable();
    naming_ = IndexTable();
    if (!table_.Open(database, table)) return false;
    if (inflectionTable != kNone) inflex_.Open(database, inflectionTable);
    if (namingTable != kNone) naming_.Open(database, namingTable);
    return true;
}

bool IndexTableHandle::OpenInBook(const BookDocument& book, std::uint32_t table) {
    std::uint32_t inflex = kNone, naming = kNone;
    if (!book.OpenHeaderRecord(5, &inflex)) inflex = kNone;
    if (!book.OpenHeaderRecord(6, &naming)) naming = kNone;
    return Open(book.NextRecord(), table, inflex, naming);
}

bool IndexTableHandle::GetInflectionEntryKey(std::uint32_t entry, std::u16string* out) const {
    IndexPosition p;
    return inflex_.IsOpen() && inflex_.PositionFromEntry(entry, &p) && inflex_.GetEntryKey(p, out);
}

void IndexTableHandle::AllEqual(const IndexTable& table, const char16_t* key, std::size_t length,
                                std::vector<IndexPosition>* out) {
    IndexPosition p;
    if (!table.Lookup(key, length, &p, 0)) return;
    std::string wanted;
    if (!Keys::Encode(table.GetCodePage(), key, length, &wanted)) return;
    for (;;) {
        out->push_back(p);
        if (table.StepEntry(&p, 1) != 0) break;
        ByteSpan k;
        if (!table.GetEntryKeyBytes(p, &k) ||
            Keys::CompareBytes(k.data, k.size,
                               reinterpret_cast<const std::uint8_t*>(wanted.data()),
                               wanted.size()) != 0) {
            break;
        }
    }
}

void IndexTableHandle::Append(std::uint32_t entry, std::vector<IndexPosition>* out) const {
    IndexPosition p;
    if (!table_.PositionFromEntry(entry, &p)) return;
    if (std::find(out->begin(), out->end(), p) == out->end()) out->push_back(p);
}

bool IndexTableHandle::LookupWord(const char16_t* word, std::size_t length,
                                  std::vector<IndexPosition>* out, int, int, bool inflect) const {
    if (!table_.IsOpen() || !word || length == 0) return false;
    const std::size_t before = out->size();
    auto addExact = [&](const std::u16string& w) {
        std::vector<IndexPosition> hits;
        AllEqual(table_, w.data(), w.size(), &hits);
        for (const IndexPosition& p : hits) {
            if (std::find(out->begin(), out->end(), p) == out->end()) out->push_back(p);
        }
        return !hits.empty();
    };
    const std::u16string w(word, length);
    addExact(w);
    if (inflect) {
        if (inflex_.IsOpen()) {
            std::vector<IndexPosition> forms;
            AllEqual(inflex_, word, length, &forms);
            IndexEntryReader reader;
            reader.Open(&inflex_);
            for (const IndexPosition& f : forms) {
                std::vector<std::uint32_t> entries;
                std::uint32_t count = 0;
                if (reader.Seek(f) == 0 && reader.FindTag(1, &count, &entries) == 0) {
                    for (std::uint32_t e : entries) Append(e, out);
                }
            }
        }
        const std::uint32_t primary = table_.GetLanguage() & 0x3FF;
        for (const EndingRule& r : kRules) {
            if (r.language != primary) continue;
            std::u16string suffix(r.suffix);
            if (w.size() < suffix.size() + r.minimumStem ||
                w.compare(w.size() - suffix.size(), suffix.size(), suffix) != 0) {
                continue;
            }
            addExact(w.substr(0, w.size() - suffix.size()) + r.replacement);
        }
    }
    if (out->size() == before && IsCompoundLanguage(table_.GetLanguage())) {
        std::string bytes;
        if (Keys::Encode(table_.GetCodePage(), word, length, &bytes) && bytes.size() >= 5) {
            for (std::size_t k = 2; k + 3 <= length; ++k) {
                std::u16string tail = w.substr(k);
                bool found = addExact(tail);
                if (!found && tail.size() > 3 && (tail[0] == u's' || tail[0] == u'S'))
                    found = addExact(tail.substr(1));
                if (found) break;
            }
        }
    }
    return out->size() > before;
}

void IndexTableHandle::NamedEntries(const IndexTable& keyTable, IndexPosition keyEntry,
                                    std::vector<IndexPosition>* out) const {
    if (!naming_.IsOpen()) return;
    IndexEntryReader keys, names;
    std::vector<std::uint32_t> namingEntries;
    std::uint32_t count = 0;
    if (!keys.Open(&keyTable) || keys.Seek(keyEntry) != 0 ||
        keys.FindTag(5, &count, &namingEntries) != 0 || !names.Open(&naming_)) {
        return;
    }
    for (std::uint32_t n : namingEntries) {
        IndexPosition p;
        std::vector<std::uint32_t> entries;
        if (naming_.PositionFromEntry(n, &p) && names.Seek(p) == 0 &&
            names.FindTag(1, &count, &entries) == 0) {
            for (std::uint32_t e : entries) Append(e, out);
        }
    }
}

bool IndexTableHandle::RunLookup(const char16_t* word, std::size_t length,
                                 std::vector<LookupMatch>* matches, const IndexTable* keyTable,
                                 std::uint32_t dictionary, bool* exact, bool approximate) const {
    if (exact) *exact = false;
    if (!table_.IsOpen() || !word || length == 0) return false;
    auto add = [&](IndexPosition p, std::uint32_t len, std::uint8_t direct, std::uint8_t isExact) {
        LookupMatch m;
        m.position = p;
        m.length = len;
        m.direct = direct;
        m.dictionary = dictionary;
        m.exact = isExact;
        m.cjk = 1;
        matches->push_back(m);
    };
    std::vector<IndexPosition> hits;
    AllEqual(table_, word, length, &hits);
    if (!hits.empty()) {
        for (const IndexPosition& p : hits) add(p, static_cast<std::uint32_t>(length), 1, 1);
        if (exact) *exact = true;
        return true;
    }
    if (!keyTable || !keyTable->IsOpen()) return false;
    std::vector<IndexPosition> keys;
    AllEqual(*keyTable, word, length, &keys);
    std::vector<IndexPosition> entries;
    for (const IndexPosition& k : keys) NamedEntries(*keyTable, k, &entries);
    if (!entries.empty()) {
        for (const IndexPosition& p : entries) add(p, static_cast<std::uint32_t>(length), 0, 1);
        if (exact) *exact = true;
        return true;
    }
    if (!approximate) return false;
    // The word up to its last ideograph; keys that extend it with no further ideograph.
    std::size_t stem = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (CharProps::IsCjkIdeograph(word[i])) stem = i + 1;
    }
    if (stem == 0) return false;
    IndexPosition p;
    if (!keyTable->Lookup(word, stem, &p, IndexTable::kModeNearest)) return false;
    const std::size_t before = matches->size();
    for (std::uint32_t guard = 0; guard < keyTable->GetEntryCount(); ++guard) {
        std::u16string key;
        if (!keyTable->GetEntryKey(p, &key) || key.size() < stem ||
            key.compare(0, stem, word, stem) != 0) {
            break;
        }
        bool further = false;
        for (std::size_t i = stem; i < key.size(); ++i) {
            if (CharProps::IsCjkIdeograph(key[i])) further = true;
        }
        if (!further) {
            entries.clear();
            NamedEntries(*keyTable, p, &entries);
            for (const IndexPosition& e : entries)
                add(e, static_cast<std::uint32_t>(key.size()), 0, 0);
        }
        if (keyTable->StepEntry(&p, 1) != 0) break;
    }
    return matches->size() > before;
}
