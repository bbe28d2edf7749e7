#include "core/optional_api.h"

#include <cstdint>
#include <cstring>

#include "platform/kernel/device.h"
#include "platform/kernel/modules.h"
#include "platform/last_error.h"

namespace {

enum Entry {
    kSHFullScreen,
    kSHChangeNotifyRegister,
    kSHChangeNotifyDeregister,
    kSHChangeNotifyFree,
    kSHInitDialog,
    kSHSetAppKeyWndAssoc,
    kSHDoneButton,
    kSHNotificationAdd,
    kSHNotificationRemove,
    kSHGetSpecialFolderPath,
    kSipShowIM,
    kSipGetInfo,
    kRegisterHotKey,
    kUnregisterHotKey,
    kUnregisterFunc1,
    kSetPowerRequirement,
    kReleasePowerRequirement,
    kChangeDisplaySettingsEx,
    kVoiceRecorder_Create,
    kTapiRequestMakeCallW,
    kConvertINetMultiByteToUnicode,
    kInternetOpenA,
    kInternetConnectW,
    kHttpOpenRequestW,
    kHttpSendRequestW,
    kHttpSendRequestExW,
    kHttpEndRequestW,
    kHttpQueryInfoW,
    kInternetReadFile,
    kInternetOpenUrlW,
    kInternetCombineUrlW,
    kInternetCrackUrlW,
    kInternetSetOptionW,
    kInternetQueryOptionW,
    kInternetGetConnectedState,
    kInternetCloseHandle,
    kRasGetEntryDialParams,
    kRasDial,
    kRasHangUp,
    kEntryCount
};

struct Name {
    const char* module;
    const char* name;
};

// Module and exported name of each entry, in Entry order.
// clang-format off
const Name kNames[kEntryCount] = {
    {"aygshell.dll", "SHFullScreen"},
    {"aygshell.dll", "SHChangeNotifyRegister"},
    {"aygshell.dll", "SHChangeNotifyDeregister"},
    {"aygshell.dll", "SHChangeNotifyFree"},
    {"aygshell.dll", "SHInitDialog"},
    {"aygshell.dll", "SHSetAppKeyWndAssoc"},
    {"aygshell.dll", "SHDoneButton"},
    {"aygshell.dll", "SHNotificationAdd"},
    {"aygshell.dll", "SHNotificationRemove"},
    {"aygshell.dll", "SHGetSpecialFolderPath"},
    {"coredll.dll", "SipShowIM"},
    {"coredll.dll", "SipGetInfo"},
    {"coredll.dll", "RegisterHotKey"},
    {"coredll.dll", "UnregisterHotKey"},
    {"coredll.dll", "UnregisterFunc1"},
    {"coredll.dll", "SetPowerRequirement"},
    {"coredll.dll", "ReleasePowerRequirement"},
    {"coredll.dll", "ChangeDisplaySettingsEx"},
    {"voicectl.dll", "VoiceRecorder_Create"},
    {"cellcore.dll", "tapiRequestMakeCallW"},
    {"mlang.dll", "ConvertINetMultiByteToUnicode"},
    {"wininet.dll", "InternetOpenA"},
    {"wininet.dll", "InternetConnectW"},
    {"wininet.dll", "HttpOpenRequestW"},
    {"wininet.dll", "HttpSendRequestW"},
    {"wininet.dll", "HttpSendRequestExW"},
    {"wininet.dll", "HttpEndRequestW"},
    {"wininet.dll", "HttpQueryInfoW"},
    {"wininet.dll", "InternetReadFile"},
    {"wininet.dll", "InternetOpenUrlW"},
    {"wininet.dll", "InternetCombineUrlW"},
    {"wininet.dll", "InternetCrackUrlW"},
    {"wininet.dll", "InternetSetOptionW"},
    {"wininet.dll", "InternetQueryOptionW"},
    {"wininet.dll", "InternetGetConnectedState"},
    {"wininet.dll", "InternetCloseHandle"},
    {"ras.dll", "RasGetEntryDialParams"},
    {"ras.dll", "RasDial"},
    {"ras.dll", "RasHangUp"},
};
// clang-format on

void* g_entries[kEntryCount];
bool g_loaded = false;
uint64_t g_generation = 0;  // the device the entries were looked up on

bool NeedsLoad() {
    return !g_loaded || g_generation != fvt::DeviceGeneration();
}

void ToWide(const char* s, char16_t* out, size_t cap) {
    size_t i = 0;
    for (; s[i] && i + 1 < cap; ++i) out[i] = static_cast<unsigned char>(s[i]);
    out[i] = 0;
}

void* Lookup(const char* module, const char* name) {
    char16_t wideModule[64], wideName[64];
    ToWide(module, wideModule, 64);
    ToWide(name, wideName, 64);
    HMODULE m = LoadLibraryW(wideModule);
    if (!m) return nullptr;
    return reinterpret_cast<void*>(GetProcAddressW(m, wideName));
}

template <typename Fn>
Fn Get(Entry e) {
    if (NeedsLoad()) OptionalApi::Load();
    return reinterpret_cast<Fn>(g_entries[e]);
}

}  // namespace

