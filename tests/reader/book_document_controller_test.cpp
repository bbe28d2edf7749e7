// The document controller end to end over fixture books on a temporary device: a book opens at
// its saved position, at "start" or at its cover; the side file counts the openings; links
// within and across books, back and forward; a failed open leaves the history alone; the
// reading position survives closing and reopening.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "bookfiles/annotation_file.h"
#include "bookfiles/configuration_store.h"
#include "core/byte_stream.h"
#include "core/text.h"
#include "document/sources/document_loader.h"
#include "document/sources/layout_services.h"
#include "document/sources/loader_services.h"
#include "document/markup/link_target.h"
#include "graphics/widgets/area.h"
#include "graphics/widgets/list_popup.h"
#include "layout/page_layout.h"
#include "layout/page_view.h"
#include "layout/searcher.h"
#include "database/resource.h"
#include "paths/app_paths.h"
#include "platform/shell/shell.h"
#include "reader/book_document_controller.h"
#include "reader/book_document_controller_factory.h"
#include "reader/reader_host.h"
#include "reader/reader_settings.h"
#include "controller_books.h"
#include "support/layout/context_canvas.h"
#include "support/platform/temp_device.h"

namespace {

std::u16string U(const String& s) { return std::u16string(s.Data(), static_cast<size_t>(s.Length())); }

class CountingMessages : public LoaderMessages {
public:
    void ShowMessage(uint32_t id) override { shown.push_back(id); }
    std::vector<uint32_t> shown;
};

struct DocumentControllerTest : ::testing::Test {
    DocumentControllerTest() {
        EXPECT_TRUE(device.ok());
        EXPECT_NE(LayoutEngineFactory::installed, nullptr);  // the controllers' factory's
        canvas = fvt::test::NewContextCanvas(240, 320);
        loader = std::make_unique<DocumentLoader>(7);
        loader->SetOptions(&paths, nullptr, nullptr);
        loader->SetMessages(&messages);
        fvt::test::WriteControllerBooks(device);
        NewController();
    }
    ~DocumentControllerTest() override {
        controller.reset();
        loader.reset();
        fvt::test::DeleteContextCanvas(canvas);
    }

    void NewController() {
        controller.reset(static_cast<BookDocumentController*>(factory.CreateDocumentController(nullptr)));
        controller->SetDocumentLoader(loader.get());
        controller->Page().SetGraphics(fvt::test::CanvasContext(canvas), Rect{0, 0, 240, 320});
    }
    bool Open(const char16_t* url) { return controller->ActivateLink(String(url)); }
    static Text Path(const char16_t* path) {
        Text out;
        EXPECT_TRUE(out.FromString(String(path)));
        return out;
    }
    std::u16string Current() {
        const Location* l = controller->CurrentLocation();
        Text file;
        String s;
        if (l && l->ToFileName(file)) file.ToWide(s);
        return U(s);
    }
    // Book A's side file with a position whose state the view cannot take (another version);
    // a fresh controller follows.
    void StoreUnreadablePosition() {
        AnnotationFile side;
        ASSERT_TRUE(Open(u"\\books\\a.prc"));  // makes the side file
        controller->Shutdown();
        ASSERT_EQ(side.OpenExisting("\\books\\a.prc", 0), 0);
        const uint8_t bad[12] = {'E', 'B', 'A', 'R', 0, 0, 0, 9, 0, 0, 0, 0};
        ASSERT_EQ(side.SetReadingPosition(5, 4321, bad, sizeof bad), 0);
        ASSERT_EQ(side.Flush(), 0);
        ASSERT_EQ(side.Close(), 0);
        NewController();
    }
    // The covered book read to its third page, then its cover shown; start is that page's.
    void LookAtTheCoverFromPageThree(int32_t& start) {
        ASSERT_TRUE(Open(u"\\books\\covered.prc"));
        controller->StepPage(PageStepCode::kNextPage);
        ASSERT_TRUE(controller->StepPage(PageStepCode::kNextPage));
        start = controller->GetPageStart();
        ASSERT_TRUE(controller->OpenReference(String(u"$cover")));
    }
    std::unique_ptr<AnnotationFile> SideFile(const char* book) {
        auto f = std::make_unique<AnnotationFile>();
        if (f->OpenExisting(book, 1) != 0) return nullptr;
        return f;
    }

