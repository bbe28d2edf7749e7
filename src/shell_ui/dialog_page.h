// Every dialog of the program is a DialogPage: an object over a dialog template of the
// resources, with one shared dialog procedure that turns window messages into calls of the
// page's virtual operations. Dialogs are full screen, carry their own soft-key bar and take the
// main window's caption while they run. A PropertySheet is a list of pages shown through its
// own host dialog, a numbered list from which the user opens one page at a time.
//
// The dialogs in front are kept on a stack (the current-dialog record): a dialog is pushed when
// it opens and leaves the stack when its window is destroyed, whichever way it ends.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/string.h"
#include "platform/controls/controls.h"
#include "platform/dialog/dialog.h"
#include "reader/menu_items.h"
#include "shell_ui/soft_key_bar.h"

class ReaderController;
class ReaderShell;

class DialogPage {
public:
    static constexpr int32_t kTitleItem = 1091;
    static constexpr uint32_t kDefaultMenu = 214;
    static constexpr uint32_t kOkKey = MenuItem::kDialogOk;
    static constexpr uint32_t kCancelKey = MenuItem::kDialogCancel;
    static constexpr UINT kEditChanged = 0x300;

    DialogPage();
    virtual ~DialogPage();
    DialogPage(const DialogPage&) = delete;
    DialogPage& operator=(const DialogPage&) = delete;
    // The caption of a page titled by string `id`: the string without the dots a menu text
    // ends with.
    static std::u16string CaptionText(uint32_t id);

    // Modal: true when the dialog ended with OK. Modeless: true once the window exists; the
    // bar and full screen are put back when that window is destroyed.
    virtual bool Run(HWND owner, ReaderController* controller, bool leaveFullScreen);
    // Brings the dialog now in front back (enabled, foreground, focused).
    static void ReactivateModeless();
    // The dialog in front; null when none.
    static HWND CurrentDialog();
    static size_t OpenDialogCount();
    // Where full screen is left and re-entered around a dialog.
    static void SetShell(ReaderShell* shell);

    HWND Window() const { return window_; }
    HWND Owner() const { return owner_; }
    uint32_t Title() const { return title_; }
    SoftKeyBar& Bar() { return bar_; }
    DialogPage* Next() const { return next_; }
    void SetNext(DialogPage* next) { next_ = next; }
    bool IsModeless() const { return modeless_; }
    // The sheet page (0-based) this page ended asking for, then -1 again; -1 when none.
    int32_t TakePageSwitch();

    // Item operations on the page window.
    HWND GetItem(int32_t id) const;
    void SetItemFont(HFONT font, int32_t id);
    LRESULT SendItemMessage(int32_t id, UINT message, WPARAM wParam, LPARAM lParam);
    bool SetItemText(int32_t id, const String& text);
    bool SetItemTextRes(int32_t id, uint32_t stringId);
    bool SetItemInt(int32_t id, uint32_t value);
    // The whole text; false when it is empty.
    bool GetItemText(int32_t id, String& out) const;
    // At most `limit` characters, for fields that ask for a cap.
    bool GetItemText(int32_t id, String& out, int32_t limit) const;
    int32_t GetItemInt(int32_t id, bool* ok = nullptr) const;
    int32_t ListAdd(int32_t id, const String& text);
    int32_t ListCount(int32_t id);
    int32_t ListGetSel(int32_t id);
    bool ListSetSel(int32_t id, int32_t index);
    bool IsChecked(int32_t id);
    void SetChecked(int32_t id, bool checked);
    void EnableItem(int32_t id, bool enabled);
    void ShowItem(int32_t id, bool shown);
    void AddItemStyle(int32_t id, DWORD style);
    // Multi-line with a vertical scroll bar.
    void MakeMultiLine(int32_t id);
    void InvalidateItem(int32_t id);

protected:
    // The first row of the page below its title line, in the page's coordinates.
    int32_t BelowTitleLine() const;

