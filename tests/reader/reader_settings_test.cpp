// The reader settings: defaults, the GPAR round trip, upgrades of short records, key masks, the
// font size steps, the library position and what a failed save leaves.
#include "reader/reader_settings.h"

#include <gtest/gtest.h>

#include <string>

#include "bookfiles/configuration_store.h"
#include "bookfiles/database_file.h"
#include "document/location/location.h"
#include "paths/app_paths.h"
#include "support/bookfiles/pdb_builder.h"
#include "support/platform/temp_device.h"
#include "support/reader/reader_fakes.h"

namespace {

constexpr const char* kPath = "\\FVT_global_configuration.fvt";

using fvt::test::Narrow;

class ReaderSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(device_.ok()); }
    void TearDown() override { DatabaseFile::FailWritesAfterForTesting(-1); }

    // A store opened afresh from the file, and settings loaded from it.
    void Reopen(ConfigurationStore& store, ReaderSettings& settings) {
        ASSERT_EQ(0, store.OpenDefault(kPath, 0));
        settings.SetConfigurationStore(&store);
        ASSERT_TRUE(settings.Load(false));
    }
    void MakeStore() {
        ConfigurationStore store;
        ASSERT_EQ(0, store.OpenDefault(kPath, 1));
        ASSERT_EQ(0, store.Close());
    }
    // A store whose GPAR record holds only `size` bytes of the defaults.
    void MakeShortStore(uint32_t size, uint8_t fill = 0) {
        uint8_t main[ConfigurationStore::kMainSize];
        ConfigurationStore::DefaultMain(main);
        Bytes data(main, main + size);
        for (uint32_t i = 16; i < size; ++i) data[i] = fill ? fill : data[i];
        PdbBuilder b;
        b.name = "FVT_global_configuration.fvt";
        b.type = "GPAR";
        Bytes rec = ToBytes("GPAR");
        PutU32(rec, size);
        rec.insert(rec.end(), data.begin(), data.end());
        b.Add(rec);
        Bytes file = b.Build();
        device_.WriteHost("FVT_global_configuration.fvt", std::string(file.begin(), file.end()));
    }

    fvt::test::TempDevice device_;
};

TEST_F(ReaderSettingsTest, DefaultsOnlyTakeTheInterfaceMetrics) {
    ReaderSettings s;
    EXPECT_TRUE(s.Load(true));
    EXPECT_EQ(s.MinFontSize(), UiMetrics::Get(nullptr, 1));
    EXPECT_EQ(s.MaxFontSize(), UiMetrics::Get(nullptr, 2));
    EXPECT_EQ(s.FontSize(), UiMetrics::Get(nullptr, 3));
    EXPECT_EQ(s.DefaultFontSize(), UiMetrics::Get(nullptr, 3));
    uint32_t h = 0, v = 0;
    s.GetMargins(h, v);
    EXPECT_EQ(h, static_cast<uint32_t>(UiMetrics::Get(nullptr, 7)));
    EXPECT_EQ(v, static_cast<uint32_t>(UiMetrics::Get(nullptr, 8)));
    EXPECT_EQ(s.flags[4], 1);
    EXPECT_LT(s.MinFontSize(), s.MaxFontSize());
}

// The dictionary chosen on the General page is kept in the store as UTF-16 without a
// terminator; an empty value means none is chosen, and an odd last byte is not part of it.
TEST_F(ReaderSettingsTest, TheChosenDictionaryIsReadBackFromTheStore) {
    MakeStore();
    ConfigurationStore store;
    ReaderSettings settings;
    Reopen(store, settings);
    String path;
    EXPECT_FALSE(settings.GetDictionaryPath(path));
    EXPECT_TRUE(path.IsEmpty());
    const std::u16string chosen = u"\\storage\\eBooks\\Glossary.prc";
    ASSERT_EQ(0, store.SetBlob64(chosen.data(), static_cast<uint32_t>(chosen.size() * 2 + 1)));
    ASSERT_TRUE(settings.GetDictionaryPath(path));
    EXPECT_EQ(std::u16string(path.Data(), static_cast<size_t>(path.Length())), chosen);
    ASSERT_EQ(0, store.SetBlob64(nullptr, 0));
    EXPECT_FALSE(settings.GetDictionaryPath(path));
    EXPECT_TRUE(path.IsEmpty());
    ReaderSettings detached;
    EXPECT_FALSE(detached.GetDictionaryPath(path));
}

TEST_F(ReaderSettingsTest, LoadWithoutAStoreFailsAndSaveIsRefused) {
    ReaderSettings s;
    EXPECT_FALSE(s.Load(false));
    EXPECT_FALSE(s.Save());
}

