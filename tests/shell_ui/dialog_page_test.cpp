// The dialog framework: messages reach the page's operations, OK and Cancel end a dialog, the
// current-dialog record nests, edit notices raise the input panel, and sheets list their pages.
#include <gtest/gtest.h>

#include "platform/window/keys.h"
#include "reader/reader_controller.h"
#include "reader/reader_host.h"
#include "reader/reader_settings.h"
#include "shell_ui/about_sheet.h"
#include "shell_ui/dialog_page.h"
#include "support/graphics/surface_host.h"
#include "support/shell/ui_fixture.h"

namespace fvt::test {
namespace {

// A page on the text-entry template (an edit 1088) that counts what reaches it.
class ProbePage : public DialogPage {
public:
    explicit ProbePage(bool modeless = false, uint32_t templ = 189, uint32_t title = 5084) {
        template_ = templ;
        title_ = title;
        modeless_ = modeless;
    }
    int inits = 0, oks = 0, commands = 0, layouts = 0, focus = 0, paints = 0;
    bool acceptOk = true;
    std::vector<UINT> keys;
    std::vector<int32_t> edits;
    std::vector<std::tuple<int32_t, int32_t, bool>> pointers;

protected:
    void OnInit() override { ++inits; }
    bool OnOk() override {
        ++oks;
        return acceptOk;
    }
    void OnCommand(WPARAM, LPARAM) override { ++commands; }
    void OnKey(UINT key) override { keys.push_back(key); }
    void OnEditChanged(int32_t id) override { edits.push_back(id); }
    void OnLayout(int32_t, int32_t, int32_t, int32_t) override { ++layouts; }
    void OnFocus() override { ++focus; }
    void OnPaint(HDC) override { ++paints; }
    void OnPointer(int32_t x, int32_t y, bool up) override { pointers.emplace_back(x, y, up); }
};

class Dialogs : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        owner = Make(0, 26, 240, 268);
        SetWindowTextW(owner, u"A book");
        SetActiveWindow(owner);
        RunUntilIdle();
    }
    void Answer(int value, std::function<void(HWND)> action = {}) {
        fvt::QueueAnswer(fvt::Answer{value, {}, std::move(action)});
    }
    HWND owner = nullptr;
};

TEST_F(Dialogs, OkEndsTheModalDialogWithTrueAndCancelWithFalse) {
    ProbePage page;
    Answer(IDOK);
    EXPECT_TRUE(page.Run(owner, nullptr, false));
    EXPECT_EQ(page.inits, 1);
    EXPECT_EQ(page.oks, 1);
    ProbePage cancelled;
    Answer(IDCANCEL);
    EXPECT_FALSE(cancelled.Run(owner, nullptr, false));
    EXPECT_EQ(cancelled.oks, 0);
    ProbePage softKey;
    Answer(40178);
    EXPECT_FALSE(softKey.Run(owner, nullptr, false));
}

TEST_F(Dialogs, TheOkSoftKeyRunsOkAndARefusedOkKeepsTheDialogOpen) {
    ProbePage page;
    page.acceptOk = false;
    Answer(40177);
    Answer(-1, [&](HWND) { page.acceptOk = true; });
    Answer(40177);
    EXPECT_TRUE(page.Run(owner, nullptr, false));
    EXPECT_EQ(page.oks, 2);
}

TEST_F(Dialogs, AButtonWithIdOneIsNotTheOkCommand) {
    ProbePage page;
    Answer(-1, [&](HWND dialog) {
        HWND edit = GetDlgItem(dialog, 1088);
        SendMessageW(dialog, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(edit));
        EXPECT_EQ(page.oks, 0);
        EXPECT_TRUE(IsWindow(dialog));
    });
    Answer(IDCANCEL);
    EXPECT_FALSE(page.Run(owner, nullptr, false));
    EXPECT_EQ(page.oks, 0);
    EXPECT_GE(page.commands, 2);  // every command reaches the page first
}

