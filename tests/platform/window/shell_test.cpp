// The shell: work area, input panel, card notices, rotation, hand-offs, clipboard, by-name lookup.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "platform/kernel/device.h"
#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/modules.h"
#include "platform/shell/shell.h"
#include "support/platform/window_fixture.h"

namespace fvt::test {
namespace {

using Shell = WindowTest;

TEST_F(Shell, InputPanelSitsAboveTheMenuBarAndTellsTheWindows) {
    HWND hwnd = Make(0, 26, 240, 268);
    SIPINFO info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(SipGetInfo(&info));
    EXPECT_EQ(info.fdwFlags & SIPF_ON, 0u);
    EXPECT_EQ(info.rcVisibleDesktop.bottom, 294);
    Watch({WM_SETTINGCHANGE});
    ASSERT_TRUE(SipShowIM(SIPF_ON));
    EXPECT_EQ(Log().size(), 1u);
    ASSERT_TRUE(SipGetInfo(&info));
    EXPECT_EQ(info.fdwFlags & SIPF_ON, SIPF_ON);
    EXPECT_EQ(info.rcSipRect.bottom, 294);
    EXPECT_EQ(info.rcSipRect.top, 294 - 80);
    EXPECT_EQ(info.rcVisibleDesktop.bottom, info.rcSipRect.top);
    RunUntilIdle();
    EXPECT_NE(ScreenPixel(120, 250), 0xFFFFFFu);  // the panel covers the window
    SipShowIM(SIPF_OFF);
    (void)hwnd;
}

TEST_F(Shell, FullScreenHidesTheTaskBar) {
    HWND hwnd = Make(0, 26, 240, 268);
    RunUntilIdle();
    std::uint32_t bar = ScreenPixel(120, 5);
    ASSERT_TRUE(SHFullScreen(hwnd, SHFS_HIDETASKBAR | SHFS_HIDESTARTICON));
    EXPECT_FALSE(IsTaskBarShown());
    MoveWindow(hwnd, 0, 0, 240, 294, TRUE);
    On(hwnd, PaintWith(RGB(0, 255, 0)));
    RunUntilIdle();
    EXPECT_EQ(ScreenPixel(120, 5), 0x00FF00u);
    SHFullScreen(hwnd, SHFS_SHOWTASKBAR);
    RunUntilIdle();
    EXPECT_EQ(ScreenPixel(120, 5), bar);
}

TEST_F(Shell, CardNoticesArriveAsFileChangeInfo) {
    HWND hwnd = Make(0, 26, 100, 100);
    SHCHANGENOTIFYENTRY entry{0x1E0, nullptr, FALSE};
    ASSERT_TRUE(SHChangeNotifyRegister(hwnd, &entry));
    std::u16string path;
    LONG event = 0;
    On(hwnd, [&](HWND, UINT m, WPARAM, LPARAM l, bool& handled) -> LRESULT {
        handled = m == WM_FILECHANGEINFO;
        if (handled) {
            auto* notice = reinterpret_cast<FILECHANGENOTIFY*>(l);
            event = notice->fci.wEventId;
            path = reinterpret_cast<const char16_t*>(notice->fci.dwItem1);
            SHChangeNotifyFree(notice);
            SHChangeNotifyFree(notice);  // a second free is ignored
        }
        return 0;
    });
    ASSERT_TRUE(fvt::InsertCard(u"Storage Card"));
    RunUntilIdle();
    EXPECT_EQ(event, SHCNE_DRIVEADD);
    EXPECT_EQ(path, u"\\Storage Card");
    ASSERT_TRUE(fvt::RemoveCard(u"Storage Card"));
    RunUntilIdle();
    EXPECT_EQ(event, SHCNE_DRIVEREMOVED);
    SHChangeNotifyDeregister(hwnd);
    event = 0;
    fvt::InsertCard(u"Storage Card");
    RunUntilIdle();
    EXPECT_EQ(event, 0);
    fvt::RemoveCard(u"Storage Card");
}

TEST_F(Shell, RotationWithoutSupportIsRefused) {
    DEVMODEW mode{};
    mode.dmSize = sizeof(mode);
    mode.dmFields = DM_DISPLAYQUERYORIENTATION;
    ASSERT_EQ(ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_TEST, nullptr), 0);
    EXPECT_EQ(mode.dmDisplayQueryOrientation, 0u);
    mode.dmFields = DM_DISPLAYORIENTATION;
    mode.dmDisplayOrientation = DMDO_90;
    EXPECT_NE(ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr), 0);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 240);
}

