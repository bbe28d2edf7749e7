// The document source of a text or HTML file: the file read in pages of 4096 positions,
// decoded to UTF-16 once per page and shared while any reader holds the page.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "bookfiles/document_source.h"
#include "core/code_pages.h"
#include "core/file.h"
#include "core/string.h"

class TextFileDocument : public DocumentSource {
public:
    TextFileDocument() = default;
    ~TextFileDocument() override;

    // length 0xFFFFFFFF: to the end of the file. A byte-order mark at start is detected and
    // skipped.
    bool Open(File* file, const String& name, uint32_t codePage, uint32_t requestedCodePage,
              bool ownsFile, uint32_t start, uint32_t length);
    void SetMode(uint32_t mode) { mode_ = mode; }

    void Close() override;
    bool ReadPage(uint32_t position, PageBuffer& out, uint32_t section, uint32_t flag) override;
    void ReleasePage(uint16_t pageId) override;
    uint32_t Advance(uint32_t position, int32_t count, uint32_t mode) override;
    int32_t Distance(uint32_t from, uint32_t to, uint32_t mode) override;
    bool OnePositionPerCharacter(uint32_t mode) override;
    uint32_t GetLength() override { return Units(); }
    uint32_t GetCodePage() override { return outputCodePage_; }
    bool GetMetadata(uint32_t index, uint32_t kind, TargetRecord& out) override;
    uint32_t GetKind() override { return mode_; }
    // Plain text opens no elements, so its pages start anywhere without a replay; HTML replays.
    uint32_t BookProperty7() override { return mode_ == 1 ? 2 : 1; }
    uint32_t GetLanguage() override { return 0; }

    uint32_t SourceCodePage() const { return sourceCodePage_; }
    bool BigEndian() const { return bigEndian_; }
    uint32_t TextStart() const { return start_; }
    // Pages decoded and still held (for tests of the sharing).
    uint32_t LivePageCount() const;

    static constexpr uint32_t kPageSize = 4096;
    // Tests only, before Open: smaller pages put page ends within reach of short inputs.
    // Ignored unless a power of two from 64 to kPageSize.
    void SetPageSizeForTest(uint32_t size) {
        if (size >= 64 && size <= kPageSize && (size & (size - 1)) == 0) pageSize_ = size;
    }
    uint32_t PageSize() const { return pageSize_; }

private:
    struct Page {
        uint32_t start = 0;
        uint32_t length = 0;
        uint32_t span = 0;
        uint32_t uses = 0;
        uint16_t id = 0;
        std::unique_ptr<char16_t[]> text;
        std::unique_ptr<uint32_t[]> map;  // per character: its byte offset from start
    };

    uint32_t Units() const {
        return sourceCodePage_ == CodePages::kUtf16 ? byteLength_ / 2 : byteLength_;
    }
    bool Multibyte() const;
    Page* LivePageAt(uint32_t position);
    uint16_t NewPageId();
    bool ReadBytes(uint32_t offset, uint8_t* buffer, uint32_t n);
    uint32_t LeadRun(const uint8_t* bytes, uint32_t n) const;
    bool TrailAtBoundary(uint32_t k, const uint8_t* before);

    std::vector<Page> pages_;
    size_t lastFound_ = 0;  // the page LivePageAt found last
    uint32_t pageSize_ = kPageSize;
    uint32_t mode_ = 1;
    std::unique_ptr<File> ownedFile_;  // file_ when the document owns it
    File* file_ = nullptr;
    uint32_t start_ = 0;
    uint32_t byteLength_ = 0;
    uint32_t sourceCodePage_ = CodePages::kWindows1252;
    bool bigEndian_ = false;
    uint32_t outputCodePage_ = CodePages::kUtf16;
    uint16_t nextPageId_ = 1;
    String title_;
    bool convert_ = true;
    // Double-byte text: which bytes begin a pair, and per page boundary whether the byte there
    // is the second half of a character (-1 not known yet).
    bool doubleByte_ = false;
    bool leadByte_[256] = {};
    std::unique_ptr<int8_t[]> trailAt_;
    uint32_t trailCount_ = 0;
};
