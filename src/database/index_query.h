// Queries over book index tables: the plan of a compiled query (leaves, levels, browse flags),
// lazy stepping through its matches in index order, the result collections it runs into, and
// the script object over one entry.
//
// Index tables are reached through `IndexSource`, which the book side implements over its index
// reader; positions of index sets are entry numbers (entry i is the i-th key in index order).
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "core/ref_counted.h"
#include "core/string.h"
#include "database/record_set.h"
#include "database/sql_parser.h"
#include "script/script_object.h"

class ScriptHeap;

// One index table as queries read it.
class IndexSource : public RefCounted {
public:
    virtual uint32_t EntryCount() const = 0;
    virtual bool Key(uint32_t entry, String& out) const = 0;
    // The first entry whose key is not before key in the table's order, or -1.
    virtual int32_t LowerBound(const String& key) const = 0;
    // Runs of entries [first, end), in order and apart, outside which no key lies that begins
    // with prefix as LIKE compares it (ASCII letters in either case). The table's own order
    // decides where they lie (a collation may put "bâette" between "ba" and "bailoir", byte
    // order puts "K" far from "k"). False when the order cannot bound them: every entry is then
    // a candidate. The default serves a table sorted as SqlMatch::Compare sorts: one run.
    using EntryRuns = std::vector<std::pair<int32_t, int32_t>>;
    virtual bool PrefixRuns(const String& prefix, EntryRuns& out) const;
    // The values of a tag of the entry; false when the entry lacks it.
    virtual bool TagValues(uint32_t entry, uint32_t tag, std::vector<uint32_t>& out) const = 0;
    // The headword through the naming table; the key when there is none.
    virtual bool Headword(uint32_t entry, String& out) const { return Key(entry, out); }
    virtual bool Name(String& out) const;
    // Low 10 bits: the primary language.
    virtual uint32_t Language() const { return 0; }
    // The table's number in its book (the search history keeps it); -1 when unknown.
    virtual int32_t TableNumber() const { return -1; }
    // Inflected forms joined with ", "; false when none.
    virtual bool InflectedForms(uint32_t entry, String& out) const;
    // The entry's text: tag 8, else tag 6 ranges, as plain text.
    virtual bool EntryText(uint32_t entry, String& out) const;
    // The entries that the word is a form of, through the book's inflection table; false when
    // the book has none or the word is not one of its forms.
    virtual bool InflectionEntries(const String& word, std::vector<uint32_t>& out) const;
    // Entries whose keys are spelling corrections of the word, at most limit; false for none.
    virtual bool SpellingCandidates(const String& word, uint32_t limit,
                                    std::vector<uint32_t>& out) const;
    // The text position of the entry's target: follow link tag 25, else 22 (one rule for every
    // caller), then the first value of tag 1. -1 when there is none.
    int64_t TextPosition(uint32_t entry) const;

protected:
    ~IndexSource() override = default;
};

// Opens the table a query names ("tableid=3", "table=main", "special_table=default", ...).
class IndexSourceResolver {
public:
    // A new reference, or null when nothing answers to the designation.
    virtual IndexSource* OpenIndex(const String& designation) = 0;

protected:
    ~IndexSourceResolver() = default;
};

// What index record sets share: an entry number and a table per position.
class IndexRecordSet : public RecordSet {
public:
    // The entry number at pos (-1 before-first, -2 after-last or out of range).
    virtual int32_t EntryAt(const RecordPosition& pos) = 0;
    virtual IndexSource* ResultSource() = 0;

    bool GetText(const RecordPosition& pos, String& out) override;
    bool GetDisplayText(const RecordPosition& pos, String& out) override;
    bool GetTableName(String& out, bool next) override;
    ScriptObject* MakeScriptObject(const RecordPosition& pos) override;
};

class ResultCollection;

class IndexQuery : public IndexRecordSet {
public:
    IndexQuery();

    // A plain table: one leaf, no condition; Count is the table's entry count.
    static IndexQuery* FromTable(IndexSource* source);
    // Compiles a query; on failure the query is left as it was. 0, 1, 19 or 20.
    int Compile(const String& text, IndexSourceResolver* resolver, SqlError* error = nullptr);

    bool HasIndex() const { return result_ >= 0; }
    bool HasBrowsePart() const { return query_.hasBrowsePart; }
    void SetBrowse(bool browse) { browse_ = browse; }
    bool GetBrowse() const { return browse_; }
    const SqlQuery& Plan() const { return query_; }

