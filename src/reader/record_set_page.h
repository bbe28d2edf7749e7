// A generated page in a reader window: the record-set view made from the page's link, the node
// that draws it on the window's surface, and the answers to what the view asks, passed to the
// window's document controller (its owner) as navigation it can run after the current event.
#pragma once

#include <cstdint>
#include <memory>

#include "core/string.h"
#include "reader/database_view.h"
#include "reader/database_view_node.h"

class CommandRecord;
class IndexRecordSet;
class IndexSource;
class Node;
class IndexSourceResolver;
class Widget;

class RecordSetPageOwner {
public:
    // History back, run once the current event is over (the page may be deleted by it).
    virtual void PostHistoryBack() = 0;
    // The entry's text position in the table's book; the table and entry go to the search
    // history.
    virtual bool OpenEntryPosition(IndexSource* table, uint32_t entry, int64_t position) = 0;
    // As OpenEntryPosition, with the number of the table the view lists (-1 unknown), which
    // the search history records.
    virtual bool OpenNumberedEntry(IndexSource* table, int32_t /*tableNumber*/, uint32_t entry,
                                   int64_t position) {
        return OpenEntryPosition(table, entry, position);
    }
    // The position in the book the current document numbers `book`; false when it does not
    // open. The table (-1 unknown) and entry are the search history's.
    virtual bool OpenEntryInBook(uint32_t /*book*/, int64_t /*position*/, int32_t /*tableNumber*/,
                                 uint32_t /*entry*/) {
        return false;
    }
    // A named page's row: the set, standing on the entry, is the book script's record set
    // while the script runs; the table (-1 unknown) and entry are the search history's. The set
    // is borrowed.
    virtual bool RunEntryScript(IndexRecordSet* /*set*/, int32_t /*tableNumber*/,
                                uint32_t /*entry*/, const String& /*script*/) {
        return false;
    }
    // A location of the current document (a generated page's "$" form).
    virtual bool OpenDocumentLocation(const String& location) = 0;
    // A query page asked for by a view (the wildcard lookup's request 96): its arguments are
    // passed on to the new view. By default the request goes to OpenPageRequest; an owner that
    // takes no requests opens the page's link, which has no place for the view's state word,
    // name and flags.
    virtual bool OpenQueryPageRequest(const String& query, const String& title, int32_t stateWord,
                                      const String& viewName, uint32_t flags);
    // Whether the owner opens pages from command records (OpenPageRequest).
    virtual bool TakesPageRequests() const { return false; }
    // A generated page asked for by a command record, as a book script asks for it.
    virtual bool OpenPageRequest(const CommandRecord& /*request*/) { return false; }
    virtual void ShowPopupText(const String& text) = 0;
    // Entries of the view's table in a pop-up: the heading, then each entry linked to it (its
    // headword and forms, or its key only). False when it cannot be shown.
    virtual bool ShowIndexEntries(IndexSource* /*table*/, const String& /*heading*/,
                                  const std::vector<uint32_t>& /*entries*/, bool /*keysOnly*/,
                                  const String& /*globalName*/) {
        return false;
    }
    // The page's preview pane: the position shown in it, closed, painted into the area.
    virtual void ShowPreviewPosition(int64_t /*position*/) {}
    virtual void HidePreview() {}
    virtual void PaintPreview(GraphicsContext& /*gc*/, const Rect& /*area*/) {}
    virtual void HideInputPanel() {}
    // The page's native search field; null: the page draws its own.
    virtual std::unique_ptr<SearchField> MakeSearchField(Node* /*owner*/) { return nullptr; }

protected:
    ~RecordSetPageOwner() = default;
};

class RecordSetPage final : private DatabaseViewHost {
public:
    // The page a generated-page link (without its '$') names; null when it names none.
    static std::unique_ptr<RecordSetPage> Open(const String& link, IndexSourceResolver* tables,
                                               RecordSetPageOwner* owner, String& location);
    // A page over a view made elsewhere (a request's); null without a view.
    static std::unique_ptr<RecordSetPage> Adopt(std::unique_ptr<DatabaseView> view,
                                                RecordSetPageOwner* owner);
    ~RecordSetPage();

    // Attaches the node to the surface and lays it out in the rectangle.
    void Show(Widget* surface, const Rect& area);
    // Out of sight (the page was left; it may still be running, so the field stays until the
    // page goes).
    void Hide();
    DatabaseView& View() { return *view_; }
    DatabaseViewNode& ViewNode() { return *node_; }

private:
    RecordSetPage(std::unique_ptr<DatabaseView> view, RecordSetPageOwner* owner);
    void PassBack() override;
    bool OpenEntryTarget(IndexSource* table, uint32_t entry, int64_t position) override;
    bool OpenEntryInBook(uint32_t book, int64_t position, uint32_t entry) override;
    bool RunEntryScript(IndexRecordSet* set, uint32_t entry, const String& script) override;
    bool OpenQueryRequest(const String& query, const String& title, int32_t stateWord,
                          const String& viewName, uint32_t flags) override;
    void ShowPopupText(const String& text) override;
    bool ShowLookupEntries(IndexSource* table, const std::vector<uint32_t>& entries,
                           const String& globalName) override;
    bool ShowSpellingCandidates(IndexSource* table, const String& heading,
                                const std::vector<uint32_t>& entries,
                                const String& globalName) override;
    void ShowPreview(IndexSource* table, uint32_t entry, int64_t position) override;
    void HidePreview() override;
    void PaintPreview(GraphicsContext& gc, const Rect& area) override;
    void HideInputPanel() override;

    std::unique_ptr<DatabaseView> view_;
    std::unique_ptr<SearchField> field_;
    std::unique_ptr<DatabaseViewNode> node_;
    RecordSetPageOwner* owner_;
};
