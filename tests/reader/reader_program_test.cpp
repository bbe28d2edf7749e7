// Record-set pages and look-ups in the running program, driven by scripts on a device holding
// a small dictionary.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "support/bookfiles/book_builder.h"
#include "support/bookfiles/index_fixture.h"
#include "support/shell/program_launcher.h"
#include "support/shell/screenshot.h"

namespace fvt::test {
namespace {

// Grey 221 as the 16-bit screen shows it.
constexpr std::uint32_t kHeaderGrey = 0xDEDFDE;
// A pop-up's pale yellow (255, 255, 206) as the 16-bit screen shows it.
constexpr std::uint32_t kPopupYellow = 0xFFFFCE;

// The smallest box holding every pixel of pop-up yellow on the screen; right < 0 when none.
struct Bounds {
    int left, top, right, bottom;
};
Bounds PopupBounds(const Screen& s) {
    Bounds b{s.width, s.height, -1, -1};
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            if (s.At(x, y) == kPopupYellow) {
                b.left = std::min(b.left, x), b.right = std::max(b.right, x);
                b.top = std::min(b.top, y), b.bottom = std::max(b.bottom, y);
            }
    return b;
}

class RecordSetProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(device.ok());
        DictionarySpec spec;
        spec.name = "Glossary";
        spec.words = {{u"beam", "A ray of light sent out in one direction."},
                      {u"evening", "The close of the day, from sunset to nightfall."},
                      {u"harbour", "A sheltered stretch of water where boats may lie safely."},
                      {u"keeper", "One who tends a lighthouse and keeps its light burning."},
                      {u"lamp", "A device that gives light, here the great light of the tower."},
                      {u"lens", "A shaped piece of glass that gathers the light into a beam."},
                      {u"reef", "A ridge of rock or sand just below the surface of the sea."},
                      {u"step", "One stair of a flight; the lighthouse has a hundred and twelve."}};
        // "lights" is a form of two words; "lenz" is nobody's, but close to "lens".
        spec.forms = {{u"steps", u"step"}, {u"lamps", u"lamp"}, {u"lights", u"lamp"},
                      {u"lights", u"beam"}};
        spec.alphabet = u"abcdefghijklmnopqrstuvwxyz";
        // The book's own search link: the index page with inflections and spelling (1 | 4).
        spec.front = "<p><a onclick=\"index_search('','','','','Glossary','5')\">Search the "
                     "glossary</a></p>";
        std::uint32_t table = 0;
        const Bytes bytes = DictionaryBook(spec, &table);
        ASSERT_FALSE(bytes.empty());
        device.WriteHost("storage/eBooks/Glossary.prc", std::string(bytes.begin(), bytes.end()));
        book = "\\storage\\eBooks\\Glossary.prc";
        page = book + "$fvtindex&" + std::to_string(table);
    }

    // Runs the script on the index page and returns the screen it ends on.
    Screen Run(const std::string& steps, const std::string& at = {}) {
        const std::string shot = device.outside() + "/shot" + std::to_string(++shots) + ".png";
        Screen screen;
        EXPECT_EQ(RunSteps(device, {at.empty() ? page : at},
                           "idle\n" + steps + "idle\nscreenshot " + shot + "\nquit\n")
                      .status,
                  0);
        EXPECT_TRUE(screen.Read(shot));
        return screen;
    }

    // Pixels of pop-up yellow (255, 255, 206 on the 16-bit screen) in the middle of the screen.
    static int PopupPixels(const Screen& s, int top = 40) {
        return s.CountOf(0, top, s.width, 240, 0xFFFFCE);
    }

    // The grey header strip of the index page (its title box) is on the screen.
    static std::vector<std::uint32_t> Region(const Screen& s, int x, int y, int w, int h) {
        std::vector<std::uint32_t> out;
        for (int row = y; row < y + h; ++row)
            for (int col = x; col < x + w; ++col)
                out.push_back(s.pixels[static_cast<std::size_t>(row) * s.width + col]);
        return out;
    }

    static bool ShowsIndex(const Screen& s) { return s.CountOf(0, 30, s.width, 14, kHeaderGrey) > 2000; }

    TempDevice device;
    std::string book;
    std::string page;
    int shots = 0;
};

