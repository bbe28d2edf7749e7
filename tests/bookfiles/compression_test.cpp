// PalmDOC and HUFF/CDIC decoding, and trailing entries.
#include <gtest/gtest.h>

#include <cstring>

#include "bookfiles/byte_order.h"
#include "bookfiles/huff_cdic.h"
#include "bookfiles/palm_doc.h"
#include "bookfiles/trailing_entries.h"
#include "support/bookfiles/book_builder.h"
#include "support/bookfiles/book_compressors.h"

namespace {

Bytes Decompress(const Bytes& in, std::size_t capacity, bool* ok) {
    Bytes out(capacity);
    std::size_t n = 0;
    *ok = PalmDoc::Decompress(in.data(), in.size(), out.data(), out.size(), &n);
    out.resize(n);
    return out;
}

Bytes MixedBytes(std::size_t n) {
    Bytes b(n);
    std::uint32_t x = 7;
    for (std::size_t i = 0; i < n; ++i) {
        x = x * 1664525u + 1013904223u;
        // Mostly text, with high bytes, control bytes 1-8 and NULs mixed in.
        std::uint32_t r = (x >> 24);
        b[i] = r < 200 ? static_cast<std::uint8_t>("abcde fgh "[r % 10])
                       : static_cast<std::uint8_t>(r);
        if (r == 201) b[i] = 3;
        if (r == 202) b[i] = 0;
    }
    return b;
}

TEST(PalmDoc, RoundTripsEveryKindOfByte) {
    Bytes text = MixedBytes(4096);
    Bytes packed = PalmDocCompress(text.data(), text.size());
    EXPECT_LT(packed.size(), text.size());
    bool ok = false;
    EXPECT_EQ(Decompress(packed, 4096, &ok), text);
    EXPECT_TRUE(ok);
}

TEST(PalmDoc, OverlappingBackReferenceRepeatsBytes) {
    // "ab" then copy 6 bytes from distance 2.
    Bytes in = {'a', 'b', 0x80, static_cast<std::uint8_t>((2 << 3) | 3)};
    bool ok = false;
    Bytes out = Decompress(in, 16, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(std::string(out.begin(), out.end()), "abababab");
}

TEST(PalmDoc, BackReferencesOfEveryDistanceAndLengthCopyAsByteByByte) {
    // Ten literal bytes, then one back-reference: every distance that reaches into them and every
    // length, with the output exactly as large as needed and with room to spare.
    for (std::size_t distance = 1; distance <= 10; ++distance) {
        for (std::size_t length = 3; length <= 10; ++length) {
            Bytes in = {8, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 2, 'i', 'j'};
            std::uint32_t v = 0x8000 | static_cast<std::uint32_t>(distance << 3) |
                              static_cast<std::uint32_t>(length - 3);
            in.push_back(static_cast<std::uint8_t>(v >> 8));
            in.push_back(static_cast<std::uint8_t>(v));
            Bytes expected(in.begin() + 1, in.begin() + 9);
            expected.push_back('i');
            expected.push_back('j');
            for (std::size_t k = 0; k < length; ++k)
                expected.push_back(expected[expected.size() - distance]);
            for (std::size_t spare : {std::size_t{0}, std::size_t{16}}) {
                SCOPED_TRACE(testing::Message() << distance << " " << length << " " << spare);
                bool ok = false;
                EXPECT_EQ(Decompress(in, expected.size() + spare, &ok), expected);
                EXPECT_TRUE(ok);
            }
        }
    }
}

TEST(PalmDoc, LiteralRunsNearTheEndsKeepTheirLength) {
    // Runs of 1 to 8 bytes as the input's last bytes and filling the output exactly.
    for (std::uint8_t n = 1; n <= 8; ++n) {
        Bytes in = {'x', n};
        for (std::uint8_t k = 0; k < n; ++k) in.push_back(static_cast<std::uint8_t>('A' + k));
        Bytes expected = {'x'};
        expected.insert(expected.end(), in.begin() + 2, in.end());
        bool ok = false;
        EXPECT_EQ(Decompress(in, expected.size(), &ok), expected);
        EXPECT_TRUE(ok);
        Bytes longer = in;
        longer.push_back('z');
        expected.push_back('z');
        EXPECT_EQ(Decompress(longer, 64, &ok), expected);
        EXPECT_TRUE(ok);
    }
}

// The format read one byte at a time, the plainest way, to set the decoder against.
bool ReferenceDecompress(const Bytes& in, std::size_t capacity, Bytes& out) {
    out.clear();
    for (std::size_t i = 0; i < in.size();) {
        std::uint8_t c = in[i++];
        if (c >= 0xC0) {
            if (out.size() + 2 > capacity) return false;
            out.push_back(' ');
            out.push_back(static_cast<std::uint8_t>(c ^ 0x80));
        } else if (c >= 0x80) {
            if (i >= in.size()) return false;
            std::uint32_t v = (static_cast<std::uint32_t>(c) << 8) | in[i++];
            std::size_t distance = (v >> 3) & 0x7FF, length = (v & 7) + 3;
            if (distance == 0 || distance > out.size() || out.size() + length > capacity)
                return false;
            for (std::size_t k = 0; k < length; ++k) out.push_back(out[out.size() - distance]);
        } else if (c >= 1 && c <= 8) {
            if (i + c > in.size() || out.size() + c > capacity) return false;
            out.insert(out.end(), in.begin() + static_cast<std::ptrdiff_t>(i),
                       in.begin() + static_cast<std::ptrdiff_t>(i + c));
            i += c;
        } else {
            if (out.size() + 1 > capacity) return false;
            out.push_back(c);
        }
    }
    return true;
}

TEST(PalmDoc, AgreesWithAByteByByteReadingOnArbitraryInput) {
    std::uint32_t x = 61;
    auto next = [&x] {
        x = x * 1664525u + 1013904223u;
        return x >> 24;
    };
    for (int round = 0; round < 3000; ++round) {
        // Literals, space pairs, runs and back-references reaching a little way back (now and
        // then too far), cut anywhere.
        Bytes in;
        std::size_t tokens = next() % 40 + next() % 4 * 40;
        for (std::size_t t = 0; t < tokens; ++t) {
            std::uint32_t r = next();
            if (r < 90) {
                in.push_back(static_cast<std::uint8_t>('a' + r % 26));
            } else if (r < 150) {
                in.push_back(static_cast<std::uint8_t>(0xC0 + r % 64));
            } else if (r < 170) {
                std::uint8_t n = static_cast<std::uint8_t>(r % 8 + 1);
                in.push_back(n);
                for (std::uint8_t k = 0; k < n; ++k) in.push_back(static_cast<std::uint8_t>(next()));
            } else {
                std::uint32_t distance = next() % 48 + (r % 13 == 0 ? 0 : 1);
                std::uint32_t v = 0x8000 | distance << 3 | (next() % 8);
                in.push_back(static_cast<std::uint8_t>(v >> 8));
                in.push_back(static_cast<std::uint8_t>(v));
            }
        }
        if (!in.empty() && next() % 4 == 0) in.resize(next() % in.size());
        std::size_t capacity = next() % 2 ? 4096 : next() % 64 + 1;
        Bytes expected;
        bool expectedOk = ReferenceDecompress(in, capacity, expected);
        bool ok = false;
        Bytes got = Decompress(in, capacity, &ok);
        ASSERT_EQ(ok, expectedOk) << "round " << round;
        ASSERT_EQ(got, expected) << "round " << round;
    }
}

TEST(PalmDoc, SpacePairsDecode) {
    Bytes in = {'x', 'A' ^ 0x80};  // 0xC1 is a space and an 'A'
    bool ok = false;
    Bytes out = Decompress(in, 16, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(std::string(out.begin(), out.end()), "x A");
}

TEST(PalmDoc, BackReferenceBeforeOutputStartIsCorrupt) {
    Bytes in = {'a', 0x80, static_cast<std::uint8_t>(5 << 3)};
    bool ok = true;
    Bytes out = Decompress(in, 16, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(out.size(), 1u);
}

TEST(PalmDoc, ZeroDistanceIsCorrupt) {
    Bytes in = {'a', 0x80, 0x00};
    bool ok = true;
    Decompress(in, 16, &ok);
    EXPECT_FALSE(ok);
}

TEST(PalmDoc, LiteralRunPastInputIsCorrupt) {
    Bytes in = {'a', 5, 'x', 'y'};
    bool ok = true;
    Decompress(in, 16, &ok);
    EXPECT_FALSE(ok);
}

TEST(PalmDoc, OutputNeverPassesItsCapacity) {
    Bytes text(64, 'z');
    Bytes packed = PalmDocCompress(text.data(), text.size());
    bool ok = true;
    Bytes out = Decompress(packed, 10, &ok);
    EXPECT_FALSE(ok);
    EXPECT_LE(out.size(), 10u);
    // A truncated back-reference at the end of the input.
    Bytes cut = {'a', 0x80};
    Decompress(cut, 16, &ok);
    EXPECT_FALSE(ok);
}

struct HuffFixture {
    HuffTables tables;
    HuffCdicDecoder decoder;
    bool Load() {
        std::vector<ByteSpan> cdics;
        for (const Bytes& c : tables.cdics)
            cdics.push_back(ByteSpan{c.data(), static_cast<std::uint32_t>(c.size())});
        return decoder.Load(
            ByteSpan{tables.huff.data(), static_cast<std::uint32_t>(tables.huff.size())}, cdics);
    }
    bool Decode(const Bytes& record, Bytes* out) {
        out->assign(4096, 0);
        std::size_t n = 0;
        bool ok = decoder.Decode(record.data(), record.size(), out->data(), out->size(), &n);
        out->resize(n);
        return ok;
    }
};

TEST(HuffCdic, RoundTripsWithoutDictionary) {
    HuffFixture f;
    Bytes text = MixedBytes(4096);
    f.tables = HuffCompress({text}, {}, false);
    ASSERT_TRUE(f.Load());
    Bytes out;
    EXPECT_TRUE(f.Decode(f.tables.records[0], &out));
    EXPECT_EQ(out, text);
}

TEST(HuffCdic, NestedDictionaryEntriesExpand) {
    HuffFixture f;
    std::string s = SampleText(4000);
    Bytes text(s.begin(), s.end());
    // Later words contain earlier ones, so their entries are stored through them.
    f.tables = HuffCompress({text}, {"the", "the reader", "reader", "page", "a page of"}, true, 2);
    ASSERT_GE(f.tables.cdics.size(), 2u);
    ASSERT_TRUE(f.Load());
    Bytes out;
    EXPECT_TRUE(f.Decode(f.tables.records[0], &out));
    EXPECT_EQ(out, text);
}

TEST(HuffCdic, RefusesMalformedTables) {
    Bytes text = MixedBytes(500);
    HuffFixture good;
    good.tables = HuffCompress({text}, {"ab"}, false);

    HuffFixture overSubscribed = good;
    // Every symbol one bit long cannot be a prefix code.
    for (std::size_t i = 16; i < overSubscribed.tables.huff.size(); ++i)
        overSubscribed.tables.huff[i] = 1;
    EXPECT_FALSE(overSubscribed.Load());

    HuffFixture tooLong = good;
    tooLong.tables.huff[16 + 'a'] = 30;
    EXPECT_FALSE(tooLong.Load());

    HuffFixture badOffset = good;
    SetU32(badOffset.tables.cdics[0], 16, 0x7FFFFFF0);
    EXPECT_FALSE(badOffset.Load());

    HuffFixture uncovered = good;
    uncovered.tables.cdics.clear();
    EXPECT_FALSE(uncovered.Load());

    HuffFixture zeroSymbols = good;
    SetU32(zeroSymbols.tables.huff, 8, 0);
    EXPECT_FALSE(zeroSymbols.Load());
}

TEST(HuffCdic, SelfReferringEntryIsCorruptNotEndless) {
    HuffFixture f;
    Bytes text = ToBytes("xyxyxy");
    f.tables = HuffCompress({text}, {"xy"}, false);
    // Rewrite entry 256 as a compressed entry whose stream is symbol 256 itself.
    Bytes& cdic = f.tables.cdics[0];
    std::uint32_t at = BigEndian::U32(cdic.data() + 16);
    cdic.resize(at);
    Bytes stream = f.tables.records[0];  // starts with symbol 256 ("xy")
    Bytes body;
    PutU16(body, 2);  // expands to 2 bytes
    body.insert(body.end(), stream.begin() + 2, stream.end());
    PutU16(cdic, static_cast<std::uint32_t>(body.size()));
    cdic.insert(cdic.end(), body.begin(), body.end());
    ASSERT_TRUE(f.Load());
    Bytes out;
    EXPECT_FALSE(f.Decode(f.tables.records[0], &out));
}

TEST(HuffCdic, DictionaryNestingIsBoundedInDepth) {
    // Each word is the previous one and a letter, so entry k expands through k entries.
    auto chain = [](int levels) {
        std::vector<std::string> words;
        std::string w = "q";
        for (int k = 0; k < levels; ++k) {
            w += static_cast<char>('a' + k % 26);
            words.push_back(w);
        }
        return words;
    };
    for (int levels : {10, 30}) {
        HuffFixture f;
        std::vector<std::string> words = chain(levels);
        Bytes text = ToBytes(words.back() + " " + words.back());
        f.tables = HuffCompress({text}, words, true);
        ASSERT_TRUE(f.Load());
        Bytes out;
        EXPECT_EQ(f.Decode(f.tables.records[0], &out), levels == 10) << levels;
        if (levels == 10) {
            EXPECT_EQ(out, text);
        }
    }
}

TEST(HuffCdic, TruncatedStreamAndOversizeLengthAreCorrupt) {
    HuffFixture f;
    Bytes text = MixedBytes(2000);
    f.tables = HuffCompress({text}, {}, false);
    ASSERT_TRUE(f.Load());
    Bytes cut(f.tables.records[0].begin(), f.tables.records[0].begin() + 100);
    Bytes out;
    EXPECT_FALSE(f.Decode(cut, &out));
    Bytes big = f.tables.records[0];
    SetU16(big, 0, 5000);
    EXPECT_FALSE(f.Decode(big, &out));
}

TEST(TrailingEntries, StripsExtraEntriesOutermostFirst) {
    // text "abc", multibyte entry (2 bytes + count), entry bit 1 (3 bytes), entry bit 3 (4 bytes).
    Bytes r = ToBytes("abc");
    r.push_back(0x81);
    r.push_back(0x82);
    r.push_back(2);
    r.push_back(0xEE);
    PutU16(r, 3);
    r.push_back(0xDD);
    r.push_back(0xDD);
    PutU16(r, 4);
    TrailingEntries e;
    ASSERT_TRUE(
        StripTrailingEntries(r.data(), static_cast<std::uint32_t>(r.size()), 0b1011, true, &e));
    EXPECT_EQ(e.textLength, 3u);
    EXPECT_EQ(e.carryLength, 2u);
    // Without UTF-8 the multibyte bit is not honoured.
    ASSERT_TRUE(
        StripTrailingEntries(r.data(), static_cast<std::uint32_t>(r.size()), 0b1011, false, &e));
    EXPECT_EQ(e.textLength, 6u);
}

TEST(TrailingEntries, OversizeEntriesAreCorrupt) {
    Bytes r = ToBytes("ab");
    PutU16(r, 40);
    TrailingEntries e;
    EXPECT_FALSE(
        StripTrailingEntries(r.data(), static_cast<std::uint32_t>(r.size()), 2, false, &e));
    Bytes m = ToBytes("ab");
    m.push_back(7);  // a multibyte count above 3
    EXPECT_FALSE(StripTrailingEntries(m.data(), static_cast<std::uint32_t>(m.size()), 1, true, &e));
    EXPECT_FALSE(StripTrailingEntries(m.data(), 0, 1, true, &e));
}

}  // namespace
