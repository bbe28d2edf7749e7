// Text search over a document source: first, next, last and previous occurrence, with or
// without case and whole words. A plain searcher reads the document's characters; an indexed
// one reads the text of marked-up documents through the markup tokenizer, so tags count as
// nothing, references as the characters they stand for and white space as one space. Both
// report document positions (never character counts), so a match in multi-byte text or over
// references starts and ends where its characters lie.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/string.h"
#include "layout/search_state.h"

class DocumentSource;

// Told how many characters were read so far; false cancels the search.
class SearchProgress {
public:
    virtual bool OnProgress(uint32_t done) = 0;

protected:
    ~SearchProgress() = default;
};

enum SearchResult : int {
    kSearchFound = 0,
    kSearchNotFound = 1,
    kSearchCancelled = 2,
    kSearchFailed = 3
};

enum SearchMode : uint32_t {
    kSearchFirst = 0,
    kSearchPrevious = 1,
    kSearchNext = 2,
    kSearchLast = 3
};

class Searcher {
public:
    virtual ~Searcher() = default;
    virtual void SetSource(DocumentSource* source) { source_ = source; }
    void SetProgress(SearchProgress* progress) { progress_ = progress; }

    // Mode first/next searches forward (next over [start, end), end -1 the document's end); on
    // success found is the match's start and start its end. Mode last/previous searches
    // backward for the last match starting before end (last: before the document's end); on
    // success found and end are the match's start. A success turns first into next and last
    // into previous. An empty pattern is never found.
    SearchResult Search(const String& pattern, uint32_t& start, uint32_t& end, uint32_t& found,
                        bool wholeWord, bool lowerCase, uint32_t& mode);

    // The first match starting in [from, to) (to -1: the document's end), or with last the
    // last one; it may run past to. One pass either way.
    virtual SearchResult Find(const String& pattern, uint32_t from, uint32_t to,
                              uint32_t& matchStart, uint32_t& matchEnd, bool wholeWord,
                              bool lowerCase, bool last = false) = 0;

    // The searcher a content resource hands out: indexed for marked-up documents.
    static std::unique_ptr<Searcher> Create(DocumentSource* source, bool indexed);

protected:
    bool Report(uint32_t done) { return !progress_ || progress_->OnProgress(done); }
    // Sets the matcher up and clamps the range: kSearchFound when there is something to read.
    SearchResult BeginFind(const String& pattern, uint32_t from, uint32_t& to, bool wholeWord,
                           bool lowerCase, uint32_t& length);

    DocumentSource* source_ = nullptr;
    SearchProgress* progress_ = nullptr;
    SearchState state_;

    // Where a backward step over the page starting at pageStart begins to read: a position at
    // or before it from which Find reads the same text a read from the document's start does.
    // kSearchFound with `from` set, else why not.
    virtual SearchResult RestartBefore(uint32_t pageStart, uint32_t& from) {
        from = pageStart;
        return kSearchFound;
    }

private:
    SearchResult SearchBackward(const String& pattern, uint32_t& end, uint32_t& found,
                                bool wholeWord, bool lowerCase);
};

class PlainSearcher : public Searcher {
public:
    SearchResult Find(const String& pattern, uint32_t from, uint32_t to, uint32_t& matchStart,
                      uint32_t& matchEnd, bool wholeWord, bool lowerCase,
                      bool last = false) override;
};

class IndexedSearcher : public Searcher {
public:
    void SetSource(DocumentSource* source) override;
    SearchResult Find(const String& pattern, uint32_t from, uint32_t to, uint32_t& matchStart,
                      uint32_t& matchEnd, bool wholeWord, bool lowerCase,
                      bool last = false) override;

protected:
    // A page start lies anywhere in the markup (inside a tag, a comment, a word); the tokenizer
    // cannot find its way from there without reading on to the next tag, which in a text
    // without tags is the document's end. So token boundaries met by one read from the start
    // (after white space or a tag, outside scripts) are kept, one every few thousand
    // characters, and a backward step starts at the last one before its page.
    SearchResult RestartBefore(uint32_t pageStart, uint32_t& from) override;

private:
    SearchResult ReadRestartsTo(uint32_t position);

    std::vector<uint32_t> restarts_;  // ascending token boundaries, the first 0
    uint32_t restartsTo_ = 0;         // read as far as this; restarts_ hold all before it
    uint32_t restartsLength_ = 0;     // the document's length they were read from
    bool restartsAtEnd_ = false;
};
