// The text pop-up window: placement at an anchor (kept inside the window) or centred on it (even
// across the edge), its pale background, and the index-search and entry links it builds.
#include <gtest/gtest.h>

#include "core/resources.h"
#include "document/markup/link_target.h"
#include "document/sources/loader_adapters.h"
#include "graphics/widgets/text_popup_window.h"
#include "support/graphics/fake_form.h"
#include "support/graphics/surface_test.h"

namespace {

using fvt::test::A;
using fvt::test::S;

class TextPopupTest : public fvt::test::SurfaceTest {
protected:
    explicit TextPopupTest(const std::string& profile = "clock = virtual\n")
        : SurfaceTest(profile) {}
    void TearDown() override {
        popup.reset();
        SurfaceTest::TearDown();
    }
    void Make(const char* text) {
        popup = std::make_unique<TextPopupWindow>(surface.get(), nullptr, false, nullptr);
        popup->Box()->SetStyle(-12, 1);
        popup->Box()->AddRun(S(text), 0, nullptr);
    }
    LinkTarget* Link(int i) {
        Area* area = popup->Box()->LinkArea(i);
        return area ? area->link.Get() : nullptr;
    }
    std::unique_ptr<TextPopupWindow> popup;
};

TEST_F(TextPopupTest, AnAnchorNearTheRightEdgeIsShiftedInside) {
    Make("A note written in the margin of the page");
    popup->SetAnchor(Point{230, 20}, false);
    ASSERT_TRUE(popup->Show(true));
    Rect r = popup->Rectangle();
    Rect client{};
    ASSERT_TRUE(popup->ClientAreaIn(client, nullptr));
    EXPECT_LE(r.Right(), client.Right());
    EXPECT_LT(r.x, 230);
    EXPECT_EQ(r.y, 20);
    Rect box{};
    popup->Box()->GetRect(box);
    EXPECT_TRUE(Rect::ContainsRect(r, box));
}

// A pop-up anchored below a word on the last line goes above the word rather than over it.
TEST_F(TextPopupTest, APopupPushedUpOverItsWordGoesAboveIt) {
    Make("A note written in the margin of the page");
    Rect client{};
    ASSERT_TRUE(popup->ClientAreaIn(client, nullptr));
    const Rect word{40, client.Bottom() - 20, 30, 16};
    popup->SetKeepClear(word);
    popup->SetAnchor(Point{word.x, word.Bottom()}, false);
    ASSERT_TRUE(popup->Show(true));
    Rect r = popup->Rectangle();
    EXPECT_EQ(r.Bottom(), word.y);
    EXPECT_FALSE(Rect::Intersects(r, word));
    popup->Show(false);
    // Room below: the anchor holds.
    popup->SetAnchor(Point{word.x, 40}, false);
    popup->SetKeepClear(Rect{word.x, 24, 30, 16});
    ASSERT_TRUE(popup->Show(true));
    EXPECT_EQ(popup->Rectangle().y, 40);
}

TEST_F(TextPopupTest, ACentredPopupIsCentredEvenAcrossTheEdge) {
    Make("A note written in the margin of the page");
    popup->SetAnchor(Point{235, 100}, true);
    ASSERT_TRUE(popup->Show(true));
    Rect r = popup->Rectangle();
    EXPECT_NEAR(r.x + r.width / 2, 235, 1);
    EXPECT_NEAR(r.y + r.height / 2, 100, 1);
    EXPECT_GT(r.Right(), 240);
}

TEST_F(TextPopupTest, ThePopupIsPaleYellowBehindItsText) {
    GdiUseSyntheticFonts(false);
    Make("Lookup: abandon, to give up completely");
    popup->SetAnchor(Point{20, 30}, false);
    ASSERT_TRUE(popup->Show(true));
    fvt::RunUntilIdle();
    Rect r = popup->Rectangle();
    EXPECT_GT(CountPixels(r, TextPopupWindow::kBackground), r.width * r.height / 3);
    Snapshot("text_popup_en");
    popup->Show(false);
    EXPECT_FALSE(popup->IsShown());
}

TEST_F(TextPopupTest, IndexSearchLinksEscapeTheirTexts) {
    Make("Not found.");
    ASSERT_TRUE(popup->ShowIndexSearchLink(S("it's \"x\"\\"), S("a\r\nb"), S("search")));
    LinkTarget* t = Link(0);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->kind, static_cast<uint32_t>(kLinkScript));
    std::string script = A(t->text);
    EXPECT_EQ(script.rfind("window.open('it\\'s \\\"x\\\"\\\\','');index_search('','','", 0), 0u)
        << script;
    EXPECT_EQ(script.find('\r'), std::string::npos);
    EXPECT_EQ(script.find('\n'), std::string::npos);
    EXPECT_EQ(script.substr(script.size() - 2), "')");
    EXPECT_EQ(A(*popup->Box()->RunText(1)), "search");
}

TEST_F(TextPopupTest, AnEmptyLabelReadsManualSearch) {
    Make("Not found.");
    ASSERT_TRUE(popup->ShowIndexSearchLink(S("a"), S("b"), String()));
    String expected;
    ASSERT_TRUE(Resources::LoadString(expected, TextPopupWindow::kManualSearchId));
    EXPECT_EQ(A(*popup->Box()->RunText(1)), A(expected));
}

TEST_F(TextPopupTest, AnEntryLinkNeedsATitle) {
    Make("Entry");
    EntryRecords records(nullptr, nullptr);
    EXPECT_FALSE(popup->AddEntryLink(records, S("dict"), 4));
    EXPECT_EQ(popup->Box()->RunCount(), 1);
}

class TextPopupFrench : public TextPopupTest {
protected:
    TextPopupFrench() : TextPopupTest("clock = virtual\nlanguage = fr\n") {}
};

TEST_F(TextPopupFrench, TheManualSearchLabelIsFrench) {
    GdiUseSyntheticFonts(false);
    Make("Introuvable.");
    ASSERT_TRUE(popup->ShowIndexSearchLink(S("a"), S("b"), String()));
    EXPECT_NE(A(*popup->Box()->RunText(1)), "manual search");
    popup->SetAnchor(Point{20, 30}, false);
    ASSERT_TRUE(popup->Show(true));
    fvt::RunUntilIdle();
    Snapshot("text_popup_fr");
}

}  // namespace
