#include <gtest/gtest.h>

#include <set>

#include "core/lang_name.h"
#include "core/random.h"
#include "core/string.h"
#include "core/text.h"

namespace {

TEST(LangName, NamesToCodesAndBack) {
    EXPECT_EQ(LangName::Find("en"), 9);
    EXPECT_EQ(LangName::Find("fr"), 12);
    EXPECT_EQ(LangName::Find("EN_us"), 0x0409);
    EXPECT_EQ(LangName::Find(String(u"ja")), 17);
    Text t;
    t.AssignUtf8("fr-CA");
    EXPECT_EQ(LangName::Find(t), 0x0C0C);
    EXPECT_EQ(LangName::Find("klingon"), 0);
    EXPECT_EQ(LangName::Find(""), 0);
    EXPECT_STREQ(LangName::Name(0x0409), "en");
    EXPECT_STREQ(LangName::Name(0x0C0C), "fr");
    EXPECT_STREQ(LangName::ExactName(0x0C0C), "fr-ca");
    EXPECT_EQ(LangName::Name(0x03FF), nullptr);
}

TEST(RandomSource, ThirtyBitsAndDistinctSourcesDiffer) {
    Random a, b;
    std::set<uint32_t> seen;
    bool differs = false;
    for (int i = 0; i < 1000; ++i) {
        uint32_t x = a.Next(), y = b.Next();
        EXPECT_LT(x, 1u << 30);
        differs |= x != y;
        seen.insert(x);
    }
    EXPECT_TRUE(differs);  // made in the same tick, yet not the same sequence
    EXPECT_GT(seen.size(), 990u);
    Random c(42), d(42);
    EXPECT_EQ(c.Next(), d.Next());
}

}  // namespace
