#include "reader/database_view_node.h"

#include <gtest/gtest.h>

#include <memory>

#include "../database/fake_index.h"
#include "core/color.h"
#include "reader/database_view.h"
#include "support/graphics/surface_test.h"

namespace {

constexpr uint32_t kNavy = Color::Pack(0, 0, 128);
constexpr uint32_t kBlack = Color::Pack(0, 0, 0);
constexpr uint32_t kWhite = Color::Pack(255, 255, 255);
constexpr uint32_t kHeaderGrey = Color::Pack(221, 221, 221);

class ViewNodeTest : public fvt::test::SurfaceTest {
protected:
    explicit ViewNodeTest(const std::string& profile = "clock = virtual\n")
        : SurfaceTest(profile) {}
    void SetUp() override {
        SurfaceTest::SetUp();
        table = new FakeIndex({"apple", "apples", "bank", "banker", "cat", "dog", "eel", "fig",
                               "goat", "hat", "ink", "jam", "kite", "lamp", "moon", "nest"},
                              "words");
        for (uint32_t e = 0; e < 16; ++e) table->SetTag(e, 4, {e % 4 == 0 ? 0u : 16u});
        table->SetTag(1, 4, {16 | 1});
        keys = new FakeIndex({"k"}, "keys");
    }
    void TearDown() override {
        if (node) node->Detach();
        node.reset();
        view.reset();
        table->Release();
        keys->Release();
        SurfaceTest::TearDown();
    }
    void Show(uint32_t flags = 0) {
        view = std::make_unique<DatabaseView>();
        view->SetFlags(flags);
        ASSERT_TRUE(view->AttachSource(table, keys, 7));
        node = std::make_unique<DatabaseViewNode>(view.get());
        node->SetParent(surface.get());
        Rect rest{};
        node->AdjustRect(rest, Rect{0, 0, 240, 200});
        Draw();
    }
    void Draw() {
        node->Redraw(nullptr);
        fvt::RunUntilIdle();
    }
    void Shot(const std::string& name) { Snapshot("record_set_" + name); }
    Rect Row(int i) {
        const Rect& l = node->ListRect();
        return Rect{l.x, l.y + i * node->RowHeight(), l.width, node->RowHeight()};
    }
    bool Key(uint32_t code, uint16_t c = 0) {
        InputEvent e = InputEvent::Key(code, kNoCommand, c);
        return node->HandleEvent(e);
    }

    FakeIndex* table = nullptr;
    FakeIndex* keys = nullptr;
    std::unique_ptr<DatabaseView> view;
    std::unique_ptr<DatabaseViewNode> node;
};

TEST_F(ViewNodeTest, RowsFillTheListBelowTheHeaderAndField) {
    Show();
    EXPECT_GT(CountPixels(Rect{0, 0, 240, 4}, kHeaderGrey), 100);
    EXPECT_GT(node->ListRect().y, node->RowHeight());
    EXPECT_EQ(view->Rows().size(),
              static_cast<size_t>(node->ListRect().height / node->RowHeight()));
    Shot("rows_en");
}

TEST_F(ViewNodeTest, ExpandableRowsAreNavyLeavesBlack) {
    Show();
    EXPECT_GT(CountPixels(Row(0), kNavy), 0);
    EXPECT_EQ(CountPixels(Row(2), kNavy), 0);
    EXPECT_GT(CountPixels(Row(2), kBlack), 0);
}

TEST_F(ViewNodeTest, SelectedRowIsInverted) {
    Show();
    const int whiteBefore = CountPixels(Row(2), kWhite);
    Key(kKeyDown);
    Key(kKeyDown);
    Key(kKeyDown);
    ASSERT_EQ(view->Selected(), 2);
    EXPECT_LT(CountPixels(Row(2), kWhite), whiteBefore / 2);
    Shot("selected_en");
}

TEST_F(ViewNodeTest, TypingMovesTheList) {
    Show();
    Key(kKeyCharacter, 'g');
    Key(kKeyCharacter, 'o');
    EXPECT_TRUE(view->SearchText() == String(u"go"));
    String first;
    view->RowText(0, first);
    EXPECT_TRUE(first == String(u"goat"));
    EXPECT_FALSE(Key(kKeyLeft)) << "keys the view has no use for go on to the window";
    Shot("typed_en");
}

TEST_F(ViewNodeTest, NoMatchScreenShowsBackAndTheMessage) {
    Show();
    Key(kKeyDown);
    Key(kKeyActivate);  // row 0 is expandable but has no keys
    ASSERT_TRUE(view->NoMatch());
    const Rect& l = node->ListRect();
    EXPECT_GT(CountPixels(Rect{l.x, l.y + l.height / 3, l.width, node->RowHeight() * 2}, kBlack),
              10);
    EXPECT_EQ(CountPixels(l, kNavy), 0);
    Shot("no_match_en");
}

TEST_F(ViewNodeTest, NeverUnderlineFlagKeepsRowsPlain) {
    Show();
    const int underlined = CountPixels(Row(0), kNavy);
    node->Detach();
    Show(DatabaseView::kNeverUnderline);
    EXPECT_LT(CountPixels(Row(0), kNavy), underlined);
}

TEST_F(ViewNodeTest, HintBoxTakesTheBottomOfTheList) {
    Show(0x8);
    const int32_t fullHeight = node->ListRect().height;
    view->SetHintsEnabled(true);
    Key(kKeyCharacter, 'b');
    Key(kKeyCharacter, '*');
    ASSERT_EQ(view->HintId(), 5345u);
    ASSERT_FALSE(node->HintRect().IsEmpty());
    EXPECT_LT(node->ListRect().height, fullHeight);
    EXPECT_LE(node->ListRect().Bottom(), node->HintRect().y);
    EXPECT_GT(CountPixels(node->HintRect(), kHeaderGrey), 100);
    Shot("hint_en");
}

class ViewNodeTestFrench : public ViewNodeTest {
protected:
    ViewNodeTestFrench() : ViewNodeTest("clock = virtual\nlanguage = fr\n") {}
};

TEST_F(ViewNodeTestFrench, LabelsComeFromTheFrenchTable) {
    GdiUseSyntheticFonts(false);
    Show();
    view->SetTemplates(String(u"Dictionnaire"), String(u"Sens de %key"));
    Draw();
    EXPECT_GT(CountPixels(Rect{0, 0, 240, node->ListRect().y}, kBlack), 20);
    Shot("rows_fr");
    Key(kKeyDown);
    Key(kKeyActivate);
    ASSERT_TRUE(view->NoMatch());
    Shot("no_match_fr");
    GdiUseSyntheticFonts(true);
}

}  // namespace

