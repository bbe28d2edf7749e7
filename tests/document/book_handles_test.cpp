#include <gtest/gtest.h>

#include <memory>

#include "bookfiles/book_document.h"
#include "bookfiles/palm_database.h"
#include "document/sources/book_page_layout.h"
#include "document/sources/record_data_handle.h"
#include "support/bookfiles/book_builder.h"

namespace {

// A resource that only owns handles.
class BareResource : public Resource {
public:
    bool IsBinary() override { return true; }
    DataHandle* OpenDataByIndex(int32_t, const DbValue*) override { return nullptr; }
    DocumentSource* GetDocument() override { return nullptr; }
    bool CreateLayout(TokenSource*& s, PageLayout** l) override {
        s = nullptr;
        if (l) *l = nullptr;
        return false;
    }
    void DestroyLayout(TokenSource*, PageLayout*) override {}
    uint32_t GetKind() override { return 0; }
};

struct Book {
    explicit Book(BookBuilder& b) {
        bytes = b.Build();
        int error = 0;
        db = PalmDatabase::LoadInMemory(bytes.data(), bytes.size(), &error);
        EXPECT_NE(db, nullptr);
        EXPECT_EQ(doc.Open(db, 1, 1252, 65002), 0);
    }
    Bytes bytes;
    PalmDatabase* db = nullptr;
    BookDocument doc;
};

TEST(RecordHandles, ReadAndCompare) {
    BookBuilder b;
    b.text = ToBytes("<html><body>hello</body></html>");
    b.resources.push_back(ToBytes("OggS-sound"));
    Book book(b);
    BareResource* r = new BareResource();
    uint32_t rec = b.firstResource;
    auto* h = new RecordDataHandle(r, book.db, rec, 7, String(u"eo=x"));
    r->AddHandle(h);
    EXPECT_EQ(h->GetSize(), 10u);
    EXPECT_EQ(h->GetRecordType(), 7);
    EXPECT_EQ(h->CompareId(static_cast<int32_t>(rec)), 0);
    EXPECT_EQ(h->CompareId(static_cast<int32_t>(rec) + 1), -1);
    EXPECT_EQ(h->CompareId(0), 1);
    EXPECT_EQ(h->CompareName(String(u"eo=x")), 0);
    uint8_t buf[16];
    uint32_t got = 0;
    ASSERT_TRUE(h->Read(4, buf, 16, got));
    EXPECT_EQ(got, 6u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 6), "-sound");
    DataHandle* found = r->FindHandleByName(String(u"eo=x"));
    EXPECT_EQ(found, h);
    found->Release();
    EXPECT_EQ(r->FindHandleById(static_cast<int32_t>(rec) + 5), nullptr);
    // The handle holds its resource: it goes when the last of both is released.
    r->Release();
    EXPECT_EQ(h->Owner(), r);
    h->Release();

    // A record index past the database reads nothing.
    BareResource* r2 = new BareResource();
    RecordDataHandle bad(r2, book.db, 9999, 0, String());
    const uint8_t* data;
    uint32_t length;
    EXPECT_FALSE(bad.GetData(data, length));
    EXPECT_FALSE(bad.Read(0, buf, 1, got));
    r2->Release();
}

TEST(BookLayoutTraits, SourceFlagAndDocumentKey) {
    BookBuilder b;
    b.text = ToBytes("<html><body>" + SampleText(9000) + "</body></html>");
    b.uniqueId = 4242;
    Book book(b);
    BookPageLayoutTraits traits(&book.doc);
    EXPECT_EQ(traits.DocumentKey(), 4242u);
    EXPECT_EQ(traits.SourceFlag(), book.doc.GetBookKind() != 1);

    BookBuilder one;
    one.text = ToBytes("short");
    Book small(one);
    BookPageLayoutTraits t2(&small.doc);
    EXPECT_FALSE(t2.SourceFlag());  // a single text record
}

}  // namespace
