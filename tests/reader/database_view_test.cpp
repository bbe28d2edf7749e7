#include "reader/database_view.h"

#include <gtest/gtest.h>

#include <memory>

#include "../database/fake_index.h"
#include "core/byte_stream.h"
#include "database/history_table.h"

namespace {

FakeIndex* Words() {
    return new FakeIndex({"apple", "apples", "bank", "banker", "cat", "dog", "eel", "fig", "goat",
                          "hat"},
                         "words");
}

String S(const char16_t* s) { return String(s); }

// Records what the view asks of its controller; deletes the view on Back or an open, the way the
// controller replaces it.
class Host : public DatabaseViewHost {
public:
    std::unique_ptr<DatabaseView> view;
    bool deleteOnCall = false;
    int backs = 0;
    uint32_t entry = 0;
    int64_t position = -1;
    String query;
    String title;
    uint32_t flags = 0;
    String popup;
    std::vector<uint32_t> shown;
    String globalName;
    int32_t scriptEntry = -1;
    String ranScript;

    void PassBack() override {
        ++backs;
        if (deleteOnCall) view.reset();
    }
    bool OpenEntryTarget(IndexSource*, uint32_t e, int64_t p) override {
        entry = e;
        position = p;
        if (deleteOnCall) view.reset();
        return true;
    }
    bool RunEntryScript(IndexRecordSet* set, uint32_t e, const String& script) override {
        scriptEntry = set ? set->EntryAt(RecordPosition::At(static_cast<int32_t>(e))) : -1;
        ranScript = script;
        if (deleteOnCall) view.reset();
        return true;
    }
    void ShowPopupText(const String& text) override { popup = text; }
    bool ShowLookupEntries(IndexSource*, const std::vector<uint32_t>& e, const String& g) override {
        shown = e;
        globalName = g;
        return true;
    }
    bool ShowSpellingCandidates(IndexSource*, const String& heading, const std::vector<uint32_t>& e,
                                const String& g) override {
        popup = heading;
        shown = e;
        globalName = g;
        return true;
    }
    bool OpenQueryRequest(const String& q, const String& t, int32_t, const String&,
                          uint32_t f) override {
        query = q;
        title = t;
        flags = f;
        if (deleteOnCall) view.reset();
        return true;
    }
};

class DatabaseViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        table = Words();
        host.view = std::make_unique<DatabaseView>();
        view().SetHost(&host);
        view().SetRowsPerPage(4);
    }
    void TearDown() override {
        host.view.reset();
        table->Release();
    }
    DatabaseView& view() { return *host.view; }
    void Type(const char* text) {
        for (const char* p = text; *p; ++p) view().HandleEvent(*p);
    }
    String RowKey(uint32_t row) {
        String s;
        view().RowText(row, s);
        return s;
    }

    FakeIndex* table = nullptr;
    Host host;
};

TEST_F(DatabaseViewTest, PlainTableListsAPageFromTheFirstEntry) {
    ASSERT_TRUE(view().AttachSource(table, nullptr, 0));
    EXPECT_EQ(view().Level(), 1u);
    ASSERT_EQ(view().Rows().size(), 4u);
    EXPECT_TRUE(RowKey(0) == S(u"apple"));
    EXPECT_TRUE(RowKey(3) == S(u"banker"));
    EXPECT_FALSE(view().ListEndsOnPage());
    EXPECT_EQ(view().Selected(), -1);
}

TEST_F(DatabaseViewTest, TypeAheadPositionsAndSelects) {
    view().AttachSource(table, nullptr, 0);
    Type("ban");
    EXPECT_TRUE(view().SearchText() == S(u"ban"));
    EXPECT_TRUE(RowKey(0) == S(u"bank"));
    EXPECT_EQ(view().Selected(), 0);
    view().HandleEvent(19);
    EXPECT_TRUE(view().SearchText() == S(u"ba"));
}

TEST_F(DatabaseViewTest, QuietTimeStartsANewText) {
    view().AttachSource(table, nullptr, 0);
    Type("do");
    view().OnTypeAheadTimer();
    Type("e");
    EXPECT_TRUE(view().SearchText() == S(u"e"));
    EXPECT_TRUE(RowKey(0) == S(u"eel"));
}

TEST_F(DatabaseViewTest, ExactModeSelectsOnlyAMatchingKey) {
    view().SetFlags(0x10);
    view().AttachSource(table, nullptr, 0);
    Type("caz");
    EXPECT_EQ(view().Selected(), -1);
    view().OnTypeAheadTimer();
    Type("cat");
    EXPECT_EQ(view().Selected(), 0);
}

