// The rotatable display surface: the widget tree draws, unrotated, into a back buffer of the
// page's logical size, and the changed parts are copied to the window turned by a quarter or half
// turn. It maps rectangles, points and direction keys between page and screen, and runs the
// auto-scroll on the window's timer 1 (the main window forwards that timer to ScrollStep).
//
// Coordinates: the changed and redraw rectangles are page coordinates. The screen-to-page
// transform is Compose(t, FromOrientation(o)) with t = (0, 1 - w) for 1, (1 - h, 0) for 2 and
// (1 - w, 1 - h) for 3 (w, h the page size); GetTransform gives its inverse.
//
// Auto-scroll replaces the device's battery idle time-out and keeps the backlight on; every way
// out of it (commands 80 and 81, another event, the end of the book, an orientation change,
// Detach, destruction) gives both back.
#pragma once

#include <cstdint>

#include "graphics/core/command_ids.h"
#include "graphics/core/graphics_context.h"
#include "graphics/core/reader_links.h"

class DrawingSurface;

class DisplaySurface final : public DisplayLink {
public:
    static constexpr uintptr_t kTimerId = 1;
    static constexpr int kInactive = 255;
    static constexpr int32_t kScrollIdleTimeout = 3600;
    static constexpr int32_t kMaxPeriod = 1000;
    static constexpr uint32_t kNotEnoughMemory = 5034;

    DisplaySurface();
    ~DisplaySurface();
    DisplaySurface(const DisplaySurface&) = delete;
    DisplaySurface& operator=(const DisplaySurface&) = delete;

    // Width and height are the page's (logical) size.
    void Attach(DrawingSurface* owner, ReaderControllerLink* controller, int32_t width,
                int32_t height, bool forced);
    void Detach();
    void FreeBuffers();
    // The window's client size changed.
    void Resize(int32_t width, int32_t height) override;

    // DisplayLink.
    bool IsActive() const override { return attached_ && active_; }
    bool HasBackBuffer() const override { return !back_.IsEmpty(); }
    HDC BufferDC() override;
    void GetTransform(Transform& out) const override { out = pageToScreen_; }
    Rect MapRect(const Rect& r, bool toPage) const override;
    int Orientation() const override { return orientation_; }
    bool IsScrolling() const override { return scrolling_; }
    void InvalidateRect(const Rect* r, bool fromDrawing) override;
    void InvalidatePage(const Rect* r) override;
    void FlushDirty() override;
    void Repaint(const Rect* r) override;
    bool OnEvent(InputEvent& e) override;
    // Cmd::kDisplayFirst to Cmd::kDisplayLast.
    void OnCommand(uint32_t code) override;
    void OverlayCommit() override;
    void ForgetShownPage() override { pageKey_[0] = 0xFFFFFFFFu; }

    // One tick of the scroll timer.
    void ScrollStep();

    Point MapPoint(Point p, bool toPage) const;
    Point MapVector(Point v, bool toPage) const;
    uint32_t MapDirectionKey(uint32_t code) const;
    uint32_t PickForDirection(uint32_t code, uint32_t up, uint32_t down, uint32_t left,
                              uint32_t right, uint32_t nine, uint32_t ten) const;
    static int NextOrientation(int orientation);
    static uint32_t CommandForOrientation(int orientation);

    bool NeedsFlush() const;
    bool NeedsRedraw() const;
    bool ShowsPage(uint32_t a, uint32_t b) const { return pageKey_[0] == a && pageKey_[1] == b; }
    bool SelectPageBuffer() const { return false; }

    // Buffered drawing of the owner: its drawing goes to the back buffer while on.
    void ApplyModeToSurface(bool on) { buffered_ = on; }
    void StartTimer();
    void StopTimer();

    // For tests and the settings.
    void SetBufferMode(int mode) { bufferMode_ = mode; }
    int RequestedOrientation() const { return requested_; }
    int32_t ScrollStepPixels() const { return scrollStep_; }
    int32_t ScrollPeriod() const { return scrollPeriod_; }
    int32_t RemainingScroll() const { return remaining_; }
    int32_t SavedIdleTimeout() const { return savedIdle_; }
    bool IsPartial() const { return partial_; }
    bool IsAttached() const { return attached_; }
    bool IsTimerRunning() const { return timerRunning_; }
    Size PageSize() const { return Size{pageWidth_, pageHeight_}; }
    const Rect& ChangedRect() const { return changed_; }
    const Rect& RedrawRect() const { return redraw_; }
    const OffscreenBitmap& BackBuffer() const { return back_; }

    // The next n back buffers are made and the ones after fail (negative: never fail).
    static void FailBuffersAfterForTesting(int32_t n);

private:
    bool NeedsBackBuffer() const;
    // False when a back buffer is needed and cannot be made.
    bool EnsureBuffer();
    bool SetSize(int32_t width, int32_t height);
    void ComputeTransform();
    void ApplyOrientation(int target);
    void StopScrolling();
    void RestoreIdleTimeout();
    bool StepPage();
    DocumentControllerLink* Document() const;
    void TellViewSize(bool swapped);

    DrawingSurface* owner_ = nullptr;
    ReaderControllerLink* controller_ = nullptr;
    uint32_t pageKey_[2] = {0xFFFFFFFFu, 0};
    int32_t scrollStep_ = 1;
    int32_t scrollPeriod_ = 50;
    int orientation_ = 0;
    int requested_ = 0;
    Rect changed_{};
    Rect redraw_{};
    Rect view_{};
    bool attached_ = false;
    bool partial_ = false;
    bool scrolling_ = false;
    bool active_ = false;
    bool starting_ = false;
    bool forced_ = false;
    bool fresh_ = true;
    int32_t pageWidth_ = 0;
    int32_t pageHeight_ = 0;
    Transform pageToScreen_{};
    Transform screenToPage_{};
    OffscreenBitmap back_;
    OffscreenBitmap pageBuffer_;
    int32_t remaining_ = 0;
    // How far the page being scrolled in travels: from just below the page before's last line
    // to its own place (the view's height when the lines are not known).
    int32_t distance_ = 0;
    int32_t savedIdle_ = -1;
    int bufferMode_ = 2;

    bool buffered_ = false;
    bool flushing_ = false;
    bool ignoreDrawing_ = false;
    bool timerRunning_ = false;
    HANDLE backlight_ = nullptr;
};
