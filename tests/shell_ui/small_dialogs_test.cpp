// The small dialogs, each run, answered and cancelled through the answer queue.
#include <gtest/gtest.h>

#include "platform/controls/controls.h"
#include "platform/window/keys.h"
#include "platform/window/window_layer.h"
#include "shell_ui/dialog_helpers.h"
#include "support/shell/ui_fixture.h"

namespace fvt::test {
namespace {

class SmallDialogs : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        owner = Make(0, 26, 240, 268);
        SetActiveWindow(owner);
        barState.view = owner;
        RunUntilIdle();
    }
    void Answer(int value, std::function<void(HWND)> action = {}) {
        fvt::QueueAnswer(fvt::Answer{value, {}, std::move(action)});
    }
    static void Type(HWND dialog, int id, const char16_t* text) {
        SetDlgItemTextW(dialog, id, text);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, EN_CHANGE),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    }
    static void Slide(HWND dialog, int id, int position) {
        HWND slider = GetDlgItem(dialog, id);
        SendMessageW(slider, TBM_SETPOS, TRUE, position);
        SendMessageW(dialog, WM_HSCROLL, 0, reinterpret_cast<LPARAM>(slider));
    }
    HWND owner = nullptr;
    FakeDialogState state;
    FakeBarState barState;
};

// Go to page.

TEST_F(SmallDialogs, GoToPageMovesAtOnceAndClampsToTheCount) {
    GoToPageDialog dialog(&state);
    std::u16string of, title;
    Answer(-1, [&](HWND d) {
        of = TextOf(GetDlgItem(d, 1079));
        EXPECT_EQ(TextOf(GetDlgItem(d, 1074)), u"3");
        Type(d, 1074, u"7");
        title = TextOf(GetDlgItem(d, DialogPage::kTitleItem));
        Type(d, 1074, u"40");
        // The page stops at the last one; what was typed stays as typed.
        EXPECT_EQ(TextOf(GetDlgItem(d, 1074)), u"40");
        EXPECT_EQ(SendMessageW(GetDlgItem(d, 1070), TBM_GETPOS, 0, 0), 12);
        Type(d, 1074, u"0");
        EXPECT_EQ(TextOf(GetDlgItem(d, 1074)), u"0");
    });
    Answer(IDOK);
    EXPECT_TRUE(dialog.Run(owner, nullptr, false));
    EXPECT_EQ(of, Res(5201) + u" 12");
    EXPECT_EQ(title, Res(5386) + u" 7 " + Res(5201) + u" 12");
    ASSERT_GE(state.wentTo.size(), 3u);
    EXPECT_EQ(state.wentTo[0], 7);
    EXPECT_EQ(state.wentTo[1], 12);
    EXPECT_EQ(state.wentTo[2], 1);
    EXPECT_EQ(state.wentTo.back(), 1);
    EXPECT_EQ(dialog.Page(), 1);
}

