#include "document/location/location.h"

#include "core/text.h"
#include "database/database.h"

namespace {

struct ResourceRow {
    const char16_t* name;
    uint32_t id;
};

const ResourceRow kResources[8] = {
    {u"fvt_iconlib", Location::kIconLibraryId},
    {u"library", 1},
    {u"redirect", 0},
    {u"bookstore", 2},
    {u"bookmarks", 3},
    {u"about", 4},
    {u"cart", 5},
    {u"database", 0},
};

const char16_t* const kParams[6] = {u"name", u"cat", u"title", u"action", u"subpath", u"param"};

int32_t Len(const char16_t* s) {
    int32_t n = 0;
    while (s[n]) ++n;
    return n;
}

bool StartsWith(const String& s, const char16_t* lit) {
    return s.CompareN(lit, Len(lit), true) == 0;
}

bool Equals(const String& s, int32_t start, int32_t end, const char16_t* lit) {
    int32_t n = Len(lit);
    if (end - start != n) return false;
    for (int32_t i = 0; i < n; ++i)
        if (s[start + i] != lit[i]) return false;
    return true;
}

// First position of c in [start, end), or end.
int32_t FindIn(const String& s, char16_t c, int32_t start, int32_t end) {
    for (int32_t i = start; i < end; ++i)
        if (s[i] == c) return i;
    return end;
}

bool ParseDecimal(const String& s, int32_t start, int32_t end, int64_t& value) {
    if (start >= end) return false;
    uint64_t v = 0;
    for (int32_t i = start; i < end; ++i) {
        char16_t c = s[i];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
        if (v > 0xFFFFFFFFull) return false;
    }
    value = static_cast<int64_t>(v);
    return true;
}

bool IsBackslash(char16_t c) { return c == u'\\' || c == u'/'; }

}  // namespace

int32_t Location::AnchorStart(const String& s) {
    for (int32_t i = 0; i < s.Length(); ++i)
        if (s[i] == u'$' || s[i] == u'#') return i;
    return s.Length();
}

void Location::CopyFrom(const Location& other) {
    Copy(other);
    anchor.Assign(other.anchor);
}

bool Location::ParseInto(const String& source, bool alreadyEncoded) {
    flags = 0;
    int32_t end = AnchorStart(source);
    if (!StartsWith(source, u"oeb:")) {
        if (StartsWith(source, u"http:")) return false;
        type = kFile;
        number1 = 0;
        text.AssignSub(source, 0, end);
        if (!alreadyEncoded && !text.UriEscape(true, true)) return false;
        return true;
    }
    int32_t q = FindIn(source, u'?', 4, end);
    bool fixedId = false;
    int32_t nameEnd = end;
    if (q < end) {
        if (source.CompareN(u"oeb:database?name=folivant_history", 34) == 0) {
            number1 = 8;
            fixedId = true;
        } else if (source.CompareN(u"oeb:database?name=folivant_wordlist", 35) == 0) {
            number1 = 7;
            fixedId = true;
        }
        nameEnd = q;
        text.AssignSub(source, q, end - q);
    } else {
        text.Release();
    }
    int row = -1;
    for (int r = 0; r < 8; ++r) {
        if (Equals(source, 4, nameEnd, kResources[r].name)) {
            row = r;
            break;
        }
    }
    if (row < 0) return false;
    if (!fixedId) number1 = kResources[row].id;
    uint32_t id = number1;
    type = (id == 1 || id == 3 || id == 4) ? kBuiltInPage : kInternal;
    if (row == 1) {
        if (StartsWith(text, u"?title=") || StartsWith(text, u"?name=")) {
            number1 = 0;
            type = kRedirect;
        }
    } else if (row == 2) {
        type = kRedirect;
    } else if (row == 7) {
        type = kDatabase;
    }
    return true;
}

bool Location::Parse(const String& source, bool alreadyEncoded) {
    // Parsed into a copy so that a failure leaves this location unchanged.
    Location tmp;
    tmp.CopyFrom(*this);
    if (!tmp.ParseInto(source, alreadyEncoded)) return false;
    DbValue::Copy(tmp);
    return true;
}

bool Location::ParseText(const Text& source) {
    String s;
    if (!s.AssignFromText(source)) return false;
    return Parse(s, false);
}

bool Location::ParseInContainer(const String& source, uint32_t prefixLength) {
    if (!Parse(source, true)) return false;
    flags = prefixLength;
    type = kFileInContainer;
    return true;
}

