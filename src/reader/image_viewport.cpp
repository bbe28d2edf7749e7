#include "reader/image_viewport.h"

#include <algorithm>

namespace {

// Widening keeps (coordinate × size) of a large picture at 30 times from wrapping.
int32_t Scale(int64_t value, int64_t multiplier, int64_t divisor) {
    if (divisor == 0) return static_cast<int32_t>(value);
    int64_t r = value * multiplier / divisor;
    return static_cast<int32_t>(std::clamp<int64_t>(r, INT32_MIN, INT32_MAX));
}

void ClampAxis(int32_t view, int32_t zoomed, int32_t& offset) {
    if (zoomed > view) {
        offset = std::min(offset, 0);
        if (offset + zoomed < view) offset = view - zoomed;
    } else {
        offset = (view - zoomed) / 2;
    }
}

}  // namespace

void ImageViewport::UpdateActive() {
    active = imageKnown && viewKnown;
}

void ImageViewport::SetImageSize(int32_t width, int32_t height) {
    imageKnown = width >= 1 && height >= 1;
    imageWidth = imageKnown ? width : 0;
    imageHeight = imageKnown ? height : 0;
    offsetX = offsetY = 0;
    UpdateActive();
    ActualSize();
}

void ImageViewport::SetViewSize(int32_t width, int32_t height) {
    viewKnown = width >= 1 && height >= 1;
    viewWidth = viewKnown ? width : 0;
    viewHeight = viewKnown ? height : 0;
    UpdateActive();
    Clamp();
}

Point ImageViewport::ViewToImage(Point v) const {
    Point p = v;
    if (zoomedWidth != 0) p.x = Scale(int64_t{v.x} - offsetX, imageWidth, zoomedWidth);
    if (zoomedHeight != 0) p.y = Scale(int64_t{v.y} - offsetY, imageHeight, zoomedHeight);
    return p;
}

Point ImageViewport::ImageToView(Point p) const {
    Point v{offsetX, offsetY};
    if (imageWidth != 0) v.x = Scale(p.x, zoomedWidth, imageWidth) + offsetX;
    if (imageHeight != 0) v.y = Scale(p.y, zoomedHeight, imageHeight) + offsetY;
    return v;
}

void ImageViewport::SetZoomedFromFactor() {
    zoomedWidth = Scale(imageWidth, factor, kActualSize);
    zoomedHeight = Scale(imageHeight, factor, kActualSize);
}

void ImageViewport::Clamp() {
    if (!active) return;
    ClampAxis(viewWidth, zoomedWidth, offsetX);
    ClampAxis(viewHeight, zoomedHeight, offsetY);
}

void ImageViewport::ZoomAt(uint32_t multiplier, Point p) {
    if (!active) return;
    const Point anchor = ViewToImage(p);
    const uint32_t before = factor;
    const uint64_t next = uint64_t{factor} * multiplier / 256;
    if (next > kMaxFactor) return;  // the step is undone
    factor = static_cast<uint32_t>(next);
    if (factor >= 208 && factor <= 303) factor = kActualSize;
    if (factor == 0) factor = before;
    SetZoomedFromFactor();
    const Point moved = ImageToView(anchor);
    offsetX += p.x - moved.x;
    offsetY += p.y - moved.y;
    if (IsReduced() && zoomedWidth <= viewWidth && zoomedHeight <= viewHeight) {
        if (imageWidth <= viewWidth && imageHeight <= viewHeight)
            ActualSize();
        else
            FitToView();
        return;
    }
    Clamp();
}

void ImageViewport::FitToView() {
    if (!active) return;
    const int64_t a = int64_t{viewWidth} * 256 / imageWidth;
    const int64_t b = int64_t{viewHeight} * 256 / imageHeight;
    if (a >= b) {
        factor = static_cast<uint32_t>(b);
        zoomedHeight = viewHeight;
        zoomedWidth = Scale(viewHeight, imageWidth, imageHeight);
    } else {
        factor = static_cast<uint32_t>(a);
        zoomedWidth = viewWidth;
        zoomedHeight = Scale(viewWidth, imageHeight, imageWidth);
    }
    Clamp();
}

void ImageViewport::FitWidth() {
    if (!active) return;
    zoomedWidth = viewWidth;
    zoomedHeight = Scale(imageHeight, viewWidth, imageWidth);
    factor = static_cast<uint32_t>(int64_t{viewWidth} * 256 / imageWidth);
    Clamp();
}

void ImageViewport::ActualSize() {
    if (!imageKnown) return;
    factor = kActualSize;
    zoomedWidth = imageWidth;
    zoomedHeight = imageHeight;
    Clamp();
}

void ImageViewport::ActualSizeAt(Point p) {
    if (!active) return;
    const Point anchor = ViewToImage(p);
    factor = kActualSize;
    zoomedWidth = imageWidth;
    zoomedHeight = imageHeight;
    offsetX = viewWidth / 2 - anchor.x;
    offsetY = viewHeight / 2 - anchor.y;
    Clamp();
}

void ImageViewport::BeginDrag(Point p) {
    lastPen = p;
    dragValid = true;
}

Point ImageViewport::DragTo(Point p) {
    if (!active || !dragValid) return {0, 0};
    const int32_t oldX = offsetX, oldY = offsetY;
    offsetX = Scale(int64_t{offsetX} + 2 * (int64_t{p.x} - lastPen.x), 1, 1);
    offsetY = Scale(int64_t{offsetY} + 2 * (int64_t{p.y} - lastPen.y), 1, 1);
    Clamp();
    lastPen = p;
    return {offsetX - oldX, offsetY - oldY};
}

bool ImageViewport::CanZoomIn() const {
    return ((uint64_t{factor} * kZoomIn) & ~uint64_t{0xFF}) < uint64_t{kMaxFactor} * 256;
}

bool ImageViewport::CanZoomOut() const {
    return static_cast<int32_t>(factor) > static_cast<int32_t>(kActualSize) ||
           static_cast<int32_t>(factor) < 0 || IsLargerThanView();
}

namespace ImageViewState {

bool Write(ByteStream& s, int32_t pageNumber) {
    const uint32_t words[3] = {kTag, kVersion, static_cast<uint32_t>(pageNumber)};
    return s.WriteWords32BE(words, 3);
}

bool Read(ByteStream& s, int32_t& pageNumber) {
    if (s.Remaining() < 12) return false;
    const uint32_t start = s.ReadPosition();
    uint32_t words[3] = {};
    if (!s.ReadWords32BE(words, 3) || words[0] != kTag || words[1] != kVersion) {
        s.SetReadPosition(start);
        return false;
    }
    pageNumber = static_cast<int32_t>(words[2]);
    return true;
}

}  // namespace ImageViewState
