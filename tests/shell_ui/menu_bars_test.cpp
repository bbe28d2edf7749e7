// The reader's soft-key bars: items to commands, enabled and checked states by view state,
// labels, and the rebuilt Navigate menus.
#include <gtest/gtest.h>

#include "reader/reader_controller.h"
#include "support/shell/ui_fixture.h"

namespace fvt::test {
namespace {

class MenuBars : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        state.view = Make(0, 26, 240, 268);
        ASSERT_NE(state.view, nullptr);
    }
    HMENU Menu(SoftKeyBar& bar, UINT button = 40176) { return bar.GetButtonMenu(button); }
    std::u16string Button(SoftKeyBar& bar, UINT id) {
        char16_t text[64] = {};
        bar.ButtonText(id, text, 64);
        return text;
    }
    FakeBarState state;
};

TEST_F(MenuBars, ReaderItemsGiveTheirCommandsAndPopupItemsCarryTheOffset) {
    ReaderMenuBar bar(&state);
    ASSERT_TRUE(bar.Create(state.view));
    bar.Show(true);
    EXPECT_TRUE(bar.RouteCommand(40078));
    EXPECT_TRUE(bar.RouteCommand(50067));
    EXPECT_TRUE(bar.RouteCommand(40090));
    EXPECT_EQ(state.commands, (std::vector<int32_t>{4, 67, 21}));
}

TEST_F(MenuBars, AnIdInNoTableIsNotTaken) {
    ReaderMenuBar reader(&state);
    AudioMenuBar audio(&state);
    ZoomMenuBar zoom(&state);
    ASSERT_TRUE(reader.Create(state.view));
    ASSERT_TRUE(audio.Create(state.view));
    ASSERT_TRUE(zoom.Create(state.view));
    reader.Show(true);
    audio.Show(true);
    zoom.Show(true);
    for (ReaderBar* bar : std::initializer_list<ReaderBar*>{&reader, &audio, &zoom}) {
        EXPECT_FALSE(bar->RouteCommand(40999));
        EXPECT_FALSE(bar->RouteCommand(-1));
    }
    EXPECT_TRUE(state.commands.empty());
}

TEST_F(MenuBars, AHiddenBarTakesNothing) {
    ReaderMenuBar bar(&state);
    ASSERT_TRUE(bar.Create(state.view));
    EXPECT_FALSE(bar.RouteCommand(40078));
    EXPECT_TRUE(state.commands.empty());
}

TEST_F(MenuBars, AutoscrollRepaintsAndRunsTheAutoscrollAction) {
    ReaderMenuBar bar(&state);
    ASSERT_TRUE(bar.Create(state.view));
    bar.Show(true);
    EXPECT_TRUE(bar.RouteCommand(40086));
    EXPECT_EQ(state.notices, (std::vector<UINT>{0x8003}));
    // The window starts or stops the scroll once it has painted (message 0x8004): no command
    // runs before that.
    EXPECT_TRUE(state.commands.empty());
}

TEST_F(MenuBars, PreviousPageIsGrayOnTheFirstPageAndNextOnTheLast) {
    ReaderMenuBar bar(&state);
    ASSERT_TRUE(bar.Create(state.view));
    bar.Show(true);
    EXPECT_TRUE(bar.IsItemEnabled(50067));
    EXPECT_TRUE(bar.IsItemEnabled(50066));
    state.page = 1;
    bar.UpdateItems();
    EXPECT_FALSE(bar.IsItemEnabled(50067));  // even though the view allows it
    EXPECT_TRUE(bar.IsItemEnabled(50066));
    state.count = 1;
    bar.UpdateItems();
    EXPECT_FALSE(bar.IsItemEnabled(50067));
    EXPECT_FALSE(bar.IsItemEnabled(50066));
    state.page = 10;
    state.count = 10;
    bar.UpdateItems();
    EXPECT_TRUE(bar.IsItemEnabled(50067));
    EXPECT_FALSE(bar.IsItemEnabled(50066));
}

TEST_F(MenuBars, NextPageStaysOnWhileThePageCountIsAnEstimate) {
    ReaderMenuBar bar(&state);
    ASSERT_TRUE(bar.Create(state.view));
    state.page = 10;
    state.count = 10;
    state.countKnown = false;
    bar.Show(true);
    EXPECT_TRUE(bar.IsItemEnabled(50066));
}

TEST_F(MenuBars, ACommandTheViewRefusesGraysItsItem) {
    ReaderMenuBar bar(&state);
    ASSERT_TRUE(bar.Create(state.view));
    HMENU menu = Menu(bar);
    bar.Show(true);
    EXPECT_FALSE(IsGrayed(menu, 40075));
    state.disabled[Cmd::kLibrary] = true;
    state.disabled[67] = true;
    bar.UpdateItems();
    EXPECT_TRUE(IsGrayed(menu, 40075));
    EXPECT_FALSE(bar.IsItemEnabled(50067));
}

