// The document controller in a window: the page is measured at the window's size, drawn when
// the surface paints, and the page view element takes the surface's focus.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/platform_helpers.h"
#include "core/text.h"
#include "document/sources/document_loader.h"
#include "graphics/controls/check_box_control.h"
#include "graphics/controls/text_entry_control.h"
#include "graphics/core/drawing_surface.h"
#include "graphics/core/input_event.h"
#include "graphics/widgets/area.h"
#include "document/markup/link_target.h"
#include "layout/page_layout.h"
#include "layout/page_view.h"
#include "paths/app_paths.h"
#include "platform/gdi/gdi_layer.h"
#include "reader/book_document_controller.h"
#include "reader/book_document_controller_factory.h"
#include "reader/opening_rules.h"
#include "controller_books.h"
#include "graphics/core/input_event.h"
#include "layout/block_contents.h"
#include "media_books.h"
#include "reader/image_view.h"
#include "support/graphics/surface_host.h"

namespace {

class ControllerWindowTest : public fvt::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        GdiUseSyntheticFonts(true);
        fvt::test::WriteControllerBooks(device_);
        ASSERT_TRUE(Screen::GetWorkArea(work));
        hwnd = Make(work.x, work.y, 200, 180);
        ASSERT_NE(hwnd, nullptr);
        surface = std::make_unique<DrawingSurface>(nullptr);
        surface->SetWindow(hwnd);
        On(hwnd, fvt::test::SurfaceHost(surface.get()));
        loader = std::make_unique<DocumentLoader>(5);
        loader->SetOptions(&paths, nullptr, nullptr);
        controller.reset(
            static_cast<BookDocumentController*>(factory.CreateDocumentController(nullptr)));
        controller->SetDocumentLoader(loader.get());
        controller->SetDrawingSurface(surface.get());
    }
    void TearDown() override {
        On(hwnd, [](HWND, UINT, WPARAM, LPARAM, bool& handled) -> LRESULT {
            handled = false;
            return 0;
        });
        controller.reset();
        loader.reset();
        surface.reset();
        GdiUseSyntheticFonts(false);
        WindowTest::TearDown();
    }
    void Repaint() {
        fvt::RunUntilIdle();
        surface->InvalidateRect(nullptr);
        fvt::RunUntilIdle();
    }
    // The linked book's first page, drawn, with its marks.
    void OpenLinkedBook(PageLayout*& layout, AreaArray*& marks) {
        fvt::test::WriteLinkedBook(device_);
        ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\linked.prc")));
        layout = controller->Page().Layout();
        ASSERT_NE(layout, nullptr);
        Repaint();
        ASSERT_TRUE(layout->GetCurrentBlockMarks(marks));
        ASSERT_NE(marks, nullptr);
    }
    bool Tap(Point p) {
        InputEvent down = InputEvent::Pen(kPenDown, p);
        InputEvent up = InputEvent::Pen(kPenUp, p);
        bool pressed = surface->HandleEvent(down);
        return surface->HandleEvent(up) && pressed;
    }
    // Pixels of the window that are not the page's white.
    int InkedPixels() {
        int n = 0;
        for (int y = 0; y < 180; y += 2)
            for (int x = 0; x < 200; x += 2) n += ScreenPixel(work.x + x, work.y + y) != 0xFFFFFFu;
        return n;
    }
    uint64_t Fingerprint() {
        uint64_t h = 1469598103934665603ull;
        for (int y = 0; y < 180; ++y)
            for (int x = 0; x < 200; ++x) h = (h ^ ScreenPixel(work.x + x, work.y + y)) * 1099511628211ull;
        return h;
    }

    Rect work{};
    HWND hwnd = nullptr;
    std::unique_ptr<DrawingSurface> surface;
    AppPaths paths{Text(), nullptr};
    BookDocumentControllerFactory factory;
    std::unique_ptr<DocumentLoader> loader;
    std::unique_ptr<BookDocumentController> controller;
};

TEST_F(ControllerWindowTest, ThePageIsLaidOutAtTheWindowsSizeAndDrawn) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\a.prc")));
    ASSERT_NE(controller->Page().Layout(), nullptr);
    Repaint();
    int inked = InkedPixels();
    EXPECT_GT(inked, 100);        // text
    EXPECT_LT(inked, 200 * 180 / 4);  // on a white page
    uint64_t first = Fingerprint();
    ASSERT_TRUE(controller->StepPage(PageStepCode::kNextPage));
    Repaint();
    EXPECT_NE(Fingerprint(), first);
    ASSERT_TRUE(controller->StepPage(PageStepCode::kPageBefore));
    Repaint();
    EXPECT_EQ(Fingerprint(), first);
}

