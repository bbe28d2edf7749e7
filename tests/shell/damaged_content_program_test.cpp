// Books whose header does not add up: a page that can be read is shown, one that cannot says so
// ("File corrupted") and the run ends with status 1; never a blank page with status 0.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "program_runs.h"
#include "support/bookfiles/book_builder.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

std::size_t Record0(const std::string& book) {
    return static_cast<unsigned char>(book[78]) << 24 | static_cast<unsigned char>(book[79]) << 16 |
           static_cast<unsigned char>(book[80]) << 8 | static_cast<unsigned char>(book[81]);
}

void PutU32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (24 - 8 * i));
}

std::string Build(BookBuilder& book, const std::string& text) {
    book.text.assign(text.begin(), text.end());
    const Bytes bytes = book.Build();
    return std::string(bytes.begin(), bytes.end());
}

// 10 KB of text after a header that counts none of it: the text is read from its records, to
// its last word.
TEST(DamagedHeaders, APalmDocBookWhoseHeaderCountsNoTextShowsItsText) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    for (std::uint32_t compression : {1u, 2u}) {
        BookBuilder book;
        book.palmDoc = true;
        book.compression = compression;
        const std::string text = SampleText(10000, 4) + " The very last words.";
        std::string bytes = Build(book, text);
        PutU32(bytes, Record0(bytes) + 4, 0);
        const std::string name = "lost" + std::to_string(compression) + ".pdb";
        device.WriteOutside(name, bytes);
        const std::string first = device.OutsidePath("first.txt");
        const std::string last = device.OutsidePath("last.txt");
        const ProgramResult run =
            RunSteps(device, {device.OutsidePath(name)},
                     "idle\npagetext " + first + "\nkey 0x23\nidle\npagetext " + last + "\nquit\n");
        EXPECT_EQ(run.status, 0) << run.Describe();
        const std::string shown = Joined(ReadLines(first));
        EXPECT_NE(shown.find(text.substr(0, 20)), std::string::npos) << shown;
        std::string end = Joined(ReadLines(last));
        for (char& c : end)
            if (c == '\n') c = ' ';
        EXPECT_NE(end.find("The very last words."), std::string::npos) << end;
    }
}

// Trailing-entry flags no record can carry: every page would be blank; the reader is told the
// book is damaged instead.
TEST(DamagedHeaders, ImpossibleTrailingEntryFlagsAreToldAsACorruptBook) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    BookBuilder book;
    book.fullName = "Flags";
    std::string bytes = Build(book, SampleText(9000, 5));
    // The FOLV header starts 16 bytes into record 0; the flags are its word at 180.
    PutU32(bytes, Record0(bytes) + 16 + 180, 0xFFFE);
    device.WriteOutside("flags.prc", bytes);
    const ProgramResult run =
        RunSteps(device, {device.OutsidePath("flags.prc")}, "idle\nquit\n");
    EXPECT_EQ(run.status, 1) << run.Describe();
    EXPECT_NE(run.err.find("folivant: Error: File corrupted \\storage\\eBooks\\flags.prc"),
              std::string::npos)
        << run.err;
}

}  // namespace
}  // namespace fvt::test
