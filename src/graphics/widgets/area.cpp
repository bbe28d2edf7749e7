#include "graphics/widgets/area.h"

#include <algorithm>
#include <memory>
#include <new>

#include "core/string.h"
#include "graphics/core/graphics_context.h"

namespace {

int32_t gPageBudget = -1;

bool InsideOutset(const Rect& r, int32_t tolerance, Point p) {
    Rect grown = r;
    if (tolerance != 0) Rect::Outset(grown, tolerance, tolerance);
    return Rect::Contains(grown, p);
}

// Even-odd rule over the edges (p[j], p[i]), j the point before i.
bool InsidePolygon(const PointList& points, Point p) {
    int32_t n = points.Count();
    if (n == 0) return false;
    bool inside = false;
    for (int32_t i = 0, j = n - 1; i < n; j = i++) {
        const Point& a = points[i];
        const Point& b = points[j];
        bool straddles = (a.y <= p.y && p.y < b.y) || (b.y <= p.y && p.y < a.y);
        if (!straddles) continue;
        int64_t crossing = static_cast<int64_t>(a.x) +
                           static_cast<int64_t>(p.y - a.y) * (static_cast<int64_t>(b.x) - a.x) /
                               (static_cast<int64_t>(b.y) - a.y);
        if (p.x < crossing) inside = !inside;
    }
    return inside;
}

int CompareRows(const Rect& a, const Rect& b) {
    if (a.y != b.y) return a.y < b.y ? -1 : 1;
    if (a.height != b.height) return a.height < b.height ? -1 : 1;
    if (a.x != b.x) return a.x < b.x ? -1 : 1;
    if (a.width != b.width) return a.width < b.width ? -1 : 1;
    return 0;
}

}  // namespace

// ---- Rectangle lists --------------------------------------------------------------------------

bool RectLists::Add(RectList*& holder, const Rect& r) {
    if (!holder) holder = new (std::nothrow) RectList();
    return holder && holder->Append(r) >= 0;
}

void RectLists::Free(RectList*& holder) {
    delete holder;
    holder = nullptr;
}

// ---- Area -------------------------------------------------------------------------------------

Area::~Area() {
    Reset();
    link.Reset();
    secondLink.Reset();
}

void Area::Reset() {
    kind = kEmpty;
    bounds = kDefaultBounds;
    polygon.reset();
    RectLists::Free(rects);
}

void Area::SetRect(const Rect& r) {
    kind = kRect;
    shape = r;
}

void Area::SetCircle(Point centre, int32_t r) {
    kind = kCircle;
    shape = Rect{centre.x, centre.y, 0, 0};
    radius = r;
}

void Area::SetPolygon(PointList* points) {
    kind = kPolygon;
    if (points != polygon.get()) polygon.reset(points);
    int32_t n = polygon ? polygon->Count() : 0;
    if (n == 0) {
        shape = Rect{};
        return;
    }
    // The box starts from the first point, so negative coordinates are boxed too.
    Point first = (*polygon)[0];
    int32_t minX = first.x, minY = first.y, maxX = first.x, maxY = first.y;
    for (int32_t i = 1; i < n; ++i) {
        const Point& q = (*polygon)[i];
        minX = std::min(minX, q.x);
        minY = std::min(minY, q.y);
        maxX = std::max(maxX, q.x);
        maxY = std::max(maxY, q.y);
    }
    shape = Rect{minX, minY, maxX - minX, maxY - minY};
    if (!((*polygon)[n - 1] == first)) polygon->Append(first);
}

void Area::SetRectList(RectList* list) {
    kind = kRectList;
    if (list != rects) {
        RectLists::Free(rects);
        rects = list;
    }
}

bool Area::HitTest(Point p, int32_t tolerance) const {
    if (!Rect::Contains(bounds, p)) return false;
    if (kind == kCircle) {
        int64_t dx = static_cast<int64_t>(p.x) - shape.x;
        int64_t dy = static_cast<int64_t>(p.y) - shape.y;
        int64_t reach = static_cast<int64_t>(radius) + tolerance;
        return dx * dx + dy * dy <= reach * reach;
    }
    if (kind == kRectList) {
        if (!rects) return false;
        for (int32_t i = 0; i < rects->Count(); ++i)
            if (InsideOutset((*rects)[i], tolerance, p)) return true;
        return false;
    }
    if (!InsideOutset(shape, kind == kRect ? tolerance : 0, p)) return false;
    if (kind == kRect) return true;
    if (kind == kPolygon) return polygon && InsidePolygon(*polygon, p);
    return false;
}

