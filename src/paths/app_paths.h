// The application's paths and file names, the storage locations the library scans, moving a book
// with its side file into a location's books folder, and the interface metric and colour
// tables. A small library right above core, read by every layer above it.
//
// The library and the reader are higher layers: what this needs of them (the location list, the
// release of an open book, the main window) is declared here as small interfaces they implement.
#pragma once

#include <cstdint>
#include <memory>

#include "core/text.h"
#include "platform/types.h"

// The application shell, as far as the paths need it: its main window decides the screen
// resolution for UiMetrics.
class AppShellWindow {
public:
    // Null before the window exists.
    virtual HWND MainWindow() const = 0;

protected:
    ~AppShellWindow() = default;
};

class AppPaths {
public:
    static constexpr const char* kFontFile = "folvtype.prc";
    static constexpr const char* kLibraryFile = "folvbook.fvl";
    static constexpr const char* kGlobalConfigFile = "FVT_global_configuration.fvt";
    static constexpr const char* kAutogenBookmarkListFile = "FolivantAutogenBookmarkList.fvg";
    static constexpr const char* kAutogenCartFile = "FolivantAutogenCart.fvg";
    static constexpr const char* kAutogenInteractFile = "FolivantAutogenInteract.fvg";
    static constexpr const char* kAutogenPattern = "FolivantAutogen*.fvg";
    static constexpr const char* kCacheFile = "FolivantCache.fvt";
    static constexpr const char16_t* kDefaultFontName = u"Arial";
    static constexpr const char16_t* kHelpUrl = u"oeb:redirect?title=Folivant_Help";

    // The program folder is kept with a trailing backslash; the data folder comes from the
    // system (GetAppDataFolder).
    AppPaths(const Text& programFolder, const AppShellWindow* shell);

    // 0 and the path object in out, or 1 (out empty) when the program folder is unknown.
    static int Create(const AppShellWindow* shell, std::unique_ptr<AppPaths>& out);
    static void Destroy(std::unique_ptr<AppPaths>& paths) { paths.reset(); }
    // The program file's folder, with a trailing backslash.
    static bool GetModuleDirectory(Text& out);

    // Each true when the resulting Text is valid.
    bool FontFile(Text& out) const;
    bool LibraryFile(Text& out) const;
    bool GlobalConfigFile(Text& out) const;
    bool AutogenBookmarkListFile(Text& out) const;
    bool AutogenCartFile(Text& out) const;
    bool AutogenInteractFile(Text& out) const;
    bool CacheFile(Text& out) const;
    // "\storage\eBooks", created when missing.
    static bool BooksFolder(Text& out);
    // The books folder's "database" folder, created when missing.
    static bool DatabaseFolder(Text& out);
    // Deletes the generated-page files in the data folder, where they are written; the count.
    int32_t DeleteAutogenFiles() const;
    // The file in the data folder that keeps a book's checkpoints across sessions
    // ("FolivantCheckpoints\<hash of the book's path>.fvc"; the path's case does not count).
    static bool KeptCheckpointsFile(const Text& bookPath, Text& out);

    const Text& ProgramFolder() const { return programFolder_; }
    const Text& DataFolder() const { return dataFolder_; }
    const AppShellWindow* Shell() const { return shell_; }

private:
    bool Build(const Text& folder, const char* name, Text& out) const;

    Text programFolder_;
    Text dataFolder_;
    const AppShellWindow* shell_;
};

// Platform type tests (GetPlatformType: 1 Pocket PC, 2 Smartphone, 0 neither).
bool IsSmartphone();
bool IsNotSmartphone();
bool IsPlatformUnknown();

// Sizes of the interface in pixels by id, one column for screens of 130 dots per inch or more.
namespace UiMetrics {
// 0 for an id not in the table. paths may be null (the desktop's resolution decides).
int32_t Get(const AppPaths* paths, uint32_t id);
}  // namespace UiMetrics

// Interface colours by id (21 to 43) as r | g << 8 | b << 16.
namespace UiColors {
// White for an id not in the table.
uint32_t Get(uint32_t& out, uint32_t id);
}  // namespace UiColors