// Rows are 15 pixels high from y = 70 at 240x320: row n's middle is at 77 + 15 n.
TEST_F(RecordSetProgram, KeysMoveTheSelectionAndEnterOpensTheRowATapOpens) {
    const Screen shown = Run("");
    ASSERT_TRUE(ShowsIndex(shown));
    // Down twice selects the second row (one step each, not a page): Enter opens "evening".
    const Screen byKeys = Run("key 0x28\nidle\nkey 0x28\nidle\nkey 0x26\nidle\nkey 0x28\nidle\n"
                              "key 0x0d\n");
    const Screen byTap = Run("tap 20 92\n");
    const Screen other = Run("tap 20 152\n");
    EXPECT_FALSE(ShowsIndex(byKeys));
    EXPECT_FALSE(ShowsIndex(byTap));
    EXPECT_EQ(byKeys.pixels, byTap.pixels);
    EXPECT_NE(byTap.pixels, other.pixels);
    // Below the last row a tap opens nothing.
    EXPECT_TRUE(ShowsIndex(Run("tap 20 290\n")));
}

// Below its grey header the page is white: the "Search string:" label and the rows' texts
// were drawn on the header's grey, a box behind every word. Seen on a page of French keys.
TEST_F(RecordSetProgram, TheLabelAndTheRowsStandOnWhite) {
    DictionarySpec spec;
    spec.name = "Lexique";
    spec.words = {{u"\u00C9cluse", "Ouvrage d'art."}, {u"\u00C9quipe", "Groupe."},
                  {u"\u00C9t\u00E9", "Saison chaude."}, {u"\u00C9toile", "Astre."}};
    std::uint32_t table = 0;
    const Bytes bytes = DictionaryBook(spec, &table);
    ASSERT_FALSE(bytes.empty());
    device.WriteHost("storage/eBooks/Lex.prc", std::string(bytes.begin(), bytes.end()));
    const std::string at = "\\storage\\eBooks\\Lex.prc$fvtindex&" + std::to_string(table);
    // Shown, and with the selection moved down the rows (each row drawn again).
    for (const std::string steps : {"", "key 0x28\nidle\nkey 0x28\nidle\n"}) {
        const Screen s = Run(steps, at);
        ASSERT_TRUE(ShowsIndex(s));
        // (A few edge pixels of the letters may have the grey's value.)
        EXPECT_LT(s.CountOf(0, 47, s.width, 240, kHeaderGrey), 20);
    }
}

// Typing goes to the page's search field at once (no tap on it first): "re" puts "reef" on the
// first row, selected, and Enter opens it as a tap on its row does.
TEST_F(RecordSetProgram, TypingSearchesWithoutTappingTheField) {
    const Screen typed = Run("char r\nchar e\nidle\nkey 0x0d\n");
    const Screen tapped = Run("tap 20 167\n");
    EXPECT_FALSE(ShowsIndex(typed));
    EXPECT_EQ(typed.pixels, tapped.pixels);
}

// The book's search link opens its index with inflections and spelling: a word that is a form
// of two entries lists both, a misspelt word lists the keys it may stand for, and a link of
// either list opens its entry.
TEST_F(RecordSetProgram, InflectionsAndSpellingsOfferTheirEntries) {
    const std::string search = "tap 40 35\nidle\n";
    const std::string lights = search + "char l\nchar i\nchar g\nchar h\nchar t\nchar s\nidle\n";
    const std::string lenz = search + "char l\nchar e\nchar n\nchar z\nidle\n";
    const Screen index = Run(search, book);
    ASSERT_TRUE(ShowsIndex(index));
    EXPECT_EQ(PopupPixels(index), 0);
    // Neither word begins a key: no row is selected, so Enter looks the word up.
    const Screen forms = Run(lights + "key 0x0d\n", book);
    const Screen spelt = Run(lenz + "key 0x0d\n", book);
    EXPECT_TRUE(ShowsIndex(forms));
    EXPECT_GT(PopupPixels(forms), 3000);
    EXPECT_GT(PopupPixels(spelt), 1500);
    EXPECT_NE(forms.pixels, spelt.pixels);
    // The first link of each list ("lamp", "lens") opens its entry's text over the index.
    const Screen lamp = Run(lights + "key 0x0d\nidle\ntap 90 160\nidle\n", book);
    const Screen lens = Run(lenz + "key 0x0d\nidle\ntap 90 167\nidle\n", book);
    EXPECT_GT(PopupPixels(lamp), 3000);
    EXPECT_NE(lamp.pixels, forms.pixels);
    EXPECT_NE(lens.pixels, spelt.pixels);
    EXPECT_NE(lamp.pixels, lens.pixels);
    // Opened entries go to the search history.
    EXPECT_TRUE(device.HostExists("storage/eBooks/database/folivant_history.ebase"));
}

