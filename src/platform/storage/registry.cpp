#include "platform/storage/registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <vector>

#include "platform/kernel/device.h"
#include "platform/kernel/wide.h"
#include "platform/last_error.h"
#include "platform/storage/device_path.h"
#include "platform/storage/open_files.h"

namespace fvt {

namespace {

constexpr size_t kMaxKeyPath = 255;
constexpr size_t kMaxValueName = 16383;
constexpr size_t kMaxValueData = 1 << 20;

struct Value {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct Key {
    std::u16string path;                             // "HKEY_CLASSES_ROOT\.htm", stored case
    std::map<std::u16string, std::u16string> names;  // folded value name => stored name
    std::map<std::u16string, Value> values;          // by folded name
};

struct Registry {
    std::mutex lock;
    std::uint64_t generation = ~0ULL;
    std::map<std::u16string, Key> keys;  // by folded path
    struct OpenKey {
        std::u16string folded;
        bool writable;
    };
    std::map<std::uintptr_t, OpenKey> open;
    std::uintptr_t nextHandle = 0x1000;
};

Registry& TheRegistry() {
    static Registry* r = new Registry;
    return *r;
}

std::u16string Fold(std::u16string_view s) {
    std::u16string out(s);
    for (auto& c : out) c = FoldCase(c);
    return out;
}

constexpr char16_t kFileName[] = u"\\.folivant-registry";

// The registry file's text; false when there is none (or only something that is not a file).
bool ReadRegistryText(std::string& text) {
    ResolvedPath path;
    if (!ResolveDevicePath(kFileName, path) || !path.exists) return false;
    HostFd fd(path.OpenAt(O_RDONLY | O_NONBLOCK));
    struct stat st;
    if (!fd.Valid() || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    text.clear();
    char buffer[8192];
    for (;;) {
        ssize_t n = read(fd.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        text.append(buffer, static_cast<size_t>(n));
    }
}

std::string Escape(std::u16string_view text) {
    std::string out;
    for (char c : WideToUtf8(text)) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::u16string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            char n = text[++i];
            if (n == 't')
                out += '\t';
            else if (n == 'n')
                out += '\n';
            else if (n == 'r')
                out += '\r';
            else if (n == '\\')
                out += '\\';
            else
                out += std::string("\\") + n;  // not an escape: kept as written
        } else {
            out += text[i];
        }
    }
    return Utf8ToWide(out);
}

std::string Hex(const std::vector<BYTE>& data) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (BYTE b : data) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

bool FromHex(const std::string& text, std::vector<BYTE>& data) {
    if (text.size() % 2) return false;
    data.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        int v = 0;
        for (int k = 0; k < 2; ++k) {
            char c = text[i + k];
            int d = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
            if (d < 0) return false;
            v = v * 16 + d;
        }
        data.push_back(static_cast<BYTE>(v));
    }
    return true;
}

std::vector<BYTE> WideBytes(std::u16string_view text) {
    std::vector<BYTE> data((text.size() + 1) * 2, 0);
    std::memcpy(data.data(), text.data(), text.size() * 2);
    return data;
}

Key& Ensure(Registry& r, std::u16string_view path) {
    // Every parent exists as a key of its own.
    size_t slash = path.find_last_of(u'\\');
    if (slash != std::u16string_view::npos) Ensure(r, path.substr(0, slash));
    Key& key = r.keys[Fold(path)];
    if (key.path.empty()) key.path = path;
    return key;
}

void SetString(Registry& r, std::u16string_view path, std::u16string_view name,
               std::u16string_view text) {
    Key& key = Ensure(r, path);
    key.names[Fold(name)] = name;
    key.values[Fold(name)] = Value{REG_SZ, WideBytes(text)};
}

// Lines: "K<TAB>path" opens a key; "V<TAB>name<TAB>type<TAB>hex data" is one of its values.
// A line that does not parse is skipped: the rest of the registry stays readable.
void Load(Registry& r) {
    r.keys.clear();
    std::string text;
    if (!ReadRegistryText(text)) {
        const DeviceProfile& p = Profile();
        Ensure(r, u"HKEY_CLASSES_ROOT");
        Ensure(r, u"HKEY_CURRENT_USER");
        Ensure(r, u"HKEY_LOCAL_MACHINE");
        if (p.htmAssociation) {
            SetString(r, u"HKEY_CLASSES_ROOT\\.htm", u"", u"htmlfile");
            SetString(r, u"HKEY_CLASSES_ROOT\\htmlfile\\Shell\\Open\\Command", u"",
                      u"\"\\Windows\\iexplore.exe\" %1");
        }
        if (p.wmaAssociation) {
            SetString(r, u"HKEY_CLASSES_ROOT\\.wma", u"", u"WMAFile");
            SetString(r, u"HKEY_CLASSES_ROOT\\WMAFile\\Shell\\Open\\Command", u"",
                      u"\"\\Windows\\wmplayer.exe\" %1");
        }
        return;
    }
    std::istringstream in(text);
    std::string line;
    Key* current = nullptr;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> fields;
        std::istringstream split(line);
        std::string field;
        while (std::getline(split, field, '\t')) fields.push_back(field);
        if (fields.size() == 2 && fields[0] == "K") {
            std::u16string path = Unescape(fields[1]);
            current = path.empty() || path.size() > kMaxKeyPath + 32 ? nullptr : &Ensure(r, path);
        } else if (current && (fields.size() == 4 || fields.size() == 3) && fields[0] == "V") {
            Value value;
            char* end = nullptr;
            unsigned long type = std::strtoul(fields[2].c_str(), &end, 10);
            if (!end || *end || type > 11) continue;
            value.type = static_cast<DWORD>(type);
            if (fields.size() == 4 && !FromHex(fields[3], value.data)) continue;
            std::u16string name = Unescape(fields[1]);
            current->names[Fold(name)] = name;
            current->values[Fold(name)] = std::move(value);
        }
    }
}

bool Save(Registry& r) {
    std::ostringstream out;
    out << "# Folivant device registry\n";
    for (auto& [folded, key] : r.keys) {
        out << "K\t" << Escape(key.path) << "\n";
        for (auto& [name, value] : key.values) {
            out << "V\t" << Escape(key.names[name]) << "\t" << value.type << "\t" << Hex(value.data)
                << "\n";
        }
    }
    std::string text = out.str();
    ResolvedPath path;
    if (!ResolveDevicePath(kFileName, path) || path.special) return false;
    // A new file beside it, then a rename over it: a failure leaves the previous registry.
    int folder = path.folder.Get();
    std::string temp = path.hostName + ".new";
    unlinkat(folder, temp.c_str(), 0);
    int fd = openat(folder, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                    0644);
    if (fd < 0) return false;
    bool ok =
        write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (!ok || renameat(folder, temp.c_str(), folder, path.hostName.c_str()) != 0) {
        unlinkat(folder, temp.c_str(), 0);
        return false;
    }
    SyncFolder(path);
    return true;
}

void Refresh(Registry& r) {
    std::uint64_t generation = DeviceGeneration();
    if (r.generation == generation) return;
    r.generation = generation;
    r.open.clear();
    Load(r);
}

// The folded full path of `key` + `subKey`, or an error code.
LSTATUS FullPath(Registry& r, HKEY key, LPCWSTR subKey, std::u16string& path, bool& writable) {
    auto value = reinterpret_cast<std::uintptr_t>(key);
    writable = true;
    switch (value) {
        case 0x80000000:
            path = u"HKEY_CLASSES_ROOT";
            break;
        case 0x80000001:
            path = u"HKEY_CURRENT_USER";
            break;
        case 0x80000002:
            path = u"HKEY_LOCAL_MACHINE";
            break;
        default: {
            auto it = r.open.find(value);
            if (it == r.open.end()) return ERROR_INVALID_HANDLE;
            path = r.keys.count(it->second.folded) ? r.keys[it->second.folded].path : u"";
            if (path.empty()) return ERROR_BADKEY;  // deleted while open
            writable = it->second.writable;
        }
    }
    std::u16string_view sub = WideView(subKey);
    size_t i = 0;
    while (i < sub.size()) {
        size_t next = sub.find(u'\\', i);
        if (next == std::u16string_view::npos) next = sub.size();
        std::u16string_view part = sub.substr(i, next - i);
        if (part.empty() && next < sub.size()) return ERROR_INVALID_PARAMETER;
        if (!part.empty()) {
            path += u'\\';
            path += part;
        }
        i = next + 1;
    }
    if (path.size() > kMaxKeyPath + 32) return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}

HKEY NewHandle(Registry& r, const std::u16string& path, bool writable) {
    std::uintptr_t h = r.nextHandle;
    r.nextHandle += 4;
    r.open[h] = {Fold(path), writable};
    return reinterpret_cast<HKEY>(h);
}

}  // namespace

}  // namespace fvt

