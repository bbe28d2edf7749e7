#include "graphics/widgets/text_popup_window.h"

#include "core/resources.h"
#include "document/markup/link_target.h"
#include "document/sources/loader_adapters.h"
#include "graphics/core/drawing_surface.h"
#include "script/script_error.h"

TextPopupWindow::TextPopupWindow(DrawingSurface* surface, TextBoxOwner* owner, bool unbounded,
                                 const Rect* area)
    : OverlayWidget(surface, false, false), box_(new TextBox(owner, false)) {
    box_->SetPassive(false);
    Rect max{0, 0, 16384, 16384};
    if (!unbounded) {
        if (area)
            max = *area;
        else
            ClientAreaIn(max, nullptr);
    }
    box_->SetMaxRect(max);
    box_->SetParent(this);
}

TextPopupWindow::~TextPopupWindow() {
    Show(false);
    box_->Detach();
}

void TextPopupWindow::SetAnchor(Point anchor, bool centred) {
    anchor_ = anchor;
    centred_ = centred ? 1 : 0;
}

bool TextPopupWindow::Show(bool show) {
    if (!show) return OverlayWidget::Show(false);
    ::Size size = box_->GetSize();
    Rect r{0, 0, size.width, size.height};
    if (centred_) {
        // Centred even where that crosses the window's edge.
        Rect::CenterXAt(r, anchor_.x);
        Rect::CenterYAt(r, anchor_.y);
    } else {
        Rect visible{};
        if (ClientAreaIn(visible, nullptr))
            Rect::PlaceWithin(r, 0, anchor_, visible);
        else {
            r.x = anchor_.x;
            r.y = anchor_.y;
        }
    }
    SetRectangle(r);
    Rect out{};
    box_->AdjustRect(out, r);
    NodeRef self(this);
    OverlayWidget::Show(true);
    if (!self.IsAlive()) return false;
    if (IsShown()) box_->Focus();
    return IsShown();
}

void TextPopupWindow::Redraw(const Rect* /*area*/) {
    if (Rectangle().IsEmpty() || !IsShown()) return;
    DrawScope scope(this);
    GraphicsContext* gc = scope.Context();
    if (!gc) return;
    box_->SetBackgroundColor(kBackground);
    gc->SetPenColor(0);
    gc->SetBrushColor(kBackground);
    gc->DrawRectangle(Rectangle(), true);
    box_->Redraw(nullptr);
}

bool TextPopupWindow::AddEntryLink(EntryRecords& records, const String& name, uint32_t n) {
    String title;
    if (!records.GetTitle(name, title) || title.IsEmpty()) return false;
    auto* target = new LinkTarget;
    target->kind = kLinkNamedEntry;
    target->text = name;
    target->number = n;
    bool full = box_->AddRun(title, kEntryLinkStyle, target);
    target->Release();
    return !full;
}

bool TextPopupWindow::ShowIndexSearchLink(const String& a, const String& b, const String& label) {
    String escapedA, escapedB;
    if (!Script::EscapeStringLiteral(a, &escapedA) || !Script::EscapeStringLiteral(b, &escapedB))
        return false;
    String script;
    script.AppendAscii("window.open('");
    script.Append(escapedA);
    script.AppendAscii("','');index_search('','','");
    script.Append(escapedB);
    script.AppendAscii("')");
    String text = label;
    if (text.IsEmpty()) Resources::LoadString(text, kManualSearchId);
    auto* target = new LinkTarget;
    target->kind = kLinkScript;
    target->text = script;
    bool full = box_->AddRun(text, kSearchLinkStyle, target);
    target->Release();
    return !full;
}
