// The screen: size and resolution, device capabilities, system colours.
#include "platform/gdi/screen.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/gdi/gdi_api.h"
#include "platform/gdi/gdi_layer.h"
#include "platform/gdi/gdi_object.h"
#include "platform/last_error.h"

namespace gdi {

ScreenInfo CurrentScreen() {
    static const ScreenInfo info = [] {
        ScreenInfo s;
        // "WIDTHxHEIGHT@DPI", e.g. 480x640@192 for a high-resolution device.
        if (const char* v = std::getenv("FOLIVANT_SCREEN")) {
            int w = 0, h = 0, dpi = 96;
            int n = std::sscanf(v, "%dx%d@%d", &w, &h, &dpi);
            if (n >= 2 && w >= 16 && h >= 16 && w <= 4096 && h <= 4096) {
                s.width = w;
                s.height = h;
                if (n == 3 && dpi >= 48 && dpi <= 600) s.logPixels = dpi;
            }
        }
        return s;
    }();
    return info;
}

std::shared_ptr<Surface> ScreenSurface() {
    static std::once_flag once;
    static std::shared_ptr<Surface>* screen = nullptr;
    std::call_once(once, [] {
        ScreenInfo s = CurrentScreen();
        screen =
            new std::shared_ptr<Surface>(Surface::Create(s.width, s.height, PixelFormat::Xrgb32));
    });
    return *screen;
}

}  // namespace gdi

using namespace gdi;

std::shared_ptr<Surface> GdiScreenSurface() {
    return ScreenSurface();
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
