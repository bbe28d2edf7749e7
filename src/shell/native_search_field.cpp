#include "shell/native_search_field.h"

#include <new>

#include "graphics/core/drawing_surface.h"
#include "graphics/core/node.h"
#include "shell/native_control.h"

namespace {

// The control id of the search field (the main window routes its notices by the window).
constexpr int kSearchFieldId = 1;

class NativeSearchField final : public SearchField {
public:
    NativeSearchField(Node* owner, HWND parent) : owner_(owner), parent_(parent) {}

    void SetText(const String& text) override {
        text_ = text;
        if (control_.Window()) control_.SetText(text);
    }
    bool GetText(String& out) const override {
        if (control_.Window()) return control_.GetText(out);
        out = text_;
        return true;
    }
    // The control is made at its first place (the box is known then) and moved after.
    void Place(const Rect& box) override {
        const RECT r{box.x, box.y, box.x + box.width, box.y + box.height};
        if (!control_.Window()) {
            if (!control_.Create(owner_, NativeControl::kEdit, r, parent_, kSearchFieldId)) return;
            control_.SetText(text_);
            shown_ = true;
            return;
        }
        MoveWindow(control_.Window(), r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    }
    void Show(bool show) override {
        if (!control_.Window() || show == shown_) return;
        shown_ = show;
        control_.Show(show);
        if (show) SetFocus(control_.Window());
    }
    // The device's edit control has one input mode.
    void SetInputMode(uint32_t) override {}

private:
    Node* owner_;
    HWND parent_;
    NativeControl control_;
    String text_;
    bool shown_ = false;
};

}  // namespace

std::unique_ptr<SearchField> NativeSearchFields::MakeSearchField(Node* owner) {
    auto* surface = owner ? dynamic_cast<DrawingSurface*>(owner->Parent()) : nullptr;
    if (!surface || !surface->Window()) return nullptr;
    return std::make_unique<NativeSearchField>(owner, surface->Window());
}
