// The reader's single dialogs: find in text, go to page, volume, a text entry and memory
// information. Each reads and moves the reader through a ReaderDialogState, which
// ControllerDialogState answers over a ReaderController.
#pragma once

#include <cstdint>
#include <memory>

#include "core/string.h"
#include "reader/menu_items.h"
#include "shell_ui/dialog_page.h"

class ReaderMenuBar;

// Directions of the find dialog, in the order of its list.
enum class FindDirection : uint8_t { kFirst = 0, kPrevious = 1, kNext = 2, kLast = 3 };

class ReaderDialogState {
public:
    virtual ~ReaderDialogState() = default;
    // 1-based; below 1 when there is no laid-out document.
    virtual int32_t PageCount() = 0;
    // Below 1 when no page shows (the book's cover does).
    virtual int32_t CurrentPage() = 0;
    virtual bool GoToPage(int32_t page) = 0;
    // Back to the book's cover, where Go to page was opened.
    virtual bool ShowCover() { return false; }
    // The device volume, 0-65535.
    virtual uint32_t GetVolume() = 0;
    virtual void SetVolume(uint32_t volume) = 0;
    // The marks of the current block are built again.
    virtual void ClearCurrentBlockMarks() = 0;
    virtual bool HasDocument() = 0;
    // The start position of the current page; -1 without a laid-out page.
    virtual int64_t PageStart() = 0;
    // Searches [start, end) (end -1: to the end) in the direction. On a hit: true, the hit's
    // position, the direction the search moved on, and the bound it moved (start forward,
    // end backward).
    virtual bool Search(const String& text, bool wholeWord, bool matchCase, FindDirection& direction,
                        int64_t& start, int64_t& end, int64_t& hit) = 0;
    virtual bool GoToPosition(int64_t position) = 0;
    // Goes to a found text [start, end) and shows it selected.
    virtual bool ShowFound(int64_t start, int64_t end) {
        (void)end;
        return GoToPosition(start);
    }
    // The storage locations of the library: name, free and total bytes.
    virtual int32_t StorageCount() = 0;
    virtual bool StorageInfo(int32_t index, String& name, uint64_t& freeBytes, uint64_t& totalBytes) = 0;
    // The books present in the library: their count and the sum of their sizes.
    virtual void BookTotals(uint32_t& count, uint64_t& bytes) = 0;
};

// Over the reader controller, its book's page layout and search, and the audio player; storage
// answers nothing until the library that owns it is given.
class ControllerDialogState : public ReaderDialogState {
public:
    explicit ControllerDialogState(ReaderController* controller) : controller_(controller) {}
    int32_t PageCount() override;
    int32_t CurrentPage() override;
    bool GoToPage(int32_t page) override;
    bool ShowCover() override;
    uint32_t GetVolume() override;
    void SetVolume(uint32_t volume) override;
    void ClearCurrentBlockMarks() override;
    bool HasDocument() override;
    int64_t PageStart() override;
    bool Search(const String& text, bool wholeWord, bool matchCase, FindDirection& direction,
                int64_t& start, int64_t& end, int64_t& hit) override;
    bool GoToPosition(int64_t position) override;
    bool ShowFound(int64_t start, int64_t end) override;
    int32_t StorageCount() override { return 0; }
    bool StorageInfo(int32_t, String&, uint64_t&, uint64_t&) override { return false; }
    void BookTotals(uint32_t& count, uint64_t& bytes) override {
        count = 0;
        bytes = 0;
    }

private:
    ReaderController* controller_;
};

class FindDialog : public DialogPage {
public:
    static constexpr int32_t kTextItem = 1069;
    static constexpr int32_t kDirectionItem = 1078;
    static constexpr int32_t kDirectionSpinner = 1082;
    static constexpr int32_t kMatchCaseItem = 1080;
    static constexpr int32_t kWholeWordItem = 1081;
    static constexpr int32_t kOptionsLabel = 1077;
    static constexpr int32_t kOptionsToggle = 1109;
    static constexpr int32_t kCloseButton = MenuItem::kDialogClose;
    static constexpr int32_t kTextLimit = 50;

    // `lastSearch` keeps the text between runs (the reader bar's); may be null.
    FindDialog(ReaderDialogState* state, ReaderMenuBar* lastSearch);
    ~FindDialog() override;
    int64_t SearchPosition() const { return position_; }
    FindDirection Direction();

protected:
    void OnInit() override;
    void OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnEditChanged(int32_t id) override;
    bool OnOk() override;
    bool OnStaticColour(HDC dc, HWND control) override;
    void OnLayout(int32_t left, int32_t top, int32_t right, int32_t bottom) override;

private:
    void ShowOptions(bool shown);
    void SetDirection(FindDirection direction);
    void UpdateFindButton();
    void FitFindButton();

