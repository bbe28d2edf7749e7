#include "core/html.h"

#include <gtest/gtest.h>

#include <string>

#include "core/string.h"
#include "core/text.h"

namespace {

std::u16string Decode(const char16_t* s) {
    Text in;
    in.FromWide(s);
    Text out;
    EXPECT_TRUE(Html::DecodeEntities(in, out, false));
    return std::u16string(out.WideCStr());
}

TEST(HtmlDecode, NumericReferencesInBothBases) {
    EXPECT_EQ(Decode(u"&#x41;&#65;&#128;"), u"AA\u20AC");
    EXPECT_EQ(Decode(u"&#150;"), u"\u2013");
    EXPECT_EQ(Decode(u"&#X1F600;x"), u"\U0001F600x");
    EXPECT_EQ(Decode(u"a&#9;b&#13;c"), u"a b c");
}

TEST(HtmlDecode, InvalidValuesBecomeReplacementCharacters) {
    EXPECT_EQ(Decode(u"&#xD800;"), u"\uFFFD");
    EXPECT_EQ(Decode(u"&#x110000;"), u"\uFFFD");
    EXPECT_EQ(Decode(u"&#99999999999999999999;"), u"\uFFFD");
    EXPECT_EQ(Decode(u"&#0;"), u"\uFFFD");
}

TEST(HtmlDecode, NamedReferencesAreCaseSensitiveAndSemicolonOptional) {
    EXPECT_EQ(Decode(u"&eacute;&Eacute&amp;"), u"\u00E9\u00C9&");
    EXPECT_EQ(Decode(u"&EACUTE;"), u"&EACUTE;");
    EXPECT_EQ(Decode(u"AT&T & co &#;&#x;"), u"AT&T & co &#;&#x;");
}

TEST(HtmlDecode, EmbeddedNulDoesNotCutTheText) {
    Text in;
    const char16_t chars[] = {u'a', 0, u'&', u'l', u't', u';'};
    in.FromWide(chars, 6);
    Text out;
    ASSERT_TRUE(Html::DecodeEntities(in, out, false));
    String s;
    ASSERT_TRUE(s.AssignFromText(out));
    EXPECT_EQ(s.Length(), 3);
    EXPECT_EQ(s.At(2), u'<');
}

TEST(HtmlDecode, WideSpacesReadAsNoBreakSpace) {
    EXPECT_EQ(Decode(u"&emsp;&#x2003;&ensp;&thinsp;"), u"\u00A0\u00A0\u00A0\u00A0");
    EXPECT_EQ(Decode(u"&zwnj;"), u"\u200C");
}

TEST(HtmlEncode, FourCharactersBecomeReferences) {
    Text in;
    in.FromWide(u"a<b>\"c\"&d\u00E9");
    Text out;
    ASSERT_TRUE(Html::DecodeEntities(in, out, true));
    EXPECT_EQ(std::u16string(out.WideCStr()), u"a&lt;b&gt;&quot;c&quot;&amp;d\u00E9");
}

TEST(HtmlDecode, InPlaceOnUtf8Text) {
    Text t;
    t.AssignUtf8("Caf&eacute; &amp; Cr&egrave;me");
    ASSERT_TRUE(Html::DecodeEntities(t));
    EXPECT_EQ(std::u16string(t.WideCStr()), u"Caf\u00E9 & Cr\u00E8me");
    EXPECT_EQ(t.CodePage(), 65001);
}

TEST(EntityTable, IdsFollowCodePointOrder) {
    const EntityFallback::Record* r = EntityFallback::Records();
    EXPECT_EQ(r[0].codePoint, 0);
    for (int id = 2; id <= EntityFallback::kMaxId; ++id)
        EXPECT_LT(r[id - 1].codePoint, r[id].codePoint) << id;
    EXPECT_STREQ(EntityFallback::Name(151), "sigmaf");
    EXPECT_STREQ(EntityFallback::Name(253), "diams");
    EXPECT_EQ(EntityFallback::Find(0x2003), 163);
    EXPECT_EQ(EntityFallback::Find(0x200C), EntityFallback::kZwnjId);
    EXPECT_EQ(EntityFallback::Find(0x2329), 247);
    EXPECT_EQ(EntityFallback::Find(0x27E8), 0);
    EXPECT_EQ(EntityFallback::Replacement(163), 0xA0);
    EXPECT_EQ(EntityFallback::Replacement(EntityFallback::kZwnjId), 0);
    EXPECT_EQ(EntityFallback::Replacement(2), u'&');
    EXPECT_EQ(EntityFallback::Replacement(254), 0);
    EXPECT_EQ(EntityFallback::Replacement(0), 0);
}

}  // namespace
