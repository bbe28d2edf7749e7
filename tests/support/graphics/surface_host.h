// A test host window for a DrawingSurface: it does what the main window procedure will do for
// the surface (paint, focus, capture, size, pen and keys), so tests drive the surface through
// the device layer's own input. Keys become events as the key tables will make them: the arrow
// keys carry key rows (arrow mode 0), Enter the Enter row, characters code 25.
#pragma once

#include "graphics/core/drawing_surface.h"
#include "platform/window/keys.h"
#include "support/platform/window_fixture.h"

namespace fvt::test {

// Key rows of the arrow keys (arrow mode 0) and of Enter, twelve columns each.
inline constexpr uint32_t kRowUp[kKeyRowColumns] = {0xc,   0xc,   1,     0x15,  0xc, 0x40e,
                                                    0x40e, 0x40e, 0x40c, 0x40c, 1,   1};
inline constexpr uint32_t kRowDown[kKeyRowColumns] = {0xb,   0xb,   2,     0x16,  0xb, 0x40d,
                                                      0x40d, 0x40d, 0x40b, 0x40b, 2,   2};
inline constexpr uint32_t kRowLeft[kKeyRowColumns] = {0xc, 0xc, 3, 0x16, 3, 3, 3, 3, 0xc, 0xc, 3, 3};
inline constexpr uint32_t kRowRight[kKeyRowColumns] = {0xb, 0xb, 4, 0x15, 4, 4, 4, 4, 0xb, 0xb, 4, 4};
inline constexpr uint32_t kRowEnter[kKeyRowColumns] = {0x1a, 0x17, 0x17, 0x1a, 0x17, 0x17,
                                                       0x17, 0x17, 0x17, 0x17, 0x1a, 0x17};

inline Handler SurfaceHost(DrawingSurface* surface) {
    return [surface](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) -> LRESULT {
        handled = true;
        if (surface->OnWindowMessage(msg, wParam, lParam)) return 0;
        switch (msg) {
            case WM_KEYDOWN: {
                InputEvent e;
                switch (wParam) {
                    case VK_UP: e = InputEvent::Row(kRowUp); break;
                    case VK_DOWN: e = InputEvent::Row(kRowDown); break;
                    case VK_LEFT: e = InputEvent::Row(kRowLeft); break;
                    case VK_RIGHT: e = InputEvent::Row(kRowRight); break;
                    case VK_RETURN: e = InputEvent::Row(kRowEnter); break;
                    case VK_TAB: e = InputEvent::Key(kKeyTab + kKeyPageDown); break;
                    default: return 0;
                }
                surface->HandleEvent(e);
                return 0;
            }
            case WM_CHAR:
                if (wParam > 32) {
                    InputEvent e = InputEvent::Key(kKeyCharacter, kNoCommand,
                                                   static_cast<uint16_t>(wParam));
                    surface->HandleEvent(e);
                }
                return 0;
            default:
                break;
        }
        handled = false;
        (void)hwnd;
        return 0;
    };
}

}  // namespace fvt::test
