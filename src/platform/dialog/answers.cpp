#include "platform/dialog/answers.h"

#include <deque>
#include <mutex>

#include "platform/kernel/kernel_sync.h"
#include "platform/window/window_layer.h"

namespace fvt {

bool SdlDisplayActive();

namespace {

struct Queue {
    std::mutex lock;
    std::deque<Answer> answers;
    int fromUser = -1;  // -1: the display decides
    std::function<bool()> source;
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

void QueueAnswerFirst(Answer answer) {
    std::lock_guard<std::mutex> l(Q().lock);
    Q().answers.push_front(std::move(answer));
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

void SetAnswerSource(std::function<bool()> source) {
    std::lock_guard<std::mutex> l(Q().lock);
    Q().source = std::move(source);
}

bool AnswersFromSource() {
    std::function<bool()> source;
    {
        std::lock_guard<std::mutex> l(Q().lock);
        source = Q().source;
    }
    return source && source();
}

void SetAnswersFromUser(bool fromUser) {
    std::lock_guard<std::mutex> l(Q().lock);
    Q().fromUser = fromUser ? 1 : 0;
}

bool RunAnsweredLoop(HWND owner, const std::function<bool()>& done,
                     const std::function<void()>& idle, const std::function<bool(MSG&)>& keys) {
    // Called before each message the loop takes: `keys` sees key presses first; with the
    // queue empty, an answer is taken (its keys are seen the same way).
    auto preview = [&](bool& waiting) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!keys || msg.message != WM_KEYDOWN || !keys(msg)) {
                waiting = true;
                return;
            }
            PeekMessageW(&msg, msg.hwnd, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE);
            if (done()) return;
        }
    };
    return RunModalLoop(
        owner,
        [&] {
            bool waiting = false;
            if (done()) return true;
            preview(waiting);
            if (waiting || done()) return done();
            idle();
            if (done()) return true;
            preview(waiting);
            if (waiting || done()) return done();
            // Nothing is queued: unless a person is to answer, wake the loop for the next answer.
            if (!AnswersFromUser() || PendingAnswers() > 0)
                PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
            return false;
        },
        [&](MSG& msg) {
            // A key that arrives while the loop waits (a person's, through the display) is seen
            // first too, never dispatched past the box to the window behind it.
            return keys && msg.message == WM_KEYDOWN && keys(msg);
        });
}

}  // namespace fvt
