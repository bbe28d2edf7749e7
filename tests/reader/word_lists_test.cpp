#include "reader/word_lists.h"

#include <gtest/gtest.h>

namespace {

TEST(WordListTitleTest, KnownCodesHaveTheirOwnTitles) {
    const std::u16string en = u"wl_en", fr = u"wl_fr", ko = u"wl_ko";
    EXPECT_EQ(5269, WordLists::WordListTitle(&en).stringId);
    EXPECT_EQ(5271, WordLists::WordListTitle(&fr).stringId);
    EXPECT_EQ(5274, WordLists::WordListTitle(&ko).stringId);
    EXPECT_TRUE(WordLists::WordListTitle(&fr).suffix.empty());
}

TEST(WordListTitleTest, OtherNamesGoInParentheses) {
    const std::u16string nl = u"wl_nl", shortName = u"wl_", longer = u"wl_pt_br";
    EXPECT_EQ(5061, WordLists::WordListTitle(&nl).stringId);
    EXPECT_EQ(u"(nl)", WordLists::WordListTitle(&nl).suffix);
    EXPECT_EQ(u"(wl_)", WordLists::WordListTitle(&shortName).suffix);
    EXPECT_EQ(u"(pt_br)", WordLists::WordListTitle(&longer).suffix);
    EXPECT_EQ(5061, WordLists::WordListTitle(nullptr).stringId);
    EXPECT_TRUE(WordLists::WordListTitle(nullptr).suffix.empty());
}

TEST(WordListMarkTest, MarksCycleAndStrayValuesReset) {
    EXPECT_EQ(1, WordLists::NextMark(0));
    EXPECT_EQ(2, WordLists::NextMark(1));
    EXPECT_EQ(0, WordLists::NextMark(2));
    EXPECT_EQ(0, WordLists::NextMark(std::nullopt));
    EXPECT_EQ(0, WordLists::NextMark(-1));
    EXPECT_EQ(0, WordLists::NextMark(7));
}

TEST(WordListLinkTest, LinksAndTheirNumbers) {
    std::int64_t n = 5;
    EXPECT_TRUE(WordLists::ParseWordListLink(u"fvtwordlist", &n));
    EXPECT_EQ(-1, n);
    EXPECT_TRUE(WordLists::ParseWordListLink(u"fvtwordlist&12", &n));
    EXPECT_EQ(12, n);
    EXPECT_FALSE(WordLists::ParseWordListLink(u"fvtwordlist&x", &n));
    EXPECT_FALSE(WordLists::ParseWordListLink(u"fvtwordlist&", &n));
    EXPECT_FALSE(WordLists::ParseWordListLink(u"fvtwordlist&99999999999", &n));
    EXPECT_FALSE(WordLists::ParseWordListLink(u"fvtsearchhistory", &n));
    EXPECT_TRUE(WordLists::IsSearchHistoryLink(u"fvtsearchhistory"));
    EXPECT_FALSE(WordLists::IsSearchHistoryLink(u"fvtwordlist"));
}

}  // namespace

#include <memory>

#include "bookfiles/palm_database.h"
#include "database/database.h"
#include "database/db_table.h"
#include "support/platform/temp_device.h"

namespace {

String A(const char* ascii) {
    String s;
    s.AppendAscii(ascii);
    return s;
}

// A vocabulary list as the document controller makes it.
class WordListRowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        db = new Database();
        table = db->TableAt(db->CreateTable(A("wl_en")));
        ASSERT_NE(table, nullptr);
        table->AddColumn(A("orth"), 0);
        table->AddColumn(A("dict"), 6);
        table->AddColumn(A("icon"), 2);
        table->AddColumn(A("formatted"), 0);
        table->AddColumn(A("ent"), 2);
        table->AddColumn(A("shortid"), 0);
    }
    void TearDown() override { db->Release(); }
    String Cell(int32_t row, const char* column) {
        String s;
        table->GetText(row, table->FindColumn(A(column)), s);
        return s;
    }
    bool Null(int32_t row, const char* column) {
        return table->IsNull(row, table->FindColumn(A(column)));
    }
    static VocabularyEntry Word(const char* orth, const char* dict = "", int32_t ent = -1) {
        VocabularyEntry e;
        e.orth = A(orth);
        e.dict = A(dict);
        e.ent = ent;
        return e;
    }

    Database* db = nullptr;
    DbTable* table = nullptr;
};

TEST_F(WordListRowsTest, AddRowLeavesOutWhatAddsNothing) {
    VocabularyEntry same = Word("bank", "oeb:redirect?title=Dict$table=words", 4);
    same.formatted = A("bank");
    const int32_t row = WordList::AddRow(table, same);
    ASSERT_EQ(0, row);
    EXPECT_TRUE(Cell(row, "orth") == A("bank"));
    EXPECT_TRUE(Null(row, "formatted"));  // equal to orth
    uint32_t n = 9;
    EXPECT_TRUE(table->GetNumber(row, table->FindColumn(A("ent")), n));
    EXPECT_EQ(4u, n);
    EXPECT_TRUE(table->GetNumber(row, table->FindColumn(A("icon")), n));
    EXPECT_EQ(0u, n);
    EXPECT_TRUE(Null(row, "shortid"));

    for (int32_t unknown : {-1, -2}) {
        const int32_t r = WordList::AddRow(table, Word("cat", "", unknown));
        EXPECT_TRUE(Null(r, "ent"));
        EXPECT_TRUE(Null(r, "dict"));
    }
    EXPECT_EQ(-1, WordList::AddRow(nullptr, same));
}

