#include "document/sources/record_data_handle.h"

#include "bookfiles/palm_database.h"

RecordDataHandle::RecordDataHandle(Resource* owner, PalmDatabase* source, uint32_t index,
                                   uint16_t recordType, const String& name)
    : DataHandle(owner), source_(source), index_(index), recordType_(recordType), name_(name) {
    if (source_ && index_ < source_->GetRecordCount()) length_ = source_->GetRecordLength(index_);
}

int32_t RecordDataHandle::CompareId(int32_t id) {
    int64_t mine = index_;
    if (mine < id) return -1;
    return mine > id ? 1 : 0;
}

bool RecordDataHandle::GetData(const uint8_t*& data, uint32_t& length) {
    data = nullptr;
    length = 0;
    if (!source_ || index_ >= source_->GetRecordCount()) return false;
    data = source_->GetRecord(index_, &length);
    if (length > length_) length = length_;
    return data != nullptr || length == 0;
}

bool RecordDataHandle::ReadRaw(uint32_t offset, void* destination, uint32_t count) {
    if (offset > length_ || count > length_ - offset) return false;
    uint32_t got = 0;
    return source_ && source_->ReadRecord(index_, offset, destination, count, &got) &&
           got == count;
}
