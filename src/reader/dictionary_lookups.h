// The reader's look-up room: the tap on a page (the default tap action or the tap pop-up menu,
// and the word it found), dictionary look-ups from the tapped word or the selection, the pop-ups
// and pages that show their results, the opening of dictionary entries, the search history and
// the word-list and history pages. The ReaderController owns one (its Lookups()) and forwards
// to it the look-ups it is known by; everything this room needs of the window it asks through LookupHost.
//
// Owns: the dictionary catalogue pointer and the cached "can look up" answers, the last tapped
// word and its language, where the tap and the tapped word's box were, whether the word stays
// marked on the page, a look-up pop-up's link waiting for its event to end, the search history,
// the list pages and the book-action bridge that performs the pop-ups' other links.
//
// Re-entrancy: a look-up pop-up's link is never performed from inside the pop-up's own event
// handler. Opening an entry may replace the document and the pop-up with it, so the link is
// kept and performed from a zero-delay timer once the event is over; nothing of the room is
// touched after the link ran (it may go with the window).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/geometry.h"
#include "core/ref_counted.h"
#include "core/string.h"
#include "core/timer_list.h"
#include "document/sources/loader_adapters.h"
#include "document/sources/loader_database_opener.h"
#include "graphics/widgets/text_box.h"
#include "platform/types.h"
#include "reader/book_actions.h"

class BookActionBridge;
class BookDocumentController;
class DictionaryCatalogue;
class DocumentController;
class DocumentLoader;
class HistoryTable;
class IndexEntryReader;
class IndexSource;
class LinkTarget;
class Location;
class LookupListPages;
class LookupPopup;
class QueuedCall;
class ReaderShell;
class TextPopup;
class WordListAdder;
struct DictionaryTables;
struct IndexPosition;
struct LoadedDictionary;
struct LookupEntry;
struct LookupMatch;

// What the look-up room asks of the window it works in.
class LookupHost {
public:
    // Null before the window sets them.
    virtual DocumentController* Document() = 0;
    virtual DocumentLoader* Loader() = 0;
    virtual TimerList& Timers() = 0;
    // A text pop-up over the drawing surface whose links the owner performs; null without a
    // surface or a pop-up factory.
    virtual std::unique_ptr<TextPopup> CreatePopup(TextBoxOwner* owner) = 0;
    // The window's one page pop-up: the one shown (null when none), hiding it, and keeping a
    // shown one in its place.
    virtual TextPopup* PagePopup() = 0;
    virtual void HidePopupPage() = 0;
    virtual void KeepPopupPage(std::unique_ptr<TextPopup> popup) = 0;
    // The area pop-ups keep clear; where centred ones go; the surface's whole client area
    // (false without a surface).
    virtual Rect PopupRect() = 0;
    virtual Rect CentredPopupArea() = 0;
    virtual bool ClientArea(Rect& area) = 0;
    virtual bool ShowBusyPopup(uint32_t stringId) = 0;
    // Runs a command now, or from the command queue.
    virtual void RunCommand(int32_t id) = 0;
    virtual int32_t PostCommand(int32_t id) = 0;
    virtual bool PostCall(std::unique_ptr<QueuedCall> call) = 0;
    // The bookmark in the current page range, -1 when none.
    virtual int32_t BookmarkAtPage() = 0;
    // The default tap action of the settings (0 without settings).
    virtual uint32_t TapAction() = 0;
    // The dictionary chosen in the options (its path), empty when none is: look-ups then pick
    // the dictionaries by the word's language.
    virtual String ChosenDictionary() = 0;
    // The window the tap pop-up menu belongs to.
    virtual HWND MenuOwner() = 0;
    // The shell whose pop-up menu offers the tap's commands; null without one.
    virtual ReaderShell* Shell() = 0;
    // What performs the pop-ups' links of the book kinds on the document's window.
    virtual std::unique_ptr<BookActionBridge> MakeBookActions(BookDocumentController* document) = 0;
    // The word-list and search-history pages of the window.
    virtual std::unique_ptr<LookupListPages> MakeListPages() = 0;

protected:
    ~LookupHost() = default;
};

