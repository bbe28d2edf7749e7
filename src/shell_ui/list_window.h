// The owner-drawn list window: a report list inside a plain host window, every row drawn by the
// window itself (title left, the current sort column's text right), with selection, sorting and
// menu-check helpers. The library view and the annotations list derive from it. TitleStrip is the
// one-line status strip such a window shows above its list.
#pragma once

#include <cstdint>

#include "core/text.h"
#include "platform/controls/controls.h"
#include "platform/gdi.h"
#include "platform/menu/menu.h"
#include "platform/window/window.h"

// A row's item data. Subclasses own their items.
class ListItem {
public:
    virtual ~ListItem() = default;
    // The row's text for a column key.
    virtual void GetText(Text& out, uint32_t key) = 0;
    // Negative, 0 or positive; `ascending` 0 asks for the reverse order.
    virtual int Compare(ListItem* other, uint32_t key, uint32_t ascending) = 0;

    int32_t iconIndex = 0;
};

class ListWindow {
public:
    // Commands derived from the command base.
    static constexpr uint32_t kSortButton = 101;
    static constexpr uint32_t kTitleButton = 102;
    static constexpr uint32_t kFilterButton = 103;
    // Posted to the host; arrives in OnPrivateMessage.
    static constexpr UINT kPrivateMessage = 0x8001;

    ListWindow() = default;
    ListWindow(const ListWindow&) = delete;
    ListWindow& operator=(const ListWindow&) = delete;
    virtual ~ListWindow();

    void Init(HWND parent, uint32_t commandBase, bool thumbnails);
    bool CreateListView();
    virtual void SetFonts(const char16_t* face);
    void SetSmallImageList(HIMAGELIST images) { smallImages = images; }
    void SetLargeImageList(HIMAGELIST images) { largeImages = images; }

    bool InsertItem(ListItem* item);
    void DeleteAllItems();
    void DeleteItem(int32_t index);
    int32_t GetItemCount() const;
    ListItem* GetSelectedData() const;
    int32_t GetSelectedIndex() const;
    ListItem* GetItemData(int32_t index) const;
    int32_t FindItem(ListItem* item) const;
    RECT GetItemRect(int32_t index) const;
    RECT GetItemIconRect(int32_t index) const;
    RECT GetItemBounds(int32_t index) const;
    bool SelectIndex(int32_t index);
    bool SelectByData(ListItem* item);
    void Sort(uint32_t key, bool ascending);
    static int CompareItems(ListItem* a, ListItem* b, uint32_t key, bool ascending);
    void SetRedraw(bool on, bool invalidate);
    static void CheckRadioByCommand(HMENU menu, uint32_t command, uint32_t count);
    void CheckMenuCommand(uint32_t command);
    void FocusIfVisible();
    void PostCommand(WPARAM wParam, LPARAM lParam);

    virtual void Layout(int left, int top, int right, int bottom);
    virtual bool HandleMessage(NMHDR* notice, LRESULT& result);
    virtual bool OnMenuCommand(uint32_t command, LRESULT& result);
    virtual bool OnPrivateMessage(WPARAM wParam, LPARAM lParam);
    virtual void Show(bool show);
    virtual bool AcceptsFocus() { return true; }
    virtual void DrawTitle(ListItem* item, HDC dc, RECT& label);
    virtual void DrawIcon(ListItem* item, HDC dc, const RECT& icon);
    virtual bool IsBold(ListItem* item);
    virtual void OnItemActivated(ListItem* item, bool wasSelected, int x, int y);
    virtual void OnRightClick(ListItem* item);
    virtual void OnDoubleClick(ListItem* item);
    virtual void OnSelectionChanged(ListItem* item);
    virtual void OnBeginLabelEdit(NMLVDISPINFOW* info);
    virtual void OnEndLabelEdit(NMLVDISPINFOW* info);

    HWND List() const { return list; }
    HWND Host() const { return host; }
    bool IsShown() const { return visible != 0; }
    uint32_t SortKey() const { return sortKey; }
    uint32_t CommandBase() const { return commandBase; }

protected:
    HWND list = nullptr;
    HWND parent = nullptr;
    HMENU sortMenu = nullptr;
    HMENU filterMenu = nullptr;
    uint32_t filterMenuCount = 0;
    uint32_t sortMenuCount = 0;
    uint32_t sortKey = 0;
    HMENU contextMenu = nullptr;
    HWND host = nullptr;
    uint8_t visible = 0;
    HFONT boldFont = nullptr;
    HFONT normalFont = nullptr;
    uint8_t thumbnails = 0;
    // The selected item when the pen went down: a tap on it finds it already selected.
    ListItem* previousSelection = nullptr;
    HIMAGELIST smallImages = nullptr;
    HIMAGELIST largeImages = nullptr;
    uint32_t commandBase = 0;

private:
    static LRESULT HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT ListProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static int SortCallback(LPARAM a, LPARAM b, LPARAM context);
    LRESULT CustomDraw(NMLVCUSTOMDRAW* draw);
    void PaintEmptyText(HDC dc, RECT client);
    RECT ItemRect(int32_t index, int part) const;

    WNDPROC previousListProc = nullptr;
    bool sortAscending = true;
    bool clickPending = false;
};

// A one-line status strip of two parts above a list.
class TitleStrip {
public:
    static constexpr int32_t kMaxText = 256;

    ~TitleStrip() { Destroy(); }
    bool Create(HWND parent, uint32_t id);
    // With `keepEnd`, a text too long for its part is cut before its last `keepEnd` characters
    // (an ellipsis marks the cut), so that its end (a count) stays in view.
    void SetText(const char16_t* text, size_t keepEnd = 0);
    void SetSecondText(const char16_t* text);
    void FitParts();
    int GetHeight() const;
    void Show(bool show);
    void Destroy();
    HWND Window() const { return strip; }
    const char16_t* Text1() const { return first; }
    const char16_t* Text2() const { return second; }

private:
    HWND strip = nullptr;
    char16_t first[kMaxText + 1] = {};
    char16_t second[kMaxText + 1] = {};
    size_t firstKeep = 0;
};
