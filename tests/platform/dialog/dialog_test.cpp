// Dialogs: templates, the dialog procedure's contract, modal loops answered from the queue,
// nested dialogs as a property sheet runs them, message boxes, file dialogs and the compiled
// templates.
#include <gtest/gtest.h>

#include <string>

#include "platform/dialog/dialog_fixture.h"
#include "platform/resources/device_resources.h"
#include "platform/shell/shell.h"
#include "platform/window/keys.h"

namespace fvt::test {
namespace {

using Templates = DialogTest;
using Modal = DialogTest;
using Items = DialogTest;
using FileDialogs = DialogTest;

class FrenchBoxes : public DialogTest {
protected:
    FrenchBoxes() : DialogTest("clock = virtual\nlanguage = fr\n") {}
};
using Boxes = DialogTest;

DialogTemplate Small() {
    DialogTemplate t;
    t.style = WS_POPUP | WS_VISIBLE;
    t.cx = 100;
    t.cy = 100;
    t.caption = u"Small";
    t.items.push_back({WS_VISIBLE, 0, 2, 2, 90, 11, 1091, u"STATIC", u"Title"});
    t.items.push_back({WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, 20, 95, 12, 1074, u"EDIT", u"12"});
    t.items.push_back({WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 0, 40, 95, 10, 1037, u"BUTTON", u"Check"});
    return t;
}

const DLGTEMPLATE* AsTemplate(const std::vector<BYTE>& bytes) {
    return reinterpret_cast<const DLGTEMPLATE*>(bytes.data());
}

// What the test dialog procedure saw.
struct Seen {
    LPARAM initParam = 0;
    int inits = 0;
    std::vector<int> commands;
    bool refuseOk = false;
    bool refuseCancel = false;
};

INT_PTR CALLBACK_Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWL_USER, lParam);
        auto* seen = reinterpret_cast<Seen*>(lParam);
        seen->initParam = lParam;
        ++seen->inits;
        return TRUE;
    }
    auto* seen = reinterpret_cast<Seen*>(GetWindowLongPtrW(hwnd, DWL_USER));
    if (!seen) return FALSE;
    if (msg == WM_COMMAND) {
        int id = LOWORD(wParam);
        if (lParam != 0) return FALSE;  // a control's notice
        seen->commands.push_back(id);
        if (id == IDOK && !seen->refuseOk) EndDialog(hwnd, 1);
        if (id == IDCANCEL && !seen->refuseCancel) EndDialog(hwnd, 0);
        if (id == 40177) EndDialog(hwnd, 40177);
        return TRUE;
    }
    return FALSE;
}

TEST_F(Templates, ARecordRoundTripsAndDamageIsRefused) {
    DialogTemplate t = Small();
    std::vector<BYTE> bytes = BuildDialogTemplate(t);
    DialogTemplate back;
    ASSERT_TRUE(ParseDialogTemplate(bytes.data(), back));
    EXPECT_EQ(back.caption, u"Small");
    ASSERT_EQ(back.items.size(), 3u);
    EXPECT_EQ(back.items[1].id, 1074);
    EXPECT_EQ(back.items[1].className, u"EDIT");
    // Every shortened record fails cleanly, as does a wrong magic or a size past the bytes.
    for (size_t cut = 8; cut < bytes.size(); ++cut) {
        std::vector<BYTE> shortened(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        for (int i = 0; i < 4; ++i) shortened[4 + static_cast<size_t>(i)] = static_cast<BYTE>(cut >> (8 * i));
        EXPECT_FALSE(ParseDialogTemplate(shortened.data(), back)) << cut;
    }
    std::vector<BYTE> wrong = bytes;
    wrong[0] ^= 1;
    EXPECT_FALSE(ParseDialogTemplate(wrong.data(), back));
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, AsTemplate(wrong), nullptr, CALLBACK_Proc, 0), -1);
    EXPECT_EQ(CreateDialogIndirectParamW(nullptr, nullptr, nullptr, CALLBACK_Proc, 0), nullptr);
}

