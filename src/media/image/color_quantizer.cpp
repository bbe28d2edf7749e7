#include "media/image/color_quantizer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>

struct ColorQuantizer::Node {
    std::uint32_t level = 0;
    bool leaf = false;
    std::uint8_t paletteIndex = 0;
    std::uint32_t pixelCount = 0;
    // 64-bit sums: one colour repeated on a large picture must not wrap.
    std::uint64_t red = 0, green = 0, blue = 0;
    std::unique_ptr<Node> children[8];
    Node* nextReducible = nullptr;
    std::uint32_t leafNumber = 0;
};

namespace {

int ChildIndex(const ColorQuantizer::Color& c, int level) {
    int shift = 7 - level;
    return ((c.red >> shift) & 1) * 4 + ((c.green >> shift) & 1) * 2 + ((c.blue >> shift) & 1);
}

}  // namespace

ColorQuantizer::ColorQuantizer() = default;

ColorQuantizer::~ColorQuantizer() {
    Destroy();
}

std::unique_ptr<ColorQuantizer::Node> ColorQuantizer::NewNode(int level) {
    std::unique_ptr<Node> node(new (std::nothrow) Node);
    if (!node) return nullptr;
    node->level = std::uint32_t(level);
    if (level >= leafDepth_) {
        node->leaf = true;
        ++leafCount_;
    } else {
        node->nextReducible = reducible_[level];
        reducible_[level] = node.get();
    }
    return node;
}

void ColorQuantizer::Insert(std::unique_ptr<Node>* slot, Color color, int level) {
    for (;;) {
        if (!*slot) {
            *slot = NewNode(level);
            if (!*slot) return;
        }
        Node* node = slot->get();
        if (node->leaf || level >= 8) {
            node->pixelCount += 1;
            node->red += color.red;
            node->green += color.green;
            node->blue += color.blue;
            node->paletteIndex = color.index;
            return;
        }
        slot = &node->children[ChildIndex(color, level)];
        ++level;
    }
}

void ColorQuantizer::AddColor(Color color) {
    Insert(&root_, color, 0);
}

void ColorQuantizer::AddColorAt(int slot, Color color, int level) {
    if (slot < 0 || slot > 7 || level < 1 || level > 8) return;
    if (!root_) {
        root_ = NewNode(0);
        if (!root_) return;
    }
    if (root_->leaf) return;
    Insert(&root_->children[slot], color, level);
}

bool ColorQuantizer::Reduce() {
    int depth = leafDepth_;
    while (depth >= 1 && !reducible_[depth - 1]) --depth;
    if (depth < 1) return false;
    leafDepth_ = std::uint8_t(depth);
    Node* node = reducible_[depth - 1];
    reducible_[depth - 1] = node->nextReducible;
    node->nextReducible = nullptr;
    int merged = 0;
    for (std::unique_ptr<Node>& child : node->children) {
        if (!child) continue;
        node->pixelCount += child->pixelCount;
        node->red += child->red;
        node->green += child->green;
        node->blue += child->blue;
        child.reset();
        ++merged;
    }
    node->leaf = true;
    leafCount_ = leafCount_ + 1 - merged;
    return true;
}

void ColorQuantizer::AddAndReduce(Color color, std::uint32_t wanted) {
    AddColor(color);
    if (wanted < 1) wanted = 1;
    while (leafCount_ > wanted && Reduce()) {
    }
}

void ColorQuantizer::Walk(Node* node, std::uint8_t* entries, std::uint32_t& n) {
    if (!node) return;
    if (node->leaf) {
        std::uint32_t count = node->pixelCount ? node->pixelCount : 1;
        if (entries) {
            entries[4 * n] = std::uint8_t(node->red / count);
            entries[4 * n + 1] = std::uint8_t(node->green / count);
            entries[4 * n + 2] = std::uint8_t(node->blue / count);
        }
        node->paletteIndex = std::uint8_t(n);
        node->leafNumber = n;
        ++n;
        return;
    }
    for (std::unique_ptr<Node>& child : node->children) Walk(child.get(), entries, n);
}

std::uint32_t ColorQuantizer::GetPalette(std::uint8_t* entries) {
    std::uint32_t n = 0;
    Walk(root_.get(), entries, n);
    return n;
}

