#include "media/audio/vorbis_setup_check.h"

#include <array>
#include <cmath>
#include <cstring>
#include <map>

namespace {

// Header pages are read at most this far past the start of a link; real set-up headers take a
// few kilobytes, the largest some hundreds.
constexpr std::uint64_t kMaxHeaderScan = 1u << 20;
// ...and at least this far, even when every stream has had its headers: a damaged stream can
// start over (a second first page, headers again) and the decoder may take the later ones.
constexpr std::uint64_t kMinHeaderScan = 64u << 10;
// Junk before a page is skipped up to this many bytes.
constexpr std::uint64_t kMaxLeadingJunk = 64u << 10;

std::uint32_t ReadLe32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

bool ReadExactly(AudioData* data, std::uint64_t offset, void* into, std::uint32_t count) {
    std::uint32_t got = 0;
    return count == 0 || (data->Read(offset, into, count, &got) && got == count);
}

// The offset of the first "OggS" at or after offset, within the junk limit.
bool FindCapture(AudioData* data, std::uint64_t offset, std::uint64_t* found) {
    std::uint8_t buffer[4096];
    for (std::uint64_t scanned = 0; scanned <= kMaxLeadingJunk;) {
        std::uint32_t got = 0;
        if (!data->Read(offset + scanned, buffer, sizeof buffer, &got) || got < 4) return false;
        for (std::uint32_t i = 0; i + 4 <= got; ++i) {
            if (std::memcmp(buffer + i, "OggS", 4) == 0) {
                *found = offset + scanned + i;
                return true;
            }
        }
        scanned += got - 3;  // a capture split across two reads is found by the next
    }
    return false;
}

// Vorbis packs its fields from the least significant bit of each byte up.
class BitReader {
public:
    explicit BitReader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}

    bool Read(int count, std::uint32_t* value) {
        std::uint32_t v = 0;
        for (int i = 0; i < count; ++i) {
            if (bit_ >= bytes_.size() * 8) return false;
            v |= static_cast<std::uint32_t>((bytes_[bit_ >> 3] >> (bit_ & 7)) & 1) << i;
            ++bit_;
        }
        *value = v;
        return true;
    }
    bool Skip(std::uint64_t count) {
        if (count > bytes_.size() * 8 - bit_) return false;
        bit_ += count;
        return true;
    }
    void SkipBytes(std::size_t count) { bit_ += count * 8; }

private:
    const std::vector<std::uint8_t>& bytes_;
    std::uint64_t bit_ = 0;
};

int ILog(std::uint32_t v) {
    int bits = 0;
    for (; v; v >>= 1) ++bits;
    return bits;
}

// Whether r^dimensions stays within entries.
bool PowerFits(std::uint64_t r, std::uint32_t dimensions, std::uint32_t entries) {
    std::uint64_t power = 1;
    for (std::uint32_t d = 0; d < dimensions; ++d) {
        power *= r;
        if (power > entries) return false;
        if (power == 0) return true;
    }
    return true;
}

// The largest r with r^dimensions <= entries (dimensions > 0).
std::uint64_t Lookup1Values(std::uint32_t entries, std::uint32_t dimensions) {
    auto r = static_cast<std::uint64_t>(std::pow(static_cast<double>(entries), 1.0 / dimensions));
    while (PowerFits(r + 1, dimensions, entries)) ++r;
    while (r > 0 && !PowerFits(r, dimensions, entries)) --r;
    return r;
}

}  // namespace

std::uint32_t OggPageChecksum(const std::uint8_t* page, std::size_t size) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t r = i << 24;
            for (int k = 0; k < 8; ++k) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
            t[i] = r;
        }
        return t;
    }();
    std::uint32_t crc = 0;
    for (std::size_t i = 0; i < size; ++i) {
        // The checksum field itself counts as zero.
        std::uint8_t byte = i >= 22 && i < 26 ? 0 : page[i];
        crc = (crc << 8) ^ table[((crc >> 24) ^ byte) & 0xFF];
    }
    return crc;
}

