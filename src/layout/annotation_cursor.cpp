#include "layout/annotation_cursor.h"

#include "core/color.h"
#include "document/markup/render_state.h"

void AnnotationCursor::Start(AnnotationFile* annotations, uint32_t from) {
    *this = AnnotationCursor{};
    file = annotations;
    if (!file) {
        nextChange = kNone;
        return;
    }
    file->StartIterator(&iterator, 0, from, 0xFFFFFFFFu);
    current = file->FindNext(&iterator);
}

bool AnnotationCursor::Advance(uint32_t position, bool makeLink) {
    if (position < nextChange || !file) return false;
    bool changed = false;
    if (highlightStyle != kNone && highlightEnd <= position) {
        highlightStyle = kNone;
        highlightEnd = 0;
        changed = true;
    }
    if (markStyle != kNone && markEnd <= position) {
        markStyle = kNone;
        markEnd = 0;
        link = RefPtr<LinkTarget>();
        linked = -1;
        leads = false;
        markRecord = -1;
        pending = false;
        changed = true;
    }
    // The next change is the nearest end of what stays open (the earlier one: a later end
    // would draw the shorter mark too far).
    nextChange = kNone;
    if (highlightStyle != kNone) nextChange = highlightEnd;
    if (markStyle != kNone && markEnd < nextChange) nextChange = markEnd;
    for (int taken = 0; taken < 2 && current >= 0; ++taken) {
        uint32_t kind = file->GetBookmarkKind(current);
        uint32_t start = 0, end = 0, a = 0, b = 0, style = 0;
        if (kind == 0 || file->GetBookmarkRange(current, &start, &end, &a, &b, &style) != 0) break;
        if (start > position) {
            if (start < nextChange) nextChange = start;
            break;
        }
        if (end > position) {
            if (kind & AnnotationFile::kHighlight) {
                highlightEnd = end;
                highlightStyle = style;
                changed = true;
            } else if (kind & (AnnotationFile::kNote | AnnotationFile::kModification |
                               AnnotationFile::kLink)) {
                markStyle = style;
                markRecord = current;
                pending = true;
                linked = file->GetLinkedBookmark(current);
                uint32_t urlLength = 0;
                leads = linked >= 0 || (file->GetBookmarkUrl(current, &urlLength) && urlLength > 0);
                link = RefPtr<LinkTarget>();
                if (makeLink) {
                    link = RefPtr<LinkTarget>::Adopt(new LinkTarget());
                    link->SetCoordinates(24, 80, static_cast<uint32_t>(current));
                }
                markEnd = end;
                changed = true;
            }
            if (end < nextChange) nextChange = end;
        }
        current = file->FindNext(&iterator);
    }
    return changed;
}

bool AnnotationCursor::TakePending() {
    if (!pending) return false;
    pending = false;
    return true;
}

uint32_t AnnotationCursor::MarkStyle() const {
    if (markStyle == kNone) return kNone;
    return (markStyle & 0xFF) ? markStyle : (markStyle & ~0xFFu) | kDefaultMarkStyle;
}

namespace {

// Colour index 1-14 from the mark table, 15 the annotation's own colour (upper three bytes).
uint32_t IndexedColour(uint32_t style) {
    uint32_t index = style & 0x0F;
    return index == 15 ? (style >> 8) & 0xFFFFFF : MarkBox::Colour(index);
}

uint32_t Tint(uint32_t background, uint32_t text) {
    uint8_t br, bg, bb, tr, tg, tb;
    Color::Unpack(background, br, bg, bb);
    Color::Unpack(text, tr, tg, tb);
    auto mix = [](uint32_t b, uint32_t t) { return static_cast<uint8_t>((14 * b + t) / 15); };
    return Color::Pack(mix(br, tr), mix(bg, tg), mix(bb, tb));
}

}  // namespace

void AnnotationCursor::StyleRun(const PositionRecord& run, uint32_t lineBackground,
                                uint32_t defaultText, PositionRecord& out) const {
    out = run;
    if (MarkOpen()) {
        uint32_t style = MarkStyle();
        uint32_t byte = style & 0xFF;
        if (linked >= 0) {
            // A note linked to another annotation reads as a link.
            if (Color::IsNone(out.color)) out.color = Color::Pack(255, 0, 0);
            byte = 128;
        }
        if (byte & 0x80) out.style |= kStyleUnderline;
        if (byte & 0x40) out.style |= kStyleStrike;
        if (byte & 0x30) {
            uint32_t b = Color::IsNone(run.background) ? lineBackground : run.background;
            uint32_t t = Color::IsNone(run.color) ? defaultText : run.color;
            out.background = Tint(b, t);
        }
        if (byte & 0x0F) out.color = IndexedColour(byte | (style & ~0xFFu));
    }
    if (HighlightOpen()) {
        uint32_t masked = highlightStyle & 0xD0;
        if (masked == 64) {
            out.style |= kStyleStrike;
        } else if (masked == 128) {
            out.style |= kStyleUnderline;
        } else {
            uint32_t index = highlightStyle & 0x0F;
            out.background = index == 0 ? kHighlightColour : IndexedColour(highlightStyle);
        }
    }
}
