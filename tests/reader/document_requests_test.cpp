// Requests that open views of a document: a text page at a place, index tables and queries in
// record-set pages, the audio view, the word-list hook; the entries those pages open (in this
// book or in the book an entry's tag 41 names), the search history and the remembered search.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "controller_fixture.h"
#include "platform/shell/shell.h"
#include "database/db_table.h"
#include "database/history_table.h"
#include "reader/command_record.h"
#include "reader/list_pages.h"
#include "reader/lookup_window.h"
#include "reader/word_lists.h"
#include "reader/dictionary_lookups.h"
#include "reader/reader_controller.h"
#include "support/reader/reader_fakes.h"
#include "reader/reader_settings.h"

namespace {

using fvt::test::U;

String S(const char16_t* s) { return String(s); }

CommandRecord Request(uint32_t method, std::vector<std::u16string> texts, uint32_t kind = 23) {
    CommandRecord r(method, kind);
    for (const auto& t : texts) r.AppendText(String(t.c_str()));
    return r;
}

// The word-list pages as the controller sees them.
class ListPages : public ListPageRequests {
public:
    std::vector<uint32_t> opened;
    int left = 0;
    std::vector<std::u16string> books;
    std::vector<uint32_t> tables;
    std::vector<uint32_t> entries;
    bool OpenListRequest(Resource*, const CommandRecord& r, String& location) override {
        opened.push_back(r.methodId);
        location = S(r.methodId == 115 ? u"$fvtsearchhistory" : u"$fvtwordlist&9");
        return true;
    }
    void LeaveListPage() override { ++left; }
    void AddSearchHistory(const String& book, uint32_t table, uint32_t entry) override {
        books.push_back(U(book));
        tables.push_back(table);
        entries.push_back(entry);
    }
};

class Books : public LinkedBooks {
public:
    LinkedBooks::Book book;
    uint32_t asked = 0xFFFFFFFF;
    bool FindLinkedBook(Resource*, uint32_t n, Book& out) override {
        asked = n;
        out = book;
        return n == 1;
    }
};

struct RequestsTest : fvt::test::ControllerFixture {
    RequestsTest() {
        fvt::test::WriteRequestsBook(device, tables);
        controller->SetSettings(&settings);
        controller->Records().SetListPages(&pages);
    }
    // Parked pages write into the settings when they go: the controller goes first.
    ~RequestsTest() override { controller.reset(); }
    bool OpenBook() { return Open(u"\\books\\requests.prc"); }
    bool Ask(const CommandRecord& r) {
        Location target;
        return target.Resolve(S(u"\\books\\requests.prc"), nullptr) &&
               controller->OpenWithRequest(target, r);
    }
    bool PageHolds(uint32_t position) {
        uint32_t start = 0, end = 0;
        return controller->PageRange(start, end) && start <= position && position < end;
    }
    DatabaseView& View() { return controller->Records().Page()->View(); }
    std::u16string Row(uint32_t row) {
        String s;
        View().RowText(row, s);
        return U(s);
    }
    std::u16string Table(uint32_t i) const {
        const std::string digits = std::to_string(tables[i]);
        return std::u16string(digits.begin(), digits.end());
    }

    unsigned tables[2] = {};
    ReaderSettings settings;
    ListPages pages;
};

TEST_F(RequestsTest, TextPageRequestsGoToTheirPlace) {
    CommandRecord at(75, 23);
    at.AppendNumber(4000);
    ASSERT_TRUE(Ask(at));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kTextPage);
    EXPECT_TRUE(PageHolds(4000));
    ASSERT_TRUE(Ask(Request(54, {})));  // goto_toc: the "toc" reference
    EXPECT_TRUE(PageHolds(2500));
}

