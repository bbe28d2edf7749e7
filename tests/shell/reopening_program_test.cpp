// Reopening an HTML file where the reader left it, in the program itself: the page shown after
// the restart is the page that was shown when the reader quit, also where that page starts
// inside a word the page before hyphenated right after a long comment, and where it starts
// inside a listing's line whose TABs line its columns up, and where it was found going back
// (it ends where the page after it starts, with room for more; and the pages after it, which
// paging back found too, show as they did before the reader quit, with the position bar shown
// too), also where it starts inside a word of non-breaking spaces or at the word of a code name
// (an API manual); and in every encoding a file may have. A file's or a book's page inside a long table comes back with its rows laid out as
// a table, and the pages after it go on through the table and the prose after it as paging
// forward showed them.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "shell/program_runs.h"
#include "support/bookfiles/book_builder.h"
#include "support/document/seeded_words.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

// Paragraphs of long words, a third of them after a comment as long as a page's text (notes an
// author left in the markup).
std::string CommentedProse() {
    static const char* const kWords[] = {"extraordinarily",
                                         "unquestionably",
                                         "incomprehensibilities",
                                         "counterrevolutionaries",
                                         "the",
                                         "light",
                                         "a",
                                         "characteristically",
                                         "internationalization"};
    SeededWords words(kWords, 7);
    std::string html = "<html><head><title>Notes</title></head><body>";
    for (int p = 0; p < 40; ++p) {
        html += "<p>";
        for (int i = 0; i < 40; ++i) {
            const std::uint32_t drawn = words.Draw();
            if ((drawn >> 8) % 3 == 0) html += "<!--" + std::string(300, 'c') + "-->";
            html += words.WordOf(drawn);
            html += ' ';
        }
        html += "</p>\n";
    }
    return html + "</body></html>";
}

// Leaves eBooks/`name`.html after `steps` from its first page, opens it again and expects the
// page shown to be the page that was left (`when` says which in a failure).
void ExpectReopenedAsLeft(const TempDevice& device, const std::string& name,
                          const std::string& steps, const std::string& when,
                          const std::vector<std::string>& env = {}) {
    const std::string book = "\\storage\\eBooks\\" + name + ".html";
    const std::string left = device.OutsidePath("left.txt");
    const std::string back = device.OutsidePath("back.txt");
    std::filesystem::remove(device.Host("storage/eBooks/" + name + ".fvt"));  // from page 1
    ProgramResult run = RunSteps(device, {book}, steps + "pagetext " + left + "\nquit\n", env);
    ASSERT_EQ(run.status, 0) << run.Describe();
    run = RunSteps(device, {book}, "idle\npagetext " + back + "\nquit\n", env);
    ASSERT_EQ(run.status, 0) << run.Describe();
    const std::string shown = Joined(ReadLines(left));
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(Joined(ReadLines(back)), shown) << when;
}

// `n` presses of the key `code`, the program idle after each.
std::string Presses(const std::string& code, int n) {
    std::string steps;
    for (int i = 0; i < n; ++i) steps += "key " + code + "\nidle\n";
    return steps;
}

TEST(Reopening, AnHtmlPageAfterALongCommentComesBackAsItWasLeft) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/notes.html", CommentedProse());
    int compared = 0;
    for (int turns = 1; turns <= 25; ++turns) {
        ASSERT_NO_FATAL_FAILURE(ExpectReopenedAsLeft(device, "notes",
                                                     "idle\n" + Presses("0x22", turns),
                                                     "after " + std::to_string(turns) + " pages"));
        ++compared;
    }
    EXPECT_EQ(compared, 25);
}

// An API manual's prose: code names, some longer than a small screen's line, amid ordinary
// words, so that pages begin at the word of a code name and long words get hyphenated after a
// name cut at a line's end.
std::string ApiProse() {
    static const char* const kWords[] = {"<code>module</code>",
                                         "<code>module.syncBuiltinESMExports()</code>",
                                         "<code>require()</code>",
                                         "<code>module.exports</code>,",
                                         "returns",
                                         "specific",
                                         "explicitly",
                                         "exported",
                                         "the",
                                         "is",
                                         "available",
                                         "<em>only</em>"};
    SeededWords words(kWords, 11);
    std::string html = "<html><head><title>Modules</title></head><body>";
    for (int section = 1; section <= 12; ++section) {
        html += "<h3><code>module.createRequire(filename)</code></h3>";
        for (int p = 0; p < 2; ++p) html += "<p>" + words.Words(45) + ".</p>\n";
    }
    return html + "</body></html>";
}

