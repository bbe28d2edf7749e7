// The saved page state: an "EBVS" block of big-endian words. It comes back from the side file,
// so every count is checked against the bytes that are really there before anything is read
// or allocated.
#include <algorithm>
#include <utility>
#include <vector>

#include "bookfiles/document_source.h"
#include "document/markup/element_stack.h"
#include "document/markup/html_tokenizer.h"
#include "document/markup/keyword_tree.h"
#include "document/markup/markup_tags.h"
#include "document/markup/token_source.h"
#include "layout/page_layout.h"

namespace {

constexpr uint32_t kMarkupTable = 44;
constexpr uint32_t kEntryBytes = 12;
// The stops of the pages after the saved one that are kept with it: paging forward after the
// reopening shows the pages paging back had found.
constexpr size_t kStopsAhead = 64;
// The pages shown before the saved one that are kept with it.
constexpr size_t kTrailBehind = 16;

// Pairs of words after a count, as many as the count says and the part holds.
template <typename Pair>
bool ReadPairs(ByteStream& stream, uint32_t partEnd, std::vector<Pair>& out) {
    uint32_t count = 0;
    if (stream.ReadPosition() + 4 > partEnd || !stream.ReadWord32BE(count) ||
        count > (partEnd - stream.ReadPosition()) / 8)
        return true;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t w[2];
        if (!stream.ReadWords32BE(w, 2)) return false;
        out.push_back({w[0], w[1]});
    }
    return true;
}

}  // namespace

bool PageContentLayout::RebuildTableState(PageLayout& /*layout*/, PageRecord& /*record*/) {
    return true;
}

// The ids of the stack's elements, outermost first.
static std::vector<uint16_t> OpenIds(const ElementStack& elements) {
    std::vector<uint16_t> ids;
    for (uint32_t depth = elements.Count(); depth-- > 0;)
        ids.push_back(elements.ReadU16At(elements.OffsetAtDepth(depth)));
    return ids;
}

bool PageLayout::RebuildTableState(PageRecord& record) {
    // A page inside a table starts at a row boundary: the stack is brought back to the
    // innermost table and the source restarted at the page start inside the stack's elements,
    // as paging forward had them there (the table's end tag and what follows it are read as
    // they were), so that nothing read ahead of the saved scan state is skipped.
    int32_t table = record.elements.FindTag(kMarkupTable);
    if (table < 0 || !source_) return false;
    while (!record.elements.IsEmpty() && record.elements.TopOffset() != table)
        record.elements.Pop();
    if (record.elements.IsEmpty()) return false;
    auto* markup = dynamic_cast<HtmlTokenizer*>(source_);
    if (markup ? !markup->StartInside(record.start, OpenIds(record.elements))
               : !source_->Start(record.start, false))
        return false;
    uint32_t p = kNone;
    source_->GetPosition(p);
    if (p != record.start) return false;
    record.scanState.Clear();
    if (!source_->SaveState(record.scanState)) return false;
    // The page's rows go on in the continued table, as paging forward lays them out.
    record.block.reset();
    return ContinueTable(record);
}

bool PageLayout::ContinueTable(PageRecord& record) {
    // The page begins with the continued table's record, made from the TABLE element's stored
    // attributes, as paging forward carries it over: the rows read next are laid out in it.
    int32_t table = record.elements.FindTag(kMarkupTable);
    if (table < 0) return false;
    while (!record.elements.IsEmpty() && record.elements.TopOffset() != table)
        record.elements.Pop();
    const RenderState* tableState = record.elements.GetRecordAtDepth(0);
    const RenderState* outer = record.elements.GetRecordAtDepth(1);
    if (!tableState) return false;
    std::unique_ptr<BlockContents> block(new (std::nothrow) BlockContents());
    if (!block) return false;
    ElementStackIterator element(record.elements, table);
    TokenSource* reading = source_;
    source_ = &element;
    bool made = LayoutTableTag(*block, kMarkupTable, false, *tableState,
                               outer ? *outer : settings_.defaults.style, record.start);
    source_ = reading;
    if (!made) return false;
    record.block = std::move(block);
    return true;
}

