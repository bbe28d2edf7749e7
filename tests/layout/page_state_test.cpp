// The saved page state: "EBVS" blocks round-trip, old versions read, and blocks from a foreign
// or damaged side file are refused without touching the page shown or allocating wildly.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "document/markup/plain_text_token_source.h"
#include "document/sources/layout_services.h"
#include "layout/page_layout.h"
#include "support/document/memory_document.h"
#include "support/layout/paging_fixtures.h"
#include "support/layout/word_page_layout.h"

namespace {

using fvt::test::FixedTraits;
using fvt::test::SeekableDocument;

std::u16string Text(int words = 600) {
    std::u16string out;
    for (int i = 0; i < words; ++i) out += (i % 7 == 0) ? u"chapter " : u"la lettre ";
    return out;
}

constexpr uint32_t kKey = 0x0BADF00D;

// One engine over one document; `seekable` picks a book-like document that is not replayed.
struct Engine {
    explicit Engine(bool seekable, uint32_t key = kKey, int words = 600) : traits(key) {
        doc = seekable ? std::make_unique<SeekableDocument>(Text(words), 512)
                       : std::make_unique<MemoryDocument>(Text(words), 512);
        source.Attach(doc.get(), 0);
        layout = std::make_unique<PageLayout>(&traits);
        layout->SetSource(&source);
        layout->SetContentLayout(&content);
        layout->Configure(fvt::test::SettingsAt(12));
        layout->SetViewport(Rect{0, 0, 120, 60});
        layout->Start();
        layout->GoToPage(1);
    }
    uint32_t Forward(int pages) {
        for (int i = 0; i < pages; ++i)
            layout->GoToPosition(layout->CurrentPageStart(), PageStepCode::kNextPage);
        return layout->CurrentPageStart();
    }

    FixedTraits traits;
    std::unique_ptr<MemoryDocument> doc;
    PlainTextTokenSource source;
    WordPageLayout content;
    std::unique_ptr<PageLayout> layout;
};

void Words(ByteStream& s, std::initializer_list<uint32_t> words) {
    for (uint32_t w : words) s.WriteWord32BE(w);
}

class PageState : public ::testing::TestWithParam<bool> {};

TEST_P(PageState, RoundTripsWithTableEntries) {
    for (size_t count : {0u, 1u, 3u}) {
        Engine a(GetParam());
        uint32_t start = a.Forward(5);
        PageRecord* cur = a.layout->FindPageRecord(start, PageStepCode::kSamePage);
        ASSERT_NE(cur, nullptr);
        for (size_t i = 0; i < count; ++i)
            cur->tables.push_back(TableScrollEntry{static_cast<uint32_t>(100 * i), 4, -8});
        cur->markIndex = 2;
        uint32_t number = 0, pageStart = 0;
        ByteStream saved;
        ASSERT_TRUE(a.layout->SaveCurrentPageState(number, pageStart, saved));
        EXPECT_EQ(pageStart, start);

        Engine b(GetParam());
        saved.SetReadPosition(0);
        ASSERT_TRUE(b.layout->RestorePageState(number, pageStart, saved)) << count;
        EXPECT_EQ(saved.Remaining(), 0u);
        EXPECT_EQ(b.layout->CurrentPageStart(), start);
        EXPECT_EQ(b.layout->CurrentPageNumber(), number);
        PageRecord* r = b.layout->FindPageRecord(start, PageStepCode::kSamePage);
        ASSERT_NE(r, nullptr);
        ASSERT_EQ(r->tables.size(), count);
        if (count) {
            EXPECT_EQ(r->tables.back().y, -8);
        }
        EXPECT_EQ(r->markIndex, 2);
        // The restored page lays out and continues like the original.
        ASSERT_TRUE(b.layout->GoToPosition(start, PageStepCode::kNextPage));
        ASSERT_TRUE(a.layout->GoToPosition(start, PageStepCode::kNextPage));
        EXPECT_EQ(b.layout->CurrentPageStart(), a.layout->CurrentPageStart());
    }
}

INSTANTIATE_TEST_SUITE_P(ReplayedAndSeekable, PageState, ::testing::Bool());

TEST(PageStateBlock, WordsAreBigEndianWithTheStateOnlyForSeekableDocuments) {
    Engine seekable(true);
    seekable.Forward(2);
    uint32_t n = 0, s = 0;
    ByteStream out;
    ASSERT_TRUE(seekable.layout->SaveCurrentPageState(n, s, out));
    const uint8_t* d = out.Data();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(d), 4), "EBVS");
    EXPECT_EQ(d[7], 7);                // version: the pages shown before it follow
    EXPECT_EQ(ReadBE32(d + 8), kKey);  // document key
    EXPECT_EQ(ReadBE32(d + 12), 1u);   // state follows
    EXPECT_EQ(ReadBE32(d + 16), 36u);  // no tables; no stop, none ahead, two pages before
    EXPECT_EQ(ReadBE32(d + 24), 0u);   // no tables
    EXPECT_EQ(ReadBE32(d + 36), 2u);   // the two pages PageDown went through
    EXPECT_EQ(ReadBE32(d + 40), ReadBE32(d + 52));  // page 2: before page 3, after page 1
    EXPECT_GT(out.Size(), 56u);

    Engine replayed(false);
    replayed.Forward(2);
    ByteStream out2;
    ASSERT_TRUE(replayed.layout->SaveCurrentPageState(n, s, out2));
    EXPECT_EQ(ReadBE32(out2.Data() + 12), 0u);
    EXPECT_EQ(out2.Size(), 56u);
}

