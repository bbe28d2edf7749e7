// The form-data store: submissions in sorted records, chunking, and unfinished submissions.
#include <gtest/gtest.h>

#include <string>

#include "bookfiles/database_file.h"
#include "bookfiles/palm_database.h"
#include "bookfiles/sorted_record_database.h"
#include "support/platform/temp_device.h"

namespace {

constexpr const char* kPath = "\\folvbook.fvl";

struct StubCart : FormCart {
    std::u16string name;
};
FormCart* MakeStub(const char16_t* name, std::size_t length) {
    StubCart* c = new StubCart;
    c->name.assign(name, length);
    return c;
}

TEST(SortedRecordDatabaseTest, SubmissionsAreKeptInOrderAndReadBack) {
    fvt::test::TempDevice device;
    SortedRecordDatabase db;
    SortedRecordItem item{u"http://x/submit", u"", 2, 1};
    EXPECT_EQ(nullptr, db.OpenEntry(item));  // not open
    ASSERT_EQ(0, db.OpenDefault(kPath, 1));
    EXPECT_EQ(0, db.Database()->GetAttributes() & PalmDatabase::kAttrBackup);
    for (int round = 0; round < 2; ++round) {
        std::unique_ptr<SortedRecordWriter> w = db.OpenEntry(item);
        ASSERT_TRUE(w);
        EXPECT_EQ(static_cast<std::uint32_t>(round), w->Submission());
        EXPECT_TRUE(w->AppendPair(u"name", 4, u"Ann", 3));
        EXPECT_TRUE(w->AppendPair(u"n", 1, round ? u"2" : u"1", 1));
        w->SetFlag();
        EXPECT_TRUE(w->Finish());
    }
    SortedRecordItem earlier{u"http://a", u"", 0, 0};
    std::unique_ptr<SortedRecordWriter> w = db.OpenEntry(earlier);
    w->AppendPair(u"q", 1, u"", 0);
    w->SetFlag();
    w->Finish();
    ASSERT_EQ(0, db.Close());

    ASSERT_EQ(0, db.OpenDefault(kPath, 0));
    EXPECT_EQ(2u, db.SubmissionCount(item));
    std::u16string pairs;
    ASSERT_TRUE(db.ReadSubmission(item, 1, &pairs));
    EXPECT_EQ(std::u16string(u"name=Ann\0n=2\0", 13), pairs);
    ASSERT_TRUE(db.ReadSubmission(earlier, 0, &pairs));
    EXPECT_EQ(std::u16string(u"q=\0", 3), pairs);
    // Sorted: the earlier key's record comes first.
    ByteSpan first;
    ASSERT_TRUE(db.GetData(0, &first));
    EXPECT_EQ(0, first.data[2]);
    EXPECT_EQ('h', first.data[3]);
    EXPECT_EQ(16u, first.U16At(0));  // "http://a" in bytes
}

TEST(SortedRecordDatabaseTest, LongSubmissionsSpanChunksAndUnflaggedOnesVanish) {
    fvt::test::TempDevice device;
    SortedRecordDatabase db;
    ASSERT_EQ(0, db.OpenDefault(kPath, 1));
    SortedRecordItem item{u"act", u"", 0, 0};
    std::u16string big(3000, u'v');
    {
        std::unique_ptr<SortedRecordWriter> w = db.OpenEntry(item);
        ASSERT_TRUE(w->AppendPair(u"a", 1, big.data(), big.size()));
        ASSERT_TRUE(w->AppendPair(u"b", 1, big.data(), big.size()));
        EXPECT_EQ(2u, db.RecordCount());  // two full chunks written so far
        w->SetFlag();
        ASSERT_TRUE(w->Finish());
    }
    EXPECT_EQ(3u, db.RecordCount());
    std::u16string pairs;
    ASSERT_TRUE(db.ReadSubmission(item, 0, &pairs));
    EXPECT_EQ(2 * (big.size() + 3), pairs.size());
    {
        std::unique_ptr<SortedRecordWriter> w = db.OpenEntry(item);
        ASSERT_TRUE(w->AppendPair(u"a", 1, big.data(), big.size()));
        ASSERT_TRUE(w->AppendPair(u"a", 1, big.data(), big.size()));
        EXPECT_TRUE(w->Finish());  // never flagged: removed
    }
    EXPECT_EQ(3u, db.RecordCount());
    EXPECT_EQ(1u, db.SubmissionCount(item));
}

TEST(SortedRecordDatabaseTest, CartAndItems) {
    SortedRecordDatabase db;
    EXPECT_EQ(nullptr, db.GetFormStore(u"cart", 4));
    SortedRecordDatabase::SetCartFactory(MakeStub);
    FormCart* cart = db.GetFormStore(u"cart", 4);
    ASSERT_NE(nullptr, cart);
    EXPECT_EQ(cart, db.GetFormStore(u"other", 5));
    EXPECT_EQ(u"cart", static_cast<StubCart*>(cart)->name);
    SortedRecordDatabase::SetCartFactory(nullptr);
    db.AddItemList(u" alpha  beta gamma", 18);
    ASSERT_EQ(3u, db.Items().size());
    EXPECT_EQ(u"beta", db.Items()[1].name);
    EXPECT_EQ(2u, db.Items()[1].kind);
    db.ClearItems();
    EXPECT_TRUE(db.Items().empty());
}

}  // namespace
