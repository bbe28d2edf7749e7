// Palm database files: parsing, the open flags, record editing and crash-safe writing.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "bookfiles/book_error.h"
#include "bookfiles/byte_order.h"
#include "bookfiles/database_file.h"
#include "bookfiles/palm_database.h"
#include "core/text.h"
#include "platform/storage/sync_log.h"
#include "support/bookfiles/pdb_builder.h"
#include "support/platform/temp_device.h"

namespace {

class PalmDatabaseTest : public ::testing::Test {
protected:
    void TearDown() override { DatabaseFile::FailWritesAfterForTesting(-1); }
    // A device path, and the same file seen from the host.
    std::string Path(const char* name) { return std::string("\\") + name; }
    bool Put(const char* name, const Bytes& bytes) {
        return WriteFileBytes(device_.Host(name), bytes);
    }
    static PdbBuilder Sample() {
        PdbBuilder b;
        b.name = "Sample";
        b.type = "DATA";
        b.creator = "TEST";
        b.Add(ToBytes("zero"));
        b.Add(ToBytes(""));
        b.Add(ToBytes("two!"));
        b.records[2].uniqueId = 0x00ABCDEF;
        return b;
    }
    fvt::test::TempDevice device_;
};

TEST_F(PalmDatabaseTest, ReadsRecordsOfAMappedFile) {
    std::string path = Path("a.pdb");
    ASSERT_TRUE(Put("a.pdb", Sample().Build()));
    int error = -1;
    std::unique_ptr<PalmDatabase> db(
        PalmDatabase::Open(path.c_str(), 41, nullptr, nullptr, &error));
    ASSERT_TRUE(db);
    EXPECT_EQ(error, 0);
    EXPECT_TRUE(db->IsReadOnly());
    EXPECT_TRUE(db->IsHeld());
    EXPECT_TRUE(db->WantsBusyNotice());
    EXPECT_STREQ(db->GetName(), "Sample");
    EXPECT_EQ(db->GetType(), PalmCode("DATA"));
    EXPECT_EQ(db->GetCreator(), PalmCode("TEST"));
    ASSERT_EQ(db->GetRecordCount(), 3u);
    std::uint32_t length = 99;
    const std::uint8_t* empty = db->GetRecord(1, &length);
    EXPECT_NE(empty, nullptr);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(db->GetRecord(3, &length), nullptr);
    EXPECT_EQ(db->FindByUniqueId(0xABCDEF), 2);
    EXPECT_EQ(db->FindByUniqueId(0), -1);
    char buffer[8] = {};
    std::uint32_t got = 0;
    EXPECT_TRUE(db->ReadRecord(2, 1, buffer, 8, &got));
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(std::string(buffer, got), "wo!");
    EXPECT_FALSE(db->ReadRecord(2, 5, buffer, 1, &got));
    EXPECT_FALSE(db->NewRecord(PalmDatabase::kAppend, 4, nullptr));
    EXPECT_FALSE(db->Destroy());
    EXPECT_TRUE(DatabaseFile::Exists(path.c_str()));
}

TEST_F(PalmDatabaseTest, OpensByEncodedPath) {
    std::string path = Path("caf\xC3\xA9.pdb");
    ASSERT_TRUE(Put("caf\xC3\xA9.pdb", Sample().Build()));
    Text text;
    ASSERT_TRUE(text.AssignUtf8(path.c_str()));
    ASSERT_TRUE(text.ConvertTo(65002));
    int error = -1;
    std::unique_ptr<PalmDatabase> db(PalmDatabase::Open(text, 41, nullptr, nullptr, &error));
    EXPECT_TRUE(db);
    EXPECT_EQ(error, 0);
    Text empty;
    EXPECT_EQ(PalmDatabase::Open(empty, 41, nullptr, nullptr, &error), nullptr);
    EXPECT_EQ(error, kBookNotFound);
}

TEST_F(PalmDatabaseTest, MissingFileAndUnknownFlags) {
    int error = 0;
    EXPECT_EQ(PalmDatabase::Open(Path("none.pdb").c_str(), 41, nullptr, nullptr, &error), nullptr);
    EXPECT_EQ(error, kBookNotFound);
    EXPECT_EQ(PalmDatabase::Open(Path("none.pdb").c_str(), 11, nullptr, nullptr, &error), nullptr);
    EXPECT_EQ(error, kBookNotFound);
    EXPECT_EQ(PalmDatabase::Open(Path("none.pdb").c_str(), 42, nullptr, nullptr, &error), nullptr);
    EXPECT_EQ(error, kBookCannotOpen);
    // Creating is allowed for a missing file, not in a missing folder.
    EXPECT_EQ(PalmDatabase::Open("\\nowhere\\new.fvt", 23, "FOLV", "BPAR", &error), nullptr);
    EXPECT_EQ(error, kBookCannotOpen);
}

TEST_F(PalmDatabaseTest, MalformedRecordListsAreCorrupt) {
    Bytes good = Sample().Build();
    auto expectCorrupt = [&](Bytes bytes) {
        int error = 0;
        std::unique_ptr<PalmDatabase> db(
            PalmDatabase::OpenView(bytes.data(), bytes.size(), &error));
        EXPECT_EQ(db, nullptr);
        EXPECT_EQ(error, kBookCorrupt);
    };
    Bytes decreasing = good;
    SetU32(decreasing, 78 + 8, BigEndian::U32(good.data() + 78) - 1);
    expectCorrupt(decreasing);
    Bytes pastEnd = good;
    SetU32(pastEnd, 78 + 16, static_cast<std::uint32_t>(good.size() + 1));
    expectCorrupt(pastEnd);
    Bytes intoList = good;
    SetU32(intoList, 78, 80);
    expectCorrupt(intoList);
    Bytes tooMany = good;
    SetU16(tooMany, 76, 5000);
    expectCorrupt(tooMany);
    Bytes chained = good;
    SetU32(chained, 72, 1);
    expectCorrupt(chained);
    expectCorrupt(Bytes(good.begin(), good.begin() + 60));
}

TEST_F(PalmDatabaseTest, NameWithoutTerminatorReadsAs31Bytes) {
    Bytes bytes = Sample().Build();
    for (int i = 0; i < 32; ++i) bytes[i] = 'N';
    std::unique_ptr<PalmDatabase> db(PalmDatabase::OpenView(bytes.data(), bytes.size(), nullptr));
    ASSERT_TRUE(db);
    EXPECT_EQ(std::string(db->GetName()), std::string(31, 'N'));
}

TEST_F(PalmDatabaseTest, TypeAndCreatorMustMatchOnlyWhenTheFlagsSaySo) {
    std::string path = Path("cache.fvt");
    ASSERT_TRUE(Put("cache.fvt", Sample().Build()));
    int error = 0;
    EXPECT_EQ(PalmDatabase::Open(path.c_str(), 297, "FOLV", "MKCH", &error), nullptr);
    EXPECT_EQ(error, kBookBadVersion);
    std::unique_ptr<PalmDatabase> same(
        PalmDatabase::Open(path.c_str(), 297, "TEST", "DATA", &error));
    EXPECT_TRUE(same);
    std::unique_ptr<PalmDatabase> any(PalmDatabase::Open(path.c_str(), 41, "FOLV", "MKCH", &error));
    EXPECT_TRUE(any);
}

TEST_F(PalmDatabaseTest, EditsAreWrittenBackAndReadAgain) {
    std::string path = Path("store.fvt");
    int error = 0;
    {
        std::unique_ptr<PalmDatabase> db(
            PalmDatabase::Open(path.c_str(), 23, "FOLV", "GPAR", &error));
        ASSERT_TRUE(db);
        EXPECT_FALSE(db->IsReadOnly());
        db->SetName("store.fvt", 9);
        std::uint32_t a = 0, b = 0, c = 0;
        ASSERT_TRUE(db->NewRecord(PalmDatabase::kAppend, 4, &a));
        ASSERT_TRUE(db->NewRecord(PalmDatabase::kAppend, 2, &b));
        ASSERT_TRUE(db->NewRecord(0, 3, &c));  // inserted before the others
        EXPECT_EQ(c, 0u);
        EXPECT_TRUE(db->WriteRecord(1, 0, "abcd", 4));
        EXPECT_FALSE(db->WriteRecord(1, 2, "abcd", 4));  // past the record's end
        EXPECT_TRUE(db->ResizeRecord(2, 6));
        EXPECT_TRUE(db->WriteRecord(2, 2, "wxyz", 4));
        std::uint32_t length = 0;
        std::uint8_t* w = db->GetRecordForWrite(0, &length);
        ASSERT_EQ(length, 3u);
        w[0] = 'Q';
        db->ReleaseRecord(0, true);
        EXPECT_NE(db->GetUniqueId(0), db->GetUniqueId(1));
        EXPECT_NE(db->GetUniqueId(0), 0u);
        ASSERT_TRUE(db->Close());
    }
    std::unique_ptr<PalmDatabase> back(
        PalmDatabase::Open(path.c_str(), 11, nullptr, nullptr, &error));
    ASSERT_TRUE(back);
    EXPECT_STREQ(back->GetName(), "store.fvt");
    EXPECT_EQ(back->GetType(), PalmCode("GPAR"));
    ASSERT_EQ(back->GetRecordCount(), 3u);
    std::uint32_t length = 0;
    const std::uint8_t* r0 = back->GetRecord(0, &length);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r0), length), std::string("Q\0\0", 3));
    const std::uint8_t* r2 = back->GetRecord(2, &length);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r2), length), std::string("\0\0wxyz", 6));
    std::uint32_t uid = back->GetUniqueId(1);
    EXPECT_TRUE(back->DeleteRecord(0));
    EXPECT_EQ(back->FindByUniqueId(uid), 0);
}

