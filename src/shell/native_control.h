// Native child controls that a form places inside a reader view (an edit field, a drop-down list
// or a static text), and turning the screen through its four orientations.
//
// The edit field is subclassed: navigation keys leave it as key events for the owner node, and it
// answers WM_USER + 1 with "FVTW" so the main window knows it as the program's own. The control
// window holds its NativeControl in GWL_USERDATA until Release.
#pragma once

#include <cstdint>

#include "core/geometry.h"
#include "core/string.h"
#include "graphics/core/input_event.h"
#include "platform/window/window.h"

class FaceTable;
class Node;
class ReaderSettings;

// The state record a native control carries. The hooks are empty: forms that need a commit
// override them in later work.
struct ControlState {
    void* owner = nullptr;
    uint8_t flags = 0;
    uint8_t dirty = 0;
    HWND window = nullptr;
    uint32_t word = 0;
    int32_t ids[2] = {-1, -1};

    void Init() {
        flags = 0;
        dirty = 0;
        window = nullptr;
        ids[0] = ids[1] = -1;
    }
    void SetWindow(void* newOwner, HWND ownerView) {
        owner = newOwner;
        window = ownerView;
    }
    void SetControlWindow(HWND control) { window = control; }
    void SetId(uint32_t value) { flags = static_cast<uint8_t>(value); }
    void Flush() {
        if (dirty) Commit();
    }
    void Commit() {}
    void NoOp(uint32_t /*inputModeBits*/) {}
    void Notify(uint32_t /*value*/, bool /*flag*/) {}
};

class NativeControl {
public:
    enum Kind : int { kEdit = 0, kComboBox = 1, kStatic = 2 };
    static constexpr LRESULT kIdentity = 0x46565457;  // "FVTW"
    static constexpr UINT kIdentityMessage = WM_USER + 1;
    static constexpr int kTextLimit = 510;
    static constexpr int kHiddenPosition = -1000;

    NativeControl() { state_.Init(); }
    ~NativeControl() { Release(); }
    NativeControl(const NativeControl&) = delete;
    NativeControl& operator=(const NativeControl&) = delete;

    // Makes the control as a child of `parent`; false for an unknown kind or when the window
    // cannot be made. Key events go to `owner` (may be null).
    bool Create(Node* owner, int kind, const RECT& r, HWND parent, int id);
    void SetText(const String& text);
    bool GetText(String& out) const;
    // The face the control's font takes: entry `face` of the reader window's font list.
    void SetFace(const FaceTable* faces, uint8_t face) {
        faces_ = faces;
        face_ = face;
    }
    // A font in that face, 4 larger than the text style's size (a GDI height, negative for a
    // character height); the previous font is deleted once the control has the new one.
    bool SetFont(int32_t sizeStep);
    void Show(bool show);
    void Release();
    // A WM_COMMAND of the main window: the change notice of this control, passed to the owner
    // as a character event. True when it was ours.
    bool AnswerIdentity(WPARAM wParam, LPARAM lParam);
    // Finds the program's control named by lParam and lets it answer; false when none.
    static bool RouteCommand(WPARAM wParam, LPARAM lParam);

    HWND Window() const { return window_; }
    HFONT Font() const { return font_; }
    const ControlState& State() const { return state_; }

    // What the subclass procedure does with a message (pure, for the key table): true and the
    // event (which may be "no event": code 0) when the message is swallowed.
    static bool TranslateEditMessage(UINT message, WPARAM wParam, DWORD selStart, DWORD selEnd,
                                     int textLength, bool shift, InputEvent& out);

private:
    static LRESULT EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool SendToOwner(InputEvent& event);

    Node* owner_ = nullptr;
    int id_ = 0;
    ControlState state_;
    HWND window_ = nullptr;
    RECT rect_{};
    WNDPROC replaced_ = nullptr;
    const FaceTable* faces_ = nullptr;
    uint8_t face_ = 1;
    HFONT font_ = nullptr;
};

namespace Orientation {
// Sets the screen orientation (0 normal, 1 90 degrees right, 2 90 degrees left, 3 180 degrees);
// on success the settings' orientation index goes back to 0.
bool SetDisplayOrientation(int code, ReaderSettings* settings);
// From the current orientation, tries up to four next ones in the display's order
// (0, 1, 3, 2); true at the first that the screen takes.
bool RotateToNextOrientation(ReaderSettings* settings);
int NextOrientation(int code);
}  // namespace Orientation
