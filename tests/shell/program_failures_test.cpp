// The program facing devices it cannot use and books it cannot read: it never crashes, says on
// standard error what failed and about which file, and ends with status 1.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/bookfiles/book_builder.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

struct Outcome {
    int status = -1;
    std::string err;
    std::vector<std::string> Lines() const {
        std::vector<std::string> out;
        std::istringstream in(err);
        for (std::string l; std::getline(in, l);) out.push_back(l);
        return out;
    }
};

// Runs the program headless with FOLIVANT_DEVICE=`root`, standard error also kept in
// <scratch>/stderr.txt; as an unprivileged user when asked and the test runs as root (status
// kCannotDrop when it cannot).
Outcome RunReader(const std::string& root, const std::string& scratch,
                  const std::vector<std::string>& args, const std::string& driver = {},
                  bool unprivileged = false) {
    std::filesystem::create_directories(scratch);
    LaunchOptions options = ReaderOn(root, args, driver);
    options.errFile = scratch + "/stderr.txt";
    options.unprivileged = unprivileged;
    const ProgramResult result = RunProgram(options);
    return Outcome{result.status, result.err};
}

std::string WriteFile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

std::string BookBytes(BookBuilder book = {}) {
    if (book.text.empty()) {
        const std::string text = SampleText(6000);
        book.text.assign(text.begin(), text.end());
    }
    const Bytes bytes = book.Build();
    return std::string(bytes.begin(), bytes.end());
}

bool Contains(const std::string& s, const std::string& part) {
    return s.find(part) != std::string::npos;
}

TEST(UnusableDevice, AFolderThatCannotBeMadeStopsWithOneLineAndStatusOne) {
    TempDevice scratch;
    ASSERT_TRUE(scratch.ok());
    // A file stands where a folder of the device's path must be.
    const std::string blocker = WriteFile(scratch.outside() + "/not-a-folder", "x");
    const std::string root = blocker + "/device";
    const Outcome run = RunReader(root, scratch.outside() + "/run", {});
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.Lines().size(), 1u) << run.err;
    EXPECT_TRUE(Contains(run.err, "folivant: cannot use the device folder " + root)) << run.err;
    EXPECT_TRUE(Contains(run.err, "Not a directory")) << run.err;
}

TEST(UnusableDevice, ADeviceTheUserCannotWriteStopsBeforeTouchingIt) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    // Readable by everyone, writable by its owner only.
    chmod(std::filesystem::path(device.root()).parent_path().c_str(), 0755);
    const Outcome run = RunReader(device.root(), device.outside(), {}, {}, true);
    if (run.status == kCannotDrop) GTEST_SKIP() << "cannot run as another user here";
    if (geteuid() != 0) GTEST_SKIP() << "the device is this user's own";
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.Lines().size(), 1u) << run.err;
    EXPECT_TRUE(Contains(run.err, "cannot use the device folder " + device.root())) << run.err;
    EXPECT_TRUE(Contains(run.err, "Permission denied")) << run.err;
    EXPECT_FALSE(device.HostExists("Windows/FVT_global_configuration.fvt"));
}