    fvt::test::TempDevice device;
    BookDocumentControllerFactory factory;
    fvt::test::ContextCanvas* canvas = nullptr;
    AppPaths paths{Text(), nullptr};
    CountingMessages messages;
    std::unique_ptr<DocumentLoader> loader;
    std::unique_ptr<BookDocumentController> controller;
};

TEST_F(DocumentControllerTest, ABookOpensAtItsFirstPageAndCountsTheOpening) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    EXPECT_EQ(Current(), u"\\books\\a.prc");
    EXPECT_EQ(controller->ViewMode(), 1u);
    ASSERT_NE(controller->Page().Layout(), nullptr);
    EXPECT_EQ(static_cast<uint32_t>(controller->GetPageStart()),
              controller->Page().Layout()->FirstPageStart());
    AnnotationFile* side = controller->CurrentAnnotationFile();
    ASSERT_NE(side, nullptr);
    EXPECT_EQ(side->GetOpenCount(), 1u);
    EXPECT_GT(side->GetReadingTime(), 0u);
    controller->Shutdown();
    EXPECT_EQ(loader->SideFileCount(), 0u);  // closing always lets the side file go
    NewController();
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    EXPECT_EQ(controller->CurrentAnnotationFile()->GetOpenCount(), 2u);
}

TEST_F(DocumentControllerTest, TheReadingPositionSurvivesClosingAndReopening) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    ASSERT_TRUE(controller->StepPage(PageStepCode::kNextPage));
    ASSERT_TRUE(controller->StepPage(PageStepCode::kNextPage));
    int32_t start = controller->GetPageStart();
    int32_t page = controller->GetPageNumber();
    ASSERT_GT(start, 0);
    controller->Shutdown();
    auto side = SideFile("\\books\\a.prc");
    ASSERT_NE(side, nullptr);
    uint32_t word = 0, position = 0;
    ASSERT_TRUE(side->GetReadingPosition(&word, &position, nullptr));
    EXPECT_EQ(position, static_cast<uint32_t>(start));
    side.reset();
    NewController();
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    EXPECT_EQ(controller->GetPageStart(), start);
    EXPECT_EQ(controller->GetPageNumber(), page);
}

TEST_F(DocumentControllerTest, ACoveredBookWithoutPlaceOrStartOpensAtItsCover) {
    ASSERT_TRUE(Open(u"\\books\\covered.prc"));
    EXPECT_EQ(U(controller->CurrentString()), u"$cover");
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kCoverView);
    // Forward from the cover shows the text.
    EXPECT_TRUE(controller->StepPage(PageStepCode::kNextPage));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kTextPage);
    EXPECT_EQ(static_cast<uint32_t>(controller->GetPageStart()),
              controller->Page().Layout()->FirstPageStart());
    // Back on the first page shows the cover again.
    EXPECT_TRUE(controller->StepPage(PageStepCode::kPageBefore));
    EXPECT_EQ(U(controller->CurrentString()), u"$cover");
}

TEST_F(DocumentControllerTest, ABookWithAStartReferenceOpensThere) {
    ASSERT_TRUE(Open(u"\\books\\started.prc"));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kTextPage);
    EXPECT_EQ(controller->GetPageStart(), 2000);
    // "start" is not the saved place: nothing is stored over an empty position.
    controller->Shutdown();
    auto side = SideFile("\\books\\started.prc");
    ASSERT_NE(side, nullptr);
    uint32_t word = 0, position = 0;
    EXPECT_FALSE(side->GetReadingPosition(&word, &position, nullptr) && position != 0);
}

