// The saved state of a record-set view (the "INDX" record): levels, selections, top positions and
// search texts, so that a relayout or a return through the history shows the list as it was.
// Written big-endian like the other view states; read back only after every length, count and
// level has been checked, so a foreign or cut record changes nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "bookfiles/index_table.h"
#include "core/code_pages.h"
#include "core/string.h"

class ByteStream;

// One level of a query view.
struct DatabaseViewLevel {
    IndexPosition top;
    IndexPosition chosen;  // the entry chosen at this level (the descent to the next)
    int32_t selected = -1;
    String search;
};

struct DatabaseViewState {
    // The code page search texts are saved in (UTF-16 big-endian); no other is read back.
    static constexpr uint32_t kSearchCodePage = CodePages::kUtf16Be;

    bool query = false;
    uint32_t level = 0;
    uint32_t flags = 0;
    int32_t stateWord = -1;
    String titleTemplate;
    // Plain view.
    String keyTemplate;
    String search1;
    String search2;
    int32_t selected1 = -1;
    int32_t selected2 = -1;
    IndexPosition top1;
    IndexPosition top2;
    IndexPosition keysEntry;  // the entry whose keys level 2 shows
    String further;
    // Query view: one record per active plan leaf, plus the last level.
    std::vector<DatabaseViewLevel> levels;

    // Appends the record, then (when not empty) zeros to a multiple of 4 and the extra bytes.
    bool Save(ByteStream& out, const ByteStream* extra) const;
    // Reads a record of the kind this state is (query or plain). A query record must have
    // expectedLevels level records. False, and nothing changed, on a wrong tag, count, level,
    // code page or a length past the end.
    bool Restore(ByteStream& in, uint32_t expectedLevels);
};
