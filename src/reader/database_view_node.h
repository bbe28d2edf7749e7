// Draws a record-set view into its window's drawing surface and passes it the window's input:
// the header with the title, the search label and field, the rows in their entry styles with
// the selected row inverted, or the no-match screen.
#pragma once

#include <cstdint>

#include "core/geometry.h"
#include "graphics/core/graphics_context.h"
#include "graphics/core/node.h"

class DatabaseView;
class String;

class DatabaseViewNode : public Node {
public:
    static constexpr int32_t kMargin = 3;
    static constexpr int32_t kFieldWidth = 300;
    // The preview pane: the lower 40% of the view, inside a frame this wide.
    static constexpr int32_t kPreviewPercent = 40;
    static constexpr int32_t kPreviewFrame = 3;

    // The view is not owned; it must outlive the node or be detached first.
    explicit DatabaseViewNode(DatabaseView* view) : view_(view) {}

    void SetFont(const FontStyle& font) { font_ = font; }
    Rect& AdjustRect(Rect& out, const Rect& in) override;
    bool GetRect(Rect& out) override {
        out = rect_;
        return true;
    }
    int32_t ZOrder() const override { return -128; }
    void Redraw(const Rect* area) override;
    // Key events go to the view (characters as their code, the rest as their key code).
    bool HandleEvent(InputEvent& event) override;

    // The list area of the last layout (below the header and search field, above the hint).
    const Rect& ListRect() const { return list_; }
    const Rect& HintRect() const { return hint_; }
    // The preview pane's frame (empty while no preview is shown) and the area inside it.
    const Rect& PreviewRect() const { return preview_; }
    Rect PreviewArea() const;
    int32_t RowHeight() const { return rowHeight_; }

private:
    void Measure(GraphicsContext& gc);
    void DrawHeader(GraphicsContext& gc);
    void DrawRows(GraphicsContext& gc);
    void DrawHint(GraphicsContext& gc);
    void DrawPreview(GraphicsContext& gc);
    void DrawCentred(GraphicsContext& gc, const String& text, int32_t y);
    // Draws the pop-ups lying over the view again.
    void RedrawCovering();
    // The visible row under the point, -1 none.
    int32_t RowAt(Point p) const;
    // A pen down selects the row under it; lifted on the same row it opens it.
    bool HandlePen(InputEvent& event);
    // Typing addressed to the page goes into its native field; true when it is used up.
    bool TypeIntoField(uint32_t code, uint16_t character);

    DatabaseView* view_;
    FontStyle font_{-12, FontStyle::kPlain, 1};
    Rect rect_{};
    Rect header_{};
    Rect field_{};
    Rect list_{};
    Rect hint_{};
    Rect preview_{};
    int32_t rowHeight_ = 1;
    int32_t lineHeight_ = 1;
    int32_t penRow_ = -1;
};
