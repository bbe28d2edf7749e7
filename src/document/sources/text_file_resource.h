// The content resource of a text, HTML, picture or sound file.
#pragma once

#include <cstdint>
#include <memory>

#include "core/file.h"
#include "database/resource.h"
#include "document/sources/text_file_document.h"

class Location;

class TextFileResource : public Resource {
public:
    enum ContentKind : uint32_t { kHtml = 1, kPlainText = 2, kPictureOrSound = 3 };

    // codePage: of files without a byte-order mark; requested: the code page pages are given
    // in. Null when the file cannot be opened.
    static TextFileResource* Create(const Location& location, uint32_t contentKind,
                                    uint32_t codePage, uint32_t requestedCodePage);

    bool IsBinary() override { return kind_ == kPictureOrSound; }
    DataHandle* OpenDataByName(const String& name, const DbValue* base) override;
    DataHandle* OpenDataByIndex(int32_t index, const DbValue* base) override;
    DocumentSource* GetDocument() override { return &document_; }
    bool CreateLayout(TokenSource*& source, PageLayout** layout) override;
    void DestroyLayout(TokenSource* source, PageLayout* layout) override;
    uint32_t GetKind() override { return 0; }

    uint32_t ContentKind() const { return kind_; }
    // A file has no key of its own: it gets one from its location and size, the same on every
    // opening, so that its reading position restores. Never 0 or all ones (no key).
    static uint32_t FileKey(const String& location, int64_t size);
    uint32_t DocumentKey() const { return key_; }

protected:
    ~TextFileResource() override;

private:
    TextFileResource(std::unique_ptr<File> file, uint32_t kind)
        : file_(std::move(file)), kind_(kind) {}

    TextFileDocument document_;
    std::unique_ptr<File> file_;
    uint32_t kind_;
    // The file's key for its saved page states and side file (see FileKey).
    uint32_t key_ = 1;
};
