// What a reader starts finishes right, seen through the program: reading aloud turns the pages,
// the dictionary chosen in the options is the one looked in, a word goes into the word list of
// the book's language, a link script that does not compile says so, auto-scroll ends on Back and
// joins its pages without a gap, the audio page shows the end of its last track,
// a capitalised word finds its lower-case entry, a note is drawn once added, and an untitled
// page is captioned by the program alone. Every step is a person's: keys, taps and menus.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "shell/program_runs.h"
#include "support/bookfiles/book_builder.h"
#include "support/media/sound_fixtures.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

namespace fs = std::filesystem;

const char kKeeper[] = "\\storage\\eBooks\\The Lighthouse Keeper.prc";

// The sample device tools/run shows: its books, glossaries and audio book.
bool FillSamples(const TempDevice& device) {
    return RunProgram({.program = FOLIVANT_SAMPLES, .args = {device.root(), FOLIVANT_SAMPLE_TEXTS}})
               .status == 0;
}

std::string FileText(const TempDevice& device, const std::string& relative) {
    return ReadFile(device.root() + "/" + relative);
}

bool Exists(const TempDevice& device, const std::string& relative) {
    return fs::exists(device.root() + "/" + relative);
}

void WriteBook(const TempDevice& device, const std::string& name, const std::string& html,
               std::uint32_t locale = 9) {
    BookBuilder book;
    book.text.assign(html.begin(), html.end());
    book.fullName = "Functions";
    book.locale = locale;
    const Bytes bytes = book.Build();
    device.WriteHost("storage/eBooks/" + name, std::string(bytes.begin(), bytes.end()));
}

bool Blank(const Picture& p, int y) {
    for (int x = 0; x < p.width; ++x)
        if ((p.At(x, y) & 0xFF) < 128) return false;
    return true;
}

// The tallest run of blank rows between two rows of ink, within [top, bottom).
int LongestGap(const Picture& p, int top, int bottom) {
    int longest = 0, run = 0;
    bool inked = false;
    for (int y = top; y < bottom && y < p.height; ++y) {
        if (!Blank(p, y)) {
            if (inked) longest = std::max(longest, run);
            inked = true;
            run = 0;
        } else {
            ++run;
        }
    }
    return longest;
}

// The shortest distance between the tops of two runs of ink: a line's height on a page of
// plain text.
int LinePitch(const Picture& p, int top, int bottom) {
    int last = -1, pitch = 1 << 20;
    bool blank = true;
    for (int y = top; y < bottom && y < p.height; ++y) {
        const bool b = Blank(p, y);
        if (blank && !b) {
            if (last >= 0) pitch = std::min(pitch, y - last);
            last = y;
        }
        blank = b;
    }
    return pitch;
}

// ---- Reading aloud ---------------------------------------------------------------------------

std::string AloudBook() {
    std::string html = "<html><body><p><a onclick=\"voice.read()\">READ ALOUD</a></p>";
    for (std::uint32_t p = 0; p < 4; ++p) html += "<p>" + SampleText(240, 70 + p) + "</p>";
    return html + "</body></html>";
}

