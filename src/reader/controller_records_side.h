// What the record pages and their requests ask of the document controller: a private part of the
// controller, included only by its own source files.
#pragma once

#include <memory>
#include <vector>

#include "graphics/core/command_ids.h"
#include "reader/book_document_controller.h"
#include "reader/dictionary_lookups.h"
#include "reader/reader_controller.h"

class BookDocumentController::RecordsSide final : public RecordSetPageOwner, public RequestsHost {
public:
    explicit RecordsSide(BookDocumentController& c) : c_(c) {}

    // What a record page asks; navigation leaves the page to be deleted later.
    void PostHistoryBack() override {
        if (c_.reader_) c_.reader_->PostCommand(Cmd::kBack);
    }
    bool OpenEntryPosition(IndexSource* table, uint32_t entry, int64_t position) override {
        return c_.OpenEntryPosition(table, entry, position);
    }
    bool OpenNumberedEntry(IndexSource* table, int32_t tableNumber, uint32_t entry,
                           int64_t position) override {
        return c_.requests_.OpenNumberedEntry(table, tableNumber, entry, position);
    }
    bool OpenEntryInBook(uint32_t book, int64_t position, int32_t tableNumber,
                         uint32_t entry) override {
        return c_.requests_.OpenEntryInBook(book, position, tableNumber, entry);
    }
    bool RunEntryScript(IndexRecordSet* set, int32_t tableNumber, uint32_t entry,
                        const String& script) override {
        return c_.requests_.RunEntryScript(set, tableNumber, entry, script);
    }
    bool OpenDocumentLocation(const String& location) override {
        return c_.OpenDocumentLocation(location);
    }
    bool TakesPageRequests() const override { return true; }
    bool OpenPageRequest(const CommandRecord& request) override {
        return c_.ReopenWithRequest(request);
    }
    void ShowPopupText(const String& text) override {
        if (c_.reader_) c_.reader_->ShowPopupPage(text, 2, Point{});
    }
    bool ShowIndexEntries(IndexSource* table, const String& heading,
                          const std::vector<uint32_t>& entries, bool keysOnly,
                          const String& globalName) override {
        // The links name the entries in the book's own location: followed, they open there.
        String book;
        if (!c_.reader_ || !table || !c_.location_.ToString(book, true)) return false;
        return c_.reader_->Lookups().ShowIndexEntries(*table, heading, entries, keysOnly, book,
                                                      globalName);
    }
    void ShowPreviewPosition(int64_t position) override { c_.ShowPreviewPosition(position); }
    void HidePreview() override { c_.records_.HidePreview(); }
    void PaintPreview(GraphicsContext& gc, const Rect& area) override {
        c_.records_.PaintPreview(gc, area);
    }
    void HideInputPanel() override { RecordRequests::HideInputPanel(); }
    std::unique_ptr<SearchField> MakeSearchField(Node* owner) override {
        return c_.records_.MakeSearchField(owner);
    }

    // What a record page's requests ask.
    Resource* Book() override { return c_.resource_; }
    const Location& BookLocation() override { return c_.location_; }
    DocumentLoader* Loader() override { return c_.loader_; }
    ReaderController* Reader() override { return c_.reader_; }
    ReaderSettings* Settings() override { return c_.settings_; }
    ListPageRequests* ListPages() override { return c_.records_.ListPages(); }
    LinkedBooks* Linked() override { return c_.records_.Linked(); }
    bool RunWithRecordSet(IndexRecordSet* set, uint32_t entry, const String& script) override {
        return c_.RunWithRecordSet(set, entry, script);
    }
    bool OpenRequestAt(Location& location, const CommandRecord& record, bool report) override {
        return c_.OpenRequestAt(location, record, report);
    }
    void Report(uint32_t id) override { c_.reports_.push_back(id); }

private:
    BookDocumentController& c_;
};
