// The document controller of a reader window: it opens what a link names (a book at its right
// page, the reader's own pages), keeps the navigation history with its back and forward rules,
// the current document with its side file, and saves the reading position into that side file.
// Pages are laid out by the document's page layout, when the layout engine provides one.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/random.h"
#include "database/book_index_source.h"
#include "document/forms/form_list.h"
#include "document/location/location.h"
#include "layout/page_canvas.h"
#include "core/ref_counted.h"
#include "reader/document_controller.h"
#include "reader/document_frames.h"
#include "reader/book_forms.h"
#include "reader/book_side_file.h"
#include "reader/custom_links.h"
#include "reader/document_history.h"
#include "reader/page_presentation.h"
#include "reader/page_view_host.h"
#include "reader/picture_opener.h"
#include "reader/image_view.h"
#include "reader/record_requests.h"
#include "reader/record_pages.h"
#include "reader/special_views.h"
#include "reader/speech_bridge.h"
#include "reader/speech_chunker.h"

class AnnotationFile;
class CommandRecord;
class DatabaseView;
class ScriptObject;
class AudioPlayerView;
class BookActionBridge;
class ConfigurationStore;
class LinkTarget;
class GraphicsContext;
class IndexRecordSet;
class LayoutEngineFactory;
class DatabaseScriptHost;
class ScriptContext;
class PageLayout;
class Resource;
struct LayoutSettings;

// The book's key handlers (links named by their NAME attribute, collected with the frame set).
class BookKeyHandlers {
public:
    // Runs the action of the first handler of that name; false when the book has none.
    virtual bool RunKeyHandler(const String& name) = 0;

protected:
    ~BookKeyHandlers() = default;
};

class ListPopup;
class PopupHost;

class BookDocumentController : public DocumentController {
public:
    explicit BookDocumentController(ScriptHeap* heap = nullptr);
    ~BookDocumentController() override;
    BookDocumentController(const BookDocumentController&) = delete;
    BookDocumentController& operator=(const BookDocumentController&) = delete;

    // The special views a location string may name; kTextPage is the book's laid-out text.
    enum View : uint32_t {
        kTextPage = 0,
        kRecordSetView = 2,
        kImageView = 5,
        kAudioView = 6,
        kCoverView = 7,
        // The word-list and search-history pages (their view modes are 4 and 5).
        kWordListView = 8,
        kSearchHistoryView = 9
    };

    // DocumentControllerLink.
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
    void SetLogDatabase(SortedRecordDatabase* log) override {
        log_ = log;
        forms_.SetDataStore(log);
    }
    void SetDocumentLoader(DocumentLoader* loader) override { loader_ = loader; }
    void SetSettings(ReaderSettings* settings) override { settings_ = settings; }
    ReaderSettings* Settings() const { return settings_; }
    void SetDrawingSurface(DrawingSurface* surface) override { surface_ = surface; }
    // The window's reader controller; its word-list and search-history pages become this
    // controller's list pages.
    void SetReaderController(ReaderController* controller) override;
    void SetReaderWindow(ReaderWindow* window) override { window_ = window; }
    void SetEventSink(AppShellEvents* sink, uint32_t cookie) override {
        sink_ = sink;
        cookie_ = cookie;
    }
    void Shutdown() override;

    bool ExecuteCommand(int32_t id) override;
    void NotifyCommand(int32_t id) override;
    uint32_t ViewMode() const override;

