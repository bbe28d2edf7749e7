// The bookdump diagnostic, run as a program.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "support/bookfiles/book_builder.h"
#include "support/bookfiles/bookdump_run.h"
#include "support/bookfiles/index_fixture.h"

namespace {

using DumpRun = BookdumpRun;

DumpRun Bookdump(const std::string& arguments) {
    return RunBookdump(arguments);
}

// Everything under a folder, as relative paths.
std::set<std::string> Listing(const std::string& folder) {
    std::set<std::string> names;
    std::error_code ignored;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder, ignored))
        names.insert(std::filesystem::relative(e.path(), folder, ignored).string());
    return names;
}

class BookdumpTest : public ::testing::Test {
protected:
    void SetUp() override { folder_ = MakeTempFolder(); }
    void TearDown() override { (void)std::system(("rm -rf '" + folder_ + "'").c_str()); }
    std::string folder_;
};

TEST_F(BookdumpTest, TextIsExactlyTheBooksTextInUtf8) {
    std::string text = "first line\ncaf\xC3\xA9 \xE2\x82\xAC " + SampleText(9000);
    BookBuilder b;
    b.codePage = 65001;
    b.compression = 2;
    b.trailingFlags = 1;
    b.text = ToBytes(text);
    std::string path = folder_ + "/book.prc";
    ASSERT_TRUE(WriteFileBytes(path, b.Build()));
    DumpRun run = Bookdump("--text '" + path + "'");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, text);
}

// A text far longer than a page, of characters outside the basic plane at every offset: pages
// end between the halves of a pair, and the text still comes out whole and exact.
TEST_F(BookdumpTest, LongTextWithPairsAcrossPagesIsWhole) {
    std::string text;
    for (int i = 0; text.size() < 300000; ++i) {
        text += std::string(static_cast<std::size_t>(i % 7), 'x');
        text += "\xF0\x9F\x98\x80\xF0\x9D\x84\x9E";  // two pairs
        if (i % 50 == 0) text += "\n";
    }
    BookBuilder b;
    b.codePage = 65001;
    b.compression = 2;
    b.trailingFlags = 1;
    b.text = ToBytes(text);
    std::string path = folder_ + "/pairs.prc";
    ASSERT_TRUE(WriteFileBytes(path, b.Build()));
    DumpRun run = Bookdump("--text '" + path + "'");
    EXPECT_EQ(run.status, 0);
    ASSERT_EQ(run.out.size(), text.size());
    EXPECT_TRUE(run.out == text);
}

TEST_F(BookdumpTest, PalmDocTextAndHeaderListing) {
    BookBuilder b;
    b.palmDoc = true;
    b.compression = 2;
    b.databaseName = "Old Doc";
    b.text = ToBytes("caf\xE9 au lait");
    std::string path = folder_ + "/doc.pdb";
    ASSERT_TRUE(WriteFileBytes(path, b.Build()));
    DumpRun text = Bookdump("--text '" + path + "'");
    EXPECT_EQ(text.status, 0);
    EXPECT_EQ(text.out, "caf\xC3\xA9 au lait");
    DumpRun listing = Bookdump("'" + path + "'");
    EXPECT_EQ(listing.status, 0);
    EXPECT_NE(listing.out.find("name: Old Doc"), std::string::npos);
    EXPECT_NE(listing.out.find("creator: REAd"), std::string::npos);
    EXPECT_NE(listing.out.find("title: Old Doc"), std::string::npos);
}

TEST_F(BookdumpTest, UnopenableFileReportsItsErrorAndFails) {
    DumpRun missing = Bookdump("--text '" + folder_ + "/none.prc' 2>&1");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("error 11: file not found"), std::string::npos);
    std::string path = folder_ + "/junk.prc";
    ASSERT_TRUE(WriteFileBytes(path, ToBytes("junk")));
    DumpRun junk = Bookdump("--text '" + path + "' 2>&1");
    EXPECT_EQ(junk.status, 1);
    EXPECT_NE(junk.out.find("error 10"), std::string::npos);
}

TEST_F(BookdumpTest, IndexEntriesAndStoreRecords) {
    PdbBuilder pdb;
    pdb.Add(ToBytes("zero"));
    IndexWriter w = SampleDictionary();
    std::uint32_t id = 0;
    ASSERT_TRUE(AddIndexTable(w, &pdb, &id));
    ASSERT_TRUE(WriteFileBytes(folder_ + "/dict.pdb", pdb.Build()));
    DumpRun run = Bookdump("--index " + std::to_string(id) + " '" + folder_ + "/dict.pdb'");
    EXPECT_EQ(0, run.status);
    EXPECT_NE(std::string::npos, run.out.find("10 entries, code page 1252"));
    EXPECT_NE(std::string::npos, run.out.find("0 (1,0) apple 1=1\n"));
    EXPECT_EQ(1, Bookdump("--index 0 '" + folder_ + "/dict.pdb'").status);

    PdbBuilder side;
    side.type = "BPAR";
    Bytes bk(8 + 48, 0);
    std::copy_n("BKMK", 4, bk.begin());
    SetU32(bk, 4, 48);
    SetU32(bk, 8, 4);
    SetU32(bk, 12, 100);
    SetU32(bk, 16, 120);
    side.Add(bk);
    ASSERT_TRUE(WriteFileBytes(folder_ + "/a.fvt", side.Build()));
    run = Bookdump("--store '" + folder_ + "/a.fvt'");
    EXPECT_EQ(0, run.status);
    EXPECT_NE(std::string::npos, run.out.find("BKMK length 48 kind 4 range 100-120"));
}

