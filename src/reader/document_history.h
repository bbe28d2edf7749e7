// The window's navigation history and its stepping rules: what a navigation records, where Back
// and Forward land, and the step back to the document before this one. The history opens
// nothing itself: it asks its HistoryPlaces for the place shown and to open a stored one.
#pragma once

#include <cstdint>

#include "reader/navigation_history.h"

class HistoryPlaces {
public:
    // The place shown as an entry (location and view state); false when it cannot be saved.
    virtual bool CapturePlace(HistoryEntry& entry) = 0;
    // Opens a stored place as a history step (not recorded again).
    virtual bool OpenPlace(const HistoryEntry& entry) = 0;
    // The document shown; null while none is.
    virtual const Location* ShownLocation() const = 0;
    // The list window shown over the page: "oeb:library", "oeb:bookmarks", or null.
    virtual const char16_t* ListPageShown() const = 0;
    // An entry was pushed (the bars' Back key may change).
    virtual void HistoryPushed() = 0;

protected:
    ~HistoryPlaces() = default;
};

class DocumentHistory {
public:
    explicit DocumentHistory(HistoryPlaces& places) : places_(places) {}
    DocumentHistory(const DocumentHistory&) = delete;
    DocumentHistory& operator=(const DocumentHistory&) = delete;

    NavigationHistory& Entries() { return history_; }
    const NavigationHistory& Entries() const { return history_; }

    // Records the place shown before a navigation (the list window's page when one is shown);
    // pushed tells whether an entry was stored. True when there was nothing to remember.
    bool Push(bool& pushed);
    bool PushAndNotify(bool& pushed);
    // Keeps the place shown before a step: pushed at the end, or stored over the entry the
    // reader stepped back to.
    bool SaveAtEnd();
    bool StoreEntry();
    // One step back or forward; false when there is none or the place could not be opened.
    bool StepBack();
    bool StepForward();
    // The last marked entry, opened.
    bool ToLast();
    // Walks back to the newest entry of another document; false when there is none (the
    // position is then at the oldest entry).
    bool FindOtherDocument();
    // From the entry found, opens the first that opens, going back.
    bool OpenFromFound();

private:
    HistoryPlaces& places_;
    NavigationHistory history_;
};