TEST_F(Dialogs, RunTakesTheCaptionAndGivesItBackAndHidesTheInputPanel) {
    ProbePage page;
    std::u16string during;
    Answer(-1, [&](HWND) {
        during = TextOf(owner);
        InputPanel::Show(true);
    });
    Answer(IDOK);
    page.Run(owner, nullptr, false);
    EXPECT_EQ(during, u"Folivant Reader");
    EXPECT_EQ(TextOf(owner), u"A book");
    EXPECT_FALSE(fvt::IsInputPanelShown());
}

TEST_F(Dialogs, TheTitleGoesToTheCaptionAndTheTitleLine) {
    ProbePage page;
    std::u16string caption, line;
    Answer(-1, [&](HWND dialog) {
        caption = TextOf(dialog);
        line = TextOf(GetDlgItem(dialog, DialogPage::kTitleItem));
    });
    Answer(IDCANCEL);
    page.Run(owner, nullptr, false);
    EXPECT_EQ(caption, Res(5084));
    EXPECT_EQ(line, Res(5084));
}

TEST_F(Dialogs, AMissingTemplateFailsBothWays) {
    ProbePage modal(false, 64998);
    EXPECT_FALSE(modal.Run(owner, nullptr, false));
    ProbePage modeless(true, 64998);
    EXPECT_FALSE(modeless.Run(owner, nullptr, false));
    EXPECT_EQ(modeless.Window(), nullptr);
    EXPECT_EQ(DialogPage::OpenDialogCount(), 0u);
}

TEST_F(Dialogs, AModelessPageStaysUpWithItsBarUntilItsWindowGoes) {
    ProbePage page(true);
    ASSERT_TRUE(page.Run(owner, nullptr, false));
    ASSERT_NE(page.Window(), nullptr);
    EXPECT_TRUE(page.Bar().IsShown());
    EXPECT_EQ(DialogPage::CurrentDialog(), page.Window());
    InputPanel::Show(true);
    SendMessageW(page.Window(), WM_COMMAND, IDCANCEL, 0);
    RunUntilIdle();
    EXPECT_EQ(page.Window(), nullptr);
    EXPECT_FALSE(page.Bar().IsShown());
    EXPECT_FALSE(fvt::IsInputPanelShown());
    EXPECT_EQ(DialogPage::CurrentDialog(), nullptr);
}

TEST_F(Dialogs, TheRecordNestsAModalPageOverAModelessOne) {
    ProbePage find(true);
    ASSERT_TRUE(find.Run(owner, nullptr, false));
    ProbePage host;
    ProbePage inner;
    HWND seenInner = nullptr;
    size_t depth = 0;
    Answer(-1, [&](HWND hostWindow) {
        EXPECT_EQ(DialogPage::CurrentDialog(), hostWindow);
        inner.Run(hostWindow, nullptr, false);
        EXPECT_EQ(DialogPage::CurrentDialog(), hostWindow);
    });
    Answer(-1, [&](HWND innerWindow) {
        seenInner = innerWindow;
        depth = DialogPage::OpenDialogCount();
    });
    Answer(IDOK);  // the inner page
    Answer(IDOK);  // the host
    host.Run(owner, nullptr, false);
    EXPECT_NE(seenInner, nullptr);
    EXPECT_EQ(depth, 3u);
    // With both modal pages gone, the modeless one is in front again.
    EXPECT_EQ(DialogPage::CurrentDialog(), find.Window());
    DestroyWindow(find.Window());
    EXPECT_EQ(DialogPage::CurrentDialog(), nullptr);
}

TEST_F(Dialogs, ReactivateModelessBringsTheDialogInFrontBack) {
    ProbePage find(true);
    ASSERT_TRUE(find.Run(owner, nullptr, false));
    EnableWindow(find.Window(), FALSE);
    SetActiveWindow(owner);
    DialogPage::ReactivateModeless();
    EXPECT_TRUE(IsWindowEnabled(find.Window()));
    EXPECT_EQ(GetActiveWindow(), find.Window());
}

TEST_F(Dialogs, DeletingAModelessPageClosesItsWindow) {
    auto page = std::make_unique<ProbePage>(true);
    ASSERT_TRUE(page->Run(owner, nullptr, false));
    HWND window = page->Window();
    page.reset();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(DialogPage::CurrentDialog(), nullptr);
}

