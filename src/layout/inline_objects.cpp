#include "layout/inline_objects.h"

#include "bookfiles/sorted_record_database.h"
#include "core/color.h"
#include "database/resource.h"
#include "document/markup/length.h"
#include "graphics/core/graphics_context.h"
#include "media/image/icon_image.h"
#include "media/image/image_decoder.h"

// ---- ImageObject ---------------------------------------------------------------------------

ImageObject::ImageObject() = default;

ImageObject::~ImageObject() = default;

ImageObject* ImageObject::Create(DataHandle* source) {
    if (!source) return nullptr;
    RefPtr<ImageObject> image = RefPtr<ImageObject>::Adopt(new ImageObject());
    image->source_.Assign(source);
    if (!image->Probe()) return nullptr;
    return image.TakePointer();
}

bool ImageObject::Probe() {
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    if (!source_->GetData(data, length) || !data) return false;
    ImageDecoder decoder;
    bool ok = decoder.Open(data, length, true);
    int type = decoder.Type();
    source_->DropData();
    // The decoder refuses zero and oversize dimensions, so no later division sees a zero.
    if (!ok || (type != ImageDecoder::kGif && type != ImageDecoder::kBmp &&
                type != ImageDecoder::kJpeg))
        return false;
    if (decoder.Width() == 0 || decoder.Height() == 0 || decoder.Width() > 0xFFFF ||
        decoder.Height() > 0xFFFF)
        return false;
    flags_ = static_cast<uint8_t>(type);
    if (type == ImageDecoder::kJpeg) flags_ |= kJpeg;
    width_ = static_cast<int32_t>(decoder.Width());
    height_ = static_cast<int32_t>(decoder.Height());
    return true;
}

ImageObject* ImageObject::FromRecord(Resource* book, const Location* bookLocation,
                                     int32_t index) {
    if (!book || index < 0) return nullptr;
    RefPtr<DataHandle> data = RefPtr<DataHandle>::Adopt(book->OpenDataByIndex(index, nullptr));
    ImageObject* image = Create(data.Get());
    if (!image) return nullptr;
    if (bookLocation) {
        image->location_.CopyFrom(*bookLocation);
        image->hasLocation_ = image->location_.SetDollarAnchor(static_cast<uint32_t>(index));
    }
    return image;
}

ImageObject* ImageObject::IconById(const IconHost& host, int32_t id) {
    if (id < 0 || id > 0xFFFF) return nullptr;
    std::unique_ptr<IconImage> icon(IconImage::Create(host, static_cast<WORD>(id)));
    if (!icon) return nullptr;
    SIZE size{};
    bool scalable = false;
    if (!icon->GetSize(&size, &scalable) || size.cx <= 0 || size.cy <= 0) return nullptr;
    ImageObject* image = new ImageObject();
    image->width_ = size.cx;
    image->height_ = size.cy;
    image->icon_ = std::move(icon);
    return image;
}

ImageObject* ImageObject::FromLocation(ImageDataOpener* opener, const String& source,
                                       const Location* base, int32_t recordIndex,
                                       const IconHost* icons) {
    Location location;
    if (!location.Resolve(source, base)) return nullptr;
    if (recordIndex != -1 && !location.SetDollarAnchor(static_cast<uint32_t>(recordIndex)))
        return nullptr;
    if (location.IsIconLibrary()) {
        ImageObject* icon = icons ? IconById(*icons, location.IconId()) : nullptr;
        if (icon) {
            icon->location_.CopyFrom(location);
            icon->hasLocation_ = true;
        }
        return icon;
    }
    if (!opener) return nullptr;
    RefPtr<DataHandle> data = RefPtr<DataHandle>::Adopt(opener->OpenImageData(location));
    ImageObject* image = Create(data.Get());
    if (!image) return nullptr;
    image->location_.CopyFrom(location);
    image->hasLocation_ = true;
    return image;
}

bool ImageObject::Draw(GraphicsContext* gc, const Rect& area, const Rect* clip) {
    if (gc && icon_) {
        gc->DrawIcon(area, clip ? *clip : area, icon_->Icon(), Size{width_, height_});
        return true;
    }
    if (!gc || !source_) return false;
    // Transparent pixels show what the picture stands on: the page's (or its cell's) colour.
    struct Brush {
        GraphicsContext* gc;
        uint32_t saved;
        ~Brush() { gc->SetBrushColor(saved); }
    } brush{gc, gc->BrushColor()};
    if (background_ != kNoBackground && !Color::IsNone(background_))
        gc->SetBrushColor(background_);
    // Decoded once for a size and background; later draws copy the kept picture.
    if (kept_ && gc->DrawKeptImage(area, clip ? *clip : area, *kept_)) return true;
    if (!kept_) kept_ = std::make_unique<KeptPicture>();
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    bool ok = source_->GetData(data, length) && data &&
              gc->DrawImage(area, clip ? *clip : area, data, length, kept_.get(), true);
    if (data) source_->DropData();
    if (!ok) DrawPlaceholder(gc, area, clip);
    return ok;
}

