#include "document/sources/document_loader.h"

#include <algorithm>
#include <memory>
#include <new>

#include "bookfiles/document_source.h"
#include "bookfiles/palm_database.h"
#include "core/file.h"
#include "core/text.h"
#include "database/database.h"
#include "document/sources/book_resource.h"
#include "document/sources/interaction_pages.h"
#include "document/sources/loader_database_opener.h"
#include "document/sources/loader_services.h"
#include "document/sources/script_pages.h"
#include "document/sources/text_file_resource.h"
#include "paths/app_paths.h"
#include "platform/storage/files.h"

namespace {

// Book error codes (those PalmDatabase::Open and the book's open give) and the strings that
// tell the reader about them.
constexpr int kBadVersion = 1, kRecordSizeUnsupported = 2, kCorrupted = 10, kMissing = 11,
              kNoMemory = 12, kNeedsNewerReader = 13, kCannotOpen = 14;
constexpr uint32_t kBadVersionString = 5476, kRecordSizeString = 5477, kCorruptedString = 5478,
                   kNotFoundString = 5479, kNoMemoryString = 5034, kNewerReaderString = 5032;

char16_t Lower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
}

// ASCII letters compared without case (paths on the device match that way).
bool EqualsNoCase(const char16_t* a, const char16_t* b, int32_t n) {
    for (int32_t i = 0; i < n; ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

bool SameUtf8PathNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

bool ToUtf8(const Text& text, std::string& out) {
    Text utf8(text);
    if (!utf8.ConvertTo(CodePages::kUtf8)) return false;
    out.assign(reinterpret_cast<const char*>(utf8.Bytes()),
               static_cast<size_t>(utf8.ByteLength()));
    return true;
}

// A location's file-name form, or false.
bool FileNameOf(const DbValue& value, Text& out) {
    Location location;
    static_cast<DbValue&>(location).Copy(value);
    return location.ToFileName(out) && out.IsValid();
}

// The extension after the last '.' of the file's own name, lower-cased.
String ExtensionOf(const String& path) {
    int32_t dot = -1;
    for (int32_t i = path.Length() - 1; i >= 0; --i) {
        if (path[i] == u'\\' || path[i] == u'/') break;
        if (path[i] == u'.') {
            dot = i;
            break;
        }
    }
    String ext;
    if (dot < 0) return ext;
    ext.AssignSub(path, dot + 1, path.Length() - dot - 1);
    ext.ToLower();
    return ext;
}

// Re-encodes a decoded sub-path or parameter for a location text that is already encoded:
// '%', '#', '$' and the rest are escaped again, so that nothing is decoded twice or cut as an
// anchor. The parameter keeps its '=' and '&'.
bool Encode(String& part, bool parameter) {
    if (!part.UriEscape(true, !parameter)) return false;
    if (!parameter) return true;
    String out;
    for (int32_t i = 0; i < part.Length(); ++i) {
        char16_t c = part[i];
        bool ok = c == u'#'   ? out.AppendAscii("%23")
                  : c == u'$' ? out.AppendAscii("%24")
                              : out.AppendChar(c);
        if (!ok) return false;
    }
    part = out;
    return true;
}

// Binds a table database to its file; one without a name of its own takes the file's stem.
void BindToFile(Database* db, const String& path, const std::string& utf8) {
    db->SetFilePath(utf8);
    if (db->Name().Length() > 0) return;
    int32_t start = path.Length();
    while (start > 0 && path[start - 1] != u'\\') --start;
    int32_t end = path.Length();
    for (int32_t i = path.Length() - 1; i >= start; --i)
        if (path[i] == u'.') {
            end = i;
            break;
        }
    String name, stem;
    name.AssignSub(path, start, end - start);
    if (Database::MakeFileStem(name, stem) == 0) db->SetName(stem);
}

// Whether the file at the device path is marked read-only.
bool IsReadOnlyFile(const Text& path) {
    DWORD attributes = GetFileAttributesW(reinterpret_cast<LPCWSTR>(path.WideCStr()));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

}  // namespace

DocumentLoader::DocumentLoader() : number_(random_.Next()) {
    CartStore::Register();
}

DocumentLoader::DocumentLoader(uint64_t seed) : random_(seed), number_(random_.Next()) {
    CartStore::Register();
}

DocumentLoader::~DocumentLoader() {
    // Resources and side files still held elsewhere must not call back into a freed loader.
    for (Resource* r : cache_) r->SetOwner(nullptr);
    for (AnnotationFile* f : sideFiles_) f->SetOwner(nullptr);
    cache_.clear();
    sideFiles_.clear();
    if (paths_) paths_->DeleteAutogenFiles();
}

int DocumentLoader::SetOptions(const AppPaths* paths, ConfigurationStore* config,
                               SortedRecordDatabase* log) {
    paths_ = paths;
    config_ = config;
    log_ = log;
    return 1;
}

void DocumentLoader::SetFlags(uint8_t report, uint8_t second, uint8_t saved[2]) {
    saved[0] = reportFailures_;
    saved[1] = second_;
    reportFailures_ = report;
    second_ = second;
}

void DocumentLoader::RestoreFlags(const uint8_t saved[2]) {
    reportFailures_ = saved[0];
    second_ = saved[1];
}

uint32_t DocumentLoader::MessageForCode(int code) {
    switch (code) {
        case kBadVersion: return kBadVersionString;
        case kRecordSizeUnsupported: return kRecordSizeString;
        case kCorrupted: return kCorruptedString;
        case kMissing:
        case kCannotOpen: return kNotFoundString;
        case kNoMemory: return kNoMemoryString;
        case kNeedsNewerReader: return kNewerReaderString;
        default: return 0;
    }
}

void DocumentLoader::Report(int code, uint8_t* handled, const Text* path) {
    if (reportFailures_ != 1) return;
    uint32_t id = MessageForCode(code);
    if (id == 0) return;
    if (messages_) {
        if (path && !path->IsEmpty())
            messages_->ShowFileMessage(id, *path);
        else
            messages_->ShowMessage(id);
    }
    if (handled) *handled = 1;
}

Resource* DocumentLoader::FindCached(const Location& location) {
    // A generated page is written afresh on every request: never served from the cache.
    if (location.Kind() == Location::kInternal && location.ResourceId() == 5) return nullptr;
    for (Resource* r : cache_) {
        Location cached;
        static_cast<DbValue&>(cached).Copy(r->GetLocation());
        if (Location::Compare(cached, location) == 0) return RefPtr<Resource>(r).TakePointer();
    }
    return nullptr;
}

Resource* DocumentLoader::Open(Location& location, const Location* base, uint8_t* handled) {
    if (handled) *handled = reportFailures_ == 0 ? 1 : 0;
    if (Resource* cached = FindCached(location)) return cached;
    uint32_t kind = location.Kind();
    bool resolves = kind == Location::kRedirect || kind == Location::kDatabase;
    RefPtr<Resource> resource = RefPtr<Resource>::Adopt(OpenByKind(location, base, handled));
    if (resolves || !resource) return resource.TakePointer();
    // Registered already by a nested Open (a book reached through a file link).
    if (resource->Owner()) return resource.TakePointer();
    try {
        cache_.push_back(resource.Get());
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    AddRecent(location);
    resource->SetOwner(this);
    if (location.Kind() == Location::kInternal && location.ResourceId() == 0 &&
        (kind == Location::kFile || kind == Location::kFileByType)) {
        // A generated book file is marked internal for the caller, but cached under its file,
        // so that it is found again and its file counts as in use.
        Location file;
        file.CopyFrom(location);
        file.SetKind(Location::kFile);
        resource->SetLocation(file);
    } else {
        resource->SetLocation(location);
    }
    return resource.TakePointer();
}

void DocumentLoader::AddRecent(const Location& location) {
    // A generated book's kind-0 location has no text that would open it again.
    if (location.Kind() == Location::kInternal) return;
    for (const Location& l : recent_)
        if (Location::Compare(l, location) == 0) return;
    try {
        if (recent_.size() >= kRecentMax) recent_.erase(recent_.begin());
        Location copy;
        copy.CopyFrom(location);
        recent_.push_back(copy);
    } catch (const std::bad_alloc&) {
    }
}

Resource* DocumentLoader::OpenByKind(Location& location, const Location* base, uint8_t* handled) {
    switch (location.Kind()) {
        case Location::kInternal:
            return location.ResourceId() == 5 ? OpenCartPage(location, handled) : nullptr;
        case Location::kFile:
        case Location::kFileInContainer:
            return OpenFileLink(location, base, handled);
        case Location::kFileByType:
            return OpenByExtension(location, handled);
        case Location::kRedirect:
        case Location::kDatabase:
            if (!OpenDatabaseByName(location, base)) return nullptr;
            return Open(location, base, handled);
        default:
            return nullptr;
    }
}

Resource* DocumentLoader::OpenByExtension(Location& location, uint8_t* handled) {
    Text path;
    if (!location.ToFileName(path) || !path.IsValid()) {
        if (location.Kind() != Location::kFileByType) return nullptr;
        location.SetKind(Location::kFile);
        return new (std::nothrow) Database();
    }
    String wide;
    if (!path.ToWide(wide)) return nullptr;
    const uint32_t kind = KindOfExtension(wide);
    if (kind == kPalmFile) return OpenPalmFile(location, path, handled);
    if (kind == 0) return nullptr;
    return TextFileResource::Create(location, kind, kSingleByteCodePage, kWideCodePage);
}

uint32_t DocumentLoader::KindOfExtension(const String& path) {
    String ext = ExtensionOf(path);
    if (ext.EqualsAscii("pdb") || ext.EqualsAscii("prc") || ext.EqualsAscii("fvg") ||
        ext.EqualsAscii("ebase") || ext.EqualsAscii("folv"))
        return kPalmFile;
    if (ext.EqualsAscii("htm") || ext.EqualsAscii("html")) return TextFileResource::kHtml;
    if (ext.EqualsAscii("txt")) return TextFileResource::kPlainText;
    if (ext.EqualsAscii("gif") || ext.EqualsAscii("bmp") || ext.EqualsAscii("jpg") ||
        ext.EqualsAscii("jpeg") || ext.EqualsAscii("ogg") || ext.EqualsAscii("oga"))
        return TextFileResource::kPictureOrSound;
    return 0;
}

Resource* DocumentLoader::OpenPalmFile(Location& location, const Text& path, uint8_t* handled) {
    String wide;
    path.ToWide(wide);
    bool isDatabaseFile = ExtensionOf(wide).EqualsAscii("ebase");
    int error = kMissing;
    std::unique_ptr<PalmDatabase> file(
        path.IsEmpty()
            ? nullptr
            : PalmDatabase::Open(path, PalmDatabase::kOpenReadOnly, nullptr, nullptr, &error));
    std::string utf8;
    if (!file) {
        // A table database never saved starts empty, bound to its path (saved on demand).
        if (isDatabaseFile && error == kMissing && ToUtf8(path, utf8)) {
            Database* db = new (std::nothrow) Database();
            if (!db) return nullptr;
            BindToFile(db, wide, utf8);
            location.SetKind(Location::kFile);
            return db;
        }
        Report(error, handled, &path);
        return nullptr;
    }
    if (file->GetType() == PalmCode("DUMP")) {
        Database* db = nullptr;
        error = Database::OpenFile(file.get(), db);
        file.reset();
        if (!db) {
            Report(error, handled, &path);
            return nullptr;
        }
        if (ToUtf8(path, utf8)) BindToFile(db, wide, utf8);
        // A file the user marked read-only is not written over.
        if (IsReadOnlyFile(path)) db->SetReadOnly(true);
        location.SetKind(Location::kFile);
        return db;
    }
    BookResource* book = nullptr;
    error = BookResource::Create(file.release(), kSingleByteCodePage, kWideCodePage, book);
    if (error != 0) {
        Report(error, handled, &path);
        return nullptr;
    }
    uint32_t type = book->Book().GetDocumentType();
    if (type >= 768 && type <= 1022) location.SetKind(Location::kInternal);
    return book;
}

bool DocumentLoader::OpenDatabaseByName(Location& location, const Location* /*base*/) {
    std::vector<uint32_t> ids;
    std::vector<String> values;
    location.GetParams(ids, values);
    String name, subPath, parameter;
    bool haveName = false, haveSub = false, haveParam = false;
    for (size_t i = 0; i < ids.size(); ++i) {
        if (ids[i] == 1 || ids[i] == 3) {
            name = values[i];
            haveName = true;
        } else if (ids[i] == 5) {
            subPath = values[i];
            haveSub = true;
        } else if (ids[i] == 6) {
            parameter = values[i];
            haveParam = true;
        }
    }
    if (!haveName) return false;
    bool resolved = name.UriEscape(false, true) && ResolveNamedLocation(location, name);
    if (resolved && (haveSub || haveParam)) {
        String full = location.GetText();
        bool ok = true;
        if (haveSub) {
            String part;
            ok = part.AppendChar(u'\\') && part.Append(subPath) && part.UriEscape(false, true) &&
                 Encode(part, false) && full.Append(part);
        }
        if (ok && haveParam) {
            String part = parameter;
            ok = part.UriEscape(false, true) && Encode(part, true) && full.AppendChar(u'?') &&
                 full.Append(part);
        }
        uint32_t kind = location.Kind();
        if (ok && location.Parse(full, true)) {
            location.SetKind(kind);
        } else {
            resolved = false;
        }
    }
    if (!resolved) {
        location.Parse(String(), false);
        location.SetKind(Location::kFile);
    }
    location.number1 = 0;
    return true;
}

bool DocumentLoader::ResolveNamedLocation(Location& location, const String& name) {
    Text path;
    if (location.Kind() == Location::kRedirect) {
        if (!catalogue_) return false;
        catalogue_->Refresh();
        bool found = catalogue_->FindBookByName(name, path);
        if (!found) path.Clear();
        if (!location.ParseText(path)) return false;
        location.SetKind(Location::kFile);
        return found;
    }
    // Only the name's file stem: a name cannot reach outside the database folder.
    String stem;
    if (Database::MakeFileStem(name, stem) != 0 || !AppPaths::DatabaseFolder(path))
        return false;
    Text file;
    String wide;
    if (!path.ToWide(wide)) return false;
    if (wide.Length() == 0 || wide[wide.Length() - 1] != u'\\') wide.AppendChar(u'\\');
    if (!wide.Append(stem) || !wide.AppendAscii(".ebase") || !file.FromString(wide) ||
        !location.ParseText(file))
        return false;
    location.SetKind(Location::kFileByType);
    return true;
}

Database* DocumentLoader::OpenDatabase(Location& location) {
    uint8_t saved[2];
    SetFlags(0, 0, saved);
    RefPtr<Resource> r = RefPtr<Resource>::Adopt(Open(location, nullptr, nullptr));
    RestoreFlags(saved);
    if (!r || r->GetKind() != 1) return nullptr;
    return Database::FromResource(r.TakePointer());
}

DataHandle* DocumentLoader::OpenLocation(Location& location, const Location* base) {
    // The handle holds the resource itself.
    RefPtr<Resource> r = RefPtr<Resource>::Adopt(Open(location, base, nullptr));
    if (!r) return nullptr;
    DataHandle* handle = nullptr;
    int64_t n = -1;
    if (location.GetDollarValue(n) && n >= 0) {
        handle = n <= INT32_MAX ? r->OpenDataByIndex(static_cast<int32_t>(n), base) : nullptr;
    } else {
        String designation;
        int32_t dollar = location.Anchor().IndexOf(u'$');
        if (dollar < location.Anchor().Length())
            designation.AssignSub(location.Anchor(), dollar + 1,
                                  location.Anchor().Length() - dollar - 1);
        handle = r->OpenDataByName(designation, base);
    }
    return handle;
}

DataHandle* DocumentLoader::OpenString(const String& text, const Location* base) {
    Location location;
    if (!location.Resolve(text, base)) return nullptr;
    return OpenLocation(location, base);
}

Resource* DocumentLoader::OpenFileLink(Location& location, const Location* base,
                                       uint8_t* handled) {
    for (uint32_t round = 0; round <= kMaxRepeats; ++round) {
        location.SetKind(Location::kFile);
        Text path;
        location.ToFileName(path);
        if (path.IsEmpty() || Files::Exists(path)) return OpenByExtension(location, handled);

        // The longest leading part of the path that is a file: the container.
        String wide;
        if (!path.ToWide(wide)) return nullptr;
        int32_t cut = wide.Length();
        bool found = false;
        while (!found) {
            while (cut > 0 && wide[cut - 1] != u'\\') --cut;
            // No container: a missing file of its own (reported like one).
            if (cut <= 1) return OpenByExtension(location, handled);
            --cut;
            String prefix;
            Text prefixText;
            prefix.AssignSub(wide, 0, cut);
            found = prefixText.FromString(prefix) && Files::Exists(prefixText);
        }
        int32_t k = 1;
        for (int32_t i = 0; i < cut; ++i)
            if (wide[i] == u'\\') ++k;

        // The k-th separator ('\' or "%5C", either case) of the encoded text ends the container.
        String full;
        if (!location.ToString(full, true)) return nullptr;
        int32_t at = 0, seen = 0, sepLength = 0;
        for (; at < full.Length(); ++at) {
            sepLength = full[at] == u'\\' ? 1
                        : (at + 3 <= full.Length() && EqualsNoCase(full.Data() + at, u"%5c", 3))
                            ? 3
                            : 0;
            if (sepLength && ++seen == k) break;
        }
        if (seen != k) return nullptr;
        String containerText, inner;
        containerText.AssignSub(full, 0, at);
        inner.AssignSub(full, at + sepLength, full.Length() - at - sepLength);

        // The container's text is already encoded.
        String anchor = location.Anchor();
        if (!location.Parse(containerText, true)) return nullptr;
        RefPtr<Resource> container = RefPtr<Resource>::Adopt(Open(location, base, handled));
        if (!container) return nullptr;
        location.SetAnchor(anchor);
        if (anchor.Length() > 0) return container.TakePointer();
        uint32_t five[5] = {};
        if (!container->FindTarget(inner, five)) return nullptr;
        uint32_t kind = five[0], flag = five[1], start = five[2], end = five[3];
        if (kind == 2 || kind == 3) {
            bool repeat = false;
            Location page;
            page.CopyFrom(location);
            if (!page.ParseInContainer(full, static_cast<uint32_t>(at))) return nullptr;
            bool redirected = false;
            int error = 0;
            Resource* served = ScriptPages::ServeScriptPage(container.Get(), page, kind, start, end,
                                                            redirected, error);
            // A redirect serves nothing: the loop opens where it points.
            repeat = redirected && !served;
            container.Reset();
            location.CopyFrom(page);
            if (!repeat) return served;
            continue;
        }
        if (kind < 32) {
            location.SetPositionAnchor(start);
        } else if (end - start == 1 && flag == 0) {
            location.SetDollarAnchor(start + 1);
        } else {
            String object;
            object.AssignSub(inner, 0, inner.IndexOf(u'?'));
            location.SetEoAnchor(object);
        }
        return container.TakePointer();
    }
    return nullptr;
}

bool DocumentLoader::IsFileInUse(const Text& path, bool includeIdle) {
    String wanted;
    if (!path.ToWide(wanted)) return false;
    for (Resource* r : cache_) {
        Text file;
        String name;
        if (!FileNameOf(r->GetLocation(), file) || !file.ToWide(name)) continue;
        if (name.Length() < wanted.Length() ||
            !EqualsNoCase(name.Data(), wanted.Data(), wanted.Length()))
            continue;
        if (includeIdle) return true;
        DocumentSource* doc = r->GetDocument();
        if (doc && doc->IsHeld() && !doc->MayRelease()) return true;
    }
    return false;
}

AnnotationFile* DocumentLoader::FindAnnotationFile(const std::string& bookPath) {
    for (AnnotationFile* f : sideFiles_)
        if (SameUtf8PathNoCase(f->BookPath(), bookPath))
            return RefPtr<AnnotationFile>(f).TakePointer();
    return nullptr;
}

bool DocumentLoader::RegisterAnnotationFile(AnnotationFile* file, Resource* /*resource*/) {
    if (!file) return false;
    if (std::find(sideFiles_.begin(), sideFiles_.end(), file) != sideFiles_.end()) return true;
    try {
        sideFiles_.push_back(file);
    } catch (const std::bad_alloc&) {
        return false;
    }
    file->SetOwner(this);
    return true;
}

AnnotationFile* DocumentLoader::OpenAnnotationFile(Resource* resource, bool ownOnly) {
    RefPtr<Resource> held = RefPtr<Resource>::Adopt(resource);
    if (!held) return nullptr;
    Text path;
    std::string utf8;
    bool named = FileNameOf(resource->GetLocation(), path) && ToUtf8(path, utf8) && !utf8.empty();
    auto file = RefPtr<AnnotationFile>::Adopt(named ? FindAnnotationFile(utf8) : nullptr);
    if (file && ownOnly && file->OwnerKind() != 1) file.Reset();
    if (named && !file) {
        std::string dbName;
        if (DocumentSource* doc = resource->GetDocument()) {
            uint32_t length = 0;
            const uint8_t* bytes = doc->GetDatabaseNameBytes(length);
            if (bytes) dbName.assign(reinterpret_cast<const char*>(bytes), length);
        }
        file = RefPtr<AnnotationFile>::Adopt(new (std::nothrow) AnnotationFile());
        // A folder that refuses the side file (read-only) still lets the reader annotate: the
        // notes are kept in memory, and the failed save is told.
        int rc = file ? file->OpenOrCreate(utf8, dbName.c_str(), dbName.size(), false, true,
                                           true, ownOnly)
                      : 1;
        // A version word this reader cannot use would leave the book without annotations, and
        // those made now unsaved, with no word: kept aside and told, as a damaged file is.
        if (rc == 13) rc = file->ReplaceUnusable(utf8, dbName.c_str(), dbName.size(), ownOnly);
        if (file && rc != 0 && file->OpenInMemoryFor(utf8, dbName.c_str(), dbName.size()) != 0)
            file.Reset();
        if (file && !RegisterAnnotationFile(file.Get(), resource)) file.Reset();
    }
    return file.TakePointer();
}

void DocumentLoader::OnAnnotationFileClosed(AnnotationFile* file) {
    if (catalogue_) catalogue_->UpdateFromAnnotationFile(file);
    auto it = std::find(sideFiles_.begin(), sideFiles_.end(), file);
    if (it != sideFiles_.end()) sideFiles_.erase(it);
}

void DocumentLoader::RemoveCached(Resource* resource) {
    auto it = std::find(cache_.begin(), cache_.end(), resource);
    if (it != cache_.end()) cache_.erase(it);
}

void DocumentLoader::AddLocation(const Text& path) {
    if (catalogue_) catalogue_->AddLocation(path);
}

void DocumentLoader::RemoveLocation(const Text& path) {
    if (catalogue_) catalogue_->RemoveLocation(path);
}

void DocumentLoader::RefreshLocation(const Text& path) {
    if (catalogue_) catalogue_->RefreshLocation(path);
}

void DocumentLoader::RefreshLocationBooks(const Text& path) {
    if (catalogue_) catalogue_->RefreshLocationBooks(path);
}

Database* LoaderDatabaseOpener::OpenDatabase(const String& name) {
    Location location;
    if (!loader_ || !location.SetDatabaseName(name)) return nullptr;
    return loader_->OpenDatabase(location);
}
