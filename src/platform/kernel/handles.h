// Kernel handles: opaque tokens (slot index and generation) over a process-wide table, so that a
// stale or closed handle is refused instead of reaching a freed object.
#pragma once

#include <memory>

#include "platform/types.h"

extern "C" {
BOOL CloseHandle(HANDLE handle);
}

namespace fvt {

enum class ObjectKind { Event, Mutex, Semaphore, Thread, File, Find, Mapping, Menu };

class KernelObject {
public:
    explicit KernelObject(ObjectKind kind) : kind_(kind) {}
    virtual ~KernelObject() = default;
    KernelObject(const KernelObject&) = delete;
    KernelObject& operator=(const KernelObject&) = delete;
    ObjectKind Kind() const { return kind_; }
    // Called when the last handle goes; the object may live on while a waiter still holds it.
    virtual void OnClose() {}

private:
    ObjectKind kind_;
};

HANDLE InsertHandle(std::shared_ptr<KernelObject> object);
// Null (and last error ERROR_INVALID_HANDLE) for an unknown, closed or wrong-kind handle.
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);
template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle, ObjectKind kind);
// Removes the handle if it is of the kind; the object is returned for closing.
std::shared_ptr<KernelObject> RemoveHandle(HANDLE handle, ObjectKind kind);
size_t OpenHandleCount();

bool CheckKind(const std::shared_ptr<KernelObject>& object, ObjectKind kind);

template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle, ObjectKind kind) {
    auto object = LookupHandle(handle);
    if (!CheckKind(object, kind)) return nullptr;
    return std::static_pointer_cast<T>(object);
}

}  // namespace fvt
