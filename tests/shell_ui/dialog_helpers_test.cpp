// The dialog helpers: size and duration texts, fonts, combo items on both platforms, command
// lines, file dialogs and message boxes.
#include <gtest/gtest.h>

#include "platform/controls/controls.h"
#include "platform/dialog/dialog.h"
#include "platform/storage/files.h"
#include "shell_ui/dialog_helpers.h"
#include "support/shell/ui_fixture.h"

namespace fvt::test {
namespace {

std::u16string Size(uint32_t v, SizeOrDurationKind kind) {
    return U(FormatSizeOrDuration(v, kind));
}

class Helpers : public UiTest {};

TEST_F(Helpers, SizesKeepTheKilobyteRemainderAfterAComma) {
    EXPECT_EQ(Size(0, SizeOrDurationKind::kKilobytes), u"0 KB");
    EXPECT_EQ(Size(1023, SizeOrDurationKind::kKilobytes), u"1023 KB");
    EXPECT_EQ(Size(1024, SizeOrDurationKind::kKilobytes), u"1,0 MB");
    EXPECT_EQ(Size(1536, SizeOrDurationKind::kKilobytes), u"1,512 MB");
    EXPECT_EQ(Size(77, SizeOrDurationKind::kNumber), u"77");
}

TEST_F(Helpers, DurationsSplitIntoHoursAndMinutes) {
    EXPECT_EQ(Size(45, SizeOrDurationKind::kMinutes), u"45 Minutes");
    EXPECT_EQ(Size(59, SizeOrDurationKind::kMinutes), u"59 Minutes");
    EXPECT_EQ(Size(60, SizeOrDurationKind::kMinutes), u"1 Hours 0 Minutes");
    EXPECT_EQ(Size(150, SizeOrDurationKind::kMinutes), u"2 Hours 30 Minutes");
}

class FrenchHelpers : public UiTest {
protected:
    FrenchHelpers() : UiTest("clock = virtual\nlanguage = fr\n") {}
};

TEST_F(FrenchHelpers, UnitsFollowTheProgramLanguage) {
    EXPECT_EQ(Size(1536, SizeOrDurationKind::kKilobytes), u"1,512 Mo");
    EXPECT_EQ(Size(150, SizeOrDurationKind::kMinutes), u"2 heures 30 minutes");
}

TEST_F(Helpers, TheUiFontDefaultsToElevenPointTahomaScaledToTheScreen) {
    HWND w = Make(0, 0, 50, 50);
    LOGFONTW f = UiFontRecord(w, 0, nullptr, false, false, true, false);
    EXPECT_EQ(std::u16string(f.lfFaceName), u"Tahoma");
    EXPECT_EQ(f.lfHeight, -14);  // 11 x 96 / 72, toward zero
    EXPECT_EQ(f.lfWeight, 400);
    EXPECT_EQ(f.lfCharSet, 1);
    LOGFONTW g = UiFontRecord(w, 9, u"Nina", true, true, false, true);
    EXPECT_EQ(g.lfHeight, 9);
    EXPECT_EQ(g.lfWeight, 700);
    EXPECT_EQ(g.lfQuality, 4);
    EXPECT_EQ(g.lfItalic, 1);
    HFONT font = CreateUiFont(w);
    EXPECT_NE(font, nullptr);
    DeleteObject(font);
}

class HighResolution : public UiTest {
protected:
    HighResolution() : UiTest("clock = virtual\ndpi = 192\n") {}
};

TEST_F(HighResolution, TheUiFontAndIconsDoubleOnAHighResolutionScreen) {
    HWND w = Make(0, 0, 50, 50);
    EXPECT_EQ(UiFontRecord(w, 0, nullptr, false, false, true, false).lfHeight, -29);
    EXPECT_EQ(ScreenIconSize(), 32);
}

TEST_F(Helpers, AFontByNameCutsTheFaceAt31Characters) {
    String face(u"An extraordinarily long font family name");
    LOGFONTW f = FontByNameRecord(face, 12, true, true, false);
    EXPECT_EQ(std::u16string(f.lfFaceName).size(), 31u);
    EXPECT_EQ(f.lfHeight, -12);
    EXPECT_EQ(f.lfUnderline, 1);
    EXPECT_EQ(f.lfItalic, 0);
    EXPECT_EQ(ScreenIconSize(), 16);
}

TEST_F(Helpers, CommandLinesSplitAtBlanksKeepingQuotedWords) {
    std::vector<String> words;
    ASSERT_TRUE(SplitCommandLine(String(u"  open \"a b\\\"c\" 'x y'  last"), words));
    ASSERT_EQ(words.size(), 4u);
    EXPECT_EQ(U(words[0]), u"open");
    EXPECT_EQ(U(words[1]), u"a b\"c");
    EXPECT_EQ(U(words[2]), u"x y");
    EXPECT_EQ(U(words[3]), u"last");
    words.clear();
    ASSERT_TRUE(SplitCommandLine(String(u"\"unclosed"), words));
    ASSERT_EQ(words.size(), 1u);
    EXPECT_EQ(U(words[0]), u"unclosed");
}

TEST_F(Helpers, ShellOpenSplitsTheProgramFromItsParameters) {
    String program, parameters;
    SplitProgram(String(u"\\Windows\\pword.exe \\a.txt"), program, parameters);
    EXPECT_EQ(U(program), u"\\Windows\\pword.exe");
    EXPECT_EQ(U(parameters), u"\\a.txt");
    SplitProgram(String(u"\"\\Program Files\\x.exe\" -v"), program, parameters);
    EXPECT_EQ(U(program), u"\\Program Files\\x.exe");
    EXPECT_EQ(U(parameters), u" -v");
    SplitProgram(String(u"alone"), program, parameters);
    EXPECT_EQ(U(program), u"alone");
    EXPECT_TRUE(parameters.IsEmpty());
    EXPECT_TRUE(ShellOpen(String(u"iexplore http://example.org")));
    EXPECT_TRUE(LogHas("iexplore"));
}

TEST_F(Helpers, MessageBoxResComesToTheFrontAndFillsIn) {
    HWND w = Make(0, 0, 50, 50);
    fvt::QueueAnswer(fvt::Answer{IDOK, {}, {}});
    // The box nobody sees is told on standard error as well, its texts filled in.
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxRes(w, 5405, 5404, MB_ICONINFORMATION), IDOK);
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_NE(told.find(": Search results: Search string was not found\n"), std::string::npos)
        << told;
    String text(u"a %s and %s");
    ASSERT_TRUE(ReplaceAll(text, u"%s", String(u"x%s")));
    EXPECT_EQ(U(text), u"a x%s and x%s");
}

struct ComboProbe : public UiTest {
    explicit ComboProbe(const std::string& profile) : UiTest(profile) {}
    void Exercise(const WCHAR* cls, DWORD style) {
        HWND dialog = Make(0, 0, 200, 200);
        HWND box = CreateWindowExW(0, cls, u"", WS_CHILD | WS_VISIBLE | style, 0, 0, 100, 60, dialog,
                                   reinterpret_cast<void*>(static_cast<UINT_PTR>(77)), nullptr, nullptr);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(ComboAdd(dialog, 77, String()), -1);
        EXPECT_EQ(ComboAdd(dialog, 77, String(u"Arial")), 0);
        EXPECT_EQ(ComboAdd(dialog, 77, String(u"Tahoma")), 1);
        EXPECT_EQ(ComboCount(dialog, 77), 2);
        String out;
        EXPECT_FALSE(ComboSelectedText(dialog, 77, out));
        EXPECT_TRUE(ComboSetSel(dialog, 77, 1));
        EXPECT_EQ(ComboGetSel(dialog, 77), 1);
        EXPECT_TRUE(ComboSelectedText(dialog, 77, out));
        EXPECT_EQ(U(out), u"Tahoma");
        EXPECT_TRUE(ComboText(dialog, 77, 0, out));
        EXPECT_EQ(U(out), u"Arial");
        EXPECT_TRUE(ComboSetData(dialog, 77, 0, 42));
        EXPECT_EQ(ComboGetData(dialog, 77, 0), 42);
        ComboReset(dialog, 77);
        EXPECT_EQ(ComboCount(dialog, 77), 0);
    }
};

struct PocketPcCombos : ComboProbe {
    PocketPcCombos() : ComboProbe("clock = virtual\n") {}
};
struct SmartphoneCombos : ComboProbe {
    SmartphoneCombos() : ComboProbe("clock = virtual\nplatform = Smartphone\n") {}
};

TEST_F(PocketPcCombos, ItemsGoToTheComboBox) {
    Exercise(u"COMBOBOX", 0x0003);
}

TEST_F(SmartphoneCombos, ItemsCountAndTextGoToTheListBox) {
    Exercise(u"LISTBOX", 0x0001);
}

class Files : public UiTest {};

TEST_F(Files, AMultipleChoiceGivesOnePathPerNameAndRemembersTheFolder) {
    HWND w = Make(0, 0, 50, 50);
    CreateDirectoryW(u"\\My Documents", nullptr);
    for (const char16_t* name : {u"\\My Documents\\a.txt", u"\\My Documents\\b.txt"}) {
        HANDLE h = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(h);
    }
    fvt::QueueAnswer(fvt::Answer{0, u"\\My Documents\\a.txt", {}});
    String folder(u"\\My Documents");
    std::vector<String> paths;
    ASSERT_TRUE(FileDialog::Run(w, false, true, {{u"Text", u"*.txt"}}, 1, folder, String(), paths));
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(U(paths[0]), u"\\My Documents\\a.txt");
    EXPECT_EQ(U(folder), u"\\My Documents");
    String path;
    EXPECT_FALSE(FileDialog::OpenOne(w, {{u"Text", u"*.txt"}}, folder, String(), path));  // cancel
    EXPECT_TRUE(path.IsEmpty());
    EXPECT_EQ(CommDlgExtendedError(), 0u);
}

TEST_F(Files, AChoiceTooLongForTheBufferIsAFailureNotACancel) {
    HWND w = Make(0, 0, 50, 50);
    std::u16string name = u"\\" + std::u16string(300, u'a') + u".txt";
    fvt::QueueAnswer(fvt::Answer{0, name, {}});
    String folder, path;
    EXPECT_FALSE(FileDialog::OpenOne(w, {{u"Text", u"*.txt"}}, folder, String(), path));
    EXPECT_EQ(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);
    EXPECT_TRUE(path.IsEmpty());
}

}  // namespace
}  // namespace fvt::test
