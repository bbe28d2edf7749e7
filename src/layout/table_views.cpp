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

bool Wide(const Word& w, int32_t width) {
    return w.right - w.left > width;
}

// The words and objects of a table ordered so that each view across looks only at those near
// it: a row of thousands of cells is worked out in time that grows with the cells, not with
// their square.
struct Index {
    std::vector<const Word*> words;   // the words, by left edge
    std::vector<const Word*> narrow;  // words and objects no wider than the view, by left edge
    std::vector<const Word*> wide;    // the wider ones, by right edge
    // The cells a word's view may go to (a column stop): for each cell edge that is the first
    // right of x for some word when x lies at or right of the edge outside it, the furthest
    // right such a word reaches.
    struct Edge {
        int32_t edge;
        int32_t outer;  // the edge of the cell around it, or the lowest value
        int32_t right;
    };
    std::vector<Edge> edges;  // by edge

    Index(const std::vector<Line>& lines, int32_t width) {
        for (const Line& line : lines) {
            for (const Word& w : line.words) {
                words.push_back(&w);
                (Wide(w, width) ? wide : narrow).push_back(&w);
                int32_t outer = std::numeric_limits<int32_t>::min();
                for (int32_t cell : w.cells) {
                    if (cell > w.left) continue;  // StopFor passes over it
                    edges.push_back(Edge{cell, outer, w.right});
                    outer = cell;
                }
            }
            for (const Word& w : line.objects) (Wide(w, width) ? wide : narrow).push_back(&w);
        }
        auto byLeft = [](const Word* a, const Word* b) { return a->left < b->left; };
        std::stable_sort(words.begin(), words.end(), byLeft);
        std::stable_sort(narrow.begin(), narrow.end(), byLeft);
        std::stable_sort(wide.begin(), wide.end(),
                         [](const Word* a, const Word* b) { return a->right < b->right; });
        std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) {
            return a.edge != b.edge ? a.edge < b.edge : a.outer < b.outer;
        });
        // One entry per edge and cell around it.
        size_t kept = 0;
        for (const Edge& e : edges) {
            if (kept > 0 && edges[kept - 1].edge == e.edge && edges[kept - 1].outer == e.outer) {
                edges[kept - 1].right = std::max(edges[kept - 1].right, e.right);
                continue;
            }
            edges[kept++] = e;
        }
        edges.resize(kept);
    }

    // Whether the view across at `to` shows whole every word, picture and control the view at
    // `from` shows whole: then the view at `from` shows nothing of its own.
    bool ShowsAllOf(int32_t from, int32_t to, int32_t width) const {
        // A narrow one shown whole at `from` and starting left of `to` is lost.
        auto it = std::lower_bound(narrow.begin(), narrow.end(), from,
                                   [](const Word* w, int32_t x) { return w->left < x; });
        for (; it != narrow.end() && (*it)->left < to && (*it)->left < from + width; ++it)
            if ((*it)->right <= from + width) return false;
        // A wider one meeting the view at `from` and ending before `to` is lost.
        auto w = std::upper_bound(wide.begin(), wide.end(), from,
                                  [](int32_t x, const Word* v) { return x < v->right; });
        for (; w != wide.end() && (*w)->right <= to; ++w)
            if ((*w)->left < from + width) return false;
        return true;
    }

    // How far right of `from` a view may go and still show whole every word, picture and
    // control the view at `from` shows whole (from itself when it cannot move).
    int32_t FurthestKeeping(int32_t from, int32_t width) const {
        int32_t furthest = std::numeric_limits<int32_t>::max();
        // A narrow one shown whole at `from` keeps its left edge in the view.
        auto it = std::lower_bound(narrow.begin(), narrow.end(), from,
                                   [](const Word* w, int32_t x) { return w->left < x; });
        for (; it != narrow.end() && (*it)->left < from + width; ++it)
            if ((*it)->right <= from + width) {
                furthest = (*it)->left;
                break;
            }
        // A wider one meeting the view at `from` keeps meeting it.
        auto w = std::upper_bound(wide.begin(), wide.end(), from,
                                  [](int32_t x, const Word* v) { return x < v->right; });
        for (; w != wide.end(); ++w)
            if ((*w)->left < from + width) {
                furthest = std::min(furthest, (*w)->right - 1);
                break;
            }
        return std::max(from, furthest);
    }
};