TEST_F(PalmDatabaseTest, FailedWriteLeavesThePreviousFileWhole) {
    std::string path = Path("side.fvt");
    Bytes original = Sample().Build();
    ASSERT_TRUE(Put("side.fvt", original));
    std::unique_ptr<PalmDatabase> db(
        PalmDatabase::Open(path.c_str(), 11, nullptr, nullptr, nullptr));
    ASSERT_TRUE(db);
    ASSERT_TRUE(db->NewRecord(PalmDatabase::kAppend, 5000, nullptr));
    DatabaseFile::FailWritesAfterForTesting(100);
    EXPECT_FALSE(db->Flush());
    DatabaseFile::FailWritesAfterForTesting(-1);
    std::vector<std::uint8_t> now;
    ASSERT_EQ(DatabaseFile::ReadAll(path.c_str(), &now), 0);
    EXPECT_EQ(now, original);
    EXPECT_FALSE(DatabaseFile::Exists((path + ".tmp").c_str()));
    // The changes are still pending and reach the file once writing works.
    EXPECT_TRUE(db->Flush());
    std::unique_ptr<PalmDatabase> back(
        PalmDatabase::Open(path.c_str(), 41, nullptr, nullptr, nullptr));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->GetRecordCount(), 4u);
}

TEST_F(PalmDatabaseTest, StartingEmptyReplacesTheFileOnlyWhenWritten) {
    std::string path = Path("page.fvg");
    Bytes original = Sample().Build();
    ASSERT_TRUE(Put("page.fvg", original));
    std::unique_ptr<PalmDatabase> db(
        PalmDatabase::Open(path.c_str(), 151, "FOLV", "BOOK", nullptr));
    ASSERT_TRUE(db);
    EXPECT_EQ(db->GetRecordCount(), 0u);
    std::vector<std::uint8_t> now;
    ASSERT_EQ(DatabaseFile::ReadAll(path.c_str(), &now), 0);
    EXPECT_EQ(now, original);
    ASSERT_TRUE(db->NewRecord(PalmDatabase::kAppend, 224, nullptr));
    ASSERT_TRUE(db->Close());
    std::unique_ptr<PalmDatabase> back(
        PalmDatabase::Open(path.c_str(), 41, "FOLV", "BOOK", nullptr));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->GetType(), PalmCode("BOOK"));
    EXPECT_EQ(back->GetRecordCount(), 1u);
}

