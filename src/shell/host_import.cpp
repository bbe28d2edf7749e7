#include "shell/host_import.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <new>
#include <vector>

#include "core/file.h"
#include "core/string.h"
#include "core/text.h"
#include "library/linked_pages.h"
#include "platform/kernel/wide.h"
#include "platform/storage/files.h"

namespace {

std::u16string Wide(const std::string& utf8) {
    Text text;
    String wide;
    if (!text.AssignUtf8(utf8.c_str(), utf8.size()) || !text.ToWide(wide)) return {};
    return std::u16string(wide.Data(), static_cast<size_t>(wide.Length()));
}

bool ToText(const std::u16string& path, Text& out) {
    return out.FromWide(path.data(), static_cast<int32_t>(path.size()));
}

bool IsRegularHostFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// ASCII only, as the C library's in the "C" locale the program runs in.
char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = Lower(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// "%xx" and the one entity a link usually carries.
std::string Decoded(std::string_view value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size()) {
            int high = HexValue(value[i + 1]), low = HexValue(value[i + 2]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        if (value.compare(i, 5, "&amp;") == 0) {
            out += '&';
            i += 4;
            continue;
        }
        out += value[i];
    }
    return out;
}

// The link as a relative file path, or empty when it names no file beside the page.
std::string RelativeFile(std::string_view value) {
    while (!value.empty() && IsSpace(value.front())) value.remove_prefix(1);
    while (!value.empty() && IsSpace(value.back())) value.remove_suffix(1);
    size_t cut = value.find_first_of("#?");
    if (cut != std::string_view::npos) value = value.substr(0, cut);
    if (value.empty() || value.front() == '/' || value.front() == '\\') return {};
    // A scheme ("http:", "oeb:", "mailto:") comes before any separator.
    size_t colon = value.find(':');
    if (colon != std::string_view::npos && colon < value.find_first_of("/\\")) return {};
    std::string path = Decoded(value);
    std::replace(path.begin(), path.end(), '\\', '/');
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty() && parts.back() != "..")
                parts.pop_back();
            else
                parts.push_back(part);
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    if (parts.empty() || parts.back() == "..") return {};
    std::string out;
    for (const std::string& part : parts) {
        if (part.find('\0') != std::string::npos) return {};
        out += (out.empty() ? "" : "/") + part;
    }
    return out;
}

// The attribute names whose values are the page's links to files, in any case.
bool IsLinkAttribute(std::string_view name) {
    auto is = [name](std::string_view lower) {
        if (name.size() != lower.size()) return false;
        for (size_t k = 0; k < name.size(); ++k)
            if (Lower(name[k]) != lower[k]) return false;
        return true;
    };
    return is("src") || is("href") || is("background") || is("data");
}

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == ':';
}

// Writes what `fill` puts into the file to a temporary beside the device target, then renames
// it over the target; on any failure the temporary goes and the target stays as it was.
template <class Fill>
bool WriteAndReplace(const std::u16string& target, Fill fill) {
    const std::u16string temp = target + u".tmp";
    Text tempPath;
    if (!ToText(temp, tempPath)) return false;
    File out;
    if (!out.Open(tempPath, File::kCreateForWriting)) return false;
    bool ok = fill(out);
    // On the disk before the old file is replaced.
    if (ok && !FlushFileBuffers(out.Handle())) ok = false;
    out.Close();
    if (ok && !MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) ok = false;
    if (!ok) DeleteFileW(temp.c_str());
    return ok;
}

// Copies the host file to the device target, a block at a time.
bool CopyFile(const std::string& hostPath, const std::u16string& target) {
    std::ifstream in(hostPath, std::ios::binary);
    if (!in) return false;
    return WriteAndReplace(target, [&in](File& out) {
        std::vector<char> buffer(1 << 16);
        for (;;) {
            in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            const std::streamsize n = in.gcount();
            if (n > 0 && out.Write(buffer.data(), static_cast<uint32_t>(n)) != static_cast<uint32_t>(n))
                return false;
            if (in.eof()) return true;
            if (!in) return false;
        }
    });
}

