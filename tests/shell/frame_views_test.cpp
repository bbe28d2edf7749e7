// The main window with the reader's objects: the document controller's start and reading
// position, list windows and bars, the busy pop-up, the display surface's timed mode, the frames
// of link-target windows, and giving the buttons back at exit.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/resources.h"
#include "document/location/location.h"
#include "graphics/core/display_surface.h"
#include "graphics/core/drawing_surface.h"
#include "platform/controls/controls.h"
#include "platform/dialog/answers.h"
#include "platform/shell/shell.h"
#include "platform/window/keys.h"
#include "reader/reader_controller.h"
#include "reader/reader_core.h"
#include "reader/reader_settings.h"
#include "reader/reader_window.h"
#include "shell/main_frame.h"
#include "shell/native_control.h"
#include "shell/shell_services.h"
#include "support/bookfiles/book_builder.h"
#include "support/reader/reader_view_fakes.h"
#include "support/shell/shell_fixture.h"

namespace fvt::test {
namespace {

// The idle controller with a page to scroll, and a record of the frame's calls.
class RecordingDocument : public IdleDocumentController {
public:
    bool Start(bool documentGiven) override {
        starts.push_back(documentGiven);
        return startOpens;
    }
    bool SaveReadingPosition(bool closing) override {
        saves.push_back(closing);
        return true;
    }
    bool GetViewRect(Rect& r) override {
        r = Rect{0, 0, 200, 160};
        return true;
    }
    bool PageStep(int32_t, int32_t, int32_t) override {
        ++steps;
        return true;
    }
    const Location* CurrentLocation() const override { return shown ? &location : nullptr; }
    // Shows a file (for the card tests).
    bool Show(const char16_t* path) {
        String link(path);
        shown = link.UriEscape(true, true) && location.Parse(link, true);
        return shown;
    }
    std::vector<bool> starts;
    std::vector<bool> saves;
    Location location;
    bool shown = false;
    bool startOpens = false;
    int steps = 0;
};

class RecordingFactory : public DocumentControllerFactory {
public:
    DocumentController* CreateDocumentController(ScriptHeap*) override {
        auto* document = new RecordingDocument();
        document->startOpens = startOpens;
        made.push_back(document);
        return document;
    }
    std::vector<RecordingDocument*> made;
    bool startOpens = false;
};

class FrameViewsTest : public HostedShellTest {
protected:
    AppShell* Start(const char16_t* commandLine = u"") {
        beforeRun = [this](AppShell* shell) {
            shell->SetDocumentFactory(&documents_);
            shell->SetViewFactories(&views_, &popups_);
        };
        // The shell's own frame services: card notices reach its windows.
        return StartShell(commandLine, false);
    }
    void TearDown() override {
        HostedShellTest::TearDown();
        Resources::FlushCache();  // the texts the pop-ups loaded
    }
    RecordingDocument* MainDocument() {
        return documents_.made.empty() ? nullptr : documents_.made.front();
    }

    RecordingFactory documents_;
    FakeViewFactory views_;
    FakePopupFactory popups_;
};

using DocumentStart = FrameViewsTest;
using ViewWindows = FrameViewsTest;
using BusyPopup = FrameViewsTest;
using TimedMode = FrameViewsTest;
using LinkFrames = FrameViewsTest;
using ButtonFunctions = FrameViewsTest;

int Count(const ViewLog& log, const std::string& entry) {
    return static_cast<int>(std::count(log.begin(), log.end(), entry));
}

TEST_F(DocumentStart, WithoutADocumentTheStartMayReopenTheLastBook) {
    documents_.startOpens = true;
    ASSERT_NE(Start(), nullptr);
    RecordingDocument* document = MainDocument();
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->starts, std::vector<bool>{false});
    // It opened something: the library is not asked for on top.
    EXPECT_TRUE(document->Requested().empty());
}

TEST_F(DocumentStart, ANamedDocumentIsOpenedInsteadOfTheLastBook) {
    documents_.startOpens = true;
    ASSERT_NE(Start(u"\\storage\\eBooks\\a.prc"), nullptr);
    RecordingDocument* document = MainDocument();
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->starts, std::vector<bool>{true});
    ASSERT_EQ(document->Requested().size(), 2u);
    EXPECT_TRUE(document->Requested()[0].EqualsAscii("\\storage\\eBooks\\a.prc"));
    // The idle controller opens nothing, so the library follows.
    EXPECT_TRUE(document->Requested()[1].EqualsAscii("oeb:library"));
}

