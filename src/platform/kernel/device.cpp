#include "platform/kernel/device.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>

#include "platform/gdi/font_engine.h"
#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/wide.h"

extern char** environ;

namespace fvt {

namespace {

struct DeviceState {
    std::mutex lock;
    bool opened = false;
    // The default device was asked for and could not be made: not tried again on every call.
    bool defaultFailed = false;
    std::string root;
    // A default profile until a device opens, so that nothing reads through a null.
    std::shared_ptr<const DeviceProfile> profile = std::make_shared<DeviceProfile>();
    std::atomic<std::uint64_t> generation{0};
};

DeviceState& State() {
    static DeviceState* state = new DeviceState;
    return *state;
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::vector<std::string> SplitList(const std::string& s) {
    std::vector<std::string> out;
    std::string item;
    std::istringstream in(s);
    while (std::getline(in, item, ';')) {
        item = Trim(item);
        if (!item.empty()) out.push_back(item);
    }
    return out;
}

bool ParseBool(const std::string& v) {
    std::string l = Lower(v);
    return l == "1" || l == "yes" || l == "true" || l == "on";
}

bool ParseUnsigned(const std::string& s, std::uint64_t& out) {
    if (s.empty() || s.size() > 19) return false;
    std::uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    out = v;
    return true;
}

void ApplyValue(DeviceProfile& p, const std::string& key, const std::string& value) {
    p.values[key] = value;
    if (key == "screen") {
        int w = 0, h = 0, dpi = 0;
        char x = 0, at = 0;
        std::istringstream in(value);
        in >> w >> x >> h;
        if (in && x == 'x' && w > 0 && h > 0 && w <= 4096 && h <= 4096) {
            p.screenWidth = w;
            p.screenHeight = h;
            if (in >> at >> dpi && at == '@' && dpi > 0 && dpi <= 1000) p.dpi = dpi;
        }
    } else if (key == "dpi") {
        std::uint64_t v;
        if (ParseUnsigned(value, v) && v > 0 && v <= 1000) p.dpi = static_cast<int>(v);
    } else if (key == "os") {
        std::istringstream in(value);
        std::string part;
        std::uint64_t parts[3] = {p.osMajor, p.osMinor, 0};
        for (int i = 0; i < 3 && std::getline(in, part, '.'); ++i) {
            std::uint64_t v;
            if (!ParseUnsigned(Trim(part), v) || v > 0xFFFF) return;
            parts[i] = v;
        }
        p.osMajor = static_cast<DWORD>(parts[0]);
        p.osMinor = static_cast<DWORD>(parts[1]);
        p.osBuild = static_cast<DWORD>(parts[2]);
    } else if (key == "platform") {
        p.platformType = Utf8ToWide(value);
    } else if (key == "language") {
        p.french = Lower(value).rfind("fr", 0) == 0;
    } else if (key == "rotate") {
        p.canRotate = ParseBool(value);
    } else if (key == "cards") {
        p.cards.clear();
        for (auto& c : SplitList(value)) p.cards.push_back(Utf8ToWide(c));
    } else if (key == "missing") {
        p.missing = SplitList(value);
    } else if (key == "clock") {
        p.virtualClock = Lower(value) == "virtual";
    } else if (key == "now") {
        std::uint64_t t;
        if (ParseUtcTime(value, t)) p.startFileTime = t;
    } else if (key == "timezone") {
        std::string v = value;
        int sign = 1;
        if (!v.empty() && (v[0] == '+' || v[0] == '-')) {
            sign = v[0] == '-' ? -1 : 1;
            v = v.substr(1);
        }
        std::uint64_t m;
        if (ParseUnsigned(v, m) && m <= 14 * 60) p.timeZoneMinutes = sign * static_cast<int>(m);
    } else if (key == "program_folder") {
        p.programFolder = Utf8ToWide(value);
        while (p.programFolder.size() > 1 && p.programFolder.back() == u'\\') {
            p.programFolder.pop_back();
        }
    } else if (key == "command_line") {
        p.commandLine = Utf8ToWide(value);
    } else if (key == "hidden") {
        p.hidden.clear();
        for (auto& c : SplitList(value)) p.hidden.push_back(Utf8ToWide(c));
    } else if (key == "disk") {
        auto slash = value.find('/');
        std::uint64_t f, t;
        if (slash != std::string::npos && ParseUnsigned(Trim(value.substr(0, slash)), f) &&
            ParseUnsigned(Trim(value.substr(slash + 1)), t) && f <= t) {
            p.diskFree = f;
            p.diskTotal = t;
        }
    } else if (key == "htm_association") {
        p.htmAssociation = ParseBool(value);
    } else if (key == "wma_association") {
        p.wmaAssociation = ParseBool(value);
    }
}

void RemoveTestRoot();
std::string g_testRoot;
bool OpenDeviceAt(const std::string& hostRoot, const std::string& profileText,
                  bool useEnvironment, std::string& reason);

std::string DefaultRoot() {
    if (const char* env = std::getenv("FOLIVANT_DEVICE"); env && *env) return env;
    if (const char* test = std::getenv("FOLIVANT_TEST_BINARY"); test && *test) {
        // A test run never touches the user's device: a fresh root, removed at exit.
        if (!g_testRoot.empty()) return g_testRoot;
        const std::string folder = ProcessTempFolder();
        std::string pattern = folder + "/fvt-test-device-XXXXXX";
        if (!folder.empty() && mkdtemp(pattern.data())) {
            g_testRoot = pattern;
            std::atexit(RemoveTestRoot);
            return pattern;
        }
    }
    std::string base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::string(home) + "/.local/share";
    } else {
        base = "/tmp";
    }
    return base + "/folivant/device";
}

// Makes the folder and its parents; false with the reason when it cannot be made or is not a
// folder the process may write in.
bool MakeFolders(const std::string& path, std::string& reason) {
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            std::string part = path.substr(0, i);
            if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
                reason = std::strerror(errno);
                return false;
            }
        }
    }
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        reason = std::strerror(ENOTDIR);
        return false;
    }
    if (access(path.c_str(), W_OK | X_OK) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    return true;
}

