// The stream of tokens the page layout pulls: words, spaces and tags with their attributes,
// over a document source.
#pragma once

#include <cstdint>

#include "core/string.h"

class ByteStream;
class DocumentSource;

enum TokenKind : uint32_t {
    kTokenEnd = 0,
    kTokenText = 1,
    kTokenTag = 2,
    kTokenSpace = 3,
    kTokenContinue = 4,  // nothing delivered; call NextToken again
    kTokenNonJoiner = 5,
};

// One attribute of the current start tag.
struct AttributeItem {
    String value;          // empty when the attribute has no value
    uint32_t id = 0;       // markup id
    uint8_t hasValue = 0;  // a value was stored, or another attribute name followed
};

class TokenSource {
public:
    virtual ~TokenSource() = default;

    // The position of the next token.
    virtual bool GetPosition(uint32_t& position) = 0;
    // Markup id and flags of the last delivered tag (0 before the first).
    virtual uint32_t GetTag(bool& isEnd, bool& isEmpty) = 0;
    virtual uint32_t AttributeCount() = 0;
    virtual const AttributeItem* Attribute(uint32_t index) = 0;
    // The value text of the first attribute with that id; false and empty when there is none.
    virtual bool GetAttributeText(uint32_t id, String& out);
    // The first attribute with that id, converted by the attribute-value rules.
    virtual bool GetAttributeValue(uint32_t id, uint32_t& value);
    // Whether the tag carries the attribute at all (with a value or without).
    virtual bool HasAttribute(uint32_t id);
    virtual bool Start(uint32_t position, bool resync) = 0;
    virtual void SetPosition(uint32_t position) = 0;
    // Reading resumes at a position inside the token that the state just restored was saved
    // before (a page starting inside a word); by default only the position changes.
    virtual void ResumeInside(uint32_t position) { SetPosition(position); }
    virtual void SeekBack(uint32_t /*position*/) {}
    virtual bool Attach(DocumentSource* source, uint32_t mode) = 0;
    virtual void ReleaseBuffers() = 0;
    virtual uint32_t NextToken() = 0;
    virtual uint32_t LastTokenKind() = 0;
    virtual const String& Text() = 0;
    // Skips to the end tag matching the current start tag; the tag's id.
    virtual uint32_t SkipElement();
    // Passes over text up to the next markup, never reaching `before`, where that leaves the
    // source's open elements and saved state as reading the text token by token would (no tag
    // is changed or skipped); for readers that want the tags alone. True when it moved.
    virtual bool SkipText(uint32_t /*before*/) { return false; }
    // Where the last token began, when markup that makes no token (a comment, a dropped tag)
    // came before it in the same read; false when it began where the read did.
    virtual bool TokenStart(uint32_t& /*position*/) { return false; }
    // The last call answered Continue for a word that waits for what joins it (a reference
    // right after it): the word is read, the token not delivered yet.
    virtual bool Joining() const { return false; }
    virtual DocumentSource* Source() = 0;
    virtual uint32_t SourceMode() = 0;
    virtual bool SaveState(ByteStream& stream) = 0;
    virtual bool RestoreState(ByteStream& stream) = 0;

    // Converts an attribute's text; installed by the attribute-value parser.
    using ValueParser = bool (*)(uint32_t id, const AttributeItem& item, uint32_t& value);
    static inline ValueParser valueParser = nullptr;
};
