// Book scripts and link actions reaching the real document controller over fixture books.
#include "reader/book_action_bridge.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "bookfiles/annotation_file.h"
#include "controller_books.h"
#include "core/text.h"
#include "document/location/location.h"
#include "document/markup/link_target.h"
#include "document/sources/document_loader.h"
#include "document/sources/layout_services.h"
#include "document/sources/loader_services.h"
#include "document_upper/forms/form_list.h"
#include "graphics/core/input_event.h"
#include "graphics/widgets/area.h"
#include "layout/page_layout.h"
#include "layout/page_view.h"
#include "layout/table_scroll.h"
#include "paths/app_paths.h"
#include "reader/book_document_controller.h"
#include "reader/book_document_controller_factory.h"
#include "reader/dictionary_lookups.h"
#include "reader/reader_controller.h"
#include "script/script_engine.h"
#include "support/layout/context_canvas.h"
#include "support/platform/temp_device.h"
#include "support/reader/reader_fakes.h"

namespace {

class NoMessages : public LoaderMessages {
public:
    void ShowMessage(uint32_t) override {}
};

struct BridgeTest : ::testing::Test {
    BridgeTest() {
        EXPECT_TRUE(device.ok());
        canvas = fvt::test::NewContextCanvas(240, 320);
        loader = std::make_unique<DocumentLoader>(7);
        loader->SetOptions(&paths, nullptr, nullptr);
        loader->SetMessages(&messages);
        fvt::test::WriteControllerBooks(device);
        controller.reset(
            static_cast<BookDocumentController*>(factory.CreateDocumentController(&heap)));
        controller->SetDocumentLoader(loader.get());
        controller->Page().SetGraphics(fvt::test::CanvasContext(canvas), Rect{0, 0, 240, 320});
        reader.SetShell(&shell);
        bridge = std::make_unique<BookActionBridge>(controller.get(), &reader);
        context.Create();
        bridge->Script().SetContext(&context);
        context.Hosts().AppendObject(&bridge->Script(), 1);
    }
    ~BridgeTest() override {
        context.Hosts().Clear();
        bridge.reset();
        controller.reset();
        loader.reset();
        fvt::test::DeleteContextCanvas(canvas);
    }
    int Run(const char* text, std::u16string* result = nullptr) {
        ScriptCode unit;
        ScriptError err;
        String s;
        s.AppendAscii(text);
        String name;
        name.AppendAscii("t");
        if (!ScriptEngine::CompileText(s, &unit, name, &err)) return -1;
        ScriptValue value = ScriptHeap::NewUndefined();
        int rc =
            ScriptEngine::Run(&context, &unit, nullptr, ScriptHeap::NewUndefined(), &value, &err);
        if (result) heap.ToResultText(value, result);
        heap.Release(value);
        return rc;
    }

    fvt::test::TempDevice device;
    BookDocumentControllerFactory factory;
    fvt::test::ContextCanvas* canvas = nullptr;
    AppPaths paths{Text(), nullptr};
    NoMessages messages;
    std::unique_ptr<DocumentLoader> loader;
    ScriptHeap heap;
    ScriptContext context{&heap};
    std::unique_ptr<BookDocumentController> controller;
    fvt::test::FakeShell shell;
    ReaderController reader;
    std::unique_ptr<BookActionBridge> bridge;
};

TEST_F(BridgeTest, ScriptsTurnThePagesOfTheBook) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\a.prc")));
    ASSERT_EQ(Run("document.goto_page(3)"), 0);
    EXPECT_EQ(controller->GetPageNumber(), 3);
    ASSERT_EQ(Run("document.goto_page_relative(1)"), 0);
    EXPECT_EQ(controller->GetPageNumber(), 4);
    ASSERT_EQ(Run("document.goto_first_page()"), 0);
    EXPECT_EQ(controller->GetPageNumber(), 1);
}

TEST_F(BridgeTest, BookmarkStepsAndRandomEntriesWithoutAnyStayOnThePage) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\a.prc")));
    ASSERT_EQ(Run("document.goto_page(2)"), 0);
    ASSERT_EQ(Run("bookmarks.next(); bookmarks.previous(); document.goto_random_entry('none')"), 0);
    EXPECT_EQ(controller->GetPageNumber(), 2);
}

