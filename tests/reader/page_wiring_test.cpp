// What the document controller hands its page: the pictures an HTML file names by SRC (read
// from the file's own folder only, and only when small enough), and the reader's margins, which
// reach the layout through the page view element.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/location/location.h"
#include "layout/block_contents.h"
#include "layout/inline_objects.h"
#include "layout/page_layout.h"
#include "layout/page_view.h"
#include "reader/book_document_controller.h"
#include "reader/picture_opener.h"
#include "reader/reader_settings.h"
#include "controller_fixture.h"
#include "support/media/image/picture_fixtures.h"

namespace {

std::string Bmp(int32_t width, int32_t height) {
    fvt::test::BmpSpec spec;
    spec.width = width;
    spec.height = height;
    spec.palette = {{0, 0, 0}, {200, 40, 40}};
    spec.pixels.assign(static_cast<size_t>(width * height), 1);
    std::vector<std::uint8_t> bytes = fvt::test::WriteBmp(spec);
    return std::string(bytes.begin(), bytes.end());
}

Location At(const char16_t* text, const Location* base = nullptr) {
    Location l;
    EXPECT_TRUE(l.Resolve(String(text), base));
    return l;
}

// The sizes of the pictures laid out on the current page.
std::vector<Size> PagePictures(BookDocumentController& controller) {
    std::vector<Size> out;
    PageSlot* slot =
        controller.Page().Layout() ? controller.Page().Layout()->CurrentPageSlot() : nullptr;
    EXPECT_NE(slot, nullptr);
    if (!slot) return out;
    for (int32_t i = 0; i < slot->contents.KindCount(kItemInlineBox); ++i)
        if (const InlineBox* box = slot->contents.Object(i))
            out.push_back(Size{box->rect.width, box->rect.height});
    return out;
}

TEST(PictureOpener, PicturesComeFromTheDocumentsFolderOnly) {
    Location page = At(u"\\books\\page\\pic.html");
    struct Case {
        const char16_t* source;
        bool in;
    } cases[] = {
        {u"p.bmp", true},
        {u"pics/p.bmp", true},
        {u"PICS\\P.BMP", true},         // letters and slashes as a page may write them
        {u"../outside.bmp", false},     // climbs out
        {u"pics/../../outside.bmp", false},
        {u"\\books\\page2\\p.bmp", false},  // a sibling folder that shares the name's start
        {u"\\windows\\p.bmp", false},
        {u"oeb:fvt_iconlib$235", false},    // no file (icons need no opener)
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        Location picture = At(cases[i].source, &page);
        EXPECT_EQ(LoaderPictureOpener::InDocumentFolder(picture, page), cases[i].in) << "case " << i;
    }
    // Not a file: nothing is its folder.
    EXPECT_FALSE(LoaderPictureOpener::InDocumentFolder(At(u"p.bmp", &page), At(u"oeb:cart")));
}

struct PageWiringTest : fvt::test::ControllerFixture {
    ~PageWiringTest() override { controller.reset(); }  // before the settings it may read
    ReaderSettings settings;
};

TEST_F(PageWiringTest, AnHtmlPageShowsItsOwnPicturesAndNoOthers) {
    device.WriteHost("books/page/pics/p.bmp", Bmp(12, 8));
    device.WriteHost("books/outside.bmp", Bmp(14, 6));
    // A picture whose file is far larger than its header says: refused unread.
    std::string big = Bmp(10, 10);
    big.resize(LoaderPictureOpener::kMaxPictureBytes + 1, '\0');
    device.WriteHost("books/page/big.bmp", big);
    device.WriteHost("books/page/bad.bmp", "BM not a picture");
    device.WriteHost("books/page/pic.html",
                     "<p>a <img src=\"../outside.bmp\"> b <img src=\"big.bmp\"> c "
                     "<img src=\"bad.bmp\"> d <img src=\"missing.bmp\"> e "
                     "<img src=\"pics/p.bmp\"> f</p>");
    ASSERT_TRUE(Open(u"\\books\\page\\pic.html"));
    controller->PaintPage();
    std::vector<Size> pictures = PagePictures(*controller);
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0].width, 12);
    EXPECT_EQ(pictures[0].height, 8);
}