TEST_F(DocumentControllerTest, LookingAtTheCoverKeepsTheStoredTextPosition) {
    int32_t start = -1;
    ASSERT_NO_FATAL_FAILURE(LookAtTheCoverFromPageThree(start));
    controller->Shutdown();
    NewController();
    ASSERT_TRUE(Open(u"\\books\\covered.prc"));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kTextPage);
    EXPECT_EQ(controller->GetPageStart(), start);
}

TEST_F(DocumentControllerTest, RefreshFromTheCoverKeepsThePage) {
    int32_t start = -1;
    ASSERT_NO_FATAL_FAILURE(LookAtTheCoverFromPageThree(start));
    controller->Refresh();
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kTextPage);
    EXPECT_EQ(controller->GetPageStart(), start);
}

TEST_F(DocumentControllerTest, LinksAcrossBooksGoBackAndForward) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    ASSERT_TRUE(controller->StepPage(PageStepCode::kNextPage));
    int32_t start = controller->GetPageStart();
    ASSERT_TRUE(Open(u"b.prc"));  // relative to the current book
    EXPECT_EQ(Current(), u"\\books\\b.prc");
    EXPECT_EQ(controller->History().Count(), 1u);
    ASSERT_TRUE(controller->HistoryBack(false));
    EXPECT_EQ(Current(), u"\\books\\a.prc");
    EXPECT_EQ(controller->GetPageStart(), start);
    ASSERT_TRUE(controller->HistoryForward());
    EXPECT_EQ(Current(), u"\\books\\b.prc");
    EXPECT_FALSE(controller->HistoryForward());
}

TEST_F(DocumentControllerTest, ALinkWithinTheBookGoesToItsPositionAndBack) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    ASSERT_TRUE(Open(u"##-pos3000"));
    EXPECT_EQ(controller->GetPageStart(), 3000);
    ASSERT_TRUE(controller->HistoryBack(false));
    EXPECT_EQ(static_cast<uint32_t>(controller->GetPageStart()),
              controller->Page().Layout()->FirstPageStart());
    ASSERT_TRUE(controller->HistoryForward());
    EXPECT_EQ(controller->GetPageStart(), 3000);
}

// A list pop-up's state record is kept with the page it was shown over: a link followed from
// it leaves it behind (the new page keeps none), and Back brings the record back with the page.
// Another page reached from there starts without one.
TEST_F(DocumentControllerTest, AListPopupStateGoesWithItsPageThroughTheHistory) {
    auto own = [&] {
        const ByteStream& s = controller->Page().View()->OwnState();
        return std::string(reinterpret_cast<const char*>(s.Data()), s.Size());
    };
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    ASSERT_NE(controller->Page().View(), nullptr);
    ByteStream state;
    const std::string record = "LTTSLTTSLTTS" + std::string(24, '\0');
    ASSERT_TRUE(state.WriteBytes(record.data(), static_cast<uint32_t>(record.size())));
    controller->ListPopupHost().KeepPopupState(state);
    ASSERT_TRUE(Open(u"##-pos3000"));
    controller->ListPopupHost().ClearPopupState();
    EXPECT_EQ(own(), "");
    ASSERT_TRUE(controller->HistoryBack(false));
    EXPECT_EQ(own(), record);
    // Without a surface nothing is shown, and the record stays for a later visit.
    EXPECT_FALSE(controller->RestoreListPopup());
    ASSERT_TRUE(controller->HistoryForward());
    EXPECT_EQ(own(), "");
}

TEST_F(DocumentControllerTest, AFailedOpenLeavesTheHistoryAsItWas) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    ASSERT_TRUE(Open(u"\\books\\b.prc"));
    uint32_t count = controller->History().Count();
    uint32_t position = controller->HistoryPosition();
    EXPECT_FALSE(Open(u"\\books\\missing.prc"));
    EXPECT_EQ(controller->History().Count(), count);
    EXPECT_EQ(controller->HistoryPosition(), position);
    EXPECT_FALSE(controller->History().CanForward());
    EXPECT_EQ(Current(), u"\\books\\b.prc");
    // Told once: by the loader, or else by the controller.
    EXPECT_EQ(controller->Reports().size() + messages.shown.size(), 1u);
}

