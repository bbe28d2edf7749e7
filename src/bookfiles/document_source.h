// The abstract text of a shown document. Token sources and the page layout read it page by page
// as UTF-16; the reader asks it for metadata, title, language and book properties. Text files,
// generated pages and books implement it.
//
// Positions are unsigned 32-bit offsets in the document's own units: characters for UTF-16
// text, bytes for single- and multi-byte code pages. A page covers the 4096 positions from a
// multiple of 4096 (a generated page serves whole chunks). Every ReadPage that answers true must
// be matched by one ReleasePage of its page id.
#pragma once

#include <cstdint>

#include "core/string.h"

class PackedTree;

// One page as ReadPage hands it out (a copy; the characters stay owned by the document).
struct PageBuffer {
    uint32_t start = 0;               // position of the page's first character
    const char16_t* text = nullptr;   // the page's UTF-16 characters
    uint32_t length = 0;              // characters in text
    uint32_t baseStart = 0;           // equal to start
    uint32_t reserved = 0;            // always 0
    uint32_t spanLength = 0;          // positions the page covers
    uint16_t pageId = 0;              // never 0, unique among the document's live pages
};

// A metadata entry or named target. Kinds: 2 a guide reference, 3 a metadata value, 8 a named
// object of a book (others are the book's own).
struct TargetRecord {
    uint32_t kind = 0;
    String name;
    String value;
    String extra;  // a link address or script text
    int32_t position = 0;
    int32_t numbers[4] = {-1, -1, -1, -1};

    // Clears the strings and unsets the four numbers; the position is the filler's.
    void Init() {
        name.Release();
        value.Release();
        extra.Release();
        for (int32_t& n : numbers) n = -1;
    }
};

class DocumentSource {
public:
    virtual ~DocumentSource() = default;

    virtual void Close() = 0;
    // section and flag are 0 except for books and generated pages over books.
    virtual bool ReadPage(uint32_t position, PageBuffer& out, uint32_t section, uint32_t flag) = 0;
    virtual void ReleasePage(uint16_t pageId) = 0;
    // The position count units further; the distance in units between two positions. For
    // multi-byte text both fall on character boundaries.
    virtual uint32_t Advance(uint32_t position, int32_t count, uint32_t mode) = 0;
    virtual int32_t Distance(uint32_t from, uint32_t to, uint32_t mode) = 0;
    // True when, in that mode, Advance within any page ReadPage gives is plain addition (a
    // character a position): a reader may then map the page's offsets itself instead of asking
    // for each one.
    virtual bool OnePositionPerCharacter(uint32_t /*mode*/) { return false; }
    // The length in positions; 0xFFFFFFFF while it is not known yet.
    virtual uint32_t GetLength() = 0;
    // The code page of the text ReadPage gives (UTF-16 in practice).
    virtual uint32_t GetCodePage() = 0;

