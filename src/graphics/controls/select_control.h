// The SELECT element of a form (control type 12). With a row count of 1 it is a drop-down: a
// frameless text entry shows the chosen option and an arrow button opens the option list in an
// overlay over the page. Otherwise the option list (a list box) is shown in place.
//
// The options come from OPTION elements (label, value) or from a query run against the book's
// index database; the list part, SelectList, shows either through a ListControl.
//
// Re-entrancy: opening the drop-down shows an overlay, which deactivates the page's nodes and
// moves focus into the overlay; neither may close the drop-down being opened. Events fired to
// the form may run scripts that release the control: callers hold a KeepAlive across them.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "core/segmented_array.h"
#include "core/string.h"
#include "database/record_set.h"
#include "graphics/controls/control_node.h"
#include "graphics/controls/form_control.h"
#include "graphics/core/node.h"
#include "graphics/widgets/list_control.h"
#include "graphics/widgets/overlay_widget.h"

class AppPaths;
class ButtonControl;
class DrawingSurface;
class Resource;
class SelectList;
class TextEntryControl;
class TimerList;

struct OptionItem {
    uint8_t selected = 0;
    String value;
    String label;
};

// The options of one list as a record set: the rows are the option indices.
class OptionList : public RecordSet {
public:
    explicit OptionList(const SegArray<OptionItem, 4>* items) : items_(items) {}
    RecordPosition Previous(const RecordPosition& pos) override;
    RecordPosition Next(const RecordPosition& pos) override;
    bool GetText(const RecordPosition& pos, String& out) override;
    bool GetDisplayText(const RecordPosition& pos, String& out) override {
        return GetText(pos, out);
    }
    uint32_t PositionToEntry(const RecordPosition& pos) override {
        return static_cast<uint32_t>(pos.Get());
    }
    RecordPosition EntryToPosition(uint32_t entry) override {
        return RecordPosition::At(static_cast<int32_t>(entry));
    }
    uint32_t Count() override { return static_cast<uint32_t>(items_->Count()); }
    uint32_t PositionToRow(const RecordPosition& pos) override { return pos.value; }

private:
    const SegArray<OptionItem, 4>* items_;
};

// The overlay that shows the list part under (or above) a drop-down select.
class SelectDropDown : public OverlayWidget {
public:
    SelectDropDown(DrawingSurface* surface, SelectList* list);
    ~SelectDropDown() override;

private:
    NodeRef list_;
};

class SelectList : public FormControl, public Widget, public ListClient {
public:
    static constexpr int32_t kDefaultColumns = 12;
    static constexpr int32_t kDefaultRows = 10;
    static constexpr int kKeyColumn = 6;

    SelectList(DrawingSurface* surface, const AppPaths* paths, TimerList* timers,
               const IconHost& icons);
    ~SelectList() override;

    // Model.
    void SetQueryResource(Resource* resource);
    // The query compiler's code: 0, 1 out of memory, 19 syntax, 20 unresolved name.
    int SetQuery(const String& text);
    // Shows a compiled query's rows (the list takes a reference); no row selected.
    void UseRecordSet(RecordSet* set, const String& query);
    void ClearOptions();
    bool AddOption(const String& label, const String& value);
    void SelectIndex(uint32_t index, bool exclusive);
    // The selected row's text; false while nothing is selected.
    bool GetSelectedLabel(String& out);
    bool IsRecordSetMode() const { return recordSetMode_ != 0; }
    const RecordPosition& Position() const { return position_; }
    void SetPosition(const RecordPosition& p) { position_ = p; }
    int32_t OptionCount() const { return options_.Count(); }
    const OptionItem* Option(int32_t i) const { return options_.Get(i); }
    const String& QueryText() const { return query_; }
    void SetRows(int32_t rows) {
        rows_ = rows;
        extentValid_ = 0;
    }
    void SetColumns(int32_t columns) {
        columns_ = columns;
        extentValid_ = 0;
    }
    int32_t Rows() const { return rows_; }
    ListControl* List() { return list_.get(); }
    RecordSet* Model() const { return model_.Get(); }

    // Drop-down.
    bool OpenDropDown(const Rect& controlRect, bool focus);
    void CloseDropDown();
    bool IsDropDownOpen() const { return dropDown_.IsAlive(); }
    SelectDropDown* DropDown() const { return static_cast<SelectDropDown*>(dropDown_.Get()); }

    // Size: (preferred width, preferred height) and the row height, cached until the model or
    // the style changes.
    void ComputeExtent(GraphicsContext* gc);
    int32_t RowHeight() const { return rowHeight_; }
    int32_t PreferredWidth() const { return prefWidth_; }
    int32_t PreferredHeight() const { return prefHeight_; }

    // Inline-object face.
    bool Draw(GraphicsContext* gc, const Rect& area, const Rect* clip) override;
    bool Measure(Size& size, uint8_t& flagA, GraphicsContext* gc, uint8_t& flagB,
                 uint32_t& baseline, Size& minimum) override;
    bool MeasureSimple(Size&, uint8_t&) override { return false; }
    void SetRect(const Rect& rect, uint32_t colour) override;
    void SetStyle(const uint8_t* style3) override;
    bool IsControl() override { return true; }
    Node* GetNode() override { return this; }

    // Control interface.
    int32_t GetControlType() override { return 0; }
    bool IsOn() override { return true; }
    bool FlagQuery() override { return false; }
    bool GetSubmitValue(int32_t index, String& out) override;
    bool RestoreState(const String& text) override;
    bool SaveState(String& out) override;
    uint32_t RestoredIndex() const { return restoredIndex_; }

