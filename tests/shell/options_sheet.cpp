// optionsheet LANG OUT-PREFIX: draws the six options pages in language LANG ("en" or "fr") over
// default settings and writes each as OUT-PREFIX-<page>.png for people to look at.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/dialog/answers.h"
#include "platform/dialog/dialog.h"
#include "platform/kernel/device.h"
#include "platform/window/window_layer.h"
#include "support/platform/sheet_owner.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"
#include "shell/options_pages.h"
#include "support/shell/ui_fixture.h"

int main(int argc, char** argv) {
    std::string prefix;
    int status = 0;
    HWND owner = fvt::test::OpenSheetOwner("optionsheet", argc, argv, prefix, &status);
    if (!owner) return status;

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
            fvt::QueueAnswer(fvt::Answer{IDCANCEL, {}, [&ok, file](HWND page) {
                                             fvt::RunUntilIdle();
                                             ok = fvt::SaveScreenshot(file) && ok;
                                             // A page a person would not ship fails the run.
                                             for (const std::string& p : fvt::DialogLayoutProblems(page)) {
                                                 std::fprintf(stderr, "%s: %s\n", file.c_str(), p.c_str());
                                                 ok = false;
                                             }
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
    std::filesystem::remove_all(prefix + ".device");
    return ok ? 0 : 1;
}
