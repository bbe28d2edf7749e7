// Starting a page at a position: the replay of the markup before it from the nearest
// checkpoint (or the first page, or a rebuilding stretch before a far target), leaving a table
// at a row boundary, and the paragraph and line starts a page search moves an estimate to.
#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "bookfiles/document_source.h"
#include "document/markup/html_tokenizer.h"
#include "document/markup/keyword_tree.h"
#include "document/markup/token_source.h"
#include "document/sources/layout_services.h"
#include "layout/page_layout.h"

namespace {

constexpr uint32_t kMarkupTable = 44;
constexpr uint32_t kMarkupRow = 45;
// Documents hand out their text in pages of this many positions from a multiple of it.
constexpr uint32_t kDocumentPageSize = 4096;

// A start tag read again, answered as the start tag the reading pushed: without the nesting
// rules a reading of the tag alone would not apply (a cell's tag written empty stands open).
class PushedTag final : public TokenSource {
public:
    explicit PushedTag(HtmlTokenizer& reader) : reader_(reader) {}
    bool GetPosition(uint32_t& position) override { return reader_.GetPosition(position); }
    uint32_t GetTag(bool& isEnd, bool& isEmpty) override {
        const uint32_t id = reader_.GetTag(isEnd, isEmpty);
        isEnd = isEmpty = false;
        return id;
    }
    uint32_t AttributeCount() override { return reader_.AttributeCount(); }
    const AttributeItem* Attribute(uint32_t index) override { return reader_.Attribute(index); }
    bool Start(uint32_t, bool) override { return false; }
    void SetPosition(uint32_t) override {}
    bool Attach(DocumentSource*, uint32_t) override { return false; }
    void ReleaseBuffers() override {}
    uint32_t NextToken() override { return kTokenEnd; }
    uint32_t LastTokenKind() override { return kTokenTag; }
    const String& Text() override { return reader_.Text(); }
    DocumentSource* Source() override { return reader_.Source(); }
    uint32_t SourceMode() override { return reader_.SourceMode(); }
    bool SaveState(ByteStream&) override { return false; }
    bool RestoreState(ByteStream&) override { return false; }

private:
    HtmlTokenizer& reader_;
};

// Where a replay at `p` passes the text over to: the skip's end, but not past the window before
// a far mark (0: no mark) nor inside it; 0 when nothing is passed over.
uint32_t SkipTarget(uint32_t p, uint32_t skipEnd, uint32_t farMark) {
    constexpr uint32_t window = 2 * PageLayout::kNearbyWindow;
    if (p >= skipEnd) return 0;
    if (farMark && p + window < farMark) return std::min(skipEnd, farMark - window);
    if (farMark && p <= farMark) return 0;
    return skipEnd;
}

}  // namespace

