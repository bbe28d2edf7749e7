#include "library_ui/annotation_list_window.h"

#include <algorithm>
#include <cstdint>

#include "bookfiles/annotation_file.h"
#include "core/resources.h"
#include "graphics/core/command_ids.h"
#include "layout/page_layout.h"
#include "library_ui/library_view.h"
#include "platform/dialog/dialog.h"
#include "platform/kernel/system_time.h"
#include "platform/kernel/modules.h"
#include "platform/resources/device_resources.h"
#include "platform/shell/shell.h"
#include "reader/book_document_controller.h"
#include "reader/document_controller.h"
#include "reader/menu_items.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"
#include "shell_ui/dialog_helpers.h"

namespace {


constexpr uint32_t kMenuId = 108;

struct KindRow {
    uint32_t kind, mask, icon, title, command, singular;
};
// Side-file type, filter bit, row icon resource, filter title, filter command, the title's
// singular (the strip reads "1 Bookmark", not "1 Bookmarks").
constexpr KindRow kKinds[6] = {
    {1, 1, 181, 5193, MenuItem::kShowBookmarks, 5942},
    {2, 2, 180, 5199, MenuItem::kShowNotes, 5943},
    {4, 4, 182, 5196, MenuItem::kShowHighlights, 5944},
    {32, 8, 194, 5197, MenuItem::kShowLinks, 5945},
    {16, 16, 195, 5198, MenuItem::kShowModifications, 5946},
    {8, 32, 196, 5194, MenuItem::kShowDrawings, 5947},
};
constexpr uint32_t kAllTitle = 5366;
constexpr uint32_t kAllTitleSingular = 5941;

// English takes the singular for one; French for zero and one.
bool CountIsSingular(int32_t count) {
    const bool french = (GetSystemDefaultLangID() & 0x3FF) == LANG_FRENCH;
    return count == 1 || (french && count == 0);
}
constexpr uint32_t kFilterItems = 7;
// The estimate of a page and Go to page's place of it differ by a page or two at most.
constexpr int kEstimateSteps = 8;

std::u16string Str(uint32_t id) {
    const char16_t* s = LoadResString(id);
    return s ? std::u16string(s) : std::u16string();
}

std::u16string TextOf(const char16_t* units, uint32_t length) {
    return units ? std::u16string(units, length) : std::u16string();
}

}  // namespace

// ---- Entries ----

int32_t LayoutAnnotationPages::EstimatePage(uint32_t position) {
    DocumentController* document = controller_ ? controller_->GetDocumentController() : nullptr;
    auto* book = dynamic_cast<BookDocumentController*>(document);
    PageLayout* layout = book ? book->Page().Layout() : nullptr;
    if (!layout) return -1;
    uint32_t page = PageLayout::kNone;
    Paginator& pages = layout->Pages();
    // A short text is counted, as Go to page counts it: the page paging forward shows the
    // position on.
    if (pages.CountPages(PageLayout::kCountAtOnce)) {
        if (const Paginator::CountedPage* counted = pages.CountedHolding(position))
            page = counted->number;
    }
    // Else a page laid out that holds it, numbered as the reader showed it.
    auto holds = [position](const PageRecord& r) {
        return r.IsUsed() && r.start <= position && r.end != PageLayout::kNone && position < r.end;
    };
    if (page == PageLayout::kNone && pages.FirstKnown() && holds(pages.First()))
        page = pages.First().pageNumber;
    for (const PageRecord& r : pages.Records())
        if (page == PageLayout::kNone && holds(r)) page = r.pageNumber;
    if (page == PageLayout::kNone) {
        // Else the estimate Go to page goes by: page n starts at PositionOfPage(n), so the
        // position lies on the last page whose estimated start is at or before it.
        page = layout->EstimatePageNumber(position);
        for (int i = 0; i < kEstimateSteps && page > 1 && layout->PositionOfPage(page) > position;
             ++i)
            --page;
        for (int i = 0; i < kEstimateSteps && layout->PositionOfPage(page + 1) <= position; ++i)
            ++page;
        // Go to page starts page n + 1 at the line holding its estimated start, which may begin
        // a little before it.
        const uint32_t next = layout->PositionOfPage(page + 1);
        if (next < layout->TextLength() && layout->LineStartHolding(next) <= position) ++page;
        // Past the last page the estimate would name pages the book does not have.
        if (layout->IsLastPageKnown()) page = std::min(page, layout->PageCount());
    }
    return page > INT32_MAX ? -1 : static_cast<int32_t>(page);
}

