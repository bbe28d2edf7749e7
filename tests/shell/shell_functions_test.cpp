#include "shell/shell_functions.h"

#include <gtest/gtest.h>

#include "bookfiles/palm_database.h"
#include "document/sources/book_resource.h"
#include "platform/dialog/answers.h"
#include "platform/kernel/handles.h"
#include "platform/shell/shell.h"
#include "platform/storage/files.h"
#include "platform/kernel/system_info.h"
#include "support/bookfiles/book_builder.h"
#include "support/platform/temp_device.h"
#include "support/platform/window_fixture.h"

using namespace ShellFunctions;

namespace {

std::vector<std::string> Log() { return fvt::ShellLog(); }

}  // namespace

TEST(PlaylistArgument, NameThenTracksSplitBySemicolonOrComma) {
    const PlaylistArgument a = ParsePlaylistArgument(u"songs.prc#1;3,4");
    EXPECT_EQ(a.name, u"songs.prc");
    EXPECT_EQ(a.tracks, (std::vector<int32_t>{1, 3, 4}));
}

TEST(PlaylistArgument, WithoutHashTheWholeTextIsTheName) {
    const PlaylistArgument a = ParsePlaylistArgument(u"a;b,1");
    EXPECT_EQ(a.name, u"a;b,1");
    EXPECT_TRUE(a.tracks.empty());
}

TEST(PlaylistArgument, PiecesThatAreNotNumbersAreDropped) {
    const PlaylistArgument a = ParsePlaylistArgument(u"#2;;x;-1;99999999999;7");
    EXPECT_TRUE(a.name.empty());
    EXPECT_EQ(a.tracks, (std::vector<int32_t>{2, 7}));
}

TEST(PlaylistContent, AsxHasTheExactShapeAndEscapesPaths) {
    EXPECT_EQ(AsxContent({u"\\my documents\\a.ogg"}),
              u"<Asx><Entry>\n<Ref href=\"\\my documents\\a.ogg\" />\n</Entry>\n</Asx>");
    EXPECT_EQ(AsxContent({u"\\R&B <\"1\">.ogg"}),
              u"<Asx><Entry>\n<Ref href=\"\\R&amp;B &lt;&quot;1&quot;&gt;.ogg\" />\n</Entry>\n"
              u"</Asx>");
}

TEST(PlaylistContent, PmpListsFileNamesWithoutFolders) {
    EXPECT_EQ(PmpContent({u"\\my documents\\temp1_rec1.ogg", u"x.ogg"}),
              u"[Pocket WMP Playlist File v1.0]\r\n[Tracks]\r\ntemp1_rec1.ogg\r\nx.ogg\r\n"
              u"[Settings]\r\nCurrentTrack=0\r\n");
}

TEST(PlaylistFiles, PmpWithoutWmaHandlerAndAsxWithIt) {
    {
        fvt::test::TempDevice device;
        ASSERT_TRUE(device.ok());
        EXPECT_FALSE(HasWmaHandler());
        EXPECT_TRUE(HasHtmAssociation());
        std::u16string path;
        ASSERT_TRUE(WritePlaylist(PmpContent({u"a.ogg"}), false, path));
        EXPECT_EQ(path, u"\\my documents\\playlist.pmp");
        EXPECT_EQ(device.ReadHost("My Documents/playlist.pmp"),
                  "[Pocket WMP Playlist File v1.0]\r\n[Tracks]\r\na.ogg\r\n[Settings]\r\n"
                  "CurrentTrack=0\r\n");
    }
    fvt::test::TempDevice device("wma_association = 1\nhtm_association = 0");
    ASSERT_TRUE(device.ok());
    EXPECT_TRUE(HasWmaHandler());
    EXPECT_FALSE(HasHtmAssociation());
    std::u16string path;
    ASSERT_TRUE(WritePlaylist(AsxContent({u"\\a.ogg"}), true, path));
    EXPECT_EQ(device.ReadHost("My Documents/playlist.asx"),
              "<Asx><Entry>\n<Ref href=\"\\a.ogg\" />\n</Entry>\n</Asx>");
}

