#include "reader/list_pages.h"

#include <new>
#include <string>

#include "core/lang_name.h"
#include "core/platform_helpers.h"
#include "core/ref_counted.h"
#include "database/database.h"
#include "database/db_table.h"
#include "database/history_table.h"
#include "database/query_text.h"
#include "database/table_record_set.h"
#include "graphics/core/drawing_surface.h"
#include "platform/window/window.h"
#include "reader/command_record.h"
#include "reader/lookup_window.h"
#include "reader/dictionary_lookups.h"
#include "reader/reader_controller.h"
#include "reader/word_lists.h"

namespace {

constexpr uint32_t kAlreadyThere = 5117;
constexpr uint32_t kReadOnly = 5236;

// A page replaced while it may still be running: freed from the reader's next queue drain.
struct ParkedPage final : ParkedObject {
    explicit ParkedPage(std::unique_ptr<LookupWindow> p) : page(std::move(p)) {}
    std::unique_ptr<LookupWindow> page;
};

uint16_t LanguageOf(const CommandRecord& record, uint32_t argument) {
    String name;
    if (record.Count() > argument && record.GetText(argument, name)) {
        if (const uint16_t code = LangName::Find(name)) return code;
    }
    return static_cast<uint16_t>(GetProgramLanguage());
}

}  // namespace

LookupListPages::LookupListPages(ReaderController* reader, DocumentLoader* loader)
    : reader_(reader), loader_(loader) {}

LookupListPages::~LookupListPages() {
    if (page_) page_->Detach();
}

DbTable* LookupListPages::WordListTable(Database* database, uint16_t language) {
    const char* shortName = LangName::Name(static_cast<uint16_t>(language & 1023));
    if (!database || !shortName) return nullptr;
    String name(u"wl_");
    name.AppendAscii(shortName);
    int32_t index = database->FindTable(name);
    if (index < 0) index = database->CreateTable(name);
    DbTable* table = database->TableAt(index);
    if (!table) return nullptr;
    // A column the table has with another type is left as it is (the rows skip it).
    table->AddColumn(String(u"orth"), 0);
    table->AddColumn(String(u"dict"), 6);
    table->AddColumn(String(u"icon"), 5);
    table->AddColumn(String(u"formatted"), 0);
    table->AddColumn(String(u"ent"), 2);
    table->AddColumn(String(u"shortid"), 0);
    return table;
}

bool LookupListPages::EntryOfRequest(const CommandRecord& record, VocabularyEntry& out) {
    const bool entry = record.methodId == kAddEntryToWordList;
    // add_to_wordlist may give the word alone: its language and entry link are optional.
    if (record.Count() < (entry ? 7u : 1u)) return false;
    String title, table;
    if (!record.GetText(0, out.orth) || out.orth.IsEmpty()) return false;
    if ((record.Count() > 2 && !record.GetText(2, title)) ||
        (record.Count() > 3 && !record.GetText(3, table)))
        return false;
    out.number = LanguageOf(record, 1);
    if (!title.IsEmpty()) {
        // The title is a database name: encoded so that '&', '#' or '$' in it stay inside.
        String encoded(title);
        encoded.UriEscape(true, true);
        if (table.IsEmpty()) {
            out.dict.AppendAscii("oeb:redirect?title=");
            out.dict.Append(encoded);
        } else if (!QueryText::MakeDictLink(encoded, table, out.dict)) {
            return false;
        }
    }
    if (entry) {
        int32_t ent = -2;
        if (!record.GetSigned(4, ent)) return false;
        out.ent = ent;
        record.GetText(5, out.formatted);
        record.GetText(6, out.shortid);
    }
    return true;
}

