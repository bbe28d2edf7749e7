// The area's URL helpers, shared by the exported functions and the HTTP requests.
#pragma once

#include <string>
#include <string_view>

#include "platform/inet/inet.h"

namespace fvt::inet {

// The parts of a URL as written (not decoded), with their offsets in it.
struct CrackedUrl {
    std::u16string scheme, host, user, password, path, extra;  // extra: "?query#fragment"
    int schemeNumber = INTERNET_SCHEME_UNKNOWN;
    INTERNET_PORT port = 0;  // the scheme's default when the URL gives none
    size_t hostOffset = 0, userOffset = 0, passwordOffset = 0, pathOffset = 0, extraOffset = 0;
};

// False (last error set) without a scheme, with a bad port, or for http(s) without a host.
bool Crack(std::u16string_view url, CrackedUrl& out);
// Resolves relative against base; false when the result has no scheme.
bool Combine(std::u16string_view base, std::u16string_view relative, DWORD flags,
             std::u16string& out);
// %XX escapes as UTF-8 bytes; malformed escapes stay as they are.
std::u16string PercentDecode(std::u16string_view s);
int SchemeNumber(std::u16string_view scheme);
INTERNET_PORT DefaultPort(int scheme);

}  // namespace fvt::inet
