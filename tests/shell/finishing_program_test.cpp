// What a reader starts finishes right, seen through the program (second round): Play after the
// last track starts the list again, a password field shows and submits its value, a failing
// script page keeps what it wrote, a link to the page shown twice and Back return to the page.
// Every step is a person's: keys, taps and menus.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "shell/program_runs.h"
#include "support/bookfiles/book_builder.h"
#include "support/media/image/picture_fixtures.h"
#include "support/media/sound_fixtures.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

bool FillSamples(const TempDevice& device) {
    return RunProgram({.program = FOLIVANT_SAMPLES, .args = {device.root(), FOLIVANT_SAMPLE_TEXTS}})
               .status == 0;
}

bool Contains(const std::string& s, const std::string& part) {
    return s.find(part) != std::string::npos;
}

// Dark pixels in a box of a screenshot.
int DarkIn(const Picture& p, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1 && y < p.height; ++y)
        for (int x = x0; x < x1 && x < p.width; ++x) {
            const std::uint32_t v = p.At(x, y);
            n += (v & 0xFF) < 100 && ((v >> 8) & 0xFF) < 100 && ((v >> 16) & 0xFF) < 100;
        }
    return n;
}

// ---- The audio page --------------------------------------------------------------------------

// Both bells played to their end; Play then starts the first bell again, and the panel names it.
TEST(AudioPageAgain, PlayAfterTheLastTrackStartsTheFirstOne) {
    TempDevice device;
    ASSERT_TRUE(device.ok() && FillSamples(device));
    const std::string o = device.outside() + "/";
    const std::string wav = o + "bells.wav";
    // The book's first link opens the audio page; Play from its menu. Each bell is 4 s long.
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\Two Bells.prc"},
                       "idle\nkey 0x28\nidle\nkey 0x28\nidle\nkey 0x0d\nidle\nmenu 40087\nidle\n"
                       "screenshot " + o + "first.png\nadvance 12000\nscreenshot " + o +
                           "ended.png\nmenu 40087\nidle\nadvance 1500\nscreenshot " + o +
                           "again.png\nquit\n",
                       {"FOLIVANT_CLOCK=virtual", "FOLIVANT_AUDIO=wav:" + wav})
                  .status,
              0);
    std::uint32_t rate = 0, channels = 0;
    std::vector<std::int16_t> samples;
    ASSERT_TRUE(fixtures::ReadWav(wav, &rate, &channels, &samples));
    // Both bells, then a second of the first one again.
    EXPECT_GT(samples.size(), static_cast<size_t>(9 * rate * channels));
    const Picture first = ReadPicture(o + "first.png"), ended = ReadPicture(o + "ended.png"),
                  again = ReadPicture(o + "again.png");
    ASSERT_GT(first.width, 0);
    // The panel's second line names the track (on the 240x320 screen, above the time line).
    auto title = [](const Picture& a, const Picture& b) {
        int differ = 0;
        for (int y = 244; y < 262; ++y)
            for (int x = 15; x < 225; ++x) differ += a.At(x, y) != b.At(x, y);
        return differ;
    };
    EXPECT_GT(title(first, ended), 0) << "the last track was not named";
    EXPECT_EQ(title(first, again), 0) << "the panel does not name the first track again";
}

// ---- Forms -----------------------------------------------------------------------------------

// A password field given a VALUE shows it masked and submits it: the action names a book by the
// field's value, so the failure to open it tells what was submitted.
TEST(PasswordFields, TheValueGivenShowsMaskedAndIsSubmitted) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/code.html",
                     "<html><body><p>Sign in</p><form action=\"oeb:redirect\"><p>Code: "
                     "<input type=\"password\" name=\"title\" value=\"abc\" size=\"10\"></p>"
                     "<p><input type=\"submit\" value=\"Go\"></p></form></body></html>");
    const std::string o = device.outside() + "/";
    // The field's frame spans (21..185, 80..102) on the 240x320 screen; Go lies below it.
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\code.html"},
                       "idle\nscreenshot " + o + "shown.png\ntap 38 125\nidle\nshelllog " + o +
                           "log.txt\nquit\n")
                  .status,
              0);
    const Picture shown = ReadPicture(o + "shown.png");
    ASSERT_GT(shown.width, 0);
    EXPECT_GT(DarkIn(shown, 24, 84, 180, 99), 20) << "the field shows nothing";
    const std::string log = ReadFile(o + "log.txt");
    EXPECT_TRUE(Contains(log, "Could not open: oeb:redirect?title=abc ")) << log;
}