// The reading starts on the first page and shows every page in turn as it goes, ending on the
// last; the sound holds the whole text. (The program's clock is the test's: each `advance`
// lets the speech play that long.)
TEST(ReadingAloud, ThePagesTurnAsTheReadingPassesThemUpToTheLast) {
    TempDevice pagesDevice, device;
    ASSERT_TRUE(pagesDevice.ok() && device.ok());
    WriteBook(pagesDevice, "aloud.prc", AloudBook());
    WriteBook(device, "aloud.prc", AloudBook());
    const std::string book = "\\storage\\eBooks\\aloud.prc";

    // The pages, turned by hand.
    const std::string p = pagesDevice.outside() + "/page";
    std::string turning = "idle\n";
    for (int i = 0; i < 10; ++i) turning += "pagetext " + p + std::to_string(i) + "\nkey 0x22\nidle\n";
    ASSERT_EQ(RunSteps(pagesDevice, {book}, turning + "quit\n").status, 0);
    std::vector<std::string> pages;
    for (int i = 0; i < 10; ++i) {
        const std::string text = Joined(ReadLines(p + std::to_string(i)));
        if (!pages.empty() && text == pages.back()) break;
        pages.push_back(text);
    }
    ASSERT_GE(pages.size(), 3u);

    const std::string o = device.outside() + "/shown";
    const std::string wav = device.outside() + "/speech.wav";
    std::string reading = "idle\ntap 60 44\nidle\n";
    constexpr int kLooks = 50;
    for (int i = 0; i < kLooks; ++i) reading += "advance 3000\npagetext " + o + std::to_string(i) + "\n";
    ASSERT_EQ(RunSteps(device, {book}, reading + "quit\n",
                       {"FOLIVANT_CLOCK=virtual", "FOLIVANT_AUDIO=wav:" + wav})
                  .status,
              0)
        << ReadFile(device.outside() + "/errors.txt");

    std::vector<int> shown;
    for (int i = 0; i < kLooks; ++i) {
        const std::string text = Joined(ReadLines(o + std::to_string(i)));
        const auto at = std::find(pages.begin(), pages.end(), text);
        ASSERT_NE(at, pages.end()) << "look " << i << " shows no page:\n" << text;
        shown.push_back(static_cast<int>(at - pages.begin()));
    }
    EXPECT_EQ(shown.front(), 0) << "the reading left the first page at once";
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end())) << "a page went back";
    for (int page = 0; page < static_cast<int>(pages.size()); ++page)
        EXPECT_NE(std::find(shown.begin(), shown.end(), page), shown.end())
            << "page " << page << " was never shown";
    EXPECT_EQ(shown.back(), static_cast<int>(pages.size()) - 1);

    std::uint32_t rate = 0, channels = 0;
    std::vector<std::int16_t> samples;
    ASSERT_TRUE(fixtures::ReadWav(wav, &rate, &channels, &samples));
    // Some 170 words: most of a minute of speech.
    EXPECT_GT(samples.size(), 40u * rate);
}

// ---- Look-ups --------------------------------------------------------------------------------

// Options, then General (the sheet's first row); the dictionary list's right arrow twice goes
// from "--- Auto ---" past the French glossary to the Lighthouse Glossary; OK on the page and
// on the sheet.
const char kChooseGlossary[] =
    "answer-tap 60 60\nanswer-tap 228 81\nanswer-tap 228 81\nanswer-tap 60 307\n"
    "answer-tap 60 307\nmenu 40041\nidle\n";
// "lamp", the second word of the third page, looked up from its pop-up menu (below the word).
const char kLookUpLamp[] = "answer-tap 105 66\ntap 80 44\nidle\n";
const char kHistory[] = "storage/eBooks/database/folivant_history.ebase";

TEST(LookingUp, TheDictionaryChosenInTheOptionsIsTheOneLookedIn) {
    // Both glossaries have "lamp": left to choose, the look-up offers both.
    TempDevice automatic;
    ASSERT_TRUE(automatic.ok() && FillSamples(automatic));
    ASSERT_EQ(RunSteps(automatic, {kKeeper},
                       std::string("idle\nkey 0x22\nidle\nkey 0x22\nidle\n") + kLookUpLamp + "quit\n")
                  .status,
              0);
    EXPECT_FALSE(Exists(automatic, kHistory)) << "an entry was opened without a choice";

    // With the Lighthouse Glossary chosen, its entry opens at once (and joins the history).
    TempDevice chosen;
    ASSERT_TRUE(chosen.ok() && FillSamples(chosen));
    ASSERT_EQ(RunSteps(chosen, {kKeeper},
                       std::string("idle\nkey 0x22\nidle\nkey 0x22\nidle\n") + kChooseGlossary +
                           kLookUpLamp + "quit\n")
                  .status,
              0)
        << ReadFile(chosen.outside() + "/errors.txt");
    const std::string history = FileText(chosen, kHistory);
    EXPECT_NE(history.find("Lighthouse%20Glossary"), std::string::npos) << history;
    EXPECT_EQ(history.find("Glossaire"), std::string::npos) << history;
}

