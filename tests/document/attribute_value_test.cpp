// Attribute texts converted by the grammar of their markup id: keywords, colours, lengths,
// numbers, file positions and the relative forms, with the edges where values overflow.
#include <gtest/gtest.h>

#include <string>

#include "core/color.h"
#include "core/string.h"
#include "document/markup/attribute_value.h"
#include "document/markup/html_tokenizer.h"
#include "document/markup/keyword_tree.h"
#include "document/markup/length.h"
#include "support/document/memory_document.h"

namespace {

bool P(uint32_t id, const std::u16string& text, uint32_t& out) {
    return AttributeValue::Parse(id, String(text.data(), static_cast<int32_t>(text.size())), out);
}

uint32_t V(uint32_t id, const std::u16string& text) {
    uint32_t out = 0xDEADBEEF;
    EXPECT_TRUE(P(id, text, out)) << "id " << id;
    return out;
}

bool Fails(uint32_t id, const std::u16string& text) {
    uint32_t out = 0xDEADBEEF;
    return !P(id, text, out) && out == 0xDEADBEEF;
}

TEST(Keywords, AlignTakesItsFiveKeywordsInAnyCase) {
    EXPECT_EQ(V(kAttrAlign, u"LEFT"), 1u);
    EXPECT_EQ(V(kAttrAlign, u"center"), 3u);
    EXPECT_EQ(V(kAttrAlign, u" Right\t"), 2u);
    EXPECT_EQ(V(kAttrAlign, u"justify"), 4u);
    EXPECT_EQ(V(kAttrAlign, u"poetry"), 5u);
    EXPECT_TRUE(Fails(kAttrAlign, u"top"));  // a keyword of another attribute
    EXPECT_TRUE(Fails(kAttrAlign, u"char"));
    EXPECT_TRUE(Fails(kAttrAlign, u""));
    EXPECT_TRUE(Fails(kAttrAlign, u"lefty"));
}

TEST(Keywords, VerticalAlignAndPageRole) {
    EXPECT_EQ(V(kAttrVAlign, u"top"), 0u);
    EXPECT_EQ(V(kAttrVAlign, u"middle"), 1u);
    EXPECT_EQ(V(kAttrVAlign, u"bottom"), 2u);
    EXPECT_EQ(V(kAttrVAlign, u"baseline"), 3u);
    EXPECT_EQ(V(kAttrVAlign, u"texttop"), 4u);
    EXPECT_EQ(V(kAttrVAlign, u"absmiddle"), 9u);
    EXPECT_EQ(V(kAttrVAlign, u"absbottom"), 10u);
    EXPECT_TRUE(Fails(kAttrVAlign, u"left"));
    EXPECT_EQ(V(kAttrPageRole, u"TOP"), 0u);
    EXPECT_EQ(V(kAttrPageRole, u"bottom"), 2u);
    EXPECT_TRUE(Fails(kAttrPageRole, u"middle"));
    EXPECT_TRUE(Fails(kAttrPageRole, u"baseline"));
}

TEST(Keywords, FormKeywords) {
    EXPECT_EQ(V(kAttrMethod, u"get"), 1u);
    EXPECT_EQ(V(kAttrMethod, u"POST"), 0u);
    EXPECT_TRUE(Fails(kAttrMethod, u"put"));
    EXPECT_EQ(V(kAttrEncType, u"xml"), 0u);
    EXPECT_EQ(V(kAttrEncType, u"x-www-form-urlencoded"), 1u);
    EXPECT_EQ(V(kAttrEncType, u"application/x-www-form-urlencoded"), 1u);
    EXPECT_EQ(V(kAttrEncType, u"multipart/form-data"), 2u);
    EXPECT_EQ(V(kAttrEncoding, u"XML"), 0u);
    EXPECT_TRUE(Fails(kAttrEncType, u"text/plain"));
    for (const char16_t* s : {u"circle", u"rect", u"poly", u"default"})
        EXPECT_EQ(V(kAttrShape, s), 0u);
    EXPECT_TRUE(Fails(kAttrShape, u"star"));
    EXPECT_EQ(V(kAttrInputRestrict, u"hira"), 52u);
    EXPECT_EQ(V(kAttrInputRestrict, u"HANG"), 55u);
    EXPECT_EQ(V(kAttrInputRestrict, u"left"), 17u);  // any value keyword
    EXPECT_TRUE(Fails(kAttrInputRestrict, u"greek"));
}

TEST(Keywords, YesFlagsStoreOne) {
    EXPECT_EQ(V(kAttrAutoSubmit, u"yes"), 1u);
    EXPECT_EQ(V(kAttrPersistent, u" YES "), 1u);
    EXPECT_TRUE(Fails(kAttrAutoSubmit, u"no"));
    EXPECT_TRUE(Fails(kAttrPersistent, u""));
}

TEST(Colors, HexAndNamedColours) {
    EXPECT_EQ(V(kAttrColor, u"#F80"), Color::Pack(255, 136, 0));
    EXPECT_EQ(V(kAttrColor, u"#ff8000"), Color::Pack(255, 128, 0));
    EXPECT_EQ(V(kAttrBgColor, u"teal"), 0x808000u);
    EXPECT_EQ(V(kAttrBorderColor, u"Black"), 0u);
    EXPECT_EQ(V(kAttrColor, u"aqua"), Color::Pack(0, 255, 255));
    EXPECT_EQ(V(kAttrColor, u"silver"), Color::Pack(192, 192, 192));
    EXPECT_TRUE(Fails(kAttrColor, u"#ff80"));
    EXPECT_TRUE(Fails(kAttrColor, u"#ggg"));
    EXPECT_TRUE(Fails(kAttrColor, u"#"));
    EXPECT_TRUE(Fails(kAttrColor, u"ff8000"));
    EXPECT_TRUE(Fails(kAttrColor, u"left"));  // a keyword but no colour
    EXPECT_TRUE(Fails(kAttrColor, u"#ff80000"));
}

TEST(Lengths, UnitsSignsAndPadding) {
    uint32_t v = V(kAttrWidth, u" 50% ");
    EXPECT_EQ(Length::Unit(v), Length::kPercent);
    EXPECT_EQ(Length::Value(v), 50);
    v = V(kAttrWidth, u"2em");
    EXPECT_EQ(v, Length::kMultiple | 2u);
    EXPECT_EQ(V(kAttrHeight, u"2EM"), Length::kMultiple | 2u);
    EXPECT_EQ(V(kAttrHeight, u"12pt"), 12u);
    EXPECT_EQ(V(kAttrHeight, u"12"), 12u);
    EXPECT_EQ(V(kAttrHeight, u"+12"), 12u);
    EXPECT_EQ(V(kAttrLeftMargin, u"-10"), 0x8000000Au);
    EXPECT_EQ(Length::Value(V(kAttrLeftMargin, u"-10")), -10);
    EXPECT_EQ(V(kAttrTopMargin, u"-0"), 0u);
    EXPECT_EQ(V(kAttrWidth, u"150%"), Length::kPercent | 150u);
    EXPECT_TRUE(Fails(kAttrWidth, u"12px"));
    EXPECT_TRUE(Fails(kAttrWidth, u"%"));
    EXPECT_TRUE(Fails(kAttrWidth, u"em"));
    EXPECT_TRUE(Fails(kAttrWidth, u"1 2"));
    EXPECT_TRUE(Fails(kAttrWidth, u"--1"));
    EXPECT_TRUE(Fails(kAttrWidth, u"1.5em"));
}

TEST(Lengths, HugeMagnitudesFailInsteadOfSpillingIntoTheUnitBits) {
    EXPECT_EQ(V(kAttrWidth, u"268435455"), 0x0FFFFFFFu);
    EXPECT_TRUE(Fails(kAttrWidth, u"268435456"));
    EXPECT_TRUE(Fails(kAttrWidth, u"99999999999999999999%"));
    EXPECT_TRUE(Fails(kAttrWidth, u"-4294967296"));
}

TEST(Numbers, DigitsOnly) {
    EXPECT_EQ(V(kAttrBorder, u"3"), 3u);
    EXPECT_EQ(V(kAttrColSpan, u" 12 "), 12u);
    EXPECT_EQ(V(kTagSpan, u"2"), 2u);
    EXPECT_EQ(V(kAttrRecIndex, u"4294967295"), 0xFFFFFFFFu);
    EXPECT_TRUE(Fails(kAttrRecIndex, u"4294967296"));
    EXPECT_TRUE(Fails(kAttrBorder, u"-1"));
    EXPECT_TRUE(Fails(kAttrBorder, u"+1"));
    EXPECT_TRUE(Fails(kAttrBorder, u""));
    EXPECT_TRUE(Fails(kAttrCellPadding, u"3px"));
}

TEST(FilePositions, NoPositionRelativeAndAbsolute) {
    EXPECT_EQ(V(kAttrFilePos, u"XXXXXXXXXX"), 0xFFFFFFFFu);
    EXPECT_EQ(V(kAttrFilePos, u""), 0xFFFFFFFFu);
    EXPECT_EQ(V(kAttrFilePos, u"+120"), 0x80000078u);
    EXPECT_EQ(V(kAttrFilePos, u"-120"), static_cast<uint32_t>(-120));
    EXPECT_EQ(V(kAttrFilePos, u"0001234"), 1234u);
    EXPECT_TRUE(Fails(kAttrFilePos, u"xxxx"));  // only capital X means "none"
    EXPECT_TRUE(Fails(kAttrFilePos, u"12X"));
    EXPECT_TRUE(Fails(kAttrFilePos, u"+"));
    EXPECT_TRUE(Fails(kAttrFilePos, u"+2147483648"));
}

TEST(SignedNumbers, SizeAndTabIndexMarkRelativeValues) {
    EXPECT_EQ(V(kAttrSize, u"3"), 3u);
    uint32_t plus = V(kAttrSize, u"+3");
    EXPECT_EQ(plus, 0x40000003u);
    EXPECT_EQ(AttributeValue::RelativeNumber(plus), 3);
    uint32_t minus = V(kAttrTabIndex, u"-100");
    EXPECT_TRUE(minus & AttributeValue::kRelativeNumber);
    EXPECT_EQ(AttributeValue::RelativeNumber(minus), -100);
    EXPECT_TRUE(Fails(kAttrSize, u"+"));
    EXPECT_TRUE(Fails(kAttrSize, u"3a"));
    EXPECT_TRUE(Fails(kAttrSize, u"+2147483648"));
    // Past 28 bits a plain number would read as relative, a relative one lose its value.
    EXPECT_EQ(V(kAttrSize, u"268435455"), 0x0FFFFFFFu);
    EXPECT_TRUE(Fails(kAttrSize, u"1073741827"));
    EXPECT_EQ(AttributeValue::RelativeNumber(V(kAttrTabIndex, u"-268435455")), -268435455);
    EXPECT_TRUE(Fails(kAttrTabIndex, u"-268435456"));
}

TEST(Others, FlagsKeysAndLanguages) {
    for (uint32_t id : {uint32_t{kAttrChecked}, uint32_t{kAttrDisabled}, uint32_t{kAttrReadOnly},
                        uint32_t{kAttrMultiple}, uint32_t{kAttrFvtNu}, uint32_t{kAttrSelected},
                        uint32_t{kAttrInline}})
        EXPECT_EQ(V(id, u"whatever"), 1u);
    EXPECT_EQ(V(kAttrChecked, u""), 1u);
    EXPECT_EQ(V(kAttrAccessKey, u" k "), static_cast<uint32_t>(u'k'));
    EXPECT_TRUE(Fails(kAttrAccessKey, u"ab"));
    EXPECT_TRUE(Fails(kAttrAccessKey, u""));
    EXPECT_EQ(V(kAttrLang, u"en"), 9u);
    EXPECT_EQ(V(kAttrLang, u"EN-GB"), 0x0809u);
    EXPECT_EQ(V(kAttrLang, u"fr_CA"), 0x0C0Cu);
    EXPECT_TRUE(Fails(kAttrLang, u"klingon"));
    EXPECT_TRUE(Fails(kAttrLang, u""));
}

TEST(Others, TextValuedAndUnknownIdsDoNotConvert) {
    EXPECT_TRUE(Fails(kAttrHref, u"12"));
    EXPECT_TRUE(Fails(kAttrName, u"x"));
    EXPECT_TRUE(Fails(0, u"1"));
    EXPECT_TRUE(Fails(9999, u"1"));
}

TEST(TokenSources, TheTokenizerConvertsThroughTheInstalledParser) {
    MemoryDocument doc(u"<p align=center width=\"50%\" href=x border=junk>");
    HtmlTokenizer t(false);
    ASSERT_TRUE(t.Attach(&doc, 0));
    ASSERT_TRUE(t.Start(0, false));
    ASSERT_EQ(t.NextToken(), kTokenTag);
    uint32_t v = 0;
    EXPECT_TRUE(t.GetAttributeValue(kAttrAlign, v));
    EXPECT_EQ(v, 3u);
    EXPECT_TRUE(t.GetAttributeValue(kAttrWidth, v));
    EXPECT_EQ(v, Length::kPercent | 50u);
    EXPECT_FALSE(t.GetAttributeValue(kAttrHref, v));
    EXPECT_FALSE(t.GetAttributeValue(kAttrBorder, v));
    EXPECT_FALSE(t.GetAttributeValue(kAttrColor, v));
}

}  // namespace