TEST_F(DocumentStart, AStartThatOpensNothingShowsTheLibrary) {
    ASSERT_NE(Start(), nullptr);
    RecordingDocument* document = MainDocument();
    ASSERT_NE(document, nullptr);
    ASSERT_EQ(document->Requested().size(), 1u);
    EXPECT_TRUE(document->Requested()[0].EqualsAscii("oeb:library"));
}

TEST_F(DocumentStart, LosingTheScreenSavesTheReadingPositionGainingItDoesNot) {
    AppShell* shell = Start();
    ASSERT_NE(shell, nullptr);
    RecordingDocument* document = MainDocument();
    document->saves.clear();
    SendMessageW(shell->Window(), WM_ACTIVATE, 1, 0);
    EXPECT_TRUE(document->saves.empty());
    SendMessageW(shell->Window(), WM_ACTIVATE, 0, 0);
    EXPECT_EQ(document->saves, std::vector<bool>{false});
}

TEST_F(ViewWindows, CreatingTheWindowMakesTheBarsAndListsOverIt) {
    AppShell* shell = Start();
    ASSERT_NE(shell, nullptr);
    ASSERT_NE(views_.library, nullptr);
    ASSERT_NE(views_.notes, nullptr);
    for (FakeBar* bar : views_.bars) EXPECT_NE(bar, nullptr);
    EXPECT_EQ(views_.parent, shell->Window());
}

TEST_F(ViewWindows, NoticesGoToTheListWindowThatTakesThem) {
    AppShell* shell = Start();
    ASSERT_NE(shell, nullptr);
    views_.notes->takesMessage = WM_NOTIFY;
    EXPECT_EQ(SendMessageW(shell->Window(), WM_NOTIFY, 0, 0), 7);
    EXPECT_EQ(Count(views_.log, "library msg 78"), 1);
    EXPECT_EQ(Count(views_.log, "notes msg 78"), 1);
    // Nobody takes it: the default handling answers.
    views_.notes->takesMessage = 0;
    EXPECT_EQ(SendMessageW(shell->Window(), WM_NOTIFY, 0, 0), 0);
}

TEST_F(ViewWindows, MenuCommandsReachTheBarsByTheirId) {
    AppShell* shell = Start();
    ASSERT_NE(shell, nullptr);
    views_.bars[1]->takes = 112;
    views_.log.clear();
    EXPECT_EQ(SendMessageW(shell->Window(), WM_COMMAND, 112, 0), 0);
    EXPECT_EQ(Count(views_.log, "audio cmd 112"), 1);
    // The first taker ends the round: the bars after the audio bar are not asked.
    EXPECT_EQ(Count(views_.log, "reader cmd 112"), 0);
}

TEST_F(ViewWindows, AFormControlsChangeNoticeIsNoCommand) {
    AppShell* shell = Start();
    ASSERT_NE(shell, nullptr);
    NativeControl edit;
    ASSERT_TRUE(edit.Create(nullptr, NativeControl::kEdit, RECT{2, 2, 100, 20}, shell->Window(),
                            4));
    views_.log.clear();
    const WPARAM change = MAKEWPARAM(4, EN_CHANGE);
    EXPECT_EQ(SendMessageW(shell->Window(), WM_COMMAND, change,
                           reinterpret_cast<LPARAM>(edit.Window())),
              1);
    for (const std::string& entry : views_.log) EXPECT_EQ(entry.find(" cmd "), std::string::npos);
}

TEST_F(ViewWindows, SizingLaysTheListsOutOverTheClientArea) {
    AppShell* shell = Start();
    ASSERT_NE(shell, nullptr);
    RECT client{};
    ASSERT_TRUE(shell->GetClientRect(client));
    SendMessageW(shell->Window(), WM_SIZE, 0, 0);
    EXPECT_EQ(views_.library->laidOut.width, client.right - client.left);
    EXPECT_EQ(views_.notes->laidOut.height, client.bottom - client.top);
}

