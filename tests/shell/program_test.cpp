// The program itself, in processes of its own on a temporary device: headless runs under a
// driver script, a book named by its host path, and one running instance per device.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/window/window.h"
#include "shell/program_runs.h"
#include "support/bookfiles/book_builder.h"
#include "support/platform/temp_device.h"

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
    Child child{Start(device, {}, script)};
    ASSERT_GT(child.pid, 0);
    EXPECT_EQ(child.Wait(), 0);
    EXPECT_TRUE(IsPng(p1));
    EXPECT_TRUE(IsPng(p2));
    // The settings file was written by the ordinary shut-down.
    EXPECT_TRUE(device.HostExists("Windows/FVT_global_configuration.fvt"));
}

TEST(ProgramRuns, UnreadableDriverLineEndsWithStatusTwo) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    const std::string script = WriteScript(device, "bad.txt", "idle\nfly away\nquit\n");
    Child child{Start(device, {}, script)};
    ASSERT_GT(child.pid, 0);
    EXPECT_EQ(child.Wait(), 2);
    Child missing{Start(device, {}, device.outside() + "/no-such-script")};
    EXPECT_EQ(missing.Wait(), 2);
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
    Child child{Start(device, {original}, script)};
    ASSERT_GT(child.pid, 0);
    EXPECT_EQ(child.Wait(), 0);
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
    Child child{Start(device, {}, script)};
    ASSERT_GT(child.pid, 0);
    EXPECT_EQ(child.Wait(), 0);
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
    Child child{Start(device, {"\\storage\\eBooks\\Numbers.prc"}, script)};
    ASSERT_GT(child.pid, 0);
    EXPECT_EQ(child.Wait(), 0);
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

TEST(ProgramDriver, AHeadlessScriptWithoutQuitEndsAfterItsLastLine) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    const std::string script = WriteScript(device, "steps.txt", "idle\nkey 0x28\nidle\n");
    Child child{Start(device, {}, script)};
    ASSERT_GT(child.pid, 0);
    EXPECT_EQ(child.Wait(), 0);
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
        Child child{Start(device, {}, script, errors)};
        ASSERT_GT(child.pid, 0);
        EXPECT_EQ(child.Wait(), 2) << c.steps;
        EXPECT_NE(ReadFile(errors).find(c.line), std::string::npos) << ReadFile(errors);
        EXPECT_EQ(std::filesystem::exists(after), c.ranToTheEnd) << c.steps;
    }
}

// A driven run does not join a reader already running on the device: it says so and runs
// nothing, and the other instance is left as it was.
TEST(ProgramDriver, ADrivenRunIsNotSwallowedByARunningInstance) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    Child first{Start(device, {})};
    ASSERT_GT(first.pid, 0);
    ASSERT_NE(WaitForInstance(), nullptr);
    const std::string shot = device.outside() + "/shot.png";
    const std::string errors = device.outside() + "/errors.txt";
    const std::string script = WriteScript(device, "steps.txt", "screenshot " + shot + "\nquit\n");
    Child driven{Start(device, {}, script, errors)};
    EXPECT_EQ(driven.Wait(), 2);
    EXPECT_FALSE(std::filesystem::exists(shot));
    EXPECT_NE(ReadFile(errors).find("another instance"), std::string::npos);
    EXPECT_EQ(waitpid(first.pid, nullptr, WNOHANG), 0);  // still running
    Child quit{Start(device, {"/quit"})};
    EXPECT_EQ(quit.Wait(), 0);
    EXPECT_EQ(first.Wait(), 0);
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
    std::string steps = "idle\n";
    for (int i = 0; i < forward; ++i)
        steps += "pagetext " + out + "/f" + std::to_string(i) + ".txt\nkey 0x22\nidle\n";
    steps += "text 9\nanswer 0\nmenu 40092\nidle\n";
    for (int i = 0; i < back; ++i)
        steps += "pagetext " + out + "/b" + std::to_string(i) + ".txt\nkey 0x21\nidle\n";
    steps += "quit\n";
    Child child{Start(device, {file}, WriteScript(device, "steps.txt", steps))};
    ASSERT_GT(child.pid, 0);
    ASSERT_EQ(child.Wait(), 0);
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
            if (at > 0)
                EXPECT_LE(end - after, static_cast<long>(Words(lastLine).size()))
                    << "PageUp " << i << " repeats " << end - after << " words";
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
    Child child{Start(device, {file}, WriteScript(device, "steps.txt", steps))};
    ASSERT_GT(child.pid, 0);
    EXPECT_EQ(child.Wait(), 0);
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
    Child child{Start(device, {file},
                      WriteScript(device, "steps.txt", "idle\nscreenshot " + shot + "\nquit\n"))};
    if (child.pid <= 0 || child.Wait() != 0 || !IsPng(shot)) return {};
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

TEST(SingleInstance, QuitClosesTheRunningInstance) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    Child first{Start(device, {})};
    ASSERT_GT(first.pid, 0);
    ASSERT_NE(WaitForInstance(), nullptr);
    Child second{Start(device, {"/QUIT"})};
    EXPECT_EQ(second.Wait(), 0);
    EXPECT_EQ(first.Wait(), 0);
    EXPECT_EQ(FindWindowW(u"Folivant Reader", nullptr), nullptr);
}

TEST(SingleInstance, QuitWithoutARunningInstanceStartsNothing) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    Child only{Start(device, {"/quit"})};
    EXPECT_EQ(only.Wait(), 0);
    // No window was made, so the core never wrote its settings.
    EXPECT_FALSE(device.HostExists("Windows/FVT_global_configuration.fvt"));
}

TEST(SingleInstance, SecondStartWithoutArgumentsLeavesTheFirstRunning) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    Child first{Start(device, {})};
    ASSERT_GT(first.pid, 0);
    ASSERT_NE(WaitForInstance(), nullptr);
    Child second{Start(device, {})};
    EXPECT_EQ(second.Wait(), 0);
    EXPECT_EQ(waitpid(first.pid, nullptr, WNOHANG), 0);  // still running
    Child quit{Start(device, {"/quit"})};
    EXPECT_EQ(quit.Wait(), 0);
    EXPECT_EQ(first.Wait(), 0);
}

TEST(SingleInstance, RestartReplacesTheRunningInstance) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    Child first{Start(device, {})};
    ASSERT_GT(first.pid, 0);
    ASSERT_NE(WaitForInstance(), nullptr);
    Child second{Start(device, {"/restart"})};
    ASSERT_GT(second.pid, 0);
    EXPECT_EQ(first.Wait(), 0);
    ASSERT_NE(WaitForInstance(), nullptr);
    Child quit{Start(device, {"/quit"})};
    EXPECT_EQ(quit.Wait(), 0);
    EXPECT_EQ(second.Wait(), 0);
}

}  // namespace
}  // namespace fvt::test
