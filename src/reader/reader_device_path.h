// Private to the reader library: device paths as the stores take them (UTF-8).
#pragma once

#include <string>

#include "core/text.h"

namespace reader_detail {

inline bool ToUtf8Path(const Text& text, std::string& out) {
    Text utf8(text);
    if (!utf8.ConvertTo(CodePages::kUtf8)) return false;
    out.assign(reinterpret_cast<const char*>(utf8.Bytes()), static_cast<size_t>(utf8.ByteLength()));
    return !out.empty();
}

}  // namespace reader_detail