// The view a word is read in: the last one across that shows it whole, else the last one that
// shows a part of it.
size_t HomeOf(const Word& w, const std::vector<int32_t>& stops, int32_t width) {
    if (!Wide(w, width)) {
        // Shown whole from the views in [right - width, left].
        const size_t first = std::lower_bound(stops.begin(), stops.end(), w.right - width) -
                             stops.begin();
        const size_t end = std::upper_bound(stops.begin(), stops.end(), w.left) - stops.begin();
        if (first < end) return end - 1;
    }
    // A part of it shows in the views in (left - width, right).
    const size_t first = std::upper_bound(stops.begin(), stops.end(), w.left - width) -
                         stops.begin();
    const size_t end = std::lower_bound(stops.begin(), stops.end(), w.right) - stops.begin();
    return first < end ? end - 1 : 0;
}

// The view a picture or a control is seen in: the one across that shows the most of it (the
// first of those that show as much). A control wider than the view belongs to the column it
// starts in, not to the next one its far edge reaches into.
size_t ObjectHomeOf(const Word& w, const std::vector<int32_t>& stops, int32_t width) {
    size_t home = 0;
    int32_t most = 0;
    for (size_t i = std::upper_bound(stops.begin(), stops.end(), w.left - width) - stops.begin();
         i < stops.size() && stops[i] < w.right; ++i) {
        const int32_t shown = std::min(w.right, stops[i] + width) - std::max(w.left, stops[i]);
        if (shown > most) home = i, most = shown;
    }
    return home;
}

// The left offsets of the views across, from 0.
void Stops(const std::vector<Line>& lines, const Frame& frame, std::vector<int32_t>& stops) {
    stops.assign(1, 0);
    if (frame.largestX <= 0 || frame.width <= 0) return;
    const int32_t width = frame.width;
    const Index index(lines, width);
    size_t from = 0;  // the first word right of x
    size_t edge = 0;  // the first cell edge right of x
    while (stops.size() < kMostViews) {
        const int32_t x = stops.back();
        while (from < index.words.size() && index.words[from]->left <= x) ++from;
        while (edge < index.edges.size() && index.edges[edge].edge <= x) ++edge;
        int32_t next = kNoStop;
        bool column = false;
        auto take = [&](Stop kind, int32_t stop) {
            if (kind == Stop::kNone || stop > next) return;
            column = kind == Stop::kColumn || (stop == next && column);
            next = stop;
        };
        int32_t firstCut = kNoStop;  // the first word cut at the view's side
        int32_t cutLeft = kNoStop;   // where the narrow words cut there start
        int32_t cutRight = kNoStop;  // and how far right they reach
        // The words that start in the view and reach past its side, and the first word beyond
        // it: the nearest stop a word gives is at or left of that word.
        size_t k = from;
        for (; k < index.words.size() && index.words[k]->left < x + width; ++k) {
            const Word& w = *index.words[k];
            if (w.right <= x + width) continue;
            firstCut = std::min(firstCut, w.left);
            if (!Wide(w, width)) {
                cutLeft = std::min(cutLeft, w.left);
                cutRight = cutRight == kNoStop ? w.right : std::max(cutRight, w.right);
            }
            int32_t stop = 0;
            const Stop kind = StopFor(w, x, width, stop);
            take(kind, stop);
        }
        int32_t reach = x + width - 1;  // no word further on gives a stop left of this
        if (k < index.words.size()) {
            int32_t stop = 0;
            const Stop kind = StopFor(*index.words[k], x, width, stop);
            take(kind, stop);
            reach = index.words[k]->left;
        }
        // A word further on can still give the edge of a cell that starts before it.
        for (size_t e = edge; e < index.edges.size() && index.edges[e].edge <= reach; ++e) {
            const Index::Edge& c = index.edges[e];
            if (c.edge < x + width / 2 || c.outer > x || c.right <= x + width) continue;
            take(Stop::kColumn, c.edge);
            break;
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
        // words) is no step of its own: the column is read from its words, when the next view
        // shows whole those cut at this one's side too.
        const bool cutShown = cutRight == kNoStop || (cutLeft >= next && cutRight <= next + width);
        if (cutShown && index.ShowsAllOf(x, next, width)) {
            stops.back() = next;
            continue;
        }
        // A column a few pixels wider than the view, whose words fit in it: the view slides
        // by those pixels rather than read the column again from its cut words, or go past
        // them to the next column. The first view too: a page's menu column is not left with
        // its line ends cut.
        if (cutRight != kNoStop) {
            const int32_t fitted = cutRight - width;
            if (fitted > x && fitted <= frame.largestX && index.ShowsAllOf(x, fitted, width)) {
                stops.back() = fitted;
                continue;
            }
        }
        stops.push_back(next);
    }
    // The last view goes on to the table's right edge when it keeps all it shows there: the
    // cells' insets and borders past the last words are no reason for the right arrows to stay.
    // (Short of the edge it stays: a slide that leaves the arrows would only cut the insets.)
    if (frame.largestX > stops.back() &&
        index.FurthestKeeping(stops.back(), width) >= frame.largestX)
        stops.back() = frame.largestX;
}

// The offset down that brings the first line not wholly shown below the view to its top;
// `lines` are ordered by their tops, and `first` is moved on past those at or above y.
bool OffsetDown(const std::vector<const Line*>& lines, size_t& first, int32_t y, const Frame& f,
                int32_t& to) {
    while (first < lines.size() && lines[first]->top <= y) ++first;
    size_t k = first;
    while (k < lines.size() && lines[k]->bottom <= y + f.height) ++k;
    if (k == lines.size()) return false;
    // A line taller than the view still leaves its lower part to the next turn. The last turn
    // too moves by whole lines: it brings the last lines to the top with room left below them
    // rather than stop where the content's foot meets the view's and show most of it again.
    to = std::min(lines[k]->top, y + f.height);
    return to > y;
}

}  // namespace

