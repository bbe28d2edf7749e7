#include "database/resource.h"

#include <algorithm>

#include "bookfiles/document_source.h"

Resource::~Resource() {
    if (owner_) owner_->RemoveCached(this);
}

void Resource::Release() {
    if (refCount_ > 1) {
        --refCount_;
        return;
    }
    refCount_ = 0;
    delete this;
}

bool Resource::GetTitle(String& out) {
    DocumentSource* doc = GetDocument();
    return doc && doc->GetTitle(out);
}

Searcher* Resource::CreateSearcher() {
    DocumentSource* doc = GetDocument();
    if (!doc || !searcherFactory) return nullptr;
    return searcherFactory(doc, doc->GetKind() == 2);
}

DataHandle* Resource::FindHandleById(int32_t id) {
    for (DataHandle* h : handles_)
        if (h->CompareId(id) == 0) return RefPtr<DataHandle>(h).TakePointer();
    return nullptr;
}

DataHandle* Resource::FindHandleByName(const String& name) {
    for (DataHandle* h : handles_)
        if (h->CompareName(name) == 0) return RefPtr<DataHandle>(h).TakePointer();
    return nullptr;
}

bool Resource::GetDocumentInfo(String& out) {
    DocumentSource* doc = GetDocument();
    return doc && doc->GetInfo(out);
}

void Resource::AddHandle(DataHandle* handle) {
    handles_.push_back(handle);
}

void Resource::RemoveHandle(DataHandle* handle) {
    auto it = std::find(handles_.begin(), handles_.end(), handle);
    if (it != handles_.end()) handles_.erase(it);
}

DataHandle::DataHandle(Resource* owner) : owner_(owner) {}

DataHandle::~DataHandle() {
    if (owner_) owner_->RemoveHandle(this);
}

void DataHandle::Release() {
    if (refCount_ > 1) {
        --refCount_;
        return;
    }
    refCount_ = 0;
    delete this;
}

bool DataHandle::Read(uint32_t offset, void* destination, uint32_t count, uint32_t& got) {
    got = 0;
    uint32_t size = GetSize();
    if (offset >= size) return false;
    if (count > size - offset) count = size - offset;
    if (!ReadRaw(offset, destination, count)) return false;
    got = count;
    return true;
}

DataHandle* DataHandle::AsIndexTable(DataHandle* handle) {
    RefPtr<DataHandle> held = RefPtr<DataHandle>::Adopt(handle);
    return held && held->GetHandleKind() == 257 ? held.TakePointer() : nullptr;
}
