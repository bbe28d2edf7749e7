// The options sheet: each page shows the settings and writes them on OK only, leaving alone
// what the user did not touch.
#include "shell/options_pages.h"

#include <gtest/gtest.h>

#include "platform/window/keys.h"
#include "bookfiles/configuration_store.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"
#include "support/shell/ui_fixture.h"

namespace fvt::test {
namespace {

using namespace OptionRules;

TEST(OptionRulesTapAction, RowsAndValuesBothWays) {
    EXPECT_EQ(TapActionRow(9), 6);
    EXPECT_EQ(TapActionRow(7), 5);
    EXPECT_EQ(TapActionRow(5), 0);  // no row: "Ask"
    EXPECT_EQ(TapActionRow(3), 3);
    EXPECT_EQ(TapActionCommand(6), 65);
    EXPECT_EQ(TapActionCommand(2), 59);
    EXPECT_EQ(TapActionCommand(3), 58);
    EXPECT_EQ(TapActionCommand(-1), 56);
}

TEST(OptionRulesFontSize, RowsAtTheBoundaries) {
    // lo 12, normal 16, step 2, hi 24.
    EXPECT_EQ(FontSizeRow(12, 12, 16, 2, 24), 0);
    EXPECT_EQ(FontSizeRow(14, 12, 16, 2, 24), 1);
    EXPECT_EQ(FontSizeRow(15, 12, 16, 2, 24), 2);
    EXPECT_EQ(FontSizeRow(17, 12, 16, 2, 24), 3);
    EXPECT_EQ(FontSizeRow(24, 12, 16, 2, 24), 4);
    EXPECT_EQ(FontSizeRow(25, 12, 16, 2, 24), -1);
    // The minimum is "Smallest" even below normal - step.
    EXPECT_EQ(FontSizeRow(10, 10, 16, 2, 24), 0);
}

TEST(OptionRulesFontSize, RowSizesStayWithinTheLimits) {
    int32_t size = 0;
    ASSERT_TRUE(FontSizeOfRow(3, 12, 16, 2, 24, size));
    EXPECT_EQ(size, 18);
    ASSERT_TRUE(FontSizeOfRow(1, 15, 16, 2, 24, size));
    EXPECT_EQ(size, 15);  // normal - step lies below the minimum
    ASSERT_TRUE(FontSizeOfRow(3, 12, 16, 2, 17, size));
    EXPECT_EQ(size, 17);
    EXPECT_FALSE(FontSizeOfRow(-1, 12, 16, 2, 24, size));
    EXPECT_FALSE(FontSizeOfRow(5, 12, 16, 2, 24, size));
}

TEST(OptionRulesDisplay, OrientationRowsGiveTheirCommands) {
    EXPECT_EQ(OrientationCommand(1), 78);
    EXPECT_EQ(OrientationCommand(2), 77);
    EXPECT_EQ(OrientationCommand(3), 76);
    EXPECT_EQ(OrientationCommand(0), 75);
    EXPECT_EQ(OrientationCommand(-1), 75);
}

TEST(OptionRulesLibrary, MaskKeepsOtherTypesAndTogglesRunInOrder) {
    EXPECT_EQ(LibraryMask(false, false, false), 8u);
    EXPECT_EQ(LibraryMask(true, true, true), 15u);
    EXPECT_EQ(LibraryMask(true, false, true), 14u);
    EXPECT_EQ(LibraryToggles(0, 15), (std::vector<uint32_t>{2, 1, 4, 8}));
    EXPECT_EQ(LibraryToggles(15, 9), (std::vector<uint32_t>{2, 4}));
    EXPECT_TRUE(LibraryToggles(9, 9).empty());
}

TEST(OptionRulesButtons, AssigningTogglesAndMoves) {
    uint32_t pending[HardwareButtons::kButtonCount];
    for (uint32_t& p : pending) p = OptionsSheet::kNoCommand;
    AssignButton(pending, 2, 6);
    EXPECT_EQ(pending[2], 6u);
    AssignButton(pending, 5, 6);  // moves to the second button
    EXPECT_EQ(pending[2], OptionsSheet::kNoCommand);
    EXPECT_EQ(pending[5], 6u);
    AssignButton(pending, 5, 6);  // again on the same button: off
    EXPECT_EQ(pending[5], OptionsSheet::kNoCommand);
    AssignButton(pending, 16, 6);  // no such button
    for (uint32_t p : pending) EXPECT_EQ(p, OptionsSheet::kNoCommand);
}

TEST(OptionRulesButtons, ActionBitsAndCommands) {
    EXPECT_EQ(ActionBitOf(6), 8192u);
    EXPECT_EQ(CommandOfBit(8192), 6u);
    EXPECT_EQ(ActionBitOf(OptionsSheet::kNoCommand), ReaderSettings::kUnassignedKey);
    EXPECT_EQ(CommandOfBit(ReaderSettings::kUnassignedKey), OptionsSheet::kNoCommand);
}

class OptionPages : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        owner = Make(0, 26, 240, 268);
        SetActiveWindow(owner);
        RunUntilIdle();
        controller.SetSettings(&settings);
        settings.SetReaderController(&controller);
    }
    void Answer(int value, std::function<void(HWND)> action = {}) {
        fvt::QueueAnswer(fvt::Answer{value, {}, std::move(action)});
    }
    // General 0, Fonts 1, Colors 2, Display 3, Buttons 4, Library 5.
    DialogPage* Page(OptionsSheet& sheet, int index) {
        DialogPage* page = sheet.FirstPage();
        for (int i = 0; i < index && page; ++i) page = page->Next();
        return page;
    }
    // Row 14 is "Options" (command 6).
    void SelectRow(HWND page, int row) {
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(GetDlgItem(page, 1094), LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(&state));
        state.state = state.stateMask;
        SendMessageW(GetDlgItem(page, 1094), LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&state));
    }
    int Sel(HWND page, int id) {
        return static_cast<int>(SendMessageW(GetDlgItem(page, id), LB_GETCURSEL, 0, 0));
    }
    void Check(HWND page, int id, bool on) {
        SendMessageW(GetDlgItem(page, id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    HWND owner = nullptr;
    ReaderSettings settings;
    ReaderController controller;
};

TEST_F(OptionPages, TheSheetHasSixPagesAndRemembersTheLastOneOpened) {
    OptionsSheet sheet(&controller, nullptr, nullptr, false, false);
    EXPECT_EQ(sheet.PageCount(), 6);
    EXPECT_EQ(PropertySheet::SheetTitle(), 5135u);
    static_cast<OptionPage*>(Page(sheet, 3))->OnActivate();
    EXPECT_EQ(OptionsSheet::LastPage(), 3);
    OptionsSheet again(&controller, nullptr, nullptr, false, false);
    EXPECT_EQ(again.StartPage(), 3);
    OptionsSheet::SetLastPage(0);
}

// The list of actions is longer than its page: its scroll bar takes the right edge, and the
// column of button names ends before it, wide enough for the widest name.
TEST_F(OptionPages, TheButtonNamesEndBeforeTheScrollBar) {
    OptionsSheet sheet(&controller, nullptr, nullptr, false, false);
    int first = 0, second = 0, client = 0, rows = 0, page = 0, name = 0;
    Answer(-1, [&](HWND window) {
        HWND list = GetDlgItem(window, 1094);
        RECT r{};
        GetClientRect(list, &r);
        client = r.right;
        first = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0));
        second = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0));
        rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        page = static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
        name = static_cast<int>(
            SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(u"Button 4")));
    });
    Answer(IDCANCEL);
    Page(sheet, 4)->Run(owner, &controller, false);
    ASSERT_GT(rows, page);
    EXPECT_EQ(first + second, client - GetSystemMetrics(SM_CXVSCROLL));
    EXPECT_GT(second, name);
}

