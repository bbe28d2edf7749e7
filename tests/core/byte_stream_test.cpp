#include "core/byte_stream.h"

#include <gtest/gtest.h>

#include "core/string_pool.h"

namespace {

TEST(ByteStreamWords, BigEndianOnTheWireHostOrderInMemory) {
    ByteStream s;
    uint32_t words[2] = {0x01020304, 0xA0B0C0D0};
    ASSERT_TRUE(s.WriteWords32BE(words, 2));
    EXPECT_EQ(s.Data()[0], 1);
    EXPECT_EQ(s.Data()[7], 0xD0);
    uint32_t raw = ByteSwap32(0x45424153);  // a tag through the raw writer
    ASSERT_TRUE(s.PutWords32Raw(&raw, 1));
    EXPECT_EQ(s.Data()[8], 'E');
    uint32_t back[3];
    ASSERT_TRUE(s.GetWords32BE(back, 3));
    EXPECT_EQ(back[1], 0xA0B0C0D0u);
    EXPECT_EQ(back[2], 0x45424153u);
    EXPECT_EQ(ReadBE32(s.Data() + 4), 0xA0B0C0D0u);
}

TEST(ByteStreamWords, RawWritesGrowBeyondAnEarlierReserve) {
    ByteStream s;
    ASSERT_TRUE(s.Reserve(4));
    uint32_t words[64];
    for (uint32_t i = 0; i < 64; ++i) words[i] = i;
    ASSERT_TRUE(s.PutWords32Raw(words, 64));  // far more than reserved
    EXPECT_EQ(s.Size(), 256u);
    uint32_t back[64];
    ASSERT_TRUE(s.GetWords32Raw(back, 64));
    EXPECT_EQ(back[63], 63u);
    EXPECT_TRUE(s.Ok());
}

TEST(ByteStreamWords, ReadingPastTheEndClearsOkAndStaysCleared) {
    ByteStream s;
    s.WriteWord32BE(7);
    uint32_t v[2] = {9, 9};
    EXPECT_FALSE(s.ReadWords32BE(v, 2));
    EXPECT_EQ(v[0], 0u);
    EXPECT_FALSE(s.Ok());
    uint32_t w;
    EXPECT_FALSE(s.ReadWord32BE(w));
    EXPECT_FALSE(s.Skip(0));
    s.Clear();
    EXPECT_TRUE(s.Ok());
}

TEST(ByteStreamBlocks, BlocksReadBackAfterAnUnalignedStart) {
    ByteStream inner;
    inner.WriteBytes("abcde", 5);
    ByteStream s;
    s.WriteByte(0xEE);  // the target is not 4-aligned before the block
    ASSERT_TRUE(s.WriteBlock(inner));
    s.WriteWord32BE(0x11223344);
    EXPECT_EQ(s.Size(), 1u + 4 + 5 + 3 + 4);
    uint8_t b;
    ASSERT_TRUE(s.ReadByte(b));
    ByteStream out;
    ASSERT_TRUE(s.ReadBlock(out));
    EXPECT_EQ(out.Size(), 5u);
    uint32_t tail;
    ASSERT_TRUE(s.ReadWord32BE(tail));
    EXPECT_EQ(tail, 0x11223344u);
}

TEST(ByteStreamBlocks, OversizeOrWrappedLengthsFail) {
    for (uint32_t length : {0xFFFFFFFFu, 0xFFFFFFFDu, 9u}) {
        ByteStream s;
        s.WriteWord32BE(length);
        s.WriteBytes("12345678", 8);
        ByteStream out;
        EXPECT_FALSE(s.ReadBlock(out)) << length;
        EXPECT_FALSE(s.Ok());
        EXPECT_EQ(out.Size(), 0u);
    }
}

TEST(ByteStreamEdit, ResizeZeroFillsAndPatchOverwrites) {
    ByteStream s;
    s.WriteBytes("xxxx", 4);
    ASSERT_TRUE(s.Resize(2));
    ASSERT_TRUE(s.Resize(8));
    EXPECT_EQ(s.Data()[2], 0);
    EXPECT_EQ(s.Data()[7], 0);
    EXPECT_EQ(s.Data()[8], 0);
    ASSERT_TRUE(s.PatchWord32BE(4, 0xCAFEBABE));
    EXPECT_EQ(ReadBE32(s.Data() + 4), 0xCAFEBABEu);
    ByteStream shortOne;
    shortOne.WriteBytes("abcdef", 6);
    EXPECT_FALSE(shortOne.PatchWord32BE(3, 1));
    ASSERT_TRUE(s.PadToAlignment(16));
    EXPECT_EQ(s.Size(), 16u);
    ASSERT_TRUE(s.SetReadPosition(3));
    ASSERT_TRUE(s.AlignReadPosition(4));
    EXPECT_EQ(s.ReadPosition(), 4u);
}

TEST(ByteStreamEdit, AppendCopyAndMove) {
    ByteStream a, b;
    a.WriteBytes("ab", 2);
    b.WriteBytes("cd", 2);
    ASSERT_TRUE(a.AppendStream(b));
    ASSERT_TRUE(a.AppendStream(a));
    EXPECT_EQ(a.Size(), 8u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(a.Data()), 8), "abcdabcd");
    ByteStream c;
    ASSERT_TRUE(c.CopyFrom(a));
    ByteStream d;
    d.Move(c);
    EXPECT_EQ(c.Size(), 0u);
    EXPECT_EQ(d.Size(), 8u);
}