// ---- Script pages ----------------------------------------------------------------------------

// A book whose front page links to a script page kept in the book.
void WriteScriptBook(const TempDevice& device, const std::string& name, const std::string& page) {
    std::string text = "<html><body><p><a href=\"" + name + ".prc\\page.asp\">RUN</a></p></body></html>";
    BookBuilder b;
    b.fullName = "Scripts";
    BookTargetSpec t;
    t.kind = 8;  // an object target
    t.name = "page.asp";
    t.position = static_cast<std::int32_t>(text.size());
    text += page;
    t.numbers[0] = static_cast<std::int32_t>(text.size());
    t.numbers[1] = 0;
    t.numbers[2] = 2;  // a script page
    b.targets.push_back(t);
    b.text.assign(text.begin(), text.end());
    const Bytes bytes = b.Build();
    device.WriteHost("storage/eBooks/" + name + ".prc", std::string(bytes.begin(), bytes.end()));
}

// The page writes a line, then calls what does not exist: the line stays above the report,
// whether the page opened its own HTML or not.
TEST(ScriptPages, APageThatFailsKeepsWhatItWroteBeforeTheReport) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteScriptBook(device, "bare", "<%@Language=Javascript%>Written first<% nosuch() %>never");
    WriteScriptBook(device, "whole",
                    "<%@Language=Javascript%><html><body><p>Written first</p><% nosuch() %>never");
    const std::string o = device.outside() + "/";
    for (const std::string name : {"bare", "whole"}) {
        ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\" + name + ".prc\\page.asp"},
                           "idle\npagetext " + o + name + ".txt\nquit\n")
                      .status,
                  0);
        std::string page = ReadFile(o + name + ".txt");
        std::replace(page.begin(), page.end(), '\n', ' ');
        EXPECT_TRUE(Contains(page, "Written first")) << name << ":\n" << page;
        EXPECT_TRUE(Contains(page, "Member Unknown")) << name << ":\n" << page;
        EXPECT_FALSE(Contains(page, "never")) << name << ":\n" << page;
    }
}

// ---- A dictionary's index page ---------------------------------------------------------------

// A word no dictionary holds offers the index pages; the French glossary's shows its name in
// the header. An entry opened from it and Back: the header names the glossary again.
TEST(IndexPages, BackFromAnEntryShowsTheHeaderAgain) {
    TempDevice device;
    ASSERT_TRUE(device.ok() && FillSamples(device));
    const std::string o = device.outside() + "/";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\The Lighthouse Keeper.prc"},
                       "idle\nkey 0x22\nidle\nanswer 50045\ntap 30 100\nidle\ntap 140 158\nidle\n"
                       "screenshot " + o + "index.png\ntap 15 77\nidle\nscreenshot " + o +
                           "entry.png\nkey 0x1b\nidle\nscreenshot " + o + "back.png\nquit\n")
                  .status,
              0);
    const Picture index = ReadPicture(o + "index.png"), entry = ReadPicture(o + "entry.png"),
                  back = ReadPicture(o + "back.png");
    ASSERT_GT(index.width, 0);
    ASSERT_TRUE(index.RowsDiffer(entry, 20, 200)) << "the entry did not open";
    // The header strip under the caption.
    EXPECT_GT(DarkIn(index, 3, 29, 237, 44), 50);
    EXPECT_FALSE(index.RowsDiffer(back, 20, 48)) << "the header is not the index page's";
}