TEST_F(Templates, AnUnknownControlClassFailsTheDialog) {
    DialogTemplate t = Small();
    t.items.push_back({WS_VISIBLE, 0, 0, 0, 10, 10, 5, u"NoSuchClass", u""});
    std::vector<BYTE> bytes = BuildDialogTemplate(t);
    Seen seen;
    EXPECT_EQ(CreateDialogIndirectParamW(nullptr, AsTemplate(bytes), nullptr, CALLBACK_Proc,
                                         reinterpret_cast<LPARAM>(&seen)),
              nullptr);
    EXPECT_EQ(seen.inits, 0);
}

TEST_F(Modal, TheDriversAnswerEndsTheDialogWithItsResult) {
    HWND owner = Make(0, 26, 240, 268);
    std::vector<BYTE> bytes = BuildDialogTemplate(Small());
    Seen seen;
    bool ownerWasDisabled = false;
    QueueAnswer(Answer{-1, {}, [&](HWND dialog) {
                           ownerWasDisabled = !IsWindowEnabled(owner);
                           SetDlgItemTextW(dialog, 1074, u"  42 ");
                           BOOL ok = FALSE;
                           EXPECT_EQ(GetDlgItemInt(dialog, 1074, &ok, FALSE), 42u);
                           EXPECT_TRUE(ok);
                       }});
    QueueAnswer(Answer{40177, {}, {}});
    INT_PTR r = DialogBoxIndirectParamW(nullptr, AsTemplate(bytes), owner, CALLBACK_Proc,
                                        reinterpret_cast<LPARAM>(&seen));
    EXPECT_EQ(r, 40177);
    EXPECT_EQ(seen.initParam, reinterpret_cast<LPARAM>(&seen));
    EXPECT_TRUE(ownerWasDisabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
    ASSERT_EQ(seen.commands.size(), 1u);
    EXPECT_EQ(seen.commands[0], 40177);
    auto log = ShellLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "dialog Small => 40177");
}

// The gallery's check of a shown box: the template's controls sit apart and their texts fit;
// a label too long for its control and two controls on one spot are both reported.
TEST_F(Modal, TheLayoutCheckFindsOverlapsAndCutTextsOnly) {
    HWND owner = Make(0, 26, 240, 268);
    std::vector<std::string> clean, faulty;
    Seen seen;
    QueueAnswer(Answer{-1, {}, [&](HWND dialog) { clean = DialogLayoutProblems(dialog); }});
    QueueAnswer(Answer{IDCANCEL, {}, {}});
    DialogBoxIndirectParamW(nullptr, AsTemplate(BuildDialogTemplate(Small())), owner, CALLBACK_Proc,
                            reinterpret_cast<LPARAM>(&seen));
    EXPECT_TRUE(clean.empty()) << (clean.empty() ? "" : clean.front());

    DialogTemplate t = Small();
    t.items.push_back({WS_VISIBLE, 0, 0, 60, 20, 10, 1036, u"STATIC",
                       u"A label much wider than the little box it was given"});
    t.items.push_back({WS_VISIBLE | BS_AUTOCHECKBOX, 0, 10, 38, 40, 10, 1038, u"BUTTON", u"On"});
    QueueAnswer(Answer{-1, {}, [&](HWND dialog) { faulty = DialogLayoutProblems(dialog); }});
    QueueAnswer(Answer{IDCANCEL, {}, {}});
    DialogBoxIndirectParamW(nullptr, AsTemplate(BuildDialogTemplate(t)), owner, CALLBACK_Proc,
                            reinterpret_cast<LPARAM>(&seen));
    EXPECT_EQ(faulty, (std::vector<std::string>{"the text of control 1036 does not fit",
                                                "controls 1037 and 1038 overlap"}));
}

