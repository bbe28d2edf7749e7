// The document controller's command side: the font-size step lays the same text out again,
// a random table entry opens one of the table's places (never from an empty table), which
// commands are enabled, the hardware keys' handler names, the link-focus keys that step the
// page without following a link, and the caption of a failed open.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "bookfiles/annotation_file.h"
#include "bookfiles/database_file.h"
#include "bookfiles/sorted_record_database.h"
#include "core/resources.h"
#include "core/string_pool.h"
#include "document/location/location.h"
#include "document/markup/link_target.h"
#include "graphics/core/input_event.h"
#include "graphics/widgets/area.h"
#include "layout/focus_box.h"
#include "layout/page_layout.h"
#include "layout/page_view.h"
#include "reader/book_document_controller.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"
#include "reader/record_set_page.h"
#include "support/reader/reader_fakes.h"
#include "controller_fixture.h"

namespace {

using fvt::test::U;

class Handlers : public BookKeyHandlers {
public:
    bool RunKeyHandler(const String& name) override {
        ran.push_back(U(name));
        return known;
    }
    std::vector<std::u16string> ran;
    bool known = true;
};

struct CommandsTest : fvt::test::ControllerFixture {
    CommandsTest() {
        fvt::test::WritePlacesBook(device);
        EXPECT_TRUE(settings.Load(true));
    }
    ~CommandsTest() override { controller.reset(); }  // before the settings it may read
    // Characters on the current page: how far a page step moves.
    int32_t PageSpan() {
        int32_t start = controller->GetPageStart();
        if (!controller->StepPage(PageStepCode::kNextPage)) return 0;
        int32_t next = controller->GetPageStart();
        controller->GoToPosition(static_cast<uint32_t>(start));
        return next - start;
    }
    // Where a step of the layout goes from the current page, without moving.
    int32_t StartAfter(int32_t step) {
        int32_t start = controller->GetPageStart();
        if (!controller->StepPage(StepFromValue(step))) return -1;
        int32_t there = controller->GetPageStart();
        controller->GoToPosition(static_cast<uint32_t>(start));
        return there;
    }

