// Words drawn from a list by a linear congruential generator, for books that read like prose
// and are the same on every run: the same list and seed give the same words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fvt::test {

class SeededWords {
public:
    template <std::size_t N>
    SeededWords(const char* const (&list)[N], std::uint32_t seed)
        : list_(list), size_(N), seed_(seed) {}

    // The generator's next number (its state moves on).
    std::uint32_t Draw() {
        seed_ = seed_ * 1103515245u + 12345u;
        return seed_;
    }
    // The word a drawn number picks.
    const char* WordOf(std::uint32_t drawn) const { return list_[(drawn >> 16) % size_]; }
    // The next `n` words, `between` between each.
    std::string Words(int n, const char* between = " ") {
        std::string out;
        for (int i = 0; i < n; ++i) {
            if (i) out += between;
            out += WordOf(Draw());
        }
        return out;
    }

private:
    const char* const* list_;
    std::size_t size_;
    std::uint32_t seed_;
};

}  // namespace fvt::test
