// The script-name vocabulary (301 names, ids 1 to 316 with gaps). The document model's keyword
// tables reuse this one for their script-name quarter.
#pragma once

#include <cstdint>

namespace ScriptNames {

constexpr std::uint32_t kLastId = 316;
// Ids the engine gives to names of its own that are not in the vocabulary.
constexpr std::uint32_t kGlobalRecordSet = 317;  // "__global_recordset"
constexpr std::uint32_t kWidgetEvent = 318;      // "__widget_event"
constexpr std::uint32_t kFirstDynamicId = 319;   // user names are numbered from here

// Exact lookup, comparing whole 16-bit units: 0 when the text is no vocabulary name.
std::uint16_t Find(const char16_t* chars, std::uint32_t count);
// The text of an id (the first spelling for ids with two), or null for unnamed ids.
const char16_t* Text(std::uint32_t id);
std::uint32_t TextLength(std::uint32_t id);

// Table walk in id order, for tables built from this one.
int Count();
std::uint16_t IdAt(int i);
const char16_t* TextAt(int i);

}  // namespace ScriptNames
