#include "reader/font_list.h"

#include "core/platform_helpers.h"

const char16_t* FontList::PlatformFace(int platformType) {
    switch (platformType) {
        case 1:
            return u"Frutiger Linotype";
        case 2:
            return u"Nina";
        default:
            return u"Arial";
    }
}

FontList::FontList() {
    entries_.resize(3);
    entries_[1].face.FromWide(PlatformFace(GetPlatformType()));
    entries_[2].face.FromWide(kMonospaceFace);
}

bool FontList::SetEntry(uint32_t n, uint8_t flag, const Text& face) {
    if (n > 255) return false;
    if (entries_.size() <= n) entries_.resize(n + 1);
    Entry& e = entries_[n];
    e.flag = flag;
    e.face = face;
    return e.face.IsValid();
}

bool FontList::IsBitmapFace(uint8_t face) const {
    const Entry* e = At(face);
    return e && e->flag == 1;
}

const Text* FontList::FaceName(uint8_t face) const {
    const Entry* e = At(face);
    return e && !e->face.IsEmpty() ? &e->face : nullptr;
}
