// The SDL2 display: shows the device screen scaled up by a whole factor, turns the mouse into
// the pen and the keyboard into the device's keys. Runs on the window thread, from the queue's
// idle moments.
#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/backend/display_module.h"
#include "platform/backend/sdl_audio.h"
#include "platform/gdi.h"
#include "platform/kernel/wide.h"
#include "platform/shell/shell.h"
#include "platform/window/keys.h"
#include "platform/window/window_internal.h"
#include "platform/window/window_layer.h"

namespace fvt::win {
void SetIdleHook(std::function<bool()> hook);
}

namespace {

SDL_Window* g_window = nullptr;
SDL_Renderer* g_renderer = nullptr;
SDL_Texture* g_texture = nullptr;
int g_scale = 2, g_w = 0, g_h = 0;
bool g_penDown = false;
// What the window shows: the screen surface and its count of changes when it was last shown.
const gdi::Surface* g_shownSurface = nullptr;
std::uint64_t g_shownChanges = 0;
bool g_exposed = true;  // the window system lost what the window showed
Uint32 g_wakeEvent = 0;
// A key that may type waits for the text the window system makes of it, so that the key and its
// character (punctuation, a shifted key, an accented letter) reach the program as one press.
UINT g_keyAwaitingText = 0;

// Keys that are commands, never text: they go on at once.
bool IsCommandKey(UINT vk) {
    switch (vk) {
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
        case VK_RETURN:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_HOME:
        case VK_END:
        case VK_DELETE:
        case VK_ESCAPE:
        case VK_BACK:
        case VK_TAB:
        case VK_F1:
        case VK_F2:
        case VK_LSHIFT:
        case VK_RSHIFT:
        case VK_LCONTROL:
        case VK_RCONTROL:
            return true;
    }
    return vk >= 0xC1 && vk <= 0xCF;  // the hardware buttons
}

void SendAwaitingKey(WCHAR character) {
    if (!g_keyAwaitingText) return;
    fvt::KeyDown(g_keyAwaitingText, character);
    g_keyAwaitingText = 0;
}

// Text from the window system's text input, as UTF-16 units; the first goes with the key that
// typed it, any more (an input method's word) as characters of their own.
void TypeText(const char* utf8) {
    const std::u16string units = fvt::Utf8ToWide(utf8);
    if (units.empty()) return;
    size_t from = 0;
    if (g_keyAwaitingText) {
        SendAwaitingKey(units[0]);
        from = 1;
    }
    for (size_t i = from; i < units.size(); ++i) fvt::Character(units[i]);
}

UINT MapKey(SDL_Keycode k) {
    switch (k) {
        case SDLK_LEFT:
            return VK_LEFT;
        case SDLK_RIGHT:
            return VK_RIGHT;
        case SDLK_UP:
            return VK_UP;
        case SDLK_DOWN:
            return VK_DOWN;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return VK_RETURN;
        case SDLK_PAGEUP:
            return VK_PRIOR;
        case SDLK_PAGEDOWN:
            return VK_NEXT;
        case SDLK_HOME:
            return VK_HOME;
        case SDLK_END:
            return VK_END;
        case SDLK_DELETE:
            return VK_DELETE;
        case SDLK_MINUS:
        case SDLK_KP_MINUS:
            return VK_OEM_MINUS;
        case SDLK_PLUS:
        case SDLK_EQUALS:
        case SDLK_KP_PLUS:
            return VK_OEM_PLUS;
        case SDLK_KP_MULTIPLY:
            return VK_F8;
        case SDLK_ESCAPE:
            return VK_ESCAPE;  // Back
        case SDLK_BACKSPACE:
            return VK_BACK;
        case SDLK_TAB:
            return VK_TAB;
        case SDLK_F1:
            return VK_F1;
        case SDLK_F2:
            return VK_F2;
        case SDLK_F5:
            return 0xC1;
        case SDLK_F6:
            return 0xC2;
        case SDLK_F7:
            return 0xC3;
        case SDLK_F8:
            return 0xC4;
        case SDLK_ASTERISK:
            return VK_F8;
        case SDLK_HASH:
            return VK_F9;
        case SDLK_LSHIFT:
            return VK_LSHIFT;
        case SDLK_RSHIFT:
            return VK_RSHIFT;
        case SDLK_LCTRL:
            return VK_LCONTROL;
        case SDLK_RCTRL:
            return VK_RCONTROL;
    }
    if (k >= SDLK_0 && k <= SDLK_9) return static_cast<UINT>('0' + (k - SDLK_0));
    // The keypad's digits are the phone keypad's.
    if (k >= SDLK_KP_1 && k <= SDLK_KP_9) return static_cast<UINT>('1' + (k - SDLK_KP_1));
    if (k == SDLK_KP_0) return '0';
    if (k >= SDLK_a && k <= SDLK_z) return static_cast<UINT>('A' + (k - SDLK_a));
    if (k == SDLK_SPACE) return VK_SPACE;
    return 0;
}

// The device's clipboard copies reach the desktop's, for other programs to paste.
void CopyToDesktop(const std::u16string& text) {
    SDL_SetClipboardText(fvt::WideToUtf8(text).c_str());
}

// Shows the screen when something was drawn on it since it was last shown (or `always`).
bool Present(bool always = false) {
    std::shared_ptr<const gdi::Surface> surface = GdiScreenSurface();
    if (!surface) return false;
    if (!always && !g_exposed && surface.get() == g_shownSurface &&
        surface->Changes() == g_shownChanges)
        return true;
    if (surface->Width() != g_w || surface->Height() != g_h) {
        if (g_texture) SDL_DestroyTexture(g_texture);
        g_w = surface->Width();
        g_h = surface->Height();
        g_texture = SDL_CreateTexture(g_renderer, SDL_PIXELFORMAT_RGB888,
                                      SDL_TEXTUREACCESS_STREAMING, g_w, g_h);
        SDL_SetWindowSize(g_window, g_w * g_scale, g_h * g_scale);
    }
    if (!g_texture) return false;
    SDL_UpdateTexture(g_texture, nullptr, surface->Bits(), surface->Stride());
    SDL_RenderClear(g_renderer);
    SDL_RenderCopy(g_renderer, g_texture, nullptr, nullptr);
    SDL_RenderPresent(g_renderer);
    g_shownSurface = surface.get();
    g_shownChanges = surface->Changes();
    g_exposed = false;
    return true;
}

// The desktop window is titled as the device's task bar is: by the active window's caption.
void FollowCaption() {
    WCHAR caption[128] = {};
    HWND active = GetActiveWindow();
    if (active) GetWindowTextW(active, caption, 128);
    std::u16string wide(caption);
    if (wide.empty()) wide = u"Folivant Reader";
    static std::u16string shown;
    if (wide == shown) return;
    shown = wide;
    std::string utf8 = fvt::WideToUtf8(wide);
    SDL_SetWindowTitle(g_window, utf8.c_str());
}

void Handle(const SDL_Event& e) {
    switch (e.type) {
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_EXPOSED ||
                e.window.event == SDL_WINDOWEVENT_SHOWN ||
                e.window.event == SDL_WINDOWEVENT_RESTORED ||
                e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
                g_exposed = true;
            break;
        case SDL_QUIT:
            PostQuitMessage(0);
            break;
        case SDL_MOUSEBUTTONDOWN:
            g_penDown = true;
            fvt::PenDown(e.button.x / g_scale, e.button.y / g_scale);
            break;
        case SDL_MOUSEBUTTONUP:
            g_penDown = false;
            fvt::PenUp(e.button.x / g_scale, e.button.y / g_scale);
            break;
        case SDL_MOUSEMOTION:
            if (g_penDown) fvt::PenMove(e.motion.x / g_scale, e.motion.y / g_scale);
            break;
        case SDL_MOUSEWHEEL: {
            // The wheel is the direction pad: a notch away from the person is Up.
            int notches = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
            // Over a list it scrolls the list.
            if (notches && fvt::Wheel(e.wheel.mouseX / g_scale, e.wheel.mouseY / g_scale, notches))
                break;
            for (int n = std::abs(notches); n > 0; --n) fvt::Key(notches > 0 ? VK_UP : VK_DOWN);
            break;
        }
        case SDL_TEXTINPUT:
            TypeText(e.text.text);
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            UINT vk = MapKey(e.key.keysym.sym);
            // A key typed without its text (none came) still goes as the device's key.
            SendAwaitingKey(0);
            if (!vk) break;
            if (e.type == SDL_KEYUP) {
                fvt::KeyUp(vk);
                break;
            }
            // With Ctrl or Alt held a letter is a command (Ctrl+V, Ctrl+A), and no text comes.
            const bool typing = SDL_IsTextInputActive() &&
                                !(e.key.keysym.mod & (KMOD_CTRL | KMOD_ALT | KMOD_GUI)) &&
                                !IsCommandKey(vk);
            if (typing)
                g_keyAwaitingText = vk;
            else
                fvt::KeyDown(vk);
            break;
        }
    }
}

