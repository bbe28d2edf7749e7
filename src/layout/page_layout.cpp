#include "layout/page_layout.h"

#include <algorithm>
#include <optional>

#include "bookfiles/annotation_file.h"
#include "bookfiles/document_source.h"
#include "bookfiles/packed_tree.h"
#include "bookfiles/record_store.h"
#include "bookfiles/sorted_record_database.h"
#include "document/markup/attribute_value.h"
#include "document/markup/html_tokenizer.h"
#include "document/markup/token_source.h"
#include "document/sources/layout_services.h"
#include "graphics/core/node.h"

namespace {

constexpr uint32_t kMarkupBody = 2;
constexpr uint32_t kMarkupReference = 64;
constexpr uint32_t kMarkupMetadata = 65;  // counting stops until its end tag
constexpr uint32_t kMarkupGuide = 67;
constexpr uint32_t kMarkupTable = 44;
constexpr uint32_t kMarkupRow = 45;
constexpr uint32_t kMarkupLogHost = 68;
// LOGHOST attributes: the name, a kind number and the value.
constexpr uint32_t kAttrLogName = 69;
constexpr uint32_t kAttrLogKind = 70;
constexpr uint32_t kAttrLogValue = 71;
constexpr int32_t kBudgetAfterLogHost = 8;
constexpr int32_t kFirstPageBudget = 100;
// A head, a style sheet and a script before BODY are read without spending the budget, so
// that a long one does not leave the first page without the body; up to this position only,
// so that a file whose head never ends is not read to its end.
constexpr uint32_t kMarkupHead = 6;
constexpr uint32_t kMarkupTitle = 5;
constexpr uint32_t kMarkupScript = 49;
constexpr uint32_t kMarkupStyle = 115;
constexpr uint32_t kFreeHeadReach = 256u << 10;
// Documents hand out their text in pages of this many positions from a multiple of it.
constexpr uint32_t kDocumentPageSize = 4096;

bool IsKeyNone(uint32_t key) {
    return key == 0xFFFFFFFFu || key == 0xFFFFFFFEu;
}

}  // namespace

bool PageContentLayout::ReplayToken(PageLayout& layout, PageRecord& record) {
    TokenSource* source = layout.Source();
    if (!source || source->LastTokenKind() != kTokenTag) return true;
    const RenderState* top = record.elements.GetRecordAtDepth(0);
    return record.elements.Push(*source, top ? *top : layout.Settings().defaults.style);
}

// --- Set-up ----------------------------------------------------------------------------------

// A book without a key answers 0: like none, it never matches a side file.
static uint32_t OwnKey(uint32_t key) {
    return key == 0 ? 0xFFFFFFFFu : key;
}

DocumentSource* PageLayout::Document() const {
    return source_ ? source_->Source() : nullptr;
}

void PageLayout::SetSource(TokenSource* source) {
    pager_.Forget();
    ForgetTableMeasures();
    source_ = source;
    markup_ = dynamic_cast<HtmlTokenizer*>(source);
    census_.reset();
    checkpoints_.clear();
    nearby_.clear();
    rebuilt_.clear();
    kept_.clear();
}

void PageLayout::Clear() {
    SetSource(nullptr);
    annotations_ = nullptr;
}

bool PageLayout::SetAnnotations(AnnotationFile* file) {
    annotations_ = file;
    if (!file) return true;
    uint32_t key = OwnKey(DocumentKey());
    // Without a key of our own nothing tells whether the file is another book's: keep it.
    if (IsKeyNone(key)) {
        file->Claim();
        return true;
    }
    uint32_t stored = file->GetBookId();
    if (stored == key || stored == ByteSwap32(key)) {
        file->Claim();
        return true;
    }
    if (stored == 0xFFFFFFFFu) return file->Claim() && file->SetBookId(key) == 0;
    if (file->OwnerKind() != 1) {
        // A file that names no book, written for another one of the same base name: it is
        // left untouched, and the caller gives this book a side file of its own.
        annotations_ = nullptr;
        return false;
    }
    // The book is again the one a file kept aside was made for: that file comes back.
    if (file->TakeBackKeptAside(key, ByteSwap32(key))) return true;
    // This book's name under another key: the book changed or was replaced. The old file is
    // kept aside (renamed, the reader told) before anything is dropped, so the next write makes
    // a fresh file and nothing is lost; a file that cannot be kept aside is left untouched.
    if (!file->GetPath().empty() && !file->SetAsideForChangedBook()) {
        annotations_ = nullptr;
        return false;
    }
    // A file whose key follows its content (a text file that grew) keeps what still falls
    // inside the text; another book's notes go, so do those of a file that named another book.
    const bool kept = KeyFollowsContent() && !file->TookAnotherNamesFile()
                          ? file->KeepWithin(TextLength())
                          : file->Reset();
    if (!kept) return false;
    return file->SetBookId(key) == 0;
}

void PageLayout::SetListener(PageLayoutListener* listener) {
    listener_ = listener ? listener : &defaultListener_;
}

void PageLayout::SetViewport(const Rect& rect) {
    if (rect.x == viewport_.x && rect.y == viewport_.y && rect.width == viewport_.width &&
        rect.height == viewport_.height)
        return;
    viewport_ = rect;
}

void PageLayout::SetColumnCount(uint32_t n) {
    columnCount_ = static_cast<int>(std::clamp<uint32_t>(n, 1, kMaxColumns));
}

void PageLayout::SetMargins(int32_t left, int32_t top, int32_t right, int32_t bottom, bool fixed) {
    marginLeft_ = std::max(0, left);
    marginTop_ = std::max(0, top);
    marginRight_ = std::max(0, right);
    marginBottom_ = std::max(0, bottom);
    marginMode_ = fixed ? 2 : 1;
}

bool PageLayout::Start() {
    documentKey_ = OwnKey(DocumentKey());
    if (IsKeyNone(documentKey_)) documentKey_ = random_.Next();
    if (!pager_.FirstKnown() && !LayoutFirstPage()) return false;
    Relayout();
    if (pager_.Current() == kNone) pager_.SetCurrent(pager_.First().start);
    listener_->OnRelayout();
    return true;
}

