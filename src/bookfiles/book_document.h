// A book file as a document: its text decoded page by page into UTF-16, its header, metadata
// and named targets, its images and data records, its compiled frame sets and its index tables.
//
// Positions are characters for UTF-16 books and bytes otherwise; text records hold 4096 bytes
// each. A record that cannot be decoded reads as spaces, so positions of the rest of the book
// stay where they belong.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bookfiles/book_header.h"
#include "bookfiles/document_source.h"
#include "bookfiles/huff_cdic.h"
#include "bookfiles/packed_tree.h"
#include "bookfiles/record_cache.h"
#include "core/code_pages.h"

class PalmDatabase;

// A hook the book calls around building large decoding tables (so the shell can show that it
// is busy).
class BookHostInterface {
public:
    virtual ~BookHostInterface() = default;
    virtual void Notify() = 0;
};

// A named target or metadata entry as stored in the book; texts are decoded on request.
struct BookTarget {
    std::uint32_t kind = 0;
    std::int32_t position = 0;
    std::int32_t numbers[4] = {-1, -1, -1, -1};
    std::u16string name;
    std::u16string value;
    std::u16string extra;
};

class BookDocument : public DocumentSource {
public:
    static constexpr std::uint32_t kPageSize = 4096;
    static constexpr std::uint32_t kRecordBytes = 4096;

    // Target kinds.
    static constexpr std::uint32_t kTargetPosition = 0;
    static constexpr std::uint32_t kTargetGuide = 2;
    static constexpr std::uint32_t kTargetMetadata = 3;
    static constexpr std::uint32_t kTargetTable = 4;
    static constexpr std::uint32_t kTargetKeyTable = 5;
    static constexpr std::uint32_t kTargetObject = 8;

    BookDocument();
    ~BookDocument() override;
    BookDocument(const BookDocument&) = delete;
    BookDocument& operator=(const BookDocument&) = delete;

    // Stored before Open; called before and after building the HUFF/CDIC tables when the record
    // source reads its file on demand.
    void SetHostInterfaces(BookHostInterface* before, BookHostInterface* after);

    // Opens the book over a record source; with `ownsSource` the book deletes it on Close (when
    // Open fails, the caller keeps it).
    // `codePage` is the text code page when the header gives none; pages are always UTF-16.
    // 0, or: 1 not a known book, 2 record size not 4096 bytes, 10 corrupt, 11 no record source,
    // 12 out of memory, 13 needs a newer reader (compression, encryption, version, code page),
    // 14 no records.
    int Open(PalmDatabase* source, int ownsSource, std::uint32_t codePage,
             std::uint32_t requestedCodePage);
    bool IsOpen() const { return source_ != nullptr; }

    // DocumentSource.
    void Close() override;
    bool ReadPage(std::uint32_t position, PageBuffer& out, std::uint32_t section,
                  std::uint32_t flag) override;
    void ReleasePage(std::uint16_t pageId) override;
    // Counts are characters (UTF-16 units), as the character stream counts them; positions
    // are bytes. Advance from inside a character starts at the next one; Distance counts to
    // the character that holds `to`.
    std::uint32_t Advance(std::uint32_t position, std::int32_t count, std::uint32_t mode) override;
    std::int32_t Distance(std::uint32_t from, std::uint32_t to, std::uint32_t mode) override;
    bool OnePositionPerCharacter(std::uint32_t mode) override;
    std::uint32_t GetLength() override { return header_.textLength; }
    std::uint32_t GetCodePage() override { return CodePages::kUtf16; }
    // 1 when a frame-set section starts before the one that holds the position, else 0 (the
    // layout's "does a section precede" question; `out` is not used).
    std::int32_t QueryPosition(std::uint32_t position, void* out) override;
    // Break positions are the starts of frame sets.
    std::int32_t SearchRange(std::uint32_t first, std::uint32_t last, bool backwards) override;
    // 2: guide entries; 3: 1; 4: -1.
    std::int32_t QueryNumber(std::uint32_t what) override;
    // Every kind, table names (kind 4) included.
    bool FindMetadata(const char16_t* name, std::int32_t length, std::uint32_t kind,
                      TargetRecord& out) override;
    // Kind 3 index 0 is the title; then the stored targets of that kind in order.
    bool GetMetadata(std::uint32_t index, std::uint32_t kind, TargetRecord& out) override;
    // The full name, else the database name.
    bool GetTitle(String& out) override;
    // The unique id in decimal.
    bool GetInfo(String& out) override;
    const std::uint8_t* GetDatabaseNameBytes(std::uint32_t& length) override;
    bool GetDatabaseName(String& out) override;
    // Cover query: (EXTH cover offset, thumbnail offset, fake-cover flag), 65535/65535/0 when
    // absent.
    bool GetHeaderTriple(std::uint16_t& cover, std::uint16_t& thumbnail,
                         std::uint8_t& fake) override;
    bool PositionToRecord(std::uint32_t position, PackedTree* cursor, std::uint8_t* changed,
                          std::int32_t previous, std::uint32_t* range2) override {
        return RecordForPosition(position, cursor, changed, previous, range2);
    }
    // (text length; text records, record size, first and last resource, compression).
    bool GetRecordInfo(std::uint32_t& textLength, std::uint16_t* five) override;
    // 2 when the first tag of the text is "html", else 1.
    std::uint32_t GetKind() override;
    std::uint32_t GetLanguage() override { return header_.locale & 0xFFFF; }
    // Dictionary languages (input, output), low 10 bits each; false when not a dictionary.
    bool GetNumberPair(std::uint16_t& input, std::uint16_t& output) override;
    std::uint32_t GetDocumentType() override { return static_cast<std::uint32_t>(header_.type); }
    // False for a book whose header asks not to keep a reading position.
    std::uint32_t BookProperty4() override {
        return (header_.flags & BookHeader::kFlagNoReadingPosition) ? 0 : 1;
    }
    // Pages of a book can be laid out from any position: no replay.
    std::uint32_t BookProperty7() override { return 2; }
    bool DecodeText(String& out, const std::uint8_t* bytes, std::uint32_t count) override;
    bool IsHeld() override;
    bool MayRelease() override;