TEST_F(MenuBars, EnablingFollowsTheCommandTestAndTheModeMasks) {
    ReaderMenuBar bar(&state);
    ASSERT_TRUE(bar.Create(state.view));
    HMENU menu = Menu(bar);
    bar.Show(true);
    EXPECT_FALSE(IsGrayed(menu, 40085));  // rotate: mode 1 only
    EXPECT_FALSE(IsGrayed(menu, 40041));
    bar.SetMode(2);
    EXPECT_TRUE(IsGrayed(menu, 40085));
    EXPECT_FALSE(IsGrayed(menu, 40041));  // options: modes 1 and 2
    EXPECT_TRUE(IsGrayed(menu, 40078));   // find is forced on in mode 1 only
    bar.SetMode(7);
    EXPECT_EQ(bar.Mode(), 0);
    EXPECT_TRUE(IsGrayed(menu, 40041));
    bar.SetMode(1);
    state.disabled[Cmd::kFind] = true;
    state.disabled[Cmd::kToggleBookmark] = true;
    state.disabled[Cmd::kRotate] = true;
    bar.UpdateItems();
    EXPECT_FALSE(IsGrayed(menu, 40078));  // forced on in mode 1
    EXPECT_FALSE(IsGrayed(menu, 40079));
    EXPECT_TRUE(IsGrayed(menu, 40085));
}

TEST_F(MenuBars, FullScreenAndProgressBarAreChecked) {
    ReaderMenuBar bar(&state);
    ASSERT_TRUE(bar.Create(state.view));
    HMENU menu = Menu(bar);
    state.fullScreen = true;
    bar.Show(true);
    EXPECT_TRUE(IsCheckedItem(menu, 40084));
    EXPECT_FALSE(IsCheckedItem(menu, 40172));
    state.fullScreen = false;
    state.progressBar = true;
    bar.UpdateItems();
    EXPECT_FALSE(IsCheckedItem(menu, 40084));
    EXPECT_TRUE(IsCheckedItem(menu, 40172));
}

TEST_F(MenuBars, TheBookmarkLabelFollowsThePageOnTheReaderMenu) {
    ReaderMenuBar bar(&state);
    ASSERT_TRUE(bar.Create(state.view));
    HMENU menu = Menu(bar);
    bar.Show(true);
    EXPECT_EQ(ItemText(menu, 40079), Res(5002));
    state.bookmark = true;
    bar.UpdateItems();
    EXPECT_EQ(ItemText(menu, 40079), Res(5228));
}

TEST_F(MenuBars, TheLeftKeyReadsLibraryAndOpensItWhenThereIsNoWayBack) {
    ReaderMenuBar bar(&state);
    ASSERT_TRUE(bar.Create(state.view));
    bar.Show(true);
    EXPECT_EQ(Button(bar, 40167), Res(5005));
    EXPECT_TRUE(bar.RouteCommand(40167));
    state.disabled[Cmd::kBack] = true;
    bar.UpdateItems();
    EXPECT_EQ(Button(bar, 40167), Res(5063));
    EXPECT_TRUE(bar.RouteCommand(40167));
    EXPECT_EQ(state.commands, (std::vector<int32_t>{Cmd::kBack, Cmd::kLibrary}));
}

TEST_F(MenuBars, TheAudioLeftKeyFollowsTheSameRule) {
    AudioMenuBar bar(&state);
    ASSERT_TRUE(bar.Create(state.view));
    state.disabled[Cmd::kBack] = true;
    bar.Show(true);
    EXPECT_EQ(Button(bar, 40204), Res(5063));
    EXPECT_TRUE(bar.RouteCommand(40204));
    state.disabled[Cmd::kBack] = false;
    bar.UpdateItems();
    EXPECT_EQ(Button(bar, 40204), Res(5005));
    EXPECT_TRUE(bar.RouteCommand(40204));
    EXPECT_TRUE(bar.RouteCommand(40088));
    EXPECT_EQ(state.commands, (std::vector<int32_t>{Cmd::kLibrary, Cmd::kBack, Cmd::kVolume}));
}

TEST_F(MenuBars, TheNavigateMenuListsPagesCoverAndTitledEntries) {
    ReaderMenuBar bar(&state);
    ASSERT_TRUE(bar.Create(state.view));
    state.navigation = {u"Chapter 1", u"", u"Chapter 3"};
    bar.Show(true);
    HMENU navigate = GetSubMenu(Menu(bar), 3);
    ASSERT_NE(navigate, nullptr);
    EXPECT_EQ(ItemIds(navigate), (std::vector<UINT>{40090, 40092, 0, 51000, 51002}));
    EXPECT_EQ(ItemText(navigate, 51002), u"Chapter 3");
    state.cover = true;
    state.navigation.clear();
    bar.RebuildNavigateMenu();
    EXPECT_EQ(ItemIds(navigate), (std::vector<UINT>{40090, 40092, 50018}));
    EXPECT_EQ(ItemText(navigate, 40092), Res(5121));
}

