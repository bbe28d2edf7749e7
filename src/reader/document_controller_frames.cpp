// The document controller's frames: the frameset that applies at the page start is asked for
// after every open and page move, and the frame set is rebuilt when it changed. The other frames
// show the same book from their own text positions, each through a controller of its own whose
// window part paints its page in the frame and holds its page view element. The link-focus keys
// move from frame to frame before the page steps. Key-handler nodes name the links that the
// hardware keys run.
#include <new>
#include <vector>

#include "bookfiles/document_source.h"
#include "bookfiles/packed_tree.h"
#include "core/byte_stream.h"
#include "core/platform_helpers.h"
#include "database/resource.h"
#include "document/markup/link_target.h"
#include "document/markup/token_source.h"
#include "graphics/core/drawing_surface.h"
#include "graphics/widgets/area.h"
#include "layout/page_layout.h"
#include "layout/page_view.h"
#include "reader/book_document_controller.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"

// What a frame holds of a controller: it records the rectangle the frame gives it; a frame's
// own controller lays its page out there and paints it, and the page view element of that
// controller lies in it, so that the pen reaches the frame's links.
class BookDocumentController::FrameWindowPart final : public Widget {
public:
    explicit FrameWindowPart(BookDocumentController& controller) : controller_(controller) {}
    Rect& AdjustRect(Rect& out, const Rect& in) override {
        controller_.PlaceInFrame(in);
        out = Rect{};
        return out;
    }
    // Only a frame's own controller paints here; the window's own page view element, on the
    // surface, takes the pen over the window's own frame.
    bool HitTest(const Rect& area) override {
        return controller_.frameFlag_ && controller_.frameRect_.width > 0 &&
               Rect::Intersects(controller_.frameRect_, area);
    }
    void Redraw(const Rect* area) override {
        if (controller_.frameFlag_) controller_.PaintPage();
        Widget::Redraw(area);
    }

private:
    BookDocumentController& controller_;
};

namespace {
// Key handlers are collected from a key-handler node's position up to the end of the
// frameset's range; without a range at most this far.
constexpr uint32_t kKeyHandlerSpan = 64 * 1024;
constexpr uint32_t kBookmarksPageId = 3;
}  // namespace

Node* BookDocumentController::WindowPart() { return FramePart(); }

Widget* BookDocumentController::FramePart() {
    if (!windowPart_) windowPart_.reset(new (std::nothrow) FrameWindowPart(*this));
    return windowPart_.get();
}

BookDocumentController& BookDocumentController::LinkController() {
    return frameOwner_ && ShowsOwnerDocument() ? *frameOwner_ : *this;
}

BookDocumentController* BookDocumentController::ControllerOfLeaf(const Node* leaf) {
    if (!leaf) return nullptr;
    if (leaf == windowPart_.get()) return this;
    for (const auto& c : frameControllers_)
        if (c->windowPart_.get() == leaf) return c.get();
    return nullptr;
}

BookDocumentController* BookDocumentController::FocusedFrame() {
    if (!framed_ || !frames_) return nullptr;
    BookDocumentController* c = ControllerOfLeaf(frames_->Root().FocusedLeafView());
    if (!c || c == this || !c->pageView_ || !c->pageView_->IsFocused()) return nullptr;
    return c;
}

namespace {
// The leaves of a frame set in frame order (nested framesets in their place).
void CollectLeaves(const Frame& frame, std::vector<Node*>& out) {
    for (int32_t i = 0; i < frame.EntryCount(); ++i) {
        const FrameEntry* e = frame.EntryAt(i);
        if (!e || !e->child) continue;
        if (e->flags & FrameEntry::kFrameset)
            CollectLeaves(*static_cast<const Frame*>(e->child), out);
        else
            out.push_back(e->child);
    }
}
}  // namespace

bool BookDocumentController::FocusPageLink(bool forward) {
    if (!layout_ || view_ != kTextPage || !pageView_ || !pageView_->Parent()) return false;
    AreaArray* marks = nullptr;
    if (!layout_->GetCurrentBlockMarks(marks) || !marks) return false;
    int32_t n = marks->Count();
    int32_t found = -1;
    for (int32_t k = 0; k < n && found < 0; ++k) {
        int32_t i = forward ? k : n - 1 - k;
        Area* area = marks->At(i);
        if (area && area->link) found = i;
    }
    if (found < 0) return false;
    layout_->SetCurrentMark(static_cast<uint32_t>(found), false, true);
    pageView_->Focus();
    if (surface_) surface_->InvalidateRect(nullptr);
    return true;
}

AreaArray* BookDocumentController::PageLinkAreas() {
    AreaArray* marks = nullptr;
    if (!layout_ || view_ != kTextPage || !layout_->GetCurrentBlockMarks(marks)) return nullptr;
    return marks;
}

int32_t BookDocumentController::CountLinkAreas(Node* leaf) {
    BookDocumentController* c = ControllerOfLeaf(leaf);
    AreaArray* marks = c ? c->PageLinkAreas() : nullptr;
    if (!marks) return 0;
    int32_t n = 0;
    for (int32_t i = 0; i < marks->Count(); ++i)
        if (Area* area = marks->At(i); area && area->link) ++n;
    return n;
}

