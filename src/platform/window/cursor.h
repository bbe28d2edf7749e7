// The pen device has no pointer on screen; the only cursor the program shows is the busy
// indicator around long scans and deletions, which it loads from the system and later restores.
#pragma once

#include "platform/gdi/gdi_types.h"
#include "platform/types.h"

constexpr WORD IDC_ARROW_ID = 32512;
constexpr WORD IDC_WAIT_ID = 32514;
#define IDC_ARROW (reinterpret_cast<LPCWSTR>(static_cast<std::uintptr_t>(IDC_ARROW_ID)))
#define IDC_WAIT (reinterpret_cast<LPCWSTR>(static_cast<std::uintptr_t>(IDC_WAIT_ID)))

extern "C" {
// The system's arrow or wait cursor (instance null); the program carries no cursor resources, so
// anything else is NULL with ERROR_RESOURCE_NAME_NOT_FOUND.
HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);
// Makes the cursor current (NULL hides it) and answers the one it replaces.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
}

namespace fvt {
// True while the wait cursor is current (the display backends show a busy mark then).
bool WaitCursorShown();
}  // namespace fvt
