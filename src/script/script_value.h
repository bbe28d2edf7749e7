// Script values as hosts see them: 32-bit handles whose low four bits are the type tag.
#pragma once

#include <cstdint>

using ScriptValue = std::uint32_t;

namespace ScriptTag {
constexpr std::uint32_t kBoolean = 0;
constexpr std::uint32_t kNumber = 1;
constexpr std::uint32_t kObject = 2;
constexpr std::uint32_t kWord = 3;
constexpr std::uint32_t kString = 4;
constexpr std::uint32_t kUndefined = 5;
}  // namespace ScriptTag

namespace ScriptValues {
constexpr ScriptValue kFalse = 0x00;
constexpr ScriptValue kTrue = 0x10;
constexpr ScriptValue kNull = ScriptTag::kObject;  // object tag with payload 0
constexpr ScriptValue kUndefined = ScriptTag::kUndefined;
constexpr ScriptValue kNoValue = 0xFFFFFFFFu;  // reads as undefined
inline std::uint32_t Tag(ScriptValue v) {
    return v == kNoValue ? ScriptTag::kUndefined : (v & 15);
}
}  // namespace ScriptValues

// Run-time error codes shared by the engine and every host object.
namespace ScriptErrors {
constexpr int kOk = 0;
constexpr int kOutOfMemory = 1;
constexpr int kMemberUnknown = 4;
constexpr int kCannotSet = 6;
constexpr int kCannotGet = 7;
constexpr int kInvalidType = 9;
constexpr int kSyntax = 11;
constexpr int kBadParameterCount = 13;
constexpr int kUnitUnknownSource = 15;
constexpr int kUnitUnreadable = 16;
constexpr int kUnitCorrupt = 17;
constexpr int kUnitIncomplete = 18;
constexpr int kQuerySyntax = 19;
constexpr int kQueryName = 20;
constexpr int kInvalidReference = 25;
constexpr int kStopped = 28;  // Response.End/Redirect or an aborted context: no error
constexpr int kTooLong = 29;
constexpr int kTooDeep = 30;
}  // namespace ScriptErrors
