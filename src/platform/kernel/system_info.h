// What the program asks of the system: version, platform type, language, command line, its own
// file name, special folders and debug output.
#pragma once

#include <functional>
#include <string>

#include "platform/kernel/system_time.h"
#include "platform/types.h"

struct OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
};
using LPOSVERSIONINFOW = OSVERSIONINFOW*;

constexpr DWORD VER_PLATFORM_WIN32_CE = 3;

constexpr UINT SPI_SETBATTERYIDLETIMEOUT = 251;
constexpr UINT SPI_GETBATTERYIDLETIMEOUT = 252;
constexpr UINT SPI_GETPLATFORMTYPE = 257;
constexpr UINT SPI_GETOEMINFO = 258;

constexpr int CSIDL_PERSONAL = 0x0005;
constexpr int CSIDL_APPDATA = 0x001A;

extern "C" {
BOOL GetVersionExW(LPOSVERSIONINFOW information);
// SPI_GETPLATFORMTYPE writes "PocketPC" or "Smartphone" (uiParam = buffer size in bytes).
BOOL SystemParametersInfoW(UINT action, UINT uiParam, LPVOID pvParam, UINT winIni);
LPWSTR GetCommandLineW();
// The program's device path (module null or the program's instance) or a plug-in's.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
BOOL SHGetSpecialFolderPath(HWND owner, LPWSTR path, int folder, BOOL create);
void OutputDebugStringW(LPCWSTR text);
}

namespace fvt {
// The program's device path: the profile's program folder + "\folivant.exe".
std::u16string ProgramPath();
// Set by the entry point from the host's arguments; the profile's command_line until then.
void SetCommandLine(std::u16string_view text);
// Other areas answer their own actions (work area, input panel, ...); false from a handler
// means the action failed and the handler has set the last error.
using SystemParameterHandler = std::function<BOOL(UINT uiParam, LPVOID pvParam, UINT winIni)>;
void SetSystemParameterHandler(UINT action, SystemParameterHandler handler);
}  // namespace fvt
