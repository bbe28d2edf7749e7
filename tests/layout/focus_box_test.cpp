// The text focus box and selection: word and line moves with wrapping, the selection's text
// and outline, lookup text and block samples, and ranges that never outlive their block.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "layout/focus_box.h"
#include "layout/page_canvas.h"
#include "layout/page_layout.h"
#include "support/layout/context_canvas.h"
#include "support/layout/layout_host.h"
#include "support/layout/page_painter.h"
#include "support/layout/recording_canvas.h"
#include "support/layout/utf8_text.h"
#include "support/platform/window_fixture.h"

namespace {

using fvt::test::LaidOutPage;
using fvt::test::LayoutHost;

using fvt::test::Utf8;

// The text of the word the box is on.
std::string FocusWord(TextFocus& f) {
    f.SetRange(true, false);
    f.SetRange(false, false);
    String text;
    uint32_t language = 0;
    if (!f.GetSelectionText(1, text, language)) return "<none>";
    return Utf8(text);
}

class FocusTest : public fvt::test::WindowTest {
public:
    // Lays out the HTML (240 pixels wide, 6 pixels a character) and binds the focus to the
    // first page.
    void Page(const std::u16string& body, int32_t width = 240, bool realFonts = false) {
        host = std::make_unique<LayoutHost>(u"<html><body>" + body + u"</body></html>", width, 320,
                                            12, realFonts);
        std::vector<LaidOutPage> pages;
        ASSERT_TRUE(host->Paginate(pages));
        lines = pages[0].lines;
        ASSERT_TRUE(slot.contents.CopyFrom(host->PageContents(0)));
        focus.SetDrawing(&canvas, nullptr);
        focus.Bind(&host->Layout(), &slot);
    }
    std::string Move(uint32_t direction) {
        if (!focus.MoveFocus(direction)) return "<false>";
        return FocusWord(focus);
    }

    std::unique_ptr<LayoutHost> host;
    std::vector<std::string> lines;
    PageSlot slot;
    TextFocus focus;
    fvt::test::RecordingCanvas canvas;
};

void AddRun(BlockContents& b, const char16_t* text, uint32_t& pos) {
    TextRun run;
    run.text = String(text);
    run.width = 6 * run.text.Length();
    ASSERT_TRUE(b.Append(run, pos));
    pos += static_cast<uint32_t>(run.text.Length());
}

void AddMark(BlockContents& b, uint32_t type, int32_t width, uint32_t pos) {
    FlowMark m;
    m.type = type;
    m.width = width;
    ASSERT_TRUE(b.Append(m, pos));
}

}  // namespace

TEST_F(FocusTest, WordMovesWrapBothWays) {
    Page(u"<p>The cat sat on the mat.</p>");
    EXPECT_EQ(Move(kFocusWordOn), "The");
    EXPECT_EQ(Move(kFocusWordOn), "cat");
    EXPECT_EQ(Move(kFocusWordBack), "The");
    EXPECT_EQ(Move(kFocusWordBack), "mat.");  // back from the first word: the last
    EXPECT_EQ(Move(kFocusWordOn), "The");     // on from the last: the first
}

TEST_F(FocusTest, AFreshBoxStartsAtTheEndGoingBack) {
    Page(u"<p>The cat sat on the mat.</p>");
    EXPECT_EQ(Move(kFocusWordBack), "mat.");
}

TEST_F(FocusTest, LineMovesGoToTheFirstWordOfTheLine) {
    Page(
        u"<p>alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu nu xi "
        u"omicron pi rho sigma tau upsilon phi chi psi omega</p>");
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(Move(kFocusWordOn), "alpha");
    std::string second = lines[1].substr(0, lines[1].find(' '));
    std::string last = lines.back().substr(0, lines.back().find(' '));
    EXPECT_EQ(Move(kFocusLineDown), second);
    EXPECT_EQ(Move(kFocusWordOn),
              lines[1].substr(lines[1].find(' ') + 1,
                              lines[1].find(' ', lines[1].find(' ') + 1) - lines[1].find(' ') - 1));
    // Up takes the first word of the line holding the word before: mid-line, this line's.
    EXPECT_EQ(Move(kFocusLineUp), second);
    EXPECT_EQ(Move(kFocusLineUp), "alpha");
    // On the first word, the word before is the block's last: its line's first word.
    EXPECT_EQ(Move(kFocusLineUp), last);
}

