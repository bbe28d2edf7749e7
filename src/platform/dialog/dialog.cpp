// The dialog manager: templates to windows, the dialog procedure's contract, dialog items and
// keys, modal dialogs on the answer queue, and SHInitDialog.
#include "platform/dialog/dialog.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/controls/controls_internal.h"
#include "platform/dialog/answers.h"
#include "platform/dialog/dialog_template.h"
#include "platform/kernel/device.h"
#include "platform/kernel/system_info.h"
#include "platform/last_error.h"
#include "platform/menu/menu.h"
#include "platform/menu/resource_blob.h"
#include "platform/shell/shell.h"
#include "platform/window/keys.h"

namespace fvt {

namespace {

constexpr const WCHAR* kDialogClass = u"Dialog";

void Put16(std::vector<BYTE>& d, unsigned v) {
    d.push_back(static_cast<BYTE>(v & 0xFF));
    d.push_back(static_cast<BYTE>((v >> 8) & 0xFF));
}
void Put32(std::vector<BYTE>& d, DWORD v) {
    Put16(d, v & 0xFFFF);
    Put16(d, v >> 16);
}
void PutText(std::vector<BYTE>& d, const std::u16string& t) {
    Put16(d, static_cast<unsigned>(std::min<size_t>(t.size(), 0xFFFE)));
    for (size_t i = 0; i < t.size() && i < 0xFFFE; ++i) Put16(d, t[i]);
}

// What the manager keeps per dialog beside its extra bytes.
struct DialogInfo {
    HFONT font = nullptr;  // made from the template; deleted with the dialog
    bool modal = false;
    bool ended = false;
    INT_PTR result = 0;
    HWND focus = nullptr;  // the control that had the focus when the dialog lost it
};

std::mutex& InfoLock() {
    static std::mutex* m = new std::mutex;
    return *m;
}
std::map<HWND, DialogInfo>& Infos() {
    static auto* m = new std::map<HWND, DialogInfo>;
    return *m;
}

bool WithInfo(HWND dialog, const std::function<void(DialogInfo&)>& f) {
    std::lock_guard<std::mutex> l(InfoLock());
    auto it = Infos().find(dialog);
    if (it == Infos().end()) return false;
    f(it->second);
    return true;
}

DLGPROC ProcOf(HWND dialog) {
    return reinterpret_cast<DLGPROC>(GetWindowLongPtrW(dialog, DWL_DLGPROC));
}

// Messages whose answer is the dialog procedure's own return value, not DWL_MSGRESULT.
bool ReturnsDirectly(UINT msg) {
    return msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORBTN ||
           msg == WM_CTLCOLORLISTBOX || msg == WM_INITDIALOG || msg == WM_GETDLGCODE;
}

bool IsTabStop(HWND h) {
    DWORD style = static_cast<DWORD>(GetWindowLongW(h, GWL_STYLE));
    return (style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED);
}

// The dialog's children in creation order (the z-order runs the other way).
std::vector<HWND> Items(HWND dialog) {
    std::vector<HWND> out;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        out.insert(out.begin(), c);
    return out;
}

HWND FirstTabStop(HWND dialog) {
    for (HWND h : Items(dialog))
        if (IsTabStop(h)) return h;
    return nullptr;
}

bool IsClass(HWND hwnd, const std::u16string& lower) {
    WCHAR cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    std::u16string name(cls);
    for (auto& c : name)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    return name == lower;
}

// The dialog gives a control the focus; a one-line edit field then has its text selected, so
// that what is typed replaces it.
void FocusControl(HWND control) {
    SetFocus(control);
    if (IsClass(control, u"edit") && !(GetWindowLongW(control, GWL_STYLE) & ES_MULTILINE))
        SendMessageW(control, EM_SETSEL, 0, static_cast<LPARAM>(-1));
}

// A multi-line edit that takes Enter keeps it; a control that asks for every key (a list's
// label edit) keeps Enter, Escape and Tab.
bool WantsKey(const MSG& msg) {
    if (SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam, 0) & DLGC_WANTALLKEYS) return true;
    DWORD style = static_cast<DWORD>(GetWindowLongW(msg.hwnd, GWL_STYLE));
    return msg.wParam == VK_RETURN && IsClass(msg.hwnd, u"edit") && (style & ES_MULTILINE) &&
           (style & ES_WANTRETURN);
}

bool IsArrow(WPARAM vk) {
    return vk == VK_UP || vk == VK_DOWN || vk == VK_LEFT || vk == VK_RIGHT;
}

// Buttons and check boxes: the arrows move between the dialog's controls from them.
bool IsButtonControl(HWND hwnd) {
    return IsClass(hwnd, u"button");
}

LRESULT DialogWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    DLGPROC proc = ProcOf(hwnd);
    if (proc) {
        SetWindowLongPtrW(hwnd, DWL_MSGRESULT, 0);
        INT_PTR r = proc(hwnd, msg, wParam, lParam);
        if (!IsWindow(hwnd)) return r;
        if (ReturnsDirectly(msg)) {
            if (r) return r;
        } else if (r) {
            return GetWindowLongPtrW(hwnd, DWL_MSGRESULT);
        }
    }
    return DefDlgProcW(hwnd, msg, wParam, lParam);
}

