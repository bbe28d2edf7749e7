// What a new reader does on the sample device, driven as a person does it: taps, keys, typed
// characters and menu choices, checked on the page text, the library's rows, the shell's log,
// the screen's pixels and the files left on the device.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/shell/program_launcher.h"
#include "support/shell/screenshot.h"

namespace fvt::test {
namespace {

// The sample device of tools/run, filled by the same maker.
bool FillSamples(const TempDevice& device) {
    const ProgramResult made = RunProgram(
        {.program = FOLIVANT_SAMPLES, .args = {device.root(), FOLIVANT_SAMPLE_TEXTS}});
    return made.status == 0;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Contains(const std::string& s, const std::string& part) {
    return s.find(part) != std::string::npos;
}

// The rows of a `listtext` file without their icon numbers.
std::vector<std::string> ListRows(const std::string& path) {
    std::vector<std::string> rows;
    std::istringstream in(ReadFile(path));
    for (std::string line; std::getline(in, line);) {
        const size_t tab = line.find('\t');
        rows.push_back(tab == std::string::npos ? line : line.substr(tab + 1));
    }
    return rows;
}

bool HasRow(const std::vector<std::string>& rows, const std::string& row) {
    for (const std::string& r : rows)
        if (r == row) return true;
    return false;
}

constexpr const char* kKeeper = "\\storage\\eBooks\\The Lighthouse Keeper.prc";
// The soft keys' places on the 240x320 screen, and the OK button of a two-button box there.
constexpr const char* kLeftSoftKey = "tap 45 307\nidle\n";
constexpr const char* kTapBoxOk = "answer-tap 65 189\n";

class SampleDevice : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(device.ok());
        ASSERT_TRUE(FillSamples(device));
    }
    std::string Out(const std::string& name) const { return device.OutsidePath(name); }
    TempDevice device;
};

// --- The sample form -----------------------------------------------------------------------

constexpr const char* kReadingLog = "\\storage\\eBooks\\A Reading Log.html";
// The Title field, typed into (the page starts at the field, above the input panel, and so
// holds the rest of the form: PageDown has nowhere to go), then the Submit button.
constexpr const char* kFillTheLog =
    "idle\ntap 100 212\nidle\nchar M\nchar o\nchar b\nchar y\nidle\nkey 0x22\nidle\n"
    "tap 55 132\nidle\n";

// Submitting the log opens what its action names: the library.
TEST_F(SampleDevice, TheReadingLogFormOpensTheLibrary) {
    const ProgramResult run =
        RunSteps(device, {kReadingLog},
                 std::string(kFillTheLog) + "listtext " + Out("rows.txt") + "\nshelllog " +
                     Out("log.txt") + "\nquit\n");
    ASSERT_EQ(run.status, 0) << run.Describe();
    EXPECT_FALSE(Contains(ReadFile(Out("log.txt")), "Could not open")) << ReadFile(Out("log.txt"));
    EXPECT_TRUE(HasRow(ListRows(Out("rows.txt")), "The Lighthouse Keeper"))
        << ReadFile(Out("rows.txt"));
}

// A form whose fields name a book by its title ("oeb:library?title=...") asks for that book:
// when there is none, the failure names what was asked for.
TEST_F(SampleDevice, ABookAskedForByATitleNobodyHasIsNamedInTheFailure) {
    std::string page = ReadFile(std::string(FOLIVANT_SAMPLE_TEXTS) + "/reading-log.html");
    const std::string field = "name=\"book\"";
    ASSERT_NE(page.find(field), std::string::npos);
    page.replace(page.find(field), field.size(), "name=\"title\"");
    device.WriteHost("storage/eBooks/Titles.html", page);
    const ProgramResult run = RunSteps(device, {"\\storage\\eBooks\\Titles.html"},
                                       std::string(kFillTheLog) + "shelllog " + Out("log.txt") +
                                           "\nquit\n");
    ASSERT_EQ(run.status, 0) << run.Describe();
    EXPECT_TRUE(Contains(ReadFile(Out("log.txt")), "MessageBox Error: Could not open: oeb:redirect?title=Moby&"))
        << ReadFile(Out("log.txt"));
}

// --- The input panel ----------------------------------------------------------------------------

// The Title field lies low on the first page: when the input panel rises for it, the field
// comes up above the panel, keeps the focus, and what is typed shows there.
TEST_F(SampleDevice, AFieldLowOnThePageIsKeptAboveTheInputPanel) {
    const ProgramResult run = RunSteps(
        device, {kReadingLog},
        "idle\nscreenshot " + Out("before.png") +
            "\ntap 100 212\nidle\nchar M\nchar o\nchar b\nchar y\nidle\nscreenshot " +
            Out("typed.png") + "\npagetext " + Out("page.txt") + "\nquit\n");
    ASSERT_EQ(run.status, 0) << run.Describe();
    // The page now begins with the field.
    const std::string page = ReadFile(Out("page.txt"));
    EXPECT_EQ(page.rfind("[196x23]\n", 0), 0u) << page;
    Screen before, typed;
    ASSERT_TRUE(before.Read(Out("before.png")));
    ASSERT_TRUE(typed.Read(Out("typed.png")));
    // The field's frame: its left edge runs down from the top of the page, and the word is
    // inside it, well above the panel (which covers the screen's lower half).
    int frame = 0, letters = 0;
    for (int y = 22; y < 50; ++y) {
        frame += (typed.At(21, y) & 0xFF) < 100;
        for (int x = 24; x < 120; ++x) letters += (typed.At(x, y) & 0xFF) < 100;
    }
    EXPECT_GT(frame, 15);
    EXPECT_GT(letters, 40);
    // Before the tap, that strip held the page's heading, not a field.
    EXPECT_NE(before.At(21, 30), typed.At(21, 30));
}

// --- Forms without a name --------------------------------------------------------------------

// A survey: a text field, two radio buttons and a check box, in a FORM whose attributes are
// given (a NAME or none, FVT:PERSISTENT).
std::string Survey(const std::string& formAttributes) {
    return "<html><head><title>Survey</title></head><body>\n<p>A short survey.</p>\n<form " +
           formAttributes +
           " action=\"oeb:library\">\n<p>Name <input type=\"text\" name=\"who\" size=\"10\" /></p>\n"
           "<p><input type=\"radio\" name=\"pace\" value=\"slow\" checked /> Slowly</p>\n"
           "<p><input type=\"radio\" name=\"pace\" value=\"fast\" /> Quickly</p>\n"
           "<p><input type=\"checkbox\" name=\"again\" /> Again</p>\n</form>\n</body></html>\n";
}

// The rows of two screens below the caption differ in this many pixels.
int DifferingBelowCaption(const Screen& a, const Screen& b) {
    int n = 0;
    for (int y = 20; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) n += a.At(x, y) != b.At(x, y);
    return n;
}

// A FORM without NAME shows its controls, just as the same form with a NAME does.
TEST_F(SampleDevice, AFormWithoutANameShowsItsControls) {
    device.WriteHost("storage/eBooks/unnamed.html", Survey(""));
    device.WriteHost("storage/eBooks/named.html", Survey("name=\"survey\""));
    for (const char* name : {"unnamed", "named"}) {
        const std::string n(name);
        ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\" + n + ".html"},
                           "idle\npagetext " + Out(n + ".txt") + "\nscreenshot " +
                               Out(n + ".png") + "\nquit\n")
                      .status,
                  0);
    }
    EXPECT_EQ(ReadFile(Out("unnamed.txt")), ReadFile(Out("named.txt")));
    EXPECT_TRUE(Contains(ReadFile(Out("unnamed.txt")), "[16x16] Quickly"))
        << ReadFile(Out("unnamed.txt"));
    Screen unnamed, named;
    ASSERT_TRUE(unnamed.Read(Out("unnamed.png")));
    ASSERT_TRUE(named.Read(Out("named.png")));
    EXPECT_EQ(DifferingBelowCaption(unnamed, named), 0);
}

