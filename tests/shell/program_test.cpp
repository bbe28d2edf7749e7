// The program itself, in processes of its own on a temporary device: headless runs under a
// driver script, a book named by its host path, and one running instance per device.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "platform/window/window.h"
#include "shell/program_runs.h"
#include "support/bookfiles/book_builder.h"
#include "support/platform/stopped_process.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

// A book of numbered paragraphs ("Paragraph 1 ..."), several pages long, in the books folder.
void WriteNumberedBook(const TempDevice& device, const std::string& name, int paragraphs) {
    std::string html = "<html><body>";
    for (int i = 1; i <= paragraphs; ++i)
        html += "<p>Paragraph " + std::to_string(i) + " " + SampleText(160, i) + "</p>";
    html += "</body></html>";
    BookBuilder book;
    book.text.assign(html.begin(), html.end());
    book.fullName = name;
    const Bytes bytes = book.Build();
    device.WriteHost("storage/eBooks/" + name + ".prc", std::string(bytes.begin(), bytes.end()));
}

TEST(ProgramRuns, HeadlessDriverSavesScreensAndEnds) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    const std::string p1 = device.outside() + "/p1.png", p2 = device.outside() + "/p2.png";
    const std::string script =
        WriteScript(device, "steps.txt",
                    "idle\nscreenshot " + p1 + "\nkey 0x22\nidle\nscreenshot " + p2 + "\nquit\n");
    LaunchedProgram child = StartReader(device, {}, script);
    ASSERT_GT(child.Pid(), 0);
    EXPECT_EQ(child.Wait().status, 0);
    EXPECT_TRUE(IsPng(p1));
    EXPECT_TRUE(IsPng(p2));
    // The settings file was written by the ordinary shut-down.
    EXPECT_TRUE(device.HostExists("Windows/FVT_global_configuration.fvt"));
}

TEST(ProgramRuns, UnreadableDriverLineEndsWithStatusTwo) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    const std::string script = WriteScript(device, "bad.txt", "idle\nfly away\nquit\n");
    LaunchedProgram child = StartReader(device, {}, script);
    ASSERT_GT(child.Pid(), 0);
    EXPECT_EQ(child.Wait().status, 2);
    LaunchedProgram missing = StartReader(device, {}, device.outside() + "/no-such-script");
    EXPECT_EQ(missing.Wait().status, 2);
}

TEST(ProgramRuns, BookNamedByHostPathIsCopiedIntoTheDeviceAndTheOriginalLeftAlone) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    BookBuilder book;
    const std::string text = SampleText(3000);
    book.text.assign(text.begin(), text.end());
    book.fullName = "Sample";
    const Bytes bytes = book.Build();
    const std::string folder = device.outside() + "/my books";
    std::filesystem::create_directories(folder);
    const std::string original = folder + "/a book.prc";
    std::ofstream(original, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const std::string shot = device.outside() + "/page.png";
    const std::string script = WriteScript(
        device, "steps.txt", "idle\nkey 0x22\nidle\nscreenshot " + shot + "\nquit\n");
    LaunchedProgram child = StartReader(device, {original}, script);
    ASSERT_GT(child.Pid(), 0);
    EXPECT_EQ(child.Wait().status, 0);
    EXPECT_TRUE(IsPng(shot));
    ASSERT_TRUE(device.HostExists("storage/eBooks/a book.prc"));
    EXPECT_EQ(std::filesystem::file_size(device.Host("storage/eBooks/a book.prc")), bytes.size());
    // Nothing was made beside the original.
    int entries = 0;
    for (auto& e : std::filesystem::directory_iterator(folder)) entries += e.exists() ? 1 : 0;
    EXPECT_EQ(entries, 1);
}

// Started without a book, the program shows the library; Enter, the Read key and a tap on a row
// each open a book (its side file is made when it opens), and Back returns to the library.
TEST(ProgramRuns, BooksOpenFromTheLibraryByEnterTheReadKeyAndATap) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    for (const char* name : {"Alpha", "Beta", "Gamma"}) {
        BookBuilder book;
        const std::string text = SampleText(2000);
        book.text.assign(text.begin(), text.end());
        book.fullName = name;
        const Bytes bytes = book.Build();
        device.WriteHost(std::string("storage/eBooks/") + name + ".prc",
                         std::string(bytes.begin(), bytes.end()));
    }
    // Rows are listed by title, one line (18 pixels) high below the title strip: Gamma's is
    // the third.
    const std::string script = WriteScript(device, "steps.txt",
                                           "idle\nkey 0x0d\nidle\nsoftkey 1\nidle\n"
                                           "key 0x28\nidle\nsoftkey 1\nidle\nsoftkey 1\nidle\n"
                                           "tap 100 90\nidle\nquit\n");
    LaunchedProgram child = StartReader(device, {}, script);
    ASSERT_GT(child.Pid(), 0);
    EXPECT_EQ(child.Wait().status, 0);
    EXPECT_TRUE(device.HostExists("storage/eBooks/Alpha.fvt"));
    EXPECT_TRUE(device.HostExists("storage/eBooks/Beta.fvt"));
    EXPECT_TRUE(device.HostExists("storage/eBooks/Gamma.fvt"));
}

