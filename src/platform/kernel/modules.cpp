#include "platform/kernel/modules.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/kernel/char_conversion.h"
#include "platform/kernel/device.h"
#include "platform/kernel/system_info.h"
#include "platform/kernel/system_time.h"
#include "platform/kernel/wide.h"
#include "platform/last_error.h"
#include "platform/storage/device_path.h"

namespace fvt {

namespace {

// The system libraries and the functions the program looks up in them by name. Functions of
// areas not linked into a program resolve through the dynamic symbol table when present.
struct SystemModule {
    const char16_t* name;
    std::vector<const char*> functions;
};

const std::vector<SystemModule>& SystemModules() {
    static const std::vector<SystemModule> modules = {
        {u"coredll",
         {"ChangeDisplaySettingsEx",
          "RegisterHotKey",
          "UnregisterHotKey",
          "UnregisterFunc1",
          "SetPowerRequirement",
          "ReleasePowerRequirement",
          "GetTimeZoneInformation",
          "FileTimeToLocalFileTime",
          "LocalFileTimeToFileTime",
          "SystemTimeToFileTime",
          "FileTimeToSystemTime",
          "GetSystemTime",
          "GetLocalTime",
          "EventModify",
          "WaitForSingleObject",
          "PostMessageW",
          "SendMessageW",
          "MultiByteToWideChar",
          "WideCharToMultiByte",
          "SipGetInfo",
          "SipShowIM",
          "SystemIdleTimerReset",
          "CreateMenu",
          "CreatePopupMenu",
          "DestroyMenu",
          "AppendMenuW",
          "InsertMenuW",
          "GetMenuItemCount",
          "GetSubMenu",
          "GetMenuItemInfoW",
          "SetMenuItemInfoW",
          "EnableMenuItem",
          "CheckMenuItem",
          "CheckMenuRadioItem",
          "DeleteMenu",
          "RemoveMenu",
          "LoadMenuW",
          "TrackPopupMenuEx",
          "MessageBoxW"}},
        {u"kernel32",
         {"GetTimeZoneInformation", "FileTimeToLocalFileTime", "LocalFileTimeToFileTime",
          "SystemTimeToTzSpecificLocalTime"}},
        {u"aygshell",
         {"SHFullScreen", "SHChangeNotifyRegister", "SHChangeNotifyDeregister",
          "SHChangeNotifyFree", "SHInitDialog", "SHSetAppKeyWndAssoc", "SHCreateMenuBar",
          "SHDoneButton", "SHNotificationAdd", "SHNotificationRemove", "SHHandleWMSettingChange",
          "SHHandleWMActivate", "SHSipPreference", "SHRecognizeGesture", "SHGetSpecialFolderPath",
          "SHCloseApps"}},
        {u"cellcore", {"tapiRequestMakeCallW"}},
        {u"voicectl", {"VoiceRecorder_Create"}},
        {u"wininet",
         {"InternetOpenA", "InternetConnectW", "HttpOpenRequestW", "HttpSendRequestW",
          "HttpSendRequestExW", "HttpEndRequestW", "HttpQueryInfoW", "InternetReadFile",
          "InternetOpenUrlW", "InternetCombineUrlW", "InternetCrackUrlW", "InternetSetOptionW",
          "InternetQueryOptionW", "InternetGetConnectedState", "InternetCloseHandle"}},
        {u"mlang", {"ConvertINetMultiByteToUnicode"}},
        {u"ras", {"RasDial", "RasHangUp", "RasEnumEntries", "RasGetEntryDialParams"}},
    };
    return modules;
}

struct Module {
    std::u16string name;      // system module name, or the plug-in's device path
    void* library = nullptr;  // dlopen handle of a plug-in
    int references = 0;
    bool system = false;
    // The file handle a plug-in was loaded through, kept while it is loaded: the loader knows
    // it by the handle's name ("/proc/self/fd/N"), and a later library opened through the same
    // number would otherwise be taken for this one.
    int fd = -1;
};

struct ModuleState {
    std::mutex lock;
    std::list<Module> modules;  // nodes never move: their addresses are the HMODULEs
    std::map<std::u16string, std::map<std::u16string, FARPROC>> registered;  // folded names
    Module program;
};

ModuleState& State() {
    static ModuleState* state = [] {
        auto* s = new ModuleState;
        s->program.name = u"folivant.exe";
        s->program.system = true;
        // The layer's own exports that the program looks up by name.
        auto& kernel = s->registered[u"coredll"];
        kernel[u"gettimezoneinformation"] = reinterpret_cast<FARPROC>(&GetTimeZoneInformation);
        kernel[u"filetimetolocalfiletime"] = reinterpret_cast<FARPROC>(&FileTimeToLocalFileTime);
        kernel[u"localfiletimetofiletime"] = reinterpret_cast<FARPROC>(&LocalFileTimeToFileTime);
        kernel[u"systemtimetotzspecificlocaltime"] =
            reinterpret_cast<FARPROC>(&SystemTimeToTzSpecificLocalTime);
        s->registered[u"kernel32"] = kernel;
        s->registered[u"mlang"][u"convertinetmultibytetounicode"] =
            reinterpret_cast<FARPROC>(&ConvertINetMultiByteToUnicode);
        return s;
    }();
    return *state;
}

std::u16string Folded(std::u16string_view text) {
    std::u16string out(text);
    for (auto& c : out) c = FoldCase(c);
    return out;
}

// "AygShell.DLL" => "aygshell"; the folded base name of a system module.
std::u16string ModuleKey(std::u16string_view name) {
    std::u16string key = Folded(name);
    auto slash = key.find_last_of(u"\\/");
    if (slash != std::u16string::npos) key = key.substr(slash + 1);
    if (key.size() > 4 && key.substr(key.size() - 4) == u".dll") key.resize(key.size() - 4);
    return key;
}

const SystemModule* FindSystemModule(const std::u16string& key) {
    for (auto& m : SystemModules()) {
        if (key == m.name) return &m;
    }
    return nullptr;
}

// True when the profile removes the module (name given) or one function of it.
bool IsMissing(const std::u16string& moduleKey, const std::u16string& function) {
    for (auto& entry : Profile().missing) {
        std::u16string item = Folded(Utf8ToWide(entry));
        auto bang = item.find(u'!');
        if (bang != std::u16string::npos) {
            if (ModuleKey(item.substr(0, bang)) == moduleKey && item.substr(bang + 1) == function) {
                return true;
            }
        } else if (function.empty()) {
            if (ModuleKey(item) == moduleKey) return true;
        } else if (item == function) {
            return true;
        }
    }
    return false;
}

Module* FindModule(ModuleState& s, HMODULE handle) {
    if (handle == reinterpret_cast<HMODULE>(&s.program)) return &s.program;
    for (auto& m : s.modules) {
        if (reinterpret_cast<HMODULE>(&m) == handle) return &m;
    }
    return nullptr;
}

}  // namespace

void RegisterModuleFunction(std::u16string_view module, std::u16string_view name,
                            FARPROC function) {
    ModuleState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    s.registered[ModuleKey(module)][Folded(name)] = function;
}

bool ModuleFileName(HMODULE module, std::u16string& path) {
    ModuleState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    Module* m = FindModule(s, module);
    if (!m) return Fail(ERROR_INVALID_HANDLE, false);
    if (m->system) return Fail(ERROR_MOD_NOT_FOUND, false);
    path = m->name;
    return true;
}

HMODULE ProgramInstance() {
    return reinterpret_cast<HMODULE>(&State().program);
}

size_t LoadedPluginCount() {
    ModuleState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    return static_cast<size_t>(std::count_if(s.modules.begin(), s.modules.end(),
                                             [](const Module& m) { return !m.system; }));
}

}  // namespace fvt