TEST_F(DatabaseViewTest, WildcardIsCutForPositioningAndSelectsNothing) {
    view().SetFlags(0x8);
    view().AttachSource(table, nullptr, 0);
    Type("go*");
    EXPECT_TRUE(RowKey(0) == S(u"goat"));
    EXPECT_EQ(view().Selected(), -1);
}

TEST_F(DatabaseViewTest, PagingStopsAtBothEnds) {
    view().AttachSource(table, nullptr, 0);
    view().ExecuteCommand(66);
    EXPECT_TRUE(RowKey(0) == S(u"cat"));
    view().ExecuteCommand(66);
    EXPECT_TRUE(RowKey(0) == S(u"goat"));
    EXPECT_TRUE(view().ListEndsOnPage());
    view().ExecuteCommand(66);  // the list ends on this page: nothing moves
    EXPECT_TRUE(RowKey(0) == S(u"goat"));
    view().ExecuteCommand(68);
    EXPECT_TRUE(RowKey(0) == S(u"goat"));
    view().ExecuteCommand(67);
    EXPECT_TRUE(RowKey(0) == S(u"cat"));
    view().ExecuteCommand(71);
    EXPECT_TRUE(RowKey(0) == S(u"apples"));
    view().ExecuteCommand(71);
    EXPECT_TRUE(RowKey(0) == S(u"apple")) << "a move past the start stops at the first entry";
}

TEST_F(DatabaseViewTest, FocusMovesPastTheLastRowTurnThePage) {
    view().AttachSource(table, nullptr, 0);
    for (int i = 0; i < 4; ++i) view().HandleEvent(1035);
    EXPECT_EQ(view().Selected(), 3);
    view().HandleEvent(1035);
    EXPECT_TRUE(RowKey(0) == S(u"cat"));
    EXPECT_EQ(view().Selected(), 0);
    view().HandleEvent(1038);
    EXPECT_TRUE(RowKey(0) == S(u"banker"));
    EXPECT_EQ(view().Selected(), 0);
}

TEST_F(DatabaseViewTest, SelectionFollowsOneStepBack) {
    view().AttachSource(table, nullptr, 0);
    view().ExecuteCommand(66);
    view().HandleEvent(1035);
    view().HandleEvent(1035);
    ASSERT_EQ(view().Selected(), 1);
    view().ExecuteCommand(69);
    EXPECT_EQ(view().Selected(), 2) << "the selected entry stays selected";
}

TEST_F(DatabaseViewTest, RefusedCommandsAreSwallowed) {
    view().AttachSource(table, nullptr, 0);
    EXPECT_EQ(view().ExecuteCommand(30), DatabaseView::Result::kHandled);
    EXPECT_EQ(view().ExecuteCommand(3), DatabaseView::Result::kIgnored);
}

TEST_F(DatabaseViewTest, EntryTargetPrefersTagTwentyTwo) {
    table->SetTag(0, 25, {4});
    table->SetTag(0, 22, {5});
    table->SetTag(4, 1, {400});
    table->SetTag(5, 1, {500});
    EXPECT_EQ(DatabaseView::EntryTarget(*table, 0), 500);
    table->SetTag(1, 25, {4});
    EXPECT_EQ(DatabaseView::EntryTarget(*table, 1), 400);
    EXPECT_EQ(DatabaseView::EntryTarget(*table, 2), -1) << "no tag 1: nothing opens";
    table->SetTag(3, 22, {999});
    table->SetTag(3, 1, {30});
    EXPECT_EQ(DatabaseView::EntryTarget(*table, 3), -1) << "a link outside the table";
}

TEST_F(DatabaseViewTest, EnterOpensTheSelectedRowAndTheViewMayGo) {
    table->SetTag(4, 1, {1234});
    view().AttachSource(table, nullptr, 0);
    Type("cat");
    host.deleteOnCall = true;
    EXPECT_EQ(view().HandleEvent(DatabaseView::kEnterEvent), DatabaseView::Result::kReplaced);
    EXPECT_EQ(host.view, nullptr);
    EXPECT_EQ(host.entry, 4u);
    EXPECT_EQ(host.position, 1234);
}

TEST_F(DatabaseViewTest, KeysOfAnEntryAndBack) {
    FakeIndex* keys = new FakeIndex({"river bank", "savings bank"}, "keys");
    table->SetTag(2, 4, {0});  // expandable
    table->SetTag(2, 7, {1, 0});
    keys->SetTag(1, 1, {77});
    view().AttachSource(table, keys, 7);
    Type("bank");
    ASSERT_EQ(view().Selected(), 0);
    EXPECT_TRUE(view().RowExpandable(0));
    view().HandleEvent(DatabaseView::kEnterEvent);
    ASSERT_EQ(view().Level(), 2u);
    ASSERT_EQ(view().Rows().size(), 2u);
    EXPECT_TRUE(RowKey(0) == S(u"savings bank"));
    view().HandleEvent(1035);
    view().HandleEvent(DatabaseView::kEnterEvent);
    EXPECT_EQ(host.position, 77);
    view().ExecuteCommand(23);
    EXPECT_EQ(view().Level(), 1u);
    EXPECT_EQ(host.backs, 0);
    host.deleteOnCall = true;
    EXPECT_EQ(view().ExecuteCommand(23), DatabaseView::Result::kReplaced);
    EXPECT_EQ(host.backs, 1);
    keys->Release();
}

