// The program's entry on the host: the arguments become the device's command line (a book given
// by its host path is copied into the device's books folder first, since the device reaches
// nothing outside its root), then the shell runs.
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/file.h"
#include "core/resources.h"
#include "core/text.h"
#include "platform/kernel/device.h"
#include "platform/kernel/modules.h"
#include "platform/dialog/dialog.h"
#include "platform/kernel/system_info.h"
#include "platform/window/window_layer.h"
#include "shell/app_shell.h"
#include "shell/driver_script.h"
#include "shell/host_import.h"

namespace {
bool IsHostFile(const std::string& arg) {
    struct stat info;
    return !arg.empty() && arg[0] != '\\' && stat(arg.c_str(), &info) == 0 &&
           S_ISREG(info.st_mode);
}

std::u16string FromUtf8(const std::string& s) {
    Text text;
    String wide;
    if (!text.AssignUtf8(s.c_str(), s.size()) || !text.ToWide(wide)) return {};
    return std::u16string(wide.Data(), static_cast<size_t>(wide.Length()));
}

void AppendQuoted(std::u16string& line, const std::u16string& arg) {
    if (!line.empty()) line += u' ';
    const bool quote = arg.empty() || arg.find(u' ') != std::u16string::npos;
    if (quote) line += u'"';
    line += arg;
    if (quote) line += u'"';
}

constexpr uint32_t kErrorCaption = 5018;
constexpr uint32_t kDeviceUnusable = 5521;

// Nothing may touch a device that could not be made: one line on standard error, a box when a
// window can show it, and status 1.
bool DeviceUsable() {
    std::string folder, reason;
    if (fvt::OpenDefaultDevice(folder, reason)) return true;
    std::fprintf(stderr, "folivant: cannot use the device folder %s: %s\n", folder.c_str(),
                 reason.c_str());
    if (fvt::UseDisplayFromEnvironment()) {
        Resources::SetInstance(fvt::ProgramInstance());
        const char16_t* pattern = LoadResString(kDeviceUnusable);
        std::u16string text = pattern ? pattern : u"%1: %2";
        const std::u16string args[2] = {FromUtf8(folder), FromUtf8(reason)};
        for (int n = 1; n >= 0; --n) {
            const std::u16string mark = n == 0 ? u"%1" : u"%2";
            if (size_t at = text.find(mark); at != std::u16string::npos)
                text.replace(at, 2, args[n]);
        }
        const char16_t* caption = LoadResString(kErrorCaption);
        MessageBoxW(nullptr, text.c_str(), caption ? caption : u"", MB_OK | MB_ICONERROR);
    }
    return false;
}
}  // namespace

int main(int argc, char** argv) {
    if (!DeviceUsable()) return 1;
    std::u16string line;
    bool linkedFailed = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::u16string device;
        if (IsHostFile(arg)) {
            const HostImport::Result copy = HostImport::CopyBook(arg);
            if (copy.devicePath.empty()) {
                std::fprintf(stderr, "folivant: cannot copy %s into the device\n", arg.c_str());
                return 1;
            }
            // The page opens without what did not come; the run still says so and fails.
            for (const std::string& file : copy.notCopied) {
                std::fprintf(stderr, "folivant: cannot copy %s into the device\n", file.c_str());
                linkedFailed = true;
            }
            for (const std::string& file : copy.clashing)
                std::fprintf(stderr,
                             "folivant: %s not brought into the device: a file brought there "
                             "has its name in another case\n",
                             file.c_str());
            device = copy.devicePath;
        } else {
            device = FromUtf8(arg);
        }
        AppendQuoted(line, device);
    }
    fvt::SetCommandLine(line);
    fvt::UseDisplayFromEnvironment();
    const int status = WinMain(fvt::ProgramInstance(), nullptr, line.c_str(), 1);
    const int bad = AppShellDriverResult();
    if (bad > 0) {
        std::fprintf(stderr, "folivant: driver script line %d: %s\n", bad,
                     DriverScript::FailureReason().c_str());
        return 2;
    }
    if (bad < 0) {
        std::fprintf(stderr, "folivant: driver script: %s\n", DriverScript::FailureReason().c_str());
        return 2;
    }
    return linkedFailed && status == 0 ? 1 : status;
}
