// What lists and the history table read through the loader: entry records over a book and the
// book texts of history rows.
#include <gtest/gtest.h>

#include <string>

#include "bookfiles/document_source.h"
#include "database/resource.h"
#include "dictionary_book.h"
#include "document/location/location.h"
#include "document/sources/document_loader.h"
#include "document/sources/loader_adapters.h"
#include "support/platform/temp_device.h"

namespace {

String S(const char16_t* s) {
    return String(s);
}

std::u16string U(const String& s) {
    return std::u16string(s.Data(), s.Length());
}

struct LoaderLists : ::testing::Test {
    LoaderLists() {
        device.WriteHost("d/dict.prc", DictionaryBookBytes(&words));
        device.WriteHost("d/notes.htm", "<p>notes</p>");
    }
    Resource* OpenBook() {
        Location l;
        if (!l.Resolve(S(u"\\d\\dict.prc"), nullptr)) return nullptr;
        return loader.Open(l, nullptr, nullptr);
    }
    fvt::test::TempDevice device;
    DocumentLoader loader{9};
    uint32_t words = 0;
};

TEST_F(LoaderLists, EntryRecordsGiveTheBookTextAndTitlesOfNames) {
    Resource* book = OpenBook();
    ASSERT_NE(book, nullptr);
    {
        EntryRecords records(book, &loader);
        EXPECT_EQ(records.GetText(), book->GetDocument());
        // A name already cached: the cached resource itself, with its title.
        Resource* same = records.OpenResource(S(u"\\d\\dict.prc"));
        EXPECT_EQ(same, book);
        if (same) same->Release();
        String title;
        ASSERT_TRUE(records.GetTitle(S(u"\\d\\dict.prc"), title));
        EXPECT_EQ(U(title), u"Little Dictionary");
        // Opened from the name when not cached, and let go again.
        ASSERT_TRUE(records.GetTitle(S(u"\\d\\notes.htm"), title));
        EXPECT_EQ(U(title), u"notes.htm");
        EXPECT_EQ(loader.CachedCount(), 1u);
        // A missing one quietly gives nothing.
        EXPECT_FALSE(records.GetTitle(S(u"\\d\\missing.prc"), title));
        EXPECT_EQ(records.OpenResource(String()), nullptr);
    }
    // The records let go of their book reference.
    EXPECT_EQ(book->RefCount(), 1u);
    book->Release();
    EntryRecords none(nullptr, &loader);
    EXPECT_EQ(none.GetText(), nullptr);
}

TEST_F(LoaderLists, TablesOpenByTheDesignationOfTheAnchor) {
    DataHandle* table = loader.OpenString(S(u"\\d\\dict.prc$table=words"), nullptr);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->GetHandleKind(), 257u);
    DataHandle* naming = loader.OpenString(S(u"\\d\\dict.prc$special_table=naming"), nullptr);
    ASSERT_NE(naming, nullptr);
    EXPECT_NE(naming, table);
    // Both hold the one cached book.
    EXPECT_EQ(loader.CachedCount(), 1u);
    EXPECT_EQ(loader.OpenString(S(u"\\d\\dict.prc$special_table=bogus"), nullptr), nullptr);
    naming->Release();
    table->Release();
    EXPECT_EQ(loader.CachedCount(), 0u);
}

TEST_F(LoaderLists, HistoryRowsReadTheirBooksThroughTheLoader) {
    LoaderHistoryResolver resolver(&loader);
    String book = S(u"\\d\\dict.prc");
    String out;
    ASSERT_TRUE(resolver.Headword(book, words, 1, out));
    EXPECT_EQ(U(out), u"Bank (money)");
    ASSERT_TRUE(resolver.Headword(book, words, 0, out));
    EXPECT_EQ(U(out), u"apple");
    EXPECT_FALSE(resolver.Headword(book, words, 99, out));
    EXPECT_FALSE(resolver.Headword(book, words + 1000, 0, out));
    ASSERT_TRUE(resolver.ShortId(book, out));
    EXPECT_EQ(U(out), u"Lit");
    ASSERT_TRUE(resolver.LinkText(book, words, 1, out));
    std::u16string expected = u"\\d\\dict.prc##-pos20-tableid" +
                              std::u16string(U([&] {
                                  String n;
                                  n.AppendUnsigned(words, 10);
                                  return n;
                              }())) +
                              u"-entry1";
    EXPECT_EQ(U(out), expected);
    // Tag 22 leads on to the entry whose position counts.
    ASSERT_TRUE(resolver.LinkText(book, words, 2, out));
    EXPECT_NE(U(out).find(u"##-pos10-"), std::u16string::npos);
    // Rows of the book's default table, which has no number of its own, read that table.
    ASSERT_TRUE(resolver.Headword(book, HistoryTable::kDefaultTable, 1, out));
    EXPECT_EQ(U(out), u"Bank (money)");
    ASSERT_TRUE(resolver.LinkText(book, HistoryTable::kDefaultTable, 1, out));
    EXPECT_EQ(U(out), u"\\d\\dict.prc##-pos20-tableid65535-entry1");
    EXPECT_FALSE(resolver.LinkText(S(u"\\d\\missing.prc"), words, 0, out));
    EXPECT_TRUE(out.IsEmpty());
    // One book open for all the rows, until the cursors go.
    EXPECT_EQ(loader.CachedCount(), 1u);
    resolver.ReleaseCursors();
    EXPECT_EQ(loader.CachedCount(), 0u);
}

}  // namespace
