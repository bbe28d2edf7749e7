#include "reader/record_pages.h"

#include <memory>
#include <optional>

#include "core/ref_counted.h"
#include "database/resource.h"
#include "graphics/core/drawing_surface.h"
#include "layout/page_canvas.h"
#include "layout/page_layout.h"
#include "reader/database_view.h"
#include "reader/reader_settings.h"

namespace {
constexpr uint32_t kNoPreviewFlag = 0x4000;

// The page canvas the preview paints through.
class PreviewCanvas final : public GraphicsPageCanvas {
public:
    using GraphicsPageCanvas::GraphicsPageCanvas;
};
}  // namespace

RecordPages::RecordPages(RecordSetPageOwner& owner) : owner_(owner) {}

RecordPages::~RecordPages() = default;

bool RecordPages::ShowLink(Resource* book, const String& anchor, const Place& place) {
    if (!book) return false;
    String body;
    body.AssignSub(anchor, 1, -1);
    Shown shown;
    shown.tables = std::make_unique<Tables>(book);
    String location;
    shown.page = RecordSetPage::Open(body, shown.tables.get(), &owner_, location);
    return Attach(std::move(shown), place);
}

bool RecordPages::ShowView(std::unique_ptr<Tables> tables, std::unique_ptr<DatabaseView> view,
                           const Place& place) {
    Shown shown;
    shown.tables = std::move(tables);
    shown.page = RecordSetPage::Adopt(std::move(view), &owner_);
    return Attach(std::move(shown), place);
}

bool RecordPages::Attach(Shown&& shown, const Place& place) {
    if (!shown.page) return false;
    if (Leave(place.surface) && place.textPage) place.textPage->Focus();
    shown_ = std::move(shown);
    DatabaseView& view = shown_.page->View();
    view.SetRememberedSearch(place.search);
    view.SetPreviewEnabled(place.preview && !(view.Flags() & kNoPreviewFlag));
    view.SetDefaultTitle(place.title);
    if (place.surface) {
        shown_.page->Show(place.surface, place.area);
        shown_.page->ViewNode().Focus();
        // The keys read as a searched list's: Up and Down move the selection, Enter opens
        // it, Backspace and Space edit the search.
        place.surface->SetInputState(InputState::kSearchList);
    }
    return true;
}

bool RecordPages::Leave(DrawingSurface* surface) {
    LeaveRequestPages(surface);
    if (!shown_.page) return false;
    // The page may be the caller (its entry opened a position): deleted at the next navigation.
    shown_.page->ViewNode().Detach();
    try {
        retired_.push_back(std::move(shown_));
    } catch (const std::bad_alloc&) {
        shown_ = Shown();
    }
    shown_ = Shown();
    return true;
}

void RecordPages::LeaveRequestPages(DrawingSurface* surface) {
    preview_.reset();
    if (shown_.page) {
        shown_.page->Hide();
        if (surface) surface->SetInputState(InputState::kReading);
    }
    if (!listPageShown_) return;
    listPageShown_ = false;
    if (listPages_) listPages_->LeaveListPage();
}

bool RecordPages::OpenList(Resource* book, const CommandRecord& record, String& location) {
    if (!listPages_ || !listPages_->OpenListRequest(book, record, location)) return false;
    listPageShown_ = true;
    return true;
}

std::unique_ptr<SearchField> RecordPages::MakeSearchField(Node* owner) {
    return searchFields_ ? searchFields_->MakeSearchField(owner) : nullptr;
}

// The document laid out once more, in the pane, from the previewed entry's position. Made at the
// first paint, when the pane's size and the surface that measures are known.
class RecordPages::Preview {
public:
    Preview(Resource* book, const LayoutSettings& settings, DisplayLink* display)
        : book_(book), settings_(settings), display_(display) {}
    ~Preview() { Drop(); }
    Preview(const Preview&) = delete;
    Preview& operator=(const Preview&) = delete;

    void SetPosition(uint32_t position) {
        position_ = position;
        if (layout_) layout_->GoToPositionAsPageStart(position_);
    }
    void Paint(GraphicsContext& gc, const Rect& area) {
        if (!layout_ || gc_ != &gc || area.x != area_.x || area.y != area_.y ||
            area.width != area_.width || area.height != area_.height) {
            if (!Make(gc, area)) return;
        }
        layout_->SetCanvas(&*canvas_);
        layout_->PaintCurrentPage(true);
    }

private:
    bool Make(GraphicsContext& gc, const Rect& area) {
        Drop();
        if (area.IsEmpty() || !book_->CreateLayout(source_, &layout_) || !layout_) {
            Drop();
            return false;
        }
        layout_->SetGraphics(&gc);
        if (display_) layout_->SetDisplay(display_);
        layout_->Configure(settings_);
        layout_->SetViewport(area);
        if (!layout_->Start()) {
            Drop();
            return false;
        }
        layout_->GoToPositionAsPageStart(position_);
        gc_ = &gc;
        area_ = area;
        canvas_.emplace(&gc);
        return true;
    }
    void Drop() {
        if (layout_) layout_->SetCanvas(nullptr);
        if (layout_ || source_) book_->DestroyLayout(source_, layout_);
        layout_ = nullptr;
        source_ = nullptr;
        canvas_.reset();
        gc_ = nullptr;
    }

    RefPtr<Resource> book_;
    LayoutSettings settings_;
    DisplayLink* display_;
    TokenSource* source_ = nullptr;
    PageLayout* layout_ = nullptr;
    std::optional<PreviewCanvas> canvas_;
    GraphicsContext* gc_ = nullptr;
    Rect area_{};
    uint32_t position_ = 0;
};

void RecordPages::ShowPreview(Resource* book, const LayoutSettings& settings,
                              DisplayLink* display, uint32_t position) {
    if (!book) return;
    if (!preview_) {
        preview_ = std::make_unique<Preview>(book, settings, display);
    }
    preview_->SetPosition(position);
}

void RecordPages::HidePreview() { preview_.reset(); }

void RecordPages::PaintPreview(GraphicsContext& gc, const Rect& area) {
    if (preview_) preview_->Paint(gc, area);
}
