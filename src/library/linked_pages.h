// The files an HTML page brought along when it was copied in from the host (its linked pages,
// pictures and style sheets) lie beside it so that its links work; they are the page's matter,
// not books of their own. Their device paths are kept in a hidden file of the books folder, and
// the library's scan passes over them. A page that is later opened by itself is a book again.
#pragma once

#include <string>
#include <vector>

namespace LinkedPages {

// The brought-along files, device paths; empty when none were recorded or the list cannot be
// read.
std::vector<std::u16string> Read();

// Records the files `page` brought (`brought`: each with whether it was on the device before the
// copy) and takes `page` itself off the list. A file that was on the device already and is not on
// the list stays a book. False when the list cannot be written.
struct Brought {
    std::u16string path;
    bool existed = false;
};
bool Record(const std::u16string& page, const std::vector<Brought>& brought);

// True when the path (ignoring case) is on the list.
bool Contains(const std::vector<std::u16string>& list, const std::u16string& path);

}  // namespace LinkedPages
