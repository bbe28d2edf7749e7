// The list control: a page of rows over a RecordSet, one row per record (icons, the display text
// cut to the width, an optional short label), with a current row, paging and scrolling commands,
// keys, two scroll buttons and a saved state. It never holds all records: only the top position
// and the geometry of the rows that fit below it; it walks the set with Previous and Next.
//
// Rows are laid out and painted in list_rows.cpp. Drawing goes through the context of BeginDraw;
// without a surface above it the control keeps its rows and draws nothing.
//
// Re-entrancy: the client's OnActivate and a parent's ExecuteCommand may destroy the control;
// nothing of it is touched after either unless a weak reference says it is still alive.
#pragma once

#include <cstdint>
#include <memory>

#include "core/containers.h"
#include "core/geometry.h"
#include "core/ref_counted.h"
#include "core/string.h"
#include "database/record_set.h"
#include "graphics/controls/form_control.h"
#include "graphics/core/command_ids.h"
#include "graphics/core/graphics_context.h"
#include "graphics/core/node.h"
#include "media/image/icon_image.h"

class AppPaths;
class ButtonControl;
class ByteStream;
class TimerList;

// What the list's owner may take over (all optional).
class ListClient {
public:
    // The user activated the current row.
    virtual void OnActivate(const RecordPosition& position) = 0;
    virtual bool ExecuteClientCommand(uint32_t command) = 0;
    // Asked first for every event; true hands the command to ExecuteClientCommand.
    virtual bool TranslateEvent(InputEvent& event, uint32_t& command) = 0;

protected:
    ~ListClient() = default;
};

class ListControl : public Widget, public ControlListener {
public:
    // Item-by-item move codes of the key rows.
    static constexpr uint32_t kKeyItemNext = kKeyFocusNext;
    static constexpr uint32_t kKeyItemPrevious = kKeyFocusPrevious;
    static constexpr uint32_t kKeyItemNextAlt = kKeyFocusNextLine;
    static constexpr uint32_t kKeyItemPreviousAlt = kKeyFocusPreviousLine;
    static constexpr uint32_t kNoRow = 0xFFFFFFFFu;
    static constexpr int kIconCacheSize = 6;
    static constexpr uint16_t kIconUp = 234;
    static constexpr uint16_t kIconDown = 233;
    static constexpr uint32_t kEmptyMessageId = 5235;
    // Scroll-button clicks further apart than this start the acceleration again.
    static constexpr uint32_t kRepeatGapMs = 600;
    // The acceleration stops at steps of kMaxRepeat / 8 + 1 records.
    static constexpr uint32_t kMaxRepeat = 8 * 31;

    struct RowRecord {
        Rect iconArea;
        Rect textArea;
        Rect labelArea;
        Rect rowArea;
        RecordPosition position;
    };

    // paths may be null (the desktop's resolution decides the metrics).
    ListControl(const AppPaths* paths, TimerList* timers, const IconHost& icons);
    ~ListControl() override;

    // Node face.
    bool Show(bool show) override;
    bool IsShown() const override { return shown_; }
    bool HandleEvent(InputEvent& event) override;
    void Redraw(const Rect* area) override;
    // Paging: Cmd::kNextPage to Cmd::kScrollBackThree, and Cmd::kResetList.
    void ExecuteCommand(uint32_t command, uint32_t argument) override;
    void OnFocusChanged(bool gained) override { SetHighlighted(gained); }
    void SetHighlighted(bool highlighted) override;
    Rect& AdjustRect(Rect& out, const Rect& in) override;
    bool HitTest(const Rect& area) override { return Rect::Intersects(bounds_, area); }
    bool GetRect(Rect& out) override {
        out = bounds_;
        return true;
    }
    int32_t ZOrder() const override { return 0; }

    // Scroll-button events (1 click, 6 reset).
    void OnControlEvent(FormControl* control, uint32_t eventId, uint32_t argument,
                        const Rect* rect) override;

    // The set is counted: the control holds a reference.
    void SetRowSource(RecordSet* source);
    RecordSet* RowSource() const { return source_.Get(); }
    void SetClient(ListClient* client) { client_ = client; }
    void SetStyle(int style);
    void SetListFont(const FontStyle& font) { listFont_ = font; }
    const FontStyle& ListFont() const { return listFont_; }

    void ShowRecord(GraphicsContext* gc, const RecordPosition& position, bool centre);
    bool MoveBy(uint32_t command, bool markBusy);
    bool ScrollBy(int32_t n, bool keepCurrent);
    void EnsureCurrentRow();
    bool GetCurrentItemExtent(RecordPosition& out) const;
    void KeepCurrentInRange();
    bool LocateRow(uint32_t& firstRow, uint32_t& pageRows, uint32_t& total);
    void RepaintListed(GraphicsContext* gc);
    // Like Redraw with the caller's context, and even while hidden.
    void Paint(GraphicsContext* gc, const Rect* area);
    // Three little-endian words: top entry, current row, current part.
    bool SaveState(ByteStream& out);
    bool RestoreState(ByteStream& in);
    void GetPreferredSize(Size& out, int32_t rows, int32_t columns, int32_t& lineHeight,
                          int32_t& stripWidth, GraphicsContext* gc);
    // Walks the whole set (its cost grows with the set).
    void GetContentSize(Size& out, int32_t& minRowHeight, int32_t& stripWidth, GraphicsContext* gc);