TEST_F(ControllerWindowTest, ThePageViewHasTheFocusAndLeavesWithItsBook) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\a.prc")));
    PositionViewElement* view = controller->Page().View();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->Parent(), surface.get());
    EXPECT_TRUE(view->IsFocused());
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\b.prc")));
    // The old element is out of the tree at once; the new one has the focus.
    EXPECT_EQ(view->Parent(), nullptr);
    ASSERT_NE(controller->Page().View(), nullptr);
    EXPECT_NE(controller->Page().View(), view);
    EXPECT_TRUE(controller->Page().View()->IsFocused());
    controller->Shutdown();
    EXPECT_EQ(surface->ChildCount(), 0);
    Repaint();
}

}  // namespace

namespace {

TEST_F(ControllerWindowTest, ACoverShowsItsPictureAndTheKeysLeaveItForTheText) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\covered.prc")));
    ASSERT_EQ(controller->CurrentView(), BookDocumentController::kCoverView);
    Repaint();
    // The red picture, scaled to fit and centred.
    EXPECT_EQ(ScreenPixel(work.x + 100, work.y + 90), 0xC82828u);
    controller->StepPage(PageStepCode::kNextPage);
    Repaint();
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kTextPage);
    EXPECT_NE(ScreenPixel(work.x + 100, work.y + 90), 0xC82828u);
    EXPECT_TRUE(controller->Page().View()->IsFocused());
}

TEST_F(ControllerWindowTest, APictureLocationShowsThePictureAndTheTextComesBack) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\covered.prc")));
    int32_t record = OpeningRules::CoverRecord(controller->Document()->GetDocument());
    ASSERT_GT(record, 0);
    String anchor(u"$");
    ASSERT_TRUE(anchor.AppendUnsigned(static_cast<uint32_t>(record), 10));
    ASSERT_TRUE(controller->OpenReference(anchor));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kImageView);
    ASSERT_NE(controller->Views().Picture(), nullptr);
    EXPECT_TRUE(controller->Views().Picture()->IsLoaded());
    Repaint();
    EXPECT_EQ(ScreenPixel(work.x + 100, work.y + 90), 0xC82828u);
    ASSERT_TRUE(controller->OpenLocation(String(), false, true));
    Repaint();
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kTextPage);
    EXPECT_EQ(controller->Views().Picture(), nullptr);
    EXPECT_NE(ScreenPixel(work.x + 100, work.y + 90), 0xC82828u);
}

TEST_F(ControllerWindowTest, ARecordPastTheBookIsRefused) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\covered.prc")));
    EXPECT_FALSE(controller->OpenReference(String(u"$9999")));  // past the records
    EXPECT_EQ(controller->Views().Picture(), nullptr);
}

// A tap on a reduced picture reaches the page through the surface and opens the picture full
// screen; the window bar's commands then zoom it.
TEST_F(ControllerWindowTest, ATapOnAReducedPictureOpensItAndItsBarCommandsZoomIt) {
    if (!fvt::test::WriteTalkBook(device_)) GTEST_SKIP() << "no Ogg encoder for the book's tracks";
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\talk.prc")));
    Repaint();
    PageSlot* slot = controller->Page().Layout()->CurrentPageSlot();
    ASSERT_NE(slot, nullptr);
    ASSERT_GE(slot->contents.KindCount(kItemInlineBox), 2);
    const Rect large = slot->contents.Object(1)->rect;
    // Text is not a picture: the page stays.
    EXPECT_FALSE(Tap(Point{large.x + 4, large.Bottom() + 30}));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kTextPage);

    EXPECT_TRUE(Tap(Point{large.x + large.width / 2, large.y + large.height / 2}));
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kImageView);
    ImageView* picture = controller->Views().Picture();
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->Viewport().factor, 256u);  // shown at its own size first
    EXPECT_EQ(controller->ViewMode(), static_cast<uint32_t>(ImageView::kViewKind));
    // Fit to view: the bar's command reaches the picture.
    ASSERT_TRUE(controller->IsCommandEnabled(28));
    EXPECT_TRUE(controller->ExecuteCommand(28));
    EXPECT_LT(picture->Viewport().factor, 256u);
    EXPECT_FALSE(controller->ExecuteCommand(66));  // a page step is not the picture's
}

}  // namespace

