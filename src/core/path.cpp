#include "core/path.h"

#include "core/string.h"
#include "core/text.h"

namespace {
bool IsSep(char16_t c) {
    return c == '\\' || c == '/';
}

// Character index of the last separator of a text's view, and of the last '.' after it.
void Scan(const Text& t, int32_t& lastSep, int32_t& lastDot, int32_t& count) {
    TextReader r(t);
    uint32_t c;
    lastSep = lastDot = -1;
    while (r.Next(c)) {
        int32_t i = r.Position() - 1;
        if (c == '\\' || c == '/') {
            lastSep = i;
            lastDot = -1;
        } else if (c == '.') {
            lastDot = i;
        }
    }
    count = r.Position();
}
}  // namespace

int Path::Append(String& base, const String& child, bool baseIsFile) {
    String b = base;
    int32_t end = b.Length();
    if (baseIsFile) {
        while (end > 0 && !IsSep(b.At(end - 1))) --end;
    }
    while (end > 0 && IsSep(b.At(end - 1))) --end;  // the separator is written once below
    const char16_t* c = child.Data();
    int32_t n = child.Length();
    int32_t i = 0;
    for (;;) {
        if (i + 1 < n && c[i] == '.' && c[i + 1] == '.' && (i + 2 == n || IsSep(c[i + 2]))) {
            // Climb one folder, stopping at the root.
            int32_t e = end;
            while (e > 0 && !IsSep(b.At(e - 1))) --e;
            while (e > 0 && IsSep(b.At(e - 1))) --e;
            end = e;
            i += i + 2 == n ? 2 : 3;
        } else if (i < n && c[i] == '.' && (i + 1 == n || IsSep(c[i + 1]))) {
            i += i + 1 == n ? 1 : 2;
        } else {
            break;
        }
    }
    while (i < n && IsSep(c[i])) ++i;
    String out;
    if (!out.Reserve(end + 1 + (n - i))) return -1;
    if (!out.AppendChars(b.Data(), end) || !out.AppendChar(u'\\') || !out.AppendChars(c + i, n - i))
        return -1;
    base = out;
    return 0;
}

int Path::Append(Text& base, const Text& child, bool baseIsFile) {
    String b, c;
    if (!b.AssignFromText(base) || !c.AssignFromText(child)) return -1;
    if (Append(b, c, baseIsFile) != 0) return -1;
    int cp = base.CodePage();
    Text out(cp);
    if (!out.AppendWide(b.Data(), b.Length())) return -1;
    base = out;
    return 0;
}

bool Path::HasParentPart(const String& path) {
    int32_t start = 0;
    for (int32_t i = 0; i <= path.Length(); ++i) {
        if (i < path.Length() && path[i] != u'\\' && path[i] != u'/') continue;
        if (i - start == 2 && path[start] == u'.' && path[start + 1] == u'.') return true;
        start = i + 1;
    }
    return false;
}

bool Path::StartsWithBackslash(const String& path) {
    return path.Length() > 0 && path.At(0) == '\\';
}

bool Path::StartsWithBackslash(const Text& path) {
    return path.StartsWithWide(u"\\");
}

void Path::FolderPart(Text& path) {
    int32_t sep, dot, count;
    Scan(path, sep, dot, count);
    path.SetViewChars(0, sep < 0 ? 0 : sep);
}

void Path::FileName(Text& path) {
    int32_t sep, dot, count;
    Scan(path, sep, dot, count);
    path.SetViewChars(sep + 1, count);
}

void Path::Stem(Text& path) {
    int32_t sep, dot, count;
    Scan(path, sep, dot, count);
    path.SetViewChars(sep + 1, dot < 0 ? count : dot);
}

void Path::Extension(Text& path) {
    int32_t sep, dot, count;
    Scan(path, sep, dot, count);
    path.SetViewChars(dot < 0 ? count : dot + 1, count);
}
