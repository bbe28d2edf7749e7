// The device's internet functions (the "wininet.dll" pseudo-module) and its dial-up functions
// ("ras.dll"). HTTP/1.1 over plain sockets: there is no TLS on this device, so a request opened
// with INTERNET_FLAG_SECURE is refused with ERROR_INTERNET_SECURITY_CHANNEL_ERROR. Redirects are
// never followed here; the caller sees the 3xx status and decides.
//
// Handles are tokens, never reused, so a stale or twice-closed handle fails cleanly. Closing a
// request from another thread makes a read blocked on it fail with
// ERROR_INTERNET_OPERATION_CANCELLED; closing a session or connection closes what hangs below it.
//
// Profile keys: internet = lan | modem | proxy | offline (InternetGetConnectedState; offline
// also fails every send), dialup = entry;entry (phone-book entries that have saved dial
// parameters; none by default), dialup_result = 0 (what RasDial returns).
#pragma once

#include <cstdint>

#include "platform/last_error.h"
#include "platform/types.h"

using HINTERNET = void*;
using INTERNET_PORT = WORD;
FVT_DECLARE_HANDLE(HRASCONN);

// Schemes as cracked (nScheme).
constexpr int INTERNET_SCHEME_UNKNOWN = -1;
constexpr int INTERNET_SCHEME_FTP = 1;
constexpr int INTERNET_SCHEME_GOPHER = 2;
constexpr int INTERNET_SCHEME_HTTP = 3;
constexpr int INTERNET_SCHEME_HTTPS = 4;
constexpr int INTERNET_SCHEME_FILE = 5;
constexpr int INTERNET_SCHEME_NEWS = 6;
constexpr int INTERNET_SCHEME_MAILTO = 7;
constexpr int INTERNET_SCHEME_SOCKS = 8;

constexpr DWORD INTERNET_OPEN_TYPE_PRECONFIG = 0;
constexpr DWORD INTERNET_OPEN_TYPE_DIRECT = 1;
constexpr DWORD INTERNET_OPEN_TYPE_PROXY = 3;

constexpr DWORD INTERNET_SERVICE_FTP = 1;
constexpr DWORD INTERNET_SERVICE_GOPHER = 2;
constexpr DWORD INTERNET_SERVICE_HTTP = 3;

constexpr DWORD INTERNET_FLAG_NO_AUTO_REDIRECT = 0x00200000;
constexpr DWORD INTERNET_FLAG_KEEP_CONNECTION = 0x00400000;
constexpr DWORD INTERNET_FLAG_SECURE = 0x00800000;

// InternetCrackUrlW and InternetCombineUrlW.
constexpr DWORD ICU_ESCAPE = 0x80000000;
constexpr DWORD ICU_NO_ENCODE = 0x20000000;
constexpr DWORD ICU_DECODE = 0x10000000;
constexpr DWORD ICU_BROWSER_MODE = 0x02000000;

// HttpQueryInfoW levels; the number flag asks for a DWORD instead of text.
constexpr DWORD HTTP_QUERY_CONTENT_TYPE = 1;
constexpr DWORD HTTP_QUERY_CONTENT_LENGTH = 5;
constexpr DWORD HTTP_QUERY_STATUS_CODE = 19;
constexpr DWORD HTTP_QUERY_LOCATION = 33;
constexpr DWORD HTTP_QUERY_CONTENT_DISPOSITION = 47;
constexpr DWORD HTTP_QUERY_FLAG_NUMBER = 0x20000000;

// Options.
constexpr DWORD INTERNET_OPTION_CONNECT_TIMEOUT = 2;
constexpr DWORD INTERNET_OPTION_SEND_TIMEOUT = 5;
constexpr DWORD INTERNET_OPTION_RECEIVE_TIMEOUT = 6;
constexpr DWORD INTERNET_OPTION_SECURITY_FLAGS = 31;
constexpr DWORD INTERNET_OPTION_PROXY = 38;
constexpr DWORD INTERNET_OPTION_PROXY_USERNAME = 43;
constexpr DWORD INTERNET_OPTION_PROXY_PASSWORD = 44;

constexpr DWORD INTERNET_CONNECTION_MODEM = 1;
constexpr DWORD INTERNET_CONNECTION_LAN = 2;
constexpr DWORD INTERNET_CONNECTION_PROXY = 4;

constexpr DWORD ERROR_INTERNET_TIMEOUT = 12002;
constexpr DWORD ERROR_INTERNET_INVALID_URL = 12005;
constexpr DWORD ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006;
constexpr DWORD ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
constexpr DWORD ERROR_INTERNET_INVALID_OPTION = 12009;
constexpr DWORD ERROR_INTERNET_OPERATION_CANCELLED = 12017;
constexpr DWORD ERROR_INTERNET_INCORRECT_HANDLE_TYPE = 12018;
constexpr DWORD ERROR_INTERNET_INCORRECT_HANDLE_STATE = 12019;
constexpr DWORD ERROR_INTERNET_CANNOT_CONNECT = 12029;
constexpr DWORD ERROR_INTERNET_CONNECTION_RESET = 12031;
constexpr DWORD ERROR_HTTP_HEADER_NOT_FOUND = 12150;
constexpr DWORD ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;
constexpr DWORD ERROR_INTERNET_SECURITY_CHANNEL_ERROR = 12157;
constexpr DWORD ERROR_INTERNET_DISCONNECTED = 12163;

