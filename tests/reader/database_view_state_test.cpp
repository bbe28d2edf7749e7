#include "reader/database_view_state.h"

#include <gtest/gtest.h>

#include "core/byte_stream.h"

namespace {

IndexPosition Pos(uint32_t record, uint32_t entry) {
    IndexPosition p;
    p.record = record;
    p.entry = entry;
    return p;
}

DatabaseViewState Plain() {
    DatabaseViewState s;
    s.level = 2;
    s.flags = 0x10010;
    s.stateWord = 7;
    s.titleTemplate = String(u"Index");
    s.keyTemplate = String(u"Keys of %key");
    s.search1 = String(u"ab\u00e9");
    s.search2 = String(u"z");
    s.selected1 = 3;
    s.selected2 = -1;
    s.top1 = Pos(1, 20);
    s.top2 = Pos(2, 0);
    s.keysEntry = Pos(1, 23);
    s.further = String(u"more");
    return s;
}

DatabaseViewState Query(uint32_t levels) {
    DatabaseViewState s;
    s.query = true;
    s.level = levels - 1;
    s.flags = 0x8;
    s.stateWord = -1;
    s.titleTemplate = String(u"A%%%B %key");
    s.levels.resize(levels);
    for (uint32_t i = 0; i < levels; ++i) {
        s.levels[i].top = Pos(1, i);
        s.levels[i].chosen = Pos(1, i + 5);
        s.levels[i].selected = static_cast<int32_t>(i);
        s.levels[i].search = String(i % 2 ? u"xy" : u"");
    }
    return s;
}

TEST(ViewStateRoundTrip, PlainViewComesBackWhole) {
    ByteStream stream;
    ASSERT_TRUE(Plain().Save(stream, nullptr));
    EXPECT_EQ(stream.Size() % 4, 0u);
    DatabaseViewState back;
    ASSERT_TRUE(back.Restore(stream, 0));
    const DatabaseViewState want = Plain();
    EXPECT_EQ(back.level, want.level);
    EXPECT_EQ(back.flags, want.flags);
    EXPECT_EQ(back.stateWord, want.stateWord);
    EXPECT_TRUE(back.search1 == want.search1);
    EXPECT_TRUE(back.search2 == want.search2);
    EXPECT_TRUE(back.titleTemplate == want.titleTemplate);
    EXPECT_TRUE(back.keyTemplate == want.keyTemplate);
    EXPECT_TRUE(back.further == want.further);
    EXPECT_EQ(back.selected1, 3);
    EXPECT_EQ(back.selected2, -1);
    EXPECT_TRUE(back.top1 == want.top1);
    EXPECT_TRUE(back.top2 == want.top2);
    EXPECT_TRUE(back.keysEntry == want.keysEntry);
    EXPECT_EQ(stream.Remaining(), 0u);
}

TEST(ViewStateRoundTrip, QueryViewComesBackWhole) {
    ByteStream stream;
    ASSERT_TRUE(Query(3).Save(stream, nullptr));
    DatabaseViewState back;
    back.query = true;
    ASSERT_TRUE(back.Restore(stream, 3));
    ASSERT_EQ(back.levels.size(), 3u);
    EXPECT_EQ(back.level, 2u);
    EXPECT_TRUE(back.titleTemplate == String(u"A%%%B %key"));
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(back.levels[i].top == Pos(1, i));
        EXPECT_TRUE(back.levels[i].chosen == Pos(1, i + 5));
        EXPECT_EQ(back.levels[i].selected, static_cast<int32_t>(i));
        EXPECT_TRUE(back.levels[i].search == String(i % 2 ? u"xy" : u""));
    }
}

TEST(ViewStateRoundTrip, ExtraStateFollowsAligned) {
    ByteStream extra;
    extra.WriteWord32BE(0xCAFEF00D);
    ByteStream stream;
    ASSERT_TRUE(Plain().Save(stream, &extra));
    DatabaseViewState back;
    ASSERT_TRUE(back.Restore(stream, 0));
    uint32_t word = 0;
    ASSERT_TRUE(stream.ReadWord32BE(word));
    EXPECT_EQ(word, 0xCAFEF00Du);
}

