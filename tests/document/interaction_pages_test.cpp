// The cart and interactions pages behind "oeb:cart" locations, opened through the loader and
// read back as books.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bookfiles/configuration_store.h"
#include "bookfiles/sorted_record_database.h"
#include "core/text.h"
#include "document/sources/book_resource.h"
#include "document/sources/document_loader.h"
#include "document/sources/interaction_pages.h"
#include "paths/app_paths.h"
#include "support/bookfiles/book_builder.h"
#include "support/bookfiles/index_fixture.h"
#include "support/document/document_text.h"
#include "support/platform/temp_device.h"

namespace {

std::string Narrow(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

std::u16string TextOf(Resource* r) {
    return DocumentText(*r->GetDocument());
}

// Drugs aspirin (nsaid), ibuprofen (nsaid), warfarin (anticoagulant); texts for
// anticoagulant with nsaid and for two nsaids.
std::string InteractionsBook() {
    uint32_t ids[3] = {};
    Bytes bytes;
    for (int pass = 0; pass < 2; ++pass) {
        BookBuilder b;
        b.text = ToBytes("<html><body>interactions</body></html>");
        b.tables[1] = ids[0];
        b.tables[3] = ids[1];
        b.tables[7] = ids[2];
        PdbBuilder pdb = b.BuildDatabase();
        IndexWriter drugs;
        drugs.name = "drugs";
        drugs.Add(u"aspirin", {{30, {1}}});
        drugs.Add(u"ibuprofen", {{30, {1}}});
        drugs.Add(u"warfarin", {{30, {0}}});
        IndexWriter classes;
        classes.name = "classes";
        classes.Add(u"anticoagulant", {{31, {0}}});
        classes.Add(u"nsaid", {{31, {0, 1}}});
        IndexWriter texts;
        texts.name = "texts";
        texts.Add(u"bleeding <risk>", {{32, {0, 1}}});
        texts.Add(u"nsaid pair", {{32, {1, 1}}});
        EXPECT_TRUE(AddIndexTable(drugs, &pdb, &ids[0]));
        EXPECT_TRUE(AddIndexTable(classes, &pdb, &ids[1]));
        EXPECT_TRUE(AddIndexTable(texts, &pdb, &ids[2]));
        bytes = pdb.Build();
    }
    return std::string(bytes.begin(), bytes.end());
}

struct CartPages : ::testing::Test {
    CartPages() {
        EXPECT_TRUE(device.ok());
        device.WriteHost("books/inter.prc", InteractionsBook());
        EXPECT_EQ(config.OpenDefault("\\config.fvt", 1), 0);
        EXPECT_EQ(config.SetText(252, u"\\books\\inter.prc", 16), 0);
        loader.SetOptions(&paths, &config, &log);
    }
    Resource* Open(const std::u16string& text) {
        Location l;
        if (!l.Resolve(String(text.data(), static_cast<int32_t>(text.size())), nullptr))
            return nullptr;
        return loader.Open(l, nullptr, nullptr);
    }
    Cart& TheCart() { return *CartStore::From(&log, String(u"mine")); }

    fvt::test::TempDevice device;
    AppPaths paths{Text(), nullptr};
    ConfigurationStore config;
    SortedRecordDatabase log;
    DocumentLoader loader{3};
};

TEST_F(CartPages, AnEmptyCartSaysSo) {
    Resource* page = Open(u"oeb:cart?name=mine&title=My%20List");
    ASSERT_NE(page, nullptr);
    std::string text = Narrow(TextOf(page));
    EXPECT_EQ(text.rfind("<html><body>", 0), 0u);
    EXPECT_NE(text.find("<b>0&nbsp;item(s)</b>"), std::string::npos);
    EXPECT_NE(text.find("This list is empty."), std::string::npos);
    EXPECT_EQ(text.find("Compute interactions"), std::string::npos);
    EXPECT_EQ(text.find("Tip:"), std::string::npos);
    EXPECT_EQ(page->GetDocument()->GetDocumentType(), 774u);
    String title;
    ASSERT_TRUE(page->GetTitle(title));
    EXPECT_EQ(std::u16string(title.Data(), title.Length()), u"My List");
    EXPECT_TRUE(device.HostExists("Windows/FolivantAutogenCart.fvg"));
    page->Release();
}

TEST_F(CartPages, ItemsAreListedWithTheirLinksAndEscaped) {
    Cart::AddItem(&TheCart(), String(u"a"), String(u"Aspirin <b>"));
    Cart::AddItem(&TheCart(), String(u"b"), String(u"O'Brien's"));
    Resource* page = Open(u"oeb:cart?name=mine&title=It's%20\"x\"");
    ASSERT_NE(page, nullptr);
    std::string text = Narrow(TextOf(page));
    EXPECT_NE(text.find("<b>2&nbsp;item(s)</b>"), std::string::npos);
    EXPECT_NE(text.find("cart.submit('mine','It\\'s \\&quot;x\\&quot;')\">Compute interactions"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("cart.remove('mine', 0)"), std::string::npos);
    EXPECT_NE(text.find("cart.remove('mine', 1)"), std::string::npos);
    EXPECT_NE(text.find("&nbsp;Aspirin &lt;b&gt;<br/>"), std::string::npos);
    EXPECT_NE(text.find("&nbsp;O'Brien's<br/>"), std::string::npos);
    EXPECT_NE(text.find("oeb:fvt_iconlib$235"), std::string::npos);
    EXPECT_NE(text.find("cart.reset('mine')\">Delete all"), std::string::npos);
    EXPECT_NE(text.find("Tip:"), std::string::npos);
    EXPECT_EQ(text.find("<b>\"") , std::string::npos);
    page->Release();
}

TEST_F(CartPages, EveryRequestShowsTheCartAsItIsNow) {
    Resource* first = Open(u"oeb:cart?name=mine");
    ASSERT_NE(first, nullptr);
    Cart::AddItem(&TheCart(), String(u"w"), String(u"warfarin"));
    // The first page is still held: the same location must not give the stale page.
    Resource* second = Open(u"oeb:cart?name=mine");
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_NE(Narrow(TextOf(second)).find("warfarin"), std::string::npos);
    EXPECT_EQ(Narrow(TextOf(first)).find("warfarin"), std::string::npos);
    first->Release();
    second->Release();
}

TEST_F(CartPages, InteractionsLinkToTheirEntries) {
    Cart& cart = *CartStore::From(&log, String(u"interactions"));
    Cart::AddItem(&cart, String(u"warfarin"), String());
    Cart::AddItem(&cart, String(u"aspirin"), String());
    Cart::AddItem(&cart, String(u"ibuprofen"), String());
    Resource* page = Open(u"oeb:cart?name=interactions&action=submit&title=Check");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->GetDocument()->GetDocumentType(), 775u);
    std::u16string text = TextOf(page);
    std::string narrow = Narrow(text);
    EXPECT_NE(narrow.find("<b>3&nbsp;interaction(s)</b>"), std::string::npos) << narrow;
    // Each link leads to the position where its entry starts.
    size_t at = 0;
    for (int i = 0; i < 3; ++i) {
        at = narrow.find("filepos=\"", at);
        ASSERT_NE(at, std::string::npos);
        at += 9;
        uint32_t target = static_cast<uint32_t>(std::stoul(narrow.substr(at, 8)));
        EXPECT_EQ(narrow.substr(target, 9), "<img src=") << i;
        if (i == 0) {
            EXPECT_EQ(narrow.substr(target - 16, 16), "</ul>&nbsp;<br/>");
        }
    }
    EXPECT_NE(narrow.find("warfarin (<b>anticoagulant</b>) - aspirin (<b>nsaid</b>)"),
              std::string::npos);
    EXPECT_NE(narrow.find("bleeding &lt;risk&gt;"), std::string::npos);
    EXPECT_NE(narrow.find("nsaid pair"), std::string::npos);
    page->Release();
    // The interactions book was let go with the search.
    EXPECT_EQ(loader.CachedCount(), 0u);
}

TEST_F(CartPages, NoInteractionsIsSaid) {
    Cart& cart = *CartStore::From(&log, String(u"interactions"));
    Cart::AddItem(&cart, String(u"aspirin"), String());
    Resource* page = Open(u"oeb:cart?name=interactions&action=submit&title=x");
    ASSERT_NE(page, nullptr);
    EXPECT_NE(Narrow(TextOf(page)).find("There are no interactions."), std::string::npos);
    page->Release();
}

TEST_F(CartPages, TheInteractionsActionNeedsItsExactNameAndABook) {
    CartStore::From(&log, String(u"interactions"));
    EXPECT_EQ(Open(u"oeb:cart?name=Interactions&action=submit&title=x"), nullptr);
    EXPECT_EQ(config.SetText(252, u"\\books\\none.prc", 15), 0);
    EXPECT_EQ(Open(u"oeb:cart?name=interactions&action=submit&title=x"), nullptr);
    // A book without interaction tables: nothing, and the book is let go.
    device.WriteHost("books/plain.htm", "<p>plain</p>");
    EXPECT_EQ(config.SetText(252, u"\\books\\plain.htm", 16), 0);
    EXPECT_EQ(Open(u"oeb:cart?name=interactions&action=submit&title=x"), nullptr);
    EXPECT_EQ(loader.CachedCount(), 0u);
}

TEST_F(CartPages, WithoutAFormStoreThereIsNoCart) {
    DocumentLoader bare(1);
    bare.SetOptions(&paths, nullptr, nullptr);
    Location l;
    ASSERT_TRUE(l.Resolve(String(u"oeb:cart?name=mine"), nullptr));
    EXPECT_EQ(bare.Open(l, nullptr, nullptr), nullptr);
}

TEST(PageText, EscapesForHtmlAndScriptStrings) {
    String out;
    ASSERT_TRUE(PageText::HtmlEncode(String(u"a<b>&\"c\""), out));
    EXPECT_EQ(std::u16string(out.Data(), out.Length()), u"a&lt;b&gt;&amp;&quot;c&quot;");
    ASSERT_TRUE(PageText::ScriptStringInAttribute(String(u"x'); alert('y"), out));
    EXPECT_EQ(std::u16string(out.Data(), out.Length()), u"x\\'); alert(\\'y");
    // Plain texts are unchanged.
    ASSERT_TRUE(PageText::ScriptStringInAttribute(String(u"plain"), out));
    EXPECT_EQ(std::u16string(out.Data(), out.Length()), u"plain");
}

}  // namespace
