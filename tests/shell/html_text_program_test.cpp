// Real-world HTML as a reader meets it, through the program on a headless device: bare angle
// brackets in text, soft hyphens, web addresses and identifiers in narrow lines, a long head
// before the body, the colours of cell borders and of BODY, and the arrows of a scrollable
// table after taps. Fixtures are written here; the pages are read back as text or pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "shell/program_runs.h"
#include "support/bookfiles/book_builder.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

const std::vector<std::string> kBoxFonts = {"FOLIVANT_FONTS=box"};

// Opens the HTML file and writes the text of its first `pages` pages (PageDown between them);
// the page texts, in order.
std::vector<std::vector<std::string>> Pages(const std::string& html, int pages,
                                            const std::vector<std::string>& env = {}) {
    TempDevice device;
    EXPECT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/page.htm", html);
    const std::string o = device.outside() + "/";
    const std::string steps = "idle\n" + Presses("0x22", pages, "p", PageTextIn(o));
    const ProgramResult run = RunSteps(device, {"\\storage\\eBooks\\page.htm"}, steps + "quit\n", env);
    EXPECT_EQ(run.status, 0) << ReadFile(o + "errors.txt");
    return ReadPageTexts(o, "p", pages);
}

// The first screen of the HTML file.
Picture Shot(const std::string& html, const std::vector<std::string>& env = kBoxFonts) {
    TempDevice device;
    EXPECT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/page.htm", html);
    const std::string o = device.outside() + "/";
    const ProgramResult run = RunSteps(device, {"\\storage\\eBooks\\page.htm"},
                                       "idle\nscreenshot " + o + "shot.png\nquit\n", env);
    EXPECT_EQ(run.status, 0) << ReadFile(o + "errors.txt");
    return ReadPicture(o + "shot.png");
}

std::string Words(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& l : lines) all += (all.empty() ? "" : " ") + l;
    return all;
}

// Colours as the screen gives them back (near: within the screen's colour depth).
struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& o) const {
        return std::abs(r - o.r) <= 8 && std::abs(g - o.g) <= 8 && std::abs(b - o.b) <= 8;
    }
};
Rgb ColourAt(const Picture& p, int x, int y) {
    const uint32_t v = p.At(x, y);
    return Rgb{static_cast<int>(v & 0xFF), static_cast<int>(v >> 8 & 0xFF),
               static_cast<int>(v >> 16 & 0xFF)};
}

// "zpipe < foo.txt > foo.txt.z" lost everything from '<' to '>'.
TEST(ProgramHtmlText, BareAngleBracketsAreShownAsWritten) {
    const auto pages = Pages(
        "<html><body><p>a &lt; b</p><p>zpipe < in > out</p><p>if x <= y</p>"
        "<p>c<3 and d>4</p><p>the end <</p></body></html>",
        1);
    ASSERT_FALSE(pages[0].empty());
    const std::string text = Words(pages[0]);
    EXPECT_NE(text.find("a < b"), std::string::npos) << text;
    EXPECT_NE(text.find("zpipe < in > out"), std::string::npos) << text;
    EXPECT_NE(text.find("if x <= y"), std::string::npos) << text;
    EXPECT_NE(text.find("c<3 and d>4"), std::string::npos) << text;
    EXPECT_NE(text.find("the end <"), std::string::npos) << text;
}

// A style sheet and scripts longer than the first page search once left page 1 with the title
// alone.
TEST(ProgramHtmlText, ALongHeadLeavesTheBodyOnPageOne) {
    std::string head = "<html><head><title>Long head</title><style>\n";
    for (int i = 0; i < 70; ++i) head += ".c" + std::to_string(i) + " { color: red; margin: 0 }\n";
    head += "</style><script>\n";
    for (int i = 0; i < 40; ++i) head += "var v" + std::to_string(i) + " = 1;\n";
    head += "</script></head>";
    const auto pages = Pages(head + "<body><h1>Chapter One</h1><p>The body starts here.</p>"
                                    "</body></html>",
                             1);
    ASSERT_FALSE(pages[0].empty());
    EXPECT_EQ(pages[0][0], "Chapter One");
    EXPECT_NE(Words(pages[0]).find("The body starts here."), std::string::npos);
}