uint32_t PageLayout::CurrentDocumentKey() {
    uint32_t key = OwnKey(DocumentKey());
    return IsKeyNone(key) ? documentKey_ : key;
}

// --- Estimates and columns -------------------------------------------------------------------

uint32_t PageLayout::CharsPerPageEstimate() const {
    int64_t w = std::max(0, columns_[0].width);
    int64_t h = std::max(0, columns_[0].height);
    int64_t s = std::max<int64_t>(1, settings_.baseFontSize);
    int64_t e = ((2 * w) / s) * (h / s);
    if (e < 1) return 1;
    return static_cast<uint32_t>(std::min<int64_t>(e, 0x7FFFFFFF));
}

uint32_t PageLayout::EstimatePageNumber(uint32_t p) const {
    uint32_t f = pager_.FirstKnown() ? pager_.First().start : 0;
    if (p <= f) return 1;
    // Markup counts what it shows: most of its positions may be tags.
    if (const TextCensus* census = Census())
        return 1 + static_cast<uint32_t>(std::max<uint64_t>(
                       1, census->WeightBetween(f, p, LineStartWeight()) / ShownPerPageEstimate()));
    return 1 + std::max<uint32_t>(1, (p - f) / CharsPerPageEstimate());
}

uint32_t PageLayout::PositionOfPage(uint32_t n) const {
    uint32_t f = pager_.FirstKnown() ? pager_.First().start : 0;
    const uint64_t pages = static_cast<uint64_t>(n < 1 ? 1 : n) - 1;
    uint64_t p = pages * CharsPerPageEstimate() + f;
    if (const TextCensus* census = Census()) {
        const uint32_t line = LineStartWeight();
        const uint64_t k = pages * ShownPerPageEstimate() + census->WeightBefore(f, line);
        // Past the shown text: as far past its end as the count goes on.
        p = k <= census->TotalWeight(line)
                ? std::max<uint64_t>(f, census->PositionOfWeight(k, line))
                : census->Length() + (k - census->TotalWeight(line));
    }
    return p > 0xFFFFFFFEu ? 0xFFFFFFFEu : static_cast<uint32_t>(p);
}

int32_t PageLayout::ColumnGap() const {
    return std::max<int32_t>(settings_.baseFontSize, (marginLeft_ + marginRight_) / 2);
}

int32_t PageLayout::ComputeColumns() {
    Rect content = viewport_;
    if (marginMode_ != 0) {
        content.x += marginLeft_;
        content.y += marginTop_;
        content.width -= marginLeft_ + marginRight_;
        content.height -= marginTop_ + marginBottom_;
    }
    // Margins wider than the page leave one pixel rather than a negative page.
    content.width = std::max(1, content.width);
    content.height = std::max(1, content.height);
    int32_t n = columnCount_;
    int32_t g = ColumnGap();
    int64_t w = (static_cast<int64_t>(content.width) - static_cast<int64_t>(n - 1) * g) / n;
    if (w < 1) w = 1;
    for (int32_t k = 0; k < 4; ++k) {
        if (k < n) {
            columns_[k] = Rect{content.x + k * static_cast<int32_t>(w + g), content.y,
                               static_cast<int32_t>(w), content.height};
        } else {
            columns_[k] = Rect{};
        }
    }
    return static_cast<int32_t>(w);
}

int32_t PageLayout::FindColumn(const Rect& rect, Rect& out) const {
    for (int k = 0; k < columnCount_; ++k) {
        const Rect& c = columns_[k];
        if (rect.x >= c.x && rect.y >= c.y && rect.x + rect.width <= c.x + c.width &&
            rect.y + rect.height <= c.y + c.height) {
            out = c;
            return k;
        }
    }
    out = Rect{};
    return -1;
}

// --- Starting a page -------------------------------------------------------------------------

void PageLayout::SetMetadataList(SortedRecordDatabase* list) {
    metadata_ = list;
    if (metadata_ && collectMetadata_) metadata_->ClearItems();
}

void PageLayout::TakeBodyColours() {
    uint32_t colour = 0;
    if (source_->GetAttributeValue(kAttrBgColor, colour)) bodyColour_ = colour;
    // BODY's TEXT (read as COLOR) is the colour of text that names none.
    if (source_->GetAttributeValue(kAttrColor, colour)) bodyTextColour_ = colour;
}

