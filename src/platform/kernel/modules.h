// The module registry. System libraries ("coredll.dll", "aygshell.dll", "cellcore.dll",
// "voicectl.dll", "wininet.dll", "mlang.dll", ...) are pseudo-modules whose functions are the
// layer's own, found by name; the profile's "missing" list removes a function or a whole module
// so that callers' no-op paths can be exercised. Any other name is a plug-in: a shared object in
// the program folder ("name" => "<program folder>/name.so"), opened with dlopen.
#pragma once

#include <string>

#include "platform/types.h"

using FARPROC = void (*)();

extern "C" {
HMODULE LoadLibraryW(LPCWSTR fileName);
FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName);
BOOL FreeLibrary(HMODULE module);
// Null: the program's instance; else a loaded module by name.
HMODULE GetModuleHandleW(LPCWSTR moduleName);
}

namespace fvt {

// Areas add their exported functions to a system module; a function registered here wins over
// the built-in list. The module name is compared without case; ".dll" may be left out.
void RegisterModuleFunction(std::u16string_view module, std::u16string_view name, FARPROC function);

template <class F>
void RegisterModuleFunction(std::u16string_view module, std::u16string_view name, F* function) {
    RegisterModuleFunction(module, name, reinterpret_cast<FARPROC>(function));
}

// The device path a plug-in was loaded from (false for pseudo-modules and unknown handles).
bool ModuleFileName(HMODULE module, std::u16string& path);
HMODULE ProgramInstance();
size_t LoadedPluginCount();

}  // namespace fvt
