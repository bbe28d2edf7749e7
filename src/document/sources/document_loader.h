// The document loader turns a location into an open content resource (a text or HTML file, a
// book, a table database, a generated page) and keeps every resource it opened in a cache for
// as long as somebody holds it, so that a second request for the same location gets the same
// object. It also keeps the last six locations opened and the open per-book side files.
//
// On destruction the generated-page files ("FolivantAutogen*.fvg") are deleted.
//
// Ownership: neither the cache nor the side-file list holds a reference. A resource or side
// file removes itself when it goes; the loader's destructor clears their owner pointers, so
// that one still held after the loader is gone never calls back into it.
//
// GUI thread only. Open is re-entrant through the openers: a file link inside a book opens the
// book through Open first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bookfiles/annotation_file.h"
#include "core/code_pages.h"
#include "core/random.h"
#include "database/resource.h"
#include "document/location/location.h"

class ConfigurationStore;
class Database;
class SortedRecordDatabase;
class LoaderCatalogue;
class LoaderMessages;
class AppPaths;
class PalmDatabase;
class Text;

class DocumentLoader : public AnnotationFileOwner, public ResourceCache {
public:
    static constexpr uint32_t kRecentMax = 6;
    // Redirects and file-link lookups repeat at most this many times.
    static constexpr uint32_t kMaxRepeats = 16;
    // The code pages of generated and unmarked text.
    static constexpr uint32_t kSingleByteCodePage = CodePages::kWindows1252;
    static constexpr uint32_t kWideCodePage = CodePages::kUtf16;

    DocumentLoader();
    // With a fixed seed, for tests that compare generated files byte by byte.
    explicit DocumentLoader(uint64_t seed);
    ~DocumentLoader() override;
    DocumentLoader(const DocumentLoader&) = delete;
    DocumentLoader& operator=(const DocumentLoader&) = delete;

    // The application's objects, handed over once (none is owned): the paths place the
    // generated pages, the configuration gives the interactions book, the log database keeps
    // the cart. Result 1.
    int SetOptions(const AppPaths* paths, ConfigurationStore* config, SortedRecordDatabase* log);
    // The global configuration handed over by SetOptions (null before); the catalogue keeps its
    // reading lists there.
    ConfigurationStore* Configuration() const { return config_; }
    // The library's catalogue and the reader's message boxes (none owned; may be null).
    void SetCatalogue(LoaderCatalogue* catalogue) { catalogue_ = catalogue; }
    void SetMessages(LoaderMessages* messages) { messages_ = messages; }

    // Callers that open on behalf of a script or a list bracket the call with SetFlags(0, 0)
    // and RestoreFlags.
    void SetFlags(uint8_t report, uint8_t second, uint8_t saved[2]);
    void RestoreFlags(const uint8_t saved[2]);
    uint8_t ReportFailures() const { return reportFailures_; }

    // The resource behind the location with a new reference, or null. `handled` (may be null)
    // ends as 1 when the failure was already reported to the user (or reporting is off). The
    // location may be rewritten (redirects, database names, file links). `base` is passed on
    // to the openers.
    Resource* Open(Location& location, const Location* base, uint8_t* handled);
    Resource* FindCached(const Location& location);
    Resource* OpenByKind(Location& location, const Location* base, uint8_t* handled);
    Resource* OpenByExtension(Location& location, uint8_t* handled);
    // What the file's extension opens as: a Palm database (kPalmFile), a text file's content
    // kind, or 0 for a type the reader does not open.
    static constexpr uint32_t kPalmFile = 0x100;
    static uint32_t KindOfExtension(const String& path);
    // Kind 0 with id 5 ("oeb:cart"): the cart page, or with an action the interactions page,
    // written afresh on every request.
    Resource* OpenCartPage(Location& location, uint8_t* handled);
    // Kinds 1 and 2: a path that may run through a book file ("book.prc\dir\page.htm").
    Resource* OpenFileLink(Location& location, const Location* base, uint8_t* handled);
    // Kinds 4 and 5: rewrites the location from its name or title; false without one.
    bool OpenDatabaseByName(Location& location, const Location* base);
    // The table database at the location (new reference), opened without messages; null when
    // it opens as something else.
    Database* OpenDatabase(Location& location);
    // The object the location's '$' anchor names (a record by number, else by designation).
    DataHandle* OpenLocation(Location& location, const Location* base);
    DataHandle* OpenString(const String& text, const Location* base);

    const std::vector<Location>& GetRecentList() const { return recent_; }
    uint32_t CachedCount() const { return static_cast<uint32_t>(cache_.size()); }

    // True when a cached resource's file is the path or lies under it (letters compared without
    // case) and either includeIdle is set or its document holds the file.
    bool IsFileInUse(const Text& path, bool includeIdle);

    // Side files. Their book paths are compared without case: one book reached through two
    // spellings of its path has one side file, so one writer.
    AnnotationFile* FindAnnotationFile(const std::string& bookPath);
    // The caller keeps its references; the list holds none.
    bool RegisterAnnotationFile(AnnotationFile* file, Resource* resource);
    // The side file of the resource's book (open or created), new reference; null when it
    // cannot be had. The caller's reference to the resource is released. `ownOnly` passes
    // over a file that names no book (found to be another book's).
    AnnotationFile* OpenAnnotationFile(Resource* resource, bool ownOnly = false);
    uint32_t SideFileCount() const { return static_cast<uint32_t>(sideFiles_.size()); }
    void OnAnnotationFileClosed(AnnotationFile* file) override;
    void RemoveCached(Resource* resource) override;

    // Storage notifications, forwarded to the catalogue.
    void AddLocation(const Text& path);
    void RemoveLocation(const Text& path);
    void RefreshLocation(const Text& path);
    void RefreshLocationBooks(const Text& path);

    const AppPaths* Paths() const { return paths_; }
    LoaderCatalogue* Catalogue() const { return catalogue_; }
    uint32_t Number() const { return number_; }
    Random& GetRandom() { return random_; }

    // The code pages generated pages are opened with as books.
    static void GetGeneratedCodePages(uint32_t& codePage, uint32_t& fallback) {
        codePage = kSingleByteCodePage;
        fallback = kWideCodePage;
    }
    // The string resource of a book or database open failure; 0 for codes shown without one.
    static uint32_t MessageForCode(int code);

private:
    void Report(int code, uint8_t* handled, const Text* path = nullptr);
    Resource* OpenPalmFile(Location& location, const Text& path, uint8_t* handled);
    bool ResolveNamedLocation(Location& location, const String& name);
    void AddRecent(const Location& location);

    const AppPaths* paths_ = nullptr;
    LoaderMessages* messages_ = nullptr;
    LoaderCatalogue* catalogue_ = nullptr;
    ConfigurationStore* config_ = nullptr;
    SortedRecordDatabase* log_ = nullptr;
    uint8_t reportFailures_ = 1;
    uint8_t second_ = 1;
    std::vector<Resource*> cache_;
    std::vector<Location> recent_;
    std::vector<AnnotationFile*> sideFiles_;
    Random random_;
    uint32_t number_ = 0;
};