TEST_F(ReaderSettingsTest, ANewStoreLoadsTheDefaults) {
    MakeStore();
    std::unique_ptr<AppPaths> paths;
    ASSERT_EQ(0, AppPaths::Create(nullptr, paths));
    ConfigurationStore store;
    ReaderSettings s;
    s.SetPaths(paths.get());
    Reopen(store, s);
    uint32_t c = 0;
    EXPECT_EQ(s.GetTextColour(c), 0u);
    EXPECT_EQ(s.GetHyperlinkColour(c), 0u | (85u << 8) | (170u << 16));
    EXPECT_EQ(s.GetBackgroundColour(c), 0xFFFFFFu);
    EXPECT_EQ(s.GetModifyColour(c), 255u);
    EXPECT_EQ(s.GetHighlightColour(c), 255u | (255u << 8) | (155u << 16));
    EXPECT_EQ(s.alignment, 4u);
    EXPECT_EQ(s.arrowMode, 1u);
    EXPECT_EQ(s.keptWord92, 1u);
    EXPECT_EQ(s.toolbarMask, 2107471u);
    EXPECT_EQ(s.fileTypes, 15u);
    EXPECT_EQ(s.lookupChoice, 1u);
    EXPECT_EQ(s.thumbnails, 1);
    EXPECT_EQ(s.codePage, 65002u);
    for (int k = 0; k < ReaderSettings::kKeyCount; ++k) EXPECT_EQ(s.GetKey(k), 65535u) << k;
    Text face;
    ASSERT_TRUE(s.GetFontFace(face, false));
    EXPECT_EQ(Narrow(face), "Arial");
    EXPECT_EQ(s.flags[4], 1);  // the system face is the built-in one
    ASSERT_TRUE(s.GetFontFace(face, true));
    EXPECT_NE(Narrow(face).find("folvtype.prc"), std::string::npos);
    uint32_t h = 0, v = 0;
    s.GetMargins(h, v);
    EXPECT_EQ(h, static_cast<uint32_t>(UiMetrics::Get(nullptr, 7)));  // -1 keeps the default
    EXPECT_TRUE(s.LastBook().IsEmpty());
}

