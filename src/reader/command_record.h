// The reader's command record: a method id, an object kind and a list of text or number
// arguments. Book scripts and link actions both arrive as one; the ids are those of the
// script-name vocabulary, so one id names one operation for scripts and links.
#pragma once

#include <cstdint>
#include <vector>

#include "core/string.h"

// A list of texts, each flagged numeric (a decimal number) or plain.
class StringFlagArray {
public:
    struct Item {
        String text;
        uint8_t numeric = 0;
    };

    // Appends a copy with its flag; -1 when the list cannot grow, else the new item's index.
    int32_t Append(const String& text, uint8_t numeric);
    // A new empty plain item at the end; null when the list cannot grow.
    Item* AppendNew();
    // Item n, raising the count to n + 1 when needed; null when the list cannot grow.
    Item* At(uint32_t n);
    const Item* Get(uint32_t n) const { return n < items_.size() ? &items_[n] : nullptr; }
    uint32_t Count() const { return static_cast<uint32_t>(items_.size()); }
    void Clear() { items_.clear(); }

private:
    std::vector<Item> items_;
};

class CommandRecord {
public:
    CommandRecord() = default;
    CommandRecord(uint32_t method, uint32_t kind) : methodId(method), objectKind(kind) {}

    uint32_t Count() const { return arguments.Count(); }
    bool IsNumber(uint32_t i) const;
    bool IsText(uint32_t i) const;
    // False past the count, for a plain item or for text that is not a decimal number.
    bool GetUnsigned(uint32_t i, uint32_t& value) const;
    bool GetSigned(uint32_t i, int32_t& value) const;
    // Only plain items.
    bool GetText(uint32_t i, String& value) const;

    bool AppendText(const String& text) { return arguments.Append(text, 0) >= 0; }
    // The number in decimal, with a leading '-' when negative, flagged numeric.
    bool AppendNumber(int32_t value);

    // object.method('text',12): texts quoted and escaped as script literals. False when the
    // ids are not names of the vocabulary or memory runs out.
    bool ToScriptText(String& out) const;

    uint32_t methodId = 0;
    uint32_t objectKind = 0;
    StringFlagArray arguments;
};