bool Location::Resolve(const String& source, const Location* base) {
    if (base) return ResolveAgainst(source, *base);
    Location tmp;
    int32_t a = AnchorStart(source);
    tmp.anchor.AssignSub(source, a, source.Length() - a);
    if (!tmp.ParseInto(source, true)) return false;
    CopyFrom(tmp);
    return true;
}

bool Location::ResolveAgainst(const String& source, const Location& base) {
    Location rel;
    if (!rel.Resolve(source, nullptr)) return false;
    Location result;
    result.CopyFrom(base);
    result.anchor.Release();
    if (!result.ResolveRelative(rel)) return false;
    CopyFrom(result);
    return true;
}

bool Location::ParseChild(const String& source, const Location& base, String& out) {
    Location tmp;
    if (!tmp.ResolveAgainst(source, base) || !tmp.ToStringWithAnchor(out)) {
        out.Release();
        return false;
    }
    return true;
}

bool Location::SetDatabaseName(const String& name) {
    String stem;
    if (Database::MakeFileStem(name, stem) != 0) return false;
    String t;
    if (!t.AppendAscii("?name=") || !t.Append(stem)) return false;
    text = t;
    type = kDatabase;
    return true;
}

bool Location::ToString(String& out, bool full) const {
    out.Release();
    bool ok = true;
    switch (type) {
        case kInternal: {
            const char16_t* name = nullptr;
            for (const ResourceRow& r : kResources)
                if (r.id == number1) {
                    name = r.name;
                    break;
                }
            ok = name && out.AppendAscii("oeb:") && out.AppendChars(name, Len(name)) &&
                 out.Append(text);
            break;
        }
        case kFile:
        case kFileInContainer:
        case kFileByType:
        case 6:
            out.Assign(text);
            break;
        case kRedirect:
            ok = out.AppendAscii("oeb:redirect") && out.Append(text);
            break;
        case kDatabase:
            ok = out.AppendAscii("oeb:database") && out.Append(text);
            break;
        default:
            return false;
    }
    if (!ok) return false;
    if (!full) {
        int32_t q = out.IndexOf(u'?');
        String cut;
        cut.AssignSub(out, 0, q);
        out = cut;
        if (!out.UriEscape(false, true)) return false;
    }
    return true;
}

bool Location::ToFileName(Text& out) const {
    String s;
    if (!ToString(s, false) || !out.FromString(s)) {
        out.SetError(Text::kErrConversion);
        return false;
    }
    return true;
}

bool Location::ToStringWithAnchor(String& out) const {
    return ToString(out, true) && out.Append(anchor);
}

bool Location::GetPrefix(String& out) const {
    out.AssignSub(text, 0, static_cast<int32_t>(flags));
    return flags != 0;
}

bool Location::GetQuery(const String& s, String& out, bool withMark) {
    int32_t q = s.IndexOf(u'?');
    if (q >= s.Length()) return false;
    int32_t from = withMark ? q : q + 1;
    out.AssignSub(s, from, s.Length() - from);
    return true;
}

bool Location::GetParams(const String& s, std::vector<uint32_t>& ids,
                         std::vector<String>& values) {
    int32_t q = s.IndexOf(u'?');
    if (q >= s.Length()) return false;
    int32_t qs = q + 1;
    int32_t qe = s.Length();
    for (int32_t i = qs; i < qe; ++i)
        if (s[i] == u'#' || s[i] == u'$') {
            qe = i;
            break;
        }
    bool any = false;
    int32_t p = qs;
    while (p < qe) {
        int32_t eq = FindIn(s, u'=', p, qe);
        if (eq >= qe || eq == p) break;
        uint32_t id = 0;
        for (int k = 0; k < 6; ++k)
            if (Equals(s, p, eq, kParams[k])) id = k + 1;
        int32_t amp = FindIn(s, u'&', eq + 1, qe);
        String v;
        v.AssignSub(s, eq + 1, amp - eq - 1);
        ids.push_back(id);
        values.push_back(v);
        any = true;
        if (amp >= qe) break;
        p = amp + 1;
    }
    return any;
}

bool Location::GetAnnotationCategory(uint32_t& out) const {
    out = 0;
    if (number1 != 3 || !StartsWith(text, u"?cat=")) return false;
    struct Cat {
        const char16_t* prefix;
        uint32_t n;
    };
    static const Cat cats[] = {{u"FVT_all_", 1},
                               {u"FVT_bookmarks_", 7},
                               {u"FVT_audiomarks_", 8},
                               {u"FVT_annotations_", 9},
                               {u"FVT_highlights_", 10}};
    String v;
    v.AssignSub(text, 5, text.Length() - 5);
    for (const Cat& c : cats)
        if (StartsWith(v, c.prefix)) {
            out = c.n;
            break;
        }
    return true;
}

