// What the reader controller switches between and shows, made by the layers above it: the three
// soft-key bars (reader, audio, zoom) and the two list windows (library view, annotations
// window) come from the shell and the library through a ReaderViewFactory; text pop-ups come
// from the widgets through a TextPopupFactory. The controller owns what a factory gives it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "core/geometry.h"
#include "platform/types.h"

class DrawingSurface;
class LinkTarget;
class ReaderController;
class String;
class TextPopupWindow;
class TextBoxOwner;

// A soft-key menu bar of a reader window.
class ReaderBar {
public:
    virtual ~ReaderBar() = default;
    virtual void Show(bool show) = 0;
    virtual bool IsVisible() const = 0;
    // Enables and checks its items for the current view.
    virtual void UpdateItems() = 0;
    // After a change of state (a page turn, a command): what the bar itself shows is set now,
    // the items of its menu may wait until the menu opens (OnMenuOpening).
    virtual void UpdateShownItems() { UpdateItems(); }
    // Its menu is about to open: its items are set for the state now.
    virtual void OnMenuOpening() {}
    // True when the bar took the command.
    virtual bool RouteCommand(int32_t id) = 0;
    // In full screen the left soft key is the bar's owner's (it ends full screen).
    virtual void OverrideLeftKey(bool /*fullScreen*/) {}
};

// A list window over the drawing surface's window (the library view, the annotations window).
class ReaderListWindow {
public:
    virtual ~ReaderListWindow() = default;
    virtual void Show(bool show) = 0;
    virtual bool IsVisible() const = 0;
    // True when the window took the message; its answer goes to result.
    virtual bool RouteMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    // True when the window took the command.
    virtual bool RouteCommand(int32_t id) = 0;
    virtual void Layout(const Rect& r) = 0;
    virtual void Focus() = 0;
    // Re-reads its entries and selects the one of the file name (empty: keeps the selection).
    virtual void Refresh(const String& fileName) = 0;
};

class ReaderViewFactory {
public:
    enum class Bar : uint8_t { kReader = 0, kAudio = 1, kZoom = 2 };
    enum class List : uint8_t { kLibrary = 0, kAnnotations = 1 };
    // Each null on failure.
    virtual std::unique_ptr<ReaderBar> CreateBar(Bar kind, ReaderController* controller) = 0;
    virtual std::unique_ptr<ReaderListWindow> CreateListWindow(List kind,
                                                               ReaderController* controller,
                                                               HWND parent) = 0;

protected:
    ~ReaderViewFactory() = default;
};

// A pop-up of text runs and links over the drawing surface.
class TextPopup {
public:
    // Where ShowAt puts the pop-up: at the anchor, or centred on the area.
    static constexpr uint32_t kAtAnchor = 0;
    static constexpr uint32_t kCentred = 2;

    virtual ~TextPopup() = default;
    virtual bool AddText(const String& text, uint32_t flags) = 0;
    // A link that runs a reader command record (object kind, method, argument) when tapped.
    virtual bool AddLink(const String& text, uint32_t flags, uint32_t objectKind,
                         uint32_t method, int32_t argument) = 0;
    virtual bool ShowAt(const Rect& area, Point anchor, uint32_t placement) = 0;
    // A box (the looked-up word) that a pop-up shown at its anchor leaves in view where it fits
    // above or below it.
    virtual void KeepClear(const Rect& /*box*/) {}
    virtual void Hide() = 0;
    // A run that carries its own link target (the pop-up keeps a reference); false when the
    // pop-up cannot carry one or is full.
    virtual bool AddTarget(const String& /*text*/, uint32_t /*flags*/, LinkTarget* /*target*/) {
        return false;
    }
    // The widgets' pop-up window under it, for builders that fill its box directly; null when
    // there is none.
    virtual TextPopupWindow* PopupWindow() { return nullptr; }
    // Called once when the pop-up is hidden, by the user or by the program; false when this
    // pop-up cannot tell.
    virtual bool SetOnHidden(std::function<void()> /*call*/) { return false; }
};

class TextPopupFactory {
public:
    // Null without a surface.
    virtual std::unique_ptr<TextPopup> CreateTextPopup(DrawingSurface* surface) = 0;
    // One whose links go to the given owner instead of the factory's.
    virtual std::unique_ptr<TextPopup> CreateTextPopupFor(DrawingSurface* surface,
                                                          TextBoxOwner* /*owner*/) {
        return CreateTextPopup(surface);
    }

protected:
    ~TextPopupFactory() = default;
};

// A special view, as the controller's view-change notice sees it.
class ReaderView {
public:
    // True when the reading-position bar stays hidden while the view shows.
    virtual bool HidesPositionBar() const = 0;

protected:
    ~ReaderView() = default;
};
