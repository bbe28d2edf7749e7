// The global configuration store: defaults, upgrades of older stores, texts and reading lists.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "bookfiles/byte_order.h"
#include "bookfiles/configuration_store.h"
#include "bookfiles/database_file.h"
#include "platform/storage/sync_log.h"
#include "support/bookfiles/pdb_builder.h"
#include "support/out_text.h"
#include "support/platform/temp_device.h"

namespace {

class ConfigurationStoreTest : public ::testing::Test {
protected:
    void TearDown() override { DatabaseFile::FailWritesAfterForTesting(-1); }
    static constexpr const char* kPath = "\\FVT_global_configuration.fvt";
    static constexpr std::uint32_t kMainEnd = ConfigurationStore::kMainSize;
    // Writes these bytes where the store lives, and says whether that worked.
    bool PutStore(const Bytes& bytes) const {
        return WriteFileBytes(device_.Host("FVT_global_configuration.fvt"), bytes);
    }
    std::uintmax_t StoreSize() const {
        return std::filesystem::file_size(device_.Host("FVT_global_configuration.fvt"));
    }
    fvt::test::TempDevice device_;
};

Bytes StoreWith(Bytes main, const char* tag = "GPAR") {
    PdbBuilder b;
    b.type = "GPAR";
    Bytes rec(8, 0);
    std::copy_n(tag, 4, rec.begin());
    SetU32(rec, 4, static_cast<std::uint32_t>(main.size()));
    rec.insert(rec.end(), main.begin(), main.end());
    b.Add(rec);
    return b.Build();
}

TEST_F(ConfigurationStoreTest, NewStoreHoldsTheDefaults) {
    ConfigurationStore s;
    EXPECT_EQ(11, s.OpenDefault(kPath, 0));
    ASSERT_EQ(0, s.OpenDefault(kPath, 1));
    EXPECT_STREQ("FVT_global_configuration.fvt", s.Database()->GetName());
    EXPECT_EQ(65002u, s.GetWord(12));
    EXPECT_EQ(0xFFFFFFFFu, s.GetWord(8));
    EXPECT_EQ(0x00AA5500u, s.GetWord(24));  // link colour 0,85,170
    EXPECT_EQ(1, s.GetByte(29));
    EXPECT_EQ(0xFF, s.GetByte(259));
    EXPECT_EQ(0xFF, s.GetByte(291));
    EXPECT_EQ(1, s.GetByte(256));
    EXPECT_EQ(15u, s.GetWord(264));
    EXPECT_EQ(1u, s.GetWord(312));
    EXPECT_EQ(0x0020284Fu, s.GetWord(96));
    EXPECT_FALSE(s.TrustsCache());
    std::u16string book;
    EXPECT_EQ(0, s.GetText252(&book));
    EXPECT_EQ(ConfigurationStore::kDefaultBookLocation, book);
    std::uint32_t n = 9;
    EXPECT_EQ(nullptr, s.GetBlob64(&n));
    EXPECT_EQ(0u, n);
}

TEST_F(ConfigurationStoreTest, SettingsTextsAndCategoriesSurviveReopening) {
    {
        ConfigurationStore s;
        ASSERT_EQ(0, s.OpenDefault(kPath, 1));
        EXPECT_EQ(0, s.SetWord(300, 1));
        EXPECT_EQ(0, s.SetByte(258, 1));
        EXPECT_EQ(0, s.SetText(252, u"oeb:book?a", 10));
        const char16_t path[] = u"\\dict.prc";
        EXPECT_EQ(0, s.SetBlob64(path, 18));
        EXPECT_NE(0, s.SetWord(316, 1));  // past the record
        EXPECT_EQ(3, s.AddCategoryRecord(u"Fiction", 7));  // after the two DATA records
        EXPECT_EQ(4, s.AddCategoryRecord(u"Fict", 4));
        EXPECT_EQ(0, s.Flush());
    }
    ConfigurationStore s;
    ASSERT_EQ(0, s.OpenDefault(kPath, 0));
    EXPECT_EQ(1u, s.GetRunMarker());
    EXPECT_EQ(1, s.GetByte(258));
    EXPECT_EQ(0, s.GetByte(257));
    std::u16string book;
    s.GetText252(&book);
    EXPECT_EQ(u"oeb:book?a", book);
    std::uint32_t n = 0;
    const std::uint8_t* blob = s.GetBlob64(&n);
    ASSERT_NE(nullptr, blob);
    EXPECT_EQ(18u, n);
    EXPECT_EQ('\\', blob[0]);
    EXPECT_EQ(2u, s.CategoryCount());
    std::int32_t fict = s.FindCategoryRecord(u"Fict", 4);
    EXPECT_EQ(s.NextCategory(s.FirstCategory()), fict);
    EXPECT_EQ(-1, s.FindCategoryRecord(u"Fic", 3));
    EXPECT_EQ(0, s.RenameCategoryRecord(fict, u"Poems", 5));
    EXPECT_EQ(u"Poems", fvt::test::TextOf(s, &ConfigurationStore::ReadCategory, fict));
    EXPECT_NE(0, s.RenameCategoryRecord(0, u"x", 1));  // the main record is no category
    EXPECT_TRUE(s.DeleteCategory(s.FirstCategory()));
    EXPECT_EQ(1u, s.CategoryCount());
    EXPECT_EQ(0, s.SetBlob64(nullptr, 0));
    EXPECT_EQ(nullptr, s.GetBlob64(&n));
}

TEST_F(ConfigurationStoreTest, OlderStoreIsUpgradedInPlace) {
    Bytes old(100, 0);
    SetU32(old, 12, 1252);  // a code page the user chose
    ASSERT_TRUE(PutStore(StoreWith(old)));
    ConfigurationStore s;
    ASSERT_EQ(0, s.OpenDefault(kPath, 0));
    EXPECT_EQ(1252u, s.GetWord(12));
    EXPECT_EQ(15u, s.GetWord(264));  // a newer field, defaulted
    EXPECT_EQ(ConfigurationStore::kFormatVersion, s.GetWord(ConfigurationStore::kVersionOffset));
    EXPECT_EQ(0, s.SetWord(312, 0));
}

TEST_F(ConfigurationStoreTest, NewerOrDamagedStores) {
    Bytes newer(316, 0);
    SetU32(newer, 40, 2);
    Bytes bytes = StoreWith(newer);
    ASSERT_TRUE(PutStore(bytes));
    ConfigurationStore s;
    EXPECT_EQ(13, s.OpenDefault(kPath, 1));
    EXPECT_EQ(bytes.size(), StoreSize());

    ASSERT_TRUE(PutStore(StoreWith(Bytes(316, 0), "XXXX")));
    EXPECT_EQ(10, s.OpenDefault(kPath, 0));
    ASSERT_EQ(0, s.OpenDefault(kPath, 1));
    EXPECT_TRUE(device_.HostExists("FVT_global_configuration.fvt.damaged"));
    EXPECT_EQ(65002u, s.GetWord(12));
}

TEST_F(ConfigurationStoreTest, FailedFlushKeepsTheOldSettings) {
    ConfigurationStore s;
    ASSERT_EQ(0, s.OpenDefault(kPath, 1));
    s.SetWord(80, 2);
    DatabaseFile::FailWritesAfterForTesting(10);
    EXPECT_NE(0, s.Flush());
    DatabaseFile::FailWritesAfterForTesting(-1);
    ConfigurationStore other;
    ASSERT_EQ(0, other.Open(kPath, 1, 0));
    EXPECT_TRUE(other.IsReadOnly());
    EXPECT_EQ(0u, other.GetWord(80));
    EXPECT_NE(0, other.SetWord(80, 3));
}

TEST_F(ConfigurationStoreTest, DefaultMainRecordBytes) {
    std::uint8_t main[ConfigurationStore::kMainSize];
    ConfigurationStore::DefaultMain(main);
    const struct {
        std::uint32_t offset, word;
    } words[] = {{0, 0},          {8, 0xFFFFFFFF}, {12, 65002},      {16, 0x00FFFFFF},
                 {20, 0},         {24, 0x00AA5500}, {28, 0x00010000}, {40, 1},
                 {56, 0xFFFFFFFF}, {60, 1},         {72, 0x009BFFFF}, {76, 0x000000FF},
                 {92, 1},         {96, 0x0020284F}, {256, 0x010000FF}, {260, 0xFFFFFF00},
                 {264, 15},       {284, 0xFFFFFFFF}, {288, 0xFFFFFFFF}, {300, 0},
                 {304, 0},        {312, 1}};
    for (const auto& w : words) EXPECT_EQ(w.word, BigEndian::U32(main + w.offset)) << w.offset;
}

TEST_F(ConfigurationStoreTest, OlderStoreOpenedReadOnlyReadsTheDefaults) {
    // Ends in the middle of the word at 96, and holds version 0.
    Bytes old(98, 0);
    SetU32(old, 12, 1252);
    Bytes bytes = StoreWith(old);
    ASSERT_TRUE(PutStore(bytes));
    ConfigurationStore readOnly;
    ASSERT_EQ(0, readOnly.Open(kPath, 1, 0));
    EXPECT_EQ(1252u, readOnly.GetWord(12));
    EXPECT_EQ(15u, readOnly.GetWord(264));
    EXPECT_EQ(1u, readOnly.GetWord(312));
    EXPECT_EQ(0xFF, readOnly.GetByte(259));
    EXPECT_EQ(1, readOnly.GetByte(256));
    EXPECT_EQ(0u, readOnly.GetWord(ConfigurationStore::kVersionOffset));  // as stored
    EXPECT_EQ(0u, readOnly.GetWord(kMainEnd));
    EXPECT_EQ(0, readOnly.GetByte(kMainEnd + 3));
    EXPECT_EQ(bytes.size(), StoreSize());

    // Field for field what the upgrade of a writable open holds (the version aside).
    ConfigurationStore upgraded;
    ASSERT_EQ(0, upgraded.OpenDefault(kPath, 0));
    for (std::uint32_t at = 0; at + 4 <= ConfigurationStore::kMainSize; ++at) {
        if (at + 4 > ConfigurationStore::kVersionOffset && at < ConfigurationStore::kVersionOffset + 4)
            continue;
        EXPECT_EQ(upgraded.GetWord(at), readOnly.GetWord(at)) << at;
        EXPECT_EQ(upgraded.GetByte(at), readOnly.GetByte(at)) << at;
    }
    EXPECT_EQ(0x0000284Fu, readOnly.GetWord(96));  // two stored bytes, two default ones
}

TEST_F(ConfigurationStoreTest, EmptyDatabaseOfAnotherKindIsSetAside) {
    PdbBuilder foreign;
    foreign.type = "MKCH";
    Bytes bytes = foreign.Build();
    ASSERT_TRUE(PutStore(bytes));
    ConfigurationStore s;
    ASSERT_EQ(0, s.OpenDefault(kPath, 1));
    EXPECT_EQ("\\FVT_global_configuration.fvt.damaged", s.SetAsidePath());
    EXPECT_EQ(PalmCode("GPAR"), s.Database()->GetType());
    EXPECT_EQ(PalmCode("FOLV"), s.Database()->GetCreator());
    EXPECT_EQ(0, s.SetWord(80, 2));
    EXPECT_EQ(0, s.Close());
    ASSERT_EQ(0, s.OpenDefault(kPath, 1));
    EXPECT_TRUE(s.SetAsidePath().empty());
    EXPECT_EQ(2u, s.GetWord(80));
    EXPECT_EQ(bytes.size(),
              std::filesystem::file_size(device_.Host("FVT_global_configuration.fvt.damaged")));
}

TEST_F(ConfigurationStoreTest, TemporaryFileIsRemovedAtTheNextOpen) {
    ConfigurationStore s;
    ASSERT_EQ(0, s.OpenDefault(kPath, 1));
    EXPECT_EQ(0, s.Close());
    device_.WriteHost("FVT_global_configuration.fvt.tmp", "cut short");
    ASSERT_EQ(0, s.OpenDefault(kPath, 0));
    EXPECT_FALSE(device_.HostExists("FVT_global_configuration.fvt.tmp"));
    EXPECT_EQ(65002u, s.GetWord(12));
}

}  // namespace