// RAS errors.
constexpr DWORD ERROR_CANNOT_FIND_PHONEBOOK_ENTRY = 623;
constexpr DWORD ERROR_NO_CONNECTION = 668;

// A part given with a null pointer and a non-zero length is returned as a pointer into the URL
// and its length; a part given with a buffer is copied there (length in characters, terminator
// included on entry, excluded on return). A zero length skips the part.
struct URL_COMPONENTSW {
    DWORD dwStructSize;
    LPWSTR lpszScheme;
    DWORD dwSchemeLength;
    int nScheme;
    LPWSTR lpszHostName;
    DWORD dwHostNameLength;
    INTERNET_PORT nPort;
    LPWSTR lpszUserName;
    DWORD dwUserNameLength;
    LPWSTR lpszPassword;
    DWORD dwPasswordLength;
    LPWSTR lpszUrlPath;
    DWORD dwUrlPathLength;
    LPWSTR lpszExtraInfo;
    DWORD dwExtraInfoLength;
};

struct INTERNET_BUFFERSW {
    DWORD dwStructSize;
    INTERNET_BUFFERSW* Next;
    LPCWSTR lpcszHeader;
    DWORD dwHeadersLength;
    DWORD dwHeadersTotal;
    LPVOID lpvBuffer;
    DWORD dwBufferLength;
    DWORD dwBufferTotal;
    DWORD dwOffsetLow;
    DWORD dwOffsetHigh;
};

struct INTERNET_PROXY_INFO {
    DWORD dwAccessType;
    LPCWSTR lpszProxy;
    LPCWSTR lpszProxyBypass;
};

struct RASDIALPARAMSW {
    DWORD dwSize;
    WCHAR szEntryName[21];
    WCHAR szPhoneNumber[129];
    WCHAR szCallbackNumber[49];
    WCHAR szUserName[257];
    WCHAR szPassword[257];
    WCHAR szDomain[16];
};

extern "C" {
HINTERNET InternetOpenA(const char* agent, DWORD accessType, const char* proxy, const char* bypass,
                        DWORD flags);
HINTERNET InternetConnectW(HINTERNET internet, LPCWSTR server, INTERNET_PORT port, LPCWSTR user,
                           LPCWSTR password, DWORD service, DWORD flags, DWORD_PTR context);
HINTERNET HttpOpenRequestW(HINTERNET connect, LPCWSTR verb, LPCWSTR object, LPCWSTR version,
                           LPCWSTR referrer, LPCWSTR* acceptTypes, DWORD flags, DWORD_PTR context);
BOOL HttpSendRequestW(HINTERNET request, LPCWSTR headers, DWORD headersLength, void* optional,
                      DWORD optionalLength);
// Sends the request with the buffers' body; HttpEndRequestW then reads the response head.
BOOL HttpSendRequestExW(HINTERNET request, INTERNET_BUFFERSW* buffersIn,
                        INTERNET_BUFFERSW* buffersOut, DWORD flags, DWORD_PTR context);
BOOL HttpEndRequestW(HINTERNET request, INTERNET_BUFFERSW* buffersOut, DWORD flags,
                     DWORD_PTR context);
BOOL HttpQueryInfoW(HINTERNET request, DWORD level, void* buffer, DWORD* bufferLength,
                    DWORD* index);
// TRUE with 0 bytes at the end of the body; a body cut short by the server fails with
// ERROR_INTERNET_CONNECTION_RESET.
BOOL InternetReadFile(HINTERNET file, void* buffer, DWORD toRead, DWORD* read);
// "file:" URLs (device files) and "http:" URLs (a GET).
HINTERNET InternetOpenUrlW(HINTERNET internet, LPCWSTR url, LPCWSTR headers, DWORD headersLength,
                           DWORD flags, DWORD_PTR context);
// Lengths in characters: the buffer's capacity with the terminator on entry; the characters
// written on success; the capacity needed (terminator included) with ERROR_INSUFFICIENT_BUFFER.
BOOL InternetCombineUrlW(LPCWSTR base, LPCWSTR relative, LPWSTR buffer, DWORD* bufferLength,
                         DWORD flags);
BOOL InternetCrackUrlW(LPCWSTR url, DWORD urlLength, DWORD flags, URL_COMPONENTSW* components);
BOOL InternetSetOptionW(HINTERNET internet, DWORD option, void* buffer, DWORD bufferLength);
BOOL InternetQueryOptionW(HINTERNET internet, DWORD option, void* buffer, DWORD* bufferLength);
BOOL InternetGetConnectedState(DWORD* flags, DWORD reserved);
BOOL InternetCloseHandle(HINTERNET internet);

DWORD RasGetEntryDialParams(LPCWSTR phoneBook, RASDIALPARAMSW* params, BOOL* hasPassword);
// Synchronous only (no notifier). A failed dial still hands back a connection to hang up.
DWORD RasDial(void* extensions, LPCWSTR phoneBook, RASDIALPARAMSW* params, DWORD notifierType,
              void* notifier, HRASCONN* connection);
DWORD RasHangUp(HRASCONN connection);
}

namespace fvt {
// Open internet handles and dial-up connections (for tests that check nothing is left behind).
size_t OpenInternetHandleCount();
size_t OpenRasConnectionCount();
}  // namespace fvt