TEST_F(Modal, AModalDialogShowsEvenWhenItsTemplateIsHidden) {
    DialogTemplate t = Small();
    t.style = WS_POPUP | WS_BORDER;  // as the options pages are written
    std::vector<BYTE> bytes = BuildDialogTemplate(t);
    Seen seen;
    bool visible = false;
    QueueAnswer(Answer{IDOK, {}, [&](HWND dialog) { visible = IsWindowVisible(dialog) != FALSE; }});
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, AsTemplate(bytes), nullptr, CALLBACK_Proc,
                                      reinterpret_cast<LPARAM>(&seen)),
              1);
    EXPECT_TRUE(visible);
    HWND modeless = CreateDialogIndirectParamW(nullptr, AsTemplate(bytes), nullptr, CALLBACK_Proc,
                                               reinterpret_cast<LPARAM>(&seen));
    ASSERT_NE(modeless, nullptr);
    EXPECT_FALSE(IsWindowVisible(modeless));
    DestroyWindow(modeless);
}

TEST_F(Modal, NoAnswerCancelsAndADialogRefusingEvenThatStillEnds) {
    std::vector<BYTE> bytes = BuildDialogTemplate(Small());
    Seen seen;
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, AsTemplate(bytes), nullptr, CALLBACK_Proc,
                                      reinterpret_cast<LPARAM>(&seen)),
              0);
    Seen stubborn;
    stubborn.refuseOk = stubborn.refuseCancel = true;
    QueueAnswer(Answer{0, {}, {}});  // OK, refused
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, AsTemplate(bytes), nullptr, CALLBACK_Proc,
                                      reinterpret_cast<LPARAM>(&stubborn)),
              IDCANCEL);
    EXPECT_EQ(stubborn.commands.front(), IDOK);
}

// A host dialog running two pages one after the other, as the program's sheet host does: each
// page is a modal dialog of its own inside the host's loop.
TEST_F(Modal, ASheetOfTwoPagesRunsEachPageInsideTheHost) {
    std::vector<BYTE> host = BuildDialogTemplate(Small());
    DialogTemplate pageTemplate = Small();
    pageTemplate.caption = u"Page";
    std::vector<BYTE> page = BuildDialogTemplate(pageTemplate);
    Seen hostSeen, first, second;
    INT_PTR firstResult = -5, secondResult = -5;
    QueueAnswer(Answer{-1, {}, [&](HWND hostWindow) {
                           QueueAnswer(Answer{0, {}, {}});  // the first page: OK
                           firstResult = DialogBoxIndirectParamW(
                               nullptr, AsTemplate(page), hostWindow, CALLBACK_Proc,
                               reinterpret_cast<LPARAM>(&first));
                           EXPECT_TRUE(IsWindowEnabled(hostWindow));
                           QueueAnswer(Answer{IDCANCEL, {}, {}});  // the second: Cancel
                           secondResult = DialogBoxIndirectParamW(
                               nullptr, AsTemplate(page), hostWindow, CALLBACK_Proc,
                               reinterpret_cast<LPARAM>(&second));
                           QueueAnswer(Answer{IDOK, {}, {}});  // back in the host: OK
                       }});
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, AsTemplate(host), nullptr, CALLBACK_Proc,
                                      reinterpret_cast<LPARAM>(&hostSeen)),
              1);
    EXPECT_EQ(firstResult, 1);
    EXPECT_EQ(secondResult, 0);
    EXPECT_EQ(first.inits, 1);
    EXPECT_EQ(second.inits, 1);
}

TEST_F(Modal, TabMovesTheFocusAndEnterIsOkInsideTheLoop) {
    DialogTemplate t = Small();
    t.items.push_back({WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN, 0, 0, 60, 95, 30,
                       1088, u"EDIT", u""});
    std::vector<BYTE> bytes = BuildDialogTemplate(t);
    Seen seen;
    int focusAfterTab = 0;
    std::u16string multiText;
    // Each answer's keys are handled by the dialog's loop before the next answer is taken.
    QueueAnswer(Answer{-1, {}, [&](HWND) { Key(VK_TAB); }});
    QueueAnswer(Answer{-1, {}, [&](HWND dialog) {
                           focusAfterTab = GetDlgCtrlID(GetFocus());
                           // A multi-line field that wants Enter keeps it.
                           SetFocus(GetDlgItem(dialog, 1088));
                           Key(VK_RETURN, u'\r');
                       }});
    QueueAnswer(Answer{-1, {}, [&](HWND dialog) {
                           multiText = TextOf(GetDlgItem(dialog, 1088));
                           SetFocus(GetDlgItem(dialog, 1074));
                           Key(VK_RETURN);
                       }});
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, AsTemplate(bytes), nullptr, CALLBACK_Proc,
                                      reinterpret_cast<LPARAM>(&seen)),
              1);
    EXPECT_EQ(focusAfterTab, 1037);
    EXPECT_EQ(multiText, u"\r\n");
    ASSERT_EQ(seen.commands.size(), 1u);
    EXPECT_EQ(seen.commands[0], IDOK);
}

