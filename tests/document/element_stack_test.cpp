// The element stack: packed entries pushed from tags, walked both ways, saved and restored
// byte for byte, and saved forms from the side file that are short, foreign or corrupt refused.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/byte_stream.h"
#include "core/color.h"
#include "document/markup/attribute_value.h"
#include "document/markup/element_stack.h"
#include "document/markup/html_tokenizer.h"
#include "document/markup/keyword_tree.h"
#include "document/markup/length.h"
#include "document/markup/markup_tags.h"
#include "support/document/memory_document.h"
#include "support/document/style_fixture.h"
#include "support/document/tag_source.h"

namespace {

constexpr uint32_t kTagDiv = 36;
constexpr uint32_t kTagB = 18;

DocumentDefaults Defaults() {
    DocumentDefaults d;
    d.style.text.background = Color::kNone;
    d.style.lengths[kWidth] = Length::kNotSet;
    d.style.blockBackground = Color::kNone;
    d.style.borderColor = Color::kNone;
    d.style.cellBackground = Color::kNone;
    d.linkColor = Color::Pack(0, 0, 200);
    return d;
}

// Pushes tags as the page layout does: the state computed from the parent's, then the entry.
class Layout {
public:
    Layout() : defaults(Defaults()), base(defaults.style) {}

    bool Tag(TokenSource& source) { return PushAsLayout(stack, source, defaults, base); }
    bool Open(uint32_t id, std::initializer_list<std::pair<uint32_t, std::u16string>> attrs = {},
              uint32_t position = 0) {
        TagSource tag(id, attrs, position);
        return Tag(tag);
    }
    bool Close(uint32_t id) {
        TagSource tag;
        tag.End(id);
        return Tag(tag);
    }

