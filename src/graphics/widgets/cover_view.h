// The book's cover alone on the screen: the picture scaled down to fit (never enlarged),
// centred, framed, on a plain background. A tap on the picture or the next-page keys leave the
// cover for the book. Its saved state is the record "COVR" version 1.
#pragma once

#include <cstdint>

#include "core/byte_stream.h"
#include "core/geometry.h"
#include "core/ref_counted.h"
#include "graphics/core/node.h"
#include "graphics/core/reader_links.h"

class DrawingSurface;

// Fit and centring of a picture in a view, and mapping between their coordinates.
class Viewport {
public:
    static constexpr uint32_t kOneToOne = 256;

    // Sizes below 1 are not known (nothing is fitted to them).
    void SetPictureSize(int32_t width, int32_t height);
    void SetViewSize(int32_t width, int32_t height);
    Point PictureToView(Point p) const;
    Point ViewToPicture(Point v) const;
    Rect PictureRect() const;
    // The picture rectangle within (0, 0, view width, view height).
    Rect VisiblePictureRect() const;
    // The view's strips not covered by the picture: top, right, bottom, left; each false when
    // empty.
    void MarginStrips(Rect out[4], bool present[4]) const;

    bool active = false;
    bool pictureKnown = false;
    bool viewKnown = false;
    int32_t viewWidth = 0, viewHeight = 0;
    int32_t pictureWidth = 0, pictureHeight = 0;
    uint32_t zoom = kOneToOne;
    int32_t offsetX = 0, offsetY = 0;
    int32_t scaledWidth = 0, scaledHeight = 0;

private:
    void Fit();
    void Centre();
};

// The document view interface of the reader's views, as far as the cover implements it.
class DocumentView {
public:
    virtual ~DocumentView() = default;
    virtual int32_t ViewKind() const = 0;
    virtual bool RestoreState(uint32_t a, uint32_t b, ByteStream& stream) = 0;
    virtual bool SaveState(uint32_t a, uint32_t b, ByteStream& stream) = 0;
    virtual bool ContainsPoint(Point p) = 0;
    virtual bool OnTap(Point p) = 0;
    virtual Node* ViewNode() = 0;
};

class CoverView : public DocumentView, public Node {
public:
    static constexpr uint32_t kStateTag = 0x434F5652;  // "COVR"
    static constexpr uint32_t kStateVersion = 1;
    static constexpr int32_t kViewKind = 7;

    CoverView(DrawingSurface* surface, ReaderControllerLink* controller);
    ~CoverView() override;

    // Takes over the caller's reference. True (the convention of this call) when the picture
    // gave no usable size; the view then draws only its background.
    bool SetPicture(DrawablePicture* picture);
    void SetBackgroundColor(uint32_t c) { background_ = c; }
    void SetShadowFrame(bool on) { shadowFrame_ = on; }
    bool HasPicture() const { return hasPicture_; }
    const Viewport& View() const { return viewport_; }
    const Rect& Rectangle() const { return rect_; }

    // DocumentView.
    int32_t ViewKind() const override { return kViewKind; }
    bool RestoreState(uint32_t a, uint32_t b, ByteStream& stream) override;
    bool SaveState(uint32_t a, uint32_t b, ByteStream& stream) override;
    bool ContainsPoint(Point p) override { return Rect::Contains(rect_, p); }
    bool OnTap(Point p) override;
    Node* ViewNode() override { return this; }

    // Node.
    bool HandleEvent(InputEvent& event) override;
    void Redraw(const Rect* area) override;
    void ExecuteCommand(uint32_t command, uint32_t argument) override;
    bool IsCommandEnabled(uint32_t command, uint32_t argument) override;
    Rect& AdjustRect(Rect& out, const Rect& in) override;
    bool HitTest(const Rect& area) override { return Rect::Intersects(area, rect_); }
    bool GetRect(Rect& out) override {
        out = rect_;
        return true;
    }
    int32_t ZOrder() const override { return -128; }

private:
    uint32_t background_ = 0xFFFFFF;
    bool hasPicture_ = false;
    DrawingSurface* surface_;
    Rect rect_{};
    Viewport viewport_;
    ReaderControllerLink* controller_;
    bool shadowFrame_ = false;
    RefPtr<DrawablePicture> picture_;
};

// Stream encodings of geometry that go with view states: big-endian words; a colour is four
// bytes, 255 for no colour, else 0, r, g, b.
namespace ViewState {
bool WritePoint(ByteStream& s, Point p);
bool WriteRect(ByteStream& s, const Rect& r);
bool WriteColor(ByteStream& s, uint32_t c);
bool ReadPoint(ByteStream& s, Point& p);
bool ReadRect(ByteStream& s, Rect& r);
bool ReadColor(ByteStream& s, uint32_t& c);
}  // namespace ViewState
