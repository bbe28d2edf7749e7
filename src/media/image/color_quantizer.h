// Octree colour reduction: builds a palette of at most a wanted number of colours from the
// colours added, then maps any colour to its leaf's palette index. Also the fixed 256-entry
// palette with its nearest-colour search.
#pragma once

#include <cstdint>
#include <memory>

class ColorQuantizer {
public:
    // red, green, blue, palette index
    struct Color {
        std::uint8_t red, green, blue, index;
    };

    ColorQuantizer();
    ~ColorQuantizer();
    ColorQuantizer(const ColorQuantizer&) = delete;
    ColorQuantizer& operator=(const ColorQuantizer&) = delete;

    void AddColor(Color color);
    // The same descent started from the given child slot of the root at the given level.
    void AddColorAt(int slot, Color color, int level);
    std::uint32_t LeafCount() const { return leafCount_; }
    // Merges the newest reducible node of the deepest level into a leaf; false when no node is
    // left to merge (callers stop reducing then).
    bool Reduce();
    // Adds colours, reducing after each while there are more leaves than wanted (wanted >= 1).
    void AddAndReduce(Color color, std::uint32_t wanted);
    // One 4-byte entry (red, green, blue, untouched) per leaf, depth first; numbers the leaves.
    std::uint32_t GetPalette(std::uint8_t* entries);
    // GetPalette sorted by brightness with each entry's leaf number in its fourth byte.
    std::uint32_t GetSortedPalette(std::uint8_t* entries, bool darkFirst);
    int Nearest(Color color) const;
    int NearestSorted(Color color) const;
    void Destroy();
    void LoadFixedPalette();
    std::uint8_t LeafDepth() const { return leafDepth_; }

private:
    struct Node;
    std::unique_ptr<Node> NewNode(int level);
    void Insert(std::unique_ptr<Node>* slot, Color color, int level);
    void Walk(Node* node, std::uint8_t* entries, std::uint32_t& n);
    const Node* LeafFor(Color color) const;

    std::unique_ptr<Node> root_;
    std::uint32_t leafCount_ = 0;
    Node* reducible_[8] = {};
    std::uint8_t leafDepth_ = 8;
    std::uint8_t* indexMap_ = nullptr;  // leaf number -> sorted position
    std::uint32_t indexMapCount_ = 0;
};

// The fixed palette entry at a position (0-255): red, green, blue, position.
const std::uint8_t* FixedPaletteEntry(int position);

// The position of the nearest fixed-palette colour; colour = red | green << 8 | blue << 16.
int NearestPaletteColor(std::uint32_t colour);