// ---- History ---------------------------------------------------------------------------------

// Two taps on a link to the page shown store one entry; Back returns to the page, and the next
// Back to the library.
TEST(HistoryAgain, TwoTapsOnALinkToThePageItselfAndBackStayOnThePage) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    std::string html = "<html><body><p><a href=\"self.html\">THIS PAGE AGAIN</a></p>";
    for (int i = 0; i < 40; ++i)
        html += "<p>Paragraph " + std::to_string(i) + " of the page, long enough for a line.</p>";
    device.WriteHost("storage/eBooks/self.html", html + "</body></html>");
    const std::string o = device.outside() + "/";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\self.html"},
                       "idle\ntap 60 44\nidle\ntap 60 44\nidle\nkey 0x1b\nidle\npagetext " + o +
                           "back.txt\nlisttext " + o + "back-rows.txt\nkey 0x1b\nidle\nlisttext " +
                           o + "library-rows.txt\nshelllog " + o + "log.txt\nquit\n")
                  .status,
              0);
    EXPECT_EQ(ReadLines(o + "back.txt").front(), "THIS PAGE AGAIN");
    EXPECT_TRUE(ReadFile(o + "back-rows.txt").empty()) << "Back showed the library";
    EXPECT_TRUE(Contains(ReadFile(o + "library-rows.txt"), "self"));
    EXPECT_FALSE(Contains(ReadFile(o + "log.txt"), "Error"));
}

// ---- Find ------------------------------------------------------------------------------------

// "More options..." ticked, Find closed and opened again: the box is still ticked beside the
// options it shows, and a tap on it hides them as on the first opening.
TEST(FindAgain, ReopenedTheOptionsBoxSaysWhetherTheOptionsShow) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    std::string html = "<html><body>";
    for (int i = 0; i < 10; ++i) html += "<p>Paragraph " + std::to_string(i) + " to search.</p>";
    device.WriteHost("storage/eBooks/find.html", html + "</body></html>");
    const std::string o = device.outside() + "/";
    // On the 240x320 screen the box lies at (12, 116) and Close at (206, 91).
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\find.html"},
                       "idle\nmenu 40078\nidle\nscreenshot " + o + "first.png\ntap 12 116\nidle\n"
                       "screenshot " + o + "ticked.png\ntap 206 91\nidle\nmenu 40078\nidle\n"
                       "screenshot " + o + "again.png\ntap 12 116\nidle\nscreenshot " + o +
                           "hidden.png\ntap 206 91\nidle\nquit\n")
                  .status,
              0);
    const Picture first = ReadPicture(o + "first.png"), ticked = ReadPicture(o + "ticked.png"),
                  again = ReadPicture(o + "again.png"), hidden = ReadPicture(o + "hidden.png");
    ASSERT_GT(first.width, 0);
    ASSERT_TRUE(first.RowsDiffer(ticked, 105, 200)) << "the options did not show";
    EXPECT_FALSE(ticked.RowsDiffer(again, 105, 200)) << "reopened, the box or options differ";
    EXPECT_FALSE(first.RowsDiffer(hidden, 105, 200)) << "the options did not hide";
}

// ---- Links to "#" ----------------------------------------------------------------------------

// "#", "#?who=Ann" and a form sent to "#" name the page shown with no anchor of it: the page
// stays, with no error.
TEST(HashLinks, ALinkOrAFormActionOfHashKeepsThePageWithoutAnError) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/form-named.html",
                     "<html><body><p><a href=\"#\">PLAIN HASH</a></p><p><a href=\"#?who=Ann\">"
                     "HASH QUERY</a></p><form action=\"#\"><p><input type=\"text\" name=\"who\" "
                     "value=\"Ann\" size=\"8\"> <input type=\"submit\" value=\"Send\"></p></form>"
                     "<p>Some text after the form.</p></body></html>");
    const std::string o = device.outside() + "/";
    // The links on the first two lines, Send right of the field.
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\form-named.html"},
                       "idle\npagetext " + o + "before.txt\ntap 50 44\nidle\ntap 50 69\nidle\n"
                       "tap 186 100\nidle\npagetext " + o + "after.txt\nshelllog " + o +
                           "log.txt\nquit\n")
                  .status,
              0);
    const std::string log = ReadFile(o + "log.txt");
    EXPECT_FALSE(Contains(log, "Could not open")) << log;
    EXPECT_EQ(ReadFile(o + "after.txt"), ReadFile(o + "before.txt"));
    EXPECT_TRUE(Contains(ReadFile(o + "after.txt"), "PLAIN HASH"));
}