void BookDocumentController::SelectMark(Node* leaf, int32_t n) {
    BookDocumentController* c = ControllerOfLeaf(leaf);
    if (!c || !c->PageLinkAreas()) return;
    c->layout_->SetCurrentMark(static_cast<uint32_t>(n), false, true);
    if (n < 0) {
        if (c->pageView_) c->pageView_->ClearFocus();
    } else if (c->pageView_) {
        c->pageView_->Focus();
    }
    if (surface_) surface_->InvalidateRect(nullptr);
}

int32_t BookDocumentController::NextLinkArea(Node* leaf, int32_t from) {
    BookDocumentController* c = ControllerOfLeaf(leaf);
    AreaArray* marks = c ? c->PageLinkAreas() : nullptr;
    if (!marks) return -1;
    for (int32_t i = from < 0 ? 0 : from + 1; i < marks->Count(); ++i)
        if (Area* area = marks->At(i); area && area->link) return i;
    return -1;
}

int32_t BookDocumentController::PreviousLinkArea(Node* leaf, int32_t from) {
    BookDocumentController* c = ControllerOfLeaf(leaf);
    AreaArray* marks = c ? c->PageLinkAreas() : nullptr;
    if (!marks) return -1;
    for (int32_t i = (from < 0 || from > marks->Count() ? marks->Count() : from) - 1; i >= 0; --i)
        if (Area* area = marks->At(i); area && area->link) return i;
    return -1;
}

int32_t BookDocumentController::QueryLayoutRange(Node* leaf, int32_t width, int32_t height) {
    BookDocumentController* c = ControllerOfLeaf(leaf);
    if (!c || !c->layout_ || c->view_ != kTextPage || width < 1 || height < 1) return 0;
    // The page is laid out at the height left and fitted to what it holds; the frame then
    // places it at that height, which lays it out once more in its own rectangle.
    Size fitted = c->layout_->FitHeightToContent(Size{width, height});
    return fitted.height < height ? fitted.height : height;
}

bool BookDocumentController::MoveFrameFocus(bool forward, bool restart) {
    if (!framed_ || !frames_) return restart && FocusPageLink(forward);
    std::vector<Node*> leaves;
    try {
        CollectLeaves(frames_->Root(), leaves);
    } catch (const std::bad_alloc&) {
        return false;
    }
    BookDocumentController* focused = FocusedFrame();
    const Node* from = restart ? nullptr : focused ? focused->windowPart_.get() : windowPart_.get();
    auto count = static_cast<int32_t>(leaves.size());
    int32_t i = forward ? -1 : count;
    for (int32_t k = 0; k < count; ++k)
        if (leaves[static_cast<size_t>(k)] == from) i = k;
    for (int32_t j = forward ? i + 1 : i - 1; j >= 0 && j < count; j += forward ? 1 : -1) {
        BookDocumentController* c = ControllerOfLeaf(leaves[static_cast<size_t>(j)]);
        if (c && c->FocusPageLink(forward)) return true;
    }
    return false;
}

Node* BookDocumentController::OwnWindowPart() { return WindowPart(); }

void BookDocumentController::SetOwnFrameOptions() {
    frameFlag_ = 0;
    frameOption_ = 1;
}

void BookDocumentController::SetFrameOptions(uint8_t frameFlag, uint8_t option) {
    frameFlag_ = frameFlag;
    frameOption_ = option;
}

bool BookDocumentController::ShowsOwnerDocument() {
    return frameOwner_ && resource_ && resource_ == frameOwner_->resource_;
}

bool BookDocumentController::GetFramePosition(uint32_t& position) {
    position = framePosition_;
    return layout_ && view_ == kTextPage;
}

