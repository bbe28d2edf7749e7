#include "document/markup/html_tokenizer.h"

#include <algorithm>
#include <cstring>

#include "core/byte_stream.h"
#include "core/char_props.h"
#include "document/markup/keyword_tree.h"
#include "document/markup/markup_tags.h"

namespace {

bool IsWhite(char16_t c) { return c == 9 || c == 10 || c == 13 || c == 32; }
bool IsNameStart(char16_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool IsNameChar(char16_t c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == ':';
}
// The end of the name starting at i (i itself when no name starts there).
uint32_t NameEnd(const char16_t* p, uint32_t i, uint32_t n) {
    if (i >= n || !IsNameStart(p[i])) return i;
    while (++i < n && IsNameChar(p[i])) {
    }
    return i;
}

// How far a book is searched for its first tag. A book without one in its first 256 Ki
// positions (about 40,000 words, 64 text records) is plain text: searching on to the end would
// decompress a whole text book before its first page. Markup that late is a quotation, not the
// book's form.
constexpr uint32_t kProbeReach = 256u << 10;

// The start of the page holding the first '<' within kProbeReach; false when there is none.
bool FindFirstMarkupPage(DocumentSource& document, uint32_t& pageStart) {
    PageBuffer held;
    bool found = false;
    for (uint32_t position = 0; position < kProbeReach;) {
        PageBuffer page;
        if (!document.ReadPage(position, page, 0, 0)) break;
        // The previous page is given back only now, so that the document reuses its buffer.
        if (held.pageId) document.ReleasePage(held.pageId);
        held = page;
        const char16_t* end = page.text + page.length;
        uint32_t next = page.start + page.spanLength;
        if (std::find(page.text, end, u'<') != end) {
            pageStart = page.start;
            found = true;
            break;
        }
        if (next <= position) break;
        position = next;
    }
    if (held.pageId) document.ReleasePage(held.pageId);
    return found;
}

// Runs the tokenizer to the first tag; installed for documents below the document model (books)
// to tell markup from plain text. Text before the first '<' holds no tag and leaves the
// tokenizer as it started, so reading starts at the page that holds one; a tag is looked for
// only while the tokens start within kProbeReach.
bool ProbeHtml(DocumentSource& document, bool& isHtml) {
    HtmlTokenizer t(true);
    if (!t.Attach(&document, 0) || !t.Start(0, false)) return false;
    uint32_t from = 0;
    if (!FindFirstMarkupPage(document, from)) return true;
    if (from != 0) t.SetPosition(from);
    // Each token takes at least one position, but for a few that queue or drop tags.
    for (uint32_t guard = 0; guard < 2 * kProbeReach; ++guard) {
        uint32_t position = 0;
        if (t.GetPosition(position) && position >= kProbeReach) break;
        uint32_t kind = t.NextToken();
        if (kind == kTokenEnd) break;
        if (kind == kTokenTag) {
            bool e, m;
            isHtml = t.GetTag(e, m) == kTagHtml;
            break;
        }
    }
    return true;
}

struct ProbeInstaller {
    ProbeInstaller() { DocumentSource::htmlProbe = ProbeHtml; }
} installer;

}  // namespace

HtmlTokenizer::HtmlTokenizer(bool nest) : nest_(nest) {
    stream_.scanner.LoadTables(MarkupTableSet());
    DocumentSource::htmlProbe = ProbeHtml;
}

HtmlTokenizer::~HtmlTokenizer() {
    ClearAttributes();
    stream_.ClearSegments();
}

bool HtmlTokenizer::Attach(DocumentSource* source, uint32_t mode) {
    stream_.Attach(source, mode);
    return source != nullptr;
}

uint32_t HtmlTokenizer::GetTag(bool& isEnd, bool& isEmpty) {
    isEnd = curEnd_;
    isEmpty = curEmpty_;
    return curId_;
}

const AttributeItem* HtmlTokenizer::Attribute(uint32_t index) {
    return index < attrCount_ ? &attrs_[index] : nullptr;
}

void HtmlTokenizer::ClearAttributes() {
    for (uint32_t i = 0; i < attrCount_; ++i) attrs_[i].value.Release();
    attrCount_ = 0;
}

AttributeItem* HtmlTokenizer::ReserveAttribute() {
    if (attrCount_ >= kMaxAttributes) return nullptr;
    if (attrCount_ == attrs_.size()) attrs_.resize(attrs_.size() + 16);
    AttributeItem& a = attrs_[attrCount_++];
    a.value.Release();
    a.id = 0;
    a.hasValue = 0;
    return &a;
}

uint32_t HtmlTokenizer::OpenClass(uint32_t depth) const {
    if (depth >= depth_) return 0;
    return MarkupTags::Class(open_[depth_ - 1 - depth]);
}

bool HtmlTokenizer::StoreValue(bool decode) {
    if (attrCount_ == 0) return false;
    AttributeItem& a = attrs_[attrCount_ - 1];
    bool ok = decode ? stream_.ExtractText(a.value, true, true, false)
                     : stream_.ExtractText(a.value, false, false, false);
    if (!ok) {
        a.value.Release();
        --attrCount_;
        return false;
    }
    a.hasValue = 1;
    return true;
}

void HtmlTokenizer::DropTag() {
    tagId_ = 0;
    deferred_ = false;
    ClearAttributes();
}

uint32_t HtmlTokenizer::Lex() {
    Scanner& sc = stream_.scanner;
    discard_ = false;
    lexState_ = kIdle;
    if (nextStart_ == 1) {
        lexState_ = kTagName;
        tagEnd_ = true;
        tagEmpty_ = false;
        tagId_ = 0;
        sc.SetState(kModeTagName);
    } else if (nextStart_ == 5) {
        sc.SetState(kModeRawScript);
    } else {
        sc.SetState(kModeText);
    }
    for (bool first = true;; first = false) {
        // Back in text after markup that made no token: the token starts here.
        if (!first && sc.Mode() == kModeText && lexState_ == kIdle) {
            passed_ = true;
            passedTo_ = stream_.GetMark();
        }
        if (sc.Mode() == kModeText && lexState_ == kIdle && !append_) {
            // Mostly a tag: NextToken has tried the word cut already.
            if (QuickTag()) return kTokenTag;
            int quick = stream_.QuickTextToken(text_);
            if (quick == 1) return JoinRule(kTokenText);
            if (quick == 2) {
                ResetJoin();
                return kTokenSpace;
            }
        }
        uint32_t limit = (sc.Mode() == kModeText && lexState_ == kIdle) ? 30 : 0;
        int32_t token = -1;
        int r = stream_.ReadToken(token, limit);
        if (r >= CharStream::kReadEnd) {
            DropTag();
            return kTokenEnd;
        }
        if (r == CharStream::kReadNoToken) {
            if (scriptEndExpected_ && sc.Mode() == kModeTagName) {
                // "</" inside raw script content not followed by a name: it is content.
                rawPrefix_.AppendAscii("</");
                stream_.AppendTo(rawPrefix_);
                nextStart_ = 5;
                lexState_ = kIdle;
                sc.SetState(kModeRawScript);
                continue;
            }
            sc.SetState(kModeSkipToClose);
            nextStart_ = 0;
            ResetJoin();
            discard_ = true;
            continue;
        }
        const ScannerToken* info = sc.TokenInfo(token);
        if (!info) continue;
        if (info->kind & kTokenSwitchesMode) sc.SetState(info->mode >> 8);
        uint32_t kind = info->kind & ~kTokenSwitchesMode;
        uint16_t action = info->action;
        if (kind != 0 && kind != 1) {
            ResetJoin();
            continue;
        }
        if (action != kActWord && action != kActReference) ResetJoin();
        switch (action) {
            case kActStartTagOpen:
                if (!LetterFollows()) {
                    // "a < b", "<=", "<3": a '<' that opens no tag is text.
                    sc.SetState(kModeText);
                    lexState_ = kIdle;
                    if (!stream_.ExtractText(text_, false, false, append_)) return kTokenEnd;
                    return JoinRule(kTokenText);
                }
                [[fallthrough]];
            case kActEndTagOpen:
                tagEnd_ = action == kActEndTagOpen;
                tagEmpty_ = false;
                tagId_ = 0;
                discard_ = false;
                lexState_ = kTagName;
                break;
            case kActInstructionOpen:
            case kActDeclarationOpen:
                lexState_ = kTagName;
                sc.SetState(kModeSkipToClose);
                discard_ = true;
                break;
            case kActCDataOpen:
                tagEnd_ = false;
                discard_ = false;
                break;
            case kActCDataClose: {
                // The section's content, without its closing "]]>".
                uint32_t n = stream_.GetLength();
                if (!stream_.ExtractText(text_, false, false, false)) return kTokenEnd;
                if (n >= 3) {
                    String cut;
                    cut.AssignSub(text_, 0, static_cast<int32_t>(n - 3));
                    text_ = cut;
                }
                if (text_.IsEmpty()) break;
                return kTokenText;
            }
            case kActName:
                if (lexState_ == kTagName) {
                    uint32_t id = stream_.FindTagName();
                    if (scriptEndExpected_ && id != kTagScript) {
                        // Not the end of the script: "</name" is content.
                        rawPrefix_.AppendAscii("</");
                        stream_.AppendTo(rawPrefix_);
                        nextStart_ = 5;
                        lexState_ = kIdle;
                        sc.SetState(kModeRawScript);
                        break;
                    }
                    scriptEndExpected_ = false;
                    if (!MarkupTags::IsElement(id)) id = 0;
                    tagId_ = id;
                    if (tagEnd_ || id == 0) {
                        sc.SetState(kModeSkipToClose);
                        discard_ = id == 0;
                    } else {
                        ClearAttributes();
                        lexState_ = kAttributeName;
                    }
                    break;
                }
                if (lexState_ == kAfterEquals) {
                    StoreValue(false);
                    lexState_ = kAttributeName;
                    break;
                }
                if (lexState_ == kAfterName && attrCount_ > 0) attrs_[attrCount_ - 1].hasValue = 1;
                if (lexState_ == kAfterName || lexState_ == kAttributeName) {
                    uint16_t id = stream_.FindAttributeName(tagId_);
                    AttributeItem* item = id ? ReserveAttribute() : nullptr;
                    if (item) {
                        item->id = id;
                        lexState_ = kAfterName;
                    } else {
                        sc.SetState(kModeSkipAttribute);
                        lexState_ = kAttributeName;
                    }
                }
                break;
            case kActEquals:
                if (lexState_ == kAfterName) {
                    lexState_ = kAfterEquals;
                    sc.SetState(kModeValue);
                } else {
                    sc.SetState(kModeSkipToClose);
                    discard_ = true;
                }
                break;
            case kActQuotedValue:
            case kActUnquotedValue:
                if (lexState_ == kAfterEquals) {
                    StoreValue(true);
                    lexState_ = kAttributeName;
                } else {
                    if (lexState_ == kTagName) discard_ = true;
                    sc.SetState(kModeSkipToClose);
                }
                break;
            case kActTagClose:
            case kActEmptyTagClose:
                tagEmpty_ = action == kActEmptyTagClose;
                if (discard_ || tagId_ == 0) {
                    DropTag();
                    lexState_ = kIdle;
                    discard_ = false;
                    break;
                }
                // An empty SCRIPT has no raw content to follow.
                if (tagId_ == kTagScript) nextStart_ = (tagEnd_ || tagEmpty_) ? 0 : 5;
                lexState_ = kIdle;
                return kTokenTag;
            case kActWord:
                if (!stream_.ExtractText(text_, false, false, append_)) return kTokenEnd;
                return JoinRule(kTokenText);
            case kActReference: {
                int r2 = stream_.DecodeSingleEntity(text_, append_);
                if (r2 == 0) return kTokenEnd;
                if (r2 == kTokenContinue) return kTokenContinue;
                if (r2 == kTokenNonJoiner) {
                    ResetJoin();
                    return kTokenNonJoiner;
                }
                return JoinRule(kTokenText);
            }
            case kActRawClose: {
                String raw;
                raw.Assign(rawPrefix_);
                rawPrefix_.Release();
                if (!stream_.AppendTo(raw)) return kTokenEnd;
                String cut;
                cut.AssignSub(raw, 0, raw.Length() >= 2 ? raw.Length() - 2 : 0);
                text_ = cut;
                tagEnd_ = true;
                tagEmpty_ = false;
                tagId_ = 0;
                nextStart_ = 1;
                scriptEndExpected_ = true;
                lexState_ = kTagName;
                if (text_.IsEmpty()) break;
                return kTokenText;
            }
            case kActSpace:
                return kTokenSpace;
            default:
                break;
        }
    }
}

bool HtmlTokenizer::LetterFollows() {
    char16_t c = 0;
    return stream_.Peek(c) && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'));
}

uint16_t HtmlTokenizer::FindName(const char16_t* chars, uint32_t n) {
    auto upper = [](char16_t c) {
        return c >= 'a' && c <= 'z' ? static_cast<char16_t>(c - 32) : c;
    };
    if (n == 0) return 0;
    const uint32_t slot =
        upper(chars[0]) * 33 * 33 + upper(chars[n / 2]) * 33 + upper(chars[n - 1]) + n;
    KnownName& known = knownNames_[slot % 256];
    if (known.length == n) {
        uint32_t i = 0;
        while (i < n && upper(chars[i]) == known.chars[i]) ++i;
        if (i == n) return known.id;
    }
    uint16_t id = 0;
    KeywordTree::FindMarkupName(chars, n, &id);
    // Only names that are found are kept; a character above U+00FF never matches one.
    if (id != 0 && n <= sizeof(known.chars)) {
        known.length = static_cast<uint8_t>(n);
        for (uint32_t i = 0; i < n; ++i) known.chars[i] = static_cast<uint8_t>(upper(chars[i]));
        known.id = id;
    }
    return id;
}

// Reads a whole tag of the usual shapes in one go when it lies inside the current page:
// "<name>", "<name/>", "<name a="v" b='w'>" with known element and attribute names, and
// "</name ...>". It leaves everything else to the scanner, tags running past the page end
// included, and changes nothing until the tag is known to be one of these; it ends in the state
// the scanner's token-by-token path ends in.
bool HtmlTokenizer::QuickTag() {
    const char16_t* p = nullptr;
    const uint32_t n = stream_.PageAhead(p);
    if (n < 3 || p[0] != u'<' || scriptEndExpected_ || !CharStream::quickPath) return false;
    const bool end = p[1] == u'/';
    const uint32_t nameStart = end ? 2 : 1;
    const uint32_t nameEnd = NameEnd(p, nameStart, n);
    if (nameEnd == nameStart) return false;
    uint16_t id = FindName(p + nameStart, nameEnd - nameStart);
    if (id == 0) id = static_cast<uint16_t>(MarkupTags::ListAlias(p + nameStart, nameEnd - nameStart));
    if (!MarkupTags::IsElement(id)) return false;

    // The scanner skips whatever follows an end tag's name up to '>'.
    uint32_t close = nameEnd;  // the last character of the tag's last token
    uint32_t lastToken = nameEnd;
    bool empty = false;
    struct Value {
        uint16_t id;
        uint32_t start, length;  // the quoted value, quotes included
    };
    Value values[8];
    uint32_t valueCount = 0;
    if (end) {
        while (close < n && p[close] != u'>') ++close;
        if (close >= n) return false;
    } else {
        // Attributes, each a name, '=' and a quoted value, white space between them.
        uint32_t j = nameEnd;
        while (true) {
            while (j < n && IsWhite(p[j])) ++j;
            if (j >= n) return false;
            if (p[j] == u'>' || (p[j] == u'/' && j + 1 < n && p[j + 1] == u'>')) break;
            const uint32_t a = j, b = NameEnd(p, j, n);
            if (b == a) return false;
            j = b;
            while (j < n && IsWhite(p[j])) ++j;
            if (j >= n || p[j] != u'=') return false;
            ++j;
            while (j < n && IsWhite(p[j])) ++j;
            if (j >= n || (p[j] != u'"' && p[j] != u'\'')) return false;
            const char16_t quote = p[j];
            const uint32_t v = j++;
            // '<' or '>' inside quotes makes the scanner drop the tag.
            while (j < n && p[j] != quote && p[j] != u'<' && p[j] != u'>') ++j;
            if (j >= n || p[j] != quote) return false;
            ++j;
            uint16_t attr = FindName(p + a, b - a);
            if (attr == 0) attr = static_cast<uint16_t>(MarkupTags::AttributeAlias(id, p + a, b - a));
            if (attr == 0 || valueCount == sizeof(values) / sizeof(values[0])) return false;
            values[valueCount++] = {attr, v, j - v};
        }
        empty = p[j] == u'/';
        lastToken = j;
        close = empty ? j + 1 : j;
    }

    ResetJoin();
    tagEnd_ = end;
    tagEmpty_ = empty;
    tagId_ = id;
    discard_ = false;
    lexState_ = kIdle;
    if (!end) {
        ClearAttributes();
        for (uint32_t i = 0; i < valueCount; ++i) {
            const Value& v = values[i];
            AttributeItem* item = ReserveAttribute();
            item->id = v.id;
            // Without a reference the value is the page's text inside the quotes, which is what
            // StoreValue gives, without its decoding pass.
            const char16_t* inner = p + v.start + 1;
            const uint32_t innerLength = v.length - 2;
            const char16_t* innerEnd = inner + innerLength;
            if (innerLength > 0 && std::find(inner, innerEnd, u'&') == innerEnd) {
                stream_.ViewAhead(v.start + 1, innerLength, item->value);
                item->hasValue = 1;
            } else {
                stream_.SetPieceAhead(v.start, v.length);
                StoreValue(true);
            }
        }
    }
    // An empty SCRIPT has no raw content to follow.
    if (id == kTagScript) nextStart_ = (end || empty) ? 0 : 5;
    stream_.SetPieceAhead(lastToken, close + 1 - lastToken);
    stream_.SkipAhead(close + 1);
    stream_.scanner.SetState(kModeText);
    return true;
}

void HtmlTokenizer::Track(uint32_t id) {
    if (dropped_.size() < 4096) dropped_.push_back({static_cast<uint8_t>(id), depth_});
}

bool HtmlTokenizer::TrackedEndDrop(uint32_t id) {
    if (!dropped_.empty() && dropped_.back().id == id && dropped_.back().depth == depth_) {
        dropped_.pop_back();
        return true;
    }
    return false;
}

HtmlTokenizer::NestResult HtmlTokenizer::ApplyNesting(const CharStream::Mark& noted) {
    uint32_t id = tagId_;
    uint16_t flags = MarkupTags::Flags(id);
    uint32_t cls = flags & MarkupTags::kClassMask;
    bool empty = (flags & MarkupTags::kEmpty) != 0;
    if (tagEnd_ && empty) return kDrop;
    if (tagEnd_ && TrackedEndDrop(id)) return kIgnore;
    if (!tagEnd_) {
        for (uint32_t i = 0; i < attrCount_; ++i)
            if (attrs_[i].id == kAttrFvtIgnore) {
                // Its end tag goes with it.
                if (!empty && !tagEmpty_) Track(id);
                return kIgnore;
            }
    }
    // Content before any element (a page with no HTML or BODY) is body content: HTML and BODY
    // open silently, as a page started in the middle of a book has them.
    if (depth_ == 0 && !tagEnd_ && cls != 8 && cls != 3 && !(empty && cls == 2)) {
        open_[depth_++] = kTagHtml;
        open_[depth_++] = kTagBody;
    }
    if (!tagEnd_ && empty) {
        tagEmpty_ = true;
        if (depth_ == 0) return cls == 2 ? kAccept : kDrop;
        uint32_t top = MarkupTags::Class(open_[depth_ - 1]);
        return (MarkupTags::AllowedChildren(top) & (1u << cls)) ? kAccept : kDrop;
    }
    bool closesSame = !tagEnd_ && (flags & MarkupTags::kClosesSame);
    uint32_t mask = (tagEnd_ || closesSame) ? MarkupTags::WalkMaskEndOrSame(cls)
                                            : MarkupTags::WalkMaskStart(cls);
    if (depth_ == 0) {
        if (tagEnd_) return kDrop;
        return (cls == 8 || cls == 3) ? kAccept : kDrop;
    }
    bool byClass = !tagEnd_ && (cls == 1 || cls == 4 || cls == 6 || cls == 10);
    // A row or a row group ends a caption left open, as its end tag would.
    const bool endsCaption = !tagEnd_ && (cls == 5 || cls == 6);
    uint32_t k = 0;
    bool match = false;
    for (uint32_t i = depth_; i-- > 0;) {
        uint32_t el = open_[i];
        uint32_t elCls = MarkupTags::Class(el);
        if ((byClass ? elCls == cls : el == id) || (endsCaption && el == kTagCaption)) {
            match = true;
            break;
        }
        if (!(mask & (1u << elCls))) break;
        ++k;
    }
    if (match && (tagEnd_ || closesSame || endsCaption)) {
        uint32_t n = tagEnd_ ? k : k + 1;
        if (n == 0) return kAccept;
        pendingCount_ = 0;
        pendingIndex_ = 0;
        for (uint32_t j = 0; j < n; ++j) pending_[pendingCount_++] = open_[depth_ - 1 - j];
        pendingPosition_ = stream_.PositionOf(noted);
        deferred_ = true;
        return kDefer;
    }
    uint32_t top = MarkupTags::Class(open_[depth_ - 1]);
    if (tagEnd_) return kDrop;
    if (!(MarkupTags::AllowedChildren(top) & (1u << cls))) return kDrop;
    // A caption belongs to its table alone: outside one it would make a cell of no table.
    if (id == kTagCaption && open_[depth_ - 1] != kTagTable) return kDrop;
    if (id == kTagTable) {
        if (noNestedTable_)
            for (uint32_t i = 0; i < depth_; ++i)
                if (open_[i] == kTagTable) return kDrop;
        if (tableNeedsInline_) {
            bool inl = false;
            for (uint32_t i = 0; i < attrCount_; ++i) inl = inl || attrs_[i].id == kAttrInline;
            if (!inl) return kDrop;
        }
    }
    if (cls >= 4 && cls <= 6) tagEmpty_ = false;
    return kAccept;
}

uint32_t HtmlTokenizer::Deliver() {
    if (tagEnd_) {
        if (depth_ > 0) --depth_;
    } else if (!tagEmpty_) {
        if (depth_ >= kMaxDepth) {
            // Too deep: the tag and its end tag are dropped.
            Track(tagId_);
            DropTag();
            return kTokenContinue;
        }
        open_[depth_++] = static_cast<uint8_t>(tagId_);
        if (tagId_ == kTagPre) {
            sawPre_ = preLineStart_ = true;
            preColumn_ = 0;
        }
    }
    lastKind_ = kTokenTag;
    curId_ = tagId_;
    curEnd_ = tagEnd_;
    curEmpty_ = tagEmpty_;
    tagId_ = 0;
    deferred_ = false;
    return kTokenTag;
}

bool HtmlTokenizer::InPre() const {
    for (uint32_t i = depth_; i-- > 0;)
        if (open_[i] == kTagPre) return true;
    return false;
}

uint32_t HtmlTokenizer::NextPreformatted() {
    if (preSpaceNext_) {
        preSpaceNext_ = false;
        ++preColumn_;
        lastKind_ = kTokenSpace;
        return kTokenSpace;
    }
    char16_t c = 0;
    // Whether a listing is open is asked last: it walks the open elements.
    if (pendingIndex_ >= pendingCount_ && !deferred_ && !replaying_ && nextStart_ == 0 &&
        !append_ && stream_.Peek(c) && (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n') &&
        InPre())
        return PreformattedWhite(c);
    uint32_t kind = NextFlowing();
    if (kind == kTokenText || kind == kTokenNonJoiner) {
        preColumn_ += static_cast<uint32_t>(text_.Length());
        preLineStart_ = false;
    } else if (kind == kTokenTag) {
        preLineStart_ = curId_ == kTagPre && !curEnd_;
        if (curId_ == kTagPre || curId_ == kTagBr) preColumn_ = 0;
    } else if (kind == kTokenSpace) {
        ++preColumn_;
    }
    return kind;
}

uint32_t HtmlTokenizer::PreformattedWhite(char16_t c) {
    if (c == u'\r' || c == u'\n') {
        stream_.NextChar(c);
        char16_t next = 0;
        if (c == u'\r' && stream_.Peek(next) && next == u'\n') stream_.NextChar(next);
        bool first = preLineStart_;
        preLineStart_ = false;
        preColumn_ = 0;
        // The line end just after <pre> only starts the text.
        if (first) return kTokenContinue;
        ClearAttributes();
        curId_ = kTagBr;
        curEnd_ = false;
        curEmpty_ = true;
        lastKind_ = kTokenTag;
        return kTokenTag;
    }
    preLineStart_ = false;
    uint32_t width = 0;
    // Bounded, so a page of blanks still moves in steps.
    for (int i = 0; i < 256 && stream_.Peek(c) && (c == u' ' || c == u'\t'); ++i) {
        stream_.NextChar(c);
        width += c == u'\t' ? 8 - (preColumn_ + width) % 8 : 1;
    }
    if (width <= 1) {
        preColumn_ += width;
        lastKind_ = kTokenSpace;
        return kTokenSpace;
    }
    // All but the last as text of blanks, then a space: the line may still break there.
    text_.Release();
    if (!text_.AppendRepeat(u' ', static_cast<int32_t>(width - 1))) {
        lastKind_ = kTokenSpace;
        return kTokenSpace;
    }
    preColumn_ += width - 1;
    preSpaceNext_ = true;
    lastKind_ = kTokenText;
    return kTokenText;
}

uint32_t HtmlTokenizer::NextMarkup() {
    if (pendingIndex_ < pendingCount_) {
        curId_ = pending_[pendingIndex_++];
        curEnd_ = true;
        curEmpty_ = false;
        if (depth_ > 0) --depth_;
        if (pendingIndex_ >= pendingCount_) pendingIndex_ = pendingCount_ = 0;
        lastKind_ = kTokenTag;
        return kTokenTag;
    }
    if (deferred_ && tagId_ != 0) {
        if (MarkupTags::IsClass4to7(tagId_)) tagEmpty_ = false;
        return Deliver();
    }
    deferred_ = false;
    CharStream::Mark mark = stream_.GetMark();
    bool replay = false;
    if (replaying_) {
        if (stream_.PositionOf(mark) >= replayLimit_) replaying_ = false;
        else replay = true;
    }
    uint32_t kind = Lex();
    if (kind == kTokenContinue) return kind;
    if (kind != kTokenTag) {
        lastKind_ = kind;
        return kind;
    }
    if (replay) {
        if (!MarkupTags::IsEmpty(tagId_)) tagEmpty_ = true;
        lastKind_ = kTokenTag;
        curId_ = tagId_;
        curEnd_ = tagEnd_;
        curEmpty_ = tagEmpty_;
        tagId_ = 0;
        return kTokenTag;
    }
    if (nest_) {
        NestResult r = ApplyNesting(mark);
        if (r == kIgnore) {
            DropTag();
            return kTokenContinue;
        }
        if (r == kDrop) {
            // A dropped tag that would have broken the line still parts the words around it.
            const bool parts = tagId_ == kTagBr || MarkupTags::Class(tagId_) != 0;
            DropTag();
            char16_t next = 0;
            if (parts && lastKind_ == kTokenText && !(stream_.Peek(next) && IsWhite(next))) {
                ResetJoin();
                lastKind_ = kTokenSpace;
                return kTokenSpace;
            }
            return kTokenContinue;
        }
        if (r == kDefer) return kTokenContinue;
    }
    return Deliver();
}

bool HtmlTokenizer::Start(uint32_t position, bool resync) {
    depth_ = 0;
    preSpaceNext_ = preLineStart_ = false;
    preColumn_ = 0;
    pendingCount_ = pendingIndex_ = 0;
    tagId_ = 0;
    deferred_ = false;
    text_.Release();
    ResetJoin();
    ClearAttributes();
    stream_.ClearPieces();
    stream_.SetPosition(position);
    nextStart_ = 0;
    scriptEndExpected_ = false;
    rawPrefix_.Release();
    dropped_.clear();
    lexState_ = kIdle;
    stream_.scanner.SetState(kModeText);
    if (position == 0) {
        // The layout restarts at 0 to have the pages given back.
        stream_.ReleaseUnusedButCurrent();
        return true;
    }
    open_[depth_++] = kTagHtml;
    open_[depth_++] = kTagBody;
    if (resync) Resync(position);
    return true;
}

bool HtmlTokenizer::StartInside(uint32_t position, const std::vector<uint16_t>& open) {
    uint8_t ids[kMaxDepth + 1] = {kTagHtml, kTagBody};
    uint32_t d = 2;
    for (const uint16_t id : open) {
        if (id == kTagHtml || id == kTagBody) continue;
        if (id > 0xFF || d >= kMaxDepth) return false;
        ids[d++] = static_cast<uint8_t>(id);
    }
    if (!CanBeOpen(ids, d)) return false;
    Start(position, false);
    SetOpen(ids, d);
    return true;
}

bool HtmlTokenizer::CanBeOpen(const uint8_t* ids, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        const uint16_t f = MarkupTags::Flags(ids[i]);
        if (!(f & MarkupTags::kElement) || (f & MarkupTags::kEmpty)) return false;
    }
    return true;
}

void HtmlTokenizer::SetOpen(const uint8_t* ids, uint32_t count) {
    std::memcpy(open_, ids, count);
    depth_ = count;
    for (uint32_t i = 0; i < count; ++i) sawPre_ = sawPre_ || ids[i] == kTagPre;
}

void HtmlTokenizer::Resync(uint32_t position) {
    char16_t c = 0, prev = 0;
    bool havePrev = false;
    if (position > 0) {
        stream_.SetPosition(position - 1);
        havePrev = stream_.Peek(prev);
        stream_.SetPosition(position);
    }
    if (!stream_.Peek(c)) return;  // at the end: stay
    // A position at '<', after '>' or after white space is already a token boundary.
    if (c == u'<' || (havePrev && (prev == u'>' || IsWhite(prev)))) return;
    bool haveWhite = false;
    uint32_t white = 0;
    while (true) {
        uint32_t here = stream_.GetPosition();
        if (!stream_.Peek(c)) return;
        if (c == u'>') {
            stream_.NextChar(c);
            stream_.SetPosition(stream_.GetPosition());
            return;
        }
        if (c == u'<') {
            stream_.SetPosition(haveWhite ? white : here);
            return;
        }
        if (!haveWhite && IsWhite(c)) {
            haveWhite = true;
            white = here;
        }
        stream_.NextChar(c);
    }
}

// Text changes nothing a tag reader sees but the kind of the last token: only the open
// elements, the tags pending and raw content do, and those are left to the tokens. A listing's
// line ends are empty BR tags, which open nothing; passed over, they leave the listing's
// column behind (a restored state starts it afresh too).
bool HtmlTokenizer::SkipText(uint32_t before) {
    if (!skipText || pendingIndex_ < pendingCount_ || deferred_ || replaying_ ||
        nextStart_ != 0 || append_ || scriptEndExpected_)
        return false;
    const char16_t last = stream_.SkipTo(u'<', before);
    if (last == 0) return false;
    stream_.scanner.SetState(kModeText);
    lastKind_ = IsWhite(last) ? kTokenSpace : kTokenText;
    preSpaceNext_ = preLineStart_ = false;
    preColumn_ = 0;
    return true;
}

// In a listing the characters passed over still count towards the columns its TABs reach.
void HtmlTokenizer::ResumeInside(uint32_t position) {
    if (sawPre_ && InPre() && !preSpaceNext_) {
        char16_t c = 0;
        while (stream_.GetPosition() < position && stream_.Peek(c) && c != u'<' && c != u'&' &&
               c != u'\r' && c != u'\n' && stream_.NextChar(c)) {
            preColumn_ += c == u'\t' ? 8 - preColumn_ % 8 : 1;
            preLineStart_ = false;
        }
    }
    stream_.SetPosition(position);
}

void HtmlTokenizer::SeekBack(uint32_t position) {
    replayLimit_ = stream_.GetPosition();
    replaying_ = true;
    if (position < replayLimit_) stream_.SetPosition(position);
}

void HtmlTokenizer::ReleaseBuffers() {
    if (lastKind_ != kTokenTag) ClearAttributes();
    stream_.ReleaseUnusedButCurrent();
}

bool HtmlTokenizer::SaveState(ByteStream& out) {
    uint32_t d = depth_;
    uint32_t q = pendingCount_ - pendingIndex_;
    // A tag deferred behind pending end tags is read again from where it starts.
    out.WriteWord32BE(deferred_ && tagId_ ? pendingPosition_ : stream_.GetPosition());
    out.WriteWord32BE(d);
    out.WriteWord32BE(q);
    out.WriteBytes(open_, d);
    out.WriteBytes(pending_ + pendingIndex_, q);
    uint8_t zeros[4] = {0, 0, 0, 0};
    out.WriteBytes(zeros, (4 - (d + q) % 4) % 4);
    if (q > 0) out.WriteWord32BE(pendingPosition_);
    // Inside a listing: the column its TABs are measured from, and where a line stands.
    if (sawPre_ && InPre()) {
        out.WriteWord32BE(kListingMark | (preLineStart_ ? 1u : 0u) | (preSpaceNext_ ? 2u : 0u));
        out.WriteWord32BE(preColumn_);
    }
    return out.Ok();
}

bool HtmlTokenizer::RestoreState(ByteStream& in) {
    replaying_ = false;
    if (in.Remaining() < 12) return false;
    uint32_t position = 0, d = 0, q = 0;
    uint32_t mark = in.ReadPosition();
    in.ReadWord32BE(position);
    in.ReadWord32BE(d);
    in.ReadWord32BE(q);
    // The state comes back from a side file: check it like any other file data.
    uint32_t pad = (4 - (d + q) % 4) % 4;
    uint8_t ids[2 * (kMaxDepth + 1)];
    bool ok = in.Ok() && d <= kMaxDepth && q <= d && d + q + pad <= in.Remaining() &&
              in.ReadBytes(ids, d + q) && CanBeOpen(ids, d + q);
    if (!ok) {
        in.SetReadPosition(mark);
        return false;
    }
    in.Skip(pad);
    Start(position, false);
    SetOpen(ids, d);
    std::memcpy(pending_, ids + d, q);
    pendingCount_ = q;
    pendingIndex_ = 0;
    pendingPosition_ = position;
    if (q > 0 && in.Remaining() >= 4) in.ReadWord32BE(pendingPosition_);
    // A state written by an older build has no listing words: the column starts afresh.
    uint32_t listing = 0, column = 0;
    const uint32_t at = in.ReadPosition();
    if (in.Remaining() >= 8 && in.ReadWord32BE(listing) && (listing & ~3u) == kListingMark &&
        in.ReadWord32BE(column)) {
        if (InPre()) {
            preLineStart_ = (listing & 1u) != 0;
            preSpaceNext_ = (listing & 2u) != 0;
            preColumn_ = column;
        }
    } else {
        in.SetReadPosition(at);
    }
    return true;
}
