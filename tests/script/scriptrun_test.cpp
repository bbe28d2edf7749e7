// The scriptrun program: output of print(), and errors with message, line and status 1.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

namespace {

struct Outcome {
    int status;
    std::string out, err;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

Outcome RunScriptFile(const std::string& text) {
    const char* bin = std::getenv("FOLIVANT_TEST_BINARY");
    std::string tool = std::string(bin ? bin : ".") + "/tests/support/script/scriptrun";
    static int serial = 0;
    std::string dir = ::testing::TempDir() + "scriptrun_" + std::to_string(getpid()) + "_" +
                      std::to_string(++serial);
    std::string src = dir + ".js", out = dir + ".out", err = dir + ".err";
    std::ofstream(src, std::ios::binary) << text;
    std::string cmd = "'" + tool + "' '" + src + "' >'" + out + "' 2>'" + err + "'";
    int rc = std::system(cmd.c_str());
    Outcome o;
    o.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    o.out = ReadFile(out);
    o.err = ReadFile(err);
    std::remove(src.c_str());
    std::remove(out.c_str());
    std::remove(err.c_str());
    return o;
}

TEST(ScriptRunToolTest, PrintsValuesAndExitsCleanly) {
    Outcome o = RunScriptFile("var s = 'h\xC3\xA9';\nprint(s, 1 + 1);\nprint([1, 2]);\n");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "h\xC3\xA9 2\n1,2\n");
    EXPECT_EQ(o.err, "");
}

TEST(ScriptRunToolTest, ErrorsGoToStandardErrorWithTheirLine) {
    Outcome o = RunScriptFile("print('before');\n\nundefinedThing();\nprint('after');\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "before\n");
    EXPECT_EQ(o.err, "Error: Member Unknown: undefinedThing (line 3)\n");
    o = RunScriptFile("print('x');\nvar = 1;\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, "Error: Syntax error: unexpected '=' (line 2)\n");
}

}  // namespace