TEST_F(RequestsTest, IndexSearchesOpenTheNamedTables) {
    // 69: table, extra, search text, start position, title, flags.
    ASSERT_TRUE(Ask(Request(69, {u"words", u"x", u"ca", u"chapter", u"Words", u"16"})));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kRecordSetView);
    EXPECT_EQ(U(controller->CurrentString()), u"$fvtindex&" + Table(0) + u"&ca");
    EXPECT_EQ(View().Level(), 0u);
    EXPECT_EQ(Row(0), u"cat");
    EXPECT_EQ(View().Flags(), 16u);
    EXPECT_EQ(View().StartPosition(), 3000);
    EXPECT_EQ(U(View().ExtraText(0)), u"x");

    // 72: the key table's target names the entry and the tag of its keys.
    ASSERT_TRUE(Ask(Request(72, {u"words", u"bankkeys"})));
    EXPECT_EQ(U(controller->CurrentString()),
              u"$fvtindex&" + Table(0) + u"&" + Table(1) + u"&7&1");
    EXPECT_EQ(View().Level(), 2u);
    View().SetRowsPerPage(4);
    ASSERT_EQ(View().Rows().size(), 2u);
    EXPECT_EQ(Row(1), u"savings bank");

    // 79: the entry is the one the lookup key finds.
    ASSERT_TRUE(Ask(Request(79, {u"words", u"bankkeys", u"bank"})));
    EXPECT_EQ(Row(0), u"river bank");

    // 130: an ideographic page.
    ASSERT_TRUE(Ask(Request(130, {u"words"})));
    EXPECT_EQ(U(controller->CurrentString()), u"$fvtideo&" + Table(0));

    // The page opened by a request opens again from its location string (the history's way).
    const String again = controller->CurrentString();
    ASSERT_TRUE(controller->OpenLocation(again, false, false));
    EXPECT_EQ(U(controller->CurrentString()), U(again));
    EXPECT_EQ(View().Level(), 0u);
}

TEST_F(RequestsTest, QueryRequestsOpenQueryPages) {
    ASSERT_TRUE(Ask(Request(96, {u"SELECT * FROM words WHERE orth LIKE 'b%'", u"B words",
                                 u"", u"extra", u"1024"})));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kRecordSetView);
    EXPECT_EQ(U(controller->CurrentString()).rfind(u"$fvtsql&0&0&", 0), 0u);
    EXPECT_EQ(Row(0), u"bank");
    EXPECT_EQ(View().Flags(), 1024u);
    EXPECT_EQ(U(View().ExtraText(0)), u"extra");
}

TEST_F(RequestsTest, AWildcardLookupOpensAQueryPageWithTheViewsFlags) {
    // 69 with the wildcard flag (8) and never-underline (0x400).
    ASSERT_TRUE(Ask(Request(69, {u"words", u"", u"", u"", u"", u"1032"})));
    const String index = controller->CurrentString();
    View().SetSearchText(S(u"b*"));
    EXPECT_EQ(View().HandleEvent(DatabaseView::kEnterEvent), DatabaseView::Result::kReplaced);
    EXPECT_EQ(U(controller->CurrentString()).rfind(u"$fvtsql&", 0), 0u);
    EXPECT_EQ(View().Flags(), 256u + 0x400);
    View().SetRowsPerPage(4);
    EXPECT_EQ(Row(0), u"bank");
    EXPECT_EQ(View().Rows().size(), 1u);
    // Back returns to the index page.
    ASSERT_TRUE(controller->HistoryBack(false));
    EXPECT_EQ(U(controller->CurrentString()), U(index));
}

TEST_F(RequestsTest, RequestsThatOpenNothingFailAndReport) {
    ASSERT_TRUE(OpenBook());
    const size_t reports = controller->Reports().size();
    EXPECT_FALSE(Ask(Request(69, {u"no such table"})));
    EXPECT_FALSE(Ask(Request(96, {u"SELECT FROM"})));
    EXPECT_FALSE(Ask(Request(98, {u"x"})));
    EXPECT_FALSE(Ask(Request(134, {u"a.mp3"}, 23)));  // show belongs to the audio object
    EXPECT_EQ(controller->Reports().size(), reports + 4);
    EXPECT_EQ(controller->Document(), nullptr);
}