bool PageLayout::LayoutFirstPage() {
    pager_.SetFirstKnown(false);
    pager_.First().Reset();
    bodyColour_ = kNone;
    bodyTextColour_ = kNone;
    // Text before any element that styles it (all of a plain text file) has the defaults' look.
    StyleOf(settings_.defaults.style, pager_.First().style);
    if (!source_ || !source_->Start(0, false)) return false;
    bool collect = metadata_ && collectMetadata_;
    if (collect) metadata_->ClearItems();
    int32_t budget = kFirstPageBudget;
    bool suspended = false;
    bool inHead = false, inTitle = false, inStyle = false, inScript = false;
    // Words outside the head before BODY are shown, as a browser shows them: the first page
    // then starts at the beginning, as in a file without BODY.
    bool wordsBeforeBody = false, bodySeen = false;
    uint32_t guard = TextLength() * 2 + 1024;
    while (budget > 0 && guard-- > 0) {
        uint32_t kind = source_->NextToken();
        if (kind == kTokenEnd) break;
        if (kind == kTokenContinue || kind == kTokenSpace) continue;
        if ((kind == kTokenText || kind == kTokenNonJoiner) && !bodySeen)
            wordsBeforeBody |= !(inHead || inTitle || inStyle || inScript || suspended);
        if (kind == kTokenTag) {
            bool isEnd = false, isEmpty = false;
            uint32_t id = source_->GetTag(isEnd, isEmpty);
            if (id == kMarkupBody && !isEnd && !bodySeen) {
                bodySeen = true;
                TakeBodyColours();
                if (wordsBeforeBody) {
                    if (!collect) break;
                    continue;
                }
                uint32_t p = 0;
                source_->GetPosition(p);
                pager_.First().start = p;
                source_->SaveState(pager_.First().scanState);
                pager_.First().elements.Push(*source_, settings_.defaults.style);
                pager_.First().used = true;
                pager_.First().pageNumber = 1;
                pager_.SetFirstKnown(true);
                // Log hosts may still follow in the body's first tokens.
                if (!collect) return true;
                continue;
            }
            if (id == kMarkupLogHost && metadata_ && !isEnd) {
                String name, value, kindText;
                if (source_->GetAttributeText(kAttrLogName, name)) {
                    source_->GetAttributeText(kAttrLogValue, value);
                    uint32_t itemKind = 2;
                    if (source_->GetAttributeText(kAttrLogKind, kindText) &&
                        kindText.Length() > 0) {
                        uint32_t n = 0;
                        bool digits = true;
                        for (int32_t i = 0; i < kindText.Length() && digits; ++i) {
                            char16_t ch = kindText[i];
                            digits = ch >= u'0' && ch <= u'9' && n < 100000000u;
                            n = n * 10 + static_cast<uint32_t>(ch - u'0');
                        }
                        if (digits) itemKind = n;
                    }
                    metadata_->AddItem(
                        std::u16string(name.Data(), static_cast<size_t>(name.Length())),
                        std::u16string(value.Data(), static_cast<size_t>(value.Length())),
                        itemKind);
                }
                budget = kBudgetAfterLogHost;
                continue;
            }
            if (id == kMarkupMetadata) {
                suspended = !isEnd;
                continue;
            }
            if (id == kMarkupReference || id == kMarkupGuide) continue;
            if (id == kMarkupHead) inHead = !isEnd;
            if (id == kMarkupTitle) inTitle = !isEnd && !isEmpty;
            if (id == kMarkupStyle) inStyle = !isEnd && !isEmpty;
            if (id == kMarkupScript) inScript = !isEnd && !isEmpty;
        }
        if ((inHead || inStyle || inScript) && !pager_.FirstKnown()) {
            uint32_t p = 0;
            if (source_->GetPosition(p) && p < kFreeHeadReach) continue;
        }
        // Text before BODY (a TITLE, or a file with no BODY at all) costs a unit like a tag.
        if (!suspended) --budget;
    }
    if (pager_.FirstKnown()) return true;
    // No BODY, or words before it: the text is shown from the beginning with the default
    // element stack.
    if (!source_->Start(0, false)) return false;
    uint32_t p = 0;
    source_->GetPosition(p);
    pager_.First().start = p;
    pager_.First().scanState.Clear();
    source_->SaveState(pager_.First().scanState);
    pager_.First().pageNumber = 1;
    pager_.First().used = true;
    pager_.SetFirstKnown(true);
    return true;
}

bool PageLayout::LayoutPageFrom(uint32_t target, PageRecord& record, bool align) {
    if (!source_) return false;
    DocumentSource* doc = Document();
    uint32_t number = record.pageNumber;
    // A book that can start a page anywhere still has to know the elements open there (a
    // list's indent, a listing): markup is read from the nearest checkpoint to rebuild them.
    // Plain text has none to rebuild.
    const bool markup = dynamic_cast<HtmlTokenizer*>(source_) != nullptr;
    if (doc && (doc->BookProperty7() == 1 || markup)) {
        if (!pager_.FirstKnown() && !LayoutFirstPage()) return false;
        if (!Replay(target, record, align, paragraphStart_) || !LeaveTable(record)) return false;
    } else {
        if (!source_->Start(target, align)) return false;
        uint32_t p = target;
        source_->GetPosition(p);
        record.start = p;
        record.scanState.Clear();
        if (!source_->SaveState(record.scanState)) return false;
        if (!record.elements.Assign(pager_.First().elements)) {
            if (!FreeMemory() || !record.elements.Assign(pager_.First().elements)) return false;
        }
        record.style = pager_.First().style;
        record.blockStyle = pager_.First().blockStyle;
        record.block.reset();
        record.tables.clear();
    }
    record.pageNumber = number;
    record.end = kNone;
    record.linkOrigin = kNone;
    record.linkStep = 0;
    record.markIndex = -1;
    record.used = true;
    if (record.pageNumber == kNone) record.pageNumber = EstimatePageNumber(record.start);
    return true;
}

uint32_t PageLayout::ParagraphStart(const PageRecord& page, uint32_t reach) {
    if (dynamic_cast<HtmlTokenizer*>(source_)) {
        // The innermost open block element, at its start tag; in a listing too long for that,
        // the start of the listing's line (its wrapping and the columns of its TABs count from
        // there).
        const ElementStack& stack = page.elements;
        for (uint32_t d = 0; d + 1 < stack.Count(); ++d) {
            const RenderState* state = stack.GetRecordAtDepth(d);
            if (!state || state->display == kDisplayInline) continue;
            if (state->display != kDisplayBlock) return kNone;
            const uint32_t at = stack.ReadU32At(stack.OffsetAtDepth(d));
            if (at < page.start && page.start - at <= reach) return at;
            return (state->boxFlags & kBoxPreformatted) ? LineStartBefore(page.start, reach)
                                                        : kNone;
        }
        return kNone;
    }
    // Plain text: the line the position is in, after the line break before it.
    return LineStartBefore(page.start, reach);
}

