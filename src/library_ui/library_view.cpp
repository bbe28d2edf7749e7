#include "library_ui/library_view.h"

#include <algorithm>
#include <memory>
#include <string>

#include "bookfiles/book_header.h"
#include "bookfiles/palm_database.h"
#include "core/dates.h"
#include "core/file.h"
#include "core/resources.h"
#include "document/location/location.h"
#include "graphics/core/command_ids.h"
#include "library_ui/book_properties_dialog.h"
#include "library_ui/library_thumbnail.h"
#include "library_ui/reading_lists_dialog.h"
#include "paths/app_paths.h"
#include "platform/dialog/dialog.h"
#include "platform/kernel/modules.h"
#include "platform/kernel/system_time.h"
#include "platform/resources/device_resources.h"
#include "platform/shell/shell.h"
#include "platform/window/cursor.h"
#include "reader/document_controller.h"
#include "reader/menu_items.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"
#include "shell_ui/dialog_helpers.h"

namespace {

// The view's menu items and keys are MenuItem's (reader/menu_items.h).
constexpr uint32_t kMenuId = 104;
constexpr uint32_t kStarIcon = 127;
constexpr uint16_t kRowIcons[9] = {129, 130, 141, 143, 142, 139, 137, 138, 242};
constexpr int kFilterItems = 5;
constexpr size_t kMaxStoreName = 64;
constexpr size_t kMaxStoreUrl = 1024;

// Book classes: the bits of the view's filter.
constexpr uint32_t kEBooks = 1, kENews = 2, kEDocs = 4, kEAudio = 8, kEveryClass = 15;

// The view's strings.
constexpr uint32_t kTodayString = 5238, kYesterdayString = 5239, kMonthsAgoString = 5240,
                   kOneMonthAgoString = 5241, kDaysAgoString = 5242;
constexpr uint32_t kLibraryString = 5063;
constexpr uint32_t kFilterByString = 5284, kReadingListString = 5162, kBookstoreString = 5020;
constexpr uint32_t kReadString = 5352, kExitString = 5311, kOnlineAccountString = 5354;
constexpr uint32_t kAllString = 5159, kEBooksString = 5156, kENewsString = 5158,
                   kEDocsString = 5157, kEAudioString = 5155, kEditListsString = 5160,
                   kUnfiledString = 5161;
constexpr uint32_t kOptionsString = 5395, kPropertiesString = 5448, kDeleteString = 5015,
                   kAboutString = 5083;
constexpr uint32_t kPurchaseDateString = 5282, kLastReadString = 5283, kRatingString = 5122;
constexpr uint32_t kConfirmDeleteCaption = 5375, kConfirmDeleteString = 5322;
constexpr uint32_t kBookInUseString = 5530, kCannotRemoveString = 5531;
constexpr uint32_t kErrorCaption = 5018;

// Sort keys by sort kind (the stored view state) and back.
constexpr uint32_t kKeyOfSortKind[6] = {0, 2, 1, 3, 4, 5};
constexpr uint32_t kSortCommandOfKey[6] = {MenuItem::kSortByTitle,    MenuItem::kSortBySize,
                                           MenuItem::kSortByAuthor,   MenuItem::kSortByDate,
                                           MenuItem::kSortByLastRead, MenuItem::kSortByRating};

std::u16string Str(uint32_t id) {
    const char16_t* s = LoadResString(id);
    return s ? std::u16string(s) : std::u16string();
}

std::u16string Wide(const Text& t) {
    const char16_t* w = t.WideCStr();
    return w ? std::u16string(w) : std::u16string();
}

bool IsHighResolution() {
    HDC dc = GetDC(nullptr);
    int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) ReleaseDC(nullptr, dc);
    return dpi >= 130;
}

// Local calendar date of a UTC FILETIME.
CalendarDate LocalDate(uint64_t fileTimeUtc) {
    FILETIME utc{static_cast<DWORD>(fileTimeUtc), static_cast<DWORD>(fileTimeUtc >> 32)};
    FILETIME local{};
    if (!FileTimeToLocalFileTime(&utc, &local)) local = utc;
    return FileTimeToCalendar((static_cast<uint64_t>(local.dwHighDateTime) << 32) |
                              local.dwLowDateTime);
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[(month + 11) % 12];
}

int LineHeight(HDC dc) {
    TEXTMETRICW metrics{};
    return GetTextMetricsW(dc, &metrics) && metrics.tmHeight > 0 ? metrics.tmHeight : 1;
}