void Area::GetBounds(Rect& out) const {
    switch (kind) {
        case kRect:
        case kPolygon: out = shape; return;
        case kCircle: out = Rect{shape.x - radius, shape.y - radius, 2 * radius, 2 * radius}; return;
        case kRectList:
            out = Rect{};
            if (rects)
                for (int32_t i = 0; i < rects->Count(); ++i) Rect::Union(out, (*rects)[i]);
            return;
        default: out = Rect{}; return;
    }
}

void Area::EndPoint(Point& out) const {
    out = Point{};
    switch (kind) {
        case kRect: out = Point{shape.Right() - 1, shape.Bottom() - 1}; return;
        case kCircle: out = Point{shape.x, shape.y}; return;
        case kPolygon:
            if (polygon && polygon->Count() > 0) out = (*polygon)[0];
            return;
        case kRectList:
            if (rects && rects->Count() > 0) {
                const Rect& last = (*rects)[rects->Count() - 1];
                out = Point{last.Right() - 1, last.Bottom() - 1};
            }
            return;
        default: return;
    }
}

int32_t Area::RectCount() const {
    if (kind == kRect) return 1;
    return rects ? rects->Count() : 0;
}

bool Area::CollectRects(SegArray<const Rect*, 4>& out) const {
    if (kind == kRect) return out.Append(&shape) >= 0;
    if (!rects) return true;
    for (int32_t i = 0; i < rects->Count(); ++i)
        if (out.Append(rects->Get(i)) < 0) return false;
    return true;
}

void Area::MoveFrom(Area& other) {
    if (&other == this) return;
    kind = other.kind;
    laidOut = other.laidOut;
    shape = other.shape;
    radius = other.radius;
    link.Assign(other.link);
    secondLink.Assign(other.secondLink);
    other.link.Reset();
    other.secondLink.Reset();
    RectLists::Free(rects);
    polygon = std::move(other.polygon);
    rects = other.rects;
    other.rects = nullptr;
}

bool Area::CopyFrom(const Area& other) {
    if (&other == this) return true;
    kind = other.kind;
    laidOut = other.laidOut;
    link.Assign(other.link);
    secondLink.Assign(other.secondLink);
    shape = other.shape;
    radius = other.radius;
    polygon.reset();
    RectLists::Free(rects);
    if (other.polygon) {
        polygon.reset(new (std::nothrow) PointList());
        if (!polygon || !polygon->Copy(*other.polygon)) return false;
    }
    if (other.rects) {
        rects = new (std::nothrow) RectList();
        if (!rects || !rects->Copy(*other.rects)) return false;
    }
    return true;
}

bool Area::Combine(const Area& a, const Area& b, Area& out) {
    if (b.IsEmpty()) return out.CopyFrom(a);
    // The rectangles are taken before out changes: out may be a or b.
    SegArray<const Rect*, 4> pointers;
    if (!a.CollectRects(pointers) || !b.CollectRects(pointers)) return false;
    int32_t n = pointers.Count();
    std::unique_ptr<Rect[]> all(new (std::nothrow) Rect[n > 0 ? n : 1]);
    if (!all) return false;
    for (int32_t i = 0; i < n; ++i) all[i] = *pointers[i];
    if (a.IsEmpty() && !out.CopyFrom(b)) return false;  // out takes b's links
    out.Reset();
    std::sort(all.get(), all.get() + n,
              [](const Rect& l, const Rect& r) { return CompareRows(l, r) < 0; });

    RectList* list = nullptr;
    bool ok = true;
    auto emit = [&](const Rect& row, int32_t start, int32_t end) {
        if (!ok || start >= end) return;
        ok = RectLists::Add(list, Rect{start, row.y, end - start, row.height});
    };
    for (int32_t i = 0; i < n && ok;) {
        const Rect row = all[i];
        int32_t start = row.x, end = row.Right();
        int32_t k = i + 1;
        for (; k < n && all[k].y == row.y && all[k].height == row.height; ++k) {
            const Rect& q = all[k];
            if (q.x < end) {
                emit(row, start, q.x);
                if (q.Right() > end) {
                    start = end;
                    end = q.Right();
                } else {
                    start = q.Right();
                }
            } else {
                emit(row, start, end);
                start = q.x;
                end = q.Right();
            }
        }
        emit(row, start, end);
        i = k;
    }
    if (list && list->Count() > 0)
        out.SetRectList(list);
    else
        RectLists::Free(list);
    return ok;
}

