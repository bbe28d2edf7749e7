// Other processes: the single-instance rule on one device, and the demo program's screenshots.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/last_error.h"
#include "platform/window/window.h"
#include "support/platform/screenshot_pixels.h"
#include "support/platform/stopped_process.h"
#include "support/platform/temp_device.h"

extern char** environ;

namespace fvt::test {
namespace {

std::string DemoProgram() {
    const char* bin = std::getenv("FOLIVANT_TEST_BINARY");
    return std::string(bin ? bin : ".") + "/tests/support/platform/window_demo";
}

// Starts the demo; its standard output comes through `out`.
pid_t Start(const std::vector<std::string>& args, int* out, char** env = environ) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<char*> argv;
    std::string program = DemoProgram();
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (auto& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), env) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    *out = pipeFds[0];
    return pid;
}

std::string ReadLine(int fd) {
    std::string line;
    char c;
    while (read(fd, &c, 1) == 1 && c != '\n') line.push_back(c);
    return line;
}

// Ends a child left running by a failed check.
struct Reaper {
    pid_t pid;
    ~Reaper() {
        if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
};

int Wait(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Starts the demo with `args` as the instance of a device and waits until it says it is ready;
// `reaper` ends it should a check fail.
void StartInstance(const std::vector<std::string>& args, Reaper& reaper) {
    int out = -1;
    reaper.pid = Start(args, &out);
    ASSERT_GT(reaper.pid, 0);
    ASSERT_EQ(ReadLine(out), "ready");
    close(out);
}

TEST(SingleInstance, SecondStartFindsRaisesAndClosesTheFirst) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    Reaper first{-1};
    ASSERT_NO_FATAL_FAILURE(StartInstance({"instance", device.root()}, first));

    HWND other = FindWindowW(u"Folivant Reader", nullptr);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(FindWindowW(u"No Such Class", nullptr), nullptr);
    EXPECT_TRUE(SetForegroundWindow(other));
    // Synchronous: the other instance has handled WM_CLOSE when the call returns.
    SendMessageW(other, WM_CLOSE, 0, 0);
    EXPECT_TRUE(device.HostExists("closed"));
    EXPECT_EQ(Wait(first.pid), 0);
    EXPECT_EQ(FindWindowW(u"Folivant Reader", nullptr), nullptr);
}

// The device stays the first's until its process ends, not only while it has windows: what it
// saves while closing must not meet the second's writes.
TEST(SingleInstance, TheDeviceIsHeldUntilTheProcessEnds) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    EXPECT_FALSE(DeviceHeldByAnotherProcess());
    Reaper first{-1};
    ASSERT_NO_FATAL_FAILURE(StartInstance({"instance", device.root()}, first));
    EXPECT_TRUE(DeviceHeldByAnotherProcess());
    // Stopped, it holds the device all the same.
    kill(first.pid, SIGSTOP);
    EXPECT_TRUE(DeviceHeldByAnotherProcess());
    kill(first.pid, SIGCONT);
    SendMessageW(FindWindowW(u"Folivant Reader", nullptr), WM_CLOSE, 0, 0);
    EXPECT_EQ(Wait(first.pid), 0);
    first.pid = -1;
    EXPECT_FALSE(DeviceHeldByAnotherProcess());
}

TEST(SingleInstance, NamesOutsideTheBasicPlaneCrossToTheOtherInstanceIntact) {
    // An emoji and a CJK extension ideograph, each a surrogate pair in the name.
    const std::u16string name = u"Folivant \U0001F600 \U00020000 \u00E9";
    TempDevice device;
    ASSERT_TRUE(device.ok());
    Reaper first{-1};
    ASSERT_NO_FATAL_FAILURE(StartInstance(
        {"instance", device.root(), "Folivant \xF0\x9F\x98\x80 \xF0\xA0\x80\x80 \xC3\xA9"}, first));

    HWND other = FindWindowW(name.c_str(), nullptr);
    ASSERT_NE(other, nullptr);
    // Names that differ only outside the basic plane, or by a lone half, are other names.
    EXPECT_EQ(FindWindowW(u"Folivant \U0001F601 \U00020000 \u00E9", nullptr), nullptr);
    EXPECT_EQ(FindWindowW(u"Folivant \xD83D \U00020000 \u00E9", nullptr), nullptr);
    EXPECT_TRUE(SetForegroundWindow(other));
    SendMessageW(other, WM_CLOSE, 0, 0);
    EXPECT_TRUE(device.HostExists("closed"));
    EXPECT_EQ(Wait(first.pid), 0);
}

TEST(SingleInstance, AnotherDeviceRootIsAnotherDevice) {
    TempDevice first;
    Reaper instance{-1};
    ASSERT_NO_FATAL_FAILURE(StartInstance({"instance", first.root()}, instance));
    {
        TempDevice second;
        EXPECT_EQ(FindWindowW(u"Folivant Reader", nullptr), nullptr);
    }
    fvt::OpenDevice(first.root());
    HWND other = FindWindowW(u"Folivant Reader", nullptr);
    ASSERT_NE(other, nullptr);
    SendMessageW(other, WM_CLOSE, 0, 0);
    EXPECT_EQ(Wait(instance.pid), 0);
}

