// The test driver as lines of text, one action per line (blank lines and '#' comments skipped):
//   tap X Y | down X Y | move X Y | up X Y        pen, screen pixels
//   key VK | char C | button N | softkey N         keys (VK decimal or 0x..), C a character
//   insert-card NAME | remove-card NAME            storage cards
//   rotate DEGREES | advance MS | idle             screen, virtual clock, run until idle
//   screenshot PATH | quit                         PNG of the screen; post WM_QUIT
//   answer N | answer-file PATH                    the next box, dialog or pop-up menu takes
//                                                  button/command/item N (0: the default);
//                                                  the next file dialog chooses PATH
//   menu ID                                        chooses item ID from the active menu bar
// Returns the number of the first line it could not read (0 when all ran).
#pragma once

#include <cstdlib>
#include <istream>
#include <sstream>
#include <string>

#include "platform/dialog/answers.h"
#include "platform/kernel/kernel_clock.h"
#include "platform/menu/menu_bar.h"
#include "platform/shell/shell.h"
#include "platform/window/window_layer.h"

namespace fvt::test {

inline int RunDriverScript(std::istream& in) {
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        std::istringstream words(line);
        std::string verb;
        if (!(words >> verb) || verb[0] == '#') continue;
        std::string a, b;
        words >> a >> b;
        long x = std::strtol(a.c_str(), nullptr, 0);
        long y = std::strtol(b.c_str(), nullptr, 0);
        std::u16string name(a.begin(), a.end());
        if (verb == "tap")
            fvt::Tap(x, y);
        else if (verb == "down")
            fvt::PenDown(x, y);
        else if (verb == "move")
            fvt::PenMove(x, y);
        else if (verb == "up")
            fvt::PenUp(x, y);
        else if (verb == "key")
            fvt::Key(static_cast<UINT>(x));
        else if (verb == "char" && !a.empty())
            fvt::Character(static_cast<WCHAR>(a[0]));
        else if (verb == "button")
            fvt::HardwareButton(x);
        else if (verb == "softkey")
            fvt::SoftKey(x);
        else if (verb == "insert-card")
            fvt::InsertCard(name);
        else if (verb == "remove-card")
            fvt::RemoveCard(name);
        else if (verb == "rotate")
            fvt::RotateScreen(x);
        else if (verb == "advance")
            fvt::AdvanceClock(static_cast<std::uint64_t>(x));
        else if (verb == "idle")
            fvt::RunUntilIdle();
        else if (verb == "screenshot")
            fvt::SaveScreenshot(a);
        else if (verb == "quit")
            PostQuitMessage(0);
        else if (verb == "answer" && !a.empty())
            fvt::QueueAnswer(fvt::Answer{static_cast<int>(x), {}, {}});
        else if (verb == "answer-file" && !a.empty())
            fvt::QueueAnswer(fvt::Answer{-1, name, {}});
        else if (verb == "menu" && !a.empty()) {
            if (!fvt::ChooseMenuBarItem(static_cast<UINT>(x))) return number;
        }
        else
            return number;
        fvt::RunUntilIdle();
    }
    return 0;
}

}  // namespace fvt::test