uint32_t PageLayout::LineStartBefore(uint32_t position, uint32_t reach) {
    DocumentSource* doc = Document();
    if (!doc || position == 0) return kNone;
    uint32_t at = position;
    const uint32_t floor = position > reach ? position - reach : 0;
    while (at > floor) {
        PageBuffer buffer;
        if (!doc->ReadPage(at - 1, buffer, 0, 0)) return kNone;
        bool found = false;
        uint32_t p = at;
        // Characters map one to one onto positions within a page read here.
        if (buffer.length == buffer.spanLength && buffer.start < at) {
            for (p = std::min(at, buffer.start + buffer.length); p > buffer.start && p > floor;
                 --p) {
                if (buffer.text[p - 1 - buffer.start] == u'\n') {
                    found = true;
                    break;
                }
            }
        } else {
            p = floor;
        }
        doc->ReleasePage(buffer.pageId);
        if (found) return p < position ? p : kNone;
        if (p >= at) break;
        at = p;
    }
    return kNone;
}

bool PageLayout::StartsAtTabs(uint32_t position) {
    DocumentSource* doc = Document();
    if (!doc || position == 0) return false;
    PageBuffer buffer;
    if (!doc->ReadPage(position - 1, buffer, 0, 0)) return false;
    bool inside = false;
    // Characters map one to one onto positions within a page read here.
    if (buffer.text && buffer.length == buffer.spanLength && buffer.start < position &&
        position < buffer.start + buffer.length) {
        const char16_t before = buffer.text[position - 1 - buffer.start];
        const char16_t at = buffer.text[position - buffer.start];
        inside = at == u'\t' || (at == u' ' && before == u'\t');
    }
    doc->ReleasePage(buffer.pageId);
    return inside;
}

int32_t PageLayout::OutermostTableOffset(const ElementStack& stack) {
    int32_t outer = -1;
    for (int32_t off = stack.FindTag(kMarkupTable); off >= 0;) {
        outer = off;
        int32_t below = stack.PreviousOffset(off);
        off = below < 0 ? -1 : stack.FindTag(kMarkupTable, below);
    }
    return outer;
}

// Paging forward starts a page inside a table only at a row boundary, as a continued table
// (never before the table's second row). A start inside a row goes back to the row's start (of
// the outermost table); one inside the first row, or before it, to the table's start (also one
// just where the table's start tag ends: the table is laid out whole from its tag).
bool PageLayout::LeaveTable(PageRecord& record) {
    ElementStack& stack = record.elements;
    const int32_t outer = OutermostTableOffset(stack);
    if (outer < 0) return true;
    const uint32_t tableStart = stack.ReadU32At(outer);
    const uint32_t target = record.start;
    uint32_t boundary = target;
    bool inRow = false;
    for (int32_t off = stack.NextOffset(outer); off >= 0; off = stack.NextOffset(off)) {
        if (stack.ReadU16At(off) == kMarkupRow) {
            boundary = stack.ReadU32At(off);
            inRow = true;
            break;
        }
    }
    if (tableStart > target || content_) return true;
    // Element positions are where their start tags end: the replays stop before the tags.
    if (!Replay(tableStart, record, false, true)) return false;
    // Whether a row of the table comes before the boundary (the row's own tag starts or ends
    // at it).
    bool earlierRow = false;
    uint32_t p = tableStart;
    for (uint32_t guard = TextLength() + 16; guard > 0 && !earlierRow; --guard) {
        if (!source_->GetPosition(p) || p >= boundary) break;
        uint32_t kind = source_->NextToken();
        if (kind == kTokenEnd) break;
        bool isEnd = false, isEmpty = false;
        uint32_t after = p;
        source_->GetPosition(after);
        earlierRow = kind == kTokenTag && source_->GetTag(isEnd, isEmpty) == kMarkupRow && !isEnd &&
                     p != boundary && after != boundary;
    }
    if (!earlierRow) return true;
    PageRecord row;
    row.pageNumber = record.pageNumber;
    // Inside a row the boundary is where the row's start tag ends, and the reading stops before
    // that tag; between rows it is the start itself, and a tag ending there (the row before's
    // end tag) is read.
    if (Replay(boundary, row, false, inRow) && row.start <= boundary && ContinueTable(row))
        record.MoveFrom(row);
    return true;
}

void PageLayout::AddCheckpoint(uint32_t position, const PageRecord& record) {
    if (!checkpoints_.empty() && checkpoints_.back().position + kCheckpointSpacing > position)
        return;
    Checkpoint c;
    c.position = position;
    if (!source_->SaveState(c.scanState) || !c.stack.Assign(record.elements)) return;
    checkpoints_.push_back(std::move(c));
}

// Rebuilding readings start anywhere: their checkpoints go in position order, none closer than
// the spacing to another.
void PageLayout::AddRebuiltCheckpoint(uint32_t position, const PageRecord& record) {
    auto at = std::lower_bound(
        rebuilt_.begin(), rebuilt_.end(), position,
        [](const Checkpoint& c, uint32_t p) { return c.position < p; });
    if (at != rebuilt_.end() && at->position < position + kCheckpointSpacing) return;
    if (at != rebuilt_.begin() && std::prev(at)->position + kCheckpointSpacing > position) return;
    Checkpoint c;
    c.position = position;
    c.rebuilt = true;
    if (!source_->SaveState(c.scanState) || !c.stack.Assign(record.elements)) return;
    rebuilt_.insert(at, std::move(c));
}

size_t PageLayout::KeptRebuiltCount() const {
    size_t n = 0;
    for (const KeptCheckpoint& k : kept_) n += k.rebuilt ? 1 : 0;
    return n;
}

// --- Checkpoints kept across sessions --------------------------------------------------------

uint32_t PageLayout::KeptSpacing() {
    // At most kMaxKeptCheckpoints of them fit in a text of any length.
    return std::max(kKeptSpacing, TextLength() / (kMaxKeptCheckpoints - 1) + 1);
}

bool PageLayout::RestoreKeptStack(const KeptCheckpoint& kept, ElementStack& out) const {
    ByteStream saved;
    return saved.CopyFrom(kept.stack) && saved.SetReadPosition(0) &&
           out.Restore(saved, settings_.defaults);
}

