// Files for tests on a device of their own, read back through device paths ("\name").
#pragma once

#include <string>

#include "support/platform/temp_device.h"

class DeviceFiles {
public:
    // Writes the bytes to the file and answers its device path.
    std::u16string Write(const std::string& name, const std::string& bytes) {
        device_.WriteHost(name, bytes);
        std::u16string path = u"\\";
        for (char c : name) path.push_back(static_cast<unsigned char>(c));
        return path;
    }
    bool ok() const { return device_.ok(); }

private:
    fvt::test::TempDevice device_;
};
