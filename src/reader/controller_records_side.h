// What the record pages and their requests ask of the document controller: a private part of the
// controller, included only by its own source files. It reads the book, the window and the
// record pages; the openings a page asks for are the controller's.
#pragma once

#include <memory>
#include <vector>

#include "document/location/location.h"
#include "graphics/core/command_ids.h"
#include "graphics/core/drawing_surface.h"
#include "layout/page_layout.h"
#include "reader/book_document_controller.h"
#include "reader/dictionary_lookups.h"
#include "reader/reader_controller.h"

class BookDocumentController::RecordsSide final : public RecordSetPageOwner, public RequestsHost {
public:
    RecordsSide(BookDocumentController& owner, const DocumentWindowLinks& window,
                const RefPtr<Resource>& book, const Location& location, RecordPages& records,
                RecordRequests& requests, std::vector<uint32_t>& reports)
        : owner_(owner), window_(window), book_(book), location_(location), records_(records),
          requests_(requests), reports_(reports) {}

    // What a record page asks; navigation leaves the page to be deleted later.
    void PostHistoryBack() override {
        if (ReaderController* reader = window_.Reader()) reader->PostCommand(Cmd::kBack);
    }
    bool OpenEntryPosition(IndexSource* /*table*/, uint32_t /*entry*/, int64_t position) override {
        return OpenPosition(position);
    }
    bool OpenNumberedEntry(IndexSource* table, int32_t tableNumber, uint32_t entry,
                           int64_t position) override {
        return requests_.OpenNumberedEntry(table, tableNumber, entry, position);
    }
    bool OpenEntryInBook(uint32_t book, int64_t position, int32_t tableNumber,
                         uint32_t entry) override {
        return requests_.OpenEntryInBook(book, position, tableNumber, entry);
    }
    bool RunEntryScript(IndexRecordSet* set, int32_t tableNumber, uint32_t entry,
                        const String& script) override {
        return requests_.RunEntryScript(set, tableNumber, entry, script);
    }
    bool OpenDocumentLocation(const String& location) override {
        if (!book_) return false;
        Location target;
        target.CopyFrom(location_);
        target.SetAnchor(location);
        return owner_.NavigateTo(target);
    }
    bool TakesPageRequests() const override { return true; }
    bool OpenPageRequest(const CommandRecord& request) override {
        return owner_.ReopenWithRequest(request);
    }
    void ShowPopupText(const String& text) override {
        if (ReaderController* reader = window_.Reader()) reader->ShowPopupPage(text, 2, Point{});
    }
    bool ShowIndexEntries(IndexSource* table, const String& heading,
                          const std::vector<uint32_t>& entries, bool keysOnly,
                          const String& globalName) override {
        // The links name the entries in the book's own location: followed, they open there.
        String book;
        ReaderController* reader = window_.Reader();
        if (!reader || !table || !location_.ToString(book, true)) return false;
        return reader->Lookups().ShowIndexEntries(*table, heading, entries, keysOnly, book,
                                                      globalName);
    }
    void ShowPreviewPosition(int64_t position) override {
        if (!book_ || position < 0 || position > UINT32_MAX) return;
        LayoutSettings settings;
        owner_.GetLayoutOptions(settings);
        DrawingSurface* surface = window_.Surface();
        records_.ShowPreview(book_.Get(), settings, surface ? surface->Display() : nullptr,
                             static_cast<uint32_t>(position));
    }
    void HidePreview() override { records_.HidePreview(); }
    void PaintPreview(GraphicsContext& gc, const Rect& area) override {
        records_.PaintPreview(gc, area);
    }
    void HideInputPanel() override { RecordRequests::HideInputPanel(); }
    std::unique_ptr<SearchField> MakeSearchField(Node* owner) override {
        return records_.MakeSearchField(owner);
    }

    // What a record page's requests ask.
    Resource* Book() override { return book_.Get(); }
    const Location& BookLocation() override { return location_; }
    DocumentLoader* Loader() override { return window_.Loader(); }
    ReaderSettings* Settings() override { return window_.Settings(); }
    void Tell(uint32_t id, const String& argument) override {
        if (ReaderController* reader = window_.Reader())
            reader->MessageBoxByIdArgs(-1, id, MessageKind::kInformation, &argument, 1);
    }
    ListPageRequests* ListPages() override { return records_.ListPages(); }
    LinkedBooks* Linked() override { return records_.Linked(); }
    bool RunWithRecordSet(RefPtr<IndexRecordSet> set, uint32_t entry,
                          const String& script) override {
        return owner_.RunWithRecordSet(std::move(set), entry, script);
    }
    bool OpenRequestAt(Location& location, const CommandRecord& record, bool report) override {
        return owner_.OpenRequestAt(location, record, report);
    }
    void Report(uint32_t id) override { reports_.push_back(id); }

private:
    // The book shown at a text position, as a history step.
    bool OpenPosition(int64_t position) {
        if (!book_ || position < 0 || position > UINT32_MAX) return false;
        Location target;
        target.CopyFrom(location_);
        return target.SetPositionAnchor(static_cast<uint32_t>(position)) &&
               owner_.NavigateTo(target);
    }

    // Only for the openings the pages ask for.
    BookDocumentController& owner_;
    const DocumentWindowLinks& window_;
    const RefPtr<Resource>& book_;
    const Location& location_;
    RecordPages& records_;
    RecordRequests& requests_;
    std::vector<uint32_t>& reports_;
};
