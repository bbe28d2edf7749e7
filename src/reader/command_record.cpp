#include "reader/command_record.h"

#include <new>
#include <stdexcept>

#include "script/script_error.h"
#include "script/script_names.h"

int32_t StringFlagArray::Append(const String& text, uint8_t numeric) {
    Item* item = AppendNew();
    if (!item) return -1;
    item->text.Assign(text);
    item->numeric = numeric;
    return static_cast<int32_t>(items_.size() - 1);
}

StringFlagArray::Item* StringFlagArray::AppendNew() {
    return At(Count());
}

StringFlagArray::Item* StringFlagArray::At(uint32_t n) {
    if (n >= items_.size()) {
        // Growth failure is a result here, not an exception.
        try {
            items_.resize(static_cast<size_t>(n) + 1);
        } catch (const std::bad_alloc&) {
            return nullptr;
        } catch (const std::length_error&) {
            return nullptr;
        }
    }
    return &items_[n];
}

bool CommandRecord::IsNumber(uint32_t i) const {
    const StringFlagArray::Item* item = arguments.Get(i);
    return item && item->numeric != 0;
}

bool CommandRecord::IsText(uint32_t i) const {
    const StringFlagArray::Item* item = arguments.Get(i);
    return item && item->numeric == 0;
}

bool CommandRecord::GetUnsigned(uint32_t i, uint32_t& value) const {
    if (!IsNumber(i)) return false;
    return arguments.Get(i)->text.ParseUnsigned(10, value);
}

bool CommandRecord::GetSigned(uint32_t i, int32_t& value) const {
    if (!IsNumber(i)) return false;
    return arguments.Get(i)->text.ParseSigned(10, value);
}

bool CommandRecord::GetText(uint32_t i, String& value) const {
    if (!IsText(i)) return false;
    value.Assign(arguments.Get(i)->text);
    return true;
}

bool CommandRecord::AppendNumber(int32_t value) {
    String text;
    if (value < 0 && !text.AppendChar(u'-')) return false;
    uint64_t magnitude = value < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(value))
                                   : static_cast<uint64_t>(value);
    if (!text.AppendUnsigned(magnitude, 10)) return false;
    return arguments.Append(text, 1) >= 0;
}

bool CommandRecord::ToScriptText(String& out) const {
    const char16_t* object = ScriptNames::Text(objectKind);
    const char16_t* method = ScriptNames::Text(methodId);
    if (!object || !method || objectKind == 0 || methodId == 0) return false;
    String text;
    bool ok = text.AppendChars(object, static_cast<int32_t>(ScriptNames::TextLength(objectKind))) &&
              text.AppendChar(u'.') &&
              text.AppendChars(method, static_cast<int32_t>(ScriptNames::TextLength(methodId))) &&
              text.AppendChar(u'(');
    for (uint32_t i = 0; ok && i < Count(); ++i) {
        const StringFlagArray::Item* item = arguments.Get(i);
        if (i > 0) ok = text.AppendChar(u',');
        if (!ok) break;
        if (item->numeric) {
            ok = text.Append(item->text);
        } else {
            String escaped;
            ok = Script::EscapeStringLiteral(item->text, &escaped) && text.AppendChar(u'\'') &&
                 text.Append(escaped) && text.AppendChar(u'\'');
        }
    }
    ok = ok && text.AppendChar(u')');
    if (!ok) return false;
    out.Assign(text);
    return true;
}