// A word looked up from a tap keeps its place in view: the pop-up stands below the word, not
// over it (it was anchored at the tap point, inside the word).
TEST_F(RecordSetProgram, ALookedUpWordStaysInViewAboveItsPopup) {
    BookBuilder story;
    const std::string text = "The lamp was old and patient, and the keeper trimmed it.";
    story.text.assign(text.begin(), text.end());
    story.fullName = "Story";
    const Bytes bytes = story.Build();
    device.WriteHost("storage/eBooks/Story.prc", std::string(bytes.begin(), bytes.end()));
    // "lamp" is the second word of the first line, tapped near its top; Lookup is item 45 of
    // the tap's menu.
    const Screen shown = Run("answer 50045\ntap 80 38\nidle\n", "\\storage\\eBooks\\Story.prc");
    EXPECT_GT(PopupPixels(shown), 1000);
    // The word's letters (the tap's line, above the pop-up) are not covered.
    EXPECT_EQ(shown.CountOf(55, 34, 45, 12, 0xFFFFCE), 0);
}

// The looked-up word is shown selected while its pop-up is open, and let go with the pop-up:
// a tap beside it closes it and the page is as it was before, word and all.
TEST_F(RecordSetProgram, ALookedUpWordIsMarkedWhileItsPopupIsOpen) {
    BookBuilder story;
    const std::string text = "The lamp was old and patient, and the keeper trimmed it.";
    story.text.assign(text.begin(), text.end());
    story.fullName = "Story";
    const Bytes bytes = story.Build();
    device.WriteHost("storage/eBooks/Story.prc", std::string(bytes.begin(), bytes.end()));
    const std::string at = "\\storage\\eBooks\\Story.prc";
    const std::string lookup = "answer 50045\ntap 80 38\nidle\n";
    const Screen plain = Run("", at);
    const Screen open = Run(lookup, at);
    const Screen closed = Run(lookup + "tap 120 300\nidle\n", at);
    const Screen other = Run("answer 50045\ntap 190 38\nidle\n", at);
    ASSERT_GT(PopupPixels(open), 1000);
    EXPECT_EQ(PopupPixels(closed), 0);
    // "lamp" (x 55 to 100 of the first line) differs from the plain page; "The" before it does not.
    EXPECT_NE(Region(open, 55, 30, 45, 16), Region(plain, 55, 30, 45, 16));
    EXPECT_EQ(Region(open, 0, 30, 50, 16), Region(plain, 0, 30, 50, 16));
    // Another word's look-up marks that word, not "lamp".
    EXPECT_EQ(Region(other, 55, 30, 45, 16), Region(plain, 55, 30, 45, 16));
    EXPECT_NE(Region(other, 150, 30, 80, 16), Region(plain, 150, 30, 80, 16));
    EXPECT_EQ(closed.pixels, plain.pixels);
}

// An entry opened from a query page's spelling suggestions runs the page's query with the
// entry as the book's record set, and goes to the search history as an entry opened from an
// index page does (it used to be refused, and nothing was kept).
TEST_F(RecordSetProgram, AQueryPageSuggestionRunsItsQuery) {
    DictionarySpec spec;
    spec.name = "Picks";
    spec.words = {{u"beam", "A ray of light."}, {u"lens", "A shaped piece of glass."},
                  {u"reef", "A ridge of rock."}};
    spec.alphabet = u"abcdefghijklmnopqrstuvwxyz";
    spec.front = "<p><a onclick=\"sql_search(&quot;SELECT * FROM words WHERE orth LIKE "
                 "'%'&quot;,'alert','','','5')\">Pick a word</a></p>";
    const Bytes bytes = DictionaryBook(spec);
    ASSERT_FALSE(bytes.empty());
    device.WriteHost("storage/eBooks/Picks.prc", std::string(bytes.begin(), bytes.end()));
    const std::string at = "\\storage\\eBooks\\Picks.prc";
    const std::string lenz = "tap 40 35\nidle\nchar l\nchar e\nchar n\nchar z\nidle\nkey 0x0d\nidle\n";
    const Screen query = Run("tap 40 35\nidle\n", at);
    const Screen spelt = Run(lenz, at);
    ASSERT_TRUE(ShowsIndex(query));
    EXPECT_GT(PopupPixels(spelt), 1000);
    EXPECT_FALSE(device.HostExists("storage/eBooks/database/folivant_history.ebase"));
    const Screen run = Run(lenz + "tap 90 167\nidle\n", at);
    // The page's name is the script it runs: alert(__global_recordset) shows the entry's key
    // ("lens") in a pop-up at the top of the page, where the suggestions have gone.
    EXPECT_EQ(PopupPixels(run, 60), 0);
    EXPECT_EQ(spelt.CountOf(0, 20, spelt.width, 30, 0xFFFFCE), 0);
    EXPECT_GT(run.CountOf(0, 20, run.width, 30, 0xFFFFCE), 200);
    EXPECT_TRUE(device.HostExists("storage/eBooks/database/folivant_history.ebase"));
}