    // Levels 0 .. L-1 are the active leaves (the tables before the result in FROM order); level
    // L is the result.
    int32_t ActiveLeafCount() const { return static_cast<int32_t>(leaves_.size()); }
    IndexSource* ActiveLeaf(int32_t k) const;
    const String& ActiveLeafAlias(int32_t k) const;
    // Binds leaf k to an entry; true when it satisfies level k's conditions.
    bool EvaluateLeaf(int32_t k, uint32_t entry);
    IndexSource* ResultSource() override;

    // Matches of a level, as entry numbers: -1 when there is none before, -2 none after.
    int32_t First(int32_t level);
    int32_t FirstAtOrAfter(int32_t level, int32_t entry);
    int32_t NextMatch(int32_t level, int32_t entry);
    int32_t PreviousMatch(int32_t level, int32_t entry);
    // The first match at or after the key's place, for type-ahead.
    int32_t LookupKey(int32_t level, const String& key);

    // Every match of the result level.
    ResultCollection* Run();

    // RecordSet face over the result level; values are entry numbers.
    RecordPosition Previous(const RecordPosition& pos) override;
    RecordPosition Next(const RecordPosition& pos) override;
    uint32_t Count() override;
    int32_t EntryAt(const RecordPosition& pos) override;

protected:
    ~IndexQuery() override;

private:
    struct Level {
        std::vector<int32_t> conjuncts;  // applied at this level
        int32_t table = -1;              // FROM index
        // Key range shortcut: only entries of these runs can match, found once.
        bool ranged = false;
        IndexSource::EntryRuns runs;
        // Link shortcut: the candidates are the values of tag linkTag of the entry bound to
        // table linkFrom ("other.tagN = this").
        int32_t linkFrom = -1;
        uint32_t linkTag = 0;
    };
    void LinkCandidates(const Level& l, std::vector<uint32_t>& out) const;
    bool Matches(int32_t level, uint32_t entry);
    bool Eval(int32_t node, int32_t table, uint32_t entry);
    void ReleaseSources();
    void BuildLevels();

    SqlQuery query_;
    std::vector<RefPtr<IndexSource>> sources_;  // per FROM table
    std::vector<int32_t> leaves_;        // FROM indexes of the active leaves
    std::vector<int64_t> bound_;         // per FROM table: the bound entry, -1 none
    std::vector<Level> levels_;          // leaves then the result
    int32_t result_ = -1;
    bool browse_ = true;
    bool plain_ = false;
};

// The matches of a query, in index order. For a plain table nothing is stored: position i is
// entry i.
class ResultCollection : public IndexRecordSet {
public:
    ResultCollection(IndexSource* source, std::vector<uint32_t>&& entries, bool all);

    uint32_t Count() override;
    RecordPosition Previous(const RecordPosition& pos) override;
    RecordPosition Next(const RecordPosition& pos) override;
    int32_t EntryAt(const RecordPosition& pos) override;
    IndexSource* ResultSource() override { return source_.Get(); }
    int64_t TextPositionAt(uint32_t i);

protected:
    ~ResultCollection() override;

private:
    RefPtr<IndexSource> source_;
    std::vector<uint32_t> entries_;
    bool all_;
};

// The script object over one entry of an index record set (kind 7).
class IndexRecordSetObject : public ScriptObject {
public:
    static constexpr int kKind = 7;

    // Made from before-first or after-last it starts at the first match.
    IndexRecordSetObject(IndexRecordSet* set, const RecordPosition& pos);
    ~IndexRecordSetObject() override;

    // The entry number; -1 before-first, -2 after-last.
    int32_t GetEntryNumber();
    // Where the book lives, for href/url: the book's location text.
    void SetBookLocation(const String& location) { book_ = location; }
    // The book's database name and short identifier, for the word-list record.
    void SetBookNames(const String& databaseName, const String& shortId) {
        databaseName_ = databaseName;
        shortId_ = shortId;
    }

    // The seven values a word list takes from an entry, in order: orth, language, the book's
    // database name, the table name, the entry number, Formatted, the book's short identifier.
    struct WordListRecord {
        String orth, language, databaseName, tableName;
        int32_t entry = -1;
        String formatted, shortId;
    };
    // False before the first or after the last match.
    bool GetWordListRecord(WordListRecord& out);

    int Kind() override { return kKind; }
    int Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool create) override;
    int Call(int* err, ScriptMemberRef* ref, int argc, const ScriptValue* stack,
             ScriptValue* result) override;
    int GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue* result) override;
    int DefaultValue(int* err, ScriptHeap* heap, int hint, ScriptValue* result) override;
    void Notify(int event, ScriptHeap* heap) override;

private:
    RefPtr<IndexRecordSet> set_;
    RecordPosition pos_;
    String book_, databaseName_, shortId_;
    ScriptHeap* heap_ = nullptr;
};