bool PageLayout::SaveKeptCheckpoints(ByteStream& out) {
    // The kept checkpoints and this session's, in position order, thinned to the spacing: the
    // exact ones, then the rebuilt ones where no other lies within the spacing, each kind in a
    // section of its own (a count, then each checkpoint); no rebuilt ones, no second section.
    struct Candidate {
        uint32_t position;
        const KeptCheckpoint* kept;
        const Checkpoint* live;
    };
    const uint32_t spacing = KeptSpacing();
    std::vector<Candidate> chosen[2];
    auto clear = [&](uint32_t p) {
        for (const std::vector<Candidate>& kind : chosen)
            for (const Candidate& o : kind)
                if ((o.position > p ? o.position - p : p - o.position) < spacing) return false;
        return true;
    };
    for (const bool rebuilt : {false, true}) {
        std::vector<Candidate> all;
        for (const KeptCheckpoint& k : kept_)
            if (k.rebuilt == rebuilt) all.push_back({k.position, &k, nullptr});
        for (const Checkpoint& c : rebuilt ? rebuilt_ : checkpoints_)
            all.push_back({c.position, nullptr, &c});
        std::stable_sort(all.begin(), all.end(), [](const Candidate& a, const Candidate& b) {
            return a.position < b.position;
        });
        for (const Candidate& c : all)
            if (clear(c.position)) chosen[rebuilt].push_back(c);
    }
    const size_t count = chosen[0].size() + chosen[1].size();
    if (count <= kept_.size() || count > kMaxKeptCheckpoints) return false;
    auto write = [&](const std::vector<Candidate>& section) {
        out.WriteWord32BE(static_cast<uint32_t>(section.size()));
        for (const Candidate& c : section) {
            out.WriteWord32BE(c.position);
            if (c.kept) {
                out.WriteBlock(c.kept->scanState);
                out.WriteBlock(c.kept->stack);
            } else {
                ByteStream stack;
                out.WriteBlock(c.live->scanState);
                if (!c.live->stack.Save(stack)) return false;
                out.WriteBlock(stack);
            }
        }
        return true;
    };
    if (!write(chosen[0]) || (!chosen[1].empty() && !write(chosen[1]))) return false;
    return out.Ok();
}

bool PageLayout::LoadKeptCheckpoints(ByteStream& in) {
    kept_.clear();
    std::vector<KeptCheckpoint> read;
    if (!ReadKeptSection(in, false, read)) return false;
    // A rebuilt section, when there is one, holds at least one.
    if (in.Remaining() != 0 && (!ReadKeptSection(in, true, read) || !read.back().rebuilt))
        return false;
    if (in.Remaining() != 0 || read.size() > kMaxKeptCheckpoints) return false;
    kept_ = std::move(read);
    return true;
}

bool PageLayout::ReadKeptSection(ByteStream& in, bool rebuilt, std::vector<KeptCheckpoint>& out) {
    uint32_t count = 0;
    if (!in.ReadWord32BE(count) || count > kMaxKeptCheckpoints) return false;
    const uint32_t length = TextLength();
    for (uint32_t i = 0; i < count; ++i) {
        KeptCheckpoint k;
        k.rebuilt = rebuilt;
        ElementStack trial;
        if (!in.ReadWord32BE(k.position) || !in.ReadBlock(k.scanState) || !in.ReadBlock(k.stack) ||
            k.position >= length ||
            (i > 0 && k.position <= out.back().position) || !RestoreKeptStack(k, trial))
            return false;
        out.push_back(std::move(k));
    }
    return true;
}

// Documents that cannot start at an arbitrary position are replayed from the first page (or
// from the nearest checkpoint passed on an earlier replay: replay is deterministic, so the
// result is the same and a far page in a large file does not re-read the whole file).
bool PageLayout::Replay(uint32_t target, PageRecord& record, bool align, bool beforeTag) {
    bool again = false;
    if (!ReplayPass(target, record, align, beforeTag, false, again)) return false;
    // A token longer than the window crossed the target: the state before it was not kept.
    return !again || ReplayPass(target, record, align, beforeTag, true, again);
}

