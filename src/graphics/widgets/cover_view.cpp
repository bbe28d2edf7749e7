#include "graphics/widgets/cover_view.h"

#include <algorithm>
#include <iterator>

#include "core/color.h"
#include "graphics/core/drawing_surface.h"

namespace {

constexpr uint32_t kCommandLeave = 3;
constexpr uint32_t kCommandBack = 23;
constexpr uint32_t kCommandNextPage = 66;
constexpr int32_t kShadow = 5;

// The reader's commands that need no page shown: the cover leaves them to the reader
// controller, and its command test says they can act (a menu shows them enabled). Library,
// Properties, Options, Online bookstore, Annotations, Go to page, Full screen, Rotate.
constexpr uint32_t kPassedOn[] = {0, 1, 6, 9, 15, 20, 55, 74};

// What the cover does itself: leave for the text, or go back.
bool OwnCommand(uint32_t command) {
    return command == kCommandLeave || command == kCommandBack || command == kCommandNextPage;
}

}  // namespace

// ---- Viewport ---------------------------------------------------------------------------------

void Viewport::SetPictureSize(int32_t width, int32_t height) {
    pictureKnown = width >= 1 && height >= 1;
    pictureWidth = pictureKnown ? width : 0;
    pictureHeight = pictureKnown ? height : 0;
    Fit();
}

void Viewport::SetViewSize(int32_t width, int32_t height) {
    viewKnown = width >= 0 && height >= 0;
    viewWidth = viewKnown ? width : 0;
    viewHeight = viewKnown ? height : 0;
    Fit();
}

void Viewport::Fit() {
    active = pictureKnown && viewKnown;
    if (!active) return;
    const uint64_t pw = static_cast<uint32_t>(pictureWidth);
    const uint64_t ph = static_cast<uint32_t>(pictureHeight);
    const uint64_t vw = static_cast<uint32_t>(viewWidth);
    const uint64_t vh = static_cast<uint32_t>(viewHeight);
    uint64_t sx = vw * 256 / pw;
    uint64_t sy = vh * 256 / ph;
    if (pictureWidth <= viewWidth && pictureHeight <= viewHeight) {
        zoom = kOneToOne;
        scaledWidth = pictureWidth;
        scaledHeight = pictureHeight;
    } else if (sx >= sy) {
        zoom = static_cast<uint32_t>(sy);
        scaledHeight = viewHeight;
        scaledWidth = static_cast<int32_t>(pw * vh / ph);
    } else {
        zoom = static_cast<uint32_t>(sx);
        scaledWidth = viewWidth;
        scaledHeight = static_cast<int32_t>(ph * vw / pw);
    }
    Centre();
}

void Viewport::Centre() {
    auto axis = [](int32_t view, int32_t scaled, int32_t& offset) {
        offset = 0;
        if (scaled <= view) {
            offset = (view - scaled) >> 1;
            return;
        }
        offset = std::min(offset, 0);
        if (offset + scaled < view) offset = view - scaled;
    };
    axis(viewWidth, scaledWidth, offsetX);
    axis(viewHeight, scaledHeight, offsetY);
}

Point Viewport::PictureToView(Point p) const {
    Point v{offsetX, offsetY};
    if (pictureWidth != 0)
        v.x += static_cast<int32_t>(static_cast<int64_t>(scaledWidth) * p.x / pictureWidth);
    if (pictureHeight != 0)
        v.y += static_cast<int32_t>(static_cast<int64_t>(scaledHeight) * p.y / pictureHeight);
    return v;
}

Point Viewport::ViewToPicture(Point v) const {
    Point p{v.x - offsetX, v.y - offsetY};
    if (scaledWidth != 0)
        p.x = static_cast<int32_t>(static_cast<int64_t>(p.x) * pictureWidth / scaledWidth);
    if (scaledHeight != 0)
        p.y = static_cast<int32_t>(static_cast<int64_t>(p.y) * pictureHeight / scaledHeight);
    return p;
}

