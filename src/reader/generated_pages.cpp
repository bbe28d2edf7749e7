#include "reader/generated_pages.h"

#include "core/ref_counted.h"
#include "database/index_query.h"
#include "database/query_text.h"
#include "reader/command_record.h"
#include "reader/page_links.h"
#include "script/script_names.h"

namespace {

IndexSource* OpenTable(IndexSourceResolver* tables, int32_t id) {
    String designation;
    if (id >= 0 && id < GeneratedPages::kNoTableId) {
        designation.AppendAscii("tableid=");
        designation.AppendUnsigned(static_cast<uint32_t>(id), 10);
    } else {
        designation.AppendAscii("special_table=default");
    }
    return tables ? tables->OpenIndex(designation) : nullptr;
}

}  // namespace

namespace GeneratedPages {

std::unique_ptr<DatabaseView> OpenSqlPage(IndexQuery* query, const String& text,
                                          int32_t displayCode, bool flagByte,
                                          const String& title, uint32_t flags, String& location) {
    if (!query) return nullptr;
    const bool marked = query->HasBrowsePart();
    const uint32_t icon = marked && displayCode > 0 ? static_cast<uint32_t>(displayCode) : 0;
    String link;
    if (!PageLinks::BuildSqlLink(icon, marked && flagByte, text, title, link)) return nullptr;
    auto view = std::make_unique<DatabaseView>();
    if (!view->SetSource(query, title, text)) return nullptr;
    view->SetName(title);
    view->SetFlags(flags);
    location = link;
    return view;
}

std::unique_ptr<DatabaseView> OpenQueryPage(const String& text, IndexSourceResolver* tables,
                                            int32_t displayCode, bool flagByte,
                                            const String& title, uint32_t flags,
                                            String& location) {
    if (!tables) return nullptr;
    auto query = RefPtr<IndexQuery>::Adopt(new IndexQuery);
    if (query->Compile(text, tables) != 0) return nullptr;
    return OpenSqlPage(query.Get(), text, displayCode, flagByte, title, flags, location);
}

std::unique_ptr<DatabaseView> OpenIndexTable(IndexSourceResolver* tables, int32_t table,
                                             int32_t keyTable, int32_t keyTag, int32_t entry,
                                             bool video, const String& word, uint32_t flags,
                                             String& location) {
    auto main = RefPtr<IndexSource>::Adopt(OpenTable(tables, table));
    if (!main) return nullptr;
    RefPtr<IndexSource> keys;
    if (keyTable >= 0 && keyTable < kNoTableId) {
        keys = RefPtr<IndexSource>::Adopt(OpenTable(tables, keyTable));
        if (!keys) return nullptr;
    }
    String link;
    auto view = std::make_unique<DatabaseView>();
    view->SetFlags(flags);
    view->SetTableNumber(table >= 0 && table < kNoTableId ? table : -1);
    bool ok = PageLinks::BuildIndexLink(video, table, keys ? keyTable : -1, keys ? keyTag : -1,
                                        keys ? entry : -1, word, link);
    if (ok && keys && keyTag >= 0 && entry >= 0 &&
        static_cast<uint32_t>(entry) < main->EntryCount()) {
        ok = view->ShowEntry(main.Get(), keys.Get(), static_cast<uint32_t>(keyTag),
                             static_cast<uint32_t>(entry));
    } else if (ok && keys && keyTag >= 0) {
        ok = view->AttachSource(main.Get(), keys.Get(), static_cast<uint32_t>(keyTag));
    } else if (ok) {
        // A table alone is listed as a record set: one level.
        ok = view->AttachRecordSet(main.Get());
    }
    if (!ok) return nullptr;
    if (!word.IsEmpty()) view->SetSearchText(word);
    location = link;
    return view;
}

std::unique_ptr<DatabaseView> OpenPageLink(const String& link, IndexSourceResolver* tables,
                                           String& location) {
    uint32_t icon = 0;
    bool mark = false;
    String query;
    String title;
    if (PageLinks::ParseSqlLink(link, icon, mark, query, title)) {
        if (query.IsEmpty()) return nullptr;
        return OpenQueryPage(query, tables, static_cast<int32_t>(icon), mark, title, 0,
                             location);
    }
    String word;
    int32_t table = -1;
    int32_t keyTable = -1;
    int32_t keyTag = -1;
    int32_t entry = -1;
    bool video = false;
    if (!PageLinks::ParseIndexLink(link, word, table, keyTable, keyTag, entry, video))
        return nullptr;
    return OpenIndexTable(tables, table, keyTable, keyTag, entry, video, word, 0, location);
}

uint32_t BulletArgument(const String& argument) {
    uint32_t value = 0;
    if (!argument.ParseUnsigned(10, value))
        value = ScriptNames::Find(argument.Data(), static_cast<uint32_t>(argument.Length()));
    return DatabaseViewText::BulletDisplayCode(value);
}

bool MakeQueryRequest(const String& query, const String& title, int32_t stateWord,
                      const String& viewName, uint32_t flags, CommandRecord& out) {
    constexpr uint32_t kDocumentObject = 23;
    CommandRecord request(kSqlSearch, kDocumentObject);
    String word, number;
    if (stateWord < 0) word.AppendChar(u'-');
    word.AppendUnsigned(static_cast<uint32_t>(stateWord < 0 ? -int64_t{stateWord} : stateWord), 10);
    number.AppendUnsigned(flags, 10);
    if (!request.AppendText(query) || !request.AppendText(title) || !request.AppendText(word) ||
        !request.AppendText(viewName) || !request.AppendText(number))
        return false;
    out = std::move(request);
    return true;
}

bool ReadQueryRequest(uint32_t method, const std::vector<String>& arguments, QueryRequest& out) {
    auto arg = [&](size_t i) { return i < arguments.size() ? arguments[i] : String(); };
    QueryRequest r;
    if (method == kSqlSearch) {
        if (arguments.empty()) return false;
        r.query = arg(0);
        r.title = arg(1);
        r.startPosition = arg(2);
        r.extra = arg(3);
        arg(4).ParseUnsigned(10, r.number);
    } else if (method == kSqlBulletSearch) {
        if (arguments.size() < 4) return false;
        r.displayCode = static_cast<int32_t>(BulletArgument(arg(0)));
        r.flagByte = arg(1).EqualsAscii("true");
        r.query = arg(2);
        if (!arg(3).IsEmpty() && !QueryText::AddBrowsePart(arg(2), arg(3), false, r.query))
            return false;
        r.title = arg(4);
        r.startPosition = arg(5);
        r.extra = arg(6);
    } else {
        return false;
    }
    if (r.query.IsEmpty()) return false;
    out = r;
    return true;
}

}  // namespace GeneratedPages

