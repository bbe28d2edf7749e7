// The answer queue: what a modal box takes when it waits for the user. A message box, a modal
// dialog, a file dialog and a pop-up menu each take the next answer when their loop goes idle;
// with the queue empty they take the default (message box: its default button; dialog: Cancel;
// file dialog: Cancel; pop-up menu: nothing), unless the SDL display runs, where the user
// answers on screen. Every box shown and its answer go to the shell log.
#pragma once

#include <functional>
#include <string>

#include "platform/window/window.h"

namespace fvt {

struct Answer {
    // A button or command id (message box, dialog), the chosen menu item; 0 is the default
    // button (a dialog's OK); a negative value sends nothing (only the action runs).
    int value = 0;
    // File dialogs: the chosen device path (empty: cancel).
    std::u16string text;
    // Run first with the box's window, once it has been painted (to fill in a field or take a
    // screenshot). A dialog then takes its command; a negative value waits for the next answer.
    std::function<void(HWND)> action;
};

void QueueAnswer(Answer answer);
// Ahead of every answer waiting: the choice a menu bar item makes, which answers queued for the
// dialog that item opens must not take.
void QueueAnswerFirst(Answer answer);
void ClearAnswers();
size_t PendingAnswers();
// Takes the next answer; false when none waits.
bool TakeAnswer(Answer& out);
// True when an empty queue waits for the user on screen instead of taking the default.
bool AnswersFromUser();
// Where a dialog's answers run out, a source may give more (a script's next steps, typed into
// the box as a person types): it queues them and is true when the box is to wait for them.
void SetAnswerSource(std::function<bool()> source);
bool AnswersFromSource();
// Tests force the choice (the SDL display decides otherwise).
void SetAnswersFromUser(bool fromUser);

// A modal loop over `owner` (disabled meanwhile) that dispatches every message of the thread
// until done(); whenever the thread's queue is empty, idle() is called (it takes an answer or
// the default). Only when a person answers on screen does it wait for input. False when
// WM_QUIT ended it (the quit is posted again).
// `keys`, when given, sees each message before it is dispatched and may take it (true: taken,
// not dispatched): the dialog keys of a modal dialog.
bool RunAnsweredLoop(HWND owner, const std::function<bool()>& done,
                     const std::function<void()>& idle,
                     const std::function<bool(MSG&)>& keys = nullptr);

}  // namespace fvt
