#include "shell/driver_script.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/dialog/answers.h"
#include "platform/kernel/clock.h"
#include "platform/menu/menu_bar.h"
#include "platform/shell/shell.h"
#include "platform/window/window_layer.h"
#include "shell/main_frame.h"

namespace {
bool ReadNumber(std::istringstream& words, long& out) {
    std::string word;
    if (!(words >> word)) return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtol(word.c_str(), &end, 0);
    return errno == 0 && end && *end == '\0';
}

struct VerbName {
    const char* name;
    DriverAction::Verb verb;
    int numbers;  // numbers that follow; -1: a name follows
};

constexpr VerbName kVerbs[] = {
    {"tap", DriverAction::kTap, 2},         {"down", DriverAction::kDown, 2},
    {"move", DriverAction::kMove, 2},       {"up", DriverAction::kUp, 2},
    {"key", DriverAction::kKey, 1},         {"char", DriverAction::kChar, -1},
    {"button", DriverAction::kButton, 1},   {"softkey", DriverAction::kSoftKey, 1},
    {"insert-card", DriverAction::kInsertCard, -1},
    {"remove-card", DriverAction::kRemoveCard, -1},
    {"rotate", DriverAction::kRotate, 1},   {"advance", DriverAction::kAdvance, 1},
    {"idle", DriverAction::kIdle, 0},       {"screenshot", DriverAction::kScreenshot, -1},
    {"quit", DriverAction::kQuit, 0},       {"answer", DriverAction::kAnswer, 1},
    {"answer-file", DriverAction::kAnswerFile, -1},
    {"menu", DriverAction::kMenu, 1},
};

std::u16string Wide(const std::string& s) {
    // Card names and paths are taken as Latin-1.
    return std::u16string(s.begin(), s.end());
}

// False when the action cannot be done.
bool Perform(const DriverAction& a) {
    const int x = static_cast<int>(a.x), y = static_cast<int>(a.y);
    switch (a.verb) {
        case DriverAction::kNone: break;
        case DriverAction::kTap: fvt::Tap(x, y); break;
        case DriverAction::kDown: fvt::PenDown(x, y); break;
        case DriverAction::kMove: fvt::PenMove(x, y); break;
        case DriverAction::kUp: fvt::PenUp(x, y); break;
        case DriverAction::kKey: fvt::Key(static_cast<UINT>(a.x)); break;
        case DriverAction::kChar: fvt::Character(static_cast<WCHAR>(a.text[0])); break;
        case DriverAction::kButton: fvt::HardwareButton(x); break;
        case DriverAction::kSoftKey: fvt::SoftKey(x); break;
        case DriverAction::kInsertCard: fvt::InsertCard(Wide(a.text)); break;
        case DriverAction::kRemoveCard: fvt::RemoveCard(Wide(a.text)); break;
        case DriverAction::kRotate: fvt::RotateScreen(x); break;
        case DriverAction::kAdvance: fvt::RunClockFor(static_cast<uint64_t>(a.x)); break;
        case DriverAction::kIdle: break;
        case DriverAction::kScreenshot: fvt::SaveScreenshot(a.text); break;
        case DriverAction::kQuit: {
            // Closing the main window saves what the program keeps; without one, end the loop.
            HWND main = FindWindowW(MainFrame::kClassName, nullptr);
            if (main)
                PostMessageW(main, WM_CLOSE, 0, 0);
            else
                PostQuitMessage(0);
            break;
        }
        case DriverAction::kAnswer:
            fvt::QueueAnswer(fvt::Answer{static_cast<int>(a.x), {}, {}});
            break;
        case DriverAction::kAnswerFile: fvt::QueueAnswer(fvt::Answer{-1, Wide(a.text), {}}); break;
        case DriverAction::kMenu: return fvt::ChooseMenuBarItem(static_cast<UINT>(a.x));
    }
    return true;
}
}  // namespace

namespace DriverScript {
bool ParseLine(const std::string& line, DriverAction& out) {
    out = DriverAction{};
    std::istringstream words(line);
    std::string verb;
    if (!(words >> verb) || verb[0] == '#') return true;
    for (const VerbName& v : kVerbs) {
        if (verb != v.name) continue;
        out.verb = v.verb;
        if (v.numbers < 0) {
            if (!(words >> out.text)) return false;
        } else {
            if (v.numbers >= 1 && !ReadNumber(words, out.x)) return false;
            if (v.numbers >= 2 && !ReadNumber(words, out.y)) return false;
        }
        std::string extra;
        return !(words >> extra) || extra[0] == '#';
    }
    return false;
}

int Run(std::istream& in) {
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        DriverAction action;
        if (!ParseLine(line, action) || !Perform(action)) return number;
        fvt::RunUntilIdle();
    }
    return 0;
}

int RunFromEnvironment() {
    const char* path = std::getenv("FOLIVANT_DRIVER");
    if (!path || !*path) return 0;
    std::ifstream in(path);
    if (!in) return -1;
    return Run(in);
}
}  // namespace DriverScript