TEST_F(Dialogs, EditFocusRaisesTheInputPanelExceptForReadOnlyFields) {
    ProbePage page(true);
    ASSERT_TRUE(page.Run(owner, nullptr, false));
    HWND edit = page.GetItem(1088);
    ASSERT_NE(edit, nullptr);
    InputPanel::Show(false);
    SendMessageW(page.Window(), WM_COMMAND, MAKEWPARAM(1088, EN_SETFOCUS), reinterpret_cast<LPARAM>(edit));
    EXPECT_TRUE(fvt::IsInputPanelShown());
    SendMessageW(page.Window(), WM_COMMAND, MAKEWPARAM(1088, EN_KILLFOCUS), reinterpret_cast<LPARAM>(edit));
    EXPECT_FALSE(fvt::IsInputPanelShown());
    SetWindowLongPtrW(edit, GWL_STYLE, GetWindowLongPtrW(edit, GWL_STYLE) | ES_READONLY);
    SendMessageW(page.Window(), WM_COMMAND, MAKEWPARAM(1088, EN_SETFOCUS), reinterpret_cast<LPARAM>(edit));
    EXPECT_FALSE(fvt::IsInputPanelShown());
}

TEST_F(Dialogs, TheChangeNoticeReachesThePageButTheUpdateNoticeDoesNot) {
    ProbePage page(true);
    ASSERT_TRUE(page.Run(owner, nullptr, false));
    HWND edit = page.GetItem(1088);
    SetWindowTextW(edit, u"typed");
    page.edits.clear();
    SendMessageW(page.Window(), WM_COMMAND, MAKEWPARAM(1088, 0x400), reinterpret_cast<LPARAM>(edit));
    EXPECT_TRUE(page.edits.empty());
    SendMessageW(page.Window(), WM_COMMAND, MAKEWPARAM(1088, 0x300), reinterpret_cast<LPARAM>(edit));
    EXPECT_EQ(page.edits, (std::vector<int32_t>{1088}));
}

TEST_F(Dialogs, EachHotKeyPressReachesThePageOnce) {
    ProbePage page(true);
    ASSERT_TRUE(page.Run(owner, nullptr, false));
    SendMessageW(page.Window(), WM_HOTKEY, 0, MAKELPARAM(0, '3'));
    SendMessageW(page.Window(), WM_HOTKEY, 0, MAKELPARAM(MOD_KEYUP, '3'));
    EXPECT_EQ(page.keys, (std::vector<UINT>{'3'}));
}

TEST_F(Dialogs, PointerAndLayoutMessagesReachThePage) {
    ProbePage page(true);
    ASSERT_TRUE(page.Run(owner, nullptr, false));
    int layouts = page.layouts;
    SendMessageW(page.Window(), WM_SETTINGCHANGE, 0, 0);
    EXPECT_EQ(page.layouts, layouts + 1);
    SendMessageW(page.Window(), WM_LBUTTONDOWN, 0, MAKELPARAM(7, 9));
    SendMessageW(page.Window(), WM_LBUTTONUP, 0, MAKELPARAM(7, 9));
    ASSERT_EQ(page.pointers.size(), 2u);
    EXPECT_FALSE(std::get<2>(page.pointers[0]));
    EXPECT_TRUE(std::get<2>(page.pointers[1]));
}

TEST_F(Dialogs, TheFullTextOfAFieldIsRead) {
    ProbePage page(true);
    ASSERT_TRUE(page.Run(owner, nullptr, false));
    std::u16string longText(300, u'x');
    SetWindowTextW(page.GetItem(1088), longText.c_str());
    String out;
    EXPECT_TRUE(page.GetItemText(1088, out));
    EXPECT_EQ(out.Length(), 300);
    EXPECT_TRUE(page.GetItemText(1088, out, 50));
    EXPECT_EQ(out.Length(), 50);
    SetWindowTextW(page.GetItem(1088), u"");
    EXPECT_FALSE(page.GetItemText(1088, out));
}