std::uint32_t ColorQuantizer::GetSortedPalette(std::uint8_t* entries, bool darkFirst) {
    std::uint32_t n = GetPalette(entries);
    std::free(indexMap_);
    indexMap_ = static_cast<std::uint8_t*>(std::malloc(n ? n : 1));
    indexMapCount_ = 0;
    if (!indexMap_) return 0;
    for (std::uint32_t i = 0; i < n; ++i) entries[4 * i + 3] = std::uint8_t(i);
    struct Entry {
        std::uint8_t b[4];
    };
    auto* e = reinterpret_cast<Entry*>(entries);
    // Ties fall back to the leaf number so the order is strict and repeatable.
    std::sort(e, e + n, [darkFirst](const Entry& a, const Entry& b) {
        int sa = a.b[0] + a.b[1] + a.b[2], sb = b.b[0] + b.b[1] + b.b[2];
        if (sa != sb) return darkFirst ? sa < sb : sa > sb;
        return a.b[3] < b.b[3];
    });
    for (std::uint32_t i = 0; i < n; ++i) indexMap_[e[i].b[3]] = std::uint8_t(i);
    indexMapCount_ = n;
    return n;
}

const ColorQuantizer::Node* ColorQuantizer::LeafFor(Color color) const {
    const Node* node = root_.get();
    int level = 0;
    while (node && !node->leaf) {
        const Node* next = node->children[ChildIndex(color, level)].get();
        if (!next) {
            for (const std::unique_ptr<Node>& child : node->children) {
                if (child) {
                    next = child.get();
                    break;
                }
            }
        }
        node = next;
        ++level;
    }
    return node;
}

int ColorQuantizer::Nearest(Color color) const {
    const Node* leaf = LeafFor(color);
    return leaf ? leaf->paletteIndex : -1;
}

int ColorQuantizer::NearestSorted(Color color) const {
    const Node* leaf = LeafFor(color);
    if (!leaf || !indexMap_ || leaf->leafNumber >= indexMapCount_) return -1;
    return indexMap_[leaf->leafNumber];
}

void ColorQuantizer::Destroy() {
    root_.reset();
    leafCount_ = 0;
    std::fill(std::begin(reducible_), std::end(reducible_), nullptr);
    leafDepth_ = 8;
    std::free(indexMap_);
    indexMap_ = nullptr;
    indexMapCount_ = 0;
}

namespace {

struct FixedTable {
    std::uint8_t e[256][4];
    constexpr FixedTable() : e{} {
        for (int r = 0; r <= 255; r += 51) {
            for (int g = 0; g <= 255; g += 51) {
                for (int b = 0; b <= 255; b += 51) {
                    if (r == 0 && g == 0 && b == 0) continue;
                    int pos = (b >= 153 ? 0 : 108) + (5 - r / 51) * 18 + ((5 - b / 51) % 3) * 6 +
                              (5 - g / 51);
                    e[pos][0] = std::uint8_t(r);
                    e[pos][1] = std::uint8_t(g);
                    e[pos][2] = std::uint8_t(b);
                }
            }
        }
        const int greys[10] = {17, 34, 68, 85, 119, 136, 170, 187, 221, 238};
        for (int i = 0; i < 10; ++i) e[215 + i][0] = e[215 + i][1] = e[215 + i][2] = greys[i];
        const std::uint8_t extra[5][3] = {
            {192, 192, 192}, {128, 0, 0}, {128, 0, 128}, {0, 128, 0}, {0, 128, 128}};
        for (int i = 0; i < 5; ++i) {
            e[225 + i][0] = extra[i][0];
            e[225 + i][1] = extra[i][1];
            e[225 + i][2] = extra[i][2];
        }
        for (int i = 0; i < 256; ++i) e[i][3] = std::uint8_t(i);
    }
};

constexpr FixedTable kTable;

}  // namespace

const std::uint8_t* FixedPaletteEntry(int position) {
    return kTable.e[position & 0xFF];
}

void ColorQuantizer::LoadFixedPalette() {
    for (int i = 0; i < 230; ++i) {
        AddColor(Color{kTable.e[i][0], kTable.e[i][1], kTable.e[i][2], kTable.e[i][3]});
    }
    AddColor(Color{kTable.e[255][0], kTable.e[255][1], kTable.e[255][2], kTable.e[255][3]});
}

int NearestPaletteColor(std::uint32_t colour) {
    int r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    int best = -1;
    long bestDistance = 0x7FFFFFFF;
    for (int i = 0; i < 256; ++i) {
        long dr = r - kTable.e[i][0], dg = g - kTable.e[i][1], db = b - kTable.e[i][2];
        long d = dr * dr + dg * dg + db * db;
        if (d <= bestDistance) {
            bestDistance = d;
            best = i;
        }
        if (d == 0) break;
    }
    return best;
}
