// OS functions looked up by name at start-up. A function the device lacks is a no-op whose
// wrapper returns that function's own failure value (FALSE, null, a negative TAPI error,
// DISP_CHANGE_FAILED, E_FAIL), so that a missing function never reads as success.
#pragma once

#include "platform/dialog/dialog.h"
#include "platform/inet/inet.h"
#include "platform/kernel/char_conversion.h"
#include "platform/shell/shell.h"
#include "platform/types.h"

namespace OptionalApi {
// Looks every entry up (done before first use, and again when the device is reopened).
void Load();
bool Has(const char* name);

constexpr LONG kDispChangeFailed = -1;
constexpr LONG kTapiErrorNoRecipient = -2;
constexpr LRESULT kErrorFail = static_cast<LRESULT>(static_cast<int32_t>(0x80004005u));
constexpr HRESULT kErrorFailResult = static_cast<HRESULT>(0x80004005u);

// Shell (aygshell) and core functions, typed as the layer declares them (a call through a
// pointer of another type is undefined).
BOOL SHFullScreen(HWND window, DWORD flags);
BOOL SHChangeNotifyRegister(HWND window, SHCHANGENOTIFYENTRY* entry);
BOOL SHChangeNotifyDeregister(HWND window);
void SHChangeNotifyFree(FILECHANGENOTIFY* notice);
BOOL SHInitDialog(SHINITDLGINFO* info);
BOOL SHSetAppKeyWndAssoc(BYTE key, HWND window);
BOOL SHDoneButton(HWND window, DWORD state);
LRESULT SHNotificationAdd(SHNOTIFICATIONDATA* data);
LRESULT SHNotificationRemove(const void* clsid, DWORD id);
BOOL SHGetSpecialFolderPath(HWND owner, LPWSTR path, int folder, BOOL create);
BOOL SipShowIM(DWORD flags);
BOOL SipGetInfo(SIPINFO* info);
BOOL RegisterHotKey(HWND window, int id, UINT modifiers, UINT key);
BOOL UnregisterHotKey(HWND window, int id);
BOOL UnregisterFunc1(UINT modifiers, UINT key);
HANDLE SetPowerRequirement(LPCWSTR device, int state, ULONG flags, void* system, ULONG reserved);
DWORD ReleasePowerRequirement(HANDLE request);
LONG ChangeDisplaySettingsEx(LPCWSTR device, DEVMODEW* mode, HWND window, DWORD flags, void* param);
HWND VoiceRecorder_Create(void* recorder);
LONG tapiRequestMakeCallW(LPCWSTR number, LPCWSTR appName, LPCWSTR calledParty, LPCWSTR comment);
HRESULT ConvertINetMultiByteToUnicode(DWORD* mode, DWORD codePage, LPCSTR source, int* sourceSize,
                                      LPWSTR dest, int* destSize);

// Internet functions; null or FALSE when missing.
HINTERNET InternetOpenA(const char* agent, DWORD accessType, const char* proxy, const char* bypass,
                        DWORD flags);
HINTERNET InternetConnectW(HINTERNET internet, LPCWSTR server, INTERNET_PORT port, LPCWSTR user,
                           LPCWSTR password, DWORD service, DWORD flags, DWORD_PTR context);
HINTERNET HttpOpenRequestW(HINTERNET connect, LPCWSTR verb, LPCWSTR object, LPCWSTR version,
                           LPCWSTR referrer, LPCWSTR* acceptTypes, DWORD flags, DWORD_PTR context);
BOOL HttpSendRequestW(HINTERNET request, LPCWSTR headers, DWORD headersLength, void* optional,
                      DWORD optionalLength);
BOOL HttpSendRequestExW(HINTERNET request, INTERNET_BUFFERSW* buffersIn,
                        INTERNET_BUFFERSW* buffersOut, DWORD flags, DWORD_PTR context);
BOOL HttpEndRequestW(HINTERNET request, INTERNET_BUFFERSW* buffersOut, DWORD flags,
                     DWORD_PTR context);
BOOL HttpQueryInfoW(HINTERNET request, DWORD level, void* buffer, DWORD* bufferLength,
                    DWORD* index);
BOOL InternetReadFile(HINTERNET file, void* buffer, DWORD toRead, DWORD* read);
HINTERNET InternetOpenUrlW(HINTERNET internet, LPCWSTR url, LPCWSTR headers, DWORD headersLength,
                           DWORD flags, DWORD_PTR context);
BOOL InternetCombineUrlW(LPCWSTR base, LPCWSTR relative, LPWSTR buffer, DWORD* bufferLength,
                         DWORD flags);
BOOL InternetCrackUrlW(LPCWSTR url, DWORD urlLength, DWORD flags, URL_COMPONENTSW* components);
BOOL InternetSetOptionW(HINTERNET internet, DWORD option, void* buffer, DWORD bufferLength);
BOOL InternetQueryOptionW(HINTERNET internet, DWORD option, void* buffer, DWORD* bufferLength);
BOOL InternetGetConnectedState(DWORD* flags, DWORD reserved);
BOOL InternetCloseHandle(HINTERNET internet);

// Dial-up functions; a missing one answers ERROR_PROC_NOT_FOUND, never success.
DWORD RasGetEntryDialParams(LPCWSTR phoneBook, RASDIALPARAMSW* params, BOOL* hasPassword);
DWORD RasDial(void* extensions, LPCWSTR phoneBook, RASDIALPARAMSW* params, DWORD notifierType,
              void* notifier, HRASCONN* connection);
DWORD RasHangUp(HRASCONN connection);
}  // namespace OptionalApi
