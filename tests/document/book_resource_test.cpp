// The book resource: table designations, record and object handles, object targets, audio
// records and the layout it makes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "bookfiles/book_document.h"
#include "bookfiles/palm_database.h"
#include "document/markup/html_tokenizer.h"
#include "document/markup/keyword_tree.h"
#include "document/markup/plain_text_token_source.h"
#include "document/sources/book_page_layout.h"
#include "document/sources/book_resource.h"
#include "document/sources/index_table_data_handle.h"
#include "document/sources/layout_services.h"
#include "media/audio/audio_source.h"
#include "support/bookfiles/book_builder.h"
#include "support/bookfiles/index_fixture.h"

namespace {

BookTargetSpec Object(const char* name, int32_t first, int32_t end) {
    BookTargetSpec t;
    t.kind = BookDocument::kTargetObject;
    t.name = name;
    t.position = first;
    t.numbers[0] = end;
    t.numbers[1] = 7;   // flag
    t.numbers[2] = 40;  // kind
    t.numbers[3] = 9;
    return t;
}

// Data records 1 "OggS" sound, 2 three bytes, 3 "OggT", 4 and 5 an object's two records, 6
// empty, 7 "-tail";
// tables "words" (default), "inflections" and "names" by header field.
struct ResourceBook {
    explicit ResourceBook(std::string text = "<html><body>book</body></html>", uint32_t type = 1) {
        uint32_t ids[3] = {};
        Build(text, type, ids);
        Build(text, type, ids);
        int error = 0;
        PalmDatabase* db = PalmDatabase::LoadInMemory(bytes.data(), bytes.size(), &error);
        EXPECT_EQ(BookResource::Create(db, 1252, 65002, resource), 0);
    }
    ~ResourceBook() {
        if (!resource) return;
        EXPECT_EQ(resource->HandleCount(), 0u);
        EXPECT_EQ(resource->RefCount(), 1u);
        resource->Release();
    }
    void Build(const std::string& text, uint32_t type, uint32_t ids[3]) {
        BookBuilder b;
        b.text = ToBytes(text);
        b.type = type;
        b.tables[0] = ids[0];
        b.tables[5] = ids[1];
        b.tables[6] = ids[2];
        b.resources = {ToBytes("OggS-sound"), ToBytes("abc"), ToBytes("OggT"), ToBytes("first-"),
                       ToBytes("second"), Bytes(), ToBytes("-tail")};
        b.targets = {Object("media/a b.ogg", 3, 5), Object("empty", 4, 4),
                     Object("past", 4, 99), Object("one", 1, 2), Object("gap", 4, 7)};
        PdbBuilder pdb = b.BuildDatabase();
        IndexWriter w;
        w.name = "words";
        w.Add(u"apple", {});
        w.Add(u"bank", {});
        EXPECT_TRUE(AddIndexTable(w, &pdb, &ids[0]));
        IndexWriter infl;
        infl.name = "inflections";
        infl.Add(u"apples", {});
        EXPECT_TRUE(AddIndexTable(infl, &pdb, &ids[1]));
        IndexWriter n;
        n.name = "names";
        n.Add(u"Apple", {});
        EXPECT_TRUE(AddIndexTable(n, &pdb, &ids[2]));
        bytes = pdb.Build();
    }
    DataHandle* Open(const char16_t* designation) {
        return resource->OpenDataByName(String(designation), nullptr);
    }
    Bytes bytes;
    BookResource* resource = nullptr;
};

std::string Bytes4(DataHandle* h, uint32_t offset, uint32_t count) {
    std::string out(count, '\0');
    uint32_t got = 0;
    if (!h->Read(offset, out.data(), count, got)) return "?";
    out.resize(got);
    return out;
}

uint32_t TableEntries(DataHandle* h) {
    auto* t = dynamic_cast<IndexTableDataHandle*>(h);
    return t ? t->Table().GetEntryCount() : 0;
}

TEST(BookDesignations, PrefixesOpenTheirTables) {
    ResourceBook book;
    DataHandle* byName = book.Open(u"table=words");
    ASSERT_NE(byName, nullptr);
    EXPECT_EQ(byName->GetHandleKind(), 257u);
    EXPECT_EQ(TableEntries(byName), 2u);
    DataHandle* byNumber = book.Open(u"tableid=0");
    DataHandle* naming = book.Open(u"special_table=naming");
    DataHandle* inflex = book.Open(u"special_table=inflex");
    DataHandle* deflt = book.Open(u"special_table=default");
    ASSERT_NE(naming, nullptr);
    ASSERT_NE(inflex, nullptr);
    ASSERT_NE(deflt, nullptr);
    EXPECT_EQ(TableEntries(naming), 1u);
    EXPECT_EQ(TableEntries(deflt), 2u);
    // The default table comes linked to the book's inflections.
    EXPECT_NE(deflt->GetIndexTables()->FindInflectionTable(), nullptr);
    for (DataHandle* h : {byName, byNumber, naming, inflex, deflt})
        if (h) h->Release();
}

TEST(BookDesignations, BadValuesGiveNothing) {
    ResourceBook book;
    for (const char16_t* bad : {u"tableid=7x", u"tableid=", u"tableid=-1", u"table=nosuch",
                                u"special_table=bogus", u"special_table=Naming",
                                u"special_table=lookup_key", u"special_table=forms",
                                u"key_table", u"key_tablewords", u"nonsense", u"", u"eo=nosuch"})
        EXPECT_EQ(book.Open(bad), nullptr) << std::u16string(bad).size();
}

TEST(BookDesignations, AskingAgainGivesTheSameHandle) {
    ResourceBook book;
    DataHandle* first = book.Open(u"special_table=naming");
    ASSERT_NE(first, nullptr);
    DataHandle* second = book.Open(u"special_table=naming");
    EXPECT_EQ(second, first);
    EXPECT_EQ(first->RefCount(), 2u);
    EXPECT_EQ(book.resource->HandleCount(), 1u);
    // Another designation of the same table is a handle of its own.
    DataHandle* other = book.Open(u"tableid=2");
    EXPECT_NE(other, first);
    first->Release();
    second->Release();
    if (other) other->Release();
}

TEST(BookDesignations, HandlesKeepTheBookAlive) {
    ResourceBook book;
    DataHandle* h = book.Open(u"table=words");
    ASSERT_NE(h, nullptr);
    BookResource* r = book.resource;
    book.resource = nullptr;
    r->Release();
    EXPECT_EQ(TableEntries(h), 2u);
    h->Release();  // takes the book with it
}

TEST(BookRecords, IndexesCountFromTheBooksFirstDataRecord) {
    ResourceBook book;
    EXPECT_EQ(book.resource->OpenDataByIndex(0, nullptr), nullptr);
    EXPECT_EQ(book.resource->OpenDataByIndex(-1, nullptr), nullptr);
    EXPECT_EQ(book.resource->OpenDataByIndex(1000, nullptr), nullptr);
    DataHandle* sound = book.resource->OpenDataByIndex(1, nullptr);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(Bytes4(sound, 0, 10), "OggS-sound");
    DataHandle* again = book.resource->OpenDataByIndex(1, nullptr);
    EXPECT_EQ(again, sound);
    // An anonymous record handle is never found by an empty designation.
    EXPECT_EQ(book.resource->OpenDataByName(String(), nullptr), nullptr);
    sound->Release();
    again->Release();
}

TEST(BookObjects, TargetsGiveKindFlagAndRange) {
    ResourceBook book;
    uint32_t five[5] = {};
    // Cut at '?', decoded, '\' turned into '/'.
    ASSERT_TRUE(book.resource->FindTarget(String(u"media%5Ca%20b.ogg?x=1"), five));
    EXPECT_EQ(five[0], 40u);
    EXPECT_EQ(five[1], 7u);
    EXPECT_EQ(five[2], 3u);
    EXPECT_EQ(five[3], 5u);
    EXPECT_EQ(five[4], 9u);
    EXPECT_FALSE(book.resource->FindTarget(String(u"media/other.ogg"), five));
    EXPECT_FALSE(book.resource->FindTarget(String(u"bad%zz"), five));
}

TEST(BookObjects, EoHandlesCoverTheObjectsRecords) {
    ResourceBook book;
    DataHandle* run = book.Open(u"eo=media/a b.ogg");
    ASSERT_NE(run, nullptr);
    EXPECT_EQ(run->GetSize(), 12u);
    EXPECT_EQ(Bytes4(run, 0, 12), "first-second");
    EXPECT_EQ(Bytes4(run, 4, 5), "t-sec");
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    ASSERT_TRUE(run->GetData(data, length));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), length), "first-second");
    // Found again by its designation, never by the index of one of its records.
    DataHandle* same = book.Open(u"eo=media/a b.ogg");
    EXPECT_EQ(same, run);
    DataHandle* single = book.resource->OpenDataByIndex(4, nullptr);
    ASSERT_NE(single, nullptr);
    EXPECT_NE(single, run);
    EXPECT_EQ(single->GetSize(), 6u);
    single->Release();
    same->Release();
    run->Release();
    // An empty record inside the run is stepped over.
    DataHandle* gap = book.Open(u"eo=gap");
    ASSERT_NE(gap, nullptr);
    EXPECT_EQ(Bytes4(gap, 0, 20), "second-tail");
    EXPECT_EQ(Bytes4(gap, 6, 3), "-ta");
    gap->Release();
    DataHandle* one = book.Open(u"eo=one");
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(Bytes4(one, 0, 20), "abc");
    one->Release();
}