TEST(Reopening, AnApiPageStartingAtACodeNameComesBackAsPagingShowedIt) {
    for (const char* screen : {"240x320", "480x640@192"}) {
        TempDevice device;
        ASSERT_TRUE(device.ok());
        device.WriteHost("storage/eBooks/modules.html", ApiProse());
        // Pages found going back from the end begin where a line of the paragraph begins.
        for (int turns = 1; turns <= 14; ++turns)
            ASSERT_NO_FATAL_FAILURE(ExpectReopenedAsLeft(
                device, "modules", "idle\nkey 0x23\nidle\n" + Presses("0x21", turns),
                std::string(screen) + " " + std::to_string(turns) + " pages before the end",
                {std::string("FOLIVANT_SCREEN=") + screen}));
    }
}

// A protocol description: tables of fields as listings, TAB-separated, their lines longer than
// the screen is wide, between paragraphs.
std::string Listings() {
    std::string html = "<html><head><title>Protocol</title></head><body>";
    for (int section = 1; section <= 30; ++section) {
        html += "<h2>Request " + std::to_string(section) +
                "</h2><p>The request carries the "
                "fields below, in this order, each aligned on its word boundary.</p><pre>";
        for (int field = 1; field <= 6; ++field)
            html += "\t" + std::to_string(field) + "\tCARD" + std::to_string(8 * field) +
                    "\t\tid of the device named in the change request " + std::to_string(section) +
                    "\n";
        html += "</pre>";
    }
    return html + "</body></html>";
}

TEST(Reopening, AnHtmlPageInsideAListingComesBackWithItsColumns) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/protocol.html", Listings());
    for (int turns = 1; turns <= 20; ++turns)
        ASSERT_NO_FATAL_FAILURE(ExpectReopenedAsLeft(device, "protocol",
                                                     "idle\n" + Presses("0x22", turns),
                                                     "after " + std::to_string(turns) + " pages"));
}

// The words of a cryptography library's manual.
const char* const kManualWords[] = {"nettle", "counter", "variant", "cipher", "block",
                                    "mode",   "the",     "key",     "length", "of",
                                    "a",      "message", "digest"};

// A manual as its tools write one: chapters under a line of navigation links and a rule,
// paragraphs and an example each, footnotes at the end.
std::string Manual() {
    SeededWords words(kManualWords, 3);
    std::string html = "<html><head><title>Manual</title></head><body>";
    for (int chapter = 1; chapter < 25; ++chapter) {
        html +=
            "<div class=\"chapter\"><div class=\"header\"><p>Next: <a href=\"#n\">Next</a>, "
            "Previous: <a href=\"#p\">Prev</a>, Up: <a href=\"#t\">Top</a> &nbsp; [<a "
            "href=\"#c\">Contents</a>][<a href=\"#i\">Index</a>]</p></div><hr>";
        html += "<h3 class=\"section\">" + std::to_string(chapter) + " Section</h3>";
        for (int p = 0; p < 4; ++p) html += "<p>" + words.Words(35) + "</p>";
        html += "<pre class=\"example\">" + words.Words(6) + "\n  ";
        html += words.Words(5) + "\n</pre></div>";
    }
    html +=
        "<div class=\"footnotes-segment\"><hr><h4 class=\"footnotes-heading\">Footnotes</h4>"
        "<h5><a id=\"f1\">(1)</a></h5><p>" +
        words.Words(30) + "</p></div>";
    return html + "</body></html>";
}

// End, then 1 to `most` PageUps, quitting there: reopening shows the page that was left.
void ExpectPagesFoundGoingBackReopen(const std::string& name, const std::string& html, int most) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/" + name + ".html", html);
    for (int ups = 1; ups <= most; ++ups)
        ASSERT_NO_FATAL_FAILURE(
            ExpectReopenedAsLeft(device, name, "idle\nkey 0x23\nidle\n" + Presses("0x21", ups),
                                 "after End and " + std::to_string(ups) + " PageUps"));
}

TEST(Reopening, AnHtmlPageFoundGoingBackComesBackEndingWhereItDid) {
    ExpectPagesFoundGoingBackReopen("manual", Manual(), 8);
}

