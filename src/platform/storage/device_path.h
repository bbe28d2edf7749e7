// Device paths ("\storage\eBooks\a.prc") resolved onto host folders under the device root or a
// storage card's folder. Components are matched without case; new names keep the case given.
//
// Nothing outside the device is ever reached, even while host processes swap folders and links:
// a path is walked from a handle of the root (or of the card's folder) one component at a time,
// never following a link, and every call then acts on the final folder's handle with the *at
// calls (OpenAt, Unlink, RenameAt...). No call walks a path string twice. Only regular files and
// folders whose host names are valid device names are shown; anything else under a name (a link,
// a FIFO, a socket, a removed card's folder) makes the name unusable rather than invisible, so it
// is never replaced or twinned by accident.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <string>

#include "platform/types.h"

constexpr DWORD MAX_PATH = 260;

namespace fvt {

// An owned host file descriptor.
class HostFd {
public:
    HostFd() = default;
    explicit HostFd(int fd) : fd_(fd) {}
    ~HostFd() { Reset(); }
    HostFd(HostFd&& other) noexcept : fd_(other.Release()) {}
    HostFd& operator=(HostFd&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    HostFd(const HostFd&) = delete;
    HostFd& operator=(const HostFd&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void Reset(int fd = -1);

private:
    int fd_ = -1;
};

struct ResolvedPath {
    // The folder holding the entry (O_PATH); for the root and card roots, that folder itself.
    HostFd folder;
    std::string hostName;      // the entry's name in `folder` (as found, else as given); "." for roots
    std::string host;          // host path, for messages and the program loader only: never acted on
    std::u16string device;     // normalised device path, found parts in their stored case
    std::u16string name;       // last component (stored case when it exists); may be a pattern
    std::u16string givenName;  // last component as the caller spelled it
    bool exists = false;       // a regular file or a folder the device shows
    bool isRoot = false;
    bool isCardRoot = false;
    // Something the device does not show holds the name: nothing may be made or moved there.
    bool blocked = false;
    // That something is a FIFO, socket or device node: reading it is "access denied".
    bool special = false;
    struct stat info = {};  // valid when exists

    // openat on the entry, never following a link (roots: the folder itself).
    int OpenAt(int flags, mode_t mode = 0) const;
    // The error for a name that holds nothing the device shows.
    DWORD MissingError() const;
    // Device path of the folder holding the entry.
    std::u16string FolderDevicePath() const;
};

// Resolves a device path. With allowPattern the last component may hold '*' and '?' and is not
// looked up. False with the last error set: ERROR_INVALID_NAME (bad characters, wildcards, ".."
// climbing out), ERROR_FILENAME_EXCED_RANGE (too long), ERROR_PATH_NOT_FOUND (a missing or
// non-folder parent, or one swapped for a link), ERROR_INVALID_PARAMETER (null).
bool ResolveDevicePath(LPCWSTR path, ResolvedPath& out, bool allowPattern = false);

// True when a host name can be shown as a device name (the same rules as path components).
bool IsDeviceName(std::string_view hostName);

// Opens a folder relative to another without following a link (openat2 beneath, else openat).
int OpenFolderAt(int folder, const char* name);
// Tests: false walks with plain openat, as on kernels without openat2.
void UseOpenat2ForTesting(bool use);

// The device's attribute bits for a resolved, existing path.
DWORD AttributesOf(const ResolvedPath& path);
bool IsHiddenName(std::u16string_view name);

// Birth time of `name` in `folder` (name empty: folder itself), else the last write time.
std::uint64_t StatCreationFileTime(int folder, const char* name, const struct stat& info);
std::uint64_t ToFileTime(const struct timespec& time);

}  // namespace fvt
