// The page Find shows: the one that holds the text found, reached by paging on as a reader
// would, with a line of what comes before the text above it.
#include "layout/page_layout.h"

#include <algorithm>

namespace {

// How many pages Find lays out forward from where it starts.
constexpr int32_t kMaxFindSteps = 64;

struct FoundLine {
    int32_t index = -1;   // the page's line (counted among lines with a height) holding it
    int32_t lastTop = 0;  // the top of the page's last line of text
    bool any = false;     // the page has a line of text
};

// Which line of a laid-out page holds the position: the line of the last item that starts at
// or before it.
FoundLine LocateLine(BlockContents& block, uint32_t position) {
    FoundLine out;
    int32_t line = -1, top = 0;
    bool counted = false;  // the line's text is noted
    BlockCursor c;
    c.Init(&block, true);
    for (; !c.AtEnd(); c.Next()) {
        uint32_t kind = c.Kind();
        if (kind == kItemLine) {
            const LineRecord* l = block.Line(c.counts[kItemLine]);
            counted = !l || l->height <= 0;
            if (!counted) {
                ++line;
                top = l->y;
            }
            continue;
        }
        const BlockItem* item = block.ItemAt(c.position);
        if (line < 0 || !item->HasPosition()) continue;
        if (item->Position() <= position) out.index = line;
        if (!counted && (kind == kItemTextRun || kind == kItemInlineBox)) {
            out.lastTop = top;
            out.any = counted = true;
        }
    }
    return out;
}

}  // namespace

bool PageLayout::GoToFoundText(uint32_t position) {
    if (position >= TextLength()) return false;
    if (!pager_.FirstKnown() && !LayoutFirstPage()) return false;
    // Paging starts at the first page when it holds the position or lies near, else at the
    // nearest page met before at or before it, else a little before the position.
    uint32_t perPage = CurrentPageLength();
    if (perPage == kNone || perPage == 0) perPage = CharsPerPageEstimate();
    const uint64_t reach = 8ull * perPage;
    uint32_t from = pager_.First().start;
    if (position > pager_.First().start &&
        (pager_.First().end == kNone || position >= pager_.First().end)) {
        uint32_t known = position - pager_.First().start <= reach ? pager_.First().start : kNone;
        for (const PageRecord& r : pager_.Records())
            if (r.IsUsed() && r.start <= position && position - r.start <= reach &&
                (known == kNone || r.start > known))
                known = r.start;
        const uint32_t back = std::clamp<uint32_t>(perPage / 2, 64, 4096);
        // Not from a known page: from the start of a line, as paging forward wraps it.
        from = known != kNone ? known
                              : std::max(pager_.First().start,
                                         LineStartHolding(position - std::min(position, back)));
    }
    pager_.HideCurrent();
    PageRecord* r =
        from == pager_.First().start ? &pager_.First() : pager_.EnsureRecord(kNone, from, false);
    if (!r) {
        ShowCurrentPage();
        return false;
    }
    pager_.MakeCurrent(r, 255);
    // On to the page that holds the position.
    for (int32_t step = 0; step < kMaxFindSteps; ++step) {
        uint32_t end = CurrentPageEnd();
        if (end == kNone || position < end ||
            !MoveToPosition(pager_.Current(), PageStepCode::kNextPage))
            break;
    }
    // Its line: when it is the page's first, the page starts one line earlier, at the last
    // line of the page before.
    const uint32_t found = pager_.Current();
    int32_t s = -1;
    if (found != kNone && found <= position && columnCount_ == 1 &&
        pager_.LayoutPageAt(found, false, &s) && s >= 0 &&
        LocateLine(pager_.Slot(s).contents, position).index == 0) {
        PageRecord* before = pager_.FindPageRecord(found, PageStepCode::kPageEndingHere);
        int32_t b = -1;
        if (before && before->start < found &&
            MoveToPosition(before->start, PageStepCode::kSamePage) &&
            pager_.LayoutPageAt(pager_.Current(), false, &b) && b >= 0) {
            FoundLine last = LocateLine(pager_.Slot(b).contents, position);
            // The page cut above that line: the page after the cut starts on it.
            if (last.any && StepPage(last.lastTop - viewport_.y, PageStepCode::kSamePage)) {
                // Inside a table read in views, the view that holds it.
                if (ShowTableViewHolding(position) && pager_.CurrentRecord())
                    listener_->OnPageChanged(pager_.CurrentRecord());
                return true;
            }
            MoveToPosition(found, PageStepCode::kSamePage);
        }
    }
    ShowTableViewHolding(position);
    PageRecord* shown = pager_.CurrentRecord();
    if (!shown) return false;
    listener_->OnPageChanged(shown);
    return true;
}
