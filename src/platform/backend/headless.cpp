// The headless display: the screen is the framebuffer; it is written as PNG on request, and
// when the program's loop ends if FOLIVANT_SCREENSHOT names a file.
#include <cstdlib>

#include "platform/gdi.h"
#include "platform/window/window_internal.h"
#include "platform/window/window_layer.h"

namespace fvt {

bool SaveScreenshot(const std::string& path) {
    win::RepaintDesktopNow();
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
