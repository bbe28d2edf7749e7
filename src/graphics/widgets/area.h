// Hit regions with attached links: a rectangle, a circle, a polygon or a list of rectangles,
// hit-tested with a tolerance and drawn by inverting (so drawing twice restores the screen).
// Areas live in paged arrays whose entries never move; an AreaMap is a counted list of them with
// a default link.
#pragma once

#include <cstdint>
#include <memory>

#include "core/geometry.h"
#include "core/ref_counted.h"
#include "core/segmented_array.h"
#include "document/markup/link_target.h"

class GraphicsContext;
class String;

// The second link of an area (the layout engine's element that may carry a value).
class AreaLinkValue : public RefCounted {
public:
    virtual bool HasValue() const = 0;
    virtual uint32_t Value() const = 0;
};

using PointList = SegArray<Point, 4>;
using RectList = SegArray<Rect, 4>;

namespace RectLists {
// Creates the list when the holder is empty, then appends; false when either fails.
bool Add(RectList*& holder, const Rect& r);
void Free(RectList*& holder);
}  // namespace RectLists

class Area {
public:
    enum Kind : uint32_t { kEmpty = 0, kRect = 1, kCircle = 2, kPolygon = 3, kRectList = 4 };
    static constexpr Rect kDefaultBounds{-10000, -10000, 20000, 20000};

    Area() = default;
    ~Area();
    Area(const Area&) = delete;
    Area& operator=(const Area&) = delete;

    void Reset();
    bool IsEmpty() const { return kind == kEmpty; }
    void SetRect(const Rect& r);
    void SetCircle(Point centre, int32_t r);
    // Takes ownership of the list (null: an empty polygon).
    void SetPolygon(PointList* points);
    // Takes ownership of the list (null: no rectangles).
    void SetRectList(RectList* list);
    static void CopyRect(Rect& out, const Rect& in) { out = in; }

    bool HitTest(Point p, int32_t tolerance) const;
    void GetBounds(Rect& out) const;
    void EndPoint(Point& out) const;
    int32_t RectCount() const;
    // Appends pointers to the area's rectangles; false when memory runs out.
    bool CollectRects(SegArray<const Rect*, 4>& out) const;
    // Takes over the other's geometry and links (the other loses its lists and links).
    void MoveFrom(Area& other);
    bool CopyFrom(const Area& other);
    // The exclusive-or of two rectangle sets, row by row; out may be a or b. False when memory
    // runs out.
    static bool Combine(const Area& a, const Area& b, Area& out);
    // Inverts the area's pixels (clipped to its bounds); highlight is kept for callers.
    void Draw(GraphicsContext& gc, bool highlight) const;
    bool GetLinkText(String* out) const;
    uint32_t LinkValue() const;

    Rect bounds = kDefaultBounds;
    uint32_t kind = kEmpty;
    bool laidOut = true;
    Rect shape{};
    std::unique_ptr<PointList> polygon;
    RectList* rects = nullptr;
    int32_t radius = 0;
    RefPtr<LinkTarget> link;
    RefPtr<AreaLinkValue> secondLink;
};

// Areas in pages of 16 constructed entries; entries keep their addresses as the array grows.
class AreaArray {
public:
    static constexpr int32_t kShift = 4;
    static constexpr int32_t kPerPage = 1 << kShift;

    AreaArray() = default;
    ~AreaArray() { Destroy(); }
    AreaArray(const AreaArray&) = delete;
    AreaArray& operator=(const AreaArray&) = delete;

    void Init();
    // Room for n areas; false when memory runs out (the pages made so far stay).
    bool Reserve(int32_t n);
    // The area (the used count raised to i + 1); null beyond the reserved entries.
    Area* At(int32_t i);
    int32_t Count() const { return used_; }
    int32_t Allocated() const { return allocated_; }
    void Clear();
    void Destroy();

    // The next n page allocations succeed and the ones after fail (negative: never fail).
    static void FailPagesAfterForTesting(int32_t n);

private:
    int32_t capacity_ = 0;
    std::unique_ptr<std::unique_ptr<Area[]>[]> pages_;
    int32_t used_ = 0;
    int32_t allocated_ = 0;
};

class AreaMap : public RefCounted {
public:
    AreaMap() = default;

    void SetDefault(LinkTarget* link) { default_.Assign(link); }
    // The area is moved in, not copied; false when memory runs out.
    bool Add(Area& area);
    // The link of the last area hit (searching from the end), else the default link.
    LinkTarget* HitTest(Point p);
    AreaArray& Areas() { return areas_; }

protected:
    ~AreaMap() override;

private:
    AreaArray areas_;
    RefPtr<LinkTarget> default_;
};
