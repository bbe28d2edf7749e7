// The rich-text box on a surface: the shape search, line breaking (marks, CJK, line breaks,
// class changes, dropped blanks, empty lines), the capacity cut and kept runs, elision with a
// kept link and the marker, link rectangles over several lines, link stepping and activation
// (also from a pop-up that deletes the box when hidden), degenerate rectangles, failed appends,
// and pictures of a box in English and French.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "core/resources.h"
#include "document/markup/link_target.h"
#include "graphics/widgets/text_box.h"
#include "support/graphics/surface_test.h"

namespace {

String S(const char16_t* text) {
    int32_t n = 0;
    while (text[n]) ++n;
    return String(text, n);
}

class FakeOwner : public TextBoxOwner {
public:
    void PerformAction(LinkTarget* target, Point point) override {
        performed.push_back(target);
        points.push_back(point);
    }
    int8_t FontSize() override { return -12; }
    uint8_t DisplayFace() override { return 0; }
    std::vector<LinkTarget*> performed;
    std::vector<Point> points;
};

// A pop-up holding the box: hiding it may delete the box.
class Popup : public Widget {
public:
    bool Show(bool show) override {
        shown = show;
        if (!show) {
            ++hides;
            if (onHide) onHide();
        }
        return true;
    }
    bool IsShown() const override { return shown; }
    void Redraw(const Rect* area) override {
        if (!background.IsEmpty()) {
            DrawScope scope(this);
            if (scope) {
                scope.Context()->SetBrushColor(0xFFFFFF);
                scope.Context()->FillRect(background);
            }
        }
        Widget::Redraw(area);
    }
    bool HitTest(const Rect& area) override {
        return Rect::Intersects(background, area) || Widget::HitTest(area);
    }
    Rect background{};
    bool shown = true;
    int hides = 0;
    std::function<void()> onHide;
};

RefPtr<LinkTarget> Link() {
    return RefPtr<LinkTarget>::Adopt(new LinkTarget());
}

class TextBoxTest : public fvt::test::SurfaceTest {
protected:
    explicit TextBoxTest(const std::string& profile = "clock = virtual\n") : SurfaceTest(profile) {}
    void SetUp() override {
        SurfaceTest::SetUp();
        popup.SetParent(surface.get());
        box = new TextBox(&owner, false);
        box->SetParent(&popup);
        box->Clear();
        box->SetMaxRect(Rect{0, 0, 1000, 1000});
    }
    void TearDown() override {
        delete box;
        popup.Detach();
        SurfaceTest::TearDown();
    }
    // Lays the box out at (x, y) inside the maximum rectangle and draws it.
    void Place(int32_t x, int32_t y) {
        Size size = box->GetSize();
        Rect out;
        box->AdjustRect(out, Rect{x, y, size.width, size.height});
        box->Redraw(nullptr);
    }
    int32_t Width(const char16_t* text, uint32_t style = 0) {
        DrawScope scope(surface.get());
        FontStyle s = box->Style();
        s.flags = static_cast<uint8_t>((s.flags & ~7u) | (style & 7u));
        scope.Context()->SetFontStyle(s);
        Size size{};
        int32_t n = 0;
        while (text[n]) ++n;
        scope.Context()->MeasureText(text, n, size);
        return size.width;
    }
    // Breaks every line of the box at the limit; the pieces of each line.
    std::vector<std::vector<TextBox::Piece>> Lines(int32_t limit,
                                                   std::vector<TextBox::Line>* lines = nullptr) {
        DrawScope scope(surface.get());
        std::vector<std::vector<TextBox::Piece>> out;
        TextBox::Position pos;
        TextBox::Line line;
        int32_t previous = 0;
        for (int guard = 0; guard < 1000; ++guard) {
            std::vector<TextBox::Piece> pieces;
            if (!box->NextLine(scope.Context(), pos, limit, previous, line, &pieces)) break;
            previous = line.height;
            out.push_back(pieces);
            if (lines) lines->push_back(line);
        }
        return out;
    }
    std::u16string PieceText(const TextBox::Piece& p) {
        const String* t = box->RunText(p.run);
        return std::u16string(t->Data() + p.first, t->Data() + p.first + p.count);
    }

