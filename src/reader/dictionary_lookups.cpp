// The look-up room: from a tap or a look-up command to the gathered matches, and what is shown
// for them (the entry itself, a lookup page, the results pop-up, a manual search), the opening
// of dictionary entries and the search history.
#include "reader/dictionary_lookups.h"

#include <algorithm>
#include <new>
#include <optional>
#include <string>

#include "bookfiles/index_table.h"
#include "core/platform_helpers.h"
#include "core/resources.h"
#include "core/segmented_array.h"
#include "database/book_index_source.h"
#include "database/history_table.h"
#include "database/resource.h"
#include "document/location/location.h"
#include "document/markup/link_target.h"
#include "document/sources/document_loader.h"
#include "document/sources/index_table_data_handle.h"
#include "document/sources/loader_adapters.h"
#include "document/sources/loader_database_opener.h"
#include "graphics/widgets/text_box.h"
#include "graphics/widgets/text_popup_window.h"
#include "layout/focus_box.h"
#include "layout/page_layout.h"
#include "layout/page_view.h"
#include "platform/menu/menu.h"
#include "platform/window/window.h"
#include "reader/actions.h"
#include "reader/book_action_bridge.h"
#include "reader/book_actions.h"
#include "reader/book_document_controller.h"
#include "reader/reader_command_ids.h"
#include "reader/dictionary_catalogue.h"
#include "reader/document_controller.h"
#include "reader/list_pages.h"
#include "reader/lookup_popups.h"
#include "reader/lookup_window.h"
#include "reader/page_view_host.h"
#include "reader/reader_controller.h"
#include "reader/reader_lookup.h"
#include "reader/reader_settings.h"
#include "reader/word_lists.h"

namespace {

constexpr uint32_t kCannotHelp = 5112;
constexpr uint32_t kMultipleMatches = 5103;
constexpr uint32_t kManualSearch = 5100;
// Text box run styles of the lookup page: the heading, the headword link, the forms.
constexpr uint32_t kHeadingFlags = 2;
constexpr uint32_t kHeadwordFlags = 1;
constexpr uint32_t kFormsFlags = 2;
constexpr uint32_t kSearchLinkFlags = 148;
// Entry tags: the entry's text ranges (8, else 6), its text position (1), the links followed
// before reading them (25, then 22).
constexpr uint32_t kTagText = 8;
constexpr uint32_t kTagRanges = 6;
constexpr uint32_t kTagPosition = 1;
constexpr uint32_t kTagFirstLink = 25;
constexpr uint32_t kTagSecondLink = 22;
constexpr uint32_t kLanguageMask = 1023;

String Res(uint32_t id) {
    return Lookup::ResourceText(id);
}

String FromU16(const std::u16string& s) {
    return String(s.data(), static_cast<int32_t>(s.size()));
}

std::u16string ToU16(const String& s) {
    return Lookup::Wide(s);
}

String Encoded(const String& path) {
    String s(path);
    s.UriEscape(true, true);
    return s;
}

// The dictionaries a look-up searches, opened through the controller.
class CatalogueSource final : public DictionarySource {
public:
    CatalogueSource(DictionaryLookups& lookups, DictionaryCatalogue& catalogue)
        : lookups_(lookups), catalogue_(catalogue) {}
    std::shared_ptr<DictionaryTables> OpenDictionaryTables(std::uint32_t dictionary) override {
        return lookups_.OpenDictionaryTables(catalogue_, dictionary);
    }

private:
    DictionaryLookups& lookups_;
    DictionaryCatalogue& catalogue_;
};

}  // namespace

// ---- State -----------------------------------------------------------------------------------

DictionaryLookups::DictionaryLookups(LookupHost& host) : host_(host) {}

DictionaryLookups::~DictionaryLookups() {
    pages_.reset();
    host_.Timers().Stop(this, timer_);
    if (history_) history_->SetResolver(nullptr);
}

void DictionaryLookups::OnTimer(TimerList&, int32_t) {
    timer_ = -1;
    RefPtr<LinkTarget> target = std::move(pending_);
    if (!target) return;
    anchor_ = pendingPoint_;
    // The room may go with the controller inside the call: nothing of it is touched after.
    ::PerformAction(target.Get(), *this, 0, nullptr);
}

bool DictionaryLookups::OpenIndexEntry(uint32_t entry, const String& location, uint32_t,
                                       const String& query) {
    return OpenIndexEntry(entry, anchor_, nullptr, location, query);
}

bool DictionaryLookups::OpenLookupResult(const LinkTarget& target, uint32_t, bool byName) {
    std::vector<LookupMatch> matches(target.Columns(), target.Columns() + target.ColumnCount());
    return OpenLookupResult(matches, target.secondText, target.text, anchor_, byName);
}

bool DictionaryLookups::AddToWordList(const WordListEntry& e) {
    VocabularyEntry entry;
    entry.orth = e.key;
    entry.formatted = e.headword;
    entry.dict = e.link;
    entry.number = e.language;
    entry.ent = static_cast<int32_t>(e.number);
    entry.shortid = e.shortName;
    WordListAdder* to = Adder();
    return to && to->AddToWordList(entry, kLanguageMask);
}

