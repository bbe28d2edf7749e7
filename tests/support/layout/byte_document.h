// A document source whose positions are UTF-8 bytes, as in a multi-byte text file: a
// character outside ASCII spans two or three positions. Pages hold a chosen number of
// characters, so tests can put page ends anywhere.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "bookfiles/document_source.h"

class ByteDocument : public DocumentSource {
public:
    explicit ByteDocument(std::u16string text, uint32_t pageChars = 4096, uint32_t kind = 1)
        : text_(std::move(text)), pageChars_(pageChars ? pageChars : 1), kind_(kind) {
        uint32_t p = 0;
        for (char16_t c : text_) {
            starts_.push_back(p);
            p += c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        }
        starts_.push_back(p);
    }

    void Close() override {}
    bool ReadPage(uint32_t position, PageBuffer& out, uint32_t section, uint32_t flag) override {
        if (section || flag || position >= GetLength()) return false;
        uint32_t ci = IndexOf(position);
        if (starts_[ci] > position) --ci;  // the character holding the position
        uint32_t first = ci - ci % pageChars_;
        uint32_t n = static_cast<uint32_t>(text_.size()) - first;
        if (n > pageChars_) n = pageChars_;
        uint16_t id = nextId_++;
        if (nextId_ == 0) nextId_ = 1;
        live_[id]++;
        out = PageBuffer{starts_[first],
                         text_.data() + first,
                         n,
                         starts_[first],
                         0,
                         starts_[first + n] - starts_[first],
                         id};
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
    uint32_t Advance(uint32_t p, int32_t n, uint32_t) override {
        int64_t i = static_cast<int64_t>(IndexOf(p)) + n;
        if (i < 0) i = 0;
        if (i > static_cast<int64_t>(text_.size())) i = static_cast<int64_t>(text_.size());
        return starts_[static_cast<size_t>(i)];
    }
    int32_t Distance(uint32_t a, uint32_t b, uint32_t) override {
        return static_cast<int32_t>(IndexOf(b)) - static_cast<int32_t>(IndexOf(a));
    }
    uint32_t GetLength() override { return starts_.back(); }
    uint32_t GetCodePage() override { return 65001; }
    uint32_t GetKind() override { return kind_; }
    uint32_t GetLanguage() override { return 0; }

    // The position of character i.
    uint32_t At(size_t i) const { return starts_[i]; }
    size_t LivePages() const { return live_.size(); }
    uint32_t badReleases = 0;

private:
    // The character at or after a position.
    uint32_t IndexOf(uint32_t p) const {
        size_t lo = 0, hi = starts_.size() - 1;
        while (lo < hi) {
            size_t mid = (lo + hi) / 2;
            if (starts_[mid] < p)
                lo = mid + 1;
            else
                hi = mid;
        }
        return static_cast<uint32_t>(lo);
    }

    std::u16string text_;
    std::vector<uint32_t> starts_;
    uint32_t pageChars_;
    uint32_t kind_;
    uint16_t nextId_ = 1;
    std::map<uint16_t, uint32_t> live_;
};
