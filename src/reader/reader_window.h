// One top-level reader window's context: its drawing surface, reader controller, settings and
// document controller, its rotatable display surface, and its name ("main" + its address in
// hexadecimal for the main window).
//
// Closing runs in this order: the document controller is shut down and deleted, the display
// surface is detached (its auto-scroll timer stops and the idle time-out goes back), the drawing
// surface goes (with its timers, so nothing it serves can reach a dead controller), then the
// reader controller; the main window saves the settings (only it does: another window's copy of
// the global record would overwrite the main window's last book and colours), then the window
// leaves the core's list.
#pragma once

#include <cstdint>
#include <memory>

#include "core/string.h"
#include "graphics/core/display_surface.h"
#include "platform/types.h"

class DocumentController;
class DrawingSurface;
class ReaderController;
class ReaderCore;
class ReaderSettings;
class WindowTimers;
struct Rect;

class ReaderWindow {
public:
    explicit ReaderWindow(ReaderCore* core);
    virtual ~ReaderWindow();
    ReaderWindow(const ReaderWindow&) = delete;
    ReaderWindow& operator=(const ReaderWindow&) = delete;

    // A further window for a link target that names no existing frame: "_blank" gives it the
    // name "wnd" + its address, written back to target; any other target is its name. Without
    // a caption the document's title is the frame's caption. Null on any failure, and nothing
    // of the new window is left then.
    static ReaderWindow* OpenTarget(ReaderCore* core, String& target, const Rect* r,
                                    const String* caption, bool layout, bool topmost);

    // 0 on success, 1 on failure.
    int Open(int flag);
    int CreateController(HWND window);
    int CreateSurface(HWND window);
    void DestroySurface();
    void PlaceWindow(const Rect& r);
    // Once the frame window exists: the drawing surface and the controller's timers use it, and
    // the display surface is attached with the surface's client size. False without a surface.
    bool AttachToWindow(HWND window);

    // Hooks: a non-zero result fails the step.
    virtual int OnOpened() { return 0; }
    virtual int OnControllerCreated() { return 0; }
    virtual void OnFramesBuilt() {}
    virtual void OnFramesCleared() {}
    virtual void OnElementPlaced() {}

    ReaderCore* Core() const { return core_; }
    DrawingSurface* Surface() const { return surface_.get(); }
    ReaderController* Controller() const { return controller_.get(); }
    ReaderSettings* Settings() const { return settings_.get(); }
    DocumentController* Document() const { return document_.get(); }
    DisplaySurface& Display() { return display_; }
    const String& Name() const { return name_; }
    void SetName(const String& name) { name_.Assign(name); }
    // prefix + the window's address in upper-case hexadecimal.
    bool NameFromAddress(const char* prefix);
    bool IsMain() const;

private:
    ReaderCore* core_;
    std::unique_ptr<DrawingSurface> surface_;
    std::unique_ptr<ReaderController> controller_;
    std::unique_ptr<ReaderSettings> settings_;
    std::unique_ptr<DocumentController> document_;
    String name_;
    DisplaySurface display_;
    std::unique_ptr<WindowTimers> timerHost_;
};
