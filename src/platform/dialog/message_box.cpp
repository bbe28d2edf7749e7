// Message boxes: a caption, the text and a row of buttons over the work area, in the system's
// language; answered from the queue, or by the user on screen.
#include <errno.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/controls/controls_internal.h"
#include "platform/dialog/answers.h"
#include "platform/dialog/dialog.h"
#include "platform/dialog/dialog_template.h"
#include "platform/kernel/system_time.h"
#include "platform/menu/menu_bar.h"
#include "platform/shell/shell.h"
#include "platform/window/keys.h"

namespace {

using namespace fvt::ctl;

struct Box {
    std::u16string caption;
    std::u16string text;
    std::vector<int> buttons;
    int defaultButton = IDOK;
    size_t focused = 0;  // the button Enter presses, drawn as pressed
    int result = 0;
};

}  // namespace

const char16_t* fvt::StandardButtonText(int id) {
    bool french = (GetSystemDefaultLangID() & 0x3FF) == LANG_FRENCH;
    switch (id) {
        case IDOK:
            return u"OK";
        case IDCANCEL:
            return french ? u"Annuler" : u"Cancel";
        case IDABORT:
            return french ? u"Abandonner" : u"Abort";
        case IDRETRY:
            return french ? u"R\u00E9essayer" : u"Retry";
        case IDIGNORE:
            return french ? u"Ignorer" : u"Ignore";
        case IDYES:
            return french ? u"Oui" : u"Yes";
        default:
            return french ? u"Non" : u"No";
    }
}

