// Open file handles and the host errors the storage functions translate.
#pragma once

#include <sys/types.h>

#include <memory>
#include <mutex>
#include <string>

#include "platform/kernel/handles.h"
#include "platform/types.h"

namespace fvt {

class FileObject : public KernelObject {
public:
    FileObject() : KernelObject(ObjectKind::File) {}
    ~FileObject() override;
    void OnClose() override;

    int fd = -1;
    std::string host;
    DWORD access = 0;
    DWORD share = 0;
    bool deleteOnClose = false;
    dev_t dev = 0;
    ino_t ino = 0;
    std::mutex lock;  // one read, write or seek at a time
};

std::shared_ptr<FileObject> LookupFile(HANDLE handle);
// True when an open handle of this process refers to the host file.
bool IsOpenInProcess(dev_t dev, ino_t ino);
// True when opening with access/share would conflict with a handle already open on the file.
bool ShareConflict(dev_t dev, ino_t ino, DWORD access, DWORD share);
void RegisterOpenFile(FileObject* file);

DWORD ErrorFromErrno(int error, DWORD fallback = 31 /* ERROR_GEN_FAILURE */);

}  // namespace fvt
