#include "reader/frame_sets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "bookfiles/book_document.h"
#include "bookfiles/palm_database.h"
#include "document/markup/html_tokenizer.h"
#include "document/markup/link_target.h"
#include "support/bookfiles/book_builder.h"
#include "support/bookfiles/pdb_builder.h"
#include "support/document/memory_document.h"

namespace {

struct Part : Node {
    Rect& AdjustRect(Rect& out, const Rect& in) override {
        rect = in;
        out = in;
        return out;
    }
    int32_t ZOrder() const override { return 0; }
    Rect rect{};
};

struct Controller final : FrameSetController {
    Part part;
    uint32_t position = 0;
    bool sameDocument = true;
    int firstPages = 0;
    uint8_t frameFlag = 0, option = 0;
    Node* WindowPart() override { return &part; }
    bool ShowsOwnerDocument() override { return sameDocument; }
    bool GetFramePosition(uint32_t& p) override {
        p = position;
        return true;
    }
    bool GoFirstPage() override {
        ++firstPages;
        return true;
    }
    void SetFrameOptions(uint8_t f, uint8_t o) override {
        frameFlag = f;
        option = o;
    }
};

struct Host : FrameSetHost {
    Part own;
    std::vector<std::unique_ptr<Controller>> made;
    std::vector<Controller*> released;
    std::vector<uint32_t> opened, keyHandlers;
    int ownOptions = 0;
    bool failOpen = false;

    Node* OwnWindowPart() override { return &own; }
    void SetOwnFrameOptions() override { ++ownOptions; }
    FrameSetController* CreateFrameController() override {
        made.push_back(std::make_unique<Controller>());
        return made.back().get();
    }
    bool OpenFrameDocument(FrameSetController* c, uint32_t position) override {
        opened.push_back(position);
        static_cast<Controller*>(c)->position = position;
        return !failOpen;
    }
    void ReleaseFrameController(FrameSetController* c) override {
        released.push_back(static_cast<Controller*>(c));
    }
    void CollectKeyHandlers(uint32_t position) override { keyHandlers.push_back(position); }
};

void Append(Bytes& to, const Bytes& b) {
    to.insert(to.end(), b.begin(), b.end());
}

// A book whose frameset (applying from position 100) is the given tree, its names after it.
struct FixtureBook {
    Bytes file;
    std::unique_ptr<PalmDatabase> db;
    BookDocument book;
    PackedTree cursor;