// The look-up kinds of link, each followed as a person follows it: a second dictionary holds
// "lamp" too, and a story's words are looked up from its page or sent to the word list by its
// script link.
class LookupLinkProgram : public RecordSetProgram {
protected:
    void SetUp() override {
        RecordSetProgram::SetUp();
        DictionarySpec spec;
        spec.name = "Lexicon";
        spec.words = {{u"lamp", "An oil light hung in a window."},
                      {u"wick", "The cord that draws the oil up to the flame."}};
        const Bytes bytes = DictionaryBook(spec);
        ASSERT_FALSE(bytes.empty());
        device.WriteHost("storage/eBooks/Lexicon.prc", std::string(bytes.begin(), bytes.end()));
    }

    // A story whose first line is a link that sends `word` to the English word list without
    // naming a dictionary, then a line with "lamp" (or `second`) in it.
    std::string WriteStory(const std::string& word,
                           const std::string& second = "The lamp was old and patient.") {
        BookBuilder story;
        const std::string html = "<html><body><p><a onclick=\"add_to_wordlist('" + word +
                                 "','en','','')\">Keep the word</a></p><p>" + second +
                                 "</p></body></html>";
        story.text.assign(html.begin(), html.end());
        story.fullName = "Story";
        const Bytes bytes = story.Build();
        device.WriteHost("storage/eBooks/Story.prc", std::string(bytes.begin(), bytes.end()));
        return "\\storage\\eBooks\\Story.prc";
    }