TEST_F(OptionPages, ColorsOkKeepsColoursThatAreNotNamed) {
    OptionsSheet sheet(&controller, nullptr, nullptr, false, false);
    int linkRow = 0, textRow = -2;
    std::u16string linkText;
    Answer(-1, [&](HWND page) {
        linkRow = Sel(page, 1098);
        textRow = Sel(page, 1065);
        char16_t row[64] = {};
        SendMessageW(GetDlgItem(page, 1098), LB_GETTEXT, static_cast<WPARAM>(linkRow),
                     reinterpret_cast<LPARAM>(row));
        linkText = row;
        SendMessageW(GetDlgItem(page, 1067), LB_SETCURSEL, 11, 0);  // background: Yellow
    });
    Answer(IDOK);
    EXPECT_TRUE(Page(sheet, 2)->Run(owner, &controller, false));
    // The default link colour is none of the sixteen: it shows as a value of its own, not empty.
    EXPECT_EQ(linkRow, 16);
    EXPECT_EQ(linkText, u"Custom");
    EXPECT_EQ(textRow, 0);  // black
    uint32_t c = 0;
    EXPECT_EQ(settings.GetHyperlinkColour(c), (0u | (85u << 8) | (170u << 16)));
    EXPECT_EQ(settings.GetHighlightColour(c), (255u | (255u << 8) | (155u << 16)));
    EXPECT_EQ(settings.GetBackgroundColour(c), 0x00FFFFu);
}