    DocumentDefaults defaults;
    RenderState base;
    ElementStack stack;
};

std::vector<uint8_t> Bytes(const ByteStream& s) {
    return std::vector<uint8_t>(s.Data(), s.Data() + s.Size());
}

void SaveTo(const ElementStack& stack, std::vector<uint8_t>& out) {
    ByteStream s;
    ASSERT_TRUE(stack.Save(s));
    out = Bytes(s);
}

ByteStream StreamOf(const std::vector<uint8_t>& bytes) {
    ByteStream s;
    s.WriteBytes(bytes.data(), bytes.size());
    return s;
}

// A stack of a few elements with every kind of attribute.
void BuildSample(Layout& l) {
    l.Open(kTagHtml, {}, 0);
    l.Open(kTagBody, {}, 6);
    l.Open(kTagDiv,
           {{kAttrAlign, u"center"},
            {kAttrBgColor, u"#804020"},
            {kAttrBorder, u"1"},
            {kAttrLang, u"fr"}},
           12);
    l.Open(39, {}, 40);  // OL
    l.Open(kTagLi, {{kAttrValue, u"4"}, {kAttrTitle, u"Fifth \u00e9"}}, 44);
    l.Open(kTagA, {{kAttrHref, u"next.html"}, {kAttrName, u"n"}, {kAttrFvtNu, u""}}, 60);
    l.Open(kTagFont, {{kAttrSize, u"+2"}, {kAttrColor, u"teal"}, {kAttrFace, u"x"}}, 90);
}

TEST(Entries, LayoutOfTextConvertedAndUnconvertedAttributes) {
    Layout l;
    ASSERT_TRUE(l.Open(kTagA,
                       {{kAttrHref, u"u"},
                        {kAttrColor, u"red"},
                        {kAttrWidth, u"junk"},
                        {kAttrName, u"nm"},
                        {kAttrOnClick, u""}},
                       77));
    ElementStack& s = l.stack;
    // id, position, HREF, COLOR x2, NAME, ONCLICK, last = 8 words; three texts.
    ASSERT_EQ(s.WordCount(), 8u);
    uint32_t first = s.WordAt(0);
    EXPECT_EQ(first, kTagA | 8u << 16 | 3u << 24);
    EXPECT_EQ(s.WordAt(7), first);
    EXPECT_EQ(s.WordAt(1), 77u);
    EXPECT_EQ(s.WordAt(2), uint32_t{kAttrHref});
    EXPECT_EQ(s.WordAt(3), kAttrColor | 0xFFFF0000u);
    EXPECT_EQ(s.WordAt(4), Color::Pack(255, 0, 0));
    EXPECT_EQ(s.WordAt(5), kAttrName | 1u << 16);
    EXPECT_EQ(s.WordAt(6), kAttrOnClick | 2u << 16);
    ASSERT_EQ(s.TextCount(), 3u);
    EXPECT_TRUE(s.TextAt(1)->EqualsAscii("nm"));
    EXPECT_TRUE(s.TextAt(2)->IsEmpty());
    EXPECT_EQ(s.AttributeCount(0), 4u);
    // The next entry numbers its texts on from the first's.
    ASSERT_TRUE(l.Open(kTagSpan, {{kAttrTitle, u"t"}}, 80));
    EXPECT_EQ(s.WordAt(10), kAttrTitle | 3u << 16);
}

TEST(Entries, RepeatedAttributesKeepOnlyTheFirst) {
    Layout l;
    l.Open(kTagFont,
           {{kAttrColor, u"bad"}, {kAttrColor, u"red"}, {kAttrFace, u"a"}, {kAttrFace, u"b"}});
    uint32_t v = 0;
    EXPECT_FALSE(l.stack.FindAttribute(0, kAttrColor, v));
    String face;
    ASSERT_TRUE(l.stack.FindAttributeText(0, kAttrFace, face));
    EXPECT_TRUE(face.EqualsAscii("a"));
    EXPECT_EQ(l.stack.TextCount(), 1u);
}

TEST(Entries, FindAttributeStepsOverOneWordTexts) {
    Layout l;
    // A text word right before a converted pair: a walk in steps of two would read the
    // converted value as an attribute word.
    l.Open(kTagDiv,
           {{kAttrName, u"x"}, {kAttrWidth, u"54"}, {kAttrHref, u"h"}, {kAttrHeight, u"7"}});
    uint32_t v = 0;
    ASSERT_TRUE(l.stack.FindAttribute(0, kAttrWidth, v));
    EXPECT_EQ(v, 54u);
    ASSERT_TRUE(l.stack.FindAttribute(0, kAttrHeight, v));
    EXPECT_EQ(v, 7u);
    EXPECT_FALSE(l.stack.FindAttribute(0, kAttrName, v));
    EXPECT_FALSE(l.stack.FindAttribute(0, kAttrAlign, v));
    String t;
    ASSERT_TRUE(l.stack.FindAttributeText(0, kAttrHref, t));
    EXPECT_TRUE(t.EqualsAscii("h"));
    EXPECT_FALSE(l.stack.FindAttributeText(0, kAttrWidth, t));
    EXPECT_FALSE(l.stack.FindAttributeText(5, kAttrHref, t));
    EXPECT_FALSE(l.stack.FindAttribute(-1, kAttrWidth, v));
}

TEST(Entries, EmptyElementsAreNotPushedAndEndTagsPop) {
    Layout l;
    TagSource br(kTagBr, {});
    br.Empty();
    EXPECT_TRUE(l.Tag(br));
    EXPECT_TRUE(l.stack.IsEmpty());
    EXPECT_TRUE(l.Close(kTagHtml));  // nothing to pop
    EXPECT_TRUE(l.Close(kTagDiv));   // neither: never underflows
    EXPECT_TRUE(l.stack.IsEmpty());
    l.Open(kTagHtml);
    l.Open(kTagDiv);
    EXPECT_EQ(l.stack.Count(), 2u);
    l.Close(kTagDiv);
    EXPECT_EQ(l.stack.Count(), 1u);
    EXPECT_EQ(l.stack.WordCount(), 3u);
}

TEST(Entries, TagsTheStackNeverHoldsPushAndPopNothing) {
    Layout l;
    l.Open(kTagHtml);
    l.Open(kTagDiv);
    // HR is empty by the tag table even when the source does not flag it; unknown ids and
    // attribute names are no elements.
    for (uint32_t id : {uint32_t{kTagHr}, 0u, uint32_t{kAttrAlign}, 209u, 70000u}) {
        EXPECT_TRUE(l.Open(id)) << id;
        EXPECT_EQ(l.stack.Count(), 2u) << id;
        EXPECT_TRUE(l.Close(id)) << id;
        EXPECT_EQ(l.stack.Count(), 2u) << id;
    }
    EXPECT_EQ(l.stack.ReadU16At(l.stack.TopOffset()), kTagDiv);
}

TEST(Entries, EveryAttributeOfTheVocabularyTwiceStillFitsOneEntry) {
    // Repeated attributes are kept once, so one entry holds every attribute there is.
    TagSource tag(kTagDiv, {});
    for (int round = 0; round < 2; ++round) {
        for (uint32_t id = 1; id < 256; ++id) {
            uint32_t v;
            if (MarkupTags::IsTextValued(id))
                tag.Add(id, u"t");
            else if (AttributeValue::Parse(id, String(u"1"), v))
                tag.Add(id, u"1");
            else
                tag.Add(id, u"junk");
        }
    }
    Layout l;
    l.Open(kTagHtml);
    EXPECT_TRUE(l.Tag(tag));
    int32_t top = l.stack.TopOffset();
    uint32_t first = l.stack.WordAt(static_cast<uint32_t>(top));
    EXPECT_LE((first >> 16) & 0xFF, ElementStack::kMaxEntryWords);
    EXPECT_EQ(l.stack.WordAt(l.stack.WordCount() - 1), first);
    EXPECT_EQ(l.stack.TextCount(), first >> 24);
    uint32_t v = 0;
    ASSERT_TRUE(l.stack.FindAttribute(top, kAttrBorder, v));
    EXPECT_EQ(v, 1u);
    l.Close(kTagDiv);
    EXPECT_EQ(l.stack.Count(), 1u);
    EXPECT_EQ(l.stack.TextCount(), 0u);
}

TEST(Entries, DepthIsCappedAndEndTagsOfRefusedElementsPopNothing) {
    Layout l;
    for (uint32_t i = 0; i < ElementStack::kMaxEntries; ++i) ASSERT_TRUE(l.Open(kTagDiv));
    EXPECT_FALSE(l.Open(kTagB));
    EXPECT_FALSE(l.Open(kTagB));
    EXPECT_EQ(l.stack.Count(), ElementStack::kMaxEntries);
    l.Close(kTagB);
    l.Close(kTagB);
    EXPECT_EQ(l.stack.Count(), ElementStack::kMaxEntries);
    for (uint32_t i = 0; i < 5000; ++i) l.Close(kTagDiv);
    EXPECT_TRUE(l.stack.IsEmpty());
    EXPECT_EQ(l.stack.WordCount(), 0u);
}

TEST(Walking, BothWaysAndByDepth) {
    Layout l;
    BuildSample(l);
    ElementStack& s = l.stack;
    ASSERT_EQ(s.Count(), 7u);
    std::vector<uint32_t> up;
    for (int32_t o = 0; o >= 0; o = s.NextOffset(o)) up.push_back(s.ReadU16At(o));
    EXPECT_EQ(up,
              (std::vector<uint32_t>{kTagHtml, kTagBody, kTagDiv, 39, kTagLi, kTagA, kTagFont}));
    std::vector<uint32_t> down;
    for (int32_t o = s.TopOffset(); o >= 0; o = s.PreviousOffset(o)) down.push_back(s.ReadU16At(o));
    EXPECT_EQ(down.size(), 7u);
    EXPECT_EQ(down.front(), kTagFont);
    EXPECT_EQ(down.back(), kTagHtml);
    EXPECT_EQ(s.ReadU16At(s.OffsetAtDepth(0)), kTagFont);
    EXPECT_EQ(s.ReadU16At(s.OffsetAtDepth(3)), 39);
    EXPECT_EQ(s.ReadU32At(s.OffsetAtDepth(3)), 40u);
    EXPECT_EQ(s.OffsetAtDepth(6), 0);
    EXPECT_EQ(s.OffsetAtDepth(7), -1);
    int32_t div = s.FindTag(kTagDiv);
    ASSERT_GE(div, 0);
    EXPECT_EQ(s.ReadU32At(div), 12u);
    EXPECT_EQ(s.FindTag(kTagDiv, div), div);
    EXPECT_EQ(s.FindTag(kTagLi, div), -1);  // only downward
    EXPECT_EQ(s.FindTag(kTagTable), -1);
    EXPECT_EQ(s.GetRecordAtDepth(0)->text.size, 4);
    EXPECT_EQ(s.GetRecordAtDepth(4)->alignment, 3u);
    EXPECT_EQ(s.GetRecordAtDepth(7), nullptr);
    EXPECT_EQ(s.NextOffset(9999), -1);
    EXPECT_EQ(s.ReadU16At(-1), 0);
}

TEST(Walking, PopUnlessRootKeepsTheRootEntry) {
    Layout l;
    l.Open(kTagHtml);
    l.Open(kTagBody);
    EXPECT_TRUE(l.stack.PopUnlessRoot(kTagHtml));
    EXPECT_FALSE(l.stack.PopUnlessRoot(kTagHtml));
    EXPECT_EQ(l.stack.Count(), 1u);
    EXPECT_TRUE(l.stack.PopUnlessRoot(kTagBody));  // the bottom entry is not BODY
    EXPECT_FALSE(l.stack.PopUnlessRoot(kTagHtml));
}

TEST(Walking, IteratorAnswersAsTheTagDid) {
    Layout l;
    BuildSample(l);
    ElementStackIterator it(l.stack, l.stack.FindTag(kTagA));
    bool e = true, m = true;
    EXPECT_EQ(it.GetTag(e, m), kTagA);
    EXPECT_FALSE(e || m);
    uint32_t pos = 0;
    EXPECT_TRUE(it.GetPosition(pos));
    EXPECT_EQ(pos, 60u);
    EXPECT_EQ(it.AttributeCount(), 3u);
    EXPECT_EQ(it.Attribute(0), nullptr);
    String t;
    EXPECT_TRUE(it.GetAttributeText(kAttrHref, t));
    EXPECT_TRUE(t.EqualsAscii("next.html"));
    uint32_t v = 0;
    EXPECT_TRUE(it.GetAttributeValue(kAttrFvtNu, v));
    EXPECT_EQ(v, 1u);
}

TEST(Records, PopReleasesTheLinkTarget) {
    Layout l;
    l.Open(kTagA, {{kAttrHref, u"x"}});
    RefPtr<LinkTarget> held(l.stack.GetRecordAtDepth(0)->text.link.Get());
    EXPECT_EQ(held->RefCount(), 2);
    l.stack.Pop();
    EXPECT_EQ(held->RefCount(), 1);
}

TEST(Copies, AssignSwapAndEquals) {
    Layout l;
    BuildSample(l);
    ElementStack copy;
    ASSERT_TRUE(copy.Assign(l.stack));
    EXPECT_TRUE(copy.Equals(l.stack));
    copy.Pop();
    EXPECT_FALSE(copy.Equals(l.stack));
    copy.Swap(l.stack);
    EXPECT_EQ(copy.Count(), 7u);
    EXPECT_EQ(l.stack.Count(), 6u);
    ElementStack moved(std::move(copy));
    EXPECT_EQ(moved.Count(), 7u);
    EXPECT_TRUE(copy.IsEmpty());
    moved.Clear();
    EXPECT_TRUE(moved.IsEmpty());
    EXPECT_EQ(moved.TextCount(), 0u);
}

// The layout copies a page's stack into the one it works with, page after page: what that one
// held before (deeper, with refused elements) never shows through.
TEST(Copies, AssignInPlaceOverADeeperStackKeepsNothingOfIt) {
    Layout sample;
    BuildSample(sample);
    Layout deep;
    for (uint32_t i = 0; i < ElementStack::kMaxEntries; ++i) ASSERT_TRUE(deep.Open(kTagDiv));
    EXPECT_FALSE(deep.Open(kTagB));
    ASSERT_TRUE(deep.stack.AssignInPlace(sample.stack));
    EXPECT_TRUE(deep.stack.Equals(sample.stack));
    EXPECT_EQ(deep.stack.WordCount(), sample.stack.WordCount());
    EXPECT_EQ(deep.stack.TextCount(), sample.stack.TextCount());
    std::vector<uint8_t> a, b;
    SaveTo(deep.stack, a);
    SaveTo(sample.stack, b);
    EXPECT_EQ(a, b);
    // No refused element left over: the next end tag pops.
    deep.Close(kTagFont);
    EXPECT_EQ(deep.stack.Count(), 6u);
    ASSERT_TRUE(deep.stack.AssignInPlace(deep.stack));
    EXPECT_EQ(deep.stack.Count(), 6u);
}

TEST(SaveRestore, RoundTripIsByteExactAndRebuildsTheRecords) {
    Layout l;
    BuildSample(l);
    std::vector<uint8_t> saved;
    SaveTo(l.stack, saved);
    ByteStream in = StreamOf(saved);
    ElementStack restored;
    ASSERT_TRUE(restored.Restore(in, l.defaults));
    EXPECT_EQ(in.Remaining(), 0u);
    EXPECT_TRUE(restored.Equals(l.stack));
    for (uint32_t d = 0; d < restored.Count(); ++d)
        EXPECT_EQ(*restored.GetRecordAtDepth(d), *l.stack.GetRecordAtDepth(d)) << "depth " << d;
    const RenderState* a = restored.GetRecordAtDepth(1);
    ASSERT_TRUE(a->text.link);
    EXPECT_EQ(a->text.link->kind, kLinkAddress);
    EXPECT_EQ(a->text.language, 12u);
    EXPECT_EQ(restored.GetRecordAtDepth(2)->ListStart(), 4u);
    std::vector<uint8_t> again;
    SaveTo(restored, again);
    EXPECT_EQ(again, saved);
}

TEST(SaveRestore, SavedFormAsWritten) {
    Layout l;
    l.Open(kTagP, {{kAttrTitle, u"ab\u0100"}}, 9);
    std::vector<uint8_t> b;
    SaveTo(l.stack, b);
    const uint8_t expected[] = {
        0,    0, 0,    4,                        // W
        0x01, 4, 0,    31,   0,    0,    0, 9,   // P, 4 words, 1 text; position 9
        0,    0, 0,    5,    0x01, 4,    0, 31,  // TITLE text 0; last word
        0,    0, 0,    1,    0,    0,    0, 6,   // S, L
        0,    0, 0xFD, 0xEA,                     // 65002
        'a',  0, 'b',  0,    0x00, 0x01, 0, 0,   // UTF-16LE, padded
        0,    0, 0,    3,                        // lengths
    };
    EXPECT_EQ(b, std::vector<uint8_t>(expected, expected + sizeof(expected)));
}

TEST(SaveRestore, EmptyStackRoundTrips) {
    ElementStack s;
    std::vector<uint8_t> b;
    SaveTo(s, b);
    EXPECT_EQ(b.size(), 16u);
    ByteStream in = StreamOf(b);
    ElementStack r;
    EXPECT_TRUE(r.Restore(in, Defaults()));
    EXPECT_TRUE(r.IsEmpty());
}

TEST(SaveRestore, FollowsOtherDataInTheSameStream) {
    Layout l;
    BuildSample(l);
    ByteStream s;
    s.WriteWord32BE(0x45425653);
    ASSERT_TRUE(l.stack.Save(s));
    s.WriteWord32BE(0xCAFE);
    uint32_t magic = 0, tail = 0;
    s.ReadWord32BE(magic);
    ElementStack r;
    ASSERT_TRUE(r.Restore(s, l.defaults));
    s.ReadWord32BE(tail);
    EXPECT_EQ(tail, 0xCAFEu);
    EXPECT_TRUE(r.Equals(l.stack));
}

class Corrupt : public ::testing::Test {
protected:
    void SetUp() override {
        BuildSample(l);
        SaveTo(l.stack, saved);
        previous.Open(kTagHtml);
        previous.Open(kTagB);
    }
    // Refused, with the stack and the read position untouched.
    void ExpectRefused(const std::vector<uint8_t>& bytes, const char* what) {
        ByteStream in = StreamOf(bytes);
        ElementStack before;
        ASSERT_TRUE(before.Assign(previous.stack));
        EXPECT_FALSE(previous.stack.Restore(in, l.defaults)) << what;
        EXPECT_EQ(in.ReadPosition(), 0u) << what;
        EXPECT_TRUE(previous.stack.Equals(before)) << what;
    }
    void Patch(std::vector<uint8_t>& b, size_t at, uint32_t v) {
        b[at] = static_cast<uint8_t>(v >> 24);
        b[at + 1] = static_cast<uint8_t>(v >> 16);
        b[at + 2] = static_cast<uint8_t>(v >> 8);
        b[at + 3] = static_cast<uint8_t>(v);
    }
    uint32_t Word(size_t at) const {
        return static_cast<uint32_t>(saved[at]) << 24 | saved[at + 1] << 16 | saved[at + 2] << 8 |
               saved[at + 3];
    }
    size_t TextHeader() const { return 4 + 4 * static_cast<size_t>(Word(0)); }