namespace GeneratedPages {

bool ReadIndexRequest(uint32_t method, const std::vector<String>& arguments, IndexRequest& out) {
    auto arg = [&](size_t i) { return i < arguments.size() ? arguments[i] : String(); };
    IndexRequest r;
    r.tableName = arg(0);
    size_t next = 1;
    switch (method) {
        case kIndexSearch:
            r.extra[0] = arg(next++);
            break;
        case kFilteredIndexSearch:
            if (arguments.size() < 2) return false;
            r.secondTableName = arg(next++);
            r.extra[0] = arg(next++);
            r.extra[1] = arg(next++);
            break;
        case kCondIndexSearch:
            if (arguments.size() < 3) return false;
            r.secondTableName = arg(next++);
            r.lookupKey = arg(next++);
            r.extra[0] = arg(next++);
            break;
        case kIdeogramSearch:
            r.ideographic = true;
            r.extra[0] = arg(next++);
            break;
        default: return false;
    }
    if (!r.ideographic) r.searchText = arg(next++);
    r.startPosition = arg(next++);
    r.title = arg(next++);
    arg(next).ParseUnsigned(10, r.flags);
    // An empty name is the book's default table (a dictionary's manual search); no name at all
    // asks for nothing.
    if (arguments.empty()) return false;
    out = r;
    return true;
}

}  // namespace GeneratedPages
