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
    checkpoints_.Clear();
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

bool PageLayout::LayOutCurrentPage() {
    if (pager_.Current() == kNone) return false;
    if (pager_.SlotOf(pager_.Current()) >= 0 || pager_.LayoutPageAt(pager_.Current(), false))
        return true;
    // Short of memory: every other page goes first.
    bool keptCurrent = false;
    DropRecordsExcept(pager_.Current(), keptCurrent);
    return pager_.LayoutPageAt(pager_.Current(), false);
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
    if (source_->GetAttributeValue(kAttrBgColor, colour)) painter_.SetBodyBackground(colour);
    // BODY's TEXT (read as COLOR) is the colour of text that names none.
    if (source_->GetAttributeValue(kAttrColor, colour)) painter_.SetBodyTextColour(colour);
}

bool PageLayout::LayoutFirstPage() {
    pager_.SetFirstKnown(false);
    pager_.First().Reset();
    painter_.ForgetBodyColours();
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
    if (n > 1 && pager_.CountPages(kCountAtOnce)) {
        // A short text, counted: page n is the one n - 1 PageDowns reach, the last one End's.
        const Paginator::CountedPage* c = pager_.CountedPageNumbered(n);
        r = c ? pager_.EnsureRecord(c->number, c->start, false) : nullptr;
        if (r) r->pageNumber = c->number;
        // A number past the last page's steps shows it as End does (a tall table at its end).
        toLast = n == kNone || (r && n >= r->pageNumber + r->steps);
    } else if (n > 1 && pager_.PagedFromFirst()) {
        r = pager_.WalkFromFirst(n);
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
    uint32_t count = pager_.Counted() ? pager_.LastStepNumber() : kNone;
    // A short text is counted by paging it: the count holds while reading.
    if (count == kNone && pager_.CountPages(kCountAtOnce)) count = pager_.LastStepNumber();
    if (count == kNone) count = pager_.LastStepNumber();
    if (count == kNone && pager_.PagedFromFirst() && pager_.WalkFromFirst(kNone))
        count = pager_.LastStepNumber();
    if (count == kNone) count = EstimatePageNumber(TextLength());
    // An estimate never counts fewer pages than the number shown.
    const uint32_t shown = ShownPageNumber();
    return shown != kNone ? std::max(count, shown) : count;
}

bool PageLayout::CountSomePages() {
    return pager_.CountPages(kCountSlice);
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
        checkpoints_.ForgetReadings();
        RemeasureRecords();
    }
    pager_.ForgetLast();
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
