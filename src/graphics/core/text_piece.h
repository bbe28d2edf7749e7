// A string drawn at its own point: what GraphicsContext::DrawTexts draws several of at once, and
// what page drawing hands it.
#pragma once

#include <cstdint>

#include "core/geometry.h"

// A string drawn at its own text point, one of several DrawTexts draws.
struct TextPiece {
    const char16_t* text = nullptr;
    int32_t length = 0;
    Point at;
};