// Keys that come faster than the reader takes them wait in the queue: the title line shows each
// number at once, the reader follows only the number they make, once they are read (a key that
// types nothing, last in the queue, does not hold it back); typed one by one, each number is
// followed as before.
TEST_F(SmallDialogs, GoToPageFollowsTheNumberTheWaitingKeysMake) {
    GoToPageDialog dialog(&state);
    std::vector<std::u16string> titles;
    std::vector<int32_t> typedFast;
    Answer(-1, [&](HWND d) {
        HWND field = GetDlgItem(d, 1074);
        SetFocus(field);
        SendMessageW(field, EM_SETSEL, 0, -1);
        for (WCHAR c : {u'1', u'1'}) fvt::Character(c);
        fvt::Key(VK_LEFT);
        EXPECT_TRUE(state.wentTo.empty()) << "nothing moves before the keys are read";
    });
    Answer(-1, [&](HWND d) {
        typedFast = state.wentTo;
        titles.push_back(TextOf(GetDlgItem(d, DialogPage::kTitleItem)));
        HWND field = GetDlgItem(d, 1074);
        SendMessageW(field, EM_SETSEL, 0, -1);
        fvt::Character(u'5');
    });
    Answer(-1, [&](HWND) { fvt::Character(u'0'); });
    Answer(-1, [&](HWND d) { titles.push_back(TextOf(GetDlgItem(d, DialogPage::kTitleItem))); });
    Answer(IDOK);
    EXPECT_TRUE(dialog.Run(owner, nullptr, false));
    EXPECT_EQ(typedFast, std::vector<int32_t>({11}));
    ASSERT_EQ(titles.size(), 2u);
    EXPECT_EQ(titles[0], Res(5386) + u" 11 " + Res(5201) + u" 12");
    EXPECT_EQ(titles[1], Res(5386) + u" 12 " + Res(5201) + u" 12");
    // "5", then "50" (past the count: the last page).
    EXPECT_EQ(state.wentTo, std::vector<int32_t>({11, 5, 12, 12}));
    EXPECT_EQ(state.current, 12);
}

TEST_F(SmallDialogs, GoToPageOkTakesTheTypedNumber) {
    GoToPageDialog dialog(&state);
    Answer(-1, [&](HWND d) { SetDlgItemTextW(d, 1074, u"99"); });
    Answer(IDOK);
    EXPECT_TRUE(dialog.Run(owner, nullptr, false));
    EXPECT_EQ(state.current, 12);
}

TEST_F(SmallDialogs, GoToPageCancelReturnsToTheStartingPage) {
    GoToPageDialog dialog(&state);
    Answer(-1, [&](HWND d) { Type(d, 1074, u"9"); });
    Answer(IDCANCEL);
    EXPECT_FALSE(dialog.Run(owner, nullptr, false));
    EXPECT_EQ(state.current, 3);
}

TEST_F(SmallDialogs, GoToPageIsNotShownWithoutPages) {
    state.pages = 0;
    state.current = -1;
    GoToPageDialog dialog(&state);
    EXPECT_FALSE(dialog.Run(owner, nullptr, false));
    EXPECT_TRUE(state.wentTo.empty());
    EXPECT_EQ(fvt::PendingAnswers(), 0u);
}

TEST_F(SmallDialogs, TheSliderStepsKPagesAndIgnoresPagesPastTheEnd) {
    state.pages = 25;
    GoToPageDialog dialog(&state, 5);
    Answer(-1, [&](HWND d) {
        Slide(d, 1070, 3);
        EXPECT_EQ(TextOf(GetDlgItem(d, 1074)), u"11");
        SendDlgItemMessageW(d, 1070, TBM_SETRANGEMAX, TRUE, 9);
        Slide(d, 1070, 7);  // page 31 of 25: ignored
        EXPECT_EQ(TextOf(GetDlgItem(d, 1074)), u"11");
        Slide(d, 1070, 5);
        EXPECT_EQ(TextOf(GetDlgItem(d, 1074)), u"21");
        Slide(d, 1070, 3);
    });
    Answer(IDOK);
    EXPECT_TRUE(dialog.Run(owner, nullptr, false));
    EXPECT_EQ(state.current, 11);
}

TEST_F(SmallDialogs, TheEndLabelsGoToTheFirstOrLastPageAndEndTheDialog) {
    GoToPageDialog dialog(&state);
    Answer(-1, [&](HWND d) {
        EXPECT_EQ(TextOf(GetDlgItem(d, 1090)), u"12");
        RECT r = GetItemRect(d, 1090);
        SendMessageW(d, WM_LBUTTONUP, 0, MAKELPARAM(r.right - 1, r.top + 1));
    });
    Answer(IDCANCEL);  // only taken if the label failed to end the dialog
    EXPECT_TRUE(dialog.Run(owner, nullptr, false));
    EXPECT_EQ(state.current, 12);
    fvt::ClearAnswers();
    GoToPageDialog again(&state);
    Answer(-1, [&](HWND d) {
        RECT r = GetItemRect(d, 1089);
        SendMessageW(d, WM_LBUTTONUP, 0, MAKELPARAM(r.left + 1, r.top + 1));
    });
    Answer(IDCANCEL);
    EXPECT_TRUE(again.Run(owner, nullptr, false));
    EXPECT_EQ(state.current, 1);
}