    Layout l;
    Layout previous;
    std::vector<uint8_t> saved;
};

TEST_F(Corrupt, EveryShortBlockIsRefused) {
    for (size_t n = 0; n < saved.size(); ++n) {
        std::vector<uint8_t> cut(saved.begin(), saved.begin() + static_cast<long>(n));
        ExpectRefused(cut, "short");
    }
}

TEST_F(Corrupt, WordCountPastTheData) {
    std::vector<uint8_t> b = saved;
    Patch(b, 0, Word(0) + 1);
    ExpectRefused(b, "W + 1");
    Patch(b, 0, 0xFFFFFFFF);
    ExpectRefused(b, "W huge");
    Patch(b, 0, Word(0) - 1);
    ExpectRefused(b, "W - 1");
}

TEST_F(Corrupt, EntriesThatDoNotChain) {
    std::vector<uint8_t> b = saved;
    Patch(b, 4, (Word(4) & 0xFF00FFFFu) | 2u << 16);
    ExpectRefused(b, "length 2");
    b = saved;
    Patch(b, 4, (Word(4) & 0xFF00FFFFu) | 200u << 16);
    ExpectRefused(b, "length past W");
    b = saved;
    Patch(b, 4 + 4 * 2, Word(4 + 4 * 2) ^ 1);  // HTML's last word
    ExpectRefused(b, "last word differs");
}

TEST_F(Corrupt, UnknownOrUnstackableIds) {
    for (uint32_t id : {0u, 209u, 0xFFFFu, uint32_t{kTagBr}, uint32_t{kAttrAlign}}) {
        std::vector<uint8_t> b = saved;
        uint32_t first = (Word(4) & 0xFFFF0000u) | id;
        Patch(b, 4, first);
        Patch(b, 4 + 8, first);
        ExpectRefused(b, "id");
    }
}

TEST_F(Corrupt, AttributeWordsThatLie) {
    // DIV's entry: first, position, ALIGN, BGCOLOR, BORDER and LANG pairs, last.
    size_t div = 4 + 4 * static_cast<size_t>(l.stack.FindTag(kTagDiv));
    ASSERT_EQ(Word(div) & 0xFFFF, kTagDiv);
    std::vector<uint8_t> b = saved;
    Patch(b, div + 8, 0xFFFF0000u | kAttrHref);  // a text-valued id stored as converted
    ExpectRefused(b, "converted text id");
    b = saved;
    Patch(b, div + 8, 0xFFFF0000u | 300u);
    ExpectRefused(b, "converted unknown id");
    b = saved;
    Patch(b, div + 8, 0xFFFF0000u | 0u);
    ExpectRefused(b, "converted id 0");
    // LI's entry: first, position, VALUE text 0, TITLE text 1, last.
    size_t li = 4 + 4 * static_cast<size_t>(l.stack.FindTag(kTagLi));
    ASSERT_EQ(Word(li + 12), kAttrTitle | 1u << 16);
    b = saved;
    Patch(b, li + 12, kAttrTitle | 0u << 16);
    ExpectRefused(b, "text index repeated");
    b = saved;
    Patch(b, li + 12, kAttrTitle | 7u << 16);
    ExpectRefused(b, "text index out of order");
    b = saved;
    Patch(b, li + 12, kAttrAlign | 1u << 16);
    ExpectRefused(b, "text word of a converted id");
    b = saved;
    Patch(b, li, Word(li) + (1u << 24));
    Patch(b, li + 16, Word(li) + (1u << 24));
    ExpectRefused(b, "text count");
    b = saved;
    Patch(b, li, Word(li) - (1u << 24));
    Patch(b, li + 16, Word(li) - (1u << 24));
    ExpectRefused(b, "text count short");
}

TEST_F(Corrupt, TextBlockMismatches) {
    size_t at = TextHeader();
    std::vector<uint8_t> b = saved;
    Patch(b, at, Word(at) + 1);
    ExpectRefused(b, "S");
    b = saved;
    Patch(b, at + 4, Word(at + 4) + 2);
    ExpectRefused(b, "L");
    b = saved;
    Patch(b, at + 4, Word(at + 4) + 1);
    ExpectRefused(b, "odd L");
    b = saved;
    Patch(b, at + 8, 65001);
    ExpectRefused(b, "code page");
    b = saved;
    Patch(b, b.size() - 4, Word(b.size() - 4) + 1);
    ExpectRefused(b, "lengths past L");
    b = saved;
    Patch(b, b.size() - 4, Word(b.size() - 4) - 1);
    ExpectRefused(b, "lengths short of L");
    b = saved;
    Patch(b, b.size() - 8, 0x7FFFFFFF);
    ExpectRefused(b, "huge length");
}

TEST_F(Corrupt, NonZeroPaddingIsRefused) {
    size_t at = TextHeader();
    uint32_t bytes = Word(at + 4);
    ASSERT_NE(bytes % 4, 0u) << "the sample needs padding";
    std::vector<uint8_t> b = saved;
    b[at + 12 + bytes] = 1;
    ExpectRefused(b, "padding");
}

TEST_F(Corrupt, ArbitraryBytesNeverReadOutside) {
    uint32_t seed = 12345;
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> b = saved;
        int flips = 1 + round % 4;
        for (int k = 0; k < flips; ++k) {
            seed = seed * 1103515245u + 12345u;
            b[(seed >> 8) % b.size()] ^= static_cast<uint8_t>(1u << ((seed >> 4) % 8));
        }
        ByteStream in = StreamOf(b);
        ElementStack r;
        if (!r.Restore(in, l.defaults)) continue;
        // Whatever is accepted saves and restores to itself.
        std::vector<uint8_t> again;
        SaveTo(r, again);
        ByteStream in2 = StreamOf(again);
        ElementStack r2;
        ASSERT_TRUE(r2.Restore(in2, l.defaults));
        EXPECT_TRUE(r2.Equals(r));
    }
}