using namespace fvt;

extern "C" LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM access, PHKEY result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    Refresh(r);
    std::u16string path;
    bool writable;
    if (LSTATUS status = FullPath(r, key, subKey, path, writable)) return status;
    auto it = r.keys.find(Fold(path));
    if (it == r.keys.end()) return ERROR_FILE_NOT_FOUND;
    *result = NewHandle(r, it->second.path, (access & KEY_SET_VALUE) != 0);
    return ERROR_SUCCESS;
}

extern "C" LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM access,
                                   SECURITY_ATTRIBUTES*, PHKEY result, DWORD* disposition) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    Refresh(r);
    std::u16string path;
    bool writable;
    if (LSTATUS status = FullPath(r, key, subKey, path, writable)) return status;
    bool existed = r.keys.count(Fold(path)) != 0;
    if (!existed) {
        Ensure(r, path);
        if (!Save(r)) {
            r.generation = ~0ULL;  // reload what is on disk next time
            return ERROR_CANTWRITE;
        }
    }
    if (disposition) *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    *result = NewHandle(r, r.keys[Fold(path)].path, (access & KEY_SET_VALUE) != 0 || access == 0);
    return ERROR_SUCCESS;
}

extern "C" LSTATUS RegCloseKey(HKEY key) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto value = reinterpret_cast<std::uintptr_t>(key);
    if (value >= 0x80000000 && value <= 0x80000002) return ERROR_SUCCESS;
    return r.open.erase(value) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