// "Keeper" in the title: the glossaries hold "keeper". Both are offered; the first opens the
// entry.
TEST(LookingUp, ACapitalisedWordFindsItsLowerCaseEntry) {
    TempDevice device;
    ASSERT_TRUE(device.ok() && FillSamples(device));
    ASSERT_EQ(RunSteps(device, {kKeeper},
                       "idle\nkey 0x22\nidle\nanswer-tap 72 94\ntap 40 70\nidle\n"
                       "tap 120 122\nidle\nquit\n")
                  .status,
              0)
        << ReadFile(device.outside() + "/errors.txt");
    const std::string history = FileText(device, kHistory);
    EXPECT_NE(history.find("Lighthouse%20Glossary"), std::string::npos)
        << "no entry was opened for \"Keeper\"";
}

// ---- The word list ---------------------------------------------------------------------------

const char kWordList[] = "storage/eBooks/database/folivant_wordlist.ebase";
// The link, then OK in "Word not found ... Add anyway?".
const char kAddTheWord[] = "idle\nanswer-tap 65 197\ntap 60 44\nidle\nquit\n";

TEST(WordList, AWordWithoutALanguageGoesIntoTheListOfTheDevicesLanguageOnAFreshDevice) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/words.html",
                     "<html><body><p><a onclick=\"window.add_to_wordlist('harbour')\">ADD WORD</a>"
                     "</p><p>The harbour had silted up.</p></body></html>");
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\words.html"}, kAddTheWord).status, 0);
    const std::string list = FileText(device, kWordList);
    EXPECT_NE(list.find("wl_en"), std::string::npos);
    EXPECT_NE(list.find("harbour"), std::string::npos);
    EXPECT_EQ(ReadFile(device.outside() + "/errors.txt").find("Could not open"), std::string::npos);
}

TEST(WordList, AWordWithoutALanguageTakesTheBooksAndOneWithANameTakesThat) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    // A French book.
    WriteBook(device, "mots.prc",
              "<html><body><p><a onclick=\"window.add_to_wordlist('phare')\">AJOUTER</a></p>"
              "<p><a onclick=\"window.add_to_wordlist('harbour', 'en')\">ADD</a></p>"
              "<p>Le phare.</p></body></html>",
              12);
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\mots.prc"}, kAddTheWord).status, 0);
    std::string list = FileText(device, kWordList);
    EXPECT_NE(list.find("wl_fr"), std::string::npos);
    EXPECT_NE(list.find("phare"), std::string::npos);
    EXPECT_EQ(list.find("wl_en"), std::string::npos);
    const std::string log = device.outside() + "/log.txt";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\mots.prc"},
                       "idle\nanswer-tap 65 197\ntap 35 68\nidle\nshelllog " + log + "\nquit\n")
                  .status,
              0);
    list = FileText(device, kWordList);
    EXPECT_NE(list.find("wl_en"), std::string::npos) << ReadFile(log);
    EXPECT_NE(list.find("harbour"), std::string::npos);
}

// ---- Book scripts ----------------------------------------------------------------------------

TEST(BookScripts, ALinkScriptThatDoesNotCompileSaysSo) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/broken.html",
                     "<html><body><p><a onclick=\"var = ;)\">BROKEN</a></p><p>Text.</p>"
                     "</body></html>");
    const std::string log = device.outside() + "/log.txt";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\broken.html"},
                       "idle\nanswer-tap 120 183\ntap 60 44\nidle\nshelllog " + log + "\nquit\n")
                  .status,
              0);
    EXPECT_NE(ReadFile(log).find("Error while parsing script"), std::string::npos)
        << ReadFile(log);
}

// The language of a word tapped on an HTML page that names none is the device's: the flashed
// language is the same picture as a flashed "en".
TEST(BookScripts, TheSelectionsLanguageOnAnHtmlPageIsTheDevicesWhenThePageNamesNone) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/lang.html",
                     "<html><body><p><a onclick=\"window.flash_message(selection.language)\">"
                     "LANGUAGE</a></p><p><a onclick=\"window.flash_message('en')\">ENGLISH</a></p>"
                     "<p>Harbour</p></body></html>");
    const std::string o = device.outside() + "/";
    // A tap on the word keeps it as the last word (its pop-up menu closes unanswered).
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\lang.html"},
                       "idle\ntap 40 94\nidle\ntap 60 44\nidle\nscreenshot " + o +
                           "language.png\nadvance 1500\nidle\ntap 60 68\nidle\nscreenshot " + o +
                           "english.png\nquit\n",
                       {"FOLIVANT_CLOCK=virtual"})
                  .status,
              0);
    const Picture language = ReadPicture(o + "language.png"), english = ReadPicture(o + "english.png");
    ASSERT_GT(language.width, 0);
    // The flash sits in the middle of the page, below the links.
    EXPECT_FALSE(language.RowsDiffer(english, 120, 220));
}