TEST_F(Modal, EnterAndEscapeAreDialogKeysOnlyInsideTheLoop) {
    std::vector<BYTE> bytes = BuildDialogTemplate(Small());
    Seen seen;
    HWND dialog = CreateDialogIndirectParamW(nullptr, AsTemplate(bytes), nullptr, CALLBACK_Proc,
                                             reinterpret_cast<LPARAM>(&seen));
    ASSERT_NE(dialog, nullptr);
    // The focus went to the first tab stop: the edit.
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, 1074));
    Key(VK_RETURN);
    RunUntilIdle();  // the program's own loop: no dialog keys
    EXPECT_TRUE(seen.commands.empty());
    MSG msg{dialog, WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT_TRUE(IsDialogMessageW(dialog, &msg));
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, 1037));
    msg.wParam = VK_ESCAPE;
    IsDialogMessageW(dialog, &msg);
    ASSERT_EQ(seen.commands.size(), 1u);
    EXPECT_EQ(seen.commands[0], IDCANCEL);
    DestroyWindow(dialog);
}

TEST_F(Items, ItemHelpersAnswerForMissingItemsWithoutHarm) {
    std::vector<BYTE> bytes = BuildDialogTemplate(Small());
    Seen seen;
    HWND dialog = CreateDialogIndirectParamW(nullptr, AsTemplate(bytes), nullptr, CALLBACK_Proc,
                                             reinterpret_cast<LPARAM>(&seen));
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(GetDlgItem(dialog, 9999), nullptr);
    EXPECT_FALSE(SetDlgItemTextW(dialog, 9999, u"x"));
    WCHAR buffer[8] = {u'z'};
    EXPECT_EQ(GetDlgItemTextW(dialog, 9999, buffer, 8), 0u);
    EXPECT_EQ(buffer[0], 0);
    BOOL ok = TRUE;
    SetDlgItemTextW(dialog, 1074, u"12a");
    EXPECT_EQ(GetDlgItemInt(dialog, 1074, &ok, FALSE), 0u);
    EXPECT_FALSE(ok);
    SetDlgItemTextW(dialog, 1074, u"-7");
    EXPECT_EQ(static_cast<int>(GetDlgItemInt(dialog, 1074, &ok, TRUE)), -7);
    EXPECT_TRUE(ok);
    GetDlgItemInt(dialog, 1074, &ok, FALSE);
    EXPECT_FALSE(ok);  // unsigned reading refuses the sign
    SetDlgItemInt(dialog, 1074, 4294967295u, FALSE);
    EXPECT_EQ(GetDlgItemInt(dialog, 1074, &ok, FALSE), 4294967295u);
    CheckDlgButton(dialog, 1037, BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 1037), BST_CHECKED);
    EXPECT_EQ(GetDlgCtrlID(GetDlgItem(dialog, 1037)), 1037);
    // The user word holds a whole pointer.
    LONG_PTR big = static_cast<LONG_PTR>(0x123456789ABCLL);
    SetWindowLongPtrW(dialog, DWL_USER, big);
    EXPECT_EQ(GetWindowLongPtrW(dialog, DWL_USER), big);
    SetWindowLongPtrW(dialog, DWL_USER, reinterpret_cast<LONG_PTR>(&seen));
    DestroyWindow(dialog);
}

