// What the list pop-ups over the page ask of the document controller: their links run as the
// book's, their state is kept with the page's view state. A private part of the controller,
// included only by its own source files.
#pragma once

#include "core/byte_stream.h"
#include "graphics/widgets/list_popup.h"
#include "layout/page_view.h"
#include "reader/book_document_controller.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"

class BookDocumentController::PopupSide final : public PopupHost {
public:
    explicit PopupSide(BookDocumentController& c) : c_(c) {}

    void PerformAction(LinkTarget* target, Point /*point*/) override {
        c_.PerformAction(target, 0);
    }
    int8_t FontSize() override {
        return c_.settings_ ? static_cast<int8_t>(c_.settings_->FontSize()) : 0;
    }
    uint8_t DisplayFace() override { return 0; }
    bool GetPopupArea(Rect& out) override {
        if (!c_.reader_ || c_.reader_->PopupRect().IsEmpty()) return false;
        out = c_.reader_->PopupRect();
        return true;
    }
    void KeepPopupState(ByteStream& state) override {
        PositionViewElement* view = c_.page_.View();
        if (!view) return;
        ByteStream& own = view->OwnState();
        own.Clear();
        if (state.Size() > 0) own.WriteBytes(state.Data(), state.Size());
    }
    void ClearPopupState() override {
        if (PositionViewElement* view = c_.page_.View()) view->OwnState().Clear();
    }

private:
    BookDocumentController& c_;
};