TEST_F(FocusTest, ABlockWithoutWordsKeepsItsRangeAndSaysNo) {
    BlockContents b;
    AddMark(b, kMarkLineBreak, 0, 0);
    AddMark(b, kMarkTextEnd, 0, 1);
    TextFocus f;
    f.BindBlock(&b);
    for (uint32_t d : {1u, 2u, 3u, 4u}) EXPECT_FALSE(f.MoveFocus(d)) << d;
    EXPECT_TRUE(f.Focus().IsEmpty());
    EXPECT_TRUE(f.MoveFocus(9));  // not a direction: nothing to do
    TextFocus none;
    EXPECT_FALSE(none.MoveFocus(kFocusWordOn));
}

TEST_F(FocusTest, SelectionReadsFromTheEarlierEndToTheLaterWordsEnd) {
    Page(u"<p>The cat sat on the mat.</p>");
    Move(kFocusWordOn);
    Move(kFocusWordOn);  // cat
    focus.SetRange(true, false);
    focus.MoveFocus(kFocusWordOn);
    focus.MoveFocus(kFocusWordOn);
    focus.MoveFocus(kFocusWordOn);  // the
    focus.SetRange(false, false);
    String text;
    uint32_t language = 0;
    ASSERT_TRUE(focus.GetSelectionText(1, text, language));
    EXPECT_EQ(Utf8(text), "cat sat on the");
    ASSERT_TRUE(focus.GetSelectionText(2, text, language));
    EXPECT_EQ(Utf8(text), "cat sat on the mat.");
    EXPECT_FALSE(focus.GetSelectionText(0, text, language));

    // The anchor after the box: from the box to the end of the anchor's word.
    focus.SetRange(true, false);  // anchor on "the"
    focus.MoveFocus(kFocusWordBack);
    focus.MoveFocus(kFocusWordBack);  // sat
    focus.SetRange(false, false);
    ASSERT_TRUE(focus.GetSelectionText(1, text, language));
    EXPECT_EQ(Utf8(text), "sat on the");
    uint32_t s = 0, e = 0;
    focus.GetSelectionRange(s, e);
    EXPECT_LT(s, e);
}

// A found text is shown as the selection of the whole words it meets.
TEST_F(FocusTest, AFoundTextSelectsTheWordsItMeets) {
    Page(u"<p>The cat sat on the mat.</p>");
    Move(kFocusWordOn);
    Move(kFocusWordOn);
    const FocusRange cat = focus.Focus();
    Move(kFocusWordOn);
    Move(kFocusWordOn);
    const FocusRange on = focus.Focus();
    ASSERT_TRUE(focus.SelectPositions(cat.start + 1, on.start + 1));
    String text;
    uint32_t language = 0;
    ASSERT_TRUE(focus.GetSelectionText(1, text, language));
    EXPECT_EQ(Utf8(text), "cat sat on");
    EXPECT_FALSE(focus.Outline().IsEmpty());
    // Nothing of the block in the range: no selection, and the old one is gone.
    EXPECT_FALSE(focus.SelectPositions(0xFFFFFF00u, 0xFFFFFFF0u));
    EXPECT_TRUE(focus.HasNoSelection());
    EXPECT_FALSE(focus.SelectPositions(on.start, on.start));
}

