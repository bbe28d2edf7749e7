// The headless display: the screen is the framebuffer; it is written as PNG on request, and
// when the program's loop ends if FOLIVANT_SCREENSHOT names a file.
#include <cstdlib>
#include <string>

#include "platform/gdi.h"
#include "platform/window/window_internal.h"
#include "platform/window/window_layer.h"

namespace fvt {
#ifdef FVT_HAVE_SDL
bool StartSdlDisplay();
bool SdlDisplayActive();
bool SaveSdlScreenshot(const std::string& path);
#endif

bool UseDisplayFromEnvironment() {
    const char* chosen = std::getenv("FOLIVANT_DISPLAY");
    std::string want = chosen ? chosen : "";
    if (want == "headless") return false;
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (want != "sdl" && !(x && *x) && !(wayland && *wayland)) return false;
#ifdef FVT_HAVE_SDL
    return StartSdlDisplay();
#else
    return false;
#endif
}

bool SaveScreenshot(const std::string& path) {
    win::RepaintDesktopNow();
#ifdef FVT_HAVE_SDL
    // What the window shows, when there is one.
    if (SdlDisplayActive()) return SaveSdlScreenshot(path);
#endif
    auto surface = GdiScreenSurface();
    return surface && !path.empty() && GdiSaveSurfacePng(*surface, path.c_str());
}

}  // namespace fvt

namespace fvt::win {
void SetQuitHook(std::function<void()> hook);
}

extern "C" void fvt_backend_anchor() {}

namespace {
struct ScreenshotAtExit {
    ScreenshotAtExit() {
        fvt::win::SetQuitHook([] {
            const char* path = std::getenv("FOLIVANT_SCREENSHOT");
            if (path && *path) fvt::SaveScreenshot(path);
        });
    }
} g_screenshotAtExit;
}  // namespace
