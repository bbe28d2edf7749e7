// The document controller's link targets: the frame or window a target name stands for, new
// reader windows for names no window has, and tiling the windows over the work area.
#include "reader/book_document_controller.h"

#include <vector>

#include "core/platform_helpers.h"
#include "reader/reader_core.h"
#include "reader/reader_host.h"
#include "reader/reader_window.h"

namespace {
ReaderWindow* OpenTargetWindow(AppShellEvents* sink, ReaderWindow* window, String& name,
                               const Rect* r, bool layout, bool topmost) {
    // The shell answers the main window's request with none.
    if (sink || !window || !window->Core()) return nullptr;
    Rect area{};
    if (!r) {
        if (!Screen::GetWorkArea(area)) return nullptr;
        area.width /= 2;
        area.height /= 2;
        r = &area;
    }
    return ReaderWindow::OpenTarget(window->Core(), name, r, nullptr, layout, topmost);
}
}  // namespace

DocumentController* BookDocumentController::ResolveTarget(const String& name) {
    if (name.EqualsAscii("_blank")) return nullptr;
    if (name.IsEmpty() || name.EqualsAscii("_self")) return this;
    // "_top" is the whole window: from a frame, the window's own controller.
    BookDocumentController* owner = frames_.OwnerController();
    BookDocumentController& top = owner ? *owner : *this;
    if (name.EqualsAscii("_top")) return &top;
    // A frame of this window by its name, before the windows.
    if (Node* leaf = top.frames_.FindFrame(name)) {
        if (leaf == top.frames_.PartIfMade()) return &top;
        if (BookDocumentController* frame = top.frames_.ControllerOfLeaf(leaf)) return frame;
    }
    ReaderCore* core = top.window_ ? top.window_->Core() : nullptr;
    return core ? core->FindControllerByName(name) : nullptr;
}

DocumentController* BookDocumentController::OpenNewWindow(String& name, const Rect* r, bool layout,
                                                          bool topmost) {
    ReaderWindow* window = OpenTargetWindow(sink_, window_, name, r, layout, topmost);
    return window ? window->Document() : nullptr;
}

bool BookDocumentController::OpenInTarget(const String& url, const String& target, const Rect* r,
                                          bool layout) {
    DocumentController* frame = ResolveTarget(target);
    // Relative to this document, wherever it opens.
    String absolute(url);
    if (resource_.Get()) {
        String child;
        if (location_.ParseChild(url, location_, child)) absolute = child;
    }
    ReaderWindow* opened = nullptr;
    if (!frame) {
        String name(target);
        opened = OpenTargetWindow(sink_, window_, name, r, layout, true);
        frame = opened ? opened->Document() : nullptr;
        if (!frame) return false;
    }
    if (frame->ActivateLink(absolute)) return true;
    if (opened) {
        ReaderCore* core = opened->Core();
        if (core && core->FrameHost()) core->FrameHost()->CloseFrame(opened);
    }
    return false;
}

Rect BookDocumentController::TileRect(const Rect& area, int32_t n, int32_t i, bool vertical) {
    Rect r = area;
    if (n < 1) return r;
    if (vertical) {
        r.height = area.height / n;
        r.y = area.y + i * r.height;
    } else {
        r.width = area.width / n;
        r.x = area.x + i * r.width;
    }
    return r;
}

void BookDocumentController::TileWindows(bool vertical, bool skipUnnamed) {
    ReaderCore* core = window_ ? window_->Core() : nullptr;
    if (!core) return;
    // Only the windows placed share the area (an unnamed one skipped leaves no gap).
    std::vector<ReaderWindow*> placed;
    for (int32_t i = 0; i < core->WindowCount(); ++i) {
        ReaderWindow* w = core->WindowAt(i);
        if (w && !(skipUnnamed && w->Name().IsEmpty())) placed.push_back(w);
    }
    Rect area{};
    if (placed.empty() || !Screen::GetWorkArea(area)) return;
    int32_t n = static_cast<int32_t>(placed.size());
    for (int32_t i = 0; i < n; ++i) placed[static_cast<size_t>(i)]->PlaceWindow(TileRect(area, n, i, vertical));
}
