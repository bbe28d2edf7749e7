// The interaction search: class pairs of two cart drugs, cart order, duplicates, unknown items
// and the error cases.
#include <gtest/gtest.h>

#include "database/cart.h"
#include "database/interaction_search.h"
#include "db_test_util.h"
#include "fake_index.h"

namespace {

struct InteractionsBook {
    FakeIndex* drugs = new FakeIndex({"aspirin", "ibuprofen", "unrelated", "warfarin"}, "drugs");
    FakeIndex* classes = new FakeIndex({"anticoagulant", "nsaid", "other"}, "classes");
    FakeIndex* texts = new FakeIndex({"bleeding risk", "nsaid pair"}, "texts");
    InteractionsBook() {
        drugs->SetTag(0, 30, {1});    // aspirin: nsaid
        drugs->SetTag(1, 30, {1});    // ibuprofen: nsaid
        drugs->SetTag(2, 30, {2});    // unrelated: other
        drugs->SetTag(3, 30, {0});    // warfarin: anticoagulant
        classes->SetTag(0, 31, {0});  // anticoagulant -> bleeding risk
        classes->SetTag(1, 31, {0, 1});
        texts->SetTag(0, 32, {0, 1});  // anticoagulant with nsaid
        texts->SetTag(1, 32, {1, 1});  // nsaid with nsaid
    }
    ~InteractionsBook() {
        drugs->Release();
        classes->Release();
        texts->Release();
    }
};

TEST(InteractionSearchTest, FindsClassPairsInCartOrder) {
    InteractionsBook book;
    InteractionSearch search;
    ASSERT_EQ(search.Lookup(book.drugs, book.classes, book.texts), 0);
    Cart cart(S("interactions"));
    Cart::AddItem(&cart, S("warfarin"), String());
    Cart::AddItem(&cart, S("unknown drug"), String());
    Cart::AddItem(&cart, S("aspirin"), String());
    Cart::AddItem(&cart, S("ibuprofen"), String());
    Cart::AddItem(&cart, S("unrelated"), String());
    search.SetCart(&cart);
    bool error = true;
    ASSERT_EQ(search.Run(error), 3);
    EXPECT_FALSE(error);
    const auto& r0 = search.ResultAt(0);
    EXPECT_EQ(r0.drug1, 3u);  // warfarin first: cart order
    EXPECT_EQ(r0.drug2, 0u);
    EXPECT_EQ(r0.class1, 0u);
    EXPECT_EQ(r0.class2, 1u);
    EXPECT_EQ(r0.text, 0u);
    EXPECT_EQ(search.ResultAt(1).drug2, 1u);  // warfarin with ibuprofen
    EXPECT_EQ(search.ResultAt(2).text, 1u);   // aspirin with ibuprofen, once
}

TEST(InteractionSearchTest, NoInteractionsIsNotAnError) {
    InteractionsBook book;
    InteractionSearch search;
    search.Lookup(book.drugs, book.classes, book.texts);
    Cart cart(S("interactions"));
    Cart::AddItem(&cart, S("unrelated"), String());
    Cart::AddItem(&cart, S("aspirin"), String());
    search.SetCart(&cart);
    bool error = true;
    EXPECT_EQ(search.Run(error), 0);
    EXPECT_FALSE(error);
}

TEST(InteractionSearchTest, MissingTablesOrCart) {
    InteractionsBook book;
    InteractionSearch search;
    EXPECT_NE(search.Lookup(book.drugs, nullptr, book.texts), 0);
    bool error = false;
    search.Run(error);
    EXPECT_TRUE(error);
    search.Lookup(book.drugs, book.classes, book.texts);
    search.Run(error);
    EXPECT_TRUE(error);  // no cart
    search.Clear();
    EXPECT_EQ(search.Table(0), nullptr);
}

}  // namespace
