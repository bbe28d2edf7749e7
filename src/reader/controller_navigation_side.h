// What the history and the book's references ask of the document controller: a private part of
// the controller, included only by its own source files.
#pragma once

#include "reader/book_document_controller.h"
#include "reader/reader_host.h"

class BookDocumentController::NavigationSide final : public HistoryPlaces, public ReferencesHost {
public:
    explicit NavigationSide(BookDocumentController& c) : c_(c) {}

    // What the history asks.
    bool CapturePlace(HistoryEntry& entry) override { return c_.SaveHistoryState(entry, true); }
    bool OpenPlace(const HistoryEntry& entry) override { return c_.OpenHistoryEntry(entry, false); }
    const Location* ShownLocation() const override { return c_.CurrentLocation(); }
    const char16_t* ListPageShown() const override { return c_.ListPageShown(); }
    void HistoryPushed() override {
        if (c_.sink_) c_.sink_->OnCommandNotice(&c_, -1, c_.cookie_);
    }

    // What running a reference asks.
    Resource* Book() override { return c_.resource_; }
    TokenSource* PageSource() override { return c_.page_.Source(); }
    bool TextPageShown() override { return c_.page_.Layout() && c_.view_ == kTextPage; }
    bool GoToTextPosition(uint32_t position) override { return c_.GoToPosition(position); }
    bool FollowLink(const String& link) override { return c_.ActivateLink(link); }

private:
    BookDocumentController& c_;
};
