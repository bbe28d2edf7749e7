#include "shell/shell_functions.h"

#include "core/optional_api.h"
#include "core/platform_helpers.h"
#include "core/ref_counted.h"
#include "core/resources.h"
#include "database/resource.h"
#include "document/sources/book_resource.h"
#include "platform/dialog/dialog.h"
#include "platform/kernel/char_conversion.h"
#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/system_info.h"
#include "platform/menu/menu.h"
#include "platform/shell/shell.h"
#include "platform/storage/files.h"
#include "platform/storage/registry.h"
#include "shell_ui/dialog_helpers.h"

namespace ShellFunctions {
namespace {

constexpr const char16_t* kDocuments = u"\\my documents\\";
constexpr uint32_t kAudioAdvice = 5021;
constexpr uint32_t kErrorCaption = 5018;
constexpr uint32_t kPlayerNotFound = 5038;
constexpr uint32_t kPlaylistFailed = 5026;
constexpr uint32_t kNormalDisplayText = 5276;
constexpr uint32_t kTranslationAdvice = 5098;
constexpr uint32_t kDictionaryAdvice = 5099;
constexpr int32_t kTranslationLookup = 46;
constexpr int32_t kMonolingualLookup = 47;
constexpr DWORD kRecorderStyle = VRS_NO_MOVE | VRS_MODAL;

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool EndsWithNoCase(const std::u16string& s, const char16_t* suffix) {
    const std::u16string tail(suffix);
    if (s.size() < tail.size()) return false;
    for (size_t i = 0; i < tail.size(); ++i) {
        if (Lower(s[s.size() - tail.size() + i]) != Lower(tail[i])) return false;
    }
    return true;
}

bool Exists(const std::u16string& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool KeyExists(const char16_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, name, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// Creates the file and writes it whole; a failure part-way leaves no file behind.
bool WriteWhole(const std::u16string& path, const void* bytes, size_t size, bool& created) {
    created = false;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    created = true;
    DWORD written = 0;
    const bool wrote = size > 0xFFFFFFFFu
                           ? false
                           : WriteFile(h, bytes, static_cast<DWORD>(size), &written, nullptr) &&
                                 written == size;
    const bool closed = CloseHandle(h);
    if (wrote && closed) return true;
    DeleteFileW(path.c_str());
    return false;
}

// A message box without a caption.
void Advise(HWND owner, const std::u16string& text, UINT flags) {
    MessageBoxW(owner, text.c_str(), nullptr, flags | MB_SETFOREGROUND);
}

std::u16string ResText(uint32_t id) {
    const char16_t* text = LoadResString(id);
    return text ? std::u16string(text) : std::u16string();
}

bool IsTempTrackName(const std::u16string& name) {
    if (name.size() < 14 || !EndsWithNoCase(name, u".ogg")) return false;
    std::u16string head = name.substr(0, 9);
    for (char16_t& c : head) c = Lower(c);
    if (head != u"temp1_rec" && head != u"temp2_rec") return false;
    for (size_t i = 9; i + 4 < name.size(); ++i)
        if (!IsDigit(name[i])) return false;
    return true;
}

bool Execute(HWND owner, const char16_t* file, const char16_t* parameters, int show) {
    SHELLEXECUTEINFO info{};
    info.cbSize = sizeof info;
    info.hwnd = owner;
    info.lpVerb = u"Open";
    info.lpFile = file;
    info.lpParameters = parameters;
    info.nShow = show;
    return ShellExecuteEx(&info);
}

}  // namespace

PlaylistArgument ParsePlaylistArgument(const std::u16string& text) {
    PlaylistArgument out;
    const size_t hash = text.find(u'#');
    out.name = text.substr(0, hash);
    if (hash == std::u16string::npos) return out;
    size_t i = hash + 1;
    while (i <= text.size()) {
        size_t end = text.find_first_of(u";,", i);
        if (end == std::u16string::npos) end = text.size();
        int64_t value = 0;
        bool digits = end > i;
        for (size_t k = i; k < end && digits; ++k) {
            digits = IsDigit(text[k]);
            if (digits && value < 0x7FFFFFFF) value = value * 10 + (text[k] - u'0');
        }
        if (digits && value <= 0x7FFFFFFF) out.tracks.push_back(static_cast<int32_t>(value));
        i = end + 1;
    }
    return out;
}

std::u16string EscapeMarkup(const std::u16string& text) {
    std::u16string out;
    for (char16_t c : text) {
        switch (c) {
            case u'&': out += u"&amp;"; break;
            case u'<': out += u"&lt;"; break;
            case u'>': out += u"&gt;"; break;
            case u'"': out += u"&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::u16string AsxContent(const std::vector<std::u16string>& paths) {
    std::u16string out = u"<Asx>";
    for (const auto& path : paths) {
        out += u"<Entry>\n<Ref href=\"" + EscapeMarkup(path) + u"\" />\n</Entry>\n";
    }
    return out + u"</Asx>";
}

std::u16string PmpContent(const std::vector<std::u16string>& paths) {
    std::u16string out = u"[Pocket WMP Playlist File v1.0]\r\n[Tracks]\r\n";
    for (const auto& path : paths) {
        const size_t slash = path.find_last_of(u"\\/");
        out += path.substr(slash == std::u16string::npos ? 0 : slash + 1);
        out += u"\r\n";
    }
    return out + u"[Settings]\r\nCurrentTrack=0\r\n";
}

bool HasWmaHandler() { return KeyExists(u".wma"); }
bool HasHtmAssociation() { return KeyExists(u".htm"); }

bool WritePlaylist(const std::u16string& content, bool asx, std::u16string& outPath) {
    outPath = std::u16string(kDocuments) + (asx ? u"playlist.asx" : u"playlist.pmp");
    if (content.empty()) return false;
    const int n = static_cast<int>(content.size());
    const int size = WideCharToMultiByte(0, 0, content.data(), n, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return false;
    std::string bytes(static_cast<size_t>(size), '\0');
    BOOL lost = FALSE;
    if (WideCharToMultiByte(0, 0, content.data(), n, bytes.data(), size, nullptr, &lost) != size ||
        lost) {
        return false;  // a path the player could not find
    }
    bool created = false;
    return WriteWhole(outPath, bytes.data(), bytes.size(), created);
}

bool WriteTrack(int32_t index, const uint8_t* bytes, size_t size, std::u16string& outPath) {
    if (index < 0) return false;
    for (const char16_t* prefix : {u"temp1_rec", u"temp2_rec"}) {
        outPath = std::u16string(kDocuments) + prefix;
        for (char c : std::to_string(index)) outPath += static_cast<char16_t>(c);
        outPath += u".ogg";
        bool created = false;
        if (WriteWhole(outPath, bytes, size, created)) return true;
        // Only a file the player holds sends us to the second name; a short write does not.
        if (created) return false;
    }
    return false;
}

void DeleteTempTracks() {
    WIN32_FIND_DATAW found{};
    const std::u16string pattern = std::u16string(kDocuments) + u"temp*_rec*.ogg";
    HANDLE find = FindFirstFileW(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    std::vector<std::u16string> stale;
    do {
        const std::u16string name(found.cFileName);
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsTempTrackName(name))
            stale.push_back(std::u16string(kDocuments) + name);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    for (const auto& path : stale) DeleteFileW(path.c_str());
}

bool ReadAudioTrack(Resource* book, int32_t index, std::vector<uint8_t>& out) {
    out.clear();
    if (!book || index <= 0) return false;
    auto handle = RefPtr<DataHandle>::Adopt(book->OpenDataByIndex(index, nullptr));
    if (!handle) return false;
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    const bool audio = handle->GetData(data, length) && data && length >= 4 &&
                       data[0] == 'O' && data[1] == 'g' && data[2] == 'g' && data[3] == 'S';
    if (audio) out.assign(data, data + length);
    return audio;
}

bool WriteBookPlaylist(HWND owner, Resource* book, const std::u16string& name,
                       const std::vector<int32_t>& tracks, std::u16string& outPath) {
    outPath.clear();
    const bool asx = HasWmaHandler();
    if (!book) return false;
    const std::u16string advice = ResText(kAudioAdvice) + u" " + name;
    // Only a book file carries sound records.
    if (!dynamic_cast<BookResource*>(book)) {
        Advise(owner, advice, MB_ICONERROR);
        return false;
    }
    DeleteTempTracks();
    std::vector<std::u16string> written;
    const auto undo = [&written] {
        for (const auto& path : written) DeleteFileW(path.c_str());
    };
    std::vector<uint8_t> bytes;
    for (int32_t index : tracks) {
        if (!ReadAudioTrack(book, index, bytes)) {
            undo();
            Advise(owner, advice, MB_ICONERROR);
            return false;
        }
        std::u16string path;
        if (!WriteTrack(index, bytes.data(), bytes.size(), path)) {
            undo();
            MessageBoxRes(owner, kErrorCaption, kPlayerNotFound, MB_ICONERROR);
            return false;
        }
        written.push_back(path);
    }
    const std::u16string content = asx ? AsxContent(written) : PmpContent(written);
    if (!WritePlaylist(content, asx, outPath)) {
        undo();
        outPath.clear();
        MessageBoxRes(owner, kErrorCaption, kPlaylistFailed, MB_ICONERROR);
        return false;
    }
    return true;
}

bool OpenPlaylist(HWND owner, const std::u16string& path) {
    return !path.empty() && Execute(owner, path.c_str(), nullptr, SW_HIDE);
}

bool StartRecorder(HWND view, const std::u16string& file) {
    if (file.empty()) return false;
    // The menu that started it has gone from the screen before the recorder takes it.
    Sleep(400);
    CM_VOICE_RECORDER info{};
    info.cb = sizeof info;
    info.dwStyle = kRecorderStyle;
    info.xPos = 140;
    info.yPos = 26;
    info.hwndParent = view;
    info.lpszRecordFileName = file.c_str();
    HWND recorder = OptionalApi::VoiceRecorder_Create(&info);
    if (!recorder) return false;
    ShowWindow(recorder, SW_SHOW);
    return true;
}

bool PhoneCall(const std::u16string& number) {
    if (number.empty()) return false;
    return OptionalApi::tapiRequestMakeCallW(number.c_str(), nullptr, nullptr, nullptr) == 0;
}

HMENU BuildPopupMenu(const PopupMenuEntry* entries, uint32_t count, bool fullScreen) {
    HMENU menu = CreatePopupMenu();
    if (!menu) return nullptr;
    for (uint32_t i = 0; entries && i < count; ++i) {
        const PopupMenuEntry& e = entries[i];
        if (e.command == PopupMenuEntry::kSeparator) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        } else if (e.stringId != PopupMenuEntry::kSkipped) {
            const std::u16string text = ResText(e.stringId);
            AppendMenuW(menu, MF_STRING, MenuItem::PopupItem(static_cast<int32_t>(e.command)),
                        text.c_str());
        }
    }
    if (fullScreen) {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        const std::u16string text = ResText(kNormalDisplayText);
        AppendMenuW(menu, MF_STRING, kNormalDisplayItem, text.c_str());
    }
    return menu;
}

int32_t PopupItemCommand(uint32_t item) {
    if (item == kNormalDisplayItem) return kNormalDisplayCommand;
    if (item < kPopupItemBase || item - kPopupItemBase > 0xFFFFFF) return -1;
    return static_cast<int32_t>(item - kPopupItemBase);
}

int32_t RunPopupMenu(HWND view, int32_t x, int32_t y, const PopupMenuEntry* entries,
                     uint32_t count, bool fullScreen, const std::function<bool(int32_t)>& disabled) {
    HMENU menu = BuildPopupMenu(entries, count, fullScreen);
    if (!menu) return -1;
    POINT at{x, y};
    if (view) ClientToScreen(view, &at);
    const auto chosen =
        static_cast<uint32_t>(TrackPopupMenuEx(menu, TPM_RETURNCMD, at.x, at.y, view, nullptr));
    DestroyMenu(menu);
    int32_t command = PopupItemCommand(chosen);
    if ((command == kMonolingualLookup || command == kTranslationLookup) && disabled &&
        disabled(command)) {
        Advise(view,
               ResText(command == kMonolingualLookup ? kDictionaryAdvice : kTranslationAdvice),
               MB_ICONINFORMATION);
        command = -1;
    }
    return command;
}

bool ChooseBookFile(HWND owner, String& path) {
    const std::u16string prc = ResText(5147), html = ResText(5146), txt = ResText(5148),
                         all = ResText(5145);
    const std::vector<FileDialog::Filter> filters = {{prc.c_str(), u"*.PRC;*.PDB"},
                                                     {html.c_str(), u"*.HTML;*.HTM"},
                                                     {txt.c_str(), u"*.TXT"},
                                                     {all.c_str(), u"*.*"}};
    String folder;
    return FileDialog::OpenOne(owner, filters, folder, String(), path);
}

bool OpenWithApplication(HWND owner, const std::u16string& folder, const std::u16string& program,
                         const std::u16string& parameters) {
    if (program.empty() || program.find_first_of(u"\\/:\"") != std::u16string::npos ||
        program == u"." || program == u"..")
        return false;
    std::u16string file;
    if (!parameters.empty() && !ResolveBookFile(folder, parameters, file)) return false;
    if (!file.empty()) file = u"\"" + file + u"\"";
    const std::u16string run =
        EndsWithNoCase(program, u"wordpad.exe") && program.size() == 11 ? u"pword.exe" : program;
    return Execute(owner, run.c_str(), file.empty() ? nullptr : file.c_str(), SW_SHOW);
}

bool BeamAvailable() {
    if (Exists(u"\\windows\\beam.exe")) return true;
    return Exists(GetPlatformType() == 2 ? u"\\windows\\tobex.exe" : u"\\windows\\irsquirt.exe");
}

bool BeamSendFile(HWND owner, const std::u16string& path) {
    const char16_t* program = Exists(u"\\windows\\beam.exe") ? u"beam.exe"
                              : GetPlatformType() == 2     ? u"tobex.exe"
                                                           : u"irsquirt.exe";
    if (path.empty() || path.find(u'"') != std::u16string::npos) return false;
    const std::u16string quoted = u"\"" + path + u"\"";
    return Execute(owner, program, quoted.c_str(), SW_SHOW);
}

bool ResolveBookFile(const std::u16string& folder, const std::u16string& name,
                     std::u16string& out) {
    if (name.empty() || folder.empty()) return false;
    if (name[0] == u'\\' || name[0] == u'/' || name.find(u':') != std::u16string::npos) {
        return false;
    }
    if (EndsWithNoCase(name, u".exe") || EndsWithNoCase(name, u".dll")) return false;
    // Every piece between separators is checked, so "a\..\..\x" cannot climb out.
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of(u"\\/", start);
        if (end == std::u16string::npos) end = name.size();
        const std::u16string piece = name.substr(start, end - start);
        if (piece == u".." || piece == u".") return false;
        start = end + 1;
    }
    out = folder;
    if (out.back() != u'\\') out += u'\\';
    for (char16_t c : name) out += c == u'/' ? u'\\' : c;
    return true;
}

bool OpenWithAssociatedApp(HWND owner, const std::u16string& folder, const std::u16string& name) {
    std::u16string path;
    if (!ResolveBookFile(folder, name, path)) return false;
    return Execute(owner, path.c_str(), nullptr, SW_SHOW);
}

bool OpenDocument(HWND owner, const std::u16string& target) {
    if (target.empty()) return false;
    return Execute(owner, target.c_str(), nullptr, SW_SHOW);
}

bool OpenWithWordProcessor(HWND owner, const std::u16string& program,
                           const std::u16string& document) {
    const std::u16string run =
        EndsWithNoCase(program, u"wordpad.exe") && program.size() == 11 ? u"pword.exe" : program;
    if (run.empty()) return false;
    return Execute(owner, run.c_str(), document.c_str(), SW_SHOW);
}

bool SetFullScreenWindow(HWND window, bool on) {
    if (!window || !OptionalApi::SHFullScreen(window, on ? 34 : 17)) return false;
    RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (!on) SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    return MoveWindow(window, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

bool CopyTextToClipboard(HWND owner, const std::u16string& text) {
    if (text.empty()) return false;
    if (!OpenClipboard(owner)) return false;
    EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(char16_t);
    HLOCAL block = LocalAlloc(LMEM_MOVEABLE, bytes);
    bool ok = false;
    if (block) {
        auto* chars = static_cast<char16_t*>(block);
        text.copy(chars, text.size());
        chars[text.size()] = 0;
        ok = SetClipboardData(CF_UNICODETEXT, block) != nullptr;
        if (!ok) LocalFree(block);
    }
    CloseClipboard();
    return ok;
}

}  // namespace ShellFunctions