TEST_F(ViewWindows, AShownListKeepsTheFocusWhenTheWindowGetsIt) {
    AppShell* shell = Start();
    ASSERT_NE(shell, nullptr);
    views_.library->visible = false;
    views_.log.clear();
    SendMessageW(shell->Window(), WM_SETFOCUS, 0, 0);
    EXPECT_EQ(Count(views_.log, "library focus"), 0);
    views_.library->visible = true;
    SendMessageW(shell->Window(), WM_SETFOCUS, 0, 0);
    EXPECT_EQ(Count(views_.log, "library focus"), 1);
}

TEST_F(ViewWindows, OnlyThePlayersStateNoticeRefreshesTheAudioBar) {
    AppShell* shell = Start();
    ASSERT_NE(shell, nullptr);
    DocumentController* document = shell->GetReaderWindow()->Document();
    views_.log.clear();
    document->NotifyCommand(111);
    EXPECT_EQ(Count(views_.log, "audio items"), 0);
    document->NotifyCommand(AppShell::kAudioStateCommand);
    EXPECT_EQ(views_.log, ViewLog{"audio items"});
}

TEST_F(ViewWindows, TheSoftKeysHotKeyTogglesFullScreenThroughTheReadersShell) {
    FakeShell readerShell;
    beforeRun = [&](AppShell* shell) { shell->SetReaderShell(&readerShell); };
    AppShell* shell = StartShell(u"", false);
    ASSERT_NE(shell, nullptr);
    const LPARAM press = static_cast<LPARAM>(static_cast<DWORD>(VK_F2) << 16);
    SendMessageW(shell->Window(), WM_HOTKEY, VK_F2, press);
    SendMessageW(shell->Window(), WM_HOTKEY, VK_F2, press | MOD_KEYUP);
    EXPECT_EQ(std::count(readerShell.log.begin(), readerShell.log.end(), "FullScreen"), 1);
}

TEST_F(BusyPopup, PrivateMessagesShowAndHideThePleaseWaitText) {
    AppShell* shell = Start();
    ASSERT_NE(shell, nullptr);
    EXPECT_EQ(SendMessageW(shell->Window(), MainFrame::kShowBusy, 0, 0), 1);
    ASSERT_NE(popups_.last, nullptr);
    FakeTextPopup* popup = popups_.last;
    EXPECT_TRUE(popup->shown);
    ASSERT_FALSE(popup->runs.empty());
    EXPECT_EQ(popup->runs[0].rfind("Please wait", 0), 0u);
    EXPECT_TRUE(shell->GetReaderWindow()->Controller()->HasBusyPopup());
    EXPECT_EQ(SendMessageW(shell->Window(), MainFrame::kHideBusy, 0, 0), 1);
    EXPECT_FALSE(shell->GetReaderWindow()->Controller()->HasBusyPopup());
    // Hiding twice is harmless.
    EXPECT_EQ(SendMessageW(shell->Window(), MainFrame::kHideBusy, 0, 0), 1);
}

TEST_F(BusyPopup, WithoutAMakerOfItsOwnTheProgramShowsTheWidgetsPopup) {
    AppShell* shell = StartShell();
    ASSERT_NE(shell, nullptr);
    ReaderController* controller = shell->GetReaderWindow()->Controller();
    EXPECT_EQ(SendMessageW(shell->Window(), MainFrame::kShowBusy, 0, 0), 1);
    EXPECT_TRUE(controller->HasBusyPopup());
    EXPECT_EQ(SendMessageW(shell->Window(), MainFrame::kHideBusy, 0, 0), 1);
    EXPECT_FALSE(controller->HasBusyPopup());
}

int PowerLines(const std::string& prefix) {
    int n = 0;
    for (const std::string& line : fvt::ShellLog()) n += line.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
}

TEST_F(TimedMode, TheWindowAttachesTheDisplaySurface) {
    AppShell* shell = Start();
    ASSERT_NE(shell, nullptr);
    ReaderWindow* reader = shell->GetReaderWindow();
    EXPECT_TRUE(reader->Display().IsAttached());
    EXPECT_EQ(reader->Surface()->Display(), &reader->Display());
    EXPECT_EQ(reader->Surface()->Window(), shell->Window());
}

