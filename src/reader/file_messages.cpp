#include "reader/file_messages.h"

#include "core/resources.h"
#include "document/location/location.h"

namespace FileMessages {

String ShortenMiddle(const String& path, int32_t max) {
    if (path.Length() <= max || max < 8) return path;
    const int32_t room = max - 3;
    // The file's name is what a person looks for: keep it whole when half the room holds it.
    int32_t slash = path.Length() - 1;
    while (slash >= 0 && path[slash] != u'\\') --slash;
    // From the backslash before the name, so that it still reads as a path.
    const int32_t name = path.Length() - slash;
    const int32_t tail = slash >= 0 && name <= room / 2 ? name : room / 2;
    const int32_t head = room - tail;
    String out;
    String part;
    part.AssignSub(path, 0, head);
    out.Append(part);
    out.AppendAscii("...");
    part.AssignSub(path, path.Length() - tail, tail);
    out.Append(part);
    return out;
}

String DisplayName(const Location& location) {
    String out;
    if (location.IsFileKind() && location.ToString(out, false) && !out.IsEmpty()) return out;
    if (!location.ToStringWithAnchor(out)) return String();
    String decoded(out);
    // A '%' that escapes nothing leaves the address as it was written.
    if (decoded.UriEscape(false, true)) return decoded;
    return out;
}

String Format(uint32_t textId, const String& path, const String& reason) {
    const char16_t* units = LoadResString(textId);
    const String pattern(units ? units : u"");
    const String shown = ShortenMiddle(path);
    String text;
    bool placed = false;
    for (int32_t i = 0; i < pattern.Length(); ++i) {
        const char16_t c = pattern[i];
        if (c == u'%' && i + 1 < pattern.Length() && pattern[i + 1] >= u'1' &&
            pattern[i + 1] <= u'9') {
            if (pattern[i + 1] == u'1') {
                text.Append(shown);
                placed = true;
            } else if (pattern[i + 1] == u'2' && !reason.IsEmpty()) {
                text.AppendChar(u'\n');
                text.Append(reason);
            }
            ++i;
            continue;
        }
        text.AppendChar(c);
    }
    if (!placed && !shown.IsEmpty()) {
        text.AppendChar(u'\n');
        text.Append(shown);
    }
    return text;
}

}  // namespace FileMessages
