// A page canvas that records what is drawn, in order, so that tests read the page as a list.
#pragma once

#include <string>
#include <vector>

#include "core/string.h"
#include "graphics/widgets/area.h"
#include "layout/page_canvas.h"

namespace fvt::test {

struct Op {
    char kind;  // F fill, L line, T text, U underline, O object, A mark, H highlighted mark,
                // I icon (colour: its id)
    Rect rect;
    std::u16string text;
    uint32_t colour;
};

class RecordingCanvas : public PageCanvas {
public:
    bool Begin() override {
        ++depth;
        ++begins;
        return true;
    }
    void End() override { --depth; }
    void FillRect(const Rect& r, uint32_t c) override { ops.push_back({'F', r, {}, c}); }
    void DrawLine(Point a, Point b, uint32_t c) override {
        ops.push_back({'L', Rect{a.x, a.y, b.x, b.y}, {}, c});
    }
    void SetFont(const CanvasFont& f) override { size = f.size; }
    void DrawText(const String& t, Point p, uint32_t c) override {
        ops.push_back({'T', Rect{p.x, p.y, t.Length() * 6, 0},
                       std::u16string(t.Data(), static_cast<size_t>(t.Length())), c});
    }
    void DrawUnderline(Point p, int32_t w, uint32_t c) override {
        ops.push_back({'U', Rect{p.x, p.y, w, 1}, {}, c});
    }
    bool DrawObject(InlineObject*, const Rect& r, const Rect* clip) override {
        ops.push_back({'O', r, {}, 0});
        objectClips.push_back(clip ? *clip : Rect{});
        return true;
    }
    void SetClip(const Rect*) override {}
    void DrawArea(const Area& a, bool highlight) override {
        Rect r;
        a.GetBounds(r);
        ops.push_back({highlight ? 'H' : 'A', r, {}, 0});
    }
    bool IconSize(uint16_t, Size& out) override {
        out = iconSize;
        return iconSize.width > 0;
    }
    void DrawIcon(uint16_t id, const Rect& r, const Rect*) override {
        ops.push_back({'I', r, {}, id});
    }
    std::vector<Op> Of(char kind) const {
        std::vector<Op> out;
        for (const Op& o : ops)
            if (o.kind == kind) out.push_back(o);
        return out;
    }
    int depth = 0;
    int begins = 0;
    int32_t size = 0;
    // The icons' size; none (the default) means the canvas has no icons.
    Size iconSize{};
    std::vector<Op> ops;
    std::vector<Rect> objectClips;  // per object drawn; empty: none
};

}  // namespace fvt::test