using namespace fvt;

extern "C" HMODULE GetModuleHandleW(LPCWSTR moduleName) {
    if (!moduleName) return ProgramInstance();
    ModuleState& s = State();
    std::u16string key = ModuleKey(WideView(moduleName));
    std::lock_guard<std::mutex> guard(s.lock);
    for (auto& m : s.modules) {
        if ((m.system && m.name == key) || (!m.system && ModuleKey(m.name) == key)) {
            return reinterpret_cast<HMODULE>(&m);
        }
    }
    return Fail(ERROR_MOD_NOT_FOUND, HMODULE{nullptr});
}

namespace {

// A plug-in of the device's program folder, looked for beside the host program instead.
HMODULE LoadShippedPlugin(ModuleState& s, const std::u16string& device) {
    std::u16string folder = Folded(Profile().programFolder);
    const std::u16string folded = Folded(device);
    if (folder.empty() || folder.back() != u'\\') folder += u'\\';
    if (folded.size() <= folder.size() || folded.compare(0, folder.size(), folder) != 0 ||
        folded.find_first_of(u"\\/", folder.size()) != std::u16string::npos)
        return nullptr;
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return nullptr;
    std::string host(self, static_cast<size_t>(n));
    const size_t slash = host.find_last_of('/');
    if (slash == std::string::npos) return nullptr;
    host = host.substr(0, slash + 1) + WideToUtf8(device.substr(folder.size()));
    std::lock_guard<std::mutex> guard(s.lock);
    for (auto& m : s.modules) {
        if (!m.system && Folded(m.name) == folded) {
            ++m.references;
            return reinterpret_cast<HMODULE>(&m);
        }
    }
    void* library = dlopen(host.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) return nullptr;
    s.modules.push_back(Module{device, library, 1, false});
    return reinterpret_cast<HMODULE>(&s.modules.back());
}

}  // namespace

