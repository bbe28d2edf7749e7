// The annotations list over a book's side file: refill, kinds and filters, deleting with the
// records renumbered, renaming in place and in the dialog, sorting, and command routing.
#include "library_ui/annotation_list_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "bookfiles/annotation_file.h"
#include "core/resources.h"
#include "library_ui/library_list_windows.h"
#include "platform/dialog/answers.h"
#include "platform/dialog/dialog.h"
#include "platform/shell/shell.h"
#include "platform/window/keys.h"
#include "platform/window/window_layer.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"
#include "support/platform/temp_device.h"
#include "support/reader/reader_fakes.h"

namespace {

constexpr const char* kBook = "\\book.prc";

fvt::Answer Answer(int value) {
    fvt::Answer a;
    a.value = value;
    return a;
}

// Keeps the anchor of each location opened and each annotation record asked for.
struct AnchorDocument : fvt::test::FakeDocumentController {
    bool OpenAnnotation(int32_t index) override {
        opened.push_back(index);
        return true;
    }
    std::vector<int32_t> opened;
    bool OpenWithQuery(const Location& l, uint32_t first, uint32_t second) override {
        String s;
        l.ToStringWithAnchor(s);
        anchors.push_back(std::u16string(s.Data(), static_cast<size_t>(s.Length())));
        return FakeDocumentController::OpenWithQuery(l, first, second);
    }
    std::vector<std::u16string> anchors;
};

struct Pages : AnnotationPages {
    int32_t EstimatePage(uint32_t position) override { return static_cast<int32_t>(position / 100); }
};

class AnnotationListTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(device.ok());
        file = new AnnotationFile();
        ASSERT_EQ(0, file->OpenOrCreate(kBook, "Book", 4, 0, 1, 1));
        document.annotations = file;
        document.hasLocation = true;
        ASSERT_TRUE(document.location.ParseText(Dev(u"\\book.prc")));
        settings.Load(true);
        controller = std::make_unique<ReaderController>();
        controller->SetDocumentController(&document);
        controller->SetSettings(&settings);
        controller->SetShell(&shell);
        GetDesktopWindow();
        frame = CreateWindowExW(0, u"STATIC", u"", WS_VISIBLE, 0, 0, 240, 300, nullptr, nullptr,
                                nullptr, nullptr);
        fvt::ClearAnswers();
    }
    void TearDown() override {
        window.reset();
        controller.reset();
        if (IsWindow(frame)) DestroyWindow(frame);
        fvt::RunUntilIdle();
        file->Release();
        Resources::FlushCache();
    }
    static Text Dev(const std::u16string& s) {
        Text t;
        t.FromWide(s.data(), static_cast<int32_t>(s.size()));
        return t;
    }
    int32_t Add(uint32_t kind, uint32_t start, const std::u16string& text, bool asNote = false) {
        int32_t i = file->AddBookmark(kind, start, start + 5, 0, 0, 0, 0);
        EXPECT_GE(i, 0);
        if (!text.empty()) {
            if (asNote) file->SetBookmarkNote(i, text.data(), static_cast<uint32_t>(text.size()));
            else file->SetBookmarkText(i, text.data(), static_cast<uint32_t>(text.size()));
        }
        return i;
    }
    void Open() {
        window = std::make_unique<AnnotationListWindow>(controller.get(), nullptr);
        window->SetPageEstimator(estimate ? &pages : nullptr);
        ASSERT_TRUE(window->Create(frame));
        window->Refill();
        window->Show(true);
    }
    std::vector<std::u16string> Rows() {
        std::vector<std::u16string> out;
        for (int i = 0; i < window->GetItemCount(); ++i) {
            Text t;
            window->GetItemData(i)->GetText(t, 0);
            out.push_back(t.WideCStr());
        }
        return out;
    }
    std::vector<std::u16string> FileTexts() {
        std::vector<std::u16string> out;
        BookmarkIterator it;
        file->StartIterator(&it, 0, 0, 0xFFFFFFFF);
        for (int32_t i = file->FindNext(&it); i >= 0; i = file->FindNext(&it)) {
            uint32_t n = 0;
            const char16_t* t = file->GetBookmarkText(i, &n);
            out.push_back(t ? std::u16string(t, n) : u"");
        }
        return out;
    }
    int32_t RowOf(const std::u16string& text) {
        auto rows = Rows();
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i] == text) return static_cast<int32_t>(i);
        return -1;
    }

    fvt::test::TempDevice device{"language = en\n"};
    AnnotationFile* file = nullptr;
    ReaderSettings settings;
    AnchorDocument document;
    fvt::test::FakeShell shell;
    std::unique_ptr<ReaderController> controller;
    HWND frame = nullptr;
    Pages pages;
    bool estimate = false;
    std::unique_ptr<AnnotationListWindow> window;
};