// What is typed into a kept (FVT:PERSISTENT) form without a name is there again when the book
// is opened again: the form's name, made from its place, finds its kept values.
TEST_F(SampleDevice, AKeptFormWithoutANameFindsItsValuesAgain) {
    device.WriteHost("storage/eBooks/kept.html", Survey("fvt:persistent"));
    const std::vector<std::string> book = {"\\storage\\eBooks\\kept.html"};
    ASSERT_EQ(RunSteps(device, book, "idle\nscreenshot " + Out("empty.png") + "\nquit\n").status,
              0);
    // The field, three letters, a tap beside the form to leave the field.
    ASSERT_EQ(RunSteps(device, book,
                       "idle\ntap 100 92\nidle\nchar A\nchar n\nchar n\nidle\ntap 100 30\nidle\n"
                       "screenshot " +
                           Out("typed.png") + "\nquit\n")
                  .status,
              0);
    ASSERT_EQ(RunSteps(device, book, "idle\nscreenshot " + Out("again.png") + "\nquit\n").status,
              0);
    Screen empty, typed, again;
    ASSERT_TRUE(empty.Read(Out("empty.png")));
    ASSERT_TRUE(typed.Read(Out("typed.png")));
    ASSERT_TRUE(again.Read(Out("again.png")));
    EXPECT_GT(DifferingBelowCaption(empty, typed), 20);
    EXPECT_EQ(DifferingBelowCaption(typed, again), 0);
}