TEST_F(DocumentControllerTest, WebLinksGoToTheBrowserAndLeaveTheBookOpen) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    fvt::ClearShellLog();
    EXPECT_TRUE(Open(u"http://example.org/page"));
    ASSERT_EQ(fvt::ShellLog().size(), 1u);
    EXPECT_NE(fvt::ShellLog()[0].find("http://example.org/page"), std::string::npos);
    EXPECT_EQ(Current(), u"\\books\\a.prc");
    EXPECT_EQ(controller->History().Count(), 0u);
}

TEST_F(DocumentControllerTest, BackToOtherDocumentSkipsEntriesOfTheSameBook) {
    ASSERT_TRUE(Open(u"\\books\\b.prc"));
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    ASSERT_TRUE(Open(u"##-pos2000"));
    ASSERT_TRUE(Open(u"##-pos4000"));
    EXPECT_TRUE(controller->BackToOtherDocument());
    EXPECT_EQ(Current(), u"\\books\\b.prc");
}

TEST_F(DocumentControllerTest, ReloadKeepsThePlace) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    ASSERT_TRUE(controller->StepPage(PageStepCode::kNextPage));
    int32_t start = controller->GetPageStart();
    ASSERT_TRUE(controller->Reload());
    EXPECT_EQ(controller->GetPageStart(), start);
}

// Without graphics no layout is made: the text page has no place for a history state to keep.
TEST_F(DocumentControllerTest, AHistoryStateFromTheLayoutNeedsALaidOutPage) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    HistoryEntry entry;
    EXPECT_TRUE(controller->SaveHistoryState(entry, true));
    controller->Shutdown();
    controller.reset(
        static_cast<BookDocumentController*>(factory.CreateDocumentController(nullptr)));
    controller->SetDocumentLoader(loader.get());
    Open(u"\\books\\a.prc");
    ASSERT_NE(controller->Document(), nullptr);
    ASSERT_EQ(controller->Page().Layout(), nullptr);
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kTextPage);
    EXPECT_FALSE(controller->SaveHistoryState(entry, true));
}

TEST_F(DocumentControllerTest, WithoutADocumentPositionsAreUnknown) {
    EXPECT_EQ(controller->GetPageStart(), -1);
    EXPECT_EQ(controller->GetPageNumber(), 0);
    EXPECT_EQ(controller->ViewMode(), 7u);
    EXPECT_FALSE(controller->StepPage(PageStepCode::kNextPage));
    String text;
    EXPECT_FALSE(controller->PositionText(text));
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_FALSE(controller->HistoryBack(true));
}

TEST_F(DocumentControllerTest, ThePositionLineNamesBookAndKey) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    String text;
    ASSERT_TRUE(controller->PositionText(text));
    EXPECT_EQ(U(text).substr(0, 10), u"12\tBook A:");
    EXPECT_EQ(U(text).substr(10, 8), u"12345678");  // the book's unique id
}

TEST_F(DocumentControllerTest, TheLibraryPageIsABuiltInPage) {
    EXPECT_TRUE(Open(u"oeb:library"));
    EXPECT_EQ(controller->CurrentLocation(), nullptr);
    // The bookmarks page needs annotations.
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    EXPECT_FALSE(Open(u"oeb:bookmarks"));
    ASSERT_FALSE(controller->Reports().empty());
    EXPECT_EQ(controller->Reports().back(), 5263u);
}

