// Table borders as the page layout merges them: the stronger of two borders wins per side.
#pragma once

#include <cstdint>

struct BoxSide {
    uint32_t length = 0;
    uint32_t color = 0;
    uint32_t styleWidth = 0;  // bits 0-3 the style, bits 4-15 the width

    uint32_t Style() const { return styleWidth & 0xF; }
    uint32_t Width() const { return (styleWidth >> 4) & 0xFFF; }
};

struct BoxSides {
    uint32_t color = 0;
    uint32_t second = 0;
    BoxSide sides[4];

    // For each side in the mask (bit n for side n) keeps the stronger of the two borders,
    // colour and style/width together: the greater width, on equal widths the greater style.
    // First the colour word comes from other when this one's is no colour, and the second word
    // when this one's is 8.
    void Merge(const BoxSides& other, uint32_t sideMask);
};

struct BoxLengths {
    uint32_t sides[4] = {};

    // Every side whose length is still marked as not set takes the value.
    void FillFlagged(uint32_t value);
};
