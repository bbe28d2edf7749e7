// The headless display: the screen is the framebuffer; it is written as PNG on request, and
// when the program's loop ends if FOLIVANT_SCREENSHOT names a file.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/backend/display_module.h"
#include "platform/gdi.h"
#include "platform/window/window_internal.h"
#include "platform/window/window_layer.h"

namespace fvt {
namespace {

const FvtDisplayModule* g_display = nullptr;

std::string ProgramFolder() {
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (n <= 0 || n >= static_cast<ssize_t>(sizeof buffer)) return {};
    std::string path(buffer, static_cast<std::size_t>(n));
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The window module from the program folder (else the build folder); null when there is none or
// it does not fit, which leaves the run headless.
const FvtDisplayModule* LoadDisplayModule() {
    std::string folders[] = {ProgramFolder(),
#ifdef FVT_DISPLAY_MODULE_DIR
                             FVT_DISPLAY_MODULE_DIR
#endif
    };
    for (const std::string& folder : folders) {
        if (folder.empty()) continue;
        std::string path = folder + "/" FVT_DISPLAY_MODULE_FILE;
        if (access(path.c_str(), F_OK) != 0) continue;
        void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            // Present but unusable (SDL2 missing, a stale build): say why rather than go quiet.
            const char* why = dlerror();
            std::fprintf(stderr, "folivant: no window: %s\n", why ? why : path.c_str());
            continue;
        }
        auto entry =
            reinterpret_cast<FvtDisplayModuleEntry>(dlsym(library, FVT_DISPLAY_MODULE_ENTRY));
        const FvtDisplayModule* module = entry ? entry() : nullptr;
        if (module && module->version == kFvtDisplayModuleVersion) return module;
        dlclose(library);
    }
    return nullptr;
}

}  // namespace

bool UseDisplayFromEnvironment() {
    const char* chosen = std::getenv("FOLIVANT_DISPLAY");
    std::string want = chosen ? chosen : "";
    if (want == "headless") return false;
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (want != "sdl" && !(x && *x) && !(wayland && *wayland)) return false;
    if (!g_display) g_display = LoadDisplayModule();
    return g_display && g_display->start();
}

// Whether a window shows the screen (dialog answers come from the user then).
bool SdlDisplayActive() {
    return g_display && g_display->active();
}

bool SaveScreenshot(const std::string& path) {
    win::RepaintDesktopNow();
    // What the window shows, when there is one.
    if (g_display && g_display->active()) return g_display->saveScreenshot(path.c_str());
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