// ---- Auto-scroll -----------------------------------------------------------------------------

TEST(AutoScroll, BackEndsItReleasesTheBacklightAndTheNextBookIsNotScrolled) {
    TempDevice device, fresh;
    ASSERT_TRUE(device.ok() && FillSamples(device) && fresh.ok() && FillSamples(fresh));
    const std::string o = device.outside() + "/";
    ASSERT_EQ(RunSteps(device, {kKeeper},
                       "idle\nkey 0x22\nidle\nmenu 40086\nidle\nadvance 3000\nkey 0x1b\nidle\n"
                       "advance 500\nshelllog " + o + "log.txt\nlisttext " + o + "library.txt\n"
                       // The row after the book read is "Two Bells".
                       "key 0x28\nidle\nkey 0x0d\nidle\nadvance 3000\nscreenshot " + o +
                           "bells.png\nquit\n",
                       {"FOLIVANT_CLOCK=virtual"})
                  .status,
              0)
        << ReadFile(o + "errors.txt");
    const std::string log = ReadFile(o + "log.txt");
    const size_t taken = log.find("power BKL1");
    ASSERT_NE(taken, std::string::npos) << log;
    EXPECT_NE(log.find("power released", taken), std::string::npos) << log;
    EXPECT_NE(ReadFile(o + "library.txt").find("Two Bells"), std::string::npos);

    const std::string f = fresh.outside() + "/";
    ASSERT_EQ(RunSteps(fresh, {"\\storage\\eBooks\\Two Bells.prc"},
                       "idle\nadvance 3000\nscreenshot " + f + "bells.png\nquit\n",
                       {"FOLIVANT_CLOCK=virtual"})
                  .status,
              0);
    const Picture after = ReadPicture(o + "bells.png"), alone = ReadPicture(f + "bells.png");
    ASSERT_GT(after.width, 0);
    // Above the soft-key bar, whose left key reads "Back" after the library and "Library" else.
    EXPECT_FALSE(after.RowsDiffer(alone, 0, after.height - 30)) << "the book opened next was scrolled";
}

// While the pages scroll by, no gap between two lines is as tall as the blank line a page's
// unused bottom would leave: pages follow each other as on one long page.
TEST(AutoScroll, PagesFollowEachOtherWithoutABlankLine) {
    TempDevice device;
    ASSERT_TRUE(device.ok() && FillSamples(device));
    const std::string o = device.outside() + "/";
    std::string steps = "idle\nkey 0x22\nidle\nscreenshot " + o + "page.png\nkey 0x22\nidle\n"
                        "screenshot " + o + "next.png\nkey 0x21\nidle\nmenu 40086\nidle\n";
    constexpr int kLooks = 45;
    for (int i = 0; i < kLooks; ++i) steps += "advance 1000\nscreenshot " + o + std::to_string(i) + ".png\n";
    ASSERT_EQ(RunSteps(device, {kKeeper}, steps + "quit\n", {"FOLIVANT_CLOCK=virtual"}).status, 0);
    // The text area: below the caption, above the soft-key bar.
    constexpr int kTop = 30, kBottom = 290;
    const Picture page = ReadPicture(o + "page.png"), next = ReadPicture(o + "next.png");
    ASSERT_GT(page.width, 0);
    const int pitch = LinePitch(next, kTop, kBottom);
    const int usual = std::max(LongestGap(page, kTop, kBottom), LongestGap(next, kTop, kBottom));
    ASSERT_GT(pitch, 10);
    for (int i = 0; i < kLooks; ++i) {
        const Picture shot = ReadPicture(o + std::to_string(i) + ".png");
        ASSERT_GT(shot.width, 0);
        EXPECT_LT(LongestGap(shot, kTop, kBottom), usual + pitch / 2) << "look " << i;
    }
}

// ---- The audio page --------------------------------------------------------------------------

