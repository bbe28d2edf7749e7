#include "shell/program_status.h"

#include <algorithm>
#include <string>
#include <vector>

#include "core/resources.h"
#include "core/string.h"
#include "platform/dialog/dialog.h"
#include "platform/storage/files.h"
#include "reader/file_messages.h"

namespace {
constexpr uint32_t kErrorCaption = 5018;
constexpr uint32_t kNotSaved = 5522;
bool failed = false;
std::vector<std::u16string> told;  // the files named to the user this run
}  // namespace

void NoteProgramFailure() { failed = true; }

int ProgramStatus() { return failed ? 1 : 0; }

void ReportWriteFailures(HWND owner) {
    std::vector<std::u16string> files;
    if (!fvt::TakeWriteFailures(files)) return;
    failed = true;
    for (std::u16string path : files) {
        // Files are saved through a temporary beside them: the user knows the file it replaces.
        const std::u16string temporary = u".tmp";
        if (path.size() > temporary.size() &&
            path.compare(path.size() - temporary.size(), temporary.size(), temporary) == 0)
            path.resize(path.size() - temporary.size());
        // Each file once a run: a device that stays read-only would only repeat it.
        if (std::find(told.begin(), told.end(), path) != told.end()) continue;
        told.push_back(path);
        const String text = FileMessages::Format(kNotSaved, String(path.c_str()));
        const char16_t* caption = LoadResString(kErrorCaption);
        const std::u16string units(text.Data(), static_cast<size_t>(text.Length()));
        MessageBoxW(owner, units.c_str(), caption ? caption : u"", MB_OK | MB_ICONERROR);
    }
}
