#include "platform/storage/storage_cards.h"

#include <sys/stat.h>

#include <cerrno>
#include <mutex>

#include "platform/kernel/device.h"
#include "platform/kernel/wide.h"
#include "platform/last_error.h"

namespace fvt {

namespace {

struct CardTable {
    std::mutex lock;
    std::uint64_t generation = ~0ULL;
    std::vector<StorageCard> inserted;
    std::vector<StorageCard> removed;
    StorageCardListener listener;
};

CardTable& Table() {
    static CardTable* table = new CardTable;
    return *table;
}

bool ValidCardName(std::u16string_view name) {
    if (name.empty() || name.size() > 64 || name == u"." || name == u"..") return false;
    for (char16_t c : name) {
        if (c < 0x20 || c == u'\\' || c == u'/' || c == u':' || c == u'*' || c == u'?' ||
            c == u'"' || c == u'<' || c == u'>' || c == u'|')
            return false;
    }
    return true;
}

bool InsertLocked(CardTable& t, std::u16string_view name, const std::string& hostFolder) {
    if (!ValidCardName(name)) return Fail(ERROR_INVALID_NAME, false);
    for (auto& c : t.inserted) {
        if (EqualsNoCase(c.name, name)) return Fail(ERROR_ALREADY_EXISTS, false);
    }
    std::string folder = hostFolder.empty() ? DeviceRoot() + "/" + WideToUtf8(name) : hostFolder;
    if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)
        return Fail(ERROR_ACCESS_DENIED, false);
    struct stat st;
    if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return Fail(ERROR_PATH_NOT_FOUND, false);
    }
    std::erase_if(t.removed, [&](const StorageCard& c) { return EqualsNoCase(c.name, name); });
    t.inserted.push_back({std::u16string(name), folder});
    return true;
}

// Starts the table afresh for a newly opened device, with the profile's cards in.
void Refresh(CardTable& t) {
    std::uint64_t generation = DeviceGeneration();
    if (t.generation == generation) return;
    t.generation = generation;
    t.inserted.clear();
    t.removed.clear();
    for (auto& name : Profile().cards) InsertLocked(t, name, {});
}

}  // namespace

bool InsertStorageCard(std::u16string_view name, const std::string& hostFolder) {
    CardTable& t = Table();
    StorageCardListener listener;
    {
        std::lock_guard<std::mutex> guard(t.lock);
        Refresh(t);
        if (!InsertLocked(t, name, hostFolder)) return false;
        listener = t.listener;
    }
    if (listener) listener(std::u16string(name), true);
    return true;
}

bool RemoveStorageCard(std::u16string_view name) {
    CardTable& t = Table();
    StorageCardListener listener;
    std::u16string stored;
    {
        std::lock_guard<std::mutex> guard(t.lock);
        Refresh(t);
        auto it = std::find_if(t.inserted.begin(), t.inserted.end(),
                               [&](const StorageCard& c) { return EqualsNoCase(c.name, name); });
        if (it == t.inserted.end()) return Fail(ERROR_FILE_NOT_FOUND, false);
        stored = it->name;
        t.removed.push_back(*it);
        t.inserted.erase(it);
        listener = t.listener;
    }
    if (listener) listener(stored, false);
    return true;
}

std::vector<StorageCard> StorageCards() {
    CardTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    Refresh(t);
    return t.inserted;
}

bool FindStorageCard(std::u16string_view name, StorageCard& card) {
    CardTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    Refresh(t);
    for (auto& c : t.inserted) {
        if (EqualsNoCase(c.name, name)) {
            card = c;
            return true;
        }
    }
    return false;
}

bool IsRemovedCardFolder(std::u16string_view name) {
    CardTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    Refresh(t);
    std::string root = DeviceRoot();
    for (auto& c : t.removed) {
        if (!EqualsNoCase(c.name, name)) continue;
        auto slash = c.hostFolder.rfind('/');
        if (slash != std::string::npos && c.hostFolder.substr(0, slash) == root) return true;
    }
    return false;
}

void SetStorageCardListener(StorageCardListener listener) {
    CardTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    t.listener = std::move(listener);
}

}  // namespace fvt
