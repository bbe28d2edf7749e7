// The list pop-up: a framed overlay with a heading, a list of choices and a footer (the results
// of a lookup in several indexes, for instance). Activating a row performs its link through the
// owner. The pop-up can write its whole state, rows included, as an "LTTS" record that the owner
// keeps with its view state, so that coming back to the page shows it again as it was.
//
// Re-entrancy: performing a row's link may navigate and delete the pop-up; activation copies what
// it needs first and touches nothing of the pop-up afterwards.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/ref_counted.h"
#include "core/string.h"
#include "database/sorted_record_set.h"
#include "document/markup/link_target.h"
#include "graphics/widgets/list_control.h"
#include "graphics/widgets/overlay_widget.h"
#include "graphics/widgets/text_box.h"

class AppPaths;
class ByteStream;
class DrawingSurface;
class TimerList;

// What the pop-ups need of the window's document controller beyond the text box's needs.
class PopupHost : public TextBoxOwner {
public:
    // The part of the window that pop-ups may use; false when there is none.
    virtual bool GetPopupArea(Rect& out) = 0;
    // Keeps a pop-up's state record with the page's view state (the stream is handed over).
    virtual void KeepPopupState(ByteStream& state) = 0;
    virtual void ClearPopupState() = 0;

protected:
    ~PopupHost() = default;
};

// The rows of a list pop-up with the link target of each (null for none).
class PopupRows : public SortedRecordSet {
public:
    // The row and its target (shared; may be null). False when memory runs out.
    bool AddLinkedRow(const Row& row, LinkTarget* target);
    // A new reference the caller releases, or null.
    LinkTarget* GetLinkTarget(const RecordPosition& pos) override;

protected:
    ~PopupRows() override;
    void RowsReordered(const std::vector<size_t>& order) override;

private:
    std::vector<RefPtr<LinkTarget>> targets_;
};

class ListPopup;

// The list part: the ListControl in the pop-up, with the restore of a saved current row.
class ListPopupList : public TextBoxBase, public ListClient {
public:
    ListPopupList(ListPopup* popup, PopupHost* owner, const AppPaths* paths, TimerList* timers,
                  const IconHost& icons);
    ~ListPopupList() override;

    ListControl* List() const { return list_.get(); }
    void SetRowSource(PopupRows* rows);
    PopupRows* RowSource() const { return rows_.Get(); }
    // The record to make current at the first drawing.
    void SetRestore(uint32_t record);
    bool IsRestorePending() const { return restorePending_; }

    bool HandleEvent(InputEvent& event) override;
    void Redraw(const Rect* area) override;
    void OnFocusChanged(bool gained) override;
    Rect& AdjustRect(Rect& out, const Rect& in) override;
    bool HitTest(const Rect& area) override { return list_->HitTest(area); }
    bool GetRect(Rect& out) override { return list_->GetRect(out); }
    int32_t ZOrder() const override { return 0; }
    ::Size GetSize() override;
    void SetStyle(int8_t size, uint8_t face) override;

    void OnActivate(const RecordPosition& position) override;
    bool ExecuteClientCommand(uint32_t) override { return false; }
    bool TranslateEvent(InputEvent&, uint32_t&) override { return false; }

private:
    ListPopup* popup_;
    PopupHost* owner_;
    std::unique_ptr<ListControl> list_;
    RefPtr<PopupRows> rows_;
    bool restorePending_ = false;
    RecordPosition restore_ = RecordPosition::At(RecordPosition::kAfterLast);
};

class ListPopup : public OverlayWidget {
public:
    static constexpr uint32_t kStyleFour = 1;
    static constexpr uint32_t kNoSaveOnActivate = 4;
    static constexpr uint32_t kUnbounded = 32;
    static constexpr uint32_t kHeadingStyle = 130;  // centred italic
    static constexpr uint32_t kFooterStyle = 128;   // centred
    static constexpr int32_t kAreaInset = 15;
    static constexpr uint32_t kFrameColourId = 43;

    ListPopup(DrawingSurface* surface, PopupHost* owner, uint32_t flags, const AppPaths* paths,
              TimerList* timers, const IconHost& icons);
    ~ListPopup() override;

    void SetFlags(uint32_t flags);
    uint32_t Flags() const { return flags_; }
    void SetAnchor(Point anchor, bool centred);
    Point Anchor() const { return anchor_; }
    bool IsCentred() const { return centred_ != 0; }
    void SetStyles(int8_t size, uint8_t face);
    void SetRecordSet(PopupRows* rows);
    void SetHeading(const String& text);
    void SetFooter(const String& text);
    const String& HeadingText() const { return heading_; }
    const String& FooterText() const { return footer_; }
    const Rect& MaxRect() const { return maxRect_; }

    bool Show(bool show) override;
    void Redraw(const Rect* area) override;

    // Hands the state record to the owner; false with kUnbounded or when it cannot be written.
    bool SaveState();
    bool WriteState(ByteStream& out);
    // False at the first short or bad read; what was read is kept.
    bool RestoreState(ByteStream& in);

    TextBox* HeadingBox() const { return headingBox_.get(); }
    TextBox* FooterBox() const { return footerBox_.get(); }
    ListPopupList* ListPart() const { return list_.get(); }

private:
    void Layout();

    PopupHost* owner_;
    std::unique_ptr<ListPopupList> list_;
    std::unique_ptr<TextBox> headingBox_;
    std::unique_ptr<TextBox> footerBox_;
    uint8_t centred_ = 0;
    Point anchor_{};
    Rect maxRect_{};
    String heading_;
    String footer_;
    uint32_t flags_ = 0;
    int32_t headingHeight_ = 0;
    int32_t footerHeight_ = 0;
};
