// dialogsheet LANG OUT-PREFIX: draws, in language LANG ("en" or "fr"), the General options page,
// the reader's menu opened from its bar, a message box and the open dialog, and writes each screen as
// OUT-PREFIX-<name>.png, so that the two languages can be looked at side by side.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/dialog/answers.h"
#include "platform/dialog/dialog.h"
#include "platform/kernel/device.h"
#include "platform/menu/menu_bar.h"
#include "platform/resources/device_resources.h"
#include "platform/window/window_layer.h"
#include "support/platform/sheet_owner.h"

namespace {

int Fail(const char* what) {
    std::fprintf(stderr, "dialogsheet: %s\n", what);
    return 1;
}

INT_PTR PageProc(HWND hwnd, UINT msg, WPARAM, LPARAM) {
    if (msg != WM_INITDIALOG) return FALSE;
    SHINITDLGINFO info{SHIDIM_FLAGS, hwnd, SHIDIF_SIZEDLGFULLSCREEN};
    SHInitDialog(&info);
    // A spinner shows its current item.
    for (int id : {1002, 1110}) {
        SendDlgItemMessageW(hwnd, id, LB_INSERTSTRING, static_cast<WPARAM>(-1),
                            reinterpret_cast<LPARAM>(u"Webster"));
        SendDlgItemMessageW(hwnd, id, LB_SETCURSEL, 0, 0);
    }
    CheckDlgButton(hwnd, 1037, BST_CHECKED);
    WCHAR title[64] = {};
    GetWindowTextW(hwnd, title, 64);
    SetDlgItemTextW(hwnd, 1091, title);
    return TRUE;
}


}  // namespace

int main(int argc, char** argv) {
    std::string prefix;
    int status = 0;
    HWND owner = fvt::test::OpenSheetOwner("dialogsheet", argc, argv, prefix, &status);
    if (!owner) return status;
    bool ok = true;
    auto shot = [&](const std::string& name) {
        return [&ok, name, prefix](HWND) {
            fvt::RunUntilIdle();
            ok = fvt::SaveScreenshot(prefix + "-" + name + ".png") && ok;
        };
    };

    // The General page with its bar.
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(111), MAKEINTRESOURCEW(RT_DIALOG));
    if (!found) return Fail("no template 111");
    auto* page = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(nullptr, found)));
    fvt::QueueAnswer(fvt::Answer{-1, {}, [&](HWND dialog) {
                                     SHMENUBARINFO bar{};
                                     bar.cbSize = sizeof bar;
                                     bar.hwndParent = dialog;
                                     bar.nToolBarId = 214;
                                     SHCreateMenuBar(&bar);
                                     shot("page")(dialog);
                                     DestroyWindow(bar.hwndMB);
                                 }});
    fvt::QueueAnswer(fvt::Answer{IDOK, {}, {}});
    DialogBoxIndirectParamW(nullptr, page, owner, PageProc, 0);

    // The reader's bar with its menu open.
    SHMENUBARINFO bar{};
    bar.cbSize = sizeof bar;
    bar.hwndParent = owner;
    bar.nToolBarId = 103;
    if (!SHCreateMenuBar(&bar)) return Fail("no menu 103");
    fvt::QueueAnswer(fvt::Answer{0, {}, shot("menu")});
    fvt::PressMenuBarButton(1);
    fvt::RunUntilIdle();

    // A message box.
    fvt::QueueAnswer(fvt::Answer{IDOK, {}, shot("box")});
    const WCHAR* text = nullptr;
    int n = LoadStringW(nullptr, std::strcmp(argv[1], "fr") == 0 ? 6322 : 5322,
                        reinterpret_cast<LPWSTR>(&text), 0);
    std::u16string message = n > 0 ? std::u16string(text, static_cast<size_t>(n)) : u"?";
    MessageBoxW(owner, message.c_str(), u"Folivant Reader", MB_OKCANCEL | MB_ICONQUESTION);

    // The open dialog as a person sees it, over a folder of books.
    std::filesystem::create_directories(fvt::DeviceRoot() + "/Books/Classics");
    for (const char* name : {"Emma.prc", "Persuasion.pdb", "notes.txt"})
        std::ofstream(fvt::DeviceRoot() + "/Books/" + name) << "x";
    fvt::SetAnswersFromUser(true);
    fvt::QueueAnswer(fvt::Answer{-1, {}, shot("files")});
    fvt::QueueAnswer(fvt::Answer{IDCANCEL, {}, {}});
    WCHAR file[260] = {};
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFile = file;
    ofn.nMaxFile = 260;
    ofn.lpstrFilter = u"eBooks\0*.prc;*.pdb\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrInitialDir = u"\\Books";
    ofn.lpstrTitle = u"Folivant Reader";
    GetOpenFileNameW(&ofn);
    fvt::SetAnswersFromUser(false);

    DestroyWindow(bar.hwndMB);
    DestroyWindow(owner);
    fvt::CloseDevice();
    std::filesystem::remove_all(prefix + ".device");
    return ok ? 0 : Fail("a picture could not be written");
}