// The HEAD's text (its TITLE) is never shown, and the text around it always is, however often
// the open elements change between two words: text straight after the HEAD of a page without
// BODY, a HEAD left open by a paragraph, a TITLE astray in every paragraph, over several pages.
TEST(ProgramHtmlText, TheHeadsTextIsHiddenAndTheTextAroundItShown) {
    std::string html =
        "<html><head><title>Manual title</title><meta charset=\"utf-8\"></head>\n"
        "Loose words after the head.\n<head><title>Second title</title><p>A paragraph opens "
        "the body in an open head.</p>\n";
    for (int i = 1; i <= 30; ++i)
        html += "<p>Paragraph " + std::to_string(i) + " opens here <title>hidden " +
                std::to_string(i) + "</title> and <i>goes</i> on after its stray title.</p>\n";
    const auto pages = Pages(html + "</html>", 4);
    std::string all;
    for (const auto& page : pages) {
        ASSERT_FALSE(page.empty());
        const std::string words = Words(page);
        EXPECT_EQ(words.find("title"), words.find("title.")) << words;  // no title's own text
        EXPECT_EQ(words.find("hidden"), std::string::npos) << words;
        all += (all.empty() ? "" : " ") + words;
    }
    EXPECT_EQ(all.rfind("Loose words after the head. A paragraph opens the body in an open head. "
                        "Paragraph 1 opens here and goes on",
                        0),
              0u)
        << all;
    for (int i = 2; i <= 9; ++i)
        EXPECT_NE(all.find("Paragraph " + std::to_string(i) +
                           " opens here and goes on after its stray title."),
                  std::string::npos)
            << i << ": " << all;
}

// Words a generator left between the end of the HEAD and BODY are shown before the body, as
// a browser shows them, in an HTML file and in a book alike; the title stays hidden and BODY
// still colours the page.
TEST(ProgramHtmlText, WordsBetweenTheHeadAndTheBodyAreShown) {
    const std::string html =
        "<!DOCTYPE html>\n<html><head><title>Xtrans manual</title>\n<style>p { margin: 0 }"
        "</style></head>\n<!-- generated -->\nPrevious | <a href=\"index.html\">Contents</a> "
        "| Next\n<body bgcolor=\"#ffe0e0\"><h2>Chapter One</h2><p>The body starts here."
        "</p></body></html>\n";
    const auto pages = Pages(html, 1);
    ASSERT_FALSE(pages[0].empty());
    const std::string shown = "Previous | Contents | Next Chapter One The body starts here.";
    EXPECT_EQ(Words(pages[0]), shown);
    EXPECT_TRUE((ColourAt(Shot(html), 4, 200) == Rgb{255, 224, 224}));

    TempDevice device;
    ASSERT_TRUE(device.ok());
    BookBuilder book;
    book.text.assign(html.begin(), html.end());
    book.fullName = "Loose words";
    const Bytes bytes = book.Build();
    device.WriteHost("storage/eBooks/loose.prc", std::string(bytes.begin(), bytes.end()));
    const std::string o = device.outside() + "/";
    const ProgramResult run = RunSteps(device, {"\\storage\\eBooks\\loose.prc"},
                                       "idle\npagetext " + o + "book.txt\nquit\n");
    ASSERT_EQ(run.status, 0) << ReadFile(o + "errors.txt");
    EXPECT_EQ(Words(ReadLines(o + "book.txt")), shown);
}

// A script or style sheet in a paragraph is passed over with its content and leaves the open
// elements as they were: the words after the bold that held it are plain again (the real
// fonts draw bold wider).
TEST(ProgramHtmlText, ASkippedScriptLeavesTheStylesAroundIt) {
    const std::string after =
        " plain words after the bold.</p><p>Next paragraph.</p></body></html>";
    const Picture bare = Shot("<html><body><p><b>Bold words</b>" + after, {});
    const Picture skipped = Shot("<html><body><p><b>Bold words<script>var a = 1;</script>"
                                 "<style>p { }</style></b>" + after,
                                 {});
    ASSERT_GT(bare.width, 0);
    ASSERT_EQ(bare.width, skipped.width);
    EXPECT_FALSE(bare.RowsDiffer(skipped, 24, bare.height - 30));
}

