// Book scripts and look-ups that finish, seen through the program: timers a link script starts
// without "window." fire, `location.hash` goes where a link to the name goes, a word's language
// is its innermost element's and ends with it, a selection made by keys is looked up in its
// language with its result below it, and a query over a dictionary sorted as its language sorts
// finds what it finds over byte order. Every step is a person's: keys, taps and pop-up menus.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "shell/program_runs.h"
#include "support/bookfiles/index_fixture.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

// A page of links over many short paragraphs, the last one named so that its page is known.
std::string LinkPage(const std::vector<std::string>& links, const std::string& middle = "") {
    std::string html = "<html><body>";
    for (const std::string& link : links) html += "<p>" + link + "</p>";
    for (int i = 0; i < 40; ++i) html += "<p>Line " + std::to_string(i) + " of the page</p>";
    html += middle;
    for (int i = 40; i < 80; ++i) html += "<p>Line " + std::to_string(i) + " of the page</p>";
    return html + "<p>Lastword of the book.</p></body></html>";
}

// The page shown after the steps, on a fresh device holding the page.
std::string PageAfter(const std::string& html, const std::string& steps) {
    TempDevice device;
    EXPECT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/page.html", html);
    const std::string o = device.outside() + "/";
    EXPECT_EQ(RunSteps(device, {"\\storage\\eBooks\\page.html"},
                       "idle\n" + steps + "idle\npagetext " + o + "page.txt\nquit\n",
                       {"FOLIVANT_CLOCK=virtual"})
                  .status,
              0);
    return ReadFile(o + "page.txt");
}

// The link of the page's first paragraph, tapped.
const char kTapFirstLink[] = "tap 60 44\nidle\n";

// ---- Timers ----------------------------------------------------------------------------------

// Each form a book writes without "window.": a text and a function handler, an interval that
// clears itself after three turns, and a timeout cleared before it fires beside one that is not.
TEST(BookScriptTimers, EveryTimerFunctionCalledWithoutAnObjectRunsAsTheWindows) {
    const std::string first = PageAfter(LinkPage({"<a>START THE TIMERS</a>"}), "");
    const std::string second = PageAfter(LinkPage({"<a>START THE TIMERS</a>"}), "key 0x22\nidle\n");
    const std::string fourth = PageAfter(LinkPage({"<a>START THE TIMERS</a>"}),
                                         "key 0x22\nidle\nkey 0x22\nidle\nkey 0x22\nidle\n");
    ASSERT_NE(first, second);
    ASSERT_NE(second, fourth);
    ASSERT_EQ(first.find("Lastword"), std::string::npos);

    const std::vector<std::pair<std::string, std::string>> forms = {
        {"setTimeout('document.goto_last_page()', 300)", "last"},
        {"setTimeout(function () { document.goto_last_page() }, 300)", "last"},
        {"var n = 0; var t = setInterval(function () { document.goto_page_relative(1); "
         "if (++n == 3) clearInterval(t) }, 200)",
         "fourth"},
        {"var a = setTimeout('document.goto_last_page()', 200); "
         "setTimeout('document.goto_page_relative(1)', 300); clearTimeout(a)",
         "second"},
    };
    for (const auto& [script, where] : forms) {
        const std::string page = LinkPage({"<a onclick=\"" + script + "\">START THE TIMERS</a>"});
        // Nothing fires before its time; all has fired two seconds on.
        EXPECT_EQ(PageAfter(page, kTapFirstLink), first) << script;
        const std::string later = PageAfter(page, std::string(kTapFirstLink) + "advance 2000\n");
        if (where == "last") {
            EXPECT_NE(later.find("Lastword"), std::string::npos) << script << "\n" << later;
        } else {
            EXPECT_EQ(later, where == "fourth" ? fourth : second) << script;
        }
    }
}

// ---- location.hash ---------------------------------------------------------------------------

// A NAME and an ID far down the page, reached by setting the hash with and without '#', and by
// links to them.
TEST(LocationHash, SettingItGoesWhereALinkToTheNameGoes) {
    const std::string page =
        LinkPage({"<a onclick=\"location.hash = 'far'\">HASH TO FAR</a>",
                  "<a onclick=\"location.hash = '#deep'\">HASH TO DEEP</a>",
                  "<a href=\"#far\">LINK TO FAR</a>", "<a href=\"#deep\">LINK TO DEEP</a>"},
                 "<p><a name=\"far\">Far</a> anchor of the page</p>"
                 "<p>Between far and deep</p><p>And more between them</p>"
                 "<h3 id=\"deep\">Deep heading</h3>");
    const std::string byName = PageAfter(page, kTapFirstLink);
    const std::string byId = PageAfter(page, "tap 60 69\nidle\n");
    const std::string linkFar = PageAfter(page, "tap 60 94\nidle\n");
    const std::string linkDeep = PageAfter(page, "tap 60 119\nidle\n");
    ASSERT_NE(linkFar.find("Far anchor"), std::string::npos) << linkFar;
    ASSERT_NE(linkDeep.find("Deep heading"), std::string::npos) << linkDeep;
    EXPECT_EQ(byName, linkFar);
    EXPECT_EQ(byId, linkDeep);
}

