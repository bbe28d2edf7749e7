// The frames a book divides the reader's page into: a Frame is a widget that splits its rectangle
// among its children, as rows or as columns, each child a nested Frame (a frameset) or a leaf
// (the node of a document view). The document controller builds them from the book's compiled
// frame tree and takes them down when the page changes.
//
// Ownership: entries own only their names. Taking a frame down (DetachAll) reports each child
// to the listener, which by default is the frame itself and deletes the child. The destructor
// takes the frame down with its own DeleteChild, never through a listener that may be gone.
#pragma once

#include <cstdint>

#include "core/segmented_array.h"
#include "core/string.h"
#include "graphics/core/node.h"

class Frame;

// What a frame asks of the views shown in its leaves (the document controller answers).
class FrameViews {
public:
    virtual int32_t CountLinkAreas(Node* leaf) = 0;
    // n -1 clears the mark.
    virtual void SelectMark(Node* leaf, int32_t n) = 0;
    // The link area after (before) `from`; from -1 gives the first (last); -1 when none.
    virtual int32_t NextLinkArea(Node* leaf, int32_t from) = 0;
    virtual int32_t PreviousLinkArea(Node* leaf, int32_t from) = 0;
    // The height the leaf's page needs at this width, at most `height`.
    virtual int32_t QueryLayoutRange(Node* leaf, int32_t width, int32_t height) = 0;

protected:
    ~FrameViews() = default;
};

struct FrameEntry {
    enum Flags : uint8_t { kFrameset = 0x01, kSilent = 0x02, kMeasured = 0x04 };
    enum Unit : uint32_t { kPercent = 0, kPixels = 1, kUnits = 2, kShare = 3 };
    String name;
    uint8_t flags = 0;
    uint32_t size = 0;
    uint32_t unit = kPixels;
    Node* child = nullptr;  // a Frame for a frameset
};

class FrameListener {
public:
    virtual void OnFrameRemoved(FrameEntry& entry, Node* child, bool isFrameset) = 0;

protected:
    ~FrameListener() = default;
};

class Frame : public Widget, public FrameListener {
public:
    // Deeper framesets are refused: the building walk and DetachAll recurse.
    static constexpr int32_t kMaxDepth = 32;

    Frame();
    ~Frame() override;

    // The views of the leaves, for measuring and link focus (may stay null: no links, no
    // measuring). Handed down to nested frames as they are added.
    void SetViews(FrameViews* views) { views_ = views; }
    void SetListener(FrameListener* listener) { listener_ = listener ? listener : this; }
    void SetRows(bool rows) { rows_ = rows ? 1 : 0; }
    bool Rows() const { return rows_ != 0; }
    void SetUnitSize(uint32_t unitSize) { unitSize_ = unitSize; }
    uint32_t UnitSize() const { return unitSize_; }
    const Rect& StoredRect() const { return rect_; }
    int32_t EntryCount() const { return entries_.Count(); }
    const FrameEntry* EntryAt(int32_t i) const { return entries_.Get(i); }

    // Attaches the child and appends its entry; false when the child cannot be attached, the
    // array cannot grow, or a frameset would lie deeper than kMaxDepth.
    bool AddChild(Node* child, const String& name, uint32_t size, uint32_t unit, bool isFrameset,
                  bool silent, bool measured);
    void DetachAll();
    void Relayout();
    Node* FindByName(const String& name) const;
    Node* FocusedLeafView() const;
    bool ContainsLeaf(const Node* node) const;
    bool FocusNextLink(bool forward, bool restart);
    int32_t CountLinkAreas() const;
    void ShowAll(bool visible);

    // Widget face.
    Rect& AdjustRect(Rect& out, const Rect& in) override;
    int32_t ZOrder() const override { return 0; }
    void OnChildFocusChanged(Node* node, Widget* via, bool gained) override;

    // The default listener: deletes the child.
    void OnFrameRemoved(FrameEntry& entry, Node* child, bool isFrameset) override;
    virtual void DeleteChild(Node* child);

    // How deep this frame lies below the top frame (0 at the top).
    int32_t Depth() const { return depth_; }

private:
    void DetachEntries(bool destroying);
    bool FocusLeaf(Node* leaf, bool forward);
    int32_t FindEntry(const Node* child) const;

    FrameListener* listener_;
    uint8_t rows_ = 1;
    uint32_t unitSize_ = 0;
    Rect rect_{};
    NodeRef focusedChild_;
    SegArray<FrameEntry, 2> entries_;
    FrameViews* views_ = nullptr;
    int32_t depth_ = 0;
};

// Sizes along one axis, the frame's rule: percent of the extent, pixels, units of unitSize, and
// relative shares of what is left (the last share child takes the remainder). Sizes never go
// below 0; arithmetic is 64-bit. sizes and units have `count` entries; out receives the sizes.
void SizeFrameChildren(int32_t extent, uint32_t unitSize, const uint32_t* sizes,
                       const uint32_t* units, int32_t count, int32_t* out);
