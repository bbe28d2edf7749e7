// The main window: start-up of a hosted shell, private messages, hot keys, storage-card notices,
// speech barge-in and the end of the window.
#include "shell/main_frame.h"

#include <gtest/gtest.h>

#include "core/text.h"
#include "document/location/location.h"
#include "platform/kernel/system_info.h"
#include "platform/shell/shell.h"
#include "platform/window/keys.h"
#include "graphics/core/drawing_surface.h"
#include "library/embedded_library.h"
#include "reader/book_document_controller.h"
#include "reader/book_document_controller_factory.h"
#include "reader/reader_core.h"
#include "reader/reader_settings.h"
#include "reader/reader_window.h"
#include "shell/native_control.h"
#include "platform/controls/controls.h"
#include "support/shell/shell_fixture.h"

namespace fvt::test {
namespace {

using StartUp = HostedShellTest;
using PrivateMessages = HostedShellTest;
using HotKeys = HostedShellTest;
using CardNotices = HostedShellTest;
using BargeIn = HostedShellTest;
using WindowEnd = HostedShellTest;

TEST_F(StartUp, HostedShellMakesCoreAndWindowAndRunsNoLoop) {
    AppShell* shell = StartShell();
    ASSERT_NE(shell, nullptr);
    EXPECT_TRUE(IsWindow(shell->Window()));
    ASSERT_NE(shell->Core(), nullptr);
    EXPECT_EQ(shell->GetReaderWindow(), shell->Core()->MainWindow());
    WCHAR name[32] = {};
    GetClassNameW(shell->Window(), name, 32);
    EXPECT_EQ(std::u16string(name), u"folivant reader");
}

TEST_F(StartUp, CommandLineIsOfferedAndTheLibraryFollowsWhenItOpensNothing) {
    AppShell* shell = StartShell(u"\\storage\\eBooks\\a.prc");
    ASSERT_NE(shell, nullptr);
    auto* document =
        static_cast<IdleDocumentController*>(shell->GetReaderWindow()->Document());
    ASSERT_NE(document, nullptr);
    ASSERT_EQ(document->Requested().size(), 2u);
    EXPECT_TRUE(document->Requested()[0].EqualsAscii("\\storage\\eBooks\\a.prc"));
    EXPECT_TRUE(document->Requested()[1].EqualsAscii("oeb:library"));
}

TEST_F(StartUp, ExistingFileWithLinkCharactersKeepsItsWholeName) {
    device_.WriteHost("storage/eBooks/a#b$c%d.txt", "text");
    const String argument(u"\\storage\\eBooks\\a#b$c%d.txt");
    String link;
    ASSERT_TRUE(LinkForArgument(argument, link));
    Location location;
    ASSERT_TRUE(location.Parse(link, true));
    Text file;
    ASSERT_TRUE(location.ToFileName(file));
    String name;
    ASSERT_TRUE(file.ToWide(name));
    EXPECT_EQ(Narrow(name), "\\storage\\eBooks\\a#b$c%d.txt");
    String none;
    EXPECT_FALSE(LinkForArgument(String(u"oeb:library"), none));
}

TEST_F(StartUp, SecondShellOfTheProcessAcceptsTheRegisteredClass) {
    ASSERT_NE(StartShell(), nullptr);
    AppShell other;
    EXPECT_TRUE(other.RegisterWindowClass());
}

std::string Parsed(std::u16string_view line) {
    fvt::SetCommandLine(line);
    String out;
    ParseCommandLine(out);
    return Narrow(out);
}

TEST(CommandLine, OnlyAWholeQuotedArgumentLosesItsQuotes) {
    EXPECT_EQ(Parsed(u"\"\\storage\\a b.prc\""), "\\storage\\a b.prc");
    EXPECT_EQ(Parsed(u"\\storage\\a.prc"), "\\storage\\a.prc");
    // A lone quote, or a quoted part followed by more, stays as written.
    EXPECT_EQ(Parsed(u"\""), "\"");
    EXPECT_EQ(Parsed(u"\"a b.prc\" x"), "\"a b.prc\" x");
    EXPECT_EQ(Parsed(u"\"\""), "");
    EXPECT_EQ(Parsed(u""), "");
    fvt::SetCommandLine(u"");
}

TEST_F(PrivateMessages, NothingMessageAnswersTwo) {
    AppShell* shell = StartShell();
    ASSERT_NE(shell, nullptr);
    EXPECT_EQ(SendMessageW(shell->Window(), MainFrame::kNothing, 0, 0), 2);
}

TEST_F(PrivateMessages, FrameWithoutReaderObjectsAnswersOne) {
    ASSERT_NE(StartShell(), nullptr);  // registers the class
    auto* frame = new MainFrame();
    ASSERT_TRUE(frame->Create(nullptr, nullptr, true, false, host_));
    HWND window = frame->Window();
    for (UINT m = MainFrame::kPrivateState0; m <= MainFrame::kHideBusy; ++m)
        EXPECT_EQ(SendMessageW(window, m, 0, 0), 1) << std::hex << m;
    DestroyWindow(window);  // deletes the frame
}

TEST_F(PrivateMessages, RepaintNowPostsTheAfterRepaintMessage) {
    AppShell* shell = StartShell();
    ASSERT_NE(shell, nullptr);
    EXPECT_EQ(SendMessageW(shell->Window(), MainFrame::kRepaintNow, 0, 0), 1);
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, shell->Window(), MainFrame::kAfterRepaint,
                             MainFrame::kAfterRepaint, PM_REMOVE));
}

