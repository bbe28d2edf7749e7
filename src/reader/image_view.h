// One picture of a book full screen, with zoom and panning (view kind 3). The document
// controller makes it for a "$n" location, loads the picture and gives it the settings'
// background colour and the page to return to; it routes view commands, pen and key events here.
//
// Re-entrancy: Back and the commands an event carries may replace (delete) this view, so they
// are posted to the reader controller's queue and run after the handler has returned.
#pragma once

#include <cstdint>

#include "core/byte_stream.h"
#include "core/geometry.h"
#include "graphics/core/node.h"
#include "media/image/image_bitmap.h"
#include "reader/image_viewport.h"

class ReaderController;

class ImageView : public Node {
public:
    static constexpr int32_t kViewKind = 3;

    // The surface makes the bitmaps compatible with the screen (null: no bitmap can be made).
    ImageView(DrawSurface* surface, ReaderController* controller, int32_t imageNumber);
    ~ImageView() override = default;

    // True on failure (the controller then shows message 5029): no data, no bitmap, or a
    // picture of no size.
    bool LoadImage(ImageData* image);
    void SetBackgroundColor(uint32_t c) { background_ = c; }
    void SetPageNumber(int32_t page) { pageNumber_ = page; }
    int32_t PageNumber() const { return pageNumber_; }
    int32_t ImageNumber() const { return imageNumber_; }
    void SetPenMode(uint32_t mode);
    bool IsLoaded() const { return loaded_; }
    const ImageViewport& Viewport() const { return viewport_; }
    const Rect& Rectangle() const { return rect_; }
    bool HasReducedCopy() const { return bitmap_.ScaledDC() != nullptr; }

    // The "IMVW" record; restoring a bad record changes nothing.
    bool SaveState(ByteStream& s) const { return ImageViewState::Write(s, pageNumber_); }
    bool RestoreState(ByteStream& s) { return ImageViewState::Read(s, pageNumber_); }

    // Pen events in view coordinates (relative to the view rectangle).
    void OnPenDown(Point p);
    void OnPenMove(Point p);
    void OnPenUp(Point p);

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
    void UpdateReducedCopy();
    void AfterZoom();
    void PostCommand(int32_t id);

    DrawSurface* surface_;
    ReaderController* controller_;
    int32_t imageNumber_;
    uint32_t background_ = 0xFFFFFF;
    bool loaded_ = false;
    bool partial_ = false;  // decoded in part: shown with the crossed frame
    Rect rect_{};
    ImageViewport viewport_;
    int32_t pageNumber_ = 0;
    ImageBitmap bitmap_;
};
