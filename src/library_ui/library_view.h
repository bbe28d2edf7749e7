// The library view: the full-screen book list the reader shows instead of a book. Rows are the
// present catalogue entries, filtered by book class, file type, reading list or location and
// sorted by one of six keys; a row is one line (title, sort value, rating stars) or, with
// thumbnails, a cover cell with four texts. Its soft-key menu carries the commands, the reading
// list and location filters and the online bookstores of "bookstores.txt".
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/text.h"
#include "library/library.h"
#include "library_ui/list_window_bar.h"
#include "shell_ui/list_window.h"

class BookReleaser;
class ReaderController;
// What the view asks of the shell above it: the options sheet, the About box, the memory
// dialog, beaming, full screen and what lets an open book go. Each false when missing.
class LibraryViewServices {
public:
    // True after OK.
    virtual bool ShowOptions(HWND owner) = 0;
    virtual bool ShowAbout(HWND owner) = 0;
    virtual bool ShowMemoryInfo(HWND owner) = 0;
    // False when there is no beam tool.
    virtual bool Beam(const Text& path) = 0;
    // Full screen on or off, without touching the stored setting.
    virtual bool SetFullScreen(bool on) = 0;
    // Whether the application has an online account ("Online Account" in the bookstore menu).
    virtual bool HasOnlineAccount() const = 0;
    virtual BookReleaser* Releaser() = 0;

protected:
    ~LibraryViewServices() = default;
};

struct Bookstore {
    std::u16string name;
    std::u16string url;
};

namespace LibraryViewText {
// Book classes: 1 eBooks, 2 eNews, 4 eDocs, 8 eAudio, 0 none.
uint32_t BookClassOf(int32_t type);
// File types: 1 HTML, 2 text, 4 PalmDOC, 8 any other.
uint32_t FileTypeOf(int32_t type);
// "eBook"/"eBooks", "eNews", "eDoc"/"eDocs", "eAudio"; empty for no class.
std::u16string BookTypeName(uint32_t bookClass, bool plural);
// Stores of a "bookstores.txt" text: name TAB url per line, up to the first line without a
// TAB. Only http and https addresses are taken; names and addresses are bounded.
std::vector<Bookstore> ParseBookstores(const std::u16string& text);
// Reads the file (byte-order marks of UTF-16 either way and UTF-8; else single-byte).
std::vector<Bookstore> ReadBookstores(const Text& path);
// "Today", "Yesterday", "%1 days ago", "1 month ago", "%1 months ago" for a Unix time, by
// calendar dates in local time against now (a FILETIME in UTC); empty for a future time.
std::u16string FormatRelativeDate(uint32_t unixSeconds, uint64_t nowFileTimeUtc);
}  // namespace LibraryViewText

// One book of the list.
class LibraryRow : public ListItem {
public:
    enum Key : uint32_t { kTitle = 0, kSize = 1, kAuthor = 2, kDate = 3, kLastRead = 4, kRating = 5 };

    explicit LibraryRow(LibraryBook* entry);
    ~LibraryRow() override;
    LibraryRow(const LibraryRow&) = delete;
    LibraryRow& operator=(const LibraryRow&) = delete;

    void GetText(Text& out, uint32_t key) override;
    int Compare(ListItem* other, uint32_t key, uint32_t ascending) override;
    // The row icon: 0 book, 1 news, 2/3 never read, 4 failed to open, 5 HTML, 6 text, 7 PalmDOC.
    static int32_t IconIndexOf(const LibraryBook& book);
    void UpdateIcon() { iconIndex = IconIndexOf(*book); }

    // The cover scaled to fit the cell, made once per cell size; null when the book has none.
    HBITMAP GetCover(int cellWidth, int cellHeight);
    int CoverWidth() const { return coverWidth; }
    int CoverHeight() const { return coverHeight; }
    // The fit of a picture to a cell: the scaled size, or the picture's own when it fits.
    // False for a picture without area.
    static bool FitToCell(uint32_t width, uint32_t height, int cellWidth, int cellHeight,
                          int& outWidth, int& outHeight);

    LibraryBook* book;

private:
    HBITMAP cover = nullptr;
    int coverWidth = 0;
    int coverHeight = 0;
    int cellWidth = 0;
    int cellHeight = 0;
    bool coverTried = false;
};