TEST_F(TimedMode, TimerOneStepsTheScrollAndKeepsTheBacklightUntilItStops) {
    AppShell* shell = Start();
    ASSERT_NE(shell, nullptr);
    ReaderWindow* reader = shell->GetReaderWindow();
    fvt::ClearShellLog();
    reader->Surface()->DisplayCommand(Cmd::kStartAutoScroll);
    ASSERT_TRUE(reader->Display().IsTimerRunning());
    EXPECT_EQ(PowerLines("power BKL1:"), 1);
    SendMessageW(shell->Window(), WM_TIMER, DisplaySurface::kTimerId, 0);
    // The first tick turns to the next page before the scroll shows it.
    EXPECT_EQ(MainDocument()->steps, 1);
    // Another program takes the screen: the scroll stops and the backlight is let go.
    SendMessageW(shell->Window(), WM_ACTIVATE, 0, 0);
    EXPECT_FALSE(reader->Display().IsTimerRunning());
    EXPECT_EQ(PowerLines("power released"), 1);
}

TEST_F(TimedMode, EachWindowHoldsAndLetsGoOfItsOwnBacklightRequirement) {
    AppShell* shell = Start();
    ASSERT_NE(shell, nullptr);
    String target(u"_blank");
    ReaderWindow* side =
        ReaderWindow::OpenTarget(shell->Core(), target, nullptr, nullptr, true, false);
    ASSERT_NE(side, nullptr);
    ReaderWindow* main = shell->GetReaderWindow();
    fvt::ClearShellLog();
    main->Surface()->DisplayCommand(Cmd::kStartAutoScroll);
    side->Surface()->DisplayCommand(Cmd::kStartAutoScroll);
    EXPECT_EQ(PowerLines("power BKL1:"), 2);
    side->Surface()->DisplayCommand(Cmd::kStopAutoScroll);
    EXPECT_EQ(PowerLines("power released"), 1);
    // The other window still scrolls with the light on, and lets it go when it stops.
    EXPECT_TRUE(main->Display().IsTimerRunning());
    main->Surface()->DisplayCommand(Cmd::kStopAutoScroll);
    EXPECT_EQ(PowerLines("power released"), 2);
}

TEST_F(TimedMode, ATimerOneWithoutTheScrollGoesToTheControllersTimers) {
    AppShell* shell = Start();
    ASSERT_NE(shell, nullptr);
    SendMessageW(shell->Window(), WM_TIMER, DisplaySurface::kTimerId, 0);
    EXPECT_EQ(MainDocument()->steps, 0);
}

TEST_F(LinkFrames, ABlankTargetGetsAFrameAndClosingItLeavesTheCoreList) {
    AppShell* shell = Start();
    ASSERT_NE(shell, nullptr);
    ReaderCore* core = shell->Core();
    ASSERT_EQ(core->FrameHost(), shell);
    String target(u"_blank");
    ReaderWindow* window = ReaderWindow::OpenTarget(core, target, nullptr, nullptr, true, false);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(Narrow(target).rfind("wnd", 0), 0u);
    EXPECT_EQ(shell->FrameCount(), 1);
    EXPECT_EQ(core->WindowCount(), 2);
    HWND frame = window->Surface()->Window();
    EXPECT_TRUE(IsWindow(frame));
    EXPECT_NE(frame, shell->Window());
    // The frame started its document without a default view: the link fills it.
    ASSERT_EQ(documents_.made.size(), 2u);
    EXPECT_EQ(documents_.made[1]->starts, std::vector<bool>{});
    EXPECT_TRUE(documents_.made[1]->Requested().empty());
    EXPECT_TRUE(shell->CloseFrame(window));
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_EQ(shell->FrameCount(), 0);
    EXPECT_EQ(core->WindowCount(), 1);
    EXPECT_FALSE(shell->CloseFrame(window));
}

TEST_F(LinkFrames, AFrameClosedByTheUserIsForgotten) {
    AppShell* shell = Start();
    ASSERT_NE(shell, nullptr);
    String target(u"notes");
    ReaderWindow* window =
        ReaderWindow::OpenTarget(shell->Core(), target, nullptr, nullptr, true, false);
    ASSERT_NE(window, nullptr);
    DestroyWindow(window->Surface()->Window());
    EXPECT_EQ(shell->FrameCount(), 0);
    EXPECT_EQ(shell->Core()->WindowCount(), 1);
}