TEST_F(BridgeTest, LocationAndHistoryFromScripts) {
    std::u16string href;
    EXPECT_EQ(Run("location.href", &href), ScriptErrors::kCannotGet);  // no document yet
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\a.prc")));
    ASSERT_EQ(Run("window.open('\\\\books\\\\b.prc')"), 0);
    ASSERT_EQ(Run("location.href", &href), 0);
    EXPECT_NE(href.find(u"b.prc"), std::u16string::npos);
    ASSERT_EQ(Run("history.back()"), 0);
    ASSERT_EQ(Run("location.href", &href), 0);
    EXPECT_NE(href.find(u"a.prc"), std::u16string::npos);
}

TEST_F(BridgeTest, ABookCannotDialWithoutTheUsersYes) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\a.prc")));
    shell.answer = false;
    ASSERT_EQ(Run("window.dial('5551234')"), 0);
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_NE(shell.messages[0].find(u"5551234"), std::u16string::npos);
}

TEST_F(BridgeTest, AWidgetHandlerThatDoesNotCompileIsReportedOnce) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\a.prc")));
    String result;
    EXPECT_FALSE(bridge->DispatchWidgetEvent(String(u"if ("), 0, &result));
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0], u"Error while parsing script");
}

// The location a script of the controller's own book script reads, as text.
std::u16string Where(BookDocumentController& controller) {
    String text;
    const Location* here = controller.CurrentLocation();
    if (!here || !here->ToString(text, true)) return u"";
    return std::u16string(text.Data(), static_cast<size_t>(text.Length()));
}

TEST_F(BridgeTest, ScriptsReachTheLastPage) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\a.prc")));
    ASSERT_EQ(Run("document.goto_last_page()"), 0);
    ASSERT_TRUE(controller->Page().Layout()->IsLastPageKnown());
    EXPECT_EQ(controller->GetPageNumber(),
              static_cast<int32_t>(controller->Page().Layout()->PageCount()));
    EXPECT_GT(controller->GetPageNumber(), 3);
}

// A handler that opens another book still runs in the page it started in (its script context,
// form list and controls stay); the book opens once it has returned.
TEST_F(BridgeTest, ANavigationAskedInsideAHandlerWaitsUntilItReturns) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\a.prc")));
    BookActionBridge* actions = controller->Scripting().Actions();
    ASSERT_NE(actions, nullptr);
    uint32_t entries = controller->History().Count();
    String result;
    ASSERT_TRUE(actions->DispatchWidgetEvent(
        String(u"window.open('\\\\books\\\\b.prc'); location.href"), 0, &result));
    EXPECT_NE(std::u16string(result.Data(), static_cast<size_t>(result.Length())).find(u"a.prc"),
              std::u16string::npos);
    EXPECT_FALSE(actions->ScriptRunning());
    EXPECT_NE(Where(*controller).find(u"b.prc"), std::u16string::npos);
    EXPECT_EQ(controller->History().Count(), entries + 1);
}

TEST_F(BridgeTest, InAWindowTheNavigationRunsOnceFromTheCommandQueue) {
    fvt::test::ManualTimerHost host;
    reader.SetTimerHost(&host);
    controller->SetReaderController(&reader);
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\a.prc")));
    BookActionBridge* actions = controller->Scripting().Actions();
    ASSERT_NE(actions, nullptr);
    uint32_t entries = controller->History().Count();
    ASSERT_TRUE(actions->DispatchWidgetEvent(String(u"history.back(); window.open('\\\\books\\\\b.prc')"),
                                             0, nullptr));
    EXPECT_NE(Where(*controller).find(u"a.prc"), std::u16string::npos);
    host.FireAll(reader.Timers());
    EXPECT_NE(Where(*controller).find(u"b.prc"), std::u16string::npos);
    EXPECT_EQ(controller->History().Count(), entries + 1);
    host.FireAll(reader.Timers());  // nothing runs twice
    EXPECT_EQ(controller->History().Count(), entries + 1);
    EXPECT_TRUE(reader.Queue().IsEmpty());
    controller->Shutdown();
    reader.SetTimerHost(nullptr);
}