void Area::Draw(GraphicsContext& gc, bool /*highlight*/) const {
    // Without a pushed state nothing is drawn: popping would take the caller's state.
    if (!gc.PushState()) return;
    gc.IntersectClip(bounds);
    uint32_t oldMode = gc.SetDrawMode(3);
    gc.SetPenColor(0xFFFFFF);
    switch (kind) {
        case kRect:
            gc.SetBrushColor(0xFFFFFF);
            gc.DrawRectangle(shape, true);
            break;
        case kCircle: gc.DrawCircle(Point{shape.x, shape.y}, radius, false); break;
        case kPolygon:
            if (polygon)
                for (int32_t i = 1; i < polygon->Count(); ++i)
                    gc.DrawLine((*polygon)[i - 1], (*polygon)[i]);
            break;
        case kRectList:
            gc.SetBrushColor(0xFFFFFF);
            if (rects)
                for (int32_t i = 0; i < rects->Count(); ++i) gc.DrawRectangle((*rects)[i], true);
            break;
        default: break;
    }
    gc.SetDrawMode(oldMode);
    gc.PopState();
}

bool Area::GetLinkText(String* out) const {
    if (!link) return false;
    if (out) out->Assign(link->name);
    return !link->name.IsEmpty();
}

uint32_t Area::LinkValue() const {
    if (!secondLink || !secondLink->HasValue()) return 0;
    return secondLink->Value();
}

// ---- AreaArray --------------------------------------------------------------------------------

void AreaArray::FailPagesAfterForTesting(int32_t n) {
    gPageBudget = n;
}

void AreaArray::Init() {
    capacity_ = 0;
    pages_ = nullptr;
    used_ = 0;
    allocated_ = 0;
}

bool AreaArray::Reserve(int32_t n) {
    if (n <= allocated_) return true;
    int32_t needed = (n + kPerPage - 1) / kPerPage;
    if (needed > capacity_) {
        int32_t capacity = std::max(8, needed + 4);
        std::unique_ptr<std::unique_ptr<Area[]>[]> table(new (std::nothrow)
                                                             std::unique_ptr<Area[]>[capacity]);
        if (!table) return false;
        for (int32_t i = 0; i < capacity_; ++i) table[i] = std::move(pages_[i]);
        pages_ = std::move(table);
        capacity_ = capacity;
    }
    for (int32_t page = allocated_ / kPerPage; page < needed; ++page) {
        if (pages_[page]) continue;
        if (gPageBudget == 0) return false;
        if (gPageBudget > 0) --gPageBudget;
        pages_[page].reset(new (std::nothrow) Area[kPerPage]);
        if (!pages_[page]) return false;
        allocated_ += kPerPage;
    }
    return true;
}

Area* AreaArray::At(int32_t i) {
    if (i < 0 || i >= allocated_) return nullptr;
    if (used_ < i + 1) used_ = i + 1;
    return &pages_[i >> kShift][i & (kPerPage - 1)];
}

void AreaArray::Clear() {
    for (int32_t page = 0; page < capacity_ && pages_[page]; ++page) pages_[page].reset();
    used_ = 0;
    allocated_ = 0;
}

void AreaArray::Destroy() {
    Clear();
    pages_.reset();
    capacity_ = 0;
}

// ---- AreaMap ----------------------------------------------------------------------------------

AreaMap::~AreaMap() {
    default_.Reset();
    areas_.Destroy();
}

bool AreaMap::Add(Area& area) {
    int32_t n = areas_.Count();
    if (!areas_.Reserve(n + 1)) return false;
    Area* slot = areas_.At(n);
    if (!slot) return false;
    slot->MoveFrom(area);
    return true;
}

LinkTarget* AreaMap::HitTest(Point p) {
    for (int32_t i = areas_.Count() - 1; i >= 0; --i) {
        Area* a = areas_.At(i);
        if (a && a->HitTest(p, 0)) return a->link.Get();
    }
    return default_.Get();
}