TEST_F(PrivateMessages, SpeechCallbackReachesTheSpeechService) {
    AppShell* shell = StartShell();
    ASSERT_NE(shell, nullptr);
    SendMessageW(shell->Window(), MainFrame::kSpeechCallback, 0, 0);
    EXPECT_EQ(services_.calls, std::vector<std::string>{"toggle-speech"});
}

// A plug-in that is always loaded and speaks until stopped.
struct SpeakingClient : SpeechClient {
    int callbacks = 0, stops = 0;
    bool done = true;
    ByteStream state;
    bool IsLoaded() const override { return true; }
    bool Stop() override {
        ++stops;
        done = true;
        return true;
    }
    void ClearStopEvent() override {}
    void SetFirstParam(int32_t) override {}
    void SetReadMode(int32_t) override {}
    bool Speak(const String&) override {
        done = false;
        return true;
    }
    bool PollDone() override { return done; }
    void OnCallback() override { ++callbacks; }
    void SetSentenceTarget(int32_t) override {}
    ByteStream& ReadingState() override { return state; }
};

struct SpeakingClients : SpeechClientFactory {
    SpeakingClient* last = nullptr;
    std::unique_ptr<SpeechClient> CreateSpeechClient(SpeechListener*) override {
        auto client = std::make_unique<SpeakingClient>();
        last = client.get();
        return client;
    }
};

TEST_F(PrivateMessages, TheShellsSpeechServiceReachesTheDocumentsSpeech) {
    BookDocumentControllerFactory books;
    SpeakingClients clients;
    books.SetSpeechClients(&clients);
    beforeRun = [&](AppShell* s) { s->SetDocumentFactory(&books); };
    AppShell* shell = StartShell(u"", false);
    ASSERT_NE(shell, nullptr);
    auto* document = static_cast<BookDocumentController*>(shell->GetReaderWindow()->Document());
    ASSERT_TRUE(document->Speech().Start(String(u"Hello")));
    ASSERT_NE(clients.last, nullptr);
    SendMessageW(shell->Window(), MainFrame::kSpeechCallback, 0, 0);
    EXPECT_EQ(clients.last->callbacks, 1);
    EXPECT_TRUE(document->Speech().IsSpeaking());
    // A key while speaking stops the speech and goes no further.
    EXPECT_EQ(SendMessageW(shell->Window(), WM_KEYDOWN, VK_F1, 0), 1);
    EXPECT_GE(clients.last->stops, 1);
    EXPECT_FALSE(document->Speech().IsSpeaking());
}

LPARAM HotKeyParam(UINT modifiers, UINT vk) {
    return static_cast<LPARAM>((static_cast<DWORD>(vk) << 16) | modifiers);
}

TEST_F(HotKeys, APairRunsTheSoftKeyActionOnce) {
    AppShell* shell = StartShell();
    ASSERT_NE(shell, nullptr);
    for (int press = 0; press < 3; ++press) {
        SendMessageW(shell->Window(), WM_HOTKEY, VK_F1, HotKeyParam(0, VK_F1));
        SendMessageW(shell->Window(), WM_HOTKEY, VK_F1, HotKeyParam(MOD_KEYUP, VK_F1));
    }
    EXPECT_EQ(services_.calls.size(), 3u);
}

TEST_F(HotKeys, ALostReleaseDoesNotSwapPressAndRelease) {
    AppShell* shell = StartShell();
    ASSERT_NE(shell, nullptr);
    SendMessageW(shell->Window(), WM_HOTKEY, VK_F2, HotKeyParam(0, VK_F2));
    SendMessageW(shell->Window(), WM_HOTKEY, VK_F2, HotKeyParam(0, VK_F2));  // release lost
    SendMessageW(shell->Window(), WM_HOTKEY, VK_F2, HotKeyParam(MOD_KEYUP, VK_F2));
    EXPECT_EQ(services_.calls.size(), 2u);
}