bool PageLayout::RestoreScanState(const PageRecord& record) {
    if (!source_) return false;
    ByteStream state;
    if (!state.CopyFrom(record.scanState) || !state.SetReadPosition(0)) return false;
    return source_->RestoreState(state);
}

bool PageLayout::StateAtPageStart(const PageRecord& record, ByteStream& scanState,
                                  ElementStack& elements) {
    // The record's scan state lies after the items it carries over from the previous page; its
    // element stack, without the elements opened among them, is the one at the page start, and
    // the source is read again from there with what it knew at the scan state.
    // An element keeps the position after its start tag: one whose tag ends right at the page
    // start (a page that begins with a code name's word) was opened before the page and stays;
    // read again from the start, its tag would not come back.
    if (record.scanState.Size() == 0 || !RestoreScanState(record)) return false;
    source_->SetPosition(record.start);
    if (!source_->SaveState(scanState) || !elements.Assign(record.elements)) return false;
    while (elements.Count() > 1 && elements.ReadU32At(elements.TopOffset()) > record.start)
        elements.Pop();
    return true;
}

bool PageLayout::OpenMarkupOutsideTables(const PageRecord& record) const {
    return dynamic_cast<HtmlTokenizer*>(source_) && record.elements.FindTag(kTagPre) < 0 &&
           record.elements.FindTag(kTagTable) < 0;
}

// The state paging forward had at the page start is known when the items carried over hold no
// tag (text alone leaves the source's open elements as they were). Pages in a table or a
// listing are left to reading again from the first page, which continues a table at its row
// and a listing at its line as paging forward does.
template <class Seen>
bool PageLayout::ReadCarriedTokens(const PageRecord& record, Seen seen) {
    uint32_t end = kNone;
    // Items carried over with the scan state at the start itself were made without reading (a
    // table continued from its stored attributes).
    if (record.scanState.Size() == 0 || !RestoreScanState(record) || !source_->GetPosition(end) ||
        end <= record.start)
        return false;
    source_->SetPosition(record.start);
    for (uint32_t p = record.start; source_->GetPosition(p) && p < end;)
        if (!seen(source_->NextToken())) return false;
    uint32_t reached = kNone;
    return source_->GetPosition(reached) && reached == end;
}

bool PageLayout::KeepsReplayedState(const PageRecord& record) {
    if (!OpenMarkupOutsideTables(record)) return false;
    if (!record.block || record.block->Count() == 0) return true;
    // A tag dropped by the nesting rules reads as nothing delivered: only words and spaces
    // pass.
    return ReadCarriedTokens(
        record, [](uint32_t kind) { return kind == kTokenText || kind == kTokenSpace; });
}

bool PageLayout::CarriedItemsCloseOpenElements(const PageRecord& record) {
    if (!dynamic_cast<HtmlTokenizer*>(source_) || !record.block || record.block->Count() == 0)
        return false;
    int32_t depth = 0;
    bool closes = false;
    // Read with the source's state after them, the end tags of elements it no longer has
    // open are dropped: markup delivering nothing counts as closing (a word joined over a
    // reference too, read again all the same).
    ReadCarriedTokens(record, [&](uint32_t kind) {
        if (kind == kTokenText || kind == kTokenSpace) return true;
        if (kind != kTokenTag) return !(closes = true);
        bool isEnd = false, isEmpty = false;
        const uint32_t id = source_->GetTag(isEnd, isEmpty);
        if (isEnd)
            closes = --depth < 0;
        else if (!isEmpty && !(MarkupTags::Flags(id) & MarkupTags::kEmpty))
            ++depth;
        return !closes;
    });
    return closes;
}

