// The text pop-up: a pale yellow overlay holding one rich-text box (notes, lookup results,
// messages, search results with links), placed at an anchor or centred on it. Its builders fill
// the box with an index entry's link and with an index-search link.
//
// The reader calls this pop-up `TextPopup` through its own interface (reader_views.h); the
// adapter in src/reader implements that interface over this window.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/string.h"
#include "graphics/widgets/overlay_widget.h"
#include "graphics/widgets/text_box.h"

class DocumentSource;
class DrawingSurface;
class EntryRecords;
class IndexEntryReader;
struct IndexPosition;

class TextPopupWindow : public OverlayWidget {
public:
    // A pop-up with links reads the keys as a page with a focused link does: Up and Down move
    // among the links, Enter follows the one focused, any other key closes it.
    bool WantedInputState(InputState& state) override;

    static constexpr uint32_t kBackground = 255 | 255 << 8 | 200 << 16;
    static constexpr uint32_t kEntryLinkStyle = 150;   // centred, italic, underlined, kept
    static constexpr uint32_t kSearchLinkStyle = 148;  // centred, underlined, kept
    static constexpr uint32_t kManualSearchId = 5100;
    static constexpr uint32_t kMoreId = 5152;
    static constexpr uint32_t kMoreStyle = 21;
    // A run is cut off at this many characters.
    static constexpr int32_t kRunLimit = 257;

    // area is the pop-up area the box may fill (null: the surface's client area); unbounded
    // lets the box take any size.
    TextPopupWindow(DrawingSurface* surface, TextBoxOwner* owner, bool unbounded, const Rect* area);
    ~TextPopupWindow() override;

    TextBox* Box() const { return box_.get(); }
    void SetAnchor(Point anchor, bool centred);
    Point Anchor() const { return anchor_; }
    bool IsCentred() const { return centred_ != 0; }
    // A box a pop-up placed at its anchor leaves in view where it can: one shifted over it to
    // stay on the screen goes above it instead, when it fits there. Empty: none.
    void SetKeepClear(const Rect& box) { keepClear_ = box; }

    bool Show(bool show) override;
    void Redraw(const Rect* area) override;
    // Called once, after the pop-up was hidden and the pixels beneath it put back.
    void SetOnHidden(std::function<void()> call) { onHidden_ = std::move(call); }

    // The text of the index entry at the position: its text ranges (tag 8, else tag 6) read
    // from the book's text with line breaks, bold and italic kept, then a "More" link (tag 1's
    // entry, only without tag 8) and the entry link. False when the entry cannot be read.
    bool AddIndexEntryText(EntryRecords& records, const String& name, IndexPosition position,
                           IndexEntryReader& reader);
    // The same over a given text (records may be null: no entry link).
    bool AddEntryText(DocumentSource* text, EntryRecords* records, const String& name,
                      IndexPosition position, IndexEntryReader& reader);
    // The ranges (start, length pairs) of the text as runs; false once the box is full.
    bool AddTextRanges(DocumentSource* text, const std::vector<uint32_t>& ranges);

    // The title of the resource a name leads to, as a link to its entry n. False when it has
    // no title or the box is full.
    bool AddEntryLink(EntryRecords& records, const String& name, uint32_t n);
    // A link that opens the index search for b in a's window; the label, or "manual search".
    bool ShowIndexSearchLink(const String& a, const String& b, const String& label);
    // The script of that link: open a's window, then search b in its index (both escaped as
    // script string literals). False when it cannot be built.
    static bool IndexSearchScript(const String& a, const String& b, String& out);

private:
    std::unique_ptr<TextBox> box_;
    Point anchor_{};
    uint32_t centred_ = 0;
    Rect keepClear_{};
    std::function<void()> onHidden_;
};
