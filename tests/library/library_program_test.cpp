// The library in the running program: reading lists, the memory information and the rows of
// books, driven by scripts on fixture devices.
#include <gtest/gtest.h>

#include <string>

#include "support/bookfiles/book_builder.h"
#include "support/shell/program_run.h"

namespace fvt::test {
namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;

void AddBook(const TempDevice& device, const std::string& title) {
    BookBuilder book;
    const std::string text = SampleText(1500);
    book.text.assign(text.begin(), text.end());
    book.fullName = title;
    const Bytes bytes = book.Build();
    device.WriteHost("storage/eBooks/" + title + ".prc", std::string(bytes.begin(), bytes.end()));
}

// UTF-16 of an ASCII text, as the configuration file keeps names.
std::string Utf16(const std::string& ascii) {
    std::string out;
    for (char c : ascii) {
        out.push_back(c);
        out.push_back('\0');
    }
    return out;
}

// A reading list made in the Add / Remove dialog is kept in the global configuration; after a
// restart the Reading list menu offers it, and choosing it filters the library down to the
// books that hold it (none here), where the unfiltered library shows both books.
TEST(ReadingLists, CreatedInTheDialogSurviveARestartAndFilterTheLibrary) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    AddBook(device, "Alpha");
    AddBook(device, "Beta");
    const std::string all = device.outside() + "/all.png";
    // Edit reading lists, New, OK (the new row keeps its proposed name).
    ASSERT_EQ(RunProgram(device, "idle\nanswer 40074\nanswer 1029\nanswer 1\nsoftkey 2\nidle\n"
                                 "screenshot " + all + "\nquit\n"),
              0);
    const std::string config = device.ReadHost("Windows/FVT_global_configuration.fvt");
    EXPECT_NE(config.find(Utf16("My Reading list")), std::string::npos);

    const std::string filtered = device.outside() + "/filtered.png";
    ASSERT_EQ(RunProgram(device, "idle\nanswer 10004\nsoftkey 2\nidle\nscreenshot " + filtered +
                                     "\nquit\n"),
              0);
    Screen before, after;
    ASSERT_TRUE(before.Read(all));
    ASSERT_TRUE(after.Read(filtered));
    // The rows of the first two books (below the title strip), blank once filtered.
    EXPECT_GT(before.CountOther(0, 50, before.width, 90, kWhite), 200);
    EXPECT_EQ(after.CountOther(4, 50, after.width - 8, 60, kWhite), 0);
}

}  // namespace
}  // namespace fvt::test
