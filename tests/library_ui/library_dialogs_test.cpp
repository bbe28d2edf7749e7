// The rules of the library's dialogs: the rating on the Properties page, the Reading list
// page's OK and Cancel, and the Add / Remove reading lists dialog.
#include "library_ui/library_dialogs.h"

#include <gtest/gtest.h>

#include <memory>

#include "core/resources.h"
#include "platform/shell/shell.h"
#include "support/library/library_fixture.h"
#include "support/out_text.h"

using fvt::test::Dev;
using fvt::test::LibraryDevice;
using fvt::test::MakeBook;
using fvt::test::Wide;

namespace {

using Result = ReadingListsEditor::Result;

class LibraryDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dev.ok());
        dev.PutBook("eBooks/a.prc", MakeBook("A"));
        dev.PutBook("eBooks/b.prc", MakeBook("B", 1, 0x2222));
        ASSERT_EQ(store.OpenDefault("\\Windows\\FVT_global_configuration.fvt", 1), 0);
        library = std::make_unique<Library>(&dev.host);
        library->SetConfiguration(&store);
        ASSERT_TRUE(library->Refresh());
        ASSERT_TRUE(library->FindBookByPath(Dev(u"\\eBooks\\a.prc"), &a));
        ASSERT_TRUE(library->FindBookByPath(Dev(u"\\eBooks\\b.prc"), &b));
    }
    void TearDown() override { Resources::FlushCache(); }
    // The reading lists written in a book's side file, joined with '|'.
    std::u16string StoredLists(const std::string& bookPath) {
        AnnotationFile f;
        if (f.OpenExisting(bookPath, 1) != 0) return u"<none>";
        std::u16string text = fvt::test::TextOf(f, &AnnotationFile::GetCategories);
        if (f.Close() != 0) return u"<not closed>";
        for (auto& c : text)
            if (c == 0) c = u'|';
        return text;
    }
    std::vector<std::u16string> Lists() { return ReadingListNames::GlobalLists(*library); }

    LibraryDevice dev;
    ConfigurationStore store;
    std::unique_ptr<Library> library;
    LibraryBook* a = nullptr;
    LibraryBook* b = nullptr;
};

TEST(RatingEditorTest, MenuKeysAndTaps) {
    RatingEditor r(9);
    EXPECT_EQ(r.Rating(), 5u);
    EXPECT_TRUE(r.FromMenu(1098));
    EXPECT_EQ(r.Rating(), 0u);
    EXPECT_TRUE(r.FromMenu(2001));
    EXPECT_EQ(r.Rating(), 3u);
    EXPECT_FALSE(r.FromMenu(40177));
    EXPECT_EQ(r.Rating(), 3u);
    EXPECT_TRUE(r.Step(2));
    EXPECT_FALSE(r.Step(1));  // would pass 5
    EXPECT_EQ(r.Rating(), 5u);
    RatingEditor low(0);
    EXPECT_FALSE(low.Step(-1));
    EXPECT_EQ(low.Rating(), 0u);
    EXPECT_TRUE(low.FromTap(100 + 16 * 2 + 3, 100, 16));  // third cell from the left
    EXPECT_EQ(low.Rating(), 3u);
    EXPECT_TRUE(low.FromTap(99, 100, 16));
    EXPECT_EQ(low.Rating(), 0u);
    EXPECT_FALSE(low.FromTap(100 + 16 * 5, 100, 16));
    EXPECT_FALSE(low.FromTap(120, 100, 0));
}

TEST_F(LibraryDialogsTest, RatingIsWrittenOnlyBySave) {
    RatingEditor r(a->GetRating());
    r.FromMenu(2000);
    EXPECT_EQ(a->GetRating(), 0u);
    ASSERT_TRUE(r.Save(*a));
    EXPECT_EQ(a->GetRating(), 2u);
}

TEST_F(LibraryDialogsTest, DefaultNamesCountUpFromTheFirstFreeNumber) {
    EXPECT_EQ(ReadingListNames::DefaultName({}), u"My Reading list");
    EXPECT_EQ(ReadingListNames::DefaultName({u"My Reading list"}), u"My Reading list 1");
    EXPECT_EQ(ReadingListNames::DefaultName({u"My Reading list", u"My Reading list 1"}),
              u"My Reading list 2");
    EXPECT_EQ(ReadingListNames::DefaultName({u"My Reading list 1"}), u"My Reading list");
    ReadingListsEditor editor(library.get());
    ASSERT_EQ(editor.EndNewRow(editor.NewName(), nullptr), Result::kCreated);
    EXPECT_EQ(editor.NewName(), u"My Reading list 1");
}

TEST_F(LibraryDialogsTest, ReadingListPageOkWritesOnceAndKeepsListsItDoesNotShow) {
    ASSERT_TRUE(library->CreateCategory(Dev(u"Travel")));
    ASSERT_TRUE(library->CreateCategory(Dev(u"Work")));
    ASSERT_TRUE(a->AddCategory(Dev(u"Travel"), false));
    ASSERT_TRUE(a->AddCategory(Dev(u"Private"), true));  // not a global list
    auto rows = BookReadingLists::Rows(*library, *a);
    ASSERT_EQ(rows.size(), 3u);  // Private was registered when the book took it
    for (auto& r : rows) r.checked = r.name == u"Work" || r.name == u"Private";
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [](const ReadingListRow& r) { return r.name == u"Private"; }),
               rows.end());
    ASSERT_TRUE(BookReadingLists::Commit(*a, rows));
    EXPECT_TRUE(a->HasCategory(Dev(u"Work")));
    EXPECT_FALSE(a->HasCategory(Dev(u"Travel")));
    EXPECT_TRUE(a->HasCategory(Dev(u"Private")));
    EXPECT_EQ(StoredLists("\\eBooks\\a.prc"), u"Private|Work");
}