TEST_F(RequestsTest, AudioRequestNamesTheListAndItsStart) {
    // The audio page needs the window's reader controller.
    fvt::test::FakeShell shell;
    ReaderController reader;
    reader.SetShell(&shell);
    controller->SetReaderController(&reader);
    EXPECT_FALSE(Ask(Request(134, {}, 33)));  // no list
    ASSERT_TRUE(Ask(Request(134, {u"a.mp3|One;b.mp3|Two", u"chapter"}, 33)));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kAudioView);
    EXPECT_EQ(U(controller->CurrentString()), u"$audio");
    EXPECT_EQ(U(controller->Requests().RequestedAudio().soundList), u"a.mp3|One;b.mp3|Two");
    EXPECT_EQ(controller->Requests().RequestedAudio().startPosition, 3000);
    EXPECT_NE(controller->Views().AudioView(), nullptr);
    controller.reset();  // before the reader controller it uses
}

TEST_F(RequestsTest, WordListRequestsGoToTheListPages) {
    ASSERT_TRUE(Ask(Request(109, {u"English"})));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kWordListView);
    EXPECT_EQ(controller->ViewMode(), 4u);
    EXPECT_EQ(U(controller->CurrentString()), u"$fvtwordlist&9");
    ASSERT_TRUE(Ask(Request(115, {})));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kSearchHistoryView);
    EXPECT_EQ(controller->ViewMode(), 5u);
    EXPECT_EQ(pages.left, 1);
    EXPECT_EQ(pages.opened, (std::vector<uint32_t>{109, 115}));
    ASSERT_TRUE(Ask(Request(69, {u"words"})));
    EXPECT_EQ(pages.left, 2);
    ASSERT_TRUE(Ask(Request(109, {})));
    ASSERT_TRUE(controller->OpenLocation(String(u"##-pos10"), false, false));  // a text page
    EXPECT_EQ(pages.left, 3);

    // The word-list database's location opens as its page.
    pages.opened.clear();
    ASSERT_TRUE(Open(u"oeb:database?name=folivant_wordlist"));
    EXPECT_EQ(pages.opened, (std::vector<uint32_t>{109}));
    ASSERT_TRUE(Open(u"oeb:database?name=folivant_history"));
    EXPECT_EQ(pages.opened, (std::vector<uint32_t>{109, 115}));

    // A list page's location (from the history) opens it again.
    ASSERT_TRUE(controller->OpenLocation(String(u"$fvtsearchhistory"), false, false));
    EXPECT_EQ(pages.opened.back(), 115u);
    ASSERT_TRUE(controller->OpenLocation(String(u"$fvtwordlist&9"), false, false));
    EXPECT_EQ(pages.opened.back(), 109u);
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kWordListView);
    EXPECT_FALSE(controller->OpenLocation(String(u"$fvtwordlist&x"), false, false));

    // Without the pages nothing opens.
    controller->Records().SetListPages(nullptr);
    EXPECT_FALSE(Ask(Request(111, {u"word"})));
}

TEST_F(RequestsTest, TheWindowsListPagesOpenAndTakeTheListCommands) {
    fvt::test::FakeShell shell;
    fvt::test::ManualTimerHost host;
    ReaderController reader;
    reader.SetShell(&shell);
    reader.SetTimerHost(&host);
    reader.SetDocumentLoader(loader.get());
    reader.SetDocumentController(controller.get());
    // The window's reader controller brings its list pages with it.
    controller->SetReaderController(&reader);
    LookupListPages* pages = reader.Lookups().ListPages();
    ASSERT_TRUE(controller->ActivateLink(S(u"oeb:database?name=folivant_wordlist")));
    ASSERT_TRUE(controller->OpenLocation(S(u"$fvtwordlist&12"), false, false));
    EXPECT_EQ(controller->ViewMode(), 4u);
    auto* words = dynamic_cast<WordListWindow*>(pages->Page());
    ASSERT_NE(words, nullptr);
    EXPECT_EQ(U(words->Title()), u"My French Vocabulary List");

    // A mark command reaches the list's current row.
    VocabularyEntry word;
    word.orth = S(u"maison");
    ASSERT_EQ(WordList::AddRow(words->Table(), word), 0);
    words->ShowEntry(RecordPosition::At(0));
    EXPECT_TRUE(controller->ExecuteCommand(94));
    DbTable* table = words->Table();
    uint32_t mark = 0;
    ASSERT_TRUE(table->GetNumber(0, table->FindColumn(S(u"icon")), mark));
    EXPECT_EQ(mark, 1u);
    // 99 shows the list of the same language again, as a new page.
    EXPECT_TRUE(controller->ExecuteCommand(99));
    EXPECT_EQ(U(controller->CurrentString()), u"$fvtwordlist&12");
    ASSERT_NE(pages->Page(), nullptr);
    EXPECT_NE(pages->Page(), static_cast<LookupWindow*>(words));
    EXPECT_EQ(controller->ViewMode(), 4u);

    // 104 empties the search history.
    HistoryTable* history = reader.Lookups().SearchHistory();
    ASSERT_NE(history, nullptr);
    ASSERT_TRUE(history->AddEntry(S(u"\\books\\dict.prc"), 1, 2));
    ASSERT_TRUE(controller->ActivateLink(S(u"oeb:database?name=folivant_history")));
    EXPECT_EQ(controller->ViewMode(), 5u);
    EXPECT_EQ(history->Count(), 1u);
    EXPECT_TRUE(controller->ExecuteCommand(104));
    EXPECT_EQ(history->Count(), 0u);
    controller.reset();  // before the reader controller it uses
}