TEST(BookObjects, RangesFromTheBookAreChecked) {
    ResourceBook book;
    EXPECT_EQ(book.Open(u"eo=empty"), nullptr);
    EXPECT_EQ(book.Open(u"eo=past"), nullptr);
}

TEST(BookAudio, OnlyOggRecordsBecomeSources) {
    ResourceBook book;
    AudioSource* source = nullptr;
    EXPECT_TRUE(BookResource::OpenAudio(book.resource->OpenDataByIndex(1, nullptr), source));
    ASSERT_NE(source, nullptr);
    AudioSource* first = source;
    EXPECT_FALSE(BookResource::OpenAudio(book.resource->OpenDataByIndex(2, nullptr), source));
    EXPECT_FALSE(BookResource::OpenAudio(book.resource->OpenDataByIndex(3, nullptr), source));
    EXPECT_EQ(source, first);
    // A new sound replaces the old one.
    EXPECT_TRUE(BookResource::OpenAudio(book.resource->OpenDataByIndex(1, nullptr), source));
    EXPECT_NE(source, nullptr);
    source->Release();
    EXPECT_FALSE(BookResource::OpenAudio(nullptr, source));
}

class OptionFactory : public LayoutEngineFactory {
public:
    PageLayout* CreatePageLayout(BookLayoutTraits* traits) override {
        delete traits;
        log += "layout;";
        return reinterpret_cast<PageLayout*>(&layout);
    }
    void SetSource(PageLayout*, TokenSource* s) override {
        source = s;
        log += "source;";
    }
    void SetPlainTextOption(PageLayout*, bool on) override { log += on ? "on;" : "off;"; }
    void DestroyPageLayout(PageLayout*) override { log += "destroy;"; }
    Searcher* CreateSearcher(DocumentSource*, bool) override { return nullptr; }
    std::string log;
    TokenSource* source = nullptr;
    int layout = 0;
};

