// The text focus box and selection on a laid-out page: a box moved word by word and line by
// line over the block's items, an anchor fixed at a word, the selection between the anchor
// and the box, its text (for annotations and dictionary lookup) and its outline, drawn by
// inverting.
//
// The ranges hold cursors into one slot's BlockContents. They are only good for the block
// they were made on: Bind notes the slot, its page start and the serial of its items, and
// any change (another page, a relayout, an item inserted) empties them before they are used.
#pragma once

#include <cstdint>

#include "core/geometry.h"
#include "core/string.h"
#include "graphics/widgets/area.h"
#include "layout/block_contents.h"

class DocumentSource;
class DisplayLink;
class PageCanvas;
class PageLayout;
struct PageSlot;

// One word or selection end: start = end means no range.
struct FocusRange {
    uint32_t start = 0;
    uint32_t end = 0;
    BlockCursor cursor;
    bool IsEmpty() const { return start == end; }
    void Clear() { start = end = 0; }
};

// How an item counts for word moves.
enum class WordItemKind { kWord, kBoundary, kSkipped };
WordItemKind ClassifyWordItem(const BlockContents& block, const BlockCursor& cursor);

// Forward: the first item from the cursor on that is a word (wantWord) or a boundary leaves
// the cursor on it; at the end, true only when a boundary was wanted. Backward: steps back
// until an item matches and rests just after it; at the start, true only for a boundary.
bool ScanWords(BlockCursor& cursor, bool forward, bool wantWord);
// n times: on to the next word item, then on to the boundary after it.
void SkipWords(BlockCursor& cursor, int32_t n);

// The directions of MoveFocus.
enum FocusDirection : uint32_t {
    kFocusLineUp = 1,
    kFocusLineDown = 2,
    kFocusWordBack = 3,
    kFocusWordOn = 4,
};

class TextFocus {
public:
    // Drawing goes through the canvas, blinking flushes the display surface; either may be
    // null (nothing is drawn or flushed).
    void SetDrawing(PageCanvas* canvas, DisplayLink* flush) {
        canvas_ = canvas;
        flush_ = flush;
    }
    // The block the box moves over (the current page's slot; null: none). The layout, when
    // given, builds the selection outline.
    void Bind(PageLayout* layout, PageSlot* slot);
    // A bare block without a page (no outline).
    void BindBlock(BlockContents* block);

    bool MoveFocus(uint32_t direction);
    bool FocusPreviousWord();
    bool FocusNextWord(bool skipCurrent);
    // The word under a point of the page: it becomes the focus range.
    bool FocusWordAt(Point p);

    void SetRange(bool anchor, bool redraw);
    // Selects the words that meet the text positions [start, end) (a found text); false when
    // none of the block's words does.
    bool SelectPositions(uint32_t start, uint32_t end);
    bool HasNoSelection() const { return anchor_.IsEmpty() || active_.IsEmpty(); }
    bool GetSelection(BlockCursor& from, BlockCursor& to) const;
    void GetSelectionRange(uint32_t& start, uint32_t& end) const;
    // The selection extended by n - 1 further words; false for n 0, no block or no selection.
    bool GetSelectionText(int32_t n, String& text, uint32_t& language) const;
    // The selection's text, limited to 50 words unless unlimited; empty (true) without one.
    // language comes in as the block's and goes out as the text's.
    bool GetLookupText(String& text, uint32_t& language, bool unlimited) const;
    // The block's first 3 words, or 6 when they give fewer than 10 characters (10 for CJK).
    bool GetBlockTextSample(String& text, uint32_t& language) const;
    // The location of the first object of the selection that has one.
    bool GetSelectedObjectLocation(String& text) const;
    bool GetSelectionArea(Area& out) const;
    void RedrawSelection(bool draw);
    // Draws the outline again after the page was painted over it.
    void Repaint();
    bool GetFocusBox(Rect& out) const;
    void GetFocusPoint(Point& out) const;
    void BlinkFocusBox();
    void ClearFocusBox();

    const FocusRange& Focus() const { return focus_; }
    const FocusRange& Anchor() const { return anchor_; }
    const FocusRange& Active() const { return active_; }
    const Area& Outline() const { return area_; }

    static constexpr int32_t kLookupWords = 50;
    static constexpr int32_t kBlinks = 4;

private:
    // The text of the items in [from, to): runs and object texts, one space for each run of
    // breaks between them, hyphens dropped; trimmed.
    bool RangeText(const BlockCursor& from, const BlockCursor& to, String& text,
                   uint32_t& language) const;
    uint32_t PositionOf(const BlockCursor& c) const;
    // From just after a word item back onto the first item of its word.
    void BackToWordStart(BlockCursor& c) const;
    // The focus range: the word whose first item is at `first`.
    void SetFocusAt(const BlockCursor& first);
    void ResetRanges();
    void Rebind(BlockContents* block, uint32_t start);
    void DrawOutline(const Area& area);

    BlockContents* block_ = nullptr;
    PageLayout* layout_ = nullptr;
    PageSlot* slot_ = nullptr;
    uint32_t boundStart_ = 0xFFFFFFFFu;
    uint64_t boundSerial_ = 0;
    FocusRange focus_;
    FocusRange anchor_;
    FocusRange active_;
    Area area_;
    PageCanvas* canvas_ = nullptr;
    DisplayLink* flush_ = nullptr;
};
