// Drives the running program from a text file of device input, one action per line (blank lines
// and '#' comments skipped), so a person, a test or CI can run the real program headless:
//   tap X Y | down X Y | move X Y | up X Y        pen, screen pixels
//   key VK | char C | button N | softkey N         keys (numbers decimal or 0x..), C a character
//   insert-card NAME | remove-card NAME            storage cards
//   rotate DEGREES | advance MS | idle             screen, virtual clock, run until idle
//   screenshot PATH | quit                         PNG of the screen; close the program
//   pagetext PATH                                  the lines of the page shown, one per line
//   listtext PATH                                  the rows of the list shown (the library or
//                                                  the annotations), one per line: the row's
//                                                  icon number, a tab and its text
//   listshown PATH                                 the rows of that list on the screen, one per
//                                                  line, the selected one marked "> " and the
//                                                  others "  "
//   answer N | answer-file PATH                    the next box, dialog or pop-up menu takes
//                                                  button/command/item N (0: the default);
//                                                  the next file dialog chooses PATH
//   answer-tap X Y | answer-key VK                 the next box, dialog or pop-up menu takes a
//                                                  tap or a key press (then waits for its
//                                                  answer)
//   shelllog PATH                                  the boxes, dialogs and hand-offs so far
//   text STRING                                    the next dialog's focused text field is
//                                                  filled with STRING (then it waits for its
//                                                  answer)
//   screenshot-box PATH                            the next box, dialog or pop-up menu is saved
//                                                  as PNG once painted (then it waits for its
//                                                  answer); the step fails when its controls
//                                                  overlap or cut their text
//   menu ID                                        chooses item ID from the active menu bar
//   menu NAME                                      chooses the active bar's item of the action
//                                                  of that name (reader/actions.h)
//   wait-file PATH                                 runs the program, taking input (in a window
//                                                  a person's keys and pen), until PATH exists:
//                                                  whoever works the window says it is done
// A `char` step right after the steps that opened a dialog, once the dialog has taken every
// answer queued for it, is typed into the dialog, as are the `char`, `idle` and `answer` steps
// that follow it; the first step of another kind leaves the dialog to its default.
// A name, a path or a text is the rest of the line, so it may hold spaces.
// FOLIVANT_DRIVER names the file; the shell runs it once the program is idle after start-up.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

struct DriverAction {
    enum Verb : uint8_t {
        kNone, kTap, kDown, kMove, kUp, kKey, kChar, kButton, kSoftKey, kInsertCard,
        kRemoveCard, kRotate, kAdvance, kIdle, kScreenshot, kQuit, kAnswer, kAnswerFile, kMenu,
        kText, kPageText, kScreenshotBox, kAnswerTap, kAnswerKey, kShellLog, kListText, kWaitFile,
        kListShown,
    };
    Verb verb = kNone;
    long x = 0;
    long y = 0;
    std::string text;
};

namespace DriverScript {
// One line; false when it cannot be read (unknown verb, missing or bad number or name). A blank
// or comment line gives kNone.
bool ParseLine(const std::string& line, DriverAction& out);
// Runs every line in order, letting the program handle what each one caused. Returns 0, or the
// number of the first line that could not be read or done (a menu item that is not there, a
// screenshot that cannot be written, a text no dialog field took); nothing after it runs.
// FailureReason() then says why.
int Run(std::istream& in);
// Runs the file named by FOLIVANT_DRIVER, if any: 0 when there is none or all of it ran, the bad
// line number otherwise (-1 when the file cannot be read).
int RunFromEnvironment();
// True when FOLIVANT_DRIVER names a script.
bool Driven();
// Why the last run stopped ("" when it did not), or why it could not start.
const std::string& FailureReason();
void SetFailure(const std::string& reason);
// The lines of text of the page the main window shows, one per laid-out line (empty when it
// shows no page: the library, a picture).
std::vector<std::string> ShownPageLines();
// The rows of the list window the main window shows (the library or the annotations list), in
// their order: the icon number, a tab and the row's text; empty when no list shows.
std::vector<std::string> ShownListRows();
// The rows of that list the screen shows, top to bottom, the selected one marked "> ", the
// others "  ".
std::vector<std::string> OnScreenListRows();
}  // namespace DriverScript
