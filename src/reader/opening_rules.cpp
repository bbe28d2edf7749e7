#include "reader/opening_rules.h"

#include <vector>

#include "bookfiles/annotation_file.h"
#include "bookfiles/document_source.h"
#include "graphics/core/command_ids.h"

namespace OpeningRules {

String ChooseAnchor(const OpeningFacts& facts) {
    if (!facts.anchor.IsEmpty() || !facts.restore || !facts.hasSideFile) return facts.anchor;
    String anchor;
    if (facts.audioLast) anchor.AppendAscii("$audio");
    // Without a saved place the book's own start comes first, then its cover.
    if (!facts.hasSavedPosition && !facts.hasStart && facts.hasCover) {
        anchor.SetEmpty();
        anchor.AppendAscii("$cover");
    }
    return anchor;
}

bool HasSavedPosition(const AnnotationFile& file) {
    uint32_t word = 0, position = 0;
    if (!file.GetReadingPosition(&word, &position, nullptr)) return false;
    return word != 0 && position != 0;
}

bool HasCover(DocumentSource* document) {
    if (!document) return false;
    uint16_t first = 65535, last = 65535;
    uint8_t flag = 0;
    if (!document->GetHeaderTriple(first, last, flag)) return false;
    return first < 65535 && flag == 0;
}

int32_t CoverRecord(DocumentSource* document) {
    if (!HasCover(document)) return -1;
    uint16_t first = 65535, last = 65535;
    uint8_t flag = 0;
    document->GetHeaderTriple(first, last, flag);
    return static_cast<int32_t>(first) + 1;
}

bool IsAudioAnchor(const String& anchor) { return anchor.EqualsAscii("$audio"); }

Target ResolveTarget(const String& name) {
    if (name.EqualsAscii("_blank")) return Target::kNone;
    if (name.IsEmpty() || name.EqualsAscii("_top") || name.EqualsAscii("_self"))
        return Target::kSelf;
    return Target::kNamed;
}

bool IsWebLink(const String& url) {
    return url.CompareN(u"http:", 5, true) == 0 || url.CompareN(u"https:", 6, true) == 0;
}

namespace {
// Whether a tag named `name` (lower case) opens at `at`, just after its "<".
bool TagAt(const uint8_t* bytes, size_t size, size_t at, const char* name) {
    size_t i = 0;
    for (; name[i]; ++i) {
        if (at + i >= size) return false;
        uint8_t c = bytes[at + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<uint8_t>(c - 'A' + 'a');
        if (c != static_cast<uint8_t>(name[i])) return false;
    }
    if (at + i >= size) return true;
    const uint8_t next = bytes[at + i];
    return next == '>' || next == '/' || next == ' ' || next == '\t' || next == '\r' ||
           next == '\n';
}
}  // namespace

bool IsFramesOnly(const uint8_t* bytes, size_t size) {
    if (!bytes) return false;
    bool frameset = false;
    for (size_t at = 0; at < size; ++at) {
        if (bytes[at] != '<') continue;
        // A comment may name any tag.
        if (at + 3 < size && bytes[at + 1] == '!' && bytes[at + 2] == '-' && bytes[at + 3] == '-') {
            size_t end = at + 4;
            while (end + 2 < size &&
                   !(bytes[end] == '-' && bytes[end + 1] == '-' && bytes[end + 2] == '>'))
                ++end;
            at = end + 2;
            continue;
        }
        if (TagAt(bytes, size, at + 1, "body") || TagAt(bytes, size, at + 1, "noframes"))
            return false;
        if (TagAt(bytes, size, at + 1, "frameset")) frameset = true;
    }
    return frameset;
}

int32_t StepPageCommand(int32_t step) {
    switch (step) {
        case -3: return Cmd::kScrollBackThree;
        case -2: return Cmd::kPreviousPage;
        case -1: return Cmd::kScrollBack;
        case 1: return Cmd::kScrollForward;
        case 3: return Cmd::kScrollForwardThree;
        default: return Cmd::kNextPage;
    }
}

String PositionLine(uint32_t pageStart, const String& bookId, uint32_t documentKey,
                    const String& title) {
    String line;
    line.AppendUnsigned(pageStart, 10);
    line.AppendChar(u'\t');
    line.Append(bookId);
    line.AppendChar(u':');
    line.AppendUnsigned(documentKey, 16, 8);
    line.AppendChar(u'\t');
    line.Append(title);
    return line;
}

}  // namespace OpeningRules
