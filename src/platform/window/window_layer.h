// The window layer's own calls beyond the handheld system's interface: running the queue for
// tests and modal loops, and feeding input as the display backends and the test driver do.
#pragma once

#include <functional>
#include <string>

#include "platform/window/window.h"

namespace fvt {

// Handles queued messages of this thread until none is left (or `limit` were handled). A
// WM_QUIT found is put back for the program's own loop. Returns the number handled.
int RunUntilIdle(int limit = 100000);

// Moves the test clock on by `milliseconds` in steps of at most 10 ms; after each step the wave
// devices play what fell due and the queue is run until neither has anything left, so that
// sound, its notices and timers keep in step as they would on a running clock. With the real
// clock it runs the queue for that long.
void RunClockFor(std::uint64_t milliseconds);

// Gives the display back end its turn now (a window takes its input and shows the screen);
// nothing headless.
void PumpDisplay();

// A modal loop: disables the owner, dispatches every message of the thread until done() is
// true, enables the owner again. False when WM_QUIT ended it (the quit is posted again).
// `filter`, when given, sees every message taken before it is dispatched (true: taken).
bool RunModalLoop(HWND owner, const std::function<bool()>& done,
                  const std::function<bool(MSG&)>& filter = nullptr);

// Input, as a backend reports it. Pen points are in screen pixels; the pen goes to the window
// under it, or to the capture window. Keys follow the routing rules of keys.cpp.
void PenDown(int x, int y);
void PenMove(int x, int y);
void PenUp(int x, int y);
void Tap(int x, int y);
// vk with the character the key types (0: none; TranslateMessage then derives it).
void KeyDown(UINT vk, WCHAR character = 0);
void KeyUp(UINT vk);
void Key(UINT vk, WCHAR character = 0);  // down then up
// A typed character (the input panel): WM_CHAR to the focus window.
void Character(WCHAR character);
// The wheel turned over screen point x, y (notches > 0: away from the person). A list under it
// scrolls (true); elsewhere the caller makes it the direction pad (false).
bool Wheel(int x, int y, int notches);
// Hardware buttons 1-4 (0xC1-0xC4) and the soft keys 1-2 (VK_F1, VK_F2).
void HardwareButton(int number);
void SoftKey(int number);

// The SDL2 display when FOLIVANT_DISPLAY=sdl, or when a display is present and FOLIVANT_DISPLAY
// is not "headless"; otherwise (or without SDL2 in the build) the screen stays headless.
// True when the SDL2 display runs.
bool UseDisplayFromEnvironment();

// The screen as PNG (what the SDL2 window shows, when it runs) (temp file + rename); false when it
// cannot be written.
bool SaveScreenshot(const std::string& path);

}  // namespace fvt
