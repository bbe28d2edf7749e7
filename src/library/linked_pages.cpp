#include "library/linked_pages.h"

#include "core/file.h"
#include "core/text.h"

namespace LinkedPages {
namespace {

// Read whole: a page brings at most a few hundred files.
constexpr int64_t kMaxListBytes = 1 << 22;

bool ListPath(Text& out) {
    Text folder;
    if (!Folders::Books(folder)) return false;
    std::u16string path;
    String wide;
    if (!folder.ToWide(wide)) return false;
    path.assign(wide.Data(), static_cast<size_t>(wide.Length()));
    path += u"\\.linked";
    return out.FromWide(path.c_str());
}

char16_t Fold(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

bool SamePath(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

}  // namespace

bool Contains(const std::vector<std::u16string>& list, const std::u16string& path) {
    for (const std::u16string& p : list)
        if (SamePath(p, path)) return true;
    return false;
}

// One path a line, UTF-16 in the host's byte order.
std::vector<std::u16string> Read() {
    std::vector<std::u16string> out;
    Text path;
    if (!ListPath(path)) return out;
    File file;
    if (!file.Open(path, File::kOpenForReading)) return out;
    const int64_t size = file.Size();
    if (size <= 0 || size > kMaxListBytes) return out;
    std::u16string all(static_cast<size_t>(size) / 2, u'\0');
    if (file.Read(all.data(), static_cast<uint32_t>(all.size() * 2)) != all.size() * 2) return out;
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find(u'\n', start);
        if (end == std::u16string::npos) end = all.size();
        if (end > start) out.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

bool Record(const std::u16string& page, const std::vector<Brought>& brought) {
    const std::vector<std::u16string> before = Read();
    std::vector<std::u16string> list;
    for (const std::u16string& p : before)
        if (!SamePath(p, page)) list.push_back(p);
    for (const Brought& b : brought) {
        if (SamePath(b.path, page) || Contains(list, b.path)) continue;
        if (b.existed && !Contains(before, b.path)) continue;  // a book of its own already
        list.push_back(b.path);
    }
    if (list == before) return true;
    Text path;
    if (!ListPath(path)) return false;
    std::u16string all;
    for (const std::u16string& p : list) all += p + u"\n";
    File file;
    if (!file.Open(path, File::kCreateForWriting)) return false;
    const uint32_t bytes = static_cast<uint32_t>(all.size() * 2);
    return file.Write(all.data(), bytes) == bytes;
}

}  // namespace LinkedPages