TEST(VarNumbers, RoundTripAndLastByteCarriesTheHighBit) {
    ByteStream s;
    for (uint32_t v : {0u, 127u, 128u, 300u, 0xFFFFFFFFu}) ASSERT_TRUE(s.PutVarU32(v));
    EXPECT_EQ(s.Data()[0], 0x80);
    EXPECT_EQ(s.Data()[1], 0xFF);
    EXPECT_EQ(s.Data()[2], 0x00);
    EXPECT_EQ(s.Data()[3], 0x81);
    for (uint32_t v : {0u, 127u, 128u, 300u, 0xFFFFFFFFu}) {
        uint32_t got;
        ASSERT_TRUE(s.GetVarU32(got));
        EXPECT_EQ(got, v);
    }
}

TEST(VarNumbers, OverlongOrTruncatedNumbersFail) {
    ByteStream s;
    const uint8_t six[] = {0, 0, 0, 0, 0, 0x81};
    s.WriteBytes(six, 6);
    uint32_t v;
    EXPECT_FALSE(s.GetVarU32(v));
    ByteStream big;
    const uint8_t wide[] = {0x7F, 0x7F, 0x7F, 0x7F, 0xFF};  // above 32 bits
    big.WriteBytes(wide, 5);
    EXPECT_FALSE(big.GetVarU32(v));
    ByteStream cut;
    cut.WriteByte(0x05);
    EXPECT_FALSE(cut.GetVarU32(v));
}

TEST(StringPoolFormat, RepeatsAreWrittenAsIndexes) {
    ByteStream s;
    StringPool w(s);
    ASSERT_TRUE(w.WriteString(String(u"ab")));
    ASSERT_TRUE(w.WriteString(String()));
    ASSERT_TRUE(w.WriteString(String(u"\u00E9")));
    ASSERT_TRUE(w.WriteString(String(u"ab")));
    ASSERT_TRUE(w.WriteString(String(u"\u00E9")));
    const uint8_t expected[] = {0x84, 'a', 'b', 0x80, 0x84, 0xC3, 0xA9, 0x81, 0x83};
    ASSERT_EQ(s.Size(), sizeof(expected));
    EXPECT_EQ(0, memcmp(s.Data(), expected, sizeof(expected)));
    StringPool r(s);
    String out;
    ASSERT_TRUE(r.ReadString(out));
    EXPECT_TRUE(out.EqualsAscii("ab"));
    ASSERT_TRUE(r.ReadString(out));
    EXPECT_TRUE(out.IsEmpty());
    ASSERT_TRUE(r.ReadString(out));
    ASSERT_TRUE(r.ReadString(out));
    EXPECT_TRUE(out.EqualsAscii("ab"));
    ASSERT_TRUE(r.ReadString(out));
    EXPECT_EQ(out.CompareN(u"\u00E9", 1), 0);
}

TEST(StringPoolFormat, BadIndexesLengthsAndUtf8) {
    {
        ByteStream s;
        s.PutVarU32(3);  // index 1 with nothing pooled
        StringPool r(s);
        String out;
        EXPECT_FALSE(r.ReadString(out));
        EXPECT_FALSE(s.Ok());
    }
    {
        ByteStream s;
        s.PutVarU32(0xFFFFFFFE);  // 2n with n far beyond the stream
        s.WriteBytes("abc", 3);
        StringPool r(s);
        String out;
        EXPECT_FALSE(r.ReadString(out));
    }
    {
        ByteStream s;
        s.PutVarU32(4);
        s.WriteBytes("\xFF\xC3", 2);
        StringPool r(s);
        String out;
        ASSERT_TRUE(r.ReadString(out));
        EXPECT_EQ(out.CompareN(u"\uFFFD\uFFFD", 2), 0);
    }
}

TEST(StringPoolFormat, TagsBelowThree) {
    ByteStream s;
    StringPool p(s);
    p.PutTag(2);
    p.PutTag(3);
    uint8_t tag;
    EXPECT_TRUE(p.GetTag(tag));
    EXPECT_FALSE(p.GetTag(tag));
    EXPECT_FALSE(p.GetTag(tag));
}

}  // namespace