class RotatingShell : public WindowTest {
protected:
    RotatingShell() : WindowTest("clock = virtual\nrotate = 1\n") {}
};

TEST_F(RotatingShell, RotationTurnsTheScreenAndResizesWindows) {
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    HWND hwnd = Make(work.left, work.top, work.right - work.left, work.bottom - work.top);
    Watch({WM_SIZE, WM_SETTINGCHANGE});
    DEVMODEW mode{};
    mode.dmSize = sizeof(mode);
    mode.dmFields = DM_DISPLAYORIENTATION;
    mode.dmDisplayOrientation = DMDO_270;
    ASSERT_EQ(ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr), 0);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 320);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 240);
    RECT r;
    GetClientRect(hwnd, &r);
    EXPECT_EQ(r.right, 320);
    EXPECT_EQ(r.bottom, 240 - 52);
    EXPECT_EQ(Messages(), (std::vector<UINT>{WM_SIZE, WM_SETTINGCHANGE}));
    mode.dmFields = DM_DISPLAYORIENTATION;
    ASSERT_EQ(ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_TEST, nullptr), 0);
    EXPECT_EQ(mode.dmDisplayOrientation, DMDO_270);
    mode.dmDisplayOrientation = DMDO_0;
    ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 240);
}

// The turn is the device's own state: a restart of a device that turns its screen comes up
// turned, and the turn back to upright is kept as well. A device that cannot turn its screen
// comes up upright, whatever the registry says.
TEST_F(RotatingShell, ARestartKeepsTheTurn) {
    DEVMODEW mode{};
    mode.dmSize = sizeof(mode);
    mode.dmFields = DM_DISPLAYORIENTATION;
    mode.dmDisplayOrientation = DMDO_90;
    ASSERT_EQ(ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr), 0);
    const std::string root = DeviceRoot();
    auto restart = [&](const char* profile) {
        ASSERT_TRUE(OpenDevice(root, profile));
        GetDesktopWindow();  // the layer takes up the restarted device
    };
    ASSERT_NO_FATAL_FAILURE(restart("clock = virtual\nrotate = 1\n"));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 320);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 240);
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(work.right, 320);
    mode.dmFields = DM_DISPLAYORIENTATION;
    mode.dmDisplayOrientation = 0xFF;
    ASSERT_EQ(ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_TEST, nullptr), 0);
    EXPECT_EQ(mode.dmDisplayOrientation, DMDO_90);

    ASSERT_NO_FATAL_FAILURE(restart("clock = virtual\n"));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 240);

    ASSERT_NO_FATAL_FAILURE(restart("clock = virtual\nrotate = 1\n"));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 320);
    mode.dmDisplayOrientation = DMDO_0;
    ASSERT_EQ(ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr), 0);
    ASSERT_NO_FATAL_FAILURE(restart("clock = virtual\nrotate = 1\n"));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 240);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 320);
}

