#include "document/sources/text_file_document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/charset.h"
#include "core/file.h"
#include "core/text.h"
#include "document/markup/attribute_value.h"
#include "document/markup/html_tokenizer.h"
#include "document/markup/link_target.h"
#include "document/markup/plain_text_token_source.h"
#include "document/sources/code_page.h"
#include "support/document/device_files.h"
#include "token_dump.h"

namespace {

struct Opened {
    Opened(DeviceFiles& files, const std::string& bytes, uint32_t codePage = 1252,
           uint32_t pageSize = 0) {
        std::u16string path = files.Write("t.txt", bytes);
        Text p;
        p.FromWide(path.c_str());
        file = std::make_unique<File>(p, File::kOpenForReading);
        EXPECT_TRUE(file->IsOpen());
        if (pageSize) doc.SetPageSizeForTest(pageSize);
        doc.Open(file.get(), String(u"t.txt"), codePage, 65002, false, 0, 0xFFFFFFFFu);
    }
    // All the characters, page by page.
    std::u16string All() {
        std::u16string out;
        uint32_t pos = 0;
        PageBuffer page;
        while (pos < doc.GetLength() && doc.ReadPage(pos, page, 0, 0)) {
            out.append(page.text, page.length);
            pos = page.start + page.spanLength;
            doc.ReleasePage(page.pageId);
        }
        return out;
    }
    std::unique_ptr<File> file;
    TextFileDocument doc;
};

TEST(TextFileDocumentMarks, ByteOrderMarks) {
    DeviceFiles files;
    Opened utf8(files, "\xEF\xBB\xBFh\xC3\xA9");
    EXPECT_EQ(utf8.doc.SourceCodePage(), 65001u);
    EXPECT_EQ(utf8.doc.TextStart(), 3u);
    EXPECT_EQ(utf8.All(), u"h\u00e9");

    Opened be(files, std::string("\xFE\xFF\x00h\x01\x00", 6));
    EXPECT_TRUE(be.doc.BigEndian());
    EXPECT_EQ(be.doc.GetLength(), 2u);  // characters for UTF-16
    EXPECT_EQ(be.All(), u"h\u0100");

    Opened le(files, std::string("\xFF\xFEh\x00", 4));
    EXPECT_EQ(le.doc.SourceCodePage(), 65002u);
    EXPECT_EQ(le.All(), u"h");
}

TEST(TextFileDocumentMarks, ShortFilesKeepTheGivenCodePage) {
    DeviceFiles files;
    Opened one(files, "x");
    EXPECT_EQ(one.doc.SourceCodePage(), 1252u);
    Opened half(files, "\xEF\xBB");
    EXPECT_EQ(half.doc.SourceCodePage(), 1252u);
    EXPECT_EQ(half.doc.GetLength(), 2u);
    Opened empty(files, "");
    PageBuffer page;
    EXPECT_FALSE(empty.doc.ReadPage(0, page, 0, 0));
}

TEST(TextFileDocumentDecoding, Windows1252) {
    DeviceFiles files;
    Opened doc(files, "\x80\x93x\x81");
    EXPECT_EQ(doc.All(), u"\u20ac\u201cx\u0081");
}

TEST(TextFileDocumentDecoding, Windows1252AgreesWithTheCoreEverywhere) {
    // Every byte value, in runs of ASCII and between them, at every alignment of a page block.
    std::string bytes;
    for (int round = 0; round < 3; ++round)
        for (int b = 0; b < 256; ++b) {
            bytes.push_back(static_cast<char>(b));
            bytes.append(static_cast<size_t>(b % 11), 'a');
        }
    const uint8_t* raw = reinterpret_cast<const uint8_t*>(bytes.data());
    for (size_t from : {0, 1, 3, 7, 8, 9}) {
        size_t n = bytes.size() - from;
        std::u16string expected(n + 4, u'?'), got(n + 4, u'?');
        int32_t m = Charset::ToUtf16(1252, raw + from, n, expected.data(), expected.size());
        ASSERT_EQ(m, static_cast<int32_t>(n));
        uint32_t k = CodePage::Decode(got.data(), got.size(), raw + from, n, 1252, false, 65002,
                                      nullptr, true, nullptr);
        EXPECT_EQ(k, n);
        EXPECT_EQ(got, expected) << from;
    }
    DeviceFiles files;
    Opened doc(files, bytes);
    std::u16string all = doc.All();
    ASSERT_EQ(all.size(), bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i)
        ASSERT_EQ(all[i], Cp1252::ToUnicode(static_cast<uint8_t>(bytes[i]))) << i;
}

TEST(TextFileDocumentDecoding, Utf8AcrossAPageBoundary) {
    DeviceFiles files;
    std::string bytes = "\xEF\xBB\xBF" + std::string(4095, 'a') + "\xE2\x82\xAC" + "tail";
    Opened doc(files, bytes);
    PageBuffer p0, p1;
    ASSERT_TRUE(doc.doc.ReadPage(0, p0, 0, 0));
    EXPECT_EQ(p0.spanLength, 4096u);
    EXPECT_EQ(p0.length, 4096u);  // the euro sign finishes page 0
    EXPECT_EQ(p0.text[4095], u'\u20ac');
    ASSERT_TRUE(doc.doc.ReadPage(4096, p1, 0, 0));
    EXPECT_EQ(p1.start, 4096u);
    EXPECT_EQ(std::u16string(p1.text, p1.length), u"tail");  // not repeated, not replaced
    doc.doc.ReleasePage(p0.pageId);
    doc.doc.ReleasePage(p1.pageId);
    EXPECT_EQ(doc.All(), std::u16string(4095, u'a') + u"\u20ac" + u"tail");
}

TEST(TextFileDocumentDecoding, InvalidBytesBecomeReplacementCharacters) {
    DeviceFiles files;
    // Stray continuation bytes, a truncated sequence, an overlong form and a mark mid-text.
    Opened utf8(files, "\xEF\xBB\xBF" "a\x80" "b\xE2\x82" "c\xC0\xAF" "d\xEF\xBB\xBF" "e");
    std::u16string all = utf8.All();
    EXPECT_EQ(all.front(), u'a');
    EXPECT_EQ(all.back(), u'e');
    EXPECT_NE(all.find(u'\uFFFD'), std::u16string::npos);
    EXPECT_NE(all.find(u'\uFEFF'), std::u16string::npos);  // a mark inside the text is a character
    // An odd byte at the end of UTF-16 text is not read past.
    Opened odd(files, std::string("\xFF\xFEh\x00i", 5));
    EXPECT_EQ(odd.doc.GetLength(), 1u);
    EXPECT_EQ(odd.All(), u"h");
}

// The whole text decoded in one go: what page-by-page reading must give.
std::u16string Whole(const std::string& bytes, int codePage) {
    std::u16string out(bytes.size() + 4, u'\0');
    int32_t n = Charset::ToUtf16(codePage, reinterpret_cast<const uint8_t*>(bytes.data()),
                                 bytes.size(), out.data(), out.size());
    out.resize(n < 0 ? 0 : n);
    return out;
}

TEST(TextFileDocumentDoubleByte, CharacterAcrossThePageEnd) {
    // Trail bytes that would read as something else on their own: 'A' (Shift-JIS U+30A2),
    // '\' (Big5 U+8A31), a lead-valued byte (GBK U+4E2D).
    struct Case {
        int codePage;
        const char* pair;
        char16_t c;
    } cases[] = {
        {932, "\x83\x41", u'\u30a2'}, {950, "\xB3\x5C", u'\u8a31'}, {936, "\xD6\xD0", u'\u4e2d'}};
    DeviceFiles files;
    for (const Case& k : cases) {
        if (!IsKnownCodePage(k.codePage)) GTEST_SKIP() << "no converter for " << k.codePage;
        Opened doc(files, std::string(4095, 'a') + k.pair + "tail", k.codePage);
        PageBuffer p0, p1;
        ASSERT_TRUE(doc.doc.ReadPage(0, p0, 0, 0));
        EXPECT_EQ(p0.spanLength, 4096u);
        ASSERT_EQ(p0.length, 4096u) << k.codePage;  // the character finishes page 0
        EXPECT_EQ(p0.text[4095], k.c);
        ASSERT_TRUE(doc.doc.ReadPage(4096, p1, 0, 0));
        EXPECT_EQ(p1.start, 4096u);
        EXPECT_EQ(std::u16string(p1.text, p1.length), u"tail") << k.codePage;
        doc.doc.ReleasePage(p0.pageId);
        doc.doc.ReleasePage(p1.pageId);
        EXPECT_EQ(doc.All(), std::u16string(4095, u'a') + k.c + u"tail");

        // Positions step over the boundary one character at a time and measure back.
        EXPECT_EQ(doc.doc.Advance(4094, 1, 0), 4095u);
        uint32_t next = doc.doc.Advance(4095, 1, 0);
        EXPECT_EQ(doc.doc.Distance(4095, next, 0), 1);
        uint32_t tail = doc.doc.Advance(next, 1, 0);
        EXPECT_EQ(tail, 4098u);  // the 'a' of "tail"
        EXPECT_EQ(doc.doc.Distance(4094, 4095, 0), 1);
        EXPECT_EQ(doc.doc.Distance(next, tail, 0), 1);
        EXPECT_EQ(doc.doc.LivePageCount(), 0u);
    }
}

TEST(TextFileDocumentPages, SmallerPagesForTests) {
    TextFileDocument plain;
    EXPECT_EQ(plain.PageSize(), TextFileDocument::kPageSize);
    for (uint32_t bad : {0u, 32u, 100u, 8192u}) {
        plain.SetPageSizeForTest(bad);
        EXPECT_EQ(plain.PageSize(), TextFileDocument::kPageSize) << bad;
    }
    // A character cut by a small page's end finishes that page, as with full pages.
    struct Case {
        int codePage;
        std::string pair;
        char16_t c;
    } cases[] = {{65001, "\xE2\x82\xAC", u'\u20ac'}, {932, "\x83\x41", u'\u30a2'}};
    DeviceFiles files;
    for (const Case& k : cases) {
        if (!IsKnownCodePage(k.codePage)) GTEST_SKIP() << "no converter for " << k.codePage;
        Opened doc(files, std::string(127, 'a') + k.pair + "tail", k.codePage, 128);
        EXPECT_EQ(doc.doc.PageSize(), 128u);
        PageBuffer p0, p1;
        ASSERT_TRUE(doc.doc.ReadPage(5, p0, 0, 0));
        EXPECT_EQ(p0.start, 0u);
        EXPECT_EQ(p0.spanLength, 128u);
        ASSERT_EQ(p0.length, 128u) << k.codePage;
        EXPECT_EQ(p0.text[127], k.c);
        ASSERT_TRUE(doc.doc.ReadPage(128 + k.pair.size() - 1, p1, 0, 0));
        EXPECT_EQ(p1.start, 128u);
        EXPECT_EQ(std::u16string(p1.text, p1.length), u"tail") << k.codePage;
        doc.doc.ReleasePage(p0.pageId);
        doc.doc.ReleasePage(p1.pageId);
        EXPECT_EQ(doc.All(), std::u16string(127, u'a') + k.c + u"tail");
    }
}

TEST(TextFileDocumentDoubleByte, RunsOfLeadValuedBytesReadInAnyOrder) {
    if (!IsKnownCodePage(936)) GTEST_SKIP() << "no GBK converter";
    // One ASCII byte, then GBK characters whose both bytes could begin a pair, over three
    // page ends: only the count from the 'x' tells where characters begin.
    std::string bytes = "x";
    while (bytes.size() < 3 * 4096 + 100) bytes += "\xD6\xD0\xB9\xFA";
    bytes += "end";
    std::u16string expected = Whole(bytes, 936);
    ASSERT_EQ(expected.find(u'\uFFFD'), std::u16string::npos);
    DeviceFiles files;
    for (std::vector<uint32_t> order :
         {std::vector<uint32_t>{3, 1, 2, 0}, std::vector<uint32_t>{2, 0, 3, 1}}) {
        Opened doc(files, bytes, 936);
        std::u16string pages[4];
        for (uint32_t k : order) {
            PageBuffer p;
            ASSERT_TRUE(doc.doc.ReadPage(k * 4096 + 7, p, 0, 0));
            pages[k].assign(p.text, p.length);
            doc.doc.ReleasePage(p.pageId);
        }
        EXPECT_EQ(pages[0] + pages[1] + pages[2] + pages[3], expected);
    }
}

TEST(TextFileDocumentDoubleByte, InvalidBytesBecomeReplacementCharacters) {
    // A lead byte before a line feed, bytes no character uses, the same broken pair across the
    // page end, and a lead byte with nothing after it.
    std::string bytes =
        "a\x81\nb\xFF"
        "c";
    bytes += std::string(4095 - bytes.size(), 'x') + "\x81\n" + "tail\x82";
    DeviceFiles files;
    for (int codePage : {932, 936, 949, 950}) {
        if (!IsKnownCodePage(codePage)) continue;
        Opened doc(files, bytes, codePage);
        std::u16string all = doc.All();
        EXPECT_EQ(all, Whole(bytes, codePage)) << codePage;
        EXPECT_EQ(std::count(all.begin(), all.end(), u'\n'), 2) << codePage;
        EXPECT_EQ(all.back(), u'\uFFFD');
        PlainTextTokenSource ts;
        ts.Attach(&doc.doc, 0);
        ts.Start(0, false);
        std::string dump = DumpTokens(ts);
        EXPECT_EQ(dump.back(), '$');
        EXPECT_NE(dump.find("'tail\\u65533'"), std::string::npos) << codePage;
    }
}

TEST(TextFileDocumentPages, SharedAndReleased) {
    DeviceFiles files;
    Opened doc(files, std::string(5000, 'z'));
    PageBuffer a, b, c;
    ASSERT_TRUE(doc.doc.ReadPage(10, a, 0, 0));
    ASSERT_TRUE(doc.doc.ReadPage(4000, b, 0, 0));
    EXPECT_EQ(a.pageId, b.pageId);
    EXPECT_EQ(a.text, b.text);
    ASSERT_TRUE(doc.doc.ReadPage(4500, c, 0, 0));
    EXPECT_NE(c.pageId, a.pageId);
    EXPECT_EQ(c.spanLength, 904u);
    doc.doc.ReleasePage(a.pageId);
    EXPECT_EQ(doc.doc.LivePageCount(), 2u);
    doc.doc.ReleasePage(b.pageId);
    doc.doc.ReleasePage(b.pageId);  // one release too many is ignored
    doc.doc.ReleasePage(999);
    EXPECT_EQ(doc.doc.LivePageCount(), 1u);
    doc.doc.ReleasePage(c.pageId);
    EXPECT_EQ(doc.doc.LivePageCount(), 0u);
    EXPECT_FALSE(doc.doc.ReadPage(5000, a, 0, 0));
    EXPECT_FALSE(doc.doc.ReadPage(7000, a, 0, 0));
    EXPECT_FALSE(doc.doc.ReadPage(0, a, 1, 0));
}

TEST(TextFileDocumentPositions, RoundTripThroughUtf8) {
    DeviceFiles files;
    std::string para = "<p>caf\xC3\xA9 \xE2\x82\xAC" "5 \xF0\x9F\x98\x80 na\xC3\xAFve</p>";
    std::string bytes = "\xEF\xBB\xBF<html><body>";
    while (bytes.size() < 9000) bytes += para;
    Opened doc(files, bytes);
    // Every character index maps to a byte position and back (the second half of a
    // surrogate pair has its character's position).
    PageBuffer page;
    ASSERT_TRUE(doc.doc.ReadPage(0, page, 0, 0));
    for (int32_t k = 0; k < 200; ++k) {
        uint32_t pos = doc.doc.Advance(0, k, 0);
        bool low = page.text[k] >= 0xDC00 && page.text[k] <= 0xDFFF;
        EXPECT_EQ(doc.doc.Distance(0, pos, 0), low ? k - 1 : k);
    }
    doc.doc.ReleasePage(page.pageId);
    // Restarting at the position of any token gives the same tokens from there.
    HtmlTokenizer t;
    t.Attach(&doc.doc, 0);
    t.Start(0, false);
    std::vector<uint32_t> positions;
    for (int i = 0; i < 400; ++i) {
        uint32_t p;
        t.GetPosition(p);
        if (t.NextToken() == kTokenEnd) break;
        if (i % 37 == 5) positions.push_back(p);
    }
    for (uint32_t p : positions) {
        HtmlTokenizer a, b;
        a.Attach(&doc.doc, 0);
        b.Attach(&doc.doc, 0);
        a.Start(p, false);
        b.Start(p, true);
        std::string x = DumpTokens(a, false, 30), y = DumpTokens(b, false, 30);
        EXPECT_EQ(x, y) << p;
        EXPECT_EQ(x.find("\\u65533"), std::string::npos) << x;
    }
}

// A page of UTF-8 that holds ASCII alone needs no map from its characters to its bytes; the
// others keep theirs. Either way every character's position is its first byte, and a page whose
// last byte begins a character ends with it.
TEST(TextFileDocumentPositions, AsciiPagesAndOthersGiveEachCharactersFirstByte) {
    struct Char {
        uint32_t at;
        char16_t c;
    };
    std::string bytes;
    std::vector<Char> chars;
    auto ascii = [&](int n) {
        for (int i = 0; i < n; ++i) {
            chars.push_back(
                {static_cast<uint32_t>(bytes.size()), static_cast<char16_t>(u'a' + i % 26)});
            bytes += static_cast<char>('a' + i % 26);
        }
    };
    auto wide = [&](const char* utf8, char16_t c) {
        chars.push_back({static_cast<uint32_t>(bytes.size()), c});
        bytes += utf8;
    };
    ascii(64);  // ASCII alone
    ascii(10);
    wide("\xC3\xA9", u'\u00e9');
    ascii(20);
    wide("\xC3\xA9", u'\u00e9');
    ascii(30);
    ascii(63);  // its last byte begins the euro sign
    wide("\xE2\x82\xAC", u'\u20ac');
    ascii(62);  // the sign's tail, then ASCII
    ascii(20);
    ASSERT_EQ(bytes.size(), 64u * 4 + 20);
    DeviceFiles files;
    Opened doc(files, bytes, 65001, 64);
    std::u16string expected;
    for (const Char& c : chars) expected += c.c;
    EXPECT_EQ(doc.All(), expected);
    size_t k = 0;
    for (uint32_t start = 0; start < doc.doc.GetLength(); start += 64) {
        PageBuffer page;
        ASSERT_TRUE(doc.doc.ReadPage(start, page, 0, 0));
        ASSERT_EQ(page.start, start);
        while (k < chars.size() && chars[k].at < start) ++k;
        for (uint32_t i = 0; i < page.length; ++i) {
            ASSERT_LT(k + i, chars.size());
            EXPECT_EQ(page.text[i], chars[k + i].c) << start << " " << i;
            EXPECT_EQ(doc.doc.Advance(start, static_cast<int32_t>(i), 0), chars[k + i].at)
                << start << " " << i;
            EXPECT_EQ(doc.doc.Distance(start, chars[k + i].at, 0), static_cast<int32_t>(i))
                << start << " " << i;
        }
        EXPECT_EQ(doc.doc.Advance(start, static_cast<int32_t>(page.length), 0),
                  start + page.spanLength);
        doc.doc.ReleasePage(page.pageId);
    }
}

// Links live on after the tag that made them (in the open elements a replay keeps at each of
// its checkpoints): their texts are their own, and the pages of the file they were read from
// are let go as the reading moves on, however many links it made.
TEST(TextFileDocumentPages, LinksReadFromPagesDoNotKeepThePages) {
    DeviceFiles files;
    std::string bytes = "\xEF\xBB\xBF<html><body>";
    for (int i = 0; i < 300; ++i) {
        const std::string n = std::to_string(i);
        bytes += "<p>caf\xC3\xA9 <a href=\"#t" + n + "\" name=\"n" + n + "\">link " + n + "</a></p>\n";
    }
    Opened doc(files, bytes, 1252, 64);
    HtmlTokenizer t;
    t.Attach(&doc.doc, 0);
    t.Start(0, false);
    std::vector<RefPtr<LinkTarget>> links;
    uint32_t mostLive = 0;
    for (uint32_t kind; (kind = t.NextToken()) != kTokenEnd;) {
        mostLive = std::max(mostLive, doc.doc.LivePageCount());
        bool isEnd = false, isEmpty = false;
        if (kind != kTokenTag || t.GetTag(isEnd, isEmpty) != kTagA || isEnd) continue;
        RefPtr<LinkTarget> link;
        ASSERT_TRUE(LinkTarget::FromElement(t, link));
        ASSERT_TRUE(link);
        links.push_back(link);
    }
    ASSERT_EQ(links.size(), 300u);
    auto u16 = [](const String& s) {
        return std::u16string(s.Data(), static_cast<size_t>(s.Length()));
    };
    EXPECT_EQ(u16(links[0]->text), u"#t0");
    EXPECT_EQ(u16(links[299]->name), u"n299");
    // The file is over 300 pages of 64 positions.
    EXPECT_LE(mostLive, 4u);
}

TEST(TextFileDocumentFiles, AnOwnedFileOpenedAgainIsKeptUntilClose) {
    DeviceFiles files;
    std::u16string path = files.Write("own.txt", "owned text");
    Text p;
    p.FromWide(path.c_str());
    auto* file = new File(p, File::kOpenForReading);
    ASSERT_TRUE(file->IsOpen());
    TextFileDocument doc;
    doc.Open(file, String(u"own.txt"), 1252, 65002, true, 0, 0xFFFFFFFFu);
    // Opening the document again over the file it owns must not free that file.
    doc.Open(file, String(u"own.txt"), 1252, 65002, true, 0, 0xFFFFFFFFu);
    PageBuffer page;
    ASSERT_TRUE(doc.ReadPage(0, page, 0, 0));
    EXPECT_EQ(std::u16string(page.text, page.length), u"owned text");
    doc.ReleasePage(page.pageId);
    doc.Close();  // the file goes here (the leak checker of the test build holds it to that)
}

TEST(TextFileDocumentMetadata, TitleOnly) {
    DeviceFiles files;
    Opened doc(files, "text");
    TargetRecord rec;
    EXPECT_TRUE(doc.doc.FindMetadata(u"Title", 5, 3, rec));
    EXPECT_EQ(Narrow(rec.value), "t.txt");
    EXPECT_FALSE(doc.doc.FindMetadata(u"Author", 6, 3, rec));
    EXPECT_FALSE(doc.doc.FindMetadata(u"Title", 5, 4, rec));
    String title;
    EXPECT_TRUE(doc.doc.GetTitle(title));
    EXPECT_EQ(Narrow(title), "t.txt");
}

// The check skips ASCII in steps: a byte that cannot be UTF-8, or a sequence left open, is
// found wherever it stands in a long ASCII run and in whichever piece it is fed.
TEST(CodePages, Utf8CheckFindsEveryByteInLongAsciiRuns) {
    const std::string ascii(100, 'a');
    for (size_t at = 0; at < 80; ++at) {
        auto check = [&](const std::string& inner, size_t piece) {
            std::string text = ascii;
            text.insert(at, inner);
            CodePage::Utf8Check c;
            bool ok = true;
            for (size_t i = 0; i < text.size() && ok; i += piece) {
                const size_t n = std::min(piece, text.size() - i);
                ok = c.Feed(reinterpret_cast<const uint8_t*>(text.data() + i), n);
            }
            return c.IsUtf8();
        };
        for (size_t piece : {size_t{7}, size_t{33}, size_t{4096}}) {
            EXPECT_TRUE(check("\xC3\xA9", piece)) << at << " " << piece;
            EXPECT_TRUE(check("\xF0\x9F\x98\x80", piece)) << at << " " << piece;
            EXPECT_FALSE(check("\xC3\xA9\xFF", piece)) << at << " " << piece;
            EXPECT_FALSE(check("\xC3\xA9\xA9", piece)) << at << " " << piece;  // stray continuation
            EXPECT_FALSE(check("\xE0\x80\xAF", piece)) << at << " " << piece;  // overlong
            EXPECT_FALSE(check("\xC3\xA9\xE2\x82", piece)) << at << " " << piece;  // unfinished
        }
    }
    // Nothing but ASCII is not taken for UTF-8.
    CodePage::Utf8Check c;
    EXPECT_TRUE(c.Feed(reinterpret_cast<const uint8_t*>(ascii.data()), ascii.size()));
    EXPECT_FALSE(c.IsUtf8());
}

uint32_t DeclaredIn(const std::string& page) {
    return CodePage::Declared(reinterpret_cast<const uint8_t*>(page.data()), page.size());
}

TEST(CodePages, DeclaredCharsetNamesAndNumberedFamilies) {
    EXPECT_EQ(DeclaredIn("<meta charset=\"utf-8\">"), 65001u);
    EXPECT_EQ(DeclaredIn("<meta charset=latin1>"), 1252u);  // read as 1252, which holds it
    EXPECT_EQ(DeclaredIn("<meta charset=\"Shift_JIS\">"), 932u);
    EXPECT_EQ(DeclaredIn("<meta charset=koi8-r>"), 20866u);
    // The numbered families, at both ends and one past them.
    EXPECT_EQ(DeclaredIn("<meta charset=windows-1250>"), 1250u);
    EXPECT_EQ(DeclaredIn("<meta charset=cp1258>"), 1258u);
    EXPECT_EQ(DeclaredIn("<meta charset=windows-1259>"), 0u);
    EXPECT_EQ(DeclaredIn("<meta charset=windows-1249>"), 0u);
    EXPECT_EQ(DeclaredIn("<meta charset=iso-8859-2>"), 28592u);
    EXPECT_EQ(DeclaredIn("<meta charset=iso_8859-15>"), 28605u);
    EXPECT_EQ(DeclaredIn("<meta charset=iso-8859-17>"), 0u);
}

TEST(CodePages, Choices) {
    EXPECT_EQ(CodePage::Choose(1252, 65002), 65002u);
    EXPECT_EQ(CodePage::Choose(1252, 65020), 65020u);
    EXPECT_EQ(CodePage::Choose(1252, 1250), 1252u);
    EXPECT_EQ(CodePage::Choose(65001, 1250), 1250u);
    EXPECT_TRUE(CodePage::NeedsConversion(65001, 65002, true));
    EXPECT_FALSE(CodePage::NeedsConversion(65001, 65002, false));
    EXPECT_FALSE(CodePage::NeedsConversion(1252, 65002, true));
    EXPECT_FALSE(CodePage::NeedsConversion(65002, 65002, true));
}

}  // namespace