namespace {

// The run marker is written at every start and end: in place, four bytes, when nothing else
// changed; with the whole store when something else waits to be written.
TEST_F(ConfigurationStoreTest, TheRunMarkerIsWrittenInPlace) {
    {
        ConfigurationStore s;
        ASSERT_EQ(0, s.OpenDefault(kPath, 1));
    }
    const std::string before = device_.ReadHost("FVT_global_configuration.fvt");
    ConfigurationStore s;
    ASSERT_EQ(0, s.OpenDefault(kPath, 0));
    const long long replaced = DatabaseFile::ReplaceCountForTesting();
    ASSERT_EQ(0, s.WriteRunMarker(1));
    EXPECT_EQ(DatabaseFile::ReplaceCountForTesting(), replaced);  // no whole rewrite
    const std::string running = device_.ReadHost("FVT_global_configuration.fvt");
    ASSERT_EQ(running.size(), before.size());
    std::size_t first = 0, last = before.size();
    while (first < before.size() && before[first] == running[first]) ++first;
    while (last > first && before[last - 1] == running[last - 1]) --last;
    EXPECT_EQ(last - first, 1u);  // the low byte of the marker word
    EXPECT_EQ(running[first], '\1');
    // Flushing with nothing else changed writes nothing more.
    ASSERT_EQ(0, s.Flush());
    EXPECT_EQ(device_.ReadHost("FVT_global_configuration.fvt"), running);
    ASSERT_EQ(0, s.WriteRunMarker(0));
    EXPECT_EQ(device_.ReadHost("FVT_global_configuration.fvt"), before);
    EXPECT_EQ(DatabaseFile::ReplaceCountForTesting(), replaced);

    // Another change waiting: the whole store is written, marker included.
    ASSERT_EQ(0, s.SetWord(264, 17));
    ASSERT_EQ(0, s.WriteRunMarker(1));
    EXPECT_EQ(DatabaseFile::ReplaceCountForTesting(), replaced + 1);
    ConfigurationStore again;
    ASSERT_EQ(0, again.OpenDefault(kPath, 0));
    EXPECT_EQ(again.GetRunMarker(), 1u);
    EXPECT_EQ(again.GetWord(264), 17u);
}

// A start waits for no disk: the marker goes to the system's cache, never flushed to the
// medium, and reads back from the file.
TEST_F(ConfigurationStoreTest, TheRunMarkerIsNotFlushedToTheMedium) {
    {
        ConfigurationStore s;
        ASSERT_EQ(0, s.OpenDefault(kPath, 1));
    }
    ConfigurationStore s;
    ASSERT_EQ(0, s.OpenDefault(kPath, 0));
    fvt::ClearSyncLog();
    ASSERT_EQ(0, s.WriteRunMarker(1));
    EXPECT_TRUE(fvt::SyncLog().empty());
    {
        ConfigurationStore again;
        ASSERT_EQ(0, again.OpenDefault(kPath, 0));
        EXPECT_EQ(again.GetRunMarker(), 1u);
    }
    ASSERT_EQ(0, s.WriteRunMarker(0));
    EXPECT_TRUE(fvt::SyncLog().empty());
    ConfigurationStore again;
    ASSERT_EQ(0, again.OpenDefault(kPath, 0));
    EXPECT_EQ(again.GetRunMarker(), 0u);
}

// A file changed behind the store's back is never patched: the whole store is written.
TEST_F(ConfigurationStoreTest, TheRunMarkerIsNotPatchedIntoAFileThatChanged) {
    ConfigurationStore s;
    ASSERT_EQ(0, s.OpenDefault(kPath, 1));
    std::string other = device_.ReadHost("FVT_global_configuration.fvt");
    other.back() ^= 1;
    device_.WriteHost("FVT_global_configuration.fvt", other);
    const long long replaced = DatabaseFile::ReplaceCountForTesting();
    ASSERT_EQ(0, s.WriteRunMarker(1));
    EXPECT_EQ(DatabaseFile::ReplaceCountForTesting(), replaced + 1);
    ConfigurationStore again;
    ASSERT_EQ(0, again.OpenDefault(kPath, 0));
    EXPECT_EQ(again.GetRunMarker(), 1u);
}

}  // namespace

