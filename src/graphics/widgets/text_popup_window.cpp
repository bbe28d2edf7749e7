#include "graphics/widgets/text_popup_window.h"

#include <algorithm>
#include <utility>

#include "bookfiles/document_source.h"
#include "bookfiles/index_table.h"
#include "core/resources.h"
#include "document/markup/html_tokenizer.h"
#include "document/markup/link_target.h"
#include "document/markup/markup_tags.h"
#include "document/sources/loader_adapters.h"
#include "graphics/core/drawing_surface.h"
#include "script/script_error.h"

namespace {
constexpr uint32_t kTagB = 18;
constexpr uint32_t kTagI = 16;
constexpr uint32_t kTagBr = 32;
constexpr uint32_t kTagEntryText = 8;
constexpr uint32_t kTagTextRanges = 6;
constexpr uint32_t kTagMoreEntry = 1;
// A token loop ends even over a source that never reports its end.
constexpr uint32_t kMaxTokensPerRange = 1u << 20;
}  // namespace

TextPopupWindow::TextPopupWindow(DrawingSurface* surface, TextBoxOwner* owner, bool unbounded,
                                 const Rect* area)
    : OverlayWidget(surface, false, false), box_(new TextBox(owner, false)) {
    box_->SetPassive(false);
    Rect max{0, 0, 16384, 16384};
    if (!unbounded) {
        if (area)
            max = *area;
        else
            ClientAreaIn(max, nullptr);
    }
    box_->SetMaxRect(max);
    box_->SetParent(this);
}

TextPopupWindow::~TextPopupWindow() {
    Show(false);
    box_->Detach();
}

void TextPopupWindow::SetAnchor(Point anchor, bool centred) {
    anchor_ = anchor;
    centred_ = centred ? 1 : 0;
}

bool TextPopupWindow::WantedInputState(InputState& state) {
    if (!box_ || box_->LinkCount() <= 0) return false;
    state = InputState::kLinkFocus;
    return true;
}

bool TextPopupWindow::Show(bool show) {
    if (!show) {
        const bool shown = IsShown();
        const bool result = OverlayWidget::Show(false);
        if (shown && !IsShown() && onHidden_) std::exchange(onHidden_, nullptr)();
        return result;
    }
    ::Size size = box_->GetSize();
    Rect r{0, 0, size.width, size.height};
    if (centred_) {
        // Centred even where that crosses the window's edge.
        Rect::CenterXAt(r, anchor_.x);
        Rect::CenterYAt(r, anchor_.y);
    } else {
        Rect visible{};
        if (ClientAreaIn(visible, nullptr)) {
            Rect::PlaceWithin(r, 0, anchor_, visible);
            // Anchored below a word but pushed up over it by the screen's bottom edge.
            if (Rect::Intersects(r, keepClear_) && keepClear_.y - r.height >= visible.y)
                r.y = keepClear_.y - r.height;
        } else {
            r.x = anchor_.x;
            r.y = anchor_.y;
        }
    }
    SetRectangle(r);
    Rect out{};
    box_->AdjustRect(out, r);
    NodeRef self(this);
    OverlayWidget::Show(true);
    if (!self.IsAlive()) return false;
    if (IsShown()) box_->Focus();
    return IsShown();
}

void TextPopupWindow::Redraw(const Rect* /*area*/) {
    if (Rectangle().IsEmpty() || !IsShown()) return;
    DrawScope scope(this);
    GraphicsContext* gc = scope.Context();
    if (!gc) return;
    box_->SetBackgroundColor(kBackground);
    gc->SetPenColor(0);
    gc->SetBrushColor(kBackground);
    gc->DrawRectangle(Rectangle(), true);
    box_->Redraw(nullptr);
}

bool TextPopupWindow::AddEntryLink(EntryRecords& records, const String& name, uint32_t n) {
    String title;
    if (!records.GetTitle(name, title) || title.IsEmpty()) return false;
    auto target = RefPtr<LinkTarget>::Adopt(new LinkTarget);
    target->kind = kLinkNamedEntry;
    target->text = name;
    target->number = n;
    bool full = box_->AddRun(title, kEntryLinkStyle, target.Get());
    return !full;
}

bool TextPopupWindow::IndexSearchScript(const String& a, const String& b, String& out) {
    String escapedA, escapedB;
    if (!Script::EscapeStringLiteral(a, &escapedA) || !Script::EscapeStringLiteral(b, &escapedB))
        return false;
    String script;
    script.AppendAscii("window.open('");
    script.Append(escapedA);
    script.AppendAscii("','');index_search('','','");
    script.Append(escapedB);
    script.AppendAscii("')");
    out = script;
    return true;
}