    // The boxes and dialogs shown in the last run, with their answers.
    std::string Log() const { return ReadLog(device.outside() + "/log.txt"); }
    std::string LogStep() const { return "shelllog " + device.outside() + "/log.txt\n"; }
    static std::string ReadLog(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // The saved word list holds the word (its texts are kept as UTF-8).
    bool WordListHolds(const std::string& text) const {
        return device.ReadHost("storage/eBooks/database/folivant_wordlist.ebase").find(text) !=
               std::string::npos;
    }

    // The middle of the pop-up's yellow, or (-1, -1) when none shows.
    static std::pair<int, int> PopupMiddle(const Screen& s) {
        const auto [left, top, right, bottom] = PopupBounds(s);
        if (right < 0) return {-1, -1};
        return {(left + right) / 2, (top + bottom) / 2};
    }

    // The steps `lookup` show the matches of a word; a tap on either of two of their lines (the
    // steps `first` and `second`) opens an entry of its own in a pop-up where the matches were,
    // and the entry joins the search history.
    void ExpectLinesOpenTheirEntries(const std::string& lookup, const std::string& at,
                                     const std::string& first, const std::string& second) {
        const Screen list = Run(lookup, at);
        EXPECT_GT(PopupPixels(list), 1000);
        EXPECT_FALSE(device.HostExists("storage/eBooks/database/folivant_history.ebase"));
        const Screen one = Run(lookup + first, at);
        EXPECT_TRUE(device.HostExists("storage/eBooks/database/folivant_history.ebase"));
        const Screen other = Run(lookup + second, at);
        EXPECT_GT(PopupPixels(one), 1000);
        EXPECT_GT(PopupPixels(other), 1000);
        EXPECT_NE(one.pixels, list.pixels);
        EXPECT_NE(other.pixels, list.pixels);
        EXPECT_NE(one.pixels, other.pixels);
    }
};

// Kind 9: "lamp" looked up from the page is in both dictionaries; each line of the results
// pop-up opens that dictionary's entry (here, one match each), which joins the search history.
TEST_F(LookupLinkProgram, AResultsLineOpensTheEntryOfItsDictionary) {
    const std::string at = WriteStory("lamp");
    // "lamp" on the story's second line; the pop-up's lines: Glossary, then Lexicon.
    ExpectLinesOpenTheirEntries("answer 50045\ntap 80 62\nidle\n", at, "tap 115 118\n",
                                "tap 115 133\n");
}

// Kind 8: "lights", looked up from the page, is a form of two entries of one dictionary; the
// page of matches opens the entry tapped, which joins the search history.
TEST_F(LookupLinkProgram, AMatchOfTheLookupPageOpensItsEntry) {
    const std::string at = WriteStory("lamp", "The lights were old and patient.");
    // The page's lines: "lamp", then "beam".
    ExpectLinesOpenTheirEntries("answer 50045\ntap 85 62\nidle\n", at, "tap 80 103\n",
                                "tap 80 118\n");
}

// Kind 11: a word sent to the word list without a dictionary is looked up; being in two, the
// dictionaries are offered by name in a pop-up centred on the page, and the one tapped is the
// dictionary the word is kept with, once the reader agrees.
TEST_F(LookupLinkProgram, AWordForTheListIsKeptWithTheDictionaryChosenByName) {
    const std::string at = WriteStory("lamp");
    // The story's link, then the pop-up's second line (Lexicon).
    const Screen offered = Run("tap 60 38\nidle\n", at);
    const auto middle = PopupMiddle(offered);
    EXPECT_NEAR(middle.first, offered.width / 2, 8);
    EXPECT_GT(middle.second, offered.height / 3);
    EXPECT_LT(middle.second, offered.height * 2 / 3);
    EXPECT_FALSE(WordListHolds("Lexicon"));
    Run("tap 60 38\nidle\nanswer 1\ntap 120 182\nidle\n" + LogStep(), at);
    EXPECT_NE(Log().find("Add 'lamp' to your list? => 1"), std::string::npos) << Log();
    EXPECT_TRUE(WordListHolds("lamp"));
    EXPECT_TRUE(WordListHolds("Lexicon"));
    EXPECT_FALSE(WordListHolds("Glossary"));
}

// Kind 10: a word sent to the word list that only one dictionary knows, as a form of two of
// its entries, offers both entries by headword; the one tapped is kept.
TEST_F(LookupLinkProgram, AFormOfTwoEntriesKeepsTheEntryChosen) {
    const std::string at = WriteStory("lights");
    const Screen offered = Run("tap 60 38\nidle\n", at);
    EXPECT_GT(PopupPixels(offered), 500);
    // The page's lines: "lamp", then "beam".
    Run("tap 60 38\nidle\nanswer 1\ntap 88 176\nidle\n" + LogStep(), at);
    EXPECT_NE(Log().find("Add 'beam' to your list? => 1"), std::string::npos) << Log();
    EXPECT_TRUE(WordListHolds("beam"));
    EXPECT_TRUE(WordListHolds("Glossary"));
    EXPECT_FALSE(WordListHolds("lamp"));
}

// A query page is named after a function of the book's script: a row opened on it is handed to
// that function as the book's record set. The book here names its page after the built-in that
// adds an entry to the word list, so the tapped row ("lens") is what the list gains; a row
// opened on it used to go to the entry's text, past the script.
TEST_F(RecordSetProgram, ARowOfANamedQueryPageGoesToTheBooksScript) {
    DictionarySpec spec;
    spec.name = "Picks";
    spec.words = {{u"beam", "A ray of light."}, {u"lens", "A shaped piece of glass."},
                  {u"reef", "A ridge of rock."}};
    spec.front = "<p><a onclick=\"sql_search(&quot;SELECT * FROM words WHERE orth LIKE "
                 "'%'&quot;,'add_entry_to_wordlist','','','0')\">Pick a word</a></p>";
    const Bytes bytes = DictionaryBook(spec);
    ASSERT_FALSE(bytes.empty());
    device.WriteHost("storage/eBooks/Picks.prc", std::string(bytes.begin(), bytes.end()));
    const std::string at = "\\storage\\eBooks\\Picks.prc";
    const std::string words = "storage/eBooks/database/folivant_wordlist.ebase";
    const Screen query = Run("tap 40 35\nidle\n", at);
    ASSERT_TRUE(ShowsIndex(query));
    EXPECT_FALSE(device.HostExists(words));
    // Row 1 is "lens"; by the keys, Down three times reaches "reef" and Enter opens it.
    const Screen picked = Run("tap 40 35\nidle\ntap 20 92\nidle\n", at);
    EXPECT_FALSE(ShowsIndex(picked));
    ASSERT_TRUE(device.HostExists(words));
    const std::string afterTap = device.ReadHost(words);
    EXPECT_NE(afterTap.find("lens"), std::string::npos);
    EXPECT_EQ(afterTap.find("reef"), std::string::npos);
    Run("tap 40 35\nidle\nkey 0x28\nidle\nkey 0x28\nidle\nkey 0x28\nidle\nkey 0x0d\nidle\n", at);
    const std::string afterKeys = device.ReadHost(words);
    EXPECT_NE(afterKeys.find("lens"), std::string::npos);
    EXPECT_NE(afterKeys.find("reef"), std::string::npos);
    // Opened rows go to the search history as rows of an index page do.
    EXPECT_TRUE(device.HostExists("storage/eBooks/database/folivant_history.ebase"));
}

// The pop-up of matches in several dictionaries keeps its text inside its frame: a title
// wider than the line (one long word) is cut at the line's end, on either screen and in
// either language; it used to paint over the frame and on to the edge of the screen.
TEST(LookupProgram, ADictionaryTitleWiderThanThePopupStaysInsideItsFrame) {
    for (const int scale : {1, 2}) {
        SCOPED_TRACE(scale);
        TempDevice device;
        ASSERT_TRUE(device.ok());
        const char* titles[] = {"Grand dictionnaire encyclop\xE9" "dique de la langue",
                                "OxfordAdvancedLearnersDictionaryOfCurrentEnglish"};
        for (int i = 0; i < 2; ++i) {
            DictionarySpec spec;
            spec.name = titles[i];
            spec.words = {{u"keeper", "One who tends a light."}, {u"lamp", "A light."}};
            const Bytes bytes = DictionaryBook(spec);
            device.WriteHost("storage/eBooks/Dict" + std::to_string(i) + ".prc",
                             std::string(bytes.begin(), bytes.end()));
        }
        BookBuilder story;
        const std::string text = "The lamp was old and patient, and the keeper trimmed it.";
        story.text.assign(text.begin(), text.end());
        story.fullName = "Story";
        const Bytes bytes = story.Build();
        device.WriteHost("storage/eBooks/Story.prc", std::string(bytes.begin(), bytes.end()));
        // "keeper" ends the second line; Lookup is item 45 of the tap's menu.
        const std::string shot = device.outside() + "/keeper.png";
        std::vector<std::string> env;
        if (scale == 2) env = {"FOLIVANT_SCREEN=480x640@192", "FOLIVANT_LANGUAGE=fr"};
        ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\Story.prc"}, "idle\nanswer 50045\ntap " + std::to_string(190 * scale) + " " +
                                 std::to_string(60 * scale) + "\nidle\nscreenshot " + shot +
                                 "\nquit\n", env).status,
                  0);
        Screen s;
        ASSERT_TRUE(s.Read(shot));
        // The pop-up's pale yellow, and the frame column right of it.
        const auto [left, top, right, bottom] = PopupBounds(s);
        ASSERT_GT(right - left, 100 * scale) << "no pop-up";
        ASSERT_LT(right + 1, s.width);
        EXPECT_EQ(s.CountOther(right + 1, top, 1, bottom - top + 1, 0x000000), 0);
    }
}


