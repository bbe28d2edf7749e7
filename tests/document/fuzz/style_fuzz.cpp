// Attribute values and style computation over arbitrary markup: every attribute of every tag is
// converted by every grammar, and each start tag's style is computed from its parent's (a stack
// of states, as the layout keeps one). Nothing may crash, and a computation is a function of its
// inputs: done twice from equal parents it gives equal states.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "document/markup/attribute_value.h"
#include "document/markup/html_tokenizer.h"
#include "document/markup/render_state.h"
#include "support/document/memory_document.h"

namespace {

class Faces : public FontResolver {
public:
    uint8_t ResolveFace(const String& name) override {
        return static_cast<uint8_t>(name.Length() % 4);
    }
};

// Markup that reaches styled tags with attributes often: one piece per input byte.
std::u16string MarkupFrom(const uint8_t* data, size_t size) {
    static const char16_t* const kPieces[] = {
        u"<p",       u"<a",          u"<b",         u"<font",     u"<div",      u"<table",
        u"<td",      u"<tr",         u"<img",       u"<hr",       u"<li",       u"<ol",
        u"<h1",      u"<blockquote", u"<span",      u"</p",       u"</font",    u"</div",
        u"</td",     u"</table",     u">",          u"/>",        u" ",         u"=",
        u" align=",  u" color=",     u" size=",     u" face=",    u" width=",   u" height=",
        u" border=", u" bgcolor=",   u" filepos=",  u" start=",   u" type=",    u" valign=",
        u" hspace=", u" cellpadding=", u" colspan=", u" tabindex=", u" href=",  u" style=",
        u"\"",       u"'",           u"#",          u"-",         u"+",         u"%",
        u"em",       u"pt",          u"px",         u"in",        u"0",         u"1",
        u"9",        u"12",          u"-3",         u"+2",        u"4294967296", u"0x",
        u"red",      u"#ff00ff",     u"center",     u"right",     u"x",         u"X",
        u".",        u"1.5",         u"word",       u"&amp;",     u"\u00E9",    u"\u4E00",
    };
    constexpr size_t kCount = sizeof(kPieces) / sizeof(kPieces[0]);
    std::u16string text;
    for (size_t i = 0; i < size; ++i) text += kPieces[data[i] % kCount];
    return text;
}

void Run(const std::u16string& text, bool underline, bool rules) {
    MemoryDocument doc(text, 64);
    HtmlTokenizer t(true);
    t.Attach(&doc, 0);
    t.Start(0, false);
    Faces faces;
    DocumentDefaults defaults;
    defaults.underlineLinks = underline;
    defaults.blockRules = rules;
    defaults.fontResolver = &faces;
    std::vector<RenderState> stack(1, defaults.style);
    const size_t limit = 16 * (text.size() + 16);
    for (size_t i = 0; i < limit; ++i) {
        const uint32_t k = t.NextToken();
        if (k == kTokenEnd) return;
        if (i % 64 == 0) t.ReleaseBuffers();
        if (k != kTokenTag) continue;
        bool isEnd = false, isEmpty = false;
        const uint32_t id = t.GetTag(isEnd, isEmpty);
        if (isEnd) {
            if (stack.size() > 1) stack.pop_back();
            continue;
        }
        for (uint32_t a = 0; a < t.AttributeCount(); ++a) {
            const AttributeItem* item = t.Attribute(a);
            if (!item) __builtin_trap();
            for (uint32_t grammar = 0; grammar < 160; ++grammar) {
                uint32_t first = 0x5A5A5A5A, second = 0x5A5A5A5A;
                const bool a1 = AttributeValue::Parse(grammar, *item, first);
                const bool a2 = AttributeValue::Parse(grammar, item->value, second);
                // A value that does not convert is left as it was.
                if ((!a1 && first != 0x5A5A5A5A) || (!a2 && second != 0x5A5A5A5A)) __builtin_trap();
            }
        }
        RenderState parentA = stack.back(), parentB = stack.back();
        RenderState outA, outB;
        bool blockA = false, textA = false, boxA = false, linkA = false;
        bool blockB = false, textB = false, boxB = false, linkB = false;
        RenderState::FromElement(t, defaults, parentA, outA, blockA, textA, boxA, linkA);
        RenderState::FromElement(t, defaults, parentB, outB, blockB, textB, boxB, linkB);
        if (outA != outB || parentA != parentB || blockA != blockB || textA != textB ||
            boxA != boxB || linkA != linkB)
            __builtin_trap();
        if (!isEmpty && id != 0 && stack.size() < 256) stack.push_back(outA);
    }
    __builtin_trap();  // the tokenizer must end within its bound
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const bool markup = data[0] & 1;
    std::u16string text;
    if (markup) {
        text = MarkupFrom(data + 1, size - 1);
    } else {
        for (size_t i = 1; i < size; ++i) text.push_back(data[i]);
    }
    Run(text, data[0] & 2, data[0] & 4);
    return 0;
}
