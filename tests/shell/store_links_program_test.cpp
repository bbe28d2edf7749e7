// Stores and web addresses the reader cannot open: it says why, naming the address, and stays
// where it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "shell/program_runs.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

// The shell log's message boxes (each "MessageBox caption: text => answer").
std::vector<std::string> Boxes(const std::string& log) {
    std::vector<std::string> boxes;
    for (size_t at = log.find("MessageBox "); at != std::string::npos;
         at = log.find("MessageBox ", at + 1))
        boxes.push_back(log.substr(at, log.find('\n', at) - at));
    return boxes;
}

// A store of the list at a secure address is refused with a message naming it; a plain one is
// handed on; and Online Account on a device with no program for web pages says that no program
// opens its address. The library stays shown.
TEST(StoreLinks, AStoreTheReaderCannotOpenSaysWhyNamingItsAddress) {
    for (const char* language : {"en", "fr"}) {
        TempDevice device;
        ASSERT_TRUE(device.ok());
        device.WriteHost("storage/eBooks/Alpha.txt", "The first book.\n");
        device.WriteHost("Program Files/Folivant/bookstores.txt",
                         "Secure Shop\thttps://secure.example/shop\r\nPlain Shop\t"
                         "http://plain.example/\r\n");
        const std::string o = device.outside() + "/";
        const std::vector<std::string> env = {std::string("FOLIVANT_LANGUAGE=") + language};
        ASSERT_EQ(RunSteps(device, {},
                           "idle\nmenu 30000\nidle\nmenu 30001\nidle\nlisttext " + o +
                               "list.txt\nshelllog " + o + "log.txt\nquit\n",
                           env)
                      .status,
                  0);
        std::string log = ReadFile(o + "log.txt");
        std::vector<std::string> boxes = Boxes(log);
        ASSERT_EQ(boxes.size(), 1u) << log;
        EXPECT_NE(boxes[0].find("https://secure.example/shop"), std::string::npos) << boxes[0];
        EXPECT_NE(boxes[0].find("https"), boxes[0].rfind("https")) << "the why: " << boxes[0];
        EXPECT_EQ(log.find("ShellExecuteEx Open https:"), std::string::npos) << log;
        EXPECT_NE(log.find("ShellExecuteEx Open http://plain.example/"), std::string::npos) << log;
        EXPECT_NE(ReadFile(o + "list.txt").find("Alpha"), std::string::npos);

        // No program for web pages: the store of Online Account cannot be handed on.
        std::filesystem::remove(device.Host("Program Files/Folivant/bookstores.txt"));
        std::vector<std::string> noBrowser = env;
        noBrowser.push_back("FOLIVANT_SHELL_EXECUTE=0");
        ASSERT_EQ(RunSteps(device, {},
                           "idle\nmenu 40043\nidle\nshelllog " + o + "log2.txt\nquit\n", noBrowser)
                      .status,
                  0);
        log = ReadFile(o + "log2.txt");
        boxes = Boxes(log);
        ASSERT_EQ(boxes.size(), 1u) << log;
        EXPECT_NE(boxes[0].find("http://www.folivant.example/"), std::string::npos) << boxes[0];
    }
}

}  // namespace
}  // namespace fvt::test
