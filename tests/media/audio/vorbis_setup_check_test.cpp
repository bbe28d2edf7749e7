#include "media/audio/vorbis_setup_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "support/media/audio_fixtures.h"

namespace {

using fixtures::MemoryAudioData;
using fixtures::OpenVorbis;

// Writes fields from the least significant bit up, as Vorbis packs them.
class BitWriter {
public:
    BitWriter() {
        const char* head = "\x05vorbis";
        bytes_.assign(head, head + 7);
        bit_ = 56;
    }
    BitWriter& Put(std::uint32_t value, int count) {
        for (int i = 0; i < count; ++i, ++bit_) {
            if (bit_ / 8 >= bytes_.size()) bytes_.push_back(0);
            if ((value >> i) & 1) bytes_[bit_ / 8] |= static_cast<std::uint8_t>(1u << (bit_ % 8));
        }
        return *this;
    }
    // An unordered, non-sparse book of the given codeword lengths, without a lookup table.
    BitWriter& Book(std::uint32_t dimensions, std::initializer_list<std::uint32_t> lengths) {
        Put(0x564342, 24).Put(dimensions, 16).Put(static_cast<std::uint32_t>(lengths.size()), 24);
        Put(0, 1).Put(0, 1);
        for (std::uint32_t length : lengths) Put(length - 1, 5);
        return Put(0, 4);
    }
    std::vector<std::uint8_t> Packet() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t bit_ = 0;
};

std::vector<std::uint8_t> OneBook(std::uint32_t dimensions, std::initializer_list<std::uint32_t> lengths) {
    return BitWriter().Put(0, 8).Book(dimensions, lengths).Packet();
}

TEST(VorbisSetupCheck, CodebooksMustMakeAWholePrefixCode) {
    EXPECT_TRUE(VorbisCodebooksAreSafe(OneBook(1, {1, 1})));
    EXPECT_TRUE(VorbisCodebooksAreSafe(OneBook(2, {1, 2, 3, 3})));
    EXPECT_TRUE(VorbisCodebooksAreSafe(OneBook(4, {7})));  // one entry: a code of no bits
    EXPECT_FALSE(VorbisCodebooksAreSafe(OneBook(1, {1, 1, 1})));  // over-full
    EXPECT_FALSE(VorbisCodebooksAreSafe(OneBook(1, {2, 2, 2})));  // a codeword left unused
    EXPECT_FALSE(VorbisCodebooksAreSafe(OneBook(0, {1, 1})));     // no dimension
    // The second of two books is the bad one.
    EXPECT_FALSE(VorbisCodebooksAreSafe(BitWriter().Put(1, 8).Book(1, {1, 1}).Book(1, {1, 2}).Packet()));

    // Sparse: absent entries take no codeword.
    BitWriter sparse;
    sparse.Put(0, 8).Put(0x564342, 24).Put(1, 16).Put(4, 24).Put(0, 1).Put(1, 1);
    sparse.Put(1, 1).Put(0, 5).Put(0, 1).Put(0, 1).Put(1, 1).Put(0, 5).Put(0, 4);
    EXPECT_TRUE(VorbisCodebooksAreSafe(sparse.Packet()));
    // Ordered, by counts per length: one of length 1 and two of length 2 make a whole code;
    // one of each does not.
    for (std::uint32_t entries : {2u, 3u}) {
        BitWriter ordered;
        ordered.Put(0, 8).Put(0x564342, 24).Put(1, 16).Put(entries, 24).Put(1, 1);
        ordered.Put(0, 5).Put(1, 2).Put(entries - 1, 2).Put(0, 4);
        EXPECT_EQ(VorbisCodebooksAreSafe(ordered.Packet()), entries == 3) << entries;
    }
    // A lookup table is stepped over to reach the next book.
    BitWriter lookup;
    lookup.Put(1, 8).Put(0x564342, 24).Put(2, 16).Put(4, 24).Put(0, 1).Put(0, 1);
    for (int i = 0; i < 4; ++i) lookup.Put(1, 5);
    lookup.Put(1, 4).Put(0, 32).Put(0, 32).Put(3, 4).Put(0, 1).Put(0x5A, 8);  // 2 values of 4 bits
    lookup.Book(1, {1, 1, 1});
    EXPECT_FALSE(VorbisCodebooksAreSafe(lookup.Packet()));

    // What the check cannot follow is left to the decoder.
    std::vector<std::uint8_t> cut = OneBook(1, {1, 1, 1});
    cut.resize(12);
    EXPECT_TRUE(VorbisCodebooksAreSafe(cut));
    EXPECT_TRUE(VorbisCodebooksAreSafe({}));
}

class VorbisSetup : public ::testing::Test {
protected:
    void SetUp() override {
        if (!tones_.ready) GTEST_FAIL() << "cannot make the fixtures: " << tones_.why;
    }
    static bool HeadersAreSafe(const std::vector<std::uint8_t>& ogg, std::uint64_t offset = 0) {
        MemoryAudioData* data = MemoryAudioData::Create(ogg);
        bool safe = VorbisLinkHeadersAreSafe(data, offset);
        data->Release();
        return safe;
    }
    // Where the set-up packet starts.
    static std::vector<std::uint8_t>::iterator SetupPacket(std::vector<std::uint8_t>& ogg) {
        const std::uint8_t head[] = {5, 'v', 'o', 'r', 'b', 'i', 's'};
        auto at = std::search(ogg.begin(), ogg.end(), std::begin(head), std::end(head));
        EXPECT_NE(at, ogg.end());
        return at;
    }
    // The stream with one codeword length of its first codebook changed by one.
    static std::vector<std::uint8_t> Broken(std::vector<std::uint8_t> ogg) {
        SetupPacket(ogg)[16] ^= 0x04;  // after the count, sync, dimensions, entries and 2 flags
        fixtures::FixOggChecksums(ogg);
        return ogg;
    }
    const fixtures::ToneSet& tones_ = fixtures::Tones();
};

TEST_F(VorbisSetup, EncodedStreamsPassAndABrokenBookIsRefused) {
    for (const auto* tone : {&tones_.mono, &tones_.stereo, &tones_.pure48, &tones_.noisy}) {
        // The encoder's page checksums are the ones computed here.
        std::vector<std::uint8_t> rechecked = tone->ogg;
        fixtures::FixOggChecksums(rechecked);
        EXPECT_EQ(rechecked, tone->ogg);
        EXPECT_TRUE(HeadersAreSafe(tone->ogg));
        EXPECT_FALSE(HeadersAreSafe(Broken(tone->ogg)));
    }
    // Junk before the first page is skipped.
    std::vector<std::uint8_t> junk(5000, 0x4F);
    std::vector<std::uint8_t> broken = Broken(tones_.mono.ogg);
    junk.insert(junk.end(), broken.begin(), broken.end());
    EXPECT_FALSE(HeadersAreSafe(junk));
    // A page whose checksum fails is passed over, as the decoder passes over it.
    std::vector<std::uint8_t> damaged = Broken(tones_.mono.ogg);
    SetupPacket(damaged)[20] ^= 0x10;
    EXPECT_TRUE(HeadersAreSafe(damaged));
    // Every logical stream at the start of a link is looked at, not only the first.
    std::vector<std::uint8_t> first = tones_.stereo.ogg, second = Broken(tones_.mono.ogg);
    const std::size_t firstPage = 27 + first[26] + first[27];  // the identification page
    std::vector<std::uint8_t> interleaved(first.begin(), first.begin() + firstPage);
    interleaved.insert(interleaved.end(), second.begin(), second.end());
    interleaved.insert(interleaved.end(), first.begin() + firstPage, first.end());
    EXPECT_FALSE(HeadersAreSafe(interleaved));
    // A stream that starts over near the start of its link (a second first page, with headers
    // again) is looked at again.
    ASSERT_LT(tones_.mono.ogg.size(), 60000u);
    std::vector<std::uint8_t> restarted = tones_.mono.ogg;
    restarted.insert(restarted.end(), broken.begin(), broken.end());
    EXPECT_FALSE(HeadersAreSafe(restarted));

    // The decoder would open these and fail while playing; the source refuses them at once.
    auto refused = OpenVorbis(Broken(tones_.mono.ogg));
    EXPECT_FALSE(refused->IsOpen());
    char buffer[64];
    std::uint32_t got = 0;
    EXPECT_FALSE(refused->Read(buffer, sizeof buffer, &got));
    // So is a chain whose second link is broken, and a good chain still opens.
    std::vector<std::uint8_t> chain = tones_.noisy.ogg;
    std::vector<std::uint8_t> tail = Broken(tones_.stereo.ogg);
    chain.insert(chain.end(), tail.begin(), tail.end());
    EXPECT_FALSE(OpenVorbis(chain)->IsOpen());
    chain = tones_.noisy.ogg;
    chain.insert(chain.end(), tones_.stereo.ogg.begin(), tones_.stereo.ogg.end());
    EXPECT_TRUE(OpenVorbis(chain)->IsOpen());
}

}  // namespace
