// optionsheet LANG OUT-PREFIX: draws the six options pages in language LANG ("en" or "fr") over
// default settings and writes each as OUT-PREFIX-<page>.png for people to look at.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/dialog/answers.h"
#include "platform/kernel/device.h"
#include "platform/window/window_layer.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"
#include "shell/options_pages.h"
#include "support/shell/ui_fixture.h"

namespace {

LRESULT OwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || (std::strcmp(argv[1], "en") != 0 && std::strcmp(argv[1], "fr") != 0)) {
        std::fprintf(stderr, "usage: optionsheet en|fr OUT-PREFIX\n");
        return 2;
    }
    const std::string prefix = argv[2];
    const std::string root = prefix + ".device";
    std::filesystem::remove_all(root);
    if (!fvt::OpenDevice(root, std::string("clock = virtual\nlanguage = ") + argv[1] + "\n")) {
        std::fprintf(stderr, "optionsheet: cannot open the device folder\n");
        return 1;
    }
    fvt::SetAnswersFromUser(false);
    WNDCLASSW wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.lpszClassName = u"OptionSheetOwner";
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    RegisterClassW(&wc);
    HWND owner = CreateWindowExW(0, u"OptionSheetOwner", u"Folivant Reader", WS_VISIBLE, 0, 26,
                                 240, 268, nullptr, nullptr, nullptr, nullptr);
    if (!owner) return 1;
    SetActiveWindow(owner);
    fvt::RunUntilIdle();

    ReaderSettings settings;
    settings.SetKey(0, 8192);
    settings.SetKey(1, 8);
    ReaderController controller;
    controller.SetSettings(&settings);
    settings.SetReaderController(&controller);
    bool ok = true;
    {
        OptionsSheet sheet(&controller, nullptr, nullptr, false, false);
        const char* names[] = {"general", "fonts", "colors", "display", "buttons", "library"};
        DialogPage* page = sheet.FirstPage();
        for (const char* name : names) {
            if (!page) break;
            const std::string file = prefix + "-" + name + ".png";
            fvt::QueueAnswer(fvt::Answer{IDCANCEL, {}, [&ok, file](HWND) {
                                             fvt::RunUntilIdle();
                                             ok = fvt::SaveScreenshot(file) && ok;
                                         }});
            page->Run(owner, &controller, false);
            page = page->Next();
        }
        fvt::QueueAnswer(fvt::Answer{PropertySheetHost::kDoneKey, {}, [&ok, prefix](HWND) {
                                         fvt::RunUntilIdle();
                                         ok = fvt::SaveScreenshot(prefix + "-sheet.png") && ok;
                                     }});
        sheet.RunModal(owner, &controller, false);
    }
    DestroyWindow(owner);
    fvt::CloseDevice();
    std::filesystem::remove_all(root);
    return ok ? 0 : 1;
}