std::string LayoutLog(const std::string& text, uint32_t type, bool* html = nullptr) {
    OptionFactory factory;
    LayoutEngineFactory::Install(&factory);
    ResourceBook book(text, type);
    TokenSource* ts = nullptr;
    PageLayout* layout = nullptr;
    EXPECT_TRUE(book.resource->CreateLayout(ts, &layout));
    if (html) *html = dynamic_cast<HtmlTokenizer*>(ts) != nullptr;
    EXPECT_EQ(factory.source, ts);
    book.resource->DestroyLayout(ts, layout);
    LayoutEngineFactory::Install(nullptr);
    return factory.log;
}

TEST(BookLayouts, TokenSourceAndDisplayOptionFollowTheBook) {
    bool html = false;
    EXPECT_EQ(LayoutLog("<html><body>x</body></html>", 1, &html), "layout;source;destroy;");
    EXPECT_TRUE(html);
    EXPECT_EQ(LayoutLog("just words", 1, &html), "layout;off;source;destroy;");
    EXPECT_FALSE(html);
    // The reader's own book types, both ends of the range.
    EXPECT_EQ(LayoutLog("<html>x</html>", 767), "layout;source;destroy;");
    EXPECT_EQ(LayoutLog("<html>x</html>", 768), "layout;off;source;destroy;");
    EXPECT_EQ(LayoutLog("<html>x</html>", 1023), "layout;off;source;destroy;");
    EXPECT_EQ(LayoutLog("<html>x</html>", 1024), "layout;source;destroy;");
}

