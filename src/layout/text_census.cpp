#include "layout/text_census.h"

#include <algorithm>

#include "bookfiles/document_source.h"

namespace {

enum Mode : uint8_t {
    kText,
    kAfterLt,  // "<" read: a tag, a comment, a declaration, or a plain "<"
    kTagName,
    kTagBody,      // attributes, up to ">"
    kQuoted,       // an attribute value in quotes (aux: 1 for ", 2 for ')
    kAfterBang,    // "<!"
    kAfterDash,    // "<!-"
    kComment,      // aux: the dashes just read, up to 2
    kDeclaration,  // "<!...>", "<?...>", "</ ...>": up to ">"
    kReference,    // "&" and a name: the rest of it, counted at "&"
    kRaw,          // SCRIPT or STYLE content (aux: characters of its end tag matched)
};

enum Flag : uint8_t {
    kLastSpace = 1,  // the last character shown was white space
    kInHead = 2,
    kEndTag = 4,
    kRawStyle = 8,    // in kRaw: STYLE's content, else SCRIPT's
    kInListing = 16,  // inside PRE: its line ends are shown
    kLineBreak = 32,  // a block began or ended: the next character shown starts a line
};

// In kTagBody, aux: the last character that is not white space was "=", or "/".
constexpr uint8_t kAfterEquals = 1;
constexpr uint8_t kAfterSlash = 2;

constexpr uint64_t Name(const char* s) {
    uint64_t n = 0;
    for (; *s; ++s) n = (n << 8) | static_cast<uint8_t>(*s);
    return n;
}

// A name longer than 8 characters reads as this (it matches none of ours).
constexpr uint64_t kLongName = ~uint64_t{0};

// Elements a HEAD holds; any other start tag ends it.
bool HeadContent(uint64_t name) {
    switch (name) {
        case Name("title"):
        case Name("meta"):
        case Name("link"):
        case Name("style"):
        case Name("script"):
        case Name("base"):
        case Name("noscript"):
        case Name("object"):
        case Name("param"):
        case Name("html"):
        case Name("head"):
            return true;
        default:
            return false;
    }
}

inline bool IsSpace(char16_t c) {
    return c == u' ' || c == u'\n' || c == u'\r' || c == u'\t' || c == u'\f';
}
inline bool IsLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
inline bool IsNameChar(char16_t c) {
    return IsLetter(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u':' || c == u'_';
}
inline char16_t Lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

constexpr char kScriptEnd[] = "</script";
constexpr char kStyleEnd[] = "</style";

// Elements whose start or end begins a new line.
bool BreaksLine(uint64_t name) {
    switch (name) {
        case Name("p"):
        case Name("div"):
        case Name("br"):
        case Name("li"):
        case Name("dt"):
        case Name("dd"):
        case Name("h1"):
        case Name("h2"):
        case Name("h3"):
        case Name("h4"):
        case Name("h5"):
        case Name("h6"):
        case Name("tr"):
        case Name("pre"):
        case Name("ul"):
        case Name("ol"):
        case Name("dl"):
        case Name("table"):
        case Name("caption"):
        case Name("hr"):
        case Name("center"):
        case Name("address"):
        case Name("section"):
        case Name("article"):
        case Name("header"):
        case Name("footer"):
        case Name("nav"):
        case Name("aside"):
        case Name("main"):
        case Name("figure"):
        case Name("figcaption"):
        case Name("form"):
        case Name("fieldset"):
        case Name("details"):
        case Name("summary"):
            return true;
        default:
            return false;
    }
}

// A tag's ">": what it opens or closes.
void EndTag(TextCensus::ScanState& s) {
    const bool isEnd = (s.flags & kEndTag) != 0;
    const uint64_t name = s.name;
    s.mode = kText;
    s.flags &= static_cast<uint8_t>(~kEndTag);
    const bool empty = s.aux == kAfterSlash;
    s.aux = 0;
    if (BreaksLine(name)) s.flags |= kLineBreak;
    if (name == Name("pre")) {
        if (isEnd)
            s.flags &= static_cast<uint8_t>(~kInListing);
        else
            s.flags |= kInListing;
    }
    if (isEnd) {
        if (name == Name("head")) s.flags &= static_cast<uint8_t>(~kInHead);
        return;
    }
    if (name == Name("head")) {
        s.flags |= kInHead;
    } else if ((s.flags & kInHead) && !HeadContent(name)) {
        s.flags &= static_cast<uint8_t>(~kInHead);
    }
    if (empty) return;
    if (name == Name("script")) {
        s.mode = kRaw;
        s.flags &= static_cast<uint8_t>(~kRawStyle);
    } else if (name == Name("style")) {
        s.mode = kRaw;
        s.flags |= kRawStyle;
    }
}

// Characters that change nothing but the count, in a tag, a quoted value, a comment, a
// declaration or SCRIPT or STYLE content: from the one at i up to the first that may change the
// state, passed in a tight loop; i ends on the last of them. False when the one at i may.
bool PassQuietRun(const char16_t* text, uint32_t length, uint32_t& i, TextCensus::ScanState& s) {
    const char16_t c = text[i];
    auto pass = [text, length, &i](auto stops) {
        uint32_t j = i + 1;
        while (j < length && !stops(text[j])) ++j;
        i = j - 1;
    };
    switch (s.mode) {
        case kTagBody:
            if (c == u'>' || c == u'"' || c == u'\'' || c == u'=' || c == u'/' || IsSpace(c))
                return false;
            s.aux = 0;
            pass([](char16_t d) {
                return d == u'>' || d == u'"' || d == u'\'' || d == u'=' || d == u'/' || IsSpace(d);
            });
            return true;
        case kQuoted: {
            const char16_t quote = s.aux == 1 ? u'"' : u'\'';
            if (c == quote) return false;
            pass([quote](char16_t d) { return d == quote; });
            return true;
        }
        case kComment:
            if (c == u'-' || c == u'>') return false;
            s.aux = 0;
            pass([](char16_t d) { return d == u'-' || d == u'>'; });
            return true;
        case kDeclaration:
            if (c == u'>') return false;
            pass([](char16_t d) { return d == u'>'; });
            return true;
        case kRaw:
            if (s.aux != 0 || c == u'<') return false;
            pass([](char16_t d) { return d == u'<'; });
            return true;
        default:
            return false;
    }
}

// One character's step of the scanner; true when the character ends a state it does not belong
// to and is read again (in kText).
template <class Show>
bool Step(char16_t c, TextCensus::ScanState& s, Show& show) {
    bool again = false;
    switch (s.mode) {
        case kText:
            if (c == u'<') {
                s.mode = kAfterLt;
            } else if (c == u'&') {
                show(false);
                s.mode = kReference;
            } else {
                show(IsSpace(c));
            }
            break;
        case kAfterLt:
            if (IsLetter(c)) {
                s.mode = kTagName;
                s.name = Lower(c);
                s.flags &= static_cast<uint8_t>(~kEndTag);
            } else if (c == u'/') {
                s.mode = kTagName;
                s.name = 0;
                s.flags |= kEndTag;
            } else if (c == u'!') {
                s.mode = kAfterBang;
            } else if (c == u'?') {
                s.mode = kDeclaration;
            } else {
                // A "<" that opens nothing is text.
                s.mode = kText;
                show(false);
                again = true;
            }
            break;
        case kTagName:
            if (IsNameChar(c)) {
                if (s.name == 0 && !IsLetter(c)) {
                    s.mode = kDeclaration;
                } else if (s.name != kLongName) {
                    s.name = (s.name >> 56) ? kLongName : (s.name << 8) | Lower(c);
                }
            } else if (s.name == 0) {
                // "</" and no name: passed over up to ">".
                s.mode = kDeclaration;
                again = c == u'>';
            } else {
                s.mode = kTagBody;
                s.aux = 0;
                again = true;
            }
            break;
        case kTagBody:
            if (c == u'>') {
                EndTag(s);
            } else if ((c == u'"' || c == u'\'') && s.aux == kAfterEquals) {
                s.mode = kQuoted;
                s.aux = c == u'"' ? 1 : 2;
            } else if (c == u'=') {
                s.aux = kAfterEquals;
            } else if (c == u'/') {
                s.aux = kAfterSlash;
            } else if (!IsSpace(c)) {
                s.aux = 0;
            }
            break;
        case kQuoted:
            if (c == (s.aux == 1 ? u'"' : u'\'')) {
                s.mode = kTagBody;
                s.aux = 0;
            }
            break;
        case kAfterBang:
            s.mode = c == u'-' ? kAfterDash : c == u'>' ? kText : kDeclaration;
            break;
        case kAfterDash:
            if (c == u'-') {
                s.mode = kComment;
                s.aux = 0;
            } else {
                s.mode = c == u'>' ? kText : kDeclaration;
            }
            break;
        case kComment:
            if (c == u'>' && s.aux >= 2) {
                s.mode = kText;
                s.aux = 0;
            } else {
                s.aux = c == u'-' ? static_cast<uint8_t>(std::min(s.aux + 1, 2)) : 0;
            }
            break;
        case kDeclaration:
            if (c == u'>') s.mode = kText;
            break;
        case kReference:
            if (c == u';') {
                s.mode = kText;
            } else if (!IsNameChar(c) && c != u'#') {
                s.mode = kText;
                again = true;
            }
            break;
        case kRaw: {
            const char* end = (s.flags & kRawStyle) ? kStyleEnd : kScriptEnd;
            const uint8_t size =
                (s.flags & kRawStyle) ? sizeof kStyleEnd - 1 : sizeof kScriptEnd - 1;
            if (Lower(c) == static_cast<char16_t>(end[s.aux])) {
                if (++s.aux == size) {
                    // Its end tag: read to ">" as a tag that closes nothing.
                    s.mode = kTagBody;
                    s.flags |= kEndTag;
                    s.name = 0;
                    s.aux = 0;
                }
            } else {
                s.aux = c == u'<' ? 1 : 0;
            }
            break;
        }
        default:
            s.mode = kText;
            break;
    }
    return again;
}

}  // namespace

template <class Shown>
void TextCensus::Scan(const char16_t* text, uint32_t length, ScanState& s, Shown shown) {
    uint32_t i = 0;
    char16_t c = 0;
    auto show = [&](bool space) {
        if (s.flags & kInHead) return;
        if (space && (s.flags & kInListing)) {
            // A listing shows its blanks as they are, and each of its line ends starts a line.
            if (c == u'\n') s.flags |= kLineBreak;
            if (c == u'\n' || c == u'\r') return;
            space = false;
        }
        if (space) {
            // Blanks at a line's start show nothing.
            if (s.flags & (kLastSpace | kLineBreak)) return;
            s.flags |= kLastSpace;
            shown(i, 1u, false);
            return;
        }
        const bool starts = (s.flags & kLineBreak) != 0;
        s.flags &= static_cast<uint8_t>(~(kLastSpace | kLineBreak));
        shown(i, 1u, starts);
    };
    for (; i < length; ++i) {
        c = text[i];
        if (s.mode == kText && c != u'<' && c != u'&' && !IsSpace(c)) {
            // A word: its first character may start a line; the rest are counted as one run.
            show(false);
            uint32_t j = i + 1;
            while (j < length && text[j] != u'<' && text[j] != u'&' && !IsSpace(text[j])) ++j;
            if (!(s.flags & kInHead) && j > i + 1) shown(i + 1, j - i - 1, false);
            i = j - 1;
            continue;
        }
        if (s.mode != kText && PassQuietRun(text, length, i, s)) continue;
        // A character that ends a state it does not belong to is read again in kText.
        while (Step(c, s, show)) {
        }
    }
}

uint32_t TextCensus::Map(const Entry& entry, uint32_t index) {
    if (index >= entry.length) return entry.start + entry.span;
    if (entry.length == entry.span) return entry.start + index;
    // Characters spread over more positions each (multi-byte text): in proportion.
    return entry.start +
           static_cast<uint32_t>(static_cast<uint64_t>(index) * entry.span / entry.length);
}

bool TextCensus::Build(DocumentSource& document) {
    entries_.clear();
    shown_.clear();
    starts_.clear();
    total_ = lines_ = 0;
    const uint32_t length = document.GetLength();
    // Kept when the count fails too: the caller tells a text counted from one that grew.
    length_ = length;
    if (length == 0xFFFFFFFFu || length == 0) return false;
    entries_.reserve(length / 4096 + 1);
    ScanState state;
    uint32_t count = 0, lines = 0;
    uint64_t bit = 0;
    for (uint32_t at = 0; at < length;) {
        PageBuffer page;
        if (!document.ReadPage(at, page, 0, 0)) break;
        const uint32_t end = page.start + page.spanLength;
        Entry entry;
        entry.start = at;
        entry.span = end > at ? std::min(end, length) - at : 0;
        entry.count = count;
        entry.lines = lines;
        entry.length = page.length;
        entry.bit = bit;
        // Every read starts where the last page ended; one that does not move on ends the
        // count.
        const bool ok = page.start == at && entry.span > 0 && (page.text || page.length == 0);
        if (ok) {
            const size_t words = (bit + page.length + 63) / 64;
            shown_.resize(words, 0);
            starts_.resize(words, 0);
            Scan(page.text, page.length, state, [&](uint32_t i, uint32_t n, bool startsLine) {
                const uint64_t b = bit + i;
                if (startsLine) {
                    starts_[b >> 6] |= uint64_t{1} << (b & 63);
                    ++lines;
                }
                count += n;
                // The run's bits, a word at a time.
                for (uint64_t from = b, end = b + n; from < end;) {
                    const uint64_t take = std::min<uint64_t>(64 - (from & 63), end - from);
                    const uint64_t mask = take == 64 ? ~uint64_t{0} : ((uint64_t{1} << take) - 1);
                    shown_[from >> 6] |= mask << (from & 63);
                    from += take;
                }
            });
            bit += page.length;
        }
        document.ReleasePage(page.pageId);
        if (!ok) break;
        entries_.push_back(entry);
        at = entry.start + entry.span;
    }
    if (entries_.empty() || entries_.back().start + entries_.back().span != length) {
        entries_.clear();
        shown_.clear();
        starts_.clear();
        return false;
    }
    total_ = count;
    lines_ = lines;
    return true;
}

size_t TextCensus::EntryAt(uint32_t position) const {
    auto after = std::upper_bound(entries_.begin(), entries_.end(), position,
                                  [](uint32_t p, const Entry& e) { return p < e.start; });
    return after == entries_.begin() ? 0 : static_cast<size_t>(after - entries_.begin()) - 1;
}

uint32_t TextCensus::BitsIn(const std::vector<uint64_t>& bits, uint64_t from, uint64_t to) {
    uint32_t n = 0;
    while (from < to) {
        const uint64_t word = bits[from >> 6] >> (from & 63);
        const uint64_t take = std::min<uint64_t>(64 - (from & 63), to - from);
        n += static_cast<uint32_t>(
            __builtin_popcountll(take == 64 ? word : word & ((uint64_t{1} << take) - 1)));
        from += take;
    }
    return n;
}

uint64_t TextCensus::WeightBefore(uint32_t position, uint32_t lineWeight) const {
    if (entries_.empty() || position == 0) return 0;
    if (position >= length_) return total_ + uint64_t{lineWeight} * lines_;
    const Entry& entry = entries_[EntryAt(position)];
    // The characters whose positions lie before it.
    uint32_t lo = 0, hi = entry.length;
    if (entry.length == entry.span) {
        lo = position - entry.start;
    } else {
        while (lo < hi) {
            const uint32_t mid = lo + (hi - lo) / 2;
            if (Map(entry, mid) < position)
                lo = mid + 1;
            else
                hi = mid;
        }
    }
    const uint64_t to = entry.bit + lo;
    return entry.count + BitsIn(shown_, entry.bit, to) +
           uint64_t{lineWeight} * (entry.lines + BitsIn(starts_, entry.bit, to));
}

uint32_t TextCensus::PositionOfWeight(uint64_t weight, uint32_t lineWeight) const {
    if (entries_.empty() || weight > TotalWeight(lineWeight)) return length_;
    if (weight == 0) return 0;
    auto before = [lineWeight](const Entry& e) { return e.count + uint64_t{lineWeight} * e.lines; };
    // The last page that starts with less weighed before it holds the character that reaches it.
    auto after = std::lower_bound(entries_.begin(), entries_.end(), weight,
                                  [&](const Entry& e, uint64_t w) { return before(e) < w; });
    const Entry& entry = *(after - 1);
    uint64_t reached = before(entry);
    const uint64_t end = entry.bit + entry.length;
    for (uint64_t from = entry.bit; from < end;) {
        const uint64_t take = std::min<uint64_t>(64 - (from & 63), end - from);
        const uint64_t mask = take < 64 ? (uint64_t{1} << take) - 1 : ~uint64_t{0};
        uint64_t word = (shown_[from >> 6] >> (from & 63)) & mask;
        const uint64_t starts = (starts_[from >> 6] >> (from & 63)) & mask;
        const uint64_t here =
            static_cast<uint64_t>(__builtin_popcountll(word)) +
            uint64_t{lineWeight} * static_cast<uint64_t>(__builtin_popcountll(starts));
        if (reached + here < weight) {
            reached += here;
            from += take;
            continue;
        }
        // Character by character within the word: the position just after the one that
        // reaches it.
        for (; word; word &= word - 1) {
            const int k = __builtin_ctzll(word);
            reached += 1 + ((starts >> k) & 1 ? lineWeight : 0);
            if (reached >= weight)
                return Map(entry,
                           static_cast<uint32_t>(from + static_cast<uint64_t>(k) - entry.bit) + 1);
        }
        from += take;
    }
    return entry.start + entry.span;
}