// Pixels of the time line's played part (red).
int PlayedBar(const Picture& p) {
    int n = 0;
    for (int y = p.height / 2; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const std::uint32_t v = p.At(x, y);
            n += (v & 0xFF) > 150 && ((v >> 8) & 0xFF) < 80 && ((v >> 16) & 0xFF) < 80;
        }
    return n;
}

// After the last bell the time line stands at the end, not at the last whole second before
// it; nothing more is played.
TEST(AudioPage, AfterTheLastTrackTheTimeLineShowsItsEnd) {
    TempDevice device;
    ASSERT_TRUE(device.ok() && FillSamples(device));
    const std::string o = device.outside() + "/";
    const std::string wav = o + "bells.wav";
    // The book's first link opens the audio page; Play from its menu. Each bell is 4 s long.
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\Two Bells.prc"},
                       "idle\nkey 0x28\nidle\nkey 0x28\nidle\nkey 0x0d\nidle\nmenu 40087\nidle\n"
                       "advance 7300\nscreenshot " + o + "late.png\nadvance 5000\nscreenshot " + o +
                           "ended.png\nquit\n",
                       {"FOLIVANT_CLOCK=virtual", "FOLIVANT_AUDIO=wav:" + wav})
                  .status,
              0);
    const Picture late = ReadPicture(o + "late.png"), ended = ReadPicture(o + "ended.png");
    ASSERT_GT(late.width, 0);
    EXPECT_GT(PlayedBar(late), 0);
    EXPECT_GT(PlayedBar(ended), PlayedBar(late)) << "the time line stopped short of the end";
    std::uint32_t rate = 0, channels = 0;
    std::vector<std::int16_t> samples;
    ASSERT_TRUE(fixtures::ReadWav(wav, &rate, &channels, &samples));
    // Both bells once, not a third time.
    EXPECT_LT(samples.size(), static_cast<size_t>(9 * rate * channels));
    EXPECT_GT(samples.size(), static_cast<size_t>(7 * rate * channels));
}

// ---- Notes and captions ----------------------------------------------------------------------

// Two words selected by keys, "Add note" from their pop-up, the note typed on the input panel:
// the page then looks as it does when the book is opened again with the note.
TEST(Notes, AfterAddNoteTheNoteShowsAndNotTheSelection) {
    TempDevice device;
    ASSERT_TRUE(device.ok() && FillSamples(device));
    const std::string o = device.outside() + "/";
    ASSERT_EQ(RunSteps(device, {kKeeper},
                       "idle\nkey 0x22\nidle\nchar 9\nidle\nkey 0x0d\nidle\nkey 0x27\nidle\n"
                       // Add note; "n", "o" on the panel's keys; OK.
                       "answer-tap 60 94\nanswer-tap 129 286\nanswer-tap 200 244\n"
                       "answer-tap 60 307\nkey 0x0d\nidle\nscreenshot " + o + "added.png\nquit\n")
                  .status,
              0);
    const std::string side = FileText(device, "storage/eBooks/The Lighthouse Keeper.fvt");
    ASSERT_NE(side.find(std::string("n\0o\0", 4)), std::string::npos) << "no note was written";
    ASSERT_EQ(RunSteps(device, {kKeeper}, "idle\nscreenshot " + o + "again.png\nquit\n").status, 0);
    const Picture added = ReadPicture(o + "added.png"), again = ReadPicture(o + "again.png");
    ASSERT_GT(added.width, 0);
    EXPECT_FALSE(added.RowsDiffer(again, 0, added.height));
}

// The cart's page has no title: its caption is the library's, "Folivant Reader".
TEST(Captions, AnUntitledPageIsCaptionedByTheProgramAlone) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/list.html",
                     "<html><body><p><a href=\"oeb:cart\">THE CART</a></p></body></html>");
    const std::string o = device.outside() + "/";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\list.html"},
                       "idle\ntap 60 44\nidle\nscreenshot " + o + "list.png\nkey 0x1b\nidle\n"
                       "key 0x1b\nidle\nscreenshot " + o + "library.png\nquit\n")
                  .status,
              0);
    const Picture list = ReadPicture(o + "list.png"), library = ReadPicture(o + "library.png");
    ASSERT_GT(list.width, 0);
    // The caption strip at the top of the screen.
    EXPECT_FALSE(list.RowsDiffer(library, 0, 20));
}

}  // namespace
}  // namespace fvt::test