// What the library and the annotations list ask for: a location without a request opens as a
// followed link does, as a step in the history.
TEST_F(DocumentControllerTest, ALocationWithoutARequestOpensAsALinkDoes) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    ASSERT_TRUE(controller->StepPage(PageStepCode::kNextPage));
    const int32_t start = controller->GetPageStart();
    Location b;  // as the library builds it, from the file's path
    ASSERT_TRUE(b.ParseText(Path(u"\\books\\b.prc")));
    ASSERT_TRUE(controller->OpenWithQuery(b, 0, 0));
    EXPECT_EQ(Current(), u"\\books\\b.prc");
    EXPECT_EQ(controller->CurrentAnnotationFile()->GetOpenCount(), 1u);
    ASSERT_TRUE(controller->HistoryBack(false));
    EXPECT_EQ(Current(), u"\\books\\a.prc");
    EXPECT_EQ(controller->GetPageStart(), start);
    Location at;
    at.CopyFrom(*controller->CurrentLocation());
    ASSERT_TRUE(at.SetPositionAnchor(3000));
    ASSERT_TRUE(controller->OpenWithQuery(at, 0, 0));
    EXPECT_EQ(controller->GetPageStart(), 3000);
    Location missing;
    ASSERT_TRUE(missing.ParseText(Path(u"\\books\\missing.prc")));
    EXPECT_FALSE(controller->OpenWithQuery(missing, 0, 0));
    EXPECT_EQ(controller->GetPageStart(), 3000);
}

// Back from the library to the book on show: the page read, not the first page, the cover or
// the older position in the side file.
TEST_F(DocumentControllerTest, TheBookOnShowOpenedAgainStaysAtThePageRead) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    ASSERT_TRUE(controller->StepPage(PageStepCode::kNextPage));
    controller->SaveReadingPosition(false);  // an older place in the side file
    ASSERT_TRUE(controller->StepPage(PageStepCode::kNextPage));
    ASSERT_TRUE(controller->StepPage(PageStepCode::kNextPage));
    const int32_t start = controller->GetPageStart();
    ASSERT_TRUE(Open(u"oeb:library"));
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    EXPECT_EQ(controller->GetPageStart(), start);
    EXPECT_EQ(controller->CurrentAnnotationFile()->GetOpenCount(), 2u);
    // A covered book read past its cover, with nothing stored yet.
    ASSERT_TRUE(Open(u"\\books\\covered.prc"));
    ASSERT_TRUE(controller->StepPage(PageStepCode::kNextPage));
    ASSERT_TRUE(controller->StepPage(PageStepCode::kNextPage));
    const int32_t covered = controller->GetPageStart();
    ASSERT_TRUE(Open(u"oeb:library"));
    ASSERT_TRUE(Open(u"\\books\\covered.prc"));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kTextPage);
    EXPECT_EQ(controller->GetPageStart(), covered);
    // An anchor still goes where it says.
    ASSERT_TRUE(Open(u"##-pos3000"));
    EXPECT_EQ(controller->GetPageStart(), 3000);
}

}  // namespace