TEST_F(LibraryDialogsTest, UncheckingEveryListWritesAnEmptyText) {
    ASSERT_TRUE(library->CreateCategory(Dev(u"Travel")));
    ASSERT_TRUE(a->AddCategory(Dev(u"Travel"), true));
    ASSERT_EQ(StoredLists("\\eBooks\\a.prc"), u"Travel");
    auto rows = BookReadingLists::Rows(*library, *a);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(rows[0].checked);
    rows[0].checked = false;
    ASSERT_TRUE(BookReadingLists::Commit(*a, rows));
    std::u16string stored = StoredLists("\\eBooks\\a.prc");
    EXPECT_TRUE(stored.empty() || stored == u"<null>") << fvt::LogText(stored);
    EXPECT_EQ(a->GetCategoryCount(), 0);
}

TEST_F(LibraryDialogsTest, NewRowOnTheReadingListPage) {
    ASSERT_TRUE(library->CreateCategory(Dev(u"Travel")));
    EXPECT_FALSE(BookReadingLists::EndNewRow(*a, *library, nullptr));
    EXPECT_FALSE(BookReadingLists::EndNewRow(*a, *library, u""));
    EXPECT_FALSE(BookReadingLists::EndNewRow(*a, *library, u"Travel"));
    EXPECT_EQ(a->GetCategoryCount(), 0);
    EXPECT_TRUE(BookReadingLists::EndNewRow(*a, *library, u"Poems"));
    EXPECT_TRUE(library->HasCategory(Dev(u"Poems")));
    EXPECT_EQ(StoredLists("\\eBooks\\a.prc"), u"Poems");
}

TEST_F(LibraryDialogsTest, NewRowsTakeTheirNameOrTheDefaultAndDuplicatesGo) {
    ReadingListsEditor editor(library.get());
    EXPECT_EQ(editor.EndNewRow(u"My Reading list", u""), Result::kCreated);
    EXPECT_EQ(editor.EndNewRow(u"X", u"My Reading list"), Result::kDropped);
    EXPECT_EQ(editor.EndNewRow(u"X", u"Novels"), Result::kCreated);
    EXPECT_EQ(Lists(), (std::vector<std::u16string>{u"My Reading list", u"Novels"}));
}

TEST_F(LibraryDialogsTest, RenamingToItsOwnNameKeepsTheList) {
    ASSERT_TRUE(library->CreateCategory(Dev(u"Travel")));
    ASSERT_TRUE(a->AddCategory(Dev(u"Travel"), true));
    ReadingListsEditor editor(library.get());
    bool asked = false;
    EXPECT_EQ(editor.EndRename(u"Travel", u"Travel", [&] { return asked = true; }), Result::kUnchanged);
    EXPECT_FALSE(asked);
    EXPECT_EQ(Lists(), (std::vector<std::u16string>{u"Travel"}));
    EXPECT_TRUE(a->HasCategory(Dev(u"Travel")));
    EXPECT_EQ(editor.EndRename(u"Travel", nullptr, nullptr), Result::kCancelled);
    EXPECT_EQ(editor.EndRename(u"Travel", u"", nullptr), Result::kCancelled);
}

TEST_F(LibraryDialogsTest, RenameEverywhereAndMergeOnlyWhenConfirmed) {
    ASSERT_TRUE(library->CreateCategory(Dev(u"A list")));
    ASSERT_TRUE(library->CreateCategory(Dev(u"B list")));
    ASSERT_TRUE(a->AddCategory(Dev(u"A list"), true));
    ASSERT_TRUE(b->AddCategory(Dev(u"B list"), true));
    ReadingListsEditor editor(library.get());
    EXPECT_EQ(editor.EndRename(u"A list", u"B list", [] { return false; }), Result::kCancelled);
    EXPECT_EQ(Lists().size(), 2u);
    EXPECT_EQ(editor.EndRename(u"A list", u"B list", [] { return true; }), Result::kMerged);
    EXPECT_EQ(Lists(), (std::vector<std::u16string>{u"B list"}));
    EXPECT_TRUE(a->HasCategory(Dev(u"B list")));
    EXPECT_TRUE(b->HasCategory(Dev(u"B list")));
    EXPECT_EQ(editor.EndRename(u"B list", u"C list", nullptr), Result::kRenamed);
    EXPECT_TRUE(a->HasCategory(Dev(u"C list")));
    EXPECT_EQ(StoredLists("\\eBooks\\b.prc"), u"C list");
}

TEST_F(LibraryDialogsTest, RemoveAsksFirst) {
    ASSERT_TRUE(library->CreateCategory(Dev(u"Old")));
    ASSERT_TRUE(a->AddCategory(Dev(u"Old"), true));
    ReadingListsEditor editor(library.get());
    EXPECT_EQ(editor.Remove(u"Old", [] { return false; }), Result::kCancelled);
    EXPECT_TRUE(library->HasCategory(Dev(u"Old")));
    EXPECT_EQ(editor.Remove(u"Old", [] { return true; }), Result::kDropped);
    EXPECT_FALSE(library->HasCategory(Dev(u"Old")));
    EXPECT_FALSE(a->HasCategory(Dev(u"Old")));
}

}  // namespace