// A host file's bytes, held in storage that is not cleared before they are read into it.
struct HostBytes {
    std::unique_ptr<char[]> data;
    size_t size = 0;

    std::string_view View() const { return {data.get(), size}; }
};

// Writes bytes already read to the device target.
bool WriteCopy(const HostBytes& bytes, const std::u16string& target) {
    return WriteAndReplace(target, [&bytes](File& out) {
        constexpr size_t kBlock = size_t{1} << 20;
        for (size_t at = 0; at < bytes.size; at += kBlock) {
            const auto n = static_cast<uint32_t>(std::min(kBlock, bytes.size - at));
            if (out.Write(bytes.data.get() + at, n) != n) return false;
        }
        return true;
    });
}

// The whole host file, read straight into storage of its size (one byte more, to meet its end
// in the same read); a file that grew since its size was taken is read to its end as it is now.
bool ReadHostFile(const std::string& hostPath, HostBytes& bytes) {
    std::ifstream in(hostPath, std::ios::binary | std::ios::ate);
    if (!in) return false;
    const std::streamoff size = in.tellg();
    if (size < 0) return false;
    in.seekg(0);
    size_t capacity = static_cast<size_t>(size) + 1;
    bytes.data.reset(new (std::nothrow) char[capacity]);
    bytes.size = 0;
    if (!bytes.data) return false;
    for (;;) {
        if (bytes.size == capacity) {
            std::unique_ptr<char[]> more(new (std::nothrow) char[capacity * 2]);
            if (!more) return false;
            std::copy(bytes.data.get(), bytes.data.get() + bytes.size, more.get());
            bytes.data = std::move(more);
            capacity *= 2;
        }
        in.read(bytes.data.get() + bytes.size, static_cast<std::streamsize>(capacity - bytes.size));
        bytes.size += static_cast<size_t>(in.gcount());
        if (in.eof()) return true;
        if (!in) return false;
    }
}

std::vector<std::u16string> Components(const std::u16string& devicePath) {
    std::vector<std::u16string> parts;
    size_t start = 0;
    while (start <= devicePath.size()) {
        size_t end = devicePath.find(u'\\', start);
        if (end == std::u16string::npos) end = devicePath.size();
        if (end > start) parts.push_back(devicePath.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::u16string Joined(const std::vector<std::u16string>& parts, size_t count) {
    std::u16string out;
    for (size_t i = 0; i < count; ++i) out += u"\\" + parts[i];
    return out;
}

}  // namespace

namespace HostImport {

bool IsHtmlName(std::string_view name) {
    size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos) return false;
    std::string ext;
    for (char c : name.substr(dot + 1)) ext += Lower(c);
    return ext == "htm" || ext == "html" || ext == "xhtml";
}

std::vector<std::string> LinkedFiles(std::string_view html) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < html.size()) {
        size_t open = html.find('<', i);
        if (open == std::string_view::npos) break;
        // Comments hold no links.
        if (open + 1 < html.size() && html[open + 1] == '!' && html.compare(open, 4, "<!--") == 0) {
            size_t end = html.find("-->", open + 4);
            if (end == std::string_view::npos) break;
            i = end + 3;
            continue;
        }
        size_t close = html.find('>', open + 1);
        if (close == std::string_view::npos) close = html.size();
        // The attributes of one tag: name, optional "=" and a value quoted or not.
        size_t at = open + 1;
        while (at < close && IsNameChar(html[at])) ++at;  // the tag's name
        while (at < close) {
            while (at < close && (IsSpace(html[at]) || html[at] == '/')) ++at;
            size_t nameStart = at;
            while (at < close && IsNameChar(html[at])) ++at;
            if (at == nameStart) {
                ++at;
                continue;
            }
            const std::string_view name = html.substr(nameStart, at - nameStart);
            while (at < close && IsSpace(html[at])) ++at;
            if (at >= close || html[at] != '=') continue;
            ++at;
            while (at < close && IsSpace(html[at])) ++at;
            std::string_view value;
            if (at < html.size() && (html[at] == '"' || html[at] == '\'')) {
                const char quote = html[at];
                size_t end = html.find(quote, at + 1);
                if (end == std::string_view::npos) end = html.size();
                value = html.substr(at + 1, end - at - 1);
                at = end + 1;
                // A quoted value may hold '>': the tag ends after it.
                if (at > close) {
                    close = html.find('>', at);
                    if (close == std::string_view::npos) close = html.size();
                }
            } else {
                size_t start = at;
                while (at < close && !IsSpace(html[at])) ++at;
                value = html.substr(start, at - start);
            }
            if (!IsLinkAttribute(name)) continue;
            std::string file = RelativeFile(value);
            if (!file.empty() && std::find(out.begin(), out.end(), file) == out.end())
                out.push_back(std::move(file));
        }
        i = close + 1;
    }
    return out;
}