// A word looked up on the page's last line keeps its place in view: the pop-up that has no room
// below it goes above it (it was shifted up over the word), on either screen and in either
// language, and the word stays marked beside it.
TEST_F(RecordSetProgram, AWordOnTheLastLineStaysInViewBelowItsPopup) {
    BookBuilder story;
    std::string text;
    for (int i = 0; i < 12; ++i) text += "The lamp was old and patient, and the keeper trimmed it. ";
    story.text.assign(text.begin(), text.end());
    story.fullName = "Story";
    const Bytes bytes = story.Build();
    device.WriteHost("storage/eBooks/Story.prc", std::string(bytes.begin(), bytes.end()));
    struct Setting {
        int scale;
        const char* language;
    };
    for (const Setting setting : {Setting{1, "en"}, Setting{1, "fr"}, Setting{2, "en"},
                                  Setting{2, "fr"}}) {
        const int k = setting.scale;
        SCOPED_TRACE(std::to_string(k) + setting.language);
        const std::vector<std::string> env = {
            k == 2 ? "FOLIVANT_SCREEN=480x640@192" : "FOLIVANT_SCREEN=240x320@96",
            std::string("FOLIVANT_LANGUAGE=") + setting.language};
        auto shoot = [&](const std::string& steps) {
            const std::string shot = device.outside() + "/shot" + std::to_string(++shots) + ".png";
            Screen screen;
            EXPECT_EQ(RunSteps(device, {"\\storage\\eBooks\\Story.prc"},
                               "idle\n" + steps + "idle\nscreenshot " + shot + "\nquit\n", env)
                          .status,
                      0);
            EXPECT_TRUE(screen.Read(shot));
            return screen;
        };
        // "lamp" ends the page's last line ("trimmed it. The lamp"), justified to the right
        // margin, around (200, 266) at 96 dpi.
        const int tapX = 200 * k, tapY = 266 * k;
        const Screen plain = shoot("");
        const Screen shown = shoot("answer 50045\ntap " + std::to_string(tapX) + " " +
                                   std::to_string(tapY) + "\nidle\n");
        ASSERT_GT(shown.CountOf(0, 0, shown.width, shown.height, 0xFFFFCE), 1000 * k * k);
        // The word: no pop-up yellow over it, and marked (white on black) where the plain page
        // has black on white.
        const int x = tapX - 8 * k, y = tapY - 5 * k, w = 24 * k, h = 10 * k;
        EXPECT_EQ(shown.CountOf(x, y, w, h, 0xFFFFCE), 0);
        EXPECT_GT(shown.CountOf(x, y, w, h, 0x000000), w * h / 3);
        EXPECT_LT(plain.CountOf(x, y, w, h, 0x000000), w * h / 3);
        // The pop-up stands wholly above the word's line.
        int bottom = -1;
        for (int row = 0; row < shown.height; ++row)
            if (shown.CountOf(0, row, shown.width, 1, 0xFFFFCE) > 0) bottom = row;
        EXPECT_LT(bottom, tapY - 8 * k);
    }
}





