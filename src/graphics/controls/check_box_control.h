// A check box of a form: three states (checked, unchecked, intermediate) drawn by an embedded
// button that shows one of four icons (a radio button's four are round). The button's clicks
// come back through the listener face.
#pragma once

#include <cstdint>
#include <memory>

#include "graphics/controls/button_control.h"
#include "graphics/controls/form_control.h"
#include "graphics/core/node.h"

class IconImage;
struct IconHost;

class CheckBoxControl : public FormControl, public Widget, private ControlListener {
public:
    enum State : uint32_t { kChecked = 0, kUnchecked = 1, kIntermediate = 2 };
    static constexpr uint16_t kIconChecked = 227;
    static constexpr uint16_t kIconCheckedPressed = 228;
    static constexpr uint16_t kIconUnchecked = 226;
    static constexpr uint16_t kIconUncheckedPressed = 229;
    // The radio button's icons, in the same order from 237.
    static constexpr uint16_t kRadioIconBase = 237;

    explicit CheckBoxControl(const IconHost& icons);
    ~CheckBoxControl() override;

    void SetState(uint32_t state);
    uint32_t GetState() const { return state_; }
    void SetValueText(const String& value) { value_ = value; }
    // A radio button: a click checks it (never unchecks it), and its form unchecks the others
    // of its name.
    void SetRadio(bool radio);
    bool IsRadio() const { return radio_; }
    const String& ValueText() const { return value_; }
    ButtonControl* Button() const { return button_.Get(); }

    // State names: "checked" 0, "unchecked" 1 (also the empty text), anything else 2.
    static uint32_t ParseState(const String& text);
    static const char* StateName(uint32_t state);

    // Inline-object face: the embedded button's, with the baseline one pixel lower.
    bool Draw(GraphicsContext* gc, const Rect& area, const Rect* clip) override {
        return button_->Draw(gc, area, clip);
    }
    bool Measure(Size& size, uint8_t& flagA, GraphicsContext* gc, uint8_t& flagB,
                 uint32_t& baseline, Size& minimum) override;
    bool MeasureSimple(Size& size, uint8_t& flagA) override {
        return button_->MeasureSimple(size, flagA);
    }
    void SetRect(const Rect& rect, uint32_t colour) override;
    bool IsControl() override { return true; }
    Node* GetNode() override { return this; }
    // The embedded button draws the box and takes its taps.
    bool ShowPart(const Rect* part) override { return button_->ShowPart(part); }

    // Control interface.
    int32_t GetControlType() override { return static_cast<int32_t>(ControlType::kCheckBox); }
    bool IsOn() override { return state_ == kChecked; }
    bool GetSubmitValue(int32_t index, String& out) override;
    bool FlagQuery() override { return true; }
    bool RestoreState(const String& text) override;
    bool SaveState(String& out) override;

    // Script face: "checked", "value" and "form" besides the common members.
    int Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool create) override;
    int SetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue value) override;
    int GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue* result) override;

    // Widget face.
    bool IsPopup() const override { return true; }
    bool IsShown() const override { return button_->IsShown(); }
    bool Show(bool show) override;
    void Redraw(const Rect* area) override { button_->Redraw(area); }
    Rect& AdjustRect(Rect& out, const Rect& in) override { return button_->AdjustRect(out, in); }
    bool HitTest(const Rect& area) override { return button_->HitTest(area); }
    bool GetRect(Rect& out) override { return button_->GetRect(out); }
    void OnFocusChanged(bool gained) override;
    int32_t ZOrder() const override { return 0; }

private:
    void OnControlEvent(FormControl* control, uint32_t eventId, uint32_t argument,
                        const Rect* rect) override;
    void ShowIcons(uint16_t normal, uint16_t pressed);
    void LoadIcons(uint16_t first);
    void ShowStateIcons();

    RefPtr<ButtonControl> button_;
    std::shared_ptr<const IconImage> icons_[4];  // 226 to 229, or the radio's 237 to 240
    HMODULE iconModule_ = nullptr;
    int iconDpi_ = 96;
    String value_;
    bool radio_ = false;
    uint32_t state_ = kUnchecked;
};
