// What the forms and the book script ask of the document controller: a private part of the
// controller, included only by its own source files. It reads the book, the window and the
// forms; the script's actions act on the controller, which makes their bridge.
#pragma once

#include <memory>

#include "reader/book_action_bridge.h"
#include "reader/book_document_controller.h"
#include "reader/reader_controller.h"

class BookDocumentController::ScriptSide final : public FormListOwner, public BookScriptingHost {
public:
    ScriptSide(BookDocumentController& owner, const DocumentWindowLinks& window,
               const RefPtr<Resource>& book, BookScripting& scripting, BookForms& forms)
        : owner_(owner), window_(window), book_(book), scripting_(scripting), forms_(forms) {}

    // The forms' handlers run as book scripts; the links they open wait for the command queue.
    bool RunHandler(ScriptObject* self, const String& script, uint32_t /*argument*/,
                    String* result) override {
        BookActionBridge* actions = scripting_.Actions();
        return actions && actions->RunHandler(self, script, result);
    }
    bool OpenLink(const String& text, bool /*absolute*/) override {
        // A link without a scheme is resolved against the document shown, an absolute one
        // stays.
        BookActionBridge* actions = scripting_.Actions();
        if (actions) return actions->OpenLinkLater(text);
        return owner_.ActivateLink(text);
    }
    int32_t MessageBoxById(int32_t captionId, int32_t textId, uint32_t style) override {
        ReaderController* reader = window_.Reader();
        return reader ? reader->GetLink()->MessageBoxById(captionId, textId, style) : 0;
    }
    TimerList* Timers() override { return ScriptTimers(); }
    const AppPaths* Paths() override {
        ReaderController* reader = window_.Reader();
        return reader ? reader->GetLink()->Paths() : nullptr;
    }

    // What the book script asks: the actions act on this controller and the window's reader;
    // the script's timers are the controller's; the form list is its first host object.
    std::unique_ptr<BookActionBridge> MakeActions() override {
        return std::make_unique<BookActionBridge>(&owner_, window_.Reader());
    }
    TimerList* ScriptTimers() override {
        ReaderController* reader = window_.Reader();
        return reader ? &reader->Timers() : nullptr;
    }
    void* TimerOwner() override { return &owner_; }
    DocumentLoader* Loader() override { return window_.Loader(); }
    Resource* Book() override { return book_.Get(); }
    FormList& ScriptForms() override { return forms_.List(); }

private:
    // What the actions act on and the links fall back to.
    BookDocumentController& owner_;
    const DocumentWindowLinks& window_;
    const RefPtr<Resource>& book_;
    BookScripting& scripting_;
    BookForms& forms_;
};