void RegisterDialogClass() {
    static std::once_flag once;
    std::call_once(once, [] {
        ctl::RegisterLayerClass(kDialogClass, DialogWindowProc, DLGWINDOWEXTRA);
    });
}

HWND Create(LPCDLGTEMPLATEW dialogTemplate, HWND owner, DLGPROC proc, LPARAM param, bool modal) {
    RegisterControlClasses();
    RegisterDialogClass();
    DialogTemplate t;
    if (!dialogTemplate || !ParseDialogTemplate(dialogTemplate, t))
        return Fail(ERROR_INVALID_PARAMETER, HWND{nullptr});
    auto px = [](int v, bool vertical) { return DialogUnitsToPixels(v, vertical); };
    DWORD style = t.style & ~WS_VISIBLE;
    HWND dialog = CreateWindowExW(t.exStyle, kDialogClass, t.caption.c_str(), style, px(t.x, false),
                                  px(t.y, true), px(t.cx, false), px(t.cy, true), owner, nullptr,
                                  nullptr, nullptr);
    if (!dialog) return nullptr;
    LOGFONTW lf{};
    lf.lfHeight = -((t.pointSize ? t.pointSize : 8) * fvt::Profile().dpi / 72);
    lf.lfWeight = 400;
    std::u16string face = t.face.empty() ? u"Tahoma" : t.face;
    std::memcpy(lf.lfFaceName, face.c_str(), std::min<size_t>(face.size(), 31) * sizeof(WCHAR));
    HFONT font = CreateFontIndirectW(&lf);
    {
        std::lock_guard<std::mutex> l(InfoLock());
        DialogInfo info;
        info.font = font;
        info.modal = modal;
        Infos()[dialog] = info;
    }
    SetWindowLongPtrW(dialog, DWL_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
    // Templates place their controls from x = 0; an inset keeps text off the screen's edge.
    const int inset = DialogEdgeInset();
    for (const DialogItemTemplate& item : t.items) {
        HWND control = CreateWindowExW(
            item.exStyle, item.className.c_str(), item.text.c_str(), item.style | WS_CHILD,
            px(item.x, false) + inset, px(item.y, true), px(item.cx, false), px(item.cy, true), dialog,
            reinterpret_cast<void*>(static_cast<UINT_PTR>(item.id)), nullptr, nullptr);
        if (!control) {
            DestroyWindow(dialog);
            return Fail(ERROR_INVALID_PARAMETER, HWND{nullptr});
        }
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
    }
    HWND first = FirstTabStop(dialog);
    LRESULT focusFirst = SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
    if (!IsWindow(dialog)) return nullptr;
    // A modal dialog is always shown; a modeless one as its template says.
    if (modal || (t.style & WS_VISIBLE)) ShowWindow(dialog, SW_SHOW);
    if (focusFirst && first && IsWindow(first)) FocusControl(first);
    return dialog;
}

}  // namespace