// The page's forms run their handlers as the book's scripts; a link a form opens (a submitted
// query) waits for the queue, since the form and its controls are still running.
TEST_F(BridgeTest, FormsRunHandlersThroughTheControllerAndTheirLinksWait) {
    fvt::test::ManualTimerHost host;
    reader.SetTimerHost(&host);
    controller->SetReaderController(&reader);
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\a.prc")));
    FormListOwner* owner = controller->Forms().List().Owner();
    ASSERT_NE(owner, nullptr);
    EXPECT_EQ(owner->Timers(), &reader.Timers());
    String result;
    ASSERT_TRUE(owner->RunHandler(nullptr, String(u"document.goto_page(3); 7"), 0, &result));
    EXPECT_EQ(std::u16string(result.Data(), static_cast<size_t>(result.Length())), u"7");
    EXPECT_EQ(controller->GetPageNumber(), 3);
    ASSERT_TRUE(owner->OpenLink(String(u"\\books\\b.prc"), true));
    EXPECT_NE(Where(*controller).find(u"a.prc"), std::u16string::npos);
    host.FireAll(reader.Timers());
    EXPECT_NE(Where(*controller).find(u"b.prc"), std::u16string::npos);
    controller->Shutdown();
    reader.SetTimerHost(nullptr);
}

// A tapped link whose action is a script runs it as the book's script.
TEST_F(BridgeTest, ATappedScriptLinkRunsItsScript) {
    fvt::test::WriteScriptLinkBook(device);
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\scripted.prc")));
    AreaArray* marks = nullptr;
    controller->PaintPage();  // marks are built once the page is painted
    ASSERT_TRUE(controller->Page().Layout()->GetCurrentBlockMarks(marks));
    int32_t script = -1;
    for (int32_t i = 0; marks && i < marks->Count(); ++i) {
        Area* area = marks->At(i);
        if (area && area->link && area->link->kind == kLinkScript) script = i;
    }
    ASSERT_GE(script, 0);
    controller->Page().Layout()->SetCurrentMark(static_cast<uint32_t>(script), false, false);
    EXPECT_EQ(controller->GetPageNumber(), 1);
    EXPECT_TRUE(controller->ExecuteCommand(90));
    EXPECT_GT(controller->GetPageNumber(), 3);
    EXPECT_EQ(controller->GetPageNumber(),
              static_cast<int32_t>(controller->Page().Layout()->PageCount()));
}

}  // namespace

namespace {

TEST_F(BridgeTest, IndexSearchesAndQueriesFromScriptsOpenRecordSetPages) {
    fvt::test::WriteRequestsBook(device);
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\requests.prc")));
    ASSERT_EQ(Run("window.index_search('words', '', 'ba')"), 0);
    ASSERT_EQ(controller->CurrentView(), BookDocumentController::kRecordSetView);
    EXPECT_TRUE(controller->Records().Page()->View().SearchText() == String(u"ba"));
    ASSERT_EQ(Run("window.sql_search(\"SELECT * FROM words WHERE orth LIKE 'c%'\", 'C')"), 0);
    String row;
    ASSERT_TRUE(controller->Records().Page()->View().RowText(0, row));
    EXPECT_TRUE(row == String(u"cat"));
    // Back through the history to the index page.
    ASSERT_EQ(Run("history.back()"), 0);
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kRecordSetView);
    EXPECT_EQ(controller->CurrentString().Data()[4], u'i');  // "$fvtindex..."
    // A table the book does not name opens nothing.
    EXPECT_EQ(Run("window.index_search('none')"), 0);
    EXPECT_EQ(controller->Document(), nullptr);
}

