// Dial-up connections. The profile says which phone-book entries have saved parameters
// ("dialup = folv") and what a dial returns ("dialup_result = 0"); nothing is dialled.
#include <algorithm>
#include <mutex>
#include <set>
#include <sstream>

#include "platform/inet/inet.h"
#include "platform/kernel/device.h"
#include "platform/kernel/wide.h"
#include "platform/last_error.h"

namespace {

struct RasState {
    std::mutex lock;
    std::set<uintptr_t> connections;
    uintptr_t next = 0x20000;
};

RasState& Ras() {
    static RasState* s = new RasState;
    return *s;
}

bool HasEntry(std::u16string_view name) {
    std::stringstream entries(fvt::Profile().Value("dialup"));
    std::string entry;
    while (std::getline(entries, entry, ';')) {
        entry.erase(0, entry.find_first_not_of(' '));
        entry.erase(entry.find_last_not_of(' ') + 1);
        if (!entry.empty() && fvt::EqualsNoCase(fvt::Utf8ToWide(entry), name)) return true;
    }
    return false;
}

}  // namespace

extern "C" DWORD RasGetEntryDialParams(LPCWSTR, RASDIALPARAMSW* params, BOOL* hasPassword) {
    if (!params || params->dwSize != sizeof(RASDIALPARAMSW)) return ERROR_INVALID_PARAMETER;
    params->szEntryName[20] = 0;
    if (!HasEntry(fvt::WideView(params->szEntryName))) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    if (hasPassword) *hasPassword = FALSE;
    return ERROR_SUCCESS;
}

extern "C" DWORD RasDial(void*, LPCWSTR, RASDIALPARAMSW* params, DWORD, void* notifier,
                         HRASCONN* connection) {
    if (!params || !connection || params->dwSize != sizeof(RASDIALPARAMSW)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (notifier) return ERROR_NOT_SUPPORTED;  // only synchronous dials are made here
    RasState& s = Ras();
    {
        std::lock_guard<std::mutex> l(s.lock);
        uintptr_t id = s.next++;
        s.connections.insert(id);
        *connection = reinterpret_cast<HRASCONN>(id);
    }
    params->szEntryName[20] = 0;
    if (!HasEntry(fvt::WideView(params->szEntryName))) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    std::string result = fvt::Profile().Value("dialup_result", "0");
    char* end = nullptr;
    unsigned long code = std::strtoul(result.c_str(), &end, 10);
    return end && *end == 0 ? static_cast<DWORD>(code) : ERROR_INVALID_PARAMETER;
}

extern "C" DWORD RasHangUp(HRASCONN connection) {
    RasState& s = Ras();
    std::lock_guard<std::mutex> l(s.lock);
    return s.connections.erase(reinterpret_cast<uintptr_t>(connection)) ? ERROR_SUCCESS
                                                                        : ERROR_NO_CONNECTION;
}

namespace fvt {
size_t OpenRasConnectionCount() {
    RasState& s = Ras();
    std::lock_guard<std::mutex> l(s.lock);
    return s.connections.size();
}
}  // namespace fvt
