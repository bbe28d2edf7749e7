// The window back end is a module of its own (every sdl_*.cpp of this folder, linked with SDL2),
// loaded from the program folder only when a window is asked for or a display is found, so that
// headless runs and the tools map no display library. The module reaches the layer through the
// program's exported symbols; the layer reaches the module through this one table. Other parts of
// the module (sound, ...) register with the layer from their static initialisers, which run when
// the module is loaded.
#pragma once

#define FVT_DISPLAY_MODULE_FILE "folivant-display.so"
#define FVT_DISPLAY_MODULE_ENTRY "fvt_display_module"

extern "C" {

constexpr int kFvtDisplayModuleVersion = 1;

struct FvtDisplayModule {
    int version;
    // Opens the window; false when the display cannot be used.
    bool (*start)();
    bool (*active)();
    // What the window shows, as PNG in device pixels.
    bool (*saveScreenshot)(const char* path);
};

// Exported by the module under FVT_DISPLAY_MODULE_ENTRY.
using FvtDisplayModuleEntry = const FvtDisplayModule* (*)();
}
