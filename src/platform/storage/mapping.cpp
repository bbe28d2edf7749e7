#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>

#include "platform/last_error.h"
#include "platform/storage/files.h"
#include "platform/storage/open_files.h"

namespace fvt {

namespace {

class MappingObject : public KernelObject {
public:
    MappingObject() : KernelObject(ObjectKind::Mapping) {}
    ~MappingObject() override {
        if (fd >= 0) close(fd);
    }
    int fd = -1;
    std::uint64_t size = 0;
    // The file's identity and the sharing its handle allowed; every view keeps them.
    dev_t dev = 0;
    ino_t ino = 0;
    DWORD share = 0;
};

struct View {
    void* base;
    size_t length;
};

struct ViewTable {
    std::mutex lock;
    std::map<const void*, View> views;  // by the address handed out
};

ViewTable& Views() {
    static ViewTable* table = new ViewTable;
    return *table;
}

}  // namespace

}  // namespace fvt

using namespace fvt;

extern "C" HANDLE CreateFileMappingW(HANDLE fileHandle, LPSECURITY_ATTRIBUTES, DWORD protect,
                                     DWORD maximumSizeHigh, DWORD maximumSizeLow, LPCWSTR name) {
    // Only read-only views of files are needed; memory-backed or named mappings are not.
    if (fileHandle == INVALID_HANDLE_VALUE || (name && *name)) {
        return Fail(ERROR_NOT_SUPPORTED, HANDLE{nullptr});
    }
    if (protect != PAGE_READONLY) return Fail(ERROR_INVALID_PARAMETER, HANDLE{nullptr});
    auto file = LookupFile(fileHandle);
    if (!file) return nullptr;
    if (!(file->access & GENERIC_READ)) return Fail(ERROR_ACCESS_DENIED, HANDLE{nullptr});
    struct stat st;
    if (fstat(file->fd, &st) != 0) return Fail(ErrorFromErrno(errno), HANDLE{nullptr});
    std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
    std::uint64_t asked = (static_cast<std::uint64_t>(maximumSizeHigh) << 32) | maximumSizeLow;
    if (asked > size) return Fail(ERROR_ACCESS_DENIED, HANDLE{nullptr});  // cannot grow read-only
    if (asked != 0) size = asked;
    if (size == 0) return Fail(ERROR_FILE_INVALID, HANDLE{nullptr});
    auto mapping = std::make_shared<MappingObject>();
    mapping->fd = fcntl(file->fd, F_DUPFD_CLOEXEC, 0);
    if (mapping->fd < 0) return Fail(ErrorFromErrno(errno), HANDLE{nullptr});
    mapping->size = size;
    mapping->dev = st.st_dev;
    mapping->ino = st.st_ino;
    mapping->share = file->share;
    return InsertHandle(mapping);
}

extern "C" LPVOID MapViewOfFile(HANDLE mappingHandle, DWORD desiredAccess, DWORD offsetHigh,
                                DWORD offsetLow, size_t bytesToMap) {
    auto mapping = LookupHandleAs<MappingObject>(mappingHandle, ObjectKind::Mapping);
    if (!mapping) return nullptr;
    if (desiredAccess != FILE_MAP_READ) return Fail(ERROR_ACCESS_DENIED, LPVOID{nullptr});
    std::uint64_t offset = (static_cast<std::uint64_t>(offsetHigh) << 32) | offsetLow;
    if (offset >= mapping->size) return Fail(ERROR_INVALID_PARAMETER, LPVOID{nullptr});
    std::uint64_t length = bytesToMap ? bytesToMap : mapping->size - offset;
    if (length > mapping->size - offset) return Fail(ERROR_INVALID_PARAMETER, LPVOID{nullptr});
    auto page = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    std::uint64_t aligned = offset - offset % page;
    size_t mapLength = static_cast<size_t>(length + (offset - aligned));
    void* base =
        mmap(nullptr, mapLength, PROT_READ, MAP_PRIVATE, mapping->fd, static_cast<off_t>(aligned));
    if (base == MAP_FAILED) return Fail(ErrorFromErrno(errno), LPVOID{nullptr});
    void* view = static_cast<char*>(base) + (offset - aligned);
    {
        ViewTable& t = Views();
        std::lock_guard<std::mutex> guard(t.lock);
        t.views[view] = View{base, mapLength};
    }
    // Until unmapped the file counts as open for reading: it cannot be truncated under the view.
    RegisterOpen(view, mapping->dev, mapping->ino, GENERIC_READ, mapping->share, true);
    return view;
}

extern "C" BOOL UnmapViewOfFile(LPCVOID baseAddress) {
    ViewTable& t = Views();
    View view;
    {
        std::lock_guard<std::mutex> guard(t.lock);
        auto it = t.views.find(baseAddress);
        if (it == t.views.end()) return Fail(ERROR_INVALID_ADDRESS, FALSE);
        view = it->second;
        t.views.erase(it);
    }
    UnregisterOpen(baseAddress);
    munmap(view.base, view.length);
    return TRUE;
}