TEST_F(Shell, NotificationShowsABubbleUntilRemovedOrExpired) {
    HWND hwnd = Make(0, 26, 240, 268);
    On(hwnd, PaintWith(RGB(255, 255, 255)));
    RunUntilIdle();
    ASSERT_EQ(ScreenPixel(20, 40), 0xFFFFFFu);
    SHNOTIFICATIONDATA data{};
    data.cbStruct = sizeof(data);
    data.dwID = 7;
    data.pszTitle = u"Alarm";
    data.pszHTML = u"<b>Time</b> to read";
    ASSERT_EQ(SHNotificationAdd(&data), 0);
    RunUntilIdle();
    HWND bubble = FindWindowW(kNotificationBubbleClass, nullptr);
    ASSERT_NE(bubble, nullptr);
    RECT r;
    GetWindowRect(bubble, &r);
    EXPECT_GE(r.top, 26);  // inside the work area, not over the task bar
    EXPECT_EQ(GetActiveWindow(), hwnd);
    int changed = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) changed += ScreenPixel(x, y) != 0xFFFFFFu;
    EXPECT_GT(changed, 0);
    EXPECT_EQ(SHNotificationRemove(nullptr, 7), 0);
    RunUntilIdle();
    EXPECT_EQ(FindWindowW(kNotificationBubbleClass, nullptr), nullptr);
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) ASSERT_EQ(ScreenPixel(x, y), 0xFFFFFFu);
    EXPECT_NE(SHNotificationRemove(nullptr, 7), 0);  // already gone

    // With a duration it goes by itself; the log keeps both.
    data.csDuration = 5;
    ASSERT_EQ(SHNotificationAdd(&data), 0);
    RunUntilIdle();
    EXPECT_NE(FindWindowW(kNotificationBubbleClass, nullptr), nullptr);
    fvt::AdvanceClock(5000);
    RunUntilIdle();
    EXPECT_EQ(FindWindowW(kNotificationBubbleClass, nullptr), nullptr);
    auto log = ShellLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], "notification 7 Alarm: <b>Time</b> to read");
    EXPECT_EQ(log[3], "notification removed 7");
}

TEST_F(Shell, HandOffsAreLogged) {
    SHELLEXECUTEINFO info{};
    info.cbSize = sizeof(info);
    info.lpVerb = u"Open";
    info.lpFile = u"http://example.org/";
    EXPECT_TRUE(ShellExecuteEx(&info));
    HANDLE power = SetPowerRequirement(u"BKL1:", 0, 1, nullptr, 0);
    EXPECT_NE(power, nullptr);
    EXPECT_EQ(ReleasePowerRequirement(power), 0u);
    EXPECT_NE(ReleasePowerRequirement(power), 0u);
    auto log = ShellLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], "ShellExecuteEx Open http://example.org/");
    EXPECT_EQ(log[1], "power BKL1: 0 1");
}

TEST_F(Shell, HandOffsKeepCharactersOutsideTheBasicPlane) {
    // An emoji and a CJK extension ideograph: each a surrogate pair on the device.
    SHELLEXECUTEINFO info{};
    info.cbSize = sizeof(info);
    info.lpFile = u"\\My Documents\\\U0001F600 \U00020000.txt";
    info.lpParameters = u"\U0001F4D6";
    EXPECT_TRUE(ShellExecuteEx(&info));
    // A lone half is replaced, never dropped nor passed on.
    info.lpFile = u"a\xD83D" u"b";
    info.lpParameters = nullptr;
    EXPECT_TRUE(ShellExecuteEx(&info));
    auto log = ShellLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0],
              "ShellExecuteEx open \\My Documents\\\xF0\x9F\x98\x80 \xF0\xA0\x80\x80.txt "
              "\xF0\x9F\x93\x96");
    EXPECT_EQ(log[1], "ShellExecuteEx open a\xEF\xBF\xBD" "b");
    EXPECT_EQ(LogText(u"\U00020000"), "\xF0\xA0\x80\x80");
}

TEST_F(Shell, VoiceRecorderMakesItsFileAndHoldsItsParentWhileModal) {
    HWND parent = Make(0, 26, 200, 200);
    CM_VOICE_RECORDER info{};
    info.cb = sizeof info;
    info.dwStyle = VRS_NO_MOVE | VRS_MODAL;
    info.xPos = 140;
    info.yPos = 26;
    info.hwndParent = parent;
    info.lpszRecordFileName = u"\\My Documents\\fvt_rec.wav";
    HWND recorder = VoiceRecorder_Create(&info);
    ASSERT_NE(recorder, nullptr);
    RECT r{};
    GetWindowRect(recorder, &r);
    EXPECT_EQ(r.left, 140);
    EXPECT_EQ(r.top, 26);
    EXPECT_FALSE(IsWindowEnabled(parent));
    // A WAV file without samples: RIFF, WAVE, fmt and an empty data chunk.
    const std::string wave = device_.ReadHost("My Documents/fvt_rec.wav");
    ASSERT_EQ(wave.size(), 44u);
    EXPECT_EQ(wave.substr(0, 4), "RIFF");
    EXPECT_EQ(wave.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(wave.substr(36, 8), std::string("data\0\0\0\0", 8));
    // A tap stops it and gives the parent its input back.
    SendMessageW(recorder, WM_LBUTTONUP, 0, 0);
    EXPECT_FALSE(IsWindow(recorder));
    EXPECT_TRUE(IsWindowEnabled(parent));
    auto log = ShellLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "voice recorder \\My Documents\\fvt_rec.wav");
    EXPECT_EQ(log[1], "voice recorder closed");
}