TEST_F(LinkFrames, ClosingTheMainWindowClosesTheOpenFramesFirst) {
    AppShell* shell = Start();
    ASSERT_NE(shell, nullptr);
    String a(u"_blank"), b(u"side");
    ReaderWindow* first = ReaderWindow::OpenTarget(shell->Core(), a, nullptr, nullptr, true, false);
    ReaderWindow* second =
        ReaderWindow::OpenTarget(shell->Core(), b, nullptr, nullptr, true, false);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    HWND frames[] = {first->Surface()->Window(), second->Surface()->Window()};
    HWND window = shell->Window();
    shell_ = nullptr;
    // Each reader window is deleted once, by its frame (the sanitizers see a second delete).
    ASSERT_TRUE(DestroyWindow(window));
    for (HWND frame : frames) EXPECT_FALSE(IsWindow(frame));
    EXPECT_TRUE(DrainQuit());
}

TEST_F(LinkFrames, ARemovedCardTakesItsBooksFromEveryWindow) {
    AppShell* shell = Start();
    ASSERT_NE(shell, nullptr);
    String target(u"_blank");
    ReaderWindow* window =
        ReaderWindow::OpenTarget(shell->Core(), target, nullptr, nullptr, true, false);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(documents_.made.size(), 2u);
    RecordingDocument* main = documents_.made[0];
    RecordingDocument* side = documents_.made[1];
    ASSERT_TRUE(main->Show(u"\\storage\\eBooks\\b.prc"));
    ASSERT_TRUE(side->Show(u"\\Storage Card\\eBooks\\a.prc"));
    const size_t mainBefore = main->Requested().size();
    ASSERT_TRUE(fvt::RemoveCard(u"Storage Card"));
    fvt::RunUntilIdle();
    fvt::AdvanceClock(MainFrame::kCardTimerMs);
    fvt::RunUntilIdle();
    ASSERT_EQ(side->Requested().size(), 1u);
    EXPECT_TRUE(side->Requested()[0].EqualsAscii("oeb:library"));
    EXPECT_EQ(main->Requested().size(), mainBefore);
}

TEST_F(LinkFrames, TheReleaserTurnsEveryWindowShowingTheBookToTheLibrary) {
    AppShell* shell = Start();
    ASSERT_NE(shell, nullptr);
    RecordingDocument* main = MainDocument();
    ASSERT_TRUE(main->Show(u"\\storage\\eBooks\\b.prc"));
    const size_t before = main->Requested().size();
    ReaderBookReleaser releaser(shell);
    Text other;
    ASSERT_TRUE(other.FromString(String(u"\\storage\\eBooks\\a.prc")));
    EXPECT_TRUE(releaser.ReleaseBook(other));
    EXPECT_EQ(main->Requested().size(), before);
    Text same;
    ASSERT_TRUE(same.FromString(String(u"\\STORAGE\\ebooks\\B.prc")));
    EXPECT_TRUE(releaser.ReleaseBook(same));
    ASSERT_EQ(main->Requested().size(), before + 1);
    EXPECT_TRUE(main->Requested().back().EqualsAscii("oeb:library"));
}

using ShellHandOffs = FrameViewsTest;

TEST_F(ShellHandOffs, ABooksTracksGoToThePlayerAndTheRecorderFollows) {
    AppShell* shell = Start();
    ASSERT_NE(shell, nullptr);
    BookBuilder b;
    b.text = ToBytes("<html><body>book</body></html>");
    b.resources = {ToBytes("OggS-one"), ToBytes("abc")};
    const Bytes bytes = b.Build();
    device_.WriteHost("Books/talk.prc", std::string(bytes.begin(), bytes.end()));
    ASSERT_TRUE(MainDocument()->Show(u"\\Books\\talk.prc"));
    ShellServices services(shell);
    fvt::ClearShellLog();
    ASSERT_TRUE(services.PlayTracks(String(u"talk.prc#1"), true));
    EXPECT_EQ(device_.ReadHost("My Documents/temp1_rec1.ogg"), "OggS-one");
    auto log = fvt::ShellLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "ShellExecuteEx Open \\my documents\\playlist.pmp");
    EXPECT_EQ(log[1], "voice recorder \\My Documents\\fvt_rec.wav");
    DestroyWindow(FindWindowW(fvt::kVoiceRecorderClass, nullptr));
    // Record 2 holds no sound: the advice, and no recorder.
    fvt::ClearShellLog();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(services.PlayTracks(String(u"#2"), true));
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_NE(told.find(": The audio file is not available."), std::string::npos) << told;
    log = fvt::ShellLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].rfind("MessageBox : The audio file is not available.", 0), 0u);
    // A name outside the book's folder is refused before anything is opened.
    fvt::ClearShellLog();
    EXPECT_FALSE(services.PlayTracks(String(u"..\\talk.prc#1"), false));
    EXPECT_TRUE(fvt::ShellLog().empty());
}

