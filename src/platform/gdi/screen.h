// The emulated device's screen, from the device profile: its size, resolution and reported
// depth, and the framebuffer every window DC draws into.
#pragma once

#include <memory>

#include "platform/gdi/surface.h"

namespace gdi {

struct ScreenInfo {
    int width = 240;
    int height = 320;
    int logPixels = 96;
    int bitsPerPixel = 16;  // what the device reports; pixels are stored as Xrgb32
};

ScreenInfo CurrentScreen();
std::shared_ptr<Surface> ScreenSurface();

}  // namespace gdi
