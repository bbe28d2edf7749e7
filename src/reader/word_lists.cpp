#include "reader/word_lists.h"

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
