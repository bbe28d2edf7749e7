// The records a page's layout leaves at its lines (what paging back starts a page inside a page
// of its walk from): the page laid out from each is the page laid out from cutting the page
// just above that line, over documents shaped like real ones, at both screens.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "layout/page_layout.h"
#include "support/document/shaped_documents.h"
#include "support/layout/paging_fixtures.h"

namespace fvt::test {
namespace {

std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

std::string Prose(int paragraphs) {
    NumberedProse words(13);
    std::string h = "<html><body>";
    for (int p = 0; p < paragraphs; ++p)
        h += "<p>" + words.Sentence(25 + words.Pick(60)) + " " + words.Sentence(12) + "</p>";
    return h + "</body></html>";
}

// A laid-out page, as far as the page after it can tell: where each line starts, its top and
// height, and where the page ends.
struct Laid {
    std::vector<uint32_t> starts;
    std::vector<int32_t> tops, heights;
    uint32_t end = PageRecord::kNone;
    bool operator==(const Laid&) const = default;
};

void PrintTo(const Laid& l, std::ostream* os) {
    *os << "end " << l.end << ", lines:";
    for (size_t i = 0; i < l.tops.size(); ++i)
        *os << " (" << (i < l.starts.size() ? l.starts[i] : 0) << " y" << l.tops[i] << " h"
            << l.heights[i] << ")";
}

Laid LayOut(PageLayout& layout, PageRecord& record) {
    PageSlot slot;
    PageRecord next;
    bool more = false;
    slot.record = &record;
    Laid out;
    if (!layout.LayoutIntoSlot(slot, next, more, false)) return out;
    BlockContents& b = slot.contents;
    int32_t lines = 0;
    bool waiting = false;
    for (int32_t i = 0; i < b.Count(); ++i) {
        const BlockItem* item = b.ItemAt(i);
        if (item->kind == kItemLine) {
            const LineRecord* l = b.Line(lines++);
            out.tops.push_back(l->y);
            out.heights.push_back(l->height);
            waiting = true;
        } else if (waiting && item->HasPosition()) {
            out.starts.push_back(item->Position());
            waiting = false;
        }
    }
    out.end = more ? next.start : layout.TextLength();
    slot.record = nullptr;
    return out;
}

struct Shape {
    const char* name;
    std::string html;
    int32_t fontSize;
    Rect screen;
};

class PagesFromLines : public ::testing::TestWithParam<int> {};

TEST_P(PagesFromLines, APageFromALinesRecordIsThePageCutAboveTheLine) {
    const bool large = GetParam() % 2 == 1;
    const int32_t font = large ? 30 : 12;
    const Rect screen = large ? Rect{0, 0, 480, 640} : Rect{0, 0, 240, 320};
    std::string html;
    switch (GetParam() / 2) {
        case 0: html = Prose(40); break;
        case 1: html = TexinfoShapedManual(10); break;
        case 2: html = ApiReferenceShaped(2, 5); break;
        default: html = ListingsShaped(6); break;
    }
    PagingBook book(Wide(html), false, false);
    PageLayout& layout = book.layout;
    layout.Configure(SettingsAt(font));
    layout.SetViewport(screen);
    ASSERT_TRUE(layout.Start());
    ASSERT_TRUE(layout.GoToPage(1));
    int checked = 0;
    for (int page = 0; page < 12; ++page) {
        const uint32_t start = layout.CurrentPageStart();
        PageRecord* known = layout.FindPageRecord(start, PageStepCode::kSamePage);
        ASSERT_NE(known, nullptr);
        PageRecord record;
        ASSERT_TRUE(record.CopyFrom(*known));
        record.used = true;
        ::LineStartRecords left;
        layout.SetLineStartSink(&left);
        const Laid whole = LayOut(layout, record);
        layout.SetLineStartSink(nullptr);
        ASSERT_FALSE(whole.tops.empty());
        for (const ::LineStartRecords::Entry& kept : left.records) {
            const PageRecord* line = kept.record.get();
            // (The line that did not fit leaves the page after's own start.)
            if (line->start >= whole.end) continue;
            SCOPED_TRACE("page at " + std::to_string(start) + ", line at " +
                         std::to_string(line->start));
            // The line's top on the page: the cut leaves it for the page after.
            size_t at = 0;
            while (at < whole.starts.size() && whole.starts[at] != line->start) ++at;
            ASSERT_LT(at, whole.starts.size()) << "a record at no line's start";
            ASSERT_GT(at, 0u) << "a record at the page's first line";
            PageRecord cut;
            ASSERT_TRUE(cut.CopyFrom(*known));
            cut.used = true;
            PageSlot slot;
            PageRecord next;
            bool more = false;
            slot.record = &cut;
            layout.SetFillLimit(whole.tops[at] - screen.y);
            const bool ok = layout.LayoutIntoSlot(slot, next, more, false);
            layout.SetFillLimit(0x7FFFFFFF);
            slot.record = nullptr;
            ASSERT_TRUE(ok && more);
            ASSERT_EQ(next.start, line->start);
            next.used = true;
            PageRecord fromLine;
            ASSERT_TRUE(fromLine.CopyFrom(*line) && fromLine.elements.Assign(*kept.elements));
            fromLine.used = true;
            EXPECT_EQ(LayOut(layout, fromLine), LayOut(layout, next));
            ++checked;
        }
        if (!layout.GoToPosition(start, PageStepCode::kNextPage)) break;
    }
    EXPECT_GT(checked, 20);
}

INSTANTIATE_TEST_SUITE_P(Shapes, PagesFromLines, ::testing::Range(0, 8));

}  // namespace
}  // namespace fvt::test