// The state at a replayed page's start as reading again gives it, read from the latest stored
// page before it whose state is the one paging forward had (a checkpoint for that reading, as
// good as the first page: reading is deterministic). False when there is none, or the page
// lies in a table or a listing, which reading again treats on its own.
bool PageLayout::ReplayedStateAtPageStart(const PageRecord& page, ByteStream& scanState,
                                          ElementStack& elements) {
    if (!OpenMarkupOutsideTables(page)) return false;
    std::vector<const PageRecord*> before;
    for (const PageRecord& r : pager_.Records())
        if (r.used && r.start < page.start && r.start > pager_.First().start) before.push_back(&r);
    std::sort(before.begin(), before.end(),
              [](const PageRecord* a, const PageRecord* b) { return a->start > b->start; });
    for (const PageRecord* r : before) {
        if (!KeepsReplayedState(*r)) continue;
        Checkpoint c;
        c.position = r->start;
        c.rebuilt = r->rebuilt;
        const bool carries = r->block && r->block->Count() > 0;
        if (carries ? !StateAtPageStart(*r, c.scanState, c.stack)
                    : !c.scanState.CopyFrom(r->scanState) || !c.stack.Assign(r->elements))
            return false;
        checkpoints_.AddNearby(std::move(c), false);
        PageRecord read;
        read.pageNumber = page.pageNumber;
        if (!Replay(page.start, read, false, paragraphStart_) || read.start != page.start ||
            read.elements.FindTag(kTagTable) >= 0)
            return false;
        scanState.Clear();
        return scanState.CopyFrom(read.scanState) && elements.Assign(read.elements);
    }
    return false;
}

bool PageLayout::SaveCurrentPageState(uint32_t& pageNumber, uint32_t& pageStart,
                                      ByteStream& stream) {
    PageRecord* cur = pager_.CurrentRecord();
    if (!cur) return false;
    pageNumber = cur->pageNumber;
    pageStart = cur->start;
    DocumentSource* doc = Document();
    // A page that carries items over from the previous page (the rest of a paragraph, the rows
    // of a continued table) has its scan state after them: it is saved with the state at its
    // start, so that it keeps both the items and the element stack (a list's indent).
    // Replayed documents rebuild their state by reading again from the first page, but for a
    // markup page whose state at its start is the one paging forward had: then reopening it
    // reads the document from the page on.
    bool carriesItems = cur->block && cur->block->Count() > 0;
    const bool replayed = doc && doc->BookProperty7() == 1;
    ByteStream scanState;
    ElementStack elements;
    uint32_t flag = 1;
    const bool kept = KeepsReplayedState(*cur);
    if (!kept && ReplayedStateAtPageStart(*cur, scanState, elements)) {
        // Read again from a page before it that has one, as a jump there would read it (the
        // items carried over hold tags, which leave the source's elements behind the page).
        carriesItems = true;
    } else if (replayed && !kept) {
        flag = 0;
    } else if (carriesItems && (CarriedItemsCloseOpenElements(*cur) ||
                                !StateAtPageStart(*cur, scanState, elements))) {
        // Items that end an element open at the start leave no stack of the start to save:
        // reopening reads the page's state again, as a jump to the page does.
        flag = 0;
    }
    uint32_t count = static_cast<uint32_t>(cur->tables.size());
    // A page found going back stops where the page after it starts (it may have room for
    // more): the stop is kept after the tables, in a part older readers pass over, and after
    // it the stops of the pages after it that paging back found.
    // Last come the starts of the pages shown before it, so that PageUp after reopening
    // shows them again.
    const std::vector<Paginator::KeptStopEntry> ahead =
        pager_.KeptStopsAfter(cur->start, kStopsAhead);
    const std::vector<Paginator::TrailEntry> trail = pager_.TrailUpTo(cur->start, kTrailBehind);
    const bool stops = cur->stopAt != PageRecord::kNone || !ahead.empty() || !trail.empty();
    const uint32_t version = !trail.empty()   ? kStateVersionWithTrail
                             : !ahead.empty() ? kStateVersionWithStopsAhead
                             : stops          ? kStateVersionWithStop
                                              : kStateVersion;
    const uint32_t pairBytes = 8u * static_cast<uint32_t>(ahead.size() + trail.size());
    const uint32_t stopBytes = version == kStateVersionWithTrail        ? 12u + pairBytes
                               : version == kStateVersionWithStopsAhead ? 8u + pairBytes
                               : stops                                  ? 4u
                                                                        : 0u;
    uint32_t head[7] = {kStateMagic,
                        version,
                        CurrentDocumentKey(),
                        flag,
                        kEntryBytes * count + 8u + stopBytes,
                        static_cast<uint32_t>(cur->markIndex),
                        count};
    stream.WriteWords32BE(head, 7);
    for (const TableScrollEntry& e : cur->tables) {
        uint32_t words[3] = {e.position, static_cast<uint32_t>(e.x), static_cast<uint32_t>(e.y)};
        stream.WriteWords32BE(words, 3);
    }
    if (stops) stream.WriteWord32BE(cur->stopAt);
    if (version >= kStateVersionWithStopsAhead) {
        stream.WriteWord32BE(static_cast<uint32_t>(ahead.size()));
        for (const Paginator::KeptStopEntry& k : ahead) {
            uint32_t words[2] = {k.start, k.stop};
            stream.WriteWords32BE(words, 2);
        }
    }
    if (version >= kStateVersionWithTrail) {
        stream.WriteWord32BE(static_cast<uint32_t>(trail.size()));
        for (const Paginator::TrailEntry& t : trail) {
            uint32_t words[2] = {t.before, t.start};
            stream.WriteWords32BE(words, 2);
        }
    }
    if (flag && carriesItems) {
        stream.WriteBlock(scanState);
        elements.Save(stream);
    } else if (flag) {
        stream.WriteBlock(cur->scanState);
        cur->elements.Save(stream);
    }
    return stream.Ok();
}

