#include "platform/window/cursor.h"

#include <atomic>

#include "platform/last_error.h"

namespace {

// Two system cursors, told apart by address; they are never drawn as icons.
struct SystemCursor {
    WORD id;
};
const SystemCursor kArrow{IDC_ARROW_ID};
const SystemCursor kWait{IDC_WAIT_ID};

HCURSOR Handle(const SystemCursor& cursor) {
    return reinterpret_cast<HCURSOR>(const_cast<SystemCursor*>(&cursor));
}

// The program sets cursors from its GUI thread only, but a backend may read it from another.
std::atomic<HCURSOR> g_current{Handle(kArrow)};

}  // namespace

extern "C" HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
    const auto id = reinterpret_cast<std::uintptr_t>(name);
    if (!instance && id == IDC_ARROW_ID) return Handle(kArrow);
    if (!instance && id == IDC_WAIT_ID) return Handle(kWait);
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

extern "C" HCURSOR SetCursor(HCURSOR cursor) { return g_current.exchange(cursor); }

extern "C" HCURSOR GetCursor() { return g_current.load(); }

bool fvt::WaitCursorShown() { return g_current.load() == Handle(kWait); }