TEST_F(DatabaseViewTest, EntryWithoutKeysShowsNoMatchAndUserInputGoesBack) {
    FakeIndex* keys = new FakeIndex({"k"}, "keys");
    view().AttachSource(table, keys, 7);
    view().HandleEvent(1035);
    view().HandleEvent(DatabaseView::kEnterEvent);
    ASSERT_EQ(view().Level(), 2u);
    EXPECT_TRUE(view().NoMatch());
    view().HandleEvent(DatabaseView::kRefreshEvent);  // its own refresh does not go back
    EXPECT_EQ(view().Level(), 2u);
    view().HandleEvent('x');
    EXPECT_EQ(view().Level(), 1u);
    EXPECT_FALSE(view().NoMatch());
    keys->Release();
}

TEST_F(DatabaseViewTest, EntryModeBackLeavesTheView) {
    FakeIndex* keys = new FakeIndex({"a", "b"}, "keys");
    table->SetTag(2, 7, {0, 1});
    ASSERT_TRUE(view().ShowEntry(table, keys, 7, 2));
    EXPECT_EQ(view().Level(), 2u);
    EXPECT_EQ(view().Rows().size(), 2u);
    host.deleteOnCall = true;
    EXPECT_EQ(view().ExecuteCommand(23), DatabaseView::Result::kReplaced);
    EXPECT_EQ(host.backs, 1);
    keys->Release();
}

TEST_F(DatabaseViewTest, WildcardEnterAsksForAQueryPage) {
    view().SetFlags(0x8 | 0x400);
    view().SetTableNumber(3);
    view().AttachSource(table, nullptr, 0);
    Type("it's?*");
    host.deleteOnCall = true;
    EXPECT_EQ(view().HandleEvent(DatabaseView::kEnterEvent), DatabaseView::Result::kReplaced);
    EXPECT_TRUE(host.query ==
                S(u"SELECT * FROM '$tableid=3' AS tab WHERE tab LIKE 'it''s_%'"));
    EXPECT_TRUE(host.title == S(u"PairFinder list:"));
    EXPECT_EQ(host.flags, 256u + 0x400u);
}

// Entries opened from a list are remembered in the search history by this number: the book's
// default table has none of its own and must still give one, the key level none at all.
TEST_F(DatabaseViewTest, LevelTableNumberNamesTheDefaultTable) {
    view().AttachSource(table, nullptr, 0);
    EXPECT_EQ(view().LevelTableNumber(), static_cast<int32_t>(HistoryTable::kDefaultTable));
    view().SetTableNumber(3);
    EXPECT_EQ(view().LevelTableNumber(), 3);
    FakeIndex* keys = new FakeIndex({"a", "b"}, "keys");
    table->SetTag(2, 7, {0, 1});
    ASSERT_TRUE(view().ShowEntry(table, keys, 7, 2));
    EXPECT_EQ(view().LevelTableNumber(), -1);
    keys->Release();
}

TEST_F(DatabaseViewTest, WildcardEnterWithoutTableShowsNothing) {
    view().SetFlags(0x8);
    view().AttachSource(table, nullptr, 0);
    Type("a*");
    EXPECT_EQ(view().HandleEvent(DatabaseView::kEnterEvent), DatabaseView::Result::kHandled);
    EXPECT_TRUE(host.query.IsEmpty());
}

TEST_F(DatabaseViewTest, EnterWithNothingFoundSaysSo) {
    view().SetFlags(0x10 | 0x1);
    view().AttachSource(table, nullptr, 0);
    Type("Zebra");
    EXPECT_EQ(view().HandleEvent(DatabaseView::kEnterEvent), DatabaseView::Result::kHandled);
    EXPECT_TRUE(host.popup == S(u"Sorry, can't help."));
}

TEST_F(DatabaseViewTest, EnterWithoutLookupFlagsDoesNothing) {
    view().AttachSource(table, nullptr, 0);
    Type("Zebra");
    view().HandleEvent(DatabaseView::kEnterEvent);
    EXPECT_TRUE(host.popup.IsEmpty());
}