TEST_F(PalmDatabaseTest, DestroyRemovesAnUnfinishedFile) {
    std::string path = Path("unfinished.fvg");
    std::unique_ptr<PalmDatabase> db(PalmDatabase::Open(path.c_str(), 23, "FOLV", "BOOK", nullptr));
    ASSERT_TRUE(db);
    ASSERT_TRUE(db->Flush());
    EXPECT_TRUE(DatabaseFile::Exists(path.c_str()));
    EXPECT_TRUE(db->Destroy());
    EXPECT_FALSE(DatabaseFile::Exists(path.c_str()));
}

TEST_F(PalmDatabaseTest, CorruptExistingFileIsNeitherOpenedNorOverwritten) {
    std::string path = Path("bad.fvt");
    Bytes junk =
        ToBytes("this is not a database at all, but it is long enough to have a header....");
    ASSERT_TRUE(Put("bad.fvt", junk));
    int error = 0;
    EXPECT_EQ(PalmDatabase::Open(path.c_str(), 23, "FOLV", "BPAR", &error), nullptr);
    EXPECT_EQ(error, kBookCorrupt);
    std::vector<std::uint8_t> now;
    ASSERT_EQ(DatabaseFile::ReadAll(path.c_str(), &now), 0);
    EXPECT_EQ(now, junk);
}

