#include "document_upper/frames/frame_tree.h"

#include <new>

namespace {

constexpr uint16_t kRowsFlag = 0x0040;
constexpr uint16_t kMeasuredFlag = 0x0008;

bool AddLevel(Frame& parent, PackedTree cursor, FrameLeafMaker& maker, int32_t& budget) {
    if (!cursor.Descend()) return false;
    for (;;) {
        if (--budget < 0) return false;
        uint32_t size = 0;
        uint16_t unit = 0;
        bool measured = false;
        String name;
        if (!cursor.GetHeader(&size, &unit, &measured) || !cursor.GetText(name)) return false;
        measured = (cursor.GetFlags() & kMeasuredFlag) != 0;
        if (cursor.HasChildren()) {
            Frame* nested = new (std::nothrow) Frame;
            if (!nested) return false;
            nested->SetRows((cursor.GetFlags() & kRowsFlag) != 0);
            if (!parent.AddChild(nested, name, size, unit, true, false, false)) {
                delete nested;
                return false;
            }
            if (!AddLevel(*nested, cursor, maker, budget)) return false;
        } else {
            bool silent = false;
            Node* leaf = maker.MakeLeaf(cursor, silent);
            if (!leaf) return false;
            if (!parent.AddChild(leaf, name, size, unit, false, silent, measured)) {
                if (!silent) delete leaf;
                return false;
            }
        }
        if (cursor.remaining <= 1) return true;
        if (!cursor.Next()) return false;
    }
}

}  // namespace

bool BuildFrameTree(Frame& root, PackedTree cursor, FrameLeafMaker& maker) {
    root.DetachAll();
    root.SetRows((cursor.GetFlags() & kRowsFlag) != 0);
    int32_t budget = kMaxFrameNodes;
    if (AddLevel(root, cursor, maker, budget)) return true;
    root.DetachAll();
    return false;
}