Rect Viewport::PictureRect() const {
    Point end = PictureToView(Point{pictureWidth, pictureHeight});
    return Rect{offsetX, offsetY, end.x - offsetX, end.y - offsetY};
}

Rect Viewport::VisiblePictureRect() const {
    Rect out;
    Rect::Intersect(PictureRect(), Rect{0, 0, viewWidth, viewHeight}, out);
    return out;
}

void Viewport::MarginStrips(Rect out[4], bool present[4]) const {
    Rect p = VisiblePictureRect();
    out[0] = Rect{0, 0, viewWidth, p.y};
    out[1] = Rect{p.Right(), p.y, viewWidth - p.Right(), p.height};
    out[2] = Rect{0, p.Bottom(), viewWidth, viewHeight - p.Bottom()};
    out[3] = Rect{0, p.y, p.x, p.height};
    for (int i = 0; i < 4; ++i) present[i] = !out[i].IsEmpty();
}

// ---- CoverView --------------------------------------------------------------------------------

CoverView::CoverView(DrawingSurface* surface, ReaderControllerLink* controller)
    : surface_(surface), controller_(controller) {}

CoverView::~CoverView() {
    picture_.Reset();
}

bool CoverView::SetPicture(DrawablePicture* picture) {
    RefPtr<DrawablePicture> given = RefPtr<DrawablePicture>::Adopt(picture);
    int32_t w = 0, h = 0;
    uint32_t extra = 0;
    // A picture without a size of at least 1 x 1 cannot be fitted (the fit divides by it).
    hasPicture_ = picture && picture->GetSize(w, h, extra) && w >= 1 && h >= 1;
    if (hasPicture_) {
        picture_.Assign(given);
        viewport_.SetPictureSize(w, h);
    }
    return !hasPicture_;
}

Rect& CoverView::AdjustRect(Rect& out, const Rect& in) {
    viewport_.SetViewSize(in.width, in.height);
    rect_ = in;
    SetPlaced(true);
    out = Rect{in.x, in.y, 0, 0};
    return out;
}

bool CoverView::HandleEvent(InputEvent& event) {
    if (event.IsPen()) {
        if (event.code != kPenDown) return false;
        return OnTap(event.point);
    }
    uint32_t c = event.Code();
    switch (c) {
        case kKeyPageDown:
        case kKeyLineDown:
        case kKeyScreenDown:
        case kKeyFocusNext:
        case kKeyFocusNextLine: ExecuteCommand(kCommandNextPage, 0); return true;
        case kKeyCommand: {
            uint32_t argument = event.Command();
            if (!controller_ || argument == kNoCommand) return true;
            if (!OwnCommand(argument))
                controller_->OnCommand(argument, 0);
            else
                ExecuteCommand(argument, 0);
            return true;
        }
        default: return false;
    }
}

bool CoverView::IsCommandEnabled(uint32_t command, uint32_t /*argument*/) {
    return OwnCommand(command) ||
           std::find(std::begin(kPassedOn), std::end(kPassedOn), command) != std::end(kPassedOn);
}

void CoverView::ExecuteCommand(uint32_t command, uint32_t /*argument*/) {
    if (!controller_) return;
    DocumentControllerLink* doc = controller_->GetDocumentController();
    if (!doc) return;
    // Both replace (and delete) this view: nothing of it is touched afterwards.
    if (command == kCommandLeave || command == kCommandNextPage)
        doc->Refresh();
    else if (command == kCommandBack)
        doc->HistoryBack();
}

bool CoverView::OnTap(Point p) {
    Rect picture = viewport_.VisiblePictureRect();
    picture.x += rect_.x;
    picture.y += rect_.y;
    if (hasPicture_ && Rect::Contains(picture, p)) ExecuteCommand(kCommandLeave, 0);
    return true;
}

