// The history table (repeats, moves, the 100-row bound, sharing and saving) and the cart (items,
// bounds, XML escaping and its file).
#include <gtest/gtest.h>

#include <filesystem>

#include "bookfiles/database_file.h"

#include "database/cart.h"
#include "database/database_object.h"
#include "database/history_table.h"
#include "db_test_util.h"
#include "support/platform/temp_device.h"

namespace {

struct History {
    HistoryTable* h = new HistoryTable();
    ~History() { h->Release(); }
    HistoryTable* operator->() const { return h; }
    std::string Rows() const {
        std::string r;
        String book;
        uint32_t t = 0, e = 0;
        for (int32_t i = 0; i < static_cast<int32_t>(h->Count()); ++i) {
            h->GetRow(i, book, t, e);
            r += (r.empty() ? "" : ",") + A(book) + ":" + std::to_string(t) + ":" +
                 std::to_string(e);
        }
        return r;
    }
};

TEST(HistoryTableTest, RepeatsAndMoves) {
    History h;
    EXPECT_FALSE(h->AddEntry(S("b"), 1, 2));  // not open yet
    ASSERT_NE(h->OpenIfNeeded(nullptr), nullptr);
    EXPECT_TRUE(h->AddEntry(S("a"), 1, 10));
    EXPECT_TRUE(h->AddEntry(S("b"), 1, 20));
    EXPECT_TRUE(h->AddEntry(S("b"), 1, 20));  // same as the last: nothing
    EXPECT_EQ(h.Rows(), "a:1:10,b:1:20");
    EXPECT_TRUE(h->AddEntry(S("a"), 1, 10));  // older equal row moves to the end
    EXPECT_EQ(h.Rows(), "b:1:20,a:1:10");
    EXPECT_TRUE(h->AddEntry(S("a"), 2, 10));  // another table is another row
    EXPECT_EQ(h->Count(), 3u);
    EXPECT_TRUE(h->Clear());
    EXPECT_EQ(h->Count(), 0u);
}

TEST(HistoryTableTest, OldestRowsGoPastAHundred) {
    History h;
    h->OpenIfNeeded(nullptr);
    for (uint32_t i = 0; i < 101; ++i) ASSERT_TRUE(h->AddEntry(S("bk"), 0, i));
    EXPECT_EQ(h->Count(), 100u);
    String book;
    uint32_t t = 0, e = 0;
    ASSERT_TRUE(h->GetRow(0, book, t, e));
    EXPECT_EQ(e, 1u);
    ASSERT_TRUE(h->GetRow(99, book, t, e));
    EXPECT_EQ(e, 100u);
}

struct FakeBooks : HistoryTable::Resolver {
    int released = 0;
    bool Headword(const String&, uint32_t, uint32_t entry, String& out) override {
        if (entry == 0) return false;
        out = S(("head" + std::to_string(entry)).c_str());
        return true;
    }
    bool ShortId(const String&, String& out) override {
        out = S("BK");
        return true;
    }
    bool LinkText(const String& book, uint32_t t, uint32_t e, String& out) override {
        out = S((A(book) + "##-pos7-tableid" + std::to_string(t) + "-entry" + std::to_string(e))
                    .c_str());
        return true;
    }
    void ReleaseCursors() override { ++released; }
};

TEST(HistoryTableTest, RowTextsThroughTheBookSide) {
    History h;
    h->OpenIfNeeded(nullptr);
    h->AddEntry(S("\\b.prc"), 3, 0);
    h->AddEntry(S("\\b.prc"), 3, 5);
    String s;
    EXPECT_TRUE(h->GetDisplayText(RecordPosition::At(1), s));
    EXPECT_EQ(A(s), "\\b.prc");  // no book side: the book text
    EXPECT_FALSE(h->GetShortId(RecordPosition::At(1), s));
    FakeBooks books;
    h->SetResolver(&books);
    EXPECT_TRUE(h->GetDisplayText(RecordPosition::At(1), s));
    EXPECT_EQ(A(s), "head5");
    EXPECT_TRUE(h->GetDisplayText(RecordPosition::At(0), s));
    EXPECT_EQ(A(s), "\\b.prc");  // headword missing: the book text
    EXPECT_TRUE(h->GetShortId(RecordPosition::At(1), s));
    EXPECT_EQ(A(s), "BK");
    EXPECT_TRUE(h->GetFieldText(1, 2, s));
    EXPECT_EQ(A(s), "\\b.prc##-pos7-tableid3-entry5");
    EXPECT_FALSE(h->GetDisplayText(RecordPosition::At(2), s));
    h->ReleaseCursors();
    EXPECT_EQ(books.released, 1);
}

TEST(HistoryTableTest, SharedDatabaseIsSavedAndReloaded) {
    fvt::test::TempDevice device;
    ASSERT_TRUE(device.ok());
    {
        FolderDatabaseOpener opener("");
        History a, b;
        a->OpenIfNeeded(&opener);
        b->OpenIfNeeded(&opener);
        EXPECT_EQ(a->GetDatabase(), b->GetDatabase());  // one object per file
        a->AddEntry(S("x"), 1, 1);
        EXPECT_EQ(b->Count(), 1u);
        EXPECT_TRUE(a->Save());
    }
    EXPECT_TRUE(device.HostExists("folivant_history.ebase"));
    FolderDatabaseOpener opener("");
    History c;
    c->OpenIfNeeded(&opener);
    EXPECT_EQ(c.Rows(), "x:1:1");
}

TEST(HistoryTableTest, ATableWithOtherColumnTypesIsLeftAlone) {
    Database* db = new Database();
    DbTable* t = db->TableAt(db->CreateTable(S("folivant_history")));
    t->AddColumn(S("ent"), DbTable::kText);
    struct One : DatabaseOpener {
        Database* db;
        Database* OpenDatabase(const String&) override {
            db->AddRef();
            return db;
        }
    } opener;
    opener.db = db;
    History h;
    EXPECT_EQ(h->OpenIfNeeded(&opener), nullptr);
    EXPECT_FALSE(h->AddEntry(S("b"), 0, 0));
    EXPECT_EQ(t->RowCount(), 0);
    db->Release();
}

TEST(CartTest, AddRemoveClearAndBounds) {
    Cart cart(S("drugs"));
    EXPECT_TRUE(Cart::AddItem(&cart, S("aspirin"), String()));
    EXPECT_TRUE(Cart::AddItem(&cart, S("id2"), S("Ibuprofen 200")));
    EXPECT_FALSE(Cart::AddItem(&cart, String(), S("x")));
    EXPECT_EQ(A(cart.ItemText(0)), "aspirin");  // no text: the id
    EXPECT_EQ(A(cart.ItemText(1)), "Ibuprofen 200");
    EXPECT_FALSE(Cart::RemoveItem(&cart, 2));
    EXPECT_FALSE(Cart::RemoveItem(&cart, -1));
    EXPECT_EQ(cart.Count(), 2);
    EXPECT_TRUE(Cart::RemoveItem(&cart, 0));
    EXPECT_EQ(A(cart.IdAt(0)), "id2");
    Cart::Clear(&cart);
    EXPECT_EQ(cart.Count(), 0);
    for (int i = 0; i < Cart::kMaxItems; ++i) ASSERT_TRUE(Cart::AddItem(&cart, S("i"), String()));
    EXPECT_FALSE(Cart::AddItem(&cart, S("one more"), String()));
    EXPECT_EQ(cart.Count(), Cart::kMaxItems);
}

TEST(CartTest, XmlEscapesAndIsUtf8) {
    Cart cart(S("a&b"));
    Cart::AddItem(&cart, S("<x>"), String(u"caf\u00e9 \"1\" 'q'"));
    std::string xml;
    ASSERT_TRUE(Cart::ToXml(cart, xml));
    EXPECT_EQ(xml,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
              "<cart name=\"a&amp;b\" count=\"1\">\r\n"
              "  <item index=\"0\" id=\"&lt;x&gt;\">caf\xC3\xA9 &quot;1&quot; &apos;q&apos;"
              "</item>\r\n</cart>\r\n");
}

TEST(CartTest, WriteXmlReplacesTheFile) {
    fvt::test::TempDevice device;
    ASSERT_TRUE(device.ok());
    Cart cart(S("c"));
    Cart::AddItem(&cart, S("one"), String());
    ASSERT_TRUE(Cart::WriteXml(&cart, S("\\cart.xml")));
    Cart::AddItem(&cart, S("two"), String());
    ASSERT_TRUE(Cart::WriteXml(&cart, S("\\cart.xml")));
    std::string text = device.ReadHost("cart.xml");
    EXPECT_NE(text.find("count=\"2\""), std::string::npos);
    EXPECT_FALSE(Cart::WriteXml(&cart, S("\\missing\\folder\\cart.xml")));
}

// Exporting an unchanged cart again writes nothing; a file that differs from the cart by a
// byte, in length, or that is missing, is written.
TEST(CartTest, WriteXmlLeavesAFileThatHoldsTheCartAlone) {
    fvt::test::TempDevice device;
    ASSERT_TRUE(device.ok());
    Cart cart(S("c"));
    Cart::AddItem(&cart, S("one"), S("One"));
    ASSERT_TRUE(Cart::WriteXml(&cart, S("\\cart.xml")));
    const std::string written = device.ReadHost("cart.xml");
    const auto stamp = std::filesystem::last_write_time(device.Host("cart.xml"));
    const long long writes = DatabaseFile::ReplaceCountForTesting();
    ASSERT_TRUE(Cart::WriteXml(&cart, S("\\cart.xml")));
    EXPECT_EQ(DatabaseFile::ReplaceCountForTesting(), writes);
    EXPECT_EQ(std::filesystem::last_write_time(device.Host("cart.xml")), stamp);

    std::string edited = written;
    edited[edited.size() / 2] ^= 1;
    for (const std::string& other : {edited, written + " ", written.substr(1), std::string()}) {
        device.WriteHost("cart.xml", other);
        ASSERT_TRUE(Cart::WriteXml(&cart, S("\\cart.xml")));
        EXPECT_EQ(device.ReadHost("cart.xml"), written);
    }
    std::filesystem::remove(device.Host("cart.xml"));
    ASSERT_TRUE(Cart::WriteXml(&cart, S("\\cart.xml")));
    EXPECT_EQ(device.ReadHost("cart.xml"), written);
    EXPECT_EQ(DatabaseFile::ReplaceCountForTesting(), writes + 5);
}

}  // namespace
