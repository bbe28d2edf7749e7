#include "graphics/widgets/text_box.h"

#include <algorithm>

#include "core/char_props.h"
#include "core/color.h"
#include "document/markup/link_target.h"

namespace {
constexpr char16_t kMarker[] = u" [...]";
constexpr int32_t kMarkerLength = 6;
constexpr char16_t kSample[] = u"Some Average Text";

int32_t gAppendBudget = -1;

bool Budget() {
    if (gAppendBudget == 0) return false;
    if (gAppendBudget > 0) --gAppendBudget;
    return true;
}

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

bool IsBreakMark(char16_t c) {
    switch (c) {
        case u',':
        case u'-':
        case u'.':
        case u'!':
        case u':':
        case u';':
        case u'>':
        case u'?':
        case 0x3002:
            return true;
        default:
            return false;
    }
}
}  // namespace

// ---- TextBoxBase ------------------------------------------------------------------------------

void TextBoxBase::SetStyle(int8_t size, uint8_t face) {
    if (face == 0) face = settings_ && settings_->DisplayFace() ? settings_->DisplayFace() : 1;
    style_.size = size;
    style_.face = face;
    style_.flags = kStyleFlags;
}

void TextBoxBase::OnFocusChanged(bool gained) {
    if (!gained || LinkCount() == 0) return;
    InputEvent e = InputEvent::Key(kKeyFocusNext);
    HandleEvent(e);
}

// ---- TextBox ----------------------------------------------------------------------------------

void TextBox::FailAppendsAfterForTesting(int32_t n) {
    gAppendBudget = n;
}

TextBox::TextBox(TextBoxOwner* owner, bool fixedWidth)
    : TextBoxBase(owner), owner_(owner), fixedWidth_(fixedWidth) {
    SetStyle(owner ? owner->FontSize() : -12, owner ? owner->DisplayFace() : 0);
}

TextBox::~TextBox() {
    areas_.Destroy();
}

void TextBox::Clear() {
    maxRect_ = Rect{};
    placed_ = Rect{};
    cachedStyle_ = kNoStyle;
    currentLink_ = kNone;
    textArea_ = 0;
    laidOut_ = false;
    linksPlaced_ = false;
    avgArea_ = 0;
    texts_.Clear();
    links_.Clear();
    styles_.Clear();
    areas_.Clear();
}

bool TextBox::MeasureAverageGlyphArea() {
    DrawScope scope(this, false, nullptr);
    GraphicsContext* gc = scope.Context();
    if (!gc) return false;
    cachedStyle_ = kNoStyle;
    ApplyRunStyle(gc, 0, false);
    ::Size size{};
    if (!gc->MeasureText(kSample, 16, size)) return false;
    avgArea_ = static_cast<uint32_t>((static_cast<uint64_t>(std::max(size.width, 0)) *
                                      static_cast<uint64_t>(std::max(size.height, 0))) >>
                                     4);
    cachedStyle_ = kNoStyle;
    return true;
}

bool TextBox::AddRun(const String& text, uint32_t style, LinkTarget* link) {
    if (!text.IsEmpty() && CharProps::IsCjk(text[0])) style &= ~kItalic;
    if (text.IsEmpty()) return false;
    uint64_t w = static_cast<uint64_t>(std::max(maxRect_.width, 0));
    uint64_t h = static_cast<uint64_t>(std::max(maxRect_.height, 0));
    uint64_t cap = w * h + ((w * h) >> 2);
    bool keep = (style & kKeep) != 0;
    if (textArea_ >= cap && !keep) return true;
    if (avgArea_ == 0) MeasureAverageGlyphArea();
    // Without a context the area stays unmeasured (tried again at the next run); never divide
    // by zero meanwhile.
    uint64_t average = std::max<uint64_t>(avgArea_, 1);
    uint64_t length = static_cast<uint64_t>(text.Length());
    uint64_t need = average * length;
    uint64_t count = length;
    if (textArea_ + need >= cap && !keep) count = std::min(length, (cap - textArea_) / average + 1);

    String piece;
    piece.AssignSub(text, 0, static_cast<int32_t>(count));
    // All four arrays grow together or not at all.
    if (!Budget() || texts_.Append(piece) < 0) return true;
    if (!Budget() || styles_.Append(style) < 0) {
        texts_.Remove(texts_.Count() - 1, 1);
        return true;
    }
    int32_t areaIndex = kNone;
    if (link) {
        areaIndex = areas_.Count();
        if (!Budget() || !areas_.Reserve(areaIndex + 1)) areaIndex = -2;
    }
    if (areaIndex == -2 || links_.Append(areaIndex) < 0) {
        texts_.Remove(texts_.Count() - 1, 1);
        styles_.Remove(styles_.Count() - 1, 1);
        return true;
    }
    if (link) {
        Area* area = areas_.At(areaIndex);
        area->Reset();
        area->link = RefPtr<LinkTarget>(link);
        area->laidOut = false;
    }
    textArea_ += average * count;
    laidOut_ = false;
    linksPlaced_ = false;
    return false;
}

