// Small helpers over the platform's window, dialog, menu and font calls that every dialog of
// the program uses: message boxes from string resources, fonts scaled to the screen, icons at
// the screen's size, combo items (list boxes on Smartphone), file dialogs, size and duration
// texts, and the shell hand-offs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/string.h"
#include "platform/gdi.h"
#include "platform/window/window.h"

// A string resource in the program language; empty when the id has none.
String ResString(uint32_t id);
// The characters with a terminator, for the platform's calls.
std::u16string Terminated(const String& text);

// Report lists: a row of cells (the first with its parameter and icon, -1 for none) at `row`;
// the row's index, or -1. And one row made the selected and focused one.
int32_t ReportListAddRow(HWND list, int32_t row, const String* cells, int32_t count, LPARAM param,
                         int32_t image);
void ReportListSelect(HWND list, int32_t row);

// MessageBoxW with texts from string resources and MB_SETFOREGROUND added. The answer of the
// box; 0 when it could not be shown.
int MessageBoxRes(HWND owner, uint32_t captionId, uint32_t textId, uint32_t flags);
// The same with every "%s" of the text replaced by `argument`.
int MessageBoxRes(HWND owner, uint32_t captionId, uint32_t textId, uint32_t flags,
                  const String& argument);
// Caption and text given; the flags pass unchanged.
int MessageBoxText(HWND owner, const String& caption, const String& text, uint32_t flags);

// Every "%s" of `text` replaced by `argument` (false on out of memory).
bool ReplaceAll(String& text, const char16_t* token, const String& argument);

// A font scaled to the screen: face null gives "Tahoma", size 0 gives 11 points; with scaling
// the height is -(size x LOGPIXELSY) / 72 (rounded toward zero), else the size as given.
HFONT CreateUiFont(HWND window, int32_t size = 0, const char16_t* face = nullptr, bool bold = false,
                   bool antialiased = false, bool scale = true, bool italic = false);
// The LOGFONTW CreateUiFont makes, for tests and callers that adjust it.
LOGFONTW UiFontRecord(HWND window, int32_t size, const char16_t* face, bool bold, bool antialiased,
                      bool scale, bool italic);
// A font by face (cut at 31 characters) and pixel size, unscaled.
HFONT CreateFontByName(const String& face, int32_t size, bool bold, bool underline, bool italic);
LOGFONTW FontByNameRecord(const String& face, int32_t size, bool bold, bool underline, bool italic);

// Kind 0: the number. Kind 1, KB: below 1024 "n KB", else "n / 1024,remainder MB" (the
// remainder stays in KB). Kind 2, minutes: below 60 "n Minutes", else "h Hours m Minutes".
enum class SizeOrDurationKind : uint8_t { kNumber = 0, kKilobytes = 1, kMinutes = 2 };
String FormatSizeOrDuration(uint32_t value, SizeOrDurationKind kind);

// Splits a command line into words: a quoted run (single or double quotes, a backslash escapes
// the next character) without its quotes, else a run of non-blanks. False on out of memory.
bool SplitCommandLine(const String& line, std::vector<String>& words);
// The program and the parameters of a command line: the text up to the first blank, or between
// the double quotes when it starts with one; the parameters follow the character that ended it.
void SplitProgram(const String& line, String& program, String& parameters);
// ShellExecuteEx of a command line; false when the hand-off failed.
bool ShellOpen(const String& commandLine);
// ShellExecuteEx of a document or URL with the verb "Open".
bool OpenDocument(HWND owner, const String& path);

// Icons at the screen's size: 16 pixels, 32 on a high-resolution screen.
int32_t ScreenIconSize();
HICON LoadIconScaled(uint32_t iconId, int32_t* size = nullptr);
HIMAGELIST CreateImageList(int32_t initial, int32_t* size = nullptr);
// Adds the icon resource at the list's size; its index, or -1.
int32_t ImageListAddIcon(HIMAGELIST list, uint32_t iconId);
// Sets an icon on a static item; the icon it replaced is destroyed as an icon, and the caller
// destroys the icon it gave with DestroyIcon once the control is gone.
bool SetItemIcon(HWND dialog, int32_t id, HICON icon);

// Combo items. On Smartphone the dialogs use list boxes with spinners: every call goes to the
// list box messages there, count and text included.
int32_t ComboAdd(HWND dialog, int32_t id, const String& text);
int32_t ComboAddRes(HWND dialog, int32_t id, uint32_t stringId);
void ComboReset(HWND dialog, int32_t id);
int32_t ComboGetSel(HWND dialog, int32_t id);
bool ComboSetSel(HWND dialog, int32_t id, int32_t index);
bool ComboSetData(HWND dialog, int32_t id, int32_t index, LPARAM data);
LPARAM ComboGetData(HWND dialog, int32_t id, int32_t index);
int32_t ComboCount(HWND dialog, int32_t id);
bool ComboText(HWND dialog, int32_t id, int32_t index, String& out);
bool ComboSelectedText(HWND dialog, int32_t id, String& out);

// Dialog items.
bool SetItemText(HWND dialog, int32_t id, const String& text);
// Every "&" doubled, so it shows as an ampersand.
bool SetItemTextLiteral(HWND dialog, int32_t id, const String& text);
bool SetItemTextRes(HWND dialog, int32_t id, uint32_t stringId);
bool SetItemTextRes(HWND dialog, int32_t id, uint32_t stringId, const String& appended);
bool SetItemTextNumber(HWND dialog, int32_t id, double value);
// The whole text of an item, however long.
bool GetItemText(HWND dialog, int32_t id, String& out);
bool GetWindowString(HWND window, String& out);
bool SetWindowString(HWND window, const String& text);
// An item's rectangle in the dialog's client coordinates.
RECT GetItemRect(HWND dialog, int32_t id);
// Moves a window to a rectangle given by its corners, and repaints.
void MoveWindowTo(HWND window, int32_t left, int32_t top, int32_t right, int32_t bottom);
// Centres a window of its client size on the screen.
void CenterWindow(HWND window);

// The open and save dialogs. Filters are label and pattern pairs.
class FileDialog {
public:
    struct Filter {
        const char16_t* label;
        const char16_t* pattern;
    };
    // Appends each chosen path; `folder` starts the dialog and gets the folder of the choice.
    // False when cancelled or when the choice did not fit (CommDlgExtendedError tells which).
    static bool Run(HWND owner, bool save, bool multiple, const std::vector<Filter>& filters,
                    uint32_t filterIndex, String& folder, const String& title,
                    std::vector<String>& paths);
    static bool OpenOne(HWND owner, const std::vector<Filter>& filters, String& folder,
                        const String& title, String& path);
    static bool SaveOne(HWND owner, const std::vector<Filter>& filters, String& folder,
                        const String& title, String& path);
};