// A line takes the style in force where it starts, however many changes the line before held:
// paragraphs that open with a few words of other sizes and go on in a larger font break into
// lines as tall as the same paragraphs written in the larger font throughout, so the pages
// hold the same lines.
TEST(ProgramHtmlText, ALineStartsInTheStyleTheLineBeforeEndedIn) {
    std::string mixed = "<html><body>", plain = "<html><body>";
    for (int i = 1; i <= 12; ++i) {
        std::string words;
        for (int w = 0; w < 24; ++w) words += " larger" + std::to_string(i) + "w" + std::to_string(w);
        mixed += "<p>open <small>small</small> <b>bold</b> <big>big" + words + "</big></p>\n";
        plain += "<p><big>open small bold big" + words + "</big></p>\n";
    }
    const auto a = Pages(mixed + "</body></html>", 3), b = Pages(plain + "</body></html>", 3);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t p = 0; p < a.size(); ++p) {
        ASSERT_FALSE(a[p].empty()) << p;
        EXPECT_EQ(a[p], b[p]) << "page " << p + 1;
    }
}

// Soft hyphens are invisible where the line does not break at them: the page looks as the
// same text written without them.
TEST(ProgramHtmlText, SoftHyphensAreInvisibleWhereTheLineGoesOn) {
    const std::string with =
        "<html><body><p>A hyph&shy;en&shy;ation test of soft&shy;hyphens.</p></body></html>";
    const std::string without =
        "<html><body><p>A hyphenation test of softhyphens.</p></body></html>";
    const Picture a = Shot(with), b = Shot(without);
    ASSERT_GT(a.width, 0);
    ASSERT_EQ(a.width, b.width);
    ASSERT_EQ(a.height, b.height);
    EXPECT_TRUE(a.pixels == b.pixels);
}

// Where the line breaks at a soft hyphen, one hyphen ends it: the page looks as the text broken
// there by hand.
TEST(ProgramHtmlText, ALineBrokenAtASoftHyphenEndsWithOneHyphen) {
    std::string soft = "<html><body><p>";
    for (int i = 0; i < 4; ++i) soft += "supercali&shy;fragilistic&shy;expialidocious ";
    soft += "</p></body></html>";
    const auto pages = Pages(soft, 1, kBoxFonts);
    ASSERT_GE(pages[0].size(), 3u);
    // Every line break inside a word falls at one of its soft hyphens.
    for (const std::string& line : pages[0]) {
        const std::string last = line.substr(line.rfind(' ') + 1);
        const bool whole = last == "supercalifragilisticexpialidocious";
        EXPECT_TRUE(whole || last == "supercali" || last == "supercalifragilistic" ||
                    last == "fragilistic" || last == "expialidocious")
            << line;
    }
    // Drawn: each line broken inside a word ends with one hyphen, as the same lines written by
    // hand with "-" and a line break look.
    std::string byHand = "<html><body><p>";
    for (size_t i = 0; i < pages[0].size(); ++i) {
        const std::string& line = pages[0][i];
        const std::string end = "expialidocious";
        const bool inWord = line.size() < end.size() ||
                            line.compare(line.size() - end.size(), end.size(), end) != 0;
        byHand += line + (inWord && i + 1 < pages[0].size() ? "-<br>" : "<br>");
    }
    byHand += "</p></body></html>";
    const Picture a = Shot(soft), b = Shot(byHand);
    ASSERT_GT(a.width, 0);
    ASSERT_EQ(a.width, b.width);
    EXPECT_TRUE(a.pixels == b.pixels);
}

// A word whose only soft hyphen is its first or last character offers no break inside it: its
// author marked where it may break, and that is at its edge. Such words are never split by
// syllables across lines.
TEST(ProgramHtmlText, ASoftHyphenAtAWordsEdgeKeepsTheWordWhole) {
    const std::vector<std::string> words = {"uncharacteristically", "misrepresentations",
                                            "incomprehensibility", "counterrevolutionary"};
    std::string body;
    for (int i = 0; i < 3; ++i)
        for (size_t k = 0; k < words.size(); ++k)
            body += "one two " + (k % 2 ? words[k] + "&shy;" : "&shy;" + words[k]) + " ";
    const auto pages = Pages("<html><body><p>" + body + "</p></body></html>", 1, kBoxFonts);
    ASSERT_GE(pages[0].size(), 6u);
    for (const std::string& line : pages[0]) {
        std::string rest = line;
        while (!rest.empty()) {
            const size_t space = rest.find(' ');
            const std::string piece = rest.substr(0, space);
            rest = space == std::string::npos ? "" : rest.substr(space + 1);
            EXPECT_TRUE(piece == "one" || piece == "two" ||
                        std::find(words.begin(), words.end(), piece) != words.end())
                << "\"" << piece << "\" in \"" << line << "\"";
        }
    }
}