class Refused : public ::testing::Test {
protected:
    Refused() : engine(true) {
        shown = engine.Forward(3);
        target = Engine(true).Forward(6);
    }
    // The old page stays and nothing was stored for the target.
    void ExpectRefused(ByteStream& s) {
        s.SetReadPosition(0);
        EXPECT_FALSE(engine.layout->RestorePageState(7, target, s));
        EXPECT_EQ(engine.layout->CurrentPageStart(), shown);
        EXPECT_EQ(engine.layout->FindPageRecord(target, PageStepCode::kSamePage), nullptr);
    }
    Engine engine;
    uint32_t shown = 0;
    uint32_t target = 0;
};

TEST_F(Refused, AWrongMagic) {
    ByteStream s;
    Words(s, {0x45425654, 4, kKey, 0, 8, 0xFFFFFFFF, 0});
    ExpectRefused(s);
}

TEST_F(Refused, AnotherDocumentsKey) {
    ByteStream s;
    Words(s, {PageLayout::kStateMagic, 4, kKey + 1, 0, 8, 0xFFFFFFFF, 0});
    ExpectRefused(s);
}

TEST_F(Refused, AFlagAboveOne) {
    ByteStream s;
    Words(s, {PageLayout::kStateMagic, 4, kKey, 2, 8, 0xFFFFFFFF, 0});
    ExpectRefused(s);
}

TEST_F(Refused, ALengthTooSmallForTheEntries) {
    ByteStream s;
    Words(s, {PageLayout::kStateMagic, 4, kKey, 0, 8, 0xFFFFFFFF, 1, 5, 6, 7});
    ExpectRefused(s);
}

TEST_F(Refused, ATruncatedEntryList) {
    ByteStream s;
    Words(s, {PageLayout::kStateMagic, 4, kKey, 0, 32, 0xFFFFFFFF, 2, 5, 6, 7});
    ExpectRefused(s);
}

TEST_F(Refused, HostileCountsWithoutAllocating) {
    ByteStream s;
    Words(s, {PageLayout::kStateMagic, 4, kKey, 0, 0xFFFFFFF8u, 0xFFFFFFFF, 0xFFFFFFFF});
    ExpectRefused(s);
    ByteStream t;
    Words(t, {PageLayout::kStateMagic, 4, kKey, 0, 20, 0xFFFFFFFF, 0x15555556, 1, 2, 3});
    ExpectRefused(t);
}