namespace {

// A tap on a link reaches the page view element under the pen (not the node that paints the
// page), so following it is a history step that Back undoes.
TEST_F(ControllerWindowTest, ATappedLinkIsFollowedAndBackReturnsToItsPage) {
    PageLayout* layout = nullptr;
    AreaArray* marks = nullptr;
    ASSERT_NO_FATAL_FAILURE(OpenLinkedBook(layout, marks));
    uint32_t first = layout->CurrentPageStart();
    // A point of the page's position link.
    int32_t link = -1;
    Point p{};
    for (int32_t i = 0; i < marks->Count() && link < 0; ++i) {
        Area* area = marks->At(i);
        if (!area || !area->link || area->link->kind != kLinkFilePosition) continue;
        for (int32_t y = 0; y < 180 && link < 0; y += 2)
            for (int32_t x = 0; x < 200 && link < 0; x += 2)
                if (area->HitTest(Point{x, y}, 0)) {
                    link = i;
                    p = Point{x, y};
                }
    }
    ASSERT_GE(link, 0);
    InputEvent down = InputEvent::Pen(kPenDown, p);
    InputEvent up = InputEvent::Pen(kPenUp, p);
    surface->HandleEvent(down);
    surface->HandleEvent(up);
    EXPECT_EQ(layout->CurrentMarkIndex(), static_cast<uint32_t>(link));
    // The reader controller runs the posted 90: the focused link is followed.
    ASSERT_TRUE(controller->ExecuteCommand(90));
    ASSERT_NE(controller->Page().Layout(), nullptr);
    EXPECT_NE(controller->Page().Layout()->CurrentPageStart(), first);
    EXPECT_EQ(controller->HistoryPosition(), 1u);
    ASSERT_TRUE(controller->ExecuteCommand(23));
    EXPECT_EQ(controller->Page().Layout()->CurrentPageStart(), first);
    Repaint();
}

// The link-focus keys reach the page through the surface: the first key focuses the page's
// first (last) link, the next ones go from link to link without turning the page, and 90 then
// follows the focused link.
TEST_F(ControllerWindowTest, TheLinkFocusKeysGoFromLinkToLinkOfThePage) {
    PageLayout* layout = nullptr;
    AreaArray* marks = nullptr;
    ASSERT_NO_FATAL_FAILURE(OpenLinkedBook(layout, marks));
    uint32_t first = layout->CurrentPageStart();
    std::vector<uint32_t> links;
    for (int32_t i = 0; i < marks->Count(); ++i)
        if (marks->At(i) && marks->At(i)->link) links.push_back(static_cast<uint32_t>(i));
    ASSERT_EQ(links.size(), 2u);
    auto press = [this](uint32_t code) {
        InputEvent key = InputEvent::Key(code);
        return surface->HandleEvent(key);
    };
    EXPECT_TRUE(press(1036));
    EXPECT_EQ(layout->CurrentMarkIndex(), links[1]);
    layout->SetCurrentMark(PageLayout::kNone, false, false);
    EXPECT_TRUE(press(1035));
    EXPECT_EQ(layout->CurrentMarkIndex(), links[0]);
    EXPECT_TRUE(press(1035));
    EXPECT_EQ(layout->CurrentMarkIndex(), links[1]);
    EXPECT_TRUE(press(1036));
    EXPECT_EQ(layout->CurrentMarkIndex(), links[0]);
    EXPECT_EQ(layout->CurrentPageStart(), first);
    EXPECT_EQ(controller->LinkFocusKind(), BookDocumentController::kFocusNone);
    Repaint();
    ASSERT_TRUE(controller->ExecuteCommand(90));
    ASSERT_NE(controller->Page().Layout(), nullptr);
    EXPECT_NE(controller->Page().Layout()->CurrentPageStart(), first);
    EXPECT_EQ(controller->HistoryPosition(), 1u);
}

// In a window the frames lie on the surface: the strips paint their own parts of the book
// over the window's page, which keeps the frame between them.
TEST_F(ControllerWindowTest, FramesArePaintedInTheirStrips) {
    fvt::test::WriteFramedBook(device_);
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\framed.prc")));
    Repaint();
    EXPECT_EQ(controller->Frames().Root().Parent(), nullptr);
    ASSERT_TRUE(controller->GoToPosition(200));
    ASSERT_EQ(controller->Frames().ControllerCount(), 2u);
    EXPECT_EQ(controller->Frames().Root().Parent(), surface.get());
    Repaint();
    // Ink in the 30-pixel foot strip at the bottom (the book from position 600).
    int inked = 0;
    for (int y = 180 - 28; y < 180; y += 2)
        for (int x = 0; x < 200; x += 2) inked += ScreenPixel(work.x + x, work.y + y) != 0xFFFFFFu;
    EXPECT_GT(inked, 10);
    EXPECT_EQ(controller->GetPageStart(), 200);
    ASSERT_TRUE(controller->GoToPosition(12));
    EXPECT_EQ(controller->Frames().Root().Parent(), nullptr);
    EXPECT_EQ(controller->Frames().ControllerCount(), 0u);
    Repaint();
}

}  // namespace