// A manual whose references are literal layouts: each line one word of non-breaking spaces,
// longer than the screen is wide, so that pages end inside them.
std::string References() {
    SeededWords seeded(kManualWords, 3);
    auto words = [&](int n, const char* between) { return seeded.Words(n, between); };
    const char* const nbsp = "&#160;";
    std::string html = "<html><head><title>Manual</title></head><body>";
    for (int section = 1; section < 10; ++section) {
        html += "<h2>" + std::to_string(section) + " Section</h2>";
        for (int p = 0; p < 4; ++p) html += "<p>" + words(35, " ") + "</p>";
    }
    html += "<h2>References</h2><p>Four documents describe the ideas:</p>";
    for (int r = 0; r < 8; ++r) {
        html += "<div class=\"literallayout\"><p>";
        for (int e = 0; e < 4; ++e) {
            const std::string n = std::to_string(e);
            html += "Author" + n + "&#160;and&#160;Another&#160;Writer<br>\n";
            html += "&#160;&#160;\"" + words(8, nbsp) + "\"<br>\n";
            html += "&#160;&#160;&#160;" + words(10, nbsp) + "<br>\n";
            html += "&#160;&#160;&#160;ftp://ftp.example.org/pub/reports/" + words(2, "-") +
                    "/paper-" + n + ".ps.gz<br>\n<br>\n";
        }
        html += "</p></div><p>" + words(20, " ") + "</p>";
    }
    return html + "</body></html>";
}

// A page that starts inside a word of non-breaking spaces (the page before it cut the word)
// comes back starting there, not after the part of the word read with its first reference.
TEST(Reopening, APageStartingInsideAWordOfNonBreakingSpacesComesBackAsItWasLeft) {
    ExpectPagesFoundGoingBackReopen("references", References(), 8);
}

// Steps from the first page: End, then PageUps.
std::string EndAndPageUps(int ups) { return "idle\nkey 0x23\nidle\n" + Presses("0x21", ups); }

const char* const kApiWords[] = {"the",    "value",  "of",     "a",     "function",   "returns",
                                 "object", "with",   "status", "and",   "callback",   "invoked",
                                 "under",  "thread", "safe",   "count", "environment"};

// An API reference as its generator writes one: per function a heading holding its name and a
// link mark, a line of version notes, the synopsis as a listing with a copy button, its
// arguments as a list of code names, and two paragraphs. Headings, listing lines and list
// items differ in height, so a page found going back can have room for one line more.
std::string ApiReference() {
    SeededWords words(kApiWords, 5);
    auto some = [&](uint32_t least, uint32_t spread) {
        return words.Words(static_cast<int>(least + words.Draw() % spread));
    };
    std::string html = "<html><head><title>API</title></head><body>";
    for (int f = 0; f < 200; ++f) {
        const std::string name = "napi_call_function_" + std::to_string(f);
        html += "<h4><code>" + name + "</code><span><a class=\"mark\" href=\"#" + name +
                "\">#</a></span></h4><div class=\"api_metadata\"><span>Added in: v10.6.0</span> "
                "<span>N-API version: 4</span></div>";
        html += "<pre><code>NAPI_EXTERN napi_status\n" + name +
                "(node_api_env env,\n                  napi_value recv, size_t argc);</code>"
                "<button>copy</button></pre><ul>";
        for (uint32_t a = 2 + words.Draw() % 3; a > 0; --a) {
            const std::string argument = words.Words(1);
            html += "<li>[in] <code>" + argument + "</code>: " + some(5, 10) + ".</li>";
        }
        const std::string before = some(10, 20), term = words.Words(1), after = some(5, 20);
        html += "</ul><p>Returns <code>napi_ok</code> if the API succeeded.</p><p>" + before +
                " <code>" + term + "</code> " + after + ".</p>";
    }
    return html + "</body></html>";
}