bool FocusInModelessDialog() {
    HWND dialog = GetFocus();
    while (dialog && (GetWindowLongW(dialog, GWL_STYLE) & WS_CHILD)) dialog = GetParent(dialog);
    bool modeless = false;
    if (!WithInfo(dialog, [&](DialogInfo& i) { modeless = !i.modal && !i.ended; })) return false;
    return modeless && IsWindowVisible(dialog);
}

bool FocusInListEdit() {
    HWND focus = GetFocus();
    HWND list = focus ? GetParent(focus) : nullptr;
    if (!list || !IsClass(list, u"syslistview32")) return false;
    return reinterpret_cast<HWND>(SendMessageW(list, LVM_GETEDITCONTROL, 0, 0)) == focus;
}

bool TakeModelessDialogKey(MSG& msg) {
    if (msg.message != WM_KEYDOWN) return false;
    if (msg.wParam != VK_RETURN && msg.wParam != VK_ESCAPE && msg.wParam != VK_TAB) return false;
    HWND dialog = msg.hwnd;
    while (dialog && (GetWindowLongW(dialog, GWL_STYLE) & WS_CHILD)) dialog = GetParent(dialog);
    bool modeless = false;
    if (!WithInfo(dialog, [&](DialogInfo& i) { modeless = !i.modal && !i.ended; })) return false;
    if (!modeless || !IsWindowVisible(dialog) || WantsKey(msg)) return false;
    return IsDialogMessageW(dialog, &msg) != FALSE;
}

int DialogEdgeInset() { return 6 * fvt::Profile().dpi / 96; }

std::vector<std::string> DialogLayoutProblems(HWND dialog) {
    // A pop-up menu is checked as menus are laid out.
    if (IsClass(dialog, u"fvtpopupmenu")) return PopupMenuLayoutProblems(dialog);
    std::vector<std::string> problems;
    struct Shown {
        HWND window;
        RECT rect;
        int id;
    };
    std::vector<Shown> shown;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (!IsWindowVisible(c)) continue;
        RECT r{};
        GetWindowRect(c, &r);
        if (r.right <= r.left || r.bottom <= r.top) continue;
        const int id = static_cast<int>(GetWindowLongW(c, GWL_ID));
        if (ControlTextOverflows(c))
            problems.push_back("the text of control " + std::to_string(id) + " does not fit");
        // A group box frames other controls by design (its class found whatever its spelling).
        const bool group = IsClass(c, u"button") &&
                           (GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
        if (!group) shown.push_back(Shown{c, r, id});
    }
    for (size_t i = 0; i < shown.size(); ++i) {
        for (size_t j = i + 1; j < shown.size(); ++j) {
            RECT both{};
            if (!IntersectRect(&both, &shown[i].rect, &shown[j].rect)) continue;
            const int a = std::min(shown[i].id, shown[j].id), b = std::max(shown[i].id, shown[j].id);
            problems.push_back("controls " + std::to_string(a) + " and " + std::to_string(b) +
                               " overlap");
        }
    }
    return problems;
}

int DialogUnitsToPixels(int units, bool vertical) {
    // A plain ratio in place of the font's average character: 95 units span the narrow screen.
    int dpi = fvt::Profile().dpi;
    return vertical ? units * 3 * dpi / (2 * 96) : units * 12 * dpi / (5 * 96);
}

bool ParseDialogTemplate(const void* data, DialogTemplate& out) {
    auto* bytes = static_cast<const BYTE*>(data);
    ResourceReader head(bytes, 8);
    if (head.U32() != kDialogTemplateMagic) return false;
    DWORD size = head.U32();
    if (!head.ok() || size < 8 || size > (1u << 20)) return false;
    ResourceReader in(bytes, size);
    in.U32();
    in.U32();
    out = DialogTemplate{};
    out.style = in.U32();
    out.exStyle = in.U32();
    out.x = in.I16();
    out.y = in.I16();
    out.cx = in.I16();
    out.cy = in.I16();
    out.pointSize = in.U16();
    out.face = in.Text();
    out.caption = in.Text();
    WORD count = in.U16();
    for (WORD i = 0; i < count && in.ok(); ++i) {
        DialogItemTemplate item;
        item.style = in.U32();
        item.exStyle = in.U32();
        item.x = in.I16();
        item.y = in.I16();
        item.cx = in.I16();
        item.cy = in.I16();
        item.id = in.U16();
        item.className = in.Text();
        item.text = in.Text();
        if (item.className.empty()) return false;
        out.items.push_back(std::move(item));
    }
    return in.ok() && in.AtEnd();
}

