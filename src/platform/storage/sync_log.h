// The layer's own record of what it flushed to the medium: folders after a rename or a new entry,
// files on FlushFileBuffers and copies before they are linked in. Tests check durability
// promises (a replacing move syncs its folder) against it.
#pragma once

#include <string>
#include <vector>

namespace fvt {

struct SyncRecord {
    std::u16string device;  // device path of the folder or file
    bool folder = false;
};

void RecordSync(std::u16string device, bool folder);
// The most recent records (the oldest are dropped beyond a few hundred), oldest first.
std::vector<SyncRecord> SyncLog();
void ClearSyncLog();

}  // namespace fvt
