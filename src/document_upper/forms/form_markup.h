// Markup ids the forms read that the attribute grammar does not name (private to the forms).
#pragma once

#include <cstdint>

namespace FormMarkup {
constexpr uint32_t kAttrSrc = 56;
constexpr uint32_t kAttrType = 66;
constexpr uint32_t kTagInput = 82;
constexpr uint32_t kTagSelect = 84;
constexpr uint32_t kTagOption = 86;
constexpr uint32_t kTagLabel = 88;
constexpr uint32_t kAttrAction = 100;
constexpr uint32_t kAttrOnChange = 138;
constexpr uint32_t kAttrOnSubmit = 144;
constexpr uint32_t kAttrOnReset = 145;
constexpr uint32_t kAttrOnLoad = 147;
}  // namespace FormMarkup
