// Attribute values converted to one 32-bit word by a grammar chosen by the attribute's markup
// id: numbers, keyword codes, colours (r | g << 8 | b << 16) and packed lengths.
#pragma once

#include <cstdint>

struct AttributeItem;
class String;

// Markup ids the style computation, the element stack and the forms read by name.
enum AttributeMarkupId : uint16_t {
    kAttrTitle = 5,  // also the TITLE element
    kTagH1 = 7,
    kTagHr = 33,
    kTagSpan = 37,  // also the column-span number
    kTagLi = 40,
    kTagA = 48,
    kAttrAlign = 51,
    kAttrColor = 52,
    kAttrBgColor = 53,
    kAttrWidth = 54,
    kAttrHeight = 55,
    kAttrRecIndex = 58,
    kAttrFilePos = 59,
    kAttrBorder = 61,
    kAttrCellSpacing = 62,
    kAttrCellPadding = 63,
    kAttrEncoding = 70,
    kAttrColSpan = 89,
    kAttrRowSpan = 90,
    kAttrVAlign = 91,
    kAttrLang = 94,
    kAttrShape = 95,
    kAttrHref = 97,
    kAttrName = 98,
    kAttrMethod = 101,
    kAttrEncType = 102,
    kAttrAccessKey = 104,
    kAttrValue = 105,
    kAttrChecked = 106,
    kAttrDisabled = 107,
    kAttrReadOnly = 108,
    kAttrSize = 109,
    kAttrMaxLength = 110,
    kAttrTabIndex = 113,
    kAttrMultiple = 114,
    kAttrOnClick = 117,
    kAttrPageRole = 123,
    kAttrTopMargin = 124,
    kAttrLeftMargin = 125,
    kAttrRightMargin = 126,
    kAttrBottomMargin = 127,
    kAttrHSpace = 128,
    kAttrVSpace = 129,
    kAttrLoRecIndex = 130,
    kAttrHiRecIndex = 131,
    kTagFont = 132,
    kAttrFace = 133,
    kAttrFvtNu = 134,  // also the FVT:NU element
    kAttrDescent = 135,
    kAttrBorderColor = 136,
    kAttrSelected = 139,
    kAttrAutoSubmit = 146,
    kAttrPersistent = 148,
    kAttrInputRestrict = 149,
};

namespace AttributeValue {

// FILEPOS of nothing but 'X': no position.
constexpr uint32_t kNoFilePosition = 0xFFFFFFFFu;
// FILEPOS with a sign: a position relative to the current one.
constexpr uint32_t kRelativeFilePosition = 0x80000000u;
// SIZE and TABINDEX with a sign: bit 30 marks the value relative, bit 31 its sign.
constexpr uint32_t kRelativeNumber = 0x40000000u;

// The attribute's text converted by the grammar of its id; false when it does not convert
// (or the id has no grammar), value then untouched.
bool Parse(uint32_t id, const AttributeItem& item, uint32_t& value);
bool Parse(uint32_t id, const String& text, uint32_t& value);
// The signed number of a relative SIZE or TABINDEX value.
int32_t RelativeNumber(uint32_t value);
// Makes TokenSource::GetAttributeValue convert through Parse.
void Install();

}  // namespace AttributeValue