// Addresses and identifiers in a narrow column break only after '/', '.' or '-', never with a
// hyphen put into them, and a broken word keeps two characters on each side.
TEST(ProgramHtmlText, AddressesAndIdentifiersBreakOnlyAfterSlashesDotsAndHyphens) {
    const std::vector<std::string> words = {
        "See",   "http://www.apache.org/licenses/LICENSE-2.0", "and",
        "buffer.kMaxLength", "or", "serializer.writeHeader()", "in",
        "/usr/share/doc/zlib/README", "from", "someone@example.com"};
    std::string body;
    for (int i = 0; i < 3; ++i)
        for (const std::string& w : words) body += w + " ";
    const auto pages = Pages("<html><body><p>" + body + "</p></body></html>", 2, kBoxFonts);
    std::vector<std::string> lines = pages[0];
    lines.insert(lines.end(), pages[1].begin(), pages[1].end());
    ASSERT_GT(lines.size(), 6u);
    // Walk the words: a line that ends inside a word ends after '/', '.' or '-'.
    size_t broken = 0;
    std::string pending;
    size_t w = 0;
    for (const std::string& line : lines) {
        std::string rest = line;
        while (!rest.empty()) {
            const size_t space = rest.find(' ');
            std::string piece = rest.substr(0, space);
            rest = space == std::string::npos ? "" : rest.substr(space + 1);
            pending += piece;
            const std::string& word = words[w % words.size()];
            if (pending == word) {
                pending.clear();
                ++w;
                continue;
            }
            ASSERT_EQ(word.compare(0, pending.size(), pending), 0)
                << "line \"" << line << "\" does not go on with \"" << word << "\"";
            ASSERT_TRUE(rest.empty()) << line;
            const char end = pending.back();
            EXPECT_TRUE(end == '/' || end == '.' || end == '-') << line;
            EXPECT_GE(word.size() - pending.size(), 2u) << line;
            ++broken;
        }
    }
    EXPECT_GT(broken, 0u) << "the column is to break an address";
}

// BODY's BGCOLOR fills the page; a cell's border takes its BORDERCOLOR, else its table's.
TEST(ProgramHtmlText, BodyAndBorderColoursAreDrawn) {
    auto page = [](const std::string& body, const std::string& tableColour,
                   const std::string& cellColour) {
        return "<html><body " + body + "><p>Colours</p><table border=\"2\" " + tableColour +
               "><tr><td " + cellColour + ">alpha</td><td>beta</td></tr></table><p>After</p>"
               "</body></html>";
    };
    const Picture plain = Shot(page("", "", ""));
    const Picture coloured =
        Shot(page("bgcolor=\"#ffe0e0\"", "bordercolor=\"#0000ff\"", "bordercolor=\"#00ff00\""));
    ASSERT_GT(plain.width, 0);
    ASSERT_EQ(plain.width, coloured.width);
    // The page under the text, below the title bar, is BODY's colour.
    EXPECT_TRUE((ColourAt(coloured, 4, 200) == Rgb{255, 224, 224}));
    EXPECT_TRUE((ColourAt(plain, 4, 200) == Rgb{255, 255, 255}));
    // Where the two pages differ on the white page, the coloured one shows BODY's colour or a
    // border colour, and both border colours are there.
    int green = 0, blue = 0, other = 0;
    for (int y = 30; y < 280; ++y)
        for (int x = 0; x < plain.width; ++x) {
            if (plain.At(x, y) == coloured.At(x, y)) continue;
            const Rgb c = ColourAt(coloured, x, y);
            if (c == Rgb{0, 255, 0})
                ++green;
            else if (c == Rgb{0, 0, 255})
                ++blue;
            else if (!(c == Rgb{255, 224, 224}))
                ++other;
        }
    EXPECT_GT(green, 0);
    EXPECT_GT(blue, 0);
    EXPECT_EQ(other, 0);
}

