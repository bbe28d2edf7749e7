#include "reader/page_links.h"

namespace {

// The field that starts at start (up to the next '&' or the end); next is past its '&', or -1.
void NextField(const String& link, int32_t start, String& field, int32_t& next) {
    int32_t end = link.IndexOf(u'&', start);
    field.AssignSub(link, start, end - start);
    next = end < link.Length() ? end + 1 : -1;
}

bool AppendEncoded(String& out, const String& value) {
    String encoded(value);
    return encoded.UriEscape(true, true) && out.Append(encoded);
}

bool Decoded(const String& field, String& out) {
    String decoded;
    if (!decoded.AssignChars(field.Data(), field.Length()) || !decoded.UriEscape(false, true))
        return false;
    out = decoded;
    return true;
}

bool AsNumber(const String& field, int32_t& value) {
    uint32_t v = 0;
    if (!field.ParseUnsigned(10, v) || v > 0x7FFFFFFF) return false;
    value = static_cast<int32_t>(v);
    return true;
}

}  // namespace

namespace PageLinks {

bool BuildSqlLink(uint32_t icon, bool markEveryRow, const String& query, const String& title,
                  String& out) {
    String s;
    bool ok = s.AppendAscii("$fvtsql&") && s.AppendUnsigned(icon, 10) && s.AppendAscii("&") &&
              s.AppendAscii(markEveryRow ? "1&" : "0&") && AppendEncoded(s, query);
    if (ok && !title.IsEmpty()) ok = s.AppendChar(u'&') && AppendEncoded(s, title);
    if (!ok) return false;
    out = s;
    return true;
}

bool ParseSqlLink(const String& link, uint32_t& icon, bool& markEveryRow, String& query,
                  String& title) {
    String field;
    int32_t next = 0;
    NextField(link, 0, field, next);
    if (!field.EqualsAscii("fvtsql")) return false;
    if (next < 0) return true;
    NextField(link, next, field, next);
    uint32_t number = 0;
    if (field.ParseUnsigned(10, number)) icon = number;
    if (next < 0) return true;
    NextField(link, next, field, next);
    if (field.ParseUnsigned(10, number)) markEveryRow = number != 0;
    if (next < 0) return true;
    NextField(link, next, field, next);
    Decoded(field, query);
    if (next < 0) return true;
    field.AssignSub(link, next, -1);
    Decoded(field, title);
    return true;
}

bool BuildIndexLink(bool video, int32_t table, int32_t keyTable, int32_t keyTag, int32_t entry,
                    const String& word, String& out) {
    String s;
    bool ok = s.AppendAscii(video ? "$fvtideo" : "$fvtindex");
    if (ok && table >= 0) {
        ok = s.AppendChar(u'&') && s.AppendUnsigned(static_cast<uint32_t>(table), 10);
        if (ok && keyTable >= 0 && keyTag >= 0) {
            ok = s.AppendChar(u'&') && s.AppendUnsigned(static_cast<uint32_t>(keyTable), 10) &&
                 s.AppendChar(u'&') && s.AppendUnsigned(static_cast<uint32_t>(keyTag), 10);
            if (ok && entry >= 0)
                ok = s.AppendChar(u'&') && s.AppendUnsigned(static_cast<uint32_t>(entry), 10);
        }
    }
    // A word that reads as a number would be taken for a numeric field: its first digit is
    // escaped, which the parser decodes back.
    if (ok && !word.IsEmpty()) {
        ok = s.AppendChar(u'&');
        String rest(word);
        if (ok && word[0] >= u'0' && word[0] <= u'9') {
            ok = s.AppendAscii("%3") && s.AppendChar(word[0]);
            rest.AssignSub(word, 1, -1);
        }
        ok = ok && AppendEncoded(s, rest);
    }
    if (!ok) return false;
    out = s;
    return true;
}

bool ParseIndexLink(const String& link, String& word, int32_t& table, int32_t& keyTable,
                    int32_t& keyTag, int32_t& entry, bool& video) {
    String field;
    int32_t next = 0;
    NextField(link, 0, field, next);
    if (field.EqualsAscii("fvtindex")) {
        video = false;
    } else if (field.EqualsAscii("fvtideo")) {
        video = true;
    } else {
        return false;
    }
    table = keyTable = keyTag = entry = -1;
    if (next < 0) return true;
    int32_t* numbers[] = {&table, &keyTable, &keyTag, &entry};
    bool keyTableGiven = false;
    bool keyTagGiven = false;
    for (int32_t i = 0; i < 5 && next >= 0; ++i) {
        NextField(link, next, field, next);
        int32_t value = -1;
        if (i < 4 && AsNumber(field, value)) {
            *numbers[i] = value;
            keyTableGiven |= i == 1;
            keyTagGiven |= i == 2;
            continue;
        }
        if (i == 4 && AsNumber(field, value)) break;
        Decoded(field, word);
        break;
    }
    if (keyTableGiven && !keyTagGiven) return false;
    return table >= 0;
}

}  // namespace PageLinks
