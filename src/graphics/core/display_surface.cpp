#include "graphics/core/display_surface.h"

#include <algorithm>
#include <utility>

#include "core/optional_api.h"
#include "core/platform_helpers.h"
#include "graphics/core/drawing_surface.h"
#include "platform/window/window.h"

namespace {

int32_t gBufferBudget = -1;

// Directions after a turn, by orientation, for the codes 1, 2, 3, 4, 9, 10.
constexpr uint32_t kDirectionMap[4][6] = {
    {1, 2, 3, 4, 1, 2},
    {4, 3, 1, 2, 2, 1},
    {3, 4, 2, 1, 1, 2},
    {2, 1, 4, 3, 2, 1},
};

int DirectionIndex(uint32_t code) {
    switch (code) {
        case 1: return 0;
        case 2: return 1;
        case 3: return 2;
        case 4: return 3;
        case 9: return 4;
        case 10: return 5;
        default: return -1;
    }
}

bool IsQuarterTurn(int o) {
    return o == 1 || o == 2;
}

constexpr const WCHAR kBacklight[] = u"BKL1:";
constexpr int kBacklightOn = 0;   // D0: full power
constexpr ULONG kPowerName = 1;  // the device is named

}  // namespace

void DisplaySurface::FailBuffersAfterForTesting(int32_t n) {
    gBufferBudget = n;
}

DisplaySurface::DisplaySurface() = default;

DisplaySurface::~DisplaySurface() {
    Detach();
    RestoreIdleTimeout();
    back_.Free();
    pageBuffer_.Free();
}

// ---- Attaching and buffers --------------------------------------------------------------------

void DisplaySurface::Attach(DrawingSurface* owner, ReaderControllerLink* controller,
                            int32_t width, int32_t height, bool forced) {
    if (attached_ || !owner) return;
    owner_ = owner;
    controller_ = controller;
    pageWidth_ = std::max(width, 0);
    pageHeight_ = std::max(height, 0);
    forced_ = forced;
    attached_ = true;
    active_ = true;
    EnsureBuffer();
    owner_->AttachDisplaySurface(this);
    ApplyModeToSurface(true);
    ComputeTransform();
}

void DisplaySurface::Detach() {
    // The window may close during auto-scroll: the idle time-out and the backlight go back.
    if (scrolling_) {
        scrolling_ = false;
        starting_ = false;
        remaining_ = 0;
    }
    StopTimer();
    RestoreIdleTimeout();
    ApplyModeToSurface(false);
    back_.Free();
    pageBuffer_.Free();
    if (owner_ && owner_->Display() == this) owner_->AttachDisplaySurface(nullptr);
    owner_ = nullptr;
    controller_ = nullptr;
    attached_ = false;
    active_ = false;
}

void DisplaySurface::FreeBuffers() {
    StopTimer();
    back_.Free();
    pageBuffer_.Free();
}

HDC DisplaySurface::BufferDC() {
    return buffered_ && IsActive() && !back_.IsEmpty() ? back_.dc : nullptr;
}

bool DisplaySurface::NeedsBackBuffer() const {
    return orientation_ != 0 || scrolling_ || forced_;
}

bool DisplaySurface::EnsureBuffer() {
    if (!attached_ || !active_) return true;
    const bool needed = NeedsBackBuffer();
    if (!needed) {
        back_.Free();
        return true;
    }
    if (!back_.IsEmpty()) return true;
    if (bufferMode_ == 0) return true;
    if (bufferMode_ == 1) pageBuffer_.Free();
    bool made = gBufferBudget != 0 && owner_ &&
                owner_->CreateOffscreen(back_, Size{pageWidth_, pageHeight_});
    if (gBufferBudget > 0) --gBufferBudget;
    if (!made) {
        back_.Free();
        return false;
    }
    fresh_ = true;
    // Nothing is in the new buffer yet: the whole tree draws into it at the next flush.
    redraw_ = Rect{0, 0, pageWidth_, pageHeight_};
    return true;
}

bool DisplaySurface::SetSize(int32_t width, int32_t height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    const bool changed = width != pageWidth_ || height != pageHeight_;
    const bool hadBuffer = !back_.IsEmpty();
    pageWidth_ = width;
    pageHeight_ = height;
    if (changed && active_) {
        pageBuffer_.Free();
        back_.Free();
    }
    EnsureBuffer();
    ComputeTransform();
    if (changed) TellViewSize(!active_);
    return changed || hadBuffer != !back_.IsEmpty();
}