// The page shown, as text: one line per laid-out line. Go to page is driven through its field:
// page 3 leaves the first page, page 1 returns to it.
TEST(ProgramDriver, PageTextAndGoToPageThroughItsField) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteNumberedBook(device, "Numbers", 60);
    const std::string out = device.outside() + "/with space";
    std::filesystem::create_directories(out);
    const std::string script = WriteScript(
        device, "steps.txt",
        "idle\npagetext " + out + "/p1.txt\nkey 0x22\nidle\nkey 0x22\nidle\npagetext " + out +
            "/p3.txt\nkey 0x24\nidle\npagetext " + out + "/home.txt\ntext 3\nanswer 0\nmenu 40092\n"
            "pagetext " + out + "/goto3.txt\nscreenshot " + out + "/goto 3.png\n"
            "text 1\nanswer 0\nmenu 40092\npagetext " + out + "/goto1.txt\nquit\n");
    LaunchedProgram child = StartReader(device, {"\\storage\\eBooks\\Numbers.prc"}, script);
    ASSERT_GT(child.Pid(), 0);
    EXPECT_EQ(child.Wait().status, 0);
    const auto p1 = ReadLines(out + "/p1.txt"), p3 = ReadLines(out + "/p3.txt");
    ASSERT_GT(p1.size(), 5u);
    EXPECT_EQ(p1[0].rfind("Paragraph 1 ", 0), 0u) << p1[0];
    ASSERT_FALSE(p3.empty());
    EXPECT_NE(Joined(p1), Joined(p3));
    EXPECT_EQ(Joined(ReadLines(out + "/home.txt")), Joined(p1));
    const auto goto3 = ReadLines(out + "/goto3.txt");
    ASSERT_FALSE(goto3.empty());
    EXPECT_NE(Joined(goto3), Joined(p1));
    EXPECT_EQ(Joined(ReadLines(out + "/goto1.txt")), Joined(p1));
    EXPECT_TRUE(IsPng(out + "/goto 3.png"));
}

// Go to page typed as a person types into its box, a key at a time after it opened: the box
// takes the keys, then OK. A box that the next step does not type into keeps its default
// (Cancel), and the step runs after it.
TEST(ProgramDriver, CharStepsAfterABoxOpensTypeIntoIt) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteNumberedBook(device, "Numbers", 60);
    const std::string o = device.outside() + "/";
    const std::string steps = "idle\npagetext " + o + "p1.txt\ntext 3\nanswer 0\nmenu 40092\n"
                              "idle\npagetext " + o + "text3.txt\nkey 0x24\nidle\n"
                              "menu 40092\nchar 3\nidle\nanswer 0\nidle\npagetext " + o +
                              "char3.txt\nkey 0x24\nidle\nmenu 40092\npagetext " + o +
                              "cancelled.txt\nquit\n";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\Numbers.prc"}, steps).status, 0)
        << ReadFile(o + "errors.txt");
    const std::string p1 = Joined(ReadLines(o + "p1.txt"));
    const std::string page3 = Joined(ReadLines(o + "text3.txt"));
    ASSERT_FALSE(page3.empty());
    EXPECT_NE(page3, p1);
    EXPECT_EQ(Joined(ReadLines(o + "char3.txt")), page3);
    EXPECT_EQ(Joined(ReadLines(o + "cancelled.txt")), p1);
}

// A book is markup when its first tag is HTML, however much text comes before it; a large book
// without markup, or with its only tag past the first 256 Ki positions, reads as the plain text
// it is (the reference shown as written).
TEST(ProgramDriver, ABookIsMarkupByItsFirstTagAndLargeTextsStayText) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    const std::string head = "Fish &amp; chips. ";
    auto write = [&](const std::string& name, const std::string& text) {
        BookBuilder book;
        book.text.assign(text.begin(), text.end());
        book.compression = 2;
        book.fullName = name;
        const Bytes bytes = book.Build();
        device.WriteHost("storage/eBooks/" + name + ".prc",
                         std::string(bytes.begin(), bytes.end()));
    };
    write("Late", head + SampleText(40000) + "<html><body><p>end</p></body></html>");
    write("Large", head + "x < y " + SampleText(3u << 20));
    write("Past", head + SampleText(270000) + "<html><body><p>end</p></body></html>");
    for (const char* name : {"Late", "Large", "Past"}) {
        const std::string out = device.outside() + "/" + name + ".txt";
        ASSERT_EQ(RunSteps(device, {std::string("\\storage\\eBooks\\") + name + ".prc"},
                            "idle\npagetext " + out + "\nquit\n").status,
                  0)
            << name;
        const auto lines = ReadLines(out);
        ASSERT_FALSE(lines.empty()) << name;
        const bool markup = std::string(name) == "Late";
        EXPECT_EQ(lines[0].rfind(markup ? "Fish & chips." : "Fish &amp; chips.", 0), 0u)
            << name << ": " << lines[0];
    }
}

TEST(ProgramDriver, AHeadlessScriptWithoutQuitEndsAfterItsLastLine) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    const std::string script = WriteScript(device, "steps.txt", "idle\nkey 0x28\nidle\n");
    LaunchedProgram child = StartReader(device, {}, script);
    ASSERT_GT(child.Pid(), 0);
    EXPECT_EQ(child.Wait().status, 0);
    EXPECT_TRUE(device.HostExists("Windows/FVT_global_configuration.fvt"));
}

// A step that cannot be done stops the run there, with its line number and status 2.
TEST(ProgramDriver, FailingStepsStopWithTheirLineNumber) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    const std::string errors = device.outside() + "/errors.txt";
    const std::string after = device.outside() + "/after.png";
    struct Case {
        std::string steps;
        std::string line;
        bool ranToTheEnd;
    };
    const Case cases[] = {
        {"idle\nscreenshot " + device.outside() + "/no such folder/p.png\n", "line 2:", false},
        {"idle\n\nmenu 47999\n", "line 3:", false},
        // A name no action bears; an action the library's bar has no item for.
        {"idle\nmenu no-such-action\n", "line 2:", false},
        {"idle\nmenu zoom-to-fit\n", "line 2:", false},
        {"idle\npagetext " + device.outside() + "/no such folder/t.txt\n", "line 2:", false},
        // The library's About box has no text field.
        {"text 12\nanswer 0\nmenu 40040\n", "line 1:", false},
        // No dialog ever came for the text: found when the script has ended.
        {"idle\ntext 12\nidle\n", "line 2:", true},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(after);
        const std::string script =
            WriteScript(device, "steps.txt", c.steps + "screenshot " + after + "\nquit\n");
        LaunchedProgram child = StartReader(device, {}, script, errors);
        ASSERT_GT(child.Pid(), 0);
        EXPECT_EQ(child.Wait().status, 2) << c.steps;
        EXPECT_NE(ReadFile(errors).find(c.line), std::string::npos) << ReadFile(errors);
        EXPECT_EQ(std::filesystem::exists(after), c.ranToTheEnd) << c.steps;
    }
}

