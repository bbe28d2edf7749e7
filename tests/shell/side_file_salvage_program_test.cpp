// Side files damaged on the device: the reader keeps every annotation whose records are still
// whole, keeps the damaged file aside, and says so once, naming the book and the copy kept.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "bookfiles/annotation_file.h"
#include "program_runs.h"
#include "support/bookfiles/book_builder.h"
#include "support/bookfiles/side_file_builder.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

const std::vector<std::string> kBook = {"\\storage\\eBooks\\gpl3.prc"};

std::string BookBytes() {
    BookBuilder book;
    const std::string text = SampleText(6000);
    book.text.assign(text.begin(), text.end());
    const Bytes bytes = book.Build();
    return std::string(bytes.begin(), bytes.end());
}

std::uint32_t U32(const std::string& s, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(s[at]) << 24 |
                                      static_cast<unsigned char>(s[at + 1]) << 16 |
                                      static_cast<unsigned char>(s[at + 2]) << 8 |
                                      static_cast<unsigned char>(s[at + 3]));
}

// The list entries (their places in the file) of the records with this tag, in list order.
std::vector<std::size_t> EntriesOf(const std::string& file, const char* tag) {
    std::vector<std::size_t> out;
    const std::size_t count = static_cast<unsigned char>(file[76]) << 8 |
                              static_cast<unsigned char>(file[77]);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = 78 + 8 * i;
        if (file.compare(U32(file, entry), 4, tag) == 0) out.push_back(entry);
    }
    return out;
}

std::size_t RecordAt(const std::string& file, std::size_t entry) {
    return U32(file, entry);
}

int Rows(const std::string& list) {
    int n = 0;
    for (const std::string& line : ReadLines(list)) n += !line.empty();
    return n;
}

// The annotations the book's side file holds.
int Bookmarks(const TempDevice&) {
    AnnotationFile file;
    if (file.OpenExisting("\\storage\\eBooks\\gpl3.prc", 1) != 0) return -1;
    return static_cast<int>(file.BookmarkCount());
}

struct Damage {
    const char* name;
    // Makes the damage in the side file's bytes.
    void (*apply)(std::string& file);
    int listed;        // annotations still listed (the list shows those with a text)
    int kept;          // annotations still in the side file
    bool namedOther;   // the file was set aside for naming another book
};

// The side file holds its main record, the three annotations, then the text and page state of
// each in the order they were made, and the reading position.
const Damage kDamages[] = {
    {"AReferenceWithAFlippedByte",
     [](std::string& f) { f[EntriesOf(f, "BKMK")[1]] ^= 0x40; }, 3, 3, false},
    {"CutInsideTheLastText",
     [](std::string& f) { f.resize(RecordAt(f, EntriesOf(f, "TEXT")[2]) + 12); }, 2, 3, false},
    {"CutInsideTheSecondText",
     [](std::string& f) { f.resize(RecordAt(f, EntriesOf(f, "TEXT")[1]) + 12); }, 1, 3, false},
    {"CutInsideTheLastAnnotation",
     [](std::string& f) { f.resize(RecordAt(f, EntriesOf(f, "BKMK")[2]) + 20); }, 0, 2, false},
    {"AnAnnotationTagWithAFlippedByte",
     [](std::string& f) { f[RecordAt(f, EntriesOf(f, "BKMK")[0])] ^= 0x20; }, 2, 2, false},
    {"AFlippedByteInTheBookNameItKeeps",
     [](std::string& f) {
         // The book's name, UTF-16, after the main record's 84 bytes and its length.
         f[RecordAt(f, EntriesOf(f, "BPAR")[0]) + 8 + 84 + 4] ^= 0x01;
     },
     3, 3, true},
    // References that lead nowhere read as absent: the annotation stays, without its text.
    {"ATextIdInTheListWithAFlippedByte",
     [](std::string& f) { f[EntriesOf(f, "TEXT")[1] + 7] ^= 0x40; }, 2, 3, false},
    {"AnAnnotationsTextReferenceWithAFlippedByte",
     [](std::string& f) { f[RecordAt(f, EntriesOf(f, "BKMK")[1]) + 8 + 28 + 3] ^= 0x40; }, 2, 3,
     false},
    // An annotation of no kind is no annotation: the two others stay.
    {"AnAnnotationKindWithAFlippedByte",
     [](std::string& f) { f[RecordAt(f, EntriesOf(f, "BKMK")[1]) + 8 + 3] ^= 0x01; }, 2, 2,
     false},
    // A version no reader writes: every annotation is still there to keep.
    {"AVersionWordWithAFlippedByte",
     [](std::string& f) { f[RecordAt(f, EntriesOf(f, "BPAR")[0]) + 8 + 3] ^= 0xFF; }, 3, 3,
     false},
};