TEST_F(PalmDatabaseTest, InMemoryDatabasesSerialiseAndReload) {
    std::unique_ptr<PalmDatabase> db(PalmDatabase::CreateInMemory("FOLV", "LogF"));
    ASSERT_TRUE(db);
    ASSERT_TRUE(db->NewRecord(PalmDatabase::kAppend, 3, nullptr));
    ASSERT_TRUE(db->SetAttributes(PalmDatabase::kAttrBackup));
    Bytes bytes;
    ASSERT_TRUE(db->Serialize(&bytes));
    std::unique_ptr<PalmDatabase> again(
        PalmDatabase::LoadInMemory(bytes.data(), bytes.size(), nullptr));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->GetAttributes(), PalmDatabase::kAttrBackup);
    EXPECT_EQ(again->GetRecordCount(), 1u);
    EXPECT_EQ(again->GetUniqueId(0), db->GetUniqueId(0));
}

}  // namespace

namespace {

std::uint32_t HeaderWord(const std::vector<std::uint8_t>& file, std::size_t at) {
    return BigEndian::U32(file.data() + at);
}

}  // namespace

// A flush whose records say what the file already says leaves the file, its stamps and its
// modification time alone; a real change is written with a new change counter.
TEST_F(PalmDatabaseTest, FlushingUnchangedRecordsWritesNothing) {
    std::string path = Path("same.fvt");
    ASSERT_TRUE(Put("same.fvt", Sample().Build()));
    std::vector<std::uint8_t> before;
    ASSERT_EQ(DatabaseFile::ReadAll(path.c_str(), &before), 0);
    const auto stamp = std::filesystem::last_write_time(device_.Host("same.fvt"));
    const long long writes = DatabaseFile::ReplaceCountForTesting();
    {
        std::unique_ptr<PalmDatabase> db(
            PalmDatabase::Open(path.c_str(), 11, nullptr, nullptr, nullptr));
        ASSERT_TRUE(db);
        // Rewritten with the same bytes: marked changed, holding the same.
        ASSERT_TRUE(db->WriteRecord(0, 0, "zero", 4));
        ASSERT_TRUE(db->Flush());
        ASSERT_TRUE(db->Close());
    }
    EXPECT_EQ(DatabaseFile::ReplaceCountForTesting(), writes);
    std::vector<std::uint8_t> after;
    ASSERT_EQ(DatabaseFile::ReadAll(path.c_str(), &after), 0);
    EXPECT_EQ(after, before);
    EXPECT_EQ(std::filesystem::last_write_time(device_.Host("same.fvt")), stamp);

    {
        std::unique_ptr<PalmDatabase> db(
            PalmDatabase::Open(path.c_str(), 11, nullptr, nullptr, nullptr));
        ASSERT_TRUE(db);
        ASSERT_TRUE(db->WriteRecord(0, 0, "ZERO", 4));
        ASSERT_TRUE(db->Close());
    }
    EXPECT_EQ(DatabaseFile::ReplaceCountForTesting(), writes + 1);
    ASSERT_EQ(DatabaseFile::ReadAll(path.c_str(), &after), 0);
    EXPECT_EQ(HeaderWord(after, 48), HeaderWord(before, 48) + 1);
}

