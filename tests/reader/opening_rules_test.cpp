// Where a book opens, which window a link's target is, which links leave for the browser, the
// view commands of page steps and the reading-position line.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/string.h"
#include "reader/opening_rules.h"

namespace {

std::u16string U(const String& s) { return std::u16string(s.Data(), static_cast<size_t>(s.Length())); }

OpeningFacts Book(bool saved, bool start, bool cover, bool audio = false) {
    OpeningFacts f;
    f.restore = true;
    f.hasSideFile = true;
    f.hasSavedPosition = saved;
    f.hasStart = start;
    f.hasCover = cover;
    f.audioLast = audio;
    return f;
}

TEST(FirstPage, AnExplicitAnchorWins) {
    OpeningFacts f = Book(false, false, true, true);
    f.anchor = String(u"#120");
    EXPECT_EQ(U(OpeningRules::ChooseAnchor(f)), u"#120");
}

TEST(FirstPage, ASavedPositionOpensTheTextPage) {
    EXPECT_EQ(U(OpeningRules::ChooseAnchor(Book(true, true, true))), u"");
    EXPECT_EQ(U(OpeningRules::ChooseAnchor(Book(true, false, true))), u"");
}

TEST(FirstPage, WithoutASavedPositionStartComesBeforeTheCover) {
    EXPECT_EQ(U(OpeningRules::ChooseAnchor(Book(false, true, true))), u"");
    EXPECT_EQ(U(OpeningRules::ChooseAnchor(Book(false, false, true))), u"$cover");
    EXPECT_EQ(U(OpeningRules::ChooseAnchor(Book(false, false, false))), u"");
}

TEST(FirstPage, AnAudioBookOpensItsAudioPageUnlessTheCoverReplacesIt) {
    EXPECT_EQ(U(OpeningRules::ChooseAnchor(Book(true, false, true, true))), u"$audio");
    EXPECT_EQ(U(OpeningRules::ChooseAnchor(Book(false, true, true, true))), u"$audio");
    EXPECT_EQ(U(OpeningRules::ChooseAnchor(Book(false, false, true, true))), u"$cover");
}

TEST(FirstPage, NoRuleWithoutSideFileOrFromHistory) {
    OpeningFacts f = Book(false, false, true);
    f.hasSideFile = false;
    EXPECT_EQ(U(OpeningRules::ChooseAnchor(f)), u"");
    f = Book(false, false, true);
    f.restore = false;
    EXPECT_EQ(U(OpeningRules::ChooseAnchor(f)), u"");
}

TEST(Targets, ResolvedInTheirOrder) {
    EXPECT_EQ(OpeningRules::ResolveTarget(String(u"_blank")), OpeningRules::Target::kNone);
    EXPECT_EQ(OpeningRules::ResolveTarget(String(u"_top")), OpeningRules::Target::kSelf);
    EXPECT_EQ(OpeningRules::ResolveTarget(String(u"_self")), OpeningRules::Target::kSelf);
    EXPECT_EQ(OpeningRules::ResolveTarget(String()), OpeningRules::Target::kSelf);
    EXPECT_EQ(OpeningRules::ResolveTarget(String(u"_Self")), OpeningRules::Target::kNamed);
    EXPECT_EQ(OpeningRules::ResolveTarget(String(u"side")), OpeningRules::Target::kNamed);
}

TEST(Targets, OnlyExactHttpGoesToTheBrowser) {
    EXPECT_TRUE(OpeningRules::IsWebLink(String(u"http://example.org/")));
    EXPECT_TRUE(OpeningRules::IsWebLink(String(u"https://example.org/")));
    EXPECT_FALSE(OpeningRules::IsWebLink(String(u"HTTP://example.org/")));
    EXPECT_FALSE(OpeningRules::IsWebLink(String(u"http")));
    EXPECT_FALSE(OpeningRules::IsWebLink(String(u"oeb:library")));
    EXPECT_FALSE(OpeningRules::IsWebLink(String(u"\\http:\\a.prc")));
}

TEST(PageSteps, ViewCommandsOfTheSteps) {
    EXPECT_EQ(OpeningRules::StepPageCommand(-3), 71);
    EXPECT_EQ(OpeningRules::StepPageCommand(-2), 67);
    EXPECT_EQ(OpeningRules::StepPageCommand(-1), 69);
    EXPECT_EQ(OpeningRules::StepPageCommand(1), 68);
    EXPECT_EQ(OpeningRules::StepPageCommand(3), 70);
    EXPECT_EQ(OpeningRules::StepPageCommand(2), 66);
    EXPECT_EQ(OpeningRules::StepPageCommand(9), 66);
}

TEST(PositionLine, KeyInEightUpperCaseHexDigits) {
    String line = OpeningRules::PositionLine(4711, String(u"Fixture Book"), 0x1A2B, String(u"T"));
    EXPECT_EQ(U(line), u"4711\tFixture Book:00001A2B\tT");
    line = OpeningRules::PositionLine(0, String(), 0xFFFFFFFF, String());
    EXPECT_EQ(U(line), u"0\t:FFFFFFFF\t");
}

TEST(Anchors, OnlyTheExactAudioName) {
    EXPECT_TRUE(OpeningRules::IsAudioAnchor(String(u"$audio")));
    EXPECT_FALSE(OpeningRules::IsAudioAnchor(String(u"$audio2")));
    EXPECT_FALSE(OpeningRules::IsAudioAnchor(String(u"$Audio")));
}

}  // namespace

namespace {
bool FramesOnly(const std::string& page) {
    return OpeningRules::IsFramesOnly(reinterpret_cast<const uint8_t*>(page.data()), page.size());
}
}  // namespace

TEST(FramePages, AFrameSetAloneIsFramesOnlyInAnyCase) {
    EXPECT_TRUE(FramesOnly("<html><FrameSet cols=\"50%,*\"><frame src=\"a.html\"></FrameSet>"));
    EXPECT_TRUE(FramesOnly("<frameset\nrows=\"*\"><frame src=\"x.html\"></frameset>"));
    EXPECT_TRUE(FramesOnly("<frameset>"));
}

TEST(FramePages, TextToShowOrATagOnlyNamedLikeOneIsNotFramesOnly) {
    EXPECT_FALSE(FramesOnly("<frameset><frame src=\"a.html\"><noframes>Read here</noframes>"));
    EXPECT_FALSE(FramesOnly("<html><body><frameset></frameset></body></html>"));
    EXPECT_FALSE(FramesOnly("<html><!-- <frameset> once --><p>Text</p></html>"));
    EXPECT_FALSE(FramesOnly("<framesetx><p>Text</p>"));
    EXPECT_FALSE(FramesOnly("<p>A frame</p>"));
    EXPECT_FALSE(FramesOnly("<!-- <frameset"));
    EXPECT_FALSE(OpeningRules::IsFramesOnly(nullptr, 4));
}
