#include "platform/last_error.h"

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;
}

extern "C" DWORD GetLastError() {
    return t_lastError;
}
extern "C" void SetLastError(DWORD error) {
    t_lastError = error;
}
