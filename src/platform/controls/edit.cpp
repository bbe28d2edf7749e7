// The edit control: one line or several, a caret and a selection, a text limit, one level of
// undo, the clipboard. The text is the window text, so GetWindowTextW reads it directly.
#include <algorithm>

#include "platform/controls/controls_internal.h"
#include "platform/shell/shell.h"
#include "platform/window/keys.h"

namespace fvt::ctl {

namespace {

constexpr size_t kDefaultLimit = 30000;

struct EditState : Common {
    size_t limit = kDefaultLimit;
    size_t anchor = 0;  // the selection runs from anchor to caret
    size_t caret = 0;
    std::u16string undo;
    bool canUndo = false;
};

DWORD Style(HWND hwnd) {
    return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
}

void Select(HWND hwnd, EditState* s, size_t anchor, size_t caret) {
    size_t n = WindowText(hwnd).size();
    s->anchor = std::min(anchor, n);
    s->caret = std::min(caret, n);
    InvalidateRect(hwnd, nullptr, TRUE);
}

// Replaces the selection with `text`, cut to the limit; tells the parent of the change.
void Replace(HWND hwnd, EditState* s, std::u16string text, bool keepUndo) {
    std::u16string all = WindowText(hwnd);
    size_t from = std::min({s->anchor, s->caret, all.size()});
    size_t to = std::min(std::max(s->anchor, s->caret), all.size());
    if (!(Style(hwnd) & ES_MULTILINE)) {
        // One line: a pasted line break ends the text.
        size_t stop = text.find_first_of(u"\r\n");
        if (stop != std::u16string::npos) text.resize(stop);
    }
    size_t room = s->limit > all.size() - (to - from) ? s->limit - (all.size() - (to - from)) : 0;
    bool cut = text.size() > room;
    if (cut) text.resize(room);
    if (text.empty() && from == to) {
        if (cut) Command(hwnd, EN_MAXTEXT);
        return;
    }
    if (keepUndo) {
        s->undo = all;
        s->canUndo = true;
    }
    all.replace(from, to - from, text);
    SetWindowTextW(hwnd, all.c_str());
    s->anchor = s->caret = from + text.size();
    InvalidateRect(hwnd, nullptr, TRUE);
    if (cut) Command(hwnd, EN_MAXTEXT);
    Command(hwnd, EN_UPDATE);
    Command(hwnd, EN_CHANGE);
}

void Paint(HWND hwnd, EditState* s) {
    Painter p(hwnd, s->font);
    if (!p.dc()) return;
    HWND parent = GetParent(hwnd);
    SetTextColor(p.dc(), RGB(0, 0, 0));
    bool readOnly = (Style(hwnd) & ES_READONLY) != 0;
    UINT ask = readOnly ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT;
    auto brush = parent ? reinterpret_cast<HBRUSH>(SendMessageW(
                              parent, ask, reinterpret_cast<WPARAM>(p.dc()),
                              reinterpret_cast<LPARAM>(hwnd)))
                        : nullptr;
    COLORREF ink = GetTextColor(p.dc());
    RECT r = p.client();
    if (brush)
        FillRect(p.dc(), &r, brush);
    else
        Fill(p.dc(), r, RGB(255, 255, 255));
    if (Style(hwnd) & WS_BORDER) Frame(p.dc(), r, RGB(0, 0, 0));
    std::u16string text = WindowText(hwnd);
    if (Style(hwnd) & ES_PASSWORD) text.assign(text.size(), u'*');
    RECT t{r.left + Px(2), r.top + Px(1), r.right - Px(2), r.bottom};
    bool multi = (Style(hwnd) & ES_MULTILINE) != 0;
    size_t from = std::min(s->anchor, s->caret), to = std::max(s->anchor, s->caret);
    if (multi) {
        Text(p.dc(), text, t, DT_WORDBREAK, ink);
        return;
    }
    // One line: scrolled so that the caret shows.
    int caretX = TextWidth(p.dc(), text.substr(0, s->caret));
    int width = t.right - t.left;
    int shift = caretX > width - Px(2) ? caretX - width + Px(2) : 0;
    RECT line{t.left - shift, t.top, t.right, t.bottom};
    if (from < to) {
        int a = TextWidth(p.dc(), text.substr(0, from)), b = TextWidth(p.dc(), text.substr(0, to));
        Fill(p.dc(), RECT{line.left + a, t.top, line.left + b, t.top + LineHeight(p.dc())},
             RGB(0, 0, 128));
        Text(p.dc(), text.substr(0, from), line, DT_SINGLELINE, ink);
        RECT mid{line.left + a, t.top, t.right, t.bottom};
        Text(p.dc(), text.substr(from, to - from), mid, DT_SINGLELINE, RGB(255, 255, 255));
        RECT rest{line.left + b, t.top, t.right, t.bottom};
        Text(p.dc(), text.substr(to), rest, DT_SINGLELINE, ink);
    } else {
        Text(p.dc(), text, line, DT_SINGLELINE, ink);
    }
    if (GetFocus() == hwnd && !readOnly) {
        int x = line.left + caretX;
        Fill(p.dc(), RECT{x, t.top, x + 1, t.top + LineHeight(p.dc())}, RGB(0, 0, 0));
    }
}

bool Key(HWND hwnd, EditState* s, WPARAM vk) {
    size_t n = WindowText(hwnd).size();
    bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    auto move = [&](size_t to) {
        Select(hwnd, s, shift ? s->anchor : to, to);
        return true;
    };
    switch (vk) {
        case VK_LEFT:
            if (!shift && s->anchor != s->caret) return move(std::min(s->anchor, s->caret));
            return move(s->caret > 0 ? s->caret - 1 : 0);
        case VK_RIGHT:
            if (!shift && s->anchor != s->caret) return move(std::max(s->anchor, s->caret));
            return move(std::min(s->caret + 1, n));
        case VK_HOME:
            return move(0);
        case VK_END:
            return move(n);
        case VK_DELETE:
            if (Style(hwnd) & ES_READONLY) return true;
            if (s->anchor == s->caret) {
                if (s->caret >= n) return true;
                s->anchor = s->caret + 1;
            }
            Replace(hwnd, s, u"", true);
            return true;
        default:
            return false;
    }
}

void Char(HWND hwnd, EditState* s, WCHAR c) {
    DWORD style = Style(hwnd);
    // Ctrl+C, Ctrl+X, Ctrl+V and Ctrl+Z, as the edit's own messages.
    if (c == 3 || c == 22 || c == 24 || c == 26) {
        if (c == 26 && (style & ES_READONLY)) return;
        const UINT message = c == 3 ? WM_COPY : c == 22 ? WM_PASTE : c == 24 ? WM_CUT : EM_UNDO;
        SendMessageW(hwnd, message, 0, 0);
        return;
    }
    if (style & ES_READONLY) return;
    if (c == VK_BACK) {
        if (s->anchor == s->caret) {
            if (s->caret == 0) return;
            s->anchor = s->caret - 1;
        }
        Replace(hwnd, s, u"", true);
        return;
    }
    if (c == u'\r' || c == u'\n') {
        if ((style & ES_MULTILINE) && (style & ES_WANTRETURN)) Replace(hwnd, s, u"\r\n", true);
        return;
    }
    if (c == 1) {  // Ctrl+A: all of it
        Select(hwnd, s, 0, WindowText(hwnd).size());
        return;
    }
    if (c < 0x20) return;
    if ((style & ES_NUMBER) && (c < u'0' || c > u'9')) return;
    if (style & ES_UPPERCASE && c >= u'a' && c <= u'z') c = static_cast<WCHAR>(c - 32);
    if (style & ES_LOWERCASE && c >= u'A' && c <= u'Z') c = static_cast<WCHAR>(c + 32);
    Replace(hwnd, s, std::u16string(1, c), true);
}

}  // namespace

LRESULT EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* s = State<EditState>(hwnd);
    LRESULT out = 0;
    if (CommonMessage(hwnd, msg, wParam, lParam, s, out)) return out;
    if (msg == WM_CREATE) {
        s->anchor = s->caret = WindowText(hwnd).size();
        return 0;
    }
    if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
        case WM_SETTEXT: {
            // A set text is cut to the limit and leaves no undo; it reports a change.
            LPCWSTR text = reinterpret_cast<LPCWSTR>(lParam);
            std::u16string t = text ? text : u"";
            if (t.size() > s->limit) t.resize(s->limit);
            SetWindowTextW(hwnd, t.c_str());
            s->anchor = s->caret = 0;
            s->canUndo = false;
            InvalidateRect(hwnd, nullptr, TRUE);
            Command(hwnd, EN_CHANGE);
            return TRUE;
        }
        case EM_GETSEL: {
            auto from = static_cast<DWORD>(std::min(s->anchor, s->caret));
            auto to = static_cast<DWORD>(std::max(s->anchor, s->caret));
            if (wParam) *reinterpret_cast<DWORD*>(wParam) = from;
            if (lParam) *reinterpret_cast<DWORD*>(lParam) = to;
            return MAKELONG(static_cast<WORD>(std::min<DWORD>(from, 0xFFFF)),
                            static_cast<WORD>(std::min<DWORD>(to, 0xFFFF)));
        }
        case EM_SETSEL: {
            // -1 as the start removes the selection; -1 as the end selects to the end.
            size_t n = WindowText(hwnd).size();
            auto start = static_cast<LONG_PTR>(static_cast<int>(wParam));
            auto end = static_cast<LONG_PTR>(static_cast<int>(lParam));
            if (start < 0) {
                Select(hwnd, s, s->caret, s->caret);
                return 0;
            }
            size_t a = static_cast<size_t>(start);
            size_t b = end < 0 ? n : static_cast<size_t>(end);
            Select(hwnd, s, a, b);
            return 0;
        }
        case EM_REPLACESEL: {
            LPCWSTR text = reinterpret_cast<LPCWSTR>(lParam);
            Replace(hwnd, s, text ? text : u"", wParam != 0);
            return 0;
        }
        case EM_LIMITTEXT:
            s->limit = wParam == 0 ? 0x7FFFFFFE : static_cast<size_t>(wParam);
            return 0;
        case EM_GETLIMITTEXT:
            return static_cast<LRESULT>(s->limit);
        case EM_CANUNDO:
            return s->canUndo;
        case EM_UNDO: {
            if (!s->canUndo) return FALSE;
            std::u16string now = WindowText(hwnd);
            SetWindowTextW(hwnd, s->undo.c_str());
            s->undo = now;
            s->anchor = s->caret = WindowText(hwnd).size();
            InvalidateRect(hwnd, nullptr, TRUE);
            Command(hwnd, EN_CHANGE);
            return TRUE;
        }
        case EM_EMPTYUNDOBUFFER:
            s->canUndo = false;
            return 0;
        case EM_SETREADONLY: {
            DWORD style = Style(hwnd);
            style = wParam ? (style | ES_READONLY) : (style & ~ES_READONLY);
            SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(style));
            InvalidateRect(hwnd, nullptr, TRUE);
            return TRUE;
        }
        case EM_GETLINECOUNT: {
            std::u16string t = WindowText(hwnd);
            return 1 + std::count(t.begin(), t.end(), u'\n');
        }
        case WM_CHAR:
            Char(hwnd, s, static_cast<WCHAR>(wParam));
            return 0;
        case WM_KEYDOWN:
            if (Key(hwnd, s, wParam)) return 0;
            return DefWindowProcW(hwnd, msg, wParam, lParam);
        case WM_PASTE: {
            if (Style(hwnd) & ES_READONLY) return 0;
            std::u16string text = fvt::ClipboardText();
            if (!text.empty()) Replace(hwnd, s, text, true);
            return 0;
        }
        case WM_CLEAR:
        case WM_CUT:
        case WM_COPY: {
            size_t from = std::min(s->anchor, s->caret), to = std::max(s->anchor, s->caret);
            if (from == to) return 0;
            if (msg != WM_CLEAR && OpenClipboard(hwnd)) {
                std::u16string part = WindowText(hwnd).substr(from, to - from);
                HLOCAL block = LocalAlloc(LMEM_FIXED, (part.size() + 1) * sizeof(WCHAR));
                if (block) {
                    auto* out = static_cast<WCHAR*>(block);
                    std::copy(part.begin(), part.end(), out);
                    out[part.size()] = 0;
                    EmptyClipboard();
                    if (!SetClipboardData(CF_UNICODETEXT, block)) LocalFree(block);
                }
                CloseClipboard();
            }
            if (msg != WM_COPY && !(Style(hwnd) & ES_READONLY)) Replace(hwnd, s, u"", true);
            return 0;
        }
        case WM_SETFOCUS:
            InvalidateRect(hwnd, nullptr, TRUE);
            Command(hwnd, EN_SETFOCUS);
            return 0;
        case WM_KILLFOCUS:
            InvalidateRect(hwnd, nullptr, TRUE);
            Command(hwnd, EN_KILLFOCUS);
            return 0;
        case WM_LBUTTONDOWN: {
            SetFocus(hwnd);
            // The caret goes to the character nearest the pen (one line).
            FontDC measure(hwnd, s->font);
            std::u16string text = WindowText(hwnd);
            int x = GET_X_LPARAM(lParam) - Px(2);
            size_t at = 0;
            while (at < text.size() && TextWidth(measure.dc(), text.substr(0, at + 1)) <= x) ++at;
            Select(hwnd, s, at, at);
            return 0;
        }
        case WM_PAINT:
            Paint(hwnd, s);
            return 0;
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace fvt::ctl
