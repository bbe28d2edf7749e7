#include "platform/resources/device_resources.h"

#include <algorithm>
#include <atomic>

#include "platform/kernel/modules.h"
#include "platform/last_error.h"

namespace fvt {

namespace {

std::atomic<const ResourceTable*> g_override{nullptr};

const StringResource* FindExact(const ResourceTable& table, UINT id) {
    const StringResource* end = table.strings + table.stringCount;
    const StringResource* it = std::lower_bound(
        table.strings, end, id, [](const StringResource& s, UINT value) { return s.id < value; });
    return it != end && it->id == id ? it : nullptr;
}

// Resources belong to the program; plug-ins and system modules have none.
bool IsProgram(HMODULE module) {
    return module == nullptr || module == ProgramInstance();
}

}  // namespace

void SetResourceTable(const ResourceTable* table) {
    g_override = table;
}

const ResourceTable& CurrentResources() {
    const ResourceTable* table = g_override;
    return table ? *table : CompiledResources();
}

const StringResource* FindString(UINT id) {
    const ResourceTable& table = CurrentResources();
    if (const StringResource* s = FindExact(table, id)) return s;
    if (id >= 1000) {
        const StringResource* english = FindExact(table, id - 1000);
        if (english && !english->french) return english;
    }
    return nullptr;
}

}  // namespace fvt

using namespace fvt;

extern "C" int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax) {
    if (!buffer || bufferMax < 0) return Fail(ERROR_INVALID_PARAMETER, 0);
    const StringResource* s = IsProgram(instance) ? FindString(id) : nullptr;
    if (!s) {
        if (bufferMax > 0) buffer[0] = 0;
        return Fail(ERROR_RESOURCE_NAME_NOT_FOUND, 0);
    }
    if (bufferMax == 0) {
        *reinterpret_cast<const WCHAR**>(buffer) = s->text;
        return static_cast<int>(s->length);
    }
    int n = std::min(static_cast<int>(s->length), bufferMax - 1);
    std::copy(s->text, s->text + n, buffer);
    buffer[n] = 0;
    return n;
}

extern "C" HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
    // Resources are numbered; named ones do not exist in this program.
    if (!IS_INTRESOURCE(name) || !IS_INTRESOURCE(type)) {
        return Fail(ERROR_RESOURCE_NAME_NOT_FOUND, HRSRC{nullptr});
    }
    if (!IsProgram(module)) return Fail(ERROR_RESOURCE_DATA_NOT_FOUND, HRSRC{nullptr});
    auto id = static_cast<WORD>(reinterpret_cast<std::uintptr_t>(name));
    auto kind = static_cast<WORD>(reinterpret_cast<std::uintptr_t>(type));
    const ResourceTable& table = CurrentResources();
    const BinaryResource* end = table.binaries + table.binaryCount;
    const BinaryResource* it =
        std::lower_bound(table.binaries, end, std::make_pair(kind, id),
                         [](const BinaryResource& r, std::pair<WORD, WORD> key) {
                             return std::make_pair(r.type, r.id) < key;
                         });
    if (it == end || it->type != kind || it->id != id) {
        bool anyOfType = it != end && it->type == kind;
        return Fail(anyOfType ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND,
                    HRSRC{nullptr});
    }
    return reinterpret_cast<HRSRC>(const_cast<BinaryResource*>(it));
}

extern "C" HGLOBAL LoadResource(HMODULE, HRSRC resource) {
    if (!resource) return Fail(ERROR_INVALID_HANDLE, HGLOBAL{nullptr});
    return const_cast<BYTE*>(reinterpret_cast<const BinaryResource*>(resource)->data);
}

extern "C" LPVOID LockResource(HGLOBAL data) {
    return data;
}

extern "C" DWORD SizeofResource(HMODULE, HRSRC resource) {
    if (!resource) return Fail(ERROR_INVALID_HANDLE, DWORD{0});
    return reinterpret_cast<const BinaryResource*>(resource)->size;
}

extern "C" BOOL FreeResource(HGLOBAL) {
    return TRUE;
}
