// The shell around the program's windows: the task bar on top, the menu-bar strip at the bottom
// and the work area between them; full screen; the input panel; notifications; storage-card
// notices; screen rotation; power and the hand-offs to other programs (recorded in a log); the
// clipboard.
#pragma once

#include <string>
#include <vector>

#include "platform/window/window.h"

// SHFullScreen.
constexpr DWORD SHFS_SHOWTASKBAR = 0x0001;
constexpr DWORD SHFS_HIDETASKBAR = 0x0002;
constexpr DWORD SHFS_SHOWSIPBUTTON = 0x0004;
constexpr DWORD SHFS_HIDESIPBUTTON = 0x0008;
constexpr DWORD SHFS_SHOWSTARTICON = 0x0010;
constexpr DWORD SHFS_HIDESTARTICON = 0x0020;

// The input panel.
constexpr DWORD SIPF_OFF = 0x0;
constexpr DWORD SIPF_ON = 0x1;
constexpr UINT SPI_SETSIPINFO = 224;
constexpr UINT SPI_GETSIPINFO = 225;
struct SIPINFO {
    DWORD cbSize;
    DWORD fdwFlags;
    RECT rcVisibleDesktop;
    RECT rcSipRect;
    DWORD dwImDataSize;
    void* pvImData;
};

// Notifications.
struct SHNOTIFICATIONDATA {
    DWORD cbStruct;
    DWORD dwID;
    DWORD npPriority;
    DWORD csDuration;
    HICON hicon;
    DWORD grfFlags;
    BYTE clsid[16];
    HWND hwndSink;
    LPCWSTR pszHTML;
    LPCWSTR pszTitle;
    LPARAM lParam;
};

// A tap on a bubble: WM_NOTIFY to its sink (idFrom = the notification's id), then it closes.
constexpr int SHNN_LINKSEL = -1000;
constexpr int SHNN_DISMISS = -1001;
constexpr int SHNN_SHOW = -1002;
struct NMSHN {
    HWND hwndFrom;
    UINT_PTR idFrom;
    int code;
    LPARAM lParam;
    DWORD dwReturn;
    union {
        LPCWSTR pszLink;
        BOOL fTimeout;
        POINT pt;
    };
};

// Change notices. Items are pointer-sized on this system.
constexpr LONG SHCNE_MEDIAINSERTED = 0x00000020;
constexpr LONG SHCNE_MEDIAREMOVED = 0x00000040;
constexpr LONG SHCNE_DRIVEREMOVED = 0x00000080;
constexpr LONG SHCNE_DRIVEADD = 0x00000100;
constexpr UINT SHCNF_PATH = 0x0001;
struct SHCHANGENOTIFYENTRY {
    DWORD dwEventMask;
    LPWSTR pszWatchDir;
    BOOL fRecursive;
};
struct FILECHANGEINFO {
    DWORD cbSize;
    LONG wEventId;
    ULONG uFlags;
    DWORD_PTR dwItem1;
    DWORD_PTR dwItem2;
    DWORD dwAttributes;
    DWORD ftModifiedLow;
    DWORD ftModifiedHigh;
    ULONG nFileSize;
};
struct FILECHANGENOTIFY {
    DWORD dwRefCount;
    FILECHANGEINFO fci;
};

// Display settings: only the fields the program reads and writes are acted on.
constexpr DWORD DM_DISPLAYORIENTATION = 0x00800000;
constexpr DWORD DM_DISPLAYQUERYORIENTATION = 0x01000000;
constexpr DWORD DMDO_0 = 0;
constexpr DWORD DMDO_90 = 1;
constexpr DWORD DMDO_180 = 2;
constexpr DWORD DMDO_270 = 4;
constexpr DWORD CDS_TEST = 0x00000002;
constexpr DWORD CDS_RESET = 0x40000000;
constexpr LONG DISP_CHANGE_SUCCESSFUL = 0;
constexpr LONG DISP_CHANGE_FAILED = -1;
constexpr LONG DISP_CHANGE_BADMODE = -2;
struct DEVMODEW {
    WCHAR dmDeviceName[32];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    short dmPrinterFields[13];
    WCHAR dmFormName[32];
    WORD dmLogPixels;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmDisplayFlags;
    DWORD dmDisplayFrequency;
    DWORD dmDisplayOrientation;
    DWORD dmDisplayQueryOrientation;
};

