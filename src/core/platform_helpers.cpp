#include "core/platform_helpers.h"

#include <cstring>

#include "core/optional_api.h"
#include "core/resources.h"
#include "core/text.h"
#include "platform/gdi/gdi_api.h"
#include "platform/gdi/gdi_types.h"
#include "platform/kernel/system_info.h"
#include "platform/kernel/system_time.h"
#include "platform/last_error.h"
#include "platform/shell/shell.h"

namespace {

int ScreenCaps(int index) {
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return 0;
    int v = GetDeviceCaps(dc, index);
    DeleteDC(dc);
    return v;
}

// Platform orientation of each program code.
constexpr DWORD kPlatformOrientation[4] = {DMDO_0, DMDO_270, DMDO_90, DMDO_180};

bool QueryDisplay(DEVMODEW& mode, DWORD fields) {
    std::memset(&mode, 0, sizeof(mode));
    mode.dmSize = sizeof(mode);
    mode.dmFields = fields;
    return OptionalApi::ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_TEST, nullptr) ==
           DISP_CHANGE_SUCCESSFUL;
}

// The program's notification class.
const uint8_t kNotificationClass[16] = {0x46, 0x6F, 0x6C, 0x69, 0x76, 0x61, 0x6E, 0x74,
                                        0x52, 0x65, 0x61, 0x64, 0x65, 0x72, 0x00, 0x01};
constexpr DWORD kPriorityInform = 0x1B1;

}  // namespace

int GetProgramLanguage() {
    return (GetSystemDefaultLangID() & 0x3FF) == 0x0C ? 12 : 9;
}

int GetPlatformType() {
    char16_t type[64] = {};
    SetLastError(ERROR_SUCCESS);
    if (!SystemParametersInfoW(SPI_GETPLATFORMTYPE, sizeof(type), type, 0))
        return GetLastError() == ERROR_ACCESS_DENIED ? 2 : 0;
    if (type[0] == u'P') return 1;
    if (type[0] == u'S') return 2;
    return 0;
}

bool GetOsVersion(uint32_t& major, uint32_t& minor) {
    OSVERSIONINFOW info;
    std::memset(&info, 0, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExW(&info) || info.dwPlatformId != VER_PLATFORM_WIN32_CE) return false;
    major = info.dwMajorVersion;
    minor = info.dwMinorVersion;
    return true;
}

bool IsOsVersionAtLeast51() {
    uint32_t major, minor;
    return GetOsVersion(major, minor) && major * 100 + minor >= 501;
}

bool IsHighResolution() {
    return ScreenCaps(LOGPIXELSX) >= 130;
}

int32_t CheckDisplayDepth(int32_t value) {
    int bits = ScreenCaps(BITSPIXEL);
    return (bits == 8 || bits == 16 || bits == 24 || bits == 32) ? value : 0;
}

int32_t ExchangeSystemSetting(int32_t value) {
    DWORD previous = 0;
    if (!SystemParametersInfoW(SPI_GETBATTERYIDLETIMEOUT, 0, &previous, 0)) return -1;
    if (value != -1)
        SystemParametersInfoW(SPI_SETBATTERYIDLETIMEOUT, static_cast<UINT>(value), nullptr, 0);
    return static_cast<int32_t>(previous);
}

bool CanRotateScreen() {
    uint32_t major, minor;
    if (!GetOsVersion(major, minor) || major * 100 + minor < 421) return false;
    if (!OptionalApi::Has("ChangeDisplaySettingsEx")) return false;
    DEVMODEW mode;
    return QueryDisplay(mode, DM_DISPLAYQUERYORIENTATION) && mode.dmDisplayQueryOrientation != 0;
}

int GetScreenOrientation() {
    DEVMODEW mode;
    if (!QueryDisplay(mode, DM_DISPLAYORIENTATION)) return -1;
    for (int code = 0; code < 4; ++code)
        if (kPlatformOrientation[code] == mode.dmDisplayOrientation) return code;
    return -1;
}

bool SetScreenOrientation(int code) {
    if (code < 0 || code > 3) return false;
    DEVMODEW mode;
    std::memset(&mode, 0, sizeof(mode));
    mode.dmSize = sizeof(mode);
    mode.dmFields = DM_DISPLAYORIENTATION;
    mode.dmDisplayOrientation = kPlatformOrientation[code];
    return OptionalApi::ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr) ==
           DISP_CHANGE_SUCCESSFUL;
}

bool InputPanel::Show(bool show) {
    return OptionalApi::SipShowIM(show ? SIPF_ON : SIPF_OFF) != 0;
}

bool InputPanel::GetInfo(Rect* out) {
    SIPINFO info;
    std::memset(&info, 0, sizeof(info));
    info.cbSize = sizeof(info);
    if (!OptionalApi::SipGetInfo(&info)) return false;
    if (out) *out = Rect::FromWinRect(info.rcSipRect);
    return (info.fdwFlags & SIPF_ON) != 0;
}

bool ShowDoneButton(HWND window, bool show) {
    return OptionalApi::SHDoneButton(window, show ? 1 : 2) != 0;
}

bool ShowNotification(uint32_t notificationId, uint32_t textId, uint32_t captionId) {
    const char16_t* text = LoadResString(textId);
    const char16_t* caption = LoadResString(captionId);
    if (!text) return false;
    SHNOTIFICATIONDATA data;
    std::memset(&data, 0, sizeof(data));
    data.cbStruct = sizeof(data);
    data.dwID = notificationId;
    data.npPriority = kPriorityInform;
    data.csDuration = 5;
    std::memcpy(data.clsid, kNotificationClass, sizeof(data.clsid));
    data.pszHTML = text;
    data.pszTitle = caption ? caption : u"";
    return OptionalApi::SHNotificationAdd(&data) == 0;
}

bool RemoveNotification(uint32_t notificationId) {
    return OptionalApi::SHNotificationRemove(kNotificationClass, notificationId) == 0;
}

namespace {

bool SetMenuItemText(HMENU menu, uint32_t item, bool byPosition, const char16_t* text) {
    MENUITEMINFOW info;
    std::memset(&info, 0, sizeof(info));
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING;
    info.dwTypeData = const_cast<LPWSTR>(text);  // only read
    return SetMenuItemInfoW(menu, item, byPosition ? TRUE : FALSE, &info) != 0;
}

}  // namespace

bool SetMenuTextsRes(HMENU menu, const MenuTextRow* rows, int32_t count) {
    if (!rows || count < 0) return false;
    bool all = true;
    for (int32_t i = 0; i < count; ++i) {
        const char16_t* text = LoadResString(rows[i].stringId);
        // Without a text the menu's own label is better than an empty item.
        if (!text || !SetMenuItemText(menu, rows[i].item, rows[i].byPosition, text)) all = false;
    }
    return all;
}

bool SetMenuTextsRes(HMENU menu, uint32_t item, bool byPosition, const Text& text) {
    if (!text.IsValid()) return false;
    return SetMenuItemText(menu, item, byPosition, text.WideCStr());
}

int Screen::SizeClass(int32_t width, int32_t height) {
    if (width < 240 || height < 240) return 0;
    int32_t small = width < height ? width : height;
    int32_t large = width < height ? height : width;
    if (small >= 480 && large >= 640) return 2;
    return 1;
}

int Screen::SizeClass() {
    return SizeClass(ScreenCaps(HORZRES), ScreenCaps(VERTRES));
}

bool Screen::GetWorkArea(Rect& out) {
    RECT r{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0)) return false;
    out = Rect::FromWinRect(r);
    return true;
}