void TextBox::ApplyRunStyle(GraphicsContext* gc, uint32_t style, bool leaveColour) {
    if (((style ^ cachedStyle_) & 15) == 0) return;
    if (!leaveColour) gc->SetTextColor((style & kLink) ? kLinkColour : textColour_);
    FontStyle s = Style();
    s.flags = static_cast<uint8_t>((s.flags & ~7u) | (style & 7u));
    gc->SetFontStyle(s);
    cachedStyle_ = style & 15;
}

bool TextBox::NextLine(GraphicsContext* gc, Position& pos, int32_t limit, int32_t previousHeight,
                       Line& line, std::vector<Piece>* out) {
    line = Line{};
    line.height = previousHeight;
    int32_t runs = texts_.Count();
    if (pos.run >= runs) return false;
    ApplyRunStyle(gc, *styles_.Get(pos.run), false);
    int32_t pieces = 0;
    for (;;) {
        const String* text = texts_.Get(pos.run);
        if (pos.ch >= text->Length()) {
            if (pos.run + 1 >= runs) {
                pos = Position{runs, 0};
                break;
            }
            uint32_t nextClass = *styles_.Get(pos.run + 1) & kClassMask;
            if (pieces > 0 && nextClass != line.lineClass) {
                pos = Position{pos.run + 1, 0};
                break;
            }
            pos = Position{pos.run + 1, 0};
            ApplyRunStyle(gc, *styles_.Get(pos.run), false);
            continue;
        }
        const char16_t* d = text->Data();
        int32_t n = text->Length();
        int32_t i = pos.ch;
        int32_t start;
        if (pieces == 0) {
            if (i < n && IsBlank(d[i])) ++i;
            start = i;
            line.lineClass = *styles_.Get(pos.run) & kClassMask;
        } else {
            // A separating blank belongs to the piece after it (and is dropped at a line start).
            start = i;
            if (i < n && IsBlank(d[i])) ++i;
        }
        if (i < n && IsBlank(d[i])) ++i;
        bool breakAllowed = false;
        while (i < n) {
            char16_t c = d[i];
            if (c == u'\t' || c == u'\n' || c == u'\r' || c == u' ') break;
            if (IsBreakMark(c)) {
                ++i;
                breakAllowed = true;
                continue;
            }
            // A break is allowed after every CJK character as after a mark; any other
            // character stops where a break is allowed before it.
            if (breakAllowed) break;
            breakAllowed = CharProps::IsCjk(c);
            ++i;
        }
        ::Size size{};
        if (i > start && gc) gc->MeasureText(d + start, i - start, size);
        int32_t end = i;
        bool lineBreak = false;
        if (i < n && (d[i] == u'\r' || d[i] == u'\n')) {
            char16_t first = d[i++];
            if (i < n && (d[i] == u'\r' || d[i] == u'\n') && d[i] != first) ++i;
            lineBreak = true;
        }
        if (line.width + size.width > limit) {
            if (line.width > 0) break;  // the piece starts the next line
            size.width = std::max(limit, 0);
            line.clipped = true;
        }
        line.width += size.width;
        line.height = std::max(line.height, size.height);
        if (size.width > 0 || size.height > 0) {
            if (out) out->push_back(Piece{pos.run, start, end - start, size.width, size.height});
            if (*styles_.Get(pos.run) & kKeep) line.kept = true;
        }
        ++pieces;
        pos.ch = i;
        if (lineBreak) break;
    }
    return pos.run < runs || pieces > 0;
}