// The books folder refuses writes: the bookmarks stay on screen, the failed save is told once,
// naming the side file, and the run ends with status 1.
TEST(UnusableDevice, ASaveTheDeviceRefusesIsToldOnceAndFailsTheRun) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/Tide Tables.prc", BookBytes());
    chmod(std::filesystem::path(device.root()).parent_path().c_str(), 0755);
    for (const char* folder : {"", "Windows", "Temp", "My Documents", "storage"})
        chmod(device.Host(folder).c_str(), 0777);
    const std::string shot = device.outside() + "/marked.png";
    const std::string script = WriteFile(
        device.outside() + "/steps.txt",
        "idle\nmenu 40079\nidle\nkey 0x22\nidle\nmenu 40079\nidle\nscreenshot " + shot +
            "\nquit\n");
    chmod(device.outside().c_str(), 0777);
    const Outcome run = RunReader(device.root(), device.outside() + "/run",
                                  {"\\storage\\eBooks\\Tide Tables.prc"}, script, true);
    if (run.status == kCannotDrop) GTEST_SKIP() << "cannot run as another user here";
    if (geteuid() != 0) GTEST_SKIP() << "the books folder is this user's own";
    EXPECT_EQ(run.status, 1) << run.err;
    int told = 0;
    for (const std::string& line : run.Lines()) {
        if (!Contains(line, "Could not save")) continue;
        ++told;
        EXPECT_TRUE(Contains(line, "folivant: Error: Could not save \\storage\\eBooks\\Tide Tables.fvt"))
            << line;
    }
    EXPECT_EQ(told, 1) << run.err;
    EXPECT_FALSE(device.HostExists("storage/eBooks/Tide Tables.fvt"));
    // The screen is what it is where saving works: the page turned after the message, and
    // the bookmark made there is shown from memory.
    TempDevice writable;
    ASSERT_TRUE(writable.ok());
    writable.WriteHost("storage/eBooks/Tide Tables.prc", BookBytes());
    const std::string expected = writable.outside() + "/marked.png";
    const std::string same = WriteFile(
        writable.outside() + "/steps.txt",
        "idle\nmenu 40079\nidle\nkey 0x22\nidle\nmenu 40079\nidle\nscreenshot " + expected +
            "\nquit\n");
    const Outcome good = RunReader(writable.root(), writable.outside() + "/run",
                                   {"\\storage\\eBooks\\Tide Tables.prc"}, same);
    EXPECT_EQ(good.status, 0) << good.err;
    std::ifstream a(shot, std::ios::binary), b(expected, std::ios::binary);
    const std::string shown(std::istreambuf_iterator<char>(a), {});
    const std::string wanted(std::istreambuf_iterator<char>(b), {});
    EXPECT_FALSE(shown.empty());
    EXPECT_TRUE(shown == wanted) << "the read-only run's screen differs";
}

TEST(BooksThatCannotBeOpened, ANamedBookThatFailsSaysWhichAndEndsWithStatusOne) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    const std::string quit = WriteFile(device.outside() + "/quit.txt", "idle\nquit\n");
    const std::string whole = BookBytes();
    // Cut inside its text records.
    const std::string cut = WriteFile(device.outside() + "/books/Cut Short.prc",
                                      whole.substr(0, whole.size() / 3));
    // Not a book at all, with a book's name.
    const std::string junk =
        WriteFile(device.outside() + "/books/Shopping.prc", "eggs, milk, bread\n");
    BookBuilder newer;
    newer.minimumVersion = 2;
    const std::string later = WriteFile(device.outside() + "/books/Next Year.prc", BookBytes(newer));
    // Random damage where the compression scheme is: not a newer book, a damaged one.
    std::string damaged = whole;
    const size_t record0 = static_cast<unsigned char>(damaged[78]) << 24 |
                           static_cast<unsigned char>(damaged[79]) << 16 |
                           static_cast<unsigned char>(damaged[80]) << 8 |
                           static_cast<unsigned char>(damaged[81]);
    damaged[record0] = '\x9C';
    damaged[record0 + 1] = '\x41';
    const std::string broken = WriteFile(device.outside() + "/books/Broken.prc", damaged);
    // A kind of file the reader has no use for, in a folder with a '%' in its name.
    const std::string unknown =
        WriteFile(device.outside() + "/books/Field Notes 100%.xyz", "nothing to read");

    struct Case {
        std::string host, device, says;
    } cases[] = {
        {cut, "\\storage\\eBooks\\Cut Short.prc", "Error: "},
        {junk, "\\storage\\eBooks\\Shopping.prc", "Error: "},
        {later, "\\storage\\eBooks\\Next Year.prc", "needs a newer version"},
        {broken, "\\storage\\eBooks\\Broken.prc", "Error: File corrupted"},
        {unknown, "\\storage\\eBooks\\Field Notes 100%.xyz", "Error: Could not open: "},
    };
    for (const Case& c : cases) {
        const Outcome run = RunReader(device.root(), device.outside() + "/run", {c.host}, quit);
        EXPECT_EQ(run.status, 1) << c.host << "\n" << run.err;
        EXPECT_TRUE(Contains(run.err, "folivant: Error: ")) << run.err;
        EXPECT_TRUE(Contains(run.err, c.says)) << run.err;
        // Named whole, unescaped.
        EXPECT_TRUE(Contains(run.err, c.device)) << run.err;
        EXPECT_FALSE(Contains(run.err, "%5C")) << run.err;
    }
    // The newer book's message keeps its whole address.
    const Outcome run = RunReader(device.root(), device.outside() + "/run", {later}, quit);
    EXPECT_TRUE(Contains(run.err, "http://www.folivant.example/en/reader.")) << run.err;
    EXPECT_FALSE(Contains(run.err, "File corrupted")) << run.err;
}

