#include "bookfiles/record_cache.h"

#include "bookfiles/palm_database.h"

bool RecordCache::Fetch(const PalmDatabase* source, std::uint32_t index, const std::uint8_t** data,
                        std::uint32_t* size) {
    if (!Holds(source, index)) {
        // The old record is let go first: a failed fetch must not leave it answering for the
        // new index.
        Clear();
        std::uint32_t length = 0;
        const std::uint8_t* bytes = source ? source->GetRecord(index, &length) : nullptr;
        if (bytes) {
            source_ = source;
            index_ = index;
            data_ = bytes;
            size_ = length;
        }
    }
    *data = data_;
    *size = data_ ? size_ : 0;
    return data_ != nullptr;
}

void RecordCache::Clear() {
    source_ = nullptr;
    index_ = 0;
    data_ = nullptr;
    size_ = 0;
}
