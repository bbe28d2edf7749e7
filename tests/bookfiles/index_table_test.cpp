#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "bookfiles/index_table.h"
#include "bookfiles/index_table_handle.h"
#include "bookfiles/palm_database.h"
#include "support/bookfiles/index_fixture.h"

namespace {

struct Fixture {
    PdbBuilder pdb;
    Bytes bytes;
    std::unique_ptr<PalmDatabase> db;

    Fixture() { pdb.Add(ToBytes("record zero")); }
    PalmDatabase* Open() {
        bytes = pdb.Build();
        int error = 0;
        db.reset(PalmDatabase::OpenView(bytes.data(), bytes.size(), &error));
        return db.get();
    }
};

std::u16string KeyAt(const IndexTable& t, std::uint32_t n) {
    IndexPosition p;
    std::u16string key;
    EXPECT_TRUE(t.PositionFromEntry(n, &p));
    EXPECT_TRUE(t.GetEntryKey(p, &key));
    return key;
}

TEST(IndexTableTest, KeysAreSortedAndLookedUpAcrossRecords) {
    Fixture f;
    IndexWriter w;
    w.recordLimit = 128;  // many data records
    for (int i = 999; i >= 0; --i) {
        std::u16string key = u"k" + std::u16string(1, char16_t(u'a' + i % 26)) +
                             std::u16string(1, char16_t(u'0' + i / 100)) +
                             std::u16string(1, char16_t(u'0' + i / 10 % 10)) +
                             std::u16string(1, char16_t(u'0' + i % 10));
        ASSERT_TRUE(w.Add(key, {{1, {static_cast<std::uint32_t>(i)}}}));
    }
    std::uint32_t id = 0;
    ASSERT_TRUE(AddIndexTable(w, &f.pdb, &id));
    IndexTable t;
    ASSERT_TRUE(t.Open(f.Open(), id));
    EXPECT_EQ(1000u, t.GetEntryCount());
    for (std::uint32_t n = 1; n < 1000; ++n) EXPECT_LT(KeyAt(t, n - 1), KeyAt(t, n));

    IndexPosition p;
    ASSERT_TRUE(t.Lookup(u"kz025", 5, &p, 0));
    IndexEntryReader r;
    ASSERT_TRUE(r.Open(&t));
    std::uint32_t count = 0, value = 0;
    ASSERT_EQ(0, r.Seek(p));
    ASSERT_EQ(0, r.FindTag(1, &count, nullptr));
    EXPECT_EQ(1u, count);
    ASSERT_EQ(0, r.ReadNumber(&value));
    EXPECT_EQ(25u, value);
    EXPECT_NE(0, r.ReadNumber(&value));
    EXPECT_FALSE(t.Lookup(u"kz026", 5, &p, 0));
    // Nearest: the first entry not before the query, and none past the last key.
    ASSERT_TRUE(t.Lookup(u"kz026", 5, &p, IndexTable::kModeNearest));
    EXPECT_EQ(u"kz051", KeyAt(t, static_cast<std::uint32_t>(t.EntryFromPosition(p))));
    EXPECT_FALSE(t.Lookup(u"l", 1, &p, IndexTable::kModeNearest));
}

TEST(IndexTableTest, PositionsStepAndMapToEntryNumbers) {
    Fixture f;
    IndexWriter w = SampleDictionary();
    w.recordLimit = 64;
    std::uint32_t id = 0;
    ASSERT_TRUE(AddIndexTable(w, &f.pdb, &id));
    IndexTable t;
    ASSERT_TRUE(t.Open(f.Open(), id));
    EXPECT_EQ(-2, t.EntryFromPosition(IndexPosition{0, 0}));
    EXPECT_EQ(-1, t.EntryFromPosition(IndexPosition{}));
    EXPECT_EQ(-1, t.EntryFromPosition(IndexPosition{99, 0}));
    IndexPosition p{0, 0};
    std::uint32_t seen = 0;
    while (t.StepEntry(&p, 1) == 0) EXPECT_EQ(static_cast<std::int32_t>(seen++), t.EntryFromPosition(p));
    EXPECT_EQ(t.GetEntryCount(), seen);
    EXPECT_NE(0, t.StepEntry(&p, 1));
    EXPECT_EQ(static_cast<std::int32_t>(seen - 1), t.EntryFromPosition(p));
    EXPECT_TRUE(t.LocateEntry(&p, -3));
    EXPECT_FALSE(t.LocateEntry(&p, -100));
    EXPECT_FALSE(t.PositionFromEntry(t.GetEntryCount(), &p));
    std::u16string name;
    ASSERT_TRUE(t.GetName(&name));
    EXPECT_EQ(u"default", name);
}

TEST(IndexTableTest, Utf16AndUtf8KeysCompareInCodeUnitOrder) {
    for (std::uint32_t cp : {65001u, 65002u}) {
        Fixture f;
        IndexWriter w;
        w.codePage = cp;
        ASSERT_TRUE(w.Add(u"\u00e9t\u00e9", {}));
        ASSERT_TRUE(w.Add(u"zoo", {}));
        ASSERT_TRUE(w.Add(u"\u4e2d\u6587", {}));
        std::uint32_t id = 0;
        ASSERT_TRUE(AddIndexTable(w, &f.pdb, &id));
        IndexTable t;
        ASSERT_TRUE(t.Open(f.Open(), id));
        EXPECT_EQ(u"zoo", KeyAt(t, 0));
        EXPECT_EQ(u"\u4e2d\u6587", KeyAt(t, 2));
        IndexPosition p;
        EXPECT_TRUE(t.Lookup(u"\u00e9t\u00e9", 3, &p, 0));
        EXPECT_EQ(1, t.EntryFromPosition(p));
    }
}

TEST(IndexTableTest, WeightsLigaturesAndCaseFolding) {
    Fixture f;
    IndexWriter w;
    w.flags = 1;
    w.weights.assign(256, 0);
    for (int c = 'a'; c <= 'z'; ++c) w.weights[c] = static_cast<std::uint16_t>(c);
    for (int c = 'A'; c <= 'Z'; ++c) w.weights[c] = static_cast<std::uint16_t>(c + 32);
    w.ligatures.push_back({0xE6, 'a', 'e'});  // æ sorts as "ae"
    ASSERT_TRUE(w.Add(u"b", {}));
    ASSERT_TRUE(w.Add(u"\u00e6on", {}));
    ASSERT_TRUE(w.Add(u"Aa", {}));
    ASSERT_TRUE(w.Add(u"a-z", {}));  // '-' weighs nothing
    std::uint32_t id = 0;
    ASSERT_TRUE(AddIndexTable(w, &f.pdb, &id));
    IndexTable t;
    ASSERT_TRUE(t.Open(f.Open(), id));
    EXPECT_EQ(u"Aa", KeyAt(t, 0));
    EXPECT_EQ(u"\u00e6on", KeyAt(t, 1));
    EXPECT_EQ(u"a-z", KeyAt(t, 2));
    EXPECT_EQ(u"b", KeyAt(t, 3));
    IndexPosition p;
    EXPECT_FALSE(t.Lookup(u"AA", 2, &p, 0));
    EXPECT_TRUE(t.Lookup(u"aA", 2, &p, IndexTable::kModeFoldCase));
}

TEST(IndexTableTest, TagsLinksAndTexts) {
    Fixture f;
    IndexWriter w;
    std::size_t text = w.AddText("the linked text");
    IndexWriter::Entry a{"alpha", {{22, {2}}, {25, {9}}, {6, {1, 2, 3, 4, 5}}}, {}};
    IndexWriter::Entry b{"beta", {{22, {0}}}, {{11, text}}};
    IndexWriter::Entry c{"gamma", {{25, {1}}}, {}};
    w.Add(a);
    w.Add(b);
    w.Add(c);
    std::uint32_t id = 0;
    ASSERT_TRUE(AddIndexTable(w, &f.pdb, &id));
    IndexTable t;
    ASSERT_TRUE(t.Open(f.Open(), id));
    IndexEntryReader r;
    ASSERT_TRUE(r.Open(&t));
    IndexPosition p;
    ASSERT_TRUE(t.PositionFromEntry(0, &p));
    std::vector<std::uint32_t> values;
    std::uint32_t count = 0;
    ASSERT_EQ(0, r.Seek(p));
    ASSERT_EQ(0, r.FindTag(6, &count, &values));
    EXPECT_EQ((std::vector<std::uint32_t>{1, 2, 3, 4, 5}), values);
    EXPECT_NE(0, r.FindTag(7, &count, nullptr));
    EXPECT_EQ(0u, count);
    // Tag 25 points past the table: refused, and 22 is used instead.
    IndexPosition q = p;
    EXPECT_FALSE(r.FollowLink(&q, 25));
    EXPECT_EQ(p, q);
    ASSERT_TRUE(r.FollowLinks25Else22(&q));
    EXPECT_EQ(2, t.EntryFromPosition(q));
    ASSERT_TRUE(r.FollowLinks25Else22(&q));
    EXPECT_EQ(1, t.EntryFromPosition(q));
    std::u16string s;
    ASSERT_EQ(0, r.Seek(q));
    ASSERT_TRUE(r.ReadTagText(11, &s));
    EXPECT_EQ(u"the linked text", s);
    EXPECT_FALSE(t.GetEntryText(0, 0, &s));
    EXPECT_FALSE(t.GetEntryText(99, 0, &s));
}

TEST(IndexTableTest, DamagedTablesAreRefusedOrUnreadable) {
    Fixture base;
    IndexWriter w = SampleDictionary();
    std::uint32_t id = 0;
    ASSERT_TRUE(AddIndexTable(w, &base.pdb, &id));
    // Every byte of every record flipped in turn, and every record cut: no crash, no hang, and
    // look-ups give answers or refusals.
    for (std::size_t rec = id; rec < base.pdb.records.size(); ++rec) {
        const Bytes original = base.pdb.records[rec].bytes;
        for (std::size_t i = 0; i < original.size(); ++i) {
            for (int variant = 0; variant < 2; ++variant) {
                Fixture f;
                f.pdb = base.pdb;
                Bytes& b = f.pdb.records[rec].bytes;
                if (variant == 0) {
                    b[i] ^= 0xFF;
                } else {
                    b.resize(i);
                }
                IndexTable t;
                if (!t.Open(f.Open(), id)) continue;
                IndexPosition p;
                t.Lookup(u"bank", 4, &p, 0);
                IndexEntryReader r;
                r.Open(&t);
                for (std::uint32_t n = 0; n < t.GetEntryCount(); ++n) {
                    std::u16string key;
                    if (!t.PositionFromEntry(n, &p)) continue;
                    t.GetEntryKey(p, &key);
                    if (r.Seek(p) == 0) r.FollowLink(&p, 1);
                }
            }
        }
    }
}

TEST(IndexTableTest, UnreadableCountsAndNumbersAreRefused) {
    Fixture f;
    IndexWriter w;
    w.Add(IndexWriter::Entry{"a", {{1, {5}}}, {}});
    std::uint32_t id = 0;
    ASSERT_TRUE(AddIndexTable(w, &f.pdb, &id));
    Bytes& data = f.pdb.records[id + 1].bytes;
    // Entry: len 1, 'a', control 0x01, value 0x85. Make the number run over five bytes.
    ASSERT_EQ(0x85, data[27]);
    data[27] = 0x05;
    IndexTable t;
    ASSERT_TRUE(t.Open(f.Open(), id));
    IndexEntryReader r;
    r.Open(&t);
    EXPECT_NE(0, r.Seek(IndexPosition{1, 0}));
    std::uint32_t count = 9;
    EXPECT_NE(0, r.FindTag(1, &count, nullptr));
    EXPECT_EQ(0u, count);
}

TEST(IndexTableTest, SideTablesWithBadSizesAreLeftOut) {
    IndexWriter w = SampleDictionary();
    w.flags = 1;
    w.weights.assign(128, 1);
    w.alphabet = {'a', 'b'};
    Fixture f;
    std::uint32_t id = 0;
    ASSERT_TRUE(AddIndexTable(w, &f.pdb, &id));
    std::uint32_t ordt = id + 2, spl = id + 3;  // one data record, then ORDT and SPL
    ASSERT_EQ('O', f.pdb.records[ordt].bytes[0]);
    ASSERT_EQ('S', f.pdb.records[spl].bytes[0]);
    SetU32(f.pdb.records[ordt].bytes, 8, 0x7FFFFFFF);  // more weights than the record holds
    SetU32(f.pdb.records[spl].bytes, 4, 0xFFFF);       // longer than its record
    IndexTable t;
    ASSERT_TRUE(t.Open(f.Open(), id));
    EXPECT_TRUE(t.Order().weights.empty());
    std::vector<IndexPosition> out;
    EXPECT_EQ(0u, IndexTable::FindCandidatesForWord(t, u"bak", 3, &out, 6));
    IndexPosition p;
    EXPECT_TRUE(t.Lookup(u"zebra", 5, &p, 0));
}

TEST(IndexTableHandleTest, LookupWordUsesInflectionsRulesAndCompounds) {
    Fixture f;
    IndexWriter inflex;
    // "mice" names default entry of "mouse".
    IndexWriter dict;
    for (const char16_t* word : {u"mouse", u"try", u"walk", u"bake", u"haus", u"tür"})
        dict.Add(word, {});
    std::uint32_t dictId = 0, inflexId = 0;
    ASSERT_TRUE(AddIndexTable(dict, &f.pdb, &dictId));  // build first to learn entry numbers
    std::uint32_t mouse = dict.SortedNumbers()[0];
    inflex.Add(u"mice", {{1, {mouse}}});
    ASSERT_TRUE(AddIndexTable(inflex, &f.pdb, &inflexId));
    IndexTableHandle h;
    ASSERT_TRUE(h.Open(f.Open(), dictId, inflexId, IndexTableHandle::kNone));
    std::vector<IndexPosition> out;
    EXPECT_FALSE(h.LookupWord(u"mice", 4, &out, 0, 0, false));
    ASSERT_TRUE(h.LookupWord(u"mice", 4, &out, 0, 0, true));
    ASSERT_EQ(1u, out.size());
    EXPECT_EQ(static_cast<std::int32_t>(mouse), h.Table().EntryFromPosition(out[0]));
    std::u16string key;
    ASSERT_TRUE(h.GetInflectionEntryKey(0, &key));
    EXPECT_EQ(u"mice", key);
    for (const char16_t* form : {u"tries", u"walked", u"walking", u"baked", u"baking"}) {
        out.clear();
        EXPECT_TRUE(h.LookupWord(form, std::u16string(form).size(), &out, 0, 0, true))
            << std::string(form, form + std::u16string(form).size());
    }
    out.clear();
    EXPECT_FALSE(h.LookupWord(u"", 0, &out, 0, 0, true));
    // English: no compound splitting.
    EXPECT_FALSE(h.LookupWord(u"gasthaus", 8, &out, 0, 0, true));
}

TEST(IndexTableHandleTest, GermanCompoundsFindTheirTail) {
    Fixture f;
    IndexWriter dict;
    dict.language = 7;
    dict.Add(u"haus", {});
    dict.Add(u"amt", {});
    std::uint32_t id = 0;
    ASSERT_TRUE(AddIndexTable(dict, &f.pdb, &id));
    IndexTableHandle h;
    ASSERT_TRUE(h.Open(f.Open(), id, IndexTableHandle::kNone, IndexTableHandle::kNone));
    std::vector<IndexPosition> out;
    ASSERT_TRUE(h.LookupWord(u"gasthaus", 8, &out, 0, 0, false));
    EXPECT_EQ(1, h.Table().EntryFromPosition(out[0]));
    out.clear();
    ASSERT_TRUE(h.LookupWord(u"arbeitsamt", 10, &out, 0, 0, false));  // linking "s"
    EXPECT_EQ(0, h.Table().EntryFromPosition(out[0]));
    EXPECT_FALSE(h.LookupWord(u"haux", 4, &out, 0, 0, false));  // too short to split
}

TEST(IndexTableHandleTest, SpellingCandidatesWithinTheEditDistance) {
    Fixture f;
    IndexWriter w = SampleDictionary();
    for (char16_t c = u'a'; c <= u'z'; ++c) w.alphabet.push_back(c);
    std::uint32_t id = 0;
    ASSERT_TRUE(AddIndexTable(w, &f.pdb, &id));
    IndexTable t;
    ASSERT_TRUE(t.Open(f.Open(), id));
    std::vector<IndexPosition> out;
    // "bank" is stored twice; the candidate is the first of the equal keys, once.
    ASSERT_EQ(1u, IndexTable::FindCandidatesForWord(t, u"bak", 3, &out, 6));
    std::u16string k0, k1;
    t.GetEntryKey(out[0], &k0);
    EXPECT_EQ(u"bank", k0);
    EXPECT_EQ(1u, IndexTable::FindCandidatesForWord(t, u"Dgo", 3, &out, 1));
    t.GetEntryKey(out[0], &k1);
    EXPECT_EQ(u"dog", k1);

    Fixture wide;
    IndexWriter big = SampleDictionary();
    for (char16_t c = 0x100; c < 0x200; ++c) big.alphabet.push_back(c);
    big.maxEdits = 2;
    ASSERT_TRUE(AddIndexTable(big, &wide.pdb, &id));
    IndexTable slow;
    ASSERT_TRUE(slow.Open(wide.Open(), id));
    // Two edits of a long word over a large alphabet: bounded work, an answer all the same.
    std::u16string longWord(64, u'q');
    EXPECT_EQ(0u, IndexTable::FindCandidatesForWord(slow, longWord.data(), 64, &out, 6));

    Fixture plain;
    IndexWriter p = SampleDictionary();
    ASSERT_TRUE(AddIndexTable(p, &plain.pdb, &id));
    IndexTable none;
    ASSERT_TRUE(none.Open(plain.Open(), id));
    EXPECT_EQ(0u, IndexTable::FindCandidatesForWord(none, u"bak", 3, &out, 6));
}

TEST(IndexTableHandleTest, RunLookupThroughTheKeyAndNamingTables) {
    Fixture f;
    IndexWriter dict;
    dict.codePage = 65002;
    dict.Add(u"\u4e2d\u6587", {});  // default entry 0 (sorted: 0x4e2d < 0x5927)
    dict.Add(u"\u5927\u5b66", {});  // 1
    IndexWriter naming;
    naming.codePage = 65002;
    naming.Add(u"\u4e2d\u6587", {{1, {0}}});
    naming.Add(u"\u5927\u5b66", {{1, {1}}});
    IndexWriter keys;
    keys.codePage = 65002;
    keys.Add(u"zhongwen", {{5, {0}}});
    keys.Add(u"\u4e2dx", {{5, {0}}});
    keys.Add(u"\u4e2d\u6587x", {{5, {1}}});
    std::uint32_t dictId = 0, namingId = 0, keyId = 0;
    ASSERT_TRUE(AddIndexTable(dict, &f.pdb, &dictId));
    ASSERT_TRUE(AddIndexTable(naming, &f.pdb, &namingId));
    ASSERT_TRUE(AddIndexTable(keys, &f.pdb, &keyId));
    PalmDatabase* db = f.Open();
    IndexTableHandle h;
    ASSERT_TRUE(h.Open(db, dictId, IndexTableHandle::kNone, namingId));
    IndexTable keyTable;
    ASSERT_TRUE(keyTable.Open(db, keyId));
    std::vector<LookupMatch> m;
    bool exact = false;
    ASSERT_TRUE(h.RunLookup(u"\u5927\u5b66", 2, &m, &keyTable, 3, &exact, false));
    EXPECT_TRUE(exact);
    ASSERT_EQ(1u, m.size());
    EXPECT_EQ(1, m[0].direct);
    EXPECT_EQ(3u, m[0].dictionary);
    m.clear();
    ASSERT_TRUE(h.RunLookup(u"zhongwen", 8, &m, &keyTable, 3, &exact, false));
    EXPECT_TRUE(exact);
    ASSERT_EQ(1u, m.size());
    EXPECT_EQ(0, m[0].direct);
    EXPECT_EQ(0, h.Table().EntryFromPosition(m[0].position));
    m.clear();
    EXPECT_FALSE(h.RunLookup(u"\u4e2dyy", 3, &m, &keyTable, 3, &exact, false));
    EXPECT_FALSE(exact);
    // Approximate: stem "中" — "中x" qualifies, "中文x" holds a further ideograph.
    ASSERT_TRUE(h.RunLookup(u"\u4e2dyy", 3, &m, &keyTable, 3, &exact, true));
    ASSERT_EQ(1u, m.size());
    EXPECT_EQ(0, m[0].exact);
    EXPECT_EQ(2u, m[0].length);

    IndexLookup lookup(&keyTable, h.FindNamingTable());
    std::u16string text;
    IndexPosition p;
    ASSERT_TRUE(lookup.Find(u"zhongwen", 8, &p));
    ASSERT_TRUE(lookup.Resolve(&text, p, nullptr));
    EXPECT_EQ(u"\u4e2d\u6587", text);
    ASSERT_TRUE(lookup.Fetch(&text, p));
    EXPECT_EQ(u"zhongwen", text);
}

}  // namespace
