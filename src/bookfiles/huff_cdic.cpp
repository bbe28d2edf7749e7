#include "bookfiles/huff_cdic.h"

#include <cstring>

namespace {

// MSB-first bit reader that counts how far it has gone, so running past the data is detected
// even though the tail reads as zero bits.
class BitReader {
public:
    BitReader(const std::uint8_t* p, std::size_t n) : p_(p), end_(p + n), totalBits_(n * 8) {}

    std::uint32_t Peek(std::uint32_t bits) {
        Fill();
        return static_cast<std::uint32_t>(buffer_ >> (64 - bits));
    }
    void Skip(std::uint32_t bits) {
        buffer_ <<= bits;
        have_ -= bits;
        used_ += bits;
    }
    bool Overrun() const { return used_ > totalBits_; }

private:
    void Fill() {
        while (have_ <= 56) {
            std::uint64_t byte = p_ < end_ ? *p_++ : 0;
            buffer_ |= byte << (56 - have_);
            have_ += 8;
        }
    }

    const std::uint8_t* p_;
    const std::uint8_t* end_;
    std::uint64_t buffer_ = 0;
    std::uint32_t have_ = 0;
    std::uint64_t used_ = 0;
    std::uint64_t totalBits_;
};

}  // namespace

bool HuffCdicDecoder::Load(ByteSpan huff, const std::vector<ByteSpan>& cdics) {
    loaded_ = false;
    if (!huff.TagAt(0, "HUFF") || huff.U32At(4) != 16) return false;
    std::uint32_t s = huff.U32At(8);
    std::uint32_t m = huff.U8At(12);
    if (s == 0 || s > kMaxSymbols || m == 0 || m > kMaxCodeLength) return false;
    if (!huff.Holds(16, s)) return false;
    const std::uint8_t* lengths = huff.data + 16;

    std::memset(count_, 0, sizeof count_);
    for (std::uint32_t i = 0; i < s; ++i) {
        if (lengths[i] > m) return false;
        ++count_[lengths[i]];
    }
    count_[0] = 0;
    // Kraft check: an over-subscribed code cannot be decoded unambiguously.
    std::uint64_t kraft = 0;
    for (std::uint32_t len = 1; len <= m; ++len) kraft += std::uint64_t(count_[len]) << (m - len);
    if (kraft > (std::uint64_t(1) << m)) return false;

    std::uint32_t code = 0;
    std::uint32_t index = 0;
    for (std::uint32_t len = 1; len <= m; ++len) {
        code = (code + count_[len - 1]) << 1;
        firstCode_[len] = code;
        firstIndex_[len] = index;
        index += count_[len];
    }
    sorted_.assign(index, 0);
    {
        std::uint32_t next[kMaxCodeLength + 2];
        std::memcpy(next, firstIndex_, sizeof next);
        for (std::uint32_t i = 0; i < s; ++i) {
            if (lengths[i]) sorted_[next[lengths[i]]++] = i;
        }
    }
    tableBits_ = m < 11 ? m : 11;
    table_.assign(std::size_t(1) << tableBits_, 0);
    for (std::uint32_t len = 1; len <= tableBits_; ++len) {
        for (std::uint32_t k = 0; k < count_[len]; ++k) {
            std::uint32_t symbol = sorted_[firstIndex_[len] + k];
            std::uint32_t c = firstCode_[len] + k;
            std::uint32_t shift = tableBits_ - len;
            std::uint32_t base = c << shift;
            for (std::uint32_t j = 0; j < (1u << shift); ++j) table_[base + j] = symbol << 5 | len;
        }
    }

    // Dictionary: every used symbol from 256 up must be covered by exactly one CDIC record.
    entries_.assign(s > 256 ? s - 256 : 0, Entry{});
    std::vector<bool> covered(entries_.size(), false);
    for (const ByteSpan& cdic : cdics) {
        if (!cdic.TagAt(0, "CDIC") || cdic.U32At(4) != 16) return false;
        std::uint32_t first = cdic.U32At(8);
        std::uint32_t e = cdic.U32At(12);
        if (first < 256 || first > s || e > s - first) return false;
        if (!cdic.Holds(16, e * 4)) return false;
        for (std::uint32_t k = 0; k < e; ++k) {
            std::uint32_t off = cdic.U32At(16 + 4 * k);
            if (!cdic.Holds(off, 2)) return false;
            std::uint32_t head = cdic.U16At(off);
            std::uint32_t stored = head & 0x7FFF;
            if (!cdic.Holds(off + 2, stored)) return false;
            bool raw = (head & 0x8000) != 0;
            if (raw ? stored > kMaxExpanded : stored < 2) return false;
            std::uint32_t slot = first + k - 256;
            if (covered[slot]) return false;
            covered[slot] = true;
            Entry& entry = entries_[slot];
            entry.data = cdic.data + off + 2;
            entry.stored = static_cast<std::uint16_t>(stored);
            entry.raw = raw;
        }
    }
    for (std::uint32_t symbol = 256; symbol < s; ++symbol) {
        if (lengths[symbol] && !covered[symbol - 256]) return false;
    }
    symbolCount_ = s;
    maxLength_ = m;
    expanded_.clear();
    for (auto& buffer : scratch_) buffer.resize(kMaxExpanded);
    loaded_ = true;
    return true;
}