TEST_F(Items, FullScreenDialogsFillTheWorkArea) {
    std::vector<BYTE> bytes = BuildDialogTemplate(Small());
    Seen seen;
    HWND dialog = CreateDialogIndirectParamW(nullptr, AsTemplate(bytes), nullptr, CALLBACK_Proc,
                                             reinterpret_cast<LPARAM>(&seen));
    SHINITDLGINFO info{SHIDIM_FLAGS, dialog, SHIDIF_SIZEDLGFULLSCREEN};
    ASSERT_TRUE(SHInitDialog(&info));
    RECT r;
    GetWindowRect(dialog, &r);
    RECT work = WorkArea();
    EXPECT_EQ(r.top, work.top);
    EXPECT_EQ(r.bottom, work.bottom);
    EXPECT_EQ(r.right - r.left, work.right - work.left);
    SHINITDLGINFO bad{SHIDIM_FLAGS, nullptr, SHIDIF_SIZEDLGFULLSCREEN};
    EXPECT_FALSE(SHInitDialog(&bad));
    EXPECT_FALSE(SHInitDialog(nullptr));
    DestroyWindow(dialog);
}

TEST_F(Boxes, TheDefaultButtonAnswersWhenNobodyDoes) {
    EXPECT_EQ(MessageBoxW(nullptr, u"Sure?", u"Delete", MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL);
    EXPECT_EQ(MessageBoxW(nullptr, u"Done", u"Info", MB_OK | MB_ICONINFORMATION), IDOK);
    QueueAnswer(Answer{IDYES, {}, {}});
    EXPECT_EQ(MessageBoxW(nullptr, u"Sure?", u"Delete", MB_OKCANCEL), IDOK);  // not its button
    QueueAnswer(Answer{IDNO, {}, {}});
    EXPECT_EQ(MessageBoxW(nullptr, u"Keep?", u"Q", MB_YESNO), IDNO);
    auto log = ShellLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], "MessageBox Delete: Sure? => 2");
    EXPECT_EQ(log[3], "MessageBox Q: Keep? => 7");
}

// Keys pressed in the box, as a person does once it shows.
Answer Keys(std::vector<UINT> keys) {
    return Answer{-1, {}, [keys](HWND) {
                      for (UINT k : keys) fvt::Key(k);
                  }};
}

TEST_F(Boxes, TabAndTheArrowsMoveBetweenTheButtonsAndEnterPressesTheFocusedOne) {
    // Cancel is focused first; Tab moves to OK.
    QueueAnswer(Keys({VK_TAB, VK_RETURN}));
    EXPECT_EQ(MessageBoxW(nullptr, u"Sure?", u"Delete", MB_OKCANCEL | MB_DEFBUTTON2), IDOK);
    // Right goes round to OK, Left back to Cancel.
    QueueAnswer(Keys({VK_RIGHT, VK_LEFT, VK_RETURN}));
    EXPECT_EQ(MessageBoxW(nullptr, u"Sure?", u"Delete", MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL);
    // From Yes to Cancel, then Shift+Tab back to No; Space presses too.
    QueueAnswer(Answer{-1, {}, [](HWND) {
                           fvt::Key(VK_TAB);
                           fvt::Key(VK_TAB);
                           fvt::KeyDown(VK_LSHIFT);
                           fvt::Key(VK_TAB);
                           fvt::KeyUp(VK_LSHIFT);
                           fvt::Key(VK_SPACE);
                       }});
    EXPECT_EQ(MessageBoxW(nullptr, u"Again?", u"Q", MB_YESNOCANCEL), IDNO);
}

TEST_F(Boxes, EscapeIsCancelOrNoAndF1TheLeftButton) {
    QueueAnswer(Keys({VK_ESCAPE}));
    EXPECT_EQ(MessageBoxW(nullptr, u"Keep?", u"Q", MB_YESNO), IDNO);
    QueueAnswer(Keys({VK_ESCAPE}));
    EXPECT_EQ(MessageBoxW(nullptr, u"Keep?", u"Q", MB_YESNOCANCEL), IDCANCEL);
    QueueAnswer(Keys({VK_F1}));
    EXPECT_EQ(MessageBoxW(nullptr, u"Sure?", u"Delete", MB_OKCANCEL | MB_DEFBUTTON2), IDOK);
}

// A box closed from outside (the program asked to end by a second start) answers as Escape
// would: No where it has no Cancel.
TEST_F(Boxes, ABoxClosedFromOutsideAnswersAsEscape) {
    auto close = Answer{-1, {}, [](HWND box) { PostMessageW(box, WM_CLOSE, 0, 0); }};
    QueueAnswer(close);
    EXPECT_EQ(MessageBoxW(nullptr, u"Keep?", u"Q", MB_YESNO), IDNO);
    QueueAnswer(close);
    EXPECT_EQ(MessageBoxW(nullptr, u"Sure?", u"Delete", MB_OKCANCEL), IDCANCEL);
}

TEST_F(FrenchBoxes, AFrenchBoxShowsFrenchButtons) {
    bool drawn = false;
    QueueAnswer(Answer{IDCANCEL, {}, [&](HWND box) {
                           RECT r;
                           GetWindowRect(box, &r);
                           drawn = r.right > r.left;
                           // The box covers the middle of the screen in its own colours.
                           EXPECT_EQ(ScreenPixel((r.left + r.right) / 2, r.top + 5), 0x002060u);
                       }});
    EXPECT_EQ(MessageBoxW(nullptr, u"Supprimer ce livre ?", u"Biblioth\u00E8que", MB_OKCANCEL),
              IDCANCEL);
    EXPECT_TRUE(drawn);
    auto log = ShellLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "MessageBox Biblioth\xC3\xA8que: Supprimer ce livre ? => 2");
}

