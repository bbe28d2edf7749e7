#include "document/markup/keyword_tree.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

namespace {

std::u16string U(const char* s) {
    std::u16string r;
    while (*s) r.push_back(static_cast<unsigned char>(*s++));
    return r;
}

uint16_t Markup(const char* name) {
    std::u16string s = U(name);
    uint16_t id = 0;
    KeywordTree::FindMarkupName(s.data(), s.size(), &id);
    return id;
}

uint16_t Entity(const char* name) {
    std::u16string s = U(name);
    uint16_t id = 0;
    KeywordTree::FindEntityName(s.data(), s.size(), &id);
    return id;
}

uint32_t Value(const char* name) {
    std::u16string s = U(name);
    uint32_t id = 0;
    KeywordTree::FindValueKeyword(s.data(), s.size(), &id);
    return id;
}

// Every (name, id) the tree holds, found by walking all of its paths.
std::map<std::string, uint16_t> Enumerate(const KeywordTree& tree) {
    std::map<std::string, uint16_t> out;
    std::function<void(int32_t, std::string)> visit = [&](int32_t i, std::string prefix) {
        const KeywordNode& n = tree.nodes[i];
        if (n.less) visit(i + n.less, prefix);
        if (n.greater) visit(i - n.greater, prefix);
        std::string here = prefix + static_cast<char>(n.character);
        if (n.id) out[here] = n.id;
        if (n.next) visit(i + n.next, here);
    };
    visit(tree.root, "");
    return out;
}

TEST(KeywordTreeLookup, MarkupNamesFoldCase) {
    EXPECT_EQ(Markup("tr"), 45);
    EXPECT_EQ(Markup("Tr"), 45);
    EXPECT_EQ(Markup("TR"), 45);
    EXPECT_EQ(Markup("fvt:ignore"), 120);
    EXPECT_EQ(Markup("FVT:AUTO-SUBMIT"), 146);
    EXPECT_EQ(Markup("input_restrict"), 149);
}

TEST(KeywordTreeLookup, PrefixesAndEmptyNames) {
    EXPECT_EQ(Markup("B"), 18);
    EXPECT_EQ(Markup("BO"), 0);
    EXPECT_EQ(Markup("BODY"), 2);
    EXPECT_EQ(Markup("BODYX"), 0);
    EXPECT_EQ(Markup(""), 0);
    EXPECT_EQ(Entity(""), 0);
    uint16_t id = 7;
    EXPECT_FALSE(KeywordTree::FindMarkupName(nullptr, 0, &id));
    EXPECT_EQ(id, 0);
}

TEST(KeywordTreeLookup, EntitiesAreExact) {
    EXPECT_EQ(Entity("amp"), 2);
    EXPECT_EQ(Entity("Amp"), 0);
    EXPECT_EQ(Entity("AMP"), 0);
    EXPECT_EQ(Entity("Agrave"), 38);
    EXPECT_EQ(Entity("agrave"), 70);
    EXPECT_EQ(Entity("zwnj"), kEntityZwnj);
    EXPECT_EQ(Entity("diams"), 253);
}

TEST(KeywordTreeLookup, ValueKeywords) {
    EXPECT_EQ(Value("MULTIPART/FORM-DATA"), 41u);
    EXPECT_EQ(Value("x-www-form-urlencoded"), 42u);
    EXPECT_EQ(Value("APPLICATION/X-WWW-FORM-URLENCODED"), 42u);
    EXPECT_EQ(Value("teal"), 15u);
    EXPECT_EQ(Value("hang"), 55u);
}

TEST(KeywordTreeLookup, ScriptNamesAreExact) {
    uint16_t id = 0;
    std::u16string s = u"if";
    EXPECT_TRUE(KeywordTree::FindScriptName(s.data(), s.size(), &id));
    EXPECT_EQ(id, 11);
    s = u"Clear";
    EXPECT_TRUE(KeywordTree::FindScriptName(s.data(), s.size(), &id));
    EXPECT_EQ(id, 113);
    s = u"IF";
    EXPECT_FALSE(KeywordTree::FindScriptName(s.data(), s.size(), &id));
    EXPECT_FALSE(KeywordTree::FindScriptName(s.data(), 0, &id));
}

TEST(KeywordTreeLookup, CharactersAboveLatin1NeverMatch) {
    // U+0141 has the low byte of 'A'; a non-Latin character must not pass for a keyword.
    std::u16string a = u"\u0141";
    uint16_t id = 0;
    EXPECT_FALSE(KeywordTree::FindMarkupName(a.data(), a.size(), &id));
    std::u16string tr = u"T\u0152";  // low byte 0x52 is 'R'
    EXPECT_FALSE(KeywordTree::FindMarkupName(tr.data(), tr.size(), &id));
}

TEST(KeywordTreeContents, MarkupTreeHoldsEveryIdOnce) {
    auto names = Enumerate(KeywordTree::MarkupTree());
    EXPECT_EQ(names.size(), 207u);
    std::map<uint16_t, std::string> byId;
    for (auto& [name, id] : names) EXPECT_TRUE(byId.emplace(id, name).second) << name;
    for (uint16_t id = 1; id <= 208; ++id) EXPECT_EQ(byId.count(id), id == 143 ? 0u : 1u) << id;
}

TEST(KeywordTreeContents, EntityAndValueTrees) {
    auto entities = Enumerate(KeywordTree::EntityTree());
    EXPECT_EQ(entities.size(), 253u);
    std::map<uint16_t, int> seen;
    for (auto& [name, id] : entities) seen[id]++;
    EXPECT_EQ(seen.size(), 253u);
    EXPECT_EQ(seen.begin()->first, 1);
    EXPECT_EQ(seen.rbegin()->first, 253);

    auto values = Enumerate(KeywordTree::ValueTree());
    EXPECT_EQ(values.size(), 55u);
    std::map<uint16_t, int> vids;
    for (auto& [name, id] : values) vids[id]++;
    EXPECT_EQ(vids[42], 2);
    EXPECT_EQ(vids.count(43), 0u);
}

TEST(KeywordTreeIncremental, PiecewiseWalkMatchesWholeWalk) {
    auto names = Enumerate(KeywordTree::MarkupTree());
    const KeywordTree& tree = KeywordTree::MarkupTree();
    for (auto& [name, id] : names) {
        std::u16string s = U(name.c_str());
        for (size_t cut = 1; cut < s.size(); ++cut) {
            int32_t node = KeywordTree::RootNode(tree);
            int32_t first = KeywordTree::Walk(tree, &node, s.data(), cut);
            ASSERT_GE(first, 0) << name;
            ASSERT_GE(node, 0) << name;
            int32_t r = KeywordTree::Walk(tree, &node, s.data() + cut, s.size() - cut);
            EXPECT_EQ(r, id) << name << " cut at " << cut;
        }
    }
}

}  // namespace
