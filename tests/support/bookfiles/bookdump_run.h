// Runs the bookdump program the build made, for tests of what it prints.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

struct BookdumpRun {
    int status = -1;
    std::string out;
};

// The arguments are given to the shell as they are (quote paths).
inline BookdumpRun RunBookdump(const std::string& arguments) {
    const char* binary = std::getenv("FOLIVANT_TEST_BINARY");
    std::string tool = std::string(binary ? binary : ".") + "/tests/support/bookfiles/bookdump";
    std::string command = "'" + tool + "' " + arguments;
    BookdumpRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}
