// The page writer: record 0 byte by byte, text records of 4096 bytes, templates, link
// placeholders patched across records, and what a failure leaves behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bookfiles/palm_database.h"
#include "core/string.h"
#include "core/text.h"
#include "document/sources/book_resource.h"
#include "document/sources/page_writer.h"
#include "support/document/document_text.h"
#include "support/platform/temp_device.h"

namespace {

uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

uint32_t U16(const uint8_t* p) {
    return uint32_t(p[0]) << 8 | p[1];
}

Text Path(const char16_t* s) {
    Text t;
    t.FromWide(s);
    return t;
}

// The text of records 1.. as characters (UTF-16LE).
std::u16string TextOf(PalmDatabase* db) {
    std::u16string out;
    for (uint32_t r = 1; r < db->GetRecordCount(); ++r) {
        uint32_t n = 0;
        const uint8_t* p = db->GetRecord(r, &n);
        for (uint32_t i = 0; i + 1 < n; i += 2) out += char16_t(p[i] | p[i + 1] << 8);
    }
    return out;
}

// Reads the finished book back through the book resource: its whole text.
std::u16string ReadBack(PalmDatabase* db, uint32_t* type = nullptr) {
    BookResource* book = nullptr;
    if (BookResource::Create(db, 1252, 65002, book) != 0) return u"<no book>";
    DocumentSource* doc = book->GetDocument();
    std::u16string out = DocumentText(*doc);
    if (type) *type = doc->GetDocumentType();
    book->Release();
    return out;
}

struct WriterTest : ::testing::Test {
    fvt::test::TempDevice device;
    PageWriter writer;
};

TEST_F(WriterTest, RecordZeroHasItsFixedLayout) {
    ASSERT_EQ(writer.Open(Path(u"\\page.fvg"), 10, 65002), 0);
    std::u16string text = u"<html>x</html>";
    writer.WriteChars(text.data(), static_cast<uint32_t>(text.size()));
    ASSERT_FALSE(writer.Finish(774, 0x01020304, u"Title", 10));
    PalmDatabase* db = writer.TakeDatabase();
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(writer.TakeDatabase(), nullptr);
    EXPECT_EQ(db->GetType(), PalmCode("BOOK"));
    EXPECT_EQ(db->GetCreator(), PalmCode("FOLV"));
    uint32_t n = 0;
    const uint8_t* r = db->GetRecord(0, &n);
    ASSERT_EQ(n, 234u);
    EXPECT_EQ(U16(r), 1u);
    EXPECT_EQ(U16(r + 2), 0u);
    EXPECT_EQ(U32(r + 4), 14u);
    EXPECT_EQ(U16(r + 8), 1u);
    EXPECT_EQ(U16(r + 10), 2048u);
    EXPECT_EQ(U32(r + 12), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r + 16), 4), "FOLV");
    EXPECT_EQ(U32(r + 20), 208u);
    EXPECT_EQ(U32(r + 24), 774u);
    EXPECT_EQ(U32(r + 28), 65002u);
    EXPECT_EQ(U32(r + 32), 0x01020304u);
    EXPECT_EQ(U32(r + 36), 4u);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(U32(r + 40 + 4 * i), 0xFFFFFFFFu);
    EXPECT_EQ(U32(r + 84), 224u);
    EXPECT_EQ(U32(r + 88), 10u);
    EXPECT_EQ(U32(r + 104), 1u);
    EXPECT_EQ(U32(r + 164), 0xFFFFFFFFu);
    EXPECT_EQ(U32(r + 168), 0xFFFFFFFFu);
    EXPECT_EQ(U32(r + 192), 0xFFFFFFFFu);
    EXPECT_EQ(U32(r + 196), 1u);
    EXPECT_EQ(r[224], 'T');
    EXPECT_EQ(r[225], 0);
    uint32_t type = 0;
    EXPECT_EQ(ReadBack(db, &type), text);
    EXPECT_EQ(type, 774u);
}

TEST_F(WriterTest, AnEmptyTitleHasNoOffset) {
    ASSERT_EQ(writer.Open(Path(u"\\page.fvg"), 0, 65002), 0);
    writer.WriteChars(u"x", 1);
    ASSERT_FALSE(writer.Finish(775, PageWriter::kNoNumber, u"", 0));
    PalmDatabase* db = writer.TakeDatabase();
    uint32_t n = 0;
    const uint8_t* r = db->GetRecord(0, &n);
    EXPECT_EQ(n, 224u);
    EXPECT_EQ(U32(r + 84), 0xFFFFFFFFu);
    EXPECT_LT(U32(r + 32), 1u << 30);  // a random 30-bit id
    delete db;
}

