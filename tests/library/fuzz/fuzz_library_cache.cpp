// The library cache over arbitrary file bytes: Open answers 0 or 1 and never reads outside the
// records, and every entry that reads back has a path and in-range values.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/file.h"
#include "library/library_cache.h"
#include "support/library/library_fixture.h"

namespace {

fvt::test::LibraryDevice& Device() {
    static auto* dev = new fvt::test::LibraryDevice();
    return *dev;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto& dev = Device();
    if (!dev.ok()) return 0;
    dev.device().WriteHost("Windows/in.fvt", std::string(reinterpret_cast<const char*>(data), size));
    LibraryCache cache;
    int rc = cache.Open(fvt::test::Dev(u"\\Windows\\in.fvt"));
    if (rc != 0 && rc != 1) __builtin_trap();
    if (rc != 0) return 0;
    Library library(&dev.host);
    uint32_t count = cache.GetBookCount() < 2000 ? cache.GetBookCount() : 2000;
    for (uint32_t i = 0; i < count; ++i) {
        auto book = cache.ReadBook(i, &library);
        if (!book) continue;
        if (book->GetPath().IsEmpty() || book->GetRating() > LibraryBook::kMaxRating)
            __builtin_trap();
    }
    return 0;
}