    // The page's operations, in the order the procedure calls them.
    virtual void OnInit() {}
    virtual void OnSettingChange() {}
    virtual void OnFocus() {}
    // A key press (hot keys and list-view keys), once per press.
    virtual void OnKey(UINT) {}
    // False keeps the dialog open.
    virtual bool OnOk() { return true; }
    virtual void OnDrawItem(WPARAM, LPARAM) {}
    // Every WM_COMMAND, before the framework's own handling.
    virtual void OnCommand(WPARAM, LPARAM) {}
    virtual void OnEndLabelEdit(WPARAM, LPARAM) {}
    virtual void OnPaint(HDC) {}
    virtual void OnLayout(int32_t, int32_t, int32_t, int32_t) {}
    virtual void OnHScroll(WPARAM, LPARAM) {}
    // A timer the page set on its window.
    virtual void OnTimer(UINT_PTR) {}
    virtual void OnUpDown(const NMUPDOWN&) {}
    virtual void OnKeyUp(WPARAM, LPARAM) {}
    virtual void OnKeyDown(WPARAM, LPARAM) {}
    virtual void OnPointer(int32_t, int32_t, bool) {}
    virtual void OnItemChanged(const NMLISTVIEW&) {}
    // A tap or a double tap on a list view's row.
    virtual void OnRowTapped(const NMITEMACTIVATE&) {}
    // True when the page set the control's text colour.
    virtual bool OnStaticColour(HDC, HWND) { return false; }
    virtual void OnEditChanged(int32_t) {}

    // Ends the dialog (modal: with the result; modeless: destroys it).
    void End(INT_PTR result);
    // Ends the page for another page of its sheet, keeping its edits as OK does; false (and
    // the page stays) when OnOk refuses.
    bool SwitchToPage(int32_t page);
    void RunLayout();
    void FitTitle();
    ReaderController* Controller() const { return controller_; }

    uint32_t title_ = 0;
    SoftKeyBar bar_;
    uint32_t template_ = 0;
    uint32_t menu_ = 0;
    HFONT font_ = nullptr;
    // The title's own smaller font, when the title does not fit in the page's (null otherwise).
    HFONT titleFont_ = nullptr;
    HWND window_ = nullptr;
    HWND owner_ = nullptr;
    bool embedded_ = false;
    bool modeless_ = false;
    bool editNotices_ = true;
    // The bar is made even for an embedded page.
    bool ownBar_ = false;
    DialogPage* next_ = nullptr;

private:
    // The key of the hot key being pressed: the same press also reaches a list as a key-down,
    // which is then not handed to the key operation a second time.
    UINT hotKeyDown_ = 0;
    static INT_PTR Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    bool InitDialog(HWND window);
    INT_PTR OnCommandMessage(WPARAM wParam, LPARAM lParam);
    INT_PTR OnNotify(const NMHDR& header, LPARAM lParam);
    void PaintTitleLine();
    void Forget();
    void Restore();

    ReaderController* controller_ = nullptr;
    bool leftFullScreen_ = false;
    int32_t pageSwitch_ = -1;
};

// A DialogPage with an activation; the options pages record their index there.
class OptionPage : public DialogPage {
public:
    virtual void OnActivate() {}
};

// Pages in the order added; the sheet deletes them.
class PropertySheet {
public:
    PropertySheet();
    virtual ~PropertySheet();
    PropertySheet(const PropertySheet&) = delete;
    PropertySheet& operator=(const PropertySheet&) = delete;
    // The sheet owns its pages; a null page is ignored. Returns the page added.
    template <typename Page>
    Page* AddPage(std::unique_ptr<Page> page) {
        Page* added = page.get();
        Append(std::move(page));
        return added;
    }
    virtual bool RunModal(HWND owner, ReaderController* controller, bool leaveFullScreen);
    DialogPage* FirstPage() const { return pages_.empty() ? nullptr : pages_.front().get(); }
    int32_t PageCount() const { return static_cast<int32_t>(pages_.size()); }
    void SetStartPage(int32_t page) { startPage_ = page; }
    int32_t StartPage() const { return startPage_; }
    // The program-wide sheet title string id.
    static uint32_t SheetTitle();
    static void SetSheetTitle(uint32_t stringId);

private:
    void Append(std::unique_ptr<DialogPage> page);

    // In the order added, each linked to the next.
    std::vector<std::unique_ptr<DialogPage>> pages_;
    int32_t startPage_ = 0;
};

// The sheet's host: the numbered list of its pages (template 504, bar 505).
class PropertySheetHost : public DialogPage {
public:
    static constexpr int32_t kListItem = 1033;
    static constexpr uint32_t kDoneKey = 508;

    PropertySheetHost(DialogPage* first, uint32_t title, bool leaveFullScreen);
    ~PropertySheetHost() override;
    // Opens the page of a row; false when there is none.
    bool OpenPage(int32_t row);

protected:
    void OnInit() override;
    void OnKey(UINT key) override;
    void OnRowTapped(const NMITEMACTIVATE& row) override;
    void OnLayout(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
    void OnCommand(WPARAM wParam, LPARAM lParam) override;
    bool OnOk() override { return false; }

private:
    DialogPage* PageAt(int32_t row);
    int32_t SelectedRow();
    void SelectRow(int32_t row);

    DialogPage* first_;
    bool leaveFullScreen_;
    HFONT listFont_ = nullptr;
};