class DamagedSideFile : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedSideFile, KeepsEveryWholeAnnotationAndSaysWhereTheCopyIs) {
    const Damage& damage = GetParam();
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/gpl3.prc", BookBytes());
    const std::string o = device.outside() + "/";
    // Three bookmarks on three pages.
    ASSERT_EQ(RunSteps(device, kBook,
                       "idle\nmenu 40079\nidle\nkey 0x22\nidle\nmenu 40079\nidle\nkey 0x22\n"
                       "idle\nmenu 40079\nidle\nmenu 40076\nidle\nlisttext " +
                           o + "before.txt\nquit\n")
                  .status,
              0);
    ASSERT_EQ(Rows(o + "before.txt"), 3);

    std::string side = device.ReadHost("storage/eBooks/gpl3.fvt");
    ASSERT_EQ(EntriesOf(side, "BKMK").size(), 3u);
    ASSERT_EQ(EntriesOf(side, "TEXT").size(), 3u);
    damage.apply(side);
    device.WriteHost("storage/eBooks/gpl3.fvt", side);

    const ProgramResult run = RunSteps(
        device, kBook,
        "idle\nmenu 40076\nidle\nlisttext " + o + "after.txt\nshelllog " + o + "log.txt\nquit\n");
    EXPECT_EQ(run.status, 0) << run.Describe();
    EXPECT_EQ(Rows(o + "after.txt"), damage.listed) << ReadFile(o + "after.txt");
    EXPECT_EQ(Bookmarks(device), damage.kept);

    // Told once, naming the book and where the damaged copy is.
    const std::string log = ReadFile(o + "log.txt");
    const std::string said = damage.namedOther ? "named another book" : "could not all be read";
    const std::size_t at = log.find(said);
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_EQ(log.find(said, at + 1), std::string::npos) << log;
    EXPECT_NE(log.find("\\storage\\eBooks\\gpl3.prc"), std::string::npos) << log;
    EXPECT_NE(log.find("\\storage\\eBooks\\gpl3.fvt.damaged"), std::string::npos) << log;
    EXPECT_EQ(device.ReadHost("storage/eBooks/gpl3.fvt.damaged"), side);
    // No second side file beside the first.
    EXPECT_FALSE(device.HostExists("storage/eBooks/gpl3.prc.fvt"));

    // The next start finds the annotations kept, and says nothing more.
    ASSERT_EQ(RunSteps(device, kBook,
                       "idle\nmenu 40076\nidle\nlisttext " + o + "again.txt\nshelllog " + o +
                           "again-log.txt\nquit\n")
                  .status,
              0);
    EXPECT_EQ(Rows(o + "again.txt"), damage.listed);
    EXPECT_EQ(Bookmarks(device), damage.kept);
    EXPECT_EQ(ReadFile(o + "again-log.txt").find(said), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Damages, DamagedSideFile, ::testing::ValuesIn(kDamages),
                         [](const ::testing::TestParamInfo<Damage>& info) {
                             return std::string(info.param.name);
                         });

// A side file of bookmarks whose middle one is damaged (its tag), on a device with the book.
void WriteBookWithDamagedSideFile(const TempDevice& device, int bookmarks) {
    device.WriteHost("storage/eBooks/gpl3.prc", BookBytes());
    Bytes side = SideFileWithBookmarks(u"gpl3.prc", bookmarks);
    side[SideFileRecordAt(side, 1 + static_cast<std::size_t>(bookmarks) / 2)] ^= 0x20;
    device.WriteHost("storage/eBooks/gpl3.fvt", std::string(side.begin(), side.end()));
}

// What a start shows of the book's annotations, and whether it says the side file could not
// all be read, naming the copy kept.
struct Told {
    int rows = -1;
    bool said = false;
};

Told StartAndList(const TempDevice& device, const std::string& name,
                  const std::vector<std::string>& env = {}) {
    const std::string o = device.outside() + "/" + name;
    const ProgramResult run = RunSteps(
        device, kBook,
        "idle\nmenu 40076\nidle\nlisttext " + o + "-list.txt\nshelllog " + o + "-log.txt\nquit\n",
        env);
    Told told;
    if (!env.empty()) {
        EXPECT_EQ(run.signal, SIGKILL) << run.Describe();
        return told;
    }
    EXPECT_EQ(run.status, 0) << run.Describe();
    told.rows = Rows(o + "-list.txt");
    const std::string log = ReadFile(o + "-log.txt");
    told.said = log.find("could not all be read") != std::string::npos &&
                log.find("\\storage\\eBooks\\gpl3.fvt.damaged") != std::string::npos;
    return told;
}

// A salvage killed at each of its steps: the next start keeps every whole annotation, keeps
// the damaged file aside, and says so; the start after says nothing more.
class KilledSalvage : public ::testing::TestWithParam<const char*> {};

TEST_P(KilledSalvage, TheNextStartKeepsTheAnnotationsAndSaysSo) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteBookWithDamagedSideFile(device, 5);
    const std::string damaged = device.ReadHost("storage/eBooks/gpl3.fvt");
    StartAndList(device, "killed", {std::string("FOLIVANT_TEST_KILL_AT=") + GetParam()});

