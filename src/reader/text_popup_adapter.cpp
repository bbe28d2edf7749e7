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
    auto target = RefPtr<LinkTarget>::Adopt(new LinkTarget);
    target->SetCoordinates(static_cast<uint16_t>(objectKind), static_cast<uint16_t>(method),
                           static_cast<uint32_t>(argument));
    return !window_.Box()->AddRun(text, flags, target.Get());
}

bool WidgetTextPopup::AddTarget(const String& text, uint32_t flags, LinkTarget* target) {
    return !window_.Box()->AddRun(text, flags, target);
}

bool WidgetTextPopup::ShowAt(const Rect& area, Point anchor, uint32_t placement) {
    if (!area.IsEmpty()) window_.Box()->SetMaxRect(area);
    window_.SetAnchor(anchor, placement == kCentred);
    return window_.Show(true);
}

std::unique_ptr<TextPopup> WidgetTextPopupFactory::CreateTextPopup(DrawingSurface* surface) {
    if (!surface) return nullptr;
    return std::make_unique<WidgetTextPopup>(surface, owner_);
}

std::unique_ptr<TextPopup> WidgetTextPopupFactory::CreateTextPopupFor(DrawingSurface* surface,
                                                                      TextBoxOwner* owner) {
    if (!surface) return nullptr;
    return std::make_unique<WidgetTextPopup>(surface, owner);
}
