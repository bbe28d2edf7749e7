#include "document/sources/loader_adapters.h"

#include <new>

#include "bookfiles/document_source.h"
#include "database/book_index_source.h"
#include "database/resource.h"
#include "document/location/location.h"
#include "document/sources/document_loader.h"

namespace {

// Opens on behalf of a list: no messages to the user.
Resource* OpenQuietly(DocumentLoader* loader, Location& location) {
    uint8_t saved[2];
    loader->SetFlags(0, 0, saved);
    Resource* r = loader->Open(location, nullptr, nullptr);
    loader->RestoreFlags(saved);
    return r;
}

}  // namespace

EntryRecords::EntryRecords(Resource* book, DocumentLoader* loader) : book_(book), loader_(loader) {}

EntryRecords::~EntryRecords() = default;

DocumentSource* EntryRecords::GetText() {
    return book_ ? book_->GetDocument() : nullptr;
}

Resource* EntryRecords::OpenResource(const String& name) {
    if (!loader_ || name.Length() == 0) return nullptr;
    Location base, location;
    if (book_) static_cast<DbValue&>(base).Copy(book_->GetLocation());
    if (!location.Resolve(name, book_ ? &base : nullptr)) return nullptr;
    if (Resource* cached = loader_->FindCached(location)) return cached;
    return OpenQuietly(loader_, location);
}

bool EntryRecords::GetTitle(const String& name, String& out) {
    RefPtr<Resource> r = RefPtr<Resource>::Adopt(OpenResource(name));
    return r && r->GetTitle(out) && out.Length() > 0;
}

Resource* LoaderHistoryResolver::Book(const String& book) {
    for (const Open& o : books_)
        if (o.text == book) return o.resource.Get();
    if (!loader_) return nullptr;
    Location location;
    if (!location.Resolve(book, nullptr)) return nullptr;
    RefPtr<Resource> r = RefPtr<Resource>::Adopt(OpenQuietly(loader_, location));
    if (!r) return nullptr;
    try {
        books_.push_back({book, r});
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return r.Get();
}

IndexSource* LoaderHistoryResolver::Table(const String& book, uint32_t table) {
    Resource* r = Book(book);
    if (!r) return nullptr;
    // Table numbers from 65535 up name no table of their own: the book's default table.
    String designation;
    if (table >= HistoryTable::kDefaultTable) {
        if (!designation.AppendAscii("special_table=default")) return nullptr;
    } else if (!designation.AppendAscii("tableid=") || !designation.AppendUnsigned(table, 10)) {
        return nullptr;
    }
    return BookIndexSource::FromHandle(r->OpenDataByName(designation, nullptr));
}

bool LoaderHistoryResolver::Headword(const String& book, uint32_t table, uint32_t entry,
                                     String& out) {
    RefPtr<IndexSource> source = RefPtr<IndexSource>::Adopt(Table(book, table));
    return source && entry < source->EntryCount() && source->Headword(entry, out);
}

bool LoaderHistoryResolver::ShortId(const String& book, String& out) {
    Resource* r = Book(book);
    DocumentSource* doc = r ? r->GetDocument() : nullptr;
    return doc && doc->GetShortName(out);
}

bool LoaderHistoryResolver::LinkText(const String& book, uint32_t table, uint32_t entry,
                                     String& out) {
    out.Release();
    RefPtr<IndexSource> source = RefPtr<IndexSource>::Adopt(Table(book, table));
    if (!source) return false;
    int64_t position = entry < source->EntryCount() ? source->TextPosition(entry) : -1;
    if (position < 0) return false;
    String link = book;
    if (!link.AppendAscii("##-pos") || !link.AppendUnsigned(static_cast<uint64_t>(position), 10) ||
        !link.AppendAscii("-tableid") || !link.AppendUnsigned(table, 10) ||
        !link.AppendAscii("-entry") || !link.AppendUnsigned(entry, 10))
        return false;
    out = link;
    return true;
}

void LoaderHistoryResolver::ReleaseCursors() {
    books_.clear();
}
