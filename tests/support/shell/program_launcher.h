// Programs in processes of their own, for the tests that look at a whole run: the reader of this
// build on a temporary device under a driver script, and the tools beside it. The program tests
// start them through here, so every run gets the same environment rules and the same time limit,
// and the result always says how the run ended and what it wrote to its standard streams.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/platform/temp_device.h"

namespace fvt::test {

// A run still going after this long is taken for hung: it is killed, and its result says so.
// Generous, for sanitizer builds on a busy machine.
constexpr int kRunLimitSeconds = 300;

struct LaunchOptions {
    std::string program{};
    std::vector<std::string> args{};
    // "NAME=value" lines. Each replaces the variable of that name this process has (a test's own
    // ASAN_OPTIONS win over the suite's), and a later line replaces an earlier one.
    std::vector<std::string> env{};
    // The device's and the display's variables (FOLIVANT_*, DISPLAY, WAYLAND_DISPLAY) are never
    // inherited, FOLIVANT_TEST_BINARY aside: a run sees only the device it is given. Prefixes of
    // others to leave out too.
    std::vector<std::string> dropInherited{};
    // Files that also keep standard output and error (read while the program runs, or after);
    // without one, a stream is kept in memory only.
    std::string outFile{};
    std::string errFile{};
    // Runs as the unprivileged user when this process is root; exit status kCannotDrop when the
    // change of user fails.
    bool unprivileged = false;
    int limitSeconds = kRunLimitSeconds;
};

// The exit status of a run that could not give up its privileges (or open its streams).
constexpr int kCannotDrop = 126;

struct ProgramResult {
    // The exit status; -1 when the program did not start, crashed or was killed.
    int status = -1;
    bool started = false;
    // Killed at the time limit.
    bool timedOut = false;
    // The signal that ended it, 0 when it exited.
    int signal = 0;
    std::string out;
    std::string err;
    // How the run ended and the end of its standard error, for a failure message.
    std::string Describe() const;
};

// A program started and not yet waited for. One still running when this goes is killed.
class LaunchedProgram {
public:
    explicit LaunchedProgram(const LaunchOptions& options);
    ~LaunchedProgram();
    LaunchedProgram(LaunchedProgram&& other) noexcept;
    LaunchedProgram& operator=(LaunchedProgram&&) = delete;
    LaunchedProgram(const LaunchedProgram&) = delete;
    LaunchedProgram& operator=(const LaunchedProgram&) = delete;

    bool Started() const { return started_; }
    // The process id until the program has been waited for; -1 after, or when it did not start.
    pid_t Pid() const { return pid_; }
    // True while the program has not ended; it is not reaped, so Wait still has its status.
    bool Running() const;
    // Waits for the end (at most the time limit, counted from the start). A second call returns
    // the first result.
    ProgramResult Wait();

private:
    void Kill();

    std::string description_;
    int limitSeconds_ = kRunLimitSeconds;
    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    bool started_ = false;
    bool waited_ = false;
    std::chrono::steady_clock::time_point startedAt_;
    ProgramResult result_;
};

// Starts the program and waits for its end.
ProgramResult RunProgram(const LaunchOptions& options);

// The reader of this build.
std::string ReaderProgram();

// The reader on the device folder `root`, headless (unless `env` chooses a display), under the
// driver script at `driver` when one is given.
LaunchOptions ReaderOn(const std::string& root, std::vector<std::string> args = {},
                       const std::string& driver = {}, const std::vector<std::string>& env = {});

// Starts the reader on the device, for tests that talk to it while it runs; standard error also
// goes to `errFile` when one is named.
LaunchedProgram StartReader(const TempDevice& device, std::vector<std::string> args = {},
                            const std::string& driver = {}, const std::string& errFile = {},
                            const std::vector<std::string>& env = {});

// Writes `steps` as <outside>/steps.txt and runs the reader under it to the end. Its standard
// error is also kept in <outside>/errors.txt.
ProgramResult RunSteps(const TempDevice& device, std::vector<std::string> args,
                       const std::string& steps, const std::vector<std::string>& env = {});

// Writes a script (or any text) in the scratch folder beside the device; its host path.
std::string WriteScript(const TempDevice& device, const std::string& name, const std::string& text);

}  // namespace fvt::test
