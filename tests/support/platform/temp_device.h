// A fresh emulated device on a temporary host folder for one test; removed afterwards, and in any
// case when the process ends (a fuzz target's device is never destroyed).
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/kernel/device.h"
#include "platform/kernel/kernel_clock.h"

namespace fvt::test {

class TempDevice {
public:
    explicit TempDevice(const std::string& profileText = {}) {
        const std::string folder = fvt::ProcessTempFolder();
        std::string pattern = folder + "/fvt-device-XXXXXX";
        char* made = folder.empty() ? nullptr : mkdtemp(pattern.data());
        base_ = made ? made : "";
        root_ = base_ + "/device";
        ok_ = made && fvt::OpenDevice(root_, profileText);
        if (ok_) root_ = fvt::DeviceRoot();  // as the device resolved it
    }
    ~TempDevice() {
        fvt::CloseDevice();
        std::error_code ignored;
        std::filesystem::remove_all(base_, ignored);
    }
    TempDevice(const TempDevice&) = delete;
    TempDevice& operator=(const TempDevice&) = delete;

    bool ok() const { return ok_; }
    // The host folder of the device root, and a scratch folder beside it (outside the device).
    const std::string& root() const { return root_; }
    std::string outside() const { return base_ + "/outside"; }

    // Host-side helpers for setting up and checking files.
    std::string Host(const std::string& relative) const { return root_ + "/" + relative; }
    void WriteHost(const std::string& relative, const std::string& content) const {
        auto path = std::filesystem::path(Host(relative));
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
    }
    std::string ReadHost(const std::string& relative) const {
        std::ifstream in(Host(relative), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool HostExists(const std::string& relative) const {
        return std::filesystem::exists(std::filesystem::symlink_status(Host(relative)));
    }
    // A file in the scratch folder (books given by host path, screenshots, scripts).
    std::string OutsidePath(const std::string& name) const { return outside() + "/" + name; }
    void WriteOutside(const std::string& name, const std::string& bytes) const {
        std::filesystem::create_directories(outside());
        std::ofstream(OutsidePath(name), std::ios::binary) << bytes;
    }

private:
    std::string base_;
    std::string root_;
    bool ok_ = false;
};

}  // namespace fvt::test