    // Row layout and painting (list_rows.cpp).
    bool PaintRows(GraphicsContext* gc, bool backward, bool measureOnly, bool force,
                   bool listedOnly);

    // One row and its pieces (list_rows.cpp); public for the owners that measure rows.
    struct RowFlags {
        bool fits = false;
        bool complete = false;
    };
    FontStyle RowFont(bool bold, bool italic, bool underline) const;
    FontStyle SmallFont() const;
    FontStyle MessageFont() const;
    void LayoutRow(GraphicsContext* gc, const String& text, const String& label, uint32_t iconIds,
                   const Rect& area, String& fitted, const RowInfo& info, RowFlags& flags,
                   RowRecord& row, int32_t labelWidth, int32_t minRowHeight, bool cut,
                   bool fullWidth);
    void FitText(GraphicsContext* gc, const String& text, const Rect& area, String& out, Size& size,
                 bool& fits, bool& complete, bool cut);
    const IconImage* GetIconImage(uint32_t id, Size& size);
    void DrawRowBackground(GraphicsContext* gc, const Rect& area, bool current, bool focused);
    void DrawRowText(GraphicsContext* gc, const Rect& area, const String& text, const RowInfo& info,
                     bool current);
    void DrawIcons(GraphicsContext* gc, const Rect& area, uint32_t ids, bool current, bool focused);
    void DrawLabel(GraphicsContext* gc, const Rect& column, const Rect& box, const String& label);
    void DrawHighlight(GraphicsContext* gc);

    // Read-outs.
    const Rect& Bounds() const { return bounds_; }
    int32_t RowCount() const { return rows_.Count(); }
    const RowRecord* Row(int32_t i) const { return rows_.Get(i); }
    uint32_t CurrentRow() const { return currentRow_; }
    uint32_t CurrentPart() const { return currentPart_; }
    const RecordPosition& TopPosition() const { return top_; }
    bool CanScrollUp() const { return canScrollUp_; }
    bool CanScrollDown() const { return canScrollDown_; }
    ButtonControl* UpButton() const { return upButton_.Get(); }
    ButtonControl* DownButton() const { return downButton_.Get(); }
    int32_t Margin() const { return margin_; }
    int32_t StripWidth();
    uint32_t HighlightMode() const { return highlightMode_; }
    uint32_t BackgroundColour() const { return backgroundColour_; }
    // Icon ids in the cache, for tests (0: empty entry).
    uint32_t CachedIconId(int i) const { return i >= 0 && i < kIconCacheSize ? icons_[i].id : 0; }
    // Every field that must hold between operations: the current row on the page, the rows
    // laid out inside the bounds, the icon cache without duplicate ids.
    bool CheckInvariants() const;

private:
    struct CachedIcon {
        std::shared_ptr<const IconImage> image;
        uint32_t stamp = 0;
        uint32_t id = 0;
    };
    bool ExecuteOwnCommand(uint32_t command);
    bool MoveItem(bool forward);
    // The laid-out row under a point (kNoRow: none), and the pen's taps on rows.
    uint32_t RowAt(Point p) const;
    bool HandlePen(InputEvent& event);
    bool RowBlocked(uint32_t index);
    void SetCurrent(uint32_t row);
    void ClearCurrent();
    void RedrawAll();
    bool EnsureScrollButtons();
    void PlaceScrollButtons();
    RecordPosition StepBack(RecordPosition p, int32_t n);

    uint32_t RowFill(bool current) const;
    Size IconBlock(uint32_t ids, Size& main, Size& overlay);

    const AppPaths* paths_;
    TimerList* timers_;
    IconHost iconHost_;
    Rect bounds_{};
    RefPtr<RecordSet> source_;
    RecordPosition top_ = RecordPosition::At(RecordPosition::kBeforeFirst);
    RecordPosition pending_ = RecordPosition::At(RecordPosition::kAfterLast);
    SegArray<RowRecord, 4> rows_;
    PagedU32Array repaint_;
    bool shown_ = false;
    RefPtr<ButtonControl> upButton_;
    RefPtr<ButtonControl> downButton_;
    bool buttonsFailed_ = false;
    bool canScrollUp_ = false;
    bool canScrollDown_ = false;
    bool iconsEnabled_ = true;
    bool labelsEnabled_ = true;
    uint32_t highlightMode_ = 0;
    uint32_t frameColour_ = 0;
    bool selectionColours_ = false;
    uint32_t selectedTextColour_ = 0;
    uint32_t selectedBackgroundColour_ = 0;
    uint32_t textColour_ = 0;
    uint32_t backgroundColour_ = 0xFFFFFF;
    bool scrollButtons_ = false;
    FontStyle listFont_{};
    int32_t margin_ = 3;
    bool noEmptyMessage_ = false;
    bool pageAtEnds_ = true;
    bool commandsToParent_ = true;
    bool busy_ = false;
    int keyColumn_ = 8;
    CachedIcon icons_[kIconCacheSize];
    uint32_t currentRow_ = kNoRow;
    uint32_t currentPart_ = 1;
    // The row the pen went down on (kNoRow: none).
    uint32_t penRow_ = kNoRow;
    bool focused_ = false;
    uint32_t repeat_ = 0;
    uint32_t lastClick_ = 0;
    ListClient* client_ = nullptr;
};
