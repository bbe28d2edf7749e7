#include "reader/word_lists.h"

#include "database/database.h"
#include "database/db_table.h"

namespace WordLists {

namespace {

constexpr int kPlainTitle = 5061;  // "My Vocabulary List"

struct LanguageTitle {
    const char16_t* code;
    int stringId;
};

// Compared in this order.
constexpr LanguageTitle kTitles[] = {{u"en", 5269}, {u"es", 5268}, {u"ja", 5270}, {u"de", 5272},
                                     {u"it", 5273}, {u"fr", 5271}, {u"ko", 5274}};

bool StartsWith(const std::u16string& text, std::u16string_view prefix) {
    return text.size() >= prefix.size() &&
           std::u16string_view(text).substr(0, prefix.size()) == prefix;
}

}  // namespace

Title WordListTitle(const std::u16string* tableName) {
    if (!tableName) return {kPlainTitle, {}};
    // Names are "wl_" and the language code.
    if (tableName->size() < 5) return {kPlainTitle, u"(" + *tableName + u")"};
    const std::u16string code = tableName->substr(3);
    for (const LanguageTitle& t : kTitles) {
        if (code == t.code) return {t.stringId, {}};
    }
    return {kPlainTitle, u"(" + code + u")"};
}

int NextMark(std::optional<std::int64_t> cell) {
    if (!cell || *cell < 0 || *cell >= 2) return 0;
    return static_cast<int>(*cell) + 1;
}

bool ParseWordListLink(const std::u16string& link, std::int64_t* number) {
    if (!StartsWith(link, u"fvtwordlist")) return false;
    *number = -1;
    const std::size_t amp = link.find(u'&');
    if (amp == std::u16string::npos) return true;
    const std::u16string digits = link.substr(amp + 1);
    // Entry numbers are 32-bit; a longer run is not a number.
    if (digits.empty() || digits.size() > 10) return false;
    std::int64_t value = 0;
    for (char16_t c : digits) {
        if (c < u'0' || c > u'9') return false;
        value = value * 10 + (c - u'0');
    }
    if (value > 0xFFFFFFFFLL) return false;
    *number = value;
    return true;
}

bool IsSearchHistoryLink(const std::u16string& link) {
    return StartsWith(link, u"fvtsearchhistory");
}

}  // namespace WordLists

namespace WordList {

namespace {

int32_t Column(const DbTable* table, const char* name, bool text) {
    String n;
    n.AppendAscii(name);
    const int32_t col = table->FindColumn(n);
    if (col < 0) return -1;
    return (text ? table->IsTextColumn(col) : table->IsNumberColumn(col)) ? col : -1;
}

bool Text(const DbTable* table, int32_t row, const char* name, String& out) {
    out.Release();
    const int32_t col = Column(table, name, true);
    return col >= 0 && table->GetText(row, col, out);
}

String BookPart(const String& dict) {
    int32_t cut = 0;
    while (cut < dict.Length() && dict[cut] != u'$') ++cut;
    return String(dict.Data(), cut);
}

bool HasDollar(const String& s) {
    for (int32_t i = 0; i < s.Length(); ++i) {
        if (s[i] == u'$') return true;
    }
    return false;
}

}  // namespace

int32_t AddRow(DbTable* table, const VocabularyEntry& entry) {
    if (!table) return -1;
    const int32_t row = table->AddRecord();
    if (row < 0) return -1;
    auto text = [&](const char* name, const String& value) {
        const int32_t col = Column(table, name, true);
        if (col >= 0) table->SetText(row, col, value);
    };
    auto number = [&](const char* name, uint32_t value) {
        const int32_t col = Column(table, name, false);
        if (col >= 0) table->SetNumber(row, col, value);
    };
    text("orth", entry.orth);
    if (!entry.dict.IsEmpty()) text("dict", entry.dict);
    number("icon", 0);
    if (!entry.formatted.IsEmpty() && !(entry.formatted == entry.orth))
        text("formatted", entry.formatted);
    // Only real entry numbers are stored; -1 and -2 mean none and unknown.
    if (entry.ent >= 0) number("ent", static_cast<uint32_t>(entry.ent));
    if (!entry.shortid.IsEmpty()) text("shortid", entry.shortid);
    return row;
}

int32_t FindRow(const VocabularyEntry& entry, const DbTable* table) {
    if (!table) return -1;
    const bool byOrth = entry.formatted.IsEmpty() || entry.formatted == entry.orth;
    const char* column = byOrth ? "orth" : "formatted";
    const String& wanted = byOrth ? entry.orth : entry.formatted;
    if (Column(table, column, true) < 0) return -1;
    const String book = BookPart(entry.dict);
    String cell, dict;
    for (int32_t row = 0; row < table->RowCount(); ++row) {
        if (!Text(table, row, column, cell) || !(cell == wanted)) continue;
        if (entry.dict.IsEmpty()) return row;
        if (Text(table, row, "dict", dict) && BookPart(dict) == book) return row;
    }
    return -1;
}

bool RowWord(const DbTable* table, int32_t row, String& out) {
    if (!table || row < 0 || row >= table->RowCount()) return false;
    if (Text(table, row, "formatted", out) && !out.IsEmpty()) return true;
    return Text(table, row, "orth", out);
}

bool SetMark(DbTable* table, int32_t row, int mark) {
    if (!table || row < 0 || row >= table->RowCount()) return false;
    const int32_t col = Column(table, "icon", false);
    if (col < 0) return false;
    if (mark < 0) {
        uint32_t cell = 0;
        mark = WordLists::NextMark(
            table->GetNumber(row, col, cell) ? std::optional<std::int64_t>(cell) : std::nullopt);
    }
    return table->SetNumber(row, col, static_cast<uint32_t>(mark));
}

String DictionaryTable(const String& dict) {
    String location(dict);
    if (!HasDollar(location)) location.AppendAscii("$special_table=default");
    return location;
}

String EntryLink(const String& book, uint32_t position, uint32_t table, uint32_t entry) {
    String link(book);
    const std::string tail = "##-pos" + std::to_string(position) + "-tableid" +
                             std::to_string(table) + "-entry" + std::to_string(entry);
    link.AppendAscii(tail.c_str());
    return link;
}

}  // namespace WordList

bool WordListSaver::Save(DbTable* table, bool* report) {
    *report = false;
    Database* db = table ? table->Owner() : nullptr;
    if (db && Database::Save(db)) return true;
    if (!reported_) *report = reported_ = true;
    return false;
}