    bool ActivateLink(const String& url) override;
    // Without a request (0, 0) the location opens as a followed link does: at its right page,
    // as a step in the history. Requests are not answered here.
    bool OpenWithQuery(const Location& location, uint32_t first, uint32_t second) override;
    bool ViewRequest(uint32_t, uint32_t) override { return false; }
    bool OpenReference(const String& name) override;
    bool BackToOtherDocument() override;
    bool GoToFirstPage() override { return GoToPage(1); }
    // Forward in the history (the page keys turn pages).
    bool StepForward() override { return HistoryForward(); }
    bool AskToGoOn() override { return true; }
    const Location* CurrentLocation() const override { return resource_ ? &location_ : nullptr; }
    // Steps the settings' font size; the page is laid out anew at the same text. Always true.
    bool ChangeFontSize(int32_t step) override;
    void SaveViewState() override;
    void ResetViewElement() override;
    bool MarkWordAt(Point p) override;
    bool RunEntryQuery(IndexSource* table, uint32_t entry, const String& query) override;
    bool GetSelection(String& text, uint32_t& start, uint32_t& end) override;
    int64_t CurrentPageValue() override;
    // The selection's text and its language code (0 when the page names none).
    bool GetSelectionLanguage(String& text, uint32_t& language);
    // A highlight and a modification start from the selected text; a note from nothing.
    bool AnnotationStartText(uint32_t kind, uint32_t start, uint32_t end, String& out) override;
    AnnotationFile* CurrentAnnotationFile() override { return sideFile_.File(); }
    void ReloadAnnotations() override;
    // The shell keeps the side file with the annotation on the device.
    void NotifyAnnotationChanged(int32_t index) override { NotifyAnnotation(index); }
    bool PageRange(uint32_t& start, uint32_t& end) override;
    bool PageBookmarkText(String& out) override;
    // Deletes the highlights that meet the selection, after resetting the view.
    void DeleteHighlightsInSelection() override;
    bool SelectionHoldsHighlight(uint32_t start, uint32_t end) override;
    bool SelectionHoldsImage() override;
    // "Add link": the link starts at the selection, else at the first note of the page.
    void EnterLinkSourceMode() override;
    // "Set link target": the selection (else the page) becomes the target and the link is
    // added to the source's side file.
    bool AddLinkToSelection() override;
    // The picture of the selection, opened as an image view.
    bool OpenSelectedImage() override;
    bool Lookup(int32_t) override { return false; }
    bool PositionText(String& out) override;
    bool Reload() override;

    // The main window's controller keeps the run marker of this store (others leave it alone).
    void SetRunMarkerStore(ConfigurationStore* store) { runStore_ = store; }
    // Opens the first document: the last book unless a document was given, the previous run
    // ended abnormally or the library is wanted at start-up; else the library.
    bool Start(bool documentGiven) override;

    // The page layout measures with this context (the page view's); without one no layout is
    // made and positions are unknown.
    void SetLayoutGraphics(GraphicsContext* gc, const Rect& viewport) {
        page_.SetGraphics(gc, viewport);
    }

    // Opening.
    bool NavigateTo(Location& location);
    bool Show(Resource* document, const String& anchor, bool restore);
    bool OpenLocation(const String& anchor, bool fresh, bool notify);
    bool SetDocument(Resource* document);
    void CloseDocument();
    bool RestoreReadingPosition();
    // Writes the reading position (text or audio) and the form state into the side file.
    bool SaveReadingPosition(bool closing) override;

    // History.
    bool SaveHistoryState(HistoryEntry& entry, bool fromLayout);
    bool RestoreHistoryState(HistoryEntry& entry);
    bool PushHistory(bool& pushed);
    bool PushHistoryAndNotify(bool& pushed);
    bool SaveHistoryAtEnd();
    bool StoreHistoryEntry();
    bool HistoryBack(bool libraryFallback);
    // Opens the book the settings name as the last one read (no box when it has gone); false
    // when none opened.
    bool ReopenLastBook();
    bool HistoryForward();
    bool HistoryToLast();
    uint32_t HistoryPosition() const { return history_.Entries().Position(); }
    void ClearHistory() { history_.Entries().Clear(); }
    bool OpenHistoryEntry(const HistoryEntry& entry, bool repaint);
    NavigationHistory& History() { return history_.Entries(); }

    // Positions. Steps as the page layout's: +2 the next page, -1 the previous one.
    bool StepPage(int32_t step);
    bool GoToPage(uint32_t n);
    bool GoToLastPage();
    bool GoToPosition(uint32_t position);
    // Goes to a found text and shows it selected.
    bool ShowFoundText(uint32_t start, uint32_t end);
    bool GoToStart();
    // The book's guide reference n (document.goto_guide); false when the book has none.
    bool RunGuideEntry(uint32_t index);
    bool GoToContents();