namespace {

// Texts the reader could not have written (a control character, half a unit) are damage: the
// store is refused, and with the create flag set aside and made afresh; values at the edges of
// what the reader writes are kept.
TEST_F(ConfigurationStoreTest, TextsAndWordsOutOfTheirRangesAreDamage) {
    {
        ConfigurationStore s;
        ASSERT_EQ(0, s.OpenDefault(kPath, 1));
        EXPECT_EQ(0, s.SetText(252, u"\\storage\\eBooks\\a.prc", 21));
        EXPECT_EQ(0, s.SetWord(300, 1));
        EXPECT_EQ(0, s.SetWord(264, 8));
        EXPECT_EQ(0, s.SetWord(296, 7u << 16 | 0xFFFF));
        EXPECT_EQ(0, s.SetWord(80, 3));
        EXPECT_EQ(0, s.SetWord(20, 0xFF000000u));
        ASSERT_EQ(0, s.Flush());
    }
    {
        ConfigurationStore s;
        ASSERT_EQ(0, s.OpenDefault(kPath, 0));
        EXPECT_EQ(1u, s.GetRunMarker());
    }
    for (const char16_t* text : {u"a\u0001b", u"a\u0000b"}) {
        {
            ConfigurationStore s;
            ASSERT_EQ(0, s.OpenDefault(kPath, 0));
            EXPECT_EQ(0, s.SetText(252, text, 3));
            ASSERT_EQ(0, s.Flush());
        }
        ConfigurationStore s;
        EXPECT_EQ(10, s.OpenDefault(kPath, 0));
        ASSERT_EQ(0, s.OpenDefault(kPath, 1));
        EXPECT_FALSE(s.SetAsidePath().empty());
        std::u16string last;
        s.GetText252(&last);
        EXPECT_EQ(std::u16string(ConfigurationStore::kDefaultBookLocation), last);
        std::filesystem::remove(device_.Host(s.SetAsidePath().substr(1)));
    }
}

}  // namespace
