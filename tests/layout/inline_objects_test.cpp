// Inline objects: the picture probe and its kinds, fitting and reduced display, the opening of a
// reduced picture, rules (length, centring, colours) and the log object's single entry.
#include "layout/inline_objects.h"

#include <gtest/gtest.h>

#include "bookfiles/sorted_record_database.h"
#include "media/image/icon_image.h"
#include "graphics/core/graphics_context.h"
#include "support/layout/context_canvas.h"
#include "support/layout/picture_data.h"

namespace {

using fvt::test::PictureHandle;

struct Opened {
    ImageObject* image = nullptr;
    ~Opened() {
        if (image) image->Release();
    }
};

ImageObject* Probe(std::vector<uint8_t> bytes) {
    PictureHandle* h = new PictureHandle(std::move(bytes));
    ImageObject* image = ImageObject::Create(h);
    h->Release();
    return image;
}

TEST(PictureProbe, KindsAndSizesFromTheHeader) {
    Opened gif{Probe(fvt::test::GifOfSize(20, 10))};
    ASSERT_NE(gif.image, nullptr);
    EXPECT_EQ(gif.image->Flags() & ImageObject::kKindMask, 1);
    EXPECT_FALSE(gif.image->IsJpeg());
    Size s;
    uint8_t flag = 0;
    EXPECT_TRUE(gif.image->MeasureSimple(s, flag));
    EXPECT_EQ(s, (Size{20, 10}));
    EXPECT_EQ(flag, 1);

    Opened bmp{Probe(fvt::test::BmpOfSize(7, 3))};
    ASSERT_NE(bmp.image, nullptr);
    EXPECT_EQ(bmp.image->Flags() & ImageObject::kKindMask, 2);

    std::vector<uint8_t> rgb(8 * 4 * 3, 128);
    Opened jpeg{Probe(fvt::test::WriteJpeg(8, 4, 3, rgb))};
    ASSERT_NE(jpeg.image, nullptr);
    EXPECT_EQ(jpeg.image->Flags() & ImageObject::kKindMask, 3);
    EXPECT_TRUE(jpeg.image->IsJpeg());
}

TEST(PictureProbe, UnknownAndEmptyDataGiveNoObject) {
    EXPECT_EQ(Probe({'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'}), nullptr);
    EXPECT_EQ(Probe({}), nullptr);
    EXPECT_EQ(ImageObject::Create(nullptr), nullptr);
}

// A refused picture must let go of the source it took: the opener's reference is the last.
TEST(PictureProbe, ARefusedPictureGivesItsSourceBack) {
    PictureHandle* h = new PictureHandle({'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'});
    EXPECT_EQ(ImageObject::Create(h), nullptr);
    EXPECT_EQ(h->RefCount(), 1u);
    h->Release();
}

TEST(PictureProbe, TheSourceIsReleasedWithTheObject) {
    PictureHandle* h = new PictureHandle(fvt::test::GifOfSize(4, 4));
    ImageObject* image = ImageObject::Create(h);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(h->RefCount(), 2u);
    image->Release();
    EXPECT_EQ(h->RefCount(), 1u);
    h->Release();
}

// A picture is decoded on its first draw and kept with the object: later draws of the same size
// do not read its data again; released with the object.
TEST(PictureDraw, DecodedOnceAndKeptWithTheObject) {
    PictureHandle* h = new PictureHandle(fvt::test::GifOfSize(6, 6));
    ImageObject* image = ImageObject::Create(h);
    ASSERT_NE(image, nullptr);
    const int probed = h->opens;
    const size_t held = KeptPicture::HeldBytes();
    {
        fvt::test::ContextCanvas* canvas = fvt::test::NewContextCanvas(16, 16);
        GraphicsContext* gc = fvt::test::CanvasContext(canvas);
        ASSERT_EQ(gc->BeginDraw(false, nullptr), gc);
        EXPECT_TRUE(image->Draw(gc, Rect{0, 0, 6, 6}, nullptr));
        EXPECT_TRUE(image->Draw(gc, Rect{8, 8, 6, 6}, nullptr));
        EXPECT_TRUE(image->Draw(gc, Rect{2, 8, 6, 6}, nullptr));
        EXPECT_EQ(h->opens, probed + 1);
        EXPECT_GT(fvt::test::CanvasInk(canvas, 8, 8, 6, 6), 0);
        EXPECT_TRUE(image->Draw(gc, Rect{0, 0, 3, 3}, nullptr));  // another size
        EXPECT_EQ(h->opens, probed + 2);
        fvt::test::DeleteContextCanvas(canvas);
    }
    EXPECT_GT(KeptPicture::HeldBytes(), held);
    image->Release();
    EXPECT_EQ(KeptPicture::HeldBytes(), held);
    h->Release();
}

TEST(PictureSize, FitKeepsTheProportionsBothWays) {
    Opened wide{Probe(fvt::test::GifOfSize(200, 100))};
    ASSERT_NE(wide.image, nullptr);
    Size box{50, 50};
    wide.image->FitSize(box);
    EXPECT_EQ(box, (Size{50, 25}));
    Opened tall{Probe(fvt::test::GifOfSize(100, 200))};
    Size box2{50, 50};
    tall.image->FitSize(box2);
    EXPECT_EQ(box2, (Size{25, 50}));
}

TEST(PictureSize, DisplayBelowTheNaturalSizeIsReduced) {
    Opened img{Probe(fvt::test::GifOfSize(40, 20))};
    EXPECT_TRUE(img.image->SetDisplay(Size{20, 10}, false));
    EXPECT_TRUE(img.image->IsScaledDown());
    EXPECT_FALSE(img.image->SetDisplay(Size{40, 20}, false));
    EXPECT_FALSE(img.image->SetDisplay(Size{20, 10}, true));
}

class Host : public InlineObjectHost {
public:
    bool OpenLink(const String& location) override {
        opened.push_back(location);
        return true;
    }
    std::vector<String> opened;
};

class Opener : public ImageDataOpener {
public:
    DataHandle* OpenImageData(const Location& location) override {
        last.CopyFrom(location);
        return new PictureHandle(fvt::test::GifOfSize(40, 20));
    }
    Location last;
};

TEST(PictureTaps, OnlyAReducedPictureWithAnOuterLocationOpens) {
    Opener opener;
    Location base;
    ASSERT_TRUE(base.Parse(String(u"file:///storage/book/index.html"), false));
    ImageObject* img = ImageObject::FromLocation(&opener, String(u"pics/a.gif"), &base, -1);
    ASSERT_NE(img, nullptr);
    Host host;
    img->Activate(&host);
    EXPECT_TRUE(host.opened.empty());  // shown whole
    img->SetDisplay(Size{10, 5}, false);
    img->Activate(&host);
    ASSERT_EQ(host.opened.size(), 1u);
    String text;
    EXPECT_TRUE(img->GetLocationText(&text));
    EXPECT_EQ(text, host.opened[0]);
    EXPECT_TRUE(img->GetLocationText(nullptr));
    img->Release();
}

TEST(PictureTaps, ARecordIndexBecomesADollarAnchor) {
    Opener opener;
    Location base;
    ASSERT_TRUE(base.Parse(String(u"file:///storage/book.prc"), false));
    ImageObject* img = ImageObject::FromLocation(&opener, String(u"book.prc"), &base, 12);
    ASSERT_NE(img, nullptr);
    EXPECT_TRUE(opener.last.Anchor() == String(u"$12"));
    img->Release();
}

TEST(Icons, ByIdInTheScreensSize) {
    EXPECT_EQ(ImageObject::IconById(IconHost{nullptr, 96}, -1), nullptr);
    EXPECT_EQ(ImageObject::IconById(IconHost{nullptr, 96}, 0x10000 + 235), nullptr);
    EXPECT_EQ(ImageObject::IconById(IconHost{nullptr, 96}, 9999), nullptr);  // no such icon
    for (auto [dpi, side] : {std::pair{96, 16}, {192, 32}}) {
        Opened icon{ImageObject::IconById(IconHost{nullptr, dpi}, 235)};
        ASSERT_NE(icon.image, nullptr) << dpi;
        ASSERT_NE(icon.image->Icon(), nullptr);
        EXPECT_EQ(icon.image->Source(), nullptr);
        Size s;
        uint8_t flag = 0;
        EXPECT_TRUE(icon.image->MeasureSimple(s, flag));
        EXPECT_EQ(s, (Size{side, side}));
        EXPECT_EQ(flag, 1);
        Size box{8, 40};
        icon.image->FitSize(box);
        EXPECT_EQ(box, (Size{8, 8}));
    }
}

TEST(Icons, FromAnIconLibraryLocationWithoutTheLoader) {
    Location base;
    ASSERT_TRUE(base.Parse(String(u"file:///storage/book/index.html"), false));
    IconHost host{nullptr, 96};
    Opened icon{
        ImageObject::FromLocation(nullptr, String(u"oeb:fvt_iconlib$236"), &base, -1, &host)};
    ASSERT_NE(icon.image, nullptr);
    EXPECT_EQ(icon.image->NaturalWidth(), 16);
    // An internal picture is never opened on its own.
    icon.image->SetDisplay(Size{8, 8}, false);
    EXPECT_FALSE(icon.image->GetLocationText(nullptr));
    Host tapped;
    icon.image->Activate(&tapped);
    EXPECT_TRUE(tapped.opened.empty());

    EXPECT_EQ(ImageObject::FromLocation(nullptr, String(u"oeb:fvt_iconlib$236"), &base, -1),
              nullptr);
    EXPECT_EQ(ImageObject::FromLocation(nullptr, String(u"oeb:fvt_iconlib"), &base, -1, &host),
              nullptr);
    // Any other location still needs the loader, and the loader never sees an icon's.
    Opener opener;
    EXPECT_EQ(ImageObject::FromLocation(nullptr, String(u"pics/a.gif"), &base, -1, &host), nullptr);
    Opened viaLoader{
        ImageObject::FromLocation(&opener, String(u"oeb:fvt_iconlib$235"), &base, -1, &host)};
    ASSERT_NE(viaLoader.image, nullptr);
    EXPECT_NE(viaLoader.image->Icon(), nullptr);
    EXPECT_EQ(opener.last.Kind(), Location::kEmptyKind);
}

TEST(Rules, NinetyFivePercentCentred) {
    HorizontalRule* rule = new HorizontalRule();
    EXPECT_EQ(rule->LengthIn(100), 95);
    EXPECT_EQ((100 - rule->LengthIn(100)) / 2, 2);
    Size s;
    uint8_t flag = 0;
    EXPECT_TRUE(rule->MeasureSimple(s, flag));
    EXPECT_EQ(s.height, 4);
    EXPECT_EQ(flag, 1);
    rule->Release();
}

TEST(Rules, LengthsStayWithinTheRectangle) {
    HorizontalRule rule;
    rule.SetWidth(0x80000010u);  // a negative length
    EXPECT_EQ(rule.LengthIn(100), 0);
    rule.SetWidth(5000);
    EXPECT_EQ(rule.LengthIn(100), 100);
    EXPECT_EQ(rule.LengthIn(-4), 0);
}

TEST(Rules, DarkColourIsHalved) {
    HorizontalRule rule;
    rule.SetColour(200 | 100 << 8 | 51 << 16);
    EXPECT_EQ(rule.Dark(), 100u | 50u << 8 | 25u << 16);
    EXPECT_EQ(rule.Light(), 200u | 100u << 8 | 51u << 16);
}

TEST(LogItems, LoggedOncePerLaidOutPage) {
    SortedRecordDatabase log;
    LogItemObject* item = new LogItemObject(String(u"apple pear"), &log);
    Size s{5, 5};
    uint8_t flag = 9;
    EXPECT_TRUE(item->MeasureSimple(s, flag));
    EXPECT_EQ(s, (Size{0, 0}));
    EXPECT_EQ(flag, 0);
    EXPECT_TRUE(item->Draw(nullptr, Rect{}, nullptr));
    EXPECT_TRUE(item->Draw(nullptr, Rect{}, nullptr));
    EXPECT_EQ(log.Items().size(), 2u);  // two items, added once
    item->Release();
    LogItemObject orphan(String(u"x"), nullptr);
    EXPECT_FALSE(orphan.Draw(nullptr, Rect{}, nullptr));
}

}  // namespace
