#include "reader/database_view_node.h"

#include <algorithm>
#include <vector>

#include "core/color.h"
#include "core/resources.h"
#include "core/string.h"
#include "graphics/core/input_event.h"
#include "reader/database_view.h"

namespace {

constexpr uint32_t kWhite = Color::Pack(255, 255, 255);
constexpr uint32_t kBlack = Color::Pack(0, 0, 0);
constexpr uint32_t kNavy = Color::Pack(0, 0, 128);
constexpr uint32_t kHeaderFill = Color::Pack(221, 221, 221);
constexpr uint32_t kHeaderBorder = Color::Pack(127, 127, 127);
constexpr uint32_t kPreviewFrameColour = Color::Pack(150, 150, 150);
constexpr uint32_t kBackId = 5005;
constexpr uint32_t kSearchLabelId = 5060;
constexpr uint32_t kNoMatchId = 5104;
// The native field's change notice, which comes as a character event (the edit control's
// EN_CHANGE code).
constexpr uint16_t kFieldChanged = 0x0300;

void Fill(GraphicsContext& gc, const Rect& r, uint32_t fill, uint32_t border) {
    gc.SetBrushColor(fill);
    gc.SetPenColor(border);
    gc.DrawRectangle(r, true);
}

FontStyle Styled(FontStyle f, bool bold, bool italic, bool underline) {
    f.flags = static_cast<uint8_t>((f.flags & ~7u) | (bold ? FontStyle::kBold : 0) |
                                   (italic ? FontStyle::kItalic : 0) |
                                   (underline ? FontStyle::kUnderline : 0));
    return f;
}

}  // namespace

Rect& DatabaseViewNode::AdjustRect(Rect& out, const Rect& in) {
    rect_ = in;
    out = in;
    if (DrawScope scope{this}) Measure(*scope.Context());
    return out;
}

void DatabaseViewNode::Measure(GraphicsContext& gc) {
    gc.SetFontStyle(font_);
    lineHeight_ = std::max(1, gc.FontAscent() + gc.FontDescent());
    rowHeight_ = lineHeight_;
    header_ = Rect{rect_.x, rect_.y, rect_.width, lineHeight_ + 2 * kMargin};
    int32_t y = header_.Bottom();
    field_ = Rect{};
    if (view_->SearchFieldOn()) {
        field_ = Rect{rect_.x, y, rect_.width, lineHeight_ + 2 + 2 * kMargin};
        y = field_.Bottom();
    }
    int32_t bottom = rect_.Bottom();
    // Rows that fit with the pane (its height is fixed by the view's, not by the list's).
    const int32_t paneHeight = rect_.height * kPreviewPercent / 100;
    const int32_t withPane = std::max(0, bottom - paneHeight - y);
    preview_ = Rect{};
    if (view_->PreviewShown()) {
        preview_ = Rect{rect_.x, bottom - paneHeight, rect_.width, paneHeight};
        bottom = preview_.y;
    }
    hint_ = Rect{};
    if (view_->HintId() != 0) {
        hint_ = Rect{rect_.x, bottom - lineHeight_ - 2 * kMargin, rect_.width,
                     lineHeight_ + 2 * kMargin};
        bottom = hint_.y;
    }
    list_ = Rect{rect_.x, y, rect_.width, std::max(0, bottom - y)};
    const int32_t full = view_->PreviewShown() ? std::max(0, rect_.Bottom() - y) : list_.height;
    view_->SetRowsPerPage(static_cast<uint32_t>(std::max(1, full / rowHeight_)),
                          static_cast<uint32_t>(std::max(1, withPane / rowHeight_)));
}

void DatabaseViewNode::Redraw(const Rect* area) {
    if (rect_.IsEmpty() || (area && !Rect::Intersects(*area, rect_))) return;
    {
        DrawScope scope(this);
        if (!scope) return;
        GraphicsContext& gc = *scope.Context();
        Measure(gc);
        Fill(gc, rect_, kWhite, kWhite);
        DrawHeader(gc);
        DrawRows(gc);
        DrawHint(gc);
        DrawPreview(gc);
        gc.MarkChanged(&rect_);
    }
    RedrawCovering();
}

void DatabaseViewNode::RedrawCovering() {
    // The pop-ups over the view stand after it among the surface's children: drawn again on
    // top when the view draws itself alone.
    Widget* parent = Parent();
    if (!parent) return;
    const Rect area = rect_;
    NodeRef self(this);
    bool after = false;
    for (int32_t i = 0; self.IsAlive() && i < parent->ChildCount(); ++i) {
        Node* child = parent->ChildAt(i);
        if (child == this) {
            after = true;
            continue;
        }
        if (after && child->IsPopup() && child->IsShown() && child->HitTest(area))
            child->Redraw(&area);
    }
}