void RemoveTestRoot() {
    std::error_code ignored;
    if (!g_testRoot.empty()) std::filesystem::remove_all(g_testRoot, ignored);
}

// The folders every device has; "\Storage" held main memory before version 5.
void MakeStandardFolders(const std::string& root, const DeviceProfile& profile) {
    for (const char* name : {"Windows", "My Documents", "Temp"}) {
        mkdir((root + "/" + name).c_str(), 0755);
    }
    if (profile.osMajor < 5) mkdir((root + "/Storage").c_str(), 0755);
}

void EnsureOpened() {
    DeviceState& s = State();
    {
        std::lock_guard<std::mutex> guard(s.lock);
        if (s.opened || s.defaultFailed) return;
    }
    std::string reason;
    if (!OpenDeviceAt(DefaultRoot(), {}, true, reason)) {
        std::lock_guard<std::mutex> guard(s.lock);
        s.defaultFailed = true;
    }
}

}  // namespace

std::string DeviceProfile::Value(const std::string& key, const std::string& fallback) const {
    auto it = values.find(Lower(key));
    return it == values.end() ? fallback : it->second;
}

void ApplyProfileText(DeviceProfile& profile, const std::string& text) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        ApplyValue(profile, Lower(Trim(line.substr(0, eq))), Trim(line.substr(eq + 1)));
    }
}

bool ParseUtcTime(const std::string& text, std::uint64_t& fileTime) {
    std::uint64_t seconds;
    if (ParseUnsigned(text, seconds)) {
        if (seconds > 253402300799ULL) return false;  // past 9999
        fileTime = kUnixEpochFileTime + seconds * 10000000ULL;
        return true;
    }
    int y, mo, d, h = 0, mi = 0, s = 0;
    char tail[4] = {0};
    int n = std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%3s", &y, &mo, &d, &h, &mi, &s, tail);
    if (n != 3 && n < 6) return false;
    if (y < 1601 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 ||
        s > 59 || h < 0 || mi < 0 || s < 0)
        return false;
    // Days from civil date (proleptic Gregorian).
    int yy = y - (mo <= 2);
    int era = yy / 400;
    int yoe = yy - era * 400;
    int doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    long long days = static_cast<long long>(era) * 146097 + doe - 719468;
    long long unix = days * 86400 + h * 3600 + mi * 60 + s;
    long long ft = static_cast<long long>(kUnixEpochFileTime) + unix * 10000000LL;
    if (ft < 0) return false;
    fileTime = static_cast<std::uint64_t>(ft);
    return true;
}

bool OpenDevice(const std::string& hostRoot, const std::string& profileText, bool useEnvironment) {
    std::string reason;
    return OpenDeviceAt(hostRoot, profileText, useEnvironment, reason);
}