// Only the dates and the change counter are stamps: a new name, type or record is a change,
// and a failed write of a change still leaves the previous file whole.
// A replacement flushes the new file, renames it over the old one and syncs the folder, once
// each and in that order; the temporary file's creation syncs nothing.
TEST_F(PalmDatabaseTest, AReplacementSyncsTheFileThenItsFolderOnce) {
    Bytes original = Sample().Build();
    for (bool existed : {false, true}) {
        if (existed) {
            ASSERT_TRUE(Put("sync.fvt", original));
        }
        fvt::ClearSyncLog();
        ASSERT_TRUE(DatabaseFile::Replace(Path("sync.fvt").c_str(), original.data(),
                                          original.size()));
        const auto log = fvt::SyncLog();
        ASSERT_EQ(log.size(), 2u) << existed;
        EXPECT_EQ(log[0].device, u"\\sync.fvt.tmp");
        EXPECT_FALSE(log[0].folder);
        EXPECT_TRUE(log[1].folder);
        EXPECT_FALSE(device_.HostExists("sync.fvt.tmp"));
    }
}

TEST_F(PalmDatabaseTest, ReplacingADatabaseComparesAllButItsStamps) {
    std::string path = Path("cmp.fvt");
    Bytes original = Sample().Build();
    ASSERT_TRUE(Put("cmp.fvt", original));
    std::vector<std::uint8_t> same(original.begin(), original.end());
    for (std::size_t at = 36; at < 52; ++at) same[at] ^= 0x5A;  // other dates and counter
    bool written = true;
    EXPECT_TRUE(DatabaseFile::ReplaceDatabase(path.c_str(), same.data(), same.size(), &written));
    EXPECT_FALSE(written);
    for (std::size_t at : {std::size_t{0}, std::size_t{35}, std::size_t{52}, std::size_t{60},
                           same.size() - 1}) {
        std::vector<std::uint8_t> changed(original.begin(), original.end());
        changed[at] ^= 1;
        DatabaseFile::FailWritesAfterForTesting(10);
        EXPECT_FALSE(DatabaseFile::ReplaceDatabase(path.c_str(), changed.data(), changed.size(),
                                                   &written))
            << at;
        DatabaseFile::FailWritesAfterForTesting(-1);
        std::vector<std::uint8_t> now;
        ASSERT_EQ(DatabaseFile::ReadAll(path.c_str(), &now), 0);
        EXPECT_EQ(now, std::vector<std::uint8_t>(original.begin(), original.end()));
        EXPECT_TRUE(DatabaseFile::ReplaceDatabase(path.c_str(), changed.data(), changed.size(),
                                                  &written));
        EXPECT_TRUE(written) << at;
        ASSERT_TRUE(Put("cmp.fvt", original));
    }
    // A longer file with the same start is a change too.
    std::vector<std::uint8_t> longer(original.begin(), original.end());
    longer.push_back(0);
    EXPECT_TRUE(DatabaseFile::ReplaceDatabase(path.c_str(), longer.data(), longer.size(), &written));
    EXPECT_TRUE(written);
}