// A page restored at start-up (the book reopened where it was left) takes taps as a freshly
// opened page does: a tapped word is looked up, and its pop-up is the same on both.
TEST_F(RecordSetProgram, AWordOfARestoredPageIsLookedUp) {
    BookBuilder story;
    std::string text;
    for (int i = 0; i < 30; ++i) text += "The lamp was old and patient, and the keeper trimmed it. ";
    story.text.assign(text.begin(), text.end());
    story.fullName = "Story";
    const Bytes bytes = story.Build();
    device.WriteHost("storage/eBooks/Story.prc", std::string(bytes.begin(), bytes.end()));
    const std::string at = "\\storage\\eBooks\\Story.prc";
    // "keeper" on the second line of the second page, reached by a page turn (a fresh layout);
    // the run leaves the book there, so the next run opens on that page restored.
    const std::string lookup = "answer 50045\ntap 80 57\nidle\n";
    const Screen fresh = Run("key 0x22\nidle\n" + lookup, at);
    const Screen restored = Run(lookup, at);
    ASSERT_GT(PopupPixels(fresh), 1000);
    EXPECT_GT(PopupPixels(restored), 1000);
    EXPECT_EQ(restored.pixels, fresh.pixels);
}


// The options' Dictionary spinner offers the installed dictionaries after "--- Auto ---": one
// step on from it shows another choice where a dictionary is installed, and none where not.
TEST(LookupProgram, TheDictionaryOptionOffersTheInstalledDictionaries) {
    for (const bool installed : {false, true}) {
        SCOPED_TRACE(installed);
        TempDevice device;
        ASSERT_TRUE(device.ok());
        if (installed) {
            DictionarySpec spec;
            spec.name = "Glossary";
            spec.words = {{u"lamp", "A light."}};
            const Bytes bytes = DictionaryBook(spec);
            device.WriteHost("storage/eBooks/Glossary.prc", std::string(bytes.begin(), bytes.end()));
        }
        BookBuilder story;
        const std::string text = "The lamp was old and patient.";
        story.text.assign(text.begin(), text.end());
        story.fullName = "Story";
        const Bytes bytes = story.Build();
        device.WriteHost("storage/eBooks/Story.prc", std::string(bytes.begin(), bytes.end()));
        const std::string o = device.outside() + "/";
        // The options sheet's first page, as it opens and after Right on its spinner.
        auto general = [&](const std::string& name, const std::string& keys) {
            EXPECT_EQ(RunSteps(device, {"\\storage\\eBooks\\Story.prc"},
                               "idle\nanswer-key 0x31\n" + keys + "screenshot-box " + o + name +
                                   "\nanswer 2\nanswer 2\nmenu 40041\nidle\nquit\n")
                          .status,
                      0);
            Screen s;
            EXPECT_TRUE(s.Read(o + name));
            return s;
        };
        const Screen opened = general("opened.png", "");
        const Screen stepped = general("stepped.png", "answer-key 0x27\n");
        ASSERT_FALSE(opened.pixels.empty());
        EXPECT_EQ(opened.pixels != stepped.pixels, installed);
    }
}