WordListAdder* DictionaryLookups::Adder() {
    if (adder_) return adder_;
    return pages_ ? dynamic_cast<WordListWindow*>(pages_->Page()) : nullptr;
}

BookActionBridge* DictionaryLookups::Bridge() {
    auto* document = dynamic_cast<BookDocumentController*>(Document());
    if (!document) return nullptr;
    if (!bridge_ || bridgeDocument_ != document) {
        bridge_ = host_.MakeBookActions(document);
        bridgeDocument_ = document;
    }
    return bridge_.get();
}

bool DictionaryLookups::DispatchWidgetEvent(const String& text, uint32_t argument, String* result) {
    BookActionBridge* b = Bridge();
    return b && b->DispatchWidgetEvent(text, argument, result);
}

bool DictionaryLookups::ActivateLink(const String& url) {
    DocumentController* d = Document();
    return d && d->ActivateLink(url);
}

bool DictionaryLookups::RunCommand(int32_t id) {
    host_.RunCommand(id);
    return true;
}

// A note pop-up's Edit and Delete.
bool DictionaryLookups::EditAnnotation(uint32_t n) {
    BookActionBridge* b = Bridge();
    return b && b->EditAnnotation(n);
}

bool DictionaryLookups::DeleteAnnotation(uint32_t n) {
    BookActionBridge* b = Bridge();
    return b && b->DeleteAnnotation(n);
}

// The handles go before the book they were opened from.
LoadedDictionary::~LoadedDictionary() {
    keyHandle.Reset();
    defaultHandle.Reset();
}

void DictionaryLookups::SetDictionaries(DictionaryCatalogue* catalogue) {
    catalogue_ = catalogue;
    enabledGeneration_ = 0;
}

void DictionaryLookups::SetLastWord(const String& word, uint16_t language) {
    lastWord_.Assign(word);
    lastWordLanguage_ = language;
}

LookupListPages* DictionaryLookups::ListPages() {
    if (!pages_) pages_ = host_.MakeListPages();
    return pages_.get();
}

void DictionaryLookups::PostLookupLink(LinkTarget* target, Point point) {
    if (!target) return;
    pending_.Assign(target);
    pendingPoint_ = point;
    host_.Timers().StartOnce(this, 0, timer_, true);
}

HistoryTable* DictionaryLookups::SearchHistory() {
    if (!history_) {
        history_ = RefPtr<HistoryTable>::Adopt(new HistoryTable());
        if (DocumentLoader* loader = host_.Loader()) {
            opener_.emplace(loader);
            resolver_.emplace(loader);
            history_->SetResolver(&*resolver_);
        }
    }
    if (!history_->OpenIfNeeded(opener_ ? &*opener_ : nullptr)) return nullptr;
    return history_.Get();
}

const Location* DictionaryLookups::CurrentLocation() {
    DocumentController* document = Document();
    return document ? document->CurrentLocation() : nullptr;
}

// ---- Opening dictionaries --------------------------------------------------------------------

std::shared_ptr<DictionaryTables> DictionaryLookups::OpenDictionaryAt(const String& text) {
    DocumentLoader* loader = host_.Loader();
    if (!loader || text.IsEmpty()) return nullptr;
    Location location;
    if (!location.Resolve(text, CurrentLocation())) return nullptr;
    uint8_t saved[2] = {};
    loader->SetFlags(0, 0, saved);
    auto book = RefPtr<Resource>::Adopt(loader->Open(location, CurrentLocation(), nullptr));
    loader->RestoreFlags(saved);
    if (!book) return nullptr;
    auto tables = std::make_shared<LoadedDictionary>();
    tables->book = book;
    String title;
    if (book->GetTitle(title)) tables->title = ToU16(title);
    if (DocumentSource* source = book->GetDocument()) source->GetShortName(tables->shortId);
    location.ToString(tables->location, true);
    auto table = RefPtr<IndexTableDataHandle>::Adopt(
        IndexTableDataHandle::From(book->OpenDataByName(String(u"special_table=default"), nullptr)));
    if (!table || !table->Table().IsOpen()) return nullptr;
    tables->table = table->Tables();
    tables->defaultHandle = RefPtr<DataHandle>(table.Get());
    auto keys = RefPtr<IndexTableDataHandle>::Adopt(IndexTableDataHandle::From(
        book->OpenDataByName(String(u"special_table=lookup_key"), nullptr)));
    if (keys) {
        tables->keyTable = keys->Table();
        tables->keyHandle = RefPtr<DataHandle>(keys.Get());
    }
    return tables;
}

std::shared_ptr<DictionaryTables> DictionaryLookups::OpenDictionaryTables(
    DictionaryCatalogue& catalogue, uint32_t dictionary) {
    String path;
    if (!catalogue.GetPath(dictionary, path)) return nullptr;
    return OpenDictionaryAt(Encoded(path));
}

// ---- Commands 45-47 --------------------------------------------------------------------------