    // Draws a small lookup pop-up as a reader would see it: a heading, styled runs and a link.
    void DrawSample(TextBox& heading, const char* name, const String& moreLabel) {
        TextBox& box = *this->box;
        popup.background = Rect{10, 10, 200, 150};
        heading.Clear();
        heading.SetFrame(TextBox::kLineBelow, 0x808080);
        heading.SetMaxRect(Rect{10, 10, 200, 150});
        heading.AddRun(moreLabel, TextBox::kBold | TextBox::kCentre, nullptr);
        Rect rest;
        heading.AdjustRect(rest, Rect{10, 10, 200, 150});
        heading.Redraw(nullptr);
        box.Clear();
        box.SetMaxRect(Rect{10, 10 + heading.GetSize().height, 200, 120});
        box.AddRun(S(u"apple "), TextBox::kBold, nullptr);
        box.AddRun(S(u"noun. "), TextBox::kItalic, nullptr);
        box.AddRun(S(u"The round fruit of a tree of the rose family, which typically has thin "
                     u"green or red skin and crisp flesh."),
                   0, nullptr);
        RefPtr<LinkTarget> link = RefPtr<LinkTarget>::Adopt(new LinkTarget());
        box.AddRun(S(u"\n"), 0, nullptr);
        box.AddRun(moreLabel, 21, link.Get());
        Size size = box.GetSize();
        box.AdjustRect(rest, Rect{10, 10 + heading.GetSize().height, size.width, size.height});
        Repaint();
        fvt::RunUntilIdle();
        if (std::getenv("FOLIVANT_SNAPSHOTS")) fvt::SaveScreenshot(std::string(name) + ".png");
    }