TEST_F(RequestsTest, PositionArguments) {
    ASSERT_TRUE(OpenBook());
    const String number = S(u"1234"), name = S(u"chapter"), unknown = S(u"nowhere"), none;
    EXPECT_EQ(controller->ResolvePositionArgument(&number), 1234);
    EXPECT_EQ(controller->ResolvePositionArgument(&name), 3000);
    EXPECT_EQ(controller->ResolvePositionArgument(&unknown), -1);
    ASSERT_TRUE(controller->GoToPosition(4000));
    // No text: the start of the page shown, a text position (not the page number).
    EXPECT_EQ(controller->ResolvePositionArgument(&none), controller->GetPageStart());
    EXPECT_EQ(controller->ResolvePositionArgument(nullptr), controller->GetPageStart());
    EXPECT_GT(controller->GetPageStart(), 1000);
}

TEST_F(RequestsTest, AnOpenedEntryJoinsTheSearchHistoryAndClearsTheRememberedSearch) {
    ASSERT_TRUE(Ask(Request(69, {u"words", u"", u"apple"})));
    settings.rememberedSearch.text = S(u"old");
    ASSERT_EQ(View().Selected(), 0);
    SipShowIM(SIPF_ON);
    ASSERT_TRUE(fvt::IsInputPanelShown());
    // Enter on the selected row: the page is replaced by the text at the entry.
    EXPECT_EQ(View().HandleEvent(DatabaseView::kEnterEvent), DatabaseView::Result::kReplaced);
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kTextPage);
    EXPECT_TRUE(PageHolds(4000));
    EXPECT_FALSE(fvt::IsInputPanelShown());
    ASSERT_EQ(pages.tables.size(), 1u);
    EXPECT_EQ(pages.tables[0], tables[0]);
    EXPECT_EQ(pages.entries[0], 0u);
    EXPECT_NE(pages.books[0].find(u"requests.prc"), std::u16string::npos);
    EXPECT_TRUE(settings.rememberedSearch.text.IsEmpty());
    // The replaced page goes with the next navigation without remembering its search.
    CommandRecord at(75, 23);
    at.AppendNumber(10);
    ASSERT_TRUE(Ask(at));
    EXPECT_TRUE(settings.rememberedSearch.text.IsEmpty());
}

TEST_F(RequestsTest, ASearchLeftUnusedIsRemembered) {
    ASSERT_TRUE(Ask(Request(69, {u"words", u"", u"ba", u"", u"", u"196608"})));  // mode 0x30000
    ASSERT_TRUE(Ask(Request(54, {})));
    ASSERT_TRUE(Ask(Request(54, {})));  // the parked page is gone now
    EXPECT_EQ(U(settings.rememberedSearch.text), u"ba");
    EXPECT_EQ(settings.rememberedSearch.inputMode, 0x30000u);
    EXPECT_EQ(settings.rememberedSearch.table, tables[0] & 0x3FF);
}

