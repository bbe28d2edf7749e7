// Far pages: how much text a stretch of markup shows (page estimates count that, not tags), and
// the line start a page reached by estimate begins on, as paging forward wraps the text.
#include <algorithm>
#include <memory>
#include <new>

#include "bookfiles/document_source.h"
#include "document/markup/html_tokenizer.h"
#include "layout/page_layout.h"

namespace {

// How far back a paragraph's start is sought to wrap its lines as paging forward does.
constexpr uint32_t kParagraphReach = 4096;
// Pages laid out aside from the paragraph's start at most (a long paragraph on a small screen).
constexpr int32_t kMaxAsidePages = 16;

// Where the last line (outside tables) or table of a laid-out page that starts at or before
// the position begins; kNone when none does.
uint32_t LastLineStartAtOrBefore(const BlockContents& contents, uint32_t position) {
    constexpr uint32_t kNone = PageRecord::kNone;
    uint32_t found = kNone;
    int32_t lines = 0, marks = 0, depth = 0;
    bool waiting = false;  // a line began: its first item with a position gives its start
    for (int32_t i = 0; i < contents.Count(); ++i) {
        const BlockItem* item = contents.ItemAt(i);
        switch (item->kind) {
            case kItemLine: {
                const LineRecord* line = contents.Line(lines++);
                if (depth == 0 && line && line->height > 0) waiting = true;
                continue;
            }
            case kItemTable:
                if (depth++ == 0 && item->HasPosition() && item->Position() <= position)
                    found = item->Position();
                waiting = false;
                continue;
            case kItemFlowMark: {
                const FlowMark* mark = contents.Mark(marks++);
                if (mark && mark->type == kMarkTableEnd && depth > 0) --depth;
                break;
            }
            default:
                break;
        }
        if (waiting && depth == 0 && item->HasPosition()) {
            waiting = false;
            if (item->Position() > position) break;
            found = item->Position();
        }
    }
    return found;
}

}  // namespace

TextCensus* PageLayout::Census() const {
    DocumentSource* doc = Document();
    if (!doc || !dynamic_cast<HtmlTokenizer*>(source_)) return nullptr;
    // Counted once, at the first estimate; again only for another text or one that grew.
    const uint32_t length = doc->GetLength();
    if (!census_ || censusDocument_ != doc || census_->Length() != length) {
        census_.reset(new (std::nothrow) TextCensus());
        censusDocument_ = doc;
        // One that cannot be read whole stays empty: the estimates then count positions.
        if (census_) census_->Build(*doc);
    }
    return census_ && !census_->Empty() ? census_.get() : nullptr;
}

// Measured against paging forward through manuals and API pages (prose, listings, long lists
// of short items, tables of terms): a page shows about 4/7 of the characters the plain estimate
// gives it, and each line a block starts costs about a third of a line's characters more.
uint32_t PageLayout::ShownPerPageEstimate() const {
    return std::max<uint32_t>(1, static_cast<uint32_t>(uint64_t{CharsPerPageEstimate()} * 4 / 7));
}

uint32_t PageLayout::LineStartWeight() const {
    const int64_t s = std::max<int64_t>(1, settings_.baseFontSize);
    return static_cast<uint32_t>(
        std::max<int64_t>(1, (2 * std::max(0, columns_[0].width)) / s / 3));
}

uint32_t PageLayout::LineStartHolding(uint32_t position) {
    // A stand-in content layout has no lines to follow.
    if (!source_ || content_) return position;
    if (!pager_.FirstKnown() && !LayoutFirstPage()) return position;
    const uint32_t first = pager_.First().start;
    if (position <= first) return first;
    // A start near the position, at a token (or, in a table, at the row paging forward
    // would start a page on): what is left when the paragraph's lines cannot be followed.
    PageRecord at;
    at.pageNumber = kNone;
    if (!LayoutPageFrom(position, at, true)) return position;
    const uint32_t para = ParagraphStart(at, kParagraphReach);
    if (para == kNone || para >= at.start) return at.start;
    PageRecord page;
    bool ok;
    if (para <= first) {
        ok = page.CopyFrom(pager_.First());
        page.used = ok;
    } else {
        page.pageNumber = kNone;
        paragraphStart_ = true;
        ok = LayoutPageFrom(para, page, false);
        paragraphStart_ = false;
    }
    if (!ok || page.start > at.start) return at.start;
    // The paragraph's lines as paging forward wraps them, page after page, laid out aside: the
    // paginator's pages and slots stay as they are.
    auto aside = std::make_unique<PageSlot>();
    for (int32_t n = 0; n < kMaxAsidePages; ++n) {
        page.stopAt = kNone;
        page.tables.clear();
        aside->record = &page;
        PageRecord next;
        bool more = false;
        const bool laid = LayoutIntoSlot(*aside, next, more, false);
        aside->record = nullptr;
        if (!laid || (more && (next.start == kNone || next.start <= page.start))) break;
        if (more && next.start <= position) {
            page.MoveFrom(next);
            continue;
        }
        const uint32_t line = LastLineStartAtOrBefore(aside->contents, position);
        return line != kNone && line > page.start ? line : page.start;
    }
    return at.start;
}
