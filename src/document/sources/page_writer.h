// Writes the reader's own generated pages (the cart and the interactions page) as small book
// files: a "BOOK"/"FOLV" Palm database whose record 0 is a book header and whose further
// records hold the page's HTML, 4096 bytes each. Text comes from string-resource templates
// whose "###name###" fields take the arguments in order; "###HREF###" fields are written as
// "00000000" and patched with the text position of their link's target when the book is
// finished.
//
// The database is opened with flags 151: it starts empty and replaces its file through a
// temporary file when written, so a page that still maps the previous file keeps its bytes.
// Any failure sets the failed flag, after which nothing is written; an unfinished database is
// destroyed (Abort, or the destructor).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "bookfiles/palm_database.h"
#include "core/code_pages.h"
#include "core/random.h"

class String;
class Text;

class PageWriter {
public:
    // A template argument: a text of `value` characters, or (text null) the number `value`,
    // written in decimal; the number 0xFFFFFFFF is written as nothing.
    struct Arg {
        const char16_t* text;
        uint32_t value;
    };
    static constexpr uint32_t kNoNumber = 0xFFFFFFFFu;
    static constexpr uint32_t kHeaderSize = 224;
    static constexpr uint32_t kRecordBytes = 4096;

    PageWriter();
    virtual ~PageWriter();
    PageWriter(const PageWriter&) = delete;
    PageWriter& operator=(const PageWriter&) = delete;

    // 0 on success, 1 on failure. titleBytes: the title's UTF-16 byte length; codePage
    // CodePages::kUtf16 or CodePages::kUtf8.
    int Open(const Text& path, uint32_t titleBytes, uint32_t codePage);
    void WriteRaw(const uint8_t* bytes, uint32_t count);
    // Characters, in the writer's code page.
    void WriteChars(const char16_t* chars, uint32_t count);
    void WriteString(uint32_t id);
    void FillTemplate(const char16_t* text, uint32_t length, std::initializer_list<Arg> args);
    // FillTemplate over a string resource.
    void FillString(uint32_t id, std::initializer_list<Arg> args);
    void DefineTarget(uint32_t id);
    // The failed flag (false: the book is whole). A failure destroys the database.
    bool Finish(uint32_t type, uint32_t uniqueId, const char16_t* title, uint32_t titleBytes);
    // The finished database, now the caller's.
    PalmDatabase* TakeDatabase();
    void Abort();

    // Double quotes as '\' + "&quot;", apostrophes and backslashes after a '\', and with
    // encodePercent '%' as "%25".
    static bool EscapeForScriptString(const String& in, String& out, bool encodePercent);

    bool Failed() const { return failed_; }
    // The current text position, in characters.
    uint32_t TextPosition() const;
    Random& GetRandom() { return random_; }
    // 1: a fresh database (flags 151); 0: created or kept (flags 23).
    void SetCreateMode(uint32_t mode) { createMode_ = mode; }

private:
    struct Fixup {
        uint32_t position;
        uint32_t id;
        uint32_t target;
    };

    bool CloseRecord(bool last);
    void AddReference(uint32_t id, uint32_t position);
    // Writes bytes at a text byte offset of the finished records.
    bool Patch(uint64_t textByte, const uint8_t* bytes, uint32_t count);
    void WriteNumber(uint32_t value);

    bool failed_ = false;
    std::unique_ptr<PalmDatabase> database_;
    uint32_t record_ = 0;  // the current text record; 0 for none
    uint32_t recordCapacity_ = 0;
    uint32_t recordUsed_ = 0;
    uint32_t fullRecords_ = 0;
    uint32_t createMode_ = 1;
    Random random_;
    std::vector<Fixup> fixups_;
    uint32_t codePage_ = CodePages::kUtf16;
    uint32_t recordAllocation_ = kRecordBytes;
    uint32_t charsPerRecord_ = 2048;
    uint16_t compression_ = 1;
    // The last bytes of the current record's text, for a UTF-8 character split over records.
    std::vector<uint8_t> tail_;
};
