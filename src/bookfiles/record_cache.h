// One record of a record source kept at hand, for lookups that fetch the same record again
// and again. The bytes belong to the source; the cache only remembers where they are, so it
// must be cleared whenever the source goes away or changes its records.
#pragma once

#include <cstdint>

class PalmDatabase;

class RecordCache {
public:
    // Gives record `index` of `source`: the kept record when it is that one, otherwise the
    // record is fetched from the source and kept instead. False (data null, size 0, nothing
    // kept) when the source has no such record.
    bool Fetch(const PalmDatabase* source, std::uint32_t index, const std::uint8_t** data,
               std::uint32_t* size);
    void Clear();
    bool Holds(const PalmDatabase* source, std::uint32_t index) const {
        return data_ && source_ == source && index_ == index;
    }

private:
    const PalmDatabase* source_ = nullptr;
    std::uint32_t index_ = 0;
    const std::uint8_t* data_ = nullptr;
    std::uint32_t size_ = 0;
};