TEST_F(WriterTest, ATitleLongerThanReservedFails) {
    ASSERT_EQ(writer.Open(Path(u"\\page.fvg"), 4, 65002), 0);
    writer.WriteChars(u"x", 1);
    EXPECT_TRUE(writer.Finish(774, 1, u"Longer", 12));
    EXPECT_EQ(writer.TakeDatabase(), nullptr);
    EXPECT_FALSE(device.HostExists("page.fvg"));
}

TEST_F(WriterTest, ExactlyOneRecordOfTextLeavesAnEmptySecond) {
    ASSERT_EQ(writer.Open(Path(u"\\page.fvg"), 0, 65002), 0);
    std::u16string text(2048, u'a');
    writer.WriteChars(text.data(), 2048);
    EXPECT_EQ(writer.TextPosition(), 2048u);
    ASSERT_FALSE(writer.Finish(774, 1, u"", 0));
    PalmDatabase* db = writer.TakeDatabase();
    ASSERT_EQ(db->GetRecordCount(), 3u);
    EXPECT_EQ(db->GetRecordLength(1), 4096u);
    EXPECT_EQ(db->GetRecordLength(2), 0u);
    uint32_t n = 0;
    EXPECT_EQ(U16(db->GetRecord(0, &n) + 8), 2u);
    EXPECT_EQ(ReadBack(db), text);
}

TEST_F(WriterTest, TemplatesTakeArgumentsInOrder) {
    ASSERT_EQ(writer.Open(Path(u"\\page.fvg"), 0, 65002), 0);
    std::u16string t = u"[###a###|###b###|###c###|###d###]";
    writer.FillTemplate(t.data(), static_cast<uint32_t>(t.size()),
                        {{u"xy", 2}, {nullptr, 0}, {nullptr, PageWriter::kNoNumber}, {nullptr, 407}});
    EXPECT_FALSE(writer.Failed());
    // Leftover (none, 0) pairs count as no argument.
    std::u16string plain = u"/no fields/";
    writer.FillTemplate(plain.data(), static_cast<uint32_t>(plain.size()), {{nullptr, 0}});
    EXPECT_FALSE(writer.Failed());
    ASSERT_FALSE(writer.Finish(774, 1, u"", 0));
    PalmDatabase* db = writer.TakeDatabase();
    EXPECT_EQ(TextOf(db), u"[xy|0||407]/no fields/");
    delete db;
}

TEST_F(WriterTest, LeftoverArgumentsFail) {
    ASSERT_EQ(writer.Open(Path(u"\\page.fvg"), 0, 65002), 0);
    std::u16string t = u"a###x###b";
    writer.FillTemplate(t.data(), static_cast<uint32_t>(t.size()), {{nullptr, 1}, {nullptr, 2}});
    EXPECT_TRUE(writer.Failed());
    EXPECT_TRUE(writer.Finish(774, 1, u"", 0));
    EXPECT_EQ(writer.TakeDatabase(), nullptr);
}

TEST_F(WriterTest, LinksArePatchedWithTheirTargetsAcrossRecords) {
    ASSERT_EQ(writer.Open(Path(u"\\page.fvg"), 0, 65002), 0);
    // The placeholder starts 4 characters before the end of the first record.
    std::u16string pad(2044 - 2, u'.');
    writer.WriteChars(pad.data(), static_cast<uint32_t>(pad.size()));
    std::u16string t = u"<a###HREF###>";
    writer.FillTemplate(t.data(), static_cast<uint32_t>(t.size()), {{nullptr, 3}});
    writer.WriteChars(u"mid", 3);
    writer.DefineTarget(3);
    writer.WriteChars(u"end", 3);
    ASSERT_FALSE(writer.Finish(775, 1, u"", 0));
    PalmDatabase* db = writer.TakeDatabase();
    std::u16string text = TextOf(db);
    EXPECT_EQ(text.substr(2042), u"<a00002056>midend");
    EXPECT_EQ(db->GetRecordCount(), 3u);
    EXPECT_EQ(ReadBack(db), text);
}

TEST_F(WriterTest, TargetsMayComeBeforeOrAfterTheirLinks) {
    ASSERT_EQ(writer.Open(Path(u"\\page.fvg"), 0, 65002), 0);
    writer.WriteChars(u"ab", 2);
    writer.DefineTarget(0);
    std::u16string t = u"###HREF###";
    writer.FillTemplate(t.data(), 10, {{nullptr, 0}});
    // Two links to one target defined after them: both patched.
    writer.FillTemplate(t.data(), 10, {{nullptr, 1}});
    writer.FillTemplate(t.data(), 10, {{nullptr, 1}});
    writer.DefineTarget(1);
    ASSERT_FALSE(writer.Finish(775, 1, u"", 0));
    PalmDatabase* db = writer.TakeDatabase();
    EXPECT_EQ(TextOf(db), u"ab000000020000002600000026");
    delete db;
}