::Size TextBox::Measure(GraphicsContext* gc, int32_t maxW, int32_t maxH) {
    headLines_ = kNone;
    tailStart_ = kNone;
    lineCount_ = 0;
    if (texts_.Count() == 0 || !gc) return ::Size{};
    cachedStyle_ = kNoStyle;
    ApplyRunStyle(gc, kBold, false);
    marker_ = ::Size{};
    gc->MeasureText(kMarker, kMarkerLength, marker_);
    // The shape search divides by these.
    maxW = std::max(maxW, 1);
    maxH = std::max(maxH, 1);
    bool useGivenWidth = fixedWidth_ || (frameMode_ >= kLineBelow && frameMode_ <= kGivenWidth);
    uint64_t area = textArea_;
    int64_t w, h;
    if (useGivenWidth) {
        w = maxW;
        h = static_cast<int64_t>(area / static_cast<uint64_t>(w));
    } else {
        w = 100;
        if (area > 10000) {
            do {
                w += 25;
            } while (static_cast<uint64_t>(w * w) < area);
        }
        w += w / 2;
        h = static_cast<int64_t>(area / static_cast<uint64_t>(w));
        while (w <= maxW && h > maxH) {
            w += w / 5;
            h = static_cast<int64_t>(area / static_cast<uint64_t>(w));
        }
    }
    bool atMaximum = false;
    int32_t widest = 0, tallest = 0;
    int64_t total = 0;
    uint32_t lines = 0;
    int32_t firstKept = kNone;
    for (;;) {
        if (!fixedWidth_) {
            w += w / 5;
            h += w / 5;
        }
        // At the maximum also when growing by a fifth no longer moves a narrow box.
        if (w >= maxW) {
            w = maxW;
            h = static_cast<int64_t>(area / static_cast<uint64_t>(maxW));
            atMaximum = true;
        }
        layoutWidth_ = static_cast<int32_t>(w);
        Position pos;
        Line line;
        int32_t previous = 0;
        bool clipped = false;
        widest = tallest = 0;
        total = 0;
        lines = 0;
        firstKept = kNone;
        while (NextLine(gc, pos, layoutWidth_, previous, line, nullptr)) {
            total += line.height;
            widest = std::max(widest, line.width);
            tallest = std::max(tallest, line.height);
            if (line.kept && firstKept == kNone) firstKept = static_cast<int32_t>(lines);
            clipped = clipped || line.clipped;
            previous = line.height;
            ++lines;
        }
        if ((total >= h || clipped) && !atMaximum && !fixedWidth_) continue;
        break;
    }
    lineCount_ = lines;
    if (total > maxH) {
        int64_t hmax = std::max(tallest, 1);
        int64_t n = lines, k = firstKept;
        if (k > 0 && k < n) {
            int64_t t = maxH - (n - k) * hmax;
            tailStart_ = static_cast<int32_t>(k);
            if (t >= 0) {
                headLines_ = static_cast<int32_t>(t / hmax);
                total = (headLines_ + n - k) * hmax;
            } else {
                // Not even the kept lines fit: show as many of them as do, from the first on.
                headLines_ = 0;
                int64_t fit = maxH / hmax;
                lineCount_ = static_cast<uint32_t>(std::min(n, k + fit));
                total = fit * hmax;
            }
        } else {
            lineCount_ = static_cast<uint32_t>(maxH / hmax);
            total = lineCount_ * hmax;
        }
    }
    ::Size size{widest, static_cast<int32_t>(total)};
    if (useGivenWidth && frameMode_ != kGivenWidth) size.width = maxW;
    cachedStyle_ = kNoStyle;
    return size;
}

bool TextBox::Layout() {
    DrawScope scope(this, false, nullptr);
    // Without a context the old figures stay; layout is tried again later.
    if (!scope) return false;
    // The margins are given at 96 dpi; they grow with the screen as the text does, which ran
    // up against the pop-up's frame on the large screen.
    hPad_ = scope.Context()->ScaleForDpi(hMargin_);
    vPad_ = scope.Context()->ScaleForDpi(vMargin_);
    int32_t availW = maxRect_.width - 2 * hPad_;
    int32_t availH = maxRect_.height - 2 * vPad_;
    ::Size size = Measure(scope.Context(), availW, availH);
    placed_.width = size.width + 2 * hPad_;
    placed_.height = size.height + 2 * vPad_;
    laidOut_ = true;
    // Link rectangles follow the new lines at the next drawing.
    linksPlaced_ = false;
    return true;
}

