// The navigation history: pushes, equal states, forward entries, the eight-entry limit with
// marked entries kept, undoing a failed navigation's push, and the saved state header.
#include <gtest/gtest.h>

#include <initializer_list>

#include "core/string.h"
#include "reader/navigation_history.h"

namespace {

HistoryEntry At(const char16_t* where, uint32_t word = 0, uint32_t mark = 0) {
    HistoryEntry e;
    e.location.Resolve(String(where), nullptr);
    e.viewWord = word;
    e.mark = mark;
    return e;
}

std::u16string Text(const HistoryEntry& e) {
    String s;
    e.location.ToStringWithAnchor(s);
    return std::u16string(s.Data(), static_cast<size_t>(s.Length()));
}

// A stream of big-endian words, read from its start.
void Words(ByteStream& s, std::initializer_list<uint32_t> words) {
    for (uint32_t w : words) s.WriteWord32BE(w);
    s.SetReadPosition(0);
}

bool Push(NavigationHistory& h, HistoryEntry e) {
    bool pushed = false;
    EXPECT_TRUE(h.Push(std::move(e), pushed));
    return pushed;
}

TEST(NavigationHistory, TheSameStateTwiceIsStoredOnce) {
    NavigationHistory h;
    EXPECT_TRUE(Push(h, At(u"\\b\\a.prc", 3)));
    EXPECT_FALSE(Push(h, At(u"\\b\\a.prc", 3)));
    EXPECT_EQ(h.Count(), 1u);
    // Not stored, and the position stays after it: Back still reaches the stored entry.
    EXPECT_EQ(h.Position(), 1u);
    // Another view word is another state.
    EXPECT_TRUE(Push(h, At(u"\\b\\a.prc", 4)));
    EXPECT_EQ(h.Count(), 2u);
    EXPECT_EQ(h.Entry(1).viewWord, 4u);
    EXPECT_TRUE(Push(h, At(u"\\b\\a.prc#12", 4)));  // another anchor is another state
    EXPECT_EQ(h.Count(), 3u);
}

// A deleted book's entries go; the position still names the state it named.
TEST(NavigationHistory, TheEntriesOfAFileThatIsGoneAreDropped) {
    NavigationHistory h;
    Push(h, At(u"\\b\\gone.prc", 1));
    Push(h, At(u"\\b\\kept.prc", 2));
    Push(h, At(u"\\b\\gone.prc#12", 3));
    Push(h, At(u"\\b\\other.prc", 4));
    h.SetPosition(3);
    h.DropFiles(
        [](String& path) { return path.ToLower() && path == String(u"\\b\\gone.prc"); });
    ASSERT_EQ(h.Count(), 2u);
    EXPECT_EQ(h.Position(), 1u);
    EXPECT_EQ(h.Entry(0).viewWord, 2u);
    EXPECT_EQ(h.Entry(h.Position()).viewWord, 4u);
}

TEST(NavigationHistory, APushDropsTheForwardEntries) {
    NavigationHistory h;
    Push(h, At(u"\\b\\1.prc"));
    Push(h, At(u"\\b\\2.prc"));
    Push(h, At(u"\\b\\3.prc"));
    h.SetPosition(1);
    EXPECT_TRUE(h.CanForward());
    Push(h, At(u"\\b\\4.prc"));
    ASSERT_EQ(h.Count(), 2u);
    EXPECT_EQ(Text(h.Entry(1)), u"\\b\\4.prc");
    EXPECT_EQ(h.Position(), 2u);
    EXPECT_FALSE(h.CanForward());
}

TEST(NavigationHistory, AtEightEntriesTheFirstUnmarkedOneGoes) {
    NavigationHistory h;
    const char16_t* names[] = {u"\\0.prc", u"\\1.prc", u"\\2.prc", u"\\3.prc",
                               u"\\4.prc", u"\\5.prc", u"\\6.prc", u"\\7.prc"};
    for (int i = 0; i < 8; ++i) Push(h, At(names[i], 0, i < 3 ? 1 : 0));
    EXPECT_TRUE(Push(h, At(u"\\new.prc")));
    ASSERT_EQ(h.Count(), 8u);
    EXPECT_EQ(h.Position(), 8u);
    EXPECT_EQ(Text(h.Entry(2)), u"\\2.prc");
    EXPECT_EQ(Text(h.Entry(3)), u"\\4.prc");  // entry 3 was the first unmarked
    EXPECT_EQ(Text(h.Entry(7)), u"\\new.prc");
}

TEST(NavigationHistory, AllMarkedDropsTheOldest) {
    NavigationHistory h;
    const char16_t* names[] = {u"\\0.prc", u"\\1.prc", u"\\2.prc", u"\\3.prc",
                               u"\\4.prc", u"\\5.prc", u"\\6.prc", u"\\7.prc"};
    for (const char16_t* n : names) Push(h, At(n, 0, 1));
    Push(h, At(u"\\new.prc", 0, 1));
    EXPECT_EQ(Text(h.Entry(0)), u"\\1.prc");
    EXPECT_EQ(h.LastMarked(), 7);
}

TEST(NavigationHistory, UndoingAPushRestoresEvenAFullList) {
    NavigationHistory h;
    const char16_t* names[] = {u"\\0.prc", u"\\1.prc", u"\\2.prc", u"\\3.prc",
                               u"\\4.prc", u"\\5.prc", u"\\6.prc", u"\\7.prc"};
    for (const char16_t* n : names) Push(h, At(n));
    h.SetPosition(5);
    Push(h, At(u"\\failed.prc"));
    h.UndoPush();
    ASSERT_EQ(h.Count(), 8u);
    EXPECT_EQ(h.Position(), 5u);
    EXPECT_EQ(Text(h.Entry(7)), u"\\7.prc");
    EXPECT_TRUE(h.CanForward());
    h.UndoPush();  // only once
    EXPECT_EQ(h.Count(), 8u);
}

TEST(NavigationHistory, AnEqualStateLeavesNothingToUndo) {
    NavigationHistory h;
    Push(h, At(u"\\a.prc"));
    Push(h, At(u"\\a.prc"));
    h.UndoPush();
    EXPECT_EQ(h.Count(), 1u);
}

TEST(NavigationHistory, RecordNextLetsOnePushThrough) {
    NavigationHistory h;
    h.SetMode(NavigationHistory::kRecordNext);
    EXPECT_TRUE(h.WantsPush());
    EXPECT_EQ(h.GetMode(), NavigationHistory::kDoNotRecord);
    EXPECT_FALSE(h.WantsPush());
    h.SetMode(NavigationHistory::kRecord);
    EXPECT_TRUE(h.WantsPush());
    EXPECT_EQ(h.GetMode(), NavigationHistory::kRecord);
}

TEST(NavigationHistory, TheMarkByteGoesToOneEntry) {
    NavigationHistory h;
    h.MarkNext();
    EXPECT_EQ(h.TakeMark(), 1u);
    EXPECT_EQ(h.TakeMark(), 0u);
}

TEST(NavigationHistory, CopiesCarryTheState) {
    HistoryEntry a = At(u"\\a.prc#5", 9, 1);
    a.viewPosition = 77;
    a.state.WriteWord32BE(0xCAFE);
    HistoryEntry b(a);
    EXPECT_EQ(Text(b), u"\\a.prc#5");
    EXPECT_EQ(b.viewPosition, 77);
    EXPECT_EQ(b.viewWord, 9u);
    EXPECT_EQ(b.mark, 1u);
    uint32_t w = 0;
    ASSERT_TRUE(b.state.ReadWord32BE(w));
    EXPECT_EQ(w, 0xCAFEu);
    b.Clear();
    EXPECT_EQ(b.location.Kind(), static_cast<uint32_t>(Location::kEmptyKind));
    EXPECT_EQ(b.state.Size(), 0u);
    EXPECT_EQ(b.viewPosition, -1);
}

TEST(HistoryStateHeader, RoundTripsTheFocusPath) {
    ByteStream s;
    ASSERT_TRUE(HistoryState::WriteHeader(s, {3, 1, 4}));
    s.WriteWord32BE(0x11223344);  // the view's own state follows
    s.SetReadPosition(0);
    std::vector<uint32_t> path;
    ASSERT_EQ(HistoryState::ReadHeader(s, path), HistoryState::HeaderResult::kRead);
    EXPECT_EQ(path, (std::vector<uint32_t>{3, 1, 4}));
    uint32_t rest = 0;
    ASSERT_TRUE(s.ReadWord32BE(rest));
    EXPECT_EQ(rest, 0x11223344u);
}

TEST(HistoryStateHeader, AForeignTagGoesWholeToTheView) {
    ByteStream s;
    Words(s, {0x50415245, 1, 0});
    std::vector<uint32_t> path;
    EXPECT_EQ(HistoryState::ReadHeader(s, path), HistoryState::HeaderResult::kForeign);
    EXPECT_EQ(s.ReadPosition(), 0u);
}

TEST(HistoryStateHeader, AShortStreamIsForeign) {
    ByteStream s;
    Words(s, {HistoryState::kTag});
    std::vector<uint32_t> path;
    EXPECT_EQ(HistoryState::ReadHeader(s, path), HistoryState::HeaderResult::kForeign);
}

TEST(HistoryStateHeader, AWrongVersionFails) {
    ByteStream s;
    Words(s, {HistoryState::kTag, 2, 0});
    std::vector<uint32_t> path;
    EXPECT_EQ(HistoryState::ReadHeader(s, path), HistoryState::HeaderResult::kBad);
}

TEST(HistoryStateHeader, APathCountThatWrapsWhenMultipliedFails) {
    // 0x40000001 * 4 is 4 in 32 bits: one word is left, which must not pass for the path.
    ByteStream s;
    Words(s, {HistoryState::kTag, 1, 0x40000001, 7});
    std::vector<uint32_t> path;
    EXPECT_EQ(HistoryState::ReadHeader(s, path), HistoryState::HeaderResult::kBad);
    EXPECT_TRUE(path.empty());
}

TEST(HistoryStateHeader, APathLongerThanTheStreamFails) {
    ByteStream s;
    Words(s, {HistoryState::kTag, 1, 3, 1, 2});
    std::vector<uint32_t> path;
    EXPECT_EQ(HistoryState::ReadHeader(s, path), HistoryState::HeaderResult::kBad);
}

}  // namespace
