// A reader window's windows: the display surface attached to the frame window and taken down
// before the controller, the widgets' link to the controller, the timer-hidden busy popup, the
// note and page pop-ups, the bars and list windows switched with the view, message and command
// routing, and the position bar following the view and the progress-bar setting.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "bookfiles/annotation_file.h"
#include "core/platform_helpers.h"
#include "core/resources.h"
#include "graphics/core/display_surface.h"
#include "graphics/core/drawing_surface.h"
#include "graphics/widgets/position_bar.h"
#include "platform/gdi/gdi_layer.h"
#include "platform/kernel/kernel_clock.h"
#include "reader/reader_controller.h"
#include "reader/reader_core.h"
#include "reader/reader_settings.h"
#include "reader/reader_window.h"
#include "support/graphics/surface_host.h"
#include "support/platform/temp_device.h"
#include "support/reader/reader_view_fakes.h"

namespace {

using fvt::test::FakeBar;
using fvt::test::FakeDocumentController;
using fvt::test::FakeListWindow;
using fvt::test::ManualTimerHost;
using fvt::test::U16;
using fvt::test::ViewLog;
using Bar = ReaderViewFactory::Bar;

constexpr int kW = 240;
constexpr int kH = 300;

std::u16string Caption(HWND window) {
    char16_t buffer[128] = {};
    int n = GetWindowTextW(window, buffer, 128);
    return std::u16string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

bool LogHas(const std::string& line) {
    for (const auto& l : fvt::ShellLog())
        if (l == line) return true;
    return false;
}

class HidingView : public ReaderView {
public:
    bool HidesPositionBar() const override { return true; }
};

// The main reader window of a started core, in a host window that forwards what the main
// window procedure will: the display surface's timer, the controller's timers, and the surface's
// own messages.
class ReaderWindowTest : public fvt::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        GdiUseSyntheticFonts(true);
        core_.SetHost(nullptr, &shell_);
        core_.SetDocumentControllerFactory(&factory_);
        core_.SetViewFactories(&views_, &popups_);
        ASSERT_EQ(0, core_.Open(true));
        ASSERT_EQ(0, core_.CreateLoader(0));
        main_ = core_.MainWindow();
        controller_ = main_->Controller();
        doc_ = factory_.last;
        hwnd_ = Make(0, 0, kW, kH);
        ASSERT_NE(hwnd_, nullptr);
        fvt::test::Handler host = fvt::test::SurfaceHost(main_->Surface());
        ReaderWindow* window = main_;
        On(hwnd_, [window, host](HWND h, UINT msg, WPARAM w, LPARAM l, bool& handled) {
            if (msg == WM_TIMER) {
                handled = true;
                if (w == DisplaySurface::kTimerId)
                    window->Display().ScrollStep();
                else
                    window->Controller()->Timers().Dispatch(w);
                return LRESULT{0};
            }
            return host(h, msg, w, l, handled);
        });
        ASSERT_TRUE(main_->AttachToWindow(hwnd_));
    }
    void TearDown() override {
        Close();
        GdiUseSyntheticFonts(false);
        Resources::FlushCache();
        WindowTest::TearDown();
    }
    void Close() {
        if (hwnd_)
            On(hwnd_, [](HWND, UINT, WPARAM, LPARAM, bool& handled) {
                handled = false;
                return LRESULT{0};
            });
        core_.Close();
        main_ = nullptr;
        controller_ = nullptr;
    }
    ReaderSettings& Settings() { return *main_->Settings(); }

    fvt::test::FakeViewFactory views_;
    fvt::test::FakePopupFactory popups_;
    fvt::test::FakeShell shell_;
    fvt::test::FakeFactory factory_;
    ReaderCore core_;
    ReaderWindow* main_ = nullptr;
    ReaderController* controller_ = nullptr;
    FakeDocumentController* doc_ = nullptr;
    HWND hwnd_ = nullptr;
};

// ---- The display surface ------------------------------------------------------------------

TEST_F(ReaderWindowTest, DisplaySurfaceIsAttachedWithTheWindowsClientSize) {
    DisplaySurface& display = main_->Display();
    EXPECT_TRUE(display.IsAttached());
    EXPECT_EQ(main_->Surface()->Display(), &display);
    EXPECT_EQ(display.PageSize().width, kW);
    EXPECT_EQ(display.PageSize().height, kH);
    EXPECT_FALSE(main_->AttachToWindow(nullptr));
}

