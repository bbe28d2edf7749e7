// The generated page: chunks pulled from a producer while reading, page ids that never meet
// the underlying document's, the header scan and the metadata it answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/sources/generated_page.h"
#include "support/document/memory_document.h"

namespace {

// Hands out one batch of chunks per call; `endless` keeps saying "more" with nothing new.
class ScriptedProducer : public PageProducer {
public:
    ScriptedProducer(std::vector<std::vector<std::u16string>> batches, std::u16string title = u"",
                     bool endless = false)
        : batches_(std::move(batches)), title_(title.data(), static_cast<int32_t>(title.size())),
          endless_(endless) {}
    const String& GetTitle() override { return title_; }
    bool Produce(std::vector<String>& chunks) override {
        if (calls) ++*calls;
        if (next_ >= batches_.size()) return endless_;
        for (const auto& c : batches_[next_]) chunks.emplace_back(c.data(), static_cast<int32_t>(c.size()));
        ++next_;
        return next_ < batches_.size() || endless_;
    }
    int* calls = nullptr;  // counted where it outlives the producer

private:
    std::vector<std::vector<std::u16string>> batches_;
    size_t next_ = 0;
    String title_;
    bool endless_;
};

std::u16string Read(GeneratedPage& page, uint32_t position, uint32_t* start = nullptr,
                    uint16_t* id = nullptr) {
    PageBuffer b;
    if (!page.ReadPage(position, b, 0, 0)) return u"<none>";
    if (start) *start = b.start;
    if (id) *id = b.pageId;
    page.ReleasePage(b.pageId);
    return std::u16string(b.text, b.length);
}

std::u16string S(const String& s) {
    return std::u16string(s.Data(), s.Length());
}

TEST(GeneratedPages, LengthIsUnknownWhileProducing) {
    GeneratedPage* page = GeneratedPage::Create();
    auto* producer = new ScriptedProducer({{std::u16string(5000, u'a')}, {std::u16string(5000, u'b')}});
    page->Attach(producer, nullptr, false);
    EXPECT_EQ(page->GetLength(), 0xFFFFFFFFu);
    uint32_t start = 9;
    uint16_t id = 0;
    EXPECT_EQ(Read(*page, 0, &start, &id).size(), 5000u);
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(id, 1);  // never 0
    EXPECT_EQ(Read(*page, 7000, &start, &id).substr(0, 1), u"b");
    EXPECT_EQ(start, 5000u);
    EXPECT_EQ(id, 2);
    // Reading past what was produced asks once more, then the length is known.
    EXPECT_EQ(Read(*page, 10000), u"<none>");
    EXPECT_EQ(page->GetLength(), 10000u);
    delete page;
}

TEST(GeneratedPages, AFinishedProducerIsNotAskedForever) {
    GeneratedPage* page = GeneratedPage::Create();
    auto* producer = new ScriptedProducer({{u"abc"}}, u"", true);
    int calls = 0;
    producer->calls = &calls;
    page->Attach(producer, nullptr, false);
    EXPECT_EQ(Read(*page, 0), u"abc");
    EXPECT_EQ(Read(*page, 3), u"<none>");
    EXPECT_EQ(Read(*page, 3), u"<none>");
    EXPECT_LE(calls, 2);
    EXPECT_EQ(page->GetLength(), 3u);
    delete page;
}

TEST(GeneratedPages, EmptyChunksDoNotEndThePage) {
    GeneratedPage* page = GeneratedPage::Create();
    page->Attach(new ScriptedProducer({{u""}, {u""}, {u"late"}}), nullptr, false);
    EXPECT_EQ(Read(*page, 0), u"late");
    delete page;
    // Nothing but empty text for ever: the page ends, empty.
    GeneratedPage* idle = GeneratedPage::Create();
    std::vector<std::vector<std::u16string>> empties(200, std::vector<std::u16string>{u""});
    idle->Attach(new ScriptedProducer(empties, u"", true), nullptr, true);
    EXPECT_EQ(idle->GetLength(), 0u);
    delete idle;
}

TEST(GeneratedPages, TakingOverJoinsSmallChunks) {
    GeneratedPage* page = GeneratedPage::Create();
    std::vector<std::u16string> many(100000, u"x");
    page->Attach(new ScriptedProducer({many}), nullptr, true);
    EXPECT_EQ(page->GetLength(), 100000u);
    // 70,000 writes would overflow 16-bit ids; joined, they make a few pages.
    EXPECT_LE(page->ChunkCount(), 100000u / GeneratedPage::kChunkTarget + 1);
    uint16_t id = 0;
    EXPECT_EQ(Read(*page, 99999, nullptr, &id).back(), u'x');
    EXPECT_LT(id, 32768);
    delete page;
}

TEST(GeneratedPages, WalksForwardFromTheLastChunkAndBackFromTheStart) {
    GeneratedPage* page = GeneratedPage::Create();
    std::u16string a(4096, u'a'), b(4096, u'b'), c(4096, u'c');
    page->Attach(new ScriptedProducer({{a, b, c}}), nullptr, true);
    EXPECT_EQ(Read(*page, 4100).front(), u'b');
    EXPECT_EQ(Read(*page, 8200).front(), u'c');
    EXPECT_EQ(Read(*page, 10).front(), u'a');
    EXPECT_EQ(Read(*page, 4096).front(), u'b');
    EXPECT_EQ(Read(*page, 12288), u"<none>");
    delete page;
}

TEST(GeneratedPages, OtherSectionsComeFromTheUnderlyingDocument) {
    MemoryDocument book(u"underlying text", 4);
    GeneratedPage* page = GeneratedPage::Create();
    page->Attach(new ScriptedProducer({{u"own"}}), &book, true);
    PageBuffer b;
    // MemoryDocument answers only section 0: forwarded as asked, refused there.
    EXPECT_FALSE(page->ReadPage(0, b, 1, 0));
    // Without an underlying document other sections and modes are refused or plain.
    GeneratedPage* alone = GeneratedPage::Create();
    alone->Attach(new ScriptedProducer({{u"x"}}), nullptr, true);
    EXPECT_FALSE(alone->ReadPage(0, b, 1, 0));
    EXPECT_FALSE(alone->ReadPage(0, b, 0, 1));
    EXPECT_EQ(alone->Advance(5, 3, 7), 8u);
    EXPECT_EQ(alone->Distance(5, 3, 7), -2);
    alone->ReleasePage(60000);  // nothing to give it back to
    delete alone;
    EXPECT_EQ(page->Advance(5, 3, 0), 8u);
    delete page;
}

TEST(GeneratedPages, TheHeaderGivesGuideEntriesTitleAndLanguage) {
    GeneratedPage* page = GeneratedPage::Create();
    page->Attach(new ScriptedProducer(std::vector<std::vector<std::u16string>>{{
                     u"<html><head><guide>"
                     u"<reference type=\"toc\" title=\"Contents\" filepos=\"1234\"/>"
                     u"<reference type=\"web\" title=\"Site\" href=\"http://x\"/>"
                     u"<reference type=\"run\" title=\"Go\" onclick=\"go()\"/>"
                     u"<reference type=\"none\" title=\"Dropped\"/>",
                     u"</guide><metadata href=\"info\" filepos=\"77\"/>"
                     u"<dc:title>The   Generated </dc:title><dc:title>Page</dc:title>"
                     u"<dc:language>fr</dc:language></head><body><guide>"
                     u"<reference type=\"late\" filepos=\"1\"/></guide></body></html>"}}),
                 nullptr, true);
    EXPECT_EQ(page->QueryNumber(2), 4);
    EXPECT_EQ(page->QueryNumber(3), 1);
    EXPECT_EQ(page->QueryNumber(4), -1);
    TargetRecord r;
    ASSERT_TRUE(page->GetMetadata(0, 2, r));
    EXPECT_EQ(S(r.name), u"toc");
    EXPECT_EQ(S(r.value), u"Contents");
    EXPECT_EQ(r.position, 1234);
    ASSERT_TRUE(page->GetMetadata(1, 2, r));
    EXPECT_EQ(r.position, -1);
    EXPECT_EQ(S(r.extra), u"http://x");
    ASSERT_TRUE(page->GetMetadata(2, 2, r));
    EXPECT_EQ(r.position, -2);
    EXPECT_EQ(S(r.extra), u"go()");
    ASSERT_TRUE(page->GetMetadata(3, 2, r));
    EXPECT_EQ(S(r.name), u"eBook Info");
    EXPECT_EQ(r.position, 77);
    EXPECT_FALSE(page->GetMetadata(4, 2, r));
    String title;
    ASSERT_TRUE(page->GetTitle(title));
    EXPECT_EQ(S(title), u"The Generated Page");
    EXPECT_EQ(page->GetLanguage() & 1023, 12u);
    EXPECT_EQ(page->GetKind(), 2u);
    EXPECT_EQ(page->GetCodePage(), 65002u);
    // No underlying document: the page's own metadata is not found by name.
    EXPECT_FALSE(page->FindMetadata(u"toc", 3, 2, r));
    delete page;
}

TEST(GeneratedPages, WithoutATitleThereIsNone) {
    GeneratedPage* page = GeneratedPage::Create();
    page->Attach(new ScriptedProducer({{u"<html><body>x</body></html>"}}), nullptr, true);
    String title;
    EXPECT_FALSE(page->GetTitle(title));
    TargetRecord r;
    EXPECT_FALSE(page->FindMetadata(u"Title", 5, 3, r));
    EXPECT_EQ(page->GetDocumentType(), 0u);
    EXPECT_EQ(page->GetLanguage(), 0u);
    delete page;
}

TEST(GeneratedPages, AnEmptyPage) {
    GeneratedPage* page = GeneratedPage::Create();
    page->Attach(new ScriptedProducer({}), nullptr, true);
    EXPECT_EQ(page->GetLength(), 0u);
    EXPECT_EQ(Read(*page, 0), u"<none>");
    EXPECT_EQ(page->QueryNumber(2), 0);
    delete page;
}

}  // namespace