TEST_F(OptionPages, FontsPageChangesNothingUntilOk) {
    Text face;
    face.AssignAscii("Missing Face");
    settings.SetFontFace(face, false);
    OptionsSheet sheet(&controller, nullptr, nullptr, false, false);
    std::u16string shown;
    int sizeRow = -2;
    Answer(-1, [&](HWND page) {
        HWND list = GetDlgItem(page, 1004);
        WCHAR buffer[64] = {};
        SendMessageW(list, LB_GETTEXT, SendMessageW(list, LB_GETCURSEL, 0, 0),
                     reinterpret_cast<LPARAM>(buffer));
        shown = buffer;
        sizeRow = Sel(page, 1060);
    });
    Answer(IDCANCEL);
    EXPECT_FALSE(Page(sheet, 1)->Run(owner, &controller, false));
    EXPECT_EQ(shown, u"Tahoma");  // the fallback is shown
    EXPECT_EQ(sizeRow, 2);
    Text now;
    settings.GetFontFace(now, false);
    EXPECT_TRUE(now.EqualsAscii("Missing Face"));

    Answer(-1, [&](HWND page) {
        SendMessageW(GetDlgItem(page, 1060), LB_SETCURSEL, 4, 0);
        Check(page, 1059, true);
    });
    Answer(IDOK);
    EXPECT_TRUE(Page(sheet, 1)->Run(owner, &controller, false));
    EXPECT_EQ(settings.FontSize(), settings.MaxFontSize());
    EXPECT_EQ(settings.underlineLinks, 1);
    settings.GetFontFace(now, false);
    EXPECT_TRUE(now.EqualsAscii("Tahoma"));
}

TEST_F(OptionPages, DisplayKeepsCustomMarginsUnlessTheCheckBoxChanges) {
    settings.SetMargins(9, 7);
    OptionsSheet sheet(&controller, nullptr, nullptr, true, true);
    bool fullScreenShown = false;
    Answer(-1, [&](HWND page) {
        fullScreenShown = SendMessageW(GetDlgItem(page, 1054), BM_GETCHECK, 0, 0) == BST_CHECKED;
        Check(page, 1053, false);
    });
    Answer(IDOK);
    EXPECT_TRUE(Page(sheet, 3)->Run(owner, &controller, false));
    EXPECT_TRUE(fullScreenShown);  // the caller's pending value
    uint32_t x = 0, y = 0;
    settings.GetMargins(x, y);
    EXPECT_EQ(x, 9u);
    EXPECT_EQ(y, 7u);
    EXPECT_EQ(settings.alignment, 1u);
    EXPECT_EQ(settings.fullScreen, 1);

    Answer(-1, [&](HWND page) { Check(page, 1044, false); });
    Answer(IDOK);
    EXPECT_TRUE(Page(sheet, 3)->Run(owner, &controller, false));
    settings.GetMargins(x, y);
    EXPECT_EQ(x, 1u);
    EXPECT_EQ(y, 1u);
}

TEST_F(OptionPages, ButtonsAreReleasedOnCancelAndAssignmentsStoredOnOk) {
    OptionsSheet sheet(&controller, nullptr, nullptr, false, false);
    HWND other = Make(0, 0, 10, 10);
    Answer(-1, [&](HWND page) {
        // Button 1 takes "Options"; button "9" too, but buttons 12-15 are only shown.
        SelectRow(page, 14);
        SendMessageW(page, WM_HOTKEY, 0, MAKELPARAM(MOD_WIN, 0xC1));
        SendMessageW(page, WM_HOTKEY, 0, MAKELPARAM(MOD_WIN, 0x39));
    });
    Answer(IDCANCEL);
    EXPECT_FALSE(Page(sheet, 4)->Run(owner, &controller, false));
    EXPECT_TRUE(RegisterHotKey(other, 0xC1, MOD_WIN, 0xC1));
    UnregisterHotKey(other, 0xC1);
    EXPECT_NE(settings.GetKey(0), 8192u);

    Answer(-1, [&](HWND page) {
        SelectRow(page, 14);
        SendMessageW(page, WM_HOTKEY, 0, MAKELPARAM(MOD_WIN, 0xC1));
    });
    Answer(IDOK);
    EXPECT_TRUE(Page(sheet, 4)->Run(owner, &controller, false));
    EXPECT_EQ(settings.GetKey(0), 8192u);
    EXPECT_TRUE(RegisterHotKey(other, 0xC1, MOD_WIN, 0xC1));
}

class FakeToggles : public LibraryTypeToggles {
public:
    uint32_t FileTypeMask() const override { return mask; }
    void ToggleFileType(uint32_t bit) override {
        mask ^= bit;
        order.push_back(bit);
    }
    uint32_t mask = 7;
    std::vector<uint32_t> order;
};