TEST_F(HotKeys, LayerSoftKeyGivesOneToggle) {
    AppShell* shell = StartShell();
    ASSERT_NE(shell, nullptr);
    RegisterHotKey(shell->Window(), VK_F1, 0, VK_F1);
    fvt::SoftKey(1);
    fvt::RunUntilIdle();
    EXPECT_LE(services_.calls.size(), 1u);
}

TEST_F(HotKeys, BackInTheProgramsEditDeletesBeforeTheCaret) {
    AppShell* shell = StartShell();
    ASSERT_NE(shell, nullptr);
    NativeControl edit;
    ASSERT_TRUE(edit.Create(nullptr, NativeControl::kEdit, RECT{2, 2, 100, 20}, shell->Window(), 4));
    edit.SetText(String(u"abc"));
    SendMessageW(shell->Window(), WM_HOTKEY, VK_ESCAPE, HotKeyParam(0, VK_ESCAPE));
    SendMessageW(shell->Window(), WM_HOTKEY, VK_ESCAPE, HotKeyParam(MOD_KEYUP, VK_ESCAPE));
    String text;
    ASSERT_TRUE(edit.GetText(text));
    EXPECT_TRUE(text.EqualsAscii("ab"));
    // A selection goes as a whole.
    SendMessageW(edit.Window(), EM_SETSEL, 0, 2);
    SendMessageW(shell->Window(), WM_HOTKEY, VK_ESCAPE, HotKeyParam(0, VK_ESCAPE));
    ASSERT_TRUE(edit.GetText(text));
    EXPECT_TRUE(text.IsEmpty());
    // At the start with nothing selected nothing is deleted.
    edit.SetText(String(u"xy"));
    SendMessageW(edit.Window(), EM_SETSEL, 0, 0);
    SendMessageW(shell->Window(), WM_HOTKEY, VK_ESCAPE, HotKeyParam(0, VK_ESCAPE));
    ASSERT_TRUE(edit.GetText(text));
    EXPECT_TRUE(text.EqualsAscii("xy"));
}

// Takes every key event the surface passes down.
class KeyRecorder : public Widget {
public:
    bool HandleEvent(InputEvent& event) override {
        codes.push_back(event.Code());
        commands.push_back(event.Command());
        return true;
    }
    std::vector<uint32_t> codes, commands;
};

TEST_F(HotKeys, KeysAndAnAssignedButtonReachTheViewAsCodesAndCommands) {
    AppShell* shell = StartShell();
    ASSERT_NE(shell, nullptr);
    ReaderWindow* reader = shell->GetReaderWindow();
    reader->Settings()->SetKey(0, 1);  // button 1: Back
    DrawingSurface* surface = reader->Surface();
    KeyRecorder recorder;
    ASSERT_TRUE(surface->InsertChild(&recorder));
    surface->FocusChild(&recorder);
    SetFocus(shell->Window());
    SendMessageW(shell->Window(), WM_ACTIVATE, 1, 0);  // registers the assigned buttons
    fvt::Key(VK_NEXT);
    fvt::HardwareButton(1);
    fvt::RunUntilIdle();
    surface->RemoveChild(&recorder);
    ASSERT_EQ(recorder.codes.size(), 2u);
    EXPECT_EQ(recorder.codes[0], 11u);
    EXPECT_EQ(recorder.codes[1], 26u);
    EXPECT_EQ(recorder.commands[1], 23u);
}

FILECHANGENOTIFY* MakeNotice(LONG event, const char16_t* item) {
    auto* notice = new FILECHANGENOTIFY{};
    notice->fci.wEventId = event;
    notice->fci.dwItem1 = reinterpret_cast<DWORD_PTR>(item);
    return notice;
}

TEST_F(CardNotices, PathGetsExactlyOneTrailingBackslash) {
    AppShell* shell = StartShell();
    ASSERT_NE(shell, nullptr);
    std::unique_ptr<FILECHANGENOTIFY> a(MakeNotice(SHCNE_MEDIAREMOVED, u"\\Card"));
    std::unique_ptr<FILECHANGENOTIFY> b(MakeNotice(SHCNE_DRIVEREMOVED, u"\\Other\\"));
    shell->OnCardNotice(a.get());
    shell->OnCardNotice(b.get());
    ASSERT_EQ(shell->NotedPaths().size(), 2u);
    EXPECT_EQ(Narrow(shell->NotedPaths()[0]), "\\Card\\");
    EXPECT_EQ(Narrow(shell->NotedPaths()[1]), "\\Other\\");
    EXPECT_EQ(services_.calls,
              (std::vector<std::string>{"removed \\Card\\", "drive-removed \\Other\\"}));
}

