// The decisions the document controller takes before it opens anything: which anchor a book
// opens at, where a link's target window is, which links leave the reader for the web browser,
// and the small texts and codes that follow from a position.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/string.h"

class AnnotationFile;
class DocumentSource;

// What is known about a book when it is shown.
struct OpeningFacts {
    String anchor;          // the link's own anchor; wins when not empty
    bool restore = false;   // opened as a book (not from the history)
    bool hasSideFile = false;
    bool audioLast = false;       // the side file's audio flag
    bool hasSavedPosition = false;  // both position words present and non-zero
    bool hasStart = false;        // the book names a "start" reference
    bool hasCover = false;
};

namespace OpeningRules {

// The anchor a book opens at: an explicit anchor; else "$audio" for an audio book; without a
// saved position and without "start", "$cover" when the book has one (replacing "$audio").
// An empty answer means the text page; a saved position is then restored after layout.
String ChooseAnchor(const OpeningFacts& facts);

// Whether the side file holds a reading position worth restoring: both words non-zero.
bool HasSavedPosition(const AnnotationFile& file);

// Whether a book has a cover: its header names a first image and the cover flag is clear.
bool HasCover(DocumentSource* document);
// The data record (from 1) of the cover picture; -1 without a cover.
int32_t CoverRecord(DocumentSource* document);

bool IsAudioAnchor(const String& anchor);

enum class Target { kNone, kSelf, kNamed };
// "_blank" opens nothing here; "", "_self" and "_top" are this window; any other is a name.
Target ResolveTarget(const String& name);

// Only "http:" and "https:" exactly (case matters) go to the web browser.
bool IsWebLink(const String& url);

// Whether an HTML page's bytes are a frame set and nothing else: a FRAMESET tag, with no BODY
// and no NOFRAMES text to show in its place. The reader lays out no HTML frames.
bool IsFramesOnly(const uint8_t* bytes, size_t size);

// The view command of a page step in the record-set and image views.
int32_t StepPageCommand(int32_t step);

// The reading-position line: page start, TAB, book id ":" key in eight upper-case hex digits,
// TAB, title.
String PositionLine(uint32_t pageStart, const String& bookId, uint32_t documentKey,
                    const String& title);

}  // namespace OpeningRules