    ReaderSettings settings;
};

TEST_F(CommandsTest, TheLayoutTakesTheSettingsFontSize) {
    LayoutSettings options;
    controller->GetLayoutOptions(options);
    EXPECT_EQ(options.baseFontSize, LayoutSettings().baseFontSize);  // no settings yet
    controller->SetSettings(&settings);
    ASSERT_TRUE(settings.SetFontSize(20));
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    controller->GetLayoutOptions(options);
    EXPECT_EQ(options.baseFontSize, 20);
    EXPECT_EQ(options.book, controller->Document());
}

namespace {

// The styles of the current page's linked text.
std::vector<PositionRecord> LinkStyles(BookDocumentController& controller) {
    std::vector<PositionRecord> out;
    PageSlot* slot =
        controller.Page().Layout() ? controller.Page().Layout()->CurrentPageSlot() : nullptr;
    if (!slot) return out;
    int32_t k = 0;
    for (int32_t i = 0; i < slot->contents.Count(); ++i) {
        if (slot->contents.ItemAt(i)->kind != kItemStyleChange) continue;
        const PositionRecord* style = slot->contents.Style(k++);
        if (style && style->link) out.push_back(*style);
    }
    return out;
}

}  // namespace

TEST_F(CommandsTest, LinksTakeTheReadersColourAndUnderline) {
    fvt::test::WriteLinkedBook(device);
    controller->SetSettings(&settings);
    settings.SetColours(0, 0x336699, 0xFFFFFF, 255, 0x9BFFFF);
    settings.underlineLinks = 1;
    ASSERT_TRUE(Open(u"\\books\\linked.prc"));
    controller->PaintPage();
    std::vector<PositionRecord> links = LinkStyles(*controller);
    ASSERT_FALSE(links.empty());
    for (const PositionRecord& r : links) {
        EXPECT_EQ(r.color, 0x336699u);
        EXPECT_NE(r.style & kStyleUnderline, 0);
    }
    // The page view asks the same of its owner.
    controller->Page().View()->ApplySettings();
    ASSERT_NE(controller->Page().Layout(), nullptr);
    EXPECT_EQ(controller->Page().Layout()->Settings().defaults.linkColor, 0x336699u);
    EXPECT_TRUE(controller->Page().Layout()->Settings().defaults.underlineLinks);

    // Without underlining, a new layout draws links plain.
    settings.underlineLinks = 0;
    controller->Reload();
    controller->PaintPage();
    links = LinkStyles(*controller);
    ASSERT_FALSE(links.empty());
    for (const PositionRecord& r : links) EXPECT_EQ(r.style & kStyleUnderline, 0);
}

TEST_F(CommandsTest, ALargerFontKeepsThePageStartAndHoldsLessText) {
    controller->SetSettings(&settings);
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    ASSERT_TRUE(controller->StepPage(PageStepCode::kNextPage));
    ASSERT_TRUE(controller->StepPage(PageStepCode::kNextPage));
    int32_t start = controller->GetPageStart();
    int32_t before = PageSpan();
    ASSERT_GT(before, 0);
    int32_t size = settings.FontSize();
    EXPECT_TRUE(controller->ChangeFontSize(4));
    EXPECT_EQ(settings.FontSize(), size + 4 * settings.fontSizeStep);
    EXPECT_EQ(controller->GetPageStart(), start);
    EXPECT_LT(PageSpan(), before);
}

TEST_F(CommandsTest, ARandomEntryOpensOneOfTheTablesPlaces) {
    ASSERT_TRUE(Open(u"\\books\\places.prc"));
    String places(u"places");
    for (uint64_t seed = 1; seed <= 4; ++seed) {
        controller->SeedRandom(seed);
        ASSERT_TRUE(controller->OpenRandomTableEntry(&places));
        EXPECT_EQ(controller->GetPageStart(), 4000);
    }
    // The default table is the same one.
    ASSERT_TRUE(controller->GoToPage(1));
    EXPECT_TRUE(controller->OpenRandomTableEntry(nullptr));
    EXPECT_EQ(controller->GetPageStart(), 4000);
}

TEST_F(CommandsTest, ARandomEntryWithoutAPlaceOrTableOpensNothing) {
    ASSERT_TRUE(Open(u"\\books\\places.prc"));
    int32_t start = controller->GetPageStart();
    String nowhere(u"nowhere"), missing(u"missing");
    EXPECT_FALSE(controller->OpenRandomTableEntry(&nowhere));
    EXPECT_FALSE(controller->OpenRandomTableEntry(&missing));
    EXPECT_EQ(controller->GetPageStart(), start);
    // A book without tables.
    ASSERT_TRUE(Open(u"\\books\\b.prc"));
    EXPECT_FALSE(controller->OpenRandomTableEntry(nullptr));
}

TEST_F(CommandsTest, BackAndForwardFollowTheHistory) {
    EXPECT_FALSE(controller->IsCommandEnabled(22));
    EXPECT_FALSE(controller->IsCommandEnabled(23));
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    ASSERT_TRUE(Open(u"\\books\\b.prc"));
    EXPECT_TRUE(controller->IsCommandEnabled(23));
    EXPECT_FALSE(controller->IsCommandEnabled(22));
    ASSERT_TRUE(controller->HistoryBack(false));
    EXPECT_TRUE(controller->IsCommandEnabled(22));
    EXPECT_FALSE(controller->IsCommandEnabled(23));
}

TEST_F(CommandsTest, AnnotationCommandsNeedASideFile) {
    for (int32_t id : {15, 16, 41, 44, 50, 54}) EXPECT_FALSE(controller->IsCommandEnabled(id)) << id;
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    ASSERT_NE(controller->CurrentAnnotationFile(), nullptr);
    for (int32_t id : {15, 16, 41, 44, 50, 54}) EXPECT_TRUE(controller->IsCommandEnabled(id)) << id;
    EXPECT_FALSE(controller->IsCommandEnabled(108));
    EXPECT_TRUE(controller->IsCommandEnabled(24));  // the page view's own commands
}

// A sink that keeps the reading position on every document-ready notice, as the shell does.
class SavingSink : public AppShellEvents {
public:
    void OnCommandNotice(DocumentController*, int32_t, uint32_t) override {}
    void OnDocumentReady(DocumentController* controller, uint32_t) override {
        ++ready;
        if (controller) controller->SaveReadingPosition(false);
    }
    int ready = 0;
};

// The shell hears once that an opened book is shown, not at every page move (each notice
// saves the side file); the page moved to is kept when the book closes.
TEST_F(CommandsTest, TheSinkHearsOnceThatAnOpenedBookIsShown) {
    SavingSink sink;
    controller->SetEventSink(&sink, 0);
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    EXPECT_EQ(sink.ready, 1);
    ASSERT_TRUE(controller->StepPage(PageStepCode::kNextPage));
    ASSERT_TRUE(controller->StepPage(PageStepCode::kNextPage));
    EXPECT_EQ(sink.ready, 1);
    const int32_t shown = controller->GetPageStart();
    EXPECT_GT(shown, 0);
    ASSERT_TRUE(Open(u"\\books\\places.prc"));
    EXPECT_EQ(sink.ready, 2);
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    AnnotationFile* file = controller->CurrentAnnotationFile();
    ASSERT_NE(file, nullptr);
    std::uint32_t word = 0, position = 0;
    ASSERT_TRUE(file->GetReadingPosition(&word, &position, nullptr));
    EXPECT_EQ(static_cast<int32_t>(position), shown);
}

TEST_F(CommandsTest, HardwareKeysRunTheHandlerOfTheirName) {
    EXPECT_EQ(std::u16string(DocumentFrames::HardwareKeyName(0)), u"key0");
    EXPECT_EQ(std::u16string(DocumentFrames::HardwareKeyName(10)), u"key_help");
    EXPECT_EQ(std::u16string(DocumentFrames::HardwareKeyName(13)), u"key_next");
    EXPECT_EQ(DocumentFrames::HardwareKeyName(14), nullptr);
    Handlers handlers;
    EXPECT_FALSE(controller->OnHardwareKey(12));  // no handlers: nothing runs
    controller->Frames().SetKeyHandlers(&handlers);
    EXPECT_TRUE(controller->OnHardwareKey(12));
    EXPECT_FALSE(controller->OnHardwareKey(14));
    handlers.known = false;
    EXPECT_FALSE(controller->OnHardwareKey(11));
    EXPECT_EQ(handlers.ran, (std::vector<std::u16string>{u"key_prev", u"key_say"}));
}

TEST_F(CommandsTest, LinkFocusKeysStepThePageByTheirSize) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    int32_t first = controller->GetPageStart();
    int32_t next = StartAfter(2);
    int32_t half = StartAfter(1);
    ASSERT_GT(next, first);
    ASSERT_TRUE(controller->MoveLinkFocus(1035, false));
    EXPECT_EQ(controller->GetPageStart(), next);
    EXPECT_EQ(controller->LinkFocusKind(), BookDocumentController::kFocusForward);
    ASSERT_TRUE(controller->MoveLinkFocus(1036, false));
    EXPECT_EQ(controller->GetPageStart(), first);
    EXPECT_EQ(controller->LinkFocusKind(), BookDocumentController::kFocusBackward);
    // The half-step key takes a whole page when the page ends with a page break.
    ASSERT_TRUE(controller->MoveLinkFocus(1037, true));
    EXPECT_EQ(controller->GetPageStart(), next);
    ASSERT_TRUE(controller->GoToPage(1));
    // Else it takes the layout's step +1 (whatever that step answers here).
    EXPECT_EQ(controller->MoveLinkFocus(1037, false), half >= 0);
    EXPECT_EQ(controller->GetPageStart(), half >= 0 ? half : first);
    EXPECT_FALSE(controller->MoveLinkFocus(1040, false));
}

