// What lists and the history table read of books through the document loader: the records
// object of a pop-up's entry builders, and the book texts of history rows.
#pragma once

#include <cstdint>
#include <vector>

#include "core/ref_counted.h"
#include "core/string.h"
#include "database/history_table.h"
#include "database/resource.h"

class DocumentLoader;
class DocumentSource;
class IndexSource;

// A book as the entry builders read it: its text, and for a name the resource it leads to.
class EntryRecords {
public:
    // Keeps a reference to the book.
    EntryRecords(Resource* book, DocumentLoader* loader);
    ~EntryRecords();
    EntryRecords(const EntryRecords&) = delete;
    EntryRecords& operator=(const EntryRecords&) = delete;

    // The book's text, which the tokenizer opens; null without a book.
    DocumentSource* GetText();
    // The resource a name leads to (resolved against the book): the cached one, else opened
    // without messages. A new reference, or null.
    Resource* OpenResource(const String& name);
    // That resource's title; false when there is none.
    bool GetTitle(const String& name, String& out);

private:
    RefPtr<Resource> book_;
    DocumentLoader* loader_;
};

// History rows' book texts, read through the loader. Each book stays open, once per book text,
// until ReleaseCursors.
class LoaderHistoryResolver : public HistoryTable::Resolver {
public:
    explicit LoaderHistoryResolver(DocumentLoader* loader) : loader_(loader) {}
    ~LoaderHistoryResolver() { ReleaseCursors(); }

    // The entry's headword through the table's naming table, else its key.
    bool Headword(const String& book, uint32_t table, uint32_t entry, String& out) override;
    bool ShortId(const String& book, String& out) override;
    // book + "##-pos" + P + "-tableid" + table + "-entry" + entry, P the entry's text position;
    // empty (false) when any part is missing.
    bool LinkText(const String& book, uint32_t table, uint32_t entry, String& out) override;
    void ReleaseCursors() override;

private:
    Resource* Book(const String& book);
    // The book's table "tableid=" + table (its default table for kDefaultTable) as an index
    // source (a new reference), or null.
    IndexSource* Table(const String& book, uint32_t table);

    struct Open {
        String text;
        RefPtr<Resource> resource;
    };
    DocumentLoader* loader_;
    std::vector<Open> books_;
};