TEST_F(OptionPages, LibraryOkRunsTheViewTogglesAndKeepsOtherTypes) {
    FakeToggles toggles;
    settings.fileTypes = 7;
    OptionsSheet sheet(&controller, nullptr, &toggles, false, false);
    bool textShown = false;
    Answer(-1, [&](HWND page) {
        textShown = SendMessageW(GetDlgItem(page, 1101), BM_GETCHECK, 0, 0) == BST_CHECKED;
        Check(page, 1102, false);
    });
    Answer(IDOK);
    EXPECT_TRUE(Page(sheet, 5)->Run(owner, &controller, false));
    EXPECT_TRUE(textShown);
    EXPECT_EQ(toggles.order, (std::vector<uint32_t>{1, 8}));
    EXPECT_EQ(settings.fileTypes, 14u);
}

TEST_F(OptionPages, GeneralShowsTheTapActionAndOkRunsItsCommand) {
    settings.tapAction = 9;
    settings.libraryAtStart = 1;
    OptionsSheet sheet(&controller, nullptr, nullptr, false, false);
    int row = -2;
    Answer(-1, [&](HWND page) {
        row = Sel(page, 1110);
        SendMessageW(GetDlgItem(page, 1110), LB_SETCURSEL, 1, 0);
        Check(page, 1037, false);
    });
    Answer(IDOK);
    EXPECT_TRUE(Page(sheet, 0)->Run(owner, &controller, false));
    EXPECT_EQ(row, 6);
    EXPECT_EQ(settings.tapAction, 1u);
    EXPECT_EQ(settings.libraryAtStart, 0);
}

TEST_F(OptionPages, GeneralOkKeepsTheStoredDictionaryWhenTheChoiceIsUntouched) {
    ConfigurationStore store;
    ASSERT_EQ(0, store.OpenDefault("\\options.fvt", 1));
    const std::u16string path = u"\\Storage Card\\eBooks\\dict.prc";
    ASSERT_EQ(0, store.SetBlob64(path.data(), static_cast<uint32_t>(path.size() * 2)));
    settings.SetConfigurationStore(&store);
    OptionsSheet sheet(&controller, nullptr, nullptr, false, false);
    int rows = 0, row = -2;
    Answer(-1, [&](HWND page) {
        rows = static_cast<int>(SendMessageW(GetDlgItem(page, 1002), LB_GETCOUNT, 0, 0));
        row = Sel(page, 1002);
    });
    Answer(IDOK);
    EXPECT_TRUE(Page(sheet, 0)->Run(owner, &controller, false));
    EXPECT_EQ(rows, 1);  // "--- Auto ---" alone: the card is out
    EXPECT_EQ(row, 0);
    uint32_t bytes = 0;
    const uint8_t* data = store.GetBlob64(&bytes);
    ASSERT_EQ(bytes, path.size() * 2);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(data), path.size()), path);
    EXPECT_EQ(store.Close(), 0);
}

}  // namespace

TEST_F(OptionPages, EveryPageShowsItsLabelsInTheBoldTitleFont) {
    OptionsSheet sheet(&controller, nullptr, nullptr, false, false);
    const std::vector<std::vector<int>> labels = {
        {1036, 1111}, {1056, 1057}, {1039, 1040, 1041, 1042, 1099}, {1055}, {1094}, {1018}};
    const std::vector<int> plainItems = {1037, 1058, 1065, 1044, 1095, 1101};
    for (int index = 0; index < 6; ++index) {
        std::vector<int> weights;
        int plain = 0;
        Answer(-1, [&](HWND page) {
            for (int id : labels[static_cast<size_t>(index)]) {
                auto font = reinterpret_cast<HFONT>(SendDlgItemMessageW(page, id, WM_GETFONT, 0, 0));
                LOGFONTW record{};
                weights.push_back(font && GetObjectW(font, sizeof record, &record) ? record.lfWeight
                                                                                   : 0);
            }
            // A check box keeps the page's ordinary font.
            HWND other = GetDlgItem(page, plainItems[static_cast<size_t>(index)]);
            auto font = reinterpret_cast<HFONT>(SendMessageW(other, WM_GETFONT, 0, 0));
            LOGFONTW record{};
            if (font && GetObjectW(font, sizeof record, &record)) plain = record.lfWeight;
        });
        Answer(IDCANCEL);
        Page(sheet, index)->Run(owner, &controller, false);
        ASSERT_EQ(weights.size(), labels[static_cast<size_t>(index)].size()) << index;
        for (int w : weights) EXPECT_GE(w, FW_BOLD) << "page " << index;
        EXPECT_LT(plain, FW_BOLD) << "page " << index;
    }
}

}  // namespace fvt::test