TEST_F(FileDialogs, TheAnswerIsTheChoiceAndNoAnswerCancels) {
    WCHAR file[260] = {};
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFile = file;
    ofn.nMaxFile = 260;
    ofn.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    EXPECT_FALSE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    QueueAnswer(Answer{-1, u"\\My Documents\\a.prc", {}});
    ASSERT_TRUE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(std::u16string(file), u"\\My Documents\\a.prc");
    EXPECT_EQ(ofn.nFileOffset, 14);
    EXPECT_EQ(ofn.nFileExtension, 16);
    // Several names: the folder, each name, two NULs.
    WCHAR many[2600] = {};
    ofn.lpstrFile = many;
    ofn.nMaxFile = 2600;
    ofn.Flags = 0x80206;
    QueueAnswer(Answer{-1, u"\\Books\\a.prc\n\\Books\\b.pdb", {}});
    ASSERT_TRUE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(std::u16string(many), u"\\Books");
    EXPECT_EQ(ofn.nFileOffset, 7);
    EXPECT_EQ(std::u16string(many + 7), u"a.prc");
    EXPECT_EQ(std::u16string(many + 13), u"b.pdb");
    EXPECT_EQ(many[19], 0);
    // A buffer too small for the choice fails and says so.
    WCHAR tiny[4] = {};
    ofn.lpstrFile = tiny;
    ofn.nMaxFile = 4;
    ofn.Flags = 0;
    QueueAnswer(Answer{-1, u"\\Books\\a.prc", {}});
    EXPECT_FALSE(GetSaveFileNameW(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);
}

// The compiled templates: each one the program asks for makes a dialog with its listed
// controls, in both languages.
class CompiledTemplates : public DialogTest {
protected:
    explicit CompiledTemplates(const std::string& profile = "clock = virtual\n")
        : DialogTest(profile) {}
    HWND Open(WORD id, Seen& seen) {
        HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(RT_DIALOG));
        if (!found) return nullptr;
        auto* data = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(nullptr, found)));
        return CreateDialogIndirectParamW(nullptr, data, nullptr, CALLBACK_Proc,
                                          reinterpret_cast<LPARAM>(&seen));
    }
};