TEST_F(WordListRowsTest, FindRowMatchesTheBookOfTheDictionary) {
    WordList::AddRow(table, Word("bank", "oeb:redirect?title=Other"));
    WordList::AddRow(table, Word("bank", "oeb:redirect?title=Dict"));
    VocabularyEntry river = Word("bank");
    river.formatted = A("Bank (river)");
    WordList::AddRow(table, river);

    EXPECT_EQ(1, WordList::FindRow(Word("bank", "oeb:redirect?title=Dict$table=words"), table));
    EXPECT_EQ(0, WordList::FindRow(Word("bank"), table));  // no dict: the first
    EXPECT_EQ(-1, WordList::FindRow(Word("bank", "oeb:redirect?title=None"), table));
    EXPECT_EQ(2, WordList::FindRow(river, table));  // by its display form
    EXPECT_EQ(-1, WordList::FindRow(Word("bank"), nullptr));
}

TEST_F(WordListRowsTest, MarksAndTheWordShown) {
    VocabularyEntry river = Word("bank");
    river.formatted = A("Bank (river)");
    const int32_t row = WordList::AddRow(table, river);
    const int32_t icon = table->FindColumn(A("icon"));
    uint32_t mark = 9;
    ASSERT_TRUE(WordList::SetMark(table, row, -1));
    table->GetNumber(row, icon, mark);
    EXPECT_EQ(1u, mark);
    ASSERT_TRUE(WordList::SetMark(table, row, 2));
    ASSERT_TRUE(WordList::SetMark(table, row, -1));
    table->GetNumber(row, icon, mark);
    EXPECT_EQ(0u, mark);
    table->SetNull(row, icon);
    ASSERT_TRUE(WordList::SetMark(table, row, -1));
    table->GetNumber(row, icon, mark);
    EXPECT_EQ(0u, mark);  // an empty cell cycles to 0
    EXPECT_FALSE(WordList::SetMark(table, 5, 1));

    String shown;
    ASSERT_TRUE(WordList::RowWord(table, row, shown));
    EXPECT_TRUE(shown == A("Bank (river)"));
    const int32_t plain = WordList::AddRow(table, Word("cat"));
    ASSERT_TRUE(WordList::RowWord(table, plain, shown));
    EXPECT_TRUE(shown == A("cat"));
}

TEST(WordListLinkTest, DictionaryTablesAndEntryLinks) {
    EXPECT_TRUE(WordList::DictionaryTable(A("oeb:redirect?title=Dict")) ==
                A("oeb:redirect?title=Dict$special_table=default"));
    EXPECT_TRUE(WordList::DictionaryTable(A("book$table=words")) == A("book$table=words"));
    EXPECT_TRUE(WordList::EntryLink(A("\\d.prc"), 120, 7, 3) ==
                A("\\d.prc##-pos120-tableid7-entry3"));
}

TEST(WordListSaveTest, EachChangeIsSavedAndAFailureReportedOnce) {
    fvt::test::TempDevice device;
    ASSERT_TRUE(device.ok());
    Database* db = new Database();
    db->SetFilePath("\\folivant_wordlist.ebase");
    DbTable* table = db->TableAt(db->CreateTable(A("wl_fr")));
    table->AddColumn(A("orth"), 0);
    WordListSaver saver;
    bool report = true;
    WordList::AddRow(table, VocabularyEntry{A("chien"), {}, {}, 0, -1, {}});
    ASSERT_TRUE(saver.Save(table, &report));
    EXPECT_FALSE(report);

    // Reopened from the file (as after a crash), the word is there.
    int error = 0;
    std::unique_ptr<PalmDatabase> file(
        PalmDatabase::Open("\\folivant_wordlist.ebase", 41, nullptr, nullptr, &error));
    ASSERT_TRUE(file) << error;
    Database* back = nullptr;
    ASSERT_EQ(0, Database::OpenFile(file.get(), back));
    DbTable* reopened = back->TableAt(back->FindTable(A("wl_fr")));
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(0, WordList::FindRow(VocabularyEntry{A("chien"), {}, {}, 0, -1, {}}, reopened));
    back->Release();

    // A medium that refuses the write: told once, not for every word.
    db->SetReadOnly(true);
    WordList::AddRow(table, VocabularyEntry{A("chat"), {}, {}, 0, -1, {}});
    EXPECT_FALSE(saver.Save(table, &report));
    EXPECT_TRUE(report);
    EXPECT_FALSE(saver.Save(table, &report));
    EXPECT_FALSE(report);
    db->Release();
}

}  // namespace
