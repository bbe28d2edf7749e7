// The generated pages a controller shows in its page's place: the record-set page (an index
// table or a query over the book's tables, with the tables it keeps reading), its preview pane
// (the book laid out once more), and the word-list and search-history pages the reader
// controller keeps. Pages left while one of their own handlers may still run are parked and
// freed at the next navigation. What the pages ask (entries to open, texts to show) goes to the
// RecordSetPageOwner they are made with; the window and the book come in as arguments.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/geometry.h"
#include "database/book_index_source.h"
#include "reader/record_requests.h"
#include "reader/record_set_page.h"

class DatabaseView;
class DisplayLink;
class DrawingSurface;
class GraphicsContext;
class Resource;
struct LayoutSettings;
struct RememberedSearch;

class RecordPages {
public:
    explicit RecordPages(RecordSetPageOwner& owner);
    ~RecordPages();
    RecordPages(const RecordPages&) = delete;
    RecordPages& operator=(const RecordPages&) = delete;

    // The tables a generated page reads (the page keeps asking them for new pages).
    class Tables final : public ResourceIndexResolver {
    public:
        using ResourceIndexResolver::ResourceIndexResolver;
    };
    // Where a page is shown: the window's surface and area (no surface outside a window), the
    // search remembered across pages, and whether the preview pane is wanted.
    struct Place {
        DrawingSurface* surface = nullptr;
        Rect area{};
        RememberedSearch* search = nullptr;
        bool preview = false;
        // The text page, which takes the keys back when a page shown before is left.
        Node* textPage = nullptr;
        // The book's title: the header of a plain view given none.
        String title{};
    };

    // The generated page a link names ("$fvtsql...") over the book's tables; false when the
    // link names none.
    bool ShowLink(Resource* book, const String& anchor, const Place& place);
    // A request's view over those tables as the page shown.
    bool ShowView(std::unique_ptr<Tables> tables, std::unique_ptr<DatabaseView> view,
                  const Place& place);
    // Parks the page shown and leaves the list pages; true when a record-set page was shown.
    bool Leave(DrawingSurface* surface);
    // Hides the page's search and preview, and leaves a list page.
    void LeaveRequestPages(DrawingSurface* surface);
    void FreeRetired() { retired_.clear(); }
    // Null outside a record-set page.
    RecordSetPage* Page() const { return shown_.page.get(); }

    // The preview pane from a text position of the book; made at the first paint.
    void ShowPreview(Resource* book, const LayoutSettings& settings, DisplayLink* display,
                     uint32_t position);
    void HidePreview();
    void PaintPreview(GraphicsContext& gc, const Rect& area);

    // The word-list and search-history pages; without them their requests fail.
    void SetListPages(ListPageRequests* pages) { listPages_ = pages; }
    ListPageRequests* ListPages() const { return listPages_; }
    bool ListPageShown() const { return listPageShown_; }
    // A word-list or search-history request over the book; location receives the page's name.
    bool OpenList(Resource* book, const CommandRecord& record, String& location);

    // Where an entry's tag 41 finds the other book; null: such entries only report.
    void SetLinkedBooks(LinkedBooks* books) { linkedBooks_ = books; }
    LinkedBooks* Linked() const { return linkedBooks_; }
    // The native search fields of record-set pages; without a factory the pages draw their own.
    void SetSearchFields(SearchFieldFactory* fields) { searchFields_ = fields; }
    std::unique_ptr<SearchField> MakeSearchField(Node* owner);

private:
    struct Shown {
        std::unique_ptr<Tables> tables;
        std::unique_ptr<RecordSetPage> page;
    };
    bool Attach(Shown&& shown, const Place& place);
    class Preview;

    RecordSetPageOwner& owner_;
    Shown shown_;
    std::vector<Shown> retired_;
    std::unique_ptr<Preview> preview_;
    ListPageRequests* listPages_ = nullptr;
    bool listPageShown_ = false;
    LinkedBooks* linkedBooks_ = nullptr;
    SearchFieldFactory* searchFields_ = nullptr;
};
