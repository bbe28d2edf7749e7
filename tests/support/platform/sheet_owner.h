// The shared start of the screenshot tools (TOOL LANG OUT-PREFIX): checks the arguments, opens a
// fresh device beside the output prefix in that language with the virtual clock, and makes the
// plain owner window that their dialogs and bars sit on.
#pragma once

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/dialog/answers.h"
#include "platform/kernel/device.h"
#include "platform/window/window_layer.h"

namespace fvt::test {

inline LRESULT SheetOwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// The owner window, or null with *status set (2: usage, 1: no device or window) and the reason on
// standard error.
inline HWND OpenSheetOwner(const char* tool, int argc, char** argv, std::string& prefix,
                           int* status) {
    *status = 1;
    if (argc < 3 || (std::strcmp(argv[1], "en") != 0 && std::strcmp(argv[1], "fr") != 0)) {
        std::fprintf(stderr, "usage: %s en|fr OUT-PREFIX\n", tool);
        *status = 2;
        return nullptr;
    }
    prefix = argv[2];
    std::string root = prefix + ".device";
    std::filesystem::remove_all(root);
    if (!fvt::OpenDevice(root, std::string("clock = virtual\nlanguage = ") + argv[1] + "\n")) {
        std::fprintf(stderr, "%s: cannot open the device folder\n", tool);
        return nullptr;
    }
    fvt::SetAnswersFromUser(false);
    WNDCLASSW wc{};
    wc.lpfnWndProc = SheetOwnerProc;
    wc.lpszClassName = u"SheetOwner";
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    RegisterClassW(&wc);
    HWND owner = CreateWindowExW(0, u"SheetOwner", u"Folivant Reader", WS_VISIBLE, 0, 26, 240, 268,
                                 nullptr, nullptr, nullptr, nullptr);
    if (!owner) {
        std::fprintf(stderr, "%s: no window\n", tool);
        return nullptr;
    }
    SetActiveWindow(owner);
    fvt::RunUntilIdle();
    return owner;
}

}  // namespace fvt::test
