// The library sorted as a person reads it: titles that start with an accented capital or a
// ligature stand with their plain letters, in English and in French, either way round.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "shell/program_runs.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

// The titles in the order the list must show them (UTF-8).
const std::vector<std::string> kOrdered = {
    "Eagle",  "\xc3\x89" "clair", "\xc3\x8e" "les", "Ivoire", "\xc3\x91" "and\xc3\xba", "Nube",
    "Oeil",   "\xc5\x92" "uvres", "Ofelia", "\xc3\x9c" "ber", "Uva", "Zebra"};

// The titles of the rows `listtext` wrote, without their icon column.
std::vector<std::string> Titles(const std::string& path) {
    std::vector<std::string> titles;
    for (const std::string& line : ReadLines(path)) {
        const size_t tab = line.find('\t');
        titles.push_back(tab == std::string::npos ? line : line.substr(tab + 1));
    }
    return titles;
}

TEST(LetterOrderProgram, TheLibraryPutsAccentedAndJoinedLettersWithTheirPlainOnes) {
    for (const char* language : {"en", "fr"}) {
        TempDevice device;
        ASSERT_TRUE(device.ok());
        // Written out of order, so that the list's order is its sorting.
        for (size_t i = 0; i < kOrdered.size(); ++i) {
            const std::string& title = kOrdered[(i * 5) % kOrdered.size()];
            device.WriteHost("storage/eBooks/" + title + ".txt", "The text of " + title + ".\n");
        }
        const std::string o = device.outside() + "/";
        // By title, then by title again: the other way round.
        const std::string steps = "idle\nlisttext " + o + "up.txt\nmenu 40030\nidle\nlisttext " +
                                  o + "down.txt\nquit\n";
        ASSERT_EQ(RunSteps(device, {}, steps, {std::string("FOLIVANT_LANGUAGE=") + language})
                      .status,
                  0)
            << language;
        EXPECT_EQ(Titles(o + "up.txt"), kOrdered) << language;
        std::vector<std::string> reversed(kOrdered.rbegin(), kOrdered.rend());
        EXPECT_EQ(Titles(o + "down.txt"), reversed) << language;
    }
}

}  // namespace
}  // namespace fvt::test
