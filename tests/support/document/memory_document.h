// A document source over UTF-16 text in memory, with a page size of choice so that tests can
// put page boundaries anywhere. Counts pages handed out and given back.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "bookfiles/document_source.h"

class MemoryDocument : public DocumentSource {
public:
    explicit MemoryDocument(std::u16string text, uint32_t pageSize = 4096, uint32_t kind = 2)
        : text_(std::move(text)), pageSize_(pageSize), kind_(kind) {}

    void Close() override {}
    bool ReadPage(uint32_t position, PageBuffer& out, uint32_t section, uint32_t flag) override {
        if (section || flag || position >= text_.size()) return false;
        uint32_t start = position - position % pageSize_;
        uint32_t n = static_cast<uint32_t>(text_.size()) - start;
        if (n > pageSize_) n = pageSize_;
        uint16_t id = nextId_++;
        if (nextId_ == 0) nextId_ = 1;
        live_[id]++;
        ++reads;
        out = PageBuffer{start, text_.data() + start, n, start, 0, n, id};
        return true;
    }
    void ReleasePage(uint16_t id) override {
        auto it = live_.find(id);
        if (it == live_.end()) {
            ++badReleases;
            return;
        }
        if (--it->second == 0) live_.erase(it);
    }
    uint32_t Advance(uint32_t p, int32_t n, uint32_t) override { return p + n; }
    int32_t Distance(uint32_t a, uint32_t b, uint32_t) override {
        return static_cast<int32_t>(b - a);
    }
    uint32_t GetLength() override { return static_cast<uint32_t>(text_.size()); }
    uint32_t GetCodePage() override { return 65002; }
    uint32_t GetKind() override { return kind_; }
    uint32_t GetLanguage() override { return 0; }

    size_t LivePages() const { return live_.size(); }
    uint32_t reads = 0;
    uint32_t badReleases = 0;

private:
    std::u16string text_;
    uint32_t pageSize_;
    uint32_t kind_;
    uint16_t nextId_ = 1;
    std::map<uint16_t, uint32_t> live_;
};