// A radio button is round: the corners of its square are the page's, where a check box's are
// its frame.
TEST_F(SampleDevice, RadioButtonsAreRound) {
    device.WriteHost("storage/eBooks/survey.html", Survey(""));
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\survey.html"},
                       "idle\nscreenshot " + Out("survey.png") + "\nquit\n")
                  .status,
              0);
    Screen s;
    ASSERT_TRUE(s.Read(Out("survey.png")));
    // The icons' squares: 16 pixels from x = 21, the radio buttons' rows at 111 and 137, the
    // check box's at 163.
    auto corners = [&s](int top) {
        int dark = 0;
        for (const auto& [x, y] : {std::pair{21, top}, std::pair{36, top}, std::pair{21, top + 15},
                                   std::pair{36, top + 15}})
            dark += (s.At(x, y) & 0xFF) < 128;
        return dark;
    };
    EXPECT_EQ(corners(111), 0);
    EXPECT_EQ(corners(137), 0);
    EXPECT_EQ(corners(163), 4);
}

// --- Files the reader does not open --------------------------------------------------------

// A text file without an extension is refused with the reason, not a bare "Could not open".
TEST_F(SampleDevice, AFileOfAnUnknownTypeIsRefusedWithTheReason) {
    device.WriteHost("storage/eBooks/notes", "A plain note.\nAnother line of it.\n");
    const ProgramResult run = RunSteps(device, {"\\storage\\eBooks\\notes"},
                                       "idle\nshelllog " + Out("log.txt") + "\nquit\n");
    EXPECT_EQ(run.status, 1) << run.Describe();
    EXPECT_TRUE(Contains(ReadFile(Out("log.txt")),
                         "MessageBox Error: Could not open: \\storage\\eBooks\\notes\nThis type "
                         "of file cannot be opened."))
        << ReadFile(Out("log.txt"));
}

// --- Options ----------------------------------------------------------------------------------

constexpr const char* kWalk = "\\storage\\eBooks\\An Evening Walk.txt";

// Options, a page of the sheet by its row, the taps given on that page, its OK, the sheet's OK.
std::string OnOptionsPage(int row, const std::string& taps) {
    return "answer-tap 50 " + std::to_string(59 + 19 * row) + "\n" + taps +
           "answer-tap 60 307\nanswer-tap 60 307\nmenu 40041\nidle\n";
}

std::string Times(int n, const std::string& step) {
    std::string out;
    for (int i = 0; i < n; ++i) out += step;
    return out;
}

