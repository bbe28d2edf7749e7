// The views PageDown shows of a table larger than its room on the page, in reading order. A
// table wider than its view is read column by column: the first view shows its left edge, each
// next one starts at the left edge of a column (a cell starting in the right half of the view
// before, or beyond it) whose words the views before could not show whole, or, inside a cell
// wider than the view or at a word cut at its side, at the first such word: no word is only
// ever shown cut. A column whose words the view can hold, though its edges make it a few pixels
// wider, is shown by a view slid to fit them, not read again from its cut words in a second
// strip nor left with them cut; the first view too (a page's menu column), and a table is first
// shown at its first view. The last view goes on to the table's right edge when it keeps its
// words whole there. Each of those views is read down before the next one across, over the
// lines whose words belong to it: a word belongs to the last view across that shows it whole.
// PageUp goes back over the same views.
//
// Everything here is in the table's content coordinates: 0, 0 is its top-left corner.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/geometry.h"

namespace TableViews {

// A word of the table: its horizontal extent and the left edges of the cells around it,
// outermost first.
struct Word {
    int32_t left = 0;
    int32_t right = 0;
    std::vector<int32_t> cells;
};

// A line of the table: its words, and its pictures and controls. These make their line one the
// views down stop at, as words do, but never make a view across of their own: a control wider
// than the view (a search field) shows as far as the view holds it, and a view moved to its
// edge would show the column again.
struct Line {
    int32_t top = 0;
    int32_t bottom = 0;
    std::vector<Word> words;
    std::vector<Word> objects;
};

// What the views look through and how far they may go (a negative largest offset: the table
// does not scroll on that axis).
struct Frame {
    int32_t width = 0;
    int32_t height = 0;
    int32_t largestX = -1;
    int32_t largestY = -1;
};

// Whether a word of this extent shows in a view across [x, x + width): whole, or, when it is
// wider than any view, as far as it meets the view.
bool WordShows(int32_t left, int32_t right, int32_t x, int32_t width);

// The left offsets of the views across, from the first.
std::vector<int32_t> ColumnStops(const std::vector<Line>& lines, const Frame& frame);

// Every view PageDown shows, from the table's first view to its last.
std::vector<Point> ViewSequence(const std::vector<Line>& lines, const Frame& frame);

// The view of `views` (the table's ViewSequence) that reads a word of this extent on a line
// whose top is `top`: down the view across the word is read in, the last one that starts at
// or above the line. False when no view holds it.
bool ViewReading(const std::vector<Line>& lines, const Frame& frame,
                 const std::vector<Point>& views, const Word& word, int32_t top, size_t& view);

// The view after (direction > 0) or before (direction < 0) the one at `at` in the sequence;
// false when there is none. An offset the sequence does not hold (the table was scrolled by
// hand) steps to the nearest view on that side; one short of the first view counts as that view.
bool StepView(const std::vector<Point>& views, Point at, int32_t direction, Point& to);

}  // namespace TableViews
