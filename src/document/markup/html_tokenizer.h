// The token source for markup: a lexer over the character stream that recognises tags,
// attributes, words, spaces, references, comments, CDATA sections and raw SCRIPT content, and
// nesting rules that keep the delivered tags properly nested.
#pragma once

#include <cstdint>
#include <vector>

#include "document/markup/char_stream.h"
#include "document/markup/token_source.h"

class HtmlTokenizer final : public TokenSource {
public:
    explicit HtmlTokenizer(bool nest = true);
    ~HtmlTokenizer() override;

    // Asked before and after every token: inline for callers that hold the tokenizer itself.
    bool GetPosition(uint32_t& position) override {
        position = pendingIndex_ < pendingCount_ ? pendingPosition_ : stream_.GetPosition();
        return true;
    }
    uint32_t GetTag(bool& isEnd, bool& isEmpty) override;
    uint32_t AttributeCount() override { return attrCount_; }
    const AttributeItem* Attribute(uint32_t index) override;
    bool Start(uint32_t position, bool resync) override;
    // Starts at `position` inside the elements `open` (outermost first, HTML and BODY taken as
    // open whether given or not), as if their start tags had been read: their end tags there
    // close them. False, the tokenizer unchanged, when one is no element that can hold content
    // or they are nested too deep.
    bool StartInside(uint32_t position, const std::vector<uint16_t>& open);
    void SetPosition(uint32_t position) override { stream_.SetPosition(position); }
    void ResumeInside(uint32_t position) override;
    void SeekBack(uint32_t position) override;
    bool Attach(DocumentSource* source, uint32_t mode) override;
    void ReleaseBuffers() override;
    // Every token of a book passes here: inline for callers that hold the tokenizer itself.
    uint32_t NextToken() override {
        passed_ = false;
        if (sawPre_) [[unlikely]]
            return NextPreformatted();
        return NextFlowing();
    }
    uint32_t LastTokenKind() override { return lastKind_; }
    const String& Text() override { return text_; }
    DocumentSource* Source() override { return stream_.Source(); }
    uint32_t SourceMode() override { return stream_.Mode(); }
    bool SaveState(ByteStream& stream) override;
    bool RestoreState(ByteStream& stream) override;
    bool SkipText(uint32_t before) override;
    bool TokenStart(uint32_t& position) override {
        if (!passed_) return false;
        position = stream_.PositionOf(passedTo_);
        return true;
    }
    bool Joining() const override { return append_; }
    // Off: SkipText never moves (tests compare both).
    static inline bool skipText = true;

    // Table options, both on after construction.
    void SetNoNestedTable(bool on) { noNestedTable_ = on; }
    void SetTableNeedsInline(bool on) { tableNeedsInline_ = on; }

    // The content class of the open element depth levels below the top.
    uint32_t OpenClass(uint32_t depth) const;
    uint32_t OpenDepth() const { return depth_; }

    // Deeper nesting is dropped: saved states and element stacks stay bounded.
    static constexpr uint32_t kMaxDepth = 255;
    // More attributes than an element stack entry can keep are skipped.
    static constexpr uint32_t kMaxAttributes = 126;

    // kIgnore: dropped as the author asked (FVT:IGNORE), with no trace left in the text.
    enum NestResult { kAccept, kDrop, kDefer, kIgnore };
    NestResult ApplyNesting(const CharStream::Mark& noted);

private:
    enum LexState { kIdle, kTagName, kAttributeName, kAfterName, kAfterEquals };