bool LookupListPages::RequestForLink(const String& link, CommandRecord& out) {
    std::int64_t number = -1;
    const std::u16string text(link.Data(), static_cast<size_t>(link.Length()));
    if (WordLists::IsSearchHistoryLink(text)) {
        out = CommandRecord(kDisplaySearchHistory, 25);
        return true;
    }
    if (!WordLists::ParseWordListLink(text, &number)) return false;
    out = CommandRecord(kDisplayWordList, 25);
    if (number >= 0) {
        const char* name = LangName::Name(static_cast<uint16_t>(number & 1023));
        if (!name) return false;
        String text;
        text.AppendAscii(name);
        out.AppendText(text);
    }
    return true;
}

bool LookupListPages::OpenListRequest(Resource* document, const CommandRecord& record,
                                      String& location) {
    if (!reader_ || !document || document->GetKind() != 1) return false;
    Database* database = Database::FromResource(document);
    if (!database) return false;
    DocumentController* controller = reader_->GetDocumentController();

    if (record.methodId == kDisplaySearchHistory) {
        HistoryTable* history = reader_->Lookups().SearchHistory();
        if (!history) return false;
        auto page = std::make_unique<SearchHistoryWindow>(controller, reader_, history);
        page->SetRecordSet(history, RecordPosition::At(RecordPosition::kBeforeFirst));
        location = String(u"$fvtsearchhistory");
        return ShowPage(std::move(page));
    }
    if (record.methodId != kDisplayWordList && record.methodId != kAddToWordList &&
        record.methodId != kAddEntryToWordList)
        return false;

    VocabularyEntry entry;
    const bool adding = record.methodId != kDisplayWordList;
    if (adding && !EntryOfRequest(record, entry)) return false;
    const uint16_t language = adding ? static_cast<uint16_t>(entry.number) : LanguageOf(record, 0);
    DbTable* table = WordListTable(database, language);
    if (!table) return false;
    auto set = RefPtr<TableRecordSet>::Adopt(new TableRecordSet(database, table));
    auto page = std::make_unique<WordListWindow>(
        controller, reader_, loader_ ? loader_ : reader_->GetDocumentLoader());
    page->SetRecordSet(set.Get(), RecordPosition::At(RecordPosition::kBeforeFirst));
    location = String(u"$fvtwordlist&");
    location.AppendAscii(std::to_string(language & 1023).c_str());
    WordListWindow* words = page.get();
    if (!ShowPage(std::move(page))) return false;
    if (adding) {
        const int32_t row = WordList::FindRow(entry, table);
        if (row >= 0) {
            words->SetStatusTextById(kAlreadyThere);
            words->ShowEntry(RecordPosition::At(row));
        } else if (database->IsReadOnly()) {
            words->SetStatusTextById(kReadOnly);
            words->ShowEntry(RecordPosition::At(RecordPosition::kBeforeFirst));
        } else {
            words->AddEntry(entry);
        }
    }
    return true;
}

bool LookupListPages::ShowPage(std::unique_ptr<LookupWindow> page) {
    LeaveListPage();
    page_ = std::move(page);
    DrawingSurface* surface = reader_->GetDrawingSurface();
    RECT client{};
    if (surface && surface->Window() && GetClientRect(surface->Window(), &client) &&
        page_->SetParent(surface)) {
        Rect placed;
        page_->AdjustRect(placed, Rect::FromWinRect(client));
        page_->Show(true);
        page_->Focus();
    }
    return true;
}

void LookupListPages::LeaveListPage() {
    if (!page_) return;
    page_->Show(false);
    page_->Detach();
    // The page may be the caller (one of its rows was opened): freed later.
    if (reader_) reader_->Queue().Park(std::make_unique<ParkedPage>(std::move(page_)));
    page_.reset();
}

void LookupListPages::AddSearchHistory(const String& book, uint32_t table, uint32_t entry) {
    HistoryTable* history = reader_ ? reader_->Lookups().SearchHistory() : nullptr;
    if (history && history->AddEntry(book, table, entry) && !history->Save())
        history->NoteUnsaved();
}

bool LookupListPages::ExecuteCommand(int32_t id) {
    return page_ && page_->RunCommand(id);
}
