// Book actions and the document view's script face over the window's document controller and
// reader controller: the operations those have today are mapped here; the others answer false
// until the controllers grow them (new windows, annotations, frames).
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "reader/document_view_script.h"
#include "reader/shell_action_policy.h"

class BookDocumentController;
class ReaderController;
class ScriptObject;

class BookActionBridge final : public DocumentScriptHost {
public:
    BookActionBridge(BookDocumentController* document, ReaderController* reader);
    ~BookActionBridge();

    // The script face a book's scripts address (its database names go to `database`).
    DocumentViewScript& Script() { return script_; }
    void SetDatabaseHost(ScriptObject* database);

    ShellActionPolicy* ShellPolicy() override { return &policy_; }
    std::weak_ptr<void> Lifetime() override { return life_; }

    // Runs a form's or control's handler text with `self` as its this object (the forms' owner
    // asks); false when it did not run.
    bool RunHandler(ScriptObject* self, const String& text, String* result);
    // Runs a page mark's script (a table's arrows, a script link) in the book's script context,
    // whose hosts include the script face; false when it does not compile or fails.
    bool RunMarkScript(const String& text);
    // Opens a link a form asked for (a submitted query) from the command queue, after the form
    // and its controls have returned.
    bool OpenLinkLater(const String& text);
    // Whether a script run through the bridge has not returned yet.
    bool ScriptRunning() const { return running_ > 0; }

    bool RunCommand(int32_t id) override;
    bool ActivateLink(const String& url) override;
    bool OpenRequest(const String& url, const CommandRecord& record) override;
    ScriptObject* OpenTableEntry(const String* name) override;
    uint32_t HistoryMode() override;
    uint32_t BookLanguage() override;
    void SetHistoryMode(uint32_t mode) override;
    bool GoToTextPosition(uint32_t position) override;
    bool DispatchWidgetEvent(const String& text, uint32_t argument, String* result) override;
    // The look-up kinds of link in a book page, as the look-up pop-ups do them.
    bool OpenIndexEntry(uint32_t entry, const String& location, uint32_t argument,
                        const String& query) override;
    bool OpenLookupResult(const LinkTarget& target, uint32_t argument, bool byName) override;
    bool AddToWordList(const WordListEntry& entry) override;
    bool BackToOtherDocument() override;
    bool RunNamedAction(uint32_t n) override;
    bool CloseWindow() override;
    bool SetCheckpoint() override;
    // index.seek: the search text of the record-set page shown.
    bool ViewSearchText(const String& text) override;
    bool GoToPage(uint32_t n) override;
    bool StepPage(PageStepCode step, PageMarkIndex mark) override;
    bool GoFirstPage() override;
    bool GoToContents() override;
    bool OpenRandomTableEntry(const String* name) override;
    bool PreviousAnnotation() override;
    bool NextAnnotation() override;
    bool TileWindows(uint32_t vertical, uint32_t skipUnnamed) override;
    bool EditAnnotation(uint32_t n) override;
    // Removes annotation n of the book shown (its note pop-up's "Delete").
    bool DeleteAnnotation(uint32_t n) override;
    bool ChangeFontSize(int32_t step) override;
    bool ShowPopupPage(const String& url, uint32_t kind) override;
    bool ShowNotePopup(uint32_t n) override;
    // move_table(id): a scrollable table of the page is selected or let go.
    bool SetPositionView(uint32_t id) override;
    // move_table(id, step): that table scrolls sideways by the step.
    bool SelectRange(uint32_t id, int32_t step) override;
    bool ShowBusyText(const String& text, uint32_t ms) override;
    bool PlayPlaylist(const String& argument, bool record) override;
    bool StartRecorder() override;
    bool Dial(const String& number) override;
    bool OpenWithAssociatedApp(const String& name, bool, uint32_t, uint32_t) override;
    bool OpenWithApplication(const String& program, const String& parameters) override;
    bool StartWebBrowser(const String& url) override;
    bool GoLastPage() override;
    bool OpenAnnotationLink(uint32_t n) override;
    // bookmarks.goto(location, n): annotation n of that book (the book shown when empty).
    bool OpenAnnotationAt(const String& location, uint32_t n) override;
    // bookmarks.add(x): the selection's text.
    bool SelectionText(String& out) override;
    bool HistoryBack() override;
    bool HistoryForward() override;
    bool HistoryToLast() override;
    bool ClearHistory() override;
    bool AddToCart(const String& cart, const String& item, const String& extra) override;
    bool RemoveFromCart(const String& cart, uint32_t n) override;
    bool ClearCart(const String& cart) override;
    bool SubmitInteractionsCart(const String& cart, const String& title) override;
    bool WriteCartXml(const String& cart, const String& file) override;

    // Speech and the window's playlist; audio.show reopens the book at its audio page.
    void SetSpeechLanguage(uint32_t language) override;
    bool ReadAloud() override;
    bool StartSpeech(const String& text) override;
    bool PlaySoundList(const String& text) override;
    bool StopSound() override;
    bool SetSoundVolume(uint32_t level) override;
    bool PauseAudio() override;
    bool ResumeAudio() override;
    bool PlayTrack(uint32_t track) override;
    bool ReopenWithRecord(const CommandRecord& record) override;
    bool OpenInTarget(const String& url, const String& target, const Rect& rect,
                      bool layout) override;

    bool GetSelectionOrLastWord(String& text, String& language) override;
    bool CurrentLocationText(String& href, String& query) override;
    int32_t HistoryPosition() override;
    bool GoToReference(const String& name) override;
    void ShowScriptError() override;

private:
    // Scripts run through the bridge count as running until they return. A navigation they ask
    // for (it may close the document, its script context and the form control running the
    // script) waits until then and runs once, from the reader's command queue.
    class ScriptRun;
    friend class ScriptRun;
    using Navigation = std::function<bool()>;
    // Runs it now outside a script, else keeps it for the end of the script (true: accepted).
    bool Navigate(Navigation step);
    // Hands the kept navigations on once the outermost script has returned.
    void EndScript();
    // Runs them from the reader's queue (at once without a reader).
    bool RunLater(std::vector<Navigation> steps);

    uint32_t running_ = 0;
    std::vector<Navigation> pending_;
    BookDocumentController* document_;
    ReaderController* reader_;
    AskingShellPolicy policy_;
    DocumentViewScript script_;
    std::shared_ptr<int> life_;
};