bool DictionaryLookups::CanLookUp(int32_t id) {
    const auto kind = static_cast<uint32_t>(id);
    if (kind < DictionaryCatalogue::kAnyDictionary || kind > DictionaryCatalogue::kMonolingual)
        return false;
    DictionaryCatalogue* catalogue = catalogue_;
    if (!catalogue) return false;
    // Asking refreshes the library; the answer is kept until the library changes, so that the
    // menus do not rescan the storage each time they are drawn.
    int8_t& known = enabled_[kind - DictionaryCatalogue::kAnyDictionary];
    if (enabledGeneration_ != catalogue->Generation()) {
        std::fill(std::begin(enabled_), std::end(enabled_), int8_t{-1});
        catalogue->Refresh();
        enabledGeneration_ = catalogue->Generation();
    }
    if (known < 0) {
        std::vector<uint32_t> found;
        known = catalogue->FindDictionaries(lastWordLanguage_ & kLanguageMask, 0,
                                            static_cast<uint32_t>(GetProgramLanguage()),
                                            static_cast<uint32_t>(id), &found)
                    ? 1
                    : 0;
    }
    return known == 1;
}

bool DictionaryLookups::LookupCommand(int32_t id) {
    String word;
    uint32_t start = 0, end = 0;
    uint32_t language = 0;
    Rect selected{};
    if (!Document() || !Document()->GetSelection(word, start, end)) {
        if (lastWord_.IsEmpty()) return false;
        word.Assign(lastWord_);
        language = lastWordLanguage_;
    } else {
        SelectionLanguageAndBox(language, selected);
    }
    // The anchor: below the tapped word or the selection, else the top of the area the pop-ups
    // keep clear.
    Point anchor{host_.PopupRect().x, host_.PopupRect().y};
    if (!selected.IsEmpty()) {
        // A selection (made by keys) stands where a tapped word would: its result goes below.
        NoteTappedWordBox(selected);
        anchor = wordAnchor_;
    } else if (tapped_) {
        anchor = wordBox_ ? wordAnchor_ : tapPoint_;
    }
    // A tapped word is selected on the page before its pop-up saves the pixels beneath it.
    const bool marked = tapped_ && start == end && Document() && Document()->MarkWordAt(tapPoint_);
    const bool found = LookupSelection(word, anchor, host_.ChosenDictionary(), language, 0, id, false);
    // A selection its pop-up menu lets go after the command stays shown as long as its result
    // does, as a tapped word does.
    if (marked || (!selected.IsEmpty() && resetQueued_)) HoldWordMark();
    return found;
}

void DictionaryLookups::SelectionLanguageAndBox(uint32_t& language, Rect& box) {
    language = 0;
    box = Rect{};
    auto* book = dynamic_cast<BookDocumentController*>(Document());
    PositionViewElement* view = book ? book->Page().View() : nullptr;
    if (!view) return;
    String text;
    if (!book->GetSelectionLanguage(text, language)) language = 0;
    const TextFocus& focus = view->CurrentFocus();
    Area area;
    if (focus.GetSelectionArea(area)) {
        area.GetBounds(box);
    } else if (!focus.GetFocusBox(box)) {
        box = Rect{};
    }
}

bool DictionaryLookups::ShowLookupPopup(TextPopup& popup, Point anchor, uint32_t placement) {
    if (placement == TextPopup::kAtAnchor && wordBox_ && anchor == wordAnchor_)
        popup.KeepClear(wordRect_);
    return popup.ShowAt(host_.PopupRect(), anchor, placement);
}

void DictionaryLookups::HoldWordMark() {
    // Held only while a pop-up shows and can say when it goes; otherwise the reset that
    // follows the command lets the word go.
    TextPopup* popup = host_.PagePopup();
    if (!popup || !popup->PopupWindow() || !popup->PopupWindow()->IsShown()) return;
    wordMarked_ = popup->SetOnHidden([this] { ReleaseWordMark(); });
}

void DictionaryLookups::ReleaseWordMark() {
    if (!wordMarked_) return;
    wordMarked_ = false;
    if (Document()) Document()->ResetViewElement();
}

std::unique_ptr<LookupPopup> DictionaryLookups::NewPopup(std::shared_ptr<DictionaryTables> book) {
    std::unique_ptr<TextPopup> inner = host_.CreatePopup(this);
    if (!inner) return nullptr;
    return std::make_unique<LookupPopup>(std::move(inner), std::move(book));
}

