// Reopening an HTML file where the reader left it, in the program itself: the page shown after
// the restart is the page that was shown when the reader quit, also where that page starts
// inside a word the page before hyphenated right after a long comment, and where it starts
// inside a listing's line whose TABs line its columns up, and where it was found going back
// (it ends where the page after it starts, with room for more).
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "shell/program_runs.h"
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
                          const std::string& steps, const std::string& when) {
    const std::string book = "\\storage\\eBooks\\" + name + ".html";
    const std::string left = device.OutsidePath("left.txt");
    const std::string back = device.OutsidePath("back.txt");
    std::filesystem::remove(device.Host("storage/eBooks/" + name + ".fvt"));  // from page 1
    ProgramResult run = RunSteps(device, {book}, steps + "pagetext " + left + "\nquit\n");
    ASSERT_EQ(run.status, 0) << run.Describe();
    run = RunSteps(device, {book}, "idle\npagetext " + back + "\nquit\n");
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

// A manual as its tools write one: chapters under a line of navigation links and a rule,
// paragraphs and an example each, footnotes at the end.
std::string Manual() {
    static const char* const kWords[] = {"nettle", "counter", "variant", "cipher", "block",
                                         "mode",   "the",     "key",     "length", "of",
                                         "a",      "message", "digest"};
    SeededWords words(kWords, 3);
    std::string html = "<html><head><title>Manual</title></head><body>";
    for (int chapter = 1; chapter < 25; ++chapter) {
        html +=
            "<div class=\"chapter\"><div class=\"header\"><p>Next: <a href=\"#n\">Next</a>, "
            "Previous: <a href=\"#p\">Prev</a>, Up: <a href=\"#t\">Top</a> &nbsp; [<a "
            "href=\"#c\">Contents</a>][<a href=\"#i\">Index</a>]</p></div><hr>";
        html += "<h3 class=\"section\">" + std::to_string(chapter) + " Section</h3>";
        for (int p = 0; p < 4; ++p) html += "<p>" + words.Words(35) + "</p>";
        html +=
            "<pre class=\"example\">" + words.Words(6) + "\n  " + words.Words(5) + "\n</pre></div>";
    }
    html +=
        "<div class=\"footnotes-segment\"><hr><h4 class=\"footnotes-heading\">Footnotes</h4>"
        "<h5><a id=\"f1\">(1)</a></h5><p>" +
        words.Words(30) + "</p></div>";
    return html + "</body></html>";
}

TEST(Reopening, AnHtmlPageFoundGoingBackComesBackEndingWhereItDid) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/manual.html", Manual());
    for (int ups = 1; ups <= 8; ++ups)
        ASSERT_NO_FATAL_FAILURE(
            ExpectReopenedAsLeft(device, "manual", "idle\nkey 0x23\nidle\n" + Presses("0x21", ups),
                                 "after End and " + std::to_string(ups) + " PageUps"));
}

}  // namespace
}  // namespace fvt::test
