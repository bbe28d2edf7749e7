// A fresh folder for one test's files under the system's temporary folder ($TMPDIR, else /tmp),
// removed with everything in it when the test is done.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace fvt::test {

class TempFolder {
public:
    TempFolder() {
        std::error_code ec;
        std::string pattern =
            (std::filesystem::temp_directory_path(ec) / "fvt-test-XXXXXX").string();
        if (!ec && mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Empty when the folder could not be made.
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace fvt::test