TEST_F(AnnotationListTest, KindsMapToFilterBitsAndIcons) {
    EXPECT_EQ(AnnotationListWindow::MaskOfKind(1), 1u);
    EXPECT_EQ(AnnotationListWindow::MaskOfKind(2), 2u);
    EXPECT_EQ(AnnotationListWindow::MaskOfKind(4), 4u);
    EXPECT_EQ(AnnotationListWindow::MaskOfKind(32), 8u);
    EXPECT_EQ(AnnotationListWindow::MaskOfKind(16), 16u);
    EXPECT_EQ(AnnotationListWindow::MaskOfKind(8), 32u);
    EXPECT_EQ(AnnotationListWindow::MaskOfKind(3), 0u);
    EXPECT_EQ(AnnotationListWindow::IconOfMask(8), 3);
    EXPECT_EQ(AnnotationListWindow::IconOfMask(32), 5);
}

TEST_F(AnnotationListTest, RefillSkipsEmptyAnnotationsAndShowsOneLinePerRow) {
    Add(1, 100, u"First\nline\rand\vmore");
    Add(4, 250, u"");                      // no text at all: skipped
    Add(2, 320, u"A note", true);          // only the second text
    estimate = true;
    Open();
    EXPECT_EQ(Rows(), (std::vector<std::u16string>{u"First line and more (1)", u"A note (3)"}));
    // The entry keeps the text as stored.
    window->SelectIndex(0);
    EXPECT_EQ(window->SelectedEntry()->text, u"First\nline\rand\vmore");
    EXPECT_EQ(window->SelectedEntry()->iconIndex, 0);
    EXPECT_EQ(std::u16string(window->Strip().Text1()), u"2 Annotations");
    EXPECT_EQ(window->LeftKeyText(), u"Open");
}

TEST_F(AnnotationListTest, FiltersCountAndTheEmptyList) {
    Add(1, 10, u"mark");
    Add(32, 20, u"a link");
    Add(8, 30, u"sketch");
    Open();
    window->OnCommand(40158);  // Links
    EXPECT_EQ(Rows(), (std::vector<std::u16string>{u"a link"}));
    EXPECT_EQ(std::u16string(window->Strip().Text1()), u"1 Link");
    window->OnCommand(40160);  // Drawings
    EXPECT_EQ(Rows(), (std::vector<std::u16string>{u"sketch"}));
    window->OnCommand(40107);  // Notes: none
    EXPECT_EQ(window->GetItemCount(), 0);
    EXPECT_EQ(window->LeftKeyText(), u"Close");
    window->OnCommand(40001);
    EXPECT_EQ(window->GetItemCount(), 3);
}

TEST_F(AnnotationListTest, ABookWithoutAnnotationsClosesWithTheLeftKey) {
    Open();
    EXPECT_EQ(window->GetItemCount(), 0);
    EXPECT_EQ(window->LeftKeyText(), u"Close");
    EXPECT_TRUE(window->OnCommand(40167));
    document.annotations = nullptr;
    window->Refill();
    EXPECT_EQ(window->EntryCount(), 0u);
    document.annotations = file;
}

TEST_F(AnnotationListTest, DeletingRenumbersAndTheNextActionHitsTheRightRecord) {
    Add(1, 10, u"A");
    Add(1, 20, u"B");
    Add(1, 30, u"C");
    Open();
    window->SelectIndex(RowOf(u"A"));
    fvt::QueueAnswer(Answer(IDOK));
    window->OnCommand(40023);
    EXPECT_EQ(FileTexts(), (std::vector<std::u16string>{u"B", u"C"}));
    window->SelectIndex(RowOf(u"C"));
    fvt::QueueAnswer(Answer(IDOK));
    window->OnCommand(40023);
    EXPECT_EQ(FileTexts(), (std::vector<std::u16string>{u"B"}));
    EXPECT_EQ(Rows(), (std::vector<std::u16string>{u"B"}));
    fvt::QueueAnswer(Answer(IDCANCEL));
    window->OnCommand(40023);
    EXPECT_EQ(FileTexts(), (std::vector<std::u16string>{u"B"}));
}

TEST_F(AnnotationListTest, BookmarksAreRenamedInPlaceWithTheirRawText) {
    Add(1, 10, u"Old\nname");
    Add(4, 20, u"Marked");
    Open();
    window->SelectIndex(0);
    window->OnCommand(40171);
    HWND edit = reinterpret_cast<HWND>(SendMessageW(window->List(), LVM_GETEDITCONTROL, 0, 0));
    ASSERT_NE(edit, nullptr);
    char16_t start[64] = {};
    GetWindowTextW(edit, start, 64);
    EXPECT_EQ(std::u16string(start), u"Old\nname");
    SetWindowTextW(edit, u"New name");
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(FileTexts()[0], u"New name");
    EXPECT_EQ(Rows()[0], u"New name");
    EXPECT_EQ(GetWindowLongW(window->List(), GWL_STYLE) & static_cast<LONG>(LVS_EDITLABELS), 0);
}