// ---- Look-ups by language --------------------------------------------------------------------

const char kHistory[] = "storage/eBooks/database/folivant_history.ebase";

// An English dictionary and a French one; both have "port".
void WriteDictionaries(const TempDevice& device) {
    DictionarySpec english;
    english.name = "EnglishWords";
    english.input = english.output = 9;
    english.words = {{u"harbour", "A sheltered stretch of water."},
                     {u"lamp", "A device that gives light."},
                     {u"port", "A town with a harbour."}};
    DictionarySpec french;
    french.name = "MotsFrancais";
    french.input = french.output = 12;
    french.words = {{u"phare", "Tour qui porte un feu."}, {u"port", "Abri pour les bateaux."}};
    for (const DictionarySpec* spec : {&english, &french}) {
        const Bytes book = DictionaryBook(*spec);
        ASSERT_FALSE(book.empty());
        device.WriteHost("storage/eBooks/" + spec->name + ".prc",
                         std::string(book.begin(), book.end()));
    }
}

// Which dictionary the look-up's steps opened an entry of: "EnglishWords", "MotsFrancais",
// both, or "" when none was opened.
std::string OpenedIn(const std::string& html, const std::string& steps) {
    TempDevice device;
    EXPECT_TRUE(device.ok());
    WriteDictionaries(device);
    device.WriteHost("storage/eBooks/words.html", html);
    EXPECT_EQ(
        RunSteps(device, {"\\storage\\eBooks\\words.html"}, "idle\n" + steps + "quit\n").status, 0);
    const std::string history = ReadFile(device.root() + "/" + kHistory);
    std::string opened;
    for (const char* name : {"EnglishWords", "MotsFrancais"})
        if (history.find(name) != std::string::npos)
            opened += opened.empty() ? name : std::string(" ") + name;
    return opened;
}

// A tap on the word at the start of the line at y, then "Lookup", the first item of its pop-up
// menu (which stands below the word).
std::string TapAndLookUp(int y) {
    return "answer-tap 65 " + std::to_string(y + 22) + "\ntap 35 " + std::to_string(y) + "\nidle\n";
}

// Each word starts its line: at 44, 63 (after the break), 88, 113, 138, 157 and 182.
const char kMixedLanguages[] =
    "<html><body>"
    "<p><span lang=\"fr\">phare</span><br>harbour</p>"
    "<p lang=\"fr\">phare</p>"
    "<p>harbour</p>"
    "<div lang=\"fr\"><p><span lang=\"en\">lamp</span><br>port</p></div>"
    "<p>lamp</p>"
    "</body></html>";

TEST(WordLanguage, AWordTakesItsInnermostElementsLanguageWhichEndsWithIt) {
    // After a French span and after a French paragraph, English words find their entries.
    EXPECT_EQ(OpenedIn(kMixedLanguages, TapAndLookUp(63)), "EnglishWords");
    EXPECT_EQ(OpenedIn(kMixedLanguages, TapAndLookUp(113)), "EnglishWords");
    // Inside the French elements the words are French.
    EXPECT_EQ(OpenedIn(kMixedLanguages, TapAndLookUp(44)), "MotsFrancais");
    EXPECT_EQ(OpenedIn(kMixedLanguages, TapAndLookUp(88)), "MotsFrancais");
    // An English span inside a French division: English within it, French again after it,
    // and nothing of either after the division.
    EXPECT_EQ(OpenedIn(kMixedLanguages, TapAndLookUp(138)), "EnglishWords");
    EXPECT_EQ(OpenedIn(kMixedLanguages, TapAndLookUp(157)), "MotsFrancais");
    EXPECT_EQ(OpenedIn(kMixedLanguages, TapAndLookUp(182)), "EnglishWords");
}

// ---- Look-ups of key selections --------------------------------------------------------------

// The text focus box on the page's first word, confirmed, and its pop-up menu's "Lookup".
const char kSelectFirstWordAndLookUp[] =
    "char 9\nidle\nkey 0x0d\nidle\nanswer-tap 40 43\nkey 0x0d\nidle\n";

TEST(KeySelections, AreLookedUpInTheirLanguage) {
    // Both dictionaries have "port": in French only the French one is looked in, and its entry
    // opens.
    EXPECT_EQ(OpenedIn("<html><body><p lang=\"fr\">port des bateaux</p></body></html>",
                       kSelectFirstWordAndLookUp),
              "MotsFrancais");
    EXPECT_EQ(OpenedIn("<html><body><p lang=\"en\">port of call</p></body></html>",
                       kSelectFirstWordAndLookUp),
              "EnglishWords");
}