TEST_F(PageWiringTest, TheReadersMarginsReachTheLayout) {
    ASSERT_TRUE(settings.Load(true));
    settings.SetMargins(20, 6);
    controller->SetSettings(&settings);
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    PageLayout* layout = controller->Page().Layout();
    ASSERT_NE(layout, nullptr);
    EXPECT_EQ(layout->ColumnCount(), 1);
    EXPECT_EQ(layout->Column(0).x, 20);
    EXPECT_EQ(layout->Column(0).y, 6);
    EXPECT_EQ(layout->Column(0).width, 240 - 40);
    EXPECT_EQ(layout->Column(0).height, 320 - 12);

    // Changed settings apply when the reader asks the controller to show them, from the same
    // page start.
    ASSERT_TRUE(controller->StepPage(PageStepCode::kNextPage));
    int32_t start = controller->GetPageStart();
    settings.SetMargins(1, 1);  // margins off: the top frame's page keeps one pixel
    controller->SaveViewState();
    EXPECT_EQ(layout->Column(0).x, 1);
    EXPECT_EQ(layout->Column(0).width, 240 - 2);
    EXPECT_EQ(controller->GetPageStart(), start);
}

// A line down on a page that ends in a forced page break takes the next page whole, and the
// mark the page view asks for with that step is the new page's current mark; any other step
// leaves the page reached with none.
TEST_F(PageWiringTest, TheMarkOfAStepReachesThePageItShows) {
    device.WriteHost("books/marks.html",
                     "<html><body><p><a href=\"#a\">one</a></p><fvt:pagebreak/>"
                     "<p><a href=\"#b\">two</a> <a href=\"#c\">three</a> "
                     "<a href=\"#d\">four</a></p><fvt:pagebreak/><p>five</p></body></html>");
    ASSERT_TRUE(Open(u"\\books\\marks.html"));
    controller->PaintPage();
    PageLayout* layout = controller->Page().Layout();
    PositionViewElement* view = controller->Page().View();
    ASSERT_TRUE(layout && view);
    const uint32_t first = layout->CurrentPageStart();
    EXPECT_EQ(layout->CurrentMarkIndex(), PageLayout::kNone);
    InputEvent lineDown = InputEvent::Key(kKeyLineDown);
    ASSERT_TRUE(view->HandleEvent(lineDown));
    controller->PaintPage();
    EXPECT_GT(layout->CurrentPageStart(), first);
    AreaArray* marks = nullptr;
    ASSERT_TRUE(layout->GetCurrentBlockMarks(marks) && marks);
    ASSERT_GE(marks->Count(), 2);
    EXPECT_EQ(layout->CurrentMarkIndex(), 1u);
    // PageDown asks for no mark: the page it shows has none current.
    InputEvent pageDown = InputEvent::Key(kKeyPageDown);
    ASSERT_TRUE(view->HandleEvent(pageDown));
    controller->PaintPage();
    EXPECT_EQ(layout->CurrentMarkIndex(), PageLayout::kNone);
}

// The book's first page is laid out when the book opens, before anything is painted; the first
// paint draws that page as it was laid out.
TEST_F(PageWiringTest, TheFirstPageIsLaidOutWhenTheBookOpens) {
    device.WriteHost("books/first.html", "<html><body><p>one two three</p></body></html>");
    ASSERT_TRUE(Open(u"\\books\\first.html"));
    PageLayout* layout = controller->Page().Layout();
    ASSERT_NE(layout, nullptr);
    EXPECT_EQ(layout->CurrentPageStart(), layout->FirstPageStart());
    const int32_t held = layout->Pages().SlotOf(layout->CurrentPageStart());
    ASSERT_GE(held, 0);
    PageSlot* slot = &layout->Slot(held);
    EXPECT_GT(slot->contents.Count(), 0);
    EXPECT_FALSE(slot->drawn);
    const uint64_t laidOut = layout->PagesLaidOut();
    controller->PaintPage();
    EXPECT_EQ(layout->CurrentPageSlot(), slot);
    EXPECT_TRUE(slot->drawn);
    // The short text has no page after it to lay out ahead: the paint laid nothing out.
    EXPECT_EQ(layout->PagesLaidOut(), laidOut);
}

}  // namespace