bool WordShows(int32_t left, int32_t right, int32_t x, int32_t width) {
    if (right - left > width) return left < x + width && right > x;
    return left >= x && right <= x + width;
}

std::vector<int32_t> ColumnStops(const std::vector<Line>& lines, const Frame& frame) {
    std::vector<int32_t> stops;
    Stops(lines, frame, stops);
    return stops;
}

std::vector<Point> ViewSequence(const std::vector<Line>& lines, const Frame& frame) {
    std::vector<int32_t> stops;
    Stops(lines, frame, stops);
    // The lines read in each view across: those with a word, picture or control at home in it.
    std::vector<std::vector<const Line*>> bands(stops.size());
    std::vector<const Line*> last(stops.size(), nullptr);
    for (const Line& line : lines) {
        auto add = [&](size_t home) {
            if (last[home] == &line) return;
            last[home] = &line;
            bands[home].push_back(&line);
        };
        for (const Word& w : line.words) add(HomeOf(w, stops, frame.width));
        for (const Word& w : line.objects) add(ObjectHomeOf(w, stops, frame.width));
    }
    std::vector<Point> views;
    for (size_t i = 0; i < stops.size(); ++i) {
        std::vector<const Line*>& band = bands[i];
        std::stable_sort(band.begin(), band.end(),
                         [](const Line* a, const Line* b) { return a->top < b->top; });
        views.push_back(Point{stops[i], 0});
        size_t first = 0;
        int32_t to = 0;
        while (frame.largestY > 0 && views.size() < kMostViews &&
               OffsetDown(band, first, views.back().y, frame, to))
            views.push_back(Point{stops[i], to});
    }
    return views;
}

bool ViewReading(const std::vector<Line>& lines, const Frame& frame,
                 const std::vector<Point>& views, const Word& word, int32_t top, size_t& view) {
    std::vector<int32_t> stops;
    Stops(lines, frame, stops);
    const int32_t x = stops[HomeOf(word, stops, frame.width)];
    bool found = false;
    for (size_t i = 0; i < views.size(); ++i) {
        if (views[i].x != x) continue;
        if (found && views[i].y > top) break;
        view = i;
        found = true;
    }
    return found;
}

bool StepView(const std::vector<Point>& views, Point at, int32_t direction, Point& to) {
    auto before = [](Point a, Point b) { return a.x < b.x || (a.x == b.x && a.y < b.y); };
    // An offset short of the first view (not drawn yet since its page was laid out) is there.
    if (!views.empty() && before(at, views.front())) at = views.front();
    if (direction > 0) {
        auto it = std::upper_bound(views.begin(), views.end(), at, before);
        if (it == views.end()) return false;
        to = *it;
        return true;
    }
    auto it = std::lower_bound(views.begin(), views.end(), at, before);
    if (it == views.begin()) return false;
    to = *(it - 1);
    return true;
}

}  // namespace TableViews
