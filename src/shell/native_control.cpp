#include "shell/native_control.h"

#include <string>

#include "core/platform_helpers.h"
#include "graphics/core/display_surface.h"
#include "graphics/core/graphics_context.h"
#include "graphics/core/node.h"
#include "platform/controls/controls.h"
#include "platform/gdi.h"
#include "platform/window/keys.h"
#include "reader/reader_settings.h"

namespace {
constexpr DWORD kEditStyle = 0x50810080;
constexpr DWORD kComboStyle = 0x50000003;
constexpr DWORD kStaticStyle = 0x50000000;
constexpr WPARAM kCtrlF = 6;

// A font by face name (at most 31 characters) and size (the height is -size).
HFONT FontByName(const Text* face, int32_t size) {
    LOGFONTW lf{};
    lf.lfHeight = -size;
    lf.lfWeight = 400;
    lf.lfCharSet = DEFAULT_CHARSET;
    const char16_t* wide = face ? face->WideCStr() : nullptr;
    for (int i = 0; wide && i < 31 && wide[i]; ++i) lf.lfFaceName[i] = wide[i];
    return CreateFontIndirectW(&lf);
}
}  // namespace

bool NativeControl::Create(Node* owner, int kind, const RECT& r, HWND parent, int id) {
    const WCHAR* className = nullptr;
    DWORD style = 0;
    switch (kind) {
        case kEdit: className = u"EDIT"; style = kEditStyle; break;
        case kComboBox: className = u"COMBOBOX"; style = kComboStyle; break;
        case kStatic: className = u"STATIC"; style = kStaticStyle; break;
        default: return false;
    }
    Release();
    owner_ = owner;
    id_ = id;
    rect_ = r;
    state_.Init();
    state_.SetWindow(owner, parent);
    window_ = CreateWindowExW(0, className, u"", style, r.left, r.top, r.right - r.left,
                              r.bottom - r.top, parent,
                              reinterpret_cast<void*>(static_cast<intptr_t>(id)), nullptr, nullptr);
    if (!window_) return false;
    SetFocus(window_);
    state_.SetControlWindow(window_);
    SetWindowLongPtrW(window_, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
    if (kind == kEdit) {
        replaced_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(window_, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&EditProc)));
        SendMessageW(window_, EM_LIMITTEXT, kTextLimit, 0);
    }
    return true;
}

void NativeControl::SetText(const String& text) {
    if (!window_) return;
    std::u16string copy(text.Data(), static_cast<size_t>(text.Length()));
    SetWindowTextW(window_, copy.c_str());
    const int length = GetWindowTextLengthW(window_);
    SendMessageW(window_, EM_SETSEL, static_cast<WPARAM>(length), length);
}

bool NativeControl::GetText(String& out) const {
    out.SetEmpty();
    if (!window_) return false;
    const int length = GetWindowTextLengthW(window_);
    std::u16string buffer(static_cast<size_t>(length) + 1, u'\0');
    const int got = GetWindowTextW(window_, buffer.data(), length + 1);
    return out.AssignChars(buffer.data(), got);
}

void NativeControl::Show(bool show) {
    if (!window_) return;
    const int width = rect_.right - rect_.left;
    const int height = rect_.bottom - rect_.top;
    HWND parent = GetParent(window_);
    if (show) {
        MoveWindow(window_, rect_.left, rect_.top, width, height, TRUE);
        InvalidateRect(window_, nullptr, TRUE);
        EnableWindow(window_, TRUE);
        SetFocus(window_);
        SendMessageW(window_, WM_SETREDRAW, TRUE, 0);
    } else {
        SendMessageW(window_, WM_SETREDRAW, FALSE, 0);
        if (parent) SetFocus(parent);
        EnableWindow(window_, FALSE);
        MoveWindow(window_, kHiddenPosition, kHiddenPosition, width, height, FALSE);
        if (parent) ValidateRect(parent, nullptr);
    }
}

bool NativeControl::SetFont(int32_t sizeStep) {
    if (!window_) return false;
    HFONT font = FontByName(faces_ ? faces_->FaceName(face_) : nullptr, 4 - sizeStep);
    if (!font) return false;
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    // The control no longer uses the old one.
    if (font_) DeleteObject(font_);
    font_ = font;
    return true;
}

void NativeControl::Release() {
    if (window_) {
        HWND window = window_;
        window_ = nullptr;
        // Unbound before it goes, so its last messages find no object.
        SetWindowLongPtrW(window, GWL_USERDATA, 0);
        if (replaced_) SetWindowLongPtrW(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(replaced_));
        replaced_ = nullptr;
        DestroyWindow(window);
    }
    if (font_) DeleteObject(font_);
    font_ = nullptr;
    state_.Flush();
}