// Fullscreen ticked on the Display page hides the soft-key bar as the full-screen key does:
// the two screens are the same.
TEST_F(SampleDevice, FullscreenFromOptionsLooksAsTheFullScreenKeyMakesIt) {
    const ProgramResult byOptions = RunSteps(
        device, {kWalk},
        "idle\n" + OnOptionsPage(3, "answer-tap 12 124\n") + "screenshot " + Out("options.png") +
            "\nquit\n");
    ASSERT_EQ(byOptions.status, 0) << byOptions.Describe();
    TempDevice other;
    ASSERT_TRUE(other.ok());
    ASSERT_TRUE(FillSamples(other));
    const std::string byKey = other.OutsidePath("key.png");
    ASSERT_EQ(RunSteps(other, {kWalk}, "idle\nchar *\nidle\nscreenshot " + byKey + "\nquit\n")
                  .status,
              0);
    Screen options, key;
    ASSERT_TRUE(options.Read(Out("options.png")));
    ASSERT_TRUE(key.Read(byKey));
    ASSERT_EQ(options.pixels.size(), key.pixels.size());
    EXPECT_TRUE(options.pixels == key.pixels);
    // And that screen has no bar: none of its navy in the last rows.
    int navy = 0;
    for (int y = options.height - 20; y < options.height; ++y)
        for (int x = 0; x < options.width; ++x) {
            const std::uint32_t p = options.At(x, y);
            navy += (p & 0xFF) > 100 && ((p >> 8) & 0xFF) < 60 && ((p >> 16) & 0xFF) < 60;
        }
    EXPECT_EQ(navy, 0);
}

constexpr std::uint32_t kRed = 0xFF0000;
constexpr std::uint32_t kYellow = 0xFFFF00;

// Text "Red" (five steps on from Black) and background "Yellow" (eight on from White), right
// after OK, on a plain text book and on an HTML page.
void ExpectColoursAtOnce(const TempDevice& device, const std::string& book) {
    const std::string shot = device.OutsidePath("colours.png");
    const ProgramResult run = RunSteps(
        device, {book},
        "idle\n" +
            OnOptionsPage(2, Times(5, "answer-tap 227 79\n") + Times(8, "answer-tap 227 109\n")) +
            "screenshot " + shot + "\nquit\n");
    ASSERT_EQ(run.status, 0) << run.Describe();
    Screen s;
    ASSERT_TRUE(s.Read(shot));
    int red = 0, yellow = 0, black = 0;
    // The page, between the caption and the soft-key bar.
    for (int y = 30; y < s.height - 40; ++y)
        for (int x = 0; x < s.width; ++x) {
            const std::uint32_t p = s.At(x, y);
            red += p == kRed;
            yellow += p == kYellow;
            black += p == 0;
        }
    EXPECT_GT(yellow, s.width * 100) << book;
    EXPECT_GT(red, 300) << book;
    EXPECT_EQ(black, 0) << book;
}

TEST_F(SampleDevice, TheColoursChosenShowAtOnceOnAPlainTextBook) {
    ExpectColoursAtOnce(device, kWalk);
}

TEST_F(SampleDevice, TheColoursChosenShowAtOnceOnAnHtmlPage) {
    ExpectColoursAtOnce(device, "\\storage\\eBooks\\Notes on Reading.html");
}

// --- The position bar ---------------------------------------------------------------------------

// The bar turned on at the third page shows the number it shows when it was on from the first
// page and the reader stepped to the third: the digits' corner of the two screens is the same.
TEST_F(SampleDevice, ThePositionBarTurnedOnMidBookNumbersThePageRight) {
    const std::string late = Out("late.png");
    ASSERT_EQ(RunSteps(device, {kWalk},
                       "idle\nkey 0x22\nidle\nkey 0x22\nidle\nmenu 40172\nidle\nscreenshot " +
                           late + "\nquit\n")
                  .status,
              0);
    TempDevice other;
    ASSERT_TRUE(other.ok());
    ASSERT_TRUE(FillSamples(other));
    const std::string early = other.OutsidePath("early.png");
    ASSERT_EQ(RunSteps(other, {kWalk},
                       "idle\nmenu 40172\nidle\nkey 0x22\nidle\nkey 0x22\nidle\nscreenshot " +
                           early + "\nquit\n")
                  .status,
              0);
    Screen a, b;
    ASSERT_TRUE(a.Read(late));
    ASSERT_TRUE(b.Read(early));
    // The number sits at the bar's right end, just above the soft-key bar.
    int ink = 0, differing = 0;
    for (int y = a.height - 45; y < a.height - 26; ++y)
        for (int x = a.width - 30; x < a.width; ++x) {
            ink += a.At(x, y) != 0xFFFFFF;
            differing += a.At(x, y) != b.At(x, y);
        }
    EXPECT_GT(ink, 10);
    EXPECT_EQ(differing, 0);
}