// A driven run does not join a reader already running on the device: it says so and runs
// nothing, and the other instance is left as it was.
TEST(ProgramDriver, ADrivenRunIsNotSwallowedByARunningInstance) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    LaunchedProgram first = StartReader(device, {});
    ASSERT_GT(first.Pid(), 0);
    ASSERT_NE(WaitForInstance(), nullptr);
    const std::string shot = device.outside() + "/shot.png";
    const std::string errors = device.outside() + "/errors.txt";
    const std::string script = WriteScript(device, "steps.txt", "screenshot " + shot + "\nquit\n");
    LaunchedProgram driven = StartReader(device, {}, script, errors);
    EXPECT_EQ(driven.Wait().status, 2);
    EXPECT_FALSE(std::filesystem::exists(shot));
    EXPECT_NE(ReadFile(errors).find("another instance"), std::string::npos);
    EXPECT_TRUE(first.Running());
    LaunchedProgram quit = StartReader(device, {"/quit"});
    EXPECT_EQ(quit.Wait().status, 0);
    EXPECT_EQ(first.Wait().status, 0);
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The words of a page-text file, and of each of its lines.
std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> out;
    std::string w;
    for (char c : text + " ") {
        if (c == ' ' || c == '\n') {
            if (!w.empty()) out.push_back(w);
            w.clear();
        } else {
            w += c;
        }
    }
    return out;
}

// Where the words of a page start in the document's words, searching from `from`; -1 when
// they are not there in order.
long Find(const std::vector<std::string>& all, const std::vector<std::string>& page) {
    if (page.empty()) return -1;
    for (size_t i = 0; i + page.size() <= all.size(); ++i)
        if (std::equal(page.begin(), page.end(), all.begin() + static_cast<long>(i))) return static_cast<long>(i);
    return -1;
}

// After Go to page (a jump far into the file), each PageUp shows the page that ends where the
// one shown starts: no word between them is skipped, at most one line is shown twice, and the
// first page is reached.
TEST(ProgramRuns, PageUpAfterGoToPageEndsWhereTheShownPageStarts) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    std::string html = "<html><head><title>Paging</title></head><body><h1>Contents</h1>";
    for (int c = 1; c <= 3; ++c) html += "<b>Chapter " + std::to_string(c) + "</b><br>";
    for (int c = 1; c <= 3; ++c) {
        html += "<h2>Chapter " + std::to_string(c) + "</h2>";
        for (int p = 0; p < 3; ++p)
            html += "<p>" + SampleText(500, static_cast<uint32_t>(c * 10 + p)) + " w" +
                    std::to_string(c * 10 + p) + ".</p>";
        html += "<ul><li>one</li><li>two</li></ul>";
    }
    html += "</body></html>";
    std::filesystem::create_directories(device.outside());
    const std::string file = device.outside() + "/paging.html";
    std::ofstream(file, std::ios::binary) << html;
    const std::string out = device.outside();
    const int forward = 40, back = 40;
    const std::string steps = "idle\n" + Presses("0x22", forward, "f", PageTextIn(out + "/")) +
                              "text 9\nanswer 0\nmenu 40092\nidle\n" +
                              Presses("0x21", back, "b", PageTextIn(out + "/")) + "quit\n";
    LaunchedProgram child = StartReader(device, {file}, WriteScript(device, "steps.txt", steps));
    ASSERT_GT(child.Pid(), 0);
    ASSERT_EQ(child.Wait().status, 0);
    // The document's words, from the pages shown going forward (they tile the text).
    std::vector<std::string> all;
    std::string last;
    for (int i = 0; i < forward; ++i) {
        std::string text = FileBytes(out + "/f" + std::to_string(i) + ".txt");
        if (text == last) break;  // the last page stays
        last = text;
        for (const std::string& w : Words(text)) all.push_back(w);
    }
    ASSERT_GT(all.size(), 500u);
    long after = -1;  // where the page shown before the PageUp starts
    int pages = 0;
    std::string previous;
    for (int i = 0; i < back; ++i) {
        std::string text = FileBytes(out + "/b" + std::to_string(i) + ".txt");
        if (text == previous) break;  // the first page: PageUp does nothing more
        previous = text;
        std::vector<std::string> words = Words(text);
        long at = Find(all, words);
        ASSERT_GE(at, 0) << "page " << i << " after the jump is not the file's text in order";
        if (after >= 0) {
            long end = at + static_cast<long>(words.size());
            EXPECT_LT(at, after) << "PageUp " << i << " did not go back";
            EXPECT_GE(end, after) << "PageUp " << i << " skipped " << after - end << " words";
            // Shown twice: at most the words of one line of the page (the first page may
            // show more: the text before a page is not always a page).
            std::string lastLine = text.substr(text.find_last_of('\n', text.size() - 2) + 1);
            if (at > 0) {
                EXPECT_LE(end - after, static_cast<long>(Words(lastLine).size()))
                    << "PageUp " << i << " repeats " << end - after << " words";
            }
        }
        after = at;
        ++pages;
    }
    EXPECT_EQ(after, 0) << "the first page was not reached";
    EXPECT_GT(pages, 3);
}

