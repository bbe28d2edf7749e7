// The book document: opening, text in every compression and code page, pages, metadata,
// targets, data records, index tables and frame sets, and damaged books.
#include <gtest/gtest.h>

#include <memory>

#include "bookfiles/book_document.h"
#include "bookfiles/book_error.h"
#include "bookfiles/book_header.h"
#include "bookfiles/palm_database.h"
#include "core/charset.h"
#include "support/bookfiles/book_builder.h"
#include "support/platform/temp_device.h"

namespace {

// A book over bytes the fixture keeps.
struct OpenBook {
    Bytes file;
    std::unique_ptr<PalmDatabase> db;
    BookDocument book;
    int error = -1;

    explicit OpenBook(Bytes bytes, std::uint32_t codePage = 1252) : file(std::move(bytes)) {
        int dbError = 0;
        db.reset(PalmDatabase::OpenView(file.data(), file.size(), &dbError));
        error = db ? book.Open(db.get(), 0, codePage, 65002) : dbError;
    }
    std::u16string Text() {
        std::u16string all;
        for (std::uint32_t p = 0; p < book.GetLength();) {
            PageBuffer page;
            if (!book.ReadPage(p, page, 0, 0)) break;
            EXPECT_EQ(page.start, p);
            all.append(page.text, page.length);
            p = page.start + page.spanLength;
            book.ReleasePage(page.pageId);
        }
        return all;
    }
};

std::u16string Widen(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

std::u16string FromUtf8(const std::string& s) {
    std::u16string out(s.size() + 4, u'\0');
    std::int32_t n = Utf8::DecodeToUtf16(reinterpret_cast<const std::uint8_t*>(s.data()), s.size(),
                                         out.data(), out.size());
    out.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
    return out;
}

// UTF-8 text whose multi-byte characters straddle record ends.
std::string Utf8Sample(std::size_t approx) {
    std::string s;
    const char* pieces[] = {"caf\xC3\xA9 ", "na\xC3\xAFve ", "\xE2\x82\xAC\x35 ",
                            "\xF0\x9F\x93\x96 ", "plain "};
    for (int i = 0; s.size() < approx; ++i) s += pieces[i % 5];
    return s;
}

struct Variant {
    std::uint32_t compression;
    std::uint32_t codePage;
    std::uint32_t trailing;
};

class BookTextTest : public ::testing::TestWithParam<Variant> {};

TEST_P(BookTextTest, DecodesExactlyTheText) {
    Variant v = GetParam();
    BookBuilder b;
    b.compression = v.compression;
    b.codePage = v.codePage;
    b.trailingFlags = v.trailing;
    b.dictionary = {"the", "reader", "caf\xC3\xA9", "the reader"};
    b.nestDictionary = true;
    std::u16string expected;
    if (v.codePage == 65001) {
        std::string s = Utf8Sample(13000);
        b.text = ToBytes(s);
        expected = FromUtf8(s);
    } else if (v.codePage == 65002) {
        std::u16string s = Widen(SampleText(5000)) + u"\u00E9\u20AC" + Widen(SampleText(3000, 3));
        b.text = Utf16Le(s);
        expected = s;
    } else {
        std::string s = SampleText(10000) + "\x80\x93\xE9";
        b.text = ToBytes(s);
        expected = Widen(SampleText(10000)) + u"\u20AC\u201C\u00E9";
    }
    OpenBook ob(b.Build());
    ASSERT_EQ(ob.error, 0);
    EXPECT_EQ(ob.Text(), expected);
    EXPECT_EQ(ob.book.LivePageCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(EveryCompressionAndCodePage, BookTextTest,
                         ::testing::Values(Variant{1, 1252, 0}, Variant{2, 1252, 0},
                                           Variant{3, 1252, 0}, Variant{1, 65001, 1},
                                           Variant{2, 65001, 1}, Variant{3, 65001, 1},
                                           Variant{2, 65001, 0}, Variant{2, 65001, 0b10111},
                                           Variant{3, 1252, 0b1100}, Variant{1, 65002, 0},
                                           Variant{2, 65002, 0}, Variant{3, 65002, 0},
                                           Variant{1, 65002, 1}));

TEST(BookDocument, OpenErrorsMapToTheirCodes) {
    BookDocument book;
    EXPECT_EQ(book.Open(nullptr, 0, 1252, 65002), kBookNotFound);

    auto errorOf = [](BookBuilder b) { return OpenBook(b.Build()).error; };
    BookBuilder base;
    base.text = ToBytes(SampleText(5000));
    EXPECT_EQ(errorOf(base), 0);

    BookBuilder compressed = base;
    compressed.compression = 4;
    EXPECT_EQ(errorOf(compressed), kBookNewerReader);
    BookBuilder encrypted = base;
    encrypted.encryption = 2;
    EXPECT_EQ(errorOf(encrypted), kBookNewerReader);
    BookBuilder newer = base;
    newer.minimumVersion = 2;
    EXPECT_EQ(errorOf(newer), kBookNewerReader);
    // Numbers no header of any version holds are damage, not a newer book.
    BookBuilder garbled = base;
    garbled.compression = 0x9C41;
    EXPECT_EQ(errorOf(garbled), kBookCorrupt);
    garbled = base;
    garbled.encryption = 0xE3A7;
    EXPECT_EQ(errorOf(garbled), kBookCorrupt);
    garbled = base;
    garbled.minimumVersion = 0x5D1C0000;
    EXPECT_EQ(errorOf(garbled), kBookCorrupt);
    // A newer book whose header does not add up is damaged too.
    garbled = newer;
    garbled.compression = 0;
    EXPECT_EQ(errorOf(garbled), kBookCorrupt);
    BookBuilder oldVersion = base;
    oldVersion.version = 1;
    EXPECT_EQ(errorOf(oldVersion), kBookBadVersion);

    // A record size other than 4096 bytes.
    Bytes file = base.Build();
    std::uint32_t r0 = BigEndian::U32(file.data() + 78);
    Bytes size = file;
    SetU16(size, r0 + 10, 2048);
    EXPECT_EQ(OpenBook(size).error, kBookRecordSize);
    // More text records than the file holds.
    Bytes count = file;
    SetU16(count, r0 + 8, 40);
    EXPECT_EQ(OpenBook(count).error, kBookCorrupt);
    // A text length that the records cannot hold.
    Bytes length = file;
    SetU32(length, r0 + 4, 3 * 4096);
    EXPECT_EQ(OpenBook(length).error, kBookCorrupt);

    PdbBuilder other;
    other.type = "DUMP";
    other.Add(Bytes(100, 0));
    EXPECT_EQ(OpenBook(other.Build()).error, kBookBadVersion);
    PdbBuilder empty;
    EXPECT_EQ(OpenBook(empty.Build()).error, kBookCannotOpen);
}

TEST(BookDocument, AnswersItsHeader) {
    BookBuilder b;
    b.text = ToBytes(SampleText(100));
    b.uniqueId = 0xCAFE0042;
    b.type = 770;
    b.locale = 0x0409;
    b.inputLanguage = 9;
    b.outputLanguage = 12;
    b.flags = 8;
    OpenBook ob(b.Build());
    ASSERT_EQ(ob.error, 0);
    EXPECT_EQ(ob.book.GetOption(), 0xCAFE0042u);
    EXPECT_EQ(ob.book.GetBookKind(), 6);
    EXPECT_EQ(ob.book.GetDocumentType(), 770);
    EXPECT_EQ(ob.book.GetLanguage(), 0x0409u);
    EXPECT_EQ(ob.book.GetRecordCount(), 1u);
    EXPECT_FALSE(ob.book.BookProperty4());
    std::uint16_t in = 0, out = 0;
    EXPECT_TRUE(ob.book.GetNumberPair(in, out));
    EXPECT_EQ(in, 9);
    EXPECT_EQ(out, 12);
    String info;
    EXPECT_TRUE(ob.book.GetInfo(info));
    EXPECT_TRUE(info.EqualsAscii("3405643842"));
}

TEST(BookDocument, TitleIsTheFullNameElseTheDatabaseName) {
    BookBuilder b;
    b.text = ToBytes("x");
    b.fullName = "A Long \xE9t\xE9 Title";
    b.databaseName = "Short";
    OpenBook named(b.Build());
    std::u16string title;
    ASSERT_TRUE(named.book.GetTitleText(&title));
    EXPECT_EQ(title, u"A Long \u00E9t\u00E9 Title");
    BookTarget meta;
    ASSERT_TRUE(named.book.GetTarget(0, BookDocument::kTargetMetadata, &meta));
    EXPECT_EQ(meta.name, u"Title");
    EXPECT_EQ(meta.value, title);

    BookBuilder plain = b;
    plain.fullName.clear();
    OpenBook unnamed(plain.Build());
    ASSERT_TRUE(unnamed.book.GetTitleText(&title));
    EXPECT_EQ(title, u"Short");
    std::uint32_t length = 0;
    const std::uint8_t* bytes = unnamed.book.GetDatabaseNameBytes(length);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), length), "Short");
}

TEST(BookDocument, FullNameOutsideRecordZeroIsIgnored) {
    BookBuilder b;
    b.text = ToBytes("x");
    b.fullName = "Name";
    b.databaseName = "Db";
    Bytes file = b.Build();
    std::uint32_t r0 = BigEndian::U32(file.data() + 78);
    SetU32(file, r0 + 16 + 72, 100000);
    OpenBook ob(file);
    ASSERT_EQ(ob.error, 0);
    std::u16string title;
    ob.book.GetTitleText(&title);
    EXPECT_EQ(title, u"Db");
}

TEST(BookDocument, PagesAreSharedAndIdsStayUnique) {
    BookBuilder b;
    b.text = ToBytes(SampleText(9000));
    OpenBook ob(b.Build());
    PageBuffer a, again, second;
    ASSERT_TRUE(ob.book.ReadPage(10, a, 0, 0));
    ASSERT_TRUE(ob.book.ReadPage(4000, again, 0, 0));
    EXPECT_EQ(a.pageId, again.pageId);
    EXPECT_EQ(a.text, again.text);
    ASSERT_TRUE(ob.book.ReadPage(4096, second, 0, 0));
    EXPECT_NE(second.pageId, a.pageId);
    EXPECT_NE(second.pageId, 0);
    EXPECT_EQ(second.start, 4096u);
    EXPECT_EQ(second.spanLength, 4096u);
    ob.book.ReleasePage(a.pageId);
    EXPECT_EQ(ob.book.LivePageCount(), 2u);
    ob.book.ReleasePage(again.pageId);
    ob.book.ReleasePage(second.pageId);
    EXPECT_EQ(ob.book.LivePageCount(), 0u);
    PageBuffer none;
    EXPECT_FALSE(ob.book.ReadPage(9000, none, 0, 0));
    EXPECT_FALSE(ob.book.ReadPage(0, none, 1, 0));
}

TEST(BookDocument, Utf8PositionsStayOnCharacterBoundaries) {
    BookBuilder b;
    b.codePage = 65001;
    b.trailingFlags = 1;
    std::string s = std::string(4095, 'a') + "\xE2\x82\xAC" + "tail";
    b.text = ToBytes(s);
    OpenBook ob(b.Build());
    ASSERT_EQ(ob.error, 0);
    PageBuffer first;
    ASSERT_TRUE(ob.book.ReadPage(0, first, 0, 0));
    // The euro sign straddles the page end; the first page completes it.
    EXPECT_EQ(first.length, 4096u);
    EXPECT_EQ(first.text[4095], u'\u20AC');
    EXPECT_EQ(first.spanLength, 4096u);
    EXPECT_EQ(ob.book.Advance(4094, 2, 0), 4098u);  // past the euro sign's middle byte
    EXPECT_EQ(ob.book.Distance(0, 4097, 0), 4095);  // back to the euro sign's first byte
    ob.book.ReleasePage(first.pageId);
    EXPECT_EQ(ob.Text(), FromUtf8(s));
}

TEST(BookDocument, Utf8CountsAreCharactersAcrossPages) {
    BookBuilder b;
    b.codePage = 65001;
    b.trailingFlags = 1;
    std::string s;
    for (int i = 0; i < 3000; ++i) s += "\xC3\xA9";  // é: two bytes each, over two pages
    b.text = ToBytes(s);
    OpenBook ob(b.Build());
    ASSERT_EQ(ob.error, 0);
    // No page is held: the document reads what it needs and gives it back.
    EXPECT_EQ(ob.book.Advance(0, 2500, 0), 5000u);
    EXPECT_EQ(ob.book.Advance(5000, -2500, 0), 0u);
    EXPECT_EQ(ob.book.Advance(4094, 1, 0), 4096u);
    EXPECT_EQ(ob.book.Advance(4096, -1, 0), 4094u);
    EXPECT_EQ(ob.book.Advance(1, 0, 0), 2u);  // inside a character: the next one
    EXPECT_EQ(ob.book.Advance(1, 1, 0), 4u);
    EXPECT_EQ(ob.book.Advance(0, 9000, 0), 6000u);  // clamped at the end
    EXPECT_EQ(ob.book.Advance(6000, -9000, 0), 0u);
    EXPECT_EQ(ob.book.Distance(0, 5000, 0), 2500);
    EXPECT_EQ(ob.book.Distance(0, 5001, 0), 2500);  // to the character holding it
    EXPECT_EQ(ob.book.Distance(5000, 0, 0), -2500);
    EXPECT_EQ(ob.book.Distance(4000, 4200, 0), 100);
    EXPECT_EQ(ob.book.LivePageCount(), 0u);
}

TEST(BookDocument, Utf8DistanceStopsBeforeBothHalvesOfASurrogatePair) {
    BookBuilder b;
    b.codePage = 65001;
    b.trailingFlags = 1;
    // "ab", a character outside the basic plane (four bytes, two units), then "c".
    std::string s = std::string("ab") + "\xF0\x9F\x98\x80" + "c";
    b.text = ToBytes(s);
    OpenBook ob(b.Build());
    ASSERT_EQ(ob.error, 0);
    EXPECT_EQ(ob.book.Distance(0, 2, 0), 2);  // not into the pair's second half
    EXPECT_EQ(ob.book.Distance(0, 4, 0), 2);  // a byte inside the character
    EXPECT_EQ(ob.book.Distance(0, 6, 0), 4);
    EXPECT_EQ(ob.book.Distance(2, 0, 0), -2);
    EXPECT_EQ(ob.book.Advance(0, 2, 0), 2u);
    EXPECT_EQ(ob.book.Advance(0, 4, 0), 6u);
    EXPECT_EQ(ob.book.LivePageCount(), 0u);
}

TEST(BookDocument, EmptyLastRecordIsAccepted) {
    BookBuilder b;
    b.codePage = 65002;
    std::u16string s(2048, u'x');
    b.text = Utf16Le(s);
    // Add the empty record the page writer leaves when the text ends on a record boundary.
    PdbBuilder db = b.BuildDatabase();
    db.records.insert(db.records.begin() + 2, PdbRecord{});
    SetU16(db.records[0].bytes, 8, 2);
    OpenBook ob(db.Build());
    ASSERT_EQ(ob.error, 0);
    EXPECT_EQ(ob.Text(), s);
}

TEST(BookDocument, DamagedRecordReadsAsSpacesAndLaterTextStaysInPlace) {
    BookBuilder b;
    b.compression = 2;
    std::string s = SampleText(3 * 4096);
    b.text = ToBytes(s);
    PdbBuilder db = b.BuildDatabase();
    db.records[2].bytes = {'a', 0x80, 0xFF};  // a back-reference before the start
    OpenBook ob(db.Build());
    ASSERT_EQ(ob.error, 0);
    std::u16string text = ob.Text();
    ASSERT_EQ(text.size(), s.size());
    EXPECT_EQ(text.substr(0, 4096), Widen(s.substr(0, 4096)));
    EXPECT_EQ(text[4096], u'a');
    EXPECT_EQ(text.substr(4097, 4095), std::u16string(4095, u' '));
    EXPECT_EQ(text.substr(8192), Widen(s.substr(8192)));
}

TEST(BookDocument, CoverTripleComesFromMetadata) {
    BookBuilder b;
    b.text = ToBytes("x");
    Bytes two, zero;
    PutU32(two, 2);
    PutU32(zero, 1);
    b.exth = {{201, two}, {203, zero}};
    OpenBook ob(b.Build());
    std::uint16_t cover = 0, thumb = 0;
    std::uint8_t fake = 0;
    EXPECT_TRUE(ob.book.GetHeaderTriple(cover, thumb, fake));
    EXPECT_EQ(cover, 2);
    EXPECT_EQ(thumb, 0xFFFF);
    EXPECT_EQ(fake, 1);
}

TEST(BookDocument, DataIndexesCountFromTheFirstResource) {
    BookBuilder b;
    b.text = ToBytes(SampleText(5000));
    b.resources = {ToBytes("GIF89a.."), ToBytes("OggS....")};
    OpenBook ob(b.Build());
    std::uint32_t record = 0;
    EXPECT_FALSE(ob.book.GetDataRecord(0, &record));
    EXPECT_FALSE(ob.book.GetDataRecord(-1, &record));
    ASSERT_TRUE(ob.book.GetDataRecord(1, &record));
    EXPECT_EQ(record, b.firstResource);
    ASSERT_TRUE(ob.book.GetDataRecord(2, &record));
    EXPECT_FALSE(ob.book.GetDataRecord(3, &record));
    EXPECT_EQ(ob.book.GetRecordOffset(), b.firstResource - 1);
}

TEST(BookDocument, NamedTargetsAndGuideEntries) {
    BookBuilder b;
    b.text = ToBytes(SampleText(500));
    BookTargetSpec start{2, 120, {-1, -1, -1, -1}, "start", "", ""};
    BookTargetSpec toc{2, -1, {-1, -1, -1, -1}, "toc", "", "toc.html"};
    BookTargetSpec object{8, 40, {1, 10, 3, 0}, "pics/a", "", ""};
    BookTargetSpec position{0, 77, {-1, -1, -1, -1}, "chapter2", "", ""};
    b.targets = {start, toc, object, position};
    OpenBook ob(b.Build());
    EXPECT_EQ(ob.book.QueryNumber(2), 2);
    EXPECT_EQ(ob.book.QueryNumber(4), -1);
    BookTarget t;
    ASSERT_TRUE(ob.book.FindTarget(u"toc", 3, 2, &t));
    EXPECT_EQ(t.position, -1);
    EXPECT_EQ(t.extra, u"toc.html");
    ASSERT_TRUE(ob.book.FindTarget(u"pics/a", 6, 8, &t));
    EXPECT_EQ(t.numbers[2], 3);
    EXPECT_FALSE(ob.book.FindTarget(u"pics/a", 6, 0, &t));
    EXPECT_FALSE(ob.book.FindTarget(u"toc", 2, 2, &t));
    ASSERT_TRUE(ob.book.GetTarget(0, 0, &t));
    EXPECT_EQ(t.position, 77);
}

TEST(BookDocument, IndexTablesByFieldNumberAndName) {
    BookBuilder b;
    b.text = ToBytes("x");
    b.indexTables = {{0, "words"}, {6, "naming"}, {-1, "extra"}};
    b.Build();
    std::uint32_t extra = b.tableRecords[2];
    BookTargetSpec named{4, static_cast<std::int32_t>(extra), {-1, -1, -1, -1}, "extra", "", ""};
    b.targets = {named};
    OpenBook ob(b.Build());
    std::uint32_t id = 0;
    EXPECT_TRUE(ob.book.HasHeaderField(0));
    EXPECT_FALSE(ob.book.HasHeaderField(4));
    EXPECT_FALSE(ob.book.HasHeaderField(12));
    ASSERT_TRUE(ob.book.OpenHeaderRecord(6, &id));
    EXPECT_EQ(id, b.tableRecords[1]);
    EXPECT_TRUE(ob.book.OpenTableByNumber(extra, &id));
    EXPECT_FALSE(ob.book.OpenTableByNumber(0, &id));
    EXPECT_FALSE(ob.book.OpenTableByNumber(1, &id));  // a text record
    ASSERT_TRUE(ob.book.OpenTableByName(u"extra", 5, 0, &id));
    EXPECT_EQ(id, extra);
    ASSERT_TRUE(ob.book.OpenTableByName(u"words", 5, 0, &id));
    EXPECT_EQ(id, b.tableRecords[0]);
    EXPECT_FALSE(ob.book.OpenTableByName(u"nothing", 7, 0, &id));
    std::uint32_t three[3];
    EXPECT_FALSE(ob.book.GetInteractionTables(three));
}

BookBuilder FramesetBook() {
    BookBuilder b;
    b.text = ToBytes(SampleText(20000));
    // A frame set with two frames, then a plain one from position 9000.
    Bytes tree = TreeNode(0x0001, 0, 100, 0xFFFFFFFF, 2, 6);
    Bytes left = TreeNode(0x0002, 1, 30, 40);  // its name follows the nodes
    Bytes right = TreeNode(0x0002, 1, 70, 0xFFFFFFFF);
    tree.insert(tree.end(), left.begin(), left.end());
    tree.insert(tree.end(), right.begin(), right.end());
    PutU16(tree, 4);
    PutText(tree,
            "l\xE9"
            "ft");
    FramesetSpec a{1000, tree, {2, 0, 5000}};
    FramesetSpec c{9000, TreeNode(0x0002, 0, 0, 0xFFFFFFFF), {0}};
    b.framesets = {a, c};
    return b;
}

TEST(BookDocument, FramesetOfAPosition) {
    OpenBook ob(FramesetBook().Build());
    ASSERT_EQ(ob.error, 0);
    PackedTree cursor;
    std::uint8_t changed = 0;
    std::uint32_t range[2] = {};
    EXPECT_FALSE(ob.book.RecordForPosition(500, &cursor, &changed, -1, range));
    ASSERT_TRUE(ob.book.RecordForPosition(1500, &cursor, &changed, -1, range));
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(range[0], 1000u);
    EXPECT_EQ(range[1], 9000u);
    EXPECT_TRUE(cursor.HasChildren());
    EXPECT_EQ(cursor.Payload(), 2u);
    ASSERT_TRUE(cursor.Descend());
    EXPECT_EQ(cursor.remaining, 2u);
    std::uint32_t payload = 0;
    ASSERT_TRUE(cursor.GetHeader(&payload, nullptr, nullptr));
    EXPECT_EQ(payload, 30u);
    EXPECT_EQ(cursor.Payload(), 0u);
    String name;
    ASSERT_TRUE(cursor.GetText(name));
    EXPECT_EQ(name.CompareN(u"l\u00E9ft", 4), 0);
    ASSERT_TRUE(cursor.Next());
    ASSERT_TRUE(cursor.GetText(name));
    EXPECT_TRUE(name.IsEmpty());
    EXPECT_EQ(cursor.Payload(), 5000u);
    EXPECT_FALSE(cursor.Next());

    ASSERT_TRUE(ob.book.RecordForPosition(8000, &cursor, &changed, 1500, range));
    EXPECT_EQ(changed, 0);
    ASSERT_TRUE(ob.book.RecordForPosition(15000, &cursor, &changed, 8000, range));
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(range[0], 9000u);
    EXPECT_EQ(range[1], 20000u);
    EXPECT_EQ(ob.book.SearchRange(0, 20000, false), 1000);
    EXPECT_EQ(ob.book.SearchRange(0, 20000, true), 9000);
    EXPECT_EQ(ob.book.SearchRange(1001, 8999, false), -1);
    EXPECT_EQ(ob.book.QueryPosition(1500, nullptr), 0);
    EXPECT_EQ(ob.book.QueryPosition(15000, nullptr), 1);
}

TEST(BookDocument, FramesetLookupFollowsTheOpenBook) {
    // The lookup keeps the index record at hand; a book reopened after its records changed
    // must not be answered from the record as it was.
    PdbBuilder built = FramesetBook().BuildDatabase();
    std::uint32_t indexRecord = static_cast<std::uint32_t>(built.records.size() - 2);
    Bytes bytes = built.Build();
    int error = 0;
    std::unique_ptr<PalmDatabase> db(
        PalmDatabase::LoadInMemory(bytes.data(), bytes.size(), &error));
    ASSERT_TRUE(db);
    BookDocument book;
    std::uint32_t range[2] = {};
    ASSERT_EQ(book.Open(db.get(), 0, 1252, 65002), 0);
    ASSERT_TRUE(book.RecordForPosition(1500, nullptr, nullptr, -1, range));
    EXPECT_EQ(range[0], 1000u);
    book.Close();
    // The first frame set now starts at 3000, and its record moves as it grows.
    ASSERT_TRUE(db->ResizeRecord(indexRecord, db->GetRecordLength(indexRecord) + 4));
    const std::uint8_t start[4] = {0, 0, 0x0B, 0xB8};
    ASSERT_TRUE(db->WriteRecord(indexRecord, 4, start, 4));
    ASSERT_EQ(book.Open(db.get(), 0, 1252, 65002), 0);
    EXPECT_FALSE(book.RecordForPosition(1500, nullptr, nullptr, -1, range));
    ASSERT_TRUE(book.RecordForPosition(3500, nullptr, nullptr, -1, range));
    EXPECT_EQ(range[0], 3000u);
    EXPECT_EQ(range[1], 9000u);
    book.Close();
}

TEST(BookDocument, NoFramesetsBelowVersionFourOrWithBadReferences) {
    BookBuilder old = FramesetBook();
    old.version = 3;
    old.headerLength = 116;
    OpenBook v3(old.Build());
    ASSERT_EQ(v3.error, 0);
    PackedTree cursor;
    EXPECT_FALSE(v3.book.RecordForPosition(1500, &cursor, nullptr, -1, nullptr));

    BookBuilder b = FramesetBook();
    PdbBuilder db = b.BuildDatabase();
    // Point the first frame set's entry far outside its record.
    std::size_t indexRecord = db.records.size() - 2;
    SetU32(db.records[indexRecord].bytes, 8,
           (static_cast<std::uint32_t>(indexRecord + 1) << 16) | 0xFFF0);
    OpenBook broken(db.Build());
    ASSERT_EQ(broken.error, 0);
    EXPECT_FALSE(broken.book.RecordForPosition(1500, &cursor, nullptr, -1, nullptr));
    EXPECT_TRUE(broken.book.RecordForPosition(9500, &cursor, nullptr, -1, nullptr));

    // A child area longer than the record holding the tree.
    PdbBuilder longer = FramesetBook().BuildDatabase();
    SetU16(longer.records[indexRecord + 1].bytes, 14, 5000);
    OpenBook overlong(longer.Build());
    ASSERT_EQ(overlong.error, 0);
    EXPECT_FALSE(overlong.book.RecordForPosition(1500, &cursor, nullptr, -1, nullptr));
}

TEST(BookDocument, SniffsMarkupFromTheFirstTag) {
    BookBuilder html;
    html.text =
        ToBytes("\xEF\xBB\xBF  <!-- a comment --><!DOCTYPE html>\n<HTML><body>x</body></html>");
    html.codePage = 65001;
    EXPECT_EQ(OpenBook(html.Build()).book.SniffKind(), 2u);
    BookBuilder text;
    text.text = ToBytes("<htmlish> not html");
    EXPECT_EQ(OpenBook(text.Build()).book.SniffKind(), 1u);
}

TEST(BookDocument, PalmDocDatabasesUseTheGivenCodePage) {
    BookBuilder doc;
    doc.palmDoc = true;
    doc.compression = 2;
    std::string s = SampleText(6000) + "\xE9";
    doc.text = ToBytes(s);
    OpenBook ob(doc.Build());
    ASSERT_EQ(ob.error, 0);
    EXPECT_EQ(ob.book.GetBookKind(), 0);
    EXPECT_EQ(ob.Text(), Widen(SampleText(6000)) + u"\u00E9");
    std::uint32_t record = 0;
    EXPECT_FALSE(ob.book.GetDataRecord(1, &record));
}

TEST(BookDocument, AnswersThroughTheDocumentSourceInterface) {
    BookBuilder b;
    b.text = ToBytes("<html><body>Hello</body></html>");
    b.fullName = "Named";
    b.indexTables = {{-1, "words"}};
    b.Build();
    b.targets = {BookTargetSpec{
        4, static_cast<std::int32_t>(b.tableRecords[0]), {-1, -1, -1, -1}, "words", "", ""}};
    OpenBook ob(b.Build());
    ASSERT_EQ(ob.error, 0);
    DocumentSource& source = ob.book;
    String title;
    ASSERT_TRUE(source.GetTitle(title));
    EXPECT_TRUE(title.EqualsAscii("Named"));
    // Table names are looked up with kind 4, which the base refuses.
    TargetRecord record;
    ASSERT_TRUE(source.FindMetadata(u"words", 5, 4, record));
    EXPECT_EQ(record.position, static_cast<std::int32_t>(b.tableRecords[0]));
    EXPECT_EQ(source.GetKind(), 2u);
    EXPECT_EQ(source.GetCodePage(), 65002u);
    EXPECT_EQ(source.BookProperty4(), 1u);
    String decoded;
    const std::uint8_t bytes[] = {'c', 'a', 'f', 0xE9};
    ASSERT_TRUE(source.DecodeText(decoded, bytes, 4));
    EXPECT_EQ(decoded.CompareN(u"caf\u00E9", 4), 0);
    PageBuffer page;
    ASSERT_TRUE(source.ReadPage(3, page, 0, 0));
    EXPECT_EQ(page.baseStart, 0u);
    EXPECT_EQ(page.reserved, 0u);
    source.ReleasePage(page.pageId);

    // An installed probe decides the kind.
    DocumentSource::HtmlProbe saved = DocumentSource::htmlProbe;
    DocumentSource::htmlProbe = [](DocumentSource&, bool& isHtml) {
        isHtml = false;
        return true;
    };
    EXPECT_EQ(source.GetKind(), 1u);
    DocumentSource::htmlProbe = saved;
}

// Record 0 exactly as the generated-page writer lays it out, over a read-write database.
TEST(BookDocument, ReadsGeneratedPagesFromAResidentDatabase) {
    std::unique_ptr<PalmDatabase> db(PalmDatabase::CreateInMemory("FOLV", "BOOK"));
    std::u16string title = u"Cart";
    std::u16string text = u"<html><body>" + std::u16string(3000, u'w') + u"</body></html>";
    Bytes r0(224 + title.size() * 2, 0);
    SetU16(r0, 0, 1);
    SetU32(r0, 4, static_cast<std::uint32_t>(text.size()));
    SetU16(r0, 8, 2);
    SetU16(r0, 10, 2048);
    r0[16] = 'F';
    r0[17] = 'O';
    r0[18] = 'L';
    r0[19] = 'V';
    SetU32(r0, 20, 208);
    SetU32(r0, 24, 774);
    SetU32(r0, 28, 65002);
    SetU32(r0, 32, 0x1ABCDEF);
    SetU32(r0, 36, 4);
    for (int k = 0; k < 10; ++k) SetU32(r0, 40 + 4 * k, 0xFFFFFFFF);
    SetU32(r0, 84, 224);
    SetU32(r0, 88, static_cast<std::uint32_t>(title.size() * 2));
    SetU32(r0, 104, 1);
    SetU32(r0, 164, 0xFFFFFFFF);
    SetU32(r0, 168, 0xFFFFFFFF);
    SetU32(r0, 192, 0xFFFFFFFF);
    SetU32(r0, 196, 1);  // trailing flags 1: no entry in UTF-16 records
    Bytes t = Utf16Le(title);
    std::copy(t.begin(), t.end(), r0.begin() + 224);
    Bytes body = Utf16Le(text);
    for (const Bytes* record : {&r0}) {
        std::uint32_t index = 0;
        ASSERT_TRUE(db->NewRecord(PalmDatabase::kAppend, static_cast<std::uint32_t>(record->size()),
                                  &index));
        ASSERT_TRUE(
            db->WriteRecord(index, 0, record->data(), static_cast<std::uint32_t>(record->size())));
    }
    ASSERT_TRUE(db->NewRecord(PalmDatabase::kAppend, 4096, nullptr));
    ASSERT_TRUE(db->WriteRecord(1, 0, body.data(), 4096));
    ASSERT_TRUE(db->NewRecord(PalmDatabase::kAppend, static_cast<std::uint32_t>(body.size() - 4096),
                              nullptr));
    ASSERT_TRUE(
        db->WriteRecord(2, 0, body.data() + 4096, static_cast<std::uint32_t>(body.size() - 4096)));

    BookDocument book;
    ASSERT_EQ(book.Open(db.get(), 0, 1252, 65002), 0);
    EXPECT_EQ(book.GetOption(), 0x1ABCDEFu);
    EXPECT_EQ(book.GetDocumentType(), 774u);
    EXPECT_EQ(book.GetBookKind(), 4);
    EXPECT_FALSE(book.HasHeaderField(0));
    std::u16string read;
    ASSERT_TRUE(book.GetTitleText(&read));
    EXPECT_EQ(read, title);
    EXPECT_EQ(ReadBookHeaderWord(db.get()), 0xFFFFu);
    PageBuffer page;
    ASSERT_TRUE(book.ReadPage(0, page, 0, 0));
    EXPECT_EQ(std::u16string(page.text, page.length), text);
    book.ReleasePage(page.pageId);
    EXPECT_EQ(book.GetKind(), 2u);
    EXPECT_FALSE(book.RecordForPosition(0, nullptr, nullptr, -1, nullptr));
}

struct CountingHook : BookHostInterface {
    int calls = 0;
    void Notify() override { ++calls; }
};

TEST(BookDocument, BusyHooksRunAroundDecoderTablesOfFiles) {
    BookBuilder b;
    b.compression = 3;
    b.text = ToBytes(SampleText(5000));
    fvt::test::TempDevice device;
    ASSERT_TRUE(WriteFileBytes(device.Host("huff.prc"), b.Build()));
    std::unique_ptr<PalmDatabase> db(
        PalmDatabase::Open("\\huff.prc", 41, nullptr, nullptr, nullptr));
    ASSERT_TRUE(db);
    CountingHook before, after;
    BookDocument book;
    book.SetHostInterfaces(&before, &after);
    ASSERT_EQ(book.Open(db.get(), 0, 1252, 65002), 0);
    EXPECT_EQ(before.calls, 1);
    EXPECT_EQ(after.calls, 1);
    // A book in memory does not read on demand: no notice.
    OpenBook memory(b.Build());
    memory.book.SetHostInterfaces(&before, &after);
    memory.book.Open(memory.db.get(), 0, 1252, 65002);
    EXPECT_EQ(before.calls, 1);
}

// Every truncation and many byte flips of a book must open cleanly or fail with a code,
// and reading all of its text must stay inside its buffers (the sanitizers watch).
TEST(BookDocument, DamagedFilesNeverCrash) {
    BookBuilder b = FramesetBook();
    b.compression = 3;
    b.dictionary = {"the", "reader"};
    b.exth = {{100, ToBytes("Author")}};
    b.targets = {BookTargetSpec{2, 5, {-1, -1, -1, -1}, "start", "", ""}};
    b.text = ToBytes(SampleText(9000));
    Bytes file = b.Build();
    auto exercise = [](const Bytes& bytes) {
        OpenBook ob(bytes);
        if (ob.error != 0) return;
        ob.Text();
        PackedTree cursor;
        if (ob.book.RecordForPosition(1500, &cursor, nullptr, -1, nullptr)) {
            cursor.Descend();
            while (cursor.Next()) {
            }
        }
        BookTarget t;
        ob.book.FindTarget(u"start", 5, 2, &t);
    };
    for (std::size_t cut = 0; cut < file.size(); cut += 7)
        exercise(Bytes(file.begin(), file.begin() + cut));
    std::uint32_t x = 99;
    for (int round = 0; round < 400; ++round) {
        Bytes damaged = file;
        for (int k = 0; k < 4; ++k) {
            x = x * 1103515245u + 12345u;
            damaged[(x >> 8) % damaged.size()] ^= static_cast<std::uint8_t>(1 + (x >> 24) % 255);
        }
        exercise(damaged);
    }
}

}  // namespace