TEST_F(DatabaseViewTest, ExactKeyStrategyOpensTheEntryWhoseKeyIsTheText) {
    FakeIndex* names = new FakeIndex({"O'Neil", "Oak", "Ox", "Paris", "Pear", "Quay"}, "names");
    names->SetTag(0, 1, {42});
    view().SetFlags(0x10);
    view().AttachSource(names, nullptr, 0);
    view().SetSearchText(S(u"O'Neil"));
    view().ExecuteCommand(66);  // the selection goes: Enter runs the strategies
    ASSERT_EQ(view().Selected(), -1);
    host.deleteOnCall = true;
    EXPECT_EQ(view().HandleEvent(DatabaseView::kEnterEvent), DatabaseView::Result::kReplaced);
    EXPECT_EQ(host.entry, 0u);
    EXPECT_EQ(host.position, 42);
    names->Release();
}

TEST_F(DatabaseViewTest, ExactKeyStrategySkipsPlainLowerCaseText) {
    table->SetTag(2, 1, {42});
    view().SetFlags(0x10);
    view().AttachSource(table, nullptr, 0);
    view().SetSearchText(S(u"bank"));
    view().ExecuteCommand(66);
    ASSERT_EQ(view().Selected(), -1);
    EXPECT_EQ(view().HandleEvent(DatabaseView::kEnterEvent), DatabaseView::Result::kHandled);
    EXPECT_EQ(host.position, -1);
    EXPECT_TRUE(host.popup == S(u"Sorry, can't help."));
}

TEST_F(DatabaseViewTest, HintsFollowTheLookupFlags) {
    view().SetHintsEnabled(true);
    view().SetFlags(0x8);
    view().AttachSource(table, nullptr, 0);
    EXPECT_EQ(view().HintId(), 0u);
    Type("b*");
    EXPECT_EQ(view().HintId(), 5345u);
    view().SetFlags(0x4 | 0x10);
    view().OnTypeAheadTimer();
    Type("bz");
    ASSERT_EQ(view().Selected(), -1);
    EXPECT_EQ(view().HintId(), 5346u) << "the text no longer leads to the top entry";
    view().HandleEvent(11);
    EXPECT_EQ(view().HintId(), 0u) << "not after a page move";
    view().OnTypeAheadTimer();
    Type("ba");
    EXPECT_EQ(view().HintId(), 0u);
    view().SetName(S(u"named"));
    view().OnTypeAheadTimer();
    Type("bz");
    EXPECT_EQ(view().HintId(), 0u) << "a named view shows no hints";
}

TEST_F(DatabaseViewTest, SavedStateRestoresLevelAndPosition) {
    FakeIndex* keys = new FakeIndex({"a", "b", "c"}, "keys");
    table->SetTag(5, 7, {0, 1, 2});
    table->SetTag(5, 4, {0});
    view().AttachSource(table, keys, 7);
    Type("dog");
    view().HandleEvent(DatabaseView::kEnterEvent);
    ASSERT_EQ(view().Level(), 2u);
    ByteStream state;
    ASSERT_TRUE(view().SaveState(state));

    DatabaseView other;
    other.SetRowsPerPage(4);
    other.AttachSource(table, keys, 7);
    ASSERT_TRUE(other.RestoreState(state));
    EXPECT_EQ(other.Level(), 2u);
    EXPECT_EQ(other.Rows().size(), 3u);
    other.ExecuteCommand(23);
    String key;
    other.RowText(0, key);
    EXPECT_TRUE(key == S(u"dog"));
    EXPECT_TRUE(other.SearchText() == S(u"dog"));
    keys->Release();
}

TEST_F(DatabaseViewTest, RestoredPositionsOutsideTheTableFallBack) {
    view().AttachSource(table, nullptr, 0);
    DatabaseViewState s;
    s.level = 1;
    s.top1.record = 0;
    s.top1.entry = 5000;
    s.selected1 = 7;
    ByteStream state;
    ASSERT_TRUE(s.Save(state, nullptr));
    ASSERT_TRUE(view().RestoreState(state));
    EXPECT_TRUE(RowKey(0) == S(u"apple"));
    EXPECT_EQ(view().Selected(), 0);
}

TEST_F(DatabaseViewTest, SearchFieldAndBlankRowsFollowTheFlags) {
    view().SetFlags(0x1000 | 0x800);
    view().AttachSource(table, nullptr, 0);
    EXPECT_FALSE(view().SearchFieldOn());
    EXPECT_FALSE(view().RowsShown());
    EXPECT_TRUE(view().Rows().empty());
    view().SetSearchText(S(u"c"));
    EXPECT_TRUE(view().RowsShown());
    EXPECT_TRUE(RowKey(0) == S(u"cat"));
}