TEST_F(BookdumpTest, LeavesTheFolderOfTheFileAsItWas) {
    BookBuilder b;
    b.text = ToBytes(SampleText(3000));
    ASSERT_TRUE(WriteFileBytes(folder_ + "/book.prc", b.Build()));
    PdbBuilder side;
    side.type = "BPAR";
    ASSERT_TRUE(WriteFileBytes(folder_ + "/book.fvt", side.Build()));
    const std::set<std::string> before = Listing(folder_);
    ASSERT_EQ(2u, before.size());
    const std::string book = " '" + folder_ + "/book.prc'";
    EXPECT_EQ(0, Bookdump(book).status);
    EXPECT_EQ(0, Bookdump("--text" + book).status);
    EXPECT_EQ(1, Bookdump("--index 0" + book + " 2>/dev/null").status);
    EXPECT_EQ(0, Bookdump("--store '" + folder_ + "/book.fvt'").status);
    EXPECT_EQ(1, Bookdump("'" + folder_ + "/none.prc' 2>/dev/null").status);
    EXPECT_EQ(1, Bookdump("'" + folder_ + "' 2>/dev/null").status);  // a folder is no file
    EXPECT_EQ(before, Listing(folder_));
}

}  // namespace

namespace {

// An English dictionary book: "mice" is a form of "mouse", "walked" reaches "walk" by the ending
// rules, and the spelling alphabet proposes corrections. The default table's header record goes
// to `words`.
Bytes LookupBook(std::uint32_t* words) {
    std::uint32_t ids[2] = {};
    Bytes bytes;
    for (int pass = 0; pass < 2; ++pass) {  // the first pass learns where the tables land
        BookBuilder b;
        b.text = ToBytes("<html><body>words</body></html>");
        b.tables[0] = ids[0];
        b.tables[5] = ids[1];
        PdbBuilder pdb = b.BuildDatabase();
        IndexWriter w;
        for (const char16_t* k : {u"mouse", u"walk", u"bank", u"cat"}) w.Add(k, {{1, {0}}});
        for (char16_t c = u'a'; c <= u'z'; ++c) w.alphabet.push_back(c);
        EXPECT_TRUE(AddIndexTable(w, &pdb, &ids[0]));
        IndexWriter forms;
        forms.Add(u"mice", {{1, {w.SortedNumbers()[0]}}});
        EXPECT_TRUE(AddIndexTable(forms, &pdb, &ids[1]));
        bytes = pdb.Build();
    }
    *words = ids[0];
    return bytes;
}

TEST_F(BookdumpTest, LookupPrintsExactInflectedAndCandidateHits) {
    std::uint32_t words = 0;
    const std::string path = folder_ + "/dict.prc";
    ASSERT_TRUE(WriteFileBytes(path, LookupBook(&words)));
    auto lookup = [&](const std::string& word) {
        return Bookdump("--lookup '" + word + "' '" + path + "'");
    };
    DumpRun exact = lookup("cat");
    EXPECT_EQ(0, exact.status);
    EXPECT_EQ("exact 1 cat\n", exact.out);
    EXPECT_EQ("inflected 2 mouse\n", lookup("mice").out);
    EXPECT_EQ("inflected 3 walk\n", lookup("walked").out);
    EXPECT_EQ("candidate 0 bank\n", lookup("bamk").out);
    DumpRun none = lookup("qqqqqqqq");
    EXPECT_EQ(0, none.status);  // the book was read
    EXPECT_EQ("", none.out);
}

TEST_F(BookdumpTest, LookupByKeyInOneTable) {
    std::uint32_t words = 0;
    const std::string path = folder_ + "/dict.prc";
    ASSERT_TRUE(WriteFileBytes(path, LookupBook(&words)));
    const std::string table = " --index " + std::to_string(words) + " '" + path + "'";
    EXPECT_EQ("2 match\n", Bookdump("--lookup mouse" + table).out);
    EXPECT_EQ("2 no match\n", Bookdump("--lookup mice" + table).out);  // by key only
    EXPECT_EQ("-1 no match\n", Bookdump("--lookup zoo" + table).out);
    DumpRun notATable = Bookdump("--lookup cat --index 0 '" + path + "'");
    EXPECT_EQ(1, notATable.status);
    DumpRun missing = Bookdump("--lookup cat '" + folder_ + "/none.prc' 2>/dev/null");
    EXPECT_EQ(1, missing.status);
}

}  // namespace
