// What the forms and the book script ask of the document controller: a private part of the
// controller, included only by its own source files.
#pragma once

#include "reader/book_action_bridge.h"
#include "reader/book_document_controller.h"
#include "reader/reader_controller.h"

class BookDocumentController::ScriptSide final : public FormListOwner, public BookScriptingHost {
public:
    explicit ScriptSide(BookDocumentController& c) : c_(c) {}

    // The forms' handlers run as book scripts; the links they open wait for the command queue.
    bool RunHandler(ScriptObject* self, const String& script, uint32_t /*argument*/,
                    String* result) override {
        BookActionBridge* actions = c_.scripting_.Actions();
        return actions && actions->RunHandler(self, script, result);
    }
    bool OpenLink(const String& text, bool /*absolute*/) override {
        // A link without a scheme is resolved against the document shown, an absolute one
        // stays.
        BookActionBridge* actions = c_.scripting_.Actions();
        if (actions) return actions->OpenLinkLater(text);
        return c_.ActivateLink(text);
    }
    int32_t MessageBoxById(int32_t captionId, int32_t textId, uint32_t style) override {
        return c_.reader_ ? c_.reader_->GetLink()->MessageBoxById(captionId, textId, style) : 0;
    }
    TimerList* Timers() override { return c_.reader_ ? &c_.reader_->Timers() : nullptr; }
    const AppPaths* Paths() override {
        return c_.reader_ ? c_.reader_->GetLink()->Paths() : nullptr;
    }

    // What the book script asks: the form list as its first host object.
    BookDocumentController& Controller() override { return c_; }
    ReaderController* Reader() override { return c_.reader_; }
    DocumentLoader* Loader() override { return c_.loader_; }
    Resource* Book() override { return c_.resource_; }
    FormList& ScriptForms() override { return c_.forms_.List(); }

private:
    BookDocumentController& c_;
};