TEST_F(ReaderWindowTest, ClosingDuringAutoScrollGivesTheIdleTimeOutBack) {
    const int32_t idle = ExchangeSystemSetting(-1);
    doc_->view = Rect{0, 0, kW, 100};
    doc_->hasView = true;
    controller_->OnCommand(Cmd::kStartAutoScroll, false);
    ASSERT_TRUE(main_->Display().IsScrolling());
    EXPECT_EQ(ExchangeSystemSetting(-1), DisplaySurface::kScrollIdleTimeout);
    // The window closes with the scroll timer running: nothing it serves outlives the window.
    Close();
    EXPECT_EQ(ExchangeSystemSetting(-1), idle);
    fvt::AdvanceClock(1000);
    fvt::RunUntilIdle();
}

TEST_F(ReaderWindowTest, ExitClosesTheWindowItCameFrom) {
    Watch({WM_CLOSE});
    controller_->OnCommand(10, false);
    fvt::RunUntilIdle();
    auto log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].hwnd, hwnd_);
}

TEST_F(ReaderWindowTest, QueuedCommandsRunFromTheWindowsTimers) {
    controller_->PostCommand(110);
    controller_->PostCommand(111);
    EXPECT_TRUE(doc_->executed.empty());
    fvt::RunUntilIdle();
    EXPECT_EQ(doc_->executed, (std::vector<int32_t>{110, 111}));
    EXPECT_TRUE(controller_->CheckInvariants());
}

// ---- The widgets' link --------------------------------------------------------------------

TEST_F(ReaderWindowTest, LinkAnswersWithTheWindowsObjects) {
    ReaderControllerLink* link = controller_->GetLink();
    EXPECT_EQ(link->GetDocumentController(), static_cast<DocumentControllerLink*>(doc_));
    EXPECT_EQ(link->GetSurface(), main_->Surface());
    EXPECT_EQ(link->Paths(), core_.Paths());
    EXPECT_EQ(link->GetTextColour(), 0x000000u);
    EXPECT_EQ(link->GetBackgroundColour(), 0xFFFFFFu);
    Settings().SetColours(0x112233, 0, 0x445566, 0, 0);
    EXPECT_EQ(link->GetTextColour(), 0x112233u);
    EXPECT_EQ(link->GetBackgroundColour(), 0x445566u);
    EXPECT_TRUE(link->DisplaySurfaceAllowed());

    link->SetOrientationSetting(2);
    EXPECT_EQ(Settings().orientation, 2u);
    link->SetOrientationSetting(255);  // "inactive" is no setting
    EXPECT_EQ(Settings().orientation, 2u);

    doc_->viewMode = 3;
    bool a = true, b = true, c = true;
    link->GetCommandStates(a, b, c);
    EXPECT_FALSE(a || b || c);
}

TEST_F(ReaderWindowTest, LinkMessageBoxesAnswerWithTheButton) {
    ReaderControllerLink* link = controller_->GetLink();
    EXPECT_EQ(link->MessageBoxById(-1, DisplaySurface::kNotEnoughMemory, 0), 1);
    EXPECT_EQ(shell_.messageFlags.back(), 64u);  // style 0: information
    EXPECT_EQ(shell_.captions.back(), u"<none>");
    EXPECT_EQ(shell_.messages.back(), U16(String(LoadResString(DisplaySurface::kNotEnoughMemory))));
    shell_.answer = false;
    EXPECT_EQ(link->MessageBoxById(-1, 5034, 33), 2);
    EXPECT_EQ(shell_.messageFlags.back(), 33u);
    EXPECT_EQ(link->MessageBoxById(-1, -5, 0), 2);  // no text: nothing shown
    EXPECT_EQ(shell_.messages.size(), 2u);
}

TEST_F(ReaderWindowTest, LinkCommandsRunAsDirectCommands) {
    controller_->GetLink()->OnCommand(130, 0);
    EXPECT_EQ(doc_->notified, (std::vector<int32_t>{130}));
    EXPECT_EQ(shell_.log, (std::vector<std::string>{"HideFind"}));  // tool panels closed
}