TEST_F(BridgeTest, AnIndexSearchAskedInsideAHandlerWaitsForTheCommandQueue) {
    fvt::test::ManualTimerHost host;
    reader.SetTimerHost(&host);
    controller->SetReaderController(&reader);
    fvt::test::WriteRequestsBook(device);
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\requests.prc")));
    BookActionBridge* actions = controller->Scripting().Actions();
    ASSERT_NE(actions, nullptr);
    // The handler's page stays while the handler runs.
    ASSERT_TRUE(actions->DispatchWidgetEvent(String(u"window.index_search('words', '', 'ba')"),
                                             0, nullptr));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kTextPage);
    host.FireAll(reader.Timers());
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kRecordSetView);
    // So does a request page (the search history).
    ASSERT_TRUE(controller->OpenLocation(String(u"##-pos10"), false, false));  // a text page
    ASSERT_EQ(controller->CurrentView(), BookDocumentController::kTextPage);
    ASSERT_TRUE(controller->Scripting().Actions()->DispatchWidgetEvent(
        String(u"window.display_search_history()"), 0, nullptr));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kTextPage);
    host.FireAll(reader.Timers());
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kSearchHistoryView);
    controller->Shutdown();
    reader.SetTimerHost(nullptr);
}

// A dictionary's "manual search" link: open the dictionary, then its default table's index page
// searched for the word.
TEST_F(BridgeTest, AManualSearchOpensTheDictionarysIndexSearch) {
    fvt::test::ManualTimerHost host;
    reader.SetTimerHost(&host);
    controller->SetReaderController(&reader);
    fvt::test::WriteRequestsBook(device);
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\a.prc")));
    BookActionBridge* actions = controller->Scripting().Actions();
    ASSERT_NE(actions, nullptr);
    ASSERT_TRUE(actions->DispatchWidgetEvent(
        String(u"window.open('\\\\books\\\\requests.prc','');index_search('','','ba')"), 0,
        nullptr));
    host.FireAll(reader.Timers());
    EXPECT_NE(Where(*controller).find(u"requests.prc"), std::u16string::npos);
    ASSERT_EQ(controller->CurrentView(), BookDocumentController::kRecordSetView);
    EXPECT_TRUE(controller->Records().Page()->View().SearchText() == String(u"ba"));
    controller->Shutdown();
    reader.SetTimerHost(nullptr);
}

TEST_F(BridgeTest, CurrentIndexEntryReadsTheBooksTable) {
    fvt::test::WriteRequestsBook(device);
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\requests.prc")));
    std::u16string orth;
    ASSERT_EQ(Run("var e = window.current_index_entry('words'); e.orth", &orth), 0);
    EXPECT_EQ(orth, u"\"apple\"");
    ASSERT_EQ(Run("window.current_index_entry('none') == null", &orth), 0);
    EXPECT_EQ(orth, u"true");
}

TEST_F(BridgeTest, ReplacingTheLocationLeavesNoHistoryEntry) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\a.prc")));
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\b.prc")));
    const uint32_t before = controller->HistoryPosition();
    ASSERT_EQ(Run("location.replace('\\\\books\\\\covered.prc')"), 0);
    EXPECT_EQ(controller->HistoryPosition(), before);
    EXPECT_EQ(controller->History().GetMode(), 0u);  // the mode is put back
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\b.prc")));
    EXPECT_EQ(controller->HistoryPosition(), before + 1);
}

}  // namespace

namespace {

// The wide table at the start of the tides book, drawn so that it has its scroll entry and
// arrow marks.
struct TideTable {
    PageSlot* slot = nullptr;
    uint32_t id = 0;
    const TableScrollEntry* Entry() const {
        return slot && slot->record && !slot->record->tables.empty() ? &slot->record->tables[0]
                                                                     : nullptr;
    }
};

TideTable DrawTides(BookDocumentController& controller) {
    TideTable t;
    controller.PaintPage();
    PageLayout* layout = controller.Page().Layout();
    t.slot = layout ? layout->CurrentPageSlot() : nullptr;
    if (t.Entry()) t.id = t.Entry()->position;
    return t;
}

Point MarkCentre(PageSlot& slot, const std::u16string& link) {
    for (int32_t i = 0; i < slot.marks.Count(); ++i) {
        Area* area = slot.marks.At(i);
        const LinkTarget* target = area ? area->link.Get() : nullptr;
        if (!target || std::u16string(target->text.Data(),
                                      static_cast<size_t>(target->text.Length())) != link)
            continue;
        Rect r;
        area->GetBounds(r);
        return Point{r.x + r.width / 2, r.y + r.height / 2};
    }
    return Point{-1, -1};
}

}  // namespace

