// The one-line text entry of a form (also the text part of the select control, unframed and
// read-only). It edits one string with a caret and a selection, scrolls sideways on character
// boundaries, blinks its caret on the window's timer list and shows the input panel while
// focused.
//
// A password field draws one mask character per character, answers no text to the layout
// and saves no state (so the password never reaches the side file).
#pragma once

#include <cstdint>

#include "core/timer_list.h"
#include "graphics/controls/control_node.h"
#include "graphics/controls/form_control.h"

class TextEntryControl : public FormControl, public ControlNode, private TimerCallback {
public:
    static constexpr uint32_t kNoLimit = 0xFFFFFFFFu;
    static constexpr char16_t kMask = u'*';
    static constexpr uint32_t kBlinkMs = 1000;
    // Input modes of INPUT_RESTRICT, kept for the input panel.
    static constexpr int32_t kModeHiragana = 0x20000;
    static constexpr int32_t kModeKatakana = 0x10000;
    static constexpr int32_t kModeLatin = 0x30000;
    static constexpr int32_t kModeHangul = 0x50000;

    explicit TextEntryControl(TimerList* timers);
    ~TextEntryControl() override;

    // Setters of the form builder.
    void SetValue(const String& value);
    void SetPassword() { password_ = 1; }
    void SetSize(uint32_t characters) { size_ = characters ? characters : 1; }
    void SetFramed(bool framed) { framed_ = framed ? 1 : 0; }
    void SetMaxLength(uint32_t maximum) { maxLength_ = maximum; }
    // "HIRA", "KATA", "LATN" or "HANG"; any other keyword gives -1.
    void SetInputMode(const String& keyword);
    void SetBorderWidth(uint32_t width) { borderWidth_ = width; }
    void SetSelectAllMode(uint32_t mode) { highlightMode_ = mode; }

    const String& Value() const { return value_; }
    int32_t Caret() const { return caret_; }
    // The selection as (start, length), length 0 when there is none.
    int32_t SelectionStart() const { return selLength_ < 0 ? caret_ : anchor_; }
    int32_t SelectionLength() const { return selLength_ < 0 ? -selLength_ : selLength_; }
    int32_t FirstVisible() const { return firstVisible_; }
    int32_t ScrollOffset() const { return scroll_; }
    int32_t CaretX() const { return caretX_; }
    int32_t InputMode() const { return inputMode_; }
    uint32_t SizeInChars() const { return size_; }
    bool IsReadOnly() const { return readOnly_ != 0; }
    bool IsCaretVisible() const { return caretVisible_ != 0; }
    bool IsHighlighted() const { return highlighted_ != 0; }
    int32_t BlinkTimer() const { return blinkTimer_; }

    // Editing (false when read-only or when nothing changed).
    bool MoveCaret(uint32_t command);
    bool Insert(const String& text);
    bool DeleteChar(bool backward);

    // Inline-object face.
    bool Draw(GraphicsContext* gc, const Rect& area, const Rect* clip) override;
    bool Measure(Size& size, uint8_t& flagA, GraphicsContext* gc, uint8_t& flagB,
                 uint32_t& baseline, Size& minimum) override;
    bool MeasureSimple(Size&, uint8_t&) override { return false; }
    void SetRect(const Rect& rect, uint32_t /*colour*/) override { rect_ = rect; }
    bool IsControl() override { return true; }
    Node* GetNode() override { return this; }
    bool ShowPart(const Rect* part) override {
        SetShownPart(part);
        return true;
    }
    uint32_t GetText(String* out) override;

    // Control interface.
    int32_t GetControlType() override { return static_cast<int32_t>(ControlType::kTextEntry); }
    bool IsOn() override { return enabled_ != 0; }
    bool GetSubmitValue(int32_t index, String& out) override;
    bool FlagQuery() override { return true; }
    void SetReadOnly(bool readOnly) override;
    void SetEnabled(bool enabled) override;
    int32_t CaretIndex() const override { return caret_; }
    void PlaceCaretAt(int32_t index) override;
    bool RestoreState(const String& text) override;
    bool SaveState(String& out) override;

    // Script face: "value" and "form" besides the common members.
    int Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool create) override;
    int SetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue value) override;
    int GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue* result) override;

    // Node face.
    bool Show(bool show) override;
    bool IsShown() const override { return IsShownFlag(); }
    bool HandleEvent(InputEvent& event) override;
    // Keys edit the field while it has the focus: the caret moves, Backspace deletes, Enter
    // submits.
    bool WantedInputState(InputState& state) override {
        state = InputState::kTextEntry;
        return true;
    }
    bool InsertText(const String& text) override;
    void Redraw(const Rect* area) override;
    void OnFocusChanged(bool gained) override;
    void SetHighlighted(bool on) override;

    // The text area: the rectangle inside the frame.
    Rect TextArea() const;

private:
    void OnTimer(TimerList& list, int32_t id) override;
    // The text as drawn: the value, or the mask for a password.
    const String& Shown();
    // Pixels from the start of the text to character index i (0 without a context).
    int32_t WidthTo(GraphicsContext* gc, int32_t i);
    void SetCaret(int32_t index, bool scroll);
    void ScrollToCaret(GraphicsContext* gc);
    int32_t PixelToIndex(GraphicsContext* gc, int32_t pixel);
    int32_t PreviousBoundary(int32_t i) const;
    int32_t NextBoundary(int32_t i) const;
    // Replaces the value (cut to the maximum length) and keeps caret, scroll and selection in
    // range, read-only or not.
    void ReplaceValue(const String& text);
    // The caret to the end, and back to the start when the end scrolled the field.
    void CaretToEndThenStart();
    void ClearSelection() { selLength_ = 0; }
    void SetBlinking(bool on);
    void SetCaretVisible(bool visible);
    void DrawCaretBar(GraphicsContext* gc);
    void DrawField(GraphicsContext* gc);
    bool InsertChar(char16_t c);

    TimerList* timers_;
    String value_;
    String masked_;
    int32_t caret_ = 0;
    int32_t shownCaret_ = -1;  // where showing puts the caret; -1 the usual place
    int32_t caretX_ = 0;
    uint32_t size_ = 12;
    uint32_t maxLength_ = kNoLimit;
    int32_t firstVisible_ = 0;
    int32_t scroll_ = 0;
    uint32_t borderWidth_ = 1;
    int32_t anchor_ = 0;
    int32_t selLength_ = 0;  // caret - anchor; negative when the anchor is after the caret
    uint8_t password_ = 0;
    uint8_t framed_ = 1;
    uint8_t readOnly_ = 0;
    uint8_t enabled_ = 1;
    uint32_t highlightMode_ = 0;
    uint8_t highlighted_ = 0;
    uint8_t caretVisible_ = 0;
    int32_t blinkTimer_ = -1;
    int32_t inputMode_ = -1;
};
