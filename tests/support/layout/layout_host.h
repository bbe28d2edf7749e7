// A layout under test: HTML text in memory, the tokenizer over it, a page layout measuring
// with the device layer's box font through a graphics context bound to a canvas, and a
// paginator that lays out every page from the first. Pages can be painted and saved as PNG.
// Needs the device layer set up (a WindowTest fixture).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/geometry.h"
#include "layout/page_layout.h"

class GraphicsContext;
class HtmlTokenizer;
class MemoryDocument;

namespace fvt::test {

struct LaidOutPage {
    uint32_t start = 0;
    uint32_t end = 0;
    int32_t contentHeight = 0;
    std::vector<std::string> lines;  // the text of each line, spaces between words
    std::vector<Rect> lineBoxes;
    int32_t tables = 0;
};

class LayoutHost {
public:
    // A page of width x height at a base font size of em pixels. A seekable document starts
    // pages anywhere, as a book does; any other is replayed from the start, as an HTML file.
    LayoutHost(const std::u16string& html, int32_t width = 240, int32_t height = 320,
               int32_t em = 12, bool realFonts = false, bool seekable = false,
               uint32_t documentKey = PageLayout::kNone);
    ~LayoutHost();

    PageLayout& Layout() { return *layout_; }
    GraphicsContext* Context();
    MemoryDocument& Document() { return *doc_; }
    LayoutSettings& Settings() { return settings_; }
    // Applies Settings() again (after a change).
    void Reconfigure();

    // Lays out pages from the first until the text ends or maxPages; false when a page
    // failed. Every page's slot is kept.
    bool Paginate(std::vector<LaidOutPage>& pages, int maxPages = 500);
    // The laid-out contents of page i of the last Paginate.
    const BlockContents& PageContents(size_t i) const { return *contents_[i]; }
    // The first object on page i of the last Paginate that takes room on its line; null when
    // none does.
    const InlineBox* FirstObject(size_t i) const;

    // Paints page i into the canvas and writes it as a PNG; false on failure.
    bool SavePagePng(size_t i, const std::string& path);

private:
    struct Canvas;
    std::unique_ptr<Canvas> canvas_;
    std::unique_ptr<BookLayoutTraits> traits_;
    std::unique_ptr<MemoryDocument> doc_;
    std::unique_ptr<HtmlTokenizer> tokenizer_;
    std::unique_ptr<PageLayout> layout_;
    LayoutSettings settings_;
    std::vector<std::unique_ptr<BlockContents>> contents_;
};

// The folder pages are written to for looking at: layout-pages/ beside the test binary
// (FOLIVANT_TEST_BINARY), else in the temporary folder; created when missing.
std::string PagesFolder();

// The text of a line of a laid-out block: its runs with one space where spaces were.
std::vector<std::string> LineTexts(const BlockContents& block, std::vector<Rect>* boxes = nullptr);

}  // namespace fvt::test
