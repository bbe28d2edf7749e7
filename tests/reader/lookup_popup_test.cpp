// The look-up pop-ups: what they say when no dictionary qualifies or nothing matched, recorded
// and drawn in English and French.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "document/markup/link_target.h"
#include "graphics/widgets/text_box.h"
#include "reader/lookup_popups.h"
#include "reader/text_popup_adapter.h"
#include "support/graphics/surface_test.h"

namespace {

class Recorder : public TextPopup {
public:
    std::vector<std::pair<std::u16string, std::uint32_t>> runs;
    bool full = false;
    bool AddText(const String& text, std::uint32_t flags) override {
        if (full) return false;
        runs.emplace_back(std::u16string(text.Data(), static_cast<std::size_t>(text.Length())),
                          flags);
        return true;
    }
    bool AddLink(const String&, std::uint32_t, std::uint32_t, std::uint32_t,
                 std::int32_t) override {
        return true;
    }
    bool ShowAt(const Rect&, Point, std::uint32_t) override { return true; }
    void Hide() override {}
};

TEST(LookupPopupTextTest, NoDictionaryGivesThePurchaseHintUnlessQuiet) {
    Recorder translation;
    ASSERT_TRUE(Lookup::FillNoDictionary(translation, 46, false));
    ASSERT_EQ(3u, translation.runs.size());
    EXPECT_EQ(u"Do you have a translation dictionary?", translation.runs[0].first);
    EXPECT_EQ(129u, translation.runs[0].second);
    EXPECT_EQ(0u, translation.runs[1].second);
    EXPECT_EQ(129u, translation.runs[2].second);

    Recorder any;
    ASSERT_TRUE(Lookup::FillNoDictionary(any, 45, false));
    EXPECT_EQ(u"Do you have a dictionary ?!", any.runs[0].first);

    Recorder quiet;
    ASSERT_TRUE(Lookup::FillNoDictionary(quiet, 46, true));
    ASSERT_EQ(1u, quiet.runs.size());
    EXPECT_EQ(u"No matching entry", quiet.runs[0].first);

    Recorder full;
    full.full = true;
    EXPECT_FALSE(Lookup::FillNoDictionary(full, 45, false));
}

TEST(LookupPopupTextTest, NoMatchAsksForAChoiceOnlyWhenNotQuiet) {
    Recorder choose, quiet;
    ASSERT_TRUE(Lookup::FillNoMatch(choose, false, true));
    EXPECT_EQ(u"No matching entry. Please choose a dictionary for manual search:",
              choose.runs[0].first);
    ASSERT_TRUE(Lookup::FillNoMatch(quiet, true, true));
    EXPECT_EQ(u"No matching entry", quiet.runs[0].first);
}

class LookupPopupLook : public fvt::test::SurfaceTest {
protected:
    explicit LookupPopupLook(const std::string& profile = "clock = virtual\n")
        : SurfaceTest(profile) {}
    void SetUp() override {
        SurfaceTest::SetUp();
        // Pictures to look at are drawn with the device's real faces.
        if (std::getenv("FOLIVANT_SNAPSHOTS")) GdiUseSyntheticFonts(false);
    }
    void TearDown() override {
        popup.reset();
        SurfaceTest::TearDown();
    }
    // Shown at an anchor near the foot of a tapped word, as a look-up shows it.
    void ShowHint(const char* shot) {
        popup = std::make_unique<WidgetTextPopup>(surface.get(), nullptr);
        ASSERT_TRUE(Lookup::FillNoDictionary(*popup, 46, false));
        ASSERT_TRUE(popup->ShowAt(Rect{}, Point{30, 40}, TextPopup::kAtAnchor));
        Snapshot(shot);
    }
    void ShowChoice(const char* shot) {
        popup = std::make_unique<WidgetTextPopup>(surface.get(), nullptr);
        ASSERT_TRUE(Lookup::FillNoMatch(*popup, false, true));
        TextPopupWindow& w = popup->Window();
        ASSERT_TRUE(w.ShowIndexSearchLink(String(u"%5Cd%5Cen.prc"), String(u"zyx"),
                                          String(u"\nLittle English Dictionary")));
        ASSERT_TRUE(w.ShowIndexSearchLink(String(u"%5Cd%5Cfr.prc"), String(u"zyx"),
                                          String(u"\nPetit dictionnaire")));
        ASSERT_TRUE(popup->ShowAt(Rect{}, Point{30, 40}, TextPopup::kAtAnchor));
        Snapshot(shot);
    }
    // "bank" twice in the English dictionary (3), once in the French one (8), none in 5.
    void ShowResults(const char* shot, bool compact) {
        popup = std::make_unique<WidgetTextPopup>(surface.get(), nullptr);
        std::vector<LookupMatch> matches(3);
        matches[0].dictionary = matches[1].dictionary = 3;
        matches[2].dictionary = 8;
        const std::vector<LookupEntry> entries{{5, 0, u"Empty Dictionary"},
                                               {3, 2, u"Little English Dictionary"},
                                               {8, 5, u"Petit dictionnaire"}};
        auto reference = [](std::uint32_t d) {
            return String(d == 3 ? u"%5Cd%5Cen.prc" : u"%5Cd%5Cfr.prc");
        };
        ASSERT_TRUE(Lookup::FillResultsPopup(*popup->Window().Box(), String(u"bank"), entries,
                                             matches, reference, compact));
        ASSERT_TRUE(popup->ShowAt(Rect{}, Point{30, 40}, TextPopup::kAtAnchor));
        Snapshot(shot);
    }
    LinkTarget* Link(int i) {
        Area* area = popup->Window().Box()->LinkArea(i);
        return area ? area->link.Get() : nullptr;
    }
    void ExpectInside() {
        Rect r = popup->Window().Rectangle();
        Rect client{};
        ASSERT_TRUE(popup->Window().ClientAreaIn(client, nullptr));
        EXPECT_GE(r.x, client.x);
        EXPECT_LE(r.Right(), client.Right());
        EXPECT_GT(r.height, 0);
    }
    std::unique_ptr<WidgetTextPopup> popup;
};

TEST_F(LookupPopupLook, PurchaseHintAndManualSearchChoice) {
    ShowHint("lookup_hint_en");
    ExpectInside();
    ShowChoice("lookup_choice_en");
    ExpectInside();
}

TEST_F(LookupPopupLook, ResultsLinkEachDictionaryToItsOwnMatches) {
    ShowResults("lookup_results_en", false);
    ExpectInside();
    LinkTarget* english = Link(0);
    ASSERT_NE(english, nullptr);
    EXPECT_EQ(static_cast<uint32_t>(kLinkTableSelection), english->kind);
    EXPECT_TRUE(english->text == String(u"%5Cd%5Cen.prc"));
    EXPECT_TRUE(english->secondText == String(u"bank"));
    EXPECT_EQ(2u, english->ColumnCount());
    LinkTarget* french = Link(1);
    ASSERT_NE(french, nullptr);
    // The entry claims 5 matches; only the one that is there goes with the link.
    EXPECT_EQ(1u, french->ColumnCount());
    EXPECT_EQ(8u, french->Columns()[0].dictionary);
    EXPECT_EQ(nullptr, Link(2));  // no line for a dictionary without matches
}

TEST_F(LookupPopupLook, CompactResultsAddressDictionariesByName) {
    ShowResults("lookup_results_compact_en", true);
    LinkTarget* english = Link(0);
    ASSERT_NE(english, nullptr);
    EXPECT_EQ(static_cast<uint32_t>(kLinkTableSelectionCompact), english->kind);
}

class LookupPopupLookFrench : public LookupPopupLook {
protected:
    LookupPopupLookFrench() : LookupPopupLook("clock = virtual\nlanguage = fr\n") {}
};

TEST_F(LookupPopupLookFrench, PurchaseHintAndManualSearchChoice) {
    Recorder words;
    ASSERT_TRUE(Lookup::FillNoMatch(words, false, true));
    EXPECT_EQ(
        u"Aucune entrée correspondante. Choisissez un dictionnaire pour une recherche "
        u"manuelle\u00A0:",
        words.runs[0].first);
    ShowHint("lookup_hint_fr");
    ExpectInside();
    ShowChoice("lookup_choice_fr");
    ExpectInside();
    ShowResults("lookup_results_fr", false);
    ExpectInside();
}

}  // namespace