// ---- A tapped word's pop-up ------------------------------------------------------------------

// The first pop-up of a tapped word (Lookup, Copy) stands below the word, which stays readable.
TEST(TappedWords, TheFirstPopupLeavesTheTappedWordInSight) {
    TempDevice device;
    ASSERT_TRUE(device.ok() && FillSamples(device));
    const std::string o = device.outside() + "/";
    // The tap lies just above "evening", on the first line of the story (its text from y 88).
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\The Lighthouse Keeper.prc"},
                       "idle\nkey 0x22\nidle\nscreenshot " + o + "page.png\nscreenshot-box " + o +
                           "menu.png\nanswer 0\ntap 75 85\nidle\nquit\n")
                  .status,
              0);
    const Picture page = ReadPicture(o + "page.png"), menu = ReadPicture(o + "menu.png");
    ASSERT_GT(page.width, 0);
    ASSERT_EQ(menu.width, page.width);
    ASSERT_TRUE(page.RowsDiffer(menu, 0, page.height)) << "no pop-up showed";
    int covered = 0;
    for (int y = 88; y < 106; ++y)
        for (int x = 60; x < 140; ++x) covered += page.At(x, y) != menu.At(x, y);
    EXPECT_EQ(covered, 0) << "the pop-up covers the tapped word";
}

// ---- Rotation --------------------------------------------------------------------------------

// A field being typed into keeps the focus and its caret through a turn of the screen and back:
// what is typed next lands where the caret stood, as the submitted value shows.
TEST(RotationAgain, TheFocusedFieldKeepsTheFocusAndItsCaret) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/turn.html",
                     "<html><body><form action=\"oeb:redirect\"><p><input type=\"text\" "
                     "name=\"title\" size=\"10\"> <input type=\"submit\" value=\"Go\"></p></form>"
                     "<p>A line of text under the form.</p></body></html>");
    const std::string o = device.outside() + "/";
    // The field on the first line, Go under it; Left puts the caret between "M" and "o".
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\turn.html"},
                       "idle\ntap 100 47\nidle\nchar M\nchar o\nkey 0x25\nidle\nrotate 90\nidle\n"
                       "char x\nidle\nrotate 0\nidle\nchar y\nidle\ntap 38 75\nidle\nshelllog " + o +
                           "log.txt\nquit\n")
                  .status,
              0);
    const std::string log = ReadFile(o + "log.txt");
    EXPECT_TRUE(Contains(log, "Could not open: oeb:redirect?title=Mxyo ")) << log;
}

// ---- Speech beside the page ------------------------------------------------------------------

