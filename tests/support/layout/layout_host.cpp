#include "support/layout/layout_host.h"

#include <cstdlib>
#include <filesystem>

#include "document/markup/html_tokenizer.h"
#include "support/document/memory_document.h"
#include "support/layout/context_canvas.h"
#include "support/layout/page_painter.h"
#include "support/layout/paging_fixtures.h"
#include "support/layout/utf8_text.h"

namespace fvt::test {

std::string PagesFolder() {
    const char* binary = std::getenv("FOLIVANT_TEST_BINARY");
    std::filesystem::path p = binary ? binary : std::filesystem::temp_directory_path().string();
    p /= "layout-pages";
    std::error_code ignored;
    std::filesystem::create_directories(p, ignored);
    return p.string();
}

struct LayoutHost::Canvas {
    Canvas(int w, int h, bool real) : canvas(NewContextCanvas(w, h, real)), width(w), height(h) {}
    ~Canvas() { DeleteContextCanvas(canvas); }
    ContextCanvas* canvas;
    int width, height;
};

LayoutHost::LayoutHost(const std::u16string& html, int32_t width, int32_t height, int32_t em,
                       bool realFonts, bool seekable, uint32_t documentKey)
    : canvas_(std::make_unique<Canvas>(width, height, realFonts)),
      traits_(documentKey == PageLayout::kNone ? nullptr
                                               : std::make_unique<FixedTraits>(documentKey)),
      doc_(seekable ? std::unique_ptr<MemoryDocument>(new SeekableDocument(html))
                    : std::make_unique<MemoryDocument>(html)),
      tokenizer_(std::make_unique<HtmlTokenizer>(true)),
      layout_(std::make_unique<PageLayout>(traits_.get())) {
    tokenizer_->Attach(doc_.get(), 0);
    // Every table is laid out, nested ones too (the tokenizer's defaults drop most).
    tokenizer_->SetTableNeedsInline(false);
    tokenizer_->SetNoNestedTable(false);
    settings_.baseFontSize = em;
    layout_->SetSource(tokenizer_.get());
    layout_->SetGraphics(CanvasContext(canvas_->canvas));
    layout_->Configure(settings_);
    Rect column{0, 0, width, height};
    layout_->SetColumns(&column, 1);
}

LayoutHost::~LayoutHost() = default;

GraphicsContext* LayoutHost::Context() {
    return CanvasContext(canvas_->canvas);
}

void LayoutHost::Reconfigure() {
    layout_->Configure(settings_);
}

bool LayoutHost::Paginate(std::vector<LaidOutPage>& pages, int maxPages) {
    pages.clear();
    contents_.clear();
    auto current = std::make_unique<PageRecord>();
    for (int i = 0; i < maxPages; ++i) {
        PageSlot slot;
        slot.record = current.get();
        auto next = std::make_unique<PageRecord>();
        bool more = false;
        if (!layout_->LayoutIntoSlot(slot, *next, more, false)) return false;
        LaidOutPage page;
        page.start = current->start;
        page.end = current->end;
        page.contentHeight = slot.contentHeight;
        page.lines = LineTexts(slot.contents, &page.lineBoxes);
        page.tables = slot.contents.KindCount(kItemTable);
        pages.push_back(page);
        auto kept = std::make_unique<BlockContents>();
        kept->MoveFrom(slot.contents);
        contents_.push_back(std::move(kept));
        if (!more) return true;
        current = std::move(next);
    }
    return true;
}

bool LayoutHost::SavePagePng(size_t i, const std::string& path) {
    if (i >= contents_.size()) return false;
    ClearCanvas(canvas_->canvas);
    PaintBlock(Context(), *contents_[i], Rect{0, 0, canvas_->width, canvas_->height},
               settings_.baseFontSize);
    return SaveCanvasPng(canvas_->canvas, path);
}

const InlineBox* LayoutHost::FirstObject(size_t i) const {
    BlockContents& b = *contents_[i];
    for (int32_t k = 0; k < b.KindCount(kItemInlineBox); ++k)
        if (b.Object(k)->object && b.Object(k)->rect.width > 0) return b.Object(k);
    return nullptr;
}

std::vector<std::string> LineTexts(const BlockContents& constBlock, std::vector<Rect>* boxes) {
    BlockContents& block = const_cast<BlockContents&>(constBlock);
    std::vector<std::string> lines;
    bool open = false;
    bool space = false;
    BlockCursor c;
    c.Init(&block, true);
    for (; !c.AtEnd(); c.Next()) {
        switch (c.Kind()) {
            case kItemLine: {
                const LineRecord* l = block.Line(c.counts[kItemLine]);
                open = l->height > 0;
                space = false;
                if (open) {
                    lines.emplace_back();
                    if (boxes) boxes->push_back(Rect{l->x, l->y, l->available - l->freeWidth, l->height});
                }
                break;
            }
            case kItemFlowMark:
                if (open && block.Mark(c.counts[kItemFlowMark])->type == kMarkSpace &&
                    block.Mark(c.counts[kItemFlowMark])->width > 0)
                    space = true;
                break;
            case kItemTextRun: {
                if (!open) break;
                if (space && !lines.back().empty()) lines.back() += ' ';
                space = false;
                const String& t = block.Run(c.counts[kItemTextRun])->text;
                AppendUtf8(lines.back(), t.Data(), static_cast<size_t>(t.Length()));
                break;
            }
            case kItemInlineBox: {
                if (!open) break;
                const InlineBox* b = block.Object(c.counts[kItemInlineBox]);
                if (b->object && b->rect.width > 0) {
                    if (space && !lines.back().empty()) lines.back() += ' ';
                    space = false;
                    std::string& line = lines.back();
                    line.append("[").append(std::to_string(b->rect.width));
                    line.append("x").append(std::to_string(b->rect.height)).append("]");
                }
                break;
            }
            default:
                break;
        }
    }
    return lines;
}

}  // namespace fvt::test
