#include "bookfiles/database_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace DatabaseFile {
namespace {

long long g_failAfter = -1;

int ErrorFromErrno(int e) {
    if (e == ENOENT || e == ENOTDIR) return 11;
    if (e == ENOMEM) return 12;
    return 14;
}

// Writes everything, or fails; honours the test hook.
bool WriteFully(int fd, const std::uint8_t* bytes, std::size_t size) {
    while (size > 0) {
        std::size_t chunk = size;
        if (g_failAfter >= 0) {
            if (g_failAfter == 0) {
                errno = ENOSPC;
                return false;
            }
            if (static_cast<long long>(chunk) > g_failAfter) chunk = static_cast<std::size_t>(g_failAfter);
        }
        ssize_t n = ::write(fd, bytes, chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (g_failAfter >= 0) g_failAfter -= n;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

Mapping::~Mapping() { Close(); }

void Mapping::Close() {
    if (mapped_) ::munmap(const_cast<std::uint8_t*>(data_), size_);
    data_ = nullptr;
    size_ = 0;
    mapped_ = false;
}

int Mapping::Open(const char* path) {
    Close();
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return ErrorFromErrno(errno);
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return 14;
    }
    if (st.st_size > 0) {
        void* p = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (p == MAP_FAILED) {
            int e = errno;
            ::close(fd);
            return e == ENOMEM ? 12 : 14;
        }
        data_ = static_cast<const std::uint8_t*>(p);
        size_ = static_cast<std::size_t>(st.st_size);
        mapped_ = true;
    }
    ::close(fd);
    return 0;
}

bool Exists(const char* path) {
    struct stat st;
    return ::stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

int ReadAll(const char* path, std::vector<std::uint8_t>* out) {
    out->clear();
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return ErrorFromErrno(errno);
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return 14;
    }
    try {
        out->resize(static_cast<std::size_t>(st.st_size));
    } catch (...) {
        ::close(fd);
        return 12;
    }
    std::size_t got = 0;
    while (got < out->size()) {
        ssize_t n = ::read(fd, out->data() + got, out->size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (got != out->size()) {
        out->clear();
        return 14;
    }
    return 0;
}

bool Replace(const char* path, const std::uint8_t* bytes, std::size_t size) {
    std::string temp = std::string(path) + ".tmp";
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = WriteFully(fd, bytes, size) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(temp.c_str(), path) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable.
    std::string folder(path);
    std::size_t slash = folder.rfind('/');
    folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : folder.substr(0, slash));
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool Remove(const char* path) { return ::unlink(path) == 0; }

void FailWritesAfterForTesting(long long bytes) { g_failAfter = bytes; }

}  // namespace DatabaseFile