TEST(PlaylistFiles, PathOutsideTheSystemCodePageIsRefusedAndNothingWritten) {
    fvt::test::TempDevice device;
    ASSERT_TRUE(device.ok());
    std::u16string path;
    EXPECT_FALSE(WritePlaylist(PmpContent({u"\u4e2d.ogg"}), false, path));
    EXPECT_FALSE(device.HostExists("My Documents/playlist.pmp"));
}

TEST(PlaylistFiles, TracksAreOggFilesNumberedByIndex) {
    fvt::test::TempDevice device;
    ASSERT_TRUE(device.ok());
    const uint8_t ogg[] = {'O', 'g', 'g', 'S', 0, 2};
    std::u16string path;
    ASSERT_TRUE(WriteTrack(3, ogg, sizeof ogg, path));
    EXPECT_EQ(path, u"\\my documents\\temp1_rec3.ogg");
    EXPECT_EQ(device.ReadHost("My Documents/temp1_rec3.ogg"), std::string("OggS\0\2", 6));
    EXPECT_FALSE(WriteTrack(-1, ogg, sizeof ogg, path));
}

TEST(PlaylistFiles, TrackFallsBackToTheSecondNameWhenTheFirstIsHeld) {
    fvt::test::TempDevice device;
    ASSERT_TRUE(device.ok());
    HANDLE held = CreateFileW(u"\\My Documents\\temp1_rec0.ogg", GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const uint8_t ogg[] = {'O', 'g', 'g', 'S'};
    std::u16string path;
    EXPECT_TRUE(WriteTrack(0, ogg, sizeof ogg, path));
    EXPECT_EQ(path, u"\\my documents\\temp2_rec0.ogg");
    CloseHandle(held);
    EXPECT_EQ(device.ReadHost("My Documents/temp2_rec0.ogg"), "OggS");
}

TEST(Beam, AvailableByToolAndPlatform) {
    {
        fvt::test::TempDevice device;
        ASSERT_TRUE(device.ok());
        EXPECT_FALSE(BeamAvailable());
        device.WriteHost("Windows/tobex.exe", "x");
        EXPECT_FALSE(BeamAvailable());  // Smartphone's tool on a Pocket PC
        device.WriteHost("Windows/irsquirt.exe", "x");
        EXPECT_TRUE(BeamAvailable());
    }
    fvt::test::TempDevice device("platform = Smartphone");
    ASSERT_TRUE(device.ok());
    device.WriteHost("Windows/tobex.exe", "x");
    EXPECT_TRUE(BeamAvailable());
}

TEST(Beam, RecordsTheToolWithTheQuotedPath) {
    fvt::test::TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("Windows/beam.exe", "x");
    device.WriteHost("Windows/irsquirt.exe", "x");
    fvt::ClearShellLog();
    EXPECT_TRUE(BeamSendFile(nullptr, u"\\My Documents\\a book.prc"));
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0], "ShellExecuteEx Open beam.exe \"\\My Documents\\a book.prc\"");
    EXPECT_FALSE(BeamSendFile(nullptr, u"a\" b"));
}

TEST(OpenWith, BookNamesStayInTheBookFolder) {
    std::u16string out;
    EXPECT_TRUE(ResolveBookFile(u"\\eBooks", u"pics/a.jpg", out));
    EXPECT_EQ(out, u"\\eBooks\\pics\\a.jpg");
    EXPECT_TRUE(ResolveBookFile(u"\\eBooks\\", u"a..b.txt", out));
    EXPECT_EQ(out, u"\\eBooks\\a..b.txt");
    for (const char16_t* bad : {u"..\\x.txt", u"a\\..\\..\\x", u"\\Windows\\x.txt", u"c:x",
                                u"/x", u"run.EXE", u"lib.dll", u"."}) {
        EXPECT_FALSE(ResolveBookFile(u"\\eBooks", bad, out)) << std::u16string(bad).size();
    }
}

