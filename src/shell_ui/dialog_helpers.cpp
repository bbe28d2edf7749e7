#include "shell_ui/dialog_helpers.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "core/platform_helpers.h"
#include "core/resources.h"
#include "platform/controls/controls.h"
#include "platform/dialog/dialog.h"
#include "platform/resources/device_resources.h"
#include "platform/shell/shell.h"

namespace {

constexpr int32_t kDefaultFontPoints = 11;
constexpr int32_t kFaceLimit = 31;
constexpr size_t kFileBuffer = 260;
constexpr size_t kMultiFileBuffer = 2600;
constexpr uint32_t kKilobyteString = 5933;
constexpr uint32_t kMegabyteString = 5934;
constexpr uint32_t kMinuteString = 5935;
constexpr uint32_t kHourString = 5936;

// " " and the unit in the program's language; the English unit when the string is missing.
bool AppendUnit(String& out, uint32_t id, const char* fallback) {
    const char16_t* unit = LoadResString(id);
    if (!out.AppendChar(u' ')) return false;
    return unit && *unit ? out.Append(String(unit)) : out.AppendAscii(fallback);
}

bool OnSmartphone() {
    return GetPlatformType() == 2;
}

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

void CopyFace(LOGFONTW& font, const char16_t* face, int32_t length) {
    if (length > kFaceLimit) length = kFaceLimit;
    for (int32_t i = 0; i < length; ++i) font.lfFaceName[i] = face[i];
    font.lfFaceName[length] = 0;
}

}  // namespace

String ResString(uint32_t id) {
    const char16_t* text = LoadResString(id);
    return String(text ? text : u"");
}

std::u16string Terminated(const String& text) {
    return std::u16string(text.Data(), static_cast<size_t>(text.Length()));
}

int32_t ReportListAddRow(HWND list, int32_t row, const String* cells, int32_t count, LPARAM param,
                         int32_t image) {
    if (!list || count < 1) return -1;
    std::u16string first = Terminated(cells[0]);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM | (image >= 0 ? LVIF_IMAGE : 0);
    item.iItem = row;
    item.pszText = first.data();
    item.lParam = param;
    item.iImage = image;
    auto index = static_cast<int32_t>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (index < 0) return -1;
    for (int32_t column = 1; column < count; ++column) {
        std::u16string text = Terminated(cells[column]);
        LVITEMW cell{};
        cell.mask = LVIF_TEXT;
        cell.iItem = index;
        cell.iSubItem = column;
        cell.pszText = text.data();
        SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&cell));
    }
    return index;
}

void ReportListSelect(HWND list, int32_t row) {
    LVITEMW none{};
    none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
}

bool ReplaceAll(String& text, const char16_t* token, const String& argument) {
    int32_t tokenLength = 0;
    while (token[tokenLength]) ++tokenLength;
    if (tokenLength == 0) return true;
    // Find answers the length when the token is absent.
    int32_t at = text.Find(token, tokenLength, 0);
    while (at >= 0 && at < text.Length()) {
        if (!text.Replace(at, tokenLength, argument.Data(), argument.Length())) return false;
        at = text.Find(token, tokenLength, at + argument.Length());
    }
    return true;
}

int MessageBoxText(HWND owner, const String& caption, const String& text, uint32_t flags) {
    return MessageBoxW(owner, Terminated(text).c_str(), Terminated(caption).c_str(), flags);
}

int MessageBoxRes(HWND owner, uint32_t captionId, uint32_t textId, uint32_t flags) {
    return MessageBoxText(owner, ResString(captionId), ResString(textId), flags | MB_SETFOREGROUND);
}

int MessageBoxRes(HWND owner, uint32_t captionId, uint32_t textId, uint32_t flags,
                  const String& argument) {
    String text = ResString(textId);
    if (!ReplaceAll(text, u"%s", argument)) return 0;
    return MessageBoxText(owner, ResString(captionId), text, flags | MB_SETFOREGROUND);
}

LOGFONTW UiFontRecord(HWND window, int32_t size, const char16_t* face, bool bold, bool antialiased,
                      bool scale, bool italic) {
    LOGFONTW font{};
    if (size == 0) size = kDefaultFontPoints;
    if (!face) face = u"Tahoma";
    if (scale) {
        HDC dc = GetDC(window);
        int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
        if (dc) ReleaseDC(window, dc);
        font.lfHeight = (size * dpi) / -72;
    } else {
        font.lfHeight = size;
    }
    font.lfWeight = bold ? 700 : 400;
    font.lfQuality = antialiased ? 4 : 0;
    font.lfItalic = italic ? 1 : 0;
    font.lfCharSet = 1;
    int32_t length = 0;
    while (face[length]) ++length;
    CopyFace(font, face, length);
    return font;
}