TEST_F(Shell, VoiceRecorderRefusesWhatItCannotRecordInto) {
    HWND parent = Make(0, 26, 200, 200);
    EXPECT_EQ(VoiceRecorder_Create(nullptr), nullptr);
    CM_VOICE_RECORDER info{};
    info.cb = sizeof info - 1;
    info.hwndParent = parent;
    info.lpszRecordFileName = u"\\note.wav";
    EXPECT_EQ(VoiceRecorder_Create(&info), nullptr);
    info.cb = sizeof info;
    info.lpszRecordFileName = u"\\No Such Folder\\note.wav";
    EXPECT_EQ(VoiceRecorder_Create(&info), nullptr);
    EXPECT_FALSE(device_.HostExists("No Such Folder"));
    // Not modal: the parent keeps its input.
    info.lpszRecordFileName = u"\\note.wav";
    HWND recorder = VoiceRecorder_Create(&info);
    ASSERT_NE(recorder, nullptr);
    EXPECT_TRUE(IsWindowEnabled(parent));
    EXPECT_TRUE(device_.HostExists("note.wav"));
    DestroyWindow(recorder);
}

TEST_F(Shell, ClipboardTakesTextBlocks) {
    HWND hwnd = Make(0, 26, 10, 10);
    const char16_t text[] = u"copied";
    auto* block = static_cast<char16_t*>(LocalAlloc(LMEM_MOVEABLE, sizeof(text)));
    std::memcpy(block, text, sizeof(text));
    ASSERT_TRUE(OpenClipboard(hwnd));
    ASSERT_TRUE(EmptyClipboard());
    EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, block), block);
    char16_t stack[4] = u"no";
    EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, stack), nullptr);  // not a movable block
    EXPECT_EQ(SetClipboardData(2, block), nullptr);
    ASSERT_TRUE(CloseClipboard());
    EXPECT_EQ(ClipboardText(), u"copied");
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    ASSERT_TRUE(OpenClipboard(hwnd));
    EmptyClipboard();
    CloseClipboard();
    EXPECT_EQ(ClipboardText(), u"");
}

TEST_F(Shell, ShellFunctionsAreFoundByName) {
    HMODULE ayg = LoadLibraryW(u"aygshell.dll");
    ASSERT_NE(ayg, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddressW(ayg, u"SHFullScreen")),
              reinterpret_cast<void*>(&SHFullScreen));
    HMODULE core = LoadLibraryW(u"coredll.dll");
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddressW(core, u"SipGetInfo")),
              reinterpret_cast<void*>(&SipGetInfo));
    FreeLibrary(ayg);
    FreeLibrary(core);
}

TEST_F(Shell, ScreenshotWritesAPng) {
    HWND hwnd = Make(0, 26, 100, 100);
    On(hwnd, PaintWith(RGB(0, 0, 255)));
    RunUntilIdle();
    std::string path = device_.root() + "/../shot.png";
    ASSERT_TRUE(SaveScreenshot(path));
    std::ifstream in(path, std::ios::binary);
    char sig[8] = {};
    in.read(sig, 8);
    EXPECT_EQ(std::memcmp(sig, "\x89PNG\r\n\x1a\n", 8), 0);
}

}  // namespace
}  // namespace fvt::test