TEST_F(BridgeTest, MoveTableSelectsAndScrollsThePagesTable) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\tides.prc")));
    TideTable t = DrawTides(*controller);
    ASSERT_NE(t.Entry(), nullptr);
    std::string id = std::to_string(t.id);
    ASSERT_EQ(Run(("move_table(" + id + ")").c_str()), 0);
    EXPECT_EQ(t.Entry()->selected, 1);
    ASSERT_EQ(Run(("move_table(" + id + ",40)").c_str()), 0);
    EXPECT_EQ(t.Entry()->x, 40);
    ASSERT_EQ(Run(("move_table(" + id + ",-40)").c_str()), 0);
    EXPECT_EQ(t.Entry()->x, 0);
    ASSERT_EQ(Run(("move_table(" + id + ")").c_str()), 0);
    EXPECT_EQ(t.Entry()->selected, 0);
    // Another id names no table of the page: nothing moves.
    ASSERT_EQ(Run(("move_table(" + std::to_string(t.id + 1) + ",40)").c_str()), 0);
    EXPECT_EQ(t.Entry()->x, 0);
}

TEST_F(BridgeTest, TapsOnATablesArrowScrollItAndOnTheTableSelectIt) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\tides.prc")));
    PositionViewElement* view = controller->Page().View();
    ASSERT_NE(view, nullptr);
    TideTable t = DrawTides(*controller);
    ASSERT_NE(t.Entry(), nullptr);
    std::string ascii = "move_table(" + std::to_string(t.id) + ",40)";
    std::u16string right(ascii.begin(), ascii.end());
    Point arrow = MarkCentre(*t.slot, right);
    ASSERT_GE(arrow.x, 0) << "no right arrow mark";
    InputEvent tap = InputEvent::Pen(kPenUp, arrow);
    EXPECT_TRUE(view->HandleEvent(tap));
    EXPECT_TRUE(controller->ExecuteCommand(90));  // what the tap posted
    EXPECT_EQ(t.Entry()->x, 40);
    EXPECT_EQ(t.Entry()->selected, 0);

    // Drawing again makes the marks again; a tap between the arrows selects the table.
    t = DrawTides(*controller);
    const Rect& box = t.slot->contents.Table(0)->box;
    InputEvent inside = InputEvent::Pen(kPenUp, Point{box.x + box.width / 2, box.y + 2});
    EXPECT_TRUE(view->HandleEvent(inside));
    ASSERT_NE(t.Entry(), nullptr);
    EXPECT_EQ(t.Entry()->selected, 1);
    EXPECT_EQ(t.Entry()->x, 40);
    EXPECT_TRUE(view->HandleEvent(inside));
    EXPECT_EQ(t.Entry()->selected, 0);
}

// Without a selection, the book's script reads the word looked up last, with its language.
TEST_F(BridgeTest, SelectionTextFallsBackToTheLastLookedUpWord) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\a.prc")));
    std::u16string out;
    ASSERT_EQ(Run("selection.text == null", &out), 0);
    EXPECT_EQ(out, u"true");
    reader.Lookups().SetLastWord(String(u"maison"), 12);
    ASSERT_EQ(Run("selection.text + '/' + selection.language", &out), 0);
    EXPECT_EQ(out, u"\"maison/fr\"");
}

// bookmarks.Remove(n) deletes that annotation of the book shown; another index does nothing.
TEST_F(BridgeTest, ScriptsRemoveAnAnnotation) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\a.prc")));
    AnnotationFile* file = controller->CurrentAnnotationFile();
    ASSERT_NE(file, nullptr);
    const std::int32_t added = file->AddBookmark(AnnotationFile::kBookmark, 10, 10, 0, 0, 0, 0);
    ASSERT_GE(added, 0);
    EXPECT_EQ(file->BookmarkCount(), 1u);
    EXPECT_NE(Run(("bookmarks.Remove(" + std::to_string(added + 5) + ")").c_str()), -1);
    EXPECT_EQ(file->BookmarkCount(), 1u);
    ASSERT_EQ(Run(("bookmarks.Remove(" + std::to_string(added) + ")").c_str()), 0);
    EXPECT_EQ(file->BookmarkCount(), 0u);
}

