// The history's stepping rules over a fake of what it asks: Back keeps the place it leaves and
// Forward returns to it, the step to another document passes the pages of the same book, a
// place that no longer opens is passed over, and the list windows are remembered by their link.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/string.h"
#include "reader/document_history.h"

namespace {

HistoryEntry At(const char16_t* where, uint32_t word) {
    HistoryEntry e;
    e.location.Resolve(String(where), nullptr);
    e.viewWord = word;
    return e;
}

std::u16string Text(const Location& location) {
    String s;
    location.ToStringWithAnchor(s);
    return std::u16string(s.Data(), static_cast<size_t>(s.Length()));
}

// A reader that shows one place at a time and opens what the history asks for.
class FakePlaces final : public HistoryPlaces {
public:
    bool CapturePlace(HistoryEntry& entry) override {
        entry = shown;
        return true;
    }
    bool OpenPlace(const HistoryEntry& entry) override {
        opened.push_back(entry);
        for (const std::u16string& gone : missing)
            if (Text(entry.location) == gone) return false;
        shown = entry;
        return true;
    }
    const Location* ShownLocation() const override { return hasBook ? &shown.location : nullptr; }
    const char16_t* ListPageShown() const override { return list; }
    void HistoryPushed() override { ++notices; }

    // Goes somewhere as a followed link does: the place left is pushed first.
    void Follow(DocumentHistory& history, HistoryEntry to) {
        bool pushed = false;
        EXPECT_TRUE(history.PushAndNotify(pushed));
        shown = std::move(to);
        hasBook = true;
    }

    HistoryEntry shown;
    bool hasBook = false;
    const char16_t* list = nullptr;
    std::vector<HistoryEntry> opened;
    std::vector<std::u16string> missing;
    int notices = 0;
};

TEST(DocumentHistory, BackKeepsThePlaceItLeavesAndForwardReturnsToIt) {
    FakePlaces places;
    DocumentHistory history(places);
    places.shown = At(u"\\b\\a.prc", 1);
    places.hasBook = true;
    places.Follow(history, At(u"\\b\\a.prc", 7));
    ASSERT_TRUE(history.StepBack());
    EXPECT_EQ(places.shown.viewWord, 1u);
    EXPECT_EQ(history.Entries().Count(), 2u);
    EXPECT_EQ(history.Entries().Position(), 0u);
    ASSERT_TRUE(history.StepForward());
    EXPECT_EQ(places.shown.viewWord, 7u);
    EXPECT_FALSE(history.StepForward());
}

TEST(DocumentHistory, BackWithNothingBeforeOpensNothing) {
    FakePlaces places;
    DocumentHistory history(places);
    places.shown = At(u"\\b\\a.prc", 1);
    places.hasBook = true;
    EXPECT_FALSE(history.StepBack());
    EXPECT_TRUE(places.opened.empty());
}

TEST(DocumentHistory, ForwardStoresWhereTheReaderMovedSinceBack) {
    FakePlaces places;
    DocumentHistory history(places);
    places.shown = At(u"\\b\\a.prc", 1);
    places.hasBook = true;
    places.Follow(history, At(u"\\b\\c.prc", 2));
    ASSERT_TRUE(history.StepBack());
    // The reader turns pages in the book stepped back to, then goes forward again.
    places.shown.viewWord = 4;
    ASSERT_TRUE(history.StepForward());
    ASSERT_TRUE(history.StepBack());
    EXPECT_EQ(places.shown.viewWord, 4u);
}

TEST(DocumentHistory, NothingShownIsNotRemembered) {
    FakePlaces places;
    DocumentHistory history(places);
    bool pushed = true;
    EXPECT_TRUE(history.PushAndNotify(pushed));
    EXPECT_FALSE(pushed);
    EXPECT_EQ(history.Entries().Count(), 0u);
    EXPECT_EQ(places.notices, 0);
}

TEST(DocumentHistory, AListWindowIsRememberedByItsLink) {
    FakePlaces places;
    DocumentHistory history(places);
    places.list = u"oeb:library";
    bool pushed = false;
    ASSERT_TRUE(history.PushAndNotify(pushed));
    ASSERT_TRUE(pushed);
    EXPECT_EQ(places.notices, 1);
    Location library;
    library.Resolve(String(u"oeb:library"), nullptr);
    EXPECT_EQ(Location::Compare(history.Entries().Entry(0).location, library), 0);
}

TEST(DocumentHistory, TheStepToAnotherDocumentPassesThePagesOfTheSameBook) {
    FakePlaces places;
    DocumentHistory history(places);
    places.shown = At(u"\\b\\other.prc", 3);
    places.hasBook = true;
    places.Follow(history, At(u"\\b\\a.prc", 1));
    places.Follow(history, At(u"\\b\\a.prc", 5));
    places.Follow(history, At(u"\\b\\a.prc", 9));
    ASSERT_TRUE(history.FindOtherDocument());
    ASSERT_TRUE(history.OpenFromFound());
    EXPECT_EQ(Text(places.shown.location), Text(At(u"\\b\\other.prc", 3).location));
    EXPECT_EQ(places.shown.viewWord, 3u);
}

TEST(DocumentHistory, AStepToAnotherDocumentOpensTheOneBeforeWhenItIsGone) {
    FakePlaces places;
    DocumentHistory history(places);
    places.shown = At(u"\\b\\first.prc", 2);
    places.hasBook = true;
    places.Follow(history, At(u"\\b\\gone.prc", 1));
    places.Follow(history, At(u"\\b\\a.prc", 1));
    places.missing.push_back(Text(At(u"\\b\\gone.prc", 1).location));
    ASSERT_TRUE(history.FindOtherDocument());
    ASSERT_TRUE(history.OpenFromFound());
    EXPECT_EQ(Text(places.shown.location), Text(At(u"\\b\\first.prc", 2).location));
}

TEST(DocumentHistory, OnlyOneDocumentHasNoOtherToStepTo) {
    FakePlaces places;
    DocumentHistory history(places);
    places.shown = At(u"\\b\\a.prc", 1);
    places.hasBook = true;
    places.Follow(history, At(u"\\b\\a.prc", 4));
    EXPECT_FALSE(history.FindOtherDocument());
    EXPECT_TRUE(places.opened.empty());
}

TEST(DocumentHistory, TheLastMarkedEntryOpens) {
    FakePlaces places;
    DocumentHistory history(places);
    places.shown = At(u"\\b\\a.prc", 1);
    places.hasBook = true;
    history.Entries().MarkNext();
    places.shown.mark = history.Entries().TakeMark();
    places.Follow(history, At(u"\\b\\c.prc", 2));
    places.Follow(history, At(u"\\b\\d.prc", 3));
    ASSERT_TRUE(history.ToLast());
    EXPECT_EQ(Text(places.shown.location), Text(At(u"\\b\\a.prc", 1).location));
}

}  // namespace
