// The document controller's generated pages: record-set views over a query or an index table of
// the current document, made from a generated-page location or from an "open" request, each with
// the location string that makes the same view again.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/string.h"
#include "reader/book_actions.h"
#include "reader/database_view.h"

class CommandRecord;
class IndexQuery;
class IndexSourceResolver;

namespace GeneratedPages {

// Request methods that open a generated page.
using ReaderMethods::kSqlSearch;
using ReaderMethods::kSqlBulletSearch;
using ReaderMethods::kIndexSearch;
using ReaderMethods::kFilteredIndexSearch;
using ReaderMethods::kCondIndexSearch;
using ReaderMethods::kIdeogramSearch;
// Table ids from this up name no table: the book's default table is meant.
constexpr int32_t kNoTableId = 65535;

// A query page: the compiled query shown in a new view. The location is
// "$fvtsql&<A>&<B>&<query>[&<title>]", A and B the display code and flag when the query has a
// browse part, else both 0.
std::unique_ptr<DatabaseView> OpenSqlPage(IndexQuery* query, const String& text,
                                          int32_t displayCode, bool flagByte,
                                          const String& title, uint32_t flags, String& location);
// Compiles the text over the document's tables first; null when it does not compile.
std::unique_ptr<DatabaseView> OpenQueryPage(const String& text, IndexSourceResolver* tables,
                                            int32_t displayCode, bool flagByte,
                                            const String& title, uint32_t flags,
                                            String& location);
// An index table (its id, or the default table from kNoTableId), optionally the keys of one
// entry in a key table; a word positions the list. Null when a table is missing.
std::unique_ptr<DatabaseView> OpenIndexTable(IndexSourceResolver* tables, int32_t table,
                                             int32_t keyTable, int32_t keyTag, int32_t entry,
                                             bool video, const String& word, uint32_t flags,
                                             String& location);
// The view a generated-page link names (without its '$'): "fvtsql", "fvtindex" or "fvtideo".
std::unique_ptr<DatabaseView> OpenPageLink(const String& link, IndexSourceResolver* tables,
                                           String& location);

// The arguments of a query request (96 or 97), read into one form.
struct QueryRequest {
    String query;
    String title;
    String startPosition;
    String extra;
    int32_t displayCode = -1;
    bool flagByte = false;
    uint32_t number = 0;
};
bool ReadQueryRequest(uint32_t method, const std::vector<String>& arguments, QueryRequest& out);
// Request 96 as a view asks for a query page over the book: the view's state word becomes the
// start position, its name the extra text and its flags the number the new view gets.
bool MakeQueryRequest(const String& query, const String& title, int32_t stateWord,
                      const String& viewName, uint32_t flags, CommandRecord& out);

// The arguments of an index-table request (69, 72, 79 or 130). The table names are named
// targets of the document, which the controller turns into table ids.
struct IndexRequest {
    String tableName;
    String secondTableName;  // 72 and 79: the key table, within the first
    String lookupKey;        // 79: the entry is found by it
    String extra[2];
    String searchText;
    String startPosition;
    String title;
    uint32_t flags = 0;
    bool ideographic = false;
};
bool ReadIndexRequest(uint32_t method, const std::vector<String>& arguments, IndexRequest& out);
// The display code of a bullet argument: a number, or a bullet's script name.
uint32_t BulletArgument(const String& argument);

}  // namespace GeneratedPages
