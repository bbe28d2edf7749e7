#include "layout/page_layout.h"

#include <algorithm>

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
constexpr uint32_t kMarkupScript = 49;
constexpr uint32_t kMarkupStyle = 115;
constexpr uint32_t kFreeHeadReach = 256u << 10;

bool IsKeyNone(uint32_t key) {
    return key == 0xFFFFFFFFu || key == 0xFFFFFFFEu;
}

}  // namespace

// --- PageRecord and PageSlot ---------------------------------------------------------------

void PageRecord::Reset() {
    pageNumber = kNone;
    start = kNone;
    linkOrigin = kNone;
    linkStep = 0;
    end = kNone;
    useStamp = 0;
    scanState.Clear();
    elements.Clear();
    style = PositionRecord{};
    blockStyle = BoxRecord{};
    block.reset();
    markIndex = -1;
    stopAt = kNone;
    afterBreak = false;
    colour = kNone;
    tables.clear();
    used = false;
}

void PageRecord::MoveFrom(PageRecord& other) {
    if (this == &other) return;
    pageNumber = other.pageNumber;
    start = other.start;
    linkOrigin = other.linkOrigin;
    linkStep = other.linkStep;
    end = other.end;
    useStamp = other.useStamp;
    scanState = std::move(other.scanState);
    elements = std::move(other.elements);
    style = other.style;
    blockStyle = other.blockStyle;
    block = std::move(other.block);
    markIndex = other.markIndex;
    stopAt = other.stopAt;
    afterBreak = other.afterBreak;
    colour = other.colour;
    tables = std::move(other.tables);
    used = other.used;
    other.Reset();
}

uint32_t PageRecord::Follow(uint32_t p, int32_t step) const {
    if (!used) return kNone;
    if (step == 0) return p == start ? start : kNone;
    if (linkStep == 0 || linkOrigin == kNone) return kNone;
    if (p == linkOrigin && step == linkStep) return start;
    if (p == start && step == -linkStep) return linkOrigin;
    return kNone;
}

void PageLayout::ResetSlot(PageSlot& slot) {
    slot.Reset();
    slot.scratch.Reset();
    slot.drawn = false;
    slot.cornerBookmark = -1;
    slot.lateObject = -1;
    slot.marks.Clear();
    slot.marksBuilt = false;
}

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
    ReleaseSlot(0);
    ReleaseSlot(1);
    for (PageRecord& r : records_) r.Reset();
    source_ = source;
    firstKnown_ = false;
    first_.Reset();
    counter_ = 0;
    current_ = kNone;
    lastNumber_ = lastStart_ = kNone;
    checkpoints_.clear();
    nearby_.clear();
    knownLines_.clear();
    chainSeeds_ = true;
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
    // This book's name under another key: the book changed or was replaced. The old file is
    // kept aside (renamed, the reader told) before anything is dropped, so the next write makes
    // a fresh file and nothing is lost; a file that cannot be kept aside is left untouched.
    if (!file->GetPath().empty() && !file->SetAsideForChangedBook()) {
        annotations_ = nullptr;
        return false;
    }
    // A file whose key follows its content (a text file that grew) keeps what still falls
    // inside the text; another book's notes go.
    const bool kept = KeyFollowsContent() ? file->KeepWithin(TextLength()) : file->Reset();
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
    if (!firstKnown_ && !LayoutFirstPage()) return false;
    Relayout();
    if (current_ == kNone) current_ = first_.start;
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
    uint32_t f = firstKnown_ ? first_.start : 0;
    if (p <= f) return 1;
    return 1 + std::max<uint32_t>(1, (p - f) / CharsPerPageEstimate());
}

