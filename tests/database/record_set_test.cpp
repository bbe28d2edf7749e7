// Record positions and stepping, finding keys, row texts for lists, and positions that follow
// rows deleted through another record set.
#include <gtest/gtest.h>

#include "database/table_record_set.h"
#include "db_test_util.h"

namespace {

TEST(RecordPositionTest, FlagsSitAtBytesEightAndNine) {
    RecordPosition p = RecordPosition::At(-2);
    const uint8_t* b = reinterpret_cast<const uint8_t*>(&p);
    EXPECT_EQ(b[8], 1);
    EXPECT_EQ(b[9], 0);
    EXPECT_EQ(p.Get(), -2);
    p.Assign(-1);
    EXPECT_EQ(b[8], 0);
    EXPECT_EQ(b[9], 1);
    EXPECT_EQ(p.Get(), -1);
    p.Assign(7);
    EXPECT_EQ(p.Get(), 7);
    EXPECT_TRUE(p.IsRow());
}

struct SetFixture {
    DbHolder h;
    DbTable* table;
    TableRecordSet* set;
    explicit SetFixture(int rows) {
        table = MakeWords(h.db, "wl_en", rows);
        set = new TableRecordSet(h.db, table);
    }
    ~SetFixture() { set->Release(); }
};

TEST(TableRecordSetTest, SteppingAtTheEnds) {
    SetFixture f(3);
    RecordPosition bf = RecordPosition::At(-1), al = RecordPosition::At(-2);
    EXPECT_EQ(f.set->Next(bf).Get(), 0);
    EXPECT_EQ(f.set->Next(RecordPosition::At(2)).Get(), -2);
    EXPECT_EQ(f.set->Next(al).Get(), -2);
    EXPECT_EQ(f.set->Previous(al).Get(), 2);
    EXPECT_EQ(f.set->Previous(RecordPosition::At(0)).Get(), -1);
    EXPECT_EQ(f.set->Previous(bf).Get(), -1);

    SetFixture empty(0);
    EXPECT_EQ(empty.set->Next(bf).Get(), -2);
    EXPECT_EQ(empty.set->Previous(al).Get(), -1);
    EXPECT_EQ(empty.set->Count(), 0u);
}

TEST(TableRecordSetTest, FindKeyAndFindNext) {
    SetFixture f(4);
    f.table->SetText(3, 0, S("w1"));
    RecordPosition p = TableRecordSet::FindKey(f.set, S("orth"), S("w1"));
    EXPECT_EQ(p.Get(), 1);
    EXPECT_EQ(f.set->FindNext(S("orth"), S("w1"), p).Get(), 3);
    EXPECT_EQ(f.set->FindNext(S("orth"), S("w1"), RecordPosition::At(3)).Get(), -2);
    EXPECT_EQ(TableRecordSet::FindKey(f.set, S("orth"), S("W1")).Get(), -2);  // exact
    EXPECT_EQ(TableRecordSet::FindKey(f.set, S("ent"), S("20")).Get(), 2);    // by value
    EXPECT_EQ(TableRecordSet::FindKey(f.set, S("ent"), S("x")).Get(), -2);
    EXPECT_EQ(TableRecordSet::FindKey(f.set, S("nope"), S("w1")).Get(), -2);
}

TEST(TableRecordSetTest, ListTextsAndIcons) {
    SetFixture f(2);
    int32_t formatted = f.table->AddColumn(S("formatted"), DbTable::kText);
    int32_t shortid = f.table->AddColumn(S("shortid"), DbTable::kText);
    f.table->SetText(0, formatted, S("W-zero"));
    f.table->SetText(1, formatted, String());  // empty: falls back to orth
    f.table->SetText(0, shortid, S("dict"));
    f.table->SetNumber(0, 1, 1);
    f.table->SetNumber(1, 1, 2);
    String s;
    EXPECT_TRUE(f.set->GetDisplayText(RecordPosition::At(0), s));
    EXPECT_EQ(A(s), "W-zero");
    EXPECT_TRUE(f.set->GetDisplayText(RecordPosition::At(1), s));
    EXPECT_EQ(A(s), "w1");
    EXPECT_TRUE(f.set->GetText(RecordPosition::At(0), s));
    EXPECT_EQ(A(s), "w0");
    EXPECT_TRUE(f.set->GetShortId(RecordPosition::At(0), s));
    EXPECT_EQ(A(s), "dict");
    EXPECT_FALSE(f.set->GetShortId(RecordPosition::At(1), s));
    EXPECT_EQ(f.set->GetIcon(RecordPosition::At(0)), 225u);
    EXPECT_EQ(f.set->GetIcon(RecordPosition::At(1)), 230u);
    EXPECT_FALSE(f.set->GetText(RecordPosition::At(-2), s));
    EXPECT_FALSE(f.set->GetText(RecordPosition::At(5), s));
}

TEST(TableRecordSetTest, TableNamesAndTheNextList) {
    SetFixture f(1);
    f.h->CreateTable(S("other"));
    String s;
    EXPECT_TRUE(f.set->GetTableName(s, false));
    EXPECT_EQ(A(s), "wl_en");
    EXPECT_FALSE(f.set->GetTableName(s, true));
    f.h->CreateTable(S("wl_fr"));
    EXPECT_TRUE(f.set->GetTableName(s, true));
    EXPECT_EQ(A(s), "wl_fr");
}

TEST(RecordSetObjectTest, DeletionElsewhereMovesPositions) {
    SetFixture f(5);
    RecordSetObject* at3 = new RecordSetObject(f.h.db, f.table, RecordPosition::At(3));
    RecordSetObject* at1 = new RecordSetObject(f.h.db, f.table, RecordPosition::At(1));
    RecordSetObject* at4 = new RecordSetObject(f.h.db, f.table, RecordPosition::At(4));
    ASSERT_TRUE(f.table->DeleteRecord(1));
    EXPECT_EQ(at3->Current().Get(), 2);  // rows after the deleted one move up
    EXPECT_EQ(at1->Current().Get(), 1);  // the next row took its place
    EXPECT_EQ(at4->Current().Get(), 3);
    ASSERT_TRUE(f.table->DeleteRecord(3));
    EXPECT_EQ(at4->Current().Get(), -2);  // the last row went: after-last
    f.table->DeleteAllRecords();
    EXPECT_EQ(at1->Current().Get(), -2);
    at3->RefCounted::Release();
    at1->RefCounted::Release();
    at4->RefCounted::Release();
    EXPECT_TRUE(f.table->DeleteRecord(0) == false);  // observers gone, nothing to delete
}

TEST(RecordSetObjectTest, MakeScriptObjectStartsAtThePosition) {
    SetFixture f(3);
    ScriptObject* o = f.set->MakeScriptObject(RecordPosition::At(2));
    ASSERT_NE(o, nullptr);
    ASSERT_EQ(o->Kind(), RecordSetObject::kKind);
    RecordSetObject* rs = static_cast<RecordSetObject*>(o);
    EXPECT_EQ(rs->Current().Get(), 2);
    EXPECT_EQ(rs->Table(), f.table);
    rs->RefCounted::Release();
}

}  // namespace
