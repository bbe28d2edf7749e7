// The walk over a book's annotations while a block is drawn: which highlight and which other
// mark (note, modification, link) are open at each position, and where the next change is.
// At most two annotations are taken up per step, so a third that starts at the same place
// opens at the next change; one highlight and one other mark are open at a time.
#pragma once

#include <cstdint>

#include "bookfiles/annotation_file.h"
#include "core/ref_counted.h"
#include "document/markup/link_target.h"
#include "layout/block_contents.h"

struct AnnotationCursor {
    static constexpr uint32_t kNone = 0xFFFFFFFFu;

    AnnotationFile* file = nullptr;
    BookmarkIterator iterator;
    int32_t current = -1;       // the next annotation to take up
    uint32_t nextChange = 0;    // kNone: nothing more changes
    uint32_t highlightEnd = 0;
    uint32_t highlightStyle = kNone;
    uint32_t markEnd = 0;
    uint32_t markStyle = kNone;
    int32_t linked = -1;
    // The open mark leads somewhere: linked to another annotation or holding a link address
    // (a custom link); its text then follows it.
    bool leads = false;
    RefPtr<LinkTarget> link;
    int32_t markRecord = -1;
    bool pending = false;  // the start of the mark is still to be drawn

    // Over the annotations that end after `from`.
    void Start(AnnotationFile* annotations, uint32_t from);
    // True when the set of open marks changed at this position.
    bool Advance(uint32_t position, bool makeLink);
    // The mark's start is drawn once: true the first time after it opened.
    bool TakePending();

    bool HighlightOpen() const { return highlightStyle != kNone; }
    bool MarkOpen() const { return markStyle != kNone; }
    bool AnyOpen() const { return HighlightOpen() || MarkOpen(); }
    // The open mark's style word; its low byte 0 takes the default mark style.
    uint32_t MarkStyle() const;

    // How a run of `run` style looks under the open marks: fonts, a tinted or highlighted
    // background, a mark colour. lineBackground stands in for a run without a background, and
    // defaultText for one without a text colour.
    void StyleRun(const PositionRecord& run, uint32_t lineBackground, uint32_t defaultText,
                  PositionRecord& out) const;

    static constexpr uint32_t kDefaultMarkStyle = 16;
    static constexpr uint32_t kHighlightColour = 0x00FFFF;  // yellow
};
