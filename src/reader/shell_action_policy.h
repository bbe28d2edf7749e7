// The reader's answer to book content that wants to leave the reader: the user is asked each
// time, in a question box naming what the book asks for. Without a reader controller (no way to
// ask) everything is refused.
#pragma once

#include "reader/book_actions.h"

class ReaderController;

class AskingShellPolicy : public ShellActionPolicy {
public:
    explicit AskingShellPolicy(ReaderController* controller) : controller_(controller) {}
    bool Allow(ShellAction action, const String& subject) override;

    // The question's string id for an action.
    static uint32_t QuestionId(ShellAction action);

private:
    ReaderController* controller_;
};