// Word-wraps `text` into `box` in the selected font, keeping only the lines that fit whole:
// a title too long for them loses its end to "...", so it never runs into the texts below.
void DrawWrappedTitle(HDC dc, const std::u16string& text, RECT box) {
    int lineHeight = LineHeight(dc);
    int lines = std::max(1, static_cast<int>((box.bottom - box.top) / lineHeight));
    box.bottom = box.top + lines * lineHeight;
    auto fits = [&](const std::u16string& s) {
        RECT r{box.left, box.top, box.right, box.top};
        DrawTextW(dc, s.c_str(), -1, &r, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
        return r.bottom <= box.bottom && r.right <= box.right;
    };
    std::u16string shown = text;
    if (!text.empty() && !fits(shown)) {
        auto cut = [&](size_t keep) {
            while (keep > 0 && text[keep - 1] == u' ') --keep;
            return text.substr(0, keep) + u"...";
        };
        // The longest start that fits with "...", found by halving: a title of any length
        // costs a few measurements, not one for each character it loses.
        size_t low = 0, high = text.size() - 1;
        while (low < high) {
            const size_t mid = low + (high - low + 1) / 2;
            if (fits(cut(mid))) {
                low = mid;
            } else {
                high = mid - 1;
            }
        }
        shown = cut(low);
    }
    DrawTextW(dc, shown.c_str(), -1, &box, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
}

}  // namespace

namespace LibraryViewText {

uint32_t BookClassOf(int32_t type) {
    if (type == 4) return kEAudio;
    if (type >= 1 && type <= 255) return kEBooks;
    if (type >= 256 && type <= 511) return kENews;
    if (type >= 512 && type <= 767) return kEDocs;
    return 0;
}

uint32_t FileTypeOf(int32_t type) {
    if (type == 702) return 1;
    if (type == 701) return 2;
    if (type == 3) return 4;
    return 8;
}

std::u16string BookTypeName(uint32_t bookClass, bool plural) {
    switch (bookClass) {
        case 1: return plural ? u"eBooks" : u"eBook";
        case 2: return u"eNews";
        case 4: return plural ? u"eDocs" : u"eDoc";
        case 8: return u"eAudio";
        default: return {};
    }
}

std::vector<Bookstore> ParseBookstores(const std::u16string& text) {
    std::vector<Bookstore> out;
    size_t at = 0;
    while (at < text.size() && out.size() < static_cast<size_t>(LibraryView::kMaxBookstores)) {
        size_t end = text.find_first_of(u"\r\n", at);
        if (end == std::u16string::npos) end = text.size();
        std::u16string line = text.substr(at, end - at);
        size_t tab = line.find(u'\t');
        if (tab == std::u16string::npos) break;
        std::u16string name = line.substr(0, std::min(tab, kMaxStoreName));
        std::u16string url = line.substr(tab + 1);
        // Only web addresses go to the shell: a line naming a program or a file is skipped.
        std::u16string lower = url.substr(0, 8);
        for (auto& c : lower)
            if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        bool web = lower.rfind(u"http://", 0) == 0 || lower.rfind(u"https://", 0) == 0;
        if (web && url.size() <= kMaxStoreUrl && !name.empty()) out.push_back({name, url});
        at = end;
        while (at < text.size() && (text[at] == u'\r' || text[at] == u'\n')) ++at;
    }
    return out;
}

std::vector<Bookstore> ReadBookstores(const Text& path) {
    Text file;
    if (!file.LoadFile(path)) return {};
    return ParseBookstores(Wide(file));
}

std::u16string FormatRelativeDate(uint32_t unixSeconds, uint64_t nowFileTimeUtc) {
    uint64_t then = UnixSecondsToFileTime(unixSeconds);
    if (then > nowFileTimeUtc) return {};
    CalendarDate a = LocalDate(then);
    CalendarDate b = LocalDate(nowFileTimeUtc);
    int years = b.year - a.year;
    int months = b.month - a.month;
    int days = b.day - a.day;
    if (days < 0) {
        --months;
        int prevMonth = b.month == 1 ? 12 : b.month - 1;
        int prevYear = b.month == 1 ? b.year - 1 : b.year;
        days += DaysInMonth(prevYear, prevMonth);
    }
    if (months < 0) {
        --years;
        months += 12;
    }
    if (years < 0) return {};  // a later local date (zone change): nothing sensible to say
    std::u16string out;
    if (years == 0 && months == 0) {
        if (days == 0) return Str(kTodayString);
        if (days == 1) return Str(kYesterdayString);
        out = Str(kDaysAgoString);
        size_t p = out.find(u"%1");
        std::string n = std::to_string(days);
        if (p != std::u16string::npos) out.replace(p, 2, std::u16string(n.begin(), n.end()));
        return out;
    }
    if (years == 0 && months == 1) return Str(kOneMonthAgoString);
    out = Str(kMonthsAgoString);
    std::string n = std::to_string(years * 12 + months);
    size_t p = out.find(u"%1");
    if (p != std::u16string::npos) out.replace(p, 2, std::u16string(n.begin(), n.end()));
    return out;
}

}  // namespace LibraryViewText

// ---- LibraryRow ----

LibraryRow::LibraryRow(LibraryBook* entry) : book(entry) { iconIndex = IconIndexOf(*entry); }

LibraryRow::~LibraryRow() {
    if (cover) DeleteObject(cover);
}

int32_t LibraryRow::IconIndexOf(const LibraryBook& b) {
    int32_t type = b.GetType();
    int32_t icon = type >= 256 && type <= 511 ? 1 : 0;
    if (type == 702) icon = 5;
    else if (type == 701) icon = 6;
    else if (type == 3) icon = 7;
    if (b.GetLastRead() == 0 && icon <= 1) icon += 2;
    if (!b.IsOpenable()) icon = 4;
    return icon;
}

void LibraryRow::GetText(Text& out, uint32_t key) {
    out.Clear();
    switch (key) {
        case kTitle:
            out.Assign(book->GetTitle());
            break;
        case kSize:
            out.FormatByteSize(book->GetFileSize());
            break;
        case kAuthor:
            out.Assign(book->GetAuthor());
            break;
        case kDate:
            if (book->GetCreated() != 0) FormatFileDate(book->GetCreated(), out);
            break;
        case kLastRead:
            if (book->GetLastRead() != 0) {
                std::u16string s =
                    LibraryViewText::FormatRelativeDate(book->GetLastRead(), NowFileTimeUtc());
                out.FromWide(s.data(), static_cast<int32_t>(s.size()));
            }
            break;
        default:
            break;  // the rating shows as stars
    }
}

int LibraryRow::Compare(ListItem* other, uint32_t key, uint32_t ascending) {
    auto* o = static_cast<LibraryRow*>(other);
    auto order = [ascending](uint64_t a, uint64_t b) {
        int c = a < b ? -1 : a > b ? 1 : 0;
        return ascending ? c : -c;
    };
    // Titles and authors through the book's folded keys: a sort compares each row many times.
    auto byKey = [ascending](const std::u32string& a, const std::u32string& b) {
        int c = a.compare(b);
        c = c < 0 ? -1 : c > 0 ? 1 : 0;
        return ascending ? c : -c;
    };
    int c = 0;
    switch (key) {
        case kTitle:
            c = byKey(book->TitleOrderKey(), o->book->TitleOrderKey());
            break;
        case kAuthor:
            c = byKey(book->AuthorOrderKey(), o->book->AuthorOrderKey());
            break;
        case kSize:
            c = order(book->GetFileSize(), o->book->GetFileSize());
            break;
        // Dates read newest first (a book never read, 0, last), as a list of dates is read.
        case kDate:
            c = order(o->book->GetCreated(), book->GetCreated());
            break;
        case kLastRead:
            c = order(o->book->GetLastRead(), book->GetLastRead());
            break;
        case kRating:
            c = order(book->GetRating(), o->book->GetRating());
            break;
        default:
            break;
    }
    if (c != 0) return c;
    // Books the key does not tell apart (no author, the same title) keep one order on every
    // visit: by title, then by file.
    if (key != kTitle) c = book->TitleOrderKey().compare(o->book->TitleOrderKey());
    if (c == 0) c = LibraryBook::ComparePaths(*book, *o->book);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

bool LibraryRow::FitToCell(uint32_t width, uint32_t height, int cellW, int cellH, int& outW,
                           int& outH) {
    if (width == 0 || height == 0 || cellW <= 0 || cellH <= 0) return false;
    if (width <= static_cast<uint32_t>(cellW) && height <= static_cast<uint32_t>(cellH)) {
        outW = static_cast<int>(width);
        outH = static_cast<int>(height);
        return true;
    }
    uint64_t rx = (static_cast<uint64_t>(cellW) * 256) / width;
    uint64_t ry = (static_cast<uint64_t>(cellH) * 256) / height;
    // The smaller ratio decides; that side fills the cell exactly.
    if (rx <= ry) {
        outW = cellW;
        outH = static_cast<int>((static_cast<uint64_t>(height) * static_cast<uint64_t>(cellW)) / width);
    } else {
        outH = cellH;
        outW = static_cast<int>((static_cast<uint64_t>(width) * static_cast<uint64_t>(cellH)) / height);
    }
    outW = std::clamp(outW, 1, cellW);
    outH = std::clamp(outH, 1, cellH);
    return true;
}

HBITMAP LibraryRow::GetCover(int w, int h) {
    if (coverTried && w == cellWidth && h == cellHeight) return cover;
    if (cover) DeleteObject(cover);
    cover = nullptr;
    coverTried = true;
    cellWidth = w;
    cellHeight = h;
    uint16_t offset = book->GetThumbnailOffset();
    if (offset == 0xFFFF) return nullptr;
    cover = MakeThumbnail(book->GetPath(), offset, w, h, coverWidth, coverHeight);
    return cover;
}

// ---- LibraryView ----

LibraryView::LibraryView(ReaderController* readerController, Library* catalogue,
                         LibraryViewServices* shellServices)
    : ListWindowWithBar(readerController, shellServices), library(catalogue) {}

LibraryView::~LibraryView() {
    // The shared catalogue outlives this view: it must not call a freed listener.
    if (listening && library) library->RemoveListener(this);
    if (restored) SaveViewState();
    // The list goes first: its rows point into `rows`.
    DeleteAllItems();
    filterMenu = nullptr;  // a sub-menu of the bar's menu, which goes with the bar
    if (starIcon) DestroyIcon(starIcon);
    if (smallImages) ImageList_Destroy(smallImages);
    if (largeImages) ImageList_Destroy(largeImages);
}

bool LibraryView::Create(HWND parentWindow, bool covers) {
    ReaderSettings* settings = controller ? controller->GetSettings() : nullptr;
    // Not the settings' thumbnails byte: that only shows in the Library options page, in a box
    // that stays hidden.
    Init(parentWindow, kCommandBase, covers);
    smallImages = CreateImageList(9, &iconSize);
    for (uint16_t id : kRowIcons) ImageListAddIcon(smallImages, id);
    starIcon = LoadIconScaled(kStarIcon);
    int scale = IsHighResolution() ? 2 : 1;
    largeImages = ImageList_Create(30 * scale, 50 * scale, ILC_COLOR32, 1, 0);
    if (!CreateListView()) return false;
    titleStrip.Create(parentWindow, kCommandBase + kTitleButton);
    titleStrip.SetText(Str(kLibraryString).c_str());
    titleStrip.Show(false);
    BuildMenu();
    LoadBookstores();
    if (settings) fileTypes = settings->fileTypes | 8;
    RenewFonts();
    CheckRadioByCommand(filterMenu, MenuItem::kShowAll, kFilterItems);
    if (library) {
        HCURSOR old = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        listening = library->AddListener(this);
        SetCursor(old);
    }
    return true;
}

void LibraryView::BuildMenu() {
    if (!bar.Create(parent, kMenuId)) return;
    menu = bar.Menu();
    HMENU popup = GetSubMenu(menu, 1);
    if (!popup) return;
    // Rescan and the memory dialog stay reachable as commands, not as items.
    DeleteMenu(popup, MenuItem::kRescan, MF_BYCOMMAND);
    DeleteMenu(popup, MenuItem::kMemory, MF_BYCOMMAND);
    filterMenu = GetSubMenu(popup, 0);
    filterMenuCount = kFilterItems;
    readingListMenu = GetSubMenu(popup, 1);
    sortMenu = nullptr;  // checked by hand: the filter menu owns CheckMenuCommand
    storeMenu = GetSubMenu(popup, 3);
    bar.SetItemText(0, true, kFilterByString, popup);
    bar.SetItemText(1, true, kReadingListString, popup);
    bar.SetItemText(3, true, kBookstoreString, popup);
    static constexpr uint32_t kTexts[][2] = {
        {MenuItem::kShowAll, kAllString},
        {MenuItem::kShowEBooks, kEBooksString},
        {MenuItem::kShowEDocs, kEDocsString},
        {MenuItem::kShowENews, kENewsString},
        {MenuItem::kShowEAudio, kEAudioString},
        {MenuItem::kEditLists, kEditListsString},
        {MenuItem::kUnfiled, kUnfiledString},
        {MenuItem::kOptions, kOptionsString},
        {MenuItem::kBookProperties, kPropertiesString},
        {MenuItem::kDelete, kDeleteString},
        {MenuItem::kExit, kExitString},
        {MenuItem::kAbout, kAboutString},
        // Key 3 is the file's creation date, shown as the purchase date; key 4 the last read.
        {MenuItem::kSortByDate, kPurchaseDateString},
        {MenuItem::kSortByLastRead, kLastReadString}};
    for (auto& t : kTexts) bar.SetItemText(t[0], false, t[1]);
    HMENU sorts = GetSubMenu(popup, 2);
    MENUITEMINFOW probe{};
    probe.cbSize = sizeof(probe);
    probe.fMask = MIIM_ID;
    if (sorts && !GetMenuItemInfoW(sorts, MenuItem::kSortByRating, FALSE, &probe))
        AppendMenuW(sorts, MF_STRING, MenuItem::kSortByRating, Str(kRatingString).c_str());
    SetLeftKey(kReadString);
}

void LibraryView::LoadBookstores() {
    const AppPaths* paths = library ? library->Paths() : nullptr;
    if (!paths) return;
    Text path = paths->ProgramFolder();
    Text name;
    name.AssignAscii("bookstores.txt");
    path.AppendPathComponent(name);
    bookstores = LibraryViewText::ReadBookstores(path);
    if (bookstores.empty() || !storeMenu) return;
    while (GetMenuItemCount(storeMenu) > 0) DeleteMenu(storeMenu, 0, MF_BYPOSITION);
    for (size_t i = 0; i < bookstores.size(); ++i)
        AppendMenuW(storeMenu, MF_STRING, kBookstoreFirst + i, bookstores[i].name.c_str());
    AppendMenuW(storeMenu, MF_SEPARATOR, 0, nullptr);
    if (services && services->HasOnlineAccount())
        AppendMenuW(storeMenu, MF_STRING, kOnlineAccount, Str(kOnlineAccountString).c_str());
}

void LibraryView::SetLeftKey(uint32_t stringId) { bar.SetButtonText(MenuItem::kRead, stringId); }

std::u16string LibraryView::LeftKeyText() const { return bar.ButtonText(MenuItem::kRead); }

void LibraryView::SetFonts(const char16_t* face) {
    ListWindow::SetFonts(face);
}

void LibraryView::EnableBookCommands(bool on) {
    if (!menu) return;
    UINT flags = MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(menu, MenuItem::kDelete, flags);
    EnableMenuItem(menu, MenuItem::kBeam, flags);
    EnableMenuItem(menu, MenuItem::kBookProperties, flags);
}

void LibraryView::ClearRows() {
    DeleteAllItems();
    rows.clear();
}

void LibraryView::Refresh(const Text& fileName) {
    if (library) {
        library->Refresh();
        // A books folder that cannot be read leaves the list short: said, not left silent.
        Text unreadable;
        if (library->TakeUnreadableFolder(unreadable)) ReportUnreadableFolder(unreadable);
        // The book on show was just read: its side file holds a newer reading time (and
        // perhaps a new title, rating or reading lists) than the entry.
        if (!fileName.IsEmpty()) library->FindBookOfDocument(fileName);
    }
    Fill();
    if (fileName.IsEmpty()) return;
    for (auto& r : rows) {
        if (r->book->GetPath().Equals(fileName, false, false)) {
            SelectByData(r.get());
            break;
        }
    }
}

void LibraryView::Fill() {
    LibraryRow* keep = SelectedRow();
    LibraryBook* keepBook = keep ? keep->book : nullptr;
    ClearRows();
    if (library) {
        for (int32_t i = 0; i < library->GetEntryCount(); ++i) {
            LibraryBook* b = library->GetEntry(i);
            if (!b || !b->IsPresent()) continue;
            if (b->GetType() < Library::kAllTypesMin || b->GetType() > Library::kAllTypesMax)
                continue;
            rows.push_back(std::make_unique<LibraryRow>(b));
        }
    }
    RebuildLocations();
    RebuildReadingLists();
    Refill(filter);
    if (keepBook)
        for (auto& r : rows)
            if (r->book == keepBook) SelectByData(r.get());
}

void LibraryView::RebuildLocations() {
    // Filter items of the locations, and the tap-and-hold menu of moves.
    for (int32_t i = 0; i < locationCount; ++i)
        DeleteMenu(filterMenu, kLocationFirst + static_cast<uint32_t>(i), MF_BYCOMMAND);
    if (contextMenu) DestroyMenu(contextMenu);
    contextMenu = CreatePopupMenu();
    locationCount = 0;
    if (!library) return;
    int32_t n = std::min(library->GetLocationCount(), kMaxLocations);
    for (int32_t i = 0; i < n; ++i) {
        LibraryLocation loc;
        if (!library->GetLocation(i, loc)) continue;
        std::u16string name = Wide(loc.name);
        if (filterMenu)
            AppendMenuW(filterMenu, MF_STRING, kLocationFirst + static_cast<uint32_t>(i), name.c_str());
        AppendMenuW(contextMenu, MF_STRING, kMoveFirst + static_cast<uint32_t>(i), name.c_str());
        locationCount = i + 1;
    }
    if (locationFilter >= locationCount) locationFilter = kNoFilter;
    if (locationFilter >= 0)
        CheckMenuItem(filterMenu, kLocationFirst + static_cast<uint32_t>(locationFilter),
                      MF_BYCOMMAND | MF_CHECKED);
}

void LibraryView::RebuildReadingLists() {
    if (!readingListMenu) return;
    for (int32_t i = 0; i < readingListCount; ++i)
        DeleteMenu(readingListMenu, kReadingListFirst + static_cast<uint32_t>(i), MF_BYCOMMAND);
    readingListCount = 0;
    int32_t n = library ? std::min(library->GetCategoryCount(), kMaxReadingLists) : 0;
    // Before "Unfiled", in catalogue order.
    for (int32_t i = 0; i < n; ++i) {
        Text name;
        if (!library->GetCategory(i, name)) continue;
        std::u16string w = Wide(name);
        InsertMenuW(readingListMenu, MenuItem::kUnfiled, MF_BYCOMMAND | MF_STRING,
                    kReadingListFirst + static_cast<uint32_t>(i), w.c_str());
        readingListCount = i + 1;
    }
    if (readingListFilter >= readingListCount) {
        readingListFilter = kNoFilter;
        filter = kEveryClass;
    }
    if (readingListFilter >= 0)
        CheckMenuItem(readingListMenu, kReadingListFirst + static_cast<uint32_t>(readingListFilter),
                      MF_BYCOMMAND | MF_CHECKED);
    else if (readingListFilter == kUnfiled)
        CheckMenuItem(readingListMenu, MenuItem::kUnfiled, MF_BYCOMMAND | MF_CHECKED);
}

bool LibraryView::RowPasses(const LibraryRow& row) const {
    const LibraryBook& b = *row.book;
    if ((LibraryViewText::BookClassOf(b.GetType()) & filter) == 0) return false;
    if ((LibraryViewText::FileTypeOf(b.GetType()) & fileTypes) == 0) return false;
    if (readingListFilter == kUnfiled && b.GetCategoryCount() != 0) return false;
    if (readingListFilter >= 0) {
        Text name;
        if (!library || !library->GetCategory(readingListFilter, name) || !b.HasCategory(name))
            return false;
    }
    if (locationFilter >= 0 && b.GetLocation() != locationFilter) return false;
    return true;
}

void LibraryView::Refill(uint32_t filterMask) {
    filter = filterMask;
    ListItem* keep = GetSelectedData();
    SetRedraw(false, false);
    totalBytes = 0;
    DeleteAllItems();
    EnableBookCommands(false);
    int32_t shown = 0;
    for (auto& r : rows) {
        if (!RowPasses(*r)) continue;
        r->UpdateIcon();
        InsertItem(r.get());
        totalBytes += r->book->GetFileSize();
        ++shown;
    }
    RelayoutInParent();
    Sort(sortKey, ascending != 0);
    if (shown > 0) {
        if (!keep || FindItem(keep) < 0) SelectIndex(0);
        else SelectByData(keep);
    }
    SetRedraw(true, true);
    UpdateTitleStrip();
    SetLeftKey(shown > 0 ? kReadString : kExitString);
}

void LibraryView::UpdateTitleStrip() {
    uint32_t nameId = kEBooksString;
    if (filter == kENews) nameId = kENewsString;
    if (filter == kEDocs) nameId = kEDocsString;
    if (filter == kEAudio) nameId = kEAudioString;
    const int32_t rows = GetItemCount();
    std::string count = std::to_string(rows);
    std::u16string first(count.begin(), count.end());
    first += u" ";
    // One book is "1 eBook", not "1 eBooks".
    const uint32_t bookClass =
        filter == kENews || filter == kEDocs || filter == kEAudio ? filter : kEBooks;
    if (rows == 1)
        first += LibraryViewText::BookTypeName(bookClass, false);
    else
        first += Str(nameId);
    // A reading list shown is named before its count.
    Text list;
    size_t countLength = first.size();
    if (readingListFilter >= 0 && library && library->GetCategory(readingListFilter, list)) {
        String name;
        if (list.ToWide(name) && !name.IsEmpty()) {
            first = std::u16string(name.Data(), static_cast<size_t>(name.Length())) + u": " + first;
            countLength += 2;
        }
    }
    // A long list name is cut rather than the count after it.
    titleStrip.SetText(first.c_str(), countLength);
    Text size;
    size.FormatByteSize(static_cast<uint64_t>(totalBytes));
    titleStrip.SetSecondText(Wide(size).c_str());
    titleStrip.FitParts();
}

void LibraryView::Show(bool show) {
    bool changing = (visible != 0) != show;
    ReaderSettings* settings = controller ? controller->GetSettings() : nullptr;
    if (changing && settings && settings->fullScreen && services) {
        // The library is never full screen; the book is again once the list goes. The stored
        // setting is left alone.
        services->SetFullScreen(!show);
    }
    bar.Show(show);
    titleStrip.Show(show && titleStripShown);
    if (show) {
        visible = 1;
        if (library) library->Refresh();
        Fill();
        RenewFonts();
        if (!restored) RestoreViewState();
    }
    ListWindow::Show(show);
    if (show) {
        RECT r{};
        if (parent) GetClientRect(parent, &r);
        Layout(r.left, r.top, r.right, r.bottom);
    }
}

void LibraryView::SaveViewState() {
    ReaderSettings* settings = controller ? controller->GetSettings() : nullptr;
    if (!settings) return;
    uint32_t kind = 0;
    Text name;
    if (readingListFilter == kUnfiled) {
        kind = 7;
    } else if (readingListFilter >= 0 && library && library->GetCategory(readingListFilter, name)) {
        kind = 6;
    } else if (locationFilter >= 0 && library) {
        LibraryLocation loc;
        if (library->GetLocation(locationFilter, loc)) {
            kind = 5;
            name = loc.name;
        }
    } else {
        switch (filter) {
            case 1: kind = 1; break;
            case 2: kind = 2; break;
            case 4: kind = 3; break;
            case 8: kind = 4; break;
            default: kind = 0; break;
        }
    }
    int32_t sortKind = 0;
    for (int32_t k = 0; k < 6; ++k)
        if (kKeyOfSortKind[k] == sortKey) sortKind = k;
    settings->SetLibraryPosition(kind, sortKind, ascending != 0, name);
    if (!settings->Save()) settings->NoteUnsaved();
}

void LibraryView::RestoreViewState() {
    restored = true;
    ReaderSettings* settings = controller ? controller->GetSettings() : nullptr;
    if (!settings) return;
    uint32_t kind = 0;
    int32_t sortKind = 0;
    bool forward = true;
    Text name;
    settings->GetLibraryPosition(kind, sortKind, forward, name);
    if (sortKind < 0 || sortKind > 5) sortKind = 0;
    ascending = forward ? 1 : 0;
    sortKey = kKeyOfSortKind[sortKind];
    readingListFilter = kNoFilter;
    locationFilter = kNoFilter;
    uint32_t command = MenuItem::kShowAll;
    uint32_t mask = kEveryClass;
    switch (kind) {
        case 1: mask = kEBooks; command = MenuItem::kShowEBooks; break;
        case 2: mask = kENews; command = MenuItem::kShowENews; break;
        case 3: mask = kEDocs; command = MenuItem::kShowEDocs; break;
        case 4: mask = kEAudio; command = MenuItem::kShowEAudio; break;
        case 5:
            for (int32_t i = 0; library && i < locationCount; ++i) {
                LibraryLocation loc;
                if (library->GetLocation(i, loc) && loc.name.Equals(name, false, true)) {
                    locationFilter = i;
                    command = kLocationFirst + static_cast<uint32_t>(i);
                }
            }
            break;
        case 6:
            for (int32_t i = 0; library && i < readingListCount; ++i) {
                Text list;
                if (library->GetCategory(i, list) && list.Equals(name, false, true)) {
                    readingListFilter = i;
                    command = 0;
                }
            }
            break;
        case 7:
            readingListFilter = kUnfiled;
            command = 0;
            break;
        default:
            break;
    }
    CheckRadioByCommand(filterMenu, command, filterMenuCount);
    if (readingListFilter >= 0)
        CheckMenuItem(readingListMenu, kReadingListFirst + static_cast<uint32_t>(readingListFilter),
                      MF_BYCOMMAND | MF_CHECKED);
    if (readingListFilter == kUnfiled)
        CheckMenuItem(readingListMenu, MenuItem::kUnfiled, MF_BYCOMMAND | MF_CHECKED);
    CheckSortItem();
    Refill(mask);
}

void LibraryView::CheckSortItem() {
    HMENU popup = menu ? GetSubMenu(menu, 1) : nullptr;
    HMENU sorts = popup ? GetSubMenu(popup, 2) : nullptr;
    if (!sorts || sortKey > 5) return;
    CheckRadioByCommand(sorts, kSortCommandOfKey[sortKey],
                        static_cast<uint32_t>(GetMenuItemCount(sorts)));
}

void LibraryView::ChooseFilter(uint32_t command, uint32_t mask) {
    readingListFilter = kNoFilter;
    locationFilter = kNoFilter;
    for (int32_t i = 0; i < readingListCount; ++i)
        CheckMenuItem(readingListMenu, kReadingListFirst + static_cast<uint32_t>(i), MF_BYCOMMAND | MF_UNCHECKED);
    CheckMenuItem(readingListMenu, MenuItem::kUnfiled, MF_BYCOMMAND | MF_UNCHECKED);
    Refill(mask);
    CheckRadioByCommand(filterMenu, command, static_cast<uint32_t>(GetMenuItemCount(filterMenu)));
}

void LibraryView::ChooseSort(uint32_t command, uint32_t key) {
    if (key == sortKey) ascending = ascending ? 0 : 1;
    sortKey = key;
    Sort(sortKey, ascending != 0);
    CheckSortItem();
    (void)command;
    if (list) InvalidateRect(list, nullptr, TRUE);
}

void LibraryView::ToggleFileType(uint32_t bit) {
    fileTypes ^= bit;
    ReaderSettings* settings = controller ? controller->GetSettings() : nullptr;
    if (settings) {
        settings->fileTypes = fileTypes;
        if (!settings->Save()) settings->NoteUnsaved();
    }
    Refill(filter);
}

bool LibraryView::OnCommand(uint32_t id) {
    auto reader = [this](int32_t command) {
        if (controller) controller->OnCommand(command, false);
    };
    switch (id) {
        case MenuItem::kRead:
        case MenuItem::kOpenBook:
        case MenuItem::kOpenSelection:
            if (GetItemCount() == 0) reader(Cmd::kExit);
            else OpenSelected();
            return true;
        case MenuItem::kDelete:
            DeleteSelected();
            return true;
        case MenuItem::kBeam:
            if (SelectedRow() && services) services->Beam(SelectedRow()->book->GetPath());
            return true;
        case MenuItem::kBookProperties:
            if (LibraryRow* row = SelectedRow()) {
                BookPropertiesSheet sheet(row, library);
                sheet.RunModal(parent, controller, false);
                // A list made on the sheet's Reading list page is in the menu at once.
                RebuildReadingLists();
                Refill(filter);
            }
            return true;
        case MenuItem::kHelp:
            reader(Cmd::kHelp);
            return true;
        case MenuItem::kStore:
            reader(Cmd::kOnlineBookstore);
            return true;
        case MenuItem::kAbout:
            if (services) services->ShowAbout(parent);
            return true;
        case kRescanPosted:
            if (library) library->Rescan();
            Fill();
            return true;
        case MenuItem::kRescan:
            if (host) PostMessageW(host, WM_COMMAND, kRescanPosted, 0);
            return true;
        case MenuItem::kSortAscending:
        case MenuItem::kSortDescending:
            ascending = id == MenuItem::kSortAscending ? 1 : 0;
            Sort(sortKey, ascending != 0);
            return true;
        case MenuItem::kShowHtml: ToggleFileType(1); return true;
        case MenuItem::kShowText: ToggleFileType(2); return true;
        case MenuItem::kShowPalmDoc: ToggleFileType(4); return true;
        case MenuItem::kShowOtherFiles: ToggleFileType(8); return true;
        case MenuItem::kTitleStrip:
            ToggleTitleStrip();
            return true;
        case MenuItem::kOptions:
            RunOptions();
            return true;
        case MenuItem::kExit:
            reader(Cmd::kExit);
            return true;
        case MenuItem::kBrowse:
            reader(Cmd::kFileOpen);
            return true;
        case MenuItem::kBack:
            reader(Cmd::kBack);
            if (controller) controller->UpdateWindowTitle();
            return true;
        case MenuItem::kMemory:
            if (services) services->ShowMemoryInfo(parent);
            return true;
        case MenuItem::kShowAll: ChooseFilter(id, kEveryClass); return true;
        case MenuItem::kShowEBooks: ChooseFilter(id, kEBooks); return true;
        case MenuItem::kShowENews: ChooseFilter(id, kENews); return true;
        case MenuItem::kShowEDocs: ChooseFilter(id, kEDocs); return true;
        case MenuItem::kShowEAudio: ChooseFilter(id, kEAudio); return true;
        case MenuItem::kUnfiled:
            ChooseFilter(0, kEveryClass);
            readingListFilter = kUnfiled;
            CheckMenuItem(readingListMenu, MenuItem::kUnfiled, MF_BYCOMMAND | MF_CHECKED);
            Refill(kEveryClass);
            return true;
        case MenuItem::kEditLists: {
            ReadingListsEditDialog dialog(library);
            dialog.Run(parent, controller, false);
            RebuildReadingLists();
            Refill(filter);
            return true;
        }
        case MenuItem::kSortByTitle: ChooseSort(id, LibraryRow::kTitle); return true;
        case MenuItem::kSortByAuthor: ChooseSort(id, LibraryRow::kAuthor); return true;
        case MenuItem::kSortBySize: ChooseSort(id, LibraryRow::kSize); return true;
        case MenuItem::kSortByDate: ChooseSort(id, LibraryRow::kDate); return true;
        case MenuItem::kSortByLastRead: ChooseSort(id, LibraryRow::kLastRead); return true;
        case MenuItem::kSortByRating: ChooseSort(id, LibraryRow::kRating); return true;
        default:
            break;
    }
    if (id >= kReadingListFirst && id < kReadingListFirst + static_cast<uint32_t>(readingListCount)) {
        // The list already shown, chosen again, gives way to all the books.
        if (readingListFilter == static_cast<int32_t>(id - kReadingListFirst)) {
            ChooseFilter(MenuItem::kShowAll, kEveryClass);
            return true;
        }
        ChooseFilter(0, kEveryClass);
        readingListFilter = static_cast<int32_t>(id - kReadingListFirst);
        CheckMenuItem(readingListMenu, id, MF_BYCOMMAND | MF_CHECKED);
        Refill(kEveryClass);
        return true;
    }
    if (id >= kMoveFirst && id < kMoveFirst + static_cast<uint32_t>(locationCount)) {
        MoveSelected(static_cast<int32_t>(id - kMoveFirst));
        return true;
    }
    if (id >= kLocationFirst && id < kLocationFirst + static_cast<uint32_t>(locationCount)) {
        ChooseFilter(id, kEveryClass);
        locationFilter = static_cast<int32_t>(id - kLocationFirst);
        Refill(kEveryClass);
        return true;
    }
    if (id >= kBookstoreFirst && id < kBookstoreFirst + bookstores.size()) {
        // Through the reader's shell, which says why when it cannot open the store.
        if (ReaderShell* shell = controller ? controller->Shell() : nullptr) {
            const std::u16string& url = bookstores[id - kBookstoreFirst].url;
            shell->OpenWithShell(String(url.data(), static_cast<int32_t>(url.size())));
            return true;
        }
        SHELLEXECUTEINFO info{};
        info.cbSize = sizeof(info);
        info.hwnd = parent;
        info.lpVerb = u"open";
        info.lpFile = bookstores[id - kBookstoreFirst].url.c_str();
        info.nShow = SW_SHOW;
        ShellExecuteEx(&info);
        return true;
    }
    if (id == kOnlineAccount) {
        if (controller) controller->ShowReaderView();
        return true;
    }
    return false;
}

void LibraryView::OpenSelected() {
    LibraryRow* row = SelectedRow();
    if (!row) return;
    DocumentController* document = controller ? controller->GetDocumentController() : nullptr;
    Location location;
    bool opened = document && location.ParseText(row->book->GetPath()) &&
                  document->OpenWithQuery(location, 0, 0);
    if (opened) return;
    // Marks the row unopenable (or clears the mark when the book opens after all).
    row->book->TestOpen(0);
    Refill(filter);
    if (list) SetFocus(list);
}

void LibraryView::DeleteSelected() {
    LibraryRow* row = SelectedRow();
    if (!row || !library) return;
    if (MessageBoxRes(parent, kConfirmDeleteCaption, kConfirmDeleteString,
                      MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) != IDOK)
        return;
    int32_t index = GetSelectedIndex();
    HCURSOR old = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    LibraryBook* book = row->book;
    LibraryBook::DeleteFailure why = LibraryBook::DeleteFailure::kNone;
    bool deleted = library->DeleteBook(book, services ? services->Releaser() : nullptr, &why);
    SetCursor(old);
    if (!deleted) {
        ReportDeleteFailure(*book, why);
        return;
    }
    DeleteAllItems();
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [book](const std::unique_ptr<LibraryRow>& r) { return r->book == book; }),
               rows.end());
    Refill(filter);
    int32_t count = GetItemCount();
    if (count > 0) SelectIndex(std::min(index, count - 1));
}