    // Record sets for the book script: the query's result becomes its "__global_recordset".
    // RunIndexQuery takes over the set's reference.
    bool RunIndexQuery(IndexRecordSet* query,
                       RecordPosition at = RecordPosition::At(RecordPosition::kBeforeFirst));
    bool OpenIndexQuery(const String& text);
    // The set (its reference taken over), standing on the entry, is the record set while the
    // script runs.
    bool RunWithRecordSet(IndexRecordSet* set, uint32_t entry, const String& script);
    bool ClearGlobalRecordSet();
    // The book script's context (made on first use over the window's script heap), with the
    // form list and the controller's script face as its host objects.
    ScriptContext* BookScript();
    // What book actions and scripts reach the controller and the reader through; null without
    // a script heap.
    BookActionBridge* Actions();
    // Runs a link's action (a script, a reader command, an entry to open); false when nothing
    // was done.
    bool PerformAction(const LinkTarget* target, uint32_t argument);

    // What the page layout is configured with: the settings' font size, text and link colours
    // and whether links are underlined, the document, its location and the log database.
    void GetLayoutOptions(LayoutSettings& out) const;
    // A random entry of an index table ("table=" + name; the default special table without a
    // name): its text position is shown. False when the table is missing or empty.
    bool OpenRandomTableEntry(const String* name);
    void SeedRandom(uint64_t seed) { random_.Seed(seed); }

    // Requests (command records) that open a view. The location's document is made current and
    // the request decides the view; a failure closes the document and reports it.
    bool OpenWithRequest(Location& location, const CommandRecord& record);
    // The current document again, with a request.
    bool ReopenWithRequest(const CommandRecord& record);
    // The view a request asks for over the current document; false for a method that opens
    // nothing or a view that cannot be made. fresh: the document was just made current.
    bool OpenRequest(const CommandRecord& record, bool fresh, bool& viewReplaced,
                     bool& restorePosition, bool notify);
    // A decimal text position, or a named target's; no text: the current page's start. -1
    // when unknown.
    int64_t ResolvePositionArgument(const String* text);
    // The record set of the "table=" + name index query (the default table without a name)
    // as a new script object over this book; null when there is no such table.
    ScriptObject* OpenTableEntry(const String* name);
    // Word-list and search-history requests are answered by these pages; without them they
    // fail. Opened index entries are added to their search history.
    void SetListPages(ListPageRequests* pages) { records_.SetListPages(pages); }
    // Where an entry's tag 41 finds the other book; without it such entries only report.
    void SetLinkedBooks(LinkedBooks* books) { records_.SetLinkedBooks(books); }
    // The native search fields of record-set pages; without a factory the pages draw their own.
    void SetSearchFieldFactory(SearchFieldFactory* fields) { records_.SetSearchFields(fields); }
    // What the last audio request (134) asked the audio view to play.
    const AudioRequest& RequestedAudio() const { return audioRequest_; }

    // The menus' and soft keys' question: whether a command can run now.
    bool IsCommandEnabled(int32_t id) const override;

    // Hardware keys 0-13 run the book's handler of the key's name ("key0".."key_next"): the
    // first link of that name that the frame set collected (or those of a handler list set).
    static const char16_t* HardwareKeyName(uint32_t index);
    bool OnHardwareKey(uint32_t index);
    // Runs the book's handler of that name ("find", a key's name); false when it has none.
    bool RunNamedHandler(const String& name);
    void SetKeyHandlers(BookKeyHandlers* handlers) { keyHandlers_ = handlers; }
    // Tells the window's event sink that annotation `index` was made, changed or deleted.
    void NotifyAnnotation(int32_t index) override;
    // The collected key handlers and the texts of their links.
    const std::vector<RefPtr<LinkTarget>>& KeyHandlerLinks() const { return frames_.KeyLinks(); }
    const std::vector<String>& KeyHandlerTexts() const { return frames_.KeyTexts(); }

