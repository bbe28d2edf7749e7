#include "platform/dialog/answers.h"

#include <deque>
#include <mutex>

#include "platform/window/window_layer.h"

namespace fvt {

bool SdlDisplayActive();

namespace {

struct Queue {
    std::mutex lock;
    std::deque<Answer> answers;
    int fromUser = -1;  // -1: the display decides
};

Queue& Q() {
    static Queue* q = new Queue;
    return *q;
}

}  // namespace

void QueueAnswer(Answer answer) {
    std::lock_guard<std::mutex> l(Q().lock);
    Q().answers.push_back(std::move(answer));
}

void ClearAnswers() {
    std::lock_guard<std::mutex> l(Q().lock);
    Q().answers.clear();
}

size_t PendingAnswers() {
    std::lock_guard<std::mutex> l(Q().lock);
    return Q().answers.size();
}

bool TakeAnswer(Answer& out) {
    std::lock_guard<std::mutex> l(Q().lock);
    if (Q().answers.empty()) return false;
    out = std::move(Q().answers.front());
    Q().answers.pop_front();
    return true;
}

bool AnswersFromUser() {
    int forced;
    {
        std::lock_guard<std::mutex> l(Q().lock);
        forced = Q().fromUser;
    }
    return forced >= 0 ? forced != 0 : SdlDisplayActive();
}

void SetAnswersFromUser(bool fromUser) {
    std::lock_guard<std::mutex> l(Q().lock);
    Q().fromUser = fromUser ? 1 : 0;
}

bool RunAnsweredLoop(HWND owner, const std::function<bool()>& done,
                     const std::function<void()>& idle) {
    // With the queue drained, an answer is taken; only a person on screen is waited for.
    bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    if (ownerWasEnabled) EnableWindow(owner, FALSE);
    bool quit = false;
    MSG msg;
    while (!done()) {
        bool got = PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE;
        if (!got) {
            idle();
            if (done()) break;
            if (!AnswersFromUser() || PendingAnswers() > 0) continue;
            got = true;
            if (!GetMessageW(&msg, nullptr, 0, 0)) msg.message = WM_QUIT;
        }
        if (msg.message == WM_QUIT) {
            // The program's own loop must see the quit too.
            PostQuitMessage(static_cast<int>(msg.wParam));
            quit = true;
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (ownerWasEnabled && IsWindow(owner)) EnableWindow(owner, TRUE);
    return !quit;
}

}  // namespace fvt