TEST_F(CardNotices, DriveAddedPassesTheItemWithoutItsLeadingBackslash) {
    AppShell* shell = StartShell();
    ASSERT_NE(shell, nullptr);
    std::unique_ptr<FILECHANGENOTIFY> n(MakeNotice(SHCNE_DRIVEADD, u"\\Storage Card"));
    shell->OnCardNotice(n.get());
    EXPECT_EQ(services_.calls,
              std::vector<std::string>{"drive-added \\Storage Card\\ Storage Card"});
    EXPECT_TRUE(shell->NotedPaths().empty());
}

TEST_F(CardNotices, UnknownEventsAndEmptyNoticesDoNothing) {
    AppShell* shell = StartShell();
    ASSERT_NE(shell, nullptr);
    std::unique_ptr<FILECHANGENOTIFY> n(MakeNotice(0x2, u"\\x"));
    shell->OnCardNotice(n.get());
    shell->OnCardNotice(nullptr);
    EXPECT_TRUE(services_.calls.empty());
    EXPECT_EQ(SendMessageW(shell->Window(), WM_FILECHANGEINFO, 0, 0), 0);
}

TEST_F(CardNotices, RemovedCardReleasesItsBooksEvenWhenTheLibraryIsNotWanted) {
    AppShell* shell = StartShell();
    ASSERT_NE(shell, nullptr);
    ASSERT_TRUE(fvt::RemoveCard(u"Storage Card"));
    fvt::RunUntilIdle();
    ASSERT_EQ(shell->NotedPaths().size(), 1u);
    fvt::AdvanceClock(999);
    fvt::RunUntilIdle();
    EXPECT_EQ(shell->NotedPaths().size(), 1u);
    fvt::AdvanceClock(1);
    fvt::RunUntilIdle();
    EXPECT_TRUE(shell->NotedPaths().empty());
    EXPECT_EQ(services_.calls, (std::vector<std::string>{"drive-removed \\Storage Card\\",
                                                         "release \\Storage Card\\"}));
}

TEST_F(CardNotices, LibraryIsShownWhenTheSettingsAskAndTheTimerRestartsAtEachRemoval) {
    AppShell* shell = StartShell();
    ASSERT_NE(shell, nullptr);
    shell->GetReaderWindow()->Settings()->releaseOnCardChange = 1;
    ASSERT_TRUE(fvt::RemoveCard(u"Storage Card"));
    fvt::RunUntilIdle();
    fvt::AdvanceClock(600);
    fvt::RunUntilIdle();
    ASSERT_TRUE(fvt::InsertCard(u"Storage Card"));
    ASSERT_TRUE(fvt::RemoveCard(u"Storage Card"));
    fvt::RunUntilIdle();
    // The insertion ran the timer's work at once; the second removal starts a fresh second.
    services_.calls.clear();
    fvt::AdvanceClock(600);
    fvt::RunUntilIdle();
    EXPECT_TRUE(services_.calls.empty());
    fvt::AdvanceClock(400);
    fvt::RunUntilIdle();
    EXPECT_EQ(services_.calls, (std::vector<std::string>{"release \\Storage Card\\",
                                                         "library \\Storage Card\\"}));
}

TEST_F(CardNotices, CardsComingAndGoingReachTheCatalogue) {
    AppShell* shell = StartShell(u"", false);
    ASSERT_NE(shell, nullptr);
    ASSERT_NE(shell->Catalogue(), nullptr);
    Library& library = shell->Catalogue()->Catalogue();
    auto hasCard = [&] {
        for (int32_t i = 0; i < library.GetLocationCount(); ++i) {
            LibraryLocation location;
            String path;
            if (library.GetLocation(i, location) && location.path.ToWide(path) &&
                path.EqualsAscii("\\Storage Card\\"))
                return true;
        }
        return false;
    };
    ASSERT_TRUE(fvt::RemoveCard(u"Storage Card"));
    fvt::RunUntilIdle();
    EXPECT_FALSE(hasCard());
    ASSERT_TRUE(fvt::InsertCard(u"Storage Card"));
    fvt::RunUntilIdle();
    EXPECT_TRUE(hasCard());
    ASSERT_TRUE(fvt::RemoveCard(u"Storage Card"));
    fvt::RunUntilIdle();
    EXPECT_FALSE(hasCard());
}

