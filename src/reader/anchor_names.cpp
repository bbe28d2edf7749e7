#include "reader/anchor_names.h"

#include "core/string.h"
#include "document/markup/attribute_value.h"
#include "document/markup/html_tokenizer.h"

namespace {
constexpr uint16_t kAttrId = 92;
// Tokens in a row that do not move the position before the scan gives up (a stuck source).
constexpr uint32_t kMaxIdleTokens = 64;
}  // namespace

bool FindAnchorName(DocumentSource* source, const String& name, uint32_t& position) {
    if (!source || name.IsEmpty()) return false;
    HtmlTokenizer tokens(false);
    if (!tokens.Attach(source, 0) || !tokens.Start(0, true)) return false;
    uint32_t idle = 0;
    for (;;) {
        uint32_t before = 0;
        tokens.GetPosition(before);
        const uint32_t kind = tokens.NextToken();
        if (kind == kTokenEnd) return false;
        uint32_t after = 0;
        tokens.GetPosition(after);
        idle = after > before ? 0 : idle + 1;
        if (idle >= kMaxIdleTokens) return false;
        if (kind != kTokenTag) continue;
        bool isEnd = false, isEmpty = false;
        tokens.GetTag(isEnd, isEmpty);
        if (isEnd) continue;
        String value;
        if ((tokens.GetAttributeText(kAttrName, value) && value == name) ||
            (tokens.GetAttributeText(kAttrId, value) && value == name)) {
            position = before;
            return true;
        }
    }
}