HFONT CreateUiFont(HWND window, int32_t size, const char16_t* face, bool bold, bool antialiased,
                   bool scale, bool italic) {
    LOGFONTW font = UiFontRecord(window, size, face, bold, antialiased, scale, italic);
    return CreateFontIndirectW(&font);
}

LOGFONTW FontByNameRecord(const String& face, int32_t size, bool bold, bool underline, bool italic) {
    LOGFONTW font{};
    font.lfHeight = -size;
    font.lfWeight = bold ? 700 : 400;
    font.lfUnderline = underline ? 1 : 0;
    font.lfItalic = italic ? 1 : 0;
    font.lfCharSet = 1;
    CopyFace(font, face.Data(), face.Length());
    return font;
}

HFONT CreateFontByName(const String& face, int32_t size, bool bold, bool underline, bool italic) {
    LOGFONTW font = FontByNameRecord(face, size, bold, underline, italic);
    return CreateFontIndirectW(&font);
}

String FormatSizeOrDuration(uint32_t value, SizeOrDurationKind kind) {
    String out;
    switch (kind) {
        case SizeOrDurationKind::kNumber:
            out.AppendUnsigned(value, 10);
            break;
        case SizeOrDurationKind::kKilobytes:
            if (value < 1024) {
                out.AppendUnsigned(value, 10);
            } else {
                out.AppendUnsigned(value / 1024, 10);
                out.AppendChar(u',');
                out.AppendUnsigned(value % 1024, 10);
            }
            if (value < 1024)
                AppendUnit(out, kKilobyteString, "KB");
            else
                AppendUnit(out, kMegabyteString, "MB");
            break;
        case SizeOrDurationKind::kMinutes:
            if (value >= 60) {
                out.AppendUnsigned(value / 60, 10);
                AppendUnit(out, kHourString, "Hours");
                out.AppendChar(u' ');
            }
            out.AppendUnsigned(value % 60, 10);
            AppendUnit(out, kMinuteString, "Minutes");
            break;
    }
    return out;
}

bool SplitCommandLine(const String& line, std::vector<String>& words) {
    const char16_t* p = line.Data();
    int32_t n = line.Length();
    int32_t i = 0;
    while (i < n) {
        while (i < n && IsBlank(p[i])) ++i;
        if (i >= n) break;
        String word;
        char16_t quote = p[i];
        if (quote == u'"' || quote == u'\'') {
            ++i;
            while (i < n && p[i] != quote) {
                if (p[i] == u'\\' && i + 1 < n) ++i;
                if (!word.AppendChar(p[i])) return false;
                ++i;
            }
            if (i < n) ++i;  // the closing quote
        } else {
            int32_t start = i;
            while (i < n && !IsBlank(p[i])) ++i;
            if (!word.AppendChars(p + start, i - start)) return false;
        }
        words.push_back(word);
    }
    return true;
}

void SplitProgram(const String& line, String& program, String& parameters) {
    const char16_t* p = line.Data();
    int32_t n = line.Length();
    int32_t start = 0;
    char16_t end = u' ';
    if (n > 0 && p[0] == u'"') {
        start = 1;
        end = u'"';
    }
    int32_t i = start;
    while (i < n && p[i] != end) ++i;
    program.AssignChars(p + start, i - start);
    if (i < n) ++i;  // the character that ended it
    parameters.AssignChars(p + i, n - i);
}

bool ShellOpen(const String& commandLine) {
    String program, parameters;
    SplitProgram(commandLine, program, parameters);
    std::u16string file = Terminated(program), params = Terminated(parameters);
    SHELLEXECUTEINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = 0x40;
    info.lpFile = file.c_str();
    info.lpParameters = params.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteEx(&info) != 0;
}

bool OpenDocument(HWND owner, const String& path) {
    std::u16string file = Terminated(path);
    SHELLEXECUTEINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = 0x40;
    info.hwnd = owner;
    info.lpVerb = u"Open";
    info.lpFile = file.c_str();
    info.lpParameters = u"";
    info.lpDirectory = u"";
    info.nShow = SW_SHOW;
    return ShellExecuteEx(&info) != 0;
}

int32_t ScreenIconSize() {
    return IsHighResolution() ? 32 : 16;
}

HICON LoadIconScaled(uint32_t iconId, int32_t* size) {
    int32_t s = ScreenIconSize();
    if (size) *size = s;
    return static_cast<HICON>(LoadImageW(nullptr, MAKEINTRESOURCEW(iconId), IMAGE_ICON, s, s, 0));
}

HIMAGELIST CreateImageList(int32_t initial, int32_t* size) {
    int32_t s = ScreenIconSize();
    if (size) *size = s;
    HIMAGELIST list = ImageList_Create(s, s, ILC_MASK, initial, 0);
    if (list) ImageList_SetBkColor(list, CLR_NONE);
    return list;
}