uint32_t PageLayout::PositionOfPage(uint32_t n) const {
    uint64_t f = firstKnown_ ? first_.start : 0;
    uint64_t p = (static_cast<uint64_t>(n < 1 ? 1 : n) - 1) * CharsPerPageEstimate() + f;
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

// --- Records ---------------------------------------------------------------------------------

PageRecord* PageLayout::CurrentRecord() {
    if (current_ == kNone) return nullptr;
    if (firstKnown_ && current_ == first_.start) return &first_;
    for (PageRecord& r : records_)
        if (r.IsUsed() && r.start == current_) return &r;
    return nullptr;
}

const PageRecord* PageLayout::CurrentRecordConst() const {
    return const_cast<PageLayout*>(this)->CurrentRecord();
}

int32_t PageLayout::StoredRecordCount() const {
    int32_t n = 0;
    for (const PageRecord& r : records_) n += r.IsUsed() ? 1 : 0;
    return n;
}

int32_t PageLayout::SlotOf(uint32_t start) const {
    for (int32_t i = 0; i < 2; ++i)
        if (slots_[i].record && slots_[i].record->start == start) return i;
    return -1;
}

PageRecord* PageLayout::FindPageRecord(uint32_t position, int32_t step) {
    if (step == 3 || step == -3) {
        PageRecord* r = nullptr;
        uint32_t p = position;
        for (int i = 0; i < 3; ++i) {
            r = FindPageRecord(p, step / 3);
            if (!r) return nullptr;
            p = r->start;
        }
        return r;
    }
    PageRecord* found = nullptr;
    if (firstKnown_ && step <= 0 && position <= first_.start) {
        found = &first_;
    } else {
        if (firstKnown_ && position < first_.start) position = first_.start;
        uint32_t target = firstKnown_ ? first_.Follow(position, step) : kNone;
        for (int32_t i = 0; target == kNone && i < kMaxRecords; ++i)
            target = records_[i].Follow(position, step);
        if (target == kNone) return nullptr;
        if (firstKnown_ && target == first_.start) {
            found = &first_;
        } else {
            for (PageRecord& r : records_)
                if (r.IsUsed() && r.start == target) found = &r;
        }
    }
    if (found) found->useStamp = NextStamp();
    return found;
}

PageRecord* PageLayout::StoreRecord(PageRecord& record) {
    if (!record.IsUsed()) return nullptr;
    if (firstKnown_ && record.start <= first_.start) return &first_;
    if (record.pageNumber == 1) record.pageNumber = 2;  // only the first page is page 1
    if (firstKnown_ && record.linkOrigin == first_.start && record.linkStep > 0) {
        first_.linkOrigin = record.start;
        first_.linkStep = -record.linkStep;
    }
    PageRecord* dest = nullptr;
    for (PageRecord& r : records_)
        if (r.IsUsed() && r.start == record.start) dest = &r;
    if (!dest)
        for (PageRecord& r : records_)
            if (!r.IsUsed()) {
                dest = &r;
                break;
            }
    if (!dest) {
        // The least recently returned record goes, but never the current page nor one that a
        // slot holds: losing those would leave the page shown without a record.
        for (PageRecord& r : records_) {
            if (r.start == current_ || SlotOf(r.start) >= 0) continue;
            if (!dest || r.useStamp < dest->useStamp) dest = &r;
        }
        if (!dest) return nullptr;
    }
    if (dest == &record) return dest;
    // A page found going back keeps its stop when paging forward reaches it again: forward
    // then shows the pages backward showed.
    const uint32_t stop = dest->IsUsed() && dest->start == record.start ? dest->stopAt : kNone;
    for (int32_t i = 0; i < 2; ++i)
        if (slots_[i].record == dest) ReleaseSlot(i);
    // One page follows a page by a given step: a record that another link led to from the
    // same page loses its link (a page found going back ends earlier than the page paging
    // forward had reached from there).
    if (record.linkStep != 0 && record.linkOrigin != kNone) {
        for (PageRecord& r : records_) {
            if (&r == dest || !r.IsUsed() || r.linkOrigin != record.linkOrigin ||
                r.linkStep != record.linkStep)
                continue;
            r.linkOrigin = kNone;
            r.linkStep = 0;
        }
    }
    dest->MoveFrom(record);
    if (dest->stopAt == kNone) dest->stopAt = stop;
    for (PageSlot& s : slots_)
        if (s.record == &record) s.record = dest;
    return dest;
}

PageRecord* PageLayout::EnsureRecord(uint32_t pageNumber, uint32_t start, bool align) {
    if (PageRecord* r = FindPageRecord(start, 0)) return r;
    PageRecord fresh;
    fresh.pageNumber = pageNumber;
    if (!LayoutPageFrom(start, fresh, align)) return nullptr;
    if (PageRecord* r = FindPageRecord(fresh.start, 0)) return r;
    fresh.useStamp = NextStamp();
    return StoreRecord(fresh);
}

void PageLayout::RememberLast(const PageRecord& record) {
    lastNumber_ = record.pageNumber;
    lastStart_ = record.start;
}

// --- Starting a page -------------------------------------------------------------------------

void PageLayout::SetMetadataList(SortedRecordDatabase* list) {
    metadata_ = list;
    if (metadata_ && collectMetadata_) metadata_->ClearItems();
}

bool PageLayout::LayoutFirstPage() {
    firstKnown_ = false;
    first_.Reset();
    bodyColour_ = kNone;
    // Text before any element that styles it (all of a plain text file) has the defaults' look.
    StyleOf(settings_.defaults.style, first_.style);
    if (!source_ || !source_->Start(0, false)) return false;
    bool collect = metadata_ && collectMetadata_;
    if (collect) metadata_->ClearItems();
    int32_t budget = kFirstPageBudget;
    bool suspended = false;
    bool inHead = false, inStyle = false, inScript = false;
    uint32_t guard = TextLength() * 2 + 1024;
    while (budget > 0 && guard-- > 0) {
        uint32_t kind = source_->NextToken();
        if (kind == kTokenEnd) break;
        if (kind == kTokenContinue || kind == kTokenSpace) continue;
        if (kind == kTokenTag) {
            bool isEnd = false, isEmpty = false;
            uint32_t id = source_->GetTag(isEnd, isEmpty);
            if (id == kMarkupBody && !isEnd && !firstKnown_) {
                uint32_t p = 0;
                source_->GetPosition(p);
                first_.start = p;
                source_->SaveState(first_.scanState);
                first_.elements.Push(*source_, settings_.defaults.style);
                first_.used = true;
                first_.pageNumber = 1;
                firstKnown_ = true;
                uint32_t colour = 0;
                if (source_->GetAttributeValue(kAttrBgColor, colour)) bodyColour_ = colour;
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
            if (id == kMarkupStyle) inStyle = !isEnd && !isEmpty;
            if (id == kMarkupScript) inScript = !isEnd && !isEmpty;
        }
        if ((inHead || inStyle || inScript) && !firstKnown_) {
            uint32_t p = 0;
            if (source_->GetPosition(p) && p < kFreeHeadReach) continue;
        }
        // Text before BODY (a TITLE, or a file with no BODY at all) costs a unit like a tag.
        if (!suspended) --budget;
    }
    if (firstKnown_) return true;
    // No BODY: the text is shown from the beginning with the default element stack.
    if (!source_->Start(0, false)) return false;
    uint32_t p = 0;
    source_->GetPosition(p);
    first_.start = p;
    first_.scanState.Clear();
    source_->SaveState(first_.scanState);
    first_.pageNumber = 1;
    first_.used = true;
    firstKnown_ = true;
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
        if (!firstKnown_ && !LayoutFirstPage()) return false;
        if (!Replay(target, record, align, paragraphStart_) || !LeaveTable(record)) return false;
    } else {
        if (!source_->Start(target, align)) return false;
        uint32_t p = target;
        source_->GetPosition(p);
        record.start = p;
        record.scanState.Clear();
        if (!source_->SaveState(record.scanState)) return false;
        if (!record.elements.Assign(first_.elements)) {
            if (!FreeMemory() || !record.elements.Assign(first_.elements)) return false;
        }
        record.style = first_.style;
        record.blockStyle = first_.blockStyle;
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
        // The innermost open block element, at its start tag.
        const ElementStack& stack = page.elements;
        for (uint32_t d = 0; d + 1 < stack.Count(); ++d) {
            const RenderState* state = stack.GetRecordAtDepth(d);
            if (!state || state->display == kDisplayInline) continue;
            if (state->display != kDisplayBlock) return kNone;
            const uint32_t at = stack.ReadU32At(stack.OffsetAtDepth(d));
            return at < page.start && page.start - at <= reach ? at : kNone;
        }
        return kNone;
    }
    // Plain text: the line the position is in, after the line break before it.
    DocumentSource* doc = Document();
    if (!doc || page.start == 0) return kNone;
    uint32_t at = page.start;
    const uint32_t floor = page.start > reach ? page.start - reach : 0;
    while (at > floor) {
        PageBuffer buffer;
        if (!doc->ReadPage(at - 1, buffer, 0, 0)) return kNone;
        bool found = false;
        uint32_t p = at;
        // Characters map one to one onto positions within a page read here.
        if (buffer.length == buffer.spanLength && buffer.start < at) {
            for (p = std::min(at, buffer.start + buffer.length); p > buffer.start && p > floor; --p) {
                if (buffer.text[p - 1 - buffer.start] == u'\n') {
                    found = true;
                    break;
                }
            }
        } else {
            p = floor;
        }
        doc->ReleasePage(buffer.pageId);
        if (found) return p < page.start ? p : kNone;
        if (p >= at) break;
        at = p;
    }
    return kNone;
}

// Paging forward starts a page inside a table only at a row boundary, as a continued table
// (never before the table's second row). A start inside a row goes back to the row's start (of
// the outermost table); one inside the first row, or before it, to the table's start.
bool PageLayout::LeaveTable(PageRecord& record) {
    ElementStack& stack = record.elements;
    int32_t outer = -1;
    for (int32_t off = stack.FindTag(kMarkupTable); off >= 0;) {
        outer = off;
        int32_t below = stack.PreviousOffset(off);
        off = below < 0 ? -1 : stack.FindTag(kMarkupTable, below);
    }
    if (outer < 0) return true;
    const uint32_t tableStart = stack.ReadU32At(outer);
    const uint32_t target = record.start;
    uint32_t boundary = target;
    for (int32_t off = stack.NextOffset(outer); off >= 0; off = stack.NextOffset(off)) {
        if (stack.ReadU16At(off) == kMarkupRow) {
            boundary = stack.ReadU32At(off);
            break;
        }
    }
    if (tableStart >= target || content_) return true;
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
        earlierRow = kind == kTokenTag && source_->GetTag(isEnd, isEmpty) == kMarkupRow &&
                     !isEnd && p != boundary && after != boundary;
    }
    if (!earlierRow) return true;
    PageRecord row;
    row.pageNumber = record.pageNumber;
    if (Replay(boundary, row, false, true) && row.start <= boundary && ContinueTable(row))
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

// Documents that cannot start at an arbitrary position are replayed from the first page (or
// from the nearest checkpoint passed on an earlier replay: replay is deterministic, so the
// result is the same and a far page in a large file does not re-read the whole file).
bool PageLayout::Replay(uint32_t target, PageRecord& record, bool align, bool beforeTag) {
    if (!record.CopyFrom(first_)) return false;
    // Stopping before a tag needs the tag read: a checkpoint at the target would be past it.
    const uint32_t reach = beforeTag && target > 0 ? target - 1 : target;
    const Checkpoint* from = nullptr;
    for (const Checkpoint& c : checkpoints_)
        if (c.position <= reach) from = &c;
    for (const Checkpoint& c : nearby_)
        if (c.position <= reach && (!from || c.position > from->position)) from = &c;
    ByteStream state;
    if (from) {
        if (!state.CopyFrom(from->scanState) || !record.elements.Assign(from->stack)) return false;
    } else if (!state.CopyFrom(first_.scanState)) {
        return false;
    }
    state.SetReadPosition(0);
    if (!source_->RestoreState(state)) return false;
    uint32_t p = from ? from->position : first_.start;
    // A page back from the target and the backward reach: the last token boundary before
    // each mark (within a small window) becomes a nearby checkpoint.
    const uint32_t page = CharsPerPageEstimate();
    uint32_t marks[2] = {target > page ? target - page : 0,
                         target > kBackwardReach ? target - kBackwardReach : 0};
    Checkpoint nearby[2];
    bool haveNearby[2] = {false, false};
    bool wantNearby = quickSearch_;
    uint32_t guard = TextLength() * 2 + 1024;
    ByteStream before;
    while (guard-- > 0) {
        if (!source_->GetPosition(p)) return false;
        if (p >= target) break;
        if (p >= first_.start + kCheckpointSpacing) AddCheckpoint(p, record);
        for (int k = 0; k < 2 && wantNearby; ++k) {
            if (p > marks[k] || p + kNearbyWindow < marks[k] || marks[k] <= kNearbyWindow)
                continue;
            nearby[k].position = p;
            nearby[k].scanState.Clear();
            haveNearby[k] = source_->SaveState(nearby[k].scanState) &&
                            nearby[k].stack.Assign(record.elements);
        }
        // A page start of ours can lie inside a word the page before hyphenated: reading then
        // resumes at the start, inside the word, so the page keeps the word's second half.
        if (!align) {
            before.Clear();
            if (!source_->SaveState(before)) return false;
        }
        uint32_t kind = source_->NextToken();
        if (kind == kTokenEnd) break;
        if (kind == kTokenContinue) continue;
        uint32_t after = p;
        if (!align && kind == kTokenText && source_->GetPosition(after) && after > target) {
            if (!before.SetReadPosition(0) || !source_->RestoreState(before)) return false;
            source_->SetPosition(target);
            break;
        }
        if (beforeTag && kind == kTokenTag && source_->GetPosition(after) && after >= target) {
            if (!before.SetReadPosition(0) || !source_->RestoreState(before)) return false;
            break;
        }
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
    record.scanState.Clear();
    record.block.reset();
    record.used = true;
    return source_->SaveState(record.scanState);
}

// --- Laying pages into slots -------------------------------------------------------------------

bool PageLayout::LayoutSlot(PageRecord& record, PageSlot& slot, bool singleStep,
                            PageRecord& follower, bool& moreText) {
    if (!source_) return false;
    ++pagesLaidOut_;
    slot.record = &record;
    follower.Reset();
    moreText = false;
    bool ok;
    if (content_) {
        slot.contents.Clear();
        slot.contentHeight = 0;
        ok = content_->LayoutIntoSlot(*this, record, slot, singleStep, follower, moreText);
    } else {
        ok = LayoutIntoSlot(slot, follower, moreText, singleStep);
    }
    if (!ok) return false;
    if (moreText) {
        // A page that does not advance would make every move that steps over it loop.
        if (follower.start == kNone || follower.start <= record.start) return false;
        follower.used = true;
        record.end = follower.start;
        follower.pageNumber =
            singleStep ? (record.pageNumber == 1 ? 2 : record.pageNumber) : record.pageNumber + 1;
        follower.linkOrigin = record.start;
        follower.linkStep = singleStep ? 1 : 2;
        follower.markIndex = -1;
        follower.stopAt = kNone;
        follower.afterBreak = EndsWithTypeZeroMark(slot.contents);
        follower.tables.clear();
        follower.colour = kNone;
        if (lastNumber_ != kNone && follower.pageNumber > lastNumber_)
            lastNumber_ = lastStart_ = kNone;
    } else {
        record.end = TextLength();
    }
    return true;
}

int32_t PageLayout::ChooseSlot() {
    int32_t chosen = 0;
    if (!slots_[0].IsFree()) {
        if (slots_[1].IsFree())
            chosen = 1;
        else if (slots_[0].record->start == current_ || slots_[1].record->start == current_)
            // The page shown keeps its slot: laying out ahead or a scratch page never takes it.
            chosen = slots_[0].record->start == current_ ? 1 : 0;
        else
            chosen = slots_[1].record->useStamp < slots_[0].record->useStamp ? 1 : 0;
    }
    ReleaseSlot(chosen);
    return chosen;
}

bool PageLayout::LayoutPageAt(uint32_t position, bool scratch, int32_t* slotOut) {
    if (!scratch) {
        int32_t s = SlotOf(position);
        if (s >= 0) {
            if (slotOut) *slotOut = s;
            return true;
        }
    }
    PageRecord* record = FindPageRecord(position, 0);
    if (!record) return false;
    int32_t s = ChooseSlot();
    PageSlot& slot = slots_[s];
    slot.record = record;
    PageRecord follower;
    bool more = false;
    if (!LayoutSlot(*record, slot, scratch, follower, more)) {
        ReleaseSlot(s);
        return false;
    }
    if (!more) {
        RememberLast(*record);
    } else {
        follower.useStamp = NextStamp();
        StoreRecord(follower);
    }
    source_->ReleaseBuffers();
    if (slotOut) *slotOut = SlotOf(position);
    return true;
}

bool PageLayout::LayoutNextPage() {
    PageRecord* cur = CurrentRecord();
    if (!cur) return false;
    uint32_t start = cur->start;
    PageRecord* next = FindPageRecord(start, 2);
    if (!next) {
        if (!LayoutPageAt(start, false)) return false;
        next = FindPageRecord(start, 2);
        if (!next) return false;
    }
    return LayoutPageAt(next->start, false);
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

bool PageLayout::CanStep(int32_t step) {
    if (step == 0 || step < -3 || step > 3) return true;
    PageRecord* cur = CurrentRecord();
    if (step < 0) {
        if (!cur) return false;
        if (firstKnown_ && cur->start <= first_.start) {
            // Whether a section comes before the first page; a cover does not count.
            DocumentSource* doc = Document();
            return doc && doc->QueryPosition(cur->start, nullptr) > 0;
        }
        uint32_t before = PageStartRelative(-1);
        if (before == kNone && cur->start == 0) return false;
        return before == kNone || SameSection(before, cur->start);
    }
    uint32_t next = PageStartRelative(2);
    return next == kNone || next < TextLength();
}

// --- Navigation ---------------------------------------------------------------------------------

void PageLayout::HideCurrent() {
    if (current_ != kNone) SetPageVisibility(current_, kPageHidden);
}

void PageLayout::MakeCurrent(PageRecord* record, uint32_t mark) {
    current_ = record->start;
    record->markIndex = mark == 255 ? -1 : static_cast<int32_t>(mark);
    record->useStamp = NextStamp();
}

bool PageLayout::GoToPage(uint32_t n) {
    if (!firstKnown_ && !LayoutFirstPage()) return false;
    HideCurrent();
    PageRecord* r = nullptr;
    uint32_t length = TextLength();
    // -1 is tested first: as a large number it would otherwise read as "past the end".
    bool toLast = n == kNone;
    if (!toLast && n > 1 && lastNumber_ == kNone && PositionOfPage(n) >= length) toLast = true;
    if (toLast && lastNumber_ != kNone) {
        r = EnsureRecord(lastNumber_, lastStart_, false);
    } else if (toLast) {
        if (length <= FirstPageStart() ||
            !LayoutPageEndingAt(length, EstimatePageNumber(length), r))
            r = length <= FirstPageStart() ? &first_ : nullptr;
    } else if (n <= 1) {
        r = &first_;
    } else if (lastNumber_ != kNone && n >= lastNumber_) {
        r = EnsureRecord(lastNumber_, lastStart_, false);
    } else {
        r = EnsureRecord(n, PositionOfPage(n), true);
    }
    if (!r) {
        ShowCurrentPage();
        return false;
    }
    MakeCurrent(r, 255);
    // The last page shows the end of the text, inside a tall table too.
    if (toLast) ShowTallTables(true);
    listener_->OnPageChanged(r);
    return true;
}

bool PageLayout::GoToPosition(uint32_t position, int32_t step, uint32_t mark) {
    if (!MoveToPosition(position, step, mark)) return false;
    listener_->OnPageChanged(CurrentRecord());
    return true;
}

bool PageLayout::MoveToPosition(uint32_t position, int32_t step, uint32_t mark) {
    if (!CanStep(step)) return false;
    if (step < -3 || step > 3) return false;
    HideCurrent();
    if (PageRecord* cur = CurrentRecord()) cur->markIndex = -1;
    PageRecord* r = FindPageRecord(position, step);
    if (!r) {
        switch (step) {
            case 0:
                r = EnsureRecord(kNone, position, false);
                break;
            case 1:
            case 2:
                if (LayoutPageAt(position, step == 1)) r = FindPageRecord(position, step);
                break;
            case 3: {
                uint32_t p = position;
                for (int i = 0; i < 3; ++i) {
                    r = FindPageRecord(p, 1);
                    if (!r && LayoutPageAt(p, true)) r = FindPageRecord(p, 1);
                    if (!r || r->start <= p) {
                        r = nullptr;
                        break;
                    }
                    p = r->start;
                }
                break;
            }
            case -1:
            case -3:
                if (FindPageBefore(position, r) && step == -3) {
                    for (int i = 0; r && i < 2; ++i) {
                        PageRecord* before = nullptr;
                        uint32_t from = r->start;
                        if (!FindPageBefore(from, before)) break;
                        r = before;
                    }
                }
                if (!r) {
                    PageRecord* cur = CurrentRecord();
                    LayoutPageEndingAt(position,
                                       cur ? cur->pageNumber : EstimatePageNumber(position), r);
                }
                break;
            case -2: {
                PageRecord* cur = CurrentRecord();
                LayoutPageEndingAt(position, cur ? cur->pageNumber : EstimatePageNumber(position),
                                   r);
                break;
            }
            default:
                break;
        }
    }
    // A move must go the way it was asked to; a page that does not is refused, never looped on.
    if (r && ((step > 0 && r->start <= position) || (step < 0 && r->start >= position)))
        r = nullptr;
    if (!r) {
        ShowCurrentPage();
        return false;
    }
    MakeCurrent(r, mark);
    ShowTallTables(step < 0);
    return true;
}

bool PageLayout::FindPageBefore(uint32_t position, PageRecord*& out) {
    out = nullptr;
    if (!firstKnown_ && !LayoutFirstPage()) return false;
    if (position <= first_.start) return false;
    uint32_t from = kNone;
    if (PageRecord* r = FindPageRecord(position, -2)) from = r->start;
    if (from == kNone || from >= position) {
        from = first_.start;
        for (const PageRecord& r : records_)
            if (r.IsUsed() && r.start < position && r.start > from) from = r.start;
        if (position - from > kBackwardReach) {
            // Clamped so that an early page does not reach below the first page.
            uint32_t lo = std::max(first_.start, position - kBackwardReach);
            DocumentSource* doc = Document();
            int32_t br = doc ? doc->SearchRange(lo, position, true) : -1;
            PageRecord fresh;
            bool hasBreak =
                br >= 0 && static_cast<uint32_t>(br) >= lo && static_cast<uint32_t>(br) < position;
            if (!LayoutPageFrom(hasBreak ? static_cast<uint32_t>(br) : lo, fresh, !hasBreak))
                return false;
            if (fresh.start >= position) return false;
            from = fresh.start;
            if (!FindPageRecord(from, 0)) {
                fresh.useStamp = NextStamp();
                if (!StoreRecord(fresh)) return false;
            }
        }
    }
    uint32_t previous = kNone;
    uint32_t at = from;
    for (int32_t guard = 0; at < position && guard < 100000; ++guard) {
        PageRecord* next = FindPageRecord(at, 2);
        if (!next) {
            if (!LayoutPageAt(at, false)) return false;
            next = FindPageRecord(at, 2);
        }
        if (!next) {
            // The text ends on this page, so it runs past the position: it is the one before.
            previous = at;
            break;
        }
        if (next->start <= at) return false;
        previous = at;
        at = next->start;
    }
    if (previous == kNone) return false;
    out = FindPageRecord(previous, 0);
    if (!out) return false;
    if (!SameSection(out->start, position)) {
        out = nullptr;
        return false;
    }
    return true;
}

namespace {

using LineSpan = PageLineSpan;

void TopLevelLines(BlockContents& contents, int32_t columnTop, std::vector<LineSpan>& out) {
    out.clear();
    // One indexed pass (the search walks every page it lays out): the counts of lines, tables
    // and marks passed index their records.
    int32_t lines = 0, tables = 0, marks = 0;
    int32_t depth = 0;
    bool waiting = false;
    const int32_t count = contents.Count();
    for (int32_t i = 0; i < count; ++i) {
        const BlockItem* item = contents.ItemAt(i);
        const uint32_t kind = item->kind;
        // A line shows something besides breaks and spaces.
        if (depth == 0 && !out.empty() && kind != kItemLine && kind != kItemStyleChange &&
            kind != kItemFlowMark)
            out.back().blank = false;
        if (kind == kItemLine) {
            const LineRecord* l = contents.Line(lines++);
            if (depth == 0 && l->height > 0) {
                if (waiting) out.pop_back();
                out.push_back({PageRecord::kNone, l->y - columnTop, l->y + l->height - columnTop,
                               true, true});
                waiting = true;
            }
        } else if (kind == kItemTable) {
            const TableRecord* t = contents.Table(tables++);
            if (depth == 0) {
                if (waiting) out.pop_back();
                out.push_back(
                    {PageRecord::kNone, t->box.y - columnTop, t->box.Bottom() - columnTop, false});
                waiting = true;
            }
            ++depth;
        } else if (kind == kItemFlowMark) {
            const uint32_t type = contents.Mark(marks++)->type;
            if (!out.empty() && type == kMarkPageBreak) out.back().plain = false;
            if (depth == 0 && !out.empty() && type != kMarkLineBreak && type != kMarkSpace)
                out.back().blank = false;
            if (depth > 0 && type == kMarkTableEnd) --depth;
        } else if (kind == kItemInlineBox && !out.empty()) {
            out.back().plain = false;
        }
        if (waiting && item->HasPosition()) {
            out.back().start = item->Position();
            waiting = false;
        }
    }
    if (waiting) out.pop_back();
}

// Whether the page from the line before a page laid out in `contents` (which reaches the
// target) would fall short of it; false when that cannot be told without laying it out.
bool EarlierLineFallsShort(BlockContents& contents, int32_t columnTop, int32_t columnHeight,
                           uint32_t target, const LineSpan& earlier, std::vector<LineSpan>& lines) {
    if (!earlier.plain) return false;
    TopLevelLines(contents, columnTop, lines);
    int32_t need = -1;
    for (const LineSpan& l : lines) {
        if (l.start == PageRecord::kNone || !l.plain) return false;
        if (l.start < target) need = l.bottom;
    }
    return need >= 0 && static_cast<int64_t>(need) + (earlier.bottom - earlier.top) > columnHeight;
}

// Whether the following page's start reaches the target: at or after it, or before it with only
// items that show nothing between (boxes, style changes, spaces, block ends). A page that ends
// at a line that did not fit and one cut short above that line start on either side of them.
bool ReachesTarget(const PageRecord& next, uint32_t target) {
    if (next.start >= target) return true;
    if (!next.block) return false;
    BlockContents& b = *next.block;
    int32_t marks = 0;
    for (int32_t i = 0; i < b.Count(); ++i) {
        const BlockItem* item = b.ItemAt(i);
        if (item->HasPosition() && item->Position() >= target) return true;
        if (item->kind == kItemFlowMark) {
            const uint32_t type = b.Mark(marks++)->type;
            if (type != kMarkSpace && type != kMarkBlockEnd) return false;
        } else if (item->kind != kItemBox && item->kind != kItemBoxAttribute &&
                   item->kind != kItemStyleChange) {
            return false;
        }
    }
    return false;
}

constexpr int32_t kEndingSearchAttempts = 4;
// How many pages' worth of text (by the estimate) End lays out from the start.
constexpr int64_t kEndFromStartPages = 48;
constexpr int32_t kEndingSearchTries = 4;
constexpr int32_t kEndingChainPages = 512;
// How many of the pages a search went through are kept as records: the next PageUps start
// from them. The page found and the page after it need records of their own too.
constexpr size_t kChainKept = PageLayout::kMaxRecords - 3;

}  // namespace

bool PageLayout::LayoutSlotCapped(PageRecord& record, PageSlot& slot, int32_t height,
                                  PageRecord& follower, bool& moreText) {
    const int32_t saved = columns_[0].height;
    columns_[0].height = height;
    bool ok = LayoutSlot(record, slot, false, follower, moreText);
    columns_[0].height = saved;
    return ok;
}

bool PageLayout::LayoutSlotTop(PageRecord& record, PageSlot& slot, int32_t fill,
                               PageRecord& follower, bool& moreText) {
    const int32_t saved = fillLimit_;
    // A probe says nothing of the last page: what is known of it stays.
    const uint32_t lastNumber = lastNumber_, lastStart = lastStart_, end = record.end;
    fillLimit_ = fill;
    bool ok = LayoutSlot(record, slot, false, follower, moreText);
    fillLimit_ = saved;
    lastNumber_ = lastNumber;
    lastStart_ = lastStart;
    record.end = end;
    return ok;
}

// From a page that starts before the target, pages are laid out forward until one holds the
// target or ends there. One that ends there is the answer. Otherwise the page before the
// target starts on a line of the page before that one: the line is picked from the measured
// heights, and the page is cut there and laid out to check that it reaches the target.
PageLayout::EndingSearch PageLayout::SearchPageEndingAt(PageSlot& slot, PageRecord& page,
                                                        uint32_t target, bool atLowest,
                                                        PageRecord& accepted, PageRecord& follower,
                                                        bool& moreText, bool& laidOut,
                                                        std::vector<PageRecord>& chain) {
    laidOut = false;
    PageRecord before, next;
    std::vector<LineSpan> linesBefore, linesHere;
    bool hasBefore = false, hardBefore = false, more = false;
    // The page holding the target probed only down to a little past it (its lines are all
    // that the cut needs); it is laid out whole only when it is itself the answer.
    bool probed = false;
    const int32_t top = columns_[0].y;
    // Lays out the top of `page` down to a little past the target, as many lines as the page
    // before's density gives with a margin. It stands for the whole page when it ends after
    // the target and every line before the target is plain (words and spaces lay out alike
    // whatever the room below them): the whole page then places the same lines and more, so
    // it holds the target without ending on it.
    auto probeTop = [&]() {
        const int64_t chars = static_cast<int64_t>(page.start) - before.start;
        const int64_t n = static_cast<int64_t>(linesBefore.size());
        const int64_t lineHeight = (linesBefore.back().bottom - linesBefore.front().top) / n;
        // The page holding the end of the text is the last one: it is always laid out whole.
        if (chars <= 0 || lineHeight < 1 || target <= page.start || target >= TextLength())
            return false;
        const int64_t lines = (static_cast<int64_t>(target - page.start) * n * 5) / (chars * 4) + 2;
        const int64_t fill = linesBefore.front().top + lines * lineHeight;
        if (fill >= columns_[0].height) return false;
        PageRecord ahead;
        bool aheadMore = false;
        // Not stopped at the target: the probe has to show a line after it.
        const uint32_t stop = page.stopAt;
        page.stopAt = kNone;
        bool ok = LayoutSlotTop(page, slot, static_cast<int32_t>(fill), ahead, aheadMore);
        page.stopAt = stop;
        if (!ok || !aheadMore || ahead.start <= target) return false;
        TopLevelLines(slot.contents, top, linesHere);
        for (const LineSpan& l : linesHere) {
            if (l.start >= target) break;
            if (!l.plain) return false;
        }
        return !linesHere.empty();
    };
    // Every page is laid out stopping at the target: the one that holds it then ends there,
    // and needs no second layout when it is the answer. One that ends at the target without
    // being stopped ends there of itself.
    bool stopped = false;
    // The page before starts right after a forced page break: it is the page paging forward
    // shows there, and is not cut (the page found then ends the gap to the target).
    bool beforeAfterBreak = false;
    int32_t guard = 0;
    for (; guard < kEndingChainPages; ++guard) {
        slot.record = &page;
        page.stopAt = target < TextLength() ? target : kNone;
        // A page an earlier search laid out whole, whose following page is stored: its lines
        // are known. One that ends before the target is passed over; one that holds it stands
        // for its layout as a probe does (it is laid out only when it is the answer).
        const KnownLines* known = nullptr;
        const PageRecord* knownNext = nullptr;
        if (quickSearch_ && !content_ && columnCount_ == 1 && page.tables.empty() &&
            page.start < target)
            known = FindKnownLines(page.start);
        if (known && hasBefore && !hardBefore && linesBefore.size() >= 2 &&
            known->end > target && !known->lines.empty()) {
            linesHere = known->lines;
            probed = true;
            break;
        }
        if (known) {
            for (const PageRecord& r : records_)
                if (r.IsUsed() && r.linkOrigin == page.start && r.linkStep == 2) knownNext = &r;
            if (!knownNext || knownNext->start != known->end) known = nullptr;
        }
        bool fromKnown = false;
        if (known && !ReachesTarget(*knownNext, target) && next.CopyFrom(*knownNext)) {
            next.used = true;
            next.tables.clear();
            more = true;
            stopped = false;
            page.end = known->end;
            linesBefore = known->lines;
            fromKnown = true;
        } else {
            if (hasBefore && quickSearch_ && columnCount_ == 1 && !hardBefore &&
                linesBefore.size() >= 2 && probeTop()) {
                probed = true;
                break;
            }
            if (!LayoutSlot(page, slot, false, next, more)) return kEndingFailed;
            stopped = stopHit_;
            if (!more || ReachesTarget(next, target)) break;
            TopLevelLines(slot.contents, top, linesBefore);
        }
        // The first page of the search may be a known page: whether it follows a break is
        // recorded with it.
        beforeAfterBreak = hasBefore ? hardBefore : page.afterBreak;
        hardBefore = fromKnown ? known->endsWithBreak : EndsWithTypeZeroMark(slot.contents);
        if (!fromKnown && !stopped)
            RememberLines(page.start, next.start, hardBefore, linesBefore);
        if (hasBefore) {
            if (chain.size() >= kChainKept) chain.erase(chain.begin());
            chain.emplace_back();
            chain.back().MoveFrom(before);
        }
        before.MoveFrom(page);
        hasBefore = true;
        page.MoveFrom(next);
        slot.record = nullptr;
    }
    if (guard == kEndingChainPages) return kEndingFailed;
    // Which page the slot shows: the chain's last one, until a cut is laid out there.
    bool slotHoldsPage = !probed, slotHoldsGood = false;
    auto accept = [&](PageRecord& r, PageRecord& f, bool m) {
        laidOut = &r == &page ? slotHoldsPage : slotHoldsGood;
        // The page the one found was cut from (or that ends where it starts) ends the chain.
        if (hasBefore && before.IsUsed() && before.end != kNone) {
            if (chain.size() >= kChainKept) chain.erase(chain.begin());
            chain.emplace_back();
            chain.back().MoveFrom(before);
        }
        accepted.MoveFrom(r);
        follower.MoveFrom(f);
        moreText = m;
        slot.record = nullptr;
        return kEndingFound;
    };
    // The probed page when it is the answer after all.
    auto acceptPage = [&]() {
        if (probed) {
            slot.record = &page;
            page.stopAt = target < TextLength() ? target : kNone;
            if (!LayoutSlot(page, slot, false, next, more)) {
                slot.record = nullptr;
                return kEndingFailed;
            }
            slotHoldsPage = true;
        }
        return accept(page, next, more);
    };
    if (!probed && !stopped &&
        ((more && ReachesTarget(next, target)) || (!more && page.end == target)))
        return accept(page, next, more);
    if (!hasBefore) return atLowest ? accept(page, next, more) : kEndingFurtherBack;
    // The page holds the target: it shows no gap, but may repeat up to a page; a page cut
    // from the one before ends nearer.
    if (!probed) TopLevelLines(slot.contents, top, linesHere);
    // Pages of one line (a table, a picture) are not cut: a search finds the page holding the
    // target from one page back, and a chain of pages laid out ahead would cost more than
    // it saves (a page that continues a table lays out slower than one started afresh).
    if (!hardBefore && !beforeAfterBreak) chainSeeds_ = linesBefore.size() >= 2;
    if (columnCount_ != 1 || hardBefore || beforeAfterBreak || linesBefore.size() < 2 ||
        linesHere.empty())
        return acceptPage();
    // The first line to try: the page from it has room for the lines before the target but
    // for blank lines right before it, which a page stopped at the target leaves out.
    int32_t need = linesHere.front().bottom;
    for (const LineSpan& l : linesHere)
        if (l.start < target && !l.blank) need = l.bottom;
    const int32_t threshold = linesBefore.back().bottom + need - columns_[0].height;
    int32_t i = 1;
    while (i < static_cast<int32_t>(linesBefore.size()) && linesBefore[i].top < threshold) ++i;
    if (i >= static_cast<int32_t>(linesBefore.size())) return acceptPage();

    PageRecord good, goodFollower;
    std::vector<LineSpan> linesCandidate;
    bool hasGood = false, goodMore = false;
    // Lines known to start a page that falls short of the target, and that reaches it.
    int32_t shortAt = 0, goodAt = static_cast<int32_t>(linesBefore.size());
    for (int32_t tries = 0; tries < kEndingSearchTries; ++tries) {
        PageRecord cut, candidate, after;
        bool cutMore = false, candidateMore = false;
        if (!cut.CopyFrom(before)) break;
        cut.used = true;
        slot.record = &cut;
        slotHoldsPage = slotHoldsGood = false;
        if (!LayoutSlotCapped(cut, slot, linesBefore[i].top, candidate, cutMore) || !cutMore ||
            candidate.start <= before.start || candidate.start > page.start)
            break;
        candidate.linkOrigin = kNone;
        candidate.linkStep = 0;
        candidate.stopAt = target < TextLength() ? target : kNone;
        slot.record = &candidate;
        if (!LayoutSlot(candidate, slot, false, after, candidateMore)) break;
        const bool candidateStopped = stopHit_;
        slot.record = nullptr;
        uint32_t end = candidateMore ? after.start : TextLength();
        const bool reaches = candidateMore ? ReachesTarget(after, target) : end >= target;
        slotHoldsGood = reaches;
        if (reaches) {
            good.MoveFrom(candidate);
            goodFollower.MoveFrom(after);
            goodMore = candidateMore;
            hasGood = true;
            goodAt = i;
            // An earlier line may end nearer the target without falling short of it.
            if (!candidateStopped && end <= target) break;
            // Unless that line and this page's lines are plain: then the page from it is this
            // one a line lower, and falls short when its last line before the target no
            // longer fits. Found so, it needs no layout of its own.
            if (i > shortAt + 1 &&
                EarlierLineFallsShort(slot.contents, top, columns_[0].height, target,
                                      linesBefore[i - 1], linesCandidate))
                shortAt = i - 1;
        } else {
            shortAt = i;
        }
        i = hasGood ? goodAt - 1 : shortAt + 1;
        if (i <= shortAt || i >= goodAt) break;
    }
    slot.record = nullptr;
    if (hasGood) return accept(good, goodFollower, goodMore);
    return acceptPage();
}

void PageLayout::StoreChain(std::vector<PageRecord>& chain, uint32_t foundStart) {
    const PageRecord* found = FindPageRecord(foundStart, 0);
    uint32_t number = found ? found->pageNumber : 2;
    for (size_t i = chain.size(); i-- > 0;) {
        PageRecord& r = chain[i];
        number = number > 2 ? number - 1 : 2;
        if (!r.IsUsed() || r.start <= first_.start || r.start >= foundStart || r.end == kNone ||
            r.end <= r.start)
            continue;
        bool stored = false;
        for (const PageRecord& k : records_) stored |= k.IsUsed() && k.start == r.start;
        if (stored) continue;
        r.stopAt = kNone;
        r.markIndex = -1;
        r.tables.clear();
        r.pageNumber = number;
        r.useStamp = NextStamp();
        if (!StoreRecord(r)) break;
    }
    // When records run out the pages after the one found go first (paging on back needs the
    // ones before it), and of those before it the earliest.
    std::vector<PageRecord*> before;
    for (PageRecord& r : records_)
        if (r.IsUsed() && r.start < foundStart) before.push_back(&r);
    std::sort(before.begin(), before.end(),
              [](const PageRecord* a, const PageRecord* b) { return a->start < b->start; });
    for (PageRecord* r : before) r->useStamp = NextStamp();
}

const PageLayout::KnownLines* PageLayout::FindKnownLines(uint32_t start) const {
    for (const KnownLines& k : knownLines_)
        if (k.start == start && k.columnWidth == columns_[0].width &&
            k.columnHeight == columns_[0].height)
            return &k;
    return nullptr;
}

void PageLayout::RememberLines(uint32_t start, uint32_t end, bool endsWithBreak,
                               const std::vector<PageLineSpan>& lines) {
    for (const KnownLines& k : knownLines_)
        if (k.start == start) return;
    if (knownLines_.size() >= kMaxKnownLines) knownLines_.erase(knownLines_.begin());
    KnownLines k;
    k.start = start;
    k.end = end;
    k.endsWithBreak = endsWithBreak;
    k.columnWidth = columns_[0].width;
    k.columnHeight = columns_[0].height;
    k.lines = lines;
    knownLines_.push_back(std::move(k));
}

const PageRecord* PageLayout::SeedBefore(uint32_t target, uint32_t from) {
    const PageRecord* best = nullptr;
    auto consider = [&](const PageRecord& r) {
        if (!r.IsUsed() || r.end == kNone || r.start < from || r.start >= target ||
            r.end > target || r.end <= r.start)
            return;
        if (!best || r.start > best->start) best = &r;
    };
    if (firstKnown_) consider(first_);
    for (const PageRecord& r : records_) consider(r);
    return best;
}

bool PageLayout::LayoutPageEndingAt(uint32_t target, uint32_t pageNumber, PageRecord*& out) {
    out = nullptr;
    if (!firstKnown_ && !LayoutFirstPage()) return false;
    const uint32_t t0 = target;
    const int64_t firstStart = first_.start;
    if (t0 <= first_.start) return false;
    const int64_t estimate = CharsPerPageEstimate();

    // The lower bound of a page start.
    int64_t lower = firstStart;
    uint32_t ss = 0, se = 0;
    bool clear = true;
    if (SectionOf(t0, ss, se, clear)) {
        lower = ss;
        uint32_t ps = 0, pe = 0;
        bool pclear = true;
        if (ss > 0 && clear && SectionOf(ss - 1, ps, pe, pclear) && pclear) lower = firstStart;
    }
    if (DocumentSource* doc = Document()) {
        int64_t lo = std::max<int64_t>(0, static_cast<int64_t>(t0) - estimate);
        int32_t br = doc->SearchRange(static_cast<uint32_t>(lo), t0 + 1, true);
        if (br >= 0 && static_cast<uint32_t>(br) < t0) lower = br;
    }
    if (lower < firstStart) lower = firstStart;

    int32_t s = ChooseSlot();
    PageSlot& slot = slots_[s];
    PageRecord accepted, follower;
    std::vector<PageRecord> chain;
    // Where a search started from an estimate: a paragraph's start, not a page's.
    uint32_t estimated = kNone;
    bool more = false, laidOut = false;
    EndingSearch result = kEndingFurtherBack;
    int64_t back = std::max<int64_t>(1, estimate);
    // The last page of a short text is the one paging forward ends on: pages are laid out from
    // the first (or the section's start) to the end. A long text starts from an estimate.
    if (t0 >= TextLength() && t0 - lower <= kEndFromStartPages * estimate) {
        back = t0 - lower + 1;
    } else if (chainSeeds_ && t0 < TextLength() &&
               !SeedBefore(t0, static_cast<uint32_t>(
                                   std::max<int64_t>(lower, static_cast<int64_t>(t0) - 2 * back)))) {
        // Nothing known to start from: the search starts a few pages back, and the pages it
        // goes through are kept for the PageUps that follow. The last page (End) is found
        // without them: a jump costs about what opening at the first page does, and the first
        // PageUp from there lays the chain out.
        back *= kChainSeedPages;
    }
    for (int32_t attempt = 0; attempt < kEndingSearchAttempts && result == kEndingFurtherBack;
         ++attempt, back *= 2) {
        PageRecord& page = slot.scratch;
        page.Reset();
        int64_t q = static_cast<int64_t>(t0) - back;
        bool atLowest = q <= lower || attempt + 1 == kEndingSearchAttempts;
        bool ok;
        if (q <= lower) {
            if (lower <= firstStart) {
                ok = page.CopyFrom(first_);
                page.used = ok;
            } else {
                ok = LayoutPageFrom(static_cast<uint32_t>(lower), page, false);
            }
        } else if (const PageRecord* seed = SeedBefore(
                       t0, static_cast<uint32_t>(std::max<int64_t>(lower, q - back)))) {
            // A known page that ends before the target: its lines wrap as paging forward
            // wraps them, and nothing is replayed.
            ok = page.CopyFrom(*seed);
            page.used = ok;
            page.stopAt = kNone;
            // One that ends at the target is the answer when every search further back would
            // start from it again (the latest known page is taken each time, until the lower
            // bound is reached).
            const int64_t widest = back << (kEndingSearchAttempts - 1 - attempt);
            if (seed->end == t0 && static_cast<int64_t>(t0) - widest > lower) atLowest = true;
        } else {
            ok = LayoutPageFrom(static_cast<uint32_t>(q), page, true);
            if (ok && page.start >= t0) {
                page.Reset();
                ok = LayoutPageFrom(static_cast<uint32_t>(q), page, false);
            }
            // Lines wrap as they do from their paragraph's start only: a candidate inside a
            // paragraph starts there instead, so that the page found starts on a line that
            // paging forward shows.
            const uint32_t para = ok ? ParagraphStart(page, 3 * estimate) : kNone;
            if (para != kNone && para > lower && para < page.start) {
                page.Reset();
                paragraphStart_ = true;
                ok = LayoutPageFrom(para, page, false);
                paragraphStart_ = false;
            }
            estimated = ok ? page.start : kNone;
        }
        if (!ok) {
            result = kEndingFailed;
            break;
        }
        if (page.start >= t0) continue;
        chain.clear();
        result = SearchPageEndingAt(slot, page, t0, atLowest, accepted, follower, more, laidOut,
                                    chain);
    }
    // A slot that does not hold the page found is laid out again when the page is shown.
    if (result != kEndingFound || !laidOut) ReleaseSlot(s);
    if (result != kEndingFound) return false;
    if (!accepted.IsUsed() || accepted.start >= t0 ||
        (more ? !ReachesTarget(follower, t0) : accepted.end != kNone && accepted.end < t0)) {
        if (laidOut) ReleaseSlot(s);
        return false;
    }
    // A page starting inside the first page: the first page is the one before when it
    // reaches the target, else the page after it (in the first page's section only).
    if (static_cast<int64_t>(accepted.start) > firstStart && lower <= firstStart &&
        (first_.end != kNone ||
         static_cast<int64_t>(accepted.start) - firstStart <= 2 * estimate)) {
        PageRecord second;
        bool secondMore = false;
        if (first_.end == kNone) {
            PageSlot probe;
            if (LayoutSlot(first_, probe, false, second, secondMore) && secondMore) {
                second.useStamp = NextStamp();
            } else {
                second.Reset();
            }
        }
        if (first_.end != kNone && accepted.start < first_.end) {
            if (laidOut) ReleaseSlot(s);
            if (first_.end >= t0 || (second.IsUsed() && ReachesTarget(second, t0))) {
                out = &first_;
                first_.useStamp = NextStamp();
                if (second.IsUsed()) StoreRecord(second);
                return true;
            }
            if (!second.IsUsed()) {
                PageRecord* known = FindPageRecord(first_.start, 2);
                if (known && !second.CopyFrom(*known)) return false;
                if (known) second.used = true;
            }
            if (!second.IsUsed()) {
                // Its record is gone: the first page is laid out again for it.
                PageSlot probe;
                if (!LayoutSlot(first_, probe, false, second, secondMore) || !secondMore)
                    second.Reset();
            }
            // The page after the first, when it reaches the target (it is laid out below,
            // stopping there); else the page found stays.
            PageSlot check;
            PageRecord after;
            bool afterMore = false;
            if (second.IsUsed() && second.start < t0 &&
                LayoutSlot(second, check, false, after, afterMore) &&
                (afterMore ? ReachesTarget(after, t0) : second.end >= t0)) {
                accepted.MoveFrom(second);
                more = true;
                follower.Reset();
            }
            laidOut = false;
        }
    }
    // The page found ends where the target page starts: the lines it has room for after that
    // would show twice (a page after a forced break, or one that holds the target).
    if (static_cast<int64_t>(accepted.start) > firstStart && !content_ &&
        (!laidOut || (more ? follower.start : TextLength()) > t0)) {
        ReleaseSlot(s);
        accepted.stopAt = t0;
        PageSlot& cut = slots_[s];
        cut.record = &accepted;
        if (!LayoutSlot(accepted, cut, false, follower, more) || !more ||
            !ReachesTarget(follower, t0)) {
            ReleaseSlot(s);
            return false;
        }
        cut.record = nullptr;
        laidOut = true;
    }
    if (static_cast<int64_t>(accepted.start) <= firstStart) {
        out = &first_;
    } else {
        accepted.pageNumber = std::max<uint32_t>(2, pageNumber == kNone ? 2 : pageNumber - 1);
        accepted.markIndex = -1;
        accepted.useStamp = NextStamp();
        accepted.linkOrigin = kNone;
        accepted.linkStep = 0;
        out = StoreRecord(accepted);
        if (!out) {
            if (laidOut) ReleaseSlot(s);
            return false;
        }
    }
    if (more) {
        // The page after it: where it ends exactly, the page the search started from.
        uint32_t start = out->start;
        follower.markIndex = -1;
        follower.pageNumber = out->pageNumber + 1;
        follower.linkOrigin = start;
        follower.linkStep = 2;
        follower.useStamp = NextStamp();
        StoreRecord(follower);
        out = FindPageRecord(start, 0);
    } else {
        RememberLast(*out);
    }
    // The pages the search went through before the one found: the next PageUps start from
    // them, with nothing replayed and their lines known. The page it started from at an
    // estimate is not kept: paging forward would not start one there, and the page before it
    // could hold no more than a heading (the page before the next one is searched for).
    if (!chain.empty() && chain.front().start == estimated) chain.erase(chain.begin());
    if (out && !chain.empty()) {
        const uint32_t start = out->start;
        StoreChain(chain, start);
        out = FindPageRecord(start, 0);
    }
    // Kept laid out: showing the page needs no second layout. The first page is shown whole:
    // it was laid out stopping at the target.
    if (laidOut) {
        if (out && out != &first_ && SlotOf(out->start) < 0) {
            slot.record = out;
        } else {
            ReleaseSlot(s);
        }
    }
    return out != nullptr;
}

bool PageLayout::AdvanceToPosition(uint32_t rangeStart, uint32_t rangeEnd) {
    PageRecord* cur = CurrentRecord();
    if (!cur) return false;
    uint32_t start = cur->start;
    if (!LayoutPageAt(start, false)) return false;
    cur = FindPageRecord(start, 0);
    if (!cur || cur->end == kNone || rangeEnd <= cur->end) return true;
    HideCurrent();
    PageRecord* r = cur;
    for (int32_t guard = 0; guard < 100000; ++guard) {
        if (r->end != kNone && (r->start >= rangeStart || r->end > rangeStart)) break;
        uint32_t from = r->start;
        PageRecord* next = FindPageRecord(from, 2);
        if (!next && LayoutPageAt(from, false)) next = FindPageRecord(from, 2);
        if (!next || next->start <= from) {
            ShowCurrentPage();
            return false;
        }
        r = next;
        if (r->end == kNone && !LayoutPageAt(r->start, false)) break;
        r = FindPageRecord(r->start, 0);
        if (!r) return false;
    }
    MakeCurrent(r, 255);
    listener_->OnPageChanged(r);
    return true;
}

bool PageLayout::StepPage(int32_t y, int32_t step) {
    PageRecord* cur = CurrentRecord();
    if (!cur || !CanStep(2)) return false;
    uint32_t from = cur->start;
    PageRecord* target = FindPageRecord(from, step);
    if (!target && LayoutPageAt(from, step == 1)) target = FindPageRecord(from, step);
    if (!target) return false;
    const uint32_t s = target->start;
    int32_t slot = -1;
    if (!LayoutPageAt(s, false, &slot) || slot < 0) return false;
    // The first line at or below y (from the viewport's top) on the page reached.
    uint32_t line = kNone;
    int32_t lineTop = 0;
    BlockContents& block = slots_[slot].contents;
    BlockCursor c;
    c.Init(&block, true);
    bool waiting = false;
    for (; !c.AtEnd() && line == kNone; c.Next()) {
        const BlockItem* item = block.ItemAt(c.position);
        if (c.Kind() == kItemLine) {
            const LineRecord* l = block.Line(c.counts[kItemLine]);
            waiting = l->height > 0 && l->y - viewport_.y >= y;
            if (waiting) lineTop = l->y - columns_[0].y;
        }
        if (waiting && item->HasPosition()) line = item->Position();
    }
    HideCurrent();
    PageRecord* r = nullptr;
    if (line != kNone && line == s) {
        r = FindPageRecord(s, 0);
    } else if (line != kNone && line > s && columnCount_ == 1) {
        // The page cut just above that line: the page after the cut starts on it.
        PageRecord cut, follower;
        bool more = false;
        int32_t scratch = ChooseSlot();
        bool copied = cut.CopyFrom(*target);
        cut.used = copied;
        if (copied && LayoutSlotCapped(cut, slots_[scratch], lineTop, follower, more) && more &&
            follower.start > s) {
            follower.linkOrigin = s;
            follower.linkStep = 1;
            follower.pageNumber = target->pageNumber;
            follower.useStamp = NextStamp();
            r = StoreRecord(follower);
        }
        ReleaseSlot(scratch);
        if (r) r = FindPageRecord(r->start, 0);
    } else {
        r = FindPageRecord(s, 2);
        if (!r && LayoutPageAt(s, false)) r = FindPageRecord(s, 2);
    }
    if (!r) {
        ShowCurrentPage();
        return false;
    }
    MakeCurrent(r, 255);
    listener_->OnPageChanged(r);
    return true;
}

bool PageLayout::CanStepForward() {
    PageRecord* cur = CurrentRecord();
    if (!cur) return false;
    PageRecord* next = FindPageRecord(cur->start, 2);
    // Laid out already: nothing is drawn ahead (the surface keeps no second page).
    if (next && SlotOf(next->start) >= 0) return false;
    if (lastStart_ != kNone && cur->start == lastStart_) return false;
    return cur->end == kNone || cur->end < TextLength();
}

Size PageLayout::FitHeightToContent(Size size) {
    const int32_t margins = marginMode_ != 0 ? marginTop_ + marginBottom_ : 0;
    int32_t s = current_ == kNone ? -1 : SlotOf(current_);
    if (size.width == viewport_.width && size.height >= viewport_.height && s >= 0)
        return Size{size.width, slots_[s].contentHeight + margins};
    viewport_.width = size.width;
    viewport_.height = size.height;
    Relayout();
    if (current_ == kNone || !LayoutPageAt(current_, false, &s) || s < 0)
        return Size{size.width, 0};
    viewport_.height = slots_[s].contentHeight + margins;
    return Size{size.width, viewport_.height};
}

bool PageLayout::GoToPositionAsPageStart(uint32_t position, uint32_t number) {
    if (position >= TextLength()) return false;
    return ShowAsOnlyPage(EnsureRecord(number, position, false));
}

// Makes the record current with every other laid-out page released.
bool PageLayout::ShowAsOnlyPage(PageRecord* r) {
    if (!r) return false;
    HideCurrent();
    uint32_t start = r->start;
    for (int32_t i = 0; i < 2; ++i)
        if (slots_[i].record && slots_[i].record->start != start) ReleaseSlot(i);
    r = FindPageRecord(start, 0);
    if (!r) return false;
    MakeCurrent(r, 255);
    listener_->OnPageChanged(r);
    return true;
}

bool PageLayout::GoToPageContaining(uint32_t position) {
    if (position >= TextLength()) return false;
    if (!firstKnown_ && !LayoutFirstPage()) return false;
    uint32_t number = kNone;
    uint32_t start = position;
    if (position < first_.start || (first_.end != kNone && position < first_.end)) {
        start = first_.start;
        number = 1;
    } else {
        for (const PageRecord& r : records_)
            if (r.IsUsed() && r.end != kNone && r.start <= position && position < r.end) {
                number = r.pageNumber;
                start = r.start;
            }
    }
    return ShowAsOnlyPage(EnsureRecord(number, start, true));
}

// --- Queries -------------------------------------------------------------------------------------

uint32_t PageLayout::CurrentPageStart() const {
    const PageRecord* r = CurrentRecordConst();
    return r ? r->start : kNone;
}

uint32_t PageLayout::CurrentPageNumber() const {
    const PageRecord* r = CurrentRecordConst();
    return r ? r->pageNumber : kNone;
}

uint32_t PageLayout::PageStartRelative(int32_t k) {
    PageRecord* cur = CurrentRecord();
    if (!cur || k < -2 || k > 2) return kNone;
    if (k == 0) return cur->start;
    PageRecord* r = FindPageRecord(cur->start, k);
    if (r) return r->start;
    if (k == 2) return cur->end;
    return kNone;
}

uint32_t PageLayout::CurrentPageLength() const {
    const PageRecord* r = CurrentRecordConst();
    if (!r || r->end == kNone || r->end <= r->start) return kNone;
    return r->end - r->start;
}

uint32_t PageLayout::CurrentPageEnd() {
    PageRecord* r = CurrentRecord();
    if (!r) return kNone;
    if (r->end == kNone && !LayoutPageAt(r->start, false)) return kNone;
    // Laying out may have moved the records: the current one is looked up again.
    r = CurrentRecord();
    return r ? r->end : kNone;
}

uint32_t PageLayout::PageCount() {
    if (lastNumber_ != kNone) return lastNumber_;
    return EstimatePageNumber(TextLength());
}

bool PageLayout::CurrentPageEndsWithBreak() {
    int32_t s = SlotOf(current_);
    return s >= 0 && EndsWithTypeZeroMark(slots_[s].contents);
}

// --- Maintenance
// -----------------------------------------------------------------------------------

void PageLayout::Relayout() {
    ComputeColumns();
    Invalidate(1);
}

void PageLayout::Invalidate(uint32_t flags) {
    if (flags & 3) {
        ReleaseSlot(0);
        ReleaseSlot(1);
        PageRecord* cur = CurrentRecord();
        if (cur && cur != &first_) {
            if (cur != &records_[0]) records_[0].MoveFrom(*cur);
            cur = &records_[0];
        }
        for (PageRecord& r : records_)
            if (&r != cur) r.Reset();
        // Ends and links were measured at the old size; they are found again.
        for (PageRecord* r : {&first_, cur}) {
            if (!r) continue;
            r->end = kNone;
            r->linkOrigin = kNone;
            r->linkStep = 0;
        }
    }
    knownLines_.clear();
    if (flags & 2) {
        checkpoints_.clear();
        nearby_.clear();
        RemeasureRecords();
    }
    lastNumber_ = lastStart_ = kNone;
}

bool PageLayout::FreeMemory() {
    for (int32_t i = 0; i < 2; ++i) {
        if (!slots_[i].IsFree() && slots_[i].record->start != current_) {
            ReleaseSlot(i);
            return true;
        }
    }
    bool freed = false;
    for (int n = 0; n < 2; ++n) {
        PageRecord* victim = nullptr;
        for (PageRecord& r : records_) {
            if (!r.IsUsed() || r.start == current_) continue;
            if (!victim || r.useStamp < victim->useStamp) victim = &r;
        }
        if (!victim) break;
        victim->Reset();
        freed = true;
    }
    return freed;
}

void PageLayout::DropRecordsExcept(uint32_t position, bool& keptCurrent) {
    ReleaseSlot(0);
    ReleaseSlot(1);
    bool atPosition = false;
    for (const PageRecord& r : records_) atPosition |= r.IsUsed() && r.start == position;
    uint32_t keep = atPosition ? position : current_;
    keptCurrent = !atPosition;
    for (PageRecord& r : records_)
        if (r.IsUsed() && r.start != keep) r.Reset();
}

void PageLayout::ReleaseSlot(int32_t i) {
    PageSlot& slot = slots_[i & 1];
    if (!slot.IsFree() && slot.state == kPageShown) listener_->OnPageHiding();
    ResetSlot(slot);
}

void PageLayout::SetPageVisibility(uint32_t start, uint8_t state) {
    int32_t s = SlotOf(start);
    if (s < 0) return;
    PageSlot& slot = slots_[s];
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

bool PageLayout::CheckInvariants() const {
    if (StoredRecordCount() > kMaxRecords) return false;
    for (const PageSlot& s : slots_) {
        if (!s.record) continue;
        bool known = s.record == &first_ || s.record == &s.scratch;
        for (const PageRecord& r : records_) known |= s.record == &r;
        if (!known || !s.record->IsUsed()) return false;
    }
    if (current_ != kNone && !CurrentRecordConst()) return false;
    for (int32_t i = 0; i < kMaxRecords; ++i)
        for (int32_t j = i + 1; j < kMaxRecords; ++j)
            if (records_[i].IsUsed() && records_[i].start == records_[j].start) return false;
    return true;
}
