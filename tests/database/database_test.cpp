// Tables and databases: column rules, cells, read-only databases, dropping tables that record
// sets still hold, and the naming of database files.
#include <gtest/gtest.h>

#include "database/table_record_set.h"
#include "db_test_util.h"

namespace {

TEST(DatabaseNamingTest, FileStemKeepsLettersAndDigits) {
    String stem;
    EXPECT_EQ(Database::MakeFileStem(S("My List!"), stem), 0);
    EXPECT_EQ(A(stem), "My_List_");
    EXPECT_NE(Database::MakeFileStem(S("!!!"), stem), 0);
    EXPECT_TRUE(stem.IsEmpty());
    EXPECT_EQ(Database::MakeFileStem(S("abcdefghijklmnopqrstuvwxyz0123456789ABCD"), stem), 0);
    EXPECT_EQ(stem.Length(), 32);
}

TEST(DatabaseTablesTest, CreateFindAndDrop) {
    DbHolder h;
    EXPECT_EQ(h->CreateTable(S("wl_en")), 0);
    EXPECT_EQ(h->CreateTable(S("wl_en")), -1);  // exists: callers find first
    EXPECT_EQ(h->CreateTable(String()), -1);
    EXPECT_EQ(h->FindTable(S("wl_en")), 0);
    EXPECT_EQ(h->FindTable(S("WL_EN")), -1);
    EXPECT_TRUE(h->DropTable(S("wl_en")));
    EXPECT_FALSE(h->DropTable(S("wl_en")));
    EXPECT_EQ(h->TableCount(), 0);
}

TEST(DatabaseTablesTest, ResourceFaceIsKindOne) {
    DbHolder h;
    h->SetName(S("notes"));
    Resource* r = h.db;
    EXPECT_EQ(r->GetKind(), 1u);
    EXPECT_EQ(Database::FromResource(r), h.db);
    EXPECT_TRUE(r->IsBinary());
    EXPECT_EQ(r->GetDocument(), nullptr);
    EXPECT_EQ(r->CreateSearcher(), nullptr);
    String title;
    EXPECT_TRUE(r->GetTitle(title));
    EXPECT_EQ(A(title), "notes");
}

TEST(DbTableTest, ColumnRules) {
    DbHolder h;
    DbTable* t = MakeWords(h.db, "t", 2);
    EXPECT_EQ(t->AddColumn(S("orth"), DbTable::kText), 0);  // same name and type
    EXPECT_EQ(t->AddColumn(S("orth"), DbTable::kNumber), -1);
    EXPECT_EQ(t->AddColumn(S("x"), 3), -1);
    EXPECT_EQ(t->AddColumn(String(), DbTable::kText), -1);
    int32_t dict = t->AddColumn(S("dict"), DbTable::kPooledText);
    ASSERT_EQ(dict, 3);
    EXPECT_TRUE(t->IsNull(0, dict));  // existing rows get null cells
    EXPECT_TRUE(t->IsTextColumn(dict));
    EXPECT_TRUE(t->IsNumberColumn(1));
    EXPECT_FALSE(t->IsTextColumn(1));
    EXPECT_TRUE(t->RemoveColumn(S("icon")));
    EXPECT_EQ(t->FindColumn(S("ent")), 1);
    uint32_t n = 0;
    EXPECT_TRUE(t->GetNumber(1, 1, n));
    EXPECT_EQ(n, 10u);
}

TEST(DbTableTest, CellsRefuseOtherKindsAndRanges) {
    DbHolder h;
    DbTable* t = MakeWords(h.db, "t", 1);
    EXPECT_FALSE(t->SetNumber(0, 0, 5));     // text column
    EXPECT_FALSE(t->SetText(0, 2, S("5")));  // number column
    EXPECT_FALSE(t->SetNumber(0, 1, 256));   // small number
    EXPECT_TRUE(t->SetNumber(0, 1, 255));
    EXPECT_FALSE(t->SetText(1, 0, S("x")));  // no such row
    EXPECT_FALSE(t->SetText(0, 9, S("x")));
    String out;
    EXPECT_FALSE(t->GetText(0, 2, out));
    EXPECT_FALSE(t->GetText(-1, 0, out));
    EXPECT_TRUE(t->SetText(0, 0, String()));  // empty text is not null
    EXPECT_FALSE(t->IsNull(0, 0));
    EXPECT_TRUE(t->SetNull(0, 0));
    EXPECT_TRUE(t->IsNull(0, 0));
}

TEST(DbTableTest, ReadOnlyDatabaseRefusesChanges) {
    DbHolder h;
    DbTable* t = MakeWords(h.db, "t", 1);
    h->ClearDirty();
    h->SetReadOnly(true);
    EXPECT_EQ(t->AddColumn(S("new"), DbTable::kText), -1);
    EXPECT_EQ(t->AddRecord(), -1);
    EXPECT_FALSE(t->SetText(0, 0, S("x")));
    EXPECT_FALSE(t->DeleteRecord(0));
    EXPECT_EQ(h->CreateTable(S("u")), -1);
    EXPECT_FALSE(h->DropTable(S("t")));
    EXPECT_FALSE(h->IsDirty());
    EXPECT_FALSE(h->Save());
}

TEST(DbTableTest, DroppedTableLivesWhileARecordSetHoldsIt) {
    DbHolder h;
    DbTable* t = MakeWords(h.db, "t", 3);
    TableRecordSet* set = new TableRecordSet(h.db, t);
    ASSERT_TRUE(h->DropTable(S("t")));
    EXPECT_EQ(t->Owner(), nullptr);
    EXPECT_EQ(set->Count(), 3u);
    String text;
    EXPECT_TRUE(set->GetText(RecordPosition::At(2), text));
    EXPECT_EQ(A(text), "w2");
    set->Release();
}

TEST(TableRefTest, AssignTakesNewBeforeReleasingOld) {
    Database* a = new Database();
    {
        TableRef ref(a);
        EXPECT_EQ(a->RefCount(), 2u);
        ref.Assign(a);  // the same database: the count stays
        EXPECT_EQ(a->RefCount(), 2u);
        Database* b = new Database();
        ref.Assign(b);
        b->Release();
        EXPECT_EQ(a->RefCount(), 1u);
        EXPECT_EQ(ref.Get(), b);
    }
    a->Release();
}

}  // namespace