TEST(Tokenizer, StackFollowsTheTokenizerAndRestoresItsStyles) {
    MemoryDocument doc(
        u"<html><body><div align=right><font color=red size=+1>a <b>b <i>c</i></b> "
        u"<a href=\"#x\" title=T>d</a></font></div></body></html>");
    HtmlTokenizer t(true);
    ASSERT_TRUE(t.Attach(&doc, 0));
    ASSERT_TRUE(t.Start(0, false));
    Layout l;
    size_t maxDepth = 0;
    std::vector<uint8_t> deepest;
    for (int guard = 0; guard < 1000; ++guard) {
        uint32_t k = t.NextToken();
        if (k == kTokenEnd) break;
        if (k != kTokenTag) continue;
        l.Tag(t);
        if (l.stack.Count() > maxDepth) {
            maxDepth = l.stack.Count();
            SaveTo(l.stack, deepest);
            ByteStream in = StreamOf(deepest);
            ElementStack r;
            ASSERT_TRUE(r.Restore(in, l.defaults));
            ASSERT_TRUE(r.Equals(l.stack)) << "depth " << maxDepth;
        }
    }
    EXPECT_TRUE(l.stack.IsEmpty());
    EXPECT_EQ(maxDepth, 6u);  // html body div font b i
}

}  // namespace