TEST_F(ShellHandOffs, BookFilesAndCallsReachTheShellOnlyFromABookFile) {
    AppShell* shell = Start();
    ASSERT_NE(shell, nullptr);
    ShellServices services(shell);
    fvt::ClearShellLog();
    EXPECT_FALSE(services.OpenBookFile(String(u"map.jpg")));  // no book shown
    ASSERT_TRUE(MainDocument()->Show(u"\\Books\\talk.prc"));
    EXPECT_TRUE(services.OpenBookFile(String(u"map.jpg")));
    EXPECT_TRUE(services.Dial(String(u"555 0100")));
    EXPECT_TRUE(services.OpenWithApplication(String(u"pword.exe"), String(u"notes.txt")));
    const auto log = fvt::ShellLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], "ShellExecuteEx Open \\Books\\map.jpg");
    EXPECT_EQ(log[1], "call 555 0100");
    EXPECT_EQ(log[2], "ShellExecuteEx Open pword.exe \"\\Books\\notes.txt\"");
}

TEST_F(ShellHandOffs, PropertiesShowTheLibrarysSheetOfAKnownBook) {
    BookBuilder b;
    b.text = ToBytes("<html><body>book</body></html>");
    const Bytes bytes = b.Build();
    device_.WriteHost("storage/eBooks/talk.prc", std::string(bytes.begin(), bytes.end()));
    AppShell* shell = Start();
    ASSERT_NE(shell, nullptr);
    ShellServices services(shell);
    fvt::ClearShellLog();
    EXPECT_FALSE(services.ShowProperties(String(u"\\storage\\eBooks\\none.prc")));
    EXPECT_TRUE(fvt::ShellLog().empty());
    bool shown = false;
    fvt::QueueAnswer(fvt::Answer{IDCANCEL, {}, [&shown](HWND) { shown = true; }});
    services.ShowProperties(String(u"\\storage\\eBooks\\talk.prc"));
    EXPECT_TRUE(shown);
}

TEST_F(ShellHandOffs, APassingNoteIsABubbleThatReplacesTheLastAndGoesByItself) {
    AppShell* shell = Start();
    ASSERT_NE(shell, nullptr);
    ShellServices services(shell);
    fvt::ClearShellLog();
    services.ShowText(String(u"a < b"), 2000);
    services.ShowText(String(u"copied\nthere"), 0);
    auto log = fvt::ShellLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], "notification 24301 : a &lt; b");
    EXPECT_EQ(log[1], "notification removed 24301");
    EXPECT_EQ(log[2], "notification 24301 : copied<br>there");
    fvt::AdvanceClock(3000);
    fvt::RunUntilIdle();
    EXPECT_EQ(fvt::ShellLog().back(), "notification removed 24301");
}

TEST_F(ButtonFunctions, TheProgramGivesTheButtonsBackAtExit) {
    AppShell* shell = Start();
    ASSERT_NE(shell, nullptr);
    shell->GetReaderWindow()->Settings()->SetKey(0, 1);  // button 1: Back
    SendMessageW(shell->Window(), WM_ACTIVATE, 1, 0);
    EXPECT_TRUE(fvt::IsKeyFunctionTaken(0xC1));
    // Losing the screen only releases the hot keys.
    SendMessageW(shell->Window(), WM_ACTIVATE, 0, 0);
    EXPECT_TRUE(fvt::IsKeyFunctionTaken(0xC1));
    HWND window = shell->Window();
    shell_ = nullptr;
    ASSERT_TRUE(DestroyWindow(window));
    DrainQuit();
    EXPECT_FALSE(fvt::IsKeyFunctionTaken(0xC1));
}

}  // namespace
}  // namespace fvt::test