// After End, PageUp goes back page by page and reaches the first page, which looks as it did
// when the file opened; and PageDown then PageUp come back to the same page.
TEST(ProgramRuns, PageUpFromTheLastPageReachesTheFirst) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    std::string html = "<html><head><title>Paging</title></head><body><h1>Contents</h1>";
    for (int c = 1; c <= 4; ++c) html += "<b>Chapter " + std::to_string(c) + "</b><br>";
    for (int c = 1; c <= 4; ++c) {
        html += "<h2>Chapter " + std::to_string(c) + "</h2>";
        for (int p = 0; p < 4; ++p)
            html += "<p>" + SampleText(400) + " w" + std::to_string(c * 10 + p) + ".</p>";
        html += "<ul><li>one</li><li>two</li></ul>";
    }
    html += "</body></html>";
    const std::string file = device.outside() + "/paging.html";
    std::filesystem::create_directories(device.outside());
    std::ofstream(file, std::ios::binary) << html;
    const std::string first = device.outside() + "/first.png", back = device.outside() + "/back.png";
    const std::string middle = device.outside() + "/middle.png";
    const std::string again = device.outside() + "/again.png";
    std::string steps = "idle\nscreenshot " + first + "\nkey 0x23\nidle\n";
    for (int i = 0; i < 6; ++i) steps += "key 0x21\nidle\n";
    steps += "screenshot " + middle + "\nkey 0x22\nidle\nkey 0x21\nidle\nscreenshot " + again + "\n";
    for (int i = 0; i < 60; ++i) steps += "key 0x21\nidle\n";
    steps += "screenshot " + back + "\nquit\n";
    LaunchedProgram child = StartReader(device, {file}, WriteScript(device, "steps.txt", steps));
    ASSERT_GT(child.Pid(), 0);
    EXPECT_EQ(child.Wait().status, 0);
    ASSERT_TRUE(IsPng(first));
    ASSERT_TRUE(IsPng(back));
    EXPECT_EQ(FileBytes(middle), FileBytes(again));
    EXPECT_EQ(FileBytes(first), FileBytes(back)) << "the first page was not reached";
}

// The screen of an HTML file (always named page.html) as it opens.
std::string OpeningScreen(const std::string& html) {
    TempDevice device;
    if (!device.ok()) return {};
    std::filesystem::create_directories(device.outside());
    const std::string file = device.outside() + "/page.html";
    std::ofstream(file, std::ios::binary) << html;
    const std::string shot = device.outside() + "/open.png";
    LaunchedProgram child = StartReader(
        device, {file}, WriteScript(device, "steps.txt", "idle\nscreenshot " + shot + "\nquit\n"));
    if (child.Pid() <= 0 || child.Wait().status != 0 || !IsPng(shot)) return {};
    return FileBytes(shot);
}

// Files that open with a heading inside a block, or a rule, show their text on the first
// page, not a blank one.
TEST(ProgramRuns, AHeadingInABlockOpensOnItsText) {
    const std::string blank = OpeningScreen("<html><body><div></div></body></html>");
    ASSERT_FALSE(blank.empty());
    for (const char* start : {"<div><h1>Title</h1></div>", "<center><h1>Title</h1></center>",
                              "<hr><h1>Title</h1>"}) {
        const std::string screen =
            OpeningScreen(std::string("<html><body>") + start + "<p>Para</p></body></html>");
        ASSERT_FALSE(screen.empty()) << start;
        EXPECT_NE(screen, blank) << start << " opens on a blank page";
    }
}

// A pixel's darkest channel is low: text, not the bars' pale fills.
bool Dark(uint32_t rgba) {
    const uint32_t r = rgba & 0xFF, g = rgba >> 8 & 0xFF, b = rgba >> 16 & 0xFF;
    return std::max({r, g, b}) < 128;
}

const char* const kScreens[] = {"240x320@96", "480x640@192"};

// A bookmark made straight after a dialog closes, with the annotations list opened at once and no
// idle time between the steps: its corner is on the page after the list closes, never over the
// list's header, and the screens are those of a run that idles between the steps.
TEST(ProgramScreens, ABookmarkMadeRightAfterADialogIsDrawnOnThePageNotOverTheList) {
    for (const char* screen : kScreens) {
        std::string shots[2][4];
        for (int idle = 0; idle < 2; ++idle) {
            TempDevice device;
            ASSERT_TRUE(device.ok());
            WriteNumberedBook(device, "Marks", 20);
            const std::string o = device.outside() + "/";
            const std::string pause = idle ? "idle\n" : "";
            for (int i = 0; i < 4; ++i) shots[idle][i] = o + "shot" + std::to_string(i) + ".png";
            // The options sheet, cancelled; the bookmark; the list; Open goes back to the page.
            // A screenshot is what the screen holds once its step is done.
            const std::string steps =
                "idle\nkey 0x22\nidle\nscreenshot " + shots[idle][0] + "\nanswer 2\nmenu 40041\n" +
                pause + "menu 40079\n" + "screenshot " + shots[idle][1] + "\n" + pause +
                "menu 40076\n" + pause + "screenshot " + shots[idle][2] + "\nsoftkey 1\n" + pause +
                "screenshot " + shots[idle][3] + "\nquit\n";
            ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\Marks.prc"}, steps,
                                {std::string("FOLIVANT_SCREEN=") + screen, "FOLIVANT_FONTS=box"}).status,
                      0)
                << screen << ": " << ReadFile(o + "errors.txt");
            for (int i = 0; i < 4; ++i) shots[idle][i] = ReadFile(shots[idle][i]);
            if (idle) continue;
            // Before and after: the page differs only in its top-right corner (the soft keys
            // below the page may read otherwise once the list has been opened). The corner is
            // there as soon as the bookmark is made.
            const Picture before = ReadPicture(o + "shot0.png"),
                          marked = ReadPicture(o + "shot1.png"),
                          list = ReadPicture(o + "shot2.png"), after = ReadPicture(o + "shot3.png");
            ASSERT_GT(before.width, 0);
            ASSERT_EQ(after.width, before.width);
            int left = before.width, top = before.height, right = -1, bottom = -1;
            for (int y = 0; y < before.height * 7 / 8; ++y)
                for (int x = 0; x < before.width; ++x)
                    if (before.At(x, y) != after.At(x, y)) {
                        left = std::min(left, x), right = std::max(right, x);
                        top = std::min(top, y), bottom = std::max(bottom, y);
                    }
            ASSERT_GE(right, 0) << screen << ": the bookmark's corner is not on the page";
            EXPECT_GT(left, before.width * 3 / 4) << screen;
            EXPECT_LT(bottom, before.height / 4) << screen;
            ASSERT_EQ(marked.width, before.width);
            for (int y = top; y <= bottom; ++y)
                for (int x = left; x <= right; ++x)
                    ASSERT_EQ(marked.At(x, y), after.At(x, y))
                        << screen << ": the corner is not drawn at once, at " << x << "," << y;
            // Where the corner lies on the page, the list shows its header's plain fill.
            ASSERT_EQ(list.width, before.width);
            for (int y = top; y <= bottom; ++y)
                for (int x = left; x <= right; ++x)
                    ASSERT_EQ(list.At(x, y), list.At(list.width * 5 / 8, y))
                        << screen << ": the list's header is drawn over at " << x << "," << y;
        }
        for (int i = 0; i < 4; ++i)
            EXPECT_TRUE(shots[0][i] == shots[1][i])
                << screen << ": screen " << i << " differs from the run with idle steps";
    }
}

