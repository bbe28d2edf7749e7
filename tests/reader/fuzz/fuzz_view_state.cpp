// Saved record-set view states and generated-page links from any bytes: restoring never reads
// past the record and leaves the state untouched when it fails; a restored state saves and
// restores to the same record; the link parsers take any text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/byte_stream.h"
#include "core/string.h"
#include "reader/database_view_state.h"
#include "reader/page_links.h"

namespace {

void Same(const ByteStream& a, const ByteStream& b) {
    if (a.Size() != b.Size() || std::memcmp(a.Data(), b.Data(), a.Size()) != 0) std::abort();
}

void RoundTrip(const uint8_t* data, size_t size, bool query, uint32_t levels) {
    ByteStream in;
    in.WriteBytes(data, size);
    DatabaseViewState s;
    s.query = query;
    s.level = 77;
    if (!s.Restore(in, levels)) {
        if (s.level != 77 || in.ReadPosition() != 0) std::abort();
        return;
    }
    ByteStream once;
    ByteStream twice;
    if (!s.Save(once, nullptr)) return;
    DatabaseViewState again;
    again.query = query;
    if (!again.Restore(once, levels) || !again.Save(twice, nullptr)) std::abort();
    Same(once, twice);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint32_t levels = size > 0 ? data[0] % 4 + 1 : 1;
    RoundTrip(data, size, false, 0);
    RoundTrip(data, size, true, levels);

    String link;
    for (size_t i = 0; i + 1 < size; i += 2)
        link.AppendChar(static_cast<char16_t>(data[i] | data[i + 1] << 8));
    String word;
    int32_t table = 0, keyTable = 0, keyTag = 0, entry = 0;
    bool video = false;
    PageLinks::ParseIndexLink(link, word, table, keyTable, keyTag, entry, video);
    uint32_t icon = 0;
    bool mark = false;
    String query, title;
    PageLinks::ParseSqlLink(link, icon, mark, query, title);
    return 0;
}