// The look-up pop-up keeps its text its margin (3 pixels at 96 dpi) away from its frame on
// either screen: on the large one the margin stayed 3 pixels while the text doubled, and the
// lines ran up against the frame.
TEST(LookupProgram, ThePopupsMarginGrowsWithTheScreen) {
    for (const int scale : {1, 2}) {
        SCOPED_TRACE(scale);
        TempDevice device;
        ASSERT_TRUE(device.ok());
        for (const char* name : {"Glossary", "Lexicon"}) {
            DictionarySpec spec;
            spec.name = name;
            spec.words = {{u"keeper", "One who tends a light."}, {u"lamp", "A light."}};
            const Bytes bytes = DictionaryBook(spec);
            device.WriteHost(std::string("storage/eBooks/") + name + ".prc",
                             std::string(bytes.begin(), bytes.end()));
        }
        BookBuilder story;
        const std::string text = "The lamp was old and patient, and the keeper trimmed it.";
        story.text.assign(text.begin(), text.end());
        story.fullName = "Story";
        const Bytes bytes = story.Build();
        device.WriteHost("storage/eBooks/Story.prc", std::string(bytes.begin(), bytes.end()));
        // "lamp", the second word; Lookup is item 45 of the tap's menu.
        const std::string shot = device.outside() + "/lamp.png";
        std::vector<std::string> env = {"FOLIVANT_FONTS=box"};
        if (scale == 2) env.push_back("FOLIVANT_SCREEN=480x640@192");
        ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\Story.prc"},
                           "idle\nanswer 50045\ntap " + std::to_string(75 * scale) + " " +
                               std::to_string(38 * scale) + "\nidle\nscreenshot " + shot +
                               "\nquit\n",
                           env)
                      .status,
                  0);
        Screen s;
        ASSERT_TRUE(s.Read(shot));
        // The pop-up: the bounds of its pale yellow.
        const auto [left, top, right, bottom] = PopupBounds(s);
        ASSERT_GT(right - left, 60 * scale) << "no pop-up";
        // Inside the frame (the margin's first pixel), the margin's columns and rows hold
        // nothing but the yellow.
        const int margin = 3 * scale - 1, h = bottom - top + 1, w = right - left + 1;
        EXPECT_EQ(s.CountOther(left, top, margin, h, 0xFFFFCE), 0) << "left margin";
        EXPECT_EQ(s.CountOther(right - margin + 1, top, margin, h, 0xFFFFCE), 0) << "right margin";
        EXPECT_EQ(s.CountOther(left, top, w, margin, 0xFFFFCE), 0) << "top margin";
    }
}

// A look-up that finds nothing offers each dictionary's index; the index it opens has no title
// of its own, and its header names the dictionary rather than stand as an empty grey strip.
TEST(LookupProgram, AnIndexOpenedFromAFailedLookupIsHeadedByItsDictionary) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    DictionarySpec spec;
    spec.name = "Glossary";
    spec.words = {{u"keeper", "One who tends a light."}, {u"lamp", "A light."}};
    const Bytes dictionary = DictionaryBook(spec);
    device.WriteHost("storage/eBooks/Glossary.prc",
                     std::string(dictionary.begin(), dictionary.end()));
    BookBuilder story;
    const std::string text = "The lamp was old and patient, and the keeper trimmed it.";
    story.text.assign(text.begin(), text.end());
    story.fullName = "Story";
    const Bytes bytes = story.Build();
    device.WriteHost("storage/eBooks/Story.prc", std::string(bytes.begin(), bytes.end()));
    // "The" is nobody's word; Enter follows the pop-up's focused link, the dictionary's index.
    const std::string shot = device.outside() + "/index.png";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\Story.prc"},
                       "idle\nanswer 50045\ntap 28 38\nidle\nkey 0x0d\nidle\nscreenshot " + shot +
                           "\nquit\n",
                       {"FOLIVANT_FONTS=box"})
                  .status,
              0);
    Screen s;
    ASSERT_TRUE(s.Read(shot));
    // The header: the rows holding its grey; the box font's letters are dark boxes on it.
    int rows = 0, ink = 0;
    for (int y = 0; y < s.height / 2; ++y) {
        if (s.CountOf(0, y, s.width, 1, kHeaderGrey) < s.width / 2) continue;
        ++rows;
        ink += s.CountOf(0, y, s.width, 1, 0x000000);
    }
    ASSERT_GT(rows, 5) << "no index page";
    EXPECT_GT(ink, 30) << "the header is empty";
}

}  // namespace
}  // namespace fvt::test