    FakeOwner owner;
    Popup popup;
    TextBox* box = nullptr;
};

// ---- Shape and capacity -----------------------------------------------------------------------

TEST_F(TextBoxTest, ShapeSearchStartsFromAHundredUpToAnAreaOfTenThousand) {
    box->SetMaxRect(Rect{0, 0, 1000, 1000});
    ASSERT_FALSE(box->AddRun(S(u"short"), 0, nullptr));
    box->SetTextAreaForTesting(10000);
    box->GetSize();
    EXPECT_EQ(box->LayoutWidth(), 180);  // shape 150, first breaking at 180
    box->SetTextAreaForTesting(10001);
    box->AddRun(S(u"x"), 0, nullptr);  // lays out afresh
    box->SetTextAreaForTesting(10001);
    box->GetSize();
    EXPECT_EQ(box->LayoutWidth(), 224);  // 125 -> 187 -> 224
}

TEST_F(TextBoxTest, AFullBoxRefusesRunsButTakesKeptOnes) {
    box->SetMaxRect(Rect{0, 0, 20, 20});
    String text = S(u"a rather long text that cannot possibly fit in so small a box");
    EXPECT_TRUE(box->AddRun(text, 0, nullptr) || box->AddRun(text, 0, nullptr));
    ASSERT_GE(box->RunCount(), 1);
    EXPECT_LT(box->RunText(0)->Length(), text.Length());  // cut at the capacity
    EXPECT_GT(box->AverageGlyphArea(), 0u);
    int32_t runs = box->RunCount();
    EXPECT_TRUE(box->AddRun(S(u"more"), 0, nullptr));
    EXPECT_EQ(box->RunCount(), runs);
    RefPtr<LinkTarget> more = Link();
    EXPECT_FALSE(box->AddRun(S(u"More"), 21, more.Get()));
    EXPECT_EQ(box->RunCount(), runs + 1);
    EXPECT_EQ(box->LinkCount(), 1);
}

TEST_F(TextBoxTest, EmptyRunsAreNotStored) {
    box->SetMaxRect(Rect{0, 0, 100, 100});
    EXPECT_FALSE(box->AddRun(String(), 0, nullptr));
    EXPECT_EQ(box->RunCount(), 0);
    EXPECT_EQ(box->GetSize(), (Size{6, 6}));  // only the margins
}

TEST_F(TextBoxTest, DegenerateRectanglesNeitherHangNorDivideByZero) {
    for (Rect r : {Rect{0, 0, 0, 0}, Rect{0, 0, 3, 3}, Rect{0, 0, -5, 40}, Rect{0, 0, 8, 8}}) {
        box->Clear();
        box->SetMaxRect(r);
        box->AddRun(S(u"text"), TextBox::kKeep, nullptr);
        box->SetFrame(TextBox::kLineBelow, 0);  // uses the given width, not fixed
        box->GetSize();
        Place(0, 0);
        box->SetFrame(TextBox::kFilled, 0);
    }
    TextBox fixed(&owner, true);
    fixed.SetParent(&popup);
    fixed.Clear();
    fixed.SetMaxRect(Rect{0, 0, 50, 50});
    fixed.AddRun(S(u"heading"), 0, nullptr);
    Rect rest;
    fixed.AdjustRect(rest, Rect{0, 0, 2, 2});
    fixed.Redraw(nullptr);
}

TEST_F(TextBoxTest, AFailedAppendLeavesTheArraysTogether) {
    box->SetMaxRect(Rect{0, 0, 200, 200});
    RefPtr<LinkTarget> link = Link();
    for (int32_t n = 0; n < 3; ++n) {
        TextBox::FailAppendsAfterForTesting(n);
        EXPECT_TRUE(box->AddRun(S(u"link"), TextBox::kLink, link.Get()));
        TextBox::FailAppendsAfterForTesting(-1);
        EXPECT_EQ(box->RunCount(), 0);
        EXPECT_EQ(box->LinkCount(), 0);
        EXPECT_EQ(box->TextArea(), 0u);
    }
    EXPECT_FALSE(box->AddRun(S(u"link"), TextBox::kLink, link.Get()));
    Place(0, 0);  // reads all four arrays
}

// ---- Line breaking ----------------------------------------------------------------------------

TEST_F(TextBoxTest, ACommaStaysWithItsWordAndTheBlankGoesWithTheNextOne) {
    box->AddRun(S(u"a, b"), 0, nullptr);
    auto wide = Lines(1000);
    ASSERT_EQ(wide.size(), 1u);
    ASSERT_EQ(wide[0].size(), 2u);
    EXPECT_EQ(PieceText(wide[0][0]), u"a,");
    EXPECT_EQ(PieceText(wide[0][1]), u" b");
    auto narrow = Lines(Width(u"a, "));
    ASSERT_EQ(narrow.size(), 2u);
    EXPECT_EQ(PieceText(narrow[1][0]), u"b");  // the blank is dropped at the line start
}

TEST_F(TextBoxTest, CjkBreaksAfterEveryCharacterAndTheFullStopStaysWithItsCharacter) {
    box->AddRun(S(u"\u6f22\u5b57\u3002\u6587"), TextBox::kItalic, nullptr);
    auto lines = Lines(1000);
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(lines[0].size(), 3u);
    EXPECT_EQ(PieceText(lines[0][0]), u"\u6f22");
    EXPECT_EQ(PieceText(lines[0][1]), u"\u5b57\u3002");
    EXPECT_EQ(PieceText(lines[0][2]), u"\u6587");
}

TEST_F(TextBoxTest, CrLfEndsTheLineOnceAndAnEmptyLineKeepsThePreviousHeight) {
    box->AddRun(S(u"ab\r\ncd\n\nef"), 0, nullptr);
    std::vector<TextBox::Line> info;
    auto lines = Lines(1000, &info);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(PieceText(lines[0][0]), u"ab");
    EXPECT_EQ(PieceText(lines[1][0]), u"cd");
    EXPECT_TRUE(lines[2].empty());
    EXPECT_EQ(info[2].height, info[1].height);
    EXPECT_GT(info[2].height, 0);
    EXPECT_EQ(PieceText(lines[3][0]), u"ef");
}

TEST_F(TextBoxTest, RunsOfDifferentClassNeverShareALine) {
    box->AddRun(S(u"left"), 0, nullptr);
    box->AddRun(S(u"mid"), TextBox::kCentre, nullptr);
    box->AddRun(S(u"more"), TextBox::kCentre, nullptr);
    auto lines = Lines(1000);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].size(), 2u);
}

TEST_F(TextBoxTest, AWordWiderThanTheLineIsClippedNotWrapped) {
    box->AddRun(S(u"unbreakable"), 0, nullptr);
    std::vector<TextBox::Line> info;
    auto lines = Lines(10, &info);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(info[0].clipped);
    EXPECT_EQ(info[0].width, 10);
}

// ---- Elision and links ------------------------------------------------------------------------

