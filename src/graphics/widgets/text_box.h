// The rich-text box of pop-ups, notes, lookup results and database views: styled runs of text,
// some of them links, word-wrapped into lines. A box may choose its own size so the text forms a
// pleasant block, accepts about as much text as its maximum rectangle holds, elides lines that
// still do not fit with " [...]" (keeping the lines of "kept" runs), records where each link was
// drawn, and lets keys step through the links and activate one.
//
// Calling order: construct; Clear; SetMaxRect; AddRun until it answers true or the text ends;
// then the parent lays the box out (AdjustRect or GetSize) and draws it (Redraw).
//
// Re-entrancy: closing the pop-up and performing a link may destroy the box; ActivateLink copies
// what it needs first and touches nothing of the box afterwards.
#pragma once

#include <cstdint>
#include <vector>

#include "core/ref_counted.h"
#include "core/segmented_array.h"
#include "core/string.h"
#include "graphics/core/graphics_context.h"
#include "graphics/core/node.h"
#include "graphics/widgets/area.h"

class LinkTarget;

// What a text box needs of its owner, the window's document controller (which implements it).
class TextBoxOwner {
public:
    // Performs a link target at a point of the window (root coordinates).
    virtual void PerformAction(LinkTarget* target, Point point) = 0;
    // The reader settings' font size, and their display face (0 when there are no settings).
    virtual int8_t FontSize() = 0;
    virtual uint8_t DisplayFace() = 0;

protected:
    ~TextBoxOwner() = default;
};

// The font style shared by the text box and the list part of the list pop-up.
class TextBoxBase : public Node {
public:
    static constexpr uint8_t kStyleFlags = 128;

    explicit TextBoxBase(TextBoxOwner* settings) : settings_(settings) {}

    void OnFocusChanged(bool gained) override;
    bool IsModal() const override { return Parent() ? Parent()->IsModal() : false; }

    virtual ::Size GetSize() = 0;
    virtual void SetBackgroundColor(uint32_t /*colour*/) {}
    virtual void SetTextColor(uint32_t /*colour*/) {}
    virtual int32_t LinkCount() { return -1; }
    // Face 0 takes the settings' display face (1 without settings); the flags become 128.
    virtual void SetStyle(int8_t size, uint8_t face);
    virtual const FontStyle& Style() const { return style_; }

    void SetMaxRect(const Rect& r) { maxRect_ = r; }
    const Rect& MaxRect() const { return maxRect_; }

protected:
    FontStyle style_{};
    TextBoxOwner* settings_;
    Rect maxRect_{};
};

class TextBox : public TextBoxBase {
public:
    // Run style bits.
    static constexpr uint32_t kBold = 1;
    static constexpr uint32_t kItalic = 2;
    static constexpr uint32_t kLink = 4;  // underlined, in the link colour
    static constexpr uint32_t kKeep = 16;
    static constexpr uint32_t kClassMask = 224;
    static constexpr uint32_t kRight = 64;
    static constexpr uint32_t kCentre = 128;
    static constexpr uint32_t kLinkColour = 0x840000;  // (0, 0, 132)
    static constexpr uint32_t kNoStyle = 8;
    static constexpr int32_t kNone = -1;
    enum FrameMode : uint32_t { kFilled = 0, kLineBelow = 1, kLineAbove = 2, kGivenWidth = 3 };

    TextBox(TextBoxOwner* owner, bool fixedWidth);
    ~TextBox() override;

    void Clear();
    // Appends a run; true when it was refused (the box is full) or memory ran out: the caller
    // stops adding then. link may be null.
    bool AddRun(const String& text, uint32_t style, LinkTarget* link);
    void ReapplyStyle() { SetStyle(Style().size, Style().face); }
    void ActivateLink(int32_t index, Point point);

    // Fields the owning pop-up or view sets directly.
    void SetFrame(uint32_t mode, uint32_t colour) {
        frameMode_ = mode;
        frameColour_ = colour;
    }
    void SetMargins(int32_t horizontal, int32_t vertical) {
        hMargin_ = horizontal;
        vMargin_ = vertical;
    }
    void SetPassive(bool passive) { passive_ = passive; }

