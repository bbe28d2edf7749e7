// Code pages: 1252 and UTF-8 in the layer, the double-byte pages (932, 936, 949, 950) through
// the C library's iconv.
#pragma once

#include "platform/types.h"

using LPCSTR = const char*;
using LPSTR = char*;
using LPBOOL = BOOL*;
using HRESULT = LONG;

constexpr UINT CP_ACP = 0;
constexpr UINT CP_OEMCP = 1;
constexpr UINT CP_UTF8 = 65001;

constexpr DWORD MB_PRECOMPOSED = 0x1;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x8;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);

extern "C" {
// Lengths of -1 take the text up to and including its terminator. A destination length of 0
// asks for the size. Invalid input becomes U+FFFD (or '?'), unless MB_ERR_INVALID_CHARS.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteLength,
                        LPWSTR wide, int wideLength);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength, LPSTR multiByte,
                        int multiByteLength, LPCSTR defaultChar, LPBOOL usedDefaultChar);
BOOL IsValidCodePage(UINT codePage);
UINT GetACP();
// The internet converter: *sourceSize bytes (-1: up to a NUL) into at most *destinationSize
// UTF-16 units; both sizes are updated. A null destination asks for the size.
HRESULT ConvertINetMultiByteToUnicode(DWORD* mode, DWORD encoding, LPCSTR source, int* sourceSize,
                                      LPWSTR destination, int* destinationSize);
}
