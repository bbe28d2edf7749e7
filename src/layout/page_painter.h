// The page painter: draws a laid-out page (one of the paginator's slots) on the layout's canvas,
// with the page background, the lines with their alignment and frames, text runs, inline
// objects in two passes, scrollable tables with their frames and arrows, the reader's
// highlights and note marks, and the bookmark corner. Drawing never changes the layout; it
// records only where runs and objects went, for the marks built from them (page_marks.cpp).
//
// It owns what lasts from one draw to the next (the canvas, the page colours, BODY's colours
// and the alignment of lines that name none) and what a draw carries along (the style in
// force, the font last set, the shift and clip of a scrolled table). Everything else it asks
// of the layout (its owner) through the layout's public queries: the settings, the viewport,
// the columns and margins, the fonts, the side file's annotations and the marks of a page.
//
// Threading: GUI thread only, like the layout.
#pragma once

#include <cstdint>
#include <vector>

#include "core/geometry.h"
#include "layout/block_contents.h"
#include "layout/page_canvas.h"
#include "layout/paginator.h"

class PageCanvas;
class PageLayout;

class PagePainter {
public:
    static constexpr uint32_t kNone = PageRecord::kNone;

    explicit PagePainter(PageLayout& layout) : layout_(layout) {}
    PagePainter(const PagePainter&) = delete;
    PagePainter& operator=(const PagePainter&) = delete;

    // The canvas is not owned.
    void SetCanvas(PageCanvas* canvas) { canvas_ = canvas; }
    PageCanvas* Canvas() const { return canvas_; }
    void SetPageColours(uint32_t text, uint32_t background) {
        textColour_ = text;
        backgroundColour_ = background;
    }
    uint32_t BackgroundColour() const { return backgroundColour_; }
    // BODY's BGCOLOR and TEXT, met while the first page is sought: the background of a page
    // that names none of its own, and the colour of text that names none. Forgotten (kNone)
    // when the first page is sought again.
    void SetBodyBackground(uint32_t colour) { bodyColour_ = colour; }
    void SetBodyTextColour(uint32_t colour) { bodyTextColour_ = colour; }
    void ForgetBodyColours() { bodyColour_ = bodyTextColour_ = kNone; }
    // Draws the page a slot holds (null: none, and the viewport is then filled with the
    // background, and the answer is false).
    bool DrawPage(PageSlot* slot);
    // Where a note's mark goes: with style bit 5 a bar in the gap left of the column holding
    // the point (narrow or wide), else a small square at the point. False outside the columns.
    bool MarkerRect(uint32_t style, Point at, const LineRecord& line, bool narrow, Rect& out) const;

private:
    void DrawItems(PageSlot& slot, uint32_t background);
    int32_t DrawLine(PageSlot& slot, int32_t index, int32_t* counts, uint32_t background);
    struct LineWalk;
    void WalkLine(PageSlot& slot, LineWalk& walk, int32_t* counts, int pass);
    // One pass over the line's items before it is drawn: where they end (the next line, table,
    // row or cell, or a table's end), its last word (a space before it is a gap), the gaps
    // between words a justified line shares its free width over, and whether a style in it
    // shows a background of its own.
    void ScanLine(const BlockContents& c, LineWalk& walk, const int32_t* counts) const;
    // Whether the line's walk for backgrounds would fill anything: a background of its own, a
    // style in it with one, or annotations that may tint it.
    bool Fills(const PageSlot& slot, const LineWalk& walk) const;
    void DrawLineFrame(const LineRecord& line, uint32_t lineBackground, uint32_t background);
    void DrawCell(PageSlot& slot, const CellRecord& cell, const TableRecord* table);
    void EnterTable(PageSlot& slot, TableRecord& table, uint32_t position);
    // The selected table's red frame and the arrows at the sides where more of it lies.
    void DrawTableScroller(PageSlot& slot, const TableRecord& table, uint32_t position);
    // Copies of an icon centred down a column, as many as fit (at most three).
    void DrawIconColumn(const Rect& column, uint16_t icon);
    void FrameRect(const Rect& r, uint32_t colour);
    // The colour the page is filled with: its own, else BODY's, else the settings'.
    uint32_t PageBackground(const PageSlot& slot) const;
    void DrawMarkBox(const MarkBox& box);
    void PrepareHighlights(PageSlot& slot, bool makeLinks);
    uint32_t ShownBackground(const PositionRecord& style, uint32_t fallback) const;
    void SetRunFont(const PositionRecord& style);
    bool DrawObjects(PageSlot& slot, int32_t pass, uint32_t background);
    void DrawBookmarkCorner(PageSlot& slot);
    void ApplyDrawStyle(const PositionRecord& style);
    uint32_t TextColour() const;
    // The colour a run in `style` is drawn in: its own, else the page's default.
    uint32_t TextColour(const PositionRecord& style) const;
    // The clip of inline box k (box: the box, when it is known) as it is met in a scrolled
    // table: the view, or for a picture on a line the view cuts, the view beside that line.
    void NoteObjectClip(int32_t k, const InlineBox* box = nullptr);
    // Whether text drawn across [x, x + width) shows whole in a scrolled table's view (a word
    // wider than the view counts as shown: it is drawn cut).
    bool TextShows(int32_t x, int32_t width) const;
    // Draws a run of text at its baseline; in a scrolled table's view only its letters that
    // the view holds whole.
    void DrawRun(const String& text, const PositionRecord& style, Point baseline, int32_t width);
    // A line's words of one font and colour go to the canvas in one call: text waits here
    // until the font or the colour changes, anything else is drawn, or the line ends, so the
    // page is drawn in the same order as word by word. `text` outlives the line.
    void QueueText(const String& text, Point baseline, uint32_t colour);
    void FlushText();
    // A form control in a scrolled table shows as far as the view holds it (cut at the view's
    // side where it can be, else only whole); wholly outside it is hidden.
    void ShowControlIn(PageSlot& slot, InlineObject& control, const Rect& r, const Rect& clip);

    PageLayout& layout_;
    PageCanvas* canvas_ = nullptr;
    uint32_t textColour_ = 0;
    // BODY's colours (kNone: it names none).
    uint32_t bodyColour_ = 0xFFFFFFFFu;
    uint32_t bodyTextColour_ = 0xFFFFFFFFu;
    // The page's own text colour (BODY's) when it names one, else the reader's.
    uint32_t DefaultTextColour() const;
    uint32_t backgroundColour_ = 0xFFFFFF;
    PositionRecord drawStyle_;
    // While a scrollable table is drawn: its content moves by its scroll offsets.
    Point drawShift_{};
    int32_t drawnTableDepth_ = 0;
    // While a scrolled table is drawn: its box, to which its pictures are clipped too (they
    // are drawn after the items, one clip per inline box; an empty one is none).
    const Rect* tableClip_ = nullptr;
    Rect tableView_{};
    std::vector<Rect> objectClips_;
    // While a line the view cuts is drawn: the clip of its pictures.
    bool lineCut_ = false;
    Rect lineCutClip_{};
    // The font last given to the canvas (a size below 0 when unknown): a run sets it only when
    // it differs, in size and face as well as flags.
    int32_t shownFontSize_ = -1;
    uint8_t shownFontFlags_ = 0;
    uint8_t shownFontFace_ = 0;
    // The style bytes the shown font was worked out from (while its size is known).
    uint32_t shownStyleKey_ = 0;
    std::vector<CanvasText> queuedText_;
    uint32_t queuedColour_ = 0;
};
