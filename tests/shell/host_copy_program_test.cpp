// Books given by a host path: the copy into the device replaces the book there only when it is
// whole, and an HTML page brings the pictures and pages beside it. The host folder is only read.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "program_runs.h"
#include "support/bookfiles/book_builder.h"
#include "support/media/image/picture_fixtures.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

namespace fs = std::filesystem;

std::string Book(std::size_t textBytes, std::uint32_t seed) {
    BookBuilder book;
    const std::string text = SampleText(textBytes, seed);
    book.text.assign(text.begin(), text.end());
    book.fullName = "Copied";
    const Bytes bytes = book.Build();
    return std::string(bytes.begin(), bytes.end());
}

// Every file under `folder` with its bytes.
std::map<std::string, std::string> Files(const std::string& folder) {
    std::map<std::string, std::string> out;
    for (auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file())
            out[fs::relative(e.path(), folder).string()] = ReadFile(e.path().string());
    return out;
}

std::vector<std::string> Names(const std::map<std::string, std::string>& files) {
    std::vector<std::string> out;
    for (const auto& [name, bytes] : files) out.push_back(name);
    return out;
}

// The book on the device was read and bookmarked; a larger book of the same name does not fit
// on the disk. The run says so and fails, and the device keeps the old book and its side file
// byte for byte, with no partial or temporary file beside them.
TEST(CopyIntoDevice, ACopyThatDoesNotFitLeavesTheBookAndItsSideFileAsTheyWere) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteOutside("gpl3.prc", Book(6000, 1));
    ASSERT_EQ(RunSteps(device, {device.OutsidePath("gpl3.prc")},
                       "idle\nkey 0x22\nidle\nmenu 40079\nidle\nquit\n")
                  .status,
              0);
    const auto before = Files(device.Host("storage/eBooks"));
    ASSERT_EQ(Names(before), (std::vector<std::string>{"gpl3.fvt", "gpl3.prc"}));

    device.WriteOutside("gpl3.prc", Book(60000, 2));
    const ProgramResult run = RunSteps(device, {device.OutsidePath("gpl3.prc")}, "idle\nquit\n",
                                       {"FOLIVANT_TEST_DISK_FREE=4096"});
    EXPECT_EQ(run.status, 1) << run.Describe();
    EXPECT_NE(run.err.find("folivant: cannot copy " + device.OutsidePath("gpl3.prc") +
                           " into the device"),
              std::string::npos)
        << run.err;
    EXPECT_TRUE(Files(device.Host("storage/eBooks")) == before)
        << "the books folder changed; it holds now: " << ::testing::PrintToString(Names(
               Files(device.Host("storage/eBooks"))));

    // With room enough the new book replaces the old one.
    ASSERT_EQ(RunSteps(device, {device.OutsidePath("gpl3.prc")}, "idle\nquit\n").status, 0);
    EXPECT_EQ(device.ReadHost("storage/eBooks/gpl3.prc"), Book(60000, 2));
}

TEST(CopyIntoDevice, ANewBookThatDoesNotFitLeavesNothingBehind) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    ASSERT_EQ(RunSteps(device, {}, "idle\nquit\n").status, 0);
    device.WriteOutside("big.prc", Book(60000, 3));
    const ProgramResult run = RunSteps(device, {device.OutsidePath("big.prc")}, "idle\nquit\n",
                                       {"FOLIVANT_TEST_DISK_FREE=4096"});
    EXPECT_EQ(run.status, 1) << run.Describe();
    EXPECT_TRUE(Files(device.Host("storage/eBooks")).empty())
        << ::testing::PrintToString(Names(Files(device.Host("storage/eBooks"))));
}

std::string Picture(int width, int height) {
    BmpSpec bmp;
    bmp.width = width;
    bmp.height = height;
    bmp.bits = 8;
    bmp.palette = {{0, 0, 0}, {255, 255, 255}};
    bmp.pixels.assign(static_cast<std::size_t>(width * height), 0);
    const std::vector<std::uint8_t> bytes = WriteBmp(bmp);
    return std::string(bytes.begin(), bytes.end());
}