bool Location::GetAnchorPart(const String& s, String& out) {
    int32_t h = s.IndexOf(u'#');
    out.AssignSub(s, h, s.Length() - h);
    return !out.IsEmpty();
}

bool Location::GetFullAnchor(const String& s, String& out) {
    int32_t a = AnchorStart(s);
    out.AssignSub(s, a, s.Length() - a);
    return !out.IsEmpty();
}

bool Location::HasAnchor(const String& s) { return s.IndexOf(u'#') < s.Length(); }
bool Location::HasDollar(const String& s) { return s.IndexOf(u'$') < s.Length(); }

bool Location::HasPositionAnchor(const String& s) {
    int32_t h = s.IndexOf(u'#');
    return h + 1 < s.Length() && s[h + 1] == u'#';
}

bool Location::GetDollarValue(const String& s, int64_t& value) {
    value = -1;
    int32_t d = s.IndexOf(u'$');
    if (d >= s.Length()) return false;
    int64_t v;
    if (ParseDecimal(s, d + 1, s.Length(), v)) value = v;
    return true;
}

int64_t Location::GetAnchorPosition(const String& s) {
    if (!StartsWith(s, u"##")) return -1;
    int32_t p = 3;
    while (p <= s.Length()) {
        int32_t e = FindIn(s, u'-', p, s.Length());
        if (e > p && e - p > 3 && s[p] == u'p' && s[p + 1] == u'o' && s[p + 2] == u's') {
            int64_t v;
            if (ParseDecimal(s, p + 3, e, v)) return v;
        }
        p = e + 1;
    }
    return -1;
}

int32_t Location::IconId() const {
    int64_t id = -1;
    if (!IsIconLibrary() || !GetDollarValue(id)) return -1;
    // Icons are 16-bit resource ids.
    return id >= 0 && id <= 0xFFFF ? static_cast<int32_t>(id) : -1;
}

bool Location::SetDollarAnchor(uint32_t n) {
    String a;
    if (!a.AppendChar(u'$') || !a.AppendUnsigned(n, 10)) return false;
    anchor = a;
    return true;
}

bool Location::SetPositionAnchor(uint32_t n) {
    String a;
    if (!a.Reserve(16) || !a.AppendAscii("##-pos") || !a.AppendUnsigned(n, 10)) return false;
    anchor = a;
    return true;
}

bool Location::SetEoAnchor(const String& value) {
    String a;
    String cut;
    cut.AssignSub(value, 0, value.IndexOf(u'?'));
    if (!a.AppendAscii("$eo=") || !a.Append(cut)) return false;
    anchor = a;
    return true;
}

bool Location::IsAbsoluteFor(const Location& relative, uint32_t baseKind) {
    if (baseKind == kInternal || !relative.IsFileKind()) return true;
    String name;
    if (!relative.ToString(name, false)) return false;
    // A link written with '/' is as absolute as one with '\'.
    return name.Length() > 0 && IsBackslash(name[0]);
}