// "port" names no language: both dictionaries have it and their results pop up. Looked up
// from a selection made by keys, the pop-up stands where it stands for the tapped word (below
// it, the word marked), and closing it leaves the page as it was.
TEST(KeySelections, TheirResultStandsUnderThemAsATappedWordsDoes) {
    const std::string html =
        "<html><body><p>port of call</p><p>Second line of the page</p>"
        "<p>Third line of the page</p></body></html>";
    std::vector<Picture> shown, closed;
    Picture untouched;
    for (const bool byKeys : {true, false}) {
        TempDevice device;
        ASSERT_TRUE(device.ok());
        WriteDictionaries(device);
        device.WriteHost("storage/eBooks/words.html", html);
        const std::string o = device.outside() + "/";
        const std::string lookUp =
            byKeys ? std::string(kSelectFirstWordAndLookUp) : TapAndLookUp(44);
        ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\words.html"},
                           "idle\nscreenshot " + o + "page.png\n" + lookUp + "screenshot " + o +
                               "shown.png\nkey 0x1b\nidle\nscreenshot " + o + "closed.png\nquit\n")
                      .status,
                  0);
        shown.push_back(ReadPicture(o + "shown.png"));
        closed.push_back(ReadPicture(o + "closed.png"));
        if (!byKeys) untouched = ReadPicture(o + "page.png");
    }
    ASSERT_GT(untouched.width, 0);
    ASSERT_TRUE(shown[1].RowsDiffer(untouched, 0, untouched.height)) << "nothing popped up";
    EXPECT_FALSE(shown[0].RowsDiffer(shown[1], 0, untouched.height));
    EXPECT_FALSE(closed[0].RowsDiffer(untouched, 0, untouched.height));
    EXPECT_FALSE(closed[1].RowsDiffer(untouched, 0, untouched.height));
}

// ---- LIKE over a collated dictionary -----------------------------------------------------------

// A French dictionary whose keys sort as the language does ("â" as "a", "œ" as "oe", a hyphen
// not at all), or by their bytes; its first lines search it.
void WriteFrenchDictionary(const TempDevice& device, bool collated) {
    DictionarySpec spec;
    spec.name = "Dictionnaire";
    spec.input = spec.output = 12;
    if (collated) {
        spec.weights.assign(0x180, 0);
        for (char16_t c = 0x20; c < 0x180; ++c)
            spec.weights[c] = static_cast<std::uint16_t>(0x100 + c);
        spec.weights[0xE2] = spec.weights[u'a'];
        spec.weights[u'-'] = 0;
        spec.ligatures.push_back({u'\u0153', u'o', u'e'});
    }
    spec.words = {{u"b\u00e2ette", "Sorte de toile."}, {u"bailoir-lau", "Mot de patois."},
                  {u"bateau", "Ce qui flotte."},       {u"boeuf", "Animal de trait."},
                  {u"b\u0153uf", "Le meme animal."},   {u"cadre", "Ce qui entoure."}};
    spec.front =
        "<p><a onclick=\"sql_search(&quot;SELECT * FROM words WHERE orth LIKE 'ba%'&quot;,"
        "'ba')\">SEARCH BA</a></p><p><a onclick=\"sql_search(&quot;SELECT * FROM words WHERE "
        "orth LIKE 'bo_uf'&quot;,'bo_uf')\">SEARCH BO_UF</a></p>";
    const Bytes book = DictionaryBook(spec);
    ASSERT_FALSE(book.empty());
    device.WriteHost("storage/eBooks/Dictionnaire.prc", std::string(book.begin(), book.end()));
}

// The query pages list the same entries, in the same order, whichever way the keys sort:
// "bailoir-lau" and "bateau", then "boeuf" (the accented and joined keys match neither).
TEST(CollatedDictionaries, AQueryPageListsWhatItListsOverKeysInByteOrder) {
    for (const int y : {44, 69}) {
        std::vector<Picture> pages;
        for (const bool collated : {true, false}) {
            TempDevice device;
            ASSERT_TRUE(device.ok());
            WriteFrenchDictionary(device, collated);
            const std::string o = device.outside() + "/";
            ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\Dictionnaire.prc"},
                               "idle\nscreenshot " + o + "book.png\ntap 40 " + std::to_string(y) +
                                   "\nidle\nscreenshot " + o + "query.png\nquit\n")
                          .status,
                      0);
            pages.push_back(ReadPicture(o + "query.png"));
            ASSERT_TRUE(pages.back().RowsDiffer(ReadPicture(o + "book.png"), 0, 300))
                << "no query page";
        }
        EXPECT_FALSE(pages[0].RowsDiffer(pages[1], 0, pages[0].height)) << "the link at " << y;
    }
}

}  // namespace
}  // namespace fvt::test