void AnnotationListEntry::GetText(Text& out, uint32_t) {
    std::u16string shown = text;
    if (page >= 0) {
        std::string n = std::to_string(page);
        shown += u" (" + std::u16string(n.begin(), n.end()) + u")";
    }
    // One line per row: line breaks and vertical tabs show as blanks.
    for (auto& c : shown)
        if (c == u'\n' || c == u'\v' || c == u'\r') c = u' ';
    out.FromWide(shown.data(), static_cast<int32_t>(shown.size()));
}

int AnnotationListEntry::Compare(ListItem* other, uint32_t, uint32_t ascending) {
    int32_t b = static_cast<AnnotationListEntry*>(other)->ordinal;
    int c = ordinal < b ? -1 : ordinal > b ? 1 : 0;
    return ascending ? c : -c;
}

// ---- Window ----

AnnotationListWindow::AnnotationListWindow(ReaderController* readerController,
                                           LibraryViewServices* shellServices)
    : ListWindowWithBar(readerController, shellServices), layoutPages(readerController) {}

AnnotationListWindow::~AnnotationListWindow() {
    DeleteAllItems();
    filterMenu = nullptr;  // a sub-menu of the bar's menu, which goes with the bar
    if (smallImages) ImageList_Destroy(smallImages);
}

uint32_t AnnotationListWindow::MaskOfKind(uint32_t kind) {
    for (const auto& k : kKinds)
        if (k.kind == kind) return k.mask;
    return 0;
}

int32_t AnnotationListWindow::IconOfMask(uint32_t mask) {
    for (int32_t i = 0; i < 6; ++i)
        if (kKinds[i].mask == mask) return i;
    return -1;
}

bool AnnotationListWindow::Create(HWND parentWindow) {
    Init(parentWindow, kCommandBase, false);
    smallImages = CreateImageList(6);
    for (const auto& k : kKinds) ImageListAddIcon(smallImages, k.icon);
    if (!CreateListView()) return false;
    titleStrip.Create(parentWindow, kCommandBase + kTitleButton);
    titleStrip.Show(false);
    if (bar.Create(parentWindow, kMenuId)) {
        filterMenu = bar.SubMenu(0);
        filterMenuCount = kFilterItems;
        bar.SetItemText(MenuItem::kShowAll, false, 5159);
        for (const auto& k : kKinds) bar.SetItemText(k.command, false, k.title);
        bar.SetButtonText(MenuItem::kLeftKey, 5191);
        CheckRadioByCommand(filterMenu, MenuItem::kShowAll, filterMenuCount);
    }
    RenewFonts();
    return true;
}

std::u16string AnnotationListWindow::LeftKeyText() const {
    return bar.ButtonText(MenuItem::kLeftKey);
}

AnnotationFile* AnnotationListWindow::SideFile() const {
    DocumentController* document = controller ? controller->GetDocumentController() : nullptr;
    return document ? document->CurrentAnnotationFile() : nullptr;
}

