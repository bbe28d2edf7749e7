// Styles of nested elements computed from the rule table, the document defaults and the
// attributes; packed lengths; link targets and merged borders.
#include <gtest/gtest.h>

#include <string>

#include "core/color.h"
#include "document/markup/attribute_value.h"
#include "document/markup/box_sides.h"
#include "document/markup/keyword_tree.h"
#include "document/markup/length.h"
#include "document/markup/link_target.h"
#include "document/markup/render_state.h"
#include "support/document/tag_source.h"

namespace {

String S(const char16_t* s) {
    return String(s);
}

DocumentDefaults Defaults() {
    DocumentDefaults d;
    d.style.text.color = Color::Pack(0, 0, 0);
    d.style.text.background = Color::kNone;
    d.style.lengths[kWidth] = Length::kNotSet;
    d.style.lengths[kHeight] = Length::kNotSet;
    d.style.blockBackground = Color::kNone;
    d.style.borderColor = Color::kNone;
    d.style.cellBackground = Color::kNone;
    d.linkColor = Color::Pack(0, 0, 255);
    d.underlineLinks = true;
    return d;
}

// Computes the states of a chain of start tags, each inside the one before.
class Nesting {
public:
    explicit Nesting(DocumentDefaults d = Defaults()) : defaults(d) { states.push_back(d.style); }

    RenderState& Open(TagSource& tag) {
        RenderState out;
        RenderState& parent = states.back();
        hadRule = RenderState::FromElement(tag, defaults, parent, out, isBlock, textChanged,
                                           boxChanged, linkChanged);
        states.push_back(out);
        return states.back();
    }
    RenderState& Open(uint32_t id,
                      std::initializer_list<std::pair<uint32_t, std::u16string>> attrs = {}) {
        TagSource tag(id, attrs);
        return Open(tag);
    }
    void Close() { states.pop_back(); }