// With the progress bar on, at the smallest text size, no line of the page runs into the bar:
// the bar's rows hold no text and every line, the last too, is seen whole above them. In full
// screen too, where the window grows under the bar (the page was laid out in the whole window).
TEST(ProgramScreens, TheProgressBarLeavesTheLastLineWholeAtTheSmallestTextSize) {
    for (const char* screen : kScreens)
        for (bool full : {false, true}) {
            SCOPED_TRACE(full ? "full screen" : "with the bars");
            TempDevice device;
            ASSERT_TRUE(device.ok());
            WriteNumberedBook(device, "Small", 40);
            const std::string o = device.outside() + "/";
            // Decrease from the default size (16) to the smallest (12), one step at a time.
            std::string steps = "idle\nmenu 40172\nidle\n";
            for (int i = 0; i < 4; ++i) steps += "menu 40083\nidle\n";
            if (full) steps += "menu 40084\nidle\n";
            const int pages = 5;
            for (int i = 0; i < pages; ++i)
                steps += "screenshot " + o + "p" + std::to_string(i) + ".png\npagetext " + o + "p" +
                         std::to_string(i) + ".txt\nkey 0x22\nidle\n";
            ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\Small.prc"}, steps + "quit\n",
                                {std::string("FOLIVANT_SCREEN=") + screen, "FOLIVANT_FONTS=box"}).status,
                      0)
                << screen << ": " << ReadFile(o + "errors.txt");
            std::vector<std::string> previous;
            for (int i = 0; i < pages; ++i) {
                const std::string n = std::to_string(i);
                const Picture page = ReadPicture(o + "p" + n + ".png");
                ASSERT_GT(page.width, 0);
                // The bar starts a few pixels in from the left edge, where the page has its margin;
                // below it come the soft keys, drawn in white on dark, and above the page the title
                // (neither in full screen).
                const uint32_t paper = page.At(3, page.height / 2),
                               keys = page.At(3, page.height - 1);
                int barTop = page.height / 2;
                while (barTop < page.height && page.At(3, barTop) == paper) ++barTop;
                int barEnd = barTop;
                while (barEnd < page.height && page.At(3, barEnd) != keys) ++barEnd;
                ASSERT_LT(barTop, barEnd) << screen << " page " << n << ": no bar";
                int pageTop = 0;
                if (page.At(3, 0) != paper)
                    while (pageTop < page.height && page.At(3, pageTop) == page.At(3, 0)) ++pageTop;
                // Every line of the page is a band of rows with text in it: the box font draws each
                // character as a box from the line's ascent to its descent, so the lines of body
                // text are bands of one height and a line cut short is a lower band.
                std::vector<int> bands;
                bool textInBar = false, inBand = false;
                for (int y = pageTop; y < barEnd; ++y) {
                    bool text = false;
                    for (int x = 0; x < page.width / 2 && !text; ++x) text = Dark(page.At(x, y));
                    if (text && y >= barTop) textInBar = true;
                    if (text && y < barTop) {
                        if (!inBand) bands.push_back(0);
                        ++bands.back();
                    }
                    inBand = text;
                }
                EXPECT_FALSE(textInBar) << screen << " page " << n;
                ASSERT_GT(bands.size(), 2u) << screen << " page " << n;
                std::map<int, int> heights;
                for (int h : bands) ++heights[h];
                const int body =
                    std::max_element(heights.begin(), heights.end(), [](auto& a, auto& b) {
                        return a.second < b.second;
                    })->first;
                EXPECT_EQ(bands.back(), body)
                    << screen << " page " << n << ": the last line is cut";
                // Every laid-out line is seen: none lies hidden under the bar.
                const auto lines = ReadLines(o + "p" + n + ".txt");
                ASSERT_FALSE(lines.empty()) << screen << " page " << n;
                EXPECT_EQ(bands.size(), lines.size())
                    << screen << " page " << n << ": lines of the page are not seen";
                // Turning the page loses no line and shows none twice.
                if (!previous.empty()) {
                    EXPECT_NE(lines.front(), previous.back()) << screen;
                }
                previous = lines;
            }
        }
}

// The progress bar's page number is drawn inside the bar's strip, at the default text size and
// at a larger one: it ran down onto the soft keys below the bar and stood on the screen's edge.
TEST(ProgramScreens, ThePageNumberStaysInsideTheProgressBar) {
    for (const char* screen : kScreens)
        for (const char* size : {"", "menu 40082\nidle\nmenu 40082\nidle\n"}) {
            SCOPED_TRACE(std::string(screen) + (*size ? ", larger text" : ""));
            TempDevice device;
            ASSERT_TRUE(device.ok());
            WriteNumberedBook(device, "Numbered", 60);
            const std::string shot = device.outside() + "/bar.png";
            // Page 12: a number of two digits.
            std::string steps = std::string("idle\nmenu 40172\nidle\n") + size;
            for (int i = 1; i < 12; ++i) steps += "key 0x22\nidle\n";
            ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\Numbered.prc"},
                               steps + "screenshot " + shot + "\nquit\n",
                               {std::string("FOLIVANT_SCREEN=") + screen, "FOLIVANT_FONTS=box"})
                          .status,
                      0);
            const Picture page = ReadPicture(shot);
            ASSERT_GT(page.width, 0);
            const int scale = page.width / 240, thickness = 12 * scale;
            // The soft keys start at the first row from the bottom that is not their colour.
            const uint32_t keys = page.At(3, page.height - 1);
            int keysTop = page.height - 1;
            while (keysTop > 0 && page.At(3, keysTop - 1) == keys) --keysTop;
            // The number's ink (the box font draws each digit as a dark box), in the right quarter
            // of the rows from the strip's top down to the soft keys.
            int top = page.height, bottom = -1, right = -1;
            for (int y = keysTop - thickness; y < keysTop; ++y)
                for (int x = page.width * 3 / 4; x < page.width; ++x)
                    if (Dark(page.At(x, y))) {
                        top = std::min(top, y);
                        bottom = std::max(bottom, y);
                        right = std::max(right, x);
                    }
            ASSERT_GE(bottom, 0) << "no page number";
            EXPECT_GT(top, keysTop - thickness) << "the number touches the page above the bar";
            EXPECT_LT(bottom, keysTop - 1) << "the number touches the soft keys";
            EXPECT_LT(right, page.width - 2 * scale) << "the number touches the screen's edge";
        }
}

