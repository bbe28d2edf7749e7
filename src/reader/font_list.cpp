#include "reader/font_list.h"

#include <cstring>

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

uint32_t FontList::Register(const String& face, const uint8_t* data, uint32_t length) {
    if (face.IsEmpty()) return 0;
    Text name;
    if (!name.FromString(face)) return 0;
    String known;
    for (uint32_t i = kFirstRegistered; i < entries_.size(); ++i) {
        if (!entries_[i].face.ToWide(known) || !(known == face)) continue;
        if (data && length >= kDataSize) std::memcpy(entries_[i].data, data, kDataSize);
        return i;
    }
    if (entries_.size() >= kMaxEntries) return 0;
    // The reserved entries are filled first: appended after the settings' entries a face would
    // sit at 3-7, where SetEntry overwrites it and the search above never looks.
    if (entries_.size() < kFirstRegistered) entries_.resize(kFirstRegistered);
    Entry entry;
    entry.face = name;
    if (!entry.face.IsValid()) return 0;
    if (data && length >= kDataSize) std::memcpy(entry.data, data, kDataSize);
    entries_.push_back(entry);
    return static_cast<uint32_t>(entries_.size() - 1);
}