TEST(OpenWith, RefusedNamesReachNoShell) {
    fvt::test::TempDevice device;
    ASSERT_TRUE(device.ok());
    fvt::ClearShellLog();
    EXPECT_FALSE(OpenWithAssociatedApp(nullptr, u"\\eBooks", u"\\Windows\\cmd.exe"));
    EXPECT_TRUE(Log().empty());
    EXPECT_TRUE(OpenWithAssociatedApp(nullptr, u"\\eBooks", u"notes.txt"));
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0], "ShellExecuteEx Open \\eBooks\\notes.txt");
}

TEST(OpenWith, FailedHandOffIsReported) {
    fvt::test::TempDevice device("shell_execute = 0");
    ASSERT_TRUE(device.ok());
    EXPECT_FALSE(OpenDocument(nullptr, u"http://example.org/"));
    EXPECT_FALSE(OpenDocument(nullptr, u""));
}

TEST(OpenWith, WordPadBecomesTheDeviceWordProcessor) {
    fvt::test::TempDevice device;
    ASSERT_TRUE(device.ok());
    fvt::ClearShellLog();
    EXPECT_TRUE(OpenWithWordProcessor(nullptr, u"wordpad.exe", u"\\a.rtf"));
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0], "ShellExecuteEx Open pword.exe \\a.rtf");
}

TEST(Clipboard, ReceivesUnicodeTextAndIgnoresEmptyText) {
    fvt::test::TempDevice device;
    ASSERT_TRUE(device.ok());
    EXPECT_TRUE(CopyTextToClipboard(nullptr, u"caf\u00e9"));
    EXPECT_EQ(fvt::ClipboardText(), u"caf\u00e9");
    EXPECT_FALSE(CopyTextToClipboard(nullptr, u""));
    EXPECT_EQ(fvt::ClipboardText(), u"caf\u00e9");
}

class FullScreen : public fvt::test::WindowTest {};

TEST_F(FullScreen, HidesTheTaskBarAndTakesTheScreenThenGivesTheWorkAreaBack) {
    HWND window = Make(0, 26, 240, 268);
    fvt::ClearShellLog();
    ASSERT_TRUE(SetFullScreenWindow(window, true));
    EXPECT_FALSE(fvt::IsTaskBarShown());
    RECT r{};
    GetWindowRect(window, &r);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.bottom, GetSystemMetrics(SM_CYSCREEN));
    ASSERT_TRUE(SetFullScreenWindow(window, false));
    EXPECT_TRUE(fvt::IsTaskBarShown());
    GetWindowRect(window, &r);
    const RECT work = fvt::WorkArea();
    EXPECT_EQ(r.top, work.top);
    EXPECT_EQ(r.bottom, work.bottom);
    EXPECT_FALSE(SetFullScreenWindow(nullptr, true));
}

class NoFullScreen : public fvt::test::WindowTest {
protected:
    NoFullScreen() : WindowTest("missing = SHFullScreen\n") {}
};

TEST_F(NoFullScreen, AMissingFunctionLeavesTheWindowAlone) {
    HWND window = Make(0, 26, 240, 268);
    EXPECT_FALSE(SetFullScreenWindow(window, true));
    RECT r{};
    GetWindowRect(window, &r);
    EXPECT_EQ(r.top, 26);
    EXPECT_TRUE(fvt::IsTaskBarShown());
}

// A book whose data records are 1 Ogg sound, 2 text, 3 Ogg sound.
class BookTracks : public fvt::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        BookBuilder b;
        b.text = ToBytes("<html><body>book</body></html>");
        b.resources = {ToBytes("OggS-one"), ToBytes("abc"), ToBytes("OggS-three")};
        bytes = b.Build();
        int error = 0;
        PalmDatabase* db = PalmDatabase::LoadInMemory(bytes.data(), bytes.size(), &error);
        ASSERT_EQ(BookResource::Create(db, 1252, 65002, book), 0);
        fvt::ClearAnswers();
    }
    void TearDown() override {
        if (book) book->Release();
        WindowTest::TearDown();
    }
    Bytes bytes;
    BookResource* book = nullptr;
};

