// What the memory information dialog shows, answered from the library: its storages (main
// memory and the cards) with their free and total space, and the count and size of its books.
#pragma once

#include <cstdint>

#include "shell_ui/small_dialogs.h"

class Library;

class LibraryMemoryState final : public ControllerDialogState {
public:
    // The catalogue is not owned; null answers as an empty library.
    LibraryMemoryState(ReaderController* controller, Library* library)
        : ControllerDialogState(controller), library_(library) {}

    int32_t StorageCount() override;
    // False for a storage whose space cannot be read (a card just removed).
    bool StorageInfo(int32_t index, String& name, uint64_t& freeBytes, uint64_t& totalBytes) override;
    // The present books of every kind the library lists.
    void BookTotals(uint32_t& count, uint64_t& bytes) override;

private:
    Library* library_;
};