// Volume.

TEST_F(SmallDialogs, VolumeMappingsGoBothWays) {
    EXPECT_EQ(VolumeDialog::PositionForVolume(65535), 32767);
    EXPECT_NEAR(VolumeDialog::PositionForVolume(32768), 8192, 1);  // a quarter: the square
    EXPECT_EQ(VolumeDialog::PositionForVolume(16384), 2047);
    EXPECT_EQ(VolumeDialog::PositionForVolume(0), 0);
    EXPECT_EQ(VolumeDialog::VolumeForPosition(32767), 65535u);
    EXPECT_NEAR(VolumeDialog::VolumeForPosition(8192), 32768u, 1);
    EXPECT_EQ(VolumeDialog::VolumeForPosition(1), 362u);
    EXPECT_EQ(VolumeDialog::VolumeForPosition(0), 0u);
    for (uint32_t v : {1000u, 20000u, 50000u}) {
        uint32_t back = VolumeDialog::VolumeForPosition(VolumeDialog::PositionForVolume(v));
        EXPECT_NEAR(static_cast<double>(back), static_cast<double>(v), 400.0);
    }
}

TEST_F(SmallDialogs, TheVolumeSliderStartsFromTheDeviceAndSetsAtOnce) {
    VolumeDialog dialog(&state);
    int start = -1;
    Answer(-1, [&](HWND d) {
        start = static_cast<int>(SendDlgItemMessageW(d, 245, TBM_GETPOS, 0, 0));
        Slide(d, 245, 0);  // 0 sets nothing
        Slide(d, 245, 32767);
    });
    Answer(40178);  // Close does not apply again
    EXPECT_FALSE(dialog.Run(owner, nullptr, false));
    EXPECT_NEAR(start, 8192, 1);
    EXPECT_EQ(state.volumes, (std::vector<uint32_t>{65535}));
}

TEST_F(SmallDialogs, VolumeOkAppliesTheSlider) {
    VolumeDialog dialog(&state);
    Answer(-1, [&](HWND d) { SendDlgItemMessageW(d, 245, TBM_SETPOS, TRUE, 32767); });
    Answer(IDOK);
    EXPECT_TRUE(dialog.Run(owner, nullptr, false));
    EXPECT_EQ(state.volumes, (std::vector<uint32_t>{65535}));
}

// Text entry.

TEST_F(SmallDialogs, ALongTextComesBackWholeAndTheMarksAreRebuilt) {
    String text(u"start");
    TextEntryDialog dialog(&state, 2, text);
    std::u16string longText(400, u'n');
    std::u16string title, shown;
    Answer(-1, [&](HWND d) {
        title = TextOf(d);
        shown = TextOf(GetDlgItem(d, 1088));
        SetDlgItemTextW(d, 1088, longText.c_str());
    });
    Answer(IDOK);
    EXPECT_TRUE(dialog.Run(owner, nullptr, false));
    EXPECT_EQ(title, Res(5084));
    EXPECT_EQ(shown, u"start");
    EXPECT_EQ(U(text), longText);
    EXPECT_EQ(state.marksCleared, 1);
}