TEST(CardFolders, PrefixStopsAtTheFolderAndIgnoresCase) {
    const String card(u"\\Storage Card\\");
    EXPECT_TRUE(IsUnderFolder(String(u"\\storage card\\eBooks\\a.prc"), card));
    EXPECT_TRUE(IsUnderFolder(String(u"\\Storage Card\\"), card));
    EXPECT_FALSE(IsUnderFolder(String(u"\\Storage Card2\\a.prc"), card));
    EXPECT_FALSE(IsUnderFolder(String(u"\\Storage"), card));
    EXPECT_FALSE(IsUnderFolder(String(u"\\a.prc"), String()));
}

using Activation = HostedShellTest;

TEST_F(Activation, LosingTheScreenToAnotherProgramEndsFullScreen) {
    AppShell* shell = StartShell();
    ASSERT_NE(shell, nullptr);
    ReaderSettings* settings = shell->GetReaderWindow()->Settings();
    SendMessageW(shell->Window(), WM_ACTIVATE, 0, 0);
    EXPECT_TRUE(services_.calls.empty());  // not in full screen
    settings->fullScreen = 1;
    // Another window of this program takes over: full screen stays.
    SendMessageW(shell->Window(), WM_ACTIVATE, 0, reinterpret_cast<LPARAM>(host_));
    EXPECT_TRUE(services_.calls.empty());
    SendMessageW(shell->Window(), WM_ACTIVATE, 0, 0);
    EXPECT_EQ(services_.calls, std::vector<std::string>{"full-screen"});
}

TEST_F(BargeIn, KeyWhileSpeakingOnlyStopsTheSpeech) {
    AppShell* shell = StartShell();
    ASSERT_NE(shell, nullptr);
    services_.speaking = true;
    EXPECT_EQ(SendMessageW(shell->Window(), WM_KEYDOWN, VK_NEXT, 0), 1);
    EXPECT_EQ(SendMessageW(shell->Window(), WM_LBUTTONDOWN, 0, 0), 0);
    EXPECT_EQ(services_.calls, std::vector<std::string>{"stop-speech"});
}

TEST_F(BargeIn, PenMovesDoNotStopTheSpeech) {
    AppShell* shell = StartShell();
    ASSERT_NE(shell, nullptr);
    services_.speaking = true;
    SendMessageW(shell->Window(), WM_MOUSEMOVE, 0, 0);
    SendMessageW(shell->Window(), WM_TIMER, 5, 0);
    EXPECT_TRUE(services_.calls.empty());
}

TEST_F(WindowEnd, DestroyClosesTheCoreUnbindsAndEndsTheLoop) {
    AppShell* shell = StartStoredShell();
    ASSERT_NE(shell, nullptr);
    shell->GetReaderWindow()->Settings()->tapAction = 7;
    HWND window = shell->Window();
    shell_ = nullptr;  // the window owns it now
    ASSERT_TRUE(DestroyWindow(window));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(GetWindowLongPtrW(window, GWL_USERDATA), 0);
    EXPECT_TRUE(DrainQuit());
    // The settings were written on the way out: the next start reads them.
    AppShell* next = StartStoredShell();
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->GetReaderWindow()->Settings()->tapAction, 7u);
}

TEST_F(WindowEnd, CloseUnderAModalLoopWaitsForTheLoopToEnd) {
    AppShell* shell = StartShell();
    ASSERT_NE(shell, nullptr);
    HWND window = shell->Window();
    shell_ = nullptr;
    PostMessageW(window, WM_CLOSE, 0, 0);
    PostMessageW(window, WM_NULL, 0, 0);
    int turns = 0;
    fvt::RunModalLoop(window, [&] { return turns++ >= 2; });
    // The close waited: the objects the modal loop used were still there.
    EXPECT_TRUE(IsWindow(window));
    fvt::RunUntilIdle();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(DrainQuit());
}

TEST_F(WindowEnd, FailedStartClosesWhatTheCoreMadeAndPostsQuit) {
    auto* shell = new AppShell();
    ASSERT_TRUE(shell->CreateCore(true));
    EXPECT_NE(shell->Core(), nullptr);
    delete shell;
    EXPECT_TRUE(DrainQuit());
}

TEST_F(WindowEnd, SizeWithLayoutOffOnlyRunsTheDefaultHandling) {
    ASSERT_NE(StartShell(), nullptr);
    auto* frame = new MainFrame();
    ASSERT_TRUE(frame->Create(nullptr, nullptr, false, false, host_));
    EXPECT_EQ(SendMessageW(frame->Window(), WM_SIZE, 0, 0), 0);
    DestroyWindow(frame->Window());
}

}  // namespace
}  // namespace fvt::test
