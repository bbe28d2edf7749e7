// Marks of a laid-out page: link regions over wrapped lines, the bookmark tip's script text,
// marks only once drawn, and the current mark kept within the list.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "bookfiles/annotation_file.h"
#include "document/markup/link_target.h"
#include "document/markup/plain_text_token_source.h"
#include "layout/page_layout.h"
#include "support/document/memory_document.h"
#include "support/layout/paging_fixtures.h"
#include "support/layout/recording_canvas.h"
#include "support/platform/temp_device.h"

namespace {

using fvt::test::RecordingCanvas;

// Lays out a fixed page: "see the" / "harbour now", with "the harbour" under one link.
class LinkedPage : public PageContentLayout {
public:
    LinkedPage() {
        link = RefPtr<LinkTarget>::Adopt(new LinkTarget);
        link->kind = kLinkAddress;
        link->text = String(u"port.html", 9);
    }
    bool LayoutIntoSlot(PageLayout&, PageRecord&, PageSlot& slot, bool, PageRecord&,
                        bool& moreText) override {
        BlockContents& c = slot.contents;
        LineRecord line;
        line.height = 10;
        line.baseline = 8;
        PositionRecord plain, linked;
        linked.link.Assign(link.Get());
        FlowMark space;
        space.type = kMarkSpace;
        space.width = 6;
        bool ok = c.Append(line, 0) && c.Append(plain, 0) && c.Append(Run(u"see"), 0) &&
                  c.Append(space, 3) && c.Append(linked, 4) && c.Append(Run(u"the"), 4);
        line.y = 10;
        ok = ok && c.Append(line, 8) && c.Append(Run(u"harbour"), 8) && c.Append(plain, 15) &&
             c.Append(space, 15) && c.Append(Run(u"now"), 16);
        for (int i = 0; ok && i < extraLinks; ++i) {
            line.y = 20 + 10 * i;
            ok = c.Append(line, 20 + i) && c.Append(linked, 20 + i) &&
                 c.Append(Run(u"x"), 20 + i) && c.Append(plain, 21 + i);
        }
        moreText = false;
        return ok;
    }
    static TextRun Run(const char16_t* s) {
        TextRun r;
        r.text = String(s);
        r.width = static_cast<int32_t>(std::u16string(s).size()) * 6;
        return r;
    }
    RefPtr<LinkTarget> link;
    int extraLinks = 0;
};

class Marks : public ::testing::Test {
protected:
    void Open() {
        source_.Attach(&doc_, 0);
        layout_.SetSource(&source_);
        layout_.SetContentLayout(&content_);
        layout_.SetCanvas(&canvas_);
        layout_.Configure(fvt::test::SettingsAt(10));
        layout_.SetViewport(Rect{0, 0, 120, 60});
        ASSERT_TRUE(layout_.Start());
        ASSERT_TRUE(layout_.GoToPage(1));
    }
    AreaArray* MarkList() {
        AreaArray* list = nullptr;
        EXPECT_TRUE(layout_.GetCurrentBlockMarks(list));
        return list;
    }
    MemoryDocument doc_{u"see the harbour now and more words here"};
    PlainTextTokenSource source_;
    LinkedPage content_;
    RecordingCanvas canvas_;
    PageLayout layout_;
};

TEST_F(Marks, APageNeverDrawnHasNoMarks) {
    Open();
    AreaArray* list = nullptr;
    EXPECT_FALSE(layout_.GetCurrentBlockMarks(list));
    ASSERT_TRUE(layout_.LayoutPageAt(layout_.CurrentPageStart(), false));
    EXPECT_FALSE(layout_.GetCurrentBlockMarks(list));
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(layout_.CurrentMarkIndex(), PageLayout::kNone);
}

TEST_F(Marks, ALinkOverTwoLinesIsOneAreaOfTwoRectangles) {
    Open();
    ASSERT_TRUE(layout_.PaintCurrentPage(false));
    AreaArray* list = MarkList();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->Count(), 1);
    Area* a = list->At(0);
    EXPECT_EQ(a->RectCount(), 2);
    ASSERT_TRUE(a->link);
    EXPECT_EQ(a->link.Get(), content_.link.Get());
    Rect bounds;
    a->GetBounds(bounds);
    EXPECT_EQ(bounds.x, 0);  // "harbour" starts the second line
    EXPECT_EQ(bounds.y, 0);
    EXPECT_EQ(bounds.height, 20);
}

