// HTML character references for text outside the markup parser (titles, script output), and
// the fallback table of the entities the program knows, indexed by entity id (1 to 253, in
// code-point order).
#pragma once

#include <cstdint>

class Text;

namespace Html {
// Decodes character references of in into out (out may be in). Named references are
// case-sensitive; "&#" decimal or "&#x" hex; the ';' is optional; values 128-159 go through
// the 1252 table, 9-13 become a space, invalid values U+FFFD; unknown or malformed references
// stay as they are. With encode, '"', '<', '>' and '&' are written as references instead.
bool DecodeEntities(const Text& in, Text& out, bool encode);
// In place.
bool DecodeEntities(Text& text);
// The code point of a named entity (exact, case-sensitive), or 0.
uint32_t LookupEntity(const char16_t* name, int32_t length);
}  // namespace Html

namespace EntityFallback {
constexpr int kRecordCount = 254;  // record 0 is a sentinel
constexpr int kMaxId = 253;
constexpr int kZwnjId = 165;

// 12 bytes: the code point, the count of replacement characters, up to four of them.
struct Record {
    uint16_t codePoint;
    uint16_t count;
    uint16_t replacement[4];
};
static_assert(sizeof(Record) == 12, "records are 12 bytes");

// The table, sorted by code point; record i belongs to entity id i.
const Record* Records();
// The entity id (1 to 253) whose code point is c, or 0.
int Find(uint32_t c);
// One character for the entity: U+00A0 when its only replacement is a space, 0 when it has no
// replacement (zwnj) or the id is out of range, else the entity's code point.
char16_t Replacement(int id);
// The entity's name, or null.
const char* Name(int id);
}  // namespace EntityFallback
