// What page drawing draws on. The page code speaks only of rectangles, lines, text at a
// baseline and inline objects; GraphicsPageCanvas puts that on a GraphicsContext, and tests
// record it, so that what a page draws can be read as a list.
#pragma once

#include <cstdint>
#include <memory>

#include "core/geometry.h"
#include "graphics/core/text_piece.h"

class Area;
class GraphicsContext;
class InlineObject;
class String;
struct IconHost;
namespace TableScroll {
class TableIcons;
}

struct CanvasFont {
    int32_t size = 12;  // pixels
    uint8_t flags = 0;  // 1 bold, 2 italic, 4 underline, 8 strike
    uint8_t face = 0;
};

// A string placed by its baseline at its left end (`at`), one of several DrawTexts draws: as
// the graphics context takes it, so that a line's words reach it without a copy.
using CanvasText = TextPiece;

class PageCanvas {
public:
    // The drawing bracket: false when nothing can be drawn (End is then not called).
    virtual bool Begin() = 0;
    virtual void End() = 0;
    virtual void FillRect(const Rect& r, uint32_t colour) = 0;
    virtual void DrawLine(Point from, Point to, uint32_t colour) = 0;
    virtual void SetFont(const CanvasFont& font) = 0;
    // Text and underlines are placed by the baseline at their left end.
    virtual void DrawText(const String& text, Point baseline, uint32_t colour) = 0;
    // Strings in the current font and one colour: what DrawText of each, in order, draws.
    virtual void DrawTexts(const CanvasText* texts, int32_t count, uint32_t colour);
    virtual void DrawUnderline(Point baseline, int32_t width, uint32_t colour) = 0;
    virtual bool DrawObject(InlineObject* object, const Rect& r, const Rect* clip) = 0;
    // Null: no clip.
    virtual void SetClip(const Rect* r) = 0;
    // A mark, drawn by inverting (drawing it twice restores the page).
    virtual void DrawArea(const Area& area, bool highlight) = 0;
    // The program's icons (the table arrows 222 and 223): a canvas without them draws none.
    virtual bool IconSize(uint16_t /*id*/, Size& /*out*/) { return false; }
    virtual void DrawIcon(uint16_t /*id*/, const Rect& /*r*/, const Rect* /*clip*/) {}

protected:
    ~PageCanvas() = default;
};

// A canvas over a graphics context (not owned).
class GraphicsPageCanvas : public PageCanvas {
public:
    explicit GraphicsPageCanvas(GraphicsContext* gc);
    ~GraphicsPageCanvas();
    GraphicsPageCanvas(const GraphicsPageCanvas&) = delete;
    GraphicsPageCanvas& operator=(const GraphicsPageCanvas&) = delete;
    // Where the icons come from; without a host the canvas has none.
    void SetIconHost(const IconHost& host);
    bool Begin() override;
    void End() override;
    void FillRect(const Rect& r, uint32_t colour) override;
    void DrawLine(Point from, Point to, uint32_t colour) override;
    void SetFont(const CanvasFont& font) override;
    void DrawText(const String& text, Point baseline, uint32_t colour) override;
    void DrawTexts(const CanvasText* texts, int32_t count, uint32_t colour) override;
    void DrawUnderline(Point baseline, int32_t width, uint32_t colour) override;
    bool DrawObject(InlineObject* object, const Rect& r, const Rect* clip) override;
    void SetClip(const Rect* r) override;
    void DrawArea(const Area& area, bool highlight) override;
    bool IconSize(uint16_t id, Size& out) override;
    void DrawIcon(uint16_t id, const Rect& r, const Rect* clip) override;

private:
    Point TextTop(Point baseline);

    GraphicsContext* gc_;
    std::unique_ptr<TableScroll::TableIcons> icons_;
};