    // Book-only answers.
    std::uint32_t LivePageCount() const;
    std::uint32_t GetTextCodePage() const { return textCodePage_; }
    const BookHeader& Header() const { return header_; }
    std::int32_t GetBookKind() const { return level_; }
    std::uint32_t GetRecordCount() const { return header_.textRecordCount; }
    // The document key of the layout: the header's unique id.
    std::uint32_t GetOption() const { return header_.uniqueId; }
    PalmDatabase* NextRecord() const { return source_; }
    const std::vector<ExthRecord>& Metadata() const { return exth_; }
    // The same texts as std::u16string, for code below the String type's users.
    bool GetTitleText(std::u16string* out) const;
    bool GetDatabaseNameText(std::u16string* out) const;
    bool DecodeBytes(std::u16string* out, const std::uint8_t* bytes, std::uint32_t count) const;
    // 1 plain text, 2 markup, by looking at the first tag without the tokenizer.
    std::uint32_t SniffKind();
    bool GetTarget(std::uint32_t index, std::uint32_t kind, BookTarget* out);
    bool FindTarget(const char16_t* name, std::uint32_t length, std::uint32_t kind,
                    BookTarget* out);

    // Data records: index n >= 1 is the n-th record from the book's first resource record.
    bool GetDataRecord(std::int32_t index, std::uint32_t* record) const;
    std::uint32_t GetRecordOffset() const { return firstResource_ - 1; }

    // Index tables, as the book-relative record of their INDX header.
    bool HasHeaderField(int field) const;
    bool OpenHeaderRecord(int field, std::uint32_t* table) const;
    bool OpenTableByNumber(std::uint32_t number, std::uint32_t* table) const;
    // By a named target of kind 4 (flag 2 asks for a key table, kind 5, first), else by the
    // INDX names of the header fields' tables.
    bool OpenTableByName(const char16_t* name, std::uint32_t length, std::uint32_t flag,
                         std::uint32_t* table);
    // The interaction tables (drugs, classes, texts); false when the book has none.
    bool GetInteractionTables(std::uint32_t tables[3]) const;

    // Frame sets: the tree of the frame set that holds a position.
    bool RecordForPosition(std::uint32_t position, PackedTree* cursor, std::uint8_t* changed,
                           std::int32_t previous, std::uint32_t* range);

private:
    struct Page;
    struct FramesetEntry {
        bool found = false;
        std::uint32_t start = 0;
        std::uint32_t next = 0;  // the next entry's start, or the text length
        std::uint32_t reference = 0;
    };

    const std::uint8_t* Record(std::uint32_t index, std::uint32_t* length) const;
    // The exact text bytes of text record k (1-based), padded or cut to its share of the text.
    const std::uint8_t* TextRecord(std::uint32_t k, std::uint32_t* length);
    template <typename Visit>
    void ForEachTextRun(std::uint64_t byteStart, std::uint64_t byteEnd, Visit visit);
    bool BuildPage(Page* page, std::uint32_t pageStart);
    // The character positions of the page that starts at pageStart (UTF-8 books): a live
    // page's own, or those of a page read for the call, copied into scratch. False when the
    // page cannot be read.
    bool PagePositions(std::uint32_t pageStart, const std::vector<std::uint32_t>*& out,
                       std::vector<std::uint32_t>& scratch);
    bool IsIndexHeader(std::uint32_t record) const;
    void LoadTargets();
    bool FindFramesetEntry(std::uint32_t position, FramesetEntry* entry);
    bool FramesetIndexRecord(std::uint32_t i, ByteSpan* pairs);

    PalmDatabase* source_ = nullptr;
    std::unique_ptr<PalmDatabase> ownedSource_;  // source_ when the document owns it
    BookHostInterface* before_ = nullptr;
    BookHostInterface* after_ = nullptr;
    BookHeader header_;
    ByteSpan record0_;
    std::int32_t level_ = 0;
    std::uint32_t textCodePage_ = CodePages::kWindows1252;
    std::uint32_t unitSize_ = 1;
    std::uint32_t firstResource_ = 1;
    std::uint32_t framesetShift_ = 16;
    bool hasFrameset_ = false;
    std::vector<ExthRecord> exth_;
    std::unique_ptr<HuffCdicDecoder> huff_;

    std::vector<std::unique_ptr<Page>> pages_;
    std::uint16_t nextPageId_ = 1;

    // The frame-set index record last looked at (every section lookup walks them).
    RecordCache framesetCache_;

    // The last decoded text record.
    std::uint32_t cachedRecord_ = 0;
    std::vector<std::uint8_t> recordBuffer_;

    bool targetsLoaded_ = false;
    std::vector<BookTarget> targets_;
    std::int32_t sniffedKind_ = 0;
};
