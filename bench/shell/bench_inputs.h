// What the whole-program benchmarks share: a photograph-like picture to encode, and the median
// of their runs.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

// A picture with smooth shapes and grain, rows top first, RGB.
inline std::vector<std::uint8_t> Photo(std::uint32_t w, std::uint32_t h) {
    std::vector<std::uint8_t> v(std::size_t(w) * h * 3);
    std::uint32_t r = 12345;
    auto grain = [&r] {
        r = r * 1103515245u + 12345u;
        return int((r >> 16) % 41) - 20;
    };
    auto clamp = [](int x) { return std::uint8_t(std::clamp(x, 0, 255)); };
    for (std::uint32_t y = 0; y < h; ++y) {
        for (std::uint32_t x = 0; x < w; ++x) {
            std::uint8_t* p = v.data() + (std::size_t(y) * w + x) * 3;
            p[0] = clamp(int(128 + 100 * std::sin(x / 37.0) * std::cos(y / 53.0)) + grain());
            p[1] = clamp(int(128 + 90 * std::sin((x + y) / 71.0)) + grain());
            p[2] = std::uint8_t((x * 255 / w) ^ (y * 255 / h));
        }
    }
    return v;
}

inline double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}
