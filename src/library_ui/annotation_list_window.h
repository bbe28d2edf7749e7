// The annotations list: the bookmarks, notes, highlights, links, modifications and drawings of
// the open book, from its side file, filtered by kind. A row goes to its annotation, is renamed
// in place (bookmarks, highlights, drawings) or in the text dialog (notes, modifications,
// links), or is deleted.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "library_ui/list_window_bar.h"
#include "shell_ui/list_window.h"

class AnnotationFile;
class LibraryViewServices;
class ReaderController;

// The page of a text position, from the open document's page layout; -1 when unknown.
class AnnotationPages {
public:
    virtual int32_t EstimatePage(uint32_t position) = 0;

protected:
    ~AnnotationPages() = default;
};

// The page layout's estimate in the reader window's open book; -1 without a layout.
class LayoutAnnotationPages final : public AnnotationPages {
public:
    explicit LayoutAnnotationPages(ReaderController* controller) : controller_(controller) {}
    int32_t EstimatePage(uint32_t position) override;

private:
    ReaderController* controller_;
};

class AnnotationListEntry : public ListItem {
public:
    void GetText(Text& out, uint32_t key) override;
    int Compare(ListItem* other, uint32_t key, uint32_t ascending) override;

    std::u16string text;       // as stored
    uint32_t kind = 0;         // the side file's annotation type
    uint32_t mask = 0;         // the filter bit
    int32_t record = -1;       // record index in the side file (until the next refill)
    int32_t ordinal = 0;       // reading order of the refill
    int32_t page = -1;
};

class AnnotationListWindow : public ListWindowWithBar {
public:
    static constexpr uint32_t kCommandBase = 12000;
    static constexpr uint32_t kAllKinds = 63;

    AnnotationListWindow(ReaderController* controller, LibraryViewServices* services);
    ~AnnotationListWindow() override;

    bool Create(HWND parentWindow);
    // The page numbers of the rows; the open book's layout unless another is given (null: none).
    void SetPageEstimator(AnnotationPages* pages) { pageEstimator = pages; }
    // False when the command is not the window's.
    bool OnCommand(uint32_t id) override;
    // Reads the open book's side file again, then filters.
    void Refill();
    void Filter(uint32_t filterMask);

    // The filter bit of a side-file annotation type (0: never listed), and its row icon.
    static uint32_t MaskOfKind(uint32_t kind);
    static int32_t IconOfMask(uint32_t mask);

    void Show(bool show) override;
    void OnItemActivated(ListItem* item, bool wasSelected, int x, int y) override;
    void OnDoubleClick(ListItem* item) override;
    void OnSelectionChanged(ListItem* item) override;
    void OnEndLabelEdit(NMLVDISPINFOW* info) override;

    uint32_t FilterMask() const { return filterMask; }
    bool Ascending() const { return ascending != 0; }
    std::u16string LeftKeyText() const;
    HMENU Menu() const { return bar.Menu(); }
    AnnotationListEntry* SelectedEntry() const {
        return static_cast<AnnotationListEntry*>(GetSelectedData());
    }
    size_t EntryCount() const { return entries.size(); }

private:
    AnnotationFile* SideFile() const;
    void GoToSelected();
    void ModifySelected();
    void DeleteSelected();
    bool DeleteEntry(AnnotationListEntry* entry);
    void EnableEntryCommands(bool on);
    void ChooseFilter(uint32_t command, uint32_t mask);

    LayoutAnnotationPages layoutPages;
    AnnotationPages* pageEstimator = &layoutPages;
    uint32_t filterMask = kAllKinds;
    uint32_t ascending = 1;
    // Side-file order; the window owns them.
    std::vector<std::unique_ptr<AnnotationListEntry>> entries;
    AnnotationListEntry* editing = nullptr;
};
