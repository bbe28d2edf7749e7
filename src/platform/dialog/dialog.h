// Dialogs: templates, the dialog manager, modal and modeless dialogs, dialog items, message boxes,
// the file dialogs and SHInitDialog.
//
// A template is the layer's own binary record (see dialog_template.h), compiled from
// resources/dialogs.txt (RT_DIALOG) or built in memory. Dialog units become pixels at a fixed
// ratio, scaled with the screen's dpi (DialogUnitsToPixels).
//
// The dialog manager keeps the dialog procedure, the result and the user word in the dialog's
// extra bytes (DWL_*, pointer-sized). Modal loops keep dispatching every message of the thread;
// Enter, Escape and Tab are dialog keys only inside them (the program's own loop has no
// IsDialogMessageW). A modal dialog, a message box, a file dialog and a pop-up menu take their
// answer from the answer queue when one is waiting (dialog/answers.h), and each is logged.
#pragma once

#include <string>
#include <vector>

#include "platform/controls/controls.h"
#include "platform/window/window.h"

// The template record is opaque to its users: they pass what LockResource gives.
struct DLGTEMPLATE;
using LPCDLGTEMPLATEW = const DLGTEMPLATE*;
using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

constexpr UINT WM_NEXTDLGCTL = 0x0028;
constexpr UINT WM_GETDLGCODE = 0x0087;
// A control's WM_GETDLGCODE answer: it takes every key, Enter, Escape and Tab included.
constexpr LRESULT DLGC_WANTALLKEYS = 0x0004;
constexpr UINT WM_INITDIALOG = 0x0110;

// Dialog words: pointer-sized on this system.
constexpr int DWL_MSGRESULT = 0;
constexpr int DWL_DLGPROC = static_cast<int>(sizeof(LONG_PTR));
constexpr int DWL_USER = static_cast<int>(2 * sizeof(LONG_PTR));
constexpr int DLGWINDOWEXTRA = static_cast<int>(3 * sizeof(LONG_PTR));

constexpr DWORD ERROR_CONTROL_ID_NOT_FOUND = 1421;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

constexpr DWORD DS_SETFONT = 0x40;
constexpr DWORD DS_MODALFRAME = 0x80;
constexpr DWORD DS_CENTER = 0x800;

// MessageBoxW.
constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_ABORTRETRYIGNORE = 0x2;
constexpr UINT MB_YESNOCANCEL = 0x3;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_RETRYCANCEL = 0x5;
constexpr UINT MB_ICONHAND = 0x10;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x40;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_DEFBUTTON1 = 0x000;
constexpr UINT MB_DEFBUTTON2 = 0x100;
constexpr UINT MB_DEFBUTTON3 = 0x200;
constexpr UINT MB_APPLMODAL = 0x0000;
constexpr UINT MB_SETFOREGROUND = 0x10000;
constexpr UINT MB_TOPMOST = 0x40000;

// SHInitDialog.
constexpr DWORD SHIDIM_FLAGS = 0x0001;
constexpr DWORD SHIDIF_DONEBUTTON = 0x0001;
constexpr DWORD SHIDIF_SIZEDLG = 0x0002;
constexpr DWORD SHIDIF_SIZEDLGFULLSCREEN = 0x0004;
constexpr DWORD SHIDIF_SIPDOWN = 0x0008;
constexpr DWORD SHIDIF_FULLSCREENNOMENUBAR = 0x0010;
constexpr DWORD SHIDIF_EMPTYMENU = 0x0020;
struct SHINITDLGINFO {
    DWORD dwMask;
    HWND hDlg;
    DWORD dwFlags;
};

// The file dialogs.
constexpr DWORD OFN_READONLY = 0x00000001;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_NOCHANGEDIR = 0x00000008;
constexpr DWORD OFN_ALLOWMULTISELECT = 0x00000200;
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
constexpr DWORD OFN_EXPLORER = 0x00080000;
constexpr DWORD FNERR_BUFFERTOOSMALL = 0x3003;
struct OPENFILENAMEW {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCWSTR lpstrFilter;
    LPWSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;
    LPWSTR lpstrFile;
    DWORD nMaxFile;
    LPWSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCWSTR lpstrInitialDir;
    LPCWSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCWSTR lpstrDefExt;
    LPARAM lCustData;
    void* lpfnHook;
    LPCWSTR lpTemplateName;
};

extern "C" {
// Null when the template is malformed (ERROR_INVALID_PARAMETER) or a control cannot be made.
HWND CreateDialogIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND owner,
                                DLGPROC proc, LPARAM param);
// The value given to EndDialog; -1 when the dialog could not be made.
INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND owner,
                                DLGPROC proc, LPARAM param);
BOOL EndDialog(HWND dialog, INT_PTR result);
LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
BOOL IsDialogMessageW(HWND dialog, MSG* msg);
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND control);
BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text);
UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int size);
BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned);
// Leading and trailing blanks are allowed; anything else, or a value out of range, gives 0 and
// *translated FALSE.
UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned);
LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);
BOOL MapDialogRect(HWND dialog, RECT* rect);
LONG GetDialogBaseUnits();

BOOL SHInitDialog(SHINITDLGINFO* info);

// 0 when the box cannot be shown; the chosen button otherwise.
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
// TRUE when a file was chosen: lpstrFile gets the path (with OFN_ALLOWMULTISELECT and several
// names: the folder, a NUL, each name and a NUL, and a final NUL), nFileOffset the offset of the
// (first) name. FALSE with CommDlgExtendedError() 0 when cancelled, FNERR_BUFFERTOOSMALL when
// the buffer cannot hold the choice.
BOOL GetOpenFileNameW(OPENFILENAMEW* info);
BOOL GetSaveFileNameW(OPENFILENAMEW* info);
DWORD CommDlgExtendedError();
}

namespace fvt {
// Pixels of `units` dialog units along x or y at the screen's dpi.
int DialogUnitsToPixels(int units, bool vertical);
// Pixels that template dialogs keep between the screen's left edge and their controls.
int DialogEdgeInset();
// What a careful eye would object to in a shown dialog: visible controls that overlap, and
// controls whose text did not fit when they were last painted. Empty when there is nothing.
std::vector<std::string> DialogLayoutProblems(HWND dialog);
// A modeless dialog's keys (Enter its OK, Escape its Cancel, Tab the next control), for the
// program's own loop to take before it dispatches a message, as a modal dialog's loop takes them:
// true when `msg` was one and has been handled.
bool TakeModelessDialogKey(MSG& msg);
// The focus is in a shown modeless dialog (its keys are the dialog's).
bool FocusInModelessDialog();
}  // namespace fvt