// --- The library's sorting and reading lists ----------------------------------------------------

// Two books read a while apart: sorted by "Last read date" the one read last comes first, then
// the other, then the books never read.
TEST(SampleDeviceLibrary, LastReadDateSortsTheMostRecentFirst) {
    TempDevice device("clock = virtual\n");
    ASSERT_TRUE(device.ok());
    ASSERT_TRUE(FillSamples(device));
    const std::string rows = device.OutsidePath("rows.txt");
    // Two Bells from the command line; then Birds of the Shore, the fourth row of the library.
    const ProgramResult run = RunSteps(
        device, {"\\storage\\eBooks\\Two Bells.prc"},
        std::string("idle\n") + kLeftSoftKey + "tap 60 104\nidle\nadvance 2000\n" +
            kLeftSoftKey + "menu 40034\nidle\nlisttext " + rows + "\nquit\n");
    ASSERT_EQ(run.status, 0) << run.Describe();
    const std::vector<std::string> listed = ListRows(rows);
    ASSERT_GE(listed.size(), 3u) << ReadFile(rows);
    EXPECT_EQ(listed[0], "Birds of the Shore") << ReadFile(rows);
    EXPECT_EQ(listed[1], "Two Bells") << ReadFile(rows);
}

// Sorted by author, a title keeps its room beside the author: the last row ("Two Bells" in
// both orders) shows its title as it does sorted by title.
TEST_F(SampleDevice, SortingByAuthorLeavesTheTitlesTheirRoom) {
    const ProgramResult run = RunSteps(
        device, {},
        "idle\nlisttext " + Out("title.txt") + "\nscreenshot " + Out("title.png") +
            "\nmenu 40031\nidle\nlisttext " + Out("author.txt") + "\nscreenshot " +
            Out("author.png") + "\nquit\n");
    ASSERT_EQ(run.status, 0) << run.Describe();
    const std::vector<std::string> byTitle = ListRows(Out("title.txt"));
    const std::vector<std::string> byAuthor = ListRows(Out("author.txt"));
    ASSERT_EQ(byTitle.size(), 9u);
    ASSERT_EQ(byAuthor.size(), 9u);
    ASSERT_EQ(byTitle.back(), "Two Bells");
    ASSERT_EQ(byAuthor.back(), "Two Bells");
    Screen title, author;
    ASSERT_TRUE(title.Read(Out("title.png")));
    ASSERT_TRUE(author.Read(Out("author.png")));
    // The ninth row, from its icon to the middle of the row.
    int differing = 0;
    for (int y = 199; y < 215; ++y)
        for (int x = 0; x < title.width / 2; ++x) differing += title.At(x, y) != author.At(x, y);
    EXPECT_EQ(differing, 0);
}

// A reading list made on a book's Properties sheet is in the Reading list menu as soon as the
// sheet closes: choosing it filters the library down to that book.
TEST_F(SampleDevice, AReadingListMadeInPropertiesIsInTheMenuAtOnce) {
    // The sheet's "Reading list" page, its "Create a new reading list" link, a tap that ends
    // the name's editing, the page's OK and the sheet's OK.
    const ProgramResult run = RunSteps(
        device, {},
        "idle\nanswer-tap 50 78\nanswer-tap 60 63\nanswer-tap 120 200\nanswer-tap 60 307\n"
        "answer-tap 60 307\nmenu 40022\nidle\nmenu 10004\nidle\nlisttext " +
            Out("rows.txt") + "\nquit\n");
    ASSERT_EQ(run.status, 0) << run.Describe();
    EXPECT_EQ(ListRows(Out("rows.txt")), std::vector<std::string>{"A Reading Log"});
}