TEST_F(DatabaseViewTest, QueryViewStepsThroughLevels) {
    FakeBook book;
    book.tables.push_back(Words());
    FakeIndex* senses = new FakeIndex({"a1", "a2", "b1"}, "senses");
    book.tables.push_back(senses);
    IndexQuery* plan = new IndexQuery;
    ASSERT_EQ(plan->Compile(S(u"SELECT s FROM 'table=words' w, 'table=senses' s"), &book), 0);
    ASSERT_EQ(plan->ActiveLeafCount(), 1);
    ASSERT_TRUE(view().SetSource(plan, S(u"Words%%%In %key"), S(u"q")));
    plan->Release();
    EXPECT_EQ(view().Level(), 0u);
    EXPECT_FALSE(view().IsLastLevel());
    view().HandleEvent(1035);
    EXPECT_TRUE(view().RowExpandable(0));
    view().HandleEvent(DatabaseView::kEnterEvent);
    EXPECT_EQ(view().Level(), 1u);
    EXPECT_TRUE(view().IsLastLevel());
    EXPECT_TRUE(RowKey(0) == S(u"a1"));
    std::vector<DatabaseViewText::TitleRun> runs;
    view().BuildTitle(runs);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_TRUE(runs[1].text == S(u"apple"));
    EXPECT_TRUE(runs[1].emphasised);

    ByteStream state;
    ASSERT_TRUE(view().SaveState(state));
    view().ExecuteCommand(23);
    EXPECT_EQ(view().Level(), 0u);
    ASSERT_TRUE(view().RestoreState(state));
    EXPECT_EQ(view().Level(), 1u);
    EXPECT_EQ(host.backs, 0);
}

TEST_F(DatabaseViewTest, QueryStateFromAnotherPlanIsRejected) {
    FakeBook book;
    book.tables.push_back(Words());
    IndexQuery* one = new IndexQuery;
    ASSERT_EQ(one->Compile(S(u"SELECT * FROM 'table=words' AS w"), &book), 0);
    view().SetSource(one, String(), S(u"q"));
    one->Release();
    view().ExecuteCommand(66);
    ByteStream state;
    ASSERT_TRUE(view().SaveState(state));

    book.tables.push_back(new FakeIndex({"x"}, "senses"));
    IndexQuery* two = new IndexQuery;
    ASSERT_EQ(two->Compile(S(u"SELECT s FROM 'table=words' w, 'table=senses' s"), &book), 0);
    DatabaseView other;
    other.SetRowsPerPage(4);
    other.SetSource(two, String(), S(u"q"));
    two->Release();
    EXPECT_FALSE(other.RestoreState(state));
    EXPECT_EQ(other.Level(), 0u);
    String key;
    other.RowText(0, key);
    EXPECT_TRUE(key == S(u"apple"));
}

}  // namespace

namespace {

// A table whose book has forms and spelling corrections for a few words.
class FormsIndex : public FakeIndex {
public:
    FormsIndex()
        : FakeIndex({"ant", "bee", "cat", "cow", "dog", "eel", "elk", "fox", "gnu", "goat", "hen",
                     "mouse", "owl", "pig", "rat", "see"},
                    "words") {}
    bool InflectionEntries(const String& word, std::vector<uint32_t>& out) const override {
        out.clear();
        if (word == S(u"aam")) out = {1};
        if (word == S(u"aas")) out = {2, 4};
        return !out.empty();
    }
    bool SpellingCandidates(const String& word, uint32_t limit,
                            std::vector<uint32_t>& out) const override {
        out.clear();
        if (word == S(u"aab") && limit >= 3) out = {2, 3, 4};
        return !out.empty();
    }
};

class DatabaseViewFormsTest : public DatabaseViewTest {
protected:
    void Enter(const char16_t* text) {
        view().SetSearchText(S(text));
        view().ExecuteCommand(66);  // no selected row: Enter runs the strategies
        ASSERT_EQ(view().Selected(), -1);
    }
};

TEST_F(DatabaseViewFormsTest, OneFormOpensItsEntry) {
    FormsIndex* forms = new FormsIndex;
    forms->SetTag(1, 1, {77});
    view().SetFlags(0x1);
    view().AttachSource(forms, nullptr, 0);
    Enter(u"aam");
    host.deleteOnCall = true;
    EXPECT_EQ(view().HandleEvent(DatabaseView::kEnterEvent), DatabaseView::Result::kReplaced);
    EXPECT_EQ(host.entry, 1u);
    EXPECT_EQ(host.position, 77);
    forms->Release();
}

TEST_F(DatabaseViewFormsTest, SeveralFormsShowTheLookupPage) {
    FormsIndex* forms = new FormsIndex;
    view().SetFlags(0x2);
    view().AttachSource(forms, nullptr, 0);
    Enter(u"aas");
    EXPECT_EQ(view().HandleEvent(DatabaseView::kEnterEvent), DatabaseView::Result::kHandled);
    EXPECT_EQ(host.shown, (std::vector<uint32_t>{2, 4}));
    EXPECT_TRUE(host.popup.IsEmpty());
    forms->Release();
}

TEST_F(DatabaseViewFormsTest, NoFormPassesOnToSpellingCorrections) {
    FormsIndex* forms = new FormsIndex;
    view().SetFlags(0x1 | 0x4);
    view().AttachSource(forms, nullptr, 0);
    Enter(u"aab");
    EXPECT_EQ(view().HandleEvent(DatabaseView::kEnterEvent), DatabaseView::Result::kHandled);
    EXPECT_TRUE(host.popup == S(u"Spell correction:"));
    EXPECT_EQ(host.shown, (std::vector<uint32_t>{2, 3, 4}));
    forms->Release();
}

TEST_F(DatabaseViewFormsTest, SpellingNeedsItsFlagAndCandidates) {
    FormsIndex* forms = new FormsIndex;
    view().SetFlags(0x1);
    view().AttachSource(forms, nullptr, 0);
    Enter(u"aab");
    view().HandleEvent(DatabaseView::kEnterEvent);
    EXPECT_TRUE(host.popup == S(u"Sorry, can't help."));
    EXPECT_TRUE(host.shown.empty());
    view().SetFlags(0x4);
    Enter(u"aaq");
    view().HandleEvent(DatabaseView::kEnterEvent);
    EXPECT_TRUE(host.popup == S(u"Sorry, can't help."));
    forms->Release();
}

}  // namespace