TEST_F(TextBoxTest, AKeptLinkAtTheEndSurvivesTheCutAndTheMarkerEndsTheHead) {
    box->SetMaxRect(Rect{0, 0, 120, 60});
    std::u16string longText;
    for (int i = 0; i < 40; ++i) longText += u"word ";
    box->AddRun(String(longText.data(), static_cast<int32_t>(longText.size())), 0, nullptr);
    RefPtr<LinkTarget> more = Link();
    box->AddRun(S(u"More"), 21, more.Get());
    Size size = box->GetSize();
    ASSERT_NE(box->HeadLines(), -1);
    ASSERT_NE(box->TailStart(), -1);
    EXPECT_LE(size.height, 60);
    Place(10, 10);
    Area* area = box->LinkArea(0);
    ASSERT_NE(area, nullptr);
    EXPECT_TRUE(area->laidOut);
    Rect bounds;
    area->GetBounds(bounds);
    EXPECT_LE(bounds.Bottom(), 10 + size.height);
    Snapshot("text_box_elided");
}

TEST_F(TextBoxTest, KeysPassOverALinkWhoseLinesWereElided) {
    box->SetPassive(false);
    box->SetMaxRect(Rect{0, 0, 200, 56});
    RefPtr<LinkTarget> hidden = Link(), kept = Link();
    ASSERT_FALSE(box->AddRun(S(u"a\nb\nc\nd\n"), 0, nullptr));
    ASSERT_FALSE(box->AddRun(S(u"hidden\n"), TextBox::kLink, hidden.Get()));
    ASSERT_FALSE(box->AddRun(S(u"e\nf\ng\n"), 0, nullptr));
    box->AddRun(S(u"More"), 21, kept.Get());
    box->GetSize();
    ASSERT_NE(box->TailStart(), -1);
    Place(0, 0);
    EXPECT_FALSE(box->LinkArea(0)->laidOut);
    InputEvent next = InputEvent::Key(1037);
    box->HandleEvent(next);
    EXPECT_EQ(box->CurrentLink(), 1);
    box->HandleEvent(next);
    EXPECT_EQ(box->CurrentLink(), 1);  // the only link drawn
}

TEST_F(TextBoxTest, ALinkOverTwoLinesHasOneRectanglePerLine) {
    box->SetMaxRect(Rect{0, 0, 1000, 1000});
    box->SetFrame(TextBox::kLineBelow, 0);  // lines as wide as the box allows
    box->SetMaxRect(Rect{0, 0, Width(u"go to the") + 6, 1000});
    RefPtr<LinkTarget> link = Link();
    box->AddRun(S(u"go to the next page"), TextBox::kLink, link.Get());
    Place(0, 0);
    Area* area = box->LinkArea(0);
    ASSERT_TRUE(area->laidOut);
    EXPECT_GE(area->RectCount(), 2);
}

TEST_F(TextBoxTest, LinkStepsWrapAndABoxNeverDrawnIgnoresLinkKeys) {
    box->SetPassive(false);
    box->SetMaxRect(Rect{0, 0, 200, 200});
    RefPtr<LinkTarget> a = Link(), b = Link();
    box->AddRun(S(u"first "), TextBox::kLink, a.Get());
    box->AddRun(S(u"plain "), 0, nullptr);
    box->AddRun(S(u"second"), TextBox::kLink, b.Get());
    InputEvent next = InputEvent::Key(1037), back = InputEvent::Key(1038);
    box->HandleEvent(next);
    EXPECT_EQ(box->CurrentLink(), -1);  // nothing drawn yet
    Place(0, 0);
    box->HandleEvent(back);
    EXPECT_EQ(box->CurrentLink(), 1);  // back from no selection: the last
    box->HandleEvent(next);
    EXPECT_EQ(box->CurrentLink(), 0);  // past the last: the first
    InputEvent down = InputEvent::Key(kKeyPageDown);
    box->HandleEvent(down);
    EXPECT_EQ(box->CurrentLink(), 1);
    EXPECT_EQ(popup.hides, 0);
}

TEST_F(TextBoxTest, ABoxDrawnBeforeItWasMeasuredLaysItselfOutInTheGivenSize) {
    box->AddRun(S(u"some text"), TextBox::kLink, Link().Get());
    Rect out;
    box->AdjustRect(out, Rect{20, 30, 150, 40});
    box->Redraw(nullptr);
    EXPECT_TRUE(box->IsLaidOut());
    EXPECT_EQ(box->Placed(), (Rect{20, 30, 150, 40}));
    EXPECT_TRUE(box->LinkArea(0)->laidOut);
}

