// The typed arrays and lists built on SegArray. Append and Add return the index, or -1 when
// memory runs out; At(i) raises the count to i + 1.
#pragma once

#include <cstdint>

#include "core/segmented_array.h"
#include "core/string.h"
#include "core/text.h"

using U32Array = SegArray<uint32_t, 8>;
using ByteArray = SegArray<uint8_t, 6>;
using StringArray = SegArray<String, 4>;
using StringList = SegArray<String, 4>;
using TextSegArray = SegArray<Text, 4>;
// Pointers in pages of 16; elements never move (removal by swapping with the last is the
// caller's).
using PagedPtrArray = SegArray<void*, 4>;
// u32 values in pages of 16.
using PagedU32Array = SegArray<uint32_t, 4>;
template <typename T>
using PagedArray = SegArray<T, 4>;

class TextList : public SegArray<Text, 4> {};