void AnnotationListWindow::Refill() {
    int32_t keepOrdinal = SelectedEntry() ? SelectedEntry()->ordinal : -1;
    DeleteAllItems();
    entries.clear();
    AnnotationFile* file = SideFile();
    if (file) {
        BookmarkIterator it;
        file->StartIterator(&it, 0, 0, 0xFFFFFFFF);
        int32_t ordinal = 0;
        for (int32_t index = file->FindNext(&it); index >= 0; index = file->FindNext(&it)) {
            uint32_t kind = file->GetBookmarkKind(index) & AnnotationListWindow::kAllKinds;
            uint32_t length = 0;
            const char16_t* units = file->GetBookmarkText(index, &length);
            std::u16string text = TextOf(units, length);
            if (text.empty()) {
                units = file->GetBookmarkNote(index, &length);
                text = TextOf(units, length);
            }
            if (text.empty()) continue;  // nothing to show for it
            auto entry = std::make_unique<AnnotationListEntry>();
            entry->text = std::move(text);
            entry->kind = kind;
            entry->mask = MaskOfKind(kind);
            entry->iconIndex = std::max(0, IconOfMask(entry->mask));
            entry->record = index;
            entry->ordinal = ordinal++;
            uint32_t start = 0, end = 0, a = 0, b = 0, style = 0;
            if (pageEstimator && file->GetBookmarkRange(index, &start, &end, &a, &b, &style) == 0)
                entry->page = pageEstimator->EstimatePage(start);
            entries.push_back(std::move(entry));
        }
    }
    Filter(filterMask);
    // The same place in the list after a refill: the entry of the same ordinal, else the next.
    if (keepOrdinal >= 0 && GetItemCount() > 0) {
        for (auto& e : entries)
            if (e->ordinal >= keepOrdinal && FindItem(e.get()) >= 0) {
                SelectByData(e.get());
                break;
            }
    }
}

void AnnotationListWindow::Filter(uint32_t mask) {
    filterMask = mask;
    ListItem* keep = GetSelectedData();
    SetRedraw(false, false);
    DeleteAllItems();
    for (auto& e : entries)
        if (e->mask & mask) InsertItem(e.get());
    Sort(0, ascending != 0);
    if (GetItemCount() > 0 && keep && FindItem(keep) >= 0) SelectByData(keep);
    else if (GetItemCount() > 0) SelectIndex(0);
    else EnableEntryCommands(false);
    const bool singular = CountIsSingular(GetItemCount());
    uint32_t titleId = singular ? kAllTitleSingular : kAllTitle;
    for (const auto& k : kKinds)
        if (k.mask == mask) titleId = singular ? k.singular : k.title;
    std::string count = std::to_string(GetItemCount());
    std::u16string strip(count.begin(), count.end());
    strip += u" " + Str(titleId);
    titleStrip.SetText(strip.c_str());
    bar.SetButtonText(MenuItem::kLeftKey, GetItemCount() > 0 ? 5120 : 5191);
    SetRedraw(true, true);
}

void AnnotationListWindow::EnableEntryCommands(bool on) {
    HMENU menu = bar.Menu();
    if (!menu) return;
    UINT flags = MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(menu, MenuItem::kOpenBook, flags);
    EnableMenuItem(menu, MenuItem::kModify, flags);
    EnableMenuItem(menu, MenuItem::kDelete, flags);
}

void AnnotationListWindow::ChooseFilter(uint32_t command, uint32_t mask) {
    Filter(mask);
    CheckRadioByCommand(filterMenu, command, filterMenuCount);
}

bool AnnotationListWindow::OnCommand(uint32_t id) {
    switch (id) {
        case MenuItem::kLeftKey:
            if (GetItemCount() > 0) GoToSelected();
            else OnCommand(MenuItem::kExit);
            return true;
        case MenuItem::kOpenBook:
            GoToSelected();
            return true;
        case MenuItem::kModify:
            ModifySelected();
            return true;
        case MenuItem::kDelete:
            DeleteSelected();
            return true;
        case MenuItem::kSortAscending:
        case MenuItem::kSortDescending:
            ascending = id == MenuItem::kSortAscending ? 1 : 0;
            Sort(0, ascending != 0);
            return true;
        case MenuItem::kTitleStrip:
            ToggleTitleStrip();
            return true;
        case MenuItem::kOptions:
            RunOptions();
            return true;
        case MenuItem::kExit:
            if (controller) {
                controller->OnCommand(Cmd::kBack, false);
                controller->UpdateWindowTitle();
            }
            return true;
        case MenuItem::kShowAll:
            ChooseFilter(id, kAllKinds);
            return true;
        default:
            break;
    }
    for (const auto& k : kKinds) {
        if (k.command == id) {
            ChooseFilter(id, k.mask);
            return true;
        }
    }
    return false;
}