std::vector<BYTE> BuildDialogTemplate(const DialogTemplate& t) {
    std::vector<BYTE> d;
    Put32(d, kDialogTemplateMagic);
    Put32(d, 0);  // the size, filled in below
    Put32(d, t.style);
    Put32(d, t.exStyle);
    for (short v : {t.x, t.y, t.cx, t.cy}) Put16(d, static_cast<WORD>(v));
    Put16(d, t.pointSize);
    PutText(d, t.face);
    PutText(d, t.caption);
    Put16(d, static_cast<unsigned>(t.items.size()));
    for (const DialogItemTemplate& item : t.items) {
        Put32(d, item.style);
        Put32(d, item.exStyle);
        for (short v : {item.x, item.y, item.cx, item.cy}) Put16(d, static_cast<WORD>(v));
        Put16(d, item.id);
        PutText(d, item.className);
        PutText(d, item.text);
    }
    auto size = static_cast<DWORD>(d.size());
    for (int i = 0; i < 4; ++i) d[4 + static_cast<size_t>(i)] = static_cast<BYTE>(size >> (8 * i));
    return d;
}

}  // namespace fvt

using namespace fvt;

extern "C" {

HWND CreateDialogIndirectParamW(HINSTANCE, LPCDLGTEMPLATEW dialogTemplate, HWND owner,
                                DLGPROC proc, LPARAM param) {
    return Create(dialogTemplate, owner, proc, param, false);
}

INT_PTR DialogBoxIndirectParamW(HINSTANCE, LPCDLGTEMPLATEW dialogTemplate, HWND owner,
                                DLGPROC proc, LPARAM param) {
    HWND dialog = Create(dialogTemplate, owner, proc, param, true);
    if (!dialog) return -1;
    WCHAR caption[64] = {};
    GetWindowTextW(dialog, caption, 64);
    AppendShellLog("dialog " + LogText(caption));
    auto ended = [&] {
        bool done = true;
        WithInfo(dialog, [&](DialogInfo& i) { done = i.ended; });
        return done || !IsWindow(dialog);
    };
    int idleRounds = 0;
    PushKeyOwner(dialog);
    RunAnsweredLoop(
        owner, ended,
        [&] {
            UpdateWindow(dialog);
            Answer a;
            if (TakeAnswer(a)) {
                if (a.action) a.action(dialog);
                if (a.value >= 0 && IsWindow(dialog))
                    SendMessageW(dialog, WM_COMMAND, static_cast<WPARAM>(a.value ? a.value : IDOK),
                                 0);
                return;
            }
            if (AnswersFromSource() || AnswersFromUser()) return;
            // Nobody answers: Cancel, and if the dialog refuses even that, it is ended.
            if (idleRounds++ == 0)
                SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            else
                EndDialog(dialog, IDCANCEL);
        },
        [&](MSG& msg) {
            // Enter, Escape and Tab are the dialog's while it runs modally; so are the arrows on a
            // control that has no use for them (a button or a check box).
            bool dialogKey = msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE ||
                             msg.wParam == VK_TAB ||
                             (IsArrow(msg.wParam) && IsButtonControl(msg.hwnd));
            if (!dialogKey || WantsKey(msg) || (msg.hwnd != dialog && !IsChild(dialog, msg.hwnd)))
                return false;
            MSG taken = msg;
            IsDialogMessageW(dialog, &taken);
            return true;
        });
    PopKeyOwner(dialog);
    INT_PTR result = 0;
    if (IsWindow(dialog)) {
        WithInfo(dialog, [&](DialogInfo& i) { result = i.result; });
        DestroyWindow(dialog);
    }
    AppendShellLog("dialog " + LogText(caption) + " => " + std::to_string(result));
    return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    bool modal = false;
    if (!WithInfo(dialog, [&](DialogInfo& i) {
            i.ended = true;
            i.result = result;
            modal = i.modal;
        }))
        return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    if (!modal) ShowWindow(dialog, SW_HIDE);
    // A modal loop waiting for its next message sees the end at once: ended from a message
    // another thread or process sent (a second start closing the reader), nothing else comes.
    else
        PostMessageW(dialog, WM_NULL, 0, 0);
    return TRUE;
}

LRESULT DefDlgProcW(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_ERASEBKGND: {
            RECT r;
            GetClientRect(dialog, &r);
            ctl::Fill(reinterpret_cast<HDC>(wParam), r, RGB(255, 255, 255));
            return 1;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(dialog, &ps);
            if (dc) {
                RECT r;
                GetClientRect(dialog, &r);
                ctl::Fill(dc, r, RGB(255, 255, 255));
                EndPaint(dialog, &ps);
            }
            return 0;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORLISTBOX:
            SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
            return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
        case WM_GETFONT: {
            HFONT font = nullptr;
            WithInfo(dialog, [&](DialogInfo& i) { font = i.font; });
            return reinterpret_cast<LRESULT>(font);
        }
        case WM_NEXTDLGCTL: {
            HWND target = LOWORD(static_cast<DWORD_PTR>(lParam))
                              ? reinterpret_cast<HWND>(wParam)
                              : GetNextDlgTabItem(dialog, GetFocus(), wParam != 0);
            if (target) FocusControl(target);
            return 0;
        }
        case WM_SETFOCUS: {
            HWND back = nullptr;
            WithInfo(dialog, [&](DialogInfo& i) { back = i.focus; });
            if (!back || !IsWindow(back) || !IsChild(dialog, back)) back = FirstTabStop(dialog);
            if (back) SetFocus(back);
            return 0;
        }
        case WM_KILLFOCUS: {
            HWND now = reinterpret_cast<HWND>(wParam);
            (void)now;
            return 0;
        }
        case WM_CLOSE:
            SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            return 0;
        case WM_DESTROY: {
            HFONT font = nullptr;
            {
                std::lock_guard<std::mutex> l(InfoLock());
                auto it = Infos().find(dialog);
                if (it != Infos().end()) {
                    font = it->second.font;
                    it->second.ended = true;
                }
            }
            // The font outlives the controls' last paint: it goes when the entry does.
            if (font) DeleteObject(font);
            std::lock_guard<std::mutex> l(InfoLock());
            Infos().erase(dialog);
            return 0;
        }
        default:
            return DefWindowProcW(dialog, msg, wParam, lParam);
    }
}

BOOL IsDialogMessageW(HWND dialog, MSG* msg) {
    if (!msg || !dialog || !IsWindow(dialog)) return FALSE;
    if (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd)) return FALSE;
    if (msg->message == WM_KEYDOWN) {
        switch (msg->wParam) {
            case VK_TAB:
                SendMessageW(dialog, WM_NEXTDLGCTL, (GetKeyState(VK_SHIFT) & 0x8000) ? 1 : 0, 0);
                return TRUE;
            case VK_RETURN:
                if (WantsKey(*msg)) break;
                SendMessageW(dialog, WM_COMMAND, IDOK, 0);
                return TRUE;
            case VK_ESCAPE:
                SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                return TRUE;
            case VK_UP:
            case VK_DOWN:
            case VK_LEFT:
            case VK_RIGHT:
                if (!IsButtonControl(msg->hwnd)) break;
                SendMessageW(dialog, WM_NEXTDLGCTL, msg->wParam == VK_UP || msg->wParam == VK_LEFT,
                             0);
                return TRUE;
            default:
                break;
        }
    }
    TranslateMessage(msg);
    DispatchMessageW(msg);
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int id) {
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (static_cast<int>(GetWindowLongPtrW(c, GWL_ID)) == id) return c;
    return Fail(ERROR_CONTROL_ID_NOT_FOUND, HWND{nullptr});
}

