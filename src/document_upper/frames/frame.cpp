#include "document_upper/frames/frame.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <vector>

namespace {

int32_t Clamp32(int64_t v) {
    if (v < 0) return 0;
    if (v > INT32_MAX) return INT32_MAX;
    return static_cast<int32_t>(v);
}

}  // namespace

void SizeFrameChildren(int32_t extent, uint32_t unitSize, const uint32_t* sizes,
                       const uint32_t* units, int32_t count, int32_t* out) {
    // A book's values may be anything: 64-bit products, and no size below 0.
    int64_t remaining = extent;
    int64_t shareTotal = 0;
    int32_t lastShare = -1;
    for (int32_t i = 0; i < count; ++i) {
        int64_t s = 0;
        switch (units[i]) {
            case FrameEntry::kPercent:
                s = static_cast<int64_t>(std::max(extent, 0)) * sizes[i] / 100;
                break;
            case FrameEntry::kPixels:
                s = sizes[i];
                break;
            case FrameEntry::kUnits:
                s = static_cast<int64_t>(
                    std::min<uint64_t>(static_cast<uint64_t>(sizes[i]) * unitSize, INT32_MAX));
                break;
            case FrameEntry::kShare:
                shareTotal += sizes[i];
                lastShare = i;
                out[i] = 0;
                continue;
            default:
                break;
        }
        out[i] = Clamp32(s);
        remaining -= out[i];
    }
    if (remaining < 0) remaining = 0;
    if (shareTotal < 1) return;  // shares of 0 get nothing; nothing is divided by 0
    int64_t perShare = remaining / shareTotal;
    int64_t leftover = remaining - perShare * shareTotal;
    for (int32_t i = 0; i < count; ++i) {
        if (units[i] != FrameEntry::kShare) continue;
        int64_t s = perShare * sizes[i];
        if (i == lastShare) s += leftover;
        out[i] = Clamp32(s);
    }
}

Frame::Frame() : listener_(this) {}

Frame::~Frame() {
    DetachEntries(true);
    entries_.Destroy();
}

bool Frame::AddChild(Node* child, const String& name, uint32_t size, uint32_t unit, bool isFrameset,
                     bool silent, bool measured) {
    if (!child) return false;
    Frame* nested = nullptr;
    if (isFrameset) {
        nested = static_cast<Frame*>(child);
        if (depth_ + 1 >= kMaxDepth) return false;
    }
    FrameEntry entry;
    entry.name = name;
    entry.flags = static_cast<uint8_t>((isFrameset ? FrameEntry::kFrameset : 0) |
                                       (silent ? FrameEntry::kSilent : 0) |
                                       (measured ? FrameEntry::kMeasured : 0));
    entry.size = size;
    entry.unit = unit;
    entry.child = child;
    if (entries_.Append(entry) < 0) return false;
    if (!child->SetParent(this)) {
        entries_.Remove(entries_.Count() - 1, 1);
        return false;
    }
    if (nested) {
        nested->depth_ = depth_ + 1;
        if (!nested->views_) nested->views_ = views_;
    }
    return true;
}

void Frame::DetachAll() {
    DetachEntries(false);
}

void Frame::DetachEntries(bool destroying) {
    // The entries are taken out first: a listener may add children or destroy nodes.
    SegArray<FrameEntry, 2> taken;
    taken.Move(entries_);
    int32_t count = taken.Count();
    focusedChild_.Reset();
    for (int32_t i = 0; i < count; ++i) {
        FrameEntry* e = taken.Get(i);
        bool isFrameset = (e->flags & FrameEntry::kFrameset) != 0;
        if (isFrameset)
            static_cast<Frame*>(e->child)->DetachAll();
        else
            e->child->SetParent(nullptr);
        if (isFrameset) e->child->SetParent(nullptr);
        if (e->flags & FrameEntry::kSilent) continue;
        // While being destroyed the frame's own rule applies, whatever listener was set.
        if (destroying || listener_ == this)
            Frame::OnFrameRemoved(*e, e->child, isFrameset);
        else
            listener_->OnFrameRemoved(*e, e->child, isFrameset);
    }
    taken.Destroy();
}

void Frame::OnFrameRemoved(FrameEntry& /*entry*/, Node* child, bool /*isFrameset*/) {
    DeleteChild(child);
}

void Frame::DeleteChild(Node* child) {
    std::unique_ptr<Node> owned(child);
}

void Frame::Relayout() {
    Rect out;
    Rect r = rect_;
    AdjustRect(out, r);
}

