// The reader's text pop-up over the widgets' pop-up window: what the reader controller asks of
// a TextPopup (runs, command links, placement) carried out by a TextPopupWindow.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>

#include "graphics/widgets/text_popup_window.h"
#include "reader/reader_views.h"

class WidgetTextPopup : public TextPopup {
public:
    WidgetTextPopup(DrawingSurface* surface, TextBoxOwner* owner);
    bool AddText(const String& text, uint32_t flags) override;
    bool AddLink(const String& text, uint32_t flags, uint32_t objectKind, uint32_t method,
                 int32_t argument) override;
    bool ShowAt(const Rect& area, Point anchor, uint32_t placement) override;
    void KeepClear(const Rect& box) override { window_.SetKeepClear(box); }
    void Hide() override { window_.Show(false); }
    bool AddTarget(const String& text, uint32_t flags, LinkTarget* target) override;
    TextPopupWindow* PopupWindow() override { return &window_; }
    bool SetOnHidden(std::function<void()> call) override {
        window_.SetOnHidden(std::move(call));
        return true;
    }

    TextPopupWindow& Window() { return window_; }

private:
    TextPopupWindow window_;
};

class WidgetTextPopupFactory : public TextPopupFactory {
public:
    // owner performs the pop-ups' links (the window's document controller); may be null.
    explicit WidgetTextPopupFactory(TextBoxOwner* owner) : owner_(owner) {}
    std::unique_ptr<TextPopup> CreateTextPopup(DrawingSurface* surface) override;
    std::unique_ptr<TextPopup> CreateTextPopupFor(DrawingSurface* surface,
                                                  TextBoxOwner* owner) override;

private:
    TextBoxOwner* owner_;
};
