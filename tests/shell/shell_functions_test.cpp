#include "shell/shell_functions.h"

#include <gtest/gtest.h>

#include "platform/kernel/handles.h"
#include "platform/shell/shell.h"
#include "platform/storage/files.h"
#include "platform/kernel/system_info.h"
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
