#include "reader/custom_links.h"

#include "bookfiles/annotation_file.h"
#include "core/file.h"

namespace {
// A note's text or link as it stands (read whole before anything changes it).
String NoteField(const AnnotationFile& file, int32_t note, bool link) {
    uint32_t length = 0;
    const char16_t* chars =
        link ? file.GetBookmarkUrl(note, &length) : file.GetBookmarkText(note, &length);
    String out;
    if (chars) out.AssignChars(chars, static_cast<int32_t>(length));
    return out;
}
}  // namespace

void CustomLinks::StartFromSelection(HistoryEntry source, uint32_t start, uint32_t end,
                                     const String& text) {
    *this = CustomLinks();
    kind_ = kFromSelection;
    source_ = std::move(source);
    start_ = start;
    end_ = end;
    text_ = text;
}

void CustomLinks::StartFromNote(HistoryEntry source, int32_t note) {
    *this = CustomLinks();
    kind_ = kFromNote;
    source_ = std::move(source);
    note_ = note;
}

void CustomLinks::MarkTarget(HistoryEntry target, const String& title,
                             const String& databaseName) {
    target_ = std::move(target);
    title_ = title;
    targetName_ = databaseName;
    targetSet_ = true;
}

bool CustomLinks::TextForTarget(String& out) const {
    out.SetEmpty();
    if (!targetSet_ || target_.viewPosition < 0) return false;
    Location at;
    if (!at.SetPositionAnchor(static_cast<uint32_t>(target_.viewPosition))) return false;
    if (Location::Compare(target_.location, source_.location) == 0) {
        out.Assign(at.Anchor());
        return true;
    }
    if (targetName_.IsEmpty()) return false;
    // The name is a field of the link: '&', '#', '$' and the like are escaped.
    String name(targetName_);
    if (!name.UriEscape(true, true)) return false;
    return out.AppendAscii("oeb:redirect?title=") && out.Append(name) && out.Append(at.Anchor());
}

bool CustomLinks::WriteTo(AnnotationFile& file, int32_t& index) {
    index = -1;
    if (kind_ == kNone || !targetSet_) return false;
    String url;
    if (!TextForTarget(url)) return false;
    uint32_t urlLength = static_cast<uint32_t>(url.Length());
    if (kind_ == kFromNote) {
        int32_t note = note_;
        if ((file.GetBookmarkKind(note) & 0x3F) != AnnotationFile::kNote) return false;
        String oldText = NoteField(file, note, false);
        String oldUrl = NoteField(file, note, true);
        String text(oldText);
        if (!text.AppendAscii("\r\n") || !text.Append(title_)) return false;
        bool ok =
            file.SetBookmarkText(note, text.Data(), static_cast<uint32_t>(text.Length())) == 0 &&
            file.SetBookmarkUrl(note, url.Data(), urlLength) == 0 && file.Flush() == 0;
        if (!ok) {
            // The note is the reader's own: it keeps its text and link.
            file.SetBookmarkText(note, oldText.Data(), static_cast<uint32_t>(oldText.Length()));
            file.SetBookmarkUrl(note, oldUrl.Data(), static_cast<uint32_t>(oldUrl.Length()));
            return false;
        }
        index = note;
    } else {
        uint32_t minutes = static_cast<uint32_t>(NowUnixMinutesUtc());
        int32_t made = file.AddBookmark(AnnotationFile::kLink, start_, end_, source_.viewWord,
                                        static_cast<uint32_t>(source_.viewPosition), 0, minutes);
        if (made < 0) return false;
        bool ok =
            file.SetBookmarkText(made, title_.Data(), static_cast<uint32_t>(title_.Length())) ==
                0 &&
            file.SetBookmarkNote(made, text_.Data(), static_cast<uint32_t>(text_.Length())) == 0 &&
            file.SetBookmarkUrl(made, url.Data(), urlLength) == 0 &&
            (source_.state.Size() == 0 ||
             file.SetBookmarkState(made, source_.state.Data(), source_.state.Size()) == 0) &&
            file.Flush() == 0;
        if (!ok) {
            file.DeleteBookmark(made);  // only what this call made
            return false;
        }
        index = made;
    }
    *this = CustomLinks();
    return true;
}

