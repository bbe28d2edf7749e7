#include "platform/kernel/kernel_sync.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <thread>

#include "platform/last_error.h"

namespace fvt {

namespace {

// An object a thread can wait for. TryAcquire runs with `lock` held and takes what a successful
// wait consumes (an auto-reset event's signal, a semaphore count, mutex ownership).
class Waitable : public KernelObject {
public:
    using KernelObject::KernelObject;
    virtual bool TryAcquire() = 0;
    std::mutex lock;
    std::condition_variable changed;
};

class EventObject : public Waitable {
public:
    EventObject(bool manual, bool signalled)
        : Waitable(ObjectKind::Event), manual(manual), signalled(signalled) {}
    bool TryAcquire() override {
        if (!signalled) return false;
        if (!manual) signalled = false;
        return true;
    }
    bool manual;
    bool signalled;
};

class MutexObject : public Waitable {
public:
    MutexObject() : Waitable(ObjectKind::Mutex) {}
    bool TryAcquire() override {
        auto self = std::this_thread::get_id();
        if (count > 0 && owner != self) return false;
        owner = self;
        ++count;
        return true;
    }
    std::thread::id owner;
    unsigned count = 0;
};

class SemaphoreObject : public Waitable {
public:
    SemaphoreObject(LONG initial, LONG maximum)
        : Waitable(ObjectKind::Semaphore), count(initial), maximum(maximum) {}
    bool TryAcquire() override {
        if (count <= 0) return false;
        --count;
        return true;
    }
    LONG count;
    LONG maximum;
};

class ThreadObject : public Waitable {
public:
    ThreadObject() : Waitable(ObjectKind::Thread) {}
    bool TryAcquire() override { return finished; }
    bool finished = false;
    bool suspended = false;
    DWORD exitCode = STILL_ACTIVE;
    DWORD id = 0;
};

std::atomic<DWORD> g_nextThreadId{1};
thread_local DWORD t_threadId = 0;

std::shared_ptr<Waitable> LookupWaitable(HANDLE handle) {
    auto object = LookupHandle(handle);
    if (!object) return nullptr;
    switch (object->Kind()) {
        case ObjectKind::Event:
        case ObjectKind::Mutex:
        case ObjectKind::Semaphore:
        case ObjectKind::Thread:
            return std::static_pointer_cast<Waitable>(object);
        default:
            return Fail(ERROR_INVALID_HANDLE, std::shared_ptr<Waitable>());
    }
}

// Waits on the virtual clock poll in short real slices: a clock advance from another thread does
// not signal the object's condition variable.
constexpr auto kVirtualSlice = std::chrono::milliseconds(2);

DWORD Wait(Waitable& object, DWORD milliseconds) {
    std::unique_lock<std::mutex> held(object.lock);
    if (object.TryAcquire()) return WAIT_OBJECT_0;
    if (milliseconds == 0) return WAIT_TIMEOUT;
    if (milliseconds == INFINITE) {
        object.changed.wait(held, [&] { return object.TryAcquire(); });
        return WAIT_OBJECT_0;
    }
    bool virtualTime = IsVirtualClock();
    if (!virtualTime || IsClockDriverThread()) {
        // The driving thread cannot wait for itself to advance the clock: it waits in real time
        // for the other threads, and a time-out then moves the virtual clock to the deadline.
        std::uint64_t deadlineTick = NowTicks() + milliseconds;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        if (object.changed.wait_until(held, deadline, [&] { return object.TryAcquire(); })) {
            return WAIT_OBJECT_0;
        }
        if (virtualTime) AdvanceClockTo(deadlineTick);
        return WAIT_TIMEOUT;
    }
    std::uint64_t deadline = NowTicks() + milliseconds;
    while (!object.TryAcquire()) {
        if (NowTicks() >= deadline) return WAIT_TIMEOUT;
        object.changed.wait_for(held, kVirtualSlice);
    }
    return WAIT_OBJECT_0;
}

}  // namespace

}  // namespace fvt

using namespace fvt;

extern "C" HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState,
                               LPCWSTR name) {
    // Named events would be shared across processes on the device; nothing here asks for one.
    if (name && *name) return Fail(ERROR_NOT_SUPPORTED, HANDLE{nullptr});
    return InsertHandle(std::make_shared<EventObject>(manualReset != 0, initialState != 0));
}

extern "C" BOOL EventModify(HANDLE event, DWORD function) {
    auto e = LookupHandleAs<EventObject>(event, ObjectKind::Event);
    if (!e) return FALSE;
    std::lock_guard<std::mutex> guard(e->lock);
    switch (function) {
        case EVENT_SET:
            e->signalled = true;
            // An auto-reset event releases one waiter; notify all and let one consume it.
            e->changed.notify_all();
            return TRUE;
        case EVENT_RESET:
            e->signalled = false;
            return TRUE;
        default:
            return Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
}

extern "C" BOOL SetEvent(HANDLE event) {
    return EventModify(event, EVENT_SET);
}
extern "C" BOOL ResetEvent(HANDLE event) {
    return EventModify(event, EVENT_RESET);
}

extern "C" HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCWSTR name) {
    if (name && *name) return Fail(ERROR_NOT_SUPPORTED, HANDLE{nullptr});
    auto m = std::make_shared<MutexObject>();
    if (initialOwner) m->TryAcquire();
    return InsertHandle(m);
}

