// Record 0 of a book: the header check, header fields and the EXTH block.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "bookfiles/book_header.h"
#include "bookfiles/palm_database.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteSpan record0{data, static_cast<std::uint32_t>(size)};
    for (bool folv : {true, false}) {
        BookHeader header;
        if (header.Parse(record0, folv)) {
            std::vector<ExthRecord> exth;
            ReadExth(record0, header, &exth);
            std::uint32_t v;
            ExthNumber(exth, 201, &v);
            ByteSpan name;
            header.FullName(record0, &name);
        }
    }
    std::unique_ptr<PalmDatabase> book(PalmDatabase::CreateInMemory("FOLV", "BOOK"));
    std::unique_ptr<PalmDatabase> doc(PalmDatabase::CreateInMemory("REAd", "TEXt"));
    std::int32_t level, type, position;
    CheckBookHeader(book.get(), data, static_cast<std::uint32_t>(size), &level, &type, &position);
    CheckBookHeader(doc.get(), data, static_cast<std::uint32_t>(size), &level, &type, &position);
    return 0;
}
