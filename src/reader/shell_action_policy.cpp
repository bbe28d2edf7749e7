#include "reader/shell_action_policy.h"

#include "reader/reader_controller.h"

uint32_t AskingShellPolicy::QuestionId(ShellAction action) {
    switch (action) {
        case ShellAction::kStartProgram:
            return 5990;
        case ShellAction::kDial:
            return 5991;
        case ShellAction::kWebBrowser:
            return 5992;
        case ShellAction::kPlaylist:
            return 5993;
        case ShellAction::kRecorder:
            return 5994;
        case ShellAction::kWriteFile:
            return 5995;
        case ShellAction::kCloseWindow:
            return 5996;
    }
    return 5990;
}

bool AskingShellPolicy::Allow(ShellAction action, const String& subject) {
    if (!controller_) return false;
    return controller_->MessageBoxByIdArgs(-1, QuestionId(action), MessageKind::kQuestion, &subject,
                                           1);
}
