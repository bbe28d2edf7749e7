#include "graphics/widgets/list_popup.h"

#include <algorithm>
#include <cstring>

#include "core/byte_stream.h"
#include "document/markup/link_target.h"
#include "graphics/core/drawing_surface.h"
#include "graphics/widgets/state_words.h"
#include "paths/app_paths.h"

namespace {
constexpr char kMarker[] = "LTTS";
constexpr uint32_t kNoTarget = 0xFFFFFFFFu;
constexpr uint32_t kNoRow = 0xFFFFFFFFu;
// A saved row is at least its six words.
constexpr uint32_t kRowWords = 6;

void PutText(ByteStream& out, const String& s) {
    for (int32_t i = 0; i < s.Length(); ++i) {
        uint16_t c = s.At(i);
        uint8_t b[2] = {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)};
        out.WriteBytes(b, 2);
    }
}

// n characters when the stream holds them; the length is checked before anything is made.
bool GetText(ByteStream& in, uint32_t n, String& out) {
    out.SetEmpty();
    if (n > in.Remaining() / 2) {
        in.Fail();
        return false;
    }
    if (n == 0) return true;
    std::vector<char16_t> chars(n);
    for (uint32_t i = 0; i < n; ++i) {
        uint8_t b[2] = {};
        if (!in.ReadBytes(b, 2)) return false;
        chars[i] = static_cast<char16_t>(b[0] | b[1] << 8);
    }
    return out.AssignChars(chars.data(), static_cast<int32_t>(n));
}

void PadTo4(ByteStream& out) {
    static const uint8_t zeros[3] = {};
    uint32_t extra = out.Size() & 3;
    if (extra) out.WriteBytes(zeros, 4 - extra);
}

uint32_t Inverse(uint32_t c) {
    return (255 - (c & 0xFF)) | (255 - (c >> 8 & 0xFF)) << 8 | (255 - (c >> 16 & 0xFF)) << 16;
}
}  // namespace

// --- PopupRows --------------------------------------------------------------------------------

PopupRows::~PopupRows() = default;

bool PopupRows::AddLinkedRow(const Row& row, LinkTarget* target) {
    if (!AddRow(row)) return false;
    targets_.emplace_back(target);
    return true;
}

LinkTarget* PopupRows::GetLinkTarget(const RecordPosition& pos) {
    if (!ValidRow(pos) || pos.value >= targets_.size()) return nullptr;
    return RefPtr<LinkTarget>(targets_[pos.value]).TakePointer();
}

void PopupRows::RowsReordered(const std::vector<size_t>& order) {
    std::vector<RefPtr<LinkTarget>> moved;
    moved.reserve(order.size());
    for (size_t old : order)
        moved.push_back(old < targets_.size() ? targets_[old] : RefPtr<LinkTarget>());
    targets_.swap(moved);
}

// --- ListPopupList ----------------------------------------------------------------------------

ListPopupList::ListPopupList(ListPopup* popup, PopupHost* owner, const AppPaths* paths,
                             TimerList* timers, const IconHost& icons)
    : TextBoxBase(owner),
      popup_(popup),
      owner_(owner),
      list_(new ListControl(paths, timers, icons)) {
    list_->SetStyle(3);
    list_->SetClient(this);
}

ListPopupList::~ListPopupList() {
    list_->SetClient(nullptr);
    list_.reset();
    rows_.Reset();
}

void ListPopupList::SetRowSource(PopupRows* rows) {
    rows_.Assign(rows);
    list_->SetRowSource(rows);
}

void ListPopupList::SetRestore(uint32_t record) {
    restore_ = RecordPosition::At(static_cast<int32_t>(record));
    restorePending_ = true;
}

void ListPopupList::SetStyle(int8_t size, uint8_t face) {
    TextBoxBase::SetStyle(size, face);
    list_->SetListFont(style_);
}

bool ListPopupList::HandleEvent(InputEvent& event) {
    uint32_t c = event.Code() & 255;
    if ((c >= 11 && c <= 14) || c == kKeyActivate) {
        list_->HandleEvent(event);
        return true;
    }
    // Any other key closes the pop-up; the list part may go with it.
    if (Widget* parent = Parent()) parent->Show(false);
    return true;
}