#ifdef FVT_TTS_PLUGIN_SLOW
// A book's script says a long text through a plug-in that takes its time over every word it is
// given, as a synthesiser does. The reader hands the text over a piece at a time and stays live:
// a tap made while it speaks is answered (it stops the speech), and the rest of the text is
// never handed over.
TEST(SpeechBeside, ALongTextSpokenLeavesTheReaderLiveAndATapStopsIt) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    const std::string folder = device.Host("Program Files/Folivant");
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(FVT_TTS_PLUGIN_SLOW, folder + "/folvplugin_text_to_speech.so",
                               std::filesystem::copy_options::overwrite_existing);
    std::string said;
    for (int i = 0; i < 2000; ++i) said += "word" + std::to_string(i) + (i % 12 == 11 ? ". " : " ");
    device.WriteHost("storage/eBooks/say.html",
                     "<html><body><p><a onclick=\"voice.say('" + said +
                         "')\">SAY IT ALL</a></p><p>Text beside the speech.</p></body></html>");
    const std::string o = device.outside() + "/";
    const std::string log = o + "spoken.txt";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\say.html"},
                       "idle\ntap 60 44\nidle\ntap 120 200\nidle\nadvance 500\npagetext " + o +
                           "page.txt\nquit\n",
                       {"FVT_TTS_LOG=" + log})
                  .status,
              0);
    const std::string spoken = ReadFile(log);
    ASSERT_TRUE(Contains(spoken, "word0 word1")) << "nothing was spoken";
    // Handed over in pieces, and stopped by the tap long before the end.
    EXPECT_FALSE(Contains(spoken, "word1999")) << "the whole text was handed over at once";
    EXPECT_LT(spoken.size(), said.size() / 4);
    EXPECT_TRUE(Contains(ReadFile(o + "page.txt"), "SAY IT ALL"));
}
#endif

// ---- Pictures --------------------------------------------------------------------------------

// A 40x40 GIF: the left half red, the right half index 1 (transparent when asked).
std::vector<std::uint8_t> HalfRedGif(bool transparent) {
    GifSpec gif;
    gif.width = gif.height = 40;
    gif.palette = {{0xFF, 0, 0}, {0xFF, 0xFF, 0xFF}};
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) gif.pixels.push_back(x < 20 ? 0 : 1);
    if (transparent) gif.transparent = 1;
    return WriteGif(gif);
}

void WriteBytes(const TempDevice& device, const std::string& name,
                const std::vector<std::uint8_t>& bytes) {
    device.WriteHost("storage/eBooks/" + name, std::string(bytes.begin(), bytes.end()));
}

bool IsRed(std::uint32_t v) {
    return (v & 0xFF) > 200 && ((v >> 8) & 0xFF) < 60 && ((v >> 16) & 0xFF) < 60;
}

// The rows of the screenshot that hold red, as runs [first, last].
std::vector<std::pair<int, int>> RedRuns(const Picture& p) {
    std::vector<std::pair<int, int>> runs;
    for (int y = 0; y < p.height; ++y) {
        bool red = false;
        for (int x = 0; x < p.width && !red; ++x) red = IsRed(p.At(x, y));
        if (!red) continue;
        if (!runs.empty() && runs.back().second == y - 1)
            runs.back().second = y;
        else
            runs.push_back({y, y});
    }
    return runs;
}

// On a page of a colour, a GIF's transparent half shows that colour, not white.
TEST(PicturesAgain, TransparentPixelsShowThePagesBackground) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteBytes(device, "half.gif", HalfRedGif(true));
    device.WriteHost("storage/eBooks/tinted.html",
                     "<html><body bgcolor=\"#40C060\"><p>Above the picture.</p>"
                     "<p><img src=\"half.gif\"></p></body></html>");
    const std::string o = device.outside() + "/";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\tinted.html"},
                       "idle\nscreenshot " + o + "page.png\nquit\n")
                  .status,
              0);
    const Picture page = ReadPicture(o + "page.png");
    ASSERT_GT(page.width, 0);
    const auto runs = RedRuns(page);
    ASSERT_EQ(runs.size(), 1u) << "the picture is not drawn";
    const int y = (runs[0].first + runs[0].second) / 2;
    int left = -1;
    for (int x = 0; x < page.width && left < 0; ++x)
        if (IsRed(page.At(x, y))) left = x;
    ASSERT_GE(left, 0);
    // The transparent half (20 pixels right of the red one) and the page beside the picture.
    const std::uint32_t beside = page.At(2, y), half = page.At(left + 30, y);
    EXPECT_EQ(half & 0xFFFFFF, beside & 0xFFFFFF) << std::hex << half << " on " << beside;
    EXPECT_NE(half & 0xFFFFFF, 0xFFFFFFu);
}

