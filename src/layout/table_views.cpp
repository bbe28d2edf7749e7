#include "layout/table_views.h"

#include <algorithm>
#include <limits>

namespace TableViews {

namespace {

constexpr int32_t kNoStop = std::numeric_limits<int32_t>::max();
// However the lines lie, a table is never read in more views than this.
constexpr size_t kMostViews = 100000;

// Where the view across from x goes next for a word it does not show whole. Around the word,
// the outermost cell that starts right of x is a column of its own when it starts in the
// view's right half or beyond: the view goes to its left edge (a column stop). A column that
// starts in the view's left half is this view's: a word of it cut at the side shows its whole
// letters and is read in the next view (ColumnStops), and a word of it wholly beyond the side is
// gone to directly. Inside a cell that started at or before x (wider than the view) the view goes
// to the word.
enum class Stop { kNone, kColumn, kWord };

Stop StopFor(const Word& w, int32_t x, int32_t width, int32_t& stop) {
    for (int32_t cell : w.cells) {
        if (cell <= x || cell > w.left) continue;
        if (cell >= x + width / 2) {
            stop = cell;
            return Stop::kColumn;
        }
        stop = w.left;
        return w.left >= x + width ? Stop::kWord : Stop::kNone;
    }
    stop = w.left;
    return Stop::kWord;
}

// The view a word is read in: the last one across that shows it whole, else the last one that
// shows a part of it.
int32_t HomeOf(const Word& w, const std::vector<int32_t>& stops, int32_t width) {
    int32_t whole = -1, part = -1;
    for (int32_t s : stops) {
        if (WordShows(w.left, w.right, s, width)) whole = s;
        if (w.left < s + width && w.right > s) part = s;
    }
    return whole >= 0 ? whole : part >= 0 ? part : stops.front();
}

// The view a picture or a control is seen in: the one across that shows the most of it (the
// first of those that show as much). A control wider than the view belongs to the column it
// starts in, not to the next one its far edge reaches into.
int32_t ObjectHomeOf(const Word& w, const std::vector<int32_t>& stops, int32_t width) {
    int32_t home = stops.front(), most = 0;
    for (int32_t s : stops) {
        const int32_t shown = std::min(w.right, s + width) - std::max(w.left, s);
        if (shown > most) home = s, most = shown;
    }
    return home;
}

// Whether the view across at `to` shows whole every word, picture and control the view at
// `from` shows whole: then the view at `from` shows nothing of its own.
bool ShowsAllOf(const std::vector<Line>& lines, int32_t from, int32_t to, int32_t width) {
    auto kept = [&](const Word& w) {
        return !WordShows(w.left, w.right, from, width) || WordShows(w.left, w.right, to, width);
    };
    return std::all_of(lines.begin(), lines.end(), [&](const Line& line) {
        return std::all_of(line.words.begin(), line.words.end(), kept) &&
               std::all_of(line.objects.begin(), line.objects.end(), kept);
    });
}

// The offset down that brings the first line not wholly shown below the view to its top.
bool OffsetDown(const std::vector<const Line*>& lines, int32_t y, const Frame& f, int32_t& to) {
    bool found = false;
    int32_t next = 0;
    for (const Line* line : lines) {
        if (line->bottom <= y + f.height || line->top <= y) continue;
        if (!found || line->top < next) next = line->top;
        found = true;
    }
    if (!found) return false;
    // A line taller than the view still leaves its lower part to the next turn. The last turn
    // too moves by whole lines: it brings the last lines to the top with room left below them
    // rather than stop where the content's foot meets the view's and show most of it again.
    to = std::min(next, y + f.height);
    return to > y;
}

}  // namespace

bool WordShows(int32_t left, int32_t right, int32_t x, int32_t width) {
    if (right - left > width) return left < x + width && right > x;
    return left >= x && right <= x + width;
}

std::vector<int32_t> ColumnStops(const std::vector<Line>& lines, const Frame& frame) {
    std::vector<int32_t> stops{0};
    if (frame.largestX <= 0 || frame.width <= 0) return stops;
    while (stops.size() < kMostViews) {
        const int32_t x = stops.back();
        int32_t next = kNoStop;
        bool column = false;
        int32_t firstCut = kNoStop;  // the first word cut at the view's side
        for (const Line& line : lines)
            for (const Word& w : line.words) {
                if (w.right <= x + frame.width || w.left <= x) continue;
                if (w.left < x + frame.width) firstCut = std::min(firstCut, w.left);
                int32_t stop = 0;
                const Stop kind = StopFor(w, x, frame.width, stop);
                if (kind == Stop::kNone || stop > next) continue;
                column = kind == Stop::kColumn || (stop == next && column);
                next = stop;
            }
        // Words cut at the side that no view further across shows whole: the next view goes
        // to the first of them, so that each is read whole in some view, whichever rows the
        // page holds.
        if (next == kNoStop) next = firstCut;
        if (next == kNoStop) break;
        // Going on inside a column wider than the view, the words cut at its side come whole.
        if (!column) next = std::min(next, firstCut);
        next = std::min(next, frame.largestX);
        if (next <= x) break;
        // A view that the next one shows all of (a column's edge a cell's inset before its
        // words) is no step of its own: the column is read from its words. The first view
        // keeps the table's left edge.
        if (stops.size() > 1 && ShowsAllOf(lines, x, next, frame.width))
            stops.back() = next;
        else
            stops.push_back(next);
    }
    return stops;
}

std::vector<Point> ViewSequence(const std::vector<Line>& lines, const Frame& frame) {
    const std::vector<int32_t> stops = ColumnStops(lines, frame);
    std::vector<Point> views;
    for (int32_t x : stops) {
        // The lines read in this view across: those with a word, picture or control at home in
        // it.
        std::vector<const Line*> band;
        auto wordHere = [&](const Word& w) { return HomeOf(w, stops, frame.width) == x; };
        auto objectHere = [&](const Word& w) { return ObjectHomeOf(w, stops, frame.width) == x; };
        for (const Line& line : lines)
            if (std::any_of(line.words.begin(), line.words.end(), wordHere) ||
                std::any_of(line.objects.begin(), line.objects.end(), objectHere))
                band.push_back(&line);
        views.push_back(Point{x, 0});
        int32_t to = 0;
        while (frame.largestY > 0 && views.size() < kMostViews &&
               OffsetDown(band, views.back().y, frame, to))
            views.push_back(Point{x, to});
    }
    return views;
}

bool StepView(const std::vector<Point>& views, Point at, int32_t direction, Point& to) {
    auto before = [](Point a, Point b) { return a.x < b.x || (a.x == b.x && a.y < b.y); };
    if (direction > 0) {
        for (Point v : views)
            if (before(at, v)) {
                to = v;
                return true;
            }
        return false;
    }
    for (auto it = views.rbegin(); it != views.rend(); ++it)
        if (before(*it, at)) {
            to = *it;
            return true;
        }
    return false;
}

}  // namespace TableViews
