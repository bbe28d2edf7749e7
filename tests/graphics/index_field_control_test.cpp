// The index-bound field: the type-group matrix (on, submitted value, flag), hidden fields,
// loading from index entries (types out of range, missing tags, texts, odd value counts), saved
// state per group and the select state text, and script members per group (including the
// record set of a query that does not compile).
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "bookfiles/book_document.h"
#include "bookfiles/index_table.h"
#include "bookfiles/palm_database.h"
#include "graphics/controls/index_field_control.h"
#include "graphics/controls/select_state.h"
#include "support/bookfiles/book_builder.h"
#include "support/bookfiles/index_fixture.h"
#include "support/document/counting_book.h"
#include "support/graphics/fake_form.h"

namespace {

using fvt::test::FakeForm;

using fvt::test::A;
using fvt::test::S;

struct Field {
    IndexFieldControl* c;
    explicit Field(int32_t type) : c(new IndexFieldControl(nullptr)) { c->SetFieldType(type); }
    ~Field() { c->Release(); }
    IndexFieldControl* operator->() const { return c; }
};

// ---- The type groups --------------------------------------------------------------------------

TEST(IndexFieldTypes, OnSubmittedAndFlagFollowTheType) {
    struct Row {
        int32_t type;
        bool on;
        bool submits;
        bool flag;
    };
    const Row rows[] = {{2, true, true, true},    {3, true, true, false},   {4, false, true, true},
                        {5, false, false, false}, {6, true, false, true},   {7, true, true, true},
                        {8, false, false, false}, {9, false, false, false}, {10, true, false, true},
                        {11, false, true, true},  {12, true, true, true},   {13, true, false, true},
                        {14, false, false, false}};
    for (const Row& row : rows) {
        Field f(row.type);
        f->SetValueText(S("v"));
        String out;
        EXPECT_EQ(f->IsOn(), row.on) << row.type;
        EXPECT_EQ(f->GetSubmitValue(0, out), row.submits) << row.type;
        EXPECT_EQ(f->FlagQuery(), row.flag) << row.type;
        EXPECT_EQ(f->GetControlType(), row.type);
        f->SetExcluded(true);
        EXPECT_FALSE(f->FlagQuery());
    }
}

TEST(IndexFieldTypes, CheckedFieldsAreOnOnlyWhenChecked) {
    Field f(11);
    f->SetChecked(true);
    EXPECT_TRUE(f->IsOn());
}

TEST(IndexFieldTypes, AQueryFieldDoesNotSubmitItsQuery) {
    Field f(12);
    f->SetValueText(S("SELECT * FROM t"));
    f->SetRecordSet(true);
    String out;
    EXPECT_FALSE(f->GetSubmitValue(0, out));
}

TEST(IndexFieldTypes, HiddenFieldMeasuresNothingAndIsSubmitted) {
    IndexFieldControl* c = new IndexFieldControl(nullptr);
    c->SetSource(S("secret"));
    EXPECT_EQ(c->FieldType(), 7);
    Size size{5, 5}, minimum{3, 3};
    uint8_t a = 1, b = 1;
    uint32_t baseline = 9;
    EXPECT_TRUE(c->Measure(size, a, nullptr, b, baseline, minimum));
    EXPECT_EQ(size, (Size{0, 0}));
    EXPECT_EQ(baseline, 0u);
    EXPECT_FALSE(c->IsControl());
    EXPECT_EQ(c->GetNode(), nullptr);
    String out;
    EXPECT_TRUE(c->GetSubmitValue(0, out));
    EXPECT_EQ(A(out), "secret");
    c->SetFieldType(2);
    EXPECT_FALSE(c->MeasureSimple(size, a));
    c->Release();
}

// ---- Saved state ------------------------------------------------------------------------------

TEST(IndexFieldState, CheckedFieldRestoredUncheckedIsNotSubmitted) {
    Field f(4);
    f->SetValueText(S("yes"));
    ASSERT_TRUE(f->RestoreState(S("unchecked")));
    EXPECT_FALSE(f->IsOn());
    ASSERT_TRUE(f->RestoreState(S("checked")));
    EXPECT_TRUE(f->IsOn());
    String saved;
    ASSERT_TRUE(f->SaveState(saved));
    EXPECT_EQ(A(saved), "checked");
}

TEST(IndexFieldState, EachGroupSavesAndRestores) {
    Field text(3);
    ASSERT_TRUE(text->RestoreState(S("abc")));
    String saved;
    ASSERT_TRUE(text->SaveState(saved));
    EXPECT_EQ(A(saved), "abc");
    Field valueless(9);
    EXPECT_TRUE(valueless->RestoreState(S("x")));
    EXPECT_TRUE(valueless->SaveState(saved));
    EXPECT_TRUE(saved.IsEmpty());
    Field none(13);
    EXPECT_FALSE(none->RestoreState(S("x")));
    EXPECT_FALSE(none->SaveState(saved));
}

TEST(IndexFieldState, SelectStateRoundTripsAndBadTextsLeaveTheFieldAlone) {
    Field f(12);
    ASSERT_TRUE(f->RestoreState(S("N2;abc")));
    EXPECT_EQ(f->SelectedIndex(), 2u);
    EXPECT_EQ(A(f->ValueText()), "abc");
    EXPECT_FALSE(f->IsRecordSet());
    String saved;
    ASSERT_TRUE(f->SaveState(saved));
    EXPECT_EQ(A(saved), "N2;abc");
    for (const char* bad : {"X2;abc", "N-1;abc", "N2abc", "N;abc", "", "N99999999999;a"}) {
        EXPECT_FALSE(f->RestoreState(S(bad))) << bad;
        EXPECT_EQ(f->SelectedIndex(), 2u) << bad;
        EXPECT_EQ(A(f->ValueText()), "abc") << bad;
    }
    ASSERT_TRUE(f->RestoreState(S("I0;SELECT a;b")));  // the text runs to the end, ';' and all
    EXPECT_TRUE(f->IsRecordSet());
    EXPECT_EQ(A(f->ValueText()), "SELECT a;b");
}

TEST(SelectStateText, NegativeIndexesAreWrittenAsZero) {
    String out;
    ASSERT_TRUE(SelectState::Format(SelectState::kQueryKind, -2, S("q"), out));
    EXPECT_EQ(A(out), "I0;q");
    char16_t kind = 0;
    uint32_t index = 7;
    String text;
    ASSERT_TRUE(SelectState::Parse(out, kind, index, text));
    EXPECT_EQ(kind, u'I');
    EXPECT_EQ(index, 0u);
}

// ---- Script members ---------------------------------------------------------------------------

TEST(IndexFieldScript, MembersFollowTheGroup) {
    FakeForm form;
    Field text(7);
    text->Bind(&form, String(), 1, 0);
    EXPECT_EQ(form.RunOn(text.c, "this.value = 'x' + 1; this.value"), 0);
    EXPECT_EQ(form.lastResult, "x1");
    EXPECT_EQ(form.RunOn(text.c, "this.checked"), ScriptErrors::kMemberUnknown);
    EXPECT_EQ(form.RunOn(text.c, "this.form.name"), 0);
    EXPECT_EQ(form.lastResult, "f1");

    Field checked(11);
    EXPECT_EQ(form.RunOn(checked.c, "this.checked = 1; this.checked"), 0);
    EXPECT_EQ(form.lastResult, "true");
    EXPECT_EQ(form.RunOn(checked.c, "this.value"), ScriptErrors::kMemberUnknown);

    Field select(12);
    select->RestoreState(S("N3;v"));
    EXPECT_EQ(form.RunOn(select.c, "this.selectedIndex"), 0);
    EXPECT_EQ(form.lastResult, "3");
    EXPECT_EQ(form.RunOn(select.c, "this.selectedIndex = 1"), ScriptErrors::kCannotSet);
    EXPECT_EQ(form.RunOn(select.c, "this.source"), ScriptErrors::kMemberUnknown);
}

TEST(IndexFieldScript, ValuelessFieldsReadNothingNotEvenFocus) {
    FakeForm form;
    Field f(5);
    EXPECT_EQ(form.RunOn(f.c, "this.hasFocus"), ScriptErrors::kCannotGet);
    EXPECT_EQ(form.RunOn(f.c, "this.value"), ScriptErrors::kMemberUnknown);
    EXPECT_EQ(form.RunOn(f.c, "this.blur()"), 0);
}

TEST(IndexFieldScript, QueryFieldAnswersSourceAndRefusesSelectedIndex) {
    FakeForm form;
    Field f(12);
    f->SetRecordSet(true);
    f->SetValueText(S("SELECT FROM"));
    EXPECT_EQ(form.RunOn(f.c, "this.source"), 0);
    EXPECT_EQ(form.lastResult, "SELECT FROM");
    EXPECT_EQ(form.RunOn(f.c, "this.selectedIndex"), ScriptErrors::kMemberUnknown);
    EXPECT_EQ(form.RunOn(f.c, "this.recordset"), ScriptErrors::kQuerySyntax);
    EXPECT_EQ(form.RunOn(f.c, "this.recordset = 1"), ScriptErrors::kCannotSet);
}

TEST(IndexFieldScript, RecordSetOfAQueryOnTheBookWalksItsMatches) {
    // A book whose default table "words" holds three entries (built twice: the second time
    // with the table's real record number).
    uint32_t words = 0;
    Bytes bytes;
    for (int pass = 0; pass < 2; ++pass) {
        BookBuilder b;
        b.text = ToBytes("<html><body>dictionary</body></html>");
        b.tables[0] = words;
        PdbBuilder pdb = b.BuildDatabase();
        IndexWriter w;
        w.name = "words";
        w.Add(u"apple", {{1, {10}}});
        w.Add(u"bank", {{1, {20}}});
        w.Add(u"cat", {{1, {30}}});
        ASSERT_TRUE(AddIndexTable(w, &pdb, &words));
        bytes = pdb.Build();
    }
    auto* book = new fixtures::CountingBook();
    int error = 0;
    PalmDatabase* db = PalmDatabase::LoadInMemory(bytes.data(), bytes.size(), &error);
    ASSERT_EQ(book->Book().Open(db, 1, 1252, 65002), 0);
    {
        FakeForm form;
        IndexFieldControl* f = new IndexFieldControl(book);
        f->SetFieldType(12);
        f->SetRecordSet(true);
        f->SetValueText(S("SELECT * FROM words"));
        EXPECT_EQ(form.RunOn(f, "var r = this.recordset; r.Count"), 0) << form.err.MessageUtf8();
        EXPECT_EQ(form.lastResult, "3");
        EXPECT_GT(book->opened, 0);
        EXPECT_EQ(form.RunOn(f, "this.source = 'SELECT * FROM nowhere'; this.recordset"),
                  ScriptErrors::kQueryName);
        f->Release();
    }
    EXPECT_EQ(book->RefCount(), 1u);  // the field and the record sets let go of the book
    book->Release();
}

// ---- Loading from index entries ---------------------------------------------------------------

class IndexFieldLoad : public ::testing::Test {
protected:
    // Builds a one-table book from the writer and opens the table.
    bool Open(IndexWriter& w) {
        pdb.Add(ToBytes("record zero"));
        uint32_t id = 0;
        if (!AddIndexTable(w, &pdb, &id)) return false;
        bytes = pdb.Build();
        int error = 0;
        db.reset(PalmDatabase::OpenView(bytes.data(), bytes.size(), &error));
        return db && table.Open(db.get(), id);
    }
    IndexPosition Entry(uint32_t n) {
        IndexPosition p;
        table.PositionFromEntry(n, &p);
        return p;
    }
    PdbBuilder pdb;
    Bytes bytes;
    std::unique_ptr<PalmDatabase> db;
    IndexTable table;
};

TEST_F(IndexFieldLoad, TypeIdCheckedAndSelectedIndexAreRead) {
    IndexWriter w;
    w.Add(u"a", {{1, {4}}, {2, {17}}, {7, {5, 1, 6, 9, 8}}});  // odd count: the last is dropped
    ASSERT_TRUE(Open(w));
    Field f(0);
    ASSERT_TRUE(f->LoadFromEntry(&table, Entry(0)));
    EXPECT_EQ(f->FieldType(), 4);
    EXPECT_EQ(f->Id(), 17);
    EXPECT_TRUE(f->IsChecked());
    EXPECT_EQ(f->SelectedIndex(), 9u);
}

TEST_F(IndexFieldLoad, MissingOrOutOfRangeTypesAreNotLoaded) {
    IndexWriter w;
    w.Add(u"a", {{1, {15}}});
    w.Add(u"b", {{2, {3}}});
    w.Add(u"c", {{1, {1}}});
    w.Add(u"d", {{1, {2}}});
    ASSERT_TRUE(Open(w));
    Field f(0);
    EXPECT_FALSE(f->LoadFromEntry(&table, Entry(0)));
    EXPECT_FALSE(f->LoadFromEntry(&table, Entry(1)));
    EXPECT_FALSE(f->LoadFromEntry(&table, Entry(2)));
    EXPECT_TRUE(f->LoadFromEntry(&table, Entry(3)));
    EXPECT_EQ(f->Id(), -1);  // no tag 2
    EXPECT_FALSE(f->LoadFromEntry(&table, IndexPosition{}));
    EXPECT_FALSE(f->LoadFromEntry(nullptr, Entry(0)));
}

TEST_F(IndexFieldLoad, TextOfKindThreeBecomesTheValueAndBadTextPlacesFail) {
    // First learn where the writer puts the text, then refer to it as (3, record, offset).
    IndexWriter probe;
    size_t text = probe.AddText("hello");
    probe.Add(IndexWriter::Entry{"a", {{1, {2}}}, {{11, text}}});
    ASSERT_TRUE(Open(probe));
    IndexEntryReader reader;
    ASSERT_TRUE(reader.Open(&table));
    ASSERT_EQ(reader.Seek(Entry(0)), 0);
    std::vector<uint32_t> at;
    uint32_t count = 0;
    ASSERT_EQ(reader.FindTag(11, &count, &at), 0);
    ASSERT_EQ(at.size(), 2u);

    IndexWriter w;
    w.AddText("hello");
    w.Add(u"a", {{1, {2}}, {11, {1, 0, 0, 3, at[0], at[1], 3}}});  // a kind-1 group, a short one
    w.Add(u"b", {{1, {2}}, {11, {3, 999, 0}}});                    // a record outside the table
    pdb = PdbBuilder();
    ASSERT_TRUE(Open(w));
    Field f(0);
    ASSERT_TRUE(f->LoadFromEntry(&table, Entry(0)));
    EXPECT_EQ(A(f->ValueText()), "hello");
    EXPECT_FALSE(f->LoadFromEntry(&table, Entry(1)));
    EXPECT_EQ(A(f->ValueText()), "hello");  // what was read before stays
}

}  // namespace