bool PageLayout::ReadState(PageRecord& record, ByteStream& stream, bool& stateFollowed,
                           SavedPaging& paging) {
    stateFollowed = false;
    paging = SavedPaging{};
    if (stream.Remaining() < 12) return true;  // the key alone
    uint32_t magic = 0, version = 0, key = 0;
    stream.ReadWord32BE(magic);
    stream.ReadWord32BE(version);
    stream.ReadWord32BE(key);
    if (!stream.Ok() || magic != kStateMagic || version == 0) return false;
    uint32_t own = CurrentDocumentKey();
    if (key != own && key != ByteSwap32(own)) return false;
    record.markIndex = -1;
    if (version == 1) return true;
    uint32_t flag = 1;
    if (version >= 4 && (!stream.ReadWord32BE(flag) || flag > 1)) return false;
    uint32_t length = 0, mark = 0;
    if (!stream.ReadWord32BE(length)) return false;
    uint32_t fixed = version >= 3 ? 8 : 4;
    if (length < fixed || length > stream.Remaining()) return false;
    uint32_t partEnd = stream.ReadPosition() + length;
    if (!stream.ReadWord32BE(mark)) return false;
    // Only -1 stands for "no mark"; other negative values are junk.
    record.markIndex = mark >= 0x80000000u ? -1 : static_cast<int32_t>(mark);
    record.tables.clear();
    if (version >= 3) {
        uint32_t count = 0;
        if (!stream.ReadWord32BE(count)) return false;
        if (static_cast<uint64_t>(count) * kEntryBytes + 8 > length) return false;
        record.tables.reserve(count);
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t w[3];
            if (!stream.ReadWords32BE(w, 3)) return false;
            record.tables.push_back(
                TableScrollEntry{w[0], static_cast<int32_t>(w[1]), static_cast<int32_t>(w[2])});
        }
    }
    record.stopAt = PageRecord::kNone;
    uint32_t stop = PageRecord::kNone;
    if (version >= kStateVersionWithStop && stream.ReadPosition() + 4 <= partEnd &&
        stream.ReadWord32BE(stop))
        record.stopAt = stop;
    if (version >= kStateVersionWithStopsAhead && !ReadPairs(stream, partEnd, paging.stopsAhead))
        return false;
    if (version >= kStateVersionWithTrail && !ReadPairs(stream, partEnd, paging.trail))
        return false;
    if (!stream.SetReadPosition(partEnd)) return false;
    if (flag == 0) return true;
    if (!stream.ReadBlock(record.scanState)) return false;
    if (!record.elements.Restore(stream, settings_.defaults)) return false;
    const RenderState* top = record.elements.GetRecordAtDepth(0);
    record.style = PositionRecord{};
    if (top) {
        record.style.size = top->text.size;
        record.style.style = top->text.style;
        record.style.face = top->text.face;
        record.style.color = top->text.color;
        record.style.background = top->text.background;
        record.style.language = top->text.language;
        record.style.link = top->text.link;
        // A page starting inside a block lays its first lines in the block's box.
        BoxOf(*top, record.blockStyle);
    }
    stateFollowed = true;
    return true;
}

