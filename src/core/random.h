// A pseudo-random source per object: seeded once from the tick count mixed with a counter, so
// that sources made in the same tick still differ. Next gives 30 bits.
#pragma once

#include <cstdint>

class Random {
public:
    Random();
    explicit Random(uint64_t seed) { Seed(seed); }
    void Seed(uint64_t seed);
    // A number in [0, 2^30).
    uint32_t Next();

private:
    uint64_t state_ = 0;
};
