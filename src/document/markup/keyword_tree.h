// Compiled-in keyword trees: markup names, character entity names and attribute value keywords,
// each a ternary search tree packed into an array, mapping a name to its small integer id.
#pragma once

#include <cstddef>
#include <cstdint>

struct KeywordNode {
    uint16_t character;  // upper case in the folded trees
    uint16_t less;       // forward distance to the smaller characters, 0 = none
    uint16_t next;       // forward distance to the next character of the name, 0 = none
    uint16_t greater;    // backward distance to the greater characters, 0 = none
    uint16_t id;         // id of the name ending here, 0 = none
};

struct KeywordTree {
    const KeywordNode* nodes;
    uint16_t root;
    uint16_t count;
    bool folded;  // a-z compared as A-Z

    // Whole-name walks; true when a name ends there with a nonzero id.
    static bool Find(const char16_t* chars, size_t count, const KeywordTree& tree, uint32_t* id);
    static bool FindFolded(const char16_t* chars, size_t count, const KeywordTree& tree,
                           uint32_t* id);

    // Incremental walk over a name split into pieces. node starts at RootNode(tree); after a
    // piece it is the subtree for the piece's next character (-1 when none). Answers the id of
    // the node where the piece ended (0 when no name ends there), or -1 on a mismatch.
    static int32_t RootNode(const KeywordTree& tree) { return tree.count ? tree.root : -1; }
    static int32_t Walk(const KeywordTree& tree, int32_t* node, const char16_t* chars,
                        size_t count);

    static bool FindMarkupName(const char16_t* chars, size_t count, uint16_t* id);
    static bool FindEntityName(const char16_t* chars, size_t count, uint16_t* id);
    static bool FindValueKeyword(const char16_t* chars, size_t count, uint32_t* id);
    // The script engine's vocabulary, which the script library keeps.
    static bool FindScriptName(const char16_t* chars, size_t count, uint16_t* id);

    static const KeywordTree& MarkupTree();
    static const KeywordTree& EntityTree();
    static const KeywordTree& ValueTree();
};

// Markup ids used by name in the document model.
enum MarkupId : uint16_t {
    kTagHtml = 1,
    kTagBody = 2,
    kTagTitle = 5,
    kTagHead = 6,
    kTagP = 31,
    kTagBr = 32,
    kTagTable = 44,
    kTagTr = 45,
    kTagTd = 46,
    kTagScript = 49,
    kAttrInline = 60,
    kAttrFvtIgnore = 120,
    kTagPre = 206,
    kAttrNowrap = 207,
    kTagCaption = 208,
    kMarkupIdMax = 208,
};

constexpr uint16_t kEntityZwnj = 165;
constexpr uint16_t kEntityCount = 253;
