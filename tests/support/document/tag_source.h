// A token source that holds one tag and its attributes, set by the test: enough for the style
// computation and the element stack, which only read the current tag.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "document/markup/token_source.h"

class TagSource : public TokenSource {
public:
    TagSource() = default;
    TagSource(uint32_t id, std::initializer_list<std::pair<uint32_t, std::u16string>> attrs,
              uint32_t position = 0) {
        Set(id, attrs, position);
    }

    // A start tag with these attributes (an empty text is a value-less attribute).
    TagSource& Set(uint32_t id, std::initializer_list<std::pair<uint32_t, std::u16string>> attrs,
                   uint32_t position = 0) {
        id_ = id;
        isEnd_ = false;
        isEmpty_ = false;
        position_ = position;
        attrs_.clear();
        for (const auto& [attr, text] : attrs) Add(attr, text);
        return *this;
    }
    TagSource& Add(uint32_t attr, const std::u16string& text) {
        AttributeItem item;
        item.id = attr;
        item.value = String(text.data(), static_cast<int32_t>(text.size()));
        item.hasValue = !text.empty();
        attrs_.push_back(item);
        return *this;
    }
    TagSource& End(uint32_t id) {
        id_ = id;
        isEnd_ = true;
        isEmpty_ = false;
        attrs_.clear();
        return *this;
    }
    TagSource& Empty(bool on = true) {
        isEmpty_ = on;
        return *this;
    }

    bool GetPosition(uint32_t& position) override {
        position = position_;
        return true;
    }
    uint32_t GetTag(bool& isEnd, bool& isEmpty) override {
        isEnd = isEnd_;
        isEmpty = isEmpty_;
        return id_;
    }
    uint32_t AttributeCount() override { return static_cast<uint32_t>(attrs_.size()); }
    const AttributeItem* Attribute(uint32_t index) override {
        return index < attrs_.size() ? &attrs_[index] : nullptr;
    }
    bool Start(uint32_t, bool) override { return true; }
    void SetPosition(uint32_t) override {}
    bool Attach(DocumentSource*, uint32_t) override { return true; }
    void ReleaseBuffers() override {}
    uint32_t NextToken() override { return kTokenEnd; }
    uint32_t LastTokenKind() override { return kTokenTag; }
    const String& Text() override { return text_; }
    DocumentSource* Source() override { return nullptr; }
    uint32_t SourceMode() override { return 0; }
    bool SaveState(ByteStream&) override { return true; }
    bool RestoreState(ByteStream&) override { return false; }

private:
    uint32_t id_ = 0;
    bool isEnd_ = false;
    bool isEmpty_ = false;
    uint32_t position_ = 0;
    std::vector<AttributeItem> attrs_;
    String text_;
};
