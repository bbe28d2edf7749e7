// What the reader core and the reader controller need of a window's document controller (the
// navigation, history, current document and view side, built separately). The concrete
// controller implements this; it is made through a DocumentControllerFactory the core is given.
// It is also the window's DocumentControllerLink, what the display surface and the widgets ask;
// those answer "no page" until the concrete controller overrides them.
#pragma once

#include <cstdint>
#include <vector>

#include "core/geometry.h"
#include "graphics/core/reader_links.h"

class AnnotationFile;
class AppShellEvents;
class ConfigurationStore;
class DocumentLoader;
class DrawingSurface;
class IndexSource;
class Location;
class ReaderController;
class ReaderSettings;
class ReaderWindow;
class ScriptHeap;
class SortedRecordDatabase;
class String;

class DocumentController : public DocumentControllerLink {
public:
    virtual ~DocumentController() = default;

    // DocumentControllerLink.
    bool GetViewRect(Rect&) override { return false; }
    bool PageStep(int32_t, int32_t, int32_t) override { return false; }
    void Scroll(int32_t, int32_t) override {}
    void Refresh() override {}
    void HistoryBack() override {}
    uint32_t DocumentLength() override { return 0; }
    int32_t GetPageStart() override { return -1; }
    int32_t GetPageNumber() override { return 0; }
    AnnotationFile* GetAnnotationFile() override { return CurrentAnnotationFile(); }
    // The current document's title for the window caption; false when it has none.
    virtual bool GetTitle(String&) { return false; }

    // Wiring by the reader window.
    virtual void SetLogDatabase(SortedRecordDatabase* log) = 0;
    virtual void SetDocumentLoader(DocumentLoader* loader) = 0;
    virtual void SetSettings(ReaderSettings* settings) = 0;
    virtual void SetDrawingSurface(DrawingSurface* surface) = 0;
    virtual void SetReaderController(ReaderController* controller) = 0;
    virtual void SetReaderWindow(ReaderWindow* window) = 0;
    // The main window's controller keeps the run marker of this store; others have none.
    virtual void SetRunMarkerStore(ConfigurationStore* /*store*/) {}
    // The host's event sink (the shell sets the main window's, cookie 0).
    virtual void SetEventSink(AppShellEvents* sink, uint32_t cookie) = 0;
    // Before deletion: clears frames, views and the script context, detaches from the reader
    // controller and closes the current document.
    virtual void Shutdown() = 0;

    // The window part: runs a view command itself or passes it to the current view.
    virtual bool ExecuteCommand(int32_t id) = 0;
    // Every command ends here (the link hook's command notice).
    virtual void NotifyCommand(int32_t id) = 0;
    // 1 reading, 2 and 3 zoomed image modes, 6 audio, 7 none (see the window title rules).
    virtual uint32_t ViewMode() const = 0;
    // The menus' and soft keys' question: whether a command can run now (Back: whether the
    // history has a step back).
    virtual bool IsCommandEnabled(int32_t id) const {
        (void)id;
        return false;
    }

    // Navigation. Each false when nothing was opened.
    virtual bool ActivateLink(const String& url) = 0;
    // The book file at `path` is about to move or go: the document shown lets it go when it is
    // that file (its place and side file saved) and the library takes its place. True when the
    // library was opened.
    virtual bool OpenLibrary(const String& path, bool force);
    virtual bool OpenWithQuery(const Location& location, uint32_t first, uint32_t second) = 0;
    virtual bool ViewRequest(uint32_t first, uint32_t second) = 0;
    // A reference of the current document ("start", "toc", "$cover").
    virtual bool OpenReference(const String& name) = 0;
    virtual bool BackToOtherDocument() = 0;
    virtual bool GoToFirstPage() = 0;
    // One step forward in the history.
    virtual bool StepForward() = 0;
    // The link hook's say before going on; false refuses.
    virtual bool AskToGoOn() = 0;
    // The current document's location; null when none.
    virtual const Location* CurrentLocation() const = 0;
    virtual bool ChangeFontSize(int32_t step) = 0;
    // Relays out with the current settings, keeping the reading position.
    virtual void SaveViewState() = 0;
    virtual void ResetViewElement() = 0;
    // The input panel now covers the window from `top` down (window coordinates): a focused
    // field of the page below it is brought up into view.
    virtual void KeepFocusAbove(int32_t top) { (void)top; }
    // Shows the word under a point of the page selected, until the view element is reset;
    // false when there is no such word.
    virtual bool MarkWordAt(Point /*p*/) { return false; }
    // An index entry opened with a query: the entry of the table is published as the book
    // script's record set, the query text runs as a script of the page, then the record set is
    // withdrawn. False when the record set could not be published (nothing ran).
    virtual bool RunEntryQuery(IndexSource* /*table*/, uint32_t /*entry*/,
                               const String& /*query*/) {
        return false;
    }

