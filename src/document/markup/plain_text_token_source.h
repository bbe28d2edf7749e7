// Plain text as a tiny HTML document: synthetic HTML and BODY tags around it, a BR for every
// line break, runs of spaces kept as text and TABs expanded to columns of 8.
#pragma once

#include <cstdint>

#include "document/markup/char_stream.h"
#include "document/markup/token_source.h"

class PlainTextTokenSource : public TokenSource {
public:
    PlainTextTokenSource();
    ~PlainTextTokenSource() override;

    bool GetPosition(uint32_t& position) override;
    uint32_t GetTag(bool& isEnd, bool& isEmpty) override;
    uint32_t AttributeCount() override { return 0; }
    const AttributeItem* Attribute(uint32_t) override { return nullptr; }
    bool Start(uint32_t position, bool resync) override;
    void SetPosition(uint32_t position) override { stream_.SetPosition(position); }
    bool Attach(DocumentSource* source, uint32_t mode) override;
    void ReleaseBuffers() override { stream_.ReleaseUnusedButCurrent(); }
    uint32_t NextToken() override;
    uint32_t LastTokenKind() override;
    const String& Text() override { return text_; }
    DocumentSource* Source() override { return stream_.Source(); }
    uint32_t SourceMode() override { return stream_.Mode(); }
    bool SaveState(ByteStream& stream) override;
    bool RestoreState(ByteStream& stream) override;

    PlainTextTokenSource* Clone(bool copyState);

    uint32_t State() const { return state_; }
    uint32_t Column() const { return column_; }

private:
    uint32_t Read();

    CharStream stream_;
    uint32_t state_ = 0;
    uint32_t column_ = 0;
    uint32_t lastRead_ = 0;
    uint32_t lastAction_ = 0;
    String text_;
};