// Far from the target the open elements are only noted: each element's tag and where its
// reading began. Its entry (its attributes kept, its state computed) is made when a checkpoint
// or the page start needs the stack: most elements open and close between two of them and then
// cost no attribute copies and no style computation. What is noted follows the replay's own
// rule (ReplayedEffect); an entry is made by reading its tag again and replaying it as the
// reading did, so the stack made is the one the reading would have built. Not noting, every
// tag is replayed onto the stack as it is read.
class PageLayout::NotedElements {
public:
    // Noting, the stack's entries are made already: they come first.
    NotedElements(bool noting, const ElementStack& made) : noting_(noting), made_(made.Count()) {
        for (int32_t off = noting && made.Count() ? 0 : -1; off >= 0; off = made.NextOffset(off))
            open_.push_back({0, 0, made.ReadU16At(off)});
    }
    // The tag the layout's source just read, the reading begun at `before`. False when the
    // stack refuses it (too deep) or memory runs out.
    bool Tag(PageLayout& layout, uint32_t before, ElementStack& stack) {
        if (!noting_) return layout.ReplayTag(*layout.source_, stack);
        uint32_t end = before;
        layout.source_->GetPosition(end);
        // A tag the nesting rules deferred comes after the end tags it caused, from a call that
        // reads nothing: its reading began where the last reading did.
        if (end > before) from_ = before;
        bool isEnd = false, isEmpty = false;
        const uint32_t id = layout.source_->GetTag(isEnd, isEmpty);
        switch (ReplayedEffect(id, isEnd, isEmpty)) {
            case StackEffect::kNone:
                return true;
            case StackEffect::kPopUnlessRoot:
                if (open_.size() > 1 || (open_.size() == 1 && open_[0].id != kTagHtml)) Pop(stack);
                return true;
            case StackEffect::kPop:
                Pop(stack);
                return true;
            case StackEffect::kPush:
                if (open_.size() >= ElementStack::kMaxEntries) return false;
                open_.push_back({from_, end, static_cast<uint16_t>(id)});
                return true;
        }
        return true;
    }
    // Makes the entries not made yet; with `last`, noting ends. False when a tag does not read
    // again as it was read (the replay then goes round again without noting).
    bool Make(PageLayout& layout, ElementStack& stack, bool last) {
        for (; noting_ && made_ < open_.size(); ++made_) {
            const Noted& e = open_[made_];
            if (!ReadAgain(layout, e)) return false;
            PushedTag tag(*reader_);
            if (!layout.ReplayTag(tag, stack) || stack.Count() != made_ + 1) return false;
        }
        noting_ = noting_ && !last;
        return true;
    }

private:
    struct Noted {
        uint32_t from, end;
        uint16_t id;
    };
    void Pop(ElementStack& stack) {
        if (open_.empty()) return;
        if (open_.size() <= made_) {
            stack.Pop();
            --made_;
        }
        open_.pop_back();
    }
    // The reader on the start tag that ends at e.end, read from e.from.
    bool ReadAgain(PageLayout& layout, const Noted& e) {
        if (!reader_) {
            reader_ = std::make_unique<HtmlTokenizer>(false);
            if (!reader_->Attach(layout.source_->Source(), layout.source_->SourceMode()))
                return false;
        }
        if (!reader_->Start(e.from, false)) return false;
        // Only markup that makes no tag (a comment, a dropped tag) lies before it.
        for (int guard = 64; guard > 0; --guard) {
            const uint32_t kind = reader_->NextToken();
            uint32_t at = 0;
            if (kind == kTokenEnd || !reader_->GetPosition(at) || at > e.end) return false;
            bool isEnd = false, isEmpty = false;
            if (kind == kTokenTag && at == e.end)
                return reader_->GetTag(isEnd, isEmpty) == e.id && !isEnd;
        }
        return false;
    }

    bool noting_;
    std::vector<Noted> open_;  // every open element, outermost first
    size_t made_ = 0;          // the first made_ are the stack's entries
    uint32_t from_ = 0;        // where the reading of the last tag began
    std::unique_ptr<HtmlTokenizer> reader_;
};

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

// --- Checkpoints -------------------------------------------------------------------------------

void PageLayout::AddCheckpoint(uint32_t position, const PageRecord& record) {
    if (!checkpoints_.WantsExact(position, pager_.First().start)) return;
    Checkpoint c;
    c.position = position;
    if (!source_->SaveState(c.scanState) || !c.stack.Assign(record.elements)) return;
    checkpoints_.AddExact(std::move(c));
}

void PageLayout::AddRebuiltCheckpoint(uint32_t position, const PageRecord& record) {
    if (!checkpoints_.WantsRebuilt(position)) return;
    Checkpoint c;
    c.position = position;
    c.rebuilt = true;
    if (!source_->SaveState(c.scanState) || !c.stack.Assign(record.elements)) return;
    checkpoints_.AddRebuilt(std::move(c));
}