extern "C" HMODULE LoadLibraryW(LPCWSTR fileName) {
    if (!fileName || !*fileName) return Fail(ERROR_INVALID_PARAMETER, HMODULE{nullptr});
    ModuleState& s = State();
    std::u16string_view given = WideView(fileName);
    std::u16string key = ModuleKey(given);
    bool isSystem = FindSystemModule(key) != nullptr;
    if (!isSystem) {
        std::lock_guard<std::mutex> guard(s.lock);
        isSystem = s.registered.count(key) != 0;
    }
    if (isSystem) {
        if (IsMissing(key, {})) return Fail(ERROR_MOD_NOT_FOUND, HMODULE{nullptr});
        std::lock_guard<std::mutex> guard(s.lock);
        for (auto& m : s.modules) {
            if (m.system && m.name == key) {
                ++m.references;
                return reinterpret_cast<HMODULE>(&m);
            }
        }
        s.modules.push_back(Module{key, nullptr, 1, true});
        return reinterpret_cast<HMODULE>(&s.modules.back());
    }
    // A plug-in: a bare name lives in the program folder; ".so" is the host's suffix for ".dll".
    std::u16string device(given);
    if (device.find_first_of(u"\\/") == std::u16string::npos) {
        std::u16string folder = Profile().programFolder;
        if (folder.empty() || folder.back() != u'\\') folder += u'\\';
        device = folder + device;
    }
    std::u16string folded = Folded(device);
    if (folded.size() > 4 && folded.substr(folded.size() - 4) == u".dll") {
        device.resize(device.size() - 4);
    }
    if (Folded(device).size() < 3 || Folded(device).substr(Folded(device).size() - 3) != u".so") {
        device += u".so";
    }
    ResolvedPath path;
    if (!ResolveDevicePath(device.c_str(), path) && GetLastError() != ERROR_PATH_NOT_FOUND) {
        return nullptr;
    }
    if (!path.exists) {
        // The plug-ins that ship with the program are built beside it on the host: a device
        // whose program folder lacks one gets that one.
        HMODULE shipped = LoadShippedPlugin(s, device);
        return shipped ? shipped : Fail(ERROR_MOD_NOT_FOUND, HMODULE{nullptr});
    }
    std::lock_guard<std::mutex> guard(s.lock);
    for (auto& m : s.modules) {
        if (!m.system && Folded(m.name) == Folded(path.device)) {
            ++m.references;
            return reinterpret_cast<HMODULE>(&m);
        }
    }
    // Loaded through a handle of the file found, so that a folder swapped for a link meanwhile
    // cannot hand the loader a library from outside the device.
    HostFd file(path.OpenAt(O_RDONLY | O_NONBLOCK));
    struct stat st;
    if (!file.Valid() || fstat(file.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return Fail(ERROR_MOD_NOT_FOUND, HMODULE{nullptr});
    }
    std::string byHandle = "/proc/self/fd/" + std::to_string(file.Get());
    const bool throughHandle = access(byHandle.c_str(), R_OK) == 0;
    if (!throughHandle) byHandle = path.host;  // no /proc: by name
    void* library = dlopen(byHandle.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) return Fail(ERROR_MOD_NOT_FOUND, HMODULE{nullptr});
    s.modules.push_back(
        Module{path.device, library, 1, false, throughHandle ? file.Release() : -1});
    return reinterpret_cast<HMODULE>(&s.modules.back());
}

extern "C" FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName) {
    if (!procName) return Fail(ERROR_INVALID_PARAMETER, FARPROC{nullptr});
    ModuleState& s = State();
    std::u16string name(WideView(procName));
    std::u16string folded = Folded(name);
    std::unique_lock<std::mutex> guard(s.lock);
    Module* m = FindModule(s, module);
    if (!m || m == &s.program) return Fail(ERROR_INVALID_HANDLE, FARPROC{nullptr});
    if (!m->system) {
        void* symbol = dlsym(m->library, WideToUtf8(name).c_str());
        if (!symbol) return Fail(ERROR_PROC_NOT_FOUND, FARPROC{nullptr});
        return reinterpret_cast<FARPROC>(symbol);
    }
    std::u16string key = m->name;
    FARPROC found = nullptr;
    auto registered = s.registered.find(key);
    if (registered != s.registered.end()) {
        auto it = registered->second.find(folded);
        if (it != registered->second.end()) found = it->second;
    }
    guard.unlock();
    if (!found) {
        // Exported layer functions of areas linked into the program (exact name, as exported).
        if (const SystemModule* known = FindSystemModule(key)) {
            std::string utf8 = WideToUtf8(name);
            for (const char* f : known->functions) {
                if (utf8 == f) found = reinterpret_cast<FARPROC>(dlsym(RTLD_DEFAULT, f));
            }
        }
    }
    if (!found || IsMissing(key, folded)) return Fail(ERROR_PROC_NOT_FOUND, FARPROC{nullptr});
    return found;
}

extern "C" BOOL FreeLibrary(HMODULE module) {
    ModuleState& s = State();
    void* library = nullptr;
    int fd = -1;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        Module* m = FindModule(s, module);
        if (!m || m == &s.program) return Fail(ERROR_INVALID_HANDLE, FALSE);
        if (--m->references > 0) return TRUE;
        library = m->library;
        fd = m->fd;
        s.modules.remove_if([&](const Module& x) { return &x == m; });
    }
    if (library) dlclose(library);
    if (fd >= 0) close(fd);
    return TRUE;
}
