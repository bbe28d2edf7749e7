#include "core/sync.h"

#include "platform/kernel/handles.h"
#include "platform/kernel/kernel_sync.h"

bool Event::Create(bool manualReset, bool initialState) {
    Close();
    HANDLE h =
        CreateEventW(nullptr, manualReset ? TRUE : FALSE, initialState ? TRUE : FALSE, nullptr);
    handle_ = h;
    return h != nullptr;
}

bool Event::Set() {
    return handle_ && EventModify(handle_, EVENT_SET);
}
bool Event::Reset() {
    return handle_ && EventModify(handle_, EVENT_RESET);
}

bool Event::Wait(uint32_t ms) {
    return handle_ && WaitForSingleObject(handle_, ms) == WAIT_OBJECT_0;
}

void Event::Close() {
    if (handle_) CloseHandle(handle_);
    handle_ = nullptr;
}

bool Mutex::Create() {
    Close();
    handle_ = CreateMutexW(nullptr, FALSE, nullptr);
    return handle_ != nullptr;
}

void Mutex::Close() {
    if (handle_) CloseHandle(handle_);
    handle_ = nullptr;
}
