#include "reader/document_frames.h"

#include <memory>
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
#include "reader/book_document_controller.h"

// What a frame holds of a controller: it records the rectangle the frame gives it; a frame
// controller lays its page out there and paints it, and the page view element of that
// controller lies in it, so that the pen reaches the frame's links.
class DocumentFrames::WindowPartNode final : public Widget {
public:
    explicit WindowPartNode(DocumentFrames& frames) : frames_(frames) {}
    Rect& AdjustRect(Rect& out, const Rect& in) override {
        frames_.PlaceInFrame(in);
        out = Rect{};
        return out;
    }
    // Only a frame controller paints here; the window's own page view element, on the
    // surface, takes the pen over the window's own frame.
    bool HitTest(const Rect& area) override {
        return frames_.frameFlag_ && frames_.frameRect_.width > 0 &&
               Rect::Intersects(frames_.frameRect_, area);
    }
    void Redraw(const Rect* area) override {
        if (frames_.frameFlag_) frames_.page_.PaintPage();
        Widget::Redraw(area);
    }

private:
    DocumentFrames& frames_;
};

namespace {
// Key handlers are collected from a key-handler node's position up to the end of the
// frameset's range; without a range at most this far.
constexpr uint32_t kKeyHandlerSpan = 64 * 1024;
constexpr uint32_t kBookmarksPageId = 3;

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

DocumentFrames::DocumentFrames(FramePage& page) : page_(page) {
    frames_ = std::make_unique<FrameSet>(static_cast<FrameSetHost*>(this));
    frames_->Root().SetViews(this);
}

DocumentFrames::~DocumentFrames() = default;

Widget* DocumentFrames::Part() {
    if (!part_) part_ = std::make_unique<WindowPartNode>(*this);
    return part_.get();
}

Node* DocumentFrames::PartIfMade() const { return part_.get(); }

Frame& DocumentFrames::Root() { return frames_->Root(); }

Node* DocumentFrames::FindFrame(const String& name) {
    return frames_ ? frames_->Root().FindByName(name) : nullptr;
}

BookDocumentController* DocumentFrames::ControllerAt(size_t i) const {
    return children_[i].controller.get();
}

DocumentFrames::Child* DocumentFrames::ChildOf(const FrameSetController* controller) {
    for (Child& c : children_)
        if (static_cast<const FrameSetController*>(c.frames) == controller) return &c;
    return nullptr;
}

DocumentFrames* DocumentFrames::FramesOfLeaf(const Node* leaf) {
    if (!leaf) return nullptr;
    if (leaf == part_.get()) return this;
    for (const Child& c : children_)
        if (c.frames->part_.get() == leaf) return c.frames;
    return nullptr;
}

DocumentFrames::Child* DocumentFrames::ChildOfLeaf(const Node* leaf) {
    if (!leaf) return nullptr;
    for (Child& c : children_)
        if (c.frames->part_.get() == leaf) return &c;
    return nullptr;
}

BookDocumentController* DocumentFrames::ControllerOfLeaf(const Node* leaf) {
    Child* c = ChildOfLeaf(leaf);
    return c ? c->controller.get() : nullptr;
}

BookDocumentController* DocumentFrames::FocusedFrame() {
    if (!framed_ || !frames_) return nullptr;
    Child* c = ChildOfLeaf(frames_->Root().FocusedLeafView());
    if (!c || !c->frames->page_.PageHasKeys()) return nullptr;
    return c->controller.get();
}

int32_t DocumentFrames::CountLinkAreas(Node* leaf) {
    DocumentFrames* c = FramesOfLeaf(leaf);
    AreaArray* marks = c ? c->page_.PageLinkAreas() : nullptr;
    if (!marks) return 0;
    int32_t n = 0;
    for (int32_t i = 0; i < marks->Count(); ++i)
        if (Area* area = marks->At(i); area && area->link) ++n;
    return n;
}

void DocumentFrames::SelectMark(Node* leaf, int32_t n) {
    DocumentFrames* c = FramesOfLeaf(leaf);
    if (!c || !c->page_.PageLinkAreas()) return;
    c->page_.SelectPageMark(n);
}

int32_t DocumentFrames::NextLinkArea(Node* leaf, int32_t from) {
    DocumentFrames* c = FramesOfLeaf(leaf);
    AreaArray* marks = c ? c->page_.PageLinkAreas() : nullptr;
    if (!marks) return -1;
    for (int32_t i = from < 0 ? 0 : from + 1; i < marks->Count(); ++i)
        if (Area* area = marks->At(i); area && area->link) return i;
    return -1;
}

int32_t DocumentFrames::PreviousLinkArea(Node* leaf, int32_t from) {
    DocumentFrames* c = FramesOfLeaf(leaf);
    AreaArray* marks = c ? c->page_.PageLinkAreas() : nullptr;
    if (!marks) return -1;
    for (int32_t i = (from < 0 || from > marks->Count() ? marks->Count() : from) - 1; i >= 0; --i)
        if (Area* area = marks->At(i); area && area->link) return i;
    return -1;
}

int32_t DocumentFrames::QueryLayoutRange(Node* leaf, int32_t width, int32_t height) {
    DocumentFrames* c = FramesOfLeaf(leaf);
    if (!c || !c->page_.TextPageShown() || width < 1 || height < 1) return 0;
    // The page is laid out at the height left and fitted to what it holds; the frame then
    // places it at that height, which lays it out once more in its own rectangle.
    return c->page_.FitPageHeight(width, height);
}

bool DocumentFrames::MoveFocus(bool forward, bool restart) {
    if (!framed_ || !frames_) return restart && page_.FocusPageLink(forward);
    std::vector<Node*> leaves;
    try {
        CollectLeaves(frames_->Root(), leaves);
    } catch (const std::bad_alloc&) {
        return false;
    }
    BookDocumentController* focused = FocusedFrame();
    const Node* from = nullptr;
    if (!restart) from = focused ? focused->Frames().part_.get() : part_.get();
    auto count = static_cast<int32_t>(leaves.size());
    int32_t i = forward ? -1 : count;
    for (int32_t k = 0; k < count; ++k)
        if (leaves[static_cast<size_t>(k)] == from) i = k;
    for (int32_t j = forward ? i + 1 : i - 1; j >= 0 && j < count; j += forward ? 1 : -1) {
        DocumentFrames* c = FramesOfLeaf(leaves[static_cast<size_t>(j)]);
        if (c && c->page_.FocusPageLink(forward)) return true;
    }
    return false;
}

Node* DocumentFrames::OwnWindowPart() { return Part(); }

Node* DocumentFrames::WindowPart() { return Part(); }

void DocumentFrames::SetOwnFrameOptions() {
    frameFlag_ = 0;
    frameOption_ = 1;
}

void DocumentFrames::SetFrameOptions(uint8_t frameFlag, uint8_t option) {
    frameFlag_ = frameFlag;
    frameOption_ = option;
}

bool DocumentFrames::ShowsOwnerDocument() {
    return owner_ && page_.Book() && page_.Book() == owner_->page_.Book();
}

bool DocumentFrames::GetFramePosition(uint32_t& position) {
    position = position_;
    return page_.TextPageShown();
}

bool DocumentFrames::GoFirstPage() { return page_.GoFirstPage(); }

FrameSetController* DocumentFrames::CreateFrameController() {
    Child child;
    child.controller = page_.MakeFrameController(*this);
    if (!child.controller) return nullptr;
    child.frames = &child.controller->Frames();
    DocumentFrames* made = child.frames;
    try {
        children_.push_back(std::move(child));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return made;
}

bool DocumentFrames::OpenFrameDocument(FrameSetController* controller, uint32_t position) {
    Child* c = ChildOf(controller);
    if (!c || !page_.Book()) return false;
    c->frames->position_ = position;
    return page_.ShowInFrame(*c->controller, position);
}

void DocumentFrames::ReleaseFrameController(FrameSetController* controller) {
    for (size_t i = 0; i < children_.size(); ++i) {
        if (static_cast<FrameSetController*>(children_[i].frames) != controller) continue;
        Child c = std::move(children_[i]);
        children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(i));
        if (c.frames->part_) c.frames->part_->Detach();
        // It may be the one running (a link in a frame that moved the book): freed later.
        try {
            retired_.push_back(std::move(c));
        } catch (const std::bad_alloc&) {
            c.frames->page_.Shutdown();
        }
        return;
    }
}

void DocumentFrames::FreeRetired() {
    std::vector<Child> old;
    old.swap(retired_);
    old.clear();
}

void DocumentFrames::ClearKeyHandlers() {
    keyLinks_.clear();
    keyTexts_.clear();
}

void DocumentFrames::CollectKeyHandlers(uint32_t position) {
    TokenSource* source = page_.PageSource();
    if (!source) return;
    uint32_t limit = framesetEnd_ > position ? framesetEnd_ : UINT32_MAX;
    if (limit - position > kKeyHandlerSpan) limit = position + kKeyHandlerSpan;
    // The page's token source, put back where the layout left it.
    ByteStream saved;
    bool kept = source->SaveState(saved);
    std::vector<KeyHandlerLink> links;
    if (source->Start(position, true)) ReadKeyHandlerLinks(*source, limit, links);
    if (kept && saved.SetReadPosition(0)) source->RestoreState(saved);
    try {
        SelectKeyHandlers(links, GetProgramLanguage() & 0xFFFF, keyLinks_, keyTexts_);
    } catch (const std::bad_alloc&) {
        ClearKeyHandlers();
    }
}

void DocumentFrames::PlaceInFrame(const Rect& r) {
    frameRect_ = r;
    // Without frames beside it the window's own page covers the whole area.
    if (frameFlag_ || framed_) page_.LayOutPageIn(r);
}

void DocumentFrames::LayOutFrames(const Rect& area) {
    pageArea_ = area;
    Rect out;
    frames_->Root().AdjustRect(out, area);
}

bool DocumentFrames::Update() {
    if (frameFlag_ || updating_ || !frames_) return false;
    int32_t position = page_.PageStart();
    if (position == lastFramesetPosition_) return false;
    updating_ = true;
    Frame& root = frames_->Root();
    if (!framed_) pageArea_ = page_.Viewport();
    if (root.EntryCount() == 0) frames_->AddMainFrame();
    Resource* book = page_.Book();
    DocumentSource* document = book ? book->GetDocument() : nullptr;
    PackedTree cursor;
    uint8_t changed = 0;
    uint32_t range[2] = {0, 0};
    bool found = document && position >= 0 &&
                 document->PositionToRecord(static_cast<uint32_t>(position), &cursor, &changed,
                                            static_cast<int32_t>(lastFramesetPosition_), range);
    lastFramesetPosition_ = position;
    if (!found && !framed_ && root.EntryCount() == 1) {
        // Still the single frame "_main": nothing to rebuild.
        updating_ = false;
        return false;
    }
    if (found && changed) {
        ClearKeyHandlers();
        framesetEnd_ = range[1] > range[0] ? range[1] : UINT32_MAX;
    } else if (!found && page_.BuiltInPageId() != kBookmarksPageId) {
        ClearKeyHandlers();
    }
    bool rebuilt = frames_->Update(found, changed != 0, cursor);
    if (rebuilt) {
        bool wasFramed = framed_;
        framed_ = root.EntryCount() > 1;
        int32_t unit = page_.UnitSize();
        root.SetUnitSize(static_cast<uint32_t>(unit > 0 ? unit : 16));
        Rect area = pageArea_;
        DrawingSurface* surface = page_.WindowSurface(area);
        if (framed_) {
            if (surface) root.SetParent(surface);
            LayOutFrames(area);
        } else {
            root.Detach();
            frameRect_ = Rect{};
            if (wasFramed) page_.LayOutPageIn(area);
        }
    }
    updating_ = false;
    return rebuilt;
}

void DocumentFrames::Close() {
    if (!frames_) return;
    frames_->Detach();
    frames_->CloseFrameControllers();
    frames_->Root().Detach();
    std::vector<Child> all;
    all.swap(children_);
    for (Child& c : all) c.frames->page_.Shutdown();
    all.clear();
    FreeRetired();
    ClearKeyHandlers();
    framed_ = false;
    frameRect_ = Rect{};
    lastFramesetPosition_ = -1;
}

void DocumentFrames::Destroy() {
    Close();
    frames_.reset();
}

const char16_t* DocumentFrames::HardwareKeyName(uint32_t index) {
    static const char16_t* const kNames[] = {
        u"key0", u"key1", u"key2", u"key3",     u"key4",    u"key5",     u"key6",
        u"key7", u"key8", u"key9", u"key_help", u"key_say", u"key_prev", u"key_next"};
    return index < sizeof kNames / sizeof kNames[0] ? kNames[index] : nullptr;
}
