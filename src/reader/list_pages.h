// The word-list and search-history pages of a reader window: the requests that open them
// (109 display_wordlist, 111 add_to_wordlist, 112 add_entry_to_wordlist, 115
// display_search_history) over their databases, the window shown over the page, and the search
// history opened entries join.
#pragma once

#include <cstdint>
#include <memory>

#include "core/string.h"
#include "reader/book_actions.h"
#include "reader/record_requests.h"

class CommandRecord;
class Database;
class DbTable;
class DocumentLoader;
class LookupWindow;
class ReaderController;
class Resource;
struct VocabularyEntry;

class LookupListPages final : public ListPageRequests {
public:
    using ReaderMethods::kDisplayWordList;
    using ReaderMethods::kAddToWordList;
    using ReaderMethods::kAddEntryToWordList;
    using ReaderMethods::kDisplaySearchHistory;

    LookupListPages(ReaderController* reader, DocumentLoader* loader);
    ~LookupListPages();

    bool OpenListRequest(Resource* document, const CommandRecord& record,
                         String& location) override;
    void LeaveListPage() override;
    void AddSearchHistory(const String& book, uint32_t table, uint32_t entry) override;

    // The request that a list page's location ("fvtwordlist&<n>", "fvtsearchhistory", without
    // the '$') stands for; false for other links or a bad number.
    static bool RequestForLink(const String& link, CommandRecord& out);
    // The word list's table of a language in the database ("wl_" + the language's short name),
    // made when missing, with the list's columns added when missing. Null when it cannot be had.
    static DbTable* WordListTable(Database* database, uint16_t language);
    // The word a 111/112 request adds; false when the record does not carry one.
    static bool EntryOfRequest(const CommandRecord& record, VocabularyEntry& out);

    // A reader command for the page shown; false when none is shown or it does not take it.
    bool ExecuteCommand(int32_t id);
    LookupWindow* Page() const { return page_.get(); }

private:
    bool ShowPage(std::unique_ptr<LookupWindow> page);

    ReaderController* reader_;
    DocumentLoader* loader_;
    std::unique_ptr<LookupWindow> page_;
};
