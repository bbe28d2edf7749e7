// Pictures drawn by the real engine in lines of text (box font, 12-pixel em: 6 pixels a
// character, ascent 9, descent 3): a picture takes its room on the line, so the text beside it
// starts after it, whatever its ALIGN, the line's alignment or its width.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/location/location.h"
#include "document/markup/html_tokenizer.h"
#include "layout/inline_objects.h"
#include "layout/page_drawing.h"
#include "layout/page_layout.h"
#include "support/layout/context_canvas.h"
#include "support/layout/paging_fixtures.h"
#include "support/layout/picture_data.h"
#include "support/layout/recording_canvas.h"
#include "support/platform/window_fixture.h"

namespace {

using fvt::test::Op;
using PageDrawing::LineBand;
using PageDrawing::ObjectOffset;

// Every picture is a 40 x 20 GIF, "wide" ones 400 x 20, "big" ones 400 x 200.
class Pictures : public ImageDataOpener {
public:
    DataHandle* OpenImageData(const Location& location) override {
        String text;
        location.ToString(text, true);
        if (text.Find(String(u"wide")) < text.Length())
            return new fvt::test::PictureHandle(fvt::test::GifOfSize(400, 20));
        if (text.Find(String(u"big")) < text.Length())
            return new fvt::test::PictureHandle(fvt::test::GifOfSize(400, 200));
        return new fvt::test::PictureHandle(fvt::test::GifOfSize(40, 20));
    }
};

class PictureDrawing : public fvt::test::WindowTest {
protected:
    // Lays out and paints the first page of body in a page `width` wide.
    void Paint(const std::u16string& body, int32_t width = 240) {
        fvt::test::ContextCanvas* canvas = fvt::test::NewContextCanvas(width, 320);
        fvt::test::SeekableDocument doc(u"<html><body>" + body + u"</body></html>", 512);
        HtmlTokenizer source(true);
        ASSERT_TRUE(source.Attach(&doc, 0));
        fvt::test::FixedTraits traits(0x11570002);
        recorder_.ops.clear();
        {
            PageLayout layout(&traits);
            layout.SetSource(&source);
            layout.SetGraphics(fvt::test::CanvasContext(canvas));
            layout.SetCanvas(&recorder_);
            LayoutSettings settings;
            settings.opener = &pictures_;
            layout.Configure(settings);
            layout.SetViewport(Rect{0, 0, width, 320});
            ASSERT_TRUE(layout.Start());
            ASSERT_TRUE(layout.GoToPage(1));
            ASSERT_TRUE(layout.PaintCurrentPage(false));
            layout.SetCanvas(nullptr);
        }
        fvt::test::DeleteContextCanvas(canvas);
        words_ = recorder_.Of('T');
        drawnPictures_ = recorder_.Of('O');
    }
    // The one picture drawn (none: an empty rectangle, and the test fails).
    Rect Picture() const {
        EXPECT_EQ(drawnPictures_.size(), 1u);
        return drawnPictures_.size() == 1 ? drawnPictures_[0].rect : Rect{};
    }
    // The drawn word with this text.
    Op Word(const std::u16string& text) const {
        for (const Op& w : words_)
            if (w.text == text) return w;
        ADD_FAILURE() << "no word " << std::string(text.begin(), text.end());
        return Op{};
    }
    Pictures pictures_;
    fvt::test::RecordingCanvas recorder_;
    std::vector<Op> words_;
    std::vector<Op> drawnPictures_;
};

TEST_F(PictureDrawing, TextAfterAPictureStartsPastIt) {
    // As in a book: a small picture opening a paragraph, the text running on beside it.
    Paint(u"<p><img src=\"bird.gif\"> The curlew is the shy one.</p>");
    const Rect picture = Picture();
    EXPECT_EQ(picture, (Rect{1, picture.y, 40, 20}));
    // The picture, its pixel of spacing on each side, then a space.
    EXPECT_EQ(Word(u"The").rect.x, 42 + 6);
    // It stands on the baseline of the text beside it.
    EXPECT_EQ(picture.y + picture.height, Word(u"The").rect.y);
}

TEST_F(PictureDrawing, APictureAmongWordsKeepsItsPlaceInTheLine) {
    Paint(u"<p>ab <img src=\"bird.gif\"> cd</p>");
    EXPECT_EQ(Picture().x, 18 + 1);
    EXPECT_EQ(Word(u"cd").rect.x, 18 + 42 + 6);
}

TEST_F(PictureDrawing, ACentredLineMovesItsPictureWithItsText) {
    // "ab " 18, the picture 42, " cd" 18: 78 of 240, 81 to the left.
    Paint(u"<p align=\"center\">ab <img src=\"bird.gif\"> cd</p>");
    EXPECT_EQ(Word(u"ab").rect.x, 81);
    EXPECT_EQ(Picture().x, 81 + 18 + 1);
    EXPECT_EQ(Word(u"cd").rect.x, 81 + 18 + 42 + 6);
}

TEST_F(PictureDrawing, LeftAndRightPicturesStayInTheLineCentredOnItsText) {
    for (const char16_t* align : {u"left", u"right"}) {
        Paint(std::u16string(u"<p><img align=\"") + align + u"\" src=\"bird.gif\"> The curlew</p>");
        const Rect picture = Picture();
        EXPECT_EQ(picture.x, 1);
        EXPECT_EQ(Word(u"The").rect.x, 48);
        // The text (9 above its baseline, 3 below) and the picture share a middle.
        int32_t baseline = Word(u"The").rect.y;
        EXPECT_EQ(picture.y + picture.height / 2, baseline - 3);
    }
}

TEST_F(PictureDrawing, VerticalAlignmentsPlaceThePictureInItsLine) {
    // The line is as tall as the picture and its spacing (22): ABSMIDDLE puts the baseline 14
    // down it, TOP and TEXTTOP 9 (the text's ascent), ABSBOTTOM 19 (above the descent); the
    // picture always lies one pixel of spacing inside the line.
    struct Case {
        const char16_t* align;
        int32_t baseline;  // from the top of the line
    } cases[] = {{u"absmiddle", 14}, {u"top", 9}, {u"absbottom", 19}, {u"texttop", 9}};
    for (const Case& k : cases) {
        Paint(std::u16string(u"<p><img align=\"") + k.align + u"\" src=\"bird.gif\"> word</p>");
        const Rect picture = Picture();
        EXPECT_EQ(picture.y, Word(u"word").rect.y - k.baseline + 1)
            << std::string(k.align, k.align + 4);
        EXPECT_EQ(Word(u"word").rect.x, 48);
    }
}

TEST_F(PictureDrawing, AWidePictureIsNarrowedToTheColumnAndTheTextGoesBelow) {
    Paint(u"<p><img src=\"wide.gif\"> After</p>", 120);
    const Rect picture = Picture();
    EXPECT_EQ(picture.x, 1);
    EXPECT_EQ(picture.width, 118);
    EXPECT_EQ(picture.height, 20 * 118 / 400);
    // The text does not fit beside it: it starts the next line, at the left.
    EXPECT_EQ(Word(u"After").rect.x, 0);
    EXPECT_GE(Word(u"After").rect.y - 9, picture.y + picture.height);
}

TEST_F(PictureDrawing, APictureWiderThanAnIndentedLineKeepsItsShape) {
    // Fitted to the column (118 x 59), then narrowed again to the list item's shorter line.
    Paint(u"<ul><li><img src=\"big.gif\"></li></ul>", 120);
    const Rect picture = Picture();
    EXPECT_GT(picture.x, 1);
    EXPECT_LT(picture.width, 118);
    EXPECT_LE(picture.x + picture.width + 1, 120);
    EXPECT_EQ(picture.height, picture.width / 2);
}

// ---- Where an object sits in its line ----------------------------------------------------

TEST(ObjectOffsets, EachAlignmentFindsItsPlace) {
    // A line 30 tall, baseline 20, text from 11 to 23; an object 10 tall with 1 of spacing.
    LineBand band{30, 20, 11, 23};
    EXPECT_EQ(ObjectOffset(0, 10, 1, 0, band), 1);    // top
    EXPECT_EQ(ObjectOffset(9, 10, 1, 0, band), 10);   // middle of the line
    EXPECT_EQ(ObjectOffset(10, 10, 1, 0, band), 19);  // bottom of the line
    EXPECT_EQ(ObjectOffset(4, 10, 1, 0, band), 12);   // top of the text
    EXPECT_EQ(ObjectOffset(1, 10, 1, 0, band), 12);   // middle of the text
    EXPECT_EQ(ObjectOffset(3, 10, 1, 0, band), 10);   // on the baseline
    EXPECT_EQ(ObjectOffset(3, 10, 1, 4, band), 14);   // its descent below it
    EXPECT_EQ(ObjectOffset(2, 10, 1, 0, band), 10);   // BOTTOM: on the baseline too
}

TEST(ObjectOffsets, WithoutTextOrRoomTheMiddleOfTheLineIsTaken) {
    // A rule alone on its line: no text to centre on.
    EXPECT_EQ(ObjectOffset(1, 4, 1, 0, LineBand{6, 3, 3, 3}), 1);
    // Centred on the text it would stick out of the line.
    EXPECT_EQ(ObjectOffset(1, 28, 1, 0, LineBand{30, 4, 1, 7}), 1);
}

}  // namespace