bool NativeControl::SendToOwner(InputEvent& event) {
    return owner_ && owner_->HandleEvent(event);
}

bool NativeControl::AnswerIdentity(WPARAM wParam, LPARAM lParam) {
    HWND from = reinterpret_cast<HWND>(lParam);
    if (!from || !window_ || from != window_) return false;
    if (SendMessageW(from, kIdentityMessage, 0, 0) != kIdentity) return false;
    if (HIWORD(static_cast<DWORD_PTR>(wParam)) != EN_CHANGE) return false;
    InputEvent event = InputEvent::Key(kKeyCharacter, kNoCommand);
    // The change notice rides in the character field, where the owner looks for it.
    event.character = EN_CHANGE;
    SendToOwner(event);
    return true;
}

bool NativeControl::RouteCommand(WPARAM wParam, LPARAM lParam) {
    HWND from = reinterpret_cast<HWND>(lParam);
    if (!from || SendMessageW(from, kIdentityMessage, 0, 0) != kIdentity) return false;
    auto* control = reinterpret_cast<NativeControl*>(GetWindowLongPtrW(from, GWL_USERDATA));
    return control && control->AnswerIdentity(wParam, lParam);
}

bool NativeControl::TranslateEditMessage(UINT message, WPARAM wParam, DWORD selStart,
                                         DWORD selEnd, int textLength, bool shift,
                                         InputEvent& out) {
    out = InputEvent::Key(0);
    if (message == WM_CHAR) {
        return wParam == VK_TAB || wParam == VK_RETURN || wParam == VK_ESCAPE || wParam == kCtrlF;
    }
    if (message == WM_MOUSEWHEEL) {
        const auto delta = static_cast<int16_t>(HIWORD(static_cast<DWORD_PTR>(wParam)));
        // The sign decides: forward notches (and parts of one) scroll forward.
        out = InputEvent::Key(delta > 0 ? 16 : 15);
        return true;
    }
    if (message != WM_KEYDOWN) return false;
    const bool noSelection = selStart == selEnd;
    switch (wParam) {
        case VK_TAB: out = InputEvent::Key(kKeyTab + (shift ? 12 : 11)); return true;
        case VK_RETURN: out = InputEvent::Key(kKeyActivate); return true;
        case VK_ESCAPE: out = InputEvent::Key(kKeyCommand, 23); return true;
        case VK_PRIOR: out = InputEvent::Key(kKeyPageUp); return true;
        case VK_NEXT: out = InputEvent::Key(kKeyPageDown); return true;
        case VK_UP: out = InputEvent::Key(kKeyTab + 12); return true;
        case VK_DOWN: out = InputEvent::Key(kKeyTab + 11); return true;
        case VK_LEFT:
            if (!noSelection || selStart != 0) return false;
            out = InputEvent::Key(kKeyPageUp);
            return true;
        case VK_RIGHT:
            if (!noSelection || static_cast<int>(selEnd) != textLength) return false;
            out = InputEvent::Key(kKeyRight);
            return true;
        default: return false;
    }
}

LRESULT NativeControl::EditProc(HWND window, UINT message, WPARAM wParam,
                                         LPARAM lParam) {
    auto* control = reinterpret_cast<NativeControl*>(GetWindowLongPtrW(window, GWL_USERDATA));
    if (message == kIdentityMessage) return kIdentity;
    if (!control) return DefWindowProcW(window, message, wParam, lParam);
    DWORD start = 0, end = 0;
    if (message == WM_KEYDOWN)
        SendMessageW(window, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
    const int length = message == WM_KEYDOWN ? GetWindowTextLengthW(window) : 0;
    const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    InputEvent event;
    if (!TranslateEditMessage(message, wParam, start, end, length, shift, event))
        return CallWindowProcW(control->replaced_, window, message, wParam, lParam);
    if (event.code != 0 && !control->SendToOwner(event) && message == WM_KEYDOWN &&
        wParam == VK_RETURN) {
        InputEvent fullScreen = InputEvent::Key(kKeyCommand, 55);
        control->SendToOwner(fullScreen);
    }
    return 0;
}

namespace Orientation {
int NextOrientation(int code) {
    return DisplaySurface::NextOrientation(code < 0 || code > 3 ? 0 : code);
}

bool SetDisplayOrientation(int code, ReaderSettings* settings) {
    if (!SetScreenOrientation(code)) return false;
    if (settings) settings->orientation = 0;
    return true;
}

bool RotateToNextOrientation(ReaderSettings* settings) {
    int code = GetScreenOrientation();
    if (code < 0) code = 0;
    for (int i = 0; i < 4; ++i) {
        code = NextOrientation(code);
        if (SetDisplayOrientation(code, settings)) return true;
    }
    return false;
}
}  // namespace Orientation