// The input panel's key labels grow with the screen as the rest does: on the large screen they
// stayed at the small screen's size. Measured on the first key (the box font draws a label as a
// box): its height on the large screen is twice the small one's.
TEST(ProgramScreens, TheInputPanelsLabelsGrowWithTheScreen) {
    std::vector<int> heights;
    for (const char* screen : kScreens) {
        TempDevice device;
        ASSERT_TRUE(device.ok());
        WriteNumberedBook(device, "Panel", 10);
        const std::string shot = device.outside() + "/find.png";
        // Find leaves the page with the panel up.
        ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\Panel.prc"},
                           "idle\nmenu 40078\nidle\nscreenshot " + shot + "\nanswer 2\nquit\n",
                           {std::string("FOLIVANT_SCREEN=") + screen, "FOLIVANT_FONTS=box"})
                      .status,
                  0);
        const Picture page = ReadPicture(shot);
        ASSERT_GT(page.width, 0);
        // The panel's rows sit just above the soft keys: the first key's label is the first
        // dark band, from the top, in the middle of the first key (24 pixels wide on the small
        // screen), on rows that are not the grid's lines (those are dark near the key's edge too).
        const int scale = page.width / 240;
        int top = -1, bottom = -1;
        for (int y = page.height / 2; y < page.height - 30 * scale && bottom < 0; ++y) {
            bool ink = !Dark(page.At(3 * scale, y)) && Dark(page.At(12 * scale, y));
            if (ink && top < 0) top = y;
            if (!ink && top >= 0) bottom = y;
        }
        ASSERT_GE(top, 0) << screen << ": no key label";
        heights.push_back((bottom - top) / scale);
    }
    ASSERT_EQ(heights.size(), 2u);
    EXPECT_NEAR(heights[1], heights[0], 1) << "the large screen's label is " << heights[1]
                                           << " pixels high at the small screen's scale";
}

// The library's selected row stays marked while a box over the library has the focus, as a
// whole row: the icon cell and the rest of the row in one colour (the icon cell alone was).
TEST(ProgramScreens, ASelectedRowWithoutTheFocusIsMarkedAsAWholeRow) {
    for (const char* screen : kScreens) {
        TempDevice device;
        ASSERT_TRUE(device.ok());
        for (const char* name : {"Alpha", "Beta", "Gamma"}) WriteNumberedBook(device, name, 4);
        const std::string o = device.outside() + "/";
        // The delete box, cancelled.
        const std::string steps = "idle\nscreenshot " + o + "focused.png\nscreenshot-box " + o +
                                  "box.png\nanswer 2\nmenu 40023\nidle\nquit\n";
        ASSERT_EQ(RunSteps(device, {}, steps,
                            {std::string("FOLIVANT_SCREEN=") + screen, "FOLIVANT_FONTS=box"}).status,
                  0)
            << screen << ": " << ReadFile(o + "errors.txt");
        EXPECT_TRUE(device.HostExists("storage/eBooks/Alpha.prc"));
        const Picture focused = ReadPicture(o + "focused.png"), box = ReadPicture(o + "box.png");
        ASSERT_GT(focused.width, 0);
        ASSERT_EQ(box.width, focused.width);
        // The selected row: the rows the focused list marks in its dark blue, across the row.
        const int icon = 5, label = focused.width * 3 / 4;
        const uint32_t paper = focused.At(icon, focused.height - 1 - focused.height / 8);
        auto blue = [](uint32_t rgba) { return (rgba & 0xFF) < 64 && (rgba >> 16 & 0xFF) > 96; };
        // The book's icon covers most of the icon cell: its side is compared where the cell
        // shows the band.
        int rows = 0, iconRows = 0;
        for (int y = focused.height / 8; y < focused.height / 2; ++y) {
            if (!blue(focused.At(label, y))) continue;
            ++rows;
            EXPECT_NE(box.At(label, y), paper) << screen << ": the selection is not shown at " << y;
            EXPECT_NE(box.At(label, y), focused.At(label, y))
                << screen << ": without the focus the row looks focused at " << y;
            if (!blue(focused.At(icon, y))) continue;
            ++iconRows;
            EXPECT_EQ(box.At(icon, y), box.At(label, y))
                << screen << ": only the icon cell is marked at row " << y;
        }
        EXPECT_GT(rows, 10) << screen << ": no selected row";
        EXPECT_GT(iconRows, 0) << screen << ": the icon cell shows no band";
    }
}