// Polls events and shows the screen; true while the window lives.
bool Pump() {
    if (!g_window) return false;
    SDL_Event e;
    while (SDL_PollEvent(&e)) Handle(e);
    fvt::win::RepaintDesktopNow();
    Present();
    FollowCaption();
    return true;
}

// Sleeps in the window system's wait until an event comes, `Wake` is called or ms pass.
void Wait(int ms) {
    if (!g_window) return;
    SDL_Event e;
    if (SDL_WaitEventTimeout(&e, ms)) Handle(e);
}

// From any thread: ends a `Wait`.
void Wake() {
    SDL_Event e{};
    e.type = g_wakeEvent;
    SDL_PushEvent(&e);
}

}  // namespace

namespace fvt {

bool StartSdlDisplay() {
    if (g_window) return true;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return false;
    auto surface = GdiScreenSurface();
    g_w = g_h = 0;
    const char* scale = std::getenv("FOLIVANT_SCALE");
    if (scale && std::atoi(scale) >= 1 && std::atoi(scale) <= 8) g_scale = std::atoi(scale);
    int w = surface ? surface->Width() : 240, h = surface ? surface->Height() : 320;
    g_window = SDL_CreateWindow("Folivant Reader", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                w * g_scale, h * g_scale, 0);
    if (!g_window) return false;
    g_renderer = SDL_CreateRenderer(g_window, -1, SDL_RENDERER_SOFTWARE);
    if (!g_renderer) return false;
    // Characters come as the window system's text: a keyboard's layout, its dead keys and input
    // methods type what they type.
    SDL_StartTextInput();
    SetDesktopClipboard(CopyToDesktop);
    g_wakeEvent = SDL_RegisterEvents(1);
    win::SetIdleHook(Pump);
    if (g_wakeEvent != static_cast<Uint32>(-1)) win::SetDisplayWait(Wait, Wake);
    // With a window, the wave device plays to the desktop's sound.
    RegisterSdlAudioSink();
    Pump();
    return true;
}

bool SdlDisplayActive() {
    return g_window != nullptr;
}

// What the SDL window shows, scaled back to device pixels, as PNG.
bool SaveSdlScreenshot(const std::string& path) {
    if (!g_window || !Present(true)) return false;
    int w = g_w * g_scale, h = g_h * g_scale;
    std::vector<std::uint32_t> pixels(static_cast<size_t>(w) * h);
    if (SDL_RenderReadPixels(g_renderer, nullptr, SDL_PIXELFORMAT_RGB888, pixels.data(), w * 4) !=
        0)
        return false;
    auto shot = gdi::Surface::Create(g_w, g_h, gdi::PixelFormat::Xrgb32);
    if (!shot) return false;
    for (int y = 0; y < g_h; ++y)
        for (int x = 0; x < g_w; ++x)
            shot->SetPixel(x, y,
                           pixels[static_cast<size_t>(y * g_scale) * w + x * g_scale] & 0xFFFFFF);
    return GdiSaveSurfacePng(*shot, path.c_str());
}

}  // namespace fvt

// The module's one entry point (display_module.h).
extern "C" __attribute__((visibility("default"))) const FvtDisplayModule* fvt_display_module() {
    static const FvtDisplayModule module{
        kFvtDisplayModuleVersion,
        [] { return fvt::StartSdlDisplay(); },
        [] { return fvt::SdlDisplayActive(); },
        [](const char* path) { return path && fvt::SaveSdlScreenshot(path); },
    };
    return &module;
}