// An HTML page opened from a host folder shows the picture in the folder beside it and follows
// its link to the page beside it; the host folder is left exactly as it was.
TEST(CopyIntoDevice, AnHtmlPageBringsThePicturesAndPagesItLinksTo) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    const std::string host = device.outside() + "/docs/manual";
    fs::create_directories(host + "/pics");
    fs::create_directories(device.outside() + "/docs/shared");
    auto write = [](const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    };
    write(host + "/Introduction.html",
          "<html><body><p><a href=\"next.html\">Next page</a></p>"
          "<p><img src=\"pics/dot.bmp\"></p><p><img src=\"../shared/logo.bmp\"></p>"
          "</body></html>");
    write(host + "/pics/dot.bmp", Picture(12, 8));
    write(device.outside() + "/docs/shared/logo.bmp", Picture(20, 6));
    write(host + "/next.html", "<html><body><p>The second page.</p></body></html>");
    const auto hostBefore = Files(device.outside() + "/docs");

    const std::string first = device.outside() + "/first.txt";
    const std::string second = device.outside() + "/second.txt";
    // The link is the page's first line: a tap there follows it.
    const ProgramResult run =
        RunSteps(device, {host + "/Introduction.html"},
                 "idle\npagetext " + first + "\ntap 30 44\nidle\npagetext " + second + "\nquit\n");
    ASSERT_EQ(run.status, 0) << run.Describe();
    const std::string shown = Joined(ReadLines(first));
    EXPECT_NE(shown.find("[12x8]"), std::string::npos) << shown;
    EXPECT_NE(Joined(ReadLines(second)).find("The second page."), std::string::npos)
        << Joined(ReadLines(second));
    EXPECT_TRUE(device.HostExists("storage/eBooks/pics/dot.bmp"));
    // The reader shows no picture from above the page's folder: none is copied there.
    EXPECT_FALSE(device.HostExists("storage/shared"));
    EXPECT_TRUE(Files(device.outside() + "/docs") == hostBefore) << "the host folder changed";
}

// A page of a few megabytes, with bytes of every value in its text and a picture linked only
// after its first megabyte: the copy on the device is the page byte for byte, and the picture
// linked near its end comes with it.
TEST(CopyIntoDevice, ALargePageIsCopiedWholeWithTheLinksNearItsEnd) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    const std::string host = device.outside() + "/large";
    fs::create_directories(host + "/pics");
    std::string page = "<html><body>";
    for (int p = 0; page.size() < 2600000; ++p) {
        page += "<p>Paragraph " + std::to_string(p) + " ";
        for (int b = 1; b < 256; ++b)
            if (b != '<' && b != '&') page += static_cast<char>(b);
        page += "</p>\n";
    }
    page += "<p><img src=\"pics/late.bmp\"> The last words.</p></body></html>";
    std::ofstream(host + "/Large.html", std::ios::binary) << page;
    std::ofstream(host + "/pics/late.bmp", std::ios::binary) << Picture(10, 4);

    const ProgramResult run = RunSteps(device, {host + "/Large.html"}, "idle\nkey 0x23\nidle\nquit\n");
    ASSERT_EQ(run.status, 0) << run.Describe();
    EXPECT_TRUE(device.ReadHost("storage/eBooks/Large.html") == page)
        << "the copy differs from the page (" << device.ReadHost("storage/eBooks/Large.html").size()
        << " bytes against " << page.size() << ")";
    EXPECT_EQ(device.ReadHost("storage/eBooks/pics/late.bmp"), Picture(10, 4));
    EXPECT_FALSE(device.HostExists("storage/eBooks/Large.html.tmp"));
}

}  // namespace
}  // namespace fvt::test

namespace fvt::test {
namespace {

// A manual folder holding names that differ only by case, which the device cannot tell apart:
// the book keeps its own bytes, the first file brought keeps its own, and the run names each
// file it did not bring.
TEST(CopyIntoDevice, NamesDifferingOnlyByCaseNeverReplaceTheBookOrABroughtFile) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    const std::string host = device.outside() + "/manual";
    fs::create_directories(host);
    auto write = [](const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    };
    const std::string faq =
        "<html><body><p>Frequently asked questions, answered at length.</p>"
        "<p><a href=\"FAQ.html\">The title page</a> <a href=\"part.html\">A part</a> "
        "<a href=\"PART.html\">Another part</a></p></body></html>";
    write(host + "/faq.html", faq);
    write(host + "/FAQ.html", "<html><body><p>Title page.</p></body></html>");
    write(host + "/part.html", "<html><body><p>The first part.</p></body></html>");
    write(host + "/PART.html", "<html><body><p>The other part.</p></body></html>");

    const std::string shown = device.outside() + "/shown.txt";
    const ProgramResult run =
        RunSteps(device, {host + "/faq.html"}, "idle\npagetext " + shown + "\nquit\n");
    EXPECT_EQ(run.status, 0) << run.Describe();
    EXPECT_NE(Joined(ReadLines(shown)).find("Frequently asked"), std::string::npos)
        << Joined(ReadLines(shown));
    const auto books = Files(device.Host("storage/eBooks"));
    ASSERT_EQ(books.count("faq.html"), 1u) << ::testing::PrintToString(Names(books));
    EXPECT_EQ(books.at("faq.html"), faq);
    EXPECT_EQ(books.count("FAQ.html"), 0u);
    ASSERT_EQ(books.count("part.html"), 1u) << ::testing::PrintToString(Names(books));
    EXPECT_EQ(books.at("part.html"), ReadFile(host + "/part.html"));
    EXPECT_EQ(books.count("PART.html"), 0u);
    for (const char* name : {"/FAQ.html", "/PART.html"})
        EXPECT_NE(run.err.find("folivant: " + host + name + " not brought into the device"),
                  std::string::npos)
            << run.err;
    EXPECT_EQ(run.err.find(host + "/part.html not brought"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace fvt::test
