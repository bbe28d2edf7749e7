// Files for tests on a device of their own: a fresh host folder opened as the device root, and
// files written into it by name, read back through device paths ("\name").
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "platform/kernel/device.h"

class DeviceFiles {
public:
    DeviceFiles() {
        char pattern[] = "/tmp/fvt-doc-XXXXXX";
        const char* made = mkdtemp(pattern);
        root_ = made ? made : "/tmp";
        fvt::OpenDevice(root_, {}, false);
    }
    ~DeviceFiles() {
        std::string cmd = "rm -rf '" + root_ + "'";
        if (std::system(cmd.c_str()) != 0) {
        }
    }
    // Writes the bytes to the file and answers its device path.
    std::u16string Write(const std::string& name, const std::string& bytes) {
        std::string host = root_ + "/" + name;
        if (FILE* f = std::fopen(host.c_str(), "wb")) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
        std::u16string path = u"\\";
        for (char c : name) path.push_back(static_cast<unsigned char>(c));
        return path;
    }

private:
    std::string root_;
};
