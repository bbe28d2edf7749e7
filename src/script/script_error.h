// The error record of a compile or a run, with the message text that page error reports show.
#pragma once

#include <cstdint>
#include <string>

#include "core/string.h"

struct ScriptError {
    int code = 0;
    std::u16string unitName;
    std::uint32_t line = 0;
    std::uint32_t column = 0;
    std::u16string member;
    std::u16string message;  // e.g. "Error: Member Unknown: foo (line 3)"

    void Clear() { *this = ScriptError(); }
    // Fills message from code, member and line.
    void Compose(const std::u16string& detail = std::u16string());
    std::string MessageUtf8() const;
    // The message as the program's string (for page error reports).
    bool MessageString(String* out) const {
        return out->AssignChars(message.data(), static_cast<std::int32_t>(message.size()));
    }
};

namespace Script {
// The message of a run-time error code without the line ("Error: Could not set value of object").
std::u16string ErrorText(int code, const std::u16string& member);
// Escapes ' " \ CR and LF as \' \" \\ \r \n, so that the text can stand in a string literal.
void EscapeStringLiteral(const std::u16string& text, std::u16string* out);
bool EscapeStringLiteral(const String& text, String* out);
}  // namespace Script
