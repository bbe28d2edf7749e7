#include "document/markup/keyword_tree.h"

#include "script/script_names.h"

extern const KeywordNode kMarkupTree[];
extern const uint16_t kMarkupTreeRoot, kMarkupTreeCount;
extern const KeywordNode kEntityTree[];
extern const uint16_t kEntityTreeRoot, kEntityTreeCount;
extern const KeywordNode kValueTree[];
extern const uint16_t kValueTreeRoot, kValueTreeCount;

namespace {

// Every keyword is Latin-1; a character above U+00FF can never match (taking only its low byte
// would let non-Latin text pass for a keyword).
inline int KeyOf(char16_t c, bool folded) {
    if (c > 0xFF) return -1;
    if (folded && c >= 'a' && c <= 'z') return c - 32;
    return c;
}

}  // namespace

int32_t KeywordTree::Walk(const KeywordTree& tree, int32_t* node, const char16_t* chars,
                          size_t count) {
    int32_t i = *node;
    if (count == 0) return -1;
    size_t k = 0;
    int key = KeyOf(chars[0], tree.folded);
    while (i >= 0 && i < tree.count) {
        const KeywordNode& n = tree.nodes[i];
        uint32_t dist;
        if (key < 0) return -1;
        if (key < n.character) {
            dist = n.less;
            if (dist == 0) break;
            i += dist;
        } else if (key > n.character) {
            dist = n.greater;
            if (dist == 0) break;
            i -= dist;
        } else {
            if (++k == count) {
                *node = n.next ? i + n.next : -1;
                return n.id;
            }
            if (n.next == 0) break;
            i += n.next;
            key = KeyOf(chars[k], tree.folded);
        }
    }
    *node = -1;
    return -1;
}

static bool WalkWhole(const char16_t* chars, size_t count, const KeywordTree& tree,
                      uint32_t* id) {
    int32_t node = KeywordTree::RootNode(tree);
    int32_t r = count ? KeywordTree::Walk(tree, &node, chars, count) : -1;
    if (r <= 0) {
        *id = 0;
        return false;
    }
    *id = static_cast<uint32_t>(r);
    return true;
}

bool KeywordTree::Find(const char16_t* chars, size_t count, const KeywordTree& tree,
                       uint32_t* id) {
    KeywordTree exact = tree;
    exact.folded = false;
    return WalkWhole(chars, count, exact, id);
}

bool KeywordTree::FindFolded(const char16_t* chars, size_t count, const KeywordTree& tree,
                             uint32_t* id) {
    KeywordTree folded = tree;
    folded.folded = true;
    return WalkWhole(chars, count, folded, id);
}

const KeywordTree& KeywordTree::MarkupTree() {
    static const KeywordTree tree{kMarkupTree, kMarkupTreeRoot, kMarkupTreeCount, true};
    return tree;
}

const KeywordTree& KeywordTree::EntityTree() {
    static const KeywordTree tree{kEntityTree, kEntityTreeRoot, kEntityTreeCount, false};
    return tree;
}

const KeywordTree& KeywordTree::ValueTree() {
    static const KeywordTree tree{kValueTree, kValueTreeRoot, kValueTreeCount, true};
    return tree;
}

bool KeywordTree::FindMarkupName(const char16_t* chars, size_t count, uint16_t* id) {
    uint32_t v = 0;
    bool ok = WalkWhole(chars, count, MarkupTree(), &v);
    *id = static_cast<uint16_t>(v);
    return ok;
}

bool KeywordTree::FindEntityName(const char16_t* chars, size_t count, uint16_t* id) {
    uint32_t v = 0;
    bool ok = WalkWhole(chars, count, EntityTree(), &v);
    *id = static_cast<uint16_t>(v);
    return ok;
}

bool KeywordTree::FindValueKeyword(const char16_t* chars, size_t count, uint32_t* id) {
    return WalkWhole(chars, count, ValueTree(), id);
}

bool KeywordTree::FindScriptName(const char16_t* chars, size_t count, uint16_t* id) {
    *id = count ? ScriptNames::Find(chars, static_cast<uint32_t>(count)) : 0;
    return *id != 0;
}
