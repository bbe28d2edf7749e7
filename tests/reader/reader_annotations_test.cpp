// Annotations made through the reader controller: style words, the text-entry dialog, empty
// texts, notes without a selection, and deleting through a side file opened by path.
#include <gtest/gtest.h>

#include <memory>

#include "bookfiles/annotation_file.h"
#include "core/resources.h"
#include "reader/reader_command_ids.h"
#include "reader/reader_controller.h"
#include "reader/reader_host.h"
#include "reader/reader_settings.h"
#include "support/platform/temp_device.h"
#include "support/reader/reader_fakes.h"

namespace {

using fvt::test::U16;

class ReaderAnnotationsTest : public ::testing::Test {
protected:
    static constexpr const char* kBook = "\\book.prc";

    void SetUp() override {
        ASSERT_TRUE(device_.ok());
        file_ = new AnnotationFile();
        ASSERT_EQ(0, file_->OpenOrCreate(kBook, "Book", 4, 0, 1, 1));
        settings_.Load(true);
        settings_.SetColours(0, 0, 0, 0x0000FF, 0x9BFFFF);
        controller_.SetSettings(&settings_);
        controller_.SetDocumentController(&doc_);
        controller_.SetShell(&shell_);
        doc_.annotations = file_;
    }
    void TearDown() override {
        if (file_) file_->Release();
        Resources::FlushCache();
    }
    // The record index of the n-th annotation (indices are the side file's record numbers).
    int32_t Nth(int n) {
        BookmarkIterator it;
        file_->StartIterator(&it, 0, 0, 0xFFFFFFFF);
        int32_t index = file_->FindNext(&it);
        while (n-- > 0 && index >= 0) index = file_->FindNext(&it);
        return index;
    }
    std::u16string TextOf(int32_t n) {
        int32_t index = Nth(n);
        uint32_t length = 0;
        const char16_t* t = file_->GetBookmarkText(index, &length);
        return t ? std::u16string(t, length) : std::u16string();
    }
    uint32_t StyleOf(int32_t n) {
        int32_t index = Nth(n);
        uint32_t start, end, a, b, style = 0;
        file_->GetBookmarkRange(index, &start, &end, &a, &b, &style);
        return style;
    }
    void Select(uint32_t start, uint32_t end, const char16_t* text) {
        doc_.selStart = start;
        doc_.selEnd = end;
        doc_.selection = text;
    }

