// The program's compiled resources: the string table (English ids, French at id + 1000) and the
// binary resources (group icons, icons, dialogs, menus) that the resource compiler generates from
// resources/. Tests put a table of their own in place.
#pragma once

#include <cstddef>

#include "platform/types.h"

namespace fvt {

struct StringResource {
    UINT id;
    bool french;           // stored at the English id + 1000
    const char16_t* text;  // NUL-terminated
    UINT length;
};

struct BinaryResource {
    WORD type;  // RT_* number
    WORD id;
    const BYTE* data;
    DWORD size;
};

struct ResourceTable {
    const StringResource* strings;  // sorted by id
    size_t stringCount;
    const BinaryResource* binaries;  // sorted by (type, id)
    size_t binaryCount;
};

// The table compiled into the program.
const ResourceTable& CompiledResources();
// Replaces the table used by the resource functions; null restores the compiled one.
void SetResourceTable(const ResourceTable* table);
const ResourceTable& CurrentResources();

// The text of a string id; a French id (n + 1000) without text falls back to English n.
const StringResource* FindString(UINT id);

}  // namespace fvt