    // Frames. After every open and page move the frameset at the page start is asked for; the
    // frames are rebuilt when it changed (other frames show the book from their own positions,
    // each through a controller of its own). Without one the window has the single frame
    // "_main". True when the frames changed.
    bool UpdateFrames() { return frames_.Update(); }
    Frame& RootFrame() { return frames_.Root(); }
    DocumentFrames& Frames() { return frames_; }
    // The controllers of the frames shown beside this one (not the spares).
    size_t FrameControllerCount() const { return frames_.ControllerCount(); }
    BookDocumentController* FrameControllerAt(size_t i) const { return frames_.ControllerAt(i); }
    // On a frame's controller: the text position its frame begins at; 0 on the window's own.
    uint32_t FramePosition() const { return frames_.Position(); }
    // Where the links of this controller's page are followed: a frame shows a fixed part of
    // the window's book, so its links move the window's own page; any other controller
    // follows its own.
    BookDocumentController& LinkController();
    // The window part a frame holds (the frame's page view element lies in it).
    Node* FrameWindow() { return frames_.PartIfMade(); }
    bool IsFrame() const { return frames_.IsFrame(); }

    // The link-focus keys (1035-1038) when the page has no further link that way: the page
    // steps and the focus kind records the direction (2 forward, 3 backward). While no link of
    // the page has the focus, the page's first (last) link takes it before anything steps.
    enum FocusKind : uint32_t { kFocusNone = 0, kFocusArea = 1, kFocusForward = 2, kFocusBackward = 3 };
    bool MoveLinkFocus(uint32_t code, bool endsWithPageBreak, bool noMarkCurrent = false);
    FocusKind LinkFocusKind() const { return focusKind_; }

    // The forms of the window's pages (their values go to and from the book's side file).
    FormList& Forms() { return forms_.List(); }
    // Form values: read from the side file when a book becomes current, written with the
    // reading position. Without a side file there is nothing to read (true).
    bool RestoreFormState();
    bool SaveFormState();
    // Set for documents whose form values are neither restored nor saved.
    void SetNoForms(bool on) { forms_.SetNoForms(on); }

    // Link targets. "_blank" names a new window; "_top", "_self" and "" this controller; any
    // other name the controller of the reader window of that name (null when none has it).
    DocumentController* ResolveTarget(const String& name);
    // A reader window for a target ("_blank" gets a made-up name, written back); without a
    // rectangle a quarter of the work area. Null when none is made: the main window, whose
    // controller has the shell's event sink, opens none.
    DocumentController* OpenNewWindow(String& name, const Rect* r, bool layout, bool topmost);
    // Opens the URL (relative to this document) in the target's frame or window. A window
    // opened for it closes again when nothing opened there.
    bool OpenInTarget(const String& url, const String& target, const Rect* r, bool layout);
    // The reader windows side by side (one below the other when vertical), over the work area.
    void TileWindows(bool vertical, bool skipUnnamed);
    // Window i of n when the area is shared that way.
    static Rect TileRect(const Rect& area, int32_t n, int32_t i, bool vertical);

    // Custom links. Kind 2 starts at the selected text (a new link annotation over it), kind 1
    // at a note, to which the link is added. The target is the state shown when it is marked;
    // a target in another book is named by "oeb:redirect?title=" and its database name.
    enum LinkKind : uint32_t { kLinkNone = 0, kLinkFromNote = 1, kLinkFromSelection = 2 };
    bool StartLinkFromSelection();
    bool StartLinkFromNote(int32_t note);
    bool MarkLinkTarget();
    // Adds the pending link to the source's side file; index receives the annotation. A
    // failure leaves the side file as it was (a note keeps its text and link).
    bool AddRedirectAnnotation(int32_t& index);
    bool IsWaitingForLinkTarget() const override {
        return links_.Pending() != CustomLinks::kNone;
    }
    // The text a link to the marked target carries ("##-pos" and the page start within the
    // book, else the redirect by the target's database name).
    bool LinkTextForTarget(String& out) const;