TEST_F(MenuBars, NavigationAndRecentItemsOpenTheirEntriesWithinTheirCounts) {
    ReaderMenuBar bar(&state);
    ASSERT_TRUE(bar.Create(state.view));
    state.navigation = {u"A", u"B"};
    state.recent = {u"a.prc"};
    bar.Show(true);
    EXPECT_TRUE(bar.RouteCommand(51001));
    EXPECT_FALSE(bar.RouteCommand(51002));
    EXPECT_TRUE(bar.RouteCommand(53000));
    EXPECT_FALSE(bar.RouteCommand(53001));
    EXPECT_TRUE(bar.RouteCommand(40091));
    EXPECT_EQ(state.opened, (std::vector<int32_t>{1}));
    EXPECT_EQ(state.openedRecent, (std::vector<int32_t>{0}));
    EXPECT_EQ(state.lastPageCalls, 1);
    EXPECT_TRUE(state.commands.empty());
}

TEST_F(MenuBars, TheReaderMenuTextsComeFromTheStringTable) {
    ReaderMenuBar bar(&state);
    ASSERT_TRUE(bar.Create(state.view));
    HMENU menu = Menu(bar);
    EXPECT_EQ(ItemText(menu, 3, true), Res(5383));
    EXPECT_EQ(ItemText(menu, 8, true), Res(5343));
    EXPECT_EQ(ItemText(menu, 9, true), Res(5312));
    EXPECT_EQ(ItemText(menu, 40048), Res(5311));
    EXPECT_EQ(Button(bar, 40176), Res(5417));
}

TEST_F(MenuBars, TheAudioNavigateMenuListsOnlyTheFirstNineTracks) {
    AudioMenuBar bar(&state);
    ASSERT_TRUE(bar.Create(state.view));
    for (int i = 0; i < 12; ++i) state.tracks.push_back(u"Track " + std::u16string(1, static_cast<char16_t>(u'A' + i)));
    bar.Show(true);
    HMENU menu = bar.GetButtonMenu(40053);
    EXPECT_EQ(ItemText(menu, 1, true), Res(5383));
    EXPECT_EQ(ItemText(menu, 8, true), Res(5049));
    HMENU navigate = GetSubMenu(menu, 1);
    ASSERT_EQ(GetMenuItemCount(navigate), 9);
    EXPECT_EQ(ItemText(navigate, 52008), u"Track I");
    EXPECT_TRUE(bar.RouteCommand(52008));
    EXPECT_TRUE(bar.RouteCommand(52011));  // a track past the menu is still a track
    EXPECT_FALSE(bar.RouteCommand(52012));
    EXPECT_EQ(state.selectedTracks, (std::vector<int32_t>{8, 11}));
}

TEST_F(MenuBars, TheZoomBarFollowsTheViewAndCloseGoesBack) {
    ZoomMenuBar bar(&state);
    ASSERT_TRUE(bar.Create(state.view));
    HMENU menu = Menu(bar);
    state.disabled[28] = true;
    bar.Show(true);
    EXPECT_TRUE(IsGrayed(menu, 40156));
    EXPECT_FALSE(IsGrayed(menu, 40157));
    EXPECT_EQ(Button(bar, 40167), Res(5191));
    EXPECT_TRUE(bar.RouteCommand(1));
    EXPECT_TRUE(bar.RouteCommand(40167));
    EXPECT_TRUE(bar.RouteCommand(40082));
    EXPECT_FALSE(bar.RouteCommand(40084));
    EXPECT_EQ(state.commands, (std::vector<int32_t>{3, 3, 30}));
}

// The bar skips a page turn's update when no item changed: a change still reaches the menu, and
// a bar made again sets its items anew.
TEST_F(MenuBars, TheZoomBarSetsEveryChangeOfItsItemsAndANewBarsAgain) {
    ZoomMenuBar bar(&state);
    ASSERT_TRUE(bar.Create(state.view));
    bar.Show(true);
    EXPECT_FALSE(IsGrayed(Menu(bar), 40156));
    state.disabled[28] = true;
    bar.UpdateItems();
    bar.UpdateItems();
    EXPECT_TRUE(IsGrayed(Menu(bar), 40156));
    state.disabled[28] = false;
    bar.UpdateItems();
    EXPECT_FALSE(IsGrayed(Menu(bar), 40156));
    state.disabled[28] = true;
    bar.UpdateItems();
    bar.Destroy();
    ASSERT_TRUE(bar.Create(state.view));
    EXPECT_TRUE(IsGrayed(Menu(bar), 40156));
    state.disabled[28] = false;
    bar.UpdateItems();
    EXPECT_FALSE(IsGrayed(Menu(bar), 40156));
}