class DictionaryLookups final : private TextBoxOwner,
                                private TimerCallback,
                                private BookActionHost {
public:
    explicit DictionaryLookups(LookupHost& host);
    ~DictionaryLookups() override;
    DictionaryLookups(const DictionaryLookups&) = delete;
    DictionaryLookups& operator=(const DictionaryLookups&) = delete;

    // The library's dictionaries; without them every look-up finds no dictionary.
    void SetDictionaries(DictionaryCatalogue* catalogue);
    // The word under the last tap without a selection.
    void SetLastWord(const String& word, uint16_t language);
    const String& LastWord() const { return lastWord_; }
    uint16_t LastWordLanguage() const { return lastWordLanguage_; }

    // Commands 45 (any dictionary), 46 (bilingual), 47 (monolingual) on the selection, else on
    // the last word. False when nothing was found.
    bool LookupCommand(int32_t id);
    // The tapped word's selection, kept while its look-up pop-up shows.
    void HoldWordMark();
    // Shows a look-up pop-up over the pop-up area; one at the tapped word's anchor keeps the
    // word in view where it can.
    bool ShowLookupPopup(TextPopup& popup, Point anchor, uint32_t placement);
    void ReleaseWordMark();
    bool HoldsWordMark() const { return wordMarked_; }
    // Whether the page's selection is let go once the command queued on it has run.
    void SetResetQueued(bool queued) { resetQueued_ = queued; }
    bool LookupSelection(const String& word, Point anchor, const String& path, uint32_t language,
                         uint32_t second, int32_t id, bool quiet);
    // Whether a dictionary of that kind exists; kept until the library changes.
    bool CanLookUp(int32_t id);
    // The dictionary's book through the document loader with its tables; null when the book
    // or its default index table cannot be opened.
    std::shared_ptr<DictionaryTables> OpenDictionaryTables(DictionaryCatalogue& catalogue,
                                                           uint32_t dictionary);
    std::shared_ptr<DictionaryTables> OpenDictionaryAt(const String& location);
    std::unique_ptr<TextPopup> ShowLookupResultsPopup(const String& word,
                                                      DictionaryCatalogue& catalogue,
                                                      const std::vector<LookupEntry>& entries,
                                                      const std::vector<LookupMatch>& matches,
                                                      bool compact);
    std::unique_ptr<TextPopup> ShowLookupPage(const DictionaryTables& tables,
                                              const std::vector<LookupMatch>& matches,
                                              const String& reference, const String& query,
                                              bool byName);
    // A record-set view's entries in a pop-up centred on the pop-up rectangle: the heading, then
    // each entry (its headword and forms, or only its key) linked to it in the book at
    // `location`, with the view's global name as the link's query. False when nothing shows.
    bool ShowIndexEntries(const IndexSource& table, const String& heading,
                          const std::vector<uint32_t>& entries, bool keysOnly,
                          const String& location, const String& globalName);
    bool OpenLookupResult(const std::vector<LookupMatch>& matches, const String& word,
                          const String& reference, Point anchor, bool byName);
    bool AddLookupEntryToWordList(uint32_t entry, const String& databaseName,
                                  const DictionaryTables& tables);
    // Carries out the look-up kinds of link (an index entry, a look-up result, a word-list
    // entry) the way the look-up pop-ups do, for links of book pages.
    BookActionHost& LookupLinks() { return *this; }
    // Performs the links of the window's pop-ups (the look-up's, a note's Edit and Delete).
    TextBoxOwner* LinkPerformer() { return this; }
    // Tables null: the location string names the dictionary.
    bool OpenIndexEntry(uint32_t entry, Point anchor, std::shared_ptr<DictionaryTables> tables,
                        const String& location, const String& query);
    // An entry's text in a pop-up, or its place in the dictionary book; false when the entry
    // cannot be read. opened tells whether either was shown.
    bool OpenEntryText(LoadedDictionary& loaded, const std::shared_ptr<DictionaryTables>& tables,
                       const String& book, uint32_t tableId, uint32_t entry, IndexPosition position,
                       IndexEntryReader& reader, Point anchor, bool& opened);
    // A tap on the page: the default tap action, else the pop-up menu of what can be done.
    void OnTapAction(uint32_t start, uint32_t end, const String& word, uint16_t language,
                     Point point, bool image);
    // The box of the word the last tap found: its look-up is anchored below it (the tap point
    // would put the pop-up over the word).
    void NoteTappedWordBox(const Rect& box);
    // Posts a command that reads the selection, and the view's reset after it.
    void PostCommandOnSelection(int32_t command);
    // Performs a look-up page's link once the current event is over.
    void PostLookupLink(LinkTarget* target, Point point);
    // The search history (opened on first use; null when it cannot be).
    HistoryTable* SearchHistory();
    // A word the vocabulary list is asked to add without a dictionary: looked up in the
    // dictionaries of the list's language. True when the look-up found it (its result is shown,
    // or added when one dictionary matched).
    bool LookupForWordList(const String& word, uint32_t language);
    // The word-list and search-history pages of this window (the document controller's
    // requests 109, 111, 112 and 115 open them).
    LookupListPages* ListPages();
    // The word list a by-name result goes to while its window shows; null otherwise.
    void SetWordListAdder(WordListAdder* adder) { adder_ = adder; }

private:
    // TextBoxOwner.
    void PerformAction(LinkTarget* target, Point point) override { PostLookupLink(target, point); }
    // The same look as the controller's other pop-ups.
    int8_t FontSize() override { return -12; }
    uint8_t DisplayFace() override { return 0; }
    // TimerCallback: the kept link, performed after the event that chose it.
    void OnTimer(TimerList& list, int32_t id) override;
    // BookActionHost: the look-up kinds here, every other kind through the document
    // controller's book actions.
    bool OpenIndexEntry(uint32_t entry, const String& location, uint32_t,
                        const String& query) override;
    bool OpenLookupResult(const LinkTarget& target, uint32_t, bool byName) override;
    bool AddToWordList(const WordListEntry& e) override;
    bool DispatchWidgetEvent(const String& text, uint32_t argument, String* result) override;
    bool ActivateLink(const String& url) override;
    bool RunCommand(int32_t id) override;
    bool EditAnnotation(uint32_t n) override;
    bool DeleteAnnotation(uint32_t n) override;

    // Where by-name results go: the adder set, else the word list shown.
    WordListAdder* Adder();
    BookActionBridge* Bridge();
    DocumentController* Document() { return host_.Document(); }
    // The page's selection as a look-up takes it: the language of its words (0 when the page
    // names none) and its box on the page (empty when it has none).
    void SelectionLanguageAndBox(uint32_t& language, Rect& box);
    // The current document's location, null when none.
    const Location* CurrentLocation();
    // A new look-up pop-up whose links this room performs; null without a surface.
    std::unique_ptr<LookupPopup> NewPopup(std::shared_ptr<DictionaryTables> book = nullptr);

    LookupHost& host_;
    DictionaryCatalogue* catalogue_ = nullptr;
    WordListAdder* adder_ = nullptr;
    String lastWord_;
    uint16_t lastWordLanguage_ = 0;
    // The answer of CanLookUp per command, valid for one catalogue generation.
    uint32_t enabledGeneration_ = 0;
    int8_t enabled_[3] = {-1, -1, -1};
    RefPtr<HistoryTable> history_;
    // The history database through the loader, and its rows' books read through it too.
    struct Opener final : LoaderDatabaseOpener {
        using LoaderDatabaseOpener::LoaderDatabaseOpener;
    };
    struct Resolver final : LoaderHistoryResolver {
        using LoaderHistoryResolver::LoaderHistoryResolver;
    };
    std::optional<Opener> opener_;
    std::optional<Resolver> resolver_;
    RefPtr<LinkTarget> pending_;
    Point pendingPoint_{};
    Point anchor_{};
    // Where the last word was tapped: a look-up of it is anchored there.
    Point tapPoint_{};
    bool tapped_ = false;
    // Below the tapped word's box, when it is known.
    Point wordAnchor_{};
    Rect wordRect_{};
    bool wordBox_ = false;
    // The looked-up word stays selected on the page while its pop-up shows.
    bool wordMarked_ = false;
    bool resetQueued_ = false;
    int32_t timer_ = -1;
    std::unique_ptr<BookActionBridge> bridge_;
    BookDocumentController* bridgeDocument_ = nullptr;
    std::unique_ptr<LookupListPages> pages_;
};
