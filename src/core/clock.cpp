#include "core/clock.h"

#include "platform/kernel/kernel_clock.h"

uint32_t TickCount() {
    return GetTickCount();
}