bool PageLayout::ReplayPass(uint32_t target, PageRecord& record, bool align, bool beforeTag,
                            bool keepEvery, bool& again) {
    // The state before a token is kept so that a token crossing the target can be read again
    // up to it. Keeping it before every token cost as much as the reading: only tokens that
    // start within this many characters of the target are kept for (a longer token, a long
    // comment or tag, sends the replay round again with every state kept).
    constexpr uint32_t kCrossWindow = 4096;
    again = false;
    if (!record.CopyFrom(pager_.First())) return false;
    // Stopping before a tag needs the tag read: a checkpoint at the target would be past it.
    const uint32_t reach = beforeTag && target > 0 ? target - 1 : target;
    const ReplayStart start = ChooseReplayStart(reach);
    uint32_t p = 0;
    if (!BeginReplay(start, record, p)) return false;
    // Checkpoints of a rebuilding reading begin a spacing after its start.
    uint32_t rebuiltFrom = p;
    // A page back from the target and the backward reach: the last token boundary before
    // each mark (within a small window) becomes a nearby checkpoint.
    const uint32_t page = CharsPerPageEstimate();
    uint32_t marks[2] = {target > page ? target - page : 0,
                         target > kBackwardReach ? target - kBackwardReach : 0};
    // Up to here nothing but the open elements is wanted: not the state before a token, nor a
    // nearby checkpoint.
    const uint32_t margin = std::max(kCrossWindow, kBackwardReach) + page + kNearbyWindow;
    const uint32_t skipEnd = target > margin ? target - margin : 0;
    Checkpoint nearby[2];
    bool haveNearby[2] = {false, false};
    bool wantNearby = pager_.QuickSearch();
    uint32_t guard = TextLength() * 2 + 1024;
    ByteStream before;
    // A token read far from the target without its state kept: whether it crossed the target
    // shows at the next position read (the token itself changed nothing but the record, which
    // the next pass makes again).
    uint32_t farKind = kTokenEnd;
    // Reading stops at the target, before the token just read: back to the state kept before
    // the token, resuming at `resume` where given. Where no state was kept (and the replay does
    // not align) the replay goes round again, keeping every state.
    enum class Stop { kNot, kHere, kAgain, kFailed };
    auto stopBeforeToken = [&](bool kept, std::optional<uint32_t> resume) {
        if (!align && !kept) return Stop::kAgain;
        if (!before.SetReadPosition(0) || !source_->RestoreState(before)) return Stop::kFailed;
        if (resume) source_->ResumeInside(*resume);
        return Stop::kHere;
    };
    while (guard-- > 0) {
        if (!source_->GetPosition(p)) return false;
        if (p >= target) {
            if ((farKind == kTokenText && p > target) || (farKind == kTokenTag && beforeTag)) {
                again = true;
                return true;
            }
            break;
        }
        if (start.rebuilt) {
            if (p >= rebuiltFrom + kCheckpointSpacing) {
                AddRebuiltCheckpoint(p, record);
                rebuiltFrom = p;
            }
        } else if (p >= pager_.First().start + kCheckpointSpacing &&
                   (checkpoints_.empty() ||
                    checkpoints_.back().position + kCheckpointSpacing <= p)) {
            AddCheckpoint(p, record);
        }
        // Far from the target only the tags matter: the text between them is passed over.
        if (p < skipEnd && source_->SkipText(skipEnd)) {
            farKind = kTokenEnd;
            continue;
        }
        for (int k = 0; k < 2 && wantNearby; ++k) {
            if (p > marks[k] || p + kNearbyWindow < marks[k] || marks[k] <= kNearbyWindow) continue;
            nearby[k].position = p;
            nearby[k].rebuilt = start.rebuilt;
            nearby[k].scanState.Clear();
            haveNearby[k] =
                source_->SaveState(nearby[k].scanState) && nearby[k].stack.Assign(record.elements);
        }
        // A page start of ours can lie inside a word the page before hyphenated: reading then
        // resumes at the start, inside the word, so the page keeps the word's second half.
        const bool kept = !align && (keepEvery || target - p <= kCrossWindow);
        if (kept) {
            before.Clear();
            if (!source_->SaveState(before)) return false;
        }
        uint32_t kind = source_->NextToken();
        farKind = kTokenEnd;
        if (kind == kTokenEnd) break;
        if (kind == kTokenContinue) {
            // A word waiting for the references joined to it may already cross the target (a
            // page start inside a word of non-breaking spaces): it is a word crossing it.
            uint32_t read = p;
            if (align || !source_->Joining() || !source_->GetPosition(read) || read <= target)
                continue;
            kind = kTokenText;
        }
        // After a comment the token begins past it, maybe at or past the target: reading stops
        // at the target, before the token, as for a token crossing it.
        uint32_t began = p, end = p;
        const bool passed =
            source_->GetPosition(end) && end >= target && source_->TokenStart(began);
        uint32_t after = p;
        Stop stop = Stop::kNot;
        if (!align && passed && began >= target) {
            stop = stopBeforeToken(kept, target);
        } else if (!kept && !align && !content_) {
            farKind = kind;
        } else if (!align && kind == kTokenText && source_->GetPosition(after) && after > target) {
            stop = stopBeforeToken(kept, target);
        } else if (beforeTag && kind == kTokenTag && source_->GetPosition(after) &&
                   after >= target) {
            stop = stopBeforeToken(kept, passed ? std::optional<uint32_t>(began) : std::nullopt);
        }
        if (stop == Stop::kAgain) {
            again = true;
            return true;
        }
        if (stop == Stop::kFailed) return false;
        if (stop == Stop::kHere) break;
        // Each element gets the state its page would give it: a page inside a list keeps
        // the list's indent.
        bool ok = content_ ? content_->ReplayToken(*this, record)
                           : (kind != kTokenTag || ReplayTag(record.elements));
        if (!ok) return false;
    }
    for (int k = 1; k >= 0; --k) {
        if (!haveNearby[k]) continue;
        bool known = false;
        for (const Checkpoint& c : nearby_) known |= c.position == nearby[k].position;
        if (known) continue;
        if (static_cast<int32_t>(nearby_.size()) >= kMaxNearbyCheckpoints)
            nearby_.erase(nearby_.begin());
        nearby_.push_back(std::move(nearby[k]));
    }
    if (const RenderState* top = content_ ? nullptr : record.elements.GetRecordAtDepth(0)) {
        StyleOf(*top, record.style);
        BoxOf(*top, record.blockStyle);
    }
    source_->GetPosition(p);
    record.start = p;
    record.rebuilt = start.rebuilt;
    record.scanState.Clear();
    record.block.reset();
    record.used = true;
    return source_->SaveState(record.scanState);
}

bool PageLayout::StartsAnywhere() {
    DocumentSource* doc = Document();
    return doc && doc->BookProperty7() != 1;
}

PageLayout::ReplayStart PageLayout::NearestStart(uint32_t reach, bool rebuilt) {
    // The first page is where an exact reading can always begin.
    ReplayStart best;
    best.position = rebuilt ? kNone : pager_.First().start;
    bool found = !rebuilt;
    auto consider = [&](uint32_t position, const Checkpoint* live, const KeptCheckpoint* kept) {
        if (position > reach || (found && position <= best.position)) return;
        found = true;
        best = ReplayStart{position, live, kept, false, rebuilt};
    };
    for (const Checkpoint& c : rebuilt ? rebuilt_ : checkpoints_) consider(c.position, &c, nullptr);
    for (const Checkpoint& c : nearby_)
        if (c.rebuilt == rebuilt) consider(c.position, &c, nullptr);
    for (const KeptCheckpoint& k : kept_)
        if (k.rebuilt == rebuilt && k.position > pager_.First().start)
            consider(k.position, nullptr, &k);
    return best;
}