// End and `ups` PageUps, then two PageDowns, in one run and across a restart on the page the
// PageUps reached: the pages after it show as they did before the reader quit. With `bar`, the
// position bar is shown, and the reader quits on that page reached again by two PageUps after
// the PageDowns (`ups` leaves two pages to go down to).
void ExpectPagesAfterAPageFoundGoingBack(const std::string& name, const std::string& html,
                                         std::initializer_list<int> upsToTry, bool bar) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/" + name + ".html", html);
    const std::string book = "\\storage\\eBooks\\" + name + ".html";
    const std::string sideFile = device.Host("storage/eBooks/" + name + ".fvt");
    auto file = [&](const std::string& f) { return device.OutsidePath(f); };
    auto page = [&](const std::string& f) { return Joined(ReadLines(file(f))); };
    if (bar) {
        // The bar is a setting of the reader: it stays on for every run after this one.
        ProgramResult run = RunSteps(device, {book}, "idle\nmenu 40172\nidle\nquit\n");
        ASSERT_EQ(run.status, 0) << run.Describe();
    }
    for (int ups : upsToTry) {
        // Without quitting: the page PageUps reached and the two PageDowns after it.
        std::filesystem::remove(sideFile);
        ProgramResult run = RunSteps(device, {book},
                                     EndAndPageUps(ups) + "pagetext " + file("left0.txt") +
                                         "\nkey 0x22\nidle\npagetext " + file("left1.txt") +
                                         "\nkey 0x22\nidle\npagetext " + file("left2.txt") +
                                         "\nkey 0x21\nidle\n" + "key 0x21\nidle\nquit\n");
        ASSERT_EQ(run.status, 0) << run.Describe();
        // Quitting on the page PageUps reached, and PageDown after reopening.
        if (!bar) {  // quitting on the page the first PageUps reached
            std::filesystem::remove(sideFile);
            run = RunSteps(device, {book}, EndAndPageUps(ups) + "quit\n");
            ASSERT_EQ(run.status, 0) << run.Describe();
        }
        run = RunSteps(device, {book},
                       "idle\npagetext " + file("back0.txt") + "\nkey 0x22\nidle\npagetext " +
                           file("back1.txt") + "\nkey 0x22\nidle\npagetext " + file("back2.txt") +
                           "\nquit\n");
        ASSERT_EQ(run.status, 0) << run.Describe();
        for (const char* k : {"0", "1", "2"}) {
            const std::string shown = page(std::string("left") + k + ".txt");
            ASSERT_FALSE(shown.empty());
            EXPECT_EQ(page(std::string("back") + k + ".txt"), shown)
                << name << (bar ? " with the bar" : "") << ", after End and " << ups << " PageUps, "
                << k << " PageDowns";
        }
    }
}

TEST(Reopening, PagesAfterAPageFoundGoingBackShowAsBeforeQuitting) {
    ExpectPagesAfterAPageFoundGoingBack("references", References(), {7, 11, 12}, false);
}

// With the position bar the page is first laid out for the whole screen, then for the room
// the bar leaves: the pages after the one reopened still end where paging back ended them.
TEST(Reopening, PagesAfterAPageFoundGoingBackShowAsBeforeQuittingWithTheBar) {
    ExpectPagesAfterAPageFoundGoingBack("references", References(), {5, 7, 11, 12}, true);
    ExpectPagesAfterAPageFoundGoingBack("api", ApiReference(), {14, 35}, true);
}

// `downs` PageDowns from the first page, then `ups` PageUps with the page text written after
// each into `prefix`N.txt, quitting between the two when `reopen` is set.
void PageDownThenUp(const TempDevice& device, const std::string& book, int downs, int ups,
                    bool reopen, const std::string& prefix) {
    std::string back;
    for (int i = 0; i < ups; ++i)
        back +=
            "key 0x21\nidle\npagetext " + device.OutsidePath(prefix + std::to_string(i)) + ".txt\n";
    const std::string down = "idle\n" + Presses("0x22", downs);
    ProgramResult run = RunSteps(device, {book}, down + (reopen ? "" : back) + "quit\n");
    ASSERT_EQ(run.status, 0) << run.Describe();
    if (!reopen) return;
    run = RunSteps(device, {book}, "idle\n" + back + "quit\n");
    ASSERT_EQ(run.status, 0) << run.Describe();
}

