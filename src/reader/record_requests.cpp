// The requests a record page makes: the entries it opens (in this book or a linked one) and the
// word-list and search-history pages by name.
#include "reader/record_requests.h"

#include <climits>

#include "core/path.h"
#include "database/index_query.h"
#include "database/resource.h"
#include "document/location/location.h"
#include "document/sources/document_loader.h"
#include "platform/shell/shell.h"
#include "reader/command_record.h"
#include "reader/generated_pages.h"
#include "reader/reader_settings.h"

namespace {

constexpr uint32_t kGoToPosition = 75;
constexpr uint32_t kDocumentObject = 23;
constexpr uint32_t kWordListDatabase = 7;
constexpr uint32_t kHistoryDatabase = 8;
constexpr uint32_t kBookElsewhere = 5042;

// A book file name taken from book data: only a name below the referring book's folder.
bool IsPlainRelativeName(const String& name) {
    if (name.IsEmpty() || name[0] == u'\\' || name[0] == u'/') return false;
    for (int32_t i = 0; i < name.Length(); ++i)
        if (name[i] == u':') return false;
    return !Path::HasParentPart(name);
}

}  // namespace

bool RecordRequests::IsListDatabase(const Location& location) {
    return location.Kind() == Location::kDatabase &&
           (location.ResourceId() == kWordListDatabase ||
            location.ResourceId() == kHistoryDatabase);
}

bool RecordRequests::IsListPageLink(const String& anchor) {
    return anchor.Length() > 1 && anchor[0] == u'$' &&
           (anchor.CompareN(u"$fvtwordlist", 12, true) == 0 ||
            anchor.CompareN(u"$fvtsearchhistory", 17, true) == 0);
}

void RecordRequests::HideInputPanel() { SipShowIM(SIPF_OFF); }

// --- entries a page opens -------------------------------------------------------------------

bool RecordRequests::OpenNumberedEntry(IndexSource* table, int32_t tableNumber,
                                       uint32_t entry, int64_t position) {
    // Noted before the open: the page that asked is replaced by it.
    String book;
    if (Resource* resource = host_.Book()) book.Assign(resource->GetLocation().text);
    ListPageRequests* pages = host_.ListPages();
    if (!host_.OpenEntryPosition(table, entry, position)) return false;
    HideInputPanel();
    if (pages && tableNumber >= 0 && !book.IsEmpty())
        pages->AddSearchHistory(book, static_cast<uint32_t>(tableNumber), entry);
    // The search led somewhere: nothing to remember of it.
    if (ReaderSettings* settings = host_.Settings()) settings->rememberedSearch.Clear();
    return true;
}

bool RecordRequests::RunEntryScript(IndexRecordSet* set, int32_t tableNumber,
                                    uint32_t entry, const String& script) {
    if (!set) return false;
    // Noted before the script runs: it may replace the page that asked.
    String book;
    if (Resource* resource = host_.Book()) book.Assign(resource->GetLocation().text);
    ListPageRequests* pages = host_.ListPages();
    if (!host_.RunWithRecordSet(RefPtr<IndexRecordSet>(set), entry, script)) return false;
    HideInputPanel();
    if (pages && tableNumber >= 0 && !book.IsEmpty())
        pages->AddSearchHistory(book, static_cast<uint32_t>(tableNumber), entry);
    if (ReaderSettings* settings = host_.Settings()) settings->rememberedSearch.Clear();
    return true;
}

bool RecordRequests::OpenEntryInBook(uint32_t number, int64_t position,
                                     int32_t tableNumber, uint32_t entry) {
    Resource* resource = host_.Book();
    if (!resource || position < 0 || position > INT32_MAX) return false;
    // Noted before the open: the page that asked is replaced by it.
    String searched;
    searched.Assign(resource->GetLocation().text);
    ListPageRequests* pages = host_.ListPages();
    LinkedBooks::Book book;
    const bool known = host_.Linked() && host_.Linked()->FindLinkedBook(resource, number, book);
    CommandRecord request(kGoToPosition, kDocumentObject);
    if (!request.AppendNumber(static_cast<int32_t>(position))) return false;
    Location base;
    base.CopyFrom(host_.BookLocation());
    DocumentLoader* loader = host_.Loader();
    uint8_t saved[2] = {};
    if (loader) loader->SetFlags(0, 0, saved);
    bool opened = false;
    if (known && IsPlainRelativeName(book.fileName)) {
        String name = book.fileName;
        Location target;
        if (name.UriEscape(true, true) && target.Resolve(name, &base))
            opened = host_.OpenRequestAt(target, request, false);
    }
    if (known && !opened && !book.title.IsEmpty()) {
        String title = book.title;
        String redirect;
        redirect.AppendAscii("oeb:redirect?title=");
        Location target;
        if (title.UriEscape(true, true) && redirect.Append(title) &&
            target.Resolve(redirect, &base))
            opened = host_.OpenRequestAt(target, request, false);
    }
    if (loader) loader->RestoreFlags(saved);
    if (opened) {
        HideInputPanel();
        if (pages && tableNumber >= 0 && !searched.IsEmpty())
            pages->AddSearchHistory(searched, static_cast<uint32_t>(tableNumber), entry);
        if (ReaderSettings* settings = host_.Settings()) settings->rememberedSearch.Clear();
        return true;
    }
    host_.Tell(kBookElsewhere, known ? book.name : String());
    host_.Report(kBookElsewhere);
    return false;
}
