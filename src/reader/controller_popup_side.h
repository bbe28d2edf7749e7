// What the list pop-ups over the page ask of the document controller: their links run as the
// book's actions, their state is kept with the page's view state. A private part of the
// controller, included only by its own source files.
#pragma once

#include "core/byte_stream.h"
#include "graphics/widgets/list_popup.h"
#include "layout/page_view.h"
#include "reader/book_document_controller.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"

class BookDocumentController::PopupSide final : public PopupHost {
public:
    PopupSide(const DocumentWindowLinks& window, BookScripting& scripting, PagePresentation& page)
        : window_(window), scripting_(scripting), page_(page) {}

    void PerformAction(LinkTarget* target, Point /*point*/) override {
        scripting_.PerformAction(target, 0);
    }
    int8_t FontSize() override {
        ReaderSettings* settings = window_.Settings();
        return settings ? static_cast<int8_t>(settings->FontSize()) : 0;
    }
    uint8_t DisplayFace() override { return 0; }
    bool GetPopupArea(Rect& out) override {
        ReaderController* reader = window_.Reader();
        if (!reader || reader->PopupRect().IsEmpty()) return false;
        out = reader->PopupRect();
        return true;
    }
    void KeepPopupState(ByteStream& state) override {
        PositionViewElement* view = page_.View();
        if (!view) return;
        ByteStream& own = view->OwnState();
        own.Clear();
        if (state.Size() > 0) own.WriteBytes(state.Data(), state.Size());
    }
    void ClearPopupState() override {
        if (PositionViewElement* view = page_.View()) view->OwnState().Clear();
    }

private:
    const DocumentWindowLinks& window_;
    BookScripting& scripting_;
    PagePresentation& page_;
};
