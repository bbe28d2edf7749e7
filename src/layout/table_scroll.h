// Scrollable tables on a page: a table wider or taller than its room is shown in a view that
// scrolls by 40-pixel steps, with arrow columns at its sides. The scroll state lives in the
// page record's TableScrollEntry list (one per scrollable table, keyed by the table's
// document position); these functions compute the geometry, the moves and the arrow marks.
// Drawing and the blit are the page drawing's; the functions here say what and where.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/geometry.h"
#include "core/string.h"
#include "layout/inline_objects.h"
#include "layout/page_layout.h"
#include "media/image/icon_image.h"

namespace TableScroll {

constexpr int32_t kStep = 40;
constexpr int32_t kMinArrowHeight = 6;
constexpr int32_t kMaxIcons = 3;
// Selecting with this id flips every table; scrolling with it moves the selected ones.
constexpr uint32_t kAllTables = 0xFFFFFFFFu;
constexpr uint32_t kSelectedTables = 0xFFFFFFFEu;
constexpr uint32_t kSelectedFrame = 0x0000FF;  // red, r | g << 8 | b << 16

// What the view geometry depends on: the arrow icons (222 and 223), the table marker's width,
// the page margins and the column count.
struct Geometry {
    Size leftIcon{};
    Size rightIcon{};
    bool haveIcons = false;
    int32_t markerWidth = 0;
    int32_t leftMargin = 0;
    int32_t rightMargin = 0;
    int columns = 1;
};

// The two arrow icons (222 left, 223 right), loaded when the layout starts: the program's
// icons as pictures of the page have them (ImageObject::IconById), so an icon without a size
// is no icon here either.
class TableIcons {
public:
    static constexpr uint16_t kLeftArrow = 222;
    static constexpr uint16_t kRightArrow = 223;
    // Replaces both icons; false (and no icons) when either is missing.
    bool Load(const IconHost& host);
    const IconImage* Left() const { return left_ ? left_->Icon() : nullptr; }
    const IconImage* Right() const { return right_ ? right_->Icon() : nullptr; }
    // Puts the icons' sizes into the geometry (haveIcons only with both).
    void Describe(Geometry& g) const;

private:
    struct Releaser {
        void operator()(ImageObject* object) const { object->Release(); }
    };
    std::unique_ptr<ImageObject, Releaser> left_;
    std::unique_ptr<ImageObject, Releaser> right_;
};

// Whether a table is shown in a view that scrolls: its content is wider or taller than its box.
// Only such a table is drawn clipped to the view between its arrow columns; any other is drawn
// whole, however narrow the view would be.
bool IsScrollable(const TableRecord& table);
// A scrollable table's first view on a laid-out page (see TableViews::ViewSequence), 0, 0 for a
// table that has none: its drawing shows it there at first, and never further left.
Point FirstView(PageLayout& layout, PageSlot& slot, uint32_t position);
// The view of a table inside its rectangle, leaving room for the arrow columns; false without
// both icons. The room on either side is never negative: a view is never wider than its table.
bool GetTableViewRect(const Geometry& g, const Rect& table, Rect& view);
// The view, the two arrow columns (at least kMinArrowHeight high, the left one at least the
// icon's width + 2 wide) and the table's area between them.
bool GetTableScrollGeometry(const Geometry& g, const Rect& table, Rect& view, Rect& leftArrow,
                            Rect& area, Rect& rightArrow);
// The tops of the icon copies drawn down a column: as many as fit, at most `most`, evenly
// spaced; one centred copy when at most one fits; none for an icon without height.
void IconColumnPlaces(const Rect& column, int32_t iconHeight, int32_t most,
                      std::vector<int32_t>& tops);
// Which arrows show: the left one when scrolled right of 0, the right one before the end.
void ArrowsShown(const TableScrollEntry& e, bool& left, bool& right);

// The move a step makes from the saved (or current) offsets, kept within 0 .. largest (0 on an
// axis whose largest is negative); the result is the new offsets minus the current ones. An
// offset a page turn left past the largest (see VerticalOffsetWithin) is not pulled back by a
// step further on.
Point ComputeScroll(const TableScrollEntry& e, Point step, bool fromSaved);
// A table's vertical offset kept within its content: 0 when the content fits its view, else at
// most the content's last row of pixels. Scrolling stops where the content's foot meets the
// view's (ComputeScroll), but a page turn's last step brings the last lines to the view's top
// with room left below them, so that it shows no line again but the one it may have cut.
int32_t VerticalOffsetWithin(int32_t y, int32_t contentHeight, int32_t viewHeight);
// Whether the view cuts a line across [top, top + height) at its top or foot: a line the view
// shows whole, or none of, is not cut, nor one taller than the view (it shows as far as the view
// goes). A cut line shows no text: the view before or after it shows it whole. rest gets the
// part of the view beside the line, where its pictures are cut to.
bool LineCutByView(const Rect& view, int32_t top, int32_t height, Rect& rest);
// The largest offsets become the size (or the larger of the two when growing only).
void SetTableExtent(TableScrollEntry& e, Size size, bool growOnly);
// Moves the table `which` (an id, or kSelectedTables: the selected ones, every one when none is
// selected) by the step from its current offsets. moved gets the ids that moved; true when one
// did.
bool ScrollTables(std::vector<TableScrollEntry>& entries, Point step, uint32_t which,
                  std::vector<uint32_t>* moved = nullptr);
// After a table's view moved its pixels by a scroll of `move` (the content shifts by -move),
// the strips the blit uncovered: |dx| wide on the side the content came from, |dy| high at
// the top or bottom; they are filled with the table's (or the page's) background.
void UncoveredStrips(const Rect& view, Point move, std::vector<Rect>& out);
// Before a key scroll: the saved offsets take the current ones.
void ResetTableCells(std::vector<TableScrollEntry>& entries);
// Toggles one table, or (kAllTables) sets every table to the opposite of the first one's state;
// changed gets the ids whose state changed (to be framed again).
void SelectTable(std::vector<TableScrollEntry>& entries, uint32_t id,
                 std::vector<uint32_t>& changed);
TableScrollEntry* FindEntry(std::vector<TableScrollEntry>& entries, uint32_t id);
// The view and the translation of a table's content: view - table - current offsets (offsets 0
// when the table has no entry). False without a view.
bool GetTableContentOffset(const Geometry& g, std::vector<TableScrollEntry>& entries,
                           const Rect& table, uint32_t id, Rect& view, Point& offset);
// The scrollable table whose view holds the point, from the tables of a laid-out block: found
// tells whether there is one, the result whether it is selected.
bool TableAt(const Geometry& g, BlockContents& block, std::vector<TableScrollEntry>& entries,
             Point p, uint32_t& id, bool& found);

// The script call of an arrow mark: "move_table(id)" over the table, "move_table(id,-40)" and
// "move_table(id,40)" over the arrows (step 0 gives the first form).
void MoveTableCall(uint32_t id, int32_t step, String& out);

}  // namespace TableScroll
