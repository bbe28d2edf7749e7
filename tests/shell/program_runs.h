// Running the program itself in processes of its own on a temporary device, under a driver
// script, and reading what it left: page texts, screenshots, files.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/window/window.h"
#include "support/platform/temp_device.h"

namespace fvt::test {

// The program of the same build as the suite.
std::string Program();

struct Child {
    pid_t pid = -1;
    ~Child();
    // The exit status; -1 when it did not exit normally.
    int Wait();
};

// Starts the program on the device, with a driver script when one is given; its standard error
// goes to `errors` when one is named. Extra environment lines ("FOLIVANT_LANGUAGE=fr") in `env`.
pid_t Start(const TempDevice& device, const std::vector<std::string>& args,
            const std::string& driver = {}, const std::string& errors = {},
            const std::vector<std::string>& env = {});

// Writes a script (or any text) in the scratch folder beside the device; its host path.
std::string WriteScript(const TempDevice& device, const std::string& name,
                        const std::string& text);

bool IsPng(const std::string& path);
std::string ReadFile(const std::string& path);
std::vector<std::string> ReadLines(const std::string& path);
// The lines as one text, each ended by a line feed.
std::string Joined(const std::vector<std::string>& lines);

// Waits (boundedly) until the device has a running instance.
HWND WaitForInstance();

// A screenshot's pixels (RGBA, row by row); empty when it cannot be read.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
    // Rows [top, bottom) that hold a pixel other than the colour of (0, top).
    bool RowsDiffer(const Picture& other, int top, int bottom) const;
};
Picture ReadPicture(const std::string& path);

// Runs a script headless on the device with these arguments; the exit status. The script's
// standard error is kept in <outside>/errors.txt.
int RunScript(const TempDevice& device, const std::vector<std::string>& args,
              const std::string& steps, const std::vector<std::string>& env = {});

}  // namespace fvt::test