TEST_F(CommandsTest, AfterAPageStepCommand90FollowsNoLink) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    ASSERT_TRUE(controller->MoveLinkFocus(1035, false));
    int32_t start = controller->GetPageStart();
    uint32_t entries = controller->History().Count();
    EXPECT_TRUE(controller->ExecuteCommand(90));
    EXPECT_EQ(controller->LinkFocusKind(), BookDocumentController::kFocusNone);
    EXPECT_EQ(controller->GetPageStart(), start);
    EXPECT_EQ(controller->History().Count(), entries);
    EXPECT_EQ(controller->CurrentString().Length(), 0);
}

// The marks of the current page whose link is of that kind, in page order.
std::vector<uint32_t> MarksOfKind(BookDocumentController& controller, uint32_t kind) {
    std::vector<uint32_t> found;
    AreaArray* marks = nullptr;
    PageLayout* layout = controller.Page().Layout();
    // Marks are built once the page is painted.
    controller.PaintPage();
    if (!layout || !layout->GetCurrentBlockMarks(marks) || !marks) return found;
    for (int32_t i = 0; i < marks->Count(); ++i) {
        Area* area = marks->At(i);
        if (area && area->link && area->link->kind == kind) found.push_back(static_cast<uint32_t>(i));
    }
    return found;
}

TEST_F(CommandsTest, ATappedPositionLinkOpensItsPageAsAHistoryStep) {
    fvt::test::WriteLinkedBook(device);
    ASSERT_TRUE(Open(u"\\books\\linked.prc"));
    std::vector<uint32_t> marks = MarksOfKind(*controller, kLinkFilePosition);
    ASSERT_EQ(marks.size(), 1u);
    uint32_t entries = controller->History().Count();
    controller->Page().Layout()->SetCurrentMark(marks[0], false, false);
    EXPECT_TRUE(controller->ExecuteCommand(90));
    EXPECT_LE(controller->GetPageStart(), 4000);
    EXPECT_GT(controller->GetPageStart(), 3000);
    EXPECT_EQ(controller->History().Count(), entries + 1);
    ASSERT_TRUE(controller->HistoryBack(true));
    EXPECT_LT(controller->GetPageStart(), 100);
}

TEST_F(CommandsTest, ATappedAddressLinkOpensTheBookItNames) {
    fvt::test::WriteLinkedBook(device);
    ASSERT_TRUE(Open(u"\\books\\linked.prc"));
    std::vector<uint32_t> marks = MarksOfKind(*controller, kLinkAddress);
    ASSERT_EQ(marks.size(), 1u);
    controller->Page().Layout()->SetCurrentMark(marks[0], false, false);
    EXPECT_TRUE(controller->ExecuteCommand(90));
    ASSERT_NE(controller->CurrentLocation(), nullptr);
    String url;
    ASSERT_TRUE(controller->CurrentLocation()->ToStringWithAnchor(url));
    EXPECT_NE(U(url).find(u"b.prc"), std::u16string::npos) << std::string(U(url).begin(), U(url).end());
}

TEST_F(CommandsTest, Command90WithoutAFocusedMarkFollowsNothing) {
    fvt::test::WriteLinkedBook(device);
    ASSERT_TRUE(Open(u"\\books\\linked.prc"));
    uint32_t entries = controller->History().Count();
    int32_t start = controller->GetPageStart();
    controller->ExecuteCommand(90);
    EXPECT_EQ(controller->GetPageStart(), start);
    EXPECT_EQ(controller->History().Count(), entries);
}