TEST(BooksThatCannotBeOpened, AGoodBookRunsCleanWithStatusZero) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    const std::string quit = WriteFile(device.outside() + "/quit.txt", "idle\nkey 0x22\nidle\nquit\n");
    const std::string good = WriteFile(device.outside() + "/books/Fine.prc", BookBytes());
    const Outcome run = RunReader(device.root(), device.outside() + "/run", {good}, quit);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(device.HostExists("storage/eBooks/Fine.fvt"));
}

// Books the library cannot read are listed by their file names, marked as damaged, beside the
// good ones; opening one says what is wrong with it.
TEST(DamagedBooks, TheLibraryListsThemByNameAndOpeningOneSaysWhy) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    BookBuilder good;
    good.fullName = "Zebra Crossings";
    device.WriteHost("storage/eBooks/zebra.prc", BookBytes(good));
    device.WriteHost("storage/eBooks/Almanac.prc", "eggs, milk, bread\n");
    device.WriteHost("storage/eBooks/empty.prc", "");
    device.WriteHost("storage/eBooks/empty.pdb", "");
    device.WriteHost("storage/eBooks/noise.folv", std::string(100, '\x9C'));
    // Rows are sorted by title: "Almanac.prc (damaged)" is the first, and selected.
    const std::string script =
        WriteFile(device.outside() + "/steps.txt", "idle\nkey 0x0d\nidle\nquit\n");
    const Outcome run = RunReader(device.root(), device.outside() + "/run", {}, script);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Contains(run.err, "folivant: Error: File corrupted \\storage\\eBooks\\Almanac.prc"))
        << run.err;
    // The catalogue the library saved holds every file, each by its own name.
    const std::string cache = device.ReadHost("Windows/FolivantCache.fvt");
    for (const char* title : {"Almanac.prc (damaged)", "empty.prc (damaged)",
                              "empty.pdb (damaged)", "noise.folv (damaged)", "Zebra Crossings"})
        EXPECT_TRUE(Contains(cache, title)) << title;
    // Nothing was written beside the damaged files.
    EXPECT_FALSE(device.HostExists("storage/eBooks/Almanac.fvt"));
    EXPECT_FALSE(device.HostExists("storage/eBooks/noise.fvt"));
}

// A link whose unquoted attribute holds '=' is drawn and followed: the reader ends on the page it
// leads to, and keeps it as the last book.
TEST(HostileMarkup, ALinkWithAnEqualsSignInAnUnquotedValueIsFollowed) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/second.htm",
                     "<html><body><p>The second page</p></body></html>");
    const std::string first = WriteFile(
        device.outside() + "/books/first.htm",
        "<html><body><p><a href=second.htm title=go=now>Follow this link to the second "
        "page</a></p><p>First page text.</p></body></html>");
    // The link's first line, below the caption.
    const std::string script =
        WriteFile(device.outside() + "/steps.txt", "idle\ntap 60 46\nidle\nquit\n");
    const Outcome run = RunReader(device.root(), device.outside() + "/run", {first}, script);
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string settings = device.ReadHost("Windows/FVT_global_configuration.fvt");
    const std::u16string wanted = u"eBooks%5Csecond.htm";
    const std::string bytes(reinterpret_cast<const char*>(wanted.data()), wanted.size() * 2);
    EXPECT_NE(settings.find(bytes), std::string::npos);
}

}  // namespace
}  // namespace fvt::test

