#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class ResourceCompiler : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("fvt-rescomp-" + std::to_string(getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder / "in");
    }
    void TearDown() override { fs::remove_all(folder); }

    void WriteInput(const std::string& name, const std::string& content) {
        std::ofstream(folder / "in" / name, std::ios::binary) << content;
    }
    // The exit status; messages go to `errors`.
    int Run() {
        std::string command = std::string("'") + FVT_RESCOMP + "' '" + (folder / "in").string() +
                              "' '" + (folder / "out.cpp").string() + "' 2> '" +
                              (folder / "errors.txt").string() + "'";
        int status = std::system(command.c_str());
        std::ifstream in(folder / "errors.txt");
        errors.assign(std::istreambuf_iterator<char>(in), {});
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Output() {
        std::ifstream in(folder / "out.cpp");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path folder;
    std::string errors;
};

}  // namespace

TEST_F(ResourceCompiler, NoTablesAndNoIconsGiveAnEmptyTable) {
    ASSERT_EQ(Run(), 0) << errors;
    EXPECT_NE(Output().find("kStrings, 0, kBinaries, 0"), std::string::npos);
}

TEST_F(ResourceCompiler, FrenchIdsAreStoredAtPlusThousand) {
    WriteInput("strings.en.txt", "5002\tAdd bookmark\n");
    WriteInput("strings.fr.txt", "\xEF\xBB\xBF# comment\n5002\tAjouter un signet\r\n");
    ASSERT_EQ(Run(), 0) << errors;
    std::string out = Output();
    EXPECT_NE(out.find("{5002, false, u\"Add bookmark\", 12}"), std::string::npos);
    EXPECT_NE(out.find("{6002, true, u\"Ajouter un signet\", 17}"), std::string::npos);
}

TEST_F(ResourceCompiler, BadLinesNameTheFileAndLineAndFail) {
    WriteInput("strings.en.txt",
               "5002 no tab\nabc\tletters\n5003\tbad \\q escape\n5004\tok\n5004\ttwice\n"
               "5005\t\xC3\x28 broken\n0\tzero\n");
    EXPECT_EQ(Run(), 1);
    for (int line = 1; line <= 7; ++line) {
        if (line == 4) continue;
        EXPECT_NE(errors.find("strings.en.txt:" + std::to_string(line) + ":"), std::string::npos)
            << "line " << line << "\n"
            << errors;
    }
    EXPECT_EQ(errors.find("strings.en.txt:4:"), std::string::npos);
}

TEST_F(ResourceCompiler, FrenchIdClashingWithAnEnglishIdFails) {
    WriteInput("strings.en.txt", "6002\tsix\n");
    WriteInput("strings.fr.txt", "5002\tcinq\n");
    EXPECT_EQ(Run(), 1);
    EXPECT_NE(errors.find("defined twice"), std::string::npos);
}
