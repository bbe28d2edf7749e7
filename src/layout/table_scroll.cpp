#include "layout/table_scroll.h"

#include <algorithm>
#include <cstdlib>

namespace TableScroll {

bool TableIcons::Load(const IconHost& host) {
    left_.reset(ImageObject::IconById(host, kLeftArrow));
    right_.reset(ImageObject::IconById(host, kRightArrow));
    if (left_ && right_) return true;
    left_.reset();
    right_.reset();
    return false;
}

void TableIcons::Describe(Geometry& g) const {
    g.haveIcons = left_ && right_;
    g.leftIcon = left_ ? Size{left_->NaturalWidth(), left_->NaturalHeight()} : Size{};
    g.rightIcon = right_ ? Size{right_->NaturalWidth(), right_->NaturalHeight()} : Size{};
}

bool IsScrollable(const TableRecord& table) {
    return table.content.width > table.box.width || table.content.height > table.box.height;
}

bool GetTableViewRect(const Geometry& g, const Rect& table, Rect& view) {
    view = table;
    if (!g.haveIcons) return false;
    int32_t left = std::max(g.markerWidth, g.leftIcon.width) - g.leftMargin + 2;
    int32_t right = g.rightIcon.width - g.rightMargin + 2;
    // A negative room would widen the view past its table (into the column gap).
    left = std::max(0, left);
    right = std::max(0, right);
    int32_t width = std::max(0, table.width - left - right);
    view = Rect{table.x + left, table.y, width, table.height};
    return true;
}

bool GetTableScrollGeometry(const Geometry& g, const Rect& table, Rect& view, Rect& leftArrow,
                            Rect& area, Rect& rightArrow) {
    if (!GetTableViewRect(g, table, view)) return false;
    int32_t h = std::max(kMinArrowHeight, view.height);
    int32_t leftWidth = std::max(view.x - table.x, g.leftIcon.width + 2);
    leftArrow = Rect{view.x - leftWidth, view.y, leftWidth, h};
    int32_t rightX = view.x + view.width;
    // As on the left, an arrow column narrower than its icon reaches into the margin.
    rightArrow =
        Rect{rightX, view.y, std::max(table.x + table.width - rightX, g.rightIcon.width + 2), h};
    area = view;
    return true;
}

void IconColumnPlaces(const Rect& column, int32_t iconHeight, int32_t most,
                      std::vector<int32_t>& tops) {
    tops.clear();
    if (iconHeight <= 0 || most <= 0) return;
    int32_t fit = column.height / iconHeight;
    if (fit <= 1) {
        tops.push_back(column.y + (column.height - iconHeight) / 2);
        return;
    }
    int32_t n = std::min(fit, most);
    int32_t gap = (column.height - n * iconHeight) / (n + 1);
    for (int32_t i = 0; i < n; ++i) tops.push_back(column.y + gap + i * (iconHeight + gap));
}

void ArrowsShown(const TableScrollEntry& e, bool& left, bool& right) {
    left = e.x > 0;
    right = e.x < e.largestX;
}

Point ComputeScroll(const TableScrollEntry& e, Point step, bool fromSaved) {
    auto axis = [](int32_t from, int32_t d, int32_t largest) {
        int64_t v = static_cast<int64_t>(from) + d;
        int32_t top = std::max({largest, 0, from});
        return static_cast<int32_t>(std::clamp<int64_t>(v, 0, top));
    };
    int32_t x = axis(fromSaved ? e.savedX : e.x, step.x, e.largestX);
    int32_t y = axis(fromSaved ? e.savedY : e.y, step.y, e.largestY);
    return Point{x - e.x, y - e.y};
}

int32_t VerticalOffsetWithin(int32_t y, int32_t contentHeight, int32_t viewHeight) {
    if (contentHeight <= viewHeight) return 0;
    return std::clamp(y, 0, contentHeight - 1);
}

bool LineCutByView(const Rect& view, int32_t top, int32_t height, Rect& rest) {
    const int32_t bottom = top + height, viewBottom = view.y + view.height;
    if (height > view.height || bottom <= view.y || top >= viewBottom) return false;
    if (top >= view.y && bottom <= viewBottom) return false;
    rest = top < view.y ? Rect{view.x, bottom, view.width, viewBottom - bottom}
                        : Rect{view.x, view.y, view.width, top - view.y};
    return true;
}

void SetTableExtent(TableScrollEntry& e, Size size, bool growOnly) {
    e.largestX = growOnly ? std::max(e.largestX, size.width) : size.width;
    e.largestY = growOnly ? std::max(e.largestY, size.height) : size.height;
}

bool ScrollTables(std::vector<TableScrollEntry>& entries, Point step, uint32_t which,
                  std::vector<uint32_t>* moved) {
    bool anySelected = false;
    for (const TableScrollEntry& e : entries) anySelected = anySelected || e.selected;
    bool any = false;
    for (TableScrollEntry& e : entries) {
        bool chosen = which == kSelectedTables ? (!anySelected || e.selected) : e.position == which;
        if (!chosen) continue;
        Point m = ComputeScroll(e, step, false);
        if (m.x == 0 && m.y == 0) continue;
        e.x += m.x;
        e.y += m.y;
        any = true;
        if (moved) moved->push_back(e.position);
    }
    return any;
}

void UncoveredStrips(const Rect& view, Point move, std::vector<Rect>& out) {
    out.clear();
    int32_t dx = std::min(std::abs(move.x), view.width);
    int32_t dy = std::min(std::abs(move.y), view.height);
    if (dx > 0) {
        // Content moving left (offset up) comes in from the right.
        int32_t x = move.x > 0 ? view.x + view.width - dx : view.x;
        out.push_back(Rect{x, view.y, dx, view.height});
    }
    if (dy > 0) {
        int32_t y = move.y > 0 ? view.y + view.height - dy : view.y;
        out.push_back(Rect{view.x, y, view.width, dy});
    }
}

void ResetTableCells(std::vector<TableScrollEntry>& entries) {
    for (TableScrollEntry& e : entries) {
        e.savedX = e.x;
        e.savedY = e.y;
    }
}

void SelectTable(std::vector<TableScrollEntry>& entries, uint32_t id,
                 std::vector<uint32_t>& changed) {
    changed.clear();
    if (entries.empty()) return;  // no first table to take the state from
    if (id == kAllTables) {
        uint8_t want = entries.front().selected ? 0 : 1;
        for (TableScrollEntry& e : entries) {
            if (e.selected == want) continue;
            e.selected = want;
            changed.push_back(e.position);
        }
        return;
    }
    TableScrollEntry* e = FindEntry(entries, id);
    if (!e) return;
    e->selected = e->selected ? 0 : 1;
    changed.push_back(id);
}

TableScrollEntry* FindEntry(std::vector<TableScrollEntry>& entries, uint32_t id) {
    for (TableScrollEntry& e : entries)
        if (e.position == id) return &e;
    return nullptr;
}

bool GetTableContentOffset(const Geometry& g, std::vector<TableScrollEntry>& entries,
                           const Rect& table, uint32_t id, Rect& view, Point& offset) {
    if (!GetTableViewRect(g, table, view)) return false;
    const TableScrollEntry* e = FindEntry(entries, id);
    int32_t ox = e ? e->x : 0;
    int32_t oy = e ? e->y : 0;
    offset = Point{view.x - table.x - ox, view.y - table.y - oy};
    return true;
}

bool TableAt(const Geometry& g, BlockContents& block, std::vector<TableScrollEntry>& entries,
             Point p, uint32_t& id, bool& found) {
    found = false;
    BlockCursor c;
    c.Init(&block, true);
    for (; !c.AtEnd(); c.Next()) {
        if (c.Kind() != kItemTable) continue;
        uint32_t position = block.PositionAt(c);
        TableScrollEntry* e = FindEntry(entries, position);
        if (!e) continue;
        Rect view;
        if (!GetTableViewRect(g, block.Table(c.counts[kItemTable])->box, view)) continue;
        if (!Rect::Contains(view, p)) continue;
        id = position;
        found = true;
        return e->selected != 0;
    }
    return false;
}

void MoveTableCall(uint32_t id, int32_t step, String& out) {
    out.SetEmpty();
    out.AppendAscii("move_table(");
    out.AppendUnsigned(id, 10);
    if (step != 0) {
        out.AppendChar(u',');
        if (step < 0) out.AppendChar(u'-');
        out.AppendUnsigned(static_cast<uint64_t>(step < 0 ? -static_cast<int64_t>(step) : step),
                           10);
    }
    out.AppendChar(u')');
}

}  // namespace TableScroll
