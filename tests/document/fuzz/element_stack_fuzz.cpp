// Two properties of the element stack. Arbitrary bytes given to Restore are refused or give a
// stack that saves and restores to itself. Arbitrary markup pushed tag by tag, with styles
// computed as the page layout does, saves and restores to an equal stack at every tag.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/byte_stream.h"
#include "document/markup/element_stack.h"
#include "document/markup/html_tokenizer.h"
#include "support/document/memory_document.h"
#include "support/document/style_fixture.h"

namespace {

DocumentDefaults Defaults() {
    DocumentDefaults d;
    d.blockRules = true;
    return d;
}

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

void RoundTrip(const ElementStack& stack, const DocumentDefaults& defaults) {
    ByteStream saved;
    Check(stack.Save(saved));
    ElementStack restored;
    Check(restored.Restore(saved, defaults));
    Check(saved.Remaining() == 0);
    Check(restored.Equals(stack));
}

void RestoreBytes(const uint8_t* data, size_t size, const DocumentDefaults& defaults) {
    ByteStream in;
    in.WriteBytes(data, size);
    ElementStack stack;
    if (!stack.Restore(in, defaults)) {
        Check(in.ReadPosition() == 0 && stack.IsEmpty());
        return;
    }
    RoundTrip(stack, defaults);
}

void PushMarkup(const uint8_t* data, size_t size, const DocumentDefaults& defaults) {
    std::u16string text;
    for (size_t i = 0; i + 1 < size; i += 2)
        text.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
    MemoryDocument doc(text, 64);
    HtmlTokenizer t(data[0] & 1);
    t.Attach(&doc, 0);
    t.Start(0, false);
    ElementStack stack;
    RenderState base = defaults.style;
    for (size_t i = 0; i < 20000; ++i) {
        uint32_t kind = t.NextToken();
        if (kind == kTokenEnd) break;
        if (kind != kTokenTag) continue;
        PushAsLayout(stack, t, defaults, base);
        Check(stack.Count() <= ElementStack::kMaxEntries);
        if (i % 7 == 0) RoundTrip(stack, defaults);
    }
    RoundTrip(stack, defaults);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    DocumentDefaults defaults = Defaults();
    if (data[0] & 0x80)
        RestoreBytes(data + 1, size - 1, defaults);
    else
        PushMarkup(data, size, defaults);
    return 0;
}
