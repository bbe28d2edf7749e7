// Zoom and pan state of the full-screen image view, kept apart from the widget so that every
// rule can be checked without a screen. Sizes are pixels; the factor is in 1/256 (256 is the
// picture's own size). While the picture's or the view's size is unknown (or 0) the viewport is
// inactive and changes nothing, so no rule ever divides by a zero size.
#pragma once

#include <cstdint>

#include "core/byte_stream.h"
#include "core/geometry.h"

class ImageViewport {
public:
    static constexpr uint32_t kActualSize = 256;
    // Zooming stops below 30 times the picture's size.
    static constexpr uint32_t kMaxFactor = 7680;
    static constexpr uint32_t kZoomIn = 307;   // about 1.2
    static constexpr uint32_t kZoomOut = 204;  // about 0.8
    enum PenMode : uint32_t { kPan = 0, kZoomInAtPen = 1, kZoomOutAtPen = 2 };

    // A size below 1 in either dimension is not known.
    void SetImageSize(int32_t width, int32_t height);
    void SetViewSize(int32_t width, int32_t height);

    // Coordinate mapping; a coordinate stays as it is along an axis of zoomed size 0.
    Point ViewToImage(Point v) const;
    Point ImageToView(Point p) const;

    // Each ends with Clamp and does nothing while inactive.
    void ZoomAt(uint32_t multiplier, Point p);
    void ZoomAtCentre(uint32_t multiplier) { ZoomAt(multiplier, {viewWidth / 2, viewHeight / 2}); }
    void FitToView();
    void FitWidth();
    void ActualSize();
    void ActualSizeAt(Point p);
    void Clamp();

    // Pen drag in pan mode: the picture moves by twice the pen's step. Returns how far the
    // offset moved (after clamping).
    void BeginDrag(Point p);
    Point DragTo(Point p);

    bool IsLargerThanView() const { return zoomedWidth > viewWidth || zoomedHeight > viewHeight; }
    // Shown smaller than the picture itself (a reduced copy pays off).
    bool IsReduced() const { return zoomedWidth < imageWidth || zoomedHeight < imageHeight; }
    bool CanZoomIn() const;
    bool CanZoomOut() const;

    bool active = false;
    bool imageKnown = false;
    bool viewKnown = false;
    bool dragValid = false;
    Point lastPen{};
    int32_t viewWidth = 0, viewHeight = 0;
    int32_t imageWidth = 0, imageHeight = 0;
    uint32_t factor = kActualSize;
    int32_t offsetX = 0, offsetY = 0;
    int32_t zoomedWidth = 0, zoomedHeight = 0;
    uint32_t penMode = kPan;

private:
    void UpdateActive();
    void SetZoomedFromFactor();
};

// The image view's saved state: "IMVW", version 1, the page that was current when the view
// opened. Big-endian words.
namespace ImageViewState {
constexpr uint32_t kTag = 0x494D5657;  // "IMVW"
constexpr uint32_t kVersion = 1;
bool Write(ByteStream& s, int32_t pageNumber);
// False (nothing read, page untouched) for a short record, another tag or version.
bool Read(ByteStream& s, int32_t& pageNumber);
}  // namespace ImageViewState