TEST_F(Refused, AScanStateThatIsJunk) {
    ByteStream s;
    Words(s, {PageLayout::kStateMagic, 4, kKey, 1, 8, 0xFFFFFFFF, 0, 0xFFFFFFF0u, 1, 2});
    ExpectRefused(s);
}

TEST_F(Refused, AVersionOfZero) {
    ByteStream s;
    Words(s, {PageLayout::kStateMagic, 0, kKey});
    ExpectRefused(s);
}

TEST_F(Refused, NothingButThePageKeyLaysThePageOut) {
    ByteStream s;
    Words(s, {PageLayout::kStateMagic, 4});  // 8 bytes: fewer than 12
    s.SetReadPosition(0);
    ASSERT_TRUE(engine.layout->RestorePageState(7, target, s));
    EXPECT_EQ(engine.layout->CurrentPageStart(), target);
    ByteStream empty;
    ASSERT_TRUE(engine.layout->RestorePageState(1, 0, empty));
    EXPECT_EQ(engine.layout->CurrentPageNumber(), 1u);
}

TEST_F(Refused, AByteSwappedKeyIsAccepted) {
    ByteStream s;
    Words(s, {PageLayout::kStateMagic, 4, ByteSwap32(kKey), 0, 8, 3, 0});
    s.SetReadPosition(0);
    ASSERT_TRUE(engine.layout->RestorePageState(7, target, s));
    EXPECT_EQ(engine.layout->CurrentPageStart(), target);
    EXPECT_EQ(engine.layout->FindPageRecord(target, PageStepCode::kSamePage)->markIndex, 3);
}

TEST_F(Refused, AKnownPageNeedsNoBlockButTheBlockIsConsumed) {
    uint32_t n = 0, s0 = 0;
    ByteStream saved;
    ASSERT_TRUE(engine.layout->SaveCurrentPageState(n, s0, saved));
    saved.WriteWord32BE(0xABCD);  // what the caller appended after the block
    ASSERT_TRUE(engine.layout->GoToPage(1));
    saved.SetReadPosition(0);
    ASSERT_TRUE(engine.layout->RestorePageState(n, s0, saved));
    EXPECT_EQ(engine.layout->CurrentPageStart(), shown);
    uint32_t after = 0;
    ASSERT_TRUE(saved.ReadWord32BE(after));
    EXPECT_EQ(after, 0xABCDu);
}

TEST_F(Refused, OldVersionsAreRead) {
    // Version 1: magic, version and key only; the page comes from its key.
    ByteStream v1;
    Words(v1, {PageLayout::kStateMagic, 1, kKey});
    v1.SetReadPosition(0);
    ASSERT_TRUE(engine.layout->RestorePageState(7, target, v1));
    EXPECT_EQ(engine.layout->CurrentPageStart(), target);
    EXPECT_EQ(engine.layout->FindPageRecord(target, PageStepCode::kSamePage)->markIndex, -1);

    // Version 3: no flag, the state follows; the entries are read.
    Engine source(true);
    uint32_t start = source.Forward(4);
    PageRecord* rec = source.layout->FindPageRecord(start, PageStepCode::kSamePage);
    ByteStream v3;
    Words(v3, {PageLayout::kStateMagic, 3, kKey, 20, 1, 1, 44, 5, 6});
    v3.WriteBlock(rec->scanState);
    rec->elements.Save(v3);
    v3.SetReadPosition(0);
    Engine fresh(true);
    ASSERT_TRUE(fresh.layout->RestorePageState(9, start, v3));
    PageRecord* r = fresh.layout->FindPageRecord(start, PageStepCode::kSamePage);
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->tables.size(), 1u);
    EXPECT_EQ(r->tables[0].position, 44u);
    EXPECT_EQ(r->markIndex, 1);

    // Version 2: L and the mark, then the state.
    ByteStream v2;
    Words(v2, {PageLayout::kStateMagic, 2, kKey, 4, 0});
    v2.WriteBlock(rec->scanState);
    rec->elements.Save(v2);
    v2.SetReadPosition(0);
    Engine other(true);
    ASSERT_TRUE(other.layout->RestorePageState(9, start, v2));
    EXPECT_EQ(other.layout->FindPageRecord(start, PageStepCode::kSamePage)->markIndex, 0);
}

