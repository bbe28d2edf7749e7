// The pagedump program: every page of a text and an HTML file forward and backward, the page
// text in page order, PNGs of the pages, and one line of error for what cannot be read.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/bookfiles/book_builder.h"

namespace {

struct PagedumpRun {
    int status = -1;
    std::string out;
};

// Standard error is kept after standard output.
PagedumpRun Pagedump(const std::string& arguments) {
    const char* binary = std::getenv("FOLIVANT_TEST_BINARY");
    std::string tool = std::string(binary ? binary : ".") + "/tests/support/layout/pagedump";
    PagedumpRun run;
    FILE* pipe = popen(("'" + tool + "' " + arguments + " 2>&1").c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class PagedumpTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("pagedump-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        std::string text;
        for (int p = 0; p < 40; ++p) {
            for (int w = 0; w < 30 + p % 9; ++w) text += (w + p) % 5 ? "ships " : "navires ";
            text += "\n\n";
        }
        Write("book.txt", text);
        Write("book.html",
              "<html><head><title>T</title></head><body><p>" + text + "</p></body></html>");
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    void Write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
    }
    std::string Path(const std::string& name) { return "'" + (dir_ / name).string() + "'"; }
    static int Count(const std::string& s, const std::string& what) {
        int n = 0;
        for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
        return n;
    }
    std::filesystem::path dir_;
};

TEST_F(PagedumpTest, EveryPageOfATextFileForwardAndBack) {
    PagedumpRun forward = Pagedump("--font box --text " + Path("book.txt"));
    ASSERT_EQ(forward.status, 0) << forward.out;
    int pages = Count(forward.out, "\f\n");
    EXPECT_GT(pages, 3);
    EXPECT_NE(forward.out.find("pages: " + std::to_string(pages) + "\n"), std::string::npos);
    PagedumpRun backward = Pagedump("--font box --text --backward " + Path("book.txt"));
    ASSERT_EQ(backward.status, 0) << backward.out;
    // Page order either way: the text starts with the first words.
    EXPECT_EQ(backward.out.substr(0, 20), forward.out.substr(0, 20));
    EXPECT_GE(Count(backward.out, "\f\n"), pages);
}

TEST_F(PagedumpTest, HtmlPagesAsPngs) {
    std::filesystem::create_directories(dir_ / "png");
    PagedumpRun run =
        Pagedump("--font box --size 200x160 --png " + Path("png") + " " + Path("book.html"));
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(std::filesystem::exists(dir_ / "png" / "page-0001.png"));
    EXPECT_TRUE(std::filesystem::exists(dir_ / "png" / "page-0002.png"));
    // The title is not page text.
    PagedumpRun text = Pagedump("--font box --text " + Path("book.html"));
    EXPECT_EQ(text.out.rfind("T\n", 0), std::string::npos);
}

// pagedump reads a file as the reader does: an HTML table without INLINE keeps its cells, a
// UTF-8 file is UTF-8, the reader's margins keep the text off the page's edge, and the PNG
// folder is made when missing.
TEST_F(PagedumpTest, FilesAreOpenedThroughTheReadersOwnResources) {
    Write("table.html",
          "<html><body><table><tr><td>first cell</td><td>second cell</td></tr></table>"
          "<p>after the table</p></body></html>");
    PagedumpRun table = Pagedump("--font box --text " + Path("table.html"));
    ASSERT_EQ(table.status, 0) << table.out;
    EXPECT_NE(table.out.find("first cell"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("second cell"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("after the table"), std::string::npos) << table.out;

    Write("utf8.txt", "stra\xC3\x9F" "e a\xF0\x9F\x98\x80" "b\n");
    PagedumpRun utf8 = Pagedump("--font box --text " + Path("utf8.txt"));
    ASSERT_EQ(utf8.status, 0) << utf8.out;
    EXPECT_NE(utf8.out.find("stra\xC3\x9F" "e a\xF0\x9F\x98\x80" "b\n"), std::string::npos) << utf8.out;

    // A book, read through the book resource.
    BookBuilder book;
    const std::string text = SampleText(6000);
    book.text.assign(text.begin(), text.end());
    book.fullName = "Sample";
    const Bytes bytes = book.Build();
    Write("sample.prc", std::string(bytes.begin(), bytes.end()));
    PagedumpRun prc = Pagedump("--font box --text " + Path("sample.prc"));
    ASSERT_EQ(prc.status, 0) << prc.out;
    EXPECT_GT(Count(prc.out, "\f\n"), 3);
    EXPECT_NE(prc.out.find(text.substr(0, 10)), std::string::npos) << prc.out.substr(0, 200);

    PagedumpRun png =
        Pagedump("--font box --size 120x120 --png " + Path("made/below") + " " + Path("book.txt"));
    ASSERT_EQ(png.status, 0) << png.out;
    EXPECT_TRUE(std::filesystem::exists(dir_ / "made" / "below" / "page-0001.png"));
}

// A reference manual's parameter tables: a term is its name in italic code and a colon, a word
// of two styles with no break inside, beside descriptions wider than the page. The term column
// is as narrow as its widest word allows, the word whole with its colon: never cut inside.
TEST_F(PagedumpTest, ATableCellsWordOfTwoStylesIsNeverCutInside) {
    auto term = [](const std::string& name, const std::string& text) {
        return "<tr><td><span class=\"term\"><i><tt>" + name + "</tt></i>:</span></td><td>" +
               text + "</td></tr>";
    };
    std::string html = "<html><head><title>Internals</title></head><body>";
    for (int f = 0; f < 6; ++f) {
        const std::string name = "xsltFunction" + std::to_string(f);
        html += "<div class=\"refsect2\"><h3><a name=\"" + name + "\"/>" + name +
                " ()</h3><pre class=\"programlisting\">int\t" + name +
                "\t(<a href=\"#ctxt\">xsltTransformContextPtr</a> ctxt, <br/>\t\t\t int nbsorts)"
                "<br/>\n</pre><p>Signature of the function to use during sorting.</p>"
                "<div class=\"variablelist\"><table border=\"0\"><col align=\"left\"/><tbody>" +
                term("ctxt", "an XSLT transformation context") +
                term("nbsorts", "the number of sorts the function is given, counted from one") +
                term("Returns", "the number of the slot, or -1 in case of an internal error") +
                "</tbody></table></div></div><hr/>";
    }
    Write("internals.html", html + "</body></html>");
    for (const char* options : {"", "--size 320x480", "--font box"}) {
        PagedumpRun run = Pagedump(std::string(options) + " --text " + Path("internals.html"));
        ASSERT_EQ(run.status, 0) << run.out;
        EXPECT_EQ(Count(run.out, "\nnbsorts:\n"), 6) << options << "\n" << run.out;
        EXPECT_EQ(Count(run.out, "\nReturns:\n"), 6) << options << "\n" << run.out;
    }
}

// --backward prints the pages as the backward steps showed them, in reading order: chapters that
// each start a page (the page before one ends at its break), nothing printed twice, every word
// printed, and the first page is the first page PageDown shows.
TEST_F(PagedumpTest, BackwardPrintsThePagesTheStepsShowed) {
    std::string html = "<html><body><h1>Contents</h1>";
    int n = 0;
    for (int c = 1; c <= 5; ++c) {
        html += "<h1>Part" + std::to_string(c) + "</h1><p>";
        for (int w = 0; w < 160; ++w) html += "w" + std::to_string(++n) + " ";
        html += "</p><ul>";
        for (int i = 0; i < 8; ++i) html += "<li>w" + std::to_string(++n) + "</li>";
        html += "</ul>";
    }
    Write("parts.html", html + "</body></html>");
    PagedumpRun forward = Pagedump("--font box --size 200x200 --text " + Path("parts.html"));
    ASSERT_EQ(forward.status, 0) << forward.out;
    PagedumpRun backward =
        Pagedump("--font box --size 200x200 --backward --text " + Path("parts.html"));
    ASSERT_EQ(backward.status, 0) << backward.out;
    auto pages = [](const std::string& out) {
        std::vector<std::string> list;
        size_t at = 0;
        for (size_t end; (end = out.find("\f\n", at)) != std::string::npos; at = end + 2)
            list.push_back(out.substr(at, end - at));
        return list;
    };
    const std::vector<std::string> down = pages(forward.out), up = pages(backward.out);
    ASSERT_GT(down.size(), 5u);
    ASSERT_GT(up.size(), 5u);
    EXPECT_EQ(up.front(), down.front());
    EXPECT_EQ(up.back(), down.back());
    EXPECT_NE(backward.out.find("pages: " + std::to_string(up.size()) + "\n"), std::string::npos);
    for (size_t i = 1; i < up.size(); ++i) EXPECT_NE(up[i], up[i - 1]) << "page " << i;
    for (int w = 1; w <= n; ++w) {
        const std::string word = "w" + std::to_string(w);
        EXPECT_TRUE(backward.out.find(word + " ") != std::string::npos ||
                    backward.out.find(word + "\n") != std::string::npos)
            << word << " is on no page";
    }
    // Each part's first page begins with its heading, as going forward.
    for (int c = 1; c <= 5; ++c) {
        const std::string heading = "Part" + std::to_string(c) + "\n";
        EXPECT_EQ(std::count(up.begin(), up.end(), std::string()), 0);
        bool starts = false;
        for (const std::string& p : up) starts |= p.rfind(heading, 0) == 0;
        EXPECT_TRUE(starts) << heading;
    }
}

TEST_F(PagedumpTest, WhatCannotBeReadIsOneLineOfError) {
    PagedumpRun missing = Pagedump(Path("missing.txt"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(Count(missing.out, "\n"), 1);
    PagedumpRun usage = Pagedump("--size 2x2 " + Path("book.txt"));
    EXPECT_EQ(usage.status, 1);
    Write("bad.pdb", std::string(100, '\x01'));
    PagedumpRun junk = Pagedump("--text " + Path("bad.pdb"));
    EXPECT_LE(junk.status, 1);
    // The file's folder is left as it was.
    int entries = 0;
    for (auto& e : std::filesystem::directory_iterator(dir_)) entries += e.exists() ? 1 : 0;
    EXPECT_EQ(entries, 3);
}

}  // namespace

namespace {

uint64_t Fnv64(const std::string& s) {
    uint64_t h = 14695981039346656037ull;
    for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
    return h;
}

// An index page of an API laid out as one table: long qualified names, wider than their cell,
// split at '.', '(' and in the middle.
std::string IndexTablePage(int rows) {
    const char* parts[] = {"reader", "layout", "PageLayoutListener", "document", "markup",
                           "HtmlTokenizer", "bookfiles", "AnnotationFile", "GraphicsContext"};
    const char* members[] = {"onPageChanged", "measureText", "findByUniqueId", "nextToken"};
    std::string html =
        "<html><head><title>Index</title></head><body><h1>Index</h1>"
        "<table border=\"0\" width=\"100%\" cellpadding=\"2\">\n";
    for (int row = 0; row < rows; ++row) {
        std::string name = std::string("org.folivant.") + parts[row % 9] + "." + parts[(row / 9) % 9];
        std::string member = std::string(members[row % 4]) + "(" + parts[(row * 7) % 9] + "_" +
                             std::to_string(row) + ")";
        html += "<tr><td valign=\"top\"><a href=\"" + name + ".html\"><code>" + name + "." +
                member + "</code></a></td><td>Method in class <a href=\"x.html\">" + name +
                "</a>: returns the value of " + parts[(row * 5) % 9] +
                " for the page shown, hyphenation and extraordinarily long words.</td></tr>\n";
    }
    return html + "</table></body></html>";
}

// Chapters of prose paragraphs in HTML, with italics and long words to hyphenate.
std::string ProseHtml(int chapters) {
    const char* words[] = {"the", "harbour", "was", "quiet", "when", "Ishmael", "walked",
                           "down,", "thinking", "of", "whales", "and", "extraordinarily",
                           "incomprehensible", "sea."};
    std::string html = "<html><head><title>Prose</title></head><body>";
    uint32_t seed = 5;
    for (int c = 1; c <= chapters; ++c) {
        html += "<h2>Chapter " + std::to_string(c) + "</h2>";
        for (int p = 0; p < 12; ++p) {
            html += "<p>";
            for (int w = 0; w < 70; ++w) {
                seed = seed * 1103515245u + 12345u;
                if (w == 30) html += "<i>";
                html += words[(seed >> 16) % 15];
                html += w == 33 ? "</i> " : " ";
            }
            html += "</p>\n";
        }
    }
    return html + "</body></html>";
}

}  // namespace

// The page texts of a page laid out as a table and of a prose book, as the build before the
// layout kept widths of characters and words per font gave them (digests of the whole output);
// the table's words measured whole on every page, not as a pass at other widths cut them, and
// every page of the table at the column widths measured once from its first rows (each page
// measured its own rows, and a page going back wrapped them otherwise), and a name linked before
// its colon measured as the one word it is (the name column was narrower, and such words were
// cut inside).
// Going back the prose book (short enough to be paged from its first page once) shows the pages
// paging forward shows, End's page the last of them: the same 218 pages in the other order.
TEST_F(PagedumpTest, PageTextsOfATablePageAndAProseBookStayAsTheyWere) {
    Write("index.html", IndexTablePage(120));
    BookBuilder book;
    const std::string prose = ProseHtml(12);
    book.text.assign(prose.begin(), prose.end());
    book.fullName = "Prose";
    book.compression = 2;
    const Bytes bytes = book.Build();
    Write("prose.prc", std::string(bytes.begin(), bytes.end()));
    struct Want {
        const char* file;
        const char* options;
        int pages;
        uint64_t digest;
    };
    for (const Want& w : {Want{"index.html", "", 93, 0x2ed7da136950ebb8ull},
                          Want{"index.html", "--size 320x480", 40, 0xe41aadad88572d5cull},
                          Want{"prose.prc", "", 218, 0x62bbb2b41acd4bc6ull},
                          Want{"prose.prc", "--backward", 218, 0x62bbb2b41acd4bc6ull}}) {
        PagedumpRun run = Pagedump(std::string(w.options) + " --text " + Path(w.file));
        ASSERT_EQ(run.status, 0) << run.out;
        EXPECT_EQ(Count(run.out, "\f\n"), w.pages) << w.file << " " << w.options;
        EXPECT_EQ(Fnv64(run.out), w.digest) << w.file << " " << w.options;
    }
}