int32_t ImageListAddIcon(HIMAGELIST list, uint32_t iconId) {
    if (!list) return -1;
    HICON icon = LoadIconScaled(iconId);
    if (!icon) return -1;
    int32_t index = ImageList_ReplaceIcon(list, -1, icon);
    DestroyIcon(icon);
    return index;
}

bool SetItemIcon(HWND dialog, int32_t id, HICON icon) {
    HWND item = GetDlgItem(dialog, id);
    if (!item) return false;
    auto previous = reinterpret_cast<HICON>(
        SendMessageW(item, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon)));
    // Icons go with DestroyIcon; DeleteObject would leave them alive.
    if (previous && previous != icon) DestroyIcon(previous);
    return true;
}

// Combo items.

int32_t ComboAdd(HWND dialog, int32_t id, const String& text) {
    if (text.IsEmpty()) return -1;
    std::u16string z = Terminated(text);
    LPARAM p = reinterpret_cast<LPARAM>(z.c_str());
    if (OnSmartphone())
        return static_cast<int32_t>(SendDlgItemMessageW(dialog, id, LB_INSERTSTRING, static_cast<WPARAM>(-1), p));
    return static_cast<int32_t>(SendDlgItemMessageW(dialog, id, CB_ADDSTRING, 0, p));
}

int32_t ComboAddRes(HWND dialog, int32_t id, uint32_t stringId) {
    return ComboAdd(dialog, id, ResString(stringId));
}

void ComboReset(HWND dialog, int32_t id) {
    SendDlgItemMessageW(dialog, id, OnSmartphone() ? LB_RESETCONTENT : CB_RESETCONTENT, 0, 0);
}

int32_t ComboGetSel(HWND dialog, int32_t id) {
    return static_cast<int32_t>(SendDlgItemMessageW(dialog, id, OnSmartphone() ? LB_GETCURSEL : CB_GETCURSEL, 0, 0));
}

bool ComboSetSel(HWND dialog, int32_t id, int32_t index) {
    return SendDlgItemMessageW(dialog, id, OnSmartphone() ? LB_SETCURSEL : CB_SETCURSEL,
                               static_cast<WPARAM>(index), 0) != -1;
}

bool ComboSetData(HWND dialog, int32_t id, int32_t index, LPARAM data) {
    return SendDlgItemMessageW(dialog, id, OnSmartphone() ? LB_SETITEMDATA : CB_SETITEMDATA,
                               static_cast<WPARAM>(index), data) != -1;
}

LPARAM ComboGetData(HWND dialog, int32_t id, int32_t index) {
    return SendDlgItemMessageW(dialog, id, OnSmartphone() ? LB_GETITEMDATA : CB_GETITEMDATA,
                               static_cast<WPARAM>(index), 0);
}

int32_t ComboCount(HWND dialog, int32_t id) {
    // On Smartphone the control is a list box: a combo message would answer nothing.
    LRESULT n = SendDlgItemMessageW(dialog, id, OnSmartphone() ? LB_GETCOUNT : CB_GETCOUNT, 0, 0);
    return n < 0 ? 0 : static_cast<int32_t>(n);
}

