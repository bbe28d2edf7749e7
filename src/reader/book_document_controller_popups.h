// The controller's side of the list pop-ups (the pop-ups' host), complete where the controller
// is made and destroyed.
#pragma once

#include "core/byte_stream.h"
#include "graphics/widgets/list_popup.h"
#include "layout/page_view.h"
#include "reader/book_document_controller.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"

struct BookDocumentController::ListPopupHostPart final : PopupHost {
    explicit ListPopupHostPart(BookDocumentController& owner) : owner(owner) {}

    void PerformAction(LinkTarget* target, Point /*point*/) override {
        owner.PerformAction(target, 0);
    }
    int8_t FontSize() override {
        return owner.settings_ ? static_cast<int8_t>(owner.settings_->FontSize()) : 0;
    }
    uint8_t DisplayFace() override { return 0; }
    bool GetPopupArea(Rect& out) override {
        if (!owner.reader_ || owner.reader_->PopupRect().IsEmpty()) return false;
        out = owner.reader_->PopupRect();
        return true;
    }
    void KeepPopupState(ByteStream& state) override {
        PositionViewElement* view = owner.page_.View();
        if (!view) return;
        ByteStream& own = view->OwnState();
        own.Clear();
        if (state.Size() > 0) own.WriteBytes(state.Data(), state.Size());
    }
    void ClearPopupState() override {
        if (PositionViewElement* view = owner.page_.View()) view->OwnState().Clear();
    }

    BookDocumentController& owner;
};