// With the fonts a reader has (not the gallery's box font), every box and page of the library
// and the reader lays out cleanly in both languages on both screens: the driver's box screenshot
// fails the run when a control's text does not fit or two controls overlap (the French About
// title lost its last word on the large screen, and the French Add / Remove reading lists title
// ran onto a second line there, cut; the French find button "Rechercher le suivant" touched both
// its borders).
TEST(ProgramScreens, BoxesLayOutCleanlyWithTheInstalledFonts) {
    for (const char* language : {"en", "fr"}) {
        for (const char* screen : kScreens) {
            TempDevice device;
            ASSERT_TRUE(device.ok());
            WriteNumberedBook(device, "Boxes", 20);
            const std::string o = device.outside() + "/";
            const std::vector<std::string> env = {std::string("FOLIVANT_LANGUAGE=") + language,
                                                  std::string("FOLIVANT_SCREEN=") + screen};
            auto box = [&](const std::string& name) {
                return "screenshot-box " + o + name + ".png\n";
            };
            std::string library = "idle\n" + box("about") + "answer 2\nmenu 40040\nidle\n" +
                                  box("properties") + "answer 2\nmenu 40022\nidle\n" +
                                  box("delete") + "answer 2\nmenu 40023\nidle\n" +
                                  box("reading-lists") + "answer 2\nmenu 40074\nidle\nquit\n";
            EXPECT_EQ(RunSteps(device, {}, library, env).status, 0)
                << language << " " << screen << ": " << ReadFile(o + "errors.txt");
            std::string reader =
                "idle\n" + box("goto") + "answer 2\nmenu 40092\nidle\n" + box("find") +
                "answer 2\nmenu 40078\nidle\n" + box("options");
            for (int page = 1; page <= 6; ++page)
                reader += "answer-key 0x3" + std::to_string(page) + "\n" +
                          box("page" + std::to_string(page)) + "answer 2\n";
            reader += "answer 2\nmenu 40041\nidle\nquit\n";
            EXPECT_EQ(RunSteps(device, {"\\storage\\eBooks\\Boxes.prc"}, reader, env).status, 0)
                << language << " " << screen << ": " << ReadFile(o + "errors.txt");
        }
    }
}

// The Buttons page names a button bound to an action in the device's language, in a column that
// ends before the list's scroll bar (it was "Button 1" in French too, drawn under the bar).
TEST(ProgramScreens, TheButtonsPageNamesABoundButtonBesideTheScrollBarInTheDevicesLanguage) {
    std::map<std::string, Picture> bound, unbound;
    for (const char* language : {"en", "fr"}) {
        TempDevice device;
        ASSERT_TRUE(device.ok());
        WriteNumberedBook(device, "Buttons", 20);
        const std::string o = device.outside() + "/";
        const std::vector<std::string> env = {std::string("FOLIVANT_LANGUAGE=") + language,
                                              "FOLIVANT_SCREEN=240x320@96"};
        // Button 1 pressed on the page binds it to the first action, the row selected.
        const std::string steps = "idle\nanswer-key 0x35\nscreenshot-box " + o +
                                  "unbound.png\nanswer-key 0xC1\nscreenshot-box " + o +
                                  "bound.png\nanswer 2\nanswer 2\nmenu 40041\nidle\nquit\n";
        ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\Buttons.prc"}, steps, env).status, 0)
            << language << ": " << ReadFile(o + "errors.txt");
        bound[language] = ReadPicture(o + "bound.png");
        unbound[language] = ReadPicture(o + "unbound.png");
        ASSERT_GT(bound[language].width, 0);
    }
    // The first row's text, right of the actions' names and left of the scroll bar.
    const Picture& fr = bound["fr"];
    auto differs = [&](const Picture& a, const Picture& b) {
        int changed = 0;
        for (int y = 0; y < a.height; ++y)
            for (int x = a.width / 2; x < a.width - 20; ++x) changed += a.At(x, y) != b.At(x, y);
        return changed;
    };
    EXPECT_GT(differs(fr, unbound["fr"]), 20) << "the bound button's name is not seen";
    EXPECT_GT(differs(bound["en"], unbound["en"]), 20) << "the bound button's name is not seen";
    // The French and English action names differ too; the button column shows in both
    // languages at the same place, so only the names' own pixels tell them apart.
    int frOnly = 0, enOnly = 0;
    for (int y = 0; y < fr.height; ++y)
        for (int x = fr.width / 2; x < fr.width - 20; ++x) {
            const bool inFr = fr.At(x, y) != unbound["fr"].At(x, y);
            const bool inEn = bound["en"].At(x, y) != unbound["en"].At(x, y);
            frOnly += inFr && !inEn;
            enOnly += inEn && !inFr;
        }
    EXPECT_GT(frOnly + enOnly, 0) << "the button is named the same in French and English";
}

// A sub-menu that has no room beside its parent may cover the parent's margin, never the first
// letters of its labels (the French library's "Filtrer par" showed as "ltrer par"); short of room
// for its own labels there, it opens above its parent.
TEST(ProgramScreens, ASubMenuLeavesItsParentsLabelsUncovered) {
    for (const char* language : {"en", "fr"}) {
        for (const char* screen : kScreens) {
            TempDevice device;
            ASSERT_TRUE(device.ok());
            WriteNumberedBook(device, "Menus", 5);
            const std::string o = device.outside() + "/";
            const std::vector<std::string> env = {std::string("FOLIVANT_LANGUAGE=") + language,
                                                  std::string("FOLIVANT_SCREEN=") + screen};
            // The library, its menu with "Filter by" lit, then that item's sub-menu open.
            const std::string steps =
                "idle\nscreenshot " + o + "plain.png\nanswer-key 0x28\nscreenshot-box " + o +
                "parent.png\nanswer 0\nsoftkey 2\nidle\nanswer-key 0x28\nanswer-key 0x0d\n"
                "screenshot-box " + o + "sub.png\nanswer 0\nsoftkey 2\nidle\nquit\n";
            ASSERT_EQ(RunSteps(device, {}, steps, env).status, 0)
                << language << " " << screen << ": " << ReadFile(o + "errors.txt");
            const Picture plain = ReadPicture(o + "plain.png");
            const Picture parent = ReadPicture(o + "parent.png");
            const Picture sub = ReadPicture(o + "sub.png");
            ASSERT_GT(plain.width, 0);
            ASSERT_EQ(parent.width, plain.width);
            ASSERT_EQ(sub.width, plain.width);
            // The parent menu: where it changed the library's screen.
            int left = plain.width, right = 0, top = plain.height, bottom = 0;
            for (int y = 0; y < plain.height; ++y)
                for (int x = 0; x < plain.width; ++x)
                    if (plain.At(x, y) != parent.At(x, y)) {
                        left = std::min(left, x), right = std::max(right, x + 1);
                        top = std::min(top, y), bottom = std::max(bottom, y + 1);
                    }
            ASSERT_LT(left, right) << language << " " << screen << ": no menu was drawn";
            const int scale = plain.width / 240;
            int covered = 0, beside = 0;
            for (int y = top; y < bottom; ++y)
                for (int x = 0; x < right; ++x) {
                    if (sub.At(x, y) == parent.At(x, y)) continue;
                    if (x >= left + 14 * scale) ++covered;
                    if (x < left) ++beside;
                }
            // Without room beside its parent for its whole labels, it opens above the parent.
            for (int y = 0; y < top; ++y)
                for (int x = 0; x < plain.width; ++x) beside += sub.At(x, y) != parent.At(x, y);
            EXPECT_GT(beside, 0) << language << " " << screen << ": the sub-menu was not drawn";
            EXPECT_EQ(covered, 0) << language << " " << screen
                                  << ": the sub-menu covers its parent's labels";
        }
    }
}

