// The records of pages starting at the lines of a walk's pages (see paging_back.cpp): kept in
// storage used again, put in start order as each page of the walk leaves them, and, once the
// walk is done, kept only where pages going back are expected to start.
#include <algorithm>

#include "layout/paginator.h"

using LineSpan = PageLineSpan;

PageRecord* LineStartRecords::Open() {
    if (spare.empty()) {
        std::unique_ptr<PageRecord> r(new (std::nothrow) PageRecord());
        if (!r) return nullptr;
        spare.push_back(std::move(r));
    }
    return spare.back().get();
}

bool LineStartRecords::Commit(const ElementStack& elements) {
    if (!lastElements_ || lastVersion_ != elements.Version()) {
        std::shared_ptr<ElementStack> copy(new (std::nothrow) ElementStack());
        if (!copy || !copy->Assign(elements)) return false;
        lastElements_ = std::move(copy);
        lastVersion_ = elements.Version();
    }
    records.push_back({std::move(spare.back()), lastElements_});
    spare.pop_back();
    return true;
}

void LineStartRecords::Release(Entry entry) {
    if (!entry.record || spare.size() >= kMaxSpare) return;
    entry.record->used = false;
    spare.push_back(std::move(entry.record));
}

void LineStartRecords::Clear() {
    records.clear();
    spare.clear();
    lastElements_.reset();
    lastVersion_ = 0;
}

void Paginator::KeepLineStarts(size_t from, const std::vector<LineSpan>& spans) {
    auto& records = lineStarts_.records;
    // Only the starts of the page's lines below its first: a page starts at nothing else.
    std::vector<uint32_t> lines;
    for (size_t i = 1; i < spans.size(); ++i)
        if (spans[i].start != kNone) lines.push_back(spans[i].start);
    std::sort(lines.begin(), lines.end());
    size_t out = from;
    for (size_t k = from; k < records.size(); ++k) {
        if (std::binary_search(lines.begin(), lines.end(), records[k].Start()))
            records[out++] = std::move(records[k]);
        else
            lineStarts_.Release(std::move(records[k]));
    }
    records.resize(out);
    auto before = [](const LineStartRecords::Entry& a, const LineStartRecords::Entry& b) {
        return a.Start() < b.Start();
    };
    std::inplace_merge(records.begin(), records.begin() + static_cast<std::ptrdiff_t>(from),
                       records.end(), before);
    // One record a start.
    size_t kept = 0;
    for (size_t k = 0; k < records.size(); ++k) {
        if (kept > 0 && records[kept - 1].Start() == records[k].Start())
            lineStarts_.Release(std::move(records[k]));
        else
            records[kept++] = std::move(records[k]);
    }
    records.resize(kept);
}

void Paginator::KeepExpectedStarts(uint32_t target, int32_t lo) {
    auto& records = lineStarts_.records;
    if (records.empty()) return;
    // The starts the search picks first, page after page back from the target (from the
    // lines' heights, as SearchPageEndingAt does), and the lines on either side of each.
    std::vector<uint32_t> expected;
    const uint32_t lowest = records.front().Start();
    auto after = std::lower_bound(grid_.begin(), grid_.end(), target,
                                  [](const GridLine& l, uint32_t t) { return l.start < t; });
    int32_t m = static_cast<int32_t>(after - grid_.begin()) - 1;
    for (int32_t guard = 0; m >= lo && guard < 4096; ++guard) {
        int32_t last = m;
        while (last > lo && grid_[last].blank) --last;
        int32_t i = FitBefore(lo, last);
        while (i <= m && grid_[i].blank) ++i;
        if (i > m) break;
        for (int32_t k = std::max(lo, i - 1); k <= std::min(m, i + 1); ++k)
            expected.push_back(grid_[k].start);
        if (i <= lo || grid_[i].start < lowest) break;
        m = i - 1;
    }
    std::sort(expected.begin(), expected.end());
    size_t kept = 0;
    for (size_t k = 0; k < records.size(); ++k) {
        if (std::binary_search(expected.begin(), expected.end(), records[k].Start()))
            records[kept++] = std::move(records[k]);
        else
            lineStarts_.Release(std::move(records[k]));
    }
    records.resize(kept);
}

const LineStartRecords::Entry* Paginator::LineStartAt(uint32_t start) const {
    const auto& records = lineStarts_.records;
    auto at = std::lower_bound(
        records.begin(), records.end(), start,
        [](const LineStartRecords::Entry& k, uint32_t p) { return k.Start() < p; });
    return at != records.end() && at->Start() == start ? &*at : nullptr;
}