TEST_F(Dialogs, AnEmptyStringIsNotAddedToAList) {
    ProbePage page(true, 184, 5381);
    ASSERT_TRUE(page.Run(owner, nullptr, false));
    EXPECT_EQ(page.ListAdd(1078, String()), -1);
    EXPECT_EQ(page.ListAdd(1078, String(u"First")), 0);
    EXPECT_EQ(page.ListCount(1078), 1);
}

LRESULT CustomDraw(HWND dialog, DWORD stage, DWORD_PTR row, UINT itemState, COLORREF& background) {
    NMLVCUSTOMDRAW draw{};
    draw.nmcd.hdr.code = NM_CUSTOMDRAW;
    draw.nmcd.dwDrawStage = stage;
    draw.nmcd.dwItemSpec = row;
    draw.nmcd.uItemState = itemState;
    draw.clrTextBk = 0x123456;
    SendMessageW(dialog, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&draw));
    background = draw.clrTextBk;
    return GetWindowLongPtrW(dialog, DWL_MSGRESULT);
}

TEST_F(Dialogs, ReportRowsGetNoStripesFromVersion420) {
    ProbePage page(true);
    ASSERT_TRUE(page.Run(owner, nullptr, false));
    COLORREF bk = 0;
    EXPECT_EQ(CustomDraw(page.Window(), CDDS_PREPAINT, 0, 0, bk), 32);
    EXPECT_EQ(CustomDraw(page.Window(), CDDS_ITEMPREPAINT, 0, 0, bk), 32);
    EXPECT_EQ(CustomDraw(page.Window(), 0x30001, 0, 0, bk), 16);
    EXPECT_EQ(bk, 0x123456u);
}

class OldDialogs : public UiTest {
protected:
    OldDialogs() : UiTest("clock = virtual\nos = 4.20\n") {}
};
class OlderDialogs : public UiTest {
protected:
    OlderDialogs() : UiTest("clock = virtual\nos = 4.10\n") {}
};

// The colour a sub-item of `row` gets on a modeless page.
COLORREF RowColour(HWND owner, DWORD_PTR row, UINT itemState) {
    ProbePage page(true);
    COLORREF bk = 0;
    if (page.Run(owner, nullptr, false)) CustomDraw(page.Window(), 0x30001, row, itemState, bk);
    return bk;
}

TEST_F(OldDialogs, Version420IsAlreadyWithoutStripes) {
    EXPECT_EQ(RowColour(Make(0, 26, 240, 268), 0, 0), 0x123456u);
}

TEST_F(OlderDialogs, EvenRowsAreTintedUnlessSelectedOrFocused) {
    HWND owner = Make(0, 26, 240, 268);
    EXPECT_EQ(RowColour(owner, 4, CDIS_FOCUS), 0x123456u);
    ProbePage page(true);
    ASSERT_TRUE(page.Run(owner, nullptr, false));
    COLORREF bk = 0;
    CustomDraw(page.Window(), 0x30001, 2, 0, bk);
    EXPECT_EQ(bk, 0xFFD7D7u);
    CustomDraw(page.Window(), 0x30001, 1, 0, bk);
    EXPECT_EQ(bk, 0x123456u);
    CustomDraw(page.Window(), 0x30001, 2, CDIS_SELECTED, bk);
    EXPECT_EQ(bk, 0x123456u);
}

// Full screen is left for a dialog and taken again afterwards.
class FullScreenShell : public ReaderShell {
public:
    std::vector<bool> changes;
    bool MessageBox(const String*, const String&, uint32_t) override { return false; }
    bool AskText(String&, uint32_t) override { return false; }
    bool ShowFind() override { return false; }
    bool ShowFindDialog() override { return false; }
    void HideFindDialog() override {}
    bool ShowOptions() override { return false; }
    bool ShowAbout() override { return false; }
    bool ShowGoToPage() override { return false; }
    bool ShowVolume() override { return false; }
    bool ChooseFile(String&) override { return false; }
    bool ShowProperties(const String&) override { return false; }
    bool Beam(const String&) override { return false; }
    bool OpenWithShell(const String&) override { return false; }
    bool ToggleFullScreen() override { return false; }
    bool StartRecorder(const String&) override { return false; }
    bool CopyToClipboard(const String&) override { return false; }
    void ShowText(const String&, uint32_t) override {}
    bool SetFullScreen(bool on) override {
        changes.push_back(on);
        return true;
    }
};

