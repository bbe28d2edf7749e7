// Storage cards: mount-table entries (device name => host folder) shown at the device root with
// the directory and temporary attributes. The profile's cards are inserted when the device opens;
// tests and the shell insert and remove cards at run time.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/types.h"

namespace fvt {

struct StorageCard {
    std::u16string name;     // as shown at the device root, e.g. "Storage Card"
    std::string hostFolder;  // where its files live
};

// An empty host folder means "<device root>/<name>", created when missing. False when the name
// is not a plain folder name, is taken by another card, or the folder cannot be made.
bool InsertStorageCard(std::u16string_view name, const std::string& hostFolder = {});
bool RemoveStorageCard(std::u16string_view name);
std::vector<StorageCard> StorageCards();
// Finds an inserted card by name (without case).
bool FindStorageCard(std::u16string_view name, StorageCard& card);
// True when a card of that name was removed: its folder at the root stays out of sight.
bool IsRemovedCardFolder(std::u16string_view name);

// Called after a card is inserted (true) or removed (false); the shell turns it into notices.
using StorageCardListener = std::function<void(const std::u16string& name, bool inserted)>;
void SetStorageCardListener(StorageCardListener listener);

}  // namespace fvt
