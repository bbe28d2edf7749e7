#include "core/clock.h"

#include "platform/kernel/clock.h"

uint32_t TickCount() {
    return GetTickCount();
}