    // The token as outside PRE: words and spaces first, then the rest.
    [[gnu::always_inline]] uint32_t NextFlowing() {
        if (pendingIndex_ >= pendingCount_ && !deferred_ && !replaying_ && nextStart_ == 0 &&
            !append_) {
            // Words and spaces of text, as the lexer's first step would cut them: the common case,
            // kept ahead of the rest and small.
            stream_.scanner.SetState(kModeText);
            int quick = stream_.QuickTextToken(text_);
            if (quick == 1) {
                uint32_t r = JoinRule(kTokenText);
                if (r != kTokenContinue) lastKind_ = r;
                return r;
            }
            if (quick == 2) {
                ResetJoin();
                lastKind_ = kTokenSpace;
                return kTokenSpace;
            }
        }
        return NextMarkup();
    }
    // Inside PRE the text keeps its lines and blanks, as a text file's: a line end is a BR
    // and a run of blanks (TABs to the next multiple of 8) keeps its width.
    uint32_t NextPreformatted();
    uint32_t PreformattedWhite(char16_t first);
    bool InPre() const;
    // Pending end tags, a deferred tag, and tags and everything else from the lexer.
    uint32_t NextMarkup();
    uint32_t Lex();
    bool QuickTag();
    // The next character is an ASCII letter: a '<' before it opens a tag.
    bool LetterFollows();
    uint16_t FindName(const char16_t* chars, uint32_t n);
    // A word followed by '&' or a combining mark goes on in the next token (at most five
    // times). Inline: it runs after every word.
    [[gnu::always_inline]] uint32_t JoinRule(uint32_t result) {
        char16_t c;
        if (stream_.Peek(c) && (c == u'&' || (c >= 0x300 && CharProps::IsCombining(c))) &&
            joinCount_ < 5) {
            append_ = true;
            ++joinCount_;
            return kTokenContinue;
        }
        ResetJoin();
        return result;
    }
    void ResetJoin() {
        append_ = false;
        joinCount_ = 0;
    }
    void ClearAttributes();
    AttributeItem* ReserveAttribute();
    bool StoreValue(bool decode);
    void DropTag();
    uint32_t Deliver();
    void Resync(uint32_t position);
    bool TrackedEndDrop(uint32_t id);
    // Element ids that can stand open (saved states come from side files).
    static bool CanBeOpen(const uint8_t* ids, uint32_t count);
    void SetOpen(const uint8_t* ids, uint32_t count);
    void Track(uint32_t id);

    bool nest_;
    uint8_t pending_[kMaxDepth + 1];
    uint32_t pendingCount_ = 0;
    uint32_t pendingIndex_ = 0;
    uint32_t pendingPosition_ = 0;
    uint8_t open_[kMaxDepth + 1];
    uint32_t depth_ = 0;
    uint32_t nextStart_ = 0;
    bool scriptEndExpected_ = false;
    String rawPrefix_;  // "</name" of a raw-content end that was not SCRIPT's
    bool replaying_ = false;
    uint32_t replayLimit_ = 0;

    uint32_t lastKind_ = kTokenEnd;
    bool curEnd_ = false;
    uint32_t curId_ = 0;
    bool curEmpty_ = false;

    uint32_t tagId_ = 0;
    bool tagEnd_ = false;
    bool tagEmpty_ = false;
    bool deferred_ = false;
    LexState lexState_ = kIdle;
    bool discard_ = false;

    std::vector<AttributeItem> attrs_;
    uint32_t attrCount_ = 0;
    String text_;
    bool append_ = false;
    uint32_t joinCount_ = 0;

    bool noNestedTable_ = true;
    bool tableNeedsInline_ = true;

    // Marks the listing's words in a saved state ("LST" and two flags).
    static constexpr uint32_t kListingMark = 0x4C535400u;
    bool sawPre_ = false;        // a PRE was opened: only then is InPre asked
    bool preSpaceNext_ = false;  // the blank that ends a run of kept blanks comes next
    bool preLineStart_ = false;  // just after <pre>: a line end there is not kept
    uint32_t preColumn_ = 0;     // for TAB stops

    // Start tags dropped (ignored, or too deep) whose end tags must go too: (id, depth).
    struct Dropped {
        uint8_t id;
        uint32_t depth;
    };
    std::vector<Dropped> dropped_;

    // The markup names found last (tag and attribute names repeat all through a document),
    // upper-cased, in slots chosen by their first, middle and last character: most lookups skip
    // the keyword tree. Every markup name is ASCII.
    struct KnownName {
        uint8_t length = 0;
        uint8_t chars[13];
        uint16_t id = 0;
    };
    KnownName knownNames_[256];

    // Where the token read last began when markup that makes no token came before it.
    CharStream::Mark passedTo_{};
    bool passed_ = false;

    CharStream stream_;
};
