// The first-page search: log hosts met in the head (and in the body's first tokens) are collected
// into the metadata list, and the search still finds the body. And the set-up around it: the
// font-size adjuster picks the face from the resource's child kind.
#include <gtest/gtest.h>

#include <string>

#include "bookfiles/sorted_record_database.h"
#include "database/resource.h"
#include "document/markup/html_tokenizer.h"
#include "layout/page_layout.h"
#include "support/document/memory_document.h"
#include "support/layout/paging_fixtures.h"
#include "support/layout/word_page_layout.h"

namespace {

struct FirstPage {
    explicit FirstPage(const std::u16string& html, SortedRecordDatabase* list, bool collect = true)
        : doc(html, 512) {
        source.Attach(&doc, 0);
        layout.SetSource(&source);
        layout.SetContentLayout(&content);
        layout.Configure(fvt::test::SettingsAt(12));
        layout.SetViewport(Rect{0, 0, 120, 60});
        layout.SetCollectMetadata(collect);
        layout.SetMetadataList(list);
        started = layout.Start();
    }
    MemoryDocument doc;
    HtmlTokenizer source;
    WordPageLayout content;
    PageLayout layout;
    bool started = false;
};

TEST(FirstPageMetadata, LogHostsInTheHeadAreCollected) {
    SortedRecordDatabase list;
    FirstPage page(
        u"<html><head><title>T</title>"
        u"<loghost url=\"a.example\" prefix=\"p1\" encoding=\"3\">"
        u"<loghost url=\"b.example\"></head><body>Hello there</body></html>",
        &list);
    ASSERT_TRUE(page.started);
    ASSERT_EQ(list.Items().size(), 2u);
    EXPECT_EQ(list.Items()[0].name, u"a.example");
    EXPECT_EQ(list.Items()[0].value, u"p1");
    EXPECT_EQ(list.Items()[0].kind, 3u);
    EXPECT_EQ(list.Items()[1].name, u"b.example");
    EXPECT_EQ(list.Items()[1].kind, 2u);  // no kind given
    // The page still starts at the body.
    EXPECT_GT(page.layout.FirstPageStart(), 0u);
}

TEST(FirstPageMetadata, ALogHostRightAfterTheBodyStartIsCollectedToo) {
    SortedRecordDatabase list;
    FirstPage page(u"<html><body><loghost url=\"late\">Text of the page</body></html>", &list);
    ASSERT_TRUE(page.started);
    ASSERT_EQ(list.Items().size(), 1u);
    EXPECT_EQ(list.Items()[0].name, u"late");
}

TEST(FirstPageMetadata, TheListIsEmptiedBeforeCollecting) {
    SortedRecordDatabase list;
    list.AddItem(u"stale", u"", 2);
    FirstPage page(u"<html><body>No hosts</body></html>", &list);
    ASSERT_TRUE(page.started);
    EXPECT_TRUE(list.Items().empty());
}

TEST(FirstPageMetadata, WithoutCollectingTheListIsLeftAlone) {
    SortedRecordDatabase list;
    list.AddItem(u"kept", u"", 2);
    FirstPage page(u"<html><body>Text</body></html>", &list, false);
    ASSERT_TRUE(page.started);
    ASSERT_EQ(list.Items().size(), 1u);
    EXPECT_EQ(list.Items()[0].name, u"kept");
}

TEST(FirstPageMetadata, AnOddKindNumberFallsBackToTwo) {
    SortedRecordDatabase list;
    FirstPage page(u"<html><head><loghost url=\"x\" encoding=\"9x\"></head><body>T</body></html>",
                   &list);
    ASSERT_TRUE(page.started);
    ASSERT_EQ(list.Items().size(), 1u);
    EXPECT_EQ(list.Items()[0].kind, 2u);
}

TEST(FirstPageMetadata, ALongBodyIsNotReadToItsEndForHosts) {
    SortedRecordDatabase list;
    std::u16string html = u"<html><body>";
    for (int i = 0; i < 5000; ++i) html += u"word ";
    html += u"<loghost url=\"far\"></body></html>";
    FirstPage page(html, &list);
    ASSERT_TRUE(page.started);
    EXPECT_TRUE(list.Items().empty());
}

// A head, a style sheet or a script longer than the search's hundred tokens still leaves the
// first page at the body's start, not at the document's.
TEST(FirstPageSearch, ALongHeadDoesNotUseUpTheSearch) {
    std::u16string css;
    for (int i = 0; i < 80; ++i) {
        const std::string n = std::to_string(i);
        css += u".c" + std::u16string(n.begin(), n.end()) + u" { color: red; margin: 0 }\n";
    }
    std::u16string meta;
    for (int i = 0; i < 150; ++i) meta += u"<meta name=\"k\" content=\"v\">";
    std::u16string script;
    for (int i = 0; i < 150; ++i) script += u"var a = b + c;\n";
    const std::u16string body = u"<body><p>The body starts here</p></body></html>";
    for (const std::u16string& head :
         {u"<html><head><title>Long</title><style>" + css + u"</style></head>",
          u"<html><head><title>Long</title>" + meta + u"</head>",
          u"<html><head><script>" + script + u"</script></head>",
          u"<html><head><title>T</title></head><style>" + css + u"</style>"}) {
        const std::u16string html = head + body;
        FirstPage page(html, nullptr);
        ASSERT_TRUE(page.started);
        EXPECT_EQ(page.layout.FirstPageStart(), html.find(u"<p>"))
            << std::string(head.begin(), head.begin() + 40);
    }
}

// Without BODY the text is shown from the start, head or no head.
TEST(FirstPageSearch, WithoutABodyTheFirstPageStartsAtTheStart) {
    FirstPage page(u"<html><head><style>p { color: red }</style></head><p>Text</p></html>", nullptr);
    ASSERT_TRUE(page.started);
    EXPECT_EQ(page.layout.FirstPageStart(), 0u);
}

class ChildResource : public Resource {
public:
    bool IsBinary() override { return false; }
    DataHandle* OpenDataByIndex(int32_t, const DbValue*) override { return nullptr; }
    DocumentSource* GetDocument() override { return nullptr; }
    bool CreateLayout(TokenSource*&, PageLayout**) override { return false; }
    void DestroyLayout(TokenSource*, PageLayout*) override {}
    uint32_t GetKind() override { return 0; }
    uint32_t GetChildKind(uint32_t& value) override {
        value = 42;
        return 7;
    }
};

struct Adjuster : FontSizeAdjuster {
    uint8_t AdjustFace(uint8_t face, uint32_t kind, uint32_t value) override {
        asked = std::to_string(face) + "," + std::to_string(kind) + "," + std::to_string(value);
        return 2;
    }
    std::string asked;
};

TEST(Configuration, TheAdjusterPicksTheFaceFromTheResourcesChildKind) {
    ChildResource* resource = new ChildResource;
    Adjuster adjuster;
    PageLayout layout;
    layout.SetResource(resource);
    layout.SetFontSizeAdjuster(&adjuster);
    LayoutSettings settings = fvt::test::SettingsAt(12);
    settings.defaults.style.text.face = 5;
    layout.Configure(settings);
    EXPECT_EQ(adjuster.asked, "5,7,42");
    EXPECT_EQ(layout.Settings().defaults.style.text.face, 2);
    layout.SetResource(nullptr);
    resource->Release();
}

TEST(Configuration, WithoutAResourceTheKindIsNone) {
    Adjuster adjuster;
    PageLayout layout;
    layout.SetFontSizeAdjuster(&adjuster);
    layout.Configure(fvt::test::SettingsAt(12));
    EXPECT_EQ(adjuster.asked, "0,0,0");
}

TEST(Configuration, AResourceHasNoChildKindByDefault) {
    struct Plain : ChildResource {
        uint32_t GetChildKind(uint32_t& value) override { return Resource::GetChildKind(value); }
    };
    Plain* r = new Plain;
    uint32_t value = 9;
    EXPECT_EQ(r->GetChildKind(value), 0u);
    EXPECT_EQ(value, 0u);
    r->Release();
}

}  // namespace
