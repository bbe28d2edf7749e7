// The content resource of a book file: it owns the book document, makes the book's page layout
// and token source, and gives out its records, its index tables (by designation) and runs of
// records named by "eo=" targets as data handles.
//
// Designations (the text after '$' of a location's anchor, or a name a caller gives) are
// tested as prefixes in this order: "table=" (by name), "key_table" (by name as a key table,
// '=' not required), "tableid=" (by number, a whole unsigned decimal), "special_table=" (naming,
// default, lookup_key, inflex, forms), "eo=" (a run of records named by an object target). The
// value is the text after the first '=' (empty without one). A handle keeps its designation as
// its name, so that asking again gives the same handle.
#pragma once

#include <cstdint>

#include "bookfiles/book_document.h"
#include "database/resource.h"

class AudioSource;
class PalmDatabase;

class BookResource : public Resource {
public:
    // Document types of the reader's own generated books (their layout leaves the display
    // option off).
    static constexpr uint32_t kInternalTypeFirst = 768;
    static constexpr uint32_t kInternalTypeLast = 1023;

    // Opens the book over the record source, which it takes over (deleted when the open
    // fails), and wraps it: 0 and the resource, or the book's error code (11 without a record
    // source). `before`/`after` are called around building large decoding tables.
    static int Create(PalmDatabase* source, uint32_t codePage, uint32_t fallbackCodePage,
                      BookResource*& out, BookHostInterface* before = nullptr,
                      BookHostInterface* after = nullptr);

    bool IsBinary() override { return true; }
    DataHandle* OpenDataByName(const String& designation, const DbValue* base) override;
    // Index 1 is the book's first data record; 0, negative and past-the-end indexes give null.
    DataHandle* OpenDataByIndex(int32_t index, const DbValue* base) override;
    // The object target (kind 8) named by the path (cut at '?', percent-decoded, '\' made '/'):
    // five = {kind, flag, first, end, extra}, from the target's third, second, position, first
    // and fourth stored numbers. The records of the object are first + 1 .. end.
    bool FindTarget(const String& path, uint32_t* five) override;
    DocumentSource* GetDocument() override { return &book_; }
    bool CreateLayout(TokenSource*& source, PageLayout** layout) override;
    void DestroyLayout(TokenSource* source, PageLayout* layout) override;
    bool HasHeaderField(uint32_t field) override {
        return book_.HasHeaderField(static_cast<int>(field));
    }
    uint32_t GetKind() override { return 0; }
    DataHandle* OpenHeaderTable(uint32_t field, uint32_t* id) override;
    DataHandle* OpenTableByNumber(uint32_t n) override;
    DataHandle* OpenTableByName(const String& name, uint32_t flag) override;
    bool GetTitle(String& out) override { return book_.GetTitle(out); }

    // True when the handle's data starts with "OggS": `source` is then replaced by a new Vorbis
    // source over the handle (the old one released). The caller's reference to the handle goes
    // in every case.
    static bool OpenAudio(DataHandle* handle, AudioSource*& source);

    BookDocument& Book() { return book_; }

protected:
    BookResource() = default;
    ~BookResource() override;

private:
    // Registers a new index-table handle for the book's table, or null.
    DataHandle* MakeTableHandle(uint32_t table);
    DataHandle* OpenDesignated(const String& designation);
    DataHandle* OpenObject(const String& designation, const String& path);

    BookDocument book_;
};