namespace {

// Every record's id looked up, against its index, after each kind of change to the list.
void ExpectEveryIdFound(const PalmDatabase& db) {
    for (std::uint32_t i = 0; i < db.GetRecordCount(); ++i)
        EXPECT_EQ(db.FindByUniqueId(db.GetUniqueId(i)), static_cast<std::int32_t>(i)) << i;
}

TEST(PalmDatabaseIds, RecordsAreFoundByIdAfterAppendsInsertsAndDeletes) {
    std::unique_ptr<PalmDatabase> db(PalmDatabase::CreateInMemory("TEST", "DATA"));
    ASSERT_TRUE(db);
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(db->NewRecord(PalmDatabase::kAppend, 4, nullptr));
    ExpectEveryIdFound(*db);
    const std::uint32_t seventh = db->GetUniqueId(7);
    // An insert moves every record after it; the ids must follow.
    std::uint32_t at = 0;
    ASSERT_TRUE(db->NewRecord(3, 4, &at));
    EXPECT_EQ(at, 3u);
    EXPECT_EQ(db->FindByUniqueId(seventh), 8);
    ExpectEveryIdFound(*db);
    const std::uint32_t gone = db->GetUniqueId(10);
    ASSERT_TRUE(db->DeleteRecord(10));
    EXPECT_EQ(db->FindByUniqueId(gone), -1);
    EXPECT_EQ(db->FindByUniqueId(seventh), 8);
    ExpectEveryIdFound(*db);
    ASSERT_TRUE(db->NewRecord(PalmDatabase::kAppend, 4, &at));
    EXPECT_EQ(db->FindByUniqueId(db->GetUniqueId(at)), static_cast<std::int32_t>(at));
    ExpectEveryIdFound(*db);
    EXPECT_EQ(db->FindByUniqueId(0xFFFFFF), -1);
}

TEST(PalmDatabaseIds, NewRecordsNeverTakeAnIdInUse) {
    // Ids 1 to 3 are taken in the file, and its seed stands below two of them.
    PdbBuilder b;
    b.uniqueIdSeed = 1;
    b.name = "Ids";
    b.type = "DATA";
    b.creator = "TEST";
    for (int i = 0; i < 3; ++i) {
        b.Add(ToBytes("r"));
        b.records[static_cast<std::size_t>(i)].uniqueId = static_cast<std::uint32_t>(i + 1);
    }
    Bytes bytes = b.Build();
    int error = -1;
    std::unique_ptr<PalmDatabase> db(PalmDatabase::LoadInMemory(bytes.data(), bytes.size(), &error));
    ASSERT_TRUE(db);
    std::uint32_t at = 0;
    ASSERT_TRUE(db->NewRecord(PalmDatabase::kAppend, 1, &at));
    const std::uint32_t fourth = db->GetUniqueId(at);
    EXPECT_EQ(fourth, 4u);
    // A deleted record's id may be given again.
    ASSERT_TRUE(db->DeleteRecord(1));
    ASSERT_TRUE(db->NewRecord(PalmDatabase::kAppend, 1, &at));
    EXPECT_NE(db->GetUniqueId(at), 1u);
    EXPECT_NE(db->GetUniqueId(at), 3u);
    EXPECT_NE(db->GetUniqueId(at), fourth);
    ExpectEveryIdFound(*db);
}

TEST(PalmDatabaseIds, ARepeatedIdFindsItsFirstRecord) {
    PdbBuilder b;
    b.name = "Twice";
    b.type = "DATA";
    b.creator = "TEST";
    for (int i = 0; i < 3; ++i) b.Add(ToBytes("r"));
    b.records[0].uniqueId = 9;
    b.records[1].uniqueId = 5;
    b.records[2].uniqueId = 5;
    Bytes bytes = b.Build();
    int error = -1;
    std::unique_ptr<PalmDatabase> db(PalmDatabase::OpenView(bytes.data(), bytes.size(), &error));
    ASSERT_TRUE(db);
    EXPECT_EQ(db->FindByUniqueId(5), 1);
    EXPECT_EQ(db->FindByUniqueId(9), 0);
}

}  // namespace