TEST_F(WriterTest, UnsettledLinksAndDoubleTargetsFail) {
    {
        PageWriter w;
        ASSERT_EQ(w.Open(Path(u"\\a.fvg"), 0, 65002), 0);
        w.DefineTarget(1);
        w.DefineTarget(1);
        EXPECT_TRUE(w.Failed());
    }
    {
        PageWriter w;
        ASSERT_EQ(w.Open(Path(u"\\b.fvg"), 0, 65002), 0);
        std::u16string t = u"###HREF###";
        w.FillTemplate(t.data(), 10, {{nullptr, 9}});
        // The link's target never came: nothing is patched, the page is dropped.
        EXPECT_TRUE(w.Finish(775, 1, u"", 0));
    }
    EXPECT_FALSE(device.HostExists("a.fvg"));
    EXPECT_FALSE(device.HostExists("b.fvg"));
}

TEST_F(WriterTest, AbortAndTheDestructorDropTheUnfinishedBook) {
    {
        PageWriter w;
        ASSERT_EQ(w.Open(Path(u"\\gone.fvg"), 0, 65002), 0);
        w.WriteChars(u"half", 4);
    }
    EXPECT_FALSE(device.HostExists("gone.fvg"));
    ASSERT_EQ(writer.Open(Path(u"\\gone.fvg"), 0, 65002), 0);
    writer.Abort();
    writer.WriteChars(u"more", 4);
    EXPECT_TRUE(writer.Failed());
    EXPECT_TRUE(writer.Finish(774, 1, u"", 0));
    PageWriter none;
    EXPECT_EQ(none.Open(Text(), 0, 65002), 1);
}

TEST_F(WriterTest, ANewPageReplacesTheFileAndAMappedOldOneKeepsItsText) {
    ASSERT_EQ(writer.Open(Path(u"\\page.fvg"), 0, 65002), 0);
    writer.WriteChars(u"<html>old</html>", 16);
    ASSERT_FALSE(writer.Finish(774, 1, u"", 0));
    delete writer.TakeDatabase();
    int error = 0;
    PalmDatabase* mapped = PalmDatabase::Open(Path(u"\\page.fvg"), 41, nullptr, nullptr, &error);
    ASSERT_NE(mapped, nullptr);
    PageWriter next;
    ASSERT_EQ(next.Open(Path(u"\\page.fvg"), 0, 65002), 0);
    next.WriteChars(u"<html>new</html>", 16);
    ASSERT_FALSE(next.Finish(774, 2, u"", 0));
    delete next.TakeDatabase();
    EXPECT_EQ(ReadBack(mapped), u"<html>old</html>");
    PalmDatabase* fresh = PalmDatabase::Open(Path(u"\\page.fvg"), 41, nullptr, nullptr, &error);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(ReadBack(fresh), u"<html>new</html>");
}

TEST_F(WriterTest, Utf8RecordsCarryTheirTrailingEntries) {
    ASSERT_EQ(writer.Open(Path(u"\\u8.fvg"), 0, 65001), 0);
    // 4095 ASCII bytes, then a two-byte character split over the record boundary.
    std::u16string text(4095, u'a');
    text += u"\u00e9z";
    writer.WriteChars(text.data(), static_cast<uint32_t>(text.size()));
    EXPECT_EQ(writer.TextPosition(), 4098u);
    ASSERT_FALSE(writer.Finish(774, 1, u"", 0));
    PalmDatabase* db = writer.TakeDatabase();
    ASSERT_EQ(db->GetRecordCount(), 3u);
    uint32_t n = 0;
    const uint8_t* r1 = db->GetRecord(1, &n);
    ASSERT_EQ(n, 4098u);
    EXPECT_EQ(r1[4095], 0xC3);
    EXPECT_EQ(r1[4096], 0xA9);  // the rest of the split character, repeated
    EXPECT_EQ(r1[4097], 1);
    const uint8_t* r2 = db->GetRecord(2, &n);
    ASSERT_EQ(n, 3u);
    EXPECT_EQ(r2[0], 0xA9);
    EXPECT_EQ(r2[1], 'z');
    EXPECT_EQ(r2[2], 0);
    const uint8_t* r0 = db->GetRecord(0, &n);
    EXPECT_EQ(U16(r0 + 10), 4096u);
    EXPECT_EQ(U32(r0 + 28), 65001u);
    delete db;
}

TEST(ScriptStringEscape, QuotesBackslashesAndPercents) {
    String out;
    ASSERT_TRUE(PageWriter::EscapeForScriptString(String(u"a\"b'c\\d%e"), out, true));
    EXPECT_EQ(std::u16string(out.Data(), out.Length()), u"a\\&quot;b\\'c\\\\d%25e");
    ASSERT_TRUE(PageWriter::EscapeForScriptString(String(u"50%"), out, false));
    EXPECT_EQ(std::u16string(out.Data(), out.Length()), u"50%");
}

}  // namespace