void DisplaySurface::TellViewSize(bool swapped) {
    if (!controller_) return;
    Rect r{0, 0, pageWidth_, pageHeight_};
    if (swapped && IsQuarterTurn(orientation_)) std::swap(r.width, r.height);
    controller_->SetPopupRect(r, false);
}

void DisplaySurface::ComputeTransform() {
    Transform t = Transform::Identity();
    switch (orientation_) {
        case 1: t = Transform::Translation(0, 1 - pageWidth_); break;
        case 2: t = Transform::Translation(1 - pageHeight_, 0); break;
        case 3: t = Transform::Translation(1 - pageWidth_, 1 - pageHeight_); break;
        default: break;
    }
    Transform::Compose(t, Transform::FromOrientation(orientation_), screenToPage_);
    if (!Transform::Invert(screenToPage_, pageToScreen_)) pageToScreen_ = Transform::Identity();
}

void DisplaySurface::Resize(int32_t width, int32_t height) {
    if (IsQuarterTurn(orientation_)) std::swap(width, height);
    if (SetSize(width, height) && owner_ && owner_->Window())
        ::InvalidateRect(owner_->Window(), nullptr, FALSE);
}

// ---- Mapping ----------------------------------------------------------------------------------

Rect DisplaySurface::MapRect(const Rect& r, bool toPage) const {
    if (orientation_ == 0 || orientation_ == kInactive) return r;
    return Transform::MapRect(toPage ? screenToPage_ : pageToScreen_, r);
}

Point DisplaySurface::MapPoint(Point p, bool toPage) const {
    if (orientation_ == 0 || orientation_ == kInactive) return p;
    return Transform::MapPoint(toPage ? screenToPage_ : pageToScreen_, p);
}

Point DisplaySurface::MapVector(Point v, bool toPage) const {
    if (orientation_ == 0 || orientation_ == kInactive) return v;
    return Transform::MapVector(toPage ? screenToPage_ : pageToScreen_, v);
}

uint32_t DisplaySurface::MapDirectionKey(uint32_t code) const {
    const int index = DirectionIndex(code & 0xFF);
    if (index < 0) return code & 0x7FF;
    int o = IsActive() ? orientation_ : 0;
    if (o < 0 || o > 3) o = 0;
    return kDirectionMap[o][index] | (code & kKeyModifiers);
}

uint32_t DisplaySurface::PickForDirection(uint32_t code, uint32_t up, uint32_t down,
                                          uint32_t left, uint32_t right, uint32_t nine,
                                          uint32_t ten) const {
    const int index = DirectionIndex(code);
    if (index < 0) return 0;
    int o = IsActive() ? orientation_ : 0;
    if (o < 0 || o > 3) o = 0;
    const uint32_t byOrientation[4][6] = {
        {up, down, left, right, nine, ten},
        {right, left, up, down, ten, nine},
        {left, right, down, up, nine, ten},
        {down, up, right, left, ten, nine},
    };
    return byOrientation[o][index];
}

int DisplaySurface::NextOrientation(int orientation) {
    switch (orientation) {
        case 1: return 0;
        case 2: return 3;
        case 3: return 1;
        case kInactive: return kInactive;
        default: return 2;
    }
}

uint32_t DisplaySurface::CommandForOrientation(int orientation) {
    switch (orientation) {
        case 0: return Cmd::kNormalOrientation;
        case 1: return Cmd::kQuarterRightOrientation;
        case 2: return Cmd::kQuarterLeftOrientation;
        case 3: return Cmd::kHalfTurnOrientation;
        default: return 0xFFFFFF;
    }
}

// ---- Changed areas and flushing ---------------------------------------------------------------

void DisplaySurface::InvalidateRect(const Rect* r, bool fromDrawing) {
    if (!IsActive()) return;
    if (fromDrawing) {
        fresh_ = false;
        if (ignoreDrawing_) return;
    }
    if (!r)
        changed_ = Rect{0, 0, pageWidth_, pageHeight_};
    else
        Rect::Union(changed_, *r);
}

void DisplaySurface::InvalidatePage(const Rect* r) {
    if (!r)
        redraw_ = Rect{0, 0, pageWidth_, pageHeight_};
    else
        Rect::Union(redraw_, *r);
}

bool DisplaySurface::NeedsFlush() const {
    return IsActive() && !back_.IsEmpty() &&
           (!changed_.IsEmpty() || (partial_ && remaining_ == 0));
}