TEST_F(FocusTest, BreaksGiveOneSpaceAndHyphensAndZeroWidthBreaksNothing) {
    BlockContents b;
    uint32_t pos = 0;
    AddRun(b, u"gouver", pos);
    AddMark(b, kMarkHyphen, 6, pos);
    AddRun(b, u"nement", pos);
    AddMark(b, kMarkLineBreak, 0, pos);
    AddMark(b, kMarkSpace, 6, pos);
    AddMark(b, kMarkLineBreak, 0, pos);
    AddRun(b, u"\u4E2D", pos);
    AddMark(b, kMarkSpace, 0, pos);  // a break opportunity between ideographs
    AddRun(b, u"\u6587", pos);
    AddMark(b, kMarkSpace, 6, pos);
    AddMark(b, kMarkTextEnd, 0, pos);
    b.SetEndPosition(pos);
    TextFocus f;
    f.BindBlock(&b);
    ASSERT_TRUE(f.MoveFocus(kFocusWordOn));
    f.SetRange(true, false);
    f.MoveFocus(kFocusWordBack);  // wraps to the last word
    f.SetRange(false, false);
    String text;
    uint32_t language = 0;
    ASSERT_TRUE(f.GetSelectionText(1, text, language));
    EXPECT_EQ(Utf8(text), "gouvernement \u4E2D\u6587");
}

// The style in force at the text decides: a style that names no language (the end of a French
// element) leaves the language the caller came with, not the French of before.
TEST_F(FocusTest, LanguageIsTheOneOfTheStyleInForceAtTheText) {
    for (const bool frenchLast : {true, false}) {
        BlockContents b;
        PositionRecord french;
        french.language = 12;
        PositionRecord plain;
        ASSERT_TRUE(b.Append(frenchLast ? plain : french, 0));
        ASSERT_TRUE(b.Append(frenchLast ? french : plain, 0));
        uint32_t pos = 0;
        AddRun(b, u"\u00E9t\u00E9", pos);
        AddMark(b, kMarkTextEnd, 0, pos);
        b.SetEndPosition(pos);
        TextFocus f;
        f.BindBlock(&b);
        ASSERT_TRUE(f.MoveFocus(kFocusWordOn));
        f.SetRange(true, false);
        f.SetRange(false, false);
        String text;
        uint32_t language = 9;
        ASSERT_TRUE(f.GetSelectionText(1, text, language));
        EXPECT_EQ(language, frenchLast ? 12u : 9u);
    }
}

// On a laid-out page: a word takes the language of its innermost element that names one, and
// that language ends with the element.
TEST_F(FocusTest, AWordsLanguageIsItsInnermostElementsAndEndsWithIt) {
    Page(
        u"<p>one <span lang=\"fr\">deux</span> three</p><p lang=\"fr\">quatre</p><p>five</p>"
        u"<div lang=\"fr\"><p>six <span lang=\"en\">seven</span> huit</p></div><p>nine</p>");
    struct Word {
        const char* text;
        uint32_t language;  // 0: none named (the caller's stays)
    };
    const Word words[] = {{"one", 0},  {"deux", 12}, {"three", 0}, {"quatre", 12}, {"five", 0},
                          {"six", 12}, {"seven", 9}, {"huit", 12}, {"nine", 0}};
    ASSERT_TRUE(focus.MoveFocus(kFocusWordOn));
    for (const Word& w : words) {
        focus.SetRange(true, false);
        focus.SetRange(false, false);
        String text;
        uint32_t language = 1;
        ASSERT_TRUE(focus.GetSelectionText(1, text, language));
        EXPECT_EQ(Utf8(text), w.text);
        EXPECT_EQ(language & 1023, w.language ? w.language : 1u) << w.text;
        focus.MoveFocus(kFocusWordOn);
    }
}