namespace {

// The run marker: a start after an orderly end reopens the last book; after an abnormal end
// (marker still 1) the library; the marker is written before the reopen is tried.
struct StartTest : DocumentControllerTest {
    StartTest() {
        store = std::make_unique<ConfigurationStore>();
        EXPECT_EQ(store->OpenDefault("\\config.fvt", 1), 0);
        controller->SetSettings(&settings);
        controller->SetRunMarkerStore(store.get());
    }
    ~StartTest() override {
        controller.reset();
        store.reset();
    }
    ReaderSettings settings;
    std::unique_ptr<ConfigurationStore> store;
};

class MarkerWatch : public LoaderMessages, public AppShellEvents {
public:
    void ShowMessage(uint32_t) override { ++boxes; }
    void OnCommandNotice(DocumentController*, int32_t, uint32_t) override {}
    // The reopened book is shown: the marker as the reopen saw it.
    void OnDocumentReady(DocumentController*, uint32_t) override {
        markerSeen = store ? store->GetRunMarker() : 99;
    }
    ConfigurationStore* store = nullptr;
    uint32_t markerSeen = 77;
    int boxes = 0;
};

TEST_F(StartTest, AfterAnOrderlyEndTheLastBookReopens) {
    store->SetRunMarker(0);
    settings.SetLastBook(String(u"\\books\\a.prc"));
    EXPECT_TRUE(controller->Start(false));
    EXPECT_EQ(Current(), u"\\books\\a.prc");
    EXPECT_EQ(store->GetRunMarker(), 1u);
    controller->Shutdown();
    EXPECT_EQ(store->GetRunMarker(), 0u);
}

TEST_F(StartTest, AfterACrashTheLibraryOpensInstead) {
    store->SetRunMarker(1);
    settings.SetLastBook(String(u"\\books\\a.prc"));
    EXPECT_TRUE(controller->Start(false));
    EXPECT_EQ(controller->CurrentLocation(), nullptr);
}

TEST_F(StartTest, TheMarkerIsWrittenBeforeTheReopen) {
    MarkerWatch watch;
    watch.store = store.get();
    loader->SetMessages(&watch);
    controller->SetEventSink(&watch, 0);
    store->SetRunMarker(0);
    settings.SetLastBook(String(u"\\books\\a.prc"));
    controller->Start(false);
    EXPECT_EQ(watch.markerSeen, 1u);  // the reopened book already saw the marker set
    // A last book gone since is reopened quietly: no box, the library instead.
    controller->Shutdown();
    NewController();
    controller->SetSettings(&settings);
    controller->SetRunMarkerStore(store.get());
    settings.SetLastBook(String(u"\\books\\gone.prc"));
    EXPECT_TRUE(controller->Start(false));
    EXPECT_EQ(controller->CurrentLocation(), nullptr);
    EXPECT_EQ(watch.boxes, 0);
    EXPECT_TRUE(controller->Reports().empty());
    EXPECT_EQ(store->GetRunMarker(), 1u);
    loader->SetMessages(nullptr);
}

TEST_F(StartTest, AGivenDocumentSkipsTheReopen) {
    store->SetRunMarker(0);
    settings.SetLastBook(String(u"\\books\\a.prc"));
    EXPECT_FALSE(controller->Start(true));
    EXPECT_EQ(controller->CurrentLocation(), nullptr);
    EXPECT_EQ(store->GetRunMarker(), 1u);
}

TEST_F(StartTest, TheLibraryWantedAtStartUpWins) {
    store->SetRunMarker(0);
    settings.libraryAtStart = 1;
    settings.SetLastBook(String(u"\\books\\a.prc"));
    controller->Start(false);
    EXPECT_EQ(controller->CurrentLocation(), nullptr);
}

}  // namespace

namespace {

TEST_F(DocumentControllerTest, AFailedRestoreDoesNotOverwriteTheStoredPosition) {
    ASSERT_NO_FATAL_FAILURE(StoreUnreadablePosition());
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    EXPECT_EQ(static_cast<uint32_t>(controller->GetPageStart()),
              controller->Page().Layout()->FirstPageStart());
    controller->Shutdown();
    auto side = SideFile("\\books\\a.prc");
    ASSERT_NE(side, nullptr);
    uint32_t word = 0, position = 0;
    ASSERT_TRUE(side->GetReadingPosition(&word, &position, nullptr));
    EXPECT_EQ(position, 4321u);
    EXPECT_EQ(word, 5u);
}

TEST_F(DocumentControllerTest, AfterAFailedRestoreMovingSavesAgain) {
    ASSERT_NO_FATAL_FAILURE(StoreUnreadablePosition());
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    ASSERT_TRUE(controller->StepPage(PageStepCode::kNextPage));
    int32_t start = controller->GetPageStart();
    controller->Shutdown();
    auto side = SideFile("\\books\\a.prc");
    ASSERT_NE(side, nullptr);
    uint32_t word = 0, position = 0;
    ASSERT_TRUE(side->GetReadingPosition(&word, &position, nullptr));
    EXPECT_EQ(position, static_cast<uint32_t>(start));
}

}  // namespace