// The arrow column of a table wider than the page stays as it was drawn when its arrow is
// tapped: the tapped arrow once stayed the current mark, drawn inverted, and the column turned
// black.
TEST(ProgramTables, ATappedArrowLeavesItsColumnDrawn) {
    std::string rows;
    for (int r = 0; r < 6; ++r) {
        rows += "<tr>";
        for (int c = 0; c < 8; ++c) rows += "<td>cell" + std::to_string(r) + std::to_string(c) + "word</td>";
        rows += "</tr>";
    }
    const std::string html =
        "<html><body><p>Before the table.</p><table border=\"1\">" + rows +
        "</table><p>After the table.</p></body></html>";
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/page.htm", html);
    const std::string o = device.outside() + "/";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\page.htm"},
                       "idle\nscreenshot " + o + "first.png\nquit\n", kBoxFonts)
                  .status,
              0);
    const Picture first = ReadPicture(o + "first.png");
    ASSERT_GT(first.width, 0);
    // The right arrow: the first pixel off the page's white in the last columns.
    const Rgb white{255, 255, 255};
    int ax = -1, ay = -1;
    for (int x = first.width - 2; x > first.width - 16 && ax < 0; --x)
        for (int y = 40; y < 260 && ax < 0; ++y)
            if (!(ColourAt(first, x, y) == white)) {
                ax = x;
                ay = y + 2;
            }
    ASSERT_GE(ax, 0) << "no arrow at the right";
    const std::string steps = "idle\nscreenshot " + o + "before.png\ntap " + std::to_string(ax - 3) +
                              " " + std::to_string(ay) + "\nidle\nscreenshot " + o + "once.png\ntap " +
                              std::to_string(ax - 3) + " " + std::to_string(ay) + "\nidle\nscreenshot " +
                              o + "twice.png\nquit\n";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\page.htm"}, steps, kBoxFonts).status, 0);
    const Picture before = ReadPicture(o + "before.png"), once = ReadPicture(o + "once.png"),
                  twice = ReadPicture(o + "twice.png");
    ASSERT_EQ(before.width, once.width);
    ASSERT_EQ(before.width, twice.width);
    // The table moved (the first column's text is no longer where it was) ...
    EXPECT_FALSE(before.pixels == once.pixels);
    // ... and the right arrow column looks as before, after one tap and after two.
    for (const Picture* after : {&once, &twice})
        for (int y = 30; y < 280; ++y)
            for (int x = ax - 4; x < before.width; ++x)
                ASSERT_EQ(before.At(x, y), after->At(x, y)) << x << "," << y;
}

// ---- Words measured as drawn ----------------------------------------------------------------

// A paragraph is broken into the same lines whatever was measured before it: on its own, and
// after a paragraph of other words (in another font, or of characters sharing low bits with
// its own: "か" is U+304B, "K" U+004B).
TEST(ProgramHtmlText, AParagraphsLinesDoNotDependOnTheWordsBeforeIt) {
    const std::string head = "<html><head><meta charset=\"utf-8\"></head><body>";
    auto paragraph = [](const std::vector<std::string>& words) {
        std::string p = "<p>";
        for (size_t i = 0; i < 24; ++i) p += words[i * 7 % 11 % words.size()] + " ";
        return p + "</p>";
    };
    const std::vector<std::string> latin = {"Kobe", "Kate", "KKK", "evening", "light", "fell"};
    const std::vector<std::string> kana = {"かかし", "日本語の本", "かか", "かな", "λόγος"};
    const std::vector<std::string> plain = {"the", "evening", "light", "fell", "on", "quiet", "ships"};
    const char* const kOpen[] = {"<i>", "<code>", "<big>", "<b><i>"};
    const char* const kClose[] = {"</i>", "</code>", "</big>", "</i></b>"};
    std::vector<std::string> bold, styled;
    for (size_t i = 0; i < plain.size(); ++i) {
        bold.push_back("<b>" + plain[i] + "</b>");
        styled.push_back(kOpen[i % 4] + plain[i] + kClose[i % 4]);
    }
    const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> cases = {
        {latin, kana}, {bold, plain}, {plain, bold}, {plain, styled}, {styled, plain}};
    for (const auto& [before, words] : cases) {
        const auto alone = Pages(head + paragraph(words) + "</body></html>", 1, {});
        const auto after =
            Pages(head + paragraph(before) + paragraph(words) + "</body></html>", 1, {});
        ASSERT_EQ(alone.size(), 1u);
        ASSERT_EQ(after.size(), 1u);
        ASSERT_GE(alone[0].size(), 4u) << words[0];
        ASSERT_GT(after[0].size(), alone[0].size()) << words[0];
        const std::vector<std::string> tail(after[0].end() - static_cast<long>(alone[0].size()),
                                            after[0].end());
        EXPECT_EQ(tail, alone[0]) << "after " << before[0];
    }
}