TEST_F(CommandsTest, LinkFocusKeysMoveBetweenThePagesLinksAndEnterFollowsTheFocusedOne) {
    fvt::test::WriteLinkedBook(device);
    ASSERT_TRUE(Open(u"\\books\\linked.prc"));
    std::vector<uint32_t> onwards = MarksOfKind(*controller, kLinkFilePosition);
    std::vector<uint32_t> book = MarksOfKind(*controller, kLinkAddress);
    ASSERT_EQ(onwards.size(), 1u);
    ASSERT_EQ(book.size(), 1u);
    PositionViewElement* view = controller->Page().View();
    ASSERT_NE(view, nullptr);
    PageLayout* layout = controller->Page().Layout();
    int32_t start = controller->GetPageStart();
    layout->SetCurrentMark(onwards[0], false, false);
    // Forward keys (Tab, the half step) and backward keys move within the page.
    for (uint32_t code : {1035u, 1037u}) {
        InputEvent next = InputEvent::Key(code);
        EXPECT_TRUE(view->HandleEvent(next)) << code;
        EXPECT_EQ(layout->CurrentMarkIndex(), book[0]) << code;
        InputEvent back = InputEvent::Key(code + 1);
        EXPECT_TRUE(view->HandleEvent(back)) << code;
        EXPECT_EQ(layout->CurrentMarkIndex(), onwards[0]) << code;
        EXPECT_EQ(controller->GetPageStart(), start) << code;
    }
    // Enter follows the link the keys focused.
    InputEvent tab = InputEvent::Key(1035);
    ASSERT_TRUE(view->HandleEvent(tab));
    EXPECT_TRUE(controller->ExecuteCommand(90));
    String url;
    ASSERT_NE(controller->CurrentLocation(), nullptr);
    ASSERT_TRUE(controller->CurrentLocation()->ToStringWithAnchor(url));
    EXPECT_NE(U(url).find(u"b.prc"), std::u16string::npos);
}

TEST_F(CommandsTest, PastThePagesLastLinkTheLinkFocusKeyStepsThePage) {
    fvt::test::WriteLinkedBook(device);
    ASSERT_TRUE(Open(u"\\books\\linked.prc"));
    std::vector<uint32_t> book = MarksOfKind(*controller, kLinkAddress);
    ASSERT_EQ(book.size(), 1u);
    int32_t start = controller->GetPageStart();
    controller->Page().Layout()->SetCurrentMark(book[0], false, false);
    InputEvent tab = InputEvent::Key(1035);
    ASSERT_NE(controller->Page().View(), nullptr);
    EXPECT_TRUE(controller->Page().View()->HandleEvent(tab));
    EXPECT_GT(controller->GetPageStart(), start);
    EXPECT_EQ(controller->LinkFocusKind(), BookDocumentController::kFocusForward);
}

TEST_F(CommandsTest, AnIndexLocationOpensTheTablesRecordSetPage) {
    ASSERT_TRUE(Open(u"\\books\\places.prc"));
    ASSERT_TRUE(controller->OpenReference(String(u"$fvtindex&65535")));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kRecordSetView);
    EXPECT_EQ(controller->ViewMode(), 2u);
    ASSERT_NE(controller->Records().Page(), nullptr);
    EXPECT_FALSE(controller->Records().Page()->View().Rows().empty());
    // Back to the text, the page goes.
    ASSERT_TRUE(controller->OpenLocation(String(), false, true));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kTextPage);
    EXPECT_EQ(controller->Records().Page(), nullptr);
}

TEST_F(CommandsTest, AGeneratedPageOverAMissingTableIsRefused) {
    ASSERT_TRUE(Open(u"\\books\\places.prc"));
    EXPECT_FALSE(controller->OpenReference(String(u"$fvtindex&7")));
    EXPECT_FALSE(controller->OpenReference(String(u"$fvtnothing")));
    EXPECT_EQ(controller->Records().Page(), nullptr);
}

TEST_F(CommandsTest, AnOpenedEntryShowsItsPlaceAndBackReturnsToTheList) {
    ASSERT_TRUE(Open(u"\\books\\places.prc"));
    Location list;
    list.CopyFrom(*controller->CurrentLocation());
    list.SetAnchor(String(u"$fvtindex&65535"));
    ASSERT_TRUE(controller->NavigateTo(list));
    ASSERT_NE(controller->Records().Page(), nullptr);
    uint32_t entries = controller->History().Count();
    EXPECT_EQ(controller->Records().Page()->View().OpenEntry(0), DatabaseView::Result::kReplaced);
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kTextPage);
    EXPECT_LE(controller->GetPageStart(), 4000);
    EXPECT_GT(controller->GetPageStart(), 3000);
    EXPECT_EQ(controller->History().Count(), entries + 1);
    ASSERT_TRUE(controller->HistoryBack(true));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kRecordSetView);
    EXPECT_EQ(U(controller->CurrentString()), u"$fvtindex&65535");
}

TEST_F(CommandsTest, APageBookmarkIsNamedByThePagesFirstWords) {
    String text;
    EXPECT_FALSE(controller->PageBookmarkText(text));  // no page
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    controller->PaintPage();  // as the window shows it
    ASSERT_TRUE(controller->PageBookmarkText(text));
    EXPECT_EQ(U(text).substr(0, 12), u"Paragraph 0 ");
}

