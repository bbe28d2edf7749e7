// Books given by a host path are copied into the device's books folder, since the device reaches
// nothing outside its root. A copy is written to a temporary file beside its target and renamed
// over it only once complete, so a failed copy leaves the book already there (and its side
// file) as it was and no partial file. An HTML page brings the files its links name relative to
// it (pictures, style sheets, linked pages) to the same relative place. The host folder is only
// read.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace HostImport {

// At most this many linked files come with one page.
constexpr std::size_t kMaxLinkedFiles = 256;

// The relative file links of an HTML page (SRC, HREF, BACKGROUND, DATA values), each once and in
// order: without a scheme, not absolute, fragment and query cut, "%xx" and "&amp;" decoded, "."
// parts dropped and ".." parts kept at the front (a link that climbs and comes back down is made
// direct). Host separators are '/'.
std::vector<std::string> LinkedFiles(std::string_view html);

struct Result {
    std::u16string devicePath;           // the book's device path; empty when it was not copied
    std::vector<std::string> notCopied;  // host paths of linked files that could not be copied
    // Host paths of linked files not brought since the device already holds a file of that
    // name in another case (the page itself or a file brought before): that file stays.
    std::vector<std::string> clashing;
};

// Copies the host file into the books folder (and, for an HTML page, the linked files in its
// folder and below that exist on the host, to the same place beside the copy).
Result CopyBook(const std::string& hostPath);

// True for a name whose extension marks an HTML page.
bool IsHtmlName(std::string_view name);

}  // namespace HostImport