    bool Open(const Bytes& tree, const std::vector<uint32_t>& values) {
        BookBuilder b;
        b.text = ToBytes(SampleText(5000));
        b.framesets = {FramesetSpec{100, tree, values}};
        file = b.Build();
        int error = 0;
        db.reset(PalmDatabase::OpenView(file.data(), file.size(), &error));
        if (!db || book.Open(db.get(), 0, 1252, 65002) != 0) return false;
        uint8_t changed = 0;
        uint32_t range[2] = {};
        return book.RecordForPosition(200, &cursor, &changed, -1, range);
    }
};

// Names stored after the nodes, each a 16-bit length and its text; returns their offsets.
std::vector<uint32_t> AddNames(Bytes& tree, const std::vector<std::string>& names) {
    std::vector<uint32_t> at;
    for (const std::string& n : names) {
        at.push_back(static_cast<uint32_t>(tree.size()));
        PutU16(tree, static_cast<uint32_t>(n.size()));
        PutText(tree, n);
    }
    return at;
}

// Rows: "title" at 300 (20 px), "main" the reading position (a share), "foot" at 600 (30 px).
bool ThreeFrames(FixtureBook& f, uint32_t p1 = 300, uint32_t p2 = 600) {
    Bytes nodes = TreeNode(0x0041, 0, 0, 0xFFFFFFFF, 3, 9);
    uint32_t names = static_cast<uint32_t>(nodes.size()) + 36;
    Append(nodes, TreeNode(0x0002, FrameEntry::kPixels, 20, names));
    Append(nodes, TreeNode(0x0002, FrameEntry::kShare, 1, names + 7));
    Append(nodes, TreeNode(0x0002, FrameEntry::kPixels, 30, names + 13));
    AddNames(nodes, {"title", "main", "foot"});
    return f.Open(nodes, {3, p1, 0, p2});
}

std::string Name(const Frame& frame, int i) {
    std::string out;
    const String& n = frame.EntryAt(i)->name;
    for (int32_t k = 0; k < n.Length(); ++k) out += static_cast<char>(n.At(k));
    return out;
}

// ---- Building ----

TEST(FrameSetBuild, ThreeLeavesOpenAtTheirPositions) {
    FixtureBook book;
    ASSERT_TRUE(ThreeFrames(book));
    Host host;
    FrameSet set(&host);
    ASSERT_TRUE(set.Update(true, true, book.cursor));
    Frame& root = set.Root();
    ASSERT_EQ(root.EntryCount(), 3);
    EXPECT_EQ(Name(root, 0), "title");
    EXPECT_EQ(Name(root, 1), "main");
    EXPECT_EQ(root.EntryAt(1)->child, &host.own);
    EXPECT_EQ(host.opened, (std::vector<uint32_t>{300, 600}));
    EXPECT_EQ(root.EntryAt(0)->child, host.made[0]->WindowPart());
    EXPECT_EQ(host.made[0]->frameFlag, 1);
    EXPECT_TRUE(root.Rows());
    Rect out;
    root.AdjustRect(out, Rect{0, 0, 240, 320});
    EXPECT_EQ(host.own.rect.height, 320 - 50);
    EXPECT_TRUE(host.released.empty());
}

TEST(FrameSetBuild, UnchangedFramesetKeepsTheFrames) {
    FixtureBook book;
    ASSERT_TRUE(ThreeFrames(book));
    Host host;
    FrameSet set(&host);
    ASSERT_TRUE(set.Update(true, true, book.cursor));
    EXPECT_FALSE(set.Update(true, false, book.cursor));
    EXPECT_EQ(set.Root().EntryCount(), 3);
    EXPECT_EQ(host.made.size(), 2u);
}

TEST(FrameSetBuild, RebuildReusesControllersAndSendsThemToTheirFirstPage) {
    FixtureBook book;
    ASSERT_TRUE(ThreeFrames(book));
    Host host;
    FrameSet set(&host);
    ASSERT_TRUE(set.Update(true, true, book.cursor));
    ASSERT_TRUE(set.Update(true, true, book.cursor));
    EXPECT_EQ(host.made.size(), 2u);         // nothing made again
    EXPECT_EQ(host.opened.size(), 2u);       // nothing reopened
    EXPECT_EQ(host.made[0]->firstPages, 1);  // but back at the start of its part
    EXPECT_EQ(host.made[1]->firstPages, 1);
    EXPECT_EQ(set.Root().EntryAt(0)->child, host.made[0]->WindowPart());
    EXPECT_EQ(set.Root().EntryAt(2)->child, host.made[1]->WindowPart());
    EXPECT_TRUE(host.released.empty());
}

TEST(FrameSetBuild, NoFramesetReturnsToMainAndHandsBackTheControllers) {
    FixtureBook book;
    ASSERT_TRUE(ThreeFrames(book));
    Host host;
    FrameSet set(&host);
    ASSERT_TRUE(set.Update(true, true, book.cursor));
    ASSERT_TRUE(set.Update(false, false, PackedTree()));
    ASSERT_EQ(set.Root().EntryCount(), 1);
    EXPECT_EQ(Name(set.Root(), 0), "_main");
    EXPECT_EQ(set.Root().EntryAt(0)->unit, static_cast<uint32_t>(FrameEntry::kShare));
    EXPECT_EQ(host.released.size(), 2u);  // freed by the host later, not here
    EXPECT_EQ(set.SpareCount(), 0u);
}

TEST(FrameSetBuild, TwoFramesAtOnePositionKeepBothControllers) {
    FixtureBook book;
    ASSERT_TRUE(ThreeFrames(book, 300, 300));
    Host host;
    FrameSet set(&host);
    ASSERT_TRUE(set.Update(true, true, book.cursor));
    ASSERT_TRUE(set.Update(true, true, book.cursor));
    EXPECT_EQ(host.made.size(), 2u);
    EXPECT_TRUE(host.released.empty());  // neither overwritten nor lost
    EXPECT_NE(set.Root().EntryAt(0)->child, set.Root().EntryAt(2)->child);
    EXPECT_EQ(FrameSets::MatchSpares({300, 300}, {300, 300}), (std::vector<int32_t>{1, 0}));
    EXPECT_EQ(FrameSets::MatchSpares({300}, {-1, 300, 300}), (std::vector<int32_t>{-1, -1, 0}));
}

TEST(FrameSetBuild, AFrameThatCannotOpenFailsTheWholeBuild) {
    FixtureBook book;
    ASSERT_TRUE(ThreeFrames(book));
    Host host;
    host.failOpen = true;
    FrameSet set(&host);
    ASSERT_TRUE(set.Update(true, true, book.cursor));
    ASSERT_EQ(set.Root().EntryCount(), 1);
    EXPECT_EQ(Name(set.Root(), 0), "_main");
    EXPECT_EQ(host.released.size(), host.made.size());
}

// ---- Node kinds, names and key handlers ----

TEST(FrameSetNodes, KindsNamesAndKeyHandlers) {
    // Columns: "a" at 300; an ignored kind (0x0010) with a child; a key-handler node at 900;
    // a second "a" at 400 (dropped); a frameset "b" holding "c" at 500.
    Bytes nodes = TreeNode(0x0001, 0, 0, 0xFFFFFFFF, 5, 23);
    uint32_t names = static_cast<uint32_t>(nodes.size()) + 12 * 7 + 4 * 2;
    Append(nodes, TreeNode(0x0002, 3, 1, names));
    Append(nodes, TreeNode(0x0011, 3, 1, 0xFFFFFFFF, 1, 3));
    Append(nodes, TreeNode(0x0002, 3, 1, 0xFFFFFFFF));
    Append(nodes, TreeNode(0x0014, 0, 0, 0xFFFFFFFF));
    Append(nodes, TreeNode(0x0002, 3, 1, names));
    Append(nodes, TreeNode(0x0003, 3, 1, names + 3, 1, 3));
    Append(nodes, TreeNode(0x0002, 3, 1, names + 6));
    AddNames(nodes, {"a", "b", "c"});
    FixtureBook book;
    ASSERT_TRUE(book.Open(nodes, {7, 300, 1, 700, 900, 400, 1, 500}));

    std::vector<FrameSetNode> visited;
    ASSERT_TRUE(FrameSets::PrepareFrameNodes(book.cursor, visited));
    ASSERT_EQ(visited.size(), 6u);  // the ignored node's child is never visited
    EXPECT_EQ(FrameSets::FramePositions(visited), (std::vector<uint32_t>{300, 500}));

    Host host;
    FrameSet set(&host);
    ASSERT_TRUE(set.Update(true, true, book.cursor));
    EXPECT_EQ(host.keyHandlers, (std::vector<uint32_t>{900}));
    ASSERT_EQ(set.Root().EntryCount(), 2);
    EXPECT_FALSE(set.Root().Rows());
    EXPECT_EQ(Name(set.Root(), 0), "a");
    EXPECT_EQ(Name(set.Root(), 1), "b");
    const Frame* nested = static_cast<const Frame*>(set.Root().EntryAt(1)->child);
    ASSERT_EQ(nested->EntryCount(), 1);
    EXPECT_EQ(Name(*nested, 0), "c");
    EXPECT_EQ(host.opened, (std::vector<uint32_t>{300, 500}));
}

TEST(FrameSetNodes, OwnWindowPartGoesIntoOneFrameOnly) {
    Bytes nodes = TreeNode(0x0041, 0, 0, 0xFFFFFFFF, 2, 6);
    Append(nodes, TreeNode(0x0002, 3, 1, 0xFFFFFFFF));
    Append(nodes, TreeNode(0x0002, 3, 1, 0xFFFFFFFF));
    FixtureBook book;
    ASSERT_TRUE(book.Open(nodes, {2, 0, 0}));
    Host host;
    FrameSet set(&host);
    ASSERT_TRUE(set.Update(true, true, book.cursor));
    ASSERT_EQ(set.Root().EntryCount(), 1);
    EXPECT_EQ(set.Root().EntryAt(0)->child, &host.own);
}

TEST(FrameSetNodes, TreeWithoutFramesFallsBackToMain) {
    Bytes nodes = TreeNode(0x0001, 0, 0, 0xFFFFFFFF, 1, 3);
    Append(nodes, TreeNode(0x0014, 0, 0, 0xFFFFFFFF));
    FixtureBook book;
    ASSERT_TRUE(book.Open(nodes, {1, 900}));
    Host host;
    FrameSet set(&host);
    ASSERT_TRUE(set.Update(true, true, book.cursor));
    ASSERT_EQ(set.Root().EntryCount(), 1);
    EXPECT_EQ(Name(set.Root(), 0), "_main");
}

// ---- Malformed trees ----

struct RawTree {
    Bytes nodes, values;
    PackedTree Cursor() {
        PackedTree t;
        t.textArea = nodes.data();
        t.textEnd = nodes.data() + nodes.size();
        t.node = nodes.data();
        t.nodeEnd = nodes.data() + nodes.size();
        t.value = values.data();
        t.valueEnd = values.data() + values.size();
        t.remaining = 1;
        return t;
    }
};

TEST(FrameSetMalformed, BadTreesFallBackToMain) {
    std::vector<RawTree> trees(4);
    // A name beyond the record.
    trees[0].nodes = TreeNode(0x0001, 0, 0, 0xFFFFFFFF, 1, 3);
    Append(trees[0].nodes, TreeNode(0x0002, 3, 1, 5000));
    // More children than the record holds.
    trees[1].nodes = TreeNode(0x0001, 0, 0, 0xFFFFFFFF, 40, 3);
    Append(trees[1].nodes, TreeNode(0x0002, 3, 1, 0xFFFFFFFF));
    // A child block cut short.
    trees[2].nodes = TreeNode(0x0001, 0, 0, 0xFFFFFFFF, 1, 3);
    trees[2].nodes.resize(14);
    // Child blocks that claim nothing: a deep chain.
    for (int i = 0; i < 64; ++i) Append(trees[3].nodes, TreeNode(0x0003, 3, 1, 0xFFFFFFFF, 1, 0));
    for (RawTree& t : trees) {
        Host host;
        FrameSet set(&host);
        ASSERT_TRUE(set.Update(true, true, t.Cursor()));
        ASSERT_EQ(set.Root().EntryCount(), 1);
        EXPECT_EQ(Name(set.Root(), 0), "_main");
        EXPECT_EQ(host.released.size(), host.made.size());
    }
}

TEST(FrameSetMalformed, ZeroSharesDivideNothing) {
    RawTree t;
    t.nodes = TreeNode(0x0041, 0, 0, 0xFFFFFFFF, 2, 6);
    Append(t.nodes, TreeNode(0x0002, FrameEntry::kShare, 0, 0xFFFFFFFF));
    Append(t.nodes, TreeNode(0x0002, FrameEntry::kShare, 0, 0xFFFFFFFF));
    t.values = {0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 1, 44};
    Host host;
    FrameSet set(&host);
    ASSERT_TRUE(set.Update(true, true, t.Cursor()));
    ASSERT_EQ(set.Root().EntryCount(), 2);
    Rect out;
    set.Root().AdjustRect(out, Rect{0, 0, 240, 320});
    EXPECT_GE(host.own.rect.height, 0);
}

TEST(FrameSetMalformed, MutatedTreesBuildOrFallBackWithoutHarm) {
    RawTree base;
    base.nodes = TreeNode(0x0041, 0, 0, 0xFFFFFFFF, 3, 13);
    Append(base.nodes, TreeNode(0x0002, 1, 20, 0xFFFFFFFF));
    Append(base.nodes, TreeNode(0x0003, 3, 1, 0xFFFFFFFF, 2, 6));
    Append(base.nodes, TreeNode(0x0002, 0, 50, 0xFFFFFFFF));
    Append(base.nodes, TreeNode(0x0014, 3, 1, 0xFFFFFFFF));
    Append(base.nodes, TreeNode(0x0002, 3, 1, 0xFFFFFFFF));
    for (uint32_t w : {5u, 300u, 2u, 600u, 900u, 0u})
        for (int sh = 24; sh >= 0; sh -= 8) base.values.push_back(static_cast<uint8_t>(w >> sh));
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    Host host;
    FrameSet set(&host);
    for (int round = 0; round < 400; ++round) {
        RawTree t = base;
        for (int k = 0; k < 3; ++k) {
            Bytes& b = (next() & 3) == 0 ? t.values : t.nodes;
            b[next() % b.size()] = static_cast<uint8_t>(next());
        }
        if (next() % 5 == 0) t.nodes.resize(next() % t.nodes.size());
        ASSERT_TRUE(set.Update(true, true, t.Cursor()));
        ASSERT_GE(set.Root().EntryCount(), 1);
        Rect out;
        set.Root().AdjustRect(out, Rect{0, 0, 240, 320});
    }
    set.Update(false, false, PackedTree());
    // Every controller ever made is either in the frames or handed back, none twice.
    std::vector<Controller*> released = host.released;
    std::sort(released.begin(), released.end());
    EXPECT_EQ(std::adjacent_find(released.begin(), released.end()), released.end());
    EXPECT_EQ(released.size(), host.made.size());
}

// ---- Key handlers by language ----

RefPtr<LinkTarget> Link(const char* name) {
    RefPtr<LinkTarget> t = RefPtr<LinkTarget>::Adopt(new LinkTarget());
    t->kind = kLinkAddress;
    for (const char* c = name; *c; ++c) t->name.AppendChar(static_cast<char16_t>(*c));
    return t;
}

KeyHandlerLink Handler(const char* name, int language) {
    KeyHandlerLink l;
    l.target = Link(name);
    l.hasLanguage = language >= 0;
    l.language = language >= 0 ? static_cast<uint32_t>(language) : 0;
    return l;
}

std::vector<std::string> Names(const std::vector<RefPtr<LinkTarget>>& handlers) {
    std::vector<std::string> out;
    for (const RefPtr<LinkTarget>& h : handlers) {
        std::string s;
        for (int32_t i = 0; i < h->name.Length(); ++i) s += static_cast<char>(h->name.At(i));
        out.push_back(s);
    }
    return out;
}

TEST(KeyHandlers, ProgramLanguageFirstThenFirstLanguageFillsGaps) {
    // German (7) first, then French (12) and English (9); a third language is ignored.
    std::vector<KeyHandlerLink> links = {Handler("key1", 7),  Handler("key2", 7),
                                         Handler("key1", 12), Handler("key3", 9),
                                         Handler("key4", 9),  Handler("key5", -1)};
    std::vector<RefPtr<LinkTarget>> handlers;
    std::vector<String> texts;
    SelectKeyHandlers(links, 12, handlers, texts);
    EXPECT_EQ(Names(handlers), (std::vector<std::string>{"key1", "key5", "key2"}));
    EXPECT_EQ(texts.size(), handlers.size());

    handlers.clear();
    texts.clear();
    SelectKeyHandlers(links, 9 | 0x400, handlers, texts);  // only the low ten bits count
    EXPECT_EQ(Names(handlers), (std::vector<std::string>{"key3", "key4", "key5", "key1", "key2"}));
}

TEST(KeyHandlers, WithoutLanguagesEveryLinkCounts) {
    std::vector<KeyHandlerLink> links = {Handler("key1", -1), Handler("key1", -1)};
    std::vector<RefPtr<LinkTarget>> handlers;
    std::vector<String> texts;
    SelectKeyHandlers(links, 9, handlers, texts);
    EXPECT_EQ(handlers.size(), 2u);  // no test for names already there: the first one runs
}

}  // namespace