TEST_F(Marks, ALinksMarkIsAsWideAsItsOwnText) {
    // A short link below a longer one: its mark ends where its text does, not where the
    // one before ended.
    content_.extraLinks = 2;
    Open();
    ASSERT_TRUE(layout_.PaintCurrentPage(false));
    AreaArray* list = MarkList();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->Count(), 3);
    for (int32_t i = 1; i < 3; ++i) {
        Rect bounds;
        list->At(i)->GetBounds(bounds);
        EXPECT_EQ(bounds.x, 0);
        EXPECT_EQ(bounds.width, 6) << "link " << i;
    }
}

// The tip of the current mark: the words it covers, each line's piece in turn.
TEST_F(Marks, TheAreaTipHoldsTheWordsOfTheCurrentMark) {
    content_.extraLinks = 1;
    Open();
    ASSERT_TRUE(layout_.PaintCurrentPage(false));
    ASSERT_EQ(MarkList()->Count(), 2);
    String tip;
    Rect where{};
    EXPECT_FALSE(layout_.BuildAreaTip(tip, where)) << "no mark is current";
    layout_.SetCurrentMark(0, false, false);
    ASSERT_TRUE(layout_.BuildAreaTip(tip, where));
    EXPECT_TRUE(tip == String(u"the harbour"));
    EXPECT_EQ(where.y, 0);
    EXPECT_EQ(where.height, 20);
    layout_.SetCurrentMark(1, false, false);
    ASSERT_TRUE(layout_.BuildAreaTip(tip, where));
    EXPECT_TRUE(tip == String(u"x"));
    EXPECT_EQ(where.y, 20);
}

TEST_F(Marks, MarksAreRebuiltAfterTheyAreCleared) {
    Open();
    ASSERT_TRUE(layout_.PaintCurrentPage(false));
    ASSERT_EQ(MarkList()->Count(), 1);
    layout_.ClearCurrentBlockMarks();
    ASSERT_EQ(MarkList()->Count(), 1);
}

TEST_F(Marks, TheCurrentMarkStaysWithinTheList) {
    content_.extraLinks = 2;
    Open();
    ASSERT_TRUE(layout_.PaintCurrentPage(false));
    ASSERT_EQ(MarkList()->Count(), 3);
    layout_.SetCurrentMark(99, false, false);
    EXPECT_EQ(layout_.CurrentMarkIndex(), 2u);
    layout_.SetCurrentMark(0x80000005u, false, false);
    EXPECT_EQ(layout_.CurrentMarkIndex(), PageLayout::kNone);
    // Moving draws the old mark off, then the new one on.
    layout_.SetCurrentMark(0, false, false);
    canvas_.ops.clear();
    layout_.SetCurrentMark(1, true, false);
    ASSERT_EQ(canvas_.ops.size(), 2u);
    EXPECT_EQ(canvas_.ops[0].kind, 'A');
    EXPECT_EQ(canvas_.ops[1].kind, 'H');
    layout_.SetCurrentMark(2, false, false);
    layout_.RestoreRememberedMark();
    EXPECT_EQ(layout_.CurrentMarkIndex(), 2u);  // nothing remembered by the last move
    layout_.SetCurrentMark(0, true, false);
    layout_.SetCurrentMark(1, false, false);
    EXPECT_EQ(layout_.CurrentMarkIndex(), 1u);
}

TEST_F(Marks, AMarkIndexFromAStateIsCheckedWhenMarksAreBuilt) {
    Open();
    PageRecord* r = layout_.FindPageRecord(layout_.CurrentPageStart(), PageStepCode::kSamePage);
    ASSERT_NE(r, nullptr);
    r->markIndex = 40;
    ASSERT_TRUE(layout_.PaintCurrentPage(false));
    ASSERT_EQ(MarkList()->Count(), 1);
    EXPECT_EQ(layout_.CurrentMarkIndex(), PageLayout::kNone);
}

TEST_F(Marks, ASelectionOutlineCoversItsRange) {
    Open();
    ASSERT_TRUE(layout_.PaintCurrentPage(false));
    PageSlot* slot = layout_.CurrentPageSlot();
    ASSERT_NE(slot, nullptr);
    AreaArray out;
    RangeRegionStrategy range(4, 15);
    ASSERT_TRUE(layout_.BuildRegions(*slot, out, range, 0, slot->contents.Count(), false));
    ASSERT_EQ(out.Count(), 1);
    EXPECT_EQ(out.At(0)->RectCount(), 2);
}

class Tips : public Marks {
protected:
    AnnotationFile* Bookmark(const std::u16string& text) {
        auto* f = new AnnotationFile;
        EXPECT_EQ(f->OpenOrCreate("\\book.prc", "Book", 4, 0, 1, 1), 0);
        int32_t i = f->AddBookmark(1, 2, 3, 0, 0, 0, 0);
        EXPECT_GE(i, 0);
        f->SetBookmarkText(i, text.data(), static_cast<uint32_t>(text.size()));
        return f;
    }
    std::u16string TipScript() {
        AreaArray* list = MarkList();
        for (int32_t i = 0; list && i < list->Count(); ++i) {
            Area* a = list->At(i);
            if (a->link && a->link->kind == kLinkScript)
                return std::u16string(a->link->text.Data(),
                                      static_cast<size_t>(a->link->text.Length()));
        }
        return {};
    }
    fvt::test::TempDevice device_;
};