namespace {

std::size_t FirstRecordAt(const Bytes& b) {
    return static_cast<std::size_t>(b[78]) << 24 | static_cast<std::size_t>(b[79]) << 16 |
           static_cast<std::size_t>(b[80]) << 8 | b[81];
}

void PutWord(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

// A header that lost its text length: the text is read from the records, every byte of it, in
// both compressions; a last record that gives nothing leaves nothing to read.
TEST(DamagedHeader, APalmDocTextLengthOfZeroIsReadFromTheRecords) {
    for (std::uint32_t compression : {1u, 2u}) {
        BookBuilder b;
        b.palmDoc = true;
        b.compression = compression;
        const std::string text = SampleText(10000, 7);
        b.text.assign(text.begin(), text.end());
        Bytes bytes = b.Build();
        PutWord(bytes, FirstRecordAt(bytes) + 4, 0);
        OpenBook book(bytes);
        ASSERT_EQ(book.error, 0) << compression;
        EXPECT_EQ(book.book.GetLength(), text.size());
        EXPECT_EQ(book.Text(), Widen(text)) << compression;
    }
}

TEST(DamagedHeader, TrailingEntryFlagsTheTextCannotCarryAreCorrupt) {
    BookBuilder b;
    const std::string text = SampleText(9000, 8);
    b.text.assign(text.begin(), text.end());
    Bytes bytes = b.Build();
    PutWord(bytes, FirstRecordAt(bytes) + 16 + 180, 0xFFFE);
    EXPECT_EQ(OpenBook(bytes).error, kBookCorrupt);
    // Flags the records really carry open as before.
    BookBuilder carried;
    carried.text.assign(text.begin(), text.end());
    carried.trailingFlags = 0x6;
    OpenBook good(carried.Build());
    ASSERT_EQ(good.error, 0);
    EXPECT_EQ(good.Text(), Widen(text));
}

}  // namespace