TEST_F(ReaderSettingsTest, EveryFieldRoundTripsThroughTheStore) {
    MakeStore();
    {
        ConfigurationStore store;
        ReaderSettings s;
        Reopen(store, s);
        s.SetColours(0x010203, 0x040506, 0x070809, 0x0A0B0C, 0x0D0E0F);
        Text face;
        face.AssignAscii("Tahoma");
        s.SetFontFace(face, false);
        face.AssignAscii("\\fonts\\mine.prc");
        s.SetFontFace(face, true);
        s.SetFontSize(s.MinFontSize() + 1);
        s.codePage = 1252;
        s.alignment = 1;
        s.SetMargins(3, 5);
        s.arrowMode = 7;
        s.orientation = 2;
        s.keptWord84 = 84;
        s.keptWord88 = 88;
        s.libraryAtStart = 1;
        s.touchPageTurn = 1;
        s.clearType = 1;
        s.keptByte263 = 9;
        s.keptByte268 = 0x68;
        s.releaseOnCardChange = 1;
        s.lookupChoice = 3;
        s.keptByte272 = 0x72;
        s.underlineLinks = 1;
        s.progressBar = 1;
        s.keptWord276 = 276;
        s.keptWord92 = 92;
        s.keptWord292 = 292;
        s.toolbarMask = 0x1234;
        s.keptText100 = String(u"text at 100");
        s.keptWord104 = 104;
        s.fileTypes = 9;
        s.tapAction = 6;
        s.thumbnails = 0;
        s.SetLastBook(String(u"\\storage\\eBooks\\a.prc"));
        s.SetKey(0, 1u << 4);
        s.SetKey(11, 1u << 31);
        ASSERT_TRUE(s.Save());
        EXPECT_EQ(store.GetWord(20), 0x010203u);  // r | g << 8 | b << 16, as stored
    }
    ConfigurationStore store;
    ReaderSettings s;
    Reopen(store, s);
    uint32_t c = 0;
    EXPECT_EQ(s.GetTextColour(c), 0x010203u);
    EXPECT_EQ(s.GetHyperlinkColour(c), 0x040506u);
    EXPECT_EQ(s.GetBackgroundColour(c), 0x070809u);
    EXPECT_EQ(s.GetModifyColour(c), 0x0A0B0Cu);
    EXPECT_EQ(s.GetHighlightColour(c), 0x0D0E0Fu);
    Text face;
    ASSERT_TRUE(s.GetFontFace(face, false));
    EXPECT_EQ(Narrow(face), "Tahoma");
    EXPECT_EQ(s.flags[4], 0);
    ASSERT_TRUE(s.GetFontFace(face, true));
    EXPECT_EQ(Narrow(face), "\\fonts\\mine.prc");
    EXPECT_EQ(s.FontSize(), s.MinFontSize() + 1);
    EXPECT_EQ(s.codePage, 1252u);
    EXPECT_EQ(s.alignment, 1u);
    uint32_t h = 0, v = 0;
    s.GetMargins(h, v);
    EXPECT_EQ(h, 3u);
    EXPECT_EQ(v, 5u);
    EXPECT_EQ(s.arrowMode, 7u);
    EXPECT_EQ(s.orientation, 2u);
    EXPECT_EQ(s.keptWord84, 84u);
    EXPECT_EQ(s.keptWord88, 88u);
    EXPECT_EQ(s.libraryAtStart, 1);
    EXPECT_EQ(s.touchPageTurn, 1);
    EXPECT_EQ(s.clearType, 1);
    EXPECT_EQ(s.keptByte263, 9);
    EXPECT_EQ(s.keptByte268, 0x68);
    EXPECT_EQ(s.releaseOnCardChange, 1);
    EXPECT_EQ(s.lookupChoice, 3u);
    EXPECT_EQ(s.keptByte272, 0x72);
    EXPECT_EQ(s.underlineLinks, 1);
    EXPECT_EQ(s.progressBar, 1);
    EXPECT_EQ(s.keptWord276, 276u);
    EXPECT_EQ(s.keptWord92, 92u);
    EXPECT_EQ(s.keptWord292, 292u);
    EXPECT_EQ(s.toolbarMask, 0x1234u);
    EXPECT_EQ(fvt::test::U16(s.keptText100), u"text at 100");
    EXPECT_EQ(s.keptWord104, 104u);
    EXPECT_EQ(s.fileTypes, 9u);
    EXPECT_EQ(s.tapAction, 6u);
    EXPECT_EQ(s.thumbnails, 0);
    EXPECT_EQ(fvt::test::U16(s.LastBook()), u"\\storage\\eBooks\\a.prc");
    EXPECT_EQ(s.GetKey(0), 1u << 4);
    EXPECT_EQ(s.GetKey(11), 1u << 31);
    EXPECT_EQ(s.GetKey(5), 65535u);
}

TEST_F(ReaderSettingsTest, KeyMasksOfNoneOrTwoBitsLoadAsUnassigned) {
    MakeStore();
    {
        ConfigurationStore store;
        ReaderSettings s;
        Reopen(store, s);
        s.SetKey(0, 0);
        s.SetKey(1, 0x3);
        s.SetKey(2, 1);
        ASSERT_TRUE(s.Save());
        EXPECT_EQ(store.GetByte(259), 0xFF);
        EXPECT_EQ(store.GetByte(260), 0xFF);
        EXPECT_EQ(store.GetByte(261), 0);
    }
    ConfigurationStore store;
    ReaderSettings s;
    Reopen(store, s);
    EXPECT_EQ(s.GetKey(0), 65535u);
    EXPECT_EQ(s.GetKey(1), 65535u);
    EXPECT_EQ(s.GetKey(2), 1u);
}

TEST_F(ReaderSettingsTest, StoredBitNumbersOfThirtyTwoOrMoreGiveNoKey) {
    MakeStore();
    {
        ConfigurationStore store;
        ASSERT_EQ(0, store.OpenDefault(kPath, 0));
        store.SetByte(259, 32);
        store.SetByte(260, 200);
        store.SetByte(261, 31);
        ASSERT_EQ(0, store.Flush());
    }
    ConfigurationStore store;
    ReaderSettings s;
    Reopen(store, s);
    EXPECT_EQ(s.GetKey(0), 0u);
    EXPECT_EQ(s.GetKey(1), 0u);
    EXPECT_EQ(s.GetKey(2), 0x80000000u);
}

TEST_F(ReaderSettingsTest, KeyIndicesPastTheTableAreIgnored) {
    ReaderSettings s;
    s.SetKey(12, 4);
    s.SetKey(-1, 4);
    EXPECT_EQ(s.GetKey(12), 65535u);
    EXPECT_EQ(s.GetKey(-1), 65535u);
    for (int k = 0; k < ReaderSettings::kKeyCount; ++k) EXPECT_EQ(s.GetKey(k), 65535u);
}