namespace {

TEST_F(DocumentControllerTest, ThePageViewTurnsPagesThroughTheController) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    PositionViewElement* view = controller->Page().View();
    ASSERT_NE(view, nullptr);
    int32_t first = controller->GetPageStart();
    view->ExecuteCommand(Cmd::kNextPage, 0);
    int32_t second = controller->GetPageStart();
    EXPECT_GT(second, first);
    view->ExecuteCommand(Cmd::kNextPage, 0);
    EXPECT_GT(controller->GetPageStart(), second);
    view->ExecuteCommand(Cmd::kPreviousPage, 0);
    EXPECT_EQ(controller->GetPageStart(), second);
}

TEST_F(DocumentControllerTest, ThePageViewsScrollKeysMoveAWideTable) {
    ASSERT_TRUE(Open(u"\\books\\tides.prc"));
    PositionViewElement* view = controller->Page().View();
    ASSERT_NE(view, nullptr);
    PageLayout* layout = controller->Page().Layout();
    ASSERT_NE(layout, nullptr);
    controller->PaintPage();  // drawing makes the table's scroll entry
    PageSlot* slot = layout->CurrentPageSlot();
    ASSERT_NE(slot, nullptr);
    ASSERT_EQ(slot->record->tables.size(), 1u);
    InputEvent right = InputEvent::Key(516);
    EXPECT_TRUE(view->HandleEvent(right));
    EXPECT_EQ(slot->record->tables[0].x, 40);
    InputEvent left = InputEvent::Key(515);
    EXPECT_TRUE(view->HandleEvent(left));
    EXPECT_TRUE(view->HandleEvent(left));  // at the edge: handled, nothing moves
    EXPECT_EQ(slot->record->tables[0].x, 0);
}

namespace {

// The bounds of the first address link's mark on the drawn page.
bool LinkMarkBounds(BookDocumentController& controller, Rect& out) {
    controller.PaintPage();
    PageSlot* slot = controller.Page().Layout()->CurrentPageSlot();
    for (int32_t i = 0; slot && i < slot->marks.Count(); ++i) {
        Area* area = slot->marks.At(i);
        if (!area || !area->link || area->link->kind != kLinkAddress) continue;
        area->GetBounds(out);
        return true;
    }
    return false;
}

}  // namespace

TEST_F(DocumentControllerTest, ALinkInAScrolledTableIsTappedWhereItIsDrawn) {
    ASSERT_TRUE(Open(u"\\books\\tides.prc"));
    Rect before{}, after{};
    ASSERT_TRUE(LinkMarkBounds(*controller, before));
    InputEvent right = InputEvent::Key(516);
    ASSERT_TRUE(controller->Page().View()->HandleEvent(right));
    ASSERT_TRUE(LinkMarkBounds(*controller, after));
    // The content moved 40 pixels left: the link's mark went with it.
    EXPECT_EQ(after.x + after.width, before.x + before.width - 40);
}

TEST_F(DocumentControllerTest, ThePageViewsOwnStateTravelsWithThePosition) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    ASSERT_TRUE(controller->StepPage(PageStepCode::kNextPage));
    int32_t start = controller->GetPageStart();
    controller->Page().View()->OwnState().WriteWord32BE(0xFEEDF00D);
    controller->Shutdown();
    NewController();
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    EXPECT_EQ(controller->GetPageStart(), start);
    ByteStream& own = controller->Page().View()->OwnState();
    own.SetReadPosition(0);
    uint32_t word = 0;
    ASSERT_TRUE(own.ReadWord32BE(word));
    EXPECT_EQ(word, 0xFEEDF00Du);
}

TEST_F(DocumentControllerTest, BackFromThePageViewUndoesALink) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    ASSERT_TRUE(Open(u"\\books\\b.prc"));
    controller->Page().View()->ExecuteCommand(Cmd::kBack, 0);
    EXPECT_EQ(Current(), u"\\books\\a.prc");
}

}  // namespace

