// One event or one mutex handle, for the speech plug-in's hand-shake. These are the only core
// objects used across threads.
#pragma once

#include <cstdint>

class Event {
public:
    Event() = default;
    ~Event() { Close(); }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    // A manual-reset event by default: it stays signalled until reset, so it can be polled.
    bool Create(bool manualReset = true, bool initialState = false);
    bool Set();
    bool Reset();
    // True when signalled within ms; false on time-out or failure.
    bool Wait(uint32_t ms);
    void Close();
    bool IsValid() const { return handle_ != nullptr; }
    void* Handle() const { return handle_; }

private:
    void* handle_ = nullptr;
};

class Mutex {
public:
    Mutex() = default;
    ~Mutex() { Close(); }
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    // An unnamed mutex, not owned.
    bool Create();
    void Close();
    bool IsValid() const { return handle_ != nullptr; }
    void* Handle() const { return handle_; }

private:
    void* handle_ = nullptr;
};
