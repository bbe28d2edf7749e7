#include "support/bookfiles/side_file_builder.h"

namespace {

Bytes Tagged(const char* tag, const Bytes& data) {
    Bytes out;
    PutText(out, std::string(tag, 4));
    PutU32(out, static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    while (out.size() % 4) out.push_back(0);
    return out;
}

}  // namespace

Bytes SideFileWithBookmarks(const std::u16string& bookFileName, int count) {
    PdbBuilder db;
    db.name = "side";
    db.type = "BPAR";
    db.creator = "FOLV";
    Bytes main(84, 0);
    SetU32(main, 0, 1);            // version
    SetU32(main, 24, 0xFFFFFFFF);  // no book id
    const Bytes name = Utf16Le(bookFileName);
    PutU32(main, static_cast<std::uint32_t>(name.size()));
    main.insert(main.end(), name.begin(), name.end());
    db.Add(Tagged("BPAR", main));
    // Unique ids are numbered from 1 in record order: the texts follow the bookmarks.
    const std::uint32_t firstText = 2 + static_cast<std::uint32_t>(count);
    for (int i = 0; i < count; ++i) {
        Bytes mark(48, 0);
        SetU32(mark, 0, 1);
        SetU32(mark, 4, static_cast<std::uint32_t>(i) * 16);
        SetU32(mark, 8, static_cast<std::uint32_t>(i) * 16 + 8);
        SetU32(mark, 28, firstText + static_cast<std::uint32_t>(i));
        db.Add(Tagged("BKMK", mark));
    }
    for (int i = 0; i < count; ++i) {
        const std::string text = "Mark " + std::to_string(i);
        db.Add(Tagged("TEXT", Utf16Le(std::u16string(text.begin(), text.end()))));
    }
    return db.Build();
}

std::size_t SideFileRecordAt(const Bytes& file, std::size_t index) {
    const std::size_t entry = 78 + 8 * index;
    return static_cast<std::size_t>(file[entry]) << 24 | file[entry + 1] << 16 |
           file[entry + 2] << 8 | file[entry + 3];
}