bool DictionaryLookups::LookupSelection(const String& word, Point anchor, const String& path,
                                        uint32_t language, uint32_t second, int32_t id,
                                        bool quiet) {
    if (word.IsEmpty()) return false;
    DictionaryCatalogue* catalogue = catalogue_;
    std::unique_ptr<DictionaryCatalogue> own;
    std::vector<uint32_t> list;
    if (!path.IsEmpty()) {
        // A dictionary named by path: a private catalogue of that one file, which never
        // writes the library cache.
        String file(path);
        Location location;
        DocumentLoader* loader = host_.Loader();
        if (loader && location.Parse(path, false) && loader->OpenDatabaseByName(location, nullptr))
            location.ToString(file, true);
        if (catalogue) own = catalogue->ForFile(file);
        catalogue = own.get();
        list.push_back(0);
    } else if (catalogue) {
        catalogue->Refresh();
        catalogue->FindDictionaries(language & kLanguageMask, second & kLanguageMask,
                                    static_cast<uint32_t>(GetProgramLanguage()),
                                    static_cast<uint32_t>(id), &list);
    }
    if (list.empty() || !catalogue) {
        host_.HidePopupPage();
        if (std::unique_ptr<LookupPopup> popup = NewPopup()) {
            Lookup::FillNoDictionary(*popup, static_cast<uint32_t>(id), quiet);
            if (ShowLookupPopup(*popup, anchor, TextPopup::kAtAnchor))
                host_.KeepPopupPage(std::move(popup));
        }
        return false;
    }

    const std::u16string text = ToU16(word);
    std::vector<LookupEntry> entries;
    std::vector<LookupMatch> matches;
    std::shared_ptr<DictionaryTables> kept;
    CatalogueSource source(*this, *catalogue);
    if (text.size() == 1 && Lookup::HoldsCjk(text)) {
        // The page's selection grows word by word after the character; without one the
        // character is searched alone.
        auto* book = dynamic_cast<BookDocumentController*>(Document());
        PositionViewElement* view = book ? book->Page().View() : nullptr;
        auto extend = [view](int n, std::u16string* grown) {
            if (!view || view->TextFocusBox().HasNoSelection()) return false;
            String out;
            uint32_t language = 0;
            if (!view->TextFocusBox().GetSelectionText(n, out, language)) return false;
            *grown = ToU16(out);
            return true;
        };
        Lookup::LookupCjkCharacter(source, &list, text, extend, &entries, &matches, &kept);
    } else {
        Lookup::BuildLookupResults(source, &list, text, true, &entries, &matches, &kept);
    }

    const Lookup::Outcome outcome =
        Lookup::ChooseOutcome(list, entries, matches.size(), kept != nullptr);
    switch (outcome) {
        case Lookup::Outcome::kCannotHelp:
            host_.ShowBusyPopup(kCannotHelp);
            break;
        case Lookup::Outcome::kNoMatchChoice:
        case Lookup::Outcome::kNoMatchKept: {
            const bool choose = outcome == Lookup::Outcome::kNoMatchChoice;
            host_.HidePopupPage();
            std::unique_ptr<LookupPopup> popup = NewPopup(choose ? nullptr : kept);
            if (!popup) break;
            bool room = Lookup::FillNoMatch(*popup, quiet, choose);
            if (!quiet && choose) {
                bool first = true;
                for (const LookupEntry& entry : entries) {
                    String dictPath;
                    if (!room || !catalogue->GetPath(entry.dictionary, dictPath)) continue;
                    String label;
                    if (!first) label.AppendAscii("\n");
                    first = false;
                    label.Append(FromU16(entry.title));
                    room = Lookup::ShowIndexSearchLink(*popup, Encoded(dictPath), word, label);
                }
            } else if (!quiet && room && kept) {
                Lookup::ShowIndexSearchLink(*popup, static_cast<LoadedDictionary&>(*kept).location,
                                            word, String());
            }
            if (ShowLookupPopup(*popup, anchor, TextPopup::kAtAnchor))
                host_.KeepPopupPage(std::move(popup));
            break;
        }
        case Lookup::Outcome::kOpenEntry: {
            if (!kept) break;
            const int32_t entry = kept->table.Table().EntryFromPosition(matches.front().position);
            if (entry >= 0)
                OpenIndexEntry(static_cast<uint32_t>(entry), anchor, kept, String(), String());
            break;
        }
        case Lookup::Outcome::kResultsPopup: {
            host_.HidePopupPage();
            std::unique_ptr<TextPopup> popup =
                ShowLookupResultsPopup(word, *catalogue, entries, matches, false);
            if (popup && ShowLookupPopup(*popup, anchor, TextPopup::kAtAnchor))
                host_.KeepPopupPage(std::move(popup));
            break;
        }
        case Lookup::Outcome::kLookupPage: {
            if (!kept) break;
            host_.HidePopupPage();
            const String& location = static_cast<LoadedDictionary&>(*kept).location;
            std::unique_ptr<TextPopup> page =
                ShowLookupPage(*kept, matches, location, String(), false);
            if (!page) break;
            Lookup::ShowIndexSearchLink(*page, location, word, String());
            static_cast<LookupPopup&>(*page).KeepBook(kept);
            if (ShowLookupPopup(*page, anchor, TextPopup::kAtAnchor))
                host_.KeepPopupPage(std::move(page));
            break;
        }
    }
    return Lookup::Found(outcome);
}