    // Annotations of the current book. Opening one shows the page it was made on (one made
    // without that page, or whose page no longer shows it, gets the page that starts at it; the
    // history records the step); false without a side file or such an annotation.
    bool OpenAnnotation(int32_t index) override;
    bool PageStateForAnnotation(uint32_t& word, uint32_t& position,
                                std::vector<uint8_t>& state) override;
    // The last annotation before the current page (else the book's last) and the first past
    // its end (else the book's first): -1 when the book has none.
    int32_t PreviousAnnotationIndex();
    int32_t NextAnnotationIndex();
    // The place an annotation links to (a note, modification or custom link carrying a link),
    // opened as a history step; false when it has none or it cannot be opened.
    bool OpenAnnotationLink(int32_t index);
    bool OpenPreviousAnnotation() { return OpenAnnotation(PreviousAnnotationIndex()); }
    bool OpenNextAnnotation() { return OpenAnnotation(NextAnnotationIndex()); }

    // Speech. The client is made on first use through the factory (none: speech does nothing)
    // and goes with the document.
    void SetSpeechFactory(SpeechOutputFactory* factory) { speechFactory_ = factory; }
    // Speech through a speech client (the shell's plug-in); null leaves speech doing nothing.
    void SetSpeechClients(SpeechClientFactory* clients);
    // 0 speaks in the book's language.
    void SetSpeechLanguage(uint32_t language) { speechLanguage_ = language; }
    // A given text (a book script's).
    bool StartSpeech(const String& text);
    // The book from a text position, one chunk at a time; continuing goes on where the last
    // chunk ended. False when nothing was spoken.
    bool SpeakText(bool continuing, uint32_t position);
    void StopSpeech();
    void PauseSpeech();
    bool IsSpeaking();
    void DestroySpeech();