FrameSetController* BookDocumentController::CreateFrameController() {
    std::unique_ptr<BookDocumentController> c(new (std::nothrow) BookDocumentController(heap_));
    if (!c) return nullptr;
    c->log_ = log_;
    c->loader_ = loader_;
    c->settings_ = settings_;
    c->surface_ = surface_;
    c->reader_ = reader_;
    c->layoutGc_ = layoutGc_;
    c->viewport_ = viewport_;
    c->frameOwner_ = this;
    c->frameFlag_ = 1;
    // The book's forms and reading position are the window's own controller's.
    c->forms_.SetNoForms(true);
    BookDocumentController* made = c.get();
    try {
        frameControllers_.push_back(std::move(c));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return made;
}

bool BookDocumentController::OpenFrameDocument(FrameSetController* controller,
                                               uint32_t position) {
    auto* c = static_cast<BookDocumentController*>(controller);
    if (!c || !resource_) return false;
    c->framePosition_ = position;
    bool changed = c->resource_ != resource_;
    if (!c->SetDocument(resource_)) return false;
    if (!c->OpenLocation(String(), changed, true) || !c->layout_ ||
        !c->layout_->GoToPositionAsPageStart(position)) {
        c->CloseDocument();
        return false;
    }
    return true;
}

void BookDocumentController::ReleaseFrameController(FrameSetController* controller) {
    for (size_t i = 0; i < frameControllers_.size(); ++i) {
        if (frameControllers_[i].get() != controller) continue;
        std::unique_ptr<BookDocumentController> c = std::move(frameControllers_[i]);
        frameControllers_.erase(frameControllers_.begin() + static_cast<std::ptrdiff_t>(i));
        if (c->windowPart_) c->windowPart_->Detach();
        // It may be the one running (a link in a frame that moved the book): freed later.
        try {
            retiredFrames_.push_back(std::move(c));
        } catch (const std::bad_alloc&) {
            c->Shutdown();
        }
        return;
    }
}

void BookDocumentController::FreeFrameControllers() {
    std::vector<std::unique_ptr<BookDocumentController>> old;
    old.swap(retiredFrames_);
    old.clear();
}

void BookDocumentController::ClearKeyHandlers() {
    keyLinks_.clear();
    keyTexts_.clear();
}

void BookDocumentController::CollectKeyHandlers(uint32_t position) {
    if (!source_) return;
    uint32_t limit = framesetEnd_ > position ? framesetEnd_ : UINT32_MAX;
    if (limit - position > kKeyHandlerSpan) limit = position + kKeyHandlerSpan;
    // The page's token source, put back where the layout left it.
    ByteStream saved;
    bool kept = source_->SaveState(saved);
    std::vector<KeyHandlerLink> links;
    if (source_->Start(position, true)) ReadKeyHandlerLinks(*source_, limit, links);
    if (kept && saved.SetReadPosition(0)) source_->RestoreState(saved);
    try {
        SelectKeyHandlers(links, GetProgramLanguage() & 0xFFFF, keyLinks_, keyTexts_);
    } catch (const std::bad_alloc&) {
        ClearKeyHandlers();
    }
}

void BookDocumentController::LayOutIn(const Rect& r) {
    viewport_ = r;
    if (!layout_) return;
    uint32_t start = layout_->CurrentPageStart();
    if (pageView_) {
        Rect placed;
        pageView_->AdjustRect(placed, r);  // lays the page out anew
    } else {
        layout_->SetViewport(r);
        layout_->Relayout();
    }
    if (start != PageLayout::kNone) layout_->GoToPositionAsPageStart(start);
}

void BookDocumentController::PlaceInFrame(const Rect& r) {
    frameRect_ = r;
    // Without frames beside it the window's own page covers the whole area.
    if (frameFlag_ || framed_) LayOutIn(r);
}

void BookDocumentController::LayOutFrames(const Rect& area) {
    pageArea_ = area;
    Rect out;
    frames_->Root().AdjustRect(out, area);
}

bool BookDocumentController::UpdateFrames() {
    if (frameFlag_ || updatingFrames_ || !frames_) return false;
    int32_t position = GetPageStart();
    if (position == lastFramesetPosition_) return false;
    updatingFrames_ = true;
    Frame& root = frames_->Root();
    if (!framed_) pageArea_ = viewport_;
    if (root.EntryCount() == 0) frames_->AddMainFrame();
    DocumentSource* document = resource_ ? resource_->GetDocument() : nullptr;
    PackedTree cursor;
    uint8_t changed = 0;
    uint32_t range[2] = {0, 0};
    bool found = document && position >= 0 &&
                 document->PositionToRecord(static_cast<uint32_t>(position), &cursor, &changed,
                                            static_cast<int32_t>(lastFramesetPosition_), range);
    lastFramesetPosition_ = position;
    if (!found && !framed_ && root.EntryCount() == 1) {
        // Still the single frame "_main": nothing to rebuild.
        updatingFrames_ = false;
        return false;
    }
    if (found && changed) {
        ClearKeyHandlers();
        framesetEnd_ = range[1] > range[0] ? range[1] : UINT32_MAX;
    } else if (!found && location_.ResourceId() != kBookmarksPageId) {
        ClearKeyHandlers();
    }
    bool rebuilt = frames_->Update(found, changed != 0, cursor);
    if (rebuilt) {
        bool wasFramed = framed_;
        framed_ = root.EntryCount() > 1;
        int32_t unit = settings_ ? settings_->DefaultFontSize() : 16;
        root.SetUnitSize(static_cast<uint32_t>(unit > 0 ? unit : 16));
        Rect area = pageArea_;
        bool inWindow = surface_ && layoutGc_ == surface_;
        if (inWindow) SurfaceViewport(area);
        if (framed_) {
            if (inWindow) root.SetParent(surface_);
            LayOutFrames(area);
        } else {
            root.Detach();
            frameRect_ = Rect{};
            if (wasFramed) LayOutIn(area);
        }
    }
    updatingFrames_ = false;
    return rebuilt;
}

void BookDocumentController::CloseFrames() {
    if (!frames_) return;
    frames_->Detach();
    frames_->CloseFrameControllers();
    frames_->Root().Detach();
    std::vector<std::unique_ptr<BookDocumentController>> all;
    all.swap(frameControllers_);
    for (auto& c : all) c->Shutdown();
    all.clear();
    FreeFrameControllers();
    ClearKeyHandlers();
    framed_ = false;
    frameRect_ = Rect{};
    lastFramesetPosition_ = -1;
}
