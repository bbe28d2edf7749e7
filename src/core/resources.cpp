#include "core/resources.h"

#include <cstdlib>
#include <cstring>

#include "core/platform_helpers.h"
#include "core/segmented_array.h"
#include "core/string.h"
#include "core/text.h"
#include "platform/resources/device_resources.h"

namespace {

HINSTANCE g_instance = nullptr;

struct Cached {
    uint32_t id;
    int language;
    char16_t* text;
};
// The texts LoadResString hands out live as long as the program; they go with the cache.
struct ResStringCache : SegArray<Cached, 5> {
    ~ResStringCache() {
        for (int32_t i = 0; i < Count(); ++i) std::free((*this)[i].text);
    }
};
ResStringCache g_cache;

// The text of exactly this id into out; false when there is none.
bool LoadExact(uint32_t id, String& out) {
    out.SetEmpty();
    char16_t buf[512];
    int n = LoadStringW(g_instance, id, buf, 512);
    if (n <= 0) return false;
    if (n < 511) return out.AssignChars(buf, n);
    // Longer texts: grow until the copy is no longer cut short.
    for (int cap = 2048; cap <= (1 << 20); cap *= 4) {
        auto* big = static_cast<char16_t*>(std::malloc(sizeof(char16_t) * cap));
        if (!big) return false;
        n = LoadStringW(g_instance, id, big, cap);
        bool done = n < cap - 1;
        bool ok = n > 0 && out.AssignChars(big, n);
        std::free(big);
        if (!ok) return false;
        if (done) return true;
    }
    return true;
}

}  // namespace

void Resources::SetInstance(HINSTANCE instance) {
    g_instance = instance;
}
HINSTANCE Resources::Instance() {
    return g_instance;
}

bool Resources::LoadString(String& out, uint32_t id) {
    out.SetEmpty();
    if (GetProgramLanguage() == 12 && id < 0xFFFFFFFFu - 1000 && LoadExact(id + 1000, out))
        return true;
    return LoadExact(id, out);
}

bool Resources::LoadString(void*, String& out, uint32_t id) {
    return LoadString(out, id);
}

bool Resources::LoadStringInto(void*, Text& out, uint32_t id) {
    String s;
    out.Clear();
    if (!LoadString(s, id)) return false;
    return out.FromString(s);
}

int32_t Resources::LoadStringInto(uint32_t id, char16_t* buffer, int32_t capacity) {
    String s;
    if (!LoadString(s, id)) {
        if (buffer && capacity > 0) buffer[0] = 0;
        return -1;
    }
    if (!buffer || capacity <= 0) return 0;
    int32_t n = s.Length() < capacity - 1 ? s.Length() : capacity - 1;
    std::memcpy(buffer, s.Data(), sizeof(char16_t) * n);
    buffer[n] = 0;
    return n;
}

void Resources::FlushCache() {
    for (int32_t i = 0; i < g_cache.Count(); ++i) std::free(g_cache[i].text);
    g_cache.Destroy();
}

const char16_t* LoadResString(uint32_t id) {
    int language = GetProgramLanguage();
    for (int32_t i = 0; i < g_cache.Count(); ++i)
        if (g_cache[i].id == id && g_cache[i].language == language) return g_cache[i].text;
    String s;
    if (!Resources::LoadString(s, id)) return nullptr;
    auto* text = static_cast<char16_t*>(std::malloc(sizeof(char16_t) * (s.Length() + 1)));
    if (!text) return nullptr;
    std::memcpy(text, s.Data(), sizeof(char16_t) * s.Length());
    text[s.Length()] = 0;
    if (g_cache.Append(Cached{id, language, text}) < 0) {
        std::free(text);
        return nullptr;
    }
    return text;
}

bool LoadResStringTo(uint32_t id, Text& out) {
    return Resources::LoadStringInto(nullptr, out, id);
}