void LibraryView::ReportUnreadableFolder(const Text& folder) {
    const char16_t* units = LoadResString(5533);
    const char16_t* caption = LoadResString(5018);
    String text(units ? units : u"");
    String name;
    if (!folder.ToWide(name) || !ReplaceAll(text, u"%1", name)) return;
    MessageBoxText(parent, String(caption ? caption : u""), text, MB_OK | MB_ICONWARNING);
}

// The row stays; the reader is told which book and why.
void LibraryView::ReportDeleteFailure(const LibraryBook& book, LibraryBook::DeleteFailure why) {
    const char16_t* units = LoadResString(
        why == LibraryBook::DeleteFailure::kInUse ? kBookInUseString : kCannotRemoveString);
    const char16_t* caption = LoadResString(kErrorCaption);
    String text(units ? units : u"");
    String name;
    if (!book.GetTitle().ToWide(name) || name.IsEmpty()) book.GetPath().ToWide(name);
    if (!ReplaceAll(text, u"%1", name)) return;
    MessageBoxText(parent, String(caption ? caption : u""), text, MB_OK | MB_ICONERROR);
}

void LibraryView::MoveSelected(int32_t location) {
    LibraryRow* row = SelectedRow();
    if (!row || !library) return;
    HCURSOR old = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    bool moved = library->MoveBookToLocation(row->book, location,
                                             services ? services->Releaser() : nullptr);
    SetCursor(old);
    if (!moved) {
        MessageBoxRes(parent, kErrorCaption, Storage::kMoveFailedMessage, MB_OK | MB_ICONERROR);
        return;
    }
    Refill(filter);
}

