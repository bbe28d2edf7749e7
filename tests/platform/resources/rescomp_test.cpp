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

TEST_F(ResourceCompiler, IconsBecomeGroupsWithTheirImagesSmallestFirst) {
    fs::create_directories(folder / "in" / "icons");
    auto png = [](unsigned size) {
        std::string bytes("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16);
        for (int k = 0; k < 2; ++k) {
            bytes += std::string{0, 0, 0, static_cast<char>(size)};
        }
        return bytes + std::string(13, '\0');
    };
    std::ofstream(folder / "in" / "icons" / "126-32.png", std::ios::binary) << png(32);
    std::ofstream(folder / "in" / "icons" / "126-16.png", std::ios::binary) << png(16);
    std::ofstream(folder / "in" / "icons" / "draw.py") << "not an icon";
    ASSERT_EQ(Run(), 0) << errors;
    std::string out;
    for (char c : Output()) {
        if (c != '\n' && c != ' ') out += c;
    }
    // Group 126: 0, 1, two entries; 16 first (image 1), then 32 (image 2); 37 bytes each.
    EXPECT_NE(out.find("{14,126,kData2,34}"), std::string::npos) << out;
    EXPECT_NE(out.find("{0,0,1,0,2,0,16,16,0,0,1,0,32,0,37,0,0,0,1,0,32,32,0,0,1,0,32,0,37,0,0,0,"
                       "2,0,}"),
              std::string::npos);
    EXPECT_NE(out.find("{3,1,kData0,37}"), std::string::npos);
}

TEST_F(ResourceCompiler, BadIconFilesAreReported) {
    fs::create_directories(folder / "in" / "icons");
    std::ofstream(folder / "in" / "icons" / "12-16.png", std::ios::binary) << "not a png at all";
    std::ofstream(folder / "in" / "icons" / "twelve.png", std::ios::binary) << "x";
    EXPECT_EQ(Run(), 1);
    EXPECT_NE(errors.find("12-16.png: not a PNG image"), std::string::npos) << errors;
    EXPECT_NE(errors.find("twelve.png: expected <id>-<size>.png"), std::string::npos) << errors;
}