bool OpenDefaultDevice(std::string& folder, std::string& reason) {
    folder = DefaultRoot();
    return OpenDeviceAt(folder, {}, true, reason);
}

namespace {

bool OpenDeviceAt(const std::string& hostRoot, const std::string& profileText,
                  bool useEnvironment, std::string& reason) {
    std::string root = hostRoot;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    if (root.empty()) {
        reason = std::strerror(ENOENT);
        return false;
    }
    if (!MakeFolders(root, reason)) return false;
    char* real = realpath(root.c_str(), nullptr);
    if (real) {
        root = real;
        std::free(real);
    }
    auto profile = std::make_shared<DeviceProfile>();
    std::ifstream file(root + ".ini");
    if (file) {
        std::stringstream text;
        text << file.rdbuf();
        ApplyProfileText(*profile, text.str());
    }
    if (useEnvironment) {
        for (char** e = environ; e && *e; ++e) {
            std::string entry = *e;
            if (entry.rfind("FOLIVANT_", 0) != 0) continue;
            auto eq = entry.find('=');
            if (eq == std::string::npos) continue;
            std::string key = Lower(entry.substr(9, eq - 9));
            if (key == "device" || key.rfind("test_", 0) == 0) continue;
            ApplyValue(*profile, key, entry.substr(eq + 1));
        }
    }
    ApplyProfileText(*profile, profileText);
    MakeStandardFolders(root, *profile);
    DeviceState& s = State();
    {
        std::lock_guard<std::mutex> guard(s.lock);
        s.root = root;
        s.profile = profile;
        s.opened = true;
        s.defaultFailed = false;
        ++s.generation;
    }
    // "fonts = box": every font is the plain box font, so that screens do not depend on the
    // fonts installed here.
    if (profile->Value("fonts") == "box") gdi::SetSyntheticFonts(true);
    if (profile->virtualClock) {
        UseVirtualClock(profile->startFileTime);
    } else {
        UseRealClock();
    }
    return true;
}

}  // namespace

std::string ProcessTempFolder() {
    static std::mutex lock;
    static std::string made;
    static bool tried = false;
    std::lock_guard<std::mutex> guard(lock);
    if (tried) return made;
    tried = true;
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/fvt-devices-XXXXXX";
    if (!mkdtemp(folder.data())) return made;
    // Others may pass through (a test runs the program as another user); each device inside is
    // its own owner's.
    chmod(folder.c_str(), 0755);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        rmdir(folder.c_str());
        return made;
    }
    // All the watcher needs is made before the fork: after it, only calls that are safe in a
    // child of a threaded process.
    char rm[] = "/bin/rm", flags[] = "-rf", dashes[] = "--";
    char* argv[] = {rm, flags, dashes, folder.data(), nullptr};
    char* envp[] = {nullptr};
    rlimit limit{};
    const int maxFd =
        getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < 65536 ? int(limit.rlim_cur) : 65536;
    const pid_t pid = fork();
    if (pid == 0) {
        // Its own session: an interrupt of the terminal's process group leaves it to clean up.
        setsid();
        for (int fd = 0; fd < maxFd; ++fd)
            if (fd != fds[0]) close(fd);
        // Nothing is ever written: the read ends when the last writer, this process, is gone.
        char c;
        while (read(fds[0], &c, 1) != 0 && errno == EINTR) {
        }
        execve(rm, argv, envp);
        _exit(0);
    }
    close(fds[0]);
    if (pid < 0) {
        close(fds[1]);
        rmdir(folder.c_str());
        return made;
    }
    // fds[1] stays open for the life of the process; programs it starts do not inherit it.
    made = folder;
    return made;
}

void CloseDevice() {
    DeviceState& s = State();
    {
        std::lock_guard<std::mutex> guard(s.lock);
        s.opened = false;
        s.defaultFailed = false;
        ++s.generation;
    }
    UseRealClock();
}

const DeviceProfile& Profile() {
    EnsureOpened();
    DeviceState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    // Profiles are kept alive for the process: callers may hold the reference across a reopen.
    static std::vector<std::shared_ptr<const DeviceProfile>> kept;
    if (kept.empty() || kept.back() != s.profile) kept.push_back(s.profile);
    return *s.profile;
}

std::string DeviceRoot() {
    EnsureOpened();
    DeviceState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.root;
}

std::uint64_t DeviceGeneration() {
    EnsureOpened();
    return State().generation;
}

}  // namespace fvt
