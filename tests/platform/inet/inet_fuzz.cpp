// Arbitrary bytes as a server's response and as URLs. Whatever the input: no read outside it,
// a body never longer than what was sent, parts of a cracked URL inside the URL, and a combined
// URL that cracks again.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/inet/inet.h"
#include "platform/inet/internet_object.h"
#include "platform/inet/url.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void CheckPart(const std::u16string& url, LPWSTR part, DWORD length) {
    if (!part) return;
    Check(part >= url.data() && part + length <= url.data() + url.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    int status = 0;
    std::string body;
    if (fvt::inet::ReadResponseBytes(bytes, data[0] & 1, status, body)) {
        Check(status >= 200 && status <= 999);
        Check(body.size() <= bytes.size());
        if (data[0] & 1) Check(body.empty());
    }
    // The same bytes as two URLs, split where the first byte says.
    std::u16string text(bytes.begin(), bytes.end());
    size_t cut = text.empty() ? 0 : data[0] % (text.size() + 1);
    std::u16string base = text.substr(0, cut), relative = text.substr(cut);
    for (const std::u16string& url : {base, relative}) {
        URL_COMPONENTSW c{};
        c.dwStructSize = sizeof c;
        c.dwSchemeLength = c.dwHostNameLength = c.dwUserNameLength = c.dwPasswordLength =
            c.dwUrlPathLength = c.dwExtraInfoLength = 1;
        if (InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &c)) {
            CheckPart(url, c.lpszScheme, c.dwSchemeLength);
            CheckPart(url, c.lpszHostName, c.dwHostNameLength);
            CheckPart(url, c.lpszUserName, c.dwUserNameLength);
            CheckPart(url, c.lpszPassword, c.dwPasswordLength);
            CheckPart(url, c.lpszUrlPath, c.dwUrlPathLength);
            CheckPart(url, c.lpszExtraInfo, c.dwExtraInfoLength);
        }
    }
    std::u16string combined;
    if (base.find(u'\0') == std::u16string::npos && relative.find(u'\0') == std::u16string::npos &&
        fvt::inet::Combine(base, relative, data[0] & 0x70 ? ICU_NO_ENCODE : 0, combined)) {
        fvt::inet::CrackedUrl parts;
        Check(!combined.empty());
        // A result always has a scheme, though its authority may be refused (a bad port).
        Check(combined.find(u':') != std::u16string::npos);
        fvt::inet::Crack(combined, parts);
    }
    return 0;
}