void ListPopupList::Redraw(const Rect* /*area*/) {
    list_->Show(true);
    list_->Redraw(nullptr);
    if (restorePending_ && !restore_.afterLast && !restore_.beforeFirst) {
        list_->ShowRecord(nullptr, restore_, true);
        restore_.afterLast = 1;
        restore_.beforeFirst = 0;
    }
}

void ListPopupList::OnFocusChanged(bool gained) {
    list_->SetHighlighted(gained);
    RecordPosition current;
    if (gained && !restorePending_ && !list_->GetCurrentItemExtent(current)) {
        InputEvent e = InputEvent::Key(ListControl::kKeyItemNext);
        list_->HandleEvent(e);
    }
    restorePending_ = false;
}

Rect& ListPopupList::AdjustRect(Rect& out, const Rect& in) {
    Rect rest{};
    list_->AdjustRect(rest, in);
    out = in;
    return out;
}

::Size ListPopupList::GetSize() {
    ::Size size{};
    int32_t minimum = 0, strip = 0;
    list_->GetContentSize(size, minimum, strip, nullptr);
    return size;
}

void ListPopupList::OnActivate(const RecordPosition& position) {
    if (!position.IsRow() || !rows_) return;
    RefPtr<LinkTarget> target = RefPtr<LinkTarget>::Adopt(rows_->GetLinkTarget(position));
    if (!target) return;
    // Everything used after the pop-up closes is copied now: performing the link may delete it.
    uint32_t flags = popup_->Flags();
    PopupHost* owner = owner_;
    Point point{};
    RecordPosition unused;
    if (list_->GetCurrentItemExtent(unused)) {
        const ListControl::RowRecord* row = list_->Row(static_cast<int32_t>(list_->CurrentRow()));
        if (row) point = Point{row->rowArea.x, row->rowArea.y};
    }
    NodeRef alive(popup_);
    if (!(flags & (ListPopup::kNoSaveOnActivate | ListPopup::kUnbounded))) popup_->SaveState();
    if (Node* p = alive.Get()) p->Show(false);
    if (owner) {
        owner->PerformAction(target.Get(), point);
        if (!(flags & ListPopup::kUnbounded)) owner->ClearPopupState();
    }
}

// --- ListPopup --------------------------------------------------------------------------------

ListPopup::ListPopup(DrawingSurface* surface, PopupHost* owner, uint32_t flags,
                     const AppPaths* paths, TimerList* timers, const IconHost& icons)
    : OverlayWidget(surface, false, false),
      owner_(owner),
      list_(new ListPopupList(this, owner, paths, timers, icons)),
      headingBox_(new TextBox(owner, true)),
      footerBox_(new TextBox(owner, true)) {
    uint32_t colour = 0xFFFFFF;
    UiColors::Get(colour, kFrameColourId);
    for (TextBox* box : {headingBox_.get(), footerBox_.get()}) {
        box->SetPassive(false);
        box->SetMargins(1, 1);
        box->SetBackgroundColor(colour);
        box->SetFrame(TextBox::kFilled, colour);
        box->SetTextColor(Inverse(colour));
        box->SetParent(this);
    }
    list_->SetParent(this);
    list_->List()->SetParent(this);
    SetFlags(flags);
    if (!(flags & kUnbounded)) {
        if (!owner_ || !owner_->GetPopupArea(maxRect_)) ClientAreaIn(maxRect_, nullptr);
        Rect::Inset(maxRect_, kAreaInset, kAreaInset);
    }
}

ListPopup::~ListPopup() {
    Show(false);
    list_->List()->Detach();
    list_->Detach();
    headingBox_->Detach();
    footerBox_->Detach();
}

void ListPopup::SetFlags(uint32_t flags) {
    flags_ = flags;
    list_->List()->SetStyle(flags & kStyleFour ? 4 : 3);
    if (flags & kUnbounded) maxRect_ = Rect{0, 0, 16384, 16384};
}

void ListPopup::SetAnchor(Point anchor, bool centred) {
    anchor_ = anchor;
    centred_ = centred ? 1 : 0;
}

void ListPopup::SetStyles(int8_t size, uint8_t face) {
    list_->SetStyle(size, face);
    headingBox_->SetStyle(size, face);
    footerBox_->SetStyle(size, face);
}

void ListPopup::SetRecordSet(PopupRows* rows) {
    list_->SetRowSource(rows);
}

void ListPopup::SetHeading(const String& text) {
    heading_ = text;
    headingBox_->Clear();
    headingBox_->SetMaxRect(maxRect_);
    if (!text.IsEmpty()) headingBox_->AddRun(text, kHeadingStyle, nullptr);
}

