#include <gtest/gtest.h>

#include "bookfiles/book_document.h"
#include "bookfiles/palm_database.h"
#include "document/sources/data_handles.h"
#include "document/sources/index_table_data_handle.h"
#include "support/bookfiles/book_builder.h"
#include "support/bookfiles/index_fixture.h"
#include "support/document/counting_book.h"

namespace {

// Header field 2 names a table of entries 0 alpha, 1 beta, 2 delta, 3 gamma whose tags 6 and 7
// number other entries, two of them past the table. Damaged: field 2 names a record that is no
// table.
struct EntryBook {
    explicit EntryBook(bool damaged = false) {
        BookBuilder b;
        b.text = ToBytes("<html><body>entries</body></html>");
        b.tables[2] = damaged ? 0 : static_cast<uint32_t>(b.BuildDatabase().records.size());
        PdbBuilder pdb = b.BuildDatabase();
        IndexWriter w;
        w.name = "entries";
        w.Add(u"alpha", {{7, {2}}});
        w.Add(u"beta", {{6, {0}}, {7, {99}}});
        w.Add(u"delta", {{6, {3}}});
        w.Add(u"gamma", {{6, {50}}});
        EXPECT_TRUE(AddIndexTable(w, &pdb, &table));
        bytes = pdb.Build();
        int error = 0;
        PalmDatabase* db = PalmDatabase::LoadInMemory(bytes.data(), bytes.size(), &error);
        EXPECT_EQ(resource->Book().Open(db, 1, 1252, 65002), 0);
    }
    ~EntryBook() {
        // Every handle the queries opened has gone again.
        EXPECT_EQ(resource->HandleCount(), 0u);
        EXPECT_EQ(resource->RefCount(), 1u);
        resource->Release();
    }
    Bytes bytes;
    uint32_t table = 0;
    fixtures::CountingBook* resource = new fixtures::CountingBook();
};

std::u16string Text(const String& s) {
    return std::u16string(s.Data(), s.Length());
}

TEST(IndexTableHandles, CarryTheTableAndNoBytes) {
    EntryBook book;
    uint32_t id = 0;
    DataHandle* handle = book.resource->OpenHeaderTable(2, &id);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(id, book.table);
    EXPECT_EQ(handle->GetHandleKind(), 257u);
    uint8_t buffer[4];
    uint32_t got = 7, length = 9;
    const uint8_t* data = buffer;
    EXPECT_FALSE(handle->Read(0, buffer, 4, got));
    EXPECT_FALSE(handle->GetData(data, length));
    EXPECT_TRUE(data == nullptr && length == 0 && got == 0);

    // Found by the designation it was opened by, never by an id; an unnamed handle (opened by
    // header field) answers no name, not even the table's own.
    EXPECT_EQ(book.resource->FindHandleById(static_cast<int32_t>(book.table)), nullptr);
    EXPECT_EQ(book.resource->FindHandleByName(String(u"other")), nullptr);
    EXPECT_EQ(book.resource->FindHandleByName(String(u"entries")), nullptr);
    EXPECT_EQ(book.resource->FindHandleByName(String()), nullptr);
    DataHandle* named = book.resource->OpenDataByName(String(u"table=entries"), nullptr);
    ASSERT_NE(named, nullptr);
    IndexTableDataHandle* table =
        IndexTableDataHandle::From(book.resource->FindHandleByName(String(u"table=entries")));
    ASSERT_EQ(table, named);
    EXPECT_EQ(table->Table().GetEntryCount(), 4u);
    table->Release();
    named->Release();
    handle->Release();

    // Another handle is no table, and the caller's reference still goes.
    static const uint8_t bytes[3] = {1, 2, 3};
    EXPECT_EQ(IndexTableDataHandle::From(new MemoryDataHandle(book.resource, bytes, 3)), nullptr);
}

TEST(EntryQueries, KeyAndLinkedKey) {
    EntryBook book;
    String key, linked(u"stale");
    ASSERT_TRUE(GetEntryKeyAndLink(*book.resource, key, linked, 0));
    EXPECT_EQ(Text(key) + u"/" + Text(linked), u"alpha/delta");
    // Without tag 7, or with one past the table, the linked text is empty.
    ASSERT_TRUE(GetEntryKeyAndLink(*book.resource, key, linked, 3));
    EXPECT_EQ(Text(key) + u"/" + Text(linked), u"gamma/");
    linked = String(u"stale");
    ASSERT_TRUE(GetEntryKeyAndLink(*book.resource, key, linked, 1));
    EXPECT_EQ(Text(key) + u"/" + Text(linked), u"beta/");

    // Entries outside the table are refused and change nothing.
    key = String(u"kept");
    for (int32_t entry : {-1, 4, 0x7FFFFFFF})
        EXPECT_FALSE(GetEntryKeyAndLink(*book.resource, key, linked, entry)) << entry;
    EXPECT_EQ(Text(key), u"kept");
}

TEST(EntryQueries, Tag6TextByKeyAndByNumber) {
    EntryBook book;
    String out;
    const String beta(u"beta"), missing(u"omega"), empty;
    ASSERT_TRUE(GetEntryTag6Text(*book.resource, out, &beta, 99));
    EXPECT_EQ(Text(out), u"alpha");
    ASSERT_TRUE(GetEntryTag6Text(*book.resource, out, nullptr, 2));
    EXPECT_EQ(Text(out), u"gamma");

    out = String(u"kept");
    EXPECT_FALSE(GetEntryTag6Text(*book.resource, out, &missing, 0));
    EXPECT_FALSE(GetEntryTag6Text(*book.resource, out, &empty, 0));
    // alpha has no tag 6; gamma's numbers an entry past the table.
    for (int32_t entry : {0, 3, -1, 4})
        EXPECT_FALSE(GetEntryTag6Text(*book.resource, out, nullptr, entry)) << entry;
    EXPECT_EQ(Text(out), u"kept");
}

TEST(EntryQueries, NoUsableTableAnswersFalse) {
    EntryBook damaged(true);
    String key, linked, out;
    EXPECT_FALSE(GetEntryKeyAndLink(*damaged.resource, key, linked, 0));
    EXPECT_FALSE(GetEntryTag6Text(*damaged.resource, out, nullptr, 0));
}

}  // namespace
