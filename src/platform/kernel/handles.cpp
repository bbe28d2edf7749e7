#include "platform/kernel/handles.h"

#include <mutex>
#include <vector>

#include "platform/last_error.h"

namespace fvt {

namespace {

struct Slot {
    std::shared_ptr<KernelObject> object;
    std::uint32_t generation = 1;
};

struct Table {
    std::mutex lock;
    std::vector<Slot> slots;
    std::vector<size_t> free;
    size_t used = 0;
};

Table& TheTable() {
    static Table* table = new Table;  // never destroyed: handles may be closed during exit
    return *table;
}

// Handle value: generation in the high half, slot index + 1 shifted left by 2 below it. Never 0
// and never INVALID_HANDLE_VALUE.
HANDLE Encode(size_t index, std::uint32_t generation) {
    auto value = (static_cast<std::uint64_t>(generation) << 32) |
                 (static_cast<std::uint64_t>(index + 1) << 2);
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value));
}

bool Decode(HANDLE handle, size_t& index, std::uint32_t& generation) {
    auto value = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(handle));
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || (value & 3) != 0) return false;
    auto low = static_cast<std::uint32_t>(value) >> 2;
    if (low == 0) return false;
    index = low - 1;
    generation = static_cast<std::uint32_t>(value >> 32);
    return true;
}

}  // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
    if (!object) return Fail(ERROR_INVALID_PARAMETER, static_cast<HANDLE>(nullptr));
    Table& t = TheTable();
    std::lock_guard<std::mutex> guard(t.lock);
    size_t index;
    if (!t.free.empty()) {
        index = t.free.back();
        t.free.pop_back();
    } else {
        if (t.slots.size() >= 0x3FFFFFFF) return Fail(ERROR_NOT_ENOUGH_MEMORY, HANDLE{nullptr});
        index = t.slots.size();
        t.slots.emplace_back();
    }
    t.slots[index].object = std::move(object);
    ++t.used;
    return Encode(index, t.slots[index].generation);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
    size_t index;
    std::uint32_t generation;
    if (Decode(handle, index, generation)) {
        Table& t = TheTable();
        std::lock_guard<std::mutex> guard(t.lock);
        if (index < t.slots.size() && t.slots[index].generation == generation &&
            t.slots[index].object) {
            return t.slots[index].object;
        }
    }
    return Fail(ERROR_INVALID_HANDLE, std::shared_ptr<KernelObject>());
}

bool CheckKind(const std::shared_ptr<KernelObject>& object, ObjectKind kind) {
    if (!object || object->Kind() != kind) return Fail(ERROR_INVALID_HANDLE, false);
    return true;
}

std::shared_ptr<KernelObject> RemoveHandle(HANDLE handle, ObjectKind kind) {
    size_t index;
    std::uint32_t generation;
    std::shared_ptr<KernelObject> object;
    if (Decode(handle, index, generation)) {
        Table& t = TheTable();
        std::lock_guard<std::mutex> guard(t.lock);
        if (index < t.slots.size() && t.slots[index].generation == generation &&
            t.slots[index].object && t.slots[index].object->Kind() == kind) {
            object = std::move(t.slots[index].object);
            t.slots[index].object.reset();
            ++t.slots[index].generation;
            if (t.slots[index].generation == 0) t.slots[index].generation = 1;
            t.free.push_back(index);
            --t.used;
        }
    }
    if (!object) return Fail(ERROR_INVALID_HANDLE, std::shared_ptr<KernelObject>());
    object->OnClose();
    return object;
}

size_t OpenHandleCount() {
    Table& t = TheTable();
    std::lock_guard<std::mutex> guard(t.lock);
    return t.used;
}

}  // namespace fvt

extern "C" BOOL CloseHandle(HANDLE handle) {
    using fvt::ObjectKind;
    auto object = fvt::LookupHandle(handle);
    // Search handles and menus have their own closing calls (FindClose, DestroyMenu).
    if (!object || object->Kind() == ObjectKind::Find || object->Kind() == ObjectKind::Menu)
        return fvt::Fail(ERROR_INVALID_HANDLE, FALSE);
    return fvt::RemoveHandle(handle, object->Kind()) ? TRUE : FALSE;
}