namespace {

// The host of an entry whose target lies in another book.
class OtherBookHost : public Host {
public:
    uint32_t book = 0;
    int64_t bookPosition = -1;
    bool bookOpens = true;
    bool OpenEntryInBook(uint32_t b, int64_t p, uint32_t) override {
        book = b;
        bookPosition = p;
        if (bookOpens && deleteOnCall) view.reset();
        return bookOpens;
    }
};

TEST_F(DatabaseViewTest, ARecordSetAloneIsLevelZeroAndItsOnlyLevel) {
    ASSERT_TRUE(view().AttachRecordSet(table));
    EXPECT_EQ(view().Level(), 0u);
    EXPECT_TRUE(view().IsLastLevel());
    EXPECT_TRUE(RowKey(0) == S(u"apple"));
    Type("cat");
    EXPECT_TRUE(RowKey(0) == S(u"cat"));
    view().SetSearchText(S(u"go"));
    EXPECT_TRUE(view().SearchText() == S(u"go"));
    EXPECT_TRUE(RowKey(0) == S(u"goat"));

    // Its state comes back on its own level.
    ByteStream saved;
    ASSERT_TRUE(view().SaveState(saved));
    DatabaseView other;
    other.SetRowsPerPage(4);
    other.AttachRecordSet(table);
    ASSERT_TRUE(other.RestoreState(saved));
    EXPECT_EQ(other.Level(), 0u);
    EXPECT_EQ(other.TopEntry(), view().TopEntry());
    EXPECT_TRUE(other.SearchText() == S(u"go"));

    // Back leaves the view.
    host.deleteOnCall = true;
    EXPECT_EQ(view().ExecuteCommand(23), DatabaseView::Result::kReplaced);
    EXPECT_EQ(host.backs, 1);
    EXPECT_FALSE(host.view);
}

TEST_F(DatabaseViewTest, AnEntryInAnotherBookOpensThere) {
    OtherBookHost other;
    other.view = std::make_unique<DatabaseView>();
    other.view->SetHost(&other);
    other.view->SetRowsPerPage(4);
    table->SetTag(4, 1, {300});  // cat, in book 2
    table->SetTag(4, 41, {2});
    table->SetTag(5, 25, {4});  // dog links to cat
    ASSERT_TRUE(other.view->AttachRecordSet(table));
    other.view->SetSearchText(S(u"dog"));
    other.deleteOnCall = true;
    EXPECT_EQ(other.view->HandleEvent(DatabaseView::kEnterEvent),
              DatabaseView::Result::kReplaced);
    EXPECT_EQ(other.book, 2u);
    EXPECT_EQ(other.bookPosition, 300);
    EXPECT_EQ(other.position, -1);  // not opened in this book

    // A book that does not open leaves the view as it was.
    other.view = std::make_unique<DatabaseView>();
    other.view->SetHost(&other);
    other.view->SetRowsPerPage(4);
    other.view->AttachRecordSet(table);
    other.view->SetSearchText(S(u"cat"));
    other.bookOpens = false;
    EXPECT_EQ(other.view->HandleEvent(DatabaseView::kEnterEvent),
              DatabaseView::Result::kHandled);
    EXPECT_TRUE(other.view);

    // A record set (a view with a global name) opens its rows in its own book, through the
    // book's script: the function it is named after gets the entry.
    other.view->SetName(S(u"found"));
    other.bookOpens = true;
    other.book = 0;
    other.view->HandleEvent(DatabaseView::kEnterEvent);
    EXPECT_EQ(other.book, 0u);
    EXPECT_EQ(other.position, -1);
    EXPECT_EQ(other.scriptEntry, 4);
    EXPECT_TRUE(other.ranScript == S(u"found(__global_recordset)"));
}

TEST_F(DatabaseViewTest, ASearchIsRememberedOnlyWhenItOpenedNothing) {
    RememberedSearch remembered;
    view().AttachRecordSet(table);
    view().SetTableNumber(1027);
    view().SetFlags(0x30000);
    view().SetRememberedSearch(&remembered);
    Type("ban");
    host.view.reset();
    EXPECT_TRUE(remembered.text == S(u"ban"));
    EXPECT_EQ(remembered.inputMode, 0x30000u);
    EXPECT_EQ(remembered.table, 1027u & 0x3FF);

    // An entry opened: the view goes without writing over what the controller cleared.
    remembered.Clear();
    host.view = std::make_unique<DatabaseView>();
    host.view->SetHost(&host);
    host.view->SetRowsPerPage(4);
    table->SetTag(2, 1, {55});
    view().AttachRecordSet(table);
    view().SetRememberedSearch(&remembered);
    Type("ban");
    ASSERT_EQ(view().HandleEvent(DatabaseView::kEnterEvent), DatabaseView::Result::kReplaced);
    EXPECT_EQ(host.position, 55);
    host.view.reset();
    EXPECT_TRUE(remembered.text.IsEmpty());
}

}  // namespace