namespace {

// A point of the first link of that kind on a controller's page (the page's marks lie in window
// coordinates); false when the page shows none.
bool LinkPoint(BookDocumentController& c, uint32_t kind, Point& p, int32_t* index = nullptr) {
    AreaArray* marks = nullptr;
    if (!c.Page().Layout() || !c.Page().Layout()->GetCurrentBlockMarks(marks) || !marks)
        return false;
    for (int32_t i = 0; i < marks->Count(); ++i) {
        Area* area = marks->At(i);
        if (!area || !area->link || area->link->kind != kind) continue;
        for (int32_t y = 0; y < 180; ++y)
            for (int32_t x = 0; x < 200; ++x)
                if (area->HitTest(Point{x, y}, 0)) {
                    p = Point{x, y};
                    if (index) *index = i;
                    return true;
                }
    }
    return false;
}

struct FrameBar {
    BookDocumentController* bar = nullptr;
    BookDocumentController* foot = nullptr;
};

FrameBar FramesOf(BookDocumentController& c, uint32_t barPosition) {
    FrameBar f;
    for (size_t i = 0; i < c.Frames().ControllerCount(); ++i) {
        BookDocumentController* frame = c.Frames().ControllerAt(i);
        (frame->Frames().Position() == barPosition ? f.bar : f.foot) = frame;
    }
    return f;
}

// A frame's page asks to be drawn again in its own part of the window; a full repaint asks for
// the whole window.
TEST_F(ControllerWindowTest, AFramesPageIsDrawnAgainInItsOwnPart) {
    uint32_t barPosition = fvt::test::WriteFrameBarBook(device_);
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\framebar.prc")));
    ASSERT_TRUE(controller->GoToPosition(200));
    ASSERT_EQ(controller->Frames().ControllerCount(), 2u);
    Repaint();
    FrameBar frames = FramesOf(*controller, barPosition);
    ASSERT_NE(frames.bar, nullptr);
    const Rect part = frames.bar->Page().Viewport();
    ASSERT_LT(part.height, 180);
    RECT dirty{};
    ASSERT_FALSE(GetUpdateRect(hwnd, &dirty, FALSE));
    frames.bar->Invalidate(false);
    ASSERT_TRUE(GetUpdateRect(hwnd, &dirty, FALSE));
    const Rect asked = Rect::FromWinRect(dirty);
    EXPECT_EQ(asked.y, part.y);
    EXPECT_EQ(asked.height, part.height);
    fvt::RunUntilIdle();
    frames.bar->Invalidate(true);
    ASSERT_TRUE(GetUpdateRect(hwnd, &dirty, FALSE));
    EXPECT_EQ(Rect::FromWinRect(dirty).height, 180);
}

// The frames' pages lie in their frames: a tap on a link in the bar above the window's page
// reaches the bar's page, and the link moves the window's own page (the bar keeps its part of
// the book); Back returns to where the reader was.
TEST_F(ControllerWindowTest, ALinkTappedInAFrameMovesTheWindowsPage) {
    uint32_t barPosition = fvt::test::WriteFrameBarBook(device_);
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\framebar.prc")));
    ASSERT_TRUE(controller->GoToPosition(200));
    ASSERT_EQ(controller->Frames().ControllerCount(), 2u);
    Repaint();
    FrameBar frames = FramesOf(*controller, barPosition);
    ASSERT_NE(frames.bar, nullptr);
    ASSERT_NE(frames.foot, nullptr);
    ASSERT_NE(frames.bar->Page().View(), nullptr);
    EXPECT_EQ(frames.bar->Page().View()->Parent(), frames.bar->Frames().PartIfMade());
    // The window's own page keeps the keys until a frame is tapped.
    EXPECT_TRUE(controller->Page().View()->IsFocused());
    Point p{};
    int32_t link = -1;
    ASSERT_TRUE(LinkPoint(*frames.bar, kLinkFilePosition, p, &link));
    EXPECT_LT(p.y, 40);  // in the bar's strip
    EXPECT_TRUE(Tap(p));
    EXPECT_TRUE(frames.bar->Page().View()->IsFocused());
    EXPECT_EQ(frames.bar->Page().Layout()->CurrentMarkIndex(), static_cast<uint32_t>(link));
    // The reader controller runs the posted 90: the bar's link is followed in the window.
    ASSERT_TRUE(controller->ExecuteCommand(90));
    EXPECT_GE(controller->GetPageStart(), 4000);
    EXPECT_LE(controller->GetPageStart(), 5000);
    EXPECT_EQ(controller->HistoryPosition(), 1u);
    ASSERT_EQ(controller->Frames().ControllerCount(), 2u);
    EXPECT_EQ(frames.bar->GetPageStart(), static_cast<int32_t>(barPosition));
    // The page moved takes the keys: the next page key pages the book, not the bar.
    EXPECT_TRUE(controller->Page().View()->IsFocused());
    EXPECT_FALSE(frames.bar->Page().View()->IsFocused());
    ASSERT_TRUE(controller->ExecuteCommand(23));
    EXPECT_EQ(controller->GetPageStart(), 200);
    // A tap on the window's own page takes the keys back: 90 is the window's again.
    Tap(Point{100, 100});
    EXPECT_TRUE(controller->Page().View()->IsFocused());
    EXPECT_FALSE(frames.bar->Page().View()->IsFocused());
    Repaint();
}

// The link-focus keys go from frame to frame in frame order before the page steps, from the
// window's page or from a frame's; a focus moved into a frame follows that frame's link.
TEST_F(ControllerWindowTest, TheLinkFocusMovesBetweenFrames) {
    uint32_t footPosition = 0;
    uint32_t barPosition = fvt::test::WriteFrameBarBook(device_, &footPosition);
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\framebar.prc")));
    ASSERT_TRUE(controller->GoToPosition(200));
    Repaint();
    FrameBar frames = FramesOf(*controller, barPosition);
    ASSERT_NE(frames.bar, nullptr);
    ASSERT_NE(frames.foot, nullptr);
    EXPECT_EQ(frames.foot->GetPageStart(), static_cast<int32_t>(footPosition));
    // Forward from the window's page (no link there): the foot's link.
    ASSERT_TRUE(controller->MoveLinkFocus(1035, false));
    EXPECT_EQ(controller->GetPageStart(), 200);  // no page step
    EXPECT_TRUE(frames.foot->Page().View()->IsFocused());
    Point p{};
    int32_t link = -1;
    ASSERT_TRUE(LinkPoint(*frames.foot, kLinkAddress, p, &link));
    EXPECT_EQ(frames.foot->Page().Layout()->CurrentMarkIndex(), static_cast<uint32_t>(link));
    // Backward from the foot (its own keys): past the window's page to the bar's last link.
    ASSERT_TRUE(frames.foot->MoveLinkFocus(1036, false));
    EXPECT_TRUE(frames.bar->Page().View()->IsFocused());
    ASSERT_TRUE(LinkPoint(*frames.bar, kLinkAddress, p, &link));
    EXPECT_EQ(frames.bar->Page().Layout()->CurrentMarkIndex(), static_cast<uint32_t>(link));
    // Backward from the bar: no frame before it, so the window's page steps back.
    ASSERT_TRUE(frames.bar->MoveLinkFocus(1036, false));
    EXPECT_LT(controller->GetPageStart(), 200);
    EXPECT_EQ(controller->LinkFocusKind(), BookDocumentController::kFocusBackward);
    // 90 then focuses the last link the frames show (the foot's), following nothing.
    int32_t stepped = controller->GetPageStart();
    ASSERT_GE(stepped, 100);  // still in the frameset's range: the same frames
    ASSERT_EQ(controller->Frames().ControllerCount(), 2u);
    ASSERT_TRUE(controller->ExecuteCommand(90));
    EXPECT_EQ(controller->GetPageStart(), stepped);
    EXPECT_EQ(controller->HistoryPosition(), 0u);
    EXPECT_TRUE(frames.foot->Page().View()->IsFocused());
    ASSERT_TRUE(controller->GoToPosition(200));
    ASSERT_EQ(controller->Frames().ControllerCount(), 2u);
    frames = FramesOf(*controller, barPosition);
    // The window's page takes the keys back with a tap; from there backward is the bar's last
    // link, and 90 follows that address link: the window opens the other book.
    Tap(Point{100, 100});
    ASSERT_TRUE(controller->Page().View()->IsFocused());
    ASSERT_TRUE(controller->MoveLinkFocus(1036, false));
    EXPECT_EQ(controller->GetPageStart(), 200);
    ASSERT_NE(frames.bar, nullptr);
    ASSERT_TRUE(frames.bar->Page().View()->IsFocused());
    ASSERT_TRUE(controller->ExecuteCommand(90));
    ASSERT_NE(controller->CurrentLocation(), nullptr);
    const String& shown = controller->CurrentLocation()->GetText();
    EXPECT_TRUE(std::u16string(shown.Data(), static_cast<size_t>(shown.Length())).ends_with(u"b.prc"));
    EXPECT_EQ(controller->Frames().ControllerCount(), 0u);
    Repaint();
}

}  // namespace