    fvt::test::TempDevice device_;
    AnnotationFile* file_ = nullptr;
    ReaderSettings settings_;
    fvt::test::FakeDocumentController doc_;
    fvt::test::FakeShell shell_;
    ReaderController controller_;
};

TEST_F(ReaderAnnotationsTest, HighlightIsAddedAtOnceWithItsColourStyle) {
    Select(10, 20, u"some words");
    controller_.OnCommand(Cmd::kHighlight, true);
    ASSERT_EQ(file_->BookmarkCount(), 1u);
    EXPECT_EQ(file_->GetBookmarkKind(Nth(0)), 4u);
    EXPECT_EQ(StyleOf(0), (0x9BFFFFu << 8) | 15u);
    EXPECT_TRUE(shell_.asked.empty());  // no dialog for a highlight
}

TEST_F(ReaderAnnotationsTest, HighlightWithoutASelectionDoesNothing) {
    controller_.OnCommand(Cmd::kHighlight, true);
    EXPECT_EQ(file_->BookmarkCount(), 0u);
}

TEST_F(ReaderAnnotationsTest, ModificationAsksAndTakesItsStyle) {
    Select(5, 9, u"word");
    doc_.startText = u"word";
    shell_.reply = u"better word";
    controller_.OnCommand(Cmd::kModify, true);
    ASSERT_EQ(file_->BookmarkCount(), 1u);
    EXPECT_EQ(shell_.asked, (std::vector<uint32_t>{16}));
    EXPECT_EQ(StyleOf(0), (0x0000FFu << 8) | 111u);
    EXPECT_EQ(TextOf(0), u"better word");
}

TEST_F(ReaderAnnotationsTest, NoteWithoutASelectionCoversFiftyFromThePage) {
    doc_.pageValue = 1000;
    shell_.reply = u"a note";
    controller_.OnCommand(Cmd::kAddNote, true);
    ASSERT_EQ(file_->BookmarkCount(), 1u);
    uint32_t start = 0, end = 0, a, b, style = 0;
    file_->GetBookmarkRange(Nth(0), &start, &end, &a, &b, &style);
    EXPECT_EQ(start, 1000u);
    EXPECT_EQ(end, 1050u);
    EXPECT_EQ(style, 32u);
    EXPECT_EQ(shell_.asked, (std::vector<uint32_t>{2}));
}

TEST_F(ReaderAnnotationsTest, CancelledDialogAddsNothing) {
    Select(5, 9, u"word");
    shell_.confirm = false;
    controller_.OnCommand(Cmd::kAddNote, true);
    EXPECT_EQ(file_->BookmarkCount(), 0u);
}

TEST_F(ReaderAnnotationsTest, EmptyTextForANewNoteCancelsAndKeepsOtherNotes) {
    Select(5, 9, u"word");
    shell_.reply = u"first";
    controller_.OnCommand(Cmd::kAddNote, true);
    ASSERT_EQ(file_->BookmarkCount(), 1u);
    shell_.reply = u"";
    controller_.OnCommand(Cmd::kAddNote, true);
    ASSERT_EQ(file_->BookmarkCount(), 1u);
    EXPECT_EQ(TextOf(0), u"first");
}

TEST_F(ReaderAnnotationsTest, EditingANoteReplacesItsTextAndTellsTheHook) {
    Select(5, 9, u"word");
    shell_.reply = u"first";
    controller_.OnCommand(Cmd::kAddNote, true);
    shell_.reply = u"second";
    controller_.OnCommand(Cmd::kEditNote, true);
    ASSERT_EQ(file_->BookmarkCount(), 1u);
    EXPECT_EQ(TextOf(0), u"second");
    EXPECT_EQ(doc_.changed, (std::vector<int32_t>{Nth(0)}));
    // The same text again changes nothing and tells nobody.
    controller_.OnCommand(Cmd::kEditNote, true);
    EXPECT_EQ(doc_.changed.size(), 1u);
}

TEST_F(ReaderAnnotationsTest, EditingANoteToAnEmptyTextDeletesIt) {
    Select(5, 9, u"word");
    shell_.reply = u"first";
    controller_.OnCommand(Cmd::kAddNote, true);
    shell_.reply = u"";
    EXPECT_TRUE(controller_.EditAnnotation(Nth(0)));
    EXPECT_EQ(file_->BookmarkCount(), 0u);
    EXPECT_NE(std::find(doc_.calls.begin(), doc_.calls.end(), "Reset"), doc_.calls.end());
}

TEST_F(ReaderAnnotationsTest, EditOfAMissingIndexIsRefused) {
    EXPECT_FALSE(controller_.EditAnnotation(0));
    EXPECT_FALSE(controller_.EditAnnotation(-3));
    EXPECT_FALSE(controller_.CreateAnnotation(2, String(u"x"), 7, 0, 0));
    EXPECT_TRUE(shell_.asked.empty());
}

TEST_F(ReaderAnnotationsTest, NoSideFileMeansNoAnnotation) {
    doc_.annotations = nullptr;
    Select(5, 9, u"word");
    controller_.OnCommand(Cmd::kHighlight, true);
    EXPECT_FALSE(controller_.EditAnnotation(0));
    EXPECT_EQ(file_->BookmarkCount(), 0u);
}

TEST_F(ReaderAnnotationsTest, DeletingByPathReachesTheFileOnDisk) {
    ASSERT_GE(file_->AddBookmark(2, 1, 5, 0, 0, 32, 0), 0);
    ASSERT_GE(file_->AddBookmark(4, 8, 9, 0, 0, 15, 0), 0);

    int32_t first = Nth(0);
    ASSERT_EQ(0, file_->Close());
    file_->Release();
    file_ = nullptr;
    doc_.annotations = nullptr;

    EXPECT_TRUE(controller_.DeleteAnnotation(String(u"\\book.prc"), first));
    AnnotationFile check;
    ASSERT_EQ(0, check.OpenExisting(kBook, 1));
    EXPECT_EQ(check.BookmarkCount(), 1u);
    EXPECT_EQ(check.Close(), 0);
    EXPECT_TRUE(controller_.DeleteAllAnnotations(String(u"\\book.prc")));
    ASSERT_EQ(0, check.OpenExisting(kBook, 1));
    EXPECT_EQ(check.BookmarkCount(), 0u);
    EXPECT_FALSE(controller_.DeleteAnnotation(String(u"\\missing.prc"), first));
}

}  // namespace