bool DisplaySurface::NeedsRedraw() const {
    return attached_ && (bufferMode_ != 1 || back_.IsEmpty());
}

void DisplaySurface::FlushDirty() {
    if (!IsActive() || back_.IsEmpty() || flushing_ || !owner_) return;
    if (fresh_ && redraw_.IsEmpty()) return;
    const bool partialEnd = partial_ && remaining_ == 0;
    if (changed_.IsEmpty() && !partialEnd && redraw_.IsEmpty()) return;
    flushing_ = true;
    if (!redraw_.IsEmpty()) {
        // Into the back buffer; while scrolling, what the tree draws shows only as the scroll
        // reaches it.
        Rect r = redraw_;
        redraw_ = Rect{};
        ignoreDrawing_ = scrolling_;
        if (owner_->BeginDraw(true, &r)) {
            owner_->Redraw(&r);
            owner_->EndDraw();
        }
        ignoreDrawing_ = false;
        // Not every drawing operation marks what it changed: the redrawn area counts as a whole.
        fresh_ = false;
        if (!scrolling_) Rect::Union(changed_, r);
    }
    Rect area;
    Rect::Intersect(changed_, Rect{0, 0, pageWidth_, pageHeight_}, area);
    int32_t down = 0;
    if (remaining_ > 0) {
        Rect limit = view_;
        limit.height = std::max(view_.height - remaining_, 0);
        Rect cut;
        Rect::Intersect(area, limit, cut);
        if (cut.width != changed_.width || cut.height != changed_.height) partial_ = true;
        area = cut;
        down = remaining_;
    } else if (partial_) {
        area = Rect{0, 0, pageWidth_, pageHeight_};
        partial_ = false;
    }
    if (!area.IsEmpty()) {
        ApplyModeToSurface(false);
        active_ = false;
        if (GraphicsContext* gc = owner_->BeginDraw(true, nullptr)) {
            Rect dest = area;
            dest.y += down;
            gc->CopyRotated(back_, Point{area.x, area.y}, MapRect(dest, false), orientation_);
            owner_->EndDraw();
        }
        active_ = true;
        ApplyModeToSurface(true);
    }
    changed_ = Rect{};
    flushing_ = false;
}

void DisplaySurface::Repaint(const Rect* r) {
    if (!pageBuffer_.IsEmpty() && owner_) {
        OffscreenBitmap* target = back_.IsEmpty() ? nullptr : &back_;
        Rect all{0, 0, pageWidth_, pageHeight_};
        const Rect& area = r ? *r : all;
        if (target) {
            BitBlt(target->dc, area.x, area.y, area.width, area.height, pageBuffer_.dc, area.x,
                   area.y, SRCCOPY);
        } else if (GraphicsContext* gc = owner_->BeginDraw(true, nullptr)) {
            gc->Blit(pageBuffer_, Point{area.x, area.y}, area);
            owner_->EndDraw();
        }
    }
    InvalidateRect(r, false);
}

// ---- Commands ---------------------------------------------------------------------------------

DocumentControllerLink* DisplaySurface::Document() const {
    return controller_ ? controller_->GetDocumentController() : nullptr;
}

void DisplaySurface::StartTimer() {
    if (!owner_ || !owner_->Window()) return;
    SetTimer(owner_->Window(), kTimerId, static_cast<UINT>(scrollPeriod_), nullptr);
    timerRunning_ = true;
    if (!backlight_) backlight_ = OptionalApi::SetPowerRequirement(kBacklight, kBacklightOn,
                                                                   kPowerName, nullptr, 0);
}

void DisplaySurface::StopTimer() {
    if (timerRunning_ && owner_ && owner_->Window()) KillTimer(owner_->Window(), kTimerId);
    timerRunning_ = false;
    if (backlight_) {
        OptionalApi::ReleasePowerRequirement(backlight_);
        backlight_ = nullptr;
    }
}

void DisplaySurface::RestoreIdleTimeout() {
    if (savedIdle_ == -1) return;
    ExchangeSystemSetting(savedIdle_);
    savedIdle_ = -1;
}

void DisplaySurface::StopScrolling() {
    StopTimer();
    const bool was = scrolling_;
    scrolling_ = false;
    starting_ = true;
    remaining_ = 0;
    RestoreIdleTimeout();
    if (!was) return;
    InvalidateRect(nullptr, false);
    EnsureBuffer();
    // Without the back buffer the window shows what the scroll left: it is painted afresh.
    if (back_.IsEmpty() && owner_ && owner_->Window())
        ::InvalidateRect(owner_->Window(), nullptr, FALSE);
}