extern "C" LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, DWORD*, DWORD* type, BYTE* data,
                                    DWORD* dataSize) {
    if (data && !dataSize) return ERROR_INVALID_PARAMETER;
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    Refresh(r);
    std::u16string path;
    bool writable;
    if (LSTATUS status = FullPath(r, key, nullptr, path, writable)) return status;
    auto k = r.keys.find(Fold(path));
    if (k == r.keys.end()) return ERROR_BADKEY;
    auto v = k->second.values.find(Fold(WideView(valueName)));
    if (v == k->second.values.end()) return ERROR_FILE_NOT_FOUND;
    const Value& value = v->second;
    if (type) *type = value.type;
    DWORD size = static_cast<DWORD>(value.data.size());
    if (!data) {
        if (dataSize) *dataSize = size;
        return ERROR_SUCCESS;
    }
    DWORD room = *dataSize;
    *dataSize = size;
    if (room < size) return ERROR_MORE_DATA;
    if (size) std::memcpy(data, value.data.data(), size);
    return ERROR_SUCCESS;
}

extern "C" LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data,
                                  DWORD dataSize) {
    if ((!data && dataSize) || dataSize > kMaxValueData || type > 11)
        return ERROR_INVALID_PARAMETER;
    if (type == REG_DWORD && dataSize != 4) return ERROR_INVALID_PARAMETER;
    std::u16string_view name = WideView(valueName);
    if (name.size() > kMaxValueName) return ERROR_INVALID_PARAMETER;
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    Refresh(r);
    std::u16string path;
    bool writable;
    if (LSTATUS status = FullPath(r, key, nullptr, path, writable)) return status;
    if (!writable) return ERROR_ACCESS_DENIED;
    auto k = r.keys.find(Fold(path));
    if (k == r.keys.end()) return ERROR_BADKEY;
    Value value{type, std::vector<BYTE>(data, data + dataSize)};
    k->second.names[Fold(name)] = std::u16string(name);
    k->second.values[Fold(name)] = std::move(value);
    if (!Save(r)) {
        r.generation = ~0ULL;
        return ERROR_CANTWRITE;
    }
    return ERROR_SUCCESS;
}

extern "C" LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    Refresh(r);
    std::u16string path;
    bool writable;
    if (LSTATUS status = FullPath(r, key, nullptr, path, writable)) return status;
    if (!writable) return ERROR_ACCESS_DENIED;
    auto k = r.keys.find(Fold(path));
    if (k == r.keys.end()) return ERROR_BADKEY;
    std::u16string folded = Fold(WideView(valueName));
    if (!k->second.values.erase(folded)) return ERROR_FILE_NOT_FOUND;
    k->second.names.erase(folded);
    if (!Save(r)) {
        r.generation = ~0ULL;
        return ERROR_CANTWRITE;
    }
    return ERROR_SUCCESS;
}

extern "C" LSTATUS RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
    if (!subKey || !*subKey) return ERROR_INVALID_PARAMETER;  // never a root
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    Refresh(r);
    std::u16string path;
    bool writable;
    if (LSTATUS status = FullPath(r, key, subKey, path, writable)) return status;
    std::u16string folded = Fold(path);
    if (!r.keys.count(folded)) return ERROR_FILE_NOT_FOUND;
    std::u16string prefix = folded + u'\\';
    std::erase_if(r.keys, [&](const auto& entry) {
        return entry.first == folded || entry.first.rfind(prefix, 0) == 0;
    });
    if (!Save(r)) {
        r.generation = ~0ULL;
        return ERROR_CANTWRITE;
    }
    return ERROR_SUCCESS;
}