TEST_F(ReaderWindowTest, DocumentControllersLinkGivesTheBooksSideFile) {
    AnnotationFile* file = new AnnotationFile();
    doc_->annotations = file;
    DocumentControllerLink* link = doc_;
    EXPECT_EQ(link->GetAnnotationFile(), file);
    EXPECT_EQ(link->GetPageStart(), -1);  // the interface's answers without a layout
    link->Refresh();
    link->Scroll(10, -2);
    doc_->annotations = nullptr;
    file->Release();
}

// ---- Pop-ups ------------------------------------------------------------------------------

TEST_F(ReaderWindowTest, PopupPageCentresOnTheClientArea) {
    ASSERT_TRUE(controller_->ShowPopupPage(String(u"Hello"), TextPopup::kCentred, Point{5, 5}));
    fvt::test::FakeTextPopup* popup = popups_.last;
    EXPECT_EQ(popups_.surface, main_->Surface());
    EXPECT_EQ(popup->area, (Rect{0, 0, kW, kH}));
    EXPECT_EQ(popup->anchor.x, kW / 2);
    EXPECT_EQ(popup->anchor.y, kH / 2);
    EXPECT_EQ(popup->runs, (std::vector<std::string>{"Hello|0"}));

    // Any other placement is at the anchor; the first popup goes.
    ASSERT_TRUE(controller_->ShowPopupPage(String(u"There"), 7, Point{30, 40}));
    EXPECT_EQ(popups_.last->placement, TextPopup::kAtAnchor);
    EXPECT_EQ(popups_.last->anchor.x, 30);
    EXPECT_EQ(popups_.log,
              (ViewLog{"popup 1 shown", "popup 1 hidden", "popup 1 gone", "popup 2 shown"}));
}

TEST_F(ReaderWindowTest, ClosingTheWindowTakesItsPopupsAndBarsWithIt) {
    ASSERT_TRUE(controller_->ShowBusyText(String(u"Working"), 5000));
    ASSERT_TRUE(controller_->ShowPopupPage(String(u"Page"), TextPopup::kCentred, Point{}));
    ASSERT_TRUE(controller_->CreateViewWindows());
    controller_->OnViewChanged(nullptr, ReaderController::kReadingState);
    ASSERT_NE(controller_->GetPositionBar(), nullptr);
    Close();
    // Popups go while their surface stands; the bars and list windows with the controller.
    EXPECT_EQ(popups_.log, (ViewLog{"popup 1 shown", "popup 2 shown", "popup 1 hidden",
                                    "popup 1 gone", "popup 2 hidden", "popup 2 gone"}));
    int gone = 0;
    for (const auto& l : views_.log) gone += l.size() > 5 && l.substr(l.size() - 4) == "gone";
    EXPECT_EQ(gone, 5);
}

// ---- Bars and list windows ----------------------------------------------------------------

TEST_F(ReaderWindowTest, ViewWindowsStartWithOnlyTheReaderBar) {
    ASSERT_TRUE(controller_->CreateViewWindows());
    EXPECT_EQ(views_.parent, hwnd_);
    EXPECT_TRUE(views_.bars[0]->visible);
    EXPECT_FALSE(views_.bars[1]->visible);
    EXPECT_FALSE(views_.bars[2]->visible);
    EXPECT_FALSE(views_.library->visible);
    EXPECT_FALSE(views_.notes->visible);
    EXPECT_EQ(controller_->GetLibraryView(), views_.library);
}

TEST_F(ReaderWindowTest, ViewWindowsThatCannotBeMadeFailTheCall) {
    views_.failLists = true;
    EXPECT_FALSE(controller_->CreateViewWindows());
    // What does exist still switches.
    controller_->ShowLibrary();
    controller_->ShowReaderView();
    EXPECT_TRUE(views_.bars[0]->visible);
}