    const Told next = StartAndList(device, "next");
    EXPECT_EQ(next.rows, 4);
    EXPECT_TRUE(next.said);
    EXPECT_EQ(Bookmarks(device), 4);
    EXPECT_EQ(device.ReadHost("storage/eBooks/gpl3.fvt.damaged"), damaged);
    EXPECT_FALSE(device.HostExists("storage/eBooks/gpl3.fvt.damaged2"));
    EXPECT_FALSE(device.HostExists("storage/eBooks/gpl3.fvt.salvaged"));

    const Told again = StartAndList(device, "again");
    EXPECT_EQ(again.rows, 4);
    EXPECT_FALSE(again.said);
}

INSTANTIATE_TEST_SUITE_P(Steps, KilledSalvage,
                         ::testing::Values("salvage-written", "salvage-set-aside"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });

// What an earlier salvage cut short left: the damaged file aside and no side file. The start
// salvages it again and says so.
TEST(SalvageCutShort, OnlyTheDamagedCopyLeftIsSalvagedAgainAndTold) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteBookWithDamagedSideFile(device, 5);
    const std::string damaged = device.ReadHost("storage/eBooks/gpl3.fvt");
    std::filesystem::rename(device.Host("storage/eBooks/gpl3.fvt"),
                            device.Host("storage/eBooks/gpl3.fvt.damaged"));

    const Told next = StartAndList(device, "next");
    EXPECT_EQ(next.rows, 4);
    EXPECT_TRUE(next.said);
    EXPECT_EQ(device.ReadHost("storage/eBooks/gpl3.fvt.damaged"), damaged);
    EXPECT_TRUE(device.HostExists("storage/eBooks/gpl3.fvt"));
    EXPECT_FALSE(StartAndList(device, "again").said);
}

// A large side file damaged in its middle: every other annotation is kept, in order.
TEST(LargeDamagedSideFile, KeepsEveryOtherAnnotationInOrder) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    constexpr int kMarks = 12000;
    WriteBookWithDamagedSideFile(device, kMarks);
    const Told told = StartAndList(device, "large");
    EXPECT_TRUE(told.said);
    EXPECT_EQ(told.rows, kMarks - 1);
    AnnotationFile file;
    ASSERT_EQ(file.OpenExisting("\\storage\\eBooks\\gpl3.prc", 1), 0);
    ASSERT_EQ(file.BookmarkCount(), static_cast<std::uint32_t>(kMarks - 1));
    std::uint32_t previous = 0;
    int out = 0;
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(file.RecordCount()); ++i) {
        std::uint32_t start = 0, end = 0, a = 0, b = 0, style = 0;
        if (file.GetBookmarkRange(i, &start, &end, &a, &b, &style) != 0) continue;
        if (start < previous) ++out;
        previous = start;
    }
    EXPECT_EQ(out, 0);
}

}  // namespace
}  // namespace fvt::test