TEST_F(ReaderSettingsTest, OddStoredValuesFallBackOnLoad) {
    MakeStore();
    {
        ConfigurationStore store;
        ASSERT_EQ(0, store.OpenDefault(kPath, 0));
        store.SetWord(60, 0);
        store.SetByte(256, 4);
        store.SetWord(8, 0xFFFFFFFF);
        store.SetWord(56, 9);
        store.SetByte(29, 0);
        ASSERT_EQ(0, store.Flush());
    }
    ConfigurationStore store;
    ReaderSettings s;
    Reopen(store, s);
    EXPECT_EQ(s.arrowMode, 1u);
    EXPECT_EQ(s.lookupChoice, 1u);
    EXPECT_EQ(s.alignment, 1u);
    uint32_t h = 0, v = 0;
    s.GetMargins(h, v);
    EXPECT_EQ(h, static_cast<uint32_t>(UiMetrics::Get(nullptr, 7)));
    EXPECT_EQ(v, 9u);
    store.SetByte(256, 0x80);  // negative as a signed byte
    ASSERT_TRUE(s.Load(false));
    EXPECT_EQ(s.lookupChoice, 1u);
}

TEST_F(ReaderSettingsTest, ShortRecordStillLoadsWithDefaults) {
    // A record that stops before the colours: the program must still start.
    MakeShortStore(16);
    ConfigurationStore store;
    ASSERT_EQ(0, store.OpenDefault(kPath, 0));
    ReaderSettings s;
    s.SetConfigurationStore(&store);
    ASSERT_TRUE(s.Load(false));
    uint32_t c = 0;
    EXPECT_EQ(s.GetHighlightColour(c), 255u | (255u << 8) | (155u << 16));
    EXPECT_EQ(s.GetModifyColour(c), 255u);
    EXPECT_EQ(s.keptWord92, 1u);
    EXPECT_EQ(s.toolbarMask, 2107471u);
}

TEST_F(ReaderSettingsTest, ReadOnlyStoreLoadsFieldsBeyondAShortRecordAsDefaults) {
    MakeShortStore(64);
    ConfigurationStore store;
    ASSERT_EQ(0, store.Open(kPath, 1, 0));
    ReaderSettings s;
    s.SetConfigurationStore(&store);
    ASSERT_TRUE(s.Load(false));
    EXPECT_EQ(s.keptWord92, 1u);
    EXPECT_EQ(s.toolbarMask, 2107471u);
    EXPECT_EQ(s.GetKey(0), 65535u);  // a missing key byte reads as the default: unassigned
    EXPECT_FALSE(s.Save());          // never written through a read-only store
}

TEST_F(ReaderSettingsTest, FullScreenAndProfileAreNotRestored) {
    MakeStore();
    {
        ConfigurationStore store;
        ReaderSettings s;
        Reopen(store, s);
        s.fullScreen = 1;
        s.SelectProfile(true);
        EXPECT_EQ(s.GetProfileMode(), 4);
        ASSERT_TRUE(s.Save());
        EXPECT_EQ(store.GetByte(30), 1);
        EXPECT_EQ(store.GetByte(28), 1);
    }
    ConfigurationStore store;
    ReaderSettings s;
    Reopen(store, s);
    EXPECT_EQ(s.fullScreen, 0);
    EXPECT_EQ(s.ProfileFlag(), 0);
    EXPECT_EQ(s.GetProfileMode(), 3);
}

TEST_F(ReaderSettingsTest, ProfilesKeepTheirOwnSizes) {
    ReaderSettings s;
    s.Load(true);
    int32_t base = s.DefaultFontSize();
    EXPECT_TRUE(s.SetFontSize(base + 2));
    s.SelectProfile(true);
    EXPECT_EQ(s.FontSize(), base);
    EXPECT_TRUE(s.SetFontSize(base + 1));
    s.SelectProfile(false);
    EXPECT_EQ(s.FontSize(), base + 2);
    s.SelectProfile(true);
    EXPECT_EQ(s.FontSize(), base + 1);
}

TEST_F(ReaderSettingsTest, FontSizeWrapsAtBothEnds) {
    ReaderSettings s;
    s.Load(true);
    EXPECT_FALSE(s.SetFontSize(s.FontSize()));
    EXPECT_TRUE(s.SetFontSize(s.MaxFontSize() + 1));
    EXPECT_EQ(s.FontSize(), s.MinFontSize());
    EXPECT_TRUE(s.SetFontSize(s.MinFontSize() - 1));
    EXPECT_EQ(s.FontSize(), s.MaxFontSize());
    EXPECT_FALSE(s.SetFontSize(s.MaxFontSize()));
    EXPECT_TRUE(s.SetFontSize(s.MinFontSize()));
    EXPECT_EQ(s.FontSize(), s.MinFontSize());
}