TEST_F(ReaderWindowTest, LibraryShowsSelectedOnTheOpenBook) {
    ASSERT_TRUE(controller_->CreateViewWindows());
    doc_->hasLocation = true;
    ASSERT_TRUE(doc_->location.Parse(String(u"\\storage\\eBooks\\a.prc"), true));
    String expected;
    ASSERT_TRUE(doc_->location.ToString(expected, false));
    controller_->ShowLibrary();
    EXPECT_TRUE(views_.library->visible);
    EXPECT_FALSE(views_.notes->visible);
    for (FakeBar* bar : views_.bars) EXPECT_FALSE(bar->visible);
    EXPECT_EQ(U16(controller_->LibraryBook()), U16(expected));
    EXPECT_EQ(views_.log.back(), "library refresh " + fvt::test::Ascii(expected));
    EXPECT_EQ(Caption(hwnd_), u"Folivant Reader");

    controller_->ShowAnnotations();
    EXPECT_FALSE(views_.library->visible);
    EXPECT_TRUE(views_.notes->visible);

    doc_->title = u"Moby Dick";
    controller_->ShowReaderView();
    EXPECT_FALSE(views_.library->visible);
    EXPECT_FALSE(views_.notes->visible);
    EXPECT_TRUE(views_.bars[0]->visible);
    EXPECT_EQ(Caption(hwnd_), u"Moby Dick - Folivant Reader");
    EXPECT_EQ(GetFocus(), hwnd_);
}

TEST_F(ReaderWindowTest, TitleShowsTheBarOfTheViewMode) {
    ASSERT_TRUE(controller_->CreateViewWindows());
    struct Case {
        uint32_t mode;
        bool reader, audio, zoom;
    } cases[] = {{1, true, false, false}, {2, true, false, false}, {3, false, false, true},
                 {6, false, true, false}, {7, false, false, false}, {9, true, false, false}};
    for (const Case& c : cases) {
        doc_->viewMode = c.mode;
        controller_->UpdateWindowTitle();
        EXPECT_EQ(views_.bars[0]->visible, c.reader) << c.mode;
        EXPECT_EQ(views_.bars[1]->visible, c.audio) << c.mode;
        EXPECT_EQ(views_.bars[2]->visible, c.zoom) << c.mode;
    }
    EXPECT_EQ(Caption(hwnd_), u"Folivant Reader");  // a document without a title
}

TEST_F(ReaderWindowTest, FullScreenSettingIsAppliedOnceWhenItDiffers) {
    ASSERT_TRUE(controller_->CreateViewWindows());
    controller_->UpdateWindowTitle();
    EXPECT_TRUE(shell_.log.empty());
    Settings().fullScreen = 1;
    controller_->UpdateWindowTitle();
    controller_->UpdateWindowTitle();
    EXPECT_EQ(shell_.log, (std::vector<std::string>{"FullScreen on"}));
    EXPECT_TRUE(controller_->IsFullScreen());
    EXPECT_FALSE(views_.bars[0]->visible);  // the reader bar gives way in full screen
}

TEST_F(ReaderWindowTest, CommandsAreOfferedInOrderUntilOneTakesIt) {
    ASSERT_TRUE(controller_->CreateViewWindows());
    views_.log.clear();
    views_.bars[0]->takes = 40;
    EXPECT_TRUE(controller_->RouteCommand(40));
    EXPECT_EQ(views_.log, (ViewLog{"library cmd 40", "notes cmd 40", "audio cmd 40",
                                   "reader cmd 40"}));
    views_.log.clear();
    EXPECT_FALSE(controller_->RouteCommand(41));
    EXPECT_EQ(views_.log.size(), 5u);
    EXPECT_EQ(views_.log.back(), "zoom cmd 41");
    views_.log.clear();
    views_.library->takes = 42;
    EXPECT_TRUE(controller_->RouteCommand(42));
    EXPECT_EQ(views_.log, (ViewLog{"library cmd 42"}));
}

TEST_F(ReaderWindowTest, MessagesGoToTheLibraryThenTheAnnotations) {
    ASSERT_TRUE(controller_->CreateViewWindows());
    views_.log.clear();
    views_.notes->takesMessage = WM_USER + 3;
    LRESULT result = 0;
    EXPECT_TRUE(controller_->RouteMessage(WM_USER + 3, 0, 0, result));
    EXPECT_EQ(result, 7);
    EXPECT_EQ(views_.log, (ViewLog{"library msg 1027", "notes msg 1027"}));
    EXPECT_FALSE(controller_->RouteMessage(WM_USER + 4, 0, 0, result));
}