    ReaderDialogState* state_;
    ReaderMenuBar* bar_;
    bool optionsShown_ = false;
    bool hasDocument_ = false;
    HFONT regular_ = nullptr;
    int64_t position_ = 0;
    FindDirection direction_ = FindDirection::kNext;
    // The start of the page the last match was shown on (-1 none): while it still shows, the
    // next search goes on from that match, which need not begin the page.
    int64_t shownStart_ = -1;
};

class GoToPageDialog : public DialogPage {
public:
    static constexpr int32_t kNumberItem = 1074;
    static constexpr int32_t kSlider = 1070;
    static constexpr int32_t kFirstLabel = 1089;
    static constexpr int32_t kLastLabel = 1090;

    explicit GoToPageDialog(ReaderDialogState* state, int32_t pagesPerStep = 1);
    ~GoToPageDialog() override;
    // False without pages to go to (the dialog is not shown).
    bool Run(HWND owner, ReaderController* controller, bool leaveFullScreen) override;
    int32_t Page() const { return page_; }

protected:
    void OnInit() override;
    void OnEditChanged(int32_t id) override;
    void OnHScroll(WPARAM wParam, LPARAM lParam) override;
    void OnPointer(int32_t x, int32_t y, bool released) override;
    void OnLayout(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
    bool OnOk() override;
    void OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnTimer(UINT_PTR id) override;
    bool OnStaticColour(HDC dc, HWND control) override;

private:
    // Set on the dialog while keys wait: its message comes once they have all been read.
    static constexpr UINT_PTR kFollowTimer = 1;

    // Shows the page (kept within 1 .. count) and moves the reader there when it changed or with
    // `move`.
    void SetPage(int32_t page, bool updateField, bool move);
    // Shows the page in the title line, the slider and, with `updateField`, the field; true when
    // it changed.
    bool ShowPage(int32_t page, bool updateField);
    void MoveReader();
    // Moves the reader to the page shown, unless it is there already.
    void FollowPage();
    void FollowPageWhenTypingPauses();
    RECT LabelRect(int32_t id);

    ReaderDialogState* state_;
    int32_t step_;
    int32_t count_ = 0;
    int32_t page_ = 0;
    int32_t startPage_ = 0;
    // The page the reader shows, as far as the dialog moved it.
    int32_t readerPage_ = 0;
    bool updating_ = false;
    HFONT regular_ = nullptr;
};

class VolumeDialog : public DialogPage {
public:
    static constexpr int32_t kSlider = 245;
    static constexpr int32_t kRange = 32767;

    explicit VolumeDialog(ReaderDialogState* state);
    ~VolumeDialog() override;
    // The slider position of a volume and the volume of a position (0 when out of 1-65535).
    static int32_t PositionForVolume(uint32_t volume);
    static uint32_t VolumeForPosition(int32_t position);

protected:
    void OnInit() override;
    void OnSettingChange() override;
    void OnLayout(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
    void OnHScroll(WPARAM wParam, LPARAM lParam) override;
    void OnFocus() override;
    bool OnOk() override;
    bool OnStaticColour(HDC dc, HWND control) override;

private:
    void Apply();

    ReaderDialogState* state_;
    uint32_t volume_ = 0;
    HFONT regular_ = nullptr;
};

class TextEntryDialog : public DialogPage {
public:
    static constexpr int32_t kEditItem = 1088;
    // Modes: the annotation kind edited (note, modification, link), or a word for the
    // vocabulary list; each titles the dialog.
    static constexpr uint32_t kNoteMode = 2;
    static constexpr uint32_t kModificationMode = 16;
    static constexpr uint32_t kLinkMode = 32;
    static constexpr uint32_t kWordMode = 32768;
    static constexpr uint32_t kAddNoteTitle = 5084;
    static constexpr uint32_t kModifyTitle = 5090;
    static constexpr uint32_t kAddLinkTitle = 5093;
    static constexpr uint32_t kAddWordTitle = 5221;

    // The text starts the field and receives the result.
    TextEntryDialog(ReaderDialogState* state, uint32_t mode, String& text);

protected:
    void OnInit() override;
    void OnSettingChange() override;
    void OnLayout(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
    bool OnOk() override;

private:
    ReaderDialogState* state_;
    uint32_t mode_;
    String& text_;
};

class MemoryInfoDialog : public DialogPage {
public:
    static constexpr int32_t kListItem = 1033;
    static constexpr int32_t kFreeLine = 1108;
    static constexpr int32_t kBooksLine = 1112;

    explicit MemoryInfoDialog(ReaderDialogState* state);
    ~MemoryInfoDialog() override;
    // "n KB" below a megabyte, else "m,r MB", from bytes.
    static String FormatBytes(uint64_t bytes);

protected:
    void OnInit() override;
    void OnLayout(int32_t left, int32_t top, int32_t right, int32_t bottom) override;

private:
    ReaderDialogState* state_;
    HIMAGELIST images_ = nullptr;
};