class LibraryView : public ListWindowWithBar, private LibraryListener {
public:
    static constexpr uint32_t kCommandBase = 10000;
    // Menu id ranges, kept apart: reading lists, moves, location filters, then the list
    // window's own base + 100 ids.
    static constexpr uint32_t kReadingListFirst = 10004;
    static constexpr int32_t kMaxReadingLists = 26;
    static constexpr uint32_t kMoveFirst = 10030;
    static constexpr uint32_t kLocationFirst = 10050;
    static constexpr int32_t kMaxLocations = 20;
    static constexpr uint32_t kBookstoreFirst = 30000;
    static constexpr int32_t kMaxBookstores = 100;
    static constexpr uint32_t kOnlineAccount = 29999;
    static constexpr uint32_t kRescanPosted = 32769;
    static constexpr int32_t kNoFilter = -1;
    static constexpr int32_t kUnfiled = -2;

    LibraryView(ReaderController* controller, Library* library, LibraryViewServices* services);
    ~LibraryView() override;

    // Builds the windows, icons, menu and bar; false when the list cannot be made.
    // The reader's library opens as the plain list (one line a book); `covers` makes the list
    // of cover cells instead.
    bool Create(HWND parentWindow, bool covers = false);
    // Runs a command of the menu, bar or context menu; false when it is not the view's.
    bool OnCommand(uint32_t id) override;
    // Rebuilds the rows from the catalogue and selects the book of the path (empty: keeps).
    void Refresh(const Text& fileName);
    // All present entries again, then Refill.
    void Fill();
    void Refill(uint32_t filterMask);

    void Show(bool show) override;
    void SetFonts(const char16_t* face) override;
    void DrawTitle(ListItem* item, HDC dc, RECT& label) override;
    void DrawIcon(ListItem* item, HDC dc, const RECT& icon) override;
    bool IsBold(ListItem* item) override;
    void OnItemActivated(ListItem* item, bool wasSelected, int x, int y) override;
    void OnDoubleClick(ListItem* item) override;
    void OnSelectionChanged(ListItem* item) override;

    // The rating a tap at x sets on the row, or -1 when x is outside the shown star strip.
    int32_t StarHit(int32_t index, int x) const;
    bool StarsShown() const { return thumbnails != 0 || sortKey == LibraryRow::kRating; }

    // State, for the dialogs and tests.
    uint32_t Filter() const { return filter; }
    uint32_t FileTypes() const { return fileTypes; }
    int32_t ReadingListFilter() const { return readingListFilter; }
    int32_t LocationFilter() const { return locationFilter; }
    bool Ascending() const { return ascending != 0; }
    double TotalBytes() const { return totalBytes; }
    const std::vector<Bookstore>& Bookstores() const { return bookstores; }
    HMENU Menu() const { return menu; }
    std::u16string LeftKeyText() const;
    LibraryRow* SelectedRow() const { return static_cast<LibraryRow*>(GetSelectedData()); }
    Library* Catalogue() const { return library; }
    int IconSize() const { return iconSize; }
    HICON StarIcon() const { return starIcon; }
    // Saves the view kind, sort kind and direction into the settings.
    void SaveViewState();
    void RestoreViewState();

private:
    void LocationAdded(const Text&, const Text&) override { Refresh(Text()); }
    void LocationRemoved(const Text&) override { Refresh(Text()); }
    void MediaInserted(const Text&) override { Refresh(Text()); }
    void MediaRemoved(const Text&) override { Refresh(Text()); }

    void BuildMenu();
    void LoadBookstores();
    void RebuildReadingLists();
    void RebuildLocations();
    void UpdateTitleStrip();
    void SetLeftKey(uint32_t stringId);
    void EnableBookCommands(bool on);
    void ChooseFilter(uint32_t command, uint32_t mask);
    void ChooseSort(uint32_t command, uint32_t key);
    void CheckSortItem();
    void ToggleFileType(uint32_t bit);
    void OpenSelected();
    void DeleteSelected();
    // A folder of books the scan could not read: the user is told which.
    void ReportUnreadableFolder(const Text& folder);
    void ReportDeleteFailure(const LibraryBook& book, LibraryBook::DeleteFailure why);
    void MoveSelected(int32_t location);
    void DrawStars(LibraryRow* row, HDC dc, const RECT& cell) const;
    RECT StarStrip(const RECT& row) const;
    bool RowPasses(const LibraryRow& row) const;
    void ClearRows();

    Library* library;
    std::vector<Bookstore> bookstores;
    HMENU menu = nullptr;
    HMENU readingListMenu = nullptr;
    HMENU storeMenu = nullptr;
    uint32_t filter = 15;
    uint32_t ascending = 1;
    uint32_t fileTypes = 15;
    double totalBytes = 0;
    HICON starIcon = nullptr;
    int iconSize = 16;
    int32_t readingListFilter = kNoFilter;
    int32_t locationFilter = kNoFilter;
    int32_t readingListCount = 0;
    int32_t locationCount = 0;
    bool listening = false;
    bool restored = false;
    std::vector<std::unique_ptr<LibraryRow>> rows;
};