Rect& Frame::AdjustRect(Rect& out, const Rect& in) {
    rect_ = in;
    SetPlaced(true);
    int32_t count = entries_.Count();
    int32_t extent = rows_ ? in.height : in.width;
    std::vector<uint32_t> sizes(static_cast<size_t>(count));
    std::vector<uint32_t> units(static_cast<size_t>(count));
    int64_t heightLeft = in.height;
    for (int32_t i = 0; i < count; ++i) {
        FrameEntry* e = entries_.Get(i);
        if (rows_ && (e->flags & FrameEntry::kMeasured) && !(e->flags & FrameEntry::kFrameset)) {
            int32_t h = 0;
            int32_t left = heightLeft > 0 ? static_cast<int32_t>(heightLeft) : 0;
            if (views_) h = views_->QueryLayoutRange(e->child, in.width, left);
            e->unit = FrameEntry::kPixels;
            e->size = h > 0 ? static_cast<uint32_t>(h) : 0;
            heightLeft -= e->size;
        }
        sizes[static_cast<size_t>(i)] = e->size;
        units[static_cast<size_t>(i)] = e->unit;
    }
    std::vector<int32_t> placed(static_cast<size_t>(count));
    SizeFrameChildren(extent, unitSize_, sizes.data(), units.data(), count, placed.data());
    int64_t at = rows_ ? in.y : in.x;
    for (int32_t i = 0; i < count; ++i) {
        FrameEntry* e = entries_.Get(i);
        Rect r = in;
        int32_t s = placed[static_cast<size_t>(i)];
        if (rows_) {
            r.y = static_cast<int32_t>(std::clamp<int64_t>(at, INT32_MIN, INT32_MAX));
            r.height = s;
        } else {
            r.x = static_cast<int32_t>(std::clamp<int64_t>(at, INT32_MIN, INT32_MAX));
            r.width = s;
        }
        at += s;
        if (e->flags & FrameEntry::kFrameset) static_cast<Frame*>(e->child)->unitSize_ = unitSize_;
        Rect ignored;
        e->child->AdjustRect(ignored, r);
    }
    out = in;
    return out;
}

Node* Frame::FindByName(const String& name) const {
    for (int32_t i = 0; i < entries_.Count(); ++i) {
        const FrameEntry* e = entries_.Get(i);
        if (e->flags & FrameEntry::kFrameset) {
            if (Node* found = static_cast<Frame*>(e->child)->FindByName(name)) return found;
        } else if (e->name == name) {
            return e->child;
        }
    }
    return nullptr;
}

int32_t Frame::FindEntry(const Node* child) const {
    for (int32_t i = 0; i < entries_.Count(); ++i)
        if (entries_.Get(i)->child == child) return i;
    return -1;
}

Node* Frame::FocusedLeafView() const {
    Node* child = focusedChild_.Get();
    int32_t i = child ? FindEntry(child) : -1;
    if (i < 0) return nullptr;
    if (entries_.Get(i)->flags & FrameEntry::kFrameset)
        return static_cast<Frame*>(child)->FocusedLeafView();
    return child;
}

bool Frame::ContainsLeaf(const Node* node) const {
    for (int32_t i = 0; i < entries_.Count(); ++i) {
        const FrameEntry* e = entries_.Get(i);
        if (e->flags & FrameEntry::kFrameset) {
            if (static_cast<Frame*>(e->child)->ContainsLeaf(node)) return true;
        } else if (e->child == node) {
            return true;
        }
    }
    return false;
}

void Frame::OnChildFocusChanged(Node* node, Widget* via, bool gained) {
    if (gained)
        focusedChild_.Set(via ? static_cast<Node*>(via) : node);
    else
        focusedChild_.Reset();
    Widget::OnChildFocusChanged(node, this, gained);
}

bool Frame::FocusLeaf(Node* leaf, bool forward) {
    if (!views_ || views_->CountLinkAreas(leaf) < 1) return false;
    views_->SelectMark(leaf, -1);
    int32_t n = forward ? views_->NextLinkArea(leaf, -1) : views_->PreviousLinkArea(leaf, -1);
    views_->SelectMark(leaf, n);
    return true;
}

bool Frame::FocusNextLink(bool forward, bool restart) {
    int32_t count = entries_.Count();
    int32_t from = forward ? -1 : count;
    Node* focused = restart ? nullptr : focusedChild_.Get();
    int32_t fi = focused ? FindEntry(focused) : -1;
    if (fi >= 0) {
        const FrameEntry* e = entries_.Get(fi);
        if ((e->flags & FrameEntry::kFrameset) &&
            static_cast<Frame*>(e->child)->FocusNextLink(forward, false))
            return true;
        from = fi;
    }
    for (int32_t i = forward ? from + 1 : from - 1; i >= 0 && i < entries_.Count();
         i += forward ? 1 : -1) {
        const FrameEntry* e = entries_.Get(i);
        if (e->flags & FrameEntry::kFrameset) {
            // A frameset entered from outside starts from its first (last) leaf.
            if (static_cast<Frame*>(e->child)->FocusNextLink(forward, true)) return true;
        } else if (FocusLeaf(e->child, forward)) {
            return true;
        }
    }
    return false;
}

int32_t Frame::CountLinkAreas() const {
    int64_t total = 0;
    for (int32_t i = 0; i < entries_.Count(); ++i) {
        const FrameEntry* e = entries_.Get(i);
        if (e->flags & FrameEntry::kFrameset)
            total += static_cast<Frame*>(e->child)->CountLinkAreas();
        else if (views_)
            total += std::max(views_->CountLinkAreas(e->child), 0);
    }
    return total > INT32_MAX ? INT32_MAX : static_cast<int32_t>(total);
}

void Frame::ShowAll(bool visible) {
    for (int32_t i = 0; i < entries_.Count(); ++i) {
        const FrameEntry* e = entries_.Get(i);
        if (e->flags & FrameEntry::kFrameset)
            static_cast<Frame*>(e->child)->ShowAll(visible);
        else
            e->child->Show(visible);
    }
}