namespace {

// A host that paints the preview pane black and records what it was asked to show.
class PreviewHost : public DatabaseViewHost {
public:
    std::vector<int64_t> shown;
    int hidden = 0;
    Rect painted{};
    void PassBack() override {}
    bool OpenEntryTarget(IndexSource*, uint32_t, int64_t) override { return false; }
    bool OpenQueryRequest(const String&, const String&, int32_t, const String&,
                          uint32_t) override {
        return false;
    }
    void ShowPopupText(const String&) override {}
    void ShowPreview(IndexSource*, uint32_t, int64_t position) override {
        shown.push_back(position);
    }
    void HidePreview() override { ++hidden; }
    void PaintPreview(GraphicsContext& gc, const Rect& area) override {
        painted = area;
        gc.SetBrushColor(kBlack);
        gc.SetPenColor(kBlack);
        gc.DrawRectangle(area, true);
    }
};

TEST_F(ViewNodeTest, ThePreviewPaneTakesTheLowerPartInAFrame) {
    constexpr uint32_t kFrameGrey = Color::Pack(150, 150, 150);
    for (uint32_t e = 0; e < 16; ++e) table->SetTag(e, 1, {1000 + e});
    PreviewHost host;
    view = std::make_unique<DatabaseView>();
    view->SetHost(&host);
    view->SetPreviewEnabled(true);
    ASSERT_TRUE(view->AttachRecordSet(table));
    node = std::make_unique<DatabaseViewNode>(view.get());
    node->SetParent(surface.get());
    Rect rest{};
    node->AdjustRect(rest, Rect{0, 0, 240, 200});
    Draw();
    const int32_t fullRows = static_cast<int32_t>(view->Rows().size());
    EXPECT_TRUE(node->PreviewRect().IsEmpty());

    Key(kKeyDown);  // the first row selected: the pane opens on its entry
    ASSERT_TRUE(view->PreviewShown());
    ASSERT_EQ(host.shown, (std::vector<int64_t>{1000}));
    const Rect& pane = node->PreviewRect();
    EXPECT_EQ(pane.Bottom(), 200);
    EXPECT_EQ(pane.height, 200 * 40 / 100);
    EXPECT_LE(node->ListRect().Bottom(), pane.y);
    EXPECT_LT(static_cast<int32_t>(view->Rows().size()), fullRows);
    EXPECT_GT(CountPixels(Rect{pane.x, pane.y, pane.width, 3}, kFrameGrey), pane.width);
    EXPECT_EQ(host.painted.y, pane.y + 3);
    EXPECT_GT(CountPixels(host.painted, kBlack), host.painted.width * host.painted.height / 2);
    Key(kKeyDown);  // it follows the selection
    EXPECT_EQ(host.shown.back(), 1001);
    Shot("preview_en");

    // Back closes it before the view goes.
    view->ExecuteCommand(23);
    EXPECT_EQ(host.hidden, 1);
    EXPECT_FALSE(view->PreviewShown());
}

}  // namespace
