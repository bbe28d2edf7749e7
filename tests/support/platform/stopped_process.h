// A child process stopped by a signal, for tests of what its peers do while it does not answer.
#pragma once

#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>

namespace fvt::test {

// A child process stopped by a signal (all its threads: until then its listener may still
// answer), let go on when the test ends however it ends.
struct Stopped {
    explicit Stopped(pid_t p) : pid(p) {
        int status = 0;
        ok = kill(p, SIGSTOP) == 0 && waitpid(p, &status, WUNTRACED) == p && WIFSTOPPED(status);
    }
    ~Stopped() { Resume(); }
    Stopped(const Stopped&) = delete;
    Stopped& operator=(const Stopped&) = delete;
    void Resume() {
        if (ok) kill(pid, SIGCONT);
        ok = false;
    }
    pid_t pid;
    bool ok = false;
};

}  // namespace fvt::test