void CoverView::Redraw(const Rect* area) {
    if (area && !Rect::Intersects(*area, rect_)) return;
    GraphicsContext* gc = surface_ ? surface_->BeginDraw(false, nullptr) : nullptr;
    if (!gc) return;
    gc->SetPenColor(background_);
    gc->SetBrushColor(background_);
    gc->DrawRectangle(rect_, true);
    if (picture_ && hasPicture_) {
        gc->SetClipRect(rect_);
        Rect p = viewport_.VisiblePictureRect();
        p.x += rect_.x;
        p.y += rect_.y;
        if (!shadowFrame_) {
            gc->SetPenColor(0);
            gc->DrawRectangle(p, false);
            Rect::Inset(p, 1, 1);
        } else {
            p.width += kShadow;
            p.height += kShadow;
            // Shrinks until it fits; a view too small for any frame draws none.
            while (!Rect::MoveInside(p, rect_)) {
                --p.width;
                --p.height;
                if (p.width < 1 || p.height < 1) break;
            }
            uint32_t colour = background_;
            for (int i = 0; i < kShadow && p.width > kShadow && p.height > kShadow; ++i) {
                uint8_t r, g, b;
                Color::Unpack(colour, r, g, b);
                colour = Color::Pack(static_cast<uint8_t>(r - r / 4), static_cast<uint8_t>(g - g / 4),
                                     static_cast<uint8_t>(b - b / 4));
                gc->SetPenColor(colour);
                Rect outline{p.x + kShadow + i, p.y + kShadow + i, p.width - kShadow - 2 * i,
                             p.height - kShadow - 2 * i};
                if (!outline.IsEmpty()) gc->DrawRectangle(outline, false);
            }
            p.width -= kShadow;
            p.height -= kShadow;
        }
        if (!p.IsEmpty()) picture_->Draw(*gc, p, 0);
        gc->ResetClip();
        gc->MarkChanged(&rect_);
    }
    surface_->EndDraw();
}

bool CoverView::SaveState(uint32_t /*a*/, uint32_t /*b*/, ByteStream& stream) {
    if (!stream.Reserve(stream.Size() + 8)) return false;
    stream.WriteWord32BE(kStateTag);
    stream.WriteWord32BE(kStateVersion);
    return true;
}

bool CoverView::RestoreState(uint32_t /*a*/, uint32_t /*b*/, ByteStream& stream) {
    if (stream.Remaining() < 8) return false;
    uint32_t words[2];
    if (!stream.ReadWords32BE(words, 2)) return false;
    return words[0] == kStateTag && words[1] == kStateVersion;
}

// ---- View-state encodings ---------------------------------------------------------------------

bool ViewState::WritePoint(ByteStream& s, Point p) {
    uint32_t w[2] = {static_cast<uint32_t>(p.x), static_cast<uint32_t>(p.y)};
    return s.WriteWords32BE(w, 2);
}

bool ViewState::WriteRect(ByteStream& s, const Rect& r) {
    return WritePoint(s, Point{r.x, r.y}) && WritePoint(s, Point{r.width, r.height});
}

bool ViewState::WriteColor(ByteStream& s, uint32_t c) {
    uint8_t bytes[4] = {0, 0, 0, 0};
    if (Color::IsNone(c))
        bytes[0] = 255;
    else
        Color::Unpack(c, bytes[1], bytes[2], bytes[3]);
    return s.WriteBytes(bytes, 4);
}

bool ViewState::ReadPoint(ByteStream& s, Point& p) {
    uint32_t w[2];
    if (!s.ReadWords32BE(w, 2)) return false;
    p = Point{static_cast<int32_t>(w[0]), static_cast<int32_t>(w[1])};
    return true;
}

bool ViewState::ReadRect(ByteStream& s, Rect& r) {
    Point a, b;
    if (!ReadPoint(s, a) || !ReadPoint(s, b)) return false;
    r = Rect{a.x, a.y, b.x, b.y};
    return true;
}

bool ViewState::ReadColor(ByteStream& s, uint32_t& c) {
    uint8_t bytes[4];
    if (!s.ReadBytes(bytes, 4)) return false;
    c = bytes[0] != 0 ? Color::kNone : Color::Pack(bytes[1], bytes[2], bytes[3]);
    return true;
}