void ListPopup::SetFooter(const String& text) {
    footer_ = text;
    footerBox_->Clear();
    footerBox_->SetMaxRect(maxRect_);
    if (!text.IsEmpty()) footerBox_->AddRun(text, kFooterStyle, nullptr);
}

void ListPopup::Layout() {
    Rect m = maxRect_;
    Rect::Inset(m, 1, 1);
    auto boxSize = [&](TextBox* box, const String& text, int32_t width) {
        if (text.IsEmpty() || box->RunCount() == 0) return ::Size{};
        box->SetMaxRect(Rect{m.x, m.y, width, m.height});
        return box->GetSize();
    };
    // First each part's own size, then the boxes again at the common width.
    ::Size listSize = list_->GetSize();
    ::Size head = boxSize(headingBox_.get(), heading_, m.width);
    ::Size foot = boxSize(footerBox_.get(), footer_, m.width);
    int32_t w = std::min(m.width, std::max({listSize.width, head.width, foot.width}));
    head = boxSize(headingBox_.get(), heading_, w);
    foot = boxSize(footerBox_.get(), footer_, w);
    int32_t listH = listSize.height;
    int32_t headH = head.height, footH = foot.height;
    int32_t total = headH + listH + footH;
    if (total > m.height) {
        int32_t excess = total - m.height;
        if (listH > excess) {
            listH -= excess;
        } else {
            headH = footH = 0;
            listH = std::min(listH, m.height);
        }
        total = headH + listH + footH;
    }
    Rect r{0, 0, std::max(0, w), std::max(0, total)};
    Rect::Outset(r, 1, 1);
    if (centred_) {
        Rect::CenterXAt(r, anchor_.x);
        Rect::CenterYAt(r, anchor_.y);
    } else {
        Rect visible{};
        if (!ClientAreaIn(visible, nullptr)) visible = maxRect_;
        Rect::PlaceWithin(r, 0, anchor_, visible);
    }
    SetRectangle(r);
    headingHeight_ = headH;
    footerHeight_ = footH;
    Rect inner = r;
    Rect::Inset(inner, 1, 1);
    Rect out{};
    headingBox_->AdjustRect(out, Rect{inner.x, inner.y, inner.width, headH});
    list_->AdjustRect(out, Rect{inner.x, inner.y + headH, inner.width, listH});
    footerBox_->AdjustRect(out, Rect{inner.x, inner.y + headH + listH, inner.width, footH});
}

bool ListPopup::Show(bool show) {
    if (!show) {
        list_->List()->Show(false);
        return OverlayWidget::Show(false);
    }
    Layout();
    NodeRef self(this);
    OverlayWidget::Show(true);
    if (!self.IsAlive() || !IsShown()) return self.IsAlive();
    list_->Focus();
    return true;
}

void ListPopup::Redraw(const Rect* /*area*/) {
    if (Rectangle().IsEmpty() || !IsShown()) return;
    DrawScope scope(this);
    GraphicsContext* gc = scope.Context();
    if (!gc) return;
    gc->SetPenColor(0);
    gc->DrawRectangle(Rectangle(), false);
    // A box that lost its space to the list is not drawn over it.
    if (!heading_.IsEmpty() && headingHeight_ > 0) headingBox_->Redraw(nullptr);
    list_->Redraw(nullptr);
    if (footerBox_->RunCount() > 0 && footerHeight_ > 0) footerBox_->Redraw(nullptr);
}

// --- State record -----------------------------------------------------------------------------

bool ListPopup::SaveState() {
    if (flags_ & kUnbounded || !owner_) return false;
    ByteStream state;
    if (!WriteState(state)) return false;
    owner_->KeepPopupState(state);
    return true;
}