TEST_F(FocusTest, LookupTextStopsAfterFiftyWordsUnlessUnlimited) {
    std::u16string words;
    for (int i = 0; i < 60; ++i) words += u"w" + std::u16string(1, u'a' + i % 26) + u" ";
    Page(u"<p>" + words + u"</p>", 2000);
    String text;
    uint32_t language = 0;
    ASSERT_TRUE(focus.GetLookupText(text, language, false));
    EXPECT_TRUE(text.IsEmpty());  // no selection: empty, true
    focus.MoveFocus(kFocusWordOn);
    focus.SetRange(true, false);
    focus.MoveFocus(kFocusWordBack);  // the last word
    focus.SetRange(false, false);
    ASSERT_TRUE(focus.GetLookupText(text, language, false));
    EXPECT_EQ(text.Length(), 50 * 3 - 1);
    ASSERT_TRUE(focus.GetLookupText(text, language, true));
    EXPECT_EQ(text.Length(), 60 * 3 - 1);
}

TEST_F(FocusTest, BlockSampleTakesSixWordsWhenThreeAreShort) {
    Page(u"<p>Il y a des \u00E9l\u00E9phants roses ici et l\u00E0.</p>");
    String text;
    uint32_t language = 0;
    ASSERT_TRUE(focus.GetBlockTextSample(text, language));
    EXPECT_EQ(Utf8(text), "Il y a des \u00E9l\u00E9phants roses");
    Page(u"<p>Extraordinary elephants wander quietly.</p>");
    ASSERT_TRUE(focus.GetBlockTextSample(text, language));
    EXPECT_EQ(Utf8(text), "Extraordinary elephants wander");
}

TEST_F(FocusTest, RangesAreDroppedWhenTheBlockChanges) {
    Page(u"<p>The cat sat on the mat.</p>");
    Move(kFocusWordOn);
    Move(kFocusWordOn);
    ASSERT_FALSE(focus.HasNoSelection());
    // An item inserted (a word split, a relayout): the old cursors would point elsewhere.
    BlockCursor c;
    c.Init(&slot.contents, true);
    FlowMark m;
    ASSERT_TRUE(slot.contents.Insert(c, m, 0, true));
    focus.Bind(&host->Layout(), &slot);
    EXPECT_TRUE(focus.HasNoSelection());
    EXPECT_TRUE(focus.Focus().IsEmpty());
    EXPECT_EQ(Move(kFocusWordOn), "The");
    // As many items as before, but not the same ones (a relayout into the same slot).
    Move(kFocusWordOn);
    ASSERT_FALSE(focus.HasNoSelection());
    BlockCursor last;
    last.Init(&slot.contents, false);
    last.Back();
    slot.contents.RemoveAt(last);
    c.Init(&slot.contents, true);
    ASSERT_TRUE(slot.contents.Insert(c, m, 0, true));
    focus.Bind(&host->Layout(), &slot);
    EXPECT_TRUE(focus.HasNoSelection());
    focus.Bind(&host->Layout(), nullptr);
    EXPECT_FALSE(focus.MoveFocus(kFocusWordOn));
}

TEST_F(FocusTest, OutlineIsDrawnInvertedAndErasedOnClear) {
    Page(u"<p>The cat sat on the mat.</p>");
    focus.MoveFocus(kFocusWordOn);
    focus.SetRange(true, false);
    focus.SetRange(false, true);
    auto drawn = canvas.Of('H');
    ASSERT_EQ(drawn.size(), 1u);
    Rect box;
    ASSERT_TRUE(focus.GetFocusBox(box));
    EXPECT_EQ(drawn[0].rect.x, box.x);
    EXPECT_EQ(box.width, 3 * 6);
    Point p;
    focus.GetFocusPoint(p);
    EXPECT_EQ(p.x, box.x);
    EXPECT_EQ(p.y, box.y);
    EXPECT_EQ(canvas.depth, 0);

    // Extending: the outline grows; only the difference is drawn, once.
    focus.MoveFocus(kFocusWordOn);
    focus.SetRange(false, true);
    EXPECT_EQ(canvas.Of('H').size(), 2u);
    Rect grown;
    ASSERT_TRUE(focus.GetFocusBox(grown));
    EXPECT_EQ(grown.width, 7 * 6);

    canvas.ops.clear();
    focus.BlinkFocusBox();
    EXPECT_EQ(canvas.Of('H').size(), 4u);  // an even count leaves the page as it was

    canvas.ops.clear();
    focus.ClearFocusBox();
    EXPECT_EQ(canvas.Of('H').size(), 1u);
    EXPECT_FALSE(focus.GetFocusBox(box));
    EXPECT_TRUE(focus.HasNoSelection());
    canvas.ops.clear();
    focus.BlinkFocusBox();
    EXPECT_TRUE(canvas.ops.empty());
}

