#include "platform/storage/sync_log.h"

#include <deque>
#include <mutex>

namespace fvt {

namespace {

constexpr size_t kKept = 256;

struct Log {
    std::mutex lock;
    std::deque<SyncRecord> records;
};

Log& TheLog() {
    static Log* log = new Log;
    return *log;
}

}  // namespace

void RecordSync(std::u16string device, bool folder) {
    Log& log = TheLog();
    std::lock_guard<std::mutex> guard(log.lock);
    log.records.push_back({std::move(device), folder});
    if (log.records.size() > kKept) log.records.pop_front();
}

std::vector<SyncRecord> SyncLog() {
    Log& log = TheLog();
    std::lock_guard<std::mutex> guard(log.lock);
    return {log.records.begin(), log.records.end()};
}

void ClearSyncLog() {
    Log& log = TheLog();
    std::lock_guard<std::mutex> guard(log.lock);
    log.records.clear();
}

}  // namespace fvt
