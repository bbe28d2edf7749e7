// A host folder outside the device that nothing the device does may touch: filled with a few
// files and a subfolder, and described entry by entry (kind, mode, size, times, contents), so
// that a test compares the description before and after a case.
#pragma once

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fvt::test {

class HostSentinel {
public:
    // Fills `folder` (created when missing) with the given bait files plus a subfolder.
    explicit HostSentinel(std::string folder) : folder_(std::move(folder)) {
        std::filesystem::create_directories(folder_ + "/sub");
        Put("secret.txt", "outside secret");
        Put("sub/deep.txt", "outside deep");
        before_ = Describe();
    }

    const std::string& folder() const { return folder_; }
    // Adds a bait file and takes it into the description.
    void Put(const std::string& relative, const std::string& content) {
        std::ofstream(folder_ + "/" + relative, std::ios::binary) << content;
        before_ = Describe();
    }
    // Empty when nothing changed; else both descriptions, for the failure message.
    std::string Changes() const {
        std::string now = Describe();
        return now == before_ ? std::string() : "before:\n" + before_ + "after:\n" + now;
    }

private:
    std::string Describe() const {
        std::ostringstream out;
        std::error_code error;
        auto options = std::filesystem::directory_options::skip_permission_denied;
        std::vector<std::string> lines;
        for (auto it = std::filesystem::recursive_directory_iterator(folder_, options, error);
             !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
            std::string path = it->path().string();
            struct stat st;
            if (lstat(path.c_str(), &st) != 0) continue;
            std::ostringstream line;
            line << path.substr(folder_.size()) << " mode=" << std::oct << st.st_mode << std::dec
                 << " size=" << st.st_size << " mtime=" << st.st_mtim.tv_sec << "."
                 << st.st_mtim.tv_nsec;
            if (S_ISREG(st.st_mode)) {
                std::ifstream in(path, std::ios::binary);
                line << " content=" << std::string(std::istreambuf_iterator<char>(in), {});
            }
            lines.push_back(line.str());
        }
        std::sort(lines.begin(), lines.end());
        for (auto& l : lines) out << l << "\n";
        return out.str();
    }

    std::string folder_;
    std::string before_;
};

}  // namespace fvt::test