namespace {

using fvt::StandardButtonText;

std::vector<int> ButtonsOf(UINT type) {
    switch (type & 0xF) {
        case MB_OKCANCEL:
            return {IDOK, IDCANCEL};
        case MB_ABORTRETRYIGNORE:
            return {IDABORT, IDRETRY, IDIGNORE};
        case MB_YESNOCANCEL:
            return {IDYES, IDNO, IDCANCEL};
        case MB_YESNO:
            return {IDYES, IDNO};
        case MB_RETRYCANCEL:
            return {IDRETRY, IDCANCEL};
        default:
            return {IDOK};
    }
}

RECT ButtonRect(const RECT& client, size_t i, size_t n) {
    int h = Px(22);
    int gap = Px(6);
    int w = (client.right - client.left - gap * static_cast<int>(n + 1)) / static_cast<int>(n);
    int left = client.left + gap + static_cast<int>(i) * (w + gap);
    return RECT{left, client.bottom - h - gap, left + w, client.bottom - gap};
}

// Escape's answer: Cancel, else No, else the only button; a box of other buttons is cancelled.
int CancelAnswer(const Box& box) {
    int answer = box.buttons.size() == 1 ? box.buttons[0] : IDCANCEL;
    for (int b : box.buttons)
        if (b == IDNO) answer = IDNO;
    for (int b : box.buttons)
        if (b == IDCANCEL) answer = IDCANCEL;
    return answer;
}

LRESULT BoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* box = reinterpret_cast<Box*>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
    if (!box) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
        case WM_PAINT: {
            Painter p(hwnd, nullptr);
            if (!p.dc()) return 0;
            RECT r = p.client();
            PaintPanel(p.dc(), r);
            RECT title{r.left + 1, r.top + 1, r.right - 1, r.top + Px(20)};
            Fill(p.dc(), title, RGB(0, 32, 96));
            Text(p.dc(), box->caption, RECT{title.left + Px(4), title.top, title.right, title.bottom},
                 DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS, RGB(255, 255, 255));
            RECT body{r.left + Px(6), title.bottom + Px(6), r.right - Px(6), r.bottom - Px(34)};
            Text(p.dc(), box->text, body, DT_WORDBREAK | DT_EDITCONTROL, RGB(0, 0, 0));
            for (size_t i = 0; i < box->buttons.size(); ++i) {
                RECT b = ButtonRect(r, i, box->buttons.size());
                bool focused = i == box->focused;
                Fill(p.dc(), b, focused ? RGB(0, 0, 0) : RGB(255, 255, 255));
                Frame(p.dc(), b, RGB(0, 0, 0));
                Text(p.dc(), StandardButtonText(box->buttons[i]), b, DT_CENTER | DT_VCENTER | DT_SINGLELINE,
                     focused ? RGB(255, 255, 255) : RGB(0, 0, 0));
            }
            return 0;
        }
        case WM_LBUTTONUP: {
            RECT r;
            GetClientRect(hwnd, &r);
            POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            for (size_t i = 0; i < box->buttons.size(); ++i) {
                RECT b = ButtonRect(r, i, box->buttons.size());
                if (PtInRect(&b, pt)) box->result = box->buttons[i];
            }
            return 0;
        }
        case WM_KEYDOWN: {
            const size_t n = box->buttons.size();
            const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
            switch (wParam) {
                case VK_RETURN:
                case VK_SPACE:
                    box->result = box->buttons[box->focused];
                    break;
                case VK_F1:  // the left soft key: the first button, as on dialogs
                    box->result = box->buttons[0];
                    break;
                case VK_TAB:
                case VK_RIGHT:
                case VK_DOWN:
                case VK_LEFT:
                case VK_UP: {
                    const bool back = wParam == VK_LEFT || wParam == VK_UP ||
                                      (wParam == VK_TAB && shift);
                    box->focused = (box->focused + (back ? n - 1 : 1)) % n;
                    InvalidateRect(hwnd, nullptr, TRUE);
                    break;
                }
                case VK_ESCAPE: {
                    // A box of other buttons (Abort, Retry, Ignore) takes none by Escape.
                    const int answer = CancelAnswer(*box);
                    if (std::find(box->buttons.begin(), box->buttons.end(), answer) !=
                        box->buttons.end())
                        box->result = answer;
                    break;
                }
            }
            return 0;
        }
        case WM_COMMAND: {
            // A button of the box's soft-key bar.
            const int id = LOWORD(wParam);
            if (std::find(box->buttons.begin(), box->buttons.end(), id) != box->buttons.end())
                box->result = id;
            return 0;
        }
        case WM_CLOSE:
            // Closed from outside (the program is asked to end): answered as by Escape.
            box->result = CancelAnswer(*box);
            return 0;
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

// The box's own soft-key bar in front of the window's while it is open: the left key is its first
// button (F1), the right its Cancel (F2) when that is another button; the window's keys would do
// nothing here.
void ShowBoxBar(HWND hwnd, const Box& box) {
    SHMENUBARINFO info{};
    info.cbSize = sizeof(info);
    info.hwndParent = hwnd;
    info.dwFlags = SHCMBF_EMPTYBAR | SHCMBF_HIDDEN;
    if (!SHCreateMenuBar(&info)) return;
    std::vector<int> keys{box.buttons[0]};
    const int cancel = CancelAnswer(box);
    if (cancel != box.buttons[0] &&
        std::find(box.buttons.begin(), box.buttons.end(), cancel) != box.buttons.end())
        keys.push_back(cancel);
    for (size_t i = 0; i < keys.size(); ++i) {
        TBBUTTON button{};
        button.idCommand = keys[i];
        button.fsState = TBSTATE_ENABLED;
        button.fsStyle = TBSTYLE_BUTTON;
        button.iString = reinterpret_cast<INT_PTR>(StandardButtonText(keys[i]));
        SendMessageW(info.hwndMB, TB_INSERTBUTTONW, i, reinterpret_cast<LPARAM>(&button));
    }
    ShowWindow(info.hwndMB, SW_SHOWNA);
}

// One line: the program's name, the caption and the text with its line breaks as spaces.
void PrintUnseenBox(const std::u16string& caption, const std::u16string& text) {
    std::u16string body = text;
    for (char16_t& c : body)
        if (c == u'\r' || c == u'\n' || c == u'\t') c = u' ';
    std::string out = program_invocation_short_name;
    out += ": ";
    if (!caption.empty()) out += fvt::LogText(caption) + ": ";
    out += fvt::LogText(body);
    out += '\n';
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

extern "C" int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    fvt::ctl::RegisterLayerClass(u"FvtMessageBox", BoxProc);
    Box box;
    box.caption = caption ? caption : u"";
    box.text = text ? text : u"";
    box.buttons = ButtonsOf(type);
    size_t def = (type & 0xF00) >> 8;
    box.focused = def < box.buttons.size() ? def : 0;
    box.defaultButton = box.buttons[box.focused];
    RECT work = fvt::WorkArea();
    int margin = Px(8);
    // As tall as the text needs, within the work area.
    RECT measure{0, 0, work.right - work.left - 2 * margin - Px(12), 0};
    {
        FontDC screen(nullptr, nullptr);
        DrawTextW(screen.dc(), box.text.c_str(), static_cast<int>(box.text.size()), &measure,
                  DT_WORDBREAK | DT_EDITCONTROL | DT_CALCRECT | DT_NOPREFIX);
    }
    int h = std::min<int>(Px(20 + 12 + 34) + std::max<int>(measure.bottom, Px(13)),
                          work.bottom - work.top - 2 * margin);
    HWND hwnd = CreateWindowExW(WS_EX_TOPMOST, u"FvtMessageBox", box.caption.c_str(), WS_POPUP,
                                work.left + margin, work.top + (work.bottom - work.top - h) / 2,
                                work.right - work.left - 2 * margin, h, owner, nullptr, nullptr,
                                nullptr);
    if (!hwnd) return 0;
    SetWindowLongPtrW(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(&box));
    // The keys go back where they went once the box is answered.
    HWND previousFocus = GetFocus();
    ShowBoxBar(hwnd, box);
    ShowWindow(hwnd, SW_SHOW);
    SetFocus(hwnd);
    fvt::PushKeyOwner(hwnd);
    std::string line = "MessageBox " + fvt::LogText(box.caption) + ": " + fvt::LogText(box.text);
    const bool answeredOnScreen = fvt::AnswersFromUser();
    fvt::RunAnsweredLoop(owner, [&] { return box.result != 0 || !IsWindow(hwnd); }, [&] {
        UpdateWindow(hwnd);
        fvt::Answer a;
        if (fvt::TakeAnswer(a)) {
            if (a.action) a.action(hwnd);
            if (a.value < 0) return;  // the action did what the user would
            // An answer that is not a button of this box takes the default.
            bool known = std::find(box.buttons.begin(), box.buttons.end(), a.value) != box.buttons.end();
            box.result = known ? a.value : box.defaultButton;
        } else if (!fvt::AnswersFromUser()) {
            box.result = box.defaultButton;
        }
    });
    fvt::PopKeyOwner(hwnd);
    if (IsWindow(hwnd)) {
        SetWindowLongPtrW(hwnd, GWL_USERDATA, 0);
        DestroyWindow(hwnd);
    }
    if (previousFocus && previousFocus != hwnd && IsWindow(previousFocus)) SetFocus(previousFocus);
    if (box.result == 0) box.result = IDCANCEL;
    fvt::AppendShellLog(line + " => " + std::to_string(box.result));
    // Nobody saw it: a person or a script reading standard error still learns what it said.
    if (!answeredOnScreen) PrintUnseenBox(box.caption, box.text);
    return box.result;
}