TEST_F(FocusTest, ATapFocusesTheWordUnderIt) {
    Page(u"<p>The cat sat on the mat.</p>");
    BlockCursor c;
    c.Init(&slot.contents, true);
    const TextRun* cat = nullptr;
    for (; !c.AtEnd(); c.Next())
        if (c.Kind() == kItemTextRun &&
            slot.contents.Run(c.counts[kItemTextRun])->text == String(u"cat"))
            cat = slot.contents.Run(c.counts[kItemTextRun]);
    ASSERT_TRUE(cat);
    ASSERT_TRUE(focus.FocusWordAt(Point{cat->x + 7, cat->y - 2}));
    EXPECT_EQ(FocusWord(focus), "cat");
    EXPECT_FALSE(focus.FocusWordAt(Point{-50, -50}));
}

// Pages with a selection outlined, written as PNGs to look at (English and French text): the
// outline must cover the selected words exactly, line by line, and nothing else.
TEST_F(FocusTest, SelectionsDrawnOnPagesForLooking) {
    const char* binary = std::getenv("FOLIVANT_TEST_BINARY");
    std::filesystem::path folder =
        binary ? binary : std::filesystem::temp_directory_path().string();
    folder /= "layout-pages";
    std::filesystem::create_directories(folder);
    struct Sample {
        const char* name;
        std::u16string html;
        int from;  // word moves to the anchor, then to the box
        int to;
    };
    Sample samples[] = {
        {"focus-en",
         u"<p>It was a bright cold day in April, and the clocks were striking thirteen. "
         u"Winston Smith, his chin nuzzled into his breast in an effort to escape the vile "
         u"wind, slipped quickly through the glass doors.</p>",
         3, 17},
        {"focus-fr",
         u"<p>Longtemps, je me suis couch\u00E9 de bonne heure. Parfois, \u00E0 peine ma "
         u"bougie \u00E9teinte, mes yeux se fermaient si vite que je n'avais pas le temps "
         u"de me dire\u00A0: \u00AB\u00A0Je m'endors.\u00A0\u00BB</p>",
         2, 22},
    };
    bool real = std::getenv("FOLIVANT_LAYOUT_REAL_FONTS") != nullptr;
    for (const Sample& sample : samples) {
        Page(sample.html, 240, real);
        fvt::test::ContextCanvas* cc = fvt::test::NewContextCanvas(240, 320, real);
        GraphicsPageCanvas pageCanvas(fvt::test::CanvasContext(cc));
        focus.SetDrawing(&pageCanvas, nullptr);
        fvt::test::PaintBlock(fvt::test::CanvasContext(cc), slot.contents, Rect{0, 0, 240, 320},
                              12);
        for (int i = 0; i < sample.from; ++i) focus.MoveFocus(kFocusWordOn);
        focus.SetRange(true, false);
        for (int i = sample.from; i < sample.to; ++i) focus.MoveFocus(kFocusWordOn);
        focus.SetRange(false, true);
        Area outline;
        EXPECT_TRUE(focus.GetSelectionArea(outline)) << sample.name;
        EXPECT_GE(outline.RectCount(), 2) << sample.name;  // the selection spans lines
        EXPECT_TRUE(
            fvt::test::SaveCanvasPng(cc, (folder / (std::string(sample.name) + ".png")).string()));
        focus.ClearFocusBox();
        focus.SetDrawing(&canvas, nullptr);
        fvt::test::DeleteContextCanvas(cc);
    }
}
