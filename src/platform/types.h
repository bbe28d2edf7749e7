// Basic types of the device layer: the handheld system's integer, character and handle types.
// Everything above the layer speaks in these.
#pragma once

#include <cstddef>
#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using INT = int;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using BOOL = int;
using WCHAR = char16_t;  // the device's wide character is UTF-16, unlike Linux wchar_t
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPVOID = void*;
using LPCVOID = const void*;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using DWORD_PTR = std::uintptr_t;
using ATOM = WORD;
using COLORREF = DWORD;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#define FVT_DECLARE_HANDLE(name) \
    struct name##__;             \
    using name = name##__*

FVT_DECLARE_HANDLE(HANDLE_);
using HANDLE = void*;
FVT_DECLARE_HANDLE(HINSTANCE);
using HMODULE = HINSTANCE;
FVT_DECLARE_HANDLE(HWND);
FVT_DECLARE_HANDLE(HKEY);
FVT_DECLARE_HANDLE(HRSRC);
FVT_DECLARE_HANDLE(HGLOBAL_);
using HGLOBAL = void*;

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))

constexpr WORD LOWORD(DWORD_PTR v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(DWORD_PTR v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
constexpr DWORD MAKELONG(WORD lo, WORD hi) { return static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16); }
