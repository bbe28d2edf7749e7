// Database dumps: round trips through record 0 and ".ebase" files, corrupt and truncated dumps,
// and saves that fail part-way.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "bookfiles/database_file.h"
#include "bookfiles/palm_database.h"
#include "db_test_util.h"
#include "support/platform/temp_device.h"

namespace {

// A database with every column kind, null and empty cells and repeated (pooled) texts.
Database* MakeSample() {
    Database* db = new Database();
    db->SetName(S("sample"));
    DbTable* t = db->TableAt(db->CreateTable(S("wl_en")));
    t->AddColumn(S("orth"), DbTable::kText);
    t->AddColumn(S("dict"), DbTable::kPooledText);
    t->AddColumn(S("icon"), DbTable::kSmallNumber);
    t->AddColumn(S("ent"), DbTable::kNumber);
    for (int i = 0; i < 5; ++i) {
        int32_t r = t->AddRecord();
        if (i != 1) t->SetText(r, 0, i == 2 ? String() : S(("word" + std::to_string(i)).c_str()));
        t->SetText(r, 1, S("oeb:redirect?title=Dict$table=main"));
        t->SetNumber(r, 2, static_cast<uint32_t>(i % 3));
        if (i != 3) t->SetNumber(r, 3, 0xFFFFFFF0u + static_cast<uint32_t>(i));
    }
    db->CreateTable(S("empty"));
    return db;
}

void ExpectSameAsSample(Database* db) {
    ASSERT_EQ(db->TableCount(), 2);
    DbTable* t = db->TableAt(0);
    EXPECT_EQ(A(t->Name()), "wl_en");
    ASSERT_EQ(t->ColumnCount(), 4);
    EXPECT_EQ(t->ColumnType(1), DbTable::kPooledText);
    EXPECT_EQ(t->ColumnType(2), DbTable::kSmallNumber);
    ASSERT_EQ(t->RowCount(), 5);
    String s;
    EXPECT_TRUE(t->IsNull(1, 0));
    EXPECT_FALSE(t->IsNull(2, 0));  // the empty text stays distinct from null
    EXPECT_TRUE(t->GetText(2, 0, s));
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_TRUE(t->GetText(4, 0, s));
    EXPECT_EQ(A(s), "word4");
    EXPECT_TRUE(t->GetText(3, 1, s));
    EXPECT_EQ(A(s), "oeb:redirect?title=Dict$table=main");
    uint32_t n = 0;
    EXPECT_TRUE(t->GetNumber(4, 2, n));
    EXPECT_EQ(n, 1u);
    EXPECT_TRUE(t->IsNull(3, 3));
    EXPECT_TRUE(t->GetNumber(4, 3, n));
    EXPECT_EQ(n, 0xFFFFFFF4u);
    EXPECT_EQ(db->TableAt(1)->ColumnCount(), 0);
}

std::vector<uint8_t> Encoded(Database* db) {
    ByteStream s;
    EXPECT_TRUE(db->Encode(s));
    return std::vector<uint8_t>(s.Data(), s.Data() + s.Size());
}

int DecodeInto(const std::vector<uint8_t>& bytes) {
    Database* db = new Database();
    int rc = db->Decode(bytes.data(), bytes.size());
    db->Release();
    return rc;
}

TEST(DumpTest, RoundTripKeepsNullEmptyPooledAndNumbers) {
    Database* db = MakeSample();
    std::vector<uint8_t> bytes = Encoded(db);
    db->Release();
    ASSERT_GE(bytes.size(), 12u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "FVDB");
    Database* back = new Database();
    ASSERT_EQ(back->Decode(bytes.data(), bytes.size()), 0);
    ExpectSameAsSample(back);
    EXPECT_FALSE(back->IsDirty());
    back->Release();
}

TEST(DumpTest, CorruptDumpsGiveErrorCodes) {
    Database* db = MakeSample();
    std::vector<uint8_t> good = Encoded(db);
    db->Release();

    std::vector<uint8_t> bad = good;
    bad[0] = 'X';
    EXPECT_EQ(DecodeInto(bad), 10);
    bad = good;
    bad[5] = 2;  // version 2
    EXPECT_EQ(DecodeInto(bad), 13);
    bad = good;
    bad[11] = 200;  // more tables than bytes
    EXPECT_EQ(DecodeInto(bad), 10);
    // Every truncation is refused, never read past.
    for (size_t cut = 0; cut < good.size(); ++cut) {
        std::vector<uint8_t> part(good.begin(), good.begin() + static_cast<long>(cut));
        EXPECT_NE(DecodeInto(part), 0) << "cut at " << cut;
    }
}

TEST(DumpTest, EveryByteFlipIsHandled) {
    Database* db = MakeSample();
    std::vector<uint8_t> good = Encoded(db);
    db->Release();
    // A flipped byte may still decode (a text changes), but must never crash or over-read.
    for (size_t i = 0; i < good.size(); ++i) {
        std::vector<uint8_t> bad = good;
        bad[i] ^= 0xA5;
        int rc = DecodeInto(bad);
        EXPECT_TRUE(rc == 0 || rc == 10 || rc == 13) << "byte " << i << " rc " << rc;
    }
}

class DumpFileTest : public ::testing::Test {
protected:
    fvt::test::TempDevice device_;
};

TEST_F(DumpFileTest, SaveAndOpenFile) {
    ASSERT_TRUE(device_.ok());
    Database* db = MakeSample();
    db->SetName(S("a_very_long_database_name_of_40_chars_xx"));
    db->SetFilePath("\\sample.ebase");
    ASSERT_TRUE(db->Save());
    EXPECT_FALSE(db->IsDirty());
    db->Release();

    int error = 0;
    std::unique_ptr<PalmDatabase> file(
        PalmDatabase::Open("\\sample.ebase", 41, nullptr, nullptr, &error));
    ASSERT_TRUE(file) << error;
    EXPECT_EQ(file->GetType(), PalmCode("DUMP"));
    EXPECT_EQ(file->GetCreator(), PalmCode("FOLV"));
    EXPECT_EQ(std::string(file->GetName()), "a_very_long_database_name_of_40");  // 31
    Database* back = nullptr;
    ASSERT_EQ(Database::OpenFile(file.get(), back), 0);
    ExpectSameAsSample(back);
    EXPECT_EQ(back->FilePath(), "\\sample.ebase");
    back->Release();
}

TEST_F(DumpFileTest, MissingRecordZeroIsMissing) {
    std::unique_ptr<PalmDatabase> empty(PalmDatabase::CreateInMemory("FOLV", "DUMP"));
    Database* out = nullptr;
    EXPECT_EQ(Database::OpenFile(empty.get(), out), 11);
    EXPECT_EQ(out, nullptr);
}

TEST_F(DumpFileTest, FailedSaveLeavesThePreviousFileWhole) {
    ASSERT_TRUE(device_.ok());
    Database* db = MakeSample();
    db->SetFilePath("\\keep.ebase");
    ASSERT_TRUE(db->Save());
    std::string before = device_.ReadHost("keep.ebase");
    ASSERT_FALSE(before.empty());

    db->TableAt(0)->DeleteAllRecords();
    DatabaseFile::FailWritesAfterForTesting(10);
    EXPECT_FALSE(db->Save());
    DatabaseFile::FailWritesAfterForTesting(-1);
    EXPECT_TRUE(db->IsDirty());  // still to be saved
    EXPECT_EQ(device_.ReadHost("keep.ebase"), before);

    ASSERT_TRUE(db->Save());
    EXPECT_NE(device_.ReadHost("keep.ebase"), before);
    db->Release();
}

TEST_F(DumpFileTest, SaveNeedsAFileAndSkipsUnchanged) {
    Database* db = MakeSample();
    EXPECT_FALSE(db->Save());  // no file
    db->SetFilePath("\\x.ebase");
    db->ClearDirty();
    EXPECT_TRUE(db->Save());  // nothing to write
    EXPECT_FALSE(device_.HostExists("x.ebase"));
    db->Release();
}

TEST_F(DumpFileTest, ReadOnlyFlagSurvivesAndRefusesSave) {
    Database* db = MakeSample();
    db->SetFilePath("\\ro.ebase");
    db->SetReadOnly(true);
    std::vector<uint8_t> bytes = Encoded(db);
    db->Release();
    Database* back = new Database();
    ASSERT_EQ(back->Decode(bytes.data(), bytes.size()), 0);
    EXPECT_TRUE(back->IsReadOnly());
    back->SetFilePath("\\ro.ebase");
    back->SetDirty();
    EXPECT_FALSE(back->Save());
    back->Release();
}

}  // namespace
