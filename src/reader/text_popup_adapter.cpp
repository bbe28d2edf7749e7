#include "reader/text_popup_adapter.h"

#include <new>

#include "document/markup/link_target.h"

WidgetTextPopup::WidgetTextPopup(DrawingSurface* surface, TextBoxOwner* owner)
    : window_(surface, owner, false, nullptr) {}

bool WidgetTextPopup::AddText(const String& text, uint32_t flags) {
    // The box answers true when it refused the run.
    return !window_.Box()->AddRun(text, flags, nullptr);
}

bool WidgetTextPopup::AddLink(const String& text, uint32_t flags, uint32_t objectKind,
                              uint32_t method, int32_t argument) {
    auto* target = new (std::nothrow) LinkTarget;
    if (!target) return false;
    target->SetCoordinates(static_cast<uint16_t>(objectKind), static_cast<uint16_t>(method),
                           static_cast<uint32_t>(argument));
    bool refused = window_.Box()->AddRun(text, flags, target);
    target->Release();
    return !refused;
}

bool WidgetTextPopup::AddTarget(const String& text, uint32_t flags, LinkTarget* target) {
    return !window_.Box()->AddRun(text, flags, target);
}

bool WidgetTextPopup::ShowAt(const Rect& area, Point anchor, uint32_t placement) {
    if (!area.IsEmpty()) window_.Box()->SetMaxRect(area);
    window_.SetAnchor(anchor, placement == kCentred);
    return window_.Show(true);
}

TextPopup* WidgetTextPopupFactory::CreateTextPopup(DrawingSurface* surface) {
    if (!surface) return nullptr;
    return new (std::nothrow) WidgetTextPopup(surface, owner_);
}

TextPopup* WidgetTextPopupFactory::CreateTextPopupFor(DrawingSurface* surface,
                                                      TextBoxOwner* owner) {
    if (!surface) return nullptr;
    return new (std::nothrow) WidgetTextPopup(surface, owner);
}
