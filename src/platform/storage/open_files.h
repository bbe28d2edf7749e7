// Open file handles and mapped views, the sharing rules between them, and the host errors the
// storage functions translate.
#pragma once

#include <sys/types.h>

#include <memory>
#include <mutex>
#include <string>

#include "platform/kernel/handles.h"
#include "platform/storage/device_path.h"
#include "platform/types.h"

namespace fvt {

class FileObject : public KernelObject {
public:
    FileObject() : KernelObject(ObjectKind::File) {}
    ~FileObject() override;
    void OnClose() override;

    int fd = -1;
    std::u16string device;  // the device path it was opened by
    DWORD access = 0;
    DWORD share = 0;
    bool deleteOnClose = false;
    // Delete-on-close removes the entry of this folder only while it is still this file.
    HostFd folder;
    std::string hostName;
    dev_t dev = 0;
    ino_t ino = 0;
    std::mutex lock;  // one read, write or seek at a time
};

std::shared_ptr<FileObject> LookupFile(HANDLE handle);

// The table of what holds a host file: open handles and mapped views (owner: the view address).
// A view counts as open for reading with the sharing of the handle it was made from.
void RegisterOpen(const void* owner, dev_t dev, ino_t ino, DWORD access, DWORD share,
                  bool mapped);
void UnregisterOpen(const void* owner);
// True when an open handle of this process refers to the host file (views do not count: the
// file may be renamed over or deleted under a view, which keeps its bytes).
bool IsOpenInProcess(dev_t dev, ino_t ino);
// True when a view of this process maps the host file.
bool IsMapped(dev_t dev, ino_t ino);
// True when opening with access/share would conflict with a handle or view already open on the
// file; truncating conflicts with any view (its pages would vanish under the reader).
bool ShareConflict(dev_t dev, ino_t ino, DWORD access, DWORD share, bool truncating);

DWORD ErrorFromErrno(int error, DWORD fallback = 31 /* ERROR_GEN_FAILURE */);

// Flushes a folder's entries to the medium (after a rename or a new entry), so that a save
// reported as done cannot roll back after power loss; recorded in the sync log.
bool SyncFolder(const ResolvedPath& entry);

}  // namespace fvt