Result CopyBook(const std::string& hostPath) {
    Result result;
    Text folder;
    if (!Folders::Books(folder)) return result;
    String wideFolder;
    if (!folder.ToWide(wideFolder)) return result;
    const std::u16string books(wideFolder.Data(), static_cast<size_t>(wideFolder.Length()));
    const size_t slash = hostPath.find_last_of('/');
    const std::string name = slash == std::string::npos ? hostPath : hostPath.substr(slash + 1);
    const std::string hostFolder = slash == std::string::npos ? "." : hostPath.substr(0, slash);
    const std::u16string leaf = Wide(name);
    if (leaf.empty()) return result;
    const std::u16string target = books + u"\\" + leaf;
    if (!IsHtmlName(name)) {
        if (!CopyFile(hostPath, target)) return result;
        result.devicePath = target;
        LinkedPages::Record(target, {});  // opened by itself: a book, whatever brought it
        return result;
    }

    // A page is read once: the copy and its links come from the same bytes.
    HostBytes page;
    if (!ReadHostFile(hostPath, page) || !WriteCopy(page, target)) return result;
    result.devicePath = target;
    const std::vector<std::u16string> base = Components(books);
    size_t copied = 0;
    std::vector<LinkedPages::Brought> brought;
    for (const std::string& link : LinkedFiles(page.View())) {
        if (copied >= kMaxLinkedFiles) break;
        const std::string source = hostFolder + "/" + link;
        if (!IsRegularHostFile(source)) continue;  // a link to nothing is the page's own matter
        // The same place relative to the copy. The reader takes a page's pictures from its own
        // folder and below only, so a link that climbs out brings nothing.
        if (link.compare(0, 3, "../") == 0) continue;
        std::vector<std::u16string> parts(base);
        std::vector<std::u16string> tail;
        bool named = true;
        size_t start = 0;
        while (start <= link.size()) {
            size_t end = link.find('/', start);
            if (end == std::string::npos) end = link.size();
            const std::u16string wide = Wide(link.substr(start, end - start));
            if (wide.empty()) named = false;
            tail.push_back(wide);
            start = end + 1;
        }
        if (!named || tail.empty()) continue;
        parts.insert(parts.end(), tail.begin(), tail.end() - 1);
        const std::u16string destinationFolder = Joined(parts, parts.size());
        const std::u16string destination = destinationFolder + u"\\" + tail.back();
        if (destination == target) continue;
        // The device tells names apart only by more than case: a file whose name is another's
        // in another case would land on it, the book itself or a file brought before.
        if (fvt::EqualsNoCase(destination, target) ||
            std::any_of(brought.begin(), brought.end(), [&](const LinkedPages::Brought& b) {
                return fvt::EqualsNoCase(destination, b.path);
            })) {
            result.clashing.push_back(source);
            continue;
        }
        ++copied;
        Text folderText, destinationText;
        const bool existed = ToText(destination, destinationText) && Files::Exists(destinationText);
        if (!ToText(destinationFolder, folderText) || !Folders::Ensure(folderText) ||
            !CopyFile(source, destination))
            result.notCopied.push_back(source);
        else
            brought.push_back({destination, existed});
    }
    // The library lists the page; what it brought reads through its links.
    LinkedPages::Record(target, brought);
    return result;
}

}  // namespace HostImport