bool DictionaryLookups::LookupForWordList(const String& word, uint32_t language) {
    DictionaryCatalogue* catalogue = catalogue_;
    if (!catalogue || word.IsEmpty()) return false;
    catalogue->Refresh();
    std::vector<uint32_t> list;
    if (!catalogue->FindDictionaries(language & kLanguageMask,
                                     static_cast<uint32_t>(GetProgramLanguage()), 0,
                                     DictionaryCatalogue::kAnyDictionary, &list))
        return false;
    std::vector<LookupEntry> entries;
    std::vector<LookupMatch> matches;
    std::shared_ptr<DictionaryTables> kept;
    CatalogueSource source(*this, *catalogue);
    if (!Lookup::BuildLookupResults(source, &list, ToU16(word), true, &entries, &matches, &kept) ||
        matches.empty())
        return false;
    const auto withMatches = std::count_if(entries.begin(), entries.end(),
                                           [](const LookupEntry& e) { return e.count != 0; });
    if (withMatches == 1) {
        // The one dictionary's result goes to the list by its database name.
        for (const LookupEntry& entry : entries) {
            String name;
            if (entry.count == 0 || !catalogue->GetDatabaseName(entry.dictionary, name)) continue;
            const Rect area = host_.CentredPopupArea();
            const Point centre{area.x + area.width / 2, area.y + area.height / 2};
            OpenLookupResult(Lookup::MatchesOf(matches, entry), word, Encoded(name), centre, true);
        }
        return true;
    }
    host_.HidePopupPage();
    std::unique_ptr<TextPopup> popup =
        ShowLookupResultsPopup(word, *catalogue, entries, matches, true);
    // Centred on the pop-up rectangle; centred on no point it stood half off the screen's corner.
    const Rect area = host_.CentredPopupArea();
    const Point centre{area.x + area.width / 2, area.y + area.height / 2};
    if (popup && popup->ShowAt(area, centre, TextPopup::kCentred))
        host_.KeepPopupPage(std::move(popup));
    return true;
}

// ---- Result pages ----------------------------------------------------------------------------

std::unique_ptr<TextPopup> DictionaryLookups::ShowLookupResultsPopup(
    const String& word, DictionaryCatalogue& catalogue, const std::vector<LookupEntry>& entries,
    const std::vector<LookupMatch>& matches, bool compact) {
    std::unique_ptr<LookupPopup> popup = NewPopup();
    TextPopupWindow* window = popup ? popup->PopupWindow() : nullptr;
    if (!window) return nullptr;
    auto reference = [&](std::uint32_t dictionary) {
        // A database name is a field of the link as a path is: '&', '#', '$' stay inside.
        String out;
        if (compact ? catalogue.GetDatabaseName(dictionary, out)
                    : catalogue.GetPath(dictionary, out))
            out = Encoded(out);
        return out;
    };
    Lookup::FillResultsPopup(*window->Box(), word, entries, matches, reference, compact);
    return popup;
}

std::unique_ptr<TextPopup> DictionaryLookups::ShowLookupPage(
    const DictionaryTables& tables, const std::vector<LookupMatch>& matches,
    const String& reference, const String& query, bool byName) {
    std::unique_ptr<LookupPopup> page = NewPopup();
    if (!page) return nullptr;
    const IndexTable& table = tables.table.Table();
    std::u16string keyName;
    if (tables.keyTable.IsOpen()) tables.keyTable.GetName(&keyName);
    IndexLookup lookup(&table, tables.table.FindNamingTable());
    const auto* loaded = dynamic_cast<const LoadedDictionary*>(&tables);
    bool first = true;
    for (const LookupMatch& match : matches) {
        std::u16string headword;
        lookup.Resolve(&headword, match.position, match.direct ? u"" : keyName.c_str());
        const std::u16string forms = Lookup::FormsText(tables.table, match.position);
        const int32_t entry = table.EntryFromPosition(match.position);
        if (entry < 0) continue;
        auto link = RefPtr<LinkTarget>::Adopt(new LinkTarget);
        if (byName) {
            std::u16string key;
            lookup.Fetch(&key, match.position);
            link->SetKind10Target(reference, loaded ? loaded->shortId : String(), FromU16(key),
                                  FromU16(headword), static_cast<uint32_t>(entry),
                                  static_cast<uint16_t>(table.GetLanguage()));
        } else {
            link->kind = kLinkRecordRow;
            link->text = reference;
            link->number = static_cast<uint32_t>(entry);
            link->secondText = query;
        }
        if (first && !page->AddText(Res(kMultipleMatches), kHeadingFlags)) break;
        first = false;
        // The match that filled the box is still shown whole.
        bool room = page->AddText(String(u"\n  "), 0);
        room = page->AddTarget(FromU16(headword), kHeadwordFlags, link.Get()) && room;
        if (!forms.empty()) room = page->AddText(FromU16(forms), kFormsFlags) && room;
        if (!room) break;
    }
    return page;
}