namespace {

// The window changes size while the cover is shown: the text page that follows is laid out
// for the window as it is now, and the page element takes taps all over it.
TEST_F(ControllerWindowTest, AResizeUnderTheCoverReachesThePageShownAfter) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\covered.prc")));
    ASSERT_EQ(controller->CurrentView(), BookDocumentController::kCoverView);
    Repaint();
    SetWindowPos(hwnd, nullptr, work.x, work.y, 240, 300, SWP_NOZORDER);
    fvt::RunUntilIdle();
    Repaint();
    controller->StepPage(PageStepCode::kNextPage);
    Repaint();
    ASSERT_EQ(controller->CurrentView(), BookDocumentController::kTextPage);
    const Rect& column = controller->Page().Layout()->Column(0);
    EXPECT_GT(column.Bottom(), 180);
    EXPECT_GT(column.x + column.width, 200);
    ASSERT_NE(controller->Page().View(), nullptr);
    EXPECT_TRUE(controller->Page().View()->HitTest(Rect{230, 290, 1, 1}));
}

}  // namespace

namespace {

// A form's controls lie under the page view element, above the page: the pen reaches them,
// the keys go to the one that has the focus (those it does not take reach the page), and a
// tap on the text gives the keys back to the page.
TEST_F(ControllerWindowTest, AFormsControlsTakeThePenAndTheKeys) {
    std::string page =
        "<html><body><form name=\"f\"><p><input type=\"text\" name=\"t\" size=\"6\"></p>"
        "<p><input type=\"checkbox\" name=\"c\"> again</p></form>";
    for (int i = 0; i < 40; ++i) page += "<p>Some text under the form.</p>";
    device_.WriteHost("books/form.html", page + "</body></html>");
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\form.html")));
    Repaint();
    PositionViewElement* view = controller->Page().View();
    ASSERT_NE(view, nullptr);
    TextEntryControl* field = nullptr;
    CheckBoxControl* box = nullptr;
    for (int32_t i = 0; i < view->ChildCount(); ++i) {
        if (!field) field = dynamic_cast<TextEntryControl*>(view->ChildAt(i));
        if (!box) box = dynamic_cast<CheckBoxControl*>(view->ChildAt(i));
    }
    ASSERT_NE(field, nullptr);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(field->IsShown());

    const Rect f = field->ControlRect();
    EXPECT_TRUE(Tap(Point{f.x + f.width / 2, f.y + f.height / 2}));
    EXPECT_TRUE(field->IsFocused());
    InputEvent x = InputEvent::Key(kKeyCharacter, kNoCommand, u'x');
    EXPECT_TRUE(surface->HandleEvent(x));
    EXPECT_EQ(field->Value().Length(), 1);
    // A page step is not the field's: the page takes it.
    uint32_t start = controller->Page().Layout()->CurrentPageStart();
    InputEvent step = InputEvent::Key(11);
    EXPECT_TRUE(surface->HandleEvent(step));
    EXPECT_NE(controller->Page().Layout()->CurrentPageStart(), start);
    ASSERT_TRUE(controller->GoToPosition(0));
    Repaint();

    const Rect b = box->ControlRect();
    String before;
    ASSERT_TRUE(box->SaveState(before));
    EXPECT_TRUE(Tap(Point{b.x + b.width / 2, b.y + b.height / 2}));
    String after;
    ASSERT_TRUE(box->SaveState(after));
    EXPECT_FALSE(after == before);  // checked by the tap

    // A tap on the text below the form: the page has the keys again.
    Tap(Point{100, 170});
    EXPECT_TRUE(view->IsFocused());
    EXPECT_FALSE(field->IsFocused());
}

}  // namespace