TEST_F(TextBoxTest, MovingTheBoxPlacesItsLinksAgain) {
    box->SetMaxRect(Rect{0, 0, 200, 200});
    RefPtr<LinkTarget> a = Link();
    box->AddRun(S(u"link"), TextBox::kLink, a.Get());
    Place(0, 0);
    Rect before;
    box->LinkArea(0)->GetBounds(before);
    Place(30, 40);
    Rect after;
    box->LinkArea(0)->GetBounds(after);
    EXPECT_EQ(after.x, before.x + 30);
    EXPECT_EQ(after.y, before.y + 40);
}

TEST_F(TextBoxTest, ActivatingALinkWorksEvenWhenHidingThePopupDeletesTheBox) {
    box->SetPassive(false);
    box->SetMaxRect(Rect{0, 0, 200, 200});
    RefPtr<LinkTarget> a = Link();
    box->AddRun(S(u"link"), TextBox::kLink, a.Get());
    Place(5, 5);
    InputEvent next = InputEvent::Key(1037);
    box->HandleEvent(next);
    popup.onHide = [this]() {
        delete box;
        box = nullptr;
    };
    InputEvent go = InputEvent::Key(kKeyActivate);
    TextBox* b = box;
    b->HandleEvent(go);  // ASan catches a touch of the deleted box
    EXPECT_EQ(box, nullptr);
    ASSERT_EQ(owner.performed.size(), 1u);
    EXPECT_EQ(owner.performed[0], a.Get());
    EXPECT_EQ(owner.points[0], (Point{5, 5}));
    EXPECT_EQ(a->RefCount(), 1);  // the call's reference was let go
}

TEST_F(TextBoxTest, PassiveBoxTakesNoEventsAndABoxWithoutLinksClosesItsPopup) {
    box->SetMaxRect(Rect{0, 0, 200, 200});
    box->AddRun(S(u"text"), 0, nullptr);
    InputEvent e = InputEvent::Key(kKeyDown);
    EXPECT_FALSE(box->HandleEvent(e));
    box->SetPassive(false);
    EXPECT_TRUE(box->HandleEvent(e));
    EXPECT_EQ(popup.hides, 1);
}

TEST_F(TextBoxTest, FixedWidthBoxTakesItsHeightOffTheTop) {
    TextBox heading(&owner, true);
    heading.SetParent(&popup);
    heading.Clear();
    heading.SetMaxRect(Rect{10, 20, 150, 100});
    heading.AddRun(S(u"Heading"), TextBox::kBold | TextBox::kCentre, nullptr);
    Rect rest;
    heading.AdjustRect(rest, Rect{10, 20, 150, 100});
    Size size = heading.GetSize();
    EXPECT_EQ(size.width, 150);
    EXPECT_EQ(rest, (Rect{10, 20 + size.height, 150, 100 - size.height}));
}

// ---- Pictures ---------------------------------------------------------------------------------

TEST_F(TextBoxTest, LookupPopupInEnglish) {
    GdiUseSyntheticFonts(false);  // the system's fonts, as a reader sees them
    String more;
    ASSERT_TRUE(Resources::LoadString(more, 5045));
    TextBox heading(&owner, true);
    heading.SetParent(&popup);
    DrawSample(heading, "text_box_en", more);
    EXPECT_GT(CountPixels(box->Placed(), TextBox::kLinkColour), 0);
}

class TextBoxFrenchTest : public TextBoxTest {
protected:
    TextBoxFrenchTest() : TextBoxTest("clock = virtual\nlanguage = fr\n") {}
};

TEST_F(TextBoxFrenchTest, LookupPopupInFrench) {
    GdiUseSyntheticFonts(false);
    String more;
    ASSERT_TRUE(Resources::LoadString(more, 5045));
    EXPECT_FALSE(more.EqualsAscii("Reset"));
    TextBox heading(&owner, true);
    heading.SetParent(&popup);
    DrawSample(heading, "text_box_fr", more);
    EXPECT_GT(CountPixels(box->Placed(), TextBox::kLinkColour), 0);
}

}  // namespace