bool ListPopup::WriteState(ByteStream& out) {
    if (flags_ & kUnbounded || !out.Reserve(36)) return false;
    for (int i = 0; i < 3; ++i) out.WriteBytes(kMarker, 4);
    StateWords::Put(out, static_cast<uint32_t>(anchor_.x));
    StateWords::Put(out, static_cast<uint32_t>(anchor_.y));
    StateWords::Put(out, centred_);
    StateWords::Put(out, flags_);
    StateWords::Put(out, static_cast<uint32_t>(heading_.Length()));
    StateWords::Put(out, static_cast<uint32_t>(footer_.Length()));
    PutText(out, heading_);
    PutText(out, footer_);
    PadTo4(out);
    PopupRows* rows = list_->RowSource();
    uint32_t n = rows ? static_cast<uint32_t>(rows->RowCount()) : 0;
    StateWords::Put(out, n);
    for (uint32_t i = 0; i < n; ++i) {
        const SortedRecordSet::Row* row = rows->RowAt(static_cast<int32_t>(i));
        RecordPosition pos = RecordPosition::At(static_cast<int32_t>(i));
        RefPtr<LinkTarget> target = RefPtr<LinkTarget>::Adopt(rows->GetLinkTarget(pos));
        String link = target ? target->text : String();
        StateWords::Put(out, static_cast<uint32_t>(row->secondNumber) << 16 | row->firstNumber);
        StateWords::Put(out, target ? target->number : kNoTarget);
        StateWords::Put(out, static_cast<uint32_t>(link.Length()));
        StateWords::Put(out, static_cast<uint32_t>(row->first.Length()));
        StateWords::Put(out, static_cast<uint32_t>(row->second.Length()));
        PutText(out, link);
        PutText(out, row->first);
        PutText(out, row->second);
        PadTo4(out);
    }
    const RecordPosition& top = list_->List()->TopPosition();
    StateWords::Put(out, top.IsRow() ? top.value : 0);
    // The current record (not its place on the page), so that it survives a different top.
    RecordPosition current;
    StateWords::Put(out, list_->List()->GetCurrentItemExtent(current) ? current.value : kNoRow);
    return out.Ok();
}

bool ListPopup::RestoreState(ByteStream& in) {
    char marker[12] = {};
    if (in.Remaining() < 12 + 24 || !in.ReadBytes(marker, 12)) return false;
    for (int i = 0; i < 3; ++i)
        if (std::memcmp(marker + 4 * i, kMarker, 4) != 0) return false;
    int32_t x = static_cast<int32_t>(StateWords::Get(in));
    int32_t y = static_cast<int32_t>(StateWords::Get(in));
    bool centred = StateWords::Get(in) != 0;
    uint32_t flags = StateWords::Get(in);
    uint32_t h = StateWords::Get(in);
    uint32_t f = StateWords::Get(in);
    if (!in.Ok()) return false;
    SetFlags(flags);
    SetAnchor(Point{x, y}, centred);
    String text;
    if (!GetText(in, h, text)) return false;
    SetHeading(text);
    if (!GetText(in, f, text)) return false;
    SetFooter(text);
    in.AlignReadPosition(4);
    uint32_t n = StateWords::Get(in);
    if (!in.Ok()) return false;
    RefPtr<PopupRows> rows = RefPtr<PopupRows>::Adopt(new PopupRows);
    bool ok = n <= in.Remaining() / (kRowWords * 4);
    for (uint32_t i = 0; ok && i < n; ++i) {
        uint32_t numbers = StateWords::Get(in);
        uint32_t number = StateWords::Get(in);
        uint32_t a = StateWords::Get(in), b = StateWords::Get(in), c = StateWords::Get(in);
        SortedRecordSet::Row row;
        String link;
        ok = in.Ok() && GetText(in, a, link) && GetText(in, b, row.first) &&
             GetText(in, c, row.second) && in.AlignReadPosition(4);
        if (!ok) break;
        row.firstNumber = static_cast<uint16_t>(numbers);
        row.secondNumber = static_cast<uint16_t>(numbers >> 16);
        RefPtr<LinkTarget> target;
        if (number != kNoTarget) {
            target = RefPtr<LinkTarget>::Adopt(new LinkTarget);
            target->kind = kLinkRecordRow;
            target->text = link;
            target->number = number;
        }
        ok = rows->AddLinkedRow(row, target.Get());
    }
    // The rows read so far are shown even when the record ends early.
    SetRecordSet(rows.Get());
    if (!ok) return false;
    uint32_t first = StateWords::Get(in);
    uint32_t current = StateWords::Get(in);
    if (!in.Ok()) return false;
    uint32_t count = static_cast<uint32_t>(list_->RowSource()->RowCount());
    if (first < count) {
        ByteStream top;
        StateWords::Put(top, first);
        StateWords::Put(top, ListControl::kNoRow);
        StateWords::Put(top, 1);
        list_->List()->RestoreState(top);
    }
    if (current < count) list_->SetRestore(current);
    return true;
}
