// Resource functions over the compiled resource table.
#pragma once

#include "platform/gdi/gdi_types.h"
#include "platform/resources/resource_table.h"
#include "platform/types.h"

FVT_DECLARE_HANDLE(HACCEL);

constexpr WORD RT_ICON = 3;
constexpr WORD RT_MENU = 4;
constexpr WORD RT_DIALOG = 5;
constexpr WORD RT_STRING = 6;
constexpr WORD RT_RCDATA = 10;
constexpr WORD RT_GROUP_ICON = 14;

constexpr UINT IMAGE_BITMAP = 0;
constexpr UINT IMAGE_ICON = 1;
constexpr UINT IMAGE_CURSOR = 2;
constexpr UINT LR_DEFAULTCOLOR = 0x0000;
constexpr UINT LR_DEFAULTSIZE = 0x0040;

// An integer resource id or type passed where a name is expected.
inline LPCWSTR MAKEINTRESOURCEW(WORD id) {
    return reinterpret_cast<LPCWSTR>(static_cast<std::uintptr_t>(id));
}
inline bool IS_INTRESOURCE(LPCWSTR name) {
    return (reinterpret_cast<std::uintptr_t>(name) >> 16) == 0;
}

extern "C" {
// Copies at most bufferMax - 1 characters and a terminator; with bufferMax 0 the buffer receives
// a read-only pointer to the text instead. 0 when the id has no text.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax);
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL data);
DWORD SizeofResource(HMODULE module, HRSRC resource);
BOOL FreeResource(HGLOBAL data);

// Icons from the group-icon resources: the image of the requested size, else the nearest larger
// one (else the largest) scaled to it; a size of 0 is the system's icon size (32 pixels at 96 dpi,
// scaled with the screen's dpi). Null when there is no such icon.
HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT flags);
HICON LoadIconW(HINSTANCE instance, LPCWSTR name);
// The program has no accelerator tables: always null.
HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR name);
}