extern "C" BOOL ReleaseMutex(HANDLE mutex) {
    auto m = LookupHandleAs<MutexObject>(mutex, ObjectKind::Mutex);
    if (!m) return FALSE;
    std::lock_guard<std::mutex> guard(m->lock);
    if (m->count == 0 || m->owner != std::this_thread::get_id()) {
        return Fail(ERROR_NOT_OWNER, FALSE);
    }
    if (--m->count == 0) {
        m->owner = std::thread::id();
        m->changed.notify_all();
    }
    return TRUE;
}

extern "C" HANDLE CreateSemaphoreW(LPSECURITY_ATTRIBUTES, LONG initialCount, LONG maximumCount,
                                   LPCWSTR name) {
    if (name && *name) return Fail(ERROR_NOT_SUPPORTED, HANDLE{nullptr});
    if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount) {
        return Fail(ERROR_INVALID_PARAMETER, HANDLE{nullptr});
    }
    return InsertHandle(std::make_shared<SemaphoreObject>(initialCount, maximumCount));
}

extern "C" BOOL ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LONG* previousCount) {
    auto s = LookupHandleAs<SemaphoreObject>(semaphore, ObjectKind::Semaphore);
    if (!s) return FALSE;
    std::lock_guard<std::mutex> guard(s->lock);
    if (releaseCount <= 0 || releaseCount > s->maximum - s->count) {
        return Fail(ERROR_TOO_MANY_POSTS, FALSE);
    }
    if (previousCount) *previousCount = s->count;
    s->count += releaseCount;
    s->changed.notify_all();
    return TRUE;
}

extern "C" DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    auto object = LookupWaitable(handle);
    if (!object) return WAIT_FAILED;
    return Wait(*object, milliseconds);
}

extern "C" DWORD GetCurrentThreadId() {
    if (t_threadId == 0) t_threadId = g_nextThreadId++;
    return t_threadId;
}

extern "C" HANDLE CreateThread(LPSECURITY_ATTRIBUTES, size_t, LPTHREAD_START_ROUTINE start,
                               LPVOID parameter, DWORD flags, DWORD* threadId) {
    if (!start) return Fail(ERROR_INVALID_PARAMETER, HANDLE{nullptr});
    auto t = std::make_shared<ThreadObject>();
    t->id = g_nextThreadId++;
    t->suspended = (flags & CREATE_SUSPENDED) != 0;
    HANDLE handle = InsertHandle(t);
    if (!handle) return nullptr;
    try {
        // The thread holds its own reference: closing the handle does not end or free it.
        std::thread([t, start, parameter] {
            t_threadId = t->id;
            {
                std::unique_lock<std::mutex> held(t->lock);
                t->changed.wait(held, [&] { return !t->suspended; });
            }
            DWORD code = start(parameter);
            std::lock_guard<std::mutex> guard(t->lock);
            t->exitCode = code;
            t->finished = true;
            t->changed.notify_all();
        }).detach();
    } catch (...) {
        RemoveHandle(handle, ObjectKind::Thread);
        return Fail(ERROR_NOT_ENOUGH_MEMORY, HANDLE{nullptr});
    }
    if (threadId) *threadId = t->id;
    return handle;
}

extern "C" DWORD ResumeThread(HANDLE thread) {
    auto t = LookupHandleAs<ThreadObject>(thread, ObjectKind::Thread);
    if (!t) return 0xFFFFFFFF;
    std::lock_guard<std::mutex> guard(t->lock);
    DWORD previous = t->suspended ? 1 : 0;
    t->suspended = false;
    t->changed.notify_all();
    return previous;
}

extern "C" BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode) {
    auto t = LookupHandleAs<ThreadObject>(thread, ObjectKind::Thread);
    if (!t) return FALSE;
    if (!exitCode) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    std::lock_guard<std::mutex> guard(t->lock);
    *exitCode = t->exitCode;
    return TRUE;
}

extern "C" void InitializeCriticalSection(LPCRITICAL_SECTION section) {
    if (section) section->lock = new std::recursive_mutex;
}

extern "C" void DeleteCriticalSection(LPCRITICAL_SECTION section) {
    if (!section) return;
    delete section->lock;
    section->lock = nullptr;
}

extern "C" void EnterCriticalSection(LPCRITICAL_SECTION section) {
    if (section && section->lock) section->lock->lock();
}

extern "C" BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section) {
    return section && section->lock && section->lock->try_lock() ? TRUE : FALSE;
}

extern "C" void LeaveCriticalSection(LPCRITICAL_SECTION section) {
    if (section && section->lock) section->lock->unlock();
}