// A widget of the drawing surface that can hold the focus.
class Focusable : public Widget {
public:
    bool HandleEvent(InputEvent&) override { return true; }
};

TEST_F(Dialogs, AModalDialogTakesTheFocusFromTheSurfacesWidgetsAndGivesItBack) {
    DrawingSurface surface(nullptr);
    surface.SetWindow(owner);
    On(owner, SurfaceHost(&surface));
    Focusable widget;
    ASSERT_TRUE(widget.SetParent(&surface));
    ASSERT_TRUE(surface.FocusChild(&widget));
    ASSERT_EQ(GetFocus(), owner);
    ReaderController controller;
    controller.SetDrawingSurface(&surface);
    ProbePage page;
    bool focusedDuring = true;
    Answer(-1, [&](HWND) { focusedDuring = widget.IsFocused(); });
    Answer(IDOK);
    EXPECT_TRUE(page.Run(owner, &controller, false));
    EXPECT_FALSE(focusedDuring);
    SetFocus(owner);
    EXPECT_TRUE(widget.IsFocused());
    controller.SetDrawingSurface(nullptr);
    widget.SetParent(nullptr);
    On(owner, [](HWND, UINT, WPARAM, LPARAM, bool& handled) -> LRESULT {
        handled = false;
        return 0;
    });
}

TEST_F(Dialogs, FullScreenIsLeftWhileADialogRunsWhenAsked) {
    FullScreenShell shell;
    DialogPage::SetShell(&shell);
    ReaderSettings settings;
    settings.fullScreen = 1;
    ReaderController controller;
    controller.SetSettings(&settings);
    ProbePage page;
    std::vector<bool> during;
    Answer(-1, [&](HWND) { during = shell.changes; });
    Answer(IDOK);
    EXPECT_TRUE(page.Run(owner, &controller, true));
    EXPECT_EQ(during, (std::vector<bool>{false}));
    EXPECT_EQ(shell.changes, (std::vector<bool>{false, true}));
    // Not asked, or not in full screen: nothing changes.
    ProbePage stays;
    Answer(IDOK);
    stays.Run(owner, &controller, false);
    settings.fullScreen = 0;
    Answer(IDOK);
    stays.Run(owner, &controller, true);
    EXPECT_EQ(shell.changes.size(), 2u);
    DialogPage::SetShell(nullptr);
}