// A GIF cut short between two whole ones: it shows the rows decoded before the cut, and the
// picture after it is drawn too.
TEST(PicturesAgain, ADamagedPictureDrawsWhatDecodedAndTheLaterOnesAreDrawn) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    GifSpec red;
    red.width = red.height = 40;
    red.palette = {{0xFF, 0, 0}, {0, 0, 0xFF}};
    red.pixels.assign(40 * 40, 0);
    const std::vector<std::uint8_t> whole = WriteGif(red);
    // Four reds in a pattern that does not compress to one sub-block: a cut in the middle of
    // the data leaves whole sub-blocks before it.
    GifSpec noisy;
    noisy.width = 100;
    noisy.height = 60;
    noisy.palette = {{0xFF, 0, 0}, {0xF0, 0x20, 0x10}, {0xE8, 0x10, 0x30}, {0xF8, 0x30, 0x20}};
    std::uint32_t seed = 7;
    for (int i = 0; i < 100 * 60; ++i) {
        seed = seed * 1103515245u + 12345u;
        noisy.pixels.push_back(static_cast<std::uint8_t>((seed >> 16) & 3));
    }
    std::vector<std::uint8_t> cut = WriteGif(noisy);
    ASSERT_GT(cut.size(), 1200u);
    cut.resize(cut.size() / 2);
    WriteBytes(device, "first.gif", whole);
    WriteBytes(device, "cut.gif", cut);
    WriteBytes(device, "last.gif", whole);
    device.WriteHost("storage/eBooks/three.html",
                     "<html><body><p><img src=\"first.gif\"></p><p><img src=\"cut.gif\"></p>"
                     "<p><img src=\"last.gif\"></p></body></html>");
    const std::string o = device.outside() + "/";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\three.html"},
                       "idle\nscreenshot " + o + "page.png\npagetext " + o + "page.txt\nquit\n")
                  .status,
              0);
    const Picture page = ReadPicture(o + "page.png");
    ASSERT_GT(page.width, 0);
    const auto runs = RedRuns(page);
    ASSERT_EQ(runs.size(), 3u) << ReadFile(o + "page.txt");
    EXPECT_GE(runs[0].second - runs[0].first, 39);
    EXPECT_GE(runs[2].second - runs[2].first, 39) << "the picture after the damaged one is missing";
    // The damaged one: its first rows, in red, and not all of them.
    EXPECT_GE(runs[1].second - runs[1].first, 5);
    EXPECT_LT(runs[1].second - runs[1].first, 55);
}

// ---- Flash messages --------------------------------------------------------------------------

// A link's script flashes a message half a second later, once the focus has gone down to the
// link under where the message shows. When the message goes, the page is as it was before it,
// focused link included; and once the focus moves on, as it is without any message.
TEST(FlashMessages, AMessageOverAFocusedLinkLeavesNothingBehind) {
    TempDevice device, plain;
    ASSERT_TRUE(device.ok() && plain.ok());
    std::string html = "<html><body><p><a onclick=\"window.setTimeout('window.flash_message("
                       "\\'Saved for later reading\\')', 500)\">LATER</a></p>";
    for (int i = 0; i < 4; ++i) html += "<p>Line " + std::to_string(i) + " of the page</p>";
    html += "<p><a href=\"#a\">SAVE THIS PLACE</a></p><p><a href=\"#end\">GO TO THE END</a></p>"
            "<p><a name=\"end\">End</a></p></body></html>";
    device.WriteHost("storage/eBooks/flash.html", html);
    plain.WriteHost("storage/eBooks/flash.html", html);
    const std::string o = device.outside() + "/";
    // Down to LATER, Enter, Down to the link under the message's place.
    const std::string start = "idle\nkey 0x28\nidle\nkey 0x0d\nidle\nkey 0x28\nidle\n";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\flash.html"},
                       start + "screenshot " + o + "before.png\nadvance 600\nidle\nscreenshot " +
                           o + "shown.png\nadvance 1500\nidle\nscreenshot " + o +
                           "gone.png\nkey 0x28\nidle\nscreenshot " + o + "moved.png\nquit\n",
                       {"FOLIVANT_CLOCK=virtual"})
                  .status,
              0);
    ASSERT_EQ(RunSteps(plain, {"\\storage\\eBooks\\flash.html"},
                       start + "key 0x28\nidle\nscreenshot " + o + "unflashed.png\nquit\n",
                       {"FOLIVANT_CLOCK=virtual"})
                  .status,
              0);
    const Picture before = ReadPicture(o + "before.png"), shown = ReadPicture(o + "shown.png"),
                  gone = ReadPicture(o + "gone.png"), moved = ReadPicture(o + "moved.png"),
                  unflashed = ReadPicture(o + "unflashed.png");
    ASSERT_GT(before.width, 0);
    ASSERT_TRUE(before.RowsDiffer(shown, 0, before.height)) << "no message showed";
    EXPECT_FALSE(before.RowsDiffer(gone, 0, before.height)) << "the message left a trace";
    EXPECT_FALSE(unflashed.RowsDiffer(moved, 0, moved.height)) << "the focus moved over a trace";
}