RECT LibraryView::StarStrip(const RECT& row) const {
    int width = 5 * iconSize;
    int top = row.top + (row.bottom - row.top - iconSize) / 2;
    return RECT{row.right - width - 2, top, row.right - 2, top + iconSize};
}

void LibraryView::DrawStars(LibraryRow* row, HDC dc, const RECT& cell) const {
    RECT strip = StarStrip(cell);
    uint32_t rating = std::min<uint32_t>(row->book->GetRating(), 5);
    // Stars fill the strip from its right end leftwards: cell k from the right sets rating k.
    for (uint32_t k = 0; k < rating && starIcon; ++k)
        DrawIconEx(dc, strip.right - static_cast<int>(k + 1) * iconSize, strip.top, starIcon,
                   iconSize, iconSize, 0, nullptr, DI_NORMAL);
}

int32_t LibraryView::StarHit(int32_t index, int x) const {
    if (!StarsShown()) return -1;
    RECT bounds = GetItemBounds(index);
    if (bounds.right <= bounds.left) return -1;
    RECT strip = StarStrip(bounds);
    if (x < strip.left || x >= strip.right) return -1;
    return (strip.right - x - 1) / iconSize + 1;
}

void LibraryView::DrawTitle(ListItem* item, HDC dc, RECT& label) {
    auto* row = static_cast<LibraryRow*>(item);
    if (!row) return;
    RECT bounds{label.left, label.top, label.right, label.bottom};
    if (!thumbnails) {
        if (sortKey == LibraryRow::kRating) {
            DrawStars(row, dc, bounds);
            label.right = StarStrip(bounds).left - 2;
        }
        ListWindow::DrawTitle(item, dc, label);
        return;
    }
    RECT cell{label.left + 4, label.top + 4, label.right - 4, label.bottom - 4};
    Text text;
    row->GetText(text, LibraryRow::kTitle);
    const char16_t* wide = text.WideCStr();
    std::u16string title = wide ? wide : u"";
    HGDIOBJ old = normalFont ? SelectObject(dc, normalFont) : nullptr;
    int normalHeight = LineHeight(dc);
    row->GetText(text, LibraryRow::kAuthor);
    // The title wraps into the room above the author line, or above the size line without one.
    RECT titleBox = cell;
    titleBox.bottom = text.IsEmpty() ? cell.bottom - normalHeight
                                     : cell.top + (cell.bottom - cell.top - normalHeight) / 2;
    if (old) SelectObject(dc, old);
    DrawWrappedTitle(dc, title, titleBox);
    if (normalFont) SelectObject(dc, normalFont);
    DrawTextW(dc, text.WideCStr(), -1, &cell, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    row->GetText(text, LibraryRow::kSize);
    DrawTextW(dc, text.WideCStr(), -1, &cell, DT_LEFT | DT_BOTTOM | DT_SINGLELINE | DT_NOPREFIX);
    row->GetText(text, LibraryRow::kLastRead);
    DrawTextW(dc, text.WideCStr(), -1, &cell, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE | DT_NOPREFIX);
    if (old) SelectObject(dc, old);
    DrawStars(row, dc, RECT{cell.left, cell.top, cell.right, cell.top + iconSize});
}

void LibraryView::DrawIcon(ListItem* item, HDC dc, const RECT& icon) {
    if (!thumbnails || !item) return;
    auto* row = static_cast<LibraryRow*>(item);
    int scale = IsHighResolution() ? 2 : 1;
    HBITMAP cover = row->GetCover(30 * scale, 50 * scale);
    if (!cover) return;
    HDC memory = CreateCompatibleDC(dc);
    if (!memory) return;
    HGDIOBJ old = SelectObject(memory, cover);
    int x = icon.left + (icon.right - icon.left - row->CoverWidth()) / 2;
    int y = icon.top + (icon.bottom - icon.top - row->CoverHeight()) / 2;
    BitBlt(dc, x, y, row->CoverWidth(), row->CoverHeight(), memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
}

bool LibraryView::IsBold(ListItem* item) {
    auto* row = static_cast<LibraryRow*>(item);
    return row && row->book->GetLastRead() == 0;
}

void LibraryView::OnItemActivated(ListItem* item, bool, int x, int) {
    if (!item) return;
    int32_t index = FindItem(item);
    int32_t rating = StarHit(index, x);
    if (rating >= 0) {
        auto* row = static_cast<LibraryRow*>(item);
        // A rating that cannot be written leaves the entry as it was.
        if (row->book->SetRating(static_cast<uint32_t>(rating)) && list) {
            RECT r = GetItemBounds(index);
            InvalidateRect(list, &r, TRUE);
        }
        return;
    }
    OnDoubleClick(item);
}

void LibraryView::OnDoubleClick(ListItem* item) {
    if (item) OpenSelected();
}

void LibraryView::OnSelectionChanged(ListItem* item) { EnableBookCommands(item != nullptr); }