int GetDlgCtrlID(HWND control) {
    return static_cast<int>(GetWindowLongPtrW(control, GWL_ID));
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text) {
    HWND item = GetDlgItem(dialog, id);
    if (!item) return FALSE;
    SendMessageW(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : u""));
    return TRUE;
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int size) {
    HWND item = GetDlgItem(dialog, id);
    if (!item) {
        if (buffer && size > 0) buffer[0] = 0;
        return 0;
    }
    return static_cast<UINT>(GetWindowTextW(item, buffer, size));
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
    std::string digits = isSigned ? std::to_string(static_cast<int>(value)) : std::to_string(value);
    std::u16string text(digits.begin(), digits.end());
    return SetDlgItemTextW(dialog, id, text.c_str());
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
    if (translated) *translated = FALSE;
    HWND item = GetDlgItem(dialog, id);
    if (!item) return 0;
    std::u16string t = ctl::WindowText(item);
    size_t i = 0;
    while (i < t.size() && t[i] == u' ') ++i;
    bool negative = false;
    if (isSigned && i < t.size() && t[i] == u'-') {
        negative = true;
        ++i;
    }
    long long v = 0;
    size_t digits = 0;
    for (; i < t.size() && t[i] >= u'0' && t[i] <= u'9'; ++i, ++digits) {
        v = v * 10 + (t[i] - u'0');
        if (v > 0xFFFFFFFFLL) return 0;
    }
    while (i < t.size() && t[i] == u' ') ++i;
    if (digits == 0 || i != t.size()) return 0;
    if (negative) v = -v;
    if (isSigned ? (v < INT32_MIN || v > INT32_MAX) : v > 0xFFFFFFFFLL) return 0;
    if (translated) *translated = TRUE;
    return static_cast<UINT>(v);
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND item = GetDlgItem(dialog, id);
    return item ? SendMessageW(item, message, wParam, lParam) : 0;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
    HWND item = GetDlgItem(dialog, id);
    if (!item) return FALSE;
    SendMessageW(item, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
    return static_cast<UINT>(SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0));
}

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
    std::vector<HWND> items = Items(dialog);
    std::vector<HWND> stops;
    for (HWND h : items)
        if (IsTabStop(h)) stops.push_back(h);
    if (stops.empty()) return control;
    auto it = std::find(stops.begin(), stops.end(), control);
    if (it == stops.end()) return previous ? stops.back() : stops.front();
    size_t i = static_cast<size_t>(it - stops.begin());
    return previous ? stops[(i + stops.size() - 1) % stops.size()] : stops[(i + 1) % stops.size()];
}

