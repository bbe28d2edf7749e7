// The colour picker: a small modal pop-up of 8 x 8 colour cells beside a colour control. A tap
// on a cell chooses its colour; a tap elsewhere, losing the focus or closing chooses nothing.
#pragma once

#include <cstdint>

#include "platform/window/window.h"

class ColourPicker {
public:
    static constexpr int32_t kCells = 8;

    // The colour of cell (x, y) of palette 0 or 1, each component cut to its low 8 bits.
    static COLORREF PaletteColour(int32_t palette, int32_t x, int32_t y);
    // Cell size and pop-up side in pixels (doubled on a high-resolution screen).
    static int32_t CellSize();
    static int32_t PopupSize();

    // Opens at `at` (screen coordinates), kept inside the owner. True and the chosen colour.
    static bool Choose(HWND owner, POINT at, int32_t palette, COLORREF current, COLORREF& chosen);
};
