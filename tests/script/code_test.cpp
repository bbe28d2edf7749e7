// Compiled units: their serialised form, reading it back in pieces, and bad input.
#include <gtest/gtest.h>

#include "script_test_util.h"

namespace {

const char* kProgram =
    "var list = [];\n"
    "function add(x) { list.push(x * 1.5); return list.length; }\n"
    "function counter() { var c = 0; return function() { return ++c; }; }\n"
    "var k = counter(); k(); add(2); add(k());\n"
    "switch (list.length) { case 2: print('two', list, __litteralstr 0); break; default: "
    "print('?') }\n"
    "print('é\\u4e2d', 1e300, -0.25);\n";

bool CompileProgram(ScriptCode* unit) {
    unit->AddString(u"lit\r\n", 5, true);
    ScriptError err;
    std::u16string text = U(kProgram);
    return ScriptEngine::Compile(text.data(), static_cast<std::uint32_t>(text.size()), unit, &err);
}

std::string RunUnit(ScriptCode* unit) {
    ScriptRun r;
    ScriptEngine::Run(&r.context, unit, nullptr, ScriptValues::kUndefined, nullptr, &r.err);
    return r.out;
}

TEST(ScriptCodeTest, WrittenUnitReadsBackAndRunsTheSame) {
    ScriptCode unit;
    ASSERT_TRUE(CompileProgram(&unit));
    std::string expected = RunUnit(&unit);
    EXPECT_EQ(expected, "two 3,3 lit\r\n\n\xC3\xA9\xE4\xB8\xAD 1e+300 -0.25\n");
    std::u16string text;
    ASSERT_TRUE(unit.Write(&text));
    EXPECT_EQ(text.substr(0, 4), u"FVSC");
    for (char16_t c : text) ASSERT_TRUE(c > 0x20 && c < 0x7F);  // survives any code page

    ScriptCode back;
    EXPECT_EQ(back.Read(text.data(), static_cast<std::uint32_t>(text.size())),
              ScriptCode::kReadComplete);
    EXPECT_EQ(RunUnit(&back), expected);
    std::u16string again;
    ASSERT_TRUE(back.Write(&again));
    EXPECT_EQ(again, text);
}

TEST(ScriptCodeTest, ReaderTakesTheUnitOneCharacterAtATime) {
    ScriptCode unit;
    ASSERT_TRUE(CompileProgram(&unit));
    std::u16string text;
    ASSERT_TRUE(unit.Write(&text));
    // Line breaks and blanks between pieces (as pages of a document) are ignored.
    std::u16string spaced;
    for (std::size_t i = 0; i < text.size(); ++i) {
        spaced.push_back(text[i]);
        if (i % 37 == 0) spaced.append(u"\r\n ");
    }
    ScriptCode back;
    for (std::size_t i = 0; i < spaced.size(); ++i) {
        int rc = back.Read(&spaced[i], 1);
        bool lastData = i + 1 == spaced.size();
        if (!lastData)
            ASSERT_EQ(rc, ScriptCode::kReadIncomplete) << i;
        else
            ASSERT_EQ(rc, ScriptCode::kReadComplete);
    }
    EXPECT_EQ(RunUnit(&back), RunUnit(&unit));
    // Trailing blanks are fine; more data is not.
    EXPECT_EQ(back.Read(u" \n", 2), ScriptCode::kReadComplete);
    EXPECT_EQ(back.Read(u"x", 1), ScriptErrors::kUnitCorrupt);
}

TEST(ScriptCodeTest, BadUnitsGiveAnErrorCode) {
    ScriptCode unit;
    ASSERT_TRUE(CompileProgram(&unit));
    std::u16string text;
    ASSERT_TRUE(unit.Write(&text));

    ScriptCode truncated;
    EXPECT_EQ(truncated.Read(text.data(), static_cast<std::uint32_t>(text.size() - 3)),
              ScriptCode::kReadIncomplete);

    std::u16string magic = text;
    magic[1] = 'X';
    ScriptCode m;
    EXPECT_EQ(m.Read(magic.data(), static_cast<std::uint32_t>(magic.size())),
              ScriptErrors::kUnitCorrupt);
    EXPECT_EQ(m.Read(text.data(), 4), ScriptErrors::kUnitCorrupt);  // stays failed

    std::u16string version = text;
    version[4] = '2';  // another format version
    ScriptCode v;
    EXPECT_EQ(v.Read(version.data(), static_cast<std::uint32_t>(version.size())),
              ScriptErrors::kUnitCorrupt);

    std::u16string junk = text;
    junk[20] = '~';
    ScriptCode j;
    EXPECT_EQ(j.Read(junk.data(), static_cast<std::uint32_t>(junk.size())),
              ScriptErrors::kUnitCorrupt);

    // Changing any single digit is caught (checksum, bounds or verification), never run.
    int caught = 0;
    for (std::size_t i = 8; i < text.size(); i += 7) {
        std::u16string bad = text;
        bad[i] = bad[i] == '1' ? '2' : '1';
        ScriptCode c;
        int rc = c.Read(bad.data(), static_cast<std::uint32_t>(bad.size()));
        if (rc == ScriptErrors::kUnitCorrupt || rc == ScriptCode::kReadIncomplete)
            ++caught;
        else if (rc == 0)
            RunUnit(&c);  // whatever it is, it must run safely
    }
    EXPECT_GT(caught, 0);
}

TEST(ScriptCodeTest, UncompiledUnitsNeitherWriteNorRun) {
    ScriptCode unit;
    std::u16string text;
    EXPECT_FALSE(unit.Write(&text));
    ScriptHeap heap;
    ScriptContext ctx(&heap);
    EXPECT_EQ(ScriptEngine::Run(&ctx, &unit, nullptr, ScriptValues::kUndefined, nullptr, nullptr),
              ScriptErrors::kSyntax);
}

TEST(ScriptCodeTest, FailedCompileLeavesTheUnitAsItWas) {
    ScriptCode unit;
    ASSERT_TRUE(ScriptEngine::CompileText(u"print(1)", &unit, u"a", nullptr));
    EXPECT_FALSE(ScriptEngine::CompileText(u"print(", &unit, u"a", nullptr));
    EXPECT_EQ(RunUnit(&unit), "1\n");
}

}  // namespace
