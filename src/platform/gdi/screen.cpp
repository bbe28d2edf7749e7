// The screen: size and resolution, device capabilities, system colours.
#include "platform/gdi/screen.h"

#include <cstdint>
#include <cstdlib>
#include <mutex>

#include "platform/gdi/gdi_api.h"
#include "platform/gdi/gdi_layer.h"
#include "platform/gdi/gdi_object.h"
#include "platform/kernel/device.h"
#include "platform/last_error.h"

namespace gdi {

namespace {

struct ScreenState {
    std::mutex mutex;
    std::shared_ptr<Surface> surface;
    std::uint64_t generation = 0;
    // A size set by rotation, valid for the device generation it was set in.
    bool rotated = false;
    std::uint64_t rotatedGeneration = 0;
    int width = 0;
    int height = 0;
};

ScreenState& State() {
    static ScreenState* state = new ScreenState();
    return *state;
}

}  // namespace

namespace {
// The device's screen size, or the size it was turned to; under the state's lock.
void ScreenSize(const fvt::DeviceProfile& p, const ScreenState& st, int& width, int& height) {
    const bool turned = st.rotated && st.rotatedGeneration == fvt::DeviceGeneration();
    width = turned ? st.width : p.screenWidth;
    height = turned ? st.height : p.screenHeight;
}
}  // namespace

ScreenInfo CurrentScreen() {
    const fvt::DeviceProfile& p = fvt::Profile();
    ScreenInfo s;
    s.logPixels = p.dpi;
    // The depth the device reports; its pixels are stored as Xrgb32 whatever it is.
    int depth = std::atoi(p.Value("depth", "16").c_str());
    if (depth == 8 || depth == 16 || depth == 24 || depth == 32) s.bitsPerPixel = depth;
    ScreenState& st = State();
    std::lock_guard<std::mutex> lock(st.mutex);
    ScreenSize(p, st, s.width, s.height);
    return s;
}

// Asked for at every paint: the size alone decides, not the rest of the screen's description.
std::shared_ptr<Surface> ScreenSurface() {
    const fvt::DeviceProfile& p = fvt::Profile();
    std::uint64_t generation = fvt::DeviceGeneration();
    ScreenState& st = State();
    std::lock_guard<std::mutex> lock(st.mutex);
    int width, height;
    ScreenSize(p, st, width, height);
    if (!st.surface || st.generation != generation || st.surface->Width() != width ||
        st.surface->Height() != height) {
        st.surface = Surface::Create(width, height, PixelFormat::Xrgb32);
        if (st.surface) st.surface->AllowDeferredCopies();
        st.generation = generation;
    }
    return st.surface;
}

}  // namespace gdi

using namespace gdi;

std::shared_ptr<Surface> GdiScreenSurface() {
    return ScreenSurface();
}

BOOL GdiSetScreenSize(int width, int height) {
    if (width < 16 || height < 16 || width > 4096 || height > 4096) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ScreenState& st = State();
    std::lock_guard<std::mutex> lock(st.mutex);
    st.rotated = true;
    st.rotatedGeneration = fvt::DeviceGeneration();
    st.width = width;
    st.height = height;
    return TRUE;
}

int GetDeviceCaps(HDC dc, int index) {
    if (!LookupDc(dc)) return 0;
    ScreenInfo s = CurrentScreen();
    switch (index) {
        case DRIVERVERSION:
            return 0x400;
        case TECHNOLOGY:
            return DT_RASDISPLAY;
        case HORZSIZE:
            return s.width * 254 / (s.logPixels * 10);
        case VERTSIZE:
            return s.height * 254 / (s.logPixels * 10);
        case HORZRES:
            return s.width;
        case VERTRES:
            return s.height;
        case BITSPIXEL:
            return s.bitsPerPixel;
        case PLANES:
            return 1;
        case NUMCOLORS:
            return s.bitsPerPixel <= 8 ? 1 << s.bitsPerPixel : -1;
        case RASTERCAPS:
            return RC_BITBLT | RC_STRETCHBLT;
        case LOGPIXELSX:
        case LOGPIXELSY:
            return s.logPixels;
        case SIZEPALETTE:
            return 0;
        default:
            return 0;
    }
}

COLORREF GetSysColor(int index) {
    static const COLORREF kColors[] = {
        RGB(192, 192, 192),  // scroll bar
        RGB(0, 128, 128),    // background
        RGB(0, 0, 128),      // active caption
        RGB(128, 128, 128),  // inactive caption
        RGB(255, 255, 255),  // menu
        RGB(255, 255, 255),  // window
        RGB(0, 0, 0),        // window frame
        RGB(0, 0, 0),        // menu text
        RGB(0, 0, 0),        // window text
        RGB(255, 255, 255),  // caption text
        RGB(192, 192, 192),  // active border
        RGB(192, 192, 192),  // inactive border
        RGB(128, 128, 128),  // application workspace
        RGB(0, 0, 128),      // highlight
        RGB(255, 255, 255),  // highlight text
        RGB(192, 192, 192),  // button face
        RGB(128, 128, 128),  // button shadow
        RGB(128, 128, 128),  // grey text
        RGB(0, 0, 0),        // button text
        RGB(192, 192, 192),  // inactive caption text
        RGB(255, 255, 255),  // button highlight
        RGB(0, 0, 0),        // 3D dark shadow
        RGB(223, 223, 223),  // 3D light
        RGB(0, 0, 0),        // tooltip text
        RGB(255, 255, 225),  // tooltip background
        RGB(192, 192, 192),  // static
        RGB(0, 0, 0),        // static text
        RGB(16, 132, 208),   // active caption gradient
        RGB(181, 181, 181),  // inactive caption gradient
    };
    index &= ~SYS_COLOR_INDEX_FLAG;
    if (index < 0 || index >= static_cast<int>(sizeof(kColors) / sizeof(kColors[0]))) return 0;
    return kColors[index];
}
