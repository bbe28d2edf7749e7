// A data handle over one record of a book's database.
#pragma once

#include <cstdint>

#include "core/string.h"
#include "database/resource.h"

class PalmDatabase;

// One record of a book's database, read through the record source.
class RecordDataHandle : public DataHandle {
public:
    RecordDataHandle(Resource* owner, PalmDatabase* source, uint32_t index, uint16_t recordType,
                     const String& name);
    // -1 when this record's index is smaller than id, 1 when larger.
    int32_t CompareId(int32_t id) override;
    int32_t CompareName(const String& name) override { return name_.CompareWith(name); }
    bool GetData(const uint8_t*& data, uint32_t& length) override;
    bool Prepare() override { return true; }
    uint32_t GetSize() override { return length_; }
    bool ReadRaw(uint32_t offset, void* destination, uint32_t count) override;
    int32_t GetRecordType() override { return recordType_; }

private:
    PalmDatabase* source_;
    uint32_t index_;
    uint16_t recordType_;
    String name_;
    uint32_t length_ = 0;
};
