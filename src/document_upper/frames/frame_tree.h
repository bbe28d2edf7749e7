// Builds Frames from a book's compiled frame tree. The tree comes from the book, so the walk is
// bounded twice: framesets nest at most Frame::kMaxDepth deep, and at most kMaxFrameNodes nodes
// are visited in all (a child block that lies about its length makes siblings of children, and
// an unbounded walk would revisit them again and again).
#pragma once

#include <cstdint>

#include "bookfiles/packed_tree.h"
#include "document_upper/frames/frame.h"

// Makes the leaves (the document controller: a view for the node's payload word).
class FrameLeafMaker {
public:
    // The leaf of a node without children; null fails the build. silent: the frame does not
    // report (and so never deletes) it when taken down.
    virtual Node* MakeLeaf(const PackedTree& node, bool& silent) = 0;

protected:
    ~FrameLeafMaker() = default;
};

constexpr int32_t kMaxFrameNodes = 1024;

// Fills `root` with the children of the cursor's node: a node with children becomes a nested
// Frame (rows when its flag 0x0040 is set), any other node a leaf; the size is the node's
// payload, the unit its number, flag 0x0008 sizes a leaf to its content. False (with the root
// taken down: no frames) on a bad tree, a failed leaf or an unreadable name.
bool BuildFrameTree(Frame& root, PackedTree cursor, FrameLeafMaker& maker);
