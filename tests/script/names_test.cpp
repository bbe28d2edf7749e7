#include <gtest/gtest.h>

#include "script/script_engine.h"
#include "script/script_names.h"

namespace {

std::uint16_t Find(const std::u16string& s) {
    return ScriptNames::Find(s.data(), static_cast<std::uint32_t>(s.size()));
}

TEST(ScriptNamesTest, VocabularyHasItsIds) {
    EXPECT_EQ(ScriptNames::Count(), 301);
    EXPECT_EQ(Find(u"break"), 1);
    EXPECT_EQ(Find(u"__litteralstr"), 21);
    EXPECT_EQ(Find(u"document"), 23);
    EXPECT_EQ(Find(u"goto_page"), 50);
    EXPECT_EQ(Find(u"getTimeZoneOffset"), 222);
    EXPECT_EQ(Find(u"recordset"), 286);
    EXPECT_EQ(Find(u"LCID"), 316);
    // Every name of the table finds its own id.
    for (int i = 0; i < ScriptNames::Count(); ++i) {
        std::u16string t = ScriptNames::TextAt(i);
        EXPECT_EQ(Find(t), ScriptNames::IdAt(i)) << i;
    }
}

TEST(ScriptNamesTest, CaseAliasesShareAnIdAndNameTheLowerCaseFirst) {
    EXPECT_EQ(Find(u"remove"), 74);
    EXPECT_EQ(Find(u"Remove"), 74);
    EXPECT_EQ(Find(u"clear"), 113);
    EXPECT_EQ(Find(u"Clear"), 113);
    std::u16string t;
    EXPECT_TRUE(Script::TokenName(74, &t));
    EXPECT_EQ(t, u"remove");
    EXPECT_TRUE(Script::TokenName(113, &t));
    EXPECT_EQ(t, u"clear");
}

TEST(ScriptNamesTest, ComparisonIsExactOnWholeUnits) {
    EXPECT_EQ(Find(u"Document"), 0);
    EXPECT_EQ(Find(u"doc"), 0);  // a proper prefix
    EXPECT_EQ(Find(u"documents"), 0);
    EXPECT_EQ(Find(u"null"), 0);  // no vocabulary entry
    EXPECT_EQ(Find(u""), 0);
    // Units whose low byte spells a name do not match it.
    std::u16string fake = {static_cast<char16_t>(0x0169), static_cast<char16_t>(0x0166)};  // "if"
    EXPECT_EQ(Find(fake), 0);
    std::u16string open = {0x16F, 0x170, 0x165, 0x16E};
    EXPECT_EQ(Find(open), 0);
}

TEST(ScriptNamesTest, UnnamedIdsHaveNoText) {
    for (std::uint32_t id : {0u,   22u,  42u,  45u,  75u,  80u,  138u, 197u, 204u, 223u,
                             224u, 240u, 244u, 268u, 287u, 288u, 294u, 295u, 317u, 1000u}) {
        std::u16string t = u"x";
        EXPECT_FALSE(Script::TokenName(id, &t)) << id;
        EXPECT_TRUE(t.empty());
    }
    std::u16string t;
    EXPECT_TRUE(Script::TokenName(316, &t));
    EXPECT_EQ(t, u"LCID");
}

TEST(ScriptEscapeTest, EscapedTextReadsBackAsTheSameString) {
    std::u16string raw = u"a'b\"c\\d\re\nf<&>";
    std::u16string esc;
    Script::EscapeStringLiteral(raw, &esc);
    EXPECT_EQ(esc, u"a\\'b\\\"c\\\\d\\re\\nf<&>");
    for (const char16_t* quote : {u"'", u"\""}) {
        ScriptHeap heap;
        ScriptContext ctx(&heap);
        ScriptCode unit;
        std::u16string text = std::u16string(u"return ") + quote + esc + quote + u";";
        ASSERT_TRUE(ScriptEngine::CompileText(text, &unit, u"t", nullptr));
        ScriptValue r;
        ASSERT_EQ(ScriptEngine::Run(&ctx, &unit, nullptr, ScriptValues::kUndefined, &r, nullptr),
                  0);
        std::u16string back;
        heap.ToText(r, &back);
        heap.Release(r);
        EXPECT_EQ(back, raw);
    }
}

}  // namespace