// The reading list shown names itself in the strip above the rows; chosen again from the menu
// it gives way to all the books.
TEST_F(SampleDevice, TheReadingListShownIsNamedAndChosenAgainShowsAllBooks) {
    const ProgramResult run = RunSteps(
        device, {},
        "idle\nscreenshot " + Out("all.png") +
            "\nanswer-tap 50 78\nanswer-tap 60 63\nanswer-tap 120 200\nanswer-tap 60 307\n"
            "answer-tap 60 307\nmenu 40022\nidle\nmenu 10004\nidle\nscreenshot " +
            Out("list.png") + "\nlisttext " + Out("list.txt") + "\nmenu 10004\nidle\nlisttext " +
            Out("again.txt") + "\nquit\n");
    ASSERT_EQ(run.status, 0) << run.Describe();
    ASSERT_EQ(ListRows(Out("list.txt")), std::vector<std::string>{"A Reading Log"});
    EXPECT_GT(ListRows(Out("again.txt")).size(), 5u) << ReadFile(Out("again.txt"));
    Screen all, list;
    ASSERT_TRUE(all.Read(Out("all.png")) && list.Read(Out("list.png")));
    // The strip's text ("9 eBooks", then the list's name before "1 eBook") at its left.
    auto ink = [](const Screen& s) {
        int n = 0;
        for (int y = 21; y < 36; ++y)
            for (int x = 0; x < 150; ++x) n += (s.At(x, y) & 0xFF) < 100;
        return n;
    };
    EXPECT_GT(ink(list), ink(all) + 40) << "the strip does not name the list";
}

// After New in Add / Remove reading lists only the new row is selected.
TEST_F(SampleDevice, AfterNewOnlyTheNewReadingListIsSelected) {
    // New, a tap that ends the name's editing, twice; the dialog as it then shows.
    const std::string box = Out("lists.png");
    const ProgramResult run =
        RunSteps(device, {},
                 "idle\nanswer-tap 60 307\nanswer-tap 120 200\nanswer-tap 60 307\n"
                 "answer-tap 120 200\nscreenshot-box " +
                     box + "\nanswer-tap 120 200\nmenu 40074\nidle\nquit\n");
    ASSERT_EQ(run.status, 0) << run.Describe();
    Screen s;
    ASSERT_TRUE(s.Read(box));
    // The selection's navy at the left of the first two rows of the list.
    auto selected = [&s](int y) {
        const std::uint32_t p = s.At(10, y);
        return (p & 0xFF) > 100 && ((p >> 8) & 0xFF) < 60 && ((p >> 16) & 0xFF) < 60;
    };
    EXPECT_FALSE(selected(65));
    EXPECT_TRUE(selected(84));
}

// --- Deleting books ----------------------------------------------------------------------------

// The book just read, deleted from the library it gave way to: it is closed first, so its file
// and its side file go, and its row with them.
TEST_F(SampleDevice, DeletingTheBookJustReadRemovesItsFileSideFileAndRow) {
    ASSERT_EQ(RunSteps(device, {kKeeper}, "idle\nkey 0x22\nidle\nquit\n").status, 0);
    ASSERT_TRUE(device.HostExists("storage/eBooks/The Lighthouse Keeper.fvt"));
    const std::string steps = std::string("idle\nkey 0x22\nidle\n") + kLeftSoftKey + kTapBoxOk +
                              "menu 40023\nidle\nlisttext " + Out("rows.txt") + "\nshelllog " +
                              Out("log.txt") + "\nquit\n";
    const ProgramResult run = RunSteps(device, {kKeeper}, steps);
    ASSERT_EQ(run.status, 0) << run.Describe();
    const std::vector<std::string> rows = ListRows(Out("rows.txt"));
    EXPECT_FALSE(HasRow(rows, "The Lighthouse Keeper")) << ReadFile(Out("rows.txt"));
    EXPECT_TRUE(HasRow(rows, "Two Bells")) << ReadFile(Out("rows.txt"));
    EXPECT_FALSE(device.HostExists("storage/eBooks/The Lighthouse Keeper.prc"));
    EXPECT_FALSE(device.HostExists("storage/eBooks/The Lighthouse Keeper.fvt"));
    EXPECT_FALSE(Contains(ReadFile(Out("log.txt")), "Could not delete"));
}

