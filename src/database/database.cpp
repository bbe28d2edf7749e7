#include "database/database.h"

int Database::MakeFileStem(const String& name, String& stem) {
    stem.Release();
    int32_t n = name.Length() < 32 ? name.Length() : 32;
    bool any = false;
    char16_t buf[32];
    for (int32_t i = 0; i < n; ++i) {
        char16_t c = name[i];
        bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        any = any || keep;
        buf[i] = keep ? c : u'_';
    }
    // A letter or digit past the 32nd character still names the database.
    for (int32_t i = n; !any && i < name.Length(); ++i) {
        char16_t c = name[i];
        any = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    }
    if (!any) return 1;
    if (!stem.AssignChars(buf, n)) return 1;
    return 0;
}