// --- Replay ------------------------------------------------------------------------------------

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
    // A page back from the target and the backward reach: a token boundary within a small
    // window before each mark becomes a nearby checkpoint.
    const uint32_t page = CharsPerPageEstimate();
    uint32_t marks[2] = {target > page ? target - page : 0,
                         target > kBackwardReach ? target - kBackwardReach : 0};
    // Up to here nothing but the open elements is wanted: not the state before a token, nor a
    // nearby checkpoint. A replay that aligns keeps no state before a token: it reads the text
    // only where a nearby checkpoint is taken, from a window before each mark on (the first
    // token read after a skip ends where a reading from the start ends it).
    const uint32_t margin = align ? page + 2 * kNearbyWindow
                                  : std::max(kCrossWindow, kBackwardReach) + page + kNearbyWindow;
    const uint32_t skipEnd = target > margin ? target - margin : 0;
    const uint32_t farMark = align && marks[1] > 2 * kNearbyWindow ? marks[1] : 0;
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
    // Far from the target the open elements are noted and made when wanted, in a document read
    // from its first page (a book rebuilds from a stretch, and a page of it read again costs its
    // decompression), and not on a second pass. Entries that cannot be made send the replay
    // round again.
    NotedElements noted(
        noteFarElements && !content_ && !keepEvery && p < skipEnd && !StartsAnywhere(),
        record.elements);
    auto roundAgain = [&again]() { return again = true; };
    while (guard-- > 0) {
        if (!source_->GetPosition(p)) return false;
        if (p >= skipEnd && !noted.Make(*this, record.elements, true)) return roundAgain();
        if (p >= target) {
            if ((farKind == kTokenText && p > target) || (farKind == kTokenTag && beforeTag)) {
                again = true;
                return true;
            }
            break;
        }
        const bool mark = start.rebuilt ? p >= rebuiltFrom + kCheckpointSpacing
                                        : checkpoints_.WantsExact(p, pager_.First().start);
        if (mark && !noted.Make(*this, record.elements, false)) return roundAgain();
        if (mark && start.rebuilt) {
            AddRebuiltCheckpoint(p, record);
            rebuiltFrom = p;
        } else if (mark) {
            AddCheckpoint(p, record);
        }
        // Far from the target only the tags matter: the text between them is passed over.
        const uint32_t skipTo = SkipTarget(p, skipEnd, farMark);
        if (skipTo > p && source_->SkipText(skipTo)) {
            farKind = kTokenEnd;
            continue;
        }
        for (int k = 0; k < 2 && wantNearby; ++k) {
            // The first boundary within the window is as good as the last (a replay starts at
            // the nearest checkpoint before its reach), and its state is taken once.
            if (haveNearby[k] || p > marks[k] || p + kNearbyWindow < marks[k] ||
                marks[k] <= kNearbyWindow)
                continue;
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
                           : (kind != kTokenTag || noted.Tag(*this, p, record.elements));
        if (!ok) return false;
    }
    if (!noted.Make(*this, record.elements, true)) return roundAgain();
    for (int k = 1; k >= 0; --k)
        if (haveNearby[k]) checkpoints_.AddNearby(std::move(nearby[k]), true);
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

// The nearest checkpoint before the target, or the first page; in a long document whose pages
// can start anywhere, where neither lies within the rebuilding stretch, the nearest rebuilt
// checkpoint within it, or else a fresh start at the document's page boundary a stretch back.
PageLayout::ReplayStart PageLayout::ChooseReplayStart(uint32_t reach) {
    const ReplayStart exact = checkpoints_.Nearest(reach, false, pager_.First().start);
    if (!StartsAnywhere() || TextLength() <= kExactLength || exact.position >= reach ||
        reach - exact.position <= kRebuildStretch)
        return exact;
    const ReplayStart rebuilt = checkpoints_.Nearest(reach, true, pager_.First().start);
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
            !ReplayCheckpoints::RestoreKeptStack(*start.kept, settings_.defaults, record.elements))
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