TEST(PageStateBlock, AJunkMarkIndexReadsAsNone) {
    Engine engine(true);
    uint32_t target = Engine(true).Forward(2);
    ByteStream s;
    Words(s, {PageLayout::kStateMagic, 4, kKey, 0, 8, 0x80000005u, 0});
    s.SetReadPosition(0);
    ASSERT_TRUE(engine.layout->RestorePageState(3, target, s));
    EXPECT_EQ(engine.layout->FindPageRecord(target, PageStepCode::kSamePage)->markIndex, -1);
}

// The pages shown before a saved page come back with it; blocks of the version before them
// still read, and pairs that cannot be this text's (out of order, past the page, before the
// first page) are passed over.
TEST(PageStateBlock, ThePagesShownBeforeComeBackAndOlderBlocksStillRead) {
    Engine a(true);
    const uint32_t p4 = a.Forward(3), p5 = a.Forward(1);
    uint32_t n = 0, s = 0;
    ByteStream saved;
    ASSERT_TRUE(a.layout->SaveCurrentPageState(n, s, saved));
    Engine b(true);
    saved.SetReadPosition(0);
    ASSERT_TRUE(b.layout->RestorePageState(n, s, saved));
    EXPECT_EQ(b.layout->Pages().TrailedBefore(p5), p4);
    EXPECT_NE(b.layout->Pages().TrailedBefore(p4), PageLayout::kNone);

    // Version 6: a stop, one page ahead; no pages before.
    ByteStream v6;
    Words(v6, {PageLayout::kStateMagic, 6, kKey, 0, 8 + 8 + 8, PageLayout::kNone, 0,
               PageLayout::kNone, 1, p5 + 10, p5 + 20});
    Engine c(true);
    v6.SetReadPosition(0);
    ASSERT_TRUE(c.layout->RestorePageState(n, p5, v6));
    EXPECT_EQ(c.layout->CurrentPageStart(), p5);
    EXPECT_EQ(c.layout->Pages().KeptStop(p5 + 10), p5 + 20);
    EXPECT_EQ(c.layout->Pages().TrailedBefore(p5), PageLayout::kNone);

    // Version 7 with pairs out of order and past the page.
    ByteStream v7;
    Words(v7, {PageLayout::kStateMagic, 7, kKey, 0, 8 + 12 + 16, PageLayout::kNone, 0,
               PageLayout::kNone, 0, 2, p5, p4, p5 + 30, p5 + 40});
    Engine d(true);
    v7.SetReadPosition(0);
    ASSERT_TRUE(d.layout->RestorePageState(n, p5, v7));
    EXPECT_EQ(v7.Remaining(), 0u);
    EXPECT_EQ(d.layout->Pages().TrailedBefore(p4), PageLayout::kNone);
    EXPECT_EQ(d.layout->Pages().TrailedBefore(p5 + 40), PageLayout::kNone);
}

// Paged forward far past the thousands of pages the trail holds: each of the latest pages still
// knows the page shown before it, and the earliest pages gave up their places first.
TEST(PageTrail, TheLatestPagesKeepThePageBeforeAndTheEarliestGiveWay) {
    Engine e(false, kKey, 120000);
    std::vector<uint32_t> starts{e.layout->CurrentPageStart()};
    for (int i = 0; i < 5000; ++i) {
        const uint32_t next = e.Forward(1);
        ASSERT_GT(next, starts.back()) << "the text ends after " << i << " pages";
        starts.push_back(next);
    }
    const Paginator& pages = e.layout->Pages();
    const size_t n = starts.size();
    for (size_t i = n - 4000; i < n; ++i)
        ASSERT_EQ(pages.TrailedBefore(starts[i]), starts[i - 1]) << "page " << i << " of " << n;
    for (size_t i = 1; i < 500; ++i)
        ASSERT_EQ(pages.TrailedBefore(starts[i]), PageLayout::kNone) << "page " << i;
}

}  // namespace