void OptionalApi::Load() {
    for (int i = 0; i < kEntryCount; ++i) g_entries[i] = Lookup(kNames[i].module, kNames[i].name);
    g_loaded = true;
    g_generation = fvt::DeviceGeneration();
}

bool OptionalApi::Has(const char* name) {
    if (NeedsLoad()) Load();
    for (int i = 0; i < kEntryCount; ++i)
        if (std::strcmp(kNames[i].name, name) == 0) return g_entries[i] != nullptr;
    return false;
}

#define FVT_CALL(entry, failure, type, ...)      \
    do {                                         \
        auto fn = Get<type>(entry);              \
        return fn ? fn(__VA_ARGS__) : (failure); \
    } while (0)

namespace OptionalApi {

BOOL SHFullScreen(HWND w, DWORD f) {
    FVT_CALL(kSHFullScreen, FALSE, BOOL(*)(HWND, DWORD), w, f);
}
BOOL SHChangeNotifyRegister(HWND w, SHCHANGENOTIFYENTRY* e) {
    FVT_CALL(kSHChangeNotifyRegister, FALSE, BOOL(*)(HWND, SHCHANGENOTIFYENTRY*), w, e);
}
BOOL SHChangeNotifyDeregister(HWND w) {
    FVT_CALL(kSHChangeNotifyDeregister, FALSE, BOOL(*)(HWND), w);
}
void SHChangeNotifyFree(FILECHANGENOTIFY* n) {
    auto fn = Get<void (*)(FILECHANGENOTIFY*)>(kSHChangeNotifyFree);
    if (fn) fn(n);
}
BOOL SHInitDialog(SHINITDLGINFO* i) {
    FVT_CALL(kSHInitDialog, FALSE, BOOL(*)(SHINITDLGINFO*), i);
}
BOOL SHSetAppKeyWndAssoc(BYTE k, HWND w) {
    FVT_CALL(kSHSetAppKeyWndAssoc, FALSE, BOOL(*)(BYTE, HWND), k, w);
}
BOOL SHDoneButton(HWND w, DWORD s) {
    FVT_CALL(kSHDoneButton, FALSE, BOOL(*)(HWND, DWORD), w, s);
}
LRESULT SHNotificationAdd(SHNOTIFICATIONDATA* d) {
    FVT_CALL(kSHNotificationAdd, kErrorFail, LRESULT(*)(SHNOTIFICATIONDATA*), d);
}
LRESULT SHNotificationRemove(const void* c, DWORD id) {
    FVT_CALL(kSHNotificationRemove, kErrorFail, LRESULT(*)(const void*, DWORD), c, id);
}
BOOL SHGetSpecialFolderPath(HWND o, LPWSTR p, int f, BOOL c) {
    FVT_CALL(kSHGetSpecialFolderPath, FALSE, BOOL(*)(HWND, LPWSTR, int, BOOL), o, p, f, c);
}
BOOL SipShowIM(DWORD f) {
    FVT_CALL(kSipShowIM, FALSE, BOOL(*)(DWORD), f);
}
BOOL SipGetInfo(SIPINFO* i) {
    FVT_CALL(kSipGetInfo, FALSE, BOOL(*)(SIPINFO*), i);
}
BOOL RegisterHotKey(HWND w, int id, UINT m, UINT k) {
    FVT_CALL(kRegisterHotKey, FALSE, BOOL(*)(HWND, int, UINT, UINT), w, id, m, k);
}
BOOL UnregisterHotKey(HWND w, int id) {
    FVT_CALL(kUnregisterHotKey, FALSE, BOOL(*)(HWND, int), w, id);
}
BOOL UnregisterFunc1(UINT m, UINT k) {
    FVT_CALL(kUnregisterFunc1, FALSE, BOOL(*)(UINT, UINT), m, k);
}
HANDLE SetPowerRequirement(LPCWSTR d, int s, ULONG f, void* sys, ULONG r) {
    FVT_CALL(kSetPowerRequirement, nullptr, HANDLE(*)(LPCWSTR, int, ULONG, void*, ULONG), d, s, f,
             sys, r);
}
DWORD ReleasePowerRequirement(HANDLE h) {
    FVT_CALL(kReleasePowerRequirement, 120u /* not implemented */, DWORD(*)(HANDLE), h);
}
LONG ChangeDisplaySettingsEx(LPCWSTR d, DEVMODEW* m, HWND w, DWORD f, void* p) {
    FVT_CALL(kChangeDisplaySettingsEx, kDispChangeFailed,
             LONG(*)(LPCWSTR, DEVMODEW*, HWND, DWORD, void*), d, m, w, f, p);
}
HWND VoiceRecorder_Create(void* r) {
    FVT_CALL(kVoiceRecorder_Create, nullptr, HWND(*)(void*), r);
}
LONG tapiRequestMakeCallW(LPCWSTR n, LPCWSTR a, LPCWSTR c, LPCWSTR m) {
    FVT_CALL(kTapiRequestMakeCallW, kTapiErrorNoRecipient,
             LONG(*)(LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR), n, a, c, m);
}
HRESULT ConvertINetMultiByteToUnicode(DWORD* mode, DWORD cp, LPCSTR s, int* ss, LPWSTR d, int* ds) {
    FVT_CALL(kConvertINetMultiByteToUnicode, kErrorFailResult,
             HRESULT(*)(DWORD*, DWORD, LPCSTR, int*, LPWSTR, int*), mode, cp, s, ss, d, ds);
}

HINTERNET InternetOpenA(const char* a, DWORD t, const char* p, const char* b, DWORD f) {
    FVT_CALL(kInternetOpenA, nullptr,
             HINTERNET(*)(const char*, DWORD, const char*, const char*, DWORD), a, t, p, b, f);
}
HINTERNET InternetConnectW(HINTERNET i, LPCWSTR s, INTERNET_PORT port, LPCWSTR u, LPCWSTR pw,
                           DWORD sv, DWORD f, DWORD_PTR c) {
    FVT_CALL(
        kInternetConnectW, nullptr,
        HINTERNET(*)(HINTERNET, LPCWSTR, INTERNET_PORT, LPCWSTR, LPCWSTR, DWORD, DWORD, DWORD_PTR),
        i, s, port, u, pw, sv, f, c);
}
HINTERNET HttpOpenRequestW(HINTERNET c, LPCWSTR v, LPCWSTR o, LPCWSTR ver, LPCWSTR r, LPCWSTR* a,
                           DWORD f, DWORD_PTR ctx) {
    FVT_CALL(
        kHttpOpenRequestW, nullptr,
        HINTERNET(*)(HINTERNET, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR*, DWORD, DWORD_PTR), c,
        v, o, ver, r, a, f, ctx);
}
BOOL HttpSendRequestW(HINTERNET r, LPCWSTR h, DWORD hl, void* o, DWORD ol) {
    FVT_CALL(kHttpSendRequestW, FALSE, BOOL(*)(HINTERNET, LPCWSTR, DWORD, void*, DWORD), r, h, hl,
             o, ol);
}
BOOL HttpSendRequestExW(HINTERNET r, INTERNET_BUFFERSW* bi, INTERNET_BUFFERSW* bo, DWORD f,
                        DWORD_PTR c) {
    FVT_CALL(kHttpSendRequestExW, FALSE,
             BOOL(*)(HINTERNET, INTERNET_BUFFERSW*, INTERNET_BUFFERSW*, DWORD, DWORD_PTR), r, bi,
             bo, f, c);
}
BOOL HttpEndRequestW(HINTERNET r, INTERNET_BUFFERSW* bo, DWORD f, DWORD_PTR c) {
    FVT_CALL(kHttpEndRequestW, FALSE, BOOL(*)(HINTERNET, INTERNET_BUFFERSW*, DWORD, DWORD_PTR), r,
             bo, f, c);
}
BOOL HttpQueryInfoW(HINTERNET r, DWORD l, void* b, DWORD* bl, DWORD* i) {
    FVT_CALL(kHttpQueryInfoW, FALSE, BOOL(*)(HINTERNET, DWORD, void*, DWORD*, DWORD*), r, l, b, bl,
             i);
}
BOOL InternetReadFile(HINTERNET f, void* b, DWORD n, DWORD* r) {
    FVT_CALL(kInternetReadFile, FALSE, BOOL(*)(HINTERNET, void*, DWORD, DWORD*), f, b, n, r);
}
HINTERNET InternetOpenUrlW(HINTERNET i, LPCWSTR u, LPCWSTR h, DWORD hl, DWORD f, DWORD_PTR c) {
    FVT_CALL(kInternetOpenUrlW, nullptr,
             HINTERNET(*)(HINTERNET, LPCWSTR, LPCWSTR, DWORD, DWORD, DWORD_PTR), i, u, h, hl, f, c);
}
BOOL InternetCombineUrlW(LPCWSTR b, LPCWSTR r, LPWSTR o, DWORD* ol, DWORD f) {
    FVT_CALL(kInternetCombineUrlW, FALSE, BOOL(*)(LPCWSTR, LPCWSTR, LPWSTR, DWORD*, DWORD), b, r, o,
             ol, f);
}
BOOL InternetCrackUrlW(LPCWSTR u, DWORD ul, DWORD f, URL_COMPONENTSW* c) {
    FVT_CALL(kInternetCrackUrlW, FALSE, BOOL(*)(LPCWSTR, DWORD, DWORD, URL_COMPONENTSW*), u, ul, f,
             c);
}
BOOL InternetSetOptionW(HINTERNET i, DWORD o, void* b, DWORD bl) {
    FVT_CALL(kInternetSetOptionW, FALSE, BOOL(*)(HINTERNET, DWORD, void*, DWORD), i, o, b, bl);
}
BOOL InternetQueryOptionW(HINTERNET i, DWORD o, void* b, DWORD* bl) {
    FVT_CALL(kInternetQueryOptionW, FALSE, BOOL(*)(HINTERNET, DWORD, void*, DWORD*), i, o, b, bl);
}
BOOL InternetGetConnectedState(DWORD* f, DWORD r) {
    FVT_CALL(kInternetGetConnectedState, FALSE, BOOL(*)(DWORD*, DWORD), f, r);
}
BOOL InternetCloseHandle(HINTERNET i) {
    FVT_CALL(kInternetCloseHandle, FALSE, BOOL(*)(HINTERNET), i);
}

DWORD RasGetEntryDialParams(LPCWSTR b, RASDIALPARAMSW* p, BOOL* h) {
    FVT_CALL(kRasGetEntryDialParams, ERROR_PROC_NOT_FOUND,
             DWORD(*)(LPCWSTR, RASDIALPARAMSW*, BOOL*), b, p, h);
}
DWORD RasDial(void* e, LPCWSTR b, RASDIALPARAMSW* p, DWORD t, void* n, HRASCONN* c) {
    FVT_CALL(kRasDial, ERROR_PROC_NOT_FOUND,
             DWORD(*)(void*, LPCWSTR, RASDIALPARAMSW*, DWORD, void*, HRASCONN*), e, b, p, t, n, c);
}
DWORD RasHangUp(HRASCONN c) {
    FVT_CALL(kRasHangUp, ERROR_PROC_NOT_FOUND, DWORD(*)(HRASCONN), c);
}

}  // namespace OptionalApi
