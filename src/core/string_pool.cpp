#include "core/string_pool.h"

#include <cstdlib>

#include "core/charset.h"

namespace {
uint32_t HashOf(const String& s) {
    uint32_t h = 2166136261u;
    const char16_t* d = s.Data();
    for (int32_t i = 0; i < s.Length(); ++i) h = (h ^ d[i]) * 16777619u;
    return h;
}
}  // namespace

StringPool::~StringPool() {
    std::free(slots_);
}

void StringPool::Reset() {
    strings_.Clear();
    std::free(slots_);
    slots_ = nullptr;
    slotCount_ = 0;
}

int32_t StringPool::Lookup(const String& s) const {
    if (!slotCount_) return -1;
    uint32_t mask = static_cast<uint32_t>(slotCount_ - 1);
    for (uint32_t i = HashOf(s) & mask;; i = (i + 1) & mask) {
        int32_t v = slots_[i];
        if (v == 0) return -1;
        if (strings_.Get(v - 1)->CompareWith(s) == 0) return v - 1;
    }
}

bool StringPool::Rehash(int32_t size) {
    auto* slots = static_cast<int32_t*>(std::calloc(static_cast<size_t>(size), sizeof(int32_t)));
    if (!slots) return false;
    std::free(slots_);
    slots_ = slots;
    slotCount_ = size;
    uint32_t mask = static_cast<uint32_t>(size - 1);
    for (int32_t k = 0; k < strings_.Count(); ++k) {
        uint32_t i = HashOf(*strings_.Get(k)) & mask;
        while (slots_[i]) i = (i + 1) & mask;
        slots_[i] = k + 1;
    }
    return true;
}

bool StringPool::Remember(const String& s) {
    if (strings_.Append(s) < 0) return false;
    if (strings_.Count() * 2 > slotCount_) return Rehash(slotCount_ ? slotCount_ * 2 : 32);
    uint32_t mask = static_cast<uint32_t>(slotCount_ - 1);
    uint32_t i = HashOf(s) & mask;
    while (slots_[i]) i = (i + 1) & mask;
    slots_[i] = strings_.Count();
    return true;
}

bool StringPool::WriteString(const String& s) {
    if (s.IsEmpty()) return stream_.PutVarU32(0);
    int32_t index = Lookup(s);
    if (index >= 0) return stream_.PutVarU32(static_cast<uint32_t>(index) * 2 + 1);
    size_t cap = static_cast<size_t>(s.Length()) * 3;
    uint8_t small[512];
    uint8_t* buf = cap <= sizeof(small) ? small : static_cast<uint8_t*>(std::malloc(cap));
    if (!buf) {
        stream_.Fail();
        return false;
    }
    int32_t n = Utf8::EncodeFromUtf16(s.Data(), static_cast<size_t>(s.Length()), buf, cap);
    bool ok = n >= 0 && static_cast<uint32_t>(n) <= 0x7FFFFFFFu &&
              stream_.PutVarU32(static_cast<uint32_t>(n) * 2) &&
              stream_.WriteBytes(buf, static_cast<size_t>(n));
    if (buf != small) std::free(buf);
    if (!ok || !Remember(s)) {
        stream_.Fail();
        return false;
    }
    return true;
}

bool StringPool::ReadString(String& out) {
    out.SetEmpty();
    uint32_t v;
    if (!stream_.GetVarU32(v)) return false;
    if (v == 0) return true;
    if (v & 1) {
        uint32_t index = (v - 1) / 2;
        if (index >= static_cast<uint32_t>(strings_.Count())) {
            stream_.Fail();
            return false;
        }
        out.Assign(*strings_.Get(static_cast<int32_t>(index)));
        return true;
    }
    uint32_t n = v / 2;
    if (n > stream_.Remaining()) {
        stream_.Fail();
        return false;
    }
    const uint8_t* p = stream_.Data() + stream_.ReadPosition();
    String s;
    if (!s.Reserve(static_cast<int32_t>(n) + 4)) {
        stream_.Fail();
        return false;
    }
    char16_t* w = s.MutableData();
    int32_t units = w ? Utf8::DecodeToUtf16(p, n, w, static_cast<size_t>(n) + 4) : -1;
    if (units < 0 || !stream_.Skip(n)) {
        stream_.Fail();
        return false;
    }
    s.SetEmpty();
    // MutableData wrote into the reserved buffer; take the units as the string's contents.
    String decoded(w, units);
    if (!Remember(decoded)) {
        stream_.Fail();
        return false;
    }
    out.Assign(decoded);
    return true;
}

bool StringPool::GetTag(uint8_t& tag) {
    tag = 0;
    if (!stream_.ReadByte(tag)) return false;
    return stream_.Ok() && tag < 3;
}