namespace {

// The screen turns while a page of its own is shown over the text (the cover, a picture): the
// view fills the turned window and, turned back, the window as it was.
class TurnedWindowTest : public ControllerWindowTest {
protected:
    void Turn(int width, int height) {
        SetWindowPos(hwnd, nullptr, work.x, work.y, width, height, SWP_NOZORDER);
        fvt::RunUntilIdle();
        Repaint();
    }
};

TEST_F(TurnedWindowTest, TheCoverFillsTheWindowAfterATurnAndAfterTurningBack) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\covered.prc")));
    ASSERT_EQ(controller->CurrentView(), BookDocumentController::kCoverView);
    Repaint();
    Turn(300, 150);
    // The red picture, fitted to the new height and centred in the new width; the margins are
    // the cover's black.
    EXPECT_EQ(ScreenPixel(work.x + 150, work.y + 75), 0xC82828u);
    EXPECT_EQ(ScreenPixel(work.x + 3, work.y + 75), 0x000000u);
    EXPECT_EQ(ScreenPixel(work.x + 296, work.y + 75), 0x000000u);
    Turn(200, 180);
    EXPECT_EQ(ScreenPixel(work.x + 100, work.y + 90), 0xC82828u);
    EXPECT_EQ(ScreenPixel(work.x + 2, work.y + 90), 0x000000u);
    // The keys still leave it for the text.
    controller->StepPage(PageStepCode::kNextPage);
    Repaint();
    EXPECT_EQ(controller->CurrentView(), BookDocumentController::kTextPage);
}

