#include "library/log_database.h"

#include <string>

#include "core/code_pages.h"
#include "paths/app_paths.h"

LogDatabase::~LogDatabase() {
    if (store_.Close() != 0) store_.NoteUnsaved();
}

std::unique_ptr<LogDatabase> LogDatabase::OpenDefault(const AppPaths& paths) {
    Text path;
    if (!paths.LibraryFile(path)) return nullptr;
    return Open(path);
}

std::unique_ptr<LogDatabase> LogDatabase::Open(const Text& path) {
    Text utf8(path);
    if (path.IsEmpty() || !utf8.ConvertTo(CodePages::kUtf8)) return nullptr;
    std::string device(reinterpret_cast<const char*>(utf8.Bytes()),
                       static_cast<size_t>(utf8.ByteLength()));
    std::unique_ptr<LogDatabase> log(new LogDatabase());
    // One open, which also clears the backup bit: the store is never opened a second time.
    if (log->store_.OpenDefault(device.c_str(), true) != 0) return nullptr;
    return log;
}
