// Private to the reader library: the interface metrics the reader reads (UiMetrics::Get).
#pragma once

#include <cstdint>

namespace reader_detail {
constexpr uint32_t kMetricMinFontSize = 1;
constexpr uint32_t kMetricMaxFontSize = 2;
constexpr uint32_t kMetricDefaultFontSize = 3;
constexpr uint32_t kMetricFontSizeStep = 5;
constexpr uint32_t kMetricMarginX = 7;
constexpr uint32_t kMetricMarginY = 8;
}  // namespace reader_detail