bool ComboText(HWND dialog, int32_t id, int32_t index, String& out) {
    out.SetEmpty();
    bool phone = OnSmartphone();
    LRESULT length = SendDlgItemMessageW(dialog, id, phone ? LB_GETTEXTLEN : CB_GETLBTEXTLEN,
                                         static_cast<WPARAM>(index), 0);
    if (index < 0 || length < 0) return false;
    std::u16string buffer(static_cast<size_t>(length) + 1, u'\0');
    LRESULT got = SendDlgItemMessageW(dialog, id, phone ? LB_GETTEXT : CB_GETLBTEXT,
                                      static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
    if (got < 0) return false;
    if (got > length) got = length;
    return out.AssignChars(buffer.data(), static_cast<int32_t>(got));
}

bool ComboSelectedText(HWND dialog, int32_t id, String& out) {
    int32_t index = ComboGetSel(dialog, id);
    if (index < 0) {
        out.SetEmpty();
        return false;
    }
    return ComboText(dialog, id, index, out);
}

// Dialog items.

bool SetItemText(HWND dialog, int32_t id, const String& text) {
    return SetDlgItemTextW(dialog, id, Terminated(text).c_str()) != 0;
}

bool SetItemTextLiteral(HWND dialog, int32_t id, const String& text) {
    String doubled(text);
    if (!ReplaceAll(doubled, u"&", String(u"&&"))) return false;
    return SetItemText(dialog, id, doubled);
}

bool SetItemTextRes(HWND dialog, int32_t id, uint32_t stringId) {
    return SetItemText(dialog, id, ResString(stringId));
}

bool SetItemTextRes(HWND dialog, int32_t id, uint32_t stringId, const String& appended) {
    String text = ResString(stringId);
    return text.Append(appended) && SetItemText(dialog, id, text);
}

bool SetItemTextNumber(HWND dialog, int32_t id, double value) {
    if (std::isnan(value)) return SetItemText(dialog, id, String());
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%.2f", value);
    String text;
    return text.AppendAscii(buffer) && SetItemText(dialog, id, text);
}

bool GetWindowString(HWND window, String& out) {
    out.SetEmpty();
    if (!window) return false;
    int length = GetWindowTextLengthW(window);
    if (length <= 0) return true;
    std::u16string buffer(static_cast<size_t>(length) + 1, u'\0');
    int got = GetWindowTextW(window, buffer.data(), length + 1);
    return out.AssignChars(buffer.data(), got < 0 ? 0 : got);
}

bool GetItemText(HWND dialog, int32_t id, String& out) {
    return GetWindowString(GetDlgItem(dialog, id), out);
}

bool SetWindowString(HWND window, const String& text) {
    return SetWindowTextW(window, Terminated(text).c_str()) != 0;
}

RECT GetItemRect(HWND dialog, int32_t id) {
    RECT r{};
    HWND item = GetDlgItem(dialog, id);
    if (!item || !GetWindowRect(item, &r)) return RECT{};
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void MoveWindowTo(HWND window, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (window) MoveWindow(window, left, top, right - left, bottom - top, TRUE);
}

void CenterWindow(HWND window) {
    RECT client{};
    if (!GetClientRect(window, &client)) return;
    int x = (GetSystemMetrics(0) - (client.right - client.left)) / 2;
    int y = (GetSystemMetrics(1) - (client.bottom - client.top)) / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

// File dialogs.

bool FileDialog::Run(HWND owner, bool save, bool multiple, const std::vector<Filter>& filters,
                     uint32_t filterIndex, String& folder, const String& title,
                     std::vector<String>& paths) {
    std::u16string filter;
    for (const Filter& f : filters) {
        filter += f.label;
        filter.push_back(0);
        filter += f.pattern;
        filter.push_back(0);
    }
    filter.push_back(0);
    size_t size = multiple ? kMultiFileBuffer : kFileBuffer;
    std::u16string file(size, u'\0'), fileTitle(size, u'\0');
    std::u16string initial = Terminated(folder), caption = Terminated(title);
    OPENFILENAMEW info{};
    info.lStructSize = sizeof(info);
    info.hwndOwner = owner;
    info.lpstrFilter = filter.c_str();
    info.nFilterIndex = filterIndex;
    info.lpstrFile = file.data();
    info.nMaxFile = static_cast<DWORD>(size);
    info.lpstrFileTitle = fileTitle.data();
    info.nMaxFileTitle = static_cast<DWORD>(size);
    info.lpstrInitialDir = folder.IsEmpty() ? nullptr : initial.c_str();
    info.lpstrTitle = title.IsEmpty() ? nullptr : caption.c_str();
    info.Flags = multiple ? 0x80206 : 6;
    BOOL chosen = save ? GetSaveFileNameW(&info) : GetOpenFileNameW(&info);
    if (!chosen) return false;
    size_t offset = info.nFileOffset;
    if (offset > size) return false;
    // The folder: the buffer up to the name, without the separator before it.
    size_t folderEnd = offset;
    while (folderEnd > 0 && (file[folderEnd - 1] == u'\\' || file[folderEnd - 1] == 0)) --folderEnd;
    String chosenFolder(file.data(), static_cast<int32_t>(folderEnd));
    for (size_t at = offset; at < size && file[at] != 0;) {
        size_t end = file.find(u'\0', at);
        if (end == std::u16string::npos) end = size;
        String path(chosenFolder);
        path.AppendChar(u'\\');
        path.AppendChars(file.data() + at, static_cast<int32_t>(end - at));
        paths.push_back(path);
        if (!multiple) break;
        at = end + 1;
    }
    folder.Assign(chosenFolder);
    return !paths.empty();
}

bool FileDialog::OpenOne(HWND owner, const std::vector<Filter>& filters, String& folder,
                         const String& title, String& path) {
    std::vector<String> paths;
    if (!Run(owner, false, false, filters, 1, folder, title, paths)) return false;
    path.Assign(paths.front());
    return true;
}

bool FileDialog::SaveOne(HWND owner, const std::vector<Filter>& filters, String& folder,
                         const String& title, String& path) {
    std::vector<String> paths;
    if (!Run(owner, true, false, filters, 1, folder, title, paths)) return false;
    path.Assign(paths.front());
    return true;
}