namespace {

std::string Narrow(const String& s) {
    std::string out;
    for (int32_t i = 0; i < s.Length(); ++i) out += static_cast<char>(s.At(i));
    return out;
}

TEST(KeyHandlers, ReadFromTheLinksOfTheBook) {
    MemoryDocument doc(
        u"<p><a name=\"key1\" href=\"un.htm\" lang=\"fr\">Un  deux</a>"
        u"<a name=\"key1\" href=\"one.htm\" lang=\"en\">One</a>"
        u"<a name=\"key2\" href=\"two.htm\" lang=\"en\">Two</a>"
        u"<a name=\"key3\">no action</a><a name=\"key4\" onclick=\"go()\">Go</a></p>");
    HtmlTokenizer t(false);
    ASSERT_TRUE(t.Attach(&doc, 0));
    ASSERT_TRUE(t.Start(0, false));
    std::vector<KeyHandlerLink> links;
    ASSERT_TRUE(ReadKeyHandlerLinks(t, 0xFFFFFFFF, links));
    ASSERT_EQ(links.size(), 4u);
    EXPECT_EQ(Narrow(links[0].text), "Un deux");
    EXPECT_TRUE(links[0].hasLanguage);
    EXPECT_FALSE(links[3].hasLanguage);

    std::vector<RefPtr<LinkTarget>> handlers;
    std::vector<String> texts;
    SelectKeyHandlers(links, 9, handlers, texts);  // English: French was met first
    ASSERT_EQ(Names(handlers), (std::vector<std::string>{"key1", "key2", "key4"}));
    EXPECT_EQ(Narrow(handlers[0]->text), "one.htm");
    EXPECT_EQ(Narrow(texts[2]), "Go");
}

TEST(KeyHandlers, ReadingStopsAtTheLimit) {
    MemoryDocument doc(
        u"<a name=\"key1\" href=\"a\">A</a>                    "
        u"<a name=\"key2\" href=\"b\">B</a>");
    HtmlTokenizer t(false);
    ASSERT_TRUE(t.Attach(&doc, 0));
    ASSERT_TRUE(t.Start(0, false));
    std::vector<KeyHandlerLink> links;
    ASSERT_TRUE(ReadKeyHandlerLinks(t, 40, links));
    EXPECT_EQ(links.size(), 1u);
}

}  // namespace
