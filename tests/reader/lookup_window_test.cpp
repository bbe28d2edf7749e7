// The word-list and search-history pages: the requests that open them over their databases,
// titles (encoded dictionary names), adding words (asked first, already there, read-only),
// marks and deleting, saving after each change, the "LIST" state record, opening a row's entry, and the history's rows.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "bookfiles/palm_database.h"
#include "core/byte_stream.h"
#include "core/resources.h"
#include "database/database.h"
#include "database/db_table.h"
#include "database/history_table.h"
#include "document/sources/document_loader.h"
#include "lookup_books.h"
#include "paths/app_paths.h"
#include "reader/command_record.h"
#include "reader/list_pages.h"
#include "reader/lookup_window.h"
#include "reader/dictionary_lookups.h"
#include "reader/reader_controller.h"
#include "reader/word_lists.h"
#include "support/platform/temp_device.h"
#include "support/reader/reader_fakes.h"

namespace {

using fvt::test::U16;

class ListPagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(device_.ok());
        device_.WriteHost("books/en.prc", fvt::test::DictionaryBook(
                                              {{u"mouse", "a small animal"}, {u"walk", "on foot"}},
                                              9, 9));
        loader_ = std::make_unique<DocumentLoader>(5);
        loader_->SetOptions(&paths_, nullptr, nullptr);
        controller_.SetTimerHost(&host_);
        controller_.SetShell(&shell_);
        controller_.SetDocumentLoader(loader_.get());
        controller_.SetDocumentController(&doc_);
        db_ = new Database();
        db_->SetName(String(u"folivant_wordlist"));
        db_->SetFilePath("\\wordlist.pdb");
    }
    void TearDown() override {
        pages_.reset();
        db_->Release();
        Resources::FlushCache();
    }
    CommandRecord Record(uint32_t method, std::initializer_list<const char16_t*> texts) {
        CommandRecord r(method, 25);
        for (const char16_t* t : texts) r.AppendText(String(t));
        return r;
    }
    WordListWindow* Words() { return dynamic_cast<WordListWindow*>(pages_->Page()); }
    // The rows' orth texts.
    std::vector<std::u16string> Rows() {
        std::vector<std::u16string> out;
        DbTable* table = Words()->Table();
        const int32_t orth = table->FindColumn(String(u"orth"));
        for (int32_t r = 0; r < table->RowCount(); ++r) {
            String s;
            table->GetText(r, orth, s);
            out.push_back(U16(s));
        }
        return out;
    }

    fvt::test::TempDevice device_;
    AppPaths paths_{Text(), nullptr};
    std::unique_ptr<DocumentLoader> loader_;
    fvt::test::ManualTimerHost host_;
    fvt::test::FakeShell shell_;
    fvt::test::FakeDocumentController doc_;
    ReaderController controller_;
    std::unique_ptr<LookupListPages> pages_ =
        std::make_unique<LookupListPages>(&controller_, nullptr);
    Database* db_ = nullptr;
    String location_;
};

TEST_F(ListPagesTest, AWordListOfALanguageIsTitledByItAndNamedByItsCode) {
    ASSERT_TRUE(pages_->OpenListRequest(db_, Record(109, {u"fr"}), location_));
    EXPECT_EQ(U16(location_), u"$fvtwordlist&12");
    EXPECT_EQ(U16(Words()->Title()), u"My French Vocabulary List");
    EXPECT_EQ(U16(Words()->LanguageCode()), u"fr");
    // The list's columns are there for the rows to come.
    DbTable* table = Words()->Table();
    for (const char16_t* c : {u"orth", u"dict", u"icon", u"formatted", u"ent", u"shortid"})
        EXPECT_GE(table->FindColumn(String(c)), 0) << std::string(c, c + 3);
    // A table of a code without a title of its own.
    ASSERT_TRUE(pages_->OpenListRequest(db_, Record(109, {u"sv"}), location_));
    EXPECT_EQ(U16(Words()->Title()), u"My Vocabulary List (sv)");
    // Only a database holds word lists.
    EXPECT_FALSE(pages_->OpenListRequest(nullptr, Record(109, {}), location_));
    EXPECT_FALSE(pages_->OpenListRequest(db_, Record(110, {}), location_));
}

