#include "platform/kernel/system_info.h"

#include <cstdio>
#include <map>
#include <mutex>

#include "platform/kernel/device.h"
#include "platform/kernel/modules.h"
#include "platform/kernel/wide.h"
#include "platform/last_error.h"
#include "platform/storage/files.h"

namespace fvt {

namespace {

struct SystemState {
    std::mutex lock;
    bool commandLineSet = false;
    std::u16string commandLine;
    std::u16string commandLineBuffer;
    std::map<UINT, SystemParameterHandler> handlers;
    DWORD batteryIdleTimeout = 180;
};

SystemState& State() {
    static SystemState* state = new SystemState;
    return *state;
}

}  // namespace

std::u16string ProgramPath() {
    std::u16string folder = Profile().programFolder;
    if (folder.empty() || folder.back() != u'\\') folder += u'\\';
    return folder + u"folivant.exe";
}

void SetCommandLine(std::u16string_view text) {
    SystemState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    s.commandLine = text;
    s.commandLineSet = true;
}

void SetSystemParameterHandler(UINT action, SystemParameterHandler handler) {
    SystemState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    if (handler) {
        s.handlers[action] = std::move(handler);
    } else {
        s.handlers.erase(action);
    }
}

}  // namespace fvt

using namespace fvt;

extern "C" BOOL GetVersionExW(LPOSVERSIONINFOW information) {
    if (!information) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (information->dwOSVersionInfoSize != 0 &&
        information->dwOSVersionInfoSize < sizeof(OSVERSIONINFOW)) {
        return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
    }
    const DeviceProfile& p = Profile();
    DWORD size = information->dwOSVersionInfoSize;
    *information = OSVERSIONINFOW{};
    information->dwOSVersionInfoSize = size;
    information->dwMajorVersion = p.osMajor;
    information->dwMinorVersion = p.osMinor;
    information->dwBuildNumber = p.osBuild;
    information->dwPlatformId = VER_PLATFORM_WIN32_CE;
    return TRUE;
}

extern "C" BOOL SystemParametersInfoW(UINT action, UINT uiParam, LPVOID pvParam, UINT winIni) {
    SystemState& s = State();
    SystemParameterHandler handler;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        auto it = s.handlers.find(action);
        if (it != s.handlers.end()) handler = it->second;
    }
    if (handler) return handler(uiParam, pvParam, winIni);
    switch (action) {
        case SPI_GETPLATFORMTYPE:
        case SPI_GETOEMINFO: {
            const DeviceProfile& p = Profile();
            std::u16string text =
                action == SPI_GETPLATFORMTYPE ? p.platformType : u"Folivant device";
            if (!pvParam) return Fail(ERROR_INVALID_PARAMETER, FALSE);
            if (uiParam < (text.size() + 1) * sizeof(WCHAR)) {
                return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
            }
            CopyWide(text, static_cast<LPWSTR>(pvParam), uiParam / sizeof(WCHAR));
            return TRUE;
        }
        case SPI_GETBATTERYIDLETIMEOUT: {
            if (!pvParam) return Fail(ERROR_INVALID_PARAMETER, FALSE);
            std::lock_guard<std::mutex> guard(s.lock);
            *static_cast<DWORD*>(pvParam) = s.batteryIdleTimeout;
            return TRUE;
        }
        case SPI_SETBATTERYIDLETIMEOUT: {
            std::lock_guard<std::mutex> guard(s.lock);
            s.batteryIdleTimeout = uiParam;
            return TRUE;
        }
        default:
            return Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
}

extern "C" LPWSTR GetCommandLineW() {
    SystemState& s = State();
    std::u16string text = Profile().commandLine;
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.commandLineSet) text = s.commandLine;
    // The pointer stays valid until the command line changes, as callers keep it.
    if (s.commandLineBuffer != text) s.commandLineBuffer = text;
    return s.commandLineBuffer.data();
}

extern "C" DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
    std::u16string path;
    if (module == nullptr || module == GetModuleHandleW(nullptr)) {
        path = ProgramPath();
    } else if (!ModuleFileName(module, path)) {
        return 0;
    }
    if (!fileName || size == 0) return Fail(ERROR_INSUFFICIENT_BUFFER, DWORD{0});
    if (path.size() >= size) {
        // Truncated and terminated, as the platform does.
        path.resize(size - 1);
        CopyWide(path, fileName, size);
        return Fail(ERROR_INSUFFICIENT_BUFFER, size);
    }
    CopyWide(path, fileName, size);
    return static_cast<DWORD>(path.size());
}

extern "C" BOOL SHGetSpecialFolderPath(HWND, LPWSTR path, int folder, BOOL create) {
    if (!path) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    std::u16string device;
    switch (folder) {
        case CSIDL_APPDATA:
            device = u"\\Application Data";
            break;
        case CSIDL_PERSONAL:
            device = u"\\My Documents";
            break;
        default:
            return Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
    if (create && GetFileAttributesW(device.c_str()) == INVALID_FILE_ATTRIBUTES) {
        CreateDirectoryW(device.c_str(), nullptr);
    }
    CopyWide(device, path, MAX_PATH);
    return TRUE;
}

extern "C" void OutputDebugStringW(LPCWSTR text) {
    if (!text) return;
    std::string utf8 = WideToUtf8(WideView(text));
    std::fputs(utf8.c_str(), stderr);
}