bool DictionaryLookups::ShowIndexEntries(const IndexSource& table, const String& heading,
                                         const std::vector<uint32_t>& entries, bool keysOnly,
                                         const String& location, const String& globalName) {
    std::unique_ptr<LookupPopup> page = NewPopup();
    if (!page || entries.empty()) return false;
    bool room = page->AddText(heading, kHeadingFlags);
    for (size_t i = 0; room && i < entries.size(); ++i) {
        const uint32_t entry = entries[i];
        String word, forms;
        if (keysOnly ? !table.Key(entry, word) : !table.Headword(entry, word)) continue;
        if (!keysOnly) table.InflectedForms(entry, forms);
        auto link = RefPtr<LinkTarget>::Adopt(new LinkTarget);
        link->kind = kLinkRecordRow;
        link->text = location;
        link->number = entry;
        link->secondText = globalName;
        // The entry that filled the box is still shown whole.
        room = page->AddText(String(u"\n  "), 0);
        room = page->AddTarget(word, kHeadwordFlags, link.Get()) && room;
        if (!forms.IsEmpty()) {
            String shown(u" ");
            shown.Append(forms);
            room = page->AddText(shown, kFormsFlags) && room;
        }
    }
    host_.HidePopupPage();
    Rect area = host_.PopupRect();
    host_.ClientArea(area);
    const Point centre{area.x + area.width / 2, area.y + area.height / 2};
    if (!page->ShowAt(area, centre, TextPopup::kCentred)) return false;
    host_.KeepPopupPage(std::move(page));
    return true;
}

bool Lookup::ShowIndexSearchLink(TextPopup& page, const String& reference, const String& word,
                                 const String& text) {
    // A pop-up window builds the link itself; other pop-ups get the same script as a link.
    if (TextPopupWindow* window = page.PopupWindow())
        return window->ShowIndexSearchLink(reference, word, text);
    auto link = RefPtr<LinkTarget>::Adopt(new LinkTarget);
    link->kind = kLinkScript;
    link->text = FromU16(Lookup::ManualSearchScript(ToU16(reference), ToU16(word)));
    return page.AddTarget(text.IsEmpty() ? Res(kManualSearch) : text, kSearchLinkFlags, link.Get());
}

bool DictionaryLookups::OpenLookupResult(const std::vector<LookupMatch>& matches,
                                         const String& word, const String& reference, Point anchor,
                                         bool byName) {
    String address;
    if (byName) address.AppendAscii("oeb:redirect?title=");
    address.Append(reference);
    std::shared_ptr<DictionaryTables> tables = OpenDictionaryAt(address);
    if (!tables) return false;
    if (matches.size() != 1) {
        host_.HidePopupPage();
        std::unique_ptr<TextPopup> page =
            ShowLookupPage(*tables, matches, reference, String(), byName);
        if (page) {
            if (!byName) Lookup::ShowIndexSearchLink(*page, reference, word, String());
            static_cast<LookupPopup&>(*page).KeepBook(tables);
            if (ShowLookupPopup(*page, anchor, byName ? TextPopup::kCentred : TextPopup::kAtAnchor))
                host_.KeepPopupPage(std::move(page));
        }
        return true;
    }
    const int32_t entry = tables->table.Table().EntryFromPosition(matches.front().position);
    if (entry < 0) return false;
    if (byName) return AddLookupEntryToWordList(static_cast<uint32_t>(entry), reference, *tables);
    return OpenIndexEntry(static_cast<uint32_t>(entry), anchor, tables, String(), String());
}

bool DictionaryLookups::AddLookupEntryToWordList(uint32_t entry, const String& databaseName,
                                                 const DictionaryTables& tables) {
    const IndexTable& table = tables.table.Table();
    IndexPosition position;
    if (!table.IsOpen() || !table.PositionFromEntry(entry, &position)) return false;
    IndexLookup lookup(&table, tables.table.FindNamingTable());
    std::u16string formatted, orth, tableName;
    lookup.Resolve(&formatted, position, u"");
    lookup.Fetch(&orth, position);
    VocabularyEntry word;
    word.orth = FromU16(orth);
    word.formatted = FromU16(formatted);
    word.dict.AppendAscii("oeb:redirect?title=");
    word.dict.Append(databaseName);
    if (table.GetName(&tableName) && !tableName.empty()) {
        word.dict.AppendAscii("$table=");
        word.dict.Append(FromU16(tableName));
    }
    word.number = table.GetLanguage() & kLanguageMask;
    word.ent = static_cast<int32_t>(entry);
    if (const auto* loaded = dynamic_cast<const LoadedDictionary*>(&tables))
        word.shortid = loaded->shortId;
    WordListAdder* adder = Adder();
    return adder && adder->AddToWordList(word, kLanguageMask);
}

// ---- Opening an entry ------------------------------------------------------------------------