namespace {

class ReaderBookmarksTest : public ReaderAnnotationsTest {};

TEST_F(ReaderBookmarksTest, ToggleAddsAtThePageThenRemoves) {
    doc_.pageStart = 500;
    doc_.pageEnd = 900;
    doc_.pageText = u"Chapter one";
    EXPECT_EQ(controller_.BookmarkAtPage(), -1);
    controller_.OnCommand(Cmd::kToggleBookmark, true);
    ASSERT_EQ(file_->BookmarkCount(), 1u);
    EXPECT_EQ(file_->GetBookmarkKind(Nth(0)), 1u);
    EXPECT_EQ(TextOf(0), u"Chapter one");
    EXPECT_EQ(controller_.BookmarkAtPage(), Nth(0));
    controller_.OnCommand(Cmd::kToggleBookmark, true);
    EXPECT_EQ(file_->BookmarkCount(), 0u);
}

TEST_F(ReaderBookmarksTest, SelectionGivesTheBookmarkItsText) {
    doc_.pageStart = 500;
    doc_.pageEnd = 900;
    doc_.pageText = u"Chapter one";
    Select(520, 530, u"chosen");
    controller_.OnCommand(Cmd::kToggleBookmark, true);
    EXPECT_EQ(TextOf(0), u"chosen");
}

TEST_F(ReaderBookmarksTest, BookmarkOnThePageTwoOnIsNotThisPages) {
    ASSERT_GE(file_->AddBookmark(1, 900, 900, 0, 0, 0, 0), 0);
    ASSERT_GE(file_->AddBookmark(2, 600, 610, 0, 0, 32, 0), 0);  // a note, not a bookmark
    doc_.pageStart = 500;
    doc_.pageEnd = 900;
    EXPECT_EQ(controller_.BookmarkAtPage(), -1);
    controller_.OnCommand(Cmd::kToggleBookmark, true);
    EXPECT_EQ(file_->BookmarkCount(), 3u);
}

TEST_F(ReaderBookmarksTest, UnknownPageDoesNothing) {
    controller_.OnCommand(Cmd::kToggleBookmark, true);
    EXPECT_EQ(file_->BookmarkCount(), 0u);
}

TEST_F(ReaderBookmarksTest, MessageArgumentsFillTheirPlaces) {
    String args[2] = {String(u"alpha"), String(u"beta")};
    controller_.MessageBoxByIdArgs(-1, 5096, MessageKind::kQuestion, args, 2);
    controller_.MessageBoxByIdArgs(-1, 5096, MessageKind::kQuestion, nullptr, 0);
    ASSERT_EQ(shell_.messages.size(), 2u);
    EXPECT_EQ(shell_.messages[0], u"Add 'alpha' to your list?");
    EXPECT_EQ(shell_.messages[1], u"Add '' to your list?");  // a missing argument is empty
    EXPECT_EQ(shell_.messageFlags[0], 33u);
}

}  // namespace
