// The keys and the pen in the program, headless, the way a person's reach it: the soft keys as
// keys, the tap pop-up in full screen, and a driver script that waits for whoever works the window.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "shell/program_runs.h"
#include "support/bookfiles/book_builder.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

const std::vector<std::string> kBook = {"\\storage\\eBooks\\keys.prc"};

void WriteBook(const TempDevice& device) {
    std::string html = "<html><body>";
    for (int i = 0; i < 12; ++i)
        html += "<p>Paragraph " + std::to_string(i) + " " +
                SampleText(120, static_cast<std::uint32_t>(i + 5)) + "</p>";
    html += "</body></html>";
    BookBuilder book;
    book.text.assign(html.begin(), html.end());
    book.fullName = "Keys";
    const Bytes bytes = book.Build();
    device.WriteHost("storage/eBooks/keys.prc", std::string(bytes.begin(), bytes.end()));
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// F2 (0x71) opens the page's soft-key menu as the right soft key does; F1 (0x70) is the left
// soft key, "Library" on a book opened from outside it.
TEST(ProgramSoftKeys, F1AndF2AreTheSoftKeys) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteBook(device);
    const std::string o = device.outside() + "/";
    const std::string steps = "idle\nkey 0x71\nidle\nshelllog " + o +
                              "menu.txt\nkey 0x70\nidle\n"
                              "pagetext " +
                              o + "page.txt\nlisttext " + o + "list.txt\nquit\n";
    ASSERT_EQ(RunSteps(device, kBook, steps).status, 0) << ReadFile(o + "errors.txt");
    const std::string menu = ReadFile(o + "menu.txt");
    // The menu opened, and closed with nothing chosen (nobody answered it).
    EXPECT_EQ(Count(menu, "items => 0"), 1u) << menu;
    EXPECT_EQ(ReadFile(o + "page.txt"), "");
    EXPECT_NE(ReadFile(o + "list.txt").find("Keys"), std::string::npos);
}

// The pop-up of a tap on a word offers "Lookup" and "Copy"; in full screen also, after a
// separator, "Back to normal display".
TEST(ProgramTapPopUp, InFullScreenItOffersBackToNormalDisplay) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteBook(device);
    const std::string o = device.outside() + "/";
    const std::string steps = "idle\ntap 60 60\nidle\nshelllog " + o +
                              "normal.txt\nmenu 40084\n"
                              "idle\ntap 60 60\nidle\nshelllog " +
                              o + "full.txt\nquit\n";
    ASSERT_EQ(RunSteps(device, kBook, steps).status, 0) << ReadFile(o + "errors.txt");
    const std::string normal = ReadFile(o + "normal.txt");
    EXPECT_NE(normal.find("menu 2 items => 0"), std::string::npos) << normal;
    const std::string full = ReadFile(o + "full.txt");
    EXPECT_NE(full.find("menu 4 items => 0", normal.size()), std::string::npos) << full;
}

// The arrows turn with a turned page, as the keys of a turned device do: with the page turned a
// quarter to the left (Rotate once), Left goes down the page (the next one) and Right back up.
TEST(ProgramTurnedKeys, OnAPageTurnedLeftLeftIsNextAndRightIsPrevious) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteBook(device);
    const std::string o = device.outside() + "/";
    const std::string steps = "idle\nmenu 40085\nidle\npagetext " + o +
                              "first.txt\nkey 0x25\n"
                              "idle\npagetext " +
                              o + "left.txt\nkey 0x27\nidle\npagetext " + o + "right.txt\nquit\n";
    ASSERT_EQ(RunSteps(device, kBook, steps).status, 0) << ReadFile(o + "errors.txt");
    const std::string first = ReadFile(o + "first.txt");
    ASSERT_FALSE(first.empty());
    EXPECT_NE(ReadFile(o + "left.txt"), first);
    EXPECT_FALSE(ReadFile(o + "left.txt").empty());
    EXPECT_EQ(ReadFile(o + "right.txt"), first);
}

// A script can wait for a file that whoever works the program writes; one already there lets it
// go on at once, and the program has taken what came before it.
TEST(ProgramDriverWaits, AWaitForAFileEndsWhenTheFileIsThere) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteBook(device);
    const std::string o = device.outside() + "/";
    std::filesystem::create_directories(device.outside());
    std::ofstream(o + "done").put('\n');
    const std::string steps = "idle\npagetext " + o + "first.txt\nkey 0x22\nwait-file " + o +
                              "done\npagetext " + o + "after.txt\nquit\n";
    ASSERT_EQ(RunSteps(device, kBook, steps).status, 0) << ReadFile(o + "errors.txt");
    const std::string after = ReadFile(o + "after.txt");
    EXPECT_FALSE(after.empty());
    EXPECT_NE(after, ReadFile(o + "first.txt"));  // the second page
}

}  // namespace
}  // namespace fvt::test
