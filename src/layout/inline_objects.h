// Replaced content in the flow: pictures (read from a data handle, probed for their size and
// kind, decoded and drawn on demand), horizontal rules, and an invisible object that logs
// items once per laid-out page. All are counted InlineObjects held by an InlineBox.
#pragma once

#include <cstdint>
#include <memory>

#include "core/geometry.h"
#include "core/ref_counted.h"
#include "core/string.h"
#include "document/location/location.h"
#include "document/sources/layout_services.h"

class DataHandle;
class IconImage;
class KeptPicture;
class Resource;
struct IconHost;
class SortedRecordDatabase;

// Opens the bytes of a picture named by a location (the document loader implements it).
class ImageDataOpener {
public:
    // A new reference, or null.
    virtual DataHandle* OpenImageData(const Location& location) = 0;

protected:
    ~ImageDataOpener() = default;
};

class ImageObject : public InlineObject {
public:
    static constexpr uint8_t kKindMask = 0x07;  // 1 GIF, 2 BMP, 3 JPEG
    static constexpr uint8_t kJpeg = 0x08;
    static constexpr uint8_t kScaledDown = 0x20;

    // Takes a reference to the source and probes it; null when the header is not a GIF, BMP or
    // JPEG picture of a size the decoder accepts.
    static ImageObject* Create(DataHandle* source);
    // A picture in record `index` of the book behind the resource; its location is the
    // book's with the anchor "$index".
    static ImageObject* FromRecord(Resource* book, const Location* bookLocation, int32_t index);
    // A picture named by SRC relative to the base; a record index other than -1 becomes a
    // "$" anchor. An "oeb:fvt_iconlib$id" location gives the program's icon of that id (with
    // icons; no opener is needed for it).
    static ImageObject* FromLocation(ImageDataOpener* opener, const String& source,
                                     const Location* base, int32_t recordIndex,
                                     const IconHost* icons = nullptr);
    // The program's icon of that resource id, in the size that suits the host's screen; null
    // for -1 and for an id without an icon.
    static ImageObject* IconById(const IconHost& host, int32_t id);

    bool Draw(GraphicsContext* gc, const Rect& area, const Rect* clip) override;
    bool MeasureSimple(Size& size, uint8_t& flag) override;
    void SetRect(const Rect& rect, uint32_t colour) override;
    void FitSize(Size& size) override;
    bool SetDisplay(const Size& size, bool decoded) override;
    bool IsScaledDown() override { return (flags_ & kScaledDown) != 0; }
    void Activate(InlineObjectHost* host) override;
    bool GetLocationText(String* out) override;
    bool IsJpeg() override { return (flags_ & kJpeg) != 0; }

    int32_t NaturalWidth() const { return width_; }
    int32_t NaturalHeight() const { return height_; }
    uint8_t Flags() const { return flags_; }
    const Rect& Placement() const { return placement_; }
    Location& GetLocation() { return location_; }
    // The picture's data (for a view that decodes it itself); null for an icon.
    DataHandle* Source() const { return source_.Get(); }
    const IconImage* Icon() const { return icon_.get(); }
    // The grey of the frame and cross a damaged picture is drawn with, wherever it shows.
    static constexpr uint32_t kPlaceholderColour = 0x808080;

private:
    ImageObject();
    ~ImageObject() override;
    bool Probe();
    void DrawPlaceholder(GraphicsContext* gc, const Rect& area, const Rect* clip);
    // The picture decoded for drawing, made on the first draw.
    std::unique_ptr<KeptPicture> kept_;

    int32_t width_ = 0;
    int32_t height_ = 0;
    uint8_t flags_ = 0;
    RefPtr<DataHandle> source_;
    std::unique_ptr<IconImage> icon_;
    Location location_;
    bool hasLocation_ = false;
    Rect placement_{};
    // The colour it stands on, given with its place; none before.
    static constexpr uint32_t kNoBackground = 0xFFFFFFFFu;
    uint32_t background_ = kNoBackground;
    Size display_{};
};

class HorizontalRule : public InlineObject {
public:
    static constexpr uint32_t kDefaultWidth = 0x2000005Fu;  // 95 percent

    bool Draw(GraphicsContext* gc, const Rect& area, const Rect* clip) override;
    // Takes the whole line (the layout narrows it to the column), 4 pixels high.
    bool MeasureSimple(Size& size, uint8_t& flag) override;
    void SetColour(uint32_t colour);
    void SetWidth(uint32_t length) { width_ = length; }
    uint32_t Width() const { return width_; }
    uint32_t Light() const { return light_; }
    uint32_t Dark() const { return dark_; }
    // The drawn length in a rectangle that wide: never below 0 nor past the rectangle.
    int32_t LengthIn(int32_t areaWidth) const;

private:
    uint32_t width_ = kDefaultWidth;
    uint32_t light_ = 0x808080;
    uint32_t dark_ = 0x404040;
};

// Adds its items to the log the first time it is drawn; later draws of the same laid-out page
// add nothing.
class LogItemObject : public InlineObject {
public:
    LogItemObject(const String& items, SortedRecordDatabase* log) : items_(items), log_(log) {}
    bool Draw(GraphicsContext* gc, const Rect& area, const Rect* clip) override;
    bool MeasureSimple(Size& size, uint8_t& flag) override;
    bool Logged() const { return logged_; }

private:
    String items_;
    SortedRecordDatabase* log_;
    bool logged_ = false;
};
