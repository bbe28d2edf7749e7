#include "core/platform_helpers.h"

#include "platform/gdi/gdi_api.h"
#include "platform/gdi/gdi_types.h"
#include "platform/kernel/device.h"
#include "platform/kernel/system_time.h"

int GetProgramLanguage() { return (GetSystemDefaultLangID() & 0x3FF) == 0x0C ? 12 : 9; }

int GetPlatformType() {
    const std::u16string& type = fvt::Profile().platformType;
    if (type.empty()) return 0;
    if (type[0] == u'P') return 1;
    if (type[0] == u'S') return 2;
    return 0;
}

bool GetOsVersion(uint32_t& major, uint32_t& minor) {
    major = fvt::Profile().osMajor;
    minor = fvt::Profile().osMinor;
    return true;
}

bool IsOsVersionAtLeast51() {
    uint32_t major, minor;
    return GetOsVersion(major, minor) && major * 100 + minor >= 501;
}

namespace {
int ScreenCaps(int index) {
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return 0;
    int v = GetDeviceCaps(dc, index);
    DeleteDC(dc);
    return v;
}
}  // namespace

bool IsHighResolution() { return ScreenCaps(LOGPIXELSX) >= 130; }

int32_t CheckDisplayDepth(int32_t value) {
    int bits = ScreenCaps(BITSPIXEL);
    return (bits == 8 || bits == 16 || bits == 24 || bits == 32) ? value : 0;
}

int Screen::SizeClass(int32_t width, int32_t height) {
    if (width < 240 || height < 240) return 0;
    int32_t small = width < height ? width : height;
    int32_t large = width < height ? height : width;
    if (small >= 480 && large >= 640) return 2;
    return 1;
}