bool DisplaySurface::StepPage() {
    DocumentControllerLink* doc = Document();
    int32_t oldTop = 0, oldBottom = 0;
    const bool oldKnown = doc && doc->GetPageTextSpan(oldTop, oldBottom);
    if (!doc || !doc->PageStep(2, 0, 255)) {
        OnCommand(Cmd::kStopAutoScroll);  // the end of the book
        return false;
    }
    Rect v;
    if (doc->GetViewRect(v)) Rect::Union(view_, v);
    // The new page's first line comes right after the old page's last, as on one long page:
    // stacked a view's height apart, the room left below a page's last line would scroll by
    // as a blank line in the middle of the text.
    distance_ = view_.height;
    int32_t newTop = 0, newBottom = 0;
    if (oldKnown && doc->GetPageTextSpan(newTop, newBottom) && newTop >= 0 &&
        oldBottom - newTop > 0 && oldBottom - newTop < view_.height) {
        distance_ = oldBottom - newTop;
        // What of the new page already fits below the old page's last line shows at once.
        remaining_ = distance_;
        Rect shown{view_.x, view_.y + newTop, view_.width, view_.height - distance_ - newTop};
        if (!shown.IsEmpty()) {
            InvalidateRect(&shown, false);
            FlushDirty();
        }
    }
    remaining_ = distance_;
    return true;
}

void DisplaySurface::OnCommand(uint32_t code) {
    if (code == Cmd::kToggleAutoScroll)
        code = scrolling_ ? Cmd::kStopAutoScrollKeep : Cmd::kStartAutoScroll;
    if (code >= Cmd::kRotate && code <= Cmd::kQuarterRightOrientation) {
        int target = code == Cmd::kRotate ? NextOrientation(active_ ? orientation_ : requested_)
                     : code == Cmd::kNormalOrientation      ? 0
                     : code == Cmd::kHalfTurnOrientation    ? 3
                     : code == Cmd::kQuarterLeftOrientation ? 2
                                                            : 1;
        if (controller_ && CanRotateScreen()) {
            bool turned = code == Cmd::kRotate ? controller_->RotateToNextOrientation()
                                               : controller_->SetDisplayOrientation(target);
            if (turned) return;
        }
        if (!IsActive()) {
            requested_ = target;
            if (controller_) controller_->SetOrientationSetting(target);
            return;
        }
        ApplyOrientation(target);
        return;
    }
    if (!attached_) return;
    switch (code) {
        case Cmd::kStartAutoScroll: {
            // Without a page to scroll nothing starts (an empty view would step a page a tick).
            DocumentControllerLink* doc = Document();
            Rect v;
            if (!doc || !doc->GetViewRect(v) || v.height < 1) return;
            view_ = v;
            scrolling_ = true;
            remaining_ = v.height;
            distance_ = v.height;
            starting_ = true;
            // Already replaced: the value now in force is ours, not the user's.
            if (savedIdle_ == -1) savedIdle_ = ExchangeSystemSetting(kScrollIdleTimeout);
            EnsureBuffer();
            StartTimer();
            return;
        }
        case Cmd::kStopAutoScroll:
            if (scrolling_) StopScrolling();
            return;
        case Cmd::kStopAutoScrollKeep: {
            if (!scrolling_) return;
            const int32_t scrolled = distance_ - remaining_;
            StopScrolling();
            if (!IsActive()) return;
            if (scrolled > 1)
                if (DocumentControllerLink* doc = Document()) doc->Scroll(scrolled, -2);
            if (owner_) owner_->InvalidateRect(nullptr);
            FlushDirty();
            return;
        }
        default: return;
    }
}

