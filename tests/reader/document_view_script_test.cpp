#include "reader/document_view_script.h"

#include <gtest/gtest.h>

#include <string>

#include "../database/fake_index.h"
#include "script/script_engine.h"
#include "support/reader/book_action_host_fake.h"

using fvt_test::Narrow;
using fvt_test::RecordingActionHost;
using fvt_test::Wide;

namespace {

// Answers sql_execute with 7, as the database host would with a result.
class FakeDatabaseHost : public ScriptObject {
public:
    int Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool) override {
        if (name.id != ScriptNames::Ids::kSqlExecute && name.id != 38)
            return Done(err, ScriptErrors::kMemberUnknown);
        ref->object = this;
        ref->code = name.id;
        ref->index = -1;
        return Done(err, 0);
    }
    int Call(int* err, ScriptMemberRef*, int argc, const ScriptValue* stack,
             ScriptValue* result) override {
        if (argc != 1 || !heap) return Done(err, ScriptErrors::kBadParameterCount);
        heap->ToString(stack[0], &query);
        return Done(err, heap->NewNumber(7, result));
    }
    int GetValue(int* err, ScriptMemberRef*, ScriptHeap* h, ScriptValue* result) override {
        return Done(err, h->NewNumber(1, result));
    }
    void Notify(int event, ScriptHeap* h) override { heap = event == 0 ? h : nullptr; }
    ScriptHeap* heap = nullptr;
    String query;
};

struct ScriptRun {
    ScriptHeap heap;
    ScriptContext context{&heap};
    RecordingActionHost host;
    FakeDatabaseHost database;
    DocumentViewScript view{&host, &database};
    int rc = 0;

    ScriptRun() {
        context.Create();
        view.SetContext(&context);
        context.Hosts().AppendObject(&view, 1);
    }
    // Runs the text; the value of its last expression as text ("syntax" when it does not compile).
    std::string Eval(const char* text) {
        ScriptCode unit;
        ScriptError err;
        if (!ScriptEngine::CompileText(Wide(text), &unit, Wide("t"), &err)) return "syntax";
        ScriptValue value = ScriptHeap::NewUndefined();
        rc = ScriptEngine::Run(&context, &unit, nullptr, ScriptHeap::NewUndefined(), &value, &err);
        std::u16string out;
        heap.ToResultText(value, &out);
        heap.Release(value);
        return std::string(out.begin(), out.end());
    }
};

// ---- Member paths ----

TEST(DocumentScriptPaths, ObjectsSelectTheKindOfTheRecord) {
    ScriptRun s;
    s.Eval("document.goto_page(12)");
    EXPECT_EQ(s.rc, 0);
    EXPECT_EQ(s.host.Last(), "GoToPage 12");
    s.Eval("window.document.bookmarks.next()");
    EXPECT_EQ(s.host.Last(), "NextAnnotation");
    s.Eval("open('a.htm')");  // no object: window
    EXPECT_EQ(s.host.Last(), "ActivateLink a.htm");
    s.Eval("window.history.back()");
    EXPECT_EQ(s.host.Last(), "HistoryBack");
    s.Eval("cart.add('c', 'item')");
    EXPECT_EQ(s.host.Last(), "AddToCart [c] item []");
    s.Eval("audio.goto_track(3)");
    EXPECT_EQ(s.host.Last(), "PlayTrack 3");
    s.Eval("window.index.seek('abc')");
    EXPECT_EQ(s.host.Last(), "ViewSearchText abc");
    s.Eval("document.selection.highlight()");
    EXPECT_EQ(s.host.Last(), "RunCommand 42");
    s.Eval("window.voice.say('hi', 9)");
    EXPECT_EQ(s.host.Last(), "StartSpeech hi");
    s.Eval("location.replace('b.htm')");
    EXPECT_EQ(s.host.log[s.host.log.size() - 2], "ActivateLink b.htm");
}

TEST(DocumentScriptPaths, RefusedPathsAreUnknown) {
    ScriptRun s;
    s.Eval("goto_page(3)");  // a document method without its object
    EXPECT_EQ(s.rc, ScriptErrors::kMemberUnknown);
    s.Eval("hash");  // only after location
    EXPECT_EQ(s.rc, ScriptErrors::kMemberUnknown);
    s.Eval("cart.document");
    EXPECT_EQ(s.rc, ScriptErrors::kMemberUnknown);
    s.Eval("history.add('x')");  // method of another object
    EXPECT_EQ(s.rc, ScriptErrors::kMemberUnknown);
    s.Eval("audio.history");
    EXPECT_EQ(s.rc, ScriptErrors::kMemberUnknown);
    EXPECT_TRUE(s.host.log.empty());
}

TEST(DocumentScriptPaths, BaseMembersStillAnswer) {
    ScriptRun s;
    EXPECT_EQ(s.Eval("navigator.platform"), "\"PocketPC\"");
    EXPECT_EQ(s.Eval("parseInt('12') + 1"), "13");
    EXPECT_EQ(s.Eval("BUL_BLUE"), "36");
    s.Eval("myValue = 4");
    EXPECT_EQ(s.Eval("myValue"), "4");
}

// ---- Values ----

TEST(DocumentScriptValues, LocationNeedsADocument) {
    ScriptRun s;
    s.Eval("location.href");
    EXPECT_EQ(s.rc, ScriptErrors::kCannotGet);
    s.host.href_ = "oeb:book?a=1";
    EXPECT_EQ(s.Eval("window.document.location.href"), "\"oeb:book?a=1\"");
    EXPECT_EQ(s.Eval("location.search"), "\"a=1\"");
    s.host.href_ = "oeb:book";
    EXPECT_EQ(s.Eval("location.search"), "\"\"");
    s.Eval("location.hash");
    EXPECT_EQ(s.rc, ScriptErrors::kCannotGet);
}