// The Keeper read, then An Evening Walk opened from the library, then the Keeper deleted from
// the library: Back goes through the pages that are still there, and none of the Keeper's is
// tried (no "File not found").
TEST_F(SampleDevice, BackAfterDeletingABookReadBeforeMeetsNoErrorForIt) {
    // The library's third row is An Evening Walk; five rows down from it, the Keeper.
    const std::string steps =
        std::string("idle\nkey 0x22\nidle\nmenu 40075\nidle\ntap 80 92\nidle\nmenu 40075\nidle\n"
                    "key 0x28\nkey 0x28\nkey 0x28\nkey 0x28\nkey 0x28\nidle\n") +
        kTapBoxOk + "menu 40023\nidle\nkey 0x1b\nidle\npagetext " + Out("back.txt") +
        "\nkey 0x1b\nidle\nkey 0x1b\nidle\nshelllog " + Out("log.txt") + "\nquit\n";
    const ProgramResult run = RunSteps(device, {kKeeper}, steps);
    ASSERT_EQ(run.status, 0) << run.Describe();
    ASSERT_FALSE(device.HostExists("storage/eBooks/The Lighthouse Keeper.prc"));
    const std::string log = ReadFile(Out("log.txt"));
    EXPECT_FALSE(Contains(log, "Error")) << log;
    EXPECT_TRUE(Contains(ReadFile(Out("back.txt")), "Evening Walk")) << ReadFile(Out("back.txt"));
}

// The sample maker runs before every start of tools/run: a sample the user deleted is not
// made again, and the other samples are left as they are.
TEST_F(SampleDevice, ASampleBookDeletedStaysDeletedWhenTheDeviceIsFilledAgain) {
    const std::string steps = std::string("idle\n") + kLeftSoftKey + kTapBoxOk +
                              "menu 40023\nidle\nquit\n";
    ASSERT_EQ(RunSteps(device, {kKeeper}, steps).status, 0);
    ASSERT_FALSE(device.HostExists("storage/eBooks/The Lighthouse Keeper.prc"));
    const std::string walk = ReadFile(device.Host("storage/eBooks/An Evening Walk.txt"));
    ASSERT_TRUE(FillSamples(device));
    EXPECT_FALSE(device.HostExists("storage/eBooks/The Lighthouse Keeper.prc"));
    EXPECT_EQ(ReadFile(device.Host("storage/eBooks/An Evening Walk.txt")), walk);
    EXPECT_TRUE(device.HostExists("storage/eBooks/Two Bells.prc"));
}

// The books folder is not the reader's to change: the delete fails, says which book and why,
// and the row and the file stay.
TEST_F(SampleDevice, ADeleteThatFailsSaysWhy) {
    namespace fs = std::filesystem;
    fs::permissions(fs::path(device.root()).parent_path(), fs::perms(0755));
    for (const auto& entry : fs::recursive_directory_iterator(device.root()))
        fs::permissions(entry.path(), entry.is_directory() ? fs::perms(0777) : fs::perms(0666));
    fs::permissions(device.root(), fs::perms(0777));
    fs::permissions(device.Host("storage/eBooks"), fs::perms(0755));
    device.WriteOutside("steps.txt", std::string(kTapBoxOk) + "answer-tap 120 180\nmenu 40023\n" +
                                         "idle\nlisttext " + Out("rows.txt") + "\nshelllog " +
                                         Out("log.txt") + "\nquit\n");
    fs::permissions(device.outside(), fs::perms(0777));
    LaunchOptions options = ReaderOn(device.root(), {}, Out("steps.txt"));
    options.unprivileged = true;
    const ProgramResult run = RunProgram(options);
    if (run.status == kCannotDrop) GTEST_SKIP() << "cannot run as another user here";
    if (geteuid() != 0) GTEST_SKIP() << "the books folder is this user's own";
    ASSERT_EQ(run.status, 0) << run.Describe();
    EXPECT_TRUE(Contains(ReadFile(Out("log.txt")),
                         "MessageBox Error: Could not delete A Reading Log: the file cannot be "
                         "removed."))
        << ReadFile(Out("log.txt"));
    EXPECT_TRUE(HasRow(ListRows(Out("rows.txt")), "A Reading Log"));
    EXPECT_TRUE(device.HostExists("storage/eBooks/A Reading Log.html"));
}

}  // namespace
}  // namespace fvt::test