TEST_F(MenuBars, ChoosingFromTheBarReachesTheOwnerAsACommand) {
    ReaderMenuBar bar(&state);
    ASSERT_TRUE(bar.Create(state.view));
    bar.Show(true);
    Watch({WM_COMMAND});
    ASSERT_TRUE(fvt::ChooseMenuBarItem(40078));
    RunUntilIdle();
    auto log = Log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(LOWORD(log.back().wParam), 40078);
}

// Answers queued for the dialog the item opens wait for that dialog: the item is chosen first.
TEST_F(MenuBars, ChoosingFromTheBarGoesAheadOfAnswersWaiting) {
    ReaderMenuBar bar(&state);
    ASSERT_TRUE(bar.Create(state.view));
    bar.Show(true);
    fvt::QueueAnswer(fvt::Answer{IDCANCEL, {}, {}});
    Watch({WM_COMMAND});
    ASSERT_TRUE(fvt::ChooseMenuBarItem(40078));
    RunUntilIdle();
    auto log = Log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(LOWORD(log.back().wParam), 40078);
    EXPECT_EQ(fvt::PendingAnswers(), 1u);
    fvt::ClearAnswers();
}

TEST_F(MenuBars, ABarOutlivedByItsOwnerIsLetGo) {
    HWND owner = Make(0, 0, 100, 100);
    auto bar = std::make_unique<ReaderMenuBar>(&state);
    ASSERT_TRUE(bar->Create(owner));
    DestroyWindow(owner);
    bar->Show(true);
    bar.reset();  // no crash, no second destroy
    SUCCEED();
}

TEST_F(MenuBars, AMissingMenuMakesNoBar) {
    SoftKeyBar bar;
    EXPECT_FALSE(bar.Create(state.view, 64999, nullptr));
    EXPECT_EQ(bar.GetButtonMenu(40176), nullptr);
    EXPECT_FALSE(bar.SetButtonText(40176, 5417));
    EXPECT_FALSE(bar.CheckItem(40176, 40084, true));
}

TEST_F(MenuBars, CheckItemAnswersThePreviousState) {
    ReaderMenuBar bar(&state);
    ASSERT_TRUE(bar.Create(state.view));
    EXPECT_FALSE(bar.CheckItem(40176, 40084, true));
    EXPECT_TRUE(bar.CheckItem(40176, 40084, false));
}

// The list windows come from the library's factory; the factory only passes them on.
class ListFactory : public ReaderViewFactory {
public:
    int asked = 0;
    std::unique_ptr<ReaderBar> CreateBar(Bar, ReaderController*) override { return nullptr; }
    std::unique_ptr<ReaderListWindow> CreateListWindow(List, ReaderController*, HWND) override {
        ++asked;
        return nullptr;
    }
};

TEST_F(MenuBars, TheFactoryMakesNoBarWithoutAViewWindowAndPassesListsOn) {
    ListFactory lists;
    MenuBarFactory factory(&lists);
    ReaderController controller;
    EXPECT_EQ(factory.CreateBar(ReaderViewFactory::Bar::kReader, nullptr), nullptr);
    EXPECT_EQ(factory.CreateBar(ReaderViewFactory::Bar::kZoom, &controller), nullptr);
    EXPECT_EQ(factory.CreateListWindow(ReaderViewFactory::List::kLibrary, &controller, state.view), nullptr);
    EXPECT_EQ(lists.asked, 1);
    MenuBarFactory alone;
    EXPECT_EQ(alone.CreateListWindow(ReaderViewFactory::List::kAnnotations, &controller, state.view), nullptr);
}

TEST_F(MenuBars, TheControllerStateAnswersConservativelyWithoutADocument) {
    ReaderController controller;
    ControllerBarState bars(&controller);
    // With no document there is no view to run a command: nothing is enabled.
    EXPECT_FALSE(bars.IsCommandEnabled(Cmd::kFind));
    EXPECT_FALSE(bars.IsPageCountKnown());
    EXPECT_FALSE(bars.HasBookmarkAtPage());
    EXPECT_FALSE(bars.IsFullScreen());
    EXPECT_EQ(bars.TrackCount(), 0);
    String title;
    EXPECT_FALSE(bars.TrackTitle(0, title));
    bars.SelectTrack(3);  // no playlist: nothing happens
    EXPECT_EQ(bars.ViewWindow(), nullptr);
    ControllerDialogState dialogs(&controller);
    EXPECT_EQ(dialogs.PageCount(), 0);
    EXPECT_FALSE(dialogs.HasDocument());
    EXPECT_EQ(dialogs.PageStart(), -1);
}

}  // namespace
}  // namespace fvt::test
