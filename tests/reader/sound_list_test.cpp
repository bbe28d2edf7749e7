#include "reader/sound_list.h"

#include <gtest/gtest.h>

#include <string>

#include "document/location/location.h"

namespace {

std::string Narrow(const String& s) {
    std::string out;
    for (int32_t i = 0; i < s.Length(); ++i) out += static_cast<char>(s.At(i));
    return out;
}

Location Book() {
    Location l;
    EXPECT_TRUE(l.Parse(String(u"\\books\\talk.prc"), true));
    return l;
}

TEST(SoundListParse, OneItemWithoutTitle) {
    SoundList list;
    ASSERT_TRUE(list.Parse(String(u"a.ogg"), Book()));
    ASSERT_EQ(list.Count(), 1u);
    String title(u"x");
    list.GetTitle(0, title);
    EXPECT_EQ(title.Length(), 0);
    EXPECT_NE(Narrow(list.At(0)->url).find("a.ogg"), std::string::npos);
    EXPECT_NE(Narrow(list.At(0)->url).find("books"), std::string::npos);
}

TEST(SoundListParse, TitledItemsWithATrailingSeparator) {
    SoundList list;
    ASSERT_TRUE(list.Parse(String(u"a.ogg|One;b.ogg|Two;"), Book()));
    ASSERT_EQ(list.Count(), 2u);
    String title;
    list.GetTitle(1, title);
    EXPECT_EQ(Narrow(title), "Two");
    list.GetTitle(2, title);  // beyond the end
    EXPECT_EQ(title.Length(), 0);
    EXPECT_EQ(Narrow(list.Text()), "a.ogg|One;b.ogg|Two;");
}

TEST(SoundListParse, EmptyTextEmptiesTheList) {
    SoundList list;
    ASSERT_TRUE(list.Parse(String(u"a.ogg"), Book()));
    ASSERT_TRUE(list.Parse(String(u""), Book()));
    EXPECT_EQ(list.Count(), 0u);
}

TEST(SoundListParse, AnUnresolvableEntryStopsTheParse) {
    SoundList list;
    ASSERT_TRUE(list.Parse(String(u"a.ogg"), Book()));
    Location none;  // an empty base resolves nothing relative
    EXPECT_FALSE(list.Parse(String(u"a.ogg|One;b.ogg|Two"), none));
    EXPECT_EQ(list.Count(), 0u);  // the earlier list went with the new parse
}

struct Opener : SoundTrackOpener {
    AudioSource* OpenSoundTrack(const String& url) override {
        asked = Narrow(url);
        return nullptr;
    }
    std::string asked;
};

TEST(SoundListTracks, OpensThroughTheOpenerAndOnlyInRange) {
    SoundList list;
    AudioSource* source = reinterpret_cast<AudioSource*>(1);
    list.OpenTrack(&source, 0);
    EXPECT_EQ(source, nullptr);  // no opener, no items
    Opener opener;
    list.SetOpener(&opener);
    ASSERT_TRUE(list.Parse(String(u"a.ogg|One;b.ogg|Two"), Book()));
    list.OpenTrack(&source, 1);
    EXPECT_NE(opener.asked.find("b.ogg"), std::string::npos);
    opener.asked.clear();
    list.OpenTrack(&source, 2);
    EXPECT_TRUE(opener.asked.empty());
    EXPECT_EQ(source, nullptr);
}

TEST(SoundSeek, GuardsAgainstNothingToDivideBy) {
    uint32_t s = 99;
    EXPECT_FALSE(SoundSeekSeconds(600, 1, 0, s));
    EXPECT_FALSE(SoundSeekSeconds(AudioPlayer::kUnknownLength, 1, 2, s));
    EXPECT_EQ(s, 99u);
}

TEST(SoundSeek, ProportionalForShortAndLongTracks) {
    uint32_t s = 0;
    ASSERT_TRUE(SoundSeekSeconds(600, 1, 4, s));
    EXPECT_EQ(s, 150u);
    ASSERT_TRUE(SoundSeekSeconds(0x200000, 3, 4, s));
    EXPECT_EQ(s, 0x200000u / 4 * 3);
    ASSERT_TRUE(SoundSeekSeconds(0xFFFFFFFE, 0xFFFF, 0x10000, s));
    EXPECT_EQ(s, (0xFFFFFFFEu / 0x10000) * 0xFFFF);
}

TEST(AudioViewState, RoundTripWithPadding) {
    ByteStream s;
    const String text(u"caf\u00e9.ogg|\u00c9t\u00e9");
    ASSERT_TRUE(AudioViewState::Write(s, text));
    EXPECT_EQ(s.Size() % 4, 0u);
    const uint32_t after = s.Size();
    s.WriteWord32BE(0xABCD);  // what follows the record
    String back;
    ASSERT_TRUE(AudioViewState::Read(s, back));
    ASSERT_EQ(back.Length(), text.Length());
    for (int32_t i = 0; i < text.Length(); ++i) EXPECT_EQ(back.At(i), text.At(i));
    EXPECT_EQ(s.ReadPosition(), after);
}

TEST(AudioViewState, BadRecordsChangeNothing) {
    String kept(u"kept");
    ByteStream shortOne;
    shortOne.WriteWord32BE(AudioViewState::kTag);
    shortOne.WriteWord32BE(1);
    EXPECT_FALSE(AudioViewState::Read(shortOne, kept));

    ByteStream wrongVersion;
    const uint32_t v2[3] = {AudioViewState::kTag, 2, 0};
    wrongVersion.WriteWords32BE(v2, 3);
    EXPECT_FALSE(AudioViewState::Read(wrongVersion, kept));

    ByteStream cut;  // says 40 bytes, holds 4
    const uint32_t head[4] = {AudioViewState::kTag, 1, 40, 0x61616161};
    cut.WriteWords32BE(head, 4);
    EXPECT_FALSE(AudioViewState::Read(cut, kept));
    EXPECT_EQ(cut.ReadPosition(), 0u);
    EXPECT_EQ(Narrow(kept), "kept");
}

}  // namespace