// bookmarks.goto('', n) turns to annotation n of the book shown.
TEST_F(BridgeTest, ScriptsGoToAnAnnotation) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\a.prc")));
    AnnotationFile* file = controller->CurrentAnnotationFile();
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(Run("document.goto_page(4)"), 0);
    const std::int32_t far = controller->GetPageStart();
    ASSERT_GT(far, 0);
    ASSERT_EQ(Run("document.goto_page(1)"), 0);
    const std::int32_t added =
        file->AddBookmark(AnnotationFile::kBookmark, static_cast<std::uint32_t>(far),
                          static_cast<std::uint32_t>(far), 0, 0, 0, 0);
    ASSERT_GE(added, 0);
    ASSERT_EQ(Run(("bookmarks.goto('', " + std::to_string(added) + ")").c_str()), 0);
    EXPECT_EQ(controller->GetPageNumber(), 4);
}

TEST_F(BridgeTest, IndexSeekSearchesTheRecordSetPageShownAndNoOtherPage) {
    fvt::test::WriteRequestsBook(device);
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\requests.prc")));
    ASSERT_EQ(Run("index.seek('c')"), 0);  // a text page has no search field
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kTextPage);
    ASSERT_EQ(Run("window.index_search('words', '', 'ba')"), 0);
    ASSERT_EQ(controller->CurrentView(), BookDocumentController::kRecordSetView);
    ASSERT_EQ(Run("index.seek('c')"), 0);
    EXPECT_TRUE(controller->Records().Page()->View().SearchText() == String(u"c"));
}

TEST_F(BridgeTest, GoToCheckpointReturnsToThePageMarkedBeforeItWasLeft) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\a.prc")));
    ASSERT_EQ(Run("document.goto_page(3)"), 0);
    std::u16string found;
    ASSERT_EQ(Run("history.goto_checkpoint()", &found), 0);
    EXPECT_EQ(found, u"false");  // nothing marked yet
    ASSERT_EQ(Run("history.set_checkpoint()"), 0);
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\b.prc")));
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\covered.prc")));
    ASSERT_EQ(Run("history.goto_checkpoint()", &found), 0);
    EXPECT_EQ(found, u"true");
    EXPECT_NE(Where(*controller).find(u"a.prc"), std::u16string::npos);
    EXPECT_EQ(controller->GetPageNumber(), 3);
}

TEST_F(BridgeTest, GoToGuideRunsTheBooksGuideReferenceByNumber) {
    fvt::test::WriteRequestsBook(device);
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\requests.prc")));
    ASSERT_EQ(controller->GetPageNumber(), 1);
    ASSERT_EQ(Run("document.goto_guide(0)"), 0);  // "toc", at 2500
    const uint32_t start = controller->Page().Layout()->CurrentPageStart();
    EXPECT_GT(controller->GetPageNumber(), 1);
    EXPECT_LE(start, 2500u);
    ASSERT_EQ(Run("document.goto_guide(1)"), 0);  // the book has one guide reference
    EXPECT_EQ(controller->Page().Layout()->CurrentPageStart(), start);
}

// A look-up link (an index-table row) in a book page opens the entry as the look-up pop-ups do:
// this entry has a text position in its book.
TEST_F(BridgeTest, AnIndexEntryLinkInABookPageOpensTheEntrysPlace) {
    fvt::test::WritePlacesBook(device);
    reader.SetDocumentLoader(loader.get());
    reader.SetDocumentController(controller.get());
    controller->SetReaderController(&reader);
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\places.prc")));
    ASSERT_EQ(controller->GetPageNumber(), 1);
    RefPtr<LinkTarget> link = RefPtr<LinkTarget>::Adopt(new LinkTarget);
    link->kind = kLinkRecordRow;
    link->text = String(u"\\books\\places.prc");
    link->number = 0;
    EXPECT_TRUE(controller->PerformAction(link.Get(), 0));
    EXPECT_GT(controller->GetPageNumber(), 1);
    EXPECT_LE(controller->Page().Layout()->CurrentPageStart(), 4000u);
    controller->Shutdown();
}
