// Resource functions over the compiled resource table.
#pragma once

#include "platform/resources/resource_table.h"
#include "platform/types.h"

constexpr WORD RT_ICON = 3;
constexpr WORD RT_MENU = 4;
constexpr WORD RT_DIALOG = 5;
constexpr WORD RT_STRING = 6;
constexpr WORD RT_RCDATA = 10;
constexpr WORD RT_GROUP_ICON = 14;

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
}
