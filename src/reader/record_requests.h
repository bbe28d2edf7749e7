// What the document controller's requests need from other parts of the reader: the word-list and
// search-history pages (which own their windows), the books an index entry may point into, and
// the audio view's start.
#pragma once

#include <cstdint>
#include <memory>

#include "core/ref_counted.h"
#include "core/string.h"

class CommandRecord;
class DocumentLoader;
class IndexRecordSet;
class IndexSource;
class Location;
class ReaderSettings;
class Node;
class Resource;
class SearchField;

// The word-list and search-history pages: requests 109 (display_wordlist), 111
// (add_to_wordlist), 112 (add_entry_to_wordlist) and 115 (display_search_history), and the
// search history that opened index entries are added to.
class ListPageRequests {
public:
    // Shows the page the request asks for over the document (a database resource) in the
    // controller's window; `location` receives the page's location string ("$fvtwordlist&<n>",
    // "$fvtsearchhistory"). False when nothing is shown.
    virtual bool OpenListRequest(Resource* document, const CommandRecord& record,
                                 String& location) = 0;
    // The page shown by the last OpenListRequest is replaced; it may still be running (a row it
    // opened), so it is deleted later, not inside this call.
    virtual void LeaveListPage() = 0;
    // An index entry was opened from a record-set view: (book, table, entry) joins the search
    // history.
    virtual void AddSearchHistory(const String& book, uint32_t table, uint32_t entry) = 0;

protected:
    ~ListPageRequests() = default;
};

// Makes the native search fields of record-set pages (the shell's edit control); the field sends
// its key and change events to `owner`.
class SearchFieldFactory {
public:
    virtual std::unique_ptr<SearchField> MakeSearchField(Node* owner) = 0;

protected:
    ~SearchFieldFactory() = default;
};

// The books a document refers to by number (an index entry's tag 41 names one).
class LinkedBooks {
public:
    struct Book {
        String fileName;  // relative to the referring book's location
        String title;     // for "oeb:redirect?title=" when the file does not open
        String name;      // shown when neither opens
    };
    // False when the document names no such book.
    virtual bool FindLinkedBook(Resource* document, uint32_t number, Book& out) = 0;

protected:
    ~LinkedBooks() = default;
};

// The audio view asked for by request 134: its sound list and the start position (-1: where the
// book's side file left off).
struct AudioRequest {
    String soundList;
    int64_t startPosition = -1;
};

// What the requests of a record page ask of the controller.
class RequestsHost {
public:
    // The book shown and its location; null without one.
    virtual Resource* Book() = 0;
    virtual const Location& BookLocation() = 0;
    virtual DocumentLoader* Loader() = 0;
    virtual ReaderSettings* Settings() = 0;
    // Tells the reader (a message box of that string id, with one argument); nothing outside a
    // window.
    virtual void Tell(uint32_t id, const String& argument) = 0;
    virtual ListPageRequests* ListPages() = 0;
    virtual LinkedBooks* Linked() = 0;
    // Navigations that leave the asking page to be deleted later.
    virtual bool OpenEntryPosition(IndexSource* table, uint32_t entry, int64_t position) = 0;
    virtual bool RunWithRecordSet(RefPtr<IndexRecordSet> set, uint32_t entry,
                                  const String& script) = 0;
    virtual bool OpenRequestAt(Location& location, const CommandRecord& record, bool report) = 0;
    // A failed open's message (a string id), kept for the window's message box.
    virtual void Report(uint32_t id) = 0;

protected:
    ~RequestsHost() = default;
};

// The requests a record page makes. An opened index entry joins the search history, and the
// remembered search is dropped: the search led somewhere.
class RecordRequests {
public:
    explicit RecordRequests(RequestsHost& host) : host_(host) {}

    // The word-list and reading-history databases open as their pages (requests 109, 115).
    static bool IsListDatabase(const Location& location);
    // "$fvtwordlist&<n>" and "$fvtsearchhistory" (a list page reopened from the history).
    static bool IsListPageLink(const String& anchor);
    static void HideInputPanel();
    bool OpenNumberedEntry(IndexSource* table, int32_t tableNumber, uint32_t entry,
                           int64_t position);
    bool RunEntryScript(IndexRecordSet* set, int32_t tableNumber, uint32_t entry,
                        const String& script);
    bool OpenEntryInBook(uint32_t book, int64_t position, int32_t tableNumber, uint32_t entry);
    // Request 134's audio view, as last asked for.
    void SetRequestedAudio(const AudioRequest& audio) { audio_ = audio; }
    const AudioRequest& RequestedAudio() const { return audio_; }

private:
    RequestsHost& host_;
    AudioRequest audio_;
};
