// The program in a real window, worked as a person works it: an X server of the test's own
// (Xvfb, on a display number it picks), the reader in an SDL window on it, and key presses, pen
// taps and wheel turns sent through the X test extension, so that they arrive as a person's do.
// What the window shows is read back from the X server.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {

// Xvfb on a free display, ended with the object.
class PrivateXServer {
public:
    PrivateXServer();
    ~PrivateXServer();
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;
    // ":N", or empty when there is no Xvfb or it did not start.
    const std::string& Name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
};

// What the window shows, one 0xRRGGBB word a pixel.
struct WindowPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t At(int x, int y) const {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
    bool operator==(const WindowPicture& o) const {
        return width == o.width && height == o.height && pixels == o.pixels;
    }
    bool operator!=(const WindowPicture& o) const { return !(*this == o); }
    // Pixels of the rectangle that differ from `colour`.
    int CountNot(int left, int top, int right, int bottom, std::uint32_t colour) const;
};

// The reader on `device` in a window of `server`, under a driver script that first writes
// <outside>/ready, then waits for <outside>/done (written by Finish), and then runs `after`
// (page text, shell log, screenshots; `quit` is added).
class WindowSession {
public:
    WindowSession(const PrivateXServer& server, const TempDevice& device,
                  std::vector<std::string> args, const std::string& after,
                  const std::vector<std::string>& env = {});
    ~WindowSession();
    WindowSession(const WindowSession&) = delete;
    WindowSession& operator=(const WindowSession&) = delete;

    // The window is up and the script waits for the person; false (with Why) when it did not
    // come within a bounded wait.
    bool Ready();
    const std::string& Why() const { return why_; }

    // A key by its X name ("F2", "Escape", "Return", "Down", "4"), pressed and released; then
    // waits (bounded) for the window to change and settle. False when nothing changed.
    bool Press(const std::string& key);
    // The same without waiting for a change: for keys that must leave the window as it is.
    void PressOnly(const std::string& key);
    // Opens the soft-key menu (F2) and chooses the row `downs` rows below its top (Enter).
    // False when a key changed nothing.
    bool ChooseFromMenu(int downs);
    // A key held with Shift (or Control), pressed and released, then settles.
    void PressWith(const std::string& modifier, const std::string& key);
    // Types UTF-8 text as a person does on the keyboard: Shift where the character needs it, and
    // a key the keyboard lacks (an accented letter) given to a free key code first. Then settles.
    void Type(const std::string& utf8);
    // Pen down at one point, moved in steps to another and up there, then settles.
    void Drag(int fromX, int fromY, int toX, int toY);
    // Waits until the window has not changed for a moment.
    void Settle();
    // A tap at device pixels (the window shows the device at scale 1), then waits for a change.
    bool Tap(int x, int y);
    // Turns the wheel over the window by `notches` (positive: away from the person, up).
    bool Wheel(int notches);
    // Moves the pointer, without a button, to device pixels: where the wheel turns next.
    void PointAt(int x, int y);
    WindowPicture Picture();
    // The desktop window's title.
    std::string Title();
    // The text on the desktop's clipboard (UTF-8; empty when none).
    std::string DesktopClipboard();

    // Tells the script the person is done and waits for the program's end.
    ProgramResult Finish();

private:
    struct X;
    bool FindWindow();
    void SendKey(const std::string& key);
    bool WaitForChange(const WindowPicture& before);

    const TempDevice& device_;
    std::unique_ptr<X> x_;
    std::unique_ptr<LaunchedProgram> program_;
    std::string why_;
    bool finished_ = false;
    ProgramResult result_;
};

// A test of a person at the window: a private X server and a device of the test's own; skipped
// where there is no Xvfb.
class WindowSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (server_.Name().empty()) GTEST_SKIP() << "no Xvfb";
        ASSERT_TRUE(device_.ok());
    }
    // A file in the device's outside folder, where the driver writes what it reads.
    std::string Out(const std::string& name) const { return device_.outside() + "/" + name; }

    PrivateXServer server_;
    TempDevice device_;
};

}  // namespace fvt::test