TEST_F(ListPagesTest, AWordIsAddedAfterTheQuestionAndSavedAtOnce) {
    ASSERT_TRUE(pages_->OpenListRequest(
        db_, Record(111, {u"walk", u"en", u"My Dict", u"words"}), location_));
    ASSERT_EQ(shell_.messages.size(), 1u);
    EXPECT_EQ(shell_.messages[0], u"Add 'walk' to your list?");
    EXPECT_EQ(Rows(), (std::vector<std::u16string>{u"walk"}));
    EXPECT_EQ(U16(Words()->StatusText()), u"The word has been added to your list");
    String dict;
    Words()->Table()->GetText(0, Words()->Table()->FindColumn(String(u"dict")), dict);
    EXPECT_EQ(U16(dict), u"oeb:redirect?title=My%20Dict$table=words");
    // Saved with the change, not when the window goes.
    EXPECT_TRUE(std::filesystem::exists(device_.Host("wordlist.pdb")));

    // The same word again: already there, nothing asked.
    ASSERT_TRUE(pages_->OpenListRequest(
        db_, Record(111, {u"walk", u"en", u"My Dict", u"words"}), location_));
    EXPECT_EQ(shell_.messages.size(), 1u);
    EXPECT_EQ(U16(Words()->StatusText()), u"This word is already in your list");
    EXPECT_EQ(Rows().size(), 1u);

    // Cancel leaves the list as it was.
    shell_.answer = false;
    ASSERT_TRUE(pages_->OpenListRequest(
        db_, Record(111, {u"mouse", u"en", u"My Dict", u"words"}), location_));
    EXPECT_EQ(Rows().size(), 1u);
}

TEST_F(ListPagesTest, AReadOnlyWordListSaysSo) {
    Database* db = db_;
    // A database opened read-only refuses new rows.
    ASSERT_TRUE(pages_->OpenListRequest(db, Record(109, {u"en"}), location_));
    db->SetReadOnly(true);
    ASSERT_TRUE(pages_->OpenListRequest(
        db, Record(111, {u"walk", u"en", u"My Dict", u"words"}), location_));
    EXPECT_EQ(U16(Words()->StatusText()), u"This word list is read-only");
    EXPECT_TRUE(Rows().empty());
}

TEST_F(ListPagesTest, MarksCycleAndDeletingAsksFirst) {
    ASSERT_TRUE(pages_->OpenListRequest(
        db_, Record(111, {u"walk", u"en", u"My Dict", u"words"}), location_));
    WordListWindow* words = Words();
    words->ShowEntry(RecordPosition::At(0));
    DbTable* table = words->Table();
    const int32_t icon = table->FindColumn(String(u"icon"));
    uint32_t mark = 9;
    ASSERT_TRUE(words->RunCommand(96));
    // An added row starts at 0, so the cycle gives 1.
    ASSERT_TRUE(table->GetNumber(0, icon, mark));
    EXPECT_EQ(mark, 1u);
    ASSERT_TRUE(words->RunCommand(95));
    ASSERT_TRUE(table->GetNumber(0, icon, mark));
    EXPECT_EQ(mark, 2u);
    ASSERT_TRUE(words->RunCommand(96));
    ASSERT_TRUE(table->GetNumber(0, icon, mark));
    EXPECT_EQ(mark, 0u);

    shell_.answer = false;
    EXPECT_FALSE(words->RunCommand(97));
    EXPECT_EQ(table->RowCount(), 1);
    EXPECT_EQ(shell_.messages.back(), u"Delete 'walk' from your list?");
    shell_.answer = true;
    EXPECT_TRUE(words->RunCommand(97));
    EXPECT_EQ(table->RowCount(), 0);
    EXPECT_EQ(U16(words->StatusText()), u"The word has been deleted");
}

TEST_F(ListPagesTest, ARowOpensItsDictionaryEntryAtItsTextPosition) {
    pages_ = std::make_unique<LookupListPages>(&controller_, loader_.get());
    CommandRecord add = Record(111, {u"mouse", u"en", u"", u""});
    ASSERT_TRUE(pages_->OpenListRequest(db_, add, location_));
    DbTable* table = Words()->Table();
    // The row names its dictionary by the book's location (the default table is used).
    ASSERT_TRUE(table->SetText(0, table->FindColumn(String(u"dict")), String(u"\\books\\en.prc")));
    Words()->ActivateRow(0);
    ASSERT_EQ(doc_.links.size(), 1u);
    EXPECT_EQ(doc_.links[0].substr(0, 21), u"\\books\\en.prc##-pos28");
    EXPECT_NE(doc_.links[0].find(u"-entry0"), std::u16string::npos);
    // Without a dictionary the row says so.
    ASSERT_TRUE(table->SetText(0, table->FindColumn(String(u"dict")), String(u"")));
    Words()->ActivateRow(0);
    EXPECT_EQ(doc_.links.size(), 1u);
}