bool HuffCdicDecoder::Expand(std::uint32_t symbol, int depth) {
    Entry& entry = entries_[symbol - 256];
    if (entry.state == 2) return true;
    if (entry.state != 0 || depth > kMaxDepth) {
        entry.state = 3;
        return false;
    }
    if (entry.raw) {
        entry.offset = static_cast<std::uint32_t>(expanded_.size());
        entry.length = entry.stored;
        expanded_.insert(expanded_.end(), entry.data, entry.data + entry.stored);
        entry.state = 2;
        return true;
    }
    entry.state = 1;
    std::uint32_t length = BigEndian::U16(entry.data);
    std::vector<std::uint8_t>& buffer = scratch_[depth];
    if (length > kMaxExpanded ||
        !DecodeStream(entry.data + 2, entry.stored - 2u, buffer.data(), length, depth + 1)) {
        entries_[symbol - 256].state = 3;
        return false;
    }
    Entry& done = entries_[symbol - 256];
    done.offset = static_cast<std::uint32_t>(expanded_.size());
    done.length = length;
    expanded_.insert(expanded_.end(), buffer.data(), buffer.data() + length);
    done.state = 2;
    return true;
}

bool HuffCdicDecoder::DecodeStream(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out,
                                   std::size_t count, int depth) {
    BitReader bits(in, inSize);
    std::size_t produced = 0;
    const std::uint32_t tableBits = tableBits_;
    while (produced < count) {
        std::uint32_t symbol;
        std::uint32_t hit = table_[bits.Peek(tableBits)];
        if (hit) {
            symbol = hit >> 5;
            bits.Skip(hit & 31);
        } else {
            std::uint32_t len = tableBits + 1;
            for (;; ++len) {
                if (len > maxLength_) return false;
                std::uint32_t c = bits.Peek(len);
                if (c - firstCode_[len] < count_[len] && c >= firstCode_[len]) {
                    symbol = sorted_[firstIndex_[len] + (c - firstCode_[len])];
                    bits.Skip(len);
                    break;
                }
            }
        }
        if (bits.Overrun()) return false;
        if (symbol < 256) {
            out[produced++] = static_cast<std::uint8_t>(symbol);
            continue;
        }
        if (!Expand(symbol, depth)) return false;
        const Entry& entry = entries_[symbol - 256];
        if (entry.length > count - produced) return false;
        if (entry.length)
            std::memcpy(out + produced, expanded_.data() + entry.offset, entry.length);
        produced += entry.length;
    }
    return true;
}

bool HuffCdicDecoder::Decode(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out,
                             std::size_t outCapacity, std::size_t* outSize) {
    *outSize = 0;
    if (!loaded_ || inSize < 2) return false;
    std::size_t length = BigEndian::U16(in);
    if (length > outCapacity || length > kMaxExpanded) return false;
    if (!DecodeStream(in + 2, inSize - 2, out, length, 0)) return false;
    *outSize = length;
    return true;
}