TEST_F(CommandsTest, TheSelectionIsThePageViewsSelectedWords) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    String text;
    uint32_t start = 7, end = 7;
    EXPECT_FALSE(controller->GetSelection(text, start, end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 0u);
    controller->PaintPage();
    TextFocus& focus = controller->Page().View()->TextFocusBox();
    focus.Bind(controller->Page().Layout(), controller->Page().Layout()->CurrentPageSlot());
    ASSERT_TRUE(focus.FocusNextWord(false));
    focus.SetRange(true, false);
    ASSERT_TRUE(focus.FocusNextWord(true));
    focus.SetRange(false, false);
    ASSERT_TRUE(controller->GetSelection(text, start, end));
    EXPECT_EQ(U(text), u"Paragraph 0");
    EXPECT_LT(start, end);
    EXPECT_GE(start, static_cast<uint32_t>(controller->GetPageStart()));
}

TEST_F(CommandsTest, NextAndPreviousAnnotationsWrapAroundTheBook) {
    EXPECT_FALSE(controller->OpenNextAnnotation());  // no book
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    AnnotationFile* side = controller->CurrentAnnotationFile();
    ASSERT_NE(side, nullptr);
    EXPECT_EQ(controller->NextAnnotationIndex(), -1);
    for (uint32_t at : {5000u, 1000u, 3000u}) ASSERT_GE(side->AddBookmark(1, at, at, 0, 0, 0, 0), 0);
    std::vector<int32_t> starts;
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(controller->OpenNextAnnotation());
        starts.push_back(controller->GetPageStart());
    }
    EXPECT_EQ(starts, (std::vector<int32_t>{1000, 3000, 5000, 1000}));
    ASSERT_TRUE(controller->OpenPreviousAnnotation());  // none before 1000: the last
    EXPECT_EQ(controller->GetPageStart(), 5000);
    ASSERT_TRUE(controller->OpenPreviousAnnotation());
    EXPECT_EQ(controller->GetPageStart(), 3000);
    // Each opening is a step of the history.
    ASSERT_TRUE(controller->HistoryBack(false));
    EXPECT_EQ(controller->GetPageStart(), 5000);
}

// An annotation opens on the page kept with it; a kept state that cannot be read (cut short,
// or of another book) opens the page that starts at the annotation instead.
TEST_F(CommandsTest, AnAnnotationOpensOnItsKeptPageElseAtItsStart) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    AnnotationFile* side = controller->CurrentAnnotationFile();
    ASSERT_NE(side, nullptr);
    ASSERT_TRUE(controller->GoToPosition(3000));
    controller->PaintPage();
    uint32_t pageStart = 0, pageEnd = 0, word = 0, position = 0;
    ASSERT_TRUE(controller->PageRange(pageStart, pageEnd));
    ASSERT_GT(pageEnd, pageStart + 20);
    std::vector<uint8_t> state;
    ASSERT_TRUE(controller->PageStateForAnnotation(word, position, state));
    EXPECT_EQ(position, pageStart);
    const uint32_t middle = pageStart + (pageEnd - pageStart) / 2;
    const int32_t kept = side->AddBookmark(AnnotationFile::kHighlight, middle, middle + 5, word,
                                           position, 0, 0);
    ASSERT_GE(kept, 0);
    ASSERT_EQ(side->SetBookmarkState(kept, state.data(), static_cast<uint32_t>(state.size())), 0);
    const std::vector<uint8_t> junk[] = {{1, 2, 3}, {0x45, 0x42, 0x41, 0x52, 0, 0, 0, 9, 1, 2, 3, 4}};
    std::vector<int32_t> broken;
    for (const auto& bytes : junk) {
        const uint32_t at = middle + 10 + static_cast<uint32_t>(broken.size());
        const int32_t i = side->AddBookmark(AnnotationFile::kHighlight, at, at + 5, word, position, 0, 0);
        ASSERT_GE(i, 0);
        ASSERT_EQ(side->SetBookmarkState(i, bytes.data(), static_cast<uint32_t>(bytes.size())), 0);
        broken.push_back(i);
    }
    ASSERT_TRUE(controller->GoToFirstPage());
    ASSERT_TRUE(controller->OpenAnnotation(kept));
    EXPECT_EQ(controller->GetPageStart(), static_cast<int32_t>(pageStart));
    for (size_t n = 0; n < broken.size(); ++n) {
        SCOPED_TRACE(n);
        ASSERT_TRUE(controller->GoToFirstPage());
        ASSERT_TRUE(controller->OpenAnnotation(broken[n]));
        EXPECT_EQ(controller->GetPageStart(), static_cast<int32_t>(middle + 10 + n));
    }
}

// An annotation part-way down its kept page: the next annotation is past that page, not the
// one just opened again.
TEST_F(CommandsTest, NextAnnotationLeavesThePageOfOneOpenedPartWayDown) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    AnnotationFile* side = controller->CurrentAnnotationFile();
    ASSERT_NE(side, nullptr);
    ASSERT_TRUE(controller->GoToPosition(3000));
    controller->PaintPage();
    uint32_t pageStart = 0, pageEnd = 0, word = 0, position = 0;
    ASSERT_TRUE(controller->PageRange(pageStart, pageEnd));
    std::vector<uint8_t> state;
    ASSERT_TRUE(controller->PageStateForAnnotation(word, position, state));
    const uint32_t middle = pageStart + (pageEnd - pageStart) / 2;
    const int32_t kept = side->AddBookmark(AnnotationFile::kNote, middle, middle + 5, word,
                                           position, 0, 0);
    ASSERT_GE(kept, 0);
    ASSERT_EQ(side->SetBookmarkState(kept, state.data(), static_cast<uint32_t>(state.size())), 0);
    const uint32_t later = pageEnd + 2000;
    ASSERT_GE(side->AddBookmark(AnnotationFile::kBookmark, later, later, 0, 0, 0, 0), 0);
    ASSERT_TRUE(controller->GoToFirstPage());
    ASSERT_TRUE(controller->OpenNextAnnotation());
    EXPECT_EQ(controller->GetPageStart(), static_cast<int32_t>(pageStart));
    ASSERT_TRUE(controller->OpenNextAnnotation());
    EXPECT_EQ(controller->GetPageStart(), static_cast<int32_t>(later));
    ASSERT_TRUE(controller->OpenPreviousAnnotation());
    EXPECT_EQ(controller->GetPageStart(), static_cast<int32_t>(pageStart));
}