// PageUp after reopening a book shows the pages PageDown showed before the reader quit, as it
// does without quitting: the pages of a manual split at chapter heads and examples, whose pages
// found going back from an estimate split elsewhere.
TEST(Reopening, PageUpAfterReopeningShowsThePagesPageDownShowed) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/manual.html", Manual());
    const std::string book = "\\storage\\eBooks\\manual.html";
    const std::string sideFile = device.Host("storage/eBooks/manual.fvt");
    auto page = [&](const std::string& name) {
        return Joined(ReadLines(device.OutsidePath(name + ".txt")));
    };
    constexpr int kUps = 4;
    for (int downs : {6, 13, 21, 30}) {
        std::filesystem::remove(sideFile);
        ASSERT_NO_FATAL_FAILURE(PageDownThenUp(device, book, downs, kUps, false, "session"));
        std::filesystem::remove(sideFile);
        ASSERT_NO_FATAL_FAILURE(PageDownThenUp(device, book, downs, kUps, true, "reopened"));
        for (int i = 0; i < kUps; ++i) {
            const std::string shown = page("session" + std::to_string(i));
            ASSERT_FALSE(shown.empty());
            EXPECT_EQ(page("reopened" + std::to_string(i)), shown)
                << "after " << downs << " PageDowns, reopening and " << i + 1 << " PageUps";
        }
    }
}

// Prose with accented words, written as Latin-1 bytes (the characters' own codes).
std::string AccentedProse() {
    static const char* const kWords[] = {"caf\xE9",  "stra\xDF\x65", "f\xFChrt", "na\xEFve",
                                         "the",      "light",        "\xE0",      "d\xE9j\xE0",
                                         "gar\xE7on",   "keeper",       "\xE9t\xE9", "r\xF4le"};
    SeededWords words(kWords, 11);
    std::string html = "<html><head><title>Prose</title></head><body>";
    for (int p = 0; p < 60; ++p) html += "<p>" + words.Words(45) + "</p>\n";
    return html + "</body></html>";
}

// The Latin-1 text in an encoding a file may have: "1252" as it is, "utf-8" and the two
// UTF-16 orders after their byte-order marks.
std::string Encoded(const std::string& latin1, const std::string& encoding) {
    if (encoding == "1252") return latin1;
    std::string out = encoding == "utf-8" ? "\xEF\xBB\xBF" : encoding == "utf-16le" ? "\xFF\xFE" : "\xFE\xFF";
    for (const char ch : latin1) {
        const auto c = static_cast<unsigned char>(ch);
        if (encoding == "utf-8") {
            if (c < 0x80) out += static_cast<char>(c);
            else out += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
        } else if (encoding == "utf-16le") {
            out += {static_cast<char>(c), '\0'};
        } else {
            out += {'\0', static_cast<char>(c)};
        }
    }
    return out;
}

// Whether its characters take a byte, one to three or two, a file shows the same pages, and
// comes back where the reader left it: a page's start is its position in the file's own units.
TEST(Reopening, AFileComesBackAsItWasLeftInEachEncoding) {
    const std::string latin1 = AccentedProse();
    std::string firstPages;
    for (const std::string encoding : {"1252", "utf-8", "utf-16le", "utf-16be"}) {
        TempDevice device;
        ASSERT_TRUE(device.ok());
        device.WriteHost("storage/eBooks/prose.html", Encoded(latin1, encoding));
        std::string steps = "idle\n";
        for (int i = 0; i < 12; ++i)
            steps += "pagetext " + device.OutsidePath("p" + std::to_string(i) + ".txt") + "\n" +
                     Presses("0x22", 1);
        ProgramResult run = RunSteps(device, {"\\storage\\eBooks\\prose.html"}, steps + "quit\n");
        ASSERT_EQ(run.status, 0) << run.Describe();
        std::string pages;
        for (int i = 0; i < 12; ++i)
            pages += Joined(ReadLines(device.OutsidePath("p" + std::to_string(i) + ".txt"))) + "\f";
        ASSERT_NE(pages.find("caf\xC3\xA9"), std::string::npos) << encoding;
        if (firstPages.empty()) firstPages = pages;
        EXPECT_EQ(pages, firstPages) << encoding;
        for (int turns : {1, 5, 11})
            ASSERT_NO_FATAL_FAILURE(ExpectReopenedAsLeft(
                device, "prose", "idle\n" + Presses("0x22", turns),
                encoding + " after " + std::to_string(turns) + " pages"));
        ASSERT_NO_FATAL_FAILURE(
            ExpectReopenedAsLeft(device, "prose", EndAndPageUps(3), encoding + " near the end"));
    }
}

