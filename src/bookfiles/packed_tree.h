// A cursor over a compiled frame tree stored in a book. The book sets it on a tree's root; the
// frames code walks it. Nodes (big-endian): u16 flags (0x0001 has children), u16 number,
// u32 payload, u32 text offset (0xFFFFFFFF none) into the text area; a node with children is
// followed by its child block: u16 child count, u16 block length in 4-byte words, the children.
// The value area holds one word per node, parent first; a parent's word counts its descendants'
// words in its low 16 bits. Every read is checked against the end of the bytes it lies in.
#pragma once

#include <cstdint>

class DocumentSource;
class String;

class PackedTree {
public:
    static constexpr std::uint16_t kHasChildren = 0x0001;

    DocumentSource* source = nullptr;        // decodes the node texts (its DecodeText)
    const std::uint8_t* textArea = nullptr;  // the record that holds the tree
    const std::uint8_t* textEnd = nullptr;
    const std::uint8_t* node = nullptr;     // the current node
    const std::uint8_t* nodeEnd = nullptr;  // end of the bytes the nodes lie in
    const std::uint8_t* value = nullptr;    // the current value word
    const std::uint8_t* valueEnd = nullptr;
    bool hasExtraValues = false;
    std::uint32_t remaining = 0;  // siblings left in the current list

    bool IsValid() const;
    bool HasChildren() const;
    std::uint16_t GetFlags() const;
    bool GetHeader(std::uint32_t* payload, std::uint16_t* number, bool* flag) const;
    // The node's text bytes (no text: empty and true); false when they lie outside the record.
    bool GetTextBytes(const std::uint8_t** bytes, std::uint32_t* count) const;
    // The node's text decoded by the book: empty and true when it has none.
    bool GetText(String& out) const;
    std::uint32_t Payload() const;
    bool Descend();
    bool Next();
    std::uint32_t ExtraNumber() const;
    bool IsFlagClear() const { return (ExtraNumber() & 1) == 0; }
};