// An instance that does not answer (stopped) is still there: FindWindowW finds it after a
// bounded wait, SetForegroundWindow and a send with a limit fail with ERROR_TIMEOUT. What it was
// asked while stopped is not acted on once it goes on: it closes only when asked again.
TEST(SingleInstance, AnInstanceThatDoesNotAnswerIsFoundAndNotClosedLate) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    Reaper first{-1};
    ASSERT_NO_FATAL_FAILURE(StartInstance({"instance", device.root()}, first));
    Stopped stopped(first.pid);
    ASSERT_TRUE(stopped.ok);
    HWND other = FindWindowW(u"Folivant Reader", nullptr);
    EXPECT_NE(other, nullptr);
    if (other) {
        EXPECT_FALSE(SetForegroundWindow(other));
        EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
        DWORD_PTR result = 7;
        EXPECT_EQ(SendMessageTimeoutW(other, WM_CLOSE, 0, 0, SMTO_NORMAL, 300, &result), 0);
        EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
    }
    stopped.Resume();
    // Answered after every question it was left with.
    other = FindWindowW(u"Folivant Reader", nullptr);
    ASSERT_NE(other, nullptr);
    EXPECT_FALSE(device.HostExists("closed")) << "closed by a question its asker had given up";
    DWORD_PTR result = 7;
    EXPECT_EQ(SendMessageTimeoutW(other, WM_CLOSE, 0, 0, SMTO_NORMAL, 10000, &result), 1);
    EXPECT_TRUE(device.HostExists("closed"));
    EXPECT_EQ(Wait(first.pid), 0);
}

// Runs the demo with a script; returns its exit code.
int RunDemo(const TempDevice& device, const std::string& script, const std::string& shot,
            std::vector<std::string> extraEnv = {}) {
    std::string scriptPath = device.outside() + ".script";
    std::ofstream(scriptPath) << script;
    std::vector<std::string> env = {"FOLIVANT_SCREENSHOT=" + shot, "FOLIVANT_CLOCK=virtual"};
    if (extraEnv.empty()) env.push_back("FOLIVANT_DISPLAY=headless");
    for (auto& e : extraEnv) env.push_back(e);
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "FOLIVANT_SCREENSHOT=", 20) &&
            std::strncmp(*e, "FOLIVANT_DISPLAY=", 17))
            env.push_back(*e);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    int out = -1;
    pid_t pid = Start({"run", device.root(), scriptPath}, &out, envp.data());
    if (pid <= 0) return -1;
    Reaper reaper{pid};
    close(out);
    return Wait(pid);
}

TEST(DemoWindow, DrivenHeadlessAndScreenshotted) {
    TempDevice device;
    std::string shot = device.outside() + ".png";
    ASSERT_EQ(RunDemo(device, "tap 100 150\nchar x\nadvance 100\nidle\nquit\n", shot), 0);
    int w = 0, h = 0;
    std::vector<std::uint32_t> px;
    ASSERT_TRUE(ReadScreenshot(shot, w, h, px));
    ASSERT_EQ(w, 240);
    ASSERT_EQ(h, 320);
    EXPECT_EQ(px[150 * w + 100], 0xFF0000u);  // the mark where the pen came down
    EXPECT_EQ(px[200 * w + 20], 0xC0E0FFu);   // the window's background
    EXPECT_NE(px[5 * w + 120], 0xC0E0FFu);    // the task bar above the work area
    // A hardware button turns the background dark.
    ASSERT_EQ(RunDemo(device, "button 1\nquit\n", shot), 0);
    ASSERT_TRUE(ReadScreenshot(shot, w, h, px));
    EXPECT_EQ(px[200 * w + 20], 0x000080u);
}

TEST(DemoWindow, ShowsInAnSdlWindowUnderXvfb) {
    if (access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "Xvfb is not installed";
    // A private display number; Xvfb writes it once it is ready.
    int displayPipe[2];
    ASSERT_EQ(pipe(displayPipe), 0);
    std::string fdArg = std::to_string(displayPipe[1]);
    std::vector<std::string> args = {"/usr/bin/Xvfb", "-displayfd", fdArg, "-screen", "0",
                                     "800x800x24",    "-nolisten",  "tcp"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t xvfb = -1;
    // The server's notes on the display numbers it tried first are not the test's.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    const int spawned = posix_spawn(&xvfb, argv[0], &quiet, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&quiet);
    ASSERT_EQ(spawned, 0);
    Reaper reaper{xvfb};
    close(displayPipe[1]);
    std::string number = ReadLine(displayPipe[0]);
    close(displayPipe[0]);
    if (number.empty()) GTEST_SKIP() << "Xvfb did not start";
    TempDevice device;
    std::string shot = device.outside() + ".png";
    // The desktop libraries SDL loads keep a few allocations to the end: not ours to report.
    ASSERT_EQ(RunDemo(device, "tap 100 150\nidle\nquit\n", shot,
                      {"DISPLAY=:" + number, "FOLIVANT_DISPLAY=sdl", "SDL_AUDIODRIVER=dummy",
                       "ASAN_OPTIONS=detect_leaks=0"}),
              0);
    int w = 0, h = 0;
    std::vector<std::uint32_t> px;
    ASSERT_TRUE(ReadScreenshot(shot, w, h, px));  // read back from the SDL window
    ASSERT_EQ(w, 240);
    EXPECT_EQ(px[150 * w + 100], 0xFF0000u);
    EXPECT_EQ(px[200 * w + 20], 0xC0E0FFu);
    kill(xvfb, SIGTERM);
    waitpid(xvfb, nullptr, 0);
    reaper.pid = -1;
}

}  // namespace
}  // namespace fvt::test
