#include "document/markup/token_source.h"

bool TokenSource::GetAttributeText(uint32_t id, String& out) {
    uint32_t n = AttributeCount();
    for (uint32_t i = 0; i < n; ++i) {
        const AttributeItem* a = Attribute(i);
        if (a && a->id == id) {
            out.Assign(a->value);
            return true;
        }
    }
    out.Release();
    return false;
}

bool TokenSource::HasAttribute(uint32_t id) {
    uint32_t n = AttributeCount();
    for (uint32_t i = 0; i < n; ++i) {
        const AttributeItem* a = Attribute(i);
        if (a && a->id == id) return true;
    }
    return false;
}

bool TokenSource::GetAttributeValue(uint32_t id, uint32_t& value) {
    uint32_t n = AttributeCount();
    for (uint32_t i = 0; i < n; ++i) {
        const AttributeItem* a = Attribute(i);
        if (a && a->id == id) return valueParser && valueParser(id, *a, value);
    }
    return false;
}

uint32_t TokenSource::SkipElement() {
    bool isEnd = false, isEmpty = false;
    uint32_t id = GetTag(isEnd, isEmpty);
    if (isEnd || isEmpty) return id;
    uint32_t depth = 1;
    while (true) {
        uint32_t kind = NextToken();
        if (kind == kTokenEnd) break;
        if (kind != kTokenTag) continue;
        bool e = false, m = false;
        if (GetTag(e, m) != id) continue;
        if (e) {
            if (--depth == 0) break;
        } else if (!m) {
            ++depth;
        }
    }
    return id;
}