bool PageLayout::RestorePageState(uint32_t pageNumber, uint32_t pageStart, ByteStream& stream) {
    if (!pager_.FirstKnown() && !LayoutFirstPage()) return false;
    PageRecord fresh;
    fresh.Reset();
    fresh.pageNumber = pageNumber;
    bool followed = false;
    // The block is read in full even when a record is known, so that the caller's stream is
    // left after it whatever the outcome.
    uint32_t at = stream.ReadPosition();
    SavedPaging paging;
    bool readOk = ReadState(fresh, stream, followed, paging);
    if (PageRecord* known = pager_.FindPageRecord(pageStart, PageStepCode::kSamePage)) {
        pager_.HideCurrent();
        // The first page is always known: the view of its tables the reader left comes back.
        if (readOk && !fresh.tables.empty()) known->tables = std::move(fresh.tables);
        pager_.MakeCurrent(known, 255);
        listener_->OnPageChanged(known);
        return true;
    }
    if (!readOk) {
        stream.SetReadPosition(at);
        return false;
    }
    // A page past the end belongs to another text than this one.
    if (pageStart >= TextLength() && pageStart > pager_.First().start) return false;
    FreeMemory();
    int32_t mark = fresh.markIndex;
    std::vector<TableScrollEntry> tables = std::move(fresh.tables);
    // A stop that is not past the page's start, or lies past the text, is not this page's.
    const uint32_t stop = fresh.stopAt > pageStart && fresh.stopAt <= TextLength()
                              ? fresh.stopAt
                              : PageRecord::kNone;
    if (followed) {
        fresh.start = pageStart;
        // Saved by an earlier session: where pages start anywhere it may have been rebuilt.
        fresh.rebuilt = StartsAnywhere();
        fresh.end = kNone;
        fresh.used = true;
        if (fresh.elements.FindTag(kMarkupTable) >= 0 &&
            !(content_ ? content_->RebuildTableState(*this, fresh) : RebuildTableState(fresh)))
            return false;
    } else {
        fresh.Reset();
        fresh.pageNumber = pageNumber;
        // A key that came with this document's block is a page start of ours, which can lie
        // inside a word the page before hyphenated: brought to a word boundary, the page would
        // lose the word's second half. Only a bare key is aligned.
        bool ownKey = stream.ReadPosition() > at;
        if (!LayoutPageFrom(pageStart, fresh, !ownKey)) return false;
    }
    fresh.tables = std::move(tables);
    fresh.stopAt = stop;
    if (fresh.pageNumber == kNone || fresh.pageNumber == 0)
        fresh.pageNumber = EstimatePageNumber(fresh.start);
    fresh.useStamp = pager_.NextStamp();
    pager_.HideCurrent();
    PageRecord* stored = pager_.StoreRecord(fresh);
    if (!stored) {
        ShowCurrentPage();
        return false;
    }
    pager_.MakeCurrent(stored, 255);
    stored->markIndex = mark;
    restored_ = std::move(paging);
    restoredStart_ = stored->start;
    restoredWidth_ = viewport_.width;
    KeepRestoredPaging();
    listener_->OnPageChanged(stored);
    return true;
}

void PageLayout::KeepRestoredPaging() {
    const uint32_t pageStart = restoredStart_;
    // Stops that are not past their page's start, or lie past the text, are not this text's.
    for (const Paginator::KeptStopEntry& k : restored_.stopsAhead)
        if (k.start > pageStart && k.stop <= TextLength()) pager_.KeepStop(k.start, k.stop);
    // Starts of pages shown before it: each at or before the page's start, after the first
    // page's (KeepTrail passes over a pair out of order).
    for (const Paginator::TrailEntry& t : restored_.trail)
        if (t.start <= pageStart && t.before >= pager_.First().start)
            pager_.KeepTrail(t.before, t.start);
}
