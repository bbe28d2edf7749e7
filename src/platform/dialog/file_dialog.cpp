// The open and save dialogs. Answered from the queue, the choice is the answer's device path
// (several paths, one a line, for a multiple selection of one folder); an empty answer or none
// cancels. A person on screen gets a plain dialog over the device's folders instead: the folder,
// its sub-folders and the files the chosen filter lets through, and a name field.
#include <algorithm>
#include <vector>

#include "platform/dialog/answers.h"
#include "platform/dialog/dialog.h"
#include "platform/dialog/dialog_template.h"
#include "platform/storage/files.h"
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

constexpr int kFolderLabel = 100;
constexpr int kEntries = 101;
constexpr int kName = 102;

struct Browse {
    std::u16string folder;  // a device path, "\\" for the root
    std::vector<std::u16string> patterns;
    std::vector<std::u16string> entries;  // folders end with a backslash; ".." goes up
    std::u16string chosen;
};

char16_t Lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

// '*' and '?' wildcards, without regard to case.
bool Matches(const std::u16string& name, size_t n, const std::u16string& pattern, size_t p) {
    for (; p < pattern.size(); ++p, ++n) {
        if (pattern[p] == u'*') {
            for (size_t k = n; k <= name.size(); ++k)
                if (Matches(name, k, pattern, p + 1)) return true;
            return false;
        }
        if (n >= name.size() || (pattern[p] != u'?' && Lower(pattern[p]) != Lower(name[n])))
            return false;
    }
    return n == name.size();
}

std::u16string Join(const std::u16string& folder, const std::u16string& name) {
    return folder.empty() || folder.back() == u'\\' ? folder + name : folder + u"\\" + name;
}

// The patterns of filter `index` (1-based) in a list of label and pattern pairs.
std::vector<std::u16string> Patterns(LPCWSTR filter, DWORD index) {
    std::vector<std::u16string> parts;
    for (const WCHAR* at = filter; at && *at; at += std::char_traits<char16_t>::length(at) + 1)
        parts.emplace_back(at);
    size_t i = 2 * (index ? index - 1 : 0) + 1;
    std::vector<std::u16string> out;
    if (i >= parts.size()) return {u"*"};
    std::u16string spec = parts[i];
    size_t start = 0;
    while (start <= spec.size()) {
        size_t end = spec.find(u';', start);
        if (end == std::u16string::npos) end = spec.size();
        if (end > start) out.push_back(spec.substr(start, end - start));
        start = end + 1;
    }
    return out.empty() ? std::vector<std::u16string>{u"*"} : out;
}

void Fill(HWND dialog, Browse* b) {
    std::vector<std::u16string> folders, files;
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW(Join(b->folder, u"*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::u16string name = found.cFileName;
            if (name == u"." || name == u"..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                folders.push_back(name + u"\\");
                continue;
            }
            for (const auto& p : b->patterns)
                if (Matches(name, 0, p, 0)) {
                    files.push_back(name);
                    break;
                }
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    std::sort(folders.begin(), folders.end());
    std::sort(files.begin(), files.end());
    b->entries.clear();
    if (b->folder != u"\\") b->entries.push_back(u"..");
    b->entries.insert(b->entries.end(), folders.begin(), folders.end());
    b->entries.insert(b->entries.end(), files.begin(), files.end());
    SendDlgItemMessageW(dialog, kEntries, LB_RESETCONTENT, 0, 0);
    for (const auto& e : b->entries)
        SendDlgItemMessageW(dialog, kEntries, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(e.c_str()));
    SetDlgItemTextW(dialog, kFolderLabel, b->folder.c_str());
}

INT_PTR BrowseProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWL_USER, lParam);
        SHINITDLGINFO full{SHIDIM_FLAGS, dialog, SHIDIF_SIZEDLGFULLSCREEN};
        SHInitDialog(&full);
        Fill(dialog, reinterpret_cast<Browse*>(lParam));
        return TRUE;
    }
    auto* b = reinterpret_cast<Browse*>(GetWindowLongPtrW(dialog, DWL_USER));
    if (!b || msg != WM_COMMAND) return FALSE;
    int id = LOWORD(wParam);
    if (id == kEntries && HIWORD(wParam) == LBN_SELCHANGE) {
        auto i = static_cast<size_t>(SendDlgItemMessageW(dialog, kEntries, LB_GETCURSEL, 0, 0));
        if (i >= b->entries.size()) return TRUE;
        std::u16string entry = b->entries[i];
        if (entry == u"..") {
            size_t slash = b->folder.find_last_of(u'\\');
            b->folder = slash == 0 || slash == std::u16string::npos ? u"\\" : b->folder.substr(0, slash);
            Fill(dialog, b);
        } else if (entry.back() == u'\\') {
            b->folder = Join(b->folder, entry.substr(0, entry.size() - 1));
            Fill(dialog, b);
        } else {
            SetDlgItemTextW(dialog, kName, entry.c_str());
        }
        return TRUE;
    }
    if (id == IDOK && lParam == 0) {
        WCHAR name[MAX_PATH] = {};
        GetDlgItemTextW(dialog, kName, name, MAX_PATH);
        if (!name[0]) return TRUE;  // nothing chosen yet
        b->chosen = Join(b->folder, name);
        EndDialog(dialog, IDOK);
        return TRUE;
    }
    if (id == IDCANCEL && lParam == 0) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    // The buttons report as controls: they act as the dialog's own OK and Cancel.
    if ((id == IDOK || id == IDCANCEL) && HIWORD(wParam) == BN_CLICKED)
        SendMessageW(dialog, WM_COMMAND, static_cast<WPARAM>(id), 0);
    return TRUE;
}

// The user's choice on screen; empty when cancelled.
std::u16string AskOnScreen(const OPENFILENAMEW* info) {
    fvt::DialogTemplate t;
    t.style = WS_POPUP | WS_VISIBLE;
    t.cx = 100;
    t.cy = 180;
    t.caption = info->lpstrTitle ? info->lpstrTitle : u"";
    const DWORD child = WS_VISIBLE | WS_CHILD;
    t.items = {
        {child, 0, 2, 2, 93, 11, kFolderLabel, u"STATIC", u""},
        {child | WS_BORDER | WS_TABSTOP | LBS_NOTIFY, 0, 0, 16, 100, 120, kEntries, u"LISTBOX", u""},
        {child | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, 140, 100, 12, kName, u"EDIT", u""},
        {child | WS_TABSTOP, 0, 2, 156, 46, 14, IDOK, u"BUTTON", fvt::StandardButtonText(IDOK)},
        {child | WS_TABSTOP, 0, 52, 156, 46, 14, IDCANCEL, u"BUTTON", fvt::StandardButtonText(IDCANCEL)},
    };
    std::vector<BYTE> bytes = fvt::BuildDialogTemplate(t);
    Browse b;
    b.folder = info->lpstrInitialDir && info->lpstrInitialDir[0] ? info->lpstrInitialDir : u"\\";
    b.patterns = Patterns(info->lpstrFilter, info->nFilterIndex);
    INT_PTR r = DialogBoxIndirectParamW(nullptr, reinterpret_cast<const DLGTEMPLATE*>(bytes.data()),
                                        info->hwndOwner, BrowseProc, reinterpret_cast<LPARAM>(&b));
    return r == IDOK ? b.chosen : std::u16string();
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
    if (fvt::AnswersFromUser()) {
        std::u16string chosen = AskOnScreen(info);
        if (!chosen.empty()) paths.push_back(chosen);
    } else if (fvt::TakeAnswer(a)) {
        paths = Lines(a.text);
    }
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