    // Script face (resolved for the select control).
    int Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool create) override;
    int SetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue value) override;
    int GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue* result) override;

    // Node face.
    bool Show(bool show) override;
    bool IsShown() const override { return IsShownFlag(); }
    void Redraw(const Rect* area) override;
    Rect& AdjustRect(Rect& out, const Rect& in) override {
        out = in;
        return out;
    }
    bool HitTest(const Rect& area) override { return Rect::Intersects(rect_, area); }
    bool GetRect(Rect& out) override {
        out = rect_;
        return true;
    }
    int32_t ZOrder() const override { return 0; }
    void OnFocusChanged(bool gained) override;
    void SetHighlighted(bool on) override;

    // The list's client face.
    void OnActivate(const RecordPosition& position) override;
    bool ExecuteClientCommand(uint32_t command) override;
    bool TranslateEvent(InputEvent& event, uint32_t& command) override;

private:
    void UseOptions();
    void SetModel(RecordSet* model);
    void PlaceList();

    DrawingSurface* surface_;
    const AppPaths* paths_;
    RecordPosition position_ = RecordPosition::At(RecordPosition::kAfterLast);
    int32_t columns_ = 0;
    uint32_t restoredIndex_ = 0;
    int32_t rows_ = 0;
    int32_t textWidth_ = 0;
    int32_t rowHeight_ = 0;
    int32_t prefWidth_ = 0;
    int32_t prefHeight_ = 0;
    uint8_t extentValid_ = 0;
    uint8_t recordSetMode_ = 0;
    RefPtr<RecordSet> model_;
    std::unique_ptr<ListControl> list_;
    String query_;
    RefPtr<Resource> resource_;
    SegArray<OptionItem, 4> options_;
    NodeRef dropDown_;
    uint8_t lastFace_ = 0;
    int8_t lastSize_ = 0;
    bool opening_ = false;
};

class SelectControl : public FormControl, public Widget, public ControlListener {
public:
    static constexpr uint16_t kArrowIcon = 233;

    SelectControl(DrawingSurface* surface, const AppPaths* paths, TimerList* timers,
                  const IconHost& icons);
    ~SelectControl() override;

    void SetRows(int32_t n);
    void SetColumns(int32_t n) { list_->SetColumns(n); }
    void SetQueryResource(Resource* resource) { list_->SetQueryResource(resource); }
    int SetQuery(const String& text) { return list_->SetQuery(text); }
    void ClearOptions() { list_->ClearOptions(); }
    bool AddOption(const String& label, const String& value) {
        return list_->AddOption(label, value);
    }
    void SelectOption(uint32_t index, bool exclusive);
    bool IsDropDownMode() const { return dropDownMode_ != 0; }
    bool OpenDropDown(bool focus);

    SelectList* ListPart() const { return list_.Get(); }
    TextEntryControl* TextPart() const { return text_.Get(); }
    ButtonControl* ButtonPart() const { return button_.Get(); }
    int32_t ButtonWidth() const { return buttonWidth_; }

    // Inline-object face.
    bool Draw(GraphicsContext* gc, const Rect& area, const Rect* clip) override;
    bool Measure(Size& size, uint8_t& flagA, GraphicsContext* gc, uint8_t& flagB,
                 uint32_t& baseline, Size& minimum) override;
    bool MeasureSimple(Size&, uint8_t&) override { return false; }
    void SetRect(const Rect& rect, uint32_t colour) override;
    void SetStyle(const uint8_t* style3) override;
    bool IsControl() override { return true; }
    Node* GetNode() override { return this; }
    // A drop-down shows a part of itself as its parts do; the list shown in place is cut to
    // the part with the rest of the control's drawing and taps.
    bool ShowPart(const Rect* part) override;

    // Control interface.
    int32_t GetControlType() override { return static_cast<int32_t>(ControlType::kSelect); }
    bool IsOn() override { return list_->IsOn(); }
    bool FlagQuery() override { return true; }
    bool GetSubmitValue(int32_t index, String& out) override {
        return list_->GetSubmitValue(index, out);
    }
    bool RestoreState(const String& text) override;
    bool SaveState(String& out) override { return list_->SaveState(out); }

    // Script face: "form" here, every other name through the list part.
    int Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool create) override;
    int SetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue value) override;
    int GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue* result) override;

    // Node face.
    bool Show(bool show) override;
    bool IsShown() const override { return IsShownFlag(); }
    bool HandleEvent(InputEvent& event) override;
    void Redraw(const Rect* area) override;
    void SetActive(bool active) override;
    void OnFocusChanged(bool gained) override;
    Rect& AdjustRect(Rect& out, const Rect& in) override {
        out = in;
        return out;
    }
    bool HitTest(const Rect& area) override { return shown_.Meets(rect_, area); }
    bool GetRect(Rect& out) override {
        out = rect_;
        return true;
    }
    int32_t ZOrder() const override { return 0; }
    // Its own drawing (the frame around its parts) is cut to the part shown.
    GraphicsContext* BeginDraw(bool defer, const Rect* area) override {
        GraphicsContext* gc = Widget::BeginDraw(defer, area);
        shown_.Enter(gc);
        return gc;
    }
    bool EndDraw() override {
        shown_.Leave();
        return Widget::EndDraw();
    }

    void OnControlEvent(FormControl* control, uint32_t eventId, uint32_t argument,
                        const Rect* rect) override;

private:
    void ShowSelectedLabel();
    void AfterScriptWrite();
    // The three parts, for what is done to each alike.
    std::array<FormControl*, 3> Parts() const;

    RefPtr<TextEntryControl> text_;
    RefPtr<ButtonControl> button_;
    RefPtr<SelectList> list_;
    ShownPart shown_;
    int32_t textHeight_ = 0;
    int32_t buttonWidth_ = 0;
    uint8_t dropDownMode_ = 1;
    bool textPrepared_ = false;
};