    // The string naming the view shown: "" for the text page, "$cover", "$audio", "$3".
    const String& CurrentString() const { return current_; }
    View CurrentView() const { return view_; }
    PageLayout* Layout() const { return page_.Layout(); }
    // The generated page shown; null outside one.
    RecordSetPage* RecordSet() const { return records_.Page(); }
    // The picture shown full screen; null outside one (and outside a window).
    ImageView* Picture() const { return views_.Picture(); }
    // The audio page ("$audio") over the window's playlist; null outside it.
    AudioPlayerView* AudioView() const;
    // The window's playlist, its tracks opened from this document: plays the first track
    // (paused or not); false when the list or the play failed. StopSound empties it.
    bool PlaySoundList(const String& text, bool paused);
    void StopSound();
    // The audio page over a playlist (a book script's audio.show); false when not shown.
    bool ShowSoundList(const String& text);
    // A picture or sound file opened by itself (not a book or a text).
    static bool IsMediaFile(Resource* document);
    // A media file that holds Ogg sound (else it is taken as a picture).
    static bool IsSoundFile(Resource* document);
    // The audio page of a sound file plays the file itself.
    bool PlayOwnSound();
    // A tap on the text page: a picture shown reduced there opens full screen (true).
    bool ActivateObjectAt(Point p);
    // The page view element over the layout; null without one.
    PositionViewElement* PageView() const { return page_.View(); }
    ReaderController* Reader() const { return reader_; }
    // What list pop-ups over the page ask of the controller: the pop-up area, their links, and
    // keeping their state with the page's view state.
    PopupHost& ListPopupHost();
    // The list pop-up kept with the current page's view state, shown again; false when the
    // page keeps none.
    bool RestoreListPopup();
    ListPopup* RestoredListPopup() const { return listPopup_.get(); }
    // Asks the drawing surface to repaint.
    void Invalidate(bool full);
    // Draws the current page into the drawing surface (from its repaint).
    void PaintPage();
    Resource* Document() const { return resource_; }
    // The messages a failed open showed (string ids), for the window's message box.
    const std::vector<uint32_t>& Reports() const { return reports_; }
    const String& LastReportText() const { return lastReport_; }

private:
    // The library or the annotations list is shown in the page's place.
    bool ListWindowShown() const;
    bool OpenBuiltInPage(uint32_t id);
    bool ShowLibraryOrBookmarks(uint32_t id);
    void ReportFailure(const Location& location);
    bool LookupReference(const char16_t* name, int32_t length, String& link);
    // A '#' name: a target record of the book (its link), a NAME or ID in the markup (its
    // text position), or nothing.
    enum AnchorTarget { kAnchorNone, kAnchorReference, kAnchorInText };
    AnchorTarget ResolveAnchorName(const String& anchor, String& link, uint32_t& position);
    // False only for a '#' name that neither the book's records nor its markup know.
    bool AnchorFound(const String& anchor);
    bool RunReference(const char16_t* name, int32_t length);
    bool RunReferenceLink(const String& link);
    void TakeOwnSideFile();
    // Replaced page views and layouts are parked, not deleted: the view that asked for the
    // navigation may still be running. They go at the start of the next navigation.
    void FreeRetired();
    bool SaveAudioPosition();
    // A generated page ("$fvtsql", "$fvtindex", "$fvtideo") over the document's tables; false
    // when the link names none.
    bool ShowRecordSet(const String& anchor);
    void LeaveRecordSet();
    // The view shown in the page's place (cover, picture, audio page, record set); null on the
    // text page.
    Node* ViewOverPage() const;
    // Places that view anew when the surface's area changed (the screen turned).
    void FitViewOverPage();
    // The audio page's place (track, second and playlist) in the side file and the history.
    bool WriteAudioPosition();
    bool RestoreAudioPosition();
    bool SaveAudioState(HistoryEntry& entry);
    bool RestoreAudioState(HistoryEntry& entry, ByteStream& stream);
    // View commands of the image and audio pages; false when the page shown has no such one.
    bool ExecuteMediaCommand(int32_t id);
    // Commands 91-100 and 104 on the word-list and search-history pages.
    bool ExecuteListPageCommand(int32_t id);
    bool MediaCommandEnabled(int32_t id) const;
    // A page of another kind (text, picture, audio) shown: the window shows that page's bar.
    void ShowBarOfView();
    uint32_t barMode_ = 0;
    // What the record-set page asks; navigation leaves the page to be deleted later.
    bool OpenEntryPosition(IndexSource* table, uint32_t entry, int64_t position);
    bool OpenDocumentLocation(const String& location);
    bool OpenNumberedEntry(IndexSource* table, int32_t tableNumber, uint32_t entry,
                           int64_t position);
    bool RunEntryScript(IndexRecordSet* set, int32_t tableNumber, uint32_t entry,
                        const String& script);
    bool OpenEntryInBook(uint32_t book, int64_t position, int32_t tableNumber, uint32_t entry);
    bool OpenQueryPageRequest(const String& query, const String& title, int32_t stateWord,
                              const String& viewName, uint32_t flags);
    void ShowPreviewPosition(int64_t position);
    void HideInputPanel();
    // Where a generated page is shown: the window's area, the remembered search, the preview.
    RecordPages::Place RecordPagePlace();
    // Requests, in book_document_controller_records.cpp.
    bool OpenRequestAt(Location& location, const CommandRecord& record, bool report);
    bool OpenIndexRequest(const CommandRecord& record);
    bool OpenQueryRequest(const CommandRecord& record);
    bool OpenListRequest(const CommandRecord& record);
    // The word-list and reading-history databases open as their pages (requests 109, 115).
    static bool IsListDatabase(const Location& location);
    bool OpenListDatabase(Location& location);
    // "$fvtwordlist&<n>" and "$fvtsearchhistory" (a list page reopened from the history).
    static bool IsListPageLink(const String& anchor);
    bool OpenListLocation(const String& anchor);
    // Leaves the word-list page and the record-set page's preview.
    void LeaveRequestPages();
    // The link areas of this controller's current page; null without a laid-out text page.
    AreaArray* PageLinkAreas();
    // Selects the first (last) link of the page and gives the page the keys.
    bool FocusPageLink(bool forward);