TEST_F(ReaderWindowTest, ListWindowsAreLaidOutAndFocused) {
    ASSERT_TRUE(controller_->CreateViewWindows());
    controller_->LayoutListWindows(Rect{0, 26, kW, 200});
    EXPECT_EQ(views_.library->laidOut, (Rect{0, 26, kW, 200}));
    EXPECT_EQ(views_.notes->laidOut, (Rect{0, 26, kW, 200}));
    controller_->FocusActiveList();
    EXPECT_EQ(shell_.log, (std::vector<std::string>{"ActivateFind"}));  // no list shows
    controller_->ShowAnnotations();
    views_.log.clear();
    controller_->FocusActiveList();
    EXPECT_EQ(views_.log, (ViewLog{"notes focus"}));
}

// ---- View changes and the position bar ----------------------------------------------------

TEST_F(ReaderWindowTest, PositionBarFollowsTheViewAndTheSetting) {
    EXPECT_EQ(controller_->GetPositionBar(), nullptr);
    controller_->OnViewChanged(nullptr, ReaderController::kReadingState);
    PositionBar* bar = controller_->GetPositionBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->Parent(), main_->Surface());
    EXPECT_FALSE(bar->IsVisible());  // the setting is off by default

    controller_->OnCommand(115, false);
    EXPECT_EQ(Settings().progressBar, 1);
    ASSERT_EQ(controller_->GetPositionBar(), bar);
    EXPECT_TRUE(bar->IsVisible());
    doc_->length = 1000;
    doc_->pageNumber = 3;
    main_->Surface()->InvalidateRect(nullptr);
    fvt::RunUntilIdle();  // drawn through the link

    HidingView hiding;
    controller_->OnViewChanged(&hiding, ReaderController::kReadingState);
    EXPECT_EQ(controller_->GetPositionBar(), nullptr);
    controller_->OnViewChanged(nullptr, 2);
    EXPECT_EQ(controller_->GetPositionBar(), nullptr);
    controller_->OnCommand(115, false);  // the setting alone brings no bar outside reading
    EXPECT_EQ(controller_->GetPositionBar(), nullptr);
    controller_->OnViewChanged(nullptr, ReaderController::kReadingState);
    ASSERT_NE(controller_->GetPositionBar(), nullptr);
    EXPECT_FALSE(controller_->GetPositionBar()->IsVisible());
}

TEST_F(ReaderWindowTest, ViewChangeForcesThePopupRectangleAndTheDoneButton) {
    ASSERT_TRUE(controller_->CreateViewWindows());
    controller_->LockPopupRect();
    views_.log.clear();
    fvt::ClearShellLog();
    controller_->OnViewChanged(nullptr, ReaderController::kDoneState);
    EXPECT_EQ(controller_->PopupRect(), (Rect{0, 0, kW, kH}));
    EXPECT_TRUE(LogHas("SHDoneButton 1"));
    EXPECT_EQ(views_.log, (ViewLog{"reader items", "audio items"}));
    controller_->OnViewChanged(nullptr, ReaderController::kReadingState);
    EXPECT_TRUE(LogHas("SHDoneButton 2"));
}

TEST_F(ReaderWindowTest, DeactivationRefreshesTheBarAndTheMenus) {
    ASSERT_TRUE(controller_->CreateViewWindows());
    controller_->OnViewChanged(nullptr, ReaderController::kReadingState);
    Settings().progressBar = 1;
    views_.log.clear();
    controller_->OnDeactivate();
    EXPECT_TRUE(controller_->GetPositionBar()->IsVisible());
    EXPECT_EQ(views_.log, (ViewLog{"reader items", "audio items", "zoom items"}));
}

// ---- The busy popup, without a window -------------------------------------------------------

// A text flashed before the window has told the controller its pop-up rectangle (a book's
// script at opening) is centred on the window, not at its corner.
TEST_F(ReaderWindowTest, ABusyTextBeforeAnyPopupRectangleIsCentredOnTheWindow) {
    ASSERT_TRUE(controller_->ShowBusyText(String(u"Saved"), 1000));
    fvt::test::FakeTextPopup* popup = popups_.last;
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->placement, TextPopup::kCentred);
    EXPECT_EQ(popup->area, (Rect{0, 0, kW, kH}));
    EXPECT_EQ(popup->anchor.x, kW / 2);
    EXPECT_EQ(popup->anchor.y, kH / 2);
}

class BusyPopupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(device_.ok());
        controller_.SetTimerHost(&host_);
        controller_.SetShell(&shell_);
        controller_.SetDrawingSurface(&surface_);
        controller_.SetPopupFactory(&popups_);
        controller_.SetDocumentController(&doc_);
        controller_.SetPopupRect(Rect{0, 20, 200, 100}, true);
    }
    void TearDown() override {
        controller_.SetDrawingSurface(nullptr);
        if (file_) file_->Release();
        Resources::FlushCache();
    }

    // On the virtual clock, driven by this thread: a Sleep or a timed wait here would move it.
    fvt::test::TempDevice device_{"clock = virtual\n"};
    fvt::test::FakePopupFactory popups_;
    ManualTimerHost host_;
    fvt::test::FakeShell shell_;
    FakeDocumentController doc_;
    DrawingSurface surface_{nullptr};
    ReaderController controller_;
    AnnotationFile* file_ = nullptr;
};

TEST_F(BusyPopupTest, TimedTextIsHiddenByATimerNotByWaiting) {
    const uint32_t before = GetTickCount();
    ASSERT_TRUE(controller_.ShowBusyText(String(u"Saved"), 2000));
    EXPECT_EQ(GetTickCount(), before);  // nothing slept the two seconds, nor waited at all
    fvt::test::FakeTextPopup* popup = popups_.last;
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(popup->shown);
    EXPECT_EQ(popup->runs, (std::vector<std::string>{"Saved|128"}));
    EXPECT_EQ(popup->placement, TextPopup::kCentred);
    EXPECT_EQ(popup->anchor.x, 100);  // the popup rectangle's centre
    EXPECT_EQ(popup->anchor.y, 70);
    EXPECT_NE(controller_.BusyTimerId(), -1);
    host_.FireAll(controller_.Timers());
    EXPECT_FALSE(controller_.HasBusyPopup());
    EXPECT_EQ(controller_.BusyTimerId(), -1);
    EXPECT_EQ(popups_.log, (ViewLog{"popup 1 shown", "popup 1 hidden", "popup 1 gone"}));
    EXPECT_TRUE(host_.live.empty());
    EXPECT_TRUE(controller_.CheckInvariants());
}

TEST_F(BusyPopupTest, ASecondTextReplacesTheFirstAndItsTimer) {
    ASSERT_TRUE(controller_.ShowBusyText(String(u"One"), 1000));
    ASSERT_TRUE(controller_.ShowBusyText(String(u"Two"), 1000));
    EXPECT_EQ(host_.live.size(), 1u);
    EXPECT_EQ(popups_.log, (ViewLog{"popup 1 shown", "popup 1 hidden", "popup 1 gone",
                                    "popup 2 shown"}));
    host_.FireAll(controller_.Timers());
    EXPECT_FALSE(controller_.HasBusyPopup());
}

TEST_F(BusyPopupTest, QueuedCommandsAndTheBusyTimerDoNotMeet) {
    ASSERT_TRUE(controller_.ShowBusyText(String(u"Wait"), 1000));
    controller_.PostCommand(110);
    host_.FireAll(controller_.Timers());
    EXPECT_EQ(doc_.executed, (std::vector<int32_t>{110}));
    EXPECT_FALSE(controller_.HasBusyPopup());
    EXPECT_TRUE(controller_.CheckInvariants());
}

TEST_F(BusyPopupTest, BusyPopupStaysUntilHidden) {
    ASSERT_TRUE(controller_.ShowBusyPopup(ReaderController::kBusyString));
    const char16_t* busy = LoadResString(ReaderController::kBusyString);
    ASSERT_NE(busy, nullptr);
    EXPECT_EQ(popups_.last->runs.front(), fvt::test::Ascii(String(busy)) + "|128");
    EXPECT_TRUE(host_.live.empty());
    controller_.HideBusyPopup();
    EXPECT_FALSE(controller_.HasBusyPopup());
    controller_.HideBusyPopup();  // twice is harmless
}

