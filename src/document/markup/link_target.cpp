#include "document/markup/link_target.h"

#include <cstring>
#include <memory>
#include <new>

#include "document/markup/attribute_value.h"
#include "document/markup/token_source.h"

namespace {
// The text in a buffer of its own (kept as it is when memory runs out).
void OwnCopy(String& text) {
    if (text.IsSoleHolder()) return;
    String own;
    if (own.AssignChars(text.Data(), text.Length())) text = std::move(own);
}
}  // namespace

LinkTarget::~LinkTarget() = default;

bool LinkTarget::FromElement(TokenSource& source, RefPtr<LinkTarget>& target) {
    target.Reset();
    uint32_t kind = kLinkTitleOnly;
    uint32_t number = 0;
    String text;
    if (source.GetAttributeValue(kAttrFilePos, number) &&
        number != AttributeValue::kNoFilePosition) {
        kind = kLinkFilePosition;
    } else if (source.GetAttributeText(kAttrHref, text)) {
        kind = kLinkAddress;
        number = 0;
    }
    String script;
    if (source.GetAttributeText(kAttrOnClick, script)) {
        kind = kLinkScript;
        text = script;
        number = 0;
    }
    if (kind == kLinkTitleOnly) return true;
    LinkTarget* link = new (std::nothrow) LinkTarget();
    if (!link) return false;
    link->kind = kind;
    if (kind == kLinkFilePosition)
        link->number = number;
    else
        link->text = text;
    source.GetAttributeText(kAttrName, link->name);
    // The texts are views of the page they were read from: copies let the page go while the
    // link lives on in saved element stacks.
    OwnCopy(link->text);
    OwnCopy(link->name);
    target = RefPtr<LinkTarget>::Adopt(link);
    return true;
}

void LinkTarget::SplitName(const String& text, String& after, String& before) {
    int32_t at = 0;
    if (!text.FindChar(u'`', at)) {
        after.Assign(text);
        before.Release();
        return;
    }
    // Both views first: text may be after or before itself.
    String head, tail;
    head.AssignSub(text, 0, at);
    tail.AssignSub(text, at + 1, -1);
    after = tail;
    before = head;
}

bool LinkTarget::CopyColumns(const LookupMatch* from, uint32_t count) {
    std::unique_ptr<LookupMatch[]> copy;
    if (count > 0) {
        copy.reset(new (std::nothrow) LookupMatch[count]);
        if (!copy) return false;
        std::memcpy(static_cast<void*>(copy.get()), from, sizeof(LookupMatch) * count);
    }
    columns_ = std::move(copy);
    columnCount_ = count;
    return true;
}

bool LinkTarget::Assign(const LinkTarget& other) {
    if (this == &other) return true;
    if (!CopyColumns(other.columns_.get(), other.columnCount_)) return false;
    kind = other.kind;
    text = other.text;
    number = other.number;
    objectKind = other.objectKind;
    methodId = other.methodId;
    secondText = other.secondText;
    name = other.name;
    return true;
}

bool LinkTarget::Equals(const LinkTarget& o) const {
    if (kind != o.kind || number != o.number || objectKind != o.objectKind ||
        methodId != o.methodId || columnCount_ != o.columnCount_ || text != o.text ||
        secondText != o.secondText || name != o.name)
        return false;
    for (uint32_t i = 0; i < columnCount_; ++i) {
        const LookupMatch& a = columns_[i];
        const LookupMatch& b = o.columns_[i];
        if (!(a.position == b.position) || a.length != b.length || a.direct != b.direct ||
            a.dictionary != b.dictionary || a.exact != b.exact || a.cjk != b.cjk)
            return false;
    }
    return true;
}

void LinkTarget::SetCoordinates(uint16_t kindOfObject, uint16_t method, uint32_t value) {
    kind = kLinkCoordinates;
    objectKind = kindOfObject;
    methodId = method;
    number = value;
}

bool LinkTarget::SetKind10Target(const String& entryName, const String& shortId,
                                 const String& keyText, const String& headword,
                                 uint32_t entryNumber, uint16_t language) {
    String joined;
    if (!joined.Reserve(shortId.Length() + 1 + entryName.Length()) ||
        !joined.AppendRaw(shortId.Data(), shortId.Length()) || !joined.AppendChar(u'`') ||
        !joined.AppendRaw(entryName.Data(), entryName.Length()))
        return false;
    kind = kLinkIndexTarget;
    text = joined;
    number = entryNumber;
    objectKind = language;
    secondText = keyText;
    name = headword;
    return true;
}

bool LinkTarget::SetColumns(const SegArray<LookupMatch>& matches, int32_t first, int32_t count,
                            const String& linkText, const String& second, bool compact) {
    if (first < 0) first = 0;
    if (count < 0) count = 0;
    if (first > matches.Count()) first = matches.Count();
    if (count > matches.Count() - first) count = matches.Count() - first;
    std::unique_ptr<LookupMatch[]> copy;
    if (count > 0) {
        copy.reset(new (std::nothrow) LookupMatch[static_cast<uint32_t>(count)]);
        if (!copy) return false;
        for (int32_t i = 0; i < count; ++i) copy[i] = *matches.Get(first + i);
    }
    columns_ = std::move(copy);
    columnCount_ = static_cast<uint32_t>(count);
    kind = compact ? kLinkTableSelectionCompact : kLinkTableSelection;
    text = linkText;
    secondText = second;
    number = static_cast<uint32_t>(count);
    return true;
}