    // What the roles ask of each other, answered by this controller; before the roles.
    class Wiring;
    std::unique_ptr<Wiring> wiring_;
    ScriptHeap* heap_ = nullptr;
    SortedRecordDatabase* log_ = nullptr;
    DocumentLoader* loader_ = nullptr;
    ReaderSettings* settings_ = nullptr;
    DrawingSurface* surface_ = nullptr;
    struct ListPopupHostPart;
    std::unique_ptr<ListPopupHostPart> popupHost_;
    std::unique_ptr<ListPopup> listPopup_;
    ReaderController* reader_ = nullptr;
    ReaderWindow* window_ = nullptr;
    AppShellEvents* sink_ = nullptr;
    uint32_t cookie_ = 0;
    ConfigurationStore* runStore_ = nullptr;

    Resource* resource_ = nullptr;
    Location location_;
    String current_;
    View view_ = kTextPage;
    BookSideFile sideFile_;
    PageViewHost viewHost_{*this};
    // The pictures pages name by SRC, read through the loader (set with the layout options).
    mutable LoaderPictureOpener pictures_;
    // The laid-out page: layout, page view element, the node that paints it.
    PagePresentation page_;
    // A request's view over those tables as the page shown, named by its location.
    bool ShowRequestedView(std::unique_ptr<RecordPages::Tables> tables,
                           std::unique_ptr<DatabaseView> view, const String& location);
    RecordPages records_;
    AudioRequest audioRequest_;
    DocumentHistory history_;
    // After a failed restore the fallback page is not saved over the stored position until the
    // reader moves.
    bool keepStoredPosition_ = false;
    // The shell is told once that a newly set document is shown.
    bool readyNoticePending_ = false;
    std::vector<uint32_t> reports_;
    String lastReport_;
    int32_t contentsDepth_ = 0;
    // What the book script's sql_execute and OpenDatabase reach: the databases through the
    // loader and the tables of the document shown. Before the context, which goes first.
    class Databases;
    std::unique_ptr<Databases> databases_;
    std::unique_ptr<DatabaseScriptHost> databaseHost_;
    // Before the context: the context goes first, while its host objects still stand.
    std::unique_ptr<BookActionBridge> actions_;
    std::unique_ptr<ScriptContext> script_;
    BookKeyHandlers* keyHandlers_ = nullptr;
    BookForms forms_;
    ReaderWindow* OpenTargetWindow(String& name, const Rect* r, bool layout, bool topmost);
    // Stops speech and makes the client ready in a read mode; false when none is loaded.
    bool PrepareSpeech(uint32_t mode);
    // Before the output: the client made through it keeps it as its listener.
    std::unique_ptr<SpeechClientBridge> speechBridge_;
    SpeechOutputFactory* speechFactory_ = nullptr;
    std::unique_ptr<SpeechOutput> speech_;
    uint32_t speechLanguage_ = 0;
    FocusKind focusKind_ = kFocusNone;
    Random random_;

    // The cover, picture and audio pages shown in the text page's place.
    SpecialViews views_;
    // Frames: the frame set of the window (or this frame's place in it).
    DocumentFrames frames_;

    // A custom link in progress: its source and, once marked, its target.
    CustomLinks links_;
    // The state shown, for a link's end (the history's mark for its next entry stays).
    bool SaveLinkState(HistoryEntry& entry);
};

// Makes the reader's document controllers. While no other page layout engine is installed it
// installs the reader's own (plain page layouts, which keep their book's traits).
class BookDocumentControllerFactory : public DocumentControllerFactory {
public:
    BookDocumentControllerFactory();
    ~BookDocumentControllerFactory();
    BookDocumentControllerFactory(const BookDocumentControllerFactory&) = delete;
    BookDocumentControllerFactory& operator=(const BookDocumentControllerFactory&) = delete;
    DocumentController* CreateDocumentController(ScriptHeap* heap) override;
    // Every controller made from now on speaks through these clients.
    void SetSpeechClients(SpeechClientFactory* clients) { speechClients_ = clients; }
    // ... and types into these search fields on record-set pages.
    void SetSearchFields(SearchFieldFactory* fields) { searchFields_ = fields; }

private:
    std::unique_ptr<LayoutEngineFactory> engine_;
    SpeechClientFactory* speechClients_ = nullptr;
    SearchFieldFactory* searchFields_ = nullptr;
};
