// Questions about the device and small actions on it.
#pragma once

#include <cstdint>

#include "core/geometry.h"

// The program language: 12 when the system default language is French, else 9.
int GetProgramLanguage();
// 1 Pocket PC, 2 Smartphone, 0 neither.
int GetPlatformType();
// The OS version; false (nothing written) when it cannot be read.
bool GetOsVersion(uint32_t& major, uint32_t& minor);
bool IsOsVersionAtLeast51();

// True when the screen has 130 or more dots per inch (LOGPIXELSX).
bool IsHighResolution();
// The value when the screen has 8, 16, 24 or 32 bits per pixel, else 0.
int32_t CheckDisplayDepth(int32_t value);

namespace Screen {
// 0 when either side is below 240; 2 from 480x640 (either way round); else 1.
int SizeClass(int32_t width, int32_t height);
}  // namespace Screen