TEST_F(TurnedWindowTest, APictureFillsTheWindowAfterATurnAndAfterTurningBack) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\covered.prc")));
    int32_t record = OpeningRules::CoverRecord(controller->Document()->GetDocument());
    String anchor(u"$");
    ASSERT_TRUE(anchor.AppendUnsigned(static_cast<uint32_t>(record), 10));
    ASSERT_TRUE(controller->OpenReference(anchor));
    ASSERT_NE(controller->Views().Picture(), nullptr);
    Repaint();
    Turn(300, 150);
    const Rect& turned = controller->Views().Picture()->Rectangle();
    EXPECT_EQ(turned.width, 300);
    EXPECT_EQ(turned.height, 150);
    EXPECT_EQ(ScreenPixel(work.x + 150, work.y + 75), 0xC82828u);
    Turn(200, 180);
    const Rect& back = controller->Views().Picture()->Rectangle();
    EXPECT_EQ(back.width, 200);
    EXPECT_EQ(back.height, 180);
    EXPECT_EQ(ScreenPixel(work.x + 100, work.y + 90), 0xC82828u);
}

TEST_F(TurnedWindowTest, ARecordSetPageFillsTheWindowAfterATurnAndAfterTurningBack) {
    fvt::test::WritePlacesBook(device_);
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\places.prc")));
    ASSERT_TRUE(controller->OpenReference(String(u"$fvtindex&65535")));
    ASSERT_NE(controller->Records().Page(), nullptr);
    Repaint();
    Rect shown;
    Turn(300, 150);
    ASSERT_TRUE(controller->Records().Page()->ViewNode().GetRect(shown));
    EXPECT_EQ(shown.width, 300);
    EXPECT_EQ(shown.height, 150);
    Turn(200, 180);
    ASSERT_TRUE(controller->Records().Page()->ViewNode().GetRect(shown));
    EXPECT_EQ(shown.width, 200);
    EXPECT_EQ(shown.height, 180);
}

}  // namespace
