// What a document controller shows: the document (a book, a built-in page, a database), its
// location, the view over it, the link focus and the reports of failed opens. The controller's
// code names the fields; they are a base of it as the window's objects are.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/random.h"
#include "core/ref_counted.h"
#include "core/string.h"
#include "document/location/location.h"

class ListPopup;
class Resource;

class ShownDocument {
public:
    // The views a location string may name; kTextPage is the book's laid-out text.
    enum View : uint32_t {
        kTextPage = 0,
        kRecordSetView = 2,
        kImageView = 5,
        kAudioView = 6,
        kCoverView = 7,
        kWordListView = 8,      // view mode 4
        kSearchHistoryView = 9  // view mode 5
    };
    // Where the link focus came from: the link-focus keys (1035-1038) past the page's last link
    // step the page.
    enum FocusKind : uint32_t {
        kFocusNone = 0,
        kFocusArea = 1,
        kFocusForward = 2,
        kFocusBackward = 3
    };

    // The document shown (null: none), and the view over it: "" for the text page, "$cover",
    // "$audio", "$3".
    Resource* Document() const { return resource_.Get(); }
    const String& CurrentString() const { return current_; }
    View CurrentView() const { return view_; }
    FocusKind LinkFocusKind() const { return focusKind_; }
    // The reader moved on the page shown (through its tables' views): the place is its own now,
    // no longer the one stored.
    void NoteMoved() { keepStoredPosition_ = false; }
    const std::vector<uint32_t>& Reports() const { return reports_; }
    // Random table entries are drawn with this seed.
    void SeedRandom(uint64_t seed) { random_.Seed(seed); }

protected:
    ShownDocument();
    ~ShownDocument();

    RefPtr<Resource> resource_;
    Location location_;
    // The view shown: "" for the text page, "$cover", "$audio", "$3".
    String current_;
    View view_ = kTextPage;
    // After a failed restore the fallback page is not saved over the stored one until the
    // reader moves.
    bool keepStoredPosition_ = false;
    // The shell is told once that a newly set document is shown.
    bool readyNoticePending_ = false;
    // Failed opens' messages (string ids), kept for the window's message box.
    std::vector<uint32_t> reports_;
    int32_t contentsDepth_ = 0;
    FocusKind focusKind_ = kFocusNone;
    Random random_;
    // The list pop-up over the page, and the bar mode of the view shown.
    std::unique_ptr<ListPopup> listPopup_;
    uint32_t barMode_ = 0;
};
