// Shell toolkit tests: a window test whose dialogs never wait for a person, with a menu reader
// and fakes of what the bars and dialogs ask of the reader.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "core/platform_helpers.h"
#include "core/resources.h"
#include "core/string.h"
#include "platform/dialog/answers.h"
#include "platform/menu/menu.h"
#include "shell_ui/reader_menu_bars.h"
#include "shell_ui/small_dialogs.h"
#include "support/platform/window_fixture.h"

namespace fvt::test {

class UiTest : public WindowTest {
protected:
    explicit UiTest(const std::string& profile = "clock = virtual\n") : WindowTest(profile) {}
    void SetUp() override {
        WindowTest::SetUp();
        Resources::FlushCache();
        fvt::SetAnswersFromUser(false);
        fvt::ClearAnswers();
    }
    void TearDown() override {
        fvt::ClearAnswers();
        WindowTest::TearDown();
        Resources::FlushCache();  // the cached texts are freed only here
    }
};

inline std::u16string U(const String& s) {
    return std::u16string(s.Data(), static_cast<size_t>(s.Length()));
}

// True when a line of the shell log holds the text.
inline bool LogHas(const std::string& text) {
    for (const std::string& line : fvt::ShellLog())
        if (line.find(text) != std::string::npos) return true;
    return false;
}

inline std::u16string TextOf(HWND hwnd) {
    WCHAR buffer[1024] = {};
    GetWindowTextW(hwnd, buffer, 1024);
    return buffer;
}

inline std::u16string Res(uint32_t id) {
    const char16_t* text = LoadResString(id);
    return text ? text : u"";
}

// The text of a menu item (by command), and its state bits.
inline std::u16string ItemText(HMENU menu, UINT item, bool byPosition = false) {
    WCHAR buffer[256] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING;
    info.dwTypeData = buffer;
    info.cch = 256;
    if (!GetMenuItemInfoW(menu, item, byPosition ? TRUE : FALSE, &info)) return u"<none>";
    return buffer;
}
inline UINT ItemState(HMENU menu, UINT item) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STATE;
    if (!GetMenuItemInfoW(menu, item, FALSE, &info)) return 0xFFFFFFFF;
    return info.fState;
}
inline bool IsGrayed(HMENU menu, UINT item) {
    return (ItemState(menu, item) & MFS_GRAYED) != 0;
}
inline bool IsCheckedItem(HMENU menu, UINT item) {
    return (ItemState(menu, item) & MFS_CHECKED) != 0;
}
inline std::vector<UINT> ItemIds(HMENU menu) {
    std::vector<UINT> ids;
    for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        ids.push_back(info.wID);
    }
    return ids;
}

// What the bars ask, set by the test; commands run are recorded.
class FakeBarState : public ReaderBarState {
public:
    std::map<int32_t, bool> disabled;
    int32_t page = 5, count = 10;
    bool countKnown = true, bookmark = false, fullScreen = false, progressBar = false, cover = false;
    std::vector<std::u16string> navigation, recent, tracks;
    std::vector<int32_t> commands, opened, openedRecent, selectedTracks;
    std::vector<UINT> notices;
    int lastPageCalls = 0;
    HWND view = nullptr;

    bool IsCommandEnabled(int32_t c) override { return !disabled[c]; }
    int32_t CurrentPage() override { return page; }
    int32_t PageCount() override { return count; }
    bool IsPageCountKnown() override { return countKnown; }
    bool HasBookmarkAtPage() override { return bookmark; }
    bool IsFullScreen() override { return fullScreen; }
    bool ShowsProgressBar() override { return progressBar; }
    bool HasCoverPage() override { return cover; }
    int32_t NavigationCount() override { return static_cast<int32_t>(navigation.size()); }
    bool NavigationTitle(int32_t i, String& t) override {
        t = String(navigation[static_cast<size_t>(i)].c_str());
        return !t.IsEmpty();
    }
    void OpenNavigation(int32_t i) override { opened.push_back(i); }
    void GoToLastPage() override { ++lastPageCalls; }
    int32_t RecentCount() override { return static_cast<int32_t>(recent.size()); }
    bool RecentTitle(int32_t i, String& t) override {
        t = String(recent[static_cast<size_t>(i)].c_str());
        return true;
    }
    void OpenRecent(int32_t i) override { openedRecent.push_back(i); }
    int32_t TrackCount() override { return static_cast<int32_t>(tracks.size()); }
    bool TrackTitle(int32_t i, String& t) override {
        t = String(tracks[static_cast<size_t>(i)].c_str());
        return true;
    }
    void SelectTrack(int32_t i) override { selectedTracks.push_back(i); }
    void RunCommand(int32_t c) override { commands.push_back(c); }
    void PostViewNotice(UINT m) override { notices.push_back(m); }
    HWND ViewWindow() override { return view; }
};

// What the dialogs ask; pages and volume are plain values, searches scripted.
class FakeDialogState : public ReaderDialogState {
public:
    int32_t pages = 12, current = 3;
    std::vector<int32_t> wentTo;
    uint32_t volume = 0x8000;
    std::vector<uint32_t> volumes;
    int marksCleared = 0;
    bool document = true;
    int64_t pageStart = 100;
    // The next search: hit or not, the direction and bound it hands back.
    bool hit = true;
    FindDirection answerDirection = FindDirection::kNext;
    int64_t movedBound = 200, hitAt = 150;
    struct Call {
        std::u16string text;
        bool wholeWord, matchCase;
        FindDirection direction;
        int64_t start, end;
    };
    std::vector<Call> searches;
    std::vector<int64_t> positions;
    struct Storage {
        std::u16string name;
        uint64_t freeBytes, totalBytes;
    };
    std::vector<Storage> storages;
    uint32_t books = 0;
    uint64_t bookBytes = 0;

    int32_t PageCount() override { return pages; }
    int32_t CurrentPage() override { return current; }
    bool GoToPage(int32_t p) override {
        wentTo.push_back(p);
        current = p;
        return true;
    }
    uint32_t GetVolume() override { return volume; }
    void SetVolume(uint32_t v) override { volumes.push_back(v); }
    void ClearCurrentBlockMarks() override { ++marksCleared; }
    bool HasDocument() override { return document; }
    int64_t PageStart() override { return pageStart; }
    bool Search(const String& text, bool wholeWord, bool matchCase, FindDirection& direction,
                int64_t& start, int64_t& end, int64_t& at) override {
        searches.push_back({U(text), wholeWord, matchCase, direction, start, end});
        if (!hit) return false;
        direction = answerDirection;
        if (direction == FindDirection::kFirst || direction == FindDirection::kNext)
            start = movedBound;
        else
            end = movedBound;
        at = hitAt;
        return true;
    }
    bool GoToPosition(int64_t p) override {
        positions.push_back(p);
        return true;
    }
    int32_t StorageCount() override { return static_cast<int32_t>(storages.size()); }
    bool StorageInfo(int32_t i, String& name, uint64_t& f, uint64_t& t) override {
        const Storage& s = storages[static_cast<size_t>(i)];
        name = String(s.name.c_str());
        f = s.freeBytes;
        t = s.totalBytes;
        return true;
    }
    void BookTotals(uint32_t& c, uint64_t& b) override {
        c = books;
        b = bookBytes;
    }
};

}  // namespace fvt::test
