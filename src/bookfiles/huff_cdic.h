// HUFF/CDIC text decompression (compression 3 of a book).
//
// The HUFF record gives canonical Huffman code lengths for S symbols. Symbols below 256 are the
// byte values themselves; every other symbol names a dictionary entry held in the CDIC records
// that follow the HUFF record. A dictionary entry is stored raw or as a bit stream of further
// symbols, so entries expand recursively (at most 16 levels deep).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bookfiles/byte_order.h"

class HuffCdicDecoder {
public:
    static constexpr std::uint32_t kMaxSymbols = 1u << 20;
    static constexpr std::uint32_t kMaxCodeLength = 24;
    static constexpr int kMaxDepth = 16;
    static constexpr std::uint32_t kMaxExpanded = 4096;

    HuffCdicDecoder() = default;

    // Builds the decode tables from the HUFF record and the CDIC records. False when any table
    // is malformed (the book then fails to open as corrupt). The records' bytes must outlive
    // the decoder: dictionary entries are read in place.
    bool Load(ByteSpan huff, const std::vector<ByteSpan>& cdics);

    // Decodes one text record: u16 expanded length, then the bit stream. False when the record
    // is corrupt; `*outSize` holds what was produced before the fault.
    bool Decode(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out,
                std::size_t outCapacity, std::size_t* outSize);

    bool IsLoaded() const { return loaded_; }

private:
    struct Entry {
        const std::uint8_t* data = nullptr;  // stored bytes after the u16 header
        std::uint16_t stored = 0;
        bool raw = false;
        std::uint8_t state = 0;    // 0 not expanded, 1 expanding, 2 done, 3 bad
        std::uint32_t offset = 0;  // expanded bytes in `expanded_`
        std::uint32_t length = 0;
    };

    bool DecodeStream(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out,
                      std::size_t count, int depth);
    bool Expand(std::uint32_t symbol, int depth);

    bool loaded_ = false;
    std::uint32_t symbolCount_ = 0;
    std::uint32_t maxLength_ = 0;
    std::uint32_t tableBits_ = 0;
    // First-level table: symbol << 5 | length for codes of at most tableBits_ bits; 0 otherwise.
    std::vector<std::uint32_t> table_;
    // Canonical decoding of longer codes, per length.
    std::uint32_t firstCode_[kMaxCodeLength + 2] = {};
    std::uint32_t count_[kMaxCodeLength + 2] = {};
    std::uint32_t firstIndex_[kMaxCodeLength + 2] = {};
    std::vector<std::uint32_t> sorted_;
    std::vector<Entry> entries_;  // indexed by symbol - 256
    std::vector<std::uint8_t> expanded_;
    std::vector<std::uint8_t> scratch_[kMaxDepth + 1];
};