// The nearest checkpoint before the target, or the first page; in a long document whose pages
// can start anywhere, where neither lies within the rebuilding stretch, the nearest rebuilt
// checkpoint within it, or else a fresh start at the document's page boundary a stretch back.
PageLayout::ReplayStart PageLayout::ChooseReplayStart(uint32_t reach) {
    const ReplayStart exact = NearestStart(reach, false);
    if (!StartsAnywhere() || TextLength() <= kExactLength || exact.position >= reach ||
        reach - exact.position <= kRebuildStretch)
        return exact;
    const ReplayStart rebuilt = NearestStart(reach, true);
    if (rebuilt.position != kNone && reach - rebuilt.position <= kRebuildStretch) return rebuilt;
    ReplayStart fresh;
    fresh.position = (reach - kRebuildStretch) & ~(kDocumentPageSize - 1);
    if (fresh.position <= exact.position) return exact;
    fresh.fresh = true;
    fresh.rebuilt = true;
    return fresh;
}

// The source and the record's open elements as they are at the start; the position reached.
// A fresh start opens at the first token boundary after its position, with the first page's
// elements.
bool PageLayout::BeginReplay(const ReplayStart& start, PageRecord& record, uint32_t& position) {
    if (start.fresh) {
        if (!source_->Start(start.position, true)) return false;
        position = start.position;
        return source_->GetPosition(position);
    }
    ByteStream state;
    if (start.kept) {
        if (!state.CopyFrom(start.kept->scanState) ||
            !RestoreKeptStack(*start.kept, record.elements))
            return false;
    } else if (start.live) {
        if (!state.CopyFrom(start.live->scanState) || !record.elements.Assign(start.live->stack))
            return false;
    } else if (!state.CopyFrom(pager_.First().scanState)) {
        return false;
    }
    position = start.position;
    return state.SetReadPosition(0) && source_->RestoreState(state);
}

// --- Sections ----------------------------------------------------------------------------------

bool PageLayout::SectionOf(uint32_t position, uint32_t& start, uint32_t& end, bool& flagClear) {
    DocumentSource* doc = Document();
    if (!doc) return false;
    PackedTree tree;
    uint32_t range[2] = {0, 0};
    if (!doc->PositionToRecord(position, &tree, nullptr, -1, range)) return false;
    start = range[0];
    end = range[1];
    flagClear = !tree.IsValid() || tree.IsFlagClear();
    return true;
}

bool PageLayout::GoToPage(uint32_t n) {
    if (!pager_.FirstKnown() && !LayoutFirstPage()) return false;
    pager_.HideCurrent();
    PageRecord* r = nullptr;
    uint32_t length = TextLength();
    // -1 is tested first: as a large number it would otherwise read as "past the end".
    bool toLast = n == kNone;
    // The count Go to page offers is the last page's number, an estimate until it is known.
    if (!toLast && n > 1 && pager_.LastNumber() == kNone &&
        (PositionOfPage(n) >= length || n >= EstimatePageNumber(length)))
        toLast = true;
    if (n > 1 && pager_.PagedFromFirst()) {
        // A short text: page n is the one n - 1 PageDowns reach, the last one End's.
        r = pager_.WalkFromFirst(n);
        // A number past the last page's steps shows it as End does (a tall table at its end).
        toLast = n == kNone || (r && n >= r->pageNumber + r->steps);
    } else if (PageRecord* known = n > 1 ? pager_.RecordHoldingStep(n) : nullptr) {
        // A page of a large table's views, laid out: page n is one of its views.
        toLast = false;
        r = known;
    } else if (toLast || (pager_.LastNumber() != kNone && n >= pager_.LastStepNumber())) {
        toLast = true;
        r = FullLastPage();
    } else if (n <= 1) {
        r = &pager_.First();
    } else {
        r = pager_.EnsureRecord(n, LineStartHolding(PositionOfPage(n)), true);
        // A page started at the estimate that runs to the end of the text is the tail of the
        // last page, or the markup after the last words: the last page is shown whole.
        const uint32_t start = r ? r->start : kNone;
        if (r && pager_.LayoutPageAt(start, false))
            r = pager_.FindPageRecord(start, PageStepCode::kSamePage);
        if (r && r->end != kNone && r->end >= length && r != &pager_.First()) {
            // Not a page paging forward shows: no search may start from it.
            const int32_t held = pager_.SlotOf(start);
            if (held >= 0) pager_.ReleaseSlot(held);
            if (start != pager_.Current()) r->Reset();
            pager_.ForgetLast();
            toLast = true;
            r = FullLastPage();
        }
    }
    if (!r) {
        ShowCurrentPage();
        return false;
    }
    pager_.MakeCurrent(r, kNoPageMark);
    // The last page shows the end of the text, inside a large table too; any other page the
    // views of its tables the PageDowns from its top to page n reach (its first, mostly).
    ShowTableViews(toLast ? kNone : n > r->pageNumber ? n - r->pageNumber : 0);
    listener_->OnPageChanged(r);
    return true;
}

// The page that ends at the end of the text, filled upward from the page before it as far as
// the screen allows (the last page paging forward shows can hold a few lines only). Numbered as
// the last page when that is known, else by the estimate.
PageRecord* PageLayout::FullLastPage() {
    const uint32_t length = TextLength();
    if (length <= FirstPageStart()) return &pager_.First();
    const uint32_t after =
        pager_.LastNumber() != kNone ? pager_.LastStepNumber() + 1 : EstimatePageNumber(length);
    PageRecord* r = nullptr;
    return pager_.LayoutPageEndingAt(length, after, r) ? r : nullptr;
}

bool PageLayout::GoToPosition(uint32_t position, PageStepCode step, PageMarkIndex mark) {
    if (!MoveToPosition(position, step, mark)) return false;
    listener_->OnPageChanged(pager_.CurrentRecord());
    return true;
}

bool PageLayout::MoveToPosition(uint32_t position, PageStepCode step, PageMarkIndex mark) {
    return pager_.MoveToPosition(position, step, mark) != nullptr;
}

bool PageLayout::AdvanceToPosition(uint32_t rangeStart, uint32_t rangeEnd) {
    PageRecord* moved = nullptr;
    if (!pager_.AdvanceToPosition(rangeStart, rangeEnd, moved)) return false;
    if (moved) listener_->OnPageChanged(moved);
    return true;
}

