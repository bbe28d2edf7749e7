#include "layout/annotation_cursor.h"

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