    // Node slots.
    bool HandleEvent(InputEvent& event) override;
    void Redraw(const Rect* area) override;
    Rect& AdjustRect(Rect& out, const Rect& in) override;
    bool HitTest(const Rect& area) override { return Rect::Intersects(placed_, area); }
    bool GetRect(Rect& out) override {
        out = placed_;
        return true;
    }
    int32_t ZOrder() const override { return -128; }
    ::Size GetSize() override;
    void SetBackgroundColor(uint32_t colour) override { background_ = colour; }
    void SetTextColor(uint32_t colour) override { textColour_ = colour; }
    int32_t LinkCount() override { return areas_.Count(); }
    virtual bool CanRedraw() { return true; }

    // What the last measurement found, for the owners and the tests.
    const Rect& Placed() const { return placed_; }
    int32_t RunCount() const { return texts_.Count(); }
    uint32_t LineCount() const { return lineCount_; }
    int32_t HeadLines() const { return headLines_; }
    int32_t TailStart() const { return tailStart_; }
    int32_t LayoutWidth() const { return layoutWidth_; }
    int32_t CurrentLink() const { return currentLink_; }
    uint32_t TextArea() const { return static_cast<uint32_t>(textArea_); }
    uint32_t AverageGlyphArea() const { return avgArea_; }
    bool IsLaidOut() const { return laidOut_; }
    bool LinksPlaced() const { return linksPlaced_; }
    Area* LinkArea(int32_t i) { return i >= 0 && i < areas_.Count() ? areas_.At(i) : nullptr; }
    const String* RunText(int32_t i) const { return texts_.Get(i); }

    // One piece of a line: characters [first, first + count) of a run, and their size.
    struct Piece {
        int32_t run;
        int32_t first;
        int32_t count;
        int32_t width;
        int32_t height;
    };
    struct Position {
        int32_t run = 0;
        int32_t ch = 0;
    };
    struct Line {
        int32_t width = 0;
        int32_t height = 0;
        bool kept = false;
        bool clipped = false;
        uint32_t lineClass = 0;
    };
    // Breaks one line from pos (advanced past it) at width limit; false when the text had
    // ended (no line). Pieces are appended to out when given.
    bool NextLine(GraphicsContext* gc, Position& pos, int32_t limit, int32_t previousHeight,
                  Line& line, std::vector<Piece>* out);
    // The text size for the available size; sets the line figures. Needs a context.
    ::Size Measure(GraphicsContext* gc, int32_t maxW, int32_t maxH);

    // The next n run appends succeed and the ones after fail (negative: never fail).
    static void FailAppendsAfterForTesting(int32_t n);
    void SetTextAreaForTesting(uint32_t area) { textArea_ = area; }

private:
    void ApplyRunStyle(GraphicsContext* gc, uint32_t style, bool leaveColour);
    bool MeasureAverageGlyphArea();
    bool Layout();
    void DrawLines(GraphicsContext* gc);
    bool StepLink(bool forward);
    void ClosePopup();
    void ResetLinkGeometry();

    SegArray<String, 4> texts_;
    SegArray<int32_t, 4> links_;
    SegArray<uint32_t, 4> styles_;
    AreaArray areas_;
    Rect placed_{};
    ::Size marker_{};
    int32_t layoutWidth_ = 0;
    uint32_t lineCount_ = 0;
    int32_t headLines_ = kNone;
    int32_t tailStart_ = kNone;
    uint32_t cachedStyle_ = kNoStyle;
    int32_t currentLink_ = kNone;
    uint64_t textArea_ = 0;
    uint32_t avgArea_ = 0;
    uint32_t background_ = 0xFFFFFF;
    uint32_t frameColour_ = 0xFF000000u;
    uint32_t textColour_ = 0x000000;
    int32_t hMargin_ = 3;
    int32_t vMargin_ = 3;
    // The margins in the screen's pixels, set at layout.
    int32_t hPad_ = 3;
    int32_t vPad_ = 3;
    uint32_t frameMode_ = kFilled;
    TextBoxOwner* owner_;
    bool laidOut_ = false;
    bool linksPlaced_ = false;
    bool passive_ = true;
    bool fixedWidth_;
};