// The left and right ends of the dark pixels in each band of rows that holds text, top down;
// a gap of a few rows (between an i's dot and its stem) does not end a band.
std::vector<std::pair<int, int>> TextBands(const Picture& p, int top, int bottom) {
    auto dark = [&](int x, int y) {
        const Rgb c = ColourAt(p, x, y);
        return c.r < 128 && c.g < 128 && c.b < 128;
    };
    std::vector<std::pair<int, int>> bands;
    int lastDark = -100;
    for (int y = top; y < bottom; ++y) {
        int left = p.width, right = -1;
        for (int x = 0; x < p.width; ++x)
            if (dark(x, y)) left = std::min(left, x), right = std::max(right, x);
        if (right < 0) continue;
        if (y - lastDark > 4) bands.emplace_back(left, right);
        lastDark = y;
        bands.back().first = std::min(bands.back().first, left);
        bands.back().second = std::max(bands.back().second, right);
    }
    return bands;
}

// A word in code after words of the same size and weight is drawn in its own face: each
// letter as wide as the code face makes it, not as the words before it had them.
TEST(ProgramHtmlText, CodeAfterPlainWordsOfTheSameSizeIsDrawnInItsOwnFace) {
    const Picture p = Shot(
        "<html><body><p>iiiiiiiiii</p><p>iiiiiiiiii <code>iiiiiiiiii</code></p></body></html>", {});
    ASSERT_GT(p.width, 0);
    const auto bands = TextBands(p, 30, p.height - 30);
    ASSERT_GE(bands.size(), 2u);
    const int plain = bands[0].second - bands[0].first;
    const int both = bands[1].second - bands[1].first;
    // The code word of the second line takes far more than the plain word's width again.
    EXPECT_GT(both - plain, 2 * plain) << plain << " " << both;
}

// Words of several sizes on one line stand on its baseline: with box glyphs (each a block that
// ends on the baseline) every column of ink in a line ends on the same row, however tall.
TEST(ProgramHtmlText, WordsOfMixedSizesOnALineShareItsBaseline) {
    const Picture p = Shot(
        "<html><body><h3>Notes</h3><p>Read <font size=\"+3\">THE</font> <small>new</small> "
        "<b>one</b> <font size=\"1\">and</font> <i>its</i> <big>code</big> <tt>x</tt>.<span>"
        "</span></p><p>After the notes <font size=\"+2\">come</font> <small>the</small> "
        "tables, <big>rows</big> of <font size=\"-1\">words</font> <b>and</b> <font size=\"+3\">"
        "more</font> <i>words</i> than fit on one line.</p></body></html>");
    ASSERT_GT(p.width, 0);
    auto dark = [&](int x, int y) {
        const Rgb c = ColourAt(p, x, y);
        return c.r < 128 && c.g < 128 && c.b < 128;
    };
    auto rowHasInk = [&](int y) {
        for (int x = 0; x < p.width; ++x)
            if (dark(x, y)) return true;
        return false;
    };
    int lines = 0, mixed = 0;
    for (int y = 30; y < p.height - 30;) {
        if (!rowHasInk(y)) {
            ++y;
            continue;
        }
        int bottom = y;
        while (bottom < p.height - 30 && rowHasInk(bottom)) ++bottom;
        // Each column's lowest and highest ink in this line.
        std::vector<int> heights;
        for (int x = 0; x < p.width; ++x) {
            int low = -1, high = -1;
            for (int r = y; r < bottom; ++r)
                if (dark(x, r)) low = r, high = high < 0 ? r : high;
            if (low < 0) continue;
            EXPECT_EQ(low, bottom - 1) << "line at " << y << ", column " << x;
            if (std::find(heights.begin(), heights.end(), low - high) == heights.end())
                heights.push_back(low - high);
        }
        ++lines;
        if (heights.size() >= 3) ++mixed;
        y = bottom;
    }
    EXPECT_GE(lines, 4);
    // The lines with words of several sizes were met, and were drawn that way.
    EXPECT_GE(mixed, 2);
}

}  // namespace
}  // namespace fvt::test