BOOL MapDialogRect(HWND, RECT* rect) {
    if (!rect) return FALSE;
    rect->left = DialogUnitsToPixels(rect->left, false);
    rect->right = DialogUnitsToPixels(rect->right, false);
    rect->top = DialogUnitsToPixels(rect->top, true);
    rect->bottom = DialogUnitsToPixels(rect->bottom, true);
    return TRUE;
}

LONG GetDialogBaseUnits() {
    return MAKELONG(static_cast<WORD>(DialogUnitsToPixels(4, false)),
                    static_cast<WORD>(DialogUnitsToPixels(8, true)));
}

BOOL SHInitDialog(SHINITDLGINFO* info) {
    if (!info || !IsWindow(info->hDlg)) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (!(info->dwMask & SHIDIM_FLAGS)) return TRUE;
    if (info->dwFlags & (SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIZEDLG)) {
        // The work area: under the task bar, above the menu bar (full screen: down to the
        // bottom when there is no menu bar).
        RECT r = fvt::WorkArea();
        if (info->dwFlags & SHIDIF_FULLSCREENNOMENUBAR) r.bottom += fvt::MenuBarHeight();
        MoveWindow(info->hDlg, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    }
    if (info->dwFlags & SHIDIF_SIPDOWN) SipShowIM(SIPF_OFF);
    return TRUE;
}

}  // extern "C"
