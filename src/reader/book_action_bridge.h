// Book actions and the document view's script face over the window's document controller and
// reader controller: the operations those have today are mapped here; the others answer false
// until the controllers grow them (new windows, annotations, audio, frames).
#pragma once

#include <memory>

#include "reader/document_view_script.h"
#include "reader/shell_action_policy.h"

class BookDocumentController;
class ReaderController;

class BookActionBridge final : public DocumentScriptHost {
public:
    BookActionBridge(BookDocumentController* document, ReaderController* reader);
    ~BookActionBridge();

    // The script face a book's scripts address (its database names go to `database`).
    DocumentViewScript& Script() { return script_; }
    void SetDatabaseHost(ScriptObject* database);

    ShellActionPolicy* ShellPolicy() override { return &policy_; }
    std::weak_ptr<void> Lifetime() override { return life_; }

    bool RunCommand(int32_t id) override;
    bool ActivateLink(const String& url) override;
    bool OpenRequest(const String& url, const CommandRecord& record) override;
    bool ReopenWithRecord(const CommandRecord& record) override;
    ScriptObject* OpenTableEntry(const String* name) override;
    uint32_t HistoryMode() override;
    void SetHistoryMode(uint32_t mode) override;
    bool GoToTextPosition(uint32_t position) override;
    bool DispatchWidgetEvent(const String& text, uint32_t argument, String* result) override;
    bool BackToOtherDocument() override;
    bool GoToPage(uint32_t n) override;
    bool StepPage(int32_t step, int32_t, int32_t) override;
    bool GoFirstPage() override;
    bool GoToContents() override;
    bool OpenRandomTableEntry(const String* name) override;
    bool PreviousAnnotation() override;
    bool NextAnnotation() override;
    bool TileWindows(uint32_t vertical, uint32_t skipUnnamed) override;
    bool EditAnnotation(uint32_t n) override;
    bool ChangeFontSize(int32_t step) override;
    bool ShowPopupPage(const String& url, uint32_t kind) override;
    bool ShowNotePopup(uint32_t n) override;
    // move_table(id): a scrollable table of the page is selected or let go.
    bool SetPositionView(uint32_t id) override;
    // move_table(id, step): that table scrolls sideways by the step.
    bool SelectRange(uint32_t id, int32_t step) override;
    bool ShowBusyText(const String& text, uint32_t ms) override;
    bool HistoryBack() override;
    bool HistoryForward() override;
    bool HistoryToLast() override;
    bool ClearHistory() override;
    bool AddToCart(const String& cart, const String& item, const String& extra) override;
    bool RemoveFromCart(const String& cart, uint32_t n) override;
    bool ClearCart(const String& cart) override;
    bool SubmitInteractionsCart(const String& cart, const String& title) override;
    bool WriteCartXml(const String& cart, const String& file) override;

    bool GetSelectionOrLastWord(String& text, String& language) override;
    bool CurrentLocationText(String& href, String& query) override;
    int32_t HistoryPosition() override;
    bool GoToReference(const String& name) override;
    void ShowScriptError() override;

private:
    BookDocumentController* document_;
    ReaderController* reader_;
    AskingShellPolicy policy_;
    DocumentViewScript script_;
    std::shared_ptr<int> life_;
};