Rect& TextBox::AdjustRect(Rect& out, const Rect& in) {
    if (placed_.x != in.x || placed_.y != in.y) linksPlaced_ = false;
    placed_.x = in.x;
    placed_.y = in.y;
    if (fixedWidth_) {
        maxRect_ = in;
        Layout();
        out = in;
        out.y += placed_.height;
        out.height -= placed_.height;
        return out;
    }
    if (placed_.width != in.width || placed_.height != in.height) linksPlaced_ = false;
    placed_.width = in.width;
    placed_.height = in.height;
    out = Rect{};
    return out;
}

::Size TextBox::GetSize() {
    if (!laidOut_) Layout();
    return ::Size{placed_.width, placed_.height};
}

void TextBox::ResetLinkGeometry() {
    for (int32_t i = 0; i < areas_.Count(); ++i) {
        Area* a = areas_.At(i);
        RefPtr<LinkTarget> link = a->link;
        a->Reset();
        a->link = link;
        a->laidOut = false;
    }
}

void TextBox::Redraw(const Rect* /*area*/) {
    if (!CanRedraw()) return;
    DrawScope scope(this, false, nullptr);
    GraphicsContext* gc = scope.Context();
    if (!gc) return;
    if (!laidOut_) {
        // Drawn before it was measured: lay out now, keeping a size the parent gave.
        Rect given = placed_;
        Layout();
        if (!fixedWidth_ && !given.IsEmpty()) placed_ = given;
    }
    cachedStyle_ = kNoStyle;
    if (fixedWidth_ && placed_.width >= 1 && placed_.height >= 1) {
        gc->SetPenColor(frameColour_);
        gc->SetBrushColor(background_);
        int32_t right = placed_.x + placed_.width - 1, bottom = placed_.y + placed_.height - 1;
        if (frameMode_ == kLineBelow || frameMode_ == kLineAbove) {
            gc->SetPenColor(0xFFFFFF);
            gc->DrawRectangle(placed_, true);
            gc->SetPenColor(frameColour_);
            int32_t y = frameMode_ == kLineBelow ? bottom : placed_.y;
            if (!Color::IsNone(frameColour_)) gc->DrawLine(Point{placed_.x, y}, Point{right, y});
        } else {
            gc->FillRect(placed_);
        }
    }
    gc->SetBackgroundColor(background_);
    gc->SetBrushColor(Color::kNone);
    gc->SetPenColor(0x000000);
    ApplyRunStyle(gc, 0, false);
    DrawLines(gc);
    if (Area* a = LinkArea(currentLink_)) a->Draw(*gc, true);
}

void TextBox::DrawLines(GraphicsContext* gc) {
    if (!laidOut_) return;
    bool placing = !linksPlaced_;
    if (placing) ResetLinkGeometry();
    bool pushed = gc->PushState();
    // A word wider than the line is cut at the line's end, inside the margins: it must not
    // paint over the owner's frame or run on to the edge of the screen.
    Rect lines = placed_;
    if (lines.width > 2 * hPad_) {
        lines.x += hPad_;
        lines.width -= 2 * hPad_;
    }
    gc->IntersectClip(lines);

    // Link geometry: one rectangle per line a link spans.
    int32_t pendingLink = kNone;
    Rect current{};
    RectList* list = nullptr;
    auto finish = [&]() {
        if (pendingLink == kNone) return;
        if (current.width > 0) RectLists::Add(list, current);
        current = Rect{};
        Area* area = areas_.At(pendingLink);
        if (list && list->Count() == 1) {
            area->SetRect((*list)[0]);
            RectLists::Free(list);
        } else if (list) {
            area->SetRectList(list);
            list = nullptr;
        }
        // A link with nothing drawn (all its lines elided) stays unplaced: keys skip it.
        area->laidOut = !area->IsEmpty();
        pendingLink = kNone;
    };
    auto extend = [&](int32_t link, const Rect& r) {
        if (link != pendingLink) {
            finish();
            pendingLink = link;
        }
        if (current.IsEmpty()) {
            current = r;
        } else if (current.y == r.y && current.height == r.height) {
            current.width = r.x + r.width - current.x;
        } else {
            RectLists::Add(list, current);
            current = r;
        }
    };

    Position pos;
    Line line;
    std::vector<Piece> pieces;
    int32_t previous = 0;
    int32_t y = placed_.y + vPad_;
    bool elided = false;
    for (uint32_t i = 0; i < lineCount_; ++i) {
        pieces.clear();
        if (!NextLine(gc, pos, layoutWidth_, previous, line, &pieces)) break;
        previous = line.height;
        int32_t index = static_cast<int32_t>(i);
        if (headLines_ != kNone && tailStart_ != kNone && headLines_ <= index && index < tailStart_)
            continue;
        int32_t x;
        if (line.lineClass == kRight)
            x = placed_.x + placed_.width - hPad_ - line.width;
        else if (line.lineClass == kCentre)
            x = placed_.x + hPad_ + (placed_.width - 2 * hPad_ - line.width) / 2;
        else
            x = placed_.x + hPad_;
        for (size_t j = 0; j < pieces.size(); ++j) {
            const Piece& p = pieces[j];
            int32_t link = *links_.Get(p.run);
            if (placing && link != pendingLink) finish();
            bool lastOfLine = j + 1 == pieces.size();
            if (!elided && headLines_ != kNone && index == headLines_ - 1 &&
                (x + p.width + marker_.width > placed_.x + placed_.width - hPad_ ||
                 lastOfLine)) {
                ApplyRunStyle(gc, kBold, false);
                gc->DrawText(kMarker, kMarkerLength, Point{x, y});
                elided = true;
                break;  // the rest of the line gives way to the marker
            }
            ApplyRunStyle(gc, *styles_.Get(p.run), false);
            gc->DrawText(texts_.Get(p.run)->Data() + p.first, p.count, Point{x, y});
            if (placing && link >= 0) extend(link, Rect{x, y, p.width, p.height});
            x += p.width;
        }
        y += line.height;
    }
    if (placing) {
        finish();
        RectLists::Free(list);
        linksPlaced_ = true;
    }
    if (pushed) gc->PopState();
}