Rect DatabaseViewNode::PreviewArea() const {
    if (preview_.IsEmpty()) return Rect{};
    return Rect{preview_.x + kPreviewFrame, preview_.y + kPreviewFrame,
                std::max(0, preview_.width - 2 * kPreviewFrame),
                std::max(0, preview_.height - 2 * kPreviewFrame)};
}

void DatabaseViewNode::DrawPreview(GraphicsContext& gc) {
    if (preview_.IsEmpty()) return;
    Fill(gc, preview_, kPreviewFrameColour, kPreviewFrameColour);
    const Rect inside = PreviewArea();
    if (inside.IsEmpty()) return;
    Fill(gc, inside, kWhite, kWhite);
    view_->PaintPreview(gc, inside);
}

void DatabaseViewNode::DrawHeader(GraphicsContext& gc) {
    Fill(gc, header_, kHeaderFill, kHeaderBorder);
    std::vector<DatabaseViewText::TitleRun> runs;
    view_->BuildTitle(runs);
    int32_t x = header_.x + kMargin;
    gc.SetTextColor(kBlack);
    for (const DatabaseViewText::TitleRun& run : runs) {
        gc.SetFontStyle(Styled(font_, run.emphasised, false, false));
        gc.DrawText(run.text.Data(), run.text.Length(), Point{x, header_.y + kMargin});
        Size s{};
        gc.MeasureText(run.text.Data(), run.text.Length(), s);
        x += s.width;
    }
    SearchField* native = view_->Field();
    if (field_.IsEmpty()) {
        if (native) native->Show(false);
        return;
    }
    gc.SetFontStyle(font_);
    // The label and the rows stand on the view's white: their text is drawn without a
    // background of its own (the header's grey brush is still set).
    gc.SetBrushColor(Color::kNone);
    String label;
    Resources::LoadString(label, kSearchLabelId);
    Size s{};
    gc.MeasureText(label.Data(), label.Length(), s);
    gc.DrawText(label.Data(), label.Length(), Point{field_.x + kMargin, field_.y + kMargin + 1});
    const int32_t left = field_.x + 2 * kMargin + s.width;
    const Rect box{left, field_.y + kMargin,
                   std::min(kFieldWidth, field_.Right() - kMargin - left), lineHeight_ + 2};
    if (box.width <= 0) return;
    if (native) {
        // The native field types and shows the text itself.
        native->Place(box);
        native->Show(true);
        return;
    }
    Fill(gc, box, kWhite, kHeaderBorder);
    const String& text = view_->SearchText();
    const int32_t fit = gc.FitCount(text.Data(), text.Length(), box.width - 4);
    gc.DrawText(text.Data(), fit, Point{box.x + 2, box.y + 1});
}

void DatabaseViewNode::DrawHint(GraphicsContext& gc) {
    String text;
    if (hint_.IsEmpty() || !Resources::LoadString(text, view_->HintId())) return;
    Fill(gc, hint_, kHeaderFill, kHeaderBorder);
    gc.SetFontStyle(font_);
    gc.SetTextColor(kBlack);
    const int32_t fit = gc.FitCount(text.Data(), text.Length(), hint_.width - 2 * kMargin);
    gc.DrawText(text.Data(), fit, Point{hint_.x + kMargin, hint_.y + kMargin});
}

void DatabaseViewNode::DrawCentred(GraphicsContext& gc, const String& text, int32_t y) {
    Size s{};
    gc.MeasureText(text.Data(), text.Length(), s);
    gc.DrawText(text.Data(), text.Length(), Point{list_.x + (list_.width - s.width) / 2, y});
}

void DatabaseViewNode::DrawRows(GraphicsContext& gc) {
    gc.SetBrushColor(Color::kNone);
    if (view_->NoMatch()) {
        gc.SetFontStyle(font_);
        gc.SetTextColor(kBlack);
        String back;
        String none;
        Resources::LoadString(back, kBackId);
        Resources::LoadString(none, kNoMatchId);
        const int32_t y = list_.y + list_.height / 3;
        DrawCentred(gc, back, y);
        DrawCentred(gc, none, y + lineHeight_ + kMargin);
        return;
    }
    const bool neverUnderline = view_->Flags() & DatabaseView::kNeverUnderline;
    const int32_t selected = view_->Selected();
    for (uint32_t row = 0; row < view_->Rows().size(); ++row) {
        const Rect r{list_.x, list_.y + static_cast<int32_t>(row) * rowHeight_, list_.width,
                     rowHeight_};
        if (r.Bottom() > list_.Bottom()) break;
        const uint32_t style = view_->RowStyle(row);
        const bool leaf = style & DatabaseView::kLeaf;
        const bool underline =
            !neverUnderline && ((style & DatabaseView::kUnderline) || !leaf);
        String text;
        view_->RowText(row, text);
        gc.SetFontStyle(Styled(font_, style & DatabaseView::kBold,
                               style & DatabaseView::kItalic, underline));
        gc.SetTextColor(leaf ? kBlack : kNavy);
        // Cut to what fits: the row never runs into the next column or an ellipsis.
        const int32_t fit = gc.FitCount(text.Data(), text.Length(), r.width - 2 * kMargin);
        gc.DrawText(text.Data(), fit, Point{r.x + kMargin, r.y});
        if (static_cast<int32_t>(row) == selected) {
            const uint32_t old = gc.SetDrawMode(GraphicsContext::kDrawInvert);
            Fill(gc, r, kWhite, kWhite);
            gc.SetDrawMode(old);
        }
    }
}

