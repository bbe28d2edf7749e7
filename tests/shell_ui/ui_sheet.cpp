// uisheet LANG OUT-PREFIX: draws, in language LANG ("en" or "fr"), the reader's bar with its menu
// open, the About box, the colour picker, the find, go-to-page, volume, text-entry and memory dialogs and a sheet's
// page list, and writes each screen as OUT-PREFIX-<name>.png for people to look at.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/dialog/answers.h"
#include "platform/dialog/dialog.h"
#include "platform/kernel/device.h"
#include "platform/menu/menu_bar.h"
#include "platform/window/window_layer.h"
#include "shell_ui/about_sheet.h"
#include "shell_ui/colour_picker.h"
#include "support/platform/sheet_owner.h"
#include "support/shell/ui_fixture.h"

namespace {

int Fail(const char* what) {
    std::fprintf(stderr, "uisheet: %s\n", what);
    return 1;
}


}  // namespace

int main(int argc, char** argv) {
    std::string prefix;
    int status = 0;
    HWND owner = fvt::test::OpenSheetOwner("uisheet", argc, argv, prefix, &status);
    if (!owner) return status;
    bool ok = true;
    auto shot = [&](const std::string& name) {
        return [&ok, name, prefix](HWND box) {
            fvt::RunUntilIdle();
            ok = fvt::SaveScreenshot(prefix + "-" + name + ".png") && ok;
            // A box a person would not ship fails the run.
            for (const std::string& p : fvt::DialogLayoutProblems(box)) {
                std::fprintf(stderr, "%s-%s: %s\n", prefix.c_str(), name.c_str(), p.c_str());
                ok = false;
            }
        };
    };
    auto answer = [](int value, std::function<void(HWND)> action) {
        fvt::QueueAnswer(fvt::Answer{value, {}, std::move(action)});
    };

    // The reader's bar with a bookmark on the page and its menu open, then the audio bar.
    fvt::test::FakeBarState barState;
    barState.view = owner;
    barState.bookmark = true;
    barState.navigation = {u"Contents", u"Chapter 1"};
    barState.tracks = {u"Chapter 1", u"Chapter 2"};
    barState.disabled[Cmd::kBack] = true;
    {
        ReaderMenuBar bar(&barState);
        if (!bar.Create(owner)) return Fail("no reader bar");
        bar.Show(true);
        answer(0, shot("reader-menu"));
        fvt::PressMenuBarButton(1);
        fvt::RunUntilIdle();
    }
    {
        AudioMenuBar bar(&barState);
        if (!bar.Create(owner)) return Fail("no audio bar");
        bar.Show(true);
        answer(0, shot("audio-menu"));
        fvt::PressMenuBarButton(1);
        fvt::RunUntilIdle();
    }

    fvt::test::FakeDialogState state;
    state.storages = {{u"Main memory", 21ull << 20, 64ull << 20}, {u"Storage Card", 700ull << 20, 1024ull << 20}};
    state.books = 3;
    state.bookBytes = 2600 * 1024;

    {
        AboutSheet about;
        answer(IDOK, shot("about"));
        about.Show(owner, nullptr);
    }
    {
        PropertySheet sheet;
        sheet.AddPage(std::make_unique<AboutPage>());
        sheet.AddPage(std::make_unique<CreditsPage>());
        PropertySheet::SetSheetTitle(5083);
        answer(PropertySheetHost::kDoneKey, shot("sheet"));
        sheet.RunModal(owner, nullptr, false);
    }
    {
        GoToPageDialog dialog(&state);
        answer(IDCANCEL, shot("goto"));
        dialog.Run(owner, nullptr, false);
    }
    {
        VolumeDialog dialog(&state);
        answer(IDCANCEL, shot("volume"));
        dialog.Run(owner, nullptr, false);
    }
    {
        String text(u"A note on this page");
        TextEntryDialog dialog(&state, 2, text);
        answer(IDCANCEL, shot("text"));
        dialog.Run(owner, nullptr, false);
    }
    {
        MemoryInfoDialog dialog(&state);
        answer(IDCANCEL, shot("memory"));
        dialog.Run(owner, nullptr, false);
    }
    {
        ReaderMenuBar bar(&barState);
        bar.Create(owner);
        bar.SetLastSearch(String(u"whale"));
        FindDialog find(&state, &bar);
        if (find.Run(owner, nullptr, false)) {
            SendMessageW(find.Window(), WM_COMMAND, MAKEWPARAM(FindDialog::kOptionsToggle, BN_CLICKED),
                         reinterpret_cast<LPARAM>(find.GetItem(FindDialog::kOptionsToggle)));
            shot("find")(find.Window());
        }
    }

    {
        COLORREF chosen = 0;
        answer(-1, [&](HWND popup) {
            shot("colours")(popup);
            SendMessageW(popup, WM_CLOSE, 0, 0);
        });
        ColourPicker::Choose(owner, POINT{60, 80}, 1, ColourPicker::PaletteColour(1, 2, 2), chosen);
    }

    DestroyWindow(owner);
    Resources::FlushCache();
    fvt::CloseDevice();
    std::filesystem::remove_all(prefix + ".device");
    return ok ? 0 : Fail("a picture could not be written");
}