bool DictionaryLookups::OpenIndexEntry(uint32_t entry, Point anchor,
                                       std::shared_ptr<DictionaryTables> tables,
                                       const String& location, const String& query) {
    if (!tables) tables = OpenDictionaryAt(location);
    auto* loaded = dynamic_cast<LoadedDictionary*>(tables.get());
    if (!loaded || !loaded->book || !loaded->table.Table().IsOpen()) return false;
    const IndexTable& table = loaded->table.Table();
    // Copied before anything opens: opening may replace what holds them.
    const String book = loaded->location;
    const uint32_t tableId = table.GetTableId();

    IndexPosition position;
    if (!table.PositionFromEntry(entry, &position)) return false;
    IndexEntryReader reader;
    if (!reader.Open(&table)) return false;
    IndexPosition linked = position;
    const bool first = reader.FollowLink(&linked, kTagFirstLink);
    const bool second = reader.FollowLink(&linked, kTagSecondLink);
    if (first || second) position = linked;

    bool opened = false;
    if (!query.IsEmpty()) {
        // A query entry runs through the book's script with the table's record set.
        const int32_t at = table.EntryFromPosition(position);
        if (at < 0 || !Document() || !loaded->defaultHandle) return false;
        // The source takes over a reference of its own to the handle.
        RefPtr<DataHandle> handle = loaded->defaultHandle;
        auto source = RefPtr<BookIndexSource>::Adopt(BookIndexSource::FromHandle(handle.TakePointer()));
        if (!source) return false;
        opened = Document()->RunEntryQuery(source.Get(), static_cast<uint32_t>(at), query);
        if (!opened) return false;
    } else if (!OpenEntryText(*loaded, tables, book, tableId, entry, position, reader, anchor,
                              opened)) {
        return false;
    }
    if (opened) {
        // Saved at once: nothing else writes the history's database back to its file.
        if (HistoryTable* history = SearchHistory()) {
            if (history->AddEntry(book, tableId, entry) && !history->Save()) history->NoteUnsaved();
        }
    }
    return opened;
}

bool DictionaryLookups::OpenEntryText(LoadedDictionary& loaded,
                                      const std::shared_ptr<DictionaryTables>& tables,
                                      const String& book, uint32_t tableId, uint32_t entry,
                                      IndexPosition position, IndexEntryReader& reader,
                                      Point anchor, bool& opened) {
    if (reader.Seek(position) != 0) return false;
    uint32_t count = 0;
    std::vector<uint32_t> values;
    if (reader.FindTag(kTagText, &count, nullptr) == 0 ||
        reader.FindTag(kTagRanges, &count, nullptr) == 0) {
        host_.HidePopupPage();
        std::unique_ptr<LookupPopup> popup = NewPopup(tables);
        TextPopupWindow* window = popup ? popup->PopupWindow() : nullptr;
        if (window) {
            EntryRecords records(loaded.book.Get(), host_.Loader());
            window->AddIndexEntryText(records, book, position, reader);
            opened = ShowLookupPopup(*popup, anchor, TextPopup::kAtAnchor);
            if (opened) host_.KeepPopupPage(std::move(popup));
        }
    } else if (reader.FindTag(kTagPosition, &count, &values) == 0 && !values.empty()) {
        // The entry's text position in the dictionary book, opened as a history step.
        const String link = WordList::EntryLink(book, values.front(), tableId, entry);
        opened = Document() && Document()->ActivateLink(link);
    }
    return true;
}

String Lookup::ResourceText(uint32_t id) {
    String s;
    Resources::LoadString(s, id);
    return s;
}

std::u16string Lookup::Wide(const String& s) {
    return std::u16string(s.Data(), static_cast<size_t>(s.Length()));
}

// ---- The tap ---------------------------------------------------------------------------------

std::vector<Lookup::TapItem> Lookup::TapMenu(const TapFacts& f) {
    std::vector<TapItem> items;
    // Each item reads as its action's label.
    auto add = [&items](int32_t command) { items.push_back({command, Actions::LabelOf(command)}); };
    if (f.word) {
        add(Cmd::kLookup);
        add(Cmd::kCopy);
    }
    if (f.sideFile && f.range) {
        add(Cmd::kHighlight);
        if (f.highlight) add(Cmd::kDeleteHighlight);
        add(Cmd::kAddNote);
        add(Cmd::kModify);
        if (f.bookmark)
            items.push_back({Cmd::kToggleBookmark, Commands::kRemoveBookmarkString});
        else
            add(Cmd::kToggleBookmark);
        if (!f.waitingLink) add(Cmd::kAddLink);
    }
    if (f.waitingLink) add(Cmd::kSetLinkTarget);
    if (f.image) add(Cmd::kImageMode);
    return items;
}

String Lookup::TrimPunctuation(const String& word) {
    static const std::u16string kMarks =
        u" \t\n.,;:!?\"'()[]{}<>\u00AB\u00BB\u2018\u2019\u201C\u201D\u2026-";
    int32_t first = 0, last = word.Length();
    while (first < last && kMarks.find(word[first]) != std::u16string::npos) ++first;
    while (last > first && kMarks.find(word[last - 1]) != std::u16string::npos) --last;
    String out;
    out.AssignSub(word, first, last - first);
    return out;
}

int32_t Lookup::TapActionCommand(uint32_t action) {
    static constexpr int32_t kCommands[] = {
        Cmd::kHighlight, Cmd::kLookup,        Cmd::kAddNote, Cmd::kModify,
        Cmd::kAddLink,   Cmd::kSetLinkTarget, Cmd::kCopy,    Cmd::kDeleteHighlight};
    return action >= 1 && action <= 8 ? kCommands[action - 1] : 0;
}