    virtual int32_t QueryPosition(uint32_t /*position*/, void* /*out*/) { return 0; }
    virtual int32_t QueryPositionEx(uint32_t /*position*/, void* /*out*/) { return 0; }
    // A break position within [first, last], or -1.
    virtual int32_t SearchRange(uint32_t /*first*/, uint32_t /*last*/, bool /*backwards*/) {
        return -1;
    }
    virtual bool Supports(uint32_t /*feature*/) { return false; }
    // 2: number of guide entries, 3: a flag, 4: always -1.
    virtual int32_t QueryNumber(uint32_t /*what*/) { return 0; }
    // The first metadata record of that kind with exactly that name. Kind 4 is refused here.
    virtual bool FindMetadata(const char16_t* name, int32_t length, uint32_t kind,
                              TargetRecord& out) {
        if (kind != 4) {
            for (uint32_t i = 0;; ++i) {
                TargetRecord rec;
                if (!GetMetadata(i, kind, rec)) break;
                if (rec.name.Length() == length && rec.name.CompareN(name, length) == 0) {
                    out = rec;
                    return true;
                }
            }
        }
        out.Init();
        return false;
    }
    virtual bool GetMetadata(uint32_t /*index*/, uint32_t /*kind*/, TargetRecord& /*out*/) {
        return false;
    }
    // The value of metadata record 0 of kind 3.
    virtual bool GetTitle(String& out) {
        TargetRecord rec;
        if (!GetMetadata(0, 3, rec)) return false;
        out.Assign(rec.value);
        return true;
    }
    virtual bool GetOwnShortName(String& /*out*/) { return false; }
    // The document's own short name, failing that the title cut to its first 3 characters.
    virtual bool GetShortName(String& out) {
        if (GetOwnShortName(out)) return true;
        String title;
        if (!GetTitle(title)) return false;
        out.AssignSub(title, 0, title.Length() < 3 ? title.Length() : 3);
        return true;
    }
    // The book's unique-id text.
    virtual bool GetInfo(String& /*out*/) { return false; }
    // The 8-bit name of the book's database (not terminated), null when none.
    virtual const uint8_t* GetDatabaseNameBytes(uint32_t& length) {
        length = 0;
        return nullptr;
    }
    virtual bool GetDatabaseName(String& /*out*/) { return false; }
    virtual int32_t Reserved21() { return 0; }
    // The cover query: cover number, second number, flag.
    virtual bool GetHeaderTriple(uint16_t& /*a*/, uint16_t& /*b*/, uint8_t& /*flag*/) {
        return false;
    }
    // The section (frame-set) record of a position: cursor on its tree, whether it differs from
    // the previous position's (-1: none), and the section's [start, end) range. Either out may
    // be null.
    virtual bool PositionToRecord(uint32_t /*position*/, PackedTree* /*cursor*/,
                                  uint8_t* /*changed*/, int32_t /*previous*/,
                                  uint32_t* /*range2*/) {
        return false;
    }
    virtual bool GetRecordInfo(uint32_t& /*word*/, uint16_t* /*five*/) { return false; }
    // 1 plain text, 2 markup.
    virtual uint32_t GetKind() = 0;
    // A language code, 0 when not known.
    virtual uint32_t GetLanguage() = 0;
    virtual bool GetNumberPair(uint16_t& a, uint16_t& b) {
        a = 0;
        b = 0;
        return false;
    }
    virtual uint32_t GetDocumentType() { return 2; }
    virtual uint32_t BookProperty1() { return 0; }
    virtual uint32_t BookProperty2() { return 0; }
    virtual uint32_t BookProperty3() { return 0; }
    virtual uint32_t BookProperty4() { return 1; }
    virtual uint32_t BookProperty5() { return 0; }
    virtual uint32_t BookProperty6() { return 2; }
    // The replay query: 1 makes the layout replay from the first page.
    virtual uint32_t BookProperty7() { return 1; }
    // Text in the document's own code page to UTF-16.
    virtual bool DecodeText(String& /*out*/, const uint8_t* /*bytes*/, uint32_t /*count*/) {
        return false;
    }
    virtual uint32_t BookProperty8() { return 0; }
    virtual int32_t Reserved38() { return 0; }
    virtual int32_t Reserved39() { return -1; }
    virtual bool IsHeld() { return false; }
    virtual bool MayRelease() { return false; }

    // Runs the markup tokenizer from position 0 to the first tag; isHtml is set when that tag
    // is HTML. Books use it to answer GetKind. The tokenizer lives above this layer, so the
    // document model installs the probe; false while none is installed.
    using HtmlProbe = bool (*)(DocumentSource& document, bool& isHtml);
    static inline HtmlProbe htmlProbe = nullptr;
    static bool StartsWithHtmlTag(DocumentSource& document, bool& isHtml) {
        isHtml = false;
        return htmlProbe ? htmlProbe(document, isHtml) : false;
    }
};