bool TextBox::StepLink(bool forward) {
    int32_t n = areas_.Count();
    if (n <= 0) return false;
    int32_t next = currentLink_;
    // Links never drawn (the box was not drawn, or their lines were elided) are passed over.
    for (int32_t tries = 0; tries < n; ++tries) {
        if (next == kNone)
            next = forward ? 0 : n - 1;
        else
            next = forward ? (next + 1) % n : (next + n - 1) % n;
        if (areas_.At(next)->laidOut) break;
        if (tries == n - 1) return false;
    }
    if (next == currentLink_) return false;
    DrawScope scope(this, false, nullptr);
    if (GraphicsContext* gc = scope.Context()) {
        if (Area* old = LinkArea(currentLink_)) old->Draw(*gc, false);
        areas_.At(next)->Draw(*gc, true);
    }
    currentLink_ = next;
    return true;
}

void TextBox::ClosePopup() {
    // May destroy this box: callers touch nothing afterwards.
    if (!fixedWidth_ && Parent()) Parent()->Show(false);
}

bool TextBox::HandleEvent(InputEvent& event) {
    if (passive_) return false;
    if (event.IsPen()) {
        // A tap on a drawn link activates it; other taps are taken and do nothing.
        if (event.code != kPenUp) return true;
        for (int32_t i = 0; i < areas_.Count(); ++i) {
            Area* a = areas_.At(i);
            if (a->laidOut && a->HitTest(event.point, 0)) {
                ActivateLink(i, Point{placed_.x, placed_.y});
                return true;
            }
        }
        return true;
    }
    if (areas_.Count() == 0) {
        ClosePopup();
        return true;
    }
    uint32_t c = event.Code();
    if (c == kKeyFocusNextLine || (c & 255) == kKeyPageDown) {
        StepLink(true);
    } else if (c == kKeyFocusPreviousLine || (c & 255) == kKeyPageUp) {
        StepLink(false);
    } else if ((c & 255) == kKeyActivate) {
        ActivateLink(currentLink_, Point{placed_.x, placed_.y});
    } else {
        ClosePopup();
    }
    return true;
}

void TextBox::ActivateLink(int32_t index, Point point) {
    Area* area = LinkArea(index);
    if (!area) return;
    Point mapped{};
    MapPoint(mapped, true, false, nullptr, point, true);
    // Closing the pop-up may destroy this box: keep the target and the owner in locals.
    RefPtr<LinkTarget> target = area->link;
    TextBoxOwner* owner = owner_;
    ClosePopup();
    if (owner && target) owner->PerformAction(target.Get(), mapped);
}
