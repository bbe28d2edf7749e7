// Dump records: decoding never crashes or over-reads, and what decodes encodes and decodes again
// to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "database/database.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Database* db = new Database();
    if (db->Decode(data, size) == 0) {
        ByteStream once, twice;
        if (!db->Encode(once)) std::abort();
        Database* back = new Database();
        if (back->Decode(once.Data(), once.Size()) != 0) std::abort();
        if (!back->Encode(twice) || once.Size() != twice.Size() ||
            std::memcmp(once.Data(), twice.Data(), once.Size()) != 0)
            std::abort();
        back->Release();
    }
    db->Release();
    return 0;
}