// A pop-up menu taller than the screen (the reader's menu on a small dense square screen) stays on
// the screen and scrolls: Up from the top wraps to its last item, which then shows lit.
TEST(ProgramScreens, APopUpMenuTallerThanTheScreenScrollsToItsLastItem) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteNumberedBook(device, "Tall", 5);
    const std::string o = device.outside() + "/";
    const std::vector<std::string> env = {"FOLIVANT_SCREEN=240x240@192"};
    const std::string steps = "idle\nanswer-key 0x28\nscreenshot-box " + o +
                              "first.png\nanswer 0\nsoftkey 2\nidle\nanswer-key 0x26\n"
                              "screenshot-box " + o + "last.png\nanswer 0\nsoftkey 2\nidle\nquit\n";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\Tall.prc"}, steps, env).status, 0)
        << ReadFile(o + "errors.txt");
    const Picture first = ReadPicture(o + "first.png");
    const Picture last = ReadPicture(o + "last.png");
    ASSERT_GT(first.width, 0);
    ASSERT_EQ(last.width, first.width);
    auto lit = [](uint32_t p) {
        return (p & 0xFF) < 40 && ((p >> 8) & 0xFF) < 40 && ((p >> 16) & 0xFF) > 110;
    };
    // Where the last item's band shows that the first item's did not.
    int band = 0, lowest = 0;
    for (int y = 0; y < first.height; ++y)
        for (int x = 0; x < first.width; ++x)
            if (lit(last.At(x, y)) && !lit(first.At(x, y))) ++band, lowest = std::max(lowest, y);
    EXPECT_GT(band, 500) << "the last item is not shown lit";
    EXPECT_GT(lowest, first.height / 2);
}

TEST(SingleInstance, QuitClosesTheRunningInstance) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    LaunchedProgram first = StartReader(device, {});
    ASSERT_GT(first.Pid(), 0);
    ASSERT_NE(WaitForInstance(), nullptr);
    LaunchedProgram second = StartReader(device, {"/QUIT"});
    EXPECT_EQ(second.Wait().status, 0);
    EXPECT_EQ(first.Wait().status, 0);
    EXPECT_EQ(FindWindowW(u"Folivant Reader", nullptr), nullptr);
}

TEST(SingleInstance, QuitWithoutARunningInstanceStartsNothing) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    LaunchedProgram only = StartReader(device, {"/quit"});
    EXPECT_EQ(only.Wait().status, 0);
    // No window was made, so the core never wrote its settings.
    EXPECT_FALSE(device.HostExists("Windows/FVT_global_configuration.fvt"));
}

TEST(SingleInstance, SecondStartWithoutArgumentsLeavesTheFirstRunning) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    LaunchedProgram first = StartReader(device, {});
    ASSERT_GT(first.Pid(), 0);
    ASSERT_NE(WaitForInstance(), nullptr);
    LaunchedProgram second = StartReader(device, {});
    EXPECT_EQ(second.Wait().status, 0);
    EXPECT_TRUE(first.Running());
    LaunchedProgram quit = StartReader(device, {"/quit"});
    EXPECT_EQ(quit.Wait().status, 0);
    EXPECT_EQ(first.Wait().status, 0);
}

TEST(SingleInstance, RestartReplacesTheRunningInstance) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    LaunchedProgram first = StartReader(device, {});
    ASSERT_GT(first.Pid(), 0);
    ASSERT_NE(WaitForInstance(), nullptr);
    LaunchedProgram second = StartReader(device, {"/restart"});
    ASSERT_GT(second.Pid(), 0);
    EXPECT_EQ(first.Wait().status, 0);
    ASSERT_NE(WaitForInstance(), nullptr);
    LaunchedProgram quit = StartReader(device, {"/quit"});
    EXPECT_EQ(quit.Wait().status, 0);
    EXPECT_EQ(second.Wait().status, 0);
}

// A reader that does not answer (here stopped) keeps the device: a second start, with a book or
// without, waits a bounded time, says so and ends with a failure, opening nothing. The questions
// it left are not acted on once the first goes on: that one still runs and still answers.
TEST(SingleInstance, ASecondStartBesideAReaderThatDoesNotAnswerSaysSoAndEnds) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteNumberedBook(device, "Beta", 3);
    LaunchedProgram first = StartReader(device, {});
    ASSERT_GT(first.Pid(), 0);
    ASSERT_NE(WaitForInstance(), nullptr);
    Stopped stopped(first.Pid());
    ASSERT_TRUE(stopped.ok);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"\\storage\\eBooks\\Beta.prc"}, std::vector<std::string>{}}) {
        LaunchOptions options = ReaderOn(device.root(), args);
        options.limitSeconds = 90;
        const ProgramResult second = RunProgram(options);
        EXPECT_FALSE(second.timedOut) << "the second start waited for ever";
        EXPECT_EQ(second.status, 1) << second.Describe();
        EXPECT_NE(second.err.find("does not answer"), std::string::npos) << second.err;
    }
    EXPECT_FALSE(device.HostExists("storage/eBooks/Beta.fvt")) << "the book was opened";
    stopped.Resume();
    EXPECT_NE(FindWindowW(u"Folivant Reader", nullptr), nullptr);
    EXPECT_TRUE(first.Running());
    LaunchedProgram quit = StartReader(device, {"/quit"});
    EXPECT_EQ(quit.Wait().status, 0);
    EXPECT_EQ(first.Wait().status, 0);
}

}  // namespace
}  // namespace fvt::test