namespace {

TEST_F(DocumentControllerTest, WindowCommandsGoBackForwardAndToThePageView) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    int32_t first = controller->GetPageStart();
    EXPECT_TRUE(controller->ExecuteCommand(66));  // the page view's next page
    EXPECT_GT(controller->GetPageStart(), first);
    ASSERT_TRUE(Open(u"\\books\\b.prc"));
    EXPECT_TRUE(controller->ExecuteCommand(23));
    EXPECT_EQ(Current(), u"\\books\\a.prc");
    EXPECT_GT(controller->GetPageStart(), first);
    EXPECT_TRUE(controller->ExecuteCommand(22));
    EXPECT_EQ(Current(), u"\\books\\b.prc");
    EXPECT_FALSE(controller->ExecuteCommand(22));  // nothing ahead
}

}  // namespace

namespace {

class OtherEngine : public LayoutEngineFactory {
public:
    PageLayout* CreatePageLayout(BookLayoutTraits*) override { return nullptr; }
    void SetSource(PageLayout*, TokenSource*) override {}
    void SetPlainTextOption(PageLayout*, bool) override {}
    void DestroyPageLayout(PageLayout*) override {}
    Searcher* CreateSearcher(DocumentSource*, bool) override { return nullptr; }
};

TEST(ControllerFactory, KeepsAnInstalledLayoutEngine) {
    OtherEngine other;
    LayoutEngineFactory::Install(&other);
    {
        BookDocumentControllerFactory factory;
        EXPECT_EQ(LayoutEngineFactory::installed, &other);
    }
    EXPECT_EQ(LayoutEngineFactory::installed, &other);
    LayoutEngineFactory::Install(nullptr);
    {
        BookDocumentControllerFactory factory;
        EXPECT_NE(LayoutEngineFactory::installed, nullptr);
    }
    EXPECT_EQ(LayoutEngineFactory::installed, nullptr);  // its own engine goes with it
}

}  // namespace

namespace {

// Every hit of a Find, in an HTML file, a text file and a UTF-8 book, is on the page shown for
// it: a hit can start inside a word ("house" in "lighthouse"), and in the book accented letters
// take two positions each.
TEST_F(DocumentControllerTest, TheShownPageHoldsEveryFindHit) {
    std::string words;
    for (int i = 0; i < 40; ++i)
        words += "The keeper of the lighthouse climbed the stairs of her lighthouse again. ";
    device.WriteHost("books/keeper.html", "<html><head><title>Keeper</title></head><body><p>" +
                                              words + "</p></body></html>");
    device.WriteHost("books/keeper.txt", words);
    std::string french;
    for (int i = 0; i < 40; ++i)
        french += "La gardienne \xC3\xA9t\xC3\xA9 comme hiver monta \xC3\xA0 sa lighthouse. ";
    fvt::test::WriteAccentedBook(device, french);
    for (const char16_t* url :
         {u"\\books\\keeper.html", u"\\books\\keeper.txt", u"\\books\\accents.prc"}) {
        ASSERT_TRUE(Open(url));
        std::unique_ptr<Searcher> searcher(controller->Document()->CreateSearcher());
        ASSERT_NE(searcher, nullptr);
        uint32_t start = 0, end = 0xFFFFFFFFu, found = 0, mode = kSearchFirst;
        int hits = 0;
        while (searcher->Search(String(u"house"), start, end, found, false, true, mode) ==
                   kSearchFound &&
               hits < 60) {
            ++hits;
            ASSERT_TRUE(controller->GoToPosition(found));
            PageLayout* layout = controller->Page().Layout();
            uint32_t pageStart = layout->CurrentPageStart();
            uint32_t next = layout->PageStartRelative(1);
            EXPECT_LE(pageStart, found) << hits;
            if (next != PageLayout::kNone) {
                EXPECT_LT(found, next) << hits;
            }
            // The page starts with the hit's own text.
            controller->PaintPage();
            PageSlot* slot = layout->CurrentPageSlot();
            ASSERT_NE(slot, nullptr);
            const TextRun* first = slot->contents.Run(0);
            ASSERT_NE(first, nullptr);
            if (pageStart == found) {
                EXPECT_EQ(first->text.Data()[0], u'h') << hits;
            }
            end = 0xFFFFFFFFu;
        }
        EXPECT_GE(hits, 40);
    }
}

}  // namespace