namespace fvt::test {
namespace {

// The configuration file cannot be used: a folder stands at its name, or (as another user) it
// cannot be read. One line names it and says why, the run ends with status 1, and the file or
// folder is left as it was.
TEST(UnusableConfiguration, AFolderAtItsNameStopsWithOneLineAndStatusOne) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    std::filesystem::create_directories(device.Host("Windows/FVT_global_configuration.fvt"));
    const std::string script = WriteFile(device.outside() + "/steps.txt", "idle\nquit\n");
    const Outcome run = RunReader(device.root(), device.outside() + "/run", {}, script);
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.Lines().size(), 1u) << run.err;
    EXPECT_EQ(run.Lines()[0],
              "folivant: cannot use the configuration file "
              "\\Windows\\FVT_global_configuration.fvt: a folder stands at its name");
    EXPECT_TRUE(std::filesystem::is_directory(device.Host("Windows/FVT_global_configuration.fvt")));
}

TEST(UnusableConfiguration, AFileTheUserCannotReadStopsWithOneLineAndStatusOne) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    const std::string quit = WriteFile(device.outside() + "/steps.txt", "idle\nquit\n");
    ASSERT_EQ(RunReader(device.root(), device.outside() + "/first", {}, quit).status, 0);
    const std::string config = device.Host("Windows/FVT_global_configuration.fvt");
    const std::string before = device.ReadHost("Windows/FVT_global_configuration.fvt");
    chmod(std::filesystem::path(device.root()).parent_path().c_str(), 0755);
    for (const char* folder : {"", "Windows", "Temp", "My Documents", "storage", "storage/eBooks"})
        chmod(device.Host(folder).c_str(), 0777);
    for (const auto& e : std::filesystem::recursive_directory_iterator(device.root()))
        if (e.is_regular_file()) chmod(e.path().c_str(), 0666);
    chmod(config.c_str(), 0);
    chmod(device.outside().c_str(), 0777);
    const Outcome run = RunReader(device.root(), device.outside() + "/run", {}, quit, true);
    if (run.status == kCannotDrop) GTEST_SKIP() << "cannot run as another user here";
    if (geteuid() != 0) GTEST_SKIP() << "the file is this user's own";
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.Lines().size(), 1u) << run.err;
    EXPECT_TRUE(Contains(run.err, "folivant: cannot use the configuration file "
                                  "\\Windows\\FVT_global_configuration.fvt: "))
        << run.err;
    chmod(config.c_str(), 0644);
    EXPECT_EQ(device.ReadHost("Windows/FVT_global_configuration.fvt"), before);
    EXPECT_FALSE(device.HostExists("Windows/FVT_global_configuration.fvt.damaged"));
}

// The books folder cannot be read (as another user): the library says which folder, rather
// than showing an empty list with no word.
TEST(UnreadableBooksFolder, TheLibrarySaysWhichFolderItCannotRead) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/gpl3.prc", BookBytes());
    const std::string quit = WriteFile(device.outside() + "/steps.txt", "idle\nquit\n");
    ASSERT_EQ(RunReader(device.root(), device.outside() + "/first", {}, quit).status, 0);
    chmod(std::filesystem::path(device.root()).parent_path().c_str(), 0755);
    for (const char* folder : {"", "Windows", "Temp", "My Documents", "storage"})
        chmod(device.Host(folder).c_str(), 0777);
    for (const auto& e : std::filesystem::recursive_directory_iterator(device.root()))
        if (e.is_regular_file()) chmod(e.path().c_str(), 0666);
    chmod(device.Host("storage/eBooks").c_str(), 0333);  // no listing
    chmod(device.outside().c_str(), 0777);
    const Outcome run = RunReader(device.root(), device.outside() + "/run", {}, quit, true);
    chmod(device.Host("storage/eBooks").c_str(), 0755);
    if (run.status == kCannotDrop) GTEST_SKIP() << "cannot run as another user here";
    if (geteuid() != 0) GTEST_SKIP() << "the folder is this user's own";
    int told = 0;
    for (const std::string& line : run.Lines())
        told += Contains(line, "The folder \\storage\\eBooks cannot be read: the books in it are "
                               "not listed.");
    EXPECT_EQ(told, 1) << run.err;
}

