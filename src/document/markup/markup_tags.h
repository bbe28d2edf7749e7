// The tag table: per markup id, whether the name is an element or an attribute, its content
// class and how it nests; and the class masks the nesting rules walk with.
#pragma once

#include <cstdint>

namespace MarkupTags {

constexpr uint16_t kClassMask = 0x1F;
constexpr uint16_t kElement = 0x20;
constexpr uint16_t kAttribute = 0x40;
constexpr uint16_t kClosesSame = 0x80;
constexpr uint16_t kEmpty = 0x100;
constexpr uint16_t kTextValued = 0x200;
constexpr uint32_t kMaxId = 208;
// Content classes 0-17, and CAPTION's own: allowed in TABLE only, holding a cell's content.
constexpr uint32_t kCaptionClass = 18;
constexpr uint32_t kClassCount = 19;

// The 16-bit entry; 0 for ids outside the table.
uint16_t Flags(uint32_t id);
inline uint32_t Class(uint32_t id) { return Flags(id) & kClassMask; }
inline bool IsElement(uint32_t id) { return (Flags(id) & kElement) != 0; }
inline bool IsEmpty(uint32_t id) { return (Flags(id) & kEmpty) != 0; }
inline bool ClosesSame(uint32_t id) { return (Flags(id) & kClosesSame) != 0; }
inline bool IsTextValued(uint32_t id) { return (Flags(id) & kTextValued) != 0; }

// MENU and DIR, which the table does not name, are lists as UL is: UL's id for those tag
// names (any case), else 0.
uint32_t ListAlias(const char16_t* chars, uint32_t n);
// BODY's TEXT, the page's text colour, which the table does not name: COLOR's id for it, else 0.
uint32_t AttributeAlias(uint32_t tag, const char16_t* chars, uint32_t n);

bool IsClass2or13or14or17(uint32_t id);
bool IsClass1or9to12(uint32_t id);
bool IsClass4to7(uint32_t id);

// Class masks by content class (bit n for class n).
uint32_t WalkMaskStart(uint32_t cls);      // a plain start tag
uint32_t WalkMaskEndOrSame(uint32_t cls);  // an end tag or a closes-same start tag
uint32_t AllowedChildren(uint32_t cls);

}  // namespace MarkupTags