bool TextPopupWindow::ShowIndexSearchLink(const String& a, const String& b, const String& label) {
    String script;
    if (!IndexSearchScript(a, b, script)) return false;
    String text = label;
    if (text.IsEmpty()) Resources::LoadString(text, kManualSearchId);
    auto target = RefPtr<LinkTarget>::Adopt(new LinkTarget);
    target->kind = kLinkScript;
    target->text = script;
    bool full = box_->AddRun(text, kSearchLinkStyle, target.Get());
    return !full;
}

bool TextPopupWindow::AddIndexEntryText(EntryRecords& records, const String& name,
                                        IndexPosition position, IndexEntryReader& reader) {
    return AddEntryText(records.GetText(), &records, name, position, reader);
}

bool TextPopupWindow::AddEntryText(DocumentSource* text, EntryRecords* records, const String& name,
                                   IndexPosition position, IndexEntryReader& reader) {
    if (reader.Seek(position) != 0) return false;
    std::vector<uint32_t> ranges;
    uint32_t count = 0;
    bool withMore = true;
    if (reader.FindTag(kTagEntryText, &count, &ranges) == 0)
        withMore = false;
    else if (reader.FindTag(kTagTextRanges, &count, &ranges) != 0)
        ranges.clear();
    uint32_t n = 0;
    std::vector<uint32_t> more;
    if (reader.FindTag(kTagMoreEntry, &count, &more) == 0 && !more.empty()) n = more[0];
    bool open = !text || AddTextRanges(text, ranges);
    if (open && withMore && n > 0) {
        String more5152;
        Resources::LoadString(more5152, kMoreId);
        auto target = RefPtr<LinkTarget>::Adopt(new LinkTarget);
        target->kind = kLinkNamedEntry;
        target->text = name;
        target->number = n;
        open = !box_->AddRun(String(u"  "), 0, nullptr) &&
               !box_->AddRun(more5152, kMoreStyle, target.Get());
    }
    if (open && records) AddEntryLink(*records, name, n);
    return true;
}

bool TextPopupWindow::AddTextRanges(DocumentSource* text, const std::vector<uint32_t>& ranges) {
    if (!text) return false;
    HtmlTokenizer tokens(true);
    if (!tokens.Attach(text, 0)) return false;
    const uint32_t length = text->GetLength();
    String buffer;
    buffer.Reserve(128);
    int32_t bold = 0, italic = 0;
    bool lineStart = true;
    bool full = false;
    auto flush = [&] {
        if (buffer.IsEmpty() || full) return;
        uint32_t style = (bold > 0 ? TextBox::kBold : 0) | (italic > 0 ? TextBox::kItalic : 0);
        full = box_->AddRun(buffer, style, nullptr);
        buffer.SetEmpty();
    };
    auto newline = [&] {
        if (lineStart) return;
        buffer.AppendChar(u'\n');
        lineStart = true;
    };
    // Unbalanced end tags stop at zero; a change of look starts a new run.
    auto count = [&](int32_t& counter, bool isEnd) {
        int32_t next = isEnd ? std::max(0, counter - 1) : counter + 1;
        if ((counter == 0) != (next == 0)) flush();
        counter = next;
    };
    size_t pairs = ranges.size() / 2;
    for (size_t i = 0; i < pairs && !full; ++i) {
        uint32_t start = ranges[2 * i];
        if (start >= length) continue;
        // The book's numbers may overrun the text, or wrap.
        uint32_t end = start + std::min(ranges[2 * i + 1], length - start);
        if (!tokens.Start(start, false)) continue;
        for (uint32_t steps = 0; steps < kMaxTokensPerRange && !full; ++steps) {
            uint32_t at = 0;
            if (!tokens.GetPosition(at) || at >= end) break;
            uint32_t kind = tokens.NextToken();
            if (kind == kTokenEnd) break;
            if (kind == kTokenText) {
                buffer.Append(tokens.Text());
                lineStart = false;
            } else if (kind == kTokenSpace) {
                if (!lineStart) buffer.AppendChar(u' ');
            } else if (kind == kTokenTag) {
                bool isEnd = false, isEmpty = false;
                uint32_t id = tokens.GetTag(isEnd, isEmpty);
                if (id == kTagBr)
                    newline();
                else if (id == kTagB)
                    count(bold, isEnd);
                else if (id == kTagI)
                    count(italic, isEnd);
                else if (MarkupTags::IsClass1or9to12(id))
                    newline();
            }
            if (buffer.Length() >= kRunLimit) flush();
        }
        if (i + 1 < pairs) newline();
    }
    flush();
    return !full;
}
