// Milliseconds since start-up, from the device's tick count.
#pragma once

#include <cstdint>

uint32_t TickCount();