TEST_F(SmallDialogs, AnEmptyTextEmptiesTheOutputAndCancelKeepsIt) {
    String text(u"old");
    TextEntryDialog cancelled(&state, 16, text);
    Answer(-1, [&](HWND d) { SetDlgItemTextW(d, 1088, u"new"); });
    Answer(IDCANCEL);
    EXPECT_FALSE(cancelled.Run(owner, nullptr, false));
    EXPECT_EQ(U(text), u"old");
    TextEntryDialog emptied(&state, 16, text);
    Answer(-1, [&](HWND d) { SetDlgItemTextW(d, 1088, u""); });
    Answer(IDOK);
    EXPECT_TRUE(emptied.Run(owner, nullptr, false));
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_EQ(state.marksCleared, 0);
}

// Find.

class FindTest : public SmallDialogs {
protected:
    void SetUp() override {
        SmallDialogs::SetUp();
        ASSERT_TRUE(bar.Create(owner));
        find = std::make_unique<FindDialog>(&state, &bar);
        ASSERT_TRUE(find->Run(owner, nullptr, false));
        d = find->Window();
        ASSERT_NE(d, nullptr);
    }
    void SetDirection(int index) {
        SendDlgItemMessageW(d, 1078, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageW(d, WM_COMMAND, MAKEWPARAM(1078, LBN_SELCHANGE), reinterpret_cast<LPARAM>(GetDlgItem(d, 1078)));
    }
    void Find() {
        // The modeless dialog closes after a search; the next one opens again.
        SendMessageW(d, WM_COMMAND, 40177, 0);
        RunUntilIdle();
    }
    std::u16string Button() { return TextOf(GetDlgItem(d, 40177)); }
    ReaderMenuBar bar{&barState};
    std::unique_ptr<FindDialog> find;
    HWND d = nullptr;
};

TEST_F(FindTest, TheFindButtonIsOffWhileTheTextIsEmptyAndFollowsTheDirection) {
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, 40177)));
    Type(d, 1069, u"whale");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, 40177)));
    EXPECT_EQ(Button(), Res(5043));
    SetDirection(0);
    EXPECT_EQ(Button(), Res(5318));
    SetDirection(3);
    EXPECT_EQ(Button(), Res(5320));
    Type(d, 1069, u"");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, 40177)));
}

TEST_F(FindTest, ForwardSearchesRunFromThePositionToTheEnd) {
    EXPECT_EQ(find->SearchPosition(), 101);
    Type(d, 1069, u"Whale");
    SendDlgItemMessageW(d, 1080, BM_SETCHECK, BST_CHECKED, 0);
    state.answerDirection = FindDirection::kNext;
    Find();
    ASSERT_EQ(state.searches.size(), 1u);
    EXPECT_EQ(state.searches[0].text, u"Whale");
    EXPECT_TRUE(state.searches[0].matchCase);
    EXPECT_FALSE(state.searches[0].wholeWord);
    EXPECT_EQ(state.searches[0].start, 101);
    EXPECT_EQ(state.searches[0].end, -1);
    EXPECT_EQ(find->SearchPosition(), 200);
    EXPECT_EQ(state.positions, (std::vector<int64_t>{150}));
    EXPECT_EQ(U(bar.LastSearch()), u"Whale");
    EXPECT_EQ(find->Window(), nullptr);  // closed after the search
}

// The page shown for a match need not begin with it: while that page still shows, the next
// search goes on from the match rather than finding it again; once the reader has moved, it
// starts at the page shown.
TEST_F(FindTest, TheNextSearchGoesOnFromTheMatchWhileItsPageShows) {
    Type(d, 1069, u"whale");
    Find();
    ASSERT_EQ(state.positions, (std::vector<int64_t>{150}));
    ASSERT_TRUE(find->Run(owner, nullptr, false));
    d = find->Window();
    EXPECT_EQ(find->SearchPosition(), 200);
    Find();
    ASSERT_EQ(state.searches.size(), 2u);
    EXPECT_EQ(state.searches[1].start, 200);

    state.pageStart = 500;  // paged on
    ASSERT_TRUE(find->Run(owner, nullptr, false));
    EXPECT_EQ(find->SearchPosition(), 501);
}