// Hand-offs.
struct SHELLEXECUTEINFO {
    DWORD cbSize;
    ULONG fMask;
    HWND hwnd;
    LPCWSTR lpVerb;
    LPCWSTR lpFile;
    LPCWSTR lpParameters;
    LPCWSTR lpDirectory;
    int nShow;
    HINSTANCE hInstApp;
    void* lpIDList;
    LPCWSTR lpClass;
    HKEY hkeyClass;
    DWORD dwHotKey;
    HICON hIcon;
    HANDLE hProcess;
};

// The voice recorder control: a small bar that records into a WAV file. Style bits: no move
// (the user cannot drag it) and modal (its parent takes no input while it is open).
constexpr DWORD VRS_NO_MOVE = 0x0008;
constexpr DWORD VRS_MODAL = 0x0040;
struct CM_VOICE_RECORDER {
    DWORD cb;
    DWORD dwStyle;
    int xPos;
    int yPos;
    HWND hwndParent;
    int id;
    LPCWSTR lpszRecordFileName;
};

// Clipboard and movable memory.
constexpr UINT CF_UNICODETEXT = 13;
constexpr UINT LMEM_FIXED = 0x0000;
constexpr UINT LMEM_MOVEABLE = 0x0002;
constexpr UINT LMEM_ZEROINIT = 0x0040;
using HLOCAL = void*;

extern "C" {
BOOL SHFullScreen(HWND window, DWORD flags);
BOOL SHDoneButton(HWND window, DWORD state);
BOOL SipShowIM(DWORD flags);
BOOL SipGetInfo(SIPINFO* info);
LRESULT SHNotificationAdd(SHNOTIFICATIONDATA* data);
LRESULT SHNotificationRemove(const void* clsid, DWORD id);
BOOL SHChangeNotifyRegister(HWND window, SHCHANGENOTIFYENTRY* entry);
BOOL SHChangeNotifyDeregister(HWND window);
void SHChangeNotifyFree(FILECHANGENOTIFY* notice);
LONG ChangeDisplaySettingsEx(LPCWSTR device, DEVMODEW* mode, HWND window, DWORD flags, void* param);
HANDLE SetPowerRequirement(LPCWSTR device, int state, ULONG flags, void* system, ULONG reserved);
DWORD ReleasePowerRequirement(HANDLE request);
void SystemIdleTimerReset();
BOOL ShellExecuteEx(SHELLEXECUTEINFO* info);
LONG tapiRequestMakeCallW(LPCWSTR number, LPCWSTR appName, LPCWSTR calledParty, LPCWSTR comment);
// The recorder window, shown at the position over its parent; the record file is created at
// once (a WAV file without samples: nothing records here). Null for a missing or short
// description, no file name, or a file that cannot be created.
HWND VoiceRecorder_Create(void* recorder);

HLOCAL LocalAlloc(UINT flags, size_t bytes);
HLOCAL LocalFree(HLOCAL memory);
size_t LocalSize(HLOCAL memory);
BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
BOOL EmptyClipboard();
HANDLE SetClipboardData(UINT format, HANDLE data);
HANDLE GetClipboardData(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);
}

namespace fvt {

// Class of the shell's notification bubbles.
inline constexpr const WCHAR* kNotificationBubbleClass = u"SHNotificationBubble";

// Shell geometry in screen pixels.
int TaskBarHeight();
int MenuBarHeight();
RECT WorkArea();
bool IsTaskBarShown();
bool IsInputPanelShown();

// Lines such as "ShellExecuteEx open http://x" or "power BKL1: 0 on", in order.
std::vector<std::string> ShellLog();
void ClearShellLog();
// Adds a line to the shell log (dialogs, boxes and menus shown record themselves).
void AppendShellLog(std::string line);
// UTF-8 of a device text, for the log.
std::string LogText(const std::u16string& text);
// The class of the voice recorder's window; a tap on it or Escape or Return closes it.
inline constexpr const WCHAR* kVoiceRecorderClass = u"VoiceRecorder";

// The clipboard's text (empty when none).
std::u16string ClipboardText();
// In a window, the desktop's clipboard takes every text the device's clipboard takes too.
void SetDesktopClipboard(void (*copy)(const std::u16string& text));

// Storage cards inserted and removed at run time, with notices to registered windows.
bool InsertCard(const std::u16string& name);
bool RemoveCard(const std::u16string& name);
// Turns the screen as ChangeDisplaySettingsEx does (0, 90, 180, 270 degrees).
bool RotateScreen(int degrees);

}  // namespace fvt
