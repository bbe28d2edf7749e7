// The layer's dialog template record (little-endian), as rescomp writes it and an in-memory
// builder may: u32 magic "FDLG", u32 total size, u32 style, u32 extended style, i16 x, y, cx, cy
// (dialog units), u16 point size, text face, text caption, u16 item count; then per item: u32
// style, u32 extended style, i16 x, y, cx, cy, u16 id, text class, text text. Texts as in
// menu/resource_blob.h (a count and UTF-16 units, or 0xFFFF and a string id).
#pragma once

#include <string>
#include <vector>

#include "platform/dialog/dialog.h"

namespace fvt {

inline constexpr DWORD kDialogTemplateMagic = 0x474C4446;  // "FDLG"

struct DialogItemTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    WORD id = 0;
    std::u16string className;
    std::u16string text;
};

struct DialogTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    WORD pointSize = 0;
    std::u16string face;
    std::u16string caption;
    std::vector<DialogItemTemplate> items;
};

// The text of a standard button (IDOK, IDCANCEL, IDYES, ...) in the system's language.
const char16_t* StandardButtonText(int id);

// False for a record that is not a template or does not hold together.
bool ParseDialogTemplate(const void* data, DialogTemplate& out);
// The record of a template (texts as literal text).
std::vector<BYTE> BuildDialogTemplate(const DialogTemplate& t);

}  // namespace fvt
