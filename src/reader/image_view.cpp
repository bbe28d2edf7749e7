#include "reader/image_view.h"

#include "graphics/core/command_ids.h"
#include "graphics/core/graphics_context.h"
#include "layout/inline_objects.h"
#include "platform/gdi.h"
#include "reader/reader_controller.h"

namespace {

// Direction events 1-8 as (dx, dy) pen steps.
constexpr Point kDirections[9] = {{0, 0},  {0, 1},  {0, -1}, {1, 0},  {-1, 0},
                                  {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};

}  // namespace

ImageView::ImageView(DrawSurface* surface, ReaderController* controller, int32_t imageNumber)
    : surface_(surface), controller_(controller), imageNumber_(imageNumber), bitmap_(surface) {}

bool ImageView::LoadImage(ImageData* image) {
    // A picture that breaks off shows what was decoded of it, marked; one of which nothing
    // decoded is not shown at all (the opener says it could not open it).
    loaded_ = image && bitmap_.Load(image) && bitmap_.Width() > 0 && bitmap_.Height() > 0 &&
              (bitmap_.Whole() || bitmap_.AnyDecoded());
    partial_ = loaded_ && !bitmap_.Whole();
    if (!loaded_) {
        bitmap_.Release();
        return true;
    }
    viewport_.SetImageSize(static_cast<int32_t>(bitmap_.Width()),
                           static_cast<int32_t>(bitmap_.Height()));
    return !viewport_.imageKnown;
}

Rect& ImageView::AdjustRect(Rect& out, const Rect& in) {
    rect_ = in;
    viewport_.SetViewSize(in.width, in.height);
    SetPlaced(true);
    out = Rect{in.x, in.y, 0, 0};
    return out;
}

void ImageView::UpdateReducedCopy() {
    if (!loaded_ || !viewport_.active) return;
    if (viewport_.penMode != ImageViewport::kPan) {
        bitmap_.ReleaseScaled();
        return;
    }
    if (viewport_.IsReduced() && !bitmap_.ScaledDC())
        bitmap_.MakeScaled(SIZE{viewport_.imageWidth, viewport_.imageHeight},
                           SIZE{viewport_.zoomedWidth, viewport_.zoomedHeight});
}

void ImageView::SetPenMode(uint32_t mode) {
    viewport_.penMode = mode;
    UpdateReducedCopy();
}

void ImageView::OnPenDown(Point p) {
    if (viewport_.penMode == ImageViewport::kZoomInAtPen)
        viewport_.ZoomAt(ImageViewport::kZoomIn, p);
    else if (viewport_.penMode == ImageViewport::kZoomOutAtPen)
        viewport_.ZoomAt(ImageViewport::kZoomOut, p);
    else
        viewport_.BeginDrag(p);
    if (viewport_.penMode != ImageViewport::kPan) {
        bitmap_.ReleaseScaled();
        Redraw(nullptr);
    } else {
        UpdateReducedCopy();
    }
}

void ImageView::OnPenMove(Point p) {
    if (viewport_.penMode != ImageViewport::kPan || !viewport_.dragValid) return;
    const Point moved = viewport_.DragTo(p);
    if (moved.x == 0 && moved.y == 0) return;
    Redraw(nullptr);
}

void ImageView::OnPenUp(Point) {
    viewport_.dragValid = false;
    if (viewport_.IsLargerThanView()) Redraw(nullptr);
}

void ImageView::PostCommand(int32_t id) {
    if (controller_) controller_->PostCommand(id);
}

bool ImageView::HandleEvent(InputEvent& event) {
    if (event.IsPen()) {
        const Point p{event.point.x - rect_.x, event.point.y - rect_.y};
        if (event.code == kPenDown) OnPenDown(p);
        else if (event.code == kPenMove) OnPenMove(p);
        else OnPenUp(p);
        return true;
    }
    const uint32_t code = event.Code();
    if (code >= kKeyUp && code <= kKeyDownRight) {
        const uint32_t mode = viewport_.penMode;
        viewport_.penMode = ImageViewport::kPan;
        viewport_.BeginDrag({0, 0});
        const Point d = kDirections[code];
        OnPenMove({8 * d.x, 8 * d.y});
        viewport_.dragValid = false;
        viewport_.penMode = mode;
        return true;
    }
    if (code == kKeyCommand) {
        const uint32_t command = event.Command();
        if (command != kNoCommand) PostCommand(static_cast<int32_t>(command));
        return true;
    }
    return false;
}

void ImageView::AfterZoom() {
    bitmap_.ReleaseScaled();
    UpdateReducedCopy();
    Redraw(nullptr);
    if (controller_) controller_->OnDeactivate();
}

void ImageView::ExecuteCommand(uint32_t command, uint32_t) {
    switch (command) {
        case Cmd::kViewZoomIn:
        case Cmd::kImageZoomIn: viewport_.ZoomAtCentre(ImageViewport::kZoomIn); break;
        case Cmd::kViewZoomOut:
        case Cmd::kImageZoomOut: viewport_.ZoomAtCentre(ImageViewport::kZoomOut); break;
        case Cmd::kImageFitToView: viewport_.FitToView(); break;
        case Cmd::kImageActualSize: viewport_.ActualSize(); break;
        case Cmd::kImageFitWidth: viewport_.FitWidth(); break;
        case Cmd::kBack: PostCommand(Cmd::kBackToOtherDocument); return;
        case Cmd::kImagePenZoomIn: SetPenMode(ImageViewport::kZoomInAtPen); return;
        case Cmd::kImagePenZoomOut: SetPenMode(ImageViewport::kZoomOutAtPen); return;
        case Cmd::kImagePan: SetPenMode(ImageViewport::kPan); return;
        default: return;
    }
    AfterZoom();
}

bool ImageView::IsCommandEnabled(uint32_t command, uint32_t) {
    if (command == Cmd::kBackToOtherDocument) return true;
    if (command < Cmd::kWindowPartFirst || command > Cmd::kWindowPartLast) return false;
    if (command == Cmd::kImageZoomIn) return viewport_.CanZoomIn();
    if (command == Cmd::kImageZoomOut) return viewport_.CanZoomOut();
    if (command == Cmd::kImageScrollable) return viewport_.IsLargerThanView();
    return true;
}

void ImageView::Redraw(const Rect* area) {
    if (area && !Rect::Intersects(*area, rect_)) return;
    DrawScope scope(this);
    GraphicsContext* gc = scope.Context();
    if (!gc) return;
    gc->SetPenColor(background_);
    gc->SetBrushColor(background_);
    if (!loaded_ || !viewport_.active) {
        gc->DrawRectangle(rect_, true);
        return;
    }
    gc->SetClipRect(rect_);
    const ImageViewport& v = viewport_;
    const Rect picture{rect_.x + v.offsetX, rect_.y + v.offsetY, v.zoomedWidth, v.zoomedHeight};
    const Rect margins[4] = {
        {rect_.x, rect_.y, picture.x - rect_.x, rect_.height},
        {picture.Right(), rect_.y, rect_.Right() - picture.Right(), rect_.height},
        {picture.x, rect_.y, picture.width, picture.y - rect_.y},
        {picture.x, picture.Bottom(), picture.width, rect_.Bottom() - picture.Bottom()},
    };
    for (const Rect& m : margins)
        if (!m.IsEmpty()) gc->DrawRectangle(m, true);
    HDC dc = gc->CurrentDC();
    if (dc) {
        if (v.factor == ImageViewport::kActualSize)
            BitBlt(dc, picture.x, picture.y, picture.width, picture.height, bitmap_.FullDC(), 0, 0,
                   SRCCOPY);
        else if (bitmap_.ScaledDC())
            BitBlt(dc, picture.x, picture.y, picture.width, picture.height, bitmap_.ScaledDC(), 0,
                   0, SRCCOPY);
        else
            StretchBlt(dc, picture.x, picture.y, picture.width, picture.height, bitmap_.FullDC(),
                       0, 0, v.imageWidth, v.imageHeight, SRCCOPY);
        if (partial_) {
            // The same grey frame and cross as a damaged picture inside a page.
            const int32_t right = picture.x + picture.width - 1;
            const int32_t bottom = picture.y + picture.height - 1;
            gc->SetPenColor(ImageObject::kPlaceholderColour);
            gc->DrawRectangle(picture, false);
            gc->DrawLine(Point{picture.x, picture.y}, Point{right, bottom});
            gc->DrawLine(Point{picture.x, bottom}, Point{right, picture.y});
        }
        // Blits go past the context, which would show only the margins it drew itself.
        Rect shown;
        Rect::Intersect(picture, rect_, shown);
        if (!shown.IsEmpty()) gc->MarkChanged(&shown);
    }
}