namespace {
// The selection is let go once the command that reads it has run.
class ResetViewCall final : public QueuedCall {
public:
    ResetViewCall(DictionaryLookups& lookups, LookupHost& host) : lookups_(lookups), host_(host) {}
    void Run() override {
        lookups_.SetResetQueued(false);
        if (lookups_.HoldsWordMark()) return;
        if (DocumentController* document = host_.Document()) document->ResetViewElement();
    }

private:
    DictionaryLookups& lookups_;
    LookupHost& host_;
};
}  // namespace

void DictionaryLookups::PostCommandOnSelection(int32_t command) {
    host_.PostCommand(command);
    resetQueued_ = host_.PostCall(std::make_unique<ResetViewCall>(*this, host_));
    if (!resetQueued_ && Document()) Document()->ResetViewElement();
}

void DictionaryLookups::OnTapAction(uint32_t start, uint32_t end, const String& word,
                                    uint16_t language, Point point, bool image) {
    if (start == end) {
        SetLastWord(word, language);
    } else {
        SetLastWord(String(), 0);
    }
    tapPoint_ = point;
    tapped_ = start == end && !word.IsEmpty();
    // The box of the word under the point, noted before the tap's menu: the menu stands below
    // it rather than over it.
    wordBox_ = tapped_ && wordBox_;
    const uint32_t action = host_.TapAction();
    if (const int32_t command = Lookup::TapActionCommand(action)) {
        // Posted: the command may replace the page whose tap handler is running. The view is
        // reset after it, so that it still finds the selection.
        PostCommandOnSelection(command);
        return;
    }
    if (action == 9) {
        if (Document()) Document()->ResetViewElement();
        return;
    }
    Lookup::TapFacts facts;
    facts.word = !word.IsEmpty();
    AnnotationFile* file = Document() ? Document()->CurrentAnnotationFile() : nullptr;
    facts.sideFile = file != nullptr;
    facts.range = start != end;
    facts.bookmark = file && host_.BookmarkAtPage() >= 0;
    facts.highlight = file && Document()->SelectionHoldsHighlight(start, end);
    facts.waitingLink = Document() && Document()->IsWaitingForLinkTarget();
    facts.image = image || (Document() && start != end && Document()->SelectionHoldsImage());
    const std::vector<Lookup::TapItem> items = Lookup::TapMenu(facts);
    if (items.empty()) return;
    // Through the shell's pop-up menu: in full screen it offers "Back to normal display" too.
    std::vector<PopupMenuEntry> entries;
    for (const Lookup::TapItem& item : items)
        entries.push_back(PopupMenuEntry{static_cast<uint32_t>(item.command), item.stringId});
    POINT at{point.x, wordBox_ ? wordAnchor_.y : point.y};
    if (HWND window = host_.MenuOwner()) ClientToScreen(window, &at);
    ReaderShell* shell = host_.Shell();
    const int32_t chosen = shell ? shell->ChoosePopupCommand(Point{at.x, at.y}, entries.data(),
                                                             static_cast<uint32_t>(entries.size()))
                                 : -1;
    if (chosen >= 0) PostCommandOnSelection(chosen);
}

void DictionaryLookups::NoteTappedWordBox(const Rect& box) {
    wordBox_ = false;
    if (box.IsEmpty()) return;
    wordAnchor_ = Point{box.x, box.y + box.height};
    wordRect_ = box;
    wordBox_ = true;
}

bool TapOnPage(BookDocumentController& controller, Point p) {
    ReaderController* reader = controller.Reader();
    PageLayout* layout = controller.Page().Layout();
    PageSlot* slot = layout ? layout->CurrentPageSlot() : nullptr;
    PositionViewElement* view = controller.Page().View();
    if (!reader || !slot || !view) return false;
    // The selection the reader made before is the tap's range; the word under the point is
    // found on a focus of its own, so that the page's selection stays as it was.
    uint32_t start = 0, end = 0;
    const TextFocus& selection = view->TextFocusBox();
    if (!selection.HasNoSelection()) selection.GetSelectionRange(start, end);
    TextFocus tapped;
    tapped.Bind(layout, slot);
    String word;
    uint32_t language = 0;
    Rect box{};
    if (tapped.FocusWordAt(p)) {
        tapped.SetRange(true, false);
        tapped.SetRange(false, false);
        Area area;
        if (tapped.GetSelectionArea(area)) area.GetBounds(box);
        tapped.GetSelectionText(1, word, language);
        word = Lookup::TrimPunctuation(word);
    }
    if (start == end && !word.IsEmpty()) reader->Lookups().NoteTappedWordBox(box);
    reader->OnTapAction(start, end, word, static_cast<uint16_t>(language), p, false);
    // The commands the tap chose run after this event: their look-up finds the box.
    if (start == end && !word.IsEmpty()) reader->Lookups().NoteTappedWordBox(box);
    return true;
}
