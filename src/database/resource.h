// The reference-counted, loadable base of every content resource and of a table database, and
// the base of the byte sources (data handles) a resource gives out. The objects a resource makes
// for showing itself (token source, page layout, searcher) belong to higher layers and are only
// named here.
#pragma once

#include <cstdint>
#include <vector>

#include "core/ref_counted.h"
#include "core/string.h"
#include "database/db_value.h"

class DataHandle;
class DocumentSource;
class IndexTableHandle;
class PageLayout;
class Resource;
class Searcher;
class TokenSource;

// What keeps resources in a cache (the document loader); told when one goes away.
class ResourceCache {
public:
    virtual void RemoveCached(Resource* resource) = 0;

protected:
    ~ResourceCache() = default;
};

class Resource {
public:
    Resource() = default;
    Resource(const Resource&) = delete;
    Resource& operator=(const Resource&) = delete;

    void AddRef() { ++refCount_; }
    // Deletes the resource when the last reference goes.
    void Release();
    uint32_t RefCount() const { return refCount_; }

    virtual ~Resource();
    // Copies the location's value record (its anchor is not kept).
    virtual void SetLocation(const DbValue& location) { location_.Copy(location); }
    virtual bool GetTitle(String& out);
    virtual bool IsBinary() = 0;
    virtual DataHandle* OpenDataByName(const String& /*name*/, const DbValue* /*base*/) {
        return nullptr;
    }
    virtual DataHandle* OpenDataByIndex(int32_t index, const DbValue* base) = 0;
    virtual bool FindTarget(const String& /*path*/, uint32_t* /*five*/) { return false; }
    virtual DocumentSource* GetDocument() = 0;
    // Makes the token source (and, when layout is not null, the page layout) that show the
    // resource; false with both null on failure.
    virtual bool CreateLayout(TokenSource*& source, PageLayout** layout) = 0;
    virtual void DestroyLayout(TokenSource* source, PageLayout* layout) = 0;
    virtual Searcher* CreateSearcher();
    virtual bool HasHeaderField(uint32_t /*field*/) { return false; }
    // 1 for a table database, 0 for documents.
    virtual uint32_t GetKind() = 0;
    virtual DataHandle* OpenHeaderTable(uint32_t /*field*/, uint32_t* /*id*/) { return nullptr; }
    virtual DataHandle* OpenTableByNumber(uint32_t /*n*/) { return nullptr; }
    virtual DataHandle* OpenTableByName(const String& /*name*/, uint32_t /*flag*/) {
        return nullptr;
    }
    // The kind of what the resource holds and a value beside it, for the page layout's
    // font-size adjuster; 0 (none) by default.
    virtual uint32_t GetChildKind(uint32_t& value) {
        value = 0;
        return 0;
    }

    // The first open handle that answers 0 to CompareId / CompareName, with a new reference.
    DataHandle* FindHandleById(int32_t id);
    DataHandle* FindHandleByName(const String& name);
    // The document's information text; false without a document.
    bool GetDocumentInfo(String& out);

    const DbValue& GetLocation() const { return location_; }
    ResourceCache* Owner() const { return owner_; }
    void SetOwner(ResourceCache* owner) { owner_ = owner; }

    // The handle list holds no references; handles add and remove themselves.
    void AddHandle(DataHandle* handle);
    void RemoveHandle(DataHandle* handle);
    uint32_t HandleCount() const { return static_cast<uint32_t>(handles_.size()); }
    DataHandle* HandleAt(uint32_t i) const { return handles_[i]; }

    // Searchers are the page layout's; it installs how they are made.
    using SearcherFactory = Searcher* (*)(DocumentSource* document, bool indexed);
    static inline SearcherFactory searcherFactory = nullptr;

protected:
    DbValue location_;
    ResourceCache* owner_ = nullptr;
    std::vector<DataHandle*> handles_;
    uint32_t refCount_ = 1;
};

// A reference-counted byte source of a resource: a memory block, a range of a file, a book
// record or an index table.
class DataHandle {
public:
    explicit DataHandle(Resource* owner);
    DataHandle(const DataHandle&) = delete;
    DataHandle& operator=(const DataHandle&) = delete;

    virtual bool IsValid() { return true; }
    // False at or past the end; a count running past the end is clipped, got says how many.
    virtual bool Read(uint32_t offset, void* destination, uint32_t count, uint32_t& got);
    virtual bool GetLength(uint32_t& length) {
        length = GetSize();
        return true;
    }
    virtual void AddRef() { ++refCount_; }
    virtual void Release();
    virtual ~DataHandle();
    virtual int32_t CompareId(int32_t id) = 0;
    virtual int32_t CompareName(const String& name) = 0;
    virtual bool GetData(const uint8_t*& data, uint32_t& length) = 0;
    virtual bool Prepare() = 0;
    virtual uint32_t GetSize() = 0;
    virtual bool ReadRaw(uint32_t offset, void* destination, uint32_t count) = 0;
    virtual int32_t GetRecordType() { return -1; }
    virtual uint32_t GetHandleKind() { return 33; }

    // Frees a buffer GetData filled (nothing for handles that keep no copy).
    virtual void DropData() {}
    // The book index table a kind-257 handle carries, with the book's inflection and naming
    // tables; null for every other handle. Queries read tables through this, so that they need
    // not know the document model's handle classes.
    virtual const IndexTableHandle* GetIndexTables() { return nullptr; }

    // The handle with a new reference when it is an index table (kind 257), else null; the
    // caller's reference is released either way.
    static DataHandle* AsIndexTable(DataHandle* handle);

    Resource* Owner() const { return owner_.Get(); }
    uint32_t RefCount() const { return refCount_; }

private:
    uint32_t refCount_ = 1;
    RefPtr<Resource> owner_;
};