TEST_F(Dialogs, AModelessPageTakesFullScreenBackOnlyWhenItCloses) {
    FullScreenShell shell;
    DialogPage::SetShell(&shell);
    ReaderSettings settings;
    settings.fullScreen = 1;
    ReaderController controller;
    controller.SetSettings(&settings);
    ProbePage page(true);
    ASSERT_TRUE(page.Run(owner, &controller, true));
    EXPECT_EQ(shell.changes, (std::vector<bool>{false}));
    SendMessageW(page.Window(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(shell.changes, (std::vector<bool>{false, true}));
    DialogPage::SetShell(nullptr);
}

// Sheets.

class Sheets : public Dialogs {};

PropertySheet* ThreePages() {
    auto* sheet = new PropertySheet;
    sheet->AddPage(std::make_unique<ProbePage>(false, 189, 5084));
    sheet->AddPage(std::unique_ptr<DialogPage>());
    sheet->AddPage(std::make_unique<ProbePage>(false, 189, 5090));
    sheet->AddPage(std::make_unique<ProbePage>(false, 189, 5093));
    PropertySheet::SetSheetTitle(5083);
    return sheet;
}

std::u16string Cell(HWND list, int row, int column) {
    WCHAR buffer[128] = {};
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = 128;
    SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return buffer;
}

// A page that says when it goes.
class CountedPage final : public ProbePage {
public:
    explicit CountedPage(int* gone) : gone_(gone) {}
    ~CountedPage() override { ++*gone_; }

private:
    int* gone_;
};

TEST_F(Sheets, TheSheetOwnsItsPagesInTheOrderAddedAndFreesThemWithIt) {
    int gone = 0;
    {
        PropertySheet sheet;
        CountedPage* first = sheet.AddPage(std::make_unique<CountedPage>(&gone));
        EXPECT_EQ(sheet.AddPage(std::unique_ptr<DialogPage>()), nullptr);
        CountedPage* second = sheet.AddPage(std::make_unique<CountedPage>(&gone));
        EXPECT_EQ(sheet.PageCount(), 2);
        EXPECT_EQ(sheet.FirstPage(), first);
        EXPECT_EQ(first->Next(), second);
        EXPECT_EQ(second->Next(), nullptr);
        EXPECT_EQ(gone, 0);
    }
    EXPECT_EQ(gone, 2);
}

TEST_F(Sheets, TheHostListsThePagesNumberedWithTheirTitles) {
    std::unique_ptr<PropertySheet> sheet(ThreePages());
    EXPECT_EQ(sheet->PageCount(), 3);
    std::vector<std::u16string> rows;
    int count = 0;
    Answer(-1, [&](HWND host) {
        HWND list = GetDlgItem(host, PropertySheetHost::kListItem);
        count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) rows.push_back(Cell(list, i, 0) + u" " + Cell(list, i, 1));
        EXPECT_EQ(TextOf(host), Res(5083));
    });
    Answer(PropertySheetHost::kDoneKey);
    EXPECT_TRUE(sheet->RunModal(owner, nullptr, false));
    ASSERT_EQ(count, 3);
    EXPECT_EQ(rows[0], u"1 " + Res(5084));
    EXPECT_EQ(rows[2], u"3 " + Res(5093));
}

TEST_F(Sheets, NumberKeysOpenPagesAndAPageReturnsToTheList) {
    std::unique_ptr<PropertySheet> sheet(ThreePages());
    auto* second = static_cast<ProbePage*>(sheet->FirstPage()->Next());
    bool hostStayed = false;
    Answer(-1, [&](HWND host) {
        SendMessageW(host, WM_HOTKEY, 0, MAKELPARAM(0, '4'));  // no fourth page
        SendMessageW(host, WM_HOTKEY, 0, MAKELPARAM(0, '2'));  // runs the second page
        hostStayed = IsWindow(host);
    });
    Answer(IDOK);      // the second page's OK
    Answer(IDOK);      // Enter on the list opens the selected (second) page again
    Answer(IDCANCEL);  // which is cancelled
    Answer(PropertySheetHost::kDoneKey);
    EXPECT_TRUE(sheet->RunModal(owner, nullptr, false));
    EXPECT_TRUE(hostStayed);
    EXPECT_EQ(second->inits, 2);
    EXPECT_EQ(second->oks, 1);
    EXPECT_EQ(static_cast<ProbePage*>(sheet->FirstPage())->inits, 0);
}

TEST_F(Sheets, OkDoesNotCloseTheHost) {
    std::unique_ptr<PropertySheet> sheet(ThreePages());
    // 1 opens the first page, which the next answer cancels; the host stays.
    Answer(IDOK);
    Answer(IDCANCEL);
    Answer(-1, [&](HWND host) { EXPECT_TRUE(IsWindow(host)); });
    Answer(PropertySheetHost::kDoneKey);
    EXPECT_TRUE(sheet->RunModal(owner, nullptr, false));
    EXPECT_EQ(static_cast<ProbePage*>(sheet->FirstPage())->inits, 1);
}

TEST_F(Sheets, TheAboutSheetShowsItsFirstPage) {
    AboutSheet sheet;
    EXPECT_EQ(sheet.PageCount(), 2);
    EXPECT_EQ(PropertySheet::SheetTitle(), 5083u);
    std::u16string version, caption;
    Answer(-1, [&](HWND page) {
        caption = TextOf(page);
        version = TextOf(GetDlgItem(page, 1115));
    });
    Answer(IDOK);
    EXPECT_TRUE(sheet.Show(owner, nullptr));
    EXPECT_EQ(caption, Res(5422));
    EXPECT_EQ(version, Res(5173));
}

}  // namespace
}  // namespace fvt::test
