#include "support/layout/page_painter.h"

#include "graphics/core/graphics_context.h"
#include "layout/block_contents.h"

namespace fvt::test {

namespace {

void SelectFont(GraphicsContext* gc, const PositionRecord& s, int32_t em) {
    FontStyle t;
    int32_t size = em + s.size;
    if (size < 4) size = 4;
    t.size = static_cast<int8_t>(-size);
    t.flags = static_cast<uint8_t>((s.style & 3) | FontStyle::kPlain);
    t.face = s.face == 0 ? 1 : s.face;
    gc->SetFontStyle(t);
    gc->SetTextColor(s.color & 0xFFFFFF);
}

}  // namespace

void PaintBlock(GraphicsContext* gc, BlockContents& block, const Rect& page, int32_t em) {
    if (!gc || !gc->BeginDraw(false, nullptr)) return;
    gc->SetBrushColor(0xFFFFFF);
    gc->SetPenColor(0xFFFFFF);
    gc->DrawRectangle(page, true);
    PositionRecord style;
    SelectFont(gc, style, em);
    const LineRecord* line = nullptr;
    int32_t shift = 0, perSpace = 0, spacesSeen = 0;
    bool lastSpace = true;
    BlockCursor c;
    c.Init(&block, true);
    for (; !c.AtEnd(); c.Next()) {
        switch (c.Kind()) {
            case kItemLine: {
                line = block.Line(c.counts[kItemLine]);
                shift = perSpace = spacesSeen = 0;
                lastSpace = true;
                if (line->alignment == 2) shift = line->freeWidth;
                if (line->alignment == 3) shift = line->freeWidth / 2;
                if (line->alignment == 4 && (line->flags & LineRecord::kContinues) &&
                    line->spaceCount > 1)
                    perSpace = line->freeWidth / (line->spaceCount - 1);
                break;
            }
            case kItemStyleChange:
                style = *block.Style(c.counts[kItemStyleChange]);
                SelectFont(gc, style, em);
                break;
            case kItemFlowMark:
                if (block.Mark(c.counts[kItemFlowMark])->type == kMarkSpace && !lastSpace) {
                    ++spacesSeen;
                    lastSpace = true;
                }
                break;
            case kItemTextRun: {
                const TextRun* run = block.Run(c.counts[kItemTextRun]);
                int32_t x = run->x + shift + perSpace * spacesSeen;
                gc->DrawText(run->text.Data(), run->text.Length(),
                             Point{x, run->y - gc->FontAscent()});
                lastSpace = false;
                break;
            }
            case kItemInlineBox: {
                InlineBox* b = block.Object(c.counts[kItemInlineBox]);
                if (b->object && b->rect.width > 0) {
                    Rect r = b->rect;
                    r.x += shift + perSpace * spacesSeen;
                    b->object->Draw(gc, r, nullptr);
                }
                lastSpace = false;
                break;
            }
            case kItemCell: {
                const CellRecord* cell = block.Cell(c.counts[kItemCell]);
                if (cell->rect.width > 0) {
                    gc->SetPenColor(0x808080);
                    gc->DrawRectangle(cell->rect, false);
                }
                break;
            }
            default:
                break;
        }
    }
    (void)line;
    gc->EndDraw();
}

}  // namespace fvt::test
