// Palm database header and record list.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "bookfiles/palm_database.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::unique_ptr<PalmDatabase> db(PalmDatabase::OpenView(data, size, nullptr));
    if (db) {
        volatile std::uint32_t sum = 0;
        for (std::uint32_t i = 0; i < db->GetRecordCount(); ++i) {
            std::uint32_t length = 0;
            const std::uint8_t* r = db->GetRecord(i, &length);
            if (length) sum = sum + r[0] + r[length - 1];
        }
    }
    std::unique_ptr<PalmDatabase> resident(PalmDatabase::LoadInMemory(data, size, nullptr));
    if (resident) {
        std::vector<std::uint8_t> out;
        resident->Serialize(&out);
    }
    return 0;
}