TEST_F(AnnotationListTest, AnEmptyNameAsksToDelete) {
    Add(1, 10, u"Keep me");
    Add(1, 20, u"Other");
    Open();
    window->SelectIndex(0);
    window->OnCommand(40171);
    HWND edit = reinterpret_cast<HWND>(SendMessageW(window->List(), LVM_GETEDITCONTROL, 0, 0));
    ASSERT_NE(edit, nullptr);
    SetWindowTextW(edit, u"");
    fvt::QueueAnswer(Answer(IDCANCEL));
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(FileTexts(), (std::vector<std::u16string>{u"Keep me", u"Other"}));
    window->SelectIndex(0);
    window->OnCommand(40171);
    edit = reinterpret_cast<HWND>(SendMessageW(window->List(), LVM_GETEDITCONTROL, 0, 0));
    ASSERT_NE(edit, nullptr);
    SetWindowTextW(edit, u"");
    fvt::QueueAnswer(Answer(IDOK));
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(FileTexts(), (std::vector<std::u16string>{u"Other"}));
    EXPECT_EQ(Rows(), (std::vector<std::u16string>{u"Other"}));
}

TEST_F(AnnotationListTest, NotesAreEditedInTheDialogThenTheListRefills) {
    Add(2, 10, u"note text");
    Add(1, 20, u"mark");
    Open();
    window->SelectIndex(RowOf(u"note text"));
    shell.confirm = true;
    shell.reply = u"changed note";
    window->OnCommand(40171);
    ASSERT_EQ(shell.asked.size(), 1u);
    EXPECT_EQ(FileTexts()[0], u"changed note");
    EXPECT_NE(RowOf(u"changed note"), -1);
    EXPECT_EQ(window->GetItemCount(), 2);
}

TEST_F(AnnotationListTest, SortsByReadingOrderBothWays) {
    Add(1, 30, u"third");
    Add(1, 10, u"first");
    Add(1, 20, u"second");
    Open();
    auto ascending = Rows();
    window->OnCommand(40061);
    auto descending = Rows();
    ASSERT_EQ(ascending.size(), 3u);
    EXPECT_EQ(std::vector<std::u16string>(ascending.rbegin(), ascending.rend()), descending);
    window->OnCommand(40060);
    EXPECT_EQ(Rows(), ascending);
}

// The document controller opens the record (on the page kept with it); the list opens no
// place of its own.
TEST_F(AnnotationListTest, GoingToAnAnnotationOpensItsRecord) {
    Add(1, 1234, u"there");
    const int32_t further = Add(1, 2345, u"further");
    Open();
    window->SelectIndex(1);
    window->OnCommand(40024);
    EXPECT_EQ(document.opened, std::vector<int32_t>{further});
    EXPECT_TRUE(document.anchors.empty());
}

TEST_F(AnnotationListTest, OnlyTheShownWindowTakesTheFilterCommands) {
    Add(1, 10, u"mark");
    Add(2, 20, u"note", true);
    std::unique_ptr<ReaderListWindow> routed(CreateLibraryListWindow(
        ReaderViewFactory::List::kAnnotations, controller.get(), frame, nullptr, nullptr));
    ASSERT_NE(routed, nullptr);
    routed->Refresh(String());
    EXPECT_FALSE(routed->RouteCommand(40106));  // the reader bar's tap action while hidden
    routed->Show(true);
    EXPECT_TRUE(routed->IsVisible());
    EXPECT_TRUE(routed->RouteCommand(40106));
    EXPECT_FALSE(routed->RouteCommand(12345));
    routed->Show(false);
}

}  // namespace

// Each row's text is found through the reference its bookmark keeps; the rows must follow the
// records when deleting renumbers them and new texts are added after.
TEST_F(AnnotationListTest, ALongListShowsEveryTextAfterDeletesAndAdds) {
    std::vector<std::u16string> want;
    auto digits = [](int n) {
        std::u16string s;
        for (char c : std::to_string(n)) s += static_cast<char16_t>(c);
        return s;
    };
    for (int i = 0; i < 300; ++i) {
        // Every seventh one a highlight, every fifth of the others a note only.
        const uint32_t kind = i % 7 == 0 ? 4 : (i % 5 == 0 ? 2 : 1);
        const uint32_t start = 100u + 10u * static_cast<uint32_t>(i);
        Add(kind, start, u"mark " + digits(i), kind == 2);
        want.push_back(u"mark " + digits(i) + u" (" + digits(static_cast<int>(start / 100)) + u")");
    }
    estimate = true;
    Open();
    EXPECT_EQ(Rows(), want);
    // Delete two in the middle: the records after them move down.
    for (const char16_t* gone : {u"mark 120 (13)", u"mark 7 (1)"}) {
        window->SelectIndex(RowOf(gone));
        fvt::QueueAnswer(Answer(IDOK));
        window->OnCommand(40023);
        want.erase(std::find(want.begin(), want.end(), gone));
    }
    EXPECT_EQ(Rows(), want);
    // One more, at the end and in the middle.
    Add(1, 5000, u"late");
    Add(1, 1505, u"between");
    window->Refill();
    want.push_back(u"late (50)");
    want.insert(std::find(want.begin(), want.end(), u"mark 141 (15)"), u"between (15)");
    EXPECT_EQ(Rows(), want);
}