bool VorbisLinkHeadersAreSafe(AudioData* data, std::uint64_t offset) {
    if (data == nullptr) return true;
    struct Stream {
        bool vorbis = false;          // its first packet is a Vorbis identification header
        int packets = 0;              // whole packets seen
        bool inPacket = false;        // a packet is open across pages
        bool collecting = false;      // ...and it is a set-up packet
        std::vector<std::uint8_t> bytes;
    };
    std::map<std::uint32_t, Stream> streams;
    static const std::uint8_t kIdentification[7] = {1, 'v', 'o', 'r', 'b', 'i', 's'};
    static const std::uint8_t kSetup[7] = {5, 'v', 'o', 'r', 'b', 'i', 's'};
    const std::uint64_t limit = offset + kMaxHeaderScan;
    std::vector<std::uint8_t> page;
    // Pages are taken as the decoder takes them: found by their capture pattern, and passed
    // over when their checksum is wrong. Every Vorbis stream's packets are followed until each
    // has had its three header packets, so whichever the decoder settles on has been looked at.
    for (std::uint64_t at = offset; at < limit;) {
        if (!FindCapture(data, at, &at)) return true;
        std::uint8_t header[27];
        if (!ReadExactly(data, at, header, sizeof header)) return true;
        const std::uint32_t segments = header[26];
        page.assign(header, header + sizeof header);
        page.resize(27 + segments);
        if (!ReadExactly(data, at + 27, page.data() + 27, segments)) return true;
        std::size_t bodySize = 0;
        for (std::uint32_t i = 0; i < segments; ++i) bodySize += page[27 + i];
        page.resize(27 + segments + bodySize);
        if (!ReadExactly(data, at + 27 + segments, page.data() + 27 + segments,
                         static_cast<std::uint32_t>(bodySize)) ||
            OggPageChecksum(page.data(), page.size()) != ReadLe32(header + 22)) {
            ++at;
            continue;
        }
        Stream& stream = streams[ReadLe32(header + 14)];
        const bool continued = (header[5] & 1) != 0;
        // The tail of a packet begun before the scan is not one of the headers.
        bool skipping = continued && !stream.inPacket;
        if (!continued && stream.inPacket) {
            stream.inPacket = stream.collecting = false;  // the open packet was lost
            stream.bytes.clear();
        }
        const std::uint8_t* body = page.data() + 27 + segments;
        for (std::uint32_t i = 0; i < segments; ++i) {
            const std::uint8_t lace = page[27 + i];
            if (!skipping) {
                if (!stream.inPacket) {
                    stream.inPacket = true;
                    const bool whole = lace >= sizeof kSetup;
                    if (stream.packets == 0) {
                        stream.vorbis = whole && std::memcmp(body, kIdentification, 7) == 0;
                    }
                    stream.collecting = whole && std::memcmp(body, kSetup, 7) == 0;
                }
                if (stream.collecting) stream.bytes.insert(stream.bytes.end(), body, body + lace);
            }
            body += lace;
            if (lace == 255) continue;
            if (skipping) {
                skipping = false;
                continue;
            }
            if (stream.collecting && !VorbisCodebooksAreSafe(stream.bytes)) return false;
            ++stream.packets;
            stream.inPacket = stream.collecting = false;
            stream.bytes.clear();
        }
        bool anyVorbis = false, headersDone = true;
        for (const auto& [serial, s] : streams) {
            anyVorbis = anyVorbis || s.vorbis;
            headersDone = headersDone && (!s.vorbis || s.packets >= 3);
        }
        if (anyVorbis && headersDone && at - offset >= kMinHeaderScan) return true;
        at += page.size();
    }
    return true;
}

bool VorbisCodebooksAreSafe(const std::vector<std::uint8_t>& packet) {
    if (packet.size() < 8 || packet[0] != 5 || std::memcmp(packet.data() + 1, "vorbis", 6) != 0) {
        return true;
    }
    BitReader bits(packet);
    bits.SkipBytes(7);
    std::uint32_t count = 0;
    if (!bits.Read(8, &count)) return true;
    for (std::uint32_t book = 0; book <= count; ++book) {
        std::uint32_t sync = 0, dimensions = 0, entries = 0, ordered = 0, v = 0;
        if (!bits.Read(24, &sync) || sync != 0x564342 || !bits.Read(16, &dimensions) ||
            !bits.Read(24, &entries) || !bits.Read(1, &ordered)) {
            return true;
        }
        if (dimensions == 0) return false;
        // The codeword lengths must make a whole prefix code: sum of 2^-length exactly 1.
        std::uint64_t kraft = 0;  // in units of 2^-32
        std::uint32_t used = 0;
        if (!ordered) {
            std::uint32_t sparse = 0;
            if (!bits.Read(1, &sparse)) return true;
            for (std::uint32_t e = 0; e < entries; ++e) {
                std::uint32_t present = 1;
                if (sparse && !bits.Read(1, &present)) return true;
                if (!present) continue;
                if (!bits.Read(5, &v)) return true;
                kraft += std::uint64_t{1} << (31 - v);  // length v + 1
                ++used;
            }
        } else {
            if (!bits.Read(5, &v)) return true;
            std::uint32_t length = v + 1;
            for (std::uint32_t current = 0; current < entries; ++length) {
                if (!bits.Read(ILog(entries - current), &v)) return true;
                if (v > entries - current || (v > 0 && length > 32)) return false;
                if (v > 0) kraft += std::uint64_t{v} << (32 - length);
                current += v;
                used += v;
            }
        }
        // A book of one entry has a code of no bits, however its length reads.
        if (used != 1 && kraft != (std::uint64_t{1} << 32)) return false;
        std::uint32_t lookup = 0;
        if (!bits.Read(4, &lookup)) return true;
        if (lookup == 0) continue;
        if (lookup > 2) return true;
        std::uint32_t valueBits = 0;
        if (!bits.Skip(64) || !bits.Read(4, &valueBits) || !bits.Skip(1)) return true;
        std::uint64_t values = lookup == 1 ? Lookup1Values(entries, dimensions)
                                           : std::uint64_t{entries} * dimensions;
        if (!bits.Skip(values * (valueBits + 1))) return true;
    }
    return true;
}
