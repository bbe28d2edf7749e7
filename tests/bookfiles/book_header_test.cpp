// The book-header check, the first image record and EXTH metadata.
#include <gtest/gtest.h>

#include <memory>

#include "bookfiles/book_header.h"
#include "bookfiles/palm_database.h"
#include "support/bookfiles/book_builder.h"

namespace {

struct Checked {
    bool ok;
    std::int32_t level, type, position;
};

Checked Check(const Bytes& file) {
    std::unique_ptr<PalmDatabase> db(PalmDatabase::OpenView(file.data(), file.size(), nullptr));
    EXPECT_TRUE(db);
    if (!db) return {false, 0, 0, 0};
    std::uint32_t length = 0;
    const std::uint8_t* r0 = db->GetRecord(0, &length);
    Checked c{};
    c.ok = CheckBookHeader(db.get(), r0, length, &c.level, &c.type, &c.position);
    return c;
}

Bytes BookWithHeader(std::uint32_t version, std::uint32_t length) {
    BookBuilder b;
    b.text = ToBytes("text");
    b.version = version;
    b.headerLength = length;
    b.type = 7;
    return b.Build();
}

TEST(CheckBookHeader, AcceptsKnownVersionsWithTheirMinimumLengths) {
    Checked v2 = Check(BookWithHeader(2, 100));
    EXPECT_TRUE(v2.ok);
    EXPECT_EQ(v2.level, 2);
    EXPECT_EQ(v2.type, 7);
    EXPECT_EQ(v2.position, 16);
    EXPECT_FALSE(Check(BookWithHeader(3, 100)).ok);
    EXPECT_TRUE(Check(BookWithHeader(3, 116)).ok);
    EXPECT_FALSE(Check(BookWithHeader(4, 200)).ok);
    EXPECT_TRUE(Check(BookWithHeader(4, 208)).ok);
    EXPECT_FALSE(Check(BookWithHeader(6, 208)).ok);
    Checked v6 = Check(BookWithHeader(6, 228));
    EXPECT_TRUE(v6.ok);
    EXPECT_EQ(v6.level, 6);
    EXPECT_FALSE(Check(BookWithHeader(1, 228)).ok);
}

TEST(CheckBookHeader, ShortBookRecordZeroSucceedsWithoutOutput) {
    PdbBuilder b;
    b.Add(Bytes(30, 0));
    Checked c = Check(b.Build());
    EXPECT_TRUE(c.ok);
    EXPECT_EQ(c.type, -1);
    EXPECT_EQ(c.position, -1);
    PdbBuilder noTag;
    noTag.Add(Bytes(60, 0));
    EXPECT_FALSE(Check(noTag.Build()).ok);
}

TEST(CheckBookHeader, ClassifiesPalmDocDatabases) {
    BookBuilder doc;
    doc.palmDoc = true;
    doc.text = ToBytes("plain text");
    Checked c = Check(doc.Build());
    EXPECT_TRUE(c.ok);
    EXPECT_EQ(c.type, 3);
    EXPECT_EQ(c.level, 0);
    EXPECT_EQ(c.position, -1);

    PdbBuilder marked;
    marked.type = "TEXt";
    marked.creator = "REAd";
    Bytes r0(16, 0);
    SetU16(r0, 12, 1);
    marked.Add(r0);
    EXPECT_EQ(Check(marked.Build()).type, 2);

    PdbBuilder byte150 = marked;
    Bytes big(170, 0);
    big[150] = 14;
    byte150.records[0].bytes = big;
    Checked c150 = Check(byte150.Build());
    EXPECT_EQ(c150.type, 2);
    EXPECT_EQ(c150.level, 1);

    PdbBuilder tiny = marked;
    tiny.records[0].bytes = Bytes(13, 0);
    EXPECT_FALSE(Check(tiny.Build()).ok);

    PdbBuilder other = marked;
    other.type = "DUMP";
    EXPECT_FALSE(Check(other.Build()).ok);
}

TEST(ReadBookHeaderWord, GivesTheFirstImageRecord) {
    BookBuilder b;
    b.text = ToBytes(SampleText(5000));
    b.resources = {ToBytes("GIF89a"), ToBytes("\xFF\xD8\xFF")};
    Bytes file = b.Build();
    std::unique_ptr<PalmDatabase> db(PalmDatabase::OpenView(file.data(), file.size(), nullptr));
    EXPECT_EQ(ReadBookHeaderWord(db.get()), b.firstResource);
    EXPECT_EQ(b.firstResource, 3u);

    BookBuilder none;
    none.text = ToBytes("x");
    Bytes noImages = none.Build();
    std::unique_ptr<PalmDatabase> db2(
        PalmDatabase::OpenView(noImages.data(), noImages.size(), nullptr));
    EXPECT_EQ(ReadBookHeaderWord(db2.get()), 0xFFFFu);
    EXPECT_EQ(ReadBookHeaderWord(nullptr), 0xFFFFu);
}

TEST(Exth, ReadsWhatTheWriterWrites) {
    Bytes cover;
    PutU32(cover, 2);
    std::vector<ExthRecord> records = {
        {Exth::kAuthor, ByteSpan{reinterpret_cast<const std::uint8_t*>("Ann Author"), 10}},
        {Exth::kCoverOffset, ByteSpan{cover.data(), 4}},
        {Exth::kThumbnailOffset, ByteSpan{cover.data(), 3}}};
    Bytes block;
    WriteExth(records, &block);
    EXPECT_EQ(block.size() % 4, 0u);
    BookBuilder b;
    b.text = ToBytes("t");
    b.exth = {{Exth::kAuthor, ToBytes("Ann Author")},
              {Exth::kCoverOffset, cover},
              {Exth::kThumbnailOffset, Bytes(cover.begin(), cover.begin() + 3)}};
    Bytes file = b.Build();
    std::unique_ptr<PalmDatabase> db(PalmDatabase::OpenView(file.data(), file.size(), nullptr));
    std::uint32_t length = 0;
    const std::uint8_t* r0 = db->GetRecord(0, &length);
    BookHeader header;
    ASSERT_TRUE(header.Parse(ByteSpan{r0, length}, true));
    // The builder's block and the writer's block are the same bytes.
    EXPECT_EQ(Bytes(r0 + 16 + 228, r0 + 16 + 228 + block.size()), block);
    std::vector<ExthRecord> read;
    ASSERT_TRUE(ReadExth(ByteSpan{r0, length}, header, &read));
    ASSERT_EQ(read.size(), 3u);
    std::uint32_t value = 0;
    EXPECT_TRUE(ExthNumber(read, Exth::kCoverOffset, &value));
    EXPECT_EQ(value, 2u);
    // 202 is used only when exactly 4 bytes long.
    EXPECT_FALSE(ExthNumber(read, Exth::kThumbnailOffset, &value));
}

TEST(Exth, OverrunningRecordsEndReadingAndKeepWhatWasRead) {
    BookBuilder b;
    b.text = ToBytes("t");
    b.exth = {{Exth::kAuthor, ToBytes("A")}, {Exth::kText101, ToBytes("B")}};
    Bytes file = b.Build();
    std::uint32_t r0Offset = BigEndian::U32(file.data() + 78);
    std::uint32_t second = r0Offset + 16 + 228 + 12 + 9;  // head of the second record
    SetU32(file, second + 4, 0x7FFFFFFF);
    std::unique_ptr<PalmDatabase> db(PalmDatabase::OpenView(file.data(), file.size(), nullptr));
    std::uint32_t length = 0;
    const std::uint8_t* r0 = db->GetRecord(0, &length);
    BookHeader header;
    ASSERT_TRUE(header.Parse(ByteSpan{r0, length}, true));
    std::vector<ExthRecord> read;
    ASSERT_TRUE(ReadExth(ByteSpan{r0, length}, header, &read));
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].type, Exth::kAuthor);
}

TEST(BookHeaderParse, FieldsBeyondTheHeaderOrRecordZeroAreAbsent) {
    BookBuilder b;
    b.text = ToBytes("t");
    b.version = 3;
    b.headerLength = 116;
    b.resources = {ToBytes("img")};
    Bytes file = b.Build();
    std::unique_ptr<PalmDatabase> db(PalmDatabase::OpenView(file.data(), file.size(), nullptr));
    std::uint32_t length = 0;
    const std::uint8_t* r0 = db->GetRecord(0, &length);
    BookHeader header;
    ASSERT_TRUE(header.Parse(ByteSpan{r0, length}, true));
    EXPECT_EQ(header.firstResource, kBookNone);
    EXPECT_EQ(header.trailingFlags, 0u);
    // A header length larger than record 0 is clamped to it.
    Bytes longer(r0, r0 + length);
    SetU32(longer, 20, 100000);
    ASSERT_TRUE(
        header.Parse(ByteSpan{longer.data(), static_cast<std::uint32_t>(longer.size())}, true));
    EXPECT_EQ(header.usableLength, longer.size() - 16);
    EXPECT_EQ(header.uniqueId, 0x12345678u);
}

}  // namespace
