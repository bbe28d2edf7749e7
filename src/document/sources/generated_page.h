// The document of a page produced in memory: the output of a script page, read as UTF-16
// chunks that a producer may still be appending while the page is read. It may stand on an
// underlying document (the book the page came from), to which it forwards book questions and
// the pages of other sections, and it scans its own markup header once for a title, a language
// and the guide references it offers as metadata.
//
// Page ids: own chunks are index + 1 (never 0); pages of the underlying document are mapped to
// 65535 - id. Own ids stay below 32768 so the two never meet: small chunks are joined into
// pages of about 4096 characters, and a page longer than that many chunks is cut.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "bookfiles/document_source.h"
#include "core/code_pages.h"

// What produces a generated page's text.
class PageProducer {
public:
    virtual ~PageProducer() = default;
    virtual const String& GetTitle() = 0;
    // Appends the chunks made since the last call; false when nothing more will come.
    virtual bool Produce(std::vector<String>& chunks) = 0;
};

class GeneratedPage : public DocumentSource {
public:
    static constexpr uint32_t kMaxChunks = 32767;
    static constexpr int32_t kChunkTarget = 4096;
    static constexpr uint32_t kMaxIdlePulls = 1u << 20;

    static GeneratedPage* Create() { return new (std::nothrow) GeneratedPage(); }

    // Takes the producer (deleted with the page). With takeOver its chunks are read at once and
    // it is deleted; otherwise it is asked for more as the page is read.
    void Attach(PageProducer* producer, DocumentSource* underlying, bool takeOver);

    void Close() override {}
    bool ReadPage(uint32_t position, PageBuffer& out, uint32_t section, uint32_t flag) override;
    void ReleasePage(uint16_t pageId) override;
    uint32_t Advance(uint32_t position, int32_t count, uint32_t mode) override;
    int32_t Distance(uint32_t from, uint32_t to, uint32_t mode) override;
    bool OnePositionPerCharacter(uint32_t mode) override;
    // 0xFFFFFFFF while a producer is still kept.
    uint32_t GetLength() override;
    uint32_t GetCodePage() override { return CodePages::kUtf16; }
    int32_t QueryNumber(uint32_t what) override;
    bool FindMetadata(const char16_t* name, int32_t length, uint32_t kind,
                      TargetRecord& out) override;
    bool GetMetadata(uint32_t index, uint32_t kind, TargetRecord& out) override;
    uint32_t GetKind() override { return 2; }
    uint32_t GetLanguage() override;
    uint32_t GetDocumentType() override;
    bool GetInfo(String& out) override;
    bool PositionToRecord(uint32_t position, PackedTree* cursor, uint8_t* changed,
                          int32_t previous, uint32_t* range2) override;

    uint32_t ChunkCount() const { return static_cast<uint32_t>(chunks_.size()); }
    const String& Title() { return title_; }
    int32_t TargetPosition() const { return targetPosition_; }

private:
    GeneratedPage() = default;
    // Asks the producer for more; false when it gave nothing.
    bool Pull();
    void Append(std::vector<String>& fresh);
    void Scan();

    std::vector<String> chunks_;
    bool scanned_ = false;
    std::vector<TargetRecord> entries_;
    String title_;
    uint16_t language_ = 0;
    bool languageKnown_ = false;
    int32_t targetPosition_ = -1;
    DocumentSource* underlying_ = nullptr;
    bool ownsChunks_ = false;
    std::unique_ptr<PageProducer> producer_;
    uint32_t totalLength_ = 0;
    uint32_t lastStart_ = 0;
    uint32_t lastIndex_ = 0;
    uint32_t idlePulls_ = 0;
};
