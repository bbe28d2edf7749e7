// A small stand-in for the block and line layout, so that pagination can be tested on real
// token sources: words are set left to right at a fixed advance per character (the box font's
// rule), BR ends a line, and a page holds as many lines as fit the first column. Every line
// and word is recorded in the slot with its text position, as the real layout does.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "core/byte_stream.h"
#include "document/markup/keyword_tree.h"
#include "document/markup/token_source.h"
#include "layout/page_layout.h"

class WordPageLayout : public PageContentLayout {
public:
    int32_t charWidth = 6;
    int32_t lineHeight = 10;
    // A page starting here claims that its follower starts at the same place (a fault).
    uint32_t stallAt = PageRecord::kNone;
    uint32_t layouts = 0;

    bool LayoutIntoSlot(PageLayout& layout, PageRecord& record, PageSlot& slot, bool,
                        PageRecord& follower, bool& moreText) override {
        ++layouts;
        TokenSource* source = layout.Source();
        if (!source || !layout.RestoreScanState(record)) return false;
        const Rect& column = layout.Column(0);
        const int32_t maxLines = std::max(1, layout.FirstColumnFill() / lineHeight);
        int32_t x = 0, line = 0, trailing = 0;
        lineCount_ = 0;
        bool lineOpen = false;
        moreText = false;
        for (uint32_t guard = 0; guard < 1000000; ++guard) {
            uint32_t p = 0;
            source->GetPosition(p);
            ByteStream before;
            if (!source->SaveState(before)) return false;
            uint32_t kind = source->NextToken();
            if (kind == kTokenEnd) break;
            if (kind == kTokenContinue) continue;
            if (kind == kTokenSpace) {
                if (lineOpen && x > 0) {
                    FlowMark space;
                    space.type = kMarkSpace;
                    space.width = charWidth;
                    slot.contents.Append(space, p);
                    x += charWidth;
                    trailing += charWidth;
                }
                continue;
            }
            if (kind == kTokenTag) {
                bool isEnd = false, isEmpty = false;
                if (source->GetTag(isEnd, isEmpty) == kTagBr) {
                    if (!lineOpen) {
                        if (line >= maxLines)
                            return Follow(slot, record, follower, moreText, p, before);
                        OpenLine(slot, column, line, p);
                    }
                    lineOpen = true;
                    CloseLine(slot, column, x - trailing, false);
                    ++line;
                    x = trailing = 0;
                    lineOpen = false;
                }
                continue;
            }
            const String& text = source->Text();
            int32_t width = text.Length() * charWidth;
            if (lineOpen && x + width > column.width) {
                CloseLine(slot, column, x - trailing, true);
                ++line;
                x = trailing = 0;
                lineOpen = false;
            }
            if (!lineOpen) {
                if (line >= maxLines) {
                    return Follow(slot, record, follower, moreText, p, before);
                }
                OpenLine(slot, column, line, p);
                lineOpen = true;
            }
            TextRun run;
            run.x = column.x + x;
            run.y = column.y + line * lineHeight + lineHeight - 2;
            run.width = width;
            run.height = lineHeight;
            run.text = text;
            slot.contents.Append(run, p);
            x += width;
            trailing = 0;
        }
        if (lineOpen) CloseLine(slot, column, x - trailing, false);
        slot.contentHeight = (line + 1) * lineHeight + 1;
        slot.contents.SetEndPosition(layout.TextLength());
        return true;
    }

    // The alignment every line asks for (0: the page's default).
    uint32_t alignment = 0;

private:
    void OpenLine(PageSlot& slot, const Rect& column, int32_t line, uint32_t p) {
        LineRecord record;
        record.x = column.x;
        record.y = column.y + line * lineHeight;
        record.height = lineHeight;
        record.width = column.width;
        record.available = column.width;
        record.baseline = lineHeight - 2;
        record.alignment = alignment;
        slot.contents.Append(record, p);
        ++lineCount_;
    }

    // A line that wrapped continues its paragraph (it is justified); one ended by a break not.
    void CloseLine(PageSlot& slot, const Rect& column, int32_t used, bool continues) {
        LineRecord* record = slot.contents.Line(lineCount_ - 1);
        if (!record) return;
        record->freeWidth = std::max(0, column.width - used);
        if (continues) record->flags |= LineRecord::kContinues;
    }

    int32_t lineCount_ = 0;

    bool Follow(PageSlot& slot, PageRecord& record, PageRecord& follower, bool& moreText,
                uint32_t p, ByteStream& before) {
        slot.contents.SetEndPosition(p);
        follower.start = record.start == stallAt ? record.start : p;
        follower.scanState = std::move(before);
        follower.elements.Assign(record.elements);
        moreText = true;
        return true;
    }
};