TEST(DocumentScriptValues, SettingTheHashMovesToTheReference) {
    ScriptRun s;
    s.Eval("window.document.location.hash = 'chap' + 2");
    EXPECT_EQ(s.rc, 0);
    EXPECT_EQ(s.host.Last(), "GoToReference chap2");
}

TEST(DocumentScriptValues, SelectionAndHistory) {
    ScriptRun s;
    EXPECT_EQ(s.Eval("selection.text == null"), "true");
    EXPECT_EQ(s.rc, 0);
    s.host.selection = "word";
    EXPECT_EQ(s.Eval("selection.text + '/' + selection.language"), "\"word/en\"");
    s.Eval("selection.href");
    EXPECT_EQ(s.rc, ScriptErrors::kCannotGet);
    s.host.historyPosition = 3;
    EXPECT_EQ(s.Eval("history.length"), "3");
}

TEST(DocumentScriptValues, MethodsWithResults) {
    ScriptRun s;
    s.host.checkpointFound = false;
    EXPECT_EQ(s.Eval("history.goto_checkpoint()"), "false");
    EXPECT_EQ(s.Eval("window.current_index_entry('words') == null"), "true");
    EXPECT_EQ(s.host.Last(), "OpenTableEntry words");
}

// ---- Arguments ----

TEST(DocumentScriptArguments, OnlyStringsAndObjectsAreText) {
    ScriptRun s;
    s.Eval("document.goto_page('12')");  // a string is text: no page
    EXPECT_TRUE(s.host.log.empty());
    s.Eval("document.goto_page(true)");  // "true" flagged numeric: nothing
    s.Eval("document.goto_page(1.5)");
    EXPECT_TRUE(s.host.log.empty());
    s.Eval("document.goto_page_relative(-4)");
    EXPECT_EQ(s.host.Last(), "StepPage -2 255");
}

TEST(DocumentScriptArguments, DatabaseNamesGoToTheDatabaseHost) {
    ScriptRun s;
    EXPECT_EQ(s.Eval("sql_execute('SELECT * FROM words')"), "7");
    EXPECT_EQ(Narrow(s.database.query), "SELECT * FROM words");
    EXPECT_EQ(s.Eval("TYPE_STRING"), "1");
}

TEST(DocumentScriptArguments, RecordSetEntryExpandsToSevenWordListValues) {
    FakeBook book;
    book.tables = {new FakeIndex({"abacus", "apple"}, "words")};
    IndexQuery* query = new IndexQuery();
    ASSERT_EQ(query->Compile(Wide("SELECT * FROM words"), &book), 0);
    auto* entry =
        static_cast<IndexRecordSetObject*>(query->MakeScriptObject(RecordPosition::At(1)));
    ASSERT_NE(entry, nullptr);
    entry->SetBookNames(Wide("EngDict"), Wide("ED"));
    {
        ScriptRun s;
        s.host.tableEntry = entry;
        s.Eval("var e = window.current_index_entry(); window.add_entry_to_wordlist(e)");
        EXPECT_EQ(s.rc, 0);
        EXPECT_EQ(s.host.Last(),
                  "OpenRequest oeb:database?name=folivant_wordlist 112 apple en EngDict words 1# "
                  "apple ED");
        s.Eval("e.MoveNext(); window.add_entry_to_wordlist(e)");  // past the last: no entry
        EXPECT_EQ(s.rc, ScriptErrors::kCannotGet);
        s.Eval("window.add_entry_to_wordlist('plain')");
        EXPECT_EQ(s.host.Last(), "OpenRequest oeb:database?name=folivant_wordlist 112 plain");
    }
    // The script's values owned the entry and freed it with the last of them.
    query->Release();
}

// ---- Widget handlers ----

class Widget : public ScriptPlainObject {};

TEST(WidgetEvents, HandlerRunsWithTheWidgetAndGivesItsResult) {
    ScriptRun s;
    Widget widget;
    String result;
    s.host.historyMode = 0;
    int rc =
        DispatchWidgetEvent(s.host, &s.context, &widget,
                            Wide("this.count = 2; document.goto_page(this.count); 'ok'"), &result);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(Narrow(result), "\"ok\"");
    EXPECT_EQ(s.host.log[0], "SetHistoryMode 2");
    EXPECT_EQ(s.host.log[1], "GoToPage 2");
    EXPECT_EQ(s.host.historyMode, 0u);
}

TEST(WidgetEvents, SyntaxErrorShowsOnceAndGives11) {
    ScriptRun s;
    Widget widget;
    String result = Wide("old");
    EXPECT_EQ(DispatchWidgetEvent(s.host, &s.context, &widget, Wide("if ("), &result),
              ScriptErrors::kSyntax);
    EXPECT_EQ(std::count(s.host.log.begin(), s.host.log.end(), "ShowScriptError"), 1);
    EXPECT_TRUE(result.IsEmpty());
    EXPECT_EQ(s.host.historyMode, 0u);  // not left in handler mode
}

TEST(WidgetEvents, NavigationThatEndsTheControllerLeavesItAlone) {
    ScriptRun s;
    Widget widget;
    s.host.historyMode = 0;
    s.host.onActivate = [&s] { s.host.Destroy(); };
    EXPECT_EQ(
        DispatchWidgetEvent(s.host, &s.context, &widget, Wide("window.open('x.htm')"), nullptr), 0);
    EXPECT_EQ(s.host.historyMode, 2u);  // no write-back into a controller that is gone
}

}  // namespace