TEST_F(Tips, TheBookmarkCornerShowsItsTextAsATip) {
    Open();
    AnnotationFile* f = Bookmark(u"ab");
    layout_.SetAnnotations(f);
    ASSERT_TRUE(layout_.PaintCurrentPage(false));
    EXPECT_EQ(TipScript(), u"display_tip(\"ab\",1)");
    layout_.SetAnnotations(nullptr);
    f->Release();
}

TEST_F(Tips, TheTipTextIsEscaped) {
    Open();
    AnnotationFile* f = Bookmark(u"say \"hi\"\\\n");
    layout_.SetAnnotations(f);
    ASSERT_TRUE(layout_.PaintCurrentPage(false));
    EXPECT_EQ(TipScript(), u"display_tip(\"say \\\"hi\\\"\\\\\\n\",1)");
    layout_.SetAnnotations(nullptr);
    f->Release();
}

// Text under the reader's own link (an annotation linked to another) is a link region of the
// page, carrying the annotation; where the book has a link of its own, the book's stays.
TEST_F(Tips, TextUnderTheReadersOwnLinkIsALink) {
    Open();
    auto* f = new AnnotationFile;
    ASSERT_EQ(f->OpenOrCreate("\\book.prc", "Book", 4, 0, 1, 1), 0);
    int32_t source = f->AddBookmark(AnnotationFile::kLink, 16, 19, 0, 0, 0, 0);  // "now"
    int32_t target = f->AddBookmark(AnnotationFile::kLink, 30, 34, 0, 0, 0, 0);
    ASSERT_GE(source, 0);
    ASSERT_GE(target, 0);
    f->SetLinkedBookmark(source, target);
    f->SetLinkedBookmark(target, source);
    layout_.SetAnnotations(f);
    ASSERT_TRUE(layout_.PaintCurrentPage(false));
    AreaArray* list = MarkList();
    ASSERT_NE(list, nullptr);
    int32_t own = 0, book = 0;
    for (int32_t i = 0; i < list->Count(); ++i) {
        const Area* a = list->At(i);
        if (!a->link) continue;
        if (a->link.Get() == content_.link.Get()) ++book;
        if (a->link->kind == kLinkCoordinates && a->link->objectKind == 24 &&
            a->link->number == static_cast<uint32_t>(source))
            ++own;
    }
    EXPECT_EQ(book, 1);
    EXPECT_EQ(own, 1);
    layout_.SetAnnotations(nullptr);
    f->Release();
}

// A custom link keeps its destination as an address, not as a linked annotation: its text is a
// link region too. A note without an address leaves its text to the page (only its marker).
TEST_F(Tips, TextUnderACustomLinksAddressIsALinkAndUnderAPlainNoteIsNot) {
    Open();
    auto* f = new AnnotationFile;
    ASSERT_EQ(f->OpenOrCreate("\\book.prc", "Book", 4, 0, 1, 1), 0);
    const int32_t link = f->AddBookmark(AnnotationFile::kLink, 16, 19, 0, 0, 0, 0);  // "now"
    const int32_t note = f->AddBookmark(AnnotationFile::kNote, 30, 34, 0, 0, 0, 0);
    ASSERT_GE(link, 0);
    ASSERT_GE(note, 0);
    const std::u16string url = u"oeb:redirect?title=Other";
    ASSERT_EQ(f->SetBookmarkUrl(link, url.data(), static_cast<uint32_t>(url.size())), 0);
    layout_.SetAnnotations(f);
    ASSERT_TRUE(layout_.PaintCurrentPage(false));
    AreaArray* list = MarkList();
    ASSERT_NE(list, nullptr);
    int32_t linkText = 0, noteText = 0;
    for (int32_t i = 0; i < list->Count(); ++i) {
        const Area* a = list->At(i);
        if (!a->link || a->link->kind != kLinkCoordinates || a->link->objectKind != 24) continue;
        if (a->link->number == static_cast<uint32_t>(link)) ++linkText;
        if (a->link->number == static_cast<uint32_t>(note)) ++noteText;
    }
    EXPECT_EQ(linkText, 1);
    EXPECT_EQ(noteText, 0);
    layout_.SetAnnotations(nullptr);
    f->Release();
}

}  // namespace
