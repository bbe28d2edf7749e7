#include "paths/app_paths.h"

#include "core/file.h"
#include "core/platform_helpers.h"
#include "platform/gdi.h"
#include "platform/kernel/system_info.h"
#include "platform/window/window.h"

namespace {

constexpr DWORD kModulePathMax = 260;
constexpr int kHighDpi = 130;

struct MetricRow {
    uint32_t id;
    int32_t normal;
    int32_t high;
};

// Searched in this order; the first matching id wins.
constexpr MetricRow kMetrics[] = {
    {1, 12, 12}, {2, 24, 48},  {3, 16, 16},  {4, 16, 16},  {5, 1, 1},   {6, 1, 1},
    {7, 20, 40}, {8, 3, 7},    {9, 5, 10},   {10, 7, 14},  {11, 2, 4},  {12, 12, 24},
    {13, 8, 16}, {14, 3, 6},   {15, 3, 6},   {45, 35, 70}, {16, 15, 25}, {17, 30, 50},
    {19, 3, 6},  {20, 5, 10},  {23, 12, 24}, {24, 10, 10}, {44, 3, 6},
};

struct ColourRow {
    uint32_t id;
    uint32_t bgr;  // 0x00BBGGRR
};

constexpr ColourRow kColours[] = {
    {21, 0xC0C0C0}, {22, 0x000000}, {25, 0x3B6BCC}, {26, 0xFBFBF9}, {27, 0xFFFFFF},
    {28, 0x000000}, {33, 0x000000}, {34, 0x5295E0}, {35, 0xFFFFFF}, {36, 0xC8C8C8},
    {37, 0xFFFFFF}, {38, 0x000000}, {39, 0xC56A31}, {40, 0xFFFFFF}, {41, 0x7F0000},
    {42, 0xF7F7F7}, {43, 0xD8E9EC},
};

bool HighResolutionFor(const AppPaths* paths) {
    HWND window = paths && paths->Shell() ? paths->Shell()->MainWindow() : nullptr;
    if (!window) return IsHighResolution();
    HDC dc = GetDC(window);
    if (!dc) return IsHighResolution();
    int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(window, dc);
    return dpi >= kHighDpi;
}

}  // namespace

AppPaths::AppPaths(const Text& programFolder, const AppShellWindow* shell)
    : programFolder_(programFolder), shell_(shell) {
    programFolder_.EnsureTrailingBackslash();
    if (!GetAppDataFolder(dataFolder_)) dataFolder_.SetError(1);
}

int AppPaths::Create(const AppShellWindow* shell, std::unique_ptr<AppPaths>& out) {
    out.reset();
    Text folder;
    if (!GetModuleDirectory(folder)) return 1;
    out = std::make_unique<AppPaths>(folder, shell);
    return out ? 0 : 1;
}

bool AppPaths::GetModuleDirectory(Text& out) {
    char16_t buffer[kModulePathMax + 1] = {};
    DWORD n = GetModuleFileNameW(nullptr, buffer, kModulePathMax);
    if (n == 0 || n > kModulePathMax) return false;
    out.Clear();
    if (!out.FromWide(buffer, static_cast<int32_t>(n))) return false;
    out.RemoveFileName();
    return !out.IsEmpty() && out.EnsureTrailingBackslash() && out.IsValid();
}

bool AppPaths::Build(const Text& folder, const char* name, Text& out) const {
    out.Clear();
    out.ClearError();
    Text file;
    if (!folder.IsValid() || !file.AssignAscii(name)) {
        out.SetError(1);
        return false;
    }
    out.Assign(folder);
    out.AppendText(file);
    return out.IsValid();
}

bool AppPaths::FontFile(Text& out) const {
    return Build(programFolder_, kFontFile, out);
}
bool AppPaths::LibraryFile(Text& out) const {
    return Build(dataFolder_, kLibraryFile, out);
}
bool AppPaths::GlobalConfigFile(Text& out) const {
    return Build(dataFolder_, kGlobalConfigFile, out);
}
bool AppPaths::AutogenBookmarkListFile(Text& out) const {
    return Build(dataFolder_, kAutogenBookmarkListFile, out);
}
bool AppPaths::AutogenCartFile(Text& out) const {
    return Build(dataFolder_, kAutogenCartFile, out);
}
bool AppPaths::AutogenInteractFile(Text& out) const {
    return Build(dataFolder_, kAutogenInteractFile, out);
}
bool AppPaths::CacheFile(Text& out) const {
    return Build(dataFolder_, kCacheFile, out);
}

bool AppPaths::BooksFolder(Text& out) {
    return Folders::Books(out);
}

bool AppPaths::DatabaseFolder(Text& out) {
    if (!BooksFolder(out)) return false;
    Text name;
    name.AssignAscii("database");
    return out.AppendPathComponent(name) && Folders::Ensure(out);
}

int32_t AppPaths::DeleteAutogenFiles() const {
    if (!dataFolder_.IsValid()) return 0;
    Text pattern;
    pattern.AssignAscii(kAutogenPattern);
    return Files::CleanTemp(dataFolder_, pattern);
}

bool AppPaths::KeptCheckpointsFile(const Text& bookPath, Text& out) {
    String wide;
    if (!bookPath.ToWide(wide) || wide.Length() == 0) return false;
    // FNV-1a over the path's units, folded to lower case (device paths ignore case).
    uint64_t h = 14695981039346656037ull;
    for (int32_t i = 0; i < wide.Length(); ++i) {
        char16_t c = wide[i];
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        h = (h ^ c) * 1099511628211ull;
    }
    char16_t digits[16] = {};
    for (int i = 15; i >= 0; --i, h >>= 4) digits[i] = u"0123456789abcdef"[h & 15];
    return GetAppDataFolder(out) && out.AppendAscii("FolivantCheckpoints") &&
           out.EnsureTrailingBackslash() && out.AppendWide(digits, 16) &&
           out.AppendAscii(".fvc") && out.IsValid();
}

bool IsSmartphone() {
    return GetPlatformType() == 2;
}
bool IsNotSmartphone() {
    return GetPlatformType() != 2;
}
bool IsPlatformUnknown() {
    return GetPlatformType() == 0;
}

int32_t UiMetrics::Get(const AppPaths* paths, uint32_t id) {
    for (const MetricRow& row : kMetrics)
        if (row.id == id) return HighResolutionFor(paths) ? row.high : row.normal;
    return 0;
}

uint32_t UiColors::Get(uint32_t& out, uint32_t id) {
    out = 0xFFFFFF;
    for (const ColourRow& row : kColours) {
        if (row.id != id) continue;
        uint32_t r = row.bgr & 0xFF, g = (row.bgr >> 8) & 0xFF, b = (row.bgr >> 16) & 0xFF;
        out = r | g << 8 | b << 16;
        break;
    }
    return out;
}