bool PageLayout::StepPage(ViewOffset y, PageStepCode step) {
    return ShowMoved(pager_.StepPage(y, step));
}

bool PageLayout::ShowMoved(PageRecord* record) {
    if (!record) return false;
    listener_->OnPageChanged(record);
    return true;
}

Size PageLayout::FitHeightToContent(Size size) {
    const int32_t margins = marginMode_ != 0 ? marginTop_ + marginBottom_ : 0;
    int32_t s = pager_.Current() == kNone ? -1 : pager_.SlotOf(pager_.Current());
    if (size.width == viewport_.width && size.height >= viewport_.height && s >= 0)
        return Size{size.width, pager_.Slot(s).contentHeight + margins};
    viewport_.width = size.width;
    viewport_.height = size.height;
    Relayout();
    if (pager_.Current() == kNone || !pager_.LayoutPageAt(pager_.Current(), false, &s) || s < 0)
        return Size{size.width, 0};
    viewport_.height = pager_.Slot(s).contentHeight + margins;
    return Size{size.width, viewport_.height};
}

bool PageLayout::GoToPositionAsPageStart(uint32_t position, uint32_t number) {
    if (position >= TextLength()) return false;
    return ShowMoved(pager_.ShowAsOnlyPage(pager_.EnsureRecord(number, position, false)));
}

bool PageLayout::GoToPageContaining(uint32_t position) {
    if (position >= TextLength()) return false;
    if (!pager_.FirstKnown() && !LayoutFirstPage()) return false;
    uint32_t number = kNone;
    uint32_t start = position;
    if (position < pager_.First().start ||
        (pager_.First().end != kNone && position < pager_.First().end)) {
        start = pager_.First().start;
        number = 1;
    } else {
        bool held = false;
        for (const PageRecord& r : pager_.Records())
            if (r.IsUsed() && r.end != kNone && r.start <= position && position < r.end) {
                number = r.pageNumber;
                start = r.start;
                held = true;
            }
        // None holds it: the page starts on its line, as paging forward wraps it.
        if (!held) start = LineStartHolding(position);
    }
    return ShowMoved(pager_.ShowAsOnlyPage(pager_.EnsureRecord(number, start, true)));
}

// --- Queries -------------------------------------------------------------------------------------

uint32_t PageLayout::CurrentPageStart() const {
    const PageRecord* r = pager_.CurrentRecord();
    return r ? r->start : kNone;
}

uint32_t PageLayout::CurrentPageNumber() const {
    const PageRecord* r = pager_.CurrentRecord();
    return r ? r->pageNumber : kNone;
}

uint32_t PageLayout::CurrentPageLength() const {
    const PageRecord* r = pager_.CurrentRecord();
    if (!r || r->end == kNone || r->end <= r->start) return kNone;
    return r->end - r->start;
}

uint32_t PageLayout::CurrentPageEnd() {
    PageRecord* r = pager_.CurrentRecord();
    if (!r) return kNone;
    if (r->end == kNone && !pager_.LayoutPageAt(r->start, false)) return kNone;
    // Laying out may have moved the records: the current one is looked up again.
    r = pager_.CurrentRecord();
    return r ? r->end : kNone;
}

uint32_t PageLayout::PageCount() {
    uint32_t count = pager_.LastStepNumber();
    // A short text is counted by paging it: the count holds while reading.
    if (count == kNone && pager_.PagedFromFirst() && pager_.WalkFromFirst(kNone))
        count = pager_.LastStepNumber();
    if (count == kNone) count = EstimatePageNumber(TextLength());
    // An estimate never counts fewer pages than the number shown.
    const uint32_t shown = ShownPageNumber();
    return shown != kNone ? std::max(count, shown) : count;
}

bool PageLayout::CurrentPageEndsWithBreak() {
    int32_t s = pager_.SlotOf(pager_.Current());
    return s >= 0 && EndsWithTypeZeroMark(pager_.Slot(s).contents);
}

// --- Maintenance
// -----------------------------------------------------------------------------------

void PageLayout::Relayout() {
    ComputeColumns();
    Invalidate(1);
}

void PageLayout::Invalidate(uint32_t flags) {
    if (flags & 3) {
        pager_.DropLaidOut();
        ForgetTableMeasures();
        // A restored page placed anew in a strip of its height before it is first shown keeps
        // the paging saved with it; new settings or another width make it no longer hold.
        if (restoredStart_ != kNone && !(flags & 2) && viewport_.width == restoredWidth_ &&
            pager_.Current() == restoredStart_)
            KeepRestoredPaging();
        else
            restoredStart_ = kNone;
    }
    pager_.ForgetKnownLines();
    if (flags & 2) {
        checkpoints_.clear();
        nearby_.clear();
        rebuilt_.clear();
        RemeasureRecords();
    }
    pager_.ForgetLast();
}

void PageLayout::ShowControl(InlineObject& control, bool show) {
    if (Node* node = control.GetNode()) node->Show(show);
}

void PageLayout::SetPageVisibility(uint32_t start, uint8_t state) {
    int32_t s = pager_.SlotOf(start);
    if (s < 0) return;
    PageSlot& slot = pager_.Slot(s);
    if (slot.state == state) return;
    if (state == kPageHidden) listener_->OnPageHiding();
    uint8_t old = slot.state;
    slot.state = state;
    // Native controls on the page show and hide with it: a drawn page's controls are among
    // its marks, which are built on first need.
    if (state == kPageShown) EnsureMarks(slot);
    for (int32_t i = 0; i < slot.marks.Count(); ++i) {
        InlineObject* control = ControlMark::Of(*slot.marks.At(i));
        if (Node* node = control ? control->GetNode() : nullptr) node->Show(state == kPageShown);
    }
    if (state == kPageShown && (old == kPageNeverShown || old == kPageHidden))
        listener_->OnPageShown(old != kPageNeverShown);
}