// A note, modification or custom link carrying a link opens the place it names as a history
// step; a plain bookmark or an annotation without a link opens nothing.
TEST_F(CommandsTest, AnAnnotationsLinkOpensItsPlace) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    AnnotationFile* side = controller->CurrentAnnotationFile();
    ASSERT_NE(side, nullptr);
    const std::u16string here = u"##-pos3000";
    const std::u16string other = u"\\books\\b.prc";
    int32_t note = side->AddBookmark(AnnotationFile::kNote, 1000, 1010, 0, 0, 0, 0);
    ASSERT_GE(note, 0);
    ASSERT_EQ(side->SetBookmarkUrl(note, here.data(), static_cast<uint32_t>(here.size())), 0);
    int32_t mark = side->AddBookmark(AnnotationFile::kBookmark, 2000, 2000, 0, 0, 0, 0);
    ASSERT_GE(mark, 0);
    ASSERT_EQ(side->SetBookmarkUrl(mark, here.data(), static_cast<uint32_t>(here.size())), 0);
    int32_t bare = side->AddBookmark(AnnotationFile::kLink, 2500, 2600, 0, 0, 0, 0);
    ASSERT_GE(bare, 0);
    // Indexes follow the range order.
    ASSERT_TRUE(side->FindFirstInRange(1000, 1010, &note));
    int32_t first = controller->GetPageStart();
    EXPECT_FALSE(controller->OpenAnnotationLink(-1));
    EXPECT_FALSE(controller->OpenAnnotationLink(99));
    for (int32_t i = 0; i < static_cast<int32_t>(side->BookmarkCount()); ++i) {
        if (side->GetBookmarkKind(i) != AnnotationFile::kNote) {
            EXPECT_FALSE(controller->OpenAnnotationLink(i));
        }
    }
    EXPECT_EQ(controller->GetPageStart(), first);
    ASSERT_TRUE(controller->OpenAnnotationLink(note));
    EXPECT_EQ(controller->GetPageStart(), 3000);
    ASSERT_EQ(side->SetBookmarkUrl(note, other.data(), static_cast<uint32_t>(other.size())), 0);
    ASSERT_TRUE(controller->OpenAnnotationLink(note));
    String where;
    ASSERT_TRUE(controller->CurrentLocation()->ToString(where, true));
    EXPECT_NE(U(where).find(u"b.prc"), std::u16string::npos);
    ASSERT_TRUE(controller->HistoryBack(false));
    EXPECT_EQ(controller->GetPageStart(), 3000);
    ASSERT_TRUE(controller->HistoryBack(false));
    EXPECT_EQ(controller->GetPageStart(), first);
}

// Selects the first two words of the page ("Paragraph 0" in book A).
void SelectFirstWords(BookDocumentController& controller) {
    controller.PaintPage();
    TextFocus& focus = controller.Page().View()->TextFocusBox();
    focus.Bind(controller.Page().Layout(), controller.Page().Layout()->CurrentPageSlot());
    ASSERT_TRUE(focus.FocusNextWord(false));
    focus.SetRange(true, false);
    ASSERT_TRUE(focus.FocusNextWord(true));
    focus.SetRange(false, false);
}

// An annotation's fields (each read before its length is used).
std::u16string UrlOf(const AnnotationFile& file, int32_t i) {
    uint32_t length = 0;
    const char16_t* text = file.GetBookmarkUrl(i, &length);
    return text ? std::u16string(text, length) : std::u16string();
}
std::u16string TextOf(const AnnotationFile& file, int32_t i) {
    uint32_t length = 0;
    const char16_t* text = file.GetBookmarkText(i, &length);
    return text ? std::u16string(text, length) : std::u16string();
}
std::u16string NoteOf(const AnnotationFile& file, int32_t i) {
    uint32_t length = 0;
    const char16_t* text = file.GetBookmarkNote(i, &length);
    return text ? std::u16string(text, length) : std::u16string();
}