// ---- Driver steps ----------------------------------------------------------------------------

// A long book: chapters of numbered paragraphs, the last one named so that its page is known.
std::string LongBook(bool html, int paragraphs) {
    std::string book = html ? "<html><head><title>Long</title></head><body>\n" : "";
    for (int i = 0; i < paragraphs; ++i) {
        if (i % 200 == 0) {
            const std::string title = "Chapter " + std::to_string(i / 200 + 1);
            book += html ? "<h2>" + title + "</h2>\n" : title + "\n\n";
        }
        std::string p = "Paragraph " + std::to_string(i) +
                        " tells how the river ran past the mill and the town below it.";
        if (i == paragraphs - 1) p = "Lastword of the book.";
        book += html ? "<p>" + p + "</p>\n" : p + "\n\n";
    }
    if (html) book += "</body></html>\n";
    return book;
}

// Every step comes after what the step before queued: the page written by `pagetext` as the
// script's first line, or right after a key with no `idle` between, is the page a person sees.
TEST(DriverSteps, PageTextRightAfterTheStartOrAKeyIsThePageShown) {
    for (const bool html : {true, false}) {
        TempDevice device;
        ASSERT_TRUE(device.ok());
        const std::string name = html ? "long.html" : "long.txt";
        device.WriteHost("storage/eBooks/" + name, LongBook(html, 12000));
        const std::string o = device.outside() + "/";
        const std::vector<std::string> book = {"\\storage\\eBooks\\" + name};
        ASSERT_EQ(RunSteps(device, book,
                           "pagetext " + o + "first.txt\nkey 0x23\npagetext " + o +
                               "end.txt\nkey 0x24\npagetext " + o +
                               "home.txt\nkey 0x22\nkey 0x22\nkey 0x22\npagetext " + o +
                               "fourth.txt\nquit\n")
                      .status,
                  0);
        const std::string first = ReadFile(o + "first.txt"), fourth = ReadFile(o + "fourth.txt");
        EXPECT_TRUE(Contains(first, "Chapter 1")) << name << ":\n" << first;
        EXPECT_TRUE(Contains(ReadFile(o + "end.txt"), "Lastword")) << name;
        EXPECT_EQ(ReadFile(o + "home.txt"), first) << name;
        EXPECT_FALSE(fourth.empty()) << name;
        EXPECT_NE(fourth, first) << name;
        // Opened again at the page it was left on: the first step sees that page.
        ASSERT_EQ(RunSteps(device, book, "pagetext " + o + "again.txt\nkey 0x23\npagetext " + o +
                                             "again-end.txt\nquit\n")
                      .status,
                  0);
        EXPECT_EQ(ReadFile(o + "again.txt"), fourth) << name;
        EXPECT_TRUE(Contains(ReadFile(o + "again-end.txt"), "Lastword")) << name;
    }
}

}  // namespace
}  // namespace fvt::test
