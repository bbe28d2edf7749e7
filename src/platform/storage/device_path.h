// Device paths ("\storage\eBooks\a.prc") resolved onto host paths under the device root or a
// storage card's folder. Components are matched without case; new names keep the case given.
// Host symbolic links are never followed, so nothing outside the device is reached.
#pragma once

#include <sys/stat.h>
#include <string>

#include "platform/types.h"

constexpr DWORD MAX_PATH = 260;

namespace fvt {

struct ResolvedPath {
    std::string host;          // host path of the target (its last part as found or as given)
    std::string hostParent;    // host folder holding it (empty for the root and card roots)
    std::u16string device;     // normalised device path, found parts in their stored case
    std::u16string name;       // last component (stored case when it exists); may be a pattern
    std::u16string givenName;  // last component as the caller spelled it
    bool exists = false;
    bool isRoot = false;
    bool isCardRoot = false;
    struct stat info = {};  // valid when exists
};

// Resolves a device path. With allowPattern the last component may hold '*' and '?' and is not
// looked up. False with the last error set: ERROR_INVALID_NAME (bad characters, wildcards, ".."
// climbing out), ERROR_FILENAME_EXCED_RANGE (too long), ERROR_PATH_NOT_FOUND (a missing or
// non-folder parent), ERROR_INVALID_PARAMETER (null).
bool ResolveDevicePath(LPCWSTR path, ResolvedPath& out, bool allowPattern = false);

// Finds `name` in a host folder without case (exact spelling first); the stored name on success.
bool FindEntryNoCase(const std::string& hostFolder, std::u16string_view name, std::string& found);

// The device's attribute bits for a resolved, existing path.
DWORD AttributesOf(const ResolvedPath& path);
bool IsHiddenName(std::u16string_view name);

std::uint64_t StatCreationFileTime(const std::string& host, const struct stat& info);
std::uint64_t ToFileTime(const struct timespec& time);

}  // namespace fvt
