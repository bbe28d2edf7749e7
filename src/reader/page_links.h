// The generated-page links of record-set views: "fvtsql" (a query) and "fvtindex"/"fvtideo" (an
// index table, optionally one entry's keys in a key table). Each kind has one builder and one
// parser so that a page reopened from the history is the page that was left.
#pragma once

#include <cstdint>

#include "core/string.h"

namespace PageLinks {

// "$fvtsql&<icon>&<0|1>&<query>[&<title>]"; query and title are percent-encoded, so a '&', '#'
// or '$' in them cannot end a field or turn the location into an anchored one.
bool BuildSqlLink(uint32_t icon, bool markEveryRow, const String& query, const String& title,
                  String& out);
// Reads the link without its leading '$'. Outputs of missing or non-numeric fields keep the
// caller's values; the title is the rest of the link, '&' included. False unless the first field
// is exactly "fvtsql".
bool ParseSqlLink(const String& link, uint32_t& icon, bool& markEveryRow, String& query,
                  String& title);

// "$fvtindex&<table>[&<keyTable>&<keyTag>[&<entry>]][&<word>]" ("fvtideo" with video); a
// negative number leaves its field and the following ones out. The word is percent-encoded.
bool BuildIndexLink(bool video, int32_t table, int32_t keyTable, int32_t keyTag, int32_t entry,
                    const String& word, String& out);
// Reads the link without its leading '$'. A field that is not a number sets its output and the
// later numbers to -1 and is the word. "fvtindex" alone: true, every number -1. A key table
// without a key tag: false. Otherwise true exactly when the table is a number.
bool ParseIndexLink(const String& link, String& word, int32_t& table, int32_t& keyTable,
                    int32_t& keyTag, int32_t& entry, bool& video);

}  // namespace PageLinks
