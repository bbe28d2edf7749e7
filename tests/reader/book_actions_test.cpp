#include "reader/book_actions.h"

#include <gtest/gtest.h>

#include "document/markup/link_target.h"
#include "reader/reader_controller.h"
#include "reader/shell_action_policy.h"
#include "script/script_heap.h"
#include "support/reader/book_action_host_fake.h"
#include "support/reader/reader_fakes.h"

using fvt_test::Narrow;
using fvt_test::RecordingActionHost;
using fvt_test::RecordingPolicy;
using fvt_test::Wide;

namespace {

using namespace ReaderObjects;

CommandRecord Record(uint32_t kind, uint32_t method,
                     std::initializer_list<const char*> texts = {}) {
    CommandRecord r(method, kind);
    for (const char* t : texts) {
        // A leading '#' marks a number argument: "#12".
        if (t[0] == '#')
            r.arguments.Append(Wide(t + 1), 1);
        else
            r.AppendText(Wide(t));
    }
    return r;
}

uint32_t Exec(RecordingActionHost& host, const CommandRecord& r, ScriptHeap* heap = nullptr,
              ScriptValue* out = nullptr) {
    return RunReaderCommand(r, host, heap, out);
}

// ---- The command record ----

TEST(CommandRecord, NumbersMustBeFlaggedAndDecimal) {
    CommandRecord r;
    r.arguments.Append(Wide("12"), 0);
    r.arguments.Append(Wide("12"), 1);
    r.arguments.Append(Wide("1.5"), 1);
    r.AppendNumber(-12);
    uint32_t u = 0;
    int32_t s = 0;
    EXPECT_FALSE(r.GetUnsigned(0, u));  // plain text, even when it reads as a number
    EXPECT_TRUE(r.GetUnsigned(1, u));
    EXPECT_EQ(u, 12u);
    EXPECT_FALSE(r.GetUnsigned(2, u));
    EXPECT_TRUE(r.GetSigned(3, s));
    EXPECT_EQ(s, -12);
    EXPECT_EQ(Narrow(r.arguments.Get(3)->text), "-12");
    EXPECT_FALSE(r.GetUnsigned(4, u));  // past the count
    String t;
    EXPECT_TRUE(r.GetText(0, t));
    EXPECT_FALSE(r.GetText(1, t));
}

TEST(CommandRecord, AtRaisesTheCount) {
    StringFlagArray a;
    ASSERT_NE(a.At(3), nullptr);
    EXPECT_EQ(a.Count(), 4u);
    EXPECT_EQ(a.Append(Wide("x"), 1), 4);
    EXPECT_EQ(a.Get(4)->numeric, 1);
    EXPECT_EQ(a.Get(5), nullptr);
}

TEST(CommandRecord, ScriptTextQuotesAndEscapesTexts) {
    CommandRecord r = Record(kWindow, 46, {"it's \"a\"\\b\r\n", "#-3"});
    String text;
    ASSERT_TRUE(r.ToScriptText(text));
    EXPECT_EQ(Narrow(text), "window.open('it\\'s \\\"a\\\"\\\\b\\r\\n',-3)");
    CommandRecord none = Record(kHistory, 61);
    ASSERT_TRUE(none.ToScriptText(text));
    EXPECT_EQ(Narrow(text), "history.back()");
    CommandRecord bad(0, kWindow);
    EXPECT_FALSE(bad.ToScriptText(text));
}

// ---- Argument checking ----

TEST(ReaderCommand, WrongCountOrTypeDoesNothing) {
    RecordingActionHost host;
    EXPECT_EQ(Exec(host, Record(kDocument, 50, {"5"})), 0u);         // text where a number is due
    EXPECT_EQ(Exec(host, Record(kDocument, 50, {"#5", "#6"})), 0u);  // one too many
    EXPECT_EQ(Exec(host, Record(kDocument, 52, {"#1"})), 0u);
    EXPECT_EQ(Exec(host, Record(kWindow, 110, {"#1"})), 0u);
    EXPECT_EQ(Exec(host, Record(kAudio, 118, {"#true"})), 0u);  // a boolean passed as numeric
    EXPECT_EQ(Exec(host, Record(kAudio, 118, {"#1.5"})), 0u);
    EXPECT_EQ(Exec(host, Record(kHistory, 61, {"x"})), 0u);
    EXPECT_EQ(Exec(host, Record(kHash, 61)), 0u);  // kind 30 answers nothing
    EXPECT_EQ(Exec(host, Record(40, 61)), 0u);
    EXPECT_EQ(Exec(host, Record(kDocument, 61)), 0u);  // method of another kind
    EXPECT_TRUE(host.log.empty());
}

TEST(ReaderCommand, DocumentMethods) {
    RecordingActionHost host;
    EXPECT_EQ(Exec(host, Record(kDocument, 50)), 1u);
    EXPECT_EQ(host.Last(), "RunCommand 20");
    Exec(host, Record(kDocument, 50, {"#7"}));
    EXPECT_EQ(host.Last(), "GoToPage 7");
    Exec(host, Record(kDocument, 51, {"#-5"}));
    EXPECT_EQ(host.Last(), "StepPage -2 255");
    Exec(host, Record(kDocument, 51, {"#0"}));
    EXPECT_EQ(host.Last(), "StepPage -2 255");  // zero steps back too
    Exec(host, Record(kDocument, 51, {"#3"}));
    EXPECT_EQ(host.Last(), "StepPage 2 255");
    Exec(host, Record(kDocument, 88));
    EXPECT_EQ(host.Last(), "OpenRandomTableEntry");
    Exec(host, Record(kDocument, 88, {"words"}));
    EXPECT_EQ(host.Last(), "OpenRandomTableEntry words");
    Exec(host, Record(kDocument, 56));
    EXPECT_EQ(host.Last(), "RunCommand 4");
    Exec(host, Record(kDocument, 47));
    EXPECT_EQ(host.Last(), "BackToOtherDocument");
}

TEST(ReaderCommand, BookmarkAddWithArgumentGivesTheBookNothing) {
    RecordingActionHost host;
    CommandRecord r = Record(kBookmarks, 57, {"keep"});
    EXPECT_EQ(Exec(host, r), 1u);
    EXPECT_EQ(host.Last(), "SelectionText");
    EXPECT_EQ(Narrow(r.arguments.Get(0)->text), "keep");
    Exec(host, Record(kBookmarks, 57));
    EXPECT_EQ(host.Last(), "RunCommand 16");
    Exec(host, Record(kBookmarks, 58));
    EXPECT_EQ(host.Last(), "ActivateLink oeb:bookmarks");
    Exec(host, Record(kBookmarks, 63, {"oeb:book?x", "#2"}));
    EXPECT_EQ(host.Last(), "OpenAnnotationAt oeb:book?x 2");
    Exec(host, Record(kBookmarks, 74, {"#3"}));
    EXPECT_EQ(host.Last(), "DeleteAnnotation 3");
}

TEST(ReaderCommand, WindowOpenShapes) {
    RecordingActionHost host;
    Exec(host, Record(kWindow, 46, {"a.htm"}));
    EXPECT_EQ(host.Last(), "ActivateLink a.htm");
    Exec(host, Record(kWindow, 46, {"a.htm", "side"}));
    EXPECT_EQ(host.Last(), "OpenInTarget a.htm side 0,0,0,0 1");
    Exec(host, Record(kWindow, 46, {"a.htm", "side", "#1", "#2", "#30", "#40"}));
    EXPECT_EQ(host.Last(), "OpenInTarget a.htm side 1,2,30,40 1");
    Exec(host, Record(kWindow, 46, {"a.htm", "side", "#1", "#2", "#30", "#40", "#0"}));
    EXPECT_EQ(host.Last(), "OpenInTarget a.htm side 1,2,30,40 0");
    size_t before = host.log.size();
    EXPECT_EQ(Exec(host, Record(kWindow, 46, {"a.htm", "side", "#1", "#2", "#30"})), 0u);
    EXPECT_EQ(Exec(host, Record(kWindow, 46, {"a.htm", "side", "#1", "#2", "x", "#4"})), 0u);
    EXPECT_EQ(host.log.size(), before);
}

// add_to_wordlist without a language name: the book's language is given to the word list;
// a name given is kept; a book without one leaves the choice to the word list.
TEST(ReaderCommand, AWordForTheListTakesTheBooksLanguageWhenItNamesNone) {
    RecordingActionHost host;
    host.bookLanguage = 0x040C;  // French
    Exec(host, Record(kWindow, 111, {"phare"}));
    EXPECT_EQ(host.Last(), "OpenRequest oeb:database?name=folivant_wordlist 111 phare fr");
    Exec(host, Record(kWindow, 111, {"harbour", "en"}));
    EXPECT_EQ(host.Last(), "OpenRequest oeb:database?name=folivant_wordlist 111 harbour en");
    Exec(host, Record(kWindow, 111, {"phare", "nowhere", "Title", "t1"}));
    EXPECT_EQ(host.Last(), "OpenRequest oeb:database?name=folivant_wordlist 111 phare fr Title t1");
    host.bookLanguage = 0;
    Exec(host, Record(kWindow, 111, {"word"}));
    EXPECT_EQ(host.Last(), "OpenRequest oeb:database?name=folivant_wordlist 111 word");
}

TEST(ReaderCommand, WindowRequestsWithRecords) {
    RecordingActionHost host;
    Exec(host, Record(kWindow, 69, {"abc"}));
    EXPECT_EQ(host.Last(), "ReopenWithRecord 69");
    Exec(host, Record(kWindow, 111, {"word"}));
    EXPECT_EQ(host.Last(), "OpenRequest oeb:database?name=folivant_wordlist 111 word");
    Exec(host, Record(kWindow, 115));
    EXPECT_EQ(host.Last(), "OpenRequest oeb:database?name=folivant_history 115");
    Exec(host, Record(kWindow, 70, {"#4"}));
    EXPECT_EQ(host.Last(), "SetPositionView 4");
    Exec(host, Record(kWindow, 70, {"#4", "#9"}));
    EXPECT_EQ(host.Last(), "SelectRange 4 9");
    // A table's left arrow scrolls back: the step is negative.
    Exec(host, Record(kWindow, 70, {"#4", "#-40"}));
    EXPECT_EQ(host.Last(), "SelectRange 4 -40");
    Exec(host, Record(kWindow, 110, {"Saved"}));
    EXPECT_EQ(host.Last(), "ShowBusyText Saved 1000");
    EXPECT_EQ(Exec(host, Record(kWindow, 65, {"tip.htm", "#3"})), 0u);  // kinds below 3 only
    Exec(host, Record(kWindow, 65, {"tip.htm", "#2"}));
    EXPECT_EQ(host.Last(), "ShowPopupPage tip.htm 2");
    Exec(host, Record(kWindow, 95, {"note"}));
    EXPECT_EQ(host.Last(), "ShowPopupPage note 0");
    Exec(host, Record(kWindow, 100));
    EXPECT_EQ(host.Last(), "RunCommand 79");
    Exec(host, Record(kWindow, 48));
    EXPECT_EQ(host.Last(), "ChangeFontSize 1");
    Exec(host, Record(kWindow, 49));
    EXPECT_EQ(host.Last(), "ChangeFontSize -1");
}

// ---- Requests that leave the reader ----

TEST(ShellRequests, RefusedWithoutAPolicy) {
    RecordingActionHost host;
    EXPECT_EQ(Exec(host, Record(kWindow, 86, {"\\Windows\\calc.exe"})), 0u);
    EXPECT_EQ(Exec(host, Record(kWindow, 85, {"a.pdf"})), 0u);
    EXPECT_EQ(Exec(host, Record(kWindow, 76, {"555"})), 0u);
    EXPECT_EQ(Exec(host, Record(kWindow, 90, {"http://x"})), 0u);
    EXPECT_EQ(Exec(host, Record(kWindow, 66, {"a.m3u"})), 0u);
    EXPECT_EQ(Exec(host, Record(kWindow, 67)), 0u);
    EXPECT_EQ(Exec(host, Record(kWindow, 68, {"a.m3u"})), 0u);
    EXPECT_EQ(Exec(host, Record(kWindow, 47)), 0u);
    EXPECT_TRUE(host.log.empty());
}

TEST(ShellRequests, EachAsksThePolicyAndObeysARefusal) {
    RecordingActionHost host;
    RecordingPolicy policy;
    host.policy = &policy;
    policy.answer = false;
    EXPECT_EQ(Exec(host, Record(kWindow, 86, {"calc.exe", "-x"})), 0u);
    EXPECT_EQ(Exec(host, Record(kWindow, 76, {"555"})), 0u);
    EXPECT_EQ(Exec(host, Record(kWindow, 47)), 0u);
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(policy.asked.size(), 3u);

    policy.answer = true;
    Exec(host, Record(kWindow, 86, {"calc.exe", "-x"}));
    EXPECT_EQ(host.Last(), "OpenWithApplication calc.exe [-x]");
    Exec(host, Record(kWindow, 86, {"calc.exe"}));
    EXPECT_EQ(host.Last(), "OpenWithApplication calc.exe []");
    Exec(host, Record(kWindow, 85, {"a.pdf", "#3", "#4"}));
    EXPECT_EQ(host.Last(), "OpenWithAssociatedApp a.pdf 3 4");
    Exec(host, Record(kWindow, 76, {"555"}));
    EXPECT_EQ(host.Last(), "Dial 555");
    Exec(host, Record(kWindow, 90, {"http://x"}));
    EXPECT_EQ(host.Last(), "StartWebBrowser http://x");
    Exec(host, Record(kWindow, 68, {"a.m3u"}));
    EXPECT_EQ(host.Last(), "PlayPlaylist a.m3u recorder");
    Exec(host, Record(kWindow, 67));
    EXPECT_EQ(host.Last(), "StartRecorder");
    Exec(host, Record(kWindow, 47));
    EXPECT_EQ(host.Last(), "CloseWindow");
}

TEST(ShellRequests, CartExportWritesOnlyPlainNamesInTheDataFolder) {
    RecordingActionHost host;
    EXPECT_EQ(Exec(host, Record(kCart, 99, {"c", "\\Windows\\win.ini"})), 0u);
    EXPECT_EQ(Exec(host, Record(kCart, 99, {"c", "..\\x.xml"})), 0u);
    EXPECT_EQ(Exec(host, Record(kCart, 99, {"c", "a/../../x.xml"})), 0u);
    EXPECT_EQ(Exec(host, Record(kCart, 99, {"c", "C:x.xml"})), 0u);
    EXPECT_EQ(Exec(host, Record(kCart, 99, {"c", ".."})), 0u);
    EXPECT_EQ(Exec(host, Record(kCart, 99, {"c", ""})), 0u);
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(Exec(host, Record(kCart, 99, {"c", "answers.xml"})), 1u);
    EXPECT_EQ(host.Last(), "WriteCartXml [c] answers.xml");
    EXPECT_TRUE(IsPlainExportName(Wide("..x.xml")));  // dots inside a name are harmless
}

TEST(ShellRequests, TheReaderAsksTheUserNamingWhatTheBookWants) {
    fvt::test::FakeShell shell;
    ReaderController controller;
    controller.SetShell(&shell);
    AskingShellPolicy policy(&controller);
    RecordingActionHost host;
    host.policy = &policy;
    shell.answer = false;
    EXPECT_EQ(Exec(host, Record(kWindow, 76, {"5551234"})), 0u);
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_NE(shell.messages[0].find(u"5551234"), std::u16string::npos);
    EXPECT_EQ(shell.messageFlags[0], 33u);  // a question with OK and Cancel
    EXPECT_TRUE(host.log.empty());
    shell.answer = true;
    EXPECT_EQ(Exec(host, Record(kWindow, 86, {"calc.exe"})), 1u);
    EXPECT_NE(shell.messages[1].find(u"calc.exe"), std::u16string::npos);
    EXPECT_EQ(host.Last(), "OpenWithApplication calc.exe []");

    AskingShellPolicy unattended(nullptr);  // no one to ask: refused
    EXPECT_FALSE(unattended.Allow(ShellAction::kDial, Wide("1")));
}

// ---- History, carts, location ----

TEST(ReaderCommand, CheckpointAnswersABoolean) {
    ScriptHeap heap;
    RecordingActionHost host;
    ScriptValue out = ScriptValues::kNoValue;
    EXPECT_EQ(Exec(host, Record(kHistory, 92), &heap, &out), 1u);
    EXPECT_EQ(out, ScriptValues::kTrue);
    host.checkpointFound = false;
    Exec(host, Record(kHistory, 92), &heap, &out);
    EXPECT_EQ(out, ScriptValues::kFalse);
    Exec(host, Record(kHistory, 91));
    EXPECT_EQ(host.Last(), "SetCheckpoint");
}

class EntryObject : public ScriptObject {};

TEST(ReaderCommand, CurrentIndexEntryGivesTheRecordSetOrNull) {
    ScriptHeap heap;
    RecordingActionHost host;
    ScriptValue out = ScriptValues::kNoValue;
    EXPECT_EQ(Exec(host, Record(kWindow, 107), &heap, &out), 1u);
    EXPECT_EQ(out, ScriptHeap::NewNull());
    EXPECT_EQ(host.Last(), "OpenTableEntry");
    EntryObject entry;
    host.tableEntry = &entry;
    out = ScriptValues::kNoValue;
    Exec(host, Record(kWindow, 107, {"words"}), &heap, &out);
    EXPECT_EQ(host.Last(), "OpenTableEntry words");
    EXPECT_EQ(ScriptValues::Tag(out), ScriptTag::kObject);
    EXPECT_NE(out, ScriptHeap::NewNull());
    heap.Release(out);
}

// The record set the controller makes for 107 is new each time: a call that hands it to no
// script (a link's, or one without a heap) must not leave it behind.
class CountedEntry : public ScriptObject {
public:
    explicit CountedEntry(int* gone) : gone_(gone) {}
    ~CountedEntry() override { ++*gone_; }

private:
    int* gone_;
};

TEST(ReaderCommand, ATableEntryNobodyTakesIsDeleted) {
    RecordingActionHost host;
    int gone = 0;
    host.tableEntry = new CountedEntry(&gone);
    EXPECT_EQ(Exec(host, Record(kWindow, 107, {"words"})), 1u);
    EXPECT_EQ(gone, 1);
    host.tableEntry = new CountedEntry(&gone);
    ScriptValue out = ScriptValues::kNoValue;
    EXPECT_EQ(Exec(host, Record(kWindow, 107), nullptr, &out), 1u);  // no heap to hand it to
    EXPECT_EQ(out, ScriptHeap::NewNull());
    EXPECT_EQ(gone, 2);
}

TEST(ReaderCommand, CartArgumentsFillFromTheLeft) {
    RecordingActionHost host;
    Exec(host, Record(kCart, 57, {"item"}));
    EXPECT_EQ(host.Last(), "AddToCart [] item []");
    Exec(host, Record(kCart, 57, {"c", "item", "x"}));
    EXPECT_EQ(host.Last(), "AddToCart [c] item [x]");
    Exec(host, Record(kCart, 74, {"#2"}));
    EXPECT_EQ(host.Last(), "RemoveFromCart [] 2");
    Exec(host, Record(kCart, 74, {"c", "#2"}));
    EXPECT_EQ(host.Last(), "RemoveFromCart [c] 2");
    Exec(host, Record(kCart, 77));
    EXPECT_EQ(host.Last(), "ClearCart []");
    Exec(host, Record(kCart, 78, {"a"}));
    EXPECT_EQ(host.Last(), "SubmitInteractionsCart [a] []");
    EXPECT_EQ(Exec(host, Record(kCart, 78, {"a", "b", "c"})), 0u);
}

TEST(ReaderCommand, ReplacePutsTheHistoryModeBackWhileTheControllerLives) {
    RecordingActionHost host;
    host.historyMode = 3;
    Exec(host, Record(kLocation, 114, {"b.htm"}));
    EXPECT_EQ(host.log[0], "SetHistoryMode 1");
    EXPECT_EQ(host.log[1], "ActivateLink b.htm");
    EXPECT_EQ(host.historyMode, 3u);

    RecordingActionHost closing;
    closing.historyMode = 3;
    closing.onActivate = [&closing] { closing.Destroy(); };
    Exec(closing, Record(kLocation, 114, {"b.htm"}));
    EXPECT_EQ(closing.historyMode, 1u);  // not written into a controller that is gone
    EXPECT_EQ(closing.Last(), "ActivateLink b.htm");
}

TEST(ReaderCommand, SelectionVoiceIndexAudio) {
    RecordingActionHost host;
    Exec(host, Record(kSelection, 81));
    EXPECT_EQ(host.Last(), "RunCommand 49");
    Exec(host, Record(kSelection, 84));
    EXPECT_EQ(host.Last(), "RunCommand 45");
    Exec(host, Record(kVoice, 101));
    EXPECT_EQ(host.log[host.log.size() - 2], "SetSpeechLanguage 0");
    EXPECT_EQ(host.Last(), "ReadAloud");
    Exec(host, Record(kVoice, 102, {"hello", "#12"}));
    EXPECT_EQ(host.log[host.log.size() - 2], "SetSpeechLanguage 12");
    EXPECT_EQ(host.Last(), "StartSpeech hello");
    Exec(host, Record(kIndex, 106, {"abc"}));
    EXPECT_EQ(host.Last(), "ViewSearchText abc");
    Exec(host, Record(kAudio, 135, {"#4"}));
    EXPECT_EQ(host.Last(), "PlayTrack 4");
    Exec(host, Record(kAudio, 134, {"list.m3u"}));
    EXPECT_EQ(host.Last(), "ReopenWithRecord 134");
    Exec(host, Record(kAudio, 132));
    EXPECT_EQ(host.Last(), "PauseAudio");
}

// ---- Link targets ----

RefPtr<LinkTarget> Target(uint32_t kind) {
    RefPtr<LinkTarget> t = RefPtr<LinkTarget>::Adopt(new LinkTarget());
    t->kind = kind;
    return t;
}

TEST(LinkActions, EachKindReachesItsOperation) {
    RecordingActionHost host;
    EXPECT_FALSE(PerformAction(nullptr, host, 0, nullptr));

    RefPtr<LinkTarget> t = Target(kLinkAddress);
    t->text = Wide("x.htm");
    EXPECT_TRUE(PerformAction(t.Get(), host, 0, nullptr));
    EXPECT_EQ(host.Last(), "ActivateLink x.htm");

    t = Target(kLinkNamedEntry);
    t->text = Wide("oeb:book?x");
    t->number = 42;
    PerformAction(t.Get(), host, 0, nullptr);
    EXPECT_EQ(host.Last(), "OpenRequest oeb:book?x 75 42#");

    t = Target(kLinkFilePosition);
    t->number = 900;
    PerformAction(t.Get(), host, 0, nullptr);
    EXPECT_EQ(host.Last(), "GoToTextPosition 900");

    t = Target(kLinkScript);
    t->text = Wide("go()");
    PerformAction(t.Get(), host, 5, nullptr);
    EXPECT_EQ(host.Last(), "DispatchWidgetEvent go() 5");

    t = Target(kLinkRecordRow);
    t->text = Wide("t");
    t->number = 8;
    t->secondText = Wide("s");
    PerformAction(t.Get(), host, 1, nullptr);
    EXPECT_EQ(host.Last(), "OpenIndexEntry 8 t 1 s");

    t = Target(kLinkTableSelectionCompact);
    PerformAction(t.Get(), host, 2, nullptr);
    EXPECT_EQ(host.Last(), "OpenLookupResult 2 compact");
}

TEST(LinkActions, NegativeNumberActionPassesAFlaggedMinus) {
    RecordingActionHost host;
    RefPtr<LinkTarget> t = Target(kLinkCoordinates);
    t->SetCoordinates(kDocument, 51, static_cast<uint32_t>(-12));
    EXPECT_TRUE(PerformAction(t.Get(), host, 0, nullptr));
    EXPECT_EQ(host.Last(), "StepPage -2 255");
    t->SetCoordinates(kDocument, 50, 12);
    PerformAction(t.Get(), host, 0, nullptr);
    EXPECT_EQ(host.Last(), "GoToPage 12");
}

TEST(LinkActions, TextActionAndBareAction) {
    RecordingActionHost host;
    RefPtr<LinkTarget> t = Target(kLinkPairText);
    t->objectKind = kIndex;
    t->methodId = 106;
    t->text = Wide("abc");
    PerformAction(t.Get(), host, 0, nullptr);
    EXPECT_EQ(host.Last(), "ViewSearchText abc");
    t = Target(kLinkPair);
    t->objectKind = kHistory;
    t->methodId = 61;
    PerformAction(t.Get(), host, 0, nullptr);
    EXPECT_EQ(host.Last(), "HistoryBack");
    t = Target(kLinkPair);
    t->objectKind = kWindow;
    t->methodId = 86;  // no argument: the shell never sees it
    EXPECT_FALSE(PerformAction(t.Get(), host, 0, nullptr));
}

TEST(LinkActions, WordListEntrySplitsAtTheFirstGraveAccent) {
    RecordingActionHost host;
    RefPtr<LinkTarget> t = Target(kLinkIndexTarget);
    t->text = Wide("dict`ha`t");
    t->secondText = Wide("key");
    t->name = Wide("head");
    t->objectKind = 0x400 | 12;
    t->number = 7;
    PerformAction(t.Get(), host, 0, nullptr);
    EXPECT_EQ(host.Last(), "AddToWordList key|head|oeb:redirect?title=ha`t|dict|12|7");
    t->text = Wide("plain");
    PerformAction(t.Get(), host, 0, nullptr);
    EXPECT_EQ(host.Last(), "AddToWordList key|head|oeb:redirect?title=plain||12|7");
}

}  // namespace