TEST_F(BookTracks, TracksAreWrittenAsOggFilesAndListedWithStaleOnesGone) {
    device_.WriteHost("My Documents/temp1_rec9.ogg", "old");
    device_.WriteHost("My Documents/temp_notes.ogg", "mine");
    std::u16string path;
    ASSERT_TRUE(WriteBookPlaylist(nullptr, book, u"", {3, 1}, path));
    EXPECT_EQ(path, u"\\my documents\\playlist.pmp");
    EXPECT_EQ(device_.ReadHost("My Documents/temp1_rec3.ogg"), "OggS-three");
    EXPECT_EQ(device_.ReadHost("My Documents/temp1_rec1.ogg"), "OggS-one");
    EXPECT_EQ(device_.ReadHost("My Documents/playlist.pmp"),
              "[Pocket WMP Playlist File v1.0]\r\n[Tracks]\r\ntemp1_rec3.ogg\r\n"
              "temp1_rec1.ogg\r\n[Settings]\r\nCurrentTrack=0\r\n");
    EXPECT_FALSE(device_.HostExists("My Documents/temp1_rec9.ogg"));
    EXPECT_TRUE(device_.HostExists("My Documents/temp_notes.ogg"));
    fvt::ClearShellLog();
    ASSERT_TRUE(OpenPlaylist(nullptr, path));
    ASSERT_EQ(fvt::ShellLog().size(), 1u);
    EXPECT_EQ(fvt::ShellLog()[0], "ShellExecuteEx Open \\my documents\\playlist.pmp");
}

TEST_F(BookTracks, ATrackWithoutSoundGivesTheAdviceAndLeavesNoFiles) {
    std::u16string path;
    // The advice nobody sees is told on standard error as well, once for each attempt.
    testing::internal::CaptureStderr();
    EXPECT_FALSE(WriteBookPlaylist(nullptr, book, u"story.prc", {1, 2}, path));
    EXPECT_TRUE(path.empty());
    EXPECT_FALSE(device_.HostExists("My Documents/temp1_rec1.ogg"));
    EXPECT_FALSE(device_.HostExists("My Documents/playlist.pmp"));
    ASSERT_EQ(fvt::ShellLog().size(), 1u);
    EXPECT_EQ(fvt::ShellLog()[0].rfind("MessageBox : The audio file is not available.", 0), 0u) << fvt::ShellLog()[0];
    EXPECT_NE(fvt::ShellLog()[0].find(" story.prc =>"), std::string::npos);
    // Past the last record, and record 0 (the text), are missing tracks as well.
    EXPECT_FALSE(WriteBookPlaylist(nullptr, book, u"story.prc", {9}, path));
    EXPECT_FALSE(WriteBookPlaylist(nullptr, book, u"story.prc", {0}, path));
    const std::string told = testing::internal::GetCapturedStderr();
    size_t advice = 0;
    for (size_t at = told.find(": The audio file is not available."); at != std::string::npos;
         at = told.find(": The audio file is not available.", at + 1))
        ++advice;
    EXPECT_EQ(advice, 3u) << told;
    // A book that could not be opened was reported by its opener.
    fvt::ClearShellLog();
    EXPECT_FALSE(WriteBookPlaylist(nullptr, nullptr, u"story.prc", {1}, path));
    EXPECT_TRUE(fvt::ShellLog().empty());
}