TEST_F(ReaderSettingsTest, LibraryPositionPacksSelectionAndDirection) {
    MakeStore();
    ConfigurationStore store;
    ReaderSettings s;
    Reopen(store, s);
    Text path;
    path.AssignAscii("\\storage\\eBooks");
    ASSERT_TRUE(s.SetLibraryPosition(5, 0, true, path));
    EXPECT_EQ(s.libraryPosition, (5u << 16) | 1u);
    uint32_t length = 0;
    ASSERT_NE(store.GetText(52, &length), nullptr);  // written at once
    EXPECT_EQ(length, 15u);

    uint32_t kind = 0;
    int32_t selection = -5;
    bool forward = false;
    Text back;
    s.GetLibraryPosition(kind, selection, forward, back);
    EXPECT_EQ(kind, 5u);
    EXPECT_EQ(selection, 0);
    EXPECT_TRUE(forward);
    EXPECT_EQ(Narrow(back), "\\storage\\eBooks");

    ASSERT_TRUE(s.SetLibraryPosition(2, 0, false, path));
    EXPECT_EQ(s.libraryPosition & 0xFFFF, 0xFFFFu);
    EXPECT_EQ(store.GetText(52, &length), nullptr);  // only kinds 5 and 6 keep a path
    s.GetLibraryPosition(kind, selection, forward, back);
    EXPECT_EQ(kind, 2u);
    EXPECT_EQ(selection, 0);
    EXPECT_FALSE(forward);

    ASSERT_TRUE(s.SetLibraryPosition(1, 41, false, path));
    s.GetLibraryPosition(kind, selection, forward, back);
    EXPECT_EQ(selection, 41);
    EXPECT_FALSE(forward);

    s.libraryPosition = 3u << 16;  // a stored low half of 0
    s.GetLibraryPosition(kind, selection, forward, back);
    EXPECT_EQ(kind, 3u);
    EXPECT_EQ(selection, 0);
    EXPECT_TRUE(forward);
}

TEST_F(ReaderSettingsTest, LastBookLocationIsNormalised) {
    ReaderSettings s;
    String out;
    EXPECT_FALSE(s.GetLastBookLocation(out));
    EXPECT_TRUE(out.IsEmpty());
    s.SetLastBook(String(u"\\storage\\eBooks\\a.prc"));
    ASSERT_TRUE(s.GetLastBookLocation(out));
    Location again;
    ASSERT_TRUE(again.Parse(out, true));
    Location first;
    ASSERT_TRUE(first.Parse(s.LastBook(), true));
    EXPECT_EQ(Location::Compare(first, again), 0);
}

TEST_F(ReaderSettingsTest, FailedSaveKeepsThePreviousFile) {
    MakeStore();
    {
        ConfigurationStore store;
        ReaderSettings s;
        Reopen(store, s);
        s.tapAction = 3;
        ASSERT_TRUE(s.Save());
    }
    for (long long budget : {0LL, 16LL, 100LL, 400LL}) {
        ConfigurationStore store;
        ReaderSettings s;
        Reopen(store, s);
        s.tapAction = 8;
        s.SetColours(1, 2, 3, 4, 5);
        DatabaseFile::FailWritesAfterForTesting(budget);
        EXPECT_FALSE(s.Save()) << budget;
        DatabaseFile::FailWritesAfterForTesting(-1);
        // The file as another reader sees it now: the previous save, whole.
        ConfigurationStore other;
        ASSERT_EQ(0, other.Open(kPath, 1, 0));
        ReaderSettings before;
        before.SetConfigurationStore(&other);
        ASSERT_TRUE(before.Load(false));
        EXPECT_EQ(before.tapAction, 3u) << budget;
        uint32_t c = 0;
        EXPECT_EQ(before.GetTextColour(c), 0u) << budget;
        EXPECT_EQ(store.Close(), 0) << budget;
        EXPECT_EQ(other.Close(), 0) << budget;
        // The changes wait in memory and reach the file with the next good flush.
        ReaderSettings after;
        ConfigurationStore again;
        Reopen(again, after);
        EXPECT_EQ(after.tapAction, 8u);
        after.tapAction = 3;
        after.SetColours(0, 0x00AA5500, 0xFFFFFF, 255, 0x9BFFFF);
        ASSERT_TRUE(after.Save());
    }
}

}  // namespace
