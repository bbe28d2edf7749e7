// The open and save dialogs. The choice comes from the answer queue (a device path; several
// paths, one a line, for a multiple selection of one folder); an empty answer or none cancels.
#include <algorithm>
#include <vector>

#include "platform/dialog/answers.h"
#include "platform/dialog/dialog.h"
#include "platform/last_error.h"
#include "platform/shell/shell.h"

namespace {

DWORD g_error = 0;

std::vector<std::u16string> Lines(const std::u16string& text) {
    std::vector<std::u16string> out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(u'\n', start);
        if (end == std::u16string::npos) end = text.size();
        if (end > start) out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

BOOL Run(OPENFILENAMEW* info, const char* kind) {
    g_error = 0;
    if (!info || info->lStructSize != sizeof(OPENFILENAMEW) || !info->lpstrFile ||
        info->nMaxFile == 0) {
        g_error = 0xFFFF;  // the structure itself is wrong
        return FALSE;
    }
    std::string line = std::string(kind) + " " +
                       fvt::LogText(info->lpstrTitle ? info->lpstrTitle : u"") + " in " +
                       fvt::LogText(info->lpstrInitialDir ? info->lpstrInitialDir : u"");
    fvt::Answer a;
    std::vector<std::u16string> paths;
    if (fvt::TakeAnswer(a)) paths = Lines(a.text);
    if (paths.empty()) {
        fvt::AppendShellLog(line + " => cancel");
        return FALSE;
    }
    auto nameAt = [](const std::u16string& p) {
        size_t slash = p.find_last_of(u'\\');
        return slash == std::u16string::npos ? size_t{0} : slash + 1;
    };
    std::u16string out;
    WORD offset = 0;
    bool multi = (info->Flags & OFN_ALLOWMULTISELECT) && paths.size() > 1;
    if (!multi) {
        out = paths[0];
        offset = static_cast<WORD>(nameAt(out));
        out.push_back(u'\0');
    } else {
        // The folder, then each name, each ended by a NUL, and a final NUL.
        std::u16string folder = paths[0].substr(0, nameAt(paths[0]) ? nameAt(paths[0]) - 1 : 0);
        out = folder;
        out.push_back(u'\0');
        offset = static_cast<WORD>(out.size());
        for (const auto& p : paths) {
            out += p.substr(nameAt(p));
            out.push_back(u'\0');
        }
        out.push_back(u'\0');
    }
    if (out.size() > info->nMaxFile) {
        g_error = FNERR_BUFFERTOOSMALL;
        fvt::AppendShellLog(line + " => buffer too small");
        return FALSE;
    }
    std::copy(out.begin(), out.end(), info->lpstrFile);
    info->nFileOffset = offset;
    std::u16string first = multi ? paths[0].substr(nameAt(paths[0])) : paths[0].substr(offset);
    size_t dot = first.find_last_of(u'.');
    info->nFileExtension =
        dot == std::u16string::npos ? 0 : static_cast<WORD>(offset + dot + 1);
    if (info->lpstrFileTitle && info->nMaxFileTitle > 0) {
        size_t n = std::min<size_t>(first.size(), info->nMaxFileTitle - 1);
        std::copy(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(n),
                  info->lpstrFileTitle);
        info->lpstrFileTitle[n] = 0;
    }
    fvt::AppendShellLog(line + " => " + fvt::LogText(paths[0]));
    return TRUE;
}

}  // namespace

extern "C" {

BOOL GetOpenFileNameW(OPENFILENAMEW* info) {
    return Run(info, "GetOpenFileNameW");
}

BOOL GetSaveFileNameW(OPENFILENAMEW* info) {
    return Run(info, "GetSaveFileNameW");
}

DWORD CommDlgExtendedError() {
    return g_error;
}

}  // extern "C"
