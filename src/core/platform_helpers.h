// Questions about the device and small actions on it.
#pragma once

#include <cstdint>

#include "core/geometry.h"

// 1 Pocket PC, 2 Smartphone, 0 neither.
int GetPlatformType();
// The OS version; false (nothing written) when it cannot be read.
bool GetOsVersion(uint32_t& major, uint32_t& minor);
bool IsOsVersionAtLeast51();

namespace Screen {
// 0 when either side is below 240; 2 from 480x640 (either way round); else 1.
int SizeClass(int32_t width, int32_t height);
}  // namespace Screen