TEST_F(ListPagesTest, PagesMadeBeforeTheWindowsLoaderOpenEntriesThroughIt) {
    // The window's list pages are made when its controllers are joined, before the reader
    // controller is given the loader.
    ASSERT_TRUE(pages_->OpenListRequest(db_, Record(111, {u"mouse", u"en", u"", u""}), location_));
    DbTable* table = Words()->Table();
    ASSERT_TRUE(table->SetText(0, table->FindColumn(String(u"dict")), String(u"\\books\\en.prc")));
    Words()->ActivateRow(0);
    ASSERT_EQ(doc_.links.size(), 1u);
    EXPECT_EQ(doc_.links[0].substr(0, 21), u"\\books\\en.prc##-pos28");
}

TEST_F(ListPagesTest, TheStateRecordNeedsItsTagAndTheListsWords) {
    ASSERT_TRUE(pages_->OpenListRequest(db_, Record(109, {u"en"}), location_));
    ByteStream saved;
    ASSERT_TRUE(Words()->SaveState(saved));
    EXPECT_EQ(saved.Size(), 16u);
    EXPECT_TRUE(Words()->RestoreState(saved));
    ByteStream shortRecord;
    const uint8_t bytes[8] = {'L', 'I', 'S', 'T', 0, 0, 0, 0};
    shortRecord.PutBytes(bytes, 8);
    EXPECT_FALSE(Words()->RestoreState(shortRecord));
    ByteStream foreign;
    const uint8_t other[16] = {'I', 'N', 'D', 'X'};
    foreign.PutBytes(other, 16);
    EXPECT_FALSE(Words()->RestoreState(foreign));
}

TEST_F(ListPagesTest, ListLinksStandForTheirRequests) {
    CommandRecord r;
    ASSERT_TRUE(LookupListPages::RequestForLink(String(u"fvtwordlist&1036"), r));
    EXPECT_EQ(r.methodId, 109u);
    String name;
    ASSERT_TRUE(r.GetText(0, name));
    EXPECT_EQ(U16(name), u"fr");
    ASSERT_TRUE(LookupListPages::RequestForLink(String(u"fvtwordlist"), r));
    EXPECT_EQ(r.Count(), 0u);
    ASSERT_TRUE(LookupListPages::RequestForLink(String(u"fvtsearchhistory"), r));
    EXPECT_EQ(r.methodId, 115u);
    EXPECT_FALSE(LookupListPages::RequestForLink(String(u"fvtwordlist&x"), r));
    EXPECT_FALSE(LookupListPages::RequestForLink(String(u"fvtsql&1"), r));
}

// add_to_wordlist may give the word alone: no language (the device's is taken) and no entry
// link; with a title and a table the link is made as before.
TEST_F(ListPagesTest, AWordToAddNeedsOnlyTheWord) {
    VocabularyEntry entry;
    ASSERT_TRUE(LookupListPages::EntryOfRequest(Record(111, {u"harbour"}), entry));
    EXPECT_EQ(U16(entry.orth), u"harbour");
    EXPECT_EQ(entry.number, 9u);  // the device's language: English
    EXPECT_TRUE(entry.dict.IsEmpty());
    VocabularyEntry french;
    ASSERT_TRUE(LookupListPages::EntryOfRequest(Record(111, {u"phare", u"fr", u"Glossaire"}), french));
    EXPECT_EQ(french.number, 12u);
    EXPECT_EQ(U16(french.dict), u"oeb:redirect?title=Glossaire");
    VocabularyEntry none;
    EXPECT_FALSE(LookupListPages::EntryOfRequest(Record(111, {u""}), none));
    EXPECT_FALSE(LookupListPages::EntryOfRequest(Record(111, {}), none));
    // add_entry_to_wordlist still needs its seven arguments.
    EXPECT_FALSE(LookupListPages::EntryOfRequest(Record(112, {u"phare"}), none));
}

TEST_F(ListPagesTest, TheSearchHistoryListsOpenedEntriesAndEmptiesOnCommand104) {
    pages_->AddSearchHistory(String(u"\\books\\en.prc"), 1, 0);
    ASSERT_TRUE(pages_->OpenListRequest(db_, Record(115, {}), location_));
    EXPECT_EQ(U16(location_), u"$fvtsearchhistory");
    LookupWindow* page = pages_->Page();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->ViewKind(), LookupWindow::kSearchHistoryKind);
    EXPECT_EQ(U16(page->Title()), u"Search History");
    EXPECT_EQ(controller_.Lookups().SearchHistory()->Count(), 1u);
    EXPECT_TRUE(pages_->ExecuteCommand(104));
    EXPECT_EQ(controller_.Lookups().SearchHistory()->Count(), 0u);
    // Leaving the page parks it: it goes from the next queue drain, not inside the call.
    pages_->LeaveListPage();
    EXPECT_EQ(pages_->Page(), nullptr);
}

}  // namespace
