#include "core/random.h"

#include "core/clock.h"

namespace {
uint64_t g_counter = 0;

uint64_t Mix(uint64_t z) {
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}
}  // namespace

Random::Random() {
    ++g_counter;
    Seed(static_cast<uint64_t>(TickCount()) ^ (g_counter << 32) ^
         reinterpret_cast<uintptr_t>(this));
}

void Random::Seed(uint64_t seed) {
    state_ = Mix(seed);
    if (state_ == 0) state_ = 0x2545F4914F6CDD1Dull;
}

uint32_t Random::Next() {
    // xorshift64*
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return static_cast<uint32_t>((state_ * 0x2545F4914F6CDD1Dull) >> 34);
}