// A rejected record leaves every field of the view as it was.
void ExpectUnchanged(const DatabaseViewState& s) {
    EXPECT_EQ(s.level, 1u);
    EXPECT_EQ(s.flags, 0x44u);
    EXPECT_EQ(s.selected1, 9);
    EXPECT_TRUE(s.search1 == String(u"kept"));
    EXPECT_TRUE(s.top1 == Pos(4, 4));
}

DatabaseViewState Current() {
    DatabaseViewState s;
    s.level = 1;
    s.flags = 0x44;
    s.selected1 = 9;
    s.search1 = String(u"kept");
    s.top1 = Pos(4, 4);
    return s;
}

TEST(ViewStateRejects, WrongTagChangesNothing) {
    ByteStream stream;
    ASSERT_TRUE(Plain().Save(stream, nullptr));
    stream.MutableData()[0] = 'X';
    DatabaseViewState s = Current();
    EXPECT_FALSE(s.Restore(stream, 0));
    ExpectUnchanged(s);
    EXPECT_EQ(stream.ReadPosition(), 0u);
}

TEST(ViewStateRejects, EveryCutRecordChangesNothing) {
    ByteStream full;
    ASSERT_TRUE(Plain().Save(full, nullptr));
    for (uint32_t size = 0; size + 4 <= full.Size(); ++size) {
        ByteStream cut;
        cut.WriteBytes(full.Data(), size);
        DatabaseViewState s = Current();
        EXPECT_FALSE(s.Restore(cut, 0)) << size;
        ExpectUnchanged(s);
    }
}

TEST(ViewStateRejects, LevelPastTheLastLevel) {
    DatabaseViewState bad = Plain();
    bad.level = 3;
    ByteStream stream;
    ASSERT_TRUE(bad.Save(stream, nullptr));
    DatabaseViewState s = Current();
    EXPECT_FALSE(s.Restore(stream, 0));
    ExpectUnchanged(s);
}

TEST(ViewStateRejects, OversizeTextLength) {
    ByteStream stream;
    ASSERT_TRUE(Plain().Save(stream, nullptr));
    // The level-1 search text's byte length (second word after the tag).
    uint8_t* d = stream.MutableData();
    d[8] = 0x7F;
    DatabaseViewState s = Current();
    EXPECT_FALSE(s.Restore(stream, 0));
    ExpectUnchanged(s);
}

TEST(ViewStateRejects, ForeignCodePage) {
    ByteStream stream;
    ASSERT_TRUE(Plain().Save(stream, nullptr));
    stream.MutableData()[7] = 0xE9;  // code page 1201 becomes 1257
    DatabaseViewState s = Current();
    EXPECT_FALSE(s.Restore(stream, 0));
    ExpectUnchanged(s);
}

TEST(ViewStateRejects, QueryWithAnotherNumberOfLeaves) {
    ByteStream stream;
    ASSERT_TRUE(Query(3).Save(stream, nullptr));
    DatabaseViewState s = Query(2);
    EXPECT_FALSE(s.Restore(stream, 2));
    EXPECT_EQ(s.levels.size(), 2u);
    EXPECT_EQ(s.level, 1u);
}

TEST(ViewStateRejects, QueryLevelOutsideItsRecords) {
    DatabaseViewState bad = Query(2);
    bad.level = 2;
    ByteStream stream;
    ASSERT_TRUE(bad.Save(stream, nullptr));
    DatabaseViewState s = Query(2);
    EXPECT_FALSE(s.Restore(stream, 2));
    EXPECT_EQ(s.level, 1u);
}

TEST(ViewStateRejects, PlainRecordIntoQueryView) {
    ByteStream stream;
    ASSERT_TRUE(Plain().Save(stream, nullptr));
    DatabaseViewState s = Query(3);
    EXPECT_FALSE(s.Restore(stream, 3));
    EXPECT_EQ(s.levels.size(), 3u);
}

}  // namespace