TEST_F(BusyPopupTest, SlowLoadsShowAndHideTheBusyPopupThroughItsCallbacks) {
    ReaderController fresh;
    EXPECT_EQ(fresh.BusyShowCallback(), nullptr);  // not before the final set-up
    controller_.InitPopupCallbacks();
    BookHostInterface* show = controller_.BusyShowCallback();
    BookHostInterface* hide = controller_.BusyHideCallback();
    ASSERT_NE(show, nullptr);
    ASSERT_NE(hide, nullptr);
    show->Notify();
    EXPECT_TRUE(controller_.HasBusyPopup());
    EXPECT_EQ(controller_.BusyTimerId(), -1);  // up for as long as the load takes
    hide->Notify();
    EXPECT_FALSE(controller_.HasBusyPopup());
}

TEST_F(BusyPopupTest, WithoutPopupsTheTextGoesToTheShell) {
    popups_.fail = true;
    EXPECT_TRUE(controller_.ShowTextFor(ReaderController::kBusyString, 500));
    ASSERT_EQ(shell_.shown.size(), 1u);
    EXPECT_EQ(shell_.shown[0], U16(String(LoadResString(ReaderController::kBusyString))));
    EXPECT_FALSE(controller_.HasBusyPopup());
    EXPECT_EQ(controller_.BusyTimerId(), -1);
}

TEST_F(BusyPopupTest, PopupsLeaveWithTheirSurface) {
    ASSERT_TRUE(controller_.ShowBusyText(String(u"Wait"), 1000));
    controller_.SetDrawingSurface(nullptr);
    EXPECT_FALSE(controller_.HasBusyPopup());
    EXPECT_TRUE(host_.live.empty());
    // And none is made without one.
    EXPECT_TRUE(controller_.ShowBusyText(String(u"Again"), 1000));
    EXPECT_EQ(popups_.made, 1);
    EXPECT_EQ(shell_.shown.size(), 1u);
}

TEST_F(BusyPopupTest, NotePopupOffersEditAndDeleteForItsIndex) {
    file_ = new AnnotationFile();
    ASSERT_EQ(0, file_->OpenOrCreate("\\book.prc", "Book", 4, 0, 1, 1));
    doc_.annotations = file_;
    const char16_t note[] = u"Look here";
    int32_t index = file_->AddBookmark(2, 10, 20, 0, 0, 32, 0);
    ASSERT_GE(index, 0);
    ASSERT_EQ(0, file_->SetBookmarkText(index, note, 9));
    int32_t empty = file_->AddBookmark(1, 30, 30, 0, 0, 0, 0);
    ASSERT_GE(empty, 0);

    ASSERT_TRUE(controller_.ShowNotePopup(index, Point{12, 34}));
    fvt::test::FakeTextPopup* popup = popups_.last;
    const std::string i = std::to_string(index);
    const std::string edit = fvt::test::Ascii(String(LoadResString(ReaderController::kEditString)));
    const std::string del =
        fvt::test::Ascii(String(LoadResString(ReaderController::kDeleteString)));
    EXPECT_EQ(popup->runs, (std::vector<std::string>{"Look here|32",
                                                     "link " + edit + "|148|24|73|" + i,
                                                     " - |144", "link " + del + "|148|24|74|" + i}));
    EXPECT_EQ(popup->anchor.x, 12);
    EXPECT_EQ(popup->placement, TextPopup::kAtAnchor);

    EXPECT_FALSE(controller_.ShowNotePopup(empty, Point{}));  // no text: no popup
    EXPECT_FALSE(controller_.ShowNotePopup(-1, Point{}));
    EXPECT_FALSE(controller_.ShowNotePopup(index + 100, Point{}));
    EXPECT_EQ(popups_.made, 1);
    doc_.annotations = nullptr;
}

// ---- Timers moved to another window ---------------------------------------------------------

TEST(ReaderControllerTimers, WaitingCommandsFollowANewTimerHost) {
    fvt::test::TempDevice device;
    ASSERT_TRUE(device.ok());
    ManualTimerHost first, second;
    FakeDocumentController doc;
    ReaderController controller;
    controller.SetDocumentController(&doc);
    controller.SetTimerHost(&first);
    controller.PostCommand(110);
    controller.SetTimerHost(&second);  // the first host's timer is gone with it
    EXPECT_TRUE(first.live.empty());
    controller.PostCommand(111);
    second.FireAll(controller.Timers());
    EXPECT_EQ(doc.executed, (std::vector<int32_t>{110, 111}));
    EXPECT_TRUE(controller.CheckInvariants());
}

}  // namespace