// "Add link" from selected words to a page of the same book: a link annotation over the words
// carries the target's title, the words and the target's position, and opens it.
TEST_F(CommandsTest, ALinkFromSelectedWordsLeadsToItsTarget) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    int32_t first = controller->GetPageStart();
    EXPECT_FALSE(controller->AddLinkToSelection());  // nothing started
    SelectFirstWords(*controller);
    controller->EnterLinkSourceMode();
    ASSERT_TRUE(controller->IsWaitingForLinkTarget());
    ASSERT_TRUE(controller->GoToPosition(5000));
    controller->PaintPage();
    ASSERT_TRUE(controller->AddLinkToSelection());
    EXPECT_FALSE(controller->IsWaitingForLinkTarget());
    AnnotationFile* side = controller->CurrentAnnotationFile();
    ASSERT_NE(side, nullptr);
    ASSERT_EQ(side->BookmarkCount(), 1u);
    BookmarkIterator it;
    side->StartIterator(&it, 0, 0, 0xFFFFFFFFu);
    int32_t made = side->FindNext(&it);
    ASSERT_GE(made, 0);
    EXPECT_EQ(side->GetBookmarkKind(made) & 0x3F, AnnotationFile::kLink);
    uint32_t start = 0, end = 0;
    ASSERT_EQ(side->GetBookmarkRange(made, &start, &end, nullptr, nullptr, nullptr), 0);
    EXPECT_GE(start, static_cast<uint32_t>(first));
    EXPECT_LT(start, end);
    EXPECT_EQ(UrlOf(*side, made), u"##-pos5000");
    EXPECT_EQ(NoteOf(*side, made), u"Paragraph 0");
    EXPECT_FALSE(TextOf(*side, made).empty());
    ASSERT_TRUE(controller->GoToPosition(static_cast<uint32_t>(first)));
    ASSERT_TRUE(controller->OpenAnnotationLink(made));
    EXPECT_EQ(controller->GetPageStart(), 5000);
}

// A link whose side file cannot be written is no link made: nothing of it stays in the side
// file, and the link waits for its target so that it can be added once the file can be written.
TEST_F(CommandsTest, ALinkTheSideFileCannotStoreIsAFailureAndAddsNothing) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    SelectFirstWords(*controller);
    controller->EnterLinkSourceMode();
    ASSERT_TRUE(controller->GoToPosition(5000));
    controller->PaintPage();
    DatabaseFile::FailWritesAfterForTesting(0);
    const bool added = controller->AddLinkToSelection();
    DatabaseFile::FailWritesAfterForTesting(-1);
    EXPECT_FALSE(added);
    EXPECT_TRUE(controller->IsWaitingForLinkTarget());
    AnnotationFile* side = controller->CurrentAnnotationFile();
    ASSERT_NE(side, nullptr);
    EXPECT_EQ(side->BookmarkCount(), 0u);
    ASSERT_TRUE(controller->AddLinkToSelection());
    EXPECT_EQ(side->BookmarkCount(), 1u);
}

// From a note to another book: the note gains the target's title on a line of its own and a
// redirect by the other book's database name (escaped), written into the source book's side
// file though another book is shown.
TEST_F(CommandsTest, ALinkFromANoteToAnotherBookIsAddedToTheNote) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    AnnotationFile* side = controller->CurrentAnnotationFile();
    ASSERT_NE(side, nullptr);
    side->AddRef();  // kept to read back once book B is shown
    int32_t page = controller->GetPageStart();
    int32_t note = side->AddBookmark(AnnotationFile::kNote, static_cast<uint32_t>(page) + 10,
                                     static_cast<uint32_t>(page) + 20, 0, 0, 0, 0);
    ASSERT_GE(note, 0);
    const std::u16string mine = u"mine";
    ASSERT_EQ(side->SetBookmarkText(note, mine.data(), 4), 0);
    controller->EnterLinkSourceMode();  // no selection: the page's note
    ASSERT_TRUE(controller->IsWaitingForLinkTarget());
    ASSERT_TRUE(Open(u"\\books\\b.prc"));
    controller->PaintPage();
    int32_t index = -1;
    ASSERT_TRUE(controller->MarkLinkTarget());
    String url;
    ASSERT_TRUE(controller->Links().TextForTarget(url));
    EXPECT_EQ(U(url).substr(0, 27), u"oeb:redirect?title=Book%20B");
    ASSERT_TRUE(controller->AddRedirectAnnotation(index));
    EXPECT_EQ(index, note);
    std::u16string text = TextOf(*side, note);
    EXPECT_EQ(text.substr(0, 6), u"mine\r\n");
    EXPECT_GT(text.size(), 6u);
    EXPECT_EQ(UrlOf(*side, note), U(url));
    side->Release();
}

// A target that cannot be named (a book without a database name) adds nothing: the note keeps
// its text and has no link.
TEST_F(CommandsTest, ALinkThatCannotBeAddedLeavesTheNoteAsItWas) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    AnnotationFile* side = controller->CurrentAnnotationFile();
    ASSERT_NE(side, nullptr);
    side->AddRef();
    int32_t page = controller->GetPageStart();
    int32_t note = side->AddBookmark(AnnotationFile::kNote, static_cast<uint32_t>(page) + 10,
                                     static_cast<uint32_t>(page) + 20, 0, 0, 0, 0);
    const std::u16string mine = u"mine";
    ASSERT_EQ(side->SetBookmarkText(note, mine.data(), 4), 0);
    ASSERT_TRUE(controller->StartLinkFromNote(note));
    ASSERT_TRUE(Open(u"\\books\\covered.prc"));  // no database name
    controller->PaintPage();
    EXPECT_FALSE(controller->AddLinkToSelection());
    EXPECT_EQ(TextOf(*side, note), u"mine");
    EXPECT_TRUE(UrlOf(*side, note).empty());
    EXPECT_EQ(side->BookmarkCount(), 1u);
    side->Release();
}