int32_t DatabaseViewNode::RowAt(Point p) const {
    if (view_->NoMatch() || !Rect::Contains(list_, p) || rowHeight_ <= 0) return -1;
    const int32_t row = (p.y - list_.y) / rowHeight_;
    const int32_t shown = static_cast<int32_t>(view_->Rows().size());
    if (row >= shown || list_.y + (row + 1) * rowHeight_ > list_.Bottom()) return -1;
    return row;
}

bool DatabaseViewNode::HandlePen(InputEvent& event) {
    if (!Rect::Contains(rect_, event.point)) return false;
    const uint32_t code = event.Code();
    DatabaseView::Result result = DatabaseView::Result::kIgnored;
    if (code == kPenDown) {
        penRow_ = RowAt(event.point);
        // A tap on the "No matching entry" screen goes back, as any other input there does.
        if (view_->NoMatch()) {
            result = view_->HandleEvent(DatabaseView::kEnterEvent);
        } else if (penRow_ >= 0) {
            view_->SelectRow(penRow_);
            result = DatabaseView::Result::kHandled;
        } else {
            return true;
        }
    } else if (code == kPenUp) {
        const int32_t row = RowAt(event.point);
        const bool open = row >= 0 && row == penRow_ && view_->Selected() == row;
        penRow_ = -1;
        if (!open) return true;
        // The lifted pen opens the row it went down on, as Enter opens the selected row.
        result = view_->HandleEvent(DatabaseView::kEnterEvent);
    } else {
        return true;
    }
    if (result == DatabaseView::Result::kReplaced) return true;
    Redraw(nullptr);
    return true;
}

bool DatabaseViewNode::TypeIntoField(uint32_t code, uint16_t character) {
    SearchField* field = view_->Field();
    if (!field || !view_->SearchFieldOn()) return false;
    // The page has the focus, not its field: a character addressed to the page is typed into
    // the field, whose text the view then searches.
    String text;
    if (!field->GetText(text)) text = String();
    if (code == kKeyBackspace) {
        if (text.IsEmpty()) return true;
        text.AssignSub(String(text), 0, text.Length() - 1);
    } else if (!text.AppendChar(static_cast<char16_t>(character))) {
        return true;
    }
    field->SetText(text);
    return false;
}

bool DatabaseViewNode::HandleEvent(InputEvent& event) {
    if (event.IsPen()) return HandlePen(event);
    // Shift and Ctrl mean nothing here, but Tab makes a paging code a focus move (Up and Down
    // in the list's input state): it stays.
    const uint32_t full = event.Code();
    const uint32_t code = full & ~static_cast<uint32_t>(
                                     (full & kKeyTab) ? kKeyShift | kKeyCtrl : kKeyModifiers);
    int32_t viewEvent = -1;
    DatabaseView::Result result = DatabaseView::Result::kIgnored;
    if (code == kKeyCommand && event.Command() != kNoCommand) {
        result = view_->ExecuteCommand(static_cast<int32_t>(event.Command()));
    } else {
        switch (code) {
            case kKeyCharacter:
                viewEvent = event.character;
                // The field's own change notice: its text is already the new one.
                if (event.character == kFieldChanged) break;
                if (event.character < 0x20) return false;
                if (TypeIntoField(code, event.character)) return true;
                break;
            case kKeyBackspace:
                viewEvent = static_cast<int32_t>(code);
                if (TypeIntoField(code, 0)) return true;
                break;
            case kKeyDown: viewEvent = kKeyFocusNext; break;
            case kKeyUp: viewEvent = kKeyFocusPrevious; break;
            // Up and Down in the list's input state: the selection moves.
            case kKeyFocusNext:
            case kKeyFocusPrevious:
            case kKeyFocusNextLine:
            case kKeyFocusPreviousLine: viewEvent = static_cast<int32_t>(code); break;
            case kKeyActivate:
            case kKeyPageDown:
            case kKeyPageUp:
            case kKeyLineDown:
            case kKeyLineUp: viewEvent = static_cast<int32_t>(code); break;
            default: return false;
        }
        result = view_->HandleEvent(viewEvent);
    }
    // A replaced view may be gone with this node: nothing of either is touched then.
    if (result == DatabaseView::Result::kReplaced) return true;
    if (result == DatabaseView::Result::kIgnored) return false;
    Redraw(nullptr);
    return true;
}
