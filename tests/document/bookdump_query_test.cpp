// bookdump --query: a query compiled over a real book through the book resource, run as a
// program.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "dictionary_book.h"
#include "support/bookfiles/bookdump_run.h"

namespace {

class BookdumpQuery : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("fvt-query-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
        std::ofstream(folder_ / "dict.prc", std::ios::binary) << DictionaryBookBytes();
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    BookdumpRun Query(const std::string& query) {
        return RunBookdump("--query \"" + query + "\" '" + (folder_ / "dict.prc").string() + "'");
    }
    std::string Listing() {
        std::string names;
        for (const auto& e : std::filesystem::directory_iterator(folder_))
            names += e.path().filename().string() + ";";
        return names;
    }
    std::filesystem::path folder_;
};

TEST_F(BookdumpQuery, PrintsTheMatchesInOrder) {
    std::string before = Listing();
    BookdumpRun run = Query("SELECT * FROM words WHERE orth LIKE 'ba%' OR orth = 'apple'");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "0\tapple\n1\tBank (money)\n");
    // The book's folder is left as it was.
    EXPECT_EQ(Listing(), before);
}

TEST_F(BookdumpQuery, NoMatchPrintsNothing) {
    BookdumpRun run = Query("SELECT * FROM words WHERE orth = 'zebra'");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
}

TEST_F(BookdumpQuery, CompileErrorsGiveCodePositionAndMessage) {
    BookdumpRun run = Query("SELECT * FROM nosuch");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.rfind("error 20 at 14: ", 0), 0u) << run.out;
    ASSERT_FALSE(run.out.empty());
    EXPECT_EQ(run.out.back(), '\n');
    run = Query("SELECT FROM words");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.rfind("error 19 at ", 0), 0u) << run.out;
}

TEST_F(BookdumpQuery, AMissingBookFails) {
    BookdumpRun run = RunBookdump("--query \"SELECT * FROM words\" '" +
                                  (folder_ / "missing.prc").string() + "' 2>/dev/null");
    EXPECT_EQ(run.status, 1);
}

}  // namespace