void DisplaySurface::ApplyOrientation(int target) {
    requested_ = target;
    bool first = false, second = false, third = false;
    if (controller_) controller_->GetCommandStates(first, second, third);
    const int old = orientation_;
    const bool allowed = controller_ && first && third && CheckDisplayDepth(1) != 0;
    if (scrolling_) StopScrolling();
    orientation_ = allowed ? target : 0;
    Size client;
    if (!owner_ || !owner_->GetClientSize(client, true)) client = Size{pageWidth_, pageHeight_};
    auto apply = [&]() {
        Size s = client;
        if (IsQuarterTurn(orientation_)) std::swap(s.width, s.height);
        return SetSize(s.width, s.height);
    };
    bool repainted = apply();
    bool failed = false;
    if (NeedsBackBuffer() && back_.IsEmpty() && bufferMode_ != 0) {
        failed = true;
        orientation_ = 0;
        repainted = apply() || repainted;
    }
    ComputeTransform();
    if (orientation_ != old && owner_) owner_->OnOrientationChanged(orientation_);
    // The window keeps its size when the page turns: the tree is laid out again for the
    // page's new width and height, as a resized window would be.
    if ((orientation_ != old || repainted) && owner_) owner_->OnSize();
    if (controller_) controller_->SetOrientationSetting(orientation_);
    InvalidateRect(nullptr, false);
    InvalidatePage(nullptr);
    FlushDirty();
    // A new page size reaches the window's own painting too (a back buffer that vanished).
    if (repainted && owner_ && owner_->Window()) ::InvalidateRect(owner_->Window(), nullptr, FALSE);
    // Shown only once the surface is whole again: the message box runs a nested message loop
    // that paints and ticks.
    if (failed && controller_) controller_->MessageBoxById(-1, kNotEnoughMemory, 0);
}

void DisplaySurface::OverlayCommit() {
    if (!attached_ || !controller_) return;
    const bool allowed = controller_->DisplaySurfaceAllowed();
    if (allowed) {
        const bool becameActive = !active_;
        if (becameActive) {
            active_ = true;
            orientation_ = 0;
            ApplyModeToSurface(true);
        }
        // The orientation the settings and command states give now (a rotation refused
        // before may be allowed since).
        bool first = false, second = false, third = false;
        controller_->GetCommandStates(first, second, third);
        const int wanted = first && third && CheckDisplayDepth(1) != 0 ? requested_ : 0;
        if (becameActive || wanted != orientation_ || forced_) {
            TellViewSize(false);
            ApplyOrientation(requested_);
        }
        return;
    }
    if (!active_) return;
    if (scrolling_) StopScrolling();
    ApplyModeToSurface(false);
    TellViewSize(true);
    requested_ = orientation_;
    orientation_ = kInactive;
    active_ = false;
    back_.Free();
    pageBuffer_.Free();
    ComputeTransform();
}

// ---- Auto-scroll ------------------------------------------------------------------------------

bool DisplaySurface::OnEvent(InputEvent& e) {
    if (!scrolling_ || !IsActive()) return false;
    const uint32_t code = e.Code();
    if (code == kKeyFaster) {
        if (scrollPeriod_ < 2)
            scrollStep_ = std::min(scrollStep_ + std::max(scrollStep_ / 4, 1),
                                   std::max(pageHeight_ / 2, 1));
        else
            scrollPeriod_ = std::max(scrollPeriod_ - std::max(scrollPeriod_ / 2, 1), 1);
        StartTimer();
        return true;
    }
    if (code == kKeySlower) {
        if (scrollStep_ > 1)
            scrollStep_ = std::max(scrollStep_ - std::max(scrollStep_ / 4, 1), 1);
        else
            scrollPeriod_ = std::min(scrollPeriod_ + std::max(scrollPeriod_ / 2, 1), kMaxPeriod);
        StartTimer();
        return true;
    }
    OnCommand(Cmd::kStopAutoScrollKeep);
    return true;
}

void DisplaySurface::ScrollStep() {
    if (!scrolling_ || !IsActive() || !owner_) return;
    if (starting_) {
        if (!StepPage()) return;
        starting_ = false;
    }
    const int32_t step = std::min(remaining_, scrollStep_);
    if (step > 0) {
        Point delta{};
        switch (orientation_) {
            case 1: delta.x = -step; break;
            case 2: delta.x = step; break;
            case 3: delta.y = step; break;
            default: delta.y = -step; break;
        }
        ApplyModeToSurface(false);
        active_ = false;
        if (GraphicsContext* gc = owner_->BeginDraw(true, nullptr)) {
            gc->ScrollArea(MapRect(view_, false), delta);
            owner_->EndDraw();
        }
        active_ = true;
        ApplyModeToSurface(true);
        remaining_ -= step;
        // The new page's rows that the scroll brought in, at the bottom of its part of the view.
        const int32_t shown = view_.height - remaining_;
        Rect strip{view_.x, view_.y + shown - step, view_.width, step};
        InvalidateRect(&strip, false);
        FlushDirty();
    }
    if (scrolling_ && remaining_ == 0) StepPage();
}