void ImageObject::DrawPlaceholder(GraphicsContext* gc, const Rect& area, const Rect* clip) {
    // A picture cut short or damaged still shows where it stands: a grey frame and a cross,
    // so that a page of nothing but that picture is not taken for a blank one.
    Rect shown = area;
    if (clip && !Rect::Intersect(area, *clip, shown)) return;
    if (shown.width < 2 || shown.height < 2) return;
    const uint32_t pen = gc->PenColor();
    gc->SetPenColor(kPlaceholderColour);
    gc->DrawRectangle(shown, false);
    if (shown == area) {
        const int32_t right = area.x + area.width - 1, bottom = area.y + area.height - 1;
        gc->DrawLine(Point{area.x, area.y}, Point{right, bottom});
        gc->DrawLine(Point{area.x, bottom}, Point{right, area.y});
    }
    gc->SetPenColor(pen);
}

bool ImageObject::MeasureSimple(Size& size, uint8_t& flag) {
    size = Size{width_, height_};
    flag = 1;
    return source_ || icon_ != nullptr;
}

void ImageObject::SetRect(const Rect& rect, uint32_t colour) {
    placement_ = rect;
    background_ = colour;
}

void ImageObject::FitSize(Size& size) {
    if (width_ <= 0 || height_ <= 0) return;
    int64_t w = size.width, h = size.height;
    if (w * height_ > h * width_)
        size.width = static_cast<int32_t>(h * width_ / height_);
    else
        size.height = static_cast<int32_t>(w * height_ / width_);
}

bool ImageObject::SetDisplay(const Size& size, bool decoded) {
    display_ = size;
    flags_ &= static_cast<uint8_t>(~kScaledDown);
    if (!decoded && (size.width < width_ || size.height < height_)) flags_ |= kScaledDown;
    return IsScaledDown();
}

void ImageObject::Activate(InlineObjectHost* host) {
    String text;
    if (host && IsScaledDown() && GetLocationText(&text)) host->OpenLink(text);
}

bool ImageObject::GetLocationText(String* out) {
    if (!hasLocation_ || location_.IsInternal()) return false;
    if (!out) return true;
    return location_.ToStringWithAnchor(*out);
}

// ---- HorizontalRule ------------------------------------------------------------------------

int32_t HorizontalRule::LengthIn(int32_t areaWidth) const {
    if (areaWidth <= 0) return 0;
    int32_t length = Length::Resolve(width_, 1, areaWidth);
    if (length < 0) return 0;
    return length > areaWidth ? areaWidth : length;
}

bool HorizontalRule::Draw(GraphicsContext* gc, const Rect& area, const Rect* /*clip*/) {
    if (!gc) return false;
    int32_t length = LengthIn(area.width);
    int32_t margin = (area.width - length) / 2;
    int32_t y = area.y + area.height / 2;
    gc->SetPenColor(light_);
    gc->DrawLine(Point{area.x + margin, y}, Point{area.x + area.width - margin, y});
    gc->SetPenColor(dark_);
    gc->DrawLine(Point{area.x + margin + 1, y + 1}, Point{area.x + area.width - margin + 1, y + 1});
    return true;
}

bool HorizontalRule::MeasureSimple(Size& size, uint8_t& flag) {
    size = Size{0x0FFFFFFF, 4};
    flag = 1;
    return true;
}

void HorizontalRule::SetColour(uint32_t colour) {
    light_ = colour & 0xFFFFFF;
    uint32_t r = (colour & 0xFF) >> 1;
    uint32_t g = ((colour >> 8) & 0xFF) >> 1;
    uint32_t b = ((colour >> 16) & 0xFF) >> 1;
    dark_ = r | g << 8 | b << 16;
}

// ---- LogItemObject -------------------------------------------------------------------------

bool LogItemObject::Draw(GraphicsContext* /*gc*/, const Rect& /*area*/, const Rect* /*clip*/) {
    if (logged_) return true;
    if (!log_) return false;
    log_->AddItemList(items_.Data(), static_cast<size_t>(items_.Length()));
    logged_ = true;
    return true;
}

bool LogItemObject::MeasureSimple(Size& size, uint8_t& flag) {
    size = Size{};
    flag = 0;
    return true;
}