TEST_F(CompiledTemplates, EveryTemplateHasItsTitleAndControls) {
    struct Want {
        WORD id;
        std::vector<int> controls;
    };
    const Want wants[] = {
        {111, {1036, 1002, 1087, 1037, 1034, 1111, 1110, 1092}},
        {112, {1039, 1065, 1041, 1067, 1040, 1064, 1042, 1062, 1099, 1098}},
        {113, {1044, 1055, 1003, 1086, 1053, 1054, 1061}},
        {114, {1056, 1060, 1084, 1057, 1004, 1085, 1058, 1059}},
        {147, {1095, 1094}},
        {209, {1018, 1101, 1102, 1103, 1119}},
        {115, {1066, 1113}},
        {504, {1033}},
        {184, {1069, 40177, 1109, 40169, 1077, 1080, 1081, 1078}},
        {185, {1076, 1074, 1079, 1070, 1089, 1090, 40178}},
        {189, {1088}},
        {211, {1105, 1106, 1107, 1033, 1108, 1112}},
        {243, {245, 40178}},
        {171, {1071, 1115, 1093}},
        {174, {1075}},
        {136, {1012, 1013, 1015, 1016, 1017, 1020, 1006, 1007, 1008, 1010, 1009, 1021, 1023, 1024}},
        {183, {40074, 4557}},
        {110, {10055}},
    };
    for (const Want& want : wants) {
        Seen seen;
        HWND dialog = Open(want.id, seen);
        ASSERT_NE(dialog, nullptr) << want.id;
        EXPECT_NE(GetDlgItem(dialog, 1091), nullptr) << want.id;
        for (int c : want.controls) EXPECT_NE(GetDlgItem(dialog, c), nullptr) << want.id << " " << c;
        DestroyWindow(dialog);
    }
}

TEST_F(CompiledTemplates, LabelsComeFromTheStringTable) {
    Seen seen;
    HWND dialog = Open(111, seen);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(TextOf(GetDlgItem(dialog, 1036)), u"Dictionary");
    WCHAR caption[32] = {};
    GetWindowTextW(dialog, caption, 32);
    EXPECT_EQ(std::u16string(caption), u"General");
    DestroyWindow(dialog);
}

class FrenchCompiledTemplates : public CompiledTemplates {
protected:
    FrenchCompiledTemplates() : CompiledTemplates("clock = virtual\nlanguage = fr\n") {}
};

TEST_F(FrenchCompiledTemplates, LabelsAreInFrench) {
    Seen seen;
    HWND dialog = Open(111, seen);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(TextOf(GetDlgItem(dialog, 1036)), u"Dictionnaire");
    WCHAR caption[32] = {};
    GetWindowTextW(dialog, caption, 32);
    EXPECT_EQ(std::u16string(caption), u"G\u00E9n\u00E9ral");
    DestroyWindow(dialog);
}

}  // namespace
}  // namespace fvt::test

namespace fvt::test {
namespace {

TEST_F(FileDialogs, OnScreenThePersonWalksTheFoldersThroughTheFilter) {
    device_.WriteHost("Books/a.prc", "x");
    device_.WriteHost("Books/b.txt", "x");
    device_.WriteHost("Books/Old/c.prc", "x");
    SetAnswersFromUser(true);
    std::vector<std::u16string> shown;
    auto entries = [&](HWND dialog) {
        shown.clear();
        HWND list = GetDlgItem(dialog, 101);
        WCHAR text[64];
        for (int i = 0; i < SendMessageW(list, LB_GETCOUNT, 0, 0); ++i) {
            SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            shown.push_back(text);
        }
    };
    auto pick = [](HWND dialog, int index) {
        HWND list = GetDlgItem(dialog, 101);
        SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(101, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    };
    QueueAnswer(Answer{-1, {}, [&](HWND dialog) {
                           entries(dialog);  // "..", "Old\", "a.prc": b.txt is filtered out
                           pick(dialog, 2);
                       }});
    QueueAnswer(Answer{IDOK, {}, {}});
    WCHAR file[260] = {};
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFile = file;
    ofn.nMaxFile = 260;
    ofn.lpstrFilter = u"eBooks\0*.prc;*.pdb\0All\0*\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrInitialDir = u"\\Books";
    EXPECT_TRUE(GetOpenFileNameW(&ofn));
    SetAnswersFromUser(false);
    EXPECT_EQ(shown, (std::vector<std::u16string>{u"..", u"Old\\", u"a.prc"}));
    EXPECT_EQ(std::u16string(file), u"\\Books\\a.prc");
}

}  // namespace
}  // namespace fvt::test