TEST_F(RequestsTest, AnEntryInAnotherBookOpensThatBookOrReports) {
    Books books;
    books.book.fileName = S(u"b.prc");
    books.book.name = S(u"Book B");
    controller->Records().SetLinkedBooks(&books);
    ASSERT_TRUE(Ask(Request(69, {u"words", u"", u"cat"})));
    EXPECT_EQ(View().HandleEvent(DatabaseView::kEnterEvent), DatabaseView::Result::kReplaced);
    EXPECT_EQ(books.asked, 1u);
    String where;
    ASSERT_TRUE(controller->CurrentLocation()->ToString(where, true));
    EXPECT_NE(U(where).find(u"b.prc"), std::u16string::npos);
    EXPECT_TRUE(PageHolds(100));
    // It joins the search history under the book whose table was searched.
    ASSERT_EQ(pages.books.size(), 1u);
    EXPECT_NE(pages.books[0].find(u"requests.prc"), std::u16string::npos);
    EXPECT_EQ(pages.tables[0], tables[0]);

    // A name that climbs out of the book's folder is not followed; without a title the
    // reader is told where the information is.
    books.book.fileName = S(u"..\\books\\b.prc");
    ASSERT_TRUE(Ask(Request(69, {u"words", u"", u"cat"})));
    EXPECT_EQ(View().HandleEvent(DatabaseView::kEnterEvent), DatabaseView::Result::kHandled);
    EXPECT_EQ(controller->Reports().back(), 5042u);
    ASSERT_TRUE(controller->CurrentLocation()->ToString(where, true));
    EXPECT_NE(U(where).find(u"requests.prc"), std::u16string::npos);
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kRecordSetView);

    // A missing book: its title is tried next, then the message.
    books.book.fileName = S(u"missing.prc");
    books.book.title = S(u"Missing & Found");
    EXPECT_EQ(View().HandleEvent(DatabaseView::kEnterEvent), DatabaseView::Result::kHandled);
    EXPECT_EQ(controller->Reports().back(), 5042u);
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kRecordSetView);
    EXPECT_EQ(pages.books.size(), 1u);  // what did not open is not remembered
}

TEST_F(RequestsTest, ThePreviewPaneShowsTheSelectedEntrysText) {
    settings.previewPane = 1;
    ASSERT_TRUE(Ask(Request(69, {u"words", u"", u"apple"})));
    View().SetRowsPerPage(4);
    View().HandleEvent(1035);  // bank, at 5000
    ASSERT_TRUE(View().PreviewShown());
    EXPECT_EQ(View().PreviewPosition(), 5000);
    fvt::test::ClearCanvas(canvas);
    const Rect pane{0, 200, 240, 120};
    View().PaintPreview(*fvt::test::CanvasContext(canvas), pane);
    EXPECT_GT(fvt::test::CanvasInk(canvas, 0, 200, 240, 120), 200);
    EXPECT_EQ(fvt::test::CanvasInk(canvas, 0, 0, 240, 200), 0);  // nothing outside the pane
    // The main page is not moved by the pane.
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kRecordSetView);

    // Leaving the page closes the pane with it; flag 0x4000 keeps a page without one.
    ASSERT_TRUE(Ask(Request(69, {u"words", u"", u"apple", u"", u"", u"16384"})));
    View().HandleEvent(1035);
    EXPECT_FALSE(View().PreviewShown());
}

TEST_F(RequestsTest, TheBookScriptsTableEntry) {
    EXPECT_EQ(controller->OpenTableEntry(nullptr), nullptr);  // no book
    ASSERT_TRUE(OpenBook());
    const String words = S(u"words"), none = S(u"none");
    ScriptObject* named = controller->OpenTableEntry(&words);
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(static_cast<IndexRecordSetObject*>(named)->GetEntryNumber(), 0);
    delete named;
    ScriptObject* first = controller->OpenTableEntry(nullptr);
    EXPECT_NE(first, nullptr);
    delete first;
    EXPECT_EQ(controller->OpenTableEntry(&none), nullptr);
}

}  // namespace
