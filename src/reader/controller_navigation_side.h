// What the history and the book's references ask of the document controller: a private part of
// the controller, included only by its own source files. It reads the book and the page shown,
// and asks the controller only for its opening and position operations.
#pragma once

#include "reader/book_document_controller.h"
#include "reader/reader_host.h"

class BookDocumentController::NavigationSide final : public HistoryPlaces, public ReferencesHost {
public:
    NavigationSide(BookDocumentController& owner, const DocumentWindowLinks& window,
                   const RefPtr<Resource>& book, const Location& location, const View& view,
                   PagePresentation& page)
        : owner_(owner), window_(window), book_(book), location_(location), view_(view),
          page_(page) {}

    // What the history asks.
    bool CapturePlace(HistoryEntry& entry) override { return owner_.SaveHistoryState(entry, true); }
    bool OpenPlace(const HistoryEntry& entry) override { return owner_.OpenHistoryEntry(entry, false); }
    const Location* ShownLocation() const override { return book_ ? &location_ : nullptr; }
    const char16_t* ListPageShown() const override { return owner_.ListPageShown(); }
    void HistoryPushed() override {
        if (AppShellEvents* sink = window_.Sink()) sink->OnCommandNotice(&owner_, -1, window_.Cookie());
    }

    // What running a reference asks.
    Resource* Book() override { return book_.Get(); }
    TokenSource* PageSource() override { return page_.Source(); }
    bool TextPageShown() override { return page_.Layout() && view_ == kTextPage; }
    bool GoToTextPosition(uint32_t position) override { return owner_.GoToPosition(position); }
    bool FollowLink(const String& link) override { return owner_.ActivateLink(link); }

private:
    // Only for its opening and position operations.
    BookDocumentController& owner_;
    const DocumentWindowLinks& window_;
    const RefPtr<Resource>& book_;
    const Location& location_;
    const View& view_;
    PagePresentation& page_;
};
