#include "reader/database_view_text.h"

#include "graphics/core/command_ids.h"

namespace {

bool IsBlindLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= 0x314F && c <= 0x3163);
}

bool AppendPlain(std::vector<DatabaseViewText::TitleRun>& runs, const String& piece,
                 int32_t start, int32_t end) {
    if (end <= start) return true;
    DatabaseViewText::TitleRun run;
    run.text.AssignSub(piece, start, end - start);
    runs.push_back(run);
    return true;
}

}  // namespace

namespace DatabaseViewText {

bool IsWildcard(char16_t c) { return c == u'?' || c == u'*' || c == 0xFF1F || c == 0xFF0A; }

int32_t FindWildcard(const String& text) {
    for (int32_t i = 0; i < text.Length(); ++i)
        if (IsWildcard(text[i])) return i;
    return -1;
}

bool IsBlankSearch(const String& text) { return text.IsEmpty() || IsWildcard(text[0]); }

bool LetterBlindEqual(const String& a, const String& b) {
    int32_t i = 0;
    int32_t j = 0;
    for (;;) {
        while (i < a.Length() && IsBlindLetter(a[i])) ++i;
        while (j < b.Length() && IsBlindLetter(b[j])) ++j;
        if (i == a.Length() || j == b.Length()) return i == a.Length() && j == b.Length();
        if (a[i] != b[j]) return false;
        ++i;
        ++j;
    }
}

bool SameSearchText(const String& a, const String& b, uint32_t flags) {
    const uint32_t mode = flags & kInputModes;
    if (mode == 0x10000 || mode == 0x20000 || mode == 0x50000) return LetterBlindEqual(a, b);
    if (a.Length() != b.Length()) return false;
    String la;
    String lb;
    if (!la.AssignChars(a.Data(), a.Length()) || !lb.AssignChars(b.Data(), b.Length()) ||
        !la.ToLower() || !lb.ToLower())
        return a == b;
    return la == lb;
}

bool SkipsExactKey(const String& text) {
    for (int32_t i = 0; i < text.Length(); ++i) {
        const char16_t c = text[i];
        if (c != u' ' && !(c >= u'0' && c <= u'9') && !(c >= u'a' && c <= u'z')) return false;
    }
    return true;
}

bool TypeAhead::Edit(int32_t event, const String& current, String& out) {
    String text;
    if (!expired_) text = current;
    if (event == kBackspaceEvent) {
        if (text.IsEmpty()) return false;
        String shorter;
        shorter.AssignSub(text, 0, text.Length() - 1);
        text = shorter;
    } else {
        String longer;
        if (!longer.AssignChars(text.Data(), text.Length()) ||
            !longer.AppendChar(static_cast<char16_t>(event & 0xFFFF)))
            return false;
        text = longer;
    }
    expired_ = false;
    out = text;
    return true;
}

bool BuildQueryTitle(const String& titleTemplate, uint32_t level,
                     const std::vector<String>& chosenKeys, std::vector<TitleRun>& runs) {
    runs.clear();
    static const char16_t kCut[] = u"%%%";
    int32_t start = 0;
    for (uint32_t piece = 0; piece < level; ++piece) {
        const int32_t cut = titleTemplate.Find(kCut, 3, start);
        if (cut >= titleTemplate.Length()) return true;
        start = cut + 3;
    }
    const int32_t end = titleTemplate.Find(kCut, 3, start);
    String piece;
    piece.AssignSub(titleTemplate, start, end - start);

    auto key = [&](uint32_t at) {
        TitleRun run;
        if (at < chosenKeys.size()) run.text = chosenKeys[at];
        run.emphasised = true;
        runs.push_back(run);
    };
    static const char16_t kKey[] = u"%key";
    int32_t plain = 0;
    int32_t i = 0;
    while (i < piece.Length()) {
        if (piece[i] != u'%') {
            ++i;
            continue;
        }
        if (level >= 1 && i + 4 <= piece.Length() && piece.Find(kKey, 4, i) == i) {
            AppendPlain(runs, piece, plain, i);
            key(level - 1);
            i += 4;
            plain = i;
            continue;
        }
        if (i + 1 < piece.Length() && piece[i + 1] >= u'1' && piece[i + 1] <= u'9') {
            const uint32_t at = static_cast<uint32_t>(piece[i + 1] - u'1');
            if (at <= level) {
                AppendPlain(runs, piece, plain, i);
                key(at);
                i += 2;
                plain = i;
                continue;
            }
        }
        ++i;
    }
    AppendPlain(runs, piece, plain, piece.Length());
    return true;
}

bool IsCommandEnabled(int32_t id) {
    return !(id == Cmd::kFind || id == Cmd::kToggleBookmark ||
             (id >= Cmd::kWindowPartFirst && id <= Cmd::kModify) ||
             (id >= Cmd::kEditNote && id <= Cmd::kSetLinkTarget) ||
             (id >= Cmd::kDisplayFirst && id <= Cmd::kDisplayLast));
}

namespace {
// The bullets of sql_bullet_search, by script-name id, and the row icon each one gives.
enum Bullet : uint32_t {
    kBulletCrossRed = 34,    // BUL_CROSS_RED
    kBulletCheckGreen = 35,  // BUL_CHECK_GREEN
    kBulletHospital = 37,    // BUL_HOSPITAL
};
constexpr uint32_t kCrossRedIcon = 230;
constexpr uint32_t kCheckGreenIcon = 225;
constexpr uint32_t kHospitalIcon = 232;
constexpr uint32_t kDefaultBulletIcon = 224;  // BUL_BLUE and every other value
}  // namespace

uint32_t BulletDisplayCode(uint32_t bullet) {
    switch (bullet) {
        case kBulletCrossRed: return kCrossRedIcon;
        case kBulletCheckGreen: return kCheckGreenIcon;
        case kBulletHospital: return kHospitalIcon;
        default: return kDefaultBulletIcon;
    }
}

}  // namespace DatabaseViewText