// A configuration file with one flipped byte in its version word reads as a newer reader's:
// the reader cannot use it, keeps it aside as it keeps a damaged one, says so, and runs with
// the defaults (the library shows) rather than stopping until the file is deleted by hand.
TEST(UnusableConfiguration, AVersionItCannotUseIsKeptAsideAndTheDefaultsUsed) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/gpl3.prc", BookBytes());
    const std::string quit = WriteFile(device.outside() + "/steps.txt", "idle\nquit\n");
    ASSERT_EQ(RunReader(device.root(), device.outside() + "/first", {}, quit).status, 0);
    std::string config = device.ReadHost("Windows/FVT_global_configuration.fvt");
    const std::size_t main = static_cast<unsigned char>(config[78]) << 24 |
                             static_cast<unsigned char>(config[79]) << 16 |
                             static_cast<unsigned char>(config[80]) << 8 |
                             static_cast<unsigned char>(config[81]);
    config[main + 8 + 40] ^= 0x10;  // the version word's high byte
    device.WriteHost("Windows/FVT_global_configuration.fvt", config);

    const std::string list = device.outside() + "/list.txt";
    const std::string script =
        WriteFile(device.outside() + "/list-steps.txt", "idle\nlisttext " + list + "\nquit\n");
    const Outcome run = RunReader(device.root(), device.outside() + "/run", {}, script);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Contains(run.err, "The settings file could not be read. It has been kept aside"))
        << run.err;
    EXPECT_FALSE(Contains(run.err, "newer version")) << run.err;
    EXPECT_EQ(device.ReadHost("Windows/FVT_global_configuration.fvt.damaged"), config);
    std::ifstream in(list);
    const std::string rows((std::istreambuf_iterator<char>(in)), {});
    EXPECT_FALSE(rows.empty());
}

// The side file cannot be opened: a folder stands at its name, or (as another user) it cannot
// be read. The bookmarks show for the run, the failed save is told once naming the side file,
// the run ends with status 1, and whatever held the name is left as it was.
TEST(UnusableSideFile, AFolderAtItsNameIsToldAsAFailedSave) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/gpl3.prc", BookBytes());
    std::filesystem::create_directories(device.Host("storage/eBooks/gpl3.fvt"));
    const std::string marked = device.outside() + "/marked.txt";
    const std::string script = WriteFile(
        device.outside() + "/steps.txt",
        "idle\nkey 0x22\nidle\nmenu 40079\nidle\nmenu 40076\nidle\nlisttext " + marked +
            "\nquit\n");
    const Outcome run = RunReader(device.root(), device.outside() + "/run",
                                  {"\\storage\\eBooks\\gpl3.prc"}, script);
    EXPECT_EQ(run.status, 1) << run.err;
    int told = 0;
    for (const std::string& line : run.Lines()) {
        if (!Contains(line, "Could not save")) continue;
        ++told;
        EXPECT_TRUE(Contains(line, "folivant: Error: Could not save \\storage\\eBooks\\gpl3.fvt"))
            << line;
    }
    EXPECT_EQ(told, 1) << run.err;
    // The bookmark is in the annotations list, kept in memory.
    std::ifstream in(marked);
    const std::string rows((std::istreambuf_iterator<char>(in)), {});
    EXPECT_FALSE(rows.empty());
    EXPECT_TRUE(std::filesystem::is_directory(device.Host("storage/eBooks/gpl3.fvt")));
    EXPECT_TRUE(std::filesystem::is_empty(device.Host("storage/eBooks/gpl3.fvt")));
}

TEST(UnusableSideFile, AFileTheUserCannotReadIsToldAsAFailedSave) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/gpl3.prc", BookBytes());
    const std::string bookmark =
        WriteFile(device.outside() + "/mark.txt", "idle\nkey 0x22\nidle\nmenu 40079\nidle\nquit\n");
    ASSERT_EQ(RunReader(device.root(), device.outside() + "/first",
                        {"\\storage\\eBooks\\gpl3.prc"}, bookmark)
                  .status,
              0);
    const std::string side = device.Host("storage/eBooks/gpl3.fvt");
    const std::string before = device.ReadHost("storage/eBooks/gpl3.fvt");
    chmod(std::filesystem::path(device.root()).parent_path().c_str(), 0755);
    for (const char* folder : {"", "Windows", "Temp", "My Documents", "storage", "storage/eBooks"})
        chmod(device.Host(folder).c_str(), 0777);
    for (const auto& e : std::filesystem::recursive_directory_iterator(device.root()))
        if (e.is_regular_file()) chmod(e.path().c_str(), 0666);
    chmod(side.c_str(), 0);
    chmod(device.outside().c_str(), 0777);
    const Outcome run = RunReader(device.root(), device.outside() + "/run",
                                  {"\\storage\\eBooks\\gpl3.prc"}, bookmark, true);
    if (run.status == kCannotDrop) GTEST_SKIP() << "cannot run as another user here";
    if (geteuid() != 0) GTEST_SKIP() << "the file is this user's own";
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(Contains(run.err, "folivant: Error: Could not save \\storage\\eBooks\\gpl3.fvt"))
        << run.err;
    chmod(side.c_str(), 0644);
    EXPECT_EQ(device.ReadHost("storage/eBooks/gpl3.fvt"), before);
}

}  // namespace
}  // namespace fvt::test