bool Location::ResolveRelative(const Location& relative) {
    if (IsAbsoluteFor(relative, type)) {
        CopyFrom(relative);
        return true;
    }
    if (!IsFileKind()) return false;
    number1 = 0;
    if (relative.text.IsEmpty()) {
        anchor.Assign(relative.anchor);
        return true;
    }
    String b;
    if (!ToString(b, false)) return false;
    // A link inside a book file resolves against the book file itself.
    if (relative.text.Find(u".prc", 4) < relative.text.Length()) {
        int32_t last = -1;
        for (int32_t i = 0; i + 4 <= b.Length(); ++i)
            if (b[i] == u'.' && b[i + 1] == u'p' && b[i + 2] == u'r' && b[i + 3] == u'c')
                last = i;
        if (last >= 0) {
            String cut;
            cut.AssignSub(b, 0, last + 4);
            b = cut;
        }
    }
    String q;
    relative.GetQuery(q, true);
    String r;
    if (!relative.ToString(r, false)) return false;
    if (r.ReplaceChar(u'/', u'\\') < 0 || b.ReplaceChar(u'/', u'\\') < 0) return false;

    // The base is a file path: drop its last part, climb one folder per leading "..", never
    // above the root, and join with a backslash.
    int32_t baseEnd = b.Length();
    while (baseEnd > 0 && b[baseEnd - 1] != u'\\') --baseEnd;
    if (baseEnd > 0) --baseEnd;  // the separator itself
    int32_t rp = 0;
    while (true) {
        if (r.Length() - rp >= 2 && r[rp] == u'.' && r[rp + 1] == u'.' &&
            (r.Length() - rp == 2 || r[rp + 2] == u'\\')) {
            rp += r.Length() - rp == 2 ? 2 : 3;
            while (baseEnd > 0 && b[baseEnd - 1] != u'\\') --baseEnd;
            if (baseEnd > 0) --baseEnd;
        } else if (r.Length() - rp >= 2 && r[rp] == u'.' && r[rp + 1] == u'\\') {
            rp += 2;
        } else {
            break;
        }
    }
    String joined;
    if (!joined.AppendChars(b.Data(), baseEnd)) return false;
    if (rp < r.Length()) {
        if (!joined.AppendChar(u'\\') || !joined.AppendChars(r.Data() + rp, r.Length() - rp))
            return false;
    }
    if (!joined.UriEscape(true, true)) return false;
    if (!joined.Append(q)) return false;
    text = joined;
    anchor.Assign(relative.anchor);
    return true;
}

namespace {

// Exact comparison, except that both path separators count as '\\'.
int CompareAsPaths(const String& a, const String& b) {
    auto unit = [](char16_t c) { return c == u'/' ? u'\\' : c; };
    int32_t n = a.Length() < b.Length() ? a.Length() : b.Length();
    for (int32_t i = 0; i < n; ++i) {
        char16_t ca = unit(a[i]), cb = unit(b[i]);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.Length() == b.Length()) return 0;
    return a.Length() < b.Length() ? -1 : 1;
}

}  // namespace

int Location::Compare(const Location& a, const Location& b) {
    uint32_t ka = a.type == kFileByType ? kFile : a.type;
    uint32_t kb = b.type == kFileByType ? kFile : b.type;
    if (ka != kb) return ka < kb ? -1 : 1;
    if (ka == kInternal && a.number1 != b.number1) return a.number1 < b.number1 ? -1 : 1;
    if (ka == kFile) return CompareAsPaths(a.text, b.text);
    return a.text.CompareWith(b.text);
}

int Location::CompareWithAnchor(const Location& a, const Location& b, const String& anchor) {
    int c = Compare(a, b);
    if (c != 0) return c;
    return a.anchor.CompareWith(anchor);
}

bool Location::MakeBookmarksLocation(const Location* base, Text& name, Text& category) {
    String nameStr, catStr;
    bool haveName = false;
    std::vector<uint32_t> ids;
    std::vector<String> values;
    GetParams(ids, values);
    for (size_t i = 0; i < ids.size(); ++i) {
        if (ids[i] == 1) {
            nameStr = values[i];
            if (!nameStr.UriEscape(false, true)) return false;
            haveName = true;
        } else if (ids[i] == 2) {
            catStr = values[i];
        }
    }
    if (!catStr.IsEmpty() && !category.FromString(catStr)) return false;
    bool own = haveName;
    if (!haveName) {
        if (!base) return false;
        if (base->IsFileKind()) {
            if (!base->ToString(nameStr, false)) return false;
        } else if (base->number1 == 3) {
            ids.clear();
            values.clear();
            base->GetParams(ids, values);
            for (size_t i = 0; i < ids.size(); ++i)
                if (ids[i] == 1) {
                    nameStr = values[i];
                    if (!nameStr.UriEscape(false, true)) return false;
                    haveName = true;
                }
            if (!haveName) return false;
        } else {
            return false;
        }
    }
    if (!name.FromString(nameStr)) return false;
    if (own) return true;
    String encoded = nameStr;
    if (!encoded.UriEscape(true, true)) return false;
    String q;
    bool ok = catStr.IsEmpty()
                  ? q.AppendAscii("?name=") && q.Append(encoded)
                  : q.AppendAscii("?cat=") && q.Append(catStr) && q.AppendAscii("&name=") &&
                        q.Append(encoded);
    if (!ok) return false;
    text = q;
    flags = 0;
    type = kInternal;
    number1 = 3;
    return true;
}

bool Location::ParseFromProducer(Producer producer, void* argument) {
    Text t;
    if (!producer || !producer(argument, t)) return false;
    return ParseText(t);
}
