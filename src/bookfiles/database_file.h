// The few file operations Palm databases need: a read-only mapping, a whole read, and a
// replacement written to a temporary file and renamed over the old one, so that a failure at
// any point leaves the previous file whole. Paths are device paths ("\storage\eBooks\a.prc")
// in UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace DatabaseFile {

// A read-only view of a whole file. Empty files map to an empty view.
class Mapping {
public:
    Mapping() = default;
    ~Mapping();
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;

    // 0, or a book error code (11 missing, 14 cannot open, 12 out of memory).
    int Open(const char* path);
    void Close();
    const std::uint8_t* Data() const { return data_; }
    std::size_t Size() const { return size_; }

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    bool mapped_ = false;
};

bool Exists(const char* path);
// 0, or a book error code (11 missing, 14 cannot open or its folder missing, 12 out of memory).
int ReadAll(const char* path, std::vector<std::uint8_t>* out);
// Writes the bytes to "<path>.tmp", flushes them to the disk and renames the result over
// `path`. False on any failure, and then `path` is as it was.
[[nodiscard]] bool Replace(const char* path, const std::uint8_t* bytes, std::size_t size);
// Replace for a Palm database, unless the file already holds the same database but for its
// dates and change counter: then nothing is written (*written false) and the result is true.
[[nodiscard]] bool ReplaceDatabase(const char* path, const std::uint8_t* bytes, std::size_t size,
                     bool* written = nullptr);
// Replace, unless the file already holds exactly these bytes: then nothing is written
// (*written false) and the result is true.
[[nodiscard]] bool ReplaceIfChanged(const char* path, const std::uint8_t* bytes, std::size_t size,
                      bool* written = nullptr);
// Where `before` (the file's whole bytes as the caller knows them) and `after` differ, writes
// `after` into the file in place: a few bytes rather than the whole file. False (nothing
// written) when the file does not hold exactly `before` or the two differ in size. Without
// `sync` the bytes are left to the system's cache (a killed process loses nothing; a power cut
// may).
[[nodiscard]] bool PatchInPlace(const char* path, const std::vector<std::uint8_t>& before,
                                const std::vector<std::uint8_t>& after, bool sync = true);
bool Remove(const char* path);
// Removes the temporary file that a Replace cut short by a crash left beside `path`; true when
// none is left.
bool RemoveLeftover(const char* path);

// Test hooks: the next writes fail once this many bytes have been written in total (-1:
// never); how many replacements were tried since the start.
void FailWritesAfterForTesting(long long bytes);
long long ReplaceCountForTesting();

}  // namespace DatabaseFile