// One saved form record ("elsewhere": field f = "v"), as the side file keeps it.
ByteStream FormBlock() {
    ByteStream record;
    StringPool pool(record);
    pool.WriteString(String(u"elsewhere"));
    pool.PutTag(0);
    pool.WriteString(String(u"f"));
    pool.PutTag(0);
    pool.WriteString(String(u"state"));
    pool.WriteString(String(u"v"));
    pool.PutTag(2);
    pool.PutTag(2);
    ByteStream block;
    block.WriteWord32BE(1);
    block.WriteBlock(record);
    return block;
}

struct FormsTest : CommandsTest {
    // Book A's side file made, then given a form-state block.
    void StoreFormBlock(const uint8_t* bytes, uint32_t size) {
        ASSERT_TRUE(Open(u"\\books\\a.prc"));
        controller->Shutdown();
        AnnotationFile side;
        ASSERT_EQ(side.OpenExisting("\\books\\a.prc", 0), 0);
        ASSERT_EQ(side.SetFormState(bytes, size), 0);
        ASSERT_EQ(side.Flush(), 0);
        ASSERT_EQ(side.Close(), 0);
    }
    std::vector<uint8_t> StoredBlock() {
        AnnotationFile side;
        std::vector<uint8_t> out;
        if (side.OpenExisting("\\books\\a.prc", 1) == 0) side.GetFormState(&out);
        return out;
    }
};

TEST_F(FormsTest, StoredFormValuesReachTheFormListAndSurviveClosing) {
    ByteStream block = FormBlock();
    StoreFormBlock(block.Data(), block.Size());
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    EXPECT_EQ(controller->Forms().List().SavedStateCount(), 1);
    ASSERT_TRUE(controller->StepPage(PageStepCode::kNextPage));
    controller->CloseDocument();
    std::vector<uint8_t> stored = StoredBlock();
    ASSERT_EQ(stored.size(), block.Size());
    EXPECT_EQ(std::vector<uint8_t>(block.Data(), block.Data() + block.Size()), stored);
}

TEST_F(FormsTest, ACorruptBlockIsRefusedAndKept) {
    // A count of records far beyond what the block holds.
    const uint8_t bad[8] = {0x40, 0, 0, 1, 0, 0, 0, 4};
    StoreFormBlock(bad, sizeof bad);
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    EXPECT_EQ(controller->Forms().List().SavedStateCount(), 0);
    EXPECT_GT(controller->GetPageStart(), -1);
    controller->CloseDocument();
    EXPECT_EQ(StoredBlock(), std::vector<uint8_t>(bad, bad + sizeof bad));
}

TEST_F(FormsTest, WithoutFormsNothingIsReadOrWritten) {
    ByteStream block = FormBlock();
    StoreFormBlock(block.Data(), block.Size());
    controller->Forms().SetNoForms(true);
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    EXPECT_EQ(controller->Forms().List().SavedStateCount(), 0);
}

// With the window's reader controller: what the user is told, and the posted command 90.
struct WithReaderTest : CommandsTest {
    WithReaderTest() {
        reader.SetTimerHost(&host);
        reader.SetShell(&shell);
        reader.SetSettings(&settings);
        reader.SetDocumentController(controller.get());
        controller->SetReaderController(&reader);
    }
    ~WithReaderTest() override {
        controller->Shutdown();
        Resources::FlushCache();
    }

    fvt::test::ManualTimerHost host;
    fvt::test::FakeShell shell;
    ReaderController reader;
};

TEST_F(WithReaderTest, AFailedOpenIsReportedUnderAnErrorCaption) {
    // The book opens but the page it names does not exist (the loader reported nothing).
    EXPECT_FALSE(Open(u"\\books\\a.prc#$nothing"));
    ASSERT_EQ(shell.captions.size(), 1u);
    EXPECT_EQ(shell.captions[0], u"Error");
    EXPECT_NE(shell.messages[0].find(u"a.prc"), std::u16string::npos);
}

TEST_F(WithReaderTest, ThePostedCommand90AfterAPageStepOnlyShowsThePage) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    ASSERT_TRUE(controller->MoveLinkFocus(1035, false));
    int32_t start = controller->GetPageStart();
    uint32_t entries = controller->History().Count();
    host.FireAll(reader.Timers());
    EXPECT_EQ(controller->LinkFocusKind(), BookDocumentController::kFocusNone);
    EXPECT_EQ(controller->GetPageStart(), start);
    EXPECT_EQ(controller->History().Count(), entries);
}

// The log hosts an HTML file names at its start reach the reader's log when it opens.
TEST_F(CommandsTest, AFilesLogHostsGoToTheLog) {
    SortedRecordDatabase log;
    controller->SetLogDatabase(&log);
    device.WriteHost("books/logged.html",
                     "<html><body><loghost url=\"http://example.org/log\" prefix=\"shop\" "
                     "encoding=\"3\"><p>Logged page.</p></body></html>");
    ASSERT_TRUE(Open(u"\\books\\logged.html"));
    ASSERT_EQ(log.Items().size(), 1u);
    EXPECT_EQ(log.Items()[0].name, u"http://example.org/log");
    EXPECT_EQ(log.Items()[0].value, u"shop");
    EXPECT_EQ(log.Items()[0].kind, 3u);
    controller->SetLogDatabase(nullptr);
}

}  // namespace