namespace fvt::test {
namespace {

struct ConfigDamage {
    const char* name;
    std::uint32_t offset;  // in the settings record
    std::uint32_t value;   // a word, or a byte when `byte`
    bool byte;
};

// Values no reader writes, one field each: the run marker, the last book's text, settings words
// and bytes that hide books or the last book.
const ConfigDamage kConfigDamages[] = {
    {"RunMarker", 300, 5, false},
    {"LastBookTextReference", 252, 0x00FFFFF0, false},
    {"FileTypes", 264, 0x0100000F, false},
    {"LibraryViewKind", 296, 12u << 16, false},
    {"Orientation", 80, 7, false},
    {"TextColour", 20, 0x12345678, false},
    {"Margin", 8, 0x7FFFFFFF, false},
    {"LibraryAtStart", 31, 9, true},
};

void PrintTo(const ConfigDamage& d, std::ostream* os) {
    *os << d.name;
}

class DamagedConfiguration : public ::testing::TestWithParam<ConfigDamage> {};

// The configuration after an orderly run that read a book holds one value out of its range:
// the file is kept aside with the settings message and the defaults are used; the library
// lists the book. Nothing is hidden in silence.
TEST_P(DamagedConfiguration, IsKeptAsideAndToldAndTheDefaultsUsed) {
    const ConfigDamage& damage = GetParam();
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/gpl3.prc", BookBytes());
    const std::string quit = WriteFile(device.outside() + "/steps.txt", "idle\nquit\n");
    ASSERT_EQ(RunReader(device.root(), device.outside() + "/first", {"\\storage\\eBooks\\gpl3.prc"},
                        quit)
                  .status,
              0);
    std::string config = device.ReadHost("Windows/FVT_global_configuration.fvt");
    const std::size_t main = static_cast<unsigned char>(config[78]) << 24 |
                             static_cast<unsigned char>(config[79]) << 16 |
                             static_cast<unsigned char>(config[80]) << 8 |
                             static_cast<unsigned char>(config[81]);
    const std::size_t at = main + 8 + damage.offset;
    if (damage.byte) {
        config[at] = static_cast<char>(damage.value);
    } else {
        for (int k = 0; k < 4; ++k) config[at + k] = static_cast<char>(damage.value >> (24 - 8 * k));
    }
    device.WriteHost("Windows/FVT_global_configuration.fvt", config);

    const std::string list = device.outside() + "/list.txt";
    const std::string script =
        WriteFile(device.outside() + "/list-steps.txt", "idle\nlisttext " + list + "\nquit\n");
    const Outcome run = RunReader(device.root(), device.outside() + "/run", {}, script);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Contains(run.err, "The settings file could not be read. It has been kept aside"))
        << run.err;
    EXPECT_EQ(device.ReadHost("Windows/FVT_global_configuration.fvt.damaged"), config);
    std::ifstream in(list);
    const std::string rows((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(rows.find("Fixture Book"), std::string::npos) << rows;

    // The next start reads the new file and says nothing.
    const Outcome again = RunReader(device.root(), device.outside() + "/again", {}, quit);
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_FALSE(Contains(again.err, "settings file")) << again.err;
}

INSTANTIATE_TEST_SUITE_P(Fields, DamagedConfiguration, ::testing::ValuesIn(kConfigDamages),
                         [](const ::testing::TestParamInfo<ConfigDamage>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace fvt::test

namespace fvt::test {
namespace {

// A plain file where the storage folder or the books folder should be: the library says which
// one it cannot read, rather than showing an empty list with no word.
TEST(BooksFolderNotAFolder, TheLibrarySaysWhichFolderItCannotRead) {
    for (const char* name : {"storage", "storage/eBooks"}) {
        TempDevice device;
        ASSERT_TRUE(device.ok());
        const std::string quit = WriteFile(device.outside() + "/steps.txt", "idle\nquit\n");
        ASSERT_EQ(RunReader(device.root(), device.outside() + "/first", {}, quit).status, 0);
        std::filesystem::remove_all(device.Host(name));
        device.WriteHost(name, "not a folder");
        const Outcome run = RunReader(device.root(), device.outside() + "/run", {}, quit);
        EXPECT_EQ(run.status, 0) << run.err;
        std::string folder = std::string("\\") + name;
        std::replace(folder.begin(), folder.end(), '/', '\\');
        int told = 0;
        for (const std::string& line : run.Lines())
            told += Contains(line, "The folder " + folder +
                                       " cannot be read: the books in it are not listed.");
        EXPECT_EQ(told, 1) << name << ": " << run.err;
        EXPECT_EQ(device.ReadHost(name), "not a folder");
    }
}

// The storage folder cannot be read (as another user): the library names it.
TEST(UnreadableStorageFolder, TheLibrarySaysWhichFolderItCannotRead) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/gpl3.prc", BookBytes());
    const std::string quit = WriteFile(device.outside() + "/steps.txt", "idle\nquit\n");
    ASSERT_EQ(RunReader(device.root(), device.outside() + "/first", {}, quit).status, 0);
    chmod(std::filesystem::path(device.root()).parent_path().c_str(), 0755);
    for (const char* folder : {"", "Windows", "Temp", "My Documents", "storage/eBooks"})
        chmod(device.Host(folder).c_str(), 0777);
    for (const auto& e : std::filesystem::recursive_directory_iterator(device.root()))
        if (e.is_regular_file()) chmod(e.path().c_str(), 0666);
    chmod(device.Host("storage").c_str(), 0);
    chmod(device.outside().c_str(), 0777);
    const Outcome run = RunReader(device.root(), device.outside() + "/run", {}, quit, true);
    chmod(device.Host("storage").c_str(), 0755);
    if (run.status == kCannotDrop) GTEST_SKIP() << "cannot run as another user here";
    if (geteuid() != 0) GTEST_SKIP() << "the folder is this user's own";
    int told = 0;
    for (const std::string& line : run.Lines())
        told += Contains(line, "The folder \\storage cannot be read: the books in it are "
                               "not listed.");
    EXPECT_EQ(told, 1) << run.err;
}

}  // namespace
}  // namespace fvt::test

namespace fvt::test {
namespace {

// A full disk refuses the side file and the settings alike: the run names each file it could
// not save, once, and ends with status 1.
TEST(FullDisk, EveryFileNotSavedIsNamedOnce) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/gpl3.prc", BookBytes());
    const std::vector<std::string> book = {"\\storage\\eBooks\\gpl3.prc"};
    const std::string quit = WriteFile(device.outside() + "/steps.txt", "idle\nquit\n");
    ASSERT_EQ(RunReader(device.root(), device.outside() + "/first", book, quit).status, 0);

    const ProgramResult run =
        RunSteps(device, book,
                 "idle\nkey 0x22\nidle\nmenu 40079\nidle\nkey 0x22\nidle\nmenu 40079\nidle\nquit\n",
                 {"FOLIVANT_TEST_DISK_FREE=0"});
    EXPECT_EQ(run.status, 1) << run.Describe();
    for (const char* file : {"\\storage\\eBooks\\gpl3.fvt", "\\Windows\\FVT_global_configuration.fvt"}) {
        const std::string said = std::string("Could not save ") + file + ".";
        const std::size_t at = run.err.find(said);
        EXPECT_NE(at, std::string::npos) << run.err;
        EXPECT_EQ(run.err.find(said, at + 1), std::string::npos) << run.err;
    }
}

}  // namespace
}  // namespace fvt::test