    // The selection: its text and range; false (range 0, 0) when there is none.
    virtual bool GetSelection(String& text, uint32_t& start, uint32_t& end) = 0;
    // The page layout's value for the current page; -1 when unknown.
    virtual int64_t CurrentPageValue() = 0;
    // The text a new annotation's dialog starts from.
    virtual bool AnnotationStartText(uint32_t kind, uint32_t start, uint32_t end, String& out) = 0;
    // The current book's side file (the loader's registered one); null when none.
    virtual AnnotationFile* CurrentAnnotationFile() = 0;
    // After annotations changed behind the view.
    virtual void ReloadAnnotations() = 0;
    // The link hook's notice of an edited annotation.
    virtual void NotifyAnnotationChanged(int32_t index) = 0;
    // The window's event sink hears of an annotation of the current book made, changed or
    // deleted (the shell then keeps the side file on the device).
    virtual void NotifyAnnotation(int32_t /*index*/) {}
    // The page shown, as a new annotation keeps it: its number, start and saved state, so that
    // opening the annotation brings back that page. False when no page is shown.
    virtual bool PageStateForAnnotation(uint32_t& word, uint32_t& position,
                                        std::vector<uint8_t>& state) {
        (void)word;
        (void)position;
        (void)state;
        return false;
    }
    // Opens annotation `index` of the current book on the page it was made on; false when
    // there is none.
    virtual bool OpenAnnotation(int32_t index) {
        (void)index;
        return false;
    }
    // The start positions of the current page and of the page two on; false when unknown.
    virtual bool PageRange(uint32_t& start, uint32_t& end) = 0;
    // The text of a bookmark made on the current page without a selection.
    virtual bool PageBookmarkText(String& out) = 0;
    virtual void DeleteHighlightsInSelection() = 0;
    // What the tap pop-up offers for a selection: whether highlights meet the range, and
    // whether the selection holds a picture.
    virtual bool SelectionHoldsHighlight(uint32_t start, uint32_t end) {
        (void)start;
        (void)end;
        return false;
    }
    virtual bool SelectionHoldsImage() { return false; }
    // Whether "Add link" was chosen and the link waits for its target.
    virtual bool IsWaitingForLinkTarget() const { return false; }
    // Link-source mode for "Add link" / "Set link target"; true when the link was added.
    virtual void EnterLinkSourceMode() = 0;
    virtual bool AddLinkToSelection() = 0;
    virtual bool OpenSelectedImage() = 0;
    virtual bool Lookup(int32_t command) = 0;
    // Position, book identifier and title for command 120; false when there is no position.
    virtual bool PositionText(String& out) = 0;
    // Reopens the current document (after a cart changed).
    virtual bool Reload() = 0;

    // Run once when the window is shown: opens the first document (the last book, else the
    // library) unless a document was given on the command line. True when something was opened.
    virtual bool Start(bool documentGiven) {
        (void)documentGiven;
        return false;
    }
    // Writes the reading position into the current book's side file (the frame asks when the
    // window loses the screen); false when there was nothing to write.
    virtual bool SaveReadingPosition(bool closing) {
        (void)closing;
        return false;
    }
};

// Makes the document controller of a window (with the core's script heap); null on failure.
class DocumentControllerFactory {
public:
    virtual DocumentController* CreateDocumentController(ScriptHeap* heap) = 0;

protected:
    ~DocumentControllerFactory() = default;
};
