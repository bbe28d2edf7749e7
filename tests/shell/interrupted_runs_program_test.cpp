// Runs cut short. The run marker is set while the reader runs and cleared when it ends in order:
// after a run that ended otherwise (killed, a crash, the power gone) the next start shows the
// library rather than reopening the book that was open then; after an orderly end it reopens
// the book. A copy into the device cut short before its rename leaves a temporary file that the
// next start removes.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "program_runs.h"
#include "support/bookfiles/book_builder.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

const std::vector<std::string> kBook = {"\\storage\\eBooks\\Alpha.prc"};

void WriteBook(const TempDevice& device) {
    BookBuilder book;
    const std::string text = SampleText(6000);
    book.text.assign(text.begin(), text.end());
    book.fullName = "Alpha";
    const Bytes bytes = book.Build();
    device.WriteHost("storage/eBooks/Alpha.prc", std::string(bytes.begin(), bytes.end()));
}

// Runs the steps, then ends the reader with SIGKILL while it waits for more.
void KilledAfter(const TempDevice& device, const std::vector<std::string>& args,
                 const std::string& steps) {
    const std::string o = device.outside() + "/";
    std::filesystem::remove(o + "done.txt");
    const std::string script = WriteScript(
        device, "steps.txt", steps + "pagetext " + o + "done.txt\nwait-file " + o + "never\n");
    LaunchedProgram running = StartReader(device, args, script);
    ASSERT_GT(running.Pid(), 0);
    for (int i = 0; i < 800 && !std::filesystem::exists(o + "done.txt"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    ASSERT_TRUE(std::filesystem::exists(o + "done.txt"));
    kill(running.Pid(), SIGKILL);
    EXPECT_EQ(running.Wait().signal, SIGKILL);
}

struct Shown {
    std::string page;  // the page's text; empty when no page of text shows
    std::string list;  // the rows of the list shown; empty when none shows
};

Shown StartWithoutABook(const TempDevice& device, const std::string& name) {
    const std::string o = device.outside() + "/" + name;
    const ProgramResult run = RunSteps(
        device, {}, "idle\npagetext " + o + "-page.txt\nlisttext " + o + "-list.txt\nquit\n");
    EXPECT_EQ(run.status, 0) << run.Describe();
    return {ReadFile(o + "-page.txt"), ReadFile(o + "-list.txt")};
}

TEST(RunMarker, AStartAfterAKilledRunShowsTheLibrary) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteBook(device);
    KilledAfter(device, kBook, "idle\nkey 0x22\nidle\n");

    const Shown next = StartWithoutABook(device, "next");
    EXPECT_EQ(next.page, "");
    EXPECT_NE(next.list.find("Alpha"), std::string::npos) << next.list;

    // That start ended in order: the one after it reopens the book.
    const Shown after = StartWithoutABook(device, "after");
    EXPECT_NE(after.page, "");
    EXPECT_EQ(after.list, "");
}

TEST(RunMarker, AStartAfterAnOrderlyEndReopensTheBook) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteBook(device);
    ASSERT_EQ(RunSteps(device, kBook, "idle\nkey 0x22\nidle\nquit\n").status, 0);

    const Shown next = StartWithoutABook(device, "next");
    EXPECT_NE(next.page, "");
    EXPECT_EQ(next.list, "");
}

// The temporaries of copies cut short, beside a book and in a folder under the books folder,
// are gone after the next start; a file of the user's that merely ends in ".tmp" stays, as do
// the books.
TEST(CopyLeftovers, AreRemovedAtTheNextStart) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteBook(device);
    const std::string half(300000, 'x');
    device.WriteHost("storage/eBooks/Copied.prc.tmp", half);
    std::filesystem::create_directories(device.Host("storage/eBooks/Pages/img"));
    device.WriteHost("storage/eBooks/Pages/img/fig.png.tmp", half);
    device.WriteHost("storage/eBooks/notes.tmp", "the user's own");
    ASSERT_EQ(RunSteps(device, kBook, "idle\nquit\n").status, 0);
    EXPECT_FALSE(device.HostExists("storage/eBooks/Copied.prc.tmp"));
    EXPECT_FALSE(device.HostExists("storage/eBooks/Pages/img/fig.png.tmp"));
    EXPECT_TRUE(device.HostExists("storage/eBooks/notes.tmp"));
    EXPECT_TRUE(device.HostExists("storage/eBooks/Alpha.prc"));
}

}  // namespace
}  // namespace fvt::test