TEST(BookLayouts, NoEngineMeansNoLayoutButATokenSource) {
    ResourceBook book;
    TokenSource* ts = nullptr;
    PageLayout* layout = reinterpret_cast<PageLayout*>(&book);
    EXPECT_FALSE(book.resource->CreateLayout(ts, &layout));
    EXPECT_EQ(ts, nullptr);
    EXPECT_EQ(layout, nullptr);
    ASSERT_TRUE(book.resource->CreateLayout(ts, nullptr));
    ASSERT_NE(ts, nullptr);
    book.resource->DestroyLayout(ts, nullptr);
}

TEST(BookCreate, ErrorsAreTheBooks) {
    BookResource* r = reinterpret_cast<BookResource*>(1);
    EXPECT_EQ(BookResource::Create(nullptr, 1252, 65002, r), 11);
    EXPECT_EQ(r, nullptr);
    BookBuilder b;
    b.text = ToBytes("x");
    b.encryption = 2;
    Bytes bytes = b.Build();
    int error = 0;
    PalmDatabase* db = PalmDatabase::LoadInMemory(bytes.data(), bytes.size(), &error);
    EXPECT_EQ(BookResource::Create(db, 1252, 65002, r), 13);
    EXPECT_EQ(r, nullptr);
}

}  // namespace

namespace {

// The key the page layout gives the book's side file, for a book built from these bytes.
uint32_t LayoutKeyOf(const Bytes& bytes) {
    int error = 0;
    PalmDatabase* db = PalmDatabase::LoadInMemory(bytes.data(), bytes.size(), &error);
    if (!db) return 0;
    BookDocument book;
    if (book.Open(db, 1, 1252, 65002) != 0) return 0;
    BookPageLayoutTraits traits(&book);
    return traits.DocumentKey();
}

Bytes PalmDocBook(const std::string& text) {
    BookBuilder b;
    b.palmDoc = true;
    b.compression = 2;
    b.text = ToBytes(text);
    return b.Build();
}

// A PalmDOC book has no unique id: without a key of its own its saved reading position was
// refused on every opening.
TEST(BookKeys, APalmDocBookHasTheSameKeyOnEveryOpening) {
    Bytes bytes = PalmDocBook("A small garden grows behind the house.");
    uint32_t a = LayoutKeyOf(bytes), b = LayoutKeyOf(bytes);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, 0u);
    EXPECT_NE(a, 0xFFFFFFFFu);
    EXPECT_NE(a, 0xFFFFFFFEu);
    EXPECT_NE(LayoutKeyOf(PalmDocBook("Another text, longer than the garden's one.")), a);
}

TEST(BookKeys, AFolvBookKeepsItsUniqueId) {
    BookBuilder b;
    b.text = ToBytes("<html><body>book</body></html>");
    b.uniqueId = 0x0BADF00D;
    EXPECT_EQ(LayoutKeyOf(b.Build()), 0x0BADF00Du);
}

}  // namespace

