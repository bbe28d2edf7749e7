// A hosted application shell on a temporary device (a parent window is given, so it runs no
// loop of its own and the test drives its window), and a FrameServices that records its calls.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/string.h"
#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/modules.h"
#include "platform/window/window.h"
#include "platform/window/window_layer.h"
#include "shell/app_shell.h"
#include "support/platform/temp_device.h"

namespace fvt::test {

inline std::string Narrow(const String& s) {
    std::string out;
    for (int32_t i = 0; i < s.Length(); ++i) out.push_back(static_cast<char>(s[i]));
    return out;
}

class RecordingServices : public FrameServices {
public:
    void OnMediaInserted(const String& p) override { calls.push_back("inserted " + Narrow(p)); }
    void OnMediaRemoved(const String& p) override { calls.push_back("removed " + Narrow(p)); }
    void OnDriveRemoved(const String& p) override { calls.push_back("drive-removed " + Narrow(p)); }
    void OnDriveAdded(const String& p, const String& item) override {
        calls.push_back("drive-added " + Narrow(p) + " " + Narrow(item));
    }
    void ReleaseBooksUnder(const String& p) override { calls.push_back("release " + Narrow(p)); }
    void ShowLibrary(const String& p) override { calls.push_back("library " + Narrow(p)); }
    bool IsSpeaking() override { return speaking; }
    void StopSpeech() override {
        speaking = false;
        calls.push_back("stop-speech");
    }
    void ToggleSpeech() override { calls.push_back("toggle-speech"); }
    void ToggleFullScreen() override { calls.push_back("full-screen"); }

    std::vector<std::string> calls;
    bool speaking = false;
};

// Parent window class of the hosted shell.
inline LRESULT HostProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcW(w, m, wp, lp); }

class HostedShellTest : public ::testing::Test {
protected:
    explicit HostedShellTest(const std::string& profile =
                                 "clock = virtual\ncards = Storage Card\n")
        : device_(profile) {}

    void SetUp() override {
        ASSERT_TRUE(device_.ok());
        fvt::UseVirtualClock();
        GetDesktopWindow();
        WNDCLASSW wc{};
        wc.lpfnWndProc = &HostProc;
        wc.lpszClassName = u"FvtShellHost";
        RegisterClassW(&wc);
        host_ = CreateWindowExW(0, u"FvtShellHost", u"", WS_VISIBLE, 0, 0, 240, 320, nullptr,
                                nullptr, nullptr, nullptr);
        ASSERT_NE(host_, nullptr);
    }

    void TearDown() override {
        if (shell_ && IsWindow(shell_->Window())) DestroyWindow(shell_->Window());
        shell_ = nullptr;
        if (IsWindow(host_)) DestroyWindow(host_);
        fvt::RunUntilIdle();
        DrainQuit();
    }

    // A shell hosted in the parent window; null when it did not start.
    // With `record`, the frame's services are the recording ones instead of the shell's own.
    AppShell* StartShell(const char16_t* commandLine = u"", bool record = true) {
        auto* shell = new AppShell();
        if (beforeRun) beforeRun(shell);
        String line(commandLine);
        const int result = shell->Run(fvt::ProgramInstance(), line, host_);
        EXPECT_EQ(result, AppShell::kHosted);
        if (result != AppShell::kHosted) {
            delete shell;
            DrainQuit();
            return nullptr;
        }
        if (record) shell->SetServices(&services_);
        shell_ = shell;
        fvt::RunUntilIdle();
        return shell;
    }

    // A top-level shell with its configuration store, started as Run starts it but without
    // the single-instance rule and the loop; null when it did not start.
    AppShell* StartStoredShell() {
        auto* shell = new AppShell();
        const String caption(u"Folivant Reader");
        if (!shell->CreateCore(true) || !shell->Create(nullptr, &caption, true, false, nullptr)) {
            delete shell;
            DrainQuit();
            return nullptr;
        }
        shell->ShowAndStart(nullptr, false, false);
        shell->SetServices(&services_);
        shell_ = shell;
        fvt::RunUntilIdle();
        return shell;
    }

    // The quit message a deleted shell posts; tests do not end the thread's loop.
    static bool DrainQuit() {
        MSG msg;
        bool found = false;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) found = true;
        return found;
    }

    TempDevice device_;
    // What a test gives the shell before it runs (factories).
    std::function<void(AppShell*)> beforeRun;
    HWND host_ = nullptr;
    AppShell* shell_ = nullptr;
    RecordingServices services_;
};

}  // namespace fvt::test