TEST_F(BookTracks, APlaylistThatCannotBeWrittenTakesItsTracksAlong) {
    // A folder in the playlist's place.
    ASSERT_TRUE(CreateDirectoryW(u"\\My Documents\\playlist.pmp", nullptr));
    std::u16string path;
    // The box nobody sees is told on standard error as well.
    testing::internal::CaptureStderr();
    EXPECT_FALSE(WriteBookPlaylist(nullptr, book, u"", {1}, path));
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_NE(told.find(": Error: Error while creating the playlist\n"), std::string::npos) << told;
    EXPECT_FALSE(device_.HostExists("My Documents/temp1_rec1.ogg"));
    ASSERT_EQ(fvt::ShellLog().size(), 1u);
    EXPECT_EQ(fvt::ShellLog()[0], "MessageBox Error: Error while creating the playlist => 1");
}

TEST_F(BookTracks, ReadAudioTrackTakesOnlyOggRecords) {
    std::vector<uint8_t> out;
    EXPECT_TRUE(ReadAudioTrack(book, 1, out));
    EXPECT_EQ(std::string(out.begin(), out.end()), "OggS-one");
    EXPECT_FALSE(ReadAudioTrack(book, 2, out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(ReadAudioTrack(book, -1, out));
    EXPECT_FALSE(ReadAudioTrack(nullptr, 1, out));
}

class PopupMenus : public fvt::test::WindowTest {};

TEST_F(PopupMenus, SeparatorsSkippedEntriesAndTheNormalDisplayItem) {
    const PopupMenuEntry entries[] = {{45, 5091},
                                      {PopupMenuEntry::kSeparator, 0},
                                      {49, PopupMenuEntry::kSkipped},
                                      {42, 5086}};
    HMENU menu = BuildPopupMenu(entries, 4, false);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuItemCount(menu), 3);
    DestroyMenu(menu);
    menu = BuildPopupMenu(entries, 4, true);
    ASSERT_EQ(GetMenuItemCount(menu), 5);
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID;
    ASSERT_TRUE(GetMenuItemInfoW(menu, 4, TRUE, &info));
    EXPECT_EQ(info.wID, kNormalDisplayItem);
    ASSERT_TRUE(GetMenuItemInfoW(menu, 2, TRUE, &info));
    EXPECT_EQ(info.wID, 50042u);
    DestroyMenu(menu);
    EXPECT_EQ(PopupItemCommand(kNormalDisplayItem), kNormalDisplayCommand);
    EXPECT_EQ(PopupItemCommand(50045), 45);
    EXPECT_EQ(PopupItemCommand(0), -1);
    EXPECT_EQ(PopupItemCommand(40001), -1);
}

TEST_F(PopupMenus, AChosenItemGivesItsCommandAndADisabledLookupItsAdvice) {
    HWND view = Make(0, 26, 240, 268);
    const PopupMenuEntry entries[] = {{45, 5091}, {46, 5091}, {47, 5091}};
    const auto disabled = [](int32_t command) { return command != 45; };
    fvt::QueueAnswer(fvt::Answer{50045, {}, {}});
    EXPECT_EQ(RunPopupMenu(view, 10, 10, entries, 3, false, disabled), 45);
    // The advice nobody sees is told on standard error as well.
    testing::internal::CaptureStderr();
    fvt::QueueAnswer(fvt::Answer{50047, {}, {}});
    EXPECT_EQ(RunPopupMenu(view, 10, 10, entries, 3, false, disabled), -1);
    fvt::QueueAnswer(fvt::Answer{50046, {}, {}});
    EXPECT_EQ(RunPopupMenu(view, 10, 10, entries, 3, false, disabled), -1);
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_NE(told.find(": Do you have a dictionary ?!\n"), std::string::npos) << told;
    EXPECT_NE(told.find(": Do you have a translation dictionary?\n"), std::string::npos) << told;
    // Dismissed.
    EXPECT_EQ(RunPopupMenu(view, 10, 10, entries, 3, false, disabled), -1);
    const auto log = fvt::ShellLog();
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ(log[0], "menu 3 items => 50045");
    EXPECT_EQ(log[2], "MessageBox : Do you have a dictionary ?! => 1");
    EXPECT_EQ(log[4], "MessageBox : Do you have a translation dictionary? => 1");
    EXPECT_EQ(log[5], "menu 3 items => 0");
}

class Recorder : public fvt::test::WindowTest {};

TEST_F(Recorder, StartsOverTheViewRecordingIntoTheNote) {
    HWND view = Make(0, 26, 240, 268);
    ASSERT_TRUE(StartRecorder(view, u"\\My Documents\\fvt_rec.wav"));
    EXPECT_TRUE(device_.HostExists("My Documents/fvt_rec.wav"));
    EXPECT_FALSE(IsWindowEnabled(view));  // modal
    HWND recorder = FindWindowW(fvt::kVoiceRecorderClass, nullptr);
    ASSERT_NE(recorder, nullptr);
    EXPECT_TRUE(IsWindowVisible(recorder));
    RECT r{};
    GetWindowRect(recorder, &r);
    EXPECT_EQ(r.left, 140);
    EXPECT_EQ(r.top, 26);
    DestroyWindow(recorder);
    EXPECT_TRUE(IsWindowEnabled(view));
    EXPECT_FALSE(StartRecorder(view, u""));
}

TEST_F(Recorder, APhoneCallIsHandedToTheDevice) {
    EXPECT_TRUE(PhoneCall(u"+33 1 23 45"));
    EXPECT_FALSE(PhoneCall(u""));
    ASSERT_EQ(fvt::ShellLog().size(), 1u);
    EXPECT_EQ(fvt::ShellLog()[0], "call +33 1 23 45");
}

class NoPhone : public fvt::test::WindowTest {
protected:
    NoPhone() : WindowTest("phone = 0\nmissing = VoiceRecorder_Create\n") {}
};

TEST_F(NoPhone, ARefusedCallAndAMissingRecorderAreFailures) {
    HWND view = Make(0, 26, 240, 268);
    EXPECT_FALSE(PhoneCall(u"555"));
    EXPECT_FALSE(StartRecorder(view, u"\\My Documents\\fvt_rec.wav"));
    EXPECT_TRUE(IsWindowEnabled(view));
}

class BookFileDialog : public fvt::test::WindowTest {};

TEST_F(BookFileDialog, TheChosenPathComesBackAndCancelGivesNone) {
    HWND owner = Make(0, 26, 240, 268);
    device_.WriteHost("My Documents/a.prc", "x");
    fvt::QueueAnswer(fvt::Answer{0, u"\\My Documents\\a.prc", {}});
    String path;
    ASSERT_TRUE(ChooseBookFile(owner, path));
    EXPECT_EQ(std::u16string(path.Data(), static_cast<size_t>(path.Length())),
              u"\\My Documents\\a.prc");
    EXPECT_FALSE(ChooseBookFile(owner, path));
}

TEST(OpenWith, ProgramsAreBareNamesAndTheirFilesStayInTheBookFolder) {
    fvt::test::TempDevice device;
    ASSERT_TRUE(device.ok());
    fvt::ClearShellLog();
    EXPECT_TRUE(OpenWithApplication(nullptr, u"\\Books\\", u"wordpad.exe", u"my notes.txt"));
    EXPECT_TRUE(OpenWithApplication(nullptr, u"\\Books\\", u"calc.exe", u""));
    EXPECT_FALSE(OpenWithApplication(nullptr, u"\\Books\\", u"\\Windows\\x.exe", u""));
    EXPECT_FALSE(OpenWithApplication(nullptr, u"\\Books\\", u"..", u""));
    EXPECT_FALSE(OpenWithApplication(nullptr, u"\\Books\\", u"pword.exe", u"..\\x.txt"));
    EXPECT_FALSE(OpenWithApplication(nullptr, u"\\Books\\", u"pword.exe", u"\\x.txt"));
    const auto log = fvt::ShellLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "ShellExecuteEx Open pword.exe \"\\Books\\my notes.txt\"");
    EXPECT_EQ(log[1], "ShellExecuteEx Open calc.exe");
}