namespace {

// A book over the given text, opened as the loader opens it.
struct KindBook {
    explicit KindBook(const std::string& text, uint32_t codePage = 1252) {
        BookBuilder b;
        b.text = ToBytes(text);
        b.codePage = codePage;
        b.compression = 2;
        bytes = b.Build();
        int error = 0;
        PalmDatabase* db = PalmDatabase::LoadInMemory(bytes.data(), bytes.size(), &error);
        open = db && book.Open(db, 1, 1252, 65002) == 0;
    }
    // The first tag read from position 0 with no bound: what the kind must follow.
    uint32_t KindFromTheStart() {
        HtmlTokenizer t(true);
        EXPECT_TRUE(t.Attach(&book, 0) && t.Start(0, false));
        for (;;) {
            uint32_t kind = t.NextToken();
            if (kind == kTokenEnd) return 1;
            if (kind == kTokenTag) {
                bool e, m;
                return t.GetTag(e, m) == kTagHtml ? 2 : 1;
            }
        }
    }
    Bytes bytes;
    BookDocument book;
    bool open = false;
};

std::string Words(std::size_t n) { return SampleText(n, 3); }

TEST(BookKind, TheFirstTagDecidesAsReadFromTheStart) {
    const std::string cases[] = {
        "<html><body>x</body></html>",
        "<HTML>x",
        "  \r\n<!-- a note --> <html>x",
        "<?xml version=\"1.0\"?><!DOCTYPE html><html>x",
        "<htmlx>x<html>",
        "<p>a</p><html>x",
        "<body><html>x",
        "</html><html>x",
        "a < b and c <html>x",
        "fish &amp; chips &lt;html&gt; <html>x",
        "<![CDATA[<p>]]><html>x",
        "no markup at all",
        "a < b, and nothing else",
        // The first '<' in the second text record, and a tag cut by the record end.
        Words(5000) + "<html>x",
        Words(4093) + "<html>x",
        Words(4096 * 3 - 1) + "<html>x",
        // Markup late in the book, a stray '<' before it.
        Words(40000) + "<html><body>late</body></html>",
        Words(20000) + " 3 < 4 " + Words(20000) + "<html>x",
        Words(30000) + "<!-- a <html> in a note --> <p>x",
    };
    for (const std::string& text : cases) {
        KindBook b(text);
        ASSERT_TRUE(b.open);
        EXPECT_EQ(b.book.GetKind(), b.KindFromTheStart()) << text.substr(0, 60);
        EXPECT_EQ(b.book.LivePageCount(), 0u);
    }
    EXPECT_EQ(KindBook(Words(40000) + "<html><body>late</body></html>").book.GetKind(), 2u);
    EXPECT_EQ(KindBook(Words(4093) + "<html>x").book.GetKind(), 2u);
    EXPECT_EQ(KindBook(Words(30000) + "<!-- a <html> in a note --> <p>x").book.GetKind(), 1u);
}

TEST(BookKind, MultiByteBooksAreSearchedByCharacters) {
    std::string text;
    for (int i = 0; i < 9000; ++i) text += "caf\xC3\xA9 ";
    KindBook b(text + "<html><body>x</body></html>", 65001);
    ASSERT_TRUE(b.open);
    EXPECT_EQ(b.book.GetKind(), 2u);
    EXPECT_EQ(KindBook(text + "3 < 4", 65001).book.GetKind(), 1u);
}

// Only the first 256 Ki positions are searched: a large text is not decoded to its end to learn
// that it has no markup.
TEST(BookKind, LargeTextBooksAreTextAndSearchedOnlySoFar) {
    EXPECT_EQ(KindBook(Words(2u << 20)).book.GetKind(), 1u);
    EXPECT_EQ(KindBook("x < y " + Words(2u << 20)).book.GetKind(), 1u);
    EXPECT_EQ(KindBook(Words((256u << 10) - 10) + "<html>x").book.GetKind(), 2u);
    EXPECT_EQ(KindBook(Words(256u << 10) + "<html>x").book.GetKind(), 1u);
    EXPECT_EQ(KindBook(Words(270000) + "<html>x").book.GetKind(), 1u);
    // A stray '<' early: the tokens after it are read only as far.
    EXPECT_EQ(KindBook("x < y " + Words(270000) + "<html>x").book.GetKind(), 1u);
}

}  // namespace