namespace {

class PreviewHost : public Host {
public:
    std::vector<int64_t> previews;
    int hidden = 0;
    void ShowPreview(IndexSource*, uint32_t, int64_t position) override {
        previews.push_back(position);
    }
    void HidePreview() override { ++hidden; }
};

TEST_F(DatabaseViewTest, ThePreviewOpensOnTheLastLevelAndKeepsTheSelectionInView) {
    PreviewHost preview;
    preview.view = std::make_unique<DatabaseView>();
    DatabaseView& v = *preview.view;
    v.SetHost(&preview);
    for (uint32_t e = 0; e < 10; ++e) table->SetTag(e, 1, {100 + e});
    FakeIndex* keys = new FakeIndex({"a", "b"}, "keys");
    table->SetTag(9, 7, {0, 1});
    v.SetRowsPerPage(10, 4);
    v.SetPreviewEnabled(true);
    ASSERT_TRUE(v.AttachSource(table, keys, 7));
    keys->Release();

    // Level 1 is not the last: no pane.
    v.HandleEvent(1035);
    EXPECT_FALSE(v.PreviewShown());

    // A plain table alone, the seventh row selected as the pane opens: it would be covered.
    ASSERT_TRUE(v.AttachRecordSet(table));
    v.SetPreviewEnabled(false);
    for (int i = 0; i < 6; ++i) v.HandleEvent(1035);
    v.SetPreviewEnabled(true);
    v.HandleEvent(1035);
    ASSERT_TRUE(v.PreviewShown());
    EXPECT_EQ(v.Rows().size(), 4u);
    EXPECT_EQ(v.TopEntry(), 6);  // moved up by the six rows the pane covers
    EXPECT_EQ(v.Selected(), 0);
    EXPECT_EQ(preview.previews, (std::vector<int64_t>{106}));
    EXPECT_EQ(v.PreviewPosition(), 106);
    v.HandleEvent(1035);  // it follows the selection
    EXPECT_EQ(preview.previews.back(), 107);

    // A row near the top stays where it is.
    v.ExecuteCommand(23);
    EXPECT_EQ(preview.hidden, 1);
    preview.view = std::make_unique<DatabaseView>();
    DatabaseView& w = *preview.view;
    w.SetHost(&preview);
    w.SetRowsPerPage(10, 4);
    w.SetPreviewEnabled(true);
    w.AttachRecordSet(table);
    w.HandleEvent('c');
    ASSERT_TRUE(w.PreviewShown());
    EXPECT_EQ(w.TopEntry(), 4);
    EXPECT_EQ(w.Selected(), 0);
    EXPECT_EQ(preview.previews.back(), 104);

    // A view with a name (a record set of a script) shows no pane.
    w.ExecuteCommand(23);
    preview.view = std::make_unique<DatabaseView>();
    preview.view->SetHost(&preview);
    preview.view->SetPreviewEnabled(true);
    preview.view->SetName(S(u"list"));
    preview.view->AttachRecordSet(table);
    preview.view->HandleEvent(1035);
    EXPECT_FALSE(preview.view->PreviewShown());
}

}  // namespace

