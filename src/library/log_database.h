// The "LogF" database "folvbook.fvl": the form-data store that book forms write their
// submissions into, opened once at start-up by the reader core. It is created when missing and
// its backup bit cleared; writes go through a temporary file and a rename, so a failure while
// writing leaves the previous file whole.
#pragma once

#include <memory>

#include "bookfiles/sorted_record_database.h"
#include "core/text.h"

class AppPaths;

class LogDatabase {
public:
    ~LogDatabase();
    LogDatabase(const LogDatabase&) = delete;
    LogDatabase& operator=(const LogDatabase&) = delete;

    // The application's log database, or null when it cannot be opened or made.
    static std::unique_ptr<LogDatabase> OpenDefault(const AppPaths& paths);
    static std::unique_ptr<LogDatabase> Open(const Text& path);

    // The store the forms write through.
    SortedRecordDatabase* Store() { return &store_; }

private:
    LogDatabase() = default;
    SortedRecordDatabase store_;
};
