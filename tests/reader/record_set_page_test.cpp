#include "reader/record_set_page.h"

#include <gtest/gtest.h>

#include <memory>

#include "../database/fake_index.h"
#include "reader/command_record.h"
#include "reader/generated_pages.h"
#include "support/graphics/surface_test.h"

namespace {

// A document controller as the page sees it: it opens generated-page locations as new pages
// (replacing the page shown, as the controller does) and records the rest.
class Owner : public RecordSetPageOwner {
public:
    FakeBook* book = nullptr;
    std::unique_ptr<RecordSetPage> page;
    String location;
    int backs = 0;
    int64_t position = -1;
    String popup;

    void PostHistoryBack() override { ++backs; }
    bool OpenEntryPosition(IndexSource*, uint32_t, int64_t p) override {
        position = p;
        page.reset();
        return true;
    }
    bool OpenDocumentLocation(const String& l) override {
        String body;
        body.AssignSub(l, 1, -1);
        String opened;
        auto next = RecordSetPage::Open(body, book, this, opened);
        if (!next) return false;
        page = std::move(next);  // the page that asked is gone from here on
        location = opened;
        return true;
    }
    void ShowPopupText(const String& text) override { popup = text; }
};

class RecordSetPageTest : public fvt::test::SurfaceTest {
protected:
    void SetUp() override {
        SurfaceTest::SetUp();
        book.tables.push_back(new FakeIndex({"bank", "banker", "bat", "cat"}, "words"));
        book.tables[0]->SetTag(3, 1, {900});
        owner.book = &book;
    }
    void TearDown() override {
        owner.page.reset();
        SurfaceTest::TearDown();
    }
    bool Key(uint32_t code, uint16_t c = 0) {
        InputEvent e = InputEvent::Key(code, kNoCommand, c);
        return owner.page->ViewNode().HandleEvent(e);
    }
    FakeBook book;
    Owner owner;
};

TEST_F(RecordSetPageTest, WildcardLookupReplacesThePageWithAQueryPage) {
    String location;
    owner.page = RecordSetPage::Open(String(u"fvtindex&0"), &book, &owner, location);
    ASSERT_TRUE(owner.page);
    owner.page->View().SetFlags(0x8);
    owner.page->Show(surface.get(), Rect{0, 0, 240, 200});
    Key(kKeyCharacter, 'b');
    Key(kKeyCharacter, 'a');
    Key(kKeyCharacter, '?');
    EXPECT_TRUE(Key(kKeyActivate));
    ASSERT_TRUE(owner.page);
    String head;
    head.AssignSub(owner.location, 0, 8);
    EXPECT_TRUE(head == String(u"$fvtsql&"));
    owner.page->Show(surface.get(), Rect{0, 0, 240, 200});
    EXPECT_EQ(owner.page->View().Rows().size(), 1u) << "ba? matches bat only";
}

// An owner that opens pages from requests, as the document controller does: the request is kept.
class RequestOwner : public Owner {
public:
    bool TakesPageRequests() const override { return true; }
    bool OpenPageRequest(const CommandRecord& r) override {
        request = r;
        ++requests;
        return true;
    }
    CommandRecord request;
    int requests = 0;
};

TEST_F(RecordSetPageTest, AQueryPageRequestCarriesTheViewsStateWordNameAndFlags) {
    RequestOwner asking;
    asking.book = &book;
    String location;
    asking.page = RecordSetPage::Open(String(u"fvtindex&0"), &book, &asking, location);
    ASSERT_TRUE(asking.page);
    DatabaseView& view = asking.page->View();
    view.SetFlags(0x8 | DatabaseView::kNeverUnderline);
    view.SetStateWord(-7);
    view.SetName(String(u"words"));
    asking.page->Show(surface.get(), Rect{0, 0, 240, 200});
    for (char16_t c : std::u16string(u"ba?")) {
        InputEvent e = InputEvent::Key(kKeyCharacter, kNoCommand, c);
        asking.page->ViewNode().HandleEvent(e);
    }
    InputEvent enter = InputEvent::Key(kKeyActivate, kNoCommand, 0);
    EXPECT_TRUE(asking.page->ViewNode().HandleEvent(enter));
    ASSERT_EQ(asking.requests, 1);
    EXPECT_TRUE(asking.location.IsEmpty()) << "no link was opened in its place";
    // Read back as the controller reads a request 96.
    std::vector<String> texts;
    for (uint32_t i = 0; i < asking.request.Count(); ++i) {
        String t;
        ASSERT_TRUE(asking.request.GetText(i, t));
        texts.push_back(t);
    }
    GeneratedPages::QueryRequest read;
    ASSERT_TRUE(GeneratedPages::ReadQueryRequest(asking.request.methodId, texts, read));
    EXPECT_EQ(asking.request.methodId, GeneratedPages::kSqlSearch);
    EXPECT_FALSE(read.query.IsEmpty());
    EXPECT_TRUE(read.startPosition == String(u"-7"));
    EXPECT_TRUE(read.extra == String(u"words"));
    EXPECT_EQ(read.number, 256u + DatabaseView::kNeverUnderline);
    asking.page.reset();
}

TEST_F(RecordSetPageTest, OpeningAnEntryMayDeleteThePage) {
    String location;
    owner.page = RecordSetPage::Open(String(u"fvtindex&0&cat"), &book, &owner, location);
    ASSERT_TRUE(owner.page);
    owner.page->Show(surface.get(), Rect{0, 0, 240, 200});
    ASSERT_EQ(owner.page->View().Selected(), 0);
    EXPECT_TRUE(Key(kKeyActivate));
    EXPECT_EQ(owner.page, nullptr);
    EXPECT_EQ(owner.position, 900);
}

TEST_F(RecordSetPageTest, BackOnTheFirstLevelIsPosted) {
    String location;
    owner.page = RecordSetPage::Open(String(u"fvtindex&0"), &book, &owner, location);
    ASSERT_TRUE(owner.page);
    owner.page->Show(surface.get(), Rect{0, 0, 240, 200});
    InputEvent back = InputEvent::Key(kKeyCommand, 23);
    EXPECT_TRUE(owner.page->ViewNode().HandleEvent(back));
    EXPECT_EQ(owner.backs, 1);
    EXPECT_TRUE(owner.page);
}

TEST_F(RecordSetPageTest, UnknownLinksOpenNoPage) {
    String location;
    EXPECT_FALSE(RecordSetPage::Open(String(u"fvtaudio&1"), &book, &owner, location));
    EXPECT_FALSE(RecordSetPage::Open(String(u"fvtindex&7"), &book, &owner, location));
}

}  // namespace