namespace {

// A native field: it holds a text, and its change notice reaches the view as an event at once
// (as the shell's control does).
class FakeField : public SearchField {
public:
    DatabaseView* view = nullptr;
    bool echo = false;  // the view's own writes come back as a notice
    String text;
    uint32_t mode = 0;
    int writes = 0;
    std::vector<DatabaseView::Result> notices;
    void SetText(const String& t) override {
        text = t;
        ++writes;
        if (echo) notices.push_back(view->HandleEvent('!'));
    }
    bool GetText(String& out) const override {
        out = text;
        return true;
    }
    void Place(const Rect&) override {}
    void Show(bool) override {}
    void SetInputMode(uint32_t bits) override { mode = bits; }
    // The user types: the control changes, then tells the view.
    DatabaseView::Result Type(const char16_t* t) {
        text = String(t);
        return view->HandleEvent(t[0] ? t[0] : 19);
    }
};

class PanelHost : public Host {
public:
    int panelHidden = 0;
    void HideInputPanel() override { ++panelHidden; }
};

TEST_F(DatabaseViewTest, ANativeFieldHoldsTheTextTheViewSearchesFor) {
    FakeField field;
    view().SetFlags(0x30000);
    view().AttachSource(table, nullptr, 0);
    view().SetSearchText(S(u"do"));
    field.view = &view();
    field.echo = true;
    view().SetSearchField(&field);
    EXPECT_EQ(field.mode, 0x30000u);
    EXPECT_TRUE(field.text == S(u"do"));
    // The view's own write is not typing.
    ASSERT_EQ(field.notices.size(), 1u);
    EXPECT_EQ(field.notices[0], DatabaseView::Result::kIgnored);
    EXPECT_TRUE(view().SearchText() == S(u"do"));

    // Typing: the field's text is the search text (the field has applied the key).
    field.echo = false;
    field.Type(u"eel");
    EXPECT_TRUE(view().SearchText() == S(u"eel"));
    EXPECT_TRUE(RowKey(0) == S(u"eel"));
    EXPECT_EQ(view().Selected(), 0);
}

TEST_F(DatabaseViewTest, ClearingTheFieldForgetsTheSearch) {
    FakeField field;
    RememberedSearch remembered;
    remembered.text = S(u"earlier");
    view().AttachRecordSet(table);
    view().SetRememberedSearch(&remembered);
    field.view = &view();
    view().SetSearchField(&field);
    field.Type(u"fig");
    ASSERT_EQ(view().Selected(), 0);
    EXPECT_EQ(view().HandleEvent(DatabaseView::kClearEvent), DatabaseView::Result::kHandled);
    EXPECT_TRUE(field.text.IsEmpty());
    EXPECT_TRUE(view().SearchText().IsEmpty());
    EXPECT_EQ(view().Selected(), -1);
    EXPECT_TRUE(RowKey(0) == S(u"apple"));
    EXPECT_TRUE(remembered.text.IsEmpty());
    // An empty field: the event is not the view's.
    EXPECT_EQ(view().HandleEvent(DatabaseView::kClearEvent), DatabaseView::Result::kIgnored);
    view().SetSearchField(nullptr);
    EXPECT_EQ(view().HandleEvent(DatabaseView::kClearEvent), DatabaseView::Result::kIgnored);
}

TEST_F(DatabaseViewTest, LevelChangesShowTheLevelsTextAndBackHidesThePanel) {
    PanelHost panel;
    panel.view = std::make_unique<DatabaseView>();
    DatabaseView& v = *panel.view;
    v.SetHost(&panel);
    v.SetRowsPerPage(4);
    FakeIndex* keys = new FakeIndex({"a", "b"}, "keys");
    table->SetTag(5, 7, {0, 1});
    v.AttachSource(table, keys, 7);
    keys->Release();
    FakeField field;
    field.view = &v;
    v.SetSearchField(&field);
    field.Type(u"dog");
    v.HandleEvent(DatabaseView::kEnterEvent);  // into dog's keys
    ASSERT_EQ(v.Level(), 2u);
    EXPECT_TRUE(field.text.IsEmpty());
    v.ExecuteCommand(23);
    ASSERT_EQ(v.Level(), 1u);
    EXPECT_TRUE(field.text == S(u"dog"));
    EXPECT_EQ(panel.panelHidden, 0);
    panel.deleteOnCall = true;
    v.SetSearchField(nullptr);
    EXPECT_EQ(v.ExecuteCommand(23), DatabaseView::Result::kReplaced);
    EXPECT_EQ(panel.panelHidden, 1);
    EXPECT_EQ(panel.backs, 1);
}

}  // namespace