    DocumentDefaults defaults;
    std::vector<RenderState> states;
    bool hadRule = false, isBlock = false, textChanged = false, boxChanged = false,
         linkChanged = false;
};

uint32_t Vertical(const RenderState& s) {
    return s.text.style >> 4;
}

TEST(RuleTable, SortedAndEveryRuleFound) {
    EXPECT_EQ(StyleRules::Count(), 50u);
    for (uint32_t i = 0; i < StyleRules::Count(); ++i) {
        if (i > 0) {
            EXPECT_LT(StyleRules::IdAt(i - 1), StyleRules::IdAt(i));
        }
        EXPECT_NE(StyleRules::Find(StyleRules::IdAt(i)), nullptr);
    }
    EXPECT_EQ(StyleRules::Find(25), nullptr);  // Q
    EXPECT_EQ(StyleRules::Find(50), nullptr);  // IMG
    EXPECT_EQ(StyleRules::Find(0), nullptr);
    EXPECT_EQ(StyleRules::Find(500), nullptr);
}

TEST(RuleTable, EveryStyledTagTakesDisplayBreakAndLevelFromItsRule) {
    for (uint32_t i = 0; i < StyleRules::Count(); ++i) {
        uint32_t id = StyleRules::IdAt(i);
        const StyleRule* rule = StyleRules::Find(id);
        Nesting n;
        RenderState& s = n.Open(id);
        EXPECT_TRUE(n.hadRule) << id;
        EXPECT_EQ(s.display, rule->display) << id;
        EXPECT_EQ(s.level, rule->level) << id;
        EXPECT_EQ(n.isBlock, rule->breakKind != 0 || rule->level != 0) << id;
        EXPECT_EQ(s.boxFlags & kBoxOwnBackground, 0u) << id;
        EXPECT_GE(s.text.size, TextStyle::kMinSize) << id;
        EXPECT_LE(s.text.size, TextStyle::kMaxSize) << id;
    }
}

TEST(Headings, SizesAndBoldAsTheRulesSay) {
    Nesting n;
    n.Open(kTagBody);
    RenderState& h1 = n.Open(kTagH1);
    EXPECT_TRUE(n.hadRule);
    EXPECT_TRUE(n.isBlock);
    EXPECT_TRUE(n.textChanged);
    EXPECT_TRUE(n.boxChanged);
    EXPECT_EQ(h1.text.size, 8);
    EXPECT_EQ(h1.text.style & kStyleBold, 0);
    EXPECT_EQ(h1.breakKind, 3u);
    EXPECT_EQ(h1.display, kDisplayBlock);
    EXPECT_EQ(h1.level, 2u);
    n.Close();
    RenderState& h3 = n.Open(9);
    EXPECT_EQ(h3.text.size, 4);
    EXPECT_EQ(h3.text.style & kStyleBold, kStyleBold);
    EXPECT_EQ(h3.breakKind, 1u);
}

TEST(Headings, BoldParentDoesNotMakeH1Bold) {
    Nesting n;
    n.Open(18);  // B
    EXPECT_EQ(n.states.back().text.style & kStyleBold, kStyleBold);
    EXPECT_EQ(n.Open(kTagH1).text.style & kStyleBold, 0);
}

TEST(Sizes, SmallBigSubSup) {
    Nesting n;
    EXPECT_EQ(n.Open(14).text.size, -2);
    EXPECT_EQ(n.Open(14).text.size, -4);
    n.Close();
    n.Close();
    n.Open(13);
    EXPECT_EQ(n.Open(14).text.size, 0);
    n.Close();
    n.Close();
    RenderState& sub = n.Open(78);
    EXPECT_EQ(sub.text.size, -2);
    EXPECT_EQ(Vertical(sub), 7u);
    RenderState& sup = n.Open(79);  // SUP inside SUB: its own position wins
    EXPECT_EQ(sup.text.size, -4);
    EXPECT_EQ(Vertical(sup), 6u);
}

TEST(Sizes, DeepNestingSaturatesInsteadOfWrapping) {
    Nesting n;
    for (int i = 0; i < 200; ++i) n.Open(14);
    EXPECT_EQ(n.states.back().text.size, TextStyle::kMinSize);
    Nesting b;
    for (int i = 0; i < 200; ++i) b.Open(13);
    EXPECT_EQ(b.states.back().text.size, TextStyle::kMaxSize);
}

TEST(Fonts, SizeAttributeForms) {
    Nesting n;
    EXPECT_EQ(n.Open(kTagFont, {{kAttrSize, u"+1"}}).text.size, 2);
    EXPECT_EQ(n.Open(kTagFont, {{kAttrSize, u"-2"}}).text.size, -2);
    n.Close();
    n.Close();
    EXPECT_EQ(n.Open(kTagFont, {{kAttrSize, u"5"}}).text.size, 4);
    EXPECT_EQ(n.Open(kTagFont, {{kAttrSize, u"9"}}).text.size, 4);  // unchanged
    EXPECT_EQ(n.Open(kTagFont, {{kAttrSize, u"0"}}).text.size, 4);  // unchanged
    EXPECT_EQ(n.Open(kTagFont, {{kAttrSize, u"1"}}).text.size, -4);
    EXPECT_EQ(n.Open(kTagFont, {{kAttrSize, u"junk"}}).text.size, -4);
}

TEST(Fonts, HugeRelativeSizesKeepTheirSignAndSaturate) {
    Nesting n;
    EXPECT_EQ(n.Open(kTagFont, {{kAttrSize, u"+63"}}).text.size, TextStyle::kMaxSize);
    n.Close();
    EXPECT_EQ(n.Open(kTagFont, {{kAttrSize, u"-100"}}).text.size, TextStyle::kMinSize);
    n.Close();
    EXPECT_EQ(n.Open(kTagFont, {{kAttrSize, u"+200000000"}}).text.size, TextStyle::kMaxSize);
}

class Faces : public FontResolver {
public:
    uint8_t ResolveFace(const String& name) override {
        asked = name;
        return name.EqualsAscii("Verdana") ? 7 : 0;
    }
    String asked;
};

TEST(Fonts, FaceIsTrimmedCutAtTheCommaAndResolved) {
    Faces faces;
    DocumentDefaults d = Defaults();
    d.fontResolver = &faces;
    Nesting n(d);
    RenderState& f = n.Open(
        kTagFont,
        {{kAttrFace, u"  Verdana , Arial"}, {kAttrColor, u"red"}, {kAttrBgColor, u"#00ff00"}});
    EXPECT_TRUE(faces.asked.EqualsAscii("Verdana"));
    EXPECT_EQ(f.text.face, 7);
    EXPECT_EQ(f.text.color, Color::Pack(255, 0, 0));
    EXPECT_EQ(f.text.background, Color::Pack(0, 255, 0));
    EXPECT_TRUE(n.textChanged);
    EXPECT_EQ(n.Open(kTagFont, {{kAttrFace, u"Unknown"}}).text.face, 7);  // 0 keeps the face
    Nesting none;  // no resolver: FACE is ignored
    EXPECT_EQ(none.Open(kTagFont, {{kAttrFace, u"Verdana"}}).text.face, 0);
}

TEST(Faces, CodeIsFixedPitch) {
    Nesting n;
    EXPECT_EQ(n.Open(22).text.face, 2);
    EXPECT_EQ(n.Open(16).text.style & kStyleItalic, kStyleItalic);
    EXPECT_EQ(n.states.back().text.face, 2);
}

TEST(Links, HrefGetsLinkColourAndUnderline) {
    Nesting n;
    RenderState& a = n.Open(kTagA, {{kAttrHref, u"b.html"}});
    ASSERT_TRUE(a.text.link);
    EXPECT_EQ(a.text.link->kind, kLinkAddress);
    EXPECT_TRUE(a.text.link->text.EqualsAscii("b.html"));
    EXPECT_EQ(a.text.color, Color::Pack(0, 0, 255));
    EXPECT_EQ(a.text.style & kStyleUnderline, kStyleUnderline);
    EXPECT_TRUE(n.linkChanged);
    EXPECT_TRUE(n.textChanged);
    EXPECT_FALSE(n.isBlock);
}

TEST(Links, NoUnderlineWithFvtNuOrWhenLinksAreNotUnderlined) {
    Nesting n;
    n.Open(15);  // U
    RenderState& a = n.Open(kTagA, {{kAttrHref, u"x"}, {kAttrFvtNu, u""}});
    EXPECT_EQ(a.text.style & kStyleUnderline, 0);
    DocumentDefaults d = Defaults();
    d.underlineLinks = false;
    Nesting m(d);
    EXPECT_EQ(m.Open(kTagA, {{kAttrHref, u"x"}}).text.style & kStyleUnderline, 0);
    // The FVT:NU element clears the underline of what it holds.
    Nesting k;
    k.Open(kTagA, {{kAttrHref, u"x"}});
    EXPECT_EQ(k.Open(kAttrFvtNu).text.style & kStyleUnderline, 0);
    EXPECT_TRUE(k.states.back().text.link);
}

TEST(Links, ExplicitColourWins) {
    Nesting n;
    RenderState& a = n.Open(kTagA, {{kAttrHref, u"x"}, {kAttrColor, u"#102030"}});
    EXPECT_EQ(a.text.color, Color::Pack(0x10, 0x20, 0x30));
}

TEST(Links, FilePositionOnClickAndName) {
    Nesting n;
    RenderState& a =
        n.Open(kTagA, {{kAttrFilePos, u"00120"}, {kAttrHref, u"x"}, {kAttrName, u"n1"}});
    ASSERT_TRUE(a.text.link);
    EXPECT_EQ(a.text.link->kind, kLinkFilePosition);
    EXPECT_EQ(a.text.link->number, 120u);
    EXPECT_TRUE(a.text.link->name.EqualsAscii("n1"));
    n.Close();
    // A FILEPOS of no position falls back to HREF.
    RenderState& b = n.Open(kTagA, {{kAttrFilePos, u"XXXX"}, {kAttrHref, u"y"}});
    EXPECT_EQ(b.text.link->kind, kLinkAddress);
    n.Close();
    RenderState& c = n.Open(kTagA, {{kAttrHref, u"y"}, {kAttrOnClick, u"go()"}});
    EXPECT_EQ(c.text.link->kind, kLinkScript);
    EXPECT_TRUE(c.text.link->text.EqualsAscii("go()"));
    n.Close();
    RenderState& d = n.Open(kTagA, {{kAttrName, u"anchor"}});
    EXPECT_FALSE(d.text.link);
    EXPECT_EQ(d.text.color, 0u);
}

TEST(Titles, OwnTargetCopiedFromASharedParentLink) {
    Nesting n;
    RenderState& a = n.Open(kTagA, {{kAttrHref, u"x"}});
    LinkTarget* parentLink = a.text.link.Get();
    RenderState& span = n.Open(kTagSpan, {{kAttrTitle, u"Tip"}, {kAttrName, u"s"}});
    ASSERT_TRUE(span.text.link);
    EXPECT_NE(span.text.link.Get(), parentLink);
    EXPECT_EQ(span.text.link->kind, kLinkAddress);
    EXPECT_TRUE(span.text.link->text.EqualsAscii("x"));
    EXPECT_TRUE(span.text.link->secondText.EqualsAscii("Tip"));
    EXPECT_TRUE(span.text.link->name.EqualsAscii("s"));
    // The parent's target is untouched.
    EXPECT_TRUE(parentLink->secondText.IsEmpty());
    EXPECT_TRUE(parentLink->name.IsEmpty());
    n.Close();
    n.Close();
    RenderState& p = n.Open(kTagP, {{kAttrTitle, u"Only"}});
    ASSERT_TRUE(p.text.link);
    EXPECT_EQ(p.text.link->kind, kLinkTitleOnly);
    EXPECT_TRUE(p.text.link->secondText.EqualsAscii("Only"));
}

TEST(Titles, ALinkSharedWithTheDefaultsIsCopiedToo) {
    DocumentDefaults d = Defaults();
    d.style.text.link = RefPtr<LinkTarget>::Adopt(new LinkTarget());
    d.style.text.link->kind = kLinkAddress;
    Nesting n(d);
    n.Open(kTagSpan);
    RenderState& t = n.Open(kTagTable, {{kAttrTitle, u"T"}});  // the defaults' text record
    ASSERT_TRUE(t.text.link);
    EXPECT_NE(t.text.link.Get(), d.style.text.link.Get());
    EXPECT_TRUE(d.style.text.link->secondText.IsEmpty());
    EXPECT_TRUE(t.text.link->secondText.EqualsAscii("T"));
}

TEST(Modes, LengthModesOfAHandMadeRule) {
    DocumentDefaults d = Defaults();
    d.style.lengths[kThirdLength] = 40;
    StyleRule rule{};
    rule.modes[1] = 5;
    rule.modes[11] = 6;  // count up
    rule.modes[12] = 2;  // parent minus rule
    rule.modes[13] = 4;  // default
    rule.modes[14] = 3;  // rule
    rule.lengths[kLeftMargin] = 1;
    rule.lengths[kWidth] = 30;
    rule.lengths[kHeight] = Length::kPercent | 7u;
    RenderState parent = d.style;
    parent.lengths[kLeftMargin] = 5;
    parent.lengths[kWidth] = 20;
    parent.lengths[kThirdLength] = 9;
    RenderState a, b;
    bool isBlock = true, t = true, x = false;
    ComputeTextStyle(d, parent, rule, a, isBlock, t, x);
    EXPECT_FALSE(isBlock);
    EXPECT_FALSE(t);
    EXPECT_TRUE(x);
    EXPECT_EQ(a.lengths[kLeftMargin], 5u);
    EXPECT_EQ(parent.lengths[kLeftMargin], 6u);  // the next sibling counts on
    EXPECT_EQ(a.lengths[kWidth], Length::kNegative | 10u);
    EXPECT_EQ(a.lengths[kThirdLength], 40u);
    EXPECT_EQ(a.lengths[kHeight], Length::kPercent | 7u);
    ComputeTextStyle(d, parent, rule, b, isBlock, t, x);
    EXPECT_EQ(b.lengths[kLeftMargin], 6u);
}

TEST(Languages, FromTheParentUnlessLang) {
    Nesting n;
    n.states.back().text.language = 9;
    EXPECT_EQ(n.Open(kTagP).text.language, 9u);
    EXPECT_EQ(n.Open(44).text.language, 9u);  // TABLE resets the text, not the language
    EXPECT_EQ(n.Open(kTagSpan, {{kAttrLang, u"fr"}}).text.language, 12u);
    EXPECT_TRUE(n.textChanged);
    EXPECT_EQ(n.Open(kTagSpan, {{kAttrLang, u"zz"}}).text.language, 12u);
}

TEST(Tables, TableResetsTextToTheDefaults) {
    Nesting n;
    n.Open(18);
    n.Open(14);
    RenderState& t = n.Open(kTagTable);
    EXPECT_EQ(t.text.size, 0);
    EXPECT_EQ(t.text.style, 0);
    EXPECT_EQ(t.display, kDisplayTable);
    EXPECT_EQ(t.level, 4u);
    RenderState& tr = n.Open(kTagTr, {{kAttrAlign, u"right"}, {kAttrBgColor, u"red"}});
    EXPECT_EQ(tr.alignment, 2u);
    EXPECT_EQ(tr.cellBackground, Color::Pack(255, 0, 0));
    RenderState& th = n.Open(47, {{kAttrBgColor, u"blue"}});
    EXPECT_EQ(th.text.style & kStyleBold, kStyleBold);
    EXPECT_EQ(th.cellBackground, Color::Pack(0, 0, 255));
    EXPECT_EQ(n.Open(kTagTd).cellBackground, Color::Pack(0, 0, 255));
}

TEST(Blocks, NestedBlockquoteMarginsAddUp) {
    Nesting n;
    EXPECT_EQ(n.Open(34).lengths[kLeftMargin], Length::kMultiple | 1u);
    EXPECT_EQ(n.Open(34).lengths[kLeftMargin], Length::kMultiple | 2u);
    EXPECT_EQ(n.Open(kTagP).lengths[kLeftMargin], Length::kMultiple | 2u);
}

TEST(Blocks, AlignBackgroundAndBorder) {
    Nesting n;
    RenderState& div =
        n.Open(36, {{kAttrAlign, u"center"}, {kAttrBgColor, u"#804020"}, {kAttrBorder, u"1"}});
    EXPECT_EQ(div.alignment, 3u);
    EXPECT_EQ(div.blockBackground, Color::Pack(0x80, 0x40, 0x20));
    EXPECT_EQ(div.boxFlags & (kBoxBorder | kBoxOwnBackground), kBoxBorder | kBoxOwnBackground);
    EXPECT_EQ(div.borderColor, Color::Pack(0x40, 0x20, 0x10));
    // The own-background flag is not inherited; the border flag is.
    RenderState& inner = n.Open(36);
    EXPECT_EQ(inner.boxFlags & kBoxOwnBackground, 0u);
    EXPECT_EQ(inner.boxFlags & kBoxBorder, kBoxBorder);
    RenderState& same = n.Open(36, {{kAttrBgColor, u"#804020"}});
    EXPECT_EQ(same.boxFlags & kBoxOwnBackground, 0u);
}

TEST(Blocks, BorderWithoutBackgroundKeepsNoColour) {
    Nesting n;
    RenderState& div = n.Open(36, {{kAttrBorder, u"2"}});
    EXPECT_TRUE(Color::IsNone(div.borderColor));
    RenderState& given = n.Open(36, {{kAttrBorder, u"2"}, {kAttrBorderColor, u"lime"}});
    EXPECT_EQ(given.borderColor, Color::Pack(0, 255, 0));
}

TEST(Blocks, WidthHeightAndParagraphs) {
    Nesting n;
    RenderState& p = n.Open(kTagP);
    EXPECT_EQ(p.lengths[kHeight], 6u);
    EXPECT_FALSE(Length::IsSet(p.lengths[kWidth]));  // P not centred keeps it unset
    n.Close();
    RenderState& left = n.Open(kTagP, {{kAttrAlign, u"left"}});
    EXPECT_FALSE(Length::IsSet(left.lengths[kWidth]));
    n.Close();
    RenderState& c = n.Open(kTagP, {{kAttrAlign, u"center"}, {kAttrHeight, u"3em"}});
    EXPECT_EQ(c.lengths[kWidth], 0u);
    EXPECT_EQ(c.lengths[kHeight], Length::kMultiple | 3u);
    n.Close();
    EXPECT_EQ(n.Open(36).lengths[kWidth], 0u);  // other blocks: not set becomes 0
    n.Close();
    RenderState& d = n.Open(36, {{kAttrWidth, u"50%"}});
    EXPECT_EQ(d.lengths[kWidth], Length::kPercent | 50u);
    RenderState& br = n.Open(kTagBr, {{kAttrHeight, u"10"}});
    EXPECT_EQ(br.display, kDisplayBreak);
    EXPECT_EQ(br.lengths[kHeight], 10u);
    EXPECT_EQ(br.lengths[kFifthLength], 0u);
    EXPECT_EQ(br.breakKind, 2u);
}

TEST(Blocks, RulesAsBlocksWithTheDefaultsFlag) {
    Nesting plain;
    RenderState& hr = plain.Open(kTagHr);
    EXPECT_EQ(hr.breakKind, 3u);
    EXPECT_EQ(hr.level, 0u);
    DocumentDefaults d = Defaults();
    d.blockRules = true;
    Nesting n(d);
    RenderState& hr2 = n.Open(kTagHr);
    EXPECT_EQ(hr2.breakKind, 1u);
    EXPECT_EQ(hr2.level, 1u);
    EXPECT_TRUE(n.isBlock);
    n.Close();
    EXPECT_EQ(n.Open(kTagH1).breakKind, 1u);
}

TEST(Lists, KindsAndStartValues) {
    Nesting n;
    RenderState& ul = n.Open(38);
    EXPECT_EQ(ul.ListKind(), 1u);
    EXPECT_EQ(ul.listBits & 4u, 4u);
    EXPECT_EQ(ul.lengths[kLeftMargin], Length::kMultiple | 1u);
    RenderState& li = n.Open(kTagLi, {{kAttrValue, u"5"}});
    EXPECT_EQ(li.ListKind(), 1u);
    EXPECT_EQ(li.ListStart(), 0u);  // VALUE counts in ordered lists only
    EXPECT_EQ(li.level, 1u);
    n.Close();
    n.Close();
    RenderState& ol = n.Open(39);
    EXPECT_EQ(ol.ListKind(), 2u);
    EXPECT_EQ(ol.ListStart(), 1u);
    EXPECT_EQ(n.Open(kTagLi, {{kAttrValue, u" 7 "}}).ListStart(), 7u);
    n.Close();
    EXPECT_EQ(n.Open(kTagLi, {{kAttrValue, u"70000"}}).ListStart(), 0u);
}

TEST(Unstyled, TagsWithoutARuleCopyTheParent) {
    Nesting n;
    n.Open(14);
    RenderState& img = n.Open(50, {{kAttrColor, u"red"}, {kAttrTitle, u"t"}});
    EXPECT_FALSE(n.hadRule);
    EXPECT_FALSE(n.textChanged || n.boxChanged || n.isBlock || n.linkChanged);
    EXPECT_EQ(img, n.states[1]);
}

TEST(Unstyled, OutMayBeTheParentItself) {
    DocumentDefaults d = Defaults();
    RenderState s = d.style;
    bool b, t, x, l;
    TagSource big(13, {});
    EXPECT_TRUE(RenderState::FromElement(big, d, s, s, b, t, x, l));
    EXPECT_EQ(s.text.size, 2);
}

TEST(LengthValues, ResolveEachUnit) {
    EXPECT_EQ(Length::Resolve(25, 10, 200), 25);
    EXPECT_EQ(Length::Resolve(Length::kMultiple | 3u, 10, 200), 30);
    EXPECT_EQ(Length::Resolve(Length::kPercent | 50u, 10, 200), 100);
    EXPECT_EQ(Length::Resolve(0x30000000u | 77u, 10, 200), 1);
    EXPECT_EQ(Length::Resolve(0x8000000Au, 10, 200), -10);
    EXPECT_EQ(Length::Resolve(Length::kMultiple | 0x8000000Au, 10, 200), -100);
    EXPECT_EQ(Length::Resolve(Length::kMultiple | 0x0FFFFFFFu, 1000, 0), INT32_MAX);
}

TEST(LengthValues, CombineSignedValuesAndUnits) {
    EXPECT_EQ(Length::Combine(0x8000000Au, 1u, 1), 0x80000009u);  // -10 + 1 = -9
    EXPECT_EQ(Length::Combine(3u, 5u, -1), 0x80000002u);          // 3 - 5 = -2
    EXPECT_EQ(Length::Combine(Length::kMultiple | 2u, Length::kMultiple | 2u, -1),
              Length::kMultiple);
    EXPECT_EQ(Length::Combine(Length::kNotSet | 4u, 1u, 1), 5u);  // the not-set bit goes
    EXPECT_EQ(Length::Combine(0x0FFFFFFFu, 0x0FFFFFFFu, 1), 0x0FFFFFFFu);
    // Units differ: the parent when nonzero, else the rule.
    EXPECT_EQ(Length::Combine(Length::kPercent | 5u, Length::kMultiple | 1u, 1),
              Length::kPercent | 5u);
    EXPECT_EQ(Length::Combine(Length::kPercent, Length::kMultiple | 1u, 1), Length::kMultiple | 1u);
}

TEST(LinkTargets, SplitNameAtTheFirstGraveAccent) {
    String after, before;
    LinkTarget::SplitName(S(u"dict`head`word"), after, before);
    EXPECT_TRUE(after.EqualsAscii("head`word"));
    EXPECT_TRUE(before.EqualsAscii("dict"));
    LinkTarget::SplitName(S(u"plain"), after, before);
    EXPECT_TRUE(after.EqualsAscii("plain"));
    EXPECT_TRUE(before.IsEmpty());
    LinkTarget::SplitName(S(u"`x"), after, before);
    EXPECT_TRUE(after.EqualsAscii("x"));
    EXPECT_TRUE(before.IsEmpty());
    String self = S(u"a`b");
    LinkTarget::SplitName(self, self, before);
    EXPECT_TRUE(self.EqualsAscii("b"));
    EXPECT_TRUE(before.EqualsAscii("a"));
}

TEST(LinkTargets, Kind10TextJoinsShortIdAndName) {
    auto link = RefPtr<LinkTarget>::Adopt(new LinkTarget());
    ASSERT_TRUE(link->SetKind10Target(S(u"word"), S(u"DICT"), S(u"key"), S(u"Head"), 42, 0x409));
    EXPECT_EQ(link->kind, kLinkIndexTarget);
    EXPECT_TRUE(link->text.EqualsAscii("DICT`word"));
    EXPECT_EQ(link->number, 42u);
    EXPECT_EQ(link->objectKind, 0x409);
    EXPECT_TRUE(link->secondText.EqualsAscii("key"));
    EXPECT_TRUE(link->name.EqualsAscii("Head"));
    String after, before;
    LinkTarget::SplitName(link->text, after, before);
    EXPECT_TRUE(after.EqualsAscii("word"));
    EXPECT_TRUE(before.EqualsAscii("DICT"));
}

TEST(LinkTargets, ColumnsAreCopiedAndClipped) {
    SegArray<LookupMatch> matches;
    for (uint32_t i = 0; i < 5; ++i) {
        LookupMatch m;
        m.position.record = i;
        m.dictionary = 10 + i;
        matches.Append(m);
    }
    LookupMatch fresh;
    EXPECT_EQ(fresh.position.record, 0xFFFFFFFFu);
    EXPECT_EQ(fresh.direct, 1);
    EXPECT_EQ(fresh.dictionary, 0xFFFFFFFFu);
    auto link = RefPtr<LinkTarget>::Adopt(new LinkTarget());
    ASSERT_TRUE(link->SetColumns(matches, 3, 10, S(u"path"), S(u"word"), false));
    EXPECT_EQ(link->kind, kLinkTableSelection);
    EXPECT_EQ(link->ColumnCount(), 2u);
    EXPECT_EQ(link->number, 2u);
    EXPECT_EQ(link->Columns()[0].position.record, 3u);
    EXPECT_EQ(link->Columns()[1].dictionary, 14u);
    auto copy = RefPtr<LinkTarget>::Adopt(new LinkTarget());
    ASSERT_TRUE(copy->Assign(*link));
    EXPECT_TRUE(copy->Equals(*link));
    EXPECT_NE(copy->Columns(), link->Columns());
    ASSERT_TRUE(link->SetColumns(matches, 0, 1, S(u"db"), S(u"w"), true));
    EXPECT_EQ(link->kind, kLinkTableSelectionCompact);
    EXPECT_FALSE(copy->Equals(*link));
    ASSERT_TRUE(link->SetColumns(matches, 9, 1, S(u"db"), S(u"w"), true));
    EXPECT_EQ(link->ColumnCount(), 0u);
    link->SetCoordinates(25, 71, 3);
    EXPECT_EQ(link->kind, kLinkCoordinates);
    EXPECT_EQ(link->objectKind, 25);
    EXPECT_EQ(link->methodId, 71);
    EXPECT_EQ(link->number, 3u);
}

TEST(Borders, MergeKeepsTheStrongerSide) {
    BoxSides a, b;
    a.color = Color::kNone;
    a.second = 8;
    b.color = 0x123456;
    b.second = 2;
    a.sides[0] = {1, 0xAA, (3 << 4) | 1};
    b.sides[0] = {2, 0xBB, (5 << 4) | 0};
    a.sides[1] = {1, 0xAA, (3 << 4) | 1};
    b.sides[1] = {2, 0xBB, (3 << 4) | 2};
    a.sides[2] = {1, 0xAA, (3 << 4) | 2};
    b.sides[2] = {2, 0xBB, (3 << 4) | 1};
    a.sides[3] = {1, 0xAA, (1 << 4)};
    b.sides[3] = {2, 0xBB, (9 << 4)};
    a.Merge(b, 0x7);
    EXPECT_EQ(a.color, 0x123456u);
    EXPECT_EQ(a.second, 2u);
    EXPECT_EQ(a.sides[0].color, 0xBBu);  // wider
    EXPECT_EQ(a.sides[0].Width(), 5u);
    EXPECT_EQ(a.sides[0].length, 1u);    // lengths are not merged
    EXPECT_EQ(a.sides[1].color, 0xBBu);  // same width, greater style
    EXPECT_EQ(a.sides[2].color, 0xAAu);  // same width, smaller style
    EXPECT_EQ(a.sides[3].color, 0xAAu);  // not in the mask
    BoxLengths l;
    l.sides[0] = Length::kNotSet;
    l.sides[1] = 4;
    l.sides[2] = Length::kNotSet | 3u;
    l.FillFlagged(9);
    EXPECT_EQ(l.sides[0], 9u);
    EXPECT_EQ(l.sides[1], 4u);
    EXPECT_EQ(l.sides[2], 9u);
    EXPECT_EQ(l.sides[3], 0u);
}

}  // namespace