TEST_F(FindTest, BackwardSearchesRunFromTheStartAndAHitTurnsLastIntoPrevious) {
    Type(d, 1069, u"whale");
    SetDirection(3);
    state.answerDirection = FindDirection::kPrevious;
    state.movedBound = 40;
    SendMessageW(d, WM_COMMAND, 40177, 0);
    ASSERT_EQ(state.searches.size(), 1u);
    EXPECT_EQ(state.searches[0].start, 0);
    EXPECT_EQ(state.searches[0].end, 101);
    EXPECT_EQ(state.searches[0].direction, FindDirection::kLast);
    EXPECT_EQ(find->SearchPosition(), 40);
}

TEST_F(FindTest, AMissTurnsNextIntoFirstAndSaysSo) {
    Type(d, 1069, u"kraken");
    state.hit = false;
    std::u16string said;
    Answer(IDOK);
    // The box nobody sees is told on standard error as well.
    testing::internal::CaptureStderr();
    SendMessageW(d, WM_COMMAND, 40177, 0);
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_NE(told.find(": Search results: Search string was not found\n"), std::string::npos)
        << told;
    EXPECT_TRUE(LogHas("MessageBox Search results: Search string was not found"));
    EXPECT_EQ(find->Direction(), FindDirection::kFirst);
    EXPECT_TRUE(state.positions.empty());
}

TEST_F(FindTest, TheSearchTextIsKeptForTheNextRunAndCutAtFifty) {
    std::u16string longText(70, u'q');
    Type(d, 1069, longText.c_str());
    Find();
    EXPECT_EQ(bar.LastSearch().Length(), 50);
    FindDialog next(&state, &bar);
    ASSERT_TRUE(next.Run(owner, nullptr, false));
    EXPECT_EQ(TextOf(GetDlgItem(next.Window(), 1069)), std::u16string(50, u'q'));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(next.Window(), 40177)));
}

TEST_F(FindTest, TheOptionsShowOnlyWhenAsked) {
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(d, 1080)));
    SendMessageW(d, WM_COMMAND, MAKEWPARAM(1109, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(d, 1109)));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(d, 1080)));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(d, 1078)));
}

TEST_F(SmallDialogs, FindWithoutADocumentSearchesNothing) {
    state.document = false;
    FindDialog find(&state, nullptr);
    ASSERT_TRUE(find.Run(owner, nullptr, false));
    SetDlgItemTextW(find.Window(), 1069, u"whale");
    SendMessageW(find.Window(), WM_COMMAND, 40177, 0);
    EXPECT_TRUE(state.searches.empty());
}

// Memory info.

TEST_F(SmallDialogs, MemoryInfoHasARowPerLocationAndSumsIn64Bits) {
    state.storages = {{u"Main memory", 3ull << 30, 4ull << 30}, {u"Storage Card", 3ull << 30, 8ull << 30}};
    state.books = 1;
    state.bookBytes = 1536 * 1024;
    MemoryInfoDialog dialog(&state);
    int rows = 0;
    std::u16string freeLine, booksLine, cell;
    Answer(-1, [&](HWND d) {
        HWND list = GetDlgItem(d, 1033);
        rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        WCHAR buffer[64] = {};
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = 1;
        item.iSubItem = 2;
        item.pszText = buffer;
        item.cchTextMax = 64;
        SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        cell = buffer;
        freeLine = TextOf(GetDlgItem(d, 1108));
        booksLine = TextOf(GetDlgItem(d, 1112));
    });
    Answer(IDOK);
    EXPECT_TRUE(dialog.Run(owner, nullptr, false));
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(cell, u"8192,0 " + Res(5934));
    EXPECT_EQ(freeLine, Res(5435) + u" : 6144,0 " + Res(5934));
    EXPECT_EQ(booksLine, Res(5436) + u" : 1,512 " + Res(5934) + u" (1 " + Res(5931) + u")");
}

}  // namespace
}  // namespace fvt::test
