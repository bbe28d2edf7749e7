#include "graphics/controls/select_state.h"

namespace SelectState {

bool Format(char16_t kind, int32_t index, const String& text, String& out) {
    out = String();
    return out.AppendChar(kind) &&
           out.AppendUnsigned(index < 0 ? 0u : static_cast<uint32_t>(index), 10) &&
           out.AppendChar(u';') && out.Append(text);
}

bool Parse(const String& state, char16_t& kind, uint32_t& index, String& text) {
    int32_t semicolon = 0;
    if (!state.FindChar(u';', semicolon)) return false;
    char16_t k = state.Length() > 0 ? state[0] : 0;
    if (k != kQueryKind && k != kOptionKind) return false;
    if (semicolon < 2) return false;
    String digits;
    digits.AssignSub(state, 1, semicolon - 1);
    uint32_t value = 0;
    // ParseUnsigned refuses a sign, any other character and overflow.
    if (!digits.ParseUnsigned(10, value) || value > 0x7FFFFFFFu) return false;
    kind = k;
    index = value;
    text.AssignSub(state, semicolon + 1, state.Length() - semicolon - 1);
    return true;
}

}  // namespace SelectState