void AnnotationListWindow::GoToSelected() {
    AnnotationListEntry* entry = SelectedEntry();
    DocumentController* document = controller ? controller->GetDocumentController() : nullptr;
    // The page the annotation was made on, as the document controller keeps it.
    if (!entry || !document || !document->OpenAnnotation(entry->record)) return;
    controller->ShowReaderView();
    controller->UpdateWindowTitle();
}

void AnnotationListWindow::ModifySelected() {
    AnnotationListEntry* entry = SelectedEntry();
    if (!entry || !controller) return;
    if (entry->kind == AnnotationFile::kNote || entry->kind == AnnotationFile::kModification ||
        entry->kind == AnnotationFile::kLink) {
        if (controller->EditAnnotation(entry->record)) {
            // The record may have been rewritten or removed: indices are read again.
            Refill();
            if (DocumentController* d = controller->GetDocumentController()) d->ReloadAnnotations();
        }
        return;
    }
    int32_t index = FindItem(entry);
    if (index < 0 || !list) return;
    editing = entry;
    SetWindowLongW(list, GWL_STYLE, GetWindowLongW(list, GWL_STYLE) | LVS_EDITLABELS);
    SipShowIM(SIPF_ON);
    auto edit = reinterpret_cast<HWND>(SendMessageW(list, LVM_EDITLABELW, static_cast<WPARAM>(index), 0));
    // The raw text, without the page or blanked line breaks of the row.
    // Selected, as in the other in-place edits: typing replaces it.
    if (edit) {
        SetWindowTextW(edit, entry->text.c_str());
        SendMessageW(edit, EM_SETSEL, 0, -1);
    }
}

void AnnotationListWindow::OnEndLabelEdit(NMLVDISPINFOW* info) {
    AnnotationListEntry* entry = editing;
    editing = nullptr;
    if (list) SetWindowLongW(list, GWL_STYLE, GetWindowLongW(list, GWL_STYLE) & ~LVS_EDITLABELS);
    SipShowIM(SIPF_OFF);
    if (!entry || !info || !info->item.pszText) return;  // cancelled
    std::u16string text = info->item.pszText;
    if (text.empty()) {
        DeleteEntry(entry);
        return;
    }
    if (text == entry->text || !controller) return;
    String value(text.data(), static_cast<int32_t>(text.size()));
    if (controller->CreateAnnotation(entry->kind, value, entry->record, 0, 0)) entry->text = text;
    if (list) InvalidateRect(list, nullptr, TRUE);
}

void AnnotationListWindow::DeleteSelected() {
    if (AnnotationListEntry* entry = SelectedEntry()) DeleteEntry(entry);
}

bool AnnotationListWindow::DeleteEntry(AnnotationListEntry* entry) {
    AnnotationFile* file = SideFile();
    if (!file) return false;
    if (MessageBoxRes(parent, 5375, 5374, MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) != IDOK)
        return false;
    int32_t index = FindItem(entry);
    // Deleting renumbers the later records of the side file.
    if (!file->DeleteBookmark(entry->record) || file->Flush() != 0) return false;
    if (DocumentController* d = controller ? controller->GetDocumentController() : nullptr)
        d->ReloadAnnotations();
    DeleteAllItems();
    Refill();
    int32_t count = GetItemCount();
    if (count > 0 && index >= 0) SelectIndex(std::min(index, count - 1));
    return true;
}

void AnnotationListWindow::OnItemActivated(ListItem* item, bool, int, int) {
    if (item) GoToSelected();
}

void AnnotationListWindow::OnDoubleClick(ListItem* item) {
    if (item) GoToSelected();
}

void AnnotationListWindow::OnSelectionChanged(ListItem* item) { EnableEntryCommands(item != nullptr); }

void AnnotationListWindow::Show(bool show) {
    bar.Show(show);
    titleStrip.Show(show && titleStripShown);
    visible = show ? 1 : 0;
    ListWindow::Show(show);
}
