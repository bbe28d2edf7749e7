// A push button of a form: a framed box with a text label or an icon. It is also the visible
// part of the check box, the select control's drop-down button and the list control's scroll
// buttons. Activating it (the Enter or Space code of a key row, or a tap) fires the click event.
#pragma once

#include <cstdint>
#include <memory>

#include "core/color.h"
#include "graphics/controls/control_node.h"
#include "graphics/controls/form_control.h"

class IconImage;
class TimerList;

class ButtonControl : public FormControl, public ControlNode {
public:
    // The key-row column buttons read (Enter and Space give the activate code there).
    static constexpr int kKeyColumn = 4;

    explicit ButtonControl(TimerList* timers = nullptr);
    ~ButtonControl() override;

    void SetLabel(const String& label);
    // The icon replaces the label; framed false draws no frame.
    void SetImage(std::shared_ptr<const IconImage> icon, bool framed);
    void SetPressedImage(std::shared_ptr<const IconImage> icon);
    // Whether a frameless button outlines its icon's square, plainly or for the focus (a round
    // icon stays round without).
    void SetIconOutlined(bool outlined) { iconOutlined_ = outlined; }
    // A pressed colour of Color::kNone takes the first colour.
    void SetFrameColours(uint32_t colour, uint32_t pressedColour);
    void SetTextColour(uint32_t colour) { textColour_ = colour; }
    void SetLabelOffset(int32_t dx, int32_t dy) {
        labelOffsetX_ = dx;
        labelOffsetY_ = dy;
    }
    const String& Label() const { return label_; }
    const IconImage* Image() const { return image_.get(); }
    bool IsPressed() const { return pressed_ != 0; }
    bool IsHighlighted() const { return highlighted_ != 0; }

    // Inline-object face.
    bool Draw(GraphicsContext* gc, const Rect& area, const Rect* clip) override;
    bool Measure(Size& size, uint8_t& flagA, GraphicsContext* gc, uint8_t& flagB,
                 uint32_t& baseline, Size& minimum) override;
    bool MeasureSimple(Size& size, uint8_t& flagA) override;
    void SetRect(const Rect& rect, uint32_t colour) override;
    bool IsControl() override { return true; }
    Node* GetNode() override { return this; }
    bool ShowPart(const Rect* part) override {
        SetShownPart(part);
        return true;
    }

    // Control interface.
    int32_t GetControlType() override { return static_cast<int32_t>(ControlType::kButton); }
    bool IsOn() override { return false; }
    bool FlagQuery() override { return false; }
    bool RestoreState(const String&) override { return false; }
    bool SaveState(String&) override { return false; }

    // Script face: the common members and "form"; nothing can be set.
    int Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool create) override;

    // Node face.
    bool Show(bool show) override;
    bool IsShown() const override { return IsShownFlag(); }
    bool HandleEvent(InputEvent& event) override;
    void Redraw(const Rect* area) override;
    void OnFocusChanged(bool gained) override { SetHighlighted(gained); }
    void SetHighlighted(bool highlighted) override;

private:
    void SetPressed(bool pressed);

    TimerList* timers_;
    int32_t timerId_ = -1;
    std::shared_ptr<const IconImage> image_;
    std::shared_ptr<const IconImage> pressedImage_;
    String label_;
    uint8_t frameless_ = 0;
    bool iconOutlined_ = true;
    int32_t labelOffsetX_ = 0;
    int32_t labelOffsetY_ = 0;
    uint32_t frameColour_ = Color::kNone;
    uint32_t pressedFrameColour_ = Color::kNone;
    uint32_t textColour_;
    uint8_t pressed_ = 0;
    uint8_t highlighted_ = 0;
};