// A price list between two chapters of prose: a bordered table of three columns, far longer
// than a page, its cells with inline markup; markup after the last word.
std::string PriceList(int rows = 30) {
    SeededWords words(kManualWords, 9);
    std::string html = "<html><head><title>Prices</title></head><body><h2>Before</h2>";
    for (int p = 0; p < 3; ++p) html += "<p>" + words.Words(40) + "</p>\n";
    html +=
        "<table border=\"1\" width=\"100%\"><tr><th>Item</th><th>Notes</th><th>Price</th></tr>\n";
    for (int row = 1; row <= rows; ++row) {
        html +=
            "<tr><td>item" + std::to_string(row) + "</td><td>" + words.Words(2 + row % 5) + " <b>";
        html += words.Words(1) + "</b></td><td align=\"right\">" + std::to_string(row * 7) +
                ".50</td></tr>\n";
    }
    html += "</table><h2>After</h2>";
    for (int p = 0; p < 3; ++p) html += "<p>" + words.Words(40) + "</p>\n";
    return html + "<p>the end</p><div class=\"footer\"><hr></div></body></html>";
}

// The price list as a compressed markup book.
std::string PriceListBook(int rows) {
    BookBuilder book;
    const std::string text = PriceList(rows);
    book.text.assign(text.begin(), text.end());
    book.compression = 2;
    book.type = 2;
    const Bytes bytes = book.Build();
    return std::string(bytes.begin(), bytes.end());
}

// Pages inside the table left and reopened: each comes back as paging forward showed it, rows
// laid out as a table, and PageDown from it shows the pages paging forward showed after it, to
// the prose after the table, with no text lost or repeated.
void ExpectTablePagesReopen(const std::string& file, const std::string& contents) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/" + file, contents);
    const std::string book = "\\storage\\eBooks\\" + file;
    const std::string sideFile =
        device.Host("storage/eBooks/" + file.substr(0, file.rfind('.')) + ".fvt");
    const std::string folder = device.OutsidePath("");
    auto page = [&](const std::string& name) {
        return Joined(ReadLines(device.OutsidePath(name + ".txt")));
    };
    constexpr int kPages = 40;
    std::filesystem::remove(sideFile);
    ProgramResult run = RunSteps(
        device, {book},
        "idle\n" + ::fvt::test::Presses("0x22", kPages, "forward", PageTextIn(folder)) + "quit\n");
    ASSERT_EQ(run.status, 0) << run.Describe();
    std::vector<std::string> forward;
    for (int i = 0; i < kPages; ++i) forward.push_back(page("forward" + std::to_string(i)));
    auto inTable = [](const std::string& shown) { return shown.find("item") != std::string::npos; };
    auto pastTable = [](const std::string& shown) {
        return shown.find("After") != std::string::npos;
    };
    int after = 0;
    while (after < kPages && !pastTable(forward[after])) ++after;
    ASSERT_LT(after, kPages - 2) << "the prose after the table is not reached";
    int reopened = 0;
    for (int turns = 1; turns < after; ++turns) {
        if (!inTable(forward[turns - 1]) || !inTable(forward[turns])) continue;
        const int downs = after + 2 - turns;
        std::filesystem::remove(sideFile);
        run = RunSteps(device, {book}, "idle\n" + Presses("0x22", turns) + "quit\n");
        ASSERT_EQ(run.status, 0) << run.Describe();
        run = RunSteps(device, {book},
                       "idle\n" +
                           ::fvt::test::Presses("0x22", downs + 1, "back", PageTextIn(folder)) +
                           "quit\n");
        ASSERT_EQ(run.status, 0) << run.Describe();
        for (int i = 0; i <= downs; ++i)
            EXPECT_EQ(page("back" + std::to_string(i)), forward[turns + i])
                << file << ": left after " << turns << " pages, " << i
                << " PageDowns after reopening";
        ++reopened;
    }
    EXPECT_GE(reopened, 3) << file;
}

TEST(Reopening, APageInsideATableComesBackAsATableAndPagingGoesOnPastIt) {
    ASSERT_NO_FATAL_FAILURE(ExpectTablePagesReopen("prices.html", PriceList()));
    // Tables ending at different places on their last page: on some, the rows the page
    // before read ahead end the table.
    for (int rows = 30; rows <= 35; ++rows)
        ASSERT_NO_FATAL_FAILURE(
            ExpectTablePagesReopen("prices" + std::to_string(rows) + ".prc", PriceListBook(rows)));
}

}  // namespace
}  // namespace fvt::test
