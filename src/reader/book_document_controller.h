// The document controller of a reader window: it keeps the operations a window calls by name and
// forwards them to the rooms it owns (the map is in README.md); what stays here is the current
// document, opening, positions and requests.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "database/book_index_source.h"
#include "document/location/location.h"
#include "reader/document_controller.h"
#include "reader/document_frames.h"
#include "reader/book_forms.h"
#include "reader/book_references.h"
#include "reader/book_scripting.h"
#include "reader/book_side_file.h"
#include "reader/book_speech.h"
#include "reader/custom_links.h"
#include "reader/document_history.h"
#include "reader/document_window_links.h"
#include "reader/page_presentation.h"
#include "reader/page_view_host.h"
#include "reader/picture_opener.h"
#include "reader/record_requests.h"
#include "reader/record_pages.h"
#include "reader/shown_document.h"
#include "reader/special_views.h"

class AnnotationFile;
class DatabaseView;
class Node;
class CommandRecord;
class ScriptObject;
class LinkTarget;
class IndexRecordSet;
class Resource;
class PopupHost;
struct LayoutSettings;

// What is shown and the window's objects are bases, so that the controller's code names them as
// fields; the window's objects are read by anyone who holds the controller.
class BookDocumentController : public DocumentController,
                               public ShownDocument,
                               public DocumentWindowLinks {
public:
    explicit BookDocumentController(ScriptHeap* heap = nullptr);
    ~BookDocumentController() override;
    BookDocumentController(const BookDocumentController&) = delete;
    BookDocumentController& operator=(const BookDocumentController&) = delete;

    // DocumentController.
    bool GetViewRect(Rect& out) override;
    bool GetPageTextSpan(int32_t& top, int32_t& bottom) override;
    bool PageStep(int32_t how, int32_t count, int32_t flags) override;
    void Scroll(int32_t pixels, int32_t mode) override;
    void Refresh() override;
    void HistoryBack() override { HistoryBack(true); }
    uint32_t DocumentLength() override;
    int32_t GetPageStart() override;
    int32_t GetPageNumber() override;
    bool GetTitle(String& out) override;
    // The log is also where submitted forms are kept.
    void SetLogDatabase(SortedRecordDatabase* log) override;
    void SetDocumentLoader(DocumentLoader* loader) override { loader_ = loader; }
    void SetSettings(ReaderSettings* settings) override { settings_ = settings; }
    void SetDrawingSurface(DrawingSurface* surface) override { surface_ = surface; }
    void SetReaderController(ReaderController* controller) override;
    void SetReaderWindow(ReaderWindow* window) override { window_ = window; }
    void SetEventSink(AppShellEvents* sink, uint32_t cookie) override;
    void Shutdown() override;
    bool ExecuteCommand(int32_t id) override;
    void NotifyCommand(int32_t id) override;
    uint32_t ViewMode() const override;
    bool ActivateLink(const String& url) override;
    bool OpenLibrary(const String& path, bool force) override;
    bool OpenWithQuery(const Location& location, uint32_t first, uint32_t second) override;
    bool ViewRequest(uint32_t, uint32_t) override { return false; }
    bool OpenReference(const String& name) override;
    bool BackToOtherDocument() override;
    bool GoToFirstPage() override { return GoToPage(1); }
    bool StepForward() override { return HistoryForward(); }
    bool AskToGoOn() override { return true; }
    const Location* CurrentLocation() const override { return resource_ ? &location_ : nullptr; }
    bool ChangeFontSize(int32_t step) override;
    void SaveViewState() override;
    void ResetViewElement() override;
    void KeepFocusAbove(int32_t top) override;
    bool MarkWordAt(Point p) override;
    bool RunEntryQuery(IndexSource* table, uint32_t entry, const String& query) override;
    bool GetSelection(String& text, uint32_t& start, uint32_t& end) override;
    int64_t CurrentPageValue() override;
    bool GetSelectionLanguage(String& text, uint32_t& language);
    bool AnnotationStartText(uint32_t kind, uint32_t start, uint32_t end, String& out) override;
    AnnotationFile* CurrentAnnotationFile() override { return sideFile_.File(); }
    void ReloadAnnotations() override;
    void NotifyAnnotationChanged(int32_t index) override { NotifyAnnotation(index); }
    bool PageRange(uint32_t& start, uint32_t& end) override;
    bool PageBookmarkText(String& out) override;
    void DeleteHighlightsInSelection() override;
    bool SelectionHoldsHighlight(uint32_t start, uint32_t end) override;
    bool SelectionHoldsImage() override;
    void EnterLinkSourceMode() override;
    bool AddLinkToSelection() override;
    bool OpenSelectedImage() override;
    bool Lookup(int32_t) override { return false; }
    bool PositionText(String& out) override;
    bool Reload() override;
    bool IsCommandEnabled(int32_t id) const override;
    void NotifyAnnotation(int32_t index) override;

    // Start-up: the main window's controller keeps the run marker of this store.
    void SetRunMarkerStore(ConfigurationStore* store) override { runStore_ = store; }
    bool Start(bool documentGiven) override;

    // Opening and the reading position.
    bool NavigateTo(Location& location);
    bool Show(Resource* document, const String& anchor, bool restore);
    bool OpenLocation(const String& anchor, bool fresh, bool notify);
    bool SetDocument(Resource* document);
    void CloseDocument();
    // The path the book's kept checkpoints are named after; false for a book that keeps none.
    bool KeptCheckpointsPath(Text& out) const;
    bool RestoreReadingPosition();
    bool SaveReadingPosition(bool closing) override;

    // History (document_history.h).
    bool SaveHistoryState(HistoryEntry& entry, bool fromLayout);
    bool RestoreHistoryState(HistoryEntry& entry);
    // The link focus a history state carries: the index of the page's current mark (none, or a
    // frame's controller: empty).
    std::vector<uint32_t> LinkFocusPath();
    void RestoreLinkFocus(const std::vector<uint32_t>& path);
    bool PushHistory(bool& pushed);
    bool PushHistoryAndNotify(bool& pushed);
    bool SaveHistoryAtEnd();
    bool StoreHistoryEntry();
    bool HistoryBack(bool libraryFallback);
    bool ReopenLastBook();
    bool HistoryForward();
    bool HistoryToLast();
    uint32_t HistoryPosition() const { return history_.Entries().Position(); }
    void ClearHistory() { history_.Entries().Clear(); }
    bool OpenHistoryEntry(const HistoryEntry& entry, bool repaint);
    NavigationHistory& History() { return history_.Entries(); }

    // Positions; steps as the page layout's (+2 the next page, -1 the previous one). The page
    // reached takes `mark` as its current mark (kNoPageMark: none).
    bool StepPage(PageStepCode step, PageMarkIndex mark = kNoPageMark);
    bool GoToPage(uint32_t n);
    bool GoToLastPage();
    bool GoToPosition(uint32_t position);
    bool ShowFoundText(uint32_t start, uint32_t end);
    bool GoToStart();
    // The book's named references and anchors (book_references.h).
    BookReferences& References() { return refs_; }
    bool GoToContents();

    // The book script (book_scripting.h) and its record set.
    bool RunIndexQuery(RefPtr<IndexRecordSet> query,
                       RecordPosition at = RecordPosition::At(RecordPosition::kBeforeFirst));
    bool OpenIndexQuery(const String& text);
    bool RunWithRecordSet(RefPtr<IndexRecordSet> set, uint32_t entry, const String& script);
    bool ClearGlobalRecordSet();
    BookScripting& Scripting() { return scripting_; }
    bool PerformAction(const LinkTarget* target, uint32_t argument);

    // Layout options and random table entries.
    void GetLayoutOptions(LayoutSettings& out) const;
    bool OpenRandomTableEntry(const String* name);

    // Requests (command records) that open a view, and the record pages (record_pages.h).
    bool OpenWithRequest(Location& location, const CommandRecord& record);
    bool ReopenWithRequest(const CommandRecord& record);
    bool OpenRequest(const CommandRecord& record, bool fresh, bool& viewReplaced,
                     bool& restorePosition, bool notify);
    int64_t ResolvePositionArgument(const String* text);
    ScriptObject* OpenTableEntry(const String* name);
    RecordPages& Records() { return records_; }
    RecordRequests& Requests() { return requests_; }

    // Hardware keys 0-13 and named handlers run the book's key handlers (document_frames.h).
    bool OnHardwareKey(uint32_t index);
    bool RunNamedHandler(const String& name);

    // Frames (document_frames.h).
    DocumentFrames& Frames() { return frames_; }
    // A frame's links move the window's own page; any other controller follows its own.
    BookDocumentController& LinkController();

    // The link-focus keys (1035-1038) past the page's last link step the page.
    bool MoveLinkFocus(uint32_t code, bool endsWithPageBreak, bool noMarkCurrent = false);

    // Forms (book_forms.h).
    BookForms& Forms() { return forms_; }

    // Link targets: frames and reader windows by name (link_targets.cpp).
    DocumentController* ResolveTarget(const String& name);
    DocumentController* OpenNewWindow(String& name, const Rect* r, bool layout, bool topmost);
    bool OpenInTarget(const String& url, const String& target, const Rect* r, bool layout);
    void TileWindows(bool vertical, bool skipUnnamed);
    static Rect TileRect(const Rect& area, int32_t n, int32_t i, bool vertical);

    // Custom links (custom_links.h).
    bool StartLinkFromSelection();
    bool StartLinkFromNote(int32_t note);
    bool MarkLinkTarget();
    bool AddRedirectAnnotation(int32_t& index);
    bool IsWaitingForLinkTarget() const override;
    CustomLinks& Links() { return links_; }

    // Annotations of the current book (book_side_file.h); opening one is a history step.
    bool OpenAnnotation(int32_t index) override;
    bool PageStateForAnnotation(uint32_t& word, uint32_t& position,
                                std::vector<uint8_t>& state) override;
    int32_t PreviousAnnotationIndex();
    int32_t NextAnnotationIndex();
    bool OpenAnnotationLink(int32_t index);
    bool OpenPreviousAnnotation() { return OpenAnnotation(PreviousAnnotationIndex()); }
    bool OpenNextAnnotation() { return OpenAnnotation(NextAnnotationIndex()); }

    // Speech (book_speech.h).
    BookSpeech& Speech() { return speech_; }
    // The page (page_presentation.h): without graphics no layout is made.
    PagePresentation& Page() { return page_; }

    // Pictures and sound (special_views.h).
    SpecialViews& Views() { return views_; }
    bool ShowSoundList(const String& text);
    bool PlayOwnSound();
    bool ActivateObjectAt(Point p);

    // The page and its list pop-ups.
    PopupHost& ListPopupHost();
    bool RestoreListPopup();
    void Invalidate(bool full);
    void PaintPage();

private:
    // What the rooms ask of the controller (controller_sides.h); made before the rooms.
    class PageSide; class FrameSide; class ViewsSide; class RecordsSide;
    class ScriptSide; class NavigationSide; class SpeechSide; class PopupSide;
    struct Sides;
    std::unique_ptr<Sides> sides_;

    // Opening (book_document_controller.cpp).
    bool OpenBuiltInPage(uint32_t id);
    // Says so when the page shown is an HTML frame set and nothing else.
    void TellFramesNotShown();
    void ReportFailure(const Location& location);
    // Replaced views and layouts are parked until the next navigation: the one that asked may
    // still be running.
    void FreeRetired();
    bool ShowRecordSet(const String& anchor);
    void LeaveRecordSet();
    // The list window shown over the page ("oeb:library", "oeb:bookmarks"); null when none.
    const char16_t* ListPageShown() const;

    // The view over the page, the audio place and the bar of the view shown
    // (book_document_controller_media.cpp).
    Node* ViewOverPage() const;
    bool RestoreAudioPosition();
    void ShowBarOfView();

    // The views requests open (book_document_controller_records.cpp).
    bool OpenRequestAt(Location& location, const CommandRecord& record, bool report);
    bool OpenIndexRequest(const CommandRecord& record);
    bool OpenQueryRequest(const CommandRecord& record);
    bool OpenListRequest(const CommandRecord& record);
    bool ShowRequestedView(std::unique_ptr<RecordPages::Tables> tables,
                           std::unique_ptr<DatabaseView> view, const String& location);
    // The word-list and reading-history databases and pages open through requests.
    bool OpenListDatabase(Location& location);
    bool OpenListLocation(const String& anchor);
    bool ExecuteListPageCommand(int32_t id);
    // Where a record page is shown: the window's surface and area, and the settings it reads.
    RecordPages::Place RecordPagePlace();

    // Selects the page's first (last) link and gives the page the keys
    // (document_controller_frames.cpp).
    bool FocusPageLink(bool forward);

    // The rooms, destroyed before what is shown (ShownDocument), in this order's reverse.
    BookSideFile sideFile_;
    PageViewHost viewHost_{*this};
    // Set with the layout options: the pictures pages name by SRC.
    mutable LoaderPictureOpener pictures_;
    PagePresentation page_;
    RecordPages records_;
    RecordRequests requests_;
    DocumentHistory history_;
    BookScripting scripting_;
    BookForms forms_;
    BookSpeech speech_;
    BookReferences refs_;
    SpecialViews views_;
    DocumentFrames frames_;
    CustomLinks links_;
};
